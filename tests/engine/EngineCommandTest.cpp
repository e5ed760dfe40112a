#include "EngineFixture.h"

#include "devices/MidiMsg.h"
#include "engine/EngineProjectView.h"
#include "engine/PhrasePlayer.h"
#include "engine/RecordSettings.h"
#include "engine/TrackPlayer.h"
#include "model/Clip.h"
#include "model/Phrase.h"
#include "model/Properties.h"
#include "model/Track.h"

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using E = EEngineCommand;

class EngineCommandTest : public EngineFixture {};

TEST_F(EngineCommandTest, CodesWithoutACommandSucceedWithoutEffect)
{
    for (int code : {2, 3, 17, 20, 26}) {
        EXPECT_EQ(proxy.Send(CEngineCommand(static_cast<E>(code))), 1) << code;
    }
    EXPECT_EQ(engine.GetTrackPlayerCount(), 0);
    EXPECT_FALSE(engine.IsInitialised());
}

TEST_F(EngineCommandTest, FailuresAnswerZeroWithTheReason)
{
    ASSERT_EQ(proxy.Initialise(false), 1);
    EXPECT_EQ(proxy.OpenOutputDriver(7), 0);
    EXPECT_FALSE(proxy.GetLastError().empty());
    EXPECT_EQ(proxy.SetNodeParameter({7, 42}, 101, 0), 0); // no such track player
    EXPECT_EQ(proxy.GetLastError(), "The node address does not name a node.");
    EXPECT_EQ(proxy.SetNodeParameter({10, 0}, 1, 0), 0); // clip players are not addressable
    EXPECT_EQ(proxy.SetNodeParameter({11, 0}, 99, 0), 0);
    EXPECT_EQ(proxy.GetLastError(), "The node does not accept this parameter.");

    CPhrase phrase("P", 0, 384);
    CTrack track;
    EXPECT_EQ(proxy.SetPhraseProperty(phrase, 120, 0), 0);
    EXPECT_EQ(proxy.GetLastError(), "Invalid phrase property.");
    EXPECT_EQ(proxy.SetPhraseProperty(phrase, 100, 0), 0);
    EXPECT_EQ(proxy.SetTrackProperty(track, 114, 0), 0);
    EXPECT_EQ(proxy.GetLastError(), "Invalid track property.");
    EXPECT_EQ(proxy.SetTrackProperty(track, 1, 0), 0);     // colour is not the player's business
    EXPECT_EQ(proxy.SetPhraseProperty(phrase, 118, 0), 1); // play current: no value
    EXPECT_EQ(proxy.SetPhraseProperty(phrase, 119, 0), 1);

    // A word of the wrong type is refused, not misread.
    EXPECT_EQ(proxy.Send(CEngineCommand(E::InsertNote, &track, int64_t{5})), 0);
    EXPECT_EQ(proxy.GetLastError(), "Invalid command arguments.");
    EXPECT_EQ(proxy.Send(CEngineCommand(E::AddTrackPlayer, &phrase)), 0);
    EXPECT_EQ(proxy.Send(CEngineCommand(E::LoadProject)), 0);
}

TEST_F(EngineCommandTest, RecordSettingsTravelOnlyAsATypedValue)
{
    ASSERT_EQ(proxy.Initialise(false), 1);
    const CNodeAddress playControl{11, 0};
    const CRecordSettings before = engine.GetPlayControl().GetRecordSettings();
    // No number becomes a pointer, whatever its value.
    for (const int64_t value : {int64_t{0}, int64_t{8}, int64_t{-1}, int64_t{0x7FFF12345678}}) {
        EXPECT_EQ(proxy.SetNodeParameter(playControl, 14, value), 0) << value;
    }
    EXPECT_EQ(engine.GetPlayControl().GetRecordSettings(), before);

    std::mt19937 random(3);
    for (int i = 0; i < 20; ++i) {
        CRecordSettings settings;
        settings.recordPolyPressure = random() & 1;
        settings.recordControlChange = random() & 1;
        settings.recordProgramChange = random() & 1;
        settings.recordChannelAftertouch = random() & 1;
        settings.recordPitchBend = random() & 1;
        settings.suppressRedundant = random() & 1;
        settings.quantizeGrid = static_cast<int32_t>(random() % 385);
        settings.clipSnapGrid = static_cast<int32_t>(random() % 385);
        settings.furtherWord = static_cast<int32_t>(random());
        ASSERT_EQ(proxy.SetRecordSettings(settings), 1) << proxy.GetLastError();
        EXPECT_EQ(engine.GetPlayControl().GetRecordSettings(), settings);
    }
    // The typed value goes to parameter 14 of the play control and nowhere else.
    const CRecordSettings settings;
    const CRecordSettings* typed = &settings;
    EXPECT_EQ(
        proxy.Send(CEngineCommand(E::SetNodeParameter, CNodeAddress{9, 0}, int64_t{14}, typed)), 0);
    EXPECT_EQ(proxy.Send(CEngineCommand(E::SetNodeParameter, playControl, int64_t{15}, typed)), 0);
    EXPECT_EQ(proxy.GetLastError(), "Invalid command arguments.");
}

