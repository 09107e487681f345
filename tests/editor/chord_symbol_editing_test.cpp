#include "drawing/recording_canvas.h"
#include "editor/chord_symbol_marks.h"
#include "editor/commands.h"
#include "editor/editing/chord_symbol_editing.h"
#include "editor/editing/sheet_editor.h"
#include "editor/editing/tool_editing.h"
#include "editor/example_sheets.h"
#include "editor/layout.h"
#include "editor/sheet_drawing.h"
#include "platform/notifier.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tonvela {
namespace {

using testing::addNote;

class ChordHost : public EditorHost {
  public:
    void layoutChanged() override { ++layouts; }
    void scrolled() override {}
    void toolsChanged() override { ++toolChanges; }
    int layouts = 0;
    int toolChanges = 0;
};

class ChordSymbolEditingTest : public ::testing::Test {
  protected:
    ChordSymbolEditingTest() : sheet(testing::sheetWithTracks(1)), view(*sheet), editor(view, host)
    {
        view.setClientSize(800, 600);
        editor.setNotifier(&notifier);
        sharedToolGroups() = SharedToolGroups{};
        Track& t = *sheet->trackAt(0);
        addNote(t, kTypeQuarter, 1);                // 0
        addNote(t, kTypeQuarter, 3);                // 1: a chord's root
        addNote(t, kTypeQuarter, 5, 0, nullptr, 1); // 2: its member
        addNote(t, kTypeQuarter, 2, kFlagRest);     // 3: a rest
        addNote(t, kTypeBar, 0);                    // 4
        addNote(t, kTypeHalf, 0);                   // 5
        editor.relayout();
    }

    Track& track() { return *sheet->trackAt(0); }
    std::optional<std::string> symbolOf(int i) { return track().noteAt(i).chordSymbol(); }
    void current(int i) { editor.editState().setCurrentNote(0, i); }
    static ChordSymbol chord(const char* text) { return *parseChordSymbol(text); }

