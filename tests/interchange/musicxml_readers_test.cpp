// Exported files against readers that are not ours: the MusicXML schema through xmllint, and
// MuseScore 3, whose MIDI rendering of the export must play the notes of the sheet's own MIDI
// file (both read back with midicsv).

#include "interchange_test_support.h"

#include "interchange/musicxml_import.h"
#include "interchange/mxl_container_write.h"
#include "platform/atomic_file.h"
#include "playback/midi_file_writer.h"
#include "score/drum_notation.h"
#include "score/duration.h"
#include "score/note_pitch.h"
#include "score/play_walk.h"
#include "score/sheet_file.h"
#include "score/sounding_pitch.h"
#include "score/staff_kind.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

namespace tonvela {
namespace {

using testing::append;
using testing::appendChord;
using testing::makeNote;
using testing::runCommand;
using testing::TempDir;

const std::string kSchema = std::string(TONVELA_TEST_DATA) + "/musicxml/schema/musicxml.xsd";

// One sounding note as a MIDI file plays it: key, onset and length in seconds.
struct Played {
    int key = 0;
    double onset = 0;
    double length = 0;
};

// The notes of a MIDI file as midicsv reads it, tempo changes followed.
std::vector<Played> playedNotes(const std::string& midiPath, std::string& problem)
{
    std::string csv;
    if (runCommand("midicsv '" + midiPath + "'", csv) != 0) {
        problem = "midicsv failed: " + csv;
        return {};
    }
    struct Event {
        int track, tick, channel, key;
        bool on;
    };
    int division = 96;
    std::vector<std::pair<int, int>> tempos{{0, 500000}};
    std::vector<Event> events;
    std::istringstream in(csv);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> f;
        std::istringstream ls(line);
        for (std::string w; std::getline(ls, w, ',');)
            f.push_back(w.substr(w.find_first_not_of(' ')));
        if (f.size() < 3)
            continue;
        if (f[2] == "Header" && f.size() >= 6)
            division = std::stoi(f[5]);
        else if (f[2] == "Tempo" && f.size() >= 4)
            tempos.emplace_back(std::stoi(f[1]), std::stoi(f[3]));
        else if ((f[2] == "Note_on_c" || f[2] == "Note_off_c") && f.size() >= 6)
            events.push_back({std::stoi(f[0]), std::stoi(f[1]), std::stoi(f[3]), std::stoi(f[4]),
                              f[2] == "Note_on_c" && std::stoi(f[5]) > 0});
    }
    std::stable_sort(tempos.begin(), tempos.end());
    const auto seconds = [&](int tick) {
        double s = 0;
        int last = 0;
        int us = 500000;
        for (const auto& [t, u] : tempos) {
            if (t > tick)
                break;
            s += static_cast<double>(t - last) * us / division;
            last = t;
            us = u;
        }
        return (s + static_cast<double>(tick - last) * us / division) / 1e6;
    };
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
        return a.tick != b.tick ? a.tick < b.tick : (!a.on && b.on);
    });
    std::map<std::tuple<int, int, int>, int> sounding;
    std::vector<Played> out;
    for (const Event& e : events) {
        const auto k = std::make_tuple(e.track, e.channel, e.key);
        if (e.on) {
            sounding[k] = e.tick;
        } else if (auto it = sounding.find(k); it != sounding.end()) {
            out.push_back({e.key, seconds(it->second), seconds(e.tick) - seconds(it->second)});
            sounding.erase(it);
        }
    }
    std::sort(out.begin(), out.end(), [](const Played& a, const Played& b) {
        return a.onset != b.onset ? a.onset < b.onset : a.key < b.key;
    });
    return out;
}

// Both lists hold the same notes: the same keys at the same onsets for the same lengths, within
// a tolerance for the two files' tick grids and MuseScore's habit of ending a note a tick early.
void expectSameNotes(const std::vector<Played>& ours, const std::vector<Played>& theirs,
                     const std::string& what)
{
    constexpr double kTolerance = 0.012;
    std::vector<bool> used(theirs.size(), false);
    int missing = 0;
    std::ostringstream report;
    for (const Played& p : ours) {
        bool found = false;
        for (std::size_t k = 0; k < theirs.size() && !found; ++k) {
            const Played& q = theirs[k];
            if (!used[k] && q.key == p.key && std::abs(q.onset - p.onset) < kTolerance &&
                std::abs(q.length - p.length) < kTolerance) {
                used[k] = true;
                found = true;
            }
        }
        if (!found && ++missing <= 8)
            report << "  not in the other reading: key " << p.key << " at " << p.onset << " s for "
                   << p.length << " s\n";
    }
    for (std::size_t k = 0; k < theirs.size(); ++k)
        if (!used[k] && ++missing <= 16)
            report << "  only in the other reading: key " << theirs[k].key << " at " << theirs[k].onset
                   << " s for " << theirs[k].length << " s\n";
    EXPECT_EQ(missing, 0) << what << ": " << ours.size() << " notes in the sheet's MIDI file, "
                          << theirs.size() << " in the other reading\n"
                          << report.str();
    EXPECT_FALSE(ours.empty()) << what;
}

// Skips the rest of a test when MuseScore or midicsv is not there.
#define REQUIRE_MUSESCORE()                                                                                  \
    do {                                                                                                     \
        std::string why;                                                                                     \
        if (museScoreMissing(why))                                                                           \
            GTEST_SKIP() << why;                                                                             \
    } while (0)

class MusicXmlReadersTest : public ::testing::Test {
  protected:
    // MuseScore 3 converts the file to MIDI headless, with its settings kept in the test folder.
    bool museScoreMidi(const std::string& in, const std::string& out, std::string& log) const
    {
        const std::string home = tmp.path("home");
        const std::string cmd = "mkdir -p '" + home + "/run' && chmod 700 '" + home + "/run' && HOME='" +
                                home + "' XDG_CONFIG_HOME='" + home + "/config' XDG_DATA_HOME='" + home +
                                "/data' XDG_CACHE_HOME='" + home + "/cache' XDG_RUNTIME_DIR='" + home +
                                "/run' QT_QPA_PLATFORM=offscreen timeout 180 mscore3 -o '" + out + "' '" +
                                in + "'";
        return runCommand(cmd, log) == 0 && std::filesystem::exists(out);
    }

    void expectValid(const std::string& file) const
    {
        std::string log;
        EXPECT_EQ(runCommand("xmllint --noout --nonet --schema '" + kSchema + "' '" + file + "'", log), 0)
            << file << "\n"
            << log;
    }

