// Layout of a sheet for one view: the measures of every track flow onto its staff rows, each
// measure gets its place on its row, the notes of a measure are stretched to fill it, then
// stems, beams and ties. Everything lands in a SheetLayout; the sheet is only read.

#include "editor/layout.h"

#include "editor/accidental_rules.h"
#include "editor/chord_engraving.h"
#include "editor/chord_symbol_marks.h"
#include "editor/engraving_marks.h"
#include "editor/glyphs.h"
#include "editor/lyric_spacing.h"
#include "editor/natural_spacing.h"
#include "editor/voice_layout.h"

#include "score/drum_notation.h"
#include "score/duration.h"
#include "score/measure_division.h"
#include "score/note.h"
#include "score/sheet_document.h"
#include "score/sounding_pitch.h"
#include "score/time_signature.h"
#include "score/track.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace tonvela {
namespace {

bool isRootAt(const Track& track, int i, int n)
{
    return track.rootOf(i, n) == -1;
}

// Lone notes on or above the middle line turn their stems down; on a percussion track every
// stem stays up, and chords keep theirs up until beams or chord rules say otherwise.
uint8_t plainStemDown(const Track& t, const Note& n)
{
    return (n.line <= 0 && !t.percussive && n.chordparent == -1 && n.childCount == 0) ? 1 : 0;
}

NoteInput inputOf(const Note& n)
{
    NoteInput in;
    in.type = n.type;
    in.dwFlag = n.dwFlag;
    in.octave = n.octave;
    in.line = n.line;
    in.midi = n.midi;
    in.chordparent = n.chordparent;
    in.childCount = n.childCount;
    in.letter = n.letter;
    in.texts = n.texts;
    return in;
}

bool sameInput(const NoteInput& in, const Note& n)
{
    return in.type == n.type && in.dwFlag == n.dwFlag && in.octave == n.octave && in.line == n.line &&
           in.midi == n.midi && in.chordparent == n.chordparent && in.childCount == n.childCount &&
           in.letter == n.letter && in.texts == n.texts;
}

// The root of note i as the inputs of a layout recorded it; -1 for a root.
int recordedRoot(const std::vector<NoteInput>& inputs, int i)
{
    const int n = static_cast<int>(inputs.size());
    const int p = inputs[static_cast<std::size_t>(i)].chordparent;
    if (p < 0 || p >= n || p == i || inputs[static_cast<std::size_t>(p)].chordparent != -1)
        return -1;
    return p;
}

// Stretches the notes from `from` up to `to` so their chord roots fill w units, leaving the
// roots with syllables at least the width those need (`needs`, by note; may be empty).
void justify(const Track& track, std::vector<NoteLayout>& places, int from, int to, int w,
             const std::vector<int>& needs)
{
    if (justifyAroundLyrics(track, places, from, to, w, needs))
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
    for (int i = from; i < to; ++i)
        places[static_cast<std::size_t>(i)].width =
            static_cast<int32_t>(kindWidthOf(track.noteAt(i).type) * factor);
}

bool beamable(const Note& a, const NoteLayout& pa, const Note& b, const NoteLayout& pb)
{
    return a.type == b.type && (a.type == kTypeEighth || a.type == kTypeSixteenth) &&
           !(a.dwFlag & (kFlagRest | kFlagTie)) && !(b.dwFlag & (kFlagRest | kFlagTie)) &&
           pa.rowIndex == pb.rowIndex && a.chordparent == -1 && b.chordparent == -1 &&
           std::abs(pa.y - pb.y) < 220 && pa.measureIndex == pb.measureIndex;
}

// The length a beam group spans: one beat of the meter (a quarter in 2/4, 3/4 and 4/4, so no
// beam crosses the middle of a 4/4 bar; three eighths in 3/8, 6/8, 9/8 and 12/8; a quarter,
// two eighths, in the other eighth meters; a half in 2/2 and 3/2).
Ticks beamBeatOf(int timeSig)
{
    const TimeSignatureInfo& ts = timeSignatureInfo(timeSig);
    if (ts.beatUnit == 8 && ts.beatsPerMeasure % 3 == 0)
        return dottedTicks(kQuarterTicks);
    if (ts.beatUnit == 2)
        return 2 * kQuarterTicks;
    return kQuarterTicks;
}

bool joinsGroup(const Note& first, const NoteLayout& pf, const Note& n, const NoteLayout& pn)
{
    return pn.measureIndex == pf.measureIndex && pn.rowIndex == pf.rowIndex && n.type == first.type &&
           pn.beamed;
}

// Where a beam's outer edge meets a stem that needs no lengthening, from the glyph's top: the
// stem's tip rounded outwards to a whole unit, so the tip lies inside the beam.
constexpr int kBeamUp = static_cast<int>(kStemUpTipY - 0.5);
constexpr int kBeamDown = static_cast<int>(kStemDownTipY + 0.5);

// What the whole sheet's layout shares with the layout of each track.
struct SheetContext {
    const SheetLayout& sheet; // its width, zoom and measure sizes are set
    int trackCount = 0;
    MeasureWidths widths;
    // With natural spacing: which measures open rows and how wide each is; none otherwise.
    const RowPlan* plan = nullptr;
};

// Lays out one track, whole or from one of its rows on.
class TrackLayouter {
  public:
    // `rooms` (natural spacing only): the room of each chord root, as naturalRooms gives it.
    TrackLayouter(const Track& t, int j, const SheetContext& ctx, TrackLayout& lay,
                  const MeasureDivision& division, const std::vector<int>& needs,
                  const std::vector<double>* rooms = nullptr)
        : m_t(t), m_j(j), m_ctx(ctx), m_lay(lay), m_division(division), m_needs(needs), m_rooms(rooms),
          m_n(std::min(t.count, kMaxLayoutNotes)), m_voices(t, division)
    {
    }

