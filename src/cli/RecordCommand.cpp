// record FILE [--midi B] --in DEVICE [--out DEVICE]... [--track N]... [--seconds S]
// [--quantize TICKS] [--snap TICKS] [--from TICK]: records from a MIDI input into the listed
// tracks (1-based; without any, into a new track) while the song plays, then saves the project.
// What is recorded and how follows the stored "Recording" settings; the options override them.
// SIGINT and SIGTERM end the take cleanly; the takes are kept and saved.

#include "cli/CliCommand.h"
#include "cli/MidiOptions.h"
#include "cli/PlaySession.h"
#include "cli/SmfOptions.h"

#include "document/EnginePlayerLink.h"
#include "document/ProjectDoc.h"
#include "editing/RecordedTakes.h"
#include "engine/DeviceSettings.h"
#include "engine/EngineMailbox.h"
#include "engine/RecordSettings.h"
#include "model/Clip.h"
#include "model/Errors.h"
#include "model/Track.h"
#include "model/TrackList.h"
#include "settings/SettingsProfile.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

namespace {

constexpr const char* kInOption = "--in";
constexpr const char* kOutOption = "--out";
constexpr const char* kTrackOption = "--track";
constexpr const char* kSecondsOption = "--seconds";
constexpr const char* kQuantizeOption = "--quantize";
constexpr const char* kSnapOption = "--snap";
constexpr const char* kFromOption = "--from";
constexpr auto kWatchInterval = std::chrono::milliseconds(10);

struct SRecordOptions {
    std::string path;
    std::string input;
    std::vector<std::string> outputs;
    std::vector<int32_t> tracks; // 0-based
    double seconds = 0;          // 0: until a stop signal
    CRecordSettings settings;
    tick from = 0;
};

// A whole number of at least `min` from the option's text.
int64_t ReadCount(const std::string& option, const std::string& text, int64_t min)
{
    int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || at != end || value < min || value > INT32_MAX)
        throw CUsageError(option + " takes a whole number of " + std::to_string(min) + " or more");
    return value;
}

// stored: the recording settings of the user's settings store, which the options override.
SRecordOptions ReadOptions(const CCliArgs& args, const CRecordSettings& stored)
{
    SRecordOptions options;
    options.path = args.positional[0];
    options.settings = stored;
    const auto option = [&](const char* name) -> const std::string* {
        const auto it = args.options.find(name);
        return it != args.options.end() ? &it->second : nullptr;
    };
    const std::string* input = option(kInOption);
    if (input == nullptr) throw CUsageError(std::string(kInOption) + " names the MIDI input");
    options.input = *input;
    if (const auto it = args.values.find(kOutOption); it != args.values.end())
        options.outputs = it->second;
    if (const auto it = args.values.find(kTrackOption); it != args.values.end())
        for (const std::string& text : it->second)
            options.tracks.push_back(static_cast<int32_t>(ReadCount(kTrackOption, text, 1) - 1));
    if (const std::string* text = option(kSecondsOption)) {
        char* end = nullptr;
        options.seconds = std::strtod(text->c_str(), &end);
        if (end == text->c_str() || *end != '\0' || !(options.seconds > 0) || options.seconds > 1e6)
            throw CUsageError(std::string(kSecondsOption) + " takes a number of seconds above 0");
    }
    if (const std::string* text = option(kQuantizeOption))
        options.settings.quantizeGrid = static_cast<int32_t>(ReadCount(kQuantizeOption, *text, 0));
    if (const std::string* text = option(kSnapOption))
        options.settings.clipSnapGrid = static_cast<int32_t>(ReadCount(kSnapOption, *text, 0));
    if (const std::string* text = option(kFromOption))
        options.from = static_cast<tick>(ReadCount(kFromOption, *text, 0));
    return options;
}

// The tracks to record into, switched to record and to take the input; a new track when none
// is named.
void ArmTracks(CProjectDoc& doc, const std::vector<int32_t>& indices)
{
    CTrackList& tracks = doc.GetTracks();
    std::vector<CTrack*> armed;
    for (int32_t index : indices) {
        if (index >= tracks.GetCount())
            throw CTwError("The project has no track " + std::to_string(index + 1) + ".");
        armed.push_back(tracks.GetAt(index));
    }
    if (armed.empty()) {
        auto track = std::make_unique<CTrack>();
        track->SetId(doc.NewTrackId());
        track->SetName("Track " + std::to_string(track->GetId()));
        track->SetOutput({CNodeAddress::kKindOutputPort, 0});
        doc.InsertTrack(-1, std::move(track));
        armed.push_back(tracks.GetAt(tracks.GetCount() - 1));
    }
    for (CTrack* track : armed) {
        track->SetRecord(true);
        track->SetInput(true);
    }
}