    // The sheet's MIDI file and MuseScore's reading of its MusicXML export play the same notes.
    void expectMuseScorePlaysTheSheet(const SheetDocument& sheet, const std::string& name,
                                      bool compressed = false)
    {
        const std::string xml = tmp.path(name + (compressed ? ".mxl" : ".musicxml"));
        const FileResult written =
            compressed ? exportMxl(sheet, name, xml) : exportMusicXml(sheet, name, xml);
        ASSERT_TRUE(written.ok) << written.error;
        const std::string ours = tmp.path(name + ".mid");
        ASSERT_TRUE(writeMidiFile(sheet, ours).ok);
        const std::string theirs = tmp.path(name + "-musescore.mid");
        std::string log;
        ASSERT_TRUE(museScoreMidi(xml, theirs, log)) << log;
        std::string problem;
        const auto a = playedNotes(ours, problem);
        const auto b = playedNotes(theirs, problem);
        ASSERT_TRUE(problem.empty()) << problem;
        expectSameNotes(a, b, name);
    }

    void SetUp() override
    {
        if (!testing::haveTool("xmllint"))
            GTEST_SKIP() << "xmllint is not installed (scripts/setup.sh installs libxml2-utils)";
    }

    static bool museScoreMissing(std::string& why)
    {
        if (!testing::haveTool("mscore3"))
            why = "mscore3 is not installed (scripts/setup.sh installs musescore3)";
        else if (!testing::haveTool("midicsv"))
            why = "midicsv is not installed (scripts/setup.sh installs it)";
        return !why.empty();
    }

    TempDir tmp;
};

// A track of the given staff kind with a bit of everything the export writes: a key signature,
// accidentals, chords, a member of another length, dotted and tied notes, a note over the bar
// line, rests, a triplet mark, a lyric and a repeated measure.
void fillVariedTrack(Track& t, int seed)
{
    const int shift = seed % 3;
    append(t, makeNote(-shift, kTypeQuarter, kFlagDot));
    append(t, makeNote(-1 - shift, kTypeEighth, kFlagSharp));
    appendChord(t, {makeNote(0 - shift, kTypeHalf), makeNote(-2 - shift, kTypeHalf),
                    makeNote(-4 - shift, kTypeHalf)});
    append(t, makeNote(1, kTypeQuarter, kFlagTie)).setLyric("tie");
    append(t, makeNote(1, kTypeQuarter, kFlagTie));
    append(t, makeNote(-3, kTypeEighth, kFlagRest));
    // A group of three triplet sixteenths takes the eighth a lone triplet mark stood on before
    // triplets took their time, so every later note keeps its place.
    append(t, makeNote(-3, kTypeSixteenth, kFlagFlat | kFlagTriplet));
    append(t, makeNote(-2, kTypeSixteenth, kFlagTriplet));
    append(t, makeNote(-3, kTypeSixteenth, kFlagTriplet));
    appendChord(t, {makeNote(2, kTypeQuarter), makeNote(-5, kTypeHalf)});
    append(t, makeNote(-2, kTypeSixteenth));
    append(t, makeNote(-1, kTypeSixteenth, kFlagNatural));
    append(t, makeNote(0, kTypeEighth));
    append(t, makeNote(3, kTypeHalf)); // runs over the bar line in 4/4
    append(t, makeNote(0, kTypeQuarter, kFlagRest));
    append(t, makeNote(4, kTypeThirtySecond, kFlagDot));
    append(t, makeNote(5, kTypeThirtySecond));
    append(t, makeNote(-6, kTypeEighth, kFlagDot));
    append(t, makeNote(-7, kTypeWhole));
    // A tied chord: playback holds the root on and does not strike the second chord's members.
    appendChord(t, {makeNote(0, kTypeHalf, kFlagTie), makeNote(-2, kTypeHalf, kFlagTie)});
    appendChord(t, {makeNote(0, kTypeQuarter, kFlagTie), makeNote(-4, kTypeQuarter)});
    t.measureRepeats.set(2, true);
}

void makeVariedSheet(SheetDocument& sheet, int keyIndex, int timeEntry)
{
    sheet.setTrackCount(5);
    sheet.setTimeSignature(timeEntry);
    const StaffKind kinds[5] = {StaffKind::GClef, StaffKind::FClef, StaffKind::G2Clef, StaffKind::Percussion,
                                StaffKind::Tablature};
    for (int k = 0; k < 5; ++k) {
        Track& t = *sheet.trackAt(k);
        setStaffKind(t, kinds[k]);
        t.setKeyIndex(keyIndex);
        fillVariedTrack(t, k);
        for (int i = 0; i < t.count; ++i)
            t.noteAt(i).iid = 8 * k;
    }
}

TEST_F(MusicXmlReadersTest, ExportsOfEveryStaffKindValidateAgainstTheSchema)
{
    int n = 0;
    for (int key : {7, 2, 12})
        for (int time : {1, 0, 7}) {
            SheetDocument sheet;
            makeVariedSheet(sheet, key, time);
            const std::string file = tmp.path("varied" + std::to_string(n++) + ".musicxml");
            ASSERT_TRUE(exportMusicXml(sheet, "Varied", file).ok);
            expectValid(file);
        }
    SheetDocument empty;
    ASSERT_TRUE(exportMusicXml(empty, "Empty", tmp.path("empty.musicxml")).ok);
    expectValid(tmp.path("empty.musicxml"));
}

// The drum staff as MuseScore reads the export: the schema holds, every drum has the line and
// head of the sheet's drawing in MuseScore's drum set (its lines count steps down from the top
// line), and MuseScore plays the drums the sheet plays.
TEST_F(MusicXmlReadersTest, MuseScoreReadsEveryDrumAtTheSheetsPlaceWithItsHead)
{
    SheetDocument sheet;
    ASSERT_TRUE(loadSheet(sheet, "engraving_drums.shd",
                          std::string(TONVELA_SOURCE_DIR) + "/examples/engraving_drums.shd")
                    .ok());
    Track& t = *sheet.trackAt(0);
    for (int key : {35, 41, 44, 46, 51, 52}) {
        Note n;
        n.midi = static_cast<int8_t>(key);
        n.type = key == 46 ? kTypeHalf : kTypeQuarter;
        t.insertNote(n, t.count);
    }
    const std::string xml = tmp.path("drums.musicxml");
    ASSERT_TRUE(exportMusicXml(sheet, "Drums", xml).ok);
    expectValid(xml);
    REQUIRE_MUSESCORE();
    const std::string mscx = tmp.path("drums.mscx");
    std::string log;
    ASSERT_TRUE(museScoreMidi(xml, mscx, log)) << log;
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(mscx.c_str()));
    std::map<int, std::pair<int, std::string>> read; // key: line, head
    for (pugi::xpath_node d : doc.select_nodes("//Instrument/Drum"))
        read[d.node().attribute("pitch").as_int()] = {d.node().child("line").text().as_int(),
                                                      d.node().child_value("head")};
    std::set<int> played;
    for (int i = 0; i < t.count; ++i)
        if (!t.noteAt(i).isRest())
            played.insert(soundingPitch(t.noteAt(i), t));
    ASSERT_EQ(played.size(), 13u);
    for (int key : played) {
        const DrumNotation* d = drumNotationOf(key);
        ASSERT_NE(d, nullptr) << key;
        ASSERT_TRUE(read.count(key)) << key;
        EXPECT_EQ(read[key].first, d->step + 3) << key;
        EXPECT_EQ(read[key].second, d->head == DrumHead::Cross ? "cross" : "normal") << key;
    }
    expectMuseScorePlaysTheSheet(sheet, "drums-played");
}

