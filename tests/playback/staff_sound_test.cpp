// What the staff shows is what sounds, everywhere the sheet leaves the program: playback,
// the MIDI writer (read back by midicsv) and the LilyPond export (engraved by LilyPond, whose
// own MIDI output is read back by midicsv).

#include "playback/midi_file_reader.h"
#include "playback/midi_file_writer.h"
#include "scheduler_test_util.h"
#include "score/lilypond_export.h"
#include "score/note_pitch.h"
#include "score/sheet_file.h"
#include "smf_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>

namespace tonvela {
namespace {

namespace fs = std::filesystem;
using testing::makeNote;
using testing::setNotes;

// A note on as a listing shows it: its time in 96ths of a quarter and its key.
struct Onset {
    int64_t tick96;
    int key;
    bool operator==(const Onset& o) const { return tick96 == o.tick96 && key == o.key; }
    bool operator<(const Onset& o) const { return tick96 != o.tick96 ? tick96 < o.tick96 : key < o.key; }
};
std::ostream& operator<<(std::ostream& os, const Onset& o)
{
    return os << "{" << o.tick96 << ", " << o.key << "}";
}

std::string run(const std::string& cmd, int* status = nullptr)
{
    FILE* p = ::popen((cmd + " 2>&1").c_str(), "r");
    std::string out;
    if (!p)
        return out;
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p))
        out.append(buf, n);
    const int s = ::pclose(p);
    if (status)
        *status = s;
    return out;
}

// The note ons of every track that has some, per track in file order, sorted by time and key.
std::vector<std::vector<Onset>> onsetsOfMidiFile(const fs::path& file)
{
    int status = -1;
    const std::string csv = run("midicsv '" + file.string() + "'", &status);
    EXPECT_EQ(status, 0) << "midicsv is needed (scripts/setup.sh installs it): " << csv;
    int division = 0;
    std::map<int, std::vector<Onset>> byTrack;
    std::istringstream in(csv);
    for (std::string line; std::getline(in, line);) {
        int t = 0, tick = 0, format = 0, tracks = 0, ch = 0, key = 0, vel = 0;
        if (std::sscanf(line.c_str(), "0, 0, Header, %d, %d, %d", &format, &tracks, &division) == 3)
            continue;
        if (std::sscanf(line.c_str(), "%d, %d, Note_on_c, %d, %d, %d", &t, &tick, &ch, &key, &vel) == 5 &&
            vel > 0)
            byTrack[t].push_back({division > 0 ? int64_t{tick} * 96 / division : -1, key});
    }
    std::vector<std::vector<Onset>> out;
    for (auto& [track, onsets] : byTrack) {
        std::sort(onsets.begin(), onsets.end());
        out.push_back(onsets);
    }
    return out;
}

class StaffSoundTest : public testing::SchedulerHarness {
  protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tonvela-staff-sound-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::vector<int> playedKeys(PlayMode mode = PlayMode::Track)
    {
        play(mode);
        std::vector<int> keys;
        for (const auto& m : notes())
            if ((m.status & 0xF0) == 0x90)
                keys.push_back(m.data1);
        return keys;
    }
    // The sheet's own MIDI file, read back by midicsv.
    std::vector<std::vector<Onset>> exportedOnsets()
    {
        const fs::path file = dir / "sheet.mid";
        EXPECT_TRUE(writeMidiFile(sheet, file.string()).ok);
        return onsetsOfMidiFile(file);
    }
    // The LilyPond export engraved by LilyPond with a MIDI block; LilyPond's MIDI read back.
    // `unfold` writes the repeats out, as LilyPond's MIDI plays them only so.
    std::vector<std::vector<Onset>> lilypondOnsets(bool unfold = false)
    {
        std::string text = lilypondText(sheet);
        const std::size_t afterVersion = text.find("\r\n") + 2;
        text.insert(afterVersion, unfold ? "\\score {\r\n\\unfoldRepeats\r\n" : "\\score {\r\n");
        text += "\\layout { }\r\n\\midi { }\r\n}\r\n";
        std::ofstream(dir / "sheet.ly", std::ios::binary) << text;
        int status = -1;
        const std::string log =
            run("cd '" + dir.string() + "' && lilypond -dno-point-and-click -o sheet sheet.ly", &status);
        EXPECT_EQ(status, 0) << "lilypond is needed (scripts/setup.sh installs it)\n" << log << text;
        EXPECT_EQ(log.find("warning"), std::string::npos) << log << text;
        const fs::path midi = fs::exists(dir / "sheet.midi") ? dir / "sheet.midi" : dir / "sheet.mid";
        return onsetsOfMidiFile(midi);
    }
    static std::vector<std::string> lines(const std::string& text)
    {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string l; std::getline(in, l);) {
            if (!l.empty() && l.back() == '\r')
                l.pop_back();
            out.push_back(l);
        }
        return out;
    }
    static bool hasLine(const std::string& text, const std::string& line)
    {
        const auto all = lines(text);
        return std::find(all.begin(), all.end(), line) != all.end();
    }

    fs::path dir;
};

