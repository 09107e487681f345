#include "editor/commands.h"
#include "editor/editing/sheet_editor.h"
#include "editor/editing/tool_editing.h"
#include "editor/example_sheets.h"
#include "platform/notifier.h"

#include "score/sounding_pitch.h"
#include "score/tie_rule.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tonvela {
namespace {

using testing::addNote;

class ToolHost : public EditorHost {
  public:
    void layoutChanged() override { ++layouts; }
    void scrolled() override {}
    void toolsChanged() override { ++toolChanges; }
    int layouts = 0;
    int toolChanges = 0;
};

class ToolEditingTest : public ::testing::Test {
  protected:
    ToolEditingTest() : sheet(testing::sheetWithTracks(2)), view(*sheet), editor(view, host)
    {
        view.setClientSize(800, 600);
        editor.setNotifier(&notifier);
        sharedToolGroups() = SharedToolGroups{};
    }

    Track& track(int t = 0) { return *sheet->trackAt(t); }
    ToolGroupState& notes() { return sharedToolGroups().notes; }
    ToolGroupState& edits() { return sharedToolGroups().edit; }
    bool key(EditorKey k) { return editor.keyPressed({k, false, false}); }
    void keys(const std::string& letters)
    {
        for (char c : letters)
            key(keyOfCharacter(c));
    }
    // Undo steps until the history is empty.
    int undoAll()
    {
        int steps = 0;
        while (sheet->canUndo()) {
            editor.command(kCmdUndo);
            ++steps;
        }
        return steps;
    }
    std::vector<NoteContent> contents(int t = 0)
    {
        std::vector<NoteContent> all;
        for (int i = 0; i < track(t).count; ++i)
            all.push_back(track(t).noteAt(i).content());
        return all;
    }