TEST_F(EngineCommandTest, InitialiseFailureKeepsTheBackendsReason)
{
    backend.SetStartFailure("no sequencer");
    EXPECT_EQ(proxy.Initialise(true), 0);
    EXPECT_NE(proxy.GetLastError().find("no sequencer"), std::string::npos);
    EXPECT_FALSE(engine.IsThreadRunning());
    EXPECT_FALSE(engine.IsInitialised());
    backend.SetStartFailure("");
    EXPECT_EQ(proxy.Initialise(false), 1);
    EXPECT_EQ(proxy.Initialise(false), 1); // again: already initialised
    EXPECT_EQ(proxy.Play(), 1);
    EXPECT_EQ(proxy.ShutDown(), 1);
    EXPECT_FALSE(engine.IsPlaying());
    EXPECT_FALSE(engine.IsInitialised());
    EXPECT_EQ(proxy.ShutDown(), 1); // not initialised: only succeeds
}

TEST_F(EngineCommandTest, DeviceCommandsReachTheDevicesLayer)
{
    InitialiseWithOutput();
    EXPECT_TRUE(backend.IsOutputOpen(0));
    EXPECT_EQ(proxy.GetNodeName({3, 0}), "Out1: Synth A");
    EXPECT_EQ(proxy.GetNodeName({3, 9}), "");
    EXPECT_EQ(proxy.RouteOutputPort(1, 1), 0); // driver 1 is not open
    EXPECT_EQ(proxy.OpenInputDriver(0), 1);
    EXPECT_EQ(proxy.RouteRecordNode(0), 1);
    EXPECT_EQ(proxy.GetNodeName({5, 0}), "Rec: Keys");

    // The device dialog's switch: a disabled driver opens, an enabled open one closes.
    CMidiOutDriver* second = engine.GetDevices().GetOutDriver(1);
    EXPECT_EQ(proxy.ToggleOutputDriverEnabled(1), 1);
    EXPECT_TRUE(second->IsEnabled());
    EXPECT_TRUE(second->IsOpen());
    EXPECT_EQ(proxy.ToggleOutputDriverEnabled(1), 1);
    EXPECT_FALSE(second->IsEnabled());
    EXPECT_FALSE(second->IsOpen());
    EXPECT_EQ(proxy.ToggleOutputDriverEnabled(5), 0);
}

TEST_F(EngineCommandTest, ResetOutputsQueuesSevenMessagesPerChannel)
{
    InitialiseWithOutput();
    ASSERT_EQ(proxy.ResetOutputs(), 1);
    RunTicks(1);
    const auto sent = backend.GetSent(0);
    ASSERT_EQ(sent.size(), 112u);
    EXPECT_EQ(sent.front().bytes[0], 0xD0);
    EXPECT_EQ(sent.back().bytes[0], 0xBF);
    EXPECT_EQ(sent.back().bytes[1], 123);
}

