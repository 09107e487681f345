#include "playback/midi_import_quantizer.h"

#include "playback/tempo_map.h"
#include "score/duration.h"
#include "score/note.h"
#include "score/note_pitch.h"
#include "score/sounding_pitch.h"
#include "score/time_signature.h"
#include "score/track.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

namespace tonvela {
namespace {

// Places and lengths are counted in thirds of a thirty-second: every note length the score
// has but the dotted thirty-second is a whole number of them, the triplets too.
constexpr Ticks kUnitTicks = kWholeTicks / 96;
constexpr int kUnitsPerBeat = static_cast<int>(kQuarterTicks / kUnitTicks);
constexpr int kThirtySecondUnits = kUnitsPerBeat / 8;
constexpr int kSixteenthUnits = kUnitsPerBeat / 4;
constexpr int kQuarterUnits = kUnitsPerBeat;
// A triplet eighth: the first and second third of a beat.
constexpr int kTripletEighthUnits = kUnitsPerBeat / 3;

struct Length {
    int units;
    int type;
    bool dotted;
    bool triplet = false;
};
// The note lengths of the score (duration.h) that are whole numbers of units, shortest first.
constexpr auto kLengths = [] {
    constexpr std::size_t kCount = [] {
        std::size_t n = 0;
        for (const NoteLength& l : kNoteLengths)
            n += l.ticks % kUnitTicks == 0 ? 1 : 0;
        return n;
    }();
    std::array<Length, kCount> out{};
    std::size_t i = 0;
    for (const NoteLength& l : kNoteLengths)
        if (l.ticks % kUnitTicks == 0)
            out[i++] = {static_cast<int>(l.ticks / kUnitTicks), l.type, l.dotted};
    return out;
}();
// The triplet lengths a beat of triplets is written in, shortest first: a thirty-second to a
// quarter, plain.
constexpr auto kTripletLengths = [] {
    std::array<Length, 4> out{};
    std::size_t i = 0;
    for (int type : {kTypeThirtySecond, kTypeSixteenth, kTypeEighth, kTypeQuarter})
        out[i++] = {static_cast<int>(lengthTicks(type, kFlagTriplet) / kUnitTicks), type, false, true};
    return out;
}();
static_assert(kTripletLengths[2].units == kTripletEighthUnits);
// Rests go up to a whole rest, as long silences always became whole rests.
constexpr int kLongestRestUnits = static_cast<int>(kWholeTicks / kUnitTicks);
// A silence never turns into more rests than this (256 whole rests); a longer one is shortened.
constexpr int64_t kLongestSilenceUnits = 256 * kLongestRestUnits;

// The length nearest to `sounding` that fits in `room` (at least one unit); of two equally
// near, the longer, so a chord rather than a rest takes the doubt.
const Length& noteLength(int64_t sounding, int64_t room)
{
    const Length* best = &kLengths[0];
    for (const Length& l : kLengths) {
        if (l.units > room)
            break;
        if (std::abs(l.units - sounding) <= std::abs(best->units - sounding))
            best = &l;
    }
    return *best;
}

// The length of a voice 2 note: the nearest to `sounding` that fits in `room`; of two equally
// near, the shorter, so the note does not run into a bar line or the next note's time for a
// doubt (voice 2 has rests of its own, and the stop offset keeps the sound).
const Length& voice2Length(int64_t sounding, int64_t room)
{
    const Length* best = &kLengths[0];
    for (const Length& l : kLengths) {
        if (l.units > room)
            break;
        if (std::abs(l.units - sounding) < std::abs(best->units - sounding))
            best = &l;
    }
    return *best;
}

// The longest rest that fits in `room` (room >= 1).
const Length& restLength(int64_t room)
{
    const Length* best = &kLengths[0];
    for (const Length& l : kLengths)
        if (l.units <= room && l.units <= kLongestRestUnits)
            best = &l;
    return *best;
}

// The triplet length of a note in a beat of triplets: the one nearest to `sounding` that fits
// in `room`; the longest that fits when the note sounds to within a sixteenth triplet of it.
const Length& tripletNoteLength(int64_t sounding, int64_t room)
{
    const Length* best = &kTripletLengths[0];
    for (const Length& l : kTripletLengths) {
        if (l.units > room)
            break;
        if (room - sounding <= kTripletLengths[1].units ||
            std::abs(l.units - sounding) <= std::abs(best->units - sounding))
            best = &l;
    }
    return *best;
}

// The longest triplet rest that fits in `room` (room >= 1).
const Length& tripletRestLength(int64_t room)
{
    const Length* best = &kTripletLengths[0];
    for (const Length& l : kTripletLengths)
        if (l.units <= room)
            best = &l;
    return *best;
}

int restCount(int64_t units, bool triplet = false)
{
    int n = 0;
    while (units > 0) {
        units -= triplet ? tripletRestLength(units).units : restLength(units).units;
        ++n;
    }
    return n;
}

// Notes as close as a thirty-second, note after note, ask for the finer grid. Onsets closer
// than a third of a thirty-second are a chord played a little apart, not a run.
bool needsThirtySeconds(const std::vector<double>& onsetBeats)
{
    int intervals = 0;
    int close = 0;
    bool first = true;
    double prev = 0;
    for (double b : onsetBeats) {
        if (!first) {
            const double d = b - prev;
            if (d < 1.0 / 24)
                continue;
            ++intervals;
            if (d >= 0.09 && d <= 0.16)
                ++close;
        }
        first = false;
        prev = b;
    }
    return close >= 3 && close * 50 >= intervals;
}

struct Chord {
    int first = 0; // the root's index among the imported notes
    int size = 0;  // the root and its members, which follow it
    double beat = 0;
    int64_t pos = 0;       // snapped place, in units
    bool triplet = false;  // it lies in a beat of triplets
    int64_t beatStart = 0; // for a triplet chord: where its beat starts, in units
};

// Places chords on the grid. A beat whose chords fall one each on two or three of its start and
// its triplet eighths, one of them a triplet eighth, is a beat of triplets: its chords go to the exact thirds
// of the beat and are written as triplets; every other chord goes to the nearest step.
void snapChords(std::vector<Chord>& chords, int stepUnits)
{
    constexpr double kNear = 1.0 / 24;
    const double stepBeats = static_cast<double>(stepUnits) / kUnitsPerBeat;
    for (std::size_t i = 0; i < chords.size();) {
        const auto beatIndex = static_cast<int64_t>(std::floor(chords[i].beat + kNear));
        std::size_t j = i;
        bool onlyTriplets = true;
        int onStart = 0;
        int first = 0;
        int second = 0;
        while (j < chords.size() && static_cast<int64_t>(std::floor(chords[j].beat + kNear)) == beatIndex) {
            const double frac = chords[j].beat - static_cast<double>(beatIndex);
            if (std::fabs(frac - 1.0 / 3) <= kNear)
                ++first;
            else if (std::fabs(frac - 2.0 / 3) <= kNear)
                ++second;
            else if (std::fabs(frac) <= kNear)
                ++onStart;
            else
                onlyTriplets = false;
            ++j;
        }
        const bool triplet = onlyTriplets && first <= 1 && second <= 1 && onStart <= 1 &&
                             first + second >= 1 && onStart + first + second >= 2;
        for (std::size_t k = i; k < j; ++k) {
            Chord& c = chords[k];
            if (triplet) {
                const double frac = c.beat - static_cast<double>(beatIndex);
                const int inBeat = std::fabs(frac - 1.0 / 3) <= kNear   ? kTripletEighthUnits
                                   : std::fabs(frac - 2.0 / 3) <= kNear ? 2 * kTripletEighthUnits
                                                                        : 0;
                c.beatStart = beatIndex * kUnitsPerBeat;
                c.pos = c.beatStart + inBeat;
                c.triplet = c.beatStart >= 0;
            } else {
                c.pos = std::llround(c.beat / stepBeats) * stepUnits;
            }
        }
        i = j;
    }
    // Two chords never share a place: a later one that snapped onto an earlier one moves on by
    // the smallest step (a beat of triplets holds one chord on each third, so none moves there).
    for (std::size_t k = 0; k < chords.size(); ++k) {
        chords[k].pos = std::max<int64_t>(chords[k].pos, 0);
        if (k > 0 && chords[k].pos <= chords[k - 1].pos) {
            chords[k].pos = chords[k - 1].pos + kThirtySecondUnits;
            chords[k].triplet = false;
        }
    }
}

// One entry of the track as planned: a note (its imported index) or a rest.
struct Planned {
    int note = -1;   // -1 for a rest
    int parent = -1; // the plan index of a chord member's root (in its voice's plan)
    const Length* length = nullptr;
    int restProgram = 0;
    int64_t start = 0;      // place in units
    bool tie = false;       // a piece of a voice 2 note tied on over a bar line or a length the score lacks
    bool struck = true;     // the piece the sound starts at (false for the tied-on pieces)
    int64_t chainUnits = 0; // how long the whole tied note is notated, in units
};

} // namespace

QuantizedTrack quantizeIntoTrack(const std::vector<ImportedNote>& notes, int64_t endTick, int division,
                                 const TempoTimeline& time, Track& track, int maxNotes)
{
    QuantizedTrack result;
    result.sheetIndex.assign(notes.size(), -1);
    const int n = static_cast<int>(notes.size());
    if (n == 0)
        return result;

    const double tempo = track.tempo > 0 ? track.tempo : 120;
    const auto beatOfMs = [&](double ms) { return ms * tempo / 60000.0; };
    const auto beatOf = [&](int64_t tick) { return beatOfMs(time.msAt(tick)); };
    // Where each note starts and ends in the file's time, looked up once.
    std::vector<double> startMs(notes.size());
    std::vector<double> endMs(notes.size());
    for (std::size_t i = 0; i < notes.size(); ++i) {
        startMs[i] = time.msAt(notes[i].start);
        endMs[i] = time.msAt(notes[i].end);
    }
    std::vector<double> startBeat(notes.size());
    for (std::size_t i = 0; i < notes.size(); ++i)
        startBeat[i] = beatOfMs(startMs[i]);

    // The grid and the chords are judged in the file's own beats (its ticks), so a tempo that
    // the sheet can only round to whole beats per minute moves no note into another chord.
    const int64_t ticksPerBeat = division > 0 ? division : 96;
    std::vector<double> fileBeat(notes.size());
    for (int i = 0; i < n; ++i)
        fileBeat[static_cast<std::size_t>(i)] =
            static_cast<double>(notes[static_cast<std::size_t>(i)].start) / static_cast<double>(ticksPerBeat);
    const int stepUnits = needsThirtySeconds(fileBeat) ? kThirtySecondUnits : kSixteenthUnits;

    // Chords: a note joins the chord before it while that chord's first note still sounds,
    // started at most half a grid step earlier (a chord played a little apart), and holds no
    // note of the same key. A note nearly a step later is the next step's note.
    std::vector<Chord> chords;
    chords.reserve(notes.size()); // at most one per note
    for (int i = 0; i < n; ++i) {
        const ImportedNote& note = notes[static_cast<std::size_t>(i)];
        if (!chords.empty()) {
            Chord& c = chords.back();
            const ImportedNote& root = notes[static_cast<std::size_t>(c.first)];
            bool sameKey = false;
            for (int k = c.first; k < c.first + c.size; ++k)
                sameKey = sameKey || notes[static_cast<std::size_t>(k)].key == note.key;
            if (c.size <= kMaxChordMembers && !sameKey && root.endSeq > note.startSeq &&
                (note.start - root.start) * kUnitsPerBeat * 2 <= ticksPerBeat * stepUnits) {
                ++c.size;
                continue;
            }
        }
        chords.push_back({i, 1, startBeat[static_cast<std::size_t>(i)], 0});
    }
    snapChords(chords, stepUnits);
    // The notes of chord slot k (a chord holds the slots first .. first + size - 1): in file
    // order until a chord is divided between the voices.
    std::vector<int> byChord(notes.size());
    for (int i = 0; i < n; ++i)
        byChord[static_cast<std::size_t>(i)] = i;
    // Where each note ends, in units.
    std::vector<double> endUnits(notes.size());
    for (std::size_t i = 0; i < notes.size(); ++i)
        endUnits[i] = beatOfMs(endMs[i]) * kUnitsPerBeat;
    const auto noteOf = [&](int slot) -> const ImportedNote& {
        return notes[static_cast<std::size_t>(byChord[static_cast<std::size_t>(slot)])];
    };
    // The chunk's end is placed on the grid like a chord.
    const int64_t endPos =
        std::max<int64_t>(std::llround(beatOf(endTick) * kUnitsPerBeat / stepUnits) * stepUnits,
                          chords.back().triplet ? chords.back().beatStart + kUnitsPerBeat
                                                : chords.back().pos + kThirtySecondUnits);

    // The lines: a chord that starts while the chord before it in the first line still
    // sounds (on the grid) goes into voice 2 when voice 2 is silent there, so both keep their
    // length; a chord finding both voices busy goes into the first line and cuts its held
    // chord short in the notation, as does a chord of a beat of triplets (voice 2 holds plain
    // lengths only). A chord whose longer notes still sound when the next chord starts, and
    // its others not, leaves the longer ones to voice 2 as a chord of their own there. Drums
    // stay in one line: a drum's sound is a strike, and a hit under a ringing cymbal is no
    // second line of the part.
    std::vector<Chord> line1;
    std::vector<Chord> line2;
    line1.reserve(chords.size());
    {
        // Where a note (its imported index) stops sounding, on the grid, for a chord at `pos`.
        const auto noteStopsAt = [&](int note, int64_t pos) {
            const double end = endUnits[static_cast<std::size_t>(note)];
            return pos + std::max<int64_t>(std::llround((end - static_cast<double>(pos)) / stepUnits), 0) *
                             stepUnits;
        };
        // The same for the note in chord slot k.
        const auto stopsAt = [&](int slot, int64_t pos) {
            return noteStopsAt(byChord[static_cast<std::size_t>(slot)], pos);
        };
        const auto chordStopsAt = [&](const Chord& chord) {
            int64_t until = chord.pos;
            for (int k = chord.first; k < chord.first + chord.size; ++k)
                until = std::max(until, stopsAt(k, chord.pos));
            return chord.triplet ? std::min(until, chord.beatStart + kUnitsPerBeat) : until;
        };
        int64_t held1 = std::numeric_limits<int64_t>::min();
        int64_t held2 = std::numeric_limits<int64_t>::min();
        for (std::size_t c = 0; c < chords.size(); ++c) {
            Chord chord = chords[c];
            const bool voiced = !track.percussive && !chord.triplet;
            if (voiced && chord.pos < held1) {
                if (chord.pos >= held2) {
                    line2.push_back(chord);
                    held2 = chordStopsAt(chord);
                    continue;
                }
                ++result.overlapsCut;
            } else if (voiced && chord.size > 1 && chord.pos >= held2 && c + 1 < chords.size()) {
                const int64_t next = chords[c + 1].pos;
                int shorter = 0;
                for (int k = chord.first; k < chord.first + chord.size; ++k)
                    shorter += stopsAt(k, chord.pos) <= next ? 1 : 0;
                if (shorter > 0 && shorter < chord.size) {
                    const auto begin = byChord.begin() + chord.first;
                    std::stable_partition(begin, begin + chord.size,
                                          [&](int note) { return noteStopsAt(note, chord.pos) <= next; });
                    Chord longer = chord;
                    longer.first += shorter;
                    longer.size -= shorter;
                    chord.size = shorter;
                    line2.push_back(longer);
                    held2 = chordStopsAt(longer);
                }
            }
            line1.push_back(chord);
            held1 = chordStopsAt(chord);
        }
    }

    // The plan of the first line: leading rests, then each chord followed by the rests that
    // fill its room.
    std::vector<Planned> plan;
    plan.reserve(notes.size() + notes.size() / 2);
    auto silence = [&](int64_t units) {
        if (units > kLongestSilenceUnits) {
            result.silenceShortened = true;
            return kLongestSilenceUnits;
        }
        return units;
    };
    auto addRests = [&](int64_t units, int program, bool triplet = false) {
        while (units > 0) {
            const Length& l = triplet ? tripletRestLength(units) : restLength(units);
            plan.push_back({-1, -1, &l, program});
            units -= l.units;
        }
    };
    // The silence from `from` up to the chord `to` (the end when null): plain rests, and
    // triplet rests inside a beat of triplets.
    auto restsBefore = [&](int64_t from, const Chord* to, int program) {
        const int64_t until = to ? to->pos : endPos;
        if (to && to->triplet && from < to->beatStart) {
            addRests(silence(to->beatStart - from), program);
            from = to->beatStart;
        }
        addRests(to && to->triplet ? until - from : silence(until - from), program, to && to->triplet);
    };
    auto restCountBefore = [&](int64_t from, const Chord* to) {
        const int64_t until = to ? to->pos : endPos;
        if (to && to->triplet && from < to->beatStart)
            return restCount(silence(to->beatStart - from)) + restCount(until - to->beatStart, true);
        return restCount(silence(until - from), to && to->triplet);
    };
    restsBefore(0, &line1.front(), notes.front().program);
    double soundsUntil = 0; // in units: the latest end of any note started so far
    for (std::size_t c = 0; c < line1.size(); ++c) {
        const Chord& chord = line1[c];
        const Chord* nextChord = c + 1 < line1.size() ? &line1[c + 1] : nullptr;
        const int64_t next = nextChord ? nextChord->pos : endPos;
        // The note's room: up to the next chord, the end of its beat of triplets, or the start
        // of the beat of triplets the next chord lies in.
        int64_t roomEnd = next;
        if (chord.triplet)
            roomEnd = std::min(roomEnd, chord.beatStart + kUnitsPerBeat);
        if (nextChord && nextChord->triplet && nextChord->beatStart > chord.pos)
            roomEnd = std::min(roomEnd, nextChord->beatStart);
        const int64_t roomUnits = roomEnd - chord.pos;
        for (int k = chord.first; k < chord.first + chord.size; ++k) {
            double end = endUnits[static_cast<std::size_t>(byChord[static_cast<std::size_t>(k)])];
            // A drum sounds on for a quarter as far as the notation goes, so a beat of hits
            // reads as quarters and eighths rather than thirty-seconds and rests.
            if (track.percussive)
                end = std::max(end, static_cast<double>(chord.pos + kQuarterUnits));
            soundsUntil = std::max(soundsUntil, end);
        }
        // How long something sounds after the chord, on the grid.
        const Length* length = nullptr;
        if (chord.triplet) {
            const auto sounding = std::llround(soundsUntil - static_cast<double>(chord.pos));
            length = &tripletNoteLength(std::clamp<int64_t>(sounding, 0, roomUnits), roomUnits);
        } else {
            int64_t sounding = std::clamp<int64_t>(
                std::llround((soundsUntil - static_cast<double>(chord.pos)) / stepUnits) * stepUnits, 0,
                roomUnits);
            if (roomUnits - sounding <= kSixteenthUnits)
                sounding = roomUnits;
            length = &noteLength(sounding, roomUnits);
        }
        const int64_t restUnits = silence(roomUnits - length->units);
        const int64_t restsFrom = roomEnd;

        const std::size_t before = plan.size();
        if (static_cast<int64_t>(before) + chord.size + restCount(restUnits, chord.triplet) +
                restCountBefore(restsFrom, nextChord) >
            maxNotes) {
            break;
        }
        const int program = noteOf(chord.first).program;
        for (int k = chord.first; k < chord.first + chord.size; ++k)
            plan.push_back({byChord[static_cast<std::size_t>(k)],
                            k == chord.first ? -1 : static_cast<int>(before), length, 0});
        addRests(restUnits, program, chord.triplet);
        restsBefore(restsFrom, nextChord, program);
    }

    // Where the first line's notes start, and where its measures begin (measure_division.h:
    // a root opens a measure once the roots before it fill the one before).
    std::vector<int64_t> measureStarts{0};
    int64_t line1End = 0;
    {
        const Ticks fullMeasure = measureTicksOf(track.timeSig);
        const Ticks pickup = validPickup(track.pickupTicks, track.timeSig);
        Ticks measureLength = pickup > 0 ? pickup : fullMeasure;
        Ticks sum = 0;
        for (std::size_t i = 0; i < plan.size(); ++i) {
            Planned& p = plan[i];
            if (p.parent >= 0) {
                p.start = plan[static_cast<std::size_t>(p.parent)].start;
                continue;
            }
            if (i > 0 && sum >= measureLength) {
                measureStarts.push_back(line1End);
                sum = 0;
                measureLength = fullMeasure;
            }
            p.start = line1End;
            line1End += p.length->units;
            sum += p.length->units * kUnitTicks;
        }
    }

    // The plan of voice 2: each chord at its place with the length nearest to how long it
    // sounds, up to the next chord of voice 2 (and the end of the first line); rests of voice 2
    // from the start of its measure, or the end of the voice 2 note before in that measure,
    // up to it. A note that runs over a bar line is tied on into the next measure, as voice 2
    // counts its time from every measure's start.
    std::vector<Planned> plan2;
    if (!line2.empty() && line1End > 0) {
        const auto measureOfPlace = [&](int64_t at) {
            return static_cast<std::size_t>(std::upper_bound(measureStarts.begin(), measureStarts.end(), at) -
                                            measureStarts.begin() - 1);
        };
        const int64_t shortest = kLengths[0].units;
        int64_t clock = 0;    // where voice 2 has come to
        int lastTiedKey = -1; // the key of the last note of voice 2 when it ends tied on
        // A chord's rests and note pieces, kept from chord to chord so they allocate once.
        std::vector<Planned> items;
        std::vector<std::pair<const Length*, int64_t>> pieces;
        for (std::size_t c = 0; c < line2.size(); ++c) {
            const Chord& chord = line2[c];
            const int64_t until = std::min(c + 1 < line2.size() ? line2[c + 1].pos : endPos, line1End);
            const int64_t roomUnits = until - chord.pos;
            if (roomUnits < shortest)
                continue; // no length of the score fits before the next chord: the note is left out
            double end = 0;
            for (int k = chord.first; k < chord.first + chord.size; ++k)
                end = std::max(end, endUnits[static_cast<std::size_t>(byChord[static_cast<std::size_t>(k)])]);
            const int64_t sounding = std::clamp<int64_t>(
                std::llround((end - static_cast<double>(chord.pos)) / stepUnits) * stepUnits, 0, roomUnits);
            const Length& length = voice2Length(sounding, roomUnits);
            const int64_t noteEnd = chord.pos + length.units;
            const std::size_t m = measureOfPlace(chord.pos);
            const int program = noteOf(chord.first).program;

            items.clear();
            for (int64_t from = std::max(clock, measureStarts[m]); chord.pos - from >= shortest;) {
                const Length& l = restLength(chord.pos - from);
                items.push_back({-1, -1, &l, program, from});
                from += l.units;
            }
            // The note's pieces: one per measure it sounds in, each in lengths the score has.
            const int64_t barAt = m + 1 < measureStarts.size() ? measureStarts[m + 1] : line1End;
            const int key = noteOf(chord.first).key;
            // A note tied on right after one of its own letter tied on would merge with it:
            // that note is written to the bar line and sounds on from there.
            const bool clash = lastTiedKey >= 0 && clock == chord.pos && std::abs(lastTiedKey - key) <= 2;
            pieces.clear();
            if (noteEnd <= barAt) {
                pieces.emplace_back(&length, chord.pos);
            } else if (clash && barAt - chord.pos >= shortest) {
                pieces.emplace_back(&noteLength(barAt - chord.pos, barAt - chord.pos), chord.pos);
            } else {
                for (int64_t at = chord.pos; noteEnd - at >= shortest;) {
                    const std::size_t mm = measureOfPlace(at);
                    const int64_t bar =
                        std::min(noteEnd, mm + 1 < measureStarts.size() ? measureStarts[mm + 1] : noteEnd);
                    if (bar - at < shortest) {
                        at = bar;
                        continue;
                    }
                    // The longest length that fits, up to a whole, as a silence takes its rests.
                    const Length& l = restLength(bar - at);
                    pieces.emplace_back(&l, at);
                    at += l.units;
                }
            }
            // Pieces too short for any length (a bar line a triplet remnant away): the note
            // is written whole and runs over the bar line by that remnant.
            if (pieces.empty())
                pieces.emplace_back(&length, chord.pos);
            const bool tied = pieces.size() > 1;
            int64_t chainUnits = 0;
            for (const auto& piece : pieces)
                chainUnits += piece.first->units;
            if (static_cast<int64_t>(plan.size() + plan2.size() + items.size() + pieces.size() * chord.size) >
                maxNotes)
                break;
            for (std::size_t k = 0; k < pieces.size(); ++k) {
                const std::size_t root = plan2.size() + items.size();
                for (int i = chord.first; i < chord.first + chord.size; ++i)
                    items.push_back({byChord[static_cast<std::size_t>(i)],
                                     i == chord.first ? -1 : static_cast<int>(root), pieces[k].first, 0,
                                     pieces[k].second, tied, k == 0, chainUnits});
            }
            for (Planned& p : items)
                plan2.push_back(p);
            clock = pieces.back().second + pieces.back().first->units;
            lastTiedKey = tied ? key : -1;
        }
    }

    // Both voices in one array: each measure's roots in time order, voice 1 before voice 2
    // where both start together, a chord member after its root.
    std::vector<std::pair<bool, int>> order; // (voice 2, index in its plan)
    order.reserve(plan.size() + plan2.size());
    for (std::size_t a = 0, b = 0; a < plan.size() || b < plan2.size();) {
        const bool second = a >= plan.size() || (b < plan2.size() && plan2[b].start < plan[a].start);
        order.emplace_back(second, static_cast<int>(second ? b++ : a++));
    }
    std::vector<int> sheetOf1(plan.size());
    std::vector<int> sheetOf2(plan2.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        (order[i].first ? sheetOf2 : sheetOf1)[static_cast<std::size_t>(order[i].second)] =
            static_cast<int>(i);

    const int total = static_cast<int>(order.size());
    track.noteAt(total + 1); // grow once
    const KeyAccidentalTable keys(track);
    for (int i = 0; i < total; ++i) {
        const bool second = order[static_cast<std::size_t>(i)].first;
        const std::size_t at = static_cast<std::size_t>(order[static_cast<std::size_t>(i)].second);
        const Planned& p = second ? plan2[at] : plan[at];
        Note& note = track.noteAt(i);
        note = Note{};
        if (p.note < 0) {
            note.setStaffPosition(-6); // the middle line of the staff
            note.dwFlag = kFlagRest;
            note.volume = 0;
            note.velocity = 0;
            note.iid = p.restProgram;
        } else {
            const ImportedNote& in = notes[static_cast<std::size_t>(p.note)];
            noteFromMidiKey(note, in.key);
            // Drums keep their key as it stands, without marks (a drum track's file keeps no
            // accidental marks); every other track places the note where its clef and key
            // signature make it sound the file's key.
            if (track.percussive) {
                note.midi = static_cast<int8_t>(in.key);
                note.dwFlag &= ~(kFlagSharp | kFlagFlat);
            } else {
                placeOnTrack(note, track, keys);
            }
            note.volume = in.velocity;
            note.velocity = in.velocity;
            note.iid = in.program;
            note.chordparent = static_cast<int16_t>(
                p.parent < 0 ? -1 : (second ? sheetOf2 : sheetOf1)[static_cast<std::size_t>(p.parent)]);
            if (p.struck)
                result.sheetIndex[static_cast<std::size_t>(p.note)] = i;
        }
        if (second)
            note.voice = kVoice2;
        note.type = p.length->type;
        if (p.length->dotted)
            note.dwFlag |= kFlagDot;
        if (p.length->triplet)
            note.dwFlag |= kFlagTriplet;
        if (p.tie)
            note.dwFlag |= kFlagTie;
        if (p.note >= 0 && p.struck) {
            // The sound lasts as long as in the file, whatever length the notation gives it
            // (a tied note: its whole chain).
            const double soundMs =
                endMs[static_cast<std::size_t>(p.note)] - startMs[static_cast<std::size_t>(p.note)];
            const Ticks notated = p.tie ? p.chainUnits * kUnitTicks : lengthTicks(note);
            const double notatedMs = static_cast<double>(usAtTempo(notated, track.tempo)) / 1000.0;
            const double offset = std::round(soundMs - notatedMs);
            note.dwStopOffset = static_cast<int32_t>(std::clamp(offset, -1e9, 1e9));
        }
    }
    for (int placed : result.sheetIndex)
        result.leftOut += placed < 0 ? 1 : 0;
    track.count = total;
    track.rebuildChordLists();
    return result;
}

} // namespace tonvela
