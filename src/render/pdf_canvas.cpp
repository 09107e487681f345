#include "render/pdf_canvas.h"

#include "render/glyph_painter.h"
#include "render/pdf_document.h"
#include "render/pdf_font.h"
#include "render/qt_canvas.h"

#include <QFont>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

namespace tonvela {
namespace {

// How far a cubic Bezier's control points sit along the tangent for a quarter ellipse.
constexpr double kQuarterArc = 0.5522847498;

void appendColor(std::string& out, Color c, const char* op)
{
    const auto part = [&out](uint8_t v) {
        if (v == 0 || v == 255) {
            out += v ? '1' : '0';
        } else {
            appendPdfNumber(out, v / 255.0, 3);
        }
        out += ' ';
    };
    part(c.r);
    part(c.g);
    part(c.b);
    out += op;
    out += '\n';
}

// The path of a Qt outline as PDF path operators, numbers to a tenth of a unit.
void appendPath(std::string& out, const QPainterPath& path, double dx = 0, double dy = 0)
{
    const auto pt = [&](const QPainterPath::Element& e) {
        appendPdfNumber(out, e.x + dx, 1);
        out += ' ';
        appendPdfNumber(out, e.y + dy, 1);
        out += ' ';
    };
    const int n = path.elementCount();
    for (int i = 0; i < n; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            pt(e);
            out += "m\n";
        } else if (e.isLineTo()) {
            pt(e);
            out += "l\n";
        } else if (e.isCurveTo() && i + 2 < n) {
            pt(e);
            pt(path.elementAt(i + 1));
            pt(path.elementAt(i + 2));
            out += "c\n";
            i += 2;
        }
    }
}

int fontPixels(const Font& font)
{
    return std::max(1, static_cast<int>(std::lround(font.height * kFontEmPerCell)));
}

} // namespace

// --- PdfResources ---------------------------------------------------------------------------

PdfResources::PdfResources(PdfDocument& doc) : m_doc(doc), m_dictionary(doc.reserve()) {}

PdfResources::~PdfResources() = default;

const std::string& PdfResources::glyphForm(int glyph, double scale)
{
    auto [it, added] = m_glyphNames.try_emplace({glyph, scale});
    if (!added)
        return it->second;
    const QPainterPath outline = glyphOutline(glyph, scale);
    if (outline.isEmpty())
        return it->second;
    std::string ops;
    appendPath(ops, outline);
    ops += "f\n";
    const QRectF box = outline.boundingRect().adjusted(-2, -2, 2, 2);
    std::string dict = "/Type /XObject /Subtype /Form /BBox [";
    appendPdfNumber(dict, std::floor(box.left()));
    dict += ' ';
    appendPdfNumber(dict, std::floor(box.top()));
    dict += ' ';
    appendPdfNumber(dict, std::ceil(box.right()));
    dict += ' ';
    appendPdfNumber(dict, std::ceil(box.bottom()));
    dict += ']';
    const int object = m_doc.reserve();
    m_doc.addStream(object, dict, ops);
    it->second = "G" + std::to_string(m_glyphNames.size());
    m_xobjects[it->second] = object;
    return it->second;
}

PdfFont* PdfResources::font(bool bold)
{
    const int i = bold ? 1 : 0;
    if (!m_fontTried[i]) {
        m_fontTried[i] = true;
        std::string error;
        m_fonts[i] = PdfFont::load(bold, error);
        if (m_fonts[i])
            m_fontObjects[i] = m_doc.reserve();
    }
    return m_fonts[i].get();
}

std::string PdfResources::image(int width, int height, const std::string& rgb)
{
    std::string dict = "/Type /XObject /Subtype /Image /Width " + std::to_string(width) + " /Height " +
                       std::to_string(height) + " /ColorSpace /DeviceRGB /BitsPerComponent 8";
    const int object = m_doc.reserve();
    m_doc.addStream(object, dict, rgb);
    std::string name = "Im" + std::to_string(++m_images);
    m_xobjects[name] = object;
    return name;
}

