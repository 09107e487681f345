#include "platform/sheet_lock.h"
#include "score/duration.h"
#include "score/loop_rule.h"
#include "score/markup_tree.h"
#include "score/play_time.h"
#include "score/sheet_document.h"
#include "score/sounding_pitch.h"
#include "score/track.h"
#include "score/track_element.h"
#include "score/track_type.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>

using namespace tonvela;

namespace {

Note quarter(int line = 0, int type = kTypeQuarter)
{
    Note n;
    n.type = type;
    n.setStaffPosition(line);
    return n;
}

// Appends notes of the given staff positions; returns the track for chaining.
Track& fill(Track& t, std::initializer_list<int> lines)
{
    for (int l : lines)
        t.insertNote(quarter(l), t.count);
    return t;
}

std::vector<int> lines(const Track& t)
{
    std::vector<int> out;
    out.reserve(static_cast<std::size_t>(t.count));
    for (int i = 0; i < t.count; ++i)
        out.push_back(t.noteAt(i).line);
    return out;
}

} // namespace

TEST(TrackTest, NoteArrayGrowsThirtyTwoBeforeItsCapacity)
{
    Track t;
    EXPECT_EQ(t.capacity(), 64);
    t.noteAt(31);
    EXPECT_EQ(t.capacity(), 64);
    t.noteAt(32);
    EXPECT_EQ(t.capacity(), 128);
    EXPECT_EQ(t.highWater(), 33);
    EXPECT_EQ(&t.noteAt(-5), &t.noteAt(0));
    EXPECT_EQ(t.count, 0) << "asking for a note does not create one";
}

TEST(TrackTest, InsertKeepsChordLinksPointingAtTheirRoots)
{
    Track t;
    fill(t, {0, -2});
    t.noteAt(1).chordparent = 0;
    t.insertNote(quarter(3), 0);
    EXPECT_EQ(t.noteAt(2).chordparent, 1);
    EXPECT_EQ(lines(t), (std::vector<int>{3, 0, -2}));
    EXPECT_TRUE(t.eventsStale);
    EXPECT_FALSE(t.freshTrack);
}

TEST(TrackTest, RemovingARootAttachesItsMembersToTheNextNote)
{
    Track t;
    fill(t, {0, 1, 2, 3});
    t.noteAt(1).chordparent = 0;
    t.noteAt(2).chordparent = 0;
    t.noteAt(3).chordparent = 0;
    t.rebuildChordLists();
    t.removeNote(0);
    EXPECT_EQ(t.count, 3);
    EXPECT_EQ(t.noteAt(0).chordparent, 0) << "the first member took the root's place";
    EXPECT_EQ(t.noteAt(1).chordparent, 0);
    EXPECT_EQ(t.noteAt(3).type, 0) << "slots past the count hold constructed notes";
}

TEST(TrackTest, RemoveAdjustsMemberListsAboveTheIndex)
{
    Track t;
    fill(t, {0, 5, 1, 2});
    t.noteAt(2).chordparent = 1;
    t.noteAt(3).chordparent = 1;
    t.rebuildChordLists();
    t.removeNote(0);
    EXPECT_EQ(t.noteAt(0).childCount, 2);
    EXPECT_EQ(t.noteAt(0).children[0], 1);
    EXPECT_EQ(t.noteAt(0).children[1], 2);
    EXPECT_EQ(t.noteAt(1).chordparent, 0);
}

