#include "shell_test_support.h"

#include "shell/message_box_notifier.h"
#include "shell/open_request.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>

#include <unistd.h>

namespace tonvela::test {
namespace {

TEST(OpenRequestTextTest, ParsesOpenRequestsAndRefusesOtherText)
{
    const auto r = parseOpenRequest(openRequestText("/home/me/My (old) songs/a \"b\".shd"));
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->command, "open");
    EXPECT_EQ(r->path, "/home/me/My (old) songs/a \"b\".shd");
    const auto other = parseOpenRequest("[print(\"/x.shd\")]");
    ASSERT_TRUE(other.has_value());
    EXPECT_EQ(other->command, "print");
    EXPECT_FALSE(parseOpenRequest("[noparen]").has_value());
    EXPECT_FALSE(parseOpenRequest("[x]").has_value());
    EXPECT_FALSE(parseOpenRequest("").has_value());
    // Long paths are whole (Linux paths may be far longer than 256 characters).
    const std::string longPath = "/" + std::string(1000, 'a') + ".shd";
    EXPECT_EQ(parseOpenRequest(openRequestText(longPath))->path, longPath);
}

TEST(OpenRequestTextTest, AutomationLaunchesAreRecognised)
{
    EXPECT_TRUE(isAutomationLaunch({"-Embedding"}));
    EXPECT_TRUE(isAutomationLaunch({"/Automation"}));
    EXPECT_TRUE(isAutomationLaunch({"a.shd", "--Automate"}));
    EXPECT_FALSE(isAutomationLaunch({"song.shd"}));
    EXPECT_FALSE(isAutomationLaunch({}));
}

TEST(ApplicationProcessTest, AnAutomationLaunchExitsWithOneBeforeAnyWindow)
{
    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // With the X platform and no display, creating any window would abort the program.
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    app.setProcessEnvironment(env);
    app.start(QStringLiteral(TONVELA_APP), {QStringLiteral("-Embedding")});
    ASSERT_TRUE(app.waitForFinished(10000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 1);
}

// Sets an environment variable for the life of the object (unset when `value` is null).
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : m_name(name), m_had(qEnvironmentVariableIsSet(name))
    {
        m_old = qgetenv(name);
        if (value)
            qputenv(name, value);
        else
            qunsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

TEST(OpenRequestNameTest, TheSocketBelongsToOneUserAndOneDisplay)
{
    QTemporaryDir runtime;
    ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit().constData());
    ScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
    QString first;
    {
        ScopedEnv display("DISPLAY", ":0");
        first = openRequestServerName();
    }
    QString second;
    {
        ScopedEnv display("DISPLAY", ":99"); // xvfb-run's display
        second = openRequestServerName();
    }
    EXPECT_TRUE(first.startsWith(runtime.path() + "/")) << first.toStdString();
    EXPECT_TRUE(second.startsWith(runtime.path() + "/")) << second.toStdString();
    EXPECT_NE(first, second);
    {
        ScopedEnv display("DISPLAY", ":0");
        EXPECT_EQ(openRequestServerName(), first) << "the same display finds the same instance";
        ScopedEnv waylandOn("WAYLAND_DISPLAY", "wayland-0");
        EXPECT_NE(openRequestServerName(), first);
    }

    // Without a runtime folder: a folder of this user's own under /tmp, closed to others.
    ScopedEnv noXdg("XDG_RUNTIME_DIR", nullptr);
    const QString fallback = openRequestServerName();
    const QString folder = QStringLiteral("/tmp/tonvela-%1").arg(static_cast<qulonglong>(getuid()));
    ASSERT_TRUE(fallback.startsWith(folder + "/")) << fallback.toStdString();
    const QFileInfo info(folder);
    EXPECT_TRUE(info.isDir());
    EXPECT_EQ(info.ownerId(), getuid());
    EXPECT_EQ(info.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                    QFile::ReadOther | QFile::WriteOther | QFile::ExeOther),
              QFile::Permissions());
}

class OpenRequestTest : public ShellTest {
  protected:
    // A runtime folder of our own gives a server of our own: a running Tonvela never sees
    // the test's requests, nor the test its.
    OpenRequestTest() : m_runtime("XDG_RUNTIME_DIR", dir.path().toLocal8Bit().constData()) {}

