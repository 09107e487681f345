#include "score/duration.h"

#include <algorithm>

namespace tonvela {
namespace {

// A minute in microseconds over the ticks of a quarter note: a tick lasts this many
// microseconds at one quarter note per minute.
constexpr int64_t kUsPerTickAtOneBpm = 60'000'000 / kQuarterTicks; // 31250, exact
static_assert(60'000'000 % kQuarterTicks == 0);
// Places beyond this (some 1.6 million hours of thirty-seconds) are held here, so the products
// below stay inside 64 bits whatever a damaged file asks for.
constexpr Ticks kLongestPlace = Ticks{1} << 48;

int64_t divideRounded(int64_t num, int64_t den)
{
    // den > 0; halves go away from zero.
    return num >= 0 ? (num + den / 2) / den : -((-num + den / 2) / den);
}

// Tempos below 1 count as 1; above a million quarter notes a minute (a note every 60 us) they
// all play alike, which keeps the products below inside 64 bits.
int64_t clampTempo(int tempo)
{
    return std::clamp(tempo, 1, 1'000'000);
}

} // namespace

int64_t usAtTempo(Ticks at, int tempo)
{
    at = std::clamp(at, -kLongestPlace, kLongestPlace);
    return divideRounded(at * kUsPerTickAtOneBpm, clampTempo(tempo));
}

Ticks ticksAtTempo(int64_t us, int tempo)
{
    constexpr int64_t kLongestUs = int64_t{1} << 40; // some 12 days
    us = std::clamp(us, -kLongestUs, kLongestUs);
    const int64_t num = us * clampTempo(tempo);
    return num >= 0 ? num / kUsPerTickAtOneBpm : -((-num + kUsPerTickAtOneBpm - 1) / kUsPerTickAtOneBpm);
}

int64_t msAtTempo(Ticks length, int tempo)
{
    length = std::clamp(length, -kLongestPlace, kLongestPlace);
    return divideRounded(length * kUsPerTickAtOneBpm, clampTempo(tempo) * 1000);
}

} // namespace tonvela
