// The walk of what a track plays: steps, places and lengths in playing and in written order.

#include "score/play_walk.h"

#include <gtest/gtest.h>

#include <vector>

namespace tonvela {
namespace {

constexpr Ticks Q = kQuarterTicks;

class PlayWalkTest : public ::testing::Test {
  protected:
    Note& add(int type, int line = 0, int flags = 0)
    {
        Note n;
        n.type = type;
        n.setStaffPosition(line);
        n.dwFlag = flags;
        track.noteAt(track.count) = n;
        return track.noteAt(track.count++);
    }
    Note& member(int root, int type, int line)
    {
        Note& m = add(type, line);
        m.chordparent = static_cast<int16_t>(root);
        track.rebuildChordLists();
        return m;
    }
    std::vector<PlayStep> walk(WalkOrder order = WalkOrder::Played)
    {
        track.rebuildChordLists();
        PlayWalk w(track, order);
        std::vector<PlayStep> steps;
        while (const auto s = w.next())
            steps.push_back(*s);
        return steps;
    }
    static std::vector<int> indices(const std::vector<PlayStep>& steps)
    {
        std::vector<int> out;
        for (const PlayStep& s : steps)
            out.push_back(s.index);
        return out;
    }
    Track track;
};

TEST_F(PlayWalkTest, StepsFollowOneAnotherAtExactPlaces)
{
    add(kTypeQuarter);
    add(kTypeThirtySecond);
    add(kTypeSixteenth, 0, kFlagDot);
    add(kTypeHalf, 0, kFlagRest);
    const auto steps = walk();
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(steps[1].start, Q);
    EXPECT_EQ(steps[2].start, Q + Q / 8);
    EXPECT_EQ(steps[3].start, Q + Q / 8 + 3 * Q / 8);
    EXPECT_EQ(steps[3].kind, PlayKind::Rest);
    EXPECT_EQ(steps[3].length, 2 * Q);
}

TEST_F(PlayWalkTest, TiedNotesOfOnePitchAreOneStepAndTheWalkGoesOnAfterThem)
{
    add(kTypeQuarter, 0, kFlagTie);
    add(kTypeHalf, 0, kFlagTie);
    add(kTypeEighth, 0, kFlagTie);
    add(kTypeQuarter, -1, kFlagTie); // another pitch: struck afresh
    const auto steps = walk();
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].tiedNotes, 2);
    EXPECT_EQ(steps[0].lastTied, 2);
    EXPECT_EQ(steps[0].length, Q + 2 * Q + Q / 2);
    EXPECT_EQ(steps[1].index, 3);
    EXPECT_EQ(steps[1].start, steps[0].length);
    std::vector<std::pair<int, Ticks>> links;
    forEachTiedNote(track, steps[0], [&](int u, Ticks at) { links.emplace_back(u, at); });
    EXPECT_EQ(links, (std::vector<std::pair<int, Ticks>>{{0, 0}, {1, Q}, {2, 3 * Q}}));
}

TEST_F(PlayWalkTest, ATieChainHoldsAtMost101Notes)
{
    for (int i = 0; i < 150; ++i)
        add(kTypeSixteenth, 0, kFlagTie);
    const auto steps = walk();
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].tiedNotes + 1, 101);
    EXPECT_EQ(steps[1].index, 101);
    EXPECT_EQ(steps[1].tiedNotes + 1, 49);
}

TEST_F(PlayWalkTest, ATieIntoABarLineEndsThere)
{
    add(kTypeQuarter, 0, kFlagTie);
    add(kTypeBar, 0, kFlagTie);
    add(kTypeQuarter, 0, kFlagTie);
    const auto steps = walk();
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[0].tiedNotes, 0);
    EXPECT_EQ(steps[1].kind, PlayKind::Mark);
    EXPECT_EQ(steps[1].length, 0);
    EXPECT_EQ(steps[2].start, Q);
}

