#pragma once

#include "playback/scheduler.h"

#include <QString>

#include <atomic>
#include <memory>
#include <optional>

namespace tonvela {

class DocumentWindow;
class MainWindow;
class SheetDocument;

// The frame's playback commands: Play, Play All, the recorded-event playback and Stop on the
// active sheet, the length bar's slider, the two fixed sound files of Ctrl+T and Ctrl+R, and
// the playback's reports (progress in the length bar, repaints of sounding notes, the sheet
// window following the measure played, the end of a playback).
//
// Every sheet window keeps its own play position (the slider's 0..kSliderRange): the length bar
// shows the active window's. Moving the slider while nothing plays sets where Play starts;
// while the active sheet plays it seeks. A playback that ends, by itself or by Stop, puts its
// sheet back at the start.
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

    // Plays the active sheet on its device from its play position; the event playback stops
    // what plays first.
    bool play(PlayMode mode);
    bool stop();
    // Space: stops the active sheet while it plays; otherwise plays every track of it from
    // the current note (from its play position when it has none).
    bool playOrStop();
    // The length bar's slider moved to `position` (0..kSliderRange).
    void seek(int position);
    // Sample 0 of "../Tabla.sf2" (loaded once) and "../startup.wav"; an "Error" names the
    // file when it is not there.
    void playTablaSample();
    // Play > Chord Symbols: whether playbacks started from now on sound the chord symbols on
    // the accompaniment channel (off until chosen).
    bool toggleChordSymbols();
    bool chordSymbols() const { return m_chordSymbols; }
    void playStartupWave();

    // Whether `sheet` plays as far as the window knows: from a play command until the
    // playback's end was reported or Stop.
    bool isPlaying(const SheetDocument* sheet) const;
    // Whether the playback that command `commandId` (Play, Play All, the MIDI events) starts
    // is the one running.
    bool runs(int commandId) const;

    // A playback's progress: the "mm:ss" texts and, unless `slider` is -1, its position
    // (0..kSliderRange). The length bar shows them while the playing sheet is active.
    void showProgress(const QString& elapsed, const QString& total, int slider);
    // Sounding notes changed: repaint every sheet that plays.
    void repaintPlayingSheets();
    // The first track of the playing sheet reached `measure` (from 1): its window scrolls to
    // the row that shows it.
    void followMeasure(int measure);
    // The playback of generation `generation` ended (reports of an older one are ignored).
    void ended(int generation);

  private:
    bool m_chordSymbols = false;
    class Reports;
    DocumentWindow* playingWindow() const;
    // Plays the active sheet from fraction `from` of its length; none: from its play position.
    bool start(PlayMode mode, std::optional<double> from);

    MainWindow& m_frame;
    std::unique_ptr<Reports> m_reports;
    const SheetDocument* m_playing = nullptr;
    PlayMode m_mode = PlayMode::Track;
    // Counts the playbacks started; read by the playback thread to stamp its end report.
    std::atomic<int> m_generation{0};
};

} // namespace tonvela
