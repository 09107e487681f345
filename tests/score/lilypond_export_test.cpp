#include "score/lilypond_export.h"

#include "score/drum_notation.h"
#include "score/note.h"
#include "score/play_walk.h"
#include "score/repeat_range.h"
#include "score/sheet_document.h"
#include "score/sheet_file.h"
#include "score/sounding_pitch.h"
#include "score/track.h"
#include "score/track_type.h"
#include "score/voices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace tonvela {
namespace {

class LilypondExportTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() /
              ("tonvela-ly-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string path(const std::string& name) const { return (dir / name).string(); }

    // A note at a staff position (G clef reading) with flags and a duration.
    static Note note(int line, int type = kTypeQuarter, int flags = 0)
    {
        Note n;
        n.setStaffPosition(line);
        n.type = type;
        n.dwFlag = flags;
        return n;
    }
    static void append(Track& t, const Note& n) { t.insertNote(n, t.count); }
    // Appends a chord: the first note is the root, the others its members.
    static void appendChord(Track& t, std::vector<Note> notes)
    {
        const int root = t.count;
        for (std::size_t i = 0; i < notes.size(); ++i) {
            notes[i].chordparent = static_cast<int16_t>(i == 0 ? -1 : root);
            append(t, notes[i]);
        }
        t.rebuildChordLists();
    }
    // The lines of the staff of track `index` (from its "\new" line to its closing brace).
    static std::vector<std::string> staffLines(const std::string& text, int index)
    {
        std::vector<std::string> lines;
        std::istringstream in(text);
        std::string line;
        int staff = -1;
        bool inside = false;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.rfind("\\new Staff", 0) == 0 || line.rfind("\\new DrumStaff", 0) == 0) {
                ++staff;
                inside = staff == index;
                continue;
            }
            if (inside && line == "}")
                break;
            if (inside)
                lines.push_back(line);
        }
        return lines;
    }
    static bool has(const std::vector<std::string>& lines, const std::string& l)
    {
        return std::find(lines.begin(), lines.end(), l) != lines.end();
    }

    // One LilyPond run for the exported files NAME.ly in the test's folder: no error, no
    // warning, and a PDF for each.
    void expectEngravedCleanly(const std::vector<std::string>& names) const
    {
        std::string cmd = "cd '" + dir.string() + "' && lilypond -dno-point-and-click";
        for (const std::string& n : names)
            cmd += " " + n + ".ly";
        cmd += " > lilypond.log 2>&1";
        const int status = std::system(cmd.c_str());
        std::ifstream in(path("lilypond.log"));
        const std::string log{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        ASSERT_TRUE(WIFEXITED(status)) << log;
        ASSERT_NE(WEXITSTATUS(status), 127) << "lilypond is not installed (scripts/setup.sh installs it)\n"
                                            << log;
        EXPECT_EQ(WEXITSTATUS(status), 0) << log;
        EXPECT_EQ(log.find("error"), std::string::npos) << log;
        EXPECT_EQ(log.find("warning"), std::string::npos) << log;
        for (const std::string& n : names)
            EXPECT_TRUE(std::filesystem::exists(path(n + ".pdf"))) << n << "\n" << log;
    }

    // The notes LilyPond's own MIDI of the export plays (repeats unfolded), as (quarters from
    // the start, key); empty when LilyPond or midicsv failed (the test then fails).
    std::vector<std::pair<double, int>> playedByLilypond(const SheetDocument& sheet,
                                                         const std::string& name) const
    {
        std::string text = lilypondText(sheet);
        const std::size_t music = text.find("<<");
        if (music == std::string::npos)
            return {};
        text = text.substr(0, music) + "\\score { \\unfoldRepeats " + text.substr(music) + "\\midi { } }\r\n";
        {
            std::ofstream out(path(name + ".ly"), std::ios::binary);
            out << text;
        }
        const std::string cmd = "cd '" + dir.string() + "' && lilypond -dno-point-and-click " + name +
                                ".ly > lilypond.log 2>&1 && midicsv " + name + ".midi > " + name + ".csv";
        EXPECT_EQ(std::system(cmd.c_str()), 0)
            << "lilypond and midicsv are needed (scripts/setup.sh installs them)";
        std::ifstream in(path(name + ".csv"));
        int division = 0;
        std::vector<std::pair<double, int>> played;
        for (std::string line; std::getline(in, line);) {
            int a = 0, b = 0, format = 0, tracks = 0, channel = 0, key = 0, velocity = 0;
            long long tick = 0;
            if (std::sscanf(line.c_str(), "%d, %d, Header, %d, %d, %d", &a, &b, &format, &tracks,
                            &division) == 5)
                continue;
            if (std::sscanf(line.c_str(), "%d, %lld, Note_on_c, %d, %d, %d", &a, &tick, &channel, &key,
                            &velocity) == 5 &&
                velocity > 0 && division > 0)
                played.emplace_back(static_cast<double>(tick) / division, key);
        }
        return played;
    }
    // What the play walk of a track sounds, in the same terms.
    static std::vector<std::pair<double, int>> playedByWalk(const Track& t)
    {
        std::vector<std::pair<double, int>> walked;
        PlayWalk walk(t);
        while (const auto step = walk.next())
            forEachPlayedNote(t, *step, [&](const PlayedNote& p) {
                if (!p.rest)
                    walked.emplace_back(beatsOf(step->start), soundingKey(t.noteAt(p.index), t));
            });
        return walked;
    }

    std::filesystem::path dir;
};

TEST_F(LilypondExportTest, PitchesUseAbsoluteOctavesWithMiddleCAsCPrime)
{
    EXPECT_EQ(lilypondPitch(60, 'C', false), "c'");
    EXPECT_EQ(lilypondPitch(48, 'C', false), "c");
    EXPECT_EQ(lilypondPitch(47, 'B', false), "b,");
    EXPECT_EQ(lilypondPitch(72, 'C', false), "c''");
    EXPECT_EQ(lilypondPitch(24, 'C', false), "c,,");
    EXPECT_EQ(lilypondPitch(66, 'F', false), "fis'");
    EXPECT_EQ(lilypondPitch(70, 'B', true), "bes'");
    // The octave follows the letter, not the key: B sharp and C flat across the octave line.
    EXPECT_EQ(lilypondPitch(60, 'B', false), "bis");
    EXPECT_EQ(lilypondPitch(59, 'C', false), "ces'");
    // A letter too far from the key falls back to sharps or flats.
    EXPECT_EQ(lilypondPitch(61, 'G', false), "cis'");
    EXPECT_EQ(lilypondPitch(61, 'G', true), "des'");
    EXPECT_EQ(lilypondPitch(0, 'C', false), "c,,,,");
    EXPECT_EQ(lilypondPitch(500, 'G', false), "g''''''"); // kept within the MIDI range
}