TEST_F(MusicXmlReadersTest, ExportsOfTheExamplesValidate)
{
    int checked = 0;
    for (const auto& e : std::filesystem::directory_iterator(std::string(TONVELA_SOURCE_DIR) + "/examples")) {
        SheetDocument sheet;
        if (e.path().extension() != ".shd" ||
            !loadSheet(sheet, e.path().filename().string(), e.path().string()).ok())
            continue;
        const std::string file = tmp.path(e.path().stem().string() + ".musicxml");
        ASSERT_TRUE(exportMusicXml(sheet, sheetTitleOf(sheet), file).ok);
        expectValid(file);
        ++checked;
    }
    EXPECT_GE(checked, 3);
}

TEST_F(MusicXmlReadersTest, MuseScorePlaysTheExamplesAsTheSheetsMidiFileDoes)
{
    REQUIRE_MUSESCORE();
    for (const auto& e : std::filesystem::directory_iterator(std::string(TONVELA_SOURCE_DIR) + "/examples")) {
        SheetDocument sheet;
        if (e.path().extension() != ".shd" ||
            !loadSheet(sheet, e.path().filename().string(), e.path().string()).ok())
            continue;
        expectMuseScorePlaysTheSheet(sheet, e.path().stem().string());
    }
}

TEST_F(MusicXmlReadersTest, MuseScorePlaysVariedSheetsOfEveryStaffKindAsTheSheetDoes)
{
    REQUIRE_MUSESCORE();
    struct Case {
        int key, time;
        bool unfoldRepeats;
    };
    int n = 0;
    for (const Case& c : {Case{7, 1, false}, Case{4, 0, false}, Case{10, 7, true}}) {
        SheetDocument sheet;
        makeVariedSheet(sheet, c.key, c.time);
        if (c.unfoldRepeats)
            sheet.trackAt(0)->measureRepeats.clear(); // the tracks differ: written out
        expectMuseScorePlaysTheSheet(sheet, "varied" + std::to_string(n++));
    }
}

TEST_F(MusicXmlReadersTest, MuseScorePlaysATempoOtherThan120AndANoteLoop)
{
    REQUIRE_MUSESCORE();
    SheetDocument sheet;
    sheet.setTrackCount(2);
    for (int k = 0; k < 2; ++k) {
        Track& t = *sheet.trackAt(k);
        t.tempo = 84;
        for (int i = 0; i < 6; ++i)
            append(t, makeNote(-i - 2 * k, i % 2 ? kTypeEighth : kTypeQuarter));
    }
    sheet.trackAt(1)->noteAt(3).loopTo = 1;
    sheet.trackAt(1)->noteAt(3).loopCount = 2;
    expectMuseScorePlaysTheSheet(sheet, "tempo-loop");
}

// Triplets in complete groups of every kind: beamed eighths, a quarter and an eighth,
// sixteenths with a rest, a half and a quarter, ties into and out of a triplet. (A triplet
// group that is not complete, that a bar line cuts or that opens with a chord is written with
// its exact durations, but MuseScore 3 places the notes after it differently.)
void makeTripletSheet(SheetDocument& sheet)
{
    sheet.setTrackCount(2);
    for (int k = 0; k < 2; ++k) {
        Track& t = *sheet.trackAt(k);
        for (int i = 0; i < 3; ++i)
            append(t, makeNote(-i - k, kTypeEighth, kFlagTriplet));
        append(t, makeNote(-3, kTypeQuarter, kFlagTriplet));
        append(t, makeNote(-4, kTypeEighth, kFlagTriplet));
        append(t, makeNote(-2, kTypeSixteenth, kFlagTriplet));
        append(t, makeNote(-2, kTypeSixteenth, kFlagTriplet | kFlagRest));
        append(t, makeNote(-1, kTypeSixteenth, kFlagTriplet));
        append(t, makeNote(-1, kTypeEighth));
        append(t, makeNote(0, kTypeQuarter, kFlagTriplet));
        append(t, makeNote(1, kTypeQuarter, kFlagTriplet | kFlagTie));
        append(t, makeNote(1, kTypeQuarter, kFlagTriplet | kFlagTie));
        append(t, makeNote(1, kTypeQuarter, kFlagTie));
        append(t, makeNote(-5, kTypeHalf, kFlagTriplet));
        append(t, makeNote(-4, kTypeQuarter, kFlagTriplet));
        append(t, makeNote(-6, kTypeHalf));
        append(t, makeNote(0, kTypeHalf));
    }
    sheet.trackAt(0)->timeSig = kTimeSig34;
    sheet.trackAt(1)->timeSig = kTimeSig68;
}

TEST_F(MusicXmlReadersTest, TripletsValidateAndMuseScorePlaysThemAsTheSheetDoes)
{
    SheetDocument sheet;
    makeTripletSheet(sheet);
    const std::string file = tmp.path("triplets.musicxml");
    ASSERT_TRUE(exportMusicXml(sheet, "Triplets", file).ok);
    expectValid(file);
    REQUIRE_MUSESCORE();
    expectMuseScorePlaysTheSheet(sheet, "triplets");
}

