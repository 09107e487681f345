#include "drawing/recording_canvas.h"
#include "drawing/scaled_canvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tonvela {
namespace {

using Kind = RecordingCanvas::Kind;

TEST(ScaledCanvasTest, CoordinatesPensAndFontsAreScaledAndMoved)
{
    RecordingCanvas target(1000, 800);
    ScaledCanvas canvas(target, 2.5, 10, 20);
    EXPECT_EQ(canvas.width(), 396);
    EXPECT_EQ(canvas.height(), 312);

    canvas.setPen({PenStyle::Dotted, 1, kRed});
    canvas.setFont({30, true});
    canvas.drawLine(1, 2, 3, 4);
    canvas.drawTextCentred(0, 0, 10, 10, "C");
    canvas.drawEllipse(-2, -2, 2, 2);
    canvas.setPen({PenStyle::Solid, 0, kBlack});
    canvas.drawRect(4, 4, 8, 8);

    const auto& calls = target.calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ((std::vector<int>{calls[0].v[0], calls[0].v[1], calls[0].v[2], calls[0].v[3]}),
              (std::vector<int>{13, 25, 18, 30})); // 2.5 rounds away from zero
    EXPECT_EQ(calls[0].pen, (Pen{PenStyle::Dotted, 2.5, kRed})) << "widths keep their fraction";
    EXPECT_EQ(calls[1].kind, Kind::TextCentred);
    EXPECT_EQ(calls[1].font, (Font{75, true}));
    EXPECT_EQ((std::vector<int>{calls[1].v[0], calls[1].v[1], calls[1].v[2], calls[1].v[3]}),
              (std::vector<int>{10, 20, 35, 45}));
    EXPECT_EQ((std::vector<int>{calls[2].v[0], calls[2].v[1], calls[2].v[2], calls[2].v[3]}),
              (std::vector<int>{5, 15, 15, 25}));
    EXPECT_EQ(calls[3].pen.width, 2.5) << "a pen of width 0 draws one unit wide, scaled";
}

TEST(ScaledCanvasTest, PolygonsKeepTheirFractionalCorners)
{
    RecordingCanvas target;
    ScaledCanvas canvas(target, 2.5, 10, 20);
    const PointF corners[3] = {{0, 0}, {1.5, 0}, {1, 2.25}};
    canvas.fillPolygon(corners, kBlue);
    const auto polygons = target.callsOf(Kind::Polygon);
    ASSERT_EQ(polygons.size(), 1u);
    EXPECT_EQ(polygons[0].fill, kBlue);
    EXPECT_EQ(polygons[0].points, (std::vector<PointF>{{10, 20}, {13.75, 20}, {12.5, 25.625}}));
}

TEST(ScaledCanvasTest, ANonsenseScaleDrawsAtScaleOne)
{
    RecordingCanvas target;
    for (double bad : {0.0, -2.0, std::numeric_limits<double>::infinity(), std::nan("")}) {
        ScaledCanvas canvas(target, bad);
        EXPECT_EQ(canvas.scale(), 1.0);
    }
}

} // namespace
} // namespace tonvela
