#include "playback/midi_file_writer.h"

#include "platform/atomic_file.h"
#include "playback/midi_file_reader.h"
#include "score/note_pitch.h"
#include "score/sheet_document.h"
#include "score/sounding_pitch.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace tonvela {
namespace {

namespace fs = std::filesystem;

// One written channel message or meta event, with its absolute tick.
struct Written {
    int64_t tick;
    int status;
    int d1;
    int d2;
};

// A deliberately small reader of the writer's own output: every event of one track chunk.
std::vector<Written> eventsOfChunk(const std::string& file, int chunk)
{
    std::size_t pos = 14;
    for (int c = 0; c < chunk; ++c)
        pos +=
            8 + ((static_cast<uint8_t>(file[pos + 4]) << 24) | (static_cast<uint8_t>(file[pos + 5]) << 16) |
                 (static_cast<uint8_t>(file[pos + 6]) << 8) | static_cast<uint8_t>(file[pos + 7]));
    const std::size_t end =
        pos + 8 +
        ((static_cast<uint8_t>(file[pos + 4]) << 24) | (static_cast<uint8_t>(file[pos + 5]) << 16) |
         (static_cast<uint8_t>(file[pos + 6]) << 8) | static_cast<uint8_t>(file[pos + 7]));
    pos += 8;
    std::vector<Written> out;
    int64_t tick = 0;
    auto byte = [&] { return static_cast<uint8_t>(file[pos++]); };
    while (pos < end) {
        uint32_t d = 0;
        uint8_t b;
        do {
            b = byte();
            d = (d << 7) | (b & 0x7F);
        } while (b & 0x80);
        tick += d;
        const int status = byte();
        if (status == 0xFF) {
            const int type = byte();
            const int len = byte();
            pos += static_cast<std::size_t>(len);
            out.push_back({tick, 0xFF, type, len});
        } else if ((status & 0xF0) == 0xC0) {
            out.push_back({tick, status, byte(), 0});
        } else {
            const int d1 = byte();
            out.push_back({tick, status, d1, byte()});
        }
    }
    return out;
}

std::vector<Written> only(const std::vector<Written>& all, int kind)
{
    std::vector<Written> r;
    for (const auto& w : all)
        if ((w.status & 0xF0) == kind)
            r.push_back(w);
    return r;
}

class MidiFileWriterTest : public ::testing::Test {
  protected:
    MidiFileWriterTest() { sheet.setTrackCount(1); }

    Note& add(int key, int type = kTypeQuarter, int flags = 0, int trackIndex = 0)
    {
        Track& t = *sheet.trackAt(trackIndex);
        Note& n = t.noteAt(t.count++);
        noteFromMidiKey(n, key);
        n.type = type;
        n.dwFlag |= flags;
        return n;
    }
    Note& addMember(int root, int key, int type = kTypeQuarter)
    {
        Note& n = add(key, type);
        n.chordparent = static_cast<int16_t>(root);
        sheet.trackAt(0)->rebuildChordLists();
        return n;
    }
    std::string bytes(int track = kAllTracks)
    {
        std::string out, error;
        EXPECT_TRUE(midiFileBytes(sheet, track, out, error)) << error;
        return out;
    }