    std::unique_ptr<SheetDocument> sheet;
    SheetViewState view;
    ToolHost host;
    SheetEditor editor;
    CollectingNotifier notifier;
};

TEST_F(ToolEditingTest, WithBarActiveSharpOnlyReleasesItsButton)
{
    addNote(track(), kTypeQuarter, 1);
    editor.command(kToolBar); // nothing selected: no note becomes a bar
    EXPECT_EQ(edits().currentId, kToolBar);
    EXPECT_EQ(notes().currentId, kToolBar) << "clicks add bar lines";
    EXPECT_EQ(edits().state(kToolBar), ButtonState::Checked);
    ASSERT_FALSE(sheet->canUndo());

    track().noteAt(0).selected = 1;
    notes().press(kToolSharp);
    EXPECT_TRUE(key(EditorKey::S));
    EXPECT_EQ(notes().state(kToolSharp), ButtonState::Normal);
    EXPECT_FALSE(editor.tools().sharp);
    EXPECT_EQ(track().noteAt(0).dwFlag, 0);
    EXPECT_FALSE(sheet->canUndo()) << "no note changed";
    // Dot, Tie and Natural are refused the same way; the bar tool stays.
    keys("DT");
    editor.command(kToolNatural);
    EXPECT_EQ(track().noteAt(0).dwFlag, 0);
    EXPECT_FALSE(editor.tools().dot || editor.tools().tie || editor.tools().natural);
    EXPECT_EQ(edits().currentId, kToolBar);
}

TEST_F(ToolEditingTest, SharpThenFlatLeavesFlatAndNaturalTurnsBothOff)
{
    addNote(track(), kTypeQuarter, 1);
    track().noteAt(0).selected = 1;

    key(EditorKey::S);
    EXPECT_TRUE(editor.tools().sharp);
    EXPECT_EQ(notes().state(kToolSharp), ButtonState::Pressed);
    EXPECT_EQ(track().noteAt(0).dwFlag, kFlagSharp);

    key(EditorKey::F);
    EXPECT_TRUE(editor.tools().flat);
    EXPECT_FALSE(editor.tools().sharp);
    EXPECT_EQ(notes().state(kToolFlat), ButtonState::Pressed);
    EXPECT_EQ(notes().state(kToolSharp), ButtonState::Normal);
    EXPECT_EQ(track().noteAt(0).dwFlag, kFlagFlat) << "the flat replaces the sharp";

    editor.command(kToolNatural);
    EXPECT_FALSE(editor.tools().sharp || editor.tools().flat);
    EXPECT_TRUE(editor.tools().natural);
    EXPECT_EQ(notes().state(kToolNatural), ButtonState::Pressed);
    EXPECT_EQ(notes().state(kToolFlat), ButtonState::Normal);
    EXPECT_EQ(track().noteAt(0).dwFlag, kFlagNatural);

    // Sharp again: natural off, sharp on; and off again clears every accidental.
    key(EditorKey::S);
    EXPECT_EQ(track().noteAt(0).dwFlag, kFlagSharp);
    EXPECT_FALSE(editor.tools().natural);
    key(EditorKey::S);
    EXPECT_EQ(track().noteAt(0).dwFlag, 0);
    EXPECT_FALSE(editor.tools().sharp);
    EXPECT_EQ(undoAll(), 5) << "one snapshot per key that changed the note";
    EXPECT_EQ(track().noteAt(0).dwFlag, 0);
}

TEST_F(ToolEditingTest, RestTwiceClearsEveryFlagOfTheSelectedNotes)
{
    addNote(track(), kTypeQuarter, 1, kFlagSharp | kFlagTie | kFlagDot);
    addNote(track(), kTypeBar, 0, kFlagTie);
    addNote(track(), kTypeHalf, 2, kFlagFlat);
    for (int i : {0, 1})
        track().noteAt(i).selected = 1;
    const auto before = contents();

    key(EditorKey::R);
    EXPECT_TRUE(editor.tools().rest);
    EXPECT_EQ(notes().state(kToolRest), ButtonState::Pressed);
    EXPECT_EQ(track().noteAt(0).dwFlag, kFlagSharp | kFlagTie | kFlagDot | kFlagRest);
    key(EditorKey::R);
    EXPECT_FALSE(editor.tools().rest);
    EXPECT_EQ(notes().state(kToolRest), ButtonState::Normal);
    EXPECT_EQ(track().noteAt(0).dwFlag, 0) << "sharp, tie and dot went with the rest";
    EXPECT_EQ(track().noteAt(1).dwFlag, kFlagTie) << "a bar line is never touched";
    EXPECT_EQ(track().noteAt(2).dwFlag, kFlagFlat) << "not selected";

    EXPECT_EQ(undoAll(), 2);
    auto unselected = before;
    for (NoteContent& c : unselected)
        c.selected = 0; // undo brings back the notes, not the selection
    EXPECT_EQ(contents(), unselected);
}

TEST_F(ToolEditingTest, NoteKeysEnterTheLettersAtTheKeyboardOctavePlusOne)
{
    key(EditorKey::Digit1);
    EXPECT_EQ(editor.tools().keyboardOctave, 1);
    key(EditorKey::Z);
    key(EditorKey::M);
    ASSERT_EQ(track().count, 2);
    const Note& a = track().noteAt(0);
    EXPECT_EQ(a.letter, 'A');
    EXPECT_EQ(a.octave, 2);
    EXPECT_EQ(a.midi, 57);
    EXPECT_EQ(a.line, 2);
    const Note& g = track().noteAt(1);
    EXPECT_EQ(g.letter, 'G');
    EXPECT_EQ(g.octave, 2);
    EXPECT_EQ(g.midi, 55);
    EXPECT_EQ(g.line, 3);

    // Every key of the row, in order, at octave key 3: A4..G4 from middle C's octave on.
    key(EditorKey::Digit3);
    keys("ZXCVBNM");
    const std::string letters = "ABCDEFG";
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(track().noteAt(2 + i).letter, letters[static_cast<std::size_t>(i)]);
        EXPECT_EQ(track().noteAt(2 + i).octave, 4);
    }
    EXPECT_EQ(track().noteAt(4).midi, 72) << "C at octave 4 is an octave above middle C";
    // Digits beyond 4 and 0 leave the octave.
    key(EditorKey::Digit5);
    key(EditorKey::Digit0);
    EXPECT_EQ(editor.tools().keyboardOctave, 3);
}

