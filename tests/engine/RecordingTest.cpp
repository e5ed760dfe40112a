// Takes recorded from "Rec" into clips: quantize and snap, event suppression, takes on every path
// that ends them, live thru and step-entry capture.

#include "PlayerFixture.h"

#include "engine/PlayControl.h"
#include "engine/RecordingNotifications.h"
#include "engine/SequencerClock.h"
#include "engine/TrackPlayer.h"
#include "engine/TrackRecorder.h"

#include <algorithm>
#include <cstdlib>
#include <random>

namespace {

struct STake {
    int32_t trackId = 0;
    std::unique_ptr<CClip> clip;
};

// Keeps the takes and the captured notes a drain delivers.
class CTakeSink : public CRecordingSink {
public:
    void OnRecordingStarted(int32_t, int32_t, int32_t position) override
    {
        started.push_back(position);
    }
    void OnEventRecorded(int32_t, int32_t, const CMidiEvent& event) override
    {
        eventPosts.push_back(event);
    }
    void OnRecordingFinished(int32_t trackId, int32_t, std::unique_ptr<CClip> clip) override
    {
        takes.push_back({trackId, std::move(clip)});
    }
    void OnCapturedNotes(const std::vector<std::array<uint8_t, 3>>& noteOns) override
    {
        captured.push_back(noteOns);
    }

    std::vector<int32_t> started;
    std::vector<CMidiEvent> eventPosts;
    std::vector<STake> takes;
    std::vector<std::vector<std::array<uint8_t, 3>>> captured;
};

class RecordingTest : public PlayerFixture {
protected:
    CTrack& RecordingTrack(int32_t id, uint8_t channel)
    {
        CTrack& track = AddTrack(id, channel);
        track.SetInput(true);
        track.SetRecord(true);
        EXPECT_EQ(proxy.AddTrackPlayer(track), 1);
        return track;
    }

    void StartTake(const CRecordSettings& settings, tick from)
    {
        ASSERT_EQ(proxy.SetRecordSettings(settings), 1);
        ASSERT_EQ(proxy.SetRecording(true), 1);
        ASSERT_EQ(proxy.Locate(from), 1);
        ASSERT_EQ(proxy.Play(), 1);
    }

    // Stops and returns the takes delivered since the last call, in posting order.
    std::vector<STake> StopAndTakeClips()
    {
        EXPECT_EQ(proxy.Stop(), 1);
        return Takes();
    }

    std::vector<STake> Takes()
    {
        proxy.GetMailbox().Drain(takeSink);
        return std::move(takeSink.takes);
    }

    // The take's note-on and release at the given ticks of playing time after the start.
    void PlayNote(uint8_t key, int onAfter, int offAfter)
    {
        Play(onAfter);
        Keys({0x90, key, 100});
        Play(offAfter - onAfter);
        Keys({0x80, key, 30});
    }

    CTakeSink takeSink;
};

std::vector<CNote> NotesOf(const CClip& clip)
{
    return {clip.GetNotes().begin(), clip.GetNotes().end()};
}

std::vector<CMidiEvent> EventsOf(const CClip& clip)
{
    return {clip.GetEvents().begin(), clip.GetEvents().end()};
}

TEST(RecordGridTest, NearestRoundsHalfUpAndFloorAndCeilKeepMultiples)
{
    struct {
        tick t, grid, nearest, floor, ceil;
    } const cases[] = {
        {13, 24, 24, 0, 24}, {11, 24, 0, 0, 24},     {60, 24, 72, 48, 72}, {48, 24, 48, 48, 48},
        {7, 0, 7, 7, 7},     {-13, 24, -24, -24, 0}, {6, 13, 0, 0, 13},    {7, 13, 13, 0, 13},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.t << " on " << c.grid);
        EXPECT_EQ(NearestOnGrid(c.t, c.grid), c.nearest);
        EXPECT_EQ(FloorToGrid(c.t, c.grid), c.floor);
        EXPECT_EQ(CeilToGrid(c.t, c.grid), c.ceil);
    }
}

