#include "score/measure_division.h"
#include "score/track.h"

#include <gtest/gtest.h>

using namespace tonvela;

namespace {

Note item(int type, int flags = 0)
{
    Note n;
    n.type = type;
    n.dwFlag = flags;
    return n;
}

// Appends the items to the track and divides it.
const MeasureDivision& divide(Track& t, std::initializer_list<Note> notes)
{
    for (const Note& n : notes)
        t.insertNote(n, t.count);
    t.divideIntoMeasures();
    return t.measureDivision();
}

std::vector<int> measuresOf(const Track& t)
{
    std::vector<int> out;
    out.reserve(static_cast<std::size_t>(t.count));
    for (int i = 0; i < t.count; ++i)
        out.push_back(t.measureDivision().measureOf(i));
    return out;
}

} // namespace

TEST(MeasureDivisionTest, FourQuartersFillAMeasureOfFourFourAndTheFifthOpensTheNext)
{
    Track t;
    const Note q = item(kTypeQuarter);
    const MeasureDivision& d = divide(t, {q, q, q, q, q});
    EXPECT_EQ(measuresOf(t), (std::vector<int>{1, 1, 1, 1, 2}));
    EXPECT_EQ(d.measureCount(), 2);
    EXPECT_EQ(d.firstNote(1), 0);
    EXPECT_EQ(d.firstNote(2), 4);
    EXPECT_EQ(d.firstNote(3), -1);
    EXPECT_EQ(d.noteCount(), 5);
}

TEST(MeasureDivisionTest, DottedNotesCountThreeHalvesAndTheTimeSignatureSetsTheLength)
{
    Track t;
    t.timeSig = kTimeSig34;
    divide(t, {item(kTypeHalf, kFlagDot), item(kTypeQuarter), item(kTypeQuarter, kFlagDot), item(kTypeEighth),
               item(kTypeQuarter)});
    // 3/4 | 1/4 3/8 1/8 | 1/4: a dotted half fills three quarters.
    EXPECT_EQ(measuresOf(t), (std::vector<int>{1, 2, 2, 2, 3}));
    Track eighths;
    eighths.timeSig = kTimeSig38;
    divide(eighths, {item(kTypeQuarter, kFlagDot), item(kTypeEighth)});
    EXPECT_EQ(measuresOf(eighths), (std::vector<int>{1, 2}));
}

TEST(MeasureDivisionTest, ABarLineRestartsTheCountWithoutOpeningAMeasure)
{
    Track t;
    const Note q = item(kTypeQuarter);
    // Two quarters, a bar, then a full measure more fits into measure 1.
    divide(t, {q, q, item(kTypeBar), q, q, q, q, q});
    EXPECT_EQ(measuresOf(t), (std::vector<int>{1, 1, 1, 1, 1, 1, 1, 2}));
}

TEST(MeasureDivisionTest, AStaffBreakOpensAMeasureOnlyAfterAFullOne)
{
    Track t;
    const Note q = item(kTypeQuarter);
    const Note brk = item(kTypeStaffBreak);
    divide(t, {q, q, brk, q, q, q, q, brk, q});
    // A break in the middle keeps the measure going (and restarts the count); after the full
    // measure the next break opens measure 2 itself.
    EXPECT_EQ(measuresOf(t), (std::vector<int>{1, 1, 1, 1, 1, 1, 1, 2, 2}));
    EXPECT_EQ(t.measureDivision().firstNote(2), 7);
    Track empty;
    divide(empty, {brk, q});
    EXPECT_EQ(measuresOf(empty), (std::vector<int>{1, 1})) << "a break after nothing opens nothing";
}

