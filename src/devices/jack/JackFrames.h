#pragma once
// Frame arithmetic of the JACK backend, kept free of JACK itself so it can be tested alone: the
// master clock in 100 ns units is the server's frame counter scaled by the sample rate, and a
// stamp maps back to exactly one frame.
//
// Threads: pure functions; any thread, real-time safe.

#include <algorithm>
#include <cstdint>

namespace jackframes {

constexpr int64_t kUnitsPerSecond = 10000000; // master-clock units (100 ns) per second

// Master-clock time of the start of `frame` (floor, so TimeToFrame gives the frame back).
inline int64_t FramesToTime(int64_t frame, uint32_t rate)
{
    const int64_t r = rate;
    return (frame / r) * kUnitsPerSecond + (frame % r) * kUnitsPerSecond / r;
}

// The frame whose span holds `time` (100 ns), rounded to the nearest frame.
inline int64_t TimeToFrame(int64_t time, uint32_t rate)
{
    const int64_t r = rate;
    const int64_t whole = time / kUnitsPerSecond;
    const int64_t rest = time % kUnitsPerSecond;
    return whole * r + (rest * r + kUnitsPerSecond / 2) / kUnitsPerSecond;
}

// Extends the server's 32-bit frame counter to 64 bits: `last` is a previous extended value, `now`
// the counter read later (less than 2^31 frames later, or slightly earlier).
inline int64_t Unwrap(int64_t last, uint32_t now)
{
    const auto delta = static_cast<int32_t>(now - static_cast<uint32_t>(last));
    return last + delta;
}

// Where one stamped message goes in the current cycle.
struct SPlacement {
    bool due = false;  // belongs to this cycle (or an earlier one); false: keep it for later
    bool late = false; // its frame has passed: written at the earliest offset allowed
    uint32_t offset = 0;
};

// Places a message due at `frame` in the cycle of `frames` frames starting at `cycleStart`, after
// a message written at `minOffset` (JACK refuses offsets that go back or leave the cycle).
inline SPlacement Place(int64_t frame, int64_t cycleStart, uint32_t frames, uint32_t minOffset)
{
    const int64_t relative = frame - cycleStart;
    if (relative >= static_cast<int64_t>(frames)) return {};
    if (relative < 0) return {true, true, minOffset};
    return {true, false, std::max(minOffset, static_cast<uint32_t>(relative))};
}

} // namespace jackframes
