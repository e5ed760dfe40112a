// Engine costs: a command's round trip through the music thread, and a clock pass over many
// players.

#include "devices/virtual/VirtualBackend.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "engine/SequencerClock.h"
#include "model/Clip.h"
#include "model/Phrase.h"
#include "model/Track.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

// UI thread -> music thread -> UI thread for a command that changes a clock setting.
void BM_ThreadedCommandRoundTrip(benchmark::State& state)
{
    CVirtualBackend backend({"Out"}, {});
    CMidiEngineProxy proxy;
    CMidiEngine engine(backend, proxy.GetMailbox());
    proxy.AttachEngine(&engine);
    if (proxy.Initialise(true) == 0) {
        state.SkipWithError("engine did not start");
        return;
    }
    const CNodeAddress clock{9, 0};
    int64_t flag = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(proxy.SetNodeParameter(clock, CSequencerClock::kLoopActive, flag));
        flag ^= 1;
    }
    proxy.ShutDown();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ThreadedCommandRoundTrip)->UseRealTime();

// One playing tick with 1,000 registered players: 250 tracks with one clip each and 500 phrases.
void BM_ClockPassWithThousandPlayers(benchmark::State& state)
{
    CVirtualBackend backend({"Out"}, {});
    backend.SetCapture(false);
    CMidiEngineProxy proxy;
    CMidiEngine engine(backend, proxy.GetMailbox());
    proxy.AttachEngine(&engine);
    proxy.Initialise(false);
    proxy.OpenOutputDriver(0);
    proxy.RouteOutputPort(0, 0);
    std::vector<std::unique_ptr<CTrack>> tracks;
    std::vector<std::unique_ptr<CPhrase>> phrases;
    for (int i = 0; i < 250; ++i) {
        tracks.push_back(std::make_unique<CTrack>());
        tracks.back()->SetId(i + 1);
        tracks.back()->AddClip(std::make_unique<CClip>(0, 3840, "C", 0));
        proxy.AddTrackPlayer(*tracks.back());
    }
    for (int i = 0; i < 500; ++i) {
        phrases.push_back(std::make_unique<CPhrase>("P", 0, 384));
        phrases.back()->SetId(i + 1);
        proxy.AddPhrasePlayer(*phrases.back());
    }
    proxy.Play();
    const int64_t period = engine.GetClock().GetTickPeriod();
    for (auto _ : state) {
        backend.AdvanceTime(period);
        engine.ClockPass(backend.GetMasterTime());
    }
    state.counters["players"] = engine.GetTrackPlayerCount() + engine.GetClipPlayerCount() +
                                engine.GetPhrasePlayerCount();
    proxy.Clear();
    proxy.ShutDown();
}
BENCHMARK(BM_ClockPassWithThousandPlayers);

} // namespace
