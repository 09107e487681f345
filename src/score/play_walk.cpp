#include "score/play_walk.h"

#include "score/tie_rule.h"

#include <algorithm>

namespace tonvela {

std::optional<PlayStep> nextPlayStep(const Track& track, const MeasureDivision& measures, PlayCursor& c,
                                     WalkOrder order)
{
    const bool played = order == WalkOrder::Played;
    while (!c.ended) {
        if (++c.visits > kMaxWalkSteps || c.index < 0 || c.index > track.count) {
            c.ended = true;
            break;
        }
        // The repeat rule sees every index the walk reaches, the end of the track included.
        if (played)
            c.index = applyMeasureRepeat(track, measures, c.index, c.repeats);
        if (c.index >= track.count) {
            c.ended = true;
            break;
        }
        const int i = c.index;
        const Note& n = track.noteAt(i);
        if (n.isChordMember()) {
            // A chord member sounds with its root; one whose root is missing sounds not at all.
            ++c.index;
            continue;
        }
        PlayStep step;
        step.index = i;
        step.lastTied = i;
        step.measure = measures.measureOf(i);
        step.start = c.start;
        const Ticks own = lengthTicks(n);
        if (n.type == kTypeAudioClip || own == 0) {
            step.kind = n.type == kTypeAudioClip ? PlayKind::Clip : PlayKind::Mark;
            ++c.index;
            return step;
        }
        step.kind = n.isRest() ? PlayKind::Rest : PlayKind::Sound;

        // The tie chain: at most kMaxTieMerge notes sound as one.
        step.length = own;
        int u = i;
        int v = track.nextRoot(u);
        // Only notes that take time join: a tie into a bar line or a clip ends there.
        while (v < track.count && step.tiedNotes + 1 < kMaxTieMerge &&
               tieMerges(track.noteAt(u), track.noteAt(v)) && lengthTicks(track.noteAt(v)) > 0 &&
               !tieCrossesRepeat(track, measures, u, v)) {
            // A tie into a measure marked to repeat: that measure begins at v, which the walk
            // passes by inside this step.
            if (played)
                applyMeasureRepeat(track, measures, v, c.repeats);
            step.length += lengthTicks(track.noteAt(v));
            ++step.tiedNotes;
            u = v;
            v = track.nextRoot(v);
        }
        step.lastTied = u;

        // A chord member longer than its root holds the step on.
        Ticks rootHeld = own;
        if (step.kind == PlayKind::Sound)
            forEachPlayedNote(track, step,
                              [&](const PlayedNote& p) { rootHeld = std::max(rootHeld, p.length); });
        step.held = step.length + (rootHeld - own);

        c.start += step.length;
        if (played) {
            bool jumped = false;
            const int next = applyLoopRule(track, i, c.loop, &jumped);
            c.index = (jumped || next < 1 || step.tiedNotes == 0) ? next : v;
        } else {
            c.index = step.tiedNotes == 0 ? i + 1 : v;
        }
        return step;
    }
    return std::nullopt;
}

PlayWalk::PlayWalk(const Track& track, WalkOrder order) : m_track(track), m_order(order)
{
    // Divided here from the notes as they are: a walk needs no layout to have run.
    m_measures.divide(track);
}

} // namespace tonvela
