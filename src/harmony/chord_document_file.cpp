#include "harmony/chord_document_file.h"

#include "harmony/chord_document.h"
#include "score/markup_text.h"
#include "score/markup_tree.h"
#include "score/utf8_text.h"

#include <memory>

namespace tonvela {

std::string chordDocumentToText(const ChordDocument& doc)
{
    return chordDiagramsText(doc.diagrams(), doc.lineEnd);
}

std::string chordDiagramsText(const std::vector<ChordDiagram>& diagrams, const std::string& le)
{
    std::string out = "<chorddoc>" + le;
    for (const ChordDiagram& d : diagrams) {
        out += "<chord " + le;
        out += "quality=" + std::to_string(d.quality) + " startfret=" + std::to_string(d.startFret);
        out += " label=\"" + escapeMarkupText(d.label) + "\" szchord=\"" + escapeMarkupText(d.fingering);
        out += "\" ></chord>" + le;
    }
    out += "</chorddoc>";
    return out;
}

FileResult writeChordDocument(ChordDocument& doc, const std::string& title, const std::string& path)
{
    FileResult res = writeFileAtomically(path, chordDocumentToText(doc));
    if (!res)
        return res;
    doc.title = title;
    doc.path = path;
    doc.modified = 0;
    doc.refreshWindowText();
    return res;
}

namespace {

std::string quotedText(const MarkupElement& e, std::string_view name)
{
    const std::string* v = e.findAttribute(name);
    return v ? unescapeMarkupText(*v) : std::string();
}

std::string lineEndOf(std::string_view text)
{
    const auto lf = text.find('\n');
    if (lf == std::string_view::npos)
        return "\r\n";
    return (lf > 0 && text[lf - 1] == '\r') ? "\r\n" : "\n";
}

} // namespace

LoadResult readChordDocumentFromText(ChordDocument& doc, std::string_view text)
{
    LoadResult result;
    auto tree = std::make_unique<MarkupTree>(parseMarkup(text));
    if (tree->root.name != kChordDocumentRoot)
        return LoadResult::failure(LoadStatus::WrongKind,
                                   "this file is not a chord document (it does not start with <chorddoc>)");
    std::vector<ChordDiagram> diagrams;
    int extra = 0;
    for (const auto& child : tree->root.children) {
        if (child->name != "chord")
            continue;
        if (diagrams.size() >= static_cast<std::size_t>(kMaxDiagrams)) {
            ++extra;
            continue;
        }
        ChordDiagram d;
        d.quality = intAttribute(*child, "quality", 0);
        d.startFret = intAttribute(*child, "startfret", 1);
        d.label = utf8FromEightBitText(quotedText(*child, "label"), kMaxDiagramTextLength);
        d.fingering = utf8FromEightBitText(quotedText(*child, "szchord"), kMaxDiagramTextLength);
        if (d.label.size() > kMaxDiagramTextLength || d.fingering.size() > kMaxDiagramTextLength)
            result.warnings.push_back("diagram " + std::to_string(diagrams.size() + 1) +
                                      " has a label or fingering longer than 31 characters; it was cut");
        diagrams.push_back(std::move(d));
    }
    if (extra > 0)
        result.warnings.push_back("the file holds " + std::to_string(kMaxDiagrams + extra) +
                                  " diagrams; a page takes 32, the last " + std::to_string(extra) +
                                  " were left out");
    doc.setDiagrams(std::move(diagrams));
    doc.lineEnd = lineEndOf(text);
    doc.keepTree(std::move(tree));
    return result;
}

LoadResult readChordDocument(ChordDocument& doc, const std::string& title, const std::string& path)
{
    std::string text;
    if (const FileResult r = readWholeFile(path, text, kMaxMarkupFileBytes); !r)
        return LoadResult::failure(LoadStatus::Unreadable, r.error);
    LoadResult result = readChordDocumentFromText(doc, text);
    if (!result.ok())
        return result;
    doc.title = title;
    doc.path = path;
    doc.modified = 0;
    doc.refreshWindowText();
    return result;
}

} // namespace tonvela