TEST_F(MusicXmlReadersTest, PickupsAndEveryMeterValidateAndMuseScorePlaysThemAsTheSheetDoes)
{
    // A 6/8 sheet with an eighth pickup, a repeated measure and a Bar note; then each meter.
    SheetDocument sheet;
    sheet.setTrackCount(2);
    sheet.setTimeSignatureCode(kTimeSig68);
    sheet.setPickup(kQuarterTicks / 2);
    for (int k = 0; k < 2; ++k) {
        Track& t = *sheet.trackAt(k);
        append(t, makeNote(0, kTypeEighth));
        for (int i = 0; i < 12; ++i)
            append(t, makeNote(-i % 7 - k, kTypeEighth));
        append(t, makeNote(0, kTypeQuarter, kFlagDot));
        t.measureRepeats.set(2, true);
    }
    const std::string file = tmp.path("pickup.musicxml");
    ASSERT_TRUE(exportMusicXml(sheet, "Pickup", file).ok);
    expectValid(file);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(file.c_str()));
    const pugi::xml_node first = doc.child("score-partwise").child("part").child("measure");
    EXPECT_STREQ(first.attribute("number").value(), "0");
    EXPECT_STREQ(first.attribute("implicit").value(), "yes");
    EXPECT_STREQ(first.next_sibling("measure").attribute("number").value(), "1");
    // Read back, it is the same pickup.
    SheetDocument back;
    std::string text;
    ASSERT_TRUE(readWholeFile(file, text, 1 << 22).ok);
    ASSERT_TRUE(importMusicXmlData(text, back).ok());
    EXPECT_EQ(back.pickup, kQuarterTicks / 2);
    EXPECT_EQ(back.timesig, kTimeSig68);

    std::vector<std::unique_ptr<SheetDocument>> meters;
    for (int code : {kTimeSig22, kTimeSig32, kTimeSig128, kTimeSig48, kTimeSigSingleGlyph}) {
        auto m = std::make_unique<SheetDocument>();
        m->setTrackCount(1);
        m->setTimeSignatureCode(code);
        m->setPickup(kQuarterTicks);
        for (int i = 0; i < 20; ++i)
            append(*m->trackAt(0), makeNote(-i % 7, i % 3 ? kTypeEighth : kTypeQuarter));
        const std::string f = tmp.path("meter" + std::to_string(code) + ".musicxml");
        ASSERT_TRUE(exportMusicXml(*m, "Meter", f).ok);
        expectValid(f);
        meters.push_back(std::move(m));
    }
    REQUIRE_MUSESCORE();
    expectMuseScorePlaysTheSheet(sheet, "pickup-played");
    for (std::size_t k = 0; k < meters.size(); ++k)
        expectMuseScorePlaysTheSheet(*meters[k], "meter-played" + std::to_string(k));
}

// Two tracks with Bar notes inside a measure and on a measure line, a tie before the second.
void makeBarNotesSheet(SheetDocument& sheet)
{
    sheet.setTrackCount(2);
    for (int k = 0; k < 2; ++k) {
        Track& t = *sheet.trackAt(k);
        setStaffKind(t, k == 0 ? StaffKind::GClef : StaffKind::FClef);
        append(t, makeNote(-k, kTypeHalf));
        append(t, makeNote(0, kTypeBar)); // inside the first measure
        for (int i = 0; i < 6; ++i)
            append(t, makeNote(-i, kTypeQuarter, i == 5 ? kFlagTie : 0));
        append(t, makeNote(-5, kTypeQuarter, kFlagTie));
        append(t, makeNote(0, kTypeBar)); // on a measure line
        append(t, makeNote(-2, kTypeWhole));
    }
}

TEST_F(MusicXmlReadersTest, BarNotesInsideAndOnMeasureLinesValidateAndPlayAsTheSheet)
{
    SheetDocument sheet;
    makeBarNotesSheet(sheet);
    const std::string file = tmp.path("bars.musicxml");
    ASSERT_TRUE(exportMusicXml(sheet, "Bars", file).ok);
    expectValid(file);
    std::string text;
    std::string error;
    ASSERT_TRUE(musicXmlText(sheet, "Bars", text, error));
    EXPECT_NE(text.find("location=\"middle\""), std::string::npos);
    REQUIRE_MUSESCORE();
    expectMuseScorePlaysTheSheet(sheet, "bars");
}

TEST_F(MusicXmlReadersTest, CompressedFileHoldsTheContainerAndMuseScoreReadsIt)
{
    SheetDocument sheet;
    makeVariedSheet(sheet, 5, 1);
    const std::string file = tmp.path("song.mxl");
    ASSERT_TRUE(exportMxl(sheet, "Song", file).ok);
    std::string listing;
    ASSERT_EQ(runCommand("unzip -Z1 '" + file + "'", listing), 0) << listing;
    EXPECT_EQ(listing, std::string("mimetype\nMETA-INF/container.xml\n") + kMxlScoreName + "\n");
    std::string mime;
    ASSERT_EQ(runCommand("unzip -p '" + file + "' mimetype", mime), 0);
    EXPECT_EQ(mime, "application/vnd.recordare.musicxml");
    std::string method;
    ASSERT_EQ(runCommand("unzip -Zv '" + file + "' mimetype | grep -i 'compression method'", method), 0);
    EXPECT_NE(method.find("none (stored)"), std::string::npos) << method;
    std::string container;
    ASSERT_EQ(runCommand("unzip -p '" + file + "' META-INF/container.xml", container), 0);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(container.c_str()));
    EXPECT_STREQ(doc.child("container").child("rootfiles").child("rootfile").attribute("full-path").value(),
                 kMxlScoreName);
    std::string score;
    ASSERT_EQ(
        runCommand("unzip -p '" + file + "' " + kMxlScoreName + " > '" + tmp.path("inner.musicxml") + "'",
                   score),
        0);
    expectValid(tmp.path("inner.musicxml"));

    REQUIRE_MUSESCORE();
    expectMuseScorePlaysTheSheet(sheet, "compressed", true);
}

