#include "harmony/chord_document.h"
#include "harmony/chord_entry.h"
#include "platform/notifier.h"
#include "platform/sheet_lock.h"
#include "score/note.h"
#include "score/sheet_document.h"
#include "score/sheet_file.h"
#include "score/sounding_pitch.h"
#include "score/track.h"
#include "theory/chord_formula.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace tonvela {
namespace {

class ChordEntryTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ctx.notifier = &notifier;
        ctx.relayout = [this] { ++relayouts; };
    }

    ChordSelection chord(const char* root, const char* quality)
    {
        ChordSelection s;
        s.chooseRoot(chordRootIndex(root));
        s.chooseQuality(chordQualityIndex(quality));
        return s;
    }
    static ScaleSelection scale(char root, int kind)
    {
        ScaleSelection s;
        s.root = root;
        s.pattern = scaleTable()[static_cast<std::size_t>(kind)].pattern;
        return s;
    }
    Track& track(int i = 0) { return *sheet.trackAt(i); }
    // Sounding keys of notes from..to-1 of a track.
    std::vector<int> sounding(int from, int to, int t = 0)
    {
        std::vector<int> keys;
        for (int i = from; i < to; ++i)
            keys.push_back(soundingKey(track(t).noteAt(i), track(t)));
        return keys;
    }

    SheetDocument sheet;
    CollectingNotifier notifier;
    ChordEntryContext ctx;
    int relayouts = 0;
};

TEST_F(ChordEntryTest, TriadAddsItsThreePitchesTwiceAsOneChordWithTheButtonsAsLyric)
{
    ASSERT_EQ(addChordToSheet(&sheet, chord("G#", "sus4"), false, ctx), 6);
    const Track& t = track();
    ASSERT_EQ(t.count, 6);
    // G# C# D# at octave 3, then an octave lower.
    EXPECT_EQ(sounding(0, 6), (std::vector<int>{68, 61, 63, 56, 49, 51}));
    EXPECT_EQ(t.noteAt(0).chordparent, -1);
    for (int i = 1; i < 6; ++i)
        EXPECT_EQ(t.noteAt(i).chordparent, 0);
    EXPECT_EQ(t.noteAt(0).childCount, 5);
    ASSERT_TRUE(t.noteAt(0).lyrictext());
    EXPECT_EQ(*t.noteAt(0).lyrictext(), "G# sus4");
    EXPECT_FALSE(t.noteAt(1).lyrictext());
    EXPECT_EQ(t.noteAt(0).octave, 3);
    EXPECT_EQ(t.noteAt(3).octave, 2);
    EXPECT_EQ(relayouts, 1);
    EXPECT_TRUE(sheet.modified);
    EXPECT_FALSE(t.freshTrack);
}

TEST_F(ChordEntryTest, ChordsOfFourOrMoreTokensStopAtEightNotes)
{
    EXPECT_EQ(addChordToSheet(&sheet, chord("C", "add9"), false, ctx), 8);
    EXPECT_EQ(addChordToSheet(&sheet, chord("C", "maj9"), false, ctx), 8);  // 5 + 3
    EXPECT_EQ(addChordToSheet(&sheet, chord("C", "dom13"), false, ctx), 8); // 7 + 1
    const Track& t = track();
    ASSERT_EQ(t.count, 24);
    EXPECT_EQ(sounding(8, 16), (std::vector<int>{60, 64, 67, 71, 62, 48, 52, 55}));
    EXPECT_EQ(t.noteAt(16 + 7).chordparent, 16);
}

TEST_F(ChordEntryTest, ChordNotesTakeTheToolbarDurationAndTheTracksProgram)
{
    track().iid = 40;
    ctx.toolbarType = kTypeHalf;
    ctx.markButton = true;
    addChordToSheet(&sheet, chord("D", "minor"), false, ctx);
    for (int i = 0; i < track().count; ++i) {
        EXPECT_EQ(track().noteAt(i).type, kTypeHalf);
        EXPECT_EQ(track().noteAt(i).iid, 40);
        EXPECT_TRUE(track().noteAt(i).dwFlag & kFlagChordEntry);
    }
}

TEST_F(ChordEntryTest, NothingHappensUntilRootAndQualityAreChosen)
{
    ChordSelection s;
    s.chooseRoot(3);
    EXPECT_EQ(addChordToSheet(&sheet, s, false, ctx), 0);
    EXPECT_EQ(track().count, 0);
    EXPECT_FALSE(sheet.modified);
    EXPECT_EQ(relayouts, 0);
    EXPECT_TRUE(notifier.messages.empty());
}

