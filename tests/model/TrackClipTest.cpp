#include "model/Clip.h"
#include "model/Errors.h"
#include "model/Properties.h"
#include "model/Track.h"
#include "model/TrackList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

static CNote Note(tick start, tick end)
{
    return CNote(start, end, 60, 100, 64);
}

static CMidiEvent Controller(tick time)
{
    return CMidiEvent(time, 0xB0, 1, 64);
}

static std::unique_ptr<CClip> MakeClip(tick start, tick end, const char* name = "")
{
    return std::make_unique<CClip>(start, end, name, 0);
}

static std::unique_ptr<CTrack> MakeTrack(const char* name, tick clipStart, tick clipEnd)
{
    auto track = std::make_unique<CTrack>();
    track->SetName(name);
    track->AddClip(MakeClip(clipStart, clipEnd));
    return track;
}

TEST(Clip, CopiesKeepTimelinePlaceButNotIdentity)
{
    CClip clip(96, 480, "Verse", 0x00AA00);
    EXPECT_EQ(clip.GetLength(), 384);
    EXPECT_EQ(clip.GetMiddle(), 288);
    clip.SetId(9);
    clip.SetPlayerSlot(4);
    clip.GetNotes().Insert(Note(0, 10));

    const CClip copy(clip);
    EXPECT_EQ(copy.GetStart(), 96);
    EXPECT_EQ(copy.GetEnd(), 480);
    EXPECT_EQ(copy.GetNotes().GetCount(), 1);
    EXPECT_EQ(copy.GetId(), 0);
    EXPECT_EQ(copy.GetPlayerSlot(), -1);

    CClip target;
    target.SetId(3);
    target.CopyDataAndStart(clip);
    EXPECT_EQ(target.GetEnd(), 480);
    EXPECT_EQ(target.GetId(), 3);
    target.MoveBy(-96);
    EXPECT_EQ(target.GetStart(), 0);
    EXPECT_EQ(target.GetNotes()[0], Note(0, 10)); // content travels with the clip
}

TEST(Clip, SetStartKeepsContentInPlaceOnTheTimeline)
{
    CClip clip(100, 500, "", 0);
    clip.GetNotes().Insert(Note(0, 50));   // song 100..150: entirely before the new start
    clip.GetNotes().Insert(Note(80, 150)); // song 180..250: straddles song 200
    clip.GetNotes().Insert(Note(200, 300));
    clip.GetEvents().Insert(Controller(99));
    clip.GetEvents().Insert(Controller(100));
    clip.SetStart(200);
    EXPECT_EQ(clip.GetStart(), 200);
    EXPECT_EQ(clip.GetEnd(), 500);
    ASSERT_EQ(clip.GetNotes().GetCount(), 2);
    EXPECT_EQ(clip.GetNotes()[0], Note(0, 50));
    EXPECT_EQ(clip.GetNotes()[1], Note(100, 200));
    ASSERT_EQ(clip.GetEvents().GetCount(), 1);
    EXPECT_EQ(clip.GetEvents()[0].m_time, 0);

    clip.SetStart(150); // earlier: empty space in front, content later by the same amount
    EXPECT_EQ(clip.GetEnd(), 500);
    EXPECT_EQ(clip.GetNotes()[0], Note(50, 100));
    EXPECT_EQ(clip.GetEvents()[0].m_time, 50);
}

TEST(Clip, TrimsNeverLeaveANegativeLength)
{
    CClip clip(100, 200, "", 0);
    clip.GetNotes().Insert(Note(10, 90));
    clip.GetEvents().Insert(Controller(50));
    clip.TrimStartTo(50); // before the start and after the end: nothing to trim
    clip.TrimEndTo(300);
    EXPECT_EQ(clip.GetStart(), 100);
    EXPECT_EQ(clip.GetLength(), 100);

    clip.TrimEndTo(150);
    EXPECT_EQ(clip.GetLength(), 50);
    EXPECT_EQ(clip.GetNotes()[0], Note(10, 50));
    EXPECT_EQ(clip.GetEvents().GetCount(), 0); // an event at the new end is dropped

    clip.TrimEndTo(40);
    EXPECT_EQ(clip.GetLength(), 0);
    EXPECT_EQ(clip.GetNotes().GetCount(), 0);

    CClip late(100, 200, "", 0);
    late.GetNotes().Insert(Note(0, 100));
    late.GetEvents().Insert(Controller(99));
    late.TrimStartTo(260);
    EXPECT_EQ(late.GetStart(), 260);
    EXPECT_EQ(late.GetLength(), 0);
    EXPECT_EQ(late.GetNotes().GetCount() + late.GetEvents().GetCount(), 0);
}

