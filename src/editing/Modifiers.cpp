#include "editing/Modifiers.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace {

// The selection's time range moved onto the song timeline.
struct CSongRange {
    tick m_from;
    tick m_to;

    CSongRange(tick offset, tick a, tick b)
        : m_from(TickSum(offset, std::min(a, b))), m_to(TickSum(offset, std::max(a, b)))
    {}
    tick Clamp(tick t) const { return std::min(std::max(t, m_from), m_to); }
};

// A container-relative time rounded by round on the song timeline and clamped into range.
template <class Round> tick QuantizeTime(tick t, tick offset, const CSongRange& range, Round round)
{
    return TickDifference(range.Clamp(round(TickSum(offset, t))), offset);
}

} // namespace

void CModifier::ModifyEvents(const CEventList&, tick, tick, CEventList&)
{}

void CModifier::ModifyNotes(const CNoteList&, const CNoteArea&, CNoteList&)
{}

int32_t ScaledValue(int32_t value, int32_t percent, int32_t lowest)
{
    // In integers, so that 29 percent less of 100 is 71 and not a rounding error below it.
    const int64_t scaled =
        static_cast<int64_t>(value) * (100 + static_cast<int64_t>(percent)) / 100;
    return static_cast<int32_t>(std::clamp<int64_t>(scaled, lowest, 127));
}

void CModifierQuantizeNotes::ModifyNotes(const CNoteList& src, const CNoteArea& area,
                                         CNoteList& dst)
{
    const CSongRange range(m_offset, area.m_from, area.m_to);
    CopyEdited(src, dst, [&](CNote& note) {
        note.m_start = QuantizeTime(note.m_start, m_offset, range,
                                    [this](tick t) { return m_startGrid.FloorToGrid(t); });
        note.m_end = QuantizeTime(note.m_end, m_offset, range,
                                  [this](tick t) { return m_endGrid.CeilToGrid(t); });
        if (note.m_end > note.m_start) return;
        // Pressed against an edge of the area, the note keeps one tick, inside where it can.
        const bool atRightEdge =
            range.m_to > range.m_from && TickSum(m_offset, note.m_start) >= range.m_to;
        if (atRightEdge)
            note.m_start = TickSum(note.m_end, -1);
        else
            note.m_end = TickSum(note.m_start, 1);
    });
}

void CModifierSplitNotes::ModifyNotes(const CNoteList& src, const CNoteArea&, CNoteList& dst)
{
    std::vector<CNote> out;
    out.reserve(static_cast<size_t>(src.GetCount()));
    for (CNote note : src) {
        if (m_length > 0) {
            while (note.GetLength() > m_length) {
                CNote piece = note;
                piece.m_end = note.m_start + m_length;
                out.push_back(piece);
                note.m_start = piece.m_end;
            }
        }
        out.push_back(note);
    }
    dst.Assign(std::move(out));
}

void CModifierRemoveOverlaps::ModifyNotes(const CNoteList& src, const CNoteArea&, CNoteList& dst)
{
    // Per pitch, the latest end among the notes already kept. Moving a start only past the note
    // that contains it could leave the note overlapping another kept one (0-100, 50-150, 60-200
    // would give 0-100, 100-150, 100-200); past the latest end nothing is left to overlap.
    std::array<tick, 256> soundsUntil;
    soundsUntil.fill(INT32_MIN);
    std::vector<CNote> out;
    out.reserve(static_cast<size_t>(src.GetCount()));
    for (CNote note : src) {
        tick& until = soundsUntil[note.m_pitch];
        if (until > note.m_start) note.m_start = until;
        if (note.m_end <= note.m_start) continue;
        until = note.m_end;
        out.push_back(note);
    }
    dst.Assign(std::move(out));
}

void CModifierQuantizeEvents::ModifyEvents(const CEventList& src, tick from, tick to,
                                           CEventList& dst)
{
    const CSongRange range(m_offset, from, to);
    CopyEdited(src, dst, [&](CMidiEvent& event) {
        event.m_time = QuantizeTime(event.m_time, m_offset, range,
                                    [this](tick t) { return m_grid.FloorToGrid(t); });
    });
}

void CModifierSuppressRedundant::ModifyEvents(const CEventList& src, tick, tick, CEventList& dst)
{
    std::vector<CMidiEvent> out;
    for (const CMidiEvent& event : src) {
        // The later of two events at one tick wins; what it replaces no longer counts as the
        // value before it.
        if (!out.empty() && out.back().m_time == event.m_time) out.pop_back();
        if (!out.empty() && out.back().GetValue() == event.GetValue()) continue;
        out.push_back(event);
    }
    dst.Assign(std::move(out));
}

std::string CModifierScaleEvents::GetName() const
{
    return m_percent < 0 ? "Decrease Event Values" : "Increase Event Values";
}

void CModifierScaleEvents::ModifyEvents(const CEventList& src, tick, tick, CEventList& dst)
{
    CopyEdited(src, dst, [this](CMidiEvent& event) {
        const int32_t value = event.GetValue7();
        if (value >= 0) event.SetValue7(ScaledValue(value, m_percent, 0));
    });
}

void CModifierScaleVelocities::ModifyNotes(const CNoteList& src, const CNoteArea&, CNoteList& dst)
{
    CopyEdited(src, dst, [this](CNote& note) {
        note.m_velocity = static_cast<uint8_t>(ScaledValue(note.m_velocity, m_percent, 1));
    });
}

void CModifierScaleOffVelocities::ModifyNotes(const CNoteList& src, const CNoteArea&,
                                              CNoteList& dst)
{
    CopyEdited(src, dst, [this](CNote& note) {
        note.m_offVelocity = static_cast<uint8_t>(ScaledValue(note.m_offVelocity, m_percent, 0));
    });
}
