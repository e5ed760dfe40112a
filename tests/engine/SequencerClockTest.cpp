#include "EngineFixture.h"

#include "engine/SequencerClock.h"

#include <random>
#include <vector>

namespace {

constexpr CNodeAddress kClock{9, 0};
using C = CSequencerClock;

class SequencerClockTest : public EngineFixture {
protected:
    void SetUp() override { InitialiseWithOutput(); }

    // Real-time bytes sent to output 0, with their stamps.
    std::vector<SMidiOutRecord> Sent() const { return backend.GetSent(0); }
};

TEST_F(SequencerClockTest, TempoKeepsWholeBeatsAndComputesThePeriod)
{
    const CSequencerClock& clock = engine.GetClock();
    EXPECT_EQ(clock.GetTickPeriod(), 52083);
    EXPECT_EQ(proxy.SetTempo(12050), 1);
    EXPECT_EQ(clock.GetTempo(), 120.0);
    EXPECT_EQ(clock.GetTickPeriod(), 51867);
    EXPECT_EQ(proxy.SetTempo(12000), 1);
    EXPECT_EQ(clock.GetTickPeriod(), 52083);
    EXPECT_EQ(proxy.SetTempo(0), 1); // ignored
    EXPECT_EQ(clock.GetTickPeriod(), 52083);
    EXPECT_EQ(proxy.SetTempo(-500), 0); // refused, nothing changes
    EXPECT_EQ(clock.GetTickPeriod(), 52083);
    // The tempo is a value: a drain delivers the latest one.
    EXPECT_EQ(DrainTransport(), (std::vector<std::pair<int32_t, int32_t>>{{1, 12000}}));
}

TEST_F(SequencerClockTest, QuarterNoteTakesNinetySixTicksStampedOnePeriodApart)
{
    // Timing clock on every fourth tick shows where each tick was handed over.
    ASSERT_EQ(proxy.SetNodeParameter({2, 0}, 1, 1), 1); // clock-send on driver 0
    ASSERT_EQ(proxy.Play(), 1);
    ASSERT_EQ(proxy.SetNodeParameter(kClock, C::kClockOut, 1), 1); // after the Start message
    const int64_t start = engine.GetClock().GetLastTickTime();
    RunTicks(96);
    EXPECT_EQ(engine.GetPosition(), 96);
    EXPECT_EQ(engine.GetClock().GetLastTickTime(), start + 96 * 52083);
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 24u); // 24 pulses per quarter
    for (size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].bytes[0], 0xF8);
        EXPECT_EQ(sent[i].time, start + static_cast<int64_t>(4 * i + 1) * 52083) << i;
    }
}

TEST_F(SequencerClockTest, FirstPassAfterInitialiseOnlyCoversTheLookAhead)
{
    ASSERT_EQ(proxy.Play(), 1);
    engine.ClockPass(backend.GetMasterTime()); // the time of command 0
    EXPECT_EQ(engine.GetPosition(), 1);        // 6 ms of look-ahead is one tick at 120 BPM
}

TEST_F(SequencerClockTest, LongStallGoesOnFromNowInsteadOfABurst)
{
    ASSERT_EQ(proxy.Play(), 1);
    RunTicks(10);
    // A minute without a pass (a suspended machine): one tick, stamped at the present.
    backend.SetTime(backend.GetMasterTime() + 600000000);
    engine.ClockPass(backend.GetMasterTime());
    EXPECT_EQ(engine.GetPosition(), 11);
    EXPECT_EQ(engine.GetClock().GetLastTickTime(), backend.GetMasterTime() + C::kLookAhead);
    // A short hiccup is still caught up tick by tick.
    RunTicks(30);
    EXPECT_EQ(engine.GetPosition(), 41);
}

