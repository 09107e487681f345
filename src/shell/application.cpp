#include "shell/application.h"

#include "audio/sound_bank.h"
#include "audio/sound_engine.h"
#include "devices/alsa_seq_input.h"
#include "platform/clock.h"
#include "platform/midi_output.h"
#include "playback/audio_system.h"
#include "playback/playback_driver.h"
#include "render/sheet_rendering.h"
#include "shell/file_dialogs.h"
#include "shell/frame/main_window.h"
#include "shell/message_box_notifier.h"
#include "shell/open_request.h"
#include "shell/player.h"
#include "shell/recovery/autosave.h"
#include "shell/recovery/recovery_offer.h"
#include "shell/settings_store.h"

#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <mutex>

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

// Plays through the playback driver on the machine's MIDI outputs. The outputs (and with them
// the synthesizer) are created on first use, never at start-up.
class DriverPlayer : public Player, private PlaybackView {
  public:
    DriverPlayer(Notifier& notifier, Clock& clock) : m_notifier(notifier), m_clock(clock) {}
    ~DriverPlayer() override
    {
        if (m_driver)
            m_driver->stop();
    }

    MidiOutput& output() { return sound().midiOutput(); }

    bool available() const override { return true; }
    bool play(SheetDocument& sheet, PlayMode mode, int device, double from) override
    {
        if (!m_driver) {
            PlaybackDriver::Options options;
            options.marks = &m_marks;
            m_driver = std::make_unique<PlaybackDriver>(output(), m_notifier, m_clock, sound().clipSlots(),
                                                        static_cast<PlaybackView*>(this), options);
        }
        m_sheet = &sheet;
        m_driver->setChordSymbols(m_chordSymbols);
        return m_driver->play(sheet, mode, device, from);
    }
    void stop() override
    {
        if (m_driver)
            m_driver->stop();
    }
    void setPlayChordSymbols(bool on) override { m_chordSymbols = on; }
    bool isPlaying(const SheetDocument* sheet) const override
    {
        return m_driver && m_driver->isPlaying() && (!sheet || sheet == m_sheet);
    }
    void seek(double fraction) override
    {
        if (m_driver && m_driver->isPlaying())
            m_driver->seek(fraction);
    }
    void playBankSample(const std::string& bankPath) override
    {
        // Loaded once; a bank that failed to load has said why and plays nothing.
        if (!m_bank) {
            m_bank = std::make_unique<audio::SoundBank>();
            m_bank->load(bankPath, m_notifier);
        }
        if (m_bank->loaded)
            m_bank->playSample(sound().engine(), 0);
    }
    void playSampleOf(const audio::SoundBank& bank, int index) override
    {
        bank.playSample(sound().engine(), index);
    }
    void playWaveFile(const std::string& path) override { sound().engine().startWave(path); }
    void setView(PlaybackView* view) override
    {
        std::lock_guard<std::mutex> lock(m_viewGuard);
        m_view = view;
    }
    const SoundingNotes* soundingNotes() const override { return &m_marks; }

  private:
    // The driver reports to the player, which passes the reports on to whichever view is set
    // now, so a window can come and go while the driver lives on.
    void progress(const Progress& p, int64_t atUs) override
    {
        std::lock_guard<std::mutex> lock(m_viewGuard);
        if (m_view)
            m_view->progress(p, atUs);
    }
    void highlightsChanged(int trackIndex, int64_t atUs) override
    {
        std::lock_guard<std::mutex> lock(m_viewGuard);
        if (m_view)
            m_view->highlightsChanged(trackIndex, atUs);
    }
    void followMeasure(int measureIndex, int64_t atUs) override
    {
        std::lock_guard<std::mutex> lock(m_viewGuard);
        if (m_view)
            m_view->followMeasure(measureIndex, atUs);
    }
    void ended() override
    {
        std::lock_guard<std::mutex> lock(m_viewGuard);
        if (m_view)
            m_view->ended();
    }

    // One sound output for the synthesizer and the audio clips, made on first use.
    AudioSystem& sound()
    {
        if (!m_sound)
            m_sound = std::make_unique<AudioSystem>(m_notifier, m_clock);
        return *m_sound;
    }

    Notifier& m_notifier;
    Clock& m_clock;
    std::unique_ptr<AudioSystem> m_sound; // outlives the driver that plays through it
    std::unique_ptr<audio::SoundBank> m_bank;
    PlayMarks m_marks; // what the driver's playbacks hold on; outlives the driver
    std::unique_ptr<PlaybackDriver> m_driver;
    const SheetDocument* m_sheet = nullptr;
    bool m_chordSymbols = false; // Play > Chord Symbols
    std::mutex m_viewGuard;
    PlaybackView* m_view = nullptr;
};

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
    SteadyClock clock;
    DriverPlayer player(notifier, clock);

    ShellServices services{*settings,
                           notifier,
                           *dialogs,
                           player,
                           clock,
                           [&player] { return deviceNames(player.output()); },
                           [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); },
                           [](int code) { QCoreApplication::exit(code); }};
    AlsaSeqInput midiInput(clock);
    services.midiInput = &midiInput;
    MainWindow window(services);
    notifier.setParent(&window);

    OpenRequestServer server(
        [&window](const std::vector<std::string>& paths) { window.openRequested(paths); });
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

    // A screenshot run keeps no recovery files and asks nothing.
    Autosave autosave(
        line.screenshot.isEmpty() ? recoveryFolderPath() : std::string(),
        [&window] { return window.documents(); }, autosaveInterval(*settings));
    autosave.onFailure = [&notifier](const std::string& message) { notifier.warning(message, "Warning"); };
    followDocuments(window, autosave);
    autosave.prepareFolder();

    window.showAtSavedPlacement();
    // Documents kept from an instance that ended without closing them come first, so a file
    // named on the command line that is among them shows the recovered changes.
    const int recovered = offerRecovery(window, autosave, [&window](const std::vector<RecoveryFile>& files) {
        return askRecoveryDialog(&window, files);
    });
    if (line.files.isEmpty()) {
        if (recovered == 0)
            window.newSheet();
    } else {
        std::vector<std::string> files;
        for (const QString& file : line.files)
            files.push_back(file.toStdString());
        window.openFiles(files);
    }
    // Writes that a crash cut short left temporary files; those of writers that are gone go.
    removeLeftoverWrites(window, autosave);
    return app.exec();
}

} // namespace tonvela
