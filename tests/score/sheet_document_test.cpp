#include "platform/sheet_lock.h"
#include "score/duration.h"
#include "score/sheet_document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <limits>
#include <vector>

using namespace tonvela;

namespace {

// What a window showing the sheet learns from it: the changes that lay it out again, the window
// text, the "Number Tracks:" field and the selected track, and every change in order.
class RecordingView : public SheetObserver {
  public:
    explicit RecordingView(const SheetDocument& sheet) : m_sheet(sheet) {}
    void sheetChanged(const SheetChangeEvent& change) override
    {
        changes.push_back(change);
        switch (change.kind) {
        case SheetChange::Caption:
            windowText = m_sheet.windowText();
            break;
        case SheetChange::TrackCount:
            shownCount = m_sheet.shownTrackCount();
            ++relayouts;
            break;
        case SheetChange::Selection:
            selected = change.track;
            break;
        default:
            ++relayouts;
            break;
        }
    }
    int relayouts = 0;
    std::string windowText;
    int shownCount = -1;
    int selected = -1;
    std::vector<SheetChangeEvent> changes;

  private:
    const SheetDocument& m_sheet;
};

Note quarterAt(int line)
{
    Note n;
    n.type = kTypeQuarter;
    n.setStaffPosition(line);
    return n;
}

} // namespace

TEST(SheetDocumentTest, NewSheetHasTwoTracksOnChannelsZeroAndOne)
{
    SheetDocument s;
    ASSERT_EQ(s.trackCount(), 2);
    EXPECT_EQ(s.trackAt(0)->channel, 0);
    EXPECT_EQ(s.trackAt(1)->channel, 1);
    EXPECT_EQ(s.timesig, kTimeSig44);
    EXPECT_FLOAT_EQ(s.zoomamount, 0.9f);
    EXPECT_EQ(s.indexOf(*s.trackAt(1)), 1) << "the sheet holds its tracks";
    EXPECT_EQ(s.trackAt(2), nullptr);
    EXPECT_EQ(s.trackAt(-1), nullptr);
}

TEST(SheetDocumentTest, TrackCountOutsideOneToFifteenChangesNothing)
{
    SheetDocument s;
    RecordingView v(s);
    s.addObserver(&v);
    s.setTrackCount(16);
    s.setTrackCount(0);
    EXPECT_EQ(s.trackCount(), 2);
    EXPECT_EQ(v.shownCount, -1);
}

TEST(SheetDocumentTest, ShrinkingDestroysTracksAndGrowingAddsEmptyOnes)
{
    SheetDocument s;
    s.setTrackCount(4);
    s.trackAt(3)->insertNote(quarterAt(0), 0);
    s.setTrackCount(2);
    EXPECT_EQ(s.trackCount(), 2);
    s.setTrackCount(4);
    ASSERT_EQ(s.trackCount(), 4);
    EXPECT_EQ(s.trackAt(3)->count, 0);
    EXPECT_EQ(s.trackAt(3)->channel, 3);
    EXPECT_EQ(s.selectedTrack, 0);
}

TEST(SheetDocumentTest, ATrackAddedAfterATempoChangePlaysAtTheSheetsTempo)
{
    SheetDocument s;
    for (int i = 0; i < s.trackCount(); ++i)
        s.trackAt(i)->tempo = 72;
    s.setTrackCount(3);
    EXPECT_EQ(s.trackAt(2)->tempo, 72);
    EXPECT_EQ(s.addTrack().tempo, 72);
}

TEST(SheetDocumentTest, WindowTextCarriesOneStarWhileModified)
{
    SheetDocument s;
    RecordingView v(s);
    s.addObserver(&v);
    s.setPathAndCaption("song.shd", "/tmp/song.shd");
    EXPECT_EQ(v.windowText, "song.shd");
    s.snapshot();
    EXPECT_EQ(v.windowText, "song.shd*");
    s.setPathAndCaption("song.shd", "/tmp/song.shd");
    EXPECT_EQ(v.windowText, "song.shd");
    s.snapshot();
    s.snapshot();
    EXPECT_EQ(v.windowText, "song.shd*");
    EXPECT_EQ(s.windowText(), "song.shd*");
}