TEST(Clip, MergeKeepsBothContentsAtTheirSongPositions)
{
    CClip a(100, 200, "A", 0);
    a.GetNotes().Insert(Note(0, 10));
    CClip b(150, 400, "B", 0);
    b.GetNotes().Insert(Note(0, 10));
    b.GetEvents().Insert(Controller(20));
    a.MergeFrom(b);
    EXPECT_EQ(a.GetStart(), 100);
    EXPECT_EQ(a.GetEnd(), 400);
    ASSERT_EQ(a.GetNotes().GetCount(), 2);
    EXPECT_EQ(a.GetNotes()[1], Note(50, 60));
    EXPECT_EQ(a.GetEvents()[0].m_time, 70);
    EXPECT_EQ(b.GetNotes()[0], Note(0, 10)); // the other clip is left as it was

    // The other clip starts first: this clip moves its start back and its content later.
    CClip c(300, 350, "C", 0);
    c.GetNotes().Insert(Note(0, 10));
    c.MergeFrom(CClip(100, 200, "D", 0));
    EXPECT_EQ(c.GetStart(), 100);
    EXPECT_EQ(c.GetEnd(), 350);
    EXPECT_EQ(c.GetNotes()[0], Note(200, 210));
    EXPECT_EQ(c.GetName(), "C");
}

TEST(Clip, TimesSaturateAtTheEndsOfTheTickRange)
{
    // A loaded clip may hold any start and length; its end must not wrap to a negative tick.
    CClip clip(INT32_MAX - 10, INT32_MAX, "", 0);
    clip.SetLength(100);
    EXPECT_EQ(clip.GetEnd(), INT32_MAX);
    EXPECT_EQ(clip.GetMiddle(), INT32_MAX);
    clip.MoveBy(100);
    EXPECT_EQ(clip.GetStart(), INT32_MAX);

    CTrack track;
    track.AddClip(std::make_unique<CClip>(clip));
    EXPECT_EQ(track.GetEnd(), INT32_MAX);

    EXPECT_EQ(CClip(INT32_MIN, INT32_MAX, "", 0).GetLength(), INT32_MAX);
    CClip early(INT32_MIN, INT32_MIN + 10, "", 0);
    early.TrimEndTo(INT32_MIN + 5);
    EXPECT_EQ(early.GetLength(), 5);
    early.MergeFrom(CClip(INT32_MAX - 10, INT32_MAX, "", 0));
    EXPECT_EQ(early.GetStart(), INT32_MIN);
    EXPECT_EQ(early.GetLength(), INT32_MAX);

    EXPECT_EQ(CNote(INT32_MIN, INT32_MAX, 60, 100, 64).GetLength(), INT32_MAX);
}

TEST(Track, AddClipPlacesAfterEqualStartsAndKeepsTheEnd)
{
    CTrack track;
    EXPECT_EQ(track.GetEnd(), 0);
    EXPECT_EQ(track.AddClip(MakeClip(100, 900, "first")), 0);
    EXPECT_EQ(track.AddClip(MakeClip(300, 400, "last")), 1);
    EXPECT_EQ(track.AddClip(MakeClip(100, 150, "second")), 1);
    EXPECT_EQ(track.AddClip(MakeClip(0, 50, "zero")), 0);
    EXPECT_EQ(track.GetClipAt(2).GetName(), "second");
    EXPECT_EQ(track.GetClipAt(3).GetName(), "last");
    EXPECT_EQ(track.GetEnd(), 900);

    track.RemoveClipAt(1);
    EXPECT_EQ(track.GetEnd(), 400); // the longest clip gone: the next one decides
    track.InsertClipAt(3, MakeClip(0, 1000));
    EXPECT_EQ(track.GetEnd(), 1000);
    while (track.GetClipCount() > 0)
        track.RemoveClipAt(0);
    EXPECT_EQ(track.GetEnd(), 0);

    track.AddClip(MakeClip(0, 100));
    track.GetClipAt(0).MoveBy(50);
    track.RecomputeEnd();
    EXPECT_EQ(track.GetEnd(), 150);
}

