#include "editor/chord_symbol_marks.h"

#include "editor/lyric_spacing.h"

#include <cmath>

namespace tonvela {
namespace {
constexpr int kSymbolHeight = 15; // cell height at zoom 1
constexpr int kSymbolGap = 8;     // least room after a symbol, sheet units
constexpr int kSymbolRise = 36;
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
