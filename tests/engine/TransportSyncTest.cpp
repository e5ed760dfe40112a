// The clock under a shared transport, on a transport that behaves as JACK's does: requests take
// effect at the next cycle's start, a rolling transport moves by the cycle's frames, a timebase
// master publishes bars and tempo. The metronome clicks on every beat, so the stamps of its
// clicks show where the clock put each beat.

#include "EngineFixture.h"

#include "devices/TransportPosition.h"
#include "engine/DeviceSettings.h"
#include "engine/Metronome.h"
#include "engine/SequencerClock.h"
#include "model/Profile.h"

#include <cmath>
#include <limits>
#include <optional>
#include <random>

namespace {

using C = CSequencerClock;
constexpr uint32_t kRate = 48000;
constexpr int64_t kCycleFrames = 256;
constexpr int64_t kUnits = 10000000; // master-clock units per second
constexpr int64_t kFrameUnits = kUnits / kRate + 1; // one frame, rounded up

class CFakeTransport : public CBackendTransport {
public:
    bool Read(STransportSnapshot& s) const override
    {
        s = m_now;
        return m_now.cycle != 0;
    }
    void RequestStart() override { m_start = true; }
    void RequestStop() override { m_stop = true; }
    void RequestLocate(int64_t frame) override
    {
        m_locate = frame;
        locates.push_back(frame);
    }
    void Publish(const STimebase& timebase) override { published = timebase; }
    int SetLeading(bool lead, std::string& error) override
    {
        if (lead && otherMaster) {
            error = "taken";
            return 0;
        }
        m_leading = lead;
        return 1;
    }
    bool IsLeading() const override { return m_leading; }

    // One cycle of the server starting at our frame cycleFrame: requests first, then the move.
    void Cycle(int64_t cycleFrame)
    {
        if (m_now.cycle != 0 && m_now.rolling) m_now.frame += cycleFrame - m_now.cycleFrame;
        if (m_locate) m_now.frame = *m_locate;
        if (m_start) m_now.rolling = true;
        if (m_stop) m_now.rolling = false;
        m_locate.reset();
        m_start = m_stop = false;
        ++m_now.cycle;
        m_now.cycleFrame = cycleFrame;
        m_now.cycleTime = cycleFrame * kUnits / kRate;
        m_now.rate = kRate;
        if (master) {
            // A master of its own tempo and bars: 3/4 at master, from frame 0.
            const transportpos::SBbt bbt = transportpos::BbtOfFrame(m_now.frame, kRate, *master);
            m_now.hasBbt = true;
            m_now.bar = bbt.bar;
            m_now.beat = bbt.beat;
            m_now.tick = bbt.tick;
            m_now.ticksPerBeat = transportpos::kPublishedTicksPerBeat;
            m_now.beatsPerBar = static_cast<float>(master->beatsPerBar);
            m_now.beatType = static_cast<float>(master->beatType);
            m_now.beatsPerMinute = bbt.beatsPerMinute;
        }
    }
    const STransportSnapshot& Now() const { return m_now; }
    STransportSnapshot& Edit() { return m_now; } // what another program publishes

