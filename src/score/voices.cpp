#include "score/voices.h"

#include "score/measure_division.h"
#include "score/note.h"
#include "score/track.h"

#include <algorithm>

namespace tonvela {

uint8_t voiceOf(const Track& track, int i)
{
    if (i < 0 || i >= track.count)
        return kVoice1;
    const int root = track.rootOf(i);
    const Note& n = track.noteAt(root >= 0 ? root : i);
    return isDurationType(n.type) && n.inVoice2() ? kVoice2 : kVoice1;
}

bool hasSecondVoice(const Track& track)
{
    for (int i = 0; i < track.count; ++i)
        if (track.noteAt(i).inVoice2() && voiceOf(track, i) == kVoice2)
            return true;
    return false;
}

int nextRootInVoice(const Track& track, int i)
{
    const uint8_t voice = voiceOf(track, i);
    for (int j = track.nextRoot(i); j < track.count; j = track.nextRoot(j))
        if (voiceOf(track, j) == voice)
            return j;
    return track.count;
}

int previousRootInVoice(const Track& track, int i)
{
    const uint8_t voice = voiceOf(track, i);
    for (int j = std::min(i, track.count) - 1; j >= 0; --j)
        if (track.rootOf(j) == -1 && voiceOf(track, j) == voice)
            return j;
    return -1;
}

std::vector<Ticks> voiceOffsets(const Track& track, const MeasureDivision& measures)
{
    const int n = std::min(track.count, measures.noteCount());
    std::vector<Ticks> offsets(static_cast<std::size_t>(std::max(n, 0)), 0);
    Ticks clock[2] = {0, 0};
    int measure = 0;
    for (int i = 0; i < n; ++i) {
        const int m = measures.measureOf(i);
        if (m != measure) {
            clock[0] = clock[1] = 0;
            measure = m;
        }
        const int root = track.rootOf(i);
        if (root >= 0 && root < i) {
            offsets[static_cast<std::size_t>(i)] = offsets[static_cast<std::size_t>(root)];
            continue;
        }
        const Note& note = track.noteAt(i);
        Ticks& c = clock[voiceOf(track, i) == kVoice2 ? 1 : 0];
        // A bar line or staff break inside a measure starts the count again, as the division does.
        if (note.type == kTypeBar || note.type == kTypeStaffBreak)
            clock[0] = clock[1] = 0;
        offsets[static_cast<std::size_t>(i)] = c;
        c += lengthTicks(note);
    }
    return offsets;
}

int voiceInsertionIndex(const Track& track, const MeasureDivision& measures, int measure, uint8_t voice,
                        Ticks offset)
{
    const int first = measures.firstNote(measure);
    if (first < 0)
        return track.count;
    const int next = measures.firstNote(measure + 1);
    const int end = next < 0 ? std::min(track.count, measures.noteCount()) : next;
    const std::vector<Ticks> offsets = voiceOffsets(track, measures);
    for (int i = first; i < end; ++i) {
        if (track.rootOf(i) != -1 || !isDurationType(track.noteAt(i).type))
            continue;
        const Ticks at = offsets[static_cast<std::size_t>(i)];
        if (at > offset || (at == offset && voice == kVoice1 && voiceOf(track, i) == kVoice2))
            return i;
    }
    return end;
}

} // namespace tonvela
