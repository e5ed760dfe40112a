// `play --jack-transport` on a private server, with a second client that starts, stops and
// moves the JACK transport and writes down, cycle by cycle, what the transport was.

#include "BackgroundCli.h"
#include "JackTestServer.h"
#include "devices/TransportPosition.h"
#include "files/ByteBuilder.h"
#include "files/TempFolder.h"

#include <gtest/gtest.h>

#include <jack/transport.h>

#include <atomic>
#include <cmath>
#include <iostream>
#include <mutex>

namespace {

using namespace std::chrono_literals;

// What the transport was at one cycle's start.
struct SCycle {
    int64_t cycleFrame = 0;
    bool rolling = false;
    int64_t frame = 0;
    bool bbt = false;
    int32_t bar = 0, beat = 0, tick = 0;
    double beatsPerMinute = 0, ticksPerBeat = 0;
    float beatsPerBar = 0, beatType = 0;
};

// Another program of the studio: it asks the transport to move and watches it.
class CTransportClient {
public:
    CTransportClient()
    {
        m_client = jack_client_open("twtransport", JackNoStartServer, nullptr);
        if (m_client == nullptr) return;
        m_ring = jack_ringbuffer_create(sizeof(SCycle) * 8192);
        jack_set_process_callback(m_client, Process, this);
        jack_activate(m_client);
    }
    ~CTransportClient()
    {
        if (m_client != nullptr) jack_client_close(m_client);
        if (m_ring != nullptr) jack_ringbuffer_free(m_ring);
    }
    bool IsOpen() const { return m_client != nullptr; }
    // Each request returns the start of the last cycle this client saw before it: a cycle that
    // obeys it starts later. (jack_frame_time would guess from the wall clock, and a server that
    // falls behind on a loaded machine runs its cycles later than that guess.)
    int64_t Start()
    {
        const int64_t asked = Asked();
        jack_transport_start(m_client);
        return asked;
    }
    int64_t Stop()
    {
        const int64_t asked = Asked();
        jack_transport_stop(m_client);
        return asked;
    }
    int64_t Locate(int64_t frame)
    {
        const int64_t asked = Asked();
        jack_transport_locate(m_client, static_cast<jack_nframes_t>(frame));
        return asked;
    }
    // Every cycle seen so far.
    const std::vector<SCycle>& Cycles()
    {
        SCycle c;
        while (jack_ringbuffer_read(m_ring, reinterpret_cast<char*>(&c), sizeof c) == sizeof c)
            m_cycles.push_back(c);
        return m_cycles;
    }
    // The first cycle from frame `after` on that matches, waiting up to timeout for it.
    std::optional<SCycle> WaitForCycle(int64_t after, const std::function<bool(const SCycle&)>& is,
                                       std::chrono::milliseconds timeout)
    {
        std::optional<SCycle> found;
        WaitUntil(
            [&] {
                for (const SCycle& c : Cycles())
                    if (c.cycleFrame >= after && is(c)) return (found = c).has_value();
                return false;
            },
            timeout);
        return found;
    }

private:
    int64_t Asked() const { return m_lastCycle.load() + 1; }

    static int Process(jack_nframes_t, void* arg)
    {
        auto* self = static_cast<CTransportClient*>(arg);
        self->m_lastCycle.store(jack_last_frame_time(self->m_client));
        jack_position_t pos{};
        const jack_transport_state_t state = jack_transport_query(self->m_client, &pos);
        SCycle c;
        c.cycleFrame = jack_last_frame_time(self->m_client);
        c.rolling = state == JackTransportRolling;
        c.frame = pos.frame;
        c.bbt = (pos.valid & JackPositionBBT) != 0;
        c.bar = pos.bar;
        c.beat = pos.beat;
        c.tick = pos.tick;
        c.beatsPerMinute = pos.beats_per_minute;
        c.ticksPerBeat = pos.ticks_per_beat;
        c.beatsPerBar = pos.beats_per_bar;
        c.beatType = pos.beat_type;
        if (jack_ringbuffer_write_space(self->m_ring) >= sizeof c)
            jack_ringbuffer_write(self->m_ring, reinterpret_cast<const char*>(&c), sizeof c);
        return 0;
    }