TEST_F(ToolEditingTest, NoteKeysSoundTheTypedPitchOnEveryClef)
{
    // A typed C at octave key 1 is the C an octave below middle C (key 48) whatever the staff:
    // the F clef shows it in the bass clef's second space, the G clefs where they read it, and
    // every one of them sounds what was typed.
    for (StaffKind kind : {StaffKind::GClef, StaffKind::FClef, StaffKind::G2Clef}) {
        SCOPED_TRACE(staffKindInfo(kind).name);
        setStaffKind(track(), kind);
        const int before = track().count;
        keys("1C3M");
        ASSERT_EQ(track().count, before + 2);
        const Note& c = track().noteAt(before);
        EXPECT_EQ(soundingPitch(c, track()), 48);
        EXPECT_EQ(naturalKeyOfPosition(c.line + staffKindInfo(kind).readingShift), 48)
            << "the staff shows a C";
        EXPECT_EQ(c.dwFlag, 0);
        EXPECT_EQ(soundingPitch(track().noteAt(before + 1), track()), 79) << "G at octave key 3";
    }
    EXPECT_EQ(track().noteAt(2).line, 2) << "bass clef C3 stands in the second space";
}

TEST_F(ToolEditingTest, KeyboardNotesIgnoreTheTogglesAndTakeTheDurationAndInstrument)
{
    track().iid = 41;
    key(EditorKey::E); // eighth
    keys("SDT");
    editor.command(kToolTriplet);
    ASSERT_TRUE(editor.tools().sharp && editor.tools().dot && editor.tools().tie && editor.tools().triplet);
    key(EditorKey::C);
    key(EditorKey::F);
    key(EditorKey::R); // rest on (and sharp and tie off)
    ASSERT_TRUE(editor.tools().rest && editor.tools().flat);
    key(EditorKey::V);
    ASSERT_EQ(track().count, 2);
    for (int i = 0; i < 2; ++i) {
        const Note& n = track().noteAt(i);
        EXPECT_EQ(n.dwFlag & ~kFlagBeamed, 0) << i; // the layout beams the two eighths
        EXPECT_EQ(n.type, kTypeEighth);
        EXPECT_EQ(n.iid, 41);
        EXPECT_FALSE(n.selected);
    }

    // With a marker tool chosen the keys enter quarters.
    editor.command(kToolStaffBreak);
    key(EditorKey::C);
    EXPECT_EQ(track().noteAt(2).type, kTypeQuarter);
}

TEST_F(ToolEditingTest, ADurationTurnsEveryToggleAndLyricModeOff)
{
    addNote(track(), kTypeQuarter, 1);
    key(EditorKey::R);
    key(EditorKey::W);
    EXPECT_FALSE(editor.tools().rest);
    keys("SDT");
    editor.command(kToolTriplet);
    editor.command(kToolMark200);
    editor.command(kToolLyrics);
    ASSERT_TRUE(editor.tools().lyricMode && editor.tools().triplet && editor.tools().mark200 &&
                editor.tools().sharp && editor.tools().dot && editor.tools().tie);
    track().noteAt(0).selected = 1;

    key(EditorKey::H);
    const SheetTools& t = editor.tools();
    EXPECT_FALSE(t.sharp || t.flat || t.natural || t.tie || t.dot || t.rest || t.mark200 || t.triplet ||
                 t.lyricMode);
    EXPECT_EQ(notes().currentId, kToolHalf);
    EXPECT_EQ(edits().currentId, kToolHalf) << "no marker tool";
    EXPECT_EQ(notes().state(kToolHalf), ButtonState::Checked);
    for (int id : {kToolQuarter, kToolRest, kToolDot, kToolSharp, kToolTie, kToolTriplet})
        EXPECT_EQ(notes().state(id), ButtonState::Normal) << id;
    EXPECT_EQ(edits().state(kToolLyrics), ButtonState::Normal);
    EXPECT_EQ(track().noteAt(0).type, kTypeHalf) << "the duration applies to the selection";
    EXPECT_FALSE(lyricBoxPlacement(editor).shown);
}

