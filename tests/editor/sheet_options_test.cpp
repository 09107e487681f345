#include "editor/commands.h"
#include "editor/editing/sheet_editor.h"
#include "editor/editing/sheet_options.h"
#include "editor/example_sheets.h"
#include "score/sheet_file.h"
#include "score/track_type.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tonvela {
namespace {

using testing::addNote;

class CountingHost : public EditorHost {
  public:
    void layoutChanged() override { ++layouts; }
    void scrolled() override {}
    int layouts = 0;
};

class SheetOptionsTest : public ::testing::Test {
  protected:
    SheetOptionsTest() : sheet(testing::sheetWithTracks(2)), view(*sheet), editor(view, host)
    {
        view.setClientSize(800, 600);
        testing::addQuarters(track(0), 4);
        testing::addQuarters(track(1), 3);
        sheet->modified = 0;
    }

    Track& track(int t) { return *sheet->trackAt(t); }
    std::vector<int> programs(int t)
    {
        std::vector<int> out;
        out.reserve(static_cast<std::size_t>(track(t).count));
        for (int i = 0; i < track(t).count; ++i)
            out.push_back(track(t).noteAt(i).iid);
        return out;
    }
    void select(int t, std::initializer_list<int> notes)
    {
        for (const int i : notes)
            track(t).noteAt(i).selected = 1;
    }

