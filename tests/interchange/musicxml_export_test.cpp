#include "interchange_test_support.h"

#include "score/sounding_pitch.h"
#include "score/time_signature.h"

#include <map>

namespace tonvela {
namespace {

using testing::append;
using testing::appendChord;
using testing::Exported;
using testing::exportSheet;
using testing::makeNote;
using testing::pitchName;

int semitoneOfStep(const std::string& step)
{
    static const std::map<std::string, int> kSteps{{"C", 0}, {"D", 2}, {"E", 4}, {"F", 5},
                                                   {"G", 7}, {"A", 9}, {"B", 11}};
    const auto it = kSteps.find(step);
    return it == kSteps.end() ? -1000 : it->second;
}

// The key a reader sounds for a written note: its pitch moved by the part's transposition.
int soundedKey(pugi::xml_node note, int octaveChange)
{
    pugi::xml_node p = note.child("pitch");
    return 12 * (p.child("octave").text().as_int() + 1) + semitoneOfStep(p.child_value("step")) +
           p.child("alter").text().as_int(0) + 12 * octaveChange;
}

int octaveChangeOf(const Exported& x, int part)
{
    return x.measure(part, 1).child("attributes").child("transpose").child("octave-change").text().as_int(0);
}

// Every measure of every part adds up to its time signature in each voice it writes.
void expectMeasuresFill(const Exported& x, int measureTicks)
{
    for (pugi::xml_node part : x.score().children("part")) {
        for (pugi::xml_node m : part.children("measure")) {
            std::map<std::string, int> voices;
            std::string voice = "1";
            for (pugi::xml_node e : m.children()) {
                const std::string name = e.name();
                if (name == "backup")
                    voice.clear();
                if ((name == "note" && !e.child("chord")) || name == "forward") {
                    voice = e.child_value("voice");
                    voices[voice] += e.child("duration").text().as_int();
                }
            }
            for (const auto& [v, ticks] : voices)
                EXPECT_EQ(ticks, measureTicks) << "part " << part.attribute("id").value() << " measure "
                                               << m.attribute("number").value() << " voice " << v;
        }
    }
}

TEST(MusicXmlExport, EachStaffKindGetsTheClefTheSheetDraws)
{
    SheetDocument sheet;
    sheet.setTrackCount(5);
    setStaffKind(*sheet.trackAt(1), StaffKind::FClef);
    setStaffKind(*sheet.trackAt(2), StaffKind::G2Clef);
    sheet.trackAt(3)->percussive = 1;
    setStaffKind(*sheet.trackAt(4), StaffKind::Tablature);
    Exported x;
    exportSheet(sheet, x);
    const auto clef = [&](int part) { return x.measure(part, 1).child("attributes").child("clef"); };
    EXPECT_STREQ(clef(0).child_value("sign"), "G");
    EXPECT_EQ(clef(0).child("line").text().as_int(), 2);
    EXPECT_EQ(clef(0).child("clef-octave-change").text().as_int(), -1);
    // The clef's 8 makes the staff read an octave lower; the part itself does not transpose.
    EXPECT_FALSE(x.measure(0, 1).child("attributes").child("transpose"));
    EXPECT_STREQ(clef(1).child_value("sign"), "F");
    EXPECT_EQ(clef(1).child("line").text().as_int(), 4);
    EXPECT_STREQ(clef(2).child_value("sign"), "G");
    EXPECT_FALSE(clef(2).child("clef-octave-change"));
    EXPECT_EQ(octaveChangeOf(x, 2), 0);
    EXPECT_STREQ(clef(3).child_value("sign"), "percussion");
    EXPECT_STREQ(clef(4).child_value("sign"), "TAB");
    pugi::xml_node details = x.measure(4, 1).child("attributes").child("staff-details");
    EXPECT_EQ(details.child("staff-lines").text().as_int(), 6);
    std::string tuning;
    for (pugi::xml_node t : details.children("staff-tuning"))
        tuning += std::string(t.child_value("tuning-step")) + t.child_value("tuning-octave") + " ";
    EXPECT_EQ(tuning, "E2 A2 D3 G3 B3 E4 ");
}

TEST(MusicXmlExport, WrittenPitchAndTranspositionSoundWhatPlaybackSounds)
{
    SheetDocument sheet;
    sheet.setTrackCount(4);
    setStaffKind(*sheet.trackAt(1), StaffKind::FClef);
    setStaffKind(*sheet.trackAt(2), StaffKind::G2Clef);
    setStaffKind(*sheet.trackAt(3), StaffKind::Tablature);
    for (int t = 0; t < 4; ++t) {
        Track& track = *sheet.trackAt(t);
        for (int line : {0, -5, 7, 3})
            append(track, makeNote(line));
    }
    Exported x;
    exportSheet(sheet, x);
    // Middle C's position: the G clef staff draws it in the third space, which its clef with
    // the 8 reads as C4; the G(2) clef reads the same place as C5; the F clef's middle C.
    EXPECT_EQ(pitchName(x.pitched(0)[0]), "C4");
    EXPECT_EQ(pitchName(x.pitched(2)[0]), "C5");
    EXPECT_EQ(pitchName(x.pitched(1)[1]), "C4");
    for (int t = 0; t < 4; ++t) {
        const Track& track = *sheet.trackAt(t);
        const auto notes = x.pitched(t);
        ASSERT_EQ(notes.size(), 4u);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(soundedKey(notes[static_cast<std::size_t>(i)], octaveChangeOf(x, t)),
                      soundingPitch(track.noteAt(i), track))
                << "track " << t << " note " << i;
    }
}

TEST(MusicXmlExport, KeySignaturesSpellSharpsAndFlatsWithAccidentalsOnlyForMarks)
{
    SheetDocument sheet;
    sheet.setTrackCount(2);
    Track& d = *sheet.trackAt(0);
    d.setKeyIndex(5);                                    // D major
    append(d, makeNote(-3));                             // F: sharp by the key
    append(d, makeNote(-4, kTypeQuarter, kFlagSharp));   // G sharp
    append(d, makeNote(-3, kTypeQuarter, kFlagNatural)); // F natural
    append(d, makeNote(-7, kTypeQuarter, kFlagSharp));   // C: sharp by key and mark
    Track& b = *sheet.trackAt(1);
    b.setKeyIndex(9);                                    // B flat major
    append(b, makeNote(-6));                             // B flat by the key
    append(b, makeNote(-2));                             // E flat by the key
    append(b, makeNote(-2, kTypeQuarter, kFlagNatural)); // E natural
    append(b, makeNote(-5, kTypeQuarter, kFlagFlat));    // A flat
    Exported x;
    exportSheet(sheet, x);
    EXPECT_EQ(x.measure(0, 1).child("attributes").child("key").child("fifths").text().as_int(), 2);
    EXPECT_EQ(x.measure(1, 1).child("attributes").child("key").child("fifths").text().as_int(), -2);
    const auto names = [&](int part) {
        std::vector<std::string> out;
        for (pugi::xml_node n : x.pitched(part))
            out.push_back(pitchName(n) + "/" + n.child_value("accidental"));
        return out;
    };
    EXPECT_EQ(names(0), (std::vector<std::string>{"F#4/", "G#4/sharp", "F4/natural", "C#5/sharp"}));
    EXPECT_EQ(names(1), (std::vector<std::string>{"Bb4/", "Eb4/", "E4/natural", "Ab4/flat"}));
    for (int t = 0; t < 2; ++t)
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(soundedKey(x.pitched(t)[static_cast<std::size_t>(i)], 0),
                      soundingPitch(sheet.trackAt(t)->noteAt(i), *sheet.trackAt(t)));
}

TEST(MusicXmlExport, DurationsDotsAndTripletMarksAreWrittenAsTheyPlay)
{
    SheetDocument sheet;
    sheet.setTrackCount(1);
    Track& t = *sheet.trackAt(0);
    append(t, makeNote(0, kTypeQuarter, kFlagDot));
    append(t, makeNote(0, kTypeEighth, kFlagTriplet));
    append(t, makeNote(0, kTypeThirtySecond, kFlagDot));
    append(t, makeNote(0, kTypeSixteenth));
    append(t, makeNote(0, kTypeHalf));
    Exported x;
    exportSheet(sheet, x);
    const auto notes = x.pitched(0);
    ASSERT_GE(notes.size(), 5u);
    const auto describe = [](pugi::xml_node n) {
        return std::string(n.child_value("duration")) + " " + n.child_value("type") +
               (n.child("dot") ? "." : "");
    };
    EXPECT_EQ(describe(notes[0]), "144 quarter.");
    // A triplet-marked eighth lasts two thirds of an eighth, three in the time of two.
    EXPECT_EQ(describe(notes[1]), "32 eighth");
    EXPECT_EQ(std::string(notes[1].child("time-modification").child_value("actual-notes")), "3");
    EXPECT_EQ(std::string(notes[1].child("time-modification").child_value("normal-notes")), "2");
    EXPECT_EQ(describe(notes[2]), "18 32nd.");
    EXPECT_EQ(describe(notes[3]), "24 16th");
    expectMeasuresFill(x, 384);
}

TEST(MusicXmlExport, TripletGroupsOfThreeCarryTheirBracketAndABarLineClosesOne)
{
    // 2/4: three triplet eighths, a triplet quarter and a triplet eighth rest | a quarter, a
    // dotted eighth and three triplet eighths, the first of which the bar line cuts
    SheetDocument sheet;
    sheet.setTrackCount(1);
    Track& t = *sheet.trackAt(0);
    t.timeSig = kTimeSig24;
    for (int i = 0; i < 3; ++i)
        append(t, makeNote(-i, kTypeEighth, kFlagTriplet));
    append(t, makeNote(0, kTypeQuarter, kFlagTriplet));
    append(t, makeNote(0, kTypeEighth, kFlagTriplet | kFlagRest));
    append(t, makeNote(0, kTypeQuarter));
    append(t, makeNote(0, kTypeEighth, kFlagDot));
    for (int i = 0; i < 3; ++i)
        append(t, makeNote(-i, kTypeEighth, kFlagTriplet));
    Exported x;
    exportSheet(sheet, x);
    std::vector<std::string> shape;
    for (pugi::xml_node m : x.doc.child("score-partwise").child("part").children("measure")) {
        for (pugi::xml_node n : m.children("note")) {
            std::string d = std::string(n.child("rest") ? "r" : "") + n.child_value("duration") + " " +
                            n.child_value("type");
            if (n.child("time-modification"))
                d += " 3:2";
            for (pugi::xml_node tu : n.child("notations").children("tuplet"))
                d += std::string(" ") + tu.attribute("type").value();
            shape.push_back(d);
        }
        shape.push_back("|");
    }
    // The cut triplet's two pieces are written as plain values of the time they take; the two
    // triplets after it make an incomplete group, bracketed all the same.
    EXPECT_EQ(shape, (std::vector<std::string>{
                         "32 eighth 3:2 start", "32 eighth 3:2", "32 eighth 3:2 stop", "64 quarter 3:2 start",
                         "r32 eighth 3:2 stop", "|", "96 quarter", "72 eighth", "24 16th", "|", "8 64th",
                         "32 eighth 3:2 start", "32 eighth 3:2 stop", "r96 quarter", "r24 16th", "|"}));
    expectMeasuresFill(x, 192);
}

TEST(MusicXmlExport, TiesFollowThePlaybackMergeAndBarLinesSplitNotes)
{
    SheetDocument sheet;
    sheet.setTrackCount(1);
    Track& t = *sheet.trackAt(0);
    append(t, makeNote(0, kTypeQuarter, kFlagTie));
    append(t, makeNote(0, kTypeQuarter, kFlagTie));  // merged with the first
    append(t, makeNote(-1, kTypeQuarter, kFlagTie)); // another letter: struck again
    append(t, makeNote(2, kTypeHalf));               // runs over the bar line
    Exported x;
    exportSheet(sheet, x);
    const auto notes = x.pitched(0);
    ASSERT_EQ(notes.size(), 5u);
    const auto ties = [](pugi::xml_node n) {
        const auto code = [](pugi::xml_node e) {
            return std::string(e.attribute("type").value()) == "start" ? "S" : "P";
        };
        std::string s;
        for (pugi::xml_node tie : n.children("tie"))
            s += code(tie);
        std::string tied;
        for (pugi::xml_node td : n.child("notations").children("tied"))
            tied += code(td);
        EXPECT_EQ(s, tied) << "every tie is drawn as well as played";
        return s;
    };
    EXPECT_EQ(ties(notes[0]), "S");
    EXPECT_EQ(ties(notes[1]), "P");
    EXPECT_EQ(ties(notes[2]), "");
    // The half note starts on beat 4: a quarter in measure 1 tied to a quarter in measure 2.
    EXPECT_EQ(ties(notes[3]), "S");
    EXPECT_EQ(ties(notes[4]), "P");
    EXPECT_EQ(pitchName(notes[3]), pitchName(notes[4]));
    EXPECT_EQ(notes[3].parent().attribute("number").as_int(), 1);
    EXPECT_EQ(notes[4].parent().attribute("number").as_int(), 2);
    expectMeasuresFill(x, 384);
    // The last measure is filled with rests and closed with the final bar line.
    pugi::xml_node bar = x.measure(0, 2).child("barline");
    EXPECT_STREQ(bar.attribute("location").value(), "right");
    EXPECT_STREQ(bar.child_value("bar-style"), "light-heavy");
}

TEST(MusicXmlExport, EveryChordOfATieChainKeepsItsNotesAndTiesThePitchesItHolds)
{
    // <C E G>~ <C E A>: C and E tied on, G ends, A is struck with the second chord.
    SheetDocument sheet;
    sheet.setTrackCount(1);
    Track& t = *sheet.trackAt(0);
    appendChord(t, {makeNote(0, kTypeQuarter, kFlagTie), makeNote(-2, kTypeQuarter, kFlagTie),
                    makeNote(-4, kTypeQuarter, kFlagTie)});
    appendChord(t, {makeNote(0, kTypeQuarter, kFlagTie), makeNote(-2, kTypeQuarter, kFlagTie),
                    makeNote(-5, kTypeQuarter)});
    Exported x;
    exportSheet(sheet, x);
    const auto notes = x.pitched(0);
    ASSERT_EQ(notes.size(), 6u) << "the second chord's members were left out";
    std::map<std::string, std::string> tiesByNote;
    for (std::size_t k = 0; k < notes.size(); ++k) {
        std::string s;
        for (pugi::xml_node tie : notes[k].children("tie"))
            s += std::string(tie.attribute("type").value()) == "start" ? "S" : "P";
        std::string drawn;
        for (pugi::xml_node td : notes[k].child("notations").children("tied"))
            drawn += std::string(td.attribute("type").value()) == "start" ? "S" : "P";
        EXPECT_EQ(s, drawn) << "every tie is drawn as well as played";
        EXPECT_EQ(static_cast<bool>(notes[k].child("chord")), k != 0 && k != 3) << k;
        tiesByNote[std::to_string(k < 3 ? 1 : 2) + pitchName(notes[k])] = s;
    }
    const std::map<std::string, std::string> expected{{"1C4", "S"}, {"1E4", "S"}, {"1G4", ""},
                                                      {"2C4", "P"}, {"2E4", "P"}, {"2A4", ""}};
    EXPECT_EQ(tiesByNote, expected);
    expectMeasuresFill(x, 384);
}

TEST(MusicXmlExport, ChordsShareOneStemAndMembersOfOtherLengthsGetAVoice)
{
    SheetDocument sheet;
    sheet.setTrackCount(1);
    Track& t = *sheet.trackAt(0);
    appendChord(t, {makeNote(0, kTypeHalf), makeNote(-2, kTypeHalf), makeNote(-4, kTypeHalf)});
    appendChord(t, {makeNote(0, kTypeQuarter), makeNote(-7, kTypeHalf)});
    append(t, makeNote(-1));
    Exported x;
    exportSheet(sheet, x);
    const auto notes = x.pitched(0);
    ASSERT_EQ(notes.size(), 6u);
    EXPECT_FALSE(notes[0].child("chord"));
    EXPECT_TRUE(notes[1].child("chord"));
    EXPECT_TRUE(notes[2].child("chord"));
    EXPECT_EQ(pitchName(notes[1]), "E4");
    // The half-note member of a quarter-note chord sounds on through the next note: voice 2.
    pugi::xml_node member = notes[5];
    EXPECT_STREQ(member.child_value("voice"), "2");
    EXPECT_STREQ(member.child_value("type"), "half");
    EXPECT_EQ(pitchName(member), "C5");
    EXPECT_TRUE(x.measure(0, 1).child("backup"));
    expectMeasuresFill(x, 384);
}

TEST(MusicXmlExport, EmptyMeasuresAreMeasureRestsInEveryPart)
{
    SheetDocument sheet;
    sheet.setTrackCount(2);
    Track& t = *sheet.trackAt(0);
    append(t, makeNote(0, kTypeWhole, kFlagRest));
    append(t, makeNote(0, kTypeWhole));
    Exported x;
    exportSheet(sheet, x);
    pugi::xml_node rest = x.measure(0, 1).child("note").child("rest");
    ASSERT_TRUE(rest);
    EXPECT_STREQ(rest.attribute("measure").value(), "yes");
    // The second track has no notes: two measure rests to match the first.
    EXPECT_EQ(x.notes(1).size(), 2u);
    for (pugi::xml_node n : x.notes(1))
        EXPECT_STREQ(n.child("rest").attribute("measure").value(), "yes");
    expectMeasuresFill(x, 384);
}

TEST(MusicXmlExport, RepeatedMeasuresGetRepeatSignsWhenEveryTrackRepeatsThem)
{
    SheetDocument sheet;
    sheet.setTrackCount(2);
    sheet.setTimeSignature(0); // 3/4
    for (int k = 0; k < 2; ++k) {
        Track& t = *sheet.trackAt(k);
        for (int i = 0; i < 9; ++i)
            append(t, makeNote(-i));
        t.measureRepeats.set(2, true);
    }
    Exported x;
    exportSheet(sheet, x);
    for (int part = 0; part < 2; ++part) {
        EXPECT_EQ(x.pitched(part).size(), 9u);
        pugi::xml_node left = x.measure(part, 2).find_child_by_attribute("barline", "location", "left");
        pugi::xml_node right = x.measure(part, 2).find_child_by_attribute("barline", "location", "right");
        EXPECT_STREQ(left.child("repeat").attribute("direction").value(), "forward");
        EXPECT_STREQ(right.child("repeat").attribute("direction").value(), "backward");
        EXPECT_FALSE(x.measure(part, 1).child("barline"));
    }
    expectMeasuresFill(x, 288);

    // When only one track repeats, the repeat is written out where it plays.
    sheet.trackAt(1)->measureRepeats.clear();
    Exported y;
    exportSheet(sheet, y);
    EXPECT_EQ(y.pitched(0).size(), 12u);
    EXPECT_EQ(y.pitched(1).size(), 9u);
    EXPECT_EQ(y.text.find("<repeat"), std::string::npos);
    std::vector<std::string> played;
    for (pugi::xml_node n : y.pitched(0))
        played.push_back(pitchName(n));
    EXPECT_EQ(std::vector<std::string>(played.begin() + 3, played.begin() + 9),
              (std::vector<std::string>{"F4", "G4", "A4", "F4", "G4", "A4"}));
}

TEST(MusicXmlExport, RepeatedPassagesGetRepeatSignsAndEndingBracketsOrAreWrittenOut)
{
    // 3/4, nine measures of three quarters each: 2-5 with a first ending (4-5) and a second (6),
    // 8-9 plain, on two tracks.
    SheetDocument sheet;
    sheet.setTrackCount(2);
    sheet.setTimeSignature(0); // 3/4
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 27; ++i)
            append(*sheet.trackAt(k), makeNote(-(i / 3)));
    sheet.setRepeatRanges({{2, 5, 2, 1}, {8, 9, 0, 0}});
    Exported x;
    exportSheet(sheet, x);
    // Each measure's bar lines as "location:style:ending number/type:repeat".
    const auto barlines = [&](int part, int m) {
        std::vector<std::string> out;
        for (pugi::xml_node b : x.measure(part, m).children("barline")) {
            std::string text =
                std::string(b.attribute("location").value()) + ":" + b.child_value("bar-style");
            text += ":";
            if (pugi::xml_node e = b.child("ending"))
                text += std::string(e.attribute("number").value()) + "/" + e.attribute("type").value();
            text += ":";
            text += b.child("repeat").attribute("direction").value();
            out.push_back(text);
        }
        return out;
    };
    using Lines = std::vector<std::string>;
    for (int part = 0; part < 2; ++part) {
        SCOPED_TRACE(part);
        EXPECT_EQ(x.pitched(part).size(), 27u) << "written once, with signs";
        EXPECT_EQ(barlines(part, 1), Lines{});
        EXPECT_EQ(barlines(part, 2), Lines{"left:heavy-light::forward"});
        EXPECT_EQ(barlines(part, 3), Lines{});
        EXPECT_EQ(barlines(part, 4), Lines{"left::1/start:"});
        EXPECT_EQ(barlines(part, 5), Lines{"right:light-heavy:1/stop:backward"});
        EXPECT_EQ(barlines(part, 6), (Lines{"left::2/start:", "right::2/discontinue:"}));
        EXPECT_EQ(barlines(part, 7), Lines{});
        EXPECT_EQ(barlines(part, 8), Lines{"left:heavy-light::forward"});
        EXPECT_EQ(barlines(part, 9), Lines{"right:light-heavy::backward"});
    }
    expectMeasuresFill(x, 288);

