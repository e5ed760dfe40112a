#include "EngineFixture.h"

#include "engine/Metronome.h"

#include <vector>

namespace {

constexpr CNodeAddress kMetronomeAddress{8, 0};
using M = CMetronome;

// A sent message with the tick it left on.
struct SClick {
    int64_t tick;
    uint8_t status;
    uint8_t key;
    uint8_t velocity;
    bool operator==(const SClick&) const = default;
};

std::ostream& operator<<(std::ostream& os, const SClick& c)
{
    return os << "{" << c.tick << ", " << int(c.status) << ", " << int(c.key) << ", "
              << int(c.velocity) << "}";
}

class MetronomeTest : public EngineFixture {
protected:
    void SetUp() override
    {
        InitialiseWithOutput();
        SetOutput({2, 0});
        Set(M::kBarKey, 76);
        Set(M::kBarVelocity, 120);
        Set(M::kBarChannel, 9);
        Set(M::kBeatKey, 77);
        Set(M::kBeatVelocity, 90);
        Set(M::kBeatChannel, 9);
        Set(M::kActive, 1);
    }
    void Set(int32_t code, int64_t value)
    {
        ASSERT_EQ(proxy.SetNodeParameter(kMetronomeAddress, code, value), 1) << code;
    }
    void SetOutput(const CNodeAddress& address)
    {
        ASSERT_EQ(proxy.SetNodeParameter(kMetronomeAddress, M::kOutput,
                                         reinterpret_cast<intptr_t>(&address)),
                  1);
    }
    // What output 0 was sent since start (the stamp as ticks after it), and forgets it.
    std::vector<SClick> Take(int64_t start)
    {
        std::vector<SClick> result;
        for (const SMidiOutRecord& r : backend.GetSent(0))
            result.push_back({(r.time - start) / kPeriod, r.bytes[0], r.bytes[1], r.bytes[2]});
        backend.ClearSent();
        return result;
    }
};

TEST_F(MetronomeTest, ClicksOnBarsAndBeatsOfAFixedFourFourGrid)
{
    const int64_t start = engine.GetClock().GetLastTickTime();
    ASSERT_EQ(proxy.Play(), 1);
    RunTicks(200);
    RunTicks(384 + 30 - 200);
    // Tick P leaves at the hand-over after it: start + (P + 1) periods.
    const std::vector<SClick> expected = {
        {1, 0x99, 76, 120},   {25, 0x89, 76, 127},  {97, 0x99, 77, 90},  {121, 0x89, 77, 127},
        {193, 0x99, 77, 90},  {217, 0x89, 77, 127}, {289, 0x99, 77, 90}, {313, 0x89, 77, 127},
        {385, 0x99, 76, 120}, {409, 0x89, 76, 127}};
    EXPECT_EQ(Take(start), expected);
}

TEST_F(MetronomeTest, StartingOffTheGridWaitsForTheNextBeat)
{
    ASSERT_EQ(proxy.Locate(100), 1);
    const int64_t start = engine.GetClock().GetLastTickTime();
    ASSERT_EQ(proxy.Play(), 1);
    RunTicks(100);
    EXPECT_EQ(Take(start), (std::vector<SClick>{{93, 0x99, 77, 90}})); // tick 192
}

TEST_F(MetronomeTest, ChangesAndStopEndTheSoundingClickAtOnce)
{
    ASSERT_EQ(proxy.Play(), 1);
    RunTicks(10);
    backend.ClearSent();
    EXPECT_EQ(engine.GetMetronome().GetPendingCount(), 1);
    Set(M::kActive, 0); // its note-off leaves with the next hand-over, not 14 ticks later
    EXPECT_EQ(engine.GetMetronome().GetPendingCount(), 0);
    const int64_t at = engine.GetClock().GetLastTickTime();
    RunTicks(200);
    EXPECT_EQ(Take(at), (std::vector<SClick>{{1, 0x89, 76, 127}}));

    // Every parameter change flushes, and so does stop.
    Set(M::kActive, 1);
    ASSERT_EQ(proxy.Locate(0), 1);
    RunTicks(1);
    Set(M::kBeatKey, 50);
    EXPECT_EQ(engine.GetMetronome().GetPendingCount(), 0);
    ASSERT_EQ(proxy.Locate(96), 1);
    RunTicks(1);
    EXPECT_EQ(engine.GetMetronome().GetPendingCount(), 1);
    backend.ClearSent();
    const int64_t stopped = engine.GetClock().GetLastTickTime();
    ASSERT_EQ(proxy.Stop(), 1);
    EXPECT_EQ(engine.GetMetronome().GetPendingCount(), 0);
    RunTicks(200); // stopped ticks do not click
    EXPECT_EQ(Take(stopped), (std::vector<SClick>{{1, 0x89, 50, 127}}));
}

TEST_F(MetronomeTest, ParametersReadBackAndTheOutputFollowsItsAddress)
{
    EXPECT_EQ(proxy.GetNodeParameter(kMetronomeAddress, M::kActive), 1);
    const std::vector<intptr_t> values = {76, 120, 9, 77, 90, 9};
    for (int32_t code = M::kBarKey; code <= M::kBeatChannel; ++code)
        EXPECT_EQ(proxy.GetNodeParameter(kMetronomeAddress, code),
                  values[static_cast<size_t>(code - M::kBarKey)]);
    const auto* stored = reinterpret_cast<const CNodeAddress*>(
        proxy.GetNodeParameter(kMetronomeAddress, M::kOutput));
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(*stored, (CNodeAddress{2, 0}));
    EXPECT_EQ(proxy.GetNodeParameter(kMetronomeAddress, 9), -1);
    EXPECT_EQ(proxy.SetNodeParameter(kMetronomeAddress, 9, 1), 0);
    EXPECT_EQ(proxy.SetNodeParameter(kMetronomeAddress, 0, 1), 0);

    // Through a port it plays where the port is routed; an address of nothing disconnects it.
    SetOutput({3, 0});
    EXPECT_EQ(engine.GetMetronome().GetFirstOutput(), engine.GetDevices().GetOutputPort(0));
    SetOutput({2, 7});
    EXPECT_EQ(engine.GetMetronome().GetFirstOutput(), nullptr);
    EXPECT_EQ(*stored, (CNodeAddress{2, 7})); // kept for the settings even so
    ASSERT_EQ(proxy.Play(), 1);
    RunTicks(10);
    EXPECT_TRUE(backend.GetSent(0).empty());
}

} // namespace