TEST_F(PlayWalkTest, AChordMemberLongerThanItsRootHoldsTheStepButNotTheScore)
{
    add(kTypeQuarter, 0);
    member(0, kTypeHalf, -2).dwStopOffset = -30;
    add(kTypeQuarter, -4);
    const auto steps = walk();
    ASSERT_EQ(steps.size(), 2u) << "a member is part of its root's step";
    EXPECT_EQ(steps[0].length, Q);
    EXPECT_EQ(steps[0].held, 2 * Q);
    EXPECT_EQ(steps[1].start, Q) << "the notation places the next note after the root";
    std::vector<int> notes;
    forEachPlayedNote(track, steps[0], [&](const PlayedNote& p) {
        notes.push_back(p.index);
        if (!p.root) {
            EXPECT_EQ(p.length, 2 * Q);
            EXPECT_EQ(p.stopOffsetMs, -30);
        }
    });
    EXPECT_EQ(notes, (std::vector<int>{0, 1}));
}

TEST_F(PlayWalkTest, LoopsAndRepeatsUnfoldInPlayingOrderOnly)
{
    // 2/4: C D | E F | G, measure 2 marked; G loops back to C once.
    for (int i = 0; i < 5; ++i)
        add(kTypeQuarter, -i);
    track.timeSig = kTimeSig24;
    track.measureRepeats.set(2, true);
    track.noteAt(4).loopTo = 0;
    track.noteAt(4).loopCount = 1;
    EXPECT_EQ(indices(walk()), (std::vector<int>{0, 1, 2, 3, 2, 3, 4, 0, 1, 2, 3, 4}));
    EXPECT_EQ(indices(walk(WalkOrder::Written)), (std::vector<int>{0, 1, 2, 3, 4}));
    const auto played = walk();
    EXPECT_EQ(played.back().start, 11 * Q);
    EXPECT_EQ(played[4].measure, 2);
}

TEST_F(PlayWalkTest, ATieIntoARepeatedMeasureSoundsOnceOnTheWayInAndTheRepeatStrikesItAgain)
{
    // 2/4: C D~ | D~ E | F, measure 2 marked: C, D for a half, E, then the repeat: D, E, F.
    add(kTypeQuarter, 0);
    add(kTypeQuarter, -1, kFlagTie);
    add(kTypeQuarter, -1, kFlagTie);
    add(kTypeQuarter, -2);
    add(kTypeQuarter, -3);
    track.timeSig = kTimeSig24;
    track.measureRepeats.set(2, true);
    const auto played = walk();
    EXPECT_EQ(indices(played), (std::vector<int>{0, 1, 3, 2, 3, 4}));
    ASSERT_EQ(played.size(), 6u);
    EXPECT_EQ(played[1].length, 2 * Q);
    EXPECT_EQ(played[1].tiedNotes, 1);
    EXPECT_EQ(played[2].start, 3 * Q);
    EXPECT_EQ(played[3].length, Q);
    EXPECT_EQ(played[5].start, 6 * Q);
    const auto written = walk(WalkOrder::Written);
    EXPECT_EQ(indices(written), (std::vector<int>{0, 1, 3, 4}));
    EXPECT_EQ(written[1].length, 2 * Q);
}

TEST_F(PlayWalkTest, ClipsAndMarksAreStepsThatTakeNoTime)
{
    add(kTypeQuarter);
    add(kTypeAudioClip);
    add(kTypeSpace);
    add(kTypeQuarter);
    const auto steps = walk();
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(steps[1].kind, PlayKind::Clip);
    EXPECT_EQ(steps[2].kind, PlayKind::Mark);
    EXPECT_EQ(steps[3].start, Q);
}

TEST_F(PlayWalkTest, ACursorPlaysNotesInsertedBetweenTwoSteps)
{
    add(kTypeQuarter, 0);
    add(kTypeQuarter, -1);
    track.divideIntoMeasures();
    PlayCursor c;
    ASSERT_TRUE(nextPlayStep(track, track.measureDivision(), c));
    Note n;
    n.type = kTypeHalf;
    n.setStaffPosition(-4);
    track.insertNote(n, 1);
    track.divideIntoMeasures();
    const auto next = nextPlayStep(track, track.measureDivision(), c);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->index, 1);
    EXPECT_EQ(next->length, 2 * Q) << "the inserted half note plays next";
}

TEST_F(PlayWalkTest, AnEndlessLoopStillEnds)
{
    add(kTypeQuarter).loopCount = 2'000'000'000;
    track.noteAt(0).loopTo = 0;
    long long steps = 0;
    PlayWalk w(track);
    while (w.next())
        ++steps;
    EXPECT_LE(steps, kMaxWalkSteps);
    EXPECT_GT(steps, 1000);
}

} // namespace
} // namespace tonvela
