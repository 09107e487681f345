#include "audio/sample_conversion.h"

#include <gtest/gtest.h>

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

TEST_F(SampleConversionTest, ErrorFeedbackAndRandomStateCarryFromSampleToSample)
{
    DitherState state;
    ditherSample(0x1234567, 16, state);
    EXPECT_EQ(state.r0, 1013904223u);
    EXPECT_EQ(state.e0, 0x1234567 - 2331 * 8192);
    EXPECT_EQ(state.e1, 0);
    ditherSample(0x1234567, 16, state);
    EXPECT_EQ(state.e1, (0x1234567 - 2331 * 8192) / 2); // halved, rounded toward zero
    EXPECT_EQ(state.e2, 0);
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