TEST_F(RecordingTest, QuantizeGridRoundsStartAndEndAndNeverLeavesAnEmptyNote)
{
    struct {
        int32_t grid;
        int on, off;
        CNote stored;
    } const cases[] = {
        {24, 13, 30, CNote(24, 48, 60, 100, 30)},
        {24, 11, 60, CNote(0, 72, 60, 100, 30)},
        {0, 5, 5, CNote(5, 5, 60, 100, 30)},
        {0, 3, 17, CNote(3, 17, 60, 100, 30)},
    };
    CTrack& track = RecordingTrack(1, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.grid);
        CRecordSettings settings;
        settings.quantizeGrid = c.grid;
        StartTake(settings, 0);
        PlayNote(60, c.on, c.off);
        std::vector<STake> takes = StopAndTakeClips();
        ASSERT_EQ(takes.size(), 1u);
        ASSERT_NE(takes[0].clip, nullptr);
        EXPECT_EQ(takes[0].trackId, track.GetId());
        EXPECT_EQ(takes[0].clip->GetStart(), 0);
        EXPECT_EQ(NotesOf(*takes[0].clip), std::vector<CNote>{c.stored});
        // Stopping cleared the switch; the clip's player plays on until it is committed.
        EXPECT_NE(engine.FindRecordedClipPlayer(takes[0].clip.get()), nullptr);
        ASSERT_EQ(proxy.RemoveClipPlayer(*takes[0].clip), 1);
    }
}

// Input lands on the tick that was sounding where the outputs lead when it was played: its stamp
// less the output latency the backend reports, to the nearest tick, never before the take and
// never after the tick about to play. Random notes against random latencies, each played up to
// a third of a tick off its tick (a millisecond stamp adds at most a tenth).
TEST_F(RecordingTest, InputLandsOnTheTickThatWasSoundingWhenItWasPlayed)
{
    std::mt19937 random(29);
    RecordingTrack(1, 0);
    const CSequencerClock& clock = engine.GetClock();
    const int64_t period = clock.GetTickPeriod();
    for (const int64_t latency : {int64_t{0}, int64_t{30000}, int64_t{53333}, int64_t{213333}}) {
        SCOPED_TRACE(testing::Message() << "latency " << latency);
        backend.SetOutputLatency(latency);
        StartTake(CRecordSettings{}, 1000); // the take's tick 0 is song tick 1000
        Play(400);
        // The tick before the position was stamped at the last tick time.
        const tick last = engine.GetPosition() - 1;
        const auto stampOf = [&](tick songTick, double off) {
            const int64_t sounded = clock.GetLastTickTime() - (last - songTick) * period + latency;
            return InputStampOf(sounded + static_cast<int64_t>(off * static_cast<double>(period)));
        };
        std::uniform_int_distribution<tick> at(1020, last - 10);
        std::uniform_int_distribution<tick> length(1, 9);
        std::uniform_real_distribution<double> off(-0.33, 0.33);
        std::vector<CNote> expected;
        for (uint8_t key = 40; key < 60; ++key) {
            const tick on = at(random);
            const tick end = on + length(random);
            ASSERT_TRUE(backend.InjectInput(0, {0x90, key, 100}, stampOf(on, off(random))));
            ASSERT_TRUE(backend.InjectInput(0, {0x80, key, 30}, stampOf(end, off(random))));
            engine.PollInputs();
            expected.emplace_back(on - 1000, end - 1000, key, 100, 30);
        }
        // Before the take began: its first tick. Not yet played (a stamp no clock has reached):
        // the tick about to play.
        Keys({0x90, 70, 100}, stampOf(900, 0));
        Keys({0x80, 70, 30}, stampOf(last + 1000, 0));
        expected.emplace_back(0, last + 1 - 1000, 70, 100, 30);
        std::sort(expected.begin(), expected.end(),
                  [](const CNote& a, const CNote& b) { return a.m_start < b.m_start; });
        std::vector<STake> takes = StopAndTakeClips();
        ASSERT_EQ(takes.size(), 1u);
        std::vector<CNote> notes = NotesOf(*takes[0].clip);
        std::stable_sort(notes.begin(), notes.end(),
                         [](const CNote& a, const CNote& b) { return a.m_start < b.m_start; });
        ASSERT_EQ(notes.size(), expected.size());
        for (size_t i = 0; i < notes.size(); ++i) {
            const auto same = std::find(notes.begin(), notes.end(), expected[i]);
            EXPECT_NE(same, notes.end())
                << "no note {" << expected[i].m_start << ", " << expected[i].m_end << ", key "
                << int(expected[i].m_pitch) << "}";
        }
        proxy.RemoveClipPlayer(*takes[0].clip);
    }
}

