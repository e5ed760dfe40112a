#include "cli/PlaySync.h"

#include "cli/CliCommand.h"
#include "cli/MidiOptions.h"

#include "devices/MidiBackend.h"
#include "devices/MidiOutDriver.h"
#include "engine/DeviceSettings.h"
#include "engine/Metronome.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "model/Errors.h"

#include <cstdio>

namespace {

using C = CSequencerClock;
constexpr uint16_t kOutDriverKind = static_cast<uint16_t>(ENodeKind::MidiOutDriver);

void Require(int answer, const std::string& what, const CMidiEngineProxy& proxy)
{
    if (answer == 0) throw CTwError(what + ": " + proxy.GetLastError());
}

int32_t FindOrFail(const std::vector<std::string>& names, const std::string& text, const char* kind)
{
    const int32_t device = FindDevice(names, text);
    if (device < 0) throw CTwError(std::string("There is no MIDI ") + kind + " '" + text + "'.");
    return device;
}

void StartMetronome(const std::string& device, const CProfile& store, CMidiEngineProxy& proxy,
                    const CMidiBackend& backend)
{
    const std::vector<std::string> names = backend.GetOutputNames();
    const int32_t index = FindOrFail(names, device, "output");
    const std::string& name = names[static_cast<size_t>(index)];
    Require(proxy.OpenOutputDriver(index), "The MIDI output " + name + " cannot be opened", proxy);
    LoadMetronomeClicks(store, proxy);
    const CNodeAddress address{kOutDriverKind, index};
    Require(proxy.SetNodeParameter(kMetronomeNode, CMetronome::kOutput,
                                   reinterpret_cast<intptr_t>(&address)),
            "The metronome cannot play on " + name, proxy);
    Require(proxy.SetNodeParameter(kMetronomeNode, CMetronome::kActive, 1),
            "The metronome cannot start", proxy);
}

void FollowClock(const std::string& device, CMidiEngineProxy& proxy, const CMidiBackend& backend)
{
    const std::vector<std::string> names = backend.GetInputNames();
    const int32_t index = FindOrFail(names, device, "input");
    const std::string& name = names[static_cast<size_t>(index)];
    proxy.OpenInputDriver(index);
    const CMidiInDriver* driver = proxy.GetEngine()->GetDevices().GetInDriver(index);
    if (driver == nullptr || !driver->IsOpen())
        throw CTwError("The MIDI input " + name + " cannot be opened: " + proxy.GetLastError());
    Require(proxy.SetNodeParameter(kClockNode, C::kClockInDriver, index), "Clock in", proxy);
    Require(proxy.SetNodeParameter(kClockNode, C::kInternalClock, 0), "Clock in", proxy);
}

void SyncJackTransport(int32_t mode, CMidiEngineProxy& proxy)
{
    const int answer = proxy.SetNodeParameter(kClockNode, C::kJackTransport, mode);
    const std::string& problem = proxy.GetEngine()->GetClock().GetTransportSync().GetProblem();
    if (answer == 0) throw CTwError(problem.empty() ? proxy.GetLastError() : problem);
    // Leading while another program is master: we follow it, and say so.
    if (!problem.empty()) std::fprintf(stderr, "%s\n", problem.c_str());
}

} // namespace

SSyncOptions ReadSyncOptions(const CCliArgs& args)
{
    SSyncOptions options;
    options.clockOut = args.options.count(kClockOutOption) != 0;
    const auto device = [&](const char* option, std::string& into) {
        const auto it = args.options.find(option);
        if (it == args.options.end()) return;
        if (it->second.empty()) throw CUsageError(std::string(option) + " needs a device");
        into = it->second;
    };
    device(kMetronomeOption, options.metronome);
    device(kFollowClockOption, options.followClock);
    if (const auto it = args.options.find(kJackTransportOption); it != args.options.end()) {
        if (it->second == "follow")
            options.jackTransport = CTransportSync::kFollow;
        else if (it->second == "lead")
            options.jackTransport = CTransportSync::kLead;
        else
            throw CUsageError(std::string(kJackTransportOption) + " takes follow or lead");
    }
    if (options.jackTransport != CTransportSync::kOff && !options.followClock.empty())
        throw CUsageError(std::string(kJackTransportOption) + " and " + kFollowClockOption +
                          " cannot be used together");
    return options;
}

void ApplySyncOptions(const SSyncOptions& options, const CProfile& store, CMidiEngineProxy& proxy,
                      const CMidiBackend& backend, const std::vector<int32_t>& outDevices)
{
    // The stored habits of this machine; the modes themselves come from the command line.
    for (const int32_t code :
         {C::kIgnoreSongPosition, C::kSendSongPosition, C::kSendClockWhenStopped}) {
        proxy.SetNodeParameter(kClockNode, code, ReadTransportSetting(store, code));
    }
    if (options.clockOut) {
        for (const int32_t device : outDevices)
            proxy.SetNodeParameter({kOutDriverKind, device}, CMidiOutDriver::kParamClockSend, 1);
        proxy.SetNodeParameter(kClockNode, C::kClockOut, 1);
    }
    if (!options.metronome.empty()) StartMetronome(options.metronome, store, proxy, backend);
    if (!options.followClock.empty()) FollowClock(options.followClock, proxy, backend);
    if (options.jackTransport != CTransportSync::kOff) SyncJackTransport(options.jackTransport, proxy);
}

bool CMasterWatch::IsDone(std::chrono::steady_clock::time_point now)
{
    if (m_clock.IsPlaying()) {
        m_played = true;
        m_pulses = -1;
        return false;
    }
    if (!m_played) return false; // still waiting for the master to start us
    const int64_t pulses = m_clock.GetFollowedPulseCount();
    if (pulses != m_pulses) {
        m_pulses = pulses;
        m_quietSince = now;
        return false;
    }
    return now - m_quietSince >= kQuietTime;
}