TEST_F(SequencerClockTest, EveryTempoPlaysTheTicksItsPeriodsAllow)
{
    // Passes about every 2 ms for one minute; a tick longer than the stall cap still waits its
    // whole period instead of playing every two seconds.
    std::mt19937 random(7);
    for (const int32_t tempo : {2, 10, 31, 32, 100, 1000, 6000, 12000, 30000}) {
        ASSERT_EQ(proxy.Stop(), 1);
        ASSERT_EQ(proxy.Stop(), 1); // back to 0
        ASSERT_EQ(proxy.SetTempo(tempo), 1);
        const int64_t period = engine.GetClock().GetTickPeriod();
        ASSERT_EQ(proxy.Play(), 1);
        // The first pass may find the stopped clock a long tick behind and go on from now.
        int64_t now = backend.GetMasterTime();
        engine.ClockPass(now);
        const int64_t last = engine.GetClock().GetLastTickTime();
        const tick first = engine.GetPosition();
        for (const int64_t end = now + 600000000; now < end;) {
            now += 15000 + static_cast<int64_t>(random() % 10000);
            backend.SetTime(now);
            engine.ClockPass(now);
        }
        EXPECT_EQ(engine.GetPosition(), first + (now + kLookAhead - last) / period) << tempo;
    }
}

TEST_F(SequencerClockTest, PlaybackStopsAtTheLastTick)
{
    ASSERT_EQ(proxy.SetNodeParameter({2, 0}, 1, 1), 1); // clock-send on driver 0
    ASSERT_EQ(proxy.SetNodeParameter(kClock, C::kClockOut, 1), 1);
    ASSERT_EQ(proxy.Locate(C::kLastTick - 1), 1);
    ASSERT_EQ(proxy.Play(), 1);
    RunTicks(3);
    EXPECT_FALSE(engine.IsPlaying());
    EXPECT_EQ(engine.GetPosition(), C::kLastTick);
    // Stopped, the real-time counter runs on past its largest value, pulsing every fourth tick.
    RunTicks(12);
    EXPECT_EQ(engine.GetPosition(), C::kLastTick);
    EXPECT_GE(engine.GetClock().GetRealtimeCounter(), 0);
    std::vector<int64_t> pulses;
    for (const SMidiOutRecord& m : Sent()) {
        if (m.bytes[0] == 0xF8) pulses.push_back(m.time);
    }
    ASSERT_EQ(pulses.size(), 3u); // counters 0, 4 and 8 after the wrap
    for (size_t i = 1; i < pulses.size(); ++i)
        EXPECT_NEAR(pulses[i] - pulses[i - 1], 4 * kPeriod, 1);
    ASSERT_EQ(proxy.Play(), 1);
    RunTicks(2);
    EXPECT_FALSE(engine.IsPlaying());
    EXPECT_EQ(engine.GetPosition(), C::kLastTick);
}

TEST_F(SequencerClockTest, LoopWrapsFromTheTickBeforeLoopEndToLoopStart)
{
    ASSERT_EQ(proxy.SetLoop(true, 0, 384), 1);
    ASSERT_EQ(proxy.Locate(380), 1);
    ASSERT_EQ(proxy.Play(), 1);
    std::vector<tick> positions;
    for (int i = 0; i < 6; ++i) {
        RunTicks(1);
        positions.push_back(engine.GetPosition());
    }
    EXPECT_EQ(positions, (std::vector<tick>{381, 382, 383, 0, 1, 2}));

    // Crossing the loop end inside one pass: 380..383, then 0..5.
    ASSERT_EQ(proxy.Locate(380), 1);
    RunTicks(10);
    EXPECT_EQ(engine.GetPosition(), 6);
}

TEST_F(SequencerClockTest, PositionOutsideOrDisabledLoopPlaysOn)
{
    ASSERT_EQ(proxy.SetLoop(true, 0, 384), 1);
    ASSERT_EQ(proxy.Locate(400), 1);
    ASSERT_EQ(proxy.Play(), 1);
    RunTicks(10);
    EXPECT_EQ(engine.GetPosition(), 410); // started past the loop end

    ASSERT_EQ(proxy.SetLoop(true, 384, 384), 1); // start not before end: no wrap
    ASSERT_EQ(proxy.Locate(380), 1);
    RunTicks(10);
    EXPECT_EQ(engine.GetPosition(), 390);

    ASSERT_EQ(proxy.SetLoop(false, 0, 384), 1);
    ASSERT_EQ(proxy.Locate(380), 1);
    RunTicks(10);
    EXPECT_EQ(engine.GetPosition(), 390);
}

