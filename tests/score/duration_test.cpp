// The one time base: every note length against a table of exact musical lengths, and times at
// a tempo that come from places, so they never drift.

#include "score/duration.h"
#include "score/play_time.h"
#include "score/time_signature.h"
#include "score/track.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace tonvela {
namespace {

// Lengths as music defines them: a whole note is four beats, each kind half the one before, a
// dot adds half again. At 120 beats a minute a beat is half a second. Written out by hand.
struct ExactLength {
    int type;
    bool dotted;
    int64_t usAt120;
    int64_t usAt90; // a beat is 2/3 s: rounded to the microsecond
};
constexpr ExactLength kExact[] = {
    {kTypeWhole, false, 2'000'000, 2'666'667},  {kTypeWhole, true, 3'000'000, 4'000'000},
    {kTypeHalf, false, 1'000'000, 1'333'333},   {kTypeHalf, true, 1'500'000, 2'000'000},
    {kTypeQuarter, false, 500'000, 666'667},    {kTypeQuarter, true, 750'000, 1'000'000},
    {kTypeEighth, false, 250'000, 333'333},     {kTypeEighth, true, 375'000, 500'000},
    {kTypeSixteenth, false, 125'000, 166'667},  {kTypeSixteenth, true, 187'500, 250'000},
    {kTypeThirtySecond, false, 62'500, 83'333}, {kTypeThirtySecond, true, 93'750, 125'000},
};

TEST(DurationTest, EveryLengthAndDottedLengthIsExactAtAnyTempo)
{
    for (const ExactLength& e : kExact) {
        const Ticks t = lengthTicks(e.type, e.dotted ? kFlagDot : 0);
        EXPECT_EQ(usAtTempo(t, 120), e.usAt120) << e.type << (e.dotted ? " dotted" : "");
        EXPECT_EQ(usAtTempo(t, 90), e.usAt90) << e.type << (e.dotted ? " dotted" : "");
        EXPECT_EQ(usAtTempo(t, 60), 2 * e.usAt120) << e.type << (e.dotted ? " dotted" : "");
    }
}

TEST(DurationTest, AThirtySecondLastsSixtyTwoAndAHalfMilliseconds)
{
    EXPECT_EQ(usAtTempo(lengthTicks(kTypeThirtySecond, 0), 120), 62'500);
    // 64 of them, placed one after another: the four seconds of two whole notes.
    EXPECT_EQ(usAtTempo(64 * lengthTicks(kTypeThirtySecond, 0), 120), 4'000'000);
    EXPECT_EQ(usAtTempo(48 * lengthTicks(kTypeSixteenth, kFlagDot), 120), 9'000'000);
}

TEST(DurationTest, ItemsThatAreNotNotesTakeNoTime)
{
    for (int type :
         {kTypeBar, kTypeSpace, kTypeStaffBreak, kTypeAudioClip, kTypeMark1737, kTypeSharpMark, 0, 9999})
        EXPECT_EQ(lengthTicks(type, kFlagDot), 0) << type;
}

TEST(DurationTest, QuantizersChooseAmongEveryKindPlainAndDottedShortestFirst)
{
    ASSERT_EQ(kNoteLengths.size(), 12u);
    EXPECT_TRUE(std::is_sorted(kNoteLengths.begin(), kNoteLengths.end(),
                               [](const NoteLength& a, const NoteLength& b) { return a.ticks < b.ticks; }));
    for (const NoteLength& l : kNoteLengths)
        EXPECT_EQ(l.ticks, lengthTicks(l.type, l.dotted ? kFlagDot : 0));
}

TEST(DurationTest, TimesAtOddTemposRoundOnceFromThePlace)
{
    // At 7 beats a minute a thirty-second lasts 1 071 428.57 us. A place rounds once: 32 of
    // them are a whole note, four beats, 4/7 of a minute (34 285 714.3 us), not 32 x 1 071 429.
    EXPECT_EQ(usAtTempo(lengthTicks(kTypeThirtySecond, 0), 7), 1'071'429);
    EXPECT_EQ(usAtTempo(32 * lengthTicks(kTypeThirtySecond, 0), 7), 34'285'714);
    EXPECT_EQ(usAtTempo(kQuarterTicks, 0), usAtTempo(kQuarterTicks, 1)) << "no tempo plays as 1";
    EXPECT_EQ(ticksAtTempo(500'000, 120), kQuarterTicks);
    EXPECT_EQ(ticksAtTempo(499'999, 120), kQuarterTicks - 1) << "rounded down";
    EXPECT_EQ(msAtTempo(lengthTicks(kTypeThirtySecond, 0), 120), 63) << "62.5 ms shows as 63";
}

TEST(DurationTest, MeasureLengthsFollowTheirSignature)
{
    // Beats per measure times the beat's note, as the signature reads.
    const std::vector<std::pair<int, Ticks>> table{
        {kTimeSig24, 2 * kQuarterTicks},     {kTimeSig34, 3 * kQuarterTicks},
        {kTimeSig44, 4 * kQuarterTicks},     {kTimeSig54, 5 * kQuarterTicks},
        {kTimeSig68, 6 * kQuarterTicks / 2}, {kTimeSig64, 6 * kQuarterTicks},
        {kTimeSig74, 7 * kQuarterTicks},     {kTimeSig84, 8 * kQuarterTicks},
        {kTimeSig94, 9 * kQuarterTicks},     {kTimeSigSingleGlyph, 4 * kQuarterTicks},
        {kTimeSig38, 3 * kQuarterTicks / 2}, {kTimeSig58, 5 * kQuarterTicks / 2},
        {kTimeSig78, 7 * kQuarterTicks / 2}, {kTimeSig98, 9 * kQuarterTicks / 2},
        {12345, 4 * kQuarterTicks}, // unknown codes are 4/4
    };
    for (const auto& [code, ticks] : table)
        EXPECT_EQ(measureTicksOf(code), ticks) << code;
}

TEST(DurationTest, PlayTimeOfATrackIsExact)
{
    Track t;
    for (int i = 0; i < 64; ++i) {
        Note n;
        n.type = kTypeThirtySecond;
        t.noteAt(i) = n;
    }
    t.count = 64;
    EXPECT_EQ(totalPlayMs(t), 4000) << "64 thirty-seconds, not 64 x 62 = 3968 ms";
    for (int i = 0; i < 48; ++i) {
        t.noteAt(i).type = kTypeSixteenth;
        t.noteAt(i).dwFlag = kFlagDot;
    }
    t.count = 48;
    EXPECT_EQ(totalPlayMs(t), 9000) << "48 dotted sixteenths, not 8976 ms";
    t.tempo = 90;
    EXPECT_EQ(totalPlayMs(t), 12000);
}

TEST(DurationTest, ATripletLastsTwoThirdsOfItsWrittenNoteSoThreeFillTheTimeOfTwo)
{
    // Three triplet eighths take one quarter, three triplet quarters one half; a dotted
    // triplet quarter takes the time of a plain quarter.
    EXPECT_EQ(3 * lengthTicks(kTypeEighth, kFlagTriplet), lengthTicks(kTypeQuarter, 0));
    EXPECT_EQ(3 * lengthTicks(kTypeQuarter, kFlagTriplet), lengthTicks(kTypeHalf, 0));
    EXPECT_EQ(3 * lengthTicks(kTypeThirtySecond, kFlagTriplet), lengthTicks(kTypeSixteenth, 0));
    EXPECT_EQ(lengthTicks(kTypeQuarter, kFlagTriplet | kFlagDot), lengthTicks(kTypeQuarter, 0));
    // At 120 a triplet eighth is a sixth of a second, to the microsecond, and 96 of them
    // placed one after another take sixteen seconds.
    EXPECT_EQ(usAtTempo(lengthTicks(kTypeEighth, kFlagTriplet), 120), 166'667);
    EXPECT_EQ(usAtTempo(96 * lengthTicks(kTypeEighth, kFlagTriplet), 120), 16'000'000);
    // The mark gives nothing a length: a triplet bar line is still a bar line.
    EXPECT_EQ(lengthTicks(kTypeBar, kFlagTriplet), 0);
}

TEST(DurationTest, PlayTimeOfTripletsIsThatOfTheBeatsTheyFill)
{
    // 12 triplet eighths and a triplet-marked rest among them: four beats, two seconds at 120
    Track t;
    for (int i = 0; i < 12; ++i) {
        Note n;
        n.type = kTypeEighth;
        n.dwFlag = kFlagTriplet | (i == 5 ? kFlagRest : 0);
        t.noteAt(i) = n;
    }
    t.count = 12;
    EXPECT_EQ(totalPlayMs(t), 2000);
}

} // namespace
} // namespace tonvela
