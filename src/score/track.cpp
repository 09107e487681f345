#include "score/track.h"

#include "platform/memory_policy.h"
#include "score/duration.h"
#include "theory/key_signature.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cmath>

namespace tonvela {
namespace {

constexpr int kNoteIndexLimit = 65536;

} // namespace

Track::Track() : m_notes(kInitialNoteCapacity) {}

Track::~Track() = default;

void Track::ensureCapacity(int i)
{
    int cap = capacity();
    if (i < cap - 32)
        return;
    // A note at least twice as far as the room there is, as a loader asks for all the notes
    // it writes at once, gets exactly its room: doubling there would leave up to half of a
    // large track's notes unused. Growth note by note doubles.
    if (i >= 2 * cap)
        cap = i + 33;
    while (i >= cap - 32)
        cap *= 2;
    // Growing moves every note: the caller holds the sheet lock while other threads may read.
    // The new array is written through at once (every slot is constructed), so its pages are
    // asked for in one go.
    const std::size_t had = m_notes.size();
    m_notes.reserve(static_cast<std::size_t>(cap));
    prefaultForWriting(m_notes.data() + had, (static_cast<std::size_t>(cap) - had) * sizeof(Note));
    m_notes.resize(static_cast<std::size_t>(cap));
}

Note& Track::noteAtGrowing(int i)
{
    if (i < 0)
        return m_notes[0];
    assert(i < kNoteIndexLimit);
    i = std::min(i, kNoteIndexLimit - 1);
    ensureCapacity(i);
    if (i >= m_highWater)
        m_highWater = i + 1;
    return m_notes[static_cast<std::size_t>(i)];
}

const Note& Track::noteOutside(int i) const
{
    static const Note kEmpty;
    return i < 0 ? m_notes[0] : kEmpty;
}

void Track::insertNote(const Note& note, int index)
{
    index = std::clamp(index, 0, count);
    // The caller's note may live in this very array; take a copy before anything moves.
    const Note incoming = note;
    noteAt(count + 10);
    for (int j = 0; j < count; ++j) {
        Note& n = m_notes[static_cast<std::size_t>(j)];
        if (n.chordparent >= index)
            ++n.chordparent;
    }

    // Places in the events' ticks (the track's division), from exact score places.
    const Ticks div = division > 0 ? division : 96;
    Ticks at = 0;
    for (int j = 0; j < index; ++j) {
        const Note& n = m_notes[static_cast<std::size_t>(j)];
        if (n.chordparent == -1)
            at += lengthTicks(n);
    }
    const long long t = at * div / kQuarterTicks;
    const long long tOff = (at + lengthTicks(incoming)) * div / kQuarterTicks;
    RecordedEvent on;
    on.kind = 0;
    on.tick = static_cast<int32_t>(std::min<long long>(t, INT32_MAX));
    on.noteIndex = index;
    on.pitch = static_cast<uint8_t>(std::clamp(incoming.effectiveKey(), 0, 127));
    on.velocity = static_cast<uint8_t>(std::clamp(incoming.velocity, 0, 127));
    on.pan = static_cast<uint8_t>(std::clamp(incoming.pan, 0, 127));
    on.program = static_cast<uint8_t>(std::clamp(incoming.iid, 0, 127));
    RecordedEvent off = on;
    off.kind = 1;
    off.tick = static_cast<int32_t>(std::min<long long>(tOff, INT32_MAX));
    auto byTick = [](const RecordedEvent& a, const RecordedEvent& b) {
        if (a.tick != b.tick)
            return a.tick < b.tick;
        return a.kind > b.kind; // note-offs first at equal ticks
    };
    if (std::is_sorted(events.begin(), events.end(), byTick)) {
        // The new events go in front of the events of their tick and kind: the same order as
        // placing both before the first event at or after the start and sorting stably.
        events.insert(std::lower_bound(events.begin(), events.end(), on, byTick), on);
        events.insert(std::lower_bound(events.begin(), events.end(), off, byTick), off);
    } else {
        auto pos = std::find_if(events.begin(), events.end(),
                                [&](const RecordedEvent& e) { return e.tick >= on.tick; });
        pos = events.insert(pos, on);
        events.insert(pos, off);
        std::stable_sort(events.begin(), events.end(), byTick);
    }

    for (int j = count - 1; j >= index; --j)
        m_notes[static_cast<std::size_t>(j) + 1].moveFrom(m_notes[static_cast<std::size_t>(j)]);
    Note& slot = m_notes[static_cast<std::size_t>(index)];
    slot.moveFrom(incoming);
    ++count;
    if (count > m_highWater)
        m_highWater = count;
    eventsStale = 1;
    freshTrack = 0;
    // The member lists name notes by index, and a new member joins its root's list.
    rebuildChordLists();
}

void Track::removeNote(int index)
{
    if (index < 0 || index >= count)
        return;
    for (int j = 0; j < count; ++j) {
        Note& n = m_notes[static_cast<std::size_t>(j)];
        if (n.chordparent > index)
            --n.chordparent;
        for (int k = 0; k < n.childCount && k < kMaxChordMembers; ++k)
            if (n.children[k] > index)
                --n.children[k];
    }
    for (int j = index + 1; j < count; ++j)
        m_notes[static_cast<std::size_t>(j - 1)].moveFrom(m_notes[static_cast<std::size_t>(j)]);
    --count;
    // Slots beyond the count always hold constructed notes.
    m_notes[static_cast<std::size_t>(count)] = Note();
}

int Track::nextRoot(int i) const
{
    for (int j = std::max(i + 1, 0); j < count; ++j)
        if (m_notes[static_cast<std::size_t>(j)].chordparent == -1)
            return j;
    return count;
}

void Track::rebuildChordLists()
{
    for (int i = 0; i < count; ++i)
        m_notes[static_cast<std::size_t>(i)].childCount = 0;
    for (int j = 0; j < count; ++j) {
        const int p = m_notes[static_cast<std::size_t>(j)].chordparent;
        if (p < 0 || p >= count || p == j)
            continue;
        Note& root = m_notes[static_cast<std::size_t>(p)];
        // A 33rd member is not listed; it keeps its link and is drawn and played on its own.
        if (root.childCount < kMaxChordMembers)
            root.children[root.childCount++] = static_cast<int16_t>(j);
    }
}

void Track::sanitizeLinks()
{
    std::vector<uint8_t> isRoot(static_cast<std::size_t>(count));
    for (int j = 0; j < count; ++j) {
        Note& n = m_notes[static_cast<std::size_t>(j)];
        if (n.chordparent != -1 && (n.chordparent < 0 || n.chordparent >= count || n.chordparent == j))
            n.chordparent = -1;
        if (n.loopCount < 0 || (n.loopCount > 0 && (n.loopTo < 0 || n.loopTo >= count))) {
            n.loopCount = 0;
            n.loopTo = 0;
        }
    }
    for (int j = 0; j < count; ++j)
        isRoot[static_cast<std::size_t>(j)] = m_notes[static_cast<std::size_t>(j)].chordparent == -1;
    std::vector<int> members(static_cast<std::size_t>(count), 0);
    for (int j = 0; j < count; ++j) {
        Note& n = m_notes[static_cast<std::size_t>(j)];
        if (n.chordparent == -1)
            continue;
        const auto p = static_cast<std::size_t>(n.chordparent);
        if (!isRoot[p] || members[p] >= kMaxChordMembers)
            n.chordparent = -1;
        else
            ++members[p];
    }
}

void Track::deselectAll()
{
    for (auto& n : m_notes)
        n.selected = 0;
}

void Track::applyToSelected(int vol, int pn, int lTo, int lCount, int vel, double legatoBeats)
{
    for (int i = 0; i < count; ++i) {
        Note& n = m_notes[static_cast<std::size_t>(i)];
        if (n.selected != 1)
            continue;
        if (vol != kKeepValue)
            n.volume = vol;
        if (pn != kKeepValue)
            n.pan = pn;
        if (lTo != kKeepValue)
            n.loopTo = lTo;
        if (lCount != kKeepValue)
            n.loopCount = lCount;
        if (vel != kKeepValue)
            n.velocity = vel;
        // No number (NaN) keeps the legato: every number of beats is a legato, -333 too.
        if (std::isfinite(legatoBeats))
            n.dwStopOffset = static_cast<int32_t>(std::clamp(legatoBeats * 500.0, -1e9, 1e9));
    }
}

void Track::setKeyIndex(int index)
{
    const KeySignature& row = keySignature(index);
    keyindex = (index >= 0 && index < kKeySignatureCount) ? index : kDefaultKeyIndex;
    key = row.tonic;
    flatKey = row.flats ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------
// Undo ring

void Track::snapshot()
{
    m_undo.snapshot(*this);
}

void Track::undo()
{
    if (m_undo.undo(*this) && count > 0)
        freshTrack = 0;
}

void Track::redo()
{
    if (m_undo.redo(*this) && count > 0)
        freshTrack = 0;
}

} // namespace tonvela
