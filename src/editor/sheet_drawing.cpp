#include "editor/sheet_drawing.h"

#include "editor/engraving_lines.h"
#include "editor/engraving_marks.h"
#include "editor/glyphs.h"
#include "editor/layout.h"
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

void drawSheet(SheetViewState& view, Canvas& canvas, bool printing)
{
    SheetDrawing(view, canvas, printing).drawSheet();
}

SheetDrawing::SheetDrawing(SheetViewState& view, Canvas& canvas, bool printing)
    : m_view(view), m_canvas(canvas), m_printing(printing), m_tools(DrawTools::forZoom(view.zoom())),
      m_trackCount(view.sheet().trackCount())
{
    for (int j = 0; j < m_trackCount; ++j)
        m_ends.push_back(trackEnd(view, j));
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
            if (staffOf(t).isTablature())
                drawTablatureRow(row, t, p, counts[static_cast<std::size_t>(j)]);
            else
                drawStaffRow(row, t, p, counts[static_cast<std::size_t>(j)]);
            ++r;
        }
        const StaffRow& top = m_view.row(systemFirst);
        if (r >= m_view.firstVisibleRow && systemFirst >= m_view.firstVisibleRow && onScreen(top)) {
            // The line joining the system's staves, through those that are shown.
            const auto [y1, y2] = barSpan(top, kStaffLeft);
            if (staffRight(top) >= 0 || y1 != top.top) {
                pen(m_tools.black);
                strokeBar(top, kStaffLeft, sc(kStaffLeft));
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

void SheetDrawing::drawStaffRow(StaffRow& row, Track& t, int& p, int n)
{
    const int top = row.top;
    const int d = row.spacing;
    const bool visible = row.index >= m_view.firstVisibleRow;
    const bool onScreen = this->onScreen(row);
    if (staffRight(row) < 0) {
        // After the track's end: no staff, nothing to draw.
        skipRow(row, p, n, onScreen);
        return;
    }
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
        drawTies(t, start, p, n);
        for (int i = start; i < p; ++i)
            if (t.noteAt(i).layout.beamCount > 0)
                drawBeams(t, i, n);
        drawSystemEndLine(row);
        if (endsTrack(row))
            drawFinalBar(row, false);
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
    const int track = row.index % m_trackCount;
    const TrackEnd& end = m_ends[static_cast<std::size_t>(track)];
    while (p < n && t.noteAt(p).layout.rowIndex == row.index) {
        Note& note = t.noteAt(p);
        // Members are drawn with their root; bar line notes after the track's last note give
        // way to its final bar line.
        if (!validRoot(t, p, n) || note.type == kTypeStaffBreak || (end.row >= 0 && p > end.lastNote)) {
            ++p;
            continue;
        }
        // A bar line note that opens its measure is that measure's bar line: one line, in the
        // note's colours.
        const bool opensWithBar =
            note.type == kTypeBar &&
            p == m_view.measures(track)[static_cast<std::size_t>(note.layout.measureIndex + 1)].firstNote;
        const bool barHovered = m_view.isHoveredNote(track, p) || m_view.isSounding(track, p);
        bool merged = opensWithBar && !note.selected && !barHovered;
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
                    bar.selected =
                        (rec.barHover && m_view.barClickPending) || (opensWithBar && note.selected);
                    drawBarLine(row, bar, (rec.barHover || (opensWithBar && barHovered)) && !m_printing);
                    const auto [barTop, barBottom] = barSpan(row, rec.x);
                    rec.barTop = barTop;
                    rec.barBottom = barBottom;
                    if (opensWithBar) {
                        std::copy(std::begin(bar.layout.stemExtension), std::end(bar.layout.stemExtension),
                                  std::begin(note.layout.stemExtension));
                        merged = true;
                    }
                }
            }
            drawMeasureNumber(row, note.layout.measureIndex, false);
            row.measureOfFirst = note.layout.measureIndex;
        }
        if (!merged)
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
    if (!visible || !onScreen || staffRight(row) < 0) {
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
    const int right = endsTrack(row) ? sc(staffRight(row)) : row.leftScaled + row.lengthScaled;
    for (int k = 0; k < 6; ++k)
        m_canvas.drawLine(row.leftScaled, sc(top + k * d), right, sc(top + k * d));
    if (endsTrack(row))
        drawFinalBar(row, true);
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

void SheetDrawing::drawBarLine(const StaffRow& row, Note& bar, bool hovered)
{
    if (bar.selected)
        pen(m_tools.red);
    else if (hovered)
        pen(m_tools.blue);
    else
        pen(m_tools.black);
    const int x = sc(static_cast<int>(bar.layout.x));
    const auto [top, bottom] = barSpan(row, bar.layout.x);
    const int y1 = sc(top);
    const int y2 = sc(bottom);
    strokeBar(row, bar.layout.x, x);
    bar.layout.zoomY = y1;
    bar.layout.stemExtension[0] = x;
    bar.layout.stemExtension[1] = y1;
    bar.layout.stemExtension[2] = x;
    bar.layout.stemExtension[3] = y2;
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
        std::vector<std::pair<Note*, Note*>> tied{{&a, &b}};
        const int pairs = std::min<int>(std::min<int>(a.childCount, b.childCount), kMaxChordMembers);
        for (int k = 0; k < pairs; ++k) {
            const int ma = a.children[k], mb = b.children[k];
            if (ma >= 0 && ma < n && mb >= 0 && mb < n)
                tied.emplace_back(&t.noteAt(ma), &t.noteAt(mb));
        }
        if (tied.size() == 1) {
            drawTie(a, b);
            continue;
        }
        // The ties of a chord curve outwards from its middle: those of the upper heads above,
        // of the lower heads below; the middle head of an odd chord keeps away from the stems.
        std::stable_sort(tied.begin(), tied.end(),
                         [](const auto& x, const auto& y) { return x.first->layout.y < y.first->layout.y; });
        const int count = static_cast<int>(tied.size());
        for (int k = 0; k < count; ++k) {
            const bool middle = count % 2 == 1 && k == count / 2;
            drawTie(*tied[static_cast<std::size_t>(k)].first, *tied[static_cast<std::size_t>(k)].second,
                    middle          ? 0
                    : k < count / 2 ? -1
                                    : 1);
        }
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
        const int x = keySignatureLeft() + kKeyMarkPitch * k;
        double y = row.top + (mark.step * d) / 2.0 + d / 2.0 - 1.0;
        if (mark.accidental < 0)
            y -= d / 2.0 + 3.0;
        m_canvas.drawGlyph(mark.accidental > 0 ? kGlyphSharp : kGlyphFlat, sc(x), sc(static_cast<int>(y)),
                           m_view.zoom(), GlyphColor::Normal);
    }
    row.keySigWidth = kKeyMarkPitch * marks.count;
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
            decorate(row, t, t.noteAt(c), highlighted(row.index % m_trackCount, c));
    }
    decorate(row, t, note, highlighted(row.index % m_trackCount, index));
}

