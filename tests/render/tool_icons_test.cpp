// The pictures of the toolbar tools: every tool has one, each is its own, each stays inside its
// box, and at a high screen scale they are drawn afresh at the device's pixels, sharp.

#include "editor/commands.h"
#include "render/sheet_rendering.h"
#include "render/tool_icons.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>

#include <gtest/gtest.h>

#include <vector>

namespace tonvela {
namespace {

const std::vector<int> kTools = {kToolQuarter,      kToolEighth, kToolSixteenth, kToolHalf,  kToolWhole,
                                 kToolThirtySecond, kToolRest,   kToolDot,       kToolSharp, kToolFlat,
                                 kToolNatural,      kToolTie,    kToolTriplet,   kToolBar,   kToolSpace,
                                 kToolStaffBreak,   kToolLyrics, kToolVoice2};

class ToolIconsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ensureGuiApplication(); }

    // The picture of a tool in black on white, `size` pixels square, drawn into the box
    // inset by `margin`.
    static QImage picture(int tool, int size, int margin = 0)
    {
        QImage image(size, size, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        EXPECT_TRUE(paintToolPicture(p, tool, QRectF(margin, margin, size - 2 * margin, size - 2 * margin),
                                     Qt::black))
            << tool;
        return image;
    }
    static int inked(const QImage& image, const QRect& area)
    {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += qGray(image.pixel(x, y)) < 160 ? 1 : 0;
        return n;
    }
};

TEST_F(ToolIconsTest, EveryToolHasAPictureOfItsOwnInsideItsBox)
{
    std::vector<QImage> pictures;
    for (int tool : kTools) {
        ASSERT_TRUE(hasToolPicture(tool)) << tool;
        const QImage image = picture(tool, 48, 6);
        const int all = inked(image, image.rect());
        EXPECT_GT(all, 12) << "tool " << tool << " shows something";
        EXPECT_EQ(all, inked(image, QRect(5, 5, 38, 38))) << "tool " << tool << " stays in its box";
        for (std::size_t k = 0; k < pictures.size(); ++k)
            EXPECT_NE(image, pictures[k]) << "tool " << tool << " looks like tool " << kTools[k];
        pictures.push_back(image);
    }
    EXPECT_FALSE(hasToolPicture(kCmdPlay));
    EXPECT_TRUE(toolIcon(kCmdPlay).isNull());
    QImage untouched(16, 16, QImage::Format_RGB32);
    untouched.fill(Qt::white);
    QPainter p(&untouched);
    EXPECT_FALSE(paintToolPicture(p, kCmdSave, QRectF(0, 0, 16, 16), Qt::black));
}

TEST_F(ToolIconsTest, TheNotesShareOneSizeAndFillTheButton)
{
    // The quarter's and the whole note's heads are the same height: one scale for all notes.
    auto inkRows = [](const QImage& image) {
        int first = -1, last = -1;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) < 160) {
                    if (first < 0)
                        first = y;
                    last = y;
                }
        return std::pair{first, last};
    };
    const auto [qTop, qBottom] = inkRows(picture(kToolThirtySecond, 48));
    EXPECT_GE(qBottom - qTop, 40) << "the tallest note fills the height";
    const auto [wTop, wBottom] = inkRows(picture(kToolWhole, 48));
    EXPECT_LE(wBottom - wTop, 16) << "a whole note is a head, not a note blown up";
    EXPECT_GE(wBottom - wTop, 6);
}

TEST_F(ToolIconsTest, AtTwiceTheScreenScaleTheIconIsDrawnAtTheDevicesPixelsAndSharp)
{
    const QIcon icon = toolIcon(kToolBar);
    ASSERT_FALSE(icon.isNull());
    const QPixmap twice = icon.pixmap(QSize(24, 24), 2.0);
    EXPECT_EQ(twice.size(), QSize(48, 48));
    EXPECT_DOUBLE_EQ(twice.devicePixelRatio(), 2.0);
    // The staff lines and the bar line are whole device pixels of full ink, not blurred
    // across two pixels as a scaled copy of a small picture would be.
    const QImage image = twice.toImage().convertToFormat(QImage::Format_ARGB32);
    int solidRows = 0, greyRows = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb px = image.pixel(12, y);
        if (qAlpha(px) == 255)
            ++solidRows;
        else if (qAlpha(px) > 40)
            ++greyRows;
    }
    EXPECT_GE(solidRows, 5) << "five staff lines";
    EXPECT_EQ(greyRows, 0);
    int solidColumns = 0;
    for (int x = 0; x < image.width(); ++x)
        solidColumns += qAlpha(image.pixel(x, image.height() / 2 - 1)) == 255 ? 1 : 0;
    EXPECT_GE(solidColumns, 2) << "the bar line";

    // A pressed tool is drawn inverted: white on the selection's blue.
    const QImage on = icon.pixmap(QSize(24, 24), 1.0, QIcon::Normal, QIcon::On).toImage();
    const QImage off = icon.pixmap(QSize(24, 24), 1.0, QIcon::Normal, QIcon::Off).toImage();
    EXPECT_EQ(qAlpha(off.pixel(12, 2)), 0) << "an unpressed tool has no background";
    EXPECT_EQ(QColor(on.pixel(12, 2)).blue(), 170);
}

} // namespace
} // namespace tonvela
