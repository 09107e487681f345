#include "shell/frame/playback_commands.h"

#include "editor/commands.h"
#include "editor/editing/sheet_editor.h"
#include "platform/notifier.h"
#include "platform/sheet_lock.h"
#include "score/play_time.h"
#include "shell/documents/document_window.h"
#include "shell/frame/main_window.h"
#include "shell/panels/length_bar.h"
#include "shell/player.h"

#include <QDir>
#include <QFileInfo>

namespace tonvela {
namespace {
constexpr const char* kTablaBank = "../Tabla.sf2";
constexpr const char* kStartupWave = "../startup.wav";
} // namespace

// Takes the playback thread's reports over to the user-interface thread. A report still queued
// when the main window goes is dropped by Qt with the window.
class PlaybackCommands::Reports final : public PlaybackView {
  public:
    Reports(MainWindow& frame, const std::atomic<int>& generation) : m_frame(frame), m_generation(generation)
    {
    }

    void progress(const Progress& p, int64_t /*atUs*/) override
    {
        // The panel's units: minutes and seconds, and the slider's place (none while the
        // position is held where the user put it).
        const QString elapsed = minutesSeconds(p.elapsedMs);
        const QString total = minutesSeconds(p.totalMs);
        const int slider = p.positionHeld || p.totalMs <= 0 ? -1 : sliderPosition(p.elapsedMs, p.totalMs);
        post([elapsed, total, slider](PlaybackCommands& c) { c.showProgress(elapsed, total, slider); });
    }
    void highlightsChanged(int /*trackIndex*/, int64_t /*atUs*/) override
    {
        post([](PlaybackCommands& c) { c.repaintPlayingSheets(); });
    }
    void followMeasure(int measureIndex, int64_t /*atUs*/) override
    {
        post([measureIndex](PlaybackCommands& c) { c.followMeasure(measureIndex); });
    }
    void ended() override
    {
        // The playback thread reports the end of the playback it runs; a new one starts only
        // after the old thread was joined, so the generation read here is this playback's.
        const int generation = m_generation.load(std::memory_order_acquire);
        post([generation](PlaybackCommands& c) { c.ended(generation); });
    }

  private:
    template <class F> void post(F&& f)
    {
        MainWindow* frame = &m_frame;
        QMetaObject::invokeMethod(
            frame, [frame, f = std::forward<F>(f)] { f(frame->playbackCommands()); }, Qt::QueuedConnection);
    }

