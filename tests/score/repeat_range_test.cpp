// Repeated passages with first and second endings: the sheet's list, its file text, undo.

#include "score/play_time.h"
#include "score/play_walk.h"
#include "score/repeat_range.h"
#include "score/sheet_document.h"
#include "score/sheet_file.h"
#include "score/system_repeats.h"
#include "score/voices.h"

#include <gtest/gtest.h>

#include <random>

namespace tonvela {
namespace {

using Ranges = std::vector<RepeatRange>;

TEST(RepeatRangeTest, TheTextReadsBackAsWrittenWithAndWithoutEndings)
{
    const Ranges ranges = {{1, 4, 1, 1}, {9, 12, 0, 0}, {14, 16, 0, 2}, {20, 22, 2, 0}};
    const std::string text = repeatRangesText(ranges);
    EXPECT_EQ(text, "1-4/1/1,9-12,14-16/0/2,20-22/2");
    EXPECT_EQ(parseRepeatRanges(text), ranges);
    EXPECT_EQ(parseRepeatRanges("5-5"), (Ranges{{5, 5, 0, 0}})) << "one measure without endings is a range";
    EXPECT_EQ(parseRepeatRanges("9-12,1-4/1/1"), (Ranges{{1, 4, 1, 1}, {9, 12, 0, 0}})) << "sorted";
}

TEST(RepeatRangeTest, DamagedEntriesAreDroppedAndTheGoodOnesKept)
{
    const Ranges good = {{1, 4, 1, 1}, {9, 12, 0, 0}};
    for (const char* bad : {"x",
                            "-",
                            "4-1",
                            "0-3",
                            "3-",
                            "-3",
                            "1-4/4",
                            "1-4/5/0",
                            "1-4/1/1/1",
                            "1-4//1",
                            "1-4/a",
                            "1--4",
                            " 1-4",
                            "1-4 ",
                            "99999999999-100000000000",
                            "1-2000000",
                            "2-3/0/999999999",
                            "",
                            ",",
                            "1-4;",
                            "\xff\xfe",
                            "3-6",
                            "5-5",
                            "2-2"}) {
        // The bad entry comes before, between and after the good ones; those that overlap a
        // good one (3-6, 5-5 over 1-4's second ending, 2-2) lose to the one listed first.
        for (const std::string& text :
             {std::string(bad) + ",1-4/1/1,9-12", "1-4/1/1," + std::string(bad) + ",9-12",
              "1-4/1/1,9-12," + std::string(bad)}) {
            const Ranges read = parseRepeatRanges(text);
            if (text.starts_with("3-6") || text.starts_with("5-5") || text.starts_with("2-2")) {
                // Listed first, it is kept, and 1-4 is the one that overlaps.
                EXPECT_EQ(read.size(), 2u) << text;
                continue;
            }
            EXPECT_EQ(read, good) << text;
        }
    }
    // Nested and overlapping ranges: the first listed stays.
    EXPECT_EQ(parseRepeatRanges("1-8,2-3,8-9,9-10"), (Ranges{{1, 8, 0, 0}, {9, 10, 0, 0}}));
    EXPECT_EQ(parseRepeatRanges("1-4/0/2,6-7,5-5,7-8"), (Ranges{{1, 4, 0, 2}, {7, 8, 0, 0}}))
        << "the second ending counts";
}

TEST(RepeatRangeTest, RandomTextNeverBreaksTheReaderAndGivesRangesApart)
{
    std::mt19937 rng(7);
    const std::string alphabet = "0123456789-/,,x ";
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int n = static_cast<int>(rng() % 40);
        for (int k = 0; k < n; ++k)
            text += alphabet[rng() % alphabet.size()];
        const Ranges read = parseRepeatRanges(text);
        for (std::size_t k = 0; k < read.size(); ++k) {
            EXPECT_TRUE(validRepeatRange(read[k])) << text;
            if (k > 0) {
                EXPECT_GT(read[k].first, read[k - 1].reach()) << text;
            }
        }
        EXPECT_EQ(parseRepeatRanges(repeatRangesText(read)), read) << text;
    }
    // A list far longer than any sheet needs stops at the limit.
    std::string many;
    for (int k = 1; k <= kMaxRepeatRanges + 100; ++k)
        many += std::to_string(2 * k) + "-" + std::to_string(2 * k) + ",";
    EXPECT_EQ(parseRepeatRanges(many).size(), static_cast<std::size_t>(kMaxRepeatRanges));
}

TEST(RepeatRangeTest, TheSheetFileKeepsItsRangesAndOnlySheetsWithRangesWriteThem)
{
    SheetDocument sheet;
    const std::string plain = sheetToText(sheet);
    EXPECT_EQ(plain.find("repeatranges"), std::string::npos) << "a sheet without ranges saves as before";
    sheet.setRepeatRanges({{9, 12, 0, 0}, {1, 4, 1, 1}, {3, 5, 0, 0}});
    EXPECT_EQ(sheet.repeatRanges, (Ranges{{1, 4, 1, 1}, {9, 12, 0, 0}}));
    EXPECT_EQ(sheet.trackAt(1)->repeatRanges, sheet.repeatRanges) << "every track keeps a copy";
    EXPECT_EQ(sheet.addTrack().repeatRanges, sheet.repeatRanges) << "a track added later too";
    const std::string text = sheetToText(sheet);
    ASSERT_NE(text.find("\r\nrepeatranges=\"1-4/1/1,9-12\"\r\n"), std::string::npos) << text;
    EXPECT_EQ(sheetCopyText(copySheet(sheet)), text) << "the autosave's copy keeps them";

    SheetDocument back;
    ASSERT_TRUE(loadSheetFromText(back, text).ok());
    EXPECT_EQ(back.repeatRanges, sheet.repeatRanges);
    for (int t = 0; t < back.trackCount(); ++t)
        EXPECT_EQ(back.trackAt(t)->repeatRanges, sheet.repeatRanges);
    EXPECT_EQ(sheetToText(back), text);

    // Damaged attributes keep what is good in them, and a plain file loaded over the sheet
    // leaves it without ranges.
    std::string damaged = text;
    damaged.replace(damaged.find("1-4/1/1,9-12"), 12, "1-4/9/1,,9-12,10-11,zz");
    ASSERT_TRUE(loadSheetFromText(back, damaged).ok());
    EXPECT_EQ(back.repeatRanges, (Ranges{{9, 12, 0, 0}}));
    EXPECT_EQ(back.trackAt(0)->repeatRanges, back.repeatRanges);
    ASSERT_TRUE(loadSheetFromText(back, plain).ok());
    EXPECT_TRUE(back.repeatRanges.empty());
    EXPECT_TRUE(back.trackAt(0)->repeatRanges.empty());
    EXPECT_EQ(sheetToText(back), plain);
}

TEST(RepeatRangeTest, UndoAndRedoBringBackTheRanges)
{
    SheetDocument sheet;
    sheet.snapshot();
    sheet.setRepeatRanges({{1, 4, 1, 1}});
    sheet.snapshot();
    sheet.setRepeatRanges({});
    sheet.undo();
    EXPECT_EQ(sheet.repeatRanges, (Ranges{{1, 4, 1, 1}}));
    EXPECT_EQ(sheet.trackAt(0)->repeatRanges, sheet.repeatRanges);
    sheet.redo();
    EXPECT_TRUE(sheet.repeatRanges.empty());
    EXPECT_TRUE(sheet.trackAt(1)->repeatRanges.empty());
    sheet.undo();
    sheet.undo();
    EXPECT_TRUE(sheet.repeatRanges.empty()) << "back before the range was set";
}

// A track of `measures` measures of 2/4, two quarters each: note 2(m-1) and 2(m-1)+1 lie in
// measure m.
class RepeatRangeWalkTest : public ::testing::Test {
  protected:
    void fill(int measures, int flags = 0)
    {
        sheet.setTrackCount(1);
        sheet.setTimeSignatureCode(kTimeSig24);
        Track& t = track();
        for (int i = 0; i < 2 * measures; ++i) {
            Note n;
            n.type = kTypeQuarter;
            n.dwFlag = flags;
            n.setStaffPosition(-(i % 7));
            t.insertNote(n, t.count);
        }
    }
    Track& track() { return *sheet.trackAt(0); }
    // The measures the walk plays, one entry per measure it enters.
    std::vector<int> playedMeasures()
    {
        PlayWalk walk(track());
        std::vector<int> out;
        int last = -1;
        int lastIndex = -1;
        while (const std::optional<PlayStep> step = walk.next()) {
            if (step->measure != last || step->index < lastIndex)
                out.push_back(step->measure);
            last = step->measure;
            lastIndex = step->index;
        }
        return out;
    }
    std::vector<int> playedIndices()
    {
        PlayWalk walk(track());
        std::vector<int> out;
        while (const std::optional<PlayStep> step = walk.next())
            out.push_back(step->index);
        return out;
    }
    SheetDocument sheet;
};

TEST_F(RepeatRangeWalkTest, ARangeWithoutEndingsPlaysItsMeasuresTwiceThenGoesOn)
{
    fill(5);
    sheet.setRepeatRanges({{2, 3, 0, 0}});
    EXPECT_EQ(playedIndices(), (std::vector<int>{0, 1, 2, 3, 4, 5, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(playedTicks(track()), 14 * kQuarterTicks);
    // Two ranges one after the other, the first one the first measure.
    sheet.setRepeatRanges({{1, 1, 0, 0}, {4, 5, 0, 0}});
    EXPECT_EQ(playedMeasures(), (std::vector<int>{1, 1, 2, 3, 4, 5, 4, 5}));
}

TEST_F(RepeatRangeWalkTest, TheFirstEndingPlaysOnlyOnTheFirstPassAndTheSecondPassGoesOnAfterIt)
{
    fill(6);
    sheet.setRepeatRanges({{1, 4, 1, 1}});
    EXPECT_EQ(playedMeasures(), (std::vector<int>{1, 2, 3, 4, 1, 2, 3, 5, 6}));
    EXPECT_EQ(playedTicks(track()), 18 * kQuarterTicks);
    sheet.setRepeatRanges({{2, 5, 2, 0}});
    EXPECT_EQ(playedMeasures(), (std::vector<int>{1, 2, 3, 4, 5, 2, 3, 6}));
    // The second ending changes nothing of the order: it is the way on.
    sheet.setRepeatRanges({{2, 4, 0, 2}});
    EXPECT_EQ(playedMeasures(), (std::vector<int>{1, 2, 3, 4, 2, 3, 4, 5, 6}));
}

TEST_F(RepeatRangeWalkTest, ARangeAtTheEndOfTheTrackRepeatsAndAFirstEndingThereEndsTheWalk)
{
    fill(5);
    sheet.setRepeatRanges({{4, 5, 0, 0}});
    EXPECT_EQ(playedMeasures(), (std::vector<int>{1, 2, 3, 4, 5, 4, 5}));
    sheet.setRepeatRanges({{3, 5, 1, 0}});
    EXPECT_EQ(playedMeasures(), (std::vector<int>{1, 2, 3, 4, 5, 3, 4}));
    EXPECT_EQ(playedTicks(track()), 14 * kQuarterTicks);
    // A range beyond the notes plays nothing twice; one reaching past them repeats from A.
    sheet.setRepeatRanges({{7, 9, 0, 0}});
    EXPECT_EQ(playedMeasures(), (std::vector<int>{1, 2, 3, 4, 5}));
    sheet.setRepeatRanges({{4, 9, 0, 0}});
    EXPECT_EQ(playedMeasures(), (std::vector<int>{1, 2, 3, 4, 5})) << "its end B is never reached";
    EXPECT_EQ(playTimeText(track(), 6), formatPlayTime(7 * 500)) << "measure 4 plays once";
}

TEST_F(RepeatRangeWalkTest, AMarkedMeasureInsideARangePlaysTwiceOnlyOnTheRangesFirstPass)
{
    fill(4);
    setSystemMeasureRepeat(sheet, 2, true);
    sheet.setRepeatRanges({{1, 3, 1, 0}});
    EXPECT_EQ(playedMeasures(), (std::vector<int>{1, 2, 2, 3, 1, 2, 4}));
    // A marked measure that is B itself repeats before the range goes back.
    setSystemMeasureRepeat(sheet, 2, false);
    setSystemMeasureRepeat(sheet, 3, true);
    sheet.setRepeatRanges({{2, 3, 0, 0}});
    EXPECT_EQ(playedMeasures(), (std::vector<int>{1, 2, 3, 3, 2, 3, 4}));
}

TEST_F(RepeatRangeWalkTest, ATieOverTheRangesEndOrIntoTheFirstEndingIsStruckAgain)
{
    // Every quarter carries the tie mark on one pitch: the walk merges what it may.
    sheet.setTrackCount(1);
    sheet.setTimeSignatureCode(kTimeSig24);
    for (int i = 0; i < 8; ++i) {
        Note n;
        n.type = kTypeQuarter;
        n.dwFlag = kFlagTie;
        track().insertNote(n, track().count);
    }
    sheet.setRepeatRanges({{1, 3, 1, 0}});
    PlayWalk walk(track());
    std::vector<std::pair<int, int>> steps; // index, notes held on
    while (const std::optional<PlayStep> step = walk.next())
        steps.emplace_back(step->index, step->tiedNotes);
    // Measures 1 2 | 3 (first ending) | back: 1 2 | on to 4. The ties hold inside 1..2, and
    // from 4 on; they are cut at the end of 2 (the second pass leaves there) and of 3.
    const std::vector<std::pair<int, int>> expected{{0, 3}, {4, 1}, {0, 3}, {6, 1}};
    EXPECT_EQ(steps, expected);
    EXPECT_EQ(playedTicks(track()), 12 * kQuarterTicks);
}

TEST_F(RepeatRangeWalkTest, VoiceTwoFollowsTheMeasuresOfVoiceOneThroughTheRange)
{
    // 2/4: each measure two quarters of voice 1 over a half of voice 2, which starts with the
    // first quarter and so follows it in the array.
    sheet.setTrackCount(1);
    sheet.setTimeSignatureCode(kTimeSig24);
    for (int m = 0; m < 4; ++m) {
        for (int k = 0; k < 2; ++k) {
            Note q;
            q.type = kTypeQuarter;
            q.setStaffPosition(-k);
            track().insertNote(q, track().count);
            if (k == 0) {
                Note low;
                low.type = kTypeHalf;
                low.voice = kVoice2;
                low.setStaffPosition(4);
                track().insertNote(low, track().count);
            }
        }
    }
    sheet.setRepeatRanges({{1, 3, 1, 0}});
    PlayWalk walk(track());
    std::vector<std::pair<int, Ticks>> halves; // the voice 2 half notes: index, start
    while (const std::optional<PlayStep> step = walk.next())
        if (track().noteAt(step->index).inVoice2())
            halves.emplace_back(step->index, step->start);
    const Ticks h = 2 * kQuarterTicks;
    const std::vector<std::pair<int, Ticks>> expected{{1, 0},     {4, h},     {7, 2 * h},
                                                      {1, 3 * h}, {4, 4 * h}, {10, 5 * h}};
    EXPECT_EQ(halves, expected);
    EXPECT_EQ(playedTicks(track()), 6 * h);
}

TEST_F(RepeatRangeWalkTest, TheExampleLoadsItsPassageAndBothStavesPlayItUnfolded)
{
    // The example sheet, loaded as a user opens it: 8 measures of 4/4 on two staves, measures
    // 1-4 repeated with measure 4 the first ending and 5 the second.
    ASSERT_TRUE(
        loadSheet(sheet, "volta", std::string(TONVELA_SOURCE_DIR) + "/examples/engraving_volta.shd").ok());
    EXPECT_EQ(sheet.repeatRanges, (Ranges{{1, 4, 1, 1}}));
    ASSERT_EQ(sheet.trackCount(), 2);
    for (int t = 0; t < 2; ++t) {
        PlayWalk walk(*sheet.trackAt(t));
        std::vector<int> measures;
        while (const std::optional<PlayStep> step = walk.next())
            if (measures.empty() || measures.back() != step->measure)
                measures.push_back(step->measure);
        EXPECT_EQ(measures, (std::vector<int>{1, 2, 3, 4, 1, 2, 3, 5, 6, 7, 8})) << "track " << t;
        EXPECT_EQ(playedTicks(*sheet.trackAt(t)), 11 * 4 * kQuarterTicks) << "track " << t;
    }
}

TEST_F(RepeatRangeWalkTest, ThePlayTimeOfANoteInTheRepeatedPartCountsToItsSecondPass)
{
    fill(4);
    sheet.setRepeatRanges({{1, 3, 1, 0}});
    // 1 2 3 1 2 4 at 120: a quarter is half a second. Note 2 opens measure 2, note 4 measure 3.
    EXPECT_EQ(playTimeText(track(), 3), formatPlayTime(5 * 1000)) << "the second pass of measure 2";
    EXPECT_EQ(playTimeText(track(), 4), formatPlayTime(5 * 500)) << "the first ending plays once";
    EXPECT_EQ(playTimeText(track(), 6), formatPlayTime(11 * 500));
    EXPECT_EQ(totalPlayMs(track()), 12 * 500);
}

} // namespace
} // namespace tonvela
