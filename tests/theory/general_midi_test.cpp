#include "theory/general_midi.h"

#include <gtest/gtest.h>

#include <set>

namespace tonvela {
namespace {

class GeneralMidiTablesTest : public ::testing::Test {};

TEST_F(GeneralMidiTablesTest, GroupListHoldsSixteenGroupsInProgramOrder)
{
    std::vector<std::string> list{"existing"};
    fillGroupList(list);
    ASSERT_EQ(list.size(), 17u);
    EXPECT_EQ(list[1], "Piano");
    EXPECT_EQ(list[6], "Strings");
    EXPECT_EQ(list[16], "Sound Effects");
}

TEST_F(GeneralMidiTablesTest, ProgramIsGroupTimesEightPlusEntry)
{
    EXPECT_EQ(instrumentName(0), "Acoustic Grand");
    EXPECT_EQ(instrumentName(5), "Elettric Piano2");
    EXPECT_EQ(instrumentName(24), "Acoustic Guitar(nylon)");
    EXPECT_EQ(instrumentName(77), "Skakuhachi");
    EXPECT_EQ(instrumentName(127), "Gunshot");
    EXPECT_EQ(instrumentName(128), "");
    EXPECT_EQ(instrumentName(-1), "");
    const auto brass = instrumentsOfGroup(7);
    ASSERT_EQ(brass.size(), 8u);
    EXPECT_EQ(brass.front(), "Trumpet");
    EXPECT_EQ(brass.back(), "Synth Brass 2");
    EXPECT_EQ(groupOfProgram(61), 7);
    EXPECT_EQ(entryInGroup(61), 5);
    EXPECT_EQ(instrumentName(groupOfProgram(61) * 8 + entryInGroup(61)), "Brass Section");
    EXPECT_TRUE(instrumentsOfGroup(16).empty());
}

TEST_F(GeneralMidiTablesTest, EveryInstrumentNameIsPresentAndDistinct)
{
    std::set<std::string> names;
    for (const char* n : instrumentNames()) {
        ASSERT_NE(n, nullptr);
        names.insert(n);
    }
    EXPECT_EQ(names.size(), 128u);
}

TEST_F(GeneralMidiTablesTest, DrumEntriesMapToKeys35To81)
{
    std::vector<std::string> list;
    fillDrumList(list);
    ASSERT_EQ(list.size(), 47u);
    EXPECT_EQ(drumKeyOfEntry(0), 35);
    EXPECT_EQ(list[0], "Acoustic Bass Drum");
    EXPECT_EQ(drumKeyOfEntry(46), 81);
    EXPECT_EQ(list[46], "Open Triangle");
    EXPECT_EQ(drumName(38), "Acoustic Snare");
    EXPECT_EQ(drumEntryOfKey(42), 7);
    EXPECT_EQ(list[7], "Closed Hi Hat");
    EXPECT_EQ(drumKeyOfEntry(47), -1);
    EXPECT_EQ(drumEntryOfKey(34), -1);
    EXPECT_EQ(drumName(82), "");
}

} // namespace
} // namespace tonvela