    // Lays the track out from row k (0: the whole track). For k > 0, m_lay holds the layout
    // before, whose rows before k, and whose notes and measures before the row's first, stand.
    void run(int k)
    {
        const RowSpan start = k > 0 ? m_lay.rows[static_cast<std::size_t>(k)] : RowSpan{};
        const int m0 = k > 0 ? start.openingMeasure : 1;
        const int i0 = k > 0 ? m_lay.measures[static_cast<std::size_t>(m0)].firstNote : 0;
        walk(k, m0, i0);
        accidentals();
        if (m_ctx.plan)
            naturalMeasureX(m0);
        else
            measureX(m0);
        place(i0);
        const TrackEnd before = trackEndOf(m_ctx.sheet, m_t, m_lay);
        fitMeasuresBetweenBars(m_ctx.sheet, m_t, m_lay, before, m0);
        alignVoiceColumns(m_t, m_voices, m_lay.notes, i0, m_lay.laidOut);
        placeMembers();
        chordStems();
        m_lay.end = trackEndOf(m_ctx.sheet, m_t, m_lay);
        for (std::size_t r = static_cast<std::size_t>(k); r < m_lay.rows.size(); ++r)
            beamRow(static_cast<int>(r));
        rowEnds(k);
        ties();
    }

  private:
    MeasureRecord& measure(int m) { return m_lay.measures[static_cast<std::size_t>(m)]; }
    NoteLayout& at(int i) { return m_lay.notes[static_cast<std::size_t>(i)]; }
    int sheetRow(int k) const { return m_j + k * m_ctx.trackCount; }
    int trackRow(int r) const { return (r - m_j) / std::max(1, m_ctx.trackCount); }
    RowSpan& span(int r) { return m_lay.rows[static_cast<std::size_t>(trackRow(r))]; }
    int firstRootFrom(int i) const
    {
        while (i < m_n && (!isRootAt(m_t, i, m_n) || m_t.noteAt(i).type == kTypeStaffBreak))
            ++i;
        return i;
    }
    // The glyph top on sheet row r.
    int yOn(int r, const Note& note, NoteLayout& p) const
    {
        StaffRow row;
        row.index = r;
        row.top = m_ctx.sheet.rowTop(r);
        row.percussive = m_t.percussive != 0;
        const DrumNotation* drum = row.percussive ? drumNotationOf(note.effectiveKey()) : nullptr;
        p.crossHead = drum && drum->head == DrumHead::Cross && !note.isRest() ? 1 : 0;
        return noteY(row, note, p);
    }

    // Measures onto rows: the measures of the score's division flow onto the track's rows, a
    // given number per row (a measure opened by a kind-1743 note does not count), fewer when
    // measures widened by lyrics would run past the row's end; a staff break ends a row at
    // once. Every note up to kMaxLayoutNotes gets a row.
    void walk(int k, int m0, int i0)
    {
        const MeasureWidths& widths = m_ctx.widths;
        const int mpr = m_ctx.sheet.measuresPerRow;
        const RowPlan* plan = m_ctx.plan;
        // With natural spacing the plan says where rows start and how wide each measure is.
        auto planned = [&](const auto& by, int measureNumber) {
            return measureNumber >= 0 && measureNumber < static_cast<int>(by.size())
                       ? static_cast<int>(by[static_cast<std::size_t>(measureNumber)])
                       : 0;
        };
        auto widthOf = [&](int measureNumber) {
            return plan ? std::max(planned(plan->width, measureNumber), 1) : widths.of(measureNumber);
        };
        std::vector<MeasureRecord>& records = m_lay.measures;
        records.resize(static_cast<std::size_t>(std::max(m_division.measureCount(), kMeasureCount)) + 1);
        for (std::size_t m = static_cast<std::size_t>(m0); m < records.size(); ++m)
            records[m] = MeasureRecord{};
        m_lay.notes.resize(static_cast<std::size_t>(std::max(m_t.count, 0)));
        for (std::size_t i = static_cast<std::size_t>(i0); i < m_lay.notes.size(); ++i)
            m_lay.notes[i] = NoteLayout{};
        m_lay.rows.resize(static_cast<std::size_t>(k));
        int rowIdx = sheetRow(k);
        RowSpan first;
        first.firstNote = k > 0 ? firstRootFrom(i0) : 0;
        first.openingMeasure = m0;
        m_lay.rows.push_back(first);
        int m = m0;
        measure(m).firstNote = i0;
        measure(m).startsRow = 1; // the row opens with this measure
        measure(m).rowIndex = rowIdx;
        measure(m).width = widthOf(m);
        int closedOnRow = 0;
        int rowFirstMeasure = m;
        int rowWidth = measure(m).width;
        bool rowWidened = measure(m).width > widths.measureWidth;

        // The track continues on its next row, starting at note i.
        auto nextRow = [&](int i, int opening) {
            m_lay.rows.back().endNote = i;
            rowIdx += m_ctx.trackCount;
            RowSpan next;
            next.firstNote = firstRootFrom(i);
            next.openingMeasure = opening;
            m_lay.rows.push_back(next);
            closedOnRow = 0;
            rowWidth = 0;
            rowWidened = false;
        };

        int i = i0;
        for (; i < m_n; ++i) {
            const Note& note = m_t.noteAt(i);
            const bool root = isRootAt(m_t, i, m_n);
            const bool isBreak = note.type == kTypeStaffBreak;
            const int inMeasure = m_division.measureOf(i);
            if (inMeasure > m) {
                // Note i opens the next measure.
                m = inMeasure;
                measure(m).firstNote = i;
                measure(m).rowIndex = rowIdx;
                bool newRow = isBreak;
                bool full = false; // the row has no room left for the measure
                const int width = widthOf(m);
                if (plan) {
                    newRow = isBreak || planned(plan->startsRow, m) != 0;
                } else if (!isBreak) {
                    if (note.type != kTypeMark1743)
                        ++closedOnRow;
                    full = (rowWidened || width > widths.measureWidth) && rowWidth + width > widths.rowLength;
                    newRow = closedOnRow >= mpr || full;
                }
                if (newRow) {
                    measure(m - 1).lastOnRow = 1;
                    if (full && closedOnRow < mpr)
                        stretchMeasures(records, rowFirstMeasure, m - 1, mpr * widths.measureWidth);
                    nextRow(i, m);
                    measure(m).startsRow = 1;
                    measure(m).rowIndex = rowIdx;
                    measure(m).width = widthOf(m);
                    rowFirstMeasure = m;
                } else {
                    measure(m).width = width;
                }
                rowWidth += measure(m).width;
                rowWidened = rowWidened || measure(m).width > widths.measureWidth;
            } else if (isBreak && !(k > 0 && i == i0)) {
                // A break inside a measure keeps the measure going on the next row.
                nextRow(i, 0);
                rowFirstMeasure = m + 1;
            }
            NoteLayout& p = at(i);
            p.measureIndex = m - 1;
            p.rowIndex = rowIdx;
            p.stemDown = plainStemDown(m_t, note);
            p.width = kindWidthOf(note.type);
            if (root && !isBreak) {
                ++m_lay.rows.back().noteCount;
                ++measure(m).rootCount;
            }
        }
        m_lay.laidOut = i;
        m_lay.rows.back().endNote = i;
        measure(m).lastOnRow = 1;
        // The track ends here, but a longer track may go on along this row: the row is followed
        // as that track flows it, and filled as it fills it, so the bar lines of the system stay
        // together.
        int onRow = closedOnRow + 1;
        int after = 0;
        for (int next = m + 1; !plan && onRow < mpr; ++next, ++onRow) {
            const int w = widths.of(next);
            if ((rowWidened || w > widths.measureWidth) && rowWidth + after + w > widths.rowLength) {
                stretchMeasures(records, rowFirstMeasure, m, mpr * widths.measureWidth, after);
                break;
            }
            after += w;
            rowWidened = rowWidened || w > widths.measureWidth;
        }
        m_lay.measuresInUse = m;
    }

