#include "engine/EngineMailbox.h"

CEngineMailbox::CEngineMailbox()
    : m_blocks(std::make_unique<Block[]>(kPoolSize)), m_fifo(kPoolSize, nullptr)
{
    m_free.reserve(kPoolSize);
    for (std::size_t i = kPoolSize; i-- > 0;) m_free.push_back(&m_blocks[i]);
}

CEngineMailbox::~CEngineMailbox()
{
    Discard();
}

void* CEngineMailbox::AcquireBlock()
{
    if (m_free.empty()) {
        ++m_dropped;
        return nullptr;
    }
    Block* block = m_free.back();
    m_free.pop_back();
    return block;
}

void CEngineMailbox::Enqueue(CEngineNotification* record)
{
    // The ring holds as many entries as the pool has blocks, so it cannot overflow.
    m_fifo[(m_head + m_count) % kPoolSize] = record;
    ++m_count;
}

CEngineNotification* CEngineMailbox::Dequeue()
{
    if (m_count == 0) return nullptr;
    CEngineNotification* record = m_fifo[m_head];
    m_head = (m_head + 1) % kPoolSize;
    --m_count;
    return record;
}

void CEngineMailbox::Release(CEngineNotification* record)
{
    record->~CEngineNotification();
    m_free.push_back(reinterpret_cast<Block*>(record));
}

void CEngineMailbox::PostPosition(int32_t position)
{
    std::lock_guard lock(m_mutex);
    m_position = position;
    m_positionChanged = true;
}

bool CEngineMailbox::TakePosition(int32_t& position)
{
    std::lock_guard lock(m_mutex);
    if (!m_positionChanged) return false;
    position = m_position;
    m_positionChanged = false;
    return true;
}

std::size_t CEngineMailbox::Drain(CEngineNotificationSink& sink)
{
    std::size_t applied = 0;
    for (;;) {
        CEngineNotification* record = nullptr;
        {
            std::lock_guard lock(m_mutex);
            record = Dequeue();
        }
        if (record == nullptr) return applied;
        // Release even when the UI's handler throws, so the pool never leaks a block.
        struct Releaser {
            CEngineMailbox& mailbox;
            CEngineNotification* record;
            ~Releaser()
            {
                std::lock_guard lock(mailbox.m_mutex);
                mailbox.Release(record);
            }
        } releaser{*this, record};
        record->Apply(sink);
        ++applied;
    }
}

void CEngineMailbox::Discard()
{
    std::lock_guard lock(m_mutex);
    while (CEngineNotification* record = Dequeue()) Release(record);
    m_positionChanged = false;
}

std::size_t CEngineMailbox::GetDroppedCount() const
{
    std::lock_guard lock(m_mutex);
    return m_dropped;
}

std::size_t CEngineMailbox::GetPendingCount() const
{
    std::lock_guard lock(m_mutex);
    return m_count;
}
