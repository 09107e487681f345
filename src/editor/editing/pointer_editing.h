#pragma once

#include "editor/editing/editor_input.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace tonvela {

class SheetEditor;
class Track;
struct Note;
struct NoteLayout;
struct StaffRow;

// Pointer moves closer together than this are tracked when the interval ends, not at once.
inline constexpr int kPointerTrackMs = 10;
// A press becomes a drag once the pointer moved more than this (|dx| + |dy|, sheet units).
inline constexpr int kDragThreshold = 10;

// The state of the left button and the pointer in one sheet window: where the press was,
// where the pointer is, whether the press became a drag, the note under the press.
struct PointerState {
    bool buttonDown = false;
    bool dragging = false;
    bool shift = false;
    bool ctrl = false;
    int pressX = 0;
    int pressY = 0;
    int x = 0;
    int y = 0;
    // The note under the pointer when the button went down; -1 for none. A drag that starts
    // on a note selects nothing.
    int pressedTrack = -1;
    int pressedNote = -1;
    // The click may add a chord member; a drag takes that away.
    bool chordEntry = false;
    std::optional<int64_t> lastTrackedMs; // none before the first tracked move
};

// Mouse editing of one sheet window over plain pointer records (sheet units from the window's
// top left, as the window shows the sheet scrolled):
//  - tracking: the blue preview of what a click would add (beside the current note: a chord
//    member), the insertion point between notes or at a row's end, the note under the
//    pointer, the hover guides, the hovered clef and bar line, the status text;
//  - the click: the clef selects its track, a note is selected (and becomes the current
//    note), a click above or below the current note adds a chord member, a click between
//    notes inserts one, a click on a hovered bar line toggles the repeat of the measure it
//    closes;
//  - the drag: a dotted rectangle that selects the notes inside it.
// Changes of notes go through SheetEditor::edit, one undo snapshot each.
//
// Thread rules: user-interface thread. It changes the view state and the notes' selection
// under the sheet lock and calls the host with the lock released.
class PointerEditing {
  public:
    explicit PointerEditing(SheetEditor& editor);
    PointerEditing(const PointerEditing&) = delete;
    PointerEditing& operator=(const PointerEditing&) = delete;

    void pressed(const PointerInput& input);
    // True when the move was tracked at once; a move that came sooner than kPointerTrackMs
    // after the last tracked one waits (pendingMoveDueMs) and only updates the drag.
    bool moved(const PointerInput& input);
    // True when the left press ends as a click, not a drag.
    bool released(const PointerInput& input);
    // The pointer left the window: the preview, the highlight and the guides go.
    void left();

    // When the move that had to wait may be tracked; none when no move waits.
    std::optional<int64_t> pendingMoveDueMs() const;
    // Tracks the move that had to wait, as of `nowMs`; false when there was none.
    bool trackPendingMove(int64_t nowMs);

    // The sheet was laid out again: the preview and the insertion point follow the new layout
    // from where the pointer is.
    void retrack();

    const PointerState& state() const { return m_state; }
    // "Note: %c%s %d" for the last preview; empty before the first.
    const std::string& statusText() const { return m_status; }

  private:
    // What the window shows of the pointer, to tell whether a repaint is due.
    struct Shown {
        bool preview = false;
        int x = 0, y = 0, type = 0, flags = 0;
        int hoveredTrack = -1, hoveredNoteTrack = -1, hoveredNote = -1;
        int guideRow = -1, guideAbove = -1, guideBelow = -1;
        int barTrack = -1, barMeasure = 0;
        bool barPending = false;
        bool drag = false;
        int dragLeft = 0, dragTop = 0, dragRight = 0, dragBottom = 0;
        bool operator==(const Shown&) const = default;
    };
    Shown shown() const;
    // Tells the host what changed since `before`.
    void reportChanges(const Shown& before, const std::string& statusBefore);

    // A y of the window as a y of the laid-out sheet (from the sheet's top).
    int sheetY(int windowY) const;

    // Tracking, under the sheet lock. track takes a point of the window, trackRow and
    // placePreview one of the sheet.
    void track(int px, int windowY);
    void trackRow(const StaffRow& row, int px, int py);
    void clearPointerMarks();
    // The preview's place ends in a preview note for the row; false when it has no pitch.
    bool placePreview(const StaffRow& row, const Track& track, Note& preview, NoteLayout& place, int py);

    // Dragging.
    void drag();

    // The click (pointer_click.cpp). Points of the sheet, but for the input.
    void click(const PointerInput& input);
    bool selectNote(int row, int track, int x, int y, bool shift);
    bool buildChord(int row, int track, int clicked, int y);
    // The note a click at height y on a row of `track` enters: the note tool's kind, placed on the
    // staff, unselected. None when the track is full (the status says so) or y places no note.
    std::optional<Note> clickedNote(int row, int track, int y);
    void insertNote(int row, int track, int at, int y);
    // Voice 2 entry (voice_entry.h): on while the Voice 2 toggle is and the note tool is a duration.
    bool voice2Entry() const;
    void insertVoice2Note(int row, int track, int x, int y);
    void selectTrack(int track);
    void toggleRepeat(int track, int measure);

    // Rows and notes (under the sheet lock). rowUnder takes a point of the window.
    int rowUnder(int x, int windowY);
    int noteInColumn(int row, int x) const;
    // The note (a chord's root for a member) whose head on row r is under the point (sheet
    // units), -1 when none.
    int noteHeadOnRow(int r, int px, int py) const;
    // The visible row with a note head under the point (sheet units), -1 when none.
    int rowWithHeadAt(int px, int py) const;
    std::pair<int, int> rowNotes(int row) const;
    int effectiveRow(int track, int note) const;
    void deselectAll();
    bool editingOff() const;
    void refuse(const std::string& what, int track);

    SheetEditor& m_editor;
    PointerState m_state;
    std::optional<PointerInput> m_pending;
    std::string m_status;
    int m_guideRow = -1;           // the row whose hover guides follow the pointer
    int m_barTrack = -1;           // the track whose bar line is hovered
    int m_chordZoneTrack = -1;     // the track whose current note shows the chord preview
    bool m_selectionMoved = false; // a drag changed the selection
};

} // namespace tonvela
