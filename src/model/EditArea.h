#pragma once
// The areas an edit of notes or events covers, as the piano roll's selection gives them: the
// views refresh and select within them.

#include <cstdint>

#include "model/TimeBase.h"

// A rectangle of the note area: time from, pitch edge, time to, pitch edge (ticks and MIDI keys;
// the times are relative to the start of the phrase or clip).
struct CNoteArea {
    tick m_from = 0;
    int32_t m_pitchA = 0;
    tick m_to = 0;
    int32_t m_pitchB = 0;

    bool operator==(const CNoteArea&) const = default;
};

// A time range [from, to) of the event area, in ticks relative to the owner's start.
struct CTimeRange {
    tick m_from = 0;
    tick m_to = 0;

    bool operator==(const CTimeRange&) const = default;
};