bool PdfResources::finish(std::string& error)
{
    std::string dict = "<< /ProcSet [/PDF /Text /ImageC]";
    if (m_fonts[0] || m_fonts[1]) {
        dict += " /Font <<";
        for (int i = 0; i < 2; ++i) {
            if (!m_fonts[i])
                continue;
            if (!m_fonts[i]->write(m_doc, m_fontObjects[i], error))
                return false;
            dict += " /";
            dict += fontName(i == 1);
            dict += ' ' + std::to_string(m_fontObjects[i]) + " 0 R";
        }
        dict += " >>";
    }
    if (!m_xobjects.empty()) {
        dict += " /XObject <<";
        for (const auto& [name, object] : m_xobjects)
            dict += " /" + name + ' ' + std::to_string(object) + " 0 R";
        dict += " >>";
    }
    dict += " >>";
    m_doc.addObject(m_dictionary, dict);
    return true;
}

// --- PdfCanvas ------------------------------------------------------------------------------

PdfCanvas::PdfCanvas(PdfResources& resources, int width, int height)
    : m_res(resources), m_width(width), m_height(height)
{
}

void PdfCanvas::reset()
{
    m_out.clear();
    m_state = State{};
    m_linesOpen = false;
}

const std::string& PdfCanvas::content()
{
    flushLines();
    return m_out;
}

void PdfCanvas::num(double v)
{
    appendPdfNumber(m_out, v, 2);
    m_out += ' ';
}

void PdfCanvas::point(double x, double y)
{
    num(x);
    num(y);
}

void PdfCanvas::flushLines()
{
    if (!m_linesOpen)
        return;
    m_out += "S\n";
    m_linesOpen = false;
}

void PdfCanvas::useFill(Color c)
{
    if (c == m_state.fill)
        return;
    appendColor(m_out, c, "rg");
    m_state.fill = c;
}

void PdfCanvas::useStroke(double width, bool dotted, Color c)
{
    const bool widthChanged = width != m_state.lineWidth;
    if (widthChanged) {
        num(width);
        m_out += "w\n";
        m_state.lineWidth = width;
    }
    if (dotted != m_state.dotted || (dotted && widthChanged)) {
        if (dotted) {
            // Qt's dotted pen: dots one pen width long, two widths apart.
            m_out += '[';
            num(width);
            appendPdfNumber(m_out, 2 * width);
            m_out += "] 0 d\n";
        } else {
            m_out += "[] 0 d\n";
        }
        m_state.dotted = dotted;
    }
    if (!(c == m_state.stroke)) {
        appendColor(m_out, c, "RG");
        m_state.stroke = c;
    }
}

void PdfCanvas::setPen(const Pen& pen)
{
    m_pen = pen;
    if (!(m_pen.width > 0))
        m_pen.width = 1;
}

void PdfCanvas::setBrush(Color color)
{
    m_brush = true;
    m_brushColor = color;
}

void PdfCanvas::setNoBrush()
{
    m_brush = false;
}

void PdfCanvas::setFont(const Font& font)
{
    m_font = font;
}

void PdfCanvas::setTextColor(Color color)
{
    m_textColor = color;
}

void PdfCanvas::drawLine(int x1, int y1, int x2, int y2)
{
    const bool dotted = m_pen.style == PenStyle::Dotted;
    if (m_linesOpen &&
        (m_pen.width != m_state.lineWidth || dotted != m_state.dotted || !(m_pen.color == m_state.stroke)))
        flushLines();
    useStroke(m_pen.width, dotted, m_pen.color);
    point(x1, y1);
    m_out += "m ";
    point(x2, y2);
    m_out += "l\n";
    m_linesOpen = true;
}

void PdfCanvas::drawRect(int left, int top, int right, int bottom)
{
    flushLines();
    // Outlines are whole units wide, as on the screen.
    const double width = std::max(1.0, std::round(m_pen.width));
    useStroke(width, m_pen.style == PenStyle::Dotted, m_pen.color);
    if (m_brush)
        useFill(m_brushColor);
    const int l = std::min(left, right), t = std::min(top, bottom);
    point(l, t);
    point(std::max(left, right) - l, std::max(top, bottom) - t);
    m_out += m_brush ? "re B\n" : "re S\n";
}

void PdfCanvas::fillRect(int left, int top, int right, int bottom, Color color)
{
    flushLines();
    useFill(color);
    // The filled area reaches one unit past right and bottom, as on the screen.
    const int l = std::min(left, right), t = std::min(top, bottom);
    point(l, t);
    point(std::max(left, right) - l + 1, std::max(top, bottom) - t + 1);
    m_out += "re f\n";
}

