#pragma once
// One note of a phrase or clip; times are relative to the owner's start.

#include <cstddef>
#include <cstdint>

#include "model/TimeBase.h"

class CNote {
public:
    // The empty note: marks "no note" and fills freshly grown slots.
    constexpr CNote() = default;
    constexpr CNote(tick start, tick end, uint8_t pitch, uint8_t velocity, uint8_t offVelocity)
        : m_start(start), m_end(end), m_pitch(pitch), m_velocity(velocity),
          m_offVelocity(offVelocity)
    {}

    constexpr tick GetLength() const { return TickDifference(m_end, m_start); }
    // Pitch, velocity and off velocity all 255.
    constexpr bool IsEmpty() const
    {
        return m_pitch == 255 && m_velocity == 255 && m_offVelocity == 255;
    }
    bool operator==(const CNote&) const = default;

    tick m_start = -1;           // first tick
    tick m_end = -1;             // first tick after the note (exclusive)
    uint8_t m_pitch = 255;       // MIDI key 0..127
    uint8_t m_velocity = 255;    // note-on velocity 0..127
    uint8_t m_offVelocity = 255; // note-off velocity 0..127
};

// A hash over every field, for finding equal notes in bulk.
inline size_t HashOf(const CNote& note)
{
    const uint64_t times = static_cast<uint64_t>(static_cast<uint32_t>(note.m_start)) << 32 |
                           static_cast<uint32_t>(note.m_end);
    const uint64_t bytes = static_cast<uint64_t>(note.m_pitch) |
                           static_cast<uint64_t>(note.m_velocity) << 8 |
                           static_cast<uint64_t>(note.m_offVelocity) << 16;
    return static_cast<size_t>((times ^ (bytes * 0x9E3779B97F4A7C15ull)) * 0xBF58476D1CE4E5B9ull);
}