    // A measure repeat inside a passage: MusicXML readers take no repeat inside a repeat, so the
    // passage and the measure are written out as they play.
    for (int k = 0; k < 2; ++k)
        sheet.trackAt(k)->measureRepeats.set(3, true);
    Exported y;
    exportSheet(sheet, y);
    EXPECT_EQ(y.text.find("<repeat"), std::string::npos);
    EXPECT_EQ(y.text.find("<ending"), std::string::npos);
    // 1, 2 3 3 4 5, 2 3 6, 7, 8 9, 8 9: 14 measures (the marked measure repeats on the first pass).
    ASSERT_EQ(y.pitched(0).size(), 14u * 3);
    std::vector<std::string> firsts;
    for (std::size_t i = 0; i < y.pitched(0).size(); i += 3)
        firsts.push_back(pitchName(y.pitched(0)[i]));
    EXPECT_EQ(firsts, (std::vector<std::string>{"C4", "D4", "E4", "E4", "F4", "G4", "D4", "E4", "A4", "B4",
                                                "C5", "D5", "C5", "D5"}));

    // When the tracks' measures differ (a passage past the end of one track), it is written out.
    for (int k = 0; k < 2; ++k)
        sheet.trackAt(k)->measureRepeats.clear();
    for (int i = 0; i < 6; ++i)
        sheet.trackAt(1)->removeNote(sheet.trackAt(1)->count - 1);
    Exported z;
    exportSheet(sheet, z);
    EXPECT_EQ(z.text.find("<repeat"), std::string::npos);
    EXPECT_EQ(z.pitched(0).size(), 13u * 3);
}

TEST(MusicXmlExport, NoteLoopsAreWrittenOutAsTheyPlay)
{
    SheetDocument sheet;
    sheet.setTrackCount(1);
    Track& t = *sheet.trackAt(0);
    append(t, makeNote(0));
    append(t, makeNote(-1));
    Note& loop = append(t, makeNote(-2));
    loop.loopTo = 0;
    loop.loopCount = 1;
    append(t, makeNote(-3));
    Exported x;
    exportSheet(sheet, x);
    std::vector<std::string> played;
    for (pugi::xml_node n : x.pitched(0))
        played.push_back(pitchName(n));
    EXPECT_EQ(played, (std::vector<std::string>{"C4", "D4", "E4", "C4", "D4", "E4", "F4"}));
}

TEST(MusicXmlExport, PartsCarryNameProgramChannelLyricsAndTempo)
{
    SheetDocument sheet;
    sheet.setTrackCount(2);
    Track& t = *sheet.trackAt(0);
    t.name = "Lead";
    t.tempo = 90;
    Note n = makeNote(0);
    n.iid = 24;
    n.setLyric("la");
    append(t, n);
    Note bad = makeNote(-1);
    bad.iid = 24;
    bad.setLyric(std::string("caf\xE9\x01", 5)); // Latin-1 and a control character
    append(t, bad);
    Track& drums = *sheet.trackAt(1);
    drums.percussive = 1;
    Note snare;
    snare.setNameFromKey(38);
    snare.type = kTypeQuarter;
    append(drums, snare);
    Note hat;
    hat.midi = 42; // the closed hi-hat (a sharp mark would raise it to 43)
    hat.type = kTypeQuarter;
    append(drums, hat);
    Exported x;
    exportSheet(sheet, x, "Song");
    EXPECT_STREQ(x.score().child("work").child_value("work-title"), "Song");
    pugi::xml_node p1 = x.score().child("part-list").find_child_by_attribute("score-part", "id", "P1");
    EXPECT_STREQ(p1.child_value("part-name"), "Lead");
    EXPECT_EQ(p1.child("midi-instrument").child("midi-program").text().as_int(), 25);
    EXPECT_EQ(p1.child("midi-instrument").child("midi-channel").text().as_int(), 1);
    pugi::xml_node p2 = x.score().child("part-list").find_child_by_attribute("score-part", "id", "P2");
    EXPECT_STREQ(p2.child_value("part-name"), "Track 2");
    std::map<std::string, int> unpitched;
    for (pugi::xml_node mi : p2.children("midi-instrument")) {
        EXPECT_EQ(mi.child("midi-channel").text().as_int(), 10);
        unpitched[mi.attribute("id").value()] = mi.child("midi-unpitched").text().as_int();
    }
    EXPECT_EQ(unpitched.size(), 2u);
    const auto drumNotes = x.pitched(1);
    ASSERT_EQ(drumNotes.size(), 2u);
    // Each drum where the drum staff draws it: the snare in the third space with a plain head,
    // the closed hi-hat above the staff with a cross.
    EXPECT_STREQ(drumNotes[0].child("unpitched").child_value("display-step"), "C");
    EXPECT_STREQ(drumNotes[0].child("unpitched").child_value("display-octave"), "5");
    EXPECT_FALSE(drumNotes[0].child("notehead"));
    EXPECT_STREQ(drumNotes[1].child("unpitched").child_value("display-step"), "G");
    EXPECT_STREQ(drumNotes[1].child("unpitched").child_value("display-octave"), "5");
    EXPECT_STREQ(drumNotes[1].child_value("notehead"), "x");
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(
            unpitched[drumNotes[static_cast<std::size_t>(i)].child("instrument").attribute("id").value()],
            soundingPitch(drums.noteAt(i), drums) + 1);

    const auto lead = x.pitched(0);
    EXPECT_STREQ(lead[0].child("lyric").child_value("text"), "la");
    EXPECT_EQ(std::string(lead[1].child("lyric").child_value("text")), "caf\xC3\xA9 ");
    pugi::xml_node sound = x.measure(0, 1).child("direction").child("sound");
    EXPECT_EQ(sound.attribute("tempo").as_int(), 90);
    EXPECT_EQ(x.measure(0, 1)
                  .child("direction")
                  .child("direction-type")
                  .child("metronome")
                  .child("per-minute")
                  .text()
                  .as_int(),
              90);
}

TEST(MusicXmlExport, BarNotesOnMeasureLinesAreDrawnBarLines)
{
    SheetDocument sheet;
    sheet.setTrackCount(1);
    sheet.setTimeSignature(0); // 3/4
    Track& t = *sheet.trackAt(0);
    for (int i = 0; i < 3; ++i)
        append(t, makeNote(-i));
    append(t, makeNote(0, kTypeBar));
    for (int i = 0; i < 3; ++i)
        append(t, makeNote(-i));
    append(t, makeNote(0));
    Exported x;
    exportSheet(sheet, x);
    pugi::xml_node bar = x.measure(0, 1).child("barline");
    EXPECT_STREQ(bar.child_value("bar-style"), "regular");
    EXPECT_STREQ(bar.attribute("location").value(), "right");
    EXPECT_FALSE(x.measure(0, 2).child("barline"));
    EXPECT_STREQ(x.measure(0, 3).child("barline").child_value("bar-style"), "light-heavy");
    expectMeasuresFill(x, 288);

    // A Bar note inside a measure stands where it is drawn, between the notes around it.
    Note bar2 = makeNote(0, kTypeBar);
    t.insertNote(bar2, 1); // after the first quarter
    Exported y;
    exportSheet(sheet, y);
    std::vector<std::string> order;
    for (pugi::xml_node e : y.measure(0, 1).children())
        if (std::string(e.name()) == "note" || std::string(e.name()) == "barline")
            order.push_back(std::string(e.name()) + (e.attribute("location")
                                                         ? std::string(":") + e.attribute("location").value()
                                                         : ""));
    EXPECT_EQ(order, (std::vector<std::string>{"note", "barline:middle", "note", "note", "barline:right"}));
    expectMeasuresFill(y, 288);
}

TEST(MusicXmlExport, TablatureNotesCarryTheStringAndFretTheSheetShows)
{
    SheetDocument sheet;
    sheet.setTrackCount(1);
    Track& t = *sheet.trackAt(0);
    setStaffKind(t, StaffKind::Tablature);
    append(t, makeNote(-2));                         // E above middle C: the open top string
    append(t, makeNote(3));                          // G below it: the open G string
    append(t, makeNote(-3));                         // F: first fret of the top string
    append(t, makeNote(1, kTypeQuarter, kFlagFlat)); // B flat: first fret of the B string
    Exported x;
    exportSheet(sheet, x);
    std::vector<std::string> frets;
    for (pugi::xml_node n : x.pitched(0)) {
        pugi::xml_node tech = n.child("notations").child("technical");
        frets.push_back(std::string(tech.child_value("string")) + ":" + tech.child_value("fret"));
    }
    // B flat is the third fret of the G string: the sheet finds the first string within four
    // frets, from the top.
    EXPECT_EQ(frets, (std::vector<std::string>{"1:0", "3:0", "1:1", "3:3"}));
}

} // namespace
} // namespace tonvela

