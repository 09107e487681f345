#pragma once

#include "drawing/canvas.h"

#include <array>
#include <string_view>

namespace tonvela {

class ChordDocument;
struct ChordDiagram;

// The fingering as a diagram shows it: six rows (row 0 at the nut, rows 1..5 the fret rows of
// the diagram) by six columns (column 0 the lowest string, column 5 the highest), each cell
// the finger character of its triple or a blank. Triples that name no string 1..6 or no row
// 1..6 are left out.
using FingeringGrid = std::array<std::array<char, 6>, 6>;
FingeringGrid expandFingering(std::string_view fingering);

// The drawing tools of the diagrams at scale 1.
inline constexpr Font kChordLabelFont{30, true};
inline constexpr Font kChordFretFont{20, true};
inline constexpr Color kMutedStringGrey{34, 34, 34};
inline constexpr int kChordNutWidth = 4;
// Fret rows: the first 28 below the origin, 28 apart.
inline constexpr int kChordFretRowStep = 28;

// Draws one diagram with its origin at (x, y): the label above, the start fret to the right
// of the first fret row when it is not 1, the nut, six strings (a muted one dotted), five fret
// rows with a filled circle and the finger digit on every fingered cell. A selected diagram is
// drawn white, for the black box the page puts under it.
void drawChordDiagram(Canvas& canvas, const ChordDiagram& diagram, int x, int y, bool selected);

// The page as the chord document's window shows it: white, the red frame of the diagram under
// the pointer, then every diagram from the first visible column at the place the last layout
// gave it, a selected one on its black box with a red edge.
void drawChordPage(Canvas& canvas, const ChordDocument& doc);

// Diagrams [first, first + count) of the document in columns of `rowsPerColumn`, starting at
// the page's first origin, all in their normal look: a page of the printed chord document.
void drawChordDiagramColumns(Canvas& canvas, const ChordDocument& doc, int first, int count,
                             int rowsPerColumn);

} // namespace tonvela
