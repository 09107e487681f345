// Entering the second voice: the Voice 2 toggle and its key, clicks at a time of a measure,
// the note keys, and what the clipboard, delete, undo and the file keep of the voices.

#include "editor/commands.h"
#include "editor/editing/note_clipboard.h"
#include "editor/editing/sheet_editor.h"
#include "editor/editing/tool_editing.h"
#include "editor/editing/voice_entry.h"
#include "editor/example_sheets.h"
#include "editor/sheet_invariants.h"
#include "platform/notifier.h"
#include "score/sheet_file.h"
#include "score/voices.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace tonvela {
namespace {

using testing::addNote;
using testing::addQuarters;

constexpr Ticks Q = kQuarterTicks;

class VoiceHost : public EditorHost {
  public:
    void layoutChanged() override {}
    void scrolled() override {}
};

// The y (window units) whose click gives staff step `step` on a row whose top line is at `top`.
int yOfStep(int top, int step)
{
    const int d = kStaffSpacing;
    if (step % 2 == 0)
        return top + ((step + 2) / 2) * d + 3 + 2;
    return top + ((step + 1) / 2) * d + 3 + 6;
}

// One chord root as the measures see it: its measure, voice, time in the measure and content.
struct Placed {
    int measure;
    int voice;
    Ticks offset;
    int type;
    int flags;
    int line;
    bool operator==(const Placed&) const = default;
};

class VoiceEntryTest : public ::testing::Test {
  protected:
    VoiceEntryTest()
    {
        sharedToolGroups() = SharedToolGroups{};
        noteClipboard() = NoteClipboard{};
    }
    ~VoiceEntryTest() override { sharedToolGroups() = SharedToolGroups{}; }

    // One track of quarters (voice 1; two measures of four by default) in an 800 x 600 window,
    // with a bar line note after every four when `bars`.
    void make(int quarters = 8, bool bars = false)
    {
        sheet = testing::sheetWithTracks(1);
        for (int k = 0; k < quarters; ++k) {
            if (bars && k > 0 && k % 4 == 0)
                addNote(*sheet->trackAt(0), kTypeBar, 0);
            addNote(*sheet->trackAt(0), kTypeQuarter, 3);
        }
        view = std::make_unique<SheetViewState>(*sheet);
        editor = std::make_unique<SheetEditor>(*view, host);
        editor->setNotifier(&notifier);
        editor->resize(800, 600);
    }
    PointerInput input(int x, int y, PointerButton button)
    {
        ms += 20;
        return PointerInput{x, y, false, false, ms, button};
    }
    void click(int x, int y)
    {
        editor->pointerMoved(input(x, y, PointerButton::None));
        editor->pointerPressed(input(x, y, PointerButton::Left));
        editor->pointerReleased(input(x, y, PointerButton::Left));
    }
    // The index of the k-th note of voice 1 (bar lines not counted).
    int voice1Root(int k)
    {
        for (int i = 0; i < track().count; ++i)
            if (track().rootOf(i) == -1 && isDurationType(track().noteAt(i).type) &&
                voiceOf(track(), i) == kVoice1 && k-- == 0)
                return i;
        return -1;
    }
    // A click on the column of voice 1's k-th note (its head's middle) at staff step `step`,
    // far enough below voice 1's heads (step 3) to hit none of them.
    void clickAtVoice1(int k, int step)
    {
        click(view->noteLayout(0, voice1Root(k)).x + 5, yOfStep(top(), step));
    }
    bool key(EditorKey k) { return editor->keyPressed({k, false, false}); }
    int top() const { return view->rowTopInWindow(0); }
    Track& track() { return *sheet->trackAt(0); }

    // Every chord root of the track in array order.
    std::vector<Placed> placed()
    {
        MeasureDivision measures;
        measures.divide(track());
        const std::vector<Ticks> offsets = voiceOffsets(track(), measures);
        std::vector<Placed> out;
        for (int i = 0; i < track().count; ++i) {
            if (track().rootOf(i) != -1)
                continue;
            const Note& n = track().noteAt(i);
            out.push_back({measures.measureOf(i), voiceOf(track(), i), offsets[static_cast<std::size_t>(i)],
                           n.type, n.dwFlag, n.line});
        }
        return out;
    }
    std::vector<Placed> inVoice(int voice)
    {
        std::vector<Placed> out;
        for (const Placed& p : placed())
            if (p.voice == voice)
                out.push_back(p);
        return out;
    }
    // The roots of each measure lie in time order, voice 1 first where both start together.
    ::testing::AssertionResult inTimeOrder()
    {
        const std::vector<Placed> all = placed();
        for (std::size_t k = 1; k < all.size(); ++k) {
            const Placed& a = all[k - 1];
            const Placed& b = all[k];
            if (a.measure == b.measure &&
                (b.offset < a.offset || (b.offset == a.offset && b.voice < a.voice)))
                return ::testing::AssertionFailure() << "root " << k << " comes before its time";
        }
        return ::testing::AssertionSuccess();
    }

