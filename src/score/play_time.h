#pragma once

#include "score/duration.h"

#include <optional>
#include <string>

namespace tonvela {

class SheetDocument;
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

// How long the track plays before the step that sounds note `index` starts, in played score
// time as playback holds each step (a chord member counts as its root, a note tied on to an
// earlier one as the step that holds it, a note of a repeated or looped part at its first
// pass); none when the walk never reaches the note.
std::optional<Ticks> playedTicksBefore(const Track& track, int index);

// Where note `index` of track `trackIndex` starts in a playback of every track together, as
// the fraction (0..1) of the longest track's playing time that a seek of that playback takes;
// none when the note is never played or the sheet plays for no time.
std::optional<double> playAllFractionAt(const SheetDocument& sheet, int trackIndex, int index);

} // namespace tonvela
