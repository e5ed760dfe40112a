// The user-interface side of a take: drained, committed as "Recording Clip(s)" and handed over to
// the clip players, also when the project lets go of the engine while a take is open.

#include <gtest/gtest.h>

#include "devices/virtual/VirtualBackend.h"
#include "document/EnginePlayerLink.h"
#include "document/ProjectManager.h"
#include "editing/RecordedTakes.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "engine/SequencerClock.h"
#include "fakes/ScriptedUserServices.h"
#include "model/Clip.h"
#include "model/Profile.h"
#include "model/Track.h"

namespace {

class CTakeDrain : public CEngineNotificationSink {
public:
    void OnRecordingFinished(int32_t trackId, int32_t, std::unique_ptr<CClip> clip) override
    {
        ++finished;
        takes.Add(trackId, std::move(clip));
    }
    CRecordedTakes takes;
    int finished = 0;
};

struct CRecordingProject {
    CVirtualBackend backend{{"Out A"}, {"In A"}};
    CMidiEngineProxy proxy;
    CMidiEngine engine{backend, proxy.GetMailbox()};
    CEnginePlayerLink link{proxy};
    CScriptedUserServices user;
    CMemoryProfile profile;
    CProjectManager manager{
        user, profile, &link, {}, [](CProjectDoc&, const std::string&) { return false; }};
    CTakeDrain drain;

    CRecordingProject()
    {
        EXPECT_TRUE(proxy.AttachEngine(&engine));
        EXPECT_EQ(proxy.Initialise(false), 1) << proxy.GetLastError();
        EXPECT_EQ(proxy.OpenInputDriver(0), 1);
        EXPECT_EQ(proxy.RouteRecordNode(0), 1);
        link.SetAfterStop([this] { DrainAndCommit(); });
    }
    ~CRecordingProject()
    {
        link.SetAfterStop(nullptr);
        proxy.ShutDown();
    }

    void DrainAndCommit()
    {
        proxy.GetMailbox().Drain(drain);
        drain.takes.Commit(manager.GetActiveProject());
    }

    CTrack& AddRecordingTrack(CProjectDoc& doc, int32_t id)
    {
        auto track = std::make_unique<CTrack>();
        track->SetId(id);
        track->SetName("Bass");
        track->SetRecord(true);
        track->SetInput(true);
        doc.InsertTrack(-1, std::move(track));
        return *doc.GetTracks().GetAt(doc.GetTracks().GetCount() - 1);
    }

    void Keys(const std::vector<uint8_t>& bytes)
    {
        ASSERT_TRUE(backend.InjectInput(0, bytes, 1000));
        engine.PollInputs();
    }

    void RunTicks(int64_t ticks)
    {
        const CSequencerClock& clock = engine.GetClock();
        backend.SetTime(clock.GetLastTickTime() + ticks * clock.GetTickPeriod() - 60000);
        engine.ClockPass(backend.GetMasterTime());
    }
};

TEST(RecordedTakesTest, TakesOpenWhenTheProjectLetsGoAreCommittedFirst)
{
    CRecordingProject f;
    CProjectDoc& first = f.manager.NewProject();
    CTrack& bass = f.AddRecordingTrack(first, 1);
    f.AddRecordingTrack(first, 2);
    ASSERT_EQ(f.proxy.SetRecording(true), 1);
    ASSERT_EQ(f.proxy.Play(), 1);
    f.RunTicks(10);
    f.Keys({0x90, 60, 100});
    f.RunTicks(5);
    f.Keys({0x80, 60, 40, 0x90, 64, 90}); // the second note is still held at the switch

    CProjectDoc& second = f.manager.NewProject();
    f.manager.Activate(second); // the first project lets go of the engine
    EXPECT_EQ(f.manager.GetActiveProject(), &second);
    EXPECT_EQ(f.drain.finished, 2);
    for (int32_t t = 0; t < 2; ++t) {
        const CTrack& track = *first.GetTracks().GetAt(t);
        ASSERT_EQ(track.GetClipCount(), 1);
        const CClip& clip = track.GetClipAt(0);
        EXPECT_EQ(clip.GetName(), "[Rec] Bass");
        EXPECT_EQ(clip.GetStart(), 0);
        const std::vector<CNote> notes(clip.GetNotes().begin(), clip.GetNotes().end());
        EXPECT_EQ(notes,
                  (std::vector<CNote>{CNote(10, 15, 60, 100, 40), CNote(15, 15, 64, 90, 127)}));
    }
    EXPECT_TRUE(first.CanUndo()); // one history entry for both takes
    EXPECT_TRUE(first.Undo());
    EXPECT_EQ(bass.GetClipCount(), 0);
    EXPECT_FALSE(first.CanUndo());
    EXPECT_TRUE(first.Redo());
    EXPECT_EQ(bass.GetClipCount(), 1);
    EXPECT_EQ(f.engine.GetClipPlayerCount(), 0); // the first project's players are gone
}

TEST(RecordedTakesTest, CommittedTakeIsHandedToTheClipPlayersOfTheActiveProject)
{
    CRecordingProject f;
    CProjectDoc& doc = f.manager.NewProject();
    CTrack& track = f.AddRecordingTrack(doc, 1);
    ASSERT_EQ(f.proxy.SetRecording(true), 1);
    ASSERT_EQ(f.proxy.Play(), 1);
    f.Keys({0x90, 60, 100});
    f.RunTicks(3);
    f.Keys({0x80, 60, 0});
    ASSERT_EQ(f.proxy.SetRecording(false), 1); // still playing: drained on the timer
    f.DrainAndCommit();
    ASSERT_EQ(track.GetClipCount(), 1);
    const CClip* clip = &track.GetClipAt(0);
    EXPECT_NE(f.engine.FindClipPlayer(clip), nullptr);
    EXPECT_EQ(f.engine.FindRecordedClipPlayer(clip), nullptr);
    EXPECT_GE(clip->GetPlayerSlot(), 0);
    // A take whose track went away meanwhile is dropped, and its player with it.
    ASSERT_EQ(f.proxy.SetRecording(true), 1);
    f.Keys({0x90, 61, 100});
    f.RunTicks(2);
    ASSERT_EQ(f.proxy.SetRecording(false), 1);
    f.proxy.GetMailbox().Drain(f.drain);
    auto removed = doc.RemoveTrack(0);
    EXPECT_EQ(f.drain.takes.Commit(&doc), 0);
    EXPECT_EQ(f.engine.GetClipPlayerCount(), 0);
}

} // namespace
