// The registry of export formats: one row per extension, found by a file name's extension.

#include "score/export_formats.h"
#include "score/sheet_document.h"

#include <gtest/gtest.h>

namespace tonvela {
namespace {

int written = 0;
FileResult recordWrite(SheetDocument&, const std::string&, const ExportOptions& o)
{
    written = 100 + o.track;
    return FileResult::success();
}

TEST(ExportFormatsTest, FormatsAreFoundByExtensionInAnyCase)
{
    ExportFormats formats;
    addScoreExportFormats(formats);
    ASSERT_NE(formats.byExtension(".ly"), nullptr);
    EXPECT_EQ(formats.byExtension(".LY"), formats.byExtension(".ly"));
    EXPECT_EQ(formats.forPath("/music/Song.Ly"), formats.byExtension(".ly"));
    EXPECT_EQ(formats.forPath("/music.d/song"), nullptr) << "a dot in a folder name is no extension";
    EXPECT_EQ(formats.forPath("song.xyz"), nullptr);
    EXPECT_EQ(formats.byExtension(".shd")->filter, "Sheet Document Files(*.shd)");
    EXPECT_EQ(formats.byExtension(".ly")->filter, "Lilypond File(*.ly)");
}

TEST(ExportFormatsTest, AFormatAddedAgainReplacesTheOldRow)
{
    ExportFormats formats;
    formats.add({"first", ".X", "X(*.x)", false, recordWrite});
    formats.add({"second", ".x", "X(*.x)", true, recordWrite});
    ASSERT_EQ(formats.all().size(), 1u);
    EXPECT_EQ(formats.all().front().name, "second");
    EXPECT_EQ(formats.all().front().extension, ".x") << "kept in lower case";
    SheetDocument sheet;
    ExportOptions one;
    one.track = 2;
    EXPECT_TRUE(formats.forPath("a.x")->write(sheet, "a.x", one).ok);
    EXPECT_EQ(written, 102);
}

} // namespace
} // namespace tonvela
