#pragma once

// The layout result of one view of a sheet: where its staff rows, measures, notes, stems, beams
// and ties lie for one layout width and zoom. Layout alone computes it (layout.h) from the sheet
// and those two values; drawing, hit testing and printing only read it, and nothing here is
// ever written back into the sheet.
//
// Coordinates are sheet units (one unit is one screen pixel at zoom 1), measured from the top
// of the sheet: row r's top staff line lies at rowTop(r) whatever part of
// the sheet a window shows. A window scrolled down by some rows subtracts their height when it
// draws (SheetViewState::scrollTop).
//
// Thread rules: a result never changes once layout has made it. A view holds it through a
// shared pointer, so the painter thread can draw one result while the user-interface thread
// makes the next; a relayout after an edit shares the tracks it did not have to lay out again
// with the result before.

#include "score/note.h"
#include "score/time_signature.h"
#include "score/track.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace tonvela {

// Fixed geometry of staff rows, in sheet units.
inline constexpr int kRowCount = 1024;    // rows a view counts at least (rowCount)
inline constexpr int kRowPitch = 110;     // distance between the tops of two rows
inline constexpr int kStaffLeft = 35;     // x of every staff's start
inline constexpr int kStaffSpacing = 9;   // distance between staff lines
inline constexpr int kRowTopOffset = 60;  // top of the first row
inline constexpr int kMeasureSpan = 225;  // width a measure asks for when measures per row are chosen
inline constexpr int kMeasureCount = 384; // measure records a track keeps at least
// A row whose top lies further below the window's top than this is never drawn (no window is
// that tall; device coordinates stay far inside int range).
inline constexpr int kMaxDrawnRowTop = 32000;
// How far above its row's top a note's glyph may reach and still be drawn with the rows above.
inline constexpr int kMaxNoteRise = 400;
// Notes of a track that take part in layout: as many as a file gives a track.
inline constexpr int kMaxLayoutNotes = Track::kMaxNotes;

// How far a head on the far side of its chord's stem lies from the others: one head's width.
inline constexpr int kSecondHeadShift = 10;

// Where layout put one note.
struct NoteLayout {
    int32_t measureIndex = 0; // measure within the track, from 0 (measure number - 1)
    int32_t rowIndex = -1;    // staff row in the sheet; -1 when not laid out
    int32_t x = 0;            // glyph box top-left, sheet units
    int32_t y = 0;            // from the top of the sheet
    int32_t width = 0;        // horizontal advance: the kind's width, stretched by justification
    int32_t prevRootX = 0;    // x of the preceding chord root (own x - 30 at a row start)
    int32_t accidentalX = 0, accidentalY = 0;
    int32_t dotX = 0, dotY = 0;
    // The beam of a group starts at its first note: x1, y1, x2, y2 of the beam's outer edge.
    int32_t beamLine[4] = {};
    uint8_t stemDown = 0;
    uint8_t beamed = 0;    // the note is part of a beam group (drawn with a plain stem)
    uint8_t beamCount = 0; // on a group's first note: the chord roots after it under its beam (1..3)
    // A head set on the far side of its chord's stem (a second apart from its neighbour): -1
    // left of a down stem, 1 right of an up stem, by kSecondHeadShift units; drawn without
    // a stem of its own.
    int8_t headShift = 0;
    // On a chord root: the head at the stem's far end, whose glyph carries the chord's one stem
    // tip and its flags (the root itself for a lone note); -1 before layout placed it.
    int32_t stemNote = -1;
    // The accidental the note shows (accidental_rules.h): 1 sharp, -1 flat, 2 natural, 0 none.
    int8_t accidental = 0;
    // Drawn with a cross head: a drum the drum staff writes so (a hi-hat, a cymbal).
    uint8_t crossHead = 0;
    bool operator==(const NoteLayout&) const = default;
};

// One staff row as drawing and the pointer see it. Row r shows track (r mod tracks) in system
// (r div tracks). Made on request from the layout (SheetLayout::row), so it is a plain value.
struct StaffRow {
    int index = 0;
    int track = -1; // the track the row shows
    int left = kStaffLeft;
    int top = 0; // y of the top staff line, from the top of the sheet
    int spacing = kStaffSpacing;
    int length = 0; // staff line length: layout width - 70
    int leftScaled = 0, spacingScaled = 0, lengthScaled = 0;
    int firstNote = 0; // first chord root of the track shown on this row
    int endNote = 0;   // one past the last note laid out on this row
    int noteCount = 0; // chord roots placed on this row (staff breaks excluded)
    int lastX = 0;     // x of the last chord root drawn on the row; key signature + 50 if none
    int timeSig = kTimeSig44;
    int measuresPerRow = 3;
    int keySigWidth = 0; // 8 x accidentals of the key signature
    bool percussive = false;
    // The clef box: a click here selects the row's track.
    int clefLeft = 0, clefRight = 0, clefTop = 0, clefBottom = 0;
};

// Where one measure of a track lies (numbered from 1, as the score's measure division numbers
// them).
struct MeasureRecord {
    int32_t firstNote = -1; // the measure's first note
    int32_t rowIndex = -1;  // the staff row it opens on
    int32_t x = 0;          // x of the opening bar line, sheet units; 0 at a row start
    int32_t width = 0;      // room the measure takes on its row: the measure width, more for lyrics
    int32_t rootCount = 0;  // chord roots laid out in the measure
    uint8_t startsRow = 0;
    uint8_t lastOnRow = 0;
    bool operator==(const MeasureRecord&) const = default;
};

