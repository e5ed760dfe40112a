#include "devices/synth/SynthBackend.h"

#include "devices/LibraryMessages.h"
#include "devices/jack/JackFrames.h"
#ifdef TW_HAVE_ALSA
#include "devices/alsa/AlsaBackend.h"
#endif
#include "devices/synth/SynthCore.h"
#include "devices/synth/SynthLoader.h"
#include "devices/synth/SynthQueue.h"

#include <fluidsynth.h>

#include <algorithm>
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
// A note more than 1/10 s overdue when its cycle comes is skipped.
constexpr uint32_t kStaleDivisor = 10;
constexpr auto kDrainWait = std::chrono::milliseconds(500);
// FluidSynth's audio drivers, tried in this order, with the names a reason gives them.
const struct {
    const char* driver;
    const char* name;
} kDrivers[] = {{"pulseaudio", "PulseAudio"}, {"alsa", "ALSA"}};

bool FileExists(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::is_regular_file(path, ignored);
}

} // namespace

// The open synthesizer: the queue from the engine's thread to the audio thread, the audio it
// renders into (the backend's cycle or a driver of its own), and the synthesizer itself, handed
// to the audio thread through m_next whenever a font arrives.
class CSynthBackend::CSynthOutput : public CAudioRenderer {
public:
    CSynthOutput(CMidiBackend& clock, CBackendAudio* audio, SShared& shared, uint32_t rate)
        : m_clock(clock), m_audio(audio), m_shared(shared), m_rate(rate)
    {}
    ~CSynthOutput() override { Detach(); }

    int Open(std::string& error)
    {
        if (m_rate == 0) {
            error = "The audio system has no sample rate.";
            return 0;
        }
        return m_audio != nullptr ? m_audio->AttachAudio(this, error) : StartDriver(error);
    }

    // Engine thread: hands core over; the audio thread takes it at its next cycle. False (core
    // left with the caller) while the previous handover is not settled by TakeRetired.
    bool Install(std::unique_ptr<CSynthCore>& core)
    {
        if (m_incoming) return false;
        m_incoming = std::move(core);
        m_next.store(m_incoming.get(), std::memory_order_release);
        return true;
    }
    bool IsHandingOver() const { return m_incoming != nullptr; }
    // Engine thread: a synthesizer with a font plays here or is on its way.
    bool HasFont() const { return m_owned != nullptr || m_incoming != nullptr; }
    // Engine thread: once the audio thread has taken the new synthesizer, the one it let go of
    // (null before that, or when there was none).
    std::unique_ptr<CSynthCore> TakeRetired()
    {
        if (!m_incoming || !m_arrived.exchange(false, std::memory_order_acq_rel)) return nullptr;
        std::unique_ptr<CSynthCore> old = std::move(m_owned);
        m_owned = std::move(m_incoming);
        return old;
    }
    // Engine thread: stops the audio and gives back the newest synthesizer; an older one still
    // held goes to retired.
    std::unique_ptr<CSynthCore> Release(std::unique_ptr<CSynthCore>& retired)
    {
        Detach();
        m_next.store(nullptr, std::memory_order_relaxed);
        if (!m_incoming) return std::move(m_owned);
        retired = std::move(m_owned);
        return std::move(m_incoming);
    }

    int Play(const CMidiSendBuffer& buffer, std::string& error)
    {
        int result = 1;
        for (const SMidiOutRecord& record : buffer) {
            SSynthEvent event{FrameOf(record.time), record.length, record.bytes};
            if (!m_queue.Push(event)) {
                m_shared.refused.fetch_add(1, std::memory_order_relaxed);
                error = "Too much MIDI is waiting for the synthesizer.";
                result = 0;
            }
        }
        return result;
    }

    bool IsIdle() const { return m_queue.IsEmpty(); }

