#include "theory/chord_formula.h"
#include "theory/chord_symbol.h"

#include <gtest/gtest.h>

#include <set>

namespace tonvela {
namespace {

// The 23 qualities as a lead sheet writes them on C, by row of the formula table (checked by
// hand against the Real Book's and LilyPond's chord names).
const char* const kLeadSheetNamesOnC[kChordQualityCount] = {
    "C",   "C6",   "C6/9", "Cmaj7", "Cmaj9", "C7",    "C7#9", "C7#5",  "C7sus4", "C9",    "C9sus4", "C11",
    "C13", "Caug", "Cm",   "Cm6",   "Cm7",   "Cm7b5", "Cdim", "Cdim7", "Csus4",  "Csus2", "Cadd9",
};

TEST(ChordSymbol, EveryQualityIsWrittenAsLeadSheetsWriteIt)
{
    std::set<std::string> seen;
    for (int q = 0; q < kChordQualityCount; ++q) {
        const std::string text = chordSymbolText(ChordSymbol{{'C', 0}, q, std::nullopt});
        EXPECT_EQ(text, kLeadSheetNamesOnC[q]) << chordFormulaTable()[static_cast<std::size_t>(q)].name;
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kChordQualityCount)) << "two qualities share a name";
}

TEST(ChordSymbol, EveryCanonicalTextReadsBackAsTheSameSymbolWithAndWithoutBass)
{
    for (int q = 0; q < kChordQualityCount; ++q)
        for (const SpelledPitch root : {SpelledPitch{'C', 0}, SpelledPitch{'B', -1}, SpelledPitch{'F', 1}}) {
            ChordSymbol s{root, q, std::nullopt};
            EXPECT_EQ(parseChordSymbol(chordSymbolText(s)), s) << chordSymbolText(s);
            s.bass = SpelledPitch{'E', -1};
            EXPECT_EQ(parseChordSymbol(chordSymbolText(s)), s) << chordSymbolText(s);
        }
}

TEST(ChordSymbol, ReadsTheSpellingsMusiciansType)
{
    struct Case {
        const char* typed;
        const char* canonical;
    };
    const Case cases[] = {
        {"Cmin7", "Cm7"},
        {"C-7", "Cm7"},
        {"CM7", "Cmaj7"},
        {"C\xce\x94", "Cmaj7"},
        {"Bb\xc3\xb8", "Bbm7b5"},
        {"C\xc2\xb0"
         "7",
         "Cdim7"},
        {"C+", "Caug"},
        {"G7+5", "G7#5"},
        {"Dsus", "Dsus4"},
        {"  Am  ", "Am"},
        {"a", "A"},
        {"E\xe2\x99\xad"
         "7",
         "Eb7"},
        {"C69", "C6/9"},
        {"C6/9/E", "C6/9/E"},
        {"Cmaj7/b", "Cmaj7/B"},
        {"F#m7/C#", "F#m7/C#"},
        {"CMAJ7", "Cmaj7"},
        {"Cdom7b10", "C7#9"},
    };
    for (const Case& c : cases) {
        const auto s = parseChordSymbol(c.typed);
        ASSERT_TRUE(s) << c.typed;
        EXPECT_EQ(chordSymbolText(*s), c.canonical) << c.typed;
    }
    // Upper- and lower-case m are different chords.
    EXPECT_EQ(parseChordSymbol("Cm7")->quality, 16);
    EXPECT_EQ(parseChordSymbol("CM7")->quality, 3);
}

TEST(ChordSymbol, RefusesTextsThatNameNoChord)
{
    for (const char* text : {"", " ", "H7", "Cxyz", "C/", "C/H", "7", "/E", "Cm7b5b5", "C##"})
        EXPECT_FALSE(parseChordSymbol(text)) << text;
}

TEST(ChordSymbol, SoundsTheFormulaOfItsQuality)
{
    EXPECT_EQ(chordSymbolSemitones(0), (std::vector<int>{0, 4, 7}));
    EXPECT_EQ(chordSymbolSemitones(17), (std::vector<int>{0, 3, 6, 10}));             // m7b5
    EXPECT_EQ(chordSymbolSemitones(6), (std::vector<int>{0, 4, 7, 10, 15}));          // 7#9
    EXPECT_EQ(chordSymbolSemitones(12), (std::vector<int>{0, 4, 7, 10, 14, 17, 21})); // 13
    EXPECT_EQ(chordSymbolSemitones(19), (std::vector<int>{0, 3, 6, 9}));              // dim7
    EXPECT_TRUE(chordSymbolSemitones(23).empty());
    EXPECT_EQ((SpelledPitch{'B', -1}.pitchClass()), 10);
    EXPECT_EQ((SpelledPitch{'C', -1}.pitchClass()), 11);
    EXPECT_EQ(spelledRootOfButton(1).text(), "Bb");
    EXPECT_EQ(spelledRootOfButton(9).text(), "F#");
}

} // namespace
} // namespace tonvela
