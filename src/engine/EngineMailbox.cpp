#include "engine/EngineMailbox.h"

#include "model/Clip.h"

#include <algorithm>

void CEngineNotificationSink::OnRecordingFinished(int32_t, int32_t, std::unique_ptr<CClip>)
{}

CEngineMailbox::CEngineMailbox()
{
    GrowIfLow();
}

void CEngineMailbox::GrowIfLow()
{
    std::size_t size = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_free.size() * 2 >= m_poolSize && m_poolSize != 0) return;
        size = m_poolSize;
    }
    // Only this thread grows the pool, so its size cannot change while we allocate unlocked.
    SGrowth growth = PrepareGrowth(size);
    {
        std::lock_guard lock(m_mutex);
        if (m_poolSize != size) return; // another caller grew it meanwhile
        InstallGrowth(growth);
    }
    // The old free list and ring are released here, outside the lock.
}

CEngineMailbox::SGrowth CEngineMailbox::PrepareGrowth(std::size_t size)
{
    SGrowth growth;
    growth.added = std::max(size, kPoolSize);
    growth.chunk = std::make_unique<Block[]>(growth.added);
    growth.free.reserve(size + growth.added);
    growth.fifo.assign(size + growth.added, nullptr);
    return growth;
}

void CEngineMailbox::InstallGrowth(SGrowth& growth)
{
    growth.free.assign(m_free.begin(), m_free.end());
    for (std::size_t i = growth.added; i-- > 0;)
        growth.free.push_back(&growth.chunk[i]);
    for (std::size_t i = 0; i < m_count; ++i)
        growth.fifo[i] = m_fifo[(m_head + i) % m_poolSize];
    m_head = 0;
    m_free.swap(growth.free);
    m_fifo.swap(growth.fifo);
    m_chunks.push_back(std::move(growth.chunk));
    m_poolSize += growth.added;
}

std::size_t CEngineMailbox::GetPoolSize() const
{
    std::lock_guard lock(m_mutex);
    return m_poolSize;
}

CEngineMailbox::~CEngineMailbox()
{
    Discard();
}

void* CEngineMailbox::AcquireBlock(bool kept)
{
    if (kept && m_free.empty()) {
        // The UI has not come by for a long time; losing a take would be worse than allocating.
        SGrowth growth = PrepareGrowth(m_poolSize);
        InstallGrowth(growth);
    }
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
    m_fifo[(m_head + m_count) % m_poolSize] = record;
    ++m_count;
}

CEngineNotification* CEngineMailbox::Dequeue()
{
    if (m_count == 0) return nullptr;
    CEngineNotification* record = m_fifo[m_head];
    m_head = (m_head + 1) % m_poolSize;
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
    if (m_muted) return;
    std::lock_guard lock(m_mutex);
    m_position = position;
    m_positionChanged = true;
}

void CEngineMailbox::PostTempo(int32_t tempo)
{
    if (m_muted) return;
    std::lock_guard lock(m_mutex);
    m_tempo = tempo;
    m_tempoChanged = true;
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
    GrowIfLow();
    if (m_drainHook) m_drainHook();
    std::size_t applied = 0;
    bool tempoChanged = false;
    int32_t tempo = 0;
    {
        std::lock_guard lock(m_mutex);
        tempoChanged = std::exchange(m_tempoChanged, false);
        tempo = m_tempo;
    }
    if (tempoChanged) {
        sink.OnTransportRequest(CTransportNotification::kTempo, tempo);
        ++applied;
    }
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
    while (CEngineNotification* record = Dequeue())
        Release(record);
    m_positionChanged = false;
    m_tempoChanged = false;
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
