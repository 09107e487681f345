// tonvela-cli play and render .wav.

#include "cli_test_util.h"

#include <cmath>
#include <csignal>
#include <cstdlib>
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

// How fast the render runs is the benchmarks' to check: under a loaded sanitizer build a timed
// assertion here failed for a render that was right.
TEST_F(PlayRenderCliTest, RenderWritesAWavFileOfThePlayTime)
{
    if (!haveSoundFont())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    const CliResult r = run("render '" + path("song.shd") + "' -o '" + path("song.wav") + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string wav = readFile(path("song.wav"));
    ASSERT_GT(wav.size(), 44u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    // Two seconds of music and a 1.5 s tail, 44100 frames of 4 bytes each per second.
    EXPECT_EQ(wav.size(), 44u + 3.5 * 44100 * 4);
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

TEST_F(PlayRenderCliTest, RepeatedMeasuresLengthenTheRenderAndThePlayTime)
{
    if (!haveSoundFont())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    // The test sheet: nine measures of two seconds with measures 2, 4 and 9 marked; the same
    // sheet with its marks taken out.
    const std::string marked = std::string(TONVELA_TEST_DATA) + "/repeats.shd";
    std::string plain = readFile(marked);
    for (std::size_t at; (at = plain.find("repeats=\"2,4,9\" ")) != std::string::npos;)
        plain.erase(at, std::string("repeats=\"2,4,9\" ").size());
    writeFile(path("plain.shd"), plain);
    ASSERT_EQ(run("render '" + marked + "' -o '" + path("marked.wav") + "'").exitCode, 0);
    ASSERT_EQ(run("render '" + path("plain.shd") + "' -o '" + path("plain.wav") + "'").exitCode, 0);
    // 18 s of music without the repeats, 24 s with them, each with a 1.5 s tail.
    EXPECT_EQ(readFile(path("plain.wav")).size(), 44u + 19.5 * 44100 * 4);
    EXPECT_EQ(readFile(path("marked.wav")).size(), 44u + 25.5 * 44100 * 4);

    const CliResult info = run("info '" + marked + "' --json");
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("\"playTime\": \"00:24\""), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\"totalPlayMs\": 24000"), std::string::npos) << info.out;
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

// RMS of the left channel of a 16-bit stereo WAV between two times.
double windowRms(const std::string& wav, double fromMs, double toMs)
{
    const std::size_t data = wav.find("data");
    if (data == std::string::npos)
        return -1;
    const double rate = 44100.0;
    const auto first = static_cast<std::size_t>(fromMs * rate / 1000.0);
    const auto last = static_cast<std::size_t>(toMs * rate / 1000.0);
    double sum = 0;
    std::size_t n = 0;
    for (std::size_t f = first; f < last; ++f) {
        const std::size_t at = data + 8 + f * 4;
        if (at + 1 >= wav.size())
            break;
        const auto v =
            static_cast<int16_t>(static_cast<uint8_t>(wav[at]) | (static_cast<uint8_t>(wav[at + 1]) << 8));
        sum += static_cast<double>(v) * v;
        ++n;
    }
    return n ? std::sqrt(sum / static_cast<double>(n)) : 0;
}

TEST_F(PlayRenderCliTest, RenderMixesAnAudioClipInBetweenTheNotesAroundIt)
{
    // GIVEN a quarter, a clip note playing a 600 ms tone, a quarter; once with the tone and
    // once with a silent clip of the same length.
    auto sheetWith = [](const std::string& clip) {
        return "<staffdoc>\r\n<track>\r\n<config\r\ntempo=120 >\r\n</config>\r\n"
               "<note\r\nmidi=60 type=1028 line=0 iid=0 >\r\n</note>\r\n"
               "<note\r\nmidi=60 type=1741 line=0 iid=0 filename=\"" +
               clip +
               "\" >\r\n</note>\r\n"
               "<note\r\nmidi=64 type=1028 line=-2 iid=0 >\r\n</note>\r\n</track>\r\n</staffdoc>\r\n";
    };
    ASSERT_EQ(
        std::system(
            ("sox -n -r 44100 -c 2 -b 16 '" + path("tone.wav") + "' synth 0.6 sine 1000 vol 0.8").c_str()),
        0);
    ASSERT_EQ(std::system(("sox -n -r 44100 -c 2 -b 16 '" + path("quiet.wav") + "' trim 0 0.6").c_str()), 0);
    writeFile(path("tone.shd"), sheetWith(path("tone.wav")));
    writeFile(path("quiet.shd"), sheetWith(path("quiet.wav")));

    // WHEN both are rendered
    // (Without a General MIDI SoundFont the renders fail and say which packages hold one.)
    for (const char* name : {"tone", "quiet"}) {
        const CliResult r = run("render '" + path(std::string(name) + ".shd") + "' -o '" +
                                path(std::string(name) + "_out.wav") + "'");
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    const std::string tone = readFile(path("tone_out.wav"));
    const std::string quiet = readFile(path("quiet_out.wav"));

    // THEN the tone sounds between the first note's end (500 ms) and the second note's start
    // (1100 ms), and the second note waits for the clip.
    const double withTone = windowRms(tone, 650, 1000);
    const double withoutTone = windowRms(quiet, 650, 1000);
    EXPECT_GT(withTone, 4 * withoutTone + 1000) << withTone << " vs " << withoutTone;
    // 500 ms + 600 ms clip + 500 ms + 1.5 s of release; without the clip's time it is 2.5 s.
    EXPECT_GT(tone.size(), 44u + 4u * 44100u * 29u / 10u) << "the notes after the clip come after it";
}
} // namespace tonvela::testing
