#include "render/glyph_painter.h"

#include "drawing/canvas.h"
#include "editor/glyphs.h"
#include "editor/sheet_layout.h"

#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace tonvela {
namespace {

// Where Debian puts the music font; the font database is asked first.
constexpr const char* kMusicFontFiles[] = {
    "/usr/share/fonts/truetype/freefont/FreeSerif.ttf",
    "/usr/share/fonts/opentype/freefont/FreeSerif.otf",
};
constexpr const char* kBoldFontFiles[] = {
    "/usr/share/fonts/truetype/freefont/FreeSerifBold.ttf",
    "/usr/share/fonts/opentype/freefont/FreeSerifBold.otf",
};

QString loadFamily(const char* const* files, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (!QFile::exists(QString::fromLatin1(files[i])))
            continue;
        const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(files[i]));
        if (id < 0)
            continue;
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        if (!families.isEmpty())
            return families.front();
    }
    return {};
}

// A font glyph scaled so its outline spans `height` units from `top`, its left edge at `left`.
QPainterPath fitted(const QFont& font, char32_t codepoint, double left, double top, double height)
{
    QPainterPath raw;
    raw.addText(0, 0, font, QString::fromUcs4(&codepoint, 1));
    const QRectF b = raw.boundingRect();
    if (b.height() <= 0 || b.width() <= 0)
        return {};
    const double s = height / b.height();
    QTransform t;
    t.translate(left - b.left() * s, top - b.top() * s);
    t.scale(s, s);
    return t.map(raw);
}

QPainterPath ellipse(double cx, double cy, double rx, double ry, double degrees)
{
    QPainterPath p;
    p.addEllipse(QPointF(0, 0), rx, ry);
    QTransform t;
    t.translate(cx, cy);
    t.rotate(degrees);
    return t.map(p);
}

// Heads: filled, void (half) and whole, centred where the anchoring rules expect them.
constexpr double kHeadRx = 5.4, kHeadRy = 3.9, kHeadTilt = -20;
constexpr double kUpHeadX = kHeadUpX, kUpHeadY = kHeadUpY;
constexpr double kDownHeadX = kHeadDownX, kDownHeadY = kHeadDownY;

QPainterPath blackHead(double cx, double cy)
{
    return ellipse(cx, cy, kHeadRx, kHeadRy, kHeadTilt);
}

QPainterPath voidHead(double cx, double cy)
{
    QPainterPath p = ellipse(cx, cy, kHeadRx, kHeadRy, kHeadTilt);
    p.addPath(ellipse(cx, cy, 4.3, 1.9, -35));
    p.setFillRule(Qt::OddEvenFill);
    return p;
}

QPainterPath wholeHead()
{
    QPainterPath p = ellipse(kWholeHeadX, kWholeHeadY, kWholeHeadHalfWidth, kHeadHalfHeight, 0);
    p.addPath(ellipse(kWholeHeadX, kWholeHeadY, 3.3, 2.5, 55));
    p.setFillRule(Qt::OddEvenFill);
    return p;
}

// A cross head centred at (cx, cy): two strokes from corner to corner of the head's box, with
// a ring round them for the void heads of half and whole notes.
QPainterPath crossHead(double cx, double cy, bool ringed)
{
    const double rx = ringed ? 3.3 : kHeadHalfWidth - 0.9, ry = ringed ? 3.3 : kHeadHalfHeight - 0.5;
    QPainterPath strokes;
    strokes.moveTo(cx - rx, cy - ry);
    strokes.lineTo(cx + rx, cy + ry);
    strokes.moveTo(cx - rx, cy + ry);
    strokes.lineTo(cx + rx, cy - ry);
    QPainterPathStroker pen;
    pen.setWidth(1.3);
    pen.setCapStyle(Qt::FlatCap);
    QPainterPath p = pen.createStroke(strokes);
    if (ringed) {
        QPainterPath ring = ellipse(cx, cy, kHeadHalfHeight + 0.6, kHeadHalfHeight + 0.6, 0);
        ring.addPath(ellipse(cx, cy, kHeadHalfHeight - 0.4, kHeadHalfHeight - 0.4, 0));
        ring.setFillRule(Qt::OddEvenFill);
        p = p.united(ring);
    }
    p.setFillRule(Qt::WindingFill);
    return p.simplified();
}

