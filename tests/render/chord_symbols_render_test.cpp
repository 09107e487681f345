// A printed lead sheet: its chord symbols and diagrams on PDF pages, read back with poppler.

#include "editor/layout.h"
#include "editor/sheet_view_state.h"
#include "render/sheet_rendering.h"
#include "score/sheet_document.h"
#include "score/sheet_file.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace tonvela {
namespace {

std::string run(const std::string& cmd)
{
    std::string out;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p)
        return out;
    char buf[4096];
    while (const std::size_t n = std::fread(buf, 1, sizeof buf, p))
        out.append(buf, n);
    ::pclose(p);
    return out;
}

// The lead sheet of the documentation: 22 notes with lyrics and 12 chord symbols.
const char* const kSymbols[] = {"Am7", "D7", "Gmaj7", "Cmaj7", "F#m7b5", "B7", "Em", "E7/G#", "G"};

TEST(ChordSymbolsOnPaper, APrintedLeadSheetGivesItsSymbolsBackToPdftotextWithAndWithoutDiagrams)
{
    ensureGuiApplication();
    for (const bool diagrams : {false, true}) {
        SCOPED_TRACE(diagrams ? "with diagrams" : "names only");
        SheetDocument sheet;
        ASSERT_TRUE(
            loadSheet(sheet, "lead_sheet.shd", std::string(TONVELA_SOURCE_DIR) + "/docs/lead_sheet.shd")
                .ok());
        sheet.chordDiagrams = diagrams;
        SheetViewState view(sheet);
        view.setClientSize(900, 700);
        layoutRows(view);
        const std::string path = ::testing::TempDir() + (diagrams ? "lead_frets.pdf" : "lead_names.pdf");
        std::filesystem::remove(path);
        const PrintResult printed = printViewToPdf(view, path);
        ASSERT_TRUE(printed.ok) << printed.error;
        const std::string text = run("pdftotext -enc UTF-8 '" + path + "' - 2>&1");
        for (const char* symbol : kSymbols)
            EXPECT_NE(text.find(symbol), std::string::npos) << symbol << " in\n" << text;
        EXPECT_NE(text.find("Leaves"), std::string::npos) << "the lyrics too";
    }
}

TEST(ChordSymbolsOnPaper, TheDiagramsInkTheBandAboveTheNamesOnlyWhenShown)
{
    ensureGuiApplication();
    SheetDocument sheet;
    ASSERT_TRUE(
        loadSheet(sheet, "lead_sheet.shd", std::string(TONVELA_SOURCE_DIR) + "/docs/lead_sheet.shd").ok());
    auto inkAbove = [&](bool diagrams) {
        sheet.chordDiagrams = diagrams;
        SheetViewState view(sheet);
        view.setClientSize(900, 700);
        layoutRows(view);
        const QImage image = renderView(view);
        // The band between the names and the row above, over the fifth note: D7, which the
        // chord library has a shape for (the first, Am7, has none).
        const NoteLayout& first = view.noteLayout(0, 4);
        const int top = view.rowTopInWindow(first.rowIndex);
        int dark = 0;
        for (int y = std::max(0, top - 70); y < top - 38; ++y)
            for (int x = first.x; x < first.x + 30; ++x)
                dark += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
        return dark;
    };
    EXPECT_EQ(inkAbove(false), 0);
    EXPECT_GT(inkAbove(true), 40);
}

} // namespace
} // namespace tonvela
