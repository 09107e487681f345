#pragma once

#include "editor/sheet_layout.h"
#include "score/sheet_document.h" // kMinZoom, kMaxZoom
#include "score/sounding_notes.h"

#include <memory>
#include <set>
#include <string>

namespace tonvela {

// One view of a sheet (a window, a print job, a picture the command-line tool renders): its
// size, its zoom as drawing uses it, its scroll position, the layout result made for it, and
// what the pointer shows over it. The document keeps the score; this object keeps what one
// view derives from it and what only that view shows.
//
// Copying a view is cheap (the layout result is shared, never changed): a window hands the
// painter thread a copy of its view to draw from.
//
// Thread rules: one thread uses an object at a time. A window's own view lives on the
// user-interface thread; the copy the painter draws is handed over under the window's lock.
class SheetViewState {
  public:
    explicit SheetViewState(SheetDocument& sheet);

    SheetDocument& sheet() { return *m_sheet; }
    const SheetDocument& sheet() const { return *m_sheet; }

    // The window's client size in device pixels; sets the layout size for the zoom.
    void setClientSize(int width, int height);
    // Layout size from the client size and the current zoom: the client size divided by the
    // zoom and truncated, or exactly the client size when the zoom is within 0.01 of 1.
    void updateLayoutSize();

    // The sheet's zoom as drawing applies it: a value a file held outside [0.4, 10] (or not a
    // number) is brought into that range. A view with a zoom of its own (fixedZoom) uses that.
    float zoom() const;
    // A print job draws at zoom 1 whatever zoom the sheet's windows show; 0 follows the sheet.
    float fixedZoom = 0.0f;
    // A sheet-unit value in device units: multiplied by the zoom and truncated.
    int scaled(int v) const { return static_cast<int>(static_cast<float>(v) * zoom()); }
    int scaled(double v) const { return static_cast<int>(static_cast<float>(v) * zoom()); }

    // The layout result the view shows: an empty one until the first layout (layout.h).
    const SheetLayout& layout() const { return *m_layout; }
    const std::shared_ptr<const SheetLayout>& sharedLayout() const { return m_layout; }
    void setLayout(std::shared_ptr<const SheetLayout> layout);

    // What the layout result says, for short.
    StaffRow row(int r) const { return m_layout->row(r); }
    int rowCount() const { return m_layout->rowCount(); }
    int rowsInUse() const { return m_layout->rowsInUse; }
    int laidOutCount(int t) const { return m_layout->laidOutCount(t); }
    int measuresInUse(int t) const { return m_layout->measuresInUse(t); }
    const std::vector<MeasureRecord>& measures(int t) const { return m_layout->measures(t); }
    const NoteLayout& noteLayout(int t, int i) const { return m_layout->note(t, i); }

    // How far the window is scrolled down, sheet units: the height of the rows above the first
    // visible one. A sheet y minus this is a y in the window.
    int scrollTop() const { return firstVisibleRow * rowPitch(); }
    // Row r's top line in the window, sheet units.
    int rowTopInWindow(int r) const { return m_layout->rowTop(r) - scrollTop(); }
    // Distance between the tops of two rows in the layout, sheet units.
    int rowPitch() const { return m_layout->rowPitch; }
    // Sets the scroll range for the layout and the layout height, and keeps the first visible
    // row inside it (a view that prints may go down to the last row).
    void clampScroll();

    std::string title = "Sheet 1"; // the window title, also the print document name
    int clientWidth = 500;
    int clientHeight = 500;
    int layoutWidth = 500;  // sheet units
    int layoutHeight = 500; // sheet units: the window bottom
    int firstVisibleRow = 0;
    int scrollRange = 0;
    bool printing = false;
    int pageEndRow = -1; // while printing: rows from here on belong to the next page; -1 none

    // What the pointer shows, never on paper.
    int hoveredTrack = -1;
    // The note under the pointer, drawn highlighted; -1 for none.
    int hoveredNoteTrack = -1;
    int hoveredNoteIndex = -1;
    bool isHoveredNote(int track, int index) const
    {
        return index >= 0 && track == hoveredNoteTrack && index == hoveredNoteIndex;
    }
    // The bar line under the pointer: the opening bar line of `measure` of `track`, or with
    // `rowEnd` the bar line at a row's end that closes `measure`. Track -1 for none.
    struct HoveredBar {
        int track = -1;
        int measure = 0;
        bool rowEnd = false;
        bool operator==(const HoveredBar&) const = default;
    };
    HoveredBar hoveredBar;
    bool barHovered(int track, int measure) const
    {
        return hoveredBar.track == track && hoveredBar.measure == measure && !hoveredBar.rowEnd;
    }
    bool endBarHovered(int track, int measure) const
    {
        return hoveredBar.track == track && hoveredBar.measure == measure && hoveredBar.rowEnd;
    }
    // What a playback holds on, drawn highlighted; null where nothing plays (paper, pictures).
    const SoundingNotes* soundingNotes = nullptr;
    bool isSounding(int track, int index) const
    {
        return soundingNotes && soundingNotes->sounding(*m_sheet, track, index);
    }
    bool barClickPending = false; // a click on a hovered bar line is pending (bar drawn red)
    // Ledger line guides of one row follow the pointer above or below its staff: at aboveX or
    // belowX (-1 none), as far out as the pointer's y (sheet units from the sheet's top).
    struct HoverGuide {
        int row = -1;
        int aboveX = -1;
        int belowX = -1;
        int y = 0;
        bool operator==(const HoverGuide&) const = default;
    };
    HoverGuide guide;
    // The note a click would add (drawn in blue while previewVisible; placed on its row from
    // the sheet's top) and the rectangle of a drag selection (window sheet units, normalised;
    // drawn dotted while dragRectVisible).
    Note previewNote;
    NoteLayout previewLayout;
    bool previewVisible = false;
    bool dragRectVisible = false;
    int dragLeft = 0, dragTop = 0, dragRight = 0, dragBottom = 0;

    // The rows whose marker a click with tool 1737 turned on; they keep it through layouts.
    bool rowMarked(int r) const { return m_markedRows.contains(r); }
    void toggleRowMark(int r);

  private:
    SheetDocument* m_sheet;
    std::shared_ptr<const SheetLayout> m_layout;
    std::set<int> m_markedRows;
};

} // namespace tonvela
