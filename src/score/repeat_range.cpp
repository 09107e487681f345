#include "score/repeat_range.h"

#include "score/measure_division.h"
#include "score/track.h"

#include <algorithm>

namespace tonvela {

bool validRepeatRange(const RepeatRange& r)
{
    return r.first >= 1 && r.last >= r.first && r.last <= kMaxRangeMeasure && r.firstEnding >= 0 &&
           r.firstEnding <= r.last - r.first && r.secondEnding >= 0 && r.secondEnding <= kMaxRangeMeasure &&
           r.reach() <= kMaxRangeMeasure;
}

std::vector<RepeatRange> normalizedRepeatRanges(const std::vector<RepeatRange>& ranges)
{
    std::vector<RepeatRange> kept;
    for (const RepeatRange& r : ranges) {
        if (static_cast<int>(kept.size()) >= kMaxRepeatRanges)
            break;
        if (!validRepeatRange(r))
            continue;
        // Kept sorted by A and apart, so only the neighbours can overlap.
        const auto at = std::lower_bound(kept.begin(), kept.end(), r.first,
                                         [](const RepeatRange& k, int first) { return k.first < first; });
        if (at != kept.end() && at->first <= r.reach())
            continue;
        if (at != kept.begin() && std::prev(at)->reach() >= r.first)
            continue;
        kept.insert(at, r);
    }
    return kept;
}

std::string repeatRangesText(const std::vector<RepeatRange>& ranges)
{
    std::string out;
    for (const RepeatRange& r : ranges) {
        if (!out.empty())
            out += ',';
        out += std::to_string(r.first);
        out += '-';
        out += std::to_string(r.last);
        if (r.firstEnding > 0 || r.secondEnding > 0) {
            out += '/';
            out += std::to_string(r.firstEnding);
        }
        if (r.secondEnding > 0) {
            out += '/';
            out += std::to_string(r.secondEnding);
        }
    }
    return out;
}

namespace {

// Reads a number of decimal digits at `at`; false when there is none or it is too large.
bool readNumber(std::string_view text, std::size_t& at, int& value)
{
    const std::size_t from = at;
    long long v = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        v = v * 10 + (text[at] - '0');
        if (v > kMaxRangeMeasure)
            return false;
        ++at;
    }
    value = static_cast<int>(v);
    return at > from;
}

// One entry, the whole of `entry`: "A-B", "A-B/E1" or "A-B/E1/E2".
bool readEntry(std::string_view entry, RepeatRange& r)
{
    std::size_t at = 0;
    if (!readNumber(entry, at, r.first) || at >= entry.size() || entry[at] != '-')
        return false;
    ++at;
    if (!readNumber(entry, at, r.last))
        return false;
    int* endings[] = {&r.firstEnding, &r.secondEnding};
    for (int* ending : endings) {
        if (at == entry.size())
            return true;
        if (entry[at] != '/')
            return false;
        ++at;
        if (!readNumber(entry, at, *ending))
            return false;
    }
    return at == entry.size();
}

} // namespace

std::vector<RepeatRange> parseRepeatRanges(std::string_view text)
{
    std::vector<RepeatRange> read;
    std::size_t from = 0;
    while (from <= text.size() && static_cast<int>(read.size()) < kMaxRepeatRanges) {
        std::size_t comma = text.find(',', from);
        if (comma == std::string_view::npos)
            comma = text.size();
        RepeatRange r;
        if (readEntry(text.substr(from, comma - from), r))
            read.push_back(r);
        from = comma + 1;
    }
    return normalizedRepeatRanges(read);
}

int rangeHolding(const std::vector<RepeatRange>& ranges, int measure)
{
    for (std::size_t k = 0; k < ranges.size(); ++k)
        if (measure >= ranges[k].first && measure <= ranges[k].reach())
            return static_cast<int>(k);
    return -1;
}

int applyRepeatRanges(const Track& track, const MeasureDivision& division, int i, RepeatRangeState& state)
{
    const std::vector<RepeatRange>& ranges = track.repeatRanges;
    if (ranges.empty() || i <= 0 || i > track.count)
        return i;
    const bool end = i == track.count;
    // As for measure repeats: the end of the track counts only when the division covers it.
    if (end ? division.noteCount() != track.count : i >= division.noteCount())
        return i;
    const int before = division.measureOf(i - 1);
    if (before < 1 || (!end && before == division.measureOf(i)))
        return i;
    if (state.pass.size() < ranges.size())
        state.pass.resize(ranges.size(), 0);
    for (std::size_t k = 0; k < ranges.size(); ++k) {
        const RepeatRange& r = ranges[k];
        unsigned char& pass = state.pass[k];
        if (pass == 0 && before == r.last) {
            const int back = division.firstNote(r.first);
            if (back < 0)
                return i;
            pass = 1;
            return back;
        }
        if (pass == 1 && before == r.last - r.firstEnding) {
            pass = 2;
            if (r.firstEnding == 0)
                return i;
            // On to the measure after B; past the track's last measure the walk ends.
            const int on = division.firstNote(r.last + 1);
            return on >= 0 ? on : track.count;
        }
    }
    return i;
}

bool tieCrossesRangeEnd(const Track& track, const MeasureDivision& division, int from, int to)
{
    if (track.repeatRanges.empty())
        return false;
    const int a = division.measureOf(from);
    if (a == division.measureOf(to))
        return false;
    return std::any_of(track.repeatRanges.begin(), track.repeatRanges.end(), [a](const RepeatRange& r) {
        return a == r.last || (r.firstEnding > 0 && a == r.last - r.firstEnding);
    });
}

bool rangeRepeatPending(const Track& track, int measure, const RepeatRangeState& state)
{
    const std::vector<RepeatRange>& ranges = track.repeatRanges;
    for (std::size_t k = 0; k < ranges.size(); ++k) {
        const RepeatRange& r = ranges[k];
        if (measure >= r.first && measure <= r.last - r.firstEnding)
            return k >= state.pass.size() || state.pass[k] == 0;
    }
    return false;
}

} // namespace tonvela
