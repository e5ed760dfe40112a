// The project and its manager driving the real engine (inline, without the music thread) through
// the engine player link.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "devices/virtual/VirtualBackend.h"
#include "document/EnginePlayerLink.h"
#include "document/ProjectManager.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "engine/SequencerClock.h"
#include "fakes/ScriptedUserServices.h"
#include "model/Phrase.h"
#include "model/PhraseBank.h"
#include "model/Profile.h"
#include "model/Track.h"

namespace {

struct CEngineFixture {
    CVirtualBackend backend{{"Out A"}, {"In A"}};
    CMidiEngineProxy proxy;
    CMidiEngine engine{backend, proxy.GetMailbox()};
    CEnginePlayerLink link{proxy};
    CScriptedUserServices user;
    CMemoryProfile profile;
    CProjectManager manager{
        user, profile, &link, {}, [](CProjectDoc&, const std::string&) { return false; }};

    CEngineFixture()
    {
        EXPECT_TRUE(proxy.AttachEngine(&engine));
        EXPECT_EQ(proxy.Initialise(false), 1) << proxy.GetLastError();
    }
    ~CEngineFixture() { proxy.ShutDown(); }
};

std::unique_ptr<CTrack> MakeTrack(int32_t id)
{
    auto track = std::make_unique<CTrack>();
    track->SetId(id);
    track->AddClip(std::make_unique<CClip>(0, 384, "Clip", 0));
    return track;
}

} // namespace

TEST(ProjectPlayerTest, ActiveProjectIsMirroredByTheEngine)
{
    CEngineFixture f;
    CProjectDoc& first = f.manager.NewProject();
    first.InsertTrack(-1, MakeTrack(1));
    CTrack& track = *first.GetTracks().GetAt(0);
    EXPECT_NE(f.engine.FindTrackPlayer(1), nullptr);
    EXPECT_GE(track.GetPlayerSlot(), 0);
    EXPECT_GE(track.GetClipAt(0).GetPlayerSlot(), 0);

    first.SetLoopStart(384);
    first.SetLoopOn(true);
    EXPECT_TRUE(f.engine.GetClock().IsLoopActive());
    EXPECT_EQ(f.engine.GetClock().GetLoopStart(), 384);
    EXPECT_EQ(f.engine.GetClock().GetLoopEnd(), 1536);
    first.SetSongPosition(768);
    EXPECT_EQ(f.engine.GetPosition(), 768);

    // Channel values go through the player to the model and once to the track's output.
    first.SetChannelVolume(track, 100);
    EXPECT_EQ(track.GetVolume(), 100);
    EXPECT_EQ(f.engine.GetUiEventQueue().GetCount(), 1u);

    // A second project takes the player over; the first one's players and slots are released.
    CProjectDoc& second = f.manager.NewProject();
    auto bank = std::make_unique<CPhraseBank>("Bank");
    auto phrase = std::make_unique<CPhrase>("P", 0, 384);
    phrase->SetId(5);
    bank->InsertAt(0, std::move(phrase));
    second.InsertBank(-1, std::move(bank));
    second.InsertTrack(-1, MakeTrack(2));
    f.manager.Activate(first);
    f.manager.Activate(second);
    EXPECT_EQ(f.engine.FindTrackPlayer(1), nullptr);
    EXPECT_NE(f.engine.FindTrackPlayer(2), nullptr);
    EXPECT_NE(f.engine.FindPhrasePlayer(5), nullptr);
    EXPECT_EQ(track.GetPlayerSlot(), -1);
    EXPECT_EQ(track.GetClipAt(0).GetPlayerSlot(), -1);
    EXPECT_FALSE(f.engine.GetClock().IsLoopActive()) << "the second project's loop is off";
}

TEST(ProjectPlayerTest, RecordingIntoTheActiveProjectBlocksItsClosing)
{
    CEngineFixture f;
    CProjectDoc& doc = f.manager.NewProject();
    EXPECT_FALSE(f.link.IsRunning());
    ASSERT_EQ(f.proxy.Play(), 1);
    ASSERT_EQ(f.proxy.SetRecording(true), 1);
    EXPECT_TRUE(f.link.IsRunning());
    EXPECT_TRUE(f.link.IsRecording());
    EXPECT_FALSE(f.manager.CloseProject(doc));

    ASSERT_EQ(f.proxy.SetRecording(false), 1);
    EXPECT_FALSE(f.link.IsRecording());
    EXPECT_TRUE(f.manager.CloseProject(doc));
    EXPECT_FALSE(f.engine.IsPlaying());
}

TEST(ProjectPlayerTest, ClearingTheActiveProjectLeavesTheEngineNothingDeleted)
{
    CEngineFixture f;
    CProjectDoc& doc = f.manager.NewProject();
    for (const bool byDeleteContents : {false, true}) {
        doc.InsertTrack(-1, MakeTrack(1));
        doc.InsertTrack(-1, MakeTrack(2));
        ASSERT_NE(f.engine.FindTrackPlayer(1), nullptr);
        f.engine.GetClock().Start();
        if (byDeleteContents)
            doc.DeleteContents();
        else
            doc.Clear();
        EXPECT_EQ(f.engine.FindTrackPlayer(1), nullptr);
        EXPECT_EQ(f.engine.FindTrackPlayer(2), nullptr);
        EXPECT_FALSE(f.engine.GetClock().IsPlaying());
        // Still the active project: what is added next is played.
        EXPECT_TRUE(doc.IsActive());
        doc.InsertTrack(-1, MakeTrack(3));
        EXPECT_NE(f.engine.FindTrackPlayer(3), nullptr);
        doc.DeleteContents();
    }
}
