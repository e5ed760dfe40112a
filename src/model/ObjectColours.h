#pragma once
// The palette from which new phrases, clips and tracks take their colour. Successive objects
// get successive entries, cycling, so neighbours are easy to tell apart.

#include <array>
#include <cstdint>

class CObjectColours {
public:
    static constexpr int32_t kCount = 40;
    // Colours as 0x00BBGGRR, in the order they are handed out.
    static const std::array<uint32_t, kCount> kPalette;

    // Starts at a random entry, so sessions do not all begin with the same colour.
    CObjectColours();
    // Starts at a given entry (0..kCount-1); throws CInvalidArgument otherwise.
    explicit CObjectColours(int32_t firstIndex);

    // Returns the current entry and advances to the next one, wrapping after the last.
    uint32_t Next();
    // Index of the entry the next call of Next returns.
    int32_t GetNextIndex() const { return m_next; }

private:
    int32_t m_next = 0;
};

// The process-wide palette cycle; user-interface thread only.
CObjectColours& TheObjectColours();
// Shorthand for TheObjectColours().Next().
uint32_t NextObjectColour();