TEST_F(LilypondExportTest, NotesRestsDotsAndDurationsAreWrittenOnePerLine)
{
    SheetDocument sheet;
    Track& t = *sheet.trackAt(0);
    append(t, note(0));                                      // middle C
    append(t, note(7));                                      // an octave lower
    append(t, note(-3, kTypeEighth, kFlagSharp | kFlagDot)); // F sharp above middle C
    append(t, note(0, kTypeHalf, kFlagRest));
    append(t, note(0, kTypeWhole, kFlagRest | kFlagDot));
    append(t, note(-1, kTypeSixteenth));
    append(t, note(-2, kTypeThirtySecond, kFlagFlat));
    const auto lines = staffLines(lilypondText(sheet), 0);
    const std::vector<std::string> expected{
        "\\time 4/4", "\\clef \"treble_8\"", "\\key c \\major", "c'4", "c4", "fis'8.", "r2", "r1.", "d'16",
        "ees'32"};
    EXPECT_EQ(lines, expected);
}

TEST_F(LilypondExportTest, KeySignaturesAndNaturalMarksChangeTheSoundingPitch)
{
    SheetDocument sheet;
    Track& t = *sheet.trackAt(0);
    t.setKeyIndex(8); // F major: B flat
    append(t, note(-6));
    append(t, note(-6, kTypeQuarter, kFlagNatural));
    Track& d = *sheet.trackAt(1);
    d.setKeyIndex(5); // D major: F and C sharp
    append(d, note(-3));
    append(d, note(0));
    const std::string text = lilypondText(sheet);
    EXPECT_TRUE(has(staffLines(text, 0), "\\key f \\major"));
    EXPECT_TRUE(has(staffLines(text, 0), "bes'4"));
    EXPECT_TRUE(has(staffLines(text, 0), "b'4"));
    EXPECT_TRUE(has(staffLines(text, 1), "\\key d \\major"));
    EXPECT_TRUE(has(staffLines(text, 1), "fis'4"));
    EXPECT_TRUE(has(staffLines(text, 1), "cis'4"));
}

TEST_F(LilypondExportTest, ClefOffsetsAreAppliedAndEveryTrackIsItsOwnStaff)
{
    SheetDocument sheet;
    sheet.setTrackCount(4);
    // A G clef track changed to F clef and to G(2) clef keeps sounding middle C.
    for (int i : {1, 2}) {
        append(*sheet.trackAt(i), note(0));
        setTrackType(*sheet.trackAt(i), i == 1 ? 1 : 4);
    }
    append(*sheet.trackAt(0), note(0));
    setTrackType(*sheet.trackAt(3), 2); // percussion
    Note drum;
    drum.midi = 38;
    drum.type = kTypeEighth;
    append(*sheet.trackAt(3), drum);
    const std::string text = lilypondText(sheet);
    // The G clef staff is written an octave above its sound; the G(2) clef sounds as written.
    EXPECT_EQ(staffLines(text, 0),
              (std::vector<std::string>{"\\time 4/4", "\\clef \"treble_8\"", "\\key c \\major", "c'4"}));
    EXPECT_EQ(staffLines(text, 1),
              (std::vector<std::string>{"\\time 4/4", "\\clef bass", "\\key c \\major", "c'4"}));
    EXPECT_EQ(staffLines(text, 2),
              (std::vector<std::string>{"\\time 4/4", "\\clef treble", "\\key c \\major", "c'4"}));
    EXPECT_EQ(staffLines(text, 3), (std::vector<std::string>{"\\time 4/4", "acousticsnare8"}));
    // The snare placed where the sheet draws it: the third space, one half space above the
    // middle line.
    EXPECT_NE(
        text.find(
            "\\new DrumStaff \\with { drumStyleTable = #(alist->hash-table '((acousticsnare () #f 1))) } "
            "\\drummode {"),
        std::string::npos);
}

TEST_F(LilypondExportTest, TimeSignaturesInEighthsUseEightAsTheirUnit)
{
    SheetDocument sheet;
    sheet.setTimeSignatureCode(kTimeSig38);
    sheet.trackAt(1)->timeSig = kTimeSig68;
    const std::string text = lilypondText(sheet);
    EXPECT_EQ(staffLines(text, 0).front(), "\\time 3/8");
    EXPECT_EQ(staffLines(text, 1).front(), "\\time 6/8");
    EXPECT_EQ(text.rfind("\\version \"2.24.0\"\r\n<<\r\n", 0), 0u);
}

TEST_F(LilypondExportTest, ChordsAreBracketedAndTiesJoinWhatPlaybackJoins)
{
    SheetDocument sheet;
    Track& t = *sheet.trackAt(0);
    appendChord(t, {note(0, kTypeHalf, kFlagTie), note(-2, kTypeHalf), note(-4, kTypeHalf)});
    append(t, note(0, kTypeQuarter, kFlagTie)); // holds the chord's C; tied to a D: no tie
    append(t, note(-1));
    Note bar = note(0, kTypeBar);
    append(t, bar);
    append(t, note(0, kTypeSpace));
    append(t, note(-1, kTypeQuarter, kFlagTie)); // tied to a rest: no tie
    append(t, note(0, kTypeQuarter, kFlagRest));
    append(t, note(5, kTypeEighth, kFlagTie));              // tied: both notes carry the mark
    append(t, note(5, kTypeEighth, kFlagTie | kFlagSharp)); // sounds on as the E it continues
    append(t, note(5, kTypeEighth));                        // the mark on one side only: no tie
    append(t, note(5, kTypeEighth, kFlagTie));              // last note: nothing to tie to
    const auto lines = staffLines(lilypondText(sheet), 0);
    const std::vector<std::string> expected{"\\time 4/4",
                                            "\\clef \"treble_8\"",
                                            "\\key c \\major",
                                            "<c'~ e' g'>2", // only the repeated pitch ties
                                            "c'4",
                                            "d'4",
                                            "d'4",
                                            "r4",
                                            "e8~",
                                            "e8",
                                            "e8",
                                            "e8"};
    EXPECT_EQ(lines, expected);
}

TEST_F(LilypondExportTest, LyricsGoUnderTheirStaffWithOneEntryPerNoteOrRest)
{
    SheetDocument sheet;
    Track& t = *sheet.trackAt(1);
    Note sung = note(0, kTypeHalf, kFlagDot);
    sung.setLyric("say \"hi\"\\");
    append(t, sung);
    append(t, note(0, kTypeQuarter, kFlagRest));
    Note latin = note(0, kTypeEighth);
    latin.setLyric(std::string("caf\xe9\tw\xc3\xa4re"));
    append(t, latin);
    const std::string text = lilypondText(sheet);
    EXPECT_EQ(text.find("\\new Lyrics"), text.rfind("\\new Lyrics")); // only the track with lyrics
    const auto staff1 = text.find("\\new Staff", text.find("\\new Staff") + 1);
    const auto lyrics = text.find("\\new Lyrics \\lyricmode {\r\n\"say \\\"hi\\\"\\\\\"2.\r\n\\skip 4\r\n"
                                  "\"caf\xc3\xa9 w\xc3\xa4re\"8\r\n}\r\n");
    ASSERT_NE(lyrics, std::string::npos) << text;
    EXPECT_GT(lyrics, staff1);
}

TEST_F(LilypondExportTest, EveryLineEndsWithCrLf)
{
    SheetDocument sheet;
    append(*sheet.trackAt(0), note(0));
    const std::string text = lilypondText(sheet);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << i;
        }
    }
    EXPECT_EQ(text.substr(text.size() - 4), ">>\r\n");
}

