// Cost of one tick on the device end: a port passes a tick's lists to an output driver, which
// hands them to the (non-capturing) virtual backend; and the parse of queued input (note-on and
// note-off pairs) through an input port.

#include "devices/MidiDevices.h"
#include "devices/virtual/VirtualBackend.h"

#include <benchmark/benchmark.h>

namespace {
constexpr int64_t kTickPeriod = 52083; // 100 ns units at 120 BPM

void BM_TickThroughPortToDriver(benchmark::State& state)
{
    CVirtualBackend backend({"Out"}, {});
    backend.SetCapture(false);
    CMidiDevices devices;
    std::string error;
    devices.Start(backend, error);
    devices.OpenOutputDriver(0, error);
    devices.RouteOutputPort(0, 0, error);
    COutputPort& port = *devices.GetOutputPort(0);

    const auto count = static_cast<int>(state.range(0));
    CMidiMsgList ons, offs, events;
    for (int i = 0; i < count; ++i) {
        ons.Append(CMidiMsg::Make(0x90, static_cast<uint8_t>(i % 128), 100));
        offs.Append(CMidiMsg::Make(0x80, static_cast<uint8_t>(i % 128), 0));
        events.Append(CMidiMsg::Make(0xB0, 7, static_cast<uint8_t>(i % 128)));
    }
    int64_t time = 0;
    for (auto _ : state) {
        port.Deliver(nullptr, ons, offs, events);
        devices.HandOver(time += kTickPeriod);
    }
    state.SetItemsProcessed(state.iterations() * count * 3);
}
BENCHMARK(BM_TickThroughPortToDriver)->Arg(1)->Arg(16)->Arg(256);

void BM_PollInput(benchmark::State& state)
{
    CVirtualBackend backend({}, {"In"});
    CMidiDevices devices;
    std::string error;
    devices.Start(backend, error);
    devices.OpenInputDriver(0, error);
    devices.RouteInputPort(0, 0, error);

    // Each note is released again, so the port's held-note list stays short as in real playing
    // (note-ons alone would grow it, and the pool with it, on every iteration).
    const auto count = static_cast<int>(state.range(0));
    std::vector<uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
        const auto key = static_cast<uint8_t>(i % 128);
        bytes.insert(bytes.end(), {0x90, key, 100, 0x80, key, 64});
    }
    for (auto _ : state) {
        backend.InjectInput(0, bytes, 0);
        devices.PollInputs();
    }
    state.SetItemsProcessed(state.iterations() * count * 2);
}
BENCHMARK(BM_PollInput)->Arg(1)->Arg(64)->Arg(1024);
} // namespace
