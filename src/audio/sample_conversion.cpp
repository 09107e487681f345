#include "audio/sample_conversion.h"

#include <algorithm>

namespace tonvela::audio {

int normalizeBits(int bits) noexcept
{
    if (bits < 8)
        return 16;
    if (bits >= 40)
        return 32;
    return bits / 8 * 8;
}

int32_t ditherSample(int32_t input, int bits, DitherState& s, ConversionStats* stats) noexcept
{
    // 64-bit intermediates: a decoded sample may exceed 1.0 several times over, and the error
    // terms added to it must not overflow before the clip.
    constexpr int64_t kMax = (int64_t{1} << kFixedFractionBits) - 1;
    constexpr int64_t kMin = -(int64_t{1} << kFixedFractionBits);

    const int k = kFixedFractionBits + 1 - bits;
    if (k <= 0) {
        // An output at least as wide as the fixed-point input (32 bits) holds every input value
        // exactly: it is clipped to full scale and shifted, with nothing to dither or shape.
        int64_t x = input;
        if (x > kMax || x < kMin) {
            const int64_t excess = x > kMax ? x - kMax : kMin - x;
            if (stats) {
                ++stats->clipped;
                stats->largestExcess = std::max(stats->largestExcess, excess);
            }
            x = std::clamp(x, kMin, kMax);
        }
        return static_cast<int32_t>(x * (int64_t{1} << -k));
    }

    int64_t x = int64_t{input} + s.e0 - s.e1 + s.e2;
    s.e2 = s.e1;
    s.e1 = s.e0 / 2;

    const int64_t mask = (int64_t{1} << k) - 1;
    const uint32_t r = s.r0 * 1664525u + 1013904223u;
    int64_t y = x + (int64_t{1} << (k - 1)) + (int64_t{r} & mask) - (int64_t{s.r0} & mask);
    s.r0 = r;

    if (y > kMax) {
        if (stats) {
            ++stats->clipped;
            if (y - kMax > stats->largestExcess)
                stats->largestExcess = y - kMax;
        }
        y = kMax;
        if (x > kMax)
            x = kMax;
    } else if (y < kMin) {
        if (stats) {
            ++stats->clipped;
            if (kMin - y > stats->largestExcess)
                stats->largestExcess = kMin - y;
        }
        y = kMin;
        if (x < kMin)
            x = kMin;
    }

    const int64_t q = y & ~mask;
    s.e0 = x - q;
    return static_cast<int32_t>(q >> k);
}

} // namespace tonvela::audio