namespace tonvela {
namespace {

TEST(MusicXmlExport, ARunawayLoopIsRefusedWithAMessageInsteadOfAnEndlessFile)
{
    SheetDocument sheet;
    sheet.setTrackCount(2);
    Track& t = *sheet.trackAt(1);
    for (int i = 0; i < 8; ++i)
        testing::append(t, testing::makeNote(-i));
    t.noteAt(7).loopTo = 0;
    t.noteAt(7).loopCount = 1'000'000;
    std::string text;
    std::string error;
    EXPECT_FALSE(musicXmlText(sheet, "Loop", text, error));
    EXPECT_NE(error.find("track 2"), std::string::npos) << error;
    EXPECT_NE(error.find("too many"), std::string::npos) << error;
    const FileResult written = exportMusicXml(sheet, "Loop", "/nonexistent-folder/never.musicxml");
    EXPECT_FALSE(written.ok);
    EXPECT_NE(written.error.find("too many"), std::string::npos) << written.error;

    // A sheet without tracks has no part to write.
    sheet.removeAllTracks();
    EXPECT_FALSE(musicXmlText(sheet, "None", text, error));
    EXPECT_NE(error.find("no tracks"), std::string::npos) << error;
}

TEST(MusicXmlExport, ChordLinksAndKeysOutOfRangeExportWithoutHarm)
{
    SheetDocument sheet;
    sheet.setTrackCount(1);
    Track& t = *sheet.trackAt(0);
    Note high = testing::makeNote(0, kTypeQuarter, kFlagSharp);
    high.midi = 127; // sharpened above the keyboard
    testing::append(t, high);
    Note odd = testing::makeNote(0);
    odd.midi = 100; // a stored key that kept another clef's offset
    testing::append(t, odd);
    Note orphan = testing::makeNote(1);
    orphan.chordparent = 40; // points past the track
    t.insertNote(orphan, t.count);
    t.rebuildChordLists();
    testing::Exported x;
    testing::exportSheet(sheet, x);
    const auto notes = x.pitched(0);
    // The key above 127 does not sound, so it is a rest; the odd key is spelled by its own
    // pitch; the member whose root is missing plays nothing, as in the MIDI file.
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_TRUE(x.notes(0)[0].child("rest"));
    EXPECT_EQ(testing::pitchName(notes[0]), "E7");
}

} // namespace
} // namespace tonvela

