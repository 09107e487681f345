// The text face our PDF writer embeds: glyph numbers for lyrics and titles, the metrics the
// pages are laid out with, and the subset font, widths and ToUnicode map written into the file.
// What is written is read back by others: HarfBuzz opens the subset, and where poppler and qpdf
// are installed they check the PDF and get the text out of it.

#include "render/pdf_document.h"
#include "render/pdf_font.h"

#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>
#include <harfbuzz/hb.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tonvela {
namespace pdf_font_detail {
std::string toUnicodeCMap(const std::map<uint16_t, uint32_t>& glyphCodes);
std::string subsetTag(const std::map<uint16_t, uint32_t>& glyphCodes);
bool decodeText(std::string_view bytes, std::vector<uint32_t>& codes);
} // namespace pdf_font_detail

namespace {

std::unique_ptr<PdfFont> loadFace(bool bold)
{
    std::string error;
    auto font = PdfFont::load(bold, error);
    EXPECT_NE(font, nullptr) << error;
    return font;
}

// Liberation Sans and Arial share their metrics, so the numbers of Arial's tables hold for both.
bool isArialMetrics(const PdfFont& font)
{
    const std::string& name = font.postScriptName();
    return name.rfind("LiberationSans", 0) == 0 || name.rfind("Arial", 0) == 0;
}

std::string hexGlyphs(const std::vector<uint16_t>& glyphs)
{
    std::string out = "<";
    for (const uint16_t g : glyphs) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%04X", g);
        out += buf;
    }
    return out + ">";
}

// A PDF of one page with a line of text in each face given, the faces named F1, F2, ...
std::string onePagePdf(const std::vector<std::pair<const PdfFont*, std::vector<uint16_t>>>& lines)
{
    PdfDocument doc;
    const int catalog = doc.reserve();
    const int pages = doc.reserve();
    const int page = doc.reserve();
    const int content = doc.reserve();
    std::string fonts;
    std::string drawing;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int fontObject = doc.reserve();
        std::string error;
        EXPECT_TRUE(lines[i].first->write(doc, fontObject, error)) << error;
        const std::string name = "F" + std::to_string(i + 1);
        fonts += " /" + name + " " + std::to_string(fontObject) + " 0 R";
        drawing += "BT /" + name + " 12 Tf 10 " + std::to_string(80 - 20 * static_cast<int>(i)) + " Td " +
                   hexGlyphs(lines[i].second) + " Tj ET\n";
    }
    doc.addObject(catalog, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
    doc.addObject(pages, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
    doc.addObject(page, "<< /Type /Page /Parent " + std::to_string(pages) +
                            " 0 R /MediaBox [0 0 300 100] /Resources << /Font <<" + fonts +
                            " >> >> /Contents " + std::to_string(content) + " 0 R >>");
    doc.addStream(content, {}, drawing);
    return doc.finish(catalog, 0);
}

// The body of object `number` in a PDF we wrote (objects are not in streams).
std::string objectBody(const std::string& pdf, int number)
{
    const std::string open = "\n" + std::to_string(number) + " 0 obj\n";
    const std::size_t at = pdf.find(open);
    if (at == std::string::npos)
        return {};
    const std::size_t start = at + open.size();
    return pdf.substr(start, pdf.find("\nendobj", start) - start);
}

int referenceAfter(const std::string& text, const std::string& key)
{
    const std::size_t at = text.find(key + " ");
    return at == std::string::npos ? 0 : std::atoi(text.c_str() + at + key.size() + 1);
}

// The data of a stream object, inflated when it is Flate-compressed.
std::string streamData(const std::string& pdf, int number)
{
    const std::string body = objectBody(pdf, number);
    const std::size_t start = body.find("stream\n");
    const std::size_t end = body.rfind("\nendstream");
    if (start == std::string::npos || end == std::string::npos)
        return {};
    std::string raw = body.substr(start + 7, end - start - 7);
    if (body.find("/FlateDecode") == std::string::npos)
        return raw;
    std::string out(8u << 20, '\0');
    uLongf size = out.size();
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
                   raw.size()) != Z_OK)
        return {};
    out.resize(size);
    return out;
}