    // The accidental each head shows, from the track's start: what its pitch needs against the
    // key and the heads before it at its position in the measure.
    void accidentals()
    {
        const int laid = m_lay.laidOut;
        const StaffKindInfo& staff = staffOf(m_t);
        if (staff.percussive || staff.isTablature())
            return;
        const KeyAccidentalTable keys(m_t);
        MeasureAccidentals state;
        int measureIndex = -1;
        int previousRoot = -1;
        for (int i = 0; i < laid; ++i) {
            const Note& n = m_t.noteAt(i);
            if (!isRootAt(m_t, i, laid) || n.type == kTypeStaffBreak)
                continue;
            if (at(i).measureIndex != measureIndex) {
                measureIndex = at(i).measureIndex;
                state.startMeasure();
            }
            const Note* before = previousRoot >= 0 ? &m_t.noteAt(previousRoot) : nullptr;
            const bool tied = before && (n.dwFlag & kFlagTie) && (before->dwFlag & kFlagTie);
            chordHeads(i, m_heads);
            for (const int h : m_heads) {
                const Note& head = m_t.noteAt(h);
                NoteLayout& p = at(h);
                p.accidental = kShowNoAccidental;
                if (head.isRest() || !hasHead(head.type))
                    continue;
                bool tiedOver = false;
                if (tied) {
                    tiedOver = before->line == head.line;
                    for (int k = 0; k < std::min<int>(before->childCount, kMaxChordMembers) && !tiedOver;
                         ++k) {
                        const int c = before->children[k];
                        tiedOver = c >= 0 && c < laid && m_t.noteAt(c).line == head.line;
                    }
                }
                p.accidental = state.show(head.line, alterationOf(head, m_t, keys), tiedOver);
            }
            if (!n.isRest() && hasHead(n.type))
                previousRoot = i;
            else
                previousRoot = -1;
        }
    }

    static bool hasHead(int type)
    {
        return type == kTypeWhole || type == kTypeHalf || type == kTypeQuarter || type == kTypeEighth ||
               type == kTypeSixteenth || type == kTypeThirtySecond;
    }

