// play FILE [--midi B] [--out DEVICE]... [--from TICK] [--clock-out] [--metronome DEVICE]
// [--follow-clock DEVICE]: plays a project through MIDI devices in real time, once through, and
// ends when the song has ended and its note-offs have gone out, or, following a master's clock,
// when the master stopped and went quiet. SIGINT and SIGTERM stop it cleanly; a device that fails
// ends it with status 1.

#include "cli/CliCommand.h"
#include "cli/MidiOptions.h"
#include "cli/PlaySync.h"
#include "cli/SmfOptions.h"

#include "devices/OutputPort.h"
#include "engine/EngineMailbox.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "model/EnginePlayerLink.h"
#include "model/Errors.h"
#include "model/ProjectDoc.h"
#include "model/TrackList.h"
#include "settings/SettingsProfile.h"

#include <atomic>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

constexpr const char* kOutOption = "--out";
constexpr const char* kFromOption = "--from";
constexpr auto kWatchInterval = std::chrono::milliseconds(10);
// After a device failed, closing the rest talks to a system that may be going away with it:
// should that hang, the program still ends with the reason this long after.
constexpr auto kFailedShutDownLimit = std::chrono::seconds(5);

std::atomic<int> g_stopSignal{0}; // the signal that asked us to stop, 0 while none did

extern "C" void OnStopSignal(int signal)
{
    g_stopSignal.store(signal);
}

// Catches SIGINT and SIGTERM for the life of the object, so playback stops cleanly.
class CStopSignals {
public:
    CStopSignals()
    {
        g_stopSignal = 0;
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_oldInt);
        sigaction(SIGTERM, &action, &m_oldTerm);
    }
    ~CStopSignals()
    {
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
    }
    CStopSignals(const CStopSignals&) = delete;
    CStopSignals& operator=(const CStopSignals&) = delete;

private:
    struct sigaction m_oldInt {};
    struct sigaction m_oldTerm {};
};

// What the command line asks of the playback.
struct SPlayOptions {
    std::string path;
    std::vector<std::string> outputs; // device of "Out1", "Out2", ... in turn
    bool hasFrom = false;
    tick from = 0;
    SSyncOptions sync;
};

SPlayOptions ReadOptions(const CCliArgs& args)
{
    SPlayOptions options;
    options.path = args.positional[0];
    if (const auto it = args.values.find(kOutOption); it != args.values.end())
        options.outputs = it->second;
    if (options.outputs.size() > static_cast<size_t>(COutputPort::kCount))
        throw CUsageError("at most " + std::to_string(COutputPort::kCount) + " " + kOutOption +
                          " options");
    if (const auto it = args.options.find(kFromOption); it != args.options.end()) {
        const std::string& text = it->second;
        const char* end = text.data() + text.size();
        const auto [at, error] = std::from_chars(text.data(), end, options.from);
        if (error != std::errc() || at != end || options.from < 0)
            throw CUsageError(std::string(kFromOption) + " takes a tick count of 0 or more");
        options.hasFrom = true;
    }
    options.sync = ReadSyncOptions(args);
    return options;
}

// The engine on its music thread, shut down (note-offs out, devices closed) when it goes.
class CPlayEngine {
public:
    explicit CPlayEngine(CMidiBackend& backend) : m_engine(backend, m_proxy.GetMailbox())
    {
        m_proxy.AttachEngine(&m_engine);
        if (!m_proxy.Initialise(true)) throw CTwError(m_proxy.GetLastError());
    }
    ~CPlayEngine() { ShutDown(); }
    CPlayEngine(const CPlayEngine&) = delete;
    CPlayEngine& operator=(const CPlayEngine&) = delete;

    CMidiEngineProxy& Proxy() { return m_proxy; }
    CMidiEngine& Engine() { return m_engine; }

    // Stops the transport (the clip players flush their note-offs) and closes every device,
    // which sends what is still pending and waits until it has left.
    void ShutDown()
    {
        if (!m_engine.IsInitialised()) return;
        m_proxy.Stop();
        m_proxy.Clear();
        m_proxy.ShutDown();
    }

