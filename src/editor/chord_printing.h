#pragma once

#include "editor/print_paging.h"

namespace tonvela {

class ChordDocument;

// A printed page of a chord document is this many page units wide (the window's 600 pixels):
// four columns of diagrams with the page's margins.
inline constexpr int kChordPrintColumns = 4;
inline constexpr int kChordPrintUnitsWide = 600;

// How a chord document goes onto pages of a printer: the drawing is scaled so that four
// columns fill the printable width, and each column holds as many rows as the printable height
// takes at that scale.
struct ChordPrintLayout {
    double scale = 1;      // device pixels per page unit
    int rowsPerColumn = 1; // diagrams in one column
    int perPage = kChordPrintColumns;
    int pages = 1; // at least one, also for an empty document
};
ChordPrintLayout chordPrintLayout(int pageWidth, int pageHeight, int diagramCount);

// Prints every diagram of the document, page after page, in the columns of the page (each
// filled from the top before the next), all in their normal look: no selection, no hover
// frame. The diagrams are drawn onto the printer's page canvas as shapes and text, so the
// printout stays sharp at any resolution.
PrintResult printChordDocument(const ChordDocument& doc, Printer& printer);

} // namespace tonvela