// Collects the finished takes (and keeps which clips they were, for the summary).
class CTakeCollector : public CEngineNotificationSink {
public:
    void OnRecordingFinished(int32_t trackId, int32_t, std::unique_ptr<CClip> clip) override
    {
        if (clip) clips.push_back(clip.get());
        takes.Add(trackId, std::move(clip));
    }
    void OnTakeDropped(int32_t, int32_t, int32_t) override { ++dropped; }
    CRecordedTakes takes;
    int dropped = 0;                 // takes the engine could not start in time
    std::vector<const CClip*> clips; // compared by address only: a dropped take is deleted
};

void OpenInput(CMidiEngineProxy& proxy, const CMidiBackend& backend, const std::string& wanted)
{
    const std::vector<std::string> names = backend.GetInputNames();
    const int32_t device = FindDevice(names, wanted);
    if (device < 0) throw CTwError("There is no MIDI input '" + wanted + "'.");
    const std::string& name = names[static_cast<size_t>(device)];
    if (!proxy.OpenInputDriver(device) || !proxy.RouteRecordNode(device))
        throw CTwError("The MIDI input " + name + " cannot be opened: " + proxy.GetLastError());
}

// Records until the time is up, a stop signal came or a device failed.
void WaitWhileRecording(CPlayEngine& play, CTakeCollector& collector, double seconds)
{
    const auto until = std::chrono::steady_clock::now() +
                       std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                           std::chrono::duration<double>(seconds));
    for (;;) {
        play.Proxy().GetMailbox().Drain(collector);
        if (play.HasFailed() || g_stopSignal.load() != 0) return;
        if (seconds > 0 && std::chrono::steady_clock::now() >= until) return;
        std::this_thread::sleep_for(kWatchInterval);
    }
}

void PrintSummary(const CProjectDoc& doc, const std::vector<const CClip*>& clips)
{
    int32_t count = 0;
    for (const CClip* clip : clips) {
        const int32_t track = doc.IndexOfTrackWithClip(clip);
        if (track < 0) continue;
        std::printf("\"%s\" on track %d: start %d, length %d, %d notes\n", clip->GetName().c_str(),
                    track + 1, clip->GetStart(), clip->GetLength(), clip->GetNotes().GetCount());
        ++count;
    }
    if (count == 0) std::printf("Nothing was recorded.\n");
}

int RunRecord(const CCliArgs& args)
{
    // Read only: a command-line run leaves the user's settings as they were.
    const CSettingsProfile store;
    const SRecordOptions options = ReadOptions(args, ReadRecordSettings(store));
    const auto user = SplitChannelsAnswer(args);
    CProjectDoc doc;
    if (std::filesystem::exists(options.path)) LoadForCli(doc, options.path, *user);
    ArmTracks(doc, options.tracks);

    const std::unique_ptr<CMidiBackend> backend = CreateCliBackend(args);
    const CStopSignals stopSignals;
    CPlayEngine play(*backend);
    RouteOutputs(play.Proxy(), *backend, options.outputs, ESilentSynth::FallBack);
    OpenInput(play.Proxy(), *backend, options.input);

    CEnginePlayerLink link(play.Proxy());
    link.LoadProject(doc);
    doc.AttachPlayer(&link);
    CMidiEngineProxy& proxy = play.Proxy();
    // One take per track: a loop would cut it into one clip per pass.
    proxy.SetLoop(false, doc.GetLoopStart(), doc.GetLoopEnd());
    if (!proxy.SetRecordSettings(options.settings)) throw CTwError(proxy.GetLastError());
    proxy.Locate(options.from);
    proxy.SetRecording(true);
    proxy.Play();

    CTakeCollector collector;
    // Ctrl+C is the ordinary end of an open-ended take, not a failure; a failed device ends the
    // takes too, and what was played is saved before the failure is reported.
    WaitWhileRecording(play, collector, options.seconds);
    proxy.Stop();
    proxy.GetMailbox().Drain(collector);
    collector.takes.Commit(&doc);
    doc.AttachPlayer(nullptr);
    SaveOrExport(doc, options.path);
    PrintSummary(doc, collector.clips);
    play.CheckDevices();
    play.ShutDown();
    ReportOutputTrouble(*backend);
    if (collector.dropped != 0)
        std::fprintf(stderr,
                     "Recording fell behind %d time(s): part of what was played is missing.\n",
                     collector.dropped);
    return 0;
}

} // namespace

const CCliCommand kRecordCommand{
    "record",
    "FILE [--midi jack|alsa|virtual] --in DEVICE [--out DEVICE]... [--track N]... "
    "[--seconds S] [--quantize TICKS] [--snap TICKS] [--from TICK]",
    "record from a MIDI input into tracks (1-based; default a new one) and save the project",
    {kMidiOption, kInOption, kOutOption, kTrackOption, kSecondsOption, kQuantizeOption, kSnapOption,
     kFromOption, kSplitChannelsOption},
    1,
    RunRecord};
