// The bounce to audio: a generated 16-track General MIDI song of 64 bars rendered through the
// engine and the built-in synthesizer to a 16-bit WAV file. Reports music time against CPU time,
// the most voices that sounded and the peak memory of the process. Nearly all the time goes into
// the synthesizer's voices, so the figure follows the voice count: the song is rendered with a
// note on each channel every eighth (held an eighth) and every quarter (held an eighth).

#include "cli/WavRender.h"
#include "document/ProjectDoc.h"
#include "model/Clip.h"
#include "model/NodeAddress.h"
#include "model/Track.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <ctime>
#include <filesystem>
#include <memory>
#include <random>

namespace {

constexpr int kTracks = 16;
constexpr tick kBar = 384;
constexpr tick kBars = 64;
const char* const kFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

// One track per channel (channel 10 the drums): a note every `step`, held for `length`.
std::unique_ptr<CTrack> MakeTrack(int32_t index, tick step, tick length, std::mt19937& random)
{
    auto track = std::make_unique<CTrack>();
    track->SetId(index + 1);
    track->SetOutput({CNodeAddress::kKindOutputPort, index % 8});
    track->SetOutputChannel(static_cast<uint8_t>(index));
    CClip& clip =
        track->GetClipAt(track->AddClip(std::make_unique<CClip>(0, kBars * kBar, "C", 0)));
    std::uniform_int_distribution<int> pitch(40, 84);
    for (tick at = 0; at < kBars * kBar; at += step)
        clip.GetNotes().Insert(CNote(at, at + length, static_cast<uint8_t>(pitch(random)), 96, 64));
    return track;
}

double CpuSeconds()
{
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

void BM_BounceToWav(benchmark::State& state)
{
    CProjectDoc doc;
    std::mt19937 random(16);
    for (int t = 0; t < kTracks; ++t)
        doc.InsertTrack(-1, MakeTrack(t, static_cast<tick>(state.range(0)),
                                      static_cast<tick>(state.range(1)), random));
    const std::string path =
        (std::filesystem::temp_directory_path() / "tw_synth_bench.wav").string();
    SWavOptions wav;
    wav.soundFont = kFont;
    double cpu = 0;
    SWavRenderStats stats;
    for (auto _ : state) {
        const double start = CpuSeconds();
        stats = RenderProjectToWav(doc, {}, wav, path);
        cpu += CpuSeconds() - start;
    }
    const auto bytes = static_cast<double>(std::filesystem::file_size(path));
    const double musicSeconds = (bytes - 44) / 4 / wav.rate;
    std::filesystem::remove(path);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["music_s"] = musicSeconds;
    state.counters["realtime_x"] = musicSeconds * static_cast<double>(state.iterations()) / cpu;
    state.counters["peak_voices"] = stats.peakVoices;
    state.counters["peak_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_BounceToWav)
    ->ArgNames({"step", "length"})
    ->Args({48, 48})
    ->Args({96, 48})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

} // namespace
