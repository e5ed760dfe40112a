#include "BackgroundCli.h"
#include "JackTestServer.h"
#include "files/ByteBuilder.h"
#include "files/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iostream>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

// True when the server itself missed cycles while `play` ran (it names them in its report): on
// this machine jackd runs without real-time rights, and what was due in a missed cycle leaves
// with the next one, so the exact spacing of the clocks is only checked in a run without them.
bool ServerMissedCycles(const CBackgroundCli& play)
{
    const bool missed = play.Error().find("(xruns)") != std::string::npos;
    if (missed) std::cout << "the server missed cycles: " << play.Error() << "\n";
    return missed;
}

// How many messages `play` reports it handed over after their frame had passed. On a loaded
// machine the music thread can miss its look-ahead; such a message leaves with the next cycle
// and is counted, so the spacing checks below excuse exactly that many, and no more.
int64_t LateMessages(const CBackgroundCli& play)
{
    const std::string& error = play.Error();
    const size_t at = error.find(" MIDI messages went out late");
    if (at == std::string::npos) return 0;
    size_t begin = at;
    while (begin > 0 && std::isdigit(static_cast<unsigned char>(error[begin - 1]))) --begin;
    return std::stoll(error.substr(begin, at - begin));
}

// Every gap between neighbouring clocks is one clock period to the frame, except the two gaps
// on either side of each message the program itself reported as late.
void ExpectEvenClocks(const std::vector<int64_t>& clocks, double period, const CBackgroundCli& play)
{
    const int64_t late = LateMessages(play);
    int64_t uneven = 0;
    for (size_t i = 1; i < clocks.size(); ++i) {
        if (std::abs(static_cast<double>(clocks[i] - clocks[i - 1]) - period) > 1) {
            ++uneven;
            if (late == 0) ADD_FAILURE() << "clock " << i << " after " << clocks[i] - clocks[i - 1];
        }
    }
    EXPECT_LE(uneven, 2 * late) << play.Error();
}

constexpr uint8_t kTimingClock = 0xF8;
constexpr uint8_t kStart = 0xFA;
constexpr uint8_t kStop = 0xFC;
// The small project plays at 90 BPM: a quarter note of 96 ticks, a timing clock every 4.
constexpr double kQuarterFrames = CJackTestServer::kRate * 60.0 / 90;
constexpr double kClockFrames = kQuarterFrames / 24;

class JackPlaySyncTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.IsRunning());
        ASSERT_TRUE(synth.IsOpen());
        // An empty settings store of our own, so the user's settings change nothing here.
        setenv("XDG_CONFIG_HOME", folder.Path().c_str(), 1);
        folder.Write("song.tnw", HandSmallProject()); // 8 s long, one note at ticks 384..480
        song = folder / "song.tnw";
    }

    static size_t IndexOf(const std::vector<SReceivedEvent>& events, uint8_t status, size_t from)
    {
        const auto it = std::find_if(events.begin() + static_cast<ptrdiff_t>(from), events.end(),
                                     [&](const SReceivedEvent& e) { return e.bytes[0] == status; });
        return static_cast<size_t>(it - events.begin());
    }

    CJackTestServer server;
    CJackPeer synth{"twsynth"};
    CTempFolder folder;
    std::string song;
};

} // namespace

TEST_F(JackPlaySyncTest, ClockOutSendsATimingClockEveryFourTicksBetweenStartAndStop)
{
    CBackgroundCli play({"play", song, "--midi", "jack", "--out", "twsynth:in", "--clock-out"});
    ASSERT_EQ(play.Wait(60s), 0) << play.Error();
    // Nothing more is sent after the end; a short wait takes what is still in transit.
    const std::vector<SReceivedEvent> all = synth.WaitFor(100000, 500ms);

    const size_t start = IndexOf(all, kStart, 0);
    const size_t noteOn = IndexOf(all, 0x93, 0);
    const size_t noteOff = IndexOf(all, 0x83, 0);
    const size_t stop = IndexOf(all, kStop, 0);
    ASSERT_LT(start, noteOn) << "Start comes before the first note";
    ASSERT_LT(noteOn, noteOff);
    ASSERT_LT(noteOff, stop) << "Stop comes after the last note";
    EXPECT_EQ(stop, all.size() - 1) << "nothing follows Stop";
    EXPECT_EQ(IndexOf(all, kStart, start + 1), all.size()) << "one Start";

    std::vector<int64_t> clocks;
    for (size_t i = start; i < stop; ++i) {
        if (all[i].bytes[0] == kTimingClock) clocks.push_back(all[i].frame);
    }
    // Ticks 0..1152 at least played (the transport stops soon after): a clock on every fourth.
    ASSERT_GE(clocks.size(), 1152u / 4 + 1);
    EXPECT_GE(clocks.front(), all[start].frame);
    if (ServerMissedCycles(play)) return;
    EXPECT_LE(clocks.front() - all[start].frame, kClockFrames + 1);
    ExpectEvenClocks(clocks, kClockFrames, play);
}

