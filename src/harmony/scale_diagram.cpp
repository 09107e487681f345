#include "harmony/scale_diagram.h"

#include "harmony/fretboard.h"

#include <algorithm>

namespace tonvela {

void ScaleDiagramView::setClientSize(int width, int height)
{
    m_clientWidth = std::max(0, width);
    m_clientHeight = std::max(0, height);
    m_horizontal.maximum = std::max(0, kFretboardWidth - m_clientWidth);
    m_vertical.maximum = std::max(0, kFretboardHeight - m_clientHeight);
    for (ScrollRange* r : {&m_horizontal, &m_vertical})
        r->position = std::clamp(r->position, 0, r->maximum);
}

const ScrollRange& ScaleDiagramView::range(ScrollAxis axis) const
{
    return axis == ScrollAxis::Horizontal ? m_horizontal : m_vertical;
}

ScrollRange& ScaleDiagramView::rangeOf(ScrollAxis axis)
{
    return axis == ScrollAxis::Horizontal ? m_horizontal : m_vertical;
}

bool ScaleDiagramView::scroll(ScrollAxis axis, ScrollStep step)
{
    const int position = range(axis).position;
    switch (step) {
    case ScrollStep::LineBack:
        return setPosition(axis, position - kScaleScrollLine);
    case ScrollStep::LineForward:
        return setPosition(axis, position + kScaleScrollLine);
    case ScrollStep::PageBack:
        return setPosition(axis, position - kScaleScrollPage);
    case ScrollStep::PageForward:
        return setPosition(axis, position + kScaleScrollPage);
    }
    return false;
}

bool ScaleDiagramView::setPosition(ScrollAxis axis, int position)
{
    ScrollRange& r = rangeOf(axis);
    const int clamped = std::clamp(position, 0, r.maximum);
    if (clamped == r.position)
        return false;
    r.position = clamped;
    return true;
}

void ScaleDiagramView::paint(Canvas& canvas, const Picture* fretboard) const
{
    canvas.fillRect(0, 0, canvas.width(), canvas.height(), kScaleDiagramBackground);
    const int h = m_horizontal.position, v = m_vertical.position;
    if (fretboard)
        canvas.drawPicture(*fretboard, -h, -v, fretboard->width(), fretboard->height());
    if (m_selection.pattern)
        drawScaleMarks(canvas, m_selection.root, m_selection.pattern, -h + kMarkOriginX, kMarkOriginY - v,
                       m_openStrings);
}

bool PaintThrottle::tryPaint(int64_t nowMs)
{
    if (m_painted && nowMs - m_lastMs < m_intervalMs) {
        m_owed = true;
        return false;
    }
    painted(nowMs);
    return true;
}

int64_t PaintThrottle::dueInMs(int64_t nowMs) const
{
    if (!m_painted)
        return 0;
    return std::max<int64_t>(0, m_lastMs + m_intervalMs - nowMs);
}

void PaintThrottle::painted(int64_t nowMs)
{
    m_painted = true;
    m_owed = false;
    m_lastMs = nowMs;
}

} // namespace tonvela
