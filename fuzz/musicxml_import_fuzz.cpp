// Feeds arbitrary bytes to the MusicXML reader (plain scores and .mxl containers alike), then
// checks what the program relies on in an imported sheet. The reader must never crash, hang or
// grow without bound; a refused file leaves the sheet as it was.

#include "interchange/musicxml_import.h"
#include "score/sheet_document.h"
#include "score/track.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace tonvela;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    SheetDocument sheet;
    const LoadResult res = importMusicXmlData(bytes, sheet);
    if (!res.ok()) {
        if (res.error.empty() || sheet.trackCount() != 2 || sheet.trackAt(0)->count != 0)
            std::abort();
        return 0;
    }
    if (sheet.trackCount() < 1 || sheet.trackCount() > kMaxTracks)
        std::abort();
    for (int t = 0; t < sheet.trackCount(); ++t) {
        const Track& track = *sheet.trackAt(t);
        if (track.count < 0 || track.count > Track::kMaxNotes)
            std::abort();
        for (int i = 0; i < track.count; ++i) {
            const Note& n = track.noteAt(i);
            if (n.chordparent != -1 &&
                (n.chordparent < 0 || n.chordparent >= i || track.rootOf(i) != n.chordparent))
                std::abort();
            if (n.loopCount > 0 && (n.loopTo < 0 || n.loopTo > i))
                std::abort();
        }
    }
    return 0;
}
