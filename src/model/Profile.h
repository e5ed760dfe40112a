#pragma once
// Seam: the per-user settings profile, values by section and key (QSettings in the application,
// an in-memory map in tests and headless tools).

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

class CProfile {
public:
    virtual ~CProfile() = default;

    virtual int32_t GetInt(const std::string& section, const std::string& key, int32_t def) const = 0;
    virtual void SetInt(const std::string& section, const std::string& key, int32_t value) = 0;
    virtual std::string GetString(const std::string& section, const std::string& key,
                                  const std::string& def) const = 0;
    virtual void SetString(const std::string& section, const std::string& key,
                           const std::string& value) = 0;
    // The keys of a section that hold a value, as they were given.
    virtual std::vector<std::string> GetKeys(const std::string& section) const = 0;
};

// A profile kept in memory: used by headless tools and tests.
class CMemoryProfile : public CProfile {
public:
    int32_t GetInt(const std::string& section, const std::string& key, int32_t def) const override
    {
        const auto it = m_ints.find({section, key});
        return it == m_ints.end() ? def : it->second;
    }
    void SetInt(const std::string& section, const std::string& key, int32_t value) override
    {
        m_ints[{section, key}] = value;
    }
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& def) const override
    {
        const auto it = m_strings.find({section, key});
        return it == m_strings.end() ? def : it->second;
    }
    void SetString(const std::string& section, const std::string& key,
                   const std::string& value) override
    {
        m_strings[{section, key}] = value;
    }
    std::vector<std::string> GetKeys(const std::string& section) const override
    {
        std::vector<std::string> keys;
        for (const auto& entry : m_ints)
            if (entry.first.first == section) keys.push_back(entry.first.second);
        for (const auto& entry : m_strings)
            if (entry.first.first == section) keys.push_back(entry.first.second);
        return keys;
    }

private:
    std::map<std::pair<std::string, std::string>, int32_t> m_ints;
    std::map<std::pair<std::string, std::string>, std::string> m_strings;
};
