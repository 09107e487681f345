#include "audio/sound_engine.h"
#include "audio/wave_file.h"

#include "audio_test_util.h"
#include "platform/notifier.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace tonvela::audio {
namespace {

using tonvela::testing::eventually;
using tonvela::testing::PulledSink;

constexpr int kRate = 8000; // slot and output at one rate: the mixer steps one frame per frame
constexpr int32_t kOne = 1 << kFixedFractionBits;

class SoundEngineTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        auto sink = std::make_unique<PulledSink>(kRate);
        pulled = sink.get();
        ASSERT_EQ(engine.initAudio(std::move(sink)), 0);
    }

    // Writes `frames` frames of the constant `level` (fixed point) to a mono slot.
    WriteResult writeLevel(int slot, int frames, int32_t level)
    {
        std::vector<int32_t> samples(static_cast<std::size_t>(frames), level);
        const int32_t* channels[1] = {samples.data()};
        return engine.writeSlot(slot, channels, 1, frames);
    }

    CollectingNotifier notifier;
    SoundEngine engine{notifier};
    PulledSink* pulled = nullptr;
};

TEST_F(SoundEngineTest, ConfigureTurnsBitsTwelveSevenAndFortyEightIntoEightSixteenAndThirtyTwo)
{
    // The ring holds three seconds at the output rate, whatever the stream's rate.
    ASSERT_EQ(engine.configureSlot(0, 2, 1000, 12), 0);
    EXPECT_EQ(engine.slotAt(0)->format.bits, 8);
    EXPECT_EQ(engine.slotAt(0)->bufferBytes, 3u * kRate * 2); // three seconds of 2-byte frames
    ASSERT_EQ(engine.configureSlot(1, 2, 1000, 7), 0);
    EXPECT_EQ(engine.slotAt(1)->format.bits, 16);
    EXPECT_EQ(engine.slotAt(1)->bufferBytes, 3u * kRate * 4);
    ASSERT_EQ(engine.configureSlot(2, 1, 1000, 48), 0);
    EXPECT_EQ(engine.slotAt(2)->format.bits, 32);
    EXPECT_EQ(engine.slotAt(2)->format.blockAlign, 4);
    EXPECT_EQ(engine.slotAt(2)->format.sampleRate, 1000);
}

TEST_F(SoundEngineTest, ConfigureRefusesUnusableFormatsSlotsAndAStoppedOutput)
{
    EXPECT_EQ(engine.configureSlot(-1, 2, 44100, 16), -1);
    EXPECT_EQ(engine.configureSlot(kSlotCount, 2, 44100, 16), -1);
    EXPECT_EQ(engine.configureSlot(0, 0, 44100, 16), -1);
    EXPECT_EQ(engine.configureSlot(0, 2, 0, 16), -1);
    engine.shutdown();
    EXPECT_EQ(engine.configureSlot(0, 2, 44100, 16), -1);
}

TEST_F(SoundEngineTest, AStreamShorterThanTwoSecondsStartsInTheDrainPlaysItsDataAndEnds)
{
    ASSERT_EQ(engine.configureSlot(0, 1, kRate, 16), 0);
    ASSERT_EQ(writeLevel(0, kRate / 2, kOne / 4), WriteResult::Continue);
    EXPECT_FALSE(engine.playing(0)); // half a second never reaches the two-thirds start

    std::thread drain([this] { engine.drainSlot(0); });
    ASSERT_TRUE(eventually([this] { return engine.playing(0); }, 2000));
    const std::vector<float> out = pulled->pull(kRate / 2 + 200);
    for (int i = 0; i < kRate / 2; i += 97)
        EXPECT_NEAR(out[static_cast<std::size_t>(2 * i)], 0.25f, 1e-3f) << "frame " << i;
    for (int i = kRate / 2; i < kRate / 2 + 200; ++i)
        EXPECT_EQ(out[static_cast<std::size_t>(2 * i)], 0.0f) << "silence after the data, frame " << i;
    drain.join();
    EXPECT_FALSE(engine.playing(0));
    EXPECT_FALSE(engine.finished(0));
    EXPECT_EQ(pulled->pull(64), std::vector<float>(128, 0.0f));
}

