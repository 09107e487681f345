#include "editor/chord_engraving.h"

#include <algorithm>
#include <cstdlib>

namespace tonvela {

bool stemDownForSteps(const std::vector<int>& steps)
{
    int above = 0, below = 0;
    for (const int s : steps) {
        above = std::max(above, kMiddleLineStep - s);
        below = std::max(below, s - kMiddleLineStep);
    }
    return above > 0 && above >= below;
}

ChordArrangement arrangeChord(std::vector<ChordHead>& heads, bool down)
{
    ChordArrangement out;
    if (heads.empty())
        return out;
    // From the stem's root end: the lowest head for an up stem, the highest for a down one.
    std::vector<ChordHead*> order;
    for (ChordHead& h : heads)
        order.push_back(&h);
    std::stable_sort(order.begin(), order.end(), [down](const ChordHead* a, const ChordHead* b) {
        return down ? a->step < b->step : a->step > b->step;
    });
    const ChordHead* prev = nullptr;
    for (ChordHead* h : order) {
        h->shift = 0;
        if (prev && std::abs(h->step - prev->step) == 1 && prev->shift == 0)
            h->shift = down ? -1 : 1;
        prev = h;
        if (h->shift == 0)
            out.stemNote = h->index; // the last one on the normal side is at the far end
        out.headsLeft = out.headsLeft || h->shift < 0;
    }

    // Accidentals from the top down.
    std::vector<ChordHead*> marked;
    for (ChordHead& h : heads)
        if (h.accidental)
            marked.push_back(&h);
    std::stable_sort(marked.begin(), marked.end(),
                     [](const ChordHead* a, const ChordHead* b) { return a->step < b->step; });
    // An accidental reaches about a space and a half above and below its step: two closer
    // than six steps would touch in one column.
    constexpr int kClearSteps = 6;
    std::vector<std::vector<int>> columns;
    for (ChordHead* h : marked) {
        std::size_t c = 0;
        for (; c < columns.size(); ++c) {
            const bool clear = std::all_of(columns[c].begin(), columns[c].end(),
                                           [&](int s) { return std::abs(s - h->step) >= kClearSteps; });
            if (clear)
                break;
        }
        if (c == columns.size())
            columns.emplace_back();
        columns[c].push_back(h->step);
        h->accidentalColumn = static_cast<int>(c);
    }
    return out;
}

} // namespace tonvela
