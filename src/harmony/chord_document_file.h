#pragma once

#include "platform/atomic_file.h"
#include "platform/load_result.h"

#include <string>
#include <string_view>
#include <vector>

namespace tonvela {

class ChordDocument;
struct ChordDiagram;

inline constexpr const char* kChordDocumentRoot = "chorddoc";

// The file text of a chord document: "<chorddoc>", two lines per diagram, "</chorddoc>" with
// nothing after it. Lines end with the document's line end.
std::string chordDocumentToText(const ChordDocument& doc);
// The same text from a copy of the diagrams and the line end (written on another thread).
std::string chordDiagramsText(const std::vector<ChordDiagram>& diagrams, const std::string& lineEnd);

// Writes the document atomically. On success it takes the title and path and loses its
// modified mark; on failure it keeps all three and the old file stays as it was.
FileResult writeChordDocument(ChordDocument& doc, const std::string& title, const std::string& path);

// Reads a chord document file: one diagram per <chord> element. A file that cannot be read
// (Unreadable) or whose root is not "chorddoc" (WrongKind) changes nothing in the document.
// Warnings name what the file held beyond the page and was left out or cut.
LoadResult readChordDocument(ChordDocument& doc, const std::string& title, const std::string& path);
// The same from text in memory (title and path untouched).
LoadResult readChordDocumentFromText(ChordDocument& doc, std::string_view text);

} // namespace tonvela