TEST_F(ToolEditingTest, DigitsOnATablatureTrackDoNotChangeTheOctave)
{
    setStaffKind(track(), StaffKind::Tablature);
    EXPECT_TRUE(key(EditorKey::Digit1));
    EXPECT_EQ(editor.tools().keyboardOctave, 3);
    sheet->selectedTrack = 1; // a G clef track
    EXPECT_TRUE(key(EditorKey::Digit1));
    EXPECT_EQ(editor.tools().keyboardOctave, 1);
}

TEST_F(ToolEditingTest, NoteKeysWithoutASelectedTrackDoNothing)
{
    sheet->selectedTrack = -1;
    keys("ZXCVBNM");
    EXPECT_EQ(track().count + track(1).count, 0);
    EXPECT_FALSE(sheet->canUndo());
    EXPECT_EQ(sheet->modified, 0);
}

TEST_F(ToolEditingTest, AFullTrackRefusesKeyboardNotesWithAMessage)
{
    for (int i = 0; i < Track::kMaxNotes; ++i)
        addNote(track(), kTypeQuarter, 1);
    key(EditorKey::Z);
    EXPECT_EQ(track().count, Track::kMaxNotes);
    EXPECT_FALSE(sheet->canUndo());
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_NE(notifier.messages[0].text.find("32000"), std::string::npos) << notifier.messages[0].text;
    EXPECT_NE(notifier.messages[0].text.find("track 1"), std::string::npos);
    // One fewer fits.
    track().count = Track::kMaxNotes - 1;
    key(EditorKey::Z);
    EXPECT_EQ(track().count, Track::kMaxNotes);
    EXPECT_EQ(notifier.messages.size(), 1u);
}

TEST_F(ToolEditingTest, EveryKeyboardNoteIsOneUndoStepAndEndsLaidOut)
{
    key(EditorKey::Q);
    keys("ZXC");
    ASSERT_EQ(track().count, 3);
    EXPECT_EQ(host.layouts, 3);
    EXPECT_GE(view.noteLayout(0, 2).rowIndex, 0) << "laid out";
    editor.command(kCmdUndo);
    EXPECT_EQ(track().count, 2);
    EXPECT_EQ(undoAll(), 2);
    EXPECT_EQ(track().count, 0);
    editor.command(kCmdRedo);
    EXPECT_EQ(track().count, 1);
    EXPECT_EQ(track().noteAt(0).letter, 'A');
}

TEST_F(ToolEditingTest, ToolsWithNothingToChangeTakeNoSnapshot)
{
    addNote(track(), kTypeQuarter, 1, kFlagRest);
    addNote(track(), kTypeBar, 0);
    keys("SDTWHQEY");
    editor.command(kToolNatural);
    EXPECT_FALSE(sheet->canUndo()) << "nothing selected";
    EXPECT_GT(host.toolChanges, 0) << "the window hears of every tool change";

    // Selected, but nothing a tool can change: a bar, and a rest for accidentals.
    for (int i : {0, 1})
        track().noteAt(i).selected = 1;
    editor.command(kToolFlat);
    editor.command(kToolNatural);
    EXPECT_FALSE(sheet->canUndo());
    EXPECT_EQ(track().noteAt(0).dwFlag, kFlagRest);
    editor.command(kToolQuarter); // already a quarter
    EXPECT_FALSE(sheet->canUndo());
    editor.command(kToolEighth);
    EXPECT_EQ(track().noteAt(0).type, kTypeEighth);
    EXPECT_EQ(track().noteAt(1).type, kTypeBar);
    EXPECT_EQ(undoAll(), 1);
}

