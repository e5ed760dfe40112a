#pragma once
// The controller-type events of a phrase or clip, sorted by time.

#include <cstdint>
#include <utility>

#include "model/MidiEvent.h"
#include "model/SortedList.h"

class CEventList : public CSortedList<CMidiEvent, &CMidiEvent::m_time> {
public:
    // Adds dt to every time (saturating), keeping the order.
    void Shift(tick dt);
    // Drops events with time < t.
    void RemoveBefore(tick t);
    // Drops events with time >= t.
    void RemoveFrom(tick t);
    // Last event's time + 1; -1 for no events.
    tick EndTime() const;
    // First event's time and last event's time + 1; {-1, -1} for no events.
    std::pair<tick, tick> TimeRange() const;

    // The copies below replace this list's content with a copy of src in src order; src may be
    // this list.
    // Events with a <= time < b.
    void CopyInTime(const CEventList& src, tick a, tick b);
    // Events of one kind.
    void CopyOfKind(const CEventList& src, uint8_t kind);
    // Events of one kind with the given data1 (one key or controller lane).
    void CopyOfLane(const CEventList& src, uint8_t kind, uint8_t data1);
    // Every event turned into a program change or channel aftertouch (data1 = its 7-bit value)
    // or a pitch bender (a bender keeps both bytes, others give MSB = 7-bit value). Any other
    // target kind gives an empty list; source events of an unknown kind are dropped.
    void CopyConverted(const CEventList& src, uint8_t kind);
    // Every event turned into kind with the given data1 and data2 = its 7-bit value (for poly
    // pressure and control change targets).
    void CopyConverted(const CEventList& src, uint8_t kind, uint8_t data1);
    // Every event with time + dt.
    void CopyShifted(const CEventList& src, tick dt);
};
