#pragma once
// Single controller events that the mixer hands to a Track's player. The UI thread pushes, the
// music thread drains every pass; the queue has its own lock and a fixed capacity, so neither side
// allocates.

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>

struct CUiEvent {
    int32_t trackId = -1; // the Track whose player receives the event
    uint8_t status = 0;   // channel message status; the player puts the Track's channel on it
    uint8_t data1 = 0;
    uint8_t data2 = 0;
};

class CUiEventQueue {
public:
    static constexpr std::size_t kCapacity = 1024;

    // Appends an event; false (and the event is dropped) when the queue is full. UI thread.
    bool Push(const CUiEvent& event);

    // Takes every queued event in arrival order and calls deliver(const CUiEvent&) for each,
    // outside the lock. Music thread; real-time safe as long as `deliver` is.
    template <class TDeliver>
    void Drain(TDeliver&& deliver)
    {
        std::array<CUiEvent, kBatch> batch;
        for (;;) {
            const std::size_t count = TakeBatch(batch.data(), batch.size());
            for (std::size_t i = 0; i < count; ++i) deliver(batch[i]);
            if (count < batch.size()) return;
        }
    }

    // Drops everything queued. Any thread.
    void Clear();
    // Number of queued events. Any thread.
    std::size_t GetCount() const;

private:
    static constexpr std::size_t kBatch = 64;
    std::size_t TakeBatch(CUiEvent* out, std::size_t max);

    mutable std::mutex m_mutex;
    std::array<CUiEvent, kCapacity> m_ring{};
    std::size_t m_head = 0; // index of the oldest event
    std::size_t m_count = 0;
};
