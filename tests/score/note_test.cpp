#include "score/duration.h"
#include "score/markup_tree.h"
#include "score/note.h"
#include "score/note_element.h"
#include "score/track.h"

#include <gtest/gtest.h>

using namespace tonvela;

namespace {

std::string written(const Note& n)
{
    std::string out;
    writeNoteElement(n, out);
    return out;
}

Note readBack(const std::string& element)
{
    const MarkupTree tree = parseMarkup("<staffdoc>\r\n" + element + "</staffdoc>\r\n");
    Note n;
    EXPECT_EQ(tree.root.children.size(), 1u);
    readNoteElement(n, *tree.root.children.at(0));
    return n;
}

} // namespace

TEST(NoteTest, StaffPositionsMapToLettersAndKeysWhateverTheClef)
{
    struct Case {
        int line;
        char letter;
        int midi;
    } cases[] = {{0, 'C', 60}, {-7, 'C', 72}, {7, 'C', 48},   {8, 'B', 47},   {-1, 'D', 62}, {-5, 'A', 69},
                 {1, 'B', 59}, {6, 'D', 50},  {-14, 'C', 84}, {-13, 'B', 83}, {13, 'D', 38}};
    for (const Case& c : cases) {
        Note n;
        n.setStaffPosition(c.line);
        EXPECT_EQ(n.letter, c.letter) << c.line;
        EXPECT_EQ(n.midi, c.midi) << c.line;
        EXPECT_EQ(n.line, c.line);
    }
}

TEST(NoteTest, OctaveNumberDependsOnTheTrackClef)
{
    Note n;
    for (auto [key, octave] : {std::pair{60, 2}, {59, 1}, {48, 1}, {47, 0}, {72, 3}}) {
        n.midi = static_cast<int8_t>(key);
        EXPECT_EQ(n.octaveNumber(StaffKind::GClef), octave) << key;
        EXPECT_EQ(n.octaveNumber(), octave) << "a note on no track counts as G clef";
    }
    n.midi = 69;
    EXPECT_EQ(n.octaveNumber(StaffKind::FClef), 2);
    n.midi = 48;
    EXPECT_EQ(n.octaveNumber(StaffKind::G2Clef), 2);
    // Setting the position or the key names the octave on the clef given.
    n.setStaffPosition(-5, StaffKind::FClef);
    EXPECT_EQ(n.octave, 2);
    n.setNameFromKey(48, StaffKind::G2Clef);
    EXPECT_EQ(n.octave, 2);
}

TEST(NoteTest, KeyToNameMarksBlackKeysSharp)
{
    Note n;
    n.setNameFromKey(70);
    EXPECT_EQ(n.letter, '1');
    EXPECT_TRUE(n.dwFlag & kFlagSharp);
    Note m;
    m.setNameFromKey(57);
    EXPECT_EQ(m.letter, 'A');
    EXPECT_FALSE(m.dwFlag & kFlagSharp);
}

TEST(NoteTest, QuantizeChoosesNearestAndShorterOnTies)
{
    Note n;
    EXPECT_DOUBLE_EQ(n.quantizeBeats(0.3), 0.25);
    EXPECT_EQ(n.type, kTypeSixteenth);
    Note m;
    EXPECT_DOUBLE_EQ(m.quantizeBeats(1.25), 1.0);
    EXPECT_EQ(m.type, kTypeQuarter);
    EXPECT_FALSE(m.isDotted());
    Note d;
    EXPECT_DOUBLE_EQ(d.quantizeBeats(1.4), 1.5);
    EXPECT_EQ(d.type, kTypeQuarter);
    EXPECT_TRUE(d.isDotted());
    // The dot is added, never cleared.
    EXPECT_DOUBLE_EQ(d.quantizeBeats(2.0), 2.0);
    EXPECT_TRUE(d.isDotted());
}

