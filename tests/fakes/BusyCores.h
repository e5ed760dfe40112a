#pragma once
// A loaded machine: one spinning thread per core for as long as the object lives.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

class CBusyCores {
public:
    // `start` false makes an idle machine (no threads), so callers can choose by argument.
    explicit CBusyCores(bool start = true)
    {
        const unsigned cores = start ? std::max(1u, std::thread::hardware_concurrency()) : 0;
        for (unsigned i = 0; i < cores; ++i)
            m_threads.emplace_back([this] {
                volatile uint64_t spin = 0;
                while (!m_quit.load(std::memory_order_relaxed))
                    spin = spin + 1;
            });
    }
    ~CBusyCores()
    {
        m_quit = true;
        for (std::thread& thread : m_threads)
            thread.join();
    }
    CBusyCores(const CBusyCores&) = delete;
    CBusyCores& operator=(const CBusyCores&) = delete;

private:
    std::atomic<bool> m_quit{false};
    std::vector<std::thread> m_threads;
};
