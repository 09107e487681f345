// A drum part read from a MIDI file and laid out: each drum where the drum staff places it.

#include "editor/glyphs.h"
#include "editor/layout.h"
#include "editor/sheet_layout.h"
#include "playback/midi_file_reader.h"
#include "score/sheet_document.h"
#include "score/sounding_pitch.h"
#include "smf_builder.h"

#include <gtest/gtest.h>

#include <map>

namespace tonvela {
namespace {

using test::smfFile;
using test::TrackBytes;

TEST(DrumImportLayout, KickSnareAndHiHatOfAMidiFileStandAtTheirOwnHeights)
{
    // A rock beat's first beats on channel 10: kick with hi-hat, hi-hat, snare with hi-hat.
    const TrackBytes drums = TrackBytes()
                                 .on(0, 9, 36)
                                 .on(0, 9, 42)
                                 .off(48, 9, 36)
                                 .off(0, 9, 42)
                                 .on(0, 9, 42)
                                 .off(48, 9, 42)
                                 .on(0, 9, 38)
                                 .on(0, 9, 42)
                                 .off(48, 9, 38)
                                 .off(0, 9, 42)
                                 .end();
    SheetDocument sheet;
    ASSERT_TRUE(importMidiData(smfFile({drums}), sheet).ok());
    ASSERT_EQ(sheet.trackCount(), 1);
    const Track& t = *sheet.trackAt(0);
    ASSERT_EQ(t.percussive, 1);
    const auto layout = layOutSheet(sheet, 1000, 1.0f);
    // The lowest head y of each drum: a larger y is lower on the staff.
    std::map<int, int> y;
    for (int i = 0; i < t.count; ++i) {
        const Note& n = t.noteAt(i);
        if (n.isRest() || !isDurationType(n.type))
            continue;
        const NoteLayout& p = layout->note(0, i);
        ASSERT_GE(p.rowIndex, 0) << i;
        const int key = soundingPitch(n, t);
        y[key] = y.count(key) ? std::max(y[key], p.y) : p.y;
        EXPECT_EQ(p.crossHead, key == 42 ? 1 : 0) << i;
    }
    ASSERT_EQ(y.size(), 3u);
    EXPECT_GT(y[36], y[38]); // the kick below the snare
    EXPECT_GT(y[38], y[42]); // the snare below the hi-hat
    const int top = layout->row(0).top;
    EXPECT_NEAR(y[36] + kHeadUpY - top, 31.5, 2.0); // the bottom space's centre
    EXPECT_NEAR(y[38] + kHeadUpY - top, 13.5, 2.0); // the third space's
}

} // namespace
} // namespace tonvela
