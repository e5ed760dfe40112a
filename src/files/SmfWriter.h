#pragma once
// Writes Standard MIDI Files: format 1 at 96 ticks per quarter, a first track with the tempo,
// copyright and title, then one MIDI track per exported phrase or arrangement track on its own
// channel. Within a tick, events are ordered so that reading the file back pairs every note-off
// with the note it ends. User-interface thread.

#include "model/EventList.h"
#include "model/NoteList.h"
#include "model/TimeBase.h"

#include <cstdint>
#include <string>
#include <vector>

class CPhrase;
class CTrack;

// One message of a message track: its tick and its bytes as they go on the wire.
struct SSmfMessage {
    tick time = 0;
    uint8_t length = 0; // 1..3
    uint8_t bytes[3] = {0, 0, 0};
};

class CSmfWriter {
public:
    static constexpr uint16_t kDivision = kTicksPerQuarter;

    // tempo in hundredths of BPM; empty texts are left out of the file.
    CSmfWriter(int32_t tempo, const std::string& copyright, const std::string& title);

    // One MIDI track with the phrase's name, notes and events on its output channel.
    void AddPhrase(const CPhrase& phrase);
    // One MIDI track with the track's name and the content of all its clips at their song
    // positions, on its output channel.
    void AddTrack(const CTrack& track);
    // One MIDI track from lists in absolute ticks, on channel 0..15 (else CInvalidArgument).
    void AddMidiTrack(const std::string& name, int channel, const CNoteList& notes,
                      const CEventList& events);

    // One MIDI track holding messages exactly as given, in the order given (times must not
    // decrease; a smaller one is written at the time before it).
    void AddMessageTrack(const std::string& name, const std::vector<SSmfMessage>& messages);
    // Number of MIDI tracks so far, the first (tempo) track included.
    int GetMidiTrackCount() const { return 1 + static_cast<int>(m_chunks.size()); }
    // The whole file.
    std::vector<uint8_t> GetBytes() const;
    // Writes the file through a temporary file renamed over path; throws CFileError.
    void WriteFile(const std::string& path) const;

private:
    std::vector<uint8_t> m_firstChunk;
    std::vector<std::vector<uint8_t>> m_chunks; // bodies of the MIDI tracks after the first
};
