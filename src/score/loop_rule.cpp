#include "score/loop_rule.h"

#include "score/track.h"

namespace tonvela {

int applyLoopRule(const Track& track, int i, LoopState& state, bool* jumped)
{
    if (jumped)
        *jumped = false;
    if (i < 0 || i >= track.count)
        return i;
    const Note& n = track.noteAt(i);
    const bool usableLoop = n.loopCount > 0 && n.loopTo >= 0 && n.loopTo < track.count;
    if (state.loopMark < i && usableLoop) {
        state.loopNote = i;
        state.loopMark = i;
        state.loopRemaining = n.loopCount - 1;
        state.lastPlayedIndex = i;
        if (jumped)
            *jumped = true;
        return n.loopTo;
    }
    if (state.loopRemaining > 0 && i == state.loopNote && usableLoop) {
        --state.loopRemaining;
        if (jumped)
            *jumped = true;
        return n.loopTo;
    }
    return i + 1;
}

} // namespace tonvela
