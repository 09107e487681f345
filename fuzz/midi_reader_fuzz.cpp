// Feeds arbitrary bytes to the Standard MIDI File reader, then does what the program does with
// an imported sheet: writes it as a MIDI file again and reads that back. The reader must never
// crash, hang or grow without bound; what the writer writes must always import.

#include "playback/midi_file_reader.h"
#include "playback/midi_file_writer.h"
#include "score/sheet_document.h"
#include "score/track.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace tonvela;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    SheetDocument sheet;
    const LoadResult res = importMidiData(bytes, sheet);
    if (!res.ok()) {
        // A refused file leaves the new sheet's two empty tracks as they were.
        if (sheet.trackCount() != 2 || sheet.trackAt(0)->count != 0)
            std::abort();
        return 0;
    }
    if (sheet.trackCount() < 1 || sheet.trackCount() > kMaxImportedTracks)
        std::abort();
    for (int t = 0; t < sheet.trackCount(); ++t) {
        const Track& track = *sheet.trackAt(t);
        if (track.count < 1 || track.count > Track::kMaxNotes || track.division <= 0)
            std::abort();
        for (int i = 0; i < track.count; ++i) {
            const Note& n = track.noteAt(i);
            if (n.chordparent != -1 && (n.chordparent < 0 || n.chordparent >= i))
                std::abort();
        }
    }

    std::string written;
    std::string error;
    if (!midiFileBytes(sheet, kAllTracks, written, error))
        return 0;
    SheetDocument again;
    const LoadResult back = importMidiData(written, again);
    // A sheet whose notes all fall outside the MIDI range writes no note at all.
    if (!back.ok() && back.error.find("no notes") == std::string::npos)
        std::abort();
    return 0;
}
