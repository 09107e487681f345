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

namespace {

// Sorts a chord's few heads keeping equal ones in order, without the buffer std::stable_sort
// takes from the heap: layout arranges every chord of a sheet each time it runs.
template <typename Before> void sortHeads(std::vector<ChordHead*>& heads, Before before)
{
    if (heads.size() > 32) {
        std::stable_sort(heads.begin(), heads.end(), before);
        return;
    }
    for (std::size_t i = 1; i < heads.size(); ++i)
        for (std::size_t j = i; j > 0 && before(heads[j], heads[j - 1]); --j)
            std::swap(heads[j], heads[j - 1]);
}

} // namespace

ChordArrangement arrangeChord(std::vector<ChordHead>& heads, bool down)
{
    ChordArrangement out;
    if (heads.empty())
        return out;
    // Scratch lists kept from chord to chord.
    thread_local std::vector<ChordHead*> order;
    thread_local std::vector<ChordHead*> marked;
    // From the stem's root end: the lowest head for an up stem, the highest for a down one.
    order.clear();
    for (ChordHead& h : heads)
        order.push_back(&h);
    sortHeads(order, [down](const ChordHead* a, const ChordHead* b) {
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
    marked.clear();
    for (ChordHead& h : heads)
        if (h.accidental)
            marked.push_back(&h);
    sortHeads(marked, [](const ChordHead* a, const ChordHead* b) { return a->step < b->step; });
    // An accidental reaches about a space and a half above and below its step: two closer
    // than six steps would touch in one column. Each takes the first column where it touches
    // none of the accidentals placed there before it.
    constexpr int kClearSteps = 6;
    int columns = 0;
    for (std::size_t k = 0; k < marked.size(); ++k) {
        ChordHead* h = marked[k];
        int c = 0;
        for (; c < columns; ++c) {
            bool clear = true;
            for (std::size_t before = 0; before < k && clear; ++before)
                clear = marked[before]->accidentalColumn != c ||
                        std::abs(marked[before]->step - h->step) >= kClearSteps;
            if (clear)
                break;
        }
        columns = std::max(columns, c + 1);
        h->accidentalColumn = c;
    }
    return out;
}

} // namespace tonvela
