// tonvela-cli render to PNG, PDF and SVG. Builds without Qt have no picture renderers; the cases
// skip there.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class RenderPictureCliTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        // One folder per test and process: ctest runs the cases side by side.
        dir = fs::path(::testing::TempDir()) /
              ("tonvela_render_cli_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        if (run("render --help").find(".png") == std::string::npos)
            GTEST_SKIP() << "this tonvela-cli has no picture renderers";
        sheet = (dir / "melody.shd").string();
        std::ofstream(sheet, std::ios::binary)
            << "<staffdoc\r\nzoomamount=0.9\r\ntimesig=391549\r\n>\r\n<track>\r\n<config\r\n"
               "bpm=120 devid=0 iid=0 groupid=0 key=D keyindex=5 tempo=120 drawmode=0 percussive=0 >\r\n"
               "</config>\r\n<note\r\nmidi=62 type=1029 line=-1 iid=0 lyrictext=\"la\">\r\n</note>\r\n"
               "<note\r\nmidi=64 type=1029 line=-2 iid=0 >\r\n</note>\r\n"
               "<note\r\nmidi=67 type=1027 line=-4 dwFlag=4 iid=0 >\r\n</note>\r\n"
               "<note\r\nmidi=67 type=1028 line=-4 dwFlag=4 iid=0 "
               ">\r\n</note>\r\n</track>\r\n</staffdoc>\r\n";
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs the tool and returns what it printed on both streams; sets `status`.
    std::string run(const std::string& args)
    {
        const std::string command = std::string(TONVELA_CLI) + " " + args + " 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        std::string out;
        char buf[512];
        while (pipe && std::fgets(buf, sizeof buf, pipe))
            out += buf;
        status = pipe ? pclose(pipe) : -1;
        return out;
    }
    static std::string readAll(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static unsigned be32(const std::string& s, std::size_t at)
    {
        unsigned v = 0;
        for (std::size_t i = 0; i < 4; ++i)
            v = (v << 8) | static_cast<unsigned char>(s[at + i]);
        return v;
    }

    fs::path dir;
    std::string sheet;
    int status = 0;
};

TEST_F(RenderPictureCliTest, PngHasTheRequestedWindowSize)
{
    const fs::path out = dir / "view.png";
    run("render " + sheet + " -o " + out.string() + " --width 640 --height 360 --zoom 1.5 --row 0");
    ASSERT_EQ(status, 0);
    const std::string png = readAll(out);
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_EQ(be32(png, 16), 640u);
    EXPECT_EQ(be32(png, 20), 360u);
}

TEST_F(RenderPictureCliTest, PdfIsWrittenWithAPage)
{
    const fs::path out = dir / "print.pdf";
    run("render " + sheet + " -o " + out.string());
    ASSERT_EQ(status, 0);
    const std::string pdf = readAll(out);
    EXPECT_EQ(pdf.rfind("%PDF", 0), 0u);
    EXPECT_NE(pdf.find("/Type /Page"), std::string::npos);
}

TEST_F(RenderPictureCliTest, EveryZoomTheWindowAllowsIsAcceptedFromPointFourToTen)
{
    for (const char* zoom : {"0.4", "0.40", "10", "10.0", "2.5"}) {
        const fs::path out = dir / (std::string("zoom") + zoom + ".png");
        const std::string said =
            run("render " + sheet + " -o " + out.string() + " --width 200 --height 100 --zoom " + zoom);
        EXPECT_EQ(status, 0) << zoom << ": " << said;
        EXPECT_TRUE(fs::exists(out)) << zoom;
    }
    for (const char* zoom : {"0.39", "10.01", "nan", "1e400", "0.4x"}) {
        const fs::path out = dir / "refused.png";
        EXPECT_NE(run("render " + sheet + " -o " + out.string() + " --zoom " + zoom).find("--zoom"),
                  std::string::npos)
            << zoom;
        EXPECT_NE(status, 0) << zoom;
        EXPECT_FALSE(fs::exists(out)) << zoom;
    }
    const fs::path pdf = dir / "small.pdf";
    run("render " + sheet + " -o " + pdf.string() + " --zoom 0.4");
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(fs::exists(pdf));
}

TEST_F(RenderPictureCliTest, BadOptionsAreRefusedAndWriteNothing)
{
    const fs::path out = dir / "bad.png";
    EXPECT_NE(run("render " + sheet + " -o " + out.string() + " --zoom 0.1").find("--zoom"),
              std::string::npos);
    EXPECT_NE(status, 0);
    EXPECT_NE(run("render " + sheet + " -o " + out.string() + " --width -5").find("--width"),
              std::string::npos);
    EXPECT_NE(status, 0);
    run("render " + sheet + " -o " + out.string() + " --colour red");
    EXPECT_NE(status, 0);
    run("render " + (dir / "missing.shd").string() + " -o " + out.string());
    EXPECT_NE(status, 0);
    EXPECT_FALSE(fs::exists(out));
}

// A chord document of `count` diagrams, written as the program writes them.
std::string chordDocumentText(int count)
{
    std::string text = "<chorddoc>\r\n";
    for (int i = 0; i < count; ++i)
        text += "<chord \r\nquality=0 startfret=" + std::to_string(1 + i % 5) + " label=\"A" +
                std::to_string(i) + "\" szchord=\"11023333243151061X\" ></chord>\r\n";
    return text + "</chorddoc>";
}

int pdfPages(const std::string& pdf)
{
    int pages = 0;
    for (std::size_t at = pdf.find("/Type /Page"); at != std::string::npos;
         at = pdf.find("/Type /Page", at + 1))
        if (pdf.compare(at, 12, "/Type /Pages") != 0)
            ++pages;
    return pages;
}

// Whether the PDF holds a picture (an image XObject) anywhere.
bool hasImage(const std::string& pdf)
{
    return pdf.find("/Subtype /Image") != std::string::npos;
}

// The text of a PDF's pages as Ghostscript reads it, words one space apart; empty without gs.
std::string pdfText(const std::string& path)
{
    if (std::system("command -v gs >/dev/null 2>&1") != 0)
        return {};
    const std::string command =
        "gs -q -dNOPAUSE -dBATCH -sDEVICE=txtwrite -sOutputFile=- '" + path + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    std::string text;
    char buf[512];
    while (pipe && std::fgets(buf, sizeof buf, pipe))
        text += buf;
    if (pipe)
        pclose(pipe);
    std::string words;
    for (char c : text) {
        const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r';
        if (!space)
            words += c;
        else if (!words.empty() && words.back() != ' ')
            words += ' ';
    }
    return words;
}

TEST(PdfImageCheck, SeesAnImageObject)
{
    // The way the PDF writer declares a picture; the checks of vector pages rely on seeing it.
    EXPECT_TRUE(hasImage("4 0 obj\n<<\n/Type /XObject\n/Subtype /Image\n/Width 2\n/Height 2\n>>"));
    EXPECT_FALSE(hasImage("4 0 obj\n<<\n/Type /XObject\n/Subtype /Form\n>>"));
}

TEST_F(RenderPictureCliTest, ASheetPrintsAsVectorPagesWithEmbeddedText)
{
    const fs::path pdf = dir / "melody.pdf";
    const std::string said = run("render " + sheet + " -o " + pdf.string());
    ASSERT_EQ(status, 0) << said;
    const std::string bytes = readAll(pdf);
    ASSERT_EQ(bytes.rfind("%PDF", 0), 0u);
    EXPECT_EQ(pdfPages(bytes), 1);
    EXPECT_FALSE(hasImage(bytes)) << "staves, glyphs and text drawn as themselves, not page pictures";
    EXPECT_NE(bytes.find("/FontFile2"), std::string::npos) << "the text's font travels with the file";

    // A sheet of many rows fills several pages, still without pictures.
    std::string text =
        "<staffdoc\r\nzoomamount=1\r\ntimesig=391549\r\n>\r\n<track>\r\n<config\r\n"
        "bpm=120 devid=0 iid=0 groupid=0 key=C keyindex=0 tempo=120 drawmode=0 percussive=0 >\r\n"
        "</config>\r\n";
    for (int i = 0; i < 400; ++i)
        text += "<note\r\nmidi=60 type=1028 line=0 iid=0 >\r\n</note>\r\n";
    std::ofstream(dir / "long.shd", std::ios::binary) << text + "</track>\r\n</staffdoc>\r\n";
    const fs::path longPdf = dir / "long.pdf";
    const std::string longSaid = run("render " + (dir / "long.shd").string() + " -o " + longPdf.string());
    ASSERT_EQ(status, 0) << longSaid;
    const std::string longBytes = readAll(longPdf);
    const int pages = pdfPages(longBytes);
    EXPECT_GT(pages, 1);
    EXPECT_FALSE(hasImage(longBytes));

    // Every page is numbered in text a reader can find; an untitled sheet prints no file name
    // as its title.
    const std::string words = pdfText(longPdf.string());
    if (words.empty())
        GTEST_SKIP() << "no Ghostscript to read the PDF's text";
    const std::string count = " of " + std::to_string(pages);
    EXPECT_EQ(words.find("long.shd"), std::string::npos) << words.substr(0, 200);
    EXPECT_NE(words.find("page 1" + count), std::string::npos) << words.substr(0, 200);
    EXPECT_NE(words.find("page " + std::to_string(pages) + count), std::string::npos);
    EXPECT_EQ(words.find("page " + std::to_string(pages + 1) + count), std::string::npos);
}

TEST_F(RenderPictureCliTest, AChordDocumentIsKnownByItsRootAndPrintsAsVectorPages)
{
    // The .shd name says nothing: the root element makes it a chord document.
    const fs::path chords = dir / "lesson.shd";
    std::ofstream(chords, std::ios::binary) << chordDocumentText(32);
    const fs::path pdf = dir / "lesson.pdf";
    const std::string said = run("render " + chords.string() + " -o " + pdf.string());
    ASSERT_EQ(status, 0) << said;
    const std::string bytes = readAll(pdf);
    ASSERT_EQ(bytes.rfind("%PDF", 0), 0u);
    EXPECT_EQ(pdfPages(bytes), 2) << "four columns of four rows on each A4 page";
    EXPECT_FALSE(hasImage(bytes)) << "drawn as shapes and text, no pictures";

    // One more diagram than a page holds makes a second page; an empty document one page.
    std::ofstream(dir / "seventeen.shd", std::ios::binary) << chordDocumentText(17);
    run("render " + (dir / "seventeen.shd").string() + " -o " + (dir / "17.pdf").string());
    EXPECT_EQ(pdfPages(readAll(dir / "17.pdf")), 2);
    std::ofstream(dir / "empty.shd", std::ios::binary) << chordDocumentText(0);
    run("render " + (dir / "empty.shd").string() + " -o " + (dir / "0.pdf").string());
    EXPECT_EQ(pdfPages(readAll(dir / "0.pdf")), 1);
}

TEST_F(RenderPictureCliTest, AChordDocumentPageIsDrawnAsAPngOfTheA4Page)
{
    const fs::path chords = dir / "lesson.shd";
    std::ofstream(chords, std::ios::binary) << chordDocumentText(20);
    const fs::path png = dir / "page2.png";
    const std::string said = run("render " + chords.string() + " -o " + png.string() + " --page 2 --dpi 150");
    ASSERT_EQ(status, 0) << said;
    const std::string bytes = readAll(png);
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ(bytes.substr(1, 3), "PNG");
    // 190 x 277 mm at 150 dots per inch.
    EXPECT_EQ(be32(bytes, 16), 1124u);
    EXPECT_EQ(be32(bytes, 20), 1638u);

    // A page the document does not have, a resolution out of range, sheet options and outputs
    // a chord document has no renderer for are refused, and nothing is written.
    const fs::path out = dir / "refused.png";
    EXPECT_NE(run("render " + chords.string() + " -o " + out.string() + " --page 3").find("--page"),
              std::string::npos);
    EXPECT_NE(status, 0);
    EXPECT_NE(run("render " + chords.string() + " -o " + out.string() + " --dpi 5000").find("--dpi"),
              std::string::npos);
    EXPECT_NE(status, 0);
    EXPECT_NE(run("render " + chords.string() + " -o " + out.string() + " --zoom 2").find("--zoom"),
              std::string::npos);
    EXPECT_NE(status, 0);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_NE(run("render " + chords.string() + " -o " + (dir / "out.wav").string()).find("chord document"),
              std::string::npos);
    EXPECT_NE(status, 0);
    EXPECT_FALSE(fs::exists(dir / "out.wav"));
}

} // namespace

