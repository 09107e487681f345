#include "editor/sheet_drawing.h"

#include "editor/glyphs.h"
#include "editor/layout.h"
#include "score/note.h"
#include "score/note_pitch.h"
#include "score/sheet_document.h"
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

GlyphColor colorOf(const Note& n, bool hovered)
{
    if (n.selected)
        return GlyphColor::Selected;
    if (hovered || n.play.sounding)
        return GlyphColor::Highlighted;
    return GlyphColor::Normal;
}

} // namespace

DrawTools DrawTools::forZoom(float z)
{
    DrawTools t;
    auto h = [z](int height) { return static_cast<int>(static_cast<float>(height) * z); };
    t.label = {h(20), false};
    t.largeBold = {h(20), true};
    t.mediumBold = {h(16), true};
    t.smallBold = {h(12), true};
    t.firstNumber = {h(14), true};
    return t;
}

void drawSheet(SheetViewState& view, Canvas& canvas, bool printing)
{
    SheetDrawing(view, canvas, printing).drawSheet();
}

SheetDrawing::SheetDrawing(SheetViewState& view, Canvas& canvas, bool printing)
    : m_view(view), m_canvas(canvas), m_printing(printing), m_tools(DrawTools::forZoom(view.zoom())),
      m_trackCount(view.sheet().trackCount())
{
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
        return row.top + 50 < m_view.layoutHeight && (m_view.pageEndRow < 0 || row.index < m_view.pageEndRow);
    return row.top <= m_view.layoutHeight && row.top <= kMaxDrawnRowTop;
}

int SheetDrawing::systemTop(const StaffRow& row) const
{
    const int first = row.index - row.index % std::max(1, m_trackCount);
    return m_view.row(first).top;
}

int SheetDrawing::systemBottom(const StaffRow& row) const
{
    return systemTop(row) + (m_trackCount - 1) * kRowPitch + 4 * row.spacing;
}