TEST_F(StaffSoundTest, ABassPartInBFlatSoundsBFlatDAndFInPlaybackMidiAndLilyPond)
{
    // B flat major on the F clef: B on the second line, D on the middle line, F on the fourth.
    Track& t = *sheet.trackAt(0);
    setStaffKind(t, StaffKind::FClef);
    t.setKeyIndex(9);
    setNotes(t, {makeNote(kTypeQuarter, 3), makeNote(kTypeQuarter, 1), makeNote(kTypeQuarter, -1)});

    EXPECT_EQ(playedKeys(), (std::vector<int>{46, 50, 53}));
    const auto exported = exportedOnsets();
    ASSERT_FALSE(exported.empty());
    EXPECT_EQ(exported[0], (std::vector<Onset>{{0, 46}, {96, 50}, {192, 53}}));
    const std::string ly = lilypondText(sheet);
    EXPECT_TRUE(hasLine(ly, "\\clef bass")) << ly;
    EXPECT_TRUE(hasLine(ly, "\\key bes \\major")) << ly;
    for (const char* note : {"bes,4", "d4", "f4"})
        EXPECT_TRUE(hasLine(ly, note)) << note << "\n" << ly;
    const auto engraved = lilypondOnsets();
    ASSERT_FALSE(engraved.empty());
    EXPECT_EQ(engraved[0], exported[0]);
}

TEST_F(StaffSoundTest, ATablatureTrackEngravesAsATabStaffWithTheSheetsStringsAndSoundsTheSame)
{
    // Quarters on several strings and a two-note chord, all in the guitar's range.
    Track& t = *sheet.trackAt(0);
    setStaffKind(t, StaffKind::Tablature);
    std::vector<Note> notes{makeNote(kTypeQuarter, 0),  makeNote(kTypeQuarter, 3), makeNote(kTypeQuarter, 6),
                            makeNote(kTypeQuarter, -2), makeNote(kTypeHalf, 5),    makeNote(kTypeHalf, 1)};
    notes[5].chordparent = 4;
    setNotes(t, notes);

    const std::string ly = lilypondText(sheet);
    const std::size_t tab = ly.find("\\new TabStaff {");
    ASSERT_NE(tab, std::string::npos) << ly;
    const std::string staff = ly.substr(tab, ly.find("}\r\n", tab) - tab);
    EXPECT_EQ(staff.find("\\clef"), std::string::npos) << "a tablature staff takes no clef\n" << ly;
    // Every note names the string the sheet's tablature shows it on, in order, and that string
    // at the fret the sheet shows sounds the key the sheet plays: LilyPond's frets are the sheet's.
    const std::vector<int> keys = playedKeys();
    ASSERT_EQ(keys.size(), 6u);
    std::vector<int> written;
    for (std::size_t at = staff.find('\\', 1); at != std::string::npos; at = staff.find('\\', at + 1))
        if (std::isdigit(static_cast<unsigned char>(staff[at + 1])))
            written.push_back(staff[at + 1] - '0');
    std::vector<int> shownStrings;
    for (int i = 0; i < 6; ++i) {
        const GuitarPosition shown = guitarPositionOfNote(t.noteAt(i));
        shownStrings.push_back(shown.stringIndex + 1);
        const int key = openStringKey(shown.stringIndex) + shown.fret;
        EXPECT_NE(std::find(keys.begin(), keys.end(), key), keys.end()) << "note " << i;
    }
    EXPECT_EQ(written, shownStrings) << ly;
    EXPECT_NE(staff.find(">2"), std::string::npos) << "the chord is written as one\n" << ly;

    // LilyPond engraves it without a warning and plays what the sheet plays.
    const auto exported = exportedOnsets();
    const auto engraved = lilypondOnsets();
    ASSERT_FALSE(exported.empty());
    ASSERT_FALSE(engraved.empty());
    EXPECT_EQ(engraved[0], exported[0]);
}

