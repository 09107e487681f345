#include "editor/chord_symbol_marks.h"

#include "editor/lyric_spacing.h"
#include "editor/sheet_layout.h"
#include "harmony/chord_diagram_drawing.h"
#include "score/sheet_document.h"

#include <algorithm>

#include <cmath>

namespace tonvela {
namespace {
constexpr int kSymbolHeight = 15; // cell height at zoom 1
constexpr int kSymbolGap = 8;     // least room after a symbol, sheet units
constexpr int kSymbolRise = 36;
// The room rows take more while diagrams show.
constexpr int kDiagramBand = 52;
// The diagram's grid, sheet units.
constexpr double kStringGap = 5;
constexpr double kFretGap = 5;
constexpr int kFretRows = 4;
} // namespace

Font chordSymbolFont(float zoom)
{
    return {std::max(1, static_cast<int>(static_cast<float>(kSymbolHeight) * zoom)), true};
}

int chordSymbolRoom(std::string_view text, float zoom)
{
    if (text.empty() || zoom <= 0)
        return 0;
    const int device = lyricTextWidth(text, chordSymbolFont(zoom));
    return static_cast<int>(std::ceil(static_cast<double>(device + 1) / zoom)) + kSymbolGap;
}

int chordSymbolRise(const SheetDocument&)
{
    return kSymbolRise;
}

} // namespace tonvela

namespace tonvela {

int rowPitchOf(const SheetDocument& sheet)
{
    return sheet.chordDiagrams ? kRowPitch + kDiagramBand : kRowPitch;
}

void drawSymbolDiagram(Canvas& canvas, std::string_view fingering, int startFret, int left, int bottom,
                       float zoom)
{
    const double z = zoom;
    const FingeringGrid grid = expandFingering(fingering);
    const double x0 = left;
    const double top = bottom - kFretRows * kFretGap * z;
    const double right = x0 + 5 * kStringGap * z;
    const Pen thin{PenStyle::Solid, std::max(0.5, 0.6 * z), kBlack};
    canvas.setPen(thin);
    for (int s = 0; s < 6; ++s) {
        const int x = static_cast<int>(std::lround(x0 + s * kStringGap * z));
        canvas.drawLine(x, static_cast<int>(std::lround(top)), x, bottom);
    }
    for (int f = 0; f <= kFretRows; ++f) {
        const int y = static_cast<int>(std::lround(top + f * kFretGap * z));
        canvas.drawLine(static_cast<int>(std::lround(x0)), y, static_cast<int>(std::lround(right)), y);
    }
    if (startFret <= 1) {
        const PointF nut[4] = {{x0, top - 1.6 * z}, {right, top - 1.6 * z}, {right, top}, {x0, top}};
        canvas.fillPolygon(nut, kBlack);
    } else {
        canvas.setFont({std::max(1, static_cast<int>(9 * z)), false});
        canvas.setTextColor(kBlack);
        canvas.drawText(static_cast<int>(std::lround(right + 2 * z)),
                        static_cast<int>(std::lround(top - 1 * z)), std::to_string(startFret));
    }
    canvas.setBrush(kBlack);
    canvas.setFont({std::max(1, static_cast<int>(8 * z)), false});
    canvas.setTextColor(kBlack);
    for (int column = 0; column < 6; ++column) {
        const double cx = x0 + column * kStringGap * z;
        const char nutCell = grid[0][static_cast<std::size_t>(column)];
        bool fretted = false;
        for (int r = 1; r <= kFretRows + 1 && r < 6; ++r) {
            const char c = grid[static_cast<std::size_t>(r)][static_cast<std::size_t>(column)];
            if (c == ' ' || c == 'X' || c == '0' || r > kFretRows)
                continue;
            fretted = true;
            const double cy = top + (r - 0.5) * kFretGap * z;
            const double radius = 1.9 * z;
            canvas.drawEllipse(static_cast<int>(std::lround(cx - radius)),
                               static_cast<int>(std::lround(cy - radius)),
                               static_cast<int>(std::lround(cx + radius)) + 1,
                               static_cast<int>(std::lround(cy + radius)) + 1);
        }
        // Above the nut: x for a muted string, o for an open one.
        const int markY = static_cast<int>(std::lround(top - 9.5 * z));
        const int markX = static_cast<int>(std::lround(cx - 2 * z));
        if (nutCell == 'X')
            canvas.drawText(markX, markY, "x");
        else if (!fretted)
            canvas.drawText(markX, markY, "o");
    }
}

} // namespace tonvela