TEST_F(SequencerClockTest, StoppedPassesKeepThePositionButHandOverTime)
{
    ASSERT_EQ(proxy.Locate(200), 1);
    const int64_t start = engine.GetClock().GetLastTickTime();
    RunTicks(50);
    EXPECT_EQ(engine.GetPosition(), 200);
    EXPECT_EQ(engine.GetClock().GetLastTickTime(), start + 50 * 52083);
    EXPECT_FALSE(engine.IsPlaying());
}

TEST_F(SequencerClockTest, StopWhileStoppedReturnsToLoopStartThenToZero)
{
    ASSERT_EQ(proxy.SetNodeParameter(kClock, C::kLoopStart, 384), 1);
    ASSERT_EQ(proxy.Locate(500), 1);
    ASSERT_EQ(proxy.Stop(), 1);
    EXPECT_EQ(engine.GetPosition(), 384); // loop start lies before the position
    ASSERT_EQ(proxy.Stop(), 1);
    EXPECT_EQ(engine.GetPosition(), 0); // loop start is not before the position
    ASSERT_EQ(proxy.SetNodeParameter(kClock, C::kLoopStart, 600), 1);
    ASSERT_EQ(proxy.Locate(500), 1);
    ASSERT_EQ(proxy.Stop(), 1);
    EXPECT_EQ(engine.GetPosition(), 0); // loop start after the position

    int32_t posted = -1;
    EXPECT_TRUE(proxy.GetMailbox().TakePosition(posted));
    EXPECT_EQ(posted, 0);
}

TEST_F(SequencerClockTest, StartAndStopPostPlayStateAndPosition)
{
    ASSERT_EQ(proxy.Locate(96), 1);
    int32_t posted = -1;
    ASSERT_TRUE(proxy.GetMailbox().TakePosition(posted));
    EXPECT_EQ(posted, 96);
    ASSERT_EQ(proxy.Play(), 1);
    ASSERT_EQ(proxy.Play(), 1); // already playing: nothing more is posted
    RunTicks(4);
    ASSERT_TRUE(proxy.GetMailbox().TakePosition(posted));
    EXPECT_EQ(posted, 96); // posted before the pass's ticks
    ASSERT_EQ(proxy.Stop(), 1);
    EXPECT_FALSE(engine.IsPlaying());
    EXPECT_EQ(engine.GetPosition(), 100); // stopping while playing does not move
    ASSERT_TRUE(proxy.GetMailbox().TakePosition(posted));
    EXPECT_EQ(posted, 100);
    EXPECT_EQ(DrainTransport(), (std::vector<std::pair<int32_t, int32_t>>{{6, 1}, {6, 0}}));
}

TEST_F(SequencerClockTest, LocateWhilePlayingIsPostedByTheNextPass)
{
    ASSERT_EQ(proxy.Play(), 1);
    RunTicks(5);
    int32_t posted = -1;
    ASSERT_TRUE(proxy.GetMailbox().TakePosition(posted));
    ASSERT_EQ(proxy.Locate(1000), 1);
    EXPECT_EQ(engine.GetPosition(), 1000);
    EXPECT_FALSE(proxy.GetMailbox().TakePosition(posted));
    RunTicks(3);
    ASSERT_TRUE(proxy.GetMailbox().TakePosition(posted));
    EXPECT_EQ(posted, 1000);
    EXPECT_EQ(engine.GetPosition(), 1003);
}

