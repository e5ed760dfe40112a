#include "files/SmfIo.h"

#include "model/Errors.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <unistd.h>

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string OpenErrorMessage(const std::string& path, int err)
{
    if (err == ENOENT) return path + " was not found.";
    if (err == EACCES || err == EPERM) return "Access to " + path + " was denied.";
    return "An unexpected error occurred while accessing " + path + ". (" + std::strerror(err) +
           ")";
}

} // namespace

std::vector<uint8_t> ReadWholeFile(const std::string& path)
{
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) throw CFileError(OpenErrorMessage(path, errno));
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) throw CFileError(OpenErrorMessage(path, ec.value()));
    std::vector<uint8_t> bytes;
    try {
        bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        throw COutOfMemory();
    } catch (const std::length_error&) {
        throw COutOfMemory();
    }
    const size_t got = bytes.empty() ? 0 : std::fread(bytes.data(), 1, bytes.size(), file.get());
    if (std::ferror(file.get()))
        throw CFileError("A read error occurred while accessing " + path + ".");
    bytes.resize(got); // the file may have shrunk since its size was asked
    return bytes;
}

void WriteFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes)
{
    const std::string temp = path + ".tmp-" + std::to_string(::getpid());
    FilePtr file(std::fopen(temp.c_str(), "wb"));
    if (!file) throw CFileError(OpenErrorMessage(temp, errno));
    const bool written =
        (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size()) &&
        std::fflush(file.get()) == 0 && ::fsync(::fileno(file.get())) == 0;
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed) {
        std::remove(temp.c_str());
        throw CFileError("A write error occurred while accessing " + path + ".");
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        std::remove(temp.c_str());
        throw CFileError(OpenErrorMessage(path, err));
    }
}

std::string PastEndMessage(const std::string& fileName)
{
    return "An attempt was made to access " + fileName + " past its end.";
}

CSmfByteReader::CSmfByteReader(const uint8_t* begin, const uint8_t* end, std::string fileName)
    : m_pos(begin), m_end(end), m_fileName(std::move(fileName))
{
}

uint32_t CSmfByteReader::ReadUInt32()
{
    const uint8_t* p = Take(4);
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

const uint8_t* CSmfByteReader::Take(size_t count)
{
    if (count > BytesLeft()) ThrowPastEnd();
    const uint8_t* start = m_pos;
    m_pos += count;
    return start;
}

void CSmfByteReader::ThrowPastEnd() const
{
    throw CFileError(PastEndMessage(m_fileName));
}

std::string FileTitleOf(const std::string& path)
{
    return std::filesystem::path(path).stem().string();
}