TEST_F(StaffSoundTest, ATablatureTrackBelowTheGuitarsRangeStaysAStaffOfNotes)
{
    Track& t = *sheet.trackAt(0);
    setStaffKind(t, StaffKind::Tablature);
    setNotes(t, {makeNote(kTypeQuarter, 0), makeNote(kTypeQuarter, 14)});
    const std::vector<int> keys = playedKeys();
    ASSERT_EQ(keys.size(), 2u);
    ASSERT_LT(keys[1], 40) << "the second note lies below the low E string";
    const std::string ly = lilypondText(sheet);
    EXPECT_EQ(ly.find("TabStaff"), std::string::npos) << ly;
    EXPECT_TRUE(hasLine(ly, "\\clef \"treble_8\"")) << ly;
    const auto exported = exportedOnsets();
    const auto engraved = lilypondOnsets();
    ASSERT_FALSE(engraved.empty());
    EXPECT_EQ(engraved[0], exported[0]);
}

TEST_F(StaffSoundTest, ALowPartImportsWhereTheBassClefShowsItAndKeepsItsKeysThroughSaveLoadAndExport)
{
    // White keys of the bass clef's staff and a few black ones.
    const std::vector<int> keys{43, 45, 47, 48, 50, 52, 53, 55, 57, 40, 41, 46, 49, 54};
    test::TrackBytes bass = test::TrackBytes().program(0, 1, 32);
    for (int k : keys)
        bass.on(0, 1, k).off(96, 1, k);
    const LoadResult imported = importMidiData(test::smfFile({bass.end()}), sheet);
    ASSERT_TRUE(imported.ok()) << imported.error;
    Track& t = *sheet.trackAt(0);
    ASSERT_EQ(staffKindOf(t), StaffKind::FClef);
    // G2 on the bottom line (5) up to A3 on the top line (-3); no white key carries a mark.
    const int positions[] = {5, 4, 3, 2, 1, 0, -1, -2, -3, 7, 6};
    std::vector<int> sounding;
    for (int i = 0, k = 0; i < t.count; ++i) {
        const Note& n = t.noteAt(i);
        if (n.isRest())
            continue;
        if (k < 11) {
            EXPECT_EQ(n.line, positions[k]) << "key " << keys[static_cast<std::size_t>(k)];
            EXPECT_EQ(n.dwFlag & (kFlagSharp | kFlagFlat | kFlagNatural), 0)
                << "key " << keys[static_cast<std::size_t>(k)];
        }
        ++k;
    }

    const fs::path file = dir / "bass.shd";
    ASSERT_TRUE(saveSheet(sheet, "bass", file.string()).ok);
    SheetDocument loaded;
    ASSERT_TRUE(loadSheet(loaded, "bass", file.string()).ok());
    const fs::path mid = dir / "bass.mid";
    ASSERT_TRUE(writeMidiFile(loaded, mid.string()).ok);
    const auto onsets = onsetsOfMidiFile(mid);
    ASSERT_EQ(onsets.size(), 1u);
    std::vector<int> written;
    for (const Onset& o : onsets[0])
        written.push_back(o.key);
    EXPECT_EQ(written, keys);
}

