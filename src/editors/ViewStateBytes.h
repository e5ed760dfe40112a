#pragma once
// The view-specific bytes of a window record: little-endian integers in a fixed order. A reader
// of a record that is too short reads zeros for the missing values, so that the caller's range
// checks bring them to their defaults. User-interface thread only.

#include <cstddef>
#include <cstdint>
#include <vector>

class CViewStateWriter {
public:
    void Int32(int32_t value) { Put(static_cast<uint32_t>(value), 4); }
    void Int16(int16_t value) { Put(static_cast<uint16_t>(value), 2); }
    void UInt8(uint8_t value) { Put(value, 1); }
    std::vector<uint8_t> Take() { return std::move(m_bytes); }

private:
    void Put(uint32_t value, int bytes)
    {
        for (int i = 0; i < bytes; ++i)
            m_bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
    std::vector<uint8_t> m_bytes;
};

class CViewStateReader {
public:
    explicit CViewStateReader(const std::vector<uint8_t>& bytes) : m_bytes(bytes) {}
    int32_t Int32() { return static_cast<int32_t>(Get(4)); }
    int16_t Int16() { return static_cast<int16_t>(Get(2)); }
    uint8_t UInt8() { return static_cast<uint8_t>(Get(1)); }
    // Whether every value read so far was present.
    bool Complete() const { return m_at <= m_bytes.size(); }

private:
    uint32_t Get(int bytes)
    {
        uint32_t value = 0;
        for (int i = 0; i < bytes; ++i, ++m_at) {
            if (m_at < m_bytes.size()) value |= uint32_t{m_bytes[m_at]} << (8 * i);
        }
        return value;
    }
    const std::vector<uint8_t>& m_bytes;
    size_t m_at = 0;
};
