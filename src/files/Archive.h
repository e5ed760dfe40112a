#pragma once
// Little-endian binary reading and writing of the project file: fixed-size integers, strings with
// their length prefixes and bulk access for note and event arrays. Failures are CFileError with
// the texts the user sees; the reader never reads or allocates beyond the bytes it was given.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The three failure texts, %1 replaced by the file's path.
std::string SchemaErrorText(const std::string& path);
std::string PastEndErrorText(const std::string& path);
std::string InvalidArgumentErrorText();

// Reads from bytes the caller keeps alive (normally the whole file, read at once).
class CArchiveReader {
public:
    // name is the path shown in failure messages.
    CArchiveReader(const uint8_t* data, size_t size, std::string name);

    uint8_t ReadUInt8();
    int16_t ReadInt16();
    uint16_t ReadUInt16();
    int32_t ReadInt32();
    uint32_t ReadUInt32();
    // A length-prefixed 8-bit string. The wide form is accepted too and converted to Latin-1,
    // characters outside it becoming '?'.
    std::string ReadString();
    // An int32 count of records of recordBytes each (the smallest possible size for records that
    // vary). Negative is a schema failure; more than the remaining bytes can hold fails as past
    // the end, before anything is allocated for them.
    int32_t ReadCount(size_t recordBytes);
    // The next n bytes, borrowed from the reader's input; fails as past the end when short.
    const uint8_t* Take(size_t n);

    size_t GetRemaining() const { return m_size - m_pos; }
    const std::string& GetName() const { return m_name; }

    [[noreturn]] void FailSchema() const;
    [[noreturn]] void FailPastEnd() const;
    [[noreturn]] void FailInvalidArgument() const;

private:
    // Length prefix of a string; wide is set for the UTF-16 form (the length is then in
    // characters).
    uint32_t ReadStringLength(bool& wide);

    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    std::string m_name;
};

// Where a writer's full buffer goes. Called once per buffer, not per value.
class CByteSink {
public:
    virtual ~CByteSink() = default;
    virtual void Write(const uint8_t* data, size_t size) = 0;
};

// Buffered writer. Without a sink everything stays in memory (TakeBytes); with one, the buffer is
// handed on whenever it holds kBufferBytes.
class CArchiveWriter {
public:
    static constexpr size_t kBufferBytes = 64 * 1024;

    CArchiveWriter() = default;
    // The sink is borrowed and must outlive the writer's last Flush.
    explicit CArchiveWriter(CByteSink& sink);

    void WriteUInt8(uint8_t value);
    void WriteInt16(int16_t value);
    void WriteUInt16(uint16_t value);
    void WriteInt32(int32_t value);
    void WriteUInt32(uint32_t value);
    // The shortest length prefix, then the bytes (never the wide form).
    void WriteString(const std::string& text);
    // Room for n bytes at the end of the buffer, to be filled by the caller before the next call.
    uint8_t* Extend(size_t n);

    // Hands buffered bytes to the sink (no-op without one).
    void Flush();
    // The bytes written so far, when writing to memory.
    std::vector<uint8_t> TakeBytes();

private:
    CByteSink* m_sink = nullptr;
    std::vector<uint8_t> m_buffer;
    size_t m_used = 0;
};

// Little-endian helpers for the bulk paths.
inline void PutInt32(uint8_t* p, int32_t value)
{
    const auto v = static_cast<uint32_t>(value);
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

inline int32_t GetInt32(const uint8_t* p)
{
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 |
                                static_cast<uint32_t>(p[3]) << 24);
}
