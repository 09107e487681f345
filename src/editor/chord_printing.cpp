#include "editor/chord_printing.h"

#include "drawing/scaled_canvas.h"
#include "harmony/chord_diagram_drawing.h"
#include "harmony/chord_document.h"

#include <algorithm>

namespace tonvela {

ChordPrintLayout chordPrintLayout(int pageWidth, int pageHeight, int diagramCount)
{
    ChordPrintLayout layout;
    layout.scale = pageWidth > 0 ? static_cast<double>(pageWidth) / kChordPrintUnitsWide : 1.0;
    const int unitsHigh = static_cast<int>(std::max(pageHeight, 0) / layout.scale);
    layout.rowsPerColumn = chordRowsPerColumn(unitsHigh);
    layout.perPage = kChordPrintColumns * layout.rowsPerColumn;
    layout.pages = std::max(1, (std::max(diagramCount, 0) + layout.perPage - 1) / layout.perPage);
    return layout;
}

PrintResult printChordDocument(const ChordDocument& doc, Printer& printer)
{
    PrintResult result;
    if (!printer.startDocument(doc.title, result.error)) {
        result.ok = false;
        return result;
    }
    const ChordPrintLayout layout =
        chordPrintLayout(printer.pageWidth(), printer.pageHeight(), doc.diagramCount());
    for (int page = 0; page < layout.pages; ++page) {
        printer.startPage();
        ScaledCanvas canvas(printer.pageCanvas(), layout.scale);
        drawChordDiagramColumns(canvas, doc, page * layout.perPage, layout.perPage, layout.rowsPerColumn);
        printer.endPage();
        ++result.pages;
    }
    if (!printer.endDocument(result.error))
        result.ok = false;
    return result;
}

} // namespace tonvela
