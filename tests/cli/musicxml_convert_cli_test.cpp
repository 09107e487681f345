#include "cli/cli_test_util.h"
#include "interchange/left_out_names_score.h"

#include "score/sheet_document.h"
#include "score/sheet_file.h"
#include "score/track.h"

namespace tonvela::testing {
namespace {

const std::string kScores = std::string(TONVELA_TEST_DATA) + "/musicxml/";

TEST_F(CliTest, ConvertReadsPlainAndCompressedMusicXmlIntoTheSameSheet)
{
    const auto a = run("convert '" + kScores + "Unclaimed_Gift.mxl' '" + path("a.shd") + "'");
    ASSERT_EQ(a.exitCode, 0) << a.err;
    const auto b = run("convert '" + kScores + "Unclaimed_Gift.musicxml' '" + path("b.shd") + "'");
    ASSERT_EQ(b.exitCode, 0) << b.err;
    EXPECT_EQ(readFile(path("a.shd")), readFile(path("b.shd")));
    // What the sheet cannot hold is said on standard error.
    EXPECT_NE(a.err.find("tonvela-cli: warning: Left out, as the sheet cannot hold them: "),
              std::string::npos)
        << a.err;
    // Its 56 chord symbols are read into the sheet now, so they are no longer left out.
    EXPECT_EQ(a.err.find("chord symbols ("), std::string::npos) << a.err;

    SheetDocument sheet;
    ASSERT_TRUE(loadSheet(sheet, "a.shd", path("a.shd")).ok());
    ASSERT_EQ(sheet.trackCount(), 1);
    EXPECT_GT(sheet.trackAt(0)->count, 140);   // notes tied over bar lines become one note
    EXPECT_EQ(sheet.trackAt(0)->keyindex, 10); // E flat major, as the score is written
    int symbols = 0;
    for (int i = 0; i < sheet.trackAt(0)->count; ++i)
        symbols += sheet.trackAt(0)->noteAt(i).chordSymbol().has_value() ? 1 : 0;
    EXPECT_GE(symbols, 40) << "most of the score's 56 chord symbols, on the notes they stand over";

    // And on to MIDI, as any other sheet.
    const auto m = run("convert '" + kScores + "Reunion.mxl' '" + path("reunion.mid") + "'");
    ASSERT_EQ(m.exitCode, 0) << m.err;
    EXPECT_EQ(readFile(path("reunion.mid")).substr(0, 4), "MThd");
}

TEST_F(CliTest, ConvertPrintsAWarningOfAFileWithTenThousandLeftOutNamesBounded)
{
    writeFile(path("flood.musicxml"), scoreWithDistinctLeftOutNames(10000, 2000));
    const auto r = run("convert '" + path("flood.musicxml") + "' '" + path("flood.shd") + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err.substr(0, 400);
    EXPECT_LT(r.err.size(), 10000u);
    // Every line as a box would show it: at most 40, each at most 200 characters after the prefix.
    int lines = 0;
    std::size_t start = 0;
    while (start < r.err.size()) {
        const auto nl = r.err.find('\n', start);
        std::string line = r.err.substr(start, nl - start);
        const std::string prefix = "tonvela-cli: warning: ";
        if (line.rfind(prefix, 0) == 0)
            line = line.substr(prefix.size());
        EXPECT_LE(line.size(), 200u) << line;
        ++lines;
        start = nl == std::string::npos ? r.err.size() : nl + 1;
    }
    EXPECT_LE(lines, 40);
    EXPECT_NE(r.err.find("other elements ("), std::string::npos) << r.err.substr(0, 400);
}

TEST_F(CliTest, ConvertRefusesADamagedMusicXmlFileWithItsReason)
{
    writeFile(path("broken.musicxml"), "<?xml version=\"1.0\"?><score-partwise><part-list>");
    const auto r = run("convert '" + path("broken.musicxml") + "' '" + path("out.shd") + "'");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("cannot import"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("not well-formed XML"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(path("out.shd")));

    const auto h = run("convert --help");
    EXPECT_NE(h.out.find("MusicXML scores (.musicxml, .xml,\nand compressed .mxl)"), std::string::npos)
        << h.out;
}

} // namespace
} // namespace tonvela::testing