namespace {

// True when xmllint finds the file well-formed XML; skipped (nullopt) without xmllint.
std::optional<bool> wellFormedXml(const fs::path& file)
{
    if (std::system("command -v xmllint >/dev/null 2>&1") != 0)
        return std::nullopt;
    const std::string command = "xmllint --noout '" + file.string() + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

std::string longSheet(int quarters)
{
    std::string text =
        "<staffdoc\r\nzoomamount=1\r\ntimesig=391549\r\n>\r\n<track>\r\n<config\r\n"
        "bpm=120 devid=0 iid=0 groupid=0 key=C keyindex=0 tempo=120 drawmode=0 percussive=0 >\r\n"
        "</config>\r\n";
    for (int i = 0; i < quarters; ++i)
        text += "<note\r\nmidi=60 type=1028 line=0 iid=0 lyrictext=\"sing\">\r\n</note>\r\n";
    return text + "</track>\r\n</staffdoc>\r\n";
}

} // namespace

TEST_F(RenderPictureCliTest, SvgWritesOneVectorPictureForAOnePageSheet)
{
    const fs::path svg = dir / "melody.svg";
    const std::string said = run("render " + sheet + " -o " + svg.string());
    ASSERT_EQ(status, 0) << said;
    ASSERT_TRUE(fs::exists(svg));
    EXPECT_FALSE(fs::exists(dir / "melody-1.svg"));
    const std::string xml = readAll(svg);
    EXPECT_NE(xml.find("<svg"), std::string::npos);
    EXPECT_EQ(xml.find("<image"), std::string::npos) << "drawn as shapes, not a picture";
    EXPECT_NE(xml.find("<path"), std::string::npos) << "staff and glyphs as vector drawing";
    // The lyric, the title and the page number are text a browser can select and search.
    EXPECT_NE(xml.find(">la<"), std::string::npos);
    EXPECT_NE(xml.find(">melody.shd<"), std::string::npos);
    EXPECT_NE(xml.find(">page 1 of 1<"), std::string::npos);
    if (const auto ok = wellFormedXml(svg)) {
        EXPECT_TRUE(*ok);
    }
    EXPECT_NE(run("render --help").find("song-1.svg"), std::string::npos) << "the help names the page files";
}

TEST_F(RenderPictureCliTest, SvgWritesOneNumberedFilePerPageAsThePdfHasPages)
{
    std::ofstream(dir / "long.shd", std::ios::binary) << longSheet(400);
    const std::string in = (dir / "long.shd").string();
    const std::string printed = run("render " + in + " -o " + (dir / "long.pdf").string());
    ASSERT_EQ(status, 0) << printed;
    const int pages = pdfPages(readAll(dir / "long.pdf"));
    ASSERT_GT(pages, 1);

    const std::string said = run("render " + in + " -o " + (dir / "long.svg").string());
    ASSERT_EQ(status, 0) << said;
    EXPECT_FALSE(fs::exists(dir / "long.svg"));
    for (int p = 1; p <= pages; ++p) {
        const fs::path page = dir / ("long-" + std::to_string(p) + ".svg");
        ASSERT_TRUE(fs::exists(page)) << page;
        const std::string xml = readAll(page);
        EXPECT_EQ(xml.find("<image"), std::string::npos) << page;
        EXPECT_NE(xml.find(">page " + std::to_string(p) + " of " + std::to_string(pages) + "<"),
                  std::string::npos)
            << page;
        if (const auto ok = wellFormedXml(page)) {
            EXPECT_TRUE(*ok) << page;
        }
    }
    EXPECT_FALSE(fs::exists(dir / ("long-" + std::to_string(pages + 1) + ".svg")));
}
