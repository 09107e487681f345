#include "cli/cli_test_util.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace tonvela::testing {
namespace {

const char* kSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

// play-clip and sf2: the sound engine from the command line, on the silent real-time output.
class AudioCliTest : public CliTest {
  protected:
    std::string tone(const std::string& name, double seconds)
    {
        const std::string out = path(name);
        const std::string cmd = "sox -n -r 22050 -c 1 -b 16 '" + out + "' synth " + std::to_string(seconds) +
                                " sine 440 >/dev/null 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        return out;
    }
};

TEST_F(AudioCliTest, PlayClipPlaysAnMp3InRealTimeAndSaysSo)
{
    const std::string wav = tone("clip.wav", 0.5);
    ASSERT_EQ(std::system(("lame --quiet '" + wav + "' '" + path("clip.mp3") + "'").c_str()), 0);
    const auto begin = std::chrono::steady_clock::now();
    const CliResult r = run("play-clip --null '" + path("clip.mp3") + "'");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(450));
    EXPECT_NE(r.out.find("Playing " + path("clip.mp3") + " in slot 0 through null output"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Played " + path("clip.mp3")), std::string::npos);
}

TEST_F(AudioCliTest, PlayClipPlaysAWaveFile)
{
    const CliResult r = run("play-clip --null '" + tone("clip.wav", 0.2) + "'");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Played "), std::string::npos);
}

TEST_F(AudioCliTest, PlayClipFailsClearlyForMissingAndUnplayableFiles)
{
    CliResult r = run("play-clip --null '" + path("none.mp3") + "'");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot open"), std::string::npos) << r.err;
    writeFile(path("text.mp3"), "this is not sound at all\n");
    r = run("play-clip --null '" + path("text.mp3") + "'");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("holds no audio that can be played"), std::string::npos) << r.err;
    EXPECT_EQ(run("play-clip").exitCode, 1);
}

TEST_F(AudioCliTest, Sf2PrintsTheEngineNameAndEverySampleHeader)
{
    if (!std::filesystem::exists(kSoundFont))
        GTEST_SKIP() << "timgm6mb-soundfont is not installed";
    const CliResult r = run(std::string("sf2 ") + kSoundFont);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Engine: TimGM6mb1.sf2\n"), std::string::npos);
    EXPECT_NE(r.out.find("Samples: 521\n"), std::string::npos);
    EXPECT_NE(r.out.find("   0 FluteG6 "), std::string::npos);
    EXPECT_NE(r.out.find(" 520 EOS "), std::string::npos);
}

TEST_F(AudioCliTest, Sf2PlaysASampleAndRefusesOneOutsideTheTable)
{
    if (!std::filesystem::exists(kSoundFont))
        GTEST_SKIP() << "timgm6mb-soundfont is not installed";
    CliResult r = run(std::string("sf2 --null --play 3 ") + kSoundFont);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Played sample 3 (FluteC#6)"), std::string::npos) << r.out;
    r = run(std::string("sf2 --null --play 9999 ") + kSoundFont);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no playable sample 9999"), std::string::npos) << r.err;
    r = run("sf2 '" + path("none.sf2") + "'");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot open"), std::string::npos);
}

} // namespace
} // namespace tonvela::testing
