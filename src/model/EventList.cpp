#include "model/EventList.h"

namespace {

void ShiftEvent(CMidiEvent& event, tick dt)
{
    event.m_time = TickSum(event.m_time, dt);
}

} // namespace

void CEventList::Shift(tick dt)
{
    EditAll([dt](CMidiEvent& event) { ShiftEvent(event, dt); });
}

void CEventList::RemoveBefore(tick t)
{
    EraseRange(0, FindFirstAtOrAfter(0, t));
}

void CEventList::RemoveFrom(tick t)
{
    EraseRange(FindFirstAtOrAfter(0, t), GetCount());
}

tick CEventList::EndTime() const
{
    return TimeRange().second;
}

std::pair<tick, tick> CEventList::TimeRange() const
{
    if (m_items.empty()) return {-1, -1};
    return {m_items.front().m_time, TickSum(m_items.back().m_time, 1)};
}

void CEventList::CopyInTime(const CEventList& src, tick a, tick b)
{
    CopyTimeRange(src, a, b);
}

void CEventList::CopyOfKind(const CEventList& src, uint8_t kind)
{
    RebuildFrom(src, [kind](const CMidiEvent& event) { return event.IsKind(kind); });
}

void CEventList::CopyOfLane(const CEventList& src, uint8_t kind, uint8_t data1)
{
    RebuildFrom(src, [=](const CMidiEvent& event) { return event.IsKind(kind, data1); });
}

void CEventList::CopyConverted(const CEventList& src, uint8_t kind)
{
    switch (kind) {
    case kKindProgramChange:
    case kKindChannelAftertouch:
        RebuildFrom(src, [kind](CMidiEvent& event) {
            const int32_t value = event.GetValue7();
            event = CMidiEvent(event.m_time, kind, static_cast<uint8_t>(value), 0);
            return value >= 0;
        });
        return;
    case kKindPitchBender:
        RebuildFrom(src, [](CMidiEvent& event) {
            if (event.IsKind(kKindPitchBender)) return true;
            const int32_t value = event.GetValue7();
            event = CMidiEvent(event.m_time, kKindPitchBender, 0, static_cast<uint8_t>(value));
            return value >= 0;
        });
        return;
    default:
        Clear();
    }
}

void CEventList::CopyConverted(const CEventList& src, uint8_t kind, uint8_t data1)
{
    RebuildFrom(src, [=](CMidiEvent& event) {
        const int32_t value = event.GetValue7();
        event = CMidiEvent(event.m_time, kind, data1, static_cast<uint8_t>(value));
        return value >= 0;
    });
}

void CEventList::CopyShifted(const CEventList& src, tick dt)
{
    RebuildFrom(src, [dt](CMidiEvent& event) {
        ShiftEvent(event, dt);
        return true;
    });
}
