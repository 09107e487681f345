#pragma once

#include <QColor>
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

// The rectangle (in the painter's coordinates) moved onto whole device pixels, at least one
// pixel wide and high, so a thin upright stroke is drawn solid and sharp rather than as a
// grey blur across two pixels. A painter that rotates or shears keeps the rectangle as it is.
QRectF pixelAligned(const QPainter& painter, const QRectF& rect);

} // namespace tonvela
