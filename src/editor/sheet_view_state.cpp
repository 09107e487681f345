#include "editor/sheet_view_state.h"

#include "score/sheet_document.h"

#include <algorithm>
#include <cmath>

namespace tonvela {

SheetViewState::SheetViewState(SheetDocument& sheet)
    : m_sheet(&sheet), m_rows(kRowCount), m_laidOut(kMaxTracks + 1, 0)
{
    for (int r = 0; r < kRowCount; ++r)
        m_rows[static_cast<std::size_t>(r)].index = r;
    updateLayoutSize();
}

float SheetViewState::zoom() const
{
    const float z = m_sheet->zoomamount;
    if (!std::isfinite(z))
        return kDefaultZoom;
    return std::clamp(z, kMinZoom, kMaxZoom);
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

int SheetViewState::laidOutCount(int t) const
{
    if (t < 0 || t >= static_cast<int>(m_laidOut.size()))
        return 0;
    return m_laidOut[static_cast<std::size_t>(t)];
}

void SheetViewState::setLaidOutCount(int t, int n)
{
    if (t < 0)
        return;
    if (t >= static_cast<int>(m_laidOut.size()))
        m_laidOut.resize(static_cast<std::size_t>(t) + 1, 0);
    m_laidOut[static_cast<std::size_t>(t)] = n;
}

} // namespace tonvela
