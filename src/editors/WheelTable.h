#pragma once
// What one mouse-wheel report does in the editors: the wheel delta (+-120 for one notch of the
// vertical wheel, +-240 for the horizontal one) to a scroll of one axis. Plain data.

#include <cstdint>
#include <optional>

enum class EWheelArea { TracksCanvas, TrackList, NoteCanvas, EventLane };

// Which axis moves and by how much: rows (tracks), pitches (piano roll) or ticks.
struct CWheelScroll {
    enum class EAxis { Rows, Pitches, Ticks } axis;
    int32_t amount; // added to the first row, the origin pitch or the left tick
    bool operator==(const CWheelScroll&) const = default;
};

// The scroll for a delta in an area; nothing for deltas the table does not list.
std::optional<CWheelScroll> WheelScrollFor(EWheelArea area, int delta);
