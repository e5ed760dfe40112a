#pragma once
// Seam: the per-user settings profile, values by section and key (QSettings in the application,
// an in-memory map in tests and headless tools).

#include <cstdint>
#include <map>
#include <string>
#include <utility>

class CProfile {
public:
    virtual ~CProfile() = default;

    virtual int32_t GetInt(const std::string& section, const std::string& key, int32_t def) const = 0;
    virtual void SetInt(const std::string& section, const std::string& key, int32_t value) = 0;
    virtual std::string GetString(const std::string& section, const std::string& key,
                                  const std::string& def) const = 0;
    virtual void SetString(const std::string& section, const std::string& key,
                           const std::string& value) = 0;
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

private:
    std::map<std::pair<std::string, std::string>, int32_t> m_ints;
    std::map<std::pair<std::string, std::string>, std::string> m_strings;
};
