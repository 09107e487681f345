#include "shell_test_support.h"

#include "platform/sheet_lock.h"

#include "editor/commands.h"
#include "editor/editing/note_clipboard.h"
#include "score/sheet_document.h"

#include <QTest>

namespace tonvela::test {
namespace {

class EditCommandsTest : public ShellTest {
  protected:
    EditCommandsTest()
    {
        noteClipboard() = NoteClipboard{};
        window->showAtSavedPlacement();
    }

    // A new sheet with three quarters and a chord on its first track, focused and active.
    SheetWindow* sheetWithNotes()
    {
        SheetWindow* w = window->newSheet();
        Track& track = *w->sheet().trackAt(0);
        w->editor().edit(SnapshotKind::Insert, 0, [&] {
            for (int line : {1, 2, 3}) {
                Note n;
                n.type = kTypeQuarter;
                n.setStaffPosition(line);
                track.insertNote(n, track.count);
            }
            Note member;
            member.type = kTypeQuarter;
            member.setStaffPosition(-1);
            member.chordparent = 0;
            track.insertNote(member, track.count);
            track.rebuildChordLists();
        });
        window->activateWindow();
        EXPECT_TRUE(waitUntil([this] { return window->isActiveWindow(); }));
        w->setFocus();
        EXPECT_TRUE(waitUntil([w] { return w->hasFocus(); }));
        return w;
    }
    static int selectedCount(const Track& track)
    {
        int n = 0;
        for (int i = 0; i < track.count; ++i)
            n += track.noteAt(i).selected ? 1 : 0;
        return n;
    }
};

TEST_F(EditCommandsTest, TheEditMenuCarriesTheSelectionCommandsWithTheirKeys)
{
    const std::pair<int, const char*> items[] = {{kCmdCopy, "Ctrl+C"},      {kCmdCut, "Ctrl+X"},
                                                 {kCmdPaste, "Ctrl+V"},     {kCmdDelete, "Del"},
                                                 {kCmdSelectAll, "Ctrl+A"}, {kCmdClear, "Ctrl+E"}};
    window->newSheet();
    for (const auto& [id, keys] : items) {
        EXPECT_EQ(window->action(id)->shortcut(), QKeySequence(QString::fromLatin1(keys))) << id;
        EXPECT_TRUE(window->action(id)->isEnabled()) << id << " with the start-up sheet active";
    }
}

TEST_F(EditCommandsTest, AcceleratorsAndArrowKeysEditTheActiveSheet)
{
    SheetWindow* w = sheetWithNotes();
    Track& track = *w->sheet().trackAt(0);
    {
        const SheetLockGuard lock(sheetLock()); // the painter thread draws the sheet
        w->sheet().selectedTrack = 0;
    }

    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(selectedCount(track), 4) << "Select All";
    QTest::keyClick(w, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(noteClipboard().notes.size(), 4u);
    QTest::keyClick(w, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(w, Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(track.count, 12) << "pasted twice";
    // The clipboard holds each root followed by its members: the member comes second.
    EXPECT_EQ(track.noteAt(9).chordparent, 8) << "the second paste's member names its own root";
    EXPECT_EQ(track.noteAt(5).chordparent, 4);

    // The arrows move the selected (last pasted) notes; the others stay.
    QTest::keyClick(w, Qt::Key_Up);
    EXPECT_EQ(track.noteAt(8).line, 0);
    EXPECT_EQ(track.noteAt(0).line, 1);
    QTest::keyClick(w, Qt::Key_Down);
    QTest::keyClick(w, Qt::Key_Down);
    EXPECT_EQ(track.noteAt(8).line, 2);

    QTest::keyClick(w, Qt::Key_Delete);
    EXPECT_EQ(track.count, 8);
    QTest::keyClick(w, Qt::Key_X, Qt::ControlModifier); // nothing selected: the clipboard empties
    EXPECT_EQ(track.count, 8);
    EXPECT_TRUE(noteClipboard().empty());
    QTest::keyClick(w, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(track.count, 12) << "undo brings the deleted notes back";
    EXPECT_EQ(track.noteAt(8).line, 2);

    QTest::keyClick(w, Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(track.count, 0) << "Clear";
    QTest::keyClick(w, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(track.count, 12);
    EXPECT_TRUE(notifier.messages.empty()) << errorsText();
}

TEST_F(EditCommandsTest, TheClipboardSurvivesClosingItsWindowAndPastesIntoAnother)
{
    SheetWindow* source = sheetWithNotes();
    {
        const SheetLockGuard lock(sheetLock()); // the painter thread draws the sheet
        source->sheet().selectedTrack = 0;
    }
    QTest::keyClick(source, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(source, Qt::Key_C, Qt::ControlModifier);
    notifier.fallback = Notifier::Answer::No; // close without saving
    window->command(kCmdCloseAll);
    ASSERT_TRUE(waitUntil([this] { return window->activeSheet() == nullptr; }));

    SheetWindow* target = window->newSheet();
    window->activateWindow();
    target->setFocus();
    ASSERT_TRUE(waitUntil([target] { return target->hasFocus(); }));
    {
        const SheetLockGuard lock(sheetLock()); // the painter thread draws the sheet
        target->sheet().selectedTrack = 1;
    }
    QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(target->sheet().trackAt(1)->count, 4);
    EXPECT_EQ(target->sheet().trackAt(1)->noteAt(1).chordparent, 0);
    EXPECT_EQ(target->sheet().trackAt(0)->count, 0);
}

} // namespace
} // namespace tonvela::test
