// Printed pages carry every note as vector outlines; the outlines of a glyph are written in the
// glyph's own units, so a page of many notes stays small once the PDF compresses its pages.

#include "editor/example_sheets.h"
#include "editor/sheet_view_state.h"
#include "render/sheet_rendering.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tonvela {
namespace {

struct Printed {
    qint64 bytes = 0;
    int pages = 0;
};

// The drawing of every page of a PDF as Qt writes it: the Flate streams that set up a page.
std::vector<QByteArray> pageStreams(const QByteArray& pdf)
{
    std::vector<QByteArray> pages;
    const QByteArray open = "/FlateDecode\n>>\nstream\n";
    for (qsizetype at = pdf.indexOf(open); at >= 0; at = pdf.indexOf(open, at + 1)) {
        const qsizetype start = at + open.size();
        const qsizetype end = pdf.indexOf("endstream", start);
        if (end < 0)
            break;
        // qUncompress wants the length first; it grows its buffer when that is too small.
        QByteArray packed(4, 0);
        qToBigEndian<quint32>(1u << 16, packed.data());
        packed += pdf.mid(start, end - start);
        const QByteArray plain = qUncompress(packed);
        if (plain.startsWith("/GSa gs"))
            pages.push_back(plain);
    }
    return pages;
}

Printed printEighths(int count, const std::string& name, std::vector<QByteArray>* pages = nullptr)
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
    if (pages) {
        QFile file(QString::fromStdString(path));
        if (file.open(QIODevice::ReadOnly))
            *pages = pageStreams(file.readAll());
    }
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

TEST(PdfSizeTest, EveryPageStrokesItsOwnStaffLines)
{
    ensureGuiApplication();
    std::vector<QByteArray> pages;
    const Printed printed = printEighths(700, "tonvela-pdf-lines.pdf", &pages);
    ASSERT_GE(printed.pages, 3);
    ASSERT_EQ(static_cast<int>(pages.size()), printed.pages);
    // Lines are gathered into few strokes, and every stroke lands on its own page: every full
    // page holds as many line segments as the first.
    const qsizetype first = pages.front().count(" l\n");
    EXPECT_GT(first, 7 * 5); // at least the staff lines of seven rows
    for (std::size_t p = 1; p + 1 < pages.size(); ++p)
        EXPECT_NEAR(static_cast<double>(pages[p].count(" l\n")), static_cast<double>(first), first * 0.25)
            << p;
    EXPECT_GT(pages.back().count(" l\n"), 5);
}

} // namespace
} // namespace tonvela
