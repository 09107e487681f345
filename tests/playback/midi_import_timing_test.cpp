// MIDI import keeps every track on the file's beat: built files whose exact timing is known,
// imported and then played by the scheduler, written again by the MIDI writer and read back by
// midicsv.

#include "playback/midi_file_reader.h"
#include "playback/midi_file_writer.h"
#include "scheduler_test_util.h"
#include "score/play_time.h"
#include "score/sheet_file.h"
#include "smf_builder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace tonvela {
namespace {

using test::smfFile;
using test::TrackBytes;
using testing::TimedMessage;

// A note as the file has it, in milliseconds of the file's own time.
struct FileNote {
    int key;
    double onMs;
    double offMs;
};

class MidiImportTimingTest : public testing::SchedulerHarness {
  protected:
    void import(const std::string& bytes)
    {
        result = importMidiData(bytes, sheet, &info);
        ASSERT_TRUE(result.ok()) << result.error;
    }
    Track& track(int i = 0) { return *sheet.trackAt(i); }

    static int soundingNotes(const Track& t)
    {
        int n = 0;
        for (int i = 0; i < t.count; ++i)
            n += t.noteAt(i).isRest() ? 0 : 1;
        return n;
    }

    // Plays every track and pairs each note on with its note off, per channel and key, in the
    // order they sounded.
    std::vector<FileNote> played(PlayMode mode = PlayMode::All)
    {
        endMs = play(mode);
        std::vector<FileNote> out;
        std::vector<std::vector<std::size_t>> open(16 * 128);
        for (const TimedMessage& m : notes()) {
            const std::size_t slot =
                static_cast<std::size_t>(m.status & 0x0F) * 128 + static_cast<std::size_t>(m.data1);
            if ((m.status & 0xF0) == 0x90) {
                open[slot].push_back(out.size());
                out.push_back({m.data1, static_cast<double>(m.ms), -1});
            } else if (!open[slot].empty()) {
                out[open[slot].front()].offMs = static_cast<double>(m.ms);
                open[slot].erase(open[slot].begin());
            }
        }
        std::stable_sort(out.begin(), out.end(),
                         [](const FileNote& a, const FileNote& b) { return a.onMs < b.onMs; });
        return out;
    }

    // Each played note starts and ends within `tolMs` of the file's note of the same place.
    static void expectSameNotes(std::vector<FileNote> want, const std::vector<FileNote>& got, double tolMs)
    {
        std::stable_sort(want.begin(), want.end(),
                         [](const FileNote& a, const FileNote& b) { return a.onMs < b.onMs; });
        ASSERT_EQ(got.size(), want.size());
        double worstOn = 0;
        double worstOff = 0;
        for (std::size_t i = 0; i < want.size(); ++i) {
            EXPECT_EQ(got[i].key, want[i].key) << "note " << i;
            worstOn = std::max(worstOn, std::fabs(got[i].onMs - want[i].onMs));
            worstOff = std::max(worstOff, std::fabs(got[i].offMs - want[i].offMs));
        }
        EXPECT_LE(worstOn, tolMs) << "onsets moved";
        EXPECT_LE(worstOff, tolMs) << "note ends moved";
    }