// One flag hanging from a stem top at (12, top) (up stems) or rising from a stem end at
// (3, bottom) (down stems).
QPainterPath flagUp(double top)
{
    QPainterPath p;
    p.moveTo(11.5, top);
    p.lineTo(12.9, top);
    p.cubicTo(13.6, top + 5.5, 21.0, top + 8.5, 17.6, top + 18.5);
    p.cubicTo(18.6, top + 11.5, 14.0, top + 8.5, 11.5, top + 6.0);
    p.closeSubpath();
    return p;
}

QPainterPath flagDown(double bottom)
{
    QPainterPath p;
    p.moveTo(2.5, bottom);
    p.lineTo(3.9, bottom);
    p.cubicTo(4.6, bottom - 5.5, 12.0, bottom - 8.5, 8.6, bottom - 18.5);
    p.cubicTo(9.6, bottom - 11.5, 5.0, bottom - 8.5, 2.5, bottom - 6.0);
    p.closeSubpath();
    return p;
}

struct GlyphShapes {
    std::map<int, QPainterPath> paths;
};

// Note glyphs: head, stem (drawn separately so it stays one device pixel wide at least) and
// flags.
struct NoteShape {
    int flags = 0;
    bool filled = true;
    bool down = false;
    bool whole = false;
    bool flagsOnly = false; // the flags without head and stem
    bool headOnly = false;  // the head without stem and flags
    bool cross = false;     // a cross head (ringed for half and whole notes)
};

bool plainNoteShape(int glyph, NoteShape& s);

bool noteShape(int glyph, NoteShape& s)
{
    if (glyph != crossHeadGlyph(glyph - kCrossHeadOffset))
        return plainNoteShape(glyph, s);
    if (!plainNoteShape(glyph - kCrossHeadOffset, s))
        return false;
    s.cross = true;
    return true;
}

bool plainNoteShape(int glyph, NoteShape& s)
{
    switch (glyph) {
    case kGlyphWholeNote:
        s = {0, false, false, true};
        return true;
    case kGlyphHalfUp:
        s = {0, false, false, false};
        return true;
    case kGlyphHalfDown:
        s = {0, false, true, false};
        return true;
    case kGlyphQuarterUp:
        s = {0, true, false, false};
        return true;
    case kGlyphQuarterDown:
        s = {0, true, true, false};
        return true;
    case kGlyphEighthUp:
        s = {1, true, false, false};
        return true;
    case kGlyphEighthDown:
        s = {1, true, true, false};
        return true;
    case kGlyphSixteenthUp:
        s = {2, true, false, false};
        return true;
    case kGlyphSixteenthDown:
        s = {2, true, true, false};
        return true;
    case kGlyphThirtySecondUp:
        s = {3, true, false, false};
        return true;
    case kGlyphThirtySecondDown:
        s = {3, true, true, false};
        return true;
    case kGlyphFlagsUp1:
    case kGlyphFlagsUp2:
    case kGlyphFlagsUp3:
        s = {glyph - kGlyphFlagsUp1 + 1, true, false, false, true};
        return true;
    case kGlyphFlagsDown1:
    case kGlyphFlagsDown2:
    case kGlyphFlagsDown3:
        s = {glyph - kGlyphFlagsDown1 + 1, true, true, false, true};
        return true;
    case kGlyphBlackHeadUp:
        s = {0, true, false, false, false, true};
        return true;
    case kGlyphBlackHeadDown:
        s = {0, true, true, false, false, true};
        return true;
    case kGlyphVoidHeadUp:
        s = {0, false, false, false, false, true};
        return true;
    case kGlyphVoidHeadDown:
        s = {0, false, true, false, false, true};
        return true;
    default:
        return false;
    }
}