    // Throws with the reason when a device failed while playing.
    void CheckDevices() const
    {
        if (m_engine.GetDevices().GetFaultCount() == 0) return;
        const std::string reason = m_engine.GetDevices().GetLastFault();
        std::thread([reason] {
            std::this_thread::sleep_for(kFailedShutDownLimit);
            std::fprintf(stderr, "%s\n", reason.c_str());
            std::_Exit(1);
        }).detach();
        throw CTwError(reason);
    }

private:
    CMidiEngineProxy m_proxy;
    CMidiEngine m_engine;
};

// Opens the named devices and routes "Out1", "Out2", ... to them; without names, "Out1" goes to
// the first device there is. Returns the devices' indices.
std::vector<int32_t> RouteOutputs(CMidiEngineProxy& proxy, const CMidiBackend& backend,
                                  const std::vector<std::string>& wanted)
{
    std::vector<int32_t> devices;
    const std::vector<std::string> names = backend.GetOutputNames();
    std::vector<std::string> outputs = wanted;
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

// Waits until the song has played to its end (the tick at the end included, where the last
// notes end), a followed master is done with us, a stop signal came or a device failed. Returns
// the signal, or 0.
int WaitForEnd(CPlayEngine& play, tick end, CMasterWatch* master)
{
    CEngineNotificationSink ignore; // nobody shows the engine's reports; they must not pile up
    for (;;) {
        play.Proxy().GetMailbox().Drain(ignore);
        play.CheckDevices();
        if (const int signal = g_stopSignal.load()) return signal;
        if (play.Proxy().GetPosition() > end) return 0;
        if (master != nullptr && master->IsDone(std::chrono::steady_clock::now())) return 0;
        std::this_thread::sleep_for(kWatchInterval);
    }
}

void ReportOutputTrouble(const CMidiBackend& backend)
{
    const SMidiOutputStats stats = backend.GetOutputStats();
    if (stats.late == 0 && stats.refused == 0) return;
    std::fprintf(stderr, "%lld MIDI messages went out late, %lld were lost.\n",
                 static_cast<long long>(stats.late), static_cast<long long>(stats.refused));
}

int RunPlay(const CCliArgs& args)
{
    const SPlayOptions options = ReadOptions(args);
    const auto user = SplitChannelsAnswer(args);
    CProjectDoc doc;
    LoadForCli(doc, options.path, *user);

    const std::unique_ptr<CMidiBackend> backend = CreateCliBackend(args);
    const CStopSignals stopSignals;
    CPlayEngine play(*backend);
    const std::vector<int32_t> outDevices = RouteOutputs(play.Proxy(), *backend, options.outputs);
    // Read only: a command-line run leaves the user's settings as they were.
    const CSettingsProfile store;
    ApplySyncOptions(options.sync, store, play.Proxy(), *backend, outDevices);

    CEnginePlayerLink link(play.Proxy());
    link.LoadProject(doc);
    // Once through: a loop would never let the song end.
    play.Proxy().SetLoop(false, doc.GetLoopStart(), doc.GetLoopEnd());
    const tick from = options.hasFrom ? options.from : doc.GetSongPosition();
    const tick end = doc.GetTracks().GetSongEnd();
    play.Proxy().Locate(from);
    int signal = 0;
    if (from <= end) {
        if (options.sync.followClock.empty()) {
            play.Proxy().Play();
            signal = WaitForEnd(play, end, nullptr);
        } else {
            // The master's Start or Continue sets us going.
            CMasterWatch master(play.Engine().GetClock());
            signal = WaitForEnd(play, end, &master);
        }
    }
    play.ShutDown();
    play.CheckDevices();
    ReportOutputTrouble(*backend);
    // Stopped by a signal: the status a shell expects of a program that the signal ended.
    return signal != 0 ? 128 + signal : 0;
}

} // namespace

const CCliCommand kPlayCommand{
    "play",
    "FILE [--midi jack|alsa|virtual] [--out DEVICE]... [--from TICK] [--clock-out] "
    "[--metronome DEVICE] [--follow-clock DEVICE]",
    "play a project through MIDI outputs (Out1, Out2, ... to each --out)",
    {kMidiOption, kOutOption, kFromOption, kSplitChannelsOption, kMetronomeOption,
     kFollowClockOption},
    1,
    RunPlay,
    {kClockOutOption}};
