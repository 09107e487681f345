// The layout measures lyrics without a font engine; these cases hold its widths and line
// heights against the font Qt draws them with, and look for letters cut off in a picture.

#include "drawing/recording_canvas.h"
#include "editor/example_sheets.h"
#include "editor/layout.h"
#include "editor/lyric_spacing.h"
#include "editor/sheet_drawing.h"
#include "editor/sheet_view_state.h"
#include "render/qt_canvas.h"
#include "render/sheet_rendering.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tonvela {
namespace {

class LyricMetricsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ensureGuiApplication(); }

    // The font metrics of what QtCanvas draws for `font`.
    static QFontMetricsF qtMetrics(const Font& font)
    {
        QImage image(4, 4, QImage::Format_RGB32);
        QPainter painter(&image);
        QtCanvas canvas(painter, 4, 4);
        canvas.setFont(font);
        return QFontMetricsF(painter.font());
    }
};

std::vector<std::string> samples()
{
    std::vector<std::string> out = {"Hallelujah",
                                    "won-",
                                    "der-",
                                    "ful,",
                                    "WWWW",
                                    "mmm",
                                    "iiii",
                                    "Lord!",
                                    "\xC3\x96\xC3\x9F\xC3\xA9", // accented letters
                                    "\xE2\x80\x94\xE2\x80\xA6", // dash and ellipsis
                                    "\xE6\xAD\x8C",             // an ideograph
                                    "\xE9t\xE9",                // Latin-1 bytes
                                    "gypsy jug quay",
                                    "A long line of words sung to one note"};
    for (int c = 32; c < 127; ++c)
        out.emplace_back(1, static_cast<char>(c));
    return out;
}

TEST_F(LyricMetricsTest, EstimatedWidthsAreNeverNarrowerThanQtDrawsThemAndNotMuchWider)
{
    for (const float zoom : {0.4f, 0.6f, 0.8f, 0.9f, 1.0f, 1.5f, 2.0f, 3.0f, 5.0f}) {
        const Font font = lyricFont(zoom);
        const QFontMetricsF qt = qtMetrics(font);
        for (const std::string& text : samples()) {
            const double drawn = qt.horizontalAdvance(qtText(text));
            const int estimate = lyricTextWidth(text, font);
            EXPECT_GE(estimate, drawn) << "zoom " << zoom << " \"" << text << "\"";
            // Plain words are measured closely: room for lyrics is not wasted.
            const bool ascii = text.size() > 3 && std::all_of(text.begin(), text.end(), [](char c) {
                                   return static_cast<unsigned char>(c) < 128;
                               });
            if (ascii) {
                EXPECT_LE(estimate, drawn * 1.1 + 3) << "zoom " << zoom << " \"" << text << "\"";
            }
        }
        EXPECT_GE(lyricLineHeight(font), qt.ascent() + qt.descent()) << zoom;
        EXPECT_GE(lyricLineHeight(font), qt.height()) << zoom;
    }
}

// Descenders at a large zoom reach the bottom of the picture's lyric line: the pixels under the
// baseline of "gjpqy" are inked, as far down as the font's descent.
TEST_F(LyricMetricsTest, DescendersAreDrawnWholeAtLargeZooms)
{
    for (const float zoom : {2.0f, 3.0f}) {
        SCOPED_TRACE(zoom);
        auto sheet = testing::sheetWithTracks(1);
        sheet->zoomamount = zoom;
        testing::addNote(*sheet->trackAt(0), kTypeWhole, 1, 0, "gjpqy");
        SheetViewState view(*sheet);
        view.setClientSize(1200, 800);
        layoutRows(view);
        RecordingCanvas recorder(1200, 800);
        drawSheet(view, recorder, true);
        const auto rects = recorder.callsOf(RecordingCanvas::Kind::TextInRect);
        ASSERT_EQ(rects.size(), 1u);
        const auto& r = rects[0];
        const QFontMetricsF qt = qtMetrics(r.font);
        const double baseline = r.v[1] + qt.ascent();

        view.printing = true;
        const QImage image = renderView(view);
        int lowestInk = -1;
        for (int y = r.v[1]; y < std::min(image.height(), r.v[1] + 200); ++y)
            for (int x = r.v[0];
                 x < std::min(image.width(), r.v[0] + static_cast<int>(qt.horizontalAdvance("gjpqy"))); ++x)
                if (qGray(image.pixel(x, y)) < 128)
                    lowestInk = y;
        // The descenders reach at least 60 % of the way down to the font's descent.
        EXPECT_GE(lowestInk, baseline + qt.descent() * 0.6) << "baseline " << baseline;
    }
}

} // namespace
} // namespace tonvela
