// The click of the pointer editing: what a press and release without a drag does.

#include "editor/editing/pointer_editing.h"
#include "editor/editing/sheet_editor.h"
#include "editor/editing/voice_entry.h"
#include "editor/layout.h"
#include "platform/notifier.h"
#include "platform/sheet_lock.h"
#include "score/system_repeats.h"

#include <algorithm>
#include <string>

namespace tonvela {
namespace {

// Kinds a clicked note hands to the note toolbar: the durations and the marker tools.
bool isToolKind(int type)
{
    return isDurationType(type) || type == kTypeBar || type == kTypeSpace || type == kTypeStaffBreak ||
           type == kTypeMark1737 || type == kTypeAudioClip;
}

} // namespace

void PointerEditing::refuse(const std::string& what, int track)
{
    if (Notifier* notifier = m_editor.notifier())
        notifier->error(what + ": track " + std::to_string(track + 1) + " already holds " +
                            std::to_string(Track::kMaxNotes) + " notes, the most a track can hold.",
                        "Add Note");
}

void PointerEditing::click(const PointerInput& input)
{
    const int x = input.x;
    const int y = input.y;
    int r = -1;
    int t = -1;
    {
        const SheetLockGuard lock(sheetLock());
        // The click acts on what the pointer shows where the button came up.
        track(x, y);
    }
    if (editingOff())
        return;
    SheetViewState& view = m_editor.view();
    if (m_barTrack >= 0) {
        const int measure = hoveredClosingMeasure(view, m_barTrack);
        if (measure > 0) {
            toggleRepeat(m_barTrack, measure);
            return;
        }
    }
    {
        const SheetLockGuard lock(sheetLock());
        r = rowUnder(x, y);
        // Paper right of a staff's end is away from every staff, like the paper below the last row.
        if (r >= 0 && x > view.row(r).left + view.row(r).length + kStaffSpacing)
            r = -1;
        if (r < 0) {
            // Outside every row: nothing stays selected.
            deselectAll();
            view.hoveredTrack = -1;
            view.previewVisible = false;
        } else {
            t = r % view.sheet().trackCount();
        }
    }
    if (r < 0) {
        m_editor.host().selectionChanged();
        return;
    }
    const StaffRow row = view.row(r);
    const int sy = sheetY(y);
    if (x > row.clefLeft && x < row.clefRight && sy > row.clefTop && sy < row.clefBottom) {
        selectTrack(t);
        return;
    }
    if (sharedToolGroups().edit.currentId == kTypeMark1737) {
        view.toggleRowMark(r);
        m_editor.host().pointerViewChanged();
        return;
    }
    if (voice2Entry() && x >= kStaffLeft && !input.ctrl) {
        // A head under the pointer is selected as ever; anywhere else the click enters voice 2.
        int head = -1;
        {
            const SheetLockGuard lock(sheetLock());
            head = noteHeadOnRow(r, x, sy);
        }
        if (head >= 0)
            selectNote(r, t, x, sy, input.shift);
        else
            insertVoice2Note(r, t, x, sy);
        m_editor.host().selectionChanged();
        return;
    }
    if (m_editor.editState().track(t).insertionPoint < 0) {
        if (selectNote(r, t, x, sy, input.shift) || x < kStaffLeft) {
            m_editor.host().selectionChanged();
            return;
        }
    }
    const int at = m_editor.editState().track(t).insertionPoint;
    if (at >= 0 && !input.ctrl)
        insertNote(r, t, at, sy);
    m_editor.host().selectionChanged();
}

bool PointerEditing::selectNote(int r, int t, int x, int y, bool shift)
{
    SheetViewState& view = m_editor.view();
    Track& track = *view.sheet().trackAt(t);
    EditState& edits = m_editor.editState();
    int clicked = -1;
    {
        const SheetLockGuard lock(sheetLock());
        if (!shift)
            deselectAll();
        // The head under the pointer first: a note far off its staff is outside the column
        // search's reach.
        clicked = noteHeadOnRow(r, x, y);
        if (clicked < 0)
            clicked = noteInColumn(r, x);
        // Where the chord preview shows, the click goes to the current note's chord.
        const int current = edits.track(t).currentNote;
        if (clicked < 0 && m_chordZoneTrack == t && current >= 0 && current < track.count)
            clicked = current;
        if (clicked >= 0)
            track.noteAt(clicked).selected = 1;
    }
    if (clicked >= 0 && buildChord(r, t, clicked, y))
        return true;
    bool toolChanged = false;
    {
        const SheetLockGuard lock(sheetLock());
        if (clicked != edits.track(t).currentNote) {
            const int type = clicked >= 0 ? track.noteAt(clicked).type : 0;
            SharedToolGroups& groups = sharedToolGroups();
            // The clicked note's kind becomes the tool, so the next click adds its like.
            if (clicked >= 0 && groups.edit.currentId != kToolLyrics && isToolKind(type)) {
                groups.notes.select(type);
                groups.edit.select(0);
                toolChanged = true;
            }
            edits.setCurrentNote(t, clicked);
        }
    }
    // The toolbars redraw outside the sheet lock: the painter thread may be waiting for it.
    if (toolChanged) {
        toolGroupsChanged();
        m_editor.toolsChanged();
    }
    return clicked >= 0;
}

bool PointerEditing::buildChord(int r, int t, int clicked, int y)
{
    SheetViewState& view = m_editor.view();
    Track& track = *view.sheet().trackAt(t);
    Note candidate;
    int root = -1;
    {
        const SheetLockGuard lock(sheetLock());
        const int cur = m_editor.editState().track(t).currentNote;
        if (cur < 0 || cur >= track.count)
            return false;
        const int clickedRoot = track.rootOf(clicked);
        const int currentRoot = track.rootOf(cur);
        root = clickedRoot >= 0 ? clickedRoot : clicked;
        if (root != (currentRoot >= 0 ? currentRoot : cur))
            return false;
        Note& rootNote = track.noteAt(root);
        const NoteLayout& rootPlace = view.noteLayout(t, root);
        NoteLayout place;
        candidate.type = rootNote.type;
        place.stemDown = rootPlace.stemDown;
        candidate.chordparent = static_cast<int16_t>(root);
        candidate.voice = rootNote.voice; // a member goes with its root's voice
        if (!placeClick(view.row(r), &track, candidate, place, y, m_editor.tools().placement()))
            return false;
        if (place.y == rootPlace.y) {
            rootNote.selected = 1; // the root's own height: the root stays current
            return true;
        }
        for (int k = 0; k < rootNote.childCount && k < kMaxChordMembers; ++k) {
            const int m = rootNote.children[k];
            if (m < 0 || m >= track.count || view.noteLayout(t, m).y != place.y)
                continue;
            // A member at that height already: it becomes the current note.
            m_editor.editState().setCurrentNote(t, m);
            track.noteAt(m).selected = 1;
            rootNote.selected = 0;
            return true;
        }
        if (!m_state.chordEntry || rootNote.childCount >= kMaxChordMembers)
            return false; // a full chord only selects
    }
    if (track.count >= Track::kMaxNotes) {
        refuse("The chord note was not added", t);
        return true;
    }
    candidate.iid = track.iid;
    m_editor.edit(SnapshotKind::Insert, t, [&] {
        deselectAll();
        track.insertNote(candidate, track.count);
        track.rebuildChordLists();
    });
    retrack();
    return true;
}

std::optional<Note> PointerEditing::clickedNote(int r, int t, int y)
{
    SheetViewState& view = m_editor.view();
    Track& track = *view.sheet().trackAt(t);
    if (track.count >= Track::kMaxNotes) {
        refuse("The note was not added", t);
        return std::nullopt;
    }
    Note note;
    note.type = sharedToolGroups().notes.currentId;
    NoteLayout place;
    if (!placeClick(view.row(r), &track, note, place, y, m_editor.tools().placement()))
        return std::nullopt;
    note.selected = 0;
    note.iid = track.iid;
    return note;
}

void PointerEditing::insertNote(int r, int t, int at, int y)
{
    const std::optional<Note> clicked = clickedNote(r, t, y);
    if (!clicked)
        return;
    const Note note = *clicked;
    Track& track = *m_editor.view().sheet().trackAt(t);
    if (at < 0 || at > track.count)
        at = track.count;
    m_editor.edit(SnapshotKind::Insert, t, [&] {
        deselectAll();
        track.insertNote(note, at);
        track.rebuildChordLists();
        // The current note keeps naming the same note.
        int& current = m_editor.editState().track(t).currentNote;
        if (current >= at)
            ++current;
    });
    retrack();
}

bool PointerEditing::voice2Entry() const
{
    return m_editor.tools().voice2 && isDurationType(sharedToolGroups().notes.currentId);
}

void PointerEditing::insertVoice2Note(int r, int t, int x, int y)
{
    SheetViewState& view = m_editor.view();
    Track& track = *view.sheet().trackAt(t);
    // Placed as any clicked note, outside the lock: a full track is refused with a message.
    const std::optional<Note> clicked = clickedNote(r, t, y);
    if (!clicked)
        return;
    Note note = *clicked;
    int measure = 0; // none: the note goes to the track's end
    Ticks offset = 0;
    {
        const SheetLockGuard lock(sheetLock());
        // The pointer's time on the grid of the note's kind; a note near the bar line starts
        // early enough to end in its measure.
        if (const std::optional<VoiceSpot> spot =
                voiceSpotAt(view, r, x, lengthTicks(note.type, note.dwFlag & kFlagTriplet))) {
            measure = spot->measure;
            const Ticks latest = measureLengthOf(track, measure) - lengthTicks(note);
            offset = std::max<Ticks>(0, std::min(spot->offset, latest));
        }
    }
    int entered = -1;
    m_editor.edit(SnapshotKind::Insert, t, [&] {
        deselectAll();
        entered = enterVoice2Note(track, measure, offset, note);
        m_editor.editState().setCurrentNote(t, entered);
    });
    if (entered < 0)
        refuse("The note and its rests were not added", t);
    retrack();
}

void PointerEditing::selectTrack(int t)
{
    // The track chosen before drops its selection, so that commands on the new track (Select
    // All, then Delete) never reach notes the user no longer looks at.
    SheetDocument& sheet = m_editor.sheet();
    if (sheet.selectedTrack != t) {
        if (Track* before = sheet.trackAt(sheet.selectedTrack)) {
            const SheetLockGuard lock(sheetLock());
            before->deselectAll();
        }
    }
    m_editor.selectTrack(t);
}

void PointerEditing::toggleRepeat(int t, int measure)
{
    // The repeat belongs to the system: every track takes or drops the mark in one undo step.
    SheetDocument& sheet = m_editor.sheet();
    const bool repeated = systemMeasureRepeats(sheet, measure);
    m_editor.edit(SnapshotKind::SelectedChange, t,
                  [&] { setSystemMeasureRepeat(sheet, measure, !repeated); });
    retrack();
}

void PointerEditing::retrack()
{
    // The sheet was laid out again: the preview and the insertion point follow the new layout.
    const Shown before = shown();
    const std::string statusBefore = m_status;
    {
        const SheetLockGuard lock(sheetLock());
        track(m_state.x, m_state.y);
    }
    reportChanges(before, statusBefore);
}

} // namespace tonvela
