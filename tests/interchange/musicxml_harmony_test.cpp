// Chord symbols through MusicXML: <harmony> written before its note (checked against the
// schema and MuseScore's reading), read back, and read from a file another program wrote.

#include "interchange_test_support.h"

#include "interchange/musicxml_export.h"
#include "interchange/musicxml_import.h"
#include "theory/chord_formula.h"
#include "theory/chord_symbol.h"

#include <fstream>

namespace tonvela {
namespace {

using testing::append;
using testing::Exported;
using testing::exportSheet;
using testing::makeNote;

const std::string kSchema = std::string(TONVELA_TEST_DATA) + "/musicxml/schema/musicxml.xsd";

// One quarter per quality on roots and basses that cycle, so every row is written once.
void fillEveryQuality(SheetDocument& sheet, bool diagrams)
{
    sheet.chordDiagrams = diagrams;
    Track& t = *sheet.trackAt(0);
    const char* roots[] = {"C", "F#", "Bb", "E", "Ab", "G"};
    for (int q = 0; q < kChordQualityCount; ++q) {
        Note n = makeNote(1);
        ChordSymbol s{parseChordSymbol(roots[q % 6])->root, q, std::nullopt};
        if (q % 5 == 2)
            s.bass = SpelledPitch{'E', -1};
        n.setChordSymbol(chordSymbolText(s));
        append(t, n);
    }
}

std::vector<std::string> symbolsOf(const Track& t)
{
    std::vector<std::string> out;
    for (int i = 0; i < t.count; ++i)
        if (t.noteAt(i).chordSymbol())
            out.push_back(*t.noteAt(i).chordSymbol());
    return out;
}

TEST(MusicXmlHarmony, EveryQualityIsWrittenBeforeItsNoteAndReadBackAsItWas)
{
    SheetDocument sheet;
    fillEveryQuality(sheet, false);
    Exported x;
    exportSheet(sheet, x);
    // Each <harmony> stands right before the note it names, with root, kind and bass.
    std::vector<std::string> kinds;
    for (pugi::xml_node m : x.part(0).children("measure"))
        for (pugi::xml_node h : m.children("harmony")) {
            EXPECT_STREQ(h.next_sibling().name(), "note");
            EXPECT_FALSE(h.next_sibling().child("rest"));
            kinds.push_back(h.child_value("kind"));
            EXPECT_FALSE(h.child("frame")) << "no diagrams unless the sheet shows them";
        }
    ASSERT_EQ(kinds.size(), static_cast<std::size_t>(kChordQualityCount));
    EXPECT_EQ(kinds[0], "major");
    EXPECT_EQ(kinds[17], "half-diminished");
    EXPECT_EQ(kinds[19], "diminished-seventh");
    pugi::xml_node first = x.measure(0, 1).child("harmony");
    EXPECT_STREQ(first.child("root").child_value("root-step"), "C");
    EXPECT_STREQ(first.child("kind").attribute("text").value(), "");
    pugi::xml_node third = first.next_sibling("harmony").next_sibling("harmony");
    EXPECT_STREQ(third.child("root").child_value("root-alter"), "-1");
    EXPECT_STREQ(third.child("bass").child_value("bass-step"), "E");
    EXPECT_STREQ(third.child("bass").child_value("bass-alter"), "-1");

    SheetDocument back;
    ASSERT_TRUE(importMusicXmlData(x.text, back).ok());
    EXPECT_EQ(symbolsOf(*back.trackAt(0)), symbolsOf(*sheet.trackAt(0)));
}

TEST(MusicXmlHarmony, ATiedNoteNamesItsChordOnceAndDiagramsBecomeFrames)
{
    SheetDocument sheet;
    sheet.chordDiagrams = true;
    Track& t = *sheet.trackAt(0);
    Note held = makeNote(1, kTypeHalf, kFlagTie);
    held.setChordSymbol("C");
    append(t, held);
    append(t, makeNote(1, kTypeHalf)); // held on by the tie: the chord is named once
    Note m = makeNote(2);
    m.setChordSymbol("Cmaj7"); // no shape in the library: the name alone
    append(t, m);
    Exported x;
    exportSheet(sheet, x);
    std::vector<pugi::xml_node> harmonies;
    for (pugi::xml_node measure : x.part(0).children("measure"))
        for (pugi::xml_node h : measure.children("harmony"))
            harmonies.push_back(h);
    ASSERT_EQ(harmonies.size(), 2u);
    pugi::xml_node frame = harmonies[0].child("frame");
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame.child("frame-strings").text().as_int(), 6);
    EXPECT_FALSE(frame.child("first-fret"));
    // The library's C: string 5 fret 3 (finger 3), 4 fret 2, 3 open, 2 fret 1, 1 open; 6 muted.
    std::map<int, int> frets;
    for (pugi::xml_node n : frame.children("frame-note"))
        frets[n.child("string").text().as_int()] = n.child("fret").text().as_int();
    EXPECT_EQ(frets, (std::map<int, int>{{1, 0}, {2, 1}, {3, 0}, {4, 2}, {5, 3}}));
    EXPECT_FALSE(harmonies[1].child("frame"));

