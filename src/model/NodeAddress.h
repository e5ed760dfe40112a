#pragma once
// Names a node of the engine's routing graph. The model stores such addresses for a phrase's
// input and output and a track's output; the engine resolves them.

#include <cstdint>

class CNodeAddress {
public:
    // Node kinds the model refers to. The engine defines the remaining kinds (1..11).
    static constexpr uint16_t kKindNone = 0;
    static constexpr uint16_t kKindOutputPort = 3; // index 0..7, "Out1".."Out8"
    static constexpr uint16_t kKindInputPort = 4;  // index 0..3, "Inp1".."Inp4"
    static constexpr uint16_t kKindTrack = 7;      // index = the track's id

    constexpr CNodeAddress() = default;
    constexpr CNodeAddress(uint16_t kind, int32_t index) : m_kind(kind), m_index(index) {}

    // True when the address names no node (kind 0), whatever its index.
    constexpr bool IsNone() const { return m_kind == kKindNone; }

    friend constexpr bool operator==(const CNodeAddress&, const CNodeAddress&) = default;

    uint16_t m_kind = kKindNone;
    int32_t m_index = 0; // index or key, meaning depends on the kind
};
