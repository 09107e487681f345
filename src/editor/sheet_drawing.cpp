#include "editor/sheet_drawing.h"

#include "editor/accidental_rules.h"
#include "editor/chord_symbol_marks.h"
#include "editor/engraving_lines.h"
#include "editor/engraving_marks.h"
#include "editor/glyphs.h"
#include "editor/layout.h"
#include "harmony/guitar_library.h"
#include "score/note.h"
#include "score/note_pitch.h"
#include "score/sheet_document.h"
#include "score/staff_kind.h"
#include "score/track.h"

#include <algorithm>
#include <string>

namespace tonvela {
namespace {

// Where the small 8 under the G clef sits: centred under the clef's tail, from the staff
// start and the row's top line.
constexpr int kClefOctaveX = 11;
constexpr int kClefOctaveY = 53;

bool validRoot(const Track& t, int i, int n)
{
    return t.rootOf(i, n) == -1;
}

} // namespace

GlyphColor colorOf(const Note& n, bool highlighted)
{
    if (n.selected)
        return GlyphColor::Selected;
    if (highlighted)
        return GlyphColor::Highlighted;
    return GlyphColor::Normal;
}

DrawTools DrawTools::forZoom(float z)
{
    DrawTools t;
    auto h = [z](int height) { return static_cast<int>(static_cast<float>(height) * z); };
    t.label = {h(20), false};
    t.largeBold = {h(20), true};
    t.mediumBold = {h(16), true};
    t.smallBold = {h(12), true};
    t.firstNumber = {h(14), true};
    const double bar = lineWidth(kBarLineWeight, z);
    t.black.width = t.red.width = t.blue.width = bar;
    t.staffLine.width = t.nearBlack.width = lineWidth(kStaffLineWeight, z);
    t.ledger.width = lineWidth(kLedgerLineWeight, z);
    return t;
}

void drawSheet(const SheetViewState& view, Canvas& canvas, bool printing)
{
    SheetDrawing(view, canvas, printing).drawSheet();
}

SheetDrawing::SheetDrawing(const SheetViewState& view, Canvas& canvas, bool printing)
    : m_view(view), m_layout(view.layout()), m_sheet(view.sheet()), m_canvas(canvas), m_printing(printing),
      m_scroll(view.scrollTop()), m_tools(DrawTools::forZoom(view.zoom())),
      m_trackCount(std::min(view.sheet().trackCount(), view.layout().trackCount))
{
    for (int j = 0; j < m_trackCount; ++j)
        m_ends.push_back(m_layout.trackEnd(j));
}

void SheetDrawing::pen(const Pen& p)
{
    if (!m_penSet || !(m_pen == p)) {
        m_canvas.setPen(p);
        m_pen = p;
        m_penSet = true;
    }
}

void SheetDrawing::font(const Font& f)
{
    if (!m_fontSet || !(m_font == f)) {
        m_canvas.setFont(f);
        m_font = f;
        m_fontSet = true;
    }
}

void SheetDrawing::textColor(Color c)
{
    if (!m_textColorSet || !(m_textColor == c)) {
        m_canvas.setTextColor(c);
        m_textColor = c;
        m_textColorSet = true;
    }
}

bool SheetDrawing::onScreen(const StaffRow& row) const
{
    // On paper a row that does not fit whole is left to the next page.
    if (m_printing)
        return top(row) + 50 < m_view.layoutHeight &&
               (m_view.pageEndRow < 0 || row.index < m_view.pageEndRow);
    return top(row) <= m_view.layoutHeight && top(row) <= kMaxDrawnRowTop;
}

void SheetDrawing::drawSheet()
{
    if (m_trackCount <= 0)
        return;
    const SheetDocument& sheet = m_sheet;
    const int tracks = m_trackCount;
    std::vector<int> progress(static_cast<std::size_t>(tracks), 0);
    std::vector<int> counts(static_cast<std::size_t>(tracks), 0);
    for (int j = 0; j < tracks; ++j)
        counts[static_cast<std::size_t>(j)] = std::min(m_layout.laidOutCount(j), sheet.trackAt(j)->count);
    textColor(kBlack);
    drawDragRectangle();

    // Every row that holds notes is walked (rows off the window only count their notes past),
    // so the notes of a row far down are found wherever the window shows it.
    const int rows = m_layout.rowCount();
    int r = 0;
    bool first = true;
    while (r < rows) {
        bool done = !first;
        for (int j = 0; j < tracks && done; ++j)
            done = progress[static_cast<std::size_t>(j)] >= counts[static_cast<std::size_t>(j)];
        if (done)
            break;
        first = false;
        const int systemFirst = r;
        // A print job draws one page's systems: the rows after them are the next page's.
        if (m_printing && m_view.pageEndRow >= 0 && systemFirst >= m_view.pageEndRow)
            break;
        if (systemFirst >= m_view.firstVisibleRow && onScreen(m_layout.row(systemFirst)))
            drawSystemFurniture(systemFirst);
        for (int j = 0; j < tracks && r < rows; ++j) {
            const StaffRow row = m_layout.row(r);
            const Track& t = *sheet.trackAt(j);
            int& p = progress[static_cast<std::size_t>(j)];
            if (staffOf(t).isTablature())
                drawTablatureRow(row, t, p, counts[static_cast<std::size_t>(j)]);
            else
                drawStaffRow(row, t, p, counts[static_cast<std::size_t>(j)]);
            ++r;
        }
        const StaffRow opening = m_layout.row(systemFirst);
        if (r >= m_view.firstVisibleRow && systemFirst >= m_view.firstVisibleRow && onScreen(opening)) {
            // The line joining the system's staves, through those that are shown.
            const auto [y1, y2] = barSpan(opening, kStaffLeft);
            if (staffRight(opening) >= 0 || y1 != opening.top) {
                pen(m_tools.black);
                strokeBar(opening, kStaffLeft, sc(kStaffLeft));
            }
        }
    }
    drawGlyphPass(std::min(r, rows) - 1);
    drawPointerMarks();
}

void SheetDrawing::skipRow(const StaffRow& row, int& p, int n, bool onScreen) const
{
    // Rows that are not drawn only count their notes past.
    p = std::max(p, std::min(row.endNote, n));
    if (!onScreen && row.noteCount == 0)
        p = n;
}

void SheetDrawing::drawStaffRow(const StaffRow& row, const Track& t, int& p, int n)
{
    const int top = this->top(row);
    const int d = row.spacing;
    const int track = row.index % m_trackCount;
    const bool visible = row.index >= m_view.firstVisibleRow;
    const bool onScreen = this->onScreen(row);
    if (staffRight(row) < 0) {
        // After the track's end: no staff, nothing to draw.
        skipRow(row, p, n, onScreen);
        return;
    }
    if (onScreen && p < n) {
        const int first = std::clamp(row.firstNote, 0, n - 1);
        m_rowMeasure = place(track, first).measureIndex;
    }
    if (visible && onScreen) {
        font(m_tools.label);
        textColor(kBlack);
        m_canvas.drawText(sc(kStaffLeft - 15), sc(3 * d + top), std::to_string(row.index % m_trackCount + 1));
        drawStaffLines(row);
        pen(m_tools.black);
        if (!endsTrack(row)) {
            const int xEnd = sc(m_view.layoutWidth - 70 + kStaffLeft - 1);
            m_canvas.drawLine(xEnd, sc(top), xEnd, sc(top + 4 * d));
        }
        if (!m_printing && staffOf(t).ledgerLines)
            drawHoverGuides(row);
    }

    const int start = p;
    if (!visible || !onScreen)
        skipRow(row, p, n, onScreen);
    else
        drawRowNotes(row, t, p, n);

    if (visible && onScreen) {
        drawTies(t, track, start, p);
        drawTuplets(t, track, start, p);
        // After an empty row the walk passes over the rest of the track: only beams of rows in
        // the window are drawn.
        for (int i = start; i < p; ++i) {
            const NoteLayout& head = place(track, i);
            if (head.beamCount > 0 && head.rowIndex >= m_view.firstVisibleRow &&
                m_layout.rowTop(head.rowIndex) - m_scroll <= m_view.layoutHeight)
                drawBeams(t, track, i, n);
        }
        drawSystemEndLine(row);
        if (endsTrack(row))
            drawFinalBar(row, false);
        drawRowRepeats(row, t, start, p, n);
        drawRowRepeatStarts(row, t);
    }
}

void SheetDrawing::drawRowNotes(const StaffRow& row, const Track& t, int& p, int n)
{
    const int track = row.index % m_trackCount;
    auto rowOf = [&](int i) { return place(track, i).rowIndex; };
    if (p < n && rowOf(p) != row.index) {
        if (t.noteAt(p).type == kTypeStaffBreak)
            ++p;
        if (p < n && rowOf(p) != row.index) {
            const int rowOfP = rowOf(p);
            if (rowOfP >= 0 && rowOfP < row.index) {
                while (p < n && rowOf(p) >= 0 && rowOf(p) < row.index)
                    ++p;
            } else {
                p = n;
            }
        }
    }
    const TrackEnd& end = m_ends[static_cast<std::size_t>(track)];
    const std::vector<MeasureRecord>& records = m_layout.measures(track);
    while (p < n && rowOf(p) == row.index) {
        const Note& note = t.noteAt(p);
        const NoteLayout& at = place(track, p);
        // Members are drawn with their root; bar line notes after the track's last note give
        // way to its final bar line.
        if (!validRoot(t, p, n) || note.type == kTypeStaffBreak || (end.row >= 0 && p > end.lastNote)) {
            ++p;
            continue;
        }
        // A bar line note that opens its measure is that measure's bar line: one line, in the
        // note's colours.
        const int m = at.measureIndex + 1;
        const bool opensWithBar = note.type == kTypeBar && m >= 1 && m < static_cast<int>(records.size()) &&
                                  p == records[static_cast<std::size_t>(m)].firstNote;
        const bool barHovered = highlighted(track, p);
        bool merged = opensWithBar && !note.selected && !barHovered;
        if (at.measureIndex != m_rowMeasure) {
            if (m >= 1 && m < static_cast<int>(records.size())) {
                const MeasureRecord& rec = records[static_cast<std::size_t>(m)];
                if (rec.x > 0) {
                    const bool hoverBar = m_view.barHovered(track, m);
                    const bool selected =
                        (hoverBar && m_view.barClickPending) || (opensWithBar && note.selected);
                    drawBarLine(row, rec.x, selected,
                                (hoverBar || (opensWithBar && barHovered)) && !m_printing);
                    merged = merged || opensWithBar;
                }
            }
            m_rowMeasure = at.measureIndex;
        }
        if (!merged)
            drawNoteDecorations(row, t, p, n);
        ++p;
    }
}

void SheetDrawing::drawTablatureRow(const StaffRow& row, const Track& t, int& p, int n)
{
    const int top = this->top(row);
    const int d = row.spacing;
    const bool visible = row.index >= m_view.firstVisibleRow;
    const bool onScreen = this->onScreen(row);
    if (!visible || !onScreen || staffRight(row) < 0) {
        skipRow(row, p, n, onScreen);
        return;
    }
    const int track = row.index % m_trackCount;
    const bool small = m_view.zoom() <= 0.6f;
    const Font& letters = small ? m_tools.smallBold : m_tools.largeBold;
    font(letters);
    if (track == m_sheet.selectedTrack)
        textColor(kRed);
    else if (track == m_view.hoveredTrack)
        textColor(kBlue);
    else
        textColor(kBlack);
    static constexpr const char* kLetters[3] = {"T", "A", "B"};
    for (int k = 0; k < 3; ++k)
        m_canvas.drawText(sc(kStaffLeft) + sc(10), sc(top + 2 * k * d) - letters.height / 2, kLetters[k]);
    pen(m_tools.nearBlack);
    const int right = endsTrack(row) ? sc(staffRight(row)) : row.leftScaled + row.lengthScaled;
    for (int k = 0; k < 6; ++k)
        m_canvas.drawLine(row.leftScaled, sc(top + k * d), right, sc(top + k * d));
    if (endsTrack(row))
        drawFinalBar(row, true);
    auto rowOf = [&](int i) { return place(track, i).rowIndex; };
    while (p < n && rowOf(p) >= 0 && rowOf(p) < row.index)
        ++p;
    const int start = p;
    while (p < n && rowOf(p) == row.index) {
        drawTablatureNote(row, t, p, n);
        ++p;
    }
    drawRowRepeats(row, t, start, p, n);
    drawRowRepeatStarts(row, t);
}

void SheetDrawing::drawBarLine(const StaffRow& row, int x, bool selected, bool highlighted)
{
    if (selected)
        pen(m_tools.red);
    else if (highlighted)
        pen(m_tools.blue);
    else
        pen(m_tools.black);
    strokeBar(row, x, sc(x));
}

void SheetDrawing::drawSystemEndLine(const StaffRow& row)
{
    // Only the staves that run on to the row's end meet there.
    if (staffRight(row) < kStaffLeft + row.length)
        return;
    pen(m_tools.black);
    strokeBar(row, kStaffLeft + row.length, sc(kStaffLeft) + row.lengthScaled);
}

void SheetDrawing::drawMeasureNumber(const StaffRow& row, int measureIndex, bool rowStart)
{
    const int m = measureIndex + 1;
    int x = 0;
    const std::vector<MeasureRecord>& records = m_layout.measures(row.index % m_trackCount);
    if (m >= 1 && m < static_cast<int>(records.size())) {
        const MeasureRecord& rec = records[static_cast<std::size_t>(m)];
        // A measure carried over a staff break keeps the x of the row it started on.
        if (!rowStart || rec.rowIndex == row.index)
            x = rec.x;
    }
    textColor(kBlack);
    int left;
    if (rowStart) {
        font(m_tools.firstNumber);
        left = x > 0 ? x - 11 : 23;
    } else {
        font(m_tools.smallBold);
        left = x > 0 ? x + 3 : 37;
    }
    // After a pickup the count starts at the first full measure: the pickup is measure 0 and
    // shows no number.
    const Track* t = m_sheet.trackAt(row.index % m_trackCount);
    const int shownNumber = t && validPickup(t->pickupTicks, t->timeSig) > 0 ? m - 1 : m;
    if (shownNumber < 1)
        return;
    m_canvas.drawText(sc(left), sc(top(row) - 18), std::to_string(shownNumber));
}

void SheetDrawing::drawTies(const Track& t, int track, int from, int to)
{
    const TrackLayout* lay = m_layout.track(track);
    if (!lay)
        return;
    const auto first = std::lower_bound(lay->ties.begin(), lay->ties.end(), from,
                                        [](const TieLayout& tie, int root) { return tie.root < root; });
    for (auto it = first; it != lay->ties.end() && it->root < to; ++it)
        drawTie(t.noteAt(it->from), place(track, it->from), t.noteAt(it->to), place(track, it->to), it->side);
}

void SheetDrawing::drawKeySignature(const StaffRow& row, const Track& track)
{
    const KeySignatureMarks marks = keySignatureMarks(track);
    const double d = row.spacing;
    for (int k = 0; k < marks.count; ++k) {
        const KeyMark& mark = marks.marks[static_cast<std::size_t>(k)];
        const int x = keySignatureLeft() + kKeyMarkPitch * k;
        double y = top(row) + (mark.step * d) / 2.0 + d / 2.0 - 1.0;
        if (mark.accidental < 0)
            y -= d / 2.0 + 3.0;
        m_canvas.drawGlyph(mark.accidental > 0 ? kGlyphSharp : kGlyphFlat, sc(x), sc(static_cast<int>(y)),
                           m_view.zoom(), GlyphColor::Normal);
    }
}

void SheetDrawing::drawNoteDecorations(const StaffRow& row, const Track& t, int index, int n)
{
    if (top(row) > m_view.layoutHeight)
        return;
    const Note& note = t.noteAt(index);
    if (note.type == kTypeStaffBreak)
        return;
    const int track = row.index % m_trackCount;
    const int members = std::min<int>(note.childCount, kMaxChordMembers);
    for (int k = 0; k < members; ++k) {
        const int c = note.children[k];
        if (c >= 0 && c < n && c != index)
            decorate(row, t, t.noteAt(c), place(track, c), highlighted(track, c));
    }
    decorate(row, t, note, place(track, index), highlighted(track, index));
}

void SheetDrawing::decorate(const StaffRow& row, const Track& t, const Note& note, const NoteLayout& at,
                            bool hovered)
{
    if (note.type == kTypeStaffBreak)
        return;
    if (note.type == kTypeMark1740 && note.selected)
        return;
    if (note.type == kTypeBar) {
        drawBarLine(row, at.x, note.selected != 0, hovered);
    } else if (note.type == kTypeSpace && note.selected) {
        pen(m_tools.red);
        m_canvas.drawLine(sc(at.x), sc(shown(at.y) - 10), sc(at.x + 10), sc(shown(at.y) - 10));
    } else if (!note.isRest() && !staffOf(t).isTablature()) {
        // Every staff of notes, the drum staff too (its crash stands on a ledger line).
        drawNoteLedgers(row, note, at);
    }
    drawLyric(row, note, at);
    if (note.chordSymbol() && note.chordparent == -1) {
        font(chordSymbolFont(m_view.zoom()));
        textColor(note.selected ? kRed : kBlack);
        const int textTop = top(row) - chordSymbolRise(m_sheet);
        m_canvas.drawText(sc(at.x), sc(textTop), *note.chordSymbol());
        // The guitar diagram above the name, when the sheet shows them and the library has one.
        const auto symbol = m_sheet.chordDiagrams ? parseChordSymbol(*note.chordSymbol()) : std::nullopt;
        if (const GuitarChordEntry* shape = symbol ? guitarShapeForChordSymbol(*symbol) : nullptr) {
            drawSymbolDiagram(m_canvas, shape->fingering, shape->startFret, sc(at.x + 2), sc(textTop - 3),
                              m_view.zoom());
            // The diagram set its own pen, brush and fonts.
            m_penSet = m_fontSet = m_textColorSet = false;
        }
    }
}

void SheetDrawing::drawTablatureNote(const StaffRow& row, const Track& t, int index, int n)
{
    const Note& root = t.noteAt(index);
    if (!validRoot(t, index, n) || root.type == kTypeStaffBreak)
        return;
    const bool small = m_view.zoom() <= 0.6f;
    const int track = row.index % m_trackCount;
    auto one = [&](const Note& note, int i) {
        if (note.isRest() || note.type == kTypeStaffBreak)
            return;
        // Frets count from the capo on the track's own strings.
        const GuitarPosition pos = guitarPositionOfNote(note, t.tuning);
        std::string text = " ";
        // The tablature's range is the first five frets from the capo on the track's strings
        // (the low D of Drop D included); a note they cannot hold shows no number.
        if (pos.fret >= 0 && pos.fret <= 4 &&
            openStringKey(pos.stringIndex, t.tuning) + pos.fret == note.effectiveKey())
            text = std::to_string(pos.fret);
        font(small ? m_tools.smallBold : m_tools.mediumBold);
        textColor(highlighted(track, i) ? kBlue : kBlack);
        int y = sc(row.spacing * pos.stringIndex + top(row) - 9);
        if (small)
            y -= 2;
        m_canvas.drawText(sc(place(track, i).x), y, text);
    };
    const int members = std::min<int>(root.childCount, kMaxChordMembers);
    for (int k = 0; k < members; ++k) {
        const int c = root.children[k];
        if (c >= 0 && c < n && c != index)
            one(t.noteAt(c), c);
    }
    one(root, index);
}

void SheetDrawing::drawNoteGlyphs(const Note& note, const NoteLayout& at, bool hovered, bool withoutFlags)
{
    const GlyphColor color = colorOf(note, hovered);
    const float z = m_view.zoom();
    if (at.accidental == kShowNatural)
        m_canvas.drawGlyph(kGlyphNatural, sc(at.accidentalX), sc(shown(at.accidentalY)), z, color);
    if (at.accidental == kShowSharp)
        m_canvas.drawGlyph(kGlyphSharp, sc(at.accidentalX), sc(shown(at.accidentalY)), z, color);
    if (at.accidental == kShowFlat)
        m_canvas.drawGlyph(kGlyphFlat, sc(at.accidentalX), sc(shown(at.accidentalY)), z, color);
    if (note.dwFlag & kFlagDot)
        m_canvas.drawGlyph(kGlyphDot, sc(at.dotX), sc(shown(at.dotY)), z, color);
    int glyph = noteGlyph(note, at);
    if (withoutFlags && glyph >= kGlyphEighthUp && glyph <= kGlyphThirtySecondDown)
        glyph = at.stemDown == 1 ? kGlyphQuarterDown : kGlyphQuarterUp;
    int x = deviceX(at);
    if (at.headShift != 0 && !note.isRest()) {
        // A head on the far side of its chord's stem: the head alone, the stem is the chord's.
        glyph = headOnlyGlyph(glyph);
        x = sc(at.x + at.headShift * kSecondHeadShift);
    }
    if (at.crossHead != 0 && !note.isRest())
        glyph = crossHeadGlyph(glyph);
    if (glyph != 0)
        m_canvas.drawGlyph(glyph, x, deviceY(at), z, color);
}

void SheetDrawing::drawGlyphPass(int lastRow)
{
    const SheetDocument& sheet = m_sheet;
    const int bottom = m_view.layoutHeight;
    const int firstRow = m_view.firstVisibleRow;
    // Notes lie row by row in index order, so each track's notes are read from its first row
    // in the window to the last row that can reach into it (a note stands at most a few staff
    // heights above its row), not the whole track.
    int lastReaching = std::clamp(firstRow, 0, std::max(lastRow, 0));
    while (lastReaching < lastRow && top(m_layout.row(lastReaching + 1)) <= bottom + kMaxNoteRise)
        ++lastReaching;
    for (int j = 0; j < m_trackCount; ++j) {
        const Track& t = *sheet.trackAt(j);
        if (staffOf(t).isTablature())
            continue;
        const int n = std::min(m_layout.laidOutCount(j), t.count);
        int start = 0;
        const int firstOfTrack =
            firstRow + ((j - firstRow % m_trackCount) % m_trackCount + m_trackCount) % m_trackCount;
        if (firstOfTrack >= m_trackCount && firstOfTrack - m_trackCount < m_layout.rowCount())
            start = std::clamp(m_layout.row(firstOfTrack - m_trackCount).endNote, 0, n);
        for (int i = start; i < n; ++i) {
            const Note& note = t.noteAt(i);
            const NoteLayout& at = place(j, i);
            if (at.rowIndex > lastReaching)
                break;
            if (at.rowIndex < firstRow || at.rowIndex > lastRow)
                continue;
            const StaffRow row = m_layout.row(at.rowIndex);
            if (top(row) > kMaxDrawnRowTop)
                continue;
            if (m_printing && !onScreen(row))
                continue;
            if (!validRoot(t, i, n))
                continue; // drawn with its root, wherever it stands in the array
            // A chord has one stem: the head at its far end draws the stem's tip and the flags
            // (carried on to the middle line when the chord lies far off the staff), the others
            // their heads with plain stems that run into it.
            const int stemNote = at.stemNote >= 0 && at.stemNote < n ? at.stemNote : i;
            auto drawHead = [&](int h) {
                const Note& head = t.noteAt(h);
                // A member appended far from its root stands on its root's row.
                NoteLayout ph = place(j, h);
                ph.rowIndex = at.rowIndex;
                if (shown(ph.y) > bottom)
                    return;
                const bool hovered = highlighted(j, h);
                if (h != stemNote) {
                    drawNoteGlyphs(head, ph, hovered, true);
                    return;
                }
                const bool grows = !t.percussive && !stemReachesMiddle(head, ph);
                drawNoteGlyphs(head, ph, hovered, grows);
                if (grows)
                    drawStemToMiddleLine(head, ph, hovered);
            };
            drawHead(i);
            for (int k = 0; k < note.childCount && k < kMaxChordMembers; ++k) {
                const int c = note.children[k];
                if (c >= 0 && c < n && c != i && t.rootOf(c, n) == i)
                    drawHead(c);
            }
        }
    }
    const float z = m_view.zoom();
    for (int r = firstRow; r <= lastRow; ++r) {
        const StaffRow row = m_layout.row(r);
        const int y = top(row);
        if (y + 50 >= bottom || !onScreen(row))
            break;
        const int j = r % m_trackCount;
        const Track* t = sheet.trackAt(j);
        if (!t || staffOf(*t).isTablature() || staffRight(row) < 0)
            continue;
        drawKeySignature(row, *t);
        // A track keeps one meter throughout: its time signature opens the piece and is not
        // repeated on later systems.
        if (r < m_trackCount) {
            const TimeSignatureGlyphs ts = timeSignatureGlyphs(row.timeSig);
            const int tx = timeSignatureLeft(row.keySigWidth / kKeyMarkPitch);
            // Two digits stand side by side over the denominator's middle.
            const int half = ts.tens != 0 ? kTimeDigitWidth / 2 : 0;
            if (ts.tens != 0)
                m_canvas.drawGlyph(ts.tens, sc(tx - half), sc(y + 2), z, GlyphColor::Normal);
            m_canvas.drawGlyph(ts.numerator, sc(tx + half), sc(y + 2), z, GlyphColor::Normal);
            if (ts.denominator != 0)
                m_canvas.drawGlyph(ts.denominator, sc(tx), sc(y + 20), z, GlyphColor::Normal);
        }
        // Paper shows no selection or hover.
        const GlyphColor clefColor = m_printing                 ? GlyphColor::Normal
                                     : j == sheet.selectedTrack ? GlyphColor::Selected
                                     : j == m_view.hoveredTrack ? GlyphColor::Highlighted
                                                                : GlyphColor::Normal;
        const StaffKindInfo& staff = staffOf(*t);
        const ClefPlacement clef = clefPlacement(staff.clef);
        m_canvas.drawGlyph(clef.glyph, sc(clef.x), sc(y + clef.dy), z, clefColor);
        // The G clef staff sounds an octave below what it shows, as guitar music is written;
        // the small 8 under the clef says so. The G(2) clef sounds as written.
        if (staff.octaveMark)
            m_canvas.drawGlyph(kGlyphClefOctave, sc(kStaffLeft + kClefOctaveX), sc(y + kClefOctaveY), z,
                               clefColor);
    }
}

} // namespace tonvela
