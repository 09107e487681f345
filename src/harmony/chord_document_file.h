#pragma once

#include "platform/atomic_file.h"

#include <string>
#include <string_view>
#include <vector>

namespace tonvela {

class ChordDocument;

inline constexpr const char* kChordDocumentRoot = "chorddoc";

// The file text of a chord document: "<chorddoc>", two lines per diagram, "</chorddoc>" with
// nothing after it. Lines end with the document's line end.
std::string chordDocumentToText(const ChordDocument& doc);

// Writes the document atomically. On success it takes the title and path and loses its
// modified mark; on failure it keeps all three and the old file stays as it was.
FileResult writeChordDocument(ChordDocument& doc, const std::string& title, const std::string& path);

struct ChordLoadResult {
    enum class Status { Ok, NotAChordDocument, Unreadable };
    Status status = Status::Ok;
    std::string error;
    std::vector<std::string> warnings; // what the file held beyond the page and was left out

    bool ok() const { return status == Status::Ok; }
};

// Reads a chord document file: one diagram per <chord> element. A file that cannot be read or
// whose root is not "chorddoc" changes nothing in the document.
ChordLoadResult readChordDocument(ChordDocument& doc, const std::string& title, const std::string& path);
// The same from text in memory (title and path untouched).
ChordLoadResult readChordDocumentFromText(ChordDocument& doc, std::string_view text);

} // namespace tonvela
