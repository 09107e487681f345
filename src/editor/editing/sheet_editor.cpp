#include "editor/editing/sheet_editor.h"

#include "editor/commands.h"
#include "editor/editing/note_clipboard.h"
#include "editor/editing/sheet_options.h"
#include "editor/editing/tool_editing.h"
#include "editor/editing/voice_entry.h"
#include "editor/layout.h"
#include "platform/notifier.h"

#include <algorithm>
#include <string>

namespace tonvela {
namespace {
// Below this the "Scale:" field leaves the zoom alone.
constexpr float kFieldZoomFloor = 0.25f;
} // namespace

SheetEditor::Batch::Batch(SheetEditor& editor) : m_editor(editor), m_lock(sheetLock())
{
    ++m_editor.m_batchDepth;
}

SheetEditor::Batch::~Batch()
{
    --m_editor.m_batchDepth;
    if (m_editor.m_batchDepth == 0)
        m_editor.layoutNow();
}

SheetEditor::SheetEditor(SheetViewState& view, EditorHost& host) : m_view(view), m_host(host)
{
    sheet().addObserver(this);
}

SheetEditor::~SheetEditor()
{
    sheet().removeObserver(this);
}

void SheetEditor::layoutNow()
{
    SheetLockGuard lock(sheetLock());
    m_view.updateLayoutSize();
    const std::shared_ptr<const SheetLayout> before = m_view.sharedLayout();
    layoutRows(m_view);
    m_laidOutTracks.resize(static_cast<std::size_t>(sheet().trackCount()), nullptr);
    for (int t = 0; t < sheet().trackCount(); ++t) {
        Track& track = *sheet().trackAt(t);
        // Playback reads each track's division into measures: a track laid out again may have
        // changed (as may one that undo brought back), and its division follows it here, under
        // the lock playback takes.
        const Track*& known = m_laidOutTracks[static_cast<std::size_t>(t)];
        if (before->track(t) != m_view.layout().track(t) || known != &track ||
            track.measureDivision().noteCount() != track.count)
            track.divideIntoMeasures();
        known = &track;
        // Whatever changed the notes, the editing state names none that is gone.
        m_edit.dropIndicesBeyond(t, track.count);
    }
    m_host.laidOut();
}

void SheetEditor::sheetChanged(const SheetChangeEvent& change)
{
    switch (change.kind) {
    case SheetChange::Notes:
    case SheetChange::TrackCount:
    case SheetChange::TrackSettings:
    case SheetChange::TimeSignature:
    case SheetChange::Load:
        relayout();
        break;
    case SheetChange::Caption:
    case SheetChange::Selection:
        break;
    }
}

void SheetEditor::showMessage(const std::string& text)
{
    m_message = text;
    m_host.statusTextChanged(statusText());
}

void SheetEditor::clearMessage()
{
    if (m_message.empty())
        return;
    m_message.clear();
    m_host.statusTextChanged(statusText());
}

bool SheetEditor::answers(int commandId) const
{
    switch (commandId) {
    case kCmdUndo:
    case kCmdRedo:
    case kCmdCopy:
    case kCmdCut:
    case kCmdPaste:
    case kCmdDelete:
    case kCmdSelectAll:
    case kCmdClear:
    case kCmdCursorUp:
    case kCmdCursorDown:
    case kCmdCursorLeft:
    case kCmdCursorRight:
    case kCmdGoToStart:
    case kCmdGoToEnd:
    case kCmdToggleTablature:
        return true;
    default:
        return isToolCommand(commandId);
    }
}

bool SheetEditor::command(int commandId)
{
    clearMessage();
    switch (commandId) {
    case kCmdUndo:
    case kCmdRedo: {
        {
            const Batch batch(*this);
            if (commandId == kCmdUndo)
                sheet().undo();
            else
                sheet().redo();
            // The current note stays where it still names a note, so the lyric box and chord
            // building stay where the user was; hover and insertion point follow the next move.
            // The history keeps the selection of its time, but a selection brought back unseen
            // would take the next tool key: nothing is selected after undo and redo.
            for (int t = 0; t < sheet().trackCount(); ++t) {
                sheet().trackAt(t)->deselectAll();
                TrackEditState& state = m_edit.track(t);
                state.hoverNote = state.insertionPoint = -1;
                m_edit.dropIndicesBeyond(t, sheet().trackAt(t)->count);
            }
        }
        m_host.layoutChanged();
        return true;
    }
    case kCmdCopy:
        copy();
        return true;
    case kCmdCut:
        cut();
        return true;
    case kCmdPaste:
        paste();
        return true;
    case kCmdDelete:
        deleteSelected();
        return true;
    case kCmdSelectAll:
        selectAll();
        return true;
    case kCmdClear:
        clear();
        return true;
    case kCmdCursorUp:
    case kCmdCursorDown:
        shiftPitch(commandId == kCmdCursorUp);
        return true;
    case kCmdCursorLeft:
    case kCmdCursorRight:
        return stepCurrentNote(commandId == kCmdCursorRight, false);
    case kCmdGoToStart:
    case kCmdGoToEnd:
        return goToSheetEdge(commandId == kCmdGoToEnd);
    case kCmdToggleTablature:
        toggleTablature(*this);
        return true;
    default:
        return isToolCommand(commandId) && applyTool(*this, commandId);
    }
}

void SheetEditor::copy()
{
    const SheetLockGuard lock(sheetLock());
    copySelection(sheet(), noteClipboard());
}

void SheetEditor::cut()
{
    copy();
    deleteSelected();
}

bool SheetEditor::paste()
{
    const NoteClipboard& clipboard = noteClipboard();
    int target = -1;
    int at = -1;
    for (int t = 0; t < sheet().trackCount() && target < 0; ++t)
        if (m_edit.track(t).insertionPoint >= 0) {
            target = t;
            at = m_edit.track(t).insertionPoint;
        }
    if (target < 0)
        target = sheet().selectedTrack;
    if (!sheet().trackAt(target))
        target = m_view.hoveredTrack;
    Track* track = sheet().trackAt(target);
    if (!track || clipboard.empty())
        return false;
    if (!pasteFits(*track, clipboard.notes.size())) {
        if (m_notifier)
            m_notifier->error(
                "The notes were not pasted: track " + std::to_string(target + 1) + " would hold " +
                    std::to_string(static_cast<std::size_t>(track->count) + clipboard.notes.size()) +
                    " notes, more than the " + std::to_string(Track::kMaxNotes) + " a track can hold.",
                "Paste");
        return false;
    }
    edit(SnapshotKind::Insert, target, [&] {
        for (int t = 0; t < sheet().trackCount(); ++t)
            if (t != target)
                sheet().trackAt(t)->deselectAll();
        pasteNotes(*track, at >= 0 && at <= track->count ? at : track->count, clipboard);
        // Voice 1 notes pasted into a measure move its voice 1 on past notes of voice 2.
        restoreTimeOrder(*track);
        m_edit.clear(); // the pasted notes moved the ones after them
    });
    // The pointer has not moved, so a second paste goes where it points: into the gap under it
    // when the new layout leaves one there, else right after the notes just pasted.
    if (at >= 0) {
        m_pointerEditing.retrack();
        bool pointed = false;
        for (int t = 0; t < sheet().trackCount(); ++t)
            pointed = pointed || m_edit.track(t).insertionPoint >= 0;
        if (!pointed)
            m_edit.track(target).insertionPoint =
                std::min(track->count, at + static_cast<int>(clipboard.notes.size()));
    }
    return true;
}

void SheetEditor::deleteSelected()
{
    if (!hasSelection(sheet()))
        return;
    m_view.hoveredNoteTrack = m_view.hoveredNoteIndex = -1;
    edit(SnapshotKind::Delete, sheet().selectedTrack, [&] {
        deleteSelection(sheet());
        // Voice 1 notes taken out of a measure draw the rest of its voice 1 back past voice 2.
        for (int t = 0; t < sheet().trackCount(); ++t)
            restoreTimeOrder(*sheet().trackAt(t));
        m_edit.clear();
    });
}

void SheetEditor::selectAll()
{
    if (!sheet().trackAt(sheet().selectedTrack))
        return;
    {
        const Batch batch(*this);
        selectAllOf(sheet(), sheet().selectedTrack);
    }
    m_host.layoutChanged();
}

bool SheetEditor::clearSelection()
{
    {
        const SheetLockGuard lock(sheetLock());
        if (!hasSelection(sheet()))
            return false;
        for (int t = 0; t < sheet().trackCount(); ++t)
            sheet().trackAt(t)->deselectAll();
    }
    m_host.selectionChanged();
    return true;
}

void SheetEditor::clear()
{
    bool any = false;
    for (int t = 0; t < sheet().trackCount(); ++t)
        any = any || sheet().trackAt(t)->count > 0;
    if (!any)
        return;
    m_view.hoveredNoteTrack = m_view.hoveredNoteIndex = -1;
    edit(SnapshotKind::Clear, sheet().selectedTrack, [&] {
        clearAllNotes(sheet());
        m_edit.clear();
        m_view.firstVisibleRow = 0;
    });
}

void SheetEditor::shiftPitch(bool up)
{
    if (!hasSelection(sheet()))
        return;
    edit(SnapshotKind::SelectedChange, sheet().selectedTrack,
         [&] { shiftSelectedPitch(sheet(), up ? -1 : 1); });
}

bool SheetEditor::keyPressed(const KeyInput& key)
{
    clearMessage();
    if ((key.key == EditorKey::Left || key.key == EditorKey::Right) && !key.ctrl)
        return stepCurrentNote(key.key == EditorKey::Right, key.shift);
    if (key.key == EditorKey::Escape && !key.ctrl) {
        bool taken = false;
        if (m_tools.lyricMode) {
            applyTool(*this, kToolLyrics); // Escape leaves the lyric tool
            taken = true;
        }
        return clearSelection() || taken;
    }
    return toolKey(*this, key);
}

void SheetEditor::resize(int clientWidth, int clientHeight)
{
    {
        const Batch batch(*this);
        m_view.setClientSize(clientWidth, clientHeight);
    }
    m_host.layoutChanged();
}

void SheetEditor::relayout()
{
    if (m_batchDepth > 0)
        return; // the batch lays out once at its end
    layoutNow();
    m_host.layoutChanged();
}

void SheetEditor::scroll(ScrollAction action)
{
    int delta = 0;
    switch (action) {
    case ScrollAction::LineUp:
        delta = -1;
        break;
    case ScrollAction::LineDown:
        delta = 1;
        break;
    case ScrollAction::PageUp:
        delta = -kPageRows;
        break;
    case ScrollAction::PageDown:
        delta = kPageRows;
        break;
    }
    const int row = m_view.firstVisibleRow;
    if ((delta < 0 && row <= 0) || (delta > 0 && row >= m_view.scrollRange))
        return;
    scrollTo(row + delta);
}

void SheetEditor::scrollTo(int row)
{
    {
        SheetLockGuard lock(sheetLock());
        setFirstVisibleRow(m_view, std::clamp(row, 0, m_view.scrollRange));
    }
    m_host.scrolled();
}

void SheetEditor::wheelStep(bool awayFromUser, bool ctrl)
{
    if (ctrl)
        setZoom(zoom() + (awayFromUser ? kZoomStep : -kZoomStep));
    scroll(awayFromUser ? ScrollAction::LineUp : ScrollAction::LineDown);
}

void SheetEditor::setZoom(float zoom)
{
    // The zoom has no upper bound of its own, but drawing refuses factors beyond kMaxZoom.
    if (!(zoom > kMinZoom))
        zoom = kMinZoom;
    zoom = std::min(zoom, kMaxZoom);
    {
        const Batch batch(*this);
        sheet().zoomamount = zoom;
    }
    m_host.layoutChanged();
}

void SheetEditor::stepZoom(bool up)
{
    if (zoom() < kFieldZoomFloor)
        return;
    setZoom(zoom() + (up ? kZoomStep : -kZoomStep));
}

void SheetEditor::selectTrack(int t)
{
    {
        const SheetLockGuard lock(sheetLock());
        sheet().selectTrack(t);
    }
    m_host.selectionChanged();
}

void SheetEditor::stepTrackCount(int count)
{
    const int now = sheet().trackCount();
    if (count == now)
        return;
    // One undoable edit: undo brings a removed track back with its notes.
    edit(SnapshotKind::TrackCount, sheet().selectedTrack,
         [&] { sheet().setTrackCount(now + (count > now ? 1 : -1)); });
}

} // namespace tonvela

namespace tonvela {

void SheetEditor::followMeasure(int measure)
{
    int row = -1;
    int systemRows = 1;
    int visibleRows = 1;
    {
        SheetLockGuard lock(sheetLock());
        const auto& records = m_view.measures(0);
        if (sheet().trackCount() == 0 || measure < 1 || measure > m_view.measuresInUse(0) ||
            static_cast<std::size_t>(measure) >= records.size())
            return;
        row = records[static_cast<std::size_t>(measure)].rowIndex;
        systemRows = sheet().trackCount();
        visibleRows = std::max(1, (m_view.layoutHeight - kRowTopOffset) / m_view.rowPitch());
    }
    if (row < 0)
        return;
    const int first = m_view.firstVisibleRow;
    if (row >= first && row + systemRows <= first + visibleRows)
        return;
    scrollTo(row);
}

} // namespace tonvela
