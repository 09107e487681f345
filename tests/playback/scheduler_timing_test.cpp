// Message times of the playback state machine, against tables, with a virtual clock.

#include "scheduler_test_util.h"

#include <tuple>

namespace tonvela::testing {
namespace {

constexpr int C4 = 0, D4 = -1, E4 = -2, F4 = -3, G4 = -4;

class SchedulerTimingTest : public SchedulerHarness {
  protected:
    Track& track() { return *sheet.trackAt(0); }
};

TEST_F(SchedulerTimingTest, FirstNoteSendsProgramVolumeAndPanBeforeItsNoteOn)
{
    Note n = makeNote(kTypeQuarter, C4);
    n.iid = 5;
    n.volume = 90;
    n.pan = 20;
    setNotes(track(), {n});
    play();
    const std::vector<TimedMessage> expected{
        {0, 0xC0, 5, 0}, {0, 0xB0, 7, 90}, {0, 0xB0, 10, 20}, on(0, 60), off(500, 60)};
    EXPECT_EQ(table(), expected);
    expectSentOnTime();
}

TEST_F(SchedulerTimingTest, TwoTiedQuarterNotesSoundAsOneSecondLongNote)
{
    setNotes(track(), {makeNote(kTypeQuarter, C4, kFlagTie), makeNote(kTypeQuarter, C4, kFlagTie),
                       makeNote(kTypeQuarter, D4)});
    const int64_t end = play();
    const std::vector<TimedMessage> expected{on(0, 60), on(1000, 62), off(1000, 60), off(1500, 62)};
    EXPECT_EQ(notes(), expected);
    EXPECT_EQ(end, 1500);
    expectSentOnTime();
}

TEST_F(SchedulerTimingTest, TieChainMergesAtMost101Notes)
{
    std::vector<Note> chain(150, makeNote(kTypeSixteenth, C4, kFlagTie));
    setNotes(track(), chain);
    play();
    std::vector<int64_t> onTimes;
    for (const auto& m : notes())
        if ((m.status & 0xF0) == 0x90)
            onTimes.push_back(m.ms);
    ASSERT_EQ(onTimes.size(), 2u);
    EXPECT_EQ(onTimes[0], 0);
    EXPECT_EQ(onTimes[1], 101 * 125);
}

TEST_F(SchedulerTimingTest, NotesOfDifferentPitchAreNotTied)
{
    setNotes(track(), {makeNote(kTypeQuarter, C4, kFlagTie), makeNote(kTypeQuarter, D4, kFlagTie)});
    play();
    const std::vector<TimedMessage> expected{on(0, 60), on(500, 62), off(500, 60), off(1000, 62)};
    EXPECT_EQ(notes(), expected);
}

TEST_F(SchedulerTimingTest, NegativeStopOffsetEndsTheSoundEarlyWithoutMovingTheNextNote)
{
    Note c = makeNote(kTypeQuarter, C4);
    c.dwStopOffset = -100;
    setNotes(track(), {c, makeNote(kTypeQuarter, D4)});
    play();
    const std::vector<TimedMessage> expected{on(0, 60), off(400, 60), on(500, 62), off(1000, 62)};
    EXPECT_EQ(notes(), expected);
}

TEST_F(SchedulerTimingTest, StopOffsetLongerThanTheNoteEndsItAsItStarts)
{
    Note c = makeNote(kTypeQuarter, C4);
    c.dwStopOffset = -900;
    setNotes(track(), {c, makeNote(kTypeQuarter, D4)});
    play();
    const std::vector<TimedMessage> expected{on(0, 60), off(0, 60), on(500, 62), off(1000, 62)};
    EXPECT_EQ(notes(), expected);
}

TEST_F(SchedulerTimingTest, SameKeyStillSoundingIsReleasedBeforeItSoundsAgain)
{
    Note c = makeNote(kTypeQuarter, C4);
    c.dwStopOffset = 300;
    setNotes(track(), {c, makeNote(kTypeQuarter, C4)});
    play();
    const std::vector<TimedMessage> expected{on(0, 60), off(500, 60), on(500, 60), off(1000, 60)};
    EXPECT_EQ(notes(), expected);
}

TEST_F(SchedulerTimingTest, ChordOfQuarterRootAndHalfMemberStepsOneSecond)
{
    Note member = makeNote(kTypeHalf, E4);
    member.chordparent = 0;
    setNotes(track(), {makeNote(kTypeQuarter, C4), member, makeNote(kTypeQuarter, G4)});
    play();
    const std::vector<TimedMessage> expected{on(0, 60),    on(0, 64),     off(500, 60),
                                             on(1000, 67), off(1000, 64), off(1500, 67)};
    EXPECT_EQ(notes(), expected);
    // One program change for the chord: the member plays the program the root sent.
    EXPECT_EQ(std::count_if(output.messages.begin(), output.messages.end(),
                            [](const auto& m) { return m.status() == 0xC0; }),
              1);
}

TEST_F(SchedulerTimingTest, TempoScalesEveryLength)
{
    setNotes(track(), {makeNote(kTypeQuarter, C4), makeNote(kTypeQuarter, D4)});
    track().tempo = 60;
    play();
    EXPECT_EQ(notes(), (std::vector<TimedMessage>{on(0, 60), on(1000, 62), off(1000, 60), off(2000, 62)}));

    track().tempo = 240;
    play();
    EXPECT_EQ(notes(), (std::vector<TimedMessage>{on(0, 60), on(250, 62), off(250, 60), off(500, 62)}));
}

TEST_F(SchedulerTimingTest, DottedAndThirtySecondLengthsFollowTheTable)
{
    setNotes(track(), {makeNote(kTypeQuarter, C4, kFlagDot), makeNote(kTypeThirtySecond, D4),
                       makeNote(kTypeThirtySecond, E4, kFlagDot), makeNote(kTypeEighth, F4)});
    play();
    std::vector<int64_t> onTimes;
    for (const auto& m : notes())
        if ((m.status & 0xF0) == 0x90)
            onTimes.push_back(m.ms);
    // 750, 812.5 and 906.25 ms: the table rows floor to the millisecond.
    EXPECT_EQ(onTimes, (std::vector<int64_t>{0, 750, 812, 906}));
}

TEST_F(SchedulerTimingTest, SixtyFourThirtySecondsTakeFourSecondsToTheMicrosecond)
{
    setNotes(track(), std::vector<Note>(64, makeNote(kTypeThirtySecond, C4)));
    const int64_t end = play();
    std::vector<int64_t> onUs, offUs;
    for (const auto& m : output.messages) {
        if (m.status() == 0x90)
            onUs.push_back(m.stampUs - origin);
        if (m.status() == 0x80)
            offUs.push_back(m.stampUs - origin);
    }
    ASSERT_EQ(onUs.size(), 64u);
    for (std::size_t k = 0; k < onUs.size(); ++k)
        EXPECT_EQ(onUs[k], static_cast<int64_t>(k) * 62'500) << "note " << k;
    EXPECT_EQ(offUs.back(), 4'000'000) << "not 64 x 62 = 3968 ms";
    EXPECT_EQ(end, 4000);
    EXPECT_EQ(scheduler->playLength(0), 4000);
    expectSentOnTime();
}

TEST_F(SchedulerTimingTest, FortyEightDottedSixteenthsTakeNineSeconds)
{
    setNotes(track(), std::vector<Note>(48, makeNote(kTypeSixteenth, C4, kFlagDot)));
    track().tempo = 120;
    play();
    int64_t lastOffUs = 0;
    for (const auto& m : output.messages)
        if (m.status() == 0x80)
            lastOffUs = std::max(lastOffUs, m.stampUs - origin);
    EXPECT_EQ(lastOffUs, 9'000'000) << "not 48 x 187 = 8976 ms";
}

TEST_F(SchedulerTimingTest, RestTakesItsTimeAndSendsNothing)
{
    Note rest = makeNote(kTypeQuarter, C4, kFlagRest);
    rest.midi = static_cast<int8_t>(171 - 256); // as the MIDI reader stores rests
    setNotes(track(), {makeNote(kTypeQuarter, C4), rest, makeNote(kTypeQuarter, D4)});
    play();
    EXPECT_EQ(notes(), (std::vector<TimedMessage>{on(0, 60), off(500, 60), on(1000, 62), off(1500, 62)}));
}

TEST_F(SchedulerTimingTest, BarLinesAndSpacesTakeNoTime)
{
    setNotes(track(), {makeNote(kTypeQuarter, C4), makeNote(kTypeBar), makeNote(kTypeSpace),
                       makeNote(kTypeQuarter, D4)});
    play();
    EXPECT_EQ(notes(), (std::vector<TimedMessage>{on(0, 60), on(500, 62), off(500, 60), off(1000, 62)}));
}

TEST_F(SchedulerTimingTest, LoopPlaysItsNotesThreeTimesThenGoesOn)
{
    std::vector<Note> ns{makeNote(kTypeQuarter, C4), makeNote(kTypeQuarter, D4), makeNote(kTypeQuarter, E4),
                         makeNote(kTypeQuarter, F4), makeNote(kTypeQuarter, G4)};
    ns[3].loopTo = 0;
    ns[3].loopCount = 2;
    setNotes(track(), ns);
    play();
    std::vector<int> keys;
    std::vector<int64_t> times;
    for (const auto& m : notes())
        if ((m.status & 0xF0) == 0x90) {
            keys.push_back(m.data1);
            times.push_back(m.ms);
        }
    EXPECT_EQ(keys, (std::vector<int>{60, 62, 64, 65, 60, 62, 64, 65, 60, 62, 64, 65, 67}));
    ASSERT_EQ(times.size(), 13u);
    for (std::size_t i = 0; i < times.size(); ++i)
        EXPECT_EQ(times[i], static_cast<int64_t>(i) * 500);
    EXPECT_EQ(scheduler->playLength(0), 13 * 500);
}

TEST_F(SchedulerTimingTest, RepeatedMeasurePlaysTwiceOnEveryPlayback)
{
    // 2/4: C D | E, the first measure marked.
    setNotes(track(), {makeNote(kTypeQuarter, C4), makeNote(kTypeQuarter, D4), makeNote(kTypeQuarter, E4)});
    track().timeSig = kTimeSig24;
    track().measureRepeats.set(1, true);
    for (int pass = 0; pass < 2; ++pass) {
        play();
        std::vector<int> keys;
        for (const auto& m : notes())
            if ((m.status & 0xF0) == 0x90)
                keys.push_back(m.data1);
        EXPECT_EQ(keys, (std::vector<int>{60, 62, 60, 62, 64})) << "playback " << pass + 1;
        EXPECT_EQ(scheduler->playLength(0), 2500);
    }
    EXPECT_EQ(view.followed, (std::vector<int>{1, 2, 1, 2})) << "the first track's measures are followed";
    EXPECT_EQ(track().measureRepeats.measures(), std::vector<int>{1}) << "playing uses up no mark";
}

TEST_F(SchedulerTimingTest, TheMarkedMeasureRepeatsWithoutAnyLayout)
{
    // 2/4: C D | E F | G. No layout has run; the score divides the notes itself.
    setNotes(track(), {makeNote(kTypeQuarter, C4), makeNote(kTypeQuarter, D4), makeNote(kTypeQuarter, E4),
                       makeNote(kTypeQuarter, F4), makeNote(kTypeQuarter, G4)});
    track().timeSig = kTimeSig24;
    track().measureRepeats.set(2, true);
    track().measureRepeats.set(9, true); // no such measure: nothing happens
    play();
    std::vector<int> keys;
    for (const auto& m : notes())
        if ((m.status & 0xF0) == 0x90)
            keys.push_back(m.data1);
    EXPECT_EQ(keys, (std::vector<int>{60, 62, 64, 65, 64, 65, 67})) << "measure 2 is E F, and it repeats";
    EXPECT_EQ(scheduler->playLength(0), 7 * 500);
}

TEST_F(SchedulerTimingTest, NotesInsertedWhilePlayingAreDividedAgainBeforeTheRepeatRule)
{
    // 2/4: C D | E F | G with measure 2 marked. While C sounds a half note is put in front of
    // the track, so the measures become X | C D | E F | G and measure 2 is now C D. Playing on
    // from index 1 (C again, the notes moved up), the repeat follows the new division.
    setNotes(track(), {makeNote(kTypeQuarter, C4), makeNote(kTypeQuarter, D4), makeNote(kTypeQuarter, E4),
                       makeNote(kTypeQuarter, F4), makeNote(kTypeQuarter, G4)});
    track().timeSig = kTimeSig24;
    track().measureRepeats.set(2, true);
    ASSERT_TRUE(start(PlayMode::Track));
    bool inserted = false;
    runUntilEnd([&](int64_t ms) {
        if (ms == 100 && !inserted) {
            track().insertNote(makeNote(kTypeHalf, G4), 0);
            inserted = true;
        }
    });
    std::vector<int> keys;
    for (const auto& m : notes())
        if ((m.status & 0xF0) == 0x90)
            keys.push_back(m.data1);
    EXPECT_EQ(keys, (std::vector<int>{60, 60, 62, 60, 62, 64, 65, 67}));
}

TEST_F(SchedulerTimingTest, LatePollingKeepsStepsJoinedEndToStart)
{
    std::vector<Note> ns;
    ns.reserve(40);
    for (int i = 0; i < 40; ++i)
        ns.push_back(makeNote(i % 3 ? kTypeEighth : kTypeThirtySecond, -(i % 7)));
    setNotes(track(), ns);
    play();
    const auto everyMs = notes();

    ASSERT_TRUE(start(PlayMode::Track));
    while (scheduler->cycle(nowUs()))
        clock.advanceMs(17); // a badly delayed loop
    // The same messages at the same times; only the order within one millisecond may differ.
    const auto byTime = [](std::vector<TimedMessage> v) {
        std::sort(v.begin(), v.end(), [](const auto& a, const auto& b) {
            return std::tie(a.ms, a.status, a.data1) < std::tie(b.ms, b.status, b.data1);
        });
        return v;
    };
    EXPECT_EQ(byTime(notes()), byTime(everyMs));
    EXPECT_EQ(everyMs.back().ms, 14 * 62.5 + 26 * 250);
}

TEST_F(SchedulerTimingTest, TracksPlayOnTheirChannels)
{
    sheet.setTrackCount(12);
    for (int t = 0; t < 12; ++t)
        setNotes(*sheet.trackAt(t), {makeNote(kTypeQuarter, C4)});
    sheet.trackAt(3)->percussive = 1;
    play(PlayMode::All);
    std::vector<int> channels;
    for (const auto& m : notes())
        if ((m.status & 0xF0) == 0x90)
            channels.push_back(m.status & 0x0F);
    EXPECT_EQ(channels, (std::vector<int>{0, 1, 2, 9, 4, 5, 6, 7, 8, 11, 12, 11}));
    // Every note on has its note off on the same channel and key.
    const auto rows = notes();
    for (const auto& m : rows) {
        if ((m.status & 0xF0) == 0x90) {
            EXPECT_NE(std::find(rows.begin(), rows.end(), off(500, m.data1, m.status & 0x0F)), rows.end());
        }
    }
}

} // namespace
} // namespace tonvela::testing
