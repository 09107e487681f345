// Chord symbols played with the sheet: each symbol's chord on the accompaniment channel from
// its note until the next symbol, against a table of times, with a virtual clock.

#include "scheduler_test_util.h"

namespace tonvela::testing {
namespace {

constexpr int C4 = 0, E4 = -2, G4 = -4;
constexpr int kCh = kAccompanimentChannel;

class ChordSymbolPlaybackTest : public SchedulerHarness {
  protected:
    Track& track() { return *sheet.trackAt(0); }
    // The accompaniment channel's note ons and offs.
    std::vector<TimedMessage> accompaniment() const
    {
        std::vector<TimedMessage> rows;
        for (const TimedMessage& m : notes())
            if ((m.status & 0x0F) == kCh)
                rows.push_back(m);
        return rows;
    }
    void lead(std::vector<Note> notes, const std::vector<const char*>& symbols)
    {
        for (std::size_t i = 0; i < notes.size() && i < symbols.size(); ++i)
            if (symbols[i])
                notes[i].setChordSymbol(symbols[i]);
        setNotes(track(), notes);
    }
};

TEST_F(ChordSymbolPlaybackTest, EachSymbolSoundsFromItsNoteUntilTheNextAndTheEnd)
{
    // C for two quarters, then Am7/G for a half; 120 bpm: a quarter is 500 ms.
    lead({makeNote(kTypeQuarter, C4), makeNote(kTypeQuarter, E4), makeNote(kTypeHalf, G4)},
         {"C", nullptr, "Am7/G"});
    ASSERT_TRUE(start(PlayMode::Track));
    scheduler->setChordSymbols(true);
    const int64_t end = runUntilEnd();
    EXPECT_EQ(end, 2000);
    const auto onA = [](int64_t ms, int key) {
        return TimedMessage{ms, 0x90 | kCh, key, kAccompanimentVelocity};
    };
    const auto offA = [](int64_t ms, int key) {
        return TimedMessage{ms, 0x80 | kCh, key, kAccompanimentVelocity};
    };
    const std::vector<TimedMessage> expected{
        // C: bass C2, then C3 E3 G3.
        onA(0, 36), onA(0, 48), onA(0, 52), onA(0, 55),
        // At the second symbol the first is released and Am7 over G sounds: G2, A3 C4 E4 G4.
        offA(1000, 36), offA(1000, 48), offA(1000, 52), offA(1000, 55), onA(1000, 43), onA(1000, 57),
        onA(1000, 60), onA(1000, 64), onA(1000, 67),
        // The end of the playback releases it.
        offA(2000, 43), offA(2000, 57), offA(2000, 60), offA(2000, 64), offA(2000, 67)};
    EXPECT_EQ(accompaniment(), expected);
    // The melody is unchanged on its own channel, and the accompaniment has its program.
    EXPECT_EQ(notes().size() - accompaniment().size(), 6u);
    const auto rows = table();
    EXPECT_NE(std::find(rows.begin(), rows.end(), TimedMessage{0, 0xC0 | kCh, kAccompanimentProgram, 0}),
              rows.end());
    expectSentOnTime();
}

TEST_F(ChordSymbolPlaybackTest, SymbolsAreSilentUnlessAskedForAndAStopReleasesThem)
{
    lead({makeNote(kTypeWhole, C4)}, {"Cmaj7"});
    play();
    EXPECT_TRUE(accompaniment().empty()) << "off by default";

    ASSERT_TRUE(start(PlayMode::Track));
    scheduler->setChordSymbols(true);
    runUntilEnd([&](int64_t ms) {
        if (ms == 300)
            scheduler->stopPlayback(nowUs());
    });
    const auto acc = accompaniment();
    ASSERT_EQ(acc.size(), 10u); // five on (bass and four tones), five off
    for (std::size_t i = 5; i < acc.size(); ++i) {
        EXPECT_EQ(acc[i].status, 0x80 | kCh);
        EXPECT_EQ(acc[i].ms, 300);
    }
}

} // namespace
} // namespace tonvela::testing
