// Players: rendering a large generated song through the engine (music time against CPU time, and
// the peak memory of the process), and one playing clock pass over 500 track players and 5,000
// clip players.

#include "devices/virtual/VirtualBackend.h"
#include "document/ProjectDoc.h"
#include "document/ProjectRender.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "engine/SequencerClock.h"
#include "model/Clip.h"
#include "model/NodeAddress.h"
#include "model/Track.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <ctime>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int kTracks = 500;
constexpr int kClipsPerTrack = 10;
constexpr int kNotesPerClip = 100;
constexpr tick kBar = 384;

// 500 tracks spread over the eight ports and sixteen channels, each with ten clips of `bars`
// bars and 100 notes: 5,000 clips and 500,000 notes, 10 × bars bars long.
std::unique_ptr<CTrack> MakeTrack(int32_t index, tick bars, std::mt19937& random)
{
    const tick clipLength = bars * kBar;
    auto track = std::make_unique<CTrack>();
    track->SetId(index + 1);
    track->SetOutput({CNodeAddress::kKindOutputPort, index % 8});
    track->SetOutputChannel(static_cast<uint8_t>(index % 16));
    std::uniform_int_distribution<int> start(0, clipLength - 1);
    std::uniform_int_distribution<int> pitch(24, 100);
    for (int c = 0; c < kClipsPerTrack; ++c) {
        CClip& clip = track->GetClipAt(
            track->AddClip(std::make_unique<CClip>(c * clipLength, (c + 1) * clipLength, "C", 0)));
        for (int n = 0; n < kNotesPerClip; ++n) {
            const tick at = start(random);
            clip.GetNotes().Insert(
                CNote(at, at + 24, static_cast<uint8_t>(pitch(random)), 100, 64));
        }
    }
    return track;
}

double CpuSeconds()
{
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// Keeps every message, as the MIDI file writer does.
class CKeepAll : public CRenderSink {
public:
    void OnMessages(int32_t, tick at, std::span<const SMidiOutRecord> records) override
    {
        for (const SMidiOutRecord& r : records)
            kept.push_back({at, r.bytes[0], r.bytes[1], r.bytes[2]});
    }
    void OnTickDone(tick, int64_t tickPeriod) override { musicTime += tickPeriod; }

    struct SKept {
        tick at;
        uint8_t status, data1, data2;
    };
    std::vector<SKept> kept;
    int64_t musicTime = 0; // 100 ns
};

// Folds port, tick, stamp and bytes of every message into a digest (FNV-1a over 32-bit words),
// so that two builds can be seen to render the same song. Not timed.
class CDigest : public CRenderSink {
public:
    void OnMessages(int32_t port, tick at, std::span<const SMidiOutRecord> records) override
    {
        for (const SMidiOutRecord& r : records) {
            for (const int64_t word : {int64_t{port}, int64_t{at}, r.time, int64_t{r.length},
                                       int64_t{r.bytes[0]} << 16 | r.bytes[1] << 8 | r.bytes[2]})
                digest = (digest ^ static_cast<uint32_t>(word ^ word >> 32)) * 16777619u;
        }
    }
    uint32_t digest = 2166136261u;
};

void BM_RenderGeneratedSong(benchmark::State& state)
{
    CProjectDoc doc;
    std::mt19937 random(7);
    for (int t = 0; t < kTracks; ++t)
        doc.InsertTrack(-1, MakeTrack(t, static_cast<tick>(state.range(0)), random));
    double musicSeconds = 0;
    double cpuSeconds = 0;
    size_t messages = 0;
    for (auto _ : state) {
        CKeepAll sink;
        std::string error;
        const double before = CpuSeconds();
        if (RenderProject(doc, {}, sink, error) == 0) {
            state.SkipWithError(error.c_str());
            return;
        }
        cpuSeconds += CpuSeconds() - before;
        musicSeconds += static_cast<double>(sink.musicTime) / 1e7;
        messages = sink.kept.size();
    }
    CDigest digest;
    std::string error;
    RenderProject(doc, {}, digest, error);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["x_realtime"] = musicSeconds / cpuSeconds;
    state.counters["music_s"] = musicSeconds / static_cast<double>(state.iterations());
    state.counters["messages"] = static_cast<double>(messages);
    state.counters["digest"] = static_cast<double>(digest.digest);
    state.counters["peak_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
// Four-bar clips make an 80-second song of 6,250 notes a second; eight-bar clips one of 160 s.
BENCHMARK(BM_RenderGeneratedSong)->Unit(benchmark::kMillisecond)->Iterations(3)->Arg(4)->Arg(8);

// One playing tick over the same song's 500 track players and 5,000 clip players.
void BM_PlayingClockPass(benchmark::State& state)
{
    CVirtualBackend backend({"Out1", "Out2", "Out3", "Out4", "Out5", "Out6", "Out7", "Out8"}, {});
    backend.SetCapture(false);
    CMidiEngineProxy proxy;
    CMidiEngine engine(backend, proxy.GetMailbox());
    proxy.AttachEngine(&engine);
    proxy.Initialise(false);
    for (int32_t i = 0; i < 8; ++i) {
        proxy.OpenOutputDriver(i);
        proxy.RouteOutputPort(i, i);
    }
    std::mt19937 random(7);
    std::vector<std::unique_ptr<CTrack>> tracks;
    for (int t = 0; t < kTracks; ++t) {
        tracks.push_back(MakeTrack(t, 4, random));
        proxy.AddTrackPlayer(*tracks.back());
    }
    proxy.Play();
    const int64_t period = engine.GetClock().GetTickPeriod();
    for (auto _ : state) {
        backend.AdvanceTime(period);
        engine.ClockPass(backend.GetMasterTime());
        if (engine.GetPosition() >= kClipsPerTrack * 4 * kBar) proxy.Locate(0);
        proxy.GetMailbox().Discard();
    }
    state.counters["clip_players"] = engine.GetClipPlayerCount();
    state.counters["track_players"] = engine.GetTrackPlayerCount();
    proxy.Clear();
    proxy.ShutDown();
}
BENCHMARK(BM_PlayingClockPass)->Unit(benchmark::kMicrosecond);

} // namespace
