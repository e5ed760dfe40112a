#include "engine/ClipSchedule.h"

#include "engine/ClipPlayer.h"
#include "engine/PlayerSupport.h"

#include <algorithm>

void CClipSchedule::Add(CClipPlayer* player)
{
    m_all.push_back(player);
    // Room for every player in the per-tick lists, so a tick never allocates; they grow with the
    // list of all players, not one by one.
    Reserve(m_all.capacity());
    MarkDirty();
}

void CClipSchedule::Reserve(std::size_t count)
{
    m_all.reserve(count);
    m_active.reserve(count);
    m_due.reserve(count);
    m_dueNow.reserve(count);
    m_waiting.reserve(count);
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
    m_due.clear();
    m_waiting.clear();
    MarkDirty();
}

void CClipSchedule::Rebuild(tick position)
{
    m_active.clear();
    m_due.clear();
    m_waiting.clear();
    for (std::size_t i = 0; i < m_all.size(); ++i) {
        CClipPlayer* player = m_all[i];
        if (player->ContainsTick(position) || player->GetPendingCount() > 0) {
            m_active.push_back(player);
            m_due.push_back(player->NextWorkTick(position));
        } else if (player->GetWindowStart() > position) {
            m_waiting.push_back({player, i});
        }
    }
    // Not stable_sort: that takes a buffer from the heap, and this runs on the music thread.
    std::sort(m_waiting.begin(), m_waiting.end(), [](const SWaiting& a, const SWaiting& b) {
        const tick startA = a.player->GetWindowStart();
        const tick startB = b.player->GetWindowStart();
        return startA != startB ? startA < startB : a.order < b.order;
    });
    m_nextWaiting = 0;
    m_dirty = false;
}

std::span<const size_t> CClipSchedule::FindDue(tick position)
{
    // Within the room reserved for every player: no allocation.
    if (m_dueNow.size() < m_active.size()) m_dueNow.resize(m_active.size());
    // Without a branch: which players are due is random from tick to tick, and a mispredicted
    // branch per due player cost more than writing every index.
    size_t* out = m_dueNow.data();
    size_t count = 0;
    for (size_t i = 0; i < m_active.size(); ++i) {
        out[count] = i;
        count += m_due[i] <= position ? 1 : 0;
    }
    return {out, count};
}

void CClipSchedule::Play(tick position)
{
    if (m_dirty || position != m_expected) Rebuild(position);
    for (; m_nextWaiting < m_waiting.size(); ++m_nextWaiting) {
        CClipPlayer* player = m_waiting[m_nextWaiting].player;
        if (player->GetWindowStart() > position) break;
        if (!player->ContainsTick(position)) continue; // an empty window
        m_active.push_back(player);
        m_due.push_back(player->NextWorkTick(position));
    }
    const tick next = TickSum(position, 1);
    // The players due on a tick lie scattered over the heap: asked for all at once, and then for
    // what each of them reads, their cache misses overlap instead of following one another.
    const std::span<const size_t> dueNow = FindDue(position);
    for (const size_t i : dueNow)
        PrefetchObject(m_active[i]);
    for (const size_t i : dueNow)
        m_active[i]->PrefetchWork();
    for (const size_t i : dueNow)
        m_active[i]->PrefetchDeeper();
    bool finished = false;
    for (const size_t i : dueNow) {
        m_active[i]->PlayTick(position);
        m_due[i] = m_active[i]->NextWorkTick(next);
        finished = finished || m_due[i] == INT64_MAX;
    }
    if (finished) {
        // Players with nothing left to do leave until a command or a jump rebuilds the schedule.
        size_t kept = 0;
        for (size_t i = 0; i < m_active.size(); ++i) {
            if (m_due[i] == INT64_MAX) continue;
            m_active[kept] = m_active[i];
            m_due[kept++] = m_due[i];
        }
        m_active.resize(kept);
        m_due.resize(kept);
    }
    m_expected = next;
}
