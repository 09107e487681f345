#include "score/drum_notation.h"

#include "score/note.h"

#include <gtest/gtest.h>

namespace tonvela {
namespace {

int stepOf(int key)
{
    const DrumNotation* d = drumNotationOf(key);
    return d ? d->step : 1000;
}

// The drum set as engravers write it, checked against places read off the staff by hand
// (steps: top line -3, third space 0, bottom space 4, bottom line 5).
TEST(DrumNotation, TheKitStandsWhereDrummersReadIt)
{
    EXPECT_EQ(stepOf(36), 4);          // bass drum: bottom space
    EXPECT_EQ(stepOf(38), 0);          // snare: third space
    EXPECT_EQ(stepOf(42), -4);         // closed hi-hat: the space above the staff
    EXPECT_EQ(stepOf(49), -5);         // crash: the first ledger line above
    EXPECT_EQ(stepOf(51), -3);         // ride: the top line
    EXPECT_EQ(stepOf(44), 6);          // pedal hi-hat: below the staff
    EXPECT_GT(stepOf(41), stepOf(43)); // the floor toms below the toms above them
    EXPECT_GT(stepOf(45), stepOf(38));
    EXPECT_LT(stepOf(48), stepOf(38));
    EXPECT_LT(stepOf(50), stepOf(48));
    for (int key : {42, 44, 46, 49, 51, 52, 55, 57, 59})
        EXPECT_EQ(drumNotationOf(key)->head, DrumHead::Cross) << key;
    for (int key : {35, 36, 38, 41, 43, 45, 47, 48, 50})
        EXPECT_EQ(drumNotationOf(key)->head, DrumHead::Normal) << key;
    EXPECT_EQ(drumNotationOf(34), nullptr);
    EXPECT_EQ(drumNotationOf(82), nullptr);
    EXPECT_EQ(drumNotationOf(0), nullptr);
}

TEST(DrumNotation, AClickPicksTheTracksDrumWhereItStandsElseTheKitsDrumThere)
{
    EXPECT_EQ(drumKeyAtStep(0, 0), 38);   // the snare, not the side stick sharing its space
    EXPECT_EQ(drumKeyAtStep(0, 37), 37);  // unless the track plays the side stick
    EXPECT_EQ(drumKeyAtStep(0, 42), 38);  // the track's hi-hat stands elsewhere
    EXPECT_EQ(drumKeyAtStep(-4, 46), 46); // open hi-hat shares the closed one's place
    EXPECT_EQ(drumKeyAtStep(4, 0), 36);
    EXPECT_FALSE(drumKeyAtStep(9, 38).has_value());
    EXPECT_FALSE(drumKeyAtStep(-12, 38).has_value());
}

TEST(DrumNotation, ANoteIsDrawnAtItsDrumsPlaceOrWhereItStandsOutsideTheKit)
{
    Note kick;
    kick.setNameFromKey(36);
    kick.line = -9; // whatever the file stored
    EXPECT_EQ(drumStaffStep(kick), 4);
    EXPECT_EQ(shownStep(kick, true), 4);
    EXPECT_EQ(shownStep(kick, false), -9);
    Note odd;
    odd.setNameFromKey(20);
    odd.line = 2;
    EXPECT_EQ(drumStaffStep(odd), 2);
    // A black drum key stored as its natural with the sharp mark is the drum it sounds.
    Note hat;
    hat.midi = 41;
    hat.dwFlag = kFlagSharp;
    EXPECT_EQ(drumStaffStep(hat), -4);
}

TEST(DrumNotation, StepsReadAsTrebleClefPitchesForMusicXml)
{
    const auto is = [](int step, char letter, int octave) {
        const DrumDisplay d = drumDisplayOfStep(step);
        EXPECT_EQ(d.step, letter) << step;
        EXPECT_EQ(d.octave, octave) << step;
    };
    is(0, 'C', 5);
    is(1, 'B', 4);
    is(4, 'F', 4);
    is(5, 'E', 4);
    is(-4, 'G', 5);
    is(-5, 'A', 5);
    is(6, 'D', 4);
    is(-7, 'C', 6);
    is(1000, 'C', 0); // damaged places still write pitches MusicXML allows
    is(-1000, 'B', 9);
}

} // namespace
} // namespace tonvela
