#pragma once
// One MIDI message as it travels between the nodes of the routing graph, and the cheap list that
// carries a tick's worth of them.
//
// Threads: message lists belong to the thread that runs the engine (the music thread, or the
// caller's thread when the engine runs inline). Their nodes come from one process-wide pool that
// has no lock, so a list must never be created, filled or destroyed on any other thread; hand data
// to other threads as plain vectors. The input callback thread never touches lists.

#include <atomic>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <type_traits>

// One message. In the pending lists of players and drivers the time word is a countdown in ticks;
// in parsed input it is the driver's time stamp in milliseconds.
struct CMidiMsg {
    int32_t time = 0;   // see above: tick countdown or millisecond stamp
    int32_t length = 3; // bytes on the wire: 1, 2 or 3
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;

    // The number of bytes a message with this status byte has on the wire (1..3).
    static int32_t LengthOf(uint8_t status);
    // A message with its length taken from the status byte.
    static CMidiMsg Make(uint8_t status, uint8_t data1 = 0, uint8_t data2 = 0, int32_t time = 0);

    bool operator==(const CMidiMsg&) const = default;
};

// The time word of input without a stamp of its own (the releases a node makes up for the notes
// still held when its input goes): it counts as received now.
inline constexpr int32_t kInputStampNow = INT32_MIN;

// A pooled list node; only CMidiMsgList and CMidiMsgPool handle these.
struct SMidiMsgNode {
    CMidiMsg msg;
    SMidiMsgNode* next = nullptr;
};

// The process-wide free list that every CMidiMsgList takes its nodes from. It never shrinks.
// Engine thread only (see the file comment), except Replenish and GetAvailableCount. On the music
// thread (MarkRealTimeThread) it never allocates: other threads hand it ready blocks through a
// lock-free stack (Replenish, which the proxy calls before every command), and it adopts them when
// its free list runs out.
class CMidiMsgPool {
public:
    static constexpr int32_t kBlockSize = 512; // nodes added per growth step
    // Replenish tops the pool up to kTarget nodes when fewer than kLowWater are left, so one
    // command's messages (a reset of every output) and the passes up to the next command fit.
    static constexpr int64_t kLowWater = 8192;
    static constexpr int64_t kTarget = 16384;

    // The one pool. It is never destroyed, so lists in static objects may outlive everything.
    static CMidiMsgPool& Instance();

    // A node with a default message, or nullptr when memory is exhausted, or on the music thread
    // when no ready node is left (never throws, never allocates there).
    SMidiMsgNode* Take();
    // Returns the chain first..last (linked through next) to the free list.
    void Give(SMidiMsgNode* first, SMidiMsgNode* last, int64_t count);
    // Grows until at least count nodes are free; returns false when memory ran out.
    bool Reserve(int64_t count);

    // Allocates blocks and hands them over when fewer than kLowWater nodes are left. Any thread but
    // the music thread; safe while the music thread uses the pool.
    void Replenish();
    // Nodes free or handed over but not yet adopted. Any thread.
    int64_t GetAvailableCount() const;
    // The calling thread is the music thread: Take never allocates on it.
    static void MarkRealTimeThread(bool realTime);
    // Takes that found no node on the music thread. Any thread.
    int64_t GetShortCount() const { return m_short.load(std::memory_order_relaxed); }

    int64_t GetFreeCount() const { return m_freeCount.load(std::memory_order_relaxed); }
    int64_t GetTotalCount() const { return m_totalCount.load(std::memory_order_relaxed); }

    CMidiMsgPool(const CMidiMsgPool&) = delete;
    CMidiMsgPool& operator=(const CMidiMsgPool&) = delete;

private:
    CMidiMsgPool() = default;
    bool Grow();
    // Moves the handed-over nodes to the free list; no allocation.
    void Adopt();
    // A new block of kBlockSize linked nodes, or null; counted in the total.
    SMidiMsgNode* NewBlock();

    SMidiMsgNode* m_free = nullptr;
    std::atomic<int64_t> m_freeCount{0};
    std::atomic<int64_t> m_totalCount{0};
    std::atomic<SMidiMsgNode*> m_incoming{nullptr}; // blocks handed over, linked through next
    std::atomic<int64_t> m_incomingCount{0};
    std::atomic<int64_t> m_short{0};
};