TEST_F(ToolEditingTest, ModifierTogglesSetOrClearTheirFlagsByTheToggleState)
{
    addNote(track(), kTypeQuarter, 1);
    addNote(track(), kTypeQuarter, 2, kFlagDot | kFlagMark200);
    for (int i : {0, 1})
        track().noteAt(i).selected = 1;
    key(EditorKey::D); // dot off: set on both
    EXPECT_EQ(track().noteAt(0).dwFlag, kFlagDot);
    EXPECT_EQ(track().noteAt(1).dwFlag, kFlagDot | kFlagMark200);
    key(EditorKey::D); // dot on: cleared on both
    EXPECT_EQ(track().noteAt(0).dwFlag, 0);
    EXPECT_EQ(track().noteAt(1).dwFlag, kFlagMark200);

    // The button-less 0x200 toggle flips like the others.
    editor.command(kToolMark200);
    EXPECT_TRUE(editor.tools().mark200);
    EXPECT_EQ(track().noteAt(0).dwFlag, kFlagMark200);
    editor.command(kToolMark200);
    EXPECT_FALSE(editor.tools().mark200);
    EXPECT_EQ(track().noteAt(1).dwFlag, 0);
    EXPECT_EQ(notes().currentId, kToolQuarter) << "the toggle is no note kind";

    editor.command(kToolTriplet);
    key(EditorKey::D);
    EXPECT_EQ(track().noteAt(0).dwFlag, kFlagTriplet | kFlagDot);
    EXPECT_EQ(notes().state(kToolTriplet), ButtonState::Pressed);
    EXPECT_EQ(notes().state(kToolDot), ButtonState::Pressed);
}

TEST_F(ToolEditingTest, TieOnTheFirstNoteTiesItToTheNextNoteOfThatPitch)
{
    addNote(track(), kTypeHalf, 3);
    addNote(track(), kTypeQuarter, 3);
    addNote(track(), kTypeQuarter, 3);
    track().noteAt(0).selected = 1;
    key(EditorKey::T);
    EXPECT_TRUE(tieMerges(track().noteAt(0), track().noteAt(1))) << "one T makes the pair sound as one";
    EXPECT_FALSE(track().noteAt(2).dwFlag & kFlagTie) << "the third note stays apart";
    EXPECT_FALSE(editor.tools().tie) << "the notes clicked next carry no tie mark";
    EXPECT_EQ(notes().state(kToolTie), ButtonState::Normal);

    // T on the second note goes on with the chain; T on a tied note unties its pair only.
    track().noteAt(0).selected = 0;
    track().noteAt(1).selected = 1;
    key(EditorKey::T);
    ASSERT_TRUE(tieMerges(track().noteAt(1), track().noteAt(2)));
    ASSERT_TRUE(tieMerges(track().noteAt(0), track().noteAt(1)));
    key(EditorKey::T);
    EXPECT_FALSE(tieMerges(track().noteAt(1), track().noteAt(2)));
    EXPECT_TRUE(tieMerges(track().noteAt(0), track().noteAt(1))) << "the tie before the note stays";
    EXPECT_EQ(track().noteAt(2).dwFlag, 0);
    EXPECT_EQ(undoAll(), 3) << "one undo step per T";
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(track().noteAt(i).dwFlag, 0) << i;
}

TEST_F(ToolEditingTest, TieToANoteOfAnotherPitchChangesNothingAndSaysSo)
{
    addNote(track(), kTypeQuarter, 3);
    addNote(track(), kTypeQuarter, 4);
    track().noteAt(0).selected = 1;
    key(EditorKey::T);
    EXPECT_FALSE(sheet->canUndo());
    EXPECT_EQ(track().noteAt(0).dwFlag, 0);
    EXPECT_EQ(track().noteAt(1).dwFlag, 0);
    EXPECT_EQ(editor.statusText(), "No tie: the next note has another pitch.");
    EXPECT_FALSE(editor.tools().tie);

    track().noteAt(0).selected = 0;
    track().noteAt(1).selected = 1;
    editor.command(kToolTie);
    EXPECT_EQ(editor.statusText(), "No tie: no note follows.");
    key(EditorKey::Q); // the next key takes the message away
    EXPECT_EQ(editor.statusText(), "");

    // Without a selection T stays the toggle the clicked notes take.
    track().noteAt(1).selected = 0;
    key(EditorKey::T);
    EXPECT_TRUE(editor.tools().tie);
}

