#pragma once
// The node for one MIDI output device. Messages received from the graph wait in queues until the
// sequencer clock hands the driver the master-clock time of a tick; then the due ones leave,
// stamped with strictly increasing times for this device.
//
// Threads: engine thread, except IsEnabled/SetEnabled (the device dialog's flag, any thread).

#include "devices/DeviceProblem.h"
#include "devices/InstrumentSource.h"
#include "devices/MidiBackend.h"
#include "devices/MidiNode.h"

#include <atomic>
#include <cstdint>
#include <limits>
#include <span>
#include <string>

// A note to audition: only its timing and sound.
struct SAuditionNote {
    int32_t start = 0;  // ticks; −1 means "until the next audition"
    int32_t length = 0; // ticks
    uint8_t key = 0;
    uint8_t velocity = 0;
    uint8_t releaseVelocity = 0;
};

class CMidiOutDriver : public CMidiNode {
public:
    static constexpr int64_t kNever = std::numeric_limits<int64_t>::max();
    static constexpr int32_t kParamClockSend = 1;

    // Device deviceIndex of backend; both backend and the shared buffer are borrowed and must
    // outlive the driver. The name is the description with "[Emulated]" taken out.
    CMidiOutDriver(CMidiBackend& backend, CMidiSendBuffer& buffer, int32_t deviceIndex,
                   const std::string& description);
    ~CMidiOutDriver() override; // closes the device

    ENodeKind GetKind() const override;
    int SetParameter(int32_t code, intptr_t value, intptr_t extra) override;
    intptr_t GetParameter(int32_t code) const override;

    // Queue the lists for the next hand-over; a closed driver drops them, so nothing received
    // while closed can leave late.
    void ReceiveNoteOns(const CMidiMsgList& list, CMidiNode* sender) override;
    void ReceiveNoteOffs(const CMidiMsgList& list, CMidiNode* sender) override;
    void ReceiveEvents(const CMidiMsgList& list, CMidiNode* sender) override;

    // Returns 1 when open afterwards, else 0 with the backend's reason in error (kept as the
    // problem until the next open).
    int Open(std::string& error);
    // Ends an audition, drops the queues and closes. Returns 0 with the reason in error when the
    // backend reported a failure; the driver is closed afterwards in any case.
    int Close(std::string& error);
    bool IsOpen() const { return m_open; }
    // Any thread: why the device is not open (its last open failed, or a fault closed it);
    // empty when it opened, or was closed on purpose.
    std::string GetProblem() const { return m_problem.Get(); }
    // Engine thread: a fault closed the device.
    void SetProblem(const std::string& reason) { m_problem.Set(reason); }

    bool IsEnabled() const { return m_enabled.load(); } // any thread
    void SetEnabled(bool enabled) { m_enabled.store(enabled); }
    bool IsClockSend() const { return m_clockSend; }
    int32_t GetDeviceIndex() const { return m_deviceIndex; }

    // Queue a system real-time message (0xF8, 0xFA, 0xFB, 0xFC, 0xF2) for the next hand-over.
    void QueueRealtime(const CMidiMsg& msg);
    // Queue one event for the next hand-over (time word 0 = due then).
    void QueueEvent(const CMidiMsg& msg);
    // "Reset Outputs" for this device: 7 messages for each channel 0..15, in that order.
    void QueueReset();
    // The instrument values of table for channels 0..15: program, volume (CC 7), pan (CC 10).
    void QueueInstrumentSettings(const CInstrumentTable& table);

    // The clock hands over a tick's master-clock time (100 ns): everything due is sent.
    void HandOver(int64_t time);

    // Sounds notes at once on channel (0..15), ending them at start + length × tickPeriod (100 ns)
    // or, for a note whose start is −1, at the next audition. Ends the previous audition first.
    void Audition(std::span<const SAuditionNote> notes, uint8_t channel, int64_t tickPeriod);
    // Sends the note-offs of the audition now.
    void EndAudition();

    int64_t GetAuditionEndTime() const { return m_auditionEnd; } // 100 ns, kNever when none
    int64_t GetLastStamp() const { return m_lastStamp; }         // 100 ns of the last sent list
    int64_t GetSendFailures() const { return m_sendFailures; }   // buffers the backend refused

private:
    void Queue(CMidiMsgList& queue, const CMidiMsgList& list);
    // Counts every time word of queue down and moves the messages due to due, in order.
    static void TakeDue(CMidiMsgList& queue, CMidiMsgList& due);
    void DropQueues();
    // The first stamp at or after time that keeps this device's stamps strictly increasing.
    int64_t NextStamp(int64_t time) const;
    // Sends list from an empty shared buffer (in as many buffers as it needs) at time, or at
    // time, time+1, ... when stepEach; returns the time after the last one used.
    int64_t SendList(const CMidiMsgList& list, int64_t time, bool stepEach);
    // The same, adding to what the buffer holds and leaving the last buffer unsent.
    int64_t PackList(const CMidiMsgList& list, int64_t time, bool stepEach);
    // Sends list outside a hand-over, at the first stamp at or after time.
    void SendNow(const CMidiMsgList& list, int64_t time);
    void PlayAndFlush();

    CMidiBackend& m_backend;
    CMidiSendBuffer& m_buffer;
    int32_t m_deviceIndex;
    bool m_open = false;
    std::atomic<bool> m_enabled{false};
    CDeviceProblem m_problem;
    bool m_clockSend = false;
    CMidiMsgList m_noteOns;
    CMidiMsgList m_noteOffs;
    CMidiMsgList m_events;
    CMidiMsgList m_realtime;
    CMidiMsgList m_auditionOffs; // note-offs that end the audition
    int64_t m_auditionEnd = kNever;
    int64_t m_lastStamp = std::numeric_limits<int64_t>::min(); // nothing sent yet
    int64_t m_sendFailures = 0;
};

// description with every "[Emulated]" removed and nothing else changed.
std::string RemoveEmulatedMarker(std::string description);
