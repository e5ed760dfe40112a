#pragma once
// Follows incoming MIDI clock: the ticks announced and not yet played, and the tempo the pulses
// imply. The sequencer clock owns one; the pulse handling itself belongs to the clock-sync work,
// the resets here are what the clock's start, stop and settings already need.

#include <cstdint>

struct CClockInTracker {
    int32_t tickDebt = 0;      // announced ticks not yet played (negative: played ahead)
    double tempoEstimate = 0;  // beats per minute, 0 = none
    int32_t lastIntervalMs = 0;
    int32_t lastPulseMs = 0;
    bool pulseSeen = false;
    bool counting = false;

    // Settings 7 and 8 change: forget the incoming clock (the counting flag stays).
    void Reset()
    {
        const bool keepCounting = counting;
        *this = CClockInTracker{};
        counting = keepCounting;
    }
    // Playback starts at `tempo` beats per minute.
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
};
