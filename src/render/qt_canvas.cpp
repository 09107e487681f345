#include "render/qt_canvas.h"

#include "render/glyph_painter.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QPaintEngine>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

namespace tonvela {
namespace {

QColor qtColor(Color c)
{
    return QColor(c.r, c.g, c.b);
}

QString arialFamily()
{
    static const QString family = [] {
        const QStringList families = QFontDatabase::families();
        if (families.contains(QStringLiteral("Arial")))
            return QStringLiteral("Arial");
        if (families.contains(QStringLiteral("Liberation Sans")))
            return QStringLiteral("Liberation Sans");
        return QStringLiteral("Arial");
    }();
    return family;
}

QRect normalized(int left, int top, int right, int bottom)
{
    return QRect(QPoint(std::min(left, right), std::min(top, bottom)),
                 QPoint(std::max(left, right) - 1, std::max(top, bottom) - 1));
}

} // namespace

QString qtText(std::string_view text)
{
    QString utf8 = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (!utf8.contains(QChar::ReplacementCharacter))
        return utf8;
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QtCanvas::QtCanvas(QPainter& painter, int width, int height)
    : m_painter(painter), m_width(width), m_height(height)
{
    m_pen = QPen(Qt::black, 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    m_pen.setCosmetic(false);
    m_brush = Qt::NoBrush;
}

QtCanvas::~QtCanvas()
{
    if (m_painter.isActive())
        flushLines();
}

void QtCanvas::flush()
{
    flushLines();
}

void QtCanvas::flushLines()
{
    if (m_lineCount == 0)
        return;
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    m_painter.setPen(m_linesPen);
    m_painter.setBrush(Qt::NoBrush);
    m_painter.drawPath(m_lines);
    m_lines.clear();
    m_lineCount = 0;
}

void QtCanvas::setPen(const Pen& pen)
{
    m_pen = QPen(qtColor(pen.color), pen.width > 0 ? pen.width : 1.0,
                 pen.style == PenStyle::Dotted ? Qt::DotLine : Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    m_pen.setCosmetic(false);
}

QPen QtCanvas::alignedPen() const
{
    // Aliased strokes cover whole device pixels: the width is rounded to whole pixels, at
    // least one, so a line of 1.2 units is one pixel at zoom 1 and two at zoom 2, never a
    // grey blur.
    QPen pen = m_pen;
    const double scale = std::max(std::abs(m_painter.deviceTransform().m22()), 1e-9);
    const double pixels = std::max(1.0, std::round(m_pen.widthF() * scale));
    pen.setWidthF(pixels / scale);
    return pen;
}

void QtCanvas::setBrush(Color color)
{
    m_brush = QBrush(qtColor(color));
}
void QtCanvas::setNoBrush()
{
    m_brush = Qt::NoBrush;
}

QFont qtCanvasFont(const Font& font)
{
    QFont f(arialFamily());
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(font.height * kFontEmPerCell))));
    f.setBold(font.bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

void QtCanvas::setFont(const Font& font)
{
    m_painter.setFont(qtCanvasFont(font));
}

void QtCanvas::setTextColor(Color color)
{
    m_textColor = qtColor(color);
}

void QtCanvas::drawLine(int x1, int y1, int x2, int y2)
{
    const QPaintEngine* engine = m_painter.paintEngine();
    if (engine && engine->type() == QPaintEngine::Pdf) {
        if (m_lineCount > 0 && m_linesPen != m_pen)
            flushLines();
        m_linesPen = m_pen;
        m_lines.moveTo(x1, y1);
        m_lines.lineTo(x2, y2);
        ++m_lineCount;
        return;
    }
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    m_painter.setPen(alignedPen());
    m_painter.drawLine(x1, y1, x2, y2);
}

void QtCanvas::drawRect(int left, int top, int right, int bottom)
{
    flushLines();
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    m_painter.setPen(alignedPen());
    m_painter.setBrush(m_brush);
    m_painter.drawRect(normalized(left, top, right, bottom));
}

void QtCanvas::fillRect(int left, int top, int right, int bottom, Color color)
{
    flushLines();
    m_painter.fillRect(normalized(left, top, right, bottom).adjusted(0, 0, 1, 1), qtColor(color));
}

void QtCanvas::fillPolygon(std::span<const PointF> points, Color color)
{
    if (points.size() < 3)
        return;
    QPolygonF polygon;
    polygon.reserve(static_cast<qsizetype>(points.size()));
    for (const PointF& p : points)
        polygon << QPointF(p.x, p.y);
    if (const auto upright = uprightBox(points)) {
        const QRectF box(QPointF(upright->first.x, upright->first.y),
                         QPointF(upright->second.x, upright->second.y));
        m_painter.setRenderHint(QPainter::Antialiasing, false);
        m_painter.fillRect(pixelAligned(m_painter, box), qtColor(color));
        return;
    }
    // On a PDF page a save and restore writes the whole graphics state out twice, and corners
    // in long decimals hardly compress: there the corners go to whole device units (a
    // six-hundredth of an inch on a file printout) and the pen and brush stay set, as the other
    // shapes leave them.
    const QPaintEngine* engine = m_painter.paintEngine();
    const bool pdf = engine && engine->type() == QPaintEngine::Pdf;
    if (pdf) {
        for (QPointF& c : polygon)
            c = QPointF(std::round(c.x()), std::round(c.y()));
    } else {
        m_painter.save();
    }
    m_painter.setRenderHint(QPainter::Antialiasing, true);
    m_painter.setPen(Qt::NoPen);
    m_painter.setBrush(qtColor(color));
    m_painter.drawPolygon(polygon, Qt::WindingFill);
    if (!pdf)
        m_painter.restore();
}

void QtCanvas::drawEllipse(int left, int top, int right, int bottom)
{
    flushLines();
    m_painter.setRenderHint(QPainter::Antialiasing, true);
    m_painter.setPen(m_pen);
    m_painter.setBrush(m_brush);
    m_painter.drawEllipse(QRectF(normalized(left, top, right, bottom)));
}

void QtCanvas::drawArc(int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd)
{
    flushLines();
    const QRectF box(QPointF(std::min(left, right), std::min(top, bottom)),
                     QPointF(std::max(left, right), std::max(top, bottom)));
    if (box.width() <= 0 || box.height() <= 0)
        return;
    const QPointF c = box.center();
    const double rx = box.width() / 2, ry = box.height() / 2;
    // Directions from the centre, y upwards, as angles of the ellipse's parameter.
    auto angle = [&](int x, int y) {
        return std::atan2(-(y - c.y()) / ry, (x - c.x()) / rx) * 180.0 / std::numbers::pi;
    };
    const double a0 = angle(xStart, yStart);
    double span = angle(xEnd, yEnd) - a0;
    while (span <= 0)
        span += 360.0;
    m_painter.setRenderHint(QPainter::Antialiasing, true);
    m_painter.setPen(m_pen);
    m_painter.setBrush(Qt::NoBrush);
    m_painter.drawArc(box, static_cast<int>(std::lround(a0 * 16)), static_cast<int>(std::lround(span * 16)));
}

void QtCanvas::drawText(int x, int y, std::string_view text)
{
    flushLines();
    m_painter.setRenderHint(QPainter::Antialiasing, true);
    m_painter.setRenderHint(QPainter::TextAntialiasing, true);
    m_painter.setPen(m_textColor);
    m_painter.drawText(QRect(x, y, 100000, 100000), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                       qtText(text));
}

void QtCanvas::drawTextInRect(int left, int top, int right, int bottom, std::string_view text)
{
    flushLines();
    const QRect r = normalized(left, top, right, bottom);
    m_painter.save();
    m_painter.setClipRect(r, Qt::IntersectClip);
    m_painter.setRenderHint(QPainter::TextAntialiasing, true);
    m_painter.setPen(m_textColor);
    m_painter.drawText(r, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, qtText(text));
    m_painter.restore();
}

void QtCanvas::drawTextCentred(int left, int top, int right, int bottom, std::string_view text)
{
    flushLines();
    m_painter.setRenderHint(QPainter::TextAntialiasing, true);
    m_painter.setPen(m_textColor);
    m_painter.drawText(normalized(left, top, right, bottom),
                       Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip, qtText(text));
}

void QtCanvas::drawGlyph(int glyph, int x, int y, double scale, GlyphColor color)
{
    flushLines();
    paintGlyph(m_painter, glyph, x, y, scale, qtColor(glyphInk(color)));
}

void QtCanvas::drawPicture(const Picture& picture, int x, int y, int width, int height)
{
    flushLines();
    const auto* image = dynamic_cast<const QtImagePicture*>(&picture);
    if (!image || width <= 0 || height <= 0)
        return;
    m_painter.save();
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    m_painter.drawImage(QRect(x, y, width, height), image->image());
    m_painter.restore();
}

QtImageSurface::QtImageSurface(int width, int height, int supersample)
    : m_width(std::max(width, 1)), m_height(std::max(height, 1)),
      m_image(m_width * std::max(supersample, 1), m_height * std::max(supersample, 1), QImage::Format_RGB32),
      m_painter(), m_canvas(m_painter, m_width, m_height)
{
    m_image.fill(Qt::white);
    m_painter.begin(&m_image);
    m_painter.scale(std::max(supersample, 1), std::max(supersample, 1));
}

QtImageSurface::~QtImageSurface()
{
    if (m_painter.isActive())
        m_painter.end();
}

QImage QtImageSurface::takeImage()
{
    if (m_painter.isActive())
        m_painter.end();
    return std::move(m_image);
}

std::unique_ptr<Picture> QtImageSurface::takePicture()
{
    const int w = m_width, h = m_height;
    return std::make_unique<QtImagePicture>(takeImage(), w, h);
}

} // namespace tonvela
