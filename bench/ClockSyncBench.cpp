// MIDI clock costs on the music thread: following one incoming pulse (parse, tempo, the ticks it
// plays with clock out and the metronome on).

#include "devices/virtual/VirtualBackend.h"
#include "engine/Metronome.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "engine/SequencerClock.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

void BM_FollowOnePulse(benchmark::State& state)
{
    CVirtualBackend backend({"Out"}, {"Clock"});
    backend.SetCapture(false);
    CMidiEngineProxy proxy;
    CMidiEngine engine(backend, proxy.GetMailbox());
    proxy.AttachEngine(&engine);
    proxy.Initialise(false);
    proxy.OpenOutputDriver(0);
    proxy.OpenInputDriver(0);
    const CNodeAddress clock{9, 0};
    const CNodeAddress metronome{8, 0};
    const CNodeAddress out{2, 0};
    proxy.SetNodeParameter(out, CMidiOutDriver::kParamClockSend, 1);
    proxy.SetNodeParameter(clock, CSequencerClock::kClockOut, 1);
    proxy.SetNodeParameter(metronome, CMetronome::kOutput, reinterpret_cast<intptr_t>(&out));
    proxy.SetNodeParameter(metronome, CMetronome::kActive, 1);
    proxy.SetNodeParameter(clock, CSequencerClock::kClockInDriver, 0);
    proxy.SetNodeParameter(clock, CSequencerClock::kInternalClock, 0);
    int64_t ms = 2000;
    backend.SetTime(ms * 10000);
    backend.InjectInput(0, {0xFA}, static_cast<int32_t>(ms));
    engine.PollInputs();
    for (auto _ : state) {
        ms += 20;
        backend.SetTime(ms * 10000);
        backend.InjectInput(0, {0xF8}, static_cast<int32_t>(ms));
        engine.PollInputs();
        // Messages from the mailbox would pile up without a UI draining them.
        state.PauseTiming();
        proxy.GetMailbox().Discard();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["ticks"] = static_cast<double>(engine.GetPosition());
    proxy.ShutDown();
}
BENCHMARK(BM_FollowOnePulse);

} // namespace
