#include "files/Archive.h"

#include "model/Errors.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// Marks of the string length prefix.
constexpr uint8_t kLongLength = 0xFF;
constexpr uint16_t kWideText = 0xFFFE;
constexpr uint16_t kHugeLength = 0xFFFF;

// Latin-1 text of UTF-16LE code units; anything Latin-1 cannot hold becomes '?', a surrogate
// pair counting as one character.
std::string Latin1FromUtf16(const uint8_t* p, size_t units)
{
    std::string text;
    text.reserve(units);
    for (size_t i = 0; i < units; ++i) {
        const unsigned unit = p[2 * i] | p[2 * i + 1] << 8;
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units) {
            const unsigned next = p[2 * i + 2] | p[2 * i + 3] << 8;
            if (next >= 0xDC00 && next < 0xE000) ++i;
        }
        text.push_back(unit <= 0xFF ? static_cast<char>(unit) : '?');
    }
    return text;
}

} // namespace

std::string SchemaErrorText(const std::string& path)
{
    return path + " contains an incorrect schema.";
}

std::string PastEndErrorText(const std::string& path)
{
    return "An attempt was made to access " + path + " past its end.";
}

std::string InvalidArgumentErrorText()
{
    return "An invalid argument was encountered.";
}

CArchiveReader::CArchiveReader(const uint8_t* data, size_t size, std::string name)
    : m_data(data), m_size(size), m_name(std::move(name))
{}

const uint8_t* CArchiveReader::Take(size_t n)
{
    if (n > GetRemaining()) FailPastEnd();
    const uint8_t* p = m_data + m_pos;
    m_pos += n;
    return p;
}

uint8_t CArchiveReader::ReadUInt8()
{
    return *Take(1);
}

uint16_t CArchiveReader::ReadUInt16()
{
    const uint8_t* p = Take(2);
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

int16_t CArchiveReader::ReadInt16()
{
    return static_cast<int16_t>(ReadUInt16());
}

int32_t CArchiveReader::ReadInt32()
{
    return GetInt32(Take(4));
}

uint32_t CArchiveReader::ReadUInt32()
{
    return static_cast<uint32_t>(ReadInt32());
}

uint32_t CArchiveReader::ReadStringLength(bool& wide)
{
    wide = false;
    const uint8_t shortLength = ReadUInt8();
    if (shortLength < kLongLength) return shortLength;
    uint16_t length = ReadUInt16();
    if (length == kWideText) {
        // The wide form repeats the prefix; in it 0xFFFE is an ordinary 16-bit length.
        wide = true;
        const uint8_t wideShort = ReadUInt8();
        if (wideShort < kLongLength) return wideShort;
        length = ReadUInt16();
    }
    if (length < kHugeLength) return length;
    return ReadUInt32();
}

std::string CArchiveReader::ReadString()
{
    bool wide = false;
    const size_t length = ReadStringLength(wide);
    if (!wide) {
        const uint8_t* p = Take(length);
        return std::string(reinterpret_cast<const char*>(p), length);
    }
    const uint8_t* p = Take(2 * length);
    return Latin1FromUtf16(p, length);
}

int32_t CArchiveReader::ReadCount(size_t recordBytes)
{
    const int32_t count = ReadInt32();
    if (count < 0) FailSchema();
    if (static_cast<size_t>(count) * std::max<size_t>(recordBytes, 1) > GetRemaining())
        FailPastEnd();
    return count;
}

void CArchiveReader::FailSchema() const
{
    throw CFileError(SchemaErrorText(m_name));
}

void CArchiveReader::FailPastEnd() const
{
    throw CFileError(PastEndErrorText(m_name));
}

void CArchiveReader::FailInvalidArgument() const
{
    throw CFileError(InvalidArgumentErrorText());
}

CArchiveWriter::CArchiveWriter(CByteSink& sink) : m_sink(&sink), m_buffer(kBufferBytes)
{}

uint8_t* CArchiveWriter::Extend(size_t n)
{
    if (m_sink && m_used + n > m_buffer.size()) Flush();
    if (m_used + n > m_buffer.size())
        m_buffer.resize(std::max(m_used + n, std::max(2 * m_buffer.size(), size_t{256})));
    uint8_t* p = m_buffer.data() + m_used;
    m_used += n;
    return p;
}

void CArchiveWriter::WriteUInt8(uint8_t value)
{
    *Extend(1) = value;
}

void CArchiveWriter::WriteUInt16(uint16_t value)
{
    uint8_t* p = Extend(2);
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

void CArchiveWriter::WriteInt16(int16_t value)
{
    WriteUInt16(static_cast<uint16_t>(value));
}

void CArchiveWriter::WriteInt32(int32_t value)
{
    PutInt32(Extend(4), value);
}

void CArchiveWriter::WriteUInt32(uint32_t value)
{
    WriteInt32(static_cast<int32_t>(value));
}

void CArchiveWriter::WriteString(const std::string& text)
{
    const size_t length = text.size();
    if (length > UINT32_MAX) throw CInvalidArgument();
    if (length < kLongLength) {
        WriteUInt8(static_cast<uint8_t>(length));
    } else {
        WriteUInt8(kLongLength);
        if (length < kWideText) {
            WriteUInt16(static_cast<uint16_t>(length));
        } else {
            WriteUInt16(kHugeLength);
            WriteUInt32(static_cast<uint32_t>(length));
        }
    }
    if (length != 0) std::memcpy(Extend(length), text.data(), length);
}

void CArchiveWriter::Flush()
{
    if (!m_sink || m_used == 0) return;
    m_sink->Write(m_buffer.data(), m_used);
    m_used = 0;
}

std::vector<uint8_t> CArchiveWriter::TakeBytes()
{
    m_buffer.resize(m_used);
    m_used = 0;
    return std::exchange(m_buffer, {});
}
