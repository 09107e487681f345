#pragma once

// Where the marks around the notes go: the clef, key and time signature at a row's start, the
// bar line that closes a measure, the final bar line that ends a track and how far its staff
// runs.

#include "editor/sheet_view_state.h"
#include "score/staff_kind.h"

namespace tonvela {

class Track;
struct Note;

// Room, sheet units, that a note keeps from its x to the bar line that closes its measure: its
// head, flag or dot and a small gap.
int roomBeforeBar(const Note& note, const NoteLayout& place);

// Key signature accidentals stand this far apart (the row's key signature width is this much
// per accidental).
inline constexpr int kKeyMarkPitch = 8;
// Width of a time-signature digit.
inline constexpr int kTimeDigitWidth = 11;

// x of the clef glyphs at a row's start (the F clef, wider with its dots, a little further
// left), and how far right of the staff start either reaches, sheet units.
inline constexpr int kClefLeft = kStaffLeft + 4;
inline constexpr int kFClefLeft = kStaffLeft + 2;
inline constexpr int kClefRight = kStaffLeft + 26;

// The glyph of a clef sign and where it is drawn: its x and its y below the row's top. The
// tablature has none (its row shows the letters T, A, B): glyph 0.
struct ClefPlacement {
    int glyph = 0;
    int x = 0;
    int dy = 0;
};
ClefPlacement clefPlacement(ClefSign sign);

// x of the first key signature accidental of a row: clear of the clef.
int keySignatureLeft();
// x of the time signature of a row whose key signature has `keyMarks` accidentals: clear of
// the clef and of the last accidental.
int timeSignatureLeft(int keyMarks);

// Where the music of track `t` ends in its layout `lay` (layout fills in `lay.end` with it).
TrackEnd trackEndOf(const SheetLayout& sheet, const Track& t, const TrackLayout& lay);
// Where the music of track `track` ends in the view's layout.
const TrackEnd& trackEnd(const SheetViewState& view, int track);

// Where the thin line closing measure `rec` lies on sheet row `row` when no later measure of
// the track goes on along that row: at the staff's end (less a final bar's width) when the
// measure fills the row's last place, else where its place on the row ends, but after its last
// note at `lastX`.
int measureEndThinX(const SheetLayout& sheet, int row, const MeasureRecord& rec, int lastX);

// The x of the bar line that closes measure m (from 1) of track j on the row its last note
// lies on: the next measure's opening bar line, the track's final bar or the row's end.
int closingBarX(const SheetViewState& view, int j, int m);

// After the notes of a track have their x (layout): a rest that fills its measure alone moves
// to the measure's middle, and the notes of a measure too crowded to keep their last head
// clear of the closing bar line are drawn closer together, so no note sits on a bar line.
// Measures from `fromMeasure` on; `end` is where the track ends as placed so far.
void fitMeasuresBetweenBars(const SheetLayout& sheet, const Track& t, TrackLayout& lay, const TrackEnd& end,
                            int fromMeasure);

} // namespace tonvela
