#pragma once

// Entry of voice 2 notes (score/voices.h): a note goes in at a time of a measure, after rests
// that carry voice 2 from where it stood to that time, and the measure's notes stay in time
// order in the track's array.

#include "score/duration.h"
#include "score/note.h"

#include <optional>

namespace tonvela {

class MeasureDivision;
class SheetViewState;
class Track;

// How long measure `measure` (from 1) of the track lasts: the pickup for the first when the
// track opens with one.
Ticks measureLengthOf(const Track& track, int measure);

// Where voice 2 of the measure ends: the end of its last chord root, 0 when it has none.
// `measures` must be the track's division as it is now.
Ticks voice2End(const Track& track, const MeasureDivision& measures, int measure);

// Enters `note` as a voice 2 chord root into measure `measure` at `offset` ticks from the
// measure's start. Voice 2 is one line of notes: the note follows the last voice 2 root that
// starts at or before `offset`, and starts where that one ends when it ends later; rests of
// voice 2 fill the time between that end (the measure start when there is none) and
// `offset`. A voice 2 rest at that time makes room for the note, rests keeping what is left
// of it; otherwise voice 2 notes after it move on by what went in. The measure's roots are then put
// in time order again (voice 1 before voice 2 where both start together), so the measures,
// voice 1 and its timing stay as they were. A measure beyond the track's last one (a track
// without notes) takes the note at the track's end. Returns the entered note's index, -1 when
// the track has no room for the note and its rests (nothing changes then).
int enterVoice2Note(Track& track, int measure, Ticks offset, Note note);

// Puts the chord roots of every measure back in time order, as enterVoice2Note leaves them, after
// an edit that moved voice 1 notes past voice 2 ones (a paste or a delete in the middle of a
// measure): each voice keeps its own order and rhythm, only their interleaving changes. Nothing
// for a track of one voice. True when notes moved.
bool restoreTimeOrder(Track& track);

// The measure and the time in it that the point at x on staff row `row` stands for: the
// measure of the last note column at or left of x, the time between that column's and the
// next one's (or the measure's closing bar line) in proportion to x, rounded down to a
// multiple of `grid` ticks but never before the column. None when the row shows no notes of
// its track. Call under the sheet lock.
struct VoiceSpot {
    int measure = 0;
    Ticks offset = 0;
};
std::optional<VoiceSpot> voiceSpotAt(const SheetViewState& view, int row, int x, Ticks grid);

} // namespace tonvela
