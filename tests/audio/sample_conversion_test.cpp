#include "audio/sample_conversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>
#include <vector>

namespace tonvela::audio {
namespace {

class SampleConversionTest : public ::testing::Test {
  protected:
    // A worked input: ordinary levels, a negative one, silence, two beyond full scale and the
    // largest value inside it.
    const std::vector<int32_t> input{0x1234567, 0x1234567,  -0x0800000, 0,
                                     1 << 29,   -(1 << 29), 268435455,  12345};

    std::vector<int32_t> convert(int bits, ConversionStats* stats = nullptr) const
    {
        DitherState state;
        std::vector<int32_t> out;
        for (const int32_t x : input)
            out.push_back(ditherSample(x, bits, state, stats));
        return out;
    }
};

TEST_F(SampleConversionTest, BitsBelowEightBecomeSixteenOthersRoundDownAndFortyOrMoreBecomeThirtyTwo)
{
    EXPECT_EQ(normalizeBits(12), 8);
    EXPECT_EQ(normalizeBits(7), 16);
    EXPECT_EQ(normalizeBits(48), 32);
    EXPECT_EQ(normalizeBits(0), 16);
    EXPECT_EQ(normalizeBits(16), 16);
    EXPECT_EQ(normalizeBits(24), 24);
    EXPECT_EQ(normalizeBits(39), 32);
    EXPECT_EQ(normalizeBits(40), 32);
}

TEST_F(SampleConversionTest, SixteenBitDitherGivesTheExactSamplesOfTheWorkedInput)
{
    EXPECT_EQ(convert(16), (std::vector<int32_t>{2331, 2329, -1023, -1, 32767, -32768, 32767, 3}));
}

TEST_F(SampleConversionTest, EightAndTwentyFourBitDitherGiveTheExactSamplesOfTheWorkedInput)
{
    EXPECT_EQ(convert(8), (std::vector<int32_t>{10, 8, -3, -1, 127, -128, 127, 1}));
    EXPECT_EQ(convert(24),
              (std::vector<int32_t>{596524, 596522, -262143, 0, 8388607, -8388608, 8388607, 386}));
}

// Converts `input` to `bits` and returns the error of each output sample against its input,
// in steps of the output (least significant bits).
std::vector<double> errorsInSteps(const std::vector<int32_t>& input, int bits)
{
    DitherState state;
    const double step = std::ldexp(1.0, kFixedFractionBits + 1 - bits);
    std::vector<double> errors;
    errors.reserve(input.size());
    for (const int32_t x : input)
        errors.push_back((static_cast<double>(ditherSample(x, bits, state)) * step - x) / step);
    return errors;
}

double mean(const std::vector<double>& v)
{
    return std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
}

// Amplitude of the component of `v` at `cycles` per `period` samples (a whole number of periods).
double amplitudeAt(const std::vector<double>& v, double cycles, int period)
{
    double a = 0;
    double b = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        const double phase = 2 * std::numbers::pi * cycles * static_cast<double>(i) / period;
        a += v[i] * std::sin(phase);
        b += v[i] * std::cos(phase);
    }
    return 2 * std::hypot(a, b) / static_cast<double>(v.size());
}

TEST_F(SampleConversionTest, TheDitherNoiseIsSmallZeroMeanAndFreeOfTheSignal)
{
    // GIVEN a quiet 16-bit tone: 2.5 steps of amplitude, 64 samples a period, 4096 periods. An
    // undithered quantizer would turn it into a staircase with strong odd harmonics.
    constexpr int kPeriod = 64;
    const double step = std::ldexp(1.0, kFixedFractionBits - 15);
    std::vector<int32_t> input;
    std::vector<double> signal;
    for (int i = 0; i < kPeriod * 4096; ++i) {
        const double v = 2.5 * std::sin(2 * std::numbers::pi * i / kPeriod);
        signal.push_back(v);
        input.push_back(static_cast<int32_t>(std::lround(v * step)));
    }
    // WHEN it is converted
    const std::vector<double> errors = errorsInSteps(input, 16);

    // THEN the error averages to nothing, stays within a couple of steps, carries none of the
    // tone or its harmonics, and does not follow the signal
    EXPECT_NEAR(mean(errors), 0.0, 0.01);
    double power = 0;
    double largest = 0;
    for (const double e : errors) {
        power += e * e;
        largest = std::max(largest, std::abs(e));
    }
    EXPECT_LT(std::sqrt(power / static_cast<double>(errors.size())), 1.5);
    EXPECT_LE(largest, 4.0);
    for (const double harmonic : {1.0, 2.0, 3.0, 5.0})
        EXPECT_LT(amplitudeAt(errors, harmonic, kPeriod), 0.02) << "harmonic " << harmonic;
    double cross = 0;
    double signalPower = 0;
    for (std::size_t i = 0; i < errors.size(); ++i) {
        cross += errors[i] * signal[i];
        signalPower += signal[i] * signal[i];
    }
    EXPECT_LT(std::abs(cross) / std::sqrt(signalPower * power), 0.01);
}

TEST_F(SampleConversionTest, TheConvertedSignalStaysWithinAFewStepsOfTheInputAtEveryWidth)
{
    // A sweep over most of the range, with a little of everything in it.
    std::vector<int32_t> input;
    uint32_t noise = 1;
    for (int i = 0; i < 200000; ++i) {
        noise = noise * 1103515245u + 12345u;
        const double v =
            0.9 * std::sin(i * 0.001) + 0.05 * (static_cast<double>(noise >> 8) / (1 << 24) - 0.5);
        input.push_back(static_cast<int32_t>(v * (1 << kFixedFractionBits)));
    }
    for (const int bits : {8, 16, 24}) {
        const std::vector<double> errors = errorsInSteps(input, bits);
        EXPECT_NEAR(mean(errors), 0.0, 0.02) << bits << " bits";
        for (const double e : errors)
            ASSERT_LE(std::abs(e), 4.0) << bits << " bits";
    }
}

TEST_F(SampleConversionTest, SilenceStaysNearSilence)
{
    // The shaped dither spreads silence over a few steps around zero and no further.
    for (const int bits : {8, 16, 24, 32}) {
        DitherState state;
        long sum = 0;
        double power = 0;
        constexpr int kSamples = 100000;
        for (int i = 0; i < kSamples; ++i) {
            const int32_t v = ditherSample(0, bits, state);
            ASSERT_LE(std::abs(v), 3) << bits << " bits";
            sum += v;
            power += static_cast<double>(v) * v;
        }
        EXPECT_LT(std::abs(sum), kSamples / 100) << bits << " bits: the dither averages out";
        EXPECT_LT(std::sqrt(power / kSamples), 1.1) << bits << " bits";
    }
}

TEST_F(SampleConversionTest, ThirtyTwoBitOutputIsTheInputScaledExactly)
{
    // The input has 28 fraction bits and a sign; 32 bits hold it whole, so nothing is dithered.
    DitherState state;
    ConversionStats stats;
    EXPECT_EQ(ditherSample(0x1234567, 32, state, &stats), 0x1234567 * 8);
    EXPECT_EQ(ditherSample(-0x0800000, 32, state, &stats), -0x0800000 * 8);
    EXPECT_EQ(ditherSample(0, 32, state, &stats), 0);
    EXPECT_EQ(stats.clipped, 0u);
    EXPECT_EQ(ditherSample(1 << 29, 32, state, &stats), ((1 << 28) - 1) * 8);
    EXPECT_EQ(ditherSample(INT32_MIN, 32, state, &stats), INT32_MIN);
    EXPECT_EQ(stats.clipped, 2u);
}

TEST_F(SampleConversionTest, SamplesBeyondFullScaleAreClippedAndCounted)
{
    ConversionStats stats;
    convert(16, &stats);
    EXPECT_EQ(stats.clipped, 3u); // both overloads and the largest value after its dither bias
    EXPECT_GT(stats.largestExcess, (1 << 28) - 1);
}

TEST_F(SampleConversionTest, ExtremeInputsNeitherOverflowNorWrap)
{
    DitherState state;
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(ditherSample(INT32_MAX, 16, state), 32767);
    }
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(ditherSample(INT32_MIN, 16, state), -32768);
    }
}

} // namespace
} // namespace tonvela::audio
