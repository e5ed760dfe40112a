#include "editing/Clipboard.h"

#include <algorithm>

#include "model/Errors.h"

CClipboardBank::CClipboardBank(const CPhraseBank& bank)
{
    m_bank.CopyFrom(bank);
}

void CClipboardClips::Add(const CClip& clip, int32_t trackIndex)
{
    m_entries.push_back({std::make_unique<CClip>(clip), trackIndex});
}

const CClipboardClips::CEntry& CClipboardClips::GetAt(int32_t index) const
{
    CheckIndex(index, GetCount());
    return m_entries[static_cast<size_t>(index)];
}

tick CClipboardClips::GetEarliestStart() const
{
    tick earliest = kOpenEnd;
    for (const CEntry& entry : m_entries)
        earliest = std::min(earliest, entry.m_clip->GetStart());
    return earliest;
}

int32_t CClipboardClips::GetSmallestTrack() const
{
    int32_t smallest = INT_MAX;
    for (const CEntry& entry : m_entries)
        smallest = std::min(smallest, entry.m_track);
    return smallest;
}

CClipboard& CClipboard::Instance()
{
    static CClipboard clipboard;
    return clipboard;
}
