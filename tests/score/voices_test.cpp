// Two voices on a staff: the stored voice number, the measures voice 1 makes, each voice's own
// time, and the walk that playback and the writers follow.

#include "score/markup_tree.h"
#include "score/note_element.h"
#include "score/play_time.h"
#include "score/play_walk.h"
#include "score/voices.h"

#include <gtest/gtest.h>

#include <vector>

namespace tonvela {
namespace {

constexpr Ticks Q = kQuarterTicks;

std::string written(const Note& n)
{
    std::string out;
    writeNoteElement(n, out);
    return out;
}

Note readBack(const std::string& element)
{
    const MarkupTree tree = parseMarkup("<staffdoc>\r\n" + element + "</staffdoc>\r\n");
    Note n;
    readNoteElement(n, *tree.root.children.at(0));
    return n;
}

TEST(VoiceNumberTest, IsStoredOnlyForVoiceTwoAndReadBackAsWritten)
{
    Note n;
    n.type = kTypeQuarter;
    n.setStaffPosition(2);
    const std::string one = written(n);
    EXPECT_EQ(one.find("voice"), std::string::npos) << one;
    n.voice = kVoice2;
    const std::string two = written(n);
    EXPECT_NE(two.find(" voice=2 "), std::string::npos) << two;
    const Note back = readBack(two);
    EXPECT_EQ(back.voice, kVoice2);
    EXPECT_EQ(written(back), two);
    EXPECT_EQ(readBack(one).voice, kVoice1);
}

TEST(VoiceNumberTest, ANumberOtherThanTwoReadsAsVoiceOne)
{
    for (const char* value : {"0", "3", "-2", "255", "258", "x"}) {
        const Note n = readBack(std::string("<note\r\nmidi=60 type=1028 line=0 voice=") + value +
                                " iid=0 >\r\n</note>\r\n");
        EXPECT_EQ(n.voice, kVoice1) << value;
    }
}

class VoicesTest : public ::testing::Test {
  protected:
    Note& add(int type, uint8_t voice = kVoice1, int line = 0, int flags = 0)
    {
        Note n;
        n.type = type;
        n.setStaffPosition(line);
        n.dwFlag = flags;
        n.voice = voice;
        track.noteAt(track.count) = n;
        return track.noteAt(track.count++);
    }
    Note& member(int root, int type, int line)
    {
        Note& m = add(type, kVoice1, line);
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
    // One 4/4 measure: voice 1 a half and two quarters, voice 2 a whole note under them.
    void halfAndQuartersOverAWhole()
    {
        add(kTypeHalf);
        add(kTypeWhole, kVoice2, 4);
        add(kTypeQuarter);
        add(kTypeQuarter);
    }
    Track track;
};

TEST_F(VoicesTest, VoiceOneMakesTheMeasuresAndVoiceTwoLiesInThem)
{
    halfAndQuartersOverAWhole();
    add(kTypeWhole);            // measure 2, voice 1
    add(kTypeHalf, kVoice2, 4); // measure 2, voice 2
    add(kTypeHalf, kVoice2, 4);
    MeasureDivision d;
    d.divide(track);
    EXPECT_TRUE(d.hasSecondVoice());
    EXPECT_EQ(d.measureCount(), 2);
    EXPECT_EQ(
        (std::vector<int>{d.measureOf(0), d.measureOf(1), d.measureOf(3), d.measureOf(4), d.measureOf(6)}),
        (std::vector<int>{1, 1, 1, 2, 2}));
    EXPECT_EQ(voiceOffsets(track, d), (std::vector<Ticks>{0, 0, 2 * Q, 3 * Q, 0, 0, 2 * Q}));
    EXPECT_EQ(nextRootInVoice(track, 1), 5);
    EXPECT_EQ(previousRootInVoice(track, 4), 3);
    EXPECT_EQ(previousRootInVoice(track, 1), -1);
}

TEST_F(VoicesTest, AChordMemberBelongsToTheVoiceOfItsRoot)
{
    add(kTypeHalf);
    add(kTypeHalf, kVoice2, 4);
    member(1, kTypeHalf, 6);
    add(kTypeHalf);
    EXPECT_EQ(voiceOf(track, 2), kVoice2);
    MeasureDivision d;
    d.divide(track);
    EXPECT_EQ(voiceOffsets(track, d), (std::vector<Ticks>{0, 0, 0, 2 * Q}));
    const auto steps = walk();
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[1].index, 1);
    int sounding = 0;
    forEachPlayedNote(track, steps[1], [&](const PlayedNote&) { ++sounding; });
    EXPECT_EQ(sounding, 2);
}

TEST_F(VoicesTest, EachVoiceStepsThroughItsOwnRhythmInTimeOrder)
{
    halfAndQuartersOverAWhole();
    add(kTypeWhole);
    const auto steps = walk();
    ASSERT_EQ(steps.size(), 5u);
    std::vector<Ticks> starts, lengths, held;
    for (const PlayStep& s : steps) {
        starts.push_back(s.start);
        lengths.push_back(s.length);
        held.push_back(s.held);
    }
    EXPECT_EQ(starts, (std::vector<Ticks>{0, 0, 2 * Q, 3 * Q, 4 * Q}));
    EXPECT_EQ(lengths, (std::vector<Ticks>{2 * Q, 4 * Q, Q, Q, 4 * Q}));
    // Playback waits from one step to the next: the sum of the waits is the sheet's length.
    EXPECT_EQ(held, (std::vector<Ticks>{0, 2 * Q, Q, Q, 4 * Q}));
    EXPECT_EQ(playedTicks(track), 8 * Q);
    EXPECT_EQ(playedTicksBefore(track, 3), 3 * Q);
}

TEST_F(VoicesTest, AVoiceLongerThanVoiceOneHoldsTheEndOfTheSheet)
{
    add(kTypeHalf);
    add(kTypeWhole, kVoice2, 4);
    EXPECT_EQ(playedTicks(track), 4 * Q);
}

TEST_F(VoicesTest, TiesJoinNotesOfOneVoiceAcrossTheOtherVoicesNotes)
{
    // Voice 2: a tied half and quarter on the same pitch, voice 1 quarters between them.
    add(kTypeQuarter);
    add(kTypeHalf, kVoice2, 4, kFlagTie);
    add(kTypeQuarter, kVoice1, 1);
    add(kTypeQuarter, kVoice1, 2);
    add(kTypeQuarter, kVoice2, 4, kFlagTie);
    add(kTypeQuarter, kVoice1, 3);
    add(kTypeQuarter, kVoice2, 4);
    const auto steps = walk();
    std::vector<int> indices;
    for (const PlayStep& s : steps)
        indices.push_back(s.index);
    EXPECT_EQ(indices, (std::vector<int>{0, 1, 2, 3, 5, 6}));
    EXPECT_EQ(steps[1].length, 3 * Q);
    EXPECT_EQ(steps[1].tiedNotes, 1);
    EXPECT_EQ(steps[5].start, 3 * Q);
}

TEST_F(VoicesTest, ATieOverABarLineKeepsBothVoicesOfTheNextMeasureInTime)
{
    // Measure 1: voice 1 a whole note tied into measure 2; voice 2 a half and a half tied into
    // measure 2. Measure 2: voice 1 the tied half and a half; voice 2 the tied quarter, a
    // quarter rest and a half.
    add(kTypeWhole, kVoice1, 0, kFlagTie);
    add(kTypeHalf, kVoice2, 4);
    add(kTypeHalf, kVoice2, 5, kFlagTie);
    add(kTypeHalf, kVoice1, 0, kFlagTie);
    add(kTypeQuarter, kVoice2, 5, kFlagTie);
    add(kTypeQuarter, kVoice2, 4, kFlagRest);
    add(kTypeHalf, kVoice1, 1);
    add(kTypeHalf, kVoice2, 6);
    std::vector<std::pair<int, Ticks>> starts;
    for (const PlayStep& s : walk())
        starts.emplace_back(s.index, s.start);
    EXPECT_EQ(starts, (std::vector<std::pair<int, Ticks>>{
                          {0, 0}, {1, 0}, {2, 2 * Q}, {5, 5 * Q}, {6, 6 * Q}, {7, 6 * Q}}));
    EXPECT_EQ(playedTicks(track), 8 * Q);
}

TEST_F(VoicesTest, ATiedChordOfVoiceOneHoldsItsMembersOnOverANoteOfVoiceTwo)
{
    // Voice 1: a half chord C-E tied to a half chord C-E; voice 2 a half under each.
    add(kTypeHalf, kVoice1, 0, kFlagTie);
    member(0, kTypeHalf, -2).dwFlag = kFlagTie;
    add(kTypeHalf, kVoice2, 4);
    add(kTypeHalf, kVoice1, 0, kFlagTie);
    member(3, kTypeHalf, -2).dwFlag = kFlagTie;
    add(kTypeHalf, kVoice2, 5);
    const auto steps = walk();
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps[0].tiedNotes, 1);
    // The member sounds once, held through both chords; the second chord strikes nothing.
    std::vector<std::pair<int, Ticks>> played;
    forEachPlayedNote(track, steps[0], [&](const PlayedNote& p) { played.emplace_back(p.index, p.held); });
    EXPECT_EQ(played, (std::vector<std::pair<int, Ticks>>{{0, 4 * Q}, {1, 4 * Q}}));
}

TEST_F(VoicesTest, ARepeatedMeasurePlaysBothVoicesAgainFromItsStart)
{
    halfAndQuartersOverAWhole();
    track.measureRepeats.set(1, true);
    const auto steps = walk();
    ASSERT_EQ(steps.size(), 8u);
    EXPECT_EQ(steps[5].index, 1);
    EXPECT_EQ(steps[5].start, 4 * Q);
    EXPECT_EQ(steps[7].start, 7 * Q);
    EXPECT_EQ(playedTicks(track), 8 * Q);
}

TEST_F(VoicesTest, ANewNoteIsInsertedWhereItsTimeFallsInTheMeasure)
{
    add(kTypeQuarter);          // 0 at 0
    add(kTypeHalf, kVoice2, 4); // 1 at 0
    add(kTypeQuarter);          // 2 at 1 beat
    add(kTypeHalf);             // 3 at 2 beats
    add(kTypeWhole);            // 4: measure 2
    MeasureDivision d;
    d.divide(track);
    // Voice 2 after the notes of both voices that start at its time or before.
    EXPECT_EQ(voiceInsertionIndex(track, d, 1, kVoice2, 0), 2);
    EXPECT_EQ(voiceInsertionIndex(track, d, 1, kVoice2, Q), 3);
    EXPECT_EQ(voiceInsertionIndex(track, d, 1, kVoice2, 3 * Q), 4);
    // Voice 1 before a voice 2 note that starts with it.
    EXPECT_EQ(voiceInsertionIndex(track, d, 1, kVoice1, 0), 1);
    EXPECT_EQ(voiceInsertionIndex(track, d, 1, kVoice1, Q), 3);
    EXPECT_EQ(voiceInsertionIndex(track, d, 2, kVoice2, 0), 5);
    EXPECT_EQ(voiceInsertionIndex(track, d, 3, kVoice2, 0), track.count);
}

TEST_F(VoicesTest, ATrackWithOneVoiceWalksAsBefore)
{
    add(kTypeHalf, kVoice1, 0, kFlagTie);
    add(kTypeHalf, kVoice1, 0, kFlagTie);
    member(0, kTypeWhole, 4);
    const auto steps = walk();
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].length, 4 * Q);
    // The whole-note member ends with the tie chain: the step is held no longer than it.
    EXPECT_EQ(steps[0].held, 4 * Q);
}

} // namespace
} // namespace tonvela
