#include "engine/UiEventQueue.h"

bool CUiEventQueue::Push(const CUiEvent& event)
{
    std::lock_guard lock(m_mutex);
    if (m_count == kCapacity) return false;
    m_ring[(m_head + m_count) % kCapacity] = event;
    ++m_count;
    return true;
}

std::size_t CUiEventQueue::TakeBatch(CUiEvent* out, std::size_t max)
{
    std::lock_guard lock(m_mutex);
    std::size_t taken = 0;
    while (taken < max && m_count > 0) {
        out[taken++] = m_ring[m_head];
        m_head = (m_head + 1) % kCapacity;
        --m_count;
    }
    return taken;
}

void CUiEventQueue::Clear()
{
    std::lock_guard lock(m_mutex);
    m_head = 0;
    m_count = 0;
}

std::size_t CUiEventQueue::GetCount() const
{
    std::lock_guard lock(m_mutex);
    return m_count;
}
