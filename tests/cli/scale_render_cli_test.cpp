// tonvela-cli render --scale ROOT SCALE: the fretboard picture with a scale's marks. Builds
// without Qt draw no scales; the picture cases skip there.

#include "cli_test_util.h"

#include <filesystem>

namespace tonvela::testing {
namespace {

unsigned be32(const std::string& s, std::size_t at)
{
    unsigned v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}

class ScaleRenderCliTest : public CliTest {
  protected:
    void SetUp() override
    {
        CliTest::SetUp();
        if (run("render --help").out.find("OUT ends in") == std::string::npos)
            GTEST_SKIP() << "this tonvela-cli draws no scales";
    }
    // Draws a scale into `name`; returns the file's bytes, empty when the run failed.
    std::string draw(const std::string& scaleWords, const std::string& name)
    {
        last = run("render --scale " + scaleWords + " -o '" + path(name) + "'");
        return last.exitCode == 0 ? readFile(path(name)) : std::string();
    }
    CliResult last;
};

TEST_F(ScaleRenderCliTest, APngIsTheFretboardPictureWithTheMarks)
{
    const std::string aMajor = draw("A Major", "a_major.png");
    ASSERT_EQ(last.exitCode, 0) << last.err;
    ASSERT_GT(aMajor.size(), 24u);
    EXPECT_EQ(aMajor.substr(1, 3), "PNG");
    EXPECT_EQ(be32(aMajor, 16), 819u);
    EXPECT_EQ(be32(aMajor, 20), 314u);
    // Another root or scale marks other places.
    EXPECT_NE(draw("A Minor", "a_minor.png"), aMajor);
    EXPECT_NE(draw("B Major", "b_major.png"), aMajor);
}

TEST_F(ScaleRenderCliTest, RootsAndScaleNamesAreReadAsAGuitaristWritesThem)
{
    // A flat and its sharp twin are one pitch class; case and separators do not matter.
    const std::string sharp = draw("'A#' 'Major Pentatonic'", "sharp.png");
    ASSERT_FALSE(sharp.empty()) << last.err;
    EXPECT_EQ(draw("bb major-pentatonic", "flat.png"), sharp);
    EXPECT_EQ(draw("Bb major pentatonic", "unquoted.png"), sharp) << "the rest of the words name the scale";
    EXPECT_EQ(draw("Cb blues", "cflat.png"), draw("B Blues", "b.png")) << "C flat is B";
}

TEST_F(ScaleRenderCliTest, AnUnknownRootOrScaleSaysWhatItTakesAndWritesNothing)
{
    EXPECT_TRUE(draw("H Major", "h.png").empty());
    EXPECT_EQ(last.exitCode, 1);
    EXPECT_NE(last.err.find("unknown root \"H\""), std::string::npos) << last.err;
    EXPECT_TRUE(draw("A Dorian", "dorian.png").empty());
    EXPECT_NE(last.err.find("unknown scale \"Dorian\""), std::string::npos) << last.err;
    EXPECT_NE(last.err.find("\"Minor Pentatonic\""), std::string::npos) << "the names to choose from";
    EXPECT_TRUE(draw("A#b Major", "twice.png").empty());
    EXPECT_TRUE(draw("A", "alone.png").empty());
    EXPECT_NE(last.err.find("needs ROOT, SCALE"), std::string::npos) << last.err;
    EXPECT_TRUE(draw("A Major", "sound.wav").empty());
    EXPECT_NE(last.err.find("use a .png or .pdf"), std::string::npos) << last.err;
    for (const char* name : {"h.png", "dorian.png", "twice.png", "alone.png", "sound.wav"})
        EXPECT_FALSE(std::filesystem::exists(path(name))) << name;
    const CliResult zoom = run("render --scale A Major -o '" + path("z.png") + "' --zoom 2");
    EXPECT_EQ(zoom.exitCode, 1);
    EXPECT_NE(zoom.err.find("--zoom"), std::string::npos) << zoom.err;
}

TEST_F(ScaleRenderCliTest, APdfHoldsOnePage)
{
    const std::string pdf = draw("E Minor", "e_minor.pdf");
    ASSERT_EQ(last.exitCode, 0) << last.err;
    EXPECT_EQ(pdf.rfind("%PDF", 0), 0u);
    std::size_t pages = 0;
    for (std::size_t at = pdf.find("/Type /Page"); at != std::string::npos;
         at = pdf.find("/Type /Page", at + 1))
        if (pdf.compare(at, 12, "/Type /Pages") != 0)
            ++pages;
    EXPECT_EQ(pages, 1u);
}

TEST_F(ScaleRenderCliTest, HelpDescribesTheScaleForm)
{
    const CliResult help = run("render --help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("render --scale ROOT SCALE -o OUT"), std::string::npos);
    EXPECT_NE(help.out.find("\"Major\", \"Minor\", \"Major Pentatonic\", \"Minor Pentatonic\" or \"Blues\""),
              std::string::npos)
        << help.out;
}

} // namespace
} // namespace tonvela::testing
