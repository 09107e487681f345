// A MIDI track whose notes overlap imports as two voices: a note that starts while the first
// line still sounds goes into voice 2 with its length, a bar line ties it on, a third line is
// cut short and counted. Checked by midicsv's reading of the sheet written again and by the
// play walk.

#include "playback/midi_file_reader.h"
#include "playback/midi_file_writer.h"
#include "score/measure_division.h"
#include "score/play_walk.h"
#include "score/sheet_document.h"
#include "score/voices.h"
#include "smf_builder.h"

#include <gtest/gtest.h>

#include <random>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>
#include <unistd.h>

namespace tonvela {
namespace {

using test::smfFile;
using test::TrackBytes;

// A note as a file has it: key, note-on tick, note-off tick (96 ticks a quarter).
using FileNote = std::tuple<int, int, int>;

// A track chunk of the notes, note-offs before note-ons at one tick.
TrackBytes chunkOf(std::vector<FileNote> notes, int channel = 0)
{
    std::vector<std::tuple<int, bool, int>> events; // tick, on, key
    for (const auto& [key, on, off] : notes) {
        events.emplace_back(on, true, key);
        events.emplace_back(off, false, key);
    }
    std::stable_sort(events.begin(), events.end(), [](const auto& a, const auto& b) {
        return std::get<0>(a) != std::get<0>(b) ? std::get<0>(a) < std::get<0>(b)
                                                : !std::get<1>(a) && std::get<1>(b);
    });
    TrackBytes t;
    int last = 0;
    for (const auto& [tick, on, key] : events) {
        const auto d = static_cast<uint32_t>(tick - last);
        if (on)
            t.on(d, channel, key);
        else
            t.off(d, channel, key);
        last = tick;
    }
    return t.end();
}

// midicsv's reading of the bytes: every note as (key, on tick, off tick), sorted.
std::vector<FileNote> notesByMidicsv(const std::string& bytes)
{
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("tonvela-voices-" + std::to_string(::getpid()) + ".mid");
    std::ofstream(file, std::ios::binary) << bytes;
    FILE* p = ::popen(("midicsv '" + file.string() + "' 2>&1").c_str(), "r");
    std::string csv;
    bool ok = false;
    if (p) {
        char buf[4096];
        while (std::size_t n = std::fread(buf, 1, sizeof buf, p))
            csv.append(buf, n);
        ok = ::pclose(p) == 0;
    }
    std::filesystem::remove(file);
    EXPECT_TRUE(ok) << "midicsv is needed (scripts/setup.sh installs it)\n" << csv;
    std::vector<FileNote> notes;
    std::vector<std::vector<std::size_t>> open(128);
    std::istringstream in(csv);
    for (std::string line; std::getline(in, line);) {
        int track = 0, tick = 0, ch = 0, key = 0, vel = 0;
        char kind[16] = {};
        if (std::sscanf(line.c_str(), "%d, %d, %15[A-Za-z_], %d, %d, %d", &track, &tick, kind, &ch, &key,
                        &vel) != 6 ||
            key < 0 || key > 127)
            continue;
        const std::string k = kind;
        if (k == "Note_on_c" && vel > 0) {
            open[static_cast<std::size_t>(key)].push_back(notes.size());
            notes.emplace_back(key, tick, -1);
        } else if ((k == "Note_off_c" || k == "Note_on_c") && !open[static_cast<std::size_t>(key)].empty()) {
            std::get<2>(notes[open[static_cast<std::size_t>(key)].front()]) = tick;
            open[static_cast<std::size_t>(key)].erase(open[static_cast<std::size_t>(key)].begin());
        }
    }
    std::sort(notes.begin(), notes.end());
    return notes;
}

class MidiImportVoicesTest : public ::testing::Test {
  protected:
    void import(const std::vector<FileNote>& notes, int channel = 0)
    {
        result = importMidiData(smfFile({chunkOf(notes, channel)}), sheet, &info);
        ASSERT_TRUE(result.ok()) << result.error;
        ASSERT_EQ(sheet.trackCount(), 1);
    }
    const Track& track() { return *sheet.trackAt(0); }

    // The sounding notes of one voice, in the track's order: (key, type, tied).
    std::vector<std::tuple<int, int, bool>> voiceNotes(uint8_t voice)
    {
        std::vector<std::tuple<int, int, bool>> out;
        for (int i = 0; i < track().count; ++i) {
            const Note& n = track().noteAt(i);
            if (!n.isRest() && voiceOf(track(), i) == voice)
                out.emplace_back(n.effectiveKey(), n.type, (n.dwFlag & kFlagTie) != 0);
        }
        return out;
    }

    // The notes the play walk strikes, as (key, start tick at 96 a quarter), sorted.
    std::vector<std::pair<int, int>> struck()
    {
        std::vector<std::pair<int, int>> out;
        PlayWalk walk(track(), WalkOrder::Written);
        while (const std::optional<PlayStep> step = walk.next())
            forEachPlayedNote(track(), *step, [&](const PlayedNote& p) {
                if (!p.rest)
                    out.emplace_back(track().noteAt(p.index).effectiveKey(),
                                     static_cast<int>((step->start + p.offset) * 96 / kQuarterTicks));
            });
        std::sort(out.begin(), out.end());
        return out;
    }