// A sheet exported and imported again plays the same notes (key, onset, length) on the same
// staff kinds, from the plain and the compressed file.
TEST_F(MusicXmlReadersTest, ExportedAndImportedAgainTheSheetPlaysTheSameNotes)
{
    if (!testing::haveTool("midicsv"))
        GTEST_SKIP() << "midicsv is not installed (scripts/setup.sh installs it)";
    std::vector<std::pair<std::string, std::unique_ptr<SheetDocument>>> sheets;
    for (const auto& e : std::filesystem::directory_iterator(std::string(TONVELA_SOURCE_DIR) + "/examples")) {
        auto sheet = std::make_unique<SheetDocument>();
        if (e.path().extension() == ".shd" &&
            loadSheet(*sheet, e.path().filename().string(), e.path().string()).ok())
            sheets.emplace_back(e.path().stem().string(), std::move(sheet));
    }
    ASSERT_GE(sheets.size(), 3u);
    int n = 0;
    for (int key : {7, 2, 12}) {
        auto sheet = std::make_unique<SheetDocument>();
        makeVariedSheet(*sheet, key, n);
        if (n == 2)
            sheet->trackAt(0)->measureRepeats.clear(); // repeats written out
        sheets.emplace_back("varied" + std::to_string(n++), std::move(sheet));
    }
    // Bar notes; a drum track of several keys; triplet-marked notes over the bar line; a note loop.
    sheets.emplace_back("bars", std::make_unique<SheetDocument>());
    makeBarNotesSheet(*sheets.back().second);
    auto more = std::make_unique<SheetDocument>();
    more->setTrackCount(3);
    Track& drums = *more->trackAt(0);
    drums.percussive = 1;
    for (int i = 0; i < 7; ++i)
        append(drums, makeNote(-i, i % 3 ? kTypeEighth : kTypeQuarter)).midi =
            static_cast<int8_t>(35 + 3 * i);
    appendChord(drums, {makeNote(0, kTypeHalf), makeNote(-2, kTypeQuarter)});
    drums.noteAt(drums.count - 1).midi = 42;
    Track& triplets = *more->trackAt(1);
    for (int i = 0; i < 7; ++i)
        append(triplets, makeNote(-i, kTypeEighth, kFlagTriplet));
    append(triplets, makeNote(0, kTypeHalf, kFlagTriplet | kFlagTie));
    append(triplets, makeNote(0, kTypeQuarter, kFlagTie));
    Track& loop = *more->trackAt(2);
    for (int i = 0; i < 6; ++i)
        append(loop, makeNote(-i, i % 2 ? kTypeEighth : kTypeQuarter));
    loop.noteAt(3).loopTo = 1;
    loop.noteAt(3).loopCount = 2;
    sheets.emplace_back("drums-triplets-loop", std::move(more));
    for (const auto& [name, sheet] : sheets)
        for (bool compressed : {false, true}) {
            SCOPED_TRACE(name + (compressed ? " (.mxl)" : " (.musicxml)"));
            const std::string file = tmp.path(name + (compressed ? ".mxl" : ".musicxml"));
            ASSERT_TRUE((compressed ? exportMxl(*sheet, name, file) : exportMusicXml(*sheet, name, file)).ok);
            std::unique_ptr<SheetDocument> back;
            const LoadResult read = importMusicXmlFile(file, back);
            ASSERT_TRUE(read.ok()) << read.error;
            ASSERT_TRUE(back);
            ASSERT_EQ(back->trackCount(), sheet->trackCount());
            for (int k = 0; k < sheet->trackCount(); ++k) {
                EXPECT_EQ(back->trackAt(k)->drawmode, sheet->trackAt(k)->drawmode) << "track " << k;
                EXPECT_EQ(back->trackAt(k)->percussive, sheet->trackAt(k)->percussive) << "track " << k;
            }
            const std::string ours = tmp.path(name + ".mid");
            const std::string again = tmp.path(name + "-again.mid");
            ASSERT_TRUE(writeMidiFile(*sheet, ours).ok);
            ASSERT_TRUE(writeMidiFile(*back, again).ok);
            std::string problem;
            const auto a = playedNotes(ours, problem);
            const auto b = playedNotes(again, problem);
            ASSERT_TRUE(problem.empty()) << problem;
            expectSameNotes(a, b, name);
            // A repeated passage comes back as the same passage, with its endings.
            EXPECT_EQ(back->repeatRanges, sheet->repeatRanges);
        }
}

// Repeated passages of every shape: the export validates, MuseScore plays the passage twice
// with its endings where the sheet's MIDI file does, and our reader takes the same passages back.
TEST_F(MusicXmlReadersTest, RepeatedPassagesValidateAndMuseScorePlaysThemUnfoldedAsTheSheetDoes)
{
    struct Case {
        std::vector<RepeatRange> ranges;
        int measures;
        bool pickup;
    };
    const std::vector<Case> cases = {
        {{{2, 4, 1, 1}, {7, 8, 0, 0}}, 8, false}, // both endings; a plain passage at the end
        {{{1, 3, 2, 0}}, 5, false},               // a first ending only
        {{{2, 3, 0, 2}}, 6, false},               // a second ending only
        {{{1, 2, 1, 1}, {4, 6, 1, 2}}, 8, false}, // back to back
        {{{1, 4, 1, 1}}, 6, true},                // from the pickup
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        SheetDocument sheet;
        sheet.setTrackCount(2);
        for (int k = 0; k < 2; ++k) {
            Track& t = *sheet.trackAt(k);
            if (c.pickup)
                append(t, makeNote(2, kTypeQuarter));
            for (int m = 0; m < c.measures - (c.pickup ? 1 : 0); ++m) {
                append(t, makeNote(-(m % 7) - 2 * k, kTypeHalf, m % 3 == 1 ? kFlagTie : 0));
                append(t, makeNote(-(m % 7) - 2 * k, kTypeQuarter, m % 3 == 1 ? kFlagTie : 0));
                append(t, makeNote(-(m % 5) - 1, kTypeQuarter, m % 2 ? kFlagRest : 0));
            }
        }
        if (c.pickup)
            sheet.setPickup(kQuarterTicks);
        sheet.setRepeatRanges(c.ranges);
        ASSERT_EQ(sheet.repeatRanges, c.ranges);
        const std::string name = "passages" + std::to_string(n++);
        const std::string file = tmp.path(name + ".musicxml");
        ASSERT_TRUE(exportMusicXml(sheet, name, file).ok);
        expectValid(file);
        std::unique_ptr<SheetDocument> back;
        const LoadResult read = importMusicXmlFile(file, back);
        ASSERT_TRUE(read.ok()) << read.error;
        EXPECT_EQ(back->repeatRanges, c.ranges);
        EXPECT_TRUE(read.warnings.empty()) << read.warnings.front();
        std::string why;
        if (!museScoreMissing(why))
            expectMuseScorePlaysTheSheet(sheet, name);
    }
}

// A note below key 12 cannot be written in MusicXML's octaves (they begin at C0): it is written
// in octave 0, as the file's readers take it, and a warning says how many notes were.
TEST_F(MusicXmlReadersTest, KeysBelowOctaveZeroAreWrittenInOctaveZeroWithAWarningAndValidate)
{
    SheetDocument sheet;
    sheet.setTrackCount(1);
    Track& t = *sheet.trackAt(0);
    for (int key : {11, 10, 5, 48}) {
        // Keys that kept another clef's offset: the G clef staff spells them by their own pitch.
        Note n = makeNote(0);
        n.midi = static_cast<int8_t>(key);
        append(t, n);
    }
    const std::string file = tmp.path("low.musicxml");
    const FileResult written = exportMusicXml(sheet, "Low", file);
    ASSERT_TRUE(written.ok) << written.error;
    ASSERT_EQ(written.warnings.size(), 1u) << [&] {
        std::ifstream in(file);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    EXPECT_NE(written.warnings[0].find("3 notes lie below C0"), std::string::npos) << written.warnings[0];
    expectValid(file);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(file.c_str()));
    std::vector<std::string> pitches;
    for (pugi::xml_node m : doc.child("score-partwise").child("part").children("measure"))
        for (pugi::xml_node n : m.children("note"))
            if (n.child("pitch"))
                pitches.push_back(testing::pitchName(n));
    EXPECT_EQ(pitches, (std::vector<std::string>{"Cb0", "Cbb0", "Cbb0", "C3"}));
    // Our own reader takes the file (it refused octave -1).
    std::unique_ptr<SheetDocument> back;
    const LoadResult read = importMusicXmlFile(file, back);
    EXPECT_TRUE(read.ok()) << read.error;
    // The compressed file warns the same; a sheet in range gives no warning.
    EXPECT_EQ(exportMxl(sheet, "Low", tmp.path("low.mxl")).warnings, written.warnings);
    t.noteAt(1).midi = 48;
    t.noteAt(2).midi = 50;
    t.noteAt(0).midi = 52;
    EXPECT_TRUE(exportMusicXml(sheet, "Low", file).warnings.empty());
}

