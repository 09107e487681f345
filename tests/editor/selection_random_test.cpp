#include "editor/commands.h"
#include "editor/editing/note_clipboard.h"
#include "editor/editing/sheet_editor.h"
#include "editor/example_sheets.h"
#include "editor/sheet_invariants.h"
#include "platform/notifier.h"

#include <gtest/gtest.h>

#include <random>

namespace tonvela {
namespace {

class NullHost : public EditorHost {
  public:
    void layoutChanged() override {}
    void scrolled() override {}
};

// Thousands of seeded edits, undos and redos on three tracks; the invariants hold after each
// step and the sheet comes back the same from its file.
TEST(SelectionRandomTest, EditsUndosAndRedosKeepTheSheetLoadable)
{
    for (unsigned seed : {1u, 7u, 2024u}) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        std::mt19937 rng(seed);
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
        auto sheet = testing::sheetWithTracks(3);
        setStaffKind(*sheet->trackAt(1), StaffKind::FClef);
        setStaffKind(*sheet->trackAt(2), StaffKind::G2Clef);
        SheetViewState view(*sheet);
        view.setClientSize(800, 600);
        NullHost host;
        SheetEditor editor(view, host);
        CollectingNotifier notifier;
        editor.setNotifier(&notifier);
        noteClipboard() = NoteClipboard{};

        for (int step = 0; step < 3000; ++step) {
            const int t = pick(0, 2);
            Track& track = *sheet->trackAt(t);
            const int op = pick(0, 15);
            if (op <= 2 && track.count < 400) {
                // A note, a rest or a chord member appended to a root as chord building does.
                Note n;
                n.type = pick(kTypeWhole, kTypeThirtySecond);
                n.setStaffPosition(pick(-12, 12), staffKindOf(track));
                n.dwFlag = pick(0, 3) == 0 ? kFlagSharp : 0;
                if (pick(0, 5) == 0)
                    n.setLyric("la");
                const int root = track.count > 0 ? pick(0, track.count - 1) : -1;
                if (op == 2 && root >= 0 && track.rootOf(root) == -1 &&
                    track.noteAt(root).childCount < kMaxChordMembers) {
                    n.chordparent = static_cast<int16_t>(root);
                    editor.edit(SnapshotKind::Insert, t, [&] {
                        track.insertNote(n, track.count);
                        track.rebuildChordLists();
                    });
                } else {
                    const int at = pick(0, track.count);
                    editor.edit(SnapshotKind::Insert, t, [&] {
                        track.insertNote(n, at);
                        track.rebuildChordLists();
                    });
                }
            } else if (op == 3 && track.count > 0) {
                const int i = pick(0, track.count - 1);
                const int target = pick(0, track.count - 1);
                editor.edit(SnapshotKind::SelectedChange, t, [&] {
                    track.noteAt(i).loopTo = target;
                    track.noteAt(i).loopCount = pick(1, 3);
                });
            } else if (op == 4 && track.count > 0) {
                for (int k = pick(1, 6); k > 0; --k)
                    track.noteAt(pick(0, track.count - 1)).selected ^= 1;
            } else if (op == 5) {
                sheet->selectedTrack = pick(-1, 2);
                editor.command(kCmdSelectAll);
            } else if (op == 6) {
                editor.command(kCmdCopy);
            } else if (op == 7) {
                editor.command(kCmdCut);
            } else if (op == 8) {
                sheet->selectedTrack = pick(-1, 2);
                view.hoveredTrack = pick(-1, 2);
                editor.command(kCmdPaste);
            } else if (op == 9) {
                editor.command(kCmdDelete);
            } else if (op == 10 && pick(0, 20) == 0) {
                editor.command(kCmdClear);
            } else if (op == 11) {
                for (int k = pick(1, 40); k > 0; --k)
                    editor.command(pick(0, 1) ? kCmdCursorUp : kCmdCursorDown);
            } else if (op <= 13) {
                editor.command(kCmdUndo);
            } else {
                editor.command(kCmdRedo);
            }
            ASSERT_TRUE(testing::keepsTheInvariants(*sheet))
                << "after step " << step << " (operation " << op << ")";
        }
        EXPECT_TRUE(notifier.messages.empty());

        ASSERT_TRUE(testing::comesBackFromItsFile(*sheet, "selection_random_" + std::to_string(seed)));
        int total = 0;
        for (int t = 0; t < sheet->trackCount(); ++t)
            total += sheet->trackAt(t)->count;
        EXPECT_GT(total, 0) << "the run should end with notes to save";
    }
}

} // namespace
} // namespace tonvela