  private:
    ScopedEnv m_runtime;
};

TEST_F(OpenRequestTest, AHandlerThatShowsABoxWhileTheClientLeavesRunsAfterTheRequestIsServed)
{
    // The handler stands for the error box of a file that cannot be opened: a nested event
    // loop in which the client reads its answer, disconnects and its socket is deleted.
    std::vector<std::string> requested;
    bool clientDone = false;
    bool socketGoneDuringBox = false;
    OpenRequestServer* server = nullptr;
    server = new OpenRequestServer([&](const std::string& path) {
        requested.push_back(path);
        socketGoneDuringBox =
            waitUntil([&] { return clientDone && server->findChildren<QLocalSocket*>().isEmpty(); }, 5000);
    });
    ASSERT_TRUE(server->listen());
    bool sent = false;
    std::thread client([&] {
        sent = sendOpenRequests(
            {QStringLiteral("/tmp/missing-one.shd"), QStringLiteral("/tmp/missing-two.shd")});
        clientDone = true;
    });
    ASSERT_TRUE(waitUntil([&] { return requested.size() == 2; }, 10000));
    client.join();
    EXPECT_TRUE(sent) << "both requests were answered before any box showed";
    EXPECT_TRUE(socketGoneDuringBox);
    EXPECT_EQ(requested, (std::vector<std::string>{"/tmp/missing-one.shd", "/tmp/missing-two.shd"}));

    // The server goes on serving.
    std::thread again([&] { sent = sendOpenRequests({QStringLiteral("/tmp/three.shd")}); });
    ASSERT_TRUE(waitUntil([&] { return requested.size() == 3; }, 10000));
    again.join();
    EXPECT_TRUE(sent);
    delete server;
}

TEST_F(OpenRequestTest, AFileThatCannotBeOpenedShowsItsErrorAndTheWindowLivesOn)
{
    window->showAtSavedPlacement();
    OpenRequestServer server([&](const std::string& path) { window->openRequested(path); });
    ASSERT_TRUE(server.listen());
    bool sent = false;
    std::thread client([&] { sent = sendOpenRequests({QString::fromStdString(file("missing.shd"))}); });
    ASSERT_TRUE(waitUntil([&] { return errorCount() == 1; }, 10000));
    client.join();
    EXPECT_TRUE(sent);
    EXPECT_NE(errorsText().find("missing.shd"), std::string::npos);
    // Still serving, and a good file opens.
    std::thread second([&] { sent = sendOpenRequests({QString::fromStdString(example())}); });
    ASSERT_TRUE(waitUntil([&] { return window->activeSheet() != nullptr; }, 10000));
    second.join();
    EXPECT_EQ(title(window->activeSheet()), "ode_to_joy.shd");
}

TEST_F(OpenRequestTest, ASecondStartHandsItsFileToTheRunningInstanceAndExitsWithZero)
{
    window->showAtSavedPlacement();
    std::vector<std::string> requested;
    OpenRequestServer server([&](const std::string& path) {
        requested.push_back(path);
        window->openRequested(path);
    });
    ASSERT_TRUE(server.listen());

    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    second.setProcessEnvironment(env);
    second.setWorkingDirectory(QStringLiteral(TONVELA_SOURCE_DIR));
    second.start(QStringLiteral(TONVELA_APP), {QStringLiteral("examples/ode_to_joy.shd")});
    ASSERT_TRUE(waitUntil([&] { return second.state() == QProcess::NotRunning; }, 15000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    ASSERT_EQ(requested.size(), 1u);
    EXPECT_EQ(requested[0], example()); // relative paths arrive whole
    ASSERT_NE(window->activeSheet(), nullptr);
    EXPECT_EQ(title(window->activeSheet()), "ode_to_joy.shd");
}

TEST_F(OpenRequestTest, ASecondServerDoesNotTakeOverALiveOneButReplacesAStaleSocket)
{
    int first = 0;
    auto* server = new OpenRequestServer([&](const std::string&) { ++first; });
    ASSERT_TRUE(server->listen());
    OpenRequestServer rival([](const std::string&) {});
    EXPECT_FALSE(rival.listen());
    bool sent = false;
    std::thread client([&] { sent = sendOpenRequests({QStringLiteral("/tmp/a.shd")}); });
    waitUntil([&] { return first == 1; });
    client.join();
    EXPECT_TRUE(sent);
    EXPECT_EQ(first, 1);
    delete server;
    EXPECT_FALSE(sendOpenRequests({QStringLiteral("/tmp/a.shd")}));
    EXPECT_TRUE(rival.listen());
}

TEST_F(OpenRequestTest, RequestsArrivingWhileABoxStandsWaitAndAreGatheredIntoOneBoxAfterIt)
{
    // GIVEN a window that shows real boxes, serving open requests.
    MessageBoxNotifier boxes;
    ShellServices services{
        settings,  boxes, dialogs, player, clock, [this] { return devices; }, [](const QString&) {},
        [](int) {}};
    MainWindow boxed(services);
    boxes.setParent(&boxed);
    boxed.showAtSavedPlacement();
    OpenRequestServer server([&boxed](const std::vector<std::string>& paths) { boxed.openRequested(paths); });
    ASSERT_TRUE(server.listen());
    const auto missing = [this](const std::string& prefix, int n) {
        QStringList paths;
        for (int i = 0; i < n; ++i)
            paths << QString::fromStdString(file(prefix + std::to_string(i) + ".shd"));
        return paths;
    };

    // WHEN three files fail, and while their box stands two more starts ask for 50 more
    std::vector<QString> texts;
    int mostAtOnce = 0;
    std::atomic<int> lateSent{0};
    std::vector<std::thread> late;
    std::function<void()> watch = [&] {
        int shown = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            shown += qobject_cast<QMessageBox*>(w) && w->isVisible() ? 1 : 0;
        mostAtOnce = std::max(mostAtOnce, shown);
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box && texts.size() == 0 && late.empty()) {
            // The late starts are served (and end) while the box stands.
            late.emplace_back([&] { lateSent += sendOpenRequests(missing("late-a-", 30)) ? 1 : 0; });
            late.emplace_back([&] { lateSent += sendOpenRequests(missing("late-b-", 20)) ? 1 : 0; });
        }
        // A late start's client ends as soon as its files are acknowledged, which may be before
        // the server has seen its connection close; the box is closed once both are queued.
        if (box && (texts.size() > 0 || (lateSent == 2 && server.servedConnections() == 0))) {
            texts.push_back(box->text());
            box->button(QMessageBox::Ok)->click();
        }
        QTimer::singleShot(5, &boxed, watch);
    };
    QTimer::singleShot(0, &boxed, watch);
    std::thread first([&] { sendOpenRequests(missing("first-", 3)); });
    waitUntil([&] { return texts.size() >= 2; }, 20000);
    waitUntil([] { return false; }, 500); // a third box would come now
    first.join();
    for (std::thread& t : late)
        t.join();

    // THEN one box for the first start's files, one for all the files that came while it
    // stood, never two at once, and the window lives on.
    EXPECT_EQ(lateSent, 2) << "the late starts were answered while the box stood";
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(mostAtOnce, 1);
    EXPECT_TRUE(texts[0].startsWith(QStringLiteral("Could not open 3 files:"))) << texts[0].toStdString();
    EXPECT_TRUE(texts[1].startsWith(QStringLiteral("Could not open 50 files:"))) << texts[1].toStdString();
    EXPECT_TRUE(texts[1].endsWith(QStringLiteral("and 40 more"))) << texts[1].toStdString();
    EXPECT_EQ(texts[1].count(QStringLiteral(".shd: the file does not exist.")), 10);
    EXPECT_TRUE(boxed.isVisible());
}

TEST_F(OpenRequestTest, SilentConnectionsAreClosedAndAtMostSixteenAreServedAtOnce)
{
    std::vector<std::string> requested;
    OpenRequestServer server([&](const std::vector<std::string>& paths) {
        requested.insert(requested.end(), paths.begin(), paths.end());
    });
    server.setIdleTimeout(300);
    ASSERT_TRUE(server.listen());
    // GIVEN twenty clients that connect and say nothing
    std::vector<std::unique_ptr<QLocalSocket>> silent;
    for (int i = 0; i < 20; ++i) {
        silent.push_back(std::make_unique<QLocalSocket>());
        silent.back()->connectToServer(openRequestServerName());
        ASSERT_TRUE(silent.back()->waitForConnected(2000));
    }
    ASSERT_TRUE(waitUntil([&] { return server.servedConnections() == kMaxOpenRequestConnections; }, 2000));
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(server.servedConnections(), kMaxOpenRequestConnections);

    // WHEN a real start comes after them, it is served once silent ones are closed.
    bool sent = false;
    std::thread client([&] { sent = sendOpenRequests({QStringLiteral("/tmp/after-the-silent.shd")}); });
    ASSERT_TRUE(waitUntil([&] { return requested.size() == 1; }, 10000));
    client.join();
    EXPECT_TRUE(sent);
    EXPECT_EQ(requested[0], "/tmp/after-the-silent.shd");
    EXPECT_TRUE(waitUntil(
        [&] {
            return std::all_of(silent.begin(), silent.end(), [](const std::unique_ptr<QLocalSocket>& s) {
                return s->state() == QLocalSocket::UnconnectedState;
            });
        },
        5000))
        << "every silent connection was closed";
    EXPECT_TRUE(waitUntil([&] { return server.servedConnections() == 0; }, 2000));
}

} // namespace
} // namespace tonvela::test
