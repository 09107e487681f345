#include "audio/clip_decoder.h"
#include "audio/mp3_decoder.h"
#include "audio/sound_engine.h"
#include "audio/wave_file.h"

#include "audio_test_util.h"
#include "platform/notifier.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <unistd.h>

namespace tonvela::audio {
namespace {

using tonvela::testing::eventually;
using tonvela::testing::le32;
using tonvela::testing::le32At;
using tonvela::testing::putLe32;
using tonvela::testing::readBytes;
using tonvela::testing::writeBytes;

struct Decoded {
    Mp3Stats stats;
    std::vector<int32_t> left;
    int channels = 0;
    int rate = 0;
};

Decoded decodeFile(const std::string& path)
{
    Decoded d;
    const std::string bytes = readBytes(path);
    MemoryMp3Input input(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    d.stats = decodeMp3(input, [&](const Mp3Frame& f) {
        d.channels = f.channels;
        d.rate = f.sampleRate;
        d.left.insert(d.left.end(), f.samples[0], f.samples[0] + f.frames);
        return Mp3Flow::Continue;
    });
    return d;
}

// MP3 clips and wave files: decoding, walking, and their streams through real-time slots.
class StreamsTest : public tonvela::testing::AudioFilesTest {
  protected:
    void SetUp() override
    {
        AudioFilesTest::SetUp();
        auto sink = createNullSink();
        AudioSink::Format format;
        format.sampleRate = 44100;
        ASSERT_TRUE(sink->open(format));
        ASSERT_EQ(engine.initAudio(std::move(sink)), 0);
    }
    void TearDown() override
    {
        engine.shutdown();
        AudioFilesTest::TearDown();
    }

    // Waits for the stream in `slot` to end; true when it played on the way.
    bool playsThrough(int slot, int timeoutMs = 10000)
    {
        bool played = false;
        const bool ended = eventually(
            [&] {
                played = played || engine.playing(slot);
                return !engine.streamActive(slot);
            },
            timeoutMs);
        EXPECT_TRUE(ended);
        return played;
    }

    // A wave file made by sox with a LIST chunk put in before "fmt ".
    std::string waveWithListFirst(const std::string& name)
    {
        std::string bytes = readBytes(tone(name + ".src.wav", 0.3, 1, 8000));
        std::string chunk = "LIST" + le32(26) + "INFOISFT" + le32(14) + std::string("tonvela data\0\0", 14);
        bytes.insert(12, chunk);
        putLe32(bytes, 4, static_cast<uint32_t>(bytes.size() - 8));
        std::string out = path(name);
        writeBytes(out, bytes);
        return out;
    }

    CollectingNotifier notifier;
    SoundEngine engine{notifier};
};

TEST_F(StreamsTest, AnMp3MadeByLameDecodesToItsFramesAtItsRate)
{
    const Decoded d = decodeFile(mp3("tone.mp3", 1.0));
    EXPECT_EQ(d.rate, 44100);
    EXPECT_EQ(d.channels, 2);
    EXPECT_GE(d.stats.frames, 38); // 1 s of 1152-sample frames, plus the encoder's padding
    EXPECT_EQ(d.stats.outputFrames, d.stats.frames);
    EXPECT_NEAR(d.stats.elapsedMs, 1000, 80);
    int32_t peak = 0;
    for (const int32_t v : d.left)
        peak = std::max(peak, std::abs(v));
    EXPECT_NEAR(static_cast<double>(peak) / (1 << kFixedFractionBits), 0.5, 0.05);
}

TEST_F(StreamsTest, AnMp3WithAnId3v2TagPlaysFromItsFirstAudioFrame)
{
    const std::string plain = mp3("plain.mp3", 0.5, "-b 128 --noreplaygain -t");
    // The tag holds text that looks like frame headers, so a decoder that did not skip the tag
    // would find false frames inside it.
    const std::string fake = std::string("\xFF\xFB\x90\x64", 4) + std::string(40, 'x');
    std::string fakes;
    for (int i = 0; i < 20; ++i)
        fakes += fake;
    const std::string tagged = path("tagged.mp3");
    shell("lame --quiet -b 128 --noreplaygain -t --id3v2-only --pad-id3v2-size 3000 --tt '" + fakes + "' '" +
          path("plain.mp3.src.wav") + "' '" + tagged + "'");
    ASSERT_EQ(readBytes(tagged).substr(0, 3), "ID3");

    const Decoded a = decodeFile(plain);
    const Decoded b = decodeFile(tagged);
    EXPECT_GT(b.stats.id3Skipped, 3000);
    EXPECT_EQ(b.stats.outputFrames, a.stats.outputFrames);
    EXPECT_EQ(b.left, a.left);
}

TEST_F(StreamsTest, ADualChannelMp3PlaysItsFirstChannelAndAMonoOneOneChannel)
{
    EXPECT_EQ(decodeFile(mp3("dual.mp3", 0.3, "-b 128 -m d")).channels, 1);
    EXPECT_EQ(decodeFile(mp3("mono.mp3", 0.3, "-b 64 -m m", 1)).channels, 1);
    EXPECT_EQ(decodeFile(mp3("joint.mp3", 0.3, "-b 128 -m j")).channels, 2);
}

TEST_F(StreamsTest, BytesThatAreNoMp3YieldNoFramesAndTheDecoderEnds)
{
    std::string junk(100000, '\0');
    for (std::size_t i = 0; i < junk.size(); ++i)
        junk[i] = static_cast<char>((i * 2654435761u) >> 13);
    MemoryMp3Input input(reinterpret_cast<const unsigned char*>(junk.data()), junk.size());
    long frames = 0;
    decodeMp3(input, [&](const Mp3Frame&) {
        ++frames;
        return Mp3Flow::Continue;
    });
    EXPECT_LT(frames, 20); // chance syncs at most; above all it returns
}

TEST_F(StreamsTest, AClipWhoseFileDoesNotExistEndsFinishedWithoutPlaying)
{
    const int slot = engine.startClip(path("missing.mp3"));
    EXPECT_FALSE(playsThrough(slot, 2000));
    EXPECT_TRUE(engine.finished(slot));
    EXPECT_EQ(engine.slotAt(slot)->fileHandle, -1);
}

TEST_F(StreamsTest, AShortClipPlaysInRealTimeAndEndsWithoutBeingFinished)
{
    const std::string file = mp3("short.mp3", 0.6);
    const auto begin = std::chrono::steady_clock::now();
    const int slot = engine.startClip(file);
    EXPECT_TRUE(playsThrough(slot));
    const auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_GE(took, std::chrono::milliseconds(550)); // the null output consumes in real time
    EXPECT_LT(took, std::chrono::milliseconds(3000));
    EXPECT_FALSE(engine.finished(slot));
    EXPECT_FALSE(engine.playing(slot));
    EXPECT_EQ(engine.slotAt(slot)->fileHandle, -1);
}

TEST_F(StreamsTest, StoppingDuringAClipSilencesItWithinTwoHundredMilliseconds)
{
    const int slot = engine.startClip(mp3("long.mp3", 6.0));
    ASSERT_TRUE(eventually([&] { return engine.playing(slot); }, 3000));
    const auto begin = std::chrono::steady_clock::now();
    engine.stopSlot(slot);
    EXPECT_FALSE(engine.playing(slot));
    EXPECT_FALSE(engine.slotAt(slot)->bufferPlaying); // the mixer no longer reads it
    EXPECT_LE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(kStopWaitMs + 50));
    EXPECT_TRUE(eventually([&] { return !engine.streamActive(slot); }, 500));
}

TEST_F(StreamsTest, AWaveFileWithAListChunkBeforeFmtStillPlays)
{
    const std::string file = waveWithListFirst("list.wav");
    const std::string bytes = readBytes(file);
    WaveWalk walk;
    const LoadResult walked =
        walkWave(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), walk);
    ASSERT_EQ(walk.data.size(), 1u);
    EXPECT_EQ(walk.data[0].format.channels, 1);
    EXPECT_EQ(walk.data[0].format.sampleRate, 8000u);
    EXPECT_EQ(walk.data[0].size, 2u * 2400);
    EXPECT_TRUE(walked.ok());
    EXPECT_TRUE(walked.warnings.empty());

