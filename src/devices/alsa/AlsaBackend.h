#pragma once
// MIDI through the ALSA sequencer. A client "Tonalweaver" with a queue of its own; the output
// devices are the other clients' writable, subscribable ports, the input devices their readable
// ones, named "client name:port name". Opening a device makes a port of ours subscribed to it.
//
// The master clock is the queue's real time. Output is scheduled on the queue at each message's
// stamp; as the kernel holds only a small pool of events, messages wait in a ring of ours until
// they are at most kAheadLimit ahead and the pool has room (a full pool answers -EAGAIN and the
// message is tried again on the next pass). Input and the system announce port are read by a
// thread of ours through poll(); input is stamped by the queue, vanished ports become faults.
// Without a sequencer device the backend offers no devices and runs on the steady clock.
//
// Threads: as CMidiBackend. Only the engine thread writes to the sequencer.

#include "devices/MidiBackend.h"

#include <memory>
#include <string>
#include <vector>

class CAlsaBackend : public CMidiBackend {
public:
    static constexpr const char* kClientName = "Tonalweaver";
    static constexpr int64_t kAheadLimit = 2000000; // 200 ms in 100 ns units

    CAlsaBackend();
    ~CAlsaBackend() override; // stops

    // True when this machine has the sequencer device (/dev/snd/seq).
    static bool IsSequencerPresent();
    // Installs ALSA's error handler (process-wide, once): what the library would print goes to
    // the program's library messages (devices/LibraryMessages.h) instead. Every user of ALSA in
    // the process goes through it, FluidSynth's audio driver included. Any thread.
    static void RouteLibraryMessages();

    std::string GetName() const override;
    int Start(std::string& error) override;
    void Stop() override;
    int64_t GetMasterTime() const override;
    std::vector<std::string> GetOutputNames() const override;
    std::vector<std::string> GetInputNames() const override;
    int OpenOutput(int32_t index, std::string& error) override;
    int CloseOutput(int32_t index, std::string& error) override;
    int PlayBuffer(int32_t index, const CMidiSendBuffer& buffer, std::string& error) override;
    int OpenInput(int32_t index, CMidiInputSink* sink, std::string& error) override;
    int CloseInput(int32_t index, std::string& error) override;
    void OnPass() override;
    bool TakeFaults(std::vector<SMidiFault>& faults) override;
    SMidiOutputStats GetOutputStats() const override;
    bool IsOutputIdle(int32_t index) const override;
    // Ports and clients of others that the system announced as come or gone.
    bool TakeDeviceChanges() override;
    bool Rescan() override;
    bool IsDevicePresent(bool output, int32_t index) const override;

    // Our client number, -1 without a sequencer.
    int GetClientId() const;

    class CImpl;

private:
    std::unique_ptr<CImpl> m_impl;
};
