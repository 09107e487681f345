#pragma once

#include <QColor>
#include <QIcon>
#include <QRectF>

class QPainter;

namespace tonvela {

// Pictures of the note and edit toolbars' tools, drawn with the sheet's glyphs: the durations as
// notes with their stems up, Rest as a quarter rest, Dot, Sharp, Flat and Natural as their signs,
// Tie as the sheet's tie between two heads, Triplet as the music font's "3", Voice 2 as a quarter
// with its stem down beside a "2", and the marker tools as a bit of staff (Bar with a bar line,
// Space with the room it makes, Staff Break with the staff ending and going on below, Lyrics with
// a syllable under a note).
//
// The pictures are vector drawings fitted into the box at whatever size the device asks for, so
// they stay sharp at every screen scale: the straight lines fall on whole device pixels.

// Draws the picture of `tool` (a command id of commands.h) fitted into `box` (the painter's
// coordinates) in `ink`; false, drawing nothing, for ids without a picture.
bool paintToolPicture(QPainter& painter, int tool, const QRectF& box, const QColor& ink);

// Whether `tool` has a picture.
bool hasToolPicture(int tool);

// An icon of the tool's picture, drawn afresh for every size and device pixel ratio asked of
// it: black, grey while disabled, and for a checked button (the On state) in the highlight
// colour the sheet selects with, so a pressed tool shows as plainly as its sunken button does.
// A null icon for ids without a picture.
QIcon toolIcon(int tool);

} // namespace tonvela