TEST_F(EngineCommandTest, MessageNodesAreReadiedBeforeCommandsNotOnTheMusicThread)
{
    InitialiseWithOutput();
    CMidiMsgPool& pool = CMidiMsgPool::Instance();
    // This thread plays the music thread's part: its takes never allocate. Every free node is
    // held first, so only the nodes readied before each command can serve it.
    CMidiMsgPool::MarkRealTimeThread(true);
    CMidiMsgList hoard;
    while (hoard.Append(CMidiMsg{})) {
    }
    const int64_t shortBefore = pool.GetShortCount();
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(proxy.ResetOutputs(), 1);
    EXPECT_EQ(pool.GetShortCount(), shortBefore + 0) << "no message went missing";
    RunTicks(1);
    EXPECT_EQ(backend.GetSent(0).size(), 200u * 112u);
    CMidiMsgPool::MarkRealTimeThread(false);
}

// A small project: two tracks (the first with two clips) and two phrases.
struct CSmallProject {
    CSmallProject()
    {
        for (int i = 0; i < 2; ++i) {
            tracks.push_back(std::make_unique<CTrack>());
            tracks.back()->SetId(i + 1);
            view.tracks.push_back(tracks.back().get());
            phrases.push_back(std::make_unique<CPhrase>("P", 0, 384));
            phrases.back()->SetId(100 + i);
            view.phrases.push_back(phrases.back().get());
        }
        tracks[0]->AddClip(std::make_unique<CClip>(0, 384, "A", 0));
        tracks[0]->AddClip(std::make_unique<CClip>(384, 768, "B", 0));
        tracks[0]->SetOutputChannel(2);
        tracks[0]->SetProgram(5);
        tracks[0]->SetVolume(100);
        tracks[0]->SetSolo(true);
        tracks[1]->SetOutputChannel(2);
        tracks[1]->SetProgram(9); // the first track on channel 2 wins
        view.tempo = 12050;
        view.position = 200;
        view.loopActive = true;
        view.loopStart = 96;
        view.loopEnd = 480;
        view.soloMode = true;
    }
    std::vector<std::unique_ptr<CTrack>> tracks;
    std::vector<std::unique_ptr<CPhrase>> phrases;
    CEngineProjectView view;
};

TEST_F(EngineCommandTest, LoadProjectMirrorsTheProject)
{
    InitialiseWithOutput();
    CSmallProject& project = Keep(std::make_unique<CSmallProject>());
    ASSERT_EQ(proxy.LoadProject(project.view), 1) << proxy.GetLastError();

    const CSequencerClock& clock = engine.GetClock();
    EXPECT_EQ(clock.GetTickPeriod(), 51867);
    EXPECT_EQ(clock.GetPosition(), 200);
    EXPECT_TRUE(clock.IsLoopActive());
    EXPECT_EQ(clock.GetLoopStart(), 96);
    EXPECT_EQ(clock.GetLoopEnd(), 480);
    EXPECT_EQ(DrainTransport(), (std::vector<std::pair<int32_t, int32_t>>{{1, 12050}}));

    EXPECT_EQ(engine.GetTrackPlayerCount(), 2);
    EXPECT_EQ(engine.GetClipPlayerCount(), 2);
    EXPECT_EQ(engine.GetPhrasePlayerCount(), 2);
    EXPECT_EQ(project.tracks[0]->GetPlayerSlot(), 0);
    EXPECT_EQ(project.tracks[1]->GetPlayerSlot(), 1);
    EXPECT_EQ(project.tracks[0]->GetClipAt(1).GetPlayerSlot(), 1);
    EXPECT_EQ(project.phrases[1]->GetPlayerSlot(), 1);

    // Tracks play to their output port; solo mode silences the track without its solo flag.
    CTrackPlayer* first = engine.FindTrackPlayer(1);
    CTrackPlayer* second = engine.FindTrackPlayer(2);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(first->HasOutput(engine.GetDevices().GetOutputPort(0)));
    EXPECT_FALSE(first->IsSilenced());
    EXPECT_TRUE(second->IsSilenced());
    EXPECT_TRUE(engine.FindPhrasePlayer(100)->IsSilenced());
    EXPECT_EQ(proxy.GetNodeParameter({11, 0}, 2), 1); // solo mode
    EXPECT_EQ(proxy.GetNodeParameter({11, 0}, 1), 0); // recording off

    // Last step: the instrument settings leave at the next hand-over.
    RunTicks(1);
    const auto sent = backend.GetSent(0);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(std::vector<uint8_t>(sent[0].bytes.begin(), sent[0].bytes.begin() + 2),
              (std::vector<uint8_t>{0xC2, 5}));
    EXPECT_EQ(std::vector<uint8_t>(sent[1].bytes.begin(), sent[1].bytes.end()),
              (std::vector<uint8_t>{0xB2, 7, 100}));

    ASSERT_EQ(proxy.Clear(), 1);
    EXPECT_EQ(engine.GetTrackPlayerCount() + engine.GetClipPlayerCount() +
                  engine.GetPhrasePlayerCount(),
              0);
    EXPECT_EQ(project.tracks[0]->GetPlayerSlot(), -1);
    EXPECT_EQ(project.phrases[0]->GetPlayerSlot(), -1);
    EXPECT_EQ(proxy.GetNodeParameter({11, 0}, 2), 0);
}