TEST(SheetDocumentTest, UndoAndRedoKeepAllTracksInStep)
{
    SheetDocument s;
    RecordingView v(s);
    s.addObserver(&v);
    s.snapshot();
    s.trackAt(0)->insertNote(quarterAt(0), 0);
    s.trackAt(1)->insertNote(quarterAt(2), 0);
    s.snapshot();
    s.trackAt(1)->insertNote(quarterAt(3), 1);
    s.undo();
    EXPECT_EQ(s.trackAt(0)->count, 1);
    EXPECT_EQ(s.trackAt(1)->count, 1);
    s.undo();
    EXPECT_EQ(s.trackAt(0)->count, 0);
    EXPECT_EQ(s.trackAt(1)->count, 0);
    EXPECT_FALSE(s.canUndo());
    s.redo();
    s.redo();
    EXPECT_EQ(s.trackAt(1)->count, 2);
    EXPECT_FALSE(s.canRedo());
    EXPECT_GE(v.relayouts, 4);
}

TEST(SheetDocumentTest, UndoAndRedoAfterASaveAreModifiedUnlessBackAtTheSavedState)
{
    SheetDocument s;
    RecordingView v(s);
    s.addObserver(&v);
    s.setPathAndCaption("a", "/tmp/a");
    s.snapshot();
    s.trackAt(0)->insertNote(quarterAt(0), 0);
    s.markModified();
    s.snapshot();
    s.trackAt(0)->insertNote(quarterAt(1), 1);
    s.markModified();
    s.setPathAndCaption("a", "/tmp/a"); // saved with two notes
    EXPECT_FALSE(s.modified);

    s.undo(); // one note: not what was saved
    EXPECT_TRUE(s.modified);
    EXPECT_EQ(v.windowText, "a*");
    s.undo(); // the state the sheet was in before the first save
    EXPECT_TRUE(s.modified);
    s.redo();
    EXPECT_TRUE(s.modified);
    s.redo(); // back at the save
    EXPECT_FALSE(s.modified);
    EXPECT_EQ(v.windowText, "a");

    // Back to the saved state from the other side: an edit after the save, then its undo.
    s.snapshot();
    s.trackAt(0)->insertNote(quarterAt(2), 2);
    s.markModified();
    EXPECT_TRUE(s.modified);
    s.undo();
    EXPECT_FALSE(s.modified);
    EXPECT_EQ(s.trackAt(0)->count, 2);

    // A change outside the history (no snapshot) is a state of its own: an undo that follows
    // it never lands on the saved state by mistake.
    s.snapshot();
    s.trackAt(0)->insertNote(quarterAt(3), 2);
    s.markModified();
    s.setPathAndCaption("a", "/tmp/a");
    s.markModified(); // e.g. the tempo changed
    s.snapshot();
    s.trackAt(0)->insertNote(quarterAt(4), 3);
    s.markModified();
    s.undo();
    EXPECT_TRUE(s.modified);
    // An unmodified sheet without a save (a new one) is its own saved state.
    SheetDocument fresh;
    fresh.snapshot();
    fresh.trackAt(0)->insertNote(quarterAt(0), 0);
    fresh.undo();
    EXPECT_FALSE(fresh.modified);
}

TEST(SheetDocumentTest, LoweringTheTrackCountIsUndoneWithTheRemovedTracksNotes)
{
    SheetDocument s;
    RecordingView v(s);
    s.addObserver(&v);
    s.setTrackCount(3);
    s.trackAt(2)->insertNote(quarterAt(0), 0);
    s.trackAt(2)->insertNote(quarterAt(1), 1);
    s.trackAt(2)->channel = 9;
    const Track* third = s.trackAt(2);

    s.snapshot(SnapshotKind::TrackCount, 0);
    s.setTrackCount(2);
    s.markModified();
    ASSERT_EQ(s.trackCount(), 2);
    s.undo();
    ASSERT_EQ(s.trackCount(), 3);
    EXPECT_EQ(s.trackAt(2), third) << "the same track comes back";
    EXPECT_EQ(s.trackAt(2)->count, 2);
    EXPECT_EQ(s.trackAt(2)->channel, 9);
    EXPECT_EQ(v.shownCount, 3);
    s.redo();
    EXPECT_EQ(s.trackCount(), 2);
    EXPECT_EQ(v.shownCount, 2);
    s.undo();
    ASSERT_EQ(s.trackCount(), 3);
    EXPECT_EQ(s.trackAt(2)->count, 2);

    // Two steps down, an edit, one step up: undo walks back through all of it.
    s.snapshot(SnapshotKind::TrackCount, 0);
    s.setTrackCount(2);
    s.snapshot(SnapshotKind::TrackCount, 0);
    s.setTrackCount(1);
    s.snapshot();
    s.trackAt(0)->insertNote(quarterAt(5), 0);
    s.snapshot(SnapshotKind::TrackCount, 0);
    s.setTrackCount(2);
    s.trackAt(1)->insertNote(quarterAt(6), 0); // the new track gets a note
    s.snapshot();
    s.trackAt(1)->insertNote(quarterAt(7), 1);

    s.undo(); // the second note of the new track
    EXPECT_EQ(s.trackAt(1)->count, 1);
    s.undo(); // the new track
    EXPECT_EQ(s.trackCount(), 1);
    s.undo(); // the note on track 1
    EXPECT_EQ(s.trackAt(0)->count, 0);
    s.undo();
    ASSERT_EQ(s.trackCount(), 2);
    EXPECT_EQ(s.trackAt(1)->count, 0);
    s.undo();
    ASSERT_EQ(s.trackCount(), 3);
    EXPECT_EQ(s.trackAt(2), third);
    EXPECT_EQ(s.trackAt(2)->count, 2);
    // And forward again to the end, the added track with its notes.
    for (int i = 0; i < 5; ++i)
        s.redo();
    ASSERT_EQ(s.trackCount(), 2);
    EXPECT_EQ(s.trackAt(0)->count, 1);
    EXPECT_EQ(s.trackAt(1)->count, 2);
    EXPECT_FALSE(s.canRedo());
}

