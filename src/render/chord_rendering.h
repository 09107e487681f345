#pragma once

#include "editor/print_paging.h"

#include <QImage>

#include <string>
#include <vector>

namespace tonvela {

class ChordDocument;

// The pages of a chord document as they print on the file page (A4 with its margins), each a
// white picture of the printable area at `dpi` dots per inch.
std::vector<QImage> renderChordPages(const ChordDocument& doc, int dpi);

// Prints a chord document to a PDF file on A4 pages, the diagrams drawn as vector shapes and
// text.
PrintResult printChordDocumentToPdf(const ChordDocument& doc, const std::string& path);

} // namespace tonvela
