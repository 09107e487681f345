// Drawing the triplet marks that tuplet_marks.h finds.

#include "editor/glyphs.h"
#include "editor/sheet_drawing.h"
#include "editor/tuplet_marks.h"

namespace tonvela {
namespace {

// The "3" is the time signature's digit at this size: some ten units high, six wide.
constexpr double kNumberScale = 0.6;
constexpr int kNumberWidth = 6;
constexpr int kNumberHeight = 10;
// Room between the notes' edge and the number; the bracket's line runs through the number's
// middle and its hooks are this long.
constexpr int kNumberGap = 3;
constexpr int kHook = 4;

} // namespace

void SheetDrawing::drawTuplets(const Track& t, int track, int from, int to)
{
    const TrackLayout* lay = m_layout.track(track);
    if (!lay)
        return;
    const float z = m_view.zoom();
    for (const TupletMark& m : tupletMarks(t, *lay, from, to)) {
        const int mid = (m.left + m.right) / 2;
        const int numberTop = m.above ? m.edge - kNumberGap - kNumberHeight : m.edge + kNumberGap;
        m_canvas.drawGlyph(kGlyphDigit3, sc(mid - kNumberWidth / 2), sc(shown(numberTop)), z * kNumberScale,
                           GlyphColor::Normal);
        if (!m.bracket)
            continue;
        pen(m_tools.black);
        const int y = shown(numberTop + kNumberHeight / 2);
        const int hookEnd = m.above ? y + kHook : y - kHook;
        const int gapLeft = mid - kNumberWidth / 2 - 2;
        const int gapRight = mid + kNumberWidth / 2 + 2;
        m_canvas.drawLine(sc(m.left), sc(hookEnd), sc(m.left), sc(y));
        m_canvas.drawLine(sc(m.left), sc(y), sc(gapLeft), sc(y));
        m_canvas.drawLine(sc(gapRight), sc(y), sc(m.right), sc(y));
        m_canvas.drawLine(sc(m.right), sc(y), sc(m.right), sc(hookEnd));
    }
}

} // namespace tonvela
