#include "devices/MidiMsg.h"

#include <memory>
#include <new>

int32_t CMidiMsg::LengthOf(uint8_t status)
{
    switch (status & 0xF0) {
    case 0xC0:
    case 0xD0:
        return 2;
    case 0xF0:
        if (status == 0xF2) return 3;
        if (status == 0xF1 || status == 0xF3) return 2;
        return 1;
    default:
        return 3;
    }
}

CMidiMsg CMidiMsg::Make(uint8_t status, uint8_t data1, uint8_t data2, int32_t time)
{
    return CMidiMsg{time, LengthOf(status), status, data1, data2};
}

CMidiMsgPool& CMidiMsgPool::Instance()
{
    // Deliberately never deleted: static engine objects may release nodes during exit.
    static CMidiMsgPool* pool = new CMidiMsgPool;
    return *pool;
}

namespace {

thread_local bool t_realTime = false;

} // namespace

void CMidiMsgPool::MarkRealTimeThread(bool realTime)
{
    t_realTime = realTime;
}

SMidiMsgNode* CMidiMsgPool::NewBlock()
{
    // Blocks stay allocated for the life of the process; nothing keeps a pointer to them but the
    // free list, which is why they are never handed back.
    SMidiMsgNode* block = new (std::nothrow) SMidiMsgNode[kBlockSize];
    if (!block) return nullptr;
    for (int32_t i = 0; i < kBlockSize - 1; ++i)
        block[i].next = &block[i + 1];
    m_totalCount += kBlockSize;
    return block;
}

bool CMidiMsgPool::Grow()
{
    SMidiMsgNode* block = NewBlock();
    if (!block) return false;
    block[kBlockSize - 1].next = m_free;
    m_free = block;
    m_freeCount += kBlockSize;
    return true;
}

void CMidiMsgPool::Replenish()
{
    while (GetAvailableCount() < kLowWater) {
        const int64_t blocks = (kTarget - GetAvailableCount() + kBlockSize - 1) / kBlockSize;
        for (int64_t i = 0; i < blocks; ++i) {
            SMidiMsgNode* block = NewBlock();
            if (!block) return;
            SMidiMsgNode* last = &block[kBlockSize - 1];
            SMidiMsgNode* head = m_incoming.load(std::memory_order_relaxed);
            do {
                last->next = head;
            } while (!m_incoming.compare_exchange_weak(head, block, std::memory_order_release,
                                                       std::memory_order_relaxed));
            m_incomingCount += kBlockSize;
        }
    }
}

int64_t CMidiMsgPool::GetAvailableCount() const
{
    return m_freeCount.load(std::memory_order_relaxed) +
           m_incomingCount.load(std::memory_order_relaxed);
}

void CMidiMsgPool::Adopt()
{
    SMidiMsgNode* chain = m_incoming.exchange(nullptr, std::memory_order_acquire);
    if (!chain) return;
    int64_t count = 1;
    SMidiMsgNode* last = chain;
    for (; last->next; last = last->next)
        ++count;
    last->next = m_free;
    m_free = chain;
    m_incomingCount -= count;
    m_freeCount += count;
}

SMidiMsgNode* CMidiMsgPool::Take()
{
    if (!m_free) Adopt();
    if (!m_free && (t_realTime || !Grow())) {
        if (t_realTime) ++m_short;
        return nullptr;
    }
    SMidiMsgNode* node = m_free;
    m_free = node->next;
    // Only the list's owning thread changes the count; others merely read it.
    m_freeCount.store(m_freeCount.load(std::memory_order_relaxed) - 1, std::memory_order_relaxed);
    node->msg = CMidiMsg{};
    node->next = nullptr;
    return node;
}

void CMidiMsgPool::Give(SMidiMsgNode* first, SMidiMsgNode* last, int64_t count)
{
    if (!first) return;
    last->next = m_free;
    m_free = first;
    m_freeCount.store(m_freeCount.load(std::memory_order_relaxed) + count,
                      std::memory_order_relaxed);
}

bool CMidiMsgPool::Reserve(int64_t count)
{
    while (m_freeCount < count) {
        if (!Grow()) return false;
    }
    return true;
}

CMidiMsgList::CMidiMsgList(CMidiMsgList&& other) noexcept
    : m_head(other.m_head), m_tail(other.m_tail), m_count(other.m_count)
{
    other.m_head = other.m_tail = nullptr;
    other.m_count = 0;
}

CMidiMsgList& CMidiMsgList::operator=(CMidiMsgList&& other) noexcept
{
    if (this != &other) {
        Clear();
        SpliceAll(other);
    }
    return *this;
}

void CMidiMsgList::LinkBack(SMidiMsgNode* node)
{
    node->next = nullptr;
    if (m_tail) {
        m_tail->next = node;
    } else {
        m_head = node;
    }
    m_tail = node;
    ++m_count;
}

SMidiMsgNode* CMidiMsgList::Unlink(SMidiMsgNode* prev, SMidiMsgNode* node)
{
    if (prev) {
        prev->next = node->next;
    } else {
        m_head = node->next;
    }
    if (m_tail == node) m_tail = prev;
    --m_count;
    node->next = nullptr;
    return node;
}

bool CMidiMsgList::Append(const CMidiMsg& msg)
{
    SMidiMsgNode* node = CMidiMsgPool::Instance().Take();
    if (!node) return false;
    node->msg = msg;
    LinkBack(node);
    return true;
}

bool CMidiMsgList::AppendCopy(const CMidiMsgList& other)
{
    CMidiMsgPool& pool = CMidiMsgPool::Instance();
    // Copying a list onto itself would never end; take a snapshot of the count instead.
    int32_t remaining = other.m_count;
    for (const SMidiMsgNode* node = other.m_head; node && remaining > 0; node = node->next) {
        SMidiMsgNode* copy = pool.Take();
        if (!copy) return false;
        copy->msg = node->msg;
        LinkBack(copy);
        --remaining;
    }
    return true;
}

void CMidiMsgList::SpliceAll(CMidiMsgList& other)
{
    if (this == &other || !other.m_head) return;
    if (m_tail) {
        m_tail->next = other.m_head;
    } else {
        m_head = other.m_head;
    }
    m_tail = other.m_tail;
    m_count += other.m_count;
    other.m_head = other.m_tail = nullptr;
    other.m_count = 0;
}

void CMidiMsgList::Clear()
{
    if (m_head == nullptr) return;
    CMidiMsgPool::Instance().Give(m_head, m_tail, m_count);
    m_head = m_tail = nullptr;
    m_count = 0;
}
