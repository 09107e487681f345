#include "render/pdf_font.h"

#include "render/pdf_document.h"

#include <fontconfig/fontconfig.h>
#include <hb-ot.h>
#include <hb-subset.h>
#include <hb.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace tonvela {

// Pieces of the writer kept outside the class so the tests can reach them without a face.
namespace pdf_font_detail {
std::string toUnicodeCMap(const std::map<uint16_t, uint32_t>& glyphCodes);
std::string subsetTag(const std::map<uint16_t, uint32_t>& glyphCodes);
bool decodeText(std::string_view bytes, std::vector<uint32_t>& codes);
} // namespace pdf_font_detail

namespace {

constexpr hb_tag_t kGlyfTag = HB_TAG('g', 'l', 'y', 'f');
constexpr hb_tag_t kCffTag = HB_TAG('C', 'F', 'F', ' ');
constexpr hb_tag_t kCff2Tag = HB_TAG('C', 'F', 'F', '2');
constexpr hb_tag_t kHeadTag = HB_TAG('h', 'e', 'a', 'd');
// A ToUnicode map may hold at most this many entries between one beginbfchar and its end.
constexpr std::size_t kBfCharBlock = 100;
constexpr uint32_t kReplacementCharacter = 0xFFFD;

// Decodes strict UTF-8 into code points: no overlong forms, no surrogates, nothing above
// U+10FFFF. False at the first byte that does not belong.
bool decodeUtf8(std::string_view bytes, std::vector<uint32_t>& codes)
{
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        int extra = 0;
        uint32_t code = 0;
        uint32_t least = 0;
        if (lead < 0x80) {
            codes.push_back(lead);
            ++i;
            continue;
        }
        if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            code = lead & 0x1F;
            least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            code = lead & 0x0F;
            least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            code = lead & 0x07;
            least = 0x10000;
        } else {
            return false;
        }
        if (i + static_cast<std::size_t>(extra) >= bytes.size())
            return false;
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        codes.push_back(code);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

void appendHex4(std::string& out, uint32_t value)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(value & 0xFFFF));
    out += buf;
}

// A code point as UTF-16BE hex digits: one unit, or a surrogate pair above U+FFFF.
void appendUtf16Hex(std::string& out, uint32_t code)
{
    if (code > 0xFFFF) {
        const uint32_t v = code - 0x10000;
        appendHex4(out, 0xD800 + (v >> 10));
        appendHex4(out, 0xDC00 + (v & 0x3FF));
    } else {
        appendHex4(out, code);
    }
}

void appendInt(std::string& out, long long value)
{
    out += std::to_string(value);
}

// The file fontconfig picks for "Arial" at the weight asked for, with its face index.
bool matchFile(bool bold, std::string& file, int& index, std::string& error)
{
    // The current configuration, loaded once per process and kept: reading it again for each
    // face would rescan the font directories.
    if (!FcInit()) {
        error = "fontconfig could not be initialised";
        return false;
    }
    FcConfig* config = FcConfigGetCurrent();
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("Arial"));
    bool found = false;
    if (pattern != nullptr) {
        FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcConfigSubstitute(config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(config, pattern, &result);
        if (match != nullptr) {
            FcChar8* path = nullptr;
            if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path != nullptr) {
                file = reinterpret_cast<const char*>(path);
                if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch)
                    index = 0;
                found = true;
            }
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
    }
    if (!found)
        error = "fontconfig found no file for the face Arial";
    return found;
}

bool hasTable(hb_face_t* face, hb_tag_t tag)
{
    hb_blob_t* blob = hb_face_reference_table(face, tag);
    const bool present = hb_blob_get_length(blob) > 0;
    hb_blob_destroy(blob);
    return present;
}

} // namespace

