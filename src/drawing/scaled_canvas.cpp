#include "drawing/scaled_canvas.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tonvela {

ScaledCanvas::ScaledCanvas(Canvas& target, double scale, int offsetX, int offsetY)
    : m_target(target), m_scale(scale > 0 && std::isfinite(scale) ? scale : 1.0), m_offsetX(offsetX),
      m_offsetY(offsetY)
{
}

int ScaledCanvas::tx(int x) const
{
    return m_offsetX + static_cast<int>(std::lround(x * m_scale));
}

int ScaledCanvas::ty(int y) const
{
    return m_offsetY + static_cast<int>(std::lround(y * m_scale));
}

int ScaledCanvas::length(int units) const
{
    return static_cast<int>(std::lround(units * m_scale));
}

int ScaledCanvas::width() const
{
    return static_cast<int>((m_target.width() - m_offsetX) / m_scale);
}

int ScaledCanvas::height() const
{
    return static_cast<int>((m_target.height() - m_offsetY) / m_scale);
}

void ScaledCanvas::setPen(const Pen& pen)
{
    // Widths keep their fraction: a thin line on screen stays as thin on a fine device.
    Pen scaled = pen;
    scaled.width = (pen.width > 0 ? pen.width : 1.0) * m_scale;
    m_target.setPen(scaled);
}

void ScaledCanvas::setFont(const Font& font)
{
    Font scaled = font;
    scaled.height = std::max(1, length(font.height));
    m_target.setFont(scaled);
}

void ScaledCanvas::drawLine(int x1, int y1, int x2, int y2)
{
    m_target.drawLine(tx(x1), ty(y1), tx(x2), ty(y2));
}

void ScaledCanvas::drawRect(int left, int top, int right, int bottom)
{
    m_target.drawRect(tx(left), ty(top), tx(right), ty(bottom));
}

void ScaledCanvas::fillRect(int left, int top, int right, int bottom, Color color)
{
    m_target.fillRect(tx(left), ty(top), tx(right), ty(bottom), color);
}

void ScaledCanvas::fillPolygon(std::span<const PointF> points, Color color)
{
    std::vector<PointF> moved(points.begin(), points.end());
    for (PointF& p : moved) {
        p.x = m_offsetX + p.x * m_scale;
        p.y = m_offsetY + p.y * m_scale;
    }
    m_target.fillPolygon(moved, color);
}

void ScaledCanvas::drawEllipse(int left, int top, int right, int bottom)
{
    m_target.drawEllipse(tx(left), ty(top), tx(right), ty(bottom));
}

void ScaledCanvas::drawArc(int left, int top, int right, int bottom, int xStart, int yStart, int xEnd,
                           int yEnd)
{
    m_target.drawArc(tx(left), ty(top), tx(right), ty(bottom), tx(xStart), ty(yStart), tx(xEnd), ty(yEnd));
}

void ScaledCanvas::drawText(int x, int y, std::string_view text)
{
    m_target.drawText(tx(x), ty(y), text);
}

void ScaledCanvas::drawTextInRect(int left, int top, int right, int bottom, std::string_view text)
{
    m_target.drawTextInRect(tx(left), ty(top), tx(right), ty(bottom), text);
}

void ScaledCanvas::drawTextCentred(int left, int top, int right, int bottom, std::string_view text)
{
    m_target.drawTextCentred(tx(left), ty(top), tx(right), ty(bottom), text);
}

void ScaledCanvas::drawGlyph(int glyph, int x, int y, double scale, GlyphColor color)
{
    m_target.drawGlyph(glyph, tx(x), ty(y), scale * m_scale, color);
}

void ScaledCanvas::drawPicture(const Picture& picture, int x, int y, int width, int height)
{
    m_target.drawPicture(picture, tx(x), ty(y), length(width), length(height));
}

} // namespace tonvela