TEST_F(ChordEntryTest, WithoutASheetTheUserIsTold)
{
    EXPECT_EQ(addChordToSheet(nullptr, chord("C", "maj"), false, ctx), 0);
    EXPECT_EQ(addGuitarChordToSheet(nullptr, "110210321433532610", 1, ctx), 0);
    ASSERT_EQ(notifier.messages.size(), 2u);
    EXPECT_EQ(notifier.messages[0].text, "No document open to add chord");
    EXPECT_EQ(notifier.messages[0].caption, "Error");
    EXPECT_EQ(addScaleAsMelody(nullptr, scale('A', 0), ctx), 0);
    EXPECT_EQ(notifier.messages.size(), 3u);
}

TEST_F(ChordEntryTest, SheetWithoutTracksIsReportedAndLeftAlone)
{
    sheet.removeAllTracks();
    EXPECT_EQ(addChordToSheet(&sheet, chord("C", "maj"), false, ctx), 0);
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(notifier.messages[0].text, kNoTrackMessage);
}

TEST_F(ChordEntryTest, ArpeggioAddsTheSameNotesOneAfterAnotherLowestFirst)
{
    ASSERT_EQ(addChordToSheet(&sheet, chord("C", "maj"), true, ctx), 6);
    EXPECT_EQ(sounding(0, 6), (std::vector<int>{48, 52, 55, 60, 64, 67}));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(track().noteAt(i).chordparent, -1);
    ASSERT_TRUE(track().noteAt(0).lyrictext());
    EXPECT_EQ(*track().noteAt(0).lyrictext(), "C maj");
}

TEST_F(ChordEntryTest, TheCurrentTrackIsTrackZeroWhenNoneIsCurrent)
{
    ctx.currentTrack = -1;
    addChordToSheet(&sheet, chord("C", "maj"), false, ctx);
    EXPECT_EQ(ctx.currentTrack, 0);
    ctx.currentTrack = 1;
    addChordToSheet(&sheet, chord("C", "maj"), false, ctx);
    EXPECT_EQ(track(0).count, 6);
    EXPECT_EQ(track(1).count, 6);
}

TEST_F(ChordEntryTest, EMajorShapeAddsSixNotesHighestStringFirst)
{
    StaffRowCursor row;
    row.x = 100;
    ctx.currentRow = &row;
    track().noteAt(0).selected = 1;
    ASSERT_EQ(addGuitarChordToSheet(&sheet, "110210321433532610", 1, ctx), 6);
    const Track& t = track();
    const int lines[] = {-2, 1, 3, 5, 8, 12};
    const char letters[] = {'E', 'B', 'G', 'E', 'B', 'E'};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(t.noteAt(i).line, lines[i]) << i;
        EXPECT_EQ(t.noteAt(i).letter, letters[i]) << i;
        EXPECT_EQ(t.noteAt(i).type, kTypeQuarter);
        EXPECT_EQ(t.noteAt(i).selected, 0);
    }
    EXPECT_EQ(t.noteAt(2).dwFlag & kFlagSharp, kFlagSharp); // G sharp
    EXPECT_EQ(sounding(0, 6), (std::vector<int>{64, 59, 56, 52, 47, 40}));
    EXPECT_EQ(t.noteAt(5).chordparent, 0);
    EXPECT_EQ(row.x, 135);
}

TEST_F(ChordEntryTest, ShapesTakeTieDotAndTheToolbarDurationUpToSixteenths)
{
    StaffRowCursor row;
    ctx.currentRow = &row;
    ctx.tie = true;
    ctx.dot = true;
    ctx.toolbarType = kTypeEighth;
    addGuitarChordToSheet(&sheet, "110210321433532610", 1, ctx);
    EXPECT_EQ(row.x, 22);
    EXPECT_EQ(track().noteAt(0).dwFlag & (kFlagTie | kFlagDot), kFlagTie | kFlagDot);
    ctx.toolbarType = kTypeThirtySecond; // not offered for shapes: a quarter instead
    addGuitarChordToSheet(&sheet, "110210321433532610", 1, ctx);
    EXPECT_EQ(track().noteAt(6).type, kTypeQuarter);
    EXPECT_EQ(row.x, 22 + 35);
}