    SheetDocument sheet;
};

TEST_F(MidiFileWriterTest, FourQuartersWriteExactlyTheseBytes)
{
    for (int key : {60, 62, 64, 65})
        add(key);
    std::string expected("MThd\0\0\0\6\0\1\0\1\0\x60", 14);
    // 4/4 (24 clocks a beat, 8 thirty-seconds a quarter), C major, 500 000 us a quarter.
    std::string track("\0\xFF\x58\x04\x04\x02\x18\x08"
                      "\0\xFF\x59\x02\0\0"
                      "\0\xFF\x51\x03\x07\xA1\x20",
                      21);
    int delta = 0;
    for (int key : {60, 62, 64, 65}) {
        track += std::string("\0\xC0\0\0\xB0\x07\x7F\0\xB0\x0A\x40", 11);
        track += static_cast<char>(delta);
        track += std::string("\x90", 1) + static_cast<char>(key) + '\x7F';
        track += std::string("\x60\x80", 2) + static_cast<char>(key) + '\x7F';
        delta = 0;
    }
    track += std::string("\0\xFF\x2F\0", 4);
    expected += "MTrk" + std::string("\0\0\0", 3) + static_cast<char>(track.size()) + track;
    EXPECT_EQ(bytes(), expected);
}

// The Set Tempo, Time Signature and Key Signature events of the first chunk.
struct SheetEvents {
    int usPerQuarter = 0;
    int numerator = 0;
    int denominatorPower = -1;
    int fifths = 99;
    int count = 0; // how many of the three the file holds, in any chunk
};
SheetEvents sheetEventsOf(const std::string& file)
{
    SheetEvents out;
    for (std::size_t i = 14; i + 3 < file.size(); ++i) {
        if (static_cast<uint8_t>(file[i]) != 0xFF)
            continue;
        const auto at = [&](std::size_t k) { return static_cast<uint8_t>(file[i + k]); };
        if (at(1) == 0x51 && at(2) == 3) {
            out.usPerQuarter = (at(3) << 16) | (at(4) << 8) | at(5);
            ++out.count;
        } else if (at(1) == 0x58 && at(2) == 4) {
            out.numerator = at(3);
            out.denominatorPower = at(4);
            ++out.count;
        } else if (at(1) == 0x59 && at(2) == 2) {
            out.fifths = static_cast<int8_t>(at(3));
            ++out.count;
        }
    }
    return out;
}

TEST_F(MidiFileWriterTest, TheFileSaysTheSheetsTempoMeterAndKeyAndAQuarterIsOneDivision)
{
    // 96 bpm in 3/4 in E flat major: another program must find the bar lines where they are.
    sheet.setTimeSignatureCode(kTimeSig34);
    Track& t = *sheet.trackAt(0);
    t.tempo = 96;
    t.setKeyIndex(10); // three flats
    for (int key : {60, 62, 64, 65})
        add(key);
    const std::string file = bytes();
    const SheetEvents ev = sheetEventsOf(file);
    EXPECT_EQ(ev.usPerQuarter, 625000);
    EXPECT_EQ(ev.numerator, 3);
    EXPECT_EQ(ev.denominatorPower, 2);
    EXPECT_EQ(ev.fifths, -3);
    EXPECT_EQ(ev.count, 3);
    const auto ons = only(eventsOfChunk(file, 0), 0x90);
    ASSERT_EQ(ons.size(), 4u);
    EXPECT_EQ(ons[1].tick - ons[0].tick, 96);
    EXPECT_EQ(ons[3].tick, 288);

    t.tempo = 60;
    t.setKeyIndex(5); // two sharps
    EXPECT_EQ(sheetEventsOf(bytes()).usPerQuarter, 1000000);
    EXPECT_EQ(sheetEventsOf(bytes()).fifths, 2);
    EXPECT_EQ(only(eventsOfChunk(bytes(), 0), 0x90)[1].tick, 96);
}

TEST_F(MidiFileWriterTest, TracksAtOtherTemposAreTimedAgainstTheFirstTracksTempo)
{
    sheet.setTrackCount(2);
    sheet.trackAt(0)->tempo = 120;
    sheet.trackAt(1)->tempo = 60; // each of its quarters lasts two of the file's
    sheet.trackAt(1)->percussive = 1;
    for (int key : {60, 62})
        add(key);
    for (int key : {36, 38})
        add(key, kTypeQuarter, 0, 1);
    const std::string file = bytes();
    EXPECT_EQ(sheetEventsOf(file).usPerQuarter, 500000);
    EXPECT_EQ(sheetEventsOf(file).count, 3) << "the meta events are written once";
    EXPECT_EQ(only(eventsOfChunk(file, 0), 0x90)[1].tick, 96);
    const auto drums = only(eventsOfChunk(file, 1), 0x90);
    ASSERT_EQ(drums.size(), 2u);
    EXPECT_EQ(drums[1].tick, 192);

    // The selected track alone: its own tempo is the file's, and a drum track writes no key.
    const std::string one = bytes(1);
    EXPECT_EQ(sheetEventsOf(one).usPerQuarter, 1000000);
    EXPECT_EQ(sheetEventsOf(one).fifths, 99);
    EXPECT_EQ(only(eventsOfChunk(one, 0), 0x90)[1].tick, 96);
}

TEST_F(MidiFileWriterTest, ANoteShortenedByItsWholeLengthStillEndsAfterItBegins)
{
    // Stop offsets of the whole quarter (500 ms at 120) and beyond: the note off must follow
    // the note on, or the key sounds to the end of the file.
    add(60).dwStopOffset = -500;
    add(62).dwStopOffset = -2000;
    add(64);
    const auto all = eventsOfChunk(bytes(), 0);
    for (int key : {60, 62}) {
        int64_t on = -1, off = -1;
        for (const Written& w : all) {
            if ((w.status & 0xF0) == 0x90 && w.d1 == key && on < 0)
                on = w.tick;
            if ((w.status & 0xF0) == 0x80 && w.d1 == key && on >= 0 && off < 0)
                off = w.tick;
        }
        EXPECT_GE(on, 0) << key;
        EXPECT_EQ(off, on + 1) << key;
    }
}

TEST_F(MidiFileWriterTest, TiedNotesOfOnePitchSoundOnce)
{
    add(60, kTypeQuarter, kFlagTie);
    add(60, kTypeQuarter, kFlagTie);
    add(62);
    const auto all = eventsOfChunk(bytes(), 0);
    const auto ons = only(all, 0x90);
    const auto offs = only(all, 0x80);
    ASSERT_EQ(ons.size(), 2u);
    ASSERT_EQ(offs.size(), 2u);
    EXPECT_EQ(offs[0].tick - ons[0].tick, 192);
    EXPECT_EQ(ons[1].tick, 192);
    EXPECT_EQ(ons[1].d1, 62);
}

TEST_F(MidiFileWriterTest, EveryNoteOnFollowsItsProgramVolumeAndPanWithDeltaZero)
{
    Note& a = add(60);
    a.iid = 33;
    a.volume = 300;
    a.pan = 5;
    add(62).iid = 34;
    // The channel messages, after the sheet's meta events at the start of the first chunk.
    std::vector<Written> all;
    for (const Written& w : eventsOfChunk(bytes(), 0))
        if (w.status != 0xFF)
            all.push_back(w);
    ASSERT_GE(all.size(), 9u);
    EXPECT_EQ(all[0].status, 0xC0);
    EXPECT_EQ(all[0].d1, 33);
    EXPECT_EQ(all[1].d1, 7);
    EXPECT_EQ(all[1].d2, 127); // clamped
    EXPECT_EQ(all[2].d1, 10);
    EXPECT_EQ(all[2].d2, 5);
    EXPECT_EQ(all[3].status, 0x90);
    EXPECT_EQ(all[3].d2, 127);
    // The second note's program and controllers come right after the first note off.
    EXPECT_EQ(all[4].status, 0x80);
    EXPECT_EQ(all[5].status, 0xC0);
    EXPECT_EQ(all[5].d1, 34);
    EXPECT_EQ(all[5].tick, 96);
    EXPECT_EQ(sheet.trackAt(0)->noteAt(0).volume, 300); // the sheet is not changed
}

TEST_F(MidiFileWriterTest, ChannelsFollowTheChannelRuleIncludingNoteOffs)
{
    sheet.setTrackCount(11);
    add(60, kTypeQuarter, 0, 9);
    add(38, kTypeQuarter, 0, 10);
    sheet.trackAt(10)->percussive = 1;
    const std::string file = bytes();
    for (const auto& w : eventsOfChunk(file, 9))
        if (w.status != 0xFF) {
            EXPECT_EQ(w.status & 0x0F, 11);
        }
    for (const auto& w : eventsOfChunk(file, 10))
        if (w.status != 0xFF) {
            EXPECT_EQ(w.status & 0x0F, 9);
        }
    EXPECT_EQ(only(eventsOfChunk(file, 9), 0x80).size(), 1u);
}

TEST_F(MidiFileWriterTest, ChannelNumbersBeyondFifteenStillWriteValidStatusBytes)
{
    Track& t = *sheet.trackAt(0);
    t.channel = 25;
    add(60);
    for (const auto& w : eventsOfChunk(bytes(), 0))
        if (w.status != 0xFF) {
            EXPECT_EQ(w.status & 0x0F, 11);
        }
}

TEST_F(MidiFileWriterTest, AnEmptyTrackWritesOnlyTheEndOfTrack)
{
    sheet.setTrackCount(3);
    add(60, kTypeQuarter, 0, 1);
    const std::string file = bytes();
    // The first chunk also carries the sheet's time signature, key and tempo (21 bytes).
    EXPECT_EQ(file.substr(14, 8), std::string("MTrk\0\0\0\x19", 8));
    EXPECT_EQ(file.substr(22 + 21, 4), std::string("\0\xFF\x2F\0", 4));
    const std::size_t last = file.size() - 12;
    EXPECT_EQ(file.substr(last), std::string("MTrk\0\0\0\4\0\xFF\x2F\0", 12));
    EXPECT_EQ(static_cast<uint8_t>(file[11]), 3); // three chunks
    const std::string one = bytes(1);
    EXPECT_EQ(static_cast<uint8_t>(one[11]), 1);
    EXPECT_EQ(only(eventsOfChunk(one, 0), 0x90).size(), 1u);
}

TEST_F(MidiFileWriterTest, NoteLoopsAreWrittenOut)
{
    for (int key : {60, 62, 64, 65})
        add(key);
    Note& loop = sheet.trackAt(0)->noteAt(2);
    loop.loopTo = 0;
    loop.loopCount = 1;
    std::vector<int> keys;
    for (const auto& w : only(eventsOfChunk(bytes(), 0), 0x90))
        keys.push_back(w.d1);
    EXPECT_EQ(keys, (std::vector<int>{60, 62, 64, 60, 62, 64, 65}));
}

TEST_F(MidiFileWriterTest, ARepeatedMeasurePlaysTwiceOnTheFirstPass)
{
    Track& t = *sheet.trackAt(0);
    for (int key : {60, 62, 64, 65})
        add(key);
    t.timeSig = kTimeSig24; // two quarters a measure: 60 62 | 64 65
    t.measureRepeats.set(1, true);
    std::vector<int> keys;
    for (const auto& w : only(eventsOfChunk(bytes(), 0), 0x90))
        keys.push_back(w.d1);
    EXPECT_EQ(keys, (std::vector<int>{60, 62, 60, 62, 64, 65}));
    // Walking does not use up the repeat: a second export is the same.
    keys.clear();
    for (const auto& w : only(eventsOfChunk(bytes(), 0), 0x90))
        keys.push_back(w.d1);
    EXPECT_EQ(keys.size(), 6u);
}

TEST_F(MidiFileWriterTest, ChordMembersSoundWithTheirRootAndEndByTheirOwnLength)
{
    add(60);
    addMember(0, 64, kTypeHalf);
    add(67);
    const auto all = eventsOfChunk(bytes(), 0);
    const auto ons = only(all, 0x90);
    const auto offs = only(all, 0x80);
    ASSERT_EQ(ons.size(), 3u);
    EXPECT_EQ(ons[0].tick, 0);
    EXPECT_EQ(ons[1].tick, 0);
    EXPECT_EQ(ons[1].d1, 64);
    EXPECT_EQ(ons[2].tick, 96); // the next note follows the root's own length
    ASSERT_EQ(offs.size(), 3u);
    EXPECT_EQ(offs[0].tick, 96);
    EXPECT_EQ(offs[0].d1, 60);
    EXPECT_EQ(offs[2].tick, 192);
}

TEST_F(MidiFileWriterTest, RestsPassTimeWithoutSoundingOrInvalidBytes)
{
    add(60);
    Note& rest = add(71);
    rest.dwFlag |= kFlagRest;
    rest.midi = static_cast<int8_t>(171); // as older imports stored it
    add(62);
    Note& trailing = add(71, kTypeHalf, kFlagRest);
    (void)trailing;
    const std::string file = bytes();
    const auto all = eventsOfChunk(file, 0);
    const auto ons = only(all, 0x90);
    ASSERT_EQ(ons.size(), 2u);
    EXPECT_EQ(ons[1].tick, 192);
    for (const auto& w : all) {
        EXPECT_LT(w.d1, 128);
        EXPECT_LT(w.d2, 128);
    }
    // The end of the track comes after the trailing half rest.
    EXPECT_EQ(all.back().d1, 0x2F);
    EXPECT_EQ(all.back().tick, 480);
}

TEST_F(MidiFileWriterTest, NotesOutsideTheMidiRangeAreLeftOut)
{
    setStaffKind(*sheet.trackAt(0), StaffKind::FClef);
    add(4); // the bass clef reads that position as key -5
    add(60);
    const auto ons = only(eventsOfChunk(bytes(), 0), 0x90);
    ASSERT_EQ(ons.size(), 1u);
    EXPECT_EQ(ons[0].d1, 52);
    EXPECT_EQ(ons[0].tick, 96); // the left-out note still takes its time
}

TEST_F(MidiFileWriterTest, EndlessLoopsAreRefusedInsteadOfFillingTheDisk)
{
    add(60);
    Note& n = add(62);
    n.loopTo = 0;
    n.loopCount = 2'000'000;
    std::string out, error;
    EXPECT_FALSE(midiFileBytes(sheet, kAllTracks, out, error));
    EXPECT_NE(error.find("too many"), std::string::npos);
    EXPECT_FALSE(midiFileBytes(sheet, 3, out, error));
    EXPECT_NE(error.find("no track 4"), std::string::npos);
}

class MidiFileOnDiskTest : public MidiFileWriterTest {
  protected:
    MidiFileOnDiskTest()
    {
        dir = fs::temp_directory_path() / ("tonvela_midi_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    ~MidiFileOnDiskTest() override { fs::remove_all(dir); }
    fs::path dir;
};

TEST_F(MidiFileOnDiskTest, WriteFailuresAreReportedAndLeaveTheOldFileAlone)
{
    add(60);
    const fs::path target = dir / "song.mid";
    {
        std::ofstream(target) << "old";
    }
    const FileResult bad = writeMidiFile(sheet, (dir / "missing" / "x.mid").string());
    EXPECT_FALSE(bad.ok);
    EXPECT_FALSE(bad.error.empty());
    const FileResult noTrack = writeMidiFile(sheet, target.string(), 5);
    EXPECT_FALSE(noTrack.ok);
    std::string content;
    ASSERT_TRUE(readWholeFile(target.string(), content, 1000));
    EXPECT_EQ(content, "old");
    ASSERT_TRUE(writeMidiFile(sheet, target.string()).ok);
    ASSERT_TRUE(readWholeFile(target.string(), content, 100000));
    EXPECT_EQ(content.substr(0, 4), "MThd");
}

TEST_F(MidiFileOnDiskTest, ImportExportImportKeepsNotesLengthsChordsAndPrograms)
{
    // A varied sheet: chords, dotted and short notes, rests, two programs, a sharp, two tracks.
    sheet.setTrackCount(2);
    Note& a = add(60, kTypeQuarter);
    a.iid = 5;
    addMember(0, 64).iid = 5;
    addMember(0, 67).iid = 5;
    add(61, kTypeEighth).iid = 5;
    add(71, kTypeEighth, kFlagRest);
    add(65, kTypeQuarter, kFlagDot).iid = 20;
    add(62, kTypeSixteenth).iid = 20;
    add(69, kTypeHalf).iid = 20;
    add(48, kTypeWhole, 0, 1).iid = 33;
    add(50, kTypeHalf, 0, 1).iid = 33;

    const fs::path first = dir / "first.mid";
    ASSERT_TRUE(writeMidiFile(sheet, first.string()).ok);
    std::unique_ptr<SheetDocument> back;
    LoadResult res = importMidiFile(first.string(), back);
    ASSERT_TRUE(res.ok()) << res.error;
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->caption, "first.mid");
    EXPECT_TRUE(back->path.empty());
    const fs::path second = dir / "second.mid";
    ASSERT_TRUE(writeMidiFile(*back, second.string()).ok);
    std::unique_ptr<SheetDocument> again;
    res = importMidiFile(second.string(), again);
    ASSERT_TRUE(res.ok()) << res.error;
    ASSERT_NE(again, nullptr);

    for (const SheetDocument* s : {back.get(), again.get()}) {
        ASSERT_EQ(s->trackCount(), 2);
        for (int ti = 0; ti < 2; ++ti) {
            const Track& orig = *sheet.trackAt(ti);
            const Track& got = *s->trackAt(ti);
            ASSERT_EQ(got.count, orig.count) << "track " << ti;
            for (int i = 0; i < orig.count; ++i) {
                const Note& o = orig.noteAt(i);
                const Note& g = got.noteAt(i);
                EXPECT_EQ(g.type, o.type) << "note " << i;
                EXPECT_EQ(g.isDotted(), o.isDotted()) << "note " << i;
                EXPECT_EQ(g.isRest(), o.isRest()) << "note " << i;
                EXPECT_EQ(g.chordparent, o.chordparent) << "note " << i;
                if (!o.isRest()) {
                    // The low track comes back on the F clef: compare what the notes sound.
                    EXPECT_EQ(soundingPitch(g, got), soundingPitch(o, orig)) << "note " << i;
                    EXPECT_EQ(g.iid, o.iid) << "note " << i;
                }
            }
        }
    }
    std::string b1, b2;
    ASSERT_TRUE(readWholeFile(second.string(), b2, 1 << 20));
    ASSERT_TRUE(readWholeFile(first.string(), b1, 1 << 20));
    EXPECT_EQ(b1, b2);
}

// midicsv (Debian package midicsv) reads the file with a parser of its own.
std::string runMidicsv(const fs::path& file)
{
    const std::string cmd = "midicsv '" + file.string() + "' 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p)
        return {};
    std::string out;
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p))
        out.append(buf, n);
    const int status = ::pclose(p);
    return status == 0 ? out : "FAILED(" + std::to_string(status) + "): " + out;
}

