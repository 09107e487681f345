#include "editor/editing/voice_entry.h"

#include "editor/layout.h"
#include "editor/sheet_view_state.h"
#include "score/measure_division.h"
#include "score/time_signature.h"
#include "score/track.h"
#include "score/voices.h"

#include <algorithm>
#include <tuple>
#include <vector>

namespace tonvela {
namespace {

std::size_t at(int i)
{
    return static_cast<std::size_t>(i);
}

bool isVoice2Root(const Track& track, int i)
{
    return track.rootOf(i) == -1 && isDurationType(track.noteAt(i).type) && voiceOf(track, i) == kVoice2;
}

// One past the last note of measure m.
int measureEnd(const Track& track, const MeasureDivision& measures, int m)
{
    const int next = measures.firstNote(m + 1);
    return next < 0 ? std::min(track.count, measures.noteCount()) : next;
}

// The rest kinds (type and flags) that fill `gap` ticks, longest first. Triplet remnants take
// triplet thirty-seconds; what no rest can fill (less than one of those) stays open.
std::vector<std::pair<int, int>> restsFor(Ticks gap)
{
    std::vector<std::pair<int, int>> rests;
    for (const NoteKind& kind : kNoteKinds)
        for (; gap >= kind.ticks; gap -= kind.ticks)
            rests.emplace_back(kind.type, kFlagRest);
    const Ticks tripletShortest = lengthTicks(kTypeThirtySecond, kFlagTriplet);
    for (; gap >= tripletShortest; gap -= tripletShortest)
        rests.emplace_back(kTypeThirtySecond, kFlagRest | kFlagTriplet);
    return rests;
}

// Puts the chord roots of measure m in time order, voice 1 before voice 2 where both start
// together; a chord member moves with the root before it. Voice 1 keeps its order, and so does
// voice 2. A bar line or staff break counts the time again from 0 (voices.h): it stays where it
// is, and the notes on each side of it are ordered among themselves. `follow` is an index that
// names the same note afterwards. `measures` and `offsets` are the track's division and voice
// offsets; sorting one measure moves notes only within it, so they stay true for the others.
// True when notes moved.
bool sortMeasure(Track& track, const MeasureDivision& measures, const std::vector<Ticks>& offsets, int m,
                 int& follow)
{
    const int first = measures.firstNote(m);
    if (first < 0)
        return false;
    const int end = measureEnd(track, measures, m);
    struct Entry {
        int index;
        int part;   // which stretch between bar lines and staff breaks
        int marker; // 0 for the bar line or staff break that opens the stretch, else 1
        Ticks offset;
        int voice;
    };
    std::vector<Entry> entries;
    Ticks offset = 0;
    int voice = kVoice1;
    int part = 0;
    for (int i = first; i < end; ++i) {
        const int type = track.noteAt(i).type;
        const bool marker = track.rootOf(i) == -1 && (type == kTypeBar || type == kTypeStaffBreak);
        if (marker)
            ++part;
        if (track.rootOf(i) == -1) {
            offset = offsets[at(i)];
            voice = voiceOf(track, i);
        }
        entries.push_back({i, part, marker ? 0 : 1, offset, voice});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return std::tie(a.part, a.marker, a.offset, a.voice) < std::tie(b.part, b.marker, b.offset, b.voice);
    });
    bool moved = false;
    for (int k = 0; k < end - first; ++k)
        moved = moved || entries[at(k)].index != first + k;
    if (!moved)
        return false;
    std::vector<int> newIndex(at(track.count));
    for (int i = 0; i < track.count; ++i)
        newIndex[at(i)] = i;
    std::vector<Note> notes;
    notes.reserve(entries.size());
    for (int k = 0; k < end - first; ++k) {
        newIndex[at(entries[at(k)].index)] = first + k;
        notes.push_back(track.noteAt(entries[at(k)].index));
    }
    for (int k = 0; k < end - first; ++k)
        track.noteAt(first + k) = notes[at(k)];
    for (int i = 0; i < track.count; ++i) {
        Note& n = track.noteAt(i);
        if (n.chordparent >= 0 && n.chordparent < track.count)
            n.chordparent = static_cast<int16_t>(newIndex[at(n.chordparent)]);
        if (n.loopCount > 0 && n.loopTo >= 0 && n.loopTo < track.count)
            n.loopTo = newIndex[at(n.loopTo)];
    }
    if (follow >= 0 && follow < track.count)
        follow = newIndex[at(follow)];
    track.rebuildChordLists();
    return true;
}

bool sortMeasure(Track& track, int m, int& follow)
{
    MeasureDivision measures;
    measures.divide(track);
    return sortMeasure(track, measures, voiceOffsets(track, measures), m, follow);
}

} // namespace

Ticks measureLengthOf(const Track& track, int measure)
{
    const Ticks pickup = validPickup(track.pickupTicks, track.timeSig);
    return measure == 1 && pickup > 0 ? pickup : measureTicksOf(track.timeSig);
}

Ticks voice2End(const Track& track, const MeasureDivision& measures, int measure)
{
    const int first = measures.firstNote(measure);
    if (first < 0)
        return 0;
    const std::vector<Ticks> offsets = voiceOffsets(track, measures);
    Ticks end = 0;
    for (int i = first; i < measureEnd(track, measures, measure); ++i)
        if (isVoice2Root(track, i))
            end = offsets[at(i)] + lengthTicks(track.noteAt(i));
    return end;
}

