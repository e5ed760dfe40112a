#pragma once
// Writes Standard MIDI Files: format 1 at 96 ticks per quarter, a first track with the tempo,
// copyright and title, then one MIDI track per exported phrase or arrangement track on its own
// channel. Within a tick, note-offs come before note-ons, so notes on one key that follow or
// touch each other read back as they were. A file cannot say which note an off ends: a reader
// pairs it with the oldest sounding note on its key, so overlapping notes on one key read back
// with their starts and ends kept but paired oldest first (0-100 and 50-80 give 0-80 and 50-100).
// User-interface thread.

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

    // One MIDI track with the phrase's name, notes and events on the channel it plays on (the low
    // four bits of its output channel, as the players send it).
    void AddPhrase(const CPhrase& phrase);
    // One MIDI track with the track's name and the content of all its clips at their song
    // positions, on the channel it plays on (as for a phrase).
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
