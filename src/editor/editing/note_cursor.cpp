// The Left and Right arrow keys: the current note steps from chord to chord of the selected
// track; Home and End go to its first and last chord.

#include "editor/editing/sheet_editor.h"
#include "platform/sheet_lock.h"

#include <algorithm>

namespace tonvela {
namespace {

// A chord root the arrows stop at: staff breaks and the 1737 marks are never drawn.
bool isStop(const Track& track, int i)
{
    const Note& n = track.noteAt(i);
    return track.rootOf(i) == -1 && n.type != kTypeStaffBreak && n.type != kTypeMark1737;
}

} // namespace

bool SheetEditor::stepCurrentNote(bool forward, bool keepSelection)
{
    const int t = sheet().selectedTrack;
    Track* track = sheet().trackAt(t);
    if (!track)
        return false;
    int row = -1;
    {
        const SheetLockGuard lock(sheetLock());
        const int cur = m_edit.track(t).currentNote;
        int from = -1;
        if (cur >= 0 && cur < track->count) {
            const int root = track->rootOf(cur);
            from = root >= 0 ? root : cur;
        }
        int target = -1;
        if (forward) {
            for (int i = from + 1; i < track->count && target < 0; ++i)
                if (isStop(*track, i))
                    target = i;
        } else {
            for (int i = (from < 0 ? track->count : from) - 1; i >= 0 && target < 0; --i)
                if (isStop(*track, i))
                    target = i;
        }
        if (target < 0)
            return true; // at the end already
        if (!keepSelection)
            for (int k = 0; k < sheet().trackCount(); ++k)
                sheet().trackAt(k)->deselectAll();
        track->noteAt(target).selected = 1;
        m_edit.setCurrentNote(t, target);
        row = m_view.noteLayout(t, target).rowIndex;
    }
    // The row comes into view at the edge it was beyond.
    const int visibleRows = std::max(1, (m_view.layoutHeight - kRowTopOffset) / m_view.rowPitch());
    const int first = m_view.firstVisibleRow;
    if (row >= 0 && row < first)
        scrollTo(row);
    else if (row >= first + visibleRows)
        scrollTo(row - visibleRows + 1);
    m_host.selectionChanged();
    return true;
}

bool SheetEditor::goToSheetEdge(bool end)
{
    const int t = sheet().selectedTrack;
    const Track* track = sheet().trackAt(t);
    if (!track)
        return false;
    bool anyStop = false;
    {
        const SheetLockGuard lock(sheetLock());
        for (int i = 0; i < track->count && !anyStop; ++i)
            anyStop = isStop(*track, i);
    }
    if (anyStop) {
        // From before the first note forwards, or from after the last backwards, one step of
        // the arrows lands on the edge.
        m_edit.setCurrentNote(t, -1);
        stepCurrentNote(!end, false);
    }
    scrollTo(end ? m_view.scrollRange : 0);
    m_host.selectionChanged();
    return true;
}

} // namespace tonvela
