#pragma once
// The messages of one ALSA output that wait for the kernel: a fixed ring in stamp order. The
// kernel's event pool is small, so a message goes in only once it is at most a bounded time ahead,
// and one the pool has no room for (-EAGAIN) stays first in line for the next try.
//
// Threads: the engine thread only. Real-time safe (the ring is sized once).

#include "devices/MidiBackend.h"

#include <cerrno>
#include <cstdint>
#include <vector>

class COutputBacklog {
public:
    explicit COutputBacklog(size_t capacity) : m_ring(capacity) {}

    bool IsEmpty() const { return m_count == 0; }
    size_t GetCount() const { return m_count; }
    // Adds a message at the end; false when the ring is full (nothing is added then).
    bool Push(const SMidiOutRecord& record)
    {
        if (m_count == m_ring.size()) return false;
        m_ring[(m_head + m_count) % m_ring.size()] = record;
        ++m_count;
        return true;
    }
    void Clear() { m_head = m_count = 0; }

    // Hands write(record) every message due by now + ahead (100 ns), in order. write answers 0
    // when the message went in, -EAGAIN when the pool is full (it is tried again next time; the
    // pump stops), anything else when it was refused (it is dropped and counted in refused).
    // Returns how many went in.
    template <class TWrite>
    int32_t Pump(int64_t now, int64_t ahead, TWrite&& write, int64_t& refused)
    {
        int32_t written = 0;
        while (m_count > 0) {
            const SMidiOutRecord& front = m_ring[m_head];
            if (front.time > now + ahead) break;
            const int result = write(front);
            if (result == -EAGAIN) break;
            if (result == 0) {
                ++written;
            } else {
                ++refused;
            }
            m_head = (m_head + 1) % m_ring.size();
            --m_count;
        }
        return written;
    }

private:
    std::vector<SMidiOutRecord> m_ring;
    size_t m_head = 0;
    size_t m_count = 0;
};
