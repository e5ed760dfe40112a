#include "devices/BackendChoice.h"

#include "devices/virtual/VirtualBackend.h"
#ifdef TW_HAVE_JACK
#include "devices/jack/JackBackend.h"
#endif
#ifdef TW_HAVE_ALSA
#include "devices/alsa/AlsaBackend.h"
#endif
#ifdef TW_HAVE_SYNTH
#include "devices/synth/SynthBackend.h"
#include "devices/synth/SynthCore.h"
#endif

#include <chrono>

const char* const kMidiBackendNames = "jack|alsa|virtual";

void InstallLibraryMessageHandlers()
{
#ifdef TW_HAVE_ALSA
    CAlsaBackend::RouteLibraryMessages();
#endif
#ifdef TW_HAVE_JACK
    CJackBackend::RouteLibraryMessages();
#endif
#ifdef TW_HAVE_SYNTH
    CSynthCore::RouteLibraryMessages();
#endif
}

bool ParseMidiBackendName(const std::string& name, EMidiBackendKind& kind)
{
    if (name == "jack") {
        kind = EMidiBackendKind::Jack;
    } else if (name == "alsa") {
        kind = EMidiBackendKind::Alsa;
    } else if (name == "virtual") {
        kind = EMidiBackendKind::Virtual;
    } else {
        return false;
    }
    return true;
}

bool IsMidiBackendBuilt(EMidiBackendKind kind)
{
    switch (kind) {
    case EMidiBackendKind::Jack:
#ifdef TW_HAVE_JACK
        return true;
#else
        return false;
#endif
    case EMidiBackendKind::Alsa:
#ifdef TW_HAVE_ALSA
        return true;
#else
        return false;
#endif
    default:
        return true;
    }
}

EMidiBackendKind DefaultMidiBackend()
{
    InstallLibraryMessageHandlers();
#ifdef TW_HAVE_JACK
    if (CJackBackend::IsServerRunning()) return EMidiBackendKind::Jack;
#endif
#ifdef TW_HAVE_ALSA
    if (CAlsaBackend::IsSequencerPresent()) return EMidiBackendKind::Alsa;
#endif
    return EMidiBackendKind::Virtual;
}

void SetMidiClientName(const std::string& name)
{
#ifdef TW_HAVE_JACK
    CJackBackend::SetClientName(name);
#else
    (void)name;
#endif
}

bool IsSynthBuilt()
{
#ifdef TW_HAVE_SYNTH
    return true;
#else
    return false;
#endif
}

namespace {

std::unique_ptr<CMidiBackend> CreateSystemBackend(const std::string& name, std::string& error)
{
    EMidiBackendKind kind = EMidiBackendKind::Virtual;
    if (name.empty()) {
        kind = DefaultMidiBackend();
    } else if (!ParseMidiBackendName(name, kind)) {
        error = "Unknown MIDI backend '" + name + "' (use " + kMidiBackendNames + ").";
        return nullptr;
    }
    if (!IsMidiBackendBuilt(kind)) {
        error = "This program was built without the " + name + " MIDI backend.";
        return nullptr;
    }
    switch (kind) {
#ifdef TW_HAVE_JACK
    case EMidiBackendKind::Jack:
        return std::make_unique<CJackBackend>();
#endif
#ifdef TW_HAVE_ALSA
    case EMidiBackendKind::Alsa:
        // The automatic choice never lands here without the device; a named one is refused.
        if (!CAlsaBackend::IsSequencerPresent()) {
            error = "The ALSA sequencer is not available.";
            return nullptr;
        }
        return std::make_unique<CAlsaBackend>();
#endif
    default:
        // Headless runs: one output that takes everything and one silent input, on real time.
        auto backend = std::make_unique<CVirtualBackend>(std::vector<std::string>{"Virtual Out"},
                                                         std::vector<std::string>{"Virtual In"},
                                                         CVirtualBackend::EClock::RealTime);
        backend->SetCapture(false);
        return backend;
    }
}

} // namespace

void WaitForSynthFont(CMidiBackend& backend)
{
#ifdef TW_HAVE_SYNTH
    // Long enough for the biggest General MIDI font on a slow disk.
    constexpr auto kFontWait = std::chrono::seconds(60);
    if (auto* synth = dynamic_cast<CSynthBackend*>(&backend)) synth->WaitForFont(kFontWait);
#else
    (void)backend;
#endif
}

std::string SynthSoundProblem(CMidiBackend& backend)
{
    std::string error;
#ifdef TW_HAVE_SYNTH
    if (auto* synth = dynamic_cast<CSynthBackend*>(&backend)) synth->ProbeAudio(error);
#else
    (void)backend;
#endif
    return error;
}

bool SetSynthOptions(CMidiBackend& backend, const SSynthOptions& options)
{
#ifdef TW_HAVE_SYNTH
    auto* synth = dynamic_cast<CSynthBackend*>(&backend);
    if (synth == nullptr) return false;
    synth->SetOptions(options);
    return true;
#else
    (void)backend;
    (void)options;
    return false;
#endif
}

bool GetSynthState(const CMidiBackend& backend, SSynthState& state)
{
#ifdef TW_HAVE_SYNTH
    const auto* synth = dynamic_cast<const CSynthBackend*>(&backend);
    if (synth == nullptr) return false;
    state = synth->GetState();
    return true;
#else
    (void)backend;
    (void)state;
    return false;
#endif
}

std::unique_ptr<CMidiBackend> CreateMidiBackend(const std::string& name, std::string& error,
                                                const SSynthOptions& synth)
{
    InstallLibraryMessageHandlers();
    std::unique_ptr<CMidiBackend> backend = CreateSystemBackend(name, error);
#ifdef TW_HAVE_SYNTH
    if (backend) return std::make_unique<CSynthBackend>(std::move(backend), synth);
#else
    (void)synth;
#endif
    return backend;
}
