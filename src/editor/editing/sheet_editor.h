#pragma once

#include "editor/editing/edit_state.h"
#include "editor/editing/editor_input.h"
#include "editor/editing/pointer_editing.h"
#include "editor/editing/tool_state.h"
#include "editor/sheet_view_state.h"
#include "platform/sheet_lock.h"
#include "score/sheet_document.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tonvela {

class Notifier;

// The zoom changes by this much per wheel notch with Ctrl and per step of the "Scale:" field.
inline constexpr float kZoomStep = 0.1f;
// Rows moved by a page step of the scroll bar.
inline constexpr int kPageRows = 3;

// What the window showing a sheet does for its editor. The calls come on the user-interface
// thread with the sheet lock released, so the window may do toolkit work in them; only laidOut
// comes with the lock held.
class EditorHost {
  public:
    virtual ~EditorHost() = default;
    // The view has a new layout result. Called with the sheet lock held, right after the
    // layout and before the lock is released: a window hands its painter the new view here, so
    // the painter never draws changed notes with the layout made before the change.
    virtual void laidOut() {}
    // The sheet was laid out again (edit, undo, resize, zoom): the scroll range, the picture
    // and the panels may all have changed.
    virtual void layoutChanged() = 0;
    // Only the first visible row changed: scroll bar and picture.
    virtual void scrolled() = 0;
    // A tool, a toggle or lyric mode changed: the preview kind and the lyric box may have.
    virtual void toolsChanged() {}
    // Only what the pointer shows changed (preview, highlight, guides, drag rectangle, a
    // hovered clef or bar line): the picture.
    virtual void pointerViewChanged() {}
    // The selection, the current note or the selected track changed without an edit: the
    // picture and the selection summary ("Beats Selected:").
    virtual void selectionChanged() {}
    // Another note (or none) is under the pointer: the panel shows the properties of the
    // hovered note.
    virtual void hoverChanged() {}
    // The status text of the pointer ("Note: C # 4") changed.
    virtual void statusTextChanged(const std::string& /*text*/) {}
};

enum class ScrollAction { LineUp, LineDown, PageUp, PageDown };

// The editor of one sheet, without any toolkit: it takes the view state of one window and
// plain pointer and key records (points already in sheet units), answers the commands of the
// active sheet and runs every change of the sheet through edit(), so each edit takes the sheet
// lock once, takes one undo snapshot and ends laid out again.
//
// Per-sheet editing state (the tool toggles, the keyboard octave, the current note, the
// preview) belongs here, next to the pointer state; tools and selection build on edit(), the
// pointer calls and keyPressed().
//
// The editor follows its sheet: whatever changes notes, tracks or settings outside it (chord
// entry, a load, undo) is told by the sheet (SheetObserver), and the editor lays the view out
// again.
//
// Thread rules: user-interface thread. Layout and changes run under the sheet lock, which the
// painter thread takes to paint; the host is called with the lock released.
class SheetEditor : private SheetObserver {
  public:
    SheetEditor(SheetViewState& view, EditorHost& host);
    ~SheetEditor() override;
    SheetEditor(const SheetEditor&) = delete;
    SheetEditor& operator=(const SheetEditor&) = delete;

    SheetViewState& view() { return m_view; }
    const SheetViewState& view() const { return m_view; }
    SheetDocument& sheet() { return m_view.sheet(); }
    const SheetDocument& sheet() const { return m_view.sheet(); }

    // The one way the sheet is changed: under one hold of the sheet lock takes one undo
    // snapshot of `kind` for `trackIndex`, runs `change`, marks the sheet modified, tells the
    // sheet's observers that notes changed and lays the view out again (so the painter never
    // sees changed notes with an old layout); then tells the host. Changes the sheet announces
    // during the change are folded into that one layout.
    template <class Change> void edit(SnapshotKind kind, int trackIndex, Change&& change)
    {
        {
            const Batch batch(*this);
            sheet().snapshot(kind, trackIndex);
            std::forward<Change>(change)();
            sheet().markModified();
            sheet().notesChanged();
        }
        m_host.layoutChanged();
    }

    // Commands of the active sheet: answers() says which the editor takes (for the enabled
    // state of menu items), command() runs one and is true when it was taken.
    bool answers(int commandId) const;
    bool command(int commandId);

    // Where refusals are told (a paste beyond the note limit); none keeps them silent.
    void setNotifier(Notifier* notifier) { m_notifier = notifier; }
    Notifier* notifier() const { return m_notifier; }
    // Tells the host that the tools changed (tool_editing.h calls it after every tool change).
    void toolsChanged() { m_host.toolsChanged(); }
    EditorHost& host() { return m_host; }

