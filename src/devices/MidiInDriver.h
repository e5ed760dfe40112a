#pragma once
// The node for one MIDI input device. The backend's input thread queues raw bytes under one
// process-wide lock and signals "input arrived"; the music thread's Poll parses them and passes
// channel messages on to the input ports and "Rec", and clock messages to the clock sink.
//
// Threads: engine thread, except OnMidiInput (backend input thread) and IsEnabled/SetEnabled
// (any thread).

#include "devices/DeviceProblem.h"
#include "devices/MidiBackend.h"
#include "devices/MidiNode.h"
#include "devices/MidiStreamParser.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// Receives the real-time and song-position messages of the inputs (the sequencer clock, which
// lives in engine/). Engine thread, called from Poll in arrival order. It may poll the inputs
// again (a followed pulse can play a tick that does); this driver's newer bytes then wait for the
// next poll, so its stream stays in order.
class CMidiClockSink {
public:
    virtual ~CMidiClockSink() = default;
    // msg is 0xF2 (data1, data2 = song position LSB, MSB), 0xF8, 0xFA, 0xFB or 0xFC; its time word
    // is the millisecond stamp of arrival. inputIndex is the driver's index.
    virtual void OnClockMessage(int32_t inputIndex, const CMidiMsg& msg) = 0;
};

class CMidiInDriver : public CMidiNode, private CMidiInputSink {
public:
    static constexpr size_t kQueueReserve = 4096; // bytes held without growing, per queue

    // Device deviceIndex of backend (borrowed, must outlive the driver).
    CMidiInDriver(CMidiBackend& backend, int32_t deviceIndex, const std::string& name);
    ~CMidiInDriver() override; // closes the device

    ENodeKind GetKind() const override;

    // Opens and starts the device. Returns 1 if open afterwards; else 0 with the reason in error
    // (kept as the problem until the next open).
    int Open(std::string& error);
    // Stops and closes the device; the input ports and "Rec" fed by it release their held notes.
    // Queued but unpolled input is dropped. Returns 0 with the reason in error when the backend
    // reported a failure; the driver is closed afterwards in any case.
    int Close(std::string& error);
    bool IsOpen() const { return m_open; }
    // Any thread: why the device is not open (its last open failed, or a fault closed it);
    // empty when it opened, or was closed on purpose.
    std::string GetProblem() const { return m_problem.Get(); }
    // Engine thread: a fault closed the device.
    void SetProblem(const std::string& reason) { m_problem.Set(reason); }

    bool IsEnabled() const { return m_enabled.load(); } // any thread
    void SetEnabled(bool enabled) { m_enabled.store(enabled); }
    int32_t GetDeviceIndex() const { return m_deviceIndex; }

    // Called on the input thread after bytes were queued (the engine's "input arrived" event).
    // Set while the device is closed.
    void SetInputSignal(std::function<void()> signal) { m_signal = std::move(signal); }
    // Borrowed; null drops clock messages.
    void SetClockSink(CMidiClockSink* sink) { m_clockSink = sink; }

    // Moves the queued bytes out under the input lock, parses them and delivers one note-on,
    // note-off and event list to the outputs. Music thread. Does nothing when called from inside
    // its own run (through the clock sink).
    void Poll() override;

    // The one lock shared by every input driver's queue.
    static std::mutex& InputLock();

private:
    struct SInputByte {
        int32_t msStamp;
        uint8_t byte;
    };

    void OnMidiInput(const uint8_t* bytes, int32_t count, int32_t msStamp) override;
    // True for a note-on whose key (on its channel) has a release among noteOffs.
    static bool RestrikesReleasedNote(const CMidiMsg& msg, const CMidiMsgList& noteOffs);
    // Sorts one parsed message into the lists or to the clock sink.
    void Dispatch(const CMidiMsg& msg, CMidiMsgList& noteOns, CMidiMsgList& noteOffs,
                  CMidiMsgList& events);

    CMidiBackend& m_backend;
    int32_t m_deviceIndex;
    bool m_open = false;
    std::atomic<bool> m_enabled{false};
    CDeviceProblem m_problem;
    std::function<void()> m_signal;
    CMidiClockSink* m_clockSink = nullptr;
    std::vector<SInputByte> m_queue;   // filled by the input thread, under InputLock
    std::vector<SInputByte> m_polling; // swapped with m_queue by Poll, so neither reallocates
    bool m_inPoll = false;             // Poll is running (guards m_polling and the parser)
    CMidiStreamParser m_parser;
};