    MainWindow& m_frame;
    const std::atomic<int>& m_generation;
};

PlaybackCommands::PlaybackCommands(MainWindow& frame)
    : m_frame(frame), m_reports(std::make_unique<Reports>(frame, m_generation))
{
    m_frame.services().player.setView(m_reports.get());
}

PlaybackCommands::~PlaybackCommands()
{
    // After this returns the playback thread reports nowhere.
    m_frame.services().player.setView(nullptr);
}

bool PlaybackCommands::isPlaying(const SheetDocument* sheet) const
{
    return m_playing && (!sheet || sheet == m_playing);
}

bool PlaybackCommands::runs(int commandId) const
{
    if (!m_playing)
        return false;
    switch (commandId) {
    case kCmdPlay:
        return m_mode == PlayMode::Track;
    case kCmdPlayAll:
        return m_mode == PlayMode::All;
    case kCmdEventPlayback:
        return m_mode == PlayMode::Events;
    default:
        return false;
    }
}

DocumentWindow* PlaybackCommands::playingWindow() const
{
    if (!m_playing)
        return nullptr;
    for (DocumentWindow* d : m_frame.documents())
        if (d->shownSheet() == m_playing)
            return d;
    return nullptr;
}

bool PlaybackCommands::toggleChordSymbols()
{
    m_chordSymbols = !m_chordSymbols;
    m_frame.services().player.setPlayChordSymbols(m_chordSymbols);
    return true;
}

bool PlaybackCommands::play(PlayMode mode)
{
    return start(mode, std::nullopt);
}

bool PlaybackCommands::playOrStop()
{
    DocumentWindow* active = m_frame.activeDocument();
    const SheetDocument* sheet = active ? active->shownSheet() : nullptr;
    SheetEditor* editor = active ? active->sheetEditor() : nullptr;
    if (!sheet || !editor)
        return false;
    if (isPlaying(sheet))
        return stop();
    std::optional<double> from;
    {
        const SheetLockGuard lock(sheetLock());
        for (int t = 0; t < sheet->trackCount() && !from; ++t)
            if (const int note = editor->editState().track(t).currentNote; note >= 0)
                from = playAllFractionAt(*sheet, t, note);
    }
    return start(PlayMode::All, from);
}

bool PlaybackCommands::start(PlayMode mode, std::optional<double> from)
{
    Player& player = m_frame.services().player;
    DocumentWindow* active = m_frame.activeDocument();
    SheetDocument* sheet = active ? active->shownSheet() : nullptr;
    if (!sheet)
        return false;
    if (player.available()) {
        // What plays stops first, so that its end is reported under the old generation and
        // the new playback's under the new one.
        if (player.isPlaying(nullptr))
            player.stop();
        // A playback of another sheet ends with the new one; its window goes back to the start.
        if (DocumentWindow* before = playingWindow(); before && before != active)
            before->setPlayPosition(0);
        m_playing = nullptr;
        m_generation.fetch_add(1, std::memory_order_acq_rel);
        if (!from)
            from = static_cast<double>(active->playPosition()) / kSliderRange;
        if (player.play(*sheet, mode, active->midiDevice(), *from)) {
            m_playing = sheet;
            m_mode = mode;
        } else {
            m_playing = nullptr;
        }
    }
    m_frame.updatePanels();
    m_frame.updateCommandStates();
    return true;
}

bool PlaybackCommands::stop()
{
    m_frame.services().player.stop();
    if (DocumentWindow* w = playingWindow())
        w->setPlayPosition(0);
    m_playing = nullptr;
    m_frame.updatePanels();
    m_frame.updateCommandStates();
    return true;
}

void PlaybackCommands::seek(int position)
{
    DocumentWindow* active = m_frame.activeDocument();
    if (!active || !active->shownSheet())
        return;
    active->setPlayPosition(position);
    Player& player = m_frame.services().player;
    if (isPlaying(active->shownSheet()) && player.isPlaying(active->shownSheet()))
        player.seek(static_cast<double>(position) / kSliderRange);
    else
        m_frame.updatePanels(); // the time at the new start
}

namespace {

// Plays a fixed sound file when it is there; otherwise says which file it looked for.
template <class Play>
void playFixedFile(MainWindow& frame, const char* relative, const char* what, Play&& play)
{
    const QFileInfo info(QDir::current(), QString::fromUtf8(relative));
    if (!info.isFile()) {
        frame.services().notifier.error("Could not play the " + std::string(what) + ": " +
                                            QDir::cleanPath(info.absoluteFilePath()).toStdString() +
                                            " does not exist.",
                                        "Error");
        return;
    }
    play(std::string(relative));
}

} // namespace

void PlaybackCommands::playTablaSample()
{
    Player& player = m_frame.services().player;
    playFixedFile(m_frame, kTablaBank, "tabla sample",
                  [&player](const std::string& p) { player.playBankSample(p); });
}

void PlaybackCommands::playStartupWave()
{
    Player& player = m_frame.services().player;
    playFixedFile(m_frame, kStartupWave, "startup sound",
                  [&player](const std::string& p) { player.playWaveFile(p); });
}

void PlaybackCommands::showProgress(const QString& elapsed, const QString& total, int slider)
{
    DocumentWindow* playing = playingWindow();
    if (!playing)
        return;
    if (slider >= 0)
        playing->setPlayPosition(slider);
    if (playing != m_frame.activeDocument())
        return; // another window is shown; it keeps its own position
    m_frame.lengthBar()->showTimes(elapsed, total);
    if (slider >= 0)
        m_frame.lengthBar()->showPosition(slider);
}

void PlaybackCommands::repaintPlayingSheets()
{
    if (DocumentWindow* w = playingWindow())
        w->playbackChanged();
}

void PlaybackCommands::followMeasure(int measure)
{
    if (DocumentWindow* w = playingWindow())
        w->showMeasure(measure);
}

void PlaybackCommands::ended(int generation)
{
    if (generation != m_generation.load(std::memory_order_acquire))
        return; // the end of a playback that a newer one replaced
    if (DocumentWindow* w = playingWindow()) {
        w->setPlayPosition(0);
        w->playbackChanged();
    }
    m_playing = nullptr;
    m_frame.updatePanels();
    m_frame.updateCommandStates();
}

} // namespace tonvela
