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
#include "score/staff_kind.h"
#include "score/time_signature.h"
#include "score/track.h"

#include <algorithm>
#include <vector>

namespace tonvela {
namespace {

// Room between neighbouring signs at a row's start.
constexpr int kSignGap = 3;
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

int roomBeforeBar(const Note& n, const NoteLayout& p)
{
    // A head reaches 13 units right of x, a whole note's 15; an up-stem flag 19, a dot 20.
    int reach = n.type == kTypeWhole ? 15 : 13;
    const bool flagged = n.type == kTypeEighth || n.type == kTypeSixteenth || n.type == kTypeThirtySecond;
    if (flagged && !n.isRest() && p.stemDown == 0 && !p.beamed)
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

int measureEndThinX(const SheetLayout& sheet, int row, const MeasureRecord& rec, int lastX)
{
    const int mw = std::max(1, sheet.measureWidth);
    const int mpr = std::max(1, sheet.measuresPerRow);
    const int staffEnd = kStaffLeft + sheet.layoutWidth - 70;
    const int afterLast = lastX + kRepeatAfterNote;
    int thinX = staffEnd - kRepeatSignWidth;
    if (rec.rowIndex != row) {
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

TrackEnd trackEndOf(const SheetLayout& sheet, const Track& t, const TrackLayout& lay)
{
    TrackEnd end;
    const int laid = std::min(lay.laidOut, t.count);
    int last = laid - 1;
    while (last >= 0 && (t.rootOf(last, laid) != -1 || !countsAsMusic(t.noteAt(last))))
        --last;
    if (last < 0)
        return end;
    const NoteLayout& p = lay.notes[static_cast<std::size_t>(last)];
    const int m = p.measureIndex + 1;
    const int row = p.rowIndex;
    if (m < 1 || m >= static_cast<int>(lay.measures.size()) || row < 0)
        return end;
    end.row = row;
    end.lastNote = last;
    end.measure = m;
    end.thinX = measureEndThinX(sheet, row, lay.measures[static_cast<std::size_t>(m)], p.x);
    end.endX = end.thinX + kRepeatSignWidth;
    return end;
}

const TrackEnd& trackEnd(const SheetViewState& view, int j)
{
    return view.layout().trackEnd(j);
}

namespace {

// The closing bar line's x of measure m, from the records and the track's end.
int closingX(const SheetLayout& sheet, const TrackLayout& lay, int m, const TrackEnd& end, int lastRow)
{
    const std::vector<MeasureRecord>& records = lay.measures;
    const int inUse = std::min(lay.measuresInUse, static_cast<int>(records.size()) - 1);
    if (m < inUse) {
        const MeasureRecord& next = records[static_cast<std::size_t>(m) + 1];
        if (!next.startsRow && next.x > 0 && next.rowIndex == lastRow)
            return next.x;
    }
    if (end.row >= 0 && m == end.measure)
        return end.thinX;
    return kStaffLeft + sheet.layoutWidth - 70;
}

// x where a row's notes may start to make room: right of its time signature.
int rowMusicLeft(const Track& t)
{
    const int digits = timeSignatureGlyphs(t.timeSig).tens != 0 ? 2 : 1;
    return timeSignatureLeft(keySignatureMarks(t).count) + kTimeDigitWidth * (digits + 1) / 2;
}

void moveTo(const Note& n, NoteLayout& p, int x)
{
    p.x = std::max(x, 0);
    placeShownMarks(n, p);
}

} // namespace

int closingBarX(const SheetViewState& view, int j, int m)
{
    const TrackLayout* lay = view.layout().track(j);
    if (!lay || m < 1 || m >= static_cast<int>(lay->measures.size()))
        return 0;
    return closingX(view.layout(), *lay, m, lay->end, lay->measures[static_cast<std::size_t>(m)].rowIndex);
}

void fitMeasuresBetweenBars(const SheetLayout& sheet, const Track& t, TrackLayout& lay, const TrackEnd& end,
                            int fromMeasure)
{
    const int laid = std::min(lay.laidOut, t.count);
    const std::vector<MeasureRecord>& records = lay.measures;
    const int inUse = std::min(lay.measuresInUse, static_cast<int>(records.size()) - 1);
    const Ticks measureLength = measureTicksOf(t.timeSig);
    const int musicLeft = rowMusicLeft(t);
    auto at = [&](int i) -> NoteLayout& { return lay.notes[static_cast<std::size_t>(i)]; };
    std::vector<int> roots;
    for (int m = std::max(fromMeasure, 1); m <= inUse; ++m) {
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
            const Note& n = t.noteAt(i);
            if (t.rootOf(i, laid) != -1 || n.type == kTypeStaffBreak)
                continue;
            oneRow = oneRow && at(i).rowIndex == rec.rowIndex;
            roots.push_back(i);
            music += countsAsMusic(n) ? 1 : 0;
            durations += hasDuration(n) ? 1 : 0;
        }
        // A measure a staff break carries onto the next row keeps its places.
        if (roots.empty() || !oneRow)
            continue;
        const int closeX = closingX(sheet, lay, m, end, rec.rowIndex);
        bool moved = false;
        const Note& last = t.noteAt(roots.back());
        NoteLayout& lastPlace = at(roots.back());
        if (music == 1 && durations == 1 && last.isRest() && lengthTicks(last) >= measureLength) {
            // The rest that fills its measure stands in the middle of it.
            const int left = rec.startsRow ? musicLeft : rec.x;
            moveTo(last, lastPlace, (left + closeX - kMeasureRestWidth) / 2);
            moved = true;
        } else if (roots.size() >= 2 && lastPlace.x + roomBeforeBar(last, lastPlace) > closeX) {
            const int first = at(roots.front()).x;
            const int span = lastPlace.x - first;
            const int room = closeX - roomBeforeBar(last, lastPlace) - first;
            if (span > 0 && room > 0) {
                for (const int i : roots) {
                    NoteLayout& p = at(i);
                    moveTo(t.noteAt(i), p,
                           first + static_cast<int>(static_cast<long long>(p.x - first) * room / span));
                    p.width = static_cast<int32_t>(static_cast<long long>(p.width) * room / span);
                }
                moved = true;
            }
        }
        if (!moved)
            continue;
        for (int i = rec.firstNote; i < stop; ++i) {
            const int root = t.rootOf(i, laid);
            if (root >= 0)
                moveTo(t.noteAt(i), at(i), at(root).x);
        }
        // Where the pointer inserts between notes follows them.
        int prev = -1;
        for (const int i : roots) {
            if (prev >= 0)
                at(i).prevRootX = at(prev).x;
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
    // A staff's bottom line: a tablature has six lines, the other staves five.
    const auto bottomOf = [&](const StaffRow& s) {
        const Track* t = m_sheet.trackAt(s.index % tracks);
        return s.top + ((t ? staffOf(*t).lines : 5) - 1) * s.spacing;
    };
    std::vector<std::pair<int, int>> runs;
    bool joined = false;
    for (int r = first; r < first + tracks && r < m_layout.rowCount(); ++r) {
        const StaffRow s = m_layout.row(r);
        if (staffRight(s) < x) {
            joined = false;
            continue;
        }
        const int bottom = bottomOf(s);
        if (joined)
            runs.back().second = bottom;
        else
            runs.emplace_back(s.top, bottom);
        joined = true;
    }
    if (runs.empty())
        runs.emplace_back(row.top, bottomOf(row));
    return runs;
}

std::pair<int, int> SheetDrawing::barSpan(const StaffRow& row, int x) const
{
    const std::vector<std::pair<int, int>> runs = barRuns(row, x);
    return {runs.front().first, runs.back().second};
}

void SheetDrawing::strokeBar(const StaffRow& row, int x, int deviceX)
{
    for (const auto& [from, to] : barRuns(row, x))
        m_canvas.drawLine(deviceX, sc(shown(from)), deviceX, sc(shown(to)));
}

void SheetDrawing::drawFinalBar(const StaffRow& row, bool tablature)
{
    const TrackEnd& end = m_ends[static_cast<std::size_t>(row.index % std::max(1, m_trackCount))];
    const Track* t = m_sheet.trackAt(row.track);
    // A measure marked to repeat ends with the repeat sign instead.
    if (t && t->measureRepeats.contains(end.measure))
        return;
    const RepeatSignGeometry g = repeatSignGeometryAt(top(row), end.thinX, tablature);
    // Staves of one system that end together share one final bar line down through them.
    int bottom = g.bottom;
    const int tracks = std::max(1, m_trackCount);
    if (row.index % tracks != tracks - 1 && row.index + 1 < m_layout.rowCount()) {
        const StaffRow next = m_layout.row(row.index + 1);
        if (endsTrack(next) && m_ends[static_cast<std::size_t>(next.index % tracks)].thinX == end.thinX)
            bottom = top(next);
    }
    pen(m_tools.black);
    m_canvas.drawLine(sc(g.thinX), sc(g.top), sc(g.thinX), sc(bottom));
    const int left = sc(g.thickLeft);
    m_canvas.fillRect(left, sc(g.top), std::max(left + 2, sc(g.thickRight)), sc(bottom) + 1, kBlack);
}

} // namespace tonvela
