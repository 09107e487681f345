#pragma once

// Two voices on one staff.
//
// Voice 2 notes lie in the track's one array with voice 1: the notes of a measure in the order
// of their time in the measure, voice 1 before voice 2 where both start together. Voice 1 makes
// the measures: a voice 2 chord root adds nothing to the measure sum and never opens a measure
// (measure_division.h), so it lies in the measure of the voice 1 note before it, and both voices
// of a measure share its bar lines. Each voice counts its own time from the start of its
// measure. Bar lines, spaces, staff breaks and clips belong to voice 1; a chord member belongs to
// the voice of its root, so chords are per voice.

#include "score/duration.h"

#include <cstdint>
#include <vector>

namespace tonvela {

class Track;
class MeasureDivision;

// The voice (kVoice1 or kVoice2) note i is counted in.
uint8_t voiceOf(const Track& track, int i);

// True when some note of the track is counted in voice 2.
bool hasSecondVoice(const Track& track);

// The next chord root after i counted in the same voice as i; track.count when there is none.
int nextRootInVoice(const Track& track, int i);
// The chord root before i counted in the same voice as i; -1 when there is none.
int previousRootInVoice(const Track& track, int i);

// Where each of the divided notes starts in its measure, counted in its own voice (a chord member
// where its root starts). `measures` must be the track's division as it is now.
std::vector<Ticks> voiceOffsets(const Track& track, const MeasureDivision& measures);

// The index at which a new chord root of `voice` that starts `offset` ticks into measure
// `measure` keeps the measure in time order: before the first root of the measure that starts
// later (or at the same time in voice 2 when the new note is of voice 1), else after the
// measure's last note. A measure beyond the last one means the end of the track.
int voiceInsertionIndex(const Track& track, const MeasureDivision& measures, int measure, uint8_t voice,
                        Ticks offset);

} // namespace tonvela
