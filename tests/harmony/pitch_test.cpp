#include "harmony/pitch.h"
#include "score/note.h"

#include <gtest/gtest.h>

using namespace tonvela;

TEST(PitchTest, SemitoneWalksCountOctavesAtC)
{
    char c = 'B';
    int oct = 2;
    semitoneUp(c, oct);
    EXPECT_EQ(c, 'C');
    EXPECT_EQ(oct, 3);
    semitoneDown(c, oct);
    EXPECT_EQ(c, 'B');
    EXPECT_EQ(oct, 2);
}
