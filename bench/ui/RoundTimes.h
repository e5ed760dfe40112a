#pragma once
// Wall-clock times of a step run in rounds, for the window benches that print milliseconds.

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

using BenchClock = std::chrono::steady_clock;

inline double MsSince(BenchClock::time_point start)
{
    return std::chrono::duration<double, std::milli>(BenchClock::now() - start).count();
}

// The best round shows the cost on a quiet machine; the median and the worst what a loaded one
// adds.
struct SRoundTimes {
    double best = 0;
    double median = 0;
    double worst = 0;
};

inline SRoundTimes MeasureRounds(int rounds, const std::function<void()>& step)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const auto start = BenchClock::now();
        step();
        times.push_back(MsSince(start));
    }
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2], times.back()};
}