TEST(HeardTickTest, CountsBackToTheNearestTickSoundingThen)
{
    // The tick before the position was stamped at 1000, ticks 100 apart, sounding 30 later.
    struct {
        int64_t input;
        int64_t expected;
    } const cases[] = {
        {1030, 1},                 // exactly when the last tick sounded
        {1079, 1},                 // just under half a tick after it
        {1080, 0},                 // half a tick: the nearer one is the tick about to play
        {5000, 0},                 // later than any played tick: now
        {981, 1},        {979, 2}, // either side of half a tick before it
        {1030 - 700, 8},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TicksSinceHeard(c.input, 1000, 100, 30), c.expected) << c.input;
    EXPECT_EQ(TicksSinceHeard(123, 1000, 0, 0), 0) << "no tick period: nothing to count";
}

TEST(InputStampTest, RoundsToTheNearestMillisecondAndUnwrapsNearTheClock)
{
    EXPECT_EQ(InputStampOf(14999), 1);
    EXPECT_EQ(InputStampOf(15000), 2);
    EXPECT_EQ(InputStampOf(-14999), -1);
    const int64_t wrap = int64_t{1} << 32; // milliseconds the stamp wraps after
    EXPECT_EQ(InputStampOf(wrap * 10000 + 30000), 3);
    for (const int64_t near :
         {int64_t{0}, int64_t{123456789}, wrap * 10000 + 5000, 3 * wrap * 10000 - 1}) {
        for (const int64_t delta : {int64_t{-20000000}, int64_t{0}, int64_t{70000}}) {
            const int64_t time = near + delta;
            const int64_t back = InputStampTime(InputStampOf(time), near);
            EXPECT_LE(std::llabs(back - time), 5000) << near << " " << delta;
        }
    }
}

TEST_F(RecordingTest, ClipSnapGridPlacesTheClipAndRoundsItsLengthUp)
{
    RecordingTrack(1, 0);
    CRecordSettings settings;
    settings.clipSnapGrid = 384;
    StartTake(settings, 500);
    EXPECT_EQ(engine.FindTrackPlayer(1)->GetRecorder().GetTickCounter(), 116);
    PlayNote(62, 0, 284); // ends at relative tick 400
    std::vector<STake> takes = StopAndTakeClips();
    ASSERT_EQ(takes.size(), 1u);
    const CClip& clip = *takes[0].clip;
    EXPECT_EQ(clip.GetStart(), 384);
    EXPECT_EQ(clip.GetLength(), 768);
    EXPECT_EQ(NotesOf(clip), std::vector<CNote>{CNote(116, 400, 62, 100, 30)});
    EXPECT_EQ(takeSink.started, std::vector<int32_t>{500});
    proxy.RemoveClipPlayer(*takes[0].clip);
}