TEST_F(ToolEditingTest, MarkerToolsSelectBothGroupsAndLyricsFlipsLyricMode)
{
    key(EditorKey::S);
    editor.command(kToolStaffBreak);
    EXPECT_EQ(notes().currentId, kToolStaffBreak);
    EXPECT_EQ(edits().currentId, kToolStaffBreak);
    EXPECT_EQ(edits().state(kToolStaffBreak), ButtonState::Checked);
    EXPECT_EQ(notes().state(kToolQuarter), ButtonState::Normal);
    EXPECT_FALSE(editor.tools().sharp);
    EXPECT_EQ(notes().state(kToolSharp), ButtonState::Normal) << "the buttons show the toggles";

    editor.command(kToolSpace);
    EXPECT_EQ(edits().state(kToolSpace), ButtonState::Checked);
    EXPECT_EQ(edits().state(kToolStaffBreak), ButtonState::Normal);
    EXPECT_EQ(edits().previousId, kToolStaffBreak);

    editor.command(kToolLyrics);
    EXPECT_TRUE(editor.tools().lyricMode);
    EXPECT_EQ(edits().state(kToolLyrics), ButtonState::Checked);
    EXPECT_EQ(notes().currentId, kToolSpace) << "lyrics leave the note kind";
    editor.command(kToolLyricsAlias);
    EXPECT_FALSE(editor.tools().lyricMode);
    EXPECT_EQ(edits().state(kToolLyrics), ButtonState::Normal);
    EXPECT_EQ(edits().currentId, 0);

    // Tools without a button are taken; 1743 and the ids of other commands are not.
    EXPECT_TRUE(editor.command(kToolHandsOff));
    EXPECT_EQ(edits().currentId, kToolHandsOff);
    EXPECT_FALSE(editor.command(kToolMark1743));
    EXPECT_FALSE(editor.command(kCmdSave));
    // 1136 is taken and changes nothing.
    addNote(track(), kTypeQuarter, 1);
    track().noteAt(0).selected = 1;
    EXPECT_TRUE(editor.command(kToolKind1136));
    EXPECT_EQ(track().noteAt(0).type, kTypeQuarter);
    EXPECT_FALSE(sheet->canUndo());
    // 1130 gives the selected notes its own number as their kind, and keys then enter quarters.
    EXPECT_TRUE(editor.command(kToolMark1130));
    EXPECT_EQ(track().noteAt(0).type, kToolMark1130);
    EXPECT_EQ(notes().currentId, kToolMark1130);
    track().noteAt(0).selected = 0;
    key(EditorKey::Z);
    EXPECT_EQ(track().noteAt(1).type, kTypeQuarter);
}

TEST_F(ToolEditingTest, SyncKeepsOneAccidentalAndTheResetSelectsQuarter)
{
    SheetTools tools;
    SharedToolGroups& groups = sharedToolGroups();
    tools.sharp = tools.flat = true;
    syncToolButtons(tools, groups);
    EXPECT_TRUE(tools.flat);
    EXPECT_FALSE(tools.sharp) << "flat wins over sharp";
    tools.sharp = tools.natural = true;
    syncToolButtons(tools, groups);
    EXPECT_TRUE(tools.natural);
    EXPECT_FALSE(tools.sharp || tools.flat);
    EXPECT_EQ(groups.notes.state(kToolNatural), ButtonState::Pressed);

    groups.notes.select(kToolWhole);
    tools.dot = tools.lyricMode = true;
    tools.keyboardOctave = 2;
    resetToolButtons(tools, groups);
    EXPECT_FALSE(tools.dot || tools.natural || tools.lyricMode);
    EXPECT_EQ(tools.keyboardOctave, 2);
    EXPECT_EQ(groups.notes.currentId, kToolQuarter);
    EXPECT_EQ(groups.notes.state(kToolQuarter), ButtonState::Checked);
    EXPECT_EQ(groups.notes.state(kToolNatural), ButtonState::Normal);

    // Other keys only sync; the toolbars hear of it.
    int told = 0;
    const int token = watchToolGroups([&told] { ++told; });
    EXPECT_FALSE(key(EditorKey::K));
    EXPECT_FALSE(key(EditorKey::J));
    EXPECT_FALSE(editor.keyPressed({EditorKey::S, false, true})) << "Ctrl+S is no tool key";
    EXPECT_FALSE(editor.tools().sharp);
    EXPECT_EQ(told, 3);
    unwatchToolGroups(token);
    key(EditorKey::K);
    EXPECT_EQ(told, 3);
}