TEST(Track, ClipIndexesAreCheckedAndRemovalHandsOverOwnership)
{
    CTrack track;
    auto owned = MakeClip(0, 100);
    CClip* clip = owned.get();
    track.AddClip(std::move(owned));
    track.AddClip(MakeClip(200, 300));
    EXPECT_THROW(track.GetClipAt(2), CInvalidArgument);
    EXPECT_THROW(track.GetClipAt(-1), CInvalidArgument);
    EXPECT_THROW(track.RemoveClipAt(2), CInvalidArgument);
    EXPECT_THROW(track.InsertClipAt(3, MakeClip(0, 1)), CInvalidArgument);
    EXPECT_THROW(track.InsertClipAt(0, nullptr), CInvalidArgument);
    EXPECT_THROW(track.AddClip(nullptr), CInvalidArgument);
    EXPECT_EQ(track.GetClipCount(), 2);

    const CClip stranger(0, 100, "", 0);
    EXPECT_EQ(track.RemoveClip(&stranger).first, -1);
    auto [index, removed] = track.RemoveClip(clip);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(removed.get(), clip);
    EXPECT_EQ(track.GetEnd(), 300);
}

TEST(Track, ClipAtTreatsEndsAsExclusiveAndPrefersTheEarlierClip)
{
    CTrack track;
    track.AddClip(MakeClip(0, 100, "a"));
    track.AddClip(MakeClip(100, 200, "b"));
    EXPECT_EQ(track.ClipAt(99)->GetName(), "a");
    EXPECT_EQ(track.ClipAt(100)->GetName(), "b");
    EXPECT_EQ(track.ClipAt(200), nullptr);

    // Overlap: the earlier start wins, however far back it lies.
    track.AddClip(MakeClip(150, 300, "late"));
    track.AddClip(MakeClip(120, 300, "early"));
    EXPECT_EQ(track.ClipAt(160)->GetName(), "b");
    EXPECT_EQ(track.ClipAt(250)->GetName(), "early");
    track.AddClip(MakeClip(0, 1000, "long"));
    EXPECT_EQ(track.ClipAt(50)->GetName(), "a");
    EXPECT_EQ(track.ClipAt(250)->GetName(), "long");
    EXPECT_EQ(track.ClipAt(999)->GetName(), "long");
}

TEST(TrackList, IndexesAndSongEnd)
{
    CTrackList list;
    EXPECT_EQ(list.GetAt(0), nullptr);
    EXPECT_EQ(list.GetSongEnd(), 0);
    EXPECT_THROW(list.RemoveAt(-1), CInvalidArgument);

    list.InsertAt(-1, MakeTrack("one", 0, 300));
    list.InsertAt(1, MakeTrack("three", 100, 700)); // index == count appends
    list.InsertAt(1, MakeTrack("two", 0, 10));
    EXPECT_THROW(list.InsertAt(4, std::make_unique<CTrack>()), CInvalidArgument);
    EXPECT_THROW(list.InsertAt(-2, std::make_unique<CTrack>()), CInvalidArgument);
    EXPECT_THROW(list.InsertAt(0, nullptr), CInvalidArgument);
    ASSERT_EQ(list.GetCount(), 3);
    EXPECT_EQ(list.GetAt(1)->GetName(), "two");
    EXPECT_EQ(list.GetAt(3), nullptr);
    EXPECT_EQ(list.GetAt(-1), nullptr);
    EXPECT_EQ(list.IndexOfTrackWithClip(&list.GetAt(2)->GetClipAt(0)), 2);
    const CClip stranger;
    EXPECT_EQ(list.IndexOfTrackWithClip(&stranger), -1);
    EXPECT_EQ(list.GetSongEnd(), 700);

    EXPECT_EQ(list.RemoveAt(-1)->GetName(), "three");
    EXPECT_EQ(list.GetSongEnd(), 300);
    EXPECT_THROW(list.RemoveAt(2), CInvalidArgument);
    EXPECT_EQ(list.RemoveAt(0)->GetName(), "one");
}

