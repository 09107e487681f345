#include "harmony/chord_symbol_shapes.h"

#include "harmony/chord_diagram_drawing.h"
#include "harmony/guitar_library.h"
#include "score/export_formats.h"
#include "score/lilypond_export.h"

#include <filesystem>

namespace tonvela {

std::optional<std::string> lilypondFretDiagram(const ChordSymbol& symbol)
{
    const GuitarChordEntry* shape = guitarShapeForChordSymbol(symbol);
    if (!shape)
        return std::nullopt;
    const FingeringGrid grid = expandFingering(shape->fingering);
    std::string out;
    // Column 0 of the grid is the lowest string, as LilyPond lists them.
    for (std::size_t column = 0; column < 6; ++column) {
        int row = -1;
        for (int r = 5; r >= 0 && row < 0; --r) {
            const char c = grid[static_cast<std::size_t>(r)][column];
            if (c != ' ' && c != 'X')
                row = r;
        }
        if (grid[0][column] == 'X' || row < 0)
            out += "x";
        else if (row == 0)
            out += "o";
        else
            out += std::to_string(shape->startFret + row - 1);
        out += ';';
    }
    return out;
}

void addHarmonyExportFormats(ExportFormats& formats)
{
    formats.add({"LilyPond", kLilypondExtension, kLilypondFilter, false,
                 [](SheetDocument& sheet, const std::string& path, const ExportOptions&) {
                     return exportLilypond(sheet, std::filesystem::path(path).filename().string(), path,
                                           &lilypondFretDiagram);
                 }});
}

} // namespace tonvela
