// Glyphs and a beam printed to a PDF page, rendered back with Ghostscript: the heads of half and
// whole notes keep their holes, stems and heads that overlap stay filled, and every shape lands
// where the screen draws it.

#include "editor/glyphs.h"
#include "render/pdf_printer.h"
#include "render/qt_canvas.h"
#include "render/sheet_rendering.h"

#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace tonvela {
namespace {

constexpr int kDpi = 600;
constexpr int kRenderDpi = 300;
constexpr double kPixelsPerUnit = double(kRenderDpi) / kDpi;
constexpr double kScale = 8;
constexpr int kChordX = 400, kQuarterX = 1400, kWholeX = 2400, kBeamX = 3400, kTopY = 600, kFlagsY = 1800;
constexpr int kThird = 9 * 8; // a staff space at the glyph scale: the heads of a third

struct Placed {
    int glyph, x, y;
};
constexpr Placed kGlyphs[] = {
    {kGlyphHalfUp, kChordX, kTopY + kThird}, // a chord: the lower stem runs up past the upper head
    {kGlyphHalfUp, kChordX, kTopY},
    {kGlyphQuarterUp, kQuarterX, kTopY},
    {kGlyphWholeNote, kWholeX, kTopY},
    {kGlyphFlagsUp3, kQuarterX, kFlagsY}, // three flags alone, as a far-off note's stem gets them
};

void drawAll(Canvas& canvas)
{
    for (const Placed& g : kGlyphs)
        canvas.drawGlyph(g.glyph, g.x, g.y, kScale, GlyphColor::Normal);
    // A slanted beam, its corners between device units.
    const PointF beam[] = {{kBeamX + 0.4, kTopY + 100.6},
                           {kBeamX + 500.5, kTopY + 20.3},
                           {kBeamX + 500.5, kTopY + 60.7},
                           {kBeamX + 0.4, kTopY + 141.2}};
    canvas.fillPolygon(beam, Color{0, 0, 0});
}

// The printed page at kRenderDpi, cropped to the page's printable area so that its pixels and
// the canvas units line up; null when Ghostscript is not there or fails.
bool haveGhostscript()
{
    return !QStandardPaths::findExecutable(QStringLiteral("gs")).isEmpty();
}

QImage printedPage()
{
    const QString gs = QStandardPaths::findExecutable(QStringLiteral("gs"));
    if (gs.isEmpty())
        return {};
    // A folder of its own: the tests of this file may run side by side.
    const QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("glyphs.pdf"));
    const QString png = dir.filePath(QStringLiteral("glyphs.png"));
    PdfPrinter printer(pdf.toStdString(), kDpi);
    std::string error;
    EXPECT_TRUE(printer.startDocument("glyphs", error)) << error;
    printer.startPage();
    drawAll(printer.pageCanvas());
    printer.endPage();
    EXPECT_TRUE(printer.endDocument(error)) << error;
    QProcess::execute(gs, {QStringLiteral("-q"), QStringLiteral("-dNOPAUSE"), QStringLiteral("-dBATCH"),
                           QStringLiteral("-dSAFER"), QStringLiteral("-sDEVICE=pnggray"),
                           QStringLiteral("-dGraphicsAlphaBits=4"), QStringLiteral("-r%1").arg(kRenderDpi),
                           QStringLiteral("-sOutputFile=") + png, pdf});
    QImage page(png);
    EXPECT_FALSE(page.isNull()) << "Ghostscript rendered no page";
    const int margin = static_cast<int>(std::lround(filePageLayout().margins().left() / 25.4 * kRenderDpi));
    return page.isNull() ? page
                         : page.copy(margin, margin, page.width() - 2 * margin, page.height() - 2 * margin);
}

QImage screenPage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(kPixelsPerUnit, kPixelsPerUnit);
    QtCanvas canvas(painter, width, height);
    drawAll(canvas);
    painter.end();
    return image;
}

int grey(const QImage& image, double unitsX, double unitsY)
{
    return qGray(
        image.pixel(static_cast<int>(unitsX * kPixelsPerUnit), static_cast<int>(unitsY * kPixelsPerUnit)));
}

