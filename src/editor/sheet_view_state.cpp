#include "editor/sheet_view_state.h"

#include "score/sheet_document.h"

#include <algorithm>
#include <cmath>

namespace tonvela {

SheetViewState::SheetViewState(SheetDocument& sheet)
    : m_sheet(&sheet), m_layout(std::make_shared<const SheetLayout>())
{
    updateLayoutSize();
}

float SheetViewState::zoom() const
{
    const float z = fixedZoom > 0.0f ? fixedZoom : m_sheet->zoomamount;
    if (!std::isfinite(z))
        return kDefaultZoom;
    return std::clamp(z, kMinZoom, kMaxZoom);
}

void SheetViewState::setLayout(std::shared_ptr<const SheetLayout> layout)
{
    m_layout = layout ? std::move(layout) : std::make_shared<const SheetLayout>();
}

void SheetViewState::clampScroll()
{
    const int rows = m_layout->rowsInUse;
    int range = 0;
    for (int r = 0; r < rows; ++r)
        if (r * m_layout->rowPitch + 100 >= layoutHeight)
            ++range;
    scrollRange = range;
    // Printing pages through the sheet past the window's scroll range, so it may go as far
    // as the last row.
    const int maxFirst = printing ? std::max(range, rows - 1) : range;
    firstVisibleRow = std::clamp(firstVisibleRow, 0, std::max(maxFirst, 0));
}

void SheetViewState::setClientSize(int width, int height)
{
    clientWidth = std::max(width, 0);
    clientHeight = std::max(height, 0);
    updateLayoutSize();
}

void SheetViewState::updateLayoutSize()
{
    const float z = zoom();
    if (std::fabs(z - 1.0f) < 0.01f) {
        layoutWidth = clientWidth;
        layoutHeight = clientHeight;
    } else {
        layoutWidth = static_cast<int>(static_cast<float>(clientWidth) / z);
        layoutHeight = static_cast<int>(static_cast<float>(clientHeight) / z);
    }
}

void SheetViewState::toggleRowMark(int r)
{
    if (!m_markedRows.erase(r))
        m_markedRows.insert(r);
}

} // namespace tonvela