TEST_F(SequencerClockTest, TempoChangeWhilePlayingStepsOnFromTheLastTick)
{
    ASSERT_EQ(proxy.Play(), 1);
    RunTicks(10);
    const int64_t last = engine.GetClock().GetLastTickTime();
    ASSERT_EQ(proxy.SetTempo(6000), 1); // 60 BPM: twice the period
    EXPECT_EQ(engine.GetClock().GetTickPeriod(), 104166);
    EXPECT_EQ(engine.GetClock().GetLastTickTime(), last);
    // Just short of the next tick at the new period: nothing plays yet.
    backend.SetTime(last + 104166 - kLookAhead - 1);
    engine.ClockPass(backend.GetMasterTime());
    EXPECT_EQ(engine.GetPosition(), 10);
    backend.SetTime(last + 3 * 104166 - kLookAhead);
    engine.ClockPass(backend.GetMasterTime());
    EXPECT_EQ(engine.GetPosition(), 13);
    EXPECT_EQ(engine.GetClock().GetLastTickTime(), last + 3 * 104166);
}

TEST_F(SequencerClockTest, ClockOutSendsStartStopAndSongPositions)
{
    ASSERT_EQ(proxy.SetNodeParameter({2, 0}, 1, 1), 1);
    ASSERT_EQ(proxy.SetNodeParameter(kClock, C::kClockOut, 1), 1);
    ASSERT_EQ(proxy.SetNodeParameter(kClock, C::kSendClockWhenStopped, 0), 1);
    auto statuses = [&] {
        RunTicks(1);
        std::vector<std::vector<uint8_t>> result;
        for (const SMidiOutRecord& r : Sent())
            result.push_back(std::vector<uint8_t>(r.bytes.begin(), r.bytes.begin() + r.length));
        backend.ClearSent();
        return result;
    };
    using Bytes = std::vector<std::vector<uint8_t>>;
    ASSERT_EQ(proxy.Locate(100), 1); // stopped: the song position alone
    EXPECT_EQ(statuses(), (Bytes{{0xF2, 4, 0}}));
    ASSERT_EQ(proxy.Play(), 1); // not at 0: Continue
    EXPECT_EQ(statuses(), (Bytes{{0xFB}, {0xF8}}));
    ASSERT_EQ(proxy.Locate(100), 1); // playing: Stop, position, Continue
    EXPECT_EQ(statuses(), (Bytes{{0xFC}, {0xF2, 4, 0}, {0xFB}, {0xF8}}));
    ASSERT_EQ(proxy.Locate(0), 1); // playing at 0: Stop, Start
    EXPECT_EQ(statuses(), (Bytes{{0xFC}, {0xFA}, {0xF8}}));
    ASSERT_EQ(proxy.Stop(), 1);
    EXPECT_EQ(statuses(), (Bytes{{0xFC}})); // and no clock while stopped
}

TEST_F(SequencerClockTest, ParametersReadBackAndUnknownCodesAnswerMinusOne)
{
    ASSERT_EQ(proxy.SetLoop(true, 96, 480), 1);
    ASSERT_EQ(proxy.SetNodeParameter(kClock, C::kInternalClock, 0), 1);
    ASSERT_EQ(proxy.SetNodeParameter(kClock, C::kClockInDriver, 0), 1);
    EXPECT_EQ(proxy.GetNodeParameter(kClock, C::kLoopActive), 1);
    EXPECT_EQ(proxy.GetNodeParameter(kClock, C::kLoopStart), 96);
    EXPECT_EQ(proxy.GetNodeParameter(kClock, C::kLoopEnd), 480);
    EXPECT_EQ(proxy.GetNodeParameter(kClock, C::kInternalClock), 0);
    EXPECT_EQ(proxy.GetNodeParameter(kClock, C::kClockInDriver), 0);
    EXPECT_EQ(proxy.GetNodeParameter(kClock, C::kSendSongPosition), 1);
    EXPECT_EQ(proxy.GetNodeParameter(kClock, C::kTempo), -1);
    EXPECT_EQ(proxy.GetNodeParameter(kClock, C::kFollowStart), -1);
    EXPECT_EQ(proxy.SetNodeParameter(kClock, 14, 1), 0);

    // Following MIDI clock, a playing transport waits for pulses.
    ASSERT_EQ(proxy.Play(), 1);
    RunTicks(10);
    EXPECT_EQ(engine.GetPosition(), 0);
}

} // namespace