// The version the export names is the one of the schema it is checked against, and the sheet's
// texts go where other programs look for them.
TEST_F(MusicXmlReadersTest, TheVersionIsTheSchemasAndTheSheetsTextsAreWrittenWhereMuseScoreReadsThem)
{
    std::ifstream xsd(kSchema);
    const std::string schema{std::istreambuf_iterator<char>(xsd), std::istreambuf_iterator<char>()};
    const std::string marker = "version of the MusicXML ";
    const auto at = schema.find(marker);
    ASSERT_NE(at, std::string::npos);
    const std::string schemaVersion =
        schema.substr(at + marker.size(), schema.find(' ', at + marker.size()) - at - marker.size());

    SheetDocument sheet;
    sheet.setTrackCount(1);
    append(*sheet.trackAt(0), makeNote(0, kTypeWhole));
    sheet.texts.title = "Ode to Joy";
    sheet.texts.subtitle = "from the Ninth";
    sheet.texts.composer = "Ludwig van Beethoven";
    sheet.texts.lyricist = "Friedrich Schiller";
    sheet.texts.copyright = "Public domain";
    const std::string file = tmp.path("texts.musicxml");
    ASSERT_TRUE(exportMusicXml(sheet, "file name", file).ok);
    expectValid(file);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(file.c_str(), pugi::parse_default | pugi::parse_doctype));
    const pugi::xml_node score = doc.child("score-partwise");
    EXPECT_EQ(std::string(score.attribute("version").as_string()), schemaVersion);
    std::string doctype;
    for (pugi::xml_node n : doc.children())
        if (n.type() == pugi::node_doctype)
            doctype = n.value();
    EXPECT_NE(doctype.find("MusicXML " + schemaVersion + " Partwise"), std::string::npos) << doctype;
    EXPECT_EQ(std::string(score.child("work").child_value("work-title")), "Ode to Joy");
    EXPECT_EQ(std::string(score.child_value("movement-title")), "Ode to Joy");
    EXPECT_EQ(std::string(score.child("credit").child_value("credit-type")), "subtitle");
    EXPECT_EQ(std::string(score.child("credit").child_value("credit-words")), "from the Ninth");
    const pugi::xml_node id = score.child("identification");
    EXPECT_EQ(std::string(id.find_child_by_attribute("creator", "type", "composer").child_value()),
              "Ludwig van Beethoven");
    EXPECT_EQ(std::string(id.find_child_by_attribute("creator", "type", "lyricist").child_value()),
              "Friedrich Schiller");
    EXPECT_EQ(std::string(id.child_value("rights")), "Public domain");
    // Without texts: the title given (the file's name), and no empty creator or rights.
    sheet.texts = {};
    testing::Exported plain;
    testing::exportSheet(sheet, plain, "file name");
    EXPECT_EQ(std::string(plain.score().child("work").child_value("work-title")), "file name");
    EXPECT_FALSE(plain.score().child("movement-title"));
    EXPECT_FALSE(plain.score().child("credit"));
    EXPECT_FALSE(plain.score().child("identification").child("creator"));
    EXPECT_FALSE(plain.score().child("identification").child("rights"));

    // MuseScore reads the title and composer: its own MusicXML of our file carries them.
    if (!testing::haveTool("mscore3"))
        GTEST_SKIP() << "mscore3 (MuseScore 3) is not installed";
    const std::string theirs = tmp.path("theirs.musicxml");
    std::string log;
    ASSERT_TRUE(museScoreMidi(file, theirs, log)) << log;
    pugi::xml_document back;
    ASSERT_TRUE(back.load_file(theirs.c_str()));
    const pugi::xml_node b = back.child("score-partwise");
    EXPECT_EQ(
        std::string(
            b.child("identification").find_child_by_attribute("creator", "type", "composer").child_value()),
        "Ludwig van Beethoven");
    std::string credits;
    for (pugi::xml_node c : b.children("credit"))
        credits += std::string(c.child_value("credit-words")) + "|";
    EXPECT_NE(credits.find("Ode to Joy"), std::string::npos) << credits;
}

} // namespace
} // namespace tonvela

