#include "devices/MidiBackend.h"

#include <algorithm>

bool CMidiSendBuffer::Pack(int64_t time, const uint8_t* bytes, int32_t length)
{
    if (m_count == kCapacity || length < 1 || length > 3) return false;
    SMidiOutRecord& record = m_records[static_cast<size_t>(m_count++)];
    record.time = time;
    record.length = static_cast<uint8_t>(length);
    record.bytes = {};
    std::copy(bytes, bytes + length, record.bytes.begin());
    return true;
}
