#include "editor/sheet_view_state.h"

#include "score/sheet_document.h"

#include <algorithm>
#include <cmath>

namespace tonvela {

SheetViewState::SheetViewState(SheetDocument& sheet) : m_sheet(&sheet), m_rows(kRowCount)
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

void SheetViewState::setRowCount(int rows)
{
    const auto want = static_cast<std::size_t>(std::max(rows, kRowCount));
    const std::size_t had = m_rows.size();
    m_rows.resize(want);
    // A sheet that got much shorter gives back what its rows held.
    if (want * 4 < m_rows.capacity())
        m_rows.shrink_to_fit();
    for (std::size_t r = had; r < want; ++r)
        m_rows[r].index = static_cast<int>(r);
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

SheetViewState::TrackLayout& SheetViewState::trackLayout(int t)
{
    t = std::max(t, 0);
    if (t >= static_cast<int>(m_tracks.size()))
        m_tracks.resize(static_cast<std::size_t>(t) + 1);
    return m_tracks[static_cast<std::size_t>(t)];
}

const SheetViewState::TrackLayout* SheetViewState::findTrackLayout(int t) const
{
    if (t < 0 || t >= static_cast<int>(m_tracks.size()))
        return nullptr;
    return &m_tracks[static_cast<std::size_t>(t)];
}

int SheetViewState::laidOutCount(int t) const
{
    const TrackLayout* l = findTrackLayout(t);
    return l ? l->laidOut : 0;
}

void SheetViewState::setLaidOutCount(int t, int n)
{
    if (t >= 0)
        trackLayout(t).laidOut = n;
}

std::vector<MeasureRecord>& SheetViewState::measures(int t)
{
    return trackLayout(t).measures;
}

const std::vector<MeasureRecord>& SheetViewState::measures(int t) const
{
    static const std::vector<MeasureRecord> kNone(kMeasureCount + 1);
    const TrackLayout* l = findTrackLayout(t);
    return l ? l->measures : kNone;
}

int SheetViewState::measuresInUse(int t) const
{
    const TrackLayout* l = findTrackLayout(t);
    return l ? l->measuresInUse : 0;
}

void SheetViewState::setMeasuresInUse(int t, int n)
{
    if (t >= 0)
        trackLayout(t).measuresInUse = n;
}

} // namespace tonvela
