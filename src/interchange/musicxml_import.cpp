#include "interchange/musicxml_import.h"

#include "interchange/musicxml_import_model.h"
#include "interchange/mxl_container_read.h"
#include "platform/sheet_lock.h"
#include "score/sheet_document.h"
#include "score/sheet_file.h"
#include "score/sheet_import.h"
#include "score/system_repeats.h"
#include "score/utf8_text.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <map>

namespace tonvela {
namespace {

using musicxml::Score;

std::string lowerExtension(std::string_view path)
{
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    std::string ext(path.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

// Where the root element of an XML text was found.
struct RootScan {
    std::string name; // empty when the text does not begin as XML
    bool cut = false; // the text ends before its root element: more of the file may tell
};

// The name of the root element of an XML text (UTF-8), past the declaration, comments,
// processing instructions and the document type, whatever they hold: a comment of any length,
// an internal subset whose entity values or comments hold "]>" or quotes.
RootScan rootElementOf(std::string_view text)
{
    std::size_t i = 0;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        i = 3;
    const auto past = [&](std::string_view end, std::size_t from) {
        const auto at = text.find(end, from);
        return at == std::string_view::npos ? std::string_view::npos : at + end.size();
    };
    RootScan cut;
    cut.cut = true;
    for (;;) {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
        if (i >= text.size())
            return cut;
        if (text[i] != '<')
            return {};
        const std::string_view rest = text.substr(i);
        if (rest.size() < 4 && std::string_view("<!--").substr(0, rest.size()) == rest)
            return cut;
        if (rest.substr(0, 4) == "<!--") {
            i = past("-->", i + 4);
        } else if (rest.substr(0, 2) == "<?") {
            i = past("?>", i + 2);
        } else if (rest.substr(0, 2) == "<!") {
            // A document type: quoted identifiers, then perhaps an internal subset in brackets
            // holding declarations, quoted values, comments and processing instructions.
            std::size_t j = i + 2;
            bool inSubset = false;
            while (j != std::string_view::npos && j < text.size()) {
                const char c = text[j];
                if (c == '"' || c == '\'') {
                    const auto close = text.find(c, j + 1);
                    j = close == std::string_view::npos ? close : close + 1;
                } else if (inSubset && text.substr(j, 4) == "<!--") {
                    j = past("-->", j + 4);
                } else if (inSubset && text.substr(j, 2) == "<?") {
                    j = past("?>", j + 2);
                } else if (c == '[' && !inSubset) {
                    inSubset = true;
                    ++j;
                } else if (c == ']' && inSubset) {
                    inSubset = false;
                    ++j;
                } else if (c == '>' && !inSubset) {
                    break;
                } else {
                    ++j;
                }
            }
            i = j == std::string_view::npos || j >= text.size() ? std::string_view::npos : j + 1;
        } else {
            std::size_t j = i + 1;
            while (j < text.size() && !std::isspace(static_cast<unsigned char>(text[j])) && text[j] != '>' &&
                   text[j] != '/')
                ++j;
            if (j >= text.size())
                return cut;
            RootScan found;
            found.name = std::string(text.substr(i + 1, j - i - 1));
            return found;
        }
        if (i == std::string_view::npos)
            return cut;
    }
}

void appendUtf8(uint32_t c, std::string& out)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// UTF-16 text as UTF-8; a lone surrogate becomes U+FFFD, an odd last byte is dropped.
std::string utf8FromUtf16(std::string_view bytes, bool bigEndian)
{
    std::string out;
    out.reserve(bytes.size());
    const auto unit = [&](std::size_t at) {
        const auto hi = static_cast<unsigned char>(bytes[at + (bigEndian ? 0 : 1)]);
        const auto lo = static_cast<unsigned char>(bytes[at + (bigEndian ? 1 : 0)]);
        return static_cast<uint32_t>(hi << 8 | lo);
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
            unit(i + 2) < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        appendUtf8(c, out);
    }
    return out;
}

// The encoding an XML declaration names, in lower case; empty without one.
std::string declaredEncoding(std::string_view text)
{
    if (text.substr(0, 5) != "<?xml")
        return {};
    const std::string_view decl = text.substr(0, text.find("?>"));
    const auto at = decl.find("encoding");
    if (at == std::string_view::npos)
        return {};
    const auto open = decl.find_first_of("\"'", at);
    if (open == std::string_view::npos)
        return {};
    const auto close = decl.find(decl[open], open + 1);
    if (close == std::string_view::npos)
        return {};
    std::string name(decl.substr(open + 1, close - open - 1));
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name;
}

// The text of an XML file as UTF-8, its encoding told by its byte-order mark, else by the
// first bytes of its declaration, else by the encoding the declaration names. False with
// `error` for an encoding the reader does not know.
bool xmlTextAsUtf8(std::string_view bytes, std::string& out, std::string& error)
{
    const auto starts = [&](std::string_view head) { return bytes.substr(0, head.size()) == head; };
    using namespace std::string_view_literals;
    if (starts("\xFF\xFE"sv) || starts("<\0?\0"sv)) {
        out = utf8FromUtf16(bytes.substr(starts("\xFF\xFE"sv) ? 2 : 0), false);
        return true;
    }
    if (starts("\xFE\xFF"sv) || starts("\0<\0?"sv)) {
        out = utf8FromUtf16(bytes.substr(starts("\xFE\xFF"sv) ? 2 : 0), true);
        return true;
    }
    if (starts("\xEF\xBB\xBF"sv))
        bytes.remove_prefix(3);
    const std::string encoding = declaredEncoding(bytes);
    if (encoding.empty() || encoding == "utf-8" || encoding == "utf8" || encoding == "us-ascii" ||
        encoding == "ascii" || encoding == "utf-16" || encoding == "utf16") {
        // A file that names UTF-16 yet has neither its mark nor its bytes was saved again as
        // UTF-8 by a program that kept the declaration.
        out = std::string(bytes);
        return true;
    }
    if (encoding == "iso-8859-1" || encoding == "latin1" || encoding == "latin-1" ||
        encoding == "iso8859-1" || encoding == "windows-1252" || encoding == "cp1252") {
        out.clear();
        out.reserve(bytes.size() + bytes.size() / 8);
        for (const char c : bytes)
            appendUtf8(static_cast<unsigned char>(c), out);
        return true;
    }
    error = "the MusicXML file is written in the text encoding \"" + musicxml::nameFromFile(encoding) +
            "\", which the reader does not know (UTF-8, UTF-16 and ISO-8859-1 are read)";
    return false;
}

// A timewise score (measures holding parts) turned into the partwise form (parts holding
// measures) in `out`: the same music, the other way round.
void timewiseToPartwise(const pugi::xml_node& timewise, pugi::xml_document& out)
{
    pugi::xml_node root = out.append_child("score-partwise");
    std::map<std::string, pugi::xml_node> parts; // by id: a file may name very many
    for (pugi::xml_node c : timewise.children()) {
        if (std::string(c.name()) != "measure") {
            root.append_copy(c);
            continue;
        }
        for (pugi::xml_node p : c.children("part")) {
            const std::string id = p.attribute("id").as_string();
            pugi::xml_node& partNode = parts[id];
            if (!partNode) {
                partNode = root.append_child("part");
                partNode.append_attribute("id") = id.c_str();
            }
            pugi::xml_node measure = partNode.append_child("measure");
            for (pugi::xml_attribute a : c.attributes())
                measure.append_copy(a);
            for (pugi::xml_node content : p.children())
                measure.append_copy(content);
        }
    }
}

// An element's text with its blanks and line breaks folded to single blanks, as valid UTF-8.
std::string foldedText(const char* text)
{
    std::string out;
    bool blank = false;
    for (const char* c = text; *c; ++c) {
        if (std::isspace(static_cast<unsigned char>(*c))) {
            blank = !out.empty();
            continue;
        }
        if (blank)
            out += ' ';
        blank = false;
        out += *c;
    }
    return cutUtf8(validUtf8(out), kMaxSheetTextBytes);
}

// The title and composer of a score: its work title, else its movement title, else the credit
// text in the largest type of those centred on the first page; the first composer creator.
SheetTexts scoreTexts(const pugi::xml_node& root)
{
    SheetTexts texts;
    texts.title = foldedText(root.child("work").child_value("work-title"));
    if (texts.title.empty())
        texts.title = foldedText(root.child_value("movement-title"));
    if (texts.title.empty()) {
        double biggest = -1;
        for (pugi::xml_node credit : root.children("credit")) {
            if (credit.attribute("page").as_int(1) != 1)
                continue;
            // Only a credit that says it is not the title: a composer or lyricist line is
            // centred too in some files.
            const std::string type = credit.child_value("credit-type");
            if (!type.empty() && type != "title")
                continue;
            for (pugi::xml_node words : credit.children("credit-words")) {
                const std::string justify = words.attribute("justify").as_string();
                const std::string halign = words.attribute("halign").as_string();
                if (justify != "center" && halign != "center")
                    continue;
                const double size = words.attribute("font-size").as_double(0);
                const std::string text = foldedText(words.child_value());
                if (!text.empty() && size > biggest) {
                    biggest = size;
                    texts.title = text;
                }
            }
        }
    }
    for (pugi::xml_node creator : root.child("identification").children("creator"))
        if (std::string(creator.attribute("type").as_string()) == "composer") {
            texts.composer = foldedText(creator.child_value());
            if (!texts.composer.empty())
                break;
        }
    return texts;
}

std::string leftOutText(const musicxml::LeftOut& leftOut)
{
    std::string text = "Left out, as the sheet cannot hold them:";
    bool first = true;
    for (const auto& [what, count] : leftOut) {
        text += first ? " " : ", ";
        text += what + " (" + std::to_string(count) + ")";
        first = false;
    }
    return text;
}

} // namespace

LoadResult importMusicXmlData(std::string_view data, SheetDocument& sheet)
{
    std::string unpacked;
    if (looksLikeZipData(data)) {
        if (LoadResult r = readMxlContainer(data, unpacked); !r.ok())
            return r;
        data = unpacked;
    }
    if (data.size() > kMaxMusicXmlFileBytes)
        return LoadResult::failure(LoadStatus::Unreadable,
                                   "the MusicXML score is larger than " +
                                       std::to_string(kMaxMusicXmlFileBytes / (1024 * 1024)) + " MB");
    std::string text, encodingError;
    if (!xmlTextAsUtf8(data, text, encodingError))
        return LoadResult::failure(LoadStatus::Unreadable, encodingError);
    const std::string rootName = rootElementOf(text).name;
    if (rootName != "score-partwise" && rootName != "score-timewise")
        return LoadResult::failure(LoadStatus::WrongKind,
                                   "not a MusicXML score (its root element is not score-partwise)");
    pugi::xml_document doc;
    // Entities beyond the five of XML are never expanded, and nothing outside the file is read.
    const pugi::xml_parse_result parsed = doc.load_buffer(
        text.data(), text.size(), pugi::parse_default & ~pugi::parse_doctype, pugi::encoding_utf8);
    if (!parsed)
        return LoadResult::failure(LoadStatus::Invalid,
                                   std::string("the MusicXML file is not well-formed XML (") +
                                       parsed.description() + " at byte " + std::to_string(parsed.offset) +
                                       ")");
    pugi::xml_node root = doc.document_element();
    pugi::xml_document converted;
    if (std::string(root.name()) == "score-timewise") {
        timewiseToPartwise(root, converted);
        root = converted.document_element();
    }
    const auto partCount =
        static_cast<int>(std::distance(root.children("part").begin(), root.children("part").end()));
    if (partCount == 0)
        return LoadResult::failure(LoadStatus::Invalid, "the MusicXML file holds no parts");
    if (partCount > kMaxTracks)
        return LoadResult::failure(LoadStatus::Invalid, "the MusicXML file has " + std::to_string(partCount) +
                                                            " parts; a sheet holds at most " +
                                                            std::to_string(kMaxTracks) + " tracks");
    Score score;
    if (std::string error = musicxml::readParts(root, score); !error.empty())
        return LoadResult::failure(LoadStatus::Invalid, "the MusicXML file cannot be read: " + error);

    // One track per staff while the sheet's tracks suffice; else one per part, its first staff.
    int staves = 0;
    for (const auto& p : score.parts)
        staves += static_cast<int>(p.staves.size());
    const bool everyStaff = staves <= kMaxTracks;
    if (!everyStaff)
        for (const auto& p : score.parts)
            for (std::size_t s = 1; s < p.staves.size(); ++s) {
                int notes = 0;
                for (const auto& e : p.events)
                    notes += e.staff == static_cast<int>(s) && !e.rest ? 1 : 0;
                musicxml::countLeftOut(
                    score.leftOut,
                    "notes on the lower staves of parts with several staves (the sheet holds " +
                        std::to_string(kMaxTracks) + " tracks)",
                    notes);
            }

    LoadResult result;
    SheetLockGuard lock(sheetLock());
    sheet.removeAllTracks();
    sheet.texts = scoreTexts(root);
    const int timeCode = score.timeCode != 0 ? score.timeCode : kTimeSig44;
    // A first measure the file does not count (implicit) and shorter than the meter is the
    // sheet's pickup.
    int64_t pickup = 0;
    if (!score.parts.empty() && !score.parts.front().measures.empty()) {
        const musicxml::Measure& first = score.parts.front().measures.front();
        const int64_t ticks = (first.end - first.start) * kQuarterTicks;
        if (first.implicit && ticks % musicxml::kTicksPerQuarter == 0)
            pickup = validPickup(ticks / musicxml::kTicksPerQuarter, timeCode);
    }
    int dropped = 0;
    for (const auto& part : score.parts) {
        const int count = everyStaff ? static_cast<int>(part.staves.size()) : 1;
        for (int s = 0; s < count; ++s) {
            Track& track = sheet.addTrack();
            track.timeSig = timeCode;
            track.pickupTicks = pickup;
            track.tempo = score.tempo != 0 ? score.tempo : 120;
            track.bpm = track.tempo;
            std::string name = part.name.empty() ? part.id : part.name;
            if (count > 1)
                name += " " + std::to_string(s + 1);
            track.name = cutUtf8(name, kTrackNameCapacity - 1);
            musicxml::buildStaffTrack(part, s, track, score.leftOut, dropped);
            // The two staves of one part (a piano's hands) are joined by a brace.
            if (count == 2 && s == 0)
                track.braceWithNext = 1;
        }
    }
    sheet.setTimeSignatureCode(timeCode);
    sheet.setPickup(pickup);
    // A repeat read on one staff holds for the whole system.
    unifyMeasureRepeats(sheet);
    std::vector<RepeatRange> passages; // the repeated passages of every track, the first one's first
    for (int i = 0; i < sheet.trackCount(); ++i)
        passages.insert(passages.end(), sheet.trackAt(i)->repeatRanges.begin(),
                        sheet.trackAt(i)->repeatRanges.end());
    sheet.setRepeatRanges(passages);
    if (dropped > 0)
        result.warnings.push_back(
            dropped == 1
                ? std::string("1 note of a third or later voice was left out: a staff keeps two voices, "
                              "and the note starts with no note of either")
                : std::to_string(dropped) +
                      " notes of third or later voices were left out: a staff keeps two voices, and "
                      "these notes start with no note of either");
    if (!score.leftOut.empty())
        result.warnings.push_back(leftOutText(score.leftOut));
    sheet.selectTrack(0);
    sheet.announce({SheetChange::Load});
    return result;
}

LoadResult importMusicXmlFile(const std::string& path, std::unique_ptr<SheetDocument>& sheet)
{
    return importAsNewSheet(path, kMaxMusicXmlFileBytes, importMusicXmlData, sheet);
}

bool hasMusicXmlFileName(std::string_view path)
{
    const std::string ext = lowerExtension(path);
    return ext == "musicxml" || ext == "mxl" || ext == "xml";
}

bool looksLikeMusicXml(std::string_view firstBytes, std::string_view path)
{
    const std::string ext = lowerExtension(path);
    if (looksLikeZipData(firstBytes))
        return ext == "mxl" || ext == "musicxml";
    std::string text, error;
    const std::string root =
        xmlTextAsUtf8(firstBytes, text, error) ? rootElementOf(text).name : std::string();
    if (root == "score-partwise" || root == "score-timewise")
        return true;
    // A damaged file named as MusicXML gets the MusicXML reader's message, unless it begins as
    // another document of the program's own.
    return (ext == "mxl" || ext == "musicxml") && root.empty();
}

bool isMusicXmlFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string head;
    // The first 4 KB tell for nearly every file; a long comment or document type before the
    // root takes more, read in growing steps up to the largest file the reader takes.
    for (std::size_t want = 4096;; want = std::min(want * 16, kMaxMusicXmlFileBytes)) {
        const std::size_t had = head.size();
        head.resize(want);
        in.read(head.data() + had, static_cast<std::streamsize>(want - had));
        head.resize(had + static_cast<std::size_t>(in.gcount()));
        std::string text, error;
        const bool more = in && head.size() < kMaxMusicXmlFileBytes && !looksLikeZipData(head) &&
                          xmlTextAsUtf8(head, text, error) && rootElementOf(text).cut;
        if (!more)
            return looksLikeMusicXml(head, path);
    }
}

} // namespace tonvela
