#include "bench_sheets.h"

#include "score/track.h"

namespace tonvela::bench {

std::unique_ptr<SheetDocument> makeLargestSheet(int tracks, int notesPerTrack)
{
    auto sheet = std::make_unique<SheetDocument>();
    sheet->setTrackCount(tracks);
    static constexpr int kTypes[] = {kTypeQuarter,   kTypeEighth,    kTypeEighth,  kTypeHalf,
                                     kTypeSixteenth, kTypeSixteenth, kTypeQuarter, kTypeWhole};
    for (int t = 0; t < tracks; ++t) {
        Track& track = *sheet->trackAt(t);
        track.iid = t * 8;
        int i = 0;
        int root = -1;
        int k = 0;
        while (i < notesPerTrack) {
            Note& n = track.noteAt(i);
            n = Note();
            if (i % 33 == 32) {
                n.type = kTypeBar;
                n.layout.width = static_cast<int16_t>(n.kindWidth());
            } else {
                n.type = kTypes[k % 8];
                n.setStaffPosition((k * 5) % 14 - 6);
                if (k % 16 == 15)
                    n.dwFlag |= kFlagRest;
                if (k % 8 == 0 && i + 2 < notesPerTrack) {
                    root = i;
                } else if (root >= 0 && i - root <= 2) {
                    n.chordparent = static_cast<int16_t>(root);
                }
                if (k % 4 == 0)
                    n.setLyric("la" + std::to_string(k % 100));
                n.iid = track.iid;
                ++k;
            }
            ++i;
        }
        track.count = notesPerTrack;
        Note& loopNote = track.noteAt(notesPerTrack / 2);
        loopNote.loopTo = notesPerTrack / 2 - 40;
        loopNote.loopCount = 1;
        track.rebuildChordLists();
    }
    return sheet;
}

} // namespace tonvela::bench
