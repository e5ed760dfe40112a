#pragma once
// The program's pseudo-random numbers for editing commands ("Transpose Randomize"): one
// process-wide generator, seeded from the current time when first used; tests seed it to repeat
// a run. User-interface thread only.

#include <cstdint>
#include <random>

class CRandomGenerator {
public:
    explicit CRandomGenerator(uint32_t seed) : m_engine(seed) {}

    // The program's generator (borrowed), seeded from the time of its first use.
    static CRandomGenerator& Program();

    void Seed(uint32_t seed) { m_engine.seed(seed); }
    // The next value, 0..2^31 - 1.
    int32_t Next() { return static_cast<int32_t>(m_engine() >> 1); }

private:
    std::mt19937 m_engine;
};
