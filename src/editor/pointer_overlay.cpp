// What the pointer adds to a sheet window's picture: the drag rectangle, the preview of the
// note a click would add, a hovered bar line at a row's end.

#include "editor/layout.h"
#include "editor/sheet_drawing.h"
#include "score/note.h"
#include "score/sheet_document.h"

namespace tonvela {
namespace {

constexpr Color kDragGrey{34, 34, 34};

} // namespace

void SheetDrawing::drawDragRectangle()
{
    if (m_printing || !m_view.dragRectVisible)
        return;
    pen(Pen{PenStyle::Dotted, 1, kDragGrey});
    m_canvas.setNoBrush();
    m_canvas.drawRect(sc(m_view.dragLeft), sc(m_view.dragTop), sc(m_view.dragRight), sc(m_view.dragBottom));
}

void SheetDrawing::drawPointerMarks()
{
    if (m_printing)
        return;
    // A bar line at a row's end under the pointer: blue, red while the button is down on it.
    const SheetViewState::HoveredBar& hovered = m_view.hoveredBar;
    if (hovered.track >= 0 && hovered.track < m_trackCount && hovered.rowEnd) {
        if (const std::optional<ClosingBar> bar = closingBarLine(m_view, hovered.track, hovered.measure))
            drawBarLine(m_layout.row(bar->row), bar->x, m_view.barClickPending, true);
    }
    if (!m_view.previewVisible)
        return;
    const Note& p = m_view.previewNote;
    const NoteLayout& at = m_view.previewLayout;
    const int x = at.x;
    const int y = shown(at.y);
    pen(m_tools.blue);
    switch (p.type) {
    case kTypeMark1740:
        break;
    case kTypeBar:
        m_canvas.drawLine(sc(x), sc(y), sc(x), sc(y + 4 * kStaffSpacing));
        break;
    case kTypeSpace:
        m_canvas.drawLine(sc(x), sc(y - 10), sc(x + 10), sc(y - 10));
        break;
    case kTypeStaffBreak:
        m_canvas.drawLine(sc(x), sc(y - 15), sc(x + 5), sc(y - 5));
        m_canvas.drawLine(sc(x + 10), sc(y - 15), sc(x + 5), sc(y - 5));
        break;
    default:
        drawNoteGlyphs(p, at, true);
        break;
    }
}

} // namespace tonvela
