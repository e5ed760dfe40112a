#pragma once
// A piece of MIDI data placed on a track's timeline. It holds its own copy of notes and events,
// with times relative to its start. Owned by its track.

#include "model/MidiData.h"
#include "model/TimeBase.h"

#include <cstdint>
#include <string>

class CClip : public CMidiData {
public:
    CClip() = default;
    // An empty clip covering [start, end) in song ticks.
    CClip(tick start, tick end, const std::string& name, uint32_t colour);
    // Copy of the data and start; the copy has id 0 and no player slot.
    CClip(const CClip& other);

    bool IsClip() const override { return true; }
    tick GetStart() const override { return m_start; }

    // Copies the data (as CopyData) and the start.
    virtual void CopyDataAndStart(const CClip& other);
    // Joins another clip's content into this one: the result starts at the earlier start, ends at
    // the later end and holds the notes and events of both at their song positions.
    virtual void MergeFrom(const CClip& other);

    // Moves the clip on the timeline; the content moves with it.
    void MoveBy(tick dt) { m_start = TickSum(m_start, dt); }
    // Moves the clip's beginning, keeping the content where it is on the timeline: a later start
    // trims (TrimStartTo), an earlier one extends the clip with empty space.
    void SetStart(tick start);
    // Cuts away everything before song tick t; only when t > start. Trimming past the end leaves
    // an empty clip of length 0 at t.
    void TrimStartTo(tick t);
    // Cuts away everything from song tick t on; only when t < end. The length never goes below 0.
    void TrimEndTo(tick t);

    // Index in the player's clip table while the project is active, else -1. Not stored.
    int32_t GetPlayerSlot() const { return m_playerSlot; }
    void SetPlayerSlot(int32_t slot) { m_playerSlot = slot; }

private:
    tick m_start = 0;
    int32_t m_playerSlot = -1;
};
