#include "model/MidiEvent.h"

#include <algorithm>

namespace {

// The channel-less kind of a status byte, or 0 outside the five event kinds.
uint8_t KindOf(uint8_t status)
{
    return status >= 0xA0 && status <= 0xEF ? static_cast<uint8_t>(status & 0xF0) : 0;
}

bool HasValueInData1(uint8_t kind)
{
    return kind == kKindProgramChange || kind == kKindChannelAftertouch;
}

bool IsKnownKind(uint8_t kind)
{
    return KindOf(kind) == kind && kind != 0;
}

uint8_t Clamp7(int64_t v)
{
    return static_cast<uint8_t>(std::clamp<int64_t>(v, 0, 127));
}

} // namespace

int EventKindHasSelector(uint8_t status)
{
    const uint8_t kind = KindOf(status);
    if (kind == 0) return 0;
    return kind == kKindPolyPressure || kind == kKindControlChange ? 2 : 1;
}

int EventKindValueWidth(uint8_t status)
{
    const uint8_t kind = KindOf(status);
    if (kind == 0) return 0;
    return kind == kKindPitchBender ? 2 : 1;
}

int EventKindMessageLength(uint8_t status)
{
    const uint8_t kind = KindOf(status);
    if (kind == 0) return 0;
    return HasValueInData1(kind) ? 2 : 3;
}

std::string_view EventKindName(uint8_t status)
{
    switch (KindOf(status)) {
    case kKindPolyPressure:
        return "Poly Pressure";
    case kKindControlChange:
        return "Control Change";
    case kKindProgramChange:
        return "Program Change";
    case kKindChannelAftertouch:
        return "Channel Aftertouch";
    case kKindPitchBender:
        return "Pitch Bender";
    default:
        return "";
    }
}

int32_t CMidiEvent::GetValue() const
{
    if (!IsKnownKind(m_kind)) return -1;
    if (m_kind == kKindPitchBender) return m_data1 + 128 * m_data2;
    return HasValueInData1(m_kind) ? m_data1 : m_data2;
}

int32_t CMidiEvent::GetValue7() const
{
    if (!IsKnownKind(m_kind)) return -1;
    return HasValueInData1(m_kind) ? m_data1 : m_data2;
}

void CMidiEvent::SetValue7(int32_t v)
{
    if (!IsKnownKind(m_kind)) return;
    (HasValueInData1(m_kind) ? m_data1 : m_data2) = Clamp7(v);
}

void CMidiEvent::AddToValue(int32_t delta)
{
    if (!IsKnownKind(m_kind)) return;
    if (m_kind == kKindPitchBender) {
        const int64_t value = std::clamp<int64_t>(
            static_cast<int64_t>(m_data1) + 128 * m_data2 + delta, 0, kPitchBendMax);
        m_data1 = static_cast<uint8_t>(value & 0x7F);
        m_data2 = static_cast<uint8_t>((value >> 7) & 0x7F);
        return;
    }
    SetValue7(Clamp7(static_cast<int64_t>(GetValue7()) + delta));
}

int CMidiEvent::ToShortMessage(uint32_t& word) const
{
    // A data byte with its top bit set would be read as a status byte on the wire.
    word = static_cast<uint32_t>(m_kind) | static_cast<uint32_t>(m_data1 & 0x7F) << 8 |
           static_cast<uint32_t>(m_data2 & 0x7F) << 16;
    return IsKnownKind(m_kind) ? EventKindMessageLength(m_kind) : 0;
}
