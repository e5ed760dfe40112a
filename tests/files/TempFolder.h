#pragma once
// A fresh folder under /tmp for one test, removed afterwards. The current directory, which a
// project load moves, is put back too.

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

class CTempFolder {
public:
    CTempFolder() : m_previous(std::filesystem::current_path())
    {
        char pattern[] = "/tmp/tw-projfile-XXXXXX";
        m_path = mkdtemp(pattern);
    }
    ~CTempFolder()
    {
        std::filesystem::current_path(m_previous);
        std::filesystem::remove_all(m_path);
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    std::string operator/(const std::string& name) const { return m_path + "/" + name; }
    const std::string& Path() const { return m_path; }
    // Names of everything in the folder, sorted.
    std::vector<std::string> Entries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_path))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) const
    {
        std::ofstream out(*this / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }

private:
    std::filesystem::path m_previous;
    std::string m_path;
};
