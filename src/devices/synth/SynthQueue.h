#pragma once
// Messages on their way to the synthesizer, each stamped with the audio frame it is to sound at,
// and the render loop that plays them there: render up to a message's frame, apply it, render on.
// FluidSynth applies a message at its next 64-frame block, so a message sounds at most 63 frames
// after its frame; it never drifts.
//
// Threads: one producer (Push) and one consumer (Peek/Pop and SplitRender), lock-free.

#include "devices/synth/SynthCore.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

// One message and the frame it sounds at (frames counted by the one who renders).
struct SSynthEvent {
    int64_t frame = 0;
    uint8_t length = 0;
    std::array<uint8_t, 3> bytes{};
};

// A fixed ring of events, single producer and single consumer.
class CSynthQueue {
public:
    static constexpr size_t kCapacity = 1 << 14; // events

    CSynthQueue() : m_events(kCapacity) {}

    // Producer. False when the ring is full (the event is lost).
    bool Push(const SSynthEvent& event)
    {
        const size_t head = m_head.load(std::memory_order_relaxed);
        if (head - m_tail.load(std::memory_order_acquire) == kCapacity) return false;
        m_events[head & (kCapacity - 1)] = event;
        m_head.store(head + 1, std::memory_order_release);
        return true;
    }
    // Consumer: the oldest event, or null when there is none.
    const SSynthEvent* Peek() const
    {
        const size_t tail = m_tail.load(std::memory_order_relaxed);
        if (tail == m_head.load(std::memory_order_acquire)) return nullptr;
        return &m_events[tail & (kCapacity - 1)];
    }
    void Pop()
    {
        m_tail.store(m_tail.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    }
    // Either side: nothing waits.
    bool IsEmpty() const
    {
        return m_tail.load(std::memory_order_acquire) == m_head.load(std::memory_order_acquire);
    }

private:
    std::vector<SSynthEvent> m_events;
    std::atomic<size_t> m_head{0};
    std::atomic<size_t> m_tail{0};
};

// A growing list of events with the queue's consumer side, for a render on one thread.
class CSynthEventList {
public:
    void Push(const SSynthEvent& event) { m_events.push_back(event); }
    const SSynthEvent* Peek() const
    {
        return m_next < m_events.size() ? &m_events[m_next] : nullptr;
    }
    void Pop()
    {
        if (++m_next == m_events.size()) {
            m_events.clear();
            m_next = 0;
        }
    }
    bool IsEmpty() const { return m_next == m_events.size(); }

private:
    std::vector<SSynthEvent> m_events;
    size_t m_next = 0;
};

// A synthesizer that arrives late (its font was still loading) takes what came due meanwhile:
// every message before frame `first` is applied at once, except the notes that would start in
// the past (they are skipped; ending one that never sounded does nothing). The song's programs,
// controllers and bends are then in place. Returns how many notes were skipped. Real-time safe.
template <class TQueue> int32_t CatchUp(CSynthCore& synth, TQueue& queue, int64_t first)
{
    int32_t skipped = 0;
    while (const SSynthEvent* event = queue.Peek()) {
        if (event->frame >= first) break;
        const bool noteOn =
            event->length == 3 && (event->bytes[0] & 0xF0) == 0x90 && event->bytes[2] != 0;
        if (noteOn) {
            ++skipped;
        } else {
            synth.Apply(event->bytes.data(), event->length);
        }
        queue.Pop();
    }
    return skipped;
}

// Renders frames of audio starting at frame `first` into left and right, applying every queued
// event due before first + frames at its own frame (a late one at once). Events must come in
// non-decreasing frame order. Returns how many were late. Real-time safe.
template <class TQueue>
int32_t SplitRender(CSynthCore& synth, TQueue& queue, float* left, float* right, uint32_t frames,
                    int64_t first)
{
    int32_t late = 0;
    uint32_t done = 0;
    while (const SSynthEvent* event = queue.Peek()) {
        const int64_t offset = event->frame - first;
        if (offset >= static_cast<int64_t>(frames)) break;
        if (offset < static_cast<int64_t>(done)) {
            late += offset < 0 ? 1 : 0;
        } else {
            const auto at = static_cast<uint32_t>(offset);
            synth.Render(left + done, right + done, at - done);
            done = at;
        }
        synth.Apply(event->bytes.data(), event->length);
        queue.Pop();
    }
    synth.Render(left + done, right + done, frames - done);
    return late;
}
