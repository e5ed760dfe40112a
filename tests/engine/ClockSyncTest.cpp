#include "EngineFixture.h"

#include "engine/Metronome.h"
#include "engine/SequencerClock.h"

#include <random>
#include <utility>
#include <vector>

namespace {

constexpr CNodeAddress kClock{9, 0};
constexpr CNodeAddress kMetronomeAddress{8, 0};
constexpr int64_t kPerMs = 10000; // master-clock units per millisecond
using C = CSequencerClock;
using Bytes = std::vector<std::vector<uint8_t>>;

class ClockSyncTest : public EngineFixture {
protected:
    void SetUp() override
    {
        InitialiseWithOutput();
        ASSERT_EQ(proxy.OpenOutputDriver(1), 1);
        ASSERT_EQ(proxy.OpenInputDriver(0), 1);
    }

    void Follow()
    {
        ASSERT_EQ(proxy.SetNodeParameter(kClock, C::kClockInDriver, 0), 1);
        ASSERT_EQ(proxy.SetNodeParameter(kClock, C::kInternalClock, 0), 1);
    }
    void ClockOut(bool whenStopped)
    {
        ASSERT_EQ(proxy.SetNodeParameter({2, 0}, CMidiOutDriver::kParamClockSend, 1), 1);
        ASSERT_EQ(proxy.SetNodeParameter(kClock, C::kClockOut, 1), 1);
        ASSERT_EQ(proxy.SetNodeParameter(kClock, C::kSendClockWhenStopped, whenStopped), 1);
    }
    // Bytes arriving on input 0 at master time ms (stamped ms), polled at once.
    void Receive(std::vector<uint8_t> bytes, int64_t ms, int32_t stamp)
    {
        backend.SetTime(ms * kPerMs);
        ASSERT_TRUE(backend.InjectInput(0, bytes, stamp));
        engine.PollInputs();
    }
    void Receive(std::vector<uint8_t> bytes, int64_t ms)
    {
        Receive(std::move(bytes), ms, static_cast<int32_t>(ms));
    }
    // The time-out passes of the music thread, every 2 ms from..to.
    void PassesUntil(int64_t fromMs, int64_t toMs)
    {
        for (int64_t ms = fromMs; ms <= toMs; ms += 2) {
            backend.SetTime(ms * kPerMs);
            engine.ClockPass(ms * kPerMs);
        }
    }
    // What output `index` was sent since the last call, as bytes.
    Bytes TakeSent(int32_t index = 0)
    {
        Bytes result;
        for (const SMidiOutRecord& r : backend.GetSent(index))
            result.push_back(std::vector<uint8_t>(r.bytes.begin(), r.bytes.begin() + r.length));
        backend.ClearSent();
        return result;
    }
    const CClockInTracker& Tracker() { return engine.GetClock().GetClockInTracker(); }
};

TEST_F(ClockSyncTest, PulseSpacingGivesTheTempoWithinTwentyToTwoHundredFiftyFive)
{
    Follow();
    struct SCase {
        int32_t spacingMs;
        double estimate;
        int64_t period; // 100 ns
    };
    const SCase cases[] = {{20, 125.0, 50000},
                           {10, 250.0, 25000},
                           {8, 255.0, 24509},
                           {200, 20.0, 312500},
                           {21, 2500.0 / 21, 52503}};
    int64_t ms = 2000;
    for (const SCase& c : cases) {
        ASSERT_EQ(proxy.SetNodeParameter(kClock, C::kClockInDriver, 0), 1); // forget the last
        Receive({0xF8}, ms);
        EXPECT_EQ(Tracker().tempoEstimate, 0) << c.spacingMs; // one pulse has no interval
        Receive({0xF8}, ms + c.spacingMs);
        EXPECT_DOUBLE_EQ(Tracker().tempoEstimate, c.estimate) << c.spacingMs;
        EXPECT_EQ(engine.GetClock().GetTickPeriod(), c.period) << c.spacingMs;
        ms += 3000;
    }
    // A pulse not later than the last one only moves the last pulse time.
    Receive({0xF8}, ms, 500);
    EXPECT_EQ(Tracker().lastPulseMs, 500);
    EXPECT_DOUBLE_EQ(Tracker().tempoEstimate, 2500.0 / 21);
}

TEST_F(ClockSyncTest, TransportMessagesObeyTheFollowSettings)
{
    // Nothing is followed with the internal clock or from another driver.
    Receive({0xF2, 3, 1}, 1000);
    EXPECT_EQ(engine.GetPosition(), 0);
    ASSERT_EQ(proxy.SetNodeParameter(kClock, C::kClockInDriver, 5), 1);
    ASSERT_EQ(proxy.SetNodeParameter(kClock, C::kInternalClock, 0), 1);
    Receive({0xF2, 3, 1, 0xFA}, 1001);
    EXPECT_EQ(engine.GetPosition(), 0);
    EXPECT_FALSE(engine.IsPlaying());

    Follow();
    Receive({0xF2, 3, 1}, 1002); // 3 × 24 + 1 × 3072
    EXPECT_EQ(engine.GetPosition(), 3144);
    ASSERT_EQ(proxy.SetNodeParameter(kClock, C::kIgnoreSongPosition, 1), 1);
    Receive({0xF2, 5, 0}, 1003);
    EXPECT_EQ(engine.GetPosition(), 3144);
    ASSERT_EQ(proxy.SetNodeParameter(kClock, C::kIgnoreSongPosition, 0), 1);

    ASSERT_EQ(proxy.SetNodeParameter(kClock, C::kFollowStart, 0), 1);
    Receive({0xFA}, 1004);
    EXPECT_FALSE(engine.IsPlaying());
    EXPECT_EQ(engine.GetPosition(), 3144);

    Receive({0xFB}, 1005); // Continue: from here
    EXPECT_TRUE(engine.IsPlaying());
    EXPECT_EQ(engine.GetPosition(), 3144);
    EXPECT_TRUE(engine.GetClock().IsResyncPending());
    Receive({0xF8}, 1006);
    EXPECT_FALSE(engine.GetClock().IsResyncPending());
    const tick playing = engine.GetPosition();
    Receive({0xFB, 0xF2, 0, 0}, 1007); // ignored while playing
    EXPECT_EQ(engine.GetPosition(), playing);
    EXPECT_FALSE(engine.GetClock().IsResyncPending());

    Receive({0xFC}, 1008);
    EXPECT_FALSE(engine.IsPlaying());
    EXPECT_EQ(Tracker().tickDebt, 0);
    EXPECT_FALSE(Tracker().pulseSeen);

    ASSERT_EQ(proxy.SetNodeParameter(kClock, C::kFollowStart, 1), 1);
    Receive({0xFA}, 1009); // Start: from the top
    EXPECT_TRUE(engine.IsPlaying());
    EXPECT_EQ(engine.GetPosition(), 0);
    EXPECT_EQ(Tracker().tempoEstimate, engine.GetClock().GetTempo());
}

TEST_F(ClockSyncTest, FollowedClockStopsAtTheLastTick)
{
    Follow();
    Receive({0xF8}, 1000);
    ASSERT_EQ(proxy.Locate(C::kLastTick - 2), 1);
    Receive({0xFB}, 1010);
    for (int64_t ms = 1020; ms <= 1100; ms += 20)
        Receive({0xF8}, ms);
    EXPECT_FALSE(engine.IsPlaying());
    EXPECT_EQ(engine.GetPosition(), C::kLastTick);
}

TEST_F(ClockSyncTest, SlaveWithoutClockStandsStill)
{
    Follow();
    Receive({0xFA}, 1000);
    PassesUntil(1000, 3000);
    EXPECT_TRUE(engine.IsPlaying());
    EXPECT_EQ(engine.GetPosition(), 0);
}

// A run of pulses as a master sends them: the master-clock time each arrives at and its stamp.
struct SPulse {
    int64_t arrivalMs;
    int32_t stampMs;
};

// Plays the pulses after a Start, with time-out passes between them, and checks that the song
// advances 4 ticks per counted pulse and plays every tick once, in time order (the metronome
// clicks every 96 ticks exactly once, at increasing stamps).
void CheckFollows(CVirtualBackend& backend, CMidiEngine& engine, const std::vector<SPulse>& pulses,
                  int32_t uncounted)
{
    const int64_t pulsesBefore = engine.GetClock().GetFollowedPulseCount();
    const int64_t startMs = pulses.front().arrivalMs - 20;
    backend.SetTime(startMs * kPerMs);
    engine.ClockPass(startMs * kPerMs);
    backend.ClearSent();
    ASSERT_TRUE(backend.InjectInput(0, {0xFA}, static_cast<int32_t>(startMs)));
    engine.PollInputs();
    tick last = engine.GetPosition();
    int64_t passMs = startMs;
    for (const SPulse& pulse : pulses) {
        for (; passMs + 2 < pulse.arrivalMs; passMs += 2) {
            backend.SetTime((passMs + 2) * kPerMs);
            engine.ClockPass((passMs + 2) * kPerMs);
        }
        backend.SetTime(pulse.arrivalMs * kPerMs);
        ASSERT_TRUE(backend.InjectInput(0, {0xF8}, pulse.stampMs));
        engine.PollInputs();
        ASSERT_GE(engine.GetPosition(), last);
        last = engine.GetPosition();
    }
    EXPECT_EQ(engine.GetClock().GetFollowedPulseCount() - pulsesBefore,
              static_cast<int64_t>(pulses.size()));
    const int32_t counted = static_cast<int32_t>(pulses.size()) - uncounted;
    EXPECT_NEAR(engine.GetPosition(), 4 * counted, 4);

    std::vector<int64_t> clicks;
    for (const SMidiOutRecord& r : backend.GetSent(1)) {
        if ((r.bytes[0] & 0xF0) == 0x90) clicks.push_back(r.time);
    }
    EXPECT_EQ(static_cast<tick>(clicks.size()), engine.GetPosition() / 96 + 1);
    for (size_t i = 1; i < clicks.size(); ++i)
        EXPECT_LT(clicks[i - 1], clicks[i]) << i;
}

class ClockFollowTest : public ClockSyncTest {
protected:
    void SetUp() override
    {
        ClockSyncTest::SetUp();
        Follow();
        const CNodeAddress out{2, 1};
        ASSERT_EQ(proxy.SetNodeParameter(kMetronomeAddress, CMetronome::kOutput,
                                         reinterpret_cast<intptr_t>(&out)),
                  1);
        ASSERT_EQ(proxy.SetNodeParameter(kMetronomeAddress, CMetronome::kActive, 1), 1);
    }
    // count pulses every spacing ms from fromMs, arriving when stamped.
    static void Steady(std::vector<SPulse>& pulses, int64_t fromMs, int32_t count,
                       int32_t spacing = 20)
    {
        for (int32_t i = 0; i < count; ++i) {
            const int64_t ms = fromMs + int64_t{i} * spacing;
            pulses.push_back({ms, static_cast<int32_t>(ms)});
        }
    }
};

TEST_F(ClockFollowTest, SteadyClockAdvancesFourTicksPerPulse)
{
    std::vector<SPulse> pulses;
    Steady(pulses, 2000, 200);
    // The first pulse after Start has no interval before it (the master sent no clock while
    // stopped), so it announces nothing: playback waits for the clock.
    CheckFollows(backend, engine, pulses, 1);
}

TEST_F(ClockFollowTest, ClockWhileStoppedKeepsThePaceAndStartPlaysFromTheFirstPulse)
{
    std::vector<SPulse> pulses;
    // Pulses before the Start are counted while stopped; after it every pulse counts.
    Steady(pulses, 1500, 10);
    for (const SPulse& pulse : pulses) {
        backend.SetTime(pulse.arrivalMs * kPerMs);
        engine.ClockPass(pulse.arrivalMs * kPerMs);
        ASSERT_TRUE(backend.InjectInput(0, {0xF8}, pulse.stampMs));
        engine.PollInputs();
    }
    EXPECT_EQ(engine.GetPosition(), 0);
    EXPECT_GT(Tracker().tickDebt, -4);
    EXPECT_LT(Tracker().tickDebt, 8);
    std::vector<SPulse> after;
    Steady(after, 1700, 100);
    CheckFollows(backend, engine, after, 0);
}

TEST_F(ClockFollowTest, BurstsOfLatePulsesAreCaughtUp)
{
    // The stamps are 20 ms apart but the pulses arrive three at a time: behind, then caught up.
    std::vector<SPulse> pulses;
    for (int32_t i = 0; i < 150; ++i) {
        const int32_t stamp = 2000 + 20 * i;
        pulses.push_back({2000 + 60 * (i / 3) + 40, stamp});
    }
    Steady(pulses, 2000 + 20 * 150, 3); // and a steady end, after which the debt is paid
    CheckFollows(backend, engine, pulses, 1);
}

TEST_F(ClockFollowTest, SlowerAndHaltingClockIsWaitedFor)
{
    std::vector<SPulse> pulses;
    Steady(pulses, 2000, 50);
    // Slows to a third for a while: the passes owe more time than the pulses announce.
    Steady(pulses, 3000, 30, 60);
    // A pause just under a second: the clock does not run off without it.
    Steady(pulses, 3000 + 30 * 60 + 900, 50);
    CheckFollows(backend, engine, pulses, 1);
}

TEST_F(ClockFollowTest, GapOfOverASecondForgetsTheClockWithoutABurst)
{
    std::vector<SPulse> pulses;
    Steady(pulses, 2000, 50);
    // 1.2 s of silence: the pulse that ends it starts the tracker over, the next has no interval.
    Steady(pulses, 2000 + 49 * 20 + 1200, 50);
    CheckFollows(backend, engine, pulses, 3);
    EXPECT_DOUBLE_EQ(Tracker().tempoEstimate, 125.0);
}

TEST_F(ClockFollowTest, JitteredClockStaysInStep)
{
    std::mt19937 random(4242);
    std::uniform_int_distribution<int32_t> jitter(-2, 2);
    std::vector<SPulse> pulses;
    for (int32_t i = 0; i < 600; ++i) {
        const int64_t ms = 2000 + 20 * int64_t{i} + jitter(random);
        pulses.push_back({ms, static_cast<int32_t>(ms)});
    }
    CheckFollows(backend, engine, pulses, 1);
}

TEST_F(ClockSyncTest, ClockOutSpacingAndSongPositionLimits)
{
    ClockOut(true);
    // Stopped with clock-when-stopped: a pulse every 4 ticks of the real-time counter.
    RunTicks(12);
    EXPECT_EQ(TakeSent(), (Bytes{{0xF8}, {0xF8}, {0xF8}}));
    ASSERT_EQ(proxy.SetNodeParameter(kClock, C::kSendClockWhenStopped, 0), 1);
    RunTicks(12);
    EXPECT_EQ(TakeSent(), Bytes{});

    // Only open drivers with the flag get clock.
    EXPECT_EQ(backend.GetSent(1).size(), 0u);

    // The largest song position that fits, and the first one that does not.
    ASSERT_EQ(proxy.Locate(0x3FFF * 24 + 23), 1);
    RunTicks(1);
    EXPECT_EQ(TakeSent(), (Bytes{{0xF2, 0x7F, 0x7F}}));
    ASSERT_EQ(proxy.Locate(0x4000 * 24), 1);
    RunTicks(1);
    EXPECT_EQ(TakeSent(), Bytes{});
    ASSERT_EQ(proxy.SetNodeParameter(kClock, C::kSendSongPosition, 0), 1);
    ASSERT_EQ(proxy.Locate(96), 1);
    RunTicks(1);
    EXPECT_EQ(TakeSent(), Bytes{});
    ASSERT_EQ(proxy.SetNodeParameter(kClock, C::kSendSongPosition, 1), 1);

    // The loop jump is a locate: Stop, song position, Continue, then the clock goes on from the
    // loop start's count.
    ASSERT_EQ(proxy.SetLoop(true, 96, 104), 1);
    ASSERT_EQ(proxy.Locate(100), 1); // its song position leaves with the first tick
    ASSERT_EQ(proxy.Play(), 1);
    RunTicks(8);
    EXPECT_EQ(TakeSent(), (Bytes{{0xF2, 4, 0}, {0xFB}, {0xF8}, {0xFC}, {0xF2, 4, 0}, {0xFB}, {0xF8}}));
    EXPECT_EQ(engine.GetPosition(), 100);

    // A Stop queued right before the device closes still reaches it.
    ASSERT_EQ(proxy.Stop(), 1);
    ASSERT_EQ(proxy.CloseOutputDriver(0), 1);
    EXPECT_EQ(TakeSent(), (Bytes{{0xFC}}));
}

} // namespace
