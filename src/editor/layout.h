#pragma once

#include "editor/sheet_view_state.h"

#include <array>
#include <optional>

namespace tonvela {

struct Note;
class Track;

// Lays the whole sheet out for the view's size, zoom and scroll position: row geometry,
// measures of every track, rows, measure x with justification, every note's x, y and width,
// then the beams of the visible rows. Called after any change of the document, the size, the
// zoom or the scroll position.
void layoutRows(SheetViewState& view);

// Moves the view to another first visible row (clamped to the scroll range) and lays out
// again, so row tops and beams follow.
void setFirstVisibleRow(SheetViewState& view, int row);

// Moves the view to another first visible row (clamped as setFirstVisibleRow clamps it)
// without laying the notes out again: the row tops move, and the notes of the rows now in the
// window get their heights, marks and beams as layoutRows would give them; notes of other rows
// keep those of earlier positions. Only for a sheet unchanged since its last layoutRows at the
// same size and zoom, such as the pages of one print run, which holds the sheet lock.
void scrollLaidOutRows(SheetViewState& view, int first);

// The glyph top for a note placed on a row. Clears the note's stem-down flag for rests of
// kinds that have no rest height of their own.
int noteY(const StaffRow& row, Note& note);

// The modifier toggles of the sheet's tools that a click adds to a placed note.
struct PlacementToggles {
    bool rest = false;
    bool tie = false;
    bool dot = false;
    bool sharp = false;
    bool flat = false;
};

// The staff step a click at y (sheet units) on the row picks, as placeClick reads it; none
// outside the staff bands.
std::optional<int> staffStepAt(const StaffRow& row, int clickY);

// Turns a click's y (sheet units, already stored in the note) into a staff step and gives the
// note its pitch, flags and y on the row. No step when the click lies outside the staff
// bands; the note then keeps its cleared flags and is otherwise unchanged.
std::optional<int> placeClick(StaffRow& row, Note& note, const PlacementToggles& toggles);

// True when the point lies in the row's clef box (the row's track becomes the hovered track)
// or in the band from 35 above to 75 below the row's top.
bool hitRow(SheetViewState& view, const StaffRow& row, int x, int y);

// Where the bar line that closes measure m (from 1) of track `track` lies as laid out: the
// opening bar line of the next measure when that one goes on along the same row, else the
// end of the row the measure's last note is on. None for a measure without notes.
struct ClosingBar {
    int row = 0; // the staff row the bar line is drawn with
    int x = 0;
    bool rowEnd = false;
    bool trackEnd = false; // the track's final bar line (thin line at x)
};
std::optional<ClosingBar> closingBarLine(const SheetViewState& view, int track, int m);

// Marks the bar line of track `track` under the point (sheet units) as hovered, within 10
// units left and right of it and 5 above and below the system it spans, on rows in the
// window: the opening bar line of a measure that does not start a row (barHover of that
// measure), or the bar line at a row's end that closes the row's last measure (endHover of
// that measure). Tablature draws no bar lines and has none to hover. Returns whether any bar
// is hovered. clearBarHover unmarks every bar of the track.
bool hoverBarLine(SheetViewState& view, int track, int px, int py);
void clearBarHover(SheetViewState& view, int track);
// The measure (from 1) whose closing bar line is hovered in track `track`; 0 for none.
int hoveredClosingMeasure(const SheetViewState& view, int track);

// Moves the row's hover guides after the pointer; true when they changed.
bool trackHover(StaffRow& row, int x, int y);

// One accidental of a key signature: the staff step it sits on and +1 sharp / -1 flat.
struct KeyMark {
    int step;
    int accidental;
};
struct KeySignatureMarks {
    std::array<KeyMark, 7> marks{};
    int count = 0;
};
// The accidentals a track's key signature draws, in drawing order.
KeySignatureMarks keySignatureMarks(const Track& track);
// Width the key signature takes at a row start: 8 per accidental.
int keySignatureWidth(const Track& track);

} // namespace tonvela
