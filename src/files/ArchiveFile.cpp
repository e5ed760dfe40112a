#include "files/ArchiveFile.h"

#include "model/Errors.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <new>
#include <random>
#include <signal.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

std::string SystemErrorText(const std::string& what, const std::string& path, int error)
{
    return path + " could not be " + what + ": " + std::strerror(error) + ".";
}

// Closes a descriptor on every way out of a scope.
class CFdGuard {
public:
    explicit CFdGuard(int fd) : m_fd(fd) {}
    ~CFdGuard()
    {
        if (m_fd >= 0) ::close(m_fd);
    }
    CFdGuard(const CFdGuard&) = delete;
    CFdGuard& operator=(const CFdGuard&) = delete;

private:
    int m_fd;
};

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

const char kSavePrefix[] = ".tw-save-";

// The process id in a temporary save file's name ".tw-save-<pid>-<n>"; 0 for any other name.
pid_t SavingProcessOf(const std::string& name)
{
    const std::string_view prefix = kSavePrefix;
    if (name.compare(0, prefix.size(), prefix) != 0) return 0;
    const char* p = name.c_str() + prefix.size();
    const auto digits = [&p] {
        const char* from = p;
        while (*p >= '0' && *p <= '9')
            ++p;
        return p - from;
    };
    const char* pidText = p;
    const auto pidDigits = digits();
    if (pidDigits == 0 || pidDigits > 9 || *p++ != '-' || digits() == 0 || *p != 0) return 0;
    return static_cast<pid_t>(std::stol(std::string(pidText, static_cast<size_t>(pidDigits))));
}

// Temporary files of saves whose process was killed before the rename: nothing else would ever
// remove them. Files of this process or of one still running are left alone.
void RemoveStaleSaveFiles(const std::string& folder)
{
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const pid_t pid = SavingProcessOf(it->path().filename().string());
        if (pid <= 0 || pid == ::getpid()) continue;
        if (::kill(pid, 0) == 0 || errno != ESRCH) continue;
        std::error_code ignored;
        if (it->is_regular_file(ignored) && !it->is_symlink(ignored)) ::unlink(it->path().c_str());
    }
}

} // namespace

std::string LowerExtension(const std::string& path)
{
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path)
{
    // Not blocking: opening a FIFO for reading would otherwise wait for a writer forever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) throw CFileError(SystemErrorText("opened", path, errno));
    CFdGuard guard(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0) throw CFileError(SystemErrorText("opened", path, errno));
    if (S_ISDIR(info.st_mode)) throw CFileError(SystemErrorText("opened", path, EISDIR));
    // A pipe or a device has no end to read to, or none that is a project.
    if (!S_ISREG(info.st_mode))
        throw CFileError(path + " could not be opened: it is not a regular file.");
    std::vector<uint8_t> bytes;
    try {
        bytes.reserve(static_cast<size_t>(std::max<off_t>(info.st_size, 0)));
        uint8_t chunk[64 * 1024];
        for (;;) {
            const ssize_t got = ::read(fd, chunk, sizeof chunk);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) throw CFileError(SystemErrorText("read", path, errno));
            if (got == 0) break;
            bytes.insert(bytes.end(), chunk, chunk + got);
        }
    } catch (const std::bad_alloc&) {
        throw COutOfMemory();
    }
    return bytes;
}

namespace {

// Saving through a symbolic link must replace the file it points to, not the link itself.
std::string ResolveLinks(std::string path)
{
    std::error_code error;
    if (!std::filesystem::is_symlink(path, error)) return path;
    const std::filesystem::path target = std::filesystem::weakly_canonical(path, error);
    return error ? path : target.string();
}

} // namespace

CAtomicFileSink::CAtomicFileSink(std::string path) : m_path(ResolveLinks(std::move(path)))
{
    // An existing file keeps its permissions; a new one gets the usual 0666 less the umask.
    struct stat target {};
    const bool exists = ::stat(m_path.c_str(), &target) == 0;
    RemoveStaleSaveFiles(FolderOf(m_path));
    std::random_device random;
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        // A short name of its own: the target's name plus a suffix could pass the length limit
        // of a name in the folder.
        m_tempPath = FolderOf(m_path) + "/" + kSavePrefix + std::to_string(::getpid()) + "-" +
                     std::to_string(random() % 1000000);
        m_fd = ::open(m_tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd < 0 && errno != EEXIST) break;
    }
    if (m_fd < 0) {
        const int error = errno;
        m_tempPath.clear();
        throw CFileError(SystemErrorText("written", m_path, error));
    }
    if (exists && ::fchmod(m_fd, target.st_mode & 07777) != 0) Fail(errno);
}

CAtomicFileSink::~CAtomicFileSink()
{
    if (m_fd >= 0) ::close(m_fd);
    if (!m_tempPath.empty()) ::unlink(m_tempPath.c_str());
}

void CAtomicFileSink::Fail(int error) const
{
    throw CFileError(SystemErrorText("written", m_path, error));
}

void CAtomicFileSink::Write(const uint8_t* data, size_t size)
{
    while (size > 0) {
        const ssize_t done = ::write(m_fd, data, size);
        if (done < 0 && errno == EINTR) continue;
        if (done < 0) Fail(errno);
        data += done;
        size -= static_cast<size_t>(done);
    }
}

void CAtomicFileSink::Commit()
{
    if (::fsync(m_fd) != 0) Fail(errno);
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0) Fail(errno);
    if (::rename(m_tempPath.c_str(), m_path.c_str()) != 0) Fail(errno);
    m_tempPath.clear();
    // The rename itself must reach the disk too; a folder that cannot be synced is no failure
    // of the save.
    const int folder = ::open(FolderOf(m_path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}
