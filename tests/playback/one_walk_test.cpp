// Playback and the MIDI file follow one walk of what the sheet plays: the same keys struck at
// the same exact times, read back from the file by an independent parser (midicsv).

#include "playback/midi_file_writer.h"
#include "scheduler_test_util.h"

#include <cstdio>
#include <filesystem>
#include <sstream>
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

    // The note ons of the written file, by midicsv, at 120 beats a minute (96 ticks a quarter).
    std::vector<Strike> fileStrikes()
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
        std::vector<Strike> out;
        std::istringstream in(csv);
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

} // namespace
} // namespace tonvela::testing
