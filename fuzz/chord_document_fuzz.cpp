// Feeds arbitrary bytes to the chord document reader, then does what the program does with a
// chord document: lays the page out, clicks and scrolls it, adds its diagrams to a sheet and
// exports that sheet to LilyPond. A written document must read back to the same text.

#include "harmony/chord_document.h"
#include "harmony/chord_document_file.h"
#include "harmony/chord_entry.h"
#include "platform/notifier.h"
#include "score/lilypond_export.h"
#include "score/sheet_document.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace tonvela;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ChordDocument doc;
    if (!readChordDocumentFromText(doc, text).ok())
        return 0;
    if (doc.diagramCount() > kMaxDiagrams)
        std::abort();

    doc.resizePage(static_cast<int>(size % 900), static_cast<int>(size % 700));
    doc.pressLeft();
    doc.releaseLeft(60, 60, false);
    doc.scroll(PageScroll::PageRight);
    doc.hover(200, 100);

    SheetDocument sheet;
    CollectingNotifier notifier;
    ChordEntryContext ctx;
    ctx.notifier = &notifier;
    (void)addDiagramsToSheet(doc, false, &sheet, ctx);
    (void)lilypondText(sheet);

    const std::string written = chordDocumentToText(doc);
    ChordDocument again;
    if (!readChordDocumentFromText(again, written).ok() || chordDocumentToText(again) != written)
        std::abort();
    return 0;
}
