// Wave files: the one WAV writer, checked by sox and by reading the bytes back.
#include "audio/wave_file.h"

#include "audio/audio_test_util.h"
#include "audio/clip_decoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

namespace tonvela::audio {
namespace {

using tonvela::testing::le32;
using tonvela::testing::le32At;
using tonvela::testing::putLe32;
using tonvela::testing::readBytes;
using tonvela::testing::writeBytes;

int16_t sampleAt(const std::string& wav, std::size_t index)
{
    const std::size_t at = 44 + 2 * index;
    return static_cast<int16_t>(static_cast<unsigned char>(wav[at]) |
                                (static_cast<unsigned char>(wav[at + 1]) << 8));
}

class WaveFileTest : public tonvela::testing::AudioFilesTest {
  protected:
    // What sox says about a file: `sox FILE -n stat` or `soxi` output.
    static std::string soxSays(const std::string& command)
    {
        std::string out;
        if (std::FILE* p = ::popen((command + " 2>&1").c_str(), "r")) {
            char buffer[512];
            while (std::fgets(buffer, sizeof buffer, p))
                out += buffer;
            ::pclose(p);
        }
        return out;
    }
    // The number after `label` in sox output.
    static double soxValue(const std::string& text, const std::string& label)
    {
        const std::size_t at = text.find(label);
        if (at == std::string::npos)
            return NAN;
        return std::stod(text.substr(text.find(':', at) + 1));
    }
};

TEST_F(WaveFileTest, AWrittenStereoSineIsReadBySoxWithItsRateLengthAndLevel)
{
    // GIVEN one second of a 440 Hz sine at 0.5 on the left and 0.25 on the right
    constexpr int kRate = 44100;
    std::vector<float> samples;
    for (int i = 0; i < kRate; ++i) {
        const auto v = static_cast<float>(std::sin(2 * std::numbers::pi * 440.0 * i / kRate));
        samples.push_back(0.5f * v);
        samples.push_back(0.25f * v);
    }
    // WHEN it is written
    const std::string file = path("sine.wav");
    ASSERT_TRUE(writeWav(file, samples, 2, kRate));

    // THEN sox reads a 16-bit stereo file of one second at 44100 Hz with the sine's levels
    const std::string info = soxSays("soxi '" + file + "'");
    EXPECT_EQ(soxValue(info, "Channels"), 2) << info;
    EXPECT_EQ(soxValue(info, "Sample Rate"), kRate) << info;
    EXPECT_NE(info.find("16-bit"), std::string::npos) << info;
    EXPECT_NE(info.find("44100 samples"), std::string::npos) << info;
    const std::string left = soxSays("sox '" + file + "' -n remix 1 stat");
    EXPECT_NEAR(soxValue(left, "Maximum amplitude"), 0.5, 0.001) << left;
    EXPECT_NEAR(soxValue(left, "RMS     amplitude"), 0.5 / std::sqrt(2.0), 0.001) << left;
    EXPECT_NEAR(soxValue(left, "Rough   frequency"), 440, 5) << left;
    const std::string right = soxSays("sox '" + file + "' -n remix 2 stat");
    EXPECT_NEAR(soxValue(right, "Maximum amplitude"), 0.25, 0.001) << right;
}

TEST_F(WaveFileTest, SamplesBeyondFullScaleAreClippedAndNonFiniteOnesAreSilence)
{
    const std::vector<float> samples{2.0f, -2.0f, NAN, INFINITY, 0.5f, -0.5f, 1.0f, -1.0f};
    const std::string wav = encodeWav(samples, 2, 8000);
    ASSERT_EQ(wav.size(), 44u + samples.size() * 2);
    const std::vector<int16_t> expected{32767, -32767, 0, 0, 16384, -16384, 32767, -32767};
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(sampleAt(wav, i), expected[i]) << "sample " << i;
}

TEST_F(WaveFileTest, TheHeaderDescribesTheDataAndAPartialFrameIsLeftOut)
{
    // Three samples of a stereo stream: one whole frame and half of another.
    const std::string wav = encodeWav({0.1f, 0.2f, 0.3f}, 2, 22050);
    ASSERT_EQ(wav.size(), 44u + 4);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(le32At(wav, 4), wav.size() - 8);
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(le32At(wav, 24), 22050u);     // sample rate
    EXPECT_EQ(le32At(wav, 28), 22050u * 4); // bytes per second
    EXPECT_EQ(wav.substr(36, 4), "data");
    EXPECT_EQ(le32At(wav, 40), 4u);
    WaveWalk walk;
    const LoadResult walked = walkWave(reinterpret_cast<const unsigned char*>(wav.data()), wav.size(), walk);
    ASSERT_EQ(walk.data.size(), 1u);
    EXPECT_TRUE(walked.ok());
    EXPECT_TRUE(walked.warnings.empty());
    EXPECT_EQ(walk.data[0].format.channels, 2);
    EXPECT_EQ(walk.data[0].format.bitsPerSample, 16);
    EXPECT_EQ(walk.data[0].size, 4u);
}

TEST_F(WaveFileTest, AListAfterTheFormatWhoseTextHoldsTheWordDataIsNotTakenForTheDataChunk)
{
    // GIVEN a sox tone with a comment put in between "fmt " and "data"; the comment's text is a
    // well-formed "data" header claiming 64 bytes
    std::string bytes = readBytes(tone("src.wav", 0.3, 1, 8000, 16, 440, 0.5));
    const std::size_t data = bytes.find("data");
    ASSERT_NE(data, std::string::npos);
    const uint32_t dataSize = le32At(bytes, data + 4);
    const std::string text = "data" + le32(64) + std::string(64, '\x7f');
    const std::string comment = "LIST" + le32(static_cast<uint32_t>(4 + 8 + text.size())) + "INFOICMT" +
                                le32(static_cast<uint32_t>(text.size())) + text;
    bytes.insert(data, comment);
    putLe32(bytes, 4, static_cast<uint32_t>(bytes.size() - 8));
    const std::string file = path("comment.wav");
    writeBytes(file, bytes);

    // WHEN it is walked and decoded
    WaveWalk walk;
    const LoadResult walked =
        walkWave(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), walk);
    DecodedClip clip;
    const LoadResult decoded = decodeClipFile(file, 8000, clip);

    // THEN the one data chunk is the real one, and the clip is the tone alone
    ASSERT_EQ(walk.data.size(), 1u);
    EXPECT_EQ(walk.data[0].offset, data + comment.size() + 8);
    EXPECT_EQ(walk.data[0].size, dataSize);
    EXPECT_TRUE(walked.warnings.empty());
    ASSERT_TRUE(decoded.ok()) << decoded.error;
    EXPECT_EQ(clip.frames(), 2400);
    float peak = 0;
    for (const float v : clip.samples)
        peak = std::max(peak, std::abs(v));
    EXPECT_NEAR(peak, 0.5f, 0.01f);
}

TEST_F(WaveFileTest, AFileThatCannotBeWrittenSaysSoAndLeavesNothing)
{
    const std::string file = path("no-such-folder/out.wav");
    const FileResult r = writeWav(file, {0.0f, 0.0f}, 2, 44100);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
    EXPECT_TRUE(readBytes(file).empty());
}

} // namespace
} // namespace tonvela::audio
