#include "editor/layout.h"

#include "editor/engraving_marks.h"
#include "editor/glyphs.h"
#include "editor/lyric_spacing.h"

#include "score/note.h"
#include "score/sheet_document.h"
#include "score/sounding_pitch.h"
#include "score/track.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace tonvela {
namespace {

int16_t toInt16(int v)
{
    return static_cast<int16_t>(
        std::clamp<int>(v, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
}

// Clears the beam marks of the last layout and turns the stems of lone notes on or above the
// middle line down (on a percussion track every stem stays up), for notes from `from` on (the
// walk does so for the notes it lays out).
void resetLayoutFlags(Track& t, int from)
{
    for (int i = from; i < t.count; ++i) {
        Note& n = t.noteAt(i);
        n.dwFlag &= ~kFlagBeamed;
        n.layout.stemDown =
            (n.line <= 0 && !t.percussive && n.chordparent == -1 && n.childCount == 0) ? 1 : 0;
    }
}

bool isRootAt(const Track& track, int i, int n)
{
    return track.rootOf(i, n) == -1;
}

// The note's box times the zoom `z` (the view's zoom, as SheetViewState::scaled applies it).
void setScaledBox(float z, Note& n)
{
    auto scaled = [z](int v) { return static_cast<int>(static_cast<float>(v) * z); };
    n.layout.zoomX = scaled(n.layout.x);
    n.layout.zoomY = scaled(n.layout.y);
    n.layout.zoomWidth = scaled(n.layout.width);
}

void setRowScaled(const SheetViewState& view, StaffRow& row)
{
    row.leftScaled = view.scaled(kStaffLeft);
    row.topScaled = view.scaled(row.top);
    row.spacingScaled = view.scaled(row.spacing);
    row.lengthScaled = view.scaled(row.length);
    row.clefLeft = kStaffLeft;
    row.clefRight = kStaffLeft + 30;
    row.clefTop = row.top;
    row.clefBottom = row.top + 60;
}

// Stretches the notes from `from` up to `to` so their chord roots fill w units, leaving the
// roots with syllables at least the width those need (`needs`, by note; may be empty).
void justify(Track& track, int from, int to, int w, const std::vector<int>& needs)
{
    if (justifyAroundLyrics(track, from, to, w, needs))
        return;
    long long sum = 0;
    for (int i = from; i < to; ++i) {
        const Note& n = track.noteAt(i);
        if (n.chordparent == -1 && n.type != kTypeStaffBreak)
            sum += kindWidthOf(n.type);
    }
    if (sum <= 0)
        return;
    const double factor = static_cast<double>(w) / static_cast<double>(sum);
    if (factor < 0.1)
        return;
    for (int i = from; i < to; ++i) {
        Note& n = track.noteAt(i);
        n.layout.width = toInt16(static_cast<int>(kindWidthOf(n.type) * factor));
    }
}

// The notes one staff row of a track shows, as the measure and row walk finds them.
struct RowSpan {
    int firstNote = 0; // first chord root on the row (staff breaks passed over)
    int endNote = 0;   // one past the last note of the row
    int noteCount = 0; // chord roots on the row, staff breaks excluded
};

// What the measure and row walk of one track found: the track's rows in order (the k-th is the
// sheet's row j + k x tracks) and the notes given a row.
struct TrackWalk {
    int laid = 0;
    std::vector<RowSpan> rows;
};

// Rows of track j from the score's division into measures: the measures flow onto the track's
// rows, a given number per row (a measure opened by a kind-1743 note does not count), fewer
// when measures widened by lyrics would run past the row's end; a staff break ends a row at
// once. Every note up to kMaxLayoutNotes gets a row; the measure records grow to the
// division's measures.
void walkMeasuresAndRows(SheetViewState& view, Track& t, int j, int trackCount, int mpr,
                         const MeasureWidths& widths, TrackWalk& walk)
{
    const int n = std::min(t.count, kMaxLayoutNotes);
    const MeasureDivision& division = t.measureDivision();
    std::vector<MeasureRecord>& records = view.measures(j);
    records.resize(static_cast<std::size_t>(std::max(division.measureCount(), kMeasureCount)) + 1);
    for (std::size_t m = 1; m < records.size(); ++m) {
        MeasureRecord& rec = records[m];
        rec.startsRow = 0;
        rec.lastOnRow = 0;
        rec.x = 0;
        rec.firstNote = -1;
        rec.rowIndex = -1;
        rec.rootCount = 0;
        rec.width = 0;
    }
    int rowIdx = j;
    walk.laid = 0;
    walk.rows.assign(1, RowSpan{});
    int m = 1;
    auto measure = [&](int k) -> MeasureRecord& { return records[static_cast<std::size_t>(k)]; };
    measure(1).firstNote = 0;
    measure(1).startsRow = 1; // the track's first row opens with its first measure
    measure(1).rowIndex = rowIdx;
    measure(1).width = widths.of(1);
    int closedOnRow = 0;
    int rowFirstMeasure = 1;
    int rowWidth = measure(1).width;
    bool rowWidened = measure(1).width > widths.measureWidth;

    auto firstRootFrom = [&](int i) {
        while (i < n && (!isRootAt(t, i, n) || t.noteAt(i).type == kTypeStaffBreak))
            ++i;
        return i;
    };
    // The track continues on its next row, starting at note i.
    auto nextRow = [&](int i) {
        walk.rows.back().endNote = i;
        rowIdx += trackCount;
        RowSpan next;
        next.firstNote = firstRootFrom(i);
        walk.rows.push_back(next);
        closedOnRow = 0;
        rowWidth = 0;
        rowWidened = false;
    };

    int i = 0;
    for (; i < n; ++i) {
        Note& note = t.noteAt(i);
        const bool root = isRootAt(t, i, n);
        const bool isBreak = note.type == kTypeStaffBreak;
        const int inMeasure = division.measureOf(i);
        if (inMeasure > m) {
            // Note i opens the next measure.
            m = inMeasure;
            measure(m).firstNote = i;
            measure(m).rowIndex = rowIdx;
            bool newRow = isBreak;
            bool full = false; // the row has no room left for the measure
            const int width = widths.of(m);
            if (!isBreak) {
                if (note.type != kTypeMark1743)
                    ++closedOnRow;
                full = (rowWidened || width > widths.measureWidth) && rowWidth + width > widths.rowLength;
                newRow = closedOnRow >= mpr || full;
            }
            if (newRow) {
                measure(m - 1).lastOnRow = 1;
                if (full && closedOnRow < mpr)
                    stretchMeasures(records, rowFirstMeasure, m - 1, mpr * widths.measureWidth);
                nextRow(i);
                measure(m).startsRow = 1;
                measure(m).rowIndex = rowIdx;
                measure(m).width = widths.of(m);
                rowFirstMeasure = m;
            } else {
                measure(m).width = width;
            }
            rowWidth += measure(m).width;
            rowWidened = rowWidened || measure(m).width > widths.measureWidth;
        } else if (isBreak) {
            // A break inside a measure keeps the measure going on the next row.
            nextRow(i);
            rowFirstMeasure = m + 1;
        }
        note.layout.measureIndex = m - 1;
        note.layout.rowIndex = rowIdx;
        // The reset of the last layout's beams and stems, and the kind's width, while the note
        // is at hand: lone notes on or above the middle line turn their stems down (on a
        // percussion track every stem stays up).
        note.dwFlag &= ~kFlagBeamed;
        note.layout.stemDown =
            (note.line <= 0 && !t.percussive && note.chordparent == -1 && note.childCount == 0) ? 1 : 0;
        note.layout.width = toInt16(kindWidthOf(note.type));
        if (root && !isBreak) {
            ++walk.rows.back().noteCount;
            ++measure(m).rootCount;
        }
    }
    walk.laid = i;
    walk.rows.back().endNote = i;
    measure(m).lastOnRow = 1;
    // The track ends here, but a longer track may go on along this row: the row is followed as
    // that track flows it, and filled as it fills it, so the bar lines of the system stay
    // together.
    int onRow = closedOnRow + 1;
    int after = 0;
    for (int k = m + 1; onRow < mpr; ++k, ++onRow) {
        const int next = widths.of(k);
        if ((rowWidened || next > widths.measureWidth) && rowWidth + after + next > widths.rowLength) {
            stretchMeasures(records, rowFirstMeasure, m, mpr * widths.measureWidth, after);
            break;
        }
        after += next;
        rowWidened = rowWidened || next > widths.measureWidth;
    }
    view.setMeasuresInUse(j, m);
}

// Measure x positions with justification, then every note's x, y and width. Returns the
// number of notes placed.
int placeTrack(SheetViewState& view, Track& t, int j, int laid, int ksw, const std::vector<int>& needs)
{
    SheetDocument& sheet = view.sheet();
    const float zoom = view.zoom();
    const int mpr = std::max(1, sheet.measuresPerRow);
    const int mw = sheet.measureWidth;
    std::vector<MeasureRecord>& records = view.measures(j);
    auto measure = [&](int k) -> MeasureRecord& { return records[static_cast<std::size_t>(k)]; };

    int a = 1;
    int rowX = 0;            // where the next measure of the row starts
    bool rowWidened = false; // a measure of the row so far takes more than the measure width
    for (int m = 1; m <= view.measuresInUse(j); ++m) {
        MeasureRecord& cur = measure(m);
        if (cur.width <= 0)
            cur.width = mw;
        if (cur.startsRow) {
            a = 1;
            cur.x = 0;
            rowX = cur.width;
            rowWidened = cur.width != mw;
        } else {
            cur.x = rowWidened ? rowX : a * mw;
            a = (a + 1 >= mpr) ? 1 : a + 1;
            rowX = cur.x + cur.width;
            rowWidened = rowWidened || cur.width != mw;
            if (m > 1 && measure(m - 1).rowIndex == cur.rowIndex) {
                const MeasureRecord& prev = measure(m - 1);
                int w = cur.x - prev.x - 20;
                if (prev.startsRow)
                    w -= ksw + 40;
                // A measure widened for its lyrics is always justified, however wide.
                if ((w <= 600 || prev.width > mw) && prev.firstNote >= 0 && cur.firstNote >= 0) {
                    int from = prev.firstNote;
                    const int root = from < laid ? t.rootOf(from, laid) : -1;
                    if (root >= 0)
                        from = root;
                    justify(t, from, std::min(cur.firstNote, laid), w, needs);
                }
            }
        }
        if (cur.lastOnRow && cur.firstNote >= 0 && cur.rowIndex >= 0)
            justify(t, cur.firstNote, std::min(view.row(cur.rowIndex).endNote, laid), cur.width - 40, needs);
    }

    int cursor = ksw + 50;
    int curRow = -1;
    int curMeasure = -1;
    int prevRootX = 0;
    bool rowStart = false;
    int placed = 0;
    for (; placed < laid; ++placed) {
        Note& note = t.noteAt(placed);
        if (note.layout.rowIndex < 0 || note.layout.rowIndex >= view.rowCount())
            break;
        if (!isRootAt(t, placed, laid))
            continue; // members take their root's place below
        StaffRow& row = view.row(note.layout.rowIndex);
        if (note.layout.rowIndex != curRow) {
            curRow = note.layout.rowIndex;
            curMeasure = note.layout.measureIndex;
            MeasureRecord& rec = measure(note.layout.measureIndex + 1);
            if (rec.rowIndex == row.index)
                rec.x = kStaffLeft;
            cursor = ksw + 50;
            rowStart = true;
        } else if (note.layout.measureIndex != curMeasure) {
            curMeasure = note.layout.measureIndex;
            const MeasureRecord& rec = measure(note.layout.measureIndex + 1);
            if (rec.x > 0)
                cursor = rec.x - 12;
        }
        note.layout.prevX = note.layout.x;
        const int x = cursor + 35;
        note.layout.x = toInt16(x);
        if (note.type != kTypeStaffBreak) {
            cursor += note.layout.width;
            note.layout.prevRootX = rowStart ? x - 30 : prevRootX;
            prevRootX = x;
            rowStart = false;
            row.lastX = x;
        }
        note.layout.y = toInt16(noteY(row, note));
        setScaledBox(zoom, note);
        note.layoutMarks();
    }
    for (int i = 0; i < placed; ++i) {
        const int r = t.rootOf(i, placed);
        if (r < 0)
            continue;
        Note& member = t.noteAt(i);
        const Note& root = t.noteAt(r);
        member.layout.prevX = member.layout.x;
        member.layout.x = root.layout.x;
        member.layout.prevRootX = root.layout.prevRootX;
        const int rowIdx = (root.layout.rowIndex >= 0 && root.layout.rowIndex < view.rowCount())
                               ? root.layout.rowIndex
                               : member.layout.rowIndex;
        member.layout.y = toInt16(noteY(view.row(rowIdx), member));
        setScaledBox(zoom, member);
        member.layoutMarks();
    }
    return placed;
}

bool beamable(const Note& a, const Note& b)
{
    return a.type == b.type && (a.type == kTypeEighth || a.type == kTypeSixteenth) &&
           !(a.dwFlag & (kFlagBeamed | kFlagRest | kFlagTie)) &&
           !(b.dwFlag & (kFlagBeamed | kFlagRest | kFlagTie)) && a.layout.rowIndex == b.layout.rowIndex &&
           a.chordparent == -1 && b.chordparent == -1 && a.childCount == 0 && b.childCount == 0 &&
           std::abs(a.layout.y - b.layout.y) < 220 && a.layout.measureIndex == b.layout.measureIndex;
}

bool joinsGroup(const Note& first, const Note& n)
{
    return n.layout.measureIndex == first.layout.measureIndex && n.layout.rowIndex == first.layout.rowIndex &&
           n.type == first.type && (n.dwFlag & kFlagBeamed);
}

// Where a beam's outer edge meets a stem that needs no lengthening, from the glyph's top: the
// stem's tip rounded outwards to a whole unit, so the tip lies inside the beam.
constexpr int kBeamUp = static_cast<int>(kStemUpTipY - 0.5);
constexpr int kBeamDown = static_cast<int>(kStemDownTipY + 0.5);

void setStemExtension(const SheetViewState& view, Note& n, int x, int y1, int y2)
{
    n.layout.stemExtension[0] = view.scaled(x);
    n.layout.stemExtension[1] = view.scaled(y1);
    n.layout.stemExtension[2] = view.scaled(x);
    n.layout.stemExtension[3] = view.scaled(y2);
}

void beamRow(SheetViewState& view, StaffRow& row)
{
    Track* t = row.track;
    if (!t)
        return;
    const float zoom = view.zoom();
    const int laid = view.laidOutCount(row.index % std::max(1, view.sheet().trackCount()));
    const int first = std::clamp(row.firstNote, 0, laid);
    const int end = std::clamp(row.endNote, first, laid);
    for (int b = first + 1; b < end; ++b) {
        Note& a = t->noteAt(b - 1);
        Note& c = t->noteAt(b);
        if (beamable(a, c)) {
            a.dwFlag |= kFlagBeamed;
            c.dwFlag |= kFlagBeamed;
        }
    }
    for (int i = first; i < end; ++i) {
        Note& n = t->noteAt(i);
        n.layout.beamCount = 0;
        for (int& v : n.layout.stemExtension)
            v = 0;
    }
    for (int a = first; a < end;) {
        Note& head = t->noteAt(a);
        if (!(head.dwFlag & kFlagBeamed)) {
            ++a;
            continue;
        }
        int k = 0;
        while (k < 3 && a + k + 1 < end && joinsGroup(head, t->noteAt(a + k + 1)))
            ++k;
        head.layout.beamCount = k;
        const int size = k + 1;
        if (size >= 2) {
            bool up = t->percussive != 0;
            if (size == 2) {
                up = up || head.line > 0 || t->noteAt(a + 1).line > 0;
            } else {
                int low = 0;
                for (int g = 0; g < size; ++g)
                    low += t->noteAt(a + g).line > 0 ? 1 : 0;
                up = up || low > 1;
            }
            // The head sits elsewhere in the glyph box once the stem turns, so the notes of
            // the group take their height again.
            for (int g = 0; g < size; ++g) {
                Note& n = t->noteAt(a + g);
                n.layout.stemDown = up ? 0 : 1;
                const int rowIdx = (n.layout.rowIndex >= 0 && n.layout.rowIndex < view.rowCount())
                                       ? n.layout.rowIndex
                                       : row.index;
                n.layout.y = toInt16(noteY(view.row(rowIdx), n));
                setScaledBox(zoom, n);
                n.layoutMarks();
            }
            Note& last = t->noteAt(a + k);
            const int x1 = head.layout.x, y1 = head.layout.y, x2 = last.layout.x, y2 = last.layout.y;
            int* beam = head.layout.beamLine;
            if (size == 2) {
                if (up) {
                    beam[0] = x1 + 12, beam[1] = y1 + kBeamUp, beam[2] = x2 + 12, beam[3] = y2 + kBeamUp;
                    if (y1 - y2 > 20) {
                        beam[1] = y1 - 20 + kBeamUp - 1;
                        setStemExtension(view, head, x1 + 12, y1 + kBeamUp, beam[1]);
                    }
                } else {
                    beam[0] = x1 + 3, beam[1] = y1 + kBeamDown, beam[2] = x2 + 4, beam[3] = y2 + kBeamDown;
                    if (y1 - y2 > 20)
                        beam[1] = y1 + kBeamDown + 1;
                }
            } else {
                int yb = up ? std::numeric_limits<int>::max() : std::numeric_limits<int>::min();
                for (int g = 0; g < size; ++g) {
                    const int y = t->noteAt(a + g).layout.y;
                    yb = up ? std::min(yb, y + kBeamUp) : std::max(yb, y + kBeamDown);
                }
                beam[0] = up ? x1 + 12 : x1 + 3;
                beam[2] = up ? x2 + 12 : x2 + 4;
                beam[1] = beam[3] = yb;
                for (int g = 0; g < size; ++g) {
                    Note& n = t->noteAt(a + g);
                    if (up)
                        setStemExtension(view, n, n.layout.x + 12, n.layout.y + kBeamUp, yb);
                    else
                        setStemExtension(view, n, n.layout.x + 3, n.layout.y + kBeamDown, yb);
                }
            }
        }
        a += size;
    }
}

void positionRowsAndPlace(SheetViewState& view, const std::vector<int>& laid, const std::vector<int>& ksw,
                          const std::vector<std::vector<int>>& needs)
{
    SheetDocument& sheet = view.sheet();
    const int trackCount = sheet.trackCount();
    for (int r = 0; r < view.rowsInUse; ++r) {
        StaffRow& row = view.row(r);
        row.top = (r - view.firstVisibleRow) * kRowPitch + kRowTopOffset;
        setRowScaled(view, row);
    }
    for (int j = 0; j < trackCount; ++j) {
        Track& t = *sheet.trackAt(j);
        const int placed = placeTrack(view, t, j, laid[static_cast<std::size_t>(j)],
                                      ksw[static_cast<std::size_t>(j)], needs[static_cast<std::size_t>(j)]);
        const int cap = std::min(t.count, t.capacity());
        for (int i = placed; i < cap; ++i) {
            Note& n = t.noteAt(i);
            n.layout.rowIndex = -1;
        }
        view.setLaidOutCount(j, placed);
        fitMeasuresBetweenBars(view, j);
    }
    for (int r = view.firstVisibleRow; r < view.rowsInUse; ++r) {
        StaffRow& row = view.row(r);
        if (row.top > view.layoutHeight)
            break;
        beamRow(view, row);
    }
}

} // namespace

KeySignatureMarks keySignatureMarks(const Track& track)
{
    const StaffKindInfo& staff = staffOf(track);
    const std::array<int8_t, 7>& steps = track.flatKey ? staff.flatPlaces : staff.sharpPlaces;
    KeySignatureMarks out;
    for (int k = 0; k < 7; ++k) {
        const int step = steps[static_cast<std::size_t>(k)];
        const int acc = keyAccidental(track, step);
        if (acc == 1 || acc == -1)
            out.marks[static_cast<std::size_t>(out.count++)] = {step, acc};
    }
    return out;
}

int keySignatureWidth(const Track& track)
{
    return 8 * keySignatureMarks(track).count;
}

int noteY(const StaffRow& row, Note& n)
{
    const int top = row.top;
    const int d = row.spacing;
    const int s = n.line;
    const int k = n.type;
    if (k == kTypeAudioClip)
        return top + 10;
    if (k == kTypeMark1740)
        return top + 30;
    if (row.track && row.track->percussive)
        return top;
    if (n.isRest()) {
        switch (k) {
        case kTypeQuarter:
            return top + 5;
        case kTypeEighth:
            return top + 12;
        case kTypeSixteenth:
            return top + 6;
        case kTypeThirtySecond:
            return top + 2;
        default:
            break;
        }
        n.layout.stemDown = 0;
        return k == kTypeHalf ? top + 13 : top + 17;
    }
    if (k == kTypeBar || k == kTypeMark1737 || k == kTypeStaffBreak || k == kTypeSpace)
        return top;
    int y = ((s + 1) * d) / 2 + top - 18;
    const bool down = n.layout.stemDown == 1;
    if (!down && k == kTypeWhole)
        y += 1;
    if (down && k != kTypeWhole)
        y += 21;
    if (s > 0 && s % 2 == 1)
        y -= 1;
    if (s == 0)
        y += 1;
    if (!down && s <= 0)
        y -= 1;
    if (down && s > 0)
        y += 1;
    return y;
}

std::optional<int> staffStepAt(const StaffRow& row, int clickY)
{
    // Every line and every space takes an equal band of half a staff space centred on it: the
    // step nearest to the click. Step -3 is the top line; each step is half a space.
    constexpr int kTopLine = -3;
    constexpr int kHighest = kTopLine - 14; // seven spaces above the top line
    constexpr int kLowest = kTopLine + 18;  // nine spaces below it
    const int d = row.spacing > 0 ? row.spacing : kStaffSpacing;
    const double halfSpaces = 2.0 * (clickY - row.top) / d;
    const int step = kTopLine + static_cast<int>(std::floor(halfSpaces + 0.5));
    if (step < kHighest || step > kLowest)
        return std::nullopt;
    return step;
}

std::optional<int> placeClick(StaffRow& row, Note& n, const PlacementToggles& toggles)
{
    const int y = n.layout.y - 3;
    const int top = row.top;
    const int d = row.spacing > 0 ? row.spacing : kStaffSpacing;
    n.dwFlag = 0;
    n.layout.rowIndex = row.index;
    if (n.chordparent == -1)
        n.layout.stemDown = y < top + d + d / 2 ? 1 : 0;
    const std::optional<int> step = staffStepAt(row, n.layout.y);
    if (!step)
        return std::nullopt;
    Track* t = row.track;
    if (t && t->percussive) {
        n.line = static_cast<int16_t>(*step);
        n.midi = static_cast<int8_t>(std::clamp(t->drumKey, 0, 127));
    } else {
        n.setStaffPosition(*step, t ? staffKindOf(*t) : StaffKind::GClef);
    }
    if (t)
        n.iid = t->iid;
    if (toggles.rest)
        n.dwFlag |= kFlagRest;
    if (toggles.tie)
        n.dwFlag |= kFlagTie;
    if (toggles.dot)
        n.dwFlag |= kFlagDot;
    n.layout.y = toInt16(noteY(row, n));
    const int k = n.type;
    const bool marksAllowed = k != kTypeAudioClip && k != kTypeBar && k != kTypeSpace && k != kTypeMark1737 &&
                              k != kTypeStaffBreak && k != kTypeMark1743 && !n.isRest();
    if (marksAllowed && toggles.sharp)
        n.dwFlag |= kFlagSharp;
    if (marksAllowed && toggles.flat)
        n.dwFlag |= kFlagFlat;
    return step;
}

void layoutRows(SheetViewState& view)
{
    SheetDocument& sheet = view.sheet();
    const int trackCount = sheet.trackCount();
    const int length = view.layoutWidth - 70;
    const int mpr = std::max(1, length / kMeasureSpan);
    sheet.measuresPerRow = mpr;
    sheet.measureWidth = length / mpr;

    std::vector<int> ksw(static_cast<std::size_t>(std::max(trackCount, 1)), 0);
    for (int j = 0; j < trackCount; ++j)
        ksw[static_cast<std::size_t>(j)] = keySignatureWidth(*sheet.trackAt(j));

    // Every row the view holds starts from the same reset values; the walks fill in the notes.
    auto resetRows = [&] {
        for (int r = 0; r < view.rowCount(); ++r) {
            StaffRow& row = view.row(r);
            row.index = r;
            row.sheet = &sheet;
            row.track = trackCount > 0 ? sheet.trackAt(r % trackCount) : nullptr;
            row.left = kStaffLeft;
            row.spacing = kStaffSpacing;
            row.length = length;
            row.top = (r - view.firstVisibleRow) * kRowPitch + 50;
            setRowScaled(view, row);
            row.firstNote = 0;
            row.endNote = 0;
            row.noteCount = 0;
            row.keySigWidth = trackCount > 0 ? ksw[static_cast<std::size_t>(r % trackCount)] : 0;
            row.lastX = row.keySigWidth + 50;
            row.measuresPerRow = mpr;
            row.timeSig = row.track ? row.track->timeSig : sheet.timesig;
        }
    };
    if (trackCount == 0) {
        view.setRowCount(kRowCount);
        resetRows();
        view.rowsInUse = 0;
        view.scrollRange = 0;
        view.firstVisibleRow = 0;
        return;
    }

    std::vector<TrackWalk> walks(static_cast<std::size_t>(trackCount));
    std::vector<int> laid(static_cast<std::size_t>(trackCount), 0);
    // Lyrics widen a measure of every track alike, so the measures of a system stay together.
    std::vector<int> lyricSpans;
    std::vector<std::vector<int>> needs(static_cast<std::size_t>(trackCount));
    for (int j = 0; j < trackCount; ++j) {
        Track& t = *sheet.trackAt(j);
        t.rebuildChordLists();
        resetLayoutFlags(t, kMaxLayoutNotes);
        t.divideIntoMeasures();
        const int n = std::min(t.count, kMaxLayoutNotes);
        std::vector<int>& need = needs[static_cast<std::size_t>(j)];
        if (lyricNeeds(t, n, view.zoom(), need))
            raiseLyricSpans(t, n, need, sheet.measureWidth - 60 - ksw[static_cast<std::size_t>(j)],
                            lyricSpans);
        else
            need.clear();
    }
    int maxRows = 1;
    for (int j = 0; j < trackCount; ++j) {
        Track& t = *sheet.trackAt(j);
        TrackWalk& walk = walks[static_cast<std::size_t>(j)];
        const MeasureWidths widths{sheet.measureWidth, mpr * sheet.measureWidth, &lyricSpans};
        walkMeasuresAndRows(view, t, j, trackCount, mpr, widths, walk);
        laid[static_cast<std::size_t>(j)] = walk.laid;
        maxRows = std::max(maxRows, static_cast<int>(walk.rows.size()));
    }
    // Whole systems: every track has a row in each system that any track reaches.
    view.rowsInUse = std::max(trackCount, trackCount * maxRows);
    view.setRowCount(view.rowsInUse);
    int range = 0;
    for (int r = 0; r < view.rowsInUse; ++r)
        if (r * kRowPitch + 100 >= view.layoutHeight)
            ++range;
    view.scrollRange = range;
    // Printing pages through the sheet past the window's scroll range, so it may go as far
    // as the last row.
    const int maxFirst = view.printing ? std::max(range, view.rowsInUse - 1) : range;
    view.firstVisibleRow = std::clamp(view.firstVisibleRow, 0, maxFirst);
    resetRows();
    for (int j = 0; j < trackCount; ++j) {
        const std::vector<RowSpan>& spans = walks[static_cast<std::size_t>(j)].rows;
        for (std::size_t k = 0; k < spans.size(); ++k) {
            StaffRow& row = view.row(j + static_cast<int>(k) * trackCount);
            row.firstNote = spans[k].firstNote;
            row.endNote = spans[k].endNote;
            row.noteCount = spans[k].noteCount;
        }
    }
    positionRowsAndPlace(view, laid, ksw, needs);
}

void setFirstVisibleRow(SheetViewState& view, int row)
{
    view.firstVisibleRow = std::max(row, 0);
    layoutRows(view);
}

void scrollLaidOutRows(SheetViewState& view, int first)
{
    SheetDocument& sheet = view.sheet();
    const int trackCount = sheet.trackCount();
    if (trackCount == 0 || view.rowsInUse <= 0) {
        setFirstVisibleRow(view, first);
        return;
    }
    const int maxFirst = view.printing ? std::max(view.scrollRange, view.rowsInUse - 1) : view.scrollRange;
    view.firstVisibleRow = std::clamp(first, 0, maxFirst);
    const float zoom = view.zoom();
    // Row tops as layoutRows leaves them: rows in use from the top offset, the others below.
    for (int r = 0; r < view.rowCount(); ++r) {
        StaffRow& row = view.row(r);
        row.top = (r - view.firstVisibleRow) * kRowPitch + (r < view.rowsInUse ? kRowTopOffset : 50);
        setRowScaled(view, row);
    }
    // The notes of the rows in the window get their heights, marks and beams again, each as
    // the whole layout would give them: the same reset of beams and stems first.
    for (int r = view.firstVisibleRow; r < view.rowsInUse; ++r) {
        StaffRow& row = view.row(r);
        if (row.top > view.layoutHeight)
            break;
        Track& t = *sheet.trackAt(r % trackCount);
        const int laid = view.laidOutCount(r % trackCount);
        const int begin = r >= trackCount ? std::clamp(view.row(r - trackCount).endNote, 0, laid) : 0;
        const int end = std::clamp(row.endNote, begin, laid);
        for (int i = begin; i < end; ++i) {
            Note& n = t.noteAt(i);
            n.dwFlag &= ~kFlagBeamed;
            n.layout.stemDown =
                (n.line <= 0 && !t.percussive && n.chordparent == -1 && n.childCount == 0) ? 1 : 0;
        }
        // Members are placed with their root, wherever they stand in the array (chord
        // building appends them at the track's end).
        auto place = [&](Note& n) {
            n.layout.y = toInt16(noteY(row, n));
            setScaledBox(zoom, n);
            n.layoutMarks();
        };
        for (int i = begin; i < end; ++i) {
            Note& n = t.noteAt(i);
            if (t.rootOf(i, laid) >= 0 || n.layout.rowIndex != r)
                continue;
            place(n);
            for (int k = 0; k < n.childCount && k < kMaxChordMembers; ++k)
                if (t.rootOf(n.children[k], laid) == i)
                    place(t.noteAt(n.children[k]));
        }
    }
    for (int r = view.firstVisibleRow; r < view.rowsInUse; ++r) {
        StaffRow& row = view.row(r);
        if (row.top > view.layoutHeight)
            break;
        beamRow(view, row);
    }
}

} // namespace tonvela
