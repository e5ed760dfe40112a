#pragma once
// The one interface between the device layer and the system's MIDI: a master clock, the output
// and input devices, time-stamped output and input callbacks. One backend is chosen at start
// (virtual, JACK or ALSA); the drivers in devices/ are its main users.
//
// Threads: every member runs on the engine's thread, except GetMasterTime (any thread) and the
// input sink, which the backend calls on a thread of its own.

#include "devices/BackendAudio.h"
#include "devices/BackendTransport.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// One message packed for a device: its master-clock time and its bytes.
struct SMidiOutRecord {
    int64_t time = 0;   // master-clock time, 100 ns units
    uint8_t length = 0; // 1..3
    std::array<uint8_t, 3> bytes{};
};

// The shared send buffer: a fixed room of 6400 bytes that one message list is packed into, played
// on a device and flushed. A list that needs more room is sent in several buffers.
class CMidiSendBuffer {
public:
    static constexpr int32_t kCapacityBytes = 6400;
    static constexpr int32_t kRecordBytes = 16; // room one packed short message takes
    static constexpr int32_t kCapacity = kCapacityBytes / kRecordBytes;

    // Adds a message of 1..3 bytes; false when the buffer is full (nothing is added then).
    bool Pack(int64_t time, const uint8_t* bytes, int32_t length);
    void Flush() { m_count = 0; }
    bool IsEmpty() const { return m_count == 0; }
    bool IsFull() const { return m_count == kCapacity; }
    int32_t GetCount() const { return m_count; }
    // The packed records, in packing order.
    const SMidiOutRecord* begin() const { return m_records.data(); }
    const SMidiOutRecord* end() const { return m_records.data() + m_count; }

private:
    std::array<SMidiOutRecord, kCapacity> m_records{};
    int32_t m_count = 0;
};

// Receives what an open input device delivers. Called on the backend's input thread; must not
// block for long. Never called again once CloseInput for that device has returned.
class CMidiInputSink {
public:
    virtual ~CMidiInputSink() = default;
    // bytes: raw MIDI as it came off the wire (may split or join messages); msStamp: milliseconds
    // on the master clock when the device received them (InputStampOf), wrapping at 32 bits.
    virtual void OnMidiInput(const uint8_t* bytes, int32_t count, int32_t msStamp) = 0;
};

// The millisecond stamp of input received at master time `time` (100 ns), to the nearest
// millisecond: a truncated stamp would place every input up to a millisecond early.
inline int32_t InputStampOf(int64_t time)
{
    constexpr int64_t kUnitsPerMs = 10000;
    const int64_t ms = time >= 0 ? (time + kUnitsPerMs / 2) / kUnitsPerMs
                                 : -((-time + kUnitsPerMs / 2) / kUnitsPerMs);
    return static_cast<int32_t>(static_cast<uint32_t>(ms)); // wraps, as the stamp does
}

// The master time (100 ns) of a millisecond stamp, taken as the one nearest to master time
// `near` (the stamp wraps every 49 days).
inline int64_t InputStampTime(int32_t msStamp, int64_t near)
{
    constexpr int64_t kUnitsPerMs = 10000;
    const int64_t nearMs = near / kUnitsPerMs;
    const auto delta =
        static_cast<int32_t>(static_cast<uint32_t>(msStamp) - static_cast<uint32_t>(nearMs));
    return (nearMs + delta) * kUnitsPerMs;
}

// A device that stopped working while open: its server went away or its port vanished.
struct SMidiFault {
    bool output = true; // an output device, else an input device
    int32_t index = 0;  // the device's index
    std::string reason; // one line for the user
    bool serverLost = false; // the whole system went away with it (a JACK server that stopped)
};

// What went wrong on the way out since Start. Any thread.
struct SMidiOutputStats {
    int64_t late = 0;    // messages that reached the device after their time
    int64_t refused = 0; // messages the system refused or had no room for (lost)
    int64_t xruns = 0;   // cycles the system missed (JACK), where a listener may lose or repeat
};