int enterVoice2Note(Track& track, int measure, Ticks offset, Note note)
{
    note.voice = kVoice2;
    note.chordparent = -1;
    MeasureDivision measures;
    measures.divide(track);
    const int first = measures.firstNote(measure);
    if (first < 0) {
        if (track.count >= Track::kMaxNotes)
            return -1;
        track.insertNote(note, track.count);
        track.rebuildChordLists();
        return track.count - 1;
    }
    // The voice 2 root the new notes follow and where it ends.
    const std::vector<Ticks> offsets = voiceOffsets(track, measures);
    int previous = -1;
    Ticks previousStart = 0;
    Ticks previousEnd = 0;
    for (int i = first; i < measureEnd(track, measures, measure); ++i) {
        if (!isVoice2Root(track, i) || offsets[at(i)] > offset)
            continue;
        previous = i;
        previousStart = offsets[at(i)];
        previousEnd = previousStart + lengthTicks(track.noteAt(i));
    }
    // A rest of voice 2 at the time gives the note its room: rests keep what is left of it on
    // both sides, and the notes after it stay where they are when the note fits.
    bool intoRest = false;
    Ticks restAfter = 0;
    if (previous >= 0 && track.noteAt(previous).isRest() &&
        (previousEnd > offset || previousStart == offset)) {
        intoRest = true;
        for (int i = 0; i < track.count && intoRest; ++i)
            intoRest = track.rootOf(i) != previous; // a chord of rests is left whole
    }
    if (intoRest) {
        restAfter = std::max<Ticks>(previousEnd - offset - lengthTicks(note), 0);
        previousEnd = previousStart;
    }
    auto restsOf = [&note](Ticks gap, std::vector<Note>& into) {
        for (const auto& [type, flags] : restsFor(gap)) {
            Note rest = note;
            rest.type = type;
            rest.dwFlag = flags;
            rest.texts = NoteTexts();
            into.push_back(rest);
        }
    };
    std::vector<Note> entered;
    restsOf(std::max<Ticks>(offset - previousEnd, 0), entered);
    const int notePlace = static_cast<int>(entered.size());
    entered.push_back(note);
    restsOf(restAfter, entered);
    if (track.count + static_cast<int>(entered.size()) - (intoRest ? 1 : 0) > Track::kMaxNotes)
        return -1;
    // Right after the root it follows (in the place of the rest it goes into; after the
    // measure's first note, which is voice 1, when there is none): inside the measure and
    // before every later voice 2 root.
    int index = previous >= 0 ? previous + 1 : first + 1;
    if (intoRest) {
        track.removeNote(previous);
        index = previous;
    }
    const int start = index;
    for (const Note& n : entered)
        track.insertNote(n, index++);
    track.rebuildChordLists();
    int follow = start + notePlace;
    sortMeasure(track, measure, follow);
    track.eventsStale = 1;
    return follow;
}

bool restoreTimeOrder(Track& track)
{
    if (!hasSecondVoice(track))
        return false;
    MeasureDivision measures;
    measures.divide(track);
    const std::vector<Ticks> offsets = voiceOffsets(track, measures);
    bool moved = false;
    int follow = -1;
    for (int m = 1; m <= measures.measureCount(); ++m)
        moved = sortMeasure(track, measures, offsets, m, follow) || moved;
    if (moved)
        track.eventsStale = 1;
    return moved;
}

std::optional<VoiceSpot> voiceSpotAt(const SheetViewState& view, int r, int x, Ticks grid)
{
    const SheetDocument& sheet = view.sheet();
    const int tracks = sheet.trackCount();
    if (tracks <= 0 || r < 0)
        return std::nullopt;
    const int t = r % tracks;
    const Track& track = *sheet.trackAt(t);
    const int laid = std::min(view.laidOutCount(t), track.count);
    MeasureDivision measures;
    measures.divide(track);
    const std::vector<Ticks> offsets = voiceOffsets(track, measures);
    struct Column {
        int measure;
        Ticks offset;
        int x;
    };
    std::vector<Column> columns; // the row's chord roots that take time, at their glyphs' x
    for (int i = 0; i < laid; ++i) {
        const NoteLayout& place = view.noteLayout(t, i);
        if (place.rowIndex != r || track.rootOf(i, laid) != -1 || !isDurationType(track.noteAt(i).type))
            continue;
        columns.push_back({measures.measureOf(i), offsets[at(i)], place.x});
    }
    if (columns.empty())
        return std::nullopt;
    const Column* left = nullptr;
    for (const Column& c : columns)
        if (c.x <= x && (!left || c.x >= left->x))
            left = &c;
    if (!left)
        return VoiceSpot{columns.front().measure, 0};
    const int m = left->measure;
    // The next column of the measure on the row, else the measure's end at its closing bar line.
    Ticks nextOffset = std::max(measureLengthOf(track, m), left->offset);
    int nextX = kStaffLeft + view.row(r).length;
    if (const std::optional<ClosingBar> bar = closingBarLine(view, t, m); bar && bar->row == r)
        nextX = bar->x;
    for (const Column& c : columns)
        if (c.measure == m && c.x > left->x && c.offset > left->offset && c.x < nextX) {
            nextX = c.x;
            nextOffset = c.offset;
        }
    const int span = std::max(nextX - left->x, 1);
    const Ticks within = std::clamp<Ticks>(x - left->x, 0, span);
    const Ticks time = left->offset + (nextOffset - left->offset) * within / span;
    const Ticks step = std::max<Ticks>(grid, 1);
    return VoiceSpot{m, std::max(left->offset, time / step * step)};
}

} // namespace tonvela
