// The bounce to audio: a generated General MIDI song of 64 bars rendered through the engine and
// the built-in synthesizer to a 16-bit WAV file. Reports music time against CPU time, the most
// voices that sounded, the peak level and the share of samples at full scale, and the peak memory
// of the process. Nearly all the time goes into the synthesizer's voices, so the figure follows
// the voice count. Beside each bounce, FluidSynth's own fast render of the same song as a MIDI
// file runs on the same machine; x_fluidsynth is its wall time over ours. The dense song renders
// once on every core (threads 0) and once on one, to show what the render threads bring. The songs: a light song (4 tracks, a note every eighth: 2,048 notes) and a dense one (16
// tracks, a note every 32nd triplet held an eighth: 49,152 notes).

#include "cli/WavRender.h"
#include "document/ProjectDoc.h"
#include "files/SmfWriter.h"
#include "model/Clip.h"
#include "model/NodeAddress.h"
#include "model/Track.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <random>

namespace {

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

template <class F> double WallSeconds(F&& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The yardstick: FluidSynth's own command-line fast render of the same song as a MIDI file, with
// the same font, on its one thread. Negative when the program is missing or fails.
double FluidSynthSeconds(const std::string& midi, const std::string& wav)
{
    const std::string command = "fluidsynth -ni -q -r 44100 -F '" + wav + "' '" + kFont + "' '" +
                                midi + "' > /dev/null 2>&1";
    int status = 0;
    const double seconds = WallSeconds([&] { status = std::system(command.c_str()); });
    return status == 0 ? seconds : -1;
}

void BM_BounceToWav(benchmark::State& state)
{
    CProjectDoc doc;
    std::mt19937 random(16);
    for (int t = 0; t < state.range(0); ++t)
        doc.InsertTrack(-1, MakeTrack(t, static_cast<tick>(state.range(1)),
                                      static_cast<tick>(state.range(2)), random));
    const std::filesystem::path temp = std::filesystem::temp_directory_path();
    const std::string path = (temp / "tw_synth_bench.wav").string();
    const std::string midi = (temp / "tw_synth_bench.mid").string();
    const std::string fluidWav = (temp / "tw_synth_bench_fs.wav").string();
    CSmfWriter writer(doc.GetTempo(), "", "");
    for (int t = 0; t < doc.GetTracks().GetCount(); ++t)
        writer.AddTrack(*doc.GetTracks().GetAt(t));
    writer.WriteFile(midi);
    SWavOptions wav;
    wav.soundFont = kFont;
    wav.renderThreads = static_cast<int>(state.range(3));
    double cpu = 0;
    double wall = 0;
    double fluidWall = 0;
    SWavRenderStats stats;
    for (auto _ : state) {
        const double start = CpuSeconds();
        wall += WallSeconds([&] { stats = RenderProjectToWav(doc, {}, wav, path); });
        cpu += CpuSeconds() - start;
        // Side by side: both renders see the same machine.
        const double fluid = FluidSynthSeconds(midi, fluidWav);
        fluidWall = fluid < 0 || fluidWall < 0 ? -1 : fluidWall + fluid;
    }
    const auto bytes = static_cast<double>(std::filesystem::file_size(path));
    const double musicSeconds = (bytes - 44) / 4 / wav.rate;
    for (const std::string& file : {path, midi, fluidWav})
        std::filesystem::remove(file);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["music_s"] = musicSeconds;
    const auto iterations = static_cast<double>(state.iterations());
    // Music time per CPU second (all render threads) and per second of the clock on the wall.
    state.counters["realtime_x"] = musicSeconds * iterations / cpu;
    state.counters["wall_realtime_x"] = musicSeconds * iterations / wall;
    if (fluidWall > 0) state.counters["x_fluidsynth"] = fluidWall / wall;
    state.counters["peak_voices"] = stats.peakVoices;
    state.counters["peak_dBFS"] = 20 * std::log10(std::max(stats.peak, 1e-9f));
    state.counters["full_scale_pct"] =
        100.0 * static_cast<double>(stats.fullScaleSamples) / static_cast<double>(stats.samples);
    state.counters["peak_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_BounceToWav)
    ->ArgNames({"tracks", "step", "length", "threads"})
    ->Args({4, 48, 48, 0})
    ->Args({16, 8, 48, 0})
    ->Args({16, 8, 48, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

} // namespace