namespace tonvela {
namespace {

// A guitar part in DADGAD with a capo at 2: the schema takes its staff details, MuseScore plays
// what the sheet plays, and read back the part has its strings, capo and frets again.
TEST_F(MusicXmlReadersTest, ATablatureInAnOpenTuningWithACapoValidatesAndReadsBackWithItsFrets)
{
    SheetDocument sheet;
    Track& t = *sheet.trackAt(0);
    setStaffKind(t, StaffKind::Tablature);
    t.tuning = {kNamedTunings[2].strings, 2};
    ASSERT_STREQ(kNamedTunings[2].name, "DADGAD");
    // Positions from low E up to the high strings; the keys lie on every string.
    for (int line : {12, 10, 9, 7, 6, 4, 3, 1, 0, -2, -3, -5})
        append(t, makeNote(line, kTypeQuarter));
    const std::string file = tmp.path("dadgad.musicxml");
    ASSERT_TRUE(exportMusicXml(sheet, "DADGAD", file).ok);
    expectValid(file);

    std::ifstream in(file);
    const std::string xml{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_NE(xml.find("<capo>2</capo>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<staff-tuning line=\"5\">"), std::string::npos);

    SheetDocument back;
    const LoadResult r = importMusicXmlData(xml, back);
    ASSERT_TRUE(r.ok()) << r.error;
    const Track& b = *back.trackAt(0);
    EXPECT_EQ(b.tuning, t.tuning);
    std::vector<std::pair<int, int>> ours, theirs;
    for (int i = 0; i < t.count; ++i) {
        const GuitarPosition p = guitarPositionOfNote(t.noteAt(i), t.tuning);
        ours.emplace_back(p.stringIndex, p.fret);
    }
    for (int i = 0; i < b.count; ++i)
        if (isDurationType(b.noteAt(i).type) && !b.noteAt(i).isRest()) {
            const GuitarPosition p = guitarPositionOfNote(b.noteAt(i), b.tuning);
            theirs.emplace_back(p.stringIndex, p.fret);
        }
    EXPECT_EQ(ours, theirs);

    REQUIRE_MUSESCORE();
    expectMuseScorePlaysTheSheet(sheet, "dadgad");
}

} // namespace
} // namespace tonvela

namespace tonvela {
namespace {

// A staff with two voices: the schema takes the backups and forwards, MuseScore reads voice 2
// as its second voice and plays both where the sheet's MIDI file does, and our own reader finds
// the notes at their times.
TEST_F(MusicXmlReadersTest, AStaffWithTwoVoicesValidatesAndReadsBackWithBothVoicesAtTheirTimes)
{
    SheetDocument sheet;
    sheet.setTrackCount(1);
    testing::appendTwoVoices(*sheet.trackAt(0));
    const std::string file = tmp.path("voices.musicxml");
    ASSERT_TRUE(exportMusicXml(sheet, "Voices", file).ok);
    expectValid(file);

    // Our reader keeps both voices of the staff, each whole and at its times: the voice that
    // sounds most notes (here the sheet's voice 2) as voice 1, the other as voice 2.
    std::unique_ptr<SheetDocument> back;
    const LoadResult read = importMusicXmlFile(file, back);
    ASSERT_TRUE(read.ok()) << read.error;
    ASSERT_GE(back->trackCount(), 1);
    const auto playedOf = [](const Track& t) {
        std::vector<std::tuple<Ticks, int, Ticks>> played;
        PlayWalk walk(t);
        while (const auto step = walk.next())
            forEachPlayedNote(t, *step, [&](const PlayedNote& p) {
                if (!p.rest)
                    played.emplace_back(step->start + p.offset, soundingKey(t.noteAt(p.index), t), p.held);
            });
        std::sort(played.begin(), played.end());
        return played;
    };
    constexpr Ticks Q = kQuarterTicks;
    const auto played = playedOf(*back->trackAt(0));
    EXPECT_EQ(played, playedOf(*sheet.trackAt(0)));
    EXPECT_EQ(played.size(), 16u);
    EXPECT_EQ(played.front(), std::make_tuple(Ticks{0}, 48, Q));
    std::string warnings;
    for (const std::string& w : read.warnings)
        warnings += w + "\n";
    EXPECT_EQ(warnings.find("voice"), std::string::npos) << warnings;

    // Every staff kind with two voices, one of them repeating its silent measure, and a chord
    // of voice 2 with a member longer than its root (a voice of its own after voice 2).
    SheetDocument kinds;
    kinds.setTrackCount(4);
    const StaffKind staffKinds[4] = {StaffKind::FClef, StaffKind::Percussion, StaffKind::Tablature,
                                     StaffKind::G2Clef};
    for (int k = 0; k < 4; ++k) {
        Track& track = *kinds.trackAt(k);
        setStaffKind(track, staffKinds[k]);
        testing::appendTwoVoices(track);
    }
    kinds.trackAt(3)->measureRepeats.set(2, true);
    testing::appendChord(*kinds.trackAt(0), {makeNote(0, kTypeWhole)});
    {
        Track& track = *kinds.trackAt(0);
        const int root = track.count;
        append(track, testing::inVoice2(makeNote(4, kTypeQuarter)));
        Note member = makeNote(2, kTypeHalf);
        member.chordparent = static_cast<int16_t>(root);
        append(track, member);
    }
    const std::string kindsFile = tmp.path("voice-kinds.musicxml");
    ASSERT_TRUE(exportMusicXml(kinds, "Voices", kindsFile).ok);
    expectValid(kindsFile);
    {
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_file(kindsFile.c_str()));
        const pugi::xml_node last = doc.child("score-partwise").child("part").last_child();
        std::vector<std::string> voices;
        for (pugi::xml_node n : last.children("note"))
            voices.push_back(n.child_value("voice"));
        EXPECT_EQ(voices, (std::vector<std::string>{"1", "2", "3"}));
    }