TEST_F(SoundEngineTest, AStreamThatWroteNothingIsFinishedWithoutPlaying)
{
    ASSERT_EQ(engine.configureSlot(3, 2, kRate, 16), 0);
    engine.drainSlot(3);
    EXPECT_TRUE(engine.finished(3));
    EXPECT_FALSE(engine.playing(3));
}

TEST_F(SoundEngineTest, AStreamStartsPlayingOnceMoreThanTwoThirdsOfTheRingIsFilled)
{
    ASSERT_EQ(engine.configureSlot(0, 1, kRate, 16), 0);
    writeLevel(0, 2 * kRate, kOne / 8); // exactly two thirds of three seconds
    EXPECT_FALSE(engine.playing(0));
    writeLevel(0, 1, kOne / 8);
    EXPECT_TRUE(engine.playing(0));
    EXPECT_NEAR(pulled->pull(1)[0], 0.125f, 1e-3f);
}

TEST_F(SoundEngineTest, AStreamBoundToAnOutputFrameStartsThereAndKnowsWhereItEnds)
{
    const std::string file = ::testing::TempDir() + "tonvela-bound-" + std::to_string(::getpid()) + ".wav";
    ASSERT_TRUE(writeWav(file, std::vector<float>(800, 0.25f), 1, kRate).ok);
    pulled->pull(100); // the mixer stands at frame 100

    const int slot = engine.startWave(file, 400);
    ASSERT_TRUE(eventually([&] { return engine.playing(slot); }, 2000));
    EXPECT_EQ(engine.endFrame(slot), 1200) << "known before it sounds";
    const std::vector<float> out = pulled->pull(1500); // frames 100..1599
    for (int f = 100; f < 1600; ++f) {
        const float v = out[static_cast<std::size_t>(2 * (f - 100))];
        if (f < 400 || f >= 1200)
            ASSERT_EQ(v, 0.0f) << "frame " << f;
        else
            ASSERT_NEAR(v, 0.25f, 1e-3f) << "frame " << f;
    }
    EXPECT_EQ(engine.endFrame(slot), 1200);

    // A frame the mixer has passed already: the stream sounds at once.
    const int late = engine.startWave(file, 10);
    ASSERT_TRUE(eventually([&] { return engine.playing(late); }, 2000));
    EXPECT_EQ(engine.endFrame(late), -1) << "not known until the mixer starts it";
    const std::vector<float> next = pulled->pull(100);
    EXPECT_NEAR(next[0], 0.25f, 1e-3f);
    EXPECT_EQ(engine.endFrame(late), 1600 + 800);
    std::remove(file.c_str());
}

TEST_F(SoundEngineTest, StopOnASlotThatIsNotPlayingLeavesItUntouched)
{
    ASSERT_EQ(engine.configureSlot(0, 1, kRate, 16), 0);
    writeLevel(0, 100, kOne / 8);
    const uint32_t offset = engine.slotAt(0)->writeOffset;
    engine.stopSlot(0);
    engine.stopSlot(-1);
    EXPECT_FALSE(engine.slotAt(0)->abort);
    EXPECT_EQ(engine.slotAt(0)->writeOffset, offset);
    EXPECT_EQ(writeLevel(0, 100, kOne / 8), WriteResult::Continue);
}

TEST_F(SoundEngineTest, StopSilencesAPlayingStreamAtOnceAndMakesItsWriterGiveUp)
{
    std::vector<int16_t> tone(static_cast<std::size_t>(kRate) * 10, 8000);
    const int slot = engine.startBuffer(tone.data(), tone.size() * 2, PcmFormat{1, kRate, 2, 16});
    ASSERT_TRUE(eventually([&] { return engine.playing(slot); }, 2000));
    EXPECT_NEAR(pulled->pull(10)[0], 8000.0f / 32768.0f, 1e-4f);

    const auto before = std::chrono::steady_clock::now();
    engine.stopSlot(slot);
    EXPECT_LE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(kStopWaitMs + 50));
    EXPECT_EQ(pulled->pull(256), std::vector<float>(512, 0.0f));
    EXPECT_TRUE(eventually([&] { return !engine.streamActive(slot); }, 1000)); // the writer saw the abort
    EXPECT_FALSE(engine.playing(slot));
}

