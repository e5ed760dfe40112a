#include "editors/EventLaneRules.h"

#include <algorithm>
#include <iterator>

LaneKind ValidLaneKind(int32_t stored)
{
    const auto kind = static_cast<LaneKind>(stored & 0xFFFF);
    switch (LaneStatus(kind)) {
    case 0x90:
    case 0x80:
    case 0xC0:
    case 0xD0:
    case 0xE0:
        return LaneKind(kind & 0xFF00);
    case 0xA0:
    case 0xB0:
        return LaneKind(kind & 0xFF7F);
    default:
        return kLaneDefault;
    }
}

std::string LaneShortName(LaneKind kind)
{
    switch (LaneStatus(kind)) {
    case 0x90: return "Vel.On";
    case 0x80: return "Vel.Off";
    case 0xA0: return "PolyP";
    case 0xB0: return "CC";
    case 0xC0: return "PC";
    case 0xD0: return "ChAft";
    case 0xE0: return "Bender";
    default: return {};
    }
}

bool LaneShows(LaneKind kind, const CMidiEvent& event)
{
    const uint8_t status = LaneStatus(kind);
    if (EventKindHasSelector(status) == 2) return event.IsKind(status, LaneSelector(kind));
    return event.IsKind(status);
}

std::pair<int, int> EventIndexRange(const CEventList& events, tick from, tick to)
{
    const int first = events.FindFirstAtOrAfter(0, from);
    const int last = to <= from ? first : events.FindFirstAtOrAfter(first, to);
    return {first, last};
}

CEventList LaneEventsIn(const CEventList& events, LaneKind kind, tick from, tick to)
{
    CEventList out;
    const auto [first, last] = EventIndexRange(events, from, to);
    for (int i = first; i < last; ++i) {
        if (LaneShows(kind, events[i])) out.Append(events[i]);
    }
    return out;
}

int32_t LaneMaxValue(LaneKind kind)
{
    return LaneStatus(kind) == kKindPitchBender ? kPitchBendMax : 127;
}

int32_t HeightToValue(int32_t y, int32_t y0, int32_t y1)
{
    if (y1 <= y0) return 0;
    return static_cast<int32_t>(int64_t{y1 - y} * 128 / (y1 - y0));
}

int32_t BarHeight(int32_t value, LaneKind kind, int32_t height)
{
    const int64_t span = int64_t{LaneMaxValue(kind)} + 1;
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{value} * height / span, 0, height));
}

int32_t ShownValue(LaneKind kind, int32_t value)
{
    return LaneStatus(kind) == kKindPitchBender ? value - kPitchBendCentre : value;
}

CMidiEvent LaneEvent(LaneKind kind, tick t, int32_t value7)
{
    const uint8_t status = LaneStatus(kind);
    const uint8_t data1 = EventKindHasSelector(status) == 2 ? LaneSelector(kind) : 0;
    CMidiEvent event(t, status, data1, 0);
    event.SetValue7(value7);
    return event;
}

CMidiEvent DefaultLaneEvent(LaneKind kind, tick t, uint8_t value, uint8_t second)
{
    if (LaneStatus(kind) == kKindPitchBender)
        return CMidiEvent(t, kKindPitchBender, static_cast<uint8_t>(second & 0x7F),
                          static_cast<uint8_t>(value & 0x7F));
    return LaneEvent(kind, t, value);
}

int32_t ValueStep(LaneKind kind, bool large)
{
    if (!large) return 1;
    return LaneStatus(kind) == kKindPitchBender ? 1024 : 16;
}

CMidiEvent NudgedValue(const CMidiEvent& event, int32_t delta)
{
    CMidiEvent moved = event;
    moved.AddToValue(delta);
    return moved;
}

tick StepToEvent(const CEventList& events, LaneKind kind, tick t, tick step)
{
    const tick target = TickSum(t, step);
    if (step > 0) {
        const auto [first, last] = EventIndexRange(events, TickSum(t, 1), target);
        for (int i = first; i < last; ++i) {
            if (LaneShows(kind, events[i])) return events[i].m_time;
        }
    } else if (step < 0) {
        const auto [first, last] = EventIndexRange(events, TickSum(target, 1), t);
        for (int i = last - 1; i >= first; --i) {
            if (LaneShows(kind, events[i])) return events[i].m_time;
        }
    }
    return target;
}

bool CFreehandStroke::ValueAt(tick t, int32_t& value) const
{
    auto after = m_points.lower_bound(t);
    if (after != m_points.end() && after->first == t) {
        value = after->second;
        return true;
    }
    if (after == m_points.end() || after == m_points.begin()) return false;
    const auto before = std::prev(after);
    const int64_t span = after->first - before->first;
    value = static_cast<int32_t>(before->second + int64_t{after->second - before->second} *
                                                      (t - before->first) / span);
    return true;
}

CEventList StrokeEvents(const CFreehandStroke& stroke, const CTimeRange& range, tick grid,
                        LaneKind kind)
{
    CEventList out;
    auto add = [&](tick t, int32_t value) {
        out.Append(LaneEvent(kind, t, std::clamp(value, 0, 127)));
    };
    if (grid > 0) {
        for (int64_t t = range.m_from; t < range.m_to; t += grid) {
            int32_t value = 0;
            if (stroke.ValueAt(static_cast<tick>(t), value)) add(static_cast<tick>(t), value);
        }
        return out;
    }
    const auto& points = stroke.Points();
    for (auto it = points.lower_bound(range.m_from); it != points.end() && it->first < range.m_to;
         ++it)
        add(it->first, it->second);
    return out;
}

int32_t CValueCurveStroke::ValueAt(tick t) const
{
    const auto& points = m_stroke.Points();
    if (points.empty()) return 0;
    if (t <= points.begin()->first) return points.begin()->second;
    if (t >= points.rbegin()->first) return points.rbegin()->second;
    int32_t value = 0;
    m_stroke.ValueAt(t, value);
    return value;
}