TEST_F(ChordEntryTest, MutedStringsAndMalformedTriplesMakeNoNotes)
{
    // A major: the lowest string is muted.
    EXPECT_EQ(addGuitarChordToSheet(&sheet, "11023333243151061X", 1, ctx), 5);
    EXPECT_EQ(sounding(0, 5), (std::vector<int>{64, 61, 57, 52, 45}));
    // Strings beyond 6, rows beyond 6, frets beyond a guitar's and a cut-off triple.
    EXPECT_EQ(addGuitarChordToSheet(&sheet, "71192133X1", 1, ctx), 0);
    EXPECT_EQ(addGuitarChordToSheet(&sheet, "121", 2000000000, ctx), 0);
    EXPECT_EQ(addGuitarChordToSheet(&sheet, "", 1, ctx), 0);
    EXPECT_EQ(track().count, 5);
    // A shape at the seventh fret: string 1, row 2 is the B above the open E.
    EXPECT_EQ(addGuitarChordToSheet(&sheet, "121", 7, ctx), 1);
    EXPECT_EQ(sounding(5, 6), std::vector<int>{71});
}

TEST_F(ChordEntryTest, ScaleAsChordGoesOnTheLastRowAndBreaksTheRowNearItsEnd)
{
    StaffRowCursor last;
    last.left = 50;
    last.right = 600;
    last.x = 560;
    last.top = 200;
    last.track = 1;
    ctx.lastRow = &last;
    ctx.toolbarType = kTypeHalf;
    ASSERT_EQ(addScaleAsChord(&sheet, scale('A', 0), ctx), 8);
    EXPECT_EQ(track(1).count, 8);
    EXPECT_EQ(track(0).count, 0);
    EXPECT_EQ(sounding(0, 8, 1), (std::vector<int>{69, 71, 73, 74, 76, 78, 80, 81}));
    EXPECT_EQ(last.top, 330);
    EXPECT_EQ(last.x, 90);
    ctx.toolbarType = kTypeThirtySecond;
    addScaleAsChord(&sheet, scale('A', 4), ctx);
    EXPECT_EQ(last.x, 90); // thirty-seconds do not move the cursor
    EXPECT_EQ(track(1).count, 15);
}

TEST_F(ChordEntryTest, ScaleAsMelodyStartsInTheChosenRootOctave)
{
    ctx.rootOctaveEntry = 1; // "1": an octave below middle C
    ASSERT_EQ(addScaleAsMelody(&sheet, scale('C', 0), ctx), 8);
    EXPECT_EQ(sounding(0, 8), (std::vector<int>{48, 50, 52, 53, 55, 57, 59, 60}));
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(track().noteAt(i).chordparent, -1);
    ctx.rootOctaveEntry = 0;
    EXPECT_EQ(addScaleAsMelody(&sheet, scale('A', 2), ctx), 6);
    EXPECT_EQ(sounding(8, 9), std::vector<int>{69});
}

TEST_F(ChordEntryTest, ScaleCommandsWithoutAPatternSaySo)
{
    ScaleSelection none;
    EXPECT_EQ(addScaleAsMelody(&sheet, none, ctx), 0);
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(notifier.messages[0].text, kNoScaleChosenMessage);
}

TEST_F(ChordEntryTest, EveryCommandIsOneUndoStep)
{
    addChordToSheet(&sheet, chord("C", "maj"), false, ctx);
    addGuitarChordToSheet(&sheet, "110210321433532610", 1, ctx);
    ASSERT_EQ(track().count, 12);
    sheet.undo();
    EXPECT_EQ(track().count, 6);
    sheet.undo();
    EXPECT_EQ(track().count, 0);
}

TEST_F(ChordEntryTest, ACommitHookReceivesEachAppendAsOneEditOfTheRightTrack)
{
    std::vector<int> commits;
    ctx.commit = [&](int t, const std::function<void()>& append) {
        commits.push_back(t);
        const SheetLockGuard lock(sheetLock());
        sheet.snapshot(SnapshotKind::Insert, t);
        append();
    };
    sheet.setTrackCount(2);
    ctx.currentTrack = 1;
    ASSERT_EQ(addChordToSheet(&sheet, chord("C", "maj"), false, ctx), 6);
    ASSERT_EQ(addScaleAsMelody(&sheet, scale('C', 0), ctx), 8);
    EXPECT_EQ(commits, (std::vector<int>{1, 1}));
    EXPECT_EQ(relayouts, 0) << "the edit lays the sheet out";
    EXPECT_EQ(track(1).count, 14);
    sheet.undo();
    EXPECT_EQ(track(1).count, 6);
    sheet.undo();
    EXPECT_EQ(track(1).count, 0);
    EXPECT_FALSE(sheet.canUndo()) << "no snapshot besides the hook's";

    // Nothing to add: no edit, but the cleared selection is laid out.
    EXPECT_EQ(addGuitarChordToSheet(&sheet, "11X21X31X41X51X61X", 1, ctx), 0);
    EXPECT_EQ(commits.size(), 2u);
    EXPECT_EQ(relayouts, 1);
}

