// The PDF writer read back by other programs: qpdf checks the file's structure, poppler's
// pdftoppm paints the pages (pixels are checked where the canvas put each shape), pdftotext
// and pdfinfo read its text and document information.

#include "editor/example_sheets.h"
#include "editor/sheet_view_state.h"
#include "render/pdf_document.h"
#include "render/pdf_printer.h"
#include "render/qt_canvas.h"
#include "render/sheet_rendering.h"

#include <QFile>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace tonvela {
namespace {

constexpr int kDpi = 600;
constexpr int kRenderDpi = 150;
constexpr double kPixelsPerUnit = double(kRenderDpi) / kDpi;
// The printable area starts 10 mm from the page's edges.
constexpr double kMarginPixels = 10 / 25.4 * kRenderDpi;

QString tool(const char* name)
{
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}

bool havePoppler()
{
    return !tool("pdftoppm").isEmpty() && !tool("pdftotext").isEmpty() && !tool("pdfinfo").isEmpty();
}

// Standard output of a tool, empty when it fails.
QString runTool(const char* name, const QStringList& args)
{
    QProcess process;
    process.start(tool(name), args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput()) +
           QString::fromUtf8(process.readAllStandardError());
}

class PdfCanvasTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ensureGuiApplication();
        ASSERT_TRUE(m_dir.isValid());
        m_pdf = m_dir.filePath(QStringLiteral("page.pdf"));
    }

    // One page drawn by `draw`, written as the printer writes every PDF.
    void print(const std::function<void(Canvas&)>& draw, const std::string& title = "page")
    {
        PdfPrinter printer(m_pdf.toStdString(), kDpi);
        std::string error;
        ASSERT_TRUE(printer.startDocument(title, error)) << error;
        printer.startPage();
        draw(printer.pageCanvas());
        printer.endPage();
        ASSERT_TRUE(printer.endDocument(error)) << error;
    }

    // The first page painted by poppler; null without it.
    QImage painted()
    {
        const QString base = m_dir.filePath(QStringLiteral("painted"));
        runTool("pdftoppm", {QStringLiteral("-r"), QString::number(kRenderDpi), QStringLiteral("-png"),
                             QStringLiteral("-singlefile"), QStringLiteral("-f"), QStringLiteral("1"),
                             QStringLiteral("-l"), QStringLiteral("1"), m_pdf, base});
        return QImage(base + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
    }

    std::string text() { return runTool("pdftotext", {m_pdf, QStringLiteral("-")}).toStdString(); }

    QByteArray bytes()
    {
        QFile file(m_pdf);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
    QString m_pdf;
};

// The painted pixel of a canvas point.
QRgb at(const QImage& page, double x, double y)
{
    return page.pixel(static_cast<int>(kMarginPixels + x * kPixelsPerUnit),
                      static_cast<int>(kMarginPixels + y * kPixelsPerUnit));
}

bool isColour(QRgb p, int r, int g, int b)
{
    return std::abs(qRed(p) - r) < 40 && std::abs(qGreen(p) - g) < 40 && std::abs(qBlue(p) - b) < 40;
}

bool isWhite(QRgb p)
{
    return isColour(p, 255, 255, 255);
}

// The box of every pixel darker than light grey inside a canvas rectangle, in canvas units.
QRectF inkIn(const QImage& page, QRectF canvasRect)
{
    const auto px = [](double u) { return static_cast<int>(kMarginPixels + u * kPixelsPerUnit); };
    int left = INT_MAX, right = INT_MIN, top = INT_MAX, bottom = INT_MIN;
    for (int y = px(canvasRect.top()); y < px(canvasRect.bottom()) && y < page.height(); ++y)
        for (int x = px(canvasRect.left()); x < px(canvasRect.right()) && x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 160) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    if (left > right)
        return {};
    const auto unit = [](int p) { return (p - kMarginPixels) / kPixelsPerUnit; };
    return QRectF(QPointF(unit(left), unit(top)), QPointF(unit(right + 1), unit(bottom + 1)));
}

TEST_F(PdfCanvasTest, ShapesLandWhereTheCanvasPutsThemInTheirColours)
{
    print([](Canvas& c) {
        c.fillRect(200, 200, 600, 600, kRed);
        const PointF triangle[] = {{800, 600}, {1200, 600}, {1000, 200}};
        c.fillPolygon(triangle, kBlue);
        c.setPen(Pen{PenStyle::Solid, 24, Color{0, 128, 0}});
        c.setBrush(Color{255, 200, 0});
        c.drawEllipse(1400, 200, 1800, 600);
        c.setNoBrush();
        c.drawRect(2000, 200, 2400, 600);
        c.setPen(Pen{PenStyle::Solid, 12, kBlack});
        // A quarter arc from the right to the top of its circle: ink in the top-right only.
        c.drawArc(2600, 200, 3000, 600, 3000, 400, 2800, 200);
        c.drawLine(200, 800, 3000, 800);
    });
    if (!havePoppler())
        GTEST_SKIP() << "poppler's tools are not installed";
    const QImage page = painted();
    ASSERT_FALSE(page.isNull());
    EXPECT_TRUE(isColour(at(page, 400, 400), 255, 0, 0));
    EXPECT_TRUE(isColour(at(page, 1000, 500), 0, 0, 255));
    EXPECT_TRUE(isWhite(at(page, 850, 250))) << "outside the triangle";
    EXPECT_TRUE(isColour(at(page, 1600, 400), 255, 200, 0)) << "the ellipse is filled with the brush";
    EXPECT_TRUE(isColour(at(page, 1400, 400), 0, 128, 0)) << "and outlined with the pen";
    EXPECT_TRUE(isWhite(at(page, 2200, 400))) << "a rectangle without a brush stays empty inside";
    EXPECT_TRUE(isColour(at(page, 2000, 400), 0, 128, 0));
    const QRectF arc = inkIn(page, QRectF(2550, 150, 500, 500));
    EXPECT_NEAR(arc.left(), 2800, 12);
    EXPECT_NEAR(arc.right(), 3000, 12);
    EXPECT_NEAR(arc.top(), 200, 12);
    EXPECT_NEAR(arc.bottom(), 400, 12);
    EXPECT_TRUE(isColour(at(page, 1500, 800), 0, 0, 0));
    EXPECT_EQ(runTool("qpdf", {QStringLiteral("--check"), m_pdf})
                  .contains(QStringLiteral("No syntax or stream encoding errors")),
              !tool("qpdf").isEmpty());
}

TEST_F(PdfCanvasTest, ColoursSetForClippedTextEndWithTheClipAndAreSetAgainAfter)
{
    // Text in a rectangle is clipped, and the clip ends with the colour set inside it: what
    // comes next must set its colour again, or it is drawn in the colour from before.
    print([](Canvas& c) {
        c.fillRect(200, 200, 400, 400, kRed);
        c.setFont(Font{120, false});
        c.setTextColor(kBlue);
        c.drawTextInRect(600, 200, 1400, 400, "clipped");
        c.fillRect(1600, 200, 1800, 400, kBlue);
        c.fillRect(2000, 200, 2200, 400, kRed);
    });
    if (!havePoppler())
        GTEST_SKIP() << "poppler's tools are not installed";
    const QImage page = painted();
    ASSERT_FALSE(page.isNull());
    EXPECT_TRUE(isColour(at(page, 1700, 300), 0, 0, 255));
    EXPECT_TRUE(isColour(at(page, 2100, 300), 255, 0, 0));
    EXPECT_NE(text().find("clipped"), std::string::npos);
}

TEST_F(PdfCanvasTest, TextInARectangleIsCutAtItsEdgeAndCentredTextIsCentred)
{
    print([](Canvas& c) {
        c.setFont(Font{150, true});
        c.setTextColor(kBlack);
        c.drawTextInRect(200, 200, 700, 400, "WWWWWWWWWWWWWWW");
        c.drawTextCentred(200, 800, 2200, 1200, "Centred title");
    });
    if (!havePoppler())
        GTEST_SKIP() << "poppler's tools are not installed";
    const QImage page = painted();
    ASSERT_FALSE(page.isNull());
    const QRectF clipped = inkIn(page, QRectF(100, 100, 2000, 400));
    ASSERT_FALSE(clipped.isEmpty());
    EXPECT_LE(clipped.right(), 705);
    EXPECT_GE(clipped.right(), 650) << "the text reaches the edge";
    const QRectF centred = inkIn(page, QRectF(100, 700, 2200, 600));
    ASSERT_FALSE(centred.isEmpty());
    EXPECT_NEAR(centred.center().x(), 1200, 12);
    // Capitals and lower case without descenders sit a little above the line's centre.
    EXPECT_NEAR(centred.center().y(), 1000, 30);
}

TEST_F(PdfCanvasTest, TextIsSearchableAndCharactersTheFaceLacksStillReachThePaper)
{
    print([](Canvas& c) {
        c.setFont(Font{120, false});
        c.setTextColor(kBlack);
        c.drawText(200, 200, "Grüße, naïve");
        // Music signs are not in the text face: they are drawn as outlines from another font.
        c.drawText(200, 600, "\u266A\u266B");
        c.drawText(200, 1000, "Latin-1 \xE9t\xE9"); // not UTF-8: read as Latin-1
    });
    if (!havePoppler())
        GTEST_SKIP() << "poppler's tools are not installed";
    const std::string words = text();
    EXPECT_NE(words.find("Grüße, naïve"), std::string::npos) << words;
    EXPECT_NE(words.find("Latin-1 été"), std::string::npos) << words;
    const QImage page = painted();
    ASSERT_FALSE(page.isNull());
    EXPECT_FALSE(inkIn(page, QRectF(180, 580, 400, 200)).isEmpty()) << "the music signs are on the page";
}

TEST_F(PdfCanvasTest, PicturesKeepTheirTopRowAtTheTop)
{
    QImage image(2, 2, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(255, 0, 0));
    image.setPixel(1, 0, qRgb(255, 0, 0));
    image.setPixel(0, 1, qRgb(0, 0, 255));
    image.setPixel(1, 1, qRgb(0, 0, 255));
    const QtImagePicture picture(image, 2, 2);
    print([&picture](Canvas& c) { c.drawPicture(picture, 400, 400, 800, 800); });
    if (!havePoppler())
        GTEST_SKIP() << "poppler's tools are not installed";
    const QImage page = painted();
    ASSERT_FALSE(page.isNull());
    EXPECT_TRUE(isColour(at(page, 800, 500), 255, 0, 0));
    EXPECT_TRUE(isColour(at(page, 800, 1100), 0, 0, 255));
    EXPECT_TRUE(isWhite(at(page, 800, 1300)));
}

TEST_F(PdfCanvasTest, TheTitleAndThePagesOfAPrintDialogReachTheDocument)
{
    const QPageLayout letter(QPageSize(QPageSize::Letter), QPageLayout::Landscape, QMarginsF(12, 12, 12, 12),
                             QPageLayout::Millimeter);
    PdfPrinter printer(m_pdf.toStdString(), 1200, letter);
    EXPECT_EQ(printer.dpiX(), 1200);
    EXPECT_EQ(printer.pageWidth(), letter.paintRectPixels(1200).width());
    std::string error;
    ASSERT_TRUE(printer.startDocument("Grüße – Lieder", error)) << error;
    for (int i = 0; i < 3; ++i) {
        printer.startPage();
        printer.pageCanvas().fillRect(0, 0, 100, 100, kBlack);
        printer.endPage();
    }
    ASSERT_TRUE(printer.endDocument(error)) << error;
    if (!havePoppler())
        GTEST_SKIP() << "poppler's tools are not installed";
    const std::string info = runTool("pdfinfo", {m_pdf}).toStdString();
    EXPECT_NE(info.find("Grüße – Lieder"), std::string::npos) << info;
    EXPECT_NE(info.find("Pages:           3"), std::string::npos) << info;
    EXPECT_NE(info.find("792 x 612 pts"), std::string::npos) << info;
}

TEST_F(PdfCanvasTest, APrintIntoAMissingFolderFailsAndSaysSo)
{
    const std::string path = m_dir.filePath(QStringLiteral("missing/folder/out.pdf")).toStdString();
    PdfPrinter printer(path, kDpi);
    std::string error;
    ASSERT_TRUE(printer.startDocument("x", error));
    printer.startPage();
    printer.pageCanvas().fillRect(0, 0, 10, 10, kBlack);
    printer.endPage();
    EXPECT_FALSE(printer.endDocument(error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
}

TEST_F(PdfCanvasTest, EachGlyphIsWrittenOnceHoweverManyPagesUseIt)
{
    auto sheet = testing::sheetWithTracks(1);
    for (int i = 0; i < 900; ++i)
        testing::addNote(*sheet->trackAt(0), i % 2 ? kTypeQuarter : kTypeEighth, (i * 5) % 11 - 5);
    SheetViewState view(*sheet);
    view.title = "many";
    view.setClientSize(1000, 800);
    const PrintResult result = printViewToPdf(view, m_pdf.toStdString());
    ASSERT_TRUE(result.ok) << result.error;
    ASSERT_GE(result.pages, 3);
    const QByteArray pdf = bytes();
    // Quarters and eighths up and down, rests, clef, digits: a few dozen forms at most, shared
    // by every page through one resource dictionary.
    EXPECT_LT(pdf.count("/Subtype /Form"), 40);
    EXPECT_GT(pdf.count("/Subtype /Form"), 3);
    EXPECT_EQ(pdf.count("/Font <<"), 1);
    if (tool("qpdf").isEmpty())
        GTEST_SKIP() << "qpdf is not installed";
    EXPECT_TRUE(runTool("qpdf", {QStringLiteral("--check"), m_pdf})
                    .contains(QStringLiteral("No syntax or stream encoding errors")));
}

// --- the document writer on its own ---

TEST(PdfDocumentTest, TheCrossReferencePointsAtEveryObject)
{
    PdfDocument doc;
    const int a = doc.reserve(), b = doc.reserve(), c = doc.reserve();
    doc.addObject(c, "<< /Type /Catalog /Pages 2 0 R >>");
    doc.addStream(b, "/Type /XObject", std::string(500, 'x'));
    doc.addObject(a, "[1 2 3]");
    const std::string file = doc.finish(c, 0);
    ASSERT_EQ(file.rfind("%PDF-1.4", 0), 0u);
    const std::size_t xref = std::stoul(file.substr(file.rfind("startxref") + 10));
    ASSERT_EQ(file.compare(xref, 4, "xref"), 0);
    const std::size_t firstEntry = file.find('\n', file.find('\n', xref) + 1) + 1;
    for (int n = 1; n <= 3; ++n) {
        const std::size_t offset = std::stoul(file.substr(firstEntry + 20 * static_cast<std::size_t>(n), 10));
        EXPECT_EQ(file.compare(offset, std::to_string(n).size() + 6, std::to_string(n) + " 0 obj"), 0) << n;
    }
    EXPECT_NE(file.find("/Filter /FlateDecode"), std::string::npos) << "a long stream is compressed";
}

TEST(PdfDocumentTest, AnObjectReservedButNeverWrittenLeavesNoFile)
{
    PdfDocument doc;
    const int root = doc.reserve();
    doc.reserve();
    doc.addObject(root, "<< /Type /Catalog >>");
    EXPECT_TRUE(doc.finish(root, 0).empty());
}

TEST(PdfDocumentTest, NumbersAndStringsAreWrittenAsPdfReadsThem)
{
    const auto number = [](double v, int decimals) {
        std::string s;
        appendPdfNumber(s, v, decimals);
        return s;
    };
    EXPECT_EQ(number(12, 2), "12");
    EXPECT_EQ(number(-3.5, 2), "-3.5");
    EXPECT_EQ(number(0.1234, 2), "0.12");
    EXPECT_EQ(number(2.999, 2), "3");
    EXPECT_EQ(number(-0.001, 2), "0");
    EXPECT_EQ(number(0.12, 6), "0.12");
    EXPECT_EQ(number(std::nan(""), 2), "0");
    EXPECT_EQ(number(1e300, 2).find('e'), std::string::npos);
    EXPECT_EQ(pdfLiteral("a(b)c\\"), "(a\\(b\\)c\\\\)");
    EXPECT_EQ(pdfLiteral("\n\xFF"), "(\\012\\377)");
}

} // namespace
} // namespace tonvela
