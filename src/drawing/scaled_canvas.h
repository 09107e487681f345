#pragma once

#include "drawing/canvas.h"

namespace tonvela {

// A canvas that hands every drawing call on to another canvas with its coordinates multiplied
// by a factor and moved by an offset, and pen widths and font heights scaled alike. A drawing
// made for screen pixels goes through it onto a printer page as the shapes and text they are,
// not as a stretched picture of them.
//
// Thread rules: as the target canvas.
class ScaledCanvas : public Canvas {
  public:
    // Target point = offset + scale x point. A scale of 0 or less is taken as 1.
    ScaledCanvas(Canvas& target, double scale, int offsetX = 0, int offsetY = 0);

    double scale() const { return m_scale; }

    // The target's drawing area in the units of this canvas.
    int width() const override;
    int height() const override;

    void setPen(const Pen& pen) override;
    void setBrush(Color color) override { m_target.setBrush(color); }
    void setNoBrush() override { m_target.setNoBrush(); }
    void setFont(const Font& font) override;
    void setTextColor(Color color) override { m_target.setTextColor(color); }

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
    void drawPicture(const Picture& picture, int x, int y, int width, int height) override;

  private:
    int tx(int x) const;
    int ty(int y) const;
    int length(int units) const;

    Canvas& m_target;
    double m_scale;
    int m_offsetX;
    int m_offsetY;
};

} // namespace tonvela
