#pragma once

#include "score/guitar_tuning.h"
#include "score/measure_division.h"
#include "score/note.h"

#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace tonvela {

class Track;

inline constexpr int kUndoSlots = 64;

// Undo storage of notes: their content only. The layout cache is left out;
// the relayout that follows every undo recomputes the cache. Chord member lists are derived
// and rebuilt after a restore.
using NoteChunk = std::vector<NoteContent>;

// The settings of a track that edits change and undo brings back with the notes: the instrument
// and its group, the drum key, the tempo, the key and the time signature.
struct TrackSettings {
    int iid = 0;
    int groupid = 0;
    int drumKey = 0;
    int tempo = 120;
    int keyindex = 7;
    int scaleKind = 0;
    int timeSig = 0;
    char key = 'C';
    uint8_t flatKey = 0;
    uint8_t braceWithNext = 0;
    GuitarTuning tuning;

    bool operator==(const TrackSettings& other) const = default;
};

// A track's notes at one moment, with the measures marked to repeat. The notes are stored as
// shared runs, so snapshots of an unchanged stretch of a track share the same memory; that
// keeps a full ring of 64 snapshots of a large sheet within a few megabytes.
struct TrackSnapshot {
    std::vector<std::shared_ptr<const NoteChunk>> chunks;
    int count = 0;
    // What edits change beside the notes and undo brings back with them: the staff kind (it
    // says how the notes' positions read) and the measures marked to repeat.
    uint8_t drawmode = 0;
    uint8_t percussive = 0;
    MeasureRepeatMarks measureRepeats;
    TrackSettings settings;
};

// A track's ring of 64 undo snapshots: head is the next slot to write, tail the oldest slot
// kept, current the slot the last undo or redo restored (-1 before any). Once the ring is full
// the oldest snapshot is dropped, so at most 62 undos in a row are possible.
//
// Thread rules: owned by its track; the track takes the sheet lock around every call.
class UndoRing {
  public:
    // Copies the track's notes, staff kind, repeat marks and settings into the slot at head.
    void snapshot(const Track& track);
    // Restores the snapshot before the current one; right after an edit it first records the
    // present state so that a redo returns to it. False when there is nothing to undo.
    bool undo(Track& track);
    // Restores the snapshot after the current one; false when there is nothing to redo.
    bool redo(Track& track);
    bool canUndo() const;
    bool canRedo() const;
    // For a track that joins a sheet after the sheet's first snapshot: an empty ring whose
    // indices stand where the other tracks' rings stand, so that it steps with them. Undo over
    // its empty slots leaves the notes as they are.
    void joinAt(int head, int tail, int current);

    int head() const { return m_head; }
    int tail() const { return m_tail; }
    int current() const { return m_current; }

  private:
    static void restore(Track& track, const TrackSnapshot& snap);

    std::array<std::optional<TrackSnapshot>, kUndoSlots> m_ring;
    int m_head = 0;
    int m_tail = 0;
    int m_current = -1;
};

} // namespace tonvela
