#include "score/sheet_history.h"

#include <algorithm>

namespace tonvela {

// The index steps are those of UndoRing, so that this ring and the rings of the sheet's tracks
// always point at the same moment.

void SheetHistory::record(SheetState before)
{
    m_ring[static_cast<std::size_t>(m_head)] = std::move(before);
    m_head = (m_head + 1) % kUndoSlots;
    m_current = m_head;
    if (m_head == m_tail) {
        // The oldest state is dropped; its slot is the next one written.
        m_tail = (m_tail + 1) % kUndoSlots;
    }
}

std::optional<SheetState> SheetHistory::undo(SheetState present)
{
    if (!canUndo())
        return std::nullopt;
    if (m_current == m_head) {
        record(std::move(present));
        m_current = (m_current + kUndoSlots - 1) % kUndoSlots;
    }
    m_current = (m_current + kUndoSlots - 1) % kUndoSlots;
    return m_ring[static_cast<std::size_t>(m_current)];
}

bool SheetHistory::canRedo() const
{
    return m_head != m_tail && m_current != m_head && (m_current + 1) % kUndoSlots != m_head;
}

std::optional<SheetState> SheetHistory::redo()
{
    if (!canRedo())
        return std::nullopt;
    m_current = (m_current + 1) % kUndoSlots;
    return m_ring[static_cast<std::size_t>(m_current)];
}

bool SheetHistory::holds(const Track* track) const
{
    return std::any_of(m_ring.begin(), m_ring.end(), [track](const SheetState& s) {
        return std::find(s.tracks.begin(), s.tracks.end(), track) != s.tracks.end();
    });
}

void SheetHistory::clear()
{
    m_ring = {};
    m_head = 0;
    m_tail = 0;
    m_current = -1;
}

} // namespace tonvela