TEST_F(SoundEngineTest, SixteenFullScaleSlotsAreHeldAtFullScaleInsteadOfWrappingAround)
{
    for (int slot = 0; slot < kSlotCount; ++slot) {
        ASSERT_EQ(engine.configureSlot(slot, 1, kRate, 16), 0);
        writeLevel(slot, 2 * kRate + 1, kOne - 1); // every slot near +1
    }
    for (const float v : pulled->pull(64))
        EXPECT_EQ(v, 1.0f);

    // And the same below: a second engine whose slots all sit at -1.
    auto sink = std::make_unique<PulledSink>(kRate);
    PulledSink* second = sink.get();
    SoundEngine other(notifier);
    ASSERT_EQ(other.initAudio(std::move(sink)), 0);
    std::vector<int32_t> low(static_cast<std::size_t>(2 * kRate + 1), -kOne);
    const int32_t* channels[1] = {low.data()};
    for (int slot = 0; slot < kSlotCount; ++slot) {
        ASSERT_EQ(other.configureSlot(slot, 1, kRate, 16), 0);
        other.writeSlot(slot, channels, 1, 2 * kRate + 1);
    }
    for (const float v : second->pull(64))
        EXPECT_EQ(v, -1.0f);
}

TEST_F(SoundEngineTest, AnEightBitRingHoldsUnsignedSamplesSoSilenceStaysSilent)
{
    ASSERT_EQ(engine.configureSlot(0, 1, kRate, 8), 0);
    writeLevel(0, 2 * kRate + 1, 0);
    for (const float v : pulled->pull(32))
        EXPECT_NEAR(v, 0.0f, 1.0f / 64);
    ASSERT_EQ(engine.configureSlot(1, 1, kRate, 8), 0);
    engine.stopSlot(0, 0);
    writeLevel(1, 2 * kRate + 1, kOne / 2);
    for (const float v : pulled->pull(32))
        EXPECT_NEAR(v, 0.5f, 1.0f / 64);
}

