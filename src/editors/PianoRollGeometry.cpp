#include "editors/PianoRollGeometry.h"

#include <algorithm>

#include "editors/ViewAxis.h"

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
    m_originTick = FirstToShow<tick>(at, m_originTick, VisibleTicks());
    m_originPitch = FirstToShow<int32_t>(pitch, m_originPitch, VisiblePitches());
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
    m_originTick = FirstInside<tick>(m_originTick, VisibleTicks(), m_contentTicks);
    m_originPitch = FirstInside<int32_t>(m_originPitch, VisiblePitches(), kPitchCount);
}
