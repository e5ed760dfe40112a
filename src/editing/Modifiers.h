#pragma once
// The editing algorithms behind the piano roll's and event editor's commands. A modifier computes
// a new array from the selected notes or events; the commands (editing/ModifierCommands.h) hand
// the old selection and the new array to a set operation, so every run is one history entry.
// Modifiers only compute: they never touch the project. User-interface thread.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "model/EditArea.h"
#include "model/EventList.h"
#include "model/NoteList.h"
#include "model/TimeBase.h"

class CModifier {
public:
    virtual ~CModifier() = default;

    // src: the selected events in list order, selected over the range from..to (ticks relative
    // to the container). The subclasses replace dst's content with the new events, in time order;
    // the base leaves dst alone.
    virtual void ModifyEvents(const CEventList& src, tick from, tick to, CEventList& dst);
    // As ModifyEvents for the selected notes and the selection's area.
    virtual void ModifyNotes(const CNoteList& src, const CNoteArea& area, CNoteList& dst);
    // The name of the command that runs the modifier, for its history entry.
    virtual std::string GetName() const { return "Empty Modifier"; }
};

// Starts rounded down to the start grid, ends up to the end grid, both clamped into the
// selection's time range. The grids apply to song positions: offset is the container's start on
// the song timeline (a clip's start, 0 for a phrase). A grid of 0 leaves its edge alone.
class CModifierQuantizeNotes : public CModifier {
public:
    CModifierQuantizeNotes(tick offset, CNoteValue startGrid, CNoteValue endGrid)
        : m_offset(offset), m_startGrid(startGrid), m_endGrid(endGrid)
    {}
    void ModifyNotes(const CNoteList& src, const CNoteArea& area, CNoteList& dst) override;
    std::string GetName() const override { return "Quantize Notes"; }

private:
    tick m_offset;
    CNoteValue m_startGrid;
    CNoteValue m_endGrid;
};

// Every note longer than the split length becomes pieces of that length and a shorter rest.
// A length of 0 (or below) leaves the notes as they are.
class CModifierSplitNotes : public CModifier {
public:
    explicit CModifierSplitNotes(tick length) : m_length(length) {}
    void ModifyNotes(const CNoteList& src, const CNoteArea& area, CNoteList& dst) override;
    std::string GetName() const override { return "Split Notes To Length"; }

private:
    tick m_length;
};

// A note that starts while an earlier note of its pitch still sounds starts when that one ends;
// a note that has nothing left disappears. Afterwards no two notes of a pitch overlap.
class CModifierRemoveOverlaps : public CModifier {
public:
    void ModifyNotes(const CNoteList& src, const CNoteArea& area, CNoteList& dst) override;
    std::string GetName() const override { return "Remove Overlaping Notes"; }
};

// Times rounded down to the grid (applied to song positions, see CModifierQuantizeNotes) and
// clamped into the selection's range.
class CModifierQuantizeEvents : public CModifier {
public:
    CModifierQuantizeEvents(tick offset, CNoteValue grid) : m_offset(offset), m_grid(grid) {}
    void ModifyEvents(const CEventList& src, tick from, tick to, CEventList& dst) override;
    std::string GetName() const override { return "Quantize Events"; }

private:
    tick m_offset;
    CNoteValue m_grid;
};

// Events of one lane that repeat the value before them go; of several events at one tick the
// last wins. The source must be one lane's events.
class CModifierSuppressRedundant : public CModifier {
public:
    void ModifyEvents(const CEventList& src, tick from, tick to, CEventList& dst) override;
    std::string GetName() const override { return "Supress Redundant Events"; }
};

// The 7-bit value of every event scaled by (100 + percent) / 100, toward zero, within 0..127.
// percent > 0 increases ("Increase Event Values"), percent < 0 reduces ("Decrease Event Values").
class CModifierScaleEvents : public CModifier {
public:
    explicit CModifierScaleEvents(int32_t percent) : m_percent(percent) {}
    void ModifyEvents(const CEventList& src, tick from, tick to, CEventList& dst) override;
    std::string GetName() const override;

private:
    int32_t m_percent;
};

// The note-on velocity of every note scaled as CModifierScaleEvents does, within 1..127: a
// velocity of 0 would turn the note-on into a note-off.
class CModifierScaleVelocities : public CModifier {
public:
    explicit CModifierScaleVelocities(int32_t percent) : m_percent(percent) {}
    void ModifyNotes(const CNoteList& src, const CNoteArea& area, CNoteList& dst) override;
    std::string GetName() const override { return "Edit Note-On Velocities"; }

private:
    int32_t m_percent;
};

// The note-off velocity of every note scaled as CModifierScaleEvents does, within 0..127.
class CModifierScaleOffVelocities : public CModifier {
public:
    explicit CModifierScaleOffVelocities(int32_t percent) : m_percent(percent) {}
    void ModifyNotes(const CNoteList& src, const CNoteArea& area, CNoteList& dst) override;
    std::string GetName() const override { return "Edit Note-Off Velocities"; }

private:
    int32_t m_percent;
};

// Replaces dst's content with a copy of src in which edit has changed every element, put back
// in time order.
template <class TList, class Edit> void CopyEdited(const TList& src, TList& dst, Edit edit)
{
    std::vector<typename TList::value_type> out(src.begin(), src.end());
    for (auto& item : out)
        edit(item);
    dst.Assign(std::move(out));
}

// value * (100 + percent) / 100 toward zero, limited to lowest..127.
int32_t ScaledValue(int32_t value, int32_t percent, int32_t lowest);