    LoadResult result;
    MidiFileInfo info;
    int64_t endMs = 0;
};

struct Timed {
    int tick;
    bool on;
    int key;
};

// A track chunk of note-ons and note-offs at the given ticks (note-offs first at equal ticks).
TrackBytes trackOf(std::vector<Timed> events, int channel = 0)
{
    std::stable_sort(events.begin(), events.end(), [](const Timed& a, const Timed& b) {
        return a.tick != b.tick ? a.tick < b.tick : !a.on && b.on;
    });
    TrackBytes t;
    int last = 0;
    for (const Timed& e : events) {
        const auto d = static_cast<uint32_t>(e.tick - last);
        if (e.on)
            t.on(d, channel, e.key, 80);
        else
            t.off(d, channel, e.key);
        last = e.tick;
    }
    return t;
}

// A prelude in the manner of Bach: per half measure a bass note held through it, a second note
// held from the next sixteenth, and six sixteenths above, slightly detached. 66 bpm, 480
// ticks per quarter, eight measures.
std::string arpeggioPrelude(std::vector<FileNote>& notes)
{
    constexpr int kDiv = 480;
    constexpr int kSixteenth = kDiv / 4;
    constexpr double kMsPerTick = 909091.0 / 1000.0 / kDiv;
    const int chords[][5] = {{48, 52, 55, 60, 64}, {48, 50, 57, 62, 65}, {47, 50, 55, 62, 65},
                             {48, 52, 55, 60, 64}, {48, 52, 57, 64, 69}, {48, 50, 54, 57, 62},
                             {47, 50, 55, 62, 67}, {47, 48, 52, 55, 60}};
    std::vector<Timed> evs;
    for (int half = 0; half < 16; ++half) {
        const int* c = chords[half / 2];
        const int t0 = half * 8 * kSixteenth;
        auto add = [&](int key, int from, int ticks) {
            evs.push_back({from, true, key});
            evs.push_back({from + ticks, false, key});
            notes.push_back({key, from * kMsPerTick, (from + ticks) * kMsPerTick});
        };
        add(c[0], t0, 8 * kSixteenth);
        add(c[1], t0 + kSixteenth, 7 * kSixteenth);
        for (int k = 0; k < 6; ++k)
            add(c[2 + k % 3], t0 + (2 + k) * kSixteenth, kSixteenth - 10);
    }
    const TrackBytes conductor = TrackBytes().meta(0, 0x03, "Prelude").tempo(0, 909091).end();
    return smfFile({conductor, trackOf(evs).end()}, kDiv);
}

TEST_F(MidiImportTimingTest, AnArpeggioWithHeldNotesPlaysAsLongAsTheFileWithEveryNoteInPlace)
{
    std::vector<FileNote> want;
    import(arpeggioPrelude(want));
    ASSERT_EQ(sheet.trackCount(), 1);
    EXPECT_EQ(track().tempo, 66);
    // One note per note-on, each on its own sixteenth: nothing gathered into chords, no rests.
    // One note per note-on, none gathered into chords. Three lines sound at once: the bass,
    // the second note held from the next sixteenth and the sixteenths above. The second note
    // takes voice 2, after a rest, as the dotted quarter nearest its seven sixteenths; the
    // first sixteenth above cuts the bass to an eighth in voice 1, and each such note is counted.
    EXPECT_EQ(soundingNotes(track()), 128);
    int second = 0;
    int secondRests = 0;
    int eighths = 0;
    int sixteenths = 0;
    for (int i = 0; i < track().count; ++i) {
        const Note& n = track().noteAt(i);
        EXPECT_EQ(n.chordparent, -1) << i;
        if (n.voice == kVoice2) {
            secondRests += n.isRest() ? 1 : 0;
            if (!n.isRest()) {
                ++second;
                EXPECT_EQ(n.type, kTypeQuarter) << i;
                EXPECT_TRUE(n.isDotted()) << i;
            }
        } else {
            EXPECT_FALSE(n.isRest()) << i;
            eighths += n.type == kTypeEighth ? 1 : 0;
            sixteenths += n.type == kTypeSixteenth ? 1 : 0;
        }
    }
    EXPECT_EQ(eighths, 16);
    EXPECT_EQ(sixteenths, 16 * 6);
    EXPECT_EQ(second, 16);
    EXPECT_EQ(secondRests, 16);
    ASSERT_EQ(result.warnings.size(), 1u);
    EXPECT_NE(result.warnings[0].find("16 notes start while two others still sound"), std::string::npos);
    // The held notes keep sounding through their stop offsets.
    const std::vector<FileNote> got = played();
    expectSameNotes(want, got, 45);
    const double fileMs = 32 * 909.091;
    EXPECT_NEAR(static_cast<double>(totalPlayMs(track())), fileMs, 909);
    EXPECT_NEAR(static_cast<double>(endMs), fileMs, 909);
}

TEST_F(MidiImportTimingTest, ThreeOverlappingQuartersStayAHalfBeatApartInTwoVoices)
{
    const TrackBytes t = TrackBytes()
                             .on(0, 0, 60)
                             .on(48, 0, 64)
                             .off(48, 0, 60)
                             .on(0, 0, 67)
                             .off(48, 0, 64)
                             .off(48, 0, 67)
                             .end();
    import(smfFile({t}));
    // The second starts while the first sounds: it goes into voice 2 after an eighth rest, and
    // each keeps its quarter.
    ASSERT_EQ(track().count, 4);
    EXPECT_EQ(track().noteAt(0).type, kTypeQuarter);
    EXPECT_TRUE(track().noteAt(1).isRest());
    EXPECT_EQ(track().noteAt(1).voice, kVoice2);
    EXPECT_EQ(track().noteAt(1).type, kTypeEighth);
    EXPECT_EQ(track().noteAt(2).effectiveKey(), 64);
    EXPECT_EQ(track().noteAt(2).voice, kVoice2);
    EXPECT_EQ(track().noteAt(2).type, kTypeQuarter);
    EXPECT_EQ(track().noteAt(3).effectiveKey(), 67);
    EXPECT_EQ(track().noteAt(3).type, kTypeQuarter);
    EXPECT_EQ(totalPlayMs(track()), 1000);
    expectSameNotes({{60, 0, 500}, {64, 250, 750}, {67, 500, 1000}}, played(), 0);
}

// A conductor at 60 bpm for eight beats, then 128 bpm for 32; a melody of quarters throughout.
std::string tempoChangeFile()
{
    const TrackBytes conductor = TrackBytes().tempo(0, 1000000).tempo(8 * 96, 468750).end(32 * 96);
    TrackBytes melody;
    for (int i = 0; i < 40; ++i)
        melody.on(0, 0, 60 + i % 12).off(96, 0, 60 + i % 12);
    melody.end();
    return smfFile({conductor, melody});
}

TEST_F(MidiImportTimingTest, EventPlaybackFollowsEveryTempoChangeOfTheFile)
{
    import(tempoChangeFile());
    ASSERT_EQ(sheet.trackCount(), 1);
    std::vector<FileNote> want;
    for (int i = 0; i < 40; ++i) {
        const double on = i < 8 ? i * 1000.0 : 8000.0 + (i - 8) * 468.75;
        const double off = i < 8 ? on + 1000.0 : on + 468.75;
        want.push_back({60 + i % 12, on, off});
    }
    expectSameNotes(want, played(PlayMode::Events), 1);
    EXPECT_NEAR(static_cast<double>(endMs), 23000, 2);
    EXPECT_EQ(scheduler->leadLength(), 23000);
}

TEST_F(MidiImportTimingTest, TheSheetTakesTheTempoOfMostOfTheFileAndStillLastsAsLong)
{
    import(tempoChangeFile());
    // 128 bpm holds for 15 of the 23 seconds.
    EXPECT_EQ(track().tempo, 128);
    EXPECT_EQ(info.tempoBpm, 128);
    EXPECT_EQ(info.tempoChanges, 1);
    EXPECT_EQ(info.minTempoBpm, 60);
    EXPECT_EQ(info.maxTempoBpm, 128);
    EXPECT_EQ(soundingNotes(track()), 40);
    const double beatMs = 60000.0 / 128;
    EXPECT_NEAR(static_cast<double>(totalPlayMs(track())), 23000, beatMs);
    std::vector<FileNote> want;
    for (int i = 0; i < 40; ++i) {
        const double on = i < 8 ? i * 1000.0 : 8000.0 + (i - 8) * 468.75;
        want.push_back({60 + i % 12, on, on + (i < 8 ? 1000.0 : 468.75)});
    }
    // Onsets within half a sixteenth of the sheet's tempo, and sounds as long as in the file.
    expectSameNotes(want, played(), beatMs / 8 + 5);
}

TEST_F(MidiImportTimingTest, PartsOfASongStayTogether)
{
    // At 100 bpm, 16 bars: a part of dotted rhythms, triplets, a silence and runs of sixteenths,
    // against a part of whole notes.
    TrackBytes busy = TrackBytes().tempo(0, 600000);
    TrackBytes slow;
    for (int bar = 0; bar < 16; ++bar) {
        if (bar % 2 == 0) {
            busy.on(0, 0, 52).off(72, 0, 52).on(0, 0, 74).off(24, 0, 74);  // dotted eighth, sixteenth
            busy.on(0, 0, 76).off(32, 0, 76).on(0, 0, 77).off(32, 0, 77);  // triplets
            busy.on(0, 0, 79).off(32, 0, 79).on(0, 0, 81).off(120, 0, 81); // a long note
            busy.on(36, 0, 83).off(36, 0, 83);                             // after a silence
        } else {
            for (int k = 0; k < 16; ++k)
                busy.on(0, 0, 60 + k).off(24, 0, 60 + k);
        }
        slow.on(0, 1, 48).off(384, 1, 48);
    }
    import(smfFile({busy.end(), slow.end()}));
    ASSERT_EQ(sheet.trackCount(), 2);
    const double fileMs = 64 * 600.0;
    for (int ti = 0; ti < 2; ++ti)
        EXPECT_NEAR(static_cast<double>(totalPlayMs(track(ti))), fileMs, 600) << ti;
    // Every bar of both parts starts together.
    int bars = 0;
    for (const FileNote& n : played()) {
        if (n.key != 52 && n.key != 60 && n.key != 48)
            continue;
        ++bars;
        EXPECT_NEAR(std::fmod(n.onMs + 1200, 2400.0), 1200, 20) << n.key << " at " << n.onMs;
    }
    EXPECT_EQ(bars, 32);
    EXPECT_NEAR(static_cast<double>(endMs), fileMs, 600);
}

TEST_F(MidiImportTimingTest, TripletEighthsStayNearTheirPlacesAndThirtySecondRunsStayNotes)
{
    TrackBytes triplets;
    for (int i = 0; i < 12; ++i)
        triplets.on(0, 0, 60 + i).off(32, 0, 60 + i);
    triplets.end();
    import(smfFile({triplets}));
    ASSERT_EQ(track().count, 12);
    // Triplet eighths carrying the mark: each beat lasts a beat, to the millisecond.
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(track().noteAt(i).type, kTypeEighth) << i;
        EXPECT_FALSE(track().noteAt(i).isDotted()) << i;
        EXPECT_NE(track().noteAt(i).dwFlag & kFlagTriplet, 0) << i;
    }
    EXPECT_EQ(totalPlayMs(track()), 2000);
    std::vector<FileNote> want(12);
    for (int i = 0; i < 12; ++i)
        want[static_cast<std::size_t>(i)] = {60 + i, i * 500.0 / 3, (i + 1) * 500.0 / 3};
    // Each at its place, where a sixteenth grid could only come within a twenty-fourth of a beat.
    expectSameNotes(want, played(), 1);

