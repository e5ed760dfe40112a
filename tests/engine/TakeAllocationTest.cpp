// Recording on the engine's side never allocates: every path that opens, fills or closes a take
// (start, a long take that moves on to fresh clips, locate, loop wrap, record-enable changes,
// stop) runs with allocation counted, the way the music thread runs it. And whatever happens to
// the takes, every note played into a recording Track ends up in exactly one committed clip.

#include "EngineFixture.h"

#include "devices/MidiMsg.h"
#include "engine/PlayControl.h"
#include "engine/RecordSettings.h"
#include "engine/RecordingNotifications.h"
#include "engine/SequencerClock.h"
#include "engine/TrackPlayer.h"
#include "model/Clip.h"
#include "model/Track.h"

#include <atomic>
#include <cstdlib>
#include <functional>
#include <map>
#include <new>
#include <random>
#include <tuple>

// ---- Allocation counting: every operator new of this program, counted while a guard is up ----

namespace {
std::atomic<int64_t> g_allocations{0};
thread_local bool t_counting = false;

void* Allocate(std::size_t size, std::size_t alignment = 0)
{
    if (t_counting) g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (size == 0) size = 1;
    void* p = nullptr;
    if (alignment > alignof(std::max_align_t)) {
        if (posix_memalign(&p, alignment, size) != 0) p = nullptr;
    } else {
        p = std::malloc(size);
    }
    return p;
}

void* AllocateOrThrow(std::size_t size, std::size_t alignment = 0)
{
    if (void* p = Allocate(size, alignment)) return p;
    throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t size)
{
    return AllocateOrThrow(size);
}
void* operator new[](std::size_t size)
{
    return AllocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return Allocate(size);
}
void* operator new(std::size_t size, std::align_val_t al)
{
    return AllocateOrThrow(size, static_cast<std::size_t>(al));
}
void* operator new[](std::size_t size, std::align_val_t al)
{
    return AllocateOrThrow(size, static_cast<std::size_t>(al));
}
void* operator new(std::size_t size, std::align_val_t al, const std::nothrow_t&) noexcept
{
    return Allocate(size, static_cast<std::size_t>(al));
}
void* operator new[](std::size_t size, std::align_val_t al, const std::nothrow_t&) noexcept
{
    return Allocate(size, static_cast<std::size_t>(al));
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept
{
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}

namespace {

// Runs f as the music thread would (the message pool refuses to grow) and returns how many
// allocations it made.
int64_t AllocationsOf(const std::function<void()>& f)
{
    const int64_t before = g_allocations.load();
    CMidiMsgPool::MarkRealTimeThread(true);
    t_counting = true;
    f();
    t_counting = false;
    CMidiMsgPool::MarkRealTimeThread(false);
    return g_allocations.load() - before;
}

constexpr CNodeAddress kClock{static_cast<uint16_t>(ENodeKind::SequencerClock), 0};
constexpr CNodeAddress kControl{static_cast<uint16_t>(ENodeKind::PlayControl), 0};

// Commits every finished take to its Track, as the main frame does, and keeps count.
class CCommittingSink : public CEngineNotificationSink {
public:
    CCommittingSink(CMidiEngineProxy& proxy, std::map<int32_t, CTrack*>& tracks)
        : m_proxy(proxy), m_tracks(tracks)
    {}
    void OnRecordingFinished(int32_t trackId, int32_t, std::unique_ptr<CClip> clip) override
    {
        ++finished;
        if (!clip) return;
        CTrack& track = *m_tracks.at(trackId);
        CClip& added = track.GetClipAt(track.AddClip(std::move(clip)));
        EXPECT_EQ(m_proxy.CommitRecordedClip(added, track, added.GetStart()), 1);
        ++committed;
    }
    void OnTakeDropped(int32_t, int32_t, int32_t) override { ++dropped; }

    int finished = 0;
    int committed = 0;
    int dropped = 0;

private:
    CMidiEngineProxy& m_proxy;
    std::map<int32_t, CTrack*>& m_tracks;
};

// One note as the test expects it in the committed clips: song ticks, key, velocities.
using SSongNote = std::tuple<int32_t, tick, tick, int, int, int>; // track, start, end, key, on, off

class TakeAllocationTest : public EngineFixture {
protected:
    TakeAllocationTest()
    {
        // No output is open: what is measured is the engine, not a device's capture list.
        EXPECT_EQ(proxy.Initialise(false), 1);
        EXPECT_EQ(proxy.OpenInputDriver(0), 1);
        EXPECT_EQ(proxy.RouteRecordNode(0), 1);
    }

    CTrack& RecordingTrack(int32_t id)
    {
        CTrack& track = Keep(std::make_unique<CTrack>());
        track.SetId(id);
        track.SetInput(true);
        track.SetRecord(true);
        EXPECT_EQ(proxy.AddTrackPlayer(track), 1);
        tracks[id] = &track;
        return track;
    }

    // The UI side between two engine steps: a drain (which commits takes and tops the kits up).
    void UiVisit() { proxy.GetMailbox().Drain(sink); }

    // A command as the music thread runs it, counted; the UI side's top-up comes first, as the
    // proxy does before every command.
    int64_t Command(const CEngineCommand& command)
    {
        proxy.GetMailbox().GrowIfLow();
        CMidiMsgPool::Instance().Replenish();
        proxy.TopUpTakes();
        return AllocationsOf([&] { EXPECT_EQ(engine.RunCommand(command), 1); });
    }
    int64_t Clock(int32_t code, int64_t value)
    {
        return Command(CEngineCommand(EEngineCommand::SetNodeParameter, kClock,
                                      static_cast<int64_t>(code), value, int64_t{0}));
    }
    int64_t Switch(bool on)
    {
        return Command(CEngineCommand(EEngineCommand::SetNodeParameter, kControl,
                                      static_cast<int64_t>(CPlayControl::kRecording),
                                      int64_t{on ? 1 : 0}, int64_t{0}));
    }
    int64_t RecordEnable(CTrack& track, bool on)
    {
        return Command(CEngineCommand(EEngineCommand::SetTrackProperty, &track, int64_t{109},
                                      int64_t{on ? 1 : 0}));
    }

    // Input bytes arrive (the input thread's part is not counted) and the engine polls them.
    int64_t Input(const std::vector<uint8_t>& bytes)
    {
        EXPECT_TRUE(backend.InjectInput(0, bytes, 4000000));
        return AllocationsOf([&] { engine.PollInputs(); });
    }
    void Keys(bool on, uint8_t key, uint8_t velocity)
    {
        Input({static_cast<uint8_t>(on ? 0x90 : 0x80), key, velocity});
    }
    int64_t Ticks(int64_t count)
    {
        const CSequencerClock& clock = engine.GetClock();
        backend.SetTime(clock.GetLastTickTime() + count * clock.GetTickPeriod() - kLookAhead);
        return AllocationsOf([&] { engine.ClockPass(backend.GetMasterTime()); });
    }

    // Every note of every clip on the tracks, in song ticks.
    std::vector<SSongNote> CommittedNotes() const
    {
        std::vector<SSongNote> notes;
        for (const auto& [id, track] : tracks)
            for (int32_t c = 0; c < track->GetClipCount(); ++c) {
                const CClip& clip = track->GetClipAt(c);
                for (const CNote& n : clip.GetNotes())
                    notes.emplace_back(id, clip.GetStart() + n.m_start, clip.GetStart() + n.m_end,
                                       n.m_pitch, n.m_velocity, n.m_offVelocity);
            }
        std::sort(notes.begin(), notes.end());
        return notes;
    }

    std::map<int32_t, CTrack*> tracks;
    CCommittingSink sink{proxy, tracks};
};

TEST_F(TakeAllocationTest, NoTakePathAllocatesOnTheEngineSide)
{
    CTrack& first = RecordingTrack(1);
    RecordingTrack(2);
    ASSERT_EQ(proxy.SetLoop(true, 0, 1 << 20), 1);
    struct SStep {
        const char* name;
        std::function<int64_t()> run;
    };
    // Enough chords to fill more than one take's Clip, so takes move on to fresh ones; one note
    // is held across all of it.
    auto longTake = [&] {
        int64_t count = Input({0x90, 1, 77});
        for (int i = 0; i < STakeKit::kNoteCapacity / 8 * 2; ++i) {
            std::vector<uint8_t> on, off;
            for (uint8_t k = 0; k < 8; ++k) {
                on.insert(on.end(), {0x90, static_cast<uint8_t>(40 + k), 90});
                off.insert(off.end(), {0x80, static_cast<uint8_t>(40 + k), 0});
            }
            count += Input(on) + Ticks(1) + Input(off) + Input({0xB0, 1, uint8_t(i % 128)});
            count += Ticks(1);
            if (i % 64 == 0) UiVisit();
        }
        return count + Input({0x80, 1, 0});
    };
    const SStep steps[] = {
        {"switch on", [&] { return Switch(true); }},
        {"play starts the takes", [&] { return Clock(CSequencerClock::kPlay, 1); }},
        {"notes and events",
         [&] {
             return Input({0x90, 60, 100, 0xB0, 7, 90}) + Ticks(3);
         }},
        {"releases",
         [&] {
             return Input({0x80, 60, 0}) + Ticks(2);
         }},
        {"locate restarts", [&] { return Clock(CSequencerClock::kPosition, 5000); }},
        {"record disable finishes", [&] { return RecordEnable(first, false); }},
        {"record enable starts", [&] { return RecordEnable(first, true); }},
        {"a long take", longTake},
        {"loop wrap",
         [&] {
             return Clock(CSequencerClock::kLoopEnd, engine.GetPosition() + 10) +
                    Input({0x90, 62, 1}) + Ticks(20);
         }},
        {"switch off finishes", [&] { return Switch(false); }},
        {"switch on while playing", [&] { return Switch(true) + Ticks(1); }},
        {"stop finishes",
         [&] {
             return Input({0x90, 64, 9}) + Clock(CSequencerClock::kPlay, 0);
         }},
    };
    for (const SStep& step : steps) {
        UiVisit();
        EXPECT_EQ(step.run(), 0) << step.name;
    }
    UiVisit();
    EXPECT_EQ(sink.dropped, 0);
    EXPECT_EQ(engine.GetDroppedTakeCount(), 0);
    for (const int32_t id : {1, 2})
        EXPECT_EQ(engine.FindTrackPlayer(id)->GetRecorder().GetLostCount(), 0);
    // The long take went on in fresh clips: every chord note is there once, and the note held
    // throughout is one note, from its first tick to its release.
    const std::vector<SSongNote> notes = CommittedNotes();
    const auto chordNotes = std::count_if(notes.begin(), notes.end(), [](const SSongNote& n) {
        return std::get<3>(n) >= 40 && std::get<3>(n) < 48;
    });
    EXPECT_EQ(chordNotes, 2 * 8 * (STakeKit::kNoteCapacity / 8 * 2));
    const auto longNotes = std::count_if(notes.begin(), notes.end(), [](const SSongNote& n) {
        const tick length = std::get<2>(n) - std::get<1>(n);
        return std::get<3>(n) == 1 && length == 2 * (STakeKit::kNoteCapacity / 8 * 2);
    });
    EXPECT_EQ(longNotes, 2);
    EXPECT_GT(sink.committed, 8);
    EXPECT_EQ(proxy.GetMailbox().GetDroppedCount(), 0u);
}

TEST_F(TakeAllocationTest, AnEmptyPoolDropsTheTakeAndTheNextVisitRefillsIt)
{
    RecordingTrack(1);
    ASSERT_EQ(proxy.SetLoop(true, 0, 8), 1);
    ASSERT_EQ(proxy.SetRecording(true), 1);
    ASSERT_EQ(proxy.Play(), 1);
    ASSERT_TRUE(engine.FindTrackPlayer(1)->IsRecording());
    while (engine.GetTakePool().Take() != nullptr) {
    }
    // The wrap finds no kit: the finished take still goes out, the new one is dropped and said so.
    EXPECT_EQ(Input({0x90, 60, 100}) + Ticks(8) + Input({0x90, 61, 100}), 0);
    EXPECT_FALSE(engine.FindTrackPlayer(1)->IsRecording());
    EXPECT_EQ(engine.GetDroppedTakeCount(), 1);
    EXPECT_GE(engine.GetTakePool().GetShortCount(), 1);
    UiVisit();
    EXPECT_EQ(sink.dropped, 1);
    EXPECT_EQ(sink.committed, 1);
    // The drain topped the pool up: the next wrap records again.
    EXPECT_EQ(Ticks(8) + Input({0x90, 62, 100}) + Ticks(1), 0);
    EXPECT_TRUE(engine.FindTrackPlayer(1)->IsRecording());
    ASSERT_EQ(proxy.Stop(), 1);
    UiVisit();
    std::vector<int> keys;
    for (const SSongNote& n : CommittedNotes())
        keys.push_back(std::get<3>(n));
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, (std::vector<int>{60, 62}));
}

TEST_F(TakeAllocationTest, AFullClipWithNoKitToGoOnInCountsWhatItLoses)
{
    RecordingTrack(1);
    ASSERT_EQ(proxy.SetRecording(true), 1);
    ASSERT_EQ(proxy.Play(), 1);
    while (engine.GetTakePool().Take() != nullptr) {
    }
    const int chords = STakeKit::kNoteCapacity / 8 + 10;
    int64_t allocations = 0;
    for (int i = 0; i < chords; ++i) {
        std::vector<uint8_t> bytes;
        for (uint8_t k = 0; k < 8; ++k)
            bytes.insert(bytes.end(), {0x90, static_cast<uint8_t>(40 + k), 90});
        for (uint8_t k = 0; k < 8; ++k)
            bytes.insert(bytes.end(), {0x80, static_cast<uint8_t>(40 + k), 0});
        allocations += Input(bytes) + Ticks(1);
    }
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(engine.FindTrackPlayer(1)->GetRecorder().GetLostCount(), 80);
    ASSERT_EQ(proxy.Stop(), 1);
    UiVisit();
    EXPECT_EQ(CommittedNotes().size(), static_cast<size_t>(STakeKit::kNoteCapacity));
}

TEST_F(TakeAllocationTest, RandomSessionsCommitEveryPlayedNoteExactlyOnce)
{
    for (const uint32_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
        CTrack& a = RecordingTrack(static_cast<int32_t>(seed * 10 + 1));
        CTrack& b = RecordingTrack(static_cast<int32_t>(seed * 10 + 2));
        CRecordSettings settings;
        settings.clipSnapGrid = static_cast<int32_t>(random() % 3) * 96;
        ASSERT_EQ(proxy.SetRecordSettings(settings), 1);
        const tick loopStart = 100;
        const tick loopEnd = 100 + 40 + static_cast<tick>(random() % 200);
        ASSERT_EQ(proxy.SetLoop(chance(50), loopStart, loopEnd), 1);

        // The model: what the Tracks should record, worked out from the transport alone.
        bool playing = false;
        bool switchOn = false;
        std::map<CTrack*, bool> enabled{{&a, true}, {&b, true}};
        std::map<CTrack*, std::map<int, std::vector<std::pair<tick, int>>>> held;
        std::vector<SSongNote> expected;
        auto recording = [&](CTrack* t) { return playing && switchOn && enabled[t]; };
        auto endTake = [&](CTrack* t, tick at) {
            for (auto& [key, opens] : held[t])
                for (const auto& [start, velocity] : opens)
                    expected.emplace_back(t->GetId(), start, at, key, velocity, 127);
            held[t].clear();
        };
        auto endAll = [&](tick at) {
            for (CTrack* t : {&a, &b})
                if (recording(t)) endTake(t, at);
        };

        for (int step = 0; step < 400; ++step) {
            const int what = static_cast<int>(random() % 100);
            const tick now = engine.GetPosition();
            if (what < 40) {
                const auto key = static_cast<uint8_t>(48 + random() % 12);
                const bool on = chance(55);
                const auto velocity = static_cast<uint8_t>(1 + random() % 127);
                Keys(on, key, velocity);
                for (CTrack* t : {&a, &b}) {
                    if (!recording(t)) continue;
                    auto& opens = held[t][key];
                    if (on) {
                        opens.emplace_back(now, velocity);
                    } else if (!opens.empty()) {
                        expected.emplace_back(t->GetId(), opens.front().first, now, key,
                                              opens.front().second, velocity);
                        opens.erase(opens.begin());
                    }
                }
            } else if (what < 75) {
                if (!playing) continue;
                const int count = 1 + static_cast<int>(random() % 30);
                for (int i = 0; i < count && playing; ++i) {
                    const tick at = engine.GetPosition();
                    RunTicks(1);
                    if (engine.GetPosition() != at + 1) endAll(at + 1); // wrapped
                }
            } else if (what < 82) {
                const tick to = static_cast<tick>(random() % 1000);
                endAll(now);
                ASSERT_EQ(proxy.Locate(to), 1);
            } else if (what < 88) {
                if (playing) {
                    endAll(now);
                    switchOn = false; // stopping ends recording
                }
                playing = !playing;
                ASSERT_EQ(playing ? proxy.Play() : proxy.Stop(), 1);
            } else if (what < 94) {
                endAll(now);
                switchOn = !switchOn;
                ASSERT_EQ(proxy.SetRecording(switchOn), 1);
            } else {
                CTrack* t = chance(50) ? &a : &b;
                if (recording(t)) endTake(t, now);
                enabled[t] = !enabled[t];
                t->SetRecord(enabled[t]);
                ASSERT_EQ(proxy.SetTrackProperty(*t, 109, enabled[t] ? 1 : 0), 1);
            }
            for (CTrack* t : {&a, &b})
                ASSERT_EQ(engine.FindTrackPlayer(t->GetId())->IsRecording(), recording(t)) << step;
            if (chance(20)) UiVisit();
        }
        if (playing) {
            endAll(engine.GetPosition());
            ASSERT_EQ(proxy.Stop(), 1);
        }
        UiVisit();
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(CommittedNotes(), expected);
        EXPECT_EQ(engine.GetDroppedTakeCount(), 0);
        for (CTrack* t : {&a, &b}) {
            // Every take was committed: its player moved to the ordinary clip players.
            for (int32_t c = 0; c < t->GetClipCount(); ++c) {
                EXPECT_EQ(engine.FindRecordedClipPlayer(&t->GetClipAt(c)), nullptr);
                EXPECT_NE(engine.FindClipPlayer(&t->GetClipAt(c)), nullptr);
            }
            ASSERT_EQ(proxy.RemoveTrackPlayer(*t), 1);
            tracks.erase(t->GetId());
        }
    }
}

} // namespace