TEST_F(EngineCommandTest, PlayersFollowAddRemoveAndRouting)
{
    ASSERT_EQ(proxy.Initialise(false), 1);
    CSmallProject& project = Keep(std::make_unique<CSmallProject>());
    CTrack& track = *project.tracks[0];
    CPhrase& phrase = *project.phrases[0];
    phrase.SetInput({4, 1});
    phrase.SetOutputTrack(track);
    ASSERT_EQ(proxy.AddTrackPlayer(track), 1);
    ASSERT_EQ(proxy.AddTrackPlayer(track), 1); // again: the same player
    ASSERT_EQ(proxy.AddPhrasePlayer(phrase), 1);
    CTrackPlayer* trackPlayer = engine.FindTrackPlayer(1);
    CPhrasePlayer* phrasePlayer = engine.FindPhrasePlayer(100);
    ASSERT_NE(phrasePlayer, nullptr);
    EXPECT_TRUE(phrasePlayer->HasInput(engine.GetDevices().GetInputPort(1)));
    EXPECT_TRUE(phrasePlayer->HasOutput(trackPlayer));
    EXPECT_EQ(engine.GetClipPlayerCount(), 2);

    // Output and live-thru properties rewire the track player.
    ASSERT_EQ(proxy.SetTrackProperty(track, 101, PackNodeAddress({3, 4})), 1);
    EXPECT_TRUE(trackPlayer->HasOutput(engine.GetDevices().GetOutputPort(4)));
    EXPECT_FALSE(trackPlayer->HasOutput(engine.GetDevices().GetOutputPort(0)));
    ASSERT_EQ(proxy.SetTrackProperty(track, 110, 1), 1);
    EXPECT_TRUE(trackPlayer->HasInput(&engine.GetDevices().GetRecordNode()));
    ASSERT_EQ(proxy.SetTrackProperty(track, 110, 0), 1);
    EXPECT_FALSE(trackPlayer->HasInput(&engine.GetDevices().GetRecordNode()));
    ASSERT_EQ(proxy.SetPhraseProperty(phrase, 106, PackNodeAddress({3, 2})), 1);
    EXPECT_TRUE(phrasePlayer->HasOutput(engine.GetDevices().GetOutputPort(2)));
    EXPECT_FALSE(phrasePlayer->HasOutput(trackPlayer));
    ASSERT_EQ(proxy.SetPhraseProperty(phrase, 101, PackNodeAddress({0, 0})), 1);
    EXPECT_TRUE(phrasePlayer->GetInputs().empty());

    // Removing the track takes its clip players and releases the slots.
    ASSERT_EQ(proxy.RemoveTrackPlayer(track), 1);
    EXPECT_EQ(engine.FindTrackPlayer(1), nullptr);
    EXPECT_EQ(engine.GetClipPlayerCount(), 0);
    EXPECT_EQ(track.GetPlayerSlot(), -1);
    EXPECT_EQ(track.GetClipAt(0).GetPlayerSlot(), -1);
    ASSERT_EQ(proxy.RemovePhrasePlayer(phrase), 1);
    EXPECT_EQ(engine.GetPhrasePlayerCount(), 0);
    EXPECT_EQ(phrase.GetPlayerSlot(), -1);

    // Two phrases with one identifier cannot both have a player.
    CPhrase& twin = Keep(std::make_unique<CPhrase>("T", 0, 96));
    twin.SetId(101);
    ASSERT_EQ(proxy.AddPhrasePlayer(*project.phrases[1]), 1);
    EXPECT_EQ(proxy.AddPhrasePlayer(twin), 0);
    EXPECT_EQ(twin.GetPlayerSlot(), -1); // a refused add leaves no slot behind

    // A recorded clip without a player cannot be committed, and keeps no slot either.
    CClip& loose = Keep(std::make_unique<CClip>(0, 96, "R", 0));
    EXPECT_EQ(proxy.CommitRecordedClip(loose, track, 0), 0);
    EXPECT_EQ(loose.GetPlayerSlot(), -1);
}