namespace pdf_font_detail {

// The ToUnicode CMap of the used glyphs: two-byte glyph numbers to the UTF-16BE text they
// stand for.
std::string toUnicodeCMap(const std::map<uint16_t, uint32_t>& glyphCodes)
{
    std::string out = "/CIDInit /ProcSet findresource begin\n"
                      "12 dict begin\n"
                      "begincmap\n"
                      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                      "/CMapName /Adobe-Identity-UCS def\n"
                      "/CMapType 2 def\n"
                      "1 begincodespacerange\n"
                      "<0000> <FFFF>\n"
                      "endcodespacerange\n";
    auto it = glyphCodes.begin();
    while (it != glyphCodes.end()) {
        const std::size_t count = std::min<std::size_t>(
            kBfCharBlock, static_cast<std::size_t>(std::distance(it, glyphCodes.end())));
        appendInt(out, static_cast<long long>(count));
        out += " beginbfchar\n";
        for (std::size_t n = 0; n < count; ++n, ++it) {
            out += '<';
            appendHex4(out, it->first);
            out += "> <";
            appendUtf16Hex(out, it->second);
            out += ">\n";
        }
        out += "endbfchar\n";
    }
    out += "endcmap\n"
           "CMapName currentdict /CMap defineresource pop\n"
           "end\n"
           "end\n";
    return out;
}

// Six capital letters that name the subset: the same glyphs give the same tag, so the same
// document written twice gives the same bytes.
std::string subsetTag(const std::map<uint16_t, uint32_t>& glyphCodes)
{
    uint64_t hash = 1469598103934665603ull; // FNV-1a over the glyph numbers
    for (const auto& [glyph, code] : glyphCodes) {
        hash ^= glyph & 0xFF;
        hash *= 1099511628211ull;
        hash ^= glyph >> 8;
        hash *= 1099511628211ull;
    }
    std::string tag(6, 'A');
    for (char& c : tag) {
        c = static_cast<char>('A' + hash % 26);
        hash /= 26;
    }
    return tag;
}

// Text bytes as code points the way the Qt canvas reads them: UTF-8 when the bytes are valid
// UTF-8 and decode to no replacement character, Latin-1 otherwise. True when read as UTF-8.
bool decodeText(std::string_view bytes, std::vector<uint32_t>& codes)
{
    codes.clear();
    if (decodeUtf8(bytes, codes) &&
        std::find(codes.begin(), codes.end(), kReplacementCharacter) == codes.end())
        return true;
    codes.clear();
    for (const char ch : bytes)
        codes.push_back(static_cast<unsigned char>(ch));
    return false;
}

} // namespace pdf_font_detail

struct PdfFont::Impl {
    hb_blob_t* blob = nullptr;
    hb_face_t* face = nullptr;
    hb_font_t* font = nullptr;
    double unitsPerEm = 1000;
    std::string postScriptName;
    // Every glyph handed out so far, with the code point it was first given for.
    std::map<uint16_t, uint32_t> used;

    ~Impl()
    {
        hb_font_destroy(font);
        hb_face_destroy(face);
        hb_blob_destroy(blob);
    }
};

