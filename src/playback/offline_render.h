#pragma once

#include "playback/scheduler.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tonvela {

class SheetDocument;
class Clock;

struct RenderOptions {
    PlayMode mode = PlayMode::All;
    int track = -1; // the track of PlayMode::Track; -1 for the sheet's selected track
    double sampleRate = 44100.0;
    std::string soundFont; // empty: the General MIDI SoundFont findSoundFont() names
    int64_t tailMs = 1500; // rendered after the last note so that releases ring out
    // Longer sheets are refused (the audio is built in memory before it is written).
    int64_t maxLengthMs = 30LL * 60 * 1000;
    // Called now and then with the milliseconds rendered and the sheet's length.
    std::function<void(int64_t doneMs, int64_t totalMs)> progress;
    // The stream slots audio clip notes play in, made on the render's virtual clock, and how
    // what they played is mixed into the rendered samples at the end. Without them clips take
    // no time and sound nothing.
    std::function<std::unique_ptr<ClipSlots>(const Clock& clock, double sampleRate)> makeClipSlots;
    std::function<void(const ClipSlots& slots, std::vector<float>& interleaved)> mixClips;
};

// Interleaved stereo samples, time 0 at the start of the playback.
struct RenderedAudio {
    bool ok = false;
    std::string error;
    double sampleRate = 44100.0;
    std::vector<float> samples; // left, right, left, right, ...
    int64_t playedMs = 0;       // when the playback ended (before the tail)
    int64_t frames() const { return static_cast<int64_t>(samples.size() / 2); }
};

// Plays a sheet through the built-in synthesizer on a virtual clock, as fast as the machine
// allows: the scheduler runs exactly as in real time and the synthesizer applies each message
// at the sample its time gives, so the rendered timing is exact. Audio clip notes take no time
// unless the options bring clip slots.
// Plays the live sheet; it marks notes sounding as a playback does and clears the marks at the
// end. Fails with a message when no SoundFont can be loaded, the sheet has nothing to play or
// plays longer than the limit.
//
// Thread rules: the caller's thread; hold no lock (it takes the sheet lock itself).
RenderedAudio renderSheet(SheetDocument& sheet, const RenderOptions& options);

} // namespace tonvela