    // The track written as a MIDI file again, read by midicsv.
    std::vector<FileNote> writtenAgain()
    {
        std::string bytes, error;
        EXPECT_TRUE(midiFileBytes(sheet, kAllTracks, bytes, error)) << error;
        return notesByMidicsv(bytes);
    }

    SheetDocument sheet;
    MidiFileInfo info;
    LoadResult result;
};

// Three measures of 4/4: quarters above; under them a whole note, then a half note an eighth
// late and a half note over the second bar line.
const std::vector<FileNote> kTwoLines = {
    {72, 0, 96},    {74, 96, 192},  {76, 192, 288},  {77, 288, 384},   // measure 1
    {48, 0, 384},                                                      // held under it
    {72, 384, 480}, {74, 480, 576}, {76, 576, 672},  {77, 672, 768},   // measure 2
    {50, 432, 624}, {52, 672, 864},                                    // under it, over the bar
    {79, 768, 864}, {77, 864, 960}, {76, 960, 1056}, {74, 1056, 1152}, // measure 3
};

TEST_F(MidiImportVoicesTest, AHeldWholeNoteUnderFourQuartersTakesVoiceTwoAndBothKeepTheirLengths)
{
    import({{72, 0, 96}, {48, 0, 384}, {74, 96, 192}, {76, 192, 288}, { 77, 288, 384 }});
    EXPECT_TRUE(result.warnings.empty());
    ASSERT_EQ(track().count, 5);
    using V = std::vector<std::tuple<int, int, bool>>;
    EXPECT_EQ(voiceNotes(kVoice1), (V{{72, kTypeQuarter, false},
                                      {74, kTypeQuarter, false},
                                      {76, kTypeQuarter, false},
                                      {77, kTypeQuarter, false}}));
    EXPECT_EQ(voiceNotes(kVoice2), (V{{48, kTypeWhole, false}}));
    for (int i = 0; i < track().count; ++i)
        EXPECT_EQ(track().noteAt(i).chordparent, -1) << i;
    // The first quarter opens the measure, the whole note follows it.
    EXPECT_EQ(track().noteAt(0).effectiveKey(), 72);
    EXPECT_EQ(track().noteAt(1).effectiveKey(), 48);
    MeasureDivision measures;
    measures.divide(track());
    EXPECT_EQ(measures.measureCount(), 1);
}

TEST_F(MidiImportVoicesTest, VoiceTwoTiesOverABarLineAndRestsInItsGaps)
{
    import(kTwoLines);
    EXPECT_TRUE(result.warnings.empty());
    using V = std::vector<std::tuple<int, int, bool>>;
    EXPECT_EQ(voiceNotes(kVoice2), (V{{48, kTypeWhole, false},
                                      {50, kTypeHalf, false},
                                      {52, kTypeQuarter, true},
                                      {52, kTypeQuarter, true}}));
    EXPECT_EQ(voiceNotes(kVoice1).size(), 12u);
    // Measure 2's voice 2: an eighth rest, the half note, an eighth rest, the first half of the
    // tied note; measure 3's opens with the second half of it.
    MeasureDivision measures;
    measures.divide(track());
    ASSERT_EQ(measures.measureCount(), 3);
    std::vector<std::tuple<int, int, int, bool>> second; // measure, key (0 for a rest), type, tied
    for (int i = 0; i < track().count; ++i) {
        const Note& n = track().noteAt(i);
        if (voiceOf(track(), i) == kVoice2 && measures.measureOf(i) > 1)
            second.emplace_back(measures.measureOf(i), n.isRest() ? 0 : n.effectiveKey(), n.type,
                                (n.dwFlag & kFlagTie) != 0);
    }
    using M = std::vector<std::tuple<int, int, int, bool>>;
    EXPECT_EQ(second, (M{{2, 0, kTypeEighth, false},
                         {2, 50, kTypeHalf, false},
                         {2, 0, kTypeEighth, false},
                         {2, 52, kTypeQuarter, true},
                         {3, 52, kTypeQuarter, true}}));
}

TEST_F(MidiImportVoicesTest, WrittenAgainEveryNoteKeepsItsTicksAndThePlayWalkStrikesItOnTime)
{
    import(kTwoLines);
    std::vector<FileNote> want = kTwoLines;
    std::sort(want.begin(), want.end());
    EXPECT_EQ(writtenAgain(), want);
    std::vector<std::pair<int, int>> onsets;
    for (const auto& [key, on, off] : want)
        onsets.emplace_back(key, on);
    std::sort(onsets.begin(), onsets.end());
    // The tied note is struck once, at its start.
    EXPECT_EQ(struck(), onsets);
}

TEST_F(MidiImportVoicesTest, AThirdLineIsCutShortInTheNotationAndCounted)
{
    // A whole note, a half held from the second beat, a quarter on the third: three lines.
    const std::vector<FileNote> notes = {{48, 0, 384}, {55, 96, 384}, {64, 192, 288}, {60, 384, 480}};
    import(notes);
    ASSERT_EQ(result.warnings.size(), 1u);
    EXPECT_NE(result.warnings[0].find("1 notes start while two others still sound"), std::string::npos)
        << result.warnings[0];
    using V = std::vector<std::tuple<int, int, bool>>;
    // The whole note is written up to the quarter (which is written on to where the whole note
    // ends, as a chord under a held note always was); the dotted half keeps voice 2.
    EXPECT_EQ(voiceNotes(kVoice1),
              (V{{48, kTypeHalf, false}, {64, kTypeHalf, false}, {60, kTypeQuarter, false}}));
    EXPECT_EQ(voiceNotes(kVoice2), (V{{55, kTypeHalf, false}}));
    for (int i = 0; i < track().count; ++i)
        if (track().noteAt(i).effectiveKey() == 55) {
            EXPECT_TRUE(track().noteAt(i).isDotted());
        }
    // Every note still sounds its length.
    std::vector<FileNote> want = notes;
    std::sort(want.begin(), want.end());
    EXPECT_EQ(writtenAgain(), want);
}

TEST_F(MidiImportVoicesTest, DrumsAndTracksWithoutOverlapsKeepOneVoice)
{
    // A cymbal rings on while the snare and the kick strike: a drum part stays one line.
    import({{49, 0, 384}, {38, 96, 120}, { 36, 192, 216 }}, 9);
    EXPECT_FALSE(hasSecondVoice(track()));
    EXPECT_TRUE(result.warnings.empty());
    // Legato notes that overlap by less than half a sixteenth are one line too.
    import({{60, 0, 100}, {62, 96, 196}, {64, 192, 290}, { 65, 288, 384 }});
    EXPECT_FALSE(hasSecondVoice(track()));
    ASSERT_EQ(track().count, 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(track().noteAt(i).type, kTypeQuarter) << i;
}

TEST_F(MidiImportVoicesTest, RandomOverlappingLinesKeepEveryNoteAtItsTimeInEveryMeasure)
{
    // Four lines of random lengths on the sixteenth grid, in 3/4: lines that often overlap
    // each other and run over bar lines.
    std::mt19937 random(7);
    std::vector<FileNote> notes;
    for (int line = 0; line < 4; ++line) {
        int at = line * 24;
        while (at < 96 * 48) {
            const int length = 24 * static_cast<int>(1 + random() % 12);
            notes.emplace_back(40 + line * 12 + static_cast<int>(random() % 12), at, at + length);
            at += length + 24 * static_cast<int>(random() % 3);
        }
    }
    TrackBytes t = chunkOf(notes);
    const std::string file = smfFile({TrackBytes().timeSignature(0, 3, 2).end(), t});
    result = importMidiData(file, sheet, &info);
    ASSERT_TRUE(result.ok()) << result.error;
    ASSERT_EQ(sheet.trackCount(), 1);
    EXPECT_TRUE(hasSecondVoice(track()));
    // Each voice of each measure stays inside the measure: voice 2 is tied on over the bar
    // lines voice 1 makes.
    MeasureDivision measures;
    measures.divide(track());
    const std::vector<Ticks> offsets = voiceOffsets(track(), measures);
    std::vector<Ticks> voice1Length(static_cast<std::size_t>(measures.measureCount() + 1), 0);
    for (int i = 0; i < track().count; ++i)
        if (track().rootOf(i) == -1 && voiceOf(track(), i) == kVoice1)
            voice1Length[static_cast<std::size_t>(measures.measureOf(i))] += lengthTicks(track().noteAt(i));
    int tied = 0;
    for (int i = 0; i < track().count; ++i)
        if (track().rootOf(i) == -1 && voiceOf(track(), i) == kVoice2) {
            tied += (track().noteAt(i).dwFlag & kFlagTie) != 0 ? 1 : 0;
            EXPECT_LE(offsets[static_cast<std::size_t>(i)] + lengthTicks(track().noteAt(i)),
                      voice1Length[static_cast<std::size_t>(measures.measureOf(i))])
                << i;
        }
    EXPECT_GT(tied, 0);
    // Four lines: the notes that find both voices busy are counted.
    ASSERT_EQ(result.warnings.size(), 1u);
    EXPECT_NE(result.warnings[0].find("start while two others still sound"), std::string::npos);
    // Every note is struck once at its time, and written again it keeps its ticks.
    std::vector<FileNote> want = notes;
    std::sort(want.begin(), want.end());
    std::vector<std::pair<int, int>> onsets;
    for (const auto& [key, on, off] : want)
        onsets.emplace_back(key, on);
    EXPECT_EQ(struck(), onsets);
    EXPECT_EQ(writtenAgain(), want);
}

} // namespace
} // namespace tonvela