    std::unique_ptr<SheetDocument> sheet;
    SheetViewState view;
    ChordHost host;
    SheetEditor editor;
    CollectingNotifier notifier;
};

TEST_F(ChordSymbolEditingTest, AddSymbolPutsTheChordOnTheCurrentNoteAsOneUndoableEdit)
{
    current(0);
    const int layoutsBefore = host.layouts;
    ASSERT_TRUE(addChordSymbolToCurrentNote(editor, chord("Am7")));
    EXPECT_EQ(symbolOf(0), "Am7");
    EXPECT_TRUE(sheet->modified);
    EXPECT_EQ(host.layouts, layoutsBefore + 1) << "laid out again once";

    current(0);
    ASSERT_TRUE(addChordSymbolToCurrentNote(editor, chord("D7/F#")));
    EXPECT_EQ(symbolOf(0), "D7/F#");

    editor.command(kCmdUndo);
    EXPECT_EQ(symbolOf(0), "Am7");
    editor.command(kCmdUndo);
    EXPECT_FALSE(symbolOf(0));
    EXPECT_FALSE(sheet->canUndo());
    editor.command(kCmdRedo);
    EXPECT_EQ(symbolOf(0), "Am7");
    editor.command(kCmdRedo);
    EXPECT_EQ(symbolOf(0), "D7/F#");
}

TEST_F(ChordSymbolEditingTest, ASymbolBelongsToTheChordsRootAndNeverToARestOrBar)
{
    current(2); // the member: the symbol goes to its root
    ASSERT_TRUE(addChordSymbolToCurrentNote(editor, chord("G")));
    EXPECT_EQ(symbolOf(1), "G");
    EXPECT_FALSE(symbolOf(2));

    for (int i : {3, 4}) {
        current(i);
        EXPECT_FALSE(addChordSymbolToCurrentNote(editor, chord("C"))) << i;
        EXPECT_FALSE(symbolOf(i)) << i;
        EXPECT_EQ(setChordSymbolFromText(editor, "C"), TypedChordSymbol::NoNote) << i;
    }
    EXPECT_FALSE(setChordSymbol(editor, 0, 99, chord("C")));
    EXPECT_FALSE(setChordSymbol(editor, 5, 0, chord("C")));
}

TEST_F(ChordSymbolEditingTest, TheBoxReadsTypedNamesKeepsTheOldSymbolOnNonsenseAndFlowsOn)
{
    current(0);
    EXPECT_EQ(setChordSymbolFromText(editor, "cmin7"), TypedChordSymbol::Stored);
    EXPECT_EQ(symbolOf(0), "Cm7");
    EXPECT_EQ(setChordSymbolFromText(editor, "Cm7"), TypedChordSymbol::Unchanged);
    EXPECT_EQ(setChordSymbolFromText(editor, "Cxyz"), TypedChordSymbol::NotAChord);
    EXPECT_EQ(symbolOf(0), "Cm7") << "a text that names no chord changes nothing";

    // Space moves on as in the lyric flow: past the member and the rest to the next sung note.
    ASSERT_TRUE(stepLyricNote(editor, true));
    EXPECT_EQ(lyricTarget(editor).second, 1);
    EXPECT_EQ(setChordSymbolFromText(editor, "F/A"), TypedChordSymbol::Stored);
    ASSERT_TRUE(stepLyricNote(editor, true));
    EXPECT_EQ(lyricTarget(editor).second, 5);
    EXPECT_EQ(setChordSymbolFromText(editor, "Bb"), TypedChordSymbol::Stored);
    EXPECT_EQ(symbolOf(1), "F/A");
    EXPECT_EQ(symbolOf(5), "Bb");

    // An empty box removes the symbol.
    EXPECT_EQ(setChordSymbolFromText(editor, "  "), TypedChordSymbol::Stored);
    EXPECT_FALSE(symbolOf(5));
}

TEST_F(ChordSymbolEditingTest, TheBoxShowsOnlyInChordModeAboveTheStaffAtTheNote)
{
    current(1);
    track().noteAt(1).setChordSymbol("Em");
    editor.relayout();
    EXPECT_FALSE(chordSymbolBoxPlacement(editor).shown);
    toggleChordSymbolMode(editor);
    const ChordSymbolBoxPlacement place = chordSymbolBoxPlacement(editor);
    ASSERT_TRUE(place.shown);
    EXPECT_EQ(place.text, "Em");
    EXPECT_EQ(place.note, 1);
    const NoteLayout& at = view.noteLayout(0, 1);
    EXPECT_EQ(place.x, at.x);
    EXPECT_LT(place.y, view.rowTopInWindow(at.rowIndex)) << "above the staff";

    // Lyric mode and chord mode never share the keyboard.
    editor.command(kToolLyrics);
    EXPECT_TRUE(editor.tools().lyricMode);
    EXPECT_FALSE(editor.tools().chordSymbolMode);
    toggleChordSymbolMode(editor);
    EXPECT_TRUE(editor.tools().chordSymbolMode);
    EXPECT_FALSE(editor.tools().lyricMode);
}

TEST_F(ChordSymbolEditingTest, SymbolsAreDrawnAboveTheStaffAtTheirNotesWithRoomBetweenThem)
{
    // Four quarters each with a long symbol: layout gives every root room for its symbol.
    auto s = testing::sheetWithTracks(1);
    Track& t = *s->trackAt(0);
    const char* names[] = {"C#m7b5/G#", "F#7#9", "Bbmaj9", "Ebdim7"};
    for (const char* name : names) {
        const int i = addNote(t, kTypeEighth, 1);
        t.noteAt(i).setChordSymbol(name);
    }
    SheetViewState v(*s);
    v.setClientSize(800, 600);
    ChordHost h;
    SheetEditor e(v, h);
    e.relayout();

    RecordingCanvas canvas(800, 600);
    drawSheet(v, canvas, false);
    std::vector<std::pair<std::string, int>> drawn; // text and x
    int y = 0;
    for (const RecordingCanvas::Call& call : canvas.callsOf(RecordingCanvas::Kind::Text))
        for (const char* name : names)
            if (call.text == name) {
                drawn.emplace_back(call.text, call.v[0]);
                y = call.v[1];
            }
    ASSERT_EQ(drawn.size(), 4u);
    const int rowTop = v.rowTopInWindow(v.noteLayout(0, 0).rowIndex);
    EXPECT_LT(y, rowTop - 20) << "above the staff, clear of the measure number";
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(drawn[static_cast<std::size_t>(i)].first, names[i]);
        EXPECT_EQ(drawn[static_cast<std::size_t>(i)].second, v.noteLayout(0, i).x) << "aligned with its note";
        if (i > 0) {
            EXPECT_GE(drawn[static_cast<std::size_t>(i)].second -
                          drawn[static_cast<std::size_t>(i) - 1].second,
                      chordSymbolRoom(names[i - 1], 1.0f))
                << names[i - 1] << " runs into " << names[i];
        }
    }
}

} // namespace
} // namespace tonvela

