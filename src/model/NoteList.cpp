#include "model/NoteList.h"

#include <algorithm>

namespace {

// Cuts the note to [a, b); false when nothing is left.
bool ClipNote(CNote& note, tick a, tick b)
{
    note.m_start = std::max(note.m_start, a);
    note.m_end = std::min(note.m_end, b);
    return note.m_end > note.m_start;
}

void ShiftNote(CNote& note, tick dt)
{
    note.m_start = TickSum(note.m_start, dt);
    note.m_end = TickSum(note.m_end, dt);
}

} // namespace

void CNoteList::Shift(tick dt)
{
    EditAll([dt](CNote& note) { ShiftNote(note, dt); });
}

void CNoteList::ClipBefore(tick t)
{
    CopyClipped(*this, t, kOpenEnd);
}

void CNoteList::ClipAfter(tick t)
{
    CopyClipped(*this, 0, t);
}

tick CNoteList::MaxEnd() const
{
    tick maxEnd = -1;
    for (const CNote& note : m_items)
        maxEnd = std::max(maxEnd, note.m_end);
    return maxEnd;
}

CNoteBounds CNoteList::Bounds() const
{
    if (m_items.empty()) return {};
    CNoteBounds b{m_items.front().m_start, m_items.front().m_end, m_items.front().m_pitch,
                  m_items.front().m_pitch + 1};
    for (const CNote& note : m_items) {
        b.m_start = std::min(b.m_start, note.m_start);
        b.m_end = std::max(b.m_end, note.m_end);
        b.m_lowPitch = std::min<int32_t>(b.m_lowPitch, note.m_pitch);
        b.m_highPitch = std::max<int32_t>(b.m_highPitch, note.m_pitch + 1);
    }
    return b;
}

void CNoteList::CopyStartingIn(const CNoteList& src, tick a, tick b)
{
    CopyTimeRange(src, a, b);
}

void CNoteList::CopyInside(const CNoteList& src, tick a, tick b)
{
    RebuildFrom(src, [a, b](const CNote& note) { return note.m_start >= a && note.m_end <= b; });
}

void CNoteList::CopyInsideRange(const CNoteList& src, tick a, tick b, int lo, int hi)
{
    RebuildFrom(src, [=](const CNote& note) {
        return note.m_start >= a && note.m_end <= b && lo <= note.m_pitch && note.m_pitch < hi;
    });
}

void CNoteList::CopyClipped(const CNoteList& src, tick a, tick b)
{
    RebuildFrom(src, [a, b](CNote& note) { return ClipNote(note, a, b); });
}

void CNoteList::CopyShifted(const CNoteList& src, tick dt)
{
    RebuildFrom(src, [dt](CNote& note) {
        ShiftNote(note, dt);
        return true;
    });
}

void CNoteList::CopyMoved(const CNoteList& src, tick dt, int dp)
{
    RebuildFrom(src, [dt, dp](CNote& note) {
        const int64_t pitch = static_cast<int64_t>(note.m_pitch) + dp;
        if (pitch < 0 || pitch > 127 || static_cast<int64_t>(note.m_start) + dt < 0) return false;
        ShiftNote(note, dt);
        note.m_pitch = static_cast<uint8_t>(pitch);
        return true;
    });
}