TEST_F(ToolEditingTest, TheLyricBoxStandsAtTheCurrentNoteAndWritesItsLyric)
{
    addNote(track(), kTypeQuarter, 1);
    addNote(track(), kTypeQuarter, 2, 0, "la");
    editor.setZoom(1.5f);
    EXPECT_FALSE(lyricBoxPlacement(editor).shown) << "lyric mode off";
    editor.command(kToolLyrics);

    // No current note: the start of the selected track's first row, nothing to write to.
    LyricBoxPlacement box = lyricBoxPlacement(editor);
    ASSERT_TRUE(box.shown);
    EXPECT_EQ(box.x, static_cast<int>(35 * 1.5f));
    EXPECT_EQ(box.y, static_cast<int>((view.row(0).top + 7 * kStaffSpacing) * 1.5f)) << "at the lyric line";
    EXPECT_EQ(box.text, "");
    EXPECT_FALSE(setLyric(editor, "lost"));
    sheet->selectedTrack = 1;
    EXPECT_EQ(lyricBoxPlacement(editor).y, static_cast<int>((view.row(1).top + 7 * kStaffSpacing) * 1.5f));
    sheet->selectedTrack = 0;

    editor.editState().track(0).currentNote = 1;
    const Note& note = track().noteAt(1);
    const NoteLayout& place = view.noteLayout(0, 1);
    box = lyricBoxPlacement(editor);
    EXPECT_EQ(box.x, static_cast<int>(place.x * 1.5f));
    EXPECT_EQ(box.y, static_cast<int>((view.row(place.rowIndex).top + 7 * kStaffSpacing) * 1.5f));
    EXPECT_EQ(box.text, "la");
    EXPECT_EQ(box.note, 1);

    EXPECT_FALSE(setLyric(editor, "la")) << "the same text takes no snapshot";
    EXPECT_FALSE(sheet->canUndo());
    EXPECT_TRUE(setLyric(editor, "lam"));
    EXPECT_TRUE(setLyric(editor, std::string(200, 'x')));
    EXPECT_EQ(note.lyrictext()->size(), kMaxLyricLength);
    EXPECT_TRUE(setLyric(editor, ""));
    EXPECT_FALSE(note.lyrictext().has_value()) << "empty text removes the lyric";
    EXPECT_FALSE(setLyric(editor, ""));
    EXPECT_EQ(undoAll(), 3);
    EXPECT_EQ(note.lyrictext(), std::optional<std::string>("la"));

    // A cut never splits a character: 126 bytes and a two-byte one make 126.
    EXPECT_TRUE(setLyric(editor, std::string(126, 'a') + "\xC3\xA9"));
    EXPECT_EQ(note.lyrictext()->size(), 126u);

    // Without a selected track the box is hidden.
    sheet->selectedTrack = -1;
    EXPECT_FALSE(lyricBoxPlacement(editor).shown);
}

TEST_F(ToolEditingTest, TheLyricFlowPassesOverTheNotesATieHoldsOn)
{
    // "hold" sung on a half tied to a quarter and then a quarter: one syllable lasts through
    // the tie, so the flow goes from the half to the note after the tie.
    addNote(track(), kTypeHalf, 1, kFlagTie);
    addNote(track(), kTypeQuarter, 1, kFlagTie);
    addNote(track(), kTypeQuarter, 1, kFlagTie); // a chain: held on once more
    addNote(track(), kTypeQuarter, 2);
    addNote(track(), kTypeBar, 0);
    addNote(track(), kTypeQuarter, 2, kFlagTie); // tied to nothing before it: sung
    editor.relayout();
    editor.command(kToolLyrics);
    editor.editState().track(0).currentNote = 0;
    ASSERT_TRUE(stepLyricNote(editor, true));
    EXPECT_EQ(lyricBoxPlacement(editor).note, 3) << "past the two notes the tie holds on";
    ASSERT_TRUE(stepLyricNote(editor, true));
    EXPECT_EQ(lyricBoxPlacement(editor).note, 5);
    ASSERT_TRUE(stepLyricNote(editor, false));
    ASSERT_TRUE(stepLyricNote(editor, false));
    EXPECT_EQ(lyricBoxPlacement(editor).note, 0) << "back over the tie to where its syllable stands";
}

