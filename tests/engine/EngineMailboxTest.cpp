#include "EngineFixture.h"

#include "engine/AutoResetEvent.h"
#include "engine/UiEventQueue.h"
#include "model/Clip.h"
#include "model/Phrase.h"
#include "model/Track.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <vector>

namespace {

TEST(EngineMailboxTest, DrainAppliesRecordsInPostingOrderAndPositionKeepsTheLatest)
{
    CEngineMailbox mailbox;
    CRecordingSink sink;
    mailbox.Post<CTransportNotification>(1, 12000);
    mailbox.Post<CMixerFeedbackNotification>(4, 0, 2, 64);
    mailbox.Post<CTransportNotification>(6, 1);
    mailbox.PostPosition(10);
    mailbox.PostPosition(20);
    EXPECT_EQ(mailbox.GetPendingCount(), 3u);
    EXPECT_EQ(mailbox.Drain(sink), 3u);
    EXPECT_EQ(sink.transport, (std::vector<std::pair<int32_t, int32_t>>{{1, 12000}, {6, 1}}));
    EXPECT_EQ(sink.mixer, (std::vector<std::vector<int32_t>>{{4, 0, 2, 64}}));
    int32_t position = 0;
    EXPECT_TRUE(mailbox.TakePosition(position));
    EXPECT_EQ(position, 20);
    EXPECT_FALSE(mailbox.TakePosition(position)); // taken
    EXPECT_EQ(mailbox.Drain(sink), 0u);
}

TEST(EngineMailboxTest, FullPoolDropsRecordsAndDrainingFreesThem)
{
    CEngineMailbox mailbox;
    for (size_t i = 0; i < CEngineMailbox::kPoolSize; ++i)
        ASSERT_TRUE(mailbox.Post<CTransportNotification>(1, static_cast<int32_t>(i)));
    EXPECT_FALSE(mailbox.Post<CTransportNotification>(1, -1));
    EXPECT_EQ(mailbox.GetDroppedCount(), 1u);
    CRecordingSink sink;
    EXPECT_EQ(mailbox.Drain(sink), CEngineMailbox::kPoolSize);
    EXPECT_EQ(sink.transport.back().second, static_cast<int32_t>(CEngineMailbox::kPoolSize - 1));
    EXPECT_TRUE(mailbox.Post<CTransportNotification>(1, 5)); // blocks came back

    mailbox.PostPosition(3);
    mailbox.Discard();
    int32_t position = 0;
    EXPECT_FALSE(mailbox.TakePosition(position));
    EXPECT_EQ(mailbox.GetPendingCount(), 0u);
}

TEST(EngineMailboxTest, AMutedMailboxLetsEveryPostGoUncounted)
{
    CEngineMailbox mailbox;
    mailbox.SetMuted(true);
    EXPECT_FALSE(mailbox.Post<CTransportNotification>(1, 12000));
    mailbox.PostKept<CTransportNotification>(6, 1);
    mailbox.PostPosition(10);
    mailbox.PostTempo(12000);
    CRecordingSink sink;
    EXPECT_EQ(mailbox.Drain(sink), 0u);
    EXPECT_TRUE(sink.transport.empty());
    int32_t position = 0;
    EXPECT_FALSE(mailbox.TakePosition(position));
    EXPECT_EQ(mailbox.GetDroppedCount(), 0u);

    mailbox.SetMuted(false);
    EXPECT_TRUE(mailbox.Post<CTransportNotification>(1, 9000));
    EXPECT_EQ(mailbox.Drain(sink), 1u);
}

class EngineMailboxEngineTest : public EngineFixture {};

TEST_F(EngineMailboxEngineTest, NothingThatCarriesStateIsLostBetweenDrains)
{
    ASSERT_EQ(proxy.Initialise(false), 1);
    CEngineMailbox& mailbox = proxy.GetMailbox();
    CRecordingSink sink;
    mailbox.Drain(sink);
    sink.transport.clear();
    // Tempo changes are values: however many, the drain gives the latest one.
    for (int32_t tempo = 1000; tempo < 6000; ++tempo)
        ASSERT_EQ(proxy.SetTempo(tempo), 1);
    // Play-state changes (and whatever else commands make the engine post) are kept, all of
    // them in order, far beyond the first pool, with mixer feedback in between.
    std::mt19937 random(11);
    std::vector<std::pair<int32_t, int32_t>> expected = {{1, 5999}};
    size_t feedback = 0;
    for (int i = 0; i < 12000; ++i) {
        if (random() % 3 == 0) {
            ASSERT_TRUE(mailbox.Post<CMixerFeedbackNotification>(1, 0, 1, i % 128));
            ++feedback;
            continue;
        }
        const bool play = !engine.IsPlaying();
        ASSERT_EQ(play ? proxy.Play() : proxy.Stop(), 1);
        expected.emplace_back(CTransportNotification::kPlayState, play ? 1 : 0);
    }
    EXPECT_EQ(mailbox.GetDroppedCount(), 0u);
    EXPECT_GT(mailbox.GetPoolSize(), CEngineMailbox::kPoolSize);
    mailbox.Drain(sink);
    EXPECT_EQ(sink.transport, expected);
    EXPECT_EQ(sink.mixer.size(), feedback);
}

TEST(EngineMailboxTest, SlotTablesReuseTheFirstEmptyEntry)
{
    CEngineMailbox mailbox;
    auto& tracks = mailbox.Tracks();
    CTrack a, b, c, d;
    EXPECT_EQ(tracks.Register(a), 0);
    EXPECT_EQ(tracks.Register(b), 1);
    EXPECT_EQ(tracks.Register(c), 2);
    EXPECT_EQ(tracks.Register(b), 1); // already registered
    tracks.Unregister(b);
    EXPECT_EQ(b.GetPlayerSlot(), -1);
    EXPECT_EQ(tracks.GetObject(1), nullptr);
    tracks.Unregister(b); // not registered: nothing happens
    EXPECT_EQ(tracks.Register(d), 1);
    EXPECT_EQ(d.GetPlayerSlot(), 1);
    EXPECT_EQ(tracks.GetObject(1), &d);
    const CTrackPlayState* state = tracks.GetState(1);
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->volume, 127);
    EXPECT_EQ(state->pan, 64);
    EXPECT_EQ(state->reverb, 0);
    EXPECT_EQ(state->chorus, 0);
    EXPECT_EQ(tracks.GetState(7), nullptr);

