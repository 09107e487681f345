// Resampling to the output rate: pitch, level, timing and purity are kept, offline and through a
// stream slot's ring.
#include "audio/resampler.h"

#include "audio/audio_test_util.h"
#include "audio/clip_decoder.h"
#include "audio/sound_engine.h"
#include "platform/notifier.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <numbers>
#include <thread>
#include <vector>

namespace tonvela::audio {
namespace {

using tonvela::testing::PulledSink;

constexpr double kTwoPi = 2 * std::numbers::pi;

std::vector<float> sine(double hz, double rate, int frames, double level, int channels = 1)
{
    std::vector<float> out;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            out.push_back(static_cast<float>(level * std::sin(kTwoPi * hz * i / rate)));
    return out;
}

// Frequency from the times of the upward zero crossings (interpolated between samples).
double crossingFrequency(const std::vector<float>& x, double rate)
{
    double first = -1;
    double last = -1;
    int count = 0;
    for (std::size_t i = 1; i < x.size(); ++i) {
        if (x[i - 1] < 0 && x[i] >= 0) {
            const double t = static_cast<double>(i - 1) + x[i - 1] / (x[i - 1] - x[i]);
            if (first < 0)
                first = t;
            last = t;
            ++count;
        }
    }
    return count > 1 ? (count - 1) * rate / (last - first) : 0.0;
}

double rms(const float* x, std::size_t n)
{
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i)
        sum += static_cast<double>(x[i]) * x[i];
    return n ? std::sqrt(sum / static_cast<double>(n)) : 0.0;
}

// What is left of a block after the best-fitting sine of `hz` is taken out, in dB below that
// sine. The block must hold whole periods.
double residualDb(const float* x, std::size_t n, double hz, double rate)
{
    double a = 0;
    double b = 0;
    for (std::size_t i = 0; i < n; ++i) {
        a += x[i] * std::sin(kTwoPi * hz * static_cast<double>(i) / rate);
        b += x[i] * std::cos(kTwoPi * hz * static_cast<double>(i) / rate);
    }
    a *= 2.0 / static_cast<double>(n);
    b *= 2.0 / static_cast<double>(n);
    double rest = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double fit = a * std::sin(kTwoPi * hz * static_cast<double>(i) / rate) +
                           b * std::cos(kTwoPi * hz * static_cast<double>(i) / rate);
        rest += (x[i] - fit) * (x[i] - fit);
    }
    const double amplitude = std::sqrt(a * a + b * b);
    return 20 * std::log10(std::sqrt(rest / static_cast<double>(n)) / (amplitude / std::sqrt(2.0)));
}

TEST(ResamplerTest, ASineAt22050HzKeepsItsFrequencyLevelAndLengthAt48000Hz)
{
    // GIVEN one second of 1000 Hz at half scale, sampled at 22050 Hz
    const std::vector<float> in = sine(1000, 22050, 22050, 0.5);
    // WHEN it is resampled to 48000 Hz
    const std::vector<float> out = resample(in, 1, 22050, 48000);
    // THEN it lasts one second, and in its steady middle the tone keeps pitch, level and purity
    EXPECT_NEAR(static_cast<double>(out.size()), 48000, 2);
    const std::vector<float> middle(out.begin() + 4800, out.end() - 4800);
    EXPECT_NEAR(crossingFrequency(middle, 48000), 1000.0, 0.05);
    EXPECT_NEAR(rms(middle.data(), middle.size()), 0.5 / std::sqrt(2.0), 0.002);
    for (std::size_t at = 0; at + 480 <= middle.size(); at += 480)
        ASSERT_LT(residualDb(middle.data() + at, 480, 1000, 48000), -80) << "block at " << at;
}

TEST(ResamplerTest, BlocksGivenOneAfterAnotherJoinWithoutASeam)
{
    const std::vector<float> in = sine(440, 44100, 44100, 0.7, 2);
    const std::vector<float> whole = resample(in, 2, 44100, 48000);
    Resampler r(2, 44100, 48000);
    ASSERT_TRUE(r.ok());
    std::vector<float> pieces;
    for (std::size_t at = 0; at < in.size() / 2; at += 1000)
        r.process(in.data() + 2 * at, std::min<std::size_t>(1000, in.size() / 2 - at), pieces);
    r.finish(pieces);
    ASSERT_EQ(pieces.size(), whole.size());
    for (std::size_t i = 0; i < whole.size(); ++i)
        ASSERT_NEAR(pieces[i], whole[i], 1e-6f) << "sample " << i;
}

TEST(ResamplerTest, TimingIsKeptAndUnusableRatesProduceNothing)
{
    // A click half a second in stays half a second in.
    std::vector<float> in(22050, 0.0f);
    in[11025] = 1.0f;
    const std::vector<float> out = resample(in, 1, 22050, 48000);
    std::size_t peak = 0;
    for (std::size_t i = 0; i < out.size(); ++i)
        if (std::abs(out[i]) > std::abs(out[peak]))
            peak = i;
    EXPECT_NEAR(static_cast<double>(peak), 24000, 1);

    Resampler none(1, 0, 48000);
    EXPECT_FALSE(none.ok());
    std::vector<float> nothing;
    none.process(in.data(), in.size(), nothing);
    none.finish(nothing);
    EXPECT_TRUE(nothing.empty());
    EXPECT_FALSE(Resampler(0, 44100, 48000).ok());
    EXPECT_FALSE(Resampler(1, 100, 48000).ok()); // more than 256 times
}

