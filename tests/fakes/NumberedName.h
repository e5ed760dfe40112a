#pragma once
// "T1", "P12": a prefix and a number, for the objects a test makes in a loop.

#include <string>

// Built by appending: GCC 12 at -O3 misreads `"T" + std::to_string(n)` inlined into a loop as an
// overlapping copy (-Wrestrict), which the warnings-as-errors build refuses.
inline std::string NumberedName(const char* prefix, int number)
{
    std::string name = prefix;
    name += std::to_string(number);
    return name;
}
