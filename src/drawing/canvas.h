#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

namespace tonvela {

// An RGB colour as drawing tools take it.
struct Color {
    uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Color&, const Color&) = default;
};
inline constexpr Color kBlack{0, 0, 0};
inline constexpr Color kWhite{255, 255, 255};
inline constexpr Color kRed{255, 0, 0};
inline constexpr Color kBlue{0, 0, 255};

enum class PenStyle { Solid, Dotted };

struct Pen {
    PenStyle style = PenStyle::Solid;
    double width = 1; // device units, fractional where the device can show it; 0 or less is 1
    Color color = kBlack;
    friend bool operator==(const Pen&, const Pen&) = default;
};

// A point in device units that need not fall on a whole unit.
struct PointF {
    double x = 0, y = 0;
    friend bool operator==(const PointF&, const PointF&) = default;
};

// Text is always Arial (Liberation Sans where Arial is not installed) of a pixel height.
struct Font {
    int height = 16; // device units, cell height
    bool bold = false;
    friend bool operator==(const Font&, const Font&) = default;
};
// The em of a font is this part of its cell height (Arial's, as a GDI font height gives it);
// canvases set the pixel size of their fonts to the em, rounded.
inline constexpr double kFontEmPerCell = 0.87;

// The corners {left, top} and {right, bottom} of a polygon of four corners with upright sides;
// none for any other shape (a bow tie on a box's corners included).
std::optional<std::pair<PointF, PointF>> uprightBox(std::span<const PointF> points);
// One side of an upright box on whole device units, at least one, keeping its centre: a stroke
// of one unit and a bit is one unit wherever it falls, not two.
std::pair<double, double> snapToWholeUnits(double from, double to);

// The three colour sets of the glyph sheet.
enum class GlyphColor { Normal = 1, Highlighted = 2, Selected = 3 };
// The ink of a colour set: black, blue for highlighted, red for selected.
constexpr Color glyphInk(GlyphColor color)
{
    return color == GlyphColor::Selected ? kRed : color == GlyphColor::Highlighted ? kBlue : kBlack;
}

// A drawing kept for a later stretched copy: a page rendered off-screen, a pixel block.
// Each canvas backend makes and reads its own kind.
class Picture {
  public:
    virtual ~Picture() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
};

// The drawing device: what the sheet drawing, the chord diagrams and printing ask of a
// window, an off-screen image or a printer page. Coordinates are device units (pixels of the
// target), integers, y downwards. Drawing only adds to what is there; nothing erases unless
// asked to fill.
//
// Thread rules: a canvas is used by one thread at a time.
class Canvas {
  public:
    virtual ~Canvas() = default;

    // Size of the drawing area in device units.
    virtual int width() const = 0;
    virtual int height() const = 0;

    virtual void setPen(const Pen& pen) = 0;
    // Shapes are filled with the brush, or left empty after setNoBrush.
    virtual void setBrush(Color color) = 0;
    virtual void setNoBrush() = 0;
    virtual void setFont(const Font& font) = 0;
    virtual void setTextColor(Color color) = 0;

    virtual void drawLine(int x1, int y1, int x2, int y2) = 0;
    // Outline with the pen, inside with the brush; right and bottom are exclusive.
    virtual void drawRect(int left, int top, int right, int bottom) = 0;
    virtual void fillRect(int left, int top, int right, int bottom, Color color) = 0;
    // A closed shape filled with the colour, without an outline: beams, ties, stems. Its corners
    // may lie between device units; a shape that is an upright rectangle is snapped to whole
    // units (at least one wide and high) so thin strokes stay sharp on a pixel device.
    virtual void fillPolygon(std::span<const PointF> points, Color color) = 0;
    virtual void drawEllipse(int left, int top, int right, int bottom) = 0;
    // The part of the ellipse inside the box from the direction of (xStart, yStart) to the
    // direction of (xEnd, yEnd), both seen from the box centre, drawn counter-clockwise as the
    // picture shows it. A box given right-to-left or bottom-to-top is the same box.
    virtual void drawArc(int left, int top, int right, int bottom, int xStart, int yStart, int xEnd,
                         int yEnd) = 0;
    // Text with its top-left corner at (x, y), in the current font and text colour.
    virtual void drawText(int x, int y, std::string_view text) = 0;
    // Text left and top aligned in the rectangle, one line, clipped to the rectangle.
    virtual void drawTextInRect(int left, int top, int right, int bottom, std::string_view text) = 0;
    // Text centred in the rectangle both ways, one line, not clipped: it may overhang the
    // rectangle on every side.
    virtual void drawTextCentred(int left, int top, int right, int bottom, std::string_view text) = 0;
    // A glyph of the glyph sheet with its box's top-left corner at (x, y), drawn at `scale`
    // times its size at zoom 1.
    virtual void drawGlyph(int glyph, int x, int y, double scale, GlyphColor color) = 0;
    // A stretched copy of a picture into the destination rectangle.
    virtual void drawPicture(const Picture& picture, int x, int y, int width, int height) = 0;
};

} // namespace tonvela
