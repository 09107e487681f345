#include "playback/midi_import_quantizer.h"

#include "playback/tempo_map.h"
#include "score/duration.h"
#include "score/note.h"
#include "score/note_pitch.h"
#include "score/sounding_pitch.h"
#include "score/track.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tonvela {
namespace {

// Places and lengths are counted in thirty-seconds: every note length the score has but the
// dotted thirty-second is a whole number of them.
constexpr Ticks kUnitTicks = kWholeTicks / 32;
constexpr int kUnitsPerBeat = static_cast<int>(kQuarterTicks / kUnitTicks);
constexpr int kSixteenthUnits = kUnitsPerBeat / 4;
constexpr int kQuarterUnits = kUnitsPerBeat;

struct Length {
    int units;
    int type;
    bool dotted;
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

// The longest rest that fits in `room` (room >= 1).
const Length& restLength(int64_t room)
{
    const Length* best = &kLengths[0];
    for (const Length& l : kLengths)
        if (l.units <= room && l.units <= kLongestRestUnits)
            best = &l;
    return *best;
}

int restCount(int64_t units)
{
    int n = 0;
    while (units > 0) {
        units -= restLength(units).units;
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
    int64_t pos = 0; // snapped place, in units
};

// Places chords on the grid. A beat whose chords all fall on its start or on its triplet
// eighths, with both triplets there, is written as near the triplets as the score allows
// (dotted sixteenth, sixteenth, dotted sixteenth); every other chord goes to the nearest step.
void snapChords(std::vector<Chord>& chords, int stepUnits)
{
    constexpr double kNear = 1.0 / 24;
    const double stepBeats = static_cast<double>(stepUnits) / kUnitsPerBeat;
    for (std::size_t i = 0; i < chords.size();) {
        const auto beatIndex = static_cast<int64_t>(std::floor(chords[i].beat + kNear));
        std::size_t j = i;
        bool onlyTriplets = true;
        bool first = false;
        bool second = false;
        while (j < chords.size() && static_cast<int64_t>(std::floor(chords[j].beat + kNear)) == beatIndex) {
            const double frac = chords[j].beat - static_cast<double>(beatIndex);
            if (std::fabs(frac - 1.0 / 3) <= kNear)
                first = true;
            else if (std::fabs(frac - 2.0 / 3) <= kNear)
                second = true;
            else if (std::fabs(frac) > kNear)
                onlyTriplets = false;
            ++j;
        }
        const bool triplet = onlyTriplets && first && second;
        for (std::size_t k = i; k < j; ++k) {
            Chord& c = chords[k];
            if (triplet) {
                const double frac = c.beat - static_cast<double>(beatIndex);
                const int inBeat = std::fabs(frac - 1.0 / 3) <= kNear   ? 3
                                   : std::fabs(frac - 2.0 / 3) <= kNear ? 5
                                                                        : 0;
                c.pos = beatIndex * kUnitsPerBeat + inBeat;
            } else {
                c.pos = std::llround(c.beat / stepBeats) * stepUnits;
            }
        }
        i = j;
    }
    // Two chords never share a place: a later one that snapped onto an earlier one moves on by
    // the smallest step.
    for (std::size_t k = 0; k < chords.size(); ++k) {
        chords[k].pos = std::max<int64_t>(chords[k].pos, 0);
        if (k > 0)
            chords[k].pos = std::max(chords[k].pos, chords[k - 1].pos + 1);
    }
}

// One entry of the track as planned: a note (its imported index) or a rest.
struct Planned {
    int note = -1; // -1 for a rest
    int parent = -1;
    const Length* length = nullptr;
    int restProgram = 0;
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
    const auto beatOf = [&](int64_t tick) { return time.msAt(tick) * tempo / 60000.0; };
    std::vector<double> startBeat(notes.size());
    for (int i = 0; i < n; ++i)
        startBeat[static_cast<std::size_t>(i)] = beatOf(notes[static_cast<std::size_t>(i)].start);

    // The grid and the chords are judged in the file's own beats (its ticks), so a tempo that
    // the sheet can only round to whole beats per minute moves no note into another chord.
    const int64_t ticksPerBeat = division > 0 ? division : 96;
    std::vector<double> fileBeat(notes.size());
    for (int i = 0; i < n; ++i)
        fileBeat[static_cast<std::size_t>(i)] =
            static_cast<double>(notes[static_cast<std::size_t>(i)].start) / static_cast<double>(ticksPerBeat);
    const int stepUnits = needsThirtySeconds(fileBeat) ? 1 : kSixteenthUnits;

    // Chords: a note joins the chord before it while that chord's first note still sounds,
    // started at most half a grid step earlier (a chord played a little apart), and holds no
    // note of the same key. A note nearly a step later is the next step's note.
    std::vector<Chord> chords;
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
    // The chunk's end is placed on the grid like a chord.
    const int64_t endPos = std::max<int64_t>(
        std::llround(beatOf(endTick) * kUnitsPerBeat / stepUnits) * stepUnits, chords.back().pos + 1);

    // The plan: leading rests, then each chord followed by the rests that fill its room.
    std::vector<Planned> plan;
    auto silence = [&](int64_t units) {
        if (units > kLongestSilenceUnits) {
            result.silenceShortened = true;
            return kLongestSilenceUnits;
        }
        return units;
    };
    auto addRests = [&](int64_t units, int program) {
        while (units > 0) {
            const Length& l = restLength(units);
            plan.push_back({-1, -1, &l, program});
            units -= l.units;
        }
    };
    addRests(silence(chords.front().pos), notes.front().program);
    double soundsUntil = 0; // in units: the latest end of any note started so far
    for (std::size_t c = 0; c < chords.size(); ++c) {
        const Chord& chord = chords[c];
        const int64_t next = c + 1 < chords.size() ? chords[c + 1].pos : endPos;
        const int64_t roomUnits = next - chord.pos;
        for (int k = chord.first; k < chord.first + chord.size; ++k) {
            double end = beatOf(notes[static_cast<std::size_t>(k)].end) * kUnitsPerBeat;
            // A drum sounds on for a quarter as far as the notation goes, so a beat of hits
            // reads as quarters and eighths rather than thirty-seconds and rests.
            if (track.percussive)
                end = std::max(end, static_cast<double>(chord.pos + kQuarterUnits));
            soundsUntil = std::max(soundsUntil, end);
        }
        // How long something sounds after the chord, on the grid.
        int64_t sounding = std::clamp<int64_t>(
            std::llround((soundsUntil - static_cast<double>(chord.pos)) / stepUnits) * stepUnits, 0,
            roomUnits);
        if (roomUnits - sounding <= kSixteenthUnits)
            sounding = roomUnits;
        const Length& length = noteLength(sounding, roomUnits);
        const int64_t restUnits = silence(roomUnits - length.units);

        const std::size_t before = plan.size();
        if (static_cast<int64_t>(before) + chord.size + restCount(restUnits) > maxNotes) {
            result.leftOut = n - chord.first;
            break;
        }
        for (int k = chord.first; k < chord.first + chord.size; ++k)
            plan.push_back({k, k == chord.first ? -1 : static_cast<int>(before), &length, 0});
        addRests(restUnits, notes[static_cast<std::size_t>(chord.first)].program);
    }

    const int total = static_cast<int>(plan.size());
    track.noteAt(total + 1); // grow once
    const KeyAccidentalTable keys(track);
    for (int i = 0; i < total; ++i) {
        const Planned& p = plan[static_cast<std::size_t>(i)];
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
            note.chordparent = static_cast<int16_t>(p.parent);
            result.sheetIndex[static_cast<std::size_t>(p.note)] = i;
        }
        note.type = p.length->type;
        if (p.length->dotted)
            note.dwFlag |= kFlagDot;
        if (p.note >= 0) {
            // The sound lasts as long as in the file, whatever length the notation gives it.
            const ImportedNote& in = notes[static_cast<std::size_t>(p.note)];
            const double soundMs = time.msAt(in.end) - time.msAt(in.start);
            const double notatedMs = static_cast<double>(usAtTempo(lengthTicks(note), track.tempo)) / 1000.0;
            const double offset = std::round(soundMs - notatedMs);
            note.dwStopOffset = static_cast<int32_t>(std::clamp(offset, -1e9, 1e9));
        }
    }
    track.count = total;
    track.rebuildChordLists();
    return result;
}

} // namespace tonvela
