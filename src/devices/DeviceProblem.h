#pragma once
// Why a device is not open, for the device list: the reason its last open failed, or the fault
// that closed it. Written on the engine thread, read on any (the device dialog).

#include <atomic>
#include <mutex>
#include <string>

class CDeviceProblem {
public:
    void Set(const std::string& reason)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_reason = reason;
        m_any.store(!reason.empty(), std::memory_order_release);
    }
    // One atomic read when there is nothing to clear.
    void Clear()
    {
        if (!m_any.load(std::memory_order_acquire)) return;
        Set({});
    }
    std::string Get() const
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_reason;
    }

private:
    mutable std::mutex m_lock;
    std::string m_reason;
    std::atomic<bool> m_any{false};
};
