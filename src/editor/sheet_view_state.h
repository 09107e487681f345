#pragma once

#include "editor/staff_row.h"
#include "score/sheet_document.h" // kMinZoom, kMaxZoom
#include "score/sounding_notes.h"

#include <string>
#include <vector>

namespace tonvela {

// The editor's view of one sheet: window size, zoom as drawing uses it, scroll position, the
// staff rows (1024 at least, more when the sheet needs them) and what layout found out about
// each track. The document keeps the score;
// this object keeps everything derived from it for one window.
//
// Thread rules: changed on the user-interface thread under the sheet lock; the painter thread
// reads it under the same lock.
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
    // number) is brought into that range.
    float zoom() const;
    // A sheet-unit value in device units: multiplied by the zoom and truncated.
    int scaled(int v) const { return static_cast<int>(static_cast<float>(v) * zoom()); }
    int scaled(double v) const { return static_cast<int>(static_cast<float>(v) * zoom()); }

    // Row r, for 0 <= r < rowCount().
    StaffRow& row(int r) { return m_rows[static_cast<std::size_t>(r)]; }
    const StaffRow& row(int r) const { return m_rows[static_cast<std::size_t>(r)]; }
    // Rows the view holds: at least kRowCount, and at least the rows in use after a layout.
    int rowCount() const { return static_cast<int>(m_rows.size()); }
    // Holds max(rows, kRowCount) rows; rows added are default rows with their index set. The
    // rows' storage is kept when they shrink a little, so a relayout of the same sheet
    // allocates nothing, and given back when they shrink to a quarter.
    void setRowCount(int rows);

    // Notes of track t that the last layout placed (every note up to kMaxLayoutNotes); drawing
    // goes no further.
    int laidOutCount(int t) const;
    void setLaidOutCount(int t, int n);

    // The measure records of track t (index 0 unused, 1..measures in use; at least
    // kMeasureCount of them) and how many the last layout used.
    std::vector<MeasureRecord>& measures(int t);
    const std::vector<MeasureRecord>& measures(int t) const;
    int measuresInUse(int t) const;
    void setMeasuresInUse(int t, int n);

    std::string title = "Sheet 1"; // the window title, also the print document name
    int clientWidth = 500;
    int clientHeight = 500;
    int layoutWidth = 500;  // sheet units
    int layoutHeight = 500; // sheet units: the window bottom
    int firstVisibleRow = 0;
    int scrollRange = 0;
    int rowsInUse = 0;
    bool printing = false;
    int pageEndRow = -1; // while printing: rows from here on belong to the next page; -1 none
    int hoveredTrack = -1;
    // The note under the pointer, drawn highlighted; -1 for none.
    int hoveredNoteTrack = -1;
    int hoveredNoteIndex = -1;
    bool isHoveredNote(int track, int index) const
    {
        return index >= 0 && track == hoveredNoteTrack && index == hoveredNoteIndex;
    }
    // What a playback holds on, drawn highlighted; null where nothing plays (paper, pictures).
    const SoundingNotes* soundingNotes = nullptr;
    bool isSounding(int track, int index) const
    {
        return soundingNotes && soundingNotes->sounding(*m_sheet, track, index);
    }
    bool barClickPending = false; // a click on a hovered bar line is pending (bar drawn red)
    // What the pointer shows, never on paper: the note a click would add (drawn in blue while
    // previewVisible; x and y in sheet units, its zoomed box and marks set) and the rectangle
    // of a drag selection (sheet units, normalised; drawn dotted while dragRectVisible).
    Note previewNote;
    bool previewVisible = false;
    bool dragRectVisible = false;
    int dragLeft = 0, dragTop = 0, dragRight = 0, dragBottom = 0;

  private:
    SheetDocument* m_sheet;
    std::vector<StaffRow> m_rows;
    // What the layout found out about one track.
    struct TrackLayout {
        int laidOut = 0;
        int measuresInUse = 0;
        std::vector<MeasureRecord> measures = std::vector<MeasureRecord>(kMeasureCount + 1);
    };
    TrackLayout& trackLayout(int t);
    const TrackLayout* findTrackLayout(int t) const;

    std::vector<TrackLayout> m_tracks;
};

} // namespace tonvela
