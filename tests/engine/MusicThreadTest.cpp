#include "EngineFixture.h"

#include "engine/SequencerClock.h"
#include "fakes/BusyCores.h"
#include "model/Note.h"
#include "model/Phrase.h"
#include "model/Track.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using E = EEngineCommand;
using CResults = std::vector<std::pair<int, std::string>>;

// One fixed run of commands; every answer is kept with the error text of a failure.
CResults RunScript(CMidiEngineProxy& proxy)
{
    CResults results;
    auto record = [&](int answer) {
        results.emplace_back(answer, answer != 0 ? std::string() : proxy.GetLastError());
    };
    CTrack track;
    track.SetId(1);
    CPhrase phrase("P", 0, 384);
    phrase.SetId(2);
    record(proxy.OpenOutputDriver(0));
    record(proxy.OpenOutputDriver(9));
    record(proxy.RouteOutputPort(0, 0));
    record(proxy.RouteOutputPort(1, 1));
    record(proxy.AddTrackPlayer(track));
    record(proxy.AddPhrasePlayer(phrase));
    record(proxy.SetTrackProperty(track, 120, 0));
    record(proxy.SetTrackProperty(track, 102, 4));
    record(proxy.InsertNote(phrase, CNote(0, 10, 60, 100, 0)));
    record(proxy.RemoveNote(phrase, CNote(5, 10, 60, 100, 0)));
    record(proxy.SetTempo(12050));
    record(proxy.SetTempo(-1));
    record(proxy.Locate(300));
    record(proxy.Play());
    record(proxy.Stop());
    record(proxy.SetNodeParameter({6, 99}, 1, 0));
    record(proxy.Send(CEngineCommand(static_cast<E>(20))));
    record(proxy.Send(CEngineCommand(E::AddClipPlayer, &track)));
    record(proxy.ToggleSolo(track));
    record(proxy.Clear());
    results.emplace_back(static_cast<int>(track.GetOutputChannel()), "channel");
    results.emplace_back(phrase.GetNotes().GetCount(), "notes");
    return results;
}

// The threaded runs go on an idle machine and on one with a busy thread per core: the proxy and
// the music thread then wait for each other awake on different cores, or asleep on one.
TEST(MusicThreadTest, InlineAndThreadedRunsGiveTheSameAnswers)
{
    CResults inlineResults;
    std::vector<CResults> threadedResults;
    for (int run = 0; run < 3; ++run) {
        const bool threaded = run > 0;
        const CBusyCores load(run == 2);
        CVirtualBackend backend({"Out A"}, {});
        CMidiEngineProxy proxy;
        CMidiEngine engine(backend, proxy.GetMailbox());
        ASSERT_TRUE(proxy.AttachEngine(&engine));
        ASSERT_EQ(proxy.Initialise(threaded), 1);
        EXPECT_EQ(engine.IsThreadRunning(), threaded);
        // Many rounds back to back, so that answers arrive while the caller still spins.
        for (int round = 0; round < (threaded ? 200 : 1); ++round) {
            CResults results = RunScript(proxy);
            if (threaded && round > 0 && results != threadedResults.back()) {
                ADD_FAILURE() << "round " << round << " answered differently";
                break;
            }
            if (!threaded) inlineResults = std::move(results);
            else if (round == 0) threadedResults.push_back(std::move(results));
        }
        EXPECT_EQ(proxy.ShutDown(), 1);
        EXPECT_FALSE(engine.IsThreadRunning());
    }
    for (const CResults& results : threadedResults) EXPECT_EQ(inlineResults, results);
    ASSERT_EQ(inlineResults.size(), 22u);
    EXPECT_EQ(inlineResults[1].first, 0);
    EXPECT_EQ(inlineResults[6].second, "Invalid track property.");
    EXPECT_EQ(inlineResults[20], std::make_pair(4, std::string("channel")));
}

