#include "render/tool_icons.h"

#include "editor/commands.h"
#include "editor/glyphs.h"
#include "render/glyph_painter.h"

#include <QFont>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace tonvela {
namespace {

// The glyph drawn for a tool that is one glyph, 0 for the others.
int glyphOfTool(int tool)
{
    switch (tool) {
    case kToolWhole:
        return kGlyphWholeNote;
    case kToolHalf:
        return kGlyphHalfUp;
    case kToolQuarter:
        return kGlyphQuarterUp;
    case kToolEighth:
        return kGlyphEighthUp;
    case kToolSixteenth:
        return kGlyphSixteenthUp;
    case kToolThirtySecond:
        return kGlyphThirtySecondUp;
    case kToolRest:
        return kGlyphQuarterRest;
    case kToolDot:
        return kGlyphDot;
    case kToolSharp:
        return kGlyphSharp;
    case kToolFlat:
        return kGlyphFlat;
    case kToolNatural:
        return kGlyphNatural;
    case kToolTriplet:
        return kGlyphDigit3;
    default:
        return 0;
    }
}

// A glyph's ink at scale 1, from its outline drawn large (the outline rounds to whole units).
QRectF glyphBounds(int glyph)
{
    constexpr double kLarge = 16.0;
    const QRectF r = glyphOutline(glyph, kLarge).boundingRect();
    return {r.x() / kLarge, r.y() / kLarge, r.width() / kLarge, r.height() / kLarge};
}

// The scale at which every glyph of `family` fits `room`: one scale for a family, so a whole
// note is as large as a quarter's head and a flat as tall as a sharp.
double familyScale(std::initializer_list<int> family, const QSizeF& room)
{
    double scale = 1e9;
    for (int glyph : family) {
        const QRectF b = glyphBounds(glyph);
        if (b.width() > 0)
            scale = std::min(scale, room.width() / b.width());
        if (b.height() > 0)
            scale = std::min(scale, room.height() / b.height());
    }
    return scale < 1e9 ? scale : 1.0;
}

// Draws the glyph at `scale` with its ink centred on `centre`.
void glyphCentred(QPainter& p, int glyph, const QPointF& centre, double scale, const QColor& ink)
{
    const QRectF b = glyphBounds(glyph);
    paintGlyph(p, glyph, centre.x() - (b.x() + b.width() / 2) * scale,
               centre.y() - (b.y() + b.height() / 2) * scale, scale, ink);
}

// A straight line of the picture on whole device pixels, `weight` pixels thick at least one.
void bar(QPainter& p, const QRectF& r, const QColor& ink)
{
    p.fillRect(pixelAligned(p, r), ink);
}

// Five staff lines across [left, right], the top line at `top`, `space` apart.
void staffLines(QPainter& p, double left, double right, double top, double space, double weight,
                const QColor& ink, int lines = 5)
{
    for (int k = 0; k < lines; ++k) {
        const double y = top + k * space;
        bar(p, QRectF(QPointF(left, y - weight / 2), QPointF(right, y + weight / 2)), ink);
    }
}

// A filled note head tilted as the sheet draws them, centred on `c`, `width` across.
void head(QPainter& p, const QPointF& c, double width, const QColor& ink)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.translate(c);
    p.rotate(-20);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(QPointF(0, 0), width / 2, width * 0.36);
    p.restore();
}

// The sheet's tie: a crescent thickest in its middle, arching `arch` above the line between
// its ends.
void tie(QPainter& p, const QPointF& from, const QPointF& to, double arch, double thickness,
         const QColor& ink)
{
    const double length = to.x() - from.x();
    QPainterPath path;
    path.moveTo(from);
    path.cubicTo(QPointF(from.x() + length / 4, from.y() - arch * 4 / 3),
                 QPointF(to.x() - length / 4, to.y() - arch * 4 / 3), to);
    path.cubicTo(QPointF(to.x() - length / 4, to.y() - (arch - thickness) * 4 / 3),
                 QPointF(from.x() + length / 4, from.y() - (arch - thickness) * 4 / 3), from);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPath(path);
    p.restore();
}