const GlyphShapes& shapes()
{
    static const GlyphShapes kShapes = [] {
        GlyphShapes g;
        QString family = loadFamily(kMusicFontFiles, std::size(kMusicFontFiles));
        QString bold = loadFamily(kBoldFontFiles, std::size(kBoldFontFiles));
        if (family.isEmpty())
            family = QStringLiteral("FreeSerif");
        if (bold.isEmpty())
            bold = family;
        QFont music(family);
        music.setPixelSize(100);
        QFont digits(bold);
        digits.setPixelSize(100);
        digits.setBold(true);

        auto& p = g.paths;
        p[kGlyphGClef] = fitted(music, U'\U0001D11E', 0, -1, 62);
        p[kGlyphFClef] = fitted(music, U'\U0001D122', 0, 0.5, 27);
        p[kGlyphSharp] = fitted(music, U'\u266F', 0, -1, 22);
        p[kGlyphNatural] = fitted(music, U'\u266E', 1, -1, 22);
        p[kGlyphFlat] = fitted(music, U'\u266D', 0.5, -3, 20);
        p[kGlyphQuarterRest] = fitted(music, U'\U0001D13D', 1, 0, 27);
        p[kGlyphEighthRest] = fitted(music, U'\U0001D13E', 1, -1, 17);
        p[kGlyphSixteenthRest] = fitted(music, U'\U0001D13F', 1, 3, 26);
        p[kGlyphThirtySecondRest] = fitted(music, U'\U0001D140', 1, 0, 35);
        p[kGlyphCommonTime] = fitted(music, U'\U0001D134', 0, 7, 18);
        p[kGlyphCutTime] = fitted(music, U'\U0001D135', 0, 3, 26);
        const std::pair<int, char32_t> digitGlyphs[] = {
            {kGlyphDigit1, U'1'}, {kGlyphDigit2, U'2'}, {kGlyphDigit3, U'3'},
            {kGlyphDigit4, U'4'}, {kGlyphDigit5, U'5'}, {kGlyphDigit6, U'6'},
            {kGlyphDigit7, U'7'}, {kGlyphDigit8, U'8'}, {kGlyphDigit9, U'9'},
        };
        for (const auto& [id, ch] : digitGlyphs)
            p[id] = fitted(digits, ch, 0, 0, 16);
        p[kGlyphClefOctave] = fitted(digits, U'8', 0, 0, 9);

        // Half a space high: the half rest sits on the middle line, the whole rest hangs from
        // the line above (drawn 13 and 17 units below the top line).
        QPainterPath halfRest;
        halfRest.addRect(QRectF(0, 0.5, 11, 4.5));
        p[kGlyphHalfRest] = halfRest;
        QPainterPath wholeRest;
        wholeRest.addRect(QRectF(0, -8, 11, 4.5));
        p[kGlyphWholeRest] = wholeRest;
        QPainterPath perc;
        perc.addRect(QRectF(0, -2, 3, 18));
        perc.addRect(QRectF(6, -2, 3, 18));
        p[kGlyphPercussionClef] = perc;
        QPainterPath dot;
        dot.addEllipse(QPointF(2.5, 3.5), 2.0, 2.0);
        p[kGlyphDot] = dot;

        QPainterPath clip; // a loudspeaker with two sound waves
        clip.addRect(QRectF(1, 6, 5, 6));
        QPainterPath cone;
        cone.moveTo(6, 6);
        cone.lineTo(12, 1);
        cone.lineTo(12, 17);
        cone.lineTo(6, 12);
        cone.closeSubpath();
        clip.addPath(cone);
        for (double r : {4.0, 7.5}) {
            QPainterPath wave;
            wave.arcMoveTo(QRectF(12 - r, 9 - r, 2 * r, 2 * r), -50);
            wave.arcTo(QRectF(12 - r, 9 - r, 2 * r, 2 * r), -50, 100);
            QPainterPathStroker stroker;
            stroker.setWidth(1.4);
            clip.addPath(stroker.createStroke(wave));
        }
        clip.setFillRule(Qt::WindingFill);
        p[kGlyphAudioClip] = clip;
        return g;
    }();
    return kShapes;
}

// One part of a note glyph: an outline, or the stem, an upright bar kept at least one device
// pixel (or PDF unit) wide.
struct GlyphPart {
    QPainterPath path;
    QRectF stem;
    bool isStem = false;
};

