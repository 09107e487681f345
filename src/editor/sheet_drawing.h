#pragma once

#include "drawing/canvas.h"
#include "editor/engraving_marks.h"
#include "editor/sheet_view_state.h"

#include <optional>
#include <utility>
#include <vector>

namespace tonvela {

struct Note;
class Track;

// Pens and fonts of the sheet drawing for one zoom. Line widths are set in staff spaces and
// font heights follow the zoom, so the whole picture scales alike.
struct DrawTools {
    Pen black{PenStyle::Solid, 1, kBlack};           // bar lines, the system's joining lines
    Pen red{PenStyle::Solid, 1, kRed};               // selected bar line, selected space marker
    Pen blue{PenStyle::Solid, 1, kBlue};             // highlighted bar line, drag-preview bar line
    Pen nearBlack{PenStyle::Solid, 1, {10, 10, 10}}; // tablature lines
    Pen staffLine{PenStyle::Solid, 1, kBlack};
    Pen ledger{PenStyle::Solid, 1, kBlack}; // ledger lines and the pointer's guides
    Font label;                             // track number label
    Font largeBold;                         // tablature letters at zoom above 0.6
    Font mediumBold;                        // tablature digits above 0.6, lyrics at 0.8 and above
    Font smallBold;                         // later measure numbers, small tablature, small lyrics
    Font firstNumber;                       // measure number at a row start

    static DrawTools forZoom(float zoom);
};

// The repeat sign at the end of a measure marked to repeat, sheet units: two dots, a thin bar
// line at thinX and a thick one right of it.
inline constexpr int kRepeatThickGap = 3;   // from the thin line to the thick one
inline constexpr int kRepeatThickWidth = 4; // the thick line
inline constexpr int kRepeatSignWidth = kRepeatThickGap + kRepeatThickWidth;
inline constexpr int kRepeatDotGap = 6;    // from the dots' centres back to the thin line
inline constexpr int kRepeatDotRadius = 2; // at zoom 1
// Least room between the last note and the sign or a track's final bar line: a click just
// right of the last note (where a new note goes) stays clear of the line.
inline constexpr int kRepeatAfterNote = 40;
// The bracket over an ending of a repeated passage: its line this far above the top staff line,
// its hooks this long.
inline constexpr int kVoltaRise = 34;
inline constexpr int kVoltaHook = 12;

struct RepeatSignGeometry {
    int thinX = 0;
    int thickLeft = 0, thickRight = 0;
    int dotX = 0;
    int dotY[2] = {0, 0}; // centres, in the spaces either side of the middle
    int top = 0, bottom = 0;
};
// Where the parts of a repeat sign with its thin line at `thinX` lie on a row whose top line
// is at `top` (sheet units).
RepeatSignGeometry repeatSignGeometry(const StaffRow& row, int thinX, bool tablature);
RepeatSignGeometry repeatSignGeometryAt(int top, int thinX, bool tablature);
// The sign that opens a repeated measure, mirrored: a thick line left of the thin line at
// `thinX`, the dots right of it. Where the measure before ends with its own sign at the same bar
// line (`afterEnd`), the opening sign follows that one's thick line: a thin line and the dots.
RepeatSignGeometry repeatStartGeometryAt(int top, int thinX, bool tablature, bool afterEnd);
// Where the thin line of the sign opening measure `measure` lies (sheet units): the measure's
// bar line inside a row; at a row's start (after a key signature `keySigWidth` wide), as far
// before the first note as a bar line stands.
int repeatStartThinX(int keySigWidth, const MeasureRecord& rec);

// Draws a laid-out sheet onto a canvas as the view shows it: every system from the first
// visible row down to the window's bottom edge, then the glyphs. `printing` leaves out what the
// pointer shows. Drawing reads the sheet, the view's layout result and the view, and writes
// nothing into any of them; the caller clears the canvas first. Call layoutRows before.
void drawSheet(const SheetViewState& view, Canvas& canvas, bool printing);

// The colour set a note is drawn in: selected, highlighted (hovered or sounding) or normal.
GlyphColor colorOf(const Note& n, bool highlighted);

// One drawing pass. The row operations are public so the editor can draw single elements
// (a drag-preview bar line, a hover guide) with the same geometry. Rows and notes are placed
// from the sheet's top; a pass draws them shifted up by the view's scroll position.
class SheetDrawing {
  public:
    SheetDrawing(const SheetViewState& view, Canvas& canvas, bool printing);

