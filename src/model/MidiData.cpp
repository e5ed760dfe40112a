#include "model/MidiData.h"

CMidiData::CMidiData(const CMidiData& other)
    : m_notes(other.m_notes), m_events(other.m_events), m_colour(other.m_colour),
      m_name(other.m_name), m_length(other.m_length)
{}

void CMidiData::CopyData(const CMidiData& other)
{
    if (&other == this) return;
    m_notes = other.m_notes;
    m_events = other.m_events;
    m_colour = other.m_colour;
    m_name = other.m_name;
    m_length = other.m_length;
}

void CMidiData::CopyIdentity(const CMidiData& other)
{
    m_colour = other.m_colour;
    m_name = other.m_name;
    m_id = other.m_id;
}

void CMidiData::MakeInvalid()
{
    m_colour = kInvalidColour;
    m_name = "Invalid";
    m_id = 0;
}

void CMidiData::SetLength(tick length)
{
    if (length < m_length) {
        m_notes.ClipAfter(length);
        m_events.RemoveFrom(length);
    }
    m_length = length;
}

void CMidiData::ExtendStartBy(tick dt)
{
    m_notes.Shift(dt);
    m_events.Shift(dt);
    m_length = TickSum(m_length, dt);
}

void CMidiData::TrimStartBy(tick dt)
{
    m_notes.ClipBefore(dt);
    m_notes.Shift(-dt);
    m_events.RemoveBefore(dt);
    m_events.Shift(-dt);
    m_length = TickDifference(m_length, dt);
    if (m_length <= 0) {
        m_length = 0;
        m_notes.ClipAfter(0);
        m_events.RemoveFrom(0);
    }
}
