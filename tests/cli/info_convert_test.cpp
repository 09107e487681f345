#include "cli_test_util.h"

using tonvela::testing::CliTest;
using tonvela::testing::readFile;
using tonvela::testing::writeFile;

namespace {
const std::string kExample = std::string(TONVELA_SOURCE_DIR) + "/examples/ode_to_joy.shd";
}

TEST_F(CliTest, InfoJsonDescribesEveryTrack)
{
    const auto r = run("info --json '" + kExample + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* key :
         {"\"kind\": \"sheet\"", "\"zoom\": 0.9", "\"timesig\": 391549", "\"channel\": 1", "\"notes\": 38",
          "\"chordRoots\": 11", "\"chordMembers\": 11", "\"drawmode\": 2", "\"percussive\": false",
          "\"key\": \"C\"", "\"iid\": 32", "\"playTime\": \"00:16\"", "\"totalPlayMs\": 16000"})
        EXPECT_NE(r.out.find(key), std::string::npos) << key << "\n" << r.out;
}

TEST_F(CliTest, InfoTextNamesStaffKindsAndPlayTime)
{
    const auto r = run("info '" + kExample + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Track 2: F clef"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("play time 00:16"), std::string::npos) << r.out;
}

TEST_F(CliTest, ConvertGivesBackTheSameBytes)
{
    const auto r = run("convert '" + kExample + "' '" + path("copy.shd") + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readFile(path("copy.shd")), readFile(kExample));
}

TEST_F(CliTest, ErrorsSayWhatWentWrongAndExitNonZero)
{
    auto r = run("info '" + path("missing.shd") + "'");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("missing.shd"), std::string::npos) << r.err;

    writeFile(path("junk.txt"), "hello world");
    r = run("info '" + path("junk.txt") + "'");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("not a sheet"), std::string::npos) << r.err;

    r = run("convert '" + kExample + "' '" + path("nodir/out.shd") + "'");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("out.shd"), std::string::npos) << r.err;

    r = run("convert '" + kExample + "' '" + path("out.xyz") + "'");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find(".xyz"), std::string::npos) << r.err;

    r = run("frobnicate");
    EXPECT_NE(r.exitCode, 0);
    r = run("info");
    EXPECT_NE(r.exitCode, 0);
    r = run("info --bogus '" + kExample + "'");
    EXPECT_NE(r.exitCode, 0);
}

TEST_F(CliTest, ConvertHelpListsTheTrackOptionOfMidiOutput)
{
    const auto h = run("convert --help");
    ASSERT_EQ(h.exitCode, 0);
    EXPECT_NE(h.out.find("--track N"), std::string::npos) << h.out;
    EXPECT_NE(h.out.find(".mid"), std::string::npos) << h.out;
}

TEST_F(CliTest, EverySubcommandHasHelp)
{
    const auto overview = run("--help");
    ASSERT_EQ(overview.exitCode, 0);
    for (const char* cmd : {"info", "convert", "render"}) {
        EXPECT_NE(overview.out.find(cmd), std::string::npos) << cmd;
        const auto h = run(std::string(cmd) + " --help");
        EXPECT_EQ(h.exitCode, 0) << cmd;
        EXPECT_NE(h.out.find("Usage: tonvela-cli " + std::string(cmd)), std::string::npos) << h.out;
    }
}

TEST_F(CliTest, InfoGivesExactPlayTimes)
{
    // 64 thirty-seconds at 120 bpm: four seconds, not 64 x 62 ms.
    std::string text = "<staffdoc>\r\n<track>\r\n";
    for (int i = 0; i < 64; ++i)
        text += "<note\r\nmidi=60 type=1031 line=0 iid=0 >\r\n</note>\r\n";
    text += "</track>\r\n</staffdoc>\r\n";
    writeFile(path("thirty_seconds.shd"), text);
    const auto r = run("info --json '" + path("thirty_seconds.shd") + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"totalPlayMs\": 4000"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"playTime\": \"00:04\""), std::string::npos) << r.out;
}

TEST_F(CliTest, InfoGivesPlayTimesInRealTimeAtTheTracksTempo)
{
    // 64 thirty-seconds (8 quarters) at 48 bpm: ten seconds in minutes and seconds and in ms.
    std::string text = "<staffdoc>\r\n<track>\r\n<config\r\ntempo=48 >\r\n</config>\r\n";
    for (int i = 0; i < 64; ++i)
        text += "<note\r\nmidi=60 type=1031 line=0 iid=0 >\r\n</note>\r\n";
    text += "</track>\r\n</staffdoc>\r\n";
    writeFile(path("slow.shd"), text);
    const auto r = run("info --json '" + path("slow.shd") + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"totalPlayMs\": 10000"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"playTime\": \"00:10\""), std::string::npos) << r.out;
    const auto t = run("info '" + path("slow.shd") + "'");
    EXPECT_NE(t.out.find("play time 00:10 (10000 ms)"), std::string::npos) << t.out;
}

TEST_F(CliTest, ConvertWritesEveryRegisteredFormatAndTakesTheTrackOptionOnlyWhereItMeansSomething)
{
    const auto h = run("convert --help");
    ASSERT_EQ(h.exitCode, 0);
    for (const char* ext : {".shd", ".ly", ".mid", ".musicxml", ".mxl"}) {
        EXPECT_NE(h.out.find(ext), std::string::npos) << ext << "\n" << h.out;
        const auto r = run("convert '" + kExample + "' '" + path(std::string("out") + ext) + "'");
        EXPECT_EQ(r.exitCode, 0) << ext << ": " << r.err;
        EXPECT_FALSE(readFile(path(std::string("out") + ext)).empty()) << ext;
    }
    const auto upper = run("convert '" + kExample + "' '" + path("OUT.LY") + "'");
    EXPECT_EQ(upper.exitCode, 0) << "extensions in any case: " << upper.err;
    const auto ly = run("convert '" + kExample + "' '" + path("one.ly") + "' --track 1");
    EXPECT_NE(ly.exitCode, 0);
    EXPECT_NE(ly.err.find("--track"), std::string::npos) << ly.err;
    const auto mid = run("convert '" + kExample + "' '" + path("one.mid") + "' --track 9");
    EXPECT_NE(mid.exitCode, 0);
    EXPECT_NE(mid.err.find("the sheet has 2 tracks"), std::string::npos) << mid.err;
}
