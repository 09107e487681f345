#include "score/play_time.h"

#include "score/loop_rule.h"
#include "score/measure_repeat.h"
#include "score/track.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tonvela {

int msAtTempo(int tempo, int ms120)
{
    // A half added and truncated: the rounding the timing tables were computed with.
    // NOLINTNEXTLINE(bugprone-incorrect-roundings)
    return static_cast<int>(ms120 / tempoFactor(tempo) + 0.5);
}

std::string formatPlayTime(long long ms)
{
    const long long seconds = std::max(ms, 0LL) / 1000;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%2lld:%2lld", seconds / 60, seconds % 60);
    std::string text(buf);
    std::replace(text.begin(), text.end(), ' ', '0');
    return text;
}

int chordLengthMs120(const Track& track, int rootIndex)
{
    if (rootIndex < 0 || rootIndex >= track.count)
        return 0;
    const Note& root = track.noteAt(rootIndex);
    int longest = root.lengthMs120();
    for (int k = 0; k < root.childCount && k < kMaxChordMembers; ++k) {
        const int m = root.children[k];
        if (m >= 0 && m < track.count)
            longest = std::max(longest, track.noteAt(m).lengthMs120());
    }
    return longest;
}

namespace {

// Whether the measure of note i is marked and its repeat is still to come.
bool repeatPending(const Track& track, const MeasureDivision& measures, int i,
                   const MeasureRepeatState& repeats)
{
    const int m = measures.measureOf(i);
    if (m < 1 || !track.measureRepeats.contains(m))
        return false;
    return static_cast<int>(repeats.passCount.size()) <= m ||
           repeats.passCount[static_cast<std::size_t>(m)] == 0;
}

// Sums the 120-bpm lengths of the chord roots in the order playback walks them (loops and
// measure repeats included), up to and including `lastRoot` when it is one of them (in a
// repeated measure, its second pass), else to the end. Bounded like every walk over a track, so a loop in a
// damaged file cannot hang it.
long long playedMs120(const Track& track, int lastRoot)
{
    // The track's own division when it is up to date; a track changed since is divided here.
    MeasureDivision own;
    const MeasureDivision* measures = &track.measureDivision();
    if (measures->noteCount() != track.count && !track.measureRepeats.empty()) {
        own.divide(track);
        measures = &own;
    }
    long long total120 = 0;
    LoopState state;
    MeasureRepeatState repeats;
    long long steps = 0;
    for (int i = 0; i >= 0 && i <= track.count && steps < kMaxWalkSteps; ++steps) {
        i = applyMeasureRepeat(track, *measures, i, repeats);
        if (i >= track.count)
            break;
        if (track.noteAt(i).chordparent != -1) {
            ++i;
            continue;
        }
        total120 += chordLengthMs120(track, i);
        // A root in a marked measure is done with once its measure's repeat has played.
        if (i == lastRoot && !repeatPending(track, *measures, i, repeats))
            break;
        i = applyLoopRule(track, i, state);
    }
    return total120;
}

} // namespace

long long totalPlayMs(const Track& track)
{
    // Summed at 120 bpm and scaled once, as playback rounds each step from its running place.
    return std::llround(static_cast<double>(playedMs120(track, -1)) / tempoFactor(track.tempo));
}

std::string playTimeText(const Track& track, int index)
{
    if (index >= 0 && index < track.count && track.noteAt(index).chordparent != -1) {
        const int p = track.noteAt(index).chordparent;
        if (p >= 0 && p < track.count)
            index = p;
    }
    return formatPlayTime(playedMs120(track, index));
}

} // namespace tonvela
