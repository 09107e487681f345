#include "interchange/musicxml_export.h"
#include "interchange/musicxml_import.h"
#include "interchange/musicxml_import_model.h"
#include "interchange/mxl_container_read.h"
#include "left_out_names_score.h"
#include "platform/atomic_file.h"
#include "playback/midi_file_writer.h"
#include "score/note_pitch.h"
#include "score/play_walk.h"
#include "score/sheet_document.h"
#include "score/sounding_pitch.h"
#include "score/tie_rule.h"
#include "score/track.h"
#include "score/voices.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace tonvela {
namespace {

// A score-partwise document around the given parts; `parts` holds (name, measures XML) pairs,
// `instrument` the XML put into every score-part.
std::string scoreXml(const std::vector<std::pair<std::string, std::string>>& parts,
                     const std::string& instrument = "")
{
    std::string list, body;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string id = "P" + std::to_string(i + 1);
        list += "<score-part id=\"" + id + "\"><part-name>" + parts[i].first + "</part-name>" + instrument +
                "</score-part>";
        body += "<part id=\"" + id + "\">" + parts[i].second + "</part>";
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE score-partwise PUBLIC \"-//Recordare//DTD MusicXML 4.0 Partwise//EN\" "
           "\"http://www.musicxml.org/dtds/partwise.dtd\">\n"
           "<score-partwise version=\"4.0\"><part-list>" +
           list + "</part-list>" + body + "</score-partwise>";
}

std::string attributes(const std::string& clef, int fifths = 0, const std::string& time = "4/4")
{
    const auto slash = time.find('/');
    return "<attributes><divisions>4</divisions><key><fifths>" + std::to_string(fifths) +
           "</fifths></key><time><beats>" + time.substr(0, slash) + "</beats><beat-type>" +
           time.substr(slash + 1) + "</beat-type></time>" + clef + "</attributes>";
}

const std::string kTreble8 =
    "<clef><sign>G</sign><line>2</line><clef-octave-change>-1</clef-octave-change></clef>";
const std::string kTreble = "<clef><sign>G</sign><line>2</line></clef>";
const std::string kBass = "<clef><sign>F</sign><line>4</line></clef>";

// A pitched note; `extra` goes inside the element after the pitch.
std::string note(const std::string& step, int octave, int duration, const std::string& type,
                 const std::string& extra = "", int alter = 0)
{
    std::string pitch = "<pitch><step>" + step + "</step>";
    if (alter != 0)
        pitch += "<alter>" + std::to_string(alter) + "</alter>";
    pitch += "<octave>" + std::to_string(octave) + "</octave></pitch>";
    return "<note>" + pitch + "<duration>" + std::to_string(duration) + "</duration>" + extra + "<type>" +
           type + "</type></note>";
}

std::string rest(int duration, const std::string& type)
{
    return "<note><rest/><duration>" + std::to_string(duration) + "</duration><type>" + type +
           "</type></note>";
}

std::string measure(int number, const std::string& content)
{
    return "<measure number=\"" + std::to_string(number) + "\">" + content + "</measure>";
}

struct Imported {
    LoadResult result;
    std::unique_ptr<SheetDocument> sheet = std::make_unique<SheetDocument>();
};

Imported import(const std::string& data)
{
    Imported i;
    i.result = importMusicXmlData(data, *i.sheet);
    return i;
}

// The sounding keys of a track's notes that sound, in order (chord members after their root).
std::vector<int> soundingKeys(const Track& t)
{
    std::vector<int> keys;
    for (int i = 0; i < t.count; ++i) {
        const Note& n = t.noteAt(i);
        if (isDurationType(n.type) && !n.isRest())
            keys.push_back(soundingPitch(n, t));
    }
    return keys;
}

// The sounding keys of the notes that playback strikes: those of a chord whose root a tie holds
// on from the root before are not struck again. `again` takes the keys of the tied notes struck
// again because a Bar note stands between two tied chords.
std::vector<int> struckKeys(const Track& t, std::vector<int>& again)
{
    std::vector<int> keys;
    int held = -1;   // the root that a tie holds on from the root before
    int parted = -1; // the root that a Bar note parts from the tied root before
    // Each voice ties its own notes; bar lines belong to voice 1.
    int previous[2] = {-1, -1};
    for (int i = 0, beforeBar = -1; i < t.count; ++i) {
        const Note& n = t.noteAt(i);
        if (n.chordparent == -1) {
            const bool second = voiceOf(t, i) == kVoice2;
            int& prev = previous[second ? 1 : 0];
            held = prev >= 0 && tieMerges(t.noteAt(prev), n) ? i : -1;
            parted = !second && prev >= 0 && t.noteAt(prev).type == kTypeBar && beforeBar >= 0 &&
                             tieMerges(t.noteAt(beforeBar), n)
                         ? i
                         : -1;
            if (!second)
                beforeBar = n.type == kTypeBar ? prev : -1;
            prev = i;
        }
        if (!isDurationType(n.type) || n.isRest() || (held >= 0 && (i == held || n.chordparent == held)))
            continue;
        keys.push_back(soundingPitch(n, t));
        if (parted >= 0 && (i == parted || (n.chordparent == parted && (n.dwFlag & kFlagTie))))
            again.push_back(keys.back());
    }
    return keys;
}

std::vector<int> struckKeysOf(const Track& t)
{
    std::vector<int> again;
    return struckKeys(t, again);
}

// What playback strikes, in time order: (start, key, how long it sounds, voice).
struct Struck {
    Ticks start;
    int key;
    Ticks held;
    int voice;
    friend bool operator==(const Struck&, const Struck&) = default;
    friend bool operator<(const Struck& a, const Struck& b)
    {
        return std::tie(a.start, a.key, a.voice) < std::tie(b.start, b.key, b.voice);
    }
    friend std::ostream& operator<<(std::ostream& o, const Struck& s)
    {
        return o << "{" << s.start << ", " << s.key << ", " << s.held << ", v" << s.voice << "}";
    }
};

std::vector<Struck> struckInTime(const Track& t)
{
    std::vector<Struck> out;
    PlayWalk walk(t);
    while (const auto step = walk.next())
        forEachPlayedNote(t, *step, [&](const PlayedNote& p) {
            if (!p.rest)
                out.push_back({step->start + p.offset, soundingPitch(t.noteAt(p.index), t), p.held,
                               voiceOf(t, p.index)});
        });
    std::sort(out.begin(), out.end());
    return out;
}

std::string allWarnings(const LoadResult& r)
{
    std::string text;
    for (const auto& w : r.warnings)
        text += w + "\n";
    return text;
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// A zip archive with the given (name, content) entries, written by libzip.
std::string zipOf(const std::vector<std::pair<std::string, std::string>>& entries)
{
    const auto path =
        std::filesystem::temp_directory_path() /
        ("tonvela-mxl-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
         std::to_string(entries.size()) + ".zip");
    std::filesystem::remove(path);
    int err = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    EXPECT_NE(z, nullptr);
    for (const auto& [name, content] : entries) {
        zip_source_t* s = zip_source_buffer(z, content.data(), content.size(), 0);
        zip_file_add(z, name.c_str(), s, ZIP_FL_OVERWRITE);
    }
    zip_close(z);
    std::string bytes;
    EXPECT_TRUE(readWholeFile(path.string(), bytes, 64u * 1024 * 1024).ok);
    std::filesystem::remove(path);
    return bytes;
}

std::string container(const std::string& rootPath)
{
    return "<?xml version=\"1.0\"?><container><rootfiles><rootfile full-path=\"" + rootPath +
           "\" media-type=\"application/vnd.recordare.musicxml+xml\"/></rootfiles></container>";
}

// ---------------------------------------------------------------------------------------------
// Pitches and clefs

TEST(MusicXmlImportPitch, OctaveTrebleIsTheGClefShowingTheWrittenNoteAnOctaveAboveItsSound)
{
    const auto i =
        import(scoreXml({{"Guitar", measure(1, attributes(kTreble8) + note("C", 4, 4, "quarter") +
                                                   note("E", 2, 4, "quarter") + note("G", 3, 8, "half"))}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    const Track& t = *i.sheet->trackAt(0);
    EXPECT_EQ(staffKindOf(t), StaffKind::GClef);
    EXPECT_EQ(soundingKeys(t), (std::vector<int>{60, 40, 55}));
    // Middle C sounding is written as the C an octave up: the G clef's position 0.
    EXPECT_EQ(t.noteAt(0).line, 0);
    EXPECT_EQ(t.name, "Guitar");
}

TEST(MusicXmlImportPitch, PlainTrebleIsTheG2ClefAndBassTheFClefSoundingAsWritten)
{
    const auto i = import(scoreXml({{"Flute", measure(1, attributes(kTreble) + note("C", 5, 16, "whole"))},
                                    {"Cello", measure(1, attributes(kBass) + note("A", 3, 16, "whole"))}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    const Track& flute = *i.sheet->trackAt(0);
    const Track& cello = *i.sheet->trackAt(1);
    EXPECT_EQ(staffKindOf(flute), StaffKind::G2Clef);
    EXPECT_EQ(soundingKeys(flute), std::vector<int>{72});
    EXPECT_EQ(flute.noteAt(0).line, 0); // C5 in the third space
    EXPECT_EQ(staffKindOf(cello), StaffKind::FClef);
    EXPECT_EQ(soundingKeys(cello), std::vector<int>{57});
    EXPECT_EQ(cello.noteAt(0).line, -3); // A3 on the top line of the bass staff
}

TEST(MusicXmlImportPitch, KeySignatureAndAccidentalsSoundTheFilesPitches)
{
    // G major: F sharp needs no mark; a written F natural and a B flat need theirs.
    const std::string m = attributes(kTreble8, 1) + note("F", 4, 4, "quarter", "", 1) +
                          note("F", 4, 4, "quarter", "<accidental>natural</accidental>") +
                          note("B", 3, 4, "quarter", "<accidental>flat</accidental>", -1) +
                          note("C", 4, 4, "quarter", "<accidental>sharp</accidental>", 1);
    const auto i = import(scoreXml({{"P", measure(1, m)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    const Track& t = *i.sheet->trackAt(0);
    EXPECT_EQ(t.keyindex, 6); // G major
    EXPECT_EQ(soundingKeys(t), (std::vector<int>{66, 65, 58, 61}));
    EXPECT_EQ(t.noteAt(0).dwFlag & (kFlagSharp | kFlagNatural), 0);
    EXPECT_NE(t.noteAt(1).dwFlag & kFlagNatural, 0);
    EXPECT_NE(t.noteAt(2).dwFlag & kFlagFlat, 0);
    EXPECT_NE(t.noteAt(3).dwFlag & kFlagSharp, 0);
}

TEST(MusicXmlImportPitch, FlatKeysAndDoubleAccidentalsSoundRight)
{
    const std::string m = attributes(kTreble, -3) + note("E", 5, 4, "quarter", "", -1) +
                          note("A", 4, 4, "quarter", "", -1) + note("F", 5, 4, "quarter", "", 2) +
                          note("B", 4, 4, "quarter", "", -2);
    const auto i = import(scoreXml({{"P", measure(1, m)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    EXPECT_EQ(i.sheet->trackAt(0)->keyindex, 10); // E flat major
    EXPECT_EQ(soundingKeys(*i.sheet->trackAt(0)), (std::vector<int>{75, 68, 79, 69}));
}

TEST(MusicXmlImportPitch, TransposingPartsSoundTheirConcertPitchWithAWarning)
{
    const std::string clarinet = "<attributes><divisions>1</divisions><transpose><diatonic>-1</diatonic>"
                                 "<chromatic>-2</chromatic></transpose>" +
                                 kTreble + "</attributes>" + note("D", 5, 4, "whole");
    // A part written an octave above its sound with a plain treble clef: the sheet's G clef.
    const std::string guitar = "<attributes><divisions>1</divisions><transpose><diatonic>-7</diatonic>"
                               "<chromatic>-12</chromatic></transpose>" +
                               kTreble + "</attributes>" + note("E", 4, 4, "whole");
    const auto i = import(scoreXml({{"Clarinet", measure(1, clarinet)}, {"Guitar", measure(1, guitar)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    EXPECT_EQ(soundingKeys(*i.sheet->trackAt(0)), std::vector<int>{72});
    EXPECT_EQ(staffKindOf(*i.sheet->trackAt(1)), StaffKind::GClef);
    EXPECT_EQ(soundingKeys(*i.sheet->trackAt(1)), std::vector<int>{52});
    EXPECT_EQ(i.sheet->trackAt(1)->noteAt(0).line, 5); // written E4 on the bottom line, as the file shows it
    EXPECT_TRUE(contains(allWarnings(i.result), "transposing parts (written at sounding pitch) (1)"))
        << allWarnings(i.result);
}

TEST(MusicXmlImportPitch, PercussionAndTabStavesAndProgramsComeFromThePart)
{
    const std::string drums = "<attributes><divisions>1</divisions><clef><sign>percussion</sign></clef>"
                              "</attributes><note><unpitched><display-step>C</display-step><display-octave>5"
                              "</display-octave></unpitched><duration>4</duration><instrument id=\"P1-I37\"/>"
                              "<type>whole</type></note>";
    const std::string instrument = "<score-instrument id=\"P1-I37\"><instrument-name>Snare</instrument-name>"
                                   "</score-instrument><midi-instrument id=\"P1-I37\"><midi-channel>10"
                                   "</midi-channel><midi-program>1</midi-program><midi-unpitched>39"
                                   "</midi-unpitched></midi-instrument>";
    const auto d = import(scoreXml({{"Drums", measure(1, drums)}}, instrument));
    ASSERT_TRUE(d.result.ok()) << d.result.error;
    const Track& drumTrack = *d.sheet->trackAt(0);
    EXPECT_TRUE(drumTrack.percussive);
    EXPECT_EQ(soundingKeys(drumTrack), std::vector<int>{38}); // midi-unpitched counts from 1
    EXPECT_EQ(drumTrack.drumKey, 38);

    const std::string tab = "<attributes><divisions>1</divisions><clef><sign>TAB</sign><line>5</line></clef>"
                            "</attributes>" +
                            note("E", 3, 4, "whole",
                                 "<notations><technical><string>4</string><fret>2</fret>"
                                 "</technical></notations>");
    const auto t = import(scoreXml({{"Tab", measure(1, tab)}}, "<midi-instrument id=\"I\"><midi-program>26"
                                                               "</midi-program></midi-instrument>"));
    ASSERT_TRUE(t.result.ok()) << t.result.error;
    EXPECT_EQ(staffKindOf(*t.sheet->trackAt(0)), StaffKind::Tablature);
    EXPECT_EQ(t.sheet->trackAt(0)->iid, 25);
    EXPECT_EQ(t.sheet->trackAt(0)->noteAt(0).iid, 25);
    EXPECT_EQ(soundingKeys(*t.sheet->trackAt(0)), std::vector<int>{52});
    EXPECT_TRUE(t.result.warnings.empty()) << allWarnings(t.result); // string and fret are the TAB's own
}

TEST(MusicXmlImportStaves, ATabStaffKeepsItsTuningAndCapoSoEveryFretReadsAsInTheFile)
{
    // A study in DADGBD with a capo at 1: each note names its string and fret on those strings.
    std::string details = "<staff-details><staff-lines>6</staff-lines>";
    const char* steps[6] = {"D", "A", "D", "G", "B", "D"};
    const int octaves[6] = {2, 2, 3, 3, 3, 4};
    for (int line = 1; line <= 6; ++line)
        details += "<staff-tuning line=\"" + std::to_string(line) + "\"><tuning-step>" + steps[line - 1] +
                   "</tuning-step><tuning-octave>" + std::to_string(octaves[line - 1]) +
                   "</tuning-octave></staff-tuning>";
    details += "<capo>1</capo></staff-details>";
    struct Fretted {
        const char* step;
        int alter, octave, string, fret;
    };
    // Sounding pitches: the open string with the capo plus the fret.
    const Fretted notes[] = {
        {"D", 1, 2, 6, 0}, {"F", 0, 2, 6, 2}, {"G", 0, 4, 1, 4}, {"C", 0, 4, 2, 0}, {"A", 0, 3, 3, 1}};
    std::string m = "<attributes><divisions>1</divisions><clef><sign>TAB</sign><line>5</line></clef>" +
                    details + "</attributes>";
    std::string m2;
    for (const Fretted& f : notes)
        (&f == &notes[4] ? m2 : m) +=
            note(f.step, f.octave, 1, "quarter",
                 "<notations><technical><string>" + std::to_string(f.string) + "</string><fret>" +
                     std::to_string(f.fret) + "</fret></technical></notations>",
                 f.alter);
    m2 += rest(1, "quarter") + rest(2, "half");
    const auto t = import(scoreXml({{"Guitar", measure(1, m) + measure(2, m2)}}));
    ASSERT_TRUE(t.result.ok()) << t.result.error;
    const Track& track = *t.sheet->trackAt(0);
    ASSERT_EQ(staffKindOf(track), StaffKind::Tablature);
    EXPECT_EQ(track.tuning.strings, (std::array<int, 6>{62, 59, 55, 50, 45, 38}));
    EXPECT_EQ(track.tuning.capo, 1);
    EXPECT_TRUE(t.result.warnings.empty()) << allWarnings(t.result);
    int k = 0;
    for (int i = 0; i < track.count && k < 5; ++i) {
        const Note& n = track.noteAt(i);
        if (!isDurationType(n.type) || n.isRest())
            continue;
        const GuitarPosition p = guitarPositionOfNote(n, track.tuning);
        EXPECT_EQ(p.stringIndex + 1, notes[k].string) << "note " << k;
        EXPECT_EQ(p.fret, notes[k].fret) << "note " << k;
        ++k;
    }
    EXPECT_EQ(k, 5);

    // Strings the sheet cannot hold (a four-string bass) keep the guitar's and say so.
    std::string bass = "<staff-details><staff-lines>4</staff-lines>";
    for (int line = 1; line <= 4; ++line)
        bass += "<staff-tuning line=\"" + std::to_string(line) + "\"><tuning-step>" + "EADG"[line - 1] +
                std::string("</tuning-step><tuning-octave>1</tuning-octave></staff-tuning>");
    bass += "</staff-details>";
    const auto b = import(scoreXml(
        {{"Bass",
          measure(1, "<attributes><divisions>1</divisions><clef><sign>TAB</sign><line>5</line></clef>" +
                         bass + "</attributes>" + note("A", 2, 4, "whole"))}}));
    ASSERT_TRUE(b.result.ok()) << b.result.error;
    EXPECT_TRUE(b.sheet->trackAt(0)->tuning.isStandard());
    EXPECT_NE(allWarnings(b.result).find("tablature tunings"), std::string::npos) << allWarnings(b.result);
}

// ---------------------------------------------------------------------------------------------
// Lengths, chords, rests, ties, lyrics

TEST(MusicXmlImportRhythm, TypesDotsTripletsAndLengthsWithoutATypeBecomeTheSheetsLengths)
{
    const std::string triplet =
        "<time-modification><actual-notes>3</actual-notes><normal-notes>2</normal-notes>"
        "</time-modification>";
    // divisions 12: a triplet eighth lasts 4.
    const std::string m =
        "<attributes><divisions>12</divisions>" + kTreble8 + "</attributes>" + note("C", 4, 12, "quarter") +
        "<note><pitch><step>D</step><octave>4</octave></pitch><duration>18</duration>"
        "<type>quarter</type><dot/></note>" +
        "<note><pitch><step>E</step><octave>4</octave></pitch><duration>4</duration>" + triplet +
        "<type>eighth</type></note>" +
        "<note><pitch><step>F</step><octave>4</octave></pitch><duration>4</duration>" + triplet +
        "<type>eighth</type></note>" +
        "<note><pitch><step>G</step><octave>4</octave></pitch><duration>4</duration>" + triplet +
        "<type>eighth</type></note>" +
        "<note><pitch><step>A</step><octave>4</octave></pitch><duration>3</duration></note>";
    const auto i = import(scoreXml({{"P", measure(1, m)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    const Track& t = *i.sheet->trackAt(0);
    ASSERT_GE(t.count, 6);
    EXPECT_EQ(t.noteAt(0).type, kTypeQuarter);
    EXPECT_EQ(t.noteAt(1).type, kTypeQuarter);
    EXPECT_TRUE(t.noteAt(1).isDotted());
    for (int k = 2; k < 5; ++k) {
        EXPECT_EQ(t.noteAt(k).type, kTypeEighth) << k;
        EXPECT_NE(t.noteAt(k).dwFlag & kFlagTriplet, 0) << k;
    }
    EXPECT_EQ(t.noteAt(5).type, kTypeSixteenth); // 3/12 of a quarter, no <type>
    EXPECT_EQ(t.noteAt(5).dwFlag & kFlagTriplet, 0);
    // The triplets keep the file's time: the sixteenth after them starts half way through beat
    // 4 (2.5 beats of quarter and dotted quarter, one beat of triplets), and nothing is said
    // about them.
    EXPECT_EQ(allWarnings(i.result).find("triplet"), std::string::npos) << allWarnings(i.result);
    Ticks at = 0;
    for (int k = 0; k < 5; ++k)
        at += lengthTicks(t.noteAt(k));
    EXPECT_EQ(at, 7 * kQuarterTicks / 2);
}

TEST(MusicXmlImportRhythm, ChordsRestsTiesAndLyricsAreKept)
{
    const std::string m =
        attributes(kTreble8) +
        note("C", 4, 4, "quarter",
             "<tie type=\"start\"/><lyric number=\"1\"><syllabic>begin</syllabic><text>Hal</text>"
             "</lyric><lyric number=\"2\"><text>Oh</text></lyric>") +
        note("C", 4, 4, "quarter", "<tie type=\"stop\"/>") +
        "<note><chord/><pitch><step>E</step><octave>4</octave></pitch><duration>4</duration>"
        "<type>quarter</type></note>" +
        rest(8, "half");
    const auto i = import(scoreXml({{"P", measure(1, m)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    const Track& t = *i.sheet->trackAt(0);
    ASSERT_EQ(t.count, 4);
    // Both ends of the tie carry the sheet's tie mark; the rest after them does not.
    EXPECT_NE(t.noteAt(0).dwFlag & kFlagTie, 0);
    EXPECT_NE(t.noteAt(1).dwFlag & kFlagTie, 0);
    EXPECT_EQ(t.noteAt(3).dwFlag & kFlagTie, 0);
    EXPECT_EQ(t.noteAt(0).lyrictext().value_or(""), "Hal-"); // the first syllable of a word
    EXPECT_EQ(t.noteAt(2).chordparent, 1);
    EXPECT_EQ(t.noteAt(1).childCount, 1);
    EXPECT_TRUE(t.noteAt(3).isRest());
    EXPECT_EQ(t.noteAt(3).type, kTypeHalf);
    EXPECT_EQ(soundingKeys(t), (std::vector<int>{60, 60, 64}));
    EXPECT_TRUE(contains(allWarnings(i.result), "lyric verses beyond the first (1)"))
        << allWarnings(i.result);
}

TEST(MusicXmlImportRhythm, TwoTiesThatMeetAreNamedAsJoined)
{
    const std::string m = attributes(kTreble8) + note("C", 4, 4, "quarter", "<tie type=\"start\"/>") +
                          note("C", 4, 4, "quarter", "<tie type=\"stop\"/>") +
                          note("C", 4, 4, "quarter", "<tie type=\"start\"/>") +
                          note("C", 4, 4, "quarter", "<tie type=\"stop\"/>");
    const auto i = import(scoreXml({{"P", measure(1, m)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    EXPECT_TRUE(contains(allWarnings(i.result), "notes the sheet ties though the file does not (1)"))
        << allWarnings(i.result);
    // One tie alone is kept as it is, without a warning.
    const auto one = import(
        scoreXml({{"P", measure(1, attributes(kTreble8) + note("C", 4, 8, "half", "<tie type=\"start\"/>") +
                                       note("C", 4, 8, "half", "<tie type=\"stop\"/>"))}}));
    EXPECT_TRUE(one.result.warnings.empty()) << allWarnings(one.result);
}

TEST(MusicXmlImportRhythm, GapsOfTheFirstVoiceAndWholeMeasureRestsBecomeRests)
{
    // 3/4: a measure rest without a type, then a quarter, a gap of a half (forward).
    const std::string m1 = attributes(kTreble8, 0, "3/4") +
                           "<note><rest measure=\"yes\"/><duration>12</duration><voice>1</voice></note>";
    const std::string m2 =
        note("G", 4, 4, "quarter", "<voice>1</voice>") + "<forward><duration>8</duration></forward>";
    const std::string m3 = note("A", 4, 12, "half", "<voice>1</voice><dot/>");
    const auto i = import(scoreXml({{"P", measure(1, m1) + measure(2, m2) + measure(3, m3)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    const Track& t = *i.sheet->trackAt(0);
    EXPECT_EQ(i.sheet->timesig, kTimeSig34);
    ASSERT_EQ(t.count, 4);
    EXPECT_TRUE(t.noteAt(0).isRest());
    EXPECT_EQ(t.noteAt(0).type, kTypeHalf);
    EXPECT_TRUE(t.noteAt(0).isDotted());
    EXPECT_FALSE(t.noteAt(1).isRest());
    EXPECT_TRUE(t.noteAt(2).isRest());
    EXPECT_EQ(t.noteAt(2).type, kTypeHalf);
    // So the sheet's measures are the file's: the A opens measure 3.
    Track& mutableTrack = *i.sheet->trackAt(0);
    mutableTrack.divideIntoMeasures();
    EXPECT_EQ(mutableTrack.measureDivision().measureOf(3), 3);
}

TEST(MusicXmlImportRhythm, TempoTimeSignatureBarLinesAndChangesTheSheetCannotHold)
{
    const std::string m1 = attributes(kTreble8, 0, "2/4") +
                           "<direction><direction-type><metronome><beat-unit>quarter</beat-unit><per-minute>"
                           "96</per-minute></metronome></direction-type><sound tempo=\"96\"/></direction>" +
                           note("C", 4, 8, "half") +
                           "<barline location=\"right\"><bar-style>light-light"
                           "</bar-style></barline>";
    const std::string m2 = "<attributes><time><beats>3</beats><beat-type>4</beat-type></time><key><fifths>2"
                           "</fifths></key></attributes><direction><direction-type><dynamics><f/></dynamics>"
                           "</direction-type><sound tempo=\"60\"/></direction>" +
                           note("D", 4, 12, "half", "<dot/>");
    const auto i = import(scoreXml({{"P", measure(1, m1) + measure(2, m2)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    const Track& t = *i.sheet->trackAt(0);
    EXPECT_EQ(t.tempo, 96);
    EXPECT_EQ(i.sheet->timesig, kTimeSig24);
    EXPECT_EQ(t.timeSig, kTimeSig24);
    // The file's double bar, and a bar closing the 3/4 measure the 2/4 sheet cannot count.
    ASSERT_EQ(t.count, 4);
    EXPECT_EQ(t.noteAt(1).type, kTypeBar);
    EXPECT_EQ(t.noteAt(3).type, kTypeBar);
    EXPECT_EQ(soundingKeys(t), (std::vector<int>{60, 62}));
    // Everything left out is listed in one warning, with counts.
    ASSERT_EQ(i.result.warnings.size(), 1u);
    const std::string w = i.result.warnings[0];
    EXPECT_TRUE(contains(w, "time signature changes (1)")) << w;
    EXPECT_TRUE(contains(w, "key signature changes (1)")) << w;
    EXPECT_TRUE(contains(w, "tempo changes (1)")) << w;
    EXPECT_TRUE(contains(w, "dynamics (1)")) << w;
}

TEST(MusicXmlImportTexts, LyricsAndNamesAreUtf8CutOnACharacterBoundaryAndExportWellFormed)
{
    const std::string e = "\xC3\xA9";
    const std::string m =
        attributes(kTreble) +
        note("C", 4, 4, "quarter", "<lyric><text>" + std::string(126, 'a') + e + "bc</text></lyric>") +
        note("D", 4, 4, "quarter", "<lyric><text>Caf\xE9</text></lyric>") + rest(8, "half");
    const auto i =
        import(scoreXml({{std::string(62, 'p') + e + "x", measure(1, m)}, {"Pi\xE9no", measure(1, m)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    const Track& t = *i.sheet->trackAt(0);
    EXPECT_EQ(t.noteAt(0).lyrictext().value_or(""), std::string(126, 'a'));
    EXPECT_EQ(t.noteAt(1).lyrictext().value_or(""), "Caf\xEF\xBF\xBD");
    EXPECT_EQ(t.name, std::string(62, 'p'));
    EXPECT_EQ(i.sheet->trackAt(1)->name, "Pi\xEF\xBF\xBDno");
    EXPECT_TRUE(contains(allWarnings(i.result), "lyrics longer than 127 characters (cut)"))
        << allWarnings(i.result);

    // The export of the imported sheet is well-formed UTF-8 to another reader.
    std::string xml;
    std::string error;
    ASSERT_TRUE(musicXmlText(*i.sheet, "Texts", xml, error)) << error;
    if (std::system("xmllint --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xmllint is missing";
    const std::string path = (std::filesystem::temp_directory_path() / "tonvela-texts.musicxml").string();
    ASSERT_TRUE(writeFileAtomically(path, xml));
    EXPECT_EQ(std::system(("xmllint --noout --nonet '" + path + "'").c_str()), 0);
    std::filesystem::remove(path);
}

TEST(MusicXmlImportTexts, TenThousandDistinctLeftOutNamesMakeOneShortWarningWithCountsByKind)
{
    const auto i = import(testing::scoreWithDistinctLeftOutNames(10000, 2000));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    int notes = 0;
    const Track& t = *i.sheet->trackAt(0);
    for (int n = 0; n < t.count; ++n)
        notes += isDurationType(t.noteAt(n).type) ? 1 : 0;
    EXPECT_EQ(notes, 10000) << "every note is kept";
    ASSERT_EQ(i.result.warnings.size(), 1u);
    const std::string& w = i.result.warnings[0];
    EXPECT_LT(w.size(), 4000u) << "the names of the file do not make the warning grow";
    EXPECT_EQ(w.find(std::string(100, 'x')), std::string::npos) << "names from the file are cut";
    // The kinds beyond the first ones are counted together, so every note is still counted.
    const auto other = w.find("other elements (");
    ASSERT_NE(other, std::string::npos) << w.substr(0, 400);
    const int rest = std::atoi(w.c_str() + other + std::string("other elements (").size());
    EXPECT_EQ(rest, 10000 - static_cast<int>(musicxml::kMaxLeftOutKinds) + 1) << w.substr(0, 400);
}

TEST(MusicXmlImportRhythm, APickupMeasureIsTheSheetsPickupSoTheLaterMeasuresBeginWhereTheFilesDo)
{
    const std::string pickup = "<measure number=\"0\" implicit=\"yes\">" + attributes(kTreble8) +
                               note("G", 3, 4, "quarter") + "</measure>";
    const std::string quarters = note("C", 4, 4, "quarter") + note("D", 4, 4, "quarter") +
                                 note("E", 4, 4, "quarter") + note("F", 4, 4, "quarter");
    const auto i =
        import(scoreXml({{"P", pickup + measure(1, quarters) + measure(2, note("G", 4, 16, "whole"))}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    Track& t = *i.sheet->trackAt(0);
    // The sheet holds the pickup itself: no Bar note is needed to keep the count.
    ASSERT_EQ(t.count, 6);
    EXPECT_EQ(t.pickupTicks, kQuarterTicks);
    t.divideIntoMeasures();
    // C to F share a measure, and the G opens the next, as in the file.
    const MeasureDivision& d = t.measureDivision();
    EXPECT_EQ(d.measureOf(4), d.measureOf(1));
    EXPECT_EQ(d.measureOf(1), d.measureOf(0) + 1);
    EXPECT_EQ(d.measureOf(5), d.measureOf(4) + 1);
}

TEST(MusicXmlImportRhythm, GraceNotesSlursAndShortLengthsAreListedInOneWarning)
{
    const std::string m = attributes(kTreble8) +
                          "<note><grace/><pitch><step>D</step><octave>4</octave></pitch>"
                          "<type>eighth</type></note>" +
                          note("C", 4, 4, "quarter", "<notations><slur type=\"start\"/></notations>") +
                          note("D", 4, 4, "quarter", "<notations><slur type=\"stop\"/></notations>") +
                          "<note><pitch><step>E</step><octave>4</octave></pitch><duration>1</duration>"
                          "<type>64th</type></note>" +
                          rest(7, "half");
    const auto i = import(scoreXml({{"P", measure(1, m)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    ASSERT_EQ(i.result.warnings.size(), 1u) << allWarnings(i.result);
    const std::string w = i.result.warnings[0];
    EXPECT_TRUE(contains(w, "grace notes (1)")) << w;
    EXPECT_TRUE(contains(w, "slurs (1)")) << w;
    EXPECT_TRUE(contains(w, "shorter than a thirty-second")) << w;
    EXPECT_EQ(soundingKeys(*i.sheet->trackAt(0)), (std::vector<int>{60, 62, 64}));
}

// ---------------------------------------------------------------------------------------------
// Notes tied over bar lines

// A note of the given voice, for scores with a second voice.
std::string voiced(const std::string& step, int octave, int duration, const std::string& type, int voice,
                   const std::string& extra = "", bool chord = false)
{
    return "<note>" + std::string(chord ? "<chord/>" : "") + "<pitch><step>" + step + "</step><octave>" +
           std::to_string(octave) + "</octave></pitch><duration>" + std::to_string(duration) + "</duration>" +
           extra + "<voice>" + std::to_string(voice) + "</voice><type>" + type + "</type></note>";
}

const std::string kTieStart = "<tie type=\"start\"/>";
const std::string kTieStop = "<tie type=\"stop\"/>";
const std::string kTieBoth = "<tie type=\"stop\"/><tie type=\"start\"/>";

TEST(MusicXmlImportTies, ANoteSplitAtABarLineIsOneNoteAgainAndStaysApartFromTheNextTiedNote)
{
    // A quarter split into two eighths over the bar line, then a whole note of the same pitch
    // written as a dotted half and two eighths, the last one over the next bar line.
    const std::string m1 = attributes(kTreble8) + note("D", 4, 8, "half") + note("D", 4, 4, "quarter") +
                           note("E", 4, 2, "eighth") + note("C", 4, 2, "eighth", kTieStart);
    const std::string m2 = note("C", 4, 2, "eighth", kTieStop) +
                           note("C", 4, 12, "half", kTieStart + "<dot/>") +
                           note("C", 4, 2, "eighth", kTieBoth);
    const std::string m3 =
        note("C", 4, 2, "eighth", kTieStop) + rest(2, "eighth") + rest(4, "quarter") + rest(8, "half");
    const auto i = import(scoreXml({{"P", measure(1, m1) + measure(2, m2) + measure(3, m3)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    const Track& t = *i.sheet->trackAt(0);
    ASSERT_GE(t.count, 6);
    EXPECT_EQ(t.noteAt(3).type, kTypeQuarter);
    EXPECT_EQ(t.noteAt(4).type, kTypeWhole);
    EXPECT_FALSE(t.noteAt(4).isDotted());
    for (int k : {3, 4})
        EXPECT_EQ(t.noteAt(k).dwFlag & kFlagTie, 0) << k;
    // The rests after the whole note follow it without a gap.
    EXPECT_TRUE(t.noteAt(5).isRest());
    EXPECT_EQ(t.noteAt(5).type, kTypeEighth);
    EXPECT_EQ(struckKeysOf(t), (std::vector<int>{62, 62, 64, 60, 60}));
    EXPECT_FALSE(contains(allWarnings(i.result), "ties though the file does not")) << allWarnings(i.result);
}

TEST(MusicXmlImportTies, ChordsAndSecondVoiceNotesSplitAtABarLineKeepTheirWholeLength)
{
    // A half chord split over the bar line; then a quarter whose second-voice half, split over
    // the next bar line, sounds with it while the next measure's whole note starts alone.
    const std::string m1 = attributes(kTreble8) + note("D", 4, 12, "half", "<dot/>") +
                           voiced("C", 4, 4, "quarter", 1, kTieStart) +
                           voiced("E", 4, 4, "quarter", 1, kTieStart, true) +
                           voiced("G", 4, 4, "quarter", 1, kTieStart, true);
    const std::string m2 = voiced("C", 4, 4, "quarter", 1, kTieStop) +
                           voiced("E", 4, 4, "quarter", 1, kTieStop, true) +
                           voiced("G", 4, 4, "quarter", 1, kTieStop, true) + voiced("D", 4, 8, "half", 1) +
                           voiced("A", 3, 4, "quarter", 1) + "<backup><duration>4</duration></backup>" +
                           voiced("F", 4, 4, "quarter", 2, kTieStart);
    const std::string m3 = voiced("B", 3, 16, "whole", 1) + "<backup><duration>16</duration></backup>" +
                           voiced("F", 4, 4, "quarter", 2, kTieStop) +
                           "<forward><duration>12</duration></forward>";
    const auto i = import(scoreXml({{"P", measure(1, m1) + measure(2, m2) + measure(3, m3)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    const Track& t = *i.sheet->trackAt(0);
    ASSERT_EQ(t.count, 9);
    for (int k = 1; k < 4; ++k) {
        EXPECT_EQ(t.noteAt(k).type, kTypeHalf) << k;
        EXPECT_EQ(t.noteAt(k).dwFlag & kFlagTie, 0) << k;
    }
    EXPECT_EQ(t.noteAt(2).chordparent, 1);
    EXPECT_EQ(t.noteAt(3).chordparent, 1);
    // The second voice's two quarters are one half again, as voice 2 sounds nothing else in
    // the next measure: after a voice 2 rest that carries it from where the sheet's second
    // measure begins (after the half chord).
    EXPECT_TRUE(t.noteAt(5).isRest() && t.noteAt(5).inVoice2());
    EXPECT_TRUE(t.noteAt(7).inVoice2());
    EXPECT_EQ(t.noteAt(7).type, kTypeHalf);
    EXPECT_EQ(t.noteAt(7).dwFlag & kFlagTie, 0);
    EXPECT_EQ(t.noteAt(8).childCount, 0);
    EXPECT_EQ(t.noteAt(8).type, kTypeWhole);
    EXPECT_EQ(soundingKeys(t), (std::vector<int>{62, 60, 64, 67, 62, 57, 65, 59}));
    constexpr Ticks Q = kQuarterTicks;
    EXPECT_EQ(struckInTime(t), (std::vector<Struck>{{0, 62, 3 * Q, 1},
                                                    {3 * Q, 60, 2 * Q, 1},
                                                    {3 * Q, 64, 2 * Q, 1},
                                                    {3 * Q, 67, 2 * Q, 1},
                                                    {5 * Q, 62, 2 * Q, 1},
                                                    {7 * Q, 57, Q, 1},
                                                    {7 * Q, 65, 2 * Q, 2},
                                                    {8 * Q, 59, 4 * Q, 1}}));
    EXPECT_TRUE(i.result.warnings.empty()) << allWarnings(i.result);
}

TEST(MusicXmlImportTies, PiecesThatMakeNoSheetLengthStayTied)
{
    // An eighth tied to a dotted half over the bar line: seven eighths, no single note's length.
    const std::string m1 = attributes(kTreble8) + note("D", 4, 8, "half") +
                           note("D", 4, 6, "quarter", "<dot/>") + note("C", 4, 2, "eighth", kTieStart);
    const std::string m2 = note("C", 4, 12, "half", kTieStop + "<dot/>") + rest(4, "quarter");
    const auto i = import(scoreXml({{"P", measure(1, m1) + measure(2, m2)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    const Track& t = *i.sheet->trackAt(0);
    ASSERT_EQ(t.count, 5);
    EXPECT_EQ(t.noteAt(2).type, kTypeEighth);
    EXPECT_EQ(t.noteAt(3).type, kTypeHalf);
    EXPECT_NE(t.noteAt(2).dwFlag & t.noteAt(3).dwFlag & kFlagTie, 0);
    EXPECT_EQ(struckKeysOf(t), (std::vector<int>{62, 62, 60}));
}

TEST(MusicXmlImportTies, ABarLineUnderATieGivesWayAndAPickupBarLineIsNamed)
{
    const std::string dbl = "<barline location=\"right\"><bar-style>light-light</bar-style></barline>";
    // A double bar line under a quarter tied to a quarter, and under an eighth tied to a dotted
    // half: the tie keeps on sounding, the double bar line is named as left out.
    const std::string m1 = attributes(kTreble8) + note("D", 4, 12, "half", "<dot/>") +
                           note("C", 4, 4, "quarter", kTieStart) + dbl;
    const std::string m2 = note("C", 4, 4, "quarter", kTieStop) + note("D", 4, 8, "half") +
                           note("D", 4, 2, "eighth") + note("C", 4, 2, "eighth", kTieStart) + dbl;
    const std::string m3 = note("C", 4, 12, "half", kTieStop + "<dot/>") + rest(4, "quarter");
    const auto i = import(scoreXml({{"P", measure(1, m1) + measure(2, m2) + measure(3, m3)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    const Track& t = *i.sheet->trackAt(0);
    for (int k = 0; k < t.count; ++k)
        EXPECT_NE(t.noteAt(k).type, kTypeBar) << k;
    EXPECT_EQ(t.noteAt(1).type, kTypeHalf);
    EXPECT_EQ(struckKeysOf(t), (std::vector<int>{62, 60, 62, 62, 60}));
    EXPECT_TRUE(
        contains(allWarnings(i.result), "bar lines under a tie or a note over the bar (the tie is kept) (2)"))
        << allWarnings(i.result);

    // A pickup needs its Bar note to keep the measures' count: the tie over it is lost, and said.
    const std::string pickup = attributes(kTreble8) + note("C", 4, 4, "quarter", kTieStart);
    const std::string full = note("C", 4, 4, "quarter", kTieStop) + rest(4, "quarter") + rest(8, "half");
    const auto p = import(scoreXml({{"P", measure(0, pickup) + measure(1, full)}}));
    ASSERT_TRUE(p.result.ok()) << p.result.error;
    const Track& u = *p.sheet->trackAt(0);
    ASSERT_GE(u.count, 3);
    EXPECT_EQ(u.noteAt(1).type, kTypeBar);
    EXPECT_TRUE(
        contains(allWarnings(p.result),
                 "ties over a pickup or a change of measure length (the tied notes are struck again) (1)"))
        << allWarnings(p.result);
}

TEST(MusicXmlImportTies, ARestTooShortForTheSheetIsNamedUnlessItOnlyPadsTheLastMeasure)
{
    // divisions 16: a 64th lasts 1. The first measure's 64th rest lies between notes; the last
    // measure's only fills it up after the last note.
    const std::string head = "<attributes><divisions>16</divisions>" + kTreble8 + "</attributes>";
    const std::string m1 = head + note("C", 4, 32, "half") + note("D", 4, 31, "half") + rest(1, "64th");
    const std::string m2 = note("E", 4, 63, "whole") + rest(1, "64th");
    const auto i = import(scoreXml({{"P", measure(1, m1) + measure(2, m2)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    EXPECT_TRUE(contains(allWarnings(i.result), "durations that fit no note length (1)"))
        << allWarnings(i.result);
    EXPECT_FALSE(contains(allWarnings(i.result), "durations that fit no note length (2)"));
}

// ---------------------------------------------------------------------------------------------
// Voices, staves, parts

TEST(MusicXmlImportVoices, TheSecondVoiceIsKeptWithItsOwnRhythmNotJoinedToChords)
{
    const std::string v1 =
        note("C", 5, 8, "half", "<voice>1</voice>") + note("D", 5, 8, "half", "<voice>1</voice>");
    // Voice 2: a half with the first C, a quarter and two eighths under the D: all kept, as voice 2.
    const std::string v2 =
        note("E", 4, 8, "half", "<voice>2</voice>") + note("F", 4, 4, "quarter", "<voice>2</voice>") +
        note("G", 4, 2, "eighth", "<voice>2</voice>") + note("A", 4, 2, "eighth", "<voice>2</voice>");
    const std::string m = attributes(kTreble8) + v1 + "<backup><duration>16</duration></backup>" + v2;
    // A second measure of voice 1, so it sounds as many notes as voice 2 and, coming first, is
    // the voice the staff keeps.
    const std::string m2 =
        note("C", 5, 8, "half", "<voice>1</voice>") + note("D", 5, 8, "half", "<voice>1</voice>");
    const auto i = import(scoreXml({{"P", measure(1, m) + measure(2, m2)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    const Track& t = *i.sheet->trackAt(0);
    EXPECT_EQ(soundingKeys(t), (std::vector<int>{72, 64, 74, 65, 67, 69, 72, 74}));
    for (int k = 0; k < t.count; ++k)
        EXPECT_EQ(t.noteAt(k).chordparent, -1) << k;
    constexpr Ticks Q = kQuarterTicks;
    EXPECT_EQ(struckInTime(t), (std::vector<Struck>{{0, 64, 2 * Q, 2},
                                                    {0, 72, 2 * Q, 1},
                                                    {2 * Q, 65, Q, 2},
                                                    {2 * Q, 74, 2 * Q, 1},
                                                    {3 * Q, 67, Q / 2, 2},
                                                    {7 * Q / 2, 69, Q / 2, 2},
                                                    {4 * Q, 72, 2 * Q, 1},
                                                    {6 * Q, 74, 2 * Q, 1}}));
    EXPECT_EQ(allWarnings(i.result), "");
}

TEST(MusicXmlImportVoices, APianoPartGivesOneTrackPerStaff)
{
    const std::string m = "<attributes><divisions>1</divisions><staves>2</staves><clef number=\"1\"><sign>G"
                          "</sign><line>2</line></clef><clef number=\"2\"><sign>F</sign><line>4</line></clef>"
                          "</attributes>" +
                          note("E", 5, 4, "whole", "<voice>1</voice><staff>1</staff>") +
                          "<backup><duration>4</duration></backup>" +
                          note("C", 3, 4, "whole", "<voice>5</voice><staff>2</staff>");
    const auto i = import(scoreXml({{"Piano", measure(1, m)}}, "<midi-instrument id=\"I\"><midi-program>1"
                                                               "</midi-program></midi-instrument>"));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    ASSERT_EQ(i.sheet->trackCount(), 2);
    EXPECT_EQ(i.sheet->trackAt(0)->name, "Piano 1");
    EXPECT_EQ(i.sheet->trackAt(1)->name, "Piano 2");
    EXPECT_EQ(staffKindOf(*i.sheet->trackAt(0)), StaffKind::G2Clef);
    EXPECT_EQ(staffKindOf(*i.sheet->trackAt(1)), StaffKind::FClef);
    // The two staves of the part are joined by a brace.
    EXPECT_EQ(i.sheet->trackAt(0)->braceWithNext, 1);
    EXPECT_EQ(i.sheet->trackAt(1)->braceWithNext, 0);
    EXPECT_EQ(soundingKeys(*i.sheet->trackAt(0)), std::vector<int>{76});
    EXPECT_EQ(soundingKeys(*i.sheet->trackAt(1)), std::vector<int>{48});
    EXPECT_TRUE(i.result.warnings.empty()) << allWarnings(i.result);
}

TEST(MusicXmlImportVoices, WhenStavesOutnumberTheTracksEachPartKeepsItsFirstStaff)
{
    const std::string m = "<attributes><divisions>1</divisions><staves>2</staves></attributes>" +
                          note("E", 5, 4, "whole", "<staff>1</staff>") +
                          "<backup><duration>4</duration></backup>" +
                          note("C", 3, 4, "whole", "<voice>5</voice><staff>2</staff>");
    std::vector<std::pair<std::string, std::string>> parts(8, {"Piano", measure(1, m)});
    const auto i = import(scoreXml(parts));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    EXPECT_EQ(i.sheet->trackCount(), 8);
    EXPECT_EQ(soundingKeys(*i.sheet->trackAt(7)), std::vector<int>{76});
    EXPECT_TRUE(contains(allWarnings(i.result), "notes on the lower staves of parts with several staves"))
        << allWarnings(i.result);
}

TEST(MusicXmlImportVoices, MoreThanFifteenPartsAreRefusedNamingTheCount)
{
    std::vector<std::pair<std::string, std::string>> parts(
        16, {"Voice", measure(1, attributes(kTreble) + note("C", 5, 16, "whole"))});
    const auto i = import(scoreXml(parts));
    EXPECT_EQ(i.result.status, LoadStatus::Invalid);
    EXPECT_TRUE(contains(i.result.error, "16 parts")) << i.result.error;
    EXPECT_EQ(i.sheet->trackCount(), 2); // the sheet is left as it was
    parts.pop_back();
    EXPECT_TRUE(import(scoreXml(parts)).result.ok());
}

// ---------------------------------------------------------------------------------------------
// Repeats

TEST(MusicXmlImportRepeats, OneRepeatedMeasureIsAMeasureRepeatAndLongerPassagesLoop)
{
    const std::string fwd = "<barline location=\"left\"><repeat direction=\"forward\"/></barline>";
    const std::string back = "<barline location=\"right\"><repeat direction=\"backward\"/></barline>";
    const std::string back3 =
        "<barline location=\"right\"><repeat direction=\"backward\" times=\"3\"/></barline>";
    const std::string notes = measure(1, attributes(kTreble8) + note("C", 4, 16, "whole")) +
                              measure(2, fwd + note("D", 4, 8, "half") + note("E", 4, 8, "half") + back) +
                              measure(3, fwd + note("F", 4, 16, "whole")) +
                              measure(4, note("G", 4, 16, "whole") + back3);
    const auto i = import(scoreXml({{"P", notes}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    const Track& t = *i.sheet->trackAt(0);
    EXPECT_EQ(t.measureRepeats.measures(), std::vector<int>{2});
    ASSERT_EQ(t.count, 5);
    EXPECT_EQ(t.noteAt(4).loopTo, 3);
    EXPECT_EQ(t.noteAt(4).loopCount, 2); // played three times in all
}

// Bar lines with repeat signs and ending brackets, as MusicXML writes them.
std::string barline(const std::string& location, const std::string& ending, const std::string& repeat,
                    const std::string& times = "")
{
    std::string b = "<barline location=\"" + location + "\">";
    if (!ending.empty()) {
        const auto slash = ending.find('/');
        b += "<ending number=\"" + ending.substr(0, slash) + "\" type=\"" + ending.substr(slash + 1) + "\"/>";
    }
    if (!repeat.empty())
        b +=
            "<repeat direction=\"" + repeat + "\"" + (times.empty() ? "" : " times=\"" + times + "\"") + "/>";
    return b + "</barline>";
}

// Measures 1..n of whole notes, measure k on the k-th step up from C4; `marks[k]` goes into
// measure k (its bar lines).
std::string wholeNotes(int n, const std::map<int, std::string>& marks, bool pickup = false)
{
    static const char* kSteps[] = {"C", "D", "E", "F", "G", "A", "B"};
    std::string out;
    for (int k = 1; k <= n; ++k) {
        const auto it = marks.find(k);
        std::string content = k == 1 ? attributes(kTreble8) : "";
        if (it != marks.end())
            content += it->second;
        if (pickup && k == 1)
            content += note("B", 3, 4, "quarter");
        else
            content += note(kSteps[(k - 1) % 7], 4 + (k - 1) / 7, 16, "whole");
        out += pickup && k == 1 ? "<measure number=\"0\" implicit=\"yes\">" + content + "</measure>"
                                : measure(pickup ? k - 1 : k, content);
    }
    return out;
}

TEST(MusicXmlImportRepeats, ForwardAndBackwardRepeatsWithEndingsAreTheSheetsRepeatedPassages)
{
    using Ranges = std::vector<RepeatRange>;
    const std::string e1 = barline("left", "1/start", "");
    const std::string e1End = barline("right", "1/stop", "backward");
    const std::string e2 = barline("left", "2/start", "");
    const std::string e2End = barline("right", "2/discontinue", "");
    // 2-5, first ending 4-5, second ending 6-7; 9-10 plain; in both parts.
    const std::string notes = wholeNotes(11, {{2, barline("left", "", "forward")},
                                              {4, e1},
                                              {5, e1End},
                                              {6, e2},
                                              {7, e2End},
                                              {9, barline("left", "", "forward")},
                                              {10, barline("right", "", "backward")}});
    const auto i = import(scoreXml({{"A", notes}, {"B", notes}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    EXPECT_TRUE(i.result.warnings.empty()) << allWarnings(i.result);
    EXPECT_EQ(i.sheet->repeatRanges, (Ranges{{2, 5, 2, 2}, {9, 10, 0, 0}}));
    EXPECT_EQ(i.sheet->trackAt(1)->repeatRanges, i.sheet->repeatRanges);
    for (int n = 0; n < i.sheet->trackAt(0)->count; ++n)
        EXPECT_EQ(i.sheet->trackAt(0)->noteAt(n).loopCount, 0) << "no note loop";

    // A pickup is the sheet's measure 1: the file's measure 1 is the sheet's measure 2.
    const auto p = import(
        scoreXml({{"A", wholeNotes(6, {{2, barline("left", "", "forward")}, {4, e1 + e1End}, {5, e2 + e2End}},
                                   true)}}));
    ASSERT_TRUE(p.result.ok()) << p.result.error;
    EXPECT_EQ(p.sheet->pickup, kQuarterTicks);
    EXPECT_EQ(p.sheet->repeatRanges, (Ranges{{2, 4, 1, 1}}));

    // A backward repeat alone repeats from the start, and the next one from after the first
    // passage (its second ending included); a single measure stays a measure repeat.
    const auto b = import(scoreXml(
        {{"A", wholeNotes(8, {{2, barline("right", "", "backward")},
                              {3, e2 + e2End},
                              {5, barline("right", "", "backward")},
                              {6, barline("left", "", "forward") + barline("right", "", "backward")}})}}));
    ASSERT_TRUE(b.result.ok()) << b.result.error;
    EXPECT_TRUE(b.result.warnings.empty()) << allWarnings(b.result);
    EXPECT_EQ(b.sheet->repeatRanges, (Ranges{{1, 2, 0, 1}, {4, 5, 0, 0}}));
    EXPECT_EQ(b.sheet->trackAt(0)->measureRepeats.measures(), std::vector<int>{6});
}

TEST(MusicXmlImportRepeats, OddEndingShapesFallBackAndAreNamedInTheWarning)
{
    using Ranges = std::vector<RepeatRange>;
    const std::string fwd = barline("left", "", "forward");
    struct Case {
        std::string what;
        std::map<int, std::string> marks;
        Ranges ranges;
        std::string warning;
    };
    const std::vector<Case> cases = {
        // "1, 2" over a passage played three times, then "3": the passage loops, the brackets go.
        {"three passes",
         {{1, fwd},
          {3, barline("left", "1, 2/start", "") + barline("right", "1, 2/stop", "backward", "3")},
          {4, barline("left", "3/start", "") + barline("right", "3/discontinue", "")}},
         {},
         "endings other than a first and a second (1, 2)"},
        // Three endings: 1, then 2 with a repeat of its own, then 3: the first two are kept,
        // the repeat inside the second ending is not.
        {"third ending",
         {{1, fwd},
          {3, barline("left", "1/start", "") + barline("right", "1/stop", "backward")},
          {4, barline("left", "2/start", "") + barline("right", "2/stop", "backward")},
          {5, barline("left", "3/start", "") + barline("right", "3/discontinue", "")}},
         {{1, 3, 1, 1}},
         "repeats inside a second ending"},
        // A repeat inside a repeat: the inner forward repeat is taken, the outer backward one
        // repeats what follows the inner passage.
        {"nested",
         {{1, fwd}, {2, fwd}, {3, barline("right", "", "backward")}, {5, barline("right", "", "backward")}},
         {{2, 3, 0, 0}, {4, 5, 0, 0}},
         "repeats inside repeats"},
        // Brackets that never end, that stop without a start, and one far from any repeat.
        {"damaged",
         {{2, barline("left", "1/start", "")},
          {3, barline("left", "2/start", "")},
          {4, barline("right", "2/stop", "") + barline("right", "1/stop", "")},
          {6, barline("left", "1/start", "")}},
         {},
         "ending brackets without an end"},
        // A first ending that would be the whole passage.
        {"whole passage",
         {{2, fwd + barline("left", "1/start", "")}, {3, barline("right", "1/stop", "backward")}},
         {{2, 3, 0, 0}},
         "ending brackets apart from a repeat"},
        // An ending of a kind that does not exist and a repeat of an absurd count.
        {"nonsense",
         {{2, "<barline location=\"left\"><ending number=\"x\" type=\"sideways\"/></barline>"},
          {3, barline("right", "", "backward", "999999999")}},
         {},
         "endings of no known type"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto i = import(scoreXml({{"A", wholeNotes(7, c.marks)}}));
        ASSERT_TRUE(i.result.ok()) << i.result.error;
        EXPECT_EQ(i.sheet->repeatRanges, c.ranges);
        EXPECT_TRUE(contains(allWarnings(i.result), c.warning)) << allWarnings(i.result);
        // Whatever the shape, the sheet plays: the walk ends.
        PlayWalk walk(*i.sheet->trackAt(0));
        int steps = 0;
        while (walk.next() && steps < 100000)
            ++steps;
        EXPECT_LT(steps, 100000);
    }
}

// ---------------------------------------------------------------------------------------------
// Bad input, containers and recognition

TEST(MusicXmlImportInput, BadInputIsRefusedWithAClearMessageAndLeavesTheSheetAlone)
{
    const auto malformed = import("<?xml version=\"1.0\"?><score-partwise><part-list>");
    EXPECT_EQ(malformed.result.status, LoadStatus::Invalid);
    EXPECT_TRUE(contains(malformed.result.error, "not well-formed")) << malformed.result.error;

    const auto noDivisions = import(scoreXml({{"P", measure(1, note("C", 4, 4, "quarter"))}}));
    EXPECT_EQ(noDivisions.result.status, LoadStatus::Invalid);
    EXPECT_TRUE(contains(noDivisions.result.error, "<divisions>")) << noDivisions.result.error;

    const auto absurd =
        import(scoreXml({{"P", measure(1, attributes(kTreble) + note("C", 4, 999999999, "quarter"))}}));
    EXPECT_EQ(absurd.result.status, LoadStatus::Invalid);
    EXPECT_TRUE(contains(absurd.result.error, "not a note length")) << absurd.result.error;

    const auto badDivisions = import(scoreXml({{"P", measure(1, "<attributes><divisions>-3</divisions>"
                                                                "</attributes>")}}));
    EXPECT_EQ(badDivisions.result.status, LoadStatus::Invalid);

    const auto badPitch =
        import(scoreXml({{"P", measure(1, attributes(kTreble) + note("H", 4, 4, "quarter"))}}));
    EXPECT_EQ(badPitch.result.status, LoadStatus::Invalid);

    EXPECT_EQ(import("<opus/>").result.status, LoadStatus::WrongKind);
    EXPECT_EQ(import("").result.status, LoadStatus::WrongKind);
    for (const auto* i : {&malformed, &noDivisions, &absurd, &badDivisions, &badPitch})
        EXPECT_EQ(i->sheet->trackCount(), 2);

    // An entity that would expand a billion times is not expanded.
    const std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE score-partwise [<!ENTITY a \"aaaaaaaaaa\">"
                               "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]><score-partwise><part-list>"
                               "<score-part id=\"P1\"><part-name>&b;</part-name></score-part></part-list>"
                               "<part id=\"P1\"></part></score-partwise>";
    const auto l = import(laughs);
    EXPECT_TRUE(l.result.ok()) << l.result.error;
}

TEST(MusicXmlImportInput, HugeFilesAndAbsurdValuesAreRefusedOrKeptWithinLimits)
{
    // A file over the size limit is refused before it is read.
    const auto path = std::filesystem::temp_directory_path() / "tonvela-huge-test.musicxml";
    {
        std::ofstream(path) << "<score-partwise>";
    }
    std::filesystem::resize_file(path, kMaxMusicXmlFileBytes + 1);
    std::unique_ptr<SheetDocument> sheet;
    const LoadResult huge = importMusicXmlFile(path.string(), sheet);
    std::filesystem::remove(path);
    EXPECT_EQ(huge.status, LoadStatus::Unreadable);
    EXPECT_FALSE(huge.error.empty());
    EXPECT_FALSE(sheet);

    const auto divisions =
        import(scoreXml({{"P", measure(1, "<attributes><divisions>1000000000000</divisions>"
                                          "</attributes>")}}));
    EXPECT_EQ(divisions.result.status, LoadStatus::Invalid);
    EXPECT_TRUE(contains(divisions.result.error, "<divisions>")) << divisions.result.error;

    // A staff number far beyond any part, a tempo of a billion, an octave of 99.
    const std::string odd = attributes(kTreble8) + "<sound tempo=\"1000000000\"/>" +
                            note("C", 4, 16, "whole", "<staff>1000</staff>");
    const auto i = import(scoreXml({{"P", measure(1, odd)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    EXPECT_LE(i.sheet->trackCount(), kMaxTracks);
    EXPECT_EQ(i.sheet->trackAt(0)->tempo, 1000);
    EXPECT_FALSE(
        import(scoreXml({{"P", measure(1, attributes(kTreble) + note("C", 99, 4, "quarter"))}})).result.ok());

    // A measure that runs far beyond any score's length.
    std::string longPart = attributes(kTreble8);
    for (int k = 0; k < 2000; ++k)
        longPart += "<forward><duration>" + std::to_string(4 * 250) + "</duration></forward>";
    const auto tooLong = import(scoreXml({{"P", measure(1, longPart)}}));
    EXPECT_EQ(tooLong.result.status, LoadStatus::Invalid);
    EXPECT_TRUE(contains(tooLong.result.error, "later than a score this long can reach"))
        << tooLong.result.error;
}

TEST(MusicXmlImportInput, ATimewiseScoreReadsLikeThePartwiseOne)
{
    const std::string timewise =
        "<?xml version=\"1.0\"?><score-timewise><part-list><score-part id=\"A\"><part-name>Top</part-name>"
        "</score-part><score-part id=\"B\"><part-name>Low</part-name></score-part></part-list>"
        "<measure number=\"1\"><part id=\"A\">" +
        attributes(kTreble8) + note("C", 4, 16, "whole") + "</part><part id=\"B\">" + attributes(kBass) +
        note("C", 3, 16, "whole") + "</part></measure><measure number=\"2\"><part id=\"A\">" +
        note("D", 4, 16, "whole") + "</part><part id=\"B\">" + note("D", 3, 16, "whole") +
        "</part></measure>" + "</score-timewise>";
    const auto i = import(timewise);
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    ASSERT_EQ(i.sheet->trackCount(), 2);
    EXPECT_EQ(i.sheet->trackAt(1)->name, "Low");
    EXPECT_EQ(soundingKeys(*i.sheet->trackAt(0)), (std::vector<int>{60, 62}));
    EXPECT_EQ(soundingKeys(*i.sheet->trackAt(1)), (std::vector<int>{48, 50}));
}

TEST(MusicXmlImportInput, CompressedScoresAreUnpackedWithinLimits)
{
    const std::string xml = scoreXml({{"P", measure(1, attributes(kTreble8) + note("G", 3, 16, "whole"))}});
    const std::string mxl =
        zipOf({{"META-INF/container.xml", container("score/song.xml")}, {"score/song.xml", xml}});
    const auto i = import(mxl);
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    EXPECT_EQ(soundingKeys(*i.sheet->trackAt(0)), std::vector<int>{55});

    // Without a container: the one score at the top.
    EXPECT_TRUE(import(zipOf({{"song.musicxml", xml}})).result.ok());

    // A score that climbs out of the archive, or one the archive does not hold.
    const auto climbing =
        import(zipOf({{"META-INF/container.xml", container("../song.xml")}, {"song.xml", xml}}));
    EXPECT_EQ(climbing.result.status, LoadStatus::Invalid);
    EXPECT_TRUE(contains(climbing.result.error, "outside the archive")) << climbing.result.error;
    EXPECT_EQ(import(zipOf({{"META-INF/container.xml", container("gone.xml")}})).result.status,
              LoadStatus::Invalid);

    // A bomb: a few kilobytes that unpack to far more than the limit.
    const std::string zeros(4u * 1024 * 1024, '\0');
    const std::string bomb = zipOf({{"META-INF/container.xml", container("a.xml")}, {"a.xml", zeros}});
    EXPECT_LT(bomb.size(), 64u * 1024);
    std::string out;
    const LoadResult r = readMxlContainer(bomb, out, 1024 * 1024);
    EXPECT_EQ(r.status, LoadStatus::Invalid);
    EXPECT_TRUE(contains(r.error, "MB")) << r.error;
    EXPECT_LE(out.size(), 1024u * 1024);

    // Damaged archives.
    EXPECT_EQ(import(mxl.substr(0, mxl.size() / 2)).result.status, LoadStatus::Invalid);
    std::string flipped = mxl;
    for (std::size_t k = 60; k < flipped.size() && k < 400; ++k)
        flipped[k] = static_cast<char>(flipped[k] ^ 0x5A);
    EXPECT_FALSE(import(flipped).result.ok());
}

TEST(MusicXmlImportInput, FilesAreRecognisedByContentAndName)
{
    const std::string xml = scoreXml({{"P", ""}});
    EXPECT_TRUE(looksLikeMusicXml(xml, "song.xml"));
    EXPECT_TRUE(looksLikeMusicXml(xml, "song.txt"));
    EXPECT_TRUE(looksLikeMusicXml("\xEF\xBB\xBF<!-- made by hand --><score-timewise>", "a"));
    EXPECT_FALSE(looksLikeMusicXml("<?xml version=\"1.0\"?><svg/>", "picture.xml"));
    EXPECT_FALSE(looksLikeMusicXml("<staffdoc\r\nzoomamount=0.9", "sheet.musicxml"));
    EXPECT_TRUE(looksLikeMusicXml(std::string("PK\x03\x04", 4), "song.MXL"));
    EXPECT_FALSE(looksLikeMusicXml(std::string("PK\x03\x04", 4), "archive.zip"));
    EXPECT_TRUE(hasMusicXmlFileName("a/b.MusicXML"));
    EXPECT_FALSE(hasMusicXmlFileName("a.xml/b"));
}

TEST(MusicXmlImportInput, AFileImportsIntoAnUntitledSheetNamedAfterIt)
{
    const auto path = std::filesystem::temp_directory_path() / "tonvela-import-test.musicxml";
    {
        std::ofstream out(path, std::ios::binary);
        out << scoreXml({{"P", measure(1, attributes(kTreble8) + note("C", 4, 16, "whole"))}});
    }
    std::unique_ptr<SheetDocument> sheet;
    const LoadResult r = importMusicXmlFile(path.string(), sheet);
    ASSERT_TRUE(r.ok()) << r.error;
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->caption, "tonvela-import-test.musicxml");
    EXPECT_TRUE(sheet->path.empty());
    EXPECT_TRUE(isMusicXmlFile(path.string()));
    std::filesystem::remove(path);
    std::unique_ptr<SheetDocument> none;
    EXPECT_EQ(importMusicXmlFile(path.string(), none).status, LoadStatus::Unreadable);
    EXPECT_FALSE(none);
}

// ---------------------------------------------------------------------------------------------
// Files written by another notation program (MuseScore 3, from its demo scores), checked against
// xmllint's reading of the same XML.

// The score XML of a test file: the file itself, or unpacked from an .mxl by unzip.
std::string xmlSource(const std::string& file)
{
    const std::string path = std::string(TONVELA_TEST_DATA) + "/musicxml/" + file;
    if (file.size() > 4 && file.substr(file.size() - 4) == ".mxl")
        return "unzip -p '" + path + "' '*.xml' -x 'META-INF/*'";
    return "cat '" + path + "'";
}

// A number xmllint's XPath gives for a test file; NaN when the tools are missing.
double xpath(const std::string& file, const std::string& expression)
{
    const std::string command =
        xmlSource(file) + " 2>/dev/null | xmllint --xpath \"" + expression + "\" - 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return std::nan("");
    std::string out;
    char buf[256];
    while (std::fgets(buf, sizeof buf, pipe))
        out += buf;
    pclose(pipe);
    return out.empty() ? std::nan("") : std::stod(out);
}

struct Counted {
    int sounding = 0;
    long long keySum = 0;
    int dropped = 0;
    int struckAgain = 0;       // tied notes a Bar note parts, struck again (left out of the above)
    int warnedStruckAgain = 0; // those the warning names
};

Counted countImported(const Imported& i)
{
    Counted c;
    for (int k = 0; k < i.sheet->trackCount(); ++k) {
        std::vector<int> again;
        for (int key : struckKeys(*i.sheet->trackAt(k), again)) {
            ++c.sounding;
            c.keySum += key;
        }
        for (int key : again) {
            --c.sounding;
            c.keySum -= key;
            ++c.struckAgain;
        }
    }
    for (const auto& w : i.result.warnings)
        if (w.find(" of a third or later voice was left out") != std::string::npos ||
            w.find(" of third or later voices were left out") != std::string::npos)
            c.dropped = std::stoi(w.substr(0, w.find(' ')));
    // Notes in unison with another voice sound once: counted with the dropped ones.
    const std::string unison = "notes in unison with another voice (played once) (";
    for (const auto& w : i.result.warnings)
        if (const auto at = w.find(unison); at != std::string::npos)
            c.dropped += std::stoi(w.substr(at + unison.size()));
    const std::string again = "(the tied notes are struck again) (";
    for (const auto& w : i.result.warnings)
        if (const auto at = w.find(again); at != std::string::npos)
            c.warnedStruckAgain = std::stoi(w.substr(at + again.size()));
    // A note a tie from another voice goes into is struck again, as the warning says.
    const std::string crossing = "ties from one voice into another (the tied note is struck again) (";
    for (const auto& w : i.result.warnings)
        if (const auto at = w.find(crossing); at != std::string::npos)
            c.sounding -= std::stoi(w.substr(at + crossing.size()));
    return c;
}

Imported importFile(const std::string& file)
{
    std::string bytes;
    EXPECT_TRUE(
        readWholeFile(std::string(TONVELA_TEST_DATA) + "/musicxml/" + file, bytes, kMaxMusicXmlFileBytes).ok);
    return import(bytes);
}

// The notes a file strikes: a note tied from the one before only holds that one on.
constexpr const char* kSoundingNotes = "//note[pitch and not(grace) and not(cue) and not(tie[@type='stop'])]";

class OtherProgramsFiles : public ::testing::TestWithParam<const char*> {};

TEST_P(OtherProgramsFiles, EveryNoteIsImportedOrCountedAsDropped)
{
    const std::string file = GetParam();
    const double expected = xpath(file, std::string("count(") + kSoundingNotes + ")");
    if (std::isnan(expected))
        GTEST_SKIP() << "xmllint or unzip is missing";
    const Imported i = importFile(file);
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    const Counted c = countImported(i);
    EXPECT_GT(c.sounding, 100);
    EXPECT_EQ(c.sounding + c.dropped, static_cast<int>(expected)) << allWarnings(i.result);
    EXPECT_EQ(c.struckAgain, c.warnedStruckAgain) << allWarnings(i.result);
}

INSTANTIATE_TEST_SUITE_P(MusicXmlImport, OtherProgramsFiles,
                         ::testing::Values("Fugue_1.mxl", "Reunion.mxl", "Unclaimed_Gift.mxl",
                                           "Unclaimed_Gift.musicxml"));

TEST(MusicXmlImportFiles, SingleVoiceScoresSoundEveryPitchTheFileWrites)
{
    for (const char* file : {"Fugue_1.mxl", "Unclaimed_Gift.musicxml"}) {
        // The sum of the keys, read by xmllint: 12 * (octave + 1) + the step's semitones + alter.
        const std::string n = kSoundingNotes;
        const std::string sum = "12 * (sum(" + n + "/pitch/octave) + count(" + n + ")) + 2 * count(" + n +
                                "/pitch[step='D']) + 4 * count(" + n + "/pitch[step='E']) + 5 * count(" + n +
                                "/pitch[step='F']) + 7 * count(" + n + "/pitch[step='G']) + 9 * count(" + n +
                                "/pitch[step='A']) + 11 * count(" + n + "/pitch[step='B']) + sum(" + n +
                                "/pitch/alter)";
        const double expected = xpath(file, sum);
        if (std::isnan(expected))
            GTEST_SKIP() << "xmllint or unzip is missing";
        ASSERT_EQ(xpath(file, "count(//transpose)"), 0) << file;
        const Imported i = importFile(file);
        ASSERT_TRUE(i.result.ok()) << i.result.error;
        const Counted c = countImported(i);
        EXPECT_EQ(c.dropped, 0) << file;
        EXPECT_EQ(c.keySum, static_cast<long long>(expected)) << file;
        EXPECT_EQ(c.struckAgain, c.warnedStruckAgain) << file;
    }
}

TEST(MusicXmlImportFiles, TheCompressedAndThePlainFileGiveTheSameSheet)
{
    const Imported a = importFile("Unclaimed_Gift.mxl");
    const Imported b = importFile("Unclaimed_Gift.musicxml");
    ASSERT_TRUE(a.result.ok() && b.result.ok());
    ASSERT_EQ(a.sheet->trackCount(), b.sheet->trackCount());
    for (int k = 0; k < a.sheet->trackCount(); ++k) {
        const Track& x = *a.sheet->trackAt(k);
        const Track& y = *b.sheet->trackAt(k);
        ASSERT_EQ(x.count, y.count);
        for (int n = 0; n < x.count; ++n)
            EXPECT_TRUE(x.noteAt(n).content() == y.noteAt(n).content()) << n;
    }
}

bool haveMuseScoreAndMidicsv()
{
    return std::system("command -v mscore3 >/dev/null 2>&1 && command -v midicsv >/dev/null 2>&1") == 0;
}

// The note-ons of a MIDI file as midicsv reads them: (onset in milliseconds, key), sorted, with
// the file's tempo events applied.
std::vector<std::pair<long long, int>> noteOnsOf(const std::string& midiPath)
{
    FILE* pipe = popen(("midicsv '" + midiPath + "' 2>/dev/null").c_str(), "r");
    std::vector<std::pair<long long, int>> out;
    if (!pipe)
        return out;
    struct Event {
        long long tick;
        bool tempo;
        long long value; // microseconds per quarter, or the key
    };
    std::vector<Event> events;
    double division = 0;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        int track = 0, a = 0, b = 0, c = 0;
        long long tick = 0;
        char kind[64] = {};
        if (std::sscanf(line, "%d, %lld, %63[^,], %d, %d, %d", &track, &tick, kind, &a, &b, &c) < 3)
            continue;
        const std::string k = kind;
        if (k == "Header")
            division = c;
        else if (k == "Tempo")
            events.push_back({tick, true, a});
        else if (k == "Note_on_c" && c > 0)
            events.push_back({tick, false, b});
    }
    pclose(pipe);
    std::stable_sort(events.begin(), events.end(),
                     [](const Event& x, const Event& y) { return x.tick < y.tick; });
    double us = 0, usPerQuarter = 500000;
    long long last = 0;
    for (const Event& e : events) {
        us += static_cast<double>(e.tick - last) * usPerQuarter / division;
        last = e.tick;
        if (e.tempo)
            usPerQuarter = static_cast<double>(e.value);
        else
            out.emplace_back(std::llround(us / 10000) * 10, static_cast<int>(e.value));
    }
    std::sort(out.begin(), out.end());
    return out;
}

// The note-ons of the sheet's MIDI export as midicsv reads them (noteOnsOf); empty without
// midicsv. The file is written to a folder of its own, named after `name`, and removed.
std::vector<std::pair<long long, int>> exportedNoteOns(const SheetDocument& sheet, const std::string& name)
{
    const auto dir =
        std::filesystem::temp_directory_path() / ("tonvela-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string mid = (dir / "u.mid").string();
    EXPECT_TRUE(writeMidiFile(sheet, mid, kAllTracks).ok);
    const auto ons = noteOnsOf(mid);
    std::filesystem::remove_all(dir);
    return ons;
}

TEST(MusicXmlImportFiles, AScorePlaysTheNotesMuseScorePlaysAtTheSameTimes)
{
    // MuseScore 3 turns the score into MIDI itself; the imported sheet's MIDI export must hold
    // the same keys at the same moments (ties joined as MuseScore joins them).
    const auto folder =
        std::filesystem::temp_directory_path() /
        ("tonvela-mscore-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(folder);
    const std::string theirs = (folder / "theirs.mid").string();
    const std::string command = "HOME='" + folder.string() + "' XDG_RUNTIME_DIR='" + folder.string() +
                                "' QT_QPA_PLATFORM=offscreen timeout 120 mscore3 -o '" + theirs + "' '" +
                                TONVELA_TEST_DATA + "/musicxml/Fugue_1.mxl' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0 || !std::filesystem::exists(theirs)) {
        std::filesystem::remove_all(folder);
        GTEST_SKIP() << "mscore3 (MuseScore 3) is needed for this comparison";
    }
    const Imported i = importFile("Fugue_1.mxl");
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    const std::string ours = (folder / "ours.mid").string();
    ASSERT_TRUE(writeMidiFile(*i.sheet, ours, kAllTracks).ok);
    const auto expected = noteOnsOf(theirs);
    const auto actual = noteOnsOf(ours);
    std::filesystem::remove_all(folder);
    ASSERT_GT(expected.size(), 900u);
    EXPECT_EQ(actual, expected);
}

// ---------------------------------------------------------------------------------------------
// Conventions of other programs: short measures, voices, ties inside chords

// Where the step of note `index` starts in score time, as playback walks the track.
Ticks playTicksBefore(const Track& t, int index)
{
    PlayWalk walk(t);
    while (const auto step = walk.next())
        if (step->index == index)
            return step->start;
    return -1;
}

TEST(MusicXmlImportRhythm, AWholeRestFillsAMeasureShorterThanFourBeats)
{
    // A ragtime's left hand in 2/4: a whole rest (no measure="yes") lasting the measure's two
    // beats, then a note that must open measure 2, level with the right hand's.
    const std::string rh1 = note("C", 5, 8, "half", "<voice>1</voice><staff>1</staff>");
    const std::string lh1 = "<note><rest/><duration>8</duration><voice>5</voice><type>whole</type>"
                            "<staff>2</staff></note>";
    const std::string rh2 = note("D", 5, 8, "half", "<voice>1</voice><staff>1</staff>");
    const std::string lh2 = note("C", 3, 8, "half", "<voice>5</voice><staff>2</staff>");
    const std::string attrs =
        "<attributes><divisions>4</divisions><time><beats>2</beats><beat-type>4</beat-type>"
        "</time><staves>2</staves>" +
        kTreble + "<clef number=\"2\"><sign>F</sign><line>4</line></clef></attributes>";
    const std::string back = "<backup><duration>8</duration></backup>";
    const auto i =
        import(scoreXml({{"Piano", measure(1, attrs + rh1 + back + lh1) + measure(2, rh2 + back + lh2)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    ASSERT_EQ(i.sheet->trackCount(), 2);
    Track& lh = *i.sheet->trackAt(1);
    ASSERT_EQ(lh.count, 2);
    EXPECT_TRUE(lh.noteAt(0).isRest());
    EXPECT_EQ(lh.noteAt(0).type, kTypeHalf);
    lh.divideIntoMeasures();
    EXPECT_EQ(lh.measureDivision().measureOf(1), 2);
    // Both hands play their second note at the same moment.
    EXPECT_EQ(playTicksBefore(lh, 1), playTicksBefore(*i.sheet->trackAt(0), 1));
}

TEST(MusicXmlImportVoices, TheVoiceWithTheMostSoundingNotesIsKeptNotTheVoiceOfTheFirstNote)
{
    // Voice 1 holds only rests; voice 2 (after a backup) the melody of four notes.
    const std::string v1 = rest(16, "whole").insert(6, "<voice>1</voice>");
    const std::string v2 =
        note("C", 5, 4, "quarter", "<voice>2</voice>") + note("D", 5, 4, "quarter", "<voice>2</voice>") +
        note("E", 5, 4, "quarter", "<voice>2</voice>") + note("F", 5, 4, "quarter", "<voice>2</voice>");
    const std::string m = attributes(kTreble) + v1 + "<backup><duration>16</duration></backup>" + v2;
    // A cross-staff voice: three notes of voice 3 lent to this staff in the second measure.
    const std::string v3 = note("G", 4, 4, "quarter", "<voice>3</voice>") +
                           note("A", 4, 4, "quarter", "<voice>3</voice>") +
                           note("B", 4, 8, "half", "<voice>3</voice>");
    const std::string v2b =
        note("C", 5, 4, "quarter", "<voice>2</voice>") + note("D", 5, 4, "quarter", "<voice>2</voice>") +
        note("E", 5, 4, "quarter", "<voice>2</voice>") + note("F", 5, 4, "quarter", "<voice>2</voice>");
    const std::string m2 = v3 + "<backup><duration>16</duration></backup>" + v2b;
    const auto i = import(scoreXml({{"P", measure(1, m) + measure(2, m2)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    EXPECT_EQ(soundingKeys(*i.sheet->trackAt(0)),
              (std::vector<int>{72, 74, 76, 77, 72, 67, 74, 69, 76, 71, 77}));
}

TEST(MusicXmlImportVoices, TiesOfInnerChordNotesAndLaterVoicesHoldTheirNoteOn)
{
    // Voice 2's G4 is tied over three first-voice notes; the chord C5-E5's inner E5 is tied into
    // the next chord. Each tied note sounds once, for its whole tied length.
    const std::string tieStart = "<tie type=\"start\"/>";
    const std::string tieBoth = "<tie type=\"stop\"/><tie type=\"start\"/>";
    const std::string tieStop = "<tie type=\"stop\"/>";
    const std::string v1 = note("C", 5, 4, "quarter", "<voice>1</voice>") +
                           note("E", 5, 4, "quarter", "<chord/><voice>1</voice>" + tieStart) +
                           note("D", 5, 4, "quarter", "<voice>1</voice>") +
                           note("E", 5, 4, "quarter", "<chord/><voice>1</voice>" + tieStop) +
                           note("F", 5, 8, "half", "<voice>1</voice>");
    const std::string v2 = note("G", 4, 4, "quarter", "<voice>2</voice>" + tieStart) +
                           note("G", 4, 4, "quarter", "<voice>2</voice>" + tieBoth) +
                           note("G", 4, 8, "half", "<voice>2</voice>" + tieStop);
    const std::string m = attributes(kTreble) + v1 + "<backup><duration>16</duration></backup>" + v2;
    const auto i = import(scoreXml({{"P", measure(1, m)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    const Track& t = *i.sheet->trackAt(0);
    EXPECT_EQ(struckKeysOf(t), (std::vector<int>{72, 76, 67, 74, 77}));
    ASSERT_EQ(t.count, 7);
    EXPECT_EQ(t.noteAt(1).type, kTypeHalf); // E5: a quarter tied to a quarter
    // G4 stays voice 2's quarter, quarter and half, tied: struck once for the whole measure.
    for (int k : {2, 4, 6})
        EXPECT_TRUE(t.noteAt(k).inVoice2() && (t.noteAt(k).dwFlag & kFlagTie)) << k;
    EXPECT_EQ(t.noteAt(2).type, kTypeQuarter);
    EXPECT_EQ(t.noteAt(6).type, kTypeHalf);
    constexpr Ticks Q = kQuarterTicks;
    EXPECT_EQ(
        struckInTime(t),
        (std::vector<Struck>{
            {0, 67, 4 * Q, 2}, {0, 72, Q, 1}, {0, 76, 2 * Q, 1}, {Q, 74, Q, 1}, {2 * Q, 77, 2 * Q, 1}}));
    EXPECT_EQ(allWarnings(i.result), "");
}

TEST(MusicXmlImportVoices, TwoVoicesOnOneKeyGiveOneNoteAndAMidiFileWithoutEmptyNotes)
{
    const std::string v1 =
        note("C", 5, 8, "half", "<voice>1</voice>") + note("D", 5, 8, "half", "<voice>1</voice>");
    const std::string v2 =
        note("C", 5, 8, "half", "<voice>2</voice>") + note("B", 4, 8, "half", "<voice>2</voice>");
    const std::string m = attributes(kTreble) + v1 + "<backup><duration>16</duration></backup>" + v2;
    const auto i = import(scoreXml({{"P", measure(1, m)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    EXPECT_EQ(soundingKeys(*i.sheet->trackAt(0)), (std::vector<int>{72, 74, 71}));
    const std::string w = allWarnings(i.result);
    EXPECT_TRUE(contains(w, "notes in unison with another voice (played once) (1)")) << w;
    // Every note of the MIDI export lasts: no note-off in the tick of its note-on.
    const auto ons = exportedNoteOns(*i.sheet, "unison");
    if (ons.empty())
        GTEST_SKIP() << "midicsv is needed to read the MIDI file";
    EXPECT_EQ(ons.size(), 3u);
}

// ---------------------------------------------------------------------------------------------
// Two voices on a staff

std::string backup(int duration)
{
    return "<backup><duration>" + std::to_string(duration) + "</duration></backup>";
}

std::string forward(int duration)
{
    return "<forward><duration>" + std::to_string(duration) + "</duration></forward>";
}

std::string voicedRest(int duration, const std::string& type, int voice)
{
    return "<note><rest/><duration>" + std::to_string(duration) + "</duration><voice>" +
           std::to_string(voice) + "</voice><type>" + type + "</type></note>";
}

TEST(MusicXmlImportTwoVoices, BothVoicesKeepTheirRhythmsAndPlayInTime)
{
    constexpr Ticks Q = kQuarterTicks;
    // Measure 1: voice 1 C5 half, D5, E5 quarters; voice 2 rests a quarter, then G4 quarter, A4 B4
    // eighths and leaves the last beat silent. Measure 2: voice 1 F5 half, G5 A5; voice 2 C4 half
    // and the chord E4-G4 half. Both voices sound six notes: the first one is voice 1.
    const std::string m1 = attributes(kTreble) + voiced("C", 5, 8, "half", 1) +
                           voiced("D", 5, 4, "quarter", 1) + voiced("E", 5, 4, "quarter", 1) + backup(16) +
                           voicedRest(4, "quarter", 2) + voiced("G", 4, 4, "quarter", 2) +
                           voiced("A", 4, 2, "eighth", 2) + voiced("B", 4, 2, "eighth", 2) + forward(4);
    const std::string m2 = voiced("F", 5, 8, "half", 1) + voiced("G", 5, 4, "quarter", 1) +
                           voiced("A", 5, 4, "quarter", 1) + backup(16) + voiced("C", 4, 8, "half", 2) +
                           voiced("E", 4, 8, "half", 2) + voiced("G", 4, 8, "half", 2, "", true);
    const auto i = import(scoreXml({{"P", measure(1, m1) + measure(2, m2)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    EXPECT_EQ(allWarnings(i.result), "");
    Track& t = *i.sheet->trackAt(0);
    EXPECT_TRUE(hasSecondVoice(t));
    EXPECT_EQ(struckInTime(t), (std::vector<Struck>{{0, 72, 2 * Q, 1},
                                                    {Q, 67, Q, 2},
                                                    {2 * Q, 69, Q / 2, 2},
                                                    {2 * Q, 74, Q, 1},
                                                    {5 * Q / 2, 71, Q / 2, 2},
                                                    {3 * Q, 76, Q, 1},
                                                    {4 * Q, 60, 2 * Q, 2},
                                                    {4 * Q, 77, 2 * Q, 1},
                                                    {6 * Q, 64, 2 * Q, 2},
                                                    {6 * Q, 67, 2 * Q, 2},
                                                    {6 * Q, 79, Q, 1},
                                                    {7 * Q, 81, Q, 1}}));
    // Each measure in time order, voice 1 first where both start together; voice 2's silence
    // before its first note is a voice 2 rest, the silence after its last one is left open.
    ASSERT_EQ(t.count, 13);
    const std::vector<std::pair<int, bool>> layout = {
        {1, false}, {2, true},  {2, false}, {1, false}, {2, false}, {2, false}, {1, false},
        {1, false}, {2, false}, {1, false}, {2, false}, {2, false}, {1, false}};
    for (int k = 0; k < t.count; ++k) {
        EXPECT_EQ(voiceOf(t, k), layout[static_cast<std::size_t>(k)].first) << k;
        EXPECT_EQ(t.noteAt(k).isRest(), layout[static_cast<std::size_t>(k)].second) << k;
    }
    EXPECT_EQ(t.noteAt(1).type, kTypeQuarter);
    EXPECT_EQ(t.noteAt(11).chordparent, 10);
    t.divideIntoMeasures();
    EXPECT_EQ(t.measureDivision().measureOf(6), 1);
    EXPECT_EQ(t.measureDivision().measureOf(7), 2);
}

TEST(MusicXmlImportTwoVoices, AThirdVoiceJoinsTheChordsItStartsWithAndTheRestIsCounted)
{
    constexpr Ticks Q = kQuarterTicks;
    // Voice 1 (4 notes): C5 half, D5 quarter, E5 F5 eighths. Voice 2 (3 notes): G4 A4 quarters,
    // B4 half. Voice 3 (2 notes): C4 at beat 2 (with voice 2's A4 only) and D4 at beat 3 and a
    // half (with neither).
    const std::string m = attributes(kTreble) + voiced("C", 5, 8, "half", 1) +
                          voiced("D", 5, 4, "quarter", 1) + voiced("E", 5, 2, "eighth", 1) +
                          voiced("F", 5, 2, "eighth", 1) + backup(16) + voiced("G", 4, 4, "quarter", 2) +
                          voiced("A", 4, 4, "quarter", 2) + voiced("B", 4, 8, "half", 2) + backup(12) +
                          voiced("C", 4, 4, "quarter", 3) + forward(2) + voiced("D", 4, 2, "eighth", 3) +
                          voiced("G", 5, 2, "eighth", 3);
    const auto i = import(scoreXml({{"P", measure(1, m)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    const Track& t = *i.sheet->trackAt(0);
    // G5 starts with voice 1's E5 and joins it.
    EXPECT_EQ(struckInTime(t), (std::vector<Struck>{{0, 67, Q, 2},
                                                    {0, 72, 2 * Q, 1},
                                                    {Q, 60, Q, 2},
                                                    {Q, 69, Q, 2},
                                                    {2 * Q, 71, 2 * Q, 2},
                                                    {2 * Q, 74, Q, 1},
                                                    {3 * Q, 76, Q / 2, 1},
                                                    {3 * Q, 79, Q / 2, 1},
                                                    {7 * Q / 2, 77, Q / 2, 1}}));
    const std::string w = allWarnings(i.result);
    EXPECT_TRUE(contains(w, "1 note of a third or later voice was left out: a staff keeps two voices, and "
                            "the note starts with no note of either"))
        << w;
}

TEST(MusicXmlImportTwoVoices, TiesOfVoiceTwoHoldWithinAMeasureAndOverTheBarLine)
{
    constexpr Ticks Q = kQuarterTicks;
    // Voice 2: G4 quarter tied to a quarter, then A4 half tied over the bar line to a quarter,
    // then B4. Voice 1 plays quarters.
    const std::string m1 =
        attributes(kTreble) + voiced("C", 5, 4, "quarter", 1) + voiced("D", 5, 4, "quarter", 1) +
        voiced("E", 5, 4, "quarter", 1) + voiced("F", 5, 4, "quarter", 1) + backup(16) +
        voiced("G", 4, 4, "quarter", 2, kTieStart) + voiced("G", 4, 4, "quarter", 2, kTieStop) +
        voiced("A", 4, 8, "half", 2, kTieStart);
    const std::string m2 = voiced("G", 5, 4, "quarter", 1) + voiced("A", 5, 4, "quarter", 1) +
                           voiced("B", 5, 4, "quarter", 1) + voiced("C", 6, 4, "quarter", 1) + backup(16) +
                           voiced("A", 4, 4, "quarter", 2, kTieStop) + voiced("B", 4, 4, "quarter", 2) +
                           forward(8);
    const auto i = import(scoreXml({{"P", measure(1, m1) + measure(2, m2)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    EXPECT_EQ(allWarnings(i.result), "");
    const Track& t = *i.sheet->trackAt(0);
    EXPECT_EQ(struckInTime(t), (std::vector<Struck>{{0, 67, 2 * Q, 2},
                                                    {0, 72, Q, 1},
                                                    {Q, 74, Q, 1},
                                                    {2 * Q, 69, 3 * Q, 2},
                                                    {2 * Q, 76, Q, 1},
                                                    {3 * Q, 77, Q, 1},
                                                    {4 * Q, 79, Q, 1},
                                                    {5 * Q, 71, Q, 2},
                                                    {5 * Q, 81, Q, 1},
                                                    {6 * Q, 83, Q, 1},
                                                    {7 * Q, 84, Q, 1}}));
    // The tied A4's second piece lies in measure 2, after voice 1's first note there.
    ASSERT_EQ(t.count, 13);
    EXPECT_EQ(t.noteAt(5).type, kTypeHalf);
    EXPECT_EQ(t.noteAt(8).type, kTypeQuarter);
    EXPECT_TRUE(t.noteAt(8).inVoice2());
    EXPECT_NE(t.noteAt(5).dwFlag & t.noteAt(8).dwFlag & kFlagTie, 0);
    Track& divided = *i.sheet->trackAt(0);
    divided.divideIntoMeasures();
    EXPECT_EQ(divided.measureDivision().measureOf(8), 2);
}

TEST(MusicXmlImportTwoVoices, AVoiceOfRestsIsNoSecondVoiceAndAStaffOfOneVoiceImportsAsBefore)
{
    const std::string melody = voiced("C", 5, 8, "half", 1) + voiced("D", 5, 8, "half", 1);
    // Voice 2 has rests only; voice 3 one note with the D5.
    const std::string m = attributes(kTreble) + melody + backup(16) +
                          "<note><rest measure=\"yes\"/><duration>16</duration><voice>2</voice></note>" +
                          backup(16) + forward(8) + voiced("F", 4, 8, "half", 3);
    const auto i = import(scoreXml({{"P", measure(1, m)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    const Track& t = *i.sheet->trackAt(0);
    // C5, voice 2's rest up to beat 3, D5, and voice 3's F4 as voice 2.
    ASSERT_EQ(t.count, 4);
    EXPECT_TRUE(t.noteAt(1).inVoice2() && t.noteAt(1).isRest());
    EXPECT_TRUE(t.noteAt(3).inVoice2() && !t.noteAt(3).isRest())
        << "voice 3 sounds a note, the voice of rests none";
    EXPECT_EQ(soundingPitch(t.noteAt(3), t), 65);

    // Without the voice 3 note the staff holds one voice, and the rests of voice 2 leave no trace.
    const auto one =
        import(scoreXml({{"P", measure(1, attributes(kTreble) + melody + backup(16) +
                                              "<note><rest measure=\"yes\"/><duration>16</duration>"
                                              "<voice>2</voice></note>")}}));
    const auto plain = import(scoreXml({{"P", measure(1, attributes(kTreble) + melody)}}));
    ASSERT_TRUE(one.result.ok() && plain.result.ok());
    const Track& a = *one.sheet->trackAt(0);
    const Track& b = *plain.sheet->trackAt(0);
    EXPECT_FALSE(hasSecondVoice(a));
    ASSERT_EQ(a.count, b.count);
    for (int k = 0; k < a.count; ++k)
        EXPECT_TRUE(a.noteAt(k).content() == b.noteAt(k).content()) << k;
}

TEST(MusicXmlImportTwoVoices, AVoiceTwoNoteOverlappingTheOneBeforeFollowsItAndIsNamed)
{
    constexpr Ticks Q = kQuarterTicks;
    // Voice 2's A4 starts on beat 2 while its G4 half still sounds (a backup inside the voice).
    const std::string m = attributes(kTreble) + voiced("C", 5, 4, "quarter", 1) +
                          voiced("D", 5, 4, "quarter", 1) + voiced("E", 5, 4, "quarter", 1) +
                          voiced("F", 5, 4, "quarter", 1) + backup(16) + voiced("G", 4, 8, "half", 2) +
                          backup(4) + voiced("A", 4, 4, "quarter", 2);
    const auto i = import(scoreXml({{"P", measure(1, m)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    const std::vector<Struck> struck = struckInTime(*i.sheet->trackAt(0));
    EXPECT_NE(std::find(struck.begin(), struck.end(), Struck{2 * Q, 69, Q, 2}), struck.end());
    EXPECT_TRUE(contains(
        allWarnings(i.result),
        "notes of the second voice that start before its previous note ends (moved to follow it) (1)"))
        << allWarnings(i.result);
}

TEST(MusicXmlImportTwoVoices, AUnisonOfTheTwoVoicesSoundsOnceAndTheMidiFileHasNoEmptyNote)
{
    constexpr Ticks Q = kQuarterTicks;
    // Voice 2's chord C5-E4 starts on voice 1's C5: E4 takes its place in voice 2's rhythm; its D5 starts
    // on voice 1's D5 and falls silent.
    const std::string m = attributes(kTreble) + voiced("C", 5, 8, "half", 1) +
                          voiced("D", 5, 4, "quarter", 1) + voiced("E", 5, 2, "eighth", 1) +
                          voiced("F", 5, 2, "eighth", 1) + backup(16) + voiced("C", 5, 4, "quarter", 2) +
                          voiced("E", 4, 4, "quarter", 2, "", true) + voiced("F", 4, 4, "quarter", 2) +
                          voiced("D", 5, 8, "half", 2);
    const auto i = import(scoreXml({{"P", measure(1, m)}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    const Track& t = *i.sheet->trackAt(0);
    EXPECT_EQ(struckInTime(t), (std::vector<Struck>{{0, 64, Q, 2},
                                                    {0, 72, 2 * Q, 1},
                                                    {Q, 65, Q, 2},
                                                    {2 * Q, 74, Q, 1},
                                                    {3 * Q, 76, Q / 2, 1},
                                                    {7 * Q / 2, 77, Q / 2, 1}}));
    EXPECT_TRUE(contains(allWarnings(i.result), "notes in unison with another voice (played once) (2)"))
        << allWarnings(i.result);
    const auto ons = exportedNoteOns(*i.sheet, "unison2");
    if (ons.empty())
        GTEST_SKIP() << "midicsv is needed to read the MIDI file";
    EXPECT_EQ(ons.size(), 6u);
}

// ---------------------------------------------------------------------------------------------
// Text encodings and what comes before the root

// UTF-8 text as UTF-16 bytes, with or without the byte-order mark.
std::string utf16Of(const std::string& utf8, bool bigEndian, bool mark)
{
    std::u32string chars;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const int n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        char32_t c = n == 1 ? b : b & (0x7F >> n);
        for (int k = 1; k < n; ++k)
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]) & 0x3F);
        chars += c;
        i += static_cast<std::size_t>(n);
    }
    std::string out;
    const auto put = [&](unsigned u) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    };
    if (mark)
        put(0xFEFF);
    for (char32_t c : chars) {
        if (c >= 0x10000) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(static_cast<unsigned>(c));
        }
    }
    return out;
}

std::string withEncoding(std::string xml, const std::string& encoding)
{
    const auto at = xml.find("encoding=\"UTF-8\"");
    return xml.replace(at, 16, "encoding=\"" + encoding + "\"");
}

TEST(MusicXmlImportInput, Utf16AndLatin1FilesReadAsTheirUtf8Original)
{
    const std::string m = attributes(kTreble) +
                          note("C", 5, 4, "quarter", "<lyric><text>Grüße 🎵</text></lyric>") +
                          note("E", 5, 4, "quarter") + note("G", 5, 8, "half");
    const std::string utf8 = scoreXml({{"Flöte", measure(1, m)}});
    const std::string utf16 = withEncoding(utf8, "UTF-16");
    struct Case {
        const char* what;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"UTF-16 little-endian with its mark", utf16Of(utf16, false, true)},
        {"UTF-16 big-endian with its mark", utf16Of(utf16, true, true)},
        {"UTF-16 little-endian without a mark", utf16Of(utf16, false, false)},
        {"UTF-16 big-endian without a mark", utf16Of(utf16, true, false)},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" + utf8},
    };
    for (const Case& c : cases) {
        const auto i = import(c.bytes);
        ASSERT_TRUE(i.result.ok()) << c.what << ": " << i.result.error;
        const Track& t = *i.sheet->trackAt(0);
        EXPECT_EQ(t.name, std::string("Flöte")) << c.what;
        EXPECT_EQ(t.noteAt(0).lyrictext().value_or(""), "Grüße 🎵") << c.what;
        EXPECT_EQ(soundingKeys(t), (std::vector<int>{72, 76, 79})) << c.what;
        EXPECT_TRUE(looksLikeMusicXml(c.bytes.substr(0, 4096), "score.xml")) << c.what;
    }
    // ISO-8859-1, named by the declaration: the ö is one byte.
    std::string latin1 = withEncoding(
        scoreXml({{"Fl\xF6te", measure(1, m.substr(0, m.find("<lyric>")) + "<type>quarter</type></note>")}}),
        "ISO-8859-1");
    const auto l = import(latin1);
    ASSERT_TRUE(l.result.ok()) << l.result.error;
    EXPECT_EQ(l.sheet->trackAt(0)->name, std::string("Flöte"));
    // An encoding the reader does not know is named, and the sheet stays as it was.
    const auto sj = import(withEncoding(utf8, "Shift_JIS"));
    EXPECT_FALSE(sj.result.ok());
    EXPECT_TRUE(contains(sj.result.error, "\"shift_jis\"")) << sj.result.error;
}

TEST(MusicXmlImportInput, TheRootIsFoundAfterLongCommentsAndADocumentTypeWhateverTheyHold)
{
    const std::string body =
        "<score-partwise version=\"3.1\"><part-list><score-part id=\"P1\"><part-name>&who;"
        "</part-name></score-part></part-list><part id=\"P1\">" +
        measure(1, attributes(kTreble) + note("D", 5, 16, "whole")) + "</part></score-partwise>";
    const std::string head =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
        "<!-- " +
        std::string(70 * 1024, 'x') +
        " -->\n<?finale-layout page=\"1\" mark=\"]>\"?>\n"
        "<!DOCTYPE score-partwise PUBLIC \"-//Recordare//DTD MusicXML 3.1 Partwise//EN\" "
        "\"http://www.musicxml.org/dtds/partwise.dtd\" [\n"
        "  <!ENTITY who \"the <score-timewise> ]> composer\">\n"
        "  <!-- a comment with ]> and \" in it -->\n"
        "  <!ENTITY lol \"lol\"><!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">\n"
        "  <?pi ]> ?>\n"
        "]>\n";
    const auto i = import(head + body);
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    // The entity stays as it is written: nothing the file declares is expanded.
    EXPECT_EQ(i.sheet->trackAt(0)->name, std::string("&who;"));
    EXPECT_EQ(soundingKeys(*i.sheet->trackAt(0)), (std::vector<int>{74}));

    // Opened by name and content, the 70 KB comment does not hide the root.
    const auto path =
        std::filesystem::temp_directory_path() / ("tonvela-long-head-" + std::to_string(::getpid()) + ".xml");
    {
        std::ofstream out(path, std::ios::binary);
        out << head << body;
    }
    EXPECT_TRUE(isMusicXmlFile(path.string()));
    {
        std::ofstream out(path, std::ios::binary);
        out << head << "<svg/>";
    }
    EXPECT_FALSE(isMusicXmlFile(path.string()));
    std::filesystem::remove(path);
}

// ---------------------------------------------------------------------------------------------
// Title and composer

// A score whose header is `header` (what comes before the part list).
std::string scoreWithHeader(const std::string& header)
{
    std::string xml = scoreXml({{"P", measure(1, attributes(kTreble) + note("C", 5, 16, "whole"))}});
    const auto at = xml.find("<part-list>");
    return xml.insert(at, header);
}

TEST(MusicXmlImportTexts, TitleAndComposerComeFromTheWorkTheMovementOrTheBiggestCentredCredit)
{
    const std::string creators = "<identification><creator type=\"lyricist\">A. Poet</creator>"
                                 "<creator type=\"composer\">  Scott\n   Joplin </creator></identification>";
    const std::string credits =
        "<credit page=\"1\"><credit-words justify=\"right\" font-size=\"30\">Scott "
        "Joplin</credit-words></credit>"
        "<credit page=\"1\"><credit-words justify=\"center\" font-size=\"14\">A Ragtime Two "
        "Step</credit-words>"
        "</credit>"
        "<credit page=\"1\"><credit-words justify=\"center\" valign=\"top\" font-size=\"24\">The Entertainer"
        "</credit-words></credit>"
        "<credit page=\"2\"><credit-words justify=\"center\" font-size=\"40\">Page "
        "two</credit-words></credit>";
    struct Case {
        std::string header, title;
    };
    const std::vector<Case> cases = {
        {"<work><work-title>The Entertainer</work-title></work><movement-title>Not this</movement-title>" +
             creators + credits,
         "The Entertainer"},
        {"<movement-title>Maple Leaf Rag</movement-title>" + creators, "Maple Leaf Rag"},
        {"<work><work-title> </work-title></work>" + creators + "<defaults/>" + credits, "The Entertainer"},
        {creators, ""},
    };
    for (const Case& c : cases) {
        const auto i = import(scoreWithHeader(c.header));
        ASSERT_TRUE(i.result.ok()) << i.result.error;
        EXPECT_EQ(i.sheet->texts.title, c.title) << c.header;
        EXPECT_EQ(i.sheet->texts.composer, "Scott Joplin") << c.header;
        EXPECT_EQ(i.sheet->texts.lyricist, "");
    }
    // Kept with the sheet and written back on export, instead of the file's name.
    const auto i = import(scoreWithHeader(cases[0].header));
    std::string text, error;
    ASSERT_TRUE(musicXmlText(*i.sheet, "entertainer.musicxml", text, error)) << error;
    EXPECT_NE(text.find("<work-title>The Entertainer</work-title>"), std::string::npos) << text;
    EXPECT_NE(text.find("<creator type=\"composer\">Scott Joplin</creator>"), std::string::npos) << text;
    // An import into a sheet replaces the texts it had.
    SheetDocument sheet;
    sheet.texts.title = "Old";
    sheet.texts.copyright = "Old";
    ASSERT_TRUE(importMusicXmlData(scoreWithHeader(""), sheet).ok());
    EXPECT_EQ(sheet.texts, SheetTexts{});
}

// ---------------------------------------------------------------------------------------------
// One ragtime fragment as three notation programs write it, and MuseScore's playing of files

// The fragment in 2/4 on a piano part: the right hand C5 E5 (eighths) G5, C6 (half, tied on) |
// C6 rest; the left hand a whole rest in the first bar (no measure="yes"), then C3, G3+C4 |
// C3 (half). `dialect` picks how the file is written: "finale" (UTF-16 with its mark, comment
// banners, voice 1 on both staves, the title as a centred credit), "sibelius" (standalone
// declaration, 256 divisions, voice 5 on the lower staff) or "musescore" (measure rests marked,
// work and movement titles).
std::string ragtime(const std::string& dialect)
{
    const bool finale = dialect == "finale", sibelius = dialect == "sibelius";
    const int q = sibelius ? 256 : finale ? 2 : 480; // divisions of a quarter
    const std::string lower = sibelius ? "5" : finale ? "1" : "2";
    const auto n = [&](const std::string& step, int octave, int quarters2, const std::string& type,
                       const std::string& voice, int staff, const std::string& extra = "") {
        return "<note>" + extra.substr(0, extra.find('|')) + "<pitch><step>" + step + "</step><octave>" +
               std::to_string(octave) + "</octave></pitch><duration>" + std::to_string(q * quarters2 / 2) +
               "</duration>" +
               (extra.find('|') == std::string::npos ? "" : extra.substr(extra.find('|') + 1)) + "<voice>" +
               voice + "</voice><type>" + type + "</type><staff>" + std::to_string(staff) + "</staff></note>";
    };
    // Every program writes a tie twice: the sound (<tie>) and the picture (<tied>).
    const std::string tieStart = "|<tie type=\"start\"/>";
    const std::string tied = "<notations><tied type=\"start\"/></notations>";
    const std::string tieStop = "|<tie type=\"stop\"/>";
    const std::string back = "<backup><duration>" + std::to_string(2 * q) + "</duration></backup>";
    const std::string wholeRest = "<note><rest" +
                                  std::string(dialect == "musescore" ? " measure=\"yes\"" : "") +
                                  "/><duration>" + std::to_string(2 * q) + "</duration><voice>" + lower +
                                  "</voice><type>whole</type><staff>2</staff></note>";
    const std::string attrs =
        "<attributes><divisions>" + std::to_string(q) +
        "</divisions><key><fifths>0</fifths></key><time><beats>2</beats><beat-type>4"
        "</beat-type></time><staves>2</staves><clef number=\"1\"><sign>G</sign><line>2"
        "</line></clef><clef number=\"2\"><sign>F</sign><line>4</line></clef></attributes>";
    const std::string m1 = attrs + n("C", 5, 1, "eighth", "1", 1) + n("E", 5, 1, "eighth", "1", 1) +
                           n("G", 5, 2, "quarter", "1", 1) + back + wholeRest;
    std::string c6 = n("C", 6, 4, "half", "1", 1, tieStart);
    if (!tied.empty())
        c6.insert(c6.find("</note>"), tied);
    const std::string m2 = c6 + back + n("C", 3, 2, "quarter", lower, 2) + n("G", 3, 2, "quarter", lower, 2) +
                           n("C", 4, 2, "quarter", lower, 2, "<chord/>");
    const std::string m3 = n("C", 6, 2, "quarter", "1", 1, tieStop) + "<note><rest/><duration>" +
                           std::to_string(q) +
                           "</duration><voice>1</voice><type>quarter</type><staff>1</staff>"
                           "</note>" +
                           back + n("C", 3, 4, "half", lower, 2);
    std::string header;
    if (finale)
        header =
            "<identification><creator type=\"composer\">Scott Joplin</creator><encoding><software>Finale "
            "v26.3 for Mac</software></encoding></identification><credit page=\"1\"><credit-words "
            "default-x=\"616\" default-y=\"1511\" font-size=\"24\" justify=\"center\" valign=\"top\">The "
            "Entertainer</credit-words></credit><credit page=\"1\"><credit-words justify=\"right\" "
            "font-size=\"12\">Scott Joplin</credit-words></credit>";
    else if (sibelius)
        header = "<work><work-title>The Entertainer</work-title></work><identification><creator "
                 "type=\"composer\">Scott Joplin</creator><encoding><software>Sibelius 19.1.0</software>"
                 "</encoding></identification>";
    else
        header = "<work><work-title>The Entertainer</work-title></work><movement-title>A Ragtime Two Step"
                 "</movement-title><identification><creator type=\"composer\">Scott Joplin</creator>"
                 "<encoding><software>MuseScore 3.2.3</software></encoding></identification>";
    std::string xml = std::string("<?xml version=\"1.0\" encoding=\"") + (finale ? "UTF-16" : "UTF-8") +
                      "\"" + (sibelius ? " standalone=\"no\"" : "") +
                      "?>\n<!DOCTYPE score-partwise PUBLIC \"-//Recordare//DTD MusicXML 3.0 Partwise//EN\" "
                      "\"http://www.musicxml.org/dtds/partwise.dtd\">\n" +
                      (finale ? "<!--=========================================================-->\n" : "") +
                      "<score-partwise version=\"3.0\">" + header +
                      "<part-list><score-part id=\"P1\"><part-name>Piano</part-name></score-part></part-list>"
                      "<part id=\"P1\">" +
                      (finale ? "<!--=======================================================-->" : "") +
                      measure(1, m1) + measure(2, m2) + measure(3, m3) + "</part></score-partwise>";
    return finale ? utf16Of(xml, false, true) : xml;
}

// Where each struck note of a track starts in score time, with its key.
std::vector<std::pair<Ticks, int>> struckTimes(const Track& t)
{
    std::vector<std::pair<Ticks, int>> out;
    PlayWalk walk(t);
    while (const auto step = walk.next())
        forEachPlayedNote(t, *step, [&](const PlayedNote& p) {
            if (!p.rest)
                out.emplace_back(step->start, soundingPitch(t.noteAt(p.index), t));
        });
    return out;
}

TEST(MusicXmlImportFiles, FinaleSibeliusAndMuseScoreWaysOfWritingOnePieceGiveOneSheet)
{
    const Ticks q = kQuarterTicks;
    const std::vector<std::pair<Ticks, int>> right = {{0, 72}, {q / 2, 76}, {q, 79}, {2 * q, 84}};
    const std::vector<std::pair<Ticks, int>> left = {{2 * q, 48}, {3 * q, 55}, {3 * q, 60}, {4 * q, 48}};
    for (const std::string dialect : {"finale", "sibelius", "musescore"}) {
        const auto i = import(ragtime(dialect));
        ASSERT_TRUE(i.result.ok()) << dialect << ": " << i.result.error;
        ASSERT_EQ(i.sheet->trackCount(), 2) << dialect;
        EXPECT_EQ(struckTimes(*i.sheet->trackAt(0)), right) << dialect;
        EXPECT_EQ(struckTimes(*i.sheet->trackAt(1)), left) << dialect;
        EXPECT_EQ(i.sheet->texts.title, "The Entertainer") << dialect;
        EXPECT_EQ(i.sheet->texts.composer, "Scott Joplin") << dialect;
        EXPECT_EQ(allWarnings(i.result), "") << dialect;
    }
}

// What MuseScore 3 plays from a file against the MIDI export of the sheet Tonvela imports from
// it: note-ons matched by key within 30 ms.
struct PlayedAlike {
    int ours = 0, theirs = 0, matched = 0;
    int warned = 0; // notes the import's warnings name as left out or struck again
    std::string unmatched;
};

// The notes the warnings of an import name, counted: dropped voices, and every left-out kind
// that counts notes (grace and cue notes, unisons, tied notes struck again, ...).
int notesNamedInWarnings(const LoadResult& r)
{
    int named = 0;
    for (const auto& w : r.warnings) {
        if (w.find(" of a third or later voice was left out") != std::string::npos ||
            w.find(" of third or later voices were left out") != std::string::npos)
            named += std::stoi(w.substr(0, w.find(' ')));
        if (w.rfind("Left out", 0) != 0)
            continue;
        // "kind (N)" items: a kind about notes, or about ornaments MuseScore plays as notes.
        for (std::size_t at = w.find(" ("); at != std::string::npos; at = w.find(" (", at + 2)) {
            const std::size_t close = w.find(')', at);
            const std::string count = w.substr(at + 2, close - at - 2);
            if (count.empty() || count.find_first_not_of("0123456789") != std::string::npos)
                continue;
            const std::size_t start = std::max(w.rfind(", ", at), w.rfind(": ", at));
            const std::string kind = w.substr(start + 2, at - start - 2);
            if (kind.rfind("bar lines", 0) != 0 &&
                (kind.find("note") != std::string::npos || kind.find("ornaments") != std::string::npos))
                named += std::stoi(count);
        }
    }
    return named;
}

std::optional<PlayedAlike> compareWithMuseScore(const std::string& file, const Imported& i)
{
    const auto folder =
        std::filesystem::temp_directory_path() / ("tonvela-alike-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string theirs = (folder / "theirs.mid").string();
    std::filesystem::remove(theirs);
    const std::string command = "HOME='" + folder.string() + "' XDG_RUNTIME_DIR='" + folder.string() +
                                "' QT_QPA_PLATFORM=offscreen timeout 180 mscore3 -o '" + theirs + "' '" +
                                file + "' >/dev/null 2>&1";
    const std::string ours = (folder / "ours.mid").string();
    if (std::system(command.c_str()) != 0 || !std::filesystem::exists(theirs) ||
        !writeMidiFile(*i.sheet, ours, kAllTracks).ok) {
        std::filesystem::remove_all(folder);
        return std::nullopt;
    }
    const auto a = noteOnsOf(ours);
    auto b = noteOnsOf(theirs);
    std::filesystem::remove_all(folder);
    PlayedAlike r;
    r.ours = static_cast<int>(a.size());
    r.theirs = static_cast<int>(b.size());
    r.warned = notesNamedInWarnings(i.result);
    std::vector<bool> used(b.size(), false);
    for (const auto& [ms, key] : a) {
        std::size_t best = b.size();
        for (std::size_t k = 0; k < b.size(); ++k)
            if (!used[k] && b[k].second == key && std::llabs(b[k].first - ms) <= 30 &&
                (best == b.size() || std::llabs(b[k].first - ms) < std::llabs(b[best].first - ms)))
                best = k;
        if (best < b.size()) {
            used[best] = true;
            ++r.matched;
        } else if (r.unmatched.size() < 400) {
            r.unmatched += " ours: key " + std::to_string(key) + " at " + std::to_string(ms) + " ms;";
        }
    }
    for (std::size_t k = 0; k < b.size(); ++k)
        if (!used[k] && r.unmatched.size() < 800)
            r.unmatched += " MuseScore's: key " + std::to_string(b[k].second) + " at " +
                           std::to_string(b[k].first) + " ms;";
    return r;
}

// Every MusicXML file the tests keep, and the fragment as each program writes it: what Tonvela
// plays from the file (its MIDI export) is what MuseScore plays, note for note within 30 ms,
// except the notes the import's warnings name.
TEST(MusicXmlImportFiles, WhatTonvelaPlaysFromAFileIsWhatMuseScorePlaysButForTheNotesTheWarningsName)
{
    if (!haveMuseScoreAndMidicsv())
        GTEST_SKIP() << "mscore3 (MuseScore 3) and midicsv are needed for this comparison";
    struct Source {
        std::string name, path;
    };
    std::vector<Source> sources;
    for (const char* f : {"Fugue_1.mxl", "Reunion.mxl", "Unclaimed_Gift.mxl", "Unclaimed_Gift.musicxml"})
        sources.push_back({f, std::string(TONVELA_TEST_DATA) + "/musicxml/" + f});
    const auto folder =
        std::filesystem::temp_directory_path() / ("tonvela-dialects-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    for (const std::string dialect : {"finale", "sibelius", "musescore"}) {
        const std::string path = (folder / (dialect + ".musicxml")).string();
        std::ofstream(path, std::ios::binary) << ragtime(dialect);
        sources.push_back({dialect + "-style", path});
    }
    int identical = 0, matched = 0, warned = 0, total = 0;
    for (const Source& s : sources) {
        std::string bytes;
        ASSERT_TRUE(readWholeFile(s.path, bytes, kMaxMusicXmlFileBytes).ok);
        const Imported i = import(bytes);
        ASSERT_TRUE(i.result.ok()) << s.name << ": " << i.result.error;
        const auto r = compareWithMuseScore(s.path, i);
        ASSERT_TRUE(r) << s.name << ": MuseScore could not read it";
        // Each note only one side plays is one the warnings name. Where the warnings name what
        // moves the notes after it in time (endings played as written, tempo changes, triplets
        // played at their written length), the figures are only reported.
        const int apart = (r->ours - r->matched) + (r->theirs - r->matched);
        const std::string warnings = allWarnings(i.result);
        const bool retimed = contains(warnings, "endings") || contains(warnings, "repeats inside") ||
                             contains(warnings, "tempo changes") || contains(warnings, "triplet timing") ||
                             contains(warnings, "tuplets other") ||
                             contains(warnings, "time signature changes") ||
                             contains(warnings, "segno and coda");
        if (!retimed) {
            EXPECT_LE(apart, r->warned) << s.name << ": " << r->matched << " of " << r->theirs
                                        << " notes matched; " << warnings << r->unmatched;
        }
        std::cout << "[ figures  ] " << s.name << ": MuseScore plays " << r->theirs << " notes, Tonvela "
                  << r->ours << ", matched within 30 ms " << r->matched << ", named in warnings " << r->warned
                  << (retimed ? " (warnings name what moves later notes in time)" : "") << "\n";
        identical += apart == 0 ? 1 : 0;
        matched += r->matched;
        warned += r->warned;
        total += r->theirs;
    }
    std::filesystem::remove_all(folder);
    std::cout << "[ figures  ] " << identical << " of " << sources.size() << " files identical; " << matched
              << " of " << total << " notes matched; " << warned << " notes named in warnings\n";
}

} // namespace
} // namespace tonvela

namespace tonvela {
namespace {

TEST(MusicXmlImportMeter, AnImplicitShortFirstMeasureIsThePickupAndCutAndCommonTimeKeepTheirGlyph)
{
    // 3/4 with a quarter pickup (divisions 4): E | F G A | B
    const std::string pickup = "<measure number=\"0\" implicit=\"yes\">" + attributes(kTreble8, 0, "3/4") +
                               note("E", 4, 4, "quarter") + "</measure>";
    const auto i =
        import(scoreXml({{"P", pickup +
                                   measure(1, note("F", 4, 4, "quarter") + note("G", 4, 4, "quarter") +
                                                  note("A", 4, 4, "quarter")) +
                                   measure(2, note("B", 4, 12, "half", "<dot/>"))}}));
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    EXPECT_EQ(i.sheet->timesig, kTimeSig34);
    EXPECT_EQ(i.sheet->pickup, kQuarterTicks);
    const Track& t = *i.sheet->trackAt(0);
    EXPECT_EQ(t.pickupTicks, kQuarterTicks);
    // No Bar note stands after the pickup: the sheet counts it as its first, short measure.
    for (int k = 0; k < t.count; ++k)
        EXPECT_NE(t.noteAt(k).type, kTypeBar) << k;
    Track& mt = *i.sheet->trackAt(0);
    mt.divideIntoMeasures();
    EXPECT_EQ(mt.measureDivision().measureOf(1), 2) << "F opens the first full measure";
    EXPECT_EQ(mt.measureDivision().measureOf(4), 3);
    EXPECT_TRUE(i.result.warnings.empty()) << allWarnings(i.result);

    // A short first measure the file counts is no pickup: a Bar note keeps the count instead.
    const std::string counted =
        "<measure number=\"1\">" + attributes(kTreble8, 0, "3/4") + note("E", 4, 4, "quarter") + "</measure>";
    const auto c = import(scoreXml({{"P", counted + measure(2, note("F", 4, 12, "half", "<dot/>"))}}));
    ASSERT_TRUE(c.result.ok());
    EXPECT_EQ(c.sheet->pickup, 0);

    // The time symbols: common 4/4, cut 2/2, and 12/8 and 3/2 as numbers.
    struct Case {
        std::string time;
        int code;
    };
    for (const Case& k :
         {Case{"<time symbol=\"common\"><beats>4</beats><beat-type>4</beat-type></time>",
               kTimeSigSingleGlyph},
          Case{"<time symbol=\"cut\"><beats>2</beats><beat-type>2</beat-type></time>", kTimeSig22},
          Case{"<time><beats>2</beats><beat-type>2</beat-type></time>", kTimeSig22},
          Case{"<time><beats>12</beats><beat-type>8</beat-type></time>", kTimeSig128},
          Case{"<time><beats>3</beats><beat-type>2</beat-type></time>", kTimeSig32},
          Case{"<time><beats>4</beats><beat-type>8</beat-type></time>", kTimeSig48}}) {
        const auto m =
            import(scoreXml({{"P", measure(1, "<attributes><divisions>4</divisions>" + k.time + kTreble8 +
                                                  "</attributes>" + note("C", 4, 4, "quarter"))}}));
        ASSERT_TRUE(m.result.ok()) << k.time;
        EXPECT_EQ(m.sheet->timesig, k.code) << k.time;
        EXPECT_EQ(allWarnings(m.result).find("time signatures the sheet does not have"), std::string::npos)
            << k.time << allWarnings(m.result);
    }
}

// A file a notation program wrote: a passage of eight measures after a pickup, with a first
// ending of three and a second of three. Notes run over its bar lines, so the sheet's measures
// (which begin at the first note after a full measure) do not begin where the file's endings
// do: the passage falls back to a note loop, and the warning names the endings.
TEST(MusicXmlImportRepeats, EndingsOffTheSheetsMeasuresFallBackToANoteLoopAndAreNamed)
{
    const Imported i = importFile("Unclaimed_Gift.musicxml");
    ASSERT_TRUE(i.result.ok()) << i.result.error;
    EXPECT_TRUE(i.sheet->repeatRanges.empty());
    EXPECT_TRUE(contains(allWarnings(i.result),
                         "endings of repeats played as a note loop (more than twice, or "
                         "not on the sheet's measures) (1)"))
        << allWarnings(i.result);
    const Track& t = *i.sheet->trackAt(0);
    int loops = 0;
    for (int n = 0; n < t.count; ++n)
        loops += t.noteAt(n).loopCount == 1 && t.noteAt(n).loopTo == 3 ? 1 : 0;
    EXPECT_EQ(loops, 1) << "from the first note after the pickup";
}

} // namespace
} // namespace tonvela