// The pieces of a font written into a PDF, found through its references.
struct WrittenFont {
    std::string type0;
    std::string cidFont;
    std::string descriptor;
    std::string fontFile;
    std::string fontFileObject;
    std::string toUnicode;
};

WrittenFont readWritten(const std::string& pdf, int fontObject)
{
    WrittenFont w;
    w.type0 = objectBody(pdf, fontObject);
    const std::size_t descendants = w.type0.find("/DescendantFonts [");
    if (descendants != std::string::npos)
        w.cidFont = objectBody(pdf, std::atoi(w.type0.c_str() + descendants + 18));
    w.descriptor = objectBody(pdf, referenceAfter(w.cidFont, "/FontDescriptor"));
    const int file = referenceAfter(w.descriptor, "/FontFile2");
    w.fontFileObject = objectBody(pdf, file);
    w.fontFile = streamData(pdf, file);
    w.toUnicode = streamData(pdf, referenceAfter(w.type0, "/ToUnicode"));
    return w;
}

// The font written alone into a document, with a catalogue so the document can be finished.
WrittenFont writeAlone(const PdfFont& font)
{
    PdfDocument doc;
    const int catalog = doc.reserve();
    const int fontObject = doc.reserve();
    std::string error;
    EXPECT_TRUE(font.write(doc, fontObject, error)) << error;
    doc.addObject(catalog, "<< /Type /Catalog >>");
    return readWritten(doc.finish(catalog, 0), fontObject);
}

// The /W array of a CID font as glyph number to width.
std::map<int, int> widthsOf(const std::string& cidFont, int* runs = nullptr)
{
    std::map<int, int> widths;
    std::size_t at = cidFont.find("/W [");
    if (at == std::string::npos)
        return widths;
    at += 4;
    int count = 0;
    while (at < cidFont.size() && cidFont[at] != ']') {
        if (cidFont[at] == ' ') {
            ++at;
            continue;
        }
        char* end = nullptr;
        int glyph = static_cast<int>(std::strtol(cidFont.c_str() + at, &end, 10));
        at = static_cast<std::size_t>(end - cidFont.c_str());
        while (cidFont[at] == ' ')
            ++at;
        if (cidFont[at] != '[')
            break;
        ++count;
        ++at;
        while (cidFont[at] != ']') {
            widths[glyph++] = static_cast<int>(std::strtol(cidFont.c_str() + at, &end, 10));
            at = static_cast<std::size_t>(end - cidFont.c_str());
            while (cidFont[at] == ' ')
                ++at;
        }
        ++at;
    }
    if (runs != nullptr)
        *runs = count;
    return widths;
}

struct ToolRun {
    int status = -1;
    std::string output;
};

// Runs an installed tool on a PDF written to a temporary file; status -1 when the tool is
// missing.
ToolRun runTool(const char* tool, const std::string& arguments, const std::string& pdf,
                const std::string& after = {})
{
    ToolRun run;
    const QString path = QStandardPaths::findExecutable(QString::fromLatin1(tool));
    if (path.isEmpty())
        return run;
    QTemporaryDir dir;
    const std::string file = dir.filePath(QStringLiteral("page.pdf")).toStdString();
    FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr)
        return run;
    std::fwrite(pdf.data(), 1, pdf.size(), out);
    std::fclose(out);
    const std::string command =
        "'" + path.toStdString() + "' " + arguments + " '" + file + "' " + after + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return run;
    char buf[4096];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
        run.output.append(buf, n);
    const int rc = pclose(pipe);
    run.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : 128;
    return run;
}

// The face read back from the subset bytes by HarfBuzz.
struct SubsetFace {
    hb_blob_t* blob = nullptr;
    hb_face_t* face = nullptr;
    hb_font_t* font = nullptr;
    explicit SubsetFace(const std::string& bytes)
    {
        blob = hb_blob_create(bytes.data(), static_cast<unsigned>(bytes.size()), HB_MEMORY_MODE_READONLY,
                              nullptr, nullptr);
        face = hb_face_create(blob, 0);
        font = hb_font_create(face);
    }
    ~SubsetFace()
    {
        hb_font_destroy(font);
        hb_face_destroy(face);
        hb_blob_destroy(blob);
    }
    SubsetFace(const SubsetFace&) = delete;
    SubsetFace& operator=(const SubsetFace&) = delete;
    bool hasOutline(hb_codepoint_t glyph) const
    {
        hb_glyph_extents_t extents{};
        return hb_font_get_glyph_extents(font, glyph, &extents) && extents.width != 0 && extents.height != 0;
    }
};