TEST(MeasureDivisionTest, ChordMembersLieWithTheirRootAndOnlyRootsCount)
{
    Track t;
    Note member = item(kTypeWhole);
    member.chordparent = 0;
    Note badLink = item(kTypeQuarter);
    badLink.chordparent = 3; // points at itself: a root of its own
    divide(t, {item(kTypeHalf), member, item(kTypeHalf), badLink, item(kTypeQuarter)});
    EXPECT_EQ(measuresOf(t), (std::vector<int>{1, 1, 1, 2, 2}));
    const MeasureDivision& d = t.measureDivision();
    EXPECT_EQ(d.rootOrdinal(0), 0);
    EXPECT_EQ(d.rootOrdinal(1), 1) << "a member follows one root";
    EXPECT_EQ(d.rootOrdinal(2), 1);
    EXPECT_EQ(d.rootOrdinal(3), 2);
    EXPECT_EQ(d.rootOrdinal(4), 3);
}

TEST(MeasureDivisionTest, TheDivisionHasNoMeasureLimit)
{
    Track t;
    for (int i = 0; i < 1000; ++i)
        t.insertNote(item(kTypeWhole), t.count);
    t.divideIntoMeasures();
    EXPECT_EQ(t.measureDivision().measureCount(), 1000);
    EXPECT_EQ(t.measureDivision().measureOf(999), 1000);
    EXPECT_EQ(t.measureDivision().firstNote(500), 499);
}

TEST(MeasureDivisionTest, AnEmptyTrackHasNoMeasuresAndIndicesOutsideGiveNone)
{
    Track t;
    t.divideIntoMeasures();
    const MeasureDivision& d = t.measureDivision();
    EXPECT_EQ(d.measureCount(), 0);
    EXPECT_EQ(d.measureOf(0), 0);
    EXPECT_EQ(d.measureOf(-1), 0);
    EXPECT_EQ(d.firstNote(1), -1);
    t.insertNote(item(kTypeQuarter), 0);
    EXPECT_EQ(d.noteCount(), 0) << "the division is what was last computed";
    t.divideIntoMeasures();
    EXPECT_EQ(d.noteCount(), 1);
}

TEST(MeasureDivisionTest, RepeatMarksAreKeptSortedOncePerMeasure)
{
    MeasureRepeatMarks marks;
    marks.set(5, true);
    marks.set(2, true);
    marks.set(5, true);
    marks.set(0, true); // measures count from 1
    EXPECT_EQ(marks.measures(), (std::vector<int>{2, 5}));
    EXPECT_TRUE(marks.contains(2));
    EXPECT_FALSE(marks.contains(3));
    marks.set(2, false);
    marks.set(7, false);
    EXPECT_EQ(marks.measures(), std::vector<int>{5});
}

TEST(MeasureDivisionTest, ThreeTripletEighthsTakeOneBeatSoSixOfThemAndTwoQuartersFillFourFour)
{
    // GIVEN a 4/4 track: six triplet eighths, two quarters, then one more quarter
    Track t;
    const Note e3 = item(kTypeEighth, kFlagTriplet);
    divide(t, {e3, e3, e3, e3, e3, e3, item(kTypeQuarter), item(kTypeQuarter), item(kTypeQuarter)});
    // THEN the first eight fill measure 1 and the last quarter opens measure 2 (as plain eighths
    // they would have run the measure over by a beat)
    EXPECT_EQ(measuresOf(t), (std::vector<int>{1, 1, 1, 1, 1, 1, 1, 1, 2}));
}

TEST(MeasureDivisionTest, ATripletQuarterAndATripletEighthMakeOneBeatAsDoesADottedTripletQuarter)
{
    // GIVEN 2/4: a triplet quarter and a triplet eighth (one beat), a dotted triplet quarter
    // (one beat), then a quarter opening the next measure
    Track t;
    t.timeSig = kTimeSig24;
    divide(t, {item(kTypeQuarter, kFlagTriplet), item(kTypeEighth, kFlagTriplet),
               item(kTypeQuarter, kFlagTriplet | kFlagDot), item(kTypeQuarter)});
    EXPECT_EQ(measuresOf(t), (std::vector<int>{1, 1, 1, 2}));
}
