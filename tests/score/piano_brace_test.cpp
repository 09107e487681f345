// The brace of a piano part is a setting of its upper track: saved with the sheet only where
// it is set, so every other file reads and writes as before, and kept by undo.

#include "score/sheet_document.h"
#include "score/sheet_file.h"
#include "score/track.h"

#include <gtest/gtest.h>

#include <string>

namespace tonvela {
namespace {

TEST(PianoBraceTest, TheBraceIsSavedOnTheUpperStaffOnlyAndReadBack)
{
    SheetDocument sheet;
    sheet.setTrackCount(3);
    sheet.trackAt(1)->braceWithNext = 1;
    const std::string text = sheetToText(sheet);
    EXPECT_NE(text.find("drawmode=0 percussive=0 brace=1 >\r\n</config>"), std::string::npos) << text;
    EXPECT_EQ(text.find("brace"), text.rfind("brace")) << "one attribute for one track";

    SheetDocument loaded;
    ASSERT_TRUE(loadSheetFromText(loaded, text).ok());
    EXPECT_EQ(loaded.trackAt(0)->braceWithNext, 0);
    EXPECT_EQ(loaded.trackAt(1)->braceWithNext, 1);
    EXPECT_EQ(loaded.trackAt(2)->braceWithNext, 0);
    EXPECT_EQ(sheetToText(loaded), text);
}

TEST(PianoBraceTest, ASheetWithoutBracesWritesNoBraceAttribute)
{
    SheetDocument sheet;
    sheet.setTrackCount(2);
    EXPECT_EQ(sheetToText(sheet).find("brace"), std::string::npos);
}

TEST(PianoBraceTest, UndoAndRedoBringTheBraceBackWithTheTrack)
{
    SheetDocument sheet;
    sheet.setTrackCount(2);
    Track& t = *sheet.trackAt(0);
    sheet.snapshot();
    t.braceWithNext = 1;
    sheet.undo();
    EXPECT_EQ(t.braceWithNext, 0);
    sheet.redo();
    EXPECT_EQ(t.braceWithNext, 1);
}

} // namespace
} // namespace tonvela
