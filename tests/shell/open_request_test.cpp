#include "shell_test_support.h"

#include "shell/open_request.h"

#include <QDir>
#include <QMdiSubWindow>
#include <QProcess>
#include <QProcessEnvironment>

#include <cstdlib>

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

class OpenRequestTest : public ShellTest {
  protected:
    OpenRequestTest()
    {
        // Sockets live in the temporary folder: a folder of our own gives a server of our own.
        m_oldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", dir.path().toLocal8Bit());
    }
    ~OpenRequestTest() override { qputenv("TMPDIR", m_oldTmp); }

  private:
    QByteArray m_oldTmp;
};

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
    env.insert(QStringLiteral("TMPDIR"), dir.path());
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

} // namespace
} // namespace tonvela::test
