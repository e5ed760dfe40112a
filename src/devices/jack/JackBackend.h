#pragma once
// MIDI through a JACK server (or PipeWire's JACK). One client named "Tonalweaver"; the output
// devices are the other clients' MIDI input ports, the input devices their MIDI output ports, each
// named "client:port". Opening a device makes one port of ours and connects it to the target.
//
// The master clock is the server's frame counter in 100 ns units. Output is handed to the process
// callback through one lock-free ring per open output and written at the frame its stamp maps to,
// one period later than the stamp (so the engine's look-ahead always reaches the right cycle);
// input is copied by the callback into a ring per open input and handed to the sink by a thread
// of ours, stamped with the frame it arrived at.
//
// Threads: as CMidiBackend. The process callback never blocks, allocates, locks or logs; the
// shutdown, port and connection callbacks only raise flags that TakeFaults turns into faults
// and TakeDeviceChanges reports. An open device whose connection went missing while its port
// stayed (or came back between two looks) is connected again.

#include "devices/MidiBackend.h"

#include <memory>
#include <string>
#include <vector>

class CJackBackend : public CMidiBackend, public CBackendAudio {
public:
    static constexpr const char* kClientName = "Tonalweaver";

    CJackBackend();
    ~CJackBackend() override; // stops

    // True when a JACK server answers (never starts one).
    static bool IsServerRunning();
    // Installs JACK's error and info functions (process-wide, once): what the library would
    // print goes to the program's library messages (devices/LibraryMessages.h) instead. Any
    // thread.
    static void RouteLibraryMessages();
    // The client name of the backends made from now on (empty keeps the one set before); for a
    // session manager that names its clients. Before any backend starts.
    static void SetClientName(const std::string& name);

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
    bool TakeFaults(std::vector<SMidiFault>& faults) override;
    bool IsServerLost() const override;
    std::string GetServerLostReason() const override;
    // Ports that registered or went away, and a new server that answered after a loss.
    bool TakeDeviceChanges() override;
    bool Rescan() override;
    bool IsDevicePresent(bool output, int32_t index) const override;
    // While the server is gone, tries once a second to reach a new one; the synthesizer's audio
    // outputs come back (and to the playback ports) when it answers, and the devices are there
    // to be opened again by name.
    void OnPass() override;
    SMidiOutputStats GetOutputStats() const override;
    // The period of write-ahead plus the longest playback latency the server reports beyond our
    // open outputs (the synthesizer's audio outputs among them).
    int64_t GetOutputLatency() const override;
    bool IsOutputIdle(int32_t index) const override;
    CBackendAudio* GetAudio() override { return this; }
    // The JACK transport (devices/jack/JackTransport.h).
    CBackendTransport* GetTransport() override;

    // Audio: two ports "synth_L" and "synth_R", connected to the system's playback when it has
    // one, rendered in the process callback on the MIDI outputs' frame count.
    int AttachAudio(CAudioRenderer* renderer, std::string& error) override;
    void DetachAudio() override;
    uint32_t GetAudioRate() const override;
    int64_t AudioFrameOf(int64_t time) const override;

    // The full name of our port of an open device ("Tonalweaver:..."); empty when closed.
    std::string GetOwnPortName(bool output, int32_t index) const;
    // The sample rate of the server, 0 when not started.
    uint32_t GetSampleRate() const;
    // Frames between a stamp's time and the frame it is written at (the period at start).
    int64_t GetLatencyFrames() const;
    // CPU time the process callback has used since Start, in nanoseconds.
    int64_t GetCallbackCpuNs() const;

    class CImpl;

private:
    std::unique_ptr<CImpl> m_impl;
};