    const int slot = engine.startWave(file);
    EXPECT_TRUE(playsThrough(slot));
    EXPECT_FALSE(engine.finished(slot));
    EXPECT_TRUE(notifier.messages.empty());
}

TEST_F(StreamsTest, AWaveFileWhoseRiffSizeDiffersShowsTheSizeMessageOnceAndStillPlays)
{
    std::string bytes = readBytes(tone("src.wav", 0.2, 1, 8000));
    putLe32(bytes, 4, le32At(bytes, 4) - 2);
    const std::string file = path("short-riff.wav");
    writeBytes(file, bytes);
    const int slot = engine.startWave(file);
    // It plays on, so it is a warning (the warning icon), not an error.
    EXPECT_TRUE(notifier.messages.empty());
    ASSERT_EQ(notifier.warnings.size(), 1u);
    EXPECT_EQ(notifier.warnings[0].text, "Wave file size mismatch");
    EXPECT_EQ(notifier.warnings[0].caption, "Error");
    EXPECT_TRUE(playsThrough(slot));
}

TEST_F(StreamsTest, ADataSizeBeyondTheFileIsClampedToTheFile)
{
    std::string bytes = readBytes(tone("src.wav", 0.2, 1, 8000));
    const std::size_t data = bytes.find("data");
    ASSERT_NE(data, std::string::npos);
    putLe32(bytes, data + 4, 0x7FFFFFF0);
    WaveWalk walk;
    (void)walkWave(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), walk);
    ASSERT_EQ(walk.data.size(), 1u);
    EXPECT_TRUE(walk.data[0].truncated);
    EXPECT_EQ(walk.data[0].offset + walk.data[0].size, bytes.size());
}

