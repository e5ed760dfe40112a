#include "editors/TracksGeometry.h"

#include <algorithm>

#include "editors/ViewAxis.h"
#include <array>

namespace {

// Horizontal zoom steps in pixels per bar; vertical steps are 4 pixels.
constexpr std::array<int32_t, 8> kScaleSteps{4, 6, 8, 12, 16, 20, 24, 30};
constexpr int32_t kRowStep = 4;

} // namespace

void CTracksGeometry::SetClientSize(int32_t width, int32_t height)
{
    m_clientWidth = std::max(0, width);
    m_clientHeight = std::max(0, height);
    KeepInside();
}

void CTracksGeometry::SetContent(tick songEnd, int32_t trackCount)
{
    m_trackCount = std::max(0, trackCount);
    m_contentTicks = std::clamp<int64_t>(int64_t{songEnd} + kTrailingTicks, 1, kOpenEnd);
    m_contentRows = m_trackCount + kTrailingRows;
    KeepInside();
}

bool CTracksGeometry::ZoomHorizontal(int direction)
{
    int32_t next = m_scale;
    if (direction > 0) {
        const auto it = std::upper_bound(kScaleSteps.begin(), kScaleSteps.end(), m_scale);
        if (it != kScaleSteps.end()) next = *it;
    } else {
        const auto it = std::lower_bound(kScaleSteps.begin(), kScaleSteps.end(), m_scale);
        if (it != kScaleSteps.begin()) next = *(it - 1);
    }
    if (next == m_scale) return false;
    m_scale = next;
    KeepInside();
    return true;
}

bool CTracksGeometry::ZoomVertical(int direction)
{
    const int32_t next = std::clamp(m_rowHeight + (direction > 0 ? kRowStep : -kRowStep),
                                    kMinRowHeight, kMaxRowHeight);
    if (next == m_rowHeight) return false;
    m_rowHeight = next;
    KeepInside();
    return true;
}

void CTracksGeometry::SetScale(int32_t scale)
{
    m_scale = std::clamp(scale, kMinScale, kMaxScale);
    KeepInside();
}

void CTracksGeometry::SetRowHeight(int32_t height)
{
    m_rowHeight = std::clamp(height, kMinRowHeight, kMaxRowHeight);
    KeepInside();
}

bool CTracksGeometry::SetLeftTick(tick left)
{
    const tick before = m_leftTick;
    m_leftTick = left;
    KeepInside();
    return m_leftTick != before;
}

bool CTracksGeometry::SetFirstRow(int32_t row)
{
    const int32_t before = m_firstRow;
    m_firstRow = row;
    KeepInside();
    return m_firstRow != before;
}

bool CTracksGeometry::MakeVisible(tick at, int32_t row)
{
    const tick left = m_leftTick;
    const int32_t first = m_firstRow;
    m_leftTick = FirstToShow<tick>(at, m_leftTick, VisibleTicks());
    m_firstRow = FirstToShow<int32_t>(row, m_firstRow, VisibleRows());
    KeepInside();
    return left != m_leftTick || first != m_firstRow;
}

int32_t CTracksGeometry::TickToX(tick t) const
{
    return static_cast<int32_t>((int64_t{t} - m_leftTick) * m_scale / kTicksPerWhole);
}

tick CTracksGeometry::XToTick(int32_t x) const
{
    return static_cast<tick>(int64_t{x} * kTicksPerWhole / m_scale + m_leftTick);
}

int32_t CTracksGeometry::YToRow(int32_t y) const
{
    // Rounds towards minus infinity so that a point above the canvas is above the first row.
    const int32_t q = y / m_rowHeight - (y < 0 && y % m_rowHeight != 0 ? 1 : 0);
    return q + m_firstRow;
}

tick CTracksGeometry::VisibleTicks() const
{
    return static_cast<tick>(int64_t{m_clientWidth} * kTicksPerWhole / m_scale);
}

int32_t CTracksGeometry::RulerStride(tick ticksPerBar) const
{
    int32_t stride = 1;
    while (int64_t{stride} * ticksPerBar * m_scale / kTicksPerWhole < 50 && stride < (1 << 20))
        stride *= 2;
    return stride;
}

void CTracksGeometry::KeepInside()
{
    m_leftTick = FirstInside<tick>(m_leftTick, VisibleTicks(), m_contentTicks);
    m_firstRow = FirstInside<int32_t>(m_firstRow, VisibleRows(), m_contentRows);
}