    std::unique_ptr<SheetDocument> sheet;
    SheetViewState view;
    CountingHost host;
    SheetEditor editor;
};

TEST_F(SheetOptionsTest, InstrumentGoesToTheSelectedNotesOfTheCurrentTrackOrToAllItsNotes)
{
    select(0, {1, 3});
    select(1, {0});
    ASSERT_TRUE(chooseInstrument(editor, 26)); // group 3, entry 2
    EXPECT_EQ(programs(0), (std::vector<int>{0, 26, 0, 26}));
    EXPECT_EQ(programs(1), (std::vector<int>{0, 0, 0})) << "other tracks keep theirs";
    EXPECT_EQ(track(0).iid, 26);
    EXPECT_EQ(track(0).groupid, 3);
    EXPECT_TRUE(sheet->modified);

    // Without a selection every note of the current track takes it.
    track(0).deselectAll();
    track(1).deselectAll();
    sheet->selectTrack(1);
    ASSERT_TRUE(chooseInstrumentGroup(editor, 5));
    EXPECT_EQ(programs(1), (std::vector<int>{40, 40, 40}));
    EXPECT_EQ(track(1).groupid, 5);
    EXPECT_FALSE(chooseInstrumentGroup(editor, 5)) << "nothing to change: no undo step";
    EXPECT_FALSE(chooseInstrument(editor, 128));

    // Each choice was one edit; undo brings notes and track settings back together.
    editor.command(kCmdUndo);
    EXPECT_EQ(programs(1), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(track(1).groupid, 0);
    editor.command(kCmdUndo);
    EXPECT_EQ(programs(0), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(track(0).iid, 0);
    EXPECT_FALSE(sheet->canUndo());
}

TEST_F(SheetOptionsTest, DrumKeysGoToTheNotesOfADrumPartOnly)
{
    const int8_t pitch = track(0).noteAt(0).midi;
    ASSERT_TRUE(chooseDrum(editor, 3));
    EXPECT_EQ(track(0).drumKey, 38);
    EXPECT_EQ(track(0).noteAt(0).midi, pitch) << "a staff keeps its pitches";

    setTrackType(track(1), static_cast<int>(StaffKind::Percussion));
    addNote(track(1), kTypeBar, 0);
    sheet->selectTrack(1);
    select(1, {2});
    ASSERT_TRUE(chooseDrum(editor, 0));
    EXPECT_EQ(track(1).noteAt(2).midi, 35);
    EXPECT_EQ(track(1).noteAt(0).midi, pitch) << "unselected notes keep their drum";
    track(1).deselectAll();
    ASSERT_TRUE(chooseDrum(editor, 46));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(track(1).noteAt(i).midi, 81) << i;
    EXPECT_NE(track(1).noteAt(3).midi, 81) << "a bar line has no drum";
    EXPECT_FALSE(chooseDrum(editor, 47));
    editor.command(kCmdUndo);
    EXPECT_EQ(track(1).drumKey, 35);
    EXPECT_EQ(track(1).noteAt(0).midi, pitch);
}

TEST_F(SheetOptionsTest, KeyTimeSignatureAndTempoAreOneUndoableEditEach)
{
    ASSERT_TRUE(chooseKey(editor, 9));
    EXPECT_EQ(track(0).keyindex, 9);
    EXPECT_EQ(track(0).flatKey, 1);
    EXPECT_EQ(track(1).keyindex, 7) << "the key is the current track's";
    ASSERT_TRUE(chooseTimeSignature(editor, 7));
    EXPECT_EQ(sheet->timesig, kTimeSig38);
    EXPECT_EQ(track(1).timeSig, kTimeSig38);
    ASSERT_TRUE(chooseTempo(editor, 75));
    EXPECT_EQ(track(0).tempo, 75);
    EXPECT_EQ(track(1).tempo, 75) << "the tempo is the sheet's";
    EXPECT_FALSE(chooseTempo(editor, 0));
    EXPECT_FALSE(chooseTempo(editor, 1001));
    EXPECT_FALSE(chooseTempo(editor, 75));
    EXPECT_FALSE(chooseKey(editor, 9));
    EXPECT_FALSE(chooseKey(editor, 15));
    EXPECT_FALSE(chooseTimeSignature(editor, 7));

    editor.command(kCmdUndo);
    EXPECT_EQ(track(1).tempo, 120);
    EXPECT_EQ(sheet->timesig, kTimeSig38);
    editor.command(kCmdUndo);
    EXPECT_EQ(sheet->timesig, kTimeSig44);
    EXPECT_EQ(track(0).timeSig, kTimeSig44);
    editor.command(kCmdUndo);
    EXPECT_EQ(track(0).keyindex, 7);
    EXPECT_EQ(track(0).flatKey, 0);
    EXPECT_FALSE(sheet->canUndo());
    EXPECT_FALSE(sheet->modified) << "back at the state it started in";
}

TEST_F(SheetOptionsTest, ATuningAndCapoAreOneUndoableEditEachAndKeepTheNotesSound)
{
    ASSERT_TRUE(toggleTablature(editor));
    std::vector<NoteContent> before;
    for (int i = 0; i < track(0).count; ++i)
        before.push_back(track(0).noteAt(i).content());
    const GuitarTuning dropD{kNamedTunings[1].strings, 0};
    ASSERT_TRUE(chooseTuning(editor, dropD));
    EXPECT_EQ(track(0).tuning, dropD);
    EXPECT_TRUE(track(1).tuning.isStandard()) << "the tuning is the current track's";
    ASSERT_TRUE(chooseTuning(editor, {dropD.strings, 3}));
    EXPECT_EQ(track(0).tuning.capo, 3);
    for (int i = 0; i < track(0).count; ++i)
        EXPECT_EQ(track(0).noteAt(i).content(), before[static_cast<std::size_t>(i)]) << "note " << i;

    // Nothing to change, a key no MIDI key is, a capo off the neck: refused without a snapshot.
    EXPECT_FALSE(chooseTuning(editor, {dropD.strings, 3}));
    EXPECT_FALSE(chooseTuning(editor, {{64, 59, 55, 50, 45, 128}, 0}));
    EXPECT_FALSE(chooseTuning(editor, {dropD.strings, kMaxCapoFret + 1}));
    EXPECT_FALSE(chooseTuning(editor, {dropD.strings, -1}));

    editor.command(kCmdUndo);
    EXPECT_EQ(track(0).tuning, dropD);
    editor.command(kCmdUndo);
    EXPECT_TRUE(track(0).tuning.isStandard());
    editor.command(kCmdRedo);
    EXPECT_EQ(track(0).tuning, dropD);
}

TEST_F(SheetOptionsTest, TrackTypeAndTheTablatureToggleMoveTheNotesAndUndoTakesThemBack)
{
    const int line = track(0).noteAt(0).line;
    ASSERT_TRUE(chooseTrackType(editor, static_cast<int>(StaffKind::FClef)));
    EXPECT_EQ(staffKindOf(track(0)), StaffKind::FClef);
    EXPECT_NE(track(0).noteAt(0).line, line);
    EXPECT_FALSE(chooseTrackType(editor, static_cast<int>(StaffKind::FClef)));

    // The toggle goes to tablature and back to the clef the track had.
    EXPECT_TRUE(editor.answers(kCmdToggleTablature));
    ASSERT_TRUE(editor.command(kCmdToggleTablature));
    EXPECT_EQ(staffKindOf(track(0)), StaffKind::Tablature);
    ASSERT_TRUE(editor.command(kCmdToggleTablature));
    EXPECT_EQ(staffKindOf(track(0)), StaffKind::FClef);
    // A track that was tablature before any toggle goes back to the G clef.
    sheet->selectTrack(1);
    setTrackType(track(1), static_cast<int>(StaffKind::Tablature));
    editor.command(kCmdToggleTablature);
    EXPECT_EQ(staffKindOf(track(1)), StaffKind::GClef);

    editor.command(kCmdUndo);
    EXPECT_EQ(staffKindOf(track(1)), StaffKind::Tablature);
    editor.command(kCmdUndo);
    editor.command(kCmdUndo);
    editor.command(kCmdUndo);
    EXPECT_EQ(staffKindOf(track(0)), StaffKind::GClef);
    EXPECT_EQ(track(0).noteAt(0).line, line);
}

TEST_F(SheetOptionsTest, NotePropertiesReachTheSelectedNotesOfEveryTrackAndKeepWhatIsLeftOut)
{
    NoteProperties volume;
    volume.volume = 90;
    EXPECT_FALSE(applyToSelectedNotes(editor, volume)) << "no selection: nothing to change";
    EXPECT_FALSE(sheet->canUndo());

    select(0, {2});
    select(1, {1});
    track(0).noteAt(2).pan = 10;
    ASSERT_TRUE(applyToSelectedNotes(editor, volume));
    EXPECT_EQ(track(0).noteAt(2).volume, 90);
    EXPECT_EQ(track(1).noteAt(1).volume, 90);
    EXPECT_EQ(track(0).noteAt(2).pan, 10) << "left unchanged";
    EXPECT_EQ(track(0).noteAt(0).volume, 127) << "not selected";
    EXPECT_FALSE(applyToSelectedNotes(editor, volume)) << "the same again changes nothing";

    NoteProperties legato;
    legato.legatoBeats = -0.25;
    ASSERT_TRUE(applyToSelectedNotes(editor, legato));
    EXPECT_EQ(track(1).noteAt(1).dwStopOffset, -125);
    EXPECT_EQ(track(1).noteAt(1).volume, 90);
    legato.legatoBeats = 1e12;
    EXPECT_FALSE(applyToSelectedNotes(editor, legato));
    EXPECT_EQ(track(1).noteAt(1).dwStopOffset, -125);
    // -333 beats is a legato like any other, not the mark that leaves the legato alone.
    EXPECT_DOUBLE_EQ(readLegato("-333").value, -333.0);
    legato.legatoBeats = -333;
    ASSERT_TRUE(applyToSelectedNotes(editor, legato));
    EXPECT_EQ(track(1).noteAt(1).dwStopOffset, -333 * 500);
    legato.legatoBeats = -0.25;
    ASSERT_TRUE(applyToSelectedNotes(editor, legato));

    NoteProperties loop;
    loop.loopTo = 1;
    loop.loopCount = 2;
    ASSERT_TRUE(applyToSelectedNotes(editor, loop));
    EXPECT_EQ(track(0).noteAt(2).loopTo, 1);
    EXPECT_EQ(track(0).noteAt(2).loopCount, 2);
    EXPECT_EQ(track(0).noteAt(2).dwStopOffset, -125);

    editor.command(kCmdUndo);
    editor.command(kCmdUndo);
    editor.command(kCmdUndo);
    editor.command(kCmdUndo);
    EXPECT_EQ(track(0).noteAt(2).dwStopOffset, 0);
    EXPECT_EQ(track(0).noteAt(2).volume, 90);
}

TEST_F(SheetOptionsTest, TypedValuesAreReadOnlyWhenTheSheetAndItsFileCanKeepThem)
{
    EXPECT_EQ(readTempo(" 90 ").value, 90);
    EXPECT_TRUE(readTempo("1").ok());
    EXPECT_TRUE(readTempo("1000").ok());
    for (const char* bad : {"", "0", "1001", "-5", "12a", "1e2", "9.5", "99999999999"})
        EXPECT_FALSE(readTempo(bad).ok()) << bad;

    EXPECT_EQ(readLoopCount("").value, 0) << "empty is 0";
    EXPECT_EQ(readLoopCount("1000").value, 1000);
    for (const char* bad : {"1001", "-1", "two", "1.5"})
        EXPECT_FALSE(readLoopCount(bad).ok()) << bad;

    EXPECT_DOUBLE_EQ(readLegato("").value, 0.0);
    EXPECT_DOUBLE_EQ(readLegato("0.25").value, 0.25);
    EXPECT_DOUBLE_EQ(readLegato(" -1,5").value, -1.5);
    EXPECT_DOUBLE_EQ(readLegato(".5").value, 0.5);
    for (const char* bad : {"nan", "inf", "1e3", "1000.5", "abc", "1..2", "-"})
        EXPECT_FALSE(readLegato(bad).ok()) << bad;

    // "Loop To:" names a note of each track that holds selected notes (4 and 3 notes here).
    EXPECT_TRUE(readLoopTo(*sheet, "7").ok()) << "nothing selected, nothing to check against";
    select(0, {0});
    EXPECT_TRUE(readLoopTo(*sheet, "3").ok());
    EXPECT_FALSE(readLoopTo(*sheet, "4").ok());
    select(1, {0});
    EXPECT_FALSE(readLoopTo(*sheet, "3").ok());
    EXPECT_EQ(readLoopTo(*sheet, "2").value, 2);
    EXPECT_EQ(readLoopTo(*sheet, "").value, 0);
    EXPECT_FALSE(readLoopTo(*sheet, "-1").ok());
    EXPECT_NE(readLoopTo(*sheet, "9").error.find("0 to 2"), std::string::npos);
}

TEST_F(SheetOptionsTest, WhatThePanelAppliesComesBackFromTheSheetFile)
{
    select(0, {1});
    NoteProperties p;
    p.legatoBeats = 1.5;
    p.loopTo = 0;
    p.loopCount = 3;
    p.volume = 30;
    ASSERT_TRUE(applyToSelectedNotes(editor, p));
    chooseTempo(editor, 1000);
    chooseKey(editor, 12);
    chooseInstrument(editor, 33);
    SheetDocument loaded;
    ASSERT_TRUE(loadSheetFromText(loaded, sheetToText(*sheet)).ok());
    const Note& n = loaded.trackAt(0)->noteAt(1);
    EXPECT_EQ(n.dwStopOffset, 750);
    EXPECT_EQ(n.loopTo, 0);
    EXPECT_EQ(n.loopCount, 3);
    EXPECT_EQ(n.volume, 30);
    EXPECT_EQ(loaded.trackAt(0)->tempo, 1000);
    EXPECT_EQ(loaded.trackAt(0)->keyindex, 12);
    EXPECT_EQ(loaded.trackAt(0)->iid, 33);
    EXPECT_EQ(loaded.trackAt(0)->groupid, 4);
}

TEST_F(SheetOptionsTest, ThePanelShowsTheHoveredNoteElseTheCurrentOneAndCountsChordRoots)
{
    EXPECT_FALSE(shownNote(editor).valid());
    select(1, {1});
    EXPECT_EQ(shownNote(editor).index, 1) << "the first selected note";
    editor.editState().setCurrentNote(1, 2);
    EXPECT_EQ(shownNote(editor).track, 1);
    EXPECT_EQ(shownNote(editor).index, 2);
    view.hoveredNoteTrack = 0;
    view.hoveredNoteIndex = 3;
    EXPECT_EQ(shownNote(editor).track, 0);
    EXPECT_EQ(shownNote(editor).index, 3);
    view.hoveredNoteIndex = 9; // beyond the track: the current note shows
    EXPECT_EQ(shownNote(editor).track, 1);

    // Notes 0 and 1 are roots, 2 and 3 members of 1, 4 a root.
    Track& t = track(0);
    t.noteAt(2).chordparent = 1;
    t.noteAt(3).chordparent = 1;
    addNote(t, kTypeQuarter, 0);
    EXPECT_EQ(rootPosition(t, 1), 1);
    EXPECT_EQ(rootPosition(t, 4), 2);
    EXPECT_EQ(rootPosition(t, 3), 2);
}

} // namespace
} // namespace tonvela
