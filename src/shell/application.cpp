#include "shell/application.h"

#include "platform/clock.h"
#include "platform/midi_output.h"
#include "shell/file_dialogs.h"
#include "shell/main_window.h"
#include "shell/message_box_notifier.h"
#include "shell/open_request.h"
#include "shell/player.h"
#include "shell/settings_store.h"
#include "shell/sheet_rendering.h"

#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QTimer>
#include <QUrl>

#include <cstdio>

namespace tonvela {
namespace {

constexpr const char* kScreenshotOption = "--screenshot=";

struct CommandLine {
    QStringList files;
    QString screenshot;
};

CommandLine parseCommandLine(int argc, char** argv)
{
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg.startsWith(QLatin1String(kScreenshotOption)))
            line.screenshot = arg.mid(static_cast<int>(qstrlen(kScreenshotOption)));
        else
            line.files << arg;
    }
    return line;
}

} // namespace

int runApplication(int argc, char** argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    QStringList rawArguments;
    for (int i = 1; i < argc; ++i)
        rawArguments << QString::fromLocal8Bit(argv[i]);
    if (isAutomationLaunch(rawArguments))
        return 1;

    const CommandLine line = parseCommandLine(argc, argv);
    if (!line.files.isEmpty() && line.screenshot.isEmpty()) {
        QCoreApplication probe(argc, argv);
        if (sendOpenRequests(line.files))
            return 0;
    }

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("TonvelaApp"));
    QApplication::setApplicationName(QStringLiteral("TonvelaApp"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tonvela"));
    QApplication::setDesktopFileName(QStringLiteral("tonvela"));

    std::unique_ptr<SettingsStore> settings = createQtSettingsStore();
    MessageBoxNotifier notifier;
    std::unique_ptr<FileDialogs> dialogs = createQtFileDialogs(nullptr);
    NoPlayer player;
    SteadyClock clock;
    std::unique_ptr<MidiOutput> midiOutput;

    ShellServices services{*settings,
                           notifier,
                           *dialogs,
                           player,
                           clock,
                           [&midiOutput, &clock] {
                               if (!midiOutput)
                                   midiOutput = createSystemMidiOutput(clock);
                               return deviceNames(*midiOutput);
                           },
                           [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); },
                           [](int code) { QCoreApplication::exit(code); }};
    MainWindow window(services);
    notifier.setParent(&window);

    OpenRequestServer server([&window](const std::string& path) { window.openRequested(path); });
    if (line.screenshot.isEmpty())
        server.listen();

    if (!line.screenshot.isEmpty()) {
        window.onFirstSheetPresented = [&window, &line, &sinceStart] {
            std::fprintf(stderr, "tonvela: first sheet painted %lld ms after start\n",
                         static_cast<long long>(sinceStart.elapsed()));
            // A moment for the remaining widgets to settle before the picture is taken.
            QTimer::singleShot(300, &window, [&window, &line] {
                std::string error;
                const bool ok = writePng(window.grab().toImage(), line.screenshot.toStdString(), error);
                if (!ok)
                    std::fprintf(stderr, "tonvela: could not save the screenshot: %s\n", error.c_str());
                QCoreApplication::exit(ok ? 0 : 2);
            });
        };
    }

    window.showAtSavedPlacement();
    if (line.files.isEmpty()) {
        window.newSheet();
    } else {
        for (const QString& file : line.files)
            window.openFile(file.toStdString());
    }
    return app.exec();
}

} // namespace tonvela