TEST_F(ToolEditingTest, LyricsFlowFromSungNoteToSungNoteBelowTheStaff)
{
    addNote(track(), kTypeQuarter, 1);
    addNote(track(), kTypeQuarter, 2, kFlagRest);
    addNote(track(), kTypeBar, 0);
    addNote(track(), kTypeHalf, 3);
    addNote(track(), kTypeQuarter, -1, 0, nullptr, 3); // a member of the half's chord
    addNote(track(), kTypeQuarter, 4);
    editor.relayout();
    editor.command(kToolLyrics);
    editor.editState().track(0).currentNote = 0;

    // "Twin-kle" typed in one flow: the hyphen stays with its syllable.
    ASSERT_TRUE(setLyric(editor, "Twin-"));
    ASSERT_TRUE(stepLyricNote(editor, true));
    EXPECT_EQ(lyricBoxPlacement(editor).note, 3) << "past the rest and the bar line";
    ASSERT_TRUE(setLyric(editor, "kle"));
    ASSERT_TRUE(stepLyricNote(editor, true));
    EXPECT_EQ(lyricBoxPlacement(editor).note, 5) << "past the chord member";
    EXPECT_FALSE(stepLyricNote(editor, true)) << "the last note keeps the box";
    EXPECT_EQ(lyricBoxPlacement(editor).note, 5);
    ASSERT_TRUE(stepLyricNote(editor, false));
    EXPECT_EQ(lyricBoxPlacement(editor).text, "kle");
    ASSERT_TRUE(stepLyricNote(editor, false));
    EXPECT_EQ(lyricBoxPlacement(editor).text, "Twin-");
    EXPECT_FALSE(stepLyricNote(editor, false));
    EXPECT_EQ(track().noteAt(0).lyrictext(), std::optional<std::string>("Twin-"));
    EXPECT_EQ(track().noteAt(3).lyrictext(), std::optional<std::string>("kle"));
    EXPECT_FALSE(track().noteAt(1).lyrictext().has_value());

    // The box stands below the staff lines and below every note of the row's staff.
    const LyricBoxPlacement box = lyricBoxPlacement(editor);
    const StaffRow& row = view.row(view.noteLayout(0, 0).rowIndex);
    EXPECT_GT(box.y, view.scaled(row.top + 4 * kStaffSpacing));

    // Escape leaves the lyric tool.
    EXPECT_TRUE(editor.keyPressed({EditorKey::Escape, false, false}));
    EXPECT_FALSE(editor.tools().lyricMode);
    EXPECT_FALSE(lyricBoxPlacement(editor).shown);
}

TEST_F(ToolEditingTest, TheLyricBoxFollowsACurrentNoteOfAnotherTrack)
{
    addNote(track(1), kTypeQuarter, 1, 0, "two");
    editor.relayout();
    editor.command(kToolLyrics);
    editor.editState().track(1).currentNote = 0;
    const LyricBoxPlacement box = lyricBoxPlacement(editor);
    EXPECT_EQ(box.track, 1);
    EXPECT_EQ(box.text, "two");
    EXPECT_TRUE(setLyric(editor, "three"));
    EXPECT_EQ(track(1).noteAt(0).lyrictext(), std::optional<std::string>("three"));
    // A current note past the track's end (after an undo) is none.
    editor.editState().track(1).currentNote = 5;
    EXPECT_EQ(lyricBoxPlacement(editor).note, -1);
    EXPECT_FALSE(setLyric(editor, "x"));
}

} // namespace
} // namespace tonvela
