#pragma once
// One controller-type event of a phrase or clip. The kind is the MIDI status without its channel;
// the channel comes from where the event is played.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "model/TimeBase.h"

inline constexpr uint8_t kKindPolyPressure = 0xA0;
inline constexpr uint8_t kKindControlChange = 0xB0;
inline constexpr uint8_t kKindProgramChange = 0xC0;
inline constexpr uint8_t kKindChannelAftertouch = 0xD0;
inline constexpr uint8_t kKindPitchBender = 0xE0;
inline constexpr int32_t kPitchBendCentre = 8192;
inline constexpr int32_t kPitchBendMax = 16383;

// Classifiers on a status byte (channel nibble ignored); bytes outside 0xA0..0xEF answer 0.
// 2 when data1 selects a lane (poly pressure, control change), else 1.
int EventKindHasSelector(uint8_t status);
// 2 for the 14-bit pitch bender, else 1.
int EventKindValueWidth(uint8_t status);
// Bytes of the MIDI message: 2 for program change and channel aftertouch, else 3.
int EventKindMessageLength(uint8_t status);
// "Poly Pressure", "Control Change", ...; empty for bytes outside 0xA0..0xEF.
std::string_view EventKindName(uint8_t status);

class CMidiEvent {
public:
    // The empty event.
    constexpr CMidiEvent() = default;
    constexpr CMidiEvent(tick time, uint8_t kind, uint8_t data1, uint8_t data2)
        : m_time(time), m_kind(kind), m_data1(data1), m_data2(data2)
    {}

    // data1 and data2 both 255.
    constexpr bool IsEmpty() const { return m_data1 == 255 && m_data2 == 255; }
    bool operator==(const CMidiEvent&) const = default;

    // Full value: data2, data1, or the 14-bit bender value; -1 for an unknown kind.
    int32_t GetValue() const;
    // 7-bit value (the MSB for the bender); -1 for an unknown kind.
    int32_t GetValue7() const;
    // Stores v, clamped to 0..127, in the byte GetValue7 reads; unknown kinds are left alone.
    void SetValue7(int32_t v);
    // Adds delta to the value, clamped to its range (0..16383 for the bender, else 0..127).
    void AddToValue(int32_t delta);

    bool IsKind(uint8_t kind) const { return m_kind == kind; }
    // Lane test for selector kinds: same kind and same key or controller.
    bool IsKind(uint8_t kind, uint8_t data1) const { return m_kind == kind && m_data1 == data1; }

    // Packs kind | data1 << 8 | data2 << 16 (channel 0, data bytes kept to 7 bits) into word and
    // returns the message length in bytes, 0 for an unknown kind.
    int ToShortMessage(uint32_t& word) const;

    tick m_time = -1;      // tick of the event
    uint8_t m_kind = 255;  // 0xA0, 0xB0, 0xC0, 0xD0 or 0xE0
    uint8_t m_data1 = 255; // key, controller, program, pressure or bender LSB
    uint8_t m_data2 = 255; // pressure, controller value, bender MSB, else 0
};

// A hash over every field, for finding equal events in bulk.
inline size_t HashOf(const CMidiEvent& event)
{
    const uint64_t word = static_cast<uint64_t>(static_cast<uint32_t>(event.m_time)) << 24 |
                          static_cast<uint64_t>(event.m_kind) << 16 |
                          static_cast<uint64_t>(event.m_data1) << 8 | event.m_data2;
    return static_cast<size_t>(word * 0x9E3779B97F4A7C15ull);
}
