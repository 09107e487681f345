// Feeds arbitrary bytes to the markup reader and the sheet loader, then walks the loaded sheet
// the way the program does (play time, undo, saving). Once a sheet has been saved and loaded,
// saving it again must give the same text. (The very first save may differ from a second one:
// a file can hold a track's settings after its notes, which the writer never does.)

#include "score/markup_tree.h"
#include "score/play_time.h"
#include "score/sheet_document.h"
#include "score/sheet_file.h"
#include "score/sounding_pitch.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace tonvela;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)peekFirstTokenOfText(text);
    {
        const MarkupTree tree = parseMarkup(text);
        (void)tree;
    }
    SheetDocument sheet;
    (void)loadSheetFromText(sheet, text);
    for (int t = 0; t < sheet.trackCount(); ++t) {
        const Track& track = *sheet.trackAt(t);
        (void)totalPlayMs(track);
        (void)playTimeText(track, track.count - 1);
        for (int p = -8; p <= 8; ++p)
            (void)keyAccidental(track, p);
    }
    (void)sheet.selectedBeats();
    sheet.snapshot();
    if (sheet.trackCount() > 0) {
        Note n;
        n.type = kTypeQuarter;
        sheet.trackAt(0)->insertNote(n, sheet.trackAt(0)->count / 2);
    }
    sheet.undo();
    sheet.redo();
    sheet.undo();

    SheetDocument again;
    (void)loadSheetFromText(again, sheetToText(sheet));
    const std::string second = sheetToText(again);
    SheetDocument third;
    (void)loadSheetFromText(third, second);
    if (sheetToText(third) != second)
        std::abort();
    return 0;
}
