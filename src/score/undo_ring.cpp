#include "score/undo_ring.h"

#include "score/track.h"

#include <algorithm>

namespace tonvela {
namespace {

constexpr std::size_t kChunkNotes = 64;
constexpr std::size_t kSmallChunk = kChunkNotes / 2;

// Reads the notes of a snapshot by index without flattening it.
class SnapshotReader {
  public:
    explicit SnapshotReader(const TrackSnapshot& s) : m_snap(s)
    {
        std::size_t start = 0;
        for (const auto& c : s.chunks) {
            m_starts.push_back(start);
            start += c->size();
        }
    }
    std::size_t chunkCount() const { return m_snap.chunks.size(); }
    std::size_t chunkStart(std::size_t k) const { return m_starts[k]; }
    std::size_t chunkEnd(std::size_t k) const { return m_starts[k] + m_snap.chunks[k]->size(); }

  private:
    const TrackSnapshot& m_snap;
    std::vector<std::size_t> m_starts;
};

// Copies the settings between a track and a snapshot; both name them alike.
template <class To, class From> void copySettings(To& to, const From& from)
{
    to.iid = from.iid;
    to.groupid = from.groupid;
    to.drumKey = from.drumKey;
    to.tempo = from.tempo;
    to.keyindex = from.keyindex;
    to.scaleKind = from.scaleKind;
    to.timeSig = from.timeSig;
    to.key = from.key;
    to.flatKey = from.flatKey;
    to.braceWithNext = from.braceWithNext;
    to.tuning = from.tuning;
}

} // namespace

void UndoRing::snapshot(const Track& track)
{
    const int count = track.count;
    TrackSnapshot snap;
    snap.count = count;
    snap.drawmode = track.drawmode;
    snap.percussive = track.percussive;
    snap.measureRepeats = track.measureRepeats;
    copySettings(snap.settings, track);
    const std::optional<TrackSnapshot>& prevSlot =
        m_ring[static_cast<std::size_t>((m_head + kUndoSlots - 1) % kUndoSlots)];
    const std::size_t n = static_cast<std::size_t>(count);

    std::size_t reuseFront = 0;    // whole chunks of the previous snapshot kept at the front
    std::size_t reuseBackFrom = 0; // first chunk of the previous snapshot kept at the back
    std::size_t frontEnd = 0;      // notes covered by the kept front chunks
    std::size_t backNotes = 0;     // notes covered by the kept back chunks
    if (prevSlot && !prevSlot->chunks.empty()) {
        const TrackSnapshot& prev = *prevSlot;
        const SnapshotReader reader(prev);
        const std::size_t m = static_cast<std::size_t>(prev.count);
        const std::size_t limit = std::min(n, m);
        // Common prefix, chunk by chunk.
        std::size_t prefix = 0;
        for (std::size_t k = 0; k < reader.chunkCount() && prefix < limit; ++k) {
            const NoteChunk& chunk = *prev.chunks[k];
            std::size_t j = 0;
            while (j < chunk.size() && prefix < limit &&
                   chunk[j] == track.noteAt(static_cast<int>(prefix)).content()) {
                ++j;
                ++prefix;
            }
            if (j < chunk.size())
                break;
        }
        // Common suffix, not overlapping the prefix.
        std::size_t suffix = 0;
        for (std::size_t k = reader.chunkCount(); k-- > 0 && suffix < limit - prefix;) {
            const NoteChunk& chunk = *prev.chunks[k];
            std::size_t j = chunk.size();
            while (j > 0 && suffix < limit - prefix &&
                   chunk[j - 1] == track.noteAt(static_cast<int>(n - 1 - suffix)).content()) {
                --j;
                ++suffix;
            }
            if (j > 0)
                break;
        }
        while (reuseFront < reader.chunkCount() && reader.chunkEnd(reuseFront) <= prefix)
            ++reuseFront;
        // Small chunks next to the change are folded into the new run, so edits do not leave
        // the ring fragmented.
        while (reuseFront > 0 && prev.chunks[reuseFront - 1]->size() < kSmallChunk)
            --reuseFront;
        frontEnd = reuseFront == 0 ? 0 : reader.chunkEnd(reuseFront - 1);
        reuseBackFrom = reader.chunkCount();
        while (reuseBackFrom > reuseFront && reader.chunkStart(reuseBackFrom - 1) >= m - suffix)
            --reuseBackFrom;
        while (reuseBackFrom < reader.chunkCount() && prev.chunks[reuseBackFrom]->size() < kSmallChunk)
            ++reuseBackFrom;
        backNotes = reuseBackFrom < reader.chunkCount() ? m - reader.chunkStart(reuseBackFrom) : 0;
        for (std::size_t k = 0; k < reuseFront; ++k)
            snap.chunks.push_back(prev.chunks[k]);
    }
    const std::size_t middleEnd = n - backNotes;
    for (std::size_t start = frontEnd; start < middleEnd; start += kChunkNotes) {
        auto chunk = std::make_shared<NoteChunk>();
        const std::size_t end = std::min(middleEnd, start + kChunkNotes);
        chunk->reserve(end - start);
        for (std::size_t i = start; i < end; ++i)
            chunk->push_back(track.noteAt(static_cast<int>(i)).content());
        snap.chunks.push_back(std::move(chunk));
    }
    if (prevSlot)
        for (std::size_t k = reuseBackFrom; k < prevSlot->chunks.size(); ++k)
            snap.chunks.push_back(prevSlot->chunks[k]);

    m_ring[static_cast<std::size_t>(m_head)] = std::move(snap);
    m_head = (m_head + 1) % kUndoSlots;
    m_current = m_head;
    if (m_head == m_tail)
        m_tail = (m_tail + 1) % kUndoSlots;
}

void UndoRing::restore(Track& track, const TrackSnapshot& snap)
{
    const int oldHigh = track.highWater();
    int i = 0;
    for (const auto& chunk : snap.chunks)
        for (const NoteContent& c : *chunk) {
            Note& n = track.noteAt(i++);
            n.content() = c;
            n.fresh = 1;
        }
    track.count = snap.count;
    if (track.drawmode != snap.drawmode || track.percussive != snap.percussive)
        track.eventsStale = 1;
    track.drawmode = snap.drawmode;
    track.percussive = snap.percussive;
    track.measureRepeats = snap.measureRepeats;
    copySettings(track, snap.settings);
    // Slots beyond the count always hold constructed notes.
    for (int j = track.count; j < std::min(oldHigh, track.capacity()); ++j)
        track.noteAt(j) = Note();
    track.rebuildChordLists();
}

void UndoRing::joinAt(int head, int tail, int current)
{
    m_ring = {};
    m_head = head;
    m_tail = tail;
    m_current = current;
}

bool UndoRing::canUndo() const
{
    return m_head != m_tail && m_tail != m_current;
}

bool UndoRing::canRedo() const
{
    return m_head != m_tail && (m_current + 1) % kUndoSlots != m_head && m_current != m_head;
}

bool UndoRing::undo(Track& track)
{
    if (m_head == m_tail || m_tail == m_current)
        return false;
    if (m_current == m_head) {
        snapshot(track);
        m_current = (m_current + kUndoSlots - 1) % kUndoSlots;
    }
    m_current = (m_current + kUndoSlots - 1) % kUndoSlots;
    if (const auto& slot = m_ring[static_cast<std::size_t>(m_current)])
        restore(track, *slot);
    return true;
}

bool UndoRing::redo(Track& track)
{
    // Right after an edit nothing has been undone; the slot after the head may still hold an
    // old snapshot from before the ring wrapped, which must never be restored.
    if (m_head == m_tail || m_current == m_head)
        return false;
    const int next = (m_current + 1) % kUndoSlots;
    if (next == m_head)
        return false;
    m_current = next;
    if (const auto& slot = m_ring[static_cast<std::size_t>(m_current)])
        restore(track, *slot);
    return true;
}

} // namespace tonvela
