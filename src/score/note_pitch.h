#pragma once

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
    int stringIndex; // 0 = highest string (E, key 64) .. 5 = lowest
    int fret;
};
// String and fret (0..4) of a note on the tablature's strings (its staff kind's open strings,
// standard tuning); the lowest string, fret 5 when nothing matches.
GuitarPosition guitarPositionOfNote(const Note& note);

// Where a note of a tablature track is played when it sounds `key`: the string and fret the
// tablature shows when they sound that key, otherwise the lowest fret (0..24) of the
// tablature's tuning that does, the lowest string's nearest fret for a key below it. Exports write this so
// other programs show the fret the sheet shows and play what the sheet plays.
GuitarPosition tabPositionForKey(const Note& note, int key);
// The key an open string of the tablature sounds (0 = highest, E above middle C).
int openStringKey(int stringIndex);

} // namespace tonvela
