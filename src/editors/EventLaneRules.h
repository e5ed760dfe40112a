#pragma once
// The arithmetic of the event lane under the note canvas: which events a lane kind shows, the
// value scale of the lane's height, the freehand stroke turned into events, and the value nudges.
// Plain functions on events and ticks, apart from the widgets. User-interface thread (no state).

#include <cstdint>
#include <map>
#include <string>

#include "editing/ValueModifiers.h"
#include "model/EditArea.h"
#include "model/EventList.h"
#include "model/TimeBase.h"

// A lane kind: the status kind in the high byte, the key or controller in the low byte for the
// poly-pressure and control-change lanes.
using LaneKind = uint16_t;
inline constexpr LaneKind kLaneVelocityOn = 0x9000;
inline constexpr LaneKind kLaneVelocityOff = 0x8000;
inline constexpr LaneKind kLaneProgram = 0xC000;
inline constexpr LaneKind kLaneChannelAftertouch = 0xD000;
inline constexpr LaneKind kLanePitchBend = 0xE000;
inline constexpr LaneKind kLaneDefault = 0xB007; // volume
constexpr LaneKind PolyPressureLane(uint8_t key) { return LaneKind(0xA000 | (key & 0x7F)); }
constexpr LaneKind ControllerLane(uint8_t number) { return LaneKind(0xB000 | (number & 0x7F)); }

constexpr uint8_t LaneStatus(LaneKind kind) { return uint8_t(kind >> 8); }
constexpr uint8_t LaneSelector(LaneKind kind) { return uint8_t(kind & 0x7F); }
constexpr bool IsVelocityLane(LaneKind kind)
{
    return kind == kLaneVelocityOn || kind == kLaneVelocityOff;
}
// A stored kind that names no lane becomes the default one.
LaneKind ValidLaneKind(int32_t stored);
// "Vel.On", "Vel.Off", "PolyP", "CC", "PC", "ChAft", "Bender".
std::string LaneShortName(LaneKind kind);

// Whether the lane shows the event (its kind, and its key or controller where the kind has one).
bool LaneShows(LaneKind kind, const CMidiEvent& event);
// The events of the lane with from <= time < to, in container order; found by binary search.
CEventList LaneEventsIn(const CEventList& events, LaneKind kind, tick from, tick to);
// The index range [first, last) of events with from <= time < to.
std::pair<int, int> EventIndexRange(const CEventList& events, tick from, tick to);

// The largest value of the lane: 16383 for pitch bend, else 127.
int32_t LaneMaxValue(LaneKind kind);
// A pointer at height y between the lane's top y0 and bottom y1 means this value (0..128 over
// the height; may lie outside for a pointer outside the lane).
int32_t HeightToValue(int32_t y, int32_t y0, int32_t y1);
// The height of a value's bar (0..height) in a lane of the given height.
int32_t BarHeight(int32_t value, LaneKind kind, int32_t height);
// The value shown for the event: pitch bend as value - 8192.
int32_t ShownValue(LaneKind kind, int32_t value);
// An event of the lane at tick t with a 7-bit value (for pitch bend the upper byte, so that 64
// is the centre).
CMidiEvent LaneEvent(LaneKind kind, tick t, int32_t value7);
// The event Insert makes: the default value, and for pitch bend the two default bytes.
CMidiEvent DefaultLaneEvent(LaneKind kind, tick t, uint8_t value, uint8_t second);

// The step of the value nudges: 1 small; 16 large, or 1024 for pitch bend.
int32_t ValueStep(LaneKind kind, bool large);
// The event with its value moved by delta, kept inside the value range.
CMidiEvent NudgedValue(const CMidiEvent& event, int32_t delta);

// Left / Right from tick t: the nearest lane event strictly within one step stops the move.
tick StepToEvent(const CEventList& events, LaneKind kind, tick t, tick step);

// A freehand stroke: one (tick, value) point per tick, a later point at a tick replacing the
// earlier one. Between two points the stroke runs straight; outside them it has no value.
class CFreehandStroke {
public:
    void Add(tick t, int32_t value) { m_points[t] = value; }
    bool IsEmpty() const { return m_points.empty(); }
    int GetCount() const { return static_cast<int>(m_points.size()); }
    const std::map<tick, int32_t>& Points() const { return m_points; }
    // The stroke's value at t; false outside the stroke.
    bool ValueAt(tick t, int32_t& value) const;

private:
    std::map<tick, int32_t> m_points;
};

// The events a stroke makes in a lane within range: one per grid step from the range's start
// while below its end (grid > 0), else one per stroke point inside the range; values 0..127.
CEventList StrokeEvents(const CFreehandStroke& stroke, const CTimeRange& range, tick grid,
                        LaneKind kind);

// The stroke as a value curve (for the velocity lanes): before its first point the first value,
// after its last the last.
class CValueCurveStroke : public CValueCurve {
public:
    explicit CValueCurveStroke(CFreehandStroke stroke) : m_stroke(std::move(stroke)) {}
    int32_t ValueAt(tick t) const override;

private:
    CFreehandStroke m_stroke;
};