TEST_F(MidiFileOnDiskTest, AnIndependentParserReadsWhatTheWriterWrites)
{
    sheet.setTrackCount(2);
    add(60).iid = 12;
    addMember(0, 64);
    add(71, kTypeQuarter, kFlagRest);
    add(62, kTypeEighth, kFlagTie);
    add(62, kTypeEighth, kFlagTie);
    add(40, kTypeHalf, 0, 1);
    sheet.trackAt(1)->percussive = 1;
    const fs::path file = dir / "check.mid";
    ASSERT_TRUE(writeMidiFile(sheet, file.string()).ok);
    const std::string csv = runMidicsv(file);
    ASSERT_EQ(csv.rfind("FAILED", 0), std::string::npos)
        << "midicsv is needed (scripts/setup.sh installs it): " << csv;

    std::vector<std::string> onLines;
    std::istringstream in(csv);
    for (std::string line; std::getline(in, line);)
        if (line.find("Note_on_c") != std::string::npos)
            onLines.push_back(line);
    EXPECT_NE(csv.find("0, 0, Header, 1, 2, 96"), std::string::npos) << csv;
    EXPECT_EQ(onLines,
              (std::vector<std::string>{"1, 0, Note_on_c, 0, 60, 127", "1, 0, Note_on_c, 0, 64, 127",
                                        "1, 192, Note_on_c, 0, 62, 127", "2, 0, Note_on_c, 9, 40, 127"}))
        << csv;
    EXPECT_NE(csv.find("1, 0, Program_c, 0, 12"), std::string::npos);
    EXPECT_NE(csv.find("1, 288, Note_off_c, 0, 62, 127"), std::string::npos) << csv;
    EXPECT_NE(csv.find("1, 288, End_track"), std::string::npos) << csv;
    EXPECT_NE(csv.find("2, 192, End_track"), std::string::npos) << csv;
}

