#pragma once

#include "score/repeat_range.h"
#include "score/undo_ring.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace tonvela {

class Track;

// What the sheet as a whole was at one undo snapshot: which tracks it held, in order, its time
// signature code, pickup and repeated passages, and which state of the document it was (every change makes a
// new state number, so a number seen again means the very same content).
struct SheetState {
    std::vector<const Track*> tracks;
    int timesig = 0;
    int64_t pickup = 0;
    std::vector<RepeatRange> repeatRanges;
    uint64_t id = 0;
};

// The sheet-wide side of undo: one entry per snapshot, in a ring that takes exactly the steps
// of the tracks' own rings (same size, same index moves), so the entry restored with the
// tracks' notes says which tracks belong to that moment and whether it is the saved state.
//
// Thread rules: owned by its sheet; the sheet takes the sheet lock around every call.
class SheetHistory {
  public:
    // Keeps the state before an edit.
    void record(SheetState before);
    // The state to return to, or none when there is nothing to undo. Right after an edit it
    // first keeps `present`, so that a redo returns to it.
    std::optional<SheetState> undo(SheetState present);
    // The state to go forward to, or none when there is nothing to redo.
    std::optional<SheetState> redo();
    bool canUndo() const { return m_head != m_tail && m_tail != m_current; }
    bool canRedo() const;
    // Whether any kept state holds `track`.
    bool holds(const Track* track) const;
    void clear();

    int head() const { return m_head; }
    int tail() const { return m_tail; }
    int current() const { return m_current; }

  private:
    std::array<SheetState, kUndoSlots> m_ring{};
    int m_head = 0;
    int m_tail = 0;
    int m_current = -1;
};

} // namespace tonvela
