#include "drawing/recording_canvas.h"

namespace tonvela {

RecordingCanvas::Call& RecordingCanvas::record(Kind kind)
{
    Call& c = m_calls.emplace_back();
    c.kind = kind;
    c.pen = m_pen;
    c.hasBrush = m_hasBrush;
    c.brush = m_brush;
    c.font = m_font;
    c.textColor = m_textColor;
    return c;
}

void RecordingCanvas::drawLine(int x1, int y1, int x2, int y2)
{
    Call& c = record(Kind::Line);
    c.v[0] = x1, c.v[1] = y1, c.v[2] = x2, c.v[3] = y2;
}

void RecordingCanvas::drawRect(int left, int top, int right, int bottom)
{
    Call& c = record(Kind::Rect);
    c.v[0] = left, c.v[1] = top, c.v[2] = right, c.v[3] = bottom;
}

void RecordingCanvas::fillRect(int left, int top, int right, int bottom, Color color)
{
    Call& c = record(Kind::FillRect);
    c.v[0] = left, c.v[1] = top, c.v[2] = right, c.v[3] = bottom;
    c.fill = color;
}

void RecordingCanvas::fillPolygon(std::span<const PointF> points, Color color)
{
    Call& c = record(Kind::Polygon);
    c.points.assign(points.begin(), points.end());
    c.fill = color;
}

void RecordingCanvas::drawEllipse(int left, int top, int right, int bottom)
{
    Call& c = record(Kind::Ellipse);
    c.v[0] = left, c.v[1] = top, c.v[2] = right, c.v[3] = bottom;
}

void RecordingCanvas::drawArc(int left, int top, int right, int bottom, int xStart, int yStart, int xEnd,
                              int yEnd)
{
    Call& c = record(Kind::Arc);
    const int v[8] = {left, top, right, bottom, xStart, yStart, xEnd, yEnd};
    for (int i = 0; i < 8; ++i)
        c.v[i] = v[i];
}

void RecordingCanvas::drawText(int x, int y, std::string_view text)
{
    Call& c = record(Kind::Text);
    c.v[0] = x, c.v[1] = y;
    c.text = std::string(text);
}

void RecordingCanvas::drawTextInRect(int left, int top, int right, int bottom, std::string_view text)
{
    Call& c = record(Kind::TextInRect);
    c.v[0] = left, c.v[1] = top, c.v[2] = right, c.v[3] = bottom;
    c.text = std::string(text);
}

void RecordingCanvas::drawTextCentred(int left, int top, int right, int bottom, std::string_view text)
{
    Call& c = record(Kind::TextCentred);
    c.v[0] = left, c.v[1] = top, c.v[2] = right, c.v[3] = bottom;
    c.text = std::string(text);
}

void RecordingCanvas::drawGlyph(int glyph, int x, int y, double scale, GlyphColor color)
{
    Call& c = record(Kind::Glyph);
    c.v[0] = glyph, c.v[1] = x, c.v[2] = y;
    c.scale = scale;
    c.glyphColor = color;
}

void RecordingCanvas::drawPicture(const tonvela::Picture& picture, int x, int y, int width, int height)
{
    Call& c = record(Kind::Picture);
    c.v[0] = x, c.v[1] = y, c.v[2] = width, c.v[3] = height;
    c.picture = &picture;
}

std::vector<RecordingCanvas::Call> RecordingCanvas::callsOf(Kind kind) const
{
    std::vector<Call> out;
    for (const Call& c : m_calls)
        if (c.kind == kind)
            out.push_back(c);
    return out;
}

} // namespace tonvela
