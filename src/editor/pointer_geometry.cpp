#include "editor/layout.h"

#include "editor/engraving_marks.h"
#include "editor/sheet_drawing.h"

#include "score/sheet_document.h"
#include "score/track.h"

#include <algorithm>

// Where the pointer is on a laid-out sheet: rows and clef boxes, hover guides, bar lines. Points
// are sheet units from the sheet's top, as the layout places rows.

namespace tonvela {

bool hitRow(SheetViewState& view, const StaffRow& row, int x, int y)
{
    if (x >= row.clefLeft && x < row.clefRight && y >= row.clefTop && y < row.clefBottom &&
        row.clefRight > row.clefLeft) {
        view.hoveredTrack = view.sheet().trackCount() > 0 ? row.index % view.sheet().trackCount() : -1;
        return true;
    }
    return y >= row.top - 35 && y <= row.top + 75;
}

bool trackHover(SheetViewState& view, const StaffRow& row, int x, int y)
{
    int above = -1, below = -1;
    if (x >= kStaffLeft + 10 && y >= row.top - 35 && y <= row.top)
        above = x;
    else if (y >= row.top + 35 && y <= row.top + 75)
        below = x;
    SheetViewState::HoverGuide guide;
    guide.row = row.index;
    guide.aboveX = above;
    guide.belowX = below;
    guide.y = (above >= 0 || below >= 0) ? y : 0;
    const bool changed = !(guide == view.guide);
    view.guide = guide;
    return changed;
}

std::optional<ClosingBar> closingBarLine(const SheetViewState& view, int track, int m)
{
    const Track* t = view.sheet().trackAt(track);
    const std::vector<MeasureRecord>& records = view.measures(track);
    const int inUse = std::min(view.measuresInUse(track), static_cast<int>(records.size()) - 1);
    const int laid = std::min(view.laidOutCount(track), t ? t->count : 0);
    if (!t || m < 1 || m > inUse || laid <= 0)
        return std::nullopt;
    const MeasureRecord& rec = records[static_cast<std::size_t>(m)];
    if (rec.firstNote < 0 || rec.firstNote >= laid)
        return std::nullopt;
    if (m < inUse) {
        const MeasureRecord& next = records[static_cast<std::size_t>(m) + 1];
        if (!next.startsRow && next.x > 0 && next.rowIndex >= 0)
            return ClosingBar{next.rowIndex, next.x, false};
    }
    // The row the measure ends on: that of its last note, which a staff break inside the
    // measure may have carried onto a later row than the measure's first.
    const int nextFirst = m < inUse ? records[static_cast<std::size_t>(m) + 1].firstNote : laid;
    const int last = std::clamp(nextFirst, rec.firstNote + 1, laid) - 1;
    const int row = view.noteLayout(track, last).rowIndex;
    if (row < 0 || row >= view.rowCount())
        return std::nullopt;
    // The track's last measure ends at its final bar line.
    const TrackEnd& end = trackEnd(view, track);
    if (end.row == row && end.measure == m)
        return ClosingBar{row, end.thinX, true, true};
    return ClosingBar{row, kStaffLeft + view.row(row).length, true};
}

namespace {

// True when the point lies on a bar line at x drawn with `row`: the line spans the row's
// whole system.
bool onBarLine(const SheetViewState& view, int row, int x, int px, int py)
{
    const int tracks = view.sheet().trackCount();
    if (tracks <= 0 || row < view.firstVisibleRow || row >= view.rowsInUse() || row >= view.rowCount() ||
        view.rowTopInWindow(row) > view.layoutHeight)
        return false;
    const StaffRow first = view.row(row - row % tracks);
    const int top = first.top;
    const int bottom = top + (tracks - 1) * view.rowPitch() + 4 * first.spacing;
    return x - 10 < px && px < x + 10 && top - 5 < py && py < bottom + 5;
}

} // namespace

bool hoverBarLine(SheetViewState& view, int track, int px, int py)
{
    clearBarHover(view, track);
    const Track* t = view.sheet().trackAt(track);
    if (!t || staffOf(*t).isTablature())
        return false;
    const int inUse = std::min(view.measuresInUse(track), static_cast<int>(view.measures(track).size()) - 1);
    for (int m = 1; m <= inUse; ++m) {
        const std::optional<ClosingBar> bar = closingBarLine(view, track, m);
        if (!bar || !onBarLine(view, bar->row, bar->x, px, py))
            continue;
        // The final bar line stands just right of where a click appends the next note: only the
        // line itself is a target.
        if (bar->trackEnd && (px <= bar->x - 3 || px >= bar->x + kRepeatSignWidth + 3))
            continue;
        if (bar->rowEnd)
            view.hoveredBar = {track, m, true};
        else
            view.hoveredBar = {track, m + 1, false};
        return true;
    }
    return false;
}

void clearBarHover(SheetViewState& view, int track)
{
    if (view.hoveredBar.track == track)
        view.hoveredBar = {};
}

int hoveredClosingMeasure(const SheetViewState& view, int track)
{
    const SheetViewState::HoveredBar& bar = view.hoveredBar;
    if (bar.track != track || bar.measure < 1 || bar.measure > view.measuresInUse(track))
        return 0;
    if (!bar.rowEnd)
        return bar.measure > 1 ? bar.measure - 1 : 0;
    return bar.measure;
}

} // namespace tonvela