TEST(TrackTest, InsertRecordsNoteOnAndOffEventsInTickOrder)
{
    Track t;
    t.division = 480;
    fill(t, {0, 0});
    t.noteAt(0).type = kTypeHalf;
    Note n = quarter(-1, kTypeEighth);
    t.insertNote(n, 1);
    ASSERT_EQ(t.events.size(), 6u);
    // The third insert starts after the half note: 192 ticks at 96 per quarter is 960 at 480.
    bool found = false;
    for (std::size_t i = 0; i < t.events.size(); ++i) {
        if (t.events[i].kind == 0 && t.events[i].tick == 960) {
            found = true;
            EXPECT_EQ(t.events[i].noteIndex, 1);
        }
        if (i > 0) {
            EXPECT_LE(t.events[i - 1].tick, t.events[i].tick);
            if (t.events[i - 1].tick == t.events[i].tick) {
                EXPECT_GE(t.events[i - 1].kind, t.events[i].kind) << "note-offs come first";
            }
        }
    }
    EXPECT_TRUE(found);
}

TEST(TrackTest, NewEventsGoBeforeEventsOfTheirTickAndKind)
{
    Track t;
    t.events.push_back({0, 0, 7, 60, 100, 63, 0, 0, 0});
    t.events.push_back({1, 96, 7, 60, 0, 63, 0, 0, 0});
    t.events.push_back({0, 96, 8, 62, 100, 63, 0, 0, 0});
    Note n = quarter(0);
    t.insertNote(n, 0);
    ASSERT_EQ(t.events.size(), 5u);
    // on(0) new, on(0) old, off(96) new, off(96) old, on(96) old
    EXPECT_EQ(t.events[0].noteIndex, 0);
    EXPECT_EQ(t.events[1].noteIndex, 7);
    EXPECT_EQ(t.events[2].kind, 1);
    EXPECT_EQ(t.events[2].noteIndex, 0);
    EXPECT_EQ(t.events[3].noteIndex, 7);
    EXPECT_EQ(t.events[4].noteIndex, 8);
}

TEST(TrackTest, ChordListsStopAtThirtyTwoMembers)
{
    Track t;
    for (int i = 0; i < 40; ++i)
        t.insertNote(quarter(i % 7), t.count);
    for (int i = 1; i < 40; ++i)
        t.noteAt(i).chordparent = 0;
    t.rebuildChordLists();
    EXPECT_EQ(t.noteAt(0).childCount, kMaxChordMembers);
    EXPECT_EQ(t.noteAt(0).children[31], 32);
}

TEST(TrackTest, SanitizingDetachesBadLinksAndLoops)
{
    Track t;
    for (int i = 0; i < 40; ++i)
        t.insertNote(quarter(), t.count);
    t.noteAt(1).chordparent = 99; // outside the track
    t.noteAt(2).chordparent = 2;  // itself
    t.noteAt(3).chordparent = 1;  // fine: 1 becomes a root
    t.noteAt(4).chordparent = 3;  // points at a member
    for (int i = 6; i < 40; ++i)
        t.noteAt(i).chordparent = 5; // 34 members, two too many
    t.noteAt(0).loopCount = 2;
    t.noteAt(0).loopTo = 40;
    t.noteAt(7).loopCount = -3;
    t.sanitizeLinks();
    EXPECT_EQ(t.noteAt(1).chordparent, -1);
    EXPECT_EQ(t.noteAt(2).chordparent, -1);
    EXPECT_EQ(t.noteAt(3).chordparent, 1);
    EXPECT_EQ(t.noteAt(4).chordparent, -1);
    int members = 0;
    for (int i = 6; i < 40; ++i)
        members += t.noteAt(i).chordparent == 5;
    EXPECT_EQ(members, kMaxChordMembers);
    EXPECT_EQ(t.noteAt(0).loopCount, 0);
    EXPECT_EQ(t.noteAt(7).loopCount, 0);
}

TEST(TrackTest, UndoRestoresEveryStepAndStopsAtTheOldest)
{
    Track t;
    const int edits = 62;
    for (int i = 0; i < edits; ++i) {
        t.snapshot();
        t.insertNote(quarter(i % 10), t.count);
    }
    for (int i = 0; i < edits; ++i) {
        t.undo();
        EXPECT_EQ(t.count, edits - 1 - i);
    }
    t.undo();
    EXPECT_EQ(t.count, 0);
    EXPECT_FALSE(t.canUndo());
    for (int i = 0; i < edits; ++i)
        t.redo();
    EXPECT_EQ(t.count, edits);
    EXPECT_EQ(t.noteAt(edits - 1).line, (edits - 1) % 10);
}

