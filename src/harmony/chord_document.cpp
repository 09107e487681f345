#include "harmony/chord_document.h"

#include "harmony/guitar_library.h"
#include "platform/notifier.h"
#include "score/markup_tree.h"
#include "score/utf8_text.h"

#include <algorithm>

namespace tonvela {

namespace {

std::string cutText(std::string_view text)
{
    return cutUtf8(text, kMaxDiagramTextLength);
}

} // namespace

int chordRowsPerColumn(int pageHeight)
{
    const int bottom = pageHeight - kChordDiagramHeight;
    if (bottom < kChordPageMargin)
        return 1;
    return (bottom - kChordPageMargin) / kChordRowStep + 1;
}

ChordDocument::ChordDocument() = default;
ChordDocument::~ChordDocument() = default;

const ChordDiagram* ChordDocument::diagramAt(int index) const
{
    if (index < 0 || index >= diagramCount())
        return nullptr;
    return &m_diagrams[static_cast<std::size_t>(index)];
}

bool ChordDocument::addDiagram(std::string_view root, std::string_view symbol, std::string_view fingering,
                               int startFret, Notifier* notifier)
{
    if (full()) {
        if (notifier)
            notifier->error(kChordDocumentFullMessage, "Error");
        return false;
    }
    ChordDiagram d;
    d.label = cutText(std::string(root) + std::string(symbol));
    d.fingering = cutText(fingering);
    d.startFret = startFret;
    rememberForUndo();
    m_diagrams.push_back(std::move(d));
    markModified();
    if (m_view)
        m_view->repaint(
            {m_page.cursorX - 10, m_page.cursorY - 50, m_page.cursorX + 300, m_page.cursorY + 300});
    changed();
    return true;
}

bool ChordDocument::addDiagramFromLibrary(const GuitarChordLibrary& library, std::string_view root,
                                          std::string_view qualityName, int startFret, Notifier* notifier)
{
    const GuitarChordEntry* e = library.find(root, qualityName, startFret);
    if (!e)
        return false;
    return addDiagram(e->root, e->qualitySymbol, e->fingering, e->startFret, notifier);
}

void ChordDocument::removeDiagram(int index)
{
    if (index < 0 || index >= diagramCount())
        return;
    rememberForUndo();
    m_diagrams.erase(m_diagrams.begin() + index);
    m_page.hovered = -1;
    markModified();
    changed();
}

void ChordDocument::removeSelectedDiagrams()
{
    const bool any = anySelected();
    if (any)
        rememberForUndo();
    std::erase_if(m_diagrams, [](const ChordDiagram& d) { return d.selected != 0; });
    m_page.hovered = -1;
    m_page.scrollPos = 0;
    if (any)
        markModified();
    changed();
}

void ChordDocument::clearDiagrams()
{
    const bool any = !m_diagrams.empty();
    if (any)
        rememberForUndo();
    m_diagrams.clear();
    m_page.hovered = -1;
    m_page.scrollPos = 0;
    if (any)
        markModified();
    changed();
}

void ChordDocument::setDiagrams(std::vector<ChordDiagram> diagrams)
{
    if (diagrams.size() > static_cast<std::size_t>(kMaxDiagrams))
        diagrams.resize(static_cast<std::size_t>(kMaxDiagrams));
    for (auto& d : diagrams) {
        d.label = cutText(d.label);
        d.fingering = cutText(d.fingering);
    }
    m_diagrams = std::move(diagrams);
    m_undo.clear();
    m_redo.clear();
    m_page.hovered = -1;
    m_page.scrollPos = 0;
    changed();
}

void ChordDocument::selectAll()
{
    for (auto& d : m_diagrams)
        d.selected = 1;
    if (m_view)
        m_view->repaintAll();
}

bool ChordDocument::anySelected() const
{
    return std::any_of(m_diagrams.begin(), m_diagrams.end(),
                       [](const ChordDiagram& d) { return d.selected; });
}

void ChordDocument::rememberForUndo()
{
    m_undo.push_back(m_diagrams);
    if (m_undo.size() > kChordUndoDepth)
        m_undo.erase(m_undo.begin());
    m_redo.clear();
}

bool ChordDocument::undo()
{
    return restore(m_undo, m_redo);
}

bool ChordDocument::redo()
{
    return restore(m_redo, m_undo);
}

bool ChordDocument::restore(History& from, History& to)
{
    if (from.empty())
        return false;
    to.push_back(std::move(m_diagrams));
    m_diagrams = std::move(from.back());
    from.pop_back();
    m_page.hovered = -1;
    markModified();
    changed();
    return true;
}

void ChordDocument::setSelected(int index, bool selected)
{
    if (index >= 0 && index < diagramCount())
        m_diagrams[static_cast<std::size_t>(index)].selected = selected ? 1 : 0;
}

void ChordDocument::markModified()
{
    modified = 1;
    refreshWindowText();
}

void ChordDocument::refreshWindowText()
{
    if (m_view)
        m_view->windowTextChanged(windowText());
}

std::string ChordDocument::windowText() const
{
    return modified ? title + "*" : title;
}

void ChordDocument::resizePage(int width, int height)
{
    m_page.width = std::max(width, 0);
    m_page.height = std::max(height, 0);
    changed();
}

void ChordDocument::layoutPage()
{
    ChordPageState& p = m_page;
    p.rowsPerColumn = chordRowsPerColumn(p.height);
    const int bottom = p.height - kChordDiagramHeight;

    int x = kChordPageMargin;
    int y = kChordPageMargin;
    for (std::size_t i = 0; i < m_diagrams.size(); ++i) {
        y += kChordRowStep;
        if (y > bottom) {
            x += kChordColumnStep;
            y = kChordPageMargin;
        }
    }
    // Every column after the first whose diagrams do not fit wholly inside the page width adds
    // one column to the scroll range, so scrolling to the end shows the last column whole. The
    // empty column the walk opens after a full last column holds nothing to scroll to.
    const int columns = (diagramCount() + p.rowsPerColumn - 1) / p.rowsPerColumn;
    p.scrollMax = 0;
    for (int c = 1; c < columns; ++c)
        if (kChordPageMargin + c * kChordColumnStep + kChordBoxRight > p.width)
            ++p.scrollMax;
    p.cursorX = x;
    p.cursorY = y;
    p.scrollPos = std::clamp(p.scrollPos, 0, p.scrollMax);
}

void ChordDocument::placeDiagrams()
{
    const int first = m_page.rowsPerColumn * std::max(m_page.scrollPos, 0);
    const int bottom = m_page.height - kChordDiagramHeight;
    int x = kChordPageMargin;
    int y = kChordPageMargin;
    for (int i = 0; i < diagramCount(); ++i) {
        ChordDiagram& d = m_diagrams[static_cast<std::size_t>(i)];
        if (i < first) {
            // Scrolled out of view to the left: nothing on the page belongs to it.
            d.boxLeft = d.boxTop = d.boxRight = d.boxBottom = 0;
            continue;
        }
        d.boxLeft = x - kChordBoxLeft;
        d.boxTop = y - kChordBoxTop;
        d.boxRight = x + kChordBoxRight;
        d.boxBottom = y + kChordBoxBottom;
        d.originX = static_cast<int16_t>(x);
        d.originY = static_cast<int16_t>(y);
        y += kChordRowStep;
        if (y > bottom) {
            x += kChordColumnStep;
            y = kChordPageMargin;
        }
    }
}

int ChordDocument::diagramAtPoint(int x, int y) const
{
    const int first = m_page.rowsPerColumn * std::max(m_page.scrollPos, 0);
    for (int i = first; i < diagramCount(); ++i) {
        const ChordDiagram& d = m_diagrams[static_cast<std::size_t>(i)];
        if (d.boxLeft < x && x < d.boxRight && d.boxTop < y && y < d.boxBottom)
            return i;
    }
    return -1;
}

void ChordDocument::hover(int x, int y)
{
    if (m_view)
        m_view->repaint({x - 10, y - 10, x + 10, y + 10});
    const int now = diagramAtPoint(x, y);
    if (now == m_page.hovered)
        return;
    const int before = m_page.hovered;
    m_page.hovered = now;
    if (!m_view)
        return;
    for (int i : {before, now})
        if (const ChordDiagram* d = diagramAt(i))
            m_view->repaint({d->boxLeft, d->boxTop, d->boxRight, d->boxBottom});
}

void ChordDocument::pressLeft()
{
    pressed = 1;
}

void ChordDocument::releaseLeft(int x, int y, bool dragging)
{
    if (!dragging && pressed) {
        const int hit = diagramAtPoint(x, y);
        if (hit >= 0) {
            ChordDiagram& d = m_diagrams[static_cast<std::size_t>(hit)];
            d.selected = d.selected ? 0 : 1;
            // The box is where the page shows the diagram now, scrolled or not.
            if (m_view)
                m_view->repaint({d.boxLeft - 20, d.boxTop - 20, d.boxRight + 20, d.boxBottom + 20});
        } else {
            for (auto& d : m_diagrams)
                d.selected = 0;
            if (m_view)
                m_view->repaintAll();
        }
    }
    pressed = 0;
}

void ChordDocument::scroll(PageScroll action)
{
    int step = 0;
    switch (action) {
    case PageScroll::LineLeft:
        step = -1;
        break;
    case PageScroll::LineRight:
        step = 1;
        break;
    case PageScroll::PageLeft:
        step = -3;
        break;
    case PageScroll::PageRight:
        step = 3;
        break;
    }
    if ((step < 0 && m_page.scrollPos <= 0) || (step > 0 && m_page.scrollPos >= m_page.scrollMax))
        return;
    setScrollPos(m_page.scrollPos + step);
}

void ChordDocument::wheel(bool forward)
{
    scroll(forward ? PageScroll::LineLeft : PageScroll::LineRight);
}

void ChordDocument::scrollTo(int column)
{
    setScrollPos(column);
}

void ChordDocument::setScrollPos(int pos)
{
    m_page.scrollPos = std::clamp(pos, 0, m_page.scrollMax);
    // Another diagram lies under the pointer now; the next pointer move finds it.
    m_page.hovered = -1;
    placeDiagrams();
    if (m_view) {
        m_view->scrollRangeChanged(m_page.scrollMax, m_page.scrollPos);
        m_view->repaintAll();
    }
}

void ChordDocument::keepTree(std::unique_ptr<MarkupTree> tree)
{
    m_tree = std::move(tree);
}

void ChordDocument::changed()
{
    layoutPage();
    placeDiagrams();
    if (m_view) {
        m_view->scrollRangeChanged(m_page.scrollMax, m_page.scrollPos);
        m_view->repaintAll();
    }
}

} // namespace tonvela