TEST(SheetDocumentTest, UndoAfterUndoAndANewEditWalksBackThroughTheOldBranchWithItsTracks)
{
    SheetDocument s;
    const Track* a = s.trackAt(0);
    const Track* b = s.trackAt(1);
    s.trackAt(1)->insertNote(quarterAt(1), 0);
    s.snapshot(SnapshotKind::TrackCount, 0);
    s.setTrackCount(1); // B out
    s.undo();           // B back
    ASSERT_EQ(s.trackCount(), 2);
    EXPECT_EQ(s.trackAt(1), b);
    s.snapshot(SnapshotKind::TrackCount, 0);
    s.setTrackCount(3); // C in, with a note
    s.trackAt(2)->insertNote(quarterAt(2), 0);
    const Track* c = s.trackAt(2);

    // The ring keeps the undone branch: undo goes back through it.
    const std::vector<std::vector<const Track*>> back = {{a, b}, {a}, {a, b}};
    for (const auto& expected : back) {
        s.undo();
        ASSERT_EQ(s.trackCount(), static_cast<int>(expected.size()));
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(s.trackAt(static_cast<int>(i)), expected[i]);
    }
    EXPECT_EQ(s.trackAt(1)->count, 1) << "B keeps its note through every step";
    const std::vector<std::vector<const Track*>> forward = {{a}, {a, b}, {a, b, c}};
    for (const auto& expected : forward) {
        s.redo();
        ASSERT_EQ(s.trackCount(), static_cast<int>(expected.size()));
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(s.trackAt(static_cast<int>(i)), expected[i]);
    }
    EXPECT_EQ(s.trackAt(2)->count, 1);
    EXPECT_EQ(s.trackAt(1)->count, 1);
}

TEST(SheetDocumentTest, SnapshotClearsFreshMarks)
{
    SheetDocument s;
    s.trackAt(0)->insertNote(quarterAt(0), 0);
    EXPECT_EQ(s.trackAt(0)->noteAt(0).fresh, 1);
    s.snapshot();
    EXPECT_EQ(s.trackAt(0)->noteAt(0).fresh, 0);
}

TEST(SheetDocumentTest, UndoReturnsToTheTrackCountOfItsSnapshotAndRedoBringsTheTrackBack)
{
    SheetDocument s;
    s.snapshot();
    s.setTrackCount(3);
    s.trackAt(2)->insertNote(quarterAt(0), 0);
    s.undo();
    EXPECT_EQ(s.trackCount(), 2);
    s.redo();
    ASSERT_EQ(s.trackCount(), 3);
    EXPECT_EQ(s.trackAt(2)->count, 1);
}

TEST(SheetDocumentTest, TimeSignatureEntryReachesEveryTrack)
{
    SheetDocument s;
    s.setTimeSignature(7);
    EXPECT_EQ(s.timesig, kTimeSig38);
    EXPECT_EQ(s.trackAt(0)->timeSig, kTimeSig38);
    EXPECT_EQ(s.trackAt(1)->timeSig, kTimeSig38);
    EXPECT_EQ(measureTicksOf(s.trackAt(0)->timeSig) * 8, 3 * kWholeTicks) << "three eighths";
    s.setTimeSignature(99);
    EXPECT_EQ(s.timesig, kTimeSig44);
    s.setTimeSignatureCode(123);
    EXPECT_EQ(timeSignatureInfo(s.trackAt(0)->timeSig).beatsPerMeasure, 4) << "unknown codes behave as 4/4";
    EXPECT_FALSE(s.modified);
}

