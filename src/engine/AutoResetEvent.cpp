#include "engine/AutoResetEvent.h"

#include <algorithm>

namespace {

// Tells the core that this is a spin-wait loop (it yields to a sibling hyper-thread).
inline void CpuRelax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

} // namespace

void CAutoResetEvent::Set()
{
    {
        std::lock_guard lock(m_group.m_mutex);
        m_signalled = true;
    }
    // Several threads may wait on different events of one group, so everyone re-checks.
    m_group.m_wake.notify_all();
}

void CAutoResetEvent::Reset()
{
    std::lock_guard lock(m_group.m_mutex);
    m_signalled = false;
}

void CAutoResetEvent::Wait()
{
    WaitAnyForever({this});
}

int CAutoResetEvent::TakeFirst(std::initializer_list<CAutoResetEvent*> events)
{
    int index = 0;
    for (CAutoResetEvent* event : events) {
        if (event->m_signalled.load(std::memory_order_relaxed)) {
            event->m_signalled.store(false, std::memory_order_relaxed);
            return index;
        }
        ++index;
    }
    return kTimedOut;
}

int CAutoResetEvent::WaitAny(std::initializer_list<CAutoResetEvent*> events,
                             std::chrono::microseconds timeout)
{
    if (events.size() == 0) return kTimedOut;
    CEventGroup& group = (*events.begin())->m_group;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(group.m_mutex);
    for (;;) {
        const int taken = TakeFirst(events);
        if (taken != kTimedOut) return taken;
        if (group.m_wake.wait_until(lock, deadline) == std::cv_status::timeout)
            return TakeFirst(events);
    }
}

int CAutoResetEvent::WaitAnyForever(std::initializer_list<CAutoResetEvent*> events)
{
    if (events.size() == 0) return kTimedOut;
    CEventGroup& group = (*events.begin())->m_group;
    std::unique_lock lock(group.m_mutex);
    int taken = kTimedOut;
    group.m_wake.wait(lock, [&] { return (taken = TakeFirst(events)) != kTimedOut; });
    return taken;
}

bool CAutoResetEvent::SpinUntilAny(std::initializer_list<CAutoResetEvent*> events,
                                   std::chrono::nanoseconds limit)
{
    const auto anySignalled = [&] {
        return std::any_of(events.begin(), events.end(), [](const CAutoResetEvent* event) {
            return event->m_signalled.load(std::memory_order_acquire);
        });
    };
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!anySignalled()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        for (int i = 0; i < 16 && !anySignalled(); ++i) CpuRelax();
    }
    return true;
}