// An ordered, singly linked list of messages with O(1) append and O(1) splice. Destroying or
// clearing it returns the nodes to the pool. Move-only; copy explicitly with AppendCopy.
// Every member is real-time safe once the pool holds enough nodes.
class CMidiMsgList {
public:
    template <bool Const> class Iter {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = CMidiMsg;
        using difference_type = std::ptrdiff_t;
        using pointer = std::conditional_t<Const, const CMidiMsg*, CMidiMsg*>;
        using reference = std::conditional_t<Const, const CMidiMsg&, CMidiMsg&>;
        using NodePtr = std::conditional_t<Const, const SMidiMsgNode*, SMidiMsgNode*>;

        Iter() = default;
        explicit Iter(NodePtr node) : m_node(node) {}
        reference operator*() const { return m_node->msg; }
        pointer operator->() const { return &m_node->msg; }
        Iter& operator++()
        {
            m_node = m_node->next;
            return *this;
        }
        Iter operator++(int)
        {
            Iter old = *this;
            m_node = m_node->next;
            return old;
        }
        bool operator==(const Iter&) const = default;

    private:
        NodePtr m_node = nullptr;
    };
    using iterator = Iter<false>;
    using const_iterator = Iter<true>;

    CMidiMsgList() = default;
    ~CMidiMsgList()
    {
        if (m_head != nullptr) Clear(); // most lists of a tick stay empty
    }
    CMidiMsgList(CMidiMsgList&& other) noexcept;
    CMidiMsgList& operator=(CMidiMsgList&& other) noexcept;
    CMidiMsgList(const CMidiMsgList&) = delete;
    CMidiMsgList& operator=(const CMidiMsgList&) = delete;

    bool IsEmpty() const { return m_head == nullptr; }
    int32_t Count() const { return m_count; }

    // Appends a copy of msg; false only when the pool cannot grow (the message is then lost).
    bool Append(const CMidiMsg& msg);
    // Appends copies of every message of other, in order; false if memory ran out part-way.
    bool AppendCopy(const CMidiMsgList& other);
    // Moves every node of other to the end of this list; other is left empty. Never allocates.
    void SpliceAll(CMidiMsgList& other);
    // Moves, in order, every message for which pred(msg) is true to the end of target. pred gets a
    // mutable message so that it may count a time word down as it decides.
    template <class Pred> void MoveIf(CMidiMsgList& target, Pred pred);
    // Removes the first message for which pred(msg) is true; false when there is none.
    template <class Pred> bool RemoveFirst(Pred pred);
    // Returns every node to the pool.
    void Clear();

    CMidiMsg& Front() { return m_head->msg; } // list must not be empty
    const CMidiMsg& Front() const { return m_head->msg; }

    iterator begin() { return iterator(m_head); }
    iterator end() { return iterator(); }
    const_iterator begin() const { return const_iterator(m_head); }
    const_iterator end() const { return const_iterator(); }

private:
    // Unlinks node (whose predecessor is prev, or null for the head) and returns it.
    SMidiMsgNode* Unlink(SMidiMsgNode* prev, SMidiMsgNode* node);
    void LinkBack(SMidiMsgNode* node);

    SMidiMsgNode* m_head = nullptr;
    SMidiMsgNode* m_tail = nullptr;
    int32_t m_count = 0;
};

template <class Pred> void CMidiMsgList::MoveIf(CMidiMsgList& target, Pred pred)
{
    SMidiMsgNode* prev = nullptr;
    SMidiMsgNode* node = m_head;
    while (node) {
        SMidiMsgNode* next = node->next;
        if (pred(node->msg)) {
            target.LinkBack(Unlink(prev, node));
        } else {
            prev = node;
        }
        node = next;
    }
}

template <class Pred> bool CMidiMsgList::RemoveFirst(Pred pred)
{
    SMidiMsgNode* prev = nullptr;
    for (SMidiMsgNode* node = m_head; node; prev = node, node = node->next) {
        if (pred(static_cast<const CMidiMsg&>(node->msg))) {
            SMidiMsgNode* gone = Unlink(prev, node);
            CMidiMsgPool::Instance().Give(gone, gone, 1);
            return true;
        }
    }
    return false;
}