TEST(SheetDocumentTest, UndoBringsBackTheTrackSettingsAndTheTimeSignatureWithTheNotes)
{
    SheetDocument s;
    s.trackAt(0)->insertNote(quarterAt(0), 0);
    // One edit changes every setting the panels change, and a note.
    s.snapshot();
    Track& t = *s.trackAt(0);
    t.iid = 25;
    t.groupid = 3;
    t.drumKey = 38;
    t.tempo = 90;
    t.setKeyIndex(10);
    s.setTimeSignature(7);
    t.insertNote(quarterAt(2), 1);
    // A second edit on another track only.
    s.snapshot();
    s.trackAt(1)->tempo = 200;

    s.undo();
    EXPECT_EQ(s.trackAt(1)->tempo, 120);
    EXPECT_EQ(t.tempo, 90) << "the first edit stays";
    s.undo();
    EXPECT_EQ(t.count, 1);
    EXPECT_EQ(t.iid, 0);
    EXPECT_EQ(t.groupid, 0);
    EXPECT_EQ(t.drumKey, 0);
    EXPECT_EQ(t.tempo, 120);
    EXPECT_EQ(t.keyindex, 7);
    EXPECT_EQ(t.key, 'C');
    EXPECT_EQ(t.flatKey, 0);
    EXPECT_EQ(t.timeSig, kTimeSig44);
    EXPECT_EQ(s.timesig, kTimeSig44) << "the sheet's code follows its tracks";
    s.redo();
    EXPECT_EQ(t.count, 2);
    EXPECT_EQ(t.iid, 25);
    EXPECT_EQ(t.tempo, 90);
    EXPECT_EQ(t.keyindex, 10);
    EXPECT_EQ(t.flatKey, 1);
    EXPECT_EQ(t.timeSig, kTimeSig38);
    EXPECT_EQ(s.timesig, kTimeSig38);
    s.redo();
    EXPECT_EQ(s.trackAt(1)->tempo, 200);
}

TEST(SheetDocumentTest, TrackTypeChangeMovesTheNotesAndLaysTheSheetOutAgain)
{
    SheetDocument s;
    RecordingView v(s);
    s.addObserver(&v);
    s.trackAt(1)->insertNote(quarterAt(0), 0);
    s.setTrackType(1, 1); // "F Clef"
    EXPECT_EQ(staffKindOf(*s.trackAt(1)), StaffKind::FClef);
    EXPECT_EQ(s.trackAt(1)->noteAt(0).line, -5);
    EXPECT_EQ(s.trackAt(1)->noteAt(0).midi, 69);
    EXPECT_EQ(staffKindOf(*s.trackAt(0)), StaffKind::GClef);
    EXPECT_EQ(v.relayouts, 1);
    s.setTrackType(1, 6);
    s.setTrackType(7, 1);
    EXPECT_EQ(v.relayouts, 1) << "no such entry, no such track: nothing changes";
    EXPECT_FALSE(s.modified);
    s.removeObserver(&v);
}