    CPhrase phrase;
    CClip clip;
    EXPECT_EQ(mailbox.Phrases().Register(phrase), 0);
    EXPECT_EQ(mailbox.Clips().Register(clip), 0);
    tracks.Clear();
    EXPECT_EQ(a.GetPlayerSlot(), -1);
    EXPECT_EQ(d.GetPlayerSlot(), -1);
    EXPECT_EQ(tracks.GetCount(), 0);
    EXPECT_EQ(tracks.Register(c), 0);
}

// Against a plain first-empty scan, over random registrations and releases (the table keeps a
// hint of the lowest free entry so that registering many clips stays linear).
TEST(EngineMailboxTest, SlotTablesTakeTheLowestEmptyEntryAfterAnyRelease)
{
    CEngineMailbox mailbox;
    auto& clips = mailbox.Clips();
    std::vector<CClip> objects(40);
    std::vector<CClip*> model; // entry i -> object, as a plain scan would keep it
    std::mt19937 random(5);
    for (int step = 0; step < 2000; ++step) {
        CClip& clip = objects[random() % objects.size()];
        if (clip.GetPlayerSlot() < 0) {
            const auto free = std::find(model.begin(), model.end(), nullptr);
            const auto expected = static_cast<int32_t>(free - model.begin());
            if (free == model.end()) model.push_back(nullptr);
            model[static_cast<std::size_t>(expected)] = &clip;
            ASSERT_EQ(clips.Register(clip), expected);
        } else {
            model[static_cast<std::size_t>(clip.GetPlayerSlot())] = nullptr;
            clips.Unregister(clip);
        }
    }
    clips.Clear();
}

TEST(UiEventQueueTest, DrainsInArrivalOrderAndRefusesWhenFull)
{
    CUiEventQueue queue;
    for (size_t i = 0; i < CUiEventQueue::kCapacity; ++i)
        ASSERT_TRUE(queue.Push({static_cast<int32_t>(i), 0xB0, 7, 1}));
    EXPECT_FALSE(queue.Push({-1, 0xB0, 7, 1}));
    std::vector<int32_t> order;
    queue.Drain([&](const CUiEvent& event) { order.push_back(event.trackId); });
    ASSERT_EQ(order.size(), CUiEventQueue::kCapacity);
    for (size_t i = 0; i < order.size(); ++i)
        ASSERT_EQ(order[i], static_cast<int32_t>(i));
    EXPECT_EQ(queue.GetCount(), 0u);
    EXPECT_TRUE(queue.Push({9, 0xB0, 10, 64})); // wraps around the ring
    queue.Drain([&](const CUiEvent& event) { order.push_back(event.trackId); });
    EXPECT_EQ(order.back(), 9);
}

TEST(AutoResetEventTest, WaitAnyTakesTheFirstSignalledEventOnce)
{
    CEventGroup group;
    CAutoResetEvent first(group), second(group);
    second.Set();
    first.Set();
    EXPECT_EQ(CAutoResetEvent::WaitAny({&first, &second}, std::chrono::microseconds(0)), 0);
    EXPECT_EQ(CAutoResetEvent::WaitAny({&first, &second}, std::chrono::microseconds(0)), 1);
    EXPECT_EQ(CAutoResetEvent::WaitAny({&first, &second}, std::chrono::microseconds(0)),
              CAutoResetEvent::kTimedOut);
    second.Set();
    second.Reset();
    EXPECT_EQ(CAutoResetEvent::WaitAny({&second}, std::chrono::microseconds(0)),
              CAutoResetEvent::kTimedOut);
}

} // namespace