    jack_client_t* m_client = nullptr;
    jack_ringbuffer_t* m_ring = nullptr;
    std::vector<SCycle> m_cycles;
    std::atomic<int64_t> m_lastCycle{0};
};

constexpr int64_t kPeriod = CJackTestServer::kPeriod;
// The small project: 90 BPM, 3/4, its one note at ticks 384..480 on a track that plays 5 ticks
// late (its delay).
const double kFramesPerTick = transportpos::FramesPerTick(CJackTestServer::kRate, 9000);
const int64_t kClipNoteFrame = transportpos::FrameOfTick(384, kFramesPerTick); // where it is
const int64_t kNoteFrame = transportpos::FrameOfTick(384 + 5, kFramesPerTick);     // heard

bool IsNoteOn(const SReceivedEvent& e)
{
    return e.bytes.size() == 3 && e.bytes[0] == 0x93 && e.bytes[2] != 0;
}

// The n-th note-on (0-based) among events, or null.
const SReceivedEvent* NthNoteOn(const std::vector<SReceivedEvent>& events, int n)
{
    for (const SReceivedEvent& e : events)
        if (IsNoteOn(e) && n-- == 0) return &e;
    return nullptr;
}

// The frame a note for transport frame `frame` is due at while the transport rolls as in `at`:
// one period later than the transport's frame, the output latency of the backend.
int64_t DueFrame(const SCycle& at, int64_t frame)
{
    return at.cycleFrame + (frame - at.frame) + kPeriod;
}

// True unless the server missed cycles since `before` (the private server has no real-time
// rights; a missed cycle moves what was due in it) or the ended `play` reports messages that went
// out late (on a loaded machine its music thread can miss the look-ahead): only then are frames
// held to the exact frame.
bool OnTime(const CJackPeer& peer, int64_t before, const CBackgroundCli& play)
{
    if (peer.GetXruns() == before && play.Error().find("went out late") == std::string::npos)
        return true;
    std::cout << "missed cycles or late messages: frames are not checked exactly\n"
              << play.Error();
    return false;
}

class JackTransportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.IsRunning());
        ASSERT_TRUE(synth.IsOpen());
        ASSERT_TRUE(transport.IsOpen());
        setenv("XDG_CONFIG_HOME", folder.Path().c_str(), 1);
        folder.Write("song.tnw", HandSmallProject());
        song = folder / "song.tnw";
    }

    CJackTestServer server;
    CJackPeer synth{"twsynth"};
    CTransportClient transport;
    CTempFolder folder;
    std::string song;
};

} // namespace

TEST_F(JackTransportTest, FollowStartsOnTheTransportAndObeysALocateWithinOnePeriod)
{
    CBackgroundCli play(
        {"play", song, "--midi", "jack", "--out", "twsynth:in", "--jack-transport", "follow"});
    ASSERT_EQ(synth.WaitFor(3, 20s).size(), 3u) << play.Error(); // the instrument settings
    EXPECT_EQ(synth.WaitFor(4, 300ms).size(), 3u) << "nothing plays before the transport rolls";

    // Started a little before the note: it sounds on its own frame of the transport.
    const int64_t xruns = synth.GetXruns();
    transport.Locate(kNoteFrame - 2400);
    const int64_t startAsked = transport.Start();
    const auto rolled = transport.WaitForCycle(
        startAsked, [](const SCycle& c) { return c.rolling; }, 5s);
    ASSERT_TRUE(rolled.has_value());
    std::vector<SReceivedEvent> events = synth.WaitFor(4, 5s);
    ASSERT_NE(NthNoteOn(events, 0), nullptr) << play.Error();
    const SReceivedEvent first = *NthNoteOn(events, 0); // a copy: events is read again below

    // Moved straight onto the note while rolling: the first note that obeys the locate.
    const int64_t locateAsked = transport.Locate(kClipNoteFrame);
    const auto moved = transport.WaitForCycle(
        locateAsked, [](const SCycle& c) { return c.rolling && c.frame == kClipNoteFrame; }, 5s);
    ASSERT_TRUE(moved.has_value());
    WaitUntil([&] { return NthNoteOn(synth.WaitFor(100, 0ms), 1) != nullptr; }, 5s);
    events = synth.WaitFor(100, 0ms);
    const SReceivedEvent* second = NthNoteOn(events, 1);
    ASSERT_NE(second, nullptr) << play.Error();
    std::cout << "follow latency, start: " << first.frame - startAsked
              << " frames from the cycle it was asked in, " << first.frame - DueFrame(*rolled, kNoteFrame) + kPeriod
              << " from the note's transport frame; locate: " << second->frame - locateAsked
              << " frames from the cycle it was asked in, " << second->frame - DueFrame(*moved, kNoteFrame) + kPeriod
              << " from the note's frame on the moved transport (period " << kPeriod
              << "; the track plays 5 ticks late on purpose)\n";
    const int64_t secondFrame = second->frame;

    // A stopped transport stops the notes; `play` ends once it stays stopped.
    transport.Stop();
    EXPECT_EQ(play.Wait(20s), 0) << play.Error();
    if (OnTime(synth, xruns, play)) {
        EXPECT_NEAR(first.frame, DueFrame(*rolled, kNoteFrame), 1);
        EXPECT_NEAR(secondFrame, DueFrame(*moved, kNoteFrame), 1);
    }
}