// The notes one staff row of a track shows.
struct RowSpan {
    int firstNote = 0; // first chord root on the row (staff breaks passed over)
    int endNote = 0;   // one past the last note of the row
    int noteCount = 0; // chord roots on the row, staff breaks excluded
    int lastX = 0;
    int openingMeasure = 0; // the measure whose first note opens the row; 0 when a staff break
                            // inside a measure opened it
    bool operator==(const RowSpan&) const = default;
};

// A tie drawn from note `from` to note `to` (the next chord root's note of the same place in
// its chord). `side`: -1 above the heads, 1 below, 0 away from the stems. A tie whose notes lie
// on different rows runs on to the right of `from` only.
struct TieLayout {
    int32_t root = 0; // the chord root of `from`: ties are kept in the order of their roots
    int32_t from = 0;
    int32_t to = 0;
    int8_t side = 0;
    bool operator==(const TieLayout&) const = default;
};

// Where a track's music ends: the thin line of its final bar and the right edge of the thick
// one, where its staff stops. Rows after `row` show no staff.
struct TrackEnd {
    int row = -1;      // the staff row of the track's last note; -1 for a track without notes,
                       // whose staff runs the whole row
    int lastNote = -1; // index of the last note drawn: trailing bar line notes are not
    int measure = 0;   // the measure (from 1) that note is in
    int thinX = 0;     // the final bar's thin line
    int endX = 0;      // the right edge of its thick line
    bool operator==(const TrackEnd&) const = default;
};

// What layout read of one note: when none of this changed, neither did the note's layout.
struct NoteInput {
    int32_t type = 0;
    int32_t dwFlag = 0;
    int32_t octave = 0;
    int16_t line = 0;
    int16_t midi = 0; // a drum staff places its notes by their keys
    int16_t chordparent = -1;
    int16_t childCount = 0;
    char letter = 0;
    NoteTexts texts; // the lyric, shared with the note
    bool operator==(const NoteInput&) const = default;
};

// The layout of one track.
struct TrackLayout {
    int laidOut = 0;       // notes placed (every note up to kMaxLayoutNotes)
    int measuresInUse = 0; // measures the notes fill
    int keySigWidth = 0;
    int timeSig = kTimeSig44;
    bool percussive = false;
    // Index 0 unused, then measures 1..; at least kMeasureCount of them.
    std::vector<MeasureRecord> measures;
    std::vector<NoteLayout> notes; // one per note of the track
    std::vector<RowSpan> rows;     // the k-th is the sheet's row (track + k x tracks)
    std::vector<TieLayout> ties;
    TrackEnd end;

    // What the layout was made from (layout.cpp compares it with the track to find where an
    // edit starts): the track's settings, each note's input, the division into measures, the
    // room each root's syllables need and the extra width of each measure for them.
    int drawmode = 0;
    int keyindex = 0;
    int flatKey = 0;
    char key = 0;
    int scaleKind = 0;
    std::vector<NoteInput> inputs;
    std::vector<int> lyricNeeds;
    std::vector<int> lyricSpans;
};

class SheetLayout {
  public:
    // What the layout was made for.
    int layoutWidth = 0;
    float zoom = 1.0f;
    int trackCount = 0;
    // Measures per row and their width, from the layout width. A layout with natural spacing
    // has measures of their own widths: one "measure" as wide as the row to its staff's end.
    int measuresPerRow = 3;
    int measureWidth = 200;
    bool naturalSpacing = false;
    // Distance between the tops of two rows: kRowPitch, more when the sheet shows chord
    // diagrams above its staves (chord_symbol_marks.h).
    int rowPitch = kRowPitch;
    // Whole systems: every track has a row in each system that any track reaches.
    int rowsInUse = 0;
    std::vector<std::shared_ptr<const TrackLayout>> tracks;
    // Extra width of each measure (by number) for the syllables of any track, so the bar lines
    // of a system stay together.
    std::vector<int> lyricSpans;

    // Row r's top staff line, from the top of the sheet; the first row too stands lower by the
    // room rows take more than kRowPitch, so what stands above it is never cut off.
    int rowTop(int r) const { return r * rowPitch + kRowTopOffset + (rowPitch - kRowPitch); }
    // Rows a view counts: at least kRowCount, and every row in use.
    int rowCount() const { return rowsInUse > kRowCount ? rowsInUse : kRowCount; }
    // Row r for any r >= 0; a row past a track's last row holds no notes.
    StaffRow row(int r) const;
    // The layout of track t; null for a track the layout does not know.
    const TrackLayout* track(int t) const;
    // Where note i of track t lies; a note outside the layout is not laid out (rowIndex -1).
    const NoteLayout& note(int t, int i) const;
    int laidOutCount(int t) const;
    int measuresInUse(int t) const;
    // The measure records of track t (index 0 unused; at least kMeasureCount + 1 of them).
    const std::vector<MeasureRecord>& measures(int t) const;
    const TrackEnd& trackEnd(int t) const;
    // A sheet-unit value in device units: multiplied by the zoom and truncated.
    int scaled(int v) const { return static_cast<int>(static_cast<float>(v) * zoom); }
};

} // namespace tonvela