    void drawSheet();

    void drawStaffLines(const StaffRow& row);
    // The ledger lines below or above the staff for a head on `step` centred at device x
    // `centreX` (engraving_lines.cpp): one for every line position from the staff out to the
    // head, a little wider than it; none for a head on that side's staff or inside it.
    void drawLedgerBelow(const StaffRow& row, double centreX, double headHalfWidth, int step);
    void drawLedgerAbove(const StaffRow& row, double centreX, double headHalfWidth, int step);
    void drawNoteLedgers(const StaffRow& row, const Note& note, const NoteLayout& place);
    // The ledger lines a note placed at the pointer above or below the staff would get.
    void drawHoverGuides(const StaffRow& row);
    // A bar line across the whole system at x; red when selected, blue when highlighted.
    void drawBarLine(const StaffRow& row, int x, bool selected, bool highlighted);
    void drawSystemEndLine(const StaffRow& row);
    void drawMeasureNumber(const StaffRow& row, int measureIndex, bool rowStart);
    // A tie from head to head, `side` -1 above the heads, 1 below, 0 away from the stems, never
    // across a stem; to the right of `a` only when `b` is on another row.
    void drawTie(const Note& a, const NoteLayout& pa, const Note& b, const NoteLayout& pb, int side = 0);
    // The beams of the group starting at headIndex, solid, and the stems carried on to them.
    void drawBeams(const Track& track, int trackIndex, int headIndex, int noteCount);
    void drawKeySignature(const StaffRow& row, const Track& track);
    void drawNoteDecorations(const StaffRow& row, const Track& track, int index, int noteCount);
    void drawTablatureNote(const StaffRow& row, const Track& track, int index, int noteCount);
    // The repeat sign of a marked measure with its thin line at `thinX` (drawn only when
    // `drawThin`: inside a staff row the bar line is already there).
    void drawRepeatSign(const StaffRow& row, int thinX, bool drawThin, bool tablature);
    // The repeat signs of the marked measures that end on a row whose notes are start..end-1:
    // at the next measure's bar line, at the end of the row, or after the track's last measure.
    void drawRowRepeats(const StaffRow& row, const Track& track, int start, int end, int noteCount);
    // The opening signs of the marked measures and repeated passages that open on the row.
    void drawRowRepeatStarts(const StaffRow& row, const Track& track);
    // The brackets of the repeated passages' endings over the top staff of the system that
    // opens on that row: "1." over a first ending, closed at its end, "2." over a second one.
    void drawVoltaBrackets(int systemFirstRow);

    const DrawTools& tools() const { return m_tools; }

  private:
    int sc(int v) const { return m_view.scaled(v); }
    int sc(double v) const { return m_view.scaled(v); }
    // A row's top and a y of the layout in the window, sheet units.
    int top(const StaffRow& row) const { return row.top - m_scroll; }
    int shown(int y) const { return y - m_scroll; }
    // A laid-out note's glyph box corner in device units.
    int deviceX(const NoteLayout& p) const { return sc(p.x); }
    int deviceY(const NoteLayout& p) const { return sc(p.y - m_scroll); }
    const NoteLayout& place(int track, int i) const { return m_layout.note(track, i); }
    struct HeadPlace {
        double x = 0, y = 0;  // centre, device units
        double halfWidth = 0; // device units
    };
    HeadPlace headOf(const Note& n, const NoteLayout& p) const;
    // Centre x of the note's stem, device units.
    double stemX(const NoteLayout& p) const;
    void pen(const Pen& p);
    void font(const Font& f);
    void textColor(Color c);
    bool onScreen(const StaffRow& row) const;
    // Where the row's staff stops: the row's end, or the track's final bar on its last row;
    // -1 for a row after the track's end, which shows no staff (engraving_marks.cpp).
    int staffRight(const StaffRow& row) const;
    bool endsTrack(const StaffRow& row) const;
    // Top and bottom, sheet units, of a bar line at x through the staves of the row's system
    // that reach x.
    std::pair<int, int> barSpan(const StaffRow& row, int x) const;
    // The pieces of that bar line: one a run of neighbouring staves that reach x, so the place
    // of a track that has ended between them stays open; the row's own staff when none does.
    std::vector<std::pair<int, int>> barRuns(const StaffRow& row, int x) const;
    // Draws the bar line at x (sheet units) through those pieces with the current pen, at
    // deviceX: sc(x), or the row's end where that falls between sheet units at this zoom.
    void strokeBar(const StaffRow& row, int x, int deviceX);
    void drawFinalBar(const StaffRow& row, bool tablature);