    std::optional<STimebase> master; // another program publishes bars and tempo
    bool otherMaster = false;
    STimebase published;
    std::vector<int64_t> locates;

private:
    STransportSnapshot m_now;
    bool m_start = false;
    bool m_stop = false;
    std::optional<int64_t> m_locate;
    bool m_leading = false;
};

class CTransportBackend : public CVirtualBackend {
public:
    CTransportBackend() : CVirtualBackend({"Synth A"}, {"Keys"}) {}
    CBackendTransport* GetTransport() override { return &transport; }
    CFakeTransport transport;
};

class TransportSyncTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        backend.SetTime(0);
        proxy.AttachEngine(&engine);
        ASSERT_EQ(proxy.Initialise(false), 1);
        ASSERT_EQ(proxy.OpenOutputDriver(0), 1);
        const CNodeAddress out{2, 0};
        proxy.SetNodeParameter(kMetronomeNode, CMetronome::kOutput,
                               reinterpret_cast<intptr_t>(&out));
        proxy.SetNodeParameter(kMetronomeNode, CMetronome::kActive, 1);
        proxy.SetTempo(12000);
    }
    void TearDown() override
    {
        proxy.ShutDown();
        proxy.Clear();
    }

    // The next cycle of the server, then the engine's passes every 2 ms until the next cycle.
    void RunCycle()
    {
        transport().Cycle(m_frame);
        const int64_t start = m_frame * kUnits / kRate;
        m_frame += kCycleFrames;
        const int64_t end = m_frame * kUnits / kRate;
        for (int64_t t = start + 10000; t < end; t += 20000) {
            backend.SetTime(t);
            engine.ClockPass(t);
        }
    }
    void RunCycles(int n)
    {
        for (int i = 0; i < n; ++i)
            RunCycle();
    }
    CFakeTransport& transport() { return backend.transport; }
    const C& clock() { return engine.GetClock(); }
    // Master-clock time at which the transport is at `frame`, from the current cycle.
    int64_t TimeOfTransportFrame(int64_t frame)
    {
        const STransportSnapshot& s = transport().Now();
        return (s.cycleFrame + frame - s.frame) * kUnits / kRate;
    }
    // Checks that every click since the last call sits on its beat's transport frame.
    void ExpectClicksOnTransportFrames(double framesPerTick, double tickAtZero, const char* what)
    {
        const std::vector<SMidiOutRecord> sent = backend.GetSent(0);
        for (size_t i = m_checked; i < sent.size(); ++i) {
            if ((sent[i].bytes[0] & 0xF0) != 0x90) continue;
            // A click stamped t is due on the frame the transport has then; the beat it stands
            // for is the one nearest to it.
            const STransportSnapshot& s = transport().Now();
            const double frame =
                static_cast<double>(sent[i].time) * kRate / kUnits - s.cycleFrame + s.frame;
            const double tick = frame / framesPerTick + tickAtZero;
            const double beat = std::round(tick / 96) * 96;
            EXPECT_NEAR((tick - beat) * framesPerTick, 0, 1.5) << what << ": click " << i;
        }
        m_checked = sent.size();
    }

    CTransportBackend backend;
    CMidiEngineProxy proxy;
    CMidiEngine engine{backend, proxy.GetMailbox()};
    int64_t m_frame = 0;
    size_t m_checked = 0;
};

} // namespace

TEST_F(TransportSyncTest, FollowsStartStopAndLocatesWithinOneCycleOnTheTransportsFrames)
{
    ASSERT_EQ(proxy.SetNodeParameter(kClockNode, C::kJackTransport, CTransportSync::kFollow), 1);
    const double perTick = transportpos::FramesPerTick(kRate, 12000);
    std::mt19937 random(27);
    std::uniform_int_distribution<int> action(0, 3);
    std::uniform_int_distribution<int64_t> where(0, 400000);
    RunCycles(2);
    for (int step = 0; step < 120; ++step) {
        // Another program starts, stops or moves the transport; we play through a few cycles.
        switch (action(random)) {
        case 0:
            transport().RequestStart();
            break;
        case 1:
            transport().RequestStop();
            break;
        default:
            transport().RequestLocate(where(random));
            break;
        }
        RunCycle();
        const STransportSnapshot& s = transport().Now();
        ASSERT_EQ(clock().IsPlaying(), s.rolling) << "step " << step;
        const int64_t expected = transportpos::TickAtOrAfter(s.frame, perTick);
        if (!s.rolling) {
            ASSERT_EQ(clock().GetPosition(), expected) << "step " << step;
            m_checked = backend.GetSent(0).size();
            continue;
        }
        // Playing, the clock is ahead of the cycle's start by what it has played since.
        ASSERT_GE(clock().GetPosition(), expected) << "step " << step;
        RunCycles(3);
        ExpectClicksOnTransportFrames(perTick, 0, "following the frames");
    }
}

TEST_F(TransportSyncTest, FollowsAMastersBarsAndTempoAndShowsItsTempo)
{
    transport().master = STimebase{9000, 3, 4}; // 90 BPM, 3/4
    ASSERT_EQ(proxy.SetNodeParameter(kClockNode, C::kJackTransport, CTransportSync::kFollow), 1);
    RunCycle();
    EXPECT_EQ(clock().GetTempoHundredths(), 9000) << "the master's tempo plays";
    CRecordingSink sink;
    proxy.GetMailbox().Drain(sink);
    EXPECT_NE(std::find(sink.transport.begin(), sink.transport.end(),
                        std::make_pair(CTransportNotification::kTempo, 9000)),
              sink.transport.end())
        << "and reaches the window";

    // Bar 3, beat 2 of 3/4: tick (2 × 3 + 1) × 96.
    const double perTick = transportpos::FramesPerTick(kRate, 9000);
    transport().RequestLocate(transportpos::FrameOfTick(7 * 96, perTick));
    RunCycle();
    EXPECT_EQ(clock().GetPosition(), 7 * 96);
    transport().RequestStart();
    m_checked = backend.GetSent(0).size();
    RunCycles(200);
    ExpectClicksOnTransportFrames(perTick, 0, "on the master's beats");
}