namespace tonvela {
namespace {

// A measure's notes, backups and forwards in document order: "1:E4/192" (voice, pitch or R
// for a rest, duration, "~" where a tie starts, "t" for a triplet), "<384" a backup, ">192" a
// forward.
std::vector<std::string> measureContent(pugi::xml_node measure)
{
    std::vector<std::string> out;
    for (pugi::xml_node e : measure.children()) {
        const std::string name = e.name();
        const std::string duration = e.child_value("duration");
        if (name == "backup")
            out.push_back("<" + duration);
        else if (name == "forward")
            out.push_back(">" + duration);
        if (name != "note")
            continue;
        std::string n = std::string(e.child_value("voice")) + ":" +
                        (e.child("rest") ? std::string("R") : testing::pitchName(e)) + "/" + duration;
        if (e.find_child_by_attribute("tie", "type", "start"))
            n += "~";
        if (e.child("time-modification"))
            n += "t";
        out.push_back(n);
    }
    return out;
}

TEST(MusicXmlExport, TheSecondVoiceOfAStaffIsVoice2AfterABackupWithForwardsWhereItIsSilent)
{
    SheetDocument sheet;
    sheet.setTrackCount(1);
    testing::appendTwoVoices(*sheet.trackAt(0));
    Exported x;
    exportSheet(sheet, x);
    using V = std::vector<std::string>;
    EXPECT_EQ(measureContent(x.measure(0, 1)),
              (V{"1:E4/192", "1:G4/192", "<384", "2:C3/96", "2:D3/96", "2:E3/96", "2:F3/96"}));
    EXPECT_EQ(measureContent(x.measure(0, 2)), (V{"1:D5/384"}));
    EXPECT_EQ(measureContent(x.measure(0, 3)),
              (V{"1:E5/384", "<384", "2:C3/64t", "2:D3/64t", "2:E3/64t", "2:G3/192~"}));
    EXPECT_EQ(measureContent(x.measure(0, 4)), (V{"1:F5/384", "<384", "2:G3/192", "2:A3/192"}));
    EXPECT_EQ(measureContent(x.measure(0, 5)), (V{"1:G4/384", "<384", "2:R/96", "2:C3/96", ">192"}));
    EXPECT_FALSE(x.measure(0, 6));
    // The triplets of voice 2 carry their bracket; each voice names its own chord symbols.
    const auto triplets = x.measure(0, 3).children("note");
    EXPECT_STREQ(
        triplets.begin()->next_sibling("note").child("notations").child("tuplet").attribute("type").value(),
        "start");
    std::vector<std::string> harmonies;
    for (pugi::xml_node h : x.measure(0, 1).children("harmony"))
        harmonies.push_back(std::string(h.child("root").child_value("root-step")) + h.child_value("kind"));
    EXPECT_EQ(harmonies, (V{"Cmajor", "Aminor"}));
    expectMeasuresFill(x, 384);
}

} // namespace
} // namespace tonvela