TEST_F(RecordingTest, SuppressionDropsRepeatsAndKeepsTheLastValueOfATick)
{
    using Batch = std::vector<std::vector<uint8_t>>; // one poll each; a tick passes between rows
    struct {
        const char* name;
        bool suppress;
        bool programs;
        std::vector<Batch> ticks;
        std::vector<CMidiEvent> recorded;
    } const cases[] = {
        {"repeated controller",
         true,
         false,
         {{{0xB0, 7, 100}}, {{0xB0, 7, 100}}, {{0xB0, 7, 101}}},
         {{0, 0xB0, 7, 100}, {2, 0xB0, 7, 101}}},
        {"two values in one poll",
         true,
         false,
         {{{0xB0, 7, 100, 0xB0, 7, 101}}},
         {{0, 0xB0, 7, 101}}},
        {"two values in two polls of one tick",
         true,
         false,
         {{{0xB0, 7, 100}, {0xB0, 7, 101}}},
         {{0, 0xB0, 7, 101}}},
        {"other controllers are other lanes",
         true,
         false,
         {{{0xB0, 7, 100, 0xB0, 10, 100}}, {{0xB0, 10, 100, 0xB0, 7, 100}}},
         {{0, 0xB0, 7, 100}, {0, 0xB0, 10, 100}}},
        {"suppression off",
         false,
         false,
         {{{0xB0, 7, 100}}, {{0xB0, 7, 100}}},
         {{0, 0xB0, 7, 100}, {1, 0xB0, 7, 100}}},
        {"program repeated, suppressed", true, true, {{{0xC0, 5}}, {{0xC0, 5}}}, {{0, 0xC0, 5, 0}}},
        {"program repeated, recorded twice",
         false,
         true,
         {{{0xC0, 5}}, {{0xC0, 5}}},
         {{0, 0xC0, 5, 0}, {1, 0xC0, 5, 0}}},
        {"programs filtered out", true, false, {{{0xC0, 5}}, {{0xB0, 1, 3}}}, {{1, 0xB0, 1, 3}}},
        {"pitch bend compares both bytes",
         true,
         false,
         {{{0xE0, 0, 64}}, {{0xE0, 1, 64}}, {{0xE0, 1, 64}}},
         {{0, 0xE0, 0, 64}, {1, 0xE0, 1, 64}}},
    };
    RecordingTrack(1, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CRecordSettings settings;
        settings.suppressRedundant = c.suppress;
        settings.recordProgramChange = c.programs;
        StartTake(settings, 0);
        for (const Batch& tickBatches : c.ticks) {
            for (const auto& bytes : tickBatches)
                Keys(bytes);
            Play(1);
        }
        std::vector<STake> takes = StopAndTakeClips();
        ASSERT_EQ(takes.size(), 1u);
        ASSERT_NE(takes[0].clip, nullptr);
        EXPECT_EQ(EventsOf(*takes[0].clip), c.recorded);
        EXPECT_EQ(takes[0].clip->GetLength(), c.recorded.back().m_time + 1);
        // The UI saw each recorded event, a replaced one again with its new value.
        ASSERT_FALSE(takeSink.eventPosts.empty());
        EXPECT_EQ(takeSink.eventPosts.back(), c.recorded.back());
        takeSink.eventPosts.clear();
        proxy.RemoveClipPlayer(*takes[0].clip);
    }
}

TEST_F(RecordingTest, ANoteOffWithoutItsNoteOnAndAnEmptyTakeLeaveNothing)
{
    RecordingTrack(1, 0);
    StartTake(CRecordSettings{}, 0);
    Play(3);
    Keys({0x80, 60, 0});
    Keys({0xA0, 60, 10}); // poly pressure is not recorded by default
    Play(3);
    std::vector<STake> takes = StopAndTakeClips();
    ASSERT_EQ(takes.size(), 1u);
    EXPECT_EQ(takes[0].clip, nullptr);
    EXPECT_EQ(engine.GetClipPlayerCount(), 0);
}

TEST_F(RecordingTest, TwoInputTracksEchoOnTheirOwnChannelsAndBothRecord)
{
    RecordingTrack(1, 0);
    RecordingTrack(2, 3);
    StartTake(CRecordSettings{}, 0);
    Keys({0x95, 64, 90}); // input channel does not matter, each track puts its own
    std::vector<SHeard> heard = Play(2);
    EXPECT_EQ(heard, (std::vector<SHeard>{{0, 0x90, 64, 90, 0}, {0, 0x93, 64, 90, 0}}));
    std::vector<STake> takes = StopAndTakeClips();
    ASSERT_EQ(takes.size(), 2u);
    for (const STake& take : takes) {
        ASSERT_NE(take.clip, nullptr);
        EXPECT_EQ(NotesOf(*take.clip), std::vector<CNote>{CNote(0, 2, 64, 90, 127)});
        proxy.RemoveClipPlayer(*take.clip);
    }
}

TEST_F(RecordingTest, AReleaseInTheSamePollAsItsNoteNeverLeavesFirst)
{
    CTrack& track = AddTrack(1, 2);
    track.SetInput(true);
    ASSERT_EQ(proxy.AddTrackPlayer(track), 1);
    Keys({0x90, 60, 100, 0x80, 60, 0, 0x90, 61, 100, 0x90, 61, 0});
    std::vector<SHeard> heard = Play(4);
    std::vector<SHeard> notes;
    for (const SHeard& h : heard)
        if (h.data1 == 60 || h.data1 == 61) notes.push_back(h);
    ASSERT_EQ(notes.size(), 4u);
    for (uint8_t key : {60, 61}) {
        const auto on = std::find_if(notes.begin(), notes.end(), [&](const SHeard& h) {
            return h.data1 == key && h.status == 0x92;
        });
        const auto off = std::find_if(notes.begin(), notes.end(), [&](const SHeard& h) {
            return h.data1 == key && (h.status == 0x82 || (h.status == 0x92 && h.data2 == 0));
        });
        ASSERT_NE(on, notes.end());
        ASSERT_NE(off, notes.end());
        EXPECT_LT(on - notes.begin(), off - notes.begin()) << int(key);
        EXPECT_LT(on->at, off->at) << int(key); // and not in the same hand-over
    }
    EXPECT_TRUE(Hanging(heard).empty());
}