TEST_F(TransportSyncTest, OwnActionsAskTheTransportAndLeadPublishesTheProject)
{
    ASSERT_EQ(proxy.SetNodeParameter(kClockNode, C::kJackTransport, CTransportSync::kLead), 1);
    RunCycle();
    EXPECT_TRUE(transport().IsLeading());
    EXPECT_TRUE(engine.GetClock().GetTransportSync().GetProblem().empty());
    proxy.SetTempo(15000);
    EXPECT_EQ(transport().published.tempoHundredths, 15000);

    const double perTick = transportpos::FramesPerTick(kRate, 15000);
    proxy.Locate(960);
    EXPECT_EQ(clock().GetPosition(), 960) << "stopped, the song position moves at once";
    ASSERT_FALSE(transport().locates.empty());
    EXPECT_EQ(transport().locates.back(), transportpos::FrameOfTick(960, perTick));
    proxy.Play();
    EXPECT_FALSE(clock().IsPlaying()) << "the transport starts us, at its next cycle";
    RunCycle();
    EXPECT_TRUE(clock().IsPlaying());
    EXPECT_EQ(transport().Now().frame, transportpos::FrameOfTick(960, perTick));
    RunCycles(20);
    proxy.Stop();
    EXPECT_TRUE(clock().IsPlaying());
    RunCycle();
    EXPECT_FALSE(clock().IsPlaying());

    // Another program's locate is obeyed while leading too.
    transport().RequestLocate(transportpos::FrameOfTick(480, perTick));
    RunCycle();
    EXPECT_EQ(clock().GetPosition(), 480);
    // The bars the transport shows while we lead are ours, even when they tell another story (in
    // the cycle after another program's locate they can still be those of the old frame): the
    // frames place the song.
    transport().master = STimebase{6000, 3, 4};
    transport().RequestLocate(transportpos::FrameOfTick(720, perTick));
    RunCycle();
    EXPECT_EQ(clock().GetPosition(), 720);
    transport().master.reset();

    // Off again: the timebase goes back and the clock is ours alone.
    ASSERT_EQ(proxy.SetNodeParameter(kClockNode, C::kJackTransport, CTransportSync::kOff), 1);
    EXPECT_FALSE(transport().IsLeading());
    proxy.Play();
    EXPECT_TRUE(clock().IsPlaying());
}

TEST_F(TransportSyncTest, LeadUnderAnotherMasterFollowsItAndKeepsTheChoice)
{
    transport().otherMaster = true;
    ASSERT_EQ(proxy.SetNodeParameter(kClockNode, C::kJackTransport, CTransportSync::kLead), 1);
    EXPECT_FALSE(transport().IsLeading());
    EXPECT_FALSE(engine.GetClock().GetTransportSync().GetProblem().empty());
    EXPECT_EQ(proxy.GetNodeParameter(kClockNode, C::kJackTransport), CTransportSync::kLead);
    transport().RequestStart();
    RunCycle();
    EXPECT_TRUE(clock().IsPlaying());
}

TEST_F(TransportSyncTest, LoopJumpMovesTheTransportAndKeepsTheBeat)
{
    ASSERT_EQ(proxy.SetNodeParameter(kClockNode, C::kJackTransport, CTransportSync::kLead), 1);
    RunCycle();
    proxy.SetLoop(true, 0, 192); // two beats, 1 s at 120 BPM
    proxy.Play();
    RunCycles(400); // 2.13 s: two loops and a bit
    std::vector<int64_t> clicks;
    for (const SMidiOutRecord& r : backend.GetSent(0))
        if ((r.bytes[0] & 0xF0) == 0x90) clicks.push_back(r.time);
    // Ticks 0 and 96 of each pass: no beat is played twice or left out at the jump, and the
    // beats stay half a second apart across it.
    ASSERT_EQ(clicks.size(), 5u);
    for (size_t i = 1; i < clicks.size(); ++i)
        EXPECT_NEAR(static_cast<double>(clicks[i] - clicks[i - 1]), kUnits / 2.0, 2 * kFrameUnits)
            << "click " << i;
    EXPECT_GE(transport().locates.size(), 2u) << "the transport jumps with the loop";
    EXPECT_TRUE(clock().IsPlaying());
}