// An arrow head at `tip` pointing along (dx, dy) (a unit vector), `size` long.
void arrowHead(QPainter& p, const QPointF& tip, double dx, double dy, double size, const QColor& ink)
{
    const QPointF back(tip.x() - dx * size, tip.y() - dy * size);
    const QPointF side(-dy * size * 0.6, dx * size * 0.6);
    const QPointF points[] = {tip, back + side, back - side};
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPolygon(points, 3);
    p.restore();
}

void paintMarker(QPainter& p, int tool, const QRectF& box, const QColor& ink)
{
    const double h = box.height(), w = box.width();
    const double weight = std::max(1.0, h / 24.0);
    const double space = h / 6.0;
    const double top = box.top() + space;
    switch (tool) {
    case kToolBar:
        staffLines(p, box.left() + w * 0.1, box.right() - w * 0.1, top, space, weight, ink);
        bar(p, QRectF(box.center().x() - weight, top, 2 * weight, 4 * space), ink);
        break;
    case kToolSpace: {
        // The room a space makes between two notes of the staff.
        staffLines(p, box.left() + w * 0.05, box.right() - w * 0.05, top, space, weight, ink);
        head(p, QPointF(box.left() + w * 0.17, top + 2.5 * space), space * 1.3, ink);
        head(p, QPointF(box.right() - w * 0.17, top + 1.5 * space), space * 1.3, ink);
        const double y = top + 2 * space;
        const double l = box.left() + w * 0.33, r = box.right() - w * 0.33;
        bar(p, QRectF(QPointF(l + space * 0.5, y - weight), QPointF(r - space * 0.5, y + weight)), ink);
        arrowHead(p, QPointF(l, y), -1, 0, space * 0.8, ink);
        arrowHead(p, QPointF(r, y), 1, 0, space * 0.8, ink);
        break;
    }
    case kToolStaffBreak: {
        // A staff ends and goes on at the start of the next row.
        const double s = h / 9.0;
        staffLines(p, box.left() + w * 0.05, box.right() - w * 0.3, box.top() + s, s, weight, ink, 3);
        staffLines(p, box.left() + w * 0.3, box.right() - w * 0.05, box.top() + 6 * s, s, weight, ink, 3);
        const double x = box.right() - w * 0.15, y0 = box.top() + 2 * s, y1 = box.top() + 4.5 * s;
        bar(p, QRectF(QPointF(x - weight, y0), QPointF(x + weight, y1)), ink);
        const double xl = box.left() + w * 0.2;
        bar(p, QRectF(QPointF(xl + s, y1 - weight), QPointF(x + weight, y1 + weight)), ink);
        arrowHead(p, QPointF(xl, y1), -1, 0, s * 1.2, ink);
        break;
    }
    case kToolLyrics: {
        // A syllable under a small note.
        const double scale = familyScale({kGlyphQuarterUp}, QSizeF(w, h * 0.5));
        glyphCentred(p, kGlyphQuarterUp, QPointF(box.center().x(), box.top() + h * 0.25), scale, ink);
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(h * 0.5))));
        font.setBold(true);
        p.save();
        p.setFont(font);
        p.setPen(ink);
        p.drawText(QRectF(box.left(), box.top() + h * 0.5, w, h * 0.5), Qt::AlignCenter,
                   QStringLiteral("la"));
        p.restore();
        break;
    }
    default:
        break;
    }
}

class ToolIconEngine final : public QIconEngine {
  public:
    explicit ToolIconEngine(int tool) : m_tool(tool) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        QColor ink(Qt::black);
        if (state == QIcon::On) {
            // A pressed tool: the picture in white on the selection's blue, so which tool
            // is chosen shows across the room.
            painter->save();
            painter->setRenderHint(QPainter::Antialiasing, true);
            painter->setPen(Qt::NoPen);
            painter->setBrush(QColor(0, 70, 170));
            const double r = rect.height() / 6.0;
            painter->drawRoundedRect(QRectF(rect), r, r);
            painter->restore();
            ink = Qt::white;
        }
        if (mode == QIcon::Disabled)
            ink = QColor(150, 150, 150);
        // A margin of a twelfth all round keeps the picture off the button's frame.
        const double margin = rect.height() / 12.0;
        paintToolPicture(*painter, m_tool, QRectF(rect).adjusted(margin, margin, -margin, -margin), ink);
    }

    // Drawn afresh at the size asked for: QIcon asks for the device's pixels (the size times
    // the screen's scale) and marks the picture with the scale, so it is never a scaled copy.
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size.expandedTo(QSize(1, 1)));
        pixmap.fill(Qt::transparent);
        {
            QPainter painter(&pixmap);
            paint(&painter, QRect(QPoint(0, 0), pixmap.size()), mode, state);
        }
        return pixmap;
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal /*scale*/) override
    {
        return pixmap(size, mode, state);
    }

    QIconEngine* clone() const override { return new ToolIconEngine(m_tool); }
    QString key() const override { return QStringLiteral("tonvela-tool"); }

  private:
    int m_tool;
};

} // namespace

