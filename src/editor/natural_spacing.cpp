#include "editor/natural_spacing.h"

#include "editor/accidental_rules.h"
#include "editor/chord_engraving.h"
#include "editor/sheet_layout.h"
#include "editor/voice_layout.h"

#include "score/measure_division.h"
#include "score/note.h"
#include "score/sounding_pitch.h"
#include "score/staff_kind.h"
#include "score/track.h"

#include <algorithm>
#include <cmath>

namespace tonvela {
namespace {

// A dot right of a head needs this much more after it.
constexpr double kDotRoom = 6.0;
// The first accidental left of a head; each further column of a chord's accidentals takes
// kAccidentalColumn more.
constexpr double kAccidentalRoom = 10.0;
// The least a measure is wide: an empty one still shows its bar lines apart.
constexpr int kLeastMeasure = 2 * kMeasurePadding;

bool isRoot(const Track& t, int i, int n)
{
    return t.rootOf(i, n) == -1;
}

} // namespace

double proportionalRoom(Ticks ticks)
{
    const double quarters =
        static_cast<double>(std::max<Ticks>(ticks, 1)) / static_cast<double>(kQuarterTicks);
    // 2^0.485 is about 1.4: the room after a note grows that much each time its length doubles.
    return std::max(kLeastRoom, kQuarterRoom * std::pow(quarters, 0.485));
}

int rowStartRoom(int keySignatureWidth)
{
    // A row's first notes stand 50 units after the key signature and 35 into the staff (as
    // layout places them), 62 more than a measure's bar line leaves before its first note: with
    // less, the notes of a row's first measure ran past its closing bar line and so did the
    // syllable under its last note.
    return std::max(keySignatureWidth, 0) + 62;
}

void naturalRooms(const Track& t, const MeasureDivision& division, int laid,
                  const std::vector<int>& lyricNeeds, NaturalRooms& out)
{
    const int n = std::max(0, std::min({laid, t.count, division.noteCount()}));
    const int measures = division.measureCount();
    out.note.assign(static_cast<std::size_t>(n), 0.0);
    out.measure.assign(static_cast<std::size_t>(measures) + 1, 0);
    out.breakBefore.assign(static_cast<std::size_t>(measures) + 1, 0);
    const StaffKindInfo& staff = staffOf(t);
    const bool pitched = !staff.percussive && !staff.isTablature() && !t.percussive;
    const KeyAccidentalTable keys(t);
    MeasureAccidentals state;
    const VoicePlan voices(t, division);
    std::vector<int> roots;
    std::vector<int> lines;
    std::vector<Ticks> starts;
    for (int m = 1; m <= measures; ++m) {
        const int first = division.firstNote(m);
        if (first < 0 || first >= n)
            break;
        const int end = m < measures ? std::clamp(division.firstNote(m + 1), first, n) : n;
        out.breakBefore[static_cast<std::size_t>(m)] = t.noteAt(first).type == kTypeStaffBreak ? 1 : 0;
        state.startMeasure();
        roots.clear();
        for (int i = first; i < end; ++i) {
            const Note& note = t.noteAt(i);
            if (!isRoot(t, i, n) || note.type == kTypeStaffBreak)
                continue;
            double room =
                isDurationType(note.type) ? proportionalRoom(lengthTicks(note)) : kindWidthOf(note.type);
            if (note.dwFlag & kFlagDot)
                room += kDotRoom;
            // The heads of a chord: their accidentals stand left of them, a second sets one head
            // beside the stem.
            int shown = 0;
            lines.clear();
            auto head = [&](const Note& h) {
                if (h.isRest() || !isDurationType(h.type))
                    return;
                lines.push_back(h.line);
                if (pitched && state.show(h.line, alterationOf(h, t, keys), false) != kShowNoAccidental)
                    ++shown;
            };
            head(note);
            const int members = std::min<int>(note.childCount, kMaxChordMembers);
            for (int k = 0; k < members; ++k) {
                const int c = note.children[k];
                if (c >= 0 && c < n && c != i && t.rootOf(c, n) == i)
                    head(t.noteAt(c));
            }
            std::sort(lines.begin(), lines.end());
            for (std::size_t k = 1; k < lines.size(); ++k)
                if (lines[k] - lines[k - 1] == 1) {
                    room += kSecondHeadShift;
                    break;
                }
            if (shown > 0 && !roots.empty())
                out.note[static_cast<std::size_t>(roots.back())] +=
                    kAccidentalRoom + kAccidentalColumn * (std::min(shown, 3) - 1);
            out.note[static_cast<std::size_t>(i)] = room;
            roots.push_back(i);
        }
        // With two voices the roots of both stand in shared columns: the measure takes the room
        // of its columns in time, shared out over the roots as layout lays them one after the other.
        if (voices.twoVoices(m) && roots.size() > 1) {
            starts.clear();
            Ticks close = 0;
            for (const int i : roots) {
                starts.push_back(voices.offsetOf(i));
                close = std::max(close, voices.offsetOf(i) + lengthTicks(t.noteAt(i)));
            }
            std::sort(starts.begin(), starts.end());
            starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
            starts.push_back(std::max(close, starts.back() + 1));
            double columns = 0;
            for (std::size_t c = 0; c + 1 < starts.size(); ++c)
                columns += proportionalRoom(starts[c + 1] - starts[c]);
            double sequence = 0;
            for (const int i : roots)
                sequence += out.note[static_cast<std::size_t>(i)];
            if (sequence > 0)
                for (const int i : roots)
                    out.note[static_cast<std::size_t>(i)] *= columns / sequence;
        }
        double sum = 0;
        for (const int i : roots) {
            double& room = out.note[static_cast<std::size_t>(i)];
            if (i < static_cast<int>(lyricNeeds.size()))
                room = std::max(room, static_cast<double>(lyricNeeds[static_cast<std::size_t>(i)]));
            sum += room;
        }
        out.measure[static_cast<std::size_t>(m)] = static_cast<int>(std::ceil(sum)) + kMeasurePadding;
    }
}

RowPlan planRows(const std::vector<int>& needs, const std::vector<uint8_t>& breakBefore, int rowEnd,
                 int rowStart)
{
    const int count = static_cast<int>(needs.size()) - 1;
    RowPlan plan;
    plan.width.assign(static_cast<std::size_t>(std::max(count, 0)) + 1, 0);
    plan.startsRow.assign(plan.width.size(), 0);
    auto need = [&](int m) { return std::max(needs[static_cast<std::size_t>(m)], kLeastMeasure); };
    auto breaks = [&](int m) {
        return m < static_cast<int>(breakBefore.size()) && breakBefore[static_cast<std::size_t>(m)];
    };
    rowEnd = std::max(rowEnd, 1);
    int m = 1;
    while (m <= count) {
        const int first = m;
        long long total = rowStart + need(m);
        ++m;
        while (m <= count && !breaks(m) && total + need(m) <= rowEnd)
            total += need(m++);
        const int last = m - 1;
        plan.startsRow[static_cast<std::size_t>(first)] = 1;
        for (int k = first; k <= last; ++k)
            plan.width[static_cast<std::size_t>(k)] = need(k) + (k == first ? rowStart : 0);
        const bool lastRow = m > count;
        if (total > rowEnd) {
            // One measure wider than the row: its notes close up to fit.
            plan.width[static_cast<std::size_t>(first)] = rowEnd;
            continue;
        }
        if (lastRow && total * 4 < 3LL * rowEnd)
            continue;
        // Justified: what the row leaves goes to its measures in proportion to their music.
        const long long music = total - rowStart;
        const long long extra = rowEnd - total;
        long long given = 0;
        for (int k = first; k <= last; ++k) {
            const long long more = k == last ? extra - given : extra * need(k) / std::max(music, 1LL);
            given += more;
            plan.width[static_cast<std::size_t>(k)] += static_cast<int>(more);
        }
    }
    return plan;
}

} // namespace tonvela