TEST(SheetDocumentTest, ApplyToSelectedReachesSelectedNotesOfAllTracksOnly)
{
    SheetDocument s;
    for (int t = 0; t < 2; ++t)
        for (int i = 0; i < 3; ++i)
            s.trackAt(t)->insertNote(quarterAt(i), i);
    s.trackAt(0)->noteAt(1).selected = 1;
    s.trackAt(1)->noteAt(2).selected = 1;
    s.applyToSelected(40, kKeepValue, kKeepValue, kKeepValue, kKeepValue, 0.5);
    EXPECT_EQ(s.trackAt(0)->noteAt(1).volume, 40);
    EXPECT_EQ(s.trackAt(1)->noteAt(2).volume, 40);
    EXPECT_EQ(s.trackAt(1)->noteAt(2).pan, 64);
    EXPECT_EQ(s.trackAt(1)->noteAt(2).dwStopOffset, 250);
    EXPECT_EQ(s.trackAt(0)->noteAt(0).volume, 127);
    // No number of beats (NaN) keeps the legato; -333 beats is a legato like any other.
    s.applyToSelected(kKeepValue, 5, kKeepValue, kKeepValue, kKeepValue,
                      std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(s.trackAt(0)->noteAt(1).dwStopOffset, 250);
    EXPECT_EQ(s.trackAt(0)->noteAt(1).pan, 5);
    EXPECT_FALSE(s.modified);
}

TEST(SheetDocumentTest, SelectedBeatsCountRootsOfAllTracks)
{
    SheetDocument s;
    Note dottedHalf = quarterAt(0);
    dottedHalf.type = kTypeHalf;
    dottedHalf.dwFlag = kFlagDot;
    s.trackAt(0)->insertNote(quarterAt(0), 0);
    s.trackAt(0)->insertNote(quarterAt(1), 1);
    s.trackAt(1)->insertNote(dottedHalf, 0);
    s.trackAt(0)->noteAt(1).chordparent = 0;
    for (int t = 0; t < 2; ++t)
        for (int i = 0; i < s.trackAt(t)->count; ++i)
            s.trackAt(t)->noteAt(i).selected = 1;
    EXPECT_DOUBLE_EQ(s.selectedBeats(), 1.0 + 3.0);
}

// The document takes no lock of its own: whoever changes a sheet other threads read holds the
// sheet lock around the whole change, one level up (SheetEditor::edit, the loaders).
TEST(SheetDocumentTest, ChangesTakeNoLockOfTheirOwn)
{
    SheetDocument s;
    SheetLockGuard held(sheetLock());
    std::future<void> running = std::async(std::launch::async, [&] {
        s.setTimeSignatureCode(kTimeSig34);
        s.setTrackCount(3);
        s.snapshot();
        s.undo();
        s.selectTrack(1);
    });
    ASSERT_EQ(running.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "waited for the lock";
    running.get();
    EXPECT_EQ(s.trackAt(1)->timeSig, kTimeSig34);
    EXPECT_EQ(s.selectedTrack, 1);
}

// Every change tells the observers what changed, and an observer that leaves is told no more.
TEST(SheetDocumentTest, ObserversAreToldWhatChanged)
{
    SheetDocument s;
    RecordingView v(s);
    s.addObserver(&v);
    s.addObserver(&v); // once is enough
    auto kinds = [&v] {
        std::vector<SheetChange> out;
        for (const SheetChangeEvent& e : v.changes)
            out.push_back(e.kind);
        v.changes.clear();
        return out;
    };
    s.setTrackCount(3);
    EXPECT_EQ(kinds(), (std::vector<SheetChange>{SheetChange::Selection, SheetChange::TrackCount}));
    s.setTimeSignatureCode(kTimeSig34);
    EXPECT_EQ(kinds(), std::vector<SheetChange>{SheetChange::TimeSignature});
    s.setTrackType(2, 1);
    ASSERT_EQ(v.changes.size(), 1u);
    EXPECT_EQ(v.changes[0].track, 2);
    EXPECT_EQ(kinds(), std::vector<SheetChange>{SheetChange::TrackSettings});
    s.setTrackType(2, 99); // no such entry
    EXPECT_TRUE(kinds().empty());
    s.selectTrack(1);
    EXPECT_EQ(v.selected, 1);
    EXPECT_EQ(kinds(), std::vector<SheetChange>{SheetChange::Selection});
    s.setPathAndCaption("song.shd", "/tmp/song.shd");
    EXPECT_EQ(kinds(), std::vector<SheetChange>{SheetChange::Caption});
    s.snapshot();
    s.trackAt(0)->insertNote(quarterAt(0), 0);
    EXPECT_EQ(kinds(), std::vector<SheetChange>{SheetChange::Caption})
        << "the snapshot marks the sheet modified";
    s.notesChanged(0, 3);
    ASSERT_EQ(v.changes.size(), 1u);
    EXPECT_EQ(v.changes[0].kind, SheetChange::Notes);
    EXPECT_EQ(v.changes[0].track, 0);
    EXPECT_EQ(v.changes[0].fromMeasure, 3);
    v.changes.clear();
    s.undo();
    const std::vector<SheetChange> undone = kinds();
    EXPECT_EQ(undone.back(), SheetChange::Notes) << "undo lays the sheet out again";
    EXPECT_NE(std::find(undone.begin(), undone.end(), SheetChange::Caption), undone.end());
    s.announce({SheetChange::Load});
    EXPECT_EQ(kinds(), std::vector<SheetChange>{SheetChange::Load});

    // An observer may leave while it is told; it hears nothing after.
    struct Leaving : SheetObserver {
        SheetDocument* sheet = nullptr;
        int told = 0;
        void sheetChanged(const SheetChangeEvent&) override
        {
            ++told;
            sheet->removeObserver(this);
        }
    } leaving;
    leaving.sheet = &s;
    s.addObserver(&leaving);
    s.selectTrack(0);
    s.selectTrack(1);
    EXPECT_EQ(leaving.told, 1);
    s.removeObserver(&v);
    s.selectTrack(2);
    EXPECT_TRUE(v.changes.size() == 2u) << "nothing after it left";
}