    // Legato thirty-seconds: each overlaps the next a little, and none becomes a chord member.
    std::vector<Timed> events;
    for (int i = 0; i < 16; ++i) {
        events.push_back({12 * i, true, 60 + i});
        events.push_back({12 * i + 14, false, 60 + i});
    }
    import(smfFile({trackOf(events)}));
    ASSERT_EQ(track().count, 16);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(track().noteAt(i).chordparent, -1) << i;
        EXPECT_EQ(track().noteAt(i).type, kTypeThirtySecond) << i;
    }
}

TEST_F(MidiImportTimingTest, ChunksWithoutNoteOnsMakeNoTrack)
{
    // A general MIDI file of one chunk per channel: some carry only programs, pitch bends and
    // stray note-offs.
    std::vector<TrackBytes> chunks;
    for (int ch = 0; ch < 16; ++ch) {
        TrackBytes t = TrackBytes().program(0, ch, ch * 3);
        if (ch % 2 == 0 && ch != 8)
            t.on(96, ch, 50 + ch).off(96, ch, 50 + ch);
        else
            t.delta(96).raw({0xE0 | ch, 0, 64}).off(96, ch, 40);
        chunks.push_back(t.end());
    }
    std::string file = test::smfHeader(1, 16, 96);
    for (const auto& t : chunks)
        file += test::smfTrack(t);
    import(file);
    EXPECT_EQ(sheet.trackCount(), 7);
    for (int i = 0; i < sheet.trackCount(); ++i)
        EXPECT_EQ(soundingNotes(track(i)), 1) << i;
}