TEST_F(LilypondExportTest, ExportWritesTheFileAndLeavesTheSheetAsItWas)
{
    SheetDocument sheet;
    append(*sheet.trackAt(0), note(0));
    sheet.markModified();
    ASSERT_TRUE(exportLilypond(sheet, "x.ly", path("x.ly")));
    std::ifstream in(path("x.ly"), std::ios::binary);
    const std::string written{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(written, lilypondText(sheet));
    EXPECT_TRUE(sheet.modified);
    EXPECT_EQ(sheet.trackAt(0)->count, 1);
    EXPECT_TRUE(sheet.path.empty());
    const FileResult bad = exportLilypond(sheet, "x.ly", path("missing/x.ly"));
    EXPECT_FALSE(bad.ok);
    EXPECT_FALSE(bad.error.empty());
}

// Sheets that exercise every staff kind, keys with sharps and flats, chords, rests, dots,
// ties and lyrics, plus sheets with nothing in them.
void fillVariedSheet(SheetDocument& sheet)
{
    const auto note = [](int line, int type, int flags = 0) {
        Note n;
        n.setStaffPosition(line);
        n.type = type;
        n.dwFlag = flags;
        return n;
    };
    sheet.setTrackCount(6);
    const int keys[] = {0, 14, 5, 10, 7, 2};
    for (int i = 0; i < 6; ++i)
        sheet.trackAt(i)->setKeyIndex(keys[i]);
    int type = kTypeWhole;
    for (int i = 0; i < 6; ++i) {
        Track& t = *sheet.trackAt(i);
        for (int k = 0; k < 24; ++k) {
            const int line = (k * 5 + i * 3) % 25 - 12;
            const int flags = (k % 7 == 0 ? kFlagSharp : 0) | (k % 5 == 0 ? kFlagFlat : 0) |
                              (k % 4 == 0 ? kFlagDot : 0) | (k % 6 == 0 ? kFlagNatural : 0) |
                              (k % 9 == 0 ? kFlagRest : 0) | (k % 3 == 0 ? kFlagTie : 0);
            type = kTypeWhole + (k + i) % 6;
            Note n = note(line, type, flags);
            if (k % 4 == 1)
                n.setLyric(k % 8 == 1 ? "la \"la\"" : "\xe9t\xe9");
            if (k % 5 == 2) {
                Note third = note(line - 2, type);
                Note fifth = note(line - 4, type, kFlagSharp);
                const int root = t.count;
                t.insertNote(n, t.count);
                third.chordparent = fifth.chordparent = static_cast<int16_t>(root);
                t.insertNote(third, t.count);
                t.insertNote(fifth, t.count);
            } else {
                t.insertNote(n, t.count);
                // A tie joins two notes that both carry the mark and show the same letter.
                if ((flags & kFlagTie) && !(flags & kFlagRest))
                    t.insertNote(note(line, kTypeEighth, kFlagTie), t.count);
            }
            if (k % 8 == 3)
                t.insertNote(note(0, kTypeBar), t.count);
        }
        t.rebuildChordLists();
    }
    setTrackType(*sheet.trackAt(1), 1); // F clef
    setTrackType(*sheet.trackAt(2), 4); // G(2) clef
    setTrackType(*sheet.trackAt(3), 3); // tablature
    setTrackType(*sheet.trackAt(4), 2); // percussion
    setTrackType(*sheet.trackAt(5), 5); // the fifth kind
    for (int k = 0; k < sheet.trackAt(4)->count; ++k)
        sheet.trackAt(4)->noteAt(k).midi = static_cast<int8_t>(30 + k * 3 % 60);
}

TEST_F(LilypondExportTest, LilyPondEngravesExportedSheetsWithoutErrorsOrWarnings)
{
    SheetDocument varied;
    fillVariedSheet(varied);
    varied.setTimeSignatureCode(kTimeSig78);
    SheetDocument empty;
    SheetDocument noTracks;
    noTracks.removeAllTracks();
    const std::string text = lilypondText(varied);
    for (const char* part :
         {"\\new DrumStaff", "\\clef bass", "\\clef \"treble_8\"", "\\clef treble\r\n", "\\new Lyrics",
          "~\r\n", ">1", "r2", "is", "es", "\\key ces \\major", "\\key cis \\major", "\\time 7/8"})
        EXPECT_NE(text.find(part), std::string::npos) << part; // the sheet really is varied
    ASSERT_TRUE(exportLilypond(varied, "varied.ly", path("varied.ly")));
    ASSERT_TRUE(exportLilypond(empty, "empty.ly", path("empty.ly")));
    ASSERT_TRUE(exportLilypond(noTracks, "none.ly", path("none.ly")));

    expectEngravedCleanly({"varied", "empty", "none"});
}

TEST_F(LilypondExportTest, MarkedMeasuresAreWrittenAsVoltaRepeatsAndNoTieRunsOverTheirEnd)
{
    // 2/4: C D | E F | G A~ | A~ B, measures 2 and 4 marked (4 is the last measure).
    SheetDocument sheet;
    sheet.setTrackCount(1);
    Track& t = *sheet.trackAt(0);
    t.timeSig = kTimeSig24;
    for (const int line : {0, -1, -2, -3, -4})
        append(t, note(line));
    append(t, note(-5, kTypeQuarter, kFlagTie));
    append(t, note(-5, kTypeQuarter, kFlagTie));
    append(t, note(-6));
    t.measureRepeats.assign({2, 4});
    const std::string text = lilypondText(sheet);
    // The staff's lines, from its opening line to the end of the score (its closing brace
    // left out: staffLines stops at the first brace, which closes a repeat here).
    std::vector<std::string> lines;
    std::istringstream in(text);
    bool inside = false;
    for (std::string l; std::getline(in, l);) {
        if (!l.empty() && l.back() == '\r')
            l.pop_back();
        if (l == ">>")
            break;
        if (inside)
            lines.push_back(l);
        inside = inside || l == "\\new Staff {";
    }
    ASSERT_FALSE(lines.empty()) << text;
    EXPECT_EQ(lines.back(), "}");
    lines.pop_back();
    std::vector<std::string> shape;
    for (const std::string& l : lines) {
        if (l.rfind("\\time", 0) == 0 || l.rfind("\\clef", 0) == 0 || l.rfind("\\key", 0) == 0)
            continue;
        shape.push_back(l == "\\repeat volta 2 {" ? "[" : l == "}" ? "]" : l.back() == '~' ? "tie" : "note");
    }
    // The tie from A into the repeated measure 4 holds on the way in, as playback sounds it;
    // the repeat strikes the second A again.
    EXPECT_EQ(shape, (std::vector<std::string>{"note", "note", "[", "note", "note", "]", "note", "tie", "[",
                                               "note", "note", "]"}))
        << text;
    // The staff itself still closes after the last repeat.
    EXPECT_NE(text.find("}\r\n}\r\n>>\r\n"), std::string::npos) << text;

    // Without marks the same notes have no repeats and keep their tie.
    t.measureRepeats.clear();
    const std::string plain = lilypondText(sheet);
    EXPECT_EQ(plain.find("\\repeat"), std::string::npos);
    EXPECT_NE(plain.find("~\r\n"), std::string::npos) << plain;
}

TEST_F(LilypondExportTest, LilyPondEngravesRepeatsWithoutErrorsOrWarnings)
{
    // A repeat in every place: the first measure, inside, at the end; with chords, rests,
    // lyrics, on two staves whose marks differ.
    SheetDocument sheet;
    sheet.setTrackCount(2);
    for (int ti = 0; ti < 2; ++ti) {
        Track& t = *sheet.trackAt(ti);
        for (int m = 0; m < 5; ++m) {
            appendChord(t, {note(-m), note(-m - 2), note(-m - 4)});
            Note n = note(-m - 1, kTypeEighth);
            n.setLyric("la");
            append(t, n);
            append(t, note(0, kTypeEighth, kFlagRest));
            append(t, note(-m - 2, kTypeHalf));
        }
    }
    sheet.trackAt(0)->measureRepeats.assign({1, 3, 5});
    sheet.trackAt(1)->measureRepeats.assign({2});
    ASSERT_TRUE(exportLilypond(sheet, "rep.ly", path("rep.ly")));
    const std::string text = lilypondText(sheet);
    ASSERT_EQ(static_cast<int>(std::count(text.begin(), text.end(), '{')),
              static_cast<int>(std::count(text.begin(), text.end(), '}')));
    expectEngravedCleanly({"rep"});
}

TEST_F(LilypondExportTest, LilyPondsOwnMidiPlaysTheNotesOfThePlayWalk)
{
    // 2/4, measure 1 marked to repeat and exactly full of dotted and plain short notes, then a
    // tie chain of 104 sixteenths of one pitch (struck again after 101 notes, as playback does),
    // a chord and a rest.
    SheetDocument sheet;
    sheet.setTrackCount(1);
    Track& t = *sheet.trackAt(0);
    append(t, note(0, kTypeThirtySecond));
    append(t, note(-1, kTypeThirtySecond, kFlagDot));
    append(t, note(-2, kTypeSixteenth, kFlagDot));
    append(t, note(-3, kTypeEighth, kFlagDot));
    append(t, note(-4, kTypeSixteenth));
    append(t, note(-5, kTypeThirtySecond));
    append(t, note(-6, kTypeThirtySecond, kFlagDot));
    for (int i = 0; i < 104; ++i)
        append(t, note(-7, kTypeSixteenth, kFlagTie));
    appendChord(t, {note(0), note(-2)});
    append(t, note(0, kTypeQuarter, kFlagRest));
    t.timeSig = kTimeSig24;
    t.measureRepeats.set(1, true);

    // LilyPond plays its engraving of the export as MIDI, repeats unfolded.
    std::vector<std::pair<double, int>> lilypond = playedByLilypond(sheet, "walk");
    ASSERT_FALSE(lilypond.empty());
    // What the play walk sounds, in the same terms.
    std::vector<std::pair<double, int>> walked = playedByWalk(t);
    std::sort(lilypond.begin(), lilypond.end());
    std::sort(walked.begin(), walked.end());
    EXPECT_EQ(lilypond, walked);
    EXPECT_EQ(walked.size(), 2u * 7 + 2 + 2) << "measure 1 twice, the chain struck twice, the chord";
}

} // namespace
} // namespace tonvela

