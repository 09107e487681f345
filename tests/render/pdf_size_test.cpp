// Printed pages carry every note as vector outlines; the outlines of a glyph are written in the
// glyph's own units, so a page of many notes stays small once the PDF compresses its pages.

#include "editor/example_sheets.h"
#include "editor/sheet_view_state.h"
#include "render/sheet_rendering.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <string>

namespace tonvela {
namespace {

struct Printed {
    qint64 bytes = 0;
    int pages = 0;
};

Printed printEighths(int count, const std::string& name)
{
    auto sheet = testing::sheetWithTracks(1);
    sheet->zoomamount = 0.9f;
    for (int i = 0; i < count; ++i)
        testing::addNote(*sheet->trackAt(0), i % 3 ? kTypeSixteenth : kTypeQuarter, (i * 5) % 11 - 5);
    SheetViewState view(*sheet);
    view.title = name;
    view.setClientSize(1000, 800);
    const std::string path = QDir::tempPath().toStdString() + "/" + name;
    const PrintResult result = printViewToPdf(view, path);
    EXPECT_TRUE(result.ok) << result.error;
    Printed out{QFileInfo(QString::fromStdString(path)).size(), result.pages};
    QFile::remove(QString::fromStdString(path));
    return out;
}

TEST(PdfSizeTest, EachFurtherNoteAddsFewBytesToThePrint)
{
    ensureGuiApplication();
    const Printed few = printEighths(60, "tonvela-pdf-size-few.pdf");
    const Printed many = printEighths(1260, "tonvela-pdf-size-many.pdf");
    ASSERT_GT(many.pages, few.pages);
    const double perNote = static_cast<double>(many.bytes - few.bytes) / 1200.0;
    // About 90 bytes with the outlines in glyph units (stems, beams and ledger lines included);
    // outlines written in page units cost about 250, as they hardly compress.
    EXPECT_LT(perNote, 130.0) << many.bytes << " bytes for " << many.pages << " pages";
}

} // namespace
} // namespace tonvela