// While alive, fontconfig knows only the given font files, so a test decides what "Arial" finds.
class OnlyTheseFonts {
  public:
    explicit OnlyTheseFonts(std::initializer_list<const char*> files)
        : m_previous(FcConfigReference(nullptr)), m_config(FcConfigCreate())
    {
        for (const char* file : files)
            m_added += FcConfigAppFontAddFile(m_config, reinterpret_cast<const FcChar8*>(file)) ? 1 : 0;
        FcConfigSetCurrent(m_config);
    }
    ~OnlyTheseFonts()
    {
        FcConfigSetCurrent(m_previous);
        FcConfigDestroy(m_previous);
        FcConfigDestroy(m_config);
    }
    OnlyTheseFonts(const OnlyTheseFonts&) = delete;
    OnlyTheseFonts& operator=(const OnlyTheseFonts&) = delete;
    int added() const { return m_added; }

  private:
    FcConfig* m_previous;
    FcConfig* m_config;
    int m_added = 0;
};

constexpr const char* kLiberationRegular = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";
constexpr const char* kNimbusOpenType = "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf";
constexpr const char* kNimbusType1 = "/usr/share/fonts/type1/urw-base35/NimbusSans-Regular.t1";

std::vector<uint16_t> glyphsOf(PdfFont& font, std::string_view text)
{
    std::vector<uint16_t> out;
    EXPECT_TRUE(font.glyphs(text, out)) << text;
    return out;
}

// --- Finding the face ---

TEST(PdfFontLoading, UseTheRegularFaceWhenNoBoldOneIsInstalled)
{
    if (!std::filesystem::exists(kLiberationRegular))
        GTEST_SKIP() << kLiberationRegular << " is not installed";
    OnlyTheseFonts fonts({kLiberationRegular});
    ASSERT_EQ(fonts.added(), 1);
    std::string error;
    const auto font = PdfFont::load(true, error);
    ASSERT_NE(font, nullptr) << error;
    EXPECT_EQ(font->postScriptName(), "LiberationSans");
}

TEST(PdfFontLoading, RefuseFacesWithPostScriptOutlines)
{
    for (const char* file : {kNimbusOpenType, kNimbusType1}) {
        if (!std::filesystem::exists(file))
            continue;
        OnlyTheseFonts fonts({file});
        ASSERT_EQ(fonts.added(), 1) << file;
        std::string error;
        EXPECT_EQ(PdfFont::load(false, error), nullptr) << file;
        EXPECT_NE(error.find(file), std::string::npos) << error;
        EXPECT_NE(error.find("TrueType"), std::string::npos) << error;
    }
}

TEST(PdfFontLoading, SayWhenNoFaceIsInstalledAtAll)
{
    OnlyTheseFonts fonts({});
    std::string error;
    EXPECT_EQ(PdfFont::load(false, error), nullptr);
    EXPECT_FALSE(error.empty());
}

// --- Reading text into glyphs ---

TEST(PdfFontGlyphs, GiveOneGlyphACharacterForLatinOneLyrics)
{
    auto font = loadFace(false);
    ASSERT_NE(font, nullptr);
    const auto gruesse = glyphsOf(*font, "Gr\xC3\xBC\xC3\x9F"
                                         "e");
    const auto naive = glyphsOf(*font, "na\xC3\xAFve");
    ASSERT_EQ(gruesse.size(), 5u);
    ASSERT_EQ(naive.size(), 5u);
    for (const uint16_t g : gruesse)
        EXPECT_NE(g, 0);
    // The same letter gives the same glyph; an accented letter its own one.
    EXPECT_EQ(gruesse[4], naive[4]);
    EXPECT_NE(naive[2], glyphsOf(*font, "i")[0]);
    EXPECT_NE(gruesse[2], glyphsOf(*font, "u")[0]);
    EXPECT_NE(gruesse[3], glyphsOf(*font, "s")[0]);
}

