#pragma once
// Where things are in a piano-roll window (shared by its note canvas and its event lane): the
// mapping between ticks and pitches and client pixels, the zoom steps and limits, and keeping
// the view inside the phrase. Plain arithmetic; user-interface thread only.

#include "model/TimeBase.h"

#include <cstdint>

class CPianoRollGeometry {
public:
    // Pixels per quarter note (96 ticks), changed in steps of 8.
    static constexpr int32_t kDefaultScale = 48;
    static constexpr int32_t kMinScale = 24;
    static constexpr int32_t kMaxScale = 96;
    static constexpr int32_t kScaleStep = 8;
    // Pixels per pitch row, changed in steps of 1.
    static constexpr int32_t kDefaultPitchHeight = 5;
    static constexpr int32_t kMinPitchHeight = 3;
    static constexpr int32_t kMaxPitchHeight = 11;
    static constexpr int32_t kPitchCount = 128;

    // Note canvas client size in pixels.
    void SetClientSize(int32_t width, int32_t height);
    int32_t GetClientWidth() const { return m_clientWidth; }
    int32_t GetClientHeight() const { return m_clientHeight; }
    // The phrase's or clip's length; the content runs from 0 to length + 1.
    void SetLength(tick length);
    tick GetContentTicks() const { return m_contentTicks; }

    int32_t GetScale() const { return m_scale; }
    int32_t GetPitchHeight() const { return m_pitchHeight; }
    tick GetOriginTick() const { return m_originTick; }
    // The lowest visible pitch.
    int32_t GetOriginPitch() const { return m_originPitch; }

    bool ZoomHorizontal(int direction);
    bool ZoomVertical(int direction);
    // Values from a stored window record, brought inside the limits.
    void SetScale(int32_t scale);
    void SetPitchHeight(int32_t height);
    bool SetOriginTick(tick origin);
    bool SetOriginPitch(int32_t pitch);
    // Brings the cell into view (tick, pitch); true when the view moved.
    bool MakeVisible(tick at, int32_t pitch);

    int32_t TickToX(tick t) const;
    tick XToTick(int32_t x) const;
    // Pitch rows count upward from the origin pitch at the bottom of the canvas.
    int32_t PitchToY(int32_t pitch) const;
    int32_t YToPitch(int32_t y) const;
    tick VisibleTicks() const;
    int32_t VisiblePitches() const { return m_clientHeight / m_pitchHeight; }

private:
    void KeepInside();

    int32_t m_clientWidth = 0;
    int32_t m_clientHeight = 0;
    tick m_contentTicks = 1;
    int32_t m_scale = kDefaultScale;
    int32_t m_pitchHeight = kDefaultPitchHeight;
    tick m_originTick = 0;
    int32_t m_originPitch = 48;
};
