#include "editor/tuplet_marks.h"

#include "score/duration.h"

#include <algorithm>
#include <climits>

namespace tonvela {
namespace {

// Where a note glyph's stem tip and head lie in its box (the anchoring of the note glyphs).
constexpr int kUpStemTip = 1;
constexpr int kDownHeadTop = 3;
constexpr int kDownStemTip = 29;
constexpr int kUpHeadBottom = 32;
// A note's glyph box is this wide: the span runs from its left to its right.
constexpr int kGlyphWidth = 15;

} // namespace

std::vector<TupletMark> tupletMarks(const Track& t, const TrackLayout& lay, int from, int to)
{
    std::vector<TupletMark> out;
    const int n = std::min({t.count, lay.laidOut, static_cast<int>(lay.notes.size())});
    from = std::max(from, 0);
    to = std::min(to, n);
    // The beam group (its first root) of a root under a beam, -1 for one under none: the nearest
    // root at or before it whose beam reaches it. Found from the root back over at most the three
    // roots a group holds before its last, so marking a row costs what the row holds, not what
    // the whole track holds.
    auto isBeamRoot = [&](int j) { return t.rootOf(j, n) == -1 && t.noteAt(j).type != kTypeStaffBreak; };
    auto beamOf = [&](int r) {
        int steps = 0;
        for (int h = r; h >= 0 && steps <= 3; --h) {
            if (h != r && !isBeamRoot(h))
                continue;
            const NoteLayout& p = lay.notes[static_cast<std::size_t>(h)];
            if (p.beamed && p.beamCount >= steps && p.beamCount > 0)
                return h;
            ++steps;
        }
        return -1;
    };
    auto isTripletRoot = [&](int i) {
        const Note& note = t.noteAt(i);
        return t.rootOf(i, n) == -1 && isTriplet(note.type, note.dwFlag);
    };
    auto writtenOf = [&](int i) {
        const Note& note = t.noteAt(i);
        return lengthTicks(note.type, note.dwFlag & ~kFlagTriplet);
    };
    for (int i = from; i < to; ++i) {
        if (!isTripletRoot(i) || lay.notes[static_cast<std::size_t>(i)].rowIndex < 0)
            continue;
        const NoteLayout& head = lay.notes[static_cast<std::size_t>(i)];
        std::vector<int> roots{i};
        Ticks left = 3 * writtenOf(i) - writtenOf(i);
        int j = i + 1;
        for (; j < n && left > 0; ++j) {
            if (t.rootOf(j, n) != -1)
                continue; // members stand with their root
            const NoteLayout& p = lay.notes[static_cast<std::size_t>(j)];
            if (!isTripletRoot(j) || p.measureIndex != head.measureIndex || p.rowIndex != head.rowIndex)
                break;
            roots.push_back(j);
            left -= writtenOf(j);
        }
        TupletMark m;
        m.first = i;
        m.last = roots.back();
        m.count = static_cast<int>(roots.size());
        int up = 0;
        int sounding = 0;
        for (int r : roots) {
            const Note& note = t.noteAt(r);
            if (note.isRest())
                continue;
            ++sounding;
            up += lay.notes[static_cast<std::size_t>(r)].stemDown ? 0 : 1;
        }
        m.above = sounding == 0 || 2 * up >= sounding;
        m.bracket = std::any_of(roots.begin(), roots.end(), [&](int r) { return beamOf(r) != beamOf(i); }) ||
                    beamOf(i) < 0;
        m.left = head.x;
        m.right = lay.notes[static_cast<std::size_t>(m.last)].x + kGlyphWidth;
        m.edge = m.above ? INT_MAX : INT_MIN;
        // Every head of the group's chords counts, with the stem of each chord and its beam.
        for (int r : roots) {
            const Note& root = t.noteAt(r);
            std::vector<int> heads{r};
            for (int k = 0; k < root.childCount && k < kMaxChordMembers; ++k)
                if (root.children[k] >= 0 && root.children[k] < n)
                    heads.push_back(root.children[k]);
            for (int h : heads) {
                const NoteLayout& p = lay.notes[static_cast<std::size_t>(h)];
                if (root.isRest()) {
                    m.edge = m.above ? std::min(m.edge, p.y + 8) : std::max(m.edge, p.y + 24);
                    continue;
                }
                const int top = p.stemDown ? p.y + kDownHeadTop : p.y + kUpStemTip;
                const int bottom = p.stemDown ? p.y + kDownStemTip : p.y + kUpHeadBottom;
                m.edge = m.above ? std::min(m.edge, top) : std::max(m.edge, bottom);
            }
            const int b = beamOf(r);
            if (b >= 0) {
                const int32_t* line = lay.notes[static_cast<std::size_t>(b)].beamLine;
                m.edge =
                    m.above ? std::min({m.edge, line[1], line[3]}) : std::max({m.edge, line[1], line[3]});
            }
        }
        out.push_back(m);
        i = m.last;
    }
    return out;
}

} // namespace tonvela
