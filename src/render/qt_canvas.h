#pragma once

#include "drawing/canvas.h"
#include "editor/print_paging.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace tonvela {

// A Canvas over a QPainter: a window surface, a QImage or a printer page. Lines, rectangles
// and upright filled rectangles are drawn aliased on whole device pixels, so thin staff lines
// and stems stay crisp; glyphs, ellipses, arcs and slanted shapes are antialiased. Text is Arial (Liberation
// Sans, its metric twin, where Arial is missing).
//
// Thread rules: used by the thread that owns the painter.
class QtCanvas : public Canvas {
  public:
    QtCanvas(QPainter& painter, int width, int height);
    ~QtCanvas() override;

    int width() const override { return m_width; }
    int height() const override { return m_height; }
    void setPen(const Pen& pen) override;
    void setBrush(Color color) override;
    void setNoBrush() override;
    void setFont(const Font& font) override;
    void setTextColor(Color color) override;
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

    // Draws the lines still held for a PDF page; printers call it before a page ends.
    void flush();

  private:
    QPen alignedPen() const;
    void flushLines();

    QPainter& m_painter;
    int m_width;
    int m_height;
    QPen m_pen;
    QBrush m_brush;
    QColor m_textColor = Qt::black;
    // On a PDF page consecutive lines of one pen are gathered and stroked as one path, so the
    // page holds one stroke operation for a run of staff, ledger and beam lines, not one a line.
    QPainterPath m_lines;
    QPen m_linesPen;
    int m_lineCount = 0;
};

// A picture held as an image (a page drawn off-screen); its width and height are the logical
// size the drawing used, the image may hold more pixels.
class QtImagePicture : public Picture {
  public:
    QtImagePicture(QImage image, int width, int height)
        : m_image(std::move(image)), m_width(width), m_height(height)
    {
    }
    int width() const override { return m_width; }
    int height() const override { return m_height; }
    const QImage& image() const { return m_image; }

  private:
    QImage m_image;
    int m_width;
    int m_height;
};

// Printed pages are drawn off-screen at this many pixels per screen pixel before they are
// stretched onto the page, so print does not show the screen's pixels.
inline constexpr int kPageSupersample = 3;

// A white QImage to draw on with a QtCanvas of width x height device units. With
// `supersample` above 1 the image holds that many pixels per unit, so a page stretched onto a
// printer stays sharp.
class QtImageSurface : public PrintSurface {
  public:
    QtImageSurface(int width, int height, int supersample = 1);
    ~QtImageSurface() override;
    Canvas& canvas() override { return m_canvas; }
    std::unique_ptr<Picture> takePicture() override;
    // Ends drawing and hands out the image.
    QImage takeImage();

  private:
    int m_width;
    int m_height;
    QImage m_image;
    QPainter m_painter;
    QtCanvas m_canvas;
};

// Text of a sheet as Qt takes it: UTF-8 when it is valid, else the Latin-1 bytes a file
// written elsewhere may hold.
QString qtText(std::string_view text);
// The Qt font every canvas draws a Font with: Arial (or Liberation Sans) at the em of its cell.
QFont qtCanvasFont(const Font& font);

} // namespace tonvela