namespace tonvela {
namespace {

// A lead sheet's pickup often ties into the downbeat, where the chord changes: the symbol on
// the held note is named there, as the staff shows it.
TEST_F(LilypondExportTest, AChordSymbolOnTheHeldNoteOfATieIsNamedAtThatNote)
{
    SheetDocument sheet;
    Track& t = *sheet.trackAt(0);
    Note a = note(1);
    a.setChordSymbol("C");
    append(t, a);
    append(t, note(2, kTypeHalf));
    append(t, note(3, kTypeQuarter, kFlagTie));
    Note held = note(3, kTypeHalf, kFlagTie);
    held.setChordSymbol("F7");
    append(t, held);
    append(t, note(3, kTypeHalf));
    const std::string text = lilypondText(sheet);
    EXPECT_NE(text.find("\\new ChordNames \\chordmode {\r\nc4\r\ns2\r\ns4\r\nf2:7\r\ns2\r\n}"),
              std::string::npos)
        << text;
}

TEST_F(LilypondExportTest, ChordSymbolsStandInChordNamesOverTheirStaff)
{
    SheetDocument sheet;
    Track& t = *sheet.trackAt(0);
    Note a = note(1);
    a.setChordSymbol("Bbm7b5/E");
    append(t, a);
    append(t, note(2));
    Note tied = note(3, kTypeQuarter, kFlagTie);
    tied.setChordSymbol("F#7#9");
    append(t, tied);
    append(t, note(3)); // held on: the chain names its chord once
    Note b = note(4, kTypeHalf);
    b.setChordSymbol("Ab6/9");
    append(t, b);
    Note c = note(5);
    c.setChordSymbol("Ebadd9");
    append(t, c);

    std::string text = lilypondText(sheet);
    EXPECT_NE(text.find("\\new ChordNames \\chordmode "
                        "{\r\nbes4:m7.5-/e\r\ns4\r\nfis4:7.9+\r\ns4\r\nas2:6.9\r\nes4:5.9\r\n}"
                        "\r\n\\new Staff"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("FretBoards"), std::string::npos) << "diagrams only where the sheet shows them";
    ASSERT_TRUE(exportLilypond(sheet, "names.ly", path("names.ly")));

    // Without the chord library (which knows the shapes) no diagrams, even when shown.
    sheet.chordDiagrams = true;
    EXPECT_EQ(lilypondText(sheet).find("FretBoards"), std::string::npos);

    expectEngravedCleanly({"names"});
    // LilyPond sets the names over the notes: its text layer holds the roots and the bass.
    ASSERT_EQ(std::system(("pdftotext '" + path("names.pdf") + "' '" + path("names.txt") + "'").c_str()), 0);
    std::ifstream in(path("names.txt"));
    const std::string words{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    for (const char* part : {"B", "/E", "F", "A", "E"})
        EXPECT_NE(words.find(part), std::string::npos) << part << " in " << words;
}

// The sheet's texts leave with it: LilyPond prints the title, subtitle, composer, lyricist
// and copyright where engravers put them; a sheet without texts writes no header.
TEST_F(LilypondExportTest, TheSheetsTitlesAreWrittenAsTheHeaderAndLilyPondPrintsThem)
{
    SheetDocument sheet;
    append(*sheet.trackAt(0), note(1));
    EXPECT_EQ(lilypondText(sheet).find("\\header"), std::string::npos);

    sheet.texts.title = "Ode \"to\" Joy";
    sheet.texts.subtitle = "Lead\nsheet";
    sheet.texts.composer = "Ludwig van Beethoven";
    sheet.texts.lyricist = "Friedrich Schiller";
    sheet.texts.copyright = "\xc2\xa9 2026 Tonvela";
    const std::string text = lilypondText(sheet);
    EXPECT_NE(text.find("\\header {\r\n  title = \"Ode \\\"to\\\" Joy\"\r\n  subtitle = \"Lead sheet\"\r\n"
                        "  composer = \"Ludwig van Beethoven\"\r\n  poet = \"Friedrich Schiller\"\r\n"
                        "  copyright = \"\xc2\xa9 2026 Tonvela\"\r\n}\r\n<<"),
              std::string::npos)
        << text;

    sheet.texts.subtitle.clear();
    sheet.texts.lyricist.clear();
    sheet.texts.copyright.clear();
    EXPECT_EQ(lilypondText(sheet).find("subtitle"), std::string::npos) << "only the set texts";
    ASSERT_TRUE(exportLilypond(sheet, "titled.ly", path("titled.ly")));
    expectEngravedCleanly({"titled"});
    ASSERT_EQ(std::system(("pdftotext '" + path("titled.pdf") + "' '" + path("titled.txt") + "'").c_str()),
              0);
    std::ifstream in(path("titled.txt"));
    const std::string words{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    for (const char* part : {"Ode \"to\" Joy", "Ludwig van Beethoven"})
        EXPECT_NE(words.find(part), std::string::npos) << part << " in " << words;
}

} // namespace
} // namespace tonvela

namespace tonvela {
namespace {

TEST_F(LilypondExportTest, TripletsAreWrittenAsTupletsOfThreeThatCloseAtTheirGroupOrMeasureEnd)
{
    // 2/4: three triplet eighths, a triplet quarter and a triplet eighth | a quarter, two
    // triplet eighths (a group cut short by the bar line), a triplet eighth rest | a quarter
    SheetDocument sheet;
    sheet.setTrackCount(1);
    Track& t = *sheet.trackAt(0);
    t.timeSig = kTimeSig24;
    for (int line : {0, -1, -2})
        append(t, note(line, kTypeEighth, kFlagTriplet));
    append(t, note(-3, kTypeQuarter, kFlagTriplet));
    append(t, note(-4, kTypeEighth, kFlagTriplet));
    append(t, note(0));
    append(t, note(-1, kTypeEighth, kFlagTriplet));
    append(t, note(-2, kTypeEighth, kFlagTriplet));
    append(t, note(0, kTypeEighth, kFlagTriplet | kFlagRest));
    append(t, note(-3));
    const std::vector<std::string> lines = staffLines(lilypondText(sheet), 0);
    std::vector<std::string> music;
    for (const std::string& l : lines)
        if (l.rfind("\\time", 0) != 0 && l.rfind("\\clef", 0) != 0 && l.rfind("\\key", 0) != 0)
            music.push_back(l);
    EXPECT_EQ(music, (std::vector<std::string>{"\\tuplet 3/2 { c'8", "d'8", "e'8 }", "\\tuplet 3/2 { f'4",
                                               "g'8 }", "c'4", "\\tuplet 3/2 { d'8", "e'8", "r8 }", "f'4"}));
}

TEST_F(LilypondExportTest, LilyPondEngravesTripletsCleanlyAndItsMidiPlaysThemWhereTheSheetDoes)
{
    // Triplets beside plain notes, with lyrics and chord symbols (which need their lengths
    // scaled where no \tuplet encloses them), in 4/4 and 6/8.
    // (LilyPond plays chord names too: the sheet compared with its MIDI has none.)
    const auto fill = [](Track& t, bool symbols) {
        for (int m = 0; m < 3; ++m) {
            for (int k = 0; k < 3; ++k) {
                Note n = note(-k - m, kTypeEighth, kFlagTriplet);
                n.setLyric("la");
                if (k == 0 && symbols)
                    n.setChordSymbol("C");
                append(t, n);
            }
            appendChord(t, {note(-m, kTypeQuarter, kFlagTriplet), note(-m - 2, kTypeQuarter, kFlagTriplet)});
            append(t, note(-4, kTypeEighth, kFlagTriplet));
            append(t, note(-5, kTypeQuarter, kFlagDot | kFlagTriplet));
            append(t, note(-6, kTypeSixteenth, kFlagTriplet));
            append(t, note(-6, kTypeSixteenth, kFlagTriplet));
            append(t, note(-6, kTypeSixteenth, kFlagTriplet | kFlagRest));
            append(t, note(-1, kTypeEighth));
        }
    };
    SheetDocument sheet;
    sheet.setTrackCount(2);
    fill(*sheet.trackAt(0), true);
    fill(*sheet.trackAt(1), true);
    sheet.trackAt(1)->timeSig = kTimeSig68;
    ASSERT_TRUE(exportLilypond(sheet, "triplets.ly", path("triplets.ly")));
    expectEngravedCleanly({"triplets"});

    SheetDocument one;
    one.setTrackCount(1);
    fill(*one.trackAt(0), false);
    std::vector<std::pair<double, int>> lilypond = playedByLilypond(one, "walk");
    std::vector<std::pair<double, int>> walked = playedByWalk(*one.trackAt(0));
    std::sort(lilypond.begin(), lilypond.end());
    std::sort(walked.begin(), walked.end());
    ASSERT_EQ(walked.size(), 3u * 10);
    EXPECT_EQ(lilypond, walked);
    // The last eighth of the third measure starts at beat 11.5 of 12: the triplets took their
    // two thirds.
    EXPECT_DOUBLE_EQ(walked.back().first, 11.5);
}

} // namespace
} // namespace tonvela

namespace tonvela {
namespace {

TEST_F(LilypondExportTest, APickupIsWrittenAsAPartialMeasureAndEngravedWithoutWarnings)
{
    // 6/8 with a pickup of one eighth; 12/8 with a dotted-quarter pickup; 2/2 and 3/2 plain.
    SheetDocument sheet;
    sheet.setTrackCount(1);
    sheet.setTimeSignatureCode(kTimeSig68);
    sheet.setPickup(kQuarterTicks / 2);
    Track& t = *sheet.trackAt(0);
    append(t, note(0, kTypeEighth));
    for (int i = 0; i < 6; ++i)
        append(t, note(-i, kTypeEighth));
    append(t, note(0, kTypeQuarter, kFlagDot));
    append(t, note(-1, kTypeQuarter));
    append(t, note(-2, kTypeEighth));
    const std::vector<std::string> lines = staffLines(lilypondText(sheet), 0);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "\\time 6/8");
    EXPECT_TRUE(has(lines, "\\partial 1*1/8")) << lilypondText(sheet);
    ASSERT_TRUE(exportLilypond(sheet, "pickup.ly", path("pickup.ly")));

    SheetDocument others;
    others.setTrackCount(3);
    others.trackAt(0)->timeSig = kTimeSig128;
    others.trackAt(0)->pickupTicks = 3 * kQuarterTicks / 2;
    others.trackAt(1)->timeSig = kTimeSig22;
    others.trackAt(2)->timeSig = kTimeSig32;
    for (int ti = 0; ti < 3; ++ti)
        for (int i = 0; i < 15; ++i)
            append(*others.trackAt(ti), note(-i % 7, kTypeEighth));
    const std::string text = lilypondText(others);
    for (const char* part : {"\\time 12/8", "\\partial 1*3/8", "\\time 2/2", "\\time 3/2"})
        EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
    ASSERT_TRUE(exportLilypond(others, "meters.ly", path("meters.ly")));
    expectEngravedCleanly({"pickup", "meters"});

    // LilyPond's MIDI of the pickup sheet plays the notes where the sheet does.
    std::vector<std::pair<double, int>> lilypond = playedByLilypond(sheet, "walk");
    std::vector<std::pair<double, int>> walked = playedByWalk(t);
    std::sort(lilypond.begin(), lilypond.end());
    std::sort(walked.begin(), walked.end());
    EXPECT_EQ(lilypond, walked);
}

// A tablature in another tuning tells LilyPond its strings, raised by the capo, so LilyPond's
// frets count from the capo as the sheet's do; every note names a string the sheet plays it on.
TEST_F(LilypondExportTest, ATablatureInAnotherTuningWritesItsStringsWithTheCapo)
{
    SheetDocument sheet;
    sheet.setTrackCount(2);
    for (int k = 0; k < 2; ++k) {
        Track& t = *sheet.trackAt(k);
        setStaffKind(t, StaffKind::Tablature);
        for (int line : {10, 7, 4, 1, 0, -2, -3, -5})
            append(t, note(line, kTypeQuarter));
    }
    sheet.trackAt(0)->tuning = {kNamedTunings[1].strings, 0}; // Drop D
    sheet.trackAt(1)->tuning = {kNamedTunings[3].strings, 3}; // Open G, capo 3
    const std::string text = lilypondText(sheet);
    EXPECT_NE(text.find("\\set TabStaff.stringTunings = \\stringTuning <d, a, d g b e'>"), std::string::npos)
        << text;
    EXPECT_NE(text.find("\\set TabStaff.stringTunings = \\stringTuning <f, ais, f ais d' f'>"),
              std::string::npos)
        << text;
    // A standard track writes no tuning at all.
    SheetDocument plain;
    setStaffKind(*plain.trackAt(0), StaffKind::Tablature);
    append(*plain.trackAt(0), note(0, kTypeQuarter));
    EXPECT_EQ(lilypondText(plain).find("stringTunings"), std::string::npos);

    ASSERT_TRUE(exportLilypond(sheet, "tunings.ly", path("tunings.ly")));
    expectEngravedCleanly({"tunings"});
}

} // namespace
} // namespace tonvela

namespace tonvela {
namespace {

// A note of the staff's second voice.
Note inVoice2(Note n)
{
    n.voice = kVoice2;
    return n;
}

// 4/4, one staff with two voices, the notes in the track's order (voice 1 first where both start
// together):
//   1: voice 1 e'2 g'2, voice 2 c4 d4 e4 f4 (the first with the chord symbol Am)
//   2: voice 1 d''1, voice 2 silent
//   3: voice 1 e''1, voice 2 three triplet quarters c d e, then g2 tied over the bar line
//   4: voice 1 f''1, voice 2 the held g2, then a2
void fillTwoVoices(Track& t, bool symbols = true)
{
    const auto note = [](int line, int type = kTypeQuarter, int flags = 0) {
        Note n;
        n.setStaffPosition(line);
        n.type = type;
        n.dwFlag = flags;
        return n;
    };
    const auto add = [&t](const Note& n) { t.insertNote(n, t.count); };
    Note e = note(-2, kTypeHalf);
    Note c = inVoice2(note(7));
    if (symbols) {
        e.setChordSymbol("C");
        c.setChordSymbol("Am");
    }
    add(e);
    add(c);
    add(inVoice2(note(6)));
    add(note(-4, kTypeHalf));
    add(inVoice2(note(5)));
    add(inVoice2(note(4)));
    add(note(-8, kTypeWhole));
    add(note(-9, kTypeWhole));
    for (int line : {7, 6, 5})
        add(inVoice2(note(line, kTypeQuarter, kFlagTriplet)));
    add(inVoice2(note(3, kTypeHalf, kFlagTie)));
    add(note(-10, kTypeWhole));
    add(inVoice2(note(3, kTypeHalf, kFlagTie)));
    add(inVoice2(note(2, kTypeHalf)));
}

TEST_F(LilypondExportTest, AStaffWithTwoVoicesWritesEachInItsOwnRhythmWithSpacersWhereVoice2IsSilent)
{
    SheetDocument sheet;
    sheet.setTrackCount(1);
    fillTwoVoices(*sheet.trackAt(0));
    const std::string text = lilypondText(sheet);
    const std::vector<std::string> lines = staffLines(text, 0);
    EXPECT_EQ(lines, (std::vector<std::string>{"\\time 4/4",
                                               "\\clef \"treble_8\"",
                                               "\\key c \\major",
                                               "<< {",
                                               "e'2",
                                               "g'2",
                                               "d''1",
                                               "e''1",
                                               "f''1",
                                               "} \\\\ {",
                                               "c4",
                                               "d4",
                                               "e4",
                                               "f4",
                                               "s1",
                                               "\\tuplet 3/2 { c4",
                                               "d4",
                                               "e4 }",
                                               "g2~",
                                               "g2",
                                               "a2",
                                               "} >>"}))
        << text;
    // Each voice names its own chords over the staff, voice 2's with skips where it is silent.
    const std::size_t first = text.find("\\new ChordNames \\chordmode {\r\nc2\r\ns2\r\ns1\r\n");
    EXPECT_NE(first, std::string::npos) << text;
    EXPECT_NE(
        text.find("\\new ChordNames \\chordmode {\r\na4:m\r\ns4\r\ns4\r\ns4\r\ns1\r\ns4*2/3\r\n", first + 1),
        std::string::npos)
        << text;
}

TEST_F(LilypondExportTest, LilyPondEngravesTwoVoicesWithoutWarningsAndItsMidiPlaysBothWhereTheSheetDoes)
{
    // The two-voice staff on every staff kind, and with its silent measure marked to repeat.
    SheetDocument sheet;
    sheet.setTrackCount(4);
    for (int i = 0; i < 4; ++i)
        fillTwoVoices(*sheet.trackAt(i));
    setTrackType(*sheet.trackAt(1), 3); // tablature
    setTrackType(*sheet.trackAt(2), 2); // percussion
    sheet.trackAt(3)->measureRepeats.set(2, true);
    const std::string text = lilypondText(sheet);
    EXPECT_NE(text.find("\\new TabStaff"), std::string::npos);
    EXPECT_NE(text.find("\\new DrumStaff"), std::string::npos);
    EXPECT_NE(text.find("\\repeat volta 2 {\r\nd''1\r\n}"), std::string::npos) << text;
    EXPECT_NE(text.find("\\repeat volta 2 {\r\ns1\r\n}"), std::string::npos) << text;
    ASSERT_TRUE(exportLilypond(sheet, "voices.ly", path("voices.ly")));
    expectEngravedCleanly({"voices"});

    // LilyPond's own MIDI of the staff (the repeat unfolded) plays both voices where playback does.
    // (LilyPond plays chord names too: the sheet compared with its MIDI has none.)
    SheetDocument one;
    one.setTrackCount(1);
    fillTwoVoices(*one.trackAt(0), false);
    one.trackAt(0)->measureRepeats.set(2, true);
    std::vector<std::pair<double, int>> lilypond = playedByLilypond(one, "walk");
    std::vector<std::pair<double, int>> walked = playedByWalk(*one.trackAt(0));
    std::sort(lilypond.begin(), lilypond.end());
    std::sort(walked.begin(), walked.end());
    EXPECT_EQ(lilypond, walked);
    // Voice 1 five notes and the repeated one, voice 2 four, three triplets, the tied g once, a.
    ASSERT_EQ(walked.size(), 6u + 4 + 3 + 1 + 1);
    // The tied g starts on beat 14 (the repeat adds a measure), a two beats after the next bar.
    EXPECT_NE(std::find(walked.begin(), walked.end(), std::pair<double, int>(14.0, 55)), walked.end());
    EXPECT_NE(std::find(walked.begin(), walked.end(), std::pair<double, int>(18.0, 57)), walked.end());
}

// A track of `measures` measures of 4/4, each a half note, a quarter rest (or a tie into the next
// measure for every third measure) and a quarter of its own pitch, so a measure played twice or
// skipped shows in the MIDI.
void fillMeasures(Track& t, int measures)
{
    for (int m = 0; m < measures; ++m) {
        Note n;
        n.setStaffPosition(-(m % 7));
        n.type = kTypeHalf;
        t.insertNote(n, t.count);
        Note q = n;
        q.type = kTypeQuarter;
        q.dwFlag = m % 3 == 2 ? 0 : kFlagRest;
        t.insertNote(q, t.count);
        Note last;
        last.setStaffPosition(-(m % 5) - 1);
        last.type = kTypeQuarter;
        last.dwFlag = m % 3 == 1 ? kFlagTie : 0;
        t.insertNote(last, t.count);
    }
}

// The lines of a text without their CR LF ends.
std::vector<std::string> textLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) {
        if (!l.empty() && l.back() == '\r')
            l.pop_back();
        lines.push_back(l);
    }
    return lines;
}

TEST_F(LilypondExportTest, RepeatedPassagesAreVoltaRepeatsWithTheirEndingsAsAlternatives)
{
    // 8 measures: 2-4 with a first ending (4) and a second ending (5), 7-8 plain; a second
    // staff of two voices and four measures, where the second ending stays empty (the staff
    // ends at B) and the second passage is not written (it lies past the staff's end).
    SheetDocument sheet;
    sheet.setTrackCount(2);
    fillMeasures(*sheet.trackAt(0), 8);
    fillTwoVoices(*sheet.trackAt(1), false);
    sheet.setRepeatRanges({{2, 4, 1, 1}, {7, 8, 0, 0}});
    const std::string text = lilypondText(sheet);
    const std::vector<std::string> lines = textLines(text);
    // Per lane: the passage opens once, its alternative once, the second ending once.
    const auto count = [&](const std::string& l) { return std::count(lines.begin(), lines.end(), l); };
    const int lanes = 3;
    EXPECT_EQ(count("\\repeat volta 2 {"), lanes + 1) << text;
    EXPECT_EQ(count("} \\alternative { {"), lanes) << text;
    EXPECT_EQ(count("} {"), lanes) << text;
    EXPECT_EQ(count("} }"), lanes) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '{'), std::count(text.begin(), text.end(), '}'));
    // On the first staff: measure 1 before the passage, measures 2 and 3 in it, 4 in the first
    // ending, 5 in the second, 6 after it, 7 and 8 in the second passage.
    const std::vector<std::string> staff = staffLines(text, 0);
    std::vector<std::string> shape;
    for (const std::string& l : staff)
        if (l.rfind("\\repeat", 0) == 0 || l.rfind("}", 0) == 0)
            shape.push_back(l);
        else if (l.rfind("\\", 0) != 0 && l.find("2") != std::string::npos && l[0] != 'r')
            shape.push_back("half"); // each measure's first note
    EXPECT_EQ(shape, (std::vector<std::string>{"half", "\\repeat volta 2 {", "half", "half",
                                               "} \\alternative { {", "half", "} {", "half", "} }", "half",
                                               "\\repeat volta 2 {", "half", "half"}))
        << text;
    ASSERT_TRUE(exportLilypond(sheet, "passages.ly", path("passages.ly")));
    expectEngravedCleanly({"passages"});

