#include "model/Clip.h"

#include <algorithm>

CClip::CClip(tick start, tick end, const std::string& name, uint32_t colour) : m_start(start)
{
    SetName(name);
    SetColour(colour);
    SetLength(TickDifference(end, start));
}

CClip::CClip(const CClip& other) : CMidiData(other), m_start(other.m_start)
{}

void CClip::CopyDataAndStart(const CClip& other)
{
    CopyData(other);
    m_start = other.m_start;
}

void CClip::MergeFrom(const CClip& other)
{
    CClip later(other);
    if (m_start < later.m_start) {
        later.ExtendStartBy(TickDifference(later.m_start, m_start));
    } else {
        ExtendStartBy(TickDifference(m_start, later.m_start));
        m_start = later.m_start;
    }
    SetLength(std::max(GetLength(), later.GetLength()));
    GetNotes().MergeFrom(later.GetNotes());
    GetEvents().MergeFrom(later.GetEvents());
}

void CClip::SetStart(tick start)
{
    if (start > m_start) {
        TrimStartTo(start);
    } else if (start < m_start) {
        ExtendStartBy(TickDifference(m_start, start));
        m_start = start;
    }
}

void CClip::TrimStartTo(tick t)
{
    if (t <= m_start) return;
    TrimStartBy(TickDifference(t, m_start));
    m_start = t;
}

void CClip::TrimEndTo(tick t)
{
    if (t >= GetEnd()) return;
    SetLength(std::max<tick>(TickDifference(t, m_start), 0));
}
