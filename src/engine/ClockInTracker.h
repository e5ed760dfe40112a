#pragma once
// Follows incoming MIDI clock for the sequencer clock: the tempo the pulses imply and the tick
// debt, the ticks the pulses announced (4 per pulse) less the ticks the passed time asked for.
// The debt decides how many ticks a pass plays: more when the clock runs ahead of us, fewer or
// none when we ran ahead of it.
//
// Threads: music thread (it lives inside the clock).

#include <algorithm>
#include <climits>
#include <cstdint>

struct CClockInTracker {
    static constexpr int32_t kTicksPerPulse = 4;    // 96 ticks per quarter, 24 pulses
    static constexpr int32_t kMaxGapMs = 1000;      // a longer silence forgets the clock
    static constexpr int32_t kMaxCatchUpFactor = 5; // a pass plays at most 5 extra ticks per tick
    static constexpr double kMinTempo = 20.0;
    static constexpr double kMaxTempo = 255.0;

    int32_t tickDebt = 0;       // announced ticks not yet played (negative: played ahead)
    double tempoEstimate = 0;   // beats per minute, 0 = none
    int32_t lastIntervalMs = 0; // between the two latest pulses, 0 = none
    int32_t lastPulseMs = 0;    // stamp of the latest pulse, 0 = none
    bool pulseSeen = false;
    bool counting = false;

    // Settings 7 and 8 change: forget the incoming clock (the counting flag stays).
    void Reset()
    {
        const bool keepCounting = counting;
        *this = CClockInTracker{};
        counting = keepCounting;
    }
    // Playback starts at tempo beats per minute.
    void OnStart(double tempo)
    {
        tempoEstimate = tempo;
        tickDebt = 0;
    }
    void OnStop()
    {
        tickDebt = 0;
        pulseSeen = false;
    }

    // A timing clock stamped msStamp arrived. Returns false when it ended a silence of more than
    // kMaxGapMs: the tracker starts over and the pulse plays nothing.
    bool OnPulse(int32_t msStamp)
    {
        pulseSeen = true;
        if (lastPulseMs != 0 && msStamp > lastPulseMs) {
            const int32_t interval = msStamp - lastPulseMs;
            if (interval > kMaxGapMs) {
                Reset();
                return false;
            }
            lastIntervalMs = interval;
            if (counting) tickDebt += kTicksPerPulse;
        }
        lastPulseMs = msStamp;
        if (lastIntervalMs != 0) {
            // 60000 ms per minute over 24 pulses per beat.
            tempoEstimate = std::clamp(2500.0 / lastIntervalMs, kMinTempo, kMaxTempo);
        }
        return true;
    }

    // A pass owes n ticks of time: how many ticks to play in that time, 0 to wait for the clock.
    int64_t TicksToPlay(int64_t n)
    {
        counting = true;
        if (pulseSeen) tickDebt = Saturate(tickDebt - n);
        if (tickDebt < 0) {
            if (-static_cast<int64_t>(tickDebt) < n) {
                const int64_t count = n + tickDebt;
                tickDebt = 0;
                return count;
            }
            tickDebt = Saturate(tickDebt + n); // wait: the time passes without a tick
            return 0;
        }
        const int64_t extra = std::min<int64_t>(tickDebt, kMaxCatchUpFactor * n);
        tickDebt = Saturate(tickDebt - extra);
        return n + extra;
    }

private:
    static int32_t Saturate(int64_t value)
    {
        return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
    }
};
