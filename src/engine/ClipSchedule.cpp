#include "engine/ClipSchedule.h"

#include "engine/ClipPlayer.h"

#include <algorithm>

void CClipSchedule::Add(CClipPlayer* player)
{
    m_all.push_back(player);
    // Room for every player in the per-tick lists, so a tick never allocates.
    m_active.reserve(m_all.size());
    m_waiting.reserve(m_all.size());
    MarkDirty();
}

void CClipSchedule::Remove(const CClipPlayer* player)
{
    auto it = std::find(m_all.begin(), m_all.end(), player);
    if (it != m_all.end()) m_all.erase(it);
    MarkDirty();
}

void CClipSchedule::Clear()
{
    m_all.clear();
    m_active.clear();
    m_waiting.clear();
    MarkDirty();
}

void CClipSchedule::Rebuild(tick position)
{
    m_active.clear();
    m_waiting.clear();
    for (CClipPlayer* player : m_all) {
        if (player->ContainsTick(position) || player->GetPendingCount() > 0)
            m_active.push_back(player);
        else if (player->GetWindowStart() > position)
            m_waiting.push_back(player);
    }
    std::stable_sort(m_waiting.begin(), m_waiting.end(), [](const auto* a, const auto* b) {
        return a->GetWindowStart() < b->GetWindowStart();
    });
    m_nextWaiting = 0;
    m_dirty = false;
}

void CClipSchedule::Play(tick position)
{
    if (m_dirty || position != m_expected) Rebuild(position);
    for (; m_nextWaiting < m_waiting.size(); ++m_nextWaiting) {
        CClipPlayer* player = m_waiting[m_nextWaiting];
        if (player->GetWindowStart() > position) break;
        if (player->ContainsTick(position)) m_active.push_back(player);
    }
    for (size_t i = 0; i < m_active.size(); ++i)
        m_active[i]->PlayTick(position);
    const tick next = TickSum(position, 1);
    std::erase_if(m_active, [next](const CClipPlayer* player) {
        return !player->ContainsTick(next) && player->GetPendingCount() == 0;
    });
    m_expected = next;
}
