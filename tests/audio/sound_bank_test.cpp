#include "audio/sound_bank.h"

#include "audio/audio_test_util.h"
#include "audio/sound_engine.h"
#include "audio/sound_font_builder.h"
#include "platform/notifier.h"

#include <gtest/gtest.h>

namespace tonvela::audio {
namespace {

using tonvela::testing::eventually;
using tonvela::testing::le32At;
using tonvela::testing::putLe32;
using tonvela::testing::sineSample;
using tonvela::testing::SoundFontBuilder;
using tonvela::testing::TestSample;
using tonvela::testing::writeBytes;

// A bank cut down from Debian's TimGM6mb, written by Awave Studio: two flute samples and the
// terminal record.
const std::string kRealBank = std::string(TONVELA_SOURCE_DIR) + "/fuzz/corpus/soundfont/mini.sf2";

class SoundBankTest : public tonvela::testing::AudioFilesTest {
  protected:
    void SetUp() override
    {
        AudioFilesTest::SetUp();
        for (int i = 0; i < 12; ++i) {
            TestSample s = sineSample("Sample" + std::to_string(i), 300 + 10 * i);
            s.rate = i == 1 ? 22050 : 44100;
            s.rootKey = static_cast<uint8_t>(60 + i);
            s.type = i == 2 ? 4 : 1; // a left sample of a stereo pair
            bankSamples.push_back(s);
        }
        original = SoundFontBuilder::build(bankSamples, "EMU8000");
        shdr = original.find("shdr");
        ASSERT_NE(shdr, std::string::npos);
        bankFile = variant("bank.sf2", original);
    }

    std::string variant(const std::string& name, const std::string& bytes)
    {
        std::string p = path(name);
        writeBytes(p, bytes);
        return p;
    }

