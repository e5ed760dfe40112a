#pragma once
// The most recently opened project files, most recent first, kept in the settings profile.
// User-interface thread only.

#include <cstdint>
#include <string>
#include <vector>

class CProfile;

class CRecentFileList {
public:
    static constexpr int32_t kMaxEntries = 4;

    int32_t GetCount() const { return static_cast<int32_t>(m_paths.size()); }
    // Empty when index is out of range (an empty entry opens nothing).
    std::string GetAt(int32_t index) const;
    // Puts the path first, dropping an older entry for it and the oldest entry beyond the limit.
    // An empty path is ignored.
    void Add(const std::string& path);
    // Drops the entry for the path, if there is one.
    void Remove(const std::string& path);

    // Reads and writes the entries "File1".."File4" of the section "Recent File List".
    void Load(const CProfile& profile);
    void Save(CProfile& profile) const;

private:
    std::vector<std::string> m_paths;
};