    REQUIRE_MUSESCORE();
    expectMuseScorePlaysTheSheet(sheet, "voices");
    expectMuseScorePlaysTheSheet(kinds, "voice-kinds");
    // MuseScore's own MusicXML of our file keeps the second voice as voice 2.
    const std::string theirs = tmp.path("theirs.musicxml");
    std::string log;
    ASSERT_TRUE(museScoreMidi(file, theirs, log)) << log;
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(theirs.c_str()));
    std::vector<std::string> second;
    for (pugi::xml_node m : doc.child("score-partwise").child("part").children("measure"))
        for (pugi::xml_node n : m.children("note"))
            if (std::string(n.child_value("voice")) == "2" && !n.child("rest"))
                second.push_back(m.attribute("number").as_string() + std::string(":") +
                                 testing::pitchName(n));
    EXPECT_EQ(second, (std::vector<std::string>{"1:C3", "1:D3", "1:E3", "1:F3", "3:C3", "3:D3", "3:E3",
                                                "3:G3", "4:G3", "4:A3", "5:C3"}));
}

// A MusicXML staff with two voices, imported: MuseScore plays the file as the imported sheet's
// MIDI file does, and the sheet exported again validates and plays in MuseScore as the sheet.
TEST_F(MusicXmlReadersTest, AVoice2ThatOverfillsItsMeasureStaysInStepAndMuseScorePlaysItAsTheSheetDoes)
{
    // GIVEN a staff whose voice 2 holds more than its measures (a hand-edited file, or a voice 2
    // note made longer): measure 1 a half and a whole, measure 2 a quarter and two halves,
    // measure 3 a whole and a quarter that starts where measure 4 starts, measure 4 a whole;
    // voice 1 a whole in each
    SheetDocument sheet;
    sheet.setTrackCount(1);
    Track& t = *sheet.trackAt(0);
    const auto add = [&t](int line, int type, bool second) {
        Note n;
        n.setStaffPosition(line);
        n.type = type;
        n.voice = second ? kVoice2 : kVoice1;
        t.insertNote(n, t.count);
    };
    add(-4, kTypeWhole, false);
    add(3, kTypeHalf, true);
    add(4, kTypeWhole, true);
    add(-5, kTypeWhole, false);
    add(3, kTypeQuarter, true);
    add(6, kTypeHalf, true); // not the key of measure 1's whole, which still sounds
    add(5, kTypeHalf, true);
    add(-6, kTypeWhole, false);
    add(2, kTypeWhole, true);
    add(1, kTypeQuarter, true);
    add(-7, kTypeWhole, false);
    add(3, kTypeWhole, true);
    const std::string file = tmp.path("overfill.musicxml");
    ASSERT_TRUE(exportMusicXml(sheet, "Overfill", file).ok);
    // THEN the export validates, no measure's voice runs past the measure (each voice after a
    // backup lasts as long as voice 1, so MuseScore reads no measure as too long; a note still
    // sounding when voice 2 goes on takes a voice of its own), and MuseScore plays every note
    // where and as long as the sheet's MIDI file does
    expectValid(file);
    std::string xml;
    ASSERT_TRUE(readWholeFile(file, xml, 1 << 20).ok);
    // The time after each backup: its notes (chord notes share the time of the note before
    // them) and forwards, up to the next backup or the measure's end.
    const auto durationIn = [](const std::string& block) {
        const std::size_t d = block.find("<duration>");
        return d == std::string::npos ? 0 : std::atoi(block.c_str() + d + 10);
    };
    int measures = 0;
    for (std::size_t at = xml.find("<backup>"); at != std::string::npos; at = xml.find("<backup>", at + 1)) {
        const std::size_t end = std::min(xml.find("</measure>", at), xml.find("<backup>", at + 1));
        const int backup = durationIn(xml.substr(at, xml.find("</backup>", at) - at));
        int sum = 0;
        for (std::size_t k = xml.find("</backup>", at); k < end;) {
            const std::size_t note = xml.find("<note", k);
            const std::size_t forward = xml.find("<forward>", k);
            const std::size_t next = std::min(note, forward);
            if (next >= end)
                break;
            const std::size_t close = xml.find(next == note ? "</note>" : "</forward>", next);
            const std::string block = xml.substr(next, close - next);
            if (block.find("<chord") == std::string::npos)
                sum += durationIn(block);
            k = close;
        }
        EXPECT_EQ(sum, backup) << "a measure's voice 2 lasts as long as its voice 1\n"
                               << xml.substr(at, end - at);
        ++measures;
    }
    EXPECT_GE(measures, 4) << "a backup in every measure";
    REQUIRE_MUSESCORE();
    expectMuseScorePlaysTheSheet(sheet, "overfill");
}

TEST_F(MusicXmlReadersTest, AnImportedStaffWithTwoVoicesPlaysAsMuseScorePlaysTheFileAndRoundTrips)
{
    const auto n = [](const std::string& step, int octave, int duration, const std::string& type, int voice,
                      const std::string& extra = "") {
        return "<note>" + std::string(extra.find("<chord/>") != std::string::npos ? "<chord/>" : "") +
               "<pitch><step>" + step + "</step><octave>" + std::to_string(octave) +
               "</octave></pitch><duration>" + std::to_string(duration) + "</duration>" +
               (extra.find("start") != std::string::npos ? "<tie type=\"start\"/>" : "") +
               (extra.find("stop") != std::string::npos ? "<tie type=\"stop\"/>" : "") + "<voice>" +
               std::to_string(voice) + "</voice><type>" + type + "</type>" +
               (extra.find("start") != std::string::npos ? "<notations><tied type=\"start\"/></notations>"
                                                         : "") +
               (extra.find("stop") != std::string::npos ? "<notations><tied type=\"stop\"/></notations>"
                                                        : "") +
               "</note>";
    };
    const auto move = [](const char* kind, int duration) {
        return "<" + std::string(kind) + "><duration>" + std::to_string(duration) + "</duration></" + kind +
               ">";
    };
    const std::string rest2 =
        "<note><rest/><duration>4</duration><voice>2</voice><type>quarter</type></note>";
    // Measure 1: voice 2 enters on beat 2 and ties its half over the bar line; a third voice's
    // note joins voice 1's chord. Measure 2: voice 2 a chord and an eighth pair. Measure 3: one
    // voice.
    const std::string m1 =
        "<attributes><divisions>4</divisions><time><beats>4</beats><beat-type>4</beat-type>"
        "</time><clef><sign>G</sign><line>2</line></clef></attributes>" +
        n("E", 5, 8, "half", 1) + n("D", 5, 4, "quarter", 1) + n("C", 5, 4, "quarter", 1) +
        move("backup", 16) + rest2 + n("G", 4, 4, "quarter", 2) + n("A", 4, 8, "half", 2, "start") +
        move("backup", 16) + n("C", 4, 8, "half", 3);
    const std::string m2 = n("B", 4, 16, "whole", 1) + move("backup", 16) +
                           n("A", 4, 4, "quarter", 2, "stop") + n("F", 4, 4, "quarter", 2) +
                           n("D", 4, 4, "quarter", 2, "<chord/>") + n("E", 4, 2, "eighth", 2) +
                           n("D", 4, 2, "eighth", 2) + move("forward", 4);
    const std::string m3 = n("C", 5, 16, "whole", 1);
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<score-partwise version=\"4.0\"><part-list>"
        "<score-part id=\"P1\"><part-name>Voices</part-name></score-part></part-list><part id=\"P1\">"
        "<measure number=\"1\">" +
        m1 + "</measure><measure number=\"2\">" + m2 + "</measure><measure number=\"3\">" + m3 +
        "</measure></part></score-partwise>";
    const std::string original = tmp.path("two-voices-in.musicxml");
    std::ofstream(original, std::ios::binary) << xml;
    expectValid(original);
    SheetDocument sheet;
    const LoadResult read = importMusicXmlData(xml, sheet);
    ASSERT_TRUE(read.ok()) << read.error;
    EXPECT_TRUE(read.warnings.empty()) << read.warnings.front();
    ASSERT_EQ(sheet.trackCount(), 1);
    const std::string exported = tmp.path("two-voices-out.musicxml");
    ASSERT_TRUE(exportMusicXml(sheet, "Voices", exported).ok);
    expectValid(exported);
    {
        // The export writes both voices again, voice 2 after a backup.
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_file(exported.c_str()));
        int second = 0;
        for (pugi::xml_node m : doc.child("score-partwise").child("part").children("measure"))
            for (pugi::xml_node note : m.children("note"))
                second += std::string(note.child_value("voice")) == "2" && note.child("pitch") ? 1 : 0;
        EXPECT_EQ(second, 7);
    }

    REQUIRE_MUSESCORE();
    // MuseScore's playing of the original file is the imported sheet's MIDI file.
    const std::string ours = tmp.path("two-voices.mid");
    ASSERT_TRUE(writeMidiFile(sheet, ours).ok);
    const std::string theirs = tmp.path("two-voices-in-musescore.mid");
    std::string log;
    ASSERT_TRUE(museScoreMidi(original, theirs, log)) << log;
    std::string problem;
    const auto a = playedNotes(ours, problem);
    const auto b = playedNotes(theirs, problem);
    ASSERT_TRUE(problem.empty()) << problem;
    EXPECT_EQ(a.size(), 12u);
    expectSameNotes(a, b, "two voices imported");
    // And its playing of the export.
    expectMuseScorePlaysTheSheet(sheet, "two-voices-again");
}

} // namespace
} // namespace tonvela