    CollectingNotifier notifier;
    std::vector<TestSample> bankSamples;
    std::string original;
    std::string bankFile;
    std::size_t shdr = 0;
};

TEST_F(SoundBankTest, AWellFormedBankYieldsEverySampleHeaderTheTerminalRecordIncluded)
{
    SoundBank bank;
    ASSERT_TRUE(bank.load(bankFile, notifier).ok());
    EXPECT_TRUE(bank.loaded);
    EXPECT_TRUE(notifier.messages.empty());
    ASSERT_EQ(bank.samples.size(), bankSamples.size() + 1);
    EXPECT_EQ(bank.samples.back().name, "EOS");
    EXPECT_EQ(bank.engineName, "EMU8000");
    std::size_t points = 0;
    for (std::size_t i = 0; i < bankSamples.size(); ++i) {
        const SampleHeader& h = bank.samples[i];
        EXPECT_EQ(h.name, bankSamples[i].name);
        EXPECT_EQ(h.start, points);
        EXPECT_EQ(h.end, points + bankSamples[i].points.size());
        EXPECT_EQ(h.sampleRate, bankSamples[i].rate);
        EXPECT_EQ(h.originalPitch, bankSamples[i].rootKey);
        EXPECT_EQ(h.sampleType, bankSamples[i].type);
        points += bankSamples[i].points.size() + 46;
    }
    EXPECT_EQ(bank.sampleDataSize(), points * 2);
    const unsigned char* bytes = nullptr;
    std::size_t length = 0;
    ASSERT_TRUE(bank.sampleBytes(5, bytes, length));
    EXPECT_EQ(length, bankSamples[5].points.size() * 2);
    EXPECT_EQ(static_cast<int16_t>(bytes[2] | (bytes[3] << 8)), bankSamples[5].points[1]);
}

TEST_F(SoundBankTest, ARealBankWrittenByAnotherProgramReadsWithItsNamesAndRanges)
{
    SoundBank bank;
    ASSERT_TRUE(bank.load(kRealBank, notifier).ok());
    EXPECT_TRUE(notifier.messages.empty());
    EXPECT_EQ(bank.engineName, "TimGM6mb1.sf2"); // the first text after the version
    EXPECT_EQ(bank.sampleDataSize(), 4000u);
    ASSERT_EQ(bank.samples.size(), 3u);
    EXPECT_EQ(bank.samples[0].name, "FluteG6");
    EXPECT_EQ(bank.samples[0].start, 0u);
    EXPECT_EQ(bank.samples[0].end, 700u);
    EXPECT_EQ(bank.samples[0].sampleRate, 22500u);
    EXPECT_EQ(bank.samples[0].originalPitch, 79);
    EXPECT_EQ(bank.samples[0].pitchCorrection, 43);
    EXPECT_EQ(bank.samples[1].name, "FluteA#6");
    EXPECT_EQ(bank.samples[1].startLoop, 900u);
    EXPECT_EQ(bank.samples[1].endLoop, 1400u);
    EXPECT_EQ(bank.samples[2].name, "EOS");
}

TEST_F(SoundBankTest, ARiffSizeTwoBytesShortShowsTheSizeMessageOnceAndStillLoadsTheSamples)
{
    std::string bytes = original;
    putLe32(bytes, 4, le32At(bytes, 4) - 2);
    SoundBank bank;
    const LoadResult loaded = bank.load(variant("short.sf2", bytes), notifier);
    ASSERT_TRUE(loaded.ok());
    EXPECT_EQ(loaded.warnings, std::vector<std::string>{"Soundfont2 file size mismatch"});
    // It loads on, so it is a warning (the warning icon), not an error.
    EXPECT_TRUE(notifier.messages.empty());
    ASSERT_EQ(notifier.warnings.size(), 1u);
    EXPECT_EQ(notifier.warnings[0].text, "Soundfont2 file size mismatch");
    EXPECT_EQ(notifier.warnings[0].caption, "Error");
    EXPECT_EQ(bank.samples.size(), le32At(original, shdr + 4) / kSampleHeaderBytes);
}

TEST_F(SoundBankTest, AFileThatCannotBeOpenedOrIsNoSoundFontIsRefusedWithoutAMessageBox)
{
    SoundBank bank;
    EXPECT_EQ(bank.load(path("none.sf2"), notifier).status, LoadStatus::Unreadable);
    EXPECT_FALSE(bank.loaded);
    SoundBank empty;
    EXPECT_EQ(empty.load(variant("empty.sf2", ""), notifier).status, LoadStatus::WrongKind);
    EXPECT_TRUE(empty.samples.empty());
    EXPECT_FALSE(empty.loaded);
    EXPECT_TRUE(notifier.messages.empty());
}

TEST_F(SoundBankTest, ChunkSizesBeyondTheFileAreClampedToIt)
{
    // The file cut inside the sample headers, with the shdr size left claiming them all.
    const std::string cut = original.substr(0, shdr + 8 + 10 * kSampleHeaderBytes + 20);
    SoundBank bank;
    ASSERT_TRUE(bank.load(variant("cut.sf2", cut), notifier).ok());
    EXPECT_EQ(bank.samples.size(), 10u);

    std::string bigSmpl = original.substr(0, original.find("smpl") + 8 + 1000);
    SoundBank partial;
    ASSERT_TRUE(partial.load(variant("smpl.sf2", bigSmpl), notifier).ok());
    EXPECT_EQ(partial.sampleDataSize(), 1000u);
    EXPECT_TRUE(partial.samples.empty());
}

TEST_F(SoundBankTest, ChunkNamesInsideOtherChunksAreNotReadAsChunks)
{
    // GIVEN a chunk of its own after the presets whose bytes spell a sample header chunk
    std::string bytes = original;
    const std::string fake = "shdr" + SoundFontBuilder::le32(46) + std::string(46, 'A');
    bytes += SoundFontBuilder::chunk("junk", fake);
    putLe32(bytes, 4, static_cast<uint32_t>(bytes.size() - 8));
    // WHEN it loads
    SoundBank bank;
    ASSERT_TRUE(bank.load(variant("junk.sf2", bytes), notifier).ok());
    // THEN the headers are those of the presets' list
    EXPECT_TRUE(notifier.messages.empty());
    ASSERT_EQ(bank.samples.size(), bankSamples.size() + 1);
    EXPECT_EQ(bank.samples.front().name, "Sample0");
}

TEST_F(SoundBankTest, SampleRangesOutsideTheDataOrTheTableAreClampedOrRefused)
{
    SoundBank bank;
    ASSERT_TRUE(bank.load(bankFile, notifier).ok());
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
    ASSERT_TRUE(bank.load(bankFile, notifier).ok());
    auto sink = createNullSink();
    ASSERT_TRUE(sink->open({}));
    SoundEngine engine(notifier);
    ASSERT_EQ(engine.initAudio(std::move(sink)), 0);
    for (const int index : {1, 2}) {
        const int slot = bank.playSample(engine, index);
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
        // A mono sample plays one channel; any other type two interleaved ones.
        EXPECT_EQ(engine.slotAt(slot)->format.channels, index == 1 ? 1 : 2);
        EXPECT_EQ(engine.slotAt(slot)->format.sampleRate, static_cast<int>(bank.samples[index].sampleRate));
    }
    EXPECT_EQ(bank.playSample(engine, 100000), -1);
}

} // namespace
} // namespace tonvela::audio