    std::unique_ptr<SheetDocument> sheet;
    std::unique_ptr<SheetViewState> view;
    VoiceHost host;
    CollectingNotifier notifier;
    std::unique_ptr<SheetEditor> editor;
    int64_t ms = 1000;
};

TEST_F(VoiceEntryTest, UTogglesVoice2AndItsButtonAndADurationKeepsIt)
{
    make();
    EXPECT_TRUE(isToolCommand(kToolVoice2));
    EXPECT_EQ(toolLetter(kToolVoice2), 'U');
    EXPECT_FALSE(editor->tools().voice2);
    EXPECT_TRUE(key(EditorKey::U));
    EXPECT_TRUE(editor->tools().voice2);
    EXPECT_EQ(sharedToolGroups().notes.state(kToolVoice2), ButtonState::Pressed);
    // Choosing a duration turns the other toggles off, not the voice.
    key(EditorKey::D);
    key(EditorKey::E);
    EXPECT_TRUE(editor->tools().voice2);
    EXPECT_FALSE(editor->tools().dot);
    EXPECT_EQ(sharedToolGroups().notes.currentId, kToolEighth);
    EXPECT_EQ(sharedToolGroups().notes.state(kToolVoice2), ButtonState::Pressed);
    // The button does what the key does; the toggle never moves notes already there.
    track().noteAt(0).selected = 1;
    EXPECT_TRUE(editor->command(kToolVoice2));
    EXPECT_FALSE(editor->tools().voice2);
    EXPECT_EQ(sharedToolGroups().notes.state(kToolVoice2), ButtonState::Normal);
    EXPECT_EQ(track().noteAt(0).voice, kVoice1);
    EXPECT_FALSE(sheet->canUndo());
}

TEST_F(VoiceEntryTest, AClickInTheMiddleOfAMeasureEntersVoice2AfterRestsThatFillItsTime)
{
    make();
    const std::vector<Placed> voice1 = placed();
    key(EditorKey::U);
    // GIVEN the column of beat 3 of measure 1 WHEN clicked with a quarter
    clickAtVoice1(2, 8);
    // THEN a half rest fills voice 2 from the measure start and the quarter starts at beat 3.
    const std::vector<Placed> two = inVoice(kVoice2);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0], (Placed{1, kVoice2, 0, kTypeHalf, kFlagRest, 8}));
    EXPECT_EQ(two[1], (Placed{1, kVoice2, 2 * Q, kTypeQuarter, 0, 8}));
    EXPECT_EQ(inVoice(kVoice1), voice1) << "voice 1 keeps its notes, measures and times";
    EXPECT_TRUE(inTimeOrder());
    EXPECT_EQ(track().count, 10);
    const int entered = editor->editState().track(0).currentNote;
    ASSERT_GE(entered, 0);
    EXPECT_EQ(track().noteAt(entered).type, kTypeQuarter);
    EXPECT_TRUE(track().noteAt(entered).inVoice2());
    EXPECT_TRUE(testing::keepsTheInvariants(*sheet));

    // Between two columns the time is in proportion, on the grid of the note's kind: an eighth
    // halfway from beat 1 to beat 2 of measure 2 goes into voice 2 at one and a half beats.
    key(EditorKey::E);
    const int x1 = view->noteLayout(0, voice1Root(5)).x, x2 = view->noteLayout(0, voice1Root(6)).x;
    click(x1 + (x2 - x1) / 2 + 2, yOfStep(top(), 9));
    const std::vector<Placed> measure2 = [&] {
        std::vector<Placed> out;
        for (const Placed& p : inVoice(kVoice2))
            if (p.measure == 2)
                out.push_back(p);
        return out;
    }();
    ASSERT_EQ(measure2.size(), 3u);
    EXPECT_EQ(measure2[0], (Placed{2, kVoice2, 0, kTypeQuarter, kFlagRest, 9}));
    EXPECT_EQ(measure2[1], (Placed{2, kVoice2, Q, kTypeEighth, kFlagRest, 9}));
    EXPECT_EQ(measure2[2], (Placed{2, kVoice2, Q + Q / 2, kTypeEighth, 0, 9}));
    EXPECT_EQ(inVoice(kVoice1), voice1);
    EXPECT_TRUE(inTimeOrder());

    // Each click was one undo step, and redo brings it back with its voices.
    const std::vector<Placed> entered2 = placed();
    editor->command(kCmdUndo);
    EXPECT_EQ(track().count, 10);
    editor->command(kCmdUndo);
    EXPECT_EQ(placed(), voice1);
    editor->command(kCmdRedo);
    editor->command(kCmdRedo);
    EXPECT_EQ(placed(), entered2);
    EXPECT_TRUE(testing::comesBackFromItsFile(*sheet, "voice-entry-clicks"));
}