    // LilyPond's MIDI, repeats unfolded, plays what the play walk plays.
    std::vector<std::pair<double, int>> lilypond = playedByLilypond(sheet, "passages-midi");
    std::vector<std::pair<double, int>> walked = playedByWalk(*sheet.trackAt(0));
    const auto second = playedByWalk(*sheet.trackAt(1));
    walked.insert(walked.end(), second.begin(), second.end());
    std::sort(lilypond.begin(), lilypond.end());
    std::sort(walked.begin(), walked.end());
    EXPECT_EQ(lilypond, walked);
    // Measures 1, 2 3 4, 2 3 5, 6, 7 8, 7 8: 12 measures of 4 beats, the last quarter on beat 4.
    ASSERT_FALSE(walked.empty());
    EXPECT_EQ(walked.back().first, 11 * 4 + 3);
}

TEST_F(LilypondExportTest, PassagesOfEveryShapeEngraveCleanlyAndLilyPondPlaysThemAsTheSheetDoes)
{
    struct Case {
        std::vector<RepeatRange> ranges;
        int measures;
        int pickup; // ticks; 0 for none
        std::vector<int> repeats;
    };
    const std::vector<Case> cases = {
        {{{1, 3, 2, 0}}, 5, 0, {}},               // a first ending only: the second pass goes on after it
        {{{2, 3, 0, 2}}, 6, 0, {}},               // a second ending only
        {{{1, 2, 1, 1}, {4, 6, 1, 2}}, 8, 0, {}}, // from the first measure, back to back
        {{{3, 5, 1, 1}}, 5, 0, {}},               // the second ending past the last measure
        {{{1, 3, 1, 1}}, 5, kQuarterTicks, {}},   // from a pickup
        {{{2, 3, 0, 0}}, 4, 0, {1}},              // a marked measure before it
        {{{4, 9, 0, 0}}, 5, 0, {}},               // B past the last measure: no repeat
    };
    int n = 0;
    std::vector<std::string> names;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        SheetDocument sheet;
        sheet.setTrackCount(1);
        fillMeasures(*sheet.trackAt(0), c.measures);
        sheet.setPickup(c.pickup);
        if (c.pickup > 0)
            sheet.trackAt(0)->noteAt(0).type = kTypeQuarter; // the pickup measure: a quarter
        sheet.trackAt(0)->measureRepeats.assign(c.repeats);
        sheet.setRepeatRanges(c.ranges);
        ASSERT_EQ(sheet.repeatRanges, c.ranges);
        const std::string name = "shape" + std::to_string(n++);
        ASSERT_TRUE(exportLilypond(sheet, name + ".ly", path(name + ".ly")));
        names.push_back(name);
        std::vector<std::pair<double, int>> lilypond = playedByLilypond(sheet, name + "-midi");
        std::vector<std::pair<double, int>> walked = playedByWalk(*sheet.trackAt(0));
        std::sort(lilypond.begin(), lilypond.end());
        std::sort(walked.begin(), walked.end());
        EXPECT_EQ(lilypond, walked) << lilypondText(sheet);
    }
    expectEngravedCleanly(names);
}

