// The command hand-over: a proxy command's round trip through the music thread against a bare
// two-thread ping-pong on the same events, measured in alternating batches in one run so that both
// see the same machine. Argument 1 adds a busy thread per core, as a loaded machine has.

#include "devices/virtual/VirtualBackend.h"
#include "engine/AutoResetEvent.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "engine/SequencerClock.h"
#include "fakes/BusyCores.h"

#include <benchmark/benchmark.h>

#include <pthread.h>

#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBatch = 500;

// A second thread that answers every ping with a pong, nothing else.
class CPingPong {
public:
    CPingPong()
        : m_echo([this] {
              pthread_setname_np(pthread_self(), "tw-echo");
              while (CAutoResetEvent::WaitAnyForever({&m_ping, &m_quit}) == 0) m_pong.Set();
          })
    {
    }
    ~CPingPong()
    {
        m_quit.Set();
        m_echo.join();
    }
    void RoundTrip()
    {
        m_ping.Set();
        m_pong.Wait();
    }

private:
    CEventGroup m_group;
    CAutoResetEvent m_ping{m_group};
    CAutoResetEvent m_pong{m_group};
    CAutoResetEvent m_quit{m_group};
    std::thread m_echo;
};

template <class F> double BatchSeconds(F&& roundTrip)
{
    const auto start = Clock::now();
    for (int i = 0; i < kBatch; ++i) roundTrip();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_HandOverAgainstPingPong(benchmark::State& state)
{
    CVirtualBackend backend({"Out"}, {});
    CMidiEngineProxy proxy;
    CMidiEngine engine(backend, proxy.GetMailbox());
    proxy.AttachEngine(&engine);
    if (proxy.Initialise(true) == 0) {
        state.SkipWithError("engine did not start");
        return;
    }
    CPingPong bare;
    CBusyCores load(state.range(0) != 0);
    const CNodeAddress clock{9, 0};
    int64_t flag = 0;
    double proxySeconds = 0;
    double bareSeconds = 0;
    for (auto _ : state) {
        proxySeconds += BatchSeconds([&] {
            benchmark::DoNotOptimize(
                proxy.SetNodeParameter(clock, CSequencerClock::kLoopActive, flag));
            flag ^= 1;
        });
        bareSeconds += BatchSeconds([&] { bare.RoundTrip(); });
    }
    proxy.ShutDown();
    const double trips = static_cast<double>(state.iterations()) * kBatch;
    state.counters["proxy_per_s"] = trips / proxySeconds;
    state.counters["bare_per_s"] = trips / bareSeconds;
    state.counters["ratio"] = bareSeconds / proxySeconds;
}
BENCHMARK(BM_HandOverAgainstPingPong)
    ->ArgName("busy_per_core")
    ->Arg(0)
    ->Arg(1)
    ->UseRealTime()
    ->MinTime(2.0);

} // namespace