TEST(PdfFontGlyphs, ReadBytesThatAreNotUtf8AsLatinOne)
{
    auto font = loadFace(false);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(glyphsOf(*font, "Gr\xFC\xDF"
                              "e"),
              glyphsOf(*font, "Gr\xC3\xBC\xC3\x9F"
                              "e"));
    EXPECT_EQ(glyphsOf(*font, "na\xEFve"), glyphsOf(*font, "na\xC3\xAFve"));
}

TEST(PdfFontGlyphs, SkipControlCharacters)
{
    auto font = loadFace(false);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(glyphsOf(*font, "a\tb\r\n"), glyphsOf(*font, "ab"));
    EXPECT_TRUE(glyphsOf(*font, "\x01\x1F").empty());
}

TEST(PdfFontGlyphs, RefuseTextWithACharacterTheFaceLacksAndMarkNothing)
{
    auto font = loadFace(false);
    ASSERT_NE(font, nullptr);
    std::vector<uint16_t> out{7};
    // A CJK ideograph and an emoji: Liberation Sans has neither.
    EXPECT_FALSE(font->glyphs("Gr\xC3\xBC\xC3\x9F"
                              "e \xE6\xBC\xA2",
                              out));
    EXPECT_FALSE(font->glyphs("Ton \xF0\x9F\x8E\xB5", out));
    const WrittenFont written = writeAlone(*font);
    EXPECT_TRUE(widthsOf(written.cidFont).empty()) << written.cidFont;
    EXPECT_EQ(written.toUnicode.find("beginbfchar"), std::string::npos) << written.toUnicode;
}

// The Qt canvas reads text with QString::fromUtf8 and falls back to Latin-1 when that gives a
// replacement character; the face must read the same characters so both draw the same text.
TEST(PdfFontGlyphs, DecodeTextTheWayTheQtCanvasDoes)
{
    const std::vector<std::string> samples = {
        "plain",
        "Gr\xC3\xBC\xC3\x9F"
        "e",
        "Gr\xFC\xDF"
        "e",
        "\xF0\x9D\x84\x9E clef", // four bytes, above U+FFFF
        "\xC0\xAF",              // overlong slash
        "\xED\xA0\x80",          // an encoded surrogate
        "\xE2\x82",              // cut short
        "\xF4\x90\x80\x80",      // above U+10FFFF
        "a\xEF\xBF\xBD"
        "b",              // a real replacement character
        "\xE2\x82\xAC 5", // euro sign
        std::string("nul\0inside", 10),
    };
    for (const std::string& sample : samples) {
        QString qt = QString::fromUtf8(sample.data(), static_cast<qsizetype>(sample.size()));
        if (qt.contains(QChar::ReplacementCharacter))
            qt = QString::fromLatin1(sample.data(), static_cast<qsizetype>(sample.size()));
        std::vector<uint32_t> expected;
        for (const char32_t c : qt.toStdU32String())
            expected.push_back(static_cast<uint32_t>(c));
        std::vector<uint32_t> codes;
        pdf_font_detail::decodeText(sample, codes);
        EXPECT_EQ(codes, expected) << QByteArray::fromStdString(sample).toHex().toStdString();
    }
}

// --- Metrics ---

TEST(PdfFontMetrics, MakeBoldTextWiderThanRegular)
{
    auto regular = loadFace(false);
    auto bold = loadFace(true);
    ASSERT_NE(regular, nullptr);
    ASSERT_NE(bold, nullptr);
    double regularWidth = 0;
    double boldWidth = 0;
    for (const uint16_t g : glyphsOf(*regular, "Tonvela Gr\xC3\xBC\xC3\x9F"
                                               "e"))
        regularWidth += regular->advance(g);
    for (const uint16_t g : glyphsOf(*bold, "Tonvela Gr\xC3\xBC\xC3\x9F"
                                            "e"))
        boldWidth += bold->advance(g);
    EXPECT_GT(regularWidth, 3.0);
    EXPECT_GT(boldWidth, regularWidth * 1.03);
    EXPECT_NE(regular->postScriptName(), bold->postScriptName());
}

