#pragma once
// One "MTrk" chunk of a Standard MIDI File as read: its name and, per MIDI channel, the notes and
// events at 96 ticks per quarter in absolute ticks from the start of the file.

#include "model/EventList.h"
#include "model/NoteList.h"

#include <array>
#include <string>

class CSmfTrack {
public:
    static constexpr int kChannelCount = 16;

    // Text of the chunk's first track-name meta event; empty when it has none.
    const std::string& GetName() const { return m_name; }
    void SetName(const std::string& name) { m_name = name; }

    // Channel 0..15; throws CInvalidArgument otherwise.
    CNoteList& GetNotes(int channel);
    const CNoteList& GetNotes(int channel) const;
    CEventList& GetEvents(int channel);
    const CEventList& GetEvents(int channel) const;

    // A channel is used when it holds a note or an event.
    bool IsChannelUsed(int channel) const;
    int GetUsedChannelCount() const;

    // All channels merged into one list, channel 0 first among equal times.
    CNoteList MergedNotes() const;
    CEventList MergedEvents() const;

private:
    std::string m_name;
    std::array<CNoteList, kChannelCount> m_notes;
    std::array<CEventList, kChannelCount> m_events;
};