TEST_F(MidiImportTimingTest, AChunkOfThousandsOfNotesKeepsEveryNoteThroughSaveAndLoad)
{
    TrackBytes t;
    for (int i = 0; i < 9000; ++i)
        t.on(i % 7 == 0 ? 24 : 0, 0, 40 + i % 40).off(48, 0, 40 + i % 40);
    import(smfFile({t.end()}));
    EXPECT_TRUE(result.warnings.empty());
    EXPECT_EQ(soundingNotes(track()), 9000);
    EXPECT_EQ(info.chunks[0].noteOns, 9000);

    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("tonvela-many-" + std::to_string(::getpid()) + ".shd");
    ASSERT_TRUE(saveSheet(sheet, "many", file.string()).ok);
    SheetDocument loaded;
    const LoadResult res = loadSheet(loaded, "many", file.string());
    std::filesystem::remove(file);
    ASSERT_TRUE(res.ok()) << res.error;
    ASSERT_EQ(loaded.trackCount(), 1);
    EXPECT_EQ(loaded.trackAt(0)->count, track().count);
    EXPECT_EQ(soundingNotes(*loaded.trackAt(0)), 9000);
    EXPECT_EQ(totalPlayMs(*loaded.trackAt(0)), totalPlayMs(track()));
}

// midicsv (Debian package midicsv) reads the bytes with a parser of its own.
std::string midicsvOf(const std::string& bytes)
{
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("tonvela-csv-" + std::to_string(::getpid()) + ".mid");
    std::ofstream(file, std::ios::binary) << bytes;
    FILE* p = ::popen(("midicsv '" + file.string() + "' 2>&1").c_str(), "r");
    std::string out;
    if (p) {
        char buf[4096];
        while (std::size_t n = std::fread(buf, 1, sizeof buf, p))
            out.append(buf, n);
        if (::pclose(p) != 0)
            out = "FAILED: " + out;
    }
    std::filesystem::remove(file);
    return out;
}