TEST_F(LilypondExportTest, AVoice2ThatOverfillsItsMeasureKeepsTheLaterMeasuresInStep)
{
    // GIVEN a staff whose voice 2 holds more than its measures (a hand-edited file, or a voice 2
    // note made longer): measure 1 voice 2 a half and a whole (one half too many), measure 2
    // voice 2 a quarter and two halves (the last sounds into measure 3), measure 3 voice 2 a
    // whole and a quarter that starts where measure 4 starts, measure 4 voice 2 a whole
    SheetDocument sheet;
    sheet.setTrackCount(1);
    Track& t = *sheet.trackAt(0);
    const auto note = [](int line, int type, bool second) {
        Note n;
        n.setStaffPosition(line);
        n.type = type;
        return second ? inVoice2(n) : n;
    };
    const auto add = [&t](const Note& n) { t.insertNote(n, t.count); };
    add(note(-4, kTypeWhole, false));
    add(note(3, kTypeHalf, true));
    add(note(4, kTypeWhole, true));
    add(note(-5, kTypeWhole, false));
    add(note(3, kTypeQuarter, true));
    add(note(4, kTypeHalf, true));
    add(note(5, kTypeHalf, true));
    add(note(-6, kTypeWhole, false));
    add(note(2, kTypeWhole, true));
    add(note(1, kTypeQuarter, true));
    add(note(-7, kTypeWhole, false));
    add(note(3, kTypeWhole, true));
    // THEN LilyPond engraves it without a warning (its voices stay in step with the bar lines)
    ASSERT_TRUE(exportLilypond(sheet, "overfill.ly", path("overfill.ly")));
    expectEngravedCleanly({"overfill"});
    // AND every note playback strikes is struck by LilyPond's MIDI at the same time
    std::vector<std::pair<double, int>> lilypond = playedByLilypond(sheet, "overfill-midi");
    std::vector<std::pair<double, int>> walked = playedByWalk(t);
    std::sort(lilypond.begin(), lilypond.end());
    std::sort(walked.begin(), walked.end());
    EXPECT_EQ(lilypond, walked);
}

