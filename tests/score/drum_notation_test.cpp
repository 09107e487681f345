#include "score/drum_notation.h"

#include "score/note.h"

#include <gtest/gtest.h>

namespace tonvela {
namespace {

TEST(DrumNotation, AClickPicksTheTracksDrumWhereItStandsElseTheKitsDrumThere)
{
    EXPECT_EQ(drumKeyAtStep(0, 0), 38);   // the snare, not the side stick sharing its space
    EXPECT_EQ(drumKeyAtStep(0, 37), 37);  // unless the track plays the side stick
    EXPECT_EQ(drumKeyAtStep(-4, 46), 46); // the open hi-hat shares the closed one's place
    EXPECT_EQ(drumKeyAtStep(4, 42), 36);  // the track's hi-hat stands elsewhere
    EXPECT_FALSE(drumKeyAtStep(9, 38).has_value());
    // A black drum key stored as its natural with the sharp mark is the drum it sounds.
    Note hat;
    hat.midi = 41;
    hat.dwFlag = kFlagSharp;
    EXPECT_EQ(drumStaffStep(hat), -4);
}

TEST(DrumNotation, StepsReadAsTrebleClefPitchesForMusicXml)
{
    const std::pair<int, std::pair<char, int>> cases[] = {
        {0, {'C', 5}},  {4, {'F', 4}},    {-4, {'G', 5}},    {-5, {'A', 5}}, {6, {'D', 4}},
        {-7, {'C', 6}}, {1000, {'C', 0}}, {-1000, {'B', 9}}, // damaged places stay in MusicXML's range
    };
    for (const auto& [step, pitch] : cases) {
        EXPECT_EQ(drumDisplayOfStep(step).step, pitch.first) << step;
        EXPECT_EQ(drumDisplayOfStep(step).octave, pitch.second) << step;
    }
}

} // namespace
} // namespace tonvela
