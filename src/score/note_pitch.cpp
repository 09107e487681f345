#include "score/note_pitch.h"

#include "score/note.h"
#include "score/staff_kind.h"
#include "theory/pitch.h"

#include <algorithm>
#include <array>
#include <span>
#include <utility>

namespace tonvela {

namespace {

// The pitch character and octave counter of a key, walked from middle C ('C' at octave 2).
void walkPitchOfKey(int key, char& c, int& oct)
{
    c = 'C';
    oct = 2;
    for (int k = 60; k < key; ++k)
        semitoneUp(c, oct);
    for (int k = 60; k > key; --k)
        semitoneDown(c, oct);
}

// The same, looked up: the walk of every key 0..127 is done once (an import places each of
// its notes through here).
void pitchOfKey(int key, char& c, int& oct)
{
    struct Pitch {
        char c;
        int oct;
    };
    static const std::array<Pitch, 128> kTable = [] {
        std::array<Pitch, 128> t{};
        for (int k = 0; k < 128; ++k)
            walkPitchOfKey(k, t[static_cast<std::size_t>(k)].c, t[static_cast<std::size_t>(k)].oct);
        return t;
    }();
    if (key < 0 || key > 127) {
        walkPitchOfKey(key, c, oct);
        return;
    }
    c = kTable[static_cast<std::size_t>(key)].c;
    oct = kTable[static_cast<std::size_t>(key)].oct;
}

} // namespace

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
    pitchOfKey(key, c, oct);
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

GuitarPosition guitarPositionOfNote(const Note& note, const GuitarTuning& tuning)
{
    char pitch = note.letter;
    if (note.dwFlag & kFlagSharp)
        pitch = semitoneUp(pitch);
    else if (note.dwFlag & kFlagFlat)
        pitch = semitoneDown(pitch);
    const int count = kGuitarStrings;
    // The first hand position first; a tuning with wide gaps between strings (DADGAD's low D
    // to A) leaves keys only higher frets reach.
    for (const auto& [lowest, highest] : {std::pair{0, 4}, std::pair{5, 24}}) {
        for (int s = 0; s < count; ++s) {
            char c = 'C';
            int oct = 2;
            pitchOfKey(tuning.openKey(s) + lowest, c, oct);
            for (int fret = lowest; fret <= highest; ++fret) {
                if (c == pitch && oct == note.octave)
                    return {s, fret};
                semitoneUp(c, oct);
            }
        }
    }
    return {count - 1, 5};
}

int openStringKey(int stringIndex, const GuitarTuning& tuning)
{
    return tuning.openKey(stringIndex);
}

GuitarPosition tabPositionForKey(const Note& note, int key, const GuitarTuning& tuning)
{
    const int count = kGuitarStrings;
    const auto open = [&](int s) { return tuning.openKey(s); };
    const GuitarPosition shown = guitarPositionOfNote(note, tuning);
    if (shown.stringIndex >= 0 && shown.stringIndex < count && open(shown.stringIndex) + shown.fret == key)
        return shown;
    int best = -1;
    for (int s = 0; s < count; ++s) {
        const int fret = key - open(s);
        if (fret >= 0 && fret <= 24 && (best < 0 || fret < key - open(best)))
            best = s;
    }
    if (best < 0)
        return {count - 1, std::clamp(key - open(count - 1), 0, 24)};
    return {best, key - open(best)};
}

} // namespace tonvela