TEST_F(MidiFileOnDiskTest, BothVoicesOfAStaffSoundOnItsChannelEachInItsOwnRhythm)
{
    // 4/4: voice 1 a half and two quarters (72 74 76), voice 2 a whole 60 under it; then a
    // measure of voice 1 alone, so the second voice does not move the measures.
    add(72, kTypeHalf);
    add(60, kTypeWhole).voice = kVoice2;
    add(74);
    add(76);
    add(77, kTypeWhole);
    sheet.trackAt(0)->iid = 0;
    const fs::path file = dir / "voices.mid";
    ASSERT_TRUE(writeMidiFile(sheet, file.string()).ok);
    const std::string csv = runMidicsv(file);
    ASSERT_EQ(csv.rfind("FAILED", 0), std::string::npos)
        << "midicsv is needed (scripts/setup.sh installs it): " << csv;
    std::vector<std::string> noteLines;
    std::istringstream in(csv);
    for (std::string line; std::getline(in, line);)
        if (line.find("Note_o") != std::string::npos)
            noteLines.push_back(line);
    EXPECT_EQ(noteLines,
              (std::vector<std::string>{"1, 0, Note_on_c, 0, 72, 127", "1, 0, Note_on_c, 0, 60, 127",
                                        "1, 192, Note_off_c, 0, 72, 127", "1, 192, Note_on_c, 0, 74, 127",
                                        "1, 288, Note_off_c, 0, 74, 127", "1, 288, Note_on_c, 0, 76, 127",
                                        "1, 384, Note_off_c, 0, 60, 127", "1, 384, Note_off_c, 0, 76, 127",
                                        "1, 384, Note_on_c, 0, 77, 127", "1, 768, Note_off_c, 0, 77, 127"}))
        << csv;
    EXPECT_NE(csv.find("1, 768, End_track"), std::string::npos) << csv;
}