TEST(TrackProperties, DefaultsAndEveryNumberRoundTrip)
{
    CTrack track;
    const int64_t port0 = PackNodeAddress({CNodeAddress::kKindOutputPort, 0});
    const std::pair<int32_t, int64_t> defaults[] = {
        {1, 0},   {2, 0},   {101, port0}, {102, 0},        {103, 0},
        {104, 0}, {105, 0}, {106, 0},     {107, 127 << 8}, {108, 127 << 8},
        {109, 0}, {110, 0}, {111, 255},   {112, 255},      {113, 255},
    };
    for (const auto& [number, value] : defaults)
        EXPECT_EQ(ReadTrackProperty(track, number), value) << number;
    EXPECT_EQ(track.GetName(), "New Track");
    EXPECT_EQ(track.GetId(), -1);

    const std::pair<int32_t, int64_t> values[] = {
        {1, 0x00ABCDEF},
        {2, 1},
        {101, PackNodeAddress({CNodeAddress::kKindOutputPort, 7})},
        {102, 15},
        {103, -5},
        {104, -12},
        {105, 48},
        {106, 3840},
        {107, PackBytePair({30, 90})},
        {108, PackBytePair({10, 110})},
        {109, 1},
        {110, 1},
        {111, 127},
        {112, 100},
        {113, 64},
    };
    for (const auto& [number, value] : values) {
        EXPECT_TRUE(ApplyTrackProperty(track, number, value)) << number;
        EXPECT_EQ(ReadTrackProperty(track, number), value) << number;
    }
    EXPECT_EQ(track.GetOutput(), CNodeAddress(CNodeAddress::kKindOutputPort, 7));
    EXPECT_EQ(track.GetPitchLimitFrom(), 30);
    EXPECT_EQ(track.GetVelocityLimitTo(), 110);
    EXPECT_TRUE(track.GetRecord() && track.GetInput());
}

TEST(TrackProperties, UnknownNumbersAndUnfitValuesChangeNothing)
{
    CTrack track;
    for (int32_t number : {0, 3, 100, 114}) {
        EXPECT_FALSE(ApplyTrackProperty(track, number, 0)) << number;
        EXPECT_FALSE(ReadTrackProperty(track, number).has_value()) << number;
    }
    EXPECT_FALSE(ApplyTrackProperty(track, 102, 16));
    EXPECT_FALSE(ApplyTrackProperty(track, 111, 256));
    EXPECT_FALSE(ApplyTrackProperty(track, 1, -1));
    EXPECT_FALSE(ApplyTrackProperty(track, 107, 0x12345));
    EXPECT_EQ(track.GetOutputChannel(), 0);
    EXPECT_EQ(track.GetProgram(), CTrack::kNotSet);
    EXPECT_EQ(track.GetColour(), 0u);
    EXPECT_EQ(track.GetPitchLimitTo(), 127);
}

TEST(Track, AddClipInOrderKeepsTheOrderAddClipWouldGive)
{
    const std::vector<std::pair<tick, tick>> spans = {{0, 96},    {96, 500},  {96, 120}, {50, 60},
                                                      {400, 410}, {400, 900}, {10, 20}};
    CTrack inOrder;
    CTrack sorted;
    for (const auto& [start, end] : spans) {
        const int32_t a = inOrder.AddClipInOrder(MakeClip(start, end));
        const int32_t b = sorted.AddClip(MakeClip(start, end));
        EXPECT_EQ(a, b) << "clip " << start << ".." << end;
    }
    ASSERT_EQ(inOrder.GetClipCount(), sorted.GetClipCount());
    for (int32_t i = 0; i < inOrder.GetClipCount(); ++i) {
        EXPECT_EQ(inOrder.GetClipAt(i).GetStart(), sorted.GetClipAt(i).GetStart());
        EXPECT_EQ(inOrder.GetClipAt(i).GetEnd(), sorted.GetClipAt(i).GetEnd());
    }
    EXPECT_EQ(inOrder.GetEnd(), 900);
    EXPECT_EQ(sorted.GetEnd(), 900);
    EXPECT_THROW(inOrder.AddClipInOrder(nullptr), CInvalidArgument);
}