bool hasToolPicture(int tool)
{
    return glyphOfTool(tool) != 0 || tool == kToolTie || tool == kToolVoice2 || tool == kToolBar ||
           tool == kToolSpace || tool == kToolStaffBreak || tool == kToolLyrics;
}

bool paintToolPicture(QPainter& painter, int tool, const QRectF& box, const QColor& ink)
{
    if (!hasToolPicture(tool) || box.width() <= 0 || box.height() <= 0)
        return false;
    const QPointF centre = box.center();
    const QSizeF room = box.size();
    switch (tool) {
    case kToolWhole:
    case kToolHalf:
    case kToolQuarter:
    case kToolEighth:
    case kToolSixteenth:
    case kToolThirtySecond: {
        const double scale = familyScale({kGlyphThirtySecondUp, kGlyphWholeNote}, room);
        glyphCentred(painter, glyphOfTool(tool), centre, scale, ink);
        return true;
    }
    case kToolSharp:
    case kToolFlat:
    case kToolNatural: {
        const double scale = familyScale({kGlyphSharp, kGlyphFlat, kGlyphNatural}, room * 0.95);
        glyphCentred(painter, glyphOfTool(tool), centre, scale, ink);
        return true;
    }
    case kToolDot: {
        // As large as a dot beside the notes of the duration buttons would look next to them
        // when those fill the button: a quarter of the height.
        const double scale = familyScale({kGlyphDot}, room * 0.28);
        glyphCentred(painter, kGlyphDot, centre, scale, ink);
        return true;
    }
    case kToolRest:
    case kToolTriplet:
        glyphCentred(painter, glyphOfTool(tool), centre, familyScale({glyphOfTool(tool)}, room * 0.9), ink);
        return true;
    case kToolTie: {
        const double h = box.height(), w = box.width();
        const double headWidth = std::min(w * 0.34, h * 0.42);
        const QPointF left(box.left() + headWidth * 0.6, box.top() + h * 0.68);
        const QPointF right(box.right() - headWidth * 0.6, box.top() + h * 0.68);
        head(painter, left, headWidth, ink);
        head(painter, right, headWidth, ink);
        tie(painter, QPointF(left.x() + headWidth * 0.15, left.y() - headWidth * 0.45),
            QPointF(right.x() - headWidth * 0.15, right.y() - headWidth * 0.45), h * 0.28,
            std::max(1.2, h * 0.09), ink);
        return true;
    }
    case kToolVoice2: {
        // A quarter with its stem down, as voice 2 stands, and the music font's "2" beside it.
        const double h = box.height(), w = box.width();
        const double noteScale = familyScale({kGlyphQuarterDown}, QSizeF(w * 0.55, h * 0.95));
        glyphCentred(painter, kGlyphQuarterDown, QPointF(box.left() + w * 0.3, centre.y()), noteScale, ink);
        const double digitScale = familyScale({kGlyphDigit2}, QSizeF(w * 0.4, h * 0.5));
        glyphCentred(painter, kGlyphDigit2, QPointF(box.right() - w * 0.22, box.top() + h * 0.3), digitScale,
                     ink);
        return true;
    }
    default:
        paintMarker(painter, tool, box, ink);
        return true;
    }
}

QIcon toolIcon(int tool)
{
    if (!hasToolPicture(tool))
        return {};
    return QIcon(new ToolIconEngine(tool));
}

} // namespace tonvela
