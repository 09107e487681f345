#include "audio/sound_bank.h"

#include "audio/sound_engine.h"
#include "audio_test_util.h"
#include "platform/notifier.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tonvela::audio {
namespace {

using tonvela::testing::eventually;
using tonvela::testing::le32At;
using tonvela::testing::putLe32;
using tonvela::testing::readBytes;
using tonvela::testing::writeBytes;

// The General MIDI SoundFont of Debian's timgm6mb-soundfont package.
const char* kSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

class SoundBankTest : public tonvela::testing::AudioFilesTest {
  protected:
    void SetUp() override
    {
        AudioFilesTest::SetUp();
        if (!std::filesystem::exists(kSoundFont))
            GTEST_SKIP() << "timgm6mb-soundfont is not installed";
        original = readBytes(kSoundFont);
        shdr = original.find("shdr");
        ASSERT_NE(shdr, std::string::npos);
    }

    std::string variant(const std::string& name, const std::string& bytes)
    {
        const std::string p = path(name);
        writeBytes(p, bytes);
        return p;
    }

    CollectingNotifier notifier;
    std::string original;
    std::size_t shdr = 0;
};

TEST_F(SoundBankTest, AWellFormedBankYieldsEverySampleHeaderTheTerminalRecordIncluded)
{
    SoundBank bank;
    ASSERT_TRUE(bank.load(kSoundFont, notifier));
    EXPECT_TRUE(bank.loaded);
    EXPECT_TRUE(notifier.messages.empty());
    EXPECT_EQ(bank.samples.size(), le32At(original, shdr + 4) / kSampleHeaderBytes);
    EXPECT_EQ(bank.samples.back().name, "EOS");
    EXPECT_EQ(bank.engineName, "TimGM6mb1.sf2");
    EXPECT_EQ(bank.sampleDataSize(), le32At(original, original.find("smpl") + 4));
    const SampleHeader& first = bank.samples.front();
    EXPECT_EQ(first.name, "FluteG6");
    EXPECT_LT(first.start, first.end);
    EXPECT_EQ(first.sampleRate, 22500u);
    EXPECT_EQ(first.sampleType, kSampleTypeMono);
}

TEST_F(SoundBankTest, ARiffSizeTwoBytesShortShowsTheSizeMessageOnceAndStillLoadsTheSamples)
{
    std::string bytes = original;
    putLe32(bytes, 4, le32At(bytes, 4) - 2);
    SoundBank bank;
    ASSERT_TRUE(bank.load(variant("short.sf2", bytes), notifier));
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(notifier.messages[0].text, "Soundfont2 file size mismatch");
    EXPECT_EQ(notifier.messages[0].caption, "Error");
    EXPECT_EQ(bank.samples.size(), le32At(original, shdr + 4) / kSampleHeaderBytes);
}

TEST_F(SoundBankTest, AFileThatCannotBeOpenedIsTheOnlyFailure)
{
    SoundBank bank;
    EXPECT_FALSE(bank.load(path("none.sf2"), notifier));
    EXPECT_FALSE(bank.loaded);
    SoundBank empty;
    EXPECT_TRUE(empty.load(variant("empty.sf2", ""), notifier));
    EXPECT_TRUE(empty.samples.empty());
}

TEST_F(SoundBankTest, ChunkSizesBeyondTheFileAreClampedToIt)
{
    // The file cut inside the sample headers, with the shdr size left claiming them all.
    const std::string cut = original.substr(0, shdr + 8 + 10 * kSampleHeaderBytes + 20);
    SoundBank bank;
    ASSERT_TRUE(bank.load(variant("cut.sf2", cut), notifier));
    EXPECT_EQ(bank.samples.size(), 10u);

    std::string bigSmpl = original.substr(0, original.find("smpl") + 8 + 1000);
    SoundBank partial;
    ASSERT_TRUE(partial.load(variant("smpl.sf2", bigSmpl), notifier));
    EXPECT_EQ(partial.sampleDataSize(), 1000u);
    EXPECT_TRUE(partial.samples.empty());
}

TEST_F(SoundBankTest, SampleRangesOutsideTheDataOrTheTableAreClampedOrRefused)
{
    SoundBank bank;
    ASSERT_TRUE(bank.load(kSoundFont, notifier));
    const unsigned char* bytes = nullptr;
    std::size_t length = 0;
    EXPECT_FALSE(bank.sampleBytes(-1, bytes, length));
    EXPECT_FALSE(bank.sampleBytes(static_cast<int>(bank.samples.size()), bytes, length));
    EXPECT_FALSE(bank.sampleBytes(static_cast<int>(bank.samples.size()) - 1, bytes, length)); // EOS: empty
    bank.samples[0].end = 0xFFFFFFF0u;
    ASSERT_TRUE(bank.sampleBytes(0, bytes, length));
    EXPECT_EQ(bytes + length, bank.sampleData.data() + bank.sampleDataSize());
    bank.samples[1].start = 0xFFFFFFF0u;
    EXPECT_FALSE(bank.sampleBytes(1, bytes, length));
}

TEST_F(SoundBankTest, PlayingASamplePlaysItOnceThroughASlot)
{
    SoundBank bank;
    ASSERT_TRUE(bank.load(kSoundFont, notifier));
    auto sink = createNullSink();
    ASSERT_TRUE(sink->open({}));
    SoundEngine engine(notifier);
    ASSERT_EQ(engine.initAudio(std::move(sink)), 0);
    const int slot = bank.playSample(engine, 3);
    ASSERT_GE(slot, 0);
    bool played = false;
    ASSERT_TRUE(eventually(
        [&] {
            played = played || engine.playing(slot);
            return !engine.streamActive(slot);
        },
        5000));
    EXPECT_TRUE(played);
    EXPECT_FALSE(engine.finished(slot));
    EXPECT_EQ(engine.slotAt(slot)->format.channels, 1);
    EXPECT_EQ(engine.slotAt(slot)->format.sampleRate, static_cast<int>(bank.samples[3].sampleRate));
    EXPECT_EQ(bank.playSample(engine, 100000), -1);
}

} // namespace
} // namespace tonvela::audio