TEST_F(MidiFileOnDiskTest, TempoMeterAndKeyAreWrittenAsMidicsvReadsThemAndReadBack)
{
    // 96 bpm in 3/4 in E flat major, with an E flat and an A natural the key does not give.
    sheet.setTimeSignatureCode(kTimeSig34);
    Track& t = *sheet.trackAt(0);
    t.tempo = 96;
    t.setKeyIndex(10);
    const std::vector<int> keys{63, 67, 69, 70, 72, 75};
    for (int key : keys) {
        Note& n = add(key);
        placeOnTrack(n, t);
    }
    const fs::path file = dir / "meter.mid";
    ASSERT_TRUE(writeMidiFile(sheet, file.string()).ok);
    const std::string csv = runMidicsv(file);
    ASSERT_EQ(csv.rfind("FAILED", 0), std::string::npos)
        << "midicsv is needed (scripts/setup.sh installs it): " << csv;
    EXPECT_NE(csv.find("1, 0, Time_signature, 3, 2, 24, 8"), std::string::npos) << csv;
    EXPECT_NE(csv.find("1, 0, Key_signature, -3, \"major\""), std::string::npos) << csv;
    EXPECT_NE(csv.find("1, 0, Tempo, 625000"), std::string::npos) << csv;
    // The second bar starts at the fourth quarter, 288 ticks in.
    EXPECT_NE(csv.find("1, 288, Note_on_c, 0, 70, 127"), std::string::npos) << csv;

    std::ifstream in(file, std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SheetDocument back;
    ASSERT_TRUE(importMidiData(data, back).ok());
    EXPECT_EQ(back.timesig, kTimeSig34);
    ASSERT_EQ(back.trackCount(), 1);
    const Track& r = *back.trackAt(0);
    EXPECT_EQ(r.tempo, 96);
    EXPECT_EQ(r.keyindex, 10);
    std::vector<int> sounded;
    for (int i = 0; i < r.count; ++i)
        if (!r.noteAt(i).isRest()) {
            sounded.push_back(soundingPitch(r.noteAt(i), r));
            EXPECT_EQ(r.noteAt(i).type, kTypeQuarter) << i;
        }
    EXPECT_EQ(sounded, keys);
}

TEST_F(MidiFileOnDiskTest, RepeatedMeasuresAreWrittenOutWithoutAnyLayout)
{
    // 2/4: 60 62 | 64 65 | 67, measure 2 marked; no window and no layout, only the score.
    for (int key : {60, 62, 64, 65, 67})
        add(key);
    sheet.trackAt(0)->timeSig = kTimeSig24;
    sheet.trackAt(0)->measureRepeats.set(2, true);
    const fs::path file = dir / "repeat.mid";
    ASSERT_TRUE(writeMidiFile(sheet, file.string(), 0).ok);
    const std::string csv = runMidicsv(file);
    ASSERT_EQ(csv.rfind("FAILED", 0), std::string::npos)
        << "midicsv is needed (scripts/setup.sh installs it): " << csv;
    std::vector<std::string> onLines;
    std::istringstream in(csv);
    for (std::string line; std::getline(in, line);)
        if (line.find("Note_on_c") != std::string::npos)
            onLines.push_back(line);
    EXPECT_EQ(onLines,
              (std::vector<std::string>{"1, 0, Note_on_c, 0, 60, 127", "1, 96, Note_on_c, 0, 62, 127",
                                        "1, 192, Note_on_c, 0, 64, 127", "1, 288, Note_on_c, 0, 65, 127",
                                        "1, 384, Note_on_c, 0, 64, 127", "1, 480, Note_on_c, 0, 65, 127",
                                        "1, 576, Note_on_c, 0, 67, 127"}))
        << csv;
    EXPECT_NE(csv.find("1, 672, End_track"), std::string::npos) << csv;
}

TEST_F(MidiFileOnDiskTest, TripletsAreWrittenAtTheirExactPlacesAndReadBackAsMarkedTriplets)
{
    // 2/4: three triplet eighths, a quarter | a triplet quarter and a triplet eighth, a rest
    // and two triplet eighths, then a half
    for (int key : {60, 62, 64})
        add(key, kTypeEighth, kFlagTriplet);
    add(65);
    add(67, kTypeQuarter, kFlagTriplet);
    add(69, kTypeEighth, kFlagTriplet);
    add(71, kTypeEighth, kFlagTriplet | kFlagRest);
    add(72, kTypeEighth, kFlagTriplet);
    add(74, kTypeEighth, kFlagTriplet);
    add(76, kTypeHalf);
    sheet.trackAt(0)->timeSig = kTimeSig24;
    const fs::path file = dir / "triplets.mid";
    ASSERT_TRUE(writeMidiFile(sheet, file.string(), 0).ok);
    const std::string csv = runMidicsv(file);
    ASSERT_EQ(csv.rfind("FAILED", 0), std::string::npos)
        << "midicsv is needed (scripts/setup.sh installs it): " << csv;
    std::vector<std::string> lines;
    std::istringstream in(csv);
    for (std::string line; std::getline(in, line);)
        if (line.find("Note_on_c") != std::string::npos || line.find("Note_off_c") != std::string::npos)
            lines.push_back(line.substr(0, line.rfind(',')));
    // 96 divisions to the quarter: a triplet eighth lasts 32, a triplet quarter 64.
    EXPECT_EQ(lines,
              (std::vector<std::string>{
                  "1, 0, Note_on_c, 0, 60", "1, 32, Note_off_c, 0, 60", "1, 32, Note_on_c, 0, 62",
                  "1, 64, Note_off_c, 0, 62", "1, 64, Note_on_c, 0, 64", "1, 96, Note_off_c, 0, 64",
                  "1, 96, Note_on_c, 0, 65", "1, 192, Note_off_c, 0, 65", "1, 192, Note_on_c, 0, 67",
                  "1, 256, Note_off_c, 0, 67", "1, 256, Note_on_c, 0, 69", "1, 288, Note_off_c, 0, 69",
                  "1, 320, Note_on_c, 0, 72", "1, 352, Note_off_c, 0, 72", "1, 352, Note_on_c, 0, 74",
                  "1, 384, Note_off_c, 0, 74", "1, 384, Note_on_c, 0, 76", "1, 576, Note_off_c, 0, 76"}))
        << csv;

    // Read back, the triplets carry the mark and every note its length and place.
    std::ifstream data(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(data)), std::istreambuf_iterator<char>());
    SheetDocument back;
    ASSERT_TRUE(importMidiData(bytes, back).ok());
    const Track& r = *back.trackAt(0);
    const Track& t = *sheet.trackAt(0);
    ASSERT_EQ(r.count, t.count);
    for (int i = 0; i < t.count; ++i) {
        EXPECT_EQ(r.noteAt(i).type, t.noteAt(i).type) << i;
        EXPECT_EQ(r.noteAt(i).dwFlag & (kFlagTriplet | kFlagRest | kFlagDot),
                  t.noteAt(i).dwFlag & (kFlagTriplet | kFlagRest | kFlagDot))
            << i;
    }
}

} // namespace
} // namespace tonvela