class CMidiBackend {
public:
    virtual ~CMidiBackend() = default;

    // A short name for logs and the command line ("virtual", ...).
    virtual std::string GetName() const = 0;

    // Connects to the system and enumerates its devices. Returns 1, or 0 with the reason in error.
    virtual int Start(std::string& error) = 0;
    // Closes every open device and disconnects. Safe to call when not started.
    virtual void Stop() = 0;

    // Monotonic time shared by all devices, in 100 ns units. Any thread.
    virtual int64_t GetMasterTime() const = 0;

    // Device descriptions in enumeration order; indices are stable from Start to Stop.
    virtual std::vector<std::string> GetOutputNames() const = 0;
    virtual std::vector<std::string> GetInputNames() const = 0;

    // Returns 1, or 0 with the reason in error. Opening an open device succeeds.
    virtual int OpenOutput(int32_t index, std::string& error) = 0;
    // Returns 1, or 0 with the reason in error; the device is closed afterwards either way.
    virtual int CloseOutput(int32_t index, std::string& error) = 0;
    // Schedules every record of buffer on the open output; each message is to sound at its time.
    // Records come in non-decreasing time order per device. Returns 1, or 0 with the reason.
    virtual int PlayBuffer(int32_t index, const CMidiSendBuffer& buffer, std::string& error) = 0;

    // Opens and starts an input; from then on sink (borrowed) gets its bytes. Returns 1, or 0 with
    // the reason in error (the device is then closed).
    virtual int OpenInput(int32_t index, CMidiInputSink* sink, std::string& error) = 0;
    // Stops and closes an input; no sink call runs once this has returned.
    virtual int CloseInput(int32_t index, std::string& error) = 0;

    // Engine thread, on every time-out pass: the backend's periodic work (the ALSA backend feeds
    // what waits for room into its queue). Real-time safe.
    virtual void OnPass() {}
    // Engine thread: appends the open devices that failed since the last call (the caller
    // closes them) and returns true when there were any. Costs one atomic read when nothing
    // happened, so the engine asks on every pass.
    virtual bool TakeFaults(std::vector<SMidiFault>& faults)
    {
        (void)faults;
        return false;
    }
    // Engine thread: true while the whole system is gone (a JACK server that stopped), and the
    // reason to show then. One atomic read.
    virtual bool IsServerLost() const { return false; }
    virtual std::string GetServerLostReason() const { return {}; }
    // Engine thread: true when the system reported ports that came or went since the last call.
    // Costs one atomic read when nothing happened, so the engine asks on every pass.
    virtual bool TakeDeviceChanges() { return false; }
    // Engine thread: enumerates again and appends the devices that appeared since; the devices
    // already listed keep their indices (and their names, even while gone). True when it grew.
    virtual bool Rescan() { return false; }
    // Engine thread: true when the device is there to be opened now, looked up by its name.
    virtual bool IsDevicePresent(bool output, int32_t index) const
    {
        (void)output, (void)index;
        return true;
    }
    // Engine thread: how long after its stamp a message sounds where the outputs lead (100 ns):
    // the backend's own write-ahead plus the latency it knows beyond its ports. Input is placed
    // by what was sounding when it was played, so this is taken off its stamp.
    virtual int64_t GetOutputLatency() const { return 0; }
    // Any thread: counts of late and lost output since Start.
    virtual SMidiOutputStats GetOutputStats() const { return {}; }
    // Audio output in the backend's own cycle, or null when it has none (only JACK has).
    virtual CBackendAudio* GetAudio() { return nullptr; }
    // The transport shared with other programs, or null when the backend has none (only JACK
    // has).
    virtual CBackendTransport* GetTransport() { return nullptr; }
    // Engine thread: true once everything played on the output has left for the device (or the
    // device can no longer take it).
    virtual bool IsOutputIdle(int32_t index) const
    {
        (void)index;
        return true;
    }
};