TEST(ResamplerTest, AStreamThroughASlotKeepsItsToneAcrossTheRingsWrapWithoutABurst)
{
    // GIVEN a 48000 Hz output and five seconds of 1000 Hz at 22050 Hz, longer than the ring
    CollectingNotifier notifier;
    SoundEngine engine(notifier);
    auto sink = std::make_unique<PulledSink>(48000);
    PulledSink* pulled = sink.get();
    ASSERT_EQ(engine.initAudio(std::move(sink)), 0);
    const std::vector<float> tone = sine(1000, 22050, 5 * 22050, 0.5);
    std::vector<int16_t> pcm;
    pcm.reserve(tone.size());
    for (const float v : tone)
        pcm.push_back(static_cast<int16_t>(std::lround(v * 32767.0f)));
    const int slot = engine.startBuffer(pcm.data(), pcm.size() * 2, PcmFormat{1, 22050, 2, 16});

    // WHEN it plays, pulled only while the ring has the next period (no underrun)
    constexpr std::size_t kPeriod = 480;
    std::vector<float> left;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (engine.streamActive(slot) && std::chrono::steady_clock::now() < until) {
        const StreamSlot* s = engine.slotAt(slot);
        if (engine.playing(slot) && s->framesWritten.load() - s->framesPlayed.load() >= kPeriod) {
            const std::vector<float> out = pulled->pull(static_cast<int>(kPeriod));
            for (std::size_t i = 0; i < out.size(); i += 2)
                left.push_back(out[i]);
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }

    // THEN five seconds of output frames carry the tone at its pitch and level, and every 10 ms
    // of it, the ring's wrap at three seconds included, is a clean sine
    ASSERT_GE(left.size(), 5u * 48000);
    const std::vector<float> steady(left.begin() + 4800, left.begin() + 5 * 48000 - 4800);
    EXPECT_NEAR(crossingFrequency(steady, 48000), 1000.0, 0.05);
    EXPECT_NEAR(rms(steady.data(), steady.size()), 0.5 / std::sqrt(2.0), 0.003);
    for (std::size_t at = 0; at + kPeriod <= steady.size(); at += kPeriod)
        ASSERT_LT(residualDb(steady.data() + at, kPeriod, 1000, 48000), -60) << "10 ms block at " << at;
    EXPECT_FALSE(engine.finished(slot));
}

TEST(ResamplerTest, AThirtyTwoBitStreamAtAnotherRateKeepsItsToneThroughASlot)
{
    CollectingNotifier notifier;
    SoundEngine engine(notifier);
    auto sink = std::make_unique<PulledSink>(48000);
    PulledSink* pulled = sink.get();
    ASSERT_EQ(engine.initAudio(std::move(sink)), 0);
    std::vector<int32_t> pcm;
    for (const float v : sine(1000, 24000, 12000, 0.5))
        pcm.push_back(static_cast<int32_t>(std::lround(static_cast<double>(v) * 2147483647.0)));
    const int slot = engine.startBuffer(pcm.data(), pcm.size() * 4, PcmFormat{1, 24000, 4, 32});
    std::vector<float> out;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (engine.streamActive(slot) && std::chrono::steady_clock::now() < until) {
        if (engine.playing(slot)) {
            for (const float v : pulled->pull(480))
                out.push_back(v);
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    // Half a second at 48000 Hz, of which the middle is checked (left and right alike).
    ASSERT_GE(out.size(), 2u * 24000);
    std::vector<float> middle;
    for (std::size_t i = 2 * 2400; i < 2 * 21600; i += 2)
        middle.push_back(out[i]);
    EXPECT_NEAR(crossingFrequency(middle, 48000), 1000.0, 0.05);
    EXPECT_NEAR(rms(middle.data(), middle.size()), 0.5 / std::sqrt(2.0), 0.003);
}

class ResamplerFilesTest : public tonvela::testing::AudioFilesTest {};

TEST_F(ResamplerFilesTest, AClipDecodedForOfflineMixingIsResampledTheSameWay)
{
    DecodedClip clip;
    const LoadResult decoded = decodeClipFile(tone("sine.wav", 1.0, 1, 22050, 16, 1000, 0.5), 48000, clip);
    ASSERT_TRUE(decoded.ok()) << decoded.error;
    EXPECT_NEAR(static_cast<double>(clip.frames()), 48000, 2);
    std::vector<float> left;
    for (std::size_t i = 4800 * 2; i + 4800 * 2 < clip.samples.size(); i += 2)
        left.push_back(clip.samples[i]);
    EXPECT_NEAR(crossingFrequency(left, 48000), 1000.0, 0.05);
    EXPECT_NEAR(rms(left.data(), left.size()), 0.5 / std::sqrt(2.0), 0.003);
    for (std::size_t at = 0; at + 480 <= left.size(); at += 480)
        ASSERT_LT(residualDb(left.data() + at, 480, 1000, 48000), -60) << "block at " << at;
}

} // namespace
} // namespace tonvela::audio