TEST_F(SoundEngineTest, AStreamLongerThanTheRingPlaysEveryFrameInOrderAcrossTheWrap)
{
    // 10 s of a counting signal through a 3 s ring: the writer blocks on the notifications
    // while the test pulls, and the frames come out in order, none lost or repeated.
    constexpr int kFrames = kRate * 10;
    std::vector<int16_t> counting(static_cast<std::size_t>(kFrames));
    for (int i = 0; i < kFrames; ++i)
        counting[static_cast<std::size_t>(i)] = static_cast<int16_t>(1 + i % 30000);
    const int slot = engine.startBuffer(counting.data(), counting.size() * 2, PcmFormat{1, kRate, 2, 16});
    std::vector<int> heard;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (engine.streamActive(slot) && std::chrono::steady_clock::now() < until) {
        for (const float v : pulled->pull(500)) {
            const int s = static_cast<int>(std::lround(v * 32768.0f));
            if (s != 0)
                heard.push_back(s);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    heard.erase(heard.begin() + static_cast<std::ptrdiff_t>(heard.size() / 2 * 2), heard.end());
    std::vector<int> left;
    for (std::size_t i = 0; i < heard.size(); i += 2)
        left.push_back(heard[i]);
    ASSERT_EQ(left.size(), static_cast<std::size_t>(kFrames));
    for (int i = 0; i < kFrames; ++i)
        ASSERT_EQ(left[static_cast<std::size_t>(i)], 1 + i % 30000) << "frame " << i;
    EXPECT_FALSE(engine.finished(slot));
}

TEST_F(SoundEngineTest, ASlotAtHalfTheOutputRateIsResampledToLastAsLongAtTheOutput)
{
    // GIVEN one second of a constant level at half the output rate
    ASSERT_EQ(engine.configureSlot(0, 1, kRate / 2, 16), 0);
    ASSERT_EQ(writeLevel(0, kRate / 2, kOne / 4), WriteResult::Continue);
    // WHEN it plays out
    std::thread drain([this] { engine.drainSlot(0); });
    ASSERT_TRUE(eventually([this] { return engine.playing(0); }, 2000));
    const std::vector<float> out = pulled->pull(2 * kRate);
    drain.join();
    // THEN it lasts one second of output frames at its level
    int loud = 0;
    for (std::size_t i = 0; i < out.size(); i += 2)
        loud += out[i] > 0.125f ? 1 : 0;
    EXPECT_NEAR(loud, kRate, 2);
    for (int i = kRate / 10; i < kRate - kRate / 10; i += 97)
        EXPECT_NEAR(out[static_cast<std::size_t>(2 * i)], 0.25f, 1e-3f) << "frame " << i;
}

TEST_F(SoundEngineTest, TheSynthesizerIsMixedWithTheSlots)
{
    struct ConstantSource : AudioSource {
        void renderInto(float* scratch, int frames) noexcept override
        {
            for (int i = 0; i < 2 * frames; ++i)
                scratch[i] = 0.25f;
        }
    } synth;
    engine.setSynth(&synth);
    for (const float v : pulled->pull(16))
        EXPECT_EQ(v, 0.25f);
    ASSERT_EQ(engine.configureSlot(0, 1, kRate, 16), 0);
    writeLevel(0, 2 * kRate + 1, kOne / 4);
    for (const float v : pulled->pull(16))
        EXPECT_NEAR(v, 0.5f, 1e-3f);
    engine.setSynth(nullptr);
}

TEST_F(SoundEngineTest, SlotsAreHandedOutRoundRobinAndATakenOverSlotStopsItsOldStream)
{
    std::vector<int16_t> tone(static_cast<std::size_t>(kRate) * 10, 4000);
    const PcmFormat format{1, kRate, 2, 16};
    const int first = engine.startBuffer(tone.data(), tone.size() * 2, format);
    for (int i = 1; i < kSlotCount; ++i)
        EXPECT_EQ(engine.startBuffer(nullptr, 0, format), (first + i) % kSlotCount);
    ASSERT_TRUE(eventually([&] { return engine.playing(first); }, 2000));
    std::vector<int16_t> quieter(static_cast<std::size_t>(kRate), 2000);
    const int again = engine.startBuffer(quieter.data(), quieter.size() * 2, format); // wraps to `first`
    EXPECT_EQ(again, first);
    // One second starts in the drain at once; what plays is the new stream, not the old one.
    ASSERT_TRUE(eventually([&] { return engine.playing(again); }, 2000));
    EXPECT_NEAR(pulled->pull(1)[0], 2000.0f / 32768.0f, 1e-4f);
    while (engine.streamActive(again))
        pulled->pull(256);
    EXPECT_FALSE(engine.finished(again));
    EXPECT_FALSE(engine.playing(again));
}

TEST_F(SoundEngineTest, StartersOnTwoThreadsAtOnceTakeTheSlotsInTurn)
{
    // The user-interface thread starts wave files and bank samples while the playback thread
    // starts clips: both hand out slots of one engine and take over the streams in them.
    constexpr int kPerThread = 400;
    const PcmFormat format{1, kRate, 2, 16};
    const auto starter = [&](std::vector<int>* got) {
        for (int i = 0; i < kPerThread; ++i)
            got->push_back(engine.startBuffer(nullptr, 0, format));
    };
    std::vector<int> first;
    std::vector<int> second;
    std::thread a(starter, &first);
    std::thread b(starter, &second);
    a.join();
    b.join();
    std::array<int, kSlotCount> uses{};
    for (const std::vector<int>* got : {&first, &second})
        for (const int slot : *got) {
            ASSERT_GE(slot, 0);
            ASSERT_LT(slot, kSlotCount);
            ++uses[static_cast<std::size_t>(slot)];
        }
    for (int slot = 0; slot < kSlotCount; ++slot) {
        EXPECT_EQ(uses[static_cast<std::size_t>(slot)], 2 * kPerThread / kSlotCount) << "slot " << slot;
        EXPECT_TRUE(eventually([&] { return !engine.streamActive(slot); }, 1000));
        EXPECT_TRUE(engine.finished(slot)); // an empty buffer never plays
    }
}

TEST_F(SoundEngineTest, ABufferWithAnUnusableFormatEndsFinished)
{
    std::vector<int16_t> data(100, 1);
    const int slot =
        engine.startBuffer(data.data(), 200, PcmFormat{3, kRate, 4, 16}); // 4 bytes for 3 channels
    ASSERT_TRUE(eventually([&] { return !engine.streamActive(slot); }, 1000));
    EXPECT_TRUE(engine.finished(slot));
    EXPECT_FALSE(engine.playing(slot));
}

} // namespace
} // namespace tonvela::audio
