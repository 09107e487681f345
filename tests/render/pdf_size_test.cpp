// Printed pages carry every note as vector outlines; the outlines of a glyph are written in the
// glyph's own units, so a page of many notes stays small once the PDF compresses its pages.

#include "editor/example_sheets.h"
#include "editor/sheet_view_state.h"
#include "render/sheet_rendering.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tonvela {
namespace {

struct Printed {
    qint64 bytes = 0;
    int pages = 0;
};

// The drawing of every page of a PDF, uncompressed and in page order, as qpdf reads it; empty
// without qpdf.
std::vector<QByteArray> pageStreams(const QString& path)
{
    std::vector<QByteArray> pages;
    const QString qpdf = QStandardPaths::findExecutable(QStringLiteral("qpdf"));
    if (qpdf.isEmpty())
        return pages;
    const QString plain = path + QStringLiteral(".qdf");
    QProcess process;
    process.start(qpdf, {QStringLiteral("--qdf"), QStringLiteral("--object-streams=disable"), path, plain});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return pages;
    QFile file(plain);
    if (!file.open(QIODevice::ReadOnly))
        return pages;
    const QByteArray pdf = file.readAll();
    file.close();
    QFile::remove(plain);
    // qpdf marks each page's content stream with a comment naming the page.
    const QByteArray mark = "%% Contents for page ";
    for (qsizetype at = pdf.indexOf(mark); at >= 0; at = pdf.indexOf(mark, at + 1)) {
        const qsizetype start = pdf.indexOf("stream\n", at);
        const qsizetype end = pdf.indexOf("endstream", start);
        if (start < 0 || end < 0)
            break;
        pages.push_back(pdf.mid(start + 7, end - start - 7));
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
        *pages = pageStreams(QString::fromStdString(path));
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
    if (pages.empty())
        GTEST_SKIP() << "qpdf is not installed";
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
