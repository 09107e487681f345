// Stop, seek, progress, lead track, event playback, clips and edits during playback.

#include "scheduler_test_util.h"

#include "playback/playback_driver.h"
#include "score/play_time.h"

#include <map>

namespace tonvela::testing {
namespace {

constexpr int C4 = 0, D4 = -1, E4 = -2, F4 = -3;

class SchedulerControlTest : public SchedulerHarness {
  protected:
    Track& track(int i = 0) { return *sheet.trackAt(i); }
    void quarters(int t, int n)
    {
        std::vector<Note> ns;
        ns.reserve(static_cast<std::size_t>(std::max(n, 0)));
        for (int i = 0; i < n; ++i)
            ns.push_back(makeNote(kTypeQuarter, -(i % 7)));
        setNotes(track(t), ns);
    }
    // Per channel and key, the note ons minus the note offs: all zero once everything is silent.
    std::map<std::pair<int, int>, int> held() const
    {
        std::map<std::pair<int, int>, int> h;
        for (const auto& m : output.messages) {
            if ((m.status() & 0xF0) == 0x90)
                ++h[{m.status() & 0x0F, m.data1()}];
            if ((m.status() & 0xF0) == 0x80)
                --h[{m.status() & 0x0F, m.data1()}];
        }
        std::erase_if(h, [](const auto& kv) { return kv.second <= 0; });
        return h;
    }
    bool anyMarked() const { return scheduler->marks().any(); }
};

// A stream slot that plays for a set time after it starts, or never starts.
class TimedClipSlots : public ClipSlots {
  public:
    explicit TimedClipSlots(const Clock& clock) : m_clock(clock) {}
    int64_t lengthUs = 300'000;
    bool neverStarts = false;
    int starts = 0;
    int stops = 0;
    int start(const std::string&, int64_t atUs) override
    {
        ++starts;
        m_startUs = atUs;
        return 3;
    }
    Report report(int) const override
    {
        if (neverStarts)
            return Report::Idle;
        return m_clock.nowUs() < m_startUs + lengthUs ? Report::Playing : Report::Finished;
    }
    void stop(int) override { ++stops; }

