#pragma once

#include "editor/sheet_view_state.h"

#include <array>
#include <memory>
#include <optional>

namespace tonvela {

struct Note;
class Track;

// Lays the sheet out for `width` sheet units and `zoom`: rows, the measures of every track,
// measure x with justification, every note's x, y and width, stems, beams and ties. Reads the
// sheet and changes nothing in it.
//
// Given the layout made before for the same sheet (`previous`), only what changed is laid out
// again: a track whose notes and settings are as they were keeps its layout whole, and a track
// an edit changed is laid out again from the last row before the edit's first note that the
// edit cannot have moved; so are the tracks whose measures the edit widened or narrowed (the
// syllables of one track widen a measure in every track). A new width, zoom or number of
// tracks lays everything out afresh.
//
// `options` choose how measures take their room (the window's fixed measures per row, or paper's
// natural widths); a layout made with other options is never built on.
struct LayoutOptions {
    // Every measure as wide as its music needs, as many on a row as fit, rows stretched to the
    // row's end but for a last row less than three quarters full (natural_spacing.h). The print
    // job lays its pages out so; the window keeps a fixed number of measures per row.
    bool naturalSpacing = false;
};
std::shared_ptr<const SheetLayout> layOutSheet(const SheetDocument& sheet, int width, float zoom,
                                               const SheetLayout* previous = nullptr,
                                               const LayoutOptions& options = {});

// Lays the view's sheet out for its layout width and zoom (from its layout before, see
// layOutSheet), gives the view the result and keeps its first visible row inside the new
// scroll range. Called after any change of the document, the size or the zoom.
void layoutRows(SheetViewState& view);

// Moves the view to another first visible row, clamped to the scroll range. The layout stays
// as it is: rows lie where they lie on the sheet, and the window shows another part of it.
void setFirstVisibleRow(SheetViewState& view, int row);

// The glyph top for a note placed on a row (a y from the sheet's top). Rests of kinds that
// have no rest height of their own have their stem-down mark in `place` cleared.
int noteY(const StaffRow& row, const Note& note, NoteLayout& place);

// The accidental and dot positions of a note from its laid-out x, y and stem direction, the
// note showing the accidental its own marks ask for (a note at the pointer).
void placeMarks(const Note& note, NoteLayout& place);
// The same for the accidental layout chose for the note (place.accidental).
void placeShownMarks(const Note& note, NoteLayout& place);

// The modifier toggles of the sheet's tools that a click adds to a placed note.
struct PlacementToggles {
    bool rest = false;
    bool tie = false;
    bool dot = false;
    bool sharp = false;
    bool flat = false;
};

// The staff step a click at y (sheet units from the sheet's top) on the row picks, as
// placeClick reads it; none outside the staff bands.
std::optional<int> staffStepAt(const StaffRow& row, int clickY);

// Turns a click at `clickY` on the row of `track` (none: a G clef track) into a staff step
// and gives the note its pitch and flags and `place` its row, stem direction and y. No step
// when the click lies outside the staff bands; the note then keeps its cleared flags and is
// otherwise unchanged.
std::optional<int> placeClick(const StaffRow& row, const Track* track, Note& note, NoteLayout& place,
                              int clickY, const PlacementToggles& toggles);

// True when the point (sheet units from the sheet's top) lies in the row's clef box (the row's
// track becomes the view's hovered track) or in the band from 35 above to 75 below the row's
// top.
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

// Marks the bar line of track `track` under the point (sheet units from the sheet's top) as
// the view's hovered bar, within 10 units left and right of it and 5 above and below the
// system it spans, on rows in the window: the opening bar line of a measure that does not
// start a row, or the bar line at a row's end that closes the row's last measure. Tablature
// draws no bar lines and has none to hover. Returns whether any bar is hovered. clearBarHover
// unmarks the bar of the track.
bool hoverBarLine(SheetViewState& view, int track, int px, int py);
void clearBarHover(SheetViewState& view, int track);
// The measure (from 1) whose closing bar line is hovered in track `track`; 0 for none.
int hoveredClosingMeasure(const SheetViewState& view, int track);

// Moves the view's hover guides after the pointer over a row (sheet units from the sheet's
// top); true when they changed.
bool trackHover(SheetViewState& view, const StaffRow& row, int x, int y);

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
