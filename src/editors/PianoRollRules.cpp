#include "editors/PianoRollRules.h"

#include <algorithm>

#include "model/HarmonicScale.h"

tick CursorLastTick(tick phraseLength, tick cursorLength)
{
    return std::max<tick>(0, phraseLength - std::max<tick>(0, cursorLength) - 1);
}

tick StepStoppingAtNotes(const CNoteList& notes, tick t, int32_t pitch, tick step)
{
    const tick target = TickSum(t, step);
    if (step > 0) {
        for (int i = notes.FindFirstAtOrAfter(0, TickSum(t, 1)); i < notes.GetCount(); ++i) {
            const CNote& note = notes[i];
            if (note.m_start >= target) break;
            if (note.m_pitch == pitch) return note.m_start;
        }
        return target;
    }
    // Leftwards: the latest start in (target, t) of that pitch.
    const int first = notes.FindFirstAtOrAfter(0, TickSum(target, 1));
    for (int i = notes.FindFirstAtOrAfter(first, t) - 1; i >= first; --i) {
        if (notes[i].m_pitch == pitch) return notes[i].m_start;
    }
    return target;
}

std::optional<tick> SteppedLength(tick length, tick step)
{
    if (step == 0) return std::nullopt;
    const int64_t result = int64_t{step} * ((int64_t{length} + step) / step);
    if (result <= 0) return std::nullopt;
    return static_cast<tick>(std::min<int64_t>(result, kOpenEnd));
}

uint8_t NudgedVelocity(int32_t velocity, int32_t delta)
{
    return static_cast<uint8_t>(std::clamp(velocity + delta, 1, 127));
}

CNote NoteWithStartMoved(const CNote& note, tick dt, tick phraseLength)
{
    const tick length = note.GetLength();
    CNote moved = note;
    if (dt < 0) {
        moved.m_start = std::max<tick>(0, TickSum(note.m_start, dt));
        moved.m_end = TickSum(moved.m_start, length);
    } else {
        moved.m_end = std::min(TickSum(note.m_end, dt), std::max(phraseLength, note.m_end));
        moved.m_start = moved.m_end - length;
    }
    return moved;
}

CNoteList NotesStartingIn(const CNoteList& notes, const CNoteArea& area)
{
    CNoteList inside;
    if (IsEmptyArea(area)) return inside;
    for (int i = notes.FindFirstAtOrAfter(0, area.m_from); i < notes.GetCount(); ++i) {
        const CNote& note = notes[i];
        if (note.m_start >= area.m_to) break;
        if (note.m_pitch >= area.m_pitchA && note.m_pitch < area.m_pitchB) inside.Append(note);
    }
    return inside;
}

bool IsEmptyArea(const CNoteArea& area)
{
    return area.m_to <= area.m_from || area.m_pitchB <= area.m_pitchA;
}

CNoteArea SpotOf(const CNote& note)
{
    return {note.m_start, note.m_pitch, note.m_end, note.m_pitch + 1};
}

CNoteArea AreaWithNotes(const CNoteArea& area, const CNoteList& notes)
{
    if (notes.IsEmpty()) return area;
    const CNoteBounds b = notes.Bounds();
    if (IsEmptyArea(area)) return {b.m_start, b.m_lowPitch, b.m_end, b.m_highPitch};
    return {std::min(area.m_from, b.m_start), std::min(area.m_pitchA, b.m_lowPitch),
            std::max(area.m_to, b.m_end), std::max(area.m_pitchB, b.m_highPitch)};
}

tick GridUnit(const CNoteValue& grid)
{
    return std::max<tick>(1, grid.GetTicks());
}

CNoteArea SpannedArea(tick anchorTick, int32_t anchorPitch, tick cursorTick, int32_t cursorPitch,
                      const CNoteValue& grid)
{
    const tick from = grid.FloorToGrid(std::min(anchorTick, cursorTick));
    const tick to = TickSum(std::max(anchorTick, cursorTick), GridUnit(grid));
    return {from, std::min(anchorPitch, cursorPitch), to, std::max(anchorPitch, cursorPitch) + 1};
}

tick DropTickOffset(const CNoteArea& area, tick pointerTick, tick grabTick, const CNoteValue& snap)
{
    const tick moved = TickSum(area.m_from, pointerTick - grabTick);
    // Flooring toward minus infinity, so that a drop left of 0 still lands on the grid.
    tick snapped = snap.FloorToGrid(moved);
    if (moved < 0 && snap.GetTicks() > 0 && snapped != moved) snapped -= snap.GetTicks();
    return snapped - area.m_from;
}

CMovedNotes MoveNotesOntoScale(const CNoteList& notes, const CNoteArea& area, tick dt, int32_t dp,
                               const CHarmonicScale& scale)
{
    CMovedNotes moved;
    moved.m_notes.CopyMoved(notes, dt, dp);
    CNoteList snapped;
    snapped.Reserve(moved.m_notes.GetCount());
    for (CNote note : moved.m_notes) {
        note.m_pitch = static_cast<uint8_t>(scale.Snap(note.m_pitch));
        snapped.Append(note);
    }
    moved.m_notes = std::move(snapped);
    const int32_t low = std::clamp(area.m_pitchA + dp, 0, 127);
    const int32_t high = std::clamp(area.m_pitchB + dp, 1, 128);
    moved.m_area = {std::clamp<tick>(TickSum(area.m_from, dt), 0, kOpenEnd), scale.Snap(low),
                    std::clamp<tick>(TickSum(area.m_to, dt), 0, kOpenEnd),
                    std::max(scale.Snap(high - 1) + 1, scale.Snap(low) + 1)};
    return moved;
}
