#pragma once
// A deterministic engine for tests: a virtual backend with a manual clock, a proxy with its own
// mailbox, and a sink that records what the mailbox delivers.

#include "devices/virtual/VirtualBackend.h"
#include "engine/EngineMailbox.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

// Collects the notifications a drain applies, in order.
class CRecordingSink : public CEngineNotificationSink {
public:
    void OnTransportRequest(int32_t code, int32_t value) override
    {
        transport.emplace_back(code, value);
    }
    void OnMixerFeedback(int32_t trackId, int32_t slot, int32_t kind, int32_t value) override
    {
        mixer.push_back({trackId, slot, kind, value});
    }
    void OnSoloMuteModes(bool soloMode, bool muteMode) override
    {
        modes.emplace_back(soloMode, muteMode);
    }

    std::vector<std::pair<int32_t, int32_t>> transport;
    std::vector<std::vector<int32_t>> mixer;
    std::vector<std::pair<bool, bool>> modes;
};

class EngineFixture : public ::testing::Test {
protected:
    static constexpr int64_t kPeriod = 52083;       // 100 ns per tick at 120 BPM
    static constexpr int64_t kLookAhead = 60000;    // 100 ns
    static constexpr int64_t kStartTime = 10000000; // master time at initialisation

    EngineFixture()
    {
        backend.SetTime(kStartTime);
        proxy.AttachEngine(&engine);
    }
    ~EngineFixture() override
    {
        proxy.ShutDown();
        proxy.Clear();
    }

    // Initialises inline (no thread) and opens output 0 routed from "Out1".
    void InitialiseWithOutput()
    {
        ASSERT_EQ(proxy.Initialise(false), 1) << proxy.GetLastError();
        ASSERT_EQ(proxy.OpenOutputDriver(0), 1) << proxy.GetLastError();
        ASSERT_EQ(proxy.RouteOutputPort(0, 0), 1) << proxy.GetLastError();
    }

    // Advances the master clock so that the next pass plays exactly `ticks` ticks, and runs it.
    void RunTicks(int64_t ticks)
    {
        const CSequencerClock& clock = engine.GetClock();
        backend.SetTime(clock.GetLastTickTime() + ticks * clock.GetTickPeriod() - kLookAhead);
        engine.ClockPass(backend.GetMasterTime());
    }

    // Keeps a model object alive until the fixture has shut the engine down and released the
    // player slots, which still point at the objects the test handed over.
    template <class T> T& Keep(std::unique_ptr<T> object)
    {
        T& kept = *object;
        keptObjects.push_back(std::shared_ptr<void>(std::move(object)));
        return kept;
    }

    std::vector<std::pair<int32_t, int32_t>> DrainTransport()
    {
        proxy.GetMailbox().Drain(sink);
        auto result = std::move(sink.transport);
        sink.transport.clear();
        return result;
    }

    std::vector<std::shared_ptr<void>> keptObjects; // destroyed after everything below
    CVirtualBackend backend{{"Synth A", "Synth B"}, {"Keys"}};
    CMidiEngineProxy proxy;
    CMidiEngine engine{backend, proxy.GetMailbox()};
    CRecordingSink sink;
};