TEST_F(RecordingTest, AKeyStruckAgainWithinOnePollSoundsInPlayingOrder)
{
    struct {
        const char* name;
        std::vector<std::vector<uint8_t>> polls; // a tick passes after each
        std::vector<uint8_t> heard;              // statuses of key 60, in the order sent
        bool sounding;
    } const cases[] = {
        {"held key released and struck again",
         {{0x90, 60, 100}, {0x80, 60, 0, 0x90, 60, 90}},
         {0x92, 0x82, 0x92},
         true},
        {"struck, released and struck again",
         {{0x90, 60, 100, 0x80, 60, 0, 0x90, 60, 90}},
         {0x92, 0x82, 0x92},
         true},
        {"twice struck and released",
         {{0x90, 60, 100, 0x80, 60, 0, 0x90, 60, 90, 0x90, 60, 0}},
         {0x92, 0x82, 0x92, 0x82},
         false},
        {"another key between",
         {{0x90, 60, 100, 0x90, 62, 1}, {0x80, 60, 0, 0x80, 62, 0, 0x90, 60, 90}},
         {0x92, 0x82, 0x92},
         true},
    };
    CTrack& track = AddTrack(1, 2);
    track.SetInput(true);
    ASSERT_EQ(proxy.AddTrackPlayer(track), 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<SHeard> heard;
        for (const auto& bytes : c.polls) {
            Keys(bytes);
            for (const SHeard& h : Play(1))
                heard.push_back(h);
        }
        for (const SHeard& h : Play(3))
            heard.push_back(h);
        std::vector<uint8_t> statuses;
        for (const SHeard& h : heard)
            if (h.data1 == 60) statuses.push_back(h.status);
        EXPECT_EQ(statuses, c.heard);
        const bool sounding = Hanging(heard).count({2, 60}) != 0;
        EXPECT_EQ(sounding, c.sounding);
        if (sounding) Keys({0x80, 60, 0});
        Play(3);
    }
}

TEST_F(RecordingTest, LoopWrapsAndLocatesEndTakesWithoutLosingANote)
{
    RecordingTrack(1, 0);
    ASSERT_EQ(proxy.SetLoop(true, 0, 96), 1);
    StartTake(CRecordSettings{}, 0);
    PlayNote(60, 10, 20);  // pass 1: 0..20
    Play(60);              // tick 80
    Keys({0x90, 61, 100}); // held across the wrap
    Play(16);              // wrapped to 0
    Keys({0x80, 61, 0});   // its note-on was in the last take: ignored here
    PlayNote(62, 30, 40);  // pass 2: 30..40
    ASSERT_EQ(proxy.Locate(1000), 1);
    PlayNote(63, 5, 6);
    std::vector<STake> takes = StopAndTakeClips();
    ASSERT_EQ(takes.size(), 3u);
    for (const STake& take : takes)
        ASSERT_NE(take.clip, nullptr);
    EXPECT_EQ(NotesOf(*takes[0].clip),
              (std::vector<CNote>{CNote(10, 20, 60, 100, 30), CNote(80, 96, 61, 100, 127)}));
    EXPECT_EQ(takes[1].clip->GetStart(), 0);
    EXPECT_EQ(NotesOf(*takes[1].clip), std::vector<CNote>{CNote(30, 40, 62, 100, 30)});
    EXPECT_EQ(takes[2].clip->GetStart(), 1000);
    EXPECT_EQ(NotesOf(*takes[2].clip), std::vector<CNote>{CNote(5, 6, 63, 100, 30)});
    EXPECT_EQ(takeSink.started, (std::vector<int32_t>{0, 0, 1000}));
    for (const STake& take : takes)
        proxy.RemoveClipPlayer(*take.clip);
}

