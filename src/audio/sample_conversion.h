#pragma once

#include <cstdint>

namespace tonvela::audio {

// Decoded samples are fixed point with 28 fraction bits: 1.0 is 2^28 (libmad's mad_fixed_t).
inline constexpr int kFixedFractionBits = 28;

// Noise-shaping and dither state of one channel; a fresh state is all zero.
struct DitherState {
    int64_t e0 = 0;
    int64_t e1 = 0;
    int64_t e2 = 0;
    uint32_t r0 = 0;
};

// How often the conversion had to clip, and by how much at most (in fixed-point units).
struct ConversionStats {
    uint64_t clipped = 0;
    int64_t largestExcess = 0;
};

// The slot's sample width for a requested bit count: below 8 becomes 16, others are rounded
// down to a multiple of 8, 40 and above become 32 (12 -> 8, 7 -> 16, 48 -> 32).
int normalizeBits(int bits) noexcept;

// Converts one fixed-point sample to a signed `bits`-wide integer (8, 16, 24 or 32) with
// second-order noise shaping and a triangular dither from a linear congruential generator.
// 32 bits hold the 29-bit input exactly: it is clipped and shifted, without dither.
// The exact arithmetic is kept so that output is bit-identical from one build to the next.
int32_t ditherSample(int32_t x, int bits, DitherState& state, ConversionStats* stats = nullptr) noexcept;

} // namespace tonvela::audio
