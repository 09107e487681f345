#pragma once

// How chord symbols stand above a staff: their font, the room a symbol needs before the next
// note (layout gives a root at least that much, as it does for a syllable), and how high above
// the staff's top line they are written.

#include "drawing/canvas.h"

#include <string_view>

namespace tonvela {

class SheetDocument;

// The font chord symbols are drawn in at a zoom (device height).
Font chordSymbolFont(float zoom);

// The room, in sheet units, a symbol needs before the next one at the zoom: its width and a
// gap, so two symbols on neighbouring notes never run into each other.
int chordSymbolRoom(std::string_view text, float zoom);

// How far above a row's top staff line the top of a chord symbol's text lies, sheet units:
// clear of the measure number and of notes on the first ledger lines above the staff.
int chordSymbolRise(const SheetDocument& sheet);

// The distance between the tops of two staff rows for the sheet: rows part further while
// the sheet shows chord diagrams, so a diagram never meets the row above.
int rowPitchOf(const SheetDocument& sheet);

// A small guitar diagram of a chord symbol, as lead sheets set them over the name: its left
// edge at device x `left`, its lowest part (the last fret line) at device y `bottom`, drawn at
// `zoom`. Six strings (the lowest on the left), four fret rows from the shape's start fret
// (its number beside the first row when it is not 1; a thick nut when it is), a dot on every
// fretted string, "o" above an open and "x" above a muted string. The fingering is the chord
// library's (harmony/guitar_library.h).
void drawSymbolDiagram(Canvas& canvas, std::string_view fingering, int startFret, int left, int bottom,
                       float zoom);
// How far a diagram reaches above the top of its symbol's text, sheet units.
inline constexpr int kSymbolDiagramRise = 34;

} // namespace tonvela
