#include "harmony/chord_diagram_drawing.h"

#include "harmony/chord_document.h"

#include <algorithm>
#include <string>

namespace tonvela {
namespace {

constexpr int kStrings = 6;
constexpr int kGridRows = 6;
constexpr int kStringStep = 20;
constexpr int kNutOffset = 15;     // the nut and the strings' top, below the origin
constexpr int kStringBottom = 165; // the strings' lower end, below the origin
constexpr int kNeckWidth = 100;

// The look of a normal and of a selected diagram: a selected one is drawn white on its black
// box, with black digits in its white circles.
struct DiagramColours {
    Color ink;
    Color digits;
};

DiagramColours coloursFor(bool selected)
{
    return selected ? DiagramColours{kWhite, kBlack} : DiagramColours{kBlack, kWhite};
}

void drawFretRows(Canvas& canvas, const FingeringGrid& grid, int x, int y, const DiagramColours& c)
{
    const Pen pen{PenStyle::Solid, 1, c.ink};
    for (int k = 1; k < kGridRows; ++k) {
        const int row = y + kChordFretRowStep * k;
        for (int j = 0; j < kStrings; ++j) {
            const char cell = grid[static_cast<std::size_t>(k)][static_cast<std::size_t>(j)];
            const int left = x - 10 + kStringStep * j;
            // A muted string has no place on a fret row, and an open one ('0') no circle there;
            // a blank cell shows nothing.
            if (cell == ' ' || cell == 'X' || cell == '0')
                continue;
            canvas.setPen(pen);
            canvas.setBrush(c.ink);
            canvas.drawEllipse(left, row - 9, left + 20, row + 12);
            // '_' is a plain dot: no finger number.
            if (cell != '_') {
                canvas.setFont(kChordFretFont);
                canvas.setTextColor(c.digits);
                canvas.drawText(left + 6, row - 8, std::string(1, cell));
            }
        }
        canvas.setPen(pen);
        canvas.drawLine(x, row + 15, x + kNeckWidth, row + 15);
    }
}

} // namespace

FingeringGrid expandFingering(std::string_view fingering)
{
    FingeringGrid grid;
    for (auto& row : grid)
        row.fill(' ');
    for (std::size_t i = 0; i + 2 < fingering.size(); i += 3) {
        const int string = fingering[i] - '0';
        const int row = fingering[i + 1] - '0';
        if (string < 1 || string > kStrings || row < 1 || row > kGridRows)
            continue;
        grid[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(kStrings - string)] =
            fingering[i + 2];
    }
    return grid;
}

void drawChordDiagram(Canvas& canvas, const ChordDiagram& diagram, int x, int y, bool selected)
{
    const FingeringGrid grid = expandFingering(diagram.fingering);
    const DiagramColours c = coloursFor(selected);

    canvas.setFont(kChordLabelFont);
    canvas.setTextColor(c.ink);
    canvas.drawTextCentred(x - 10, y - 20, x + 110, y, diagram.label);
    if (diagram.startFret != 1) {
        canvas.setFont(kChordFretFont);
        canvas.drawTextCentred(x + 55, y + 5, x + 175, y + 25, std::to_string(diagram.startFret));
    }

    canvas.setPen({PenStyle::Solid, kChordNutWidth, c.ink});
    canvas.drawLine(x + 1, y + kNutOffset, x + kNeckWidth - 1, y + kNutOffset);

    for (int i = 0; i < kStrings; ++i) {
        const bool muted = grid[0][static_cast<std::size_t>(i)] == 'X';
        canvas.setPen(muted ? Pen{PenStyle::Dotted, 1, kMutedStringGrey} : Pen{PenStyle::Solid, 1, c.ink});
        canvas.drawLine(x + kStringStep * i, y + kNutOffset, x + kStringStep * i, y + kStringBottom);
    }
    drawFretRows(canvas, grid, x, y, c);
}

void drawChordPage(Canvas& canvas, const ChordDocument& doc)
{
    const ChordPageState& page = doc.page();
    canvas.fillRect(0, 0, canvas.width(), canvas.height(), kWhite);
    const int first = page.rowsPerColumn * std::max(page.scrollPos, 0);
    // Diagrams scrolled out to the left have no place on the page.
    if (const ChordDiagram* hovered = doc.diagramAt(page.hovered); hovered && page.hovered >= first) {
        canvas.setPen({PenStyle::Solid, 1, kRed});
        canvas.setNoBrush();
        canvas.drawRect(hovered->boxLeft + 1, hovered->boxTop + 1, hovered->boxRight - 1,
                        hovered->boxBottom - 1);
    }
    for (int i = first; i < doc.diagramCount(); ++i) {
        const ChordDiagram& d = *doc.diagramAt(i);
        if (d.boxLeft >= canvas.width())
            break; // this and every later diagram lie beyond the right edge
        if (d.selected) {
            canvas.setPen({PenStyle::Solid, 1, kRed});
            canvas.setBrush(kBlack);
            canvas.drawRect(d.boxLeft, d.boxTop, d.boxRight, d.boxBottom);
        }
        drawChordDiagram(canvas, d, d.originX, d.originY, d.selected != 0);
    }
}

void drawChordDiagramColumns(Canvas& canvas, const ChordDocument& doc, int first, int count,
                             int rowsPerColumn)
{
    const int rows = std::max(rowsPerColumn, 1);
    for (int k = 0; k < count; ++k) {
        const ChordDiagram* d = doc.diagramAt(first + k);
        if (!d)
            break;
        drawChordDiagram(canvas, *d, kChordPageMargin + kChordColumnStep * (k / rows),
                         kChordPageMargin + kChordRowStep * (k % rows), false);
    }
}

} // namespace tonvela