QRect inkIn(const QImage& image, const QRect& area)
{
    QRect ink;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                ink |= QRect(x, y, 1, 1);
    return ink;
}

TEST(PdfGlyphTest, PrintedHeadsKeepTheirHolesAndOverlappingPartsStayFilled)
{
    ensureGuiApplication();
    if (!haveGhostscript())
        GTEST_SKIP() << "Ghostscript is not installed";
    const QImage page = printedPage();
    ASSERT_FALSE(page.isNull());
    const double headX = kHeadUpX * kScale, headY = kHeadUpY * kScale;
    for (int y : {kTopY, kTopY + kThird}) {
        EXPECT_GT(grey(page, kChordX + headX, y + headY), 200) << "half-note hole at " << y;
        // The head's rim either side of the hole, and the stem half way up.
        EXPECT_LT(grey(page, kChordX + headX - 4.8 * kScale, y + headY), 100) << y;
        EXPECT_LT(grey(page, kChordX + kStemUpX * kScale, y + (kHeadUpY + kStemUpTipY) / 2 * kScale), 100)
            << y;
    }
    // Where a stem runs down into its head's right edge both fill the same ink, rather than
    // cancelling out (the lower note's stem covers that spot of the upper note).
    for (int x : {kChordX, kQuarterX}) {
        const int y = x == kChordX ? kTopY + kThird : kTopY;
        EXPECT_LT(grey(page, x + (kStemUpX - 0.4) * kScale, y + (kHeadUpY - 2.2) * kScale), 100) << x;
    }
    // The lower note's stem passes the upper head: still solid there.
    EXPECT_LT(grey(page, kChordX + kStemUpX * kScale, kTopY + headY), 100);
    EXPECT_LT(grey(page, kQuarterX + headX, kTopY + headY), 100) << "a quarter's head is solid";
    EXPECT_GT(grey(page, kWholeX + kWholeHeadX * kScale, kTopY + kWholeHeadY * kScale), 200)
        << "whole-note hole";
}

TEST(PdfGlyphTest, PrintedGlyphsAndBeamsLandWhereTheScreenDrawsThem)
{
    ensureGuiApplication();
    if (!haveGhostscript())
        GTEST_SKIP() << "Ghostscript is not installed";
    const QImage page = printedPage();
    ASSERT_FALSE(page.isNull());
    const QImage screen = screenPage(page.width(), page.height());
    for (int x : {kChordX, kQuarterX, kWholeX, kBeamX}) {
        const QRect area(static_cast<int>((x - 100) * kPixelsPerUnit), 0,
                         static_cast<int>(800 * kPixelsPerUnit), static_cast<int>(1400 * kPixelsPerUnit));
        const QRect printed = inkIn(page, area), drawn = inkIn(screen, area);
        ASSERT_FALSE(drawn.isEmpty()) << x;
        ASSERT_FALSE(printed.isEmpty()) << x;
        EXPECT_NEAR(printed.left(), drawn.left(), 2) << x;
        EXPECT_NEAR(printed.right(), drawn.right(), 2) << x;
        EXPECT_NEAR(printed.top(), drawn.top(), 2) << x;
        EXPECT_NEAR(printed.bottom(), drawn.bottom(), 2) << x;
    }
    const QRect flags(static_cast<int>((kQuarterX - 100) * kPixelsPerUnit),
                      static_cast<int>(1500 * kPixelsPerUnit), static_cast<int>(800 * kPixelsPerUnit),
                      static_cast<int>(600 * kPixelsPerUnit));
    const QRect printed = inkIn(page, flags), drawn = inkIn(screen, flags);
    ASSERT_FALSE(drawn.isEmpty());
    ASSERT_FALSE(printed.isEmpty());
    EXPECT_NEAR(printed.left(), drawn.left(), 2);
    EXPECT_NEAR(printed.top(), drawn.top(), 2);
    EXPECT_NEAR(printed.bottom(), drawn.bottom(), 2);
    // Flags only: nothing where the head and the stem's lower part would be.
    EXPECT_GT(grey(page, kQuarterX + kHeadUpX * kScale, kFlagsY + kHeadUpY * kScale), 200);
}

} // namespace
} // namespace tonvela
