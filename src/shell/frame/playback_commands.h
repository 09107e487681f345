#pragma once

#include "playback/scheduler.h"

#include <QString>

#include <memory>

namespace tonvela {

class MainWindow;

// The frame's playback commands: Play, Play All, the recorded-event playback and Stop on the
// active sheet, the length bar's seek, the two fixed sound files of Ctrl+T and Ctrl+R, and the
// playback's reports (progress in the length bar, repaints of sounding notes).
//
// Thread rules: user-interface thread; the player's reports arrive on the playback thread and
// are handed over to the user-interface thread.
class PlaybackCommands {
  public:
    // Listens to the player's reports until destroyed.
    explicit PlaybackCommands(MainWindow& frame);
    ~PlaybackCommands();
    PlaybackCommands(const PlaybackCommands&) = delete;
    PlaybackCommands& operator=(const PlaybackCommands&) = delete;

    // Plays the active sheet on its device; the event playback stops what plays first.
    bool play(PlayMode mode);
    bool stop();
    // The length bar's slider moved to `position` (0..kSliderRange): seek a running playback.
    void seek(int position);
    // Sample 0 of "../Tabla.sf2" (loaded once) and "../startup.wav".
    void playTablaSample();
    void playStartupWave();

    // A playback's progress: the "mm:ss" texts and, unless `slider` is -1 or the user holds
    // the slider, its position (0..kSliderRange).
    void showProgress(const QString& elapsed, const QString& total, int slider);
    // Sounding notes changed: repaint every sheet that plays.
    void repaintPlayingSheets();

  private:
    class Reports;

    MainWindow& m_frame;
    std::unique_ptr<Reports> m_reports;
};

} // namespace tonvela