TEST(TrackTest, AfterManyEditsAtMostSixtyTwoUndosArePossible)
{
    Track t;
    for (int i = 0; i < 100; ++i) {
        t.snapshot();
        t.insertNote(quarter(), t.count);
    }
    int undone = 0;
    while (t.canUndo() && undone < 200) {
        t.undo();
        ++undone;
    }
    EXPECT_EQ(undone, 62);
    EXPECT_EQ(t.count, 38);
}

TEST(TrackTest, UndoRightAfterAnEditCanBeRedone)
{
    Track t;
    fill(t, {0});
    t.snapshot();
    t.noteAt(0).setStaffPosition(4);
    t.noteAt(0).setLyric("changed");
    t.undo();
    EXPECT_EQ(t.noteAt(0).line, 0);
    EXPECT_FALSE(t.noteAt(0).lyrictext().has_value());
    t.redo();
    EXPECT_EQ(t.noteAt(0).line, 4);
    EXPECT_EQ(t.noteAt(0).lyrictext(), "changed");
    t.redo();
    EXPECT_EQ(t.noteAt(0).line, 4);
}

TEST(TrackTest, RedoAfterAFreshEditDoesNothing)
{
    Track t;
    // Wrap the ring so that stale snapshots sit after the head.
    for (int i = 0; i < 70; ++i) {
        t.snapshot();
        t.insertNote(quarter(), t.count);
    }
    t.undo();
    t.undo();
    t.snapshot();
    t.insertNote(quarter(5), t.count);
    const int before = t.count;
    t.redo();
    EXPECT_EQ(t.count, before);
    EXPECT_EQ(t.noteAt(before - 1).line, 5);
}

TEST(TrackTest, UndoWithNothingRecordedDoesNothing)
{
    Track t;
    fill(t, {1, 2});
    t.undo();
    t.redo();
    EXPECT_EQ(t.count, 2);
}

TEST(TrackTest, SnapshotsRestoreChordLinksAndNotesInTheMiddle)
{
    Track t;
    for (int i = 0; i < 300; ++i)
        t.insertNote(quarter(i % 9), t.count);
    t.noteAt(151).chordparent = 150;
    t.rebuildChordLists();
    t.snapshot();
    t.insertNote(quarter(-6), 150);
    t.snapshot();
    t.removeNote(10);
    t.noteAt(299 - 1).volume = 3;
    t.undo();
    EXPECT_EQ(t.count, 301);
    EXPECT_EQ(t.noteAt(150).line, -6);
    EXPECT_EQ(t.noteAt(152).chordparent, 151);
    EXPECT_EQ(t.noteAt(151).childCount, 1);
    EXPECT_EQ(t.noteAt(299).volume, 127);
    t.undo();
    EXPECT_EQ(t.count, 300);
    EXPECT_EQ(t.noteAt(150).line, 150 % 9);
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(t.noteAt(i).line, i % 9) << i;
}

TEST(TrackTest, KeyAccidentalReportsFlatsOneStepBelow)
{
    Track f;
    f.setKeyIndex(8); // F major
    EXPECT_EQ(keyAccidental(f, -5), -1) << "the B above reads K(-5) and sounds flat";
    EXPECT_EQ(keyAccidental(f, -6), 0);
    EXPECT_EQ(keyAccidental(f, 0), 0);

    Track g;
    g.setKeyIndex(6); // G major: F sharp
    EXPECT_EQ(keyAccidental(g, -3), 1);
    EXPECT_EQ(keyAccidental(g, 4), 1) << "every octave";
    EXPECT_EQ(keyAccidental(g, 0), 0);

    Track c;
    for (int p = -20; p <= 20; ++p)
        EXPECT_EQ(keyAccidental(c, p), 0) << p;

    Track fs;
    fs.setKeyIndex(1); // F# major: E sharp is in the scale
    EXPECT_EQ(keyAccidental(fs, -2), 1);
    Track cs;
    cs.setKeyIndex(0); // C# major: B sharp too
    EXPECT_EQ(keyAccidental(cs, 1), 1);
}

