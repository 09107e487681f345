#include "harmony/guitar_library.h"

#include <gtest/gtest.h>

namespace tonvela {
namespace {

class GuitarLibraryTest : public ::testing::Test {
  protected:
    const GuitarChordLibrary& lib = guitarLibrary();
};

TEST_F(GuitarLibraryTest, HoldsFiftyFourShapesWithRootsInOrderOfFirstAppearance)
{
    EXPECT_EQ(lib.entries().size(), 54u);
    const std::vector<std::string> roots{"Ab", "A", "B", "Bb", "C", "Db", "D", "E", "Eb", "F", "F#", "G"};
    EXPECT_EQ(lib.roots(), roots);
    for (const auto& e : lib.entries()) {
        EXPECT_EQ(e.fingering.size(), 18u) << e.root << " " << e.qualityName;
        EXPECT_FALSE(e.qualityName.empty());
    }
}

TEST_F(GuitarLibraryTest, AugmentedAndDiminishedOnAShareOneFingering)
{
    EXPECT_EQ(lib.findFingering("A", "Augmented", 1), "11X22333442251061X");
    EXPECT_EQ(lib.findFingering("A", "Diminished", 1), "11X22333442251061X");
    const auto q = lib.qualitiesForRoot("A");
    EXPECT_NE(std::find(q.begin(), q.end(), "Augmented"), q.end());
    EXPECT_NE(std::find(q.begin(), q.end(), "Diminished"), q.end());
}

TEST_F(GuitarLibraryTest, SharedShapesMatchTheirRootsAndFrets)
{
    EXPECT_EQ(lib.findFingering("Bb", "Diminished", 3), "11X23134243352461X");
    EXPECT_EQ(lib.findFingering("C", "Diminished", 3), "11X23134243352461X");
    EXPECT_EQ(lib.findFingering("E", "Minor", 1), "110210310433532610");
    EXPECT_EQ(lib.findFingering("E", "Sus4", 1), "110210310433532610");
    const GuitarChordEntry* em = lib.find("E", "Minor", 1);
    ASSERT_NE(em, nullptr);
    EXPECT_EQ(em->qualitySymbol, "m");
}

TEST_F(GuitarLibraryTest, CombinationsNotInTheLibraryFindNothing)
{
    EXPECT_FALSE(lib.findFingering("A", "Minor", 5));
    EXPECT_FALSE(lib.findFingering("G#", "Major", 1));
    EXPECT_FALSE(lib.findFingering("A", "minor", 1)); // names match exactly
    EXPECT_TRUE(lib.startFretsFor("A", "Minor7").empty());
}

TEST_F(GuitarLibraryTest, PickerOnAbListsItsQualitiesAndChoosesMajorAtTheNut)
{
    GuitarChordPicker picker(lib);
    picker.chooseRoot(0);
    const std::vector<std::string> q{"Major", "Minor", "Sus4", "Augmented", "Diminished"};
    EXPECT_EQ(picker.qualityList(), q);
    EXPECT_EQ(picker.qualityName(), "Major");
    EXPECT_EQ(picker.startFretList(), std::vector<std::string>{"1"});
    ASSERT_NE(picker.chosen(), nullptr);
    EXPECT_EQ(picker.chosen()->fingering, "11X221321421543654");
}

TEST_F(GuitarLibraryTest, PickerOnDbMinorOffersStartFretFour)
{
    GuitarChordPicker picker(lib);
    picker.chooseRoot(5);
    ASSERT_EQ(picker.root(), "Db");
    picker.chooseQuality(1);
    EXPECT_EQ(picker.qualityName(), "Minor");
    EXPECT_EQ(picker.startFretList(), std::vector<std::string>{"4"});
    EXPECT_EQ(picker.startFret(), 4);
    picker.chooseQuality(7); // outside the list: nothing changes
    EXPECT_EQ(picker.qualityName(), "Minor");
}

TEST_F(GuitarLibraryTest, QualityCodesShareTextsAndUnknownCodesHaveNone)
{
    EXPECT_EQ(guitarQualityName(11), guitarQualityName(20));
    EXPECT_EQ(guitarQualitySymbol(12), "dim7");
    EXPECT_EQ(guitarQualitySymbol(21), "dim7");
    EXPECT_EQ(guitarQualitySymbol(0), "");
    EXPECT_EQ(guitarQualityName(22), "");
    EXPECT_EQ(guitarQualityName(-1), "");
}

TEST_F(GuitarLibraryTest, AddShapeRefusesBeyondItsEntriesAndRoots)
{
    GuitarChordLibrary l;
    for (int i = 0; i < kMaxLibraryRoots; ++i)
        ASSERT_TRUE(l.addShape("R" + std::to_string(i), 0, "110210321433532610", 1));
    EXPECT_FALSE(l.addShape("New", 0, "110210321433532610", 1)); // a 33rd root
    EXPECT_TRUE(l.addShape("R0", 1, "110210321433532610", 1));
    while (l.entries().size() < static_cast<std::size_t>(kMaxLibraryEntries))
        ASSERT_TRUE(l.addShape("R1", 0, "x", 2));
    EXPECT_FALSE(l.addShape("R1", 0, "x", 2));
    EXPECT_EQ(l.entries().size(), 128u);
    EXPECT_TRUE(l.addShape("R2", 0, "x", 2) == false);
    GuitarChordLibrary cut;
    cut.addShape("Abcdef", 0, std::string(40, '1'), 1);
    EXPECT_EQ(cut.entries()[0].root, "Abc");
    EXPECT_EQ(cut.entries()[0].fingering.size(), kMaxFingeringLength);
}

} // namespace
} // namespace tonvela
