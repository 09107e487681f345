#pragma once

#include "drawing/canvas.h"

#include <string>
#include <vector>

namespace tonvela {

// A canvas that draws nothing and keeps every call, with the pen, brush, font and text colour
// in force at the time, so tests can check what a drawing routine asked for.
class RecordingCanvas : public Canvas {
  public:
    enum class Kind {
        Line,
        Rect,
        FillRect,
        Ellipse,
        Arc,
        Text,
        TextInRect,
        Glyph,
        Picture,
        TextCentred,
        Polygon
    };

    struct Call {
        Kind kind;
        // Line: x1 y1 x2 y2. Rect, FillRect, Ellipse, TextInRect, TextCentred: left top right
        // bottom.
        // Arc: left top right bottom xStart yStart xEnd yEnd. Text: x y. Glyph: id x y.
        // Picture: x y width height. Polygon: the corners in `points`, the colour in `fill`.
        int v[8] = {};
        std::vector<PointF> points;
        std::string text;
        double scale = 1.0; // Glyph
        GlyphColor glyphColor = GlyphColor::Normal;
        Pen pen;
        bool hasBrush = false;
        Color brush;
        Color fill; // FillRect, Polygon
        Font font;
        Color textColor;
        const tonvela::Picture* picture = nullptr;
    };

    RecordingCanvas(int width = 1000, int height = 800) : m_width(width), m_height(height) {}

    int width() const override { return m_width; }
    int height() const override { return m_height; }
    void setPen(const Pen& pen) override { m_pen = pen; }
    void setBrush(Color color) override
    {
        m_brush = color;
        m_hasBrush = true;
    }
    void setNoBrush() override { m_hasBrush = false; }
    void setFont(const Font& font) override { m_font = font; }
    void setTextColor(Color color) override { m_textColor = color; }

    void drawLine(int x1, int y1, int x2, int y2) override;
    void drawRect(int left, int top, int right, int bottom) override;
    void fillRect(int left, int top, int right, int bottom, Color color) override;
    void fillPolygon(std::span<const PointF> points, Color color) override;
    void drawEllipse(int left, int top, int right, int bottom) override;
    void drawArc(int left, int top, int right, int bottom, int xStart, int yStart, int xEnd,
                 int yEnd) override;
    void drawText(int x, int y, std::string_view text) override;
    void drawTextInRect(int left, int top, int right, int bottom, std::string_view text) override;
    void drawTextCentred(int left, int top, int right, int bottom, std::string_view text) override;
    void drawGlyph(int glyph, int x, int y, double scale, GlyphColor color) override;
    void drawPicture(const tonvela::Picture& picture, int x, int y, int width, int height) override;

    const std::vector<Call>& calls() const { return m_calls; }
    std::vector<Call> callsOf(Kind kind) const;
    void clear() { m_calls.clear(); }

  private:
    Call& record(Kind kind);

    int m_width;
    int m_height;
    Pen m_pen;
    bool m_hasBrush = false;
    Color m_brush;
    Font m_font;
    Color m_textColor;
    std::vector<Call> m_calls;
};

} // namespace tonvela
