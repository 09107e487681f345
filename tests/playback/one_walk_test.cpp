// Playback and the MIDI file follow one walk of what the sheet plays: the same keys struck at
// the same exact times, read back from the file by an independent parser (midicsv).

#include "playback/midi_file_writer.h"
#include "scheduler_test_util.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <tuple>
#include <unistd.h>

namespace tonvela::testing {
namespace {

namespace fs = std::filesystem;

struct Strike {
    int64_t us; // from the start
    int key;
    bool operator==(const Strike&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Strike& s)
{
    return os << "{" << s.us << " us, " << s.key << "}";
}

class OneWalkTest : public SchedulerHarness {
  protected:
    OneWalkTest()
    {
        dir = fs::temp_directory_path() / ("tonvela_one_walk_" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    ~OneWalkTest() override { fs::remove_all(dir); }
    Track& track() { return *sheet.trackAt(0); }

    // The sheet's MIDI file as midicsv prints it.
    std::string writtenCsv()
    {
        const fs::path file = dir / "walk.mid";
        EXPECT_TRUE(writeMidiFile(sheet, file.string(), 0).ok);
        const std::string cmd = "midicsv '" + file.string() + "' 2>&1";
        FILE* p = ::popen(cmd.c_str(), "r");
        std::string csv;
        char buf[4096];
        while (std::size_t n = std::fread(buf, 1, sizeof buf, p))
            csv.append(buf, n);
        EXPECT_EQ(::pclose(p), 0) << "midicsv is needed (scripts/setup.sh installs it): " << csv;
        return csv;
    }
    // The note ons of the written file, by midicsv, at 120 beats a minute (96 ticks a quarter).
    std::vector<Strike> fileStrikes()
    {
        std::vector<Strike> out;
        std::istringstream in(writtenCsv());
        for (std::string line; std::getline(in, line);) {
            int trackNo = 0, channel = 0, key = 0, velocity = 0;
            long long tick = 0;
            if (std::sscanf(line.c_str(), "%d, %lld, Note_on_c, %d, %d, %d", &trackNo, &tick, &channel, &key,
                            &velocity) == 5 &&
                velocity > 0)
                out.push_back({tick * 500'000 / 96, key});
        }
        return out;
    }
    // The note ons playback sends, at their exact stamps.
    std::vector<Strike> playedStrikes()
    {
        play();
        std::vector<Strike> out;
        for (const auto& m : output.messages)
            if ((m.status() & 0xF0) == 0x90)
                out.push_back({m.stampUs - origin, m.data1()});
        return out;
    }
    // Each key's sound as (from, to, key), from the file by midicsv and from what playback
    // sends, in the order the sounds start.
    struct Span {
        int64_t fromUs, toUs;
        int key;
        bool operator==(const Span&) const = default;
        bool operator<(const Span& o) const { return std::tie(fromUs, key) < std::tie(o.fromUs, o.key); }
    };
    static std::vector<Span> pair(const std::vector<std::tuple<int64_t, int, bool>>& events)
    {
        std::vector<Span> out;
        std::map<int, std::vector<int64_t>> open;
        for (const auto& [us, key, on] : events) {
            if (on) {
                open[key].push_back(us);
            } else if (!open[key].empty()) {
                out.push_back({open[key].front(), us, key});
                open[key].erase(open[key].begin());
            }
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    std::vector<Span> fileSpans()
    {
        std::vector<std::tuple<int64_t, int, bool>> events;
        std::istringstream in(writtenCsv());
        for (std::string line; std::getline(in, line);) {
            int trackNo = 0, channel = 0, key = 0, velocity = 0;
            long long tick = 0;
            char kind[16] = {};
            if (std::sscanf(line.c_str(), "%d, %lld, Note_%3[a-z]_c, %d, %d, %d", &trackNo, &tick, kind,
                            &channel, &key, &velocity) == 6)
                events.emplace_back(tick * 500'000 / 96, key, std::string(kind) == "on" && velocity > 0);
        }
        return pair(events);
    }
    std::vector<Span> playedSpans()
    {
        play();
        std::vector<std::tuple<int64_t, int, bool>> events;
        for (const auto& m : output.messages) {
            const int kind = m.status() & 0xF0;
            if (kind == 0x90 || kind == 0x80)
                events.emplace_back(m.stampUs - origin, m.data1(), kind == 0x90 && m.data2() > 0);
        }
        return pair(events);
    }
    fs::path dir;
};

TEST_F(OneWalkTest, TheMidiFileStrikesWhatPlaybackStrikesWhenPlaybackStrikesIt)
{
    // 2/4. Measure 1, marked to repeat, is exactly full: 32nd, dotted 32nd, dotted 16th, dotted
    // 8th, 16th, 32nd, dotted 32nd. Then a tie chain of 103 sixteenths of one pitch (struck
    // again after 101 notes), a chord, a half rest and an eighth that loops back to the chord.
    std::vector<Note> ns{makeNote(kTypeThirtySecond, 0),
                         makeNote(kTypeThirtySecond, -1, kFlagDot),
                         makeNote(kTypeSixteenth, -2, kFlagDot),
                         makeNote(kTypeEighth, -3, kFlagDot),
                         makeNote(kTypeSixteenth, -4),
                         makeNote(kTypeThirtySecond, -5),
                         makeNote(kTypeThirtySecond, -6, kFlagDot)};
    for (int i = 0; i < 103; ++i)
        ns.push_back(makeNote(kTypeSixteenth, -7, kFlagTie));
    const int chord = static_cast<int>(ns.size());
    ns.push_back(makeNote(kTypeQuarter, 0));
    Note member = makeNote(kTypeQuarter, -2);
    member.chordparent = static_cast<int16_t>(chord);
    ns.push_back(member);
    ns.push_back(makeNote(kTypeHalf, -5, kFlagRest));
    Note last = makeNote(kTypeEighth, -6);
    last.loopTo = chord;
    last.loopCount = 1;
    ns.push_back(last);
    setNotes(track(), ns);
    track().timeSig = kTimeSig24;
    track().measureRepeats.set(1, true);

    const std::vector<Strike> file = fileStrikes();
    const std::vector<Strike> played = playedStrikes();
    EXPECT_EQ(file, played);
    // The places themselves, exact to the microsecond.
    ASSERT_EQ(played.size(), 7u * 2 + 2 + 2 * 3);
    const int64_t firstPass[] = {0, 62'500, 156'250, 343'750, 718'750, 843'750, 906'250};
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(played[static_cast<std::size_t>(k)].us, firstPass[k]) << k;
        EXPECT_EQ(played[static_cast<std::size_t>(k) + 7].us, firstPass[k] + 1'000'000) << "measure 1 again";
    }
    EXPECT_EQ(played[14].us, 2'000'000);
    EXPECT_EQ(played[15].us, 2'000'000 + 101 * 125'000) << "the 102nd tied note is struck again";
    EXPECT_EQ(played[16].us, 2'000'000 + 103 * 125'000);
}

TEST_F(OneWalkTest, ARepeatedPassageWithEndingsPlaysAndIsWrittenUnfolded)
{
    // 2/4, five measures of two quarters: C D | E F | G A | B C' | D' E'. Measures 1-3 repeat,
    // measure 3 the first ending, measure 4 the second: 1 2 3 1 2 4 5.
    std::vector<Note> ns;
    for (int k = 0; k < 10; ++k)
        ns.push_back(makeNote(kTypeQuarter, -k));
    setNotes(track(), ns);
    sheet.trackAt(1)->count = 0;
    sheet.setTimeSignatureCode(kTimeSig24);
    sheet.setRepeatRanges({{1, 3, 1, 1}});
    const int keys[] = {60, 62, 64, 65, 67, 69, 60, 62, 64, 65, 71, 72, 74, 76};
    std::vector<Strike> expected;
    for (int k = 0; k < 14; ++k)
        expected.push_back({k * 500'000LL, keys[k]});
    EXPECT_EQ(playedStrikes(), expected);
    EXPECT_EQ(fileStrikes(), expected);
}

TEST_F(OneWalkTest, ATieOverTheEndOfARepeatedPassageIsStruckAgainInPlaybackAndInTheFile)
{
    // 2/4: C D~ | D E, measure 1 repeated as a passage: the tie out of its end is cut, so D
    // sounds a quarter, the repeat goes back, and the D of measure 2 is struck afresh.
    std::vector<Note> ns{makeNote(kTypeQuarter, 0), makeNote(kTypeQuarter, -1, kFlagTie),
                         makeNote(kTypeQuarter, -1, kFlagTie), makeNote(kTypeQuarter, -2)};
    setNotes(track(), ns);
    sheet.trackAt(1)->count = 0;
    sheet.setTimeSignatureCode(kTimeSig24);
    sheet.setRepeatRanges({{1, 1, 0, 0}});
    const std::vector<Strike> expected{{0, 60},         {500'000, 62},   {1'000'000, 60},
                                       {1'500'000, 62}, {2'000'000, 62}, {2'500'000, 64}};
    EXPECT_EQ(playedStrikes(), expected);
    EXPECT_EQ(fileStrikes(), expected);
}

TEST_F(OneWalkTest, ATieIntoARepeatedMeasureSoundsOnceInPlaybackAndInTheFile)
{
    // 2/4: C D~ | D~ E | F, measure 2 marked: D sounds once for a half note on the way in, the
    // repeat strikes it again; C D E D E F.
    std::vector<Note> ns{makeNote(kTypeQuarter, 0), makeNote(kTypeQuarter, -1, kFlagTie),
                         makeNote(kTypeQuarter, -1, kFlagTie), makeNote(kTypeQuarter, -2),
                         makeNote(kTypeQuarter, -3)};
    setNotes(track(), ns);
    sheet.trackAt(1)->count = 0;
    track().timeSig = kTimeSig24;
    track().measureRepeats.set(2, true);
    const std::vector<Strike> played = playedStrikes();
    const std::vector<Strike> expected{{0, 60},         {500'000, 62},   {1'500'000, 64},
                                       {2'000'000, 62}, {2'500'000, 64}, {3'000'000, 65}};
    EXPECT_EQ(played, expected);
    EXPECT_EQ(fileStrikes(), expected);
    // The held D ends where the repeated measure's first pass goes on.
    bool heldToE = false;
    for (const auto& m : output.messages)
        if ((m.status() & 0xF0) == 0x80 && m.data1() == 62 && m.stampUs - origin == 1'500'000)
            heldToE = true;
    EXPECT_TRUE(heldToE);
}

TEST_F(OneWalkTest, ATiedChordHoldsEveryPitchTheNextChordRepeatsAndStrikesThoseItAdds)
{
    // 4/4: <C E G>~ <C E A>~ <C E>2, the chords tied by their roots' marks (the members carry
    // none): C holds through all three chords (the root of the tie chain) and E too (each next
    // chord repeats it), G stops after its quarter (the next chord has no G), and A is struck
    // where its chord begins and ends with it.
    std::vector<Note> ns{makeNote(kTypeQuarter, 0, kFlagTie), makeNote(kTypeQuarter, -2),
                         makeNote(kTypeQuarter, -4),          makeNote(kTypeQuarter, 0, kFlagTie),
                         makeNote(kTypeQuarter, -2),          makeNote(kTypeQuarter, -5),
                         makeNote(kTypeHalf, 0, kFlagTie),    makeNote(kTypeHalf, -2)};
    for (int m : {1, 2})
        ns[static_cast<std::size_t>(m)].chordparent = 0;
    for (int m : {4, 5})
        ns[static_cast<std::size_t>(m)].chordparent = 3;
    ns[7].chordparent = 6;
    setNotes(track(), ns);
    sheet.trackAt(1)->count = 0;
    const int c = track().noteAt(0).effectiveKey(), e = track().noteAt(1).effectiveKey(),
              g = track().noteAt(2).effectiveKey(), a = track().noteAt(5).effectiveKey();
    ASSERT_NE(e, c);
    ASSERT_NE(g, e);
    const std::vector<Span> expected{
        {0, 2'000'000, c}, {0, 2'000'000, e}, {0, 500'000, g}, {500'000, 1'000'000, a}};
    EXPECT_EQ(playedSpans(), expected);
    EXPECT_EQ(fileSpans(), expected);
}

} // namespace
} // namespace tonvela::testing