// The keys of the note-ons of one track of midicsv's listing, in order.
std::vector<int> noteOnKeys(const std::string& csv, int track)
{
    std::vector<int> keys;
    std::istringstream in(csv);
    for (std::string line; std::getline(in, line);) {
        int t = 0, tick = 0, ch = 0, key = 0, vel = 0;
        if (std::sscanf(line.c_str(), "%d, %d, Note_on_c, %d, %d, %d", &t, &tick, &ch, &key, &vel) == 5 &&
            t == track && vel > 0)
            keys.push_back(key);
    }
    return keys;
}

TEST_F(MidiImportTimingTest, ABassPartGoesOnTheFClefAndSoundsTheFilesPitchesWhenWrittenAgain)
{
    // Every key from E1 to B3 once, white and black, then a few above middle C.
    TrackBytes bass = TrackBytes().meta(0, 0x03, "Bass Line").program(0, 1, 33);
    std::vector<int> keys;
    for (int k = 28; k < 60; ++k)
        keys.push_back(k);
    for (int k : {60, 61, 63, 67})
        keys.push_back(k);
    for (int k : keys)
        bass.on(0, 1, k).off(48, 1, k);
    const TrackBytes melody =
        TrackBytes().meta(0, 0x03, "Tune").on(0, 0, 72).off(96, 0, 72).on(0, 0, 58).off(96, 0, 58);
    import(smfFile({melody, bass.end()}));
    ASSERT_EQ(sheet.trackCount(), 2);
    EXPECT_EQ(staffKindOf(track(0)), StaffKind::GClef);
    EXPECT_EQ(staffKindOf(track(1)), StaffKind::FClef);
    EXPECT_EQ(track(0).name, "Tune");
    EXPECT_EQ(track(1).name, "Bass Line");

    std::string bytes, error;
    ASSERT_TRUE(midiFileBytes(sheet, kAllTracks, bytes, error)) << error;
    const std::string csv = midicsvOf(bytes);
    ASSERT_EQ(csv.rfind("FAILED", 0), std::string::npos)
        << "midicsv is needed (scripts/setup.sh installs it)";
    EXPECT_EQ(noteOnKeys(csv, 2), keys) << csv;
    EXPECT_EQ(noteOnKeys(csv, 1), (std::vector<int>{72, 58}));
    // The names go back into the file as track name events.
    EXPECT_NE(csv.find("1, 0, Title_t, \"Tune\""), std::string::npos) << csv;
    EXPECT_NE(csv.find("2, 0, Title_t, \"Bass Line\""), std::string::npos) << csv;

    // Saved as a sheet and opened again, the bass part still sounds the file's keys.
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("tonvela-bass-" + std::to_string(::getpid()) + ".shd");
    ASSERT_TRUE(saveSheet(sheet, "bass", file.string()).ok);
    SheetDocument loaded;
    const LoadResult res = loadSheet(loaded, "bass", file.string());
    std::filesystem::remove(file);
    ASSERT_TRUE(res.ok()) << res.error;
    ASSERT_TRUE(midiFileBytes(loaded, 1, bytes, error)) << error;
    EXPECT_EQ(noteOnKeys(midicsvOf(bytes), 1), keys);
}