TEST_F(StaffSoundTest, ImportedDrumsKeepTheirKeysThroughSaveAndLoad)
{
    // Closed and open hi-hat are black keys; a drum track's file keeps no accidental marks.
    const std::vector<int> keys{36, 42, 38, 46, 44, 49};
    test::TrackBytes drums;
    for (int k : keys)
        drums.on(0, 9, k).off(96, 9, k);
    const LoadResult imported = importMidiData(test::smfFile({drums.end()}), sheet);
    ASSERT_TRUE(imported.ok()) << imported.error;
    ASSERT_TRUE(sheet.trackAt(0)->percussive);
    EXPECT_EQ(playedKeys(), keys);

    const fs::path file = dir / "drums.shd";
    ASSERT_TRUE(saveSheet(sheet, "drums", file.string()).ok);
    SheetDocument loaded;
    ASSERT_TRUE(loadSheet(loaded, "drums", file.string()).ok());
    const fs::path mid = dir / "drums.mid";
    ASSERT_TRUE(writeMidiFile(loaded, mid.string()).ok);
    const auto onsets = onsetsOfMidiFile(mid);
    ASSERT_EQ(onsets.size(), 1u);
    std::vector<int> written;
    for (const Onset& o : onsets[0])
        written.push_back(o.key);
    EXPECT_EQ(written, keys);
}

TEST_F(StaffSoundTest, AChordWhoseRootIsARestPlaysAndExportsAsARest)
{
    Track& t = *sheet.trackAt(0);
    Note rest = makeNote(kTypeHalf, 1, kFlagRest);
    Note member = makeNote(kTypeHalf, -1);
    member.chordparent = 0;
    Note other = makeNote(kTypeHalf, -3);
    other.chordparent = 0;
    setNotes(t, {rest, member, other, makeNote(kTypeQuarter, 0)});

    EXPECT_EQ(playedKeys(), (std::vector<int>{60}));
    const auto exported = exportedOnsets();
    ASSERT_EQ(exported.size(), 1u);
    EXPECT_EQ(exported[0], (std::vector<Onset>{{192, 60}}));
    const std::string ly = lilypondText(sheet);
    EXPECT_TRUE(hasLine(ly, "r2")) << ly;
    EXPECT_TRUE(hasLine(ly, "c'4")) << ly;
}

// Notes of many kinds on one track: positions across the staff and its ledger lines, marks,
// dots, chords, rests, chords on a rest, and ties as the sheet joins them.
void fillTrack(Track& t, int seed)
{
    std::vector<Note> notes;
    auto add = [&](const Note& n) { notes.push_back(n); };
    const int types[] = {kTypeQuarter, kTypeEighth, kTypeHalf, kTypeSixteenth, kTypeQuarter, kTypeWhole};
    for (int k = 0; k < 36; ++k) {
        const int line = ((k + seed) * 5) % 19 - 9;
        const int flags = k % 5 == 1 ? kFlagSharp : k % 5 == 3 ? kFlagFlat : k % 7 == 4 ? kFlagNatural : 0;
        const int type = types[(k + seed) % 6];
        const int dot = k % 4 == 2 ? kFlagDot : 0;
        if (k % 9 == 8) {
            add(makeNote(type, line, kFlagRest | dot));
            continue;
        }
        if (k % 6 == 5 || k % 11 == 7) {
            // A chord; every eleventh one stands on a rest.
            const int root = static_cast<int>(notes.size());
            add(makeNote(type, line, (k % 11 == 7 ? kFlagRest : flags) | dot));
            for (int m : {-2, -4}) {
                Note member = makeNote(type, line + m, m == -4 ? kFlagSharp : 0);
                member.chordparent = static_cast<int16_t>(root);
                add(member);
            }
            continue;
        }
        if (k % 8 == 3) {
            // Tied notes of one letter: the second sounds on without striking again, also when
            // its own mark differs; a third note only marked on one side strikes anew.
            add(makeNote(type, line, flags | kFlagTie));
            add(makeNote(kTypeEighth, line, (k % 16 == 3 ? kFlagSharp : flags) | kFlagTie));
            add(makeNote(kTypeEighth, line, flags));
            continue;
        }
        if (k % 10 == 6) {
            // A tie interrupted by a bar line joins nothing.
            add(makeNote(type, line, flags | kFlagTie));
            add(makeNote(kTypeBar, 0));
            add(makeNote(type, line, flags | kFlagTie));
            continue;
        }
        add(makeNote(type, line, flags | dot));
    }
    // A tied chord: the root sounds on, the repeated members do not strike again.
    const int root = static_cast<int>(notes.size());
    add(makeNote(kTypeHalf, 0, kFlagTie));
    for (int m : {-2, -4}) {
        Note member = makeNote(kTypeHalf, m);
        member.chordparent = static_cast<int16_t>(root);
        add(member);
    }
    const int next = static_cast<int>(notes.size());
    add(makeNote(kTypeHalf, 0, kFlagTie));
    for (int m : {-2, -4}) {
        Note member = makeNote(kTypeHalf, m);
        member.chordparent = static_cast<int16_t>(next);
        add(member);
    }
    setNotes(t, notes);
}

