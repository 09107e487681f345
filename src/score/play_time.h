#pragma once

#include <string>

namespace tonvela {

class Track;

// Milliseconds or ticks at 120 bpm are divided by this to get them at `tempo`: tempo times 1/120
// taken as a single-precision number, as the timing tables were first computed. Playback, play
// time and the MIDI writer all scale with it, so they agree to the millisecond.
inline double tempoFactor(int tempo)
{
    return static_cast<double>(tempo < 1 ? 1 : tempo) * static_cast<double>(0.008333334f);
}

// A length in milliseconds at 120 bpm at a track's tempo, rounded to the nearest millisecond.
int msAtTempo(int tempo, int ms120);

// "mm:ss" as the time displays show it: "%2d:%2d" with blanks written as 0 (75 s is "01:15");
// negative times show as 00:00.
std::string formatPlayTime(long long ms);

// Longest 120-bpm length of a chord root and its members (0 outside the track).
int chordLengthMs120(const Track& track, int rootIndex);

// The track's playing time at its tempo, loops and measure repeats followed as playback
// follows them: the sum over the chord roots played of each chord's longest length.
long long totalPlayMs(const Track& track);

// The time at 120 bpm up to and including the chord of note `index` (a member counts as its
// root), loops and measure repeats followed (a note of a repeated measure counts once its
// repeat has played, so the last note gives the whole time), as "mm:ss".
std::string playTimeText(const Track& track, int index);

} // namespace tonvela
