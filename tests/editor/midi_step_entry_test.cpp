// Step entry from a MIDI keyboard: each key a note of the current duration that sounds that
// key on any clef, keys struck together a chord.

#include "editor/commands.h"
#include "editor/editing/midi_step_entry.h"
#include "editor/editing/sheet_editor.h"
#include "editor/editing/tool_state.h"
#include "editor/example_sheets.h"
#include "platform/midi_output.h"
#include "platform/notifier.h"
#include "score/sounding_pitch.h"
#include "score/staff_kind.h"

#include <gtest/gtest.h>

#include <memory>

namespace tonvela {
namespace {

class QuietHost : public EditorHost {
  public:
    void layoutChanged() override { ++layouts; }
    void scrolled() override {}
    int layouts = 0;
};

class MidiStepEntryTest : public ::testing::Test {
  protected:
    MidiStepEntryTest() : sheet(testing::sheetWithTracks(3))
    {
        sharedToolGroups() = SharedToolGroups{};
        view = std::make_unique<SheetViewState>(*sheet);
        editor = std::make_unique<SheetEditor>(*view, host);
        editor->setNotifier(&notifier);
        editor->resize(800, 600);
    }
    ~MidiStepEntryTest() override { sharedToolGroups() = SharedToolGroups{}; }

    Track& track(int t = 0) { return *sheet->trackAt(t); }
    bool on(int key, int64_t ms)
    {
        return entry.message(*editor, packShortMessage(0x90, key, 90), ms * 1000);
    }
    int sounds(int t, int i) { return soundingPitch(track(t).noteAt(i), track(t)); }

    std::unique_ptr<SheetDocument> sheet;
    QuietHost host;
    CollectingNotifier notifier;
    std::unique_ptr<SheetViewState> view;
    std::unique_ptr<SheetEditor> editor;
    MidiStepEntry entry;
};

TEST_F(MidiStepEntryTest, EachKeyAppendsANoteOfTheCurrentDurationThatSoundsTheKey)
{
    sharedToolGroups().notes.currentId = kToolEighth;
    const int keys[] = {60, 61, 66, 70, 47, 84};
    int64_t ms = 0;
    for (int key : keys) {
        EXPECT_TRUE(on(key, ms));
        ms += 400;
    }
    ASSERT_EQ(track().count, 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(sounds(0, i), keys[i]) << i;
        EXPECT_EQ(track().noteAt(i).type, kTypeEighth);
        EXPECT_EQ(track().rootOf(i), -1) << "keys apart are notes one after the other";
    }
    EXPECT_EQ(sheet->modified, 1);
    // A marker tool chosen: quarters.
    sharedToolGroups().notes.currentId = kToolBar;
    on(62, ms);
    EXPECT_EQ(track().noteAt(6).type, kTypeQuarter);
    // One undo step a note.
    sheet->undo();
    EXPECT_EQ(track().count, 6);
}

TEST_F(MidiStepEntryTest, TheSoundingRulePlacesKeysOnEveryClefAndKeySignature)
{
    setStaffKind(track(0), StaffKind::FClef);
    track(0).setKeyIndex(9); // B flat major
    setStaffKind(track(1), StaffKind::G2Clef);
    track(1).setKeyIndex(5); // D major
    for (int t : {0, 1, 2}) {
        sheet->selectedTrack = t;
        entry.reset();
        int64_t ms = 0;
        for (int key : {36, 46, 48, 58, 61, 66, 72, 79}) {
            ASSERT_TRUE(on(key, ms)) << t;
            ms += 500;
            const int i = track(t).count - 1;
            EXPECT_EQ(sounds(t, i), key) << "track " << t << " key " << key;
        }
    }
    // In B flat major a B flat is written as the key signature spells it: no mark of its own.
    const Note& bFlat = track(0).noteAt(1);
    EXPECT_EQ(bFlat.dwFlag & (kFlagFlat | kFlagSharp | kFlagNatural), 0);
}

TEST_F(MidiStepEntryTest, KeysStruckWithin50MsMakeOneChord)
{
    EXPECT_TRUE(on(60, 1000));
    EXPECT_TRUE(on(67, 1020));
    EXPECT_TRUE(on(64, 1050)); // still within 50 ms of the first key
    EXPECT_FALSE(on(64, 1040)) << "a key the chord has already";
    EXPECT_TRUE(on(72, 1051)); // too late: a note of its own
    ASSERT_EQ(track().count, 4);
    EXPECT_EQ(track().rootOf(0), -1);
    EXPECT_EQ(track().rootOf(1), 0);
    EXPECT_EQ(track().rootOf(2), 0);
    EXPECT_EQ(track().rootOf(3), -1);
    EXPECT_EQ(track().noteAt(0).childCount, 2);
    EXPECT_EQ(sounds(0, 1), 67);
    EXPECT_EQ(sounds(0, 2), 64);

    // A note entered in between (a letter key, a click) ends the chord being struck.
    EXPECT_TRUE(on(48, 3000));
    Note other;
    other.type = kTypeQuarter;
    track().insertNote(other, track().count);
    EXPECT_TRUE(on(52, 3010));
    EXPECT_EQ(track().rootOf(track().count - 1), -1);
    // So does another track.
    EXPECT_TRUE(on(55, 4000));
    sheet->selectedTrack = 1;
    EXPECT_TRUE(on(59, 4010));
    EXPECT_EQ(track(1).rootOf(0), -1);
}

TEST_F(MidiStepEntryTest, NoteOffsOtherMessagesAndMissingTracksEnterNothing)
{
    EXPECT_FALSE(entry.message(*editor, packShortMessage(0x80, 60, 0), 0));
    EXPECT_FALSE(entry.message(*editor, packShortMessage(0x90, 60, 0), 0)) << "velocity 0 is a note off";
    EXPECT_FALSE(entry.message(*editor, packShortMessage(0xB0, 7, 100), 0));
    EXPECT_TRUE(entry.message(*editor, packShortMessage(0x93, 60, 1), 0)) << "any channel";
    sheet->selectedTrack = -1;
    EXPECT_FALSE(on(62, 500));
    EXPECT_EQ(track().count, 1);
    EXPECT_TRUE(notifier.messages.empty());
}

TEST_F(MidiStepEntryTest, AFullTrackRefusesWithAMessage)
{
    for (int i = 0; i < Track::kMaxNotes; ++i) {
        Note n;
        n.type = kTypeQuarter;
        track().insertNote(n, track().count);
    }
    EXPECT_FALSE(on(60, 0));
    EXPECT_EQ(track().count, Track::kMaxNotes);
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(notifier.messages[0].caption, "MIDI Input");
}

} // namespace
} // namespace tonvela
