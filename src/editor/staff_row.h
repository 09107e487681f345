#pragma once

#include "score/track.h"

#include <cstdint>

namespace tonvela {

class SheetDocument;

// Fixed geometry of staff rows, in sheet units (one unit is one screen pixel at zoom 1).
inline constexpr int kRowCount = 1024;    // rows a view keeps ready; a longer sheet grows them
inline constexpr int kRowPitch = 110;     // distance between the tops of two rows
inline constexpr int kStaffLeft = 35;     // x of every staff's start
inline constexpr int kStaffSpacing = 9;   // distance between staff lines
inline constexpr int kRowTopOffset = 60;  // top of the first visible row
inline constexpr int kMeasureSpan = 225;  // width a measure asks for when measures per row are chosen
inline constexpr int kMeasureCount = 384; // measure records a view keeps ready per track; more grow
// Notes keep their place in 16 bits: a row whose top lies further below the first visible row
// than this is never drawn (no window is that tall).
inline constexpr int kMaxDrawnRowTop = 32000;
// How far above its row's top a note's glyph may reach and still be drawn with the rows above.
inline constexpr int kMaxNoteRise = 400;
// Notes of a track that take part in layout: as many as a file gives a track. Every one of them
// gets a row and an x; rows and measure records grow with them, so a view holds at most one row
// and one measure record per laid-out note and track.
inline constexpr int kMaxLayoutNotes = Track::kMaxNotes;

// One laid-out staff row of a sheet. Row r shows track (r mod tracks) in system
// (r div tracks). Everything here is derived: layoutRows fills it, drawing reads it and
// writes the few fields marked so.
struct StaffRow {
    int index = 0;
    SheetDocument* sheet = nullptr;
    Track* track = nullptr; // set before the row is drawn
    int left = kStaffLeft;
    int top = 0; // y of the top staff line
    int spacing = kStaffSpacing;
    int length = 0; // staff line length: layout width - 70
    int leftScaled = 0, topScaled = 0, spacingScaled = 0, lengthScaled = 0;
    int firstNote = 0;      // first note of the track shown on this row
    int endNote = 0;        // one past the last note laid out on this row
    int noteCount = 0;      // chord roots placed on this row (staff breaks excluded)
    int lastX = 0;          // x of the last chord root placed; drawing updates it
    int measureOfFirst = 0; // drawing: measure of the note last drawn
    int timeSig = kTimeSig44;
    int measuresPerRow = 3;
    int keySigWidth = 0;  // 8 x accidentals of the key signature
    int hoverBelowX = -1; // guide ledger lines below the staff follow this x; -1 none
    int hoverAboveX = -1;
    int hoverY = 0; // the pointer's y while a guide shows: how far out the guides reach
    // The clef box: a click here selects the row's track. Set with the row's top.
    int clefLeft = 0, clefRight = 0, clefTop = 0, clefBottom = 0;
    // The marker toggle that a click with tool 1737 flips; it survives layouts.
    uint8_t marked = 0;
};

// Where one measure of a track lies in a view, as the layout pass leaves it (numbered from 1,
// as the score's measure division numbers them). Drawing writes the bar line's extent, the
// pointer the hover mark.
struct MeasureRecord {
    int32_t firstNote = -1; // the measure's first note
    int32_t rowIndex = -1;  // the staff row it lies on
    int32_t x = 0;          // x of the opening bar line, sheet units; 0 at a row start
    int32_t width = 0;      // room the measure takes on its row: the measure width, more for lyrics
    int32_t rootCount = 0;  // chord roots laid out in the measure
    int32_t barTop = 0;     // drawing: vertical extent of the opening bar line
    int32_t barBottom = 0;
    uint8_t startsRow = 0;
    uint8_t lastOnRow = 0;
    uint8_t barHover = 0; // the pointer is on the opening bar line
    uint8_t endHover = 0; // the pointer is on the bar line at the row's end that closes the measure
};

} // namespace tonvela
