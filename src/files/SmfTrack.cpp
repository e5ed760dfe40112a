#include "files/SmfTrack.h"

#include "model/Errors.h"

CNoteList& CSmfTrack::GetNotes(int channel)
{
    CheckIndex(channel, kChannelCount);
    return m_notes[static_cast<size_t>(channel)];
}

const CNoteList& CSmfTrack::GetNotes(int channel) const
{
    CheckIndex(channel, kChannelCount);
    return m_notes[static_cast<size_t>(channel)];
}

CEventList& CSmfTrack::GetEvents(int channel)
{
    CheckIndex(channel, kChannelCount);
    return m_events[static_cast<size_t>(channel)];
}

const CEventList& CSmfTrack::GetEvents(int channel) const
{
    CheckIndex(channel, kChannelCount);
    return m_events[static_cast<size_t>(channel)];
}

bool CSmfTrack::IsChannelUsed(int channel) const
{
    return !GetNotes(channel).IsEmpty() || !GetEvents(channel).IsEmpty();
}

int CSmfTrack::GetUsedChannelCount() const
{
    int used = 0;
    for (int channel = 0; channel < kChannelCount; ++channel)
        used += IsChannelUsed(channel);
    return used;
}

CNoteList CSmfTrack::MergedNotes() const
{
    CNoteList merged;
    for (const CNoteList& notes : m_notes)
        merged.MergeFrom(notes);
    return merged;
}

CEventList CSmfTrack::MergedEvents() const
{
    CEventList merged;
    for (const CEventList& events : m_events)
        merged.MergeFrom(events);
    return merged;
}
