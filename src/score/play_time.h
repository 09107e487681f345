#pragma once

#include "score/duration.h"

#include <string>

namespace tonvela {

class Track;

// "mm:ss" as the time displays show it: "%2d:%2d" with blanks written as 0 (75 s is "01:15");
// negative times show as 00:00.
std::string formatPlayTime(long long ms);

// How long the track plays in score time: the walk of what it plays (play_walk.h), loops and
// measure repeats followed, each step as long as playback holds it.
Ticks playedTicks(const Track& track);

// The track's playing time at its tempo, in milliseconds, rounded from the exact time.
long long totalPlayMs(const Track& track);

// The time at 120 bpm up to and including the chord of note `index` (a member counts as its
// root; a note tied on to an earlier one counts with it), loops and measure repeats followed (a
// note of a repeated measure counts once its repeat has played, so the last note gives the
// whole time), as "mm:ss".
std::string playTimeText(const Track& track, int index);

} // namespace tonvela