void SheetDrawing::drawSheet()
{
    if (m_trackCount <= 0)
        return;
    SheetDocument& sheet = m_view.sheet();
    const int tracks = m_trackCount;
    std::vector<int> progress(static_cast<std::size_t>(tracks), 0);
    std::vector<int> counts(static_cast<std::size_t>(tracks), 0);
    for (int j = 0; j < tracks; ++j)
        counts[static_cast<std::size_t>(j)] = std::min(m_view.laidOutCount(j), sheet.trackAt(j)->count);
    textColor(kBlack);
    drawDragRectangle();

    // Every row that holds notes is walked (rows off the window only count their notes past),
    // so the notes of a row far down are found wherever the window shows it.
    const int rows = m_view.rowCount();
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
        for (int j = 0; j < tracks && r < rows; ++j) {
            StaffRow& row = m_view.row(r);
            Track& t = *sheet.trackAt(j);
            row.sheet = &sheet;
            row.track = &t;
            int& p = progress[static_cast<std::size_t>(j)];
            if (t.drawmode == kDrawTablature)
                drawTablatureRow(row, t, p, counts[static_cast<std::size_t>(j)]);
            else
                drawStaffRow(row, t, p, counts[static_cast<std::size_t>(j)]);
            ++r;
        }
        const StaffRow& top = m_view.row(systemFirst);
        if (r >= m_view.firstVisibleRow && systemFirst >= m_view.firstVisibleRow && onScreen(top)) {
            pen(m_tools.black);
            const StaffRow& last = m_view.row(r - 1);
            m_canvas.drawLine(sc(kStaffLeft), sc(top.top), sc(kStaffLeft), sc(last.top + 4 * last.spacing));
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

void SheetDrawing::drawStaffRow(StaffRow& row, Track& t, int& p, int n)
{
    const int top = row.top;
    const int d = row.spacing;
    const bool visible = row.index >= m_view.firstVisibleRow;
    const bool onScreen = this->onScreen(row);
    if (onScreen && p < n) {
        const int first = std::clamp(row.firstNote, 0, n - 1);
        const Note& f = t.noteAt(first);
        if (visible)
            drawMeasureNumber(row, f.layout.measureIndex, true);
        row.measureOfFirst = f.layout.measureIndex;
    }
    if (visible && onScreen) {
        font(m_tools.label);
        textColor(kBlack);
        m_canvas.drawText(sc(kStaffLeft - 15), sc(3 * d + top), std::to_string(row.index % m_trackCount + 1));
        drawStaffLines(row);
        pen(m_tools.black);
        const int xEnd = sc(m_view.layoutWidth - 70 + kStaffLeft - 1);
        m_canvas.drawLine(xEnd, sc(top), xEnd, sc(top + 4 * d));
        if (!m_printing && !t.percussive) {
            if (row.hoverAboveX >= 0)
                drawLedgerAbove(row, row.hoverAboveX);
            if (row.hoverBelowX >= 0)
                drawLedgerBelow(row, row.hoverBelowX);
        }
    }

    const int start = p;
    if (!visible || !onScreen)
        skipRow(row, p, n, onScreen);
    else
        drawRowNotes(row, t, p, n);

    if (visible && onScreen) {
        drawTies(t, start, p, n);
        for (int i = start; i < p; ++i)
            if (t.noteAt(i).layout.beamCount > 0)
                drawBeams(t, i, n);
        drawSystemEndLine(row);
        drawRowRepeats(row, t, start, p, n);
    }
    if (p == 0)
        row.lastX = row.keySigWidth + 50;
}

void SheetDrawing::drawRowNotes(StaffRow& row, Track& t, int& p, int n)
{
    if (p < n && t.noteAt(p).layout.rowIndex != row.index) {
        if (t.noteAt(p).type == kTypeStaffBreak)
            ++p;
        if (p < n && t.noteAt(p).layout.rowIndex != row.index) {
            const int rowOfP = t.noteAt(p).layout.rowIndex;
            if (rowOfP >= 0 && rowOfP < row.index) {
                while (p < n && t.noteAt(p).layout.rowIndex >= 0 && t.noteAt(p).layout.rowIndex < row.index)
                    ++p;
            } else {
                p = n;
            }
        }
    }
    while (p < n && t.noteAt(p).layout.rowIndex == row.index) {
        Note& note = t.noteAt(p);
        if (!validRoot(t, p, n) || note.type == kTypeStaffBreak) {
            ++p; // members are drawn with their root
            continue;
        }
        if (note.layout.measureIndex != row.measureOfFirst) {
            const int m = note.layout.measureIndex + 1;
            std::vector<MeasureRecord>& records = m_view.measures(row.index % m_trackCount);
            if (m >= 1 && m < static_cast<int>(records.size())) {
                MeasureRecord& rec = records[static_cast<std::size_t>(m)];
                if (rec.x > 0) {
                    Note bar;
                    bar.type = kTypeBar;
                    bar.layout.width = 22;
                    bar.layout.x = static_cast<int16_t>(std::clamp(rec.x, 0, 32767));
                    bar.selected = (rec.barHover && m_view.barClickPending) ? 1 : 0;
                    drawBarLine(row, bar, rec.barHover && !m_printing);
                    rec.barTop = systemTop(row);
                    rec.barBottom = systemBottom(row);
                }
            }
            drawMeasureNumber(row, note.layout.measureIndex, false);
            row.measureOfFirst = note.layout.measureIndex;
        }
        drawNoteDecorations(row, t, p, n);
        row.lastX = note.layout.x;
        ++p;
    }
}

void SheetDrawing::drawTablatureRow(StaffRow& row, Track& t, int& p, int n)
{
    const int top = row.top;
    const int d = row.spacing;
    const bool visible = row.index >= m_view.firstVisibleRow;
    const bool onScreen = this->onScreen(row);
    if (!visible || !onScreen) {
        skipRow(row, p, n, onScreen);
        return;
    }
    const int track = row.index % m_trackCount;
    const bool small = m_view.zoom() <= 0.6f;
    const Font& letters = small ? m_tools.smallBold : m_tools.largeBold;
    font(letters);
    if (track == m_view.sheet().selectedTrack)
        textColor(kRed);
    else if (track == m_view.hoveredTrack)
        textColor(kBlue);
    else
        textColor(kBlack);
    static constexpr const char* kLetters[3] = {"T", "A", "B"};
    for (int k = 0; k < 3; ++k)
        m_canvas.drawText(sc(kStaffLeft) + sc(10), sc(top + 2 * k * d) - letters.height / 2, kLetters[k]);
    pen(m_tools.nearBlack);
    for (int k = 0; k < 6; ++k)
        m_canvas.drawLine(row.leftScaled, sc(top + k * d), row.leftScaled + row.lengthScaled,
                          sc(top + k * d));
    if (p < n && t.noteAt(p).layout.rowIndex >= 0 && t.noteAt(p).layout.rowIndex < row.index)
        while (p < n && t.noteAt(p).layout.rowIndex >= 0 && t.noteAt(p).layout.rowIndex < row.index)
            ++p;
    const int start = p;
    while (p < n && t.noteAt(p).layout.rowIndex == row.index) {
        drawTablatureNote(row, t, p, n);
        ++p;
    }
    drawRowRepeats(row, t, start, p, n);
}

void SheetDrawing::drawStaffLines(const StaffRow& row)
{
    pen(m_tools.black);
    const int x1 = sc(kStaffLeft);
    const int x2 = x1 + row.lengthScaled;
    for (int k = 0; k < 5; ++k) {
        const int y = sc(row.top) + sc(k * row.spacing);
        m_canvas.drawLine(x1, y, x2, y);
    }
}

void SheetDrawing::drawLedgerBelow(const StaffRow& row, int x)
{
    pen(m_tools.black);
    for (int k = 5; k <= 7; ++k) {
        const int y = sc(row.top + k * row.spacing);
        m_canvas.drawLine(sc(x), y, sc(x) + sc(10), y);
    }
}

void SheetDrawing::drawLedgerAbove(const StaffRow& row, int x)
{
    pen(m_tools.black);
    for (int k = 1; k <= 3; ++k) {
        const int y = sc(row.top - k * row.spacing);
        m_canvas.drawLine(sc(x), y, sc(x) + sc(10), y);
    }
}

void SheetDrawing::drawBarLine(const StaffRow& row, Note& bar, bool hovered)
{
    if (bar.selected)
        pen(m_tools.red);
    else if (hovered || bar.play.sounding)
        pen(m_tools.blue);
    else
        pen(m_tools.black);
    const int x = sc(static_cast<int>(bar.layout.x));
    const int y1 = sc(systemTop(row));
    const int y2 = sc(systemBottom(row));
    m_canvas.drawLine(x, y1, x, y2);
    bar.layout.zoomY = y1;
    bar.layout.stemExtension[0] = x;
    bar.layout.stemExtension[1] = y1;
    bar.layout.stemExtension[2] = x;
    bar.layout.stemExtension[3] = y2;
}

void SheetDrawing::drawSystemEndLine(const StaffRow& row)
{
    pen(m_tools.black);
    const int x = sc(kStaffLeft) + row.lengthScaled;
    m_canvas.drawLine(x, sc(systemTop(row)), x, sc(systemBottom(row)));
}

void SheetDrawing::drawMeasureNumber(const StaffRow& row, int measureIndex, bool rowStart)
{
    const int m = measureIndex + 1;
    int x = 0;
    const std::vector<MeasureRecord>& records = m_view.measures(row.index % m_trackCount);
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
    m_canvas.drawText(sc(left), sc(row.top - 18), std::to_string(m));
}

void SheetDrawing::drawTies(Track& t, int from, int to, int n)
{
    auto nextRootAfter = [&](int i) {
        for (++i; i < n; ++i)
            if (validRoot(t, i, n) && t.noteAt(i).type != kTypeStaffBreak)
                return i;
        return n;
    };
    for (int i = from; i < to; ++i) {
        if (!validRoot(t, i, n) || t.noteAt(i).type == kTypeStaffBreak)
            continue;
        Note& a = t.noteAt(i);
        if (!(a.dwFlag & kFlagTie))
            continue;
        const int j = nextRootAfter(i);
        if (j >= n)
            continue;
        Note& b = t.noteAt(j);
        if (!(b.dwFlag & kFlagTie))
            continue;
        const int pairs = std::min<int>(std::min<int>(a.childCount, b.childCount), kMaxChordMembers);
        for (int k = 0; k < pairs; ++k) {
            const int ma = a.children[k], mb = b.children[k];
            if (ma >= 0 && ma < n && mb >= 0 && mb < n)
                drawTie(t.noteAt(ma), t.noteAt(mb));
        }
        drawTie(a, b);
    }
}

void SheetDrawing::drawTie(Note& a, Note& b)
{
    const bool rests = a.isRest() && b.isRest();
    if (!rests && (a.letter != b.letter || a.octave != b.octave)) {
        a.layout.tieValid = 0;
        b.layout.tieValid = 0;
        return;
    }
    a.layout.tieValid = 1;
    b.layout.tieValid = 1;
    pen(m_tools.tie);
    m_canvas.setNoBrush();
    const int o = (a.layout.stemDown == 1 && b.layout.stemDown == 1 && !a.isRest() && !b.isRest()) ? -35 : 0;
    const int xa = a.layout.x, xb = b.layout.x, ya = a.layout.y;
    if (a.layout.rowIndex == b.layout.rowIndex) {
        if (o == -35)
            m_canvas.drawArc(sc(xb + 3), sc(ya - 5), sc(xa + 13), sc(ya + 5), sc(xb + 8), sc(ya), sc(xa + 8),
                             sc(ya));
        else
            m_canvas.drawArc(sc(xa + 1), sc(ya + 20), sc(xb + 11), sc(ya + 40), sc(xa + 6), sc(ya + 35),
                             sc(xb + 6), sc(ya + 35));
    } else if (o == -35) {
        m_canvas.drawArc(sc(xa + 3), sc(ya + o + 30), sc(xa + 68), sc(ya + o + 40), sc(xa + 63),
                         sc(ya + o + 35), sc(xa + 8), sc(ya + o + 35));
    } else {
        m_canvas.drawArc(sc(xa + 1), sc(ya + 20), sc(xa + 61), sc(ya + 40), sc(xa + 6), sc(ya + 35),
                         sc(xa + 61), sc(ya + 35));
    }
}

void SheetDrawing::drawBeams(Track& t, int head, int n)
{
    Note& first = t.noteAt(head);
    const int followers = std::clamp(first.layout.beamCount, 0, 3);
    if (followers == 0 || head + followers >= n || !(first.dwFlag & kFlagBeamed))
        return;
    const Note& last = t.noteAt(head + followers);
    if (last.layout.rowIndex != first.layout.rowIndex)
        return;
    pen(m_tools.black);
    const bool up = first.layout.stemDown == 0;
    auto extension = [&](const Note& nt) {
        const int* e = nt.layout.stemExtension;
        if (e[0] != 0 || e[1] != 0 || e[2] != 0 || e[3] != 0)
            m_canvas.drawLine(e[0], e[1], e[2], e[3]);
    };
    if (followers >= 2) {
        for (int g = 0; g <= followers; ++g)
            extension(t.noteAt(head + g));
    } else if (up && first.layout.y - last.layout.y > 20) {
        extension(first);
    }
    const int* b = first.layout.beamLine;
    for (int k = 0; k < 4; ++k)
        m_canvas.drawLine(sc(b[0]), sc(b[1] + k), sc(b[2]), sc(b[3] + k));
    if (first.type == kTypeSixteenth) {
        const int shift = up ? 7 : -7;
        for (int k = 0; k < 4; ++k)
            m_canvas.drawLine(sc(b[0]), sc(b[1] + shift + k), sc(b[2]), sc(b[3] + shift + k));
    }
}

void SheetDrawing::drawKeySignature(StaffRow& row)
{
    if (!row.track)
        return;
    const KeySignatureMarks marks = keySignatureMarks(*row.track);
    const double d = row.spacing;
    for (int k = 0; k < marks.count; ++k) {
        const KeyMark& mark = marks.marks[static_cast<std::size_t>(k)];
        const int x = kStaffLeft + 8 * k + 25;
        double y = row.top + (mark.step * d) / 2.0 + d / 2.0 - 1.0;
        if (mark.accidental < 0)
            y -= d / 2.0 + 3.0;
        m_canvas.drawGlyph(mark.accidental > 0 ? kGlyphSharp : kGlyphFlat, sc(x), sc(static_cast<int>(y)),
                           m_view.zoom(), GlyphColor::Normal);
    }
    row.keySigWidth = 8 * marks.count;
}

void SheetDrawing::drawNoteDecorations(const StaffRow& row, Track& t, int index, int n)
{
    if (row.top > m_view.layoutHeight)
        return;
    Note& note = t.noteAt(index);
    if (note.type == kTypeStaffBreak)
        return;
    const int members = std::min<int>(note.childCount, kMaxChordMembers);
    for (int k = 0; k < members; ++k) {
        const int c = note.children[k];
        if (c >= 0 && c < n && c != index)
            decorate(row, t, t.noteAt(c), m_view.isHoveredNote(row.index % m_trackCount, c));
    }
    decorate(row, t, note, m_view.isHoveredNote(row.index % m_trackCount, index));
}

void SheetDrawing::decorate(const StaffRow& row, Track& t, Note& note, bool hovered)
{
    const int top = row.top;
    if (note.type == kTypeStaffBreak)
        return;
    if (note.type == kTypeMark1740 && note.selected)
        return;
    if (note.type == kTypeBar) {
        drawBarLine(row, note, hovered);
    } else if (note.type == kTypeSpace && note.selected) {
        pen(m_tools.red);
        m_canvas.drawLine(sc(note.layout.x), sc(note.layout.y - 10), sc(note.layout.x + 10),
                          sc(note.layout.y - 10));
    } else if (!note.isRest() && note.type != kTypeSpace && !t.percussive) {
        if (note.layout.y >= top + 15)
            drawLedgerBelow(row, note.layout.x);
        if (note.line < -4)
            drawLedgerAbove(row, note.layout.x + 2);
    }
    drawLyric(row, note);
}

void SheetDrawing::drawTablatureNote(const StaffRow& row, Track& t, int index, int n)
{
    Note& root = t.noteAt(index);
    if (!validRoot(t, index, n) || root.type == kTypeStaffBreak)
        return;
    const bool small = m_view.zoom() <= 0.6f;
    const int track = row.index % m_trackCount;
    auto one = [&](const Note& note, int i) {
        if (note.isRest() || note.type == kTypeStaffBreak)
            return;
        const GuitarPosition pos = guitarPositionOfNote(note);
        char text[2] = {' ', 0};
        if (note.line >= -4 && note.line <= 12 && pos.fret >= 0 && pos.fret <= 9)
            text[0] = static_cast<char>('0' + pos.fret);
        font(small ? m_tools.smallBold : m_tools.mediumBold);
        textColor((m_view.isHoveredNote(track, i) || note.play.sounding) ? kBlue : kBlack);
        int y = sc(row.spacing * pos.stringIndex + row.top - 9);
        if (small)
            y -= 2;
        m_canvas.drawText(sc(note.layout.x), y, text);
    };
    const int members = std::min<int>(root.childCount, kMaxChordMembers);
    for (int k = 0; k < members; ++k) {
        const int c = root.children[k];
        if (c >= 0 && c < n && c != index)
            one(t.noteAt(c), c);
    }
    one(root, index);
}

void SheetDrawing::drawNoteGlyphs(const Note& note, bool hovered)
{
    const GlyphColor color = colorOf(note, hovered);
    const float z = m_view.zoom();
    if (note.dwFlag & kFlagNatural)
        m_canvas.drawGlyph(kGlyphNatural, sc(note.layout.accidentalX), sc(note.layout.accidentalY), z, color);
    if (note.dwFlag & kFlagSharp)
        m_canvas.drawGlyph(kGlyphSharp, sc(note.layout.accidentalX), sc(note.layout.accidentalY), z, color);
    if (note.dwFlag & kFlagFlat)
        m_canvas.drawGlyph(kGlyphFlat, sc(note.layout.accidentalX), sc(note.layout.accidentalY), z, color);
    if (note.dwFlag & kFlagDot)
        m_canvas.drawGlyph(kGlyphDot, sc(note.layout.dotX), sc(note.layout.dotY), z, color);
    const int glyph = noteGlyph(note);
    if (glyph != 0)
        m_canvas.drawGlyph(glyph, note.layout.zoomX, note.layout.zoomY, z, color);
}

void SheetDrawing::drawGlyphPass(int lastRow)
{
    SheetDocument& sheet = m_view.sheet();
    const int bottom = m_view.layoutHeight;
    const int firstRow = m_view.firstVisibleRow;
    // Notes lie row by row in index order, so each track's notes are read from its first row
    // in the window to the last row that can reach into it (a note stands at most a few staff
    // heights above its row), not the whole track.
    int lastReaching = std::clamp(firstRow, 0, std::max(lastRow, 0));
    while (lastReaching < lastRow && m_view.row(lastReaching + 1).top <= bottom + kMaxNoteRise)
        ++lastReaching;
    for (int j = 0; j < m_trackCount; ++j) {
        Track& t = *sheet.trackAt(j);
        if (t.drawmode == kDrawTablature)
            continue;
        const int n = std::min(m_view.laidOutCount(j), t.count);
        int start = 0;
        const int firstOfTrack =
            firstRow + ((j - firstRow % m_trackCount) % m_trackCount + m_trackCount) % m_trackCount;
        if (firstOfTrack >= m_trackCount && firstOfTrack - m_trackCount < m_view.rowCount())
            start = std::clamp(m_view.row(firstOfTrack - m_trackCount).endNote, 0, n);
        for (int i = start; i < n; ++i) {
            const Note& note = t.noteAt(i);
            if (note.layout.rowIndex > lastReaching)
                break;
            if (note.layout.rowIndex < firstRow || note.layout.rowIndex > lastRow)
                continue;
            if (m_view.row(note.layout.rowIndex).top > kMaxDrawnRowTop)
                continue;
            if (m_printing && !onScreen(m_view.row(note.layout.rowIndex)))
                continue;
            if (!validRoot(t, i, n))
                continue; // drawn with its root, wherever it stands in the array
            if (note.layout.y <= bottom)
                drawNoteGlyphs(note, m_view.isHoveredNote(j, i));
            for (int k = 0; k < note.childCount && k < kMaxChordMembers; ++k) {
                const int c = note.children[k];
                if (t.rootOf(c, n) == i && t.noteAt(c).layout.y <= bottom)
                    drawNoteGlyphs(t.noteAt(c), m_view.isHoveredNote(j, c));
            }
        }
    }
    const float z = m_view.zoom();
    for (int r = firstRow; r <= lastRow; ++r) {
        StaffRow& row = m_view.row(r);
        if (row.top + 50 >= bottom || !onScreen(row))
            break;
        const int j = r % m_trackCount;
        Track* t = sheet.trackAt(j);
        if (!t || t->drawmode == kDrawTablature)
            continue;
        drawKeySignature(row);
        const TimeSignatureGlyphs ts = timeSignatureGlyphs(row.timeSig);
        const int tx = kStaffLeft + row.keySigWidth + 27;
        m_canvas.drawGlyph(ts.numerator, sc(tx), sc(row.top + 2), z, GlyphColor::Normal);
        if (ts.denominator != 0)
            m_canvas.drawGlyph(ts.denominator, sc(tx), sc(row.top + 20), z, GlyphColor::Normal);
        // Paper shows no selection or hover.
        const GlyphColor clefColor = m_printing                 ? GlyphColor::Normal
                                     : j == sheet.selectedTrack ? GlyphColor::Selected
                                     : j == m_view.hoveredTrack ? GlyphColor::Highlighted
                                                                : GlyphColor::Normal;
        if (t->percussive)
            m_canvas.drawGlyph(kGlyphPercussionClef, sc(kStaffLeft + 9), sc(row.top + 11), z, clefColor);
        else if (t->drawmode == kDrawFClef)
            m_canvas.drawGlyph(kGlyphFClef, sc(kStaffLeft + 4), sc(row.top), z, clefColor);
        else
            m_canvas.drawGlyph(kGlyphGClef, sc(kStaffLeft + 4), sc(row.top - 10), z, clefColor);
        // The G clef staff sounds an octave below what it shows, as guitar music is written;
        // the small 8 under the clef says so. The G(2) clef sounds as written.
        if (!t->percussive && t->drawmode != kDrawFClef && t->drawmode != kDrawG2Clef)
            m_canvas.drawGlyph(kGlyphClefOctave, sc(kStaffLeft + kClefOctaveX), sc(row.top + kClefOctaveY), z,
                               clefColor);
    }
}

} // namespace tonvela