  private:
    const Clock& m_clock;
    int64_t m_startUs = 0;
};

TEST_F(SchedulerControlTest, StopSilencesEverySoundingNoteAtOnceAndTheNextPlayStartsFromTheFirstNote)
{
    Note member = makeNote(kTypeHalf, E4);
    member.chordparent = 0;
    setNotes(track(), {makeNote(kTypeHalf, C4), member, makeNote(kTypeQuarter, D4)});
    ASSERT_TRUE(start(PlayMode::Track));
    runUntilEnd([&](int64_t ms) {
        if (ms == 300)
            scheduler->stopPlayback(ms * 1000);
    });
    EXPECT_EQ(notes(), (std::vector<TimedMessage>{on(0, 60), on(0, 64), off(300, 60), off(300, 64)}));
    EXPECT_TRUE(held().empty());
    EXPECT_FALSE(anyMarked());
    EXPECT_FALSE(scheduler->playing());
    EXPECT_EQ(view.endedCalls, 1);

    ASSERT_TRUE(start(PlayMode::Track));
    scheduler->cycle(0);
    EXPECT_EQ(notes().front(), on(0, 60));
}

TEST_F(SchedulerControlTest, StopSilencesNotesThatWereSentAheadAsTheyStart)
{
    quarters(0, 4);
    ASSERT_TRUE(start(PlayMode::Track));
    scheduler->cycle(0);
    scheduler->cycle(540'000); // a driver runs ahead of the clock: the second note went out already
    scheduler->stopPlayback(100'000);
    // The first note's off had gone out for 500 ms; it is silenced at the stop all the same,
    // and the second note is silenced as it starts.
    EXPECT_EQ(notes(),
              (std::vector<TimedMessage>{on(0, 60), off(100, 60), off(500, 60), on(500, 62), off(500, 62)}));
}

TEST_F(SchedulerControlTest, SeekMovesEveryTrackToTheNoteAtTheFraction)
{
    quarters(0, 8); // 4 s
    quarters(1, 4); // 2 s
    ASSERT_TRUE(start(PlayMode::All));
    EXPECT_EQ(scheduler->leadTrack(), 0);
    runUntilEnd([&](int64_t ms) {
        if (ms == 100)
            scheduler->seek(0.25, ms * 1000);
    });
    // Track 0 goes on with its third note at the seek; track 1 too.
    const auto rows = notes();
    EXPECT_NE(std::find(rows.begin(), rows.end(), on(100, 64, 0)), rows.end());
    EXPECT_NE(std::find(rows.begin(), rows.end(), on(100, 64, 1)), rows.end());
    EXPECT_NE(std::find(rows.begin(), rows.end(), off(100, 60, 0)), rows.end()) << "the old note stops";
    EXPECT_TRUE(held().empty());
    // Three seconds were left to play after the seek.
    EXPECT_EQ(rows.back().ms, 100 + 3000);
}

TEST_F(SchedulerControlTest, PlayingAllFromANotesFractionStartsEveryTrackAtThatNote)
{
    quarters(0, 8); // 4 s at 120
    quarters(1, 5);
    track(1).tempo = 60; // 5 s: the lead
    // The third note of the slow track starts at 2 s: the fast track's fifth note starts then.
    const std::optional<double> from = playAllFractionAt(sheet, 1, 2);
    ASSERT_TRUE(from);
    ASSERT_TRUE(start(PlayMode::All));
    scheduler->seek(*from, 0);
    scheduler->cycle(0);
    EXPECT_EQ(notes(), (std::vector<TimedMessage>{on(0, 67, 0), on(0, 64, 1)}));
    EXPECT_EQ(scheduler->state(1).elapsed, 2'000'000);
}

TEST_F(SchedulerControlTest, SecondSeekWithin100MsIsIgnored)
{
    quarters(0, 8);
    ASSERT_TRUE(start(PlayMode::Track));
    scheduler->cycle(0);
    scheduler->seek(0.5, 10'000);
    scheduler->seek(0.0, 60'000);
    EXPECT_EQ(scheduler->state(0).playIndex, 4);
    scheduler->seek(0.0, 111'000);
    EXPECT_EQ(scheduler->state(0).playIndex, 0);
}

TEST_F(SchedulerControlTest, SeekToTheEndEndsTheTrack)
{
    quarters(0, 2);
    ASSERT_TRUE(start(PlayMode::Track));
    scheduler->cycle(0);
    scheduler->seek(1.0, 20'000);
    EXPECT_FALSE(scheduler->cycle(21'000));
    EXPECT_TRUE(held().empty());
}

TEST_F(SchedulerControlTest, LeadTrackRefreshesProgressAboutEvery100Ms)
{
    quarters(0, 8);
    ASSERT_TRUE(start(PlayMode::Track));
    runUntilEnd();
    ASSERT_GE(view.progressReports.size(), 30u);
    EXPECT_EQ(view.progressReports.front().elapsedMs, 0);
    EXPECT_EQ(view.progressReports.front().totalMs, 4000);
    EXPECT_FALSE(view.progressReports.front().positionHeld);
    for (std::size_t i = 1; i < view.progressTimes.size(); ++i)
        EXPECT_GT(view.progressTimes[i] - view.progressTimes[i - 1], 100'000);
    // Each report says where the playback stands when it is heard.
    for (std::size_t i = 0; i < view.progressReports.size(); ++i) {
        const auto& p = view.progressReports[i];
        EXPECT_EQ(p.totalMs, 4000);
        EXPECT_NEAR(static_cast<double>(p.elapsedMs),
                    static_cast<double>(view.progressTimes[i] - origin) / 1000.0, 1.0);
    }
}

TEST_F(SchedulerControlTest, PositionIsHeldForHalfASecondAfterASeek)
{
    quarters(0, 8);
    ASSERT_TRUE(start(PlayMode::Track));
    runUntilEnd([&](int64_t ms) {
        if (ms == 1000)
            scheduler->seek(0.5, ms * 1000);
    });
    for (std::size_t i = 0; i < view.progressTimes.size(); ++i) {
        const int64_t ms = (view.progressTimes[i] - origin) / 1000;
        if (ms > 1000 && ms < 1500) {
            EXPECT_TRUE(view.progressReports[i].positionHeld) << "at " << ms;
        }
    }
}

TEST_F(SchedulerControlTest, FormatsPlayTimesAsMinutesAndSeconds)
{
    EXPECT_EQ(formatPlayTime(75'000), "01:15");
    EXPECT_EQ(formatPlayTime(3'999), "00:03");
    EXPECT_EQ(formatPlayTime(-5), "00:00");
    EXPECT_EQ(formatPlayTime(6'000'000), "100:00");
}

TEST_F(SchedulerControlTest, PlayAllLeadIsTheFirstLongestTrack)
{
    sheet.setTrackCount(3);
    quarters(0, 2);
    quarters(1, 5);
    quarters(2, 5);
    ASSERT_TRUE(start(PlayMode::All));
    EXPECT_EQ(scheduler->leadTrack(), 1);
    EXPECT_EQ(scheduler->leadLength(), 2500);
}

TEST_F(SchedulerControlTest, PlayTakesTheSelectedTrackOrTheFirst)
{
    quarters(0, 1);
    setNotes(track(1), {makeNote(kTypeQuarter, F4)});
    sheet.selectedTrack = 1;
    play(PlayMode::Track);
    EXPECT_EQ(notes(), (std::vector<TimedMessage>{on(0, 65, 1), off(500, 65, 1)}));
    sheet.selectedTrack = -1;
    play(PlayMode::Track);
    EXPECT_EQ(notes(), (std::vector<TimedMessage>{on(0, 60), off(500, 60)}));
}

TEST_F(SchedulerControlTest, AlreadyPlayingSheetDoesNotStartAgain)
{
    quarters(0, 2);
    ASSERT_TRUE(start(PlayMode::Track));
    EXPECT_FALSE(scheduler->begin(PlayMode::All, origin));
}

TEST_F(SchedulerControlTest, EventPlaybackPlaysANoteOffBeforeANoteOnOfTheSameTick)
{
    Track& t = track();
    setNotes(t, {makeNote(kTypeQuarter, C4), makeNote(kTypeQuarter, C4)});
    t.division = 480;
    // In file order: on, on at the same tick as the first off, then that off, then the last off.
    t.events = {{0, 0, 0, 60, 100, 63, 4, 0, 0},
                {0, 480, 1, 60, 90, 63, 4, 0, 0},
                {1, 480, 1, 60, 0, 63, 4, 0, 0},
                {1, 960, 2, 60, 0, 63, 4, 0, 0}};
    play(PlayMode::Events);
    // Due times are exact: a quarter at 120 bpm falls at 500 ms (it fell at 499 ms while a
    // single-precision tempo factor truncated them).
    const std::vector<TimedMessage> expected{
        {0, 0xC0, 4, 0},   {0, 0xB0, 7, 100},  {0, 0xB0, 10, 63},   on(0, 60),   off(500, 60),
        {500, 0xC0, 4, 0}, {500, 0xB0, 7, 90}, {500, 0xB0, 10, 63}, on(500, 60), off(1000, 60)};
    EXPECT_EQ(table(), expected);
    EXPECT_TRUE(held().empty());
    EXPECT_FALSE(anyMarked());
}

TEST_F(SchedulerControlTest, EventTimesFollowTheTrackTempo)
{
    Track& t = track();
    setNotes(t, {makeNote(kTypeQuarter, C4)});
    t.division = 96;
    t.tempo = 60;
    t.events = {{0, 96, 0, 60, 100, 63, 0, 0, 0}, {1, 192, 1, 60, 0, 63, 0, 0, 0}};
    play(PlayMode::Events);
    EXPECT_EQ(notes(), (std::vector<TimedMessage>{on(1000, 60), off(2000, 60)}));
}

TEST_F(SchedulerControlTest, ClipNoteEndsAtOnceWithoutTheSoundEngine)
{
    Note clip = makeNote(kTypeAudioClip);
    clip.setFilename(std::string("/music/loop.mp3"));
    setNotes(track(), {makeNote(kTypeQuarter, C4), clip, makeNote(kTypeQuarter, D4)});
    play();
    EXPECT_EQ(notes(), (std::vector<TimedMessage>{on(0, 60), on(500, 62), off(500, 60), off(1000, 62)}));
}

TEST_F(SchedulerControlTest, PlayingClipHoldsTheTrackUntilItsSlotFinishes)
{
    TimedClipSlots slots(clock);
    clips = &slots;
    Note clip = makeNote(kTypeAudioClip);
    clip.setFilename(std::string("/music/loop.mp3"));
    setNotes(track(), {makeNote(kTypeQuarter, C4), clip, makeNote(kTypeQuarter, D4)});
    play();
    EXPECT_EQ(slots.starts, 1);
    EXPECT_EQ(notes(), (std::vector<TimedMessage>{on(0, 60), off(500, 60), on(800, 62), off(1300, 62)}));
}

TEST_F(SchedulerControlTest, ClipThatNeverStartsIsGivenUpAndStopStillWorks)
{
    TimedClipSlots slots(clock);
    slots.neverStarts = true;
    clips = &slots;
    Note clip = makeNote(kTypeAudioClip);
    clip.setFilename(std::string("/music/broken.mp3"));
    setNotes(track(), {clip, makeNote(kTypeQuarter, D4)});
    const int64_t end = play();
    EXPECT_GE(end, kClipStartTimeoutUs / 1000);
    EXPECT_LT(end, kClipStartTimeoutUs / 1000 + 600);
    EXPECT_EQ(notes().size(), 2u);

    ASSERT_TRUE(start(PlayMode::Track));
    runUntilEnd([&](int64_t ms) {
        if (ms == 50)
            scheduler->stopPlayback(ms * 1000);
    });
    EXPECT_LT(nowMs(), 60);
}

TEST_F(SchedulerControlTest, NotesInsertedDuringPlaybackAreHeard)
{
    quarters(0, 2);
    ASSERT_TRUE(start(PlayMode::Track));
    runUntilEnd([&](int64_t ms) {
        if (ms == 200)
            track().insertNote(makeNote(kTypeQuarter, F4), 2);
    });
    EXPECT_EQ(notes().back(), off(1500, 65));
}

TEST_F(SchedulerControlTest, EditedSoundingNoteIsReleasedWithTheKeyItSounded)
{
    quarters(0, 2);
    ASSERT_TRUE(start(PlayMode::Track));
    runUntilEnd([&](int64_t ms) {
        if (ms == 100)
            track().noteAt(0).setStaffPosition(F4);
    });
    EXPECT_EQ(notes()[0], on(0, 60));
    EXPECT_TRUE(held().empty());
}

TEST_F(SchedulerControlTest, RemovingNotesUnderThePlayingIndexEndsCleanly)
{
    quarters(0, 4);
    ASSERT_TRUE(start(PlayMode::Track));
    const int64_t end = runUntilEnd([&](int64_t ms) {
        if (ms == 1100) {
            track().removeNote(3);
            track().removeNote(2);
            track().removeNote(1);
        }
    });
    EXPECT_LE(end, 1101);
    EXPECT_TRUE(held().empty());
}

TEST_F(SchedulerControlTest, RemovedTrackIsSilenced)
{
    quarters(0, 2);
    setNotes(track(1), {makeNote(kTypeWhole, C4)});
    ASSERT_TRUE(start(PlayMode::All));
    runUntilEnd([&](int64_t ms) {
        if (ms == 300)
            sheet.setTrackCount(1);
    });
    EXPECT_TRUE(held().empty());
    const auto rows = notes();
    EXPECT_NE(std::find(rows.begin(), rows.end(), off(300, 60, 1)), rows.end());
}

TEST_F(SchedulerControlTest, ResetClearsMarksAndSelection)
{
    quarters(0, 3);
    track().noteAt(1).selected = 1;
    PlayMarks marks; // kept from an earlier playback, as a driver keeps them
    marks.begin(&sheet);
    marks.set(0, 2, true);
    ASSERT_TRUE(port.open(0));
    Scheduler s(sheet, port, output, *clips, &view, &marks);
    ASSERT_TRUE(s.begin(PlayMode::Track, clock.nowUs()));
    EXPECT_EQ(track().noteAt(1).selected, 0);
    EXPECT_FALSE(marks.sounding(sheet, 0, 2));
    EXPECT_EQ(&s.marks(), &marks);
}

// The driver on a real clock, sending to the recorder.
class PlaybackDriverTest : public SchedulerControlTest {
  protected:
    SteadyClock steady;
    RecordingMidiOutput recorder{steady};
    PlaybackDriver::Options options{20'000, 1'000};
};

TEST_F(PlaybackDriverTest, MessagesReachTheDeviceAheadOfTheirTimesInTimeOrder)
{
    sheet.setTrackCount(3);
    for (int t = 0; t < 3; ++t)
        quarters(t, 3);
    PlaybackDriver driver(recorder, notifier, steady, endAtOnce, &view, options);
    ASSERT_TRUE(driver.play(sheet, PlayMode::All, 0));
    ASSERT_TRUE(driver.wait(5'000'000));
    ASSERT_EQ(recorder.closes, 1);
    int64_t lastStamp = 0;
    int noteOns = 0;
    for (const auto& m : recorder.messages) {
        EXPECT_GE(m.stampUs, lastStamp) << "stamps reach the device in time order";
        lastStamp = m.stampUs;
        EXPECT_EQ((m.stampUs - driver.originUs()) % 500'000, 0) << "every stamp is an ideal time";
        EXPECT_LE(m.clockUs, m.stampUs + 5'000) << "sent ahead of (or at) its time";
        noteOns += (m.status() & 0xF0) == 0x90;
    }
    EXPECT_EQ(noteOns, 9);
    EXPECT_EQ(view.endedCalls, 1);
}

TEST_F(PlaybackDriverTest, StopSilencesEverythingAndClosesThePort)
{
    quarters(0, 20);
    PlaybackDriver driver(recorder, notifier, steady, endAtOnce, &view, options);
    ASSERT_TRUE(driver.play(sheet, PlayMode::Track, 0));
    steady.sleepMs(700);
    driver.stop();
    EXPECT_FALSE(driver.isPlaying());
    EXPECT_EQ(recorder.closes, 1);
    std::map<int, int> h;
    for (const auto& m : recorder.messages) {
        if ((m.status() & 0xF0) == 0x90)
            ++h[m.data1()];
        if ((m.status() & 0xF0) == 0x80)
            --h[m.data1()];
    }
    for (const auto& [key, n] : h)
        EXPECT_EQ(n, 0) << "key " << key;
    for (int i = 0; i < track().count; ++i)
        EXPECT_FALSE(driver.soundingNotes().sounding(sheet, 0, i)) << "note " << i;
}

TEST_F(PlaybackDriverTest, DeviceThatCannotOpenIsReportedAndNothingPlays)
{
    quarters(0, 2);
    recorder.failOpen = true;
    PlaybackDriver driver(recorder, notifier, steady, endAtOnce, &view, options);
    EXPECT_FALSE(driver.play(sheet, PlayMode::All, 0));
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(notifier.messages[0].text, "Could not create MIDI device");
    EXPECT_EQ(notifier.messages[0].caption, "Error");
    EXPECT_TRUE(recorder.messages.empty());
}

} // namespace
} // namespace tonvela::testing
