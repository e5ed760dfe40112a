#pragma once
// Byte-level helpers shared by the MIDI file reader and writer: whole-file reading, bounds-checked
// big-endian reading of chunk headers, and replacing a file through a temporary one.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reads the whole file into memory. Throws CFileError (missing, unreadable) or COutOfMemory.
std::vector<uint8_t> ReadWholeFile(const std::string& path);

// Writes bytes to "<path>.tmp-<pid>" and renames it over path, so a failed write never leaves a
// half-written target. Throws CFileError.
void WriteFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes);

// The text of the file error raised when reading runs past the end of the named file.
std::string PastEndMessage(const std::string& fileName);

// A strict cursor over bytes that belong to a named file: every read that would go past the end
// throws CFileError with PastEndMessage. Does not own the bytes.
class CSmfByteReader {
public:
    CSmfByteReader(const uint8_t* begin, const uint8_t* end, std::string fileName);

    bool AtEnd() const { return m_pos == m_end; }
    size_t BytesLeft() const { return static_cast<size_t>(m_end - m_pos); }
    const std::string& FileName() const { return m_fileName; }

    uint32_t ReadUInt32();
    // Returns the start of the next count bytes and moves past them.
    const uint8_t* Take(size_t count);
    [[noreturn]] void ThrowPastEnd() const;

private:
    const uint8_t* m_pos;
    const uint8_t* m_end;
    std::string m_fileName;
};

// The file name without folder and extension ("/a/b/song.mid" gives "song").
std::string FileTitleOf(const std::string& path);