#include "score/sheet_file.h"
#include "score/voices.h"

#include <fstream>

namespace tonvela {
namespace {

// What a sheet of one voice exports to did not change when staves of two voices came: the
// examples give what the export wrote before, byte for byte.
TEST(MusicXmlExport, SheetsOfOneVoiceExportAsBefore)
{
    for (const char* name : {"ode_to_joy", "engraving_triplets", "staff_kinds", "beams_and_ties",
                             "sing_a_long_song", "engraving_six_eight_pickup"}) {
        SheetDocument sheet;
        ASSERT_TRUE(
            loadSheet(sheet, name, std::string(TONVELA_SOURCE_DIR) + "/examples/" + name + ".shd").ok())
            << name;
        for (int i = 0; i < sheet.trackCount(); ++i)
            ASSERT_FALSE(hasSecondVoice(*sheet.trackAt(i))) << name;
        std::ifstream in(std::string(TONVELA_TEST_DATA) + "/one_voice_exports/" + name + ".musicxml",
                         std::ios::binary);
        ASSERT_TRUE(in) << name;
        const std::string before{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::string text;
        std::string error;
        ASSERT_TRUE(musicXmlText(sheet, sheetTitleOf(sheet), text, error)) << error;
        EXPECT_EQ(text, before) << name;
    }
}

} // namespace
} // namespace tonvela
