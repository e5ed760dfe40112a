#pragma once
// The numbered playing properties of phrases and tracks. Operations, property panels and the
// player name a property by its number and pass its value as one 64-bit word; the functions
// below store such a value into the object and read it back in the same form.
//
// Value packing:
//   node address  bits 0..31 = index (two's complement), bits 32..47 = kind, higher bits 0
//   byte pair     bits 0..7 = from (low key, pitch or velocity), bits 8..15 = to, higher bits 0
//   flag          0 = off, any other value = on; read back as 0 or 1
//   note value    ticks (0 = off)
//   other         the plain number in the field's range

#include "model/NodeAddress.h"

#include <cstdint>
#include <optional>

class CPhrase;
class CTrack;

enum class EPhraseProperty : int32_t {
    Input = 101,          // node address
    TriggerRange = 102,   // byte pair: lowest, highest triggering key
    KeyFollow = 103,      // flag
    StartQuantize = 104,  // note value
    StopQuantize = 105,   // note value
    Output = 106,         // node address
    OutputChannel = 107,  // 0..15
    PlayMode = 108,       // EPlayMode 0..3
    Loop = 109,           // flag
    Hold = 110,           // flag
    Continue = 111,       // flag
    VelocityOffset = 112, // signed 16-bit
    Transpose = 113,      // signed 16-bit semitones
    OutputQuantize = 114, // note value
    Delay = 115,          // signed ticks
    PitchLimits = 116,    // byte pair: lowest, highest pitch
    VelocityLimits = 117, // byte pair: lowest, highest velocity
};

enum class ETrackProperty : int32_t {
    Colour = 1,           // 0x00BBGGRR; set directly by the project, not by the player
    Property2 = 2,        // signed 32-bit; set directly by the project
    Output = 101,         // node address
    OutputChannel = 102,  // 0..15
    VelocityOffset = 103, // signed 16-bit
    Transpose = 104,      // signed 16-bit semitones
    PlayQuantize = 105,   // note value
    Delay = 106,          // signed ticks
    PitchLimits = 107,    // byte pair: lowest, highest pitch
    VelocityLimits = 108, // byte pair: lowest, highest velocity
    Record = 109,         // flag
    Input = 110,          // flag
    Program = 111,        // 0..255, 255 = none sent
    Volume = 112,         // 0..255, 255 = none sent
    Pan = 113,            // 0..255, 255 = none sent
};

// The number of an EPhraseProperty or ETrackProperty, as operations take it.
template <class TProperty> constexpr int32_t PropertyNumber(TProperty property)
{
    return static_cast<int32_t>(property);
}

constexpr int64_t PackNodeAddress(const CNodeAddress& address)
{
    return static_cast<int64_t>(address.m_kind) << 32 |
           static_cast<int64_t>(static_cast<uint32_t>(address.m_index));
}
// Empty when the value has bits above the kind set.
std::optional<CNodeAddress> UnpackNodeAddress(int64_t value);

// A low/high pair such as a trigger range or a limit range.
struct CBytePair {
    uint8_t m_from = 0;
    uint8_t m_to = 0;
};
constexpr int64_t PackBytePair(CBytePair pair)
{
    return static_cast<int64_t>(pair.m_from) | static_cast<int64_t>(pair.m_to) << 8;
}
// Empty when the value does not fit in 16 bits.
std::optional<CBytePair> UnpackBytePair(int64_t value);

// Store a property value into the object. False, with the object unchanged, when the number is
// not a property of that object or the value does not fit the property. The caller decides which
// thread may do this (for numbers from 101 it is the music thread, through the player).
bool ApplyPhraseProperty(CPhrase& phrase, int32_t number, int64_t value);
bool ApplyTrackProperty(CTrack& track, int32_t number, int64_t value);

// The property's current value, packed as above; empty when the number is not a property.
std::optional<int64_t> ReadPhraseProperty(const CPhrase& phrase, int32_t number);
std::optional<int64_t> ReadTrackProperty(const CTrack& track, int32_t number);