std::vector<GlyphPart> noteParts(const NoteShape& s)
{
    // The stem is a solid upright bar, 3.5 staff spaces from the head centre to its tip, half a
    // space more for each flag past two so the flags keep clear of the head; the flags hang
    // from the tip.
    const double w = kStemWeight * kStaffSpacing;
    const double longer = std::max(0, s.flags - 2) * kExtraFlagStem;
    const double upTip = kStemUpTipY - longer, downTip = kStemDownTipY + longer;
    std::vector<GlyphPart> parts;
    const auto outline = [&parts](QPainterPath p) { parts.push_back({std::move(p), {}, false}); };
    const auto stem = [&parts](const QRectF& r) { parts.push_back({{}, r, true}); };
    const auto head = [&s](double cx, double cy) {
        if (s.cross)
            return crossHead(cx, cy, !s.filled);
        return s.filled ? blackHead(cx, cy) : voidHead(cx, cy);
    };
    if (s.whole) {
        outline(s.cross ? crossHead(kWholeHeadX, kWholeHeadY, true) : wholeHead());
    } else if (s.down) {
        if (!s.flagsOnly) {
            outline(head(kDownHeadX, kDownHeadY));
            if (!s.headOnly)
                stem(QRectF(kStemDownX - w / 2, kHeadDownY + 0.5, w, downTip - kHeadDownY - 0.5));
        }
        for (int f = 0; f < s.flags; ++f)
            outline(flagDown(downTip + 0.5 - 5.5 * f));
    } else {
        if (!s.flagsOnly) {
            outline(head(kUpHeadX, kUpHeadY));
            if (!s.headOnly)
                stem(QRectF(kStemUpX - w / 2, upTip, w, kHeadUpY - 0.5 - upTip));
        }
        for (int f = 0; f < s.flags; ++f)
            outline(flagUp(upTip - 0.5 + 5.5 * f));
    }
    return parts;
}

void paintNote(QPainter& painter, const NoteShape& s, const QColor& color)
{
    // A stem lands on whole device pixels.
    for (const GlyphPart& part : noteParts(s)) {
        if (!part.isStem)
            painter.fillPath(part.path, color);
        else
            painter.fillRect(pixelAligned(painter, part.stem), color);
    }
}

// The glyph's parts at the painter's current transform.
void paintParts(QPainter& painter, int glyph, const QColor& color)
{
    NoteShape note;
    if (noteShape(glyph, note)) {
        paintNote(painter, note, color);
    } else {
        const auto& paths = shapes().paths;
        const auto it = paths.find(glyph);
        if (it != paths.end())
            painter.fillPath(it->second, color);
    }
}

// Twice the signed area of a closed polygon; positive for contours that run as
// QPainterPath::addRect runs its corners.
double signedArea(const QPolygonF& p)
{
    double twice = 0;
    for (qsizetype i = 0; i < p.size(); ++i) {
        const QPointF a = p[i], b = p[(i + 1) % p.size()];
        twice += a.x() * b.y() - b.x() * a.y();
    }
    return twice;
}

std::vector<QPainterPath> subpaths(const QPainterPath& path)
{
    std::vector<QPainterPath> out;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo() || out.empty()) {
            out.emplace_back();
            out.back().moveTo(e);
        } else if (e.isLineTo()) {
            out.back().lineTo(e);
        } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
            out.back().cubicTo(e, path.elementAt(i + 1), path.elementAt(i + 2));
            i += 2;
        }
    }
    return out;
}

// The same shape filled by the winding rule, with its outer contours running as a rectangle
// does and its holes the other way round, so many glyphs can be filled as one path: where two
// overlap (the stems of a chord, a stem across a head) their windings add up and nothing is
// cut out, while a hole inside one glyph stays open. A shape drawn by the winding rule already
// keeps its contours' directions, turned as a whole when its largest contour runs backwards.
QPainterPath windingOutline(const QPainterPath& path)
{
    const std::vector<QPainterPath> subs = subpaths(path);
    std::vector<QPolygonF> polygons;
    for (const QPainterPath& sub : subs)
        polygons.push_back(sub.toFillPolygon());
    QPainterPath out;
    out.setFillRule(Qt::WindingFill);
    if (path.fillRule() == Qt::WindingFill) {
        double largest = 0;
        for (const QPolygonF& p : polygons)
            if (std::abs(signedArea(p)) > std::abs(largest))
                largest = signedArea(p);
        out.addPath(largest < 0 ? path.toReversed() : path);
        out.setFillRule(Qt::WindingFill);
        return out;
    }
    for (std::size_t i = 0; i < subs.size(); ++i) {
        if (polygons[i].isEmpty())
            continue;
        // Inside an even number of the other contours it bounds ink, inside an odd one a hole.
        int depth = 0;
        for (std::size_t j = 0; j < subs.size(); ++j)
            if (j != i && polygons[j].containsPoint(polygons[i].front(), Qt::OddEvenFill))
                ++depth;
        const bool forwards = signedArea(polygons[i]) > 0;
        out.addPath(forwards == (depth % 2 == 0) ? subs[i] : subs[i].toReversed());
    }
    out.setFillRule(Qt::WindingFill);
    return out;
}