void SheetDrawing::decorate(const StaffRow& row, Track& t, Note& note, bool hovered)
{
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
    } else if (!note.isRest() && staffOf(t).ledgerLines) {
        drawNoteLedgers(row, note);
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
        textColor((m_view.isHoveredNote(track, i) || m_view.isSounding(track, i)) ? kBlue : kBlack);
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

void SheetDrawing::drawNoteGlyphs(const Note& note, bool hovered, bool withoutFlags)
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
    int glyph = noteGlyph(note);
    if (withoutFlags && glyph >= kGlyphEighthUp && glyph <= kGlyphThirtySecondDown)
        glyph = note.layout.stemDown == 1 ? kGlyphQuarterDown : kGlyphQuarterUp;
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
        if (staffOf(t).isTablature())
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
            if (note.layout.y <= bottom) {
                const bool hovered = highlighted(j, i);
                const bool grows = note.childCount == 0 && !t.percussive && !stemReachesMiddle(note);
                drawNoteGlyphs(note, hovered, grows);
                if (grows)
                    drawStemToMiddleLine(note, hovered);
            }
            for (int k = 0; k < note.childCount && k < kMaxChordMembers; ++k) {
                const int c = note.children[k];
                if (t.rootOf(c, n) == i && t.noteAt(c).layout.y <= bottom)
                    drawNoteGlyphs(t.noteAt(c), highlighted(j, c));
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
        if (!t || staffOf(*t).isTablature() || staffRight(row) < 0)
            continue;
        drawKeySignature(row);
        const TimeSignatureGlyphs ts = timeSignatureGlyphs(row.timeSig);
        const int tx = timeSignatureLeft(row.keySigWidth / kKeyMarkPitch);
        m_canvas.drawGlyph(ts.numerator, sc(tx), sc(row.top + 2), z, GlyphColor::Normal);
        if (ts.denominator != 0)
            m_canvas.drawGlyph(ts.denominator, sc(tx), sc(row.top + 20), z, GlyphColor::Normal);
        // Paper shows no selection or hover.
        const GlyphColor clefColor = m_printing                 ? GlyphColor::Normal
                                     : j == sheet.selectedTrack ? GlyphColor::Selected
                                     : j == m_view.hoveredTrack ? GlyphColor::Highlighted
                                                                : GlyphColor::Normal;
        const StaffKindInfo& staff = staffOf(*t);
        const ClefPlacement clef = clefPlacement(staff.clef);
        m_canvas.drawGlyph(clef.glyph, sc(clef.x), sc(row.top + clef.dy), z, clefColor);
        // The G clef staff sounds an octave below what it shows, as guitar music is written;
        // the small 8 under the clef says so. The G(2) clef sounds as written.
        if (staff.octaveMark)
            m_canvas.drawGlyph(kGlyphClefOctave, sc(kStaffLeft + kClefOctaveX), sc(row.top + kClefOctaveY), z,
                               clefColor);
    }
}

} // namespace tonvela
