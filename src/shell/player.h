#pragma once

#include <string>

#include "playback/scheduler.h"

namespace tonvela {

namespace audio {
class SoundBank;
}
class PlaybackView;
class SheetDocument;
class SoundingNotes;

// Playback of a sheet as the frame's Play, Play All, Stop and event playback commands drive
// it. The scheduler that times the notes sits behind this; the frame only starts, stops and
// asks.
//
// Thread rules: user-interface thread.
class Player {
  public:
    virtual ~Player() = default;
    // False while no playback engine is built in; the play commands are then disabled.
    virtual bool available() const = 0;
    // Plays on the given device of the "MIDI Device:" list, from fraction `from` (0..1) of the
    // sheet's length. False when it could not start.
    virtual bool play(SheetDocument& sheet, PlayMode mode, int device, double from) = 0;
    // Whether playbacks from now on sound the sheet's chord symbols (Play > Chord Symbols).
    virtual void setPlayChordSymbols(bool /*on*/) {}
    // Stops and closes the output device.
    virtual void stop() = 0;
    // True while `sheet` plays (any sheet when null).
    virtual bool isPlaying(const SheetDocument* sheet = nullptr) const = 0;
    // Moves a running playback to a fraction (0..1) of its length.
    virtual void seek(double /*fraction*/) {}
    // Sample 0 of the SoundFont bank at `bankPath`, loaded on the first call only.
    virtual void playBankSample(const std::string& /*bankPath*/) {}
    // Sample `index` of a loaded bank, once, on a stream of its own; returns at once. The sample
    // is copied, so the bank may go right after.
    virtual void playSampleOf(const audio::SoundBank& /*bank*/, int /*index*/) {}
    // A wave file on a stream of its own.
    virtual void playWaveFile(const std::string& /*path*/) {}
    // Where progress, highlights and the end of a playback are reported; null for nowhere.
    // Reports arrive on the playback thread.
    virtual void setView(PlaybackView* /*view*/) {}
    // What plays now, for sheet windows to highlight (read under the sheet lock); null when
    // nothing ever plays. Lives as long as the player.
    virtual const SoundingNotes* soundingNotes() const { return nullptr; }
};

// The player of a build without a playback engine.
class NoPlayer : public Player {
  public:
    bool available() const override { return false; }
    bool play(SheetDocument&, PlayMode, int, double) override { return false; }
    void stop() override {}
    bool isPlaying(const SheetDocument*) const override { return false; }
};

} // namespace tonvela
