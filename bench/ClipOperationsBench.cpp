// Clip groups on large selections: "Delete Clip(s)" of many clips and its undo, and "Move Clip(s)"
// of them, on a project that is inactive or active (engine with the virtual backend, commands
// inline).

#include "devices/virtual/VirtualBackend.h"
#include "document/EnginePlayerLink.h"
#include "document/ProjectDoc.h"
#include "editing/ClipGroups.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "model/Clip.h"
#include "model/Track.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int32_t kTracks = 10;

// A project of `clips` clips over ten tracks, with a few notes each, optionally active.
struct CBigProject {
    explicit CBigProject(int32_t clips, bool active)
    {
        proxy.AttachEngine(&engine);
        proxy.Initialise(false);
        doc.SetEngineProxy(proxy);
        for (int32_t t = 0; t < kTracks; ++t) {
            auto track = std::make_unique<CTrack>();
            track->SetId(doc.NewTrackId());
            for (int32_t c = 0; c < clips / kTracks; ++c) {
                auto clip = std::make_unique<CClip>(c * 192, c * 192 + 384, "c", 0);
                for (tick n = 0; n < 384; n += 96)
                    clip->GetNotes().Append(CNote(n, n + 48, 60, 100, 64));
                clip->SetId(doc.NewObjectId());
                track->AddClipInOrder(std::move(clip));
            }
            doc.InsertTrack(-1, std::move(track));
        }
        if (active) {
            link.LoadProject(doc);
            doc.AttachPlayer(&link);
        }
    }
    ~CBigProject()
    {
        if (doc.IsActive()) link.ClearProject(doc);
        doc.AttachPlayer(nullptr);
        proxy.ShutDown();
    }
    // Every clip, in a shuffled order as a rubber band and clicks would give them.
    std::vector<CClipRef> Everything()
    {
        std::vector<CClipRef> all;
        for (int32_t t = 0; t < doc.GetTracks().GetCount(); ++t) {
            CTrack& track = *doc.GetTracks().GetAt(t);
            for (int32_t c = 0; c < track.GetClipCount(); ++c)
                all.push_back({&track.GetClipAt(c), t});
        }
        std::shuffle(all.begin(), all.end(), std::mt19937(3));
        return all;
    }

    CVirtualBackend backend{{"Out"}, {}};
    CMidiEngineProxy proxy;
    CMidiEngine engine{backend, proxy.GetMailbox()};
    CEnginePlayerLink link{proxy};
    CProjectDoc doc;
};

// Arguments: clip count, active (0/1). Times the delete, then (untimed) undoes it.
void BM_DeleteClips(benchmark::State& state)
{
    CBigProject project(static_cast<int32_t>(state.range(0)), state.range(1) != 0);
    for (auto _ : state) {
        auto op = std::make_unique<COpClipsDelete>(project.Everything());
        benchmark::DoNotOptimize(project.doc.Execute(std::move(op)));
        state.PauseTiming();
        project.doc.Undo();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DeleteClips)->Args({10000, 0})->Args({10000, 1})->Unit(benchmark::kMillisecond);

// Times the undo of the delete.
void BM_DeleteClipsUndo(benchmark::State& state)
{
    CBigProject project(static_cast<int32_t>(state.range(0)), state.range(1) != 0);
    for (auto _ : state) {
        state.PauseTiming();
        project.doc.Execute(std::make_unique<COpClipsDelete>(project.Everything()));
        state.ResumeTiming();
        benchmark::DoNotOptimize(project.doc.Undo());
    }
}
BENCHMARK(BM_DeleteClipsUndo)->Args({10000, 0})->Args({10000, 1})->Unit(benchmark::kMillisecond);

// Moving every clip one bar to the right: a removal and a merge per track.
void BM_MoveClips(benchmark::State& state)
{
    CBigProject project(static_cast<int32_t>(state.range(0)), state.range(1) != 0);
    for (auto _ : state) {
        auto op = std::make_unique<COpClipsMove>(kTracks, project.Everything(), 384, 0, nullptr);
        benchmark::DoNotOptimize(project.doc.Execute(std::move(op)));
        state.PauseTiming();
        project.doc.Undo();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_MoveClips)->Args({10000, 0})->Args({10000, 1})->Unit(benchmark::kMillisecond);

} // namespace