TEST_F(EngineCommandTest, SoloAndMuteTogglesFollowTheModes)
{
    ASSERT_EQ(proxy.Initialise(false), 1);
    CSmallProject& project = Keep(std::make_unique<CSmallProject>());
    project.tracks[0]->SetSolo(false);
    project.view.soloMode = false;
    ASSERT_EQ(proxy.LoadProject(project.view), 1);
    CTrack& a = *project.tracks[0];
    CTrack& b = *project.tracks[1];
    CTrackPlayer& playerA = *engine.FindTrackPlayer(1);
    CTrackPlayer& playerB = *engine.FindTrackPlayer(2);

    EXPECT_EQ(proxy.ToggleSoloMode(), 1); // no solo flag anywhere: stays off
    EXPECT_EQ(engine.GetPlayControl().GetSoloMode(), false);

    ASSERT_EQ(proxy.ToggleMute(a), 1); // mute mode on, only a muted
    EXPECT_TRUE(engine.GetPlayControl().GetMuteMode());
    EXPECT_TRUE(playerA.IsSilenced());
    EXPECT_FALSE(playerB.IsSilenced());

    ASSERT_EQ(proxy.ToggleSolo(a), 1); // solo overrides mute: a plays, b is silenced
    EXPECT_TRUE(a.GetSolo());
    EXPECT_FALSE(playerA.IsSilenced());
    EXPECT_TRUE(playerB.IsSilenced());
    EXPECT_TRUE(engine.FindPhrasePlayer(100)->IsSilenced());

    ASSERT_EQ(proxy.ToggleSolo(*project.phrases[0]), 1); // solo mode on: the flag is added
    EXPECT_FALSE(engine.FindPhrasePlayer(100)->IsSilenced());
    EXPECT_TRUE(a.GetSolo());

    ASSERT_EQ(proxy.ToggleSolo(a), 1);
    ASSERT_EQ(proxy.ToggleSolo(*project.phrases[0]), 1); // the last solo flag: mode goes off
    EXPECT_FALSE(engine.GetPlayControl().GetSoloMode());
    EXPECT_TRUE(playerA.IsSilenced()); // muted again
    EXPECT_FALSE(b.GetSolo());

    ASSERT_EQ(proxy.ToggleSolo(b), 1); // mode off: b becomes the only solo
    ASSERT_EQ(proxy.ToggleSoloMode(), 1);
    EXPECT_FALSE(engine.GetPlayControl().GetSoloMode());
    ASSERT_EQ(proxy.ToggleSoloMode(), 1); // b's flag is still set: on again
    EXPECT_TRUE(engine.GetPlayControl().GetSoloMode());

    CTrack stranger;
    stranger.SetId(77);
    EXPECT_EQ(proxy.ToggleSolo(stranger), 0); // no player
    proxy.GetMailbox().Drain(sink);
    ASSERT_FALSE(sink.modes.empty());
    EXPECT_EQ(sink.modes.back(), std::make_pair(true, true));
}

TEST_F(EngineCommandTest, UiEventQueueIsEmptiedByClear)
{
    CTrack track;
    track.SetId(1);
    ASSERT_TRUE(proxy.PostUiEvent(track, 0xB0, 7, 100));
    EXPECT_EQ(engine.GetUiEventQueue().GetCount(), 1u);
    ASSERT_EQ(proxy.Clear(), 1);
    EXPECT_EQ(engine.GetUiEventQueue().GetCount(), 0u);
}

} // namespace
