#include "score/play_time.h"

#include "score/play_walk.h"
#include "score/sheet_document.h"
#include "score/track.h"

#include <algorithm>
#include <cstdio>

namespace tonvela {
namespace {

// Whether the measure of note i repeats, as a marked measure or in a repeated passage, and its
// repeat is still to come.
bool repeatPending(const Track& track, const MeasureDivision& measures, int i, const PlayCursor& cursor)
{
    const int m = measures.measureOf(i);
    if (m < 1)
        return false;
    if (rangeRepeatPending(track, m, cursor.ranges)) {
        // A passage whose end the notes never reach does not go back.
        const int k = rangeHolding(track.repeatRanges, m);
        if (k >= 0 && track.repeatRanges[static_cast<std::size_t>(k)].last <= measures.measureCount())
            return true;
    }
    if (!track.measureRepeats.contains(m))
        return false;
    const MeasureRepeatState& repeats = cursor.repeats;
    return static_cast<int>(repeats.passCount.size()) <= m ||
           repeats.passCount[static_cast<std::size_t>(m)] == 0;
}

// The time playback takes for the steps of the track, up to and including the step that
// sounds `lastRoot` (in a repeated measure, its second pass), else to the end.
Ticks playedUpTo(const Track& track, int lastRoot)
{
    PlayWalk walk(track);
    Ticks total = 0;
    if (lastRoot < 0) {
        // The whole track: no step holds the note to stop at.
        while (const std::optional<PlayStep> step = walk.next())
            total += step->held;
        return total;
    }
    while (const std::optional<PlayStep> step = walk.next()) {
        // Up to where in the step lastRoot ends: a note tied on counts with those before it.
        Ticks through = -1;
        forEachTiedNote(track, *step, [&](int u, Ticks at) {
            if (u == lastRoot)
                through = at - step->start + lengthTicks(track.noteAt(u));
        });
        if (through >= 0 && !repeatPending(track, walk.measures(), lastRoot, walk.cursor()))
            return total + step->held - (step->length - through);
        total += step->held;
    }
    return total;
}

} // namespace

std::string formatPlayTime(long long ms)
{
    const long long seconds = std::max(ms, 0LL) / 1000;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%2lld:%2lld", seconds / 60, seconds % 60);
    std::string text(buf);
    std::replace(text.begin(), text.end(), ' ', '0');
    return text;
}

Ticks playedTicks(const Track& track)
{
    return playedUpTo(track, -1);
}

long long totalPlayMs(const Track& track)
{
    return msAtTempo(playedTicks(track), track.tempo);
}

std::string playTimeText(const Track& track, int index)
{
    if (index >= 0 && index < track.count) {
        const int p = track.rootOf(index);
        if (p >= 0)
            index = p;
    }
    return formatPlayTime(msAtTempo(playedUpTo(track, index), 120));
}

std::optional<Ticks> playedTicksBefore(const Track& track, int index)
{
    if (index < 0 || index >= track.count)
        return std::nullopt;
    if (const int root = track.rootOf(index); root >= 0)
        index = root;
    PlayWalk walk(track);
    Ticks total = 0;
    while (const std::optional<PlayStep> step = walk.next()) {
        bool holds = step->index == index;
        forEachTiedNote(track, *step, [&](int u, Ticks) { holds = holds || u == index; });
        if (holds)
            return total;
        total += step->held;
    }
    return std::nullopt;
}

std::optional<double> playAllFractionAt(const SheetDocument& sheet, int trackIndex, int index)
{
    const Track* track = sheet.trackAt(trackIndex);
    if (!track)
        return std::nullopt;
    const std::optional<Ticks> before = playedTicksBefore(*track, index);
    if (!before)
        return std::nullopt;
    // Play All measures its length by its longest track, each track at its own tempo.
    int64_t longestUs = 0;
    for (int t = 0; t < sheet.trackCount(); ++t) {
        const Track& each = *sheet.trackAt(t);
        longestUs = std::max(longestUs, usAtTempo(playedTicks(each), each.tempo));
    }
    if (longestUs <= 0)
        return std::nullopt;
    return std::clamp(static_cast<double>(usAtTempo(*before, track->tempo)) / static_cast<double>(longestUs),
                      0.0, 1.0);
}

} // namespace tonvela