TEST_F(TransportSyncTest, AMastersNonsenseLeavesTheClockInsideItsLimits)
{
    ASSERT_EQ(proxy.SetNodeParameter(kClockNode, C::kJackTransport, CTransportSync::kFollow), 1);
    std::mt19937 random(1127);
    const double nonsense[] = {0,     -1,   1e-9, 0.5,  1,    3,    96,   1e6,
                               1e300, -1e9, std::nan(""), std::numeric_limits<double>::infinity()};
    std::uniform_int_distribution<size_t> pick(0, std::size(nonsense) - 1);
    std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
    transport().RequestStart();
    for (int step = 0; step < 400; ++step) {
        transport().Cycle(m_frame);
        STransportSnapshot& s = transport().Edit();
        s.hasBbt = true;
        s.bar = any(random);
        s.beat = any(random);
        s.tick = any(random);
        s.ticksPerBeat = nonsense[pick(random)];
        s.beatsPerBar = static_cast<float>(nonsense[pick(random)]);
        s.beatType = static_cast<float>(nonsense[pick(random)]);
        s.beatsPerMinute = nonsense[pick(random)];
        if (step % 50 == 0) s.frame = std::uniform_int_distribution<int64_t>(0, UINT32_MAX)(random);
        m_frame += kCycleFrames;
        const int64_t time = m_frame * kUnits / kRate - 10000;
        backend.SetTime(time);
        engine.ClockPass(time);
        ASSERT_GE(clock().GetPosition(), 0) << "step " << step;
        ASSERT_GT(clock().GetTickPeriod(), 0) << "step " << step;
        ASSERT_TRUE(clock().IsPlaying()) << "step " << step;
    }
}

TEST(TransportSyncSettings, StoredInTheSyncSectionAndKeptOffJack)
{
    CMemoryProfile profile;
    profile.SetInt(DeviceSettings::kSync, "JackTransport", CTransportSync::kLead);
    {
        // Off JACK the choice is refused and the stored one stays.
        CVirtualBackend backend({"Synth A"}, {});
        CMidiEngineProxy proxy;
        CMidiEngine engine(backend, proxy.GetMailbox());
        proxy.AttachEngine(&engine);
        ASSERT_EQ(StartEngineWithSettings(proxy, profile, false), 1);
        EXPECT_EQ(proxy.GetNodeParameter(kClockNode, C::kJackTransport), CTransportSync::kOff);
        EXPECT_FALSE(engine.GetClock().GetTransportSync().GetProblem().empty());
        ShutDownEngineWithSettings(proxy, profile);
        proxy.Clear();
    }
    EXPECT_EQ(profile.GetInt(DeviceSettings::kSync, "JackTransport", -1), CTransportSync::kLead);
    {
        CTransportBackend backend;
        CMidiEngineProxy proxy;
        CMidiEngine engine(backend, proxy.GetMailbox());
        proxy.AttachEngine(&engine);
        ASSERT_EQ(StartEngineWithSettings(proxy, profile, false), 1);
        EXPECT_EQ(proxy.GetNodeParameter(kClockNode, C::kJackTransport), CTransportSync::kLead);
        proxy.SetNodeParameter(kClockNode, C::kJackTransport, CTransportSync::kFollow);
        ShutDownEngineWithSettings(proxy, profile);
        proxy.Clear();
    }
    EXPECT_EQ(profile.GetInt(DeviceSettings::kSync, "JackTransport", -1), CTransportSync::kFollow);
}

TEST(TransportPosition, BarsBeatsAndTicksRoundTripThroughFrames)
{
    struct SCase {
        STimebase timebase;
        int64_t tick;
        int32_t bar, beat, publishedTick;
    };
    const SCase cases[] = {
        {{12000, 4, 4}, 0, 1, 1, 0},        {{12000, 4, 4}, 384 + 96 + 48, 2, 2, 48},
        {{9000, 3, 4}, 7 * 96, 3, 2, 0},    {{14000, 6, 8}, 6 * 48 + 24, 2, 1, 48},
        {{6050, 5, 4}, 5 * 96 * 10 + 95, 11, 1, 95},
    };
    for (const SCase& c : cases) {
        const double perTick = transportpos::FramesPerTick(kRate, c.timebase.tempoHundredths);
        const int64_t frame = transportpos::FrameOfTick(c.tick, perTick);
        EXPECT_EQ(transportpos::TickAtOrAfter(frame, perTick), c.tick);
        // A hair into the tick, so the floor of a rounded frame cannot fall into the tick before.
        const transportpos::SBbt bbt = transportpos::BbtOfFrame(frame + 1, kRate, c.timebase);
        EXPECT_EQ(bbt.bar, c.bar) << c.tick;
        EXPECT_EQ(bbt.beat, c.beat) << c.tick;
        EXPECT_EQ(bbt.tick, c.publishedTick) << c.tick;
        STransportSnapshot s;
        s.bar = bbt.bar;
        s.beat = bbt.beat;
        s.tick = bbt.tick;
        s.ticksPerBeat = transportpos::kPublishedTicksPerBeat;
        s.beatsPerBar = static_cast<float>(c.timebase.beatsPerBar);
        s.beatType = static_cast<float>(c.timebase.beatType);
        s.beatsPerMinute = bbt.beatsPerMinute;
        EXPECT_NEAR(transportpos::TickOfBbt(s), static_cast<double>(c.tick), 1.0) << c.tick;
        EXPECT_EQ(transportpos::QuarterTempoOf(s), c.timebase.tempoHundredths);
    }
}