TEST_F(RecordingTest, RecordEnableChangesAndRemovalStartFinishAndDiscard)
{
    CTrack& track = RecordingTrack(1, 0);
    track.SetRecord(false);
    ASSERT_EQ(proxy.SetTrackProperty(track, 109, 0), 1);
    StartTake(CRecordSettings{}, 0);
    EXPECT_FALSE(engine.FindTrackPlayer(1)->IsRecording());
    ASSERT_EQ(proxy.SetTrackProperty(track, 109, 1), 1);
    ASSERT_TRUE(engine.FindTrackPlayer(1)->IsRecording());
    PlayNote(60, 1, 2);
    ASSERT_EQ(proxy.SetTrackProperty(track, 109, 0), 1);
    std::vector<STake> takes = Takes();
    ASSERT_EQ(takes.size(), 1u);
    ASSERT_NE(takes[0].clip, nullptr);
    EXPECT_EQ(takes[0].clip->GetStart(), 0);
    proxy.RemoveClipPlayer(*takes[0].clip);
    // A removed track's open take goes without a word.
    ASSERT_EQ(proxy.SetTrackProperty(track, 109, 1), 1);
    Keys({0x90, 60, 100});
    ASSERT_EQ(proxy.RemoveTrackPlayer(track), 1);
    EXPECT_TRUE(StopAndTakeClips().empty());
}

TEST_F(RecordingTest, CommittedTakeMovesToTheClipPlayersAndPlaysOn)
{
    CTrack& track = RecordingTrack(1, 0);
    ASSERT_EQ(proxy.SetLoop(true, 0, 48), 1);
    StartTake(CRecordSettings{}, 0);
    PlayNote(60, 4, 8);
    Play(40); // wrapped: the take is finished and plays at once
    std::vector<STake> takes = Takes();
    ASSERT_EQ(takes.size(), 1u);
    CClip& clip = track.GetClipAt(track.AddClip(std::move(takes[0].clip)));
    std::vector<SHeard> heard = Play(10);
    EXPECT_NE(std::find(heard.begin(), heard.end(), SHeard{4, 0x90, 60, 100, 0}), heard.end());
    ASSERT_EQ(proxy.CommitRecordedClip(clip, track, clip.GetStart()), 1);
    EXPECT_EQ(engine.FindRecordedClipPlayer(&clip), nullptr);
    EXPECT_NE(engine.FindClipPlayer(&clip), nullptr);
    proxy.SetRecording(false);
    heard = Play(48);
    EXPECT_NE(std::find(heard.begin(), heard.end(), SHeard{4, 0x90, 60, 100, 0}), heard.end());
}

TEST_F(RecordingTest, StepCaptureSwallowsInputAndHandsOverOnce)
{
    CTrack& track = AddTrack(1, 0);
    track.SetInput(true);
    ASSERT_EQ(proxy.AddTrackPlayer(track), 1);
    const CNodeAddress control{11, 0}; // the play control
    Keys({0x90, 50, 80});              // held when the capture starts: released
    EXPECT_EQ(Play(1).size(), 1u);
    ASSERT_EQ(proxy.SetNodeParameter(control, CPlayControl::kCaptureTarget, 1), 1);
    Keys({0x90, 60, 100, 0x90, 64, 90, 0x80, 60, 0, 0xB0, 7, 1});
    std::vector<SHeard> heard = Play(3);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].status, 0x80);
    EXPECT_EQ(heard[0].data1, 50);
    ASSERT_EQ(proxy.SetNodeParameter(control, CPlayControl::kHandOverCapture, 0), 1);
    ASSERT_EQ(proxy.SetNodeParameter(control, CPlayControl::kHandOverCapture, 0), 1);
    proxy.GetMailbox().Drain(takeSink);
    using Notes = std::vector<std::array<uint8_t, 3>>;
    ASSERT_EQ(takeSink.captured.size(), 1u); // the second hand-over had nothing
    EXPECT_EQ(takeSink.captured[0], (Notes{{0x90, 60, 100}, {0x90, 64, 90}}));
    Keys({0x90, 65, 1});
    ASSERT_EQ(proxy.SetNodeParameter(control, CPlayControl::kCaptureTarget, 0), 1);
    ASSERT_EQ(proxy.SetNodeParameter(control, CPlayControl::kHandOverCapture, 0), 1);
    proxy.GetMailbox().Drain(takeSink);
    EXPECT_EQ(takeSink.captured.size(), 1u); // clearing the target emptied the list
    Keys({0x90, 66, 70});
    EXPECT_EQ(Play(1).size(), 1u); // forwarding is back
}

