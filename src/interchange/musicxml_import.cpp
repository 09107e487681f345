#include "interchange/musicxml_import.h"

#include "interchange/musicxml_import_model.h"
#include "interchange/mxl_container_read.h"
#include "platform/sheet_lock.h"
#include "score/sheet_document.h"
#include "score/sheet_import.h"
#include "score/utf8_text.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
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

// The name of the root element of an XML text, past the declaration, comments, processing
// instructions and the document type; empty when the text does not begin as XML.
std::string rootElementName(std::string_view text)
{
    std::size_t i = 0;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        i = 3;
    for (;;) {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
        if (i >= text.size() || text[i] != '<')
            return {};
        const std::string_view rest = text.substr(i);
        if (rest.substr(0, 4) == "<!--") {
            const auto end = text.find("-->", i + 4);
            if (end == std::string_view::npos)
                return {};
            i = end + 3;
        } else if (rest.substr(0, 2) == "<?") {
            const auto end = text.find("?>", i + 2);
            if (end == std::string_view::npos)
                return {};
            i = end + 2;
        } else if (rest.substr(0, 2) == "<!") {
            // A document type, with an internal subset in brackets perhaps.
            int depth = 0;
            std::size_t j = i + 2;
            for (; j < text.size(); ++j) {
                if (text[j] == '[')
                    ++depth;
                else if (text[j] == ']')
                    --depth;
                else if (text[j] == '>' && depth <= 0)
                    break;
            }
            if (j >= text.size())
                return {};
            i = j + 1;
        } else {
            std::size_t j = i + 1;
            while (j < text.size() && !std::isspace(static_cast<unsigned char>(text[j])) && text[j] != '>' &&
                   text[j] != '/')
                ++j;
            return std::string(text.substr(i + 1, j - i - 1));
        }
    }
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
    const std::string rootName = rootElementName(data.substr(0, 64 * 1024));
    if (rootName != "score-partwise" && rootName != "score-timewise")
        return LoadResult::failure(LoadStatus::WrongKind,
                                   "not a MusicXML score (its root element is not score-partwise)");
    pugi::xml_document doc;
    // Entities beyond the five of XML are never expanded, and nothing outside the file is read.
    const pugi::xml_parse_result parsed =
        doc.load_buffer(data.data(), data.size(), pugi::parse_default & ~pugi::parse_doctype);
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
    const int timeCode = score.timeCode != 0 ? score.timeCode : kTimeSig44;
    int dropped = 0;
    for (const auto& part : score.parts) {
        const int count = everyStaff ? static_cast<int>(part.staves.size()) : 1;
        for (int s = 0; s < count; ++s) {
            Track& track = sheet.addTrack();
            track.timeSig = timeCode;
            track.tempo = score.tempo != 0 ? score.tempo : 120;
            track.bpm = track.tempo;
            std::string name = part.name.empty() ? part.id : part.name;
            if (count > 1)
                name += " " + std::to_string(s + 1);
            track.name = cutUtf8(name, kTrackNameCapacity - 1);
            musicxml::buildStaffTrack(part, s, track, score.leftOut, dropped);
        }
    }
    sheet.setTimeSignatureCode(timeCode);
    if (dropped > 0)
        result.warnings.push_back(dropped == 1
                                      ? std::string("1 note of a later voice was dropped: it starts with no "
                                                    "note of the first voice of its staff")
                                      : std::to_string(dropped) +
                                            " notes of later voices were dropped: they start with no "
                                            "note of the first voice of their staff");
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
    const std::string root = rootElementName(firstBytes);
    if (root == "score-partwise" || root == "score-timewise")
        return true;
    // A damaged file named as MusicXML gets the MusicXML reader's message, unless it begins as
    // another document of the program's own.
    return (ext == "mxl" || ext == "musicxml") && root.empty();
}

bool isMusicXmlFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    char head[4096] = {};
    in.read(head, sizeof head);
    return looksLikeMusicXml(std::string_view(head, static_cast<std::size_t>(in.gcount())), path);
}

} // namespace tonvela
