#include "editors/PianoRollGeometry.h"

#include <algorithm>

namespace {

int32_t FloorDiv(int32_t a, int32_t b)
{
    return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0);
}

} // namespace

void CPianoRollGeometry::SetClientSize(int32_t width, int32_t height)
{
    m_clientWidth = std::max(0, width);
    m_clientHeight = std::max(0, height);
    KeepInside();
}

void CPianoRollGeometry::SetLength(tick length)
{
    m_contentTicks = std::clamp<int64_t>(int64_t{length} + 1, 1, kOpenEnd);
    KeepInside();
}

bool CPianoRollGeometry::ZoomHorizontal(int direction)
{
    const int32_t next =
        std::clamp(m_scale + (direction > 0 ? kScaleStep : -kScaleStep), kMinScale, kMaxScale);
    if (next == m_scale) return false;
    m_scale = next;
    KeepInside();
    return true;
}

bool CPianoRollGeometry::ZoomVertical(int direction)
{
    const int32_t next =
        std::clamp(m_pitchHeight + (direction > 0 ? 1 : -1), kMinPitchHeight, kMaxPitchHeight);
    if (next == m_pitchHeight) return false;
    m_pitchHeight = next;
    KeepInside();
    return true;
}

void CPianoRollGeometry::SetScale(int32_t scale)
{
    m_scale = std::clamp(scale, kMinScale, kMaxScale);
    KeepInside();
}

void CPianoRollGeometry::SetPitchHeight(int32_t height)
{
    m_pitchHeight = std::clamp(height, kMinPitchHeight, kMaxPitchHeight);
    KeepInside();
}

bool CPianoRollGeometry::SetOriginTick(tick origin)
{
    const tick before = m_originTick;
    m_originTick = origin;
    KeepInside();
    return before != m_originTick;
}

bool CPianoRollGeometry::SetOriginPitch(int32_t pitch)
{
    const int32_t before = m_originPitch;
    m_originPitch = pitch;
    KeepInside();
    return before != m_originPitch;
}

bool CPianoRollGeometry::MakeVisible(tick at, int32_t pitch)
{
    const tick origin = m_originTick;
    const int32_t low = m_originPitch;
    const tick columns = std::max<tick>(1, VisibleTicks());
    if (at >= m_originTick + columns)
        m_originTick = at - columns + 1;
    else if (at < m_originTick)
        m_originTick = at;
    const int32_t rows = std::max(1, VisiblePitches());
    if (pitch >= m_originPitch + rows)
        m_originPitch = pitch - rows + 1;
    else if (pitch < m_originPitch)
        m_originPitch = pitch;
    KeepInside();
    return origin != m_originTick || low != m_originPitch;
}

int32_t CPianoRollGeometry::TickToX(tick t) const
{
    return static_cast<int32_t>((int64_t{t} - m_originTick) * m_scale / kTicksPerQuarter);
}

tick CPianoRollGeometry::XToTick(int32_t x) const
{
    return static_cast<tick>(int64_t{x} * kTicksPerQuarter / m_scale + m_originTick);
}

int32_t CPianoRollGeometry::PitchToY(int32_t pitch) const
{
    // The top edge of the pitch's row.
    return m_clientHeight - (pitch - m_originPitch + 1) * m_pitchHeight;
}

int32_t CPianoRollGeometry::YToPitch(int32_t y) const
{
    const int32_t fromBottom = m_clientHeight - 1 - y;
    return m_originPitch + FloorDiv(fromBottom, m_pitchHeight);
}

tick CPianoRollGeometry::VisibleTicks() const
{
    return static_cast<tick>(int64_t{m_clientWidth} * kTicksPerQuarter / m_scale);
}

void CPianoRollGeometry::KeepInside()
{
    const tick width = VisibleTicks();
    if (m_originTick + width > m_contentTicks) m_originTick = m_contentTicks - width;
    if (m_originTick < 0) m_originTick = 0;
    const int32_t rows = VisiblePitches();
    if (m_originPitch + rows > kPitchCount) m_originPitch = kPitchCount - rows;
    if (m_originPitch < 0) m_originPitch = 0;
}
