#include "playback/tempo_map.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace tonvela {

TempoTimeline::TempoTimeline() : TempoTimeline({}, 96) {}

TempoTimeline::TempoTimeline(const std::vector<TempoChange>& changes, int division)
{
    const double ticksPerQuarter = division > 0 ? division : 96;
    const auto msPerTick = [&](int32_t us) {
        return static_cast<double>(us > 0 ? us : kDefaultUsPerQuarter) / 1000.0 / ticksPerQuarter;
    };
    m_segments.push_back({0, 0.0, msPerTick(kDefaultUsPerQuarter)});
    for (const TempoChange& c : changes) {
        const int64_t tick = std::max<int64_t>(c.tick, m_segments.back().tick);
        Segment& last = m_segments.back();
        if (tick == last.tick) {
            last.msPerTick = msPerTick(c.usPerQuarter);
            continue;
        }
        const double ms = last.ms + static_cast<double>(tick - last.tick) * last.msPerTick;
        m_segments.push_back({tick, ms, msPerTick(c.usPerQuarter)});
    }
}

double TempoTimeline::msAt(int64_t tick) const
{
    if (tick <= 0)
        return static_cast<double>(tick) * m_segments.front().msPerTick;
    auto it = std::upper_bound(m_segments.begin(), m_segments.end(), tick,
                               [](int64_t t, const Segment& s) { return t < s.tick; });
    const Segment& s = *(it - 1);
    return s.ms + static_cast<double>(tick - s.tick) * s.msPerTick;
}

int bpmOfTempo(int32_t usPerQuarter)
{
    if (usPerQuarter <= 0)
        return 120;
    return static_cast<int>(std::clamp(std::lround(60'000'000.0 / usPerQuarter), 1L, 1000L));
}

int dominantTempoBpm(const std::vector<TempoChange>& changes, int division, int64_t endTick)
{
    const TempoTimeline time(changes, division);
    // The tempo from each change to the next (the last to endTick), summed per whole bpm.
    std::map<int, double> lasting;
    std::vector<std::pair<int64_t, int32_t>> spans{{0, kDefaultUsPerQuarter}};
    for (const TempoChange& c : changes) {
        const int64_t tick = std::max<int64_t>(c.tick, spans.back().first);
        if (tick == spans.back().first)
            spans.back().second = c.usPerQuarter;
        else
            spans.emplace_back(tick, c.usPerQuarter);
    }
    int best = 120;
    double bestMs = -1;
    int firstSeen = 0;
    std::map<int, int> order;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        const int64_t from = std::min(spans[i].first, endTick);
        const int64_t to = i + 1 < spans.size() ? std::min(spans[i + 1].first, endTick) : endTick;
        const int bpm = bpmOfTempo(spans[i].second);
        order.emplace(bpm, firstSeen++);
        lasting[bpm] += std::max(0.0, time.msAt(to) - time.msAt(from));
    }
    for (const auto& [bpm, ms] : lasting) {
        if (ms > bestMs || (ms == bestMs && order[bpm] < order[best])) {
            best = bpm;
            bestMs = ms;
        }
    }
    return best;
}

} // namespace tonvela
