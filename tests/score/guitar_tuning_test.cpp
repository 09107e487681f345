// A tablature track's tuning and capo: how they are typed and named, how the sheet file keeps
// them, and the strings and frets they give the notes.

#include "score/guitar_tuning.h"
#include "score/note.h"
#include "score/note_pitch.h"
#include "score/sheet_document.h"
#include "score/sheet_file.h"
#include "score/staff_kind.h"
#include "score/track_type.h"

#include <gtest/gtest.h>

#include <string>

namespace tonvela {
namespace {

using Strings = std::array<int, kGuitarStrings>;

GuitarTuning tuningOf(const char* name, int capo = 0)
{
    for (const NamedTuning& t : kNamedTunings)
        if (std::string(t.name) == name)
            return {t.strings, capo};
    ADD_FAILURE() << name;
    return {};
}

TEST(GuitarTuningTest, NamedTuningsReadAsGuitaristsNameThemAndTypedOnesParseStrictly)
{
    // Lowest string first, with the octave of scientific pitch (middle C is C4).
    EXPECT_EQ(tuningNamesText(tuningOf("Standard").strings), "E2 A2 D3 G3 B3 E4");
    EXPECT_EQ(tuningNamesText(tuningOf("Drop D").strings), "D2 A2 D3 G3 B3 E4");
    EXPECT_EQ(tuningNamesText(tuningOf("DADGAD").strings), "D2 A2 D3 G3 A3 D4");
    EXPECT_EQ(tuningNamesText(tuningOf("Open G").strings), "D2 G2 D3 G3 B3 D4");
    EXPECT_EQ(tuningNamesText(tuningOf("Open D").strings), "D2 A2 D3 F#3 A3 D4");
    for (const NamedTuning& t : kNamedTunings) {
        EXPECT_EQ(parseTuningNames(tuningNamesText(t.strings)), t.strings) << t.name;
        EXPECT_EQ(namedTuningIndex(t.strings), &t - kNamedTunings) << t.name;
    }
    // A typed DADGBD (Drop D with the top string down too), with a flat and commas.
    const auto typed = parseTuningNames("d2, A2 D3 G3 B3 D4");
    ASSERT_TRUE(typed);
    EXPECT_EQ(*typed, (Strings{62, 59, 55, 50, 45, 38}));
    EXPECT_FALSE(namedTuningIndex(*typed));
    EXPECT_EQ(parseTuningNames("Eb2 Ab2 Db3 Gb3 Bb3 Eb4"), (Strings{63, 58, 54, 49, 44, 39}));

    for (const char* bad :
         {"", "E2 A2 D3 G3 B3", "E2 A2 D3 G3 B3 E4 E5", "H2 A2 D3 G3 B3 E4", "E A D G B E",
          "E2 A2 D3 G3 B3 E9", "E2 A2 D3 G3 B3 E44", "C#-1 A2 D3 G3 B3 E4", "E2x A2 D3 G3 B3 E4"})
        EXPECT_FALSE(parseTuningNames(bad)) << bad;
    EXPECT_EQ(parseTuningKeys("38,45,50,55,59,64"), (Strings{64, 59, 55, 50, 45, 38}));
    for (const char* bad : {"", "38,45,50,55,59", "38,45,50,55,59,64,70", "38,45,50,55,59,128",
                            "-1,45,50,55,59,64", "38,45,50,55,59,6x", "1000,45,50,55,59,64"})
        EXPECT_FALSE(parseTuningKeys(bad)) << bad;
}

TEST(GuitarTuningTest, TheConfigKeepsATuningAndCapoOnlyWhenTheyAreNotStandard)
{
    SheetDocument sheet;
    sheet.setTrackCount(3);
    for (int t = 0; t < 3; ++t)
        setStaffKind(*sheet.trackAt(t), StaffKind::Tablature);
    sheet.trackAt(1)->tuning = tuningOf("DADGAD", 2);
    sheet.trackAt(2)->tuning.capo = 5;
    const std::string text = sheetToText(sheet);
    EXPECT_NE(text.find("drawmode=1 percussive=0 >\r\n"), std::string::npos) << "standard writes nothing\n"
                                                                             << text;
    EXPECT_NE(text.find("drawmode=1 percussive=0 tuning=\"38,45,50,55,57,62\" capo=2 >\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("drawmode=1 percussive=0 capo=5 >\r\n"), std::string::npos) << text;

    SheetDocument loaded;
    ASSERT_TRUE(loadSheetFromText(loaded, text).ok());
    EXPECT_TRUE(loaded.trackAt(0)->tuning.isStandard());
    EXPECT_EQ(loaded.trackAt(1)->tuning, tuningOf("DADGAD", 2));
    EXPECT_EQ(loaded.trackAt(2)->tuning, tuningOf("Standard", 5));
    EXPECT_EQ(sheetToText(loaded), text);

    // Damaged values fall back: a tuning that is not six keys is standard, a capo stays on the neck.
    const auto configWith = [](const std::string& attributes) {
        return "<staffdoc\r\ntimesig=391549\r\n>\r\n<track>\r\n<config\r\nbpm=120 drawmode=1 " + attributes +
               " >\r\n</config>\r\n</track>\r\n</staffdoc>\r\n";
    };
    struct Case {
        std::string attributes;
        GuitarTuning tuning;
    };
    const Case cases[] = {
        {"tuning=\"38,45,50\"", {}},
        {"tuning=\"38,45,50,55,57,999\" capo=3", tuningOf("Standard", 3)},
        {"tuning=\"x\" capo=-4", {}},
        {"tuning=\"38,45,50,55,59,64\" capo=40", tuningOf("Drop D", kMaxCapoFret)},
        {"capo=abc", {}},
    };
    for (const Case& c : cases) {
        SheetDocument s;
        ASSERT_TRUE(loadSheetFromText(s, configWith(c.attributes)).ok()) << c.attributes;
        EXPECT_EQ(s.trackAt(0)->tuning, c.tuning) << c.attributes;
    }
}

TEST(GuitarTuningTest, FretsCountFromTheCapoOnTheTracksOwnStrings)
{
    auto at = [](int key, const GuitarTuning& tuning) {
        Note n;
        noteFromMidiKey(n, key);
        const GuitarPosition p = guitarPositionOfNote(n, tuning);
        EXPECT_EQ(openStringKey(p.stringIndex, tuning) + p.fret, key) << "key " << key;
        return std::pair{p.stringIndex, p.fret};
    };
    // Drop D: the low D is the open sixth string, which standard tuning does not reach.
    EXPECT_EQ(at(38, tuningOf("Drop D")), std::pair(5, 0));
    EXPECT_EQ(at(40, tuningOf("Drop D")), std::pair(5, 2));
    EXPECT_EQ(at(40, tuningOf("Standard")), std::pair(5, 0));
    // DADGAD: the open strings, and G#2, which lies in the gap of a fifth above the low D.
    EXPECT_EQ(at(62, tuningOf("DADGAD")), std::pair(0, 0));
    EXPECT_EQ(at(57, tuningOf("DADGAD")), std::pair(1, 0));
    EXPECT_EQ(at(44, tuningOf("DADGAD")), std::pair(5, 6));
    // Open G's third string is G; a capo at 2 makes the open first string E, and a key the
    // first frets cannot hold goes higher up the neck.
    EXPECT_EQ(at(55, tuningOf("Open G")), std::pair(2, 0));
    EXPECT_EQ(at(64, tuningOf("Open G", 2)), std::pair(0, 0));
    EXPECT_EQ(at(66, tuningOf("Standard", 2)), std::pair(0, 0));
    EXPECT_EQ(at(64, tuningOf("Standard", 2)), std::pair(1, 3));
    EXPECT_EQ(at(76, tuningOf("Standard")), std::pair(0, 12));

    // Below the lowest string the note keeps the fallback the sheet always showed.
    Note low;
    noteFromMidiKey(low, 37);
    const GuitarPosition none = guitarPositionOfNote(low, tuningOf("Drop D"));
    EXPECT_EQ(none.stringIndex, 5);
    EXPECT_EQ(none.fret, 5);

    // Where an export writes a note: on the tuning's strings, whatever the sheet shows.
    Note n;
    noteFromMidiKey(n, 43);
    const GuitarPosition g = tabPositionForKey(n, 43, tuningOf("Open G"));
    EXPECT_EQ(g.stringIndex, 4);
    EXPECT_EQ(g.fret, 0);
}

} // namespace
} // namespace tonvela
