#pragma once
// Where things are in the tracks window: the mapping between song ticks and track rows on one
// side and the canvas's client pixels on the other, the zoom steps and limits, and keeping the
// view inside the content. Plain arithmetic, no painting; user-interface thread only.

#include "model/TimeBase.h"

#include <cstdint>

class CTracksGeometry {
public:
    // Pixels per 384 ticks (a 4/4 bar).
    static constexpr int32_t kDefaultScale = 16;
    static constexpr int32_t kMinScale = 4;
    static constexpr int32_t kMaxScale = 30;
    // Pixels per track row.
    static constexpr int32_t kDefaultRowHeight = 20;
    static constexpr int32_t kMinRowHeight = 18;
    static constexpr int32_t kMaxRowHeight = 50;
    // Room to arrange past the song's end and below its last track.
    static constexpr tick kTrailingTicks = 16 * kTicksPerWhole;
    static constexpr int32_t kTrailingRows = 4;

    // Canvas client size in pixels.
    void SetClientSize(int32_t width, int32_t height);
    int32_t GetClientWidth() const { return m_clientWidth; }
    int32_t GetClientHeight() const { return m_clientHeight; }
    // The song's end (last clip end, ticks) and its track count; the content reaches a little
    // past both. Keeps the view inside.
    void SetContent(tick songEnd, int32_t trackCount);
    tick GetContentTicks() const { return m_contentTicks; }
    int32_t GetContentRows() const { return m_contentRows; }
    int32_t GetTrackCount() const { return m_trackCount; }

    int32_t GetScale() const { return m_scale; }
    int32_t GetRowHeight() const { return m_rowHeight; }
    tick GetLeftTick() const { return m_leftTick; }
    int32_t GetFirstRow() const { return m_firstRow; }
    tick GetRightTick() const { return m_leftTick + VisibleTicks(); }
    int32_t GetLastRow() const { return m_firstRow + VisibleRows(); }

    // Zoom by one step; false at the limit (nothing changes).
    bool ZoomHorizontal(int direction);
    bool ZoomVertical(int direction);
    // Values from a stored window record: out-of-range values are brought inside the limits.
    void SetScale(int32_t scale);
    void SetRowHeight(int32_t height);
    // Scrolling; each keeps the view inside the content and tells whether the view moved.
    bool SetLeftTick(tick left);
    bool SetFirstRow(int32_t row);
    // Brings the point into view: a point right of the view becomes its last column, one left of
    // it its first, likewise for rows. True when the view moved.
    bool MakeVisible(tick at, int32_t row);

    // The mapping (truncating integer arithmetic).
    int32_t TickToX(tick t) const;
    tick XToTick(int32_t x) const;
    int32_t RowToY(int32_t row) const { return (row - m_firstRow) * m_rowHeight; }
    int32_t YToRow(int32_t y) const;
    tick VisibleTicks() const;
    int32_t VisibleRows() const { return m_clientHeight / m_rowHeight; }

    // Bars between ruler labels: the smallest power of two whose span is at least 50 pixels.
    int32_t RulerStride(tick ticksPerBar) const;

private:
    void KeepInside();

    int32_t m_clientWidth = 0;
    int32_t m_clientHeight = 0;
    tick m_contentTicks = kTrailingTicks;
    int32_t m_contentRows = kTrailingRows;
    int32_t m_trackCount = 0;
    int32_t m_scale = kDefaultScale;
    int32_t m_rowHeight = kDefaultRowHeight;
    tick m_leftTick = 0;
    int32_t m_firstRow = 0;
};