    // Measure x positions with justification, from measure m0 (which starts a row) on.
    void measureX(int m0)
    {
        const int mpr = std::max(1, m_ctx.sheet.measuresPerRow);
        const int mw = m_ctx.sheet.measureWidth;
        const int ksw = m_lay.keySigWidth;
        const int laid = m_lay.laidOut;
        int a = 1;
        int rowX = 0;            // where the next measure of the row starts
        bool rowWidened = false; // a measure of the row so far takes more than the measure width
        for (int m = m0; m <= m_lay.measuresInUse; ++m) {
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
                        const int root = from < laid ? m_t.rootOf(from, laid) : -1;
                        if (root >= 0)
                            from = root;
                        justify(m_t, m_lay.notes, from, std::min(cur.firstNote, laid), w, m_needs);
                    }
                }
            }
            if (cur.lastOnRow && cur.firstNote >= 0 && cur.rowIndex >= 0)
                justify(m_t, m_lay.notes, cur.firstNote, std::min(span(cur.rowIndex).endNote, laid),
                        cur.width - 40, m_needs);
        }
    }

    // Natural spacing: measures stand one after the other at their planned widths, and the notes
    // of each share its room in proportion to their own (the first measure of a row less the
    // clef and key before its notes).
    void naturalMeasureX(int m0)
    {
        const int ksw = m_lay.keySigWidth;
        const int laid = m_lay.laidOut;
        const int inUse = m_lay.measuresInUse;
        int rowX = 0;
        for (int m = m0; m <= inUse; ++m) {
            MeasureRecord& cur = measure(m);
            if (cur.width <= 0)
                cur.width = kMeasurePadding;
            cur.x = cur.startsRow ? 0 : rowX;
            rowX = cur.x + cur.width;
            if (cur.firstNote < 0 || cur.firstNote >= laid || cur.rowIndex < 0)
                continue;
            int end = std::min(laid, span(cur.rowIndex).endNote);
            if (m < inUse && measure(m + 1).firstNote > cur.firstNote)
                end = std::min(end, static_cast<int>(measure(m + 1).firstNote));
            const int w = cur.width - kMeasurePadding - (cur.startsRow ? rowStartRoom(ksw) : 0);
            justifyByRooms(cur.firstNote, end, w);
        }
    }

    // Widths for notes from..to-1 that fill w units in proportion to their rooms; members take
    // their root's.
    void justifyByRooms(int from, int to, int w)
    {
        const std::vector<double>& rooms = *m_rooms;
        const int n = std::min(to, static_cast<int>(rooms.size()));
        double sum = 0;
        for (int i = from; i < n; ++i)
            if (isRootAt(m_t, i, m_lay.laidOut))
                sum += rooms[static_cast<std::size_t>(i)];
        if (sum <= 0 || w <= 0)
            return;
        const double factor = static_cast<double>(w) / sum;
        if (factor < 0.1)
            return;
        for (int i = from; i < n; ++i) {
            const int root = m_t.rootOf(i, m_lay.laidOut);
            const int of = root >= 0 && root < static_cast<int>(rooms.size()) ? root : i;
            at(i).width =
                static_cast<int32_t>(std::min(rooms[static_cast<std::size_t>(of)] * factor, 32000.0));
        }
    }

    // Every chord root's x, y and marks from note i0 (the first of a row) on: a cursor walks
    // each row from the key signature, and from a measure's bar line where one opens.
    void place(int i0)
    {
        const int ksw = m_lay.keySigWidth;
        const int laid = m_lay.laidOut;
        int cursor = ksw + 50;
        int curRow = -1;
        int curMeasure = -1;
        int prevRootX = 0;
        bool rowStart = false;
        for (int i = i0; i < laid; ++i) {
            const Note& note = m_t.noteAt(i);
            NoteLayout& p = at(i);
            if (p.rowIndex < 0)
                break;
            if (!isRootAt(m_t, i, laid))
                continue; // members take their root's place below
            if (p.rowIndex != curRow) {
                curRow = p.rowIndex;
                curMeasure = p.measureIndex;
                MeasureRecord& rec = measure(p.measureIndex + 1);
                if (rec.rowIndex == curRow)
                    rec.x = kStaffLeft;
                cursor = ksw + 50;
                rowStart = true;
            } else if (p.measureIndex != curMeasure) {
                curMeasure = p.measureIndex;
                const MeasureRecord& rec = measure(p.measureIndex + 1);
                if (rec.x > 0)
                    cursor = rec.x - 12;
            }
            const int x = cursor + 35;
            p.x = x;
            if (note.type != kTypeStaffBreak) {
                cursor += p.width;
                p.prevRootX = rowStart ? x - 30 : prevRootX;
                prevRootX = x;
                rowStart = false;
            }
            p.y = yOn(p.rowIndex, note, p);
            placeShownMarks(note, p);
        }
    }

    // Chord members stand at their root's x on their root's row, wherever they are in the array
    // (chord building appends them at the track's end).
    void placeMembers()
    {
        const int laid = m_lay.laidOut;
        for (int i = 0; i < laid; ++i) {
            const int r = m_t.rootOf(i, laid);
            if (r < 0)
                continue;
            NoteLayout& member = at(i);
            const NoteLayout& root = at(r);
            member.x = root.x;
            member.prevRootX = root.prevRootX;
            const int rowIdx = root.rowIndex >= 0 ? root.rowIndex : member.rowIndex;
            member.y = yOn(rowIdx, m_t.noteAt(i), member);
            placeShownMarks(m_t.noteAt(i), member);
        }
    }

    // The heads of the chord rooted at note i (the root first).
    void chordHeads(int i, std::vector<int>& out) const
    {
        out.assign(1, i);
        const int laid = m_lay.laidOut;
        const Note& root = m_t.noteAt(i);
        const int members = std::min<int>(root.childCount, kMaxChordMembers);
        for (int k = 0; k < members; ++k) {
            const int c = root.children[k];
            if (c >= 0 && c < laid && c != i && m_t.rootOf(c, laid) == i)
                out.push_back(c);
        }
    }

    // Turns the chord rooted at note i to one stem direction: its heads take their heights
    // again (a head sits elsewhere in the glyph box once the stem turns), seconds go to either
    // side of the stem, accidentals stack leftward, and the head at the stem's far end is noted.
    void settleChord(int i, uint8_t down)
    {
        chordHeads(i, m_heads);
        const int rowIdx = at(i).rowIndex;
        for (const int h : m_heads) {
            NoteLayout& p = at(h);
            p.stemDown = down;
            p.headShift = 0;
            if (h != i) {
                p.beamed = at(i).beamed;
                p.beamCount = 0;
            }
            p.y = yOn(rowIdx >= 0 ? rowIdx : p.rowIndex, m_t.noteAt(h), p);
            placeShownMarks(m_t.noteAt(h), p);
        }
        at(i).stemNote = i;
        if (m_heads.size() < 2)
            return;
        m_chord.clear();
        for (const int h : m_heads) {
            const Note& n = m_t.noteAt(h);
            m_chord.push_back({h, shownStep(n, m_t.percussive != 0), at(h).accidental != kShowNoAccidental});
        }
        const ChordArrangement a = arrangeChord(m_chord, down == 1);
        at(i).stemNote = a.stemNote >= 0 ? a.stemNote : i;
        for (const ChordHead& h : m_chord) {
            NoteLayout& p = at(h.index);
            p.headShift = static_cast<int8_t>(h.shift);
            if (h.accidental)
                p.accidentalX -=
                    h.accidentalColumn * kAccidentalColumn + (a.headsLeft ? kSecondHeadShift : 0);
        }
    }

    // Chords take the stem direction of their head farthest from the middle line (on a
    // percussion staff every stem stays up); lone notes keep theirs. Runs over the whole track
    // after placeMembers, which places every member again.
    void chordStems()
    {
        const int laid = m_lay.laidOut;
        for (int i = 0; i < laid; ++i) {
            const Note& n = m_t.noteAt(i);
            NoteLayout& p = at(i);
            if (!isRootAt(m_t, i, laid) || p.rowIndex < 0)
                continue;
            p.stemNote = i;
            // In a measure of two voices each voice keeps its own side of the staff.
            if (const int forced = m_voices.forcedStemDown(i); forced >= 0) {
                if (n.isRest())
                    p.y += m_voices.restShift(i);
                else
                    settleChord(i, static_cast<uint8_t>(forced));
                continue;
            }
            if (n.childCount == 0 || n.isRest())
                continue;
            chordHeads(i, m_heads);
            if (m_heads.size() < 2)
                continue;
            // A chord of a beam group laid out before keeps the group's direction.
            const uint8_t down = p.beamed ? p.stemDown : m_t.percussive ? 0 : stemDownOf(m_heads) ? 1 : 0;
            settleChord(i, down);
        }
    }

    bool stemDownOf(const std::vector<int>& heads)
    {
        m_steps.clear();
        for (const int h : heads)
            m_steps.push_back(shownStep(m_t.noteAt(h), m_t.percussive != 0));
        return stemDownForSteps(m_steps);
    }

    // The y of the head at the stem's far end of the chord rooted at i.
    int stemEndY(int i)
    {
        const int s = at(i).stemNote;
        return s >= 0 && s < m_lay.laidOut ? at(s).y : at(i).y;
    }

    // The beams of the notes on sheet row r (the track's k-th): neighbouring eighths or
    // sixteenths pair (chords as single notes), pairs of a measure join into groups of up to
    // four, each group takes one stem direction and a beam line.
    void beamRow(int k)
    {
        if (!m_voices.active())
            return beamVoice(k, 0);
        // Each voice beams on its own.
        beamVoice(k, kVoice1);
        beamVoice(k, kVoice2);
    }

    // The beams of one voice of row k (voice 0: a track with one voice).
    void beamVoice(int k, uint8_t voice)
    {
        const RowSpan& s = m_lay.rows[static_cast<std::size_t>(k)];
        const int laid = m_lay.laidOut;
        const int first = std::clamp(s.firstNote, 0, laid);
        const int end = std::clamp(s.endNote, first, laid);
        // The chord roots of the row in order: members stand with their roots.
        std::vector<int>& roots = m_roots;
        roots.clear();
        for (int i = first; i < end; ++i)
            if (isRootAt(m_t, i, laid) && m_t.noteAt(i).type != kTypeStaffBreak &&
                (voice == 0 || m_voices.voiceOf(i) == voice))
                roots.push_back(i);
        const int count = static_cast<int>(roots.size());
        auto root = [&](int g) { return roots[static_cast<std::size_t>(g)]; };
        // The beat each root starts in, counted from its measure's start (a bar line or a staff
        // break sets the count back, as the measure division does).
        const Ticks beat = beamBeatOf(m_t.timeSig);
        std::vector<Ticks>& beatOf = m_beats;
        beatOf.assign(roots.size(), 0);
        if (voice != 0) {
            for (int g = 0; g < count; ++g)
                beatOf[static_cast<std::size_t>(g)] = m_voices.offsetOf(root(g)) / beat;
        } else {
            int measureIndex = -1;
            Ticks sum = 0;
            int g = 0;
            for (int i = first; i < end && g < count; ++i) {
                const Note& n = m_t.noteAt(i);
                if (!isRootAt(m_t, i, laid))
                    continue;
                if (at(i).measureIndex != measureIndex || n.type == kTypeBar || n.type == kTypeStaffBreak) {
                    measureIndex = at(i).measureIndex;
                    sum = 0;
                }
                if (i == root(g))
                    beatOf[static_cast<std::size_t>(g++)] = sum / beat;
                sum += lengthTicks(n);
            }
        }
        auto sameBeat = [&](int x, int y) {
            return beatOf[static_cast<std::size_t>(x)] == beatOf[static_cast<std::size_t>(y)];
        };
        for (int b = 1; b < count; ++b) {
            NoteLayout& pa = at(root(b - 1));
            NoteLayout& pc = at(root(b));
            if (sameBeat(b - 1, b) && beamable(m_t.noteAt(root(b - 1)), pa, m_t.noteAt(root(b)), pc)) {
                pa.beamed = 1;
                pc.beamed = 1;
            }
        }
        for (int a = 0; a < count;) {
            const Note& head = m_t.noteAt(root(a));
            NoteLayout& ph = at(root(a));
            if (!ph.beamed) {
                ++a;
                continue;
            }
            int f = 0;
            while (f < 3 && a + f + 1 < count && sameBeat(a, a + f + 1) &&
                   joinsGroup(head, ph, m_t.noteAt(root(a + f + 1)), at(root(a + f + 1))))
                ++f;
            ph.beamCount = static_cast<uint8_t>(f);
            const int size = f + 1;
            if (size >= 2) {
                bool chords = false;
                for (int g = 0; g < size; ++g)
                    chords = chords || m_t.noteAt(root(g + a)).childCount > 0;
                bool up = m_t.percussive != 0;
                if (chords) {
                    // A group with chords goes the way of its head farthest from the middle line.
                    std::vector<int>& all = m_groupHeads;
                    all.clear();
                    for (int g = 0; g < size; ++g) {
                        chordHeads(root(a + g), m_heads);
                        all.insert(all.end(), m_heads.begin(), m_heads.end());
                    }
                    up = up || !stemDownOf(all);
                } else if (size == 2) {
                    up = up || head.line > 0 || m_t.noteAt(root(a + 1)).line > 0;
                } else {
                    int low = 0;
                    for (int g = 0; g < size; ++g)
                        low += m_t.noteAt(root(a + g)).line > 0 ? 1 : 0;
                    up = up || low > 1;
                }
                if (const int forced = m_voices.forcedStemDown(root(a)); forced >= 0)
                    up = forced == 0;
                for (int g = 0; g < size; ++g)
                    settleChord(root(a + g), up ? 0 : 1);
                const NoteLayout& last = at(root(a + f));
                const int x1 = ph.x, y1 = stemEndY(root(a)), x2 = last.x, y2 = stemEndY(root(a + f));
                int32_t* beam = ph.beamLine;
                beam[0] = up ? x1 + 12 : x1 + 3;
                beam[2] = up ? x2 + 12 : x2 + 4;
                const int tip1 = y1 + (up ? kBeamUp : kBeamDown), tip2 = y2 + (up ? kBeamUp : kBeamDown);
                if (size == 2) {
                    // Two notes: the beam follows their heads, sloping half a space at most
                    // from the tip farther out, so every stem still reaches it.
                    const int outer = up ? std::min(tip1, tip2) : std::max(tip1, tip2);
                    const int slope = kStaffSpacing / 2;
                    beam[1] = up ? std::min(tip1, outer + slope) : std::max(tip1, outer - slope);
                    beam[3] = up ? std::min(tip2, outer + slope) : std::max(tip2, outer - slope);
                } else {
                    int yb = up ? std::numeric_limits<int>::max() : std::numeric_limits<int>::min();
                    for (int g = 0; g < size; ++g) {
                        const int y = stemEndY(root(a + g));
                        yb = up ? std::min(yb, y + kBeamUp) : std::max(yb, y + kBeamDown);
                    }
                    beam[1] = beam[3] = yb;
                }
                // Notes far off the staff keep stems that reach the middle line.
                const int rowIdx = ph.rowIndex >= 0 ? ph.rowIndex : sheetRow(k);
                const int middle = rowIdx * kRowPitch + kRowTopOffset + 2 * kStaffSpacing;
                const int past =
                    up ? std::max(beam[1], beam[3]) - middle : middle - std::min(beam[1], beam[3]);
                if (past > 0 && !m_t.percussive) {
                    beam[1] += up ? -past : past;
                    beam[3] += up ? -past : past;
                }
            }
            a += size;
        }
    }

    // Where the pointer appends to each row from the k-th on: right of its last chord root as
    // drawn (staff breaks are not drawn, nor bar lines after the track's last note).
    void rowEnds(int k)
    {
        const int laid = m_lay.laidOut;
        const TrackEnd& end = m_lay.end;
        for (std::size_t kk = static_cast<std::size_t>(k); kk < m_lay.rows.size(); ++kk) {
            RowSpan& s = m_lay.rows[kk];
            const int r = sheetRow(static_cast<int>(kk));
            const int begin = kk > 0 ? std::min(m_lay.rows[kk - 1].endNote, laid) : 0;
            s.lastX = m_lay.keySigWidth + 50;
            for (int i = begin; i < std::min(s.endNote, laid); ++i) {
                const NoteLayout& p = at(i);
                if (p.rowIndex != r || !isRootAt(m_t, i, laid) || m_t.noteAt(i).type == kTypeStaffBreak)
                    continue;
                if (end.row >= 0 && r <= end.row && i > end.lastNote)
                    continue;
                s.lastX = p.x;
            }
        }
    }

    // Ties between each two neighbouring chord roots that are both marked tied, and between
    // their members in order; a tie joins notes of one pitch (two rests always). The ties of a
    // chord curve outwards from its middle: those of the upper heads above, of the lower heads
    // below; the middle head of an odd chord keeps away from the stems.
    void ties()
    {
        m_lay.ties.clear();
        const int n = m_lay.laidOut;
        auto valid = [&](int i) { return isRootAt(m_t, i, n) && m_t.noteAt(i).type != kTypeStaffBreak; };
        auto joins = [&](int a, int b) {
            const Note& x = m_t.noteAt(a);
            const Note& y = m_t.noteAt(b);
            return (x.isRest() && y.isRest()) || (x.letter == y.letter && x.octave == y.octave);
        };
        std::vector<std::pair<int, int>> tied;
        int next = 0;
        for (int i = 0; i < n; i = next) {
            next = i + 1;
            if (!valid(i))
                continue;
            while (next < n && !valid(next))
                ++next;
            const Note& a = m_t.noteAt(i);
            if (!(a.dwFlag & kFlagTie) || next >= n)
                continue;
            // With two voices a tie joins the next note of its own voice.
            int partner = next;
            while (m_voices.active() && partner < n &&
                   (!valid(partner) || m_voices.voiceOf(partner) != m_voices.voiceOf(i)))
                ++partner;
            if (partner >= n)
                continue;
            const Note& b = m_t.noteAt(partner);
            if (!(b.dwFlag & kFlagTie))
                continue;
            tied.assign(1, {i, partner});
            const int pairs = std::min<int>(std::min<int>(a.childCount, b.childCount), kMaxChordMembers);
            for (int k = 0; k < pairs; ++k) {
                const int ma = a.children[k], mb = b.children[k];
                if (ma >= 0 && ma < n && mb >= 0 && mb < n)
                    tied.emplace_back(ma, mb);
            }
            if (tied.size() == 1) {
                if (joins(i, partner))
                    m_lay.ties.push_back({i, i, partner, 0});
                continue;
            }
            std::stable_sort(tied.begin(), tied.end(),
                             [&](const auto& x, const auto& y) { return at(x.first).y < at(y.first).y; });
            const int count = static_cast<int>(tied.size());
            for (int k = 0; k < count; ++k) {
                const auto [from, to] = tied[static_cast<std::size_t>(k)];
                if (!joins(from, to))
                    continue;
                const bool middle = count % 2 == 1 && k == count / 2;
                m_lay.ties.push_back({i, from, to, static_cast<int8_t>(middle ? 0 : k < count / 2 ? -1 : 1)});
            }
        }
    }

    const Track& m_t;
    int m_j;
    const SheetContext& m_ctx;
    TrackLayout& m_lay;
    const MeasureDivision& m_division;
    const std::vector<int>& m_needs;
    const std::vector<double>* m_rooms;
    int m_n;
    // Scratch lists of the chord rules, kept to spare allocations.
    std::vector<int> m_heads;
    std::vector<int> m_steps;
    std::vector<ChordHead> m_chord;
    std::vector<Ticks> m_beats;
    std::vector<int> m_roots;      // the chord roots of the row beamVoice groups
    std::vector<int> m_groupHeads; // every head of a beam group of chords
    VoicePlan m_voices;
};