TEST_F(JackTransportTest, LeadPublishesTheProjectsBarsAndTempoAndObeysAnotherClientsLocate)
{
    CBackgroundCli play(
        {"play", song, "--midi", "jack", "--out", "twsynth:in", "--jack-transport", "lead"});
    const auto rolling =
        transport.WaitForCycle(0, [](const SCycle& c) { return c.rolling && c.bbt; }, 20s);
    ASSERT_TRUE(rolling.has_value()) << play.Error();

    // Bars of 3 quarter notes at 90 BPM, counted from frame 0.
    const auto expectBbtOfFrame = [](const SCycle& c, const char* when) {
        EXPECT_DOUBLE_EQ(c.beatsPerMinute, 90) << when;
        EXPECT_FLOAT_EQ(c.beatsPerBar, 3) << when;
        EXPECT_FLOAT_EQ(c.beatType, 4) << when;
        EXPECT_DOUBLE_EQ(c.ticksPerBeat, 96) << when;
        const double ticks = static_cast<double>(c.frame) / kFramesPerTick;
        const auto bars = static_cast<int32_t>(ticks / 288);
        const auto beats = static_cast<int32_t>((ticks - bars * 288) / 96);
        EXPECT_EQ(c.bar, bars + 1) << when;
        EXPECT_EQ(c.beat, beats + 1) << when;
        EXPECT_NEAR(c.tick, ticks - bars * 288 - beats * 96, 1) << when;
    };
    expectBbtOfFrame(*rolling, "after the start");

    // Another client moves the transport shortly before the note: we go with it.
    const int64_t xruns = synth.GetXruns();
    const int64_t target = kNoteFrame - 4800;
    const int64_t asked = transport.Locate(target);
    const auto moved = transport.WaitForCycle(
        asked, [&](const SCycle& c) { return c.rolling && c.frame == target; }, 5s);
    ASSERT_TRUE(moved.has_value());
    const auto after = transport.WaitForCycle(
        moved->cycleFrame + 1, [](const SCycle& c) { return c.bbt; }, 5s);
    ASSERT_TRUE(after.has_value());
    expectBbtOfFrame(*after, "after the locate");
    EXPECT_EQ(after->bar, 2); // tick 389 less 4800 frames (14.4 ticks): bar 2, beat 2
    WaitUntil([&] { return NthNoteOn(synth.WaitFor(100, 0ms), 0) != nullptr; }, 5s);
    const std::vector<SReceivedEvent> events = synth.WaitFor(100, 0ms);
    const SReceivedEvent* note = NthNoteOn(events, 0);
    ASSERT_NE(note, nullptr) << play.Error();
    const int64_t noteFrame = note->frame;

    // Stopped by a signal, the leader stops the shared transport with it.
    play.Signal(SIGINT);
    play.Wait(20s);
    if (OnTime(synth, xruns, play)) {
        EXPECT_NEAR(noteFrame, DueFrame(*moved, kNoteFrame), 1);
    }
    transport.Cycles();
    const auto stopped = transport.WaitForCycle(
        moved->cycleFrame, [](const SCycle& c) { return !c.rolling; }, 5s);
    EXPECT_TRUE(stopped.has_value()) << "the transport still rolls";
}
