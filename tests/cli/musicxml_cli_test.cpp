#include "cli_test_util.h"

#include <pugixml.hpp>

using tonvela::testing::CliTest;
using tonvela::testing::readFile;

namespace {
const std::string kExample = std::string(TONVELA_SOURCE_DIR) + "/examples/staff_kinds.shd";
}

TEST_F(CliTest, ConvertWritesMusicXmlTitledAfterTheSheet)
{
    const auto r = run("convert '" + kExample + "' '" + path("song.musicxml") + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(readFile(path("song.musicxml")).c_str()));
    pugi::xml_node score = doc.child("score-partwise");
    // The version of the schema the exports are checked against (tests/data/musicxml/schema).
    EXPECT_STREQ(score.attribute("version").value(), "3.0");
    EXPECT_STREQ(score.child("work").child_value("work-title"), "staff_kinds");
    int parts = 0;
    for (pugi::xml_node p : score.children("part")) {
        (void)p;
        ++parts;
    }
    EXPECT_EQ(parts, 5);
}

TEST_F(CliTest, ConvertWritesACompressedMusicXmlArchive)
{
    const auto r = run("convert '" + kExample + "' '" + path("song.mxl") + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string bytes = readFile(path("song.mxl"));
    ASSERT_GT(bytes.size(), 40u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("PK\x03\x04", 4));
    // The first entry is the stored media type, readable at a fixed offset.
    EXPECT_EQ(bytes.substr(30, 8), "mimetype");
    EXPECT_EQ(bytes.substr(38, 34), "application/vnd.recordare.musicxml");
}

TEST_F(CliTest, ConvertHelpNamesTheMusicXmlOutputs)
{
    const auto h = run("convert --help");
    ASSERT_EQ(h.exitCode, 0);
    EXPECT_NE(h.out.find(".musicxml"), std::string::npos) << h.out;
    EXPECT_NE(h.out.find(".mxl"), std::string::npos) << h.out;
    EXPECT_NE(h.out.find("MusicXML"), std::string::npos) << h.out;
}
