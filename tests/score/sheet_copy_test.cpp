#include "platform/atomic_file.h"
#include "platform/sheet_lock.h"
#include "score/markup_tree.h"
#include "score/sheet_document.h"
#include "score/sheet_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <future>

using namespace tonvela;

namespace {

std::vector<std::string> sheetFiles()
{
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(std::string(TONVELA_SOURCE_DIR) + "/examples"))
        if (e.path().extension() == ".shd")
            files.push_back(e.path().string());
    files.push_back(std::string(TONVELA_TEST_DATA) + "/repeats.shd");
    return files;
}

// The copy an autosave takes writes exactly the file a save writes, for sheets of every staff
// kind, with lyrics, chords, loops and repeated measures.
TEST(SheetCopy, WritesTheSameTextAsTheSheetItself)
{
    int sheets = 0;
    for (const std::string& file : sheetFiles()) {
        if (peekFirstToken(file) != "staffdoc")
            continue; // a chord document
        ++sheets;
        SheetDocument sheet;
        ASSERT_TRUE(loadSheet(sheet, "x.shd", file).ok()) << file;
        sheet.zoomamount = 1.25f;
        EXPECT_EQ(sheetCopyText(copySheet(sheet)), sheetToText(sheet)) << file;
    }
    EXPECT_GE(sheets, 4);
}

TEST(SheetCopy, StaysAsTakenWhileTheSheetIsEditedOnAnotherThread)
{
    SheetDocument sheet;
    ASSERT_TRUE(
        loadSheet(sheet, "ode.shd", std::string(TONVELA_SOURCE_DIR) + "/examples/ode_to_joy.shd").ok());
    const std::string before = sheetToText(sheet);
    const SheetCopy copy = copySheet(sheet);
    // The text is made elsewhere while the sheet changes under the lock, as edits do.
    auto text = std::async(std::launch::async, [&copy] { return sheetCopyText(copy); });
    {
        SheetLockGuard lock(sheetLock());
        sheet.snapshot();
        Track& t = *sheet.trackAt(0);
        t.removeNote(0);
        t.measureRepeats.set(1, true);
        t.tempo = 77;
        sheet.setTrackCount(1);
    }
    EXPECT_EQ(text.get(), before);
    EXPECT_NE(sheetToText(sheet), before);
    EXPECT_EQ(sheetCopyText(copySheet(sheet)), sheetToText(sheet));
}

} // namespace