    testing::TempDir tmp;
    const std::string file = tmp.path("lead.musicxml");
    std::ofstream(file, std::ios::binary) << x.text;
    std::string log;
    EXPECT_EQ(testing::runCommand("xmllint --noout --nonet --schema '" + kSchema + "' '" + file + "'", log),
              0)
        << log;
    // The every-quality sheet is valid too.
    SheetDocument all;
    fillEveryQuality(all, true);
    Exported y;
    exportSheet(all, y);
    const std::string file2 = tmp.path("all.musicxml");
    std::ofstream(file2, std::ios::binary) << y.text;
    EXPECT_EQ(testing::runCommand("xmllint --noout --nonet --schema '" + kSchema + "' '" + file2 + "'", log),
              0)
        << log;
}

// The chord on the held note of a tie (a pickup tied into the downbeat where the chord
// changes) is written before that note: the export dropped it, keeping only a chain's first.
TEST(MusicXmlHarmony, AChordOnTheHeldNoteOfATieIsWrittenBeforeThatNote)
{
    SheetDocument sheet;
    Track& t = *sheet.trackAt(0);
    Note first = makeNote(1, kTypeHalf);
    first.setChordSymbol("C");
    append(t, first);
    append(t, makeNote(1, kTypeQuarter));
    append(t, makeNote(2, kTypeQuarter, kFlagTie));
    Note held = makeNote(2, kTypeHalf, kFlagTie);
    held.setChordSymbol("F7");
    append(t, held);
    append(t, makeNote(2, kTypeHalf));
    Exported x;
    exportSheet(sheet, x);
    std::vector<std::string> kinds;
    for (pugi::xml_node measure : x.part(0).children("measure"))
        for (pugi::xml_node c : measure.children()) {
            if (std::string(c.name()) == "harmony")
                kinds.push_back(std::string(measure.attribute("number").as_string()) + ":" +
                                c.child("root").child_value("root-step") + c.child_value("kind"));
            else if (std::string(c.name()) == "note" && !kinds.empty() && kinds.back().back() != '|')
                kinds.back() += std::string(" before ") + (c.child("tie") ? "tied" : "plain") + "|";
        }
    // The F7 stands in measure 2, before the held note, which the tie holds on from measure 1.
    EXPECT_EQ(kinds, (std::vector<std::string>{"1:Cmajor before plain|", "2:Fdominant before tied|"}));
}

TEST(MusicXmlHarmony, SymbolsOfAFileFromAnotherProgramLandOnTheNotesTheyStandOver)
{
    std::unique_ptr<SheetDocument> sheet;
    const LoadResult r =
        importMusicXmlFile(std::string(TONVELA_TEST_DATA) + "/musicxml/Unclaimed_Gift.musicxml", sheet);
    ASSERT_TRUE(r.ok()) << r.error;
    const std::vector<std::string> got = symbolsOf(*sheet->trackAt(0));
    // The file's first measures: F half-diminished, then B flat 7 (flat 9, which the sheet has
    // no quality for: the nearest, said in a warning), four quarters later; then E flat major 7.
    ASSERT_GE(got.size(), 3u);
    EXPECT_EQ(got[0], "Fm7b5");
    EXPECT_EQ(got[1], "Bb7");
    EXPECT_EQ(got[2], "Ebmaj7");
    EXPECT_GE(got.size(), 40u) << "most of the file's 56 symbols stand on a note";
    bool warned = false;
    for (const std::string& w : r.warnings)
        warned = warned || w.find("chord kinds the sheet does not have") != std::string::npos;
    EXPECT_TRUE(warned);
}

TEST(MusicXmlHarmony, ARootlessOrUnknownHarmonyNeverBreaksTheImport)
{
    const std::string text = R"(<?xml version="1.0"?>
<score-partwise version="3.0"><part-list><score-part id="P1"><part-name>A</part-name></score-part></part-list>
<part id="P1"><measure number="1"><attributes><divisions>1</divisions></attributes>
<harmony><kind>major</kind></harmony>
<harmony><root><root-step>Q</root-step></root><kind>major</kind></harmony>
<harmony><root><root-step>D</root-step></root><kind>none</kind></harmony>
<harmony><root><root-step>G</root-step></root><kind>weird-kind</kind><offset>99999999999</offset></harmony>
<harmony><root><root-step>F</root-step><root-alter>1e300</root-alter></root><kind>dominant</kind><degree><degree-value>9</degree-value><degree-alter>-1e300</degree-alter><degree-type>add</degree-type></degree><offset>99999999999</offset></harmony>
<note><pitch><step>C</step><octave>4</octave></pitch><duration>4</duration><type>whole</type></note>
</measure></part></score-partwise>)";
    SheetDocument sheet;
    const LoadResult r = importMusicXmlData(text, sheet);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_TRUE(symbolsOf(*sheet.trackAt(0)).empty());
    EXPECT_EQ(sheet.trackAt(0)->count > 0, true);
}

} // namespace
} // namespace tonvela