TEST(PdfFontMetrics, MatchArialsAdvancesAndLineHeight)
{
    auto font = loadFace(false);
    ASSERT_NE(font, nullptr);
    if (!isArialMetrics(*font))
        GTEST_SKIP() << "the face is " << font->postScriptName() << ", not Arial or its metric twin";
    // Arial's units: 2048 an em; A is 1366 wide, the space 569, the line 1854 up and 434 down.
    EXPECT_NEAR(font->advance(glyphsOf(*font, "A")[0]), 1366.0 / 2048, 1e-9);
    EXPECT_NEAR(font->advance(glyphsOf(*font, " ")[0]), 569.0 / 2048, 1e-9);
    EXPECT_NEAR(font->ascent(), 1854.0 / 2048, 1e-9);
    EXPECT_NEAR(font->descent(), 434.0 / 2048, 1e-9);
}

// --- The written font ---

TEST(PdfFontWriting, NameTheSubsetWithATagAndThePostScriptName)
{
    auto font = loadFace(true);
    ASSERT_NE(font, nullptr);
    glyphsOf(*font, "Title");
    const WrittenFont written = writeAlone(*font);
    const std::size_t at = written.type0.find("/BaseFont /");
    ASSERT_NE(at, std::string::npos) << written.type0;
    const std::string tag = written.type0.substr(at + 11, 6);
    for (const char c : tag)
        EXPECT_TRUE(c >= 'A' && c <= 'Z') << tag;
    EXPECT_EQ(written.type0.substr(at + 17, font->postScriptName().size() + 2),
              "+" + font->postScriptName() + " ");
    EXPECT_NE(written.type0.find("/Subtype /Type0"), std::string::npos);
    EXPECT_NE(written.type0.find("/Encoding /Identity-H"), std::string::npos);
    EXPECT_NE(written.cidFont.find("/Subtype /CIDFontType2"), std::string::npos);
    EXPECT_NE(written.cidFont.find("/CIDToGIDMap /Identity"), std::string::npos);
    EXPECT_NE(written.descriptor.find("/Flags 32"), std::string::npos);
}

TEST(PdfFontWriting, GiveTheSameTagForTheSameGlyphsAndAnotherForOthers)
{
    const std::map<uint16_t, uint32_t> some{{36, 'A'}, {37, 'B'}};
    const std::map<uint16_t, uint32_t> same{{36, 'x'}, {37, 'y'}};
    const std::map<uint16_t, uint32_t> other{{36, 'A'}, {38, 'C'}};
    EXPECT_EQ(pdf_font_detail::subsetTag(some), pdf_font_detail::subsetTag(same));
    EXPECT_NE(pdf_font_detail::subsetTag(some), pdf_font_detail::subsetTag(other));
    EXPECT_NE(pdf_font_detail::subsetTag(some), pdf_font_detail::subsetTag({}));
}

TEST(PdfFontWriting, ListTheWidthsOfTheUsedGlyphsInRunsOfConsecutiveNumbers)
{
    auto font = loadFace(false);
    ASSERT_NE(font, nullptr);
    const auto glyphs = glyphsOf(*font, "abcdxyz Gr\xC3\xBC\xC3\x9F"
                                        "e");
    int runs = 0;
    const std::map<int, int> widths = widthsOf(writeAlone(*font).cidFont, &runs);
    const std::set<uint16_t> used(glyphs.begin(), glyphs.end());
    ASSERT_EQ(widths.size(), used.size());
    int expectedRuns = 0;
    int previous = -2;
    for (const uint16_t g : used) {
        ASSERT_EQ(widths.count(g), 1u) << g;
        EXPECT_EQ(widths.at(g), static_cast<int>(std::lround(font->advance(g) * 1000))) << g;
        expectedRuns += g != previous + 1;
        previous = g;
    }
    EXPECT_EQ(runs, expectedRuns);
    EXPECT_LT(runs, static_cast<int>(used.size()));
}

