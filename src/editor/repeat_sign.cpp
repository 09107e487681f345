// The repeat signs of a measure marked to repeat and of a repeated passage: at its end two dots,
// a thin and a thick bar line; at its start the same mirrored. Over the endings of a passage,
// brackets marked "1." and "2." above the top staff of each system.

#include "editor/sheet_drawing.h"
#include "score/sheet_document.h"
#include "score/track.h"

#include <algorithm>
#include <cmath>

namespace tonvela {

namespace {

// The measures whose start (or end) carries a repeat sign: the marked measures and the first
// (or last) measures of the repeated passages. `storage` holds the list when it is not the
// track's own marks.
const MeasureRepeatMarks& signedMeasures(const Track& t, bool starts, MeasureRepeatMarks& storage)
{
    if (t.repeatRanges.empty())
        return t.measureRepeats;
    storage = t.measureRepeats;
    for (const RepeatRange& r : t.repeatRanges)
        storage.set(starts ? r.first : r.last, true);
    return storage;
}

} // namespace

RepeatSignGeometry repeatSignGeometryAt(int top, int thinX, bool tablature)
{
    const int d = kStaffSpacing;
    RepeatSignGeometry g;
    g.thinX = thinX;
    g.thickLeft = thinX + kRepeatThickGap;
    g.thickRight = g.thickLeft + kRepeatThickWidth;
    g.dotX = thinX - kRepeatDotGap;
    g.top = top;
    // A staff has five lines, a tablature six; the dots sit in the spaces either side of the
    // middle (the 2nd and 3rd spaces of a staff, the 2nd and 4th of a tablature).
    g.bottom = top + (tablature ? 5 : 4) * d;
    g.dotY[0] = top + (3 * d) / 2;
    g.dotY[1] = top + ((tablature ? 7 : 5) * d) / 2;
    return g;
}

RepeatSignGeometry repeatStartGeometryAt(int top, int thinX, bool tablature, bool afterEnd)
{
    RepeatSignGeometry g = repeatSignGeometryAt(top, thinX, tablature);
    if (afterEnd) {
        // Shares the closing sign's thick line; a thin line of its own right of it.
        g.thinX = thinX + kRepeatSignWidth + kRepeatThickGap;
        g.thickLeft = thinX + kRepeatThickGap;
    } else {
        g.thickLeft = thinX - kRepeatSignWidth;
    }
    g.thickRight = g.thickLeft + kRepeatThickWidth;
    g.dotX = g.thinX + kRepeatDotGap;
    return g;
}

int repeatStartThinX(int keySigWidth, const MeasureRecord& rec)
{
    // A row's first note stands where a measure's first note stands after its bar line
    // (layout.cpp places both: the row's from the key signature, the measure's from its bar).
    if (rec.startsRow || rec.x <= 0)
        return keySigWidth + 62;
    return rec.x;
}

RepeatSignGeometry repeatSignGeometry(const StaffRow& row, int thinX, bool tablature)
{
    return repeatSignGeometryAt(row.top, thinX, tablature);
}

void SheetDrawing::drawRepeatSign(const StaffRow& row, int thinX, bool drawThin, bool tablature)
{
    const RepeatSignGeometry g = repeatSignGeometryAt(top(row), thinX, tablature);
    pen(m_tools.black);
    if (drawThin)
        m_canvas.drawLine(sc(g.thinX), sc(g.top), sc(g.thinX), sc(g.bottom));
    // The thick line keeps two device pixels at the smallest zoom, so it never looks thin.
    const int left = sc(g.thickLeft);
    m_canvas.fillRect(left, sc(g.top), std::max(left + 2, sc(g.thickRight)), sc(g.bottom) + 1, kBlack);
    m_canvas.setBrush(kBlack);
    // Rounded, not truncated: the dots keep their size at zooms just below 1.
    const int r = std::max(1, static_cast<int>(std::lround(kRepeatDotRadius * m_view.zoom())));
    for (const int y : g.dotY) {
        const int cx = sc(g.dotX);
        const int cy = sc(y);
        m_canvas.drawEllipse(cx - r, cy - r, cx + r + 1, cy + r + 1);
    }
    m_canvas.setNoBrush();
}

void SheetDrawing::drawRowRepeatStarts(const StaffRow& row, const Track& t)
{
    MeasureRepeatMarks startStorage;
    MeasureRepeatMarks endStorage;
    const MeasureRepeatMarks& marks = signedMeasures(t, true, startStorage);
    const MeasureRepeatMarks& ends = signedMeasures(t, false, endStorage);
    if (marks.empty())
        return;
    const int track = row.index % m_trackCount;
    const std::vector<MeasureRecord>& records = m_layout.measures(track);
    const int inUse = std::min(m_layout.measuresInUse(track), static_cast<int>(records.size()) - 1);
    const bool tablature = staffOf(t).isTablature();
    for (const int m : marks.measures()) {
        if (m > inUse)
            break;
        const MeasureRecord& rec = records[static_cast<std::size_t>(m)];
        if (rec.rowIndex != row.index)
            continue;
        const bool opensRow = rec.startsRow || rec.x <= 0;
        // A repeat back to the piece's start needs no opening sign, as engravers leave it out:
        // there it would stand on the time signature.
        if (m == 1 && opensRow)
            continue;
        // The measure before closes its own repeat at the same bar line: :||: shares one thick line.
        const bool afterEnd = !opensRow && m > 1 && ends.contains(m - 1);
        const int thinX = repeatStartThinX(row.keySigWidth, rec);
        const RepeatSignGeometry g = repeatStartGeometryAt(top(row), thinX, tablature, afterEnd);
        pen(m_tools.black);
        // Inside a staff row the bar line is there already; a row start and a tablature have none.
        if (afterEnd || opensRow || tablature)
            m_canvas.drawLine(sc(g.thinX), sc(g.top), sc(g.thinX), sc(g.bottom));
        if (!afterEnd) {
            const int left = sc(g.thickLeft);
            m_canvas.fillRect(left, sc(g.top), std::max(left + 2, sc(g.thickRight)), sc(g.bottom) + 1,
                              kBlack);
        }
        m_canvas.setBrush(kBlack);
        const int r = std::max(1, static_cast<int>(std::lround(kRepeatDotRadius * m_view.zoom())));
        for (const int y : g.dotY) {
            const int cx = sc(g.dotX);
            const int cy = sc(y);
            m_canvas.drawEllipse(cx - r, cy - r, cx + r + 1, cy + r + 1);
        }
        m_canvas.setNoBrush();
    }
}

void SheetDrawing::drawRowRepeats(const StaffRow& row, const Track& t, int start, int end, int n)
{
    MeasureRepeatMarks storage;
    const MeasureRepeatMarks& marks = signedMeasures(t, false, storage);
    if (marks.empty() || start >= end)
        return;
    const int track = row.index % m_trackCount;
    const std::vector<MeasureRecord>& records = m_layout.measures(track);
    const int inUse = std::min(m_layout.measuresInUse(track), static_cast<int>(records.size()) - 1);
    const bool tablature = staffOf(t).isTablature();
    // Inside the row a marked measure ends at the opening bar line of the next one; the staff
    // draws that bar line, a tablature draws none, so the sign brings its own there.
    for (const int m : marks.measures()) {
        if (m >= inUse)
            break;
        const MeasureRecord& next = records[static_cast<std::size_t>(m + 1)];
        if (next.rowIndex == row.index && !next.startsRow && next.x > 0)
            drawRepeatSign(row, next.x, tablature, tablature);
    }
    // The measure of the row's last note ends on this row unless the notes after the row go on
    // with it (a staff break inside a measure). It ends at the staff's end when it fills the
    // row's last place, otherwise where its place on the row ends, after its last note.
    int last = end - 1;
    while (last >= start && (t.rootOf(last, n) != -1 || t.noteAt(last).type == kTypeStaffBreak))
        --last;
    if (last < start || place(track, last).rowIndex != row.index)
        return;
    const int m = place(track, last).measureIndex + 1;
    if (!marks.contains(m) || m < 1 || m > inUse)
        return;
    if (end < n && place(track, end).measureIndex + 1 == m)
        return;
    const int thinX =
        measureEndThinX(m_layout, row.index, records[static_cast<std::size_t>(m)], place(track, last).x);
    drawRepeatSign(row, thinX, true, tablature);
}

void SheetDrawing::drawVoltaBrackets(int systemFirstRow)
{
    if (m_trackCount < 1)
        return;
    const Track* t = m_sheet.trackAt(0);
    if (!t || t->repeatRanges.empty())
        return;
    const StaffRow row = m_layout.row(systemFirstRow);
    const std::vector<MeasureRecord>& records = m_layout.measures(0);
    const int inUse = std::min(m_layout.measuresInUse(0), static_cast<int>(records.size()) - 1);
    auto onRow = [&](int m) {
        return m >= 1 && m <= inUse && records[static_cast<std::size_t>(m)].rowIndex == systemFirstRow;
    };
    // Where a measure's room on the row starts and ends.
    auto leftOf = [&](int m) {
        const MeasureRecord& rec = records[static_cast<std::size_t>(m)];
        if (rec.startsRow || rec.x <= 0)
            return repeatStartThinX(row.keySigWidth, rec) - 12;
        return static_cast<int>(rec.x) + kRepeatSignWidth;
    };
    auto rightOf = [&](int m) {
        if (onRow(m + 1)) {
            const MeasureRecord& next = records[static_cast<std::size_t>(m + 1)];
            if (!next.startsRow && next.x > 0)
                return static_cast<int>(next.x);
        }
        return measureEndThinX(m_layout, systemFirstRow, records[static_cast<std::size_t>(m)], row.lastX) +
               kRepeatSignWidth;
    };
    const int y = top(row) - kVoltaRise;
    pen(m_tools.black);
    font(m_tools.smallBold);
    textColor(kBlack);
    // One bracket over measures from..to: the part of it on this row, hooked down where it
    // starts and, for a first ending, where it ends.
    auto bracket = [&](int from, int to, const char* label, bool closed) {
        int a = from;
        while (a <= to && !onRow(a))
            ++a;
        if (a > to)
            return;
        int b = a;
        while (b + 1 <= to && onRow(b + 1))
            ++b;
        const int left = leftOf(a);
        const int right = std::max(left + 10, rightOf(b) - 3);
        m_canvas.drawLine(sc(left), sc(y), sc(right), sc(y));
        if (a == from) {
            m_canvas.drawLine(sc(left), sc(y), sc(left), sc(y + kVoltaHook));
            m_canvas.drawText(sc(left + 4), sc(y + 2), label);
        }
        if (closed && b == to)
            m_canvas.drawLine(sc(right), sc(y), sc(right), sc(y + kVoltaHook));
    };
    for (const RepeatRange& r : t->repeatRanges) {
        if (r.first > inUse)
            break;
        if (r.firstEnding > 0)
            bracket(r.last - r.firstEnding + 1, r.last, "1.", true);
        if (r.secondEnding > 0)
            bracket(r.last + 1, r.reach(), "2.", false);
    }
}

} // namespace tonvela
