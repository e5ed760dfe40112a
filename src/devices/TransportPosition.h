#pragma once
// The arithmetic between a shared transport's frames, bar/beat/tick positions and our ticks (96
// per quarter note) at one tempo. Kept apart from the backend and the engine, which both need it:
// the JACK backend publishes bars and beats while leading, the engine follows them.
//
// Threads: pure functions; any thread, real-time safe.

#include "devices/BackendTransport.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace transportpos {

constexpr int32_t kTicksPerQuarter = 96;
constexpr double kPublishedTicksPerBeat = 96; // what a leading program publishes per beat

// Frames one tick lasts at tempoHundredths (quarter notes per minute × 100); 0 for no tempo.
inline double FramesPerTick(uint32_t rate, int32_t tempoHundredths)
{
    if (tempoHundredths <= 0) return 0;
    return static_cast<double>(rate) * 60.0 * 100.0 / (tempoHundredths * double{kTicksPerQuarter});
}

// The frame tick t starts at, counted from the transport's frame 0.
inline int64_t FrameOfTick(int64_t t, double framesPerTick)
{
    return static_cast<int64_t>(std::floor(static_cast<double>(t) * framesPerTick));
}

// The first tick that starts at or after frame (so a locate to FrameOfTick(t) gives t back).
inline int64_t TickAtOrAfter(int64_t frame, double framesPerTick)
{
    if (framesPerTick <= 0) return 0;
    auto t = static_cast<int64_t>(std::ceil(static_cast<double>(frame) / framesPerTick));
    while (t > 0 && FrameOfTick(t - 1, framesPerTick) >= frame)
        --t;
    while (FrameOfTick(t, framesPerTick) < frame)
        ++t;
    return t;
}

// Our ticks in one beat of beatType (a quarter: 96); 0 for a beat type we cannot count in.
inline double TicksPerBeatOf(double beatType)
{
    return beatType >= 1 && beatType <= 256 ? kTicksPerQuarter * 4.0 / beatType : 0;
}

// The position a master's bar, beat and tick stand for, in our ticks (with the fraction).
inline double TickOfBbt(const STransportSnapshot& s)
{
    // Another program's numbers: anything we cannot count in (0, NaN, absurd) gives 0.
    const double beat = TicksPerBeatOf(s.beatType);
    if (beat <= 0 || !(s.ticksPerBeat >= 1) || !(s.beatsPerBar >= 1) || s.beatsPerBar > 1024)
        return 0;
    const double beats = static_cast<double>(s.bar - 1) * s.beatsPerBar + (s.beat - 1);
    return beats * beat + s.tick * beat / s.ticksPerBeat;
}

// A master's tempo in quarter notes per minute × 100; 0 when it gives none.
inline int32_t QuarterTempoOf(const STransportSnapshot& s)
{
    constexpr double kMaxBeatsPerMinute = 100000;
    if (TicksPerBeatOf(s.beatType) <= 0 || !(s.beatsPerMinute >= 1) ||
        s.beatsPerMinute > kMaxBeatsPerMinute)
        return 0;
    return static_cast<int32_t>(std::lround(s.beatsPerMinute * 4.0 / s.beatType * 100.0));
}

// Bar, beat and tick as a leading program publishes them.
struct SBbt {
    int32_t bar = 1;  // 1-based
    int32_t beat = 1; // 1-based
    int32_t tick = 0; // 0-based, of kPublishedTicksPerBeat
    double barStartTick = 0;
    double beatsPerMinute = 0; // in beats of the beat type
};

// Where frame lies at one constant tempo, in the bars of timebase.
inline SBbt BbtOfFrame(int64_t frame, uint32_t rate, const STimebase& timebase)
{
    SBbt bbt;
    const double perTick = FramesPerTick(rate, timebase.tempoHundredths);
    const double beat = TicksPerBeatOf(timebase.beatType);
    if (perTick <= 0 || beat <= 0 || timebase.beatsPerBar <= 0) return bbt;
    const double ticks = static_cast<double>(frame) / perTick;
    const double bar = beat * timebase.beatsPerBar;
    const double bars = std::floor(ticks / bar);
    const double inBar = ticks - bars * bar;
    // Clamped: a rounding at a bar's or beat's very end must not give a beat or tick too many.
    const double beats = std::min(std::floor(inBar / beat), timebase.beatsPerBar - 1.0);
    bbt.bar = static_cast<int32_t>(bars) + 1;
    bbt.beat = static_cast<int32_t>(beats) + 1;
    const double tick = std::floor((inBar - beats * beat) * kPublishedTicksPerBeat / beat);
    bbt.tick = static_cast<int32_t>(std::clamp(tick, 0.0, kPublishedTicksPerBeat - 1));
    bbt.barStartTick = bars * timebase.beatsPerBar * kPublishedTicksPerBeat;
    bbt.beatsPerMinute = timebase.tempoHundredths / 100.0 * timebase.beatType / 4.0;
    return bbt;
}

} // namespace transportpos
