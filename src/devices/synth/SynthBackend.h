#pragma once
// Any backend plus the built-in synthesizer: the wrapped backend's devices, then one more output,
// "Tonalweaver Synth", that plays into a General MIDI synthesizer. Under JACK the synthesizer
// renders in the backend's own process callback; elsewhere through a FluidSynth audio driver
// (PulseAudio, else ALSA) whose callback runs the same render loop on a frame count of its own,
// kept in step with the master clock.
//
// The SoundFont loads on a loader thread from Start on (and again when the options name another
// font), never on the engine's or an audio thread. A device opened while its font still loads
// is open at once and silent; when the font arrives, what came due meanwhile sets up the
// channels and the notes from then on sound. A font that fails makes opening fail with the
// reason, or, when the device is already open, a fault of the device with that reason.
//
// Threads: as CMidiBackend; SetOptions, GetOptions and WaitForFont on any thread. The
// synthesizer is only touched by the audio thread while it renders.

#include "devices/MidiBackend.h"
#include "devices/SynthOptions.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CSynthCore;
class CSynthLoader;

class CSynthBackend : public CMidiBackend {
public:
    // Frames per second of the synthesizer where the backend has no audio of its own.
    static constexpr uint32_t kDriverRate = 48000;

    // A synthesizer at rate with the font at path, or null with the reason in error (tests hand
    // in their own to hold a load up).
    using LoadFn = std::function<std::unique_ptr<CSynthCore>(const std::string& path, uint32_t rate,
                                                             std::string& error)>;

    CSynthBackend(std::unique_ptr<CMidiBackend> inner, SSynthOptions options,
                  LoadFn load = nullptr);
    ~CSynthBackend() override; // stops

    // The volume applies at once; another SoundFont starts loading (once started) and takes over
    // in the open device when it is there, the song's programs and controllers kept.
    void SetOptions(const SSynthOptions& options);
    SSynthOptions GetOptions() const;
    // Waits until the font asked for last has loaded or failed, so a device opened next plays
    // from its first note or fails at once with the reason. True when it has, false after
    // timeout. Never on the music thread.
    bool WaitForFont(std::chrono::milliseconds timeout) const;
    // Whether the device is open, a font loading, and why it cannot play (any thread).
    SSynthState GetState() const;
    // Engine thread, after Start: whether an audio output opens for the synthesizer (the open
    // one's has); tried and let go at once. 0 with the reason in error when none does.
    int ProbeAudio(std::string& error);
    // The index of the synthesizer among the outputs (after Start).
    int32_t GetSynthIndex() const { return m_synthIndex; }
    CMidiBackend& GetInner() { return *m_inner; }

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
    CBackendTransport* GetTransport() override { return m_inner->GetTransport(); }
    bool TakeFaults(std::vector<SMidiFault>& faults) override;
    bool IsServerLost() const override;
    std::string GetServerLostReason() const override;
    bool TakeDeviceChanges() override;
    // Outputs that appear come after the synthesizer; the inner backend's indices are mapped.
    bool Rescan() override;
    bool IsDevicePresent(bool output, int32_t index) const override;
    SMidiOutputStats GetOutputStats() const override;
    int64_t GetOutputLatency() const override;
    bool IsOutputIdle(int32_t index) const override;

    class CSynthOutput;
    // What the open device shares with the backend (any thread).
    struct SShared {
        std::atomic<int64_t> late{0};
        std::atomic<int64_t> refused{0};
        std::atomic<float> gain{0.0f};
    };

private:
    // Asks the loader for the font the options choose, unless it is the one asked for last (and
    // not `again`).
    void RequestFont(bool again = false);
    // Engine thread: takes a finished load into the open device, or keeps it for the next open.
    void CollectFont();
    // The inner backend's index of an output other than the synthesizer.
    int32_t InnerOutput(int32_t index) const;
    // Engine thread: what GetState answers from now on (from m_synth, m_openError, m_fontError).
    void PublishState();

    std::unique_ptr<CMidiBackend> m_inner;
    // m_options, m_requestedFont, m_state (any thread, for a moment)
    mutable std::mutex m_optionsLock;
    SSynthOptions m_options;
    std::string m_requestedFont;
    SSynthState m_state;             // as the engine thread last published it (loading aside)
    std::atomic<uint32_t> m_rate{0}; // the synthesizer's, once started
    int32_t m_synthIndex = -1;
    SShared m_shared;
    std::unique_ptr<CSynthLoader> m_loader;
    std::unique_ptr<CSynthCore> m_idle;    // engine thread: the loaded font while closed
    std::string m_fontError;               // engine thread: why the last load failed
    std::string m_openError;               // engine thread: why the last open failed
    bool m_faulted = false;                // engine thread: the open device's font failed
    std::unique_ptr<CSynthOutput> m_synth; // while the device is open
};