TEST(MusicThreadTest, CommandsRunWhileTheClockPlays)
{
    CVirtualBackend backend({"Out A"}, {"In A"}, CVirtualBackend::EClock::RealTime);
    CMidiEngineProxy proxy;
    CMidiEngine engine(backend, proxy.GetMailbox());
    ASSERT_TRUE(proxy.AttachEngine(&engine));
    ASSERT_EQ(proxy.Initialise(true), 1) << proxy.GetLastError();
    ASSERT_EQ(proxy.OpenOutputDriver(0), 1);
    ASSERT_EQ(proxy.OpenInputDriver(0), 1);
    ASSERT_EQ(proxy.RouteOutputPort(0, 0), 1);
    CTrack track;
    track.SetId(1);
    track.AddClip(std::make_unique<CClip>(0, 3840, "C", 0));
    CPhrase phrase("P", 0, 384);
    phrase.SetId(1);
    ASSERT_EQ(proxy.AddTrackPlayer(track), 1);
    ASSERT_EQ(proxy.AddPhrasePlayer(phrase), 1);
    ASSERT_EQ(proxy.SetNodeParameter({2, 0}, 1, 1), 1);  // clock-send
    ASSERT_EQ(proxy.SetNodeParameter({9, 0}, 10, 1), 1); // clock out
    ASSERT_EQ(proxy.Play(), 1);
    EXPECT_TRUE(proxy.IsPlaying());

    CRecordingSink sink;
    constexpr int kEdits = 2000;
    CMidiData& clip = track.GetClipAt(0);
    for (int i = 0; i < kEdits; ++i) {
        ASSERT_EQ(proxy.InsertNote(clip, CNote(i % 384, i % 384 + 10, 60, 100, 0)), 1);
        if (i % 100 == 0) {
            ASSERT_EQ(proxy.SetTrackProperty(track, 112, i % 128), 1);
            backend.InjectInput(0, {0x90, 60, 100});
            // The UI's timers read the back-channel while the thread posts into it.
            proxy.GetMailbox().Drain(sink);
            int32_t posted = 0;
            if (proxy.GetMailbox().TakePosition(posted)) {
                EXPECT_LE(posted, proxy.GetPosition());
            }
        }
    }
    ASSERT_EQ(proxy.Stop(), 1);
    EXPECT_FALSE(proxy.IsPlaying());
    proxy.GetMailbox().Drain(sink);
    ASSERT_GE(sink.transport.size(), 2u);
    EXPECT_EQ(sink.transport.front(), std::make_pair(6, 1));
    EXPECT_EQ(sink.transport.back(), std::make_pair(6, 0));
    EXPECT_EQ(clip.GetNotes().GetCount(), kEdits);
    tick previous = -1;
    for (const CNote& note : clip.GetNotes()) {
        EXPECT_LE(previous, note.m_start);
        previous = note.m_start;
    }
    EXPECT_EQ(track.GetVolume(), 1900 % 128);
    EXPECT_EQ(proxy.Clear(), 1);
    EXPECT_EQ(proxy.ShutDown(), 1);
    EXPECT_FALSE(engine.IsThreadRunning());
    EXPECT_FALSE(backend.IsOutputOpen(0));
}

TEST(MusicThreadTest, ThreadedClockKeepsTimeWhileCommandsArriveBackToBack)
{
    // The manual clock decides when a pass is due: each round moves it on by two tick periods,
    // then wakes the thread with commands faster than its wait could ever time out.
    CVirtualBackend backend({"Out A"}, {});
    CMidiEngineProxy proxy;
    CMidiEngine engine(backend, proxy.GetMailbox());
    ASSERT_TRUE(proxy.AttachEngine(&engine));
    ASSERT_EQ(proxy.Initialise(true), 1) << proxy.GetLastError();
    ASSERT_EQ(proxy.OpenOutputDriver(0), 1);
    ASSERT_EQ(proxy.SetNodeParameter({2, 0}, 1, 1), 1); // clock-send
    ASSERT_EQ(proxy.Play(), 1);
    ASSERT_EQ(proxy.SetNodeParameter({9, 0}, CSequencerClock::kClockOut, 1), 1);
    const CSequencerClock& clock = engine.GetClock();
    constexpr int64_t kPeriod = CSequencerClock::kDefaultTickPeriod;
    tick previous = -1;
    for (int round = 0; round < 20; ++round) {
        backend.AdvanceTime(2 * kPeriod);
        // The first command finds the pass due; the second returns only after the thread has
        // gone round its loop, that pass included.
        ASSERT_EQ(proxy.SetNodeParameter({9, 0}, CSequencerClock::kLoopActive, 0), 1);
        ASSERT_EQ(proxy.SetNodeParameter({9, 0}, CSequencerClock::kLoopActive, 0), 1);
        const int64_t due =
            backend.GetMasterTime() + CSequencerClock::kLookAhead - clock.GetLastTickTime();
        ASSERT_GE(due, 0) << round;
        ASSERT_LT(due, kPeriod) << round; // caught up with the master clock
        if (previous >= 0) {
            ASSERT_EQ(engine.GetPosition(), previous + 2) << round;
        }
        previous = engine.GetPosition();
    }
    ASSERT_EQ(proxy.Stop(), 1);

    // The thread's ticks left as timing clock, one pulse every fourth tick at that tick's time.
    const auto sent = backend.GetSent(0);
    ASSERT_GE(sent.size(), 9u);
    for (size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].bytes[0], 0xF8) << i;
        if (i > 0) {
            EXPECT_EQ(sent[i].time - sent[i - 1].time, 4 * kPeriod) << i;
        }
    }
    CRecordingSink sink;
    proxy.GetMailbox().Drain(sink);
    EXPECT_EQ(sink.transport, (std::vector<std::pair<int32_t, int32_t>>{{6, 1}, {6, 0}}));
    int32_t posted = -1;
    EXPECT_TRUE(proxy.GetMailbox().TakePosition(posted));
    EXPECT_EQ(posted, engine.GetPosition());
    EXPECT_EQ(proxy.ShutDown(), 1);
}

} // namespace
