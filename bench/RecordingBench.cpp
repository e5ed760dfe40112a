// Recording costs: making a take kit on the UI side, and a loop wrap that finishes and starts the
// takes of many recording Tracks on the engine side.

#include "devices/virtual/VirtualBackend.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "engine/SequencerClock.h"
#include "engine/TakeKit.h"
#include "model/Clip.h"
#include "model/Track.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

// What the proxy's top-up spends per kit.
void BM_TakeKitMake(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(STakeKit::Make());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TakeKitMake);

// Drops the finished takes' players and clips, as a commit and an undo would.
class CReleasingSink : public CEngineNotificationSink {
public:
    explicit CReleasingSink(CMidiEngineProxy& proxy) : m_proxy(proxy) {}
    void OnRecordingFinished(int32_t, int32_t, std::unique_ptr<CClip> clip) override
    {
        if (clip) m_proxy.RemoveClipPlayer(*clip);
    }

private:
    CMidiEngineProxy& m_proxy;
};

// One loop wrap with state.range(0) recording Tracks, each with a note: every take finishes
// (its clip player starts) and a new one opens. Timed: the clock pass that wraps.
void BM_LoopWrapRestartsTakes(benchmark::State& state)
{
    CVirtualBackend backend({"Out"}, {"Keys"});
    backend.SetCapture(false);
    CMidiEngineProxy proxy;
    CMidiEngine engine(backend, proxy.GetMailbox());
    proxy.AttachEngine(&engine);
    proxy.Initialise(false);
    proxy.OpenInputDriver(0);
    proxy.RouteRecordNode(0);
    std::vector<std::unique_ptr<CTrack>> tracks;
    for (int i = 0; i < state.range(0); ++i) {
        tracks.push_back(std::make_unique<CTrack>());
        tracks.back()->SetId(i + 1);
        tracks.back()->SetInput(true);
        tracks.back()->SetRecord(true);
        proxy.AddTrackPlayer(*tracks.back());
    }
    proxy.SetLoop(true, 0, 2);
    proxy.SetRecording(true);
    proxy.Play();
    CReleasingSink sink(proxy);
    const CSequencerClock& clock = engine.GetClock();
    auto oneTick = [&] {
        backend.SetTime(clock.GetLastTickTime() + clock.GetTickPeriod() - 60000);
        engine.ClockPass(backend.GetMasterTime());
    };
    for (auto _ : state) {
        state.PauseTiming();
        proxy.GetMailbox().Drain(sink);
        backend.InjectInput(0, {0x90, 60, 100, 0x80, 60, 0});
        engine.PollInputs();
        oneTick();
        state.ResumeTiming();
        oneTick();
    }
    // Should stay 0: a dropped take would make the wrap look cheaper than it is.
    state.counters["dropped"] = static_cast<double>(engine.GetDroppedTakeCount());
    proxy.Stop();
    proxy.GetMailbox().Drain(sink);
    proxy.ShutDown();
    proxy.Clear();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LoopWrapRestartsTakes)->Arg(1)->Arg(16);

} // namespace