void PdfCanvas::fillPolygon(std::span<const PointF> points, Color color)
{
    if (points.size() < 3)
        return;
    flushLines();
    useFill(color);
    // Upright rectangles land on whole units, as the screen snaps stems and beams, so the
    // paper shows the same widths.
    if (const auto upright = uprightBox(points)) {
        const auto [l, r] = snapToWholeUnits(upright->first.x, upright->second.x);
        const auto [t, b] = snapToWholeUnits(upright->first.y, upright->second.y);
        point(l, t);
        point(r - l, b - t);
        m_out += "re f\n";
        return;
    }
    // Whole units (a six-hundredth of an inch on a file printout) keep the numbers short.
    bool first = true;
    for (const PointF& p : points) {
        point(std::round(p.x), std::round(p.y));
        m_out += first ? "m\n" : "l\n";
        first = false;
    }
    m_out += "h f\n";
}

void PdfCanvas::ellipsePath(double left, double top, double right, double bottom)
{
    const double cx = (left + right) / 2, cy = (top + bottom) / 2;
    const double rx = (right - left) / 2, ry = (bottom - top) / 2;
    const double kx = rx * kQuarterArc, ky = ry * kQuarterArc;
    point(cx + rx, cy);
    m_out += "m\n";
    point(cx + rx, cy + ky);
    point(cx + kx, cy + ry);
    point(cx, cy + ry);
    m_out += "c\n";
    point(cx - kx, cy + ry);
    point(cx - rx, cy + ky);
    point(cx - rx, cy);
    m_out += "c\n";
    point(cx - rx, cy - ky);
    point(cx - kx, cy - ry);
    point(cx, cy - ry);
    m_out += "c\n";
    point(cx + kx, cy - ry);
    point(cx + rx, cy - ky);
    point(cx + rx, cy);
    m_out += "c h\n";
}

void PdfCanvas::drawEllipse(int left, int top, int right, int bottom)
{
    flushLines();
    useStroke(m_pen.width, m_pen.style == PenStyle::Dotted, m_pen.color);
    if (m_brush)
        useFill(m_brushColor);
    ellipsePath(std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom));
    m_out += m_brush ? "B\n" : "S\n";
}

void PdfCanvas::drawArc(int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd)
{
    flushLines();
    const double l = std::min(left, right), r = std::max(left, right);
    const double t = std::min(top, bottom), b = std::max(top, bottom);
    if (r - l <= 0 || b - t <= 0)
        return;
    const double cx = (l + r) / 2, cy = (t + b) / 2, rx = (r - l) / 2, ry = (b - t) / 2;
    // Directions from the centre as angles of the ellipse's parameter, counter-clockwise as
    // the picture shows it (y downwards on the page).
    const auto angle = [&](int x, int y) { return std::atan2(-(y - cy) / ry, (x - cx) / rx); };
    const double a0 = angle(xStart, yStart);
    double span = angle(xEnd, yEnd) - a0;
    while (span <= 0)
        span += 2 * std::numbers::pi;
    useStroke(m_pen.width, m_pen.style == PenStyle::Dotted, m_pen.color);
    const int pieces = std::max(1, static_cast<int>(std::ceil(span / (std::numbers::pi / 2) - 1e-9)));
    const double step = span / pieces;
    const double k = 4.0 / 3.0 * std::tan(step / 4);
    const auto at = [&](double a) { return PointF{cx + rx * std::cos(a), cy - ry * std::sin(a)}; };
    const PointF start = at(a0);
    point(start.x, start.y);
    m_out += "m\n";
    for (int i = 0; i < pieces; ++i) {
        const double a = a0 + i * step, e = a + step;
        const PointF p0 = at(a), p3 = at(e);
        // The tangent of (cos a, -sin a) is (-sin a, -cos a).
        point(p0.x - k * rx * std::sin(a), p0.y - k * ry * std::cos(a));
        point(p3.x + k * rx * std::sin(e), p3.y + k * ry * std::cos(e));
        point(p3.x, p3.y);
        m_out += "c\n";
    }
    m_out += "S\n";
}

double PdfCanvas::ascent()
{
    const PdfFont* face = m_res.font(m_font.bold);
    return (face ? face->ascent() : 0.905) * fontPixels(m_font);
}

double PdfCanvas::descent()
{
    const PdfFont* face = m_res.font(m_font.bold);
    return (face ? face->descent() : 0.212) * fontPixels(m_font);
}

