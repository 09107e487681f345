#pragma once

// The one time base of the score: how long every note kind lasts, and what a place in a track
// is at a tempo. Measure division, layout, play time, playback, every writer and reader and
// the command-line tool take their lengths from here; nothing else keeps a table of lengths.

#include "score/note.h"

#include <array>
#include <cstdint>
#include <span>

namespace tonvela {

// A length or a place in the score, in ticks: 1920 to the quarter note. Every length a note
// can have is a whole number of ticks: a thirty-second is 240, dotted 360, a triplet
// thirty-second 160, so sums of lengths are exact and places never drift.
using Ticks = int64_t;
inline constexpr Ticks kQuarterTicks = 1920;
inline constexpr Ticks kWholeTicks = 4 * kQuarterTicks;

// One note kind of the duration table.
struct NoteKind {
    int type;                 // kTypeWhole .. kTypeThirtySecond
    int denominator;          // the kind as a part of a whole note: 1, 2, 4, 8, 16, 32
    Ticks ticks;              // its length, plain
    const char* musicXmlType; // its MusicXML <type>
};

// The kinds that take time, longest first. A new duration is a new row here (and a type code
// in note.h); every consumer finds it from this table.
inline constexpr std::array<NoteKind, 6> kNoteKinds{{
    {kTypeWhole, 1, kWholeTicks, "whole"},
    {kTypeHalf, 2, kWholeTicks / 2, "half"},
    {kTypeQuarter, 4, kWholeTicks / 4, "quarter"},
    {kTypeEighth, 8, kWholeTicks / 8, "eighth"},
    {kTypeSixteenth, 16, kWholeTicks / 16, "16th"},
    {kTypeThirtySecond, 32, kWholeTicks / 32, "32nd"},
}};

// The index of a type code's row; -1 for items that take no time (bar lines, spaces, staff
// breaks, audio clips and the other marks). Constant expressions go through the index: GCC
// under AddressSanitizer does not fold a comparison of a table row's address with null.
constexpr int noteKindIndex(int type)
{
    for (std::size_t i = 0; i < kNoteKinds.size(); ++i)
        if (kNoteKinds[i].type == type)
            return static_cast<int>(i);
    return -1;
}

// The row of a type code; null for items that take no time.
constexpr const NoteKind* noteKindOf(int type)
{
    const int i = noteKindIndex(type);
    return i < 0 ? nullptr : &kNoteKinds[static_cast<std::size_t>(i)];
}

// A dotted note lasts three halves of its kind.
constexpr Ticks dottedTicks(Ticks plain)
{
    return plain * 3 / 2;
}

// A triplet note lasts two thirds of its written note: three triplet eighths take a quarter.
constexpr Ticks tripletTicks(Ticks written)
{
    return written * 2 / 3;
}

// The length of an item of kind `type` with the flag bits `dwFlag`: its kind's length, three
// halves of it when dotted, two thirds of that when it carries the triplet mark; 0 for items
// that take no time. Every kind's length divides by three, so a triplet is exact too.
constexpr Ticks lengthTicks(int type, int dwFlag)
{
    const int i = noteKindIndex(type);
    if (i < 0)
        return 0;
    const Ticks plain = kNoteKinds[static_cast<std::size_t>(i)].ticks;
    const Ticks written = (dwFlag & kFlagDot) ? dottedTicks(plain) : plain;
    return (dwFlag & kFlagTriplet) ? tripletTicks(written) : written;
}
static_assert(lengthTicks(kTypeThirtySecond, kFlagTriplet) * 3 == lengthTicks(kTypeThirtySecond, 0) * 2);
// Whether an item's length is shortened by the triplet mark.
constexpr bool isTriplet(int type, int dwFlag)
{
    return (dwFlag & kFlagTriplet) != 0 && noteKindIndex(type) >= 0;
}
inline Ticks lengthTicks(const NoteContent& n)
{
    return lengthTicks(n.type, n.dwFlag);
}

// A length in quarter notes, the beats the panels show.
constexpr double beatsOf(Ticks t)
{
    return static_cast<double>(t) / static_cast<double>(kQuarterTicks);
}

// The lengths a note can be given: every kind plain and dotted, shortest first. Quantizers
// (the MIDI import, the MusicXML import, a length in beats) choose among these.
struct NoteLength {
    Ticks ticks;
    int type;
    bool dotted;
};
inline constexpr std::array<NoteLength, 2 * kNoteKinds.size()> kNoteLengths = [] {
    std::array<NoteLength, 2 * kNoteKinds.size()> out{};
    std::size_t i = 0;
    for (std::size_t k = kNoteKinds.size(); k-- > 0;) {
        out[i++] = {kNoteKinds[k].ticks, kNoteKinds[k].type, false};
        out[i++] = {dottedTicks(kNoteKinds[k].ticks), kNoteKinds[k].type, true};
    }
    return out;
}();

// The microsecond at which tick place `at` (from the start of a track) sounds at `tempo`
// quarter notes per minute, rounded to the nearest microsecond. Times come from places, never
// from sums of rounded lengths, so nothing drifts: 64 thirty-seconds at 120 take 4 000 000 us.
// A tempo below 1 counts as 1.
int64_t usAtTempo(Ticks at, int tempo);
// The place that sounds at microsecond `us` at `tempo`, rounded down.
Ticks ticksAtTempo(int64_t us, int tempo);
// A length in milliseconds at a tempo, rounded to the nearest millisecond: for times shown to
// people and limits, never for scheduling.
int64_t msAtTempo(Ticks length, int tempo);

} // namespace tonvela