TEST(NoteTest, DottedLengthsAreThreeHalvesExactly)
{
    Note n;
    n.type = kTypeQuarter;
    n.dwFlag = kFlagDot;
    EXPECT_EQ(usAtTempo(lengthTicks(n), 120), 750'000);
    EXPECT_EQ(lengthTicks(n), 3 * kQuarterTicks / 2);
    EXPECT_DOUBLE_EQ(beatsOf(lengthTicks(n)), 1.5);
    n.type = kTypeThirtySecond;
    EXPECT_EQ(usAtTempo(lengthTicks(n), 120), 93'750) << "three halves of 62.5 ms, not 93 ms";
    EXPECT_EQ(lengthTicks(n) * 32 * 2, 3 * kWholeTicks);
    n.type = kTypeBar;
    EXPECT_EQ(lengthTicks(n), 0);
    EXPECT_EQ(n.kindWidth(), 5);
    n.type = 9999;
    EXPECT_EQ(n.kindWidth(), 35);
}

TEST(NoteTest, DefaultNoteWritesOnlyTheFourRequiredAttributes)
{
    Note n;
    n.midi = 60;
    n.type = kTypeQuarter;
    EXPECT_EQ(written(n), "<note\r\nmidi=60 type=1028 line=0 iid=0 >\r\n</note>\r\n");
}

TEST(NoteTest, EveryWrittenAttributeReadsBack)
{
    Note n;
    n.setStaffPosition(-3);
    n.type = kTypeEighth;
    n.dwFlag = kFlagDot | kFlagTie;
    n.volume = 90;
    n.pan = 10;
    n.iid = 41;
    n.dwStopOffset = -120;
    n.dwChorus = 5;
    n.dwReverb = 6;
    n.bendTime = 7;
    n.dwBendAmount = 8;
    n.loopTo = 2;
    n.loopCount = 3;
    n.chordparent = 1;
    n.banknum = 4;
    n.timeSig = kTimeSig34;
    n.key = 'G';
    n.keyType = 2;
    n.setLabel("Verse 1");
    n.setFilename(std::string("/home/user/My Clips/intro.mp3"));
    n.setLyric(std::string(127, 'l'));

    const Note r = readBack(written(n));
    EXPECT_EQ(r.midi, n.midi);
    EXPECT_EQ(r.type, n.type);
    EXPECT_EQ(r.line, n.line);
    EXPECT_EQ(r.dwFlag, n.dwFlag);
    EXPECT_EQ(r.volume, 90);
    EXPECT_EQ(r.pan, 10);
    EXPECT_EQ(r.iid, 41);
    EXPECT_EQ(r.dwStopOffset, -120);
    EXPECT_EQ(r.dwChorus, 5u);
    EXPECT_EQ(r.dwReverb, 6u);
    EXPECT_EQ(r.bendTime, 7u);
    EXPECT_EQ(r.dwBendAmount, 8u);
    EXPECT_EQ(r.loopTo, 2);
    EXPECT_EQ(r.loopCount, 3);
    EXPECT_EQ(r.chordparent, 1);
    EXPECT_EQ(r.banknum, 4);
    EXPECT_EQ(r.timeSig, static_cast<uint32_t>(kTimeSig34));
    EXPECT_EQ(r.key, 'G');
    EXPECT_EQ(r.keyType, 2u);
    EXPECT_EQ(r.labelText(), "Verse 1");
    EXPECT_EQ(r.filename(), n.filename());
    EXPECT_EQ(r.displayName(), "intro.mp3");
    EXPECT_EQ(r.lyrictext(), n.lyrictext());
    EXPECT_EQ(r.letter, 'F');
}

TEST(NoteTest, TextsWithMarkupCharactersSurviveAndStayInsideTheirElement)
{
    Note n;
    n.setLyric("say \"hi\" <now>\r\n\tat 100%");
    n.setLabel("a>b\"c");
    n.setFilename(std::string("/tmp/odd \"name\"<1>.mp3"));
    const std::string text = written(n);
    EXPECT_EQ(text.find('\t'), std::string::npos);
    EXPECT_EQ(text.find("\r\n\t"), std::string::npos);
    const Note r = readBack(text);
    EXPECT_EQ(r.lyrictext(), n.lyrictext());
    EXPECT_EQ(r.labelText(), "a>b\"c");
    EXPECT_EQ(r.filename(), n.filename());
}

TEST(NoteTest, ReadingUsesDefaultsAndTheLyricRules)
{
    const Note d = readBack("<note\r\n>\r\n</note>\r\n");
    EXPECT_EQ(d.midi, 60);
    EXPECT_EQ(d.type, kTypeQuarter);
    EXPECT_EQ(d.volume, 127);
    EXPECT_EQ(d.pan, 64);
    EXPECT_EQ(d.chordparent, -1);
    EXPECT_FALSE(d.lyrictext().has_value());
    EXPECT_FALSE(d.filename().has_value());

    EXPECT_EQ(readBack("<note\r\nlyrictext=\"\">\r\n</note>\r\n").lyrictext(), " ");
    const std::string tooLong(128, 'x');
    EXPECT_FALSE(readBack("<note\r\nlyrictext=\"" + tooLong + "\">\r\n</note>\r\n").lyrictext().has_value());
    const Note sharp = readBack("<note\r\nmidi=70 >\r\n</note>\r\n");
    EXPECT_EQ(sharp.letter, '1');
    EXPECT_TRUE(sharp.dwFlag & kFlagSharp);
}

TEST(NoteTest, LabelsAreCutToFifteenCharacters)
{
    Note n;
    n.setLabel("0123456789abcdefghij");
    EXPECT_EQ(n.labelText(), "0123456789abcde");
    const Note r = readBack("<note\r\nlabel=\"0123456789abcdefghij\" >\r\n</note>\r\n");
    EXPECT_EQ(r.labelText(), "0123456789abcde");
}

TEST(NoteTest, ALyricOrALabelIsCutOnACharacterBoundary)
{
    const std::string e = "\xC3\xA9";            // "é", two bytes
    const std::string clef = "\xF0\x9D\x84\x9E"; // the G clef sign, four bytes
    Note n;
    n.setLyric(std::string(126, 'a') + e + "b"); // "é" would take bytes 127 and 128
    EXPECT_EQ(n.lyrictext(), std::string(126, 'a'));
    n.setLyric(std::string(125, 'a') + e + "b"); // "é" ends at byte 127
    EXPECT_EQ(n.lyrictext(), std::string(125, 'a') + e);
    n.setLyric(std::string(125, 'a') + clef);
    EXPECT_EQ(n.lyrictext(), std::string(125, 'a'));
    n.setLabel("abcdefghijklmn" + e);
    EXPECT_EQ(n.labelText(), "abcdefghijklmn");
    n.setLabel("abcdefghijklm" + e);
    EXPECT_EQ(n.labelText(), "abcdefghijklm" + e);
}

TEST(NoteTest, TextsReadFromASheetAreUtf8WithEightBitTextReadAsLatinOne)
{
    const auto lyricOf = [](const std::string& bytes) {
        return readBack("<note\r\nlyrictext=\"" + bytes + "\">\r\n</note>\r\n")
            .lyrictext()
            .value_or("(none)");
    };
    EXPECT_EQ(lyricOf("Gr\xC3\xBC\xC3\x9F"), "Gr\xC3\xBC\xC3\x9F") << "UTF-8 stays as it is";
    EXPECT_EQ(lyricOf("Sch\xF6n"), "Sch\xC3\xB6n") << "a sheet of an older system: Latin-1";
    EXPECT_EQ(lyricOf("caf\xE9"), "caf\xC3\xA9");
    // A character an earlier release cut in half at the lyric's limit of 127 bytes.
    EXPECT_EQ(lyricOf(std::string(123, 'a') + "caf\xC3"), std::string(123, 'a') + "caf");
    EXPECT_EQ(lyricOf(std::string(122, 'a') + "caf\xE2\x82"), std::string(122, 'a') + "caf");
    EXPECT_EQ(lyricOf(std::string(125, 'a') + "\xE9" + "b"), std::string(125, 'a') + "\xC3\xA9")
        << "grown past the limit, it is cut again on a character boundary";
    const Note label = readBack("<note\r\nlabel=\"\xE9t\xE9\" >\r\n</note>\r\n");
    EXPECT_EQ(label.labelText(), "\xC3\xA9t\xC3\xA9");
}

TEST(NoteTest, CopyCarriesContentButNotBankVelocityOrTimeSignature)
{
    Note src;
    src.banknum = 9;
    src.velocity = 11;
    src.timeSig = 3;
    src.midi = 64;
    src.childCount = 2;
    src.children[0] = 5;
    src.children[1] = 6;
    src.children[2] = 99;
    src.setLyric("la");
    src.fresh = 0;

    Note dst;
    dst.velocity = 77;
    dst.timeSig = 8;
    dst.children[2] = 42;
    dst.setFilename(std::string("/x.mp3"));
    dst.copyFrom(src);
    EXPECT_EQ(dst.banknum, 0);
    EXPECT_EQ(dst.velocity, 77);
    EXPECT_EQ(dst.timeSig, 8u);
    EXPECT_EQ(dst.midi, 64);
    EXPECT_EQ(dst.children[0], 5);
    EXPECT_EQ(dst.children[1], 6);
    EXPECT_EQ(dst.children[2], 42) << "entries past childCount stay the target's";
    EXPECT_EQ(dst.lyrictext(), "la");
    EXPECT_FALSE(dst.filename().has_value());
    EXPECT_FALSE(dst.displayName().has_value());
    EXPECT_EQ(dst.fresh, 1);
}

TEST(NoteTest, LegatoTextShowsBeatsWithTwoDecimals)
{
    Note n;
    n.dwStopOffset = 250;
    EXPECT_EQ(n.legatoText(), "0.50");
    n.dwStopOffset = -1000;
    EXPECT_EQ(n.legatoText(), "-2.00");
}

TEST(NoteTest, NaturalLetterFollowsTheClef)
{
    EXPECT_EQ(naturalLetterOfKey(60, false), 'C');
    EXPECT_EQ(naturalLetterOfKey(61, false), 'C');
    EXPECT_EQ(naturalLetterOfKey(62, false), 'D');
    EXPECT_EQ(naturalLetterOfKey(63, false), 'D');
    EXPECT_EQ(naturalLetterOfKey(71, false), 'B');
    EXPECT_EQ(naturalLetterOfKey(47, false), 'B');
    EXPECT_EQ(naturalLetterOfKey(60, true), 'E');
}

TEST(NoteTest, CopiesShareTextsUntilOneOfThemChanges)
{
    Note a;
    a.setLyric("la");
    a.setFilename(std::string("/clips/a.mp3"));
    Note b = a;
    b.setLyric("lu");
    EXPECT_EQ(a.lyrictext(), "la") << "changing a copy leaves the original alone";
    EXPECT_EQ(b.lyrictext(), "lu");
    EXPECT_EQ(b.filename(), "/clips/a.mp3");
    b.setFilename(std::nullopt);
    EXPECT_EQ(a.displayName(), "a.mp3");
    EXPECT_FALSE(b.displayName().has_value());
    b.clearLyric();
    EXPECT_TRUE(b.texts.empty()) << "a note without texts keeps no text block";
}

TEST(NoteTest, ContentComparesEveryStoredFieldAndTheTextsByValue)
{
    Note a;
    Note b;
    a.setLyric("same");
    b.setLyric("same");
    EXPECT_TRUE(a.content() == b.content()) << "texts kept apart but equal";
    b.fresh = 0;
    EXPECT_TRUE(a.content() == b.content()) << "the fresh mark is not content";
    b.setLabel("x");
    EXPECT_FALSE(a.content() == b.content());
    b.setLabel("");
    b.selected = 1;
    EXPECT_FALSE(a.content() == b.content()) << "the selection is restored by undo, so it is content";
}