// The first note of track t whose layout an edit may have changed, since the layout `old` was
// made: the first whose input differs, or the root of a member whose input differs (a member
// is placed with its root, wherever it stands). INT_MAX when nothing changed.
int firstChange(const Track& t, const TrackLayout& old)
{
    const int n = std::min(t.count, kMaxLayoutNotes);
    const int had = static_cast<int>(old.inputs.size());
    const int common = std::min(n, had);
    int first = INT_MAX;
    auto touch = [&](int i, int newRoot, int oldRoot) {
        first = std::min(first, i);
        if (newRoot >= 0)
            first = std::min(first, newRoot);
        if (oldRoot >= 0)
            first = std::min(first, oldRoot);
    };
    for (int i = 0; i < common; ++i)
        if (!sameInput(old.inputs[static_cast<std::size_t>(i)], t.noteAt(i)))
            touch(i, t.rootOf(i, n), recordedRoot(old.inputs, i));
    for (int i = common; i < n; ++i)
        touch(i, t.rootOf(i, n), -1);
    for (int i = common; i < had; ++i)
        touch(i, -1, recordedRoot(old.inputs, i));
    return first;
}

// The row of the layout `old` from which a track can be laid out again: the last row that
// opens with a measure whose first note lies before `change` (the first note the edit may
// have moved) and whose number lies before `widened` (the first measure whose width changed).
// Everything before such a row stands: how the measures before it flowed onto rows depends on
// those notes and widths alone. 0 lays the whole track out.
int restartRow(const TrackLayout& old, int change, int widened)
{
    for (int k = static_cast<int>(old.rows.size()) - 1; k > 0; --k) {
        const int m0 = old.rows[static_cast<std::size_t>(k)].openingMeasure;
        if (m0 <= 0 || m0 >= static_cast<int>(old.measures.size()))
            continue;
        const int i0 = old.measures[static_cast<std::size_t>(m0)].firstNote;
        if (i0 >= 0 && i0 < change && m0 < widened)
            return k;
    }
    return 0;
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

int noteY(const StaffRow& row, const Note& n, NoteLayout& place)
{
    const int top = row.top;
    const int d = row.spacing;
    // A drum staff places each drum where drummers read it; its rests stand at the middle as
    // on every staff.
    const int s = shownStep(n, row.percussive);
    const int k = n.type;
    if (k == kTypeAudioClip)
        return top + 10;
    if (k == kTypeMark1740)
        return top + 30;
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
        place.stemDown = 0;
        return k == kTypeHalf ? top + 13 : top + 17;
    }
    if (k == kTypeBar || k == kTypeMark1737 || k == kTypeStaffBreak || k == kTypeSpace)
        return top;
    int y = ((s + 1) * d) / 2 + top - 18;
    const bool down = place.stemDown == 1;
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

void placeMarks(const Note& n, NoteLayout& p)
{
    p.accidental = accidentalOfMarks(n.dwFlag);
    placeShownMarks(n, p);
}

void placeShownMarks(const Note& n, NoteLayout& p)
{
    const int a = p.x;
    const int y = p.y;
    const int stemDown = p.stemDown;
    auto yFor = [&](int k) { return (stemDown == 1 && n.type != kTypeWhole) ? y - k : y + 17; };
    if (p.accidental == kShowNatural) {
        p.accidentalX = a - 6;
        p.accidentalY = yFor(3);
    }
    if (p.accidental == kShowSharp) {
        p.accidentalX = a - 9;
        p.accidentalY = yFor(3);
    }
    if (p.accidental == kShowFlat) {
        p.accidentalX = a - 9;
        p.accidentalY = yFor(7);
    }
    if (n.dwFlag & kFlagDot) {
        int b = y;
        if (stemDown != 1)
            b += 25;
        if (n.type == kTypeWhole && stemDown == 1)
            b += 25;
        if (n.isRest()) {
            switch (n.type) {
            case kTypeEighth:
                b += -15 + (stemDown == 1 ? 25 : 0);
                break;
            case kTypeSixteenth:
                b += -10 + (stemDown == 1 ? 25 : 0);
                break;
            case kTypeQuarter:
                b += stemDown == 1 ? 15 : -10;
                break;
            case kTypeHalf:
            case kTypeWhole:
                b -= 25;
                break;
            default:
                break;
            }
        }
        p.dotX = a + 15;
        p.dotY = b;
    }
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

std::optional<int> placeClick(const StaffRow& row, const Track* t, Note& n, NoteLayout& place, int clickY,
                              const PlacementToggles& toggles)
{
    const int y = clickY - 3;
    const int top = row.top;
    const int d = row.spacing > 0 ? row.spacing : kStaffSpacing;
    n.dwFlag = 0;
    place.rowIndex = row.index;
    place.y = clickY;
    // Drums keep their stems up wherever they stand.
    const bool drums = t && t->percussive;
    if (n.chordparent == -1)
        place.stemDown = y < top + d + d / 2 && !(drums && kDrumStemsUp) ? 1 : 0;
    const std::optional<int> step = staffStepAt(row, clickY);
    if (!step)
        return std::nullopt;
    if (drums) {
        // The drum standing at the clicked place; the track's drum where none stands there.
        // The note stores the step it is drawn at.
        const int key = drumKeyAtStep(*step, t->drumKey).value_or(t->drumKey);
        n.midi = static_cast<int8_t>(std::clamp(key, 0, 127));
        n.line = static_cast<int16_t>(*step);
        n.line = static_cast<int16_t>(drumStaffStep(n));
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
    StaffRow on = row;
    on.percussive = drums;
    place.y = noteY(on, n, place);
    const int k = n.type;
    const bool marksAllowed = k != kTypeAudioClip && k != kTypeBar && k != kTypeSpace && k != kTypeMark1737 &&
                              k != kTypeStaffBreak && k != kTypeMark1743 && !n.isRest();
    if (marksAllowed && toggles.sharp)
        n.dwFlag |= kFlagSharp;
    if (marksAllowed && toggles.flat)
        n.dwFlag |= kFlagFlat;
    return step;
}

std::shared_ptr<const SheetLayout> layOutSheet(const SheetDocument& sheet, int width, float zoom,
                                               const SheetLayout* previous, const LayoutOptions& options)
{
    auto out = std::make_shared<SheetLayout>();
    const int trackCount = sheet.trackCount();
    const int length = width - 70;
    const bool natural = options.naturalSpacing;
    // Natural spacing fills each row up to its staff's end with measures of their own widths.
    const int mpr = natural ? 1 : std::max(1, length / kMeasureSpan);
    out->layoutWidth = width;
    out->zoom = zoom;
    out->trackCount = trackCount;
    out->measuresPerRow = mpr;
    out->measureWidth = natural ? std::max(1, kStaffLeft + length) : length / mpr;
    out->naturalSpacing = natural;
    out->rowPitch = rowPitchOf(sheet);
    if (trackCount == 0)
        return out;
    // A layout of natural widths is made afresh: an edit may move every row break after it.
    const SheetLayout* prev =
        previous && !natural && !previous->naturalSpacing && previous->layoutWidth == width &&
                previous->zoom == zoom && previous->trackCount == trackCount &&
                previous->rowPitch == out->rowPitch && static_cast<int>(previous->tracks.size()) == trackCount
            ? previous
            : nullptr;

    // What changed in each track since the layout before, and the room syllables need.
    struct Work {
        const TrackLayout* old = nullptr;        // the layout before, when it can be built on
        int change = INT_MAX;                    // the first note the edit may have moved
        std::shared_ptr<TrackLayout> lay;        // a new layout; none keeps the old one
        std::optional<MeasureDivision> division; // the track's measures, once divided
    };
    std::vector<Work> work(static_cast<std::size_t>(trackCount));
    std::vector<int> spans;
    for (int j = 0; j < trackCount; ++j) {
        const Track& t = *sheet.trackAt(j);
        Work& w = work[static_cast<std::size_t>(j)];
        const TrackLayout* old = prev ? prev->track(j) : nullptr;
        const int ksw = keySignatureWidth(t);
        // The key decides which accidentals show, the staff kind how pitches read.
        if (old && old->timeSig == t.timeSig && old->percussive == (t.percussive != 0) &&
            old->keySigWidth == ksw && old->drawmode == t.drawmode && old->keyindex == t.keyindex &&
            old->flatKey == t.flatKey && old->key == t.key && old->scaleKind == t.scaleKind) {
            w.old = old;
            w.change = firstChange(t, *old);
        }
        const std::vector<int>* trackSpans = w.old ? &w.old->lyricSpans : nullptr;
        if (!w.old || w.change != INT_MAX) {
            w.lay = w.old ? std::make_shared<TrackLayout>(*w.old) : std::make_shared<TrackLayout>();
            TrackLayout& lay = *w.lay;
            lay.keySigWidth = ksw;
            lay.timeSig = t.timeSig;
            lay.drawmode = t.drawmode;
            lay.keyindex = t.keyindex;
            lay.flatKey = t.flatKey;
            lay.key = t.key;
            lay.scaleKind = t.scaleKind;
            lay.percussive = t.percussive != 0;
            const int n = std::min(t.count, kMaxLayoutNotes);
            lay.inputs.clear();
            lay.inputs.reserve(static_cast<std::size_t>(n));
            for (int i = 0; i < n; ++i)
                lay.inputs.push_back(inputOf(t.noteAt(i)));
            lay.lyricSpans.clear();
            if (natural) {
                // The syllables' room goes into the natural widths.
                if (!lyricNeeds(t, n, zoom, lay.lyricNeeds))
                    lay.lyricNeeds.clear();
            } else if (lyricNeeds(t, n, zoom, lay.lyricNeeds)) {
                w.division.emplace().divide(t);
                raiseLyricSpans(t, *w.division, n, lay.lyricNeeds, out->measureWidth - 60 - ksw,
                                lay.lyricSpans);
            } else {
                lay.lyricNeeds.clear();
            }
            trackSpans = &lay.lyricSpans;
        }
        // Syllables widen a measure of every track alike.
        if (spans.size() < trackSpans->size())
            spans.resize(trackSpans->size(), 0);
        for (std::size_t m = 0; m < trackSpans->size(); ++m)
            spans[m] = std::max(spans[m], (*trackSpans)[m]);
    }
    out->lyricSpans = std::move(spans);
    // The first measure whose width the syllables changed.
    int widened = INT_MAX;
    if (prev) {
        const std::vector<int>& a = prev->lyricSpans;
        const std::vector<int>& b = out->lyricSpans;
        for (std::size_t m = 0; m < std::max(a.size(), b.size()); ++m) {
            const int x = m < a.size() ? a[m] : 0;
            const int y = m < b.size() ? b[m] : 0;
            if (x != y) {
                widened = static_cast<int>(m);
                break;
            }
        }
    }

    // Natural spacing: each track's rooms, the widest need of each measure across the tracks and
    // the rows those measures fill.
    std::vector<MeasureDivision> divisions;
    std::vector<NaturalRooms> rooms;
    RowPlan plan;
    if (natural) {
        divisions.resize(static_cast<std::size_t>(trackCount));
        rooms.resize(static_cast<std::size_t>(trackCount));
        std::vector<int> needs(1, 0);
        std::vector<uint8_t> breaks(1, 0);
        int widestKey = 0;
        for (int j = 0; j < trackCount; ++j) {
            const Track& t = *sheet.trackAt(j);
            const auto at = static_cast<std::size_t>(j);
            divisions[at].divide(t);
            naturalRooms(t, divisions[at], std::min(t.count, kMaxLayoutNotes), work[at].lay->lyricNeeds,
                         rooms[at]);
            const NaturalRooms& r = rooms[at];
            if (needs.size() < r.measure.size()) {
                needs.resize(r.measure.size(), 0);
                breaks.resize(r.measure.size(), 0);
            }
            for (std::size_t m = 1; m < r.measure.size(); ++m) {
                needs[m] = std::max(needs[m], r.measure[m]);
                breaks[m] = static_cast<uint8_t>(breaks[m] | r.breakBefore[m]);
            }
            widestKey = std::max(widestKey, work[at].lay->keySigWidth);
        }
        plan = planRows(needs, breaks, out->measureWidth, rowStartRoom(widestKey));
    }

    const SheetContext ctx{*out, trackCount,
                           MeasureWidths{out->measureWidth, mpr * out->measureWidth, &out->lyricSpans},
                           natural ? &plan : nullptr};
    int maxRows = 1;
    out->tracks.resize(static_cast<std::size_t>(trackCount));
    for (int j = 0; j < trackCount; ++j) {
        const Track& t = *sheet.trackAt(j);
        Work& w = work[static_cast<std::size_t>(j)];
        if (!w.lay && widened != INT_MAX) {
            // Unchanged, but measures it flows got wider or narrower.
            w.lay = std::make_shared<TrackLayout>(*w.old);
        }
        if (natural) {
            const auto at = static_cast<std::size_t>(j);
            TrackLayouter(t, j, ctx, *w.lay, divisions[at], w.lay->lyricNeeds, &rooms[at].note).run(0);
            out->tracks[at] = w.lay;
        } else if (w.lay) {
            const int k = w.old ? restartRow(*w.old, w.change, widened) : 0;
            if (!w.division)
                w.division.emplace().divide(t);
            TrackLayouter(t, j, ctx, *w.lay, *w.division, w.lay->lyricNeeds).run(k);
            out->tracks[static_cast<std::size_t>(j)] = w.lay;
        } else {
            out->tracks[static_cast<std::size_t>(j)] = prev->tracks[static_cast<std::size_t>(j)];
        }
        maxRows = std::max(maxRows, static_cast<int>(out->tracks[static_cast<std::size_t>(j)]->rows.size()));
    }
    out->rowsInUse = std::max(trackCount, trackCount * maxRows);
    return out;
}

void layoutRows(SheetViewState& view)
{
    view.setLayout(layOutSheet(view.sheet(), view.layoutWidth, view.zoom(), &view.layout()));
    view.clampScroll();
}

void setFirstVisibleRow(SheetViewState& view, int row)
{
    view.firstVisibleRow = std::max(row, 0);
    view.clampScroll();
}

} // namespace tonvela