TEST_F(MidiImportTimingTest, WrittenAgainTheImportSoundsAsLongAsTheFile)
{
    // Overlapping notes of one key: the later note-on ends the earlier sound.
    const TrackBytes t =
        TrackBytes().on(0, 0, 60).on(0, 0, 64).off(48, 0, 64).on(0, 0, 67).off(48, 0, 60).on(0, 0, 60).end(
            96);
    import(smfFile({t}));
    std::string bytes, error;
    ASSERT_TRUE(midiFileBytes(sheet, kAllTracks, bytes, error)) << error;
    const std::string csv = midicsvOf(bytes);
    // C and E together, G half a beat later; C sounds until the second C; G and C to the end.
    for (const char* line :
         {"1, 0, Note_on_c, 0, 60, 127", "1, 0, Note_on_c, 0, 64, 127", "1, 48, Note_off_c, 0, 64, 127",
          "1, 48, Note_on_c, 0, 67, 127", "1, 96, Note_off_c, 0, 60, 127", "1, 96, Note_on_c, 0, 60, 127",
          "1, 192, Note_off_c, 0, 67, 127", "1, 192, Note_off_c, 0, 60, 127", "1, 192, End_track"})
        EXPECT_NE(csv.find(line), std::string::npos) << line << "\n" << csv;
    EXPECT_EQ(noteOnKeys(csv, 1).size(), 4u);
}

} // namespace
} // namespace tonvela
