#pragma once

#include <QColor>
#include <QPainterPath>
#include <QRectF>

class QPainter;

namespace tonvela {

// Draws the glyphs of the glyph sheet with QPainter: clefs, accidentals, rests and time
// signature digits from the music symbols of FreeSerif, fitted to fixed boxes; note heads,
// stems and flags as vector shapes. Every glyph keeps the anchoring documented in
// editor/glyphs.h, at every scale.
//
// Thread rules: the shapes are built once on first use (a QGuiApplication must exist by
// then) and are read-only afterwards, so any thread may draw.
void paintGlyph(QPainter& painter, int glyph, double x, double y, double scale, const QColor& color);

// A glyph's whole outline for a printed page, scaled to the page's device units (a
// six-hundredth of an inch on a file printout) and rounded, to be filled by the winding rule:
// every instance of a glyph at one zoom is the same few short numbers, quick to write and to
// compress, and a glyph is one fill however many parts (head, stem, flags) it has. Empty for a
// glyph without a shape.
QPainterPath glyphOutline(int glyph, double scale);

// The rectangle (in the painter's coordinates) moved onto whole device pixels, at least one
// pixel wide and high, so a thin upright stroke is drawn solid and sharp rather than as a
// grey blur across two pixels. A painter that rotates or shears keeps the rectangle as it is.
QRectF pixelAligned(const QPainter& painter, const QRectF& rect);

} // namespace tonvela