// LilyPond engraves each drum where the sheet draws it: its SVG places every head (found by the
// source line and column that point-and-click links it to) at the table's height, half a staff
// space per step, and writes the cross heads with one shape and the plain heads with another.
TEST_F(LilypondExportTest, LilypondEngravesEveryDrumAtTheSheetsPlaceWithItsHead)
{
    SheetDocument sheet;
    Track& t = *sheet.trackAt(0);
    setTrackType(t, 2); // percussion
    const auto drum = [](int key, int type = kTypeQuarter) {
        Note n;
        n.midi = static_cast<int8_t>(key);
        n.type = type;
        return n;
    };
    appendChord(t, {drum(49, kTypeEighth), drum(36, kTypeEighth)});
    append(t, drum(42, kTypeEighth));
    appendChord(t, {drum(42, kTypeEighth), drum(38, kTypeEighth)});
    append(t, drum(42, kTypeEighth));
    for (int key : {50, 47, 43, 41, 51, 44, 35, 46})
        append(t, drum(key));
    const std::string text = lilypondText(sheet);
    {
        std::ofstream out(path("drums.ly"), std::ios::binary);
        out << text;
    }
    const std::string cmd =
        "cd '" + dir.string() + "' && lilypond -dbackend=svg drums.ly > lilypond.log 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << "lilypond is needed (scripts/setup.sh installs it)";
    std::ifstream in(path("drums.svg"));
    const std::string svg{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::string> lines;
    std::istringstream split(text);
    for (std::string line; std::getline(split, line);)
        lines.push_back(line);
    struct Head {
        const DrumNotation* drum;
        double y;
        std::string shape;
    };
    std::vector<Head> heads;
    const std::string link = "drums.ly:";
    for (std::size_t at = svg.find(link); at != std::string::npos; at = svg.find(link, at + 1)) {
        int line = 0, column = 0;
        if (std::sscanf(svg.c_str() + at + link.size(), "%d:%d", &line, &column) != 2 || line < 1 ||
            line > static_cast<int>(lines.size()))
            continue;
        const std::string& source = lines[static_cast<std::size_t>(line - 1)];
        const std::size_t end = source.find_first_not_of("abcdefghijklmnopqrstuvwxyz", column);
        const std::string name = source.substr(column, end - column);
        const auto d = std::find_if(kDrumNotation.begin(), kDrumNotation.end(),
                                    [&](const DrumNotation& e) { return e.lilypondName == name; });
        if (d == kDrumNotation.end())
            continue; // a rest
        double x = 0, y = 0;
        const std::size_t g = svg.find("translate(", at);
        const std::size_t shape = svg.find(" d=\"", at);
        ASSERT_NE(g, std::string::npos);
        ASSERT_NE(shape, std::string::npos);
        ASSERT_EQ(std::sscanf(svg.c_str() + g, "translate(%lf, %lf)", &x, &y), 2);
        heads.push_back({&*d, y, svg.substr(shape, svg.find('"', shape + 4) - shape)});
    }
    ASSERT_EQ(heads.size(), 14u) << svg.substr(0, 2000);
    const Head& snare =
        *std::find_if(heads.begin(), heads.end(), [](const Head& h) { return h.drum->key == 38; });
    std::string cross, plain;
    for (const Head& h : heads) {
        EXPECT_NEAR(h.y - snare.y, 0.5 * (h.drum->step - snare.drum->step), 0.01) << h.drum->lilypondName;
        std::string& same = h.drum->head == DrumHead::Cross ? cross : plain;
        if (same.empty())
            same = h.shape;
        EXPECT_EQ(h.shape, same) << h.drum->lilypondName;
    }
    EXPECT_NE(cross, plain);
}

// What a sheet of one voice exports to did not change when staves of two voices came: the
// examples give what the export wrote before, byte for byte.
TEST_F(LilypondExportTest, SheetsOfOneVoiceExportAsBefore)
{
    for (const char* name : {"ode_to_joy", "engraving_triplets", "staff_kinds", "beams_and_ties",
                             "sing_a_long_song", "engraving_six_eight_pickup"}) {
        SheetDocument sheet;
        ASSERT_TRUE(
            loadSheet(sheet, name, std::string(TONVELA_SOURCE_DIR) + "/examples/" + name + ".shd").ok())
            << name;
        for (int i = 0; i < sheet.trackCount(); ++i)
            ASSERT_FALSE(hasSecondVoice(*sheet.trackAt(i))) << name;
        std::ifstream in(std::string(TONVELA_TEST_DATA) + "/one_voice_exports/" + name + ".ly",
                         std::ios::binary);
        ASSERT_TRUE(in) << name;
        const std::string before{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        EXPECT_EQ(lilypondText(sheet), before) << name;
    }
}

} // namespace
} // namespace tonvela
