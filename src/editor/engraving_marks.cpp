// The marks around the notes: clef, key and time signature at a row's start, bar lines that
// meet, the final bar line and the end of a track's staff, and the room notes keep before the
// bar line that closes their measure.

#include "editor/engraving_marks.h"

#include "editor/glyphs.h"
#include "editor/layout.h"
#include "editor/sheet_drawing.h"
#include "score/duration.h"
#include "score/note.h"
#include "score/sheet_document.h"
#include "score/time_signature.h"
#include "score/track.h"

#include <algorithm>
#include <vector>

namespace tonvela {
namespace {

// Room between neighbouring signs at a row's start.
constexpr int kSignGap = 3;
// Width of a time-signature digit.
constexpr int kTimeDigitWidth = 11;
// Width of the rest that fills a measure.
constexpr int kMeasureRestWidth = 11;

// Kinds that stand for nothing the reader sees in a measure's music: markers, breaks and bar
// line notes (a bar line at the track's end is the final bar line's).
bool countsAsMusic(const Note& n)
{
    return n.type != kTypeStaffBreak && n.type != kTypeBar && n.type != kTypeMark1737 &&
           n.type != kTypeMark1743;
}

bool hasDuration(const Note& n)
{
    return n.type >= kTypeWhole && n.type <= kTypeThirtySecond;
}

} // namespace

int roomBeforeBar(const Note& n)
{
    // A head reaches 13 units right of x, a whole note's 15; an up-stem flag 19, a dot 20.
    int reach = n.type == kTypeWhole ? 15 : 13;
    const bool flagged = n.type == kTypeEighth || n.type == kTypeSixteenth || n.type == kTypeThirtySecond;
    if (flagged && !n.isRest() && n.layout.stemDown == 0 && !(n.dwFlag & kFlagBeamed))
        reach = 19;
    if (n.dwFlag & kFlagDot)
        reach = 20;
    return reach + 3;
}

ClefPlacement clefPlacement(ClefSign sign)
{
    // By ClefSign: the G clef curls round the second line, the F clef's dots sit either side of
    // the fourth, the drum clef's two bars stand on the middle three lines.
    static constexpr ClefPlacement kPlacements[] = {
        {kGlyphGClef, kClefLeft, -10},
        {kGlyphFClef, kFClefLeft, 0},
        {kGlyphPercussionClef, kStaffLeft + 9, 11},
        {0, 0, 0},
    };
    return kPlacements[static_cast<std::size_t>(sign)];
}

int keySignatureLeft()
{
    return kClefRight + kSignGap;
}

int timeSignatureLeft(int keyMarks)
{
    if (keyMarks <= 0)
        return keySignatureLeft();
    // The last accidental's glyph is one unit narrower than the pitch.
    return keySignatureLeft() + kKeyMarkPitch * keyMarks - 1 + kSignGap;
}

int measureEndThinX(const SheetViewState& view, const StaffRow& row, const MeasureRecord& rec, int lastX)
{
    const SheetDocument& sheet = view.sheet();
    const int mw = std::max(1, sheet.measureWidth);
    const int mpr = std::max(1, sheet.measuresPerRow);
    const int staffEnd = kStaffLeft + row.length;
    const int afterLast = lastX + kRepeatAfterNote;
    int thinX = staffEnd - kRepeatSignWidth;
    if (rec.rowIndex != row.index) {
        // Carried over a staff break: it ends after its last note on this row.
        thinX = std::min(thinX, afterLast);
    } else {
        // The measure's place on the row ends before the staff's end when measures follow it.
        const int placeEnd =
            (rec.startsRow ? 0 : std::max(0, static_cast<int>(rec.x))) + (rec.width > 0 ? rec.width : mw);
        if (placeEnd < mpr * mw)
            thinX = std::min(thinX, std::max(placeEnd, afterLast));
    }
    return thinX;
}

TrackEnd trackEnd(const SheetViewState& view, int j)
{
    TrackEnd end;
    const Track* t = view.sheet().trackAt(j);
    if (!t)
        return end;
    const int laid = std::min(view.laidOutCount(j), t->count);
    int last = laid - 1;
    while (last >= 0 && (t->rootOf(last, laid) != -1 || !countsAsMusic(t->noteAt(last))))
        --last;
    if (last < 0)
        return end;
    const Note& note = t->noteAt(last);
    const std::vector<MeasureRecord>& records = view.measures(j);
    const int m = note.layout.measureIndex + 1;
    const int row = note.layout.rowIndex;
    if (m < 1 || m >= static_cast<int>(records.size()) || row < 0 || row >= view.rowCount())
        return end;
    end.row = row;
    end.lastNote = last;
    end.measure = m;
    end.thinX = measureEndThinX(view, view.row(row), records[static_cast<std::size_t>(m)], note.layout.x);
    end.endX = end.thinX + kRepeatSignWidth;
    return end;
}

namespace {

// The closing bar line's x of measure m, from the records and the track's end.
int closingX(const SheetViewState& view, int j, int m, const TrackEnd& end, int lastRow)
{
    const std::vector<MeasureRecord>& records = view.measures(j);
    const int inUse = std::min(view.measuresInUse(j), static_cast<int>(records.size()) - 1);
    if (m < inUse) {
        const MeasureRecord& next = records[static_cast<std::size_t>(m) + 1];
        if (!next.startsRow && next.x > 0 && next.rowIndex == lastRow)
            return next.x;
    }
    if (end.row >= 0 && m == end.measure)
        return end.thinX;
    return kStaffLeft + view.row(lastRow).length;
}

// x where a row's notes may start to make room: right of its time signature.
int rowMusicLeft(const Track& t)
{
    return timeSignatureLeft(keySignatureMarks(t).count) + kTimeDigitWidth;
}

void moveTo(const SheetViewState& view, Note& n, int x)
{
    n.layout.x = static_cast<int16_t>(std::clamp(x, 0, 32767));
    n.layout.zoomX = view.scaled(static_cast<int>(n.layout.x));
    n.layoutMarks();
}

} // namespace

int closingBarX(const SheetViewState& view, int j, int m)
{
    const Track* t = view.sheet().trackAt(j);
    const std::vector<MeasureRecord>& records = view.measures(j);
    if (!t || m < 1 || m >= static_cast<int>(records.size()))
        return 0;
    const int row = records[static_cast<std::size_t>(m)].rowIndex;
    return closingX(view, j, m, trackEnd(view, j), std::clamp(row, 0, view.rowCount() - 1));
}

void fitMeasuresBetweenBars(SheetViewState& view, int j)
{
    Track* t = view.sheet().trackAt(j);
    if (!t)
        return;
    const int laid = std::min(view.laidOutCount(j), t->count);
    const std::vector<MeasureRecord>& records = view.measures(j);
    const int inUse = std::min(view.measuresInUse(j), static_cast<int>(records.size()) - 1);
    const TrackEnd end = trackEnd(view, j);
    const Ticks measureLength = measureTicksOf(t->timeSig);
    const int musicLeft = rowMusicLeft(*t);
    std::vector<int> roots;
    for (int m = 1; m <= inUse; ++m) {
        const MeasureRecord& rec = records[static_cast<std::size_t>(m)];
        if (rec.firstNote < 0 || rec.firstNote >= laid || rec.rowIndex < 0)
            continue;
        int stop = laid;
        if (m < inUse && records[static_cast<std::size_t>(m) + 1].firstNote > rec.firstNote)
            stop = std::min(laid, static_cast<int>(records[static_cast<std::size_t>(m) + 1].firstNote));
        roots.clear();
        bool oneRow = true;
        int music = 0;
        int durations = 0;
        for (int i = rec.firstNote; i < stop; ++i) {
            const Note& n = t->noteAt(i);
            if (t->rootOf(i, laid) != -1 || n.type == kTypeStaffBreak)
                continue;
            oneRow = oneRow && n.layout.rowIndex == rec.rowIndex;
            roots.push_back(i);
            music += countsAsMusic(n) ? 1 : 0;
            durations += hasDuration(n) ? 1 : 0;
        }
        // A measure a staff break carries onto the next row keeps its places.
        if (roots.empty() || !oneRow)
            continue;
        const int closeX = closingX(view, j, m, end, rec.rowIndex);
        bool moved = false;
        Note& last = t->noteAt(roots.back());
        if (music == 1 && durations == 1 && last.isRest() && lengthTicks(last) >= measureLength) {
            // The rest that fills its measure stands in the middle of it.
            const int left = rec.startsRow ? musicLeft : rec.x;
            moveTo(view, last, (left + closeX - kMeasureRestWidth) / 2);
            moved = true;
        } else if (roots.size() >= 2 && last.layout.x + roomBeforeBar(last) > closeX) {
            const int first = t->noteAt(roots.front()).layout.x;
            const int span = last.layout.x - first;
            const int room = closeX - roomBeforeBar(last) - first;
            if (span > 0 && room > 0) {
                for (const int i : roots) {
                    Note& n = t->noteAt(i);
                    moveTo(view, n,
                           first +
                               static_cast<int>(static_cast<long long>(n.layout.x - first) * room / span));
                    n.layout.width =
                        static_cast<int16_t>(static_cast<long long>(n.layout.width) * room / span);
                    n.layout.zoomWidth = view.scaled(static_cast<int>(n.layout.width));
                }
                moved = true;
            }
        }
        if (!moved)
            continue;
        for (int i = rec.firstNote; i < stop; ++i) {
            const int root = t->rootOf(i, laid);
            if (root >= 0)
                moveTo(view, t->noteAt(i), t->noteAt(root).layout.x);
        }
        // Where the pointer inserts between notes follows them.
        int prev = -1;
        for (const int i : roots) {
            Note& n = t->noteAt(i);
            if (prev >= 0)
                n.layout.prevRootX = t->noteAt(prev).layout.x;
            prev = i;
        }
    }
}

// ---- Drawing -------------------------------------------------------------------------------

int SheetDrawing::staffRight(const StaffRow& row) const
{
    const int j = row.index % std::max(1, m_trackCount);
    const TrackEnd& end = m_ends[static_cast<std::size_t>(j)];
    if (end.row < 0 || row.index < end.row)
        return kStaffLeft + row.length;
    if (row.index == end.row)
        return end.endX;
    return -1;
}

bool SheetDrawing::endsTrack(const StaffRow& row) const
{
    const TrackEnd& end = m_ends[static_cast<std::size_t>(row.index % std::max(1, m_trackCount))];
    return end.row >= 0 && row.index == end.row;
}

std::vector<std::pair<int, int>> SheetDrawing::barRuns(const StaffRow& row, int x) const
{
    // From the first staff of the system that reaches x to the last one that does; a track that
    // has ended leaves its place open.
    const int tracks = std::max(1, m_trackCount);
    const int first = row.index - row.index % tracks;
    std::vector<std::pair<int, int>> runs;
    bool joined = false;
    for (int r = first; r < first + tracks && r < m_view.rowCount(); ++r) {
        const StaffRow& s = m_view.row(r);
        if (staffRight(s) < x) {
            joined = false;
            continue;
        }
        const int bottom = s.top + 4 * s.spacing;
        if (joined)
            runs.back().second = bottom;
        else
            runs.emplace_back(s.top, bottom);
        joined = true;
    }
    if (runs.empty())
        runs.emplace_back(row.top, row.top + 4 * row.spacing);
    return runs;
}

std::pair<int, int> SheetDrawing::barSpan(const StaffRow& row, int x) const
{
    const std::vector<std::pair<int, int>> runs = barRuns(row, x);
    return {runs.front().first, runs.back().second};
}

void SheetDrawing::strokeBar(const StaffRow& row, int x, int deviceX)
{
    for (const auto& [top, bottom] : barRuns(row, x))
        m_canvas.drawLine(deviceX, sc(top), deviceX, sc(bottom));
}

void SheetDrawing::drawFinalBar(const StaffRow& row, bool tablature)
{
    const TrackEnd& end = m_ends[static_cast<std::size_t>(row.index % std::max(1, m_trackCount))];
    const Track* t = row.track;
    // A measure marked to repeat ends with the repeat sign instead.
    if (t && t->measureRepeats.contains(end.measure))
        return;
    const RepeatSignGeometry g = repeatSignGeometry(row, end.thinX, tablature);
    // Staves of one system that end together share one final bar line down through them.
    int bottom = g.bottom;
    const int tracks = std::max(1, m_trackCount);
    if (row.index % tracks != tracks - 1 && row.index + 1 < m_view.rowCount()) {
        const StaffRow& next = m_view.row(row.index + 1);
        if (endsTrack(next) && m_ends[static_cast<std::size_t>(next.index % tracks)].thinX == end.thinX)
            bottom = next.top;
    }
    pen(m_tools.black);
    m_canvas.drawLine(sc(g.thinX), sc(g.top), sc(g.thinX), sc(bottom));
    const int left = sc(g.thickLeft);
    m_canvas.fillRect(left, sc(g.top), std::max(left + 2, sc(g.thickRight)), sc(bottom) + 1, kBlack);
}

} // namespace tonvela
