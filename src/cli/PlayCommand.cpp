// play FILE [--midi B] [--out DEVICE]... [--from TICK] [--soundfont PATH] [--clock-out]
// [--metronome DEVICE] [--follow-clock DEVICE] [--jack-transport follow|lead]: plays a project
// through MIDI devices in real time (without --out through the built-in synthesizer), once
// through, and ends when the song has ended and its note-offs have gone out, or, following a
// master's clock or the JACK transport, when the master stopped and went quiet. Leading the JACK
// transport, it starts the transport and stops it at the end. SIGINT and SIGTERM stop it cleanly;
// a device that fails ends it with status 1.

#include "cli/CliCommand.h"
#include "cli/MidiOptions.h"
#include "cli/PlaySession.h"
#include "cli/PlaySync.h"
#include "cli/SmfOptions.h"

#include "devices/OutputPort.h"
#include "devices/SynthOptions.h"
#include "document/EnginePlayerLink.h"
#include "document/ProjectDoc.h"
#include "engine/EngineMailbox.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "model/Errors.h"
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
constexpr const char* kSoundFontOption = "--soundfont";
constexpr auto kWatchInterval = std::chrono::milliseconds(10);
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

int RunPlay(const CCliArgs& args)
{
    const SPlayOptions options = ReadOptions(args);
    const auto user = SplitChannelsAnswer(args);
    CProjectDoc doc;
    LoadForCli(doc, options.path, *user);

    SSynthOptions synth;
    if (const auto it = args.options.find(kSoundFontOption); it != args.options.end())
        synth.soundFont = it->second;
    const std::unique_ptr<CMidiBackend> backend = CreateCliBackend(args, synth);
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
    const bool follows =
        !options.sync.followClock.empty() || options.sync.jackTransport == CTransportSync::kFollow;
    if (from <= end) {
        if (!follows) {
            play.Proxy().Play();
            signal = WaitForEnd(play, end, nullptr);
        } else {
            // The master's Start or Continue, or the transport's start, sets us going.
            CMasterWatch master(play.Engine().GetClock());
            signal = WaitForEnd(play, end, &master);
        }
    }
    // Leading, the shared transport stops with us.
    if (options.sync.jackTransport == CTransportSync::kLead) play.Proxy().Stop();
    play.ShutDown();
    play.CheckDevices();
    ReportOutputTrouble(*backend);
    // Stopped by a signal: the status a shell expects of a program that the signal ended.
    return signal != 0 ? 128 + signal : 0;
}

} // namespace

const CCliCommand kPlayCommand{
    "play",
    "FILE [--midi jack|alsa|virtual] [--out DEVICE]... [--from TICK] [--soundfont PATH] "
    "[--clock-out] [--metronome DEVICE] [--follow-clock DEVICE] [--jack-transport follow|lead]",
    "play a project through MIDI outputs (Out1, Out2, ... to each --out; without --out, all "
    "through the built-in synthesizer)",
    {kMidiOption, kOutOption, kFromOption, kSoundFontOption, kSplitChannelsOption, kMetronomeOption,
     kFollowClockOption, kJackTransportOption},
    1,
    RunPlay,
    {kClockOutOption}};