    void drawStaffRow(const StaffRow& row, const Track& track, int& p, int n);
    void drawTablatureRow(const StaffRow& row, const Track& track, int& p, int n);
    void drawRowNotes(const StaffRow& row, const Track& track, int& p, int n);
    void skipRow(const StaffRow& row, int& p, int n, bool onScreen) const;
    void drawTies(const Track& track, int trackIndex, int from, int to);
    // The "3" of each triplet group that starts among notes from..to-1, with its bracket when
    // its notes are not beamed together.
    void drawTuplets(const Track& track, int trackIndex, int from, int to);
    void decorate(const StaffRow& row, const Track& track, const Note& note, const NoteLayout& place,
                  bool hovered);
    // Drawn highlighted: under the pointer, or sounding in a playback.
    bool highlighted(int track, int index) const
    {
        return m_view.isHoveredNote(track, index) || m_view.isSounding(track, index);
    }
    // The note's lyric under the row (lyric_spacing.cpp), in a rectangle that holds it whole.
    void drawLyric(const StaffRow& row, const Note& note, const NoteLayout& place);
    void drawGlyphPass(int lastRow);
    // What opens a system (system_furniture.cpp): the number of its first measure above the
    // top staff, the brackets of the endings of repeated passages, the bracket joining its
    // staves and the brace of a piano part.
    void drawSystemFurniture(int systemFirstRow);
    // The measure (from 1) the system opening on that row starts with; 0 when no track has
    // notes there.
    int systemOpeningMeasure(int systemFirstRow) const;
    // A brace from device-independent y1 to y2 (sheet units, scrolled) at the left of a system.
    void drawBrace(double y1, double y2);
    void drawLedgers(const StaffRow& row, double centreX, double headHalfWidth, int step);
    // `withoutFlags`: a flagged note is drawn as the quarter of its stem's side, its flags
    // left to drawStemToMiddleLine.
    void drawNoteGlyphs(const Note& note, const NoteLayout& place, bool hovered, bool withoutFlags = false);
    // A lone unbeamed note far above or below the staff has its stem carried on to the middle
    // line, as engravers set them, its flags hanging from the new end (engraving_lines.cpp).
    // stemReachesMiddle says whether the glyph's own stem already does.
    struct StemGrowth {
        double quarterTip = 0; // where a quarter's stem ends, device units
        double ownTip = 0;     // where the note's own glyph ends it (longer for three flags)
        double middle = 0;     // the middle line
        int flags = 0;
    };
    std::optional<StemGrowth> stemGrowth(const Note& note, const NoteLayout& place) const;
    bool stemReachesMiddle(const Note& note, const NoteLayout& place) const
    {
        return !stemGrowth(note, place);
    }
    void drawStemToMiddleLine(const Note& note, const NoteLayout& place, bool hovered);
    // What the pointer shows (pointer_overlay.cpp), never on paper: the drag rectangle under
    // the notes, the preview and a hovered bar line at a row's end over them.
    void drawDragRectangle();
    void drawPointerMarks();

    const SheetViewState& m_view;
    const SheetLayout& m_layout;
    const SheetDocument& m_sheet;
    Canvas& m_canvas;
    bool m_printing;
    int m_scroll; // sheet units the view is scrolled down by
    DrawTools m_tools;
    int m_trackCount;
    std::vector<TrackEnd> m_ends; // per track
    int m_rowMeasure = 0;         // the measure of the note last drawn on the row being drawn
    Pen m_pen;
    bool m_penSet = false;
    Font m_font;
    bool m_fontSet = false;
    Color m_textColor;
    bool m_textColorSet = false;
    // The lyric lines of the row being drawn (the first one's top, device units) and where the
    // syllables drawn on each end: a syllable that would run into the one before it goes on the
    // first line below that has room.
    static constexpr int kLyricLines = 3;
    int m_lyricTop = -1000000;
    int m_lyricEnd[kLyricLines] = {-1000000, -1000000, -1000000};
};

} // namespace tonvela