    // What was played last (the note-offs of a closing driver) is rendered before the audio goes;
    // a synthesizer still without its font renders nothing, so nothing is waited for.
    void Drain()
    {
        if (!m_sounding.load(std::memory_order_acquire)) return;
        const auto deadline = std::chrono::steady_clock::now() + kDrainWait;
        while (!m_queue.IsEmpty() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    void RenderAudio(float* left, float* right, uint32_t frames, int64_t firstFrame) override
    {
        int32_t late = 0;
        if (m_next.load(std::memory_order_acquire) != nullptr) late += TakeNext(firstFrame);
        if (m_current == nullptr) {
            // The font is still loading: silence, and what comes due waits for it.
            std::fill(left, left + frames, 0.0f);
            std::fill(right, right + frames, 0.0f);
            return;
        }
        const float gain = m_shared.gain.load(std::memory_order_relaxed);
        if (gain != m_appliedGain) {
            m_current->SetGain(gain);
            m_appliedGain = gain;
        }
        // Notes long overdue (the audio stopped a while: a server that went and came back) are
        // not played all at once; what they would have set up still is.
        late += CatchUp(*m_current, m_queue, firstFrame - m_rate / kStaleDivisor);
        late += SplitRender(*m_current, m_queue, left, right, frames, firstFrame);
        if (late > 0) m_shared.late.fetch_add(late, std::memory_order_relaxed);
    }

private:
    // Audio thread: the synthesizer handed over replaces the current one, carrying on with its
    // channels, or, the first, catches up with what came due while it loaded. Returns the notes
    // that were skipped.
    int32_t TakeNext(int64_t firstFrame)
    {
        CSynthCore* next = m_next.exchange(nullptr, std::memory_order_acq_rel);
        if (next == nullptr) return 0;
        int32_t skipped = 0;
        if (m_current != nullptr) {
            next->CopyChannelsFrom(*m_current);
        } else {
            skipped = CatchUp(*next, m_queue, firstFrame);
        }
        m_current = next;
        m_appliedGain = -1.0f;
        m_sounding.store(true, std::memory_order_release);
        m_arrived.store(true, std::memory_order_release);
        return skipped;
    }

    // The frame of the render's count a stamp maps to.
    int64_t FrameOf(int64_t time) const
    {
        if (m_audio != nullptr) return m_audio->AudioFrameOf(time);
        const int64_t origin = m_origin.load(std::memory_order_acquire);
        return jackframes::TimeToFrame(time - origin, m_rate) + kDriverLatencyFrames;
    }

    int StartDriver(std::string& error)
    {
        m_origin = m_clock.GetMasterTime();
        m_settings = new_fluid_settings();
        fluid_settings_setnum(m_settings, "synth.sample-rate", m_rate);
        fluid_settings_setint(m_settings, "audio.period-size", kDriverPeriodFrames);
        fluid_settings_setint(m_settings, "audio.periods", kDriverPeriods);
        fluid_settings_setstr(m_settings, "audio.pulseaudio.media-role", "music");
        // What each driver said is the reason; the libraries print nothing themselves.
        std::string reasons;
        for (const auto& [driver, name] : kDrivers) {
            CLibraryMessageCollector said;
            fluid_settings_setstr(m_settings, "audio.driver", driver);
            m_driver = new_fluid_audio_driver2(m_settings, DriverThunk, this);
            if (m_driver != nullptr) return 1;
            reasons += std::string(" ") + name + ": " + DriverFailure(said) + ".";
        }
        delete_fluid_settings(m_settings);
        m_settings = nullptr;
        error = "No audio output could be opened." + reasons;
        return 0;
    }

    // Why a driver did not open, from what FluidSynth and ALSA said meanwhile.
    static std::string DriverFailure(const CLibraryMessageCollector& said)
    {
        std::string why = said.LastError("FluidSynth");
        if (why.empty()) why = "it cannot start";
        const std::string alsa = said.LastError("ALSA");
        if (!alsa.empty()) why += " (" + alsa + ")";
        while (!why.empty() && why.back() == '.')
            why.pop_back();
        return why;
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
        const int64_t observed =
            m_clock.GetMasterTime() - jackframes::FramesToTime(m_driverFrames, m_rate);
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
    SShared& m_shared;
    const uint32_t m_rate;
    CSynthQueue m_queue;
    std::unique_ptr<CSynthCore> m_owned;    // engine thread: the one the audio thread renders
    std::unique_ptr<CSynthCore> m_incoming; // engine thread: handed over, not yet settled
    std::atomic<CSynthCore*> m_next{nullptr};
    std::atomic<bool> m_arrived{false};  // the audio thread took m_next
    std::atomic<bool> m_sounding{false}; // the audio thread has had a synthesizer
    CSynthCore* m_current = nullptr;     // audio thread
    float m_appliedGain = -1.0f;         // audio thread
    fluid_settings_t* m_settings = nullptr;
    fluid_audio_driver_t* m_driver = nullptr;
    std::atomic<int64_t> m_origin{0}; // driver: master time of frame 0
    int64_t m_driverFrames = 0;       // driver's audio thread
};

CSynthBackend::CSynthBackend(std::unique_ptr<CMidiBackend> inner, SSynthOptions options,
                             LoadFn load)
    : m_inner(std::move(inner)), m_options(std::move(options)),
      m_loader(std::make_unique<CSynthLoader>(load ? std::move(load) : LoadFn(LoadSynthCore)))
{
    // What FluidSynth, and ALSA under its ALSA audio driver, say goes to the library messages.
    CSynthCore::RouteLibraryMessages();
#ifdef TW_HAVE_ALSA
    CAlsaBackend::RouteLibraryMessages();
#endif
    m_shared.gain = SynthGain(m_options.volume);
}

CSynthBackend::~CSynthBackend()
{
    Stop();
}

void CSynthBackend::SetOptions(const SSynthOptions& options)
{
    {
        std::lock_guard<std::mutex> guard(m_optionsLock);
        m_options = options;
    }
    m_shared.gain.store(SynthGain(options.volume), std::memory_order_relaxed);
    RequestFont();
}

SSynthOptions CSynthBackend::GetOptions() const
{
    std::lock_guard<std::mutex> guard(m_optionsLock);
    return m_options;
}

SSynthState CSynthBackend::GetState() const
{
    SSynthState state;
    {
        std::lock_guard<std::mutex> guard(m_optionsLock);
        state = m_state;
    }
    state.loading = m_loader->IsBusy();
    return state;
}

void CSynthBackend::PublishState()
{
    // Open, only a font that did not load is worth telling; closed, why it did not open.
    const std::string& problem = m_synth || m_openError.empty() ? m_fontError : m_openError;
    std::lock_guard<std::mutex> guard(m_optionsLock);
    m_state.open = m_synth != nullptr;
    m_state.problem = problem;
}

bool CSynthBackend::WaitForFont(std::chrono::milliseconds timeout) const
{
    return m_loader->WaitDone(timeout);
}

void CSynthBackend::RequestFont(bool again)
{
    const uint32_t rate = m_rate.load();
    if (rate == 0) return;
    std::lock_guard<std::mutex> guard(m_optionsLock);
    const std::string path = ChooseSoundFont(m_options, FileExists);
    if (path == m_requestedFont && !again) return;
    m_requestedFont = path;
    // Under the lock, so requests reach the loader in the order the options changed.
    m_loader->Request(path, rate);
}

void CSynthBackend::CollectFont()
{
    if (m_synth) m_loader->Dispose(m_synth->TakeRetired());
    if (m_synth && m_synth->IsHandingOver()) return; // one handover at a time
    CSynthLoader::SResult result;
    if (!m_loader->Take(result)) return;
    m_loader->Dispose(std::move(m_idle));
    if (!result.core) {
        m_fontError = result.error;
        // A font that fails to replace a working one leaves that one playing; the device fails
        // only when it has nothing to play with.
        m_faulted = m_synth != nullptr && !m_synth->HasFont();
        PublishState();
        return;
    }
    m_fontError.clear();
    PublishState();
    if (m_synth) {
        m_synth->Install(result.core);
    } else {
        m_idle = std::move(result.core);
    }
}

std::string CSynthBackend::GetName() const
{
    return m_inner->GetName();
}

int CSynthBackend::Start(std::string& error)
{
    if (!m_inner->Start(error)) return 0;
    m_synthIndex = static_cast<int32_t>(m_inner->GetOutputNames().size());
    CBackendAudio* audio = m_inner->GetAudio();
    m_rate = audio != nullptr ? audio->GetAudioRate() : kDriverRate;
    RequestFont(true);
    return 1;
}

void CSynthBackend::Stop()
{
    std::string ignored;
    if (m_synthIndex >= 0) CloseOutput(m_synthIndex, ignored);
    m_loader->Dispose(std::move(m_idle));
    m_inner->Stop();
    m_synthIndex = -1;
    m_rate = 0;
}

int64_t CSynthBackend::GetMasterTime() const
{
    return m_inner->GetMasterTime();
}

std::vector<std::string> CSynthBackend::GetOutputNames() const
{
    std::vector<std::string> names = m_inner->GetOutputNames();
    if (m_synthIndex >= 0) names.insert(names.begin() + m_synthIndex, kSynthDeviceName);
    return names;
}

std::vector<std::string> CSynthBackend::GetInputNames() const
{
    return m_inner->GetInputNames();
}

int CSynthBackend::OpenOutput(int32_t index, std::string& error)
{
    if (index != m_synthIndex || index < 0) return m_inner->OpenOutput(InnerOutput(index), error);
    if (m_synth) return 1;
    CollectFont();
    if (!m_idle && !m_loader->IsBusy()) {
        error = m_fontError.empty() ? "The synthesizer has no SoundFont." : m_fontError;
        m_openError = error;
        PublishState();
        // The file may be mended by the next try: it loads again meanwhile.
        RequestFont(true);
        return 0;
    }
    auto synth = std::make_unique<CSynthOutput>(*m_inner, m_inner->GetAudio(), m_shared, m_rate);
    if (!synth->Open(error)) {
        m_openError = error;
        PublishState();
        return 0;
    }
    if (m_idle) synth->Install(m_idle);
    m_faulted = false;
    m_synth = std::move(synth);
    m_openError.clear();
    PublishState();
    return 1;
}

int CSynthBackend::ProbeAudio(std::string& error)
{
    if (m_synth) return 1;
    CSynthOutput probe(*m_inner, m_inner->GetAudio(), m_shared, m_rate);
    return probe.Open(error); // its audio goes with it
}

int CSynthBackend::CloseOutput(int32_t index, std::string& error)
{
    if (index != m_synthIndex || index < 0) return m_inner->CloseOutput(InnerOutput(index), error);
    if (!m_synth) return 1;
    m_synth->Drain();
    std::unique_ptr<CSynthCore> retired;
    std::unique_ptr<CSynthCore> core = m_synth->Release(retired);
    m_synth.reset();
    m_faulted = false;
    // Closed on purpose or after a fault: a font that failed is still the reason it cannot play.
    PublishState();
    m_loader->Dispose(std::move(retired));
    // Kept for the next open, unless its font has since been replaced by one that failed.
    if (core && m_fontError.empty()) {
        core->Silence();
        core->Reset();
        m_idle = std::move(core);
    }
    m_loader->Dispose(std::move(core));
    return 1;
}

int CSynthBackend::PlayBuffer(int32_t index, const CMidiSendBuffer& buffer, std::string& error)
{
    if (index != m_synthIndex || index < 0)
        return m_inner->PlayBuffer(InnerOutput(index), buffer, error);
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
    CollectFont();
}

int32_t CSynthBackend::InnerOutput(int32_t index) const
{
    return m_synthIndex >= 0 && index > m_synthIndex ? index - 1 : index;
}

bool CSynthBackend::IsServerLost() const
{
    return m_inner->IsServerLost();
}

std::string CSynthBackend::GetServerLostReason() const
{
    return m_inner->GetServerLostReason();
}

bool CSynthBackend::TakeDeviceChanges()
{
    return m_inner->TakeDeviceChanges();
}

bool CSynthBackend::Rescan()
{
    return m_inner->Rescan();
}

bool CSynthBackend::IsDevicePresent(bool output, int32_t index) const
{
    if (output && index == m_synthIndex) return true;
    return m_inner->IsDevicePresent(output, output ? InnerOutput(index) : index);
}

bool CSynthBackend::TakeFaults(std::vector<SMidiFault>& faults)
{
    const size_t first = faults.size();
    bool any = m_inner->TakeFaults(faults);
    // The inner backend counts its outputs without the synthesizer's place among them.
    for (size_t i = first; i < faults.size(); ++i) {
        SMidiFault& fault = faults[i];
        if (fault.output && m_synthIndex >= 0 && fault.index >= m_synthIndex) ++fault.index;
    }
    if (m_faulted && m_synth) {
        faults.push_back({true, m_synthIndex, m_fontError});
        any = true;
    }
    m_faulted = false;
    return any;
}

SMidiOutputStats CSynthBackend::GetOutputStats() const
{
    SMidiOutputStats stats = m_inner->GetOutputStats();
    stats.late += m_shared.late.load(std::memory_order_relaxed);
    stats.refused += m_shared.refused.load(std::memory_order_relaxed);
    return stats;
}

int64_t CSynthBackend::GetOutputLatency() const
{
    // Under JACK the synthesizer's audio ports are among the outputs the inner backend measures;
    // on a driver of its own it places each message a few periods after its stamp.
    const int64_t inner = m_inner->GetOutputLatency();
    if (!m_synth || m_inner->GetAudio() != nullptr || m_rate == 0) return inner;
    return std::max(inner, jackframes::FramesToTime(kDriverLatencyFrames, m_rate));
}

bool CSynthBackend::IsOutputIdle(int32_t index) const
{
    if (index != m_synthIndex || index < 0) return m_inner->IsOutputIdle(InnerOutput(index));
    return !m_synth || m_synth->IsIdle();
}
