#include "shell/frame/playback_commands.h"

#include "shell/documents/document_window.h"
#include "shell/frame/main_window.h"
#include "shell/panels/length_bar.h"
#include "shell/player.h"

namespace tonvela {

// Takes the playback thread's reports over to the user-interface thread. A report still queued
// when the main window goes is dropped by Qt with the window.
class PlaybackCommands::Reports final : public PlaybackView {
  public:
    explicit Reports(MainWindow& frame) : m_frame(frame) {}

    void progress(const Progress& p, int64_t /*atUs*/) override
    {
        const QString elapsed = QString::fromStdString(p.elapsedText);
        const QString total = QString::fromStdString(p.totalText);
        const int slider = p.slider;
        MainWindow* frame = &m_frame;
        QMetaObject::invokeMethod(
            frame,
            [frame, elapsed, total, slider] {
                frame->playbackCommands().showProgress(elapsed, total, slider);
            },
            Qt::QueuedConnection);
    }
    void highlightsChanged(int /*trackIndex*/, int64_t /*atUs*/) override
    {
        MainWindow* frame = &m_frame;
        QMetaObject::invokeMethod(
            frame, [frame] { frame->playbackCommands().repaintPlayingSheets(); }, Qt::QueuedConnection);
    }
    void ended() override
    {
        MainWindow* frame = &m_frame;
        QMetaObject::invokeMethod(
            frame,
            [frame] {
                frame->updateCommandStates();
                for (DocumentWindow* d : frame->documents())
                    d->playbackChanged();
            },
            Qt::QueuedConnection);
    }

  private:
    MainWindow& m_frame;
};

PlaybackCommands::PlaybackCommands(MainWindow& frame)
    : m_frame(frame), m_reports(std::make_unique<Reports>(frame))
{
    m_frame.services().player.setView(m_reports.get());
}

PlaybackCommands::~PlaybackCommands()
{
    // After this returns the playback thread reports nowhere.
    m_frame.services().player.setView(nullptr);
}

bool PlaybackCommands::play(PlayMode mode)
{
    Player& player = m_frame.services().player;
    DocumentWindow* active = m_frame.activeDocument();
    SheetDocument* sheet = active ? active->shownSheet() : nullptr;
    if (!sheet)
        return false;
    if (player.available()) {
        if (mode == PlayMode::Events)
            player.stop();
        player.play(*sheet, mode, active->midiDevice());
    }
    m_frame.updatePanels();
    return true;
}

bool PlaybackCommands::stop()
{
    m_frame.services().player.stop();
    m_frame.updatePanels();
    return true;
}

void PlaybackCommands::seek(int position)
{
    Player& player = m_frame.services().player;
    if (player.isPlaying())
        player.seek(static_cast<double>(position) / kSliderRange);
}

void PlaybackCommands::playTablaSample()
{
    m_frame.services().player.playBankSample("../Tabla.sf2");
}

void PlaybackCommands::playStartupWave()
{
    m_frame.services().player.playWaveFile("../startup.wav");
}

void PlaybackCommands::showProgress(const QString& elapsed, const QString& total, int slider)
{
    m_frame.lengthBar()->showTimes(elapsed, total);
    if (slider >= 0)
        m_frame.lengthBar()->showPosition(slider);
}

void PlaybackCommands::repaintPlayingSheets()
{
    Player& player = m_frame.services().player;
    for (DocumentWindow* d : m_frame.documents())
        if (const SheetDocument* sheet = d->shownSheet(); sheet && player.isPlaying(sheet))
            d->playbackChanged();
}

} // namespace tonvela