// Every glyph's parts prepared for PDF pages, built once.
const std::map<int, std::vector<GlyphPart>>& pdfParts()
{
    static const std::map<int, std::vector<GlyphPart>> kParts = [] {
        std::map<int, std::vector<GlyphPart>> all;
        for (const auto& [id, path] : shapes().paths)
            all[id] = {GlyphPart{windingOutline(path), {}, false}};
        std::vector<int> noteIds;
        for (int id = kGlyphWholeNote; id <= kGlyphFlagsDown3; ++id)
            noteIds.push_back(id);
        for (int id = kGlyphBlackHeadUp; id <= kGlyphVoidHeadDown; ++id)
            noteIds.push_back(id);
        for (std::size_t k = 0, plain = noteIds.size(); k < plain; ++k)
            noteIds.push_back(crossHeadGlyph(noteIds[k]));
        for (const int id : noteIds) {
            NoteShape s;
            if (!noteShape(id, s))
                continue;
            std::vector<GlyphPart> parts = noteParts(s);
            for (GlyphPart& part : parts)
                if (!part.isStem)
                    part.path = windingOutline(part.path);
            all[id] = std::move(parts);
        }
        return all;
    }();
    return kParts;
}

// True when the painter draws a PDF page.
bool onPdfPage(const QPainter& painter)
{
    const QPaintEngine* engine = painter.paintEngine();
    return engine && engine->type() == QPaintEngine::Pdf;
}

} // namespace

QPainterPath glyphOutline(int glyph, double scale)
{
    QPainterPath outline;
    outline.setFillRule(Qt::WindingFill);
    const auto& all = pdfParts();
    const auto it = all.find(glyph);
    if (it == all.end())
        return outline;
    const auto u = [scale](double v) { return std::round(v * scale); };
    const auto at = [&](const QPointF& p) { return QPointF(u(p.x()), u(p.y())); };
    for (const GlyphPart& part : it->second) {
        if (part.isStem) {
            // At least a unit wide, as a stem on the screen is a pixel wide at least.
            const QRectF& r = part.stem;
            const double right = std::max(u(r.right()), u(r.left()) + 1);
            outline.addRect(QRectF(QPointF(u(r.left()), u(r.top())), QPointF(right, u(r.bottom()))));
            continue;
        }
        const QPainterPath& p = part.path;
        for (int i = 0; i < p.elementCount(); ++i) {
            const QPainterPath::Element e = p.elementAt(i);
            if (e.isMoveTo()) {
                outline.moveTo(at(e));
            } else if (e.isLineTo()) {
                outline.lineTo(at(e));
            } else if (e.isCurveTo() && i + 2 < p.elementCount()) {
                outline.cubicTo(at(e), at(p.elementAt(i + 1)), at(p.elementAt(i + 2)));
                i += 2;
            }
        }
    }
    return outline;
}

QRectF pixelAligned(const QPainter& painter, const QRectF& rect)
{
    const QTransform t = painter.deviceTransform();
    if (!t.isInvertible() || t.type() > QTransform::TxScale)
        return rect;
    const QRectF device = t.mapRect(rect);
    const auto [left, right] = snapToWholeUnits(device.left(), device.right());
    const auto [top, bottom] = snapToWholeUnits(device.top(), device.bottom());
    return t.inverted().mapRect(QRectF(QPointF(left, top), QPointF(right, bottom)));
}

void paintGlyph(QPainter& painter, int glyph, double x, double y, double scale, const QColor& color)
{
    if (glyph == 0 || !(scale > 0))
        return;
    if (onPdfPage(painter)) {
        // No save and restore here: on a PDF page each writes the whole graphics state out.
        // The transform is put back; pen, brush and antialiasing stay as the glyph set them.
        const QTransform before = painter.worldTransform();
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.translate(x, y);
        // Filled and traced with a hairline of its colour, pen and brush set once.
        painter.setPen(QPen(color, 0.1));
        painter.setBrush(color);
        // A page draws the same few glyphs at one scale over and over: their outlines are kept.
        thread_local std::map<std::pair<int, double>, QPainterPath> outlines;
        if (outlines.size() > 256)
            outlines.clear();
        auto [it, added] = outlines.try_emplace({glyph, scale});
        if (added)
            it->second = glyphOutline(glyph, scale);
        painter.drawPath(it->second);
        painter.setWorldTransform(before);
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.translate(x, y);
    painter.scale(scale, scale);
    paintParts(painter, glyph, color);
    painter.restore();
}

} // namespace tonvela
