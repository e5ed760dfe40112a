#include "devices/MidiStreamParser.h"

namespace {
constexpr uint8_t kSysExStart = 0xF0;
constexpr uint8_t kSysExEnd = 0xF7;
constexpr uint8_t kFirstRealtime = 0xF8;

bool IsSystemCommon(uint8_t status) { return status >= 0xF0 && status < kFirstRealtime; }
} // namespace

void CMidiStreamParser::Reset()
{
    m_status = 0;
    m_dataCount = 0;
    m_inSysEx = false;
}

bool CMidiStreamParser::Feed(uint8_t byte, int32_t time, CMidiMsg& msg)
{
    if (byte >= kFirstRealtime) {
        // Real-time bytes may sit inside any message and leave its state alone.
        msg = CMidiMsg{time, 1, byte, 0, 0};
        return true;
    }
    if (byte & 0x80) {
        m_dataCount = 0;
        m_inSysEx = byte == kSysExStart;
        // System-common messages cancel running status; channel statuses start it.
        m_status = (byte == kSysExStart || byte == kSysExEnd) ? 0 : byte;
        if (IsSystemCommon(byte) && CMidiMsg::LengthOf(byte) == 1 && m_status) {
            msg = CMidiMsg{time, 1, byte, 0, 0}; // tune request and undefined statuses
            m_status = 0;
            return true;
        }
        return false;
    }
    if (m_inSysEx || m_status == 0) return false; // system exclusive body or a stray data byte
    m_data[m_dataCount++] = byte;
    const int32_t length = CMidiMsg::LengthOf(m_status);
    if (m_dataCount < length - 1) return false;
    msg = CMidiMsg{time, length, m_status, m_data[0], length == 3 ? m_data[1] : uint8_t{0}};
    m_dataCount = 0;
    if (IsSystemCommon(m_status)) m_status = 0; // no running status for system messages
    return true;
}