// At the moment an entry takes its undo snapshot, a second thread (the painter, the playback)
// asks for the sheet lock. It must get it only once the entry is whole, not between the
// snapshot and the notes.
class SnapshotMomentView : public SheetObserver {
  public:
    explicit SnapshotMomentView(const Track& track) : m_track(track) {}
    ~SnapshotMomentView() override
    {
        if (m_other.joinable())
            m_other.join();
    }
    SnapshotMomentView(const SnapshotMomentView&) = delete;
    SnapshotMomentView& operator=(const SnapshotMomentView&) = delete;

    // The snapshot marks the sheet modified, which changes the window text.
    void sheetChanged(const SheetChangeEvent& change) override
    {
        if (change.kind != SheetChange::Caption || m_other.joinable())
            return;
        m_other = std::thread([this] {
            const SheetLockGuard lock(sheetLock());
            m_seen = m_track.count;
        });
        // Let the other thread queue for the lock before the entry goes on.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    int seenNotes()
    {
        if (m_other.joinable())
            m_other.join();
        return m_seen;
    }

  private:
    const Track& m_track;
    std::thread m_other;
    int m_seen = -1;
};

TEST_F(ChordEntryTest, OtherThreadsSeeAChordEitherWholeOrNotAtAll)
{
    for (const bool arpeggio : {false, true}) {
        SheetDocument fresh;
        SnapshotMomentView view(*fresh.trackAt(0));
        fresh.addObserver(&view);
        ASSERT_EQ(addChordToSheet(&fresh, chord("C", "maj"), arpeggio, ctx), 6);
        EXPECT_EQ(view.seenNotes(), 6) << (arpeggio ? "arpeggio" : "chord");
        fresh.removeObserver(&view);
    }
}

TEST_F(ChordEntryTest, ChordsSoundTheChosenPitchesOnEveryClefAndKey)
{
    sheet.setTrackCount(3);
    track(0).setKeyIndex(5);                   // D major: F and C sharp
    setStaffKind(track(1), StaffKind::FClef);  // reads every position five steps lower
    track(1).setKeyIndex(9);                   // B flat major
    setStaffKind(track(2), StaffKind::G2Clef); // sounds 12 above
    for (int t = 0; t < 3; ++t) {
        ctx.currentTrack = t;
        addChordToSheet(&sheet, chord("C", "dom7"), false, ctx);
        addGuitarChordToSheet(&sheet, "121221332444543621", 1, ctx); // F major barre
        EXPECT_EQ(sounding(0, 8, t), (std::vector<int>{60, 64, 67, 70, 48, 52, 55, 58})) << t;
        EXPECT_EQ(sounding(8, 14, t), (std::vector<int>{65, 60, 57, 53, 48, 41})) << t;
    }
    // Stored keys stay the natural of each position, so the notes read back the same.
    SheetDocument copy;
    ASSERT_TRUE(loadSheetFromText(copy, sheetToText(sheet)).ok());
    for (int t = 0; t < 3; ++t)
        for (int i = 0; i < 14; ++i)
            EXPECT_EQ(soundingKey(copy.trackAt(t)->noteAt(i), *copy.trackAt(t)), sounding(i, i + 1, t)[0]);
}

TEST_F(ChordEntryTest, ChordDocumentDiagramsGoToTheSheetInOrder)
{
    ChordDocument doc;
    doc.addDiagram("E", "", "110210321433532610", 1);
    doc.addDiagram("A", "", "11023333243151061X", 1);
    doc.setSelected(1, true);
    EXPECT_EQ(addDiagramsToSheet(doc, true, &sheet, ctx), 5);
    EXPECT_EQ(addDiagramsToSheet(doc, false, &sheet, ctx), 11);
    EXPECT_EQ(track().count, 16);
    EXPECT_EQ(addDiagramsToSheet(doc, false, nullptr, ctx), 0);
    EXPECT_EQ(notifier.messages.back().text, kNoDocumentForChordMessage);
}

} // namespace
} // namespace tonvela