TEST(TrackTest, TempoScalesLengthsRoundedToNearest)
{
    Track t;
    t.tempo = 60;
    EXPECT_EQ(msAtTempo(kQuarterTicks, t.tempo), 1000);
    t.tempo = 240;
    EXPECT_EQ(msAtTempo(kQuarterTicks, t.tempo), 250);
    t.tempo = 0;
    EXPECT_GT(msAtTempo(kQuarterTicks, t.tempo), 0) << "a zero tempo never divides by zero";
}

TEST(TrackTest, PlayTimeFollowsLoopsAndChords)
{
    Track t;
    fill(t, {0, 0, 0, 0, 0});
    t.noteAt(1).type = kTypeHalf;
    t.noteAt(2).chordparent = 1; // a member does not add time of its own
    t.noteAt(2).type = kTypeWhole;
    t.rebuildChordLists();
    t.noteAt(3).loopTo = 0;
    t.noteAt(3).loopCount = 2;
    // Roots 0 (500), 1 (whole member: 2000), 3 (500); played 3 times, then note 4 (500).
    EXPECT_EQ(totalPlayMs(t), 3 * 3000 + 500);
    EXPECT_EQ(playTimeText(t, 4), "00:09");
    t.tempo = 60;
    EXPECT_EQ(totalPlayMs(t), 2 * (3 * 3000 + 500));
}

TEST(TrackTest, PlayStartsAtTheStepThatHoldsANote)
{
    Track t;
    fill(t, {0, 0, -1, -2, -3, -4});
    t.noteAt(0).dwFlag = kFlagTie; // 0 and 1 are one tied C
    t.noteAt(1).dwFlag = kFlagTie;
    t.noteAt(3).chordparent = 2; // a member of the chord at 2
    t.noteAt(4).type = kTypeBar;
    t.rebuildChordLists();
    EXPECT_EQ(playedTicksBefore(t, 0), 0);
    EXPECT_EQ(playedTicksBefore(t, 1), 0) << "the tied-on note plays with the note it is tied to";
    EXPECT_EQ(playedTicksBefore(t, 2), 2 * kQuarterTicks);
    EXPECT_EQ(playedTicksBefore(t, 3), 2 * kQuarterTicks) << "a member starts with its root";
    EXPECT_EQ(playedTicksBefore(t, 4), 3 * kQuarterTicks);
    EXPECT_EQ(playedTicksBefore(t, 5), 3 * kQuarterTicks) << "the bar line takes no time";
    EXPECT_EQ(playedTicksBefore(t, 6), std::nullopt);
    EXPECT_EQ(playedTicksBefore(t, -1), std::nullopt);

    // A looped part: its notes start at their first pass.
    t.noteAt(5).loopTo = 2;
    t.noteAt(5).loopCount = 3;
    EXPECT_EQ(playedTicksBefore(t, 5), 3 * kQuarterTicks);
}

TEST(TrackTest, PlayAllFractionsCountInTheLongestTrackAtEachTracksTempo)
{
    SheetDocument sheet;
    sheet.setTrackCount(2);
    fill(*sheet.trackAt(0), {0, 0, 0, 0}); // 2 s at 120
    Track& slow = *sheet.trackAt(1);
    fill(slow, {0, 0, 0, 0, 0}); // 5 s at 60
    slow.tempo = 60;
    EXPECT_DOUBLE_EQ(*playAllFractionAt(sheet, 1, 2), 0.4);
    EXPECT_DOUBLE_EQ(*playAllFractionAt(sheet, 0, 3), 0.3);
    EXPECT_EQ(playAllFractionAt(sheet, 2, 0), std::nullopt);
    EXPECT_EQ(playAllFractionAt(sheet, 0, 9), std::nullopt);

    SheetDocument empty;
    empty.setTrackCount(1);
    empty.trackAt(0)->insertNote(quarter(0, kTypeBar), 0);
    EXPECT_EQ(playAllFractionAt(empty, 0, 0), std::nullopt) << "a sheet that plays for no time";
}