namespace tonvela {
namespace {

// The lines a drawing made inside a box of the canvas.
int linesIn(const RecordingCanvas& canvas, int left, int top, int right, int bottom)
{
    int n = 0;
    for (const RecordingCanvas::Call& c : canvas.callsOf(RecordingCanvas::Kind::Line))
        if (c.v[0] >= left && c.v[2] <= right && c.v[1] >= top && c.v[3] <= bottom)
            ++n;
    return n;
}

TEST(ChordDiagramsOnTheSheet, AShapeTheLibraryHasIsDrawnAboveItsNameOthersShowTheNameAlone)
{
    auto s = testing::sheetWithTracks(1);
    Track& t = *s->trackAt(0);
    addNote(t, kTypeHalf, 1, 0, "Sing");
    t.noteAt(0).setChordSymbol("C");
    addNote(t, kTypeHalf, 1, 0, "on");
    t.noteAt(1).setChordSymbol("Cmaj7");
    for (int i = 0; i < 24; ++i) // more rows: the second row's diagrams meet the first's lyrics
        addNote(t, kTypeHalf, 1, 0, "la");
    t.noteAt(8).setChordSymbol("G");
    SheetViewState v(*s);
    v.setClientSize(800, 900);
    ChordHost h;
    SheetEditor e(v, h);
    e.relayout();
    const int plainPitch = v.rowPitch();

    RecordingCanvas off(800, 900);
    drawSheet(v, off, false);
    const int rowTop = v.rowTopInWindow(0);
    EXPECT_EQ(linesIn(off, 0, rowTop - 80, 800, rowTop - 36), 0) << "no diagrams until the sheet shows them";

    s->chordDiagrams = true;
    e.relayout();
    EXPECT_GT(v.rowPitch(), plainPitch) << "rows part to make room";
    RecordingCanvas on(800, 900);
    drawSheet(v, on, false);
    const int x0 = v.noteLayout(0, 0).x;
    const int x1 = v.noteLayout(0, 1).x;
    // C: six strings and five fret lines in a box above its name, left-aligned with its note.
    const int top0 = v.rowTopInWindow(0);
    EXPECT_EQ(linesIn(on, x0, top0 - 36 - kSymbolDiagramRise, x0 + 30, top0 - 36), 11);
    // Cmaj7 has no shape: nothing above its name.
    EXPECT_EQ(linesIn(on, x1, top0 - 36 - kSymbolDiagramRise, x1 + 30, top0 - 36), 0);
    // G on a later row: its diagram stays below the lyrics of the row above.
    const NoteLayout& g = v.noteLayout(0, 8);
    ASSERT_GT(g.rowIndex, 0);
    const int topG = v.rowTopInWindow(g.rowIndex);
    EXPECT_EQ(linesIn(on, g.x, topG - 36 - kSymbolDiagramRise, g.x + 30, topG - 36), 11);
    for (const RecordingCanvas::Call& c : on.callsOf(RecordingCanvas::Kind::TextInRect))
        if (c.text == "la" && c.v[1] < topG && c.v[1] > topG - v.rowPitch()) {
            EXPECT_LT(c.v[3], topG - 36 - kSymbolDiagramRise) << "a lyric of the row above meets the diagram";
        }

    // The setting is kept with the sheet and reached the layout from it.
    EXPECT_EQ(v.layout().rowPitch, rowPitchOf(*s));
}

} // namespace
} // namespace tonvela
