#pragma once
// A transport shared with other programs through the backend (only JACK has one): its state as
// the backend's cycle saw it, requests to start, stop and locate it, and the timebase that a
// leading program publishes (bar, beat, tick and tempo for every cycle).
//
// Threads: Read, the requests and Publish on the engine's thread, real-time safe; SetLeading on
// the engine's thread (it talks to the server and may wait for it).

#include <cstdint>
#include <string>

// The transport at the start of one cycle of the backend.
struct STransportSnapshot {
    uint64_t cycle = 0;      // counts the cycles seen; 0: none yet
    bool rolling = false;    // playing (a start that waits for slow clients is not yet rolling)
    int64_t frame = 0;       // the transport's position, frames
    int64_t cycleFrame = 0;  // the backend's own frame count at that cycle's start
    int64_t cycleTime = 0;   // the master-clock time of that start, 100 ns
    uint32_t rate = 0;       // frames per second
    bool hasBbt = false;     // a timebase master publishes bar, beat and tick
    int32_t bar = 1;         // 1-based
    int32_t beat = 1;        // 1-based
    int32_t tick = 0;        // 0-based, below ticksPerBeat
    double ticksPerBeat = 0; // of the master's own
    float beatsPerBar = 4;
    float beatType = 4;           // the note value of a beat (4: a quarter)
    double beatsPerMinute = 0;    // in beats of beatType
};

// What a leading program publishes: its tempo and its bars.
struct STimebase {
    int32_t tempoHundredths = 12000; // quarter notes per minute × 100
    int32_t beatsPerBar = 4;
    int32_t beatType = 4;
};

// Why leading is refused while another program is the timebase master.
inline constexpr char kOtherTimebaseMaster[] =
    "Another JACK client is the timebase master; following its transport instead.";

class CBackendTransport {
public:
    virtual ~CBackendTransport() = default;
    // The transport at the start of the latest cycle; false when the backend is not connected.
    virtual bool Read(STransportSnapshot& snapshot) const = 0;
    // Requests; the transport obeys at a coming cycle, which Read then shows.
    virtual void RequestStart() = 0;
    virtual void RequestStop() = 0;
    virtual void RequestLocate(int64_t frame) = 0;
    // The tempo and bars published while leading.
    virtual void Publish(const STimebase& timebase) = 0;
    // Becomes the timebase master (lead) or lets go of it. Leading asks only when no other
    // program is master: 1, or 0 with the reason in error.
    virtual int SetLeading(bool lead, std::string& error) = 0;
    // True while this program is the timebase master.
    virtual bool IsLeading() const = 0;
};