TEST(TrackTest, PlayTimeTextPadsWithZeros)
{
    Track t;
    for (int i = 0; i < 150; ++i)
        t.insertNote(quarter(), t.count);
    EXPECT_EQ(playTimeText(t, 149), "01:15");
    EXPECT_EQ(playTimeText(t, 0), "00:00");
}

TEST(TrackTest, AbsurdLoopCountsCannotMakeWalksEndless)
{
    Track t;
    fill(t, {0, 0, 0});
    t.noteAt(2).loopTo = 0;
    t.noteAt(2).loopCount = 2000000000;
    const long long total = totalPlayMs(t);
    EXPECT_GT(total, 0);
    EXPECT_LE(total, kMaxWalkSteps * 500);
}

TEST(TrackTest, LoopRuleTakesOneLoopAtATime)
{
    Track t;
    fill(t, {0, 0, 0, 0, 0});
    t.noteAt(3).loopTo = 0;
    t.noteAt(3).loopCount = 2;
    LoopState s;
    std::vector<int> order;
    for (int i = 0, guard = 0; i < t.count && guard < 100; ++guard) {
        order.push_back(i);
        i = applyLoopRule(t, i, s);
    }
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 4}));
}

TEST(TrackTest, ClefChangesMoveNotesSoTheySoundTheSame)
{
    Track t;
    fill(t, {0});
    setTrackType(t, 1);
    EXPECT_EQ(staffKindOf(t), StaffKind::FClef);
    EXPECT_EQ(t.noteAt(0).line, -5);
    EXPECT_EQ(t.noteAt(0).midi, 69);
    setTrackType(t, 0);
    EXPECT_EQ(staffKindOf(t), StaffKind::GClef);
    EXPECT_EQ(t.noteAt(0).line, 0);
    EXPECT_EQ(t.noteAt(0).midi, 60);
    setTrackType(t, 4);
    EXPECT_EQ(t.noteAt(0).line, 7);
    EXPECT_EQ(t.noteAt(0).midi, 48);
    setTrackType(t, 2);
    EXPECT_TRUE(t.percussive);
    EXPECT_EQ(t.drawmode, staffKindInfo(StaffKind::GClef).drawmode);
    setTrackType(t, 3);
    EXPECT_FALSE(t.percussive);
    EXPECT_EQ(staffKindOf(t), StaffKind::Tablature);
}

TEST(TrackTest, ConfigLineIsWrittenAsFilesExpect)
{
    Track t;
    std::string out;
    writeTrackElement(t, out);
    EXPECT_EQ(out, "<track>\r\n<config\r\n"
                   "bpm=120 devid=0 iid=0 groupid=0 key=C keyindex=7 tempo=120 drawmode=0 percussive=0 >\r\n"
                   "</config>\r\n</track>\r\n");
}

