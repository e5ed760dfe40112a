#include "document/RecentFileList.h"

#include <algorithm>

#include "model/Profile.h"

namespace {

constexpr const char* kSection = "Recent File List";

std::string KeyOf(int32_t index)
{
    return "File" + std::to_string(index + 1);
}

} // namespace

std::string CRecentFileList::GetAt(int32_t index) const
{
    if (index < 0 || index >= GetCount()) return {};
    return m_paths[index];
}

void CRecentFileList::Add(const std::string& path)
{
    if (path.empty()) return;
    Remove(path);
    m_paths.insert(m_paths.begin(), path);
    if (GetCount() > kMaxEntries) m_paths.resize(kMaxEntries);
}

void CRecentFileList::Remove(const std::string& path)
{
    m_paths.erase(std::remove(m_paths.begin(), m_paths.end(), path), m_paths.end());
}

void CRecentFileList::Load(const CProfile& profile)
{
    m_paths.clear();
    for (int32_t i = 0; i < kMaxEntries; ++i) {
        const std::string path = profile.GetString(kSection, KeyOf(i), "");
        if (!path.empty() && std::find(m_paths.begin(), m_paths.end(), path) == m_paths.end())
            m_paths.push_back(path);
    }
}

void CRecentFileList::Save(CProfile& profile) const
{
    for (int32_t i = 0; i < kMaxEntries; ++i)
        profile.SetString(kSection, KeyOf(i), GetAt(i));
}
