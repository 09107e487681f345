#include "score/page_setup.h"
#include "score/sheet_document.h"
#include "score/sheet_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace tonvela {
namespace {

namespace fs = std::filesystem;

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(PageSetupTest, EveryExampleSheetLoadsWithTheDefaultPageAndSavesByteForByte)
{
    int examples = 0;
    const fs::path out =
        fs::temp_directory_path() / ("tonvela-page-setup-" + std::to_string(getpid()) + ".shd");
    for (const auto& e : fs::directory_iterator(std::string(TONVELA_SOURCE_DIR) + "/examples")) {
        if (e.path().extension() != ".shd")
            continue;
        SheetDocument s;
        const LoadResult loaded = loadSheet(s, "x.shd", e.path().string());
        if (loaded.status == LoadStatus::WrongKind)
            continue;
        ASSERT_TRUE(loaded.ok()) << e.path();
        ++examples;
        EXPECT_EQ(s.pageSetup, PageSetup{}) << e.path();
        ASSERT_TRUE(saveSheet(s, "again.shd", out.string()));
        EXPECT_EQ(slurp(out.string()), slurp(e.path().string())) << e.path();
    }
    fs::remove(out);
    EXPECT_GE(examples, 5);
}

TEST(PageSetupTest, ASetPageIsWrittenAfterTheTextsAndReadBack)
{
    SheetDocument s;
    s.texts.title = "Song";
    s.pageSetup.staffSizeMm = 6.5;
    s.pageSetup.paper = Paper::Letter;
    s.pageSetup.orientation = PageOrientation::Landscape;
    s.pageSetup.margins = {20, 12.5, 18, 10};
    const std::string text = sheetToText(s);
    EXPECT_NE(text.find("title=\"Song\"\r\nstaffsize=6.5\r\npaper=letter\r\norientation=landscape\r\n"
                        "margins=20,12.5,18,10\r\n>\r\n"),
              std::string::npos)
        << text;
    SheetDocument back;
    ASSERT_TRUE(loadSheetFromText(back, text).ok());
    EXPECT_EQ(back.pageSetup, s.pageSetup);
    // The autosave's copy keeps it too.
    EXPECT_EQ(sheetCopyText(copySheet(s)), text);

    // Only what differs from the defaults is written.
    SheetDocument only;
    only.pageSetup.paper = Paper::A4;
    const std::string a4 = sheetToText(only);
    EXPECT_NE(a4.find("timesig=391549\r\npaper=a4\r\n>"), std::string::npos) << a4;
    EXPECT_EQ(a4.find("staffsize"), std::string::npos);
    EXPECT_EQ(a4.find("margins"), std::string::npos);
}

TEST(PageSetupTest, DamagedValuesAreBroughtIntoRangeOrLeftAtTheirDefaults)
{
    const auto read = [](const std::string& attributes) {
        SheetDocument s;
        s.pageSetup.staffSizeMm = 8; // a load replaces what the sheet had
        EXPECT_TRUE(loadSheetFromText(s, "<staffdoc\r\n" + attributes + "\r\n>\r\n</staffdoc>\r\n").ok())
            << attributes;
        return s.pageSetup;
    };
    EXPECT_EQ(read("staffsize=2").staffSizeMm, kMinStaffSizeMm);
    EXPECT_EQ(read("staffsize=1e308").staffSizeMm, kMaxStaffSizeMm);
    EXPECT_EQ(read("staffsize=seven").staffSizeMm, kDefaultStaffSizeMm);
    EXPECT_EQ(read("staffsize=nan").staffSizeMm, kDefaultStaffSizeMm);
    EXPECT_EQ(read("paper=A3").paper, Paper::Default);
    EXPECT_EQ(read("paper=LETTER").paper, Paper::Letter);
    EXPECT_EQ(read("orientation=sideways").orientation, PageOrientation::Portrait);
    EXPECT_EQ(read("margins=1,2,3").margins, PageMargins{});
    EXPECT_EQ(read("margins=1,2,3,4,5").margins, PageMargins{});
    EXPECT_EQ(read("margins=a,2,3,4").margins, PageMargins{});
    EXPECT_EQ(read("margins=-5,2,300,4").margins, (PageMargins{0, 2, kMaxMarginMm, 4}));
}

TEST(PageSetupTest, PaperSizesFollowTheOrientation)
{
    const PaperSize a4 = paperSize(Paper::A4, PageOrientation::Portrait);
    EXPECT_DOUBLE_EQ(a4.widthMm, 210);
    EXPECT_DOUBLE_EQ(a4.heightMm, 297);
    const PaperSize letter = paperSize(Paper::Letter, PageOrientation::Landscape);
    EXPECT_DOUBLE_EQ(letter.widthMm, 279.4);
    EXPECT_DOUBLE_EQ(letter.heightMm, 215.9);
    EXPECT_EQ(paperFromName("a4"), Paper::A4);
    EXPECT_EQ(paperFromName("Letter"), Paper::Letter);
    EXPECT_EQ(paperFromName("legal"), std::nullopt);
    EXPECT_EQ(paperName(Paper::Letter), "letter");
}

TEST(PageSetupTest, TheDefaultPaperIsTheLocales)
{
    const char* saved = std::getenv("LC_ALL");
    const std::string keep = saved ? saved : "";
    setenv("LC_ALL", "en_US.UTF-8", 1);
    EXPECT_EQ(resolvedPaper(Paper::Default), Paper::Letter);
    EXPECT_DOUBLE_EQ(paperSize(Paper::Default, PageOrientation::Portrait).heightMm, 279.4);
    EXPECT_EQ(resolvedPaper(Paper::A4), Paper::A4);
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    EXPECT_EQ(resolvedPaper(Paper::Default), Paper::A4);
    EXPECT_EQ(resolvedPaper(Paper::Letter), Paper::Letter);
    if (saved)
        setenv("LC_ALL", keep.c_str(), 1);
    else
        unsetenv("LC_ALL");
}

} // namespace
} // namespace tonvela
