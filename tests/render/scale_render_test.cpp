// The scale diagram drawn with Qt: the fretboard picture with A major against its reference,
// and the pixels that say the neck, its strings and the marks are where the fret table puts
// them.

#include "harmony/fretboard.h"
#include "render/reference_image.h"
#include "render/scale_rendering.h"
#include "render/sheet_rendering.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace tonvela {
namespace {

const ScaleSelection kAMajor{'A', "WWHWWWH"};

class ScaleRenderTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ensureGuiApplication(); }

    // Centre of the mark of fret j on string s in the unscrolled picture.
    static QPoint markCentre(int j, int s) { return {markX(j) - 3 - 2 + 9, markY(j, s) + 17 - 2 + 9}; }
    static bool isMagenta(QRgb c) { return qRed(c) > 200 && qGreen(c) < 90 && qBlue(c) > 200; }
    static bool isRed(QRgb c) { return qRed(c) > 200 && qGreen(c) < 90 && qBlue(c) < 90; }
    // Pixels of a kind inside the box of the mark of fret j on string s.
    template <class Test> static int countInMark(const QImage& image, int j, int s, Test test)
    {
        const QPoint c = markCentre(j, s);
        int n = 0;
        for (int y = c.y() - 10; y <= c.y() + 10; ++y)
            for (int x = c.x() - 10; x <= c.x() + 10; ++x)
                n += test(image.pixel(x, y)) ? 1 : 0;
        return n;
    }
};

TEST_F(ScaleRenderTest, TheFretboardWithAMajorMatchesTheReference)
{
    const QImage image = renderScaleDiagram(kAMajor);
    ASSERT_EQ(image.size(), QSize(819, 314));
    testing::compareWithReference(image, "fretboard_a_major.png");
}

TEST_F(ScaleRenderTest, StringsRunThroughTheMarkCentresOfTheFretTable)
{
    const QImage& picture = fretboardPicture().image();
    ASSERT_EQ(picture.size(), QSize(819, 314));
    for (int j = 1; j <= 10; ++j) {
        for (int s = 0; s < 6; ++s) {
            const QPoint c = markCentre(j, s);
            // The string is light metal; half-way to the next string lies dark wood.
            EXPECT_GT(qGray(picture.pixel(c)), 150) << "fret " << j << " string " << s;
            const bool inlay = s == 2 && j % 2 == 1 && j >= 3; // the pearl dots of frets 3 to 9
            if (s < 5 && !inlay) {
                const int between = (c.y() + markCentre(j, s + 1).y()) / 2;
                const QRgb wood = picture.pixel(c.x(), between);
                EXPECT_LT(qGray(wood), 90) << "fret " << j << " between strings " << s << ", " << s + 1;
                EXPECT_GT(qRed(wood), qBlue(wood)) << "brown wood";
            }
        }
    }
    // Above the highest string of the marked neck: the picture's dark background, no wood.
    const QRgb above = picture.pixel(markCentre(5, 0).x(), markCentre(5, 0).y() - 25);
    EXPECT_LT(std::abs(qRed(above) - qBlue(above)), 20);
}

TEST_F(ScaleRenderTest, MarksShowMagentaNumbersAndARedRingOnlyAroundTheRoot)
{
    const QImage image = renderScaleDiagram(kAMajor);
    const QImage plain = fretboardPicture().image();
    // A on the high E string (fret 5) is the root; E at its open string is degree 5.
    EXPECT_GT(countInMark(image, 5, 0, isMagenta), 10);
    EXPECT_GT(countInMark(image, 5, 0, isRed), 15);
    EXPECT_GT(countInMark(image, 0, 0, isMagenta), 10);
    EXPECT_EQ(countInMark(image, 0, 0, isRed), 0);
    // F on the high E string (fret 1) is no note of A major.
    EXPECT_EQ(countInMark(image, 1, 0, isMagenta), 0);
    EXPECT_EQ(countInMark(plain, 5, 0, isMagenta), 0) << "the picture itself carries no marks";
}

TEST_F(ScaleRenderTest, APdfPrintsThePictureOnOnePage)
{
    const std::string path = ::testing::TempDir() + "a_major_scale.pdf";
    std::filesystem::remove(path);
    const PrintResult result = printScaleDiagramToPdf(kAMajor, "A Major", path);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.pages, 1);
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes.rfind("%PDF", 0), 0u);
    EXPECT_NE(bytes.find("/Image"), std::string::npos);
    std::filesystem::remove(path);
}

} // namespace
} // namespace tonvela