TEST_F(VoiceEntryTest, AClickIntoAVoice2RestTakesItsTimeAndAnEarlierClickKeepsTheOrder)
{
    make(4);
    const std::vector<Placed> voice1 = placed();
    key(EditorKey::U);
    clickAtVoice1(3, 8); // beat 4: a half rest and a quarter rest, then the quarter
    ASSERT_EQ(inVoice(kVoice2).size(), 3u);
    EXPECT_EQ(inVoice(kVoice2)[0].type, kTypeHalf);
    EXPECT_EQ(inVoice(kVoice2)[0].flags, kFlagRest);
    // The click on beat 2 goes into the half rest.
    clickAtVoice1(1, 9);
    const std::vector<Placed> two = inVoice(kVoice2);
    std::vector<std::tuple<Ticks, int, bool>> line;
    for (const Placed& p : two)
        line.emplace_back(p.offset, p.type, (p.flags & kFlagRest) != 0);
    const std::vector<std::tuple<Ticks, int, bool>> expected = {{0, kTypeQuarter, true},
                                                                {Q, kTypeQuarter, false},
                                                                {2 * Q, kTypeQuarter, true},
                                                                {3 * Q, kTypeQuarter, false}};
    EXPECT_EQ(line, expected) << "the note took beat 2 of the rest; beat 4 stays where it was";
    EXPECT_EQ(inVoice(kVoice1), voice1);
    EXPECT_TRUE(inTimeOrder());
    EXPECT_TRUE(testing::keepsTheInvariants(*sheet));
}

TEST_F(VoiceEntryTest, BarLineNotesKeepTheirPlaceAndVoice2ComesInTimeOrderAfterThem)
{
    make(8, true);
    const std::vector<Placed> voice1 = placed();
    key(EditorKey::U);
    clickAtVoice1(6, 8); // measure 2, beat 3, after the bar line note that opens it
    clickAtVoice1(4, 9); // beat 1: into the half rest
    const std::vector<Placed> two = inVoice(kVoice2);
    ASSERT_EQ(two.size(), 3u);
    EXPECT_EQ(two[0], (Placed{2, kVoice2, 0, kTypeQuarter, 0, 9}));
    EXPECT_EQ(two[1], (Placed{2, kVoice2, Q, kTypeQuarter, kFlagRest, 9}));
    EXPECT_EQ(two[2], (Placed{2, kVoice2, 2 * Q, kTypeQuarter, 0, 8}));
    EXPECT_EQ(inVoice(kVoice1), voice1);
    EXPECT_EQ(track().noteAt(4).type, kTypeBar);
    EXPECT_TRUE(inTimeOrder());
    // The voice 2 notes stand in the columns of their times.
    EXPECT_EQ(view->noteLayout(0, editor->editState().track(0).currentNote).x,
              view->noteLayout(0, voice1Root(4)).x);
    EXPECT_TRUE(testing::keepsTheInvariants(*sheet));
}