TEST(Track, EndStaysExactAfterAClipShrankInPlace)
{
    CTrack track;
    auto longClip = MakeClip(0, 1000);
    CClip& shrinking = *longClip;
    track.AddClip(std::move(longClip));
    // The engine shortens a clip in place; the track is not told.
    shrinking.SetLength(100);
    track.AddClip(MakeClip(0, 50));
    EXPECT_EQ(track.GetEnd(), 100);
    track.InsertClipAt(0, MakeClip(10, 60));
    EXPECT_EQ(track.GetEnd(), 100);
    shrinking.SetLength(40);
    track.RemoveClipAt(track.GetClipCount() - 1);
    EXPECT_EQ(track.GetEnd(), 60);
}

// Random tracks: the batch insert, the batch removal and the look-ups agree with the one-by-one
// operations and with a plain scan.
TEST(Track, BatchInsertAndRemovalMatchSingleStepsAndLookUpsMatchAScan)
{
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        CTrack batch;
        CTrack single;
        const int existing = static_cast<int>(random() % 12);
        for (int i = 0; i < existing; ++i) {
            const tick start = static_cast<tick>(random() % 8) * 50;
            const tick length = 1 + static_cast<tick>(random() % 400);
            batch.AddClip(MakeClip(start, start + length, "old"));
            single.AddClip(MakeClip(start, start + length, "old"));
        }
        std::vector<std::unique_ptr<CClip>> added;
        const int count = 1 + static_cast<int>(random() % 10);
        for (int i = 0; i < count; ++i) {
            const tick start = static_cast<tick>(random() % 8) * 50;
            const std::string name = "new" + std::to_string(i);
            added.push_back(
                MakeClip(start, start + 1 + static_cast<tick>(random() % 300), name.c_str()));
            single.AddClip(std::make_unique<CClip>(*added.back()));
        }
        std::vector<CClip*> placed;
        for (const auto& clip : added)
            placed.push_back(clip.get());
        const std::vector<int32_t> indices = batch.AddClips(std::move(added));
        ASSERT_EQ(batch.GetClipCount(), single.GetClipCount());
        for (int32_t i = 0; i < batch.GetClipCount(); ++i) {
            EXPECT_EQ(batch.GetClipAt(i).GetStart(), single.GetClipAt(i).GetStart());
            EXPECT_EQ(batch.GetClipAt(i).GetName(), single.GetClipAt(i).GetName());
        }
        for (std::size_t i = 0; i < placed.size(); ++i)
            EXPECT_EQ(&batch.GetClipAt(indices[i]), placed[i]);
        EXPECT_EQ(batch.GetEnd(), single.GetEnd());

        for (tick t = -10; t < 800; t += 7) {
            const CClip* expected = nullptr;
            for (int32_t i = 0; i < batch.GetClipCount() && !expected; ++i) {
                const CClip& clip = batch.GetClipAt(i);
                if (clip.GetStart() <= t && t < clip.GetEnd()) expected = &clip;
            }
            EXPECT_EQ(batch.ClipAt(t), expected) << "t=" << t;
        }

        // Remove a random subset in one pass and put it back: the same track again.
        std::vector<const CClip*> before;
        std::vector<const CClip*> chosen;
        for (int32_t i = 0; i < batch.GetClipCount(); ++i) {
            before.push_back(&batch.GetClipAt(i));
            if (random() % 2) chosen.push_back(&batch.GetClipAt(i));
        }
        std::shuffle(chosen.begin(), chosen.end(), random);
        const tick end = batch.GetEnd();
        std::vector<CTrack::CRemovedClip> removed = batch.RemoveClips(chosen);
        ASSERT_EQ(removed.size(), chosen.size());
        for (const auto& entry : removed)
            EXPECT_EQ(batch.IndexOfClip(entry.clip.get()), -1);
        batch.InsertClipsAt(std::move(removed));
        for (std::size_t i = 0; i < before.size(); ++i)
            EXPECT_EQ(batch.IndexOfClip(before[i]), static_cast<int32_t>(i));
        EXPECT_EQ(batch.GetEnd(), end);
    }
}

TEST(Track, BatchRemovalOfAClipNotOnTheTrackChangesNothing)
{
    CTrack track;
    track.AddClip(MakeClip(0, 10));
    const CClip* onTrack = &track.GetClipAt(0);
    CClip stranger(0, 10, "", 0);
    EXPECT_TRUE(track.RemoveClips({onTrack, &stranger}).empty());
    EXPECT_TRUE(track.RemoveClips({onTrack, onTrack}).empty());
    EXPECT_EQ(track.GetClipCount(), 1);
}
