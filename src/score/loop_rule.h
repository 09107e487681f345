#pragma once

namespace tonvela {

class Track;

// Walks over a track (play time, export, playback length) stop after this many steps, so loops
// with absurd counts cannot make them run without bound.
inline constexpr long long kMaxWalkSteps = 4'000'000;

// The note loop in progress while a track is walked in playing order. Playback, play time and
// the MIDI writer walk with the same rule, so they agree on how often a loop repeats.
struct LoopState {
    int loopNote = -1;
    int loopMark = -1;
    int loopRemaining = 0;
    int lastPlayedIndex = -1;
};

// The index that follows note i once it has started. A note with a loop count jumps back to
// its loopTo; the notes from loopTo to the loop note play loopCount + 1 times in all. Only one
// loop runs at a time, and a loop note at or below the current mark is not taken again.
// A loop whose target lies outside the track or whose count is below one is ignored.
int applyLoopRule(const Track& track, int i, LoopState& state, bool* jumped = nullptr);

} // namespace tonvela
