#include "cli/PlaySession.h"

#include "cli/MidiOptions.h"
#include "devices/BackendChoice.h"
#include "devices/MidiBackend.h"
#include "devices/OutputPort.h"
#include "devices/SynthOptions.h"
#include "model/Errors.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

std::atomic<int> g_stopSignal{0};

extern "C" void OnStopSignal(int signal)
{
    g_stopSignal.store(signal);
}

namespace {
// After a device failed, closing the rest talks to a system that may be going away with it:
// should that hang, the program still ends with the reason this long after.
constexpr auto kFailedShutDownLimit = std::chrono::seconds(5);

} // namespace

// Opens the named devices and routes "Out1", "Out2", ... to them; without names, "Out1" goes to
// the first device there is.
namespace {

// Without --out: every port to the built-in synthesizer, so the song is heard as it is. Where it
// cannot play (no audio output), the reason ends the run, or is said before falling back (false).
bool RouteToSynth(CMidiEngineProxy& proxy, const std::vector<std::string>& names,
                  ESilentSynth silent)
{
    const int32_t synth = FindDevice(names, kSynthDeviceName);
    if (synth < 0) return false;
    if (!proxy.OpenOutputDriver(synth)) {
        const std::string why = "The built-in synthesizer cannot play: " + proxy.GetLastError();
        if (silent == ESilentSynth::Fail) throw CTwError(why);
        std::fprintf(stderr, "%s\n", why.c_str());
        return false;
    }
    for (int32_t port = 0; port < COutputPort::kCount; ++port)
        if (!proxy.RouteOutputPort(port, synth))
            throw CTwError("The built-in synthesizer cannot be routed: " + proxy.GetLastError());
    return true;
}

} // namespace

std::vector<int32_t> RouteOutputs(CMidiEngineProxy& proxy, CMidiBackend& backend,
                                  const std::vector<std::string>& wanted, ESilentSynth silent)
{
    std::vector<int32_t> devices;
    const std::vector<std::string> names = backend.GetOutputNames();
    std::vector<std::string> outputs = wanted;
    // The synthesizer plays from the song's first note only once its font is there.
    const int32_t synth = FindDevice(names, kSynthDeviceName);
    const auto isSynth = [&](const std::string& name) { return FindDevice(names, name) == synth; };
    if (synth >= 0 && (outputs.empty() || std::any_of(outputs.begin(), outputs.end(), isSynth)))
        WaitForSynthFont(backend);
    if (outputs.empty() && RouteToSynth(proxy, names, silent)) return devices;
    if (outputs.empty() && !names.empty()) outputs.push_back("0");
    for (size_t port = 0; port < outputs.size(); ++port) {
        const int32_t device = FindDevice(names, outputs[port]);
        if (device < 0) throw CTwError("There is no MIDI output '" + outputs[port] + "'.");
        const std::string& name = names[static_cast<size_t>(device)];
        if (!proxy.OpenOutputDriver(device))
            throw CTwError("The MIDI output " + name +
                           " cannot be opened: " + proxy.GetLastError());
        if (!proxy.RouteOutputPort(static_cast<int32_t>(port), device))
            throw CTwError("The MIDI output " + name +
                           " cannot be routed: " + proxy.GetLastError());
        devices.push_back(device);
    }
    return devices;
}

void ReportOutputTrouble(const CMidiBackend& backend)
{
    const SMidiOutputStats stats = backend.GetOutputStats();
    if (stats.late != 0 || stats.refused != 0)
        std::fprintf(stderr, "%lld MIDI messages went out late, %lld were lost.\n",
                     static_cast<long long>(stats.late), static_cast<long long>(stats.refused));
    // A missed cycle is where listeners may lose or hear twice what was sent.
    if (stats.xruns != 0)
        std::fprintf(stderr, "The MIDI system missed %lld cycles (xruns).\n",
                     static_cast<long long>(stats.xruns));
}

CPlayEngine::CPlayEngine(CMidiBackend& backend) : m_engine(backend, m_proxy.GetMailbox())
{
    m_proxy.AttachEngine(&m_engine);
    if (!m_proxy.Initialise(true)) throw CTwError(m_proxy.GetLastError());
}

void CPlayEngine::CheckDevices() const
{
    if (!HasFailed()) return;
    const std::string reason = m_engine.GetDevices().GetLastFault();
    std::thread([reason] {
        std::this_thread::sleep_for(kFailedShutDownLimit);
        std::fprintf(stderr, "%s\n", reason.c_str());
        std::_Exit(1);
    }).detach();
    throw CTwError(reason);
}
