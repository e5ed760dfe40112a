#include "editing/RandomGenerator.h"

#include <chrono>

CRandomGenerator& CRandomGenerator::Program()
{
    static CRandomGenerator generator(
        static_cast<uint32_t>(std::chrono::system_clock::now().time_since_epoch().count()));
    return generator;
}
