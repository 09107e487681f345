// tonvela-cli render to PDF laid out for paper: the staff size and the paper options, and the
// page texts as poppler's pdftotext and pdfinfo read them back.

#include "cli_test_util.h"

#include <gtest/gtest.h>

#include <regex>

namespace tonvela::testing {
namespace {

class RenderPagesCliTest : public CliTest {
  protected:
    void SetUp() override
    {
        CliTest::SetUp();
        if (run("render --help").out.find(".pdf") == std::string::npos)
            GTEST_SKIP() << "this tonvela-cli has no PDF renderer";
        sheet = path("song.shd");
        std::string text = "<staffdoc\r\nzoomamount=1.3\r\ntimesig=391549\r\ntitle=\"Morning Song\"\r\n"
                           "subtitle=\"for voice\"\r\ncomposer=\"Anna Composer\"\r\nlyricist=\"Ben Poet\"\r\n"
                           "copyright=\"Copyright 2026 Anna\"\r\n>\r\n";
        for (int t = 0; t < 2; ++t) {
            text += "<track>\r\n<config\r\nbpm=96 devid=0 iid=0 groupid=0 key=C keyindex=7 tempo=96 "
                    "drawmode=0 percussive=0 >\r\n</config>\r\n";
            for (int i = 0; i < 160; ++i)
                text += "<note\r\nmidi=" + std::to_string(60 + i % 8) +
                        " type=1028 line=" + std::to_string(i % 8) + " iid=0 >\r\n</note>\r\n";
            text += "</track>\r\n";
        }
        text += "<measures>\r\n</measures>\r\n</staffdoc>\r\n";
        writeFile(sheet, text);
    }
    static std::string shell(const std::string& command)
    {
        std::string out;
        FILE* pipe = ::popen(command.c_str(), "r");
        char buf[4096];
        std::size_t n = 0;
        while (pipe && (n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
            out.append(buf, n);
        if (pipe)
            ::pclose(pipe);
        return out;
    }
    static int pages(const std::string& pdf)
    {
        std::smatch m;
        const std::string info = shell("pdfinfo '" + pdf + "' 2>&1");
        return std::regex_search(info, m, std::regex("Pages:\\s+(\\d+)")) ? std::stoi(m[1]) : -1;
    }
    static std::string pageSize(const std::string& pdf)
    {
        std::smatch m;
        const std::string info = shell("pdfinfo '" + pdf + "' 2>&1");
        return std::regex_search(info, m, std::regex("Page size:\\s+([0-9.]+ x [0-9.]+) pts")) ? m[1].str()
                                                                                               : info;
    }
    std::string sheet;
};

TEST_F(RenderPagesCliTest, PopplerReadsTheTitlesTempoCopyrightAndEveryPageNumber)
{
    const std::string pdf = path("song.pdf");
    const CliResult r = run("render '" + sheet + "' -o '" + pdf + "' --paper a4");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const int count = pages(pdf);
    ASSERT_GE(count, 2);
    EXPECT_EQ(pageSize(pdf), "595 x 842");
    for (int p = 1; p <= count; ++p) {
        const std::string text = shell("pdftotext -f " + std::to_string(p) + " -l " + std::to_string(p) +
                                       " -layout '" + pdf + "' - 2>&1");
        EXPECT_NE(text.find("page " + std::to_string(p) + " of " + std::to_string(count)), std::string::npos)
            << text;
        if (p == 1) {
            for (const char* want :
                 {"Morning Song", "for voice", "Anna Composer", "Ben Poet", "= 96", "Copyright 2026 Anna"})
                EXPECT_NE(text.find(want), std::string::npos) << want << "\n" << text;
            // Title above subtitle above the composer's line.
            EXPECT_LT(text.find("Morning Song"), text.find("for voice"));
            EXPECT_LT(text.find("for voice"), text.find("Anna Composer"));
            // The lyricist on the left of the line, the composer on the right.
            EXPECT_LT(text.find("Ben Poet"), text.find("Anna Composer"));
        } else {
            EXPECT_NE(text.find("Morning Song"), std::string::npos) << "running header\n" << text;
            EXPECT_EQ(text.find("Anna Composer"), std::string::npos) << text;
            EXPECT_EQ(text.find("Copyright"), std::string::npos) << text;
        }
    }
}

TEST_F(RenderPagesCliTest, StaffSizeAndPaperChooseThePagesAndTheZoomDoesNot)
{
    const auto render = [this](const std::string& options) {
        const std::string pdf = path("out.pdf");
        std::filesystem::remove(pdf);
        const CliResult r = run("render '" + sheet + "' -o '" + pdf + "' " + options);
        EXPECT_EQ(r.exitCode, 0) << options << ": " << r.err;
        return std::make_pair(pages(pdf), pageSize(pdf));
    };
    const auto small = render("--staff-size 5 --paper a4");
    const auto normal = render("--paper a4");
    const auto large = render("--staff-size 9 --paper a4");
    EXPECT_LT(small.first, normal.first);
    EXPECT_LT(normal.first, large.first);
    EXPECT_EQ(render("--paper a4 --zoom 0.4").first, normal.first);
    EXPECT_EQ(render("--paper a4 --zoom 3").first, normal.first);
    EXPECT_EQ(render("--paper letter").second, "612 x 792");
}

TEST_F(RenderPagesCliTest, BadPageOptionsAreRefusedAndWriteNothing)
{
    const std::string pdf = path("bad.pdf");
    for (const char* bad :
         {"--staff-size 4.9", "--staff-size 9.5", "--staff-size seven", "--staff-size nan"}) {
        const CliResult r = run("render '" + sheet + "' -o '" + pdf + "' " + bad);
        EXPECT_NE(r.exitCode, 0) << bad;
        EXPECT_NE(r.err.find("--staff-size"), std::string::npos) << bad << ": " << r.err;
    }
    const CliResult r = run("render '" + sheet + "' -o '" + pdf + "' --paper a3");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("a4 or letter"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(pdf));
    // An SVG takes the same options.
    const CliResult svg =
        run("render '" + sheet + "' -o '" + path("p.svg") + "' --staff-size 6 --paper letter");
    EXPECT_EQ(svg.exitCode, 0) << svg.err;
    EXPECT_TRUE(std::filesystem::exists(path("p-1.svg")));
}

} // namespace
} // namespace tonvela::testing
