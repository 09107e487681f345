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
