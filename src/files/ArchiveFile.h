#pragma once
// The file side of the archive: a file read whole into memory, and a file replaced safely. A save
// goes to a temporary file in the target's folder that is flushed to disk and only then renamed
// over the target, so a crash or a full disk mid-save leaves the previous file as it was.

#include "files/Archive.h"

#include <cstdint>
#include <string>
#include <vector>

// The extension of path with its dot, in lower case (".mid" for "Song.MID"); empty when none.
std::string LowerExtension(const std::string& path);

// The file's bytes; CFileError when it cannot be opened or read.
std::vector<uint8_t> ReadWholeFile(const std::string& path);

// Sink that writes a temporary file in path's folder; Commit puts it in place. Destroying it
// without Commit removes the temporary file and leaves path untouched.
class CAtomicFileSink : public CByteSink {
public:
    // Creates the temporary file, first removing those that saves of processes no longer running
    // left in the folder; CFileError when the folder does not allow it.
    explicit CAtomicFileSink(std::string path);
    ~CAtomicFileSink() override;
    CAtomicFileSink(const CAtomicFileSink&) = delete;
    CAtomicFileSink& operator=(const CAtomicFileSink&) = delete;

    void Write(const uint8_t* data, size_t size) override;
    // Flushes the data to disk and renames the temporary file over path.
    void Commit();

private:
    [[noreturn]] void Fail(int error) const;

    std::string m_path;
    std::string m_tempPath;
    int m_fd = -1;
};
