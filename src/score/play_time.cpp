#include "score/play_time.h"

#include "score/loop_rule.h"
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

// Sums the 120-bpm lengths of the chord roots in the order playback walks them (loops
// included), up to and including `lastRoot` when it is one of them, else to the end. Bounded
// like every walk over a track, so a loop in a damaged file cannot hang it.
long long playedMs120(const Track& track, int lastRoot)
{
    long long total120 = 0;
    LoopState state;
    long long steps = 0;
    for (int i = 0; i >= 0 && i < track.count && steps < kMaxWalkSteps; ++steps) {
        if (track.noteAt(i).chordparent != -1) {
            ++i;
            continue;
        }
        total120 += chordLengthMs120(track, i);
        if (i == lastRoot)
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
