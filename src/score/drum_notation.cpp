#include "score/drum_notation.h"

#include "score/note.h"

#include <algorithm>

namespace tonvela {

const DrumNotation* drumNotationOf(int key)
{
    for (const DrumNotation& d : kDrumNotation)
        if (d.key == key)
            return &d;
    return nullptr;
}

std::optional<int> drumKeyAtStep(int step, int preferred)
{
    if (const DrumNotation* own = drumNotationOf(preferred); own && own->step == step)
        return preferred;
    for (const DrumNotation& d : kDrumNotation)
        if (d.step == step)
            return d.key;
    return std::nullopt;
}

int drumStaffStep(const Note& n)
{
    const DrumNotation* d = drumNotationOf(n.effectiveKey());
    return d ? d->step : n.line;
}

int shownStep(const Note& n, bool percussive)
{
    return percussive ? drumStaffStep(n) : n.line;
}

DrumDisplay drumDisplayOfStep(int step)
{
    // Diatonic steps from C0; C5 is 35, and a larger step is lower. MusicXML's octaves run
    // from 0 to 9: a damaged place is written at the nearest end.
    constexpr int kC5 = 5 * 7;
    constexpr int kHighest = 9 * 7 + 6;
    const int d = std::clamp(kC5 - std::clamp(step, -kHighest, kHighest), 0, kHighest);
    return {"CDEFGAB"[d % 7], d / 7};
}

} // namespace tonvela