PdfFont::PdfFont(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

PdfFont::~PdfFont() = default;

std::unique_ptr<PdfFont> PdfFont::load(bool bold, std::string& error)
{
    std::string file;
    int index = 0;
    if (!matchFile(bold, file, index, error))
        return nullptr;

    auto impl = std::make_unique<Impl>();
    impl->blob = hb_blob_create_from_file_or_fail(file.c_str());
    if (impl->blob == nullptr) {
        error = "cannot read the font file " + file;
        return nullptr;
    }
    impl->face = hb_face_create(impl->blob, static_cast<unsigned>(index));
    if (hb_face_get_glyph_count(impl->face) == 0) {
        error = "the font file " + file + " is not a TrueType font (HarfBuzz finds no glyphs in it)";
        return nullptr;
    }
    if (!hasTable(impl->face, kGlyfTag)) {
        if (hasTable(impl->face, kCffTag) || hasTable(impl->face, kCff2Tag))
            error = "the font file " + file + " has PostScript (CFF) outlines; only TrueType can be embedded";
        else
            error = "the font file " + file + " has no TrueType outlines (no glyf table)";
        return nullptr;
    }
    impl->font = hb_font_create(impl->face);
    impl->unitsPerEm = std::max(1u, hb_face_get_upem(impl->face));

    char name[128] = {};
    unsigned size = sizeof name;
    hb_ot_name_get_utf8(impl->face, HB_OT_NAME_ID_POSTSCRIPT_NAME, HB_LANGUAGE_INVALID, &size, name);
    impl->postScriptName = name;
    // A PDF name may not hold spaces or delimiters; a face without a usable name gets a neutral
    // one.
    std::erase_if(impl->postScriptName, [](char c) {
        return c <= ' ' || c > '~' || std::string_view("()<>[]{}/%#").find(c) != std::string_view::npos;
    });
    if (impl->postScriptName.empty())
        impl->postScriptName = bold ? "Sans-Bold" : "Sans";
    return std::unique_ptr<PdfFont>(new PdfFont(std::move(impl)));
}

bool PdfFont::glyphs(std::string_view utf8, std::vector<uint16_t>& out)
{
    std::vector<uint32_t> codes;
    pdf_font_detail::decodeText(utf8, codes);
    std::vector<std::pair<uint16_t, uint32_t>> found;
    found.reserve(codes.size());
    for (const uint32_t code : codes) {
        if (code < 32)
            continue;
        hb_codepoint_t glyph = 0;
        if (!hb_font_get_nominal_glyph(m_impl->font, code, &glyph) || glyph == 0 || glyph > 0xFFFF)
            return false;
        found.emplace_back(static_cast<uint16_t>(glyph), code);
    }
    out.clear();
    out.reserve(found.size());
    for (const auto& [glyph, code] : found) {
        out.push_back(glyph);
        m_impl->used.emplace(glyph, code);
    }
    return true;
}

double PdfFont::advance(uint16_t glyph) const
{
    return hb_font_get_glyph_h_advance(m_impl->font, glyph) / m_impl->unitsPerEm;
}

double PdfFont::ascent() const
{
    hb_font_extents_t extents{};
    hb_font_get_h_extents(m_impl->font, &extents);
    return extents.ascender / m_impl->unitsPerEm;
}

double PdfFont::descent() const
{
    hb_font_extents_t extents{};
    hb_font_get_h_extents(m_impl->font, &extents);
    return -extents.descender / m_impl->unitsPerEm;
}

const std::string& PdfFont::postScriptName() const
{
    return m_impl->postScriptName;
}

bool PdfFont::write(PdfDocument& doc, int fontObject, std::string& error) const
{
    const Impl& d = *m_impl;
    hb_subset_input_t* input = hb_subset_input_create_or_fail();
    if (input == nullptr) {
        error = "cannot start a font subset";
        return false;
    }
    hb_set_t* glyphSet = hb_subset_input_glyph_set(input);
    hb_set_add(glyphSet, 0);
    for (const auto& [glyph, code] : d.used)
        hb_set_add(glyphSet, glyph);
    // The pages name glyphs by their numbers in the whole face, so the subset keeps them.
    hb_subset_input_set_flags(input, HB_SUBSET_FLAGS_RETAIN_GIDS);
    // Glyphs are placed one by one on the page; the layout tables would only take up room.
    hb_set_t* dropTables = hb_subset_input_set(input, HB_SUBSET_SETS_DROP_TABLE_TAG);
    for (const hb_tag_t tag : {HB_TAG('G', 'S', 'U', 'B'), HB_TAG('G', 'P', 'O', 'S'),
                               HB_TAG('G', 'D', 'E', 'F'), HB_TAG('k', 'e', 'r', 'n')})
        hb_set_add(dropTables, tag);
    hb_face_t* subset = hb_subset_or_fail(d.face, input);
    hb_subset_input_destroy(input);
    if (subset == nullptr) {
        error = "HarfBuzz could not subset the face " + d.postScriptName;
        return false;
    }
    hb_blob_t* subsetBlob = hb_face_reference_blob(subset);
    unsigned length = 0;
    const char* bytes = hb_blob_get_data(subsetBlob, &length);
    const std::string fontFile(bytes != nullptr ? bytes : "", bytes != nullptr ? length : 0);
    hb_blob_destroy(subsetBlob);
    hb_face_destroy(subset);
    if (fontFile.empty()) {
        error = "the subset of the face " + d.postScriptName + " is empty";
        return false;
    }

    const double toThousandths = 1000.0 / d.unitsPerEm;
    const int cidFont = doc.reserve();
    const int descriptor = doc.reserve();
    const int fontFileObject = doc.reserve();
    const int toUnicode = doc.reserve();
    const std::string baseName = pdf_font_detail::subsetTag(d.used) + '+' + d.postScriptName;

    std::string body =
        "<< /Type /Font /Subtype /Type0 /BaseFont /" + baseName + " /Encoding /Identity-H /DescendantFonts [";
    appendInt(body, cidFont);
    body += " 0 R] /ToUnicode ";
    appendInt(body, toUnicode);
    body += " 0 R >>";
    doc.addObject(fontObject, body);

    // Widths grouped in runs of consecutive glyph numbers: "first [w w w]".
    std::string widths = "[";
    for (auto it = d.used.begin(); it != d.used.end();) {
        if (widths.size() > 1)
            widths += ' ';
        appendInt(widths, it->first);
        widths += " [";
        uint16_t previous = it->first;
        bool firstInRun = true;
        do {
            if (!firstInRun)
                widths += ' ';
            firstInRun = false;
            appendPdfNumber(widths, hb_font_get_glyph_h_advance(d.font, it->first) * toThousandths, 0);
            previous = it->first;
            ++it;
        } while (it != d.used.end() && it->first == previous + 1);
        widths += ']';
    }
    widths += ']';
    body = "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + baseName +
           " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor ";
    appendInt(body, descriptor);
    body += " 0 R /DW 1000 /W " + widths + " /CIDToGIDMap /Identity >>";
    doc.addObject(cidFont, body);

    // The bounding box of all glyphs, from the face's head table (font units, big-endian).
    double box[4] = {0, 0, 0, 0};
    hb_blob_t* head = hb_face_reference_table(d.face, kHeadTag);
    unsigned headLength = 0;
    const auto* headData = reinterpret_cast<const unsigned char*>(hb_blob_get_data(head, &headLength));
    if (headData != nullptr && headLength >= 44) {
        for (int k = 0; k < 4; ++k) {
            const auto raw = static_cast<int16_t>((headData[36 + 2 * k] << 8) | headData[37 + 2 * k]);
            box[k] = raw * toThousandths;
        }
    }
    hb_blob_destroy(head);
    hb_position_t capHeight = 0;
    if (!hb_ot_metrics_get_position(d.font, HB_OT_METRICS_TAG_CAP_HEIGHT, &capHeight))
        capHeight = static_cast<hb_position_t>(ascent() * d.unitsPerEm);
    // No table gives the stem width; the usual estimate from the weight class serves viewers
    // that synthesise a substitute face.
    const double weight = hb_style_get_value(d.font, HB_STYLE_TAG_WEIGHT);
    const double stemV = 50 + (weight / 65) * (weight / 65);

    body = "<< /Type /FontDescriptor /FontName /" + baseName + " /Flags 32 /FontBBox [";
    for (int k = 0; k < 4; ++k) {
        if (k > 0)
            body += ' ';
        appendPdfNumber(body, box[k], 0);
    }
    body += "] /ItalicAngle 0 /Ascent ";
    appendPdfNumber(body, ascent() * 1000, 0);
    body += " /Descent ";
    appendPdfNumber(body, -descent() * 1000, 0);
    body += " /CapHeight ";
    appendPdfNumber(body, capHeight * toThousandths, 0);
    body += " /StemV ";
    appendPdfNumber(body, stemV, 0);
    body += " /FontFile2 ";
    appendInt(body, fontFileObject);
    body += " 0 R >>";
    doc.addObject(descriptor, body);

    std::string fileDictionary = "/Length1 ";
    appendInt(fileDictionary, static_cast<long long>(fontFile.size()));
    doc.addStream(fontFileObject, fileDictionary, fontFile);
    doc.addStream(toUnicode, {}, pdf_font_detail::toUnicodeCMap(d.used));
    return true;
}

} // namespace tonvela
