#pragma once

#include "score/guitar_tuning.h"

#include "score/note.h"

namespace tonvela {

// Where the pitch vocabulary meets a note record.

// Fills a note from a pitch character and octave (middle C is 'C' at octave 3). A note whose
// type is 0 takes `toolbarType`, and anything that is then not whole..32nd becomes a quarter.
void noteFromPitch(Note& note, char pitch, int octave, int toolbarType = kTypeQuarter);

// Fills a note from a MIDI key as the MIDI reader does: a black key is written as the natural
// below it with the sharp mark. Octave convention: key 60 is octave 2. Type becomes quarter.
void noteFromMidiKey(Note& note, int key);

struct GuitarPosition {
    int stringIndex; // 0 = highest string (E, key 64 in standard tuning) .. 5 = lowest
    int fret;        // counted from the capo
};
// String and fret of a note on the strings of `tuning` (standard unless a track's is given):
// the first string, highest first, that holds it at frets 0..4 from the capo, else the first
// that holds it higher up (to fret 24); the lowest string, fret 5 when none does.
GuitarPosition guitarPositionOfNote(const Note& note, const GuitarTuning& tuning = {});

// Where a note of a tablature track is played when it sounds `key`: the string and fret the
// tablature shows when they sound that key, otherwise the lowest fret (0..24) of the
// tablature's tuning that does, the lowest string's nearest fret for a key below it. Exports write this so
// other programs show the fret the sheet shows and play what the sheet plays.
GuitarPosition tabPositionForKey(const Note& note, int key, const GuitarTuning& tuning = {});
// The key an open string of the tablature sounds with the capo on (0 = highest, E above middle
// C in standard tuning).
int openStringKey(int stringIndex, const GuitarTuning& tuning = {});

} // namespace tonvela
