#include "platform/sheet_lock.h"
#include "score/sheet_document.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

using namespace tonvela;

namespace {

class RecordingView : public SheetView {
  public:
    void relayout() override { ++relayouts; }
    void windowTextChanged(const std::string& text) override { windowText = text; }
    void trackCountShown(int count) override { shownCount = count; }
    void trackSelected(int index) override { selected = index; }
    int relayouts = 0;
    std::string windowText;
    int shownCount = -1;
    int selected = -1;
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
    RecordingView v;
    s.setView(&v);
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

TEST(SheetDocumentTest, WindowTextCarriesOneStarWhileModified)
{
    SheetDocument s;
    RecordingView v;
    s.setView(&v);
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

TEST(SheetDocumentTest, UndoAndRedoKeepAllTracksInStepWithoutMarkingModified)
{
    SheetDocument s;
    RecordingView v;
    s.setView(&v);
    s.snapshot();
    s.trackAt(0)->insertNote(quarterAt(0), 0);
    s.trackAt(1)->insertNote(quarterAt(2), 0);
    s.snapshot();
    s.trackAt(1)->insertNote(quarterAt(3), 1);
    s.setPathAndCaption("a", "/tmp/a");
    s.undo();
    EXPECT_EQ(s.trackAt(0)->count, 1);
    EXPECT_EQ(s.trackAt(1)->count, 1);
    EXPECT_FALSE(s.modified);
    s.undo();
    EXPECT_EQ(s.trackAt(0)->count, 0);
    EXPECT_EQ(s.trackAt(1)->count, 0);
    s.redo();
    s.redo();
    EXPECT_EQ(s.trackAt(1)->count, 2);
    EXPECT_GE(v.relayouts, 4);
}

TEST(SheetDocumentTest, SnapshotClearsFreshMarks)
{
    SheetDocument s;
    s.trackAt(0)->insertNote(quarterAt(0), 0);
    EXPECT_EQ(s.trackAt(0)->noteAt(0).fresh, 1);
    s.snapshot();
    EXPECT_EQ(s.trackAt(0)->noteAt(0).fresh, 0);
}

TEST(SheetDocumentTest, TrackAddedAfterASnapshotIsLeftAloneByUndo)
{
    SheetDocument s;
    s.snapshot();
    s.setTrackCount(3);
    s.trackAt(2)->insertNote(quarterAt(0), 0);
    s.undo();
    EXPECT_EQ(s.trackAt(2)->count, 1);
}

TEST(SheetDocumentTest, TimeSignatureEntryReachesEveryTrack)
{
    SheetDocument s;
    s.setTimeSignature(7);
    EXPECT_EQ(s.timesig, kTimeSig38);
    EXPECT_EQ(s.trackAt(0)->timeSig, kTimeSig38);
    EXPECT_EQ(s.trackAt(1)->timeSig, kTimeSig38);
    EXPECT_DOUBLE_EQ(measureLengthOf(s.trackAt(0)->timeSig), 0.375);
    s.setTimeSignature(99);
    EXPECT_EQ(s.timesig, kTimeSig44);
    s.setTimeSignatureCode(123);
    EXPECT_EQ(timeSignatureInfo(s.trackAt(0)->timeSig).beatsPerMeasure, 4) << "unknown codes behave as 4/4";
    EXPECT_FALSE(s.modified);
}

TEST(SheetDocumentTest, TrackTypeChangeMovesTheNotesAndLaysTheSheetOutAgain)
{
    SheetDocument s;
    RecordingView v;
    s.setView(&v);
    s.trackAt(1)->insertNote(quarterAt(0), 0);
    s.setTrackType(1, 1); // "F Clef"
    EXPECT_EQ(s.trackAt(1)->drawmode, kDrawFClef);
    EXPECT_EQ(s.trackAt(1)->noteAt(0).line, -5);
    EXPECT_EQ(s.trackAt(1)->noteAt(0).midi, 69);
    EXPECT_EQ(s.trackAt(0)->drawmode, kDrawGClef);
    EXPECT_EQ(v.relayouts, 1);
    s.setTrackType(1, 6);
    s.setTrackType(7, 1);
    EXPECT_EQ(v.relayouts, 1) << "no such entry, no such track: nothing changes";
    EXPECT_FALSE(s.modified);
    s.setView(nullptr);
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
    s.applyToSelected(kKeepValue, 5, kKeepValue, kKeepValue, kKeepValue, -333.0);
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

// Playback divides the tracks into measures by their time signatures under the sheet lock; a
// change of the sheet's time signature must wait for it like every other edit.
TEST(SheetDocumentTest, ATimeSignatureChangeWaitsForTheSheetLock)
{
    SheetDocument s;
    std::future<void> running;
    {
        SheetLockGuard held(sheetLock());
        running = std::async(std::launch::async, [&] { s.setTimeSignatureCode(kTimeSig34); });
        EXPECT_EQ(running.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
        EXPECT_EQ(s.trackAt(1)->timeSig, kTimeSig44) << "the tracks changed without the lock";
    }
    running.get();
    EXPECT_EQ(s.trackAt(1)->timeSig, kTimeSig34);
}