    // The commands on the selection, each one edit of its own snapshot kind (copy and select
    // all change no notes and take none); a command with nothing to act on changes nothing.
    void copy();
    void cut();
    // Into the first track with an insertion point there, else into the selected track, else
    // into the hovered one, at its end; refused whole (with a message) when the track would
    // pass Track::kMaxNotes. True when notes went in.
    bool paste();
    void deleteSelected();
    void selectAll();
    // Every note of every track unselected (Escape, a click on empty paper), without an undo
    // step. True when some note was selected.
    bool clearSelection();
    void clear();
    // One staff position up or down for every selected note.
    void shiftPitch(bool up);

    // A key that reached the sheet window (the tool and note keys of tool_editing.h); true
    // when the editor consumed it.
    bool keyPressed(const KeyInput& key);
    // The pointer, in sheet units (PointerEditing). A left press starts a click that becomes
    // a drag once the pointer moves more than kDragThreshold away; every move is checked for
    // that.
    void pointerPressed(const PointerInput& input)
    {
        clearMessage();
        m_pointerEditing.pressed(input);
    }
    // True when the move was tracked at once (it came kPointerTrackMs or more after the last
    // tracked one); a closer move only updates the drag and waits: the window tracks it with
    // trackPendingPointerMove once pendingPointerMoveDueMs has come.
    bool pointerMoved(const PointerInput& input) { return m_pointerEditing.moved(input); }
    std::optional<int64_t> pendingPointerMoveDueMs() const { return m_pointerEditing.pendingMoveDueMs(); }
    bool trackPendingPointerMove(int64_t nowMs) { return m_pointerEditing.trackPendingMove(nowMs); }
    // True when the left press ends as a click, not a drag.
    bool pointerReleased(const PointerInput& input) { return m_pointerEditing.released(input); }
    void pointerLeft() { m_pointerEditing.left(); }
    const PointerState& pointer() const { return m_pointerEditing.state(); }
    // The status text: the answer to the last key, command or click when it had one (showMessage),
    // else "Note: %c%s %d" of the pointer's preview.
    const std::string& statusText() const
    {
        return m_message.empty() ? m_pointerEditing.statusText() : m_message;
    }
    // Says why a key or command changed nothing ("No tie: ..."); the text stays in the status
    // area until the next key, command or click.
    void showMessage(const std::string& text);

    // The previous (forward false) or next chord root of the selected track becomes the
    // current note and is selected, its row scrolled into view; `keepSelection` keeps the
    // notes selected before. False without a selected track.
    bool stepCurrentNote(bool forward, bool keepSelection);
    // Home and End: the first (end false) or last chord root of the selected track becomes the
    // current note, alone selected, and the view goes to the sheet's first or last rows (a
    // track with no note only scrolls). False without a selected track.
    bool goToSheetEdge(bool end);

    // The per-track editing state (current note, hover note, insertion point).
    EditState& editState() { return m_edit; }
    const EditState& editState() const { return m_edit; }
    // This sheet's tool toggles and keyboard octave.
    SheetTools& tools() { return m_tools; }
    const SheetTools& tools() const { return m_tools; }

    // View changes: no undo snapshot, no modified mark.
    // The window's client area in device pixels (after every resize).
    void resize(int clientWidth, int clientHeight);
    // Lays out again for the current size and zoom, and tells the host.
    void relayout();
    void scroll(ScrollAction action);
    void scrollTo(int row);
    // One wheel notch: with Ctrl the zoom changes by kZoomStep (never below kMinZoom); either
    // way a notch away from the user scrolls a row up, towards the user a row down.
    void wheelStep(bool awayFromUser, bool ctrl);
    // Sets the sheet's zoom, kept within what drawing accepts, and lays out again.
    void setZoom(float zoom);
    // One step of the "Scale:" field: nothing while the zoom is below 0.25.
    void stepZoom(bool up);
    float zoom() const { return sheet().zoomamount; }

    // Makes track t the one the panels and the commands act on (the sheet tells its
    // observers), under the sheet lock: the painter draws its clef in the selection colour.
    void selectTrack(int t);

    // One track more or fewer, towards `count` (the "Number Tracks:" field moves by one), as
    // one undoable edit.
    void stepTrackCount(int count);

    // Playback reached `measure` (numbered from 1) of the first track: when the rows of its
    // system are not all in view, scrolls so that the system is the first row shown.
    void followMeasure(int measure);

  private:
    // Holds the sheet lock and folds relayout requests into one layout at its end.
    class Batch {
      public:
        explicit Batch(SheetEditor& editor);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

      private:
        SheetEditor& m_editor;
        SheetLockGuard m_lock;
    };

    void layoutNow();
    void sheetChanged(const SheetChangeEvent& change) override;
    void clearMessage();

    SheetViewState& m_view;
    EditorHost& m_host;
    Notifier* m_notifier = nullptr;
    std::string m_message;
    EditState m_edit;
    SheetTools m_tools;
    PointerEditing m_pointerEditing{*this};
    int m_batchDepth = 0;
    std::vector<const Track*> m_laidOutTracks; // the track at each place at the last layout
};

} // namespace tonvela
