// tonvela-cli play and render .wav.

#include "cli_test_util.h"

#include <csignal>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <thread>

namespace tonvela::testing {
namespace {

// Two tracks: C D E F quarters over a half note.
const char* kSheet = "<staffdoc>\r\n<track>\r\n<config\r\nbpm=120 devid=0 iid=0 groupid=0 key=C keyindex=7 "
                     "tempo=120 drawmode=0 percussive=0 >\r\n</config>\r\n"
                     "<note\r\nmidi=60 type=1028 line=0 iid=0 >\r\n</note>\r\n"
                     "<note\r\nmidi=62 type=1028 line=-1 iid=0 >\r\n</note>\r\n"
                     "<note\r\nmidi=64 type=1028 line=-2 iid=0 >\r\n</note>\r\n"
                     "<note\r\nmidi=65 type=1028 line=-3 iid=0 >\r\n</note>\r\n</track>\r\n"
                     "<track>\r\n<config\r\nbpm=120 devid=0 iid=32 groupid=4 key=C keyindex=7 tempo=120 "
                     "drawmode=0 percussive=0 >\r\n</config>\r\n"
                     "<note\r\nmidi=48 type=1027 line=7 iid=32 >\r\n</note>\r\n</track>\r\n</staffdoc>\r\n";

class PlayRenderCliTest : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        writeFile(path("song.shd"), kSheet);
    }
    static bool haveSoundFont()
    {
        struct stat st {};
        return ::stat("/usr/share/sounds/sf2/TimGM6mb.sf2", &st) == 0 ||
               ::stat("/usr/share/sounds/sf2/FluidR3_GM.sf2", &st) == 0;
    }
    // note on minus note off counts per "channel key" of the --print lines.
    static std::map<std::string, int> heldNotes(const std::string& out)
    {
        std::map<std::string, int> held;
        std::istringstream in(out);
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("midi", 0) != 0)
                continue;
            const bool isOn = line.find("note on") != std::string::npos;
            const bool isOff = line.find("note off") != std::string::npos;
            if (!isOn && !isOff)
                continue;
            const std::string where = line.substr(line.find("ch"));
            const std::string key = where.substr(0, where.rfind(' '));
            held[key] += isOn ? 1 : -1;
        }
        return held;
    }
};

TEST_F(PlayRenderCliTest, PlayShowsProgressAndEndsWithEveryNoteReleased)
{
    if (!haveSoundFont())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    const CliResult r = run("play '" + path("song.shd") + "' --print");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("00:00 / 00:02"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("00:01 / 00:02"), std::string::npos) << r.out;
    const auto held = heldNotes(r.out);
    EXPECT_EQ(held.size(), 5u) << "five keys sounded";
    for (const auto& [key, n] : held)
        EXPECT_EQ(n, 0) << key;
}

TEST_F(PlayRenderCliTest, InterruptStopsAtOnceWithEveryNoteSilenced)
{
    if (!haveSoundFont())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    std::string longSheet = "<staffdoc>\r\n<track>\r\n<config\r\ntempo=120 >\r\n</config>\r\n";
    for (int i = 0; i < 40; ++i)
        longSheet += "<note\r\nmidi=60 type=1026 line=0 iid=0 >\r\n</note>\r\n";
    longSheet += "</track>\r\n</staffdoc>\r\n";
    writeFile(path("long.shd"), longSheet);

    const std::string outFile = path("play.out");
    const std::string cmd = std::string("exec '") + TONVELA_CLI + "' play '" + path("long.shd") +
                            "' --print > '" + outFile + "' 2>/dev/null";
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    const auto sent = std::chrono::steady_clock::now();
    ::kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    const auto took = std::chrono::steady_clock::now() - sent;
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_LT(took, std::chrono::milliseconds(1000)) << "stops at once, not after 80 s";
    const std::string out = readFile(outFile);
    EXPECT_NE(out.find("Stopped."), std::string::npos) << out;
    const auto held = heldNotes(out);
    ASSERT_FALSE(held.empty());
    for (const auto& [key, n] : held)
        EXPECT_EQ(n, 0) << key;
}

TEST_F(PlayRenderCliTest, PlayRefusesBadOptionsWithAMessage)
{
    CliResult r = run("play '" + path("song.shd") + "' --track 3");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("--track 3: the sheet has 2 tracks"), std::string::npos) << r.err;
    r = run("play '" + path("song.shd") + "' --device 99");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("--device 99"), std::string::npos) << r.err;
    r = run("play '" + path("song.shd") + "' --all --events");
    EXPECT_EQ(r.exitCode, 1);
    r = run("play '" + path("song.shd") + "' --events");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no recorded MIDI events"), std::string::npos) << r.err;
    r = run("play '" + path("missing.shd") + "'");
    EXPECT_EQ(r.exitCode, 1);
}

TEST_F(PlayRenderCliTest, RenderWritesAWavFileOfThePlayTimeFasterThanRealTime)
{
    if (!haveSoundFont())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    const auto begin = std::chrono::steady_clock::now();
    const CliResult r = run("render '" + path("song.shd") + "' -o '" + path("song.wav") + "'");
    const auto took = std::chrono::steady_clock::now() - begin;
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string wav = readFile(path("song.wav"));
    ASSERT_GT(wav.size(), 44u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    // Two seconds of music and a 1.5 s tail, 44100 frames of 4 bytes each per second.
    EXPECT_EQ(wav.size(), 44u + 3.5 * 44100 * 4);
    EXPECT_LT(took, std::chrono::milliseconds(3500));
}

TEST_F(PlayRenderCliTest, RenderOfOneTrackAndRenderOfAnImportedMidiFile)
{
    if (!haveSoundFont())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    ASSERT_EQ(run("render '" + path("song.shd") + "' -o '" + path("bass.wav") + "' --track 2").exitCode, 0);
    // Track 2 is one half note: 1 s and the tail.
    EXPECT_EQ(readFile(path("bass.wav")).size(), 44u + 2.5 * 44100 * 4);

    ASSERT_EQ(run("convert '" + path("song.shd") + "' '" + path("song.mid") + "'").exitCode, 0);
    const CliResult r = run("render '" + path("song.mid") + "' -o '" + path("events.wav") + "' --events");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_GT(readFile(path("events.wav")).size(), 44u + 44100 * 4);
}

TEST_F(PlayRenderCliTest, FailedRenderLeavesAnExistingFileAlone)
{
    writeFile(path("keep.wav"), "old");
    writeFile(path("empty.shd"), "<staffdoc>\r\n<track>\r\n</track>\r\n</staffdoc>\r\n");
    const CliResult r = run("render '" + path("empty.shd") + "' -o '" + path("keep.wav") + "'");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no notes to play"), std::string::npos) << r.err;
    EXPECT_EQ(readFile(path("keep.wav")), "old");
}

} // namespace
} // namespace tonvela::testing
