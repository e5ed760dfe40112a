#include "devices/synth/SynthBackend.h"

#include "devices/jack/JackFrames.h"
#include "devices/synth/SynthCore.h"
#include "devices/synth/SynthQueue.h"

#include <fluidsynth.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

namespace {

constexpr int kDriverPeriodFrames = 256;
constexpr int kDriverPeriods = 2;
// A message is placed this many frames after its stamp's frame: the driver's buffer plus a
// period, so a message that arrives just after a callback began still makes its own frame.
constexpr int64_t kDriverLatencyFrames = kDriverPeriodFrames * (kDriverPeriods + 1);
// How fast the driver's frame count follows the master clock: 1/32 of the error per callback
// evens out a driver that asks for periods in bursts, yet follows a drifting sound card.
constexpr int64_t kFollowDivisor = 32;
constexpr auto kDrainWait = std::chrono::milliseconds(500);
const char* const kDrivers[] = {"pulseaudio", "alsa"};

bool FileExists(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::is_regular_file(path, ignored);
}

} // namespace

// The open synthesizer: its engine, the queue from the engine's thread to the audio thread, and
// the audio it renders into (the backend's cycle or a driver of its own).
class CSynthBackend::CSynthOutput : public CAudioRenderer {
public:
    CSynthOutput(CMidiBackend& clock, CBackendAudio* audio, SCounters& counters)
        : m_clock(clock), m_audio(audio), m_counters(counters),
          m_core(audio != nullptr ? audio->GetAudioRate() : kDriverRate)
    {}
    ~CSynthOutput() override { Detach(); }

    int Open(const SSynthOptions& options, std::string& error)
    {
        if (m_core.GetSampleRate() == 0) {
            error = "The audio system has no sample rate.";
            return 0;
        }
        if (!m_core.Load(ChooseSoundFont(options, FileExists), error)) return 0;
        SetVolume(options.volume);
        return m_audio != nullptr ? m_audio->AttachAudio(this, error) : StartDriver(error);
    }

    void SetVolume(int volume) { m_gain.store(SynthGain(volume), std::memory_order_relaxed); }

    int Play(const CMidiSendBuffer& buffer, std::string& error)
    {
        int result = 1;
        for (const SMidiOutRecord& record : buffer) {
            SSynthEvent event{FrameOf(record.time), record.length, record.bytes};
            if (!m_queue.Push(event)) {
                m_counters.refused.fetch_add(1, std::memory_order_relaxed);
                error = "Too much MIDI is waiting for the synthesizer.";
                result = 0;
            }
        }
        return result;
    }

    bool IsIdle() const { return m_queue.IsEmpty(); }