TEST_F(StaffSoundTest, LilyPondsEngravingOfEveryClefSoundsLikeTheSheetsOwnMidiFile)
{
    sheet.setTrackCount(3);
    const StaffKind kinds[] = {StaffKind::GClef, StaffKind::G2Clef, StaffKind::FClef};
    const int keys[] = {5, 10, 9}; // D major, E flat major, B flat major
    for (int i = 0; i < 3; ++i) {
        Track& t = *sheet.trackAt(i);
        setStaffKind(t, kinds[i]);
        t.setKeyIndex(keys[i]);
        fillTrack(t, i);
    }
    const std::string ly = lilypondText(sheet);
    EXPECT_TRUE(hasLine(ly, "\\clef \"treble_8\"")) << ly;
    EXPECT_TRUE(hasLine(ly, "\\clef treble")) << ly;
    EXPECT_TRUE(hasLine(ly, "\\clef bass")) << ly;

    const auto exported = exportedOnsets();
    ASSERT_EQ(exported.size(), 3u);
    const auto engraved = lilypondOnsets();
    ASSERT_EQ(engraved.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(engraved[i], exported[i]) << "track " << i;

    // The clefs really differ: the same staff position sounds an octave apart on the G and
    // G(2) clefs.
    Track& g = *sheet.trackAt(0);
    Track& g2 = *sheet.trackAt(1);
    g.setKeyIndex(7);
    g2.setKeyIndex(7);
    setNotes(g, {makeNote(kTypeQuarter, 0)});
    setNotes(g2, {makeNote(kTypeQuarter, 0)});
    setNotes(*sheet.trackAt(2), {});
    const auto octave = lilypondOnsets();
    ASSERT_EQ(octave.size(), 2u);
    EXPECT_EQ(octave[0], (std::vector<Onset>{{0, 60}}));
    EXPECT_EQ(octave[1], (std::vector<Onset>{{0, 72}}));
}

TEST_F(StaffSoundTest, RepeatedMeasuresSoundAlikeInPlaybackMidiAndLilyPond)
{
    // The test sheet: two tracks with measures 2 (inside a row), 4 (at a row end) and 9 (the
    // last) marked.
    ASSERT_TRUE(loadSheet(sheet, "repeats", std::string(TONVELA_TEST_DATA) + "/repeats.shd").ok());
    ASSERT_EQ(sheet.trackAt(0)->measureRepeats.measures(), (std::vector<int>{2, 4, 9}));
    // Playback: every note on of track 0, in 96ths of a quarter (500 ms at 120 bpm).
    play(PlayMode::All);
    std::vector<Onset> played;
    for (const auto& m : notes())
        if ((m.status & 0xF0) == 0x90 && (m.status & 0x0F) == 0)
            played.push_back({m.ms * 96 / 500, m.data1});
    std::sort(played.begin(), played.end());
    const auto exported = exportedOnsets();
    ASSERT_EQ(exported.size(), 2u);
    EXPECT_EQ(exported[0], played);
    // 31 notes, and the notes of the three marked measures twice.
    EXPECT_EQ(exported[0].size(), 31u + 4 + 3 + 1);
    EXPECT_EQ(exported[0].back().tick96, (12 * 4 - 4) * 96) << "the last whole note starts twice";
    const auto engraved = lilypondOnsets(true);
    EXPECT_EQ(engraved, exported);
}

} // namespace
} // namespace tonvela
