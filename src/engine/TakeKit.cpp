#include "engine/TakeKit.h"

#include "model/Track.h"

#include <algorithm>

namespace {
// The Track a kit's clip player is built for until the take finishes and names its own. Only
// read (delay, quantize) while the player is built on the user-interface side.
CTrack& PlaceholderTrack()
{
    static CTrack track;
    return track;
}
} // namespace

std::unique_ptr<STakeKit> STakeKit::Make()
{
    auto kit = std::make_unique<STakeKit>();
    kit->m_clip = std::make_unique<CClip>(0, 0, std::string(), 0);
    kit->m_clip->GetNotes().Reserve(kNoteCapacity);
    kit->m_clip->GetEvents().Reserve(kEventCapacity);
    CRecordedClipPlayers holder;
    holder.emplace(kit->m_clip.get(),
                   std::make_unique<CClipPlayer>(*kit->m_clip, PlaceholderTrack()));
    kit->m_playerNode = holder.extract(holder.begin());
    return kit;
}

CTakePool::~CTakePool()
{
    const std::size_t tail = m_tail.load(std::memory_order_acquire);
    for (std::size_t i = m_head.load(std::memory_order_acquire); i != tail; ++i)
        delete m_slots[i % kCapacity];
}

void CTakePool::TopUp(std::size_t target)
{
    std::lock_guard lock(m_producerLock);
    target = std::min(target, kCapacity);
    for (;;) {
        const std::size_t tail = m_tail.load(std::memory_order_relaxed);
        if (tail - m_head.load(std::memory_order_acquire) >= target) return;
        m_slots[tail % kCapacity] = STakeKit::Make().release();
        m_tail.store(tail + 1, std::memory_order_release);
    }
}

std::unique_ptr<STakeKit> CTakePool::Take()
{
    const std::size_t head = m_head.load(std::memory_order_relaxed);
    if (head == m_tail.load(std::memory_order_acquire)) {
        m_short.fetch_add(1, std::memory_order_relaxed);
        return nullptr;
    }
    std::unique_ptr<STakeKit> kit(m_slots[head % kCapacity]);
    m_head.store(head + 1, std::memory_order_release);
    return kit;
}

std::size_t CTakePool::GetReadyCount() const
{
    return m_tail.load(std::memory_order_acquire) - m_head.load(std::memory_order_acquire);
}