namespace tonvela {
namespace {

// MuseScore, reading the export, prints the chord names the sheet shows.
TEST(MusicXmlHarmony, MuseScorePrintsTheSymbolsOfTheExport)
{
    if (!testing::haveTool("mscore3") || !testing::haveTool("pdftotext"))
        GTEST_SKIP() << "mscore3 and pdftotext are needed (scripts/setup.sh installs them)";
    SheetDocument sheet;
    Track& t = *sheet.trackAt(0);
    for (const char* name : {"Am7", "D7", "Gmaj7", "Cmaj7", "F#m7b5", "B7", "Em", "E7/G#"}) {
        Note n = makeNote(1, kTypeHalf);
        n.setChordSymbol(name);
        append(t, n);
    }
    testing::TempDir tmp;
    const std::string xml = tmp.path("leads.musicxml");
    ASSERT_TRUE(exportMusicXml(sheet, "leads", xml).ok);
    const std::string home = tmp.path("home");
    const std::string pdf = tmp.path("leads.pdf");
    std::string log;
    const std::string cmd = "mkdir -p '" + home + "/run' && chmod 700 '" + home + "/run' && HOME='" + home +
                            "' XDG_CONFIG_HOME='" + home + "/config' XDG_DATA_HOME='" + home +
                            "/data' XDG_CACHE_HOME='" + home + "/cache' XDG_RUNTIME_DIR='" + home +
                            "/run' QT_QPA_PLATFORM=offscreen timeout 180 mscore3 -o '" + pdf + "' '" + xml +
                            "'";
    ASSERT_EQ(testing::runCommand(cmd, log), 0) << log;
    std::string words;
    ASSERT_EQ(testing::runCommand("pdftotext '" + pdf + "' -", words), 0);
    // MuseScore sets sharps and flats as the music signs.
    std::string squeezed;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (words.compare(i, 3, "\xe2\x99\xaf") == 0) {
            squeezed += '#';
            i += 2;
        } else if (words.compare(i, 3, "\xe2\x99\xad") == 0) {
            squeezed += 'b';
            i += 2;
        } else if (words[i] != ' ' && words[i] != '\n') {
            squeezed += words[i];
        }
    }
    for (const char* name : {"Am7", "D7", "Gmaj7", "Cmaj7", "F#m7b5", "B7", "Em", "E7/G#"})
        EXPECT_NE(squeezed.find(name), std::string::npos) << name << " in " << words;
}

} // namespace
} // namespace tonvela