TEST_F(RecordingTest, RandomTakesKeepEveryNoteAndEveryKeptRecord)
{
    std::mt19937 random(7);
    RecordingTrack(1, 0);
    CRecordSettings settings;
    settings.quantizeGrid = 0;
    StartTake(settings, 0);
    std::vector<CNote> expected;
    tick now = 0;
    for (int i = 0; i < 200; ++i) {
        const auto key = static_cast<uint8_t>(random() % 128);
        const int on = static_cast<int>(random() % 5);
        const int length = 1 + static_cast<int>(random() % 7);
        Play(on);
        Keys({0x90, key, 99});
        Play(length);
        Keys({0x80, key, 0});
        expected.emplace_back(now + on, now + on + length, key, 99, 0);
        now += on + length;
    }
    std::vector<STake> takes = StopAndTakeClips();
    ASSERT_EQ(takes.size(), 1u);
    std::vector<CNote> notes = NotesOf(*takes[0].clip);
    std::stable_sort(expected.begin(), expected.end(),
                     [](const CNote& a, const CNote& b) { return a.m_start < b.m_start; });
    EXPECT_EQ(notes, expected);
    EXPECT_EQ(proxy.GetMailbox().GetDroppedCount(), 0u);
    proxy.RemoveClipPlayer(*takes[0].clip);
}

} // namespace

namespace {

TEST_F(RecordingTest, LiveThruReleasesHeldNotesOnFilterChangeAndDriverClose)
{
    CTrack& track = AddTrack(1, 4);
    track.SetInput(true);
    ASSERT_EQ(proxy.AddTrackPlayer(track), 1);
    const CNodeAddress rec{static_cast<uint16_t>(ENodeKind::RecordNode), 0};
    Keys({0x90, 60, 100});
    ASSERT_EQ(proxy.SetNodeParameter(rec, CInputFilterNode::kParamChannelFilter, 0), 1);
    Keys({0x91, 62, 100}); // filtered out on channel 0
    Keys({0x90, 64, 100});
    ASSERT_EQ(proxy.CloseInputDriver(0), 1);
    const std::vector<SHeard> heard = Play(4);
    EXPECT_EQ(
        std::count_if(heard.begin(), heard.end(), [](const SHeard& h) { return h.status == 0x94; }),
        2);
    EXPECT_TRUE(Hanging(heard).empty());
}

} // namespace

// A device that fails while recording ends every take as a stop would: the notes played so far
// (a held one ended at the fault) are handed over, whichever device it was.
TEST_F(RecordingTest, ADeviceFaultEndsTheTakesWithWhatWasPlayed)
{
    for (const bool output : {false, true}) {
        SCOPED_TRACE(output ? "output fails" : "input fails");
        RecordingTrack(output ? 2 : 1, 0);
        StartTake(CRecordSettings{}, 0);
        PlayNote(60, 0, 10);
        Play(5);
        Keys({0x90, 64, 90}); // still held when the device goes
        Play(5);
        backend.InjectFault(output, 0, "The device has gone.");
        engine.TimeoutPass();
        EXPECT_FALSE(proxy.IsRecording());
        std::vector<STake> takes = Takes();
        // Every armed track's take ends there (the first round's track is armed still).
        ASSERT_EQ(takes.size(), output ? 2u : 1u) << "the takes end at the fault, not at a stop";
        const std::vector<CNote> notes = NotesOf(*takes.back().clip);
        ASSERT_EQ(notes.size(), 2u);
        EXPECT_EQ(notes[0], CNote(0, 10, 60, 100, 30));
        EXPECT_EQ(notes[1].m_pitch, 64);
        EXPECT_GT(notes[1].m_end, notes[1].m_start);
        EXPECT_EQ(proxy.Stop(), 1);
        for (const STake& take : takes)
            proxy.RemoveClipPlayer(*take.clip);
        // The failed device back for the next round.
        ASSERT_EQ(output ? proxy.OpenOutputDriver(0) : proxy.OpenInputDriver(0), 1);
        const int routed = output ? proxy.RouteOutputPort(0, 0)
                                  : proxy.RouteInputPort(0, 0) & proxy.RouteRecordNode(0);
        ASSERT_EQ(routed, 1);
    }
}