TEST(TrackTest, ReadingConfigAppliesDefaultsAndFlatKeys)
{
    auto read = [](const std::string& config) {
        const MarkupTree tree = parseMarkup("<track>\r\n" + config + "</track>\r\n");
        auto t = std::make_unique<Track>();
        readTrackElement(*t, tree.root);
        return t;
    };
    auto plain = read("<config\r\ntempo=90 >\r\n</config>\r\n");
    EXPECT_EQ(plain->keyindex, 7);
    EXPECT_EQ(plain->key, 'C');
    EXPECT_FALSE(plain->flatKey);
    EXPECT_EQ(plain->tempo, 90);
    auto flat = read("<config\r\nkeyindex=10 key=3 percussive=5 >\r\n</config>\r\n"
                     "<note\r\nmidi=62 dwFlag=6 >\r\n</note>\r\n");
    EXPECT_TRUE(flat->flatKey);
    EXPECT_EQ(flat->key, '3');
    EXPECT_EQ(flat->percussive, 1);
    ASSERT_EQ(flat->count, 1);
    EXPECT_EQ(flat->noteAt(0).dwFlag, kFlagTie) << "notes of a percussion track carry no accidentals";
    auto hostile = read("<config\r\ntempo=0 drawmode=77 key=\x01 >\r\n</config>\r\n");
    EXPECT_EQ(hostile->tempo, 1);
    EXPECT_EQ(staffKindOf(*hostile), StaffKind::GClef);
    EXPECT_EQ(hostile->key, 'C');
}

TEST(TrackTest, UndoBringsBackContentAndSelection)
{
    Track t;
    fill(t, {0, 2});
    t.noteAt(1).selected = 1;
    t.noteAt(1).setLabel("verse");
    t.snapshot();
    t.noteAt(1).selected = 0;
    t.noteAt(1).setLabel("chorus");
    t.noteAt(1).volume = 10;
    t.undo();
    EXPECT_EQ(t.noteAt(1).labelText(), "verse");
    EXPECT_EQ(t.noteAt(1).volume, 127);
    EXPECT_EQ(t.noteAt(1).selected, 1);
}

// A track takes no lock of its own: the sheet lock is taken one level up, around a whole edit
// (SheetEditor::edit, the loaders), so that the painter and playback threads see the sheet
// before the edit or after it, never between two steps of it. Each edit of a track runs on a
// second thread while this thread holds the lock, and ends without waiting for it.
TEST(TrackTest, EditsOfTheNotesTakeNoLockOfTheirOwn)
{
    struct Edit {
        const char* name;
        std::function<void(Track&)> run;
        std::function<bool(const Track&)> done;
    };
    const std::vector<Edit> edits{
        {"removeNote", [](Track& t) { t.removeNote(0); }, [](const Track& t) { return t.count == 2; }},
        {"insertNote", [](Track& t) { t.insertNote(quarter(5), 0); },
         [](const Track& t) { return t.count == 4; }},
        {"applyToSelected",
         [](Track& t) { t.applyToSelected(12, kKeepValue, kKeepValue, kKeepValue, kKeepValue, 0); },
         [](const Track& t) { return t.noteAt(1).volume == 12; }},
        {"deselectAll", [](Track& t) { t.deselectAll(); },
         [](const Track& t) { return t.noteAt(1).selected == 0; }},
        {"setTrackType", [](Track& t) { setTrackType(t, 1); },
         [](const Track& t) { return staffKindOf(t) == StaffKind::FClef; }},
        {"growth", [](Track& t) { t.noteAt(500); }, [](const Track& t) { return t.capacity() > 500; }},
        {"undo", [](Track& t) { t.undo(); }, [](const Track& t) { return t.noteAt(0).line == 0; }},
        {"setKeyIndex", [](Track& t) { t.setKeyIndex(10); }, [](const Track& t) { return t.keyindex == 10; }},
    };
    for (const Edit& edit : edits) {
        Track t;
        fill(t, {0, 1, 2});
        t.noteAt(1).selected = 1;
        t.snapshot();
        t.noteAt(0).setStaffPosition(6);
        SheetLockGuard held(sheetLock());
        std::future<void> running = std::async(std::launch::async, [&] { edit.run(t); });
        ASSERT_EQ(running.wait_for(std::chrono::seconds(10)), std::future_status::ready)
            << edit.name << " waited for the sheet lock";
        running.get();
        EXPECT_TRUE(edit.done(t)) << edit.name;
    }
}