TEST_F(JackPlaySyncTest, FollowingAMasterPlaysOnItsClockAndEndsWhenItStopsAndGoesQuiet)
{
    CJackPeer master("twmaster");
    ASSERT_TRUE(master.IsOpen());
    CBackgroundCli play(
        {"play", song, "--midi", "jack", "--out", "twsynth:in", "--follow-clock", "twmaster:out"});
    // The instrument settings go out once the input is open and followed.
    ASSERT_EQ(synth.WaitFor(3, 20s).size(), 3u) << play.Error();
    // Without the master's clock nothing plays.
    EXPECT_EQ(synth.WaitFor(4, 500ms).size(), 3u);

    master.Send({kStart});
    // Pulses at 120 BPM until the note has played through (it ends at the 120th).
    const auto pulse = std::chrono::microseconds(20833);
    auto next = std::chrono::steady_clock::now();
    size_t received = 0;
    for (int sent = 0; sent < 250 && received < 5; ++sent) {
        master.Send({kTimingClock});
        next += pulse;
        std::this_thread::sleep_until(next);
        received = synth.WaitFor(5, 0ms).size();
    }
    const std::vector<SReceivedEvent> played = synth.WaitFor(5, 20s);
    ASSERT_EQ(played.size(), 5u);
    EXPECT_EQ(played[3].bytes, (Bytes{0x93, 36, 104}));
    EXPECT_EQ(played[4].bytes[0] & 0xF0, 0x80);
    // On the master's tempo, not the song's 90 BPM: 24 pulses of 20.8 ms for the quarter note.
    EXPECT_NEAR(static_cast<double>(played[4].frame - played[3].frame),
                CJackTestServer::kRate / 2.0, CJackTestServer::kRate / 12.0);

    master.Send({kStop});
    const auto stopped = std::chrono::steady_clock::now();
    EXPECT_EQ(play.Wait(20s), 0) << play.Error();
    // Played a tick's look-ahead after the pulse that brought it, nothing misses its frame.
    EXPECT_EQ(play.Error().find("late"), std::string::npos) << play.Error();
    EXPECT_GE(std::chrono::steady_clock::now() - stopped, 1900ms)
        << "a stopped master has 2 s to send clock again";
}

// What one tick sends leaves on one frame on every device: the metronome's clicks on one
// instrument land exactly on the timing clocks of their ticks on the other, and the clocks
// never slip a period.
TEST_F(JackPlaySyncTest, AMetronomeOnASecondDeviceClicksOnTheFrameOfItsTick)
{
    CJackPeer click("twclick");
    ASSERT_TRUE(click.IsOpen());
    CBackgroundCli play({"play", song, "--midi", "jack", "--out", "twsynth:in", "--clock-out",
                         "--metronome", "twclick:in"});
    ASSERT_EQ(play.Wait(60s), 0) << play.Error();
    const std::vector<SReceivedEvent> all = synth.WaitFor(100000, 500ms);
    const std::vector<SReceivedEvent> clicks = click.WaitFor(100000, 500ms);

    std::vector<int64_t> clocks;
    for (const SReceivedEvent& event : all)
        if (event.bytes[0] == kTimingClock) clocks.push_back(event.frame);
    ASSERT_GE(clocks.size(), 1152u / 4 + 1);
    if (!ServerMissedCycles(play)) ExpectEvenClocks(clocks, kClockFrames, play);
    size_t onTime = 0;
    size_t clickCount = 0;
    for (const SReceivedEvent& event : clicks) {
        if ((event.bytes[0] & 0xF0) != 0x90 || event.bytes[2] == 0) continue;
        ++clickCount;
        if (std::binary_search(clocks.begin(), clocks.end(), event.frame)) ++onTime;
    }
    EXPECT_GE(clickCount, 12u) << "a click on every beat";
    // A late click leaves on the next cycle, apart from its clock if that one was on time.
    EXPECT_LE(static_cast<int64_t>(clickCount - onTime), LateMessages(play))
        << "clicks off the frames of their ticks' clocks\n" << play.Error();
}