TEST(PdfFontWriting, EmbedASubsetMuchSmallerThanTheFaceThatKeepsTheGlyphNumbers)
{
    // A second face of the same file names the glyphs to look for without marking them in
    // the face that is written.
    auto probe = loadFace(false);
    auto font = loadFace(false);
    ASSERT_NE(probe, nullptr);
    ASSERT_NE(font, nullptr);
    const uint16_t unused = glyphsOf(*probe, "Z")[0];
    const uint16_t space = glyphsOf(*probe, " ")[0];
    const auto used = glyphsOf(*font, "Gr\xC3\xBC\xC3\x9F"
                                      "e naive");
    const WrittenFont written = writeAlone(*font);
    ASSERT_FALSE(written.fontFile.empty());
    EXPECT_NE(written.fontFileObject.find("/Length1 " + std::to_string(written.fontFile.size()) + " "),
              std::string::npos)
        << written.fontFileObject.substr(0, 80);
    // Liberation Sans is about 400 kB; a dozen glyphs take a small part of it.
    EXPECT_LT(written.fontFile.size(), 60000u);

    SubsetFace subset(written.fontFile);
    EXPECT_GT(hb_face_get_glyph_count(subset.face), *std::max_element(used.begin(), used.end()));
    for (const uint16_t g : used) {
        if (g != space) {
            EXPECT_TRUE(subset.hasOutline(g)) << g;
        }
    }
    EXPECT_FALSE(subset.hasOutline(unused));
    // Advances kept in the subset agree with the face's.
    for (const uint16_t g : used)
        EXPECT_EQ(hb_font_get_glyph_h_advance(subset.font, g),
                  std::lround(font->advance(g) * hb_face_get_upem(subset.face)))
            << g;
}

TEST(PdfFontWriting, MapEveryUsedGlyphBackToItsText)
{
    auto font = loadFace(false);
    ASSERT_NE(font, nullptr);
    const auto glyphs = glyphsOf(*font, "\xC3\xBC");
    ASSERT_EQ(glyphs.size(), 1u);
    char entry[32];
    std::snprintf(entry, sizeof entry, "<%04X> <00FC>", glyphs[0]);
    const WrittenFont written = writeAlone(*font);
    EXPECT_NE(written.toUnicode.find(entry), std::string::npos) << written.toUnicode;
    EXPECT_NE(written.toUnicode.find("1 begincodespacerange\n<0000> <FFFF>"), std::string::npos);
}

TEST(PdfFontWriting, WriteCodePointsAboveTheBasicPlaneAsSurrogatePairs)
{
    const std::map<uint16_t, uint32_t> codes{{5, 0x1D11E}, {6, 'A'}, {7, 0x10FFFF}};
    const std::string cmap = pdf_font_detail::toUnicodeCMap(codes);
    for (const auto& [glyph, code] : codes) {
        const char32_t c = code;
        std::string units;
        for (const QChar unit : QString::fromUcs4(&c, 1)) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "%04X", unit.unicode());
            units += buf;
        }
        char entry[48];
        std::snprintf(entry, sizeof entry, "<%04X> <%s>", glyph, units.c_str());
        EXPECT_NE(cmap.find(entry), std::string::npos) << entry << "\n" << cmap;
    }
}

TEST(PdfFontWriting, SplitTheUnicodeMapIntoBlocksOfAHundred)
{
    std::map<uint16_t, uint32_t> codes;
    for (uint16_t g = 1; g <= 250; ++g)
        codes[g] = 0x100u + g;
    const std::string cmap = pdf_font_detail::toUnicodeCMap(codes);
    std::vector<int> blocks;
    for (std::size_t at = cmap.find("beginbfchar"); at != std::string::npos;
         at = cmap.find("beginbfchar", at + 1)) {
        const std::size_t lineStart = cmap.rfind('\n', at) + 1;
        blocks.push_back(std::atoi(cmap.c_str() + lineStart));
        const std::size_t end = cmap.find("endbfchar", at);
        const std::string block = cmap.substr(at, end - at);
        EXPECT_EQ(static_cast<int>(std::count(block.begin(), block.end(), '\n')) - 1, blocks.back());
    }
    EXPECT_EQ(blocks, (std::vector<int>{100, 100, 50}));
}

