#pragma once
// Any backend plus the built-in synthesizer: the wrapped backend's devices, then one more output,
// "Tonalweaver Synth", that plays into a General MIDI synthesizer. Under JACK the synthesizer
// renders in the backend's own process callback; elsewhere through a FluidSynth audio driver
// (PulseAudio, else ALSA) whose callback runs the same render loop on a frame count of its own,
// kept in step with the master clock.
//
// Threads: as CMidiBackend. SetOptions on the engine's thread. The synthesizer is only touched by
// the audio thread while it renders; its SoundFont is loaded on the engine's thread before that.

#include "devices/MidiBackend.h"
#include "devices/SynthOptions.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class CSynthBackend : public CMidiBackend {
public:
    // Frames per second of the synthesizer where the backend has no audio of its own.
    static constexpr uint32_t kDriverRate = 48000;

    CSynthBackend(std::unique_ptr<CMidiBackend> inner, SSynthOptions options);
    ~CSynthBackend() override; // stops

    // The volume applies at once; another SoundFont at the next open of the device.
    void SetOptions(const SSynthOptions& options);
    const SSynthOptions& GetOptions() const { return m_options; }
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
    bool TakeFaults(std::vector<SMidiFault>& faults) override;
    SMidiOutputStats GetOutputStats() const override;
    bool IsOutputIdle(int32_t index) const override;

    class CSynthOutput;
    // Late and lost messages of the synthesizer since Start (any thread).
    struct SCounters {
        std::atomic<int64_t> late{0};
        std::atomic<int64_t> refused{0};
    };

private:
    std::unique_ptr<CMidiBackend> m_inner;
    SSynthOptions m_options;
    int32_t m_synthIndex = -1;
    SCounters m_counters;
    std::unique_ptr<CSynthOutput> m_synth; // while the device is open
};