TEST_F(StreamsTest, DataBeforeAnyFormatAndCompressedDataAreNotPlayedAsNoise)
{
    std::string bytes = readBytes(tone("src.wav", 0.2, 1, 8000));
    const std::size_t fmt = bytes.find("fmt ");
    bytes[fmt + 8] = 0x55; // MPEG layer 3
    const std::string compressed = path("mp3-in-wave.wav");
    writeBytes(compressed, bytes);
    const int slot = engine.startWave(compressed);
    EXPECT_FALSE(playsThrough(slot, 2000));
    EXPECT_TRUE(engine.finished(slot));

    WaveWalk walk;
    (void)walkWave(reinterpret_cast<const unsigned char*>("RIFF\x10\0\0\0WAVEdata\x04\0\0\0abcd"), 24, walk);
    EXPECT_TRUE(walk.data.empty());
}

TEST_F(StreamsTest, AnUnreadableWaveFileEndsFinished)
{
    const int slot = engine.startWave(path("none.wav"));
    EXPECT_FALSE(playsThrough(slot, 2000));
    EXPECT_TRUE(engine.finished(slot));
}

TEST_F(StreamsTest, EightAndTwentyFourBitWaveFilesDecodeToTheirLevels)
{
    for (const int bits : {8, 24}) {
        DecodedClip clip;
        const LoadResult decoded = decodeClipFile(
            tone("t" + std::to_string(bits) + ".wav", 0.2, 1, 8000, bits, 440, 0.5), 8000, clip);
        ASSERT_TRUE(decoded.ok()) << decoded.error;
        EXPECT_EQ(clip.frames(), 1600);
        float peak = 0;
        for (const float v : clip.samples)
            peak = std::max(peak, std::abs(v));
        EXPECT_NEAR(peak, 0.5f, 0.03f) << bits << " bits";
    }
}

} // namespace
} // namespace tonvela::audio