double PdfCanvas::textWidth(std::string_view text)
{
    PdfFont* face = m_res.font(m_font.bold);
    std::vector<uint16_t> glyphs;
    if (face && face->glyphs(text, glyphs)) {
        double ems = 0;
        for (const uint16_t g : glyphs)
            ems += face->advance(g);
        return ems * fontPixels(m_font);
    }
    QFont qfont = qtCanvasFont(m_font);
    QPainterPath path;
    path.addText(0, 0, qfont, qtText(text));
    return path.boundingRect().right();
}

void PdfCanvas::text(double x, double baseline, std::string_view text)
{
    if (text.empty())
        return;
    flushLines();
    useFill(m_textColor);
    PdfFont* face = m_res.font(m_font.bold);
    std::vector<uint16_t> glyphs;
    if (face && face->glyphs(text, glyphs)) {
        if (glyphs.empty())
            return;
        m_out += "BT /";
        m_out += m_res.fontName(m_font.bold);
        m_out += ' ';
        num(fontPixels(m_font));
        // The page runs downwards; the text matrix turns the letters upright again.
        m_out += "Tf 1 0 0 -1 ";
        point(x, baseline);
        m_out += "Tm <";
        static constexpr char kHex[] = "0123456789ABCDEF";
        for (const uint16_t g : glyphs) {
            m_out += kHex[(g >> 12) & 15];
            m_out += kHex[(g >> 8) & 15];
            m_out += kHex[(g >> 4) & 15];
            m_out += kHex[g & 15];
        }
        m_out += "> Tj ET\n";
        return;
    }
    // Characters the face lacks (other scripts, symbols) are drawn as outlines by Qt, which
    // finds them in other installed fonts, so nothing a user typed goes missing from the paper.
    QPainterPath path;
    path.addText(0, 0, qtCanvasFont(m_font), qtText(text));
    if (path.isEmpty())
        return;
    appendPath(m_out, path, x, baseline);
    m_out += "f\n";
}

void PdfCanvas::drawText(int x, int y, std::string_view text)
{
    this->text(x, y + ascent(), text);
}

void PdfCanvas::drawTextInRect(int left, int top, int right, int bottom, std::string_view text)
{
    flushLines();
    const int l = std::min(left, right), t = std::min(top, bottom);
    const int w = std::max(left, right) - l, h = std::max(top, bottom) - t;
    if (w <= 0 || h <= 0 || text.empty())
        return;
    // The clip ends with the Q; the colours set inside it end there too.
    const State saved = m_state;
    m_out += "q ";
    point(l, t);
    point(w, h);
    m_out += "re W n\n";
    this->text(l, t + ascent(), text);
    m_out += "Q\n";
    m_state = saved;
}

void PdfCanvas::drawTextCentred(int left, int top, int right, int bottom, std::string_view text)
{
    const double l = std::min(left, right), t = std::min(top, bottom);
    const double w = std::max(left, right) - l, h = std::max(top, bottom) - t;
    const double lineTop = t + (h - (ascent() + descent())) / 2;
    this->text(l + (w - textWidth(text)) / 2, lineTop + ascent(), text);
}

void PdfCanvas::drawGlyph(int glyph, int x, int y, double scale, GlyphColor color)
{
    if (glyph == 0 || !(scale > 0) || !std::isfinite(scale))
        return;
    const std::string& form = m_res.glyphForm(glyph, scale);
    if (form.empty())
        return;
    flushLines();
    useFill(glyphInk(color));
    m_out += "q 1 0 0 1 ";
    point(x, y);
    m_out += "cm /";
    m_out += form;
    m_out += " Do Q\n";
}

void PdfCanvas::drawPicture(const Picture& picture, int x, int y, int width, int height)
{
    const auto* image = dynamic_cast<const QtImagePicture*>(&picture);
    if (!image || width <= 0 || height <= 0 || image->image().isNull())
        return;
    flushLines();
    const QImage rgb = image->image().convertToFormat(QImage::Format_RGB888);
    std::string bytes;
    const auto rowBytes = static_cast<std::size_t>(rgb.width()) * 3;
    bytes.reserve(rowBytes * static_cast<std::size_t>(rgb.height()));
    for (int row = 0; row < rgb.height(); ++row)
        bytes.append(reinterpret_cast<const char*>(rgb.constScanLine(row)), rowBytes);
    const std::string name = m_res.image(rgb.width(), rgb.height(), bytes);
    // The image's first row is its top: the unit square is turned to run downwards.
    m_out += "q ";
    num(width);
    m_out += "0 0 ";
    num(-height);
    point(x, y + height);
    m_out += "cm /" + name + " Do Q\n";
}

} // namespace tonvela