TEST_F(VoiceEntryTest, NoteKeysAppendToVoice2OfTheCurrentMeasureAndGoOnWhenItIsFull)
{
    make();
    const std::vector<Placed> voice1 = placed();
    editor->editState().setCurrentNote(0, 1); // measure 1
    key(EditorKey::U);
    key(EditorKey::H);
    for (EditorKey k : {EditorKey::Z, EditorKey::X, EditorKey::C})
        key(k);
    const std::vector<Placed> two = inVoice(kVoice2);
    ASSERT_EQ(two.size(), 3u);
    EXPECT_EQ(two[0].measure, 1);
    EXPECT_EQ(two[0].offset, 0);
    EXPECT_EQ(two[1].measure, 1);
    EXPECT_EQ(two[1].offset, 2 * Q);
    EXPECT_EQ(two[2].measure, 2) << "measure 1's voice 2 was full";
    EXPECT_EQ(two[2].offset, 0);
    EXPECT_EQ(two[2].type, kTypeHalf);
    EXPECT_EQ(inVoice(kVoice1), voice1);
    EXPECT_TRUE(inTimeOrder());
    // Off again: the keys append voice 1 notes at the track's end as ever.
    key(EditorKey::U);
    key(EditorKey::Z);
    EXPECT_EQ(track().noteAt(track().count - 1).voice, kVoice1);
    EXPECT_EQ(inVoice(kVoice1).size(), 9u);
    // Every key was one undo step.
    int steps = 0;
    while (sheet->canUndo()) {
        editor->command(kCmdUndo);
        ++steps;
    }
    EXPECT_EQ(steps, 4);
    EXPECT_EQ(placed(), voice1);
}

TEST_F(VoiceEntryTest, CopyPasteDeleteAndUndoKeepEveryNotesVoice)
{
    make();
    const std::vector<Placed> voice1 = placed();
    key(EditorKey::U);
    clickAtVoice1(1, 8); // a quarter rest, then a quarter on beat 2
    ASSERT_EQ(inVoice(kVoice2).size(), 2u);
    key(EditorKey::U);
    // Select the voice 2 quarter and copy it.
    const int entered = editor->editState().track(0).currentNote;
    track().noteAt(entered).selected = 1;
    editor->command(kCmdCopy);
    ASSERT_EQ(noteClipboard().notes.size(), 1u);
    EXPECT_EQ(noteClipboard().notes[0].voice, kVoice2);
    // Pasted at the track's end, it keeps its voice.
    track().deselectAll();
    editor->pointerMoved(input(400, top() + 400, PointerButton::None)); // away from every staff
    editor->command(kCmdPaste);
    // It lands in the last measure at its start, so time order puts it after voice 1's first
    // note there; the pasted note is the selected one.
    int pasted = -1;
    for (int i = 0; i < track().count; ++i)
        if (track().noteAt(i).selected)
            pasted = i;
    ASSERT_GE(pasted, 0);
    EXPECT_EQ(track().noteAt(pasted).voice, kVoice2);
    EXPECT_EQ(track().noteAt(pasted).type, kTypeQuarter);
    EXPECT_EQ(inVoice(kVoice2).back().measure, 2);
    EXPECT_EQ(inVoice(kVoice2).back().offset, 0);
    EXPECT_TRUE(inTimeOrder());
    EXPECT_EQ(inVoice(kVoice1), voice1);
    editor->command(kCmdUndo);

    // Deleting voice 2 notes never moves voice 1.
    track().deselectAll();
    for (int i = 0; i < track().count; ++i)
        if (track().noteAt(i).inVoice2())
            track().noteAt(i).selected = 1;
    editor->command(kCmdDelete);
    EXPECT_TRUE(inVoice(kVoice2).empty());
    EXPECT_EQ(placed(), voice1);
    editor->command(kCmdUndo);
    const std::vector<Placed> two = inVoice(kVoice2);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[1].offset, Q);
    EXPECT_EQ(inVoice(kVoice1), voice1);
    EXPECT_TRUE(testing::comesBackFromItsFile(*sheet, "voice-entry-clipboard"));
}

