#include "harmony/fretboard_shading.h"

#include "harmony/fretboard.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tonvela {
namespace {

// Mark centres lie this far right of and below the mark positions of the fret table.
constexpr double kCentreDX = kMarkOriginX - 2 + kMarkDiameter / 2.0;
constexpr double kCentreDY = kMarkOriginY - 2 + kMarkDiameter / 2.0;
// The fretboard's edges lie this many string spacings outside the outer strings.
constexpr double kEdgeMargin = 0.55;
// How much wider the headstock grows per pixel left of the nut, above and below.
constexpr double kHeadstockFlare = 0.3;
// Thickness of the strings at a string spacing of 20, highest first.
constexpr std::array<double, kStringCount> kStringThickness{1.0, 1.25, 1.5, 1.9, 2.3, 2.7};

struct Rgb {
    double r, g, b;
};

Rgb mix(Rgb a, Rgb b, double t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb scaled(Rgb a, double f)
{
    return {a.r * f, a.g * f, a.b * f};
}

// Colours are kept to even values so neighbouring pixels of a smooth area share one run.
Color quantized(Rgb c)
{
    auto q = [](double v) { return static_cast<uint8_t>(std::clamp(std::lround(v / 2) * 2, 0L, 254L)); };
    return {q(c.r), q(c.g), q(c.b)};
}

// Length of the part of [a0, a1] that lies inside [b0, b1].
double overlap(double a0, double a1, double b0, double b1)
{
    return std::max(0.0, std::min(a1, b1) - std::max(a0, b0));
}

Rgb background(int y)
{
    return mix({66, 70, 78}, {40, 43, 50}, static_cast<double>(y) / kFretboardHeight);
}

// Rosewood: dark brown with grain running along the neck, lit from above.
Rgb wood(double x, double v)
{
    constexpr double kTwoPi = 2 * std::numbers::pi;
    const double g1 = std::sin(kTwoPi * (v * 6.3 + 0.35 * std::sin(x * 0.0093 + v * 4.1)));
    const double g2 = std::sin(kTwoPi * (v * 17.7 + x * 0.0017 + 0.2 * std::sin(x * 0.021)));
    return scaled({84, 48, 30}, (1 + 0.07 * g1 + 0.04 * g2) * (1.10 - 0.22 * v));
}

// Black lacquered headstock with a gloss along its upper edge.
Rgb lacquer(double v)
{
    const Rgb base{36, 32, 35};
    return v < 0.25 ? mix(base, {104, 100, 106}, (0.25 - v) / 0.25 * 0.6) : base;
}

// Everything one pixel column of a neck needs, worked out once per column.
struct Column {
    double top = 0, bottom = 0, side = 0, spacing = 0;
    std::array<double, kStringCount> strings{};
    bool headstock = false;
    bool nut = false;
    double nutShade = 1;
    int fret = 0; // 0 none, else which of the fret wire's pixel columns (1 left .. 4)
};

Column columnAt(const NeckGeometry& neck, int x)
{
    const double xc = x + 0.5;
    Column c;
    c.top = neck.topAt(xc);
    c.bottom = neck.bottomAt(xc);
    c.side = neck.sideAt(xc);
    c.spacing = neck.spacingAt(xc);
    for (int s = 0; s < kStringCount; ++s)
        c.strings[static_cast<std::size_t>(s)] = neck.stringAt(s, xc);
    c.headstock = xc < neck.nutLeft();
    c.nut = xc >= neck.nutLeft() && xc < neck.nutRight();
    c.nutShade = 1.06 - 0.12 * (xc - neck.nutLeft()) / (neck.nutRight() - neck.nutLeft());
    for (int w = 1; w < NeckGeometry::kWires; ++w) {
        const int mid = static_cast<int>(std::floor(neck.wireX(w)));
        // Frets nearer the viewer (to the right) are a pixel wider.
        const int last = w >= 7 ? mid + 2 : mid + 1;
        if (x >= mid - 1 && x <= last)
            c.fret = x - mid + 2;
    }
    return c;
}

Rgb fretColour(int kind)
{
    switch (kind) {
    case 1:
        return {116, 116, 122};
    case 2:
        return {238, 238, 242};
    case 3:
        return {176, 176, 182};
    default:
        return {136, 136, 142};
    }
}

// The fretboard's own surface at row py (neck coordinates): wood, headstock, nut or fret, then
// the strings' shadows and the strings.
Rgb surface(const Column& c, int x, double py)
{
    const double v = std::clamp((py + 0.5 - c.top) / (c.bottom - c.top), 0.0, 1.0);
    Rgb colour = c.headstock ? lacquer(v) : wood(x, v);
    if (c.nut)
        colour = scaled({232, 226, 208}, c.nutShade);
    else if (c.fret && !c.headstock)
        colour = fretColour(c.fret);
    const double perspective = c.spacing / 20;
    for (int s = 0; s < kStringCount; ++s) {
        const double half = kStringThickness[static_cast<std::size_t>(s)] * perspective / 2;
        const double d = std::abs(py + 0.5 - (c.strings[static_cast<std::size_t>(s)] + 2.2 * perspective));
        colour = scaled(colour, 1 - 0.35 * std::clamp(half + 1 - d, 0.0, 1.0));
    }
    for (int s = 0; s < kStringCount; ++s) {
        const double half = kStringThickness[static_cast<std::size_t>(s)] * perspective / 2;
        const double d = std::abs(py + 0.5 - c.strings[static_cast<std::size_t>(s)]);
        const double cover = std::clamp(half + 0.5 - d, 0.0, 1.0);
        if (cover <= 0)
            continue;
        // Plain steel strings above, wound bronze ones below, brightest along their middle.
        const bool wound = s >= 3;
        const Rgb core = wound ? Rgb{214, 198, 168} : Rgb{238, 238, 242};
        const Rgb edge = wound ? Rgb{124, 108, 84} : Rgb{150, 150, 158};
        Rgb string = mix(core, edge, std::min(1.0, d / std::max(half, 0.5)));
        if (wound)
            string = scaled(string, 1 + 0.08 * std::sin(x * 1.9));
        colour = mix(colour, string, cover);
    }
    return colour;
}

// Pixel (x, y) of one neck moved down by `offset`, over `under`.
Rgb shadeNeck(Rgb under, const Column& c, int x, int y, int offset)
{
    const double py = y - offset;
    const double sideBottom = c.bottom + c.side;
    if (py + 1 < c.top || py > sideBottom + 6)
        return under;
    Rgb colour = under;
    if (py + 0.5 > sideBottom)
        colour = scaled(colour, 0.55 + 0.45 * std::min(1.0, (py + 0.5 - sideBottom) / 6));
    if (const double cover = overlap(py, py + 1, c.bottom, sideBottom); cover > 0) {
        const double depth = std::clamp((py + 0.5 - c.bottom) / c.side, 0.0, 1.0);
        Rgb side = c.headstock ? Rgb{30, 27, 30} : scaled({172, 118, 72}, 0.95 - 0.35 * depth);
        if (c.nut)
            side = scaled({200, 194, 178}, c.nutShade);
        colour = mix(colour, side, cover);
    }
    if (const double cover = overlap(py, py + 1, c.top, c.bottom); cover > 0)
        colour = mix(colour, surface(c, x, py), cover);
    return colour;
}

// Paints a row in runs of one colour.
class RunPainter {
  public:
    RunPainter(Canvas& canvas, int left, int top) : m_canvas(canvas), m_left(left), m_top(top) {}
    void put(int x, int y, Color colour)
    {
        if (m_length > 0 && (colour != m_colour || y != m_y || x != m_x + m_length))
            flush();
        if (m_length == 0) {
            m_x = x;
            m_y = y;
            m_colour = colour;
        }
        ++m_length;
    }
    void flush()
    {
        if (m_length > 0)
            m_canvas.fillRect(m_left + m_x, m_top + m_y, m_left + m_x + m_length, m_top + m_y + 1, m_colour);
        m_length = 0;
    }

  private:
    Canvas& m_canvas;
    int m_left, m_top;
    int m_x = 0, m_y = 0, m_length = 0;
    Color m_colour;
};

} // namespace

NeckGeometry::NeckGeometry()
{
    const auto& table = fretPositions();
    for (int j = 0; j < static_cast<int>(kColumns); ++j) {
        // Past the table the fret distances keep shrinking by three pixels, the strings
        // keep rising by one and spreading by a half.
        const int past = j - (kFretPositionCount - 1);
        const FretPosition& last = table.back();
        const double x =
            past <= 0 ? table[static_cast<std::size_t>(j)].x : last.x + 46 * past - 3 * (past - 1);
        const double y0 = past <= 0 ? table[static_cast<std::size_t>(j)].yOfString0 : last.yOfString0 - past;
        const double spacing =
            past <= 0 ? table[static_cast<std::size_t>(j)].stringSpacing : last.stringSpacing + 0.5 * past;
        m_x[static_cast<std::size_t>(j)] = x + kCentreDX;
        m_spacing[static_cast<std::size_t>(j)] = spacing;
        for (int s = 0; s < kStringCount; ++s)
            m_string[static_cast<std::size_t>(j)][static_cast<std::size_t>(s)] =
                y0 + std::floor(spacing * s) + kCentreDY;
    }
}

void NeckGeometry::segment(double x, std::size_t& k, double& t) const
{
    k = 0;
    while (k + 2 < kColumns && x >= m_x[k + 1])
        ++k;
    t = (x - m_x[k]) / (m_x[k + 1] - m_x[k]);
}

double NeckGeometry::stringAt(int s, double x) const
{
    std::size_t k = 0;
    double t = 0;
    segment(x, k, t);
    const double a = m_string[k][static_cast<std::size_t>(s)];
    const double b = m_string[k + 1][static_cast<std::size_t>(s)];
    return a + (b - a) * t;
}

double NeckGeometry::spacingAt(double x) const
{
    std::size_t k = 0;
    double t = 0;
    segment(x, k, t);
    return m_spacing[k] + (m_spacing[k + 1] - m_spacing[k]) * t;
}

double NeckGeometry::topAt(double x) const
{
    const double flare = std::max(0.0, nutLeft() - x) * kHeadstockFlare;
    return stringAt(0, x) - kEdgeMargin * spacingAt(x) - flare;
}

double NeckGeometry::bottomAt(double x) const
{
    const double flare = std::max(0.0, nutLeft() - x) * kHeadstockFlare;
    return stringAt(kStringCount - 1, x) + kEdgeMargin * spacingAt(x) + flare;
}

double NeckGeometry::sideAt(double x) const
{
    return 3 + 4 * std::clamp(x, 0.0, static_cast<double>(kFretboardWidth)) / kFretboardWidth;
}

double NeckGeometry::wireX(int w) const
{
    const auto i = static_cast<std::size_t>(w);
    return (m_x[i] + m_x[i + 1]) / 2;
}

void shadeFretboard(Canvas& canvas, const NeckGeometry& neck, int left, int top)
{
    std::vector<Column> columns;
    columns.reserve(kFretboardWidth);
    for (int x = 0; x < kFretboardWidth; ++x)
        columns.push_back(columnAt(neck, x));
    RunPainter runs(canvas, left, top);
    for (int y = 0; y < kFretboardHeight; ++y) {
        for (int x = 0; x < kFretboardWidth; ++x) {
            const Column& c = columns[static_cast<std::size_t>(x)];
            Rgb colour = background(y);
            colour = shadeNeck(colour, c, x, y, kUpperNeckOffset);
            colour = shadeNeck(colour, c, x, y, 0);
            runs.put(x, y, quantized(colour));
        }
        runs.flush();
    }
}

void drawInlays(Canvas& canvas, const NeckGeometry& neck, int left, int top)
{
    canvas.setPen(Pen{PenStyle::Solid, 1, {150, 140, 128}});
    canvas.setBrush({228, 224, 212});
    const auto dot = [&](int j, int upperString) {
        const double cx = left + neck.markCentreX(j);
        const double cy = top + (neck.markCentreY(j, upperString) + neck.markCentreY(j, upperString + 1)) / 2;
        const double r = neck.spacingAt(neck.markCentreX(j)) * 0.27;
        canvas.drawEllipse(static_cast<int>(std::lround(cx - r)), static_cast<int>(std::lround(cy - r)),
                           static_cast<int>(std::lround(cx + r)), static_cast<int>(std::lround(cy + r)));
    };
    for (int j : {3, 5, 7, 9})
        dot(j, 2);
    dot(12, 1);
    dot(12, 3);
}

} // namespace tonvela
