#include "playback/midi_file_reader.h"
#include "score/play_time.h"
#include "score/sounding_pitch.h"
#include "theory/key_signature.h"

#include "score/sheet_document.h"
#include "smf_builder.h"

#include <gtest/gtest.h>

#include <chrono>

namespace tonvela {
namespace {

using test::smfFile;
using test::smfHeader;
using test::smfTrack;
using test::TrackBytes;

class MidiFileReaderTest : public ::testing::Test {
  protected:
    LoadResult import(const std::string& bytes) { return importMidiData(bytes, sheet, &info); }
    Track& track(int i = 0) { return *sheet.trackAt(i); }
    const Note& note(int i, int t = 0) { return sheet.trackAt(t)->noteAt(i); }

    SheetDocument sheet;
    MidiFileInfo info;
};

TEST_F(MidiFileReaderTest, RefusesFilesWithoutHeaderTracksOrDivisionAndKeepsTheSheet)
{
    sheet.trackAt(0)->count = 1;
    const TrackBytes notes = TrackBytes().on(0, 0, 60).off(96, 0, 60).end();

    auto res = import("RIFF....");
    EXPECT_FALSE(res.ok());
    EXPECT_NE(res.error.find("MThd"), std::string::npos);

    res = import(smfHeader(1, 1, 0) + smfTrack(notes));
    EXPECT_FALSE(res.ok());
    EXPECT_NE(res.error.find("division of 0"), std::string::npos);

    res = import(smfHeader(1, 0, 96));
    EXPECT_FALSE(res.ok());
    EXPECT_NE(res.error.find("MTrk"), std::string::npos);

    res = import(smfFile({TrackBytes().tempo(0, 500000).end()}));
    EXPECT_FALSE(res.ok());
    EXPECT_NE(res.error.find("no notes"), std::string::npos);

    res = import(std::string("MThd\0\0\0\6\0", 9)); // cut inside the header
    EXPECT_FALSE(res.ok());

    EXPECT_EQ(sheet.trackCount(), 2);
    EXPECT_EQ(sheet.trackAt(0)->count, 1);
}

TEST_F(MidiFileReaderTest, QuartersBecomeQuarterNotesWithSpelledPitches)
{
    const auto res =
        import(smfFile({TrackBytes().on(0, 0, 60, 90).off(96, 0, 60).on(0, 0, 61).off(96, 0, 61).end()}));
    ASSERT_TRUE(res.ok()) << res.error;
    ASSERT_EQ(sheet.trackCount(), 1);
    ASSERT_EQ(track().count, 2);
    EXPECT_EQ(note(0).type, kTypeQuarter);
    EXPECT_EQ(note(0).midi, 60);
    EXPECT_EQ(note(0).line, 0);
    EXPECT_EQ(note(0).volume, 90);
    EXPECT_EQ(note(0).velocity, 90);
    // A black key is the natural below with the sharp mark.
    EXPECT_EQ(note(1).midi, 60);
    EXPECT_TRUE(note(1).dwFlag & kFlagSharp);
    EXPECT_EQ(note(1).effectiveKey(), 61);
    EXPECT_EQ(track().division, 96);
    EXPECT_EQ(track().channel, 0);
}

TEST_F(MidiFileReaderTest, NoteOnWithVelocityZeroEndsTheNote)
{
    ASSERT_TRUE(import(smfFile({TrackBytes().on(0, 0, 64).on(192, 0, 64, 0).end()})).ok());
    ASSERT_EQ(track().count, 1);
    EXPECT_EQ(note(0).type, kTypeHalf);
    ASSERT_EQ(track().events.size(), 2u);
    EXPECT_EQ(track().events[1].kind, 1);
    EXPECT_EQ(track().events[1].tick, 192);
}

TEST_F(MidiFileReaderTest, RunningStatusReadsFurtherNoteOnsOnTheSameChannel)
{
    // 90 3C 64, then data bytes only: 60 3C 00 (note off by velocity 0), 00 3E 64, 60 3E 00.
    const TrackBytes t = TrackBytes().on(0, 3, 60).raw({0x60, 60, 0, 0x00, 62, 100, 0x60, 62, 0}).end();
    ASSERT_TRUE(import(smfFile({t})).ok());
    ASSERT_EQ(track().count, 2);
    EXPECT_EQ(note(0).effectiveKey(), 60);
    EXPECT_EQ(note(1).effectiveKey(), 62);
    EXPECT_EQ(note(1).type, kTypeQuarter);
    EXPECT_EQ(track().fileChannel, 3);
    EXPECT_EQ(track().events.size(), 4u);
}

TEST_F(MidiFileReaderTest, NoteOnsWithinHalfASixteenthBecomeOneChord)
{
    const TrackBytes t = TrackBytes()
                             .on(0, 0, 60)
                             .on(12, 0, 64) // a sixteenth is 24 ticks: half of it, the same chord
                             .on(0, 0, 67)
                             .off(84, 0, 60)
                             .off(0, 0, 64)
                             .off(0, 0, 67)
                             .on(0, 0, 72)
                             .on(20, 0, 76) // nearly a sixteenth later: the next sixteenth's note
                             .off(76, 0, 72)
                             .off(20, 0, 76)
                             .end();
    ASSERT_TRUE(import(smfFile({t})).ok());
    EXPECT_EQ(note(0).chordparent, -1);
    EXPECT_EQ(note(1).chordparent, 0);
    EXPECT_EQ(note(2).chordparent, 0);
    EXPECT_EQ(note(0).childCount, 2);
    // Members take their root's length.
    EXPECT_EQ(note(1).type, kTypeQuarter);
    // The two later notes are no chord: the second starts a sixteenth later, while the first
    // still sounds, so it is voice 2's and the first keeps its quarter.
    int later = 0;
    for (int i = 3; i < track().count; ++i) {
        if (note(i).isRest())
            continue;
        ++later;
        EXPECT_EQ(note(i).chordparent, -1) << i;
        EXPECT_EQ(note(i).type, kTypeQuarter) << i;
        EXPECT_EQ(note(i).voice, note(i).effectiveKey() == 72 ? kVoice1 : kVoice2) << i;
    }
    EXPECT_EQ(later, 2);
}

TEST_F(MidiFileReaderTest, QuarterSilenceBecomesARestAndAShortOneLengthensTheNote)
{
    const TrackBytes t = TrackBytes()
                             .on(0, 0, 60)
                             .off(96, 0, 60)
                             .on(96, 0, 62) // a quarter of silence
                             .off(72, 0, 62)
                             .on(24, 0, 64) // a sixteenth of silence
                             .off(96, 0, 64)
                             .end();
    ASSERT_TRUE(import(smfFile({t})).ok());
    ASSERT_EQ(track().count, 4);
    EXPECT_TRUE(note(1).isRest());
    EXPECT_EQ(note(1).type, kTypeQuarter);
    EXPECT_EQ(note(1).volume, 0);
    EXPECT_GE(note(1).midi, 0); // a rest keeps a valid key
    EXPECT_FALSE(note(2).isRest());
    EXPECT_EQ(note(2).type, kTypeQuarter); // 72 + 24 ticks
    EXPECT_EQ(note(3).effectiveKey(), 64);
}

TEST_F(MidiFileReaderTest, LongSilencesBecomeSeveralFittingRests)
{
    // 7.5 quarters of silence: a whole rest, then a dotted half, then an eighth.
    const TrackBytes t = TrackBytes().on(0, 0, 60).off(96, 0, 60).on(720, 0, 62).off(96, 0, 62).end();
    ASSERT_TRUE(import(smfFile({t})).ok());
    ASSERT_EQ(track().count, 5);
    EXPECT_EQ(note(1).type, kTypeWhole);
    EXPECT_FALSE(note(1).isDotted());
    EXPECT_EQ(note(2).type, kTypeHalf);
    EXPECT_TRUE(note(2).isDotted());
    EXPECT_EQ(note(3).type, kTypeEighth);
    EXPECT_TRUE(note(3).isRest());
    EXPECT_EQ(note(4).effectiveKey(), 62);
}

TEST_F(MidiFileReaderTest, ANoteOfOnePointFourQuartersBecomesADottedQuarter)
{
    const TrackBytes t = TrackBytes()
                             .on(0, 0, 60)
                             .off(134, 0, 60) // 1.4 quarters
                             .on(0, 0, 62)
                             .off(120, 0, 62) // 1.25 quarters
                             .end();
    ASSERT_TRUE(import(smfFile({t})).ok());
    ASSERT_EQ(track().count, 3);
    EXPECT_EQ(note(0).type, kTypeQuarter);
    EXPECT_TRUE(note(0).isDotted());
    // The second starts on the next sixteenth; 1.25 quarters are a quarter and a sixteenth rest
    // while it sounds on, so the track lasts as long as the file.
    EXPECT_EQ(note(1).type, kTypeQuarter);
    EXPECT_FALSE(note(1).isDotted());
    EXPECT_TRUE(note(2).isRest());
    EXPECT_EQ(note(2).type, kTypeSixteenth);
    EXPECT_EQ(note(1).dwStopOffset, 625 - 500);
    EXPECT_EQ(totalPlayMs(track()), 1375);
}

TEST_F(MidiFileReaderTest, ChannelNineIsPercussiveAndSetsTheDrumKey)
{
    const TrackBytes drums = TrackBytes().on(0, 9, 38).off(96, 9, 38).end();
    const TrackBytes piano = TrackBytes().on(0, 4, 60).off(96, 4, 60).end();
    ASSERT_TRUE(import(smfFile({drums, piano})).ok());
    ASSERT_EQ(sheet.trackCount(), 2);
    EXPECT_EQ(track(0).percussive, 1);
    EXPECT_EQ(track(0).drumKey, 38);
    EXPECT_EQ(track(1).percussive, 0);
    EXPECT_EQ(track(1).channel, 1);
}

TEST_F(MidiFileReaderTest, ChannelMessagesSetProgramNameAndControllers)
{
    const TrackBytes t = TrackBytes()
                             .meta(0, 0x03, "Lead\x01Line")
                             .controller(0, 0, 0, 5)
                             .controller(0, 0, 7, 100)
                             .controller(0, 0, 10, 20)
                             .controller(0, 0, 32, 121)
                             .program(0, 0, 27)
                             .on(0, 0, 60)
                             .off(96, 0, 60)
                             .end();
    ASSERT_TRUE(import(smfFile({t})).ok());
    EXPECT_EQ(track().name, "Lead Line");
    EXPECT_EQ(track().iid, 27);
    EXPECT_EQ(track().groupid, 3);
    EXPECT_EQ(track().banknum, 5);
    EXPECT_EQ(track().volume, 100);
    EXPECT_EQ(track().pan, 20);
    EXPECT_TRUE(track().bankFlag121);
    EXPECT_EQ(note(0).iid, 27);
    EXPECT_EQ(track().events[0].program, 27);
    EXPECT_EQ(track().events[0].pan, 63);
}

TEST_F(MidiFileReaderTest, ATrackNameIsUtf8CutOnACharacterBoundary)
{
    const auto nameOf = [this](const std::string& name) {
        EXPECT_TRUE(
            import(smfFile({TrackBytes().meta(0, 0x03, name).on(0, 0, 60).off(96, 0, 60).end()})).ok());
        return track().name;
    };
    EXPECT_EQ(nameOf("Caf\xE9 \xC3\xA9"), "Caf\xEF\xBF\xBD \xC3\xA9");
    EXPECT_EQ(nameOf(std::string(63, 'a') + "\xC3\xA9"), std::string(63, 'a'));
}

TEST_F(MidiFileReaderTest, TheTempoOfMostOfTheFileAndTheFirstUsableTimeSignatureReachTheSheet)
{
    const TrackBytes conductor = TrackBytes()
                                     .tempo(0, 600000)       // 100 bpm for one beat
                                     .timeSignature(0, 7, 4) // 7/16: no code
                                     .timeSignature(0, 3, 2) // 3/4
                                     .tempo(96, 300000)      // 200 bpm for the other seven
                                     .timeSignature(0, 6, 3)
                                     .end();
    TrackBytes a, b;
    for (int i = 0; i < 8; ++i) {
        a.on(0, 0, 60).off(96, 0, 60);
        b.on(0, 1, 64).off(96, 1, 64);
    }
    const auto res = import(smfFile({conductor, a.end(), b.end()}));
    ASSERT_TRUE(res.ok());
    ASSERT_EQ(sheet.trackCount(), 2);
    EXPECT_EQ(track(0).tempo, 200);
    EXPECT_EQ(track(1).tempo, 200);
    EXPECT_EQ(sheet.timesig, kTimeSig34);
    EXPECT_EQ(track(1).timeSig, kTimeSig34);
    EXPECT_EQ(info.tempoBpm, 200);
    ASSERT_EQ(info.chunks.size(), 3u);
    EXPECT_EQ(info.chunks[0].sheetTrack, -1);
    EXPECT_EQ(info.chunks[2].sheetTrack, 1);
    // The first beat, at 100 bpm, lasts two beats of the sheet: 0.6 s + 7 x 0.3 s in all.
    EXPECT_EQ(note(0).type, kTypeHalf);
    EXPECT_EQ(totalPlayMs(track(0)), 2700);
}

TEST_F(MidiFileReaderTest, TheFirstKeySignatureSetsTheKeyOfEveryTrackButTheDrums)
{
    // Two flats (B flat major), then a later change that does not reach the sheet. The notes
    // sound the file's keys, spelled in the key: B flat needs no mark, B natural does.
    const TrackBytes conductor =
        TrackBytes().meta(0, 0x59, std::string{static_cast<char>(-2), 0}).meta(384, 0x59, {3, 1}).end();
    const TrackBytes melody = TrackBytes().on(0, 0, 70).off(96, 0, 70).on(0, 0, 71).off(96, 0, 71).end();
    const TrackBytes drums = TrackBytes().on(0, 9, 36).off(96, 9, 36).end();
    ASSERT_TRUE(import(smfFile({conductor, melody, drums})).ok());
    ASSERT_EQ(sheet.trackCount(), 2);
    EXPECT_EQ(track(0).keyindex, 9);
    EXPECT_EQ(track(1).keyindex, kDefaultKeyIndex);
    EXPECT_EQ(soundingPitch(note(0), track(0)), 70);
    EXPECT_EQ(note(0).dwFlag & (kFlagSharp | kFlagFlat | kFlagNatural), 0);
    EXPECT_EQ(soundingPitch(note(1), track(0)), 71);

    // Without the event the key stays C major.
    ASSERT_TRUE(import(smfFile({melody})).ok());
    EXPECT_EQ(track(0).keyindex, kDefaultKeyIndex);
    EXPECT_EQ(track(0).tempo, 120);
    EXPECT_EQ(sheet.timesig, kTimeSig44);
}

TEST_F(MidiFileReaderTest, ADrumStruckAgainBeforeItsOldNoteOffInTheSameTickKeepsSounding)
{
    // Drum files often write the new note-on before the old note-off at the same tick: that
    // note-off ends the old note, not the new one.
    TrackBytes t;
    t.on(0, 9, 38);
    for (int i = 0; i < 3; ++i)
        t.on(96, 9, 38).off(0, 9, 38);
    t.off(96, 9, 38);
    ASSERT_TRUE(import(smfFile({t.end()})).ok());
    ASSERT_EQ(track().count, 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(note(i).type, kTypeQuarter) << i;
        EXPECT_FALSE(note(i).isRest()) << i;
    }
    EXPECT_EQ(totalPlayMs(track()), 2000);

    // A note-on and note-off in one tick with nothing sounding before is a note of no length,
    // and the old note-off first, new note-on after, is read as before.
    ASSERT_TRUE(
        import(smfFile({TrackBytes().on(0, 9, 38).off(96, 9, 38).on(0, 9, 38).off(96, 9, 38).end()})).ok());
    ASSERT_EQ(track().count, 2);
    EXPECT_EQ(note(1).type, kTypeQuarter);
}

TEST_F(MidiFileReaderTest, NotesTheSheetCannotPlaceWithin30MsAreCountedInAWarning)
{
    // Quintuplet sixteenths at 60 bpm: a fifth of a second apart, where the sheet's nearest
    // places are a quarter or an eighth of a second apart, so some land more than 30 ms off.
    // (Triplets no longer do: the sheet places them exactly.)
    TrackBytes quintuplets = TrackBytes().tempo(0, 1000000);
    for (int i = 0; i < 6; ++i)
        quintuplets.on(0, 0, 60 + i).off(19, 0, 60 + i);
    auto res = import(smfFile({quintuplets.end()}));
    ASSERT_TRUE(res.ok());
    ASSERT_EQ(res.warnings.size(), 1u);
    EXPECT_NE(res.warnings[0].find("ms from their time in the file"), std::string::npos) << res.warnings[0];
    const int named = std::stoi(res.warnings[0].substr(res.warnings[0].find(": ") + 2));
    EXPECT_GE(named, 1);
    EXPECT_LE(named, 4);

    // Straight eighths at the same tempo are placed exactly: no warning.
    TrackBytes eighths = TrackBytes().tempo(0, 1000000);
    for (int i = 0; i < 6; ++i)
        eighths.on(0, 0, 60 + i).off(48, 0, 60 + i);
    res = import(smfFile({eighths.end()}));
    ASSERT_TRUE(res.ok());
    EXPECT_TRUE(res.warnings.empty()) << res.warnings.front();
}

TEST_F(MidiFileReaderTest, SequencerSpecificSysExAndUnknownChunksAreSkippedWhole)
{
    std::string big(300, '\x90'); // bytes that would look like note ons if read
    const TrackBytes t = TrackBytes()
                             .meta(0, 0x7F, big)
                             .delta(0)
                             .raw({0xF0, 0x03, 0x7E, 0x7F, 0xF7})
                             .on(0, 0, 60)
                             .off(96, 0, 60)
                             .end();
    std::string file =
        smfHeader(0, 1, 96) + "XFIH" + test::be32(5) + std::string("\x90\x3C\x40\x00\x00", 5) + smfTrack(t);
    const auto res = import(file);
    ASSERT_TRUE(res.ok()) << res.error;
    EXPECT_EQ(track().count, 1);
    EXPECT_EQ(info.noteOns, 1);
}

TEST_F(MidiFileReaderTest, ControllerEventsBetweenNotesDoNotLoseTime)
{
    const TrackBytes t = TrackBytes()
                             .on(0, 0, 60)
                             .off(96, 0, 60)
                             .controller(90, 0, 7, 80)
                             .on(6, 0, 62) // 96 ticks after the note off
                             .off(96, 0, 62)
                             .end();
    ASSERT_TRUE(import(smfFile({t})).ok());
    ASSERT_EQ(track().count, 3);
    EXPECT_TRUE(note(1).isRest());
    EXPECT_EQ(note(1).type, kTypeQuarter);
}

TEST_F(MidiFileReaderTest, ANoteStillSoundingAtTheEndLastsToTheEndOfTheTrack)
{
    ASSERT_TRUE(import(smfFile({TrackBytes().on(0, 0, 60).end(192)})).ok());
    EXPECT_EQ(note(0).type, kTypeHalf);
}

TEST_F(MidiFileReaderTest, EventsKeepExactTicksAndTheirNoteIndices)
{
    const TrackBytes t = TrackBytes().on(0, 0, 60).off(100, 0, 60).on(110, 0, 62).off(50, 0, 62).end();
    ASSERT_TRUE(import(smfFile({t}, 480)).ok());
    const auto& ev = track().events;
    ASSERT_EQ(ev.size(), 4u);
    EXPECT_EQ(ev[0].tick, 0);
    EXPECT_EQ(ev[1].tick, 100);
    EXPECT_EQ(ev[2].tick, 210);
    EXPECT_EQ(ev[3].tick, 260);
    EXPECT_EQ(ev[0].noteIndex, 0);
    EXPECT_EQ(ev[1].noteIndex, 1); // a note off names the next note index
    EXPECT_EQ(ev[2].noteIndex, track().count - 1);
    EXPECT_EQ(track().division, 480);
}

TEST_F(MidiFileReaderTest, DamagedLengthsEndTheTrackWithoutReadingPastIt)
{
    // A meta length far past the chunk; then a chunk whose length runs past the file.
    const TrackBytes bad =
        TrackBytes().on(0, 0, 60).off(96, 0, 60).raw({0x00, 0xFF, 0x01, 0x8F, 0xFF, 0xFF, 0x7F});
    auto res = import(smfFile({bad}));
    ASSERT_TRUE(res.ok());
    EXPECT_EQ(track().count, 1);
    EXPECT_FALSE(res.warnings.empty());

    const TrackBytes good = TrackBytes().on(0, 0, 60).off(96, 0, 60).on(0, 0, 62).off(96, 0, 62).end();
    std::string file = smfHeader(1, 1, 96) + "MTrk" + test::be32(0x7FFFFFFF) + good.bytes();
    res = import(file);
    ASSERT_TRUE(res.ok());
    EXPECT_EQ(track().count, 2);

    // A variable-length quantity of five bytes, and a data byte with no status before it.
    res = import(
        smfFile({TrackBytes().on(0, 0, 60).off(96, 0, 60).raw({0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 60, 1})}));
    ASSERT_TRUE(res.ok());
    EXPECT_EQ(track().count, 1);
    res = import(smfFile({TrackBytes().raw({0x00, 0x3C, 0x40}).on(0, 0, 60).off(96, 0, 60)}));
    EXPECT_FALSE(res.ok());
}

TEST_F(MidiFileReaderTest, HugeSilencesAndNoteFloodsStayBounded)
{
    TrackBytes t;
    t.on(0, 0, 60).off(96, 0, 60).on(0x0FFFFFFF, 0, 62).off(96, 0, 62);
    for (int i = 0; i < 33000; ++i)
        t.on(0, 0, 40 + i % 40).off(48, 0, 40 + i % 40);
    t.end();
    const auto start = std::chrono::steady_clock::now();
    const auto res = import(smfFile({t}));
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(res.ok());
    // The silence became at most 256 whole rests; the notes fill the track up to what a sheet
    // file holds, the rest stays in the events.
    EXPECT_EQ(track().count, Track::kMaxNotes);
    int rests = 0;
    for (int i = 0; i < track().count; ++i)
        rests += note(i).isRest() ? 1 : 0;
    EXPECT_EQ(rests, 256);
    EXPECT_EQ(track().events.size(), 2u * 33002u);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::seconds>(took).count(), 5);
    ASSERT_EQ(res.warnings.size(), 2u);
    EXPECT_NE(res.warnings[0].find("were left out"), std::string::npos) << res.warnings[0];
    EXPECT_NE(res.warnings[1].find("silence was shortened"), std::string::npos) << res.warnings[1];
}

TEST_F(MidiFileReaderTest, SmpteDivisionIsReadAsTicksAtTheStandardTempo)
{
    // 25 frames of 40 ticks: 1000 ticks a second, 500 a quarter at 120 bpm.
    std::string file = smfHeader(1, 1, 0xE728) + smfTrack(TrackBytes().on(0, 0, 60).off(500, 0, 60).end());
    const auto res = import(file);
    ASSERT_TRUE(res.ok()) << res.error;
    EXPECT_EQ(info.division, 500);
    EXPECT_EQ(note(0).type, kTypeQuarter);
}

TEST_F(MidiFileReaderTest, ImportFileGivesANewSheetCaptionedWithTheFileNameButNoPath)
{
    std::unique_ptr<SheetDocument> imported;
    const LoadResult res = importMidiFile("/nonexistent/song.mid", imported);
    EXPECT_EQ(res.status, LoadStatus::Unreadable);
    EXPECT_EQ(imported, nullptr);
    EXPECT_FALSE(res.error.empty());
}

} // namespace
} // namespace tonvela