// --- The font in a PDF, read by poppler and qpdf ---

TEST(PdfFontInAPdf, PassesQpdfsCheck)
{
    auto regular = loadFace(false);
    auto bold = loadFace(true);
    ASSERT_NE(regular, nullptr);
    ASSERT_NE(bold, nullptr);
    const std::string pdf = onePagePdf({{regular.get(), glyphsOf(*regular, "Gr\xC3\xBC\xC3\x9F"
                                                                           "e")},
                                        {bold.get(), glyphsOf(*bold, "Title")}});
    const ToolRun run = runTool("qpdf", "--check", pdf);
    if (run.status < 0)
        GTEST_SKIP() << "qpdf is not installed";
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find("WARNING"), std::string::npos) << run.output;
}

TEST(PdfFontInAPdf, IsListedByPdffontsAsAnEmbeddedTrueTypeSubset)
{
    auto regular = loadFace(false);
    auto bold = loadFace(true);
    ASSERT_NE(regular, nullptr);
    ASSERT_NE(bold, nullptr);
    const std::string pdf =
        onePagePdf({{regular.get(), glyphsOf(*regular, "naive")}, {bold.get(), glyphsOf(*bold, "Bold")}});
    const ToolRun run = runTool("pdffonts", "", pdf);
    if (run.status < 0)
        GTEST_SKIP() << "pdffonts is not installed";
    ASSERT_EQ(run.status, 0) << run.output;
    int listed = 0;
    for (const PdfFont* font : {regular.get(), bold.get()}) {
        std::size_t at = run.output.find("+" + font->postScriptName() + " ");
        ASSERT_NE(at, std::string::npos) << run.output;
        const std::string line = run.output.substr(at, run.output.find('\n', at) - at);
        EXPECT_NE(line.find("CID TrueType"), std::string::npos) << line;
        EXPECT_NE(line.find("Identity-H"), std::string::npos) << line;
        EXPECT_NE(line.find("yes yes yes"), std::string::npos) << line; // embedded, subset, ToUnicode
        ++listed;
    }
    EXPECT_EQ(listed, 2);
}

TEST(PdfFontInAPdf, GivesItsTextBackToPdftotext)
{
    auto regular = loadFace(false);
    auto bold = loadFace(true);
    ASSERT_NE(regular, nullptr);
    ASSERT_NE(bold, nullptr);
    const std::string pdf = onePagePdf({{regular.get(), glyphsOf(*regular, "Gr\xC3\xBC\xC3\x9F"
                                                                           "e na\xC3\xAFve")},
                                        {bold.get(), glyphsOf(*bold, "\xE2\x82\xAC 5 (Fine)")}});
    // pdftotext writes to standard output when the output file is "-".
    const ToolRun run = runTool("pdftotext", "-enc UTF-8", pdf, "-");
    if (run.status < 0)
        GTEST_SKIP() << "pdftotext is not installed";
    EXPECT_EQ(run.status, 0) << run.output;
    const std::string& text = run.output;
    EXPECT_NE(text.find("Gr\xC3\xBC\xC3\x9F"
                        "e na\xC3\xAFve"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\xE2\x82\xAC 5 (Fine)"), std::string::npos) << text;
}

TEST(PdfFontInAPdf, StaysValidWithNoGlyphsUsed)
{
    auto font = loadFace(false);
    ASSERT_NE(font, nullptr);
    const std::string pdf = onePagePdf({{font.get(), {}}});
    ASSERT_FALSE(pdf.empty());
    const ToolRun check = runTool("qpdf", "--check", pdf);
    if (check.status < 0)
        GTEST_SKIP() << "qpdf is not installed";
    EXPECT_EQ(check.status, 0) << check.output;
    const ToolRun fonts = runTool("pdffonts", "", pdf);
    if (fonts.status >= 0) {
        EXPECT_EQ(fonts.status, 0) << fonts.output;
        EXPECT_NE(fonts.output.find("CID TrueType"), std::string::npos) << fonts.output;
    }
}

} // namespace
} // namespace tonvela
