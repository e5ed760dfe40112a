#pragma once
// Turns a raw MIDI byte stream into messages: running status, real-time bytes anywhere (even
// inside another message), system-common messages, system exclusive skipped. Stray data bytes are
// dropped. State carries over between calls, so a message may arrive split across callbacks.
//
// Threads: whoever owns it (the music thread, in the input driver's poll). Real-time safe.

#include "devices/MidiMsg.h"

#include <cstdint>

class CMidiStreamParser {
public:
    // Takes one byte; returns true and fills msg (time word = time) when it completes a message.
    bool Feed(uint8_t byte, int32_t time, CMidiMsg& msg);
    // Forgets any partial message and the running status.
    void Reset();

private:
    uint8_t m_status = 0; // status of the message being gathered (running status), 0 = none
    uint8_t m_data[2] = {0, 0};
    int32_t m_dataCount = 0;
    bool m_inSysEx = false;
};
