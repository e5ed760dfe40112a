#pragma once
// Auto-reset events in the manner the music thread and the proxy hand-shake with: Set wakes one
// wait and the event clears itself when that wait takes it. Events that are waited on together
// share one CEventGroup (one mutex and condition variable), so a thread can wait for any of them.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <mutex>

// The lock and wake-up shared by a set of events. Any thread.
class CEventGroup {
public:
    CEventGroup() = default;
    CEventGroup(const CEventGroup&) = delete;
    CEventGroup& operator=(const CEventGroup&) = delete;

private:
    friend class CAutoResetEvent;
    std::mutex m_mutex;
    std::condition_variable m_wake;
};

class CAutoResetEvent {
public:
    // The returned index of WaitAny when the time-out passed without a signal.
    static constexpr int kTimedOut = -1;

    // The event belongs to `group` (borrowed; it must outlive the event).
    explicit CAutoResetEvent(CEventGroup& group) : m_group(group) {}
    CAutoResetEvent(const CAutoResetEvent&) = delete;
    CAutoResetEvent& operator=(const CAutoResetEvent&) = delete;

    // Signals the event; it stays signalled until one wait takes it. Any thread.
    void Set();
    // Clears the event without waiting. Any thread.
    void Reset();
    // Waits without a time-out and takes the signal. Any thread.
    void Wait();

    // Waits until one of `events` (all of one group) is signalled, takes that signal and returns
    // its position in the list; the first listed wins when several are signalled. Returns
    // kTimedOut after `timeout`. Any thread.
    static int WaitAny(std::initializer_list<CAutoResetEvent*> events,
                       std::chrono::microseconds timeout);
    // As WaitAny without a time-out.
    static int WaitAnyForever(std::initializer_list<CAutoResetEvent*> events);

    // Watches `events` without taking a signal or sleeping, for at most `limit`; true as soon as
    // one is signalled. A thread whose partner runs on another core spins here before it waits:
    // an answer that comes within microseconds then costs no sleep and no wake-up. Any thread.
    static bool SpinUntilAny(std::initializer_list<CAutoResetEvent*> events,
                             std::chrono::nanoseconds limit);

private:
    static int TakeFirst(std::initializer_list<CAutoResetEvent*> events);

    CEventGroup& m_group;
    // Written under m_group.m_mutex; atomic so that SpinUntilAny may look without the lock.
    std::atomic<bool> m_signalled{false};
};
