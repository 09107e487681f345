#include "score/note_pitch.h"

#include "score/note.h"
#include "theory/pitch.h"

#include <algorithm>

namespace tonvela {

void noteFromPitch(Note& note, char pitch, int octave, int toolbarType)
{
    note.dwFlag &= ~(kFlagFlat | kFlagSharp);
    char target = pitch;
    if (isSharpDigit(pitch)) {
        note.dwFlag |= kFlagSharp;
        target = naturalOfSharp(pitch);
    }
    char c = 'A';
    int oct = 0;
    int key = 33;
    int line = 16;
    while (!(c == target && oct == octave) && oct <= 6) {
        semitoneUp(c, oct);
        ++key;
        if (isNaturalPitch(c))
            --line;
    }
    note.line = static_cast<int16_t>(line);
    note.midi = static_cast<int8_t>(std::min(key, 127));
    note.letter = c;
    note.octave = oct;
    if (note.type == 0)
        note.type = toolbarType;
    if (note.type < kTypeWhole || note.type > kTypeThirtySecond)
        note.type = kTypeQuarter;
}

void noteFromMidiKey(Note& note, int key)
{
    if (key < 0)
        key = 0;
    if (key > 127)
        key = 127;
    char c = 'C';
    int oct = 2;
    int k = 60;
    while (k < key) {
        semitoneUp(c, oct);
        ++k;
    }
    while (k > key) {
        semitoneDown(c, oct);
        --k;
    }
    note.dwFlag &= ~(kFlagFlat | kFlagSharp);
    int natural = key;
    if (isSharpDigit(c)) {
        semitoneDown(c, oct);
        natural = key - 1;
        note.dwFlag |= kFlagSharp;
    }
    // Staff position of the natural: seven steps per octave, 0 at middle C, lower is larger.
    const int octaveFromMiddle = (natural >= 60 ? (natural - 60) / 12 : -((71 - natural) / 12));
    note.line = static_cast<int16_t>(-(7 * octaveFromMiddle + letterIndexFromC(c)));
    note.midi = static_cast<int8_t>(natural);
    note.letter = c;
    note.octave = oct;
    note.type = kTypeQuarter;
}

GuitarPosition guitarPositionOfNote(const Note& note)
{
    char pitch = note.letter;
    if (note.dwFlag & kFlagSharp)
        pitch = semitoneUp(pitch);
    else if (note.dwFlag & kFlagFlat)
        pitch = semitoneDown(pitch);
    static constexpr char kOpen[] = "EBGDAE";
    static constexpr int kOpenOctave[] = {2, 1, 1, 1, 0, 0};
    for (int s = 0; s < 6; ++s) {
        char c = kOpen[s];
        int oct = kOpenOctave[s];
        for (int fret = 0; fret < 5; ++fret) {
            if (c == pitch && oct == note.octave)
                return {s, fret};
            semitoneUp(c, oct);
        }
    }
    return {5, 5};
}

namespace {
// Open strings of standard tuning, highest first, as MIDI keys.
constexpr int kOpenStrings[] = {64, 59, 55, 50, 45, 40};
} // namespace

int openStringKey(int stringIndex)
{
    return kOpenStrings[std::clamp(stringIndex, 0, 5)];
}

GuitarPosition tabPositionForKey(const Note& note, int key)
{
    const GuitarPosition shown = guitarPositionOfNote(note);
    if (shown.stringIndex >= 0 && shown.stringIndex < 6 &&
        kOpenStrings[shown.stringIndex] + shown.fret == key)
        return shown;
    int best = -1;
    for (int s = 0; s < 6; ++s) {
        const int fret = key - kOpenStrings[s];
        if (fret >= 0 && fret <= 24 && (best < 0 || fret < key - kOpenStrings[best]))
            best = s;
    }
    if (best < 0)
        return {5, std::clamp(key - kOpenStrings[5], 0, 24)};
    return {best, key - kOpenStrings[best]};
}

} // namespace tonvela
