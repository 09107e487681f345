// The staff-kind table against what an engraver knows about clefs: where each clef sits, what
// LilyPond's clef names mean, the order of the sharps and flats of a key signature, and the
// strings of a guitar; and against the .shd files that store the kinds. The readings below are
// computed here from the clefs themselves, not with the program's own pitch helpers.

#include "score/markup_tree.h"
#include "score/sheet_document.h"
#include "score/sheet_file.h"
#include "score/sounding_pitch.h"
#include "score/staff_kind.h"
#include "score/track.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace tonvela {
namespace {

constexpr int kSemitones[7] = {0, 2, 4, 5, 7, 9, 11}; // C D E F G A B
constexpr char kLetters[] = "CDEFGAB";

// Diatonic numbers count natural steps from C of MIDI octave -1 (C4 = 28, key 60).
int keyOfDiatonic(int diatonic)
{
    const int octave = diatonic >= 0 ? diatonic / 7 : -((-diatonic + 6) / 7);
    return 12 * (octave + 1) + kSemitones[diatonic - 7 * octave];
}

char letterOfDiatonic(int diatonic)
{
    return kLetters[((diatonic % 7) + 7) % 7];
}

// The diatonic number a staff position shows under a MusicXML clef, written: the clef's sign
// names the note on its line (G4, F3, C4), lines count from the bottom (line 1 is staff
// position 5, line 5 position -3), larger positions are lower.
int writtenDiatonic(const MusicXmlClef& clef, int position)
{
    const int signNote = clef.sign == "G" ? 4 * 7 + 4 : clef.sign == "F" ? 3 * 7 + 3 : 4 * 7; // G4, F3, C4
    const int linePosition = 7 - 2 * clef.line;
    return signNote + (linePosition - position);
}

// The key a staff position sounds under a MusicXML clef (an octave change moves the sound).
int soundingKeyOf(const MusicXmlClef& clef, int position)
{
    return keyOfDiatonic(writtenDiatonic(clef, position)) + 12 * clef.octaveChange;
}

// LilyPond's clef names as its manual gives them, as MusicXML clefs.
const std::map<std::string, MusicXmlClef>& lilypondClefs()
{
    static const std::map<std::string, MusicXmlClef> names = {
        {"treble", {"G", 2, 0}}, {"\"treble_8\"", {"G", 2, -1}}, {"bass", {"F", 4, 0}},
        {"alto", {"C", 3, 0}},   {"tenor", {"C", 4, 0}},         {"percussion", {"percussion", 0, 0}},
    };
    return names;
}

bool isStaffOfNotes(const StaffKindInfo& k)
{
    return !k.percussive && !k.isTablature();
}

Note naturalAt(int line)
{
    Note n;
    n.type = kTypeQuarter;
    n.setStaffPosition(line);
    return n;
}

TEST(StaffKindTest, EveryStaffOfNotesSoundsWhatItsClefReadsAtEveryPosition)
{
    for (const StaffKindInfo& k : kStaffKinds) {
        if (k.percussive)
            continue;
        Track t; // C major: no key signature
        setStaffKind(t, k.kind);
        for (int p = -20; p <= 20; ++p) {
            // The tablature plays its notes as the G clef staff it is read from.
            const MusicXmlClef clef = k.isTablature() ? staffKindInfo(StaffKind::GClef).musicXml : k.musicXml;
            const int expected = soundingKeyOf(clef, p);
            EXPECT_EQ(soundingPitch(naturalAt(p), t), expected) << k.name << " position " << p;
            // The letter the clef reads is the letter the program writes.
            EXPECT_EQ(naturalKeyOfPosition(p + k.readingShift), expected) << k.name << " position " << p;
        }
    }
}

TEST(StaffKindTest, OctaveNumbersBeginAtThePositionWhereTheClefReadsMiddleC)
{
    for (const StaffKindInfo& k : kStaffKinds) {
        if (!isStaffOfNotes(k))
            continue;
        int middleC = -100;
        for (int p = -20; p <= 20; ++p)
            if (soundingKeyOf(k.musicXml, p) == 60)
                middleC = p;
        ASSERT_NE(middleC, -100) << k.name;
        EXPECT_EQ(k.octaveBase, naturalKeyOfPosition(middleC)) << k.name;
        Note c;
        c.setStaffPosition(middleC, k.kind);
        EXPECT_EQ(c.octave, 2) << k.name << ": the C the staff shows is octave 2";
        c.setStaffPosition(middleC + 1, k.kind);
        EXPECT_EQ(c.octave, 1) << k.name << ": the B below it is octave 1";
    }
}

TEST(StaffKindTest, KeySignaturesStandOnTheLettersTheyAlter)
{
    for (const StaffKindInfo& k : kStaffKinds) {
        if (!isStaffOfNotes(k))
            continue;
        for (int i = 0; i < 7; ++i) {
            const int sharp = k.sharpPlaces[static_cast<std::size_t>(i)];
            const int flat = k.flatPlaces[static_cast<std::size_t>(i)];
            EXPECT_EQ(letterOfDiatonic(writtenDiatonic(k.musicXml, sharp)), "FCGDAEB"[i])
                << k.name << " sharp " << i;
            // A flat is placed by the step below the line it flattens.
            EXPECT_EQ(letterOfDiatonic(writtenDiatonic(k.musicXml, flat - 1)), "BEADGCF"[i])
                << k.name << " flat " << i;
            // Every mark stands on the staff or just beside it.
            EXPECT_GE(sharp, -4) << k.name;
            EXPECT_LE(sharp, 6) << k.name;
            EXPECT_GE(flat - 1, -4) << k.name;
            EXPECT_LE(flat - 1, 6) << k.name;
        }
    }
}

TEST(StaffKindTest, LilyPondClefNamesAreTheClefsMusicXmlWrites)
{
    for (const StaffKindInfo& k : kStaffKinds) {
        // The tablature engraves a note no string reaches on the G clef staff.
        const MusicXmlClef written = k.isTablature() ? staffKindInfo(StaffKind::GClef).musicXml : k.musicXml;
        const auto found = lilypondClefs().find(std::string(k.lilypondClef));
        ASSERT_NE(found, lilypondClefs().end()) << k.name << " writes \\clef " << k.lilypondClef;
        EXPECT_EQ(found->second.sign, written.sign) << k.name;
        EXPECT_EQ(found->second.line, written.line) << k.name;
        EXPECT_EQ(found->second.octaveChange, written.octaveChange) << k.name;
    }
}

TEST(StaffKindTest, AMusicXmlClefReadsBackAsTheStaffThatWritesIt)
{
    for (const StaffKindInfo& k : kStaffKinds) {
        if (k.percussive)
            continue;
        const std::optional<StaffKind> back =
            staffKindOfMusicXmlClef(k.musicXml.sign, k.musicXml.line, k.musicXml.octaveChange);
        ASSERT_TRUE(back) << k.name;
        // The fifth kind writes the G clef's clef and reads back as the G clef.
        EXPECT_EQ(*back, k.kind == StaffKind::FifthKind ? StaffKind::GClef : k.kind) << k.name;
    }
    // A clef on another line reads as the staff of its sign: the French violin clef as treble.
    EXPECT_EQ(staffKindOfMusicXmlClef("G", 1, 0), StaffKind::G2Clef);
    EXPECT_EQ(staffKindOfMusicXmlClef("F", 3, 0), StaffKind::FClef);
    EXPECT_FALSE(staffKindOfMusicXmlClef("C", 3, 0)) << "no staff of the sheet has a C clef";
    EXPECT_FALSE(staffKindOfMusicXmlClef("G", 2, 1));
}

TEST(StaffKindTest, TheTablatureHasTheSixStringsOfAGuitar)
{
    const StaffKindInfo& tab = staffKindInfo(StaffKind::Tablature);
    // E4 B3 G3 D3 A2 E2, highest first.
    const int diatonic[6] = {4 * 7 + 2, 3 * 7 + 6, 3 * 7 + 4, 3 * 7 + 1, 2 * 7 + 5, 2 * 7 + 2};
    ASSERT_EQ(tab.openStrings.size(), 6u);
    EXPECT_EQ(tab.lines, 6);
    for (std::size_t s = 0; s < 6; ++s)
        EXPECT_EQ(tab.openStrings[s], keyOfDiatonic(diatonic[s])) << s;
    for (const StaffKindInfo& k : kStaffKinds)
        EXPECT_EQ(k.lines, k.isTablature() ? 6 : 5) << k.name;
}

TEST(StaffKindTest, TheTrackTypeListOffersItsFiveEntriesInOrder)
{
    const char* const expected[] = {"G Clef", "F Clef", "Percussion", "Tablature", "G(2) Clef"};
    ASSERT_EQ(trackTypeListSize(), 5);
    for (int e = 0; e < 5; ++e) {
        const std::optional<StaffKind> kind = staffKindOfListEntry(e);
        ASSERT_TRUE(kind) << e;
        EXPECT_EQ(staffKindInfo(*kind).listText, expected[e]) << e;
        EXPECT_EQ(listEntryOfStaffKind(*kind), e);
        // The list's entries are the kinds' own numbers.
        EXPECT_EQ(static_cast<int>(*kind), e);
    }
    EXPECT_FALSE(staffKindOfListEntry(5));
    EXPECT_FALSE(staffKindOfListEntry(-1));
    EXPECT_EQ(listEntryOfStaffKind(StaffKind::FifthKind), -1);
}

TEST(StaffKindTest, EveryKindIsStoredAsItsDrawmodeAndPercussionFlagAndReadsBack)
{
    // The <config> values of each kind, as files of every release hold them.
    const struct {
        StaffKind kind;
        const char* config;
    } kStored[] = {
        {StaffKind::GClef, "drawmode=0 percussive=0"},     {StaffKind::Tablature, "drawmode=1 percussive=0"},
        {StaffKind::FClef, "drawmode=2 percussive=0"},     {StaffKind::G2Clef, "drawmode=3 percussive=0"},
        {StaffKind::FifthKind, "drawmode=4 percussive=0"}, {StaffKind::Percussion, "drawmode=0 percussive=1"},
    };
    for (const auto& s : kStored) {
        SheetDocument sheet;
        setStaffKind(*sheet.trackAt(0), s.kind);
        const std::string text = sheetToText(sheet);
        EXPECT_NE(text.find(s.config), std::string::npos) << staffKindInfo(s.kind).name << "\n" << text;
        SheetDocument back;
        ASSERT_TRUE(loadSheetFromText(back, text).ok());
        EXPECT_EQ(staffKindOf(*back.trackAt(0)), s.kind) << staffKindInfo(s.kind).name;
    }
}

TEST(StaffKindTest, StoredValuesNoKindHoldsReadAsTheNearestKind)
{
    EXPECT_EQ(staffKindOf(9, false), StaffKind::GClef);
    // A drum track is a drum staff whatever clef its file names.
    EXPECT_EQ(staffKindOf(2, true), StaffKind::Percussion);
    EXPECT_EQ(staffKindOf(1, true), StaffKind::Percussion);
    for (int d = 0; d <= 4; ++d)
        EXPECT_TRUE(isStoredDrawmode(d)) << d;
    EXPECT_FALSE(isStoredDrawmode(5));
    EXPECT_FALSE(isStoredDrawmode(-1));
}

TEST(StaffKindTest, TheMidiImportWritesDrumsLowPartsAndTheRestOnTheirStaves)
{
    EXPECT_EQ(staffKindForMidiImport(true, false), StaffKind::Percussion);
    EXPECT_EQ(staffKindForMidiImport(true, true), StaffKind::Percussion);
    EXPECT_EQ(staffKindForMidiImport(false, true), StaffKind::FClef);
    EXPECT_EQ(staffKindForMidiImport(false, false), StaffKind::GClef);
}

} // namespace
} // namespace tonvela