TEST_F(VoiceEntryTest, AVoice1NotePastedOrDeletedInsideAMeasureKeepsVoice2InTimeOrder)
{
    make();
    key(EditorKey::U);
    clickAtVoice1(0, 8); // a voice 2 quarter on beat 1, right after voice 1's first quarter
    key(EditorKey::U);
    const std::vector<Placed> voice2 = inVoice(kVoice2);
    ASSERT_EQ(voice2.size(), 1u);
    ASSERT_TRUE(inTimeOrder());

    // GIVEN voice 1's first quarter copied and pasted right after itself
    track().deselectAll();
    track().noteAt(voice1Root(0)).selected = 1;
    editor->command(kCmdCopy);
    track().deselectAll();
    editor->editState().track(0).insertionPoint = voice1Root(0) + 1;
    ASSERT_TRUE(editor->command(kCmdPaste));
    // THEN voice 1 holds one more quarter, voice 2 its note where it was, in time order
    EXPECT_EQ(inVoice(kVoice1).size(), 9u);
    EXPECT_EQ(inVoice(kVoice2), voice2);
    EXPECT_TRUE(inTimeOrder());
    EXPECT_TRUE(testing::keepsTheInvariants(*sheet));

    // Deleting the first two quarters of voice 1 leaves voice 2's note first in the measure,
    // after the voice 1 quarter that now starts with it.
    track().deselectAll();
    track().noteAt(voice1Root(0)).selected = 1;
    track().noteAt(voice1Root(1)).selected = 1;
    editor->command(kCmdDelete);
    EXPECT_EQ(inVoice(kVoice1).size(), 7u);
    EXPECT_EQ(inVoice(kVoice2), voice2);
    EXPECT_TRUE(inTimeOrder());
    EXPECT_TRUE(testing::comesBackFromItsFile(*sheet, "voice-entry-paste-order"));
}

TEST_F(VoiceEntryTest, AMemberThatTakesOverADeletedVoice2RootStaysInVoice2)
{
    make(4);
    const std::vector<Placed> voice1 = placed();
    key(EditorKey::U);
    clickAtVoice1(0, 8);
    const int root = editor->editState().track(0).currentNote;
    ASSERT_TRUE(track().noteAt(root).inVoice2());
    // A member written as the files of other programs may hold it: without a voice of its own.
    const int member = addNote(track(), kTypeQuarter, 8, 0, nullptr, root);
    track().noteAt(member).voice = kVoice1;
    track().deselectAll();
    track().noteAt(root).selected = 1;
    editor->command(kCmdDelete);
    ASSERT_EQ(track().count, 5);
    EXPECT_EQ(inVoice(kVoice1), voice1) << "the chord that was voice 2 adds nothing to voice 1";
    ASSERT_EQ(inVoice(kVoice2).size(), 1u);
    EXPECT_EQ(inVoice(kVoice2)[0].line, 8);
}

TEST_F(VoiceEntryTest, TheFileWritesVoice2AndReadsItBack)
{
    make(4);
    key(EditorKey::U);
    clickAtVoice1(2, 8);
    const std::string text = sheetToText(*sheet);
    std::size_t written = 0;
    for (std::size_t at = text.find(" voice=2 "); at != std::string::npos;
         at = text.find(" voice=2 ", at + 1))
        ++written;
    EXPECT_EQ(written, 2u) << "the half rest and the quarter";
    SheetDocument loaded;
    ASSERT_TRUE(loadSheetFromText(loaded, text).ok());
    int second = 0;
    for (int i = 0; i < loaded.trackAt(0)->count; ++i)
        second += loaded.trackAt(0)->noteAt(i).inVoice2();
    EXPECT_EQ(second, 2);
    EXPECT_EQ(sheetToText(loaded), text);
}

TEST_F(VoiceEntryTest, RandomClicksAndKeysWithVoice2KeepTheSheetLoadable)
{
    make();
    std::mt19937 random(7);
    auto pick = [&random](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    const EditorKey keys[] = {EditorKey::U, EditorKey::E, EditorKey::Q, EditorKey::H, EditorKey::D,
                              EditorKey::R, EditorKey::Z, EditorKey::M, EditorKey::Y, EditorKey::W};
    for (int step = 0; step < 300; ++step) {
        const int op = pick(0, 9);
        if (op <= 4) {
            click(pick(0, 800), top() + pick(-40, 80));
        } else if (op <= 6) {
            key(keys[pick(0, 9)]);
        } else if (op == 7) {
            editor->command(pick(0, 1) ? kCmdUndo : kCmdRedo);
        } else if (op == 8) {
            track().deselectAll();
            if (track().count > 0)
                track().noteAt(pick(0, track().count - 1)).selected = 1;
            editor->command(pick(0, 1) ? kCmdDelete : kCmdCopy);
        } else {
            editor->command(kCmdPaste);
        }
        ASSERT_TRUE(testing::keepsTheInvariants(*sheet)) << "step " << step;
    }
    EXPECT_TRUE(hasSecondVoice(track()));
    EXPECT_TRUE(testing::comesBackFromItsFile(*sheet, "voice-entry-random"));
}

} // namespace
} // namespace tonvela