    // What was played last (the note-offs of a closing driver) is rendered before the audio goes.
    void Drain()
    {
        const auto deadline = std::chrono::steady_clock::now() + kDrainWait;
        while (!m_queue.IsEmpty() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    void RenderAudio(float* left, float* right, uint32_t frames, int64_t firstFrame) override
    {
        const float gain = m_gain.load(std::memory_order_relaxed);
        if (gain != m_appliedGain) {
            m_core.SetGain(gain);
            m_appliedGain = gain;
        }
        const int32_t late = SplitRender(m_core, m_queue, left, right, frames, firstFrame);
        if (late > 0) m_counters.late.fetch_add(late, std::memory_order_relaxed);
    }

private:
    // The frame of the render's count a stamp maps to.
    int64_t FrameOf(int64_t time) const
    {
        if (m_audio != nullptr) return m_audio->AudioFrameOf(time);
        const int64_t origin = m_origin.load(std::memory_order_acquire);
        return jackframes::TimeToFrame(time - origin, m_core.GetSampleRate()) +
               kDriverLatencyFrames;
    }

    int StartDriver(std::string& error)
    {
        m_origin = m_clock.GetMasterTime();
        m_settings = new_fluid_settings();
        fluid_settings_setnum(m_settings, "synth.sample-rate", m_core.GetSampleRate());
        fluid_settings_setint(m_settings, "audio.period-size", kDriverPeriodFrames);
        fluid_settings_setint(m_settings, "audio.periods", kDriverPeriods);
        fluid_settings_setstr(m_settings, "audio.pulseaudio.media-role", "music");
        for (const char* driver : kDrivers) {
            fluid_settings_setstr(m_settings, "audio.driver", driver);
            m_driver = new_fluid_audio_driver2(m_settings, DriverThunk, this);
            if (m_driver != nullptr) return 1;
        }
        delete_fluid_settings(m_settings);
        m_settings = nullptr;
        error = "No audio output could be opened (PulseAudio or ALSA).";
        return 0;
    }

    static int DriverThunk(void* data, int len, int, float*[], int nout, float* out[])
    {
        auto* self = static_cast<CSynthOutput*>(data);
        if (nout < 2 || len <= 0) return FLUID_OK;
        self->DriverCycle(out[0], out[1], static_cast<uint32_t>(len));
        return FLUID_OK;
    }

    // Audio thread of the driver: the frame count here is the driver's own; the origin (master
    // time of frame 0) follows the master clock slowly, so timing neither drifts nor jitters with
    // the driver's buffer.
    void DriverCycle(float* left, float* right, uint32_t frames)
    {
        const uint32_t rate = m_core.GetSampleRate();
        const int64_t observed =
            m_clock.GetMasterTime() - jackframes::FramesToTime(m_driverFrames, rate);
        const int64_t origin = m_origin.load(std::memory_order_relaxed);
        m_origin.store(origin + (observed - origin) / kFollowDivisor, std::memory_order_release);
        RenderAudio(left, right, frames, m_driverFrames);
        m_driverFrames += frames;
    }

    void Detach()
    {
        if (m_audio != nullptr) m_audio->DetachAudio();
        if (m_driver != nullptr) delete_fluid_audio_driver(m_driver);
        if (m_settings != nullptr) delete_fluid_settings(m_settings);
        m_driver = nullptr;
        m_settings = nullptr;
    }

    CMidiBackend& m_clock;
    CBackendAudio* m_audio;
    SCounters& m_counters;
    CSynthCore m_core;
    CSynthQueue m_queue;
    std::atomic<float> m_gain{0.0f};
    float m_appliedGain = -1.0f; // audio thread
    fluid_settings_t* m_settings = nullptr;
    fluid_audio_driver_t* m_driver = nullptr;
    std::atomic<int64_t> m_origin{0}; // driver: master time of frame 0
    int64_t m_driverFrames = 0;       // driver's audio thread
};

CSynthBackend::CSynthBackend(std::unique_ptr<CMidiBackend> inner, SSynthOptions options)
    : m_inner(std::move(inner)), m_options(std::move(options))
{}

CSynthBackend::~CSynthBackend()
{
    Stop();
}

void CSynthBackend::SetOptions(const SSynthOptions& options)
{
    m_options = options;
    if (m_synth) m_synth->SetVolume(options.volume);
}

std::string CSynthBackend::GetName() const
{
    return m_inner->GetName();
}

int CSynthBackend::Start(std::string& error)
{
    if (!m_inner->Start(error)) return 0;
    m_synthIndex = static_cast<int32_t>(m_inner->GetOutputNames().size());
    return 1;
}

void CSynthBackend::Stop()
{
    m_synth.reset();
    m_inner->Stop();
    m_synthIndex = -1;
}

int64_t CSynthBackend::GetMasterTime() const
{
    return m_inner->GetMasterTime();
}

std::vector<std::string> CSynthBackend::GetOutputNames() const
{
    std::vector<std::string> names = m_inner->GetOutputNames();
    if (m_synthIndex >= 0) names.push_back(kSynthDeviceName);
    return names;
}

std::vector<std::string> CSynthBackend::GetInputNames() const
{
    return m_inner->GetInputNames();
}

int CSynthBackend::OpenOutput(int32_t index, std::string& error)
{
    if (index != m_synthIndex || index < 0) return m_inner->OpenOutput(index, error);
    if (m_synth) return 1;
    auto synth = std::make_unique<CSynthOutput>(*m_inner, m_inner->GetAudio(), m_counters);
    if (!synth->Open(m_options, error)) return 0;
    m_synth = std::move(synth);
    return 1;
}

int CSynthBackend::CloseOutput(int32_t index, std::string& error)
{
    if (index != m_synthIndex || index < 0) return m_inner->CloseOutput(index, error);
    if (m_synth) m_synth->Drain();
    m_synth.reset();
    return 1;
}

int CSynthBackend::PlayBuffer(int32_t index, const CMidiSendBuffer& buffer, std::string& error)
{
    if (index != m_synthIndex || index < 0) return m_inner->PlayBuffer(index, buffer, error);
    if (!m_synth) {
        error = "The MIDI device is not open.";
        return 0;
    }
    return m_synth->Play(buffer, error);
}

int CSynthBackend::OpenInput(int32_t index, CMidiInputSink* sink, std::string& error)
{
    return m_inner->OpenInput(index, sink, error);
}

int CSynthBackend::CloseInput(int32_t index, std::string& error)
{
    return m_inner->CloseInput(index, error);
}

void CSynthBackend::OnPass()
{
    m_inner->OnPass();
}

bool CSynthBackend::TakeFaults(std::vector<SMidiFault>& faults)
{
    return m_inner->TakeFaults(faults);
}

SMidiOutputStats CSynthBackend::GetOutputStats() const
{
    SMidiOutputStats stats = m_inner->GetOutputStats();
    stats.late += m_counters.late.load(std::memory_order_relaxed);
    stats.refused += m_counters.refused.load(std::memory_order_relaxed);
    return stats;
}

bool CSynthBackend::IsOutputIdle(int32_t index) const
{
    if (index != m_synthIndex || index < 0) return m_inner->IsOutputIdle(index);
    return !m_synth || m_synth->IsIdle();
}
