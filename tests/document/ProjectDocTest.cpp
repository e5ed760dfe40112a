#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "document/OperationProject.h"
#include "document/ProjectDoc.h"
#include "fakes/RecordingPlayerLink.h"
#include "fakes/RecordingWindows.h"
#include "model/Clip.h"
#include "model/Errors.h"
#include "model/Phrase.h"
#include "model/PhraseBank.h"
#include "model/Properties.h"
#include "model/Track.h"

namespace {

constexpr int32_t kProgram = static_cast<int32_t>(ETrackProperty::Program);
constexpr int32_t kVolume = static_cast<int32_t>(ETrackProperty::Volume);
constexpr int32_t kPan = static_cast<int32_t>(ETrackProperty::Pan);
constexpr int32_t kOutput = static_cast<int32_t>(ETrackProperty::Output);
constexpr int32_t kOutputChannel = static_cast<int32_t>(ETrackProperty::OutputChannel);

std::unique_ptr<CTrack> MakeTrack(const std::string& name, int32_t port, uint8_t channel)
{
    auto track = std::make_unique<CTrack>();
    track->SetName(name);
    track->SetOutput(CNodeAddress(CNodeAddress::kKindOutputPort, port));
    track->SetOutputChannel(channel);
    return track;
}

std::unique_ptr<CPhrase> MakePhrase(int32_t id)
{
    auto phrase = std::make_unique<CPhrase>("Phrase", 0, 384);
    phrase->SetId(id);
    return phrase;
}

std::unique_ptr<CClip> MakeClip(int32_t id, tick start)
{
    auto clip = std::make_unique<CClip>(start, start + 384, "Clip", 0);
    clip->SetId(id);
    return clip;
}

int LocalYearNow()
{
    const std::time_t now = std::time(nullptr);
    return std::localtime(&now)->tm_year + 1900;
}

// A project with recording windows and, when wanted, a recording player attached.
struct CDocFixture {
    std::vector<std::string> windowLog;
    CRecordingPlayerLink player;
    CProjectDoc doc{std::make_unique<CRecordingWindows>(windowLog)};

    void Activate()
    {
        player.LoadProject(doc);
        doc.AttachPlayer(&player);
        player.m_log.clear();
    }
    CTrack& Track(int32_t index) { return *doc.GetTracks().GetAt(index); }
};

// An operation that does nothing but succeed, to drive the history.
class COpNothing : public COperationProject {
public:
    int GetTypeId() const override { return 1; }
    bool Do(CProjectDoc&) override { return true; }
};

} // namespace

TEST(ProjectDocTest, NewProjectHasDocumentedDefaults)
{
    CProjectDoc doc;
    EXPECT_EQ(doc.GetTempo(), 12000);
    EXPECT_EQ(doc.GetSongPosition(), 0);
    EXPECT_FALSE(doc.IsLoopOn());
    EXPECT_EQ(doc.GetLoopStart(), 0);
    EXPECT_EQ(doc.GetLoopEnd(), 1536);
    EXPECT_EQ(doc.GetEditDefaults().m_newPhraseBars, 4);
    EXPECT_EQ(doc.GetEditDefaults().m_newClipBars, 4);
    EXPECT_EQ(doc.GetEditDefaults().m_pianoRollSnap.GetTicks(), 24);
    EXPECT_EQ(doc.GetEditDefaults().m_pianoRollGrid.GetTicks(), 24);
    EXPECT_EQ(doc.GetTimeSignature(), CTimeSignature(4, 4));
    EXPECT_EQ(doc.GetScale().GetKey(), 0);
    EXPECT_EQ(doc.GetScale().GetMode(), 0);
    EXPECT_EQ(doc.GetHighestObjectId(), 0);
    EXPECT_EQ(doc.GetHighestTrackId(), 0);
    EXPECT_FALSE(doc.IsActive());
    EXPECT_EQ(doc.GetInfo().m_title, "");
    EXPECT_EQ(doc.GetInfo().m_comment, "");
    EXPECT_EQ(doc.GetInfo().m_copyright, "Copyright (C) " + std::to_string(LocalYearNow()) + ", ");
    EXPECT_EQ(&ProjectOf(doc), &doc);

    doc.GetEditDefaults().m_newPhraseBars = 2;
    doc.SetTimeSignature(CTimeSignature(3, 4));
    EXPECT_EQ(doc.NewPhraseLength(), 2 * 288);
    EXPECT_EQ(doc.NewClipLength(), 4 * 288);

    // Bar counts as a damaged file may hold them: the length saturates rather than wrapping.
    doc.GetEditDefaults().m_newClipBars = 20'000'000;
    doc.GetEditDefaults().m_newPhraseBars = -20'000'000;
    EXPECT_EQ(doc.NewClipLength(), INT32_MAX);
    EXPECT_EQ(doc.NewPhraseLength(), INT32_MIN);
}

TEST(ProjectDocTest, CopyrightTextCarriesYearAndAuthor)
{
    EXPECT_EQ(FormatCopyright(2026, ""), "Copyright (C) 2026, ");
    EXPECT_EQ(FormatCopyright(1999, "Ann Lee"), "Copyright (C) 1999, Ann Lee");

    // Clearing keeps the author and formats the copyright with it.
    CProjectDoc doc;
    doc.GetInfo().m_author = "Ann Lee";
    doc.GetInfo().m_copyright = "old";
    doc.DeleteContents();
    EXPECT_EQ(doc.GetInfo().m_author, "Ann Lee");
    EXPECT_EQ(doc.GetInfo().m_copyright, FormatCopyright(LocalYearNow(), "Ann Lee"));
}

TEST(ProjectDocTest, DisplayTitlePrefersTitleThenFileName)
{
    CProjectDoc doc;
    EXPECT_EQ(doc.GetDisplayTitle(), "<New Project>");
    doc.SetPath("/home/ann/songs/Night Drive.tnw");
    EXPECT_EQ(doc.GetDisplayTitle(), "Night Drive.tnw");
    doc.GetInfo().m_title = "Night Drive (final)";
    EXPECT_EQ(doc.GetDisplayTitle(), "Night Drive (final)");
}

TEST(ProjectDocTest, ModifiedFlagRebuildsWindowTitles)
{
    CDocFixture f;
    EXPECT_TRUE(f.doc.Execute(std::make_unique<COpNothing>()));
    EXPECT_TRUE(f.doc.IsModified());
    EXPECT_EQ(CountOf(f.windowLog, "RebuildTitles"), 1);
}

TEST(ProjectDocTest, DeleteContentsKeepsTempoLoopAndDefaults)
{
    CProjectDoc doc;
    doc.SetPath("/tmp/a.tnw");
    doc.InsertBank(-1, std::make_unique<CPhraseBank>("Bank"));
    doc.InsertTrack(-1, MakeTrack("T", 0, 0));
    doc.SetHighestObjectId(12);
    doc.SetHighestTrackId(3);
    doc.SetTimeSignature(CTimeSignature(3, 4));
    doc.GetInfo().m_title = "Title";
    doc.GetInfo().m_comment = "Comment";
    doc.SetTempo(9000);
    doc.SetLoopOn(true);
    doc.SetLoopStart(384);
    doc.SetLoopEnd(768);
    doc.GetEditDefaults().m_newClipBars = 8;
    doc.GetEditDefaults().m_pianoRollGrid = CNoteValue(48);
    ASSERT_TRUE(doc.Execute(std::make_unique<COpNothing>()));

    doc.DeleteContents();

    EXPECT_EQ(doc.GetBankCount(), 0);
    EXPECT_EQ(doc.GetTracks().GetCount(), 0);
    EXPECT_EQ(doc.GetPath(), "");
    EXPECT_EQ(doc.GetHighestObjectId(), 0);
    EXPECT_EQ(doc.GetHighestTrackId(), 0);
    EXPECT_EQ(doc.GetTimeSignature(), CTimeSignature(4, 4));
    EXPECT_EQ(doc.GetInfo().m_title, "");
    EXPECT_EQ(doc.GetInfo().m_comment, "");
    EXPECT_EQ(doc.GetCount(), 0u);
    EXPECT_FALSE(doc.IsModified());

    EXPECT_EQ(doc.GetTempo(), 9000);
    EXPECT_TRUE(doc.IsLoopOn());
    EXPECT_EQ(doc.GetLoopStart(), 384);
    EXPECT_EQ(doc.GetLoopEnd(), 768);
    EXPECT_EQ(doc.GetEditDefaults().m_newClipBars, 8);
    EXPECT_EQ(doc.GetEditDefaults().m_pianoRollGrid.GetTicks(), 48);
}

TEST(ProjectDocTest, FindByIdFindsPhrasesBeforeClips)
{
    CProjectDoc doc;
    auto bank = std::make_unique<CPhraseBank>("Bank");
    bank->InsertAt(0, MakePhrase(7));
    bank->InsertAt(1, MakePhrase(0));
    CPhrase& phrase = bank->GetPhraseAt(0);
    doc.InsertBank(-1, std::make_unique<CPhraseBank>("Empty"));
    doc.InsertBank(-1, std::move(bank));
    auto track = MakeTrack("T", 0, 0);
    track->AddClip(MakeClip(7, 0));
    track->AddClip(MakeClip(9, 384));
    track->AddClip(MakeClip(0, 768));
    CClip& clip9 = track->GetClipAt(1);
    doc.InsertTrack(-1, MakeTrack("Other", 0, 1));
    doc.InsertTrack(-1, std::move(track));

    EXPECT_EQ(doc.FindById(7), &phrase);
    EXPECT_EQ(doc.FindById(9), &clip9);
    EXPECT_EQ(doc.FindById(0), nullptr) << "id 0 is no identity";
    EXPECT_EQ(doc.FindById(10), nullptr);
    EXPECT_EQ(doc.FindBankOf(&phrase), &doc.GetBankAt(1));
    EXPECT_EQ(doc.FindBankOf(nullptr), nullptr);
    EXPECT_EQ(doc.IndexOfTrackWithClip(&clip9), 1);

    doc.RecomputeHighestIds();
    EXPECT_EQ(doc.GetHighestObjectId(), 9);
    EXPECT_EQ(doc.NewObjectId(), 10);
    EXPECT_EQ(doc.GetHighestObjectId(), 10);
}

TEST(ProjectDocTest, RecomputeHighestIdsCoversTracksAndEmptyProjects)
{
    CProjectDoc doc;
    doc.SetHighestObjectId(40);
    doc.SetHighestTrackId(40);
    doc.RecomputeHighestIds();
    EXPECT_EQ(doc.GetHighestObjectId(), 0);
    EXPECT_EQ(doc.GetHighestTrackId(), 0);

    auto a = MakeTrack("A", 0, 0);
    a->SetId(5);
    auto b = MakeTrack("B", 0, 0);
    b->SetId(2);
    doc.InsertTrack(-1, std::move(a));
    doc.InsertTrack(-1, std::move(b));
    doc.RecomputeHighestIds();
    EXPECT_EQ(doc.GetHighestTrackId(), 5);
    EXPECT_EQ(doc.NewTrackId(), 6);
}

TEST(ProjectDocTest, InsertTrackTakesSettingsOfTrackOnSamePortAndChannel)
{
    CDocFixture f;
    auto first = MakeTrack("First", 0, 1);
    first->SetProgram(5);
    first->SetVolume(100);
    first->SetPan(20);
    f.doc.InsertTrack(-1, std::move(first));

    f.doc.InsertTrack(0, MakeTrack("Same", 0, 1));
    f.doc.InsertTrack(-1, MakeTrack("OtherChannel", 0, 2));
    f.doc.InsertTrack(-1, MakeTrack("OtherPort", 1, 1));

    EXPECT_EQ(f.Track(0).GetName(), "Same");
    EXPECT_EQ(f.Track(0).GetProgram(), 5);
    EXPECT_EQ(f.Track(0).GetVolume(), 100);
    EXPECT_EQ(f.Track(0).GetPan(), 20);
    EXPECT_EQ(f.Track(2).GetVolume(), CTrack::kNotSet);
    EXPECT_EQ(f.Track(3).GetVolume(), CTrack::kNotSet);
    EXPECT_EQ(CountOf(f.windowLog, "TrackInserted(0)"), 2);
    EXPECT_EQ(CountOf(f.windowLog, "TrackInserted(3)"), 1);
    EXPECT_TRUE(
        f.doc.SetTrackProperty(f.Track(0), static_cast<int32_t>(ETrackProperty::Transpose), -12));
    EXPECT_EQ(f.Track(0).GetTranspose(), -12);
    EXPECT_TRUE(f.player.m_log.empty()) << "an inactive project leaves the player alone";
    EXPECT_THROW(f.doc.InsertTrack(9, MakeTrack("Bad", 0, 0)), CInvalidArgument);
}

TEST(ProjectDocTest, ActiveProjectTellsPlayerOfTrackInsertAndRemove)
{
    CDocFixture f;
    f.Activate();
    f.doc.InsertTrack(-1, MakeTrack("A", 0, 0));
    f.doc.InsertTrack(-1, MakeTrack("B", 0, 0));
    EXPECT_GE(f.Track(1).GetPlayerSlot(), 0);

    std::unique_ptr<CTrack> removed = f.doc.RemoveTrack(-1);
    EXPECT_EQ(removed->GetName(), "B");
    EXPECT_EQ(removed->GetPlayerSlot(), -1);
    EXPECT_EQ(f.player.m_log,
              (std::vector<std::string>{"AddTrack(A)", "AddTrack(B)", "RemoveTrack(B)"}));
    EXPECT_EQ(CountOf(f.windowLog, "TrackRemoved(1)"), 1);
    EXPECT_THROW(f.doc.RemoveTrack(1), CInvalidArgument);
}

TEST(ProjectDocTest, ChannelVolumeReachesEveryTrackOnSamePortAndChannel)
{
    CDocFixture f;
    f.doc.InsertTrack(-1, MakeTrack("A", 0, 1));
    f.doc.InsertTrack(-1, MakeTrack("B", 0, 1));
    f.doc.InsertTrack(-1, MakeTrack("C", 1, 1));
    f.doc.InsertTrack(-1, MakeTrack("D", 0, 2));
    f.windowLog.clear();

    f.doc.SetChannelVolume(f.Track(1), 90);
    EXPECT_EQ(f.Track(0).GetVolume(), 90);
    EXPECT_EQ(f.Track(1).GetVolume(), 90);
    EXPECT_EQ(f.Track(2).GetVolume(), CTrack::kNotSet);
    EXPECT_EQ(f.Track(3).GetVolume(), CTrack::kNotSet);
    EXPECT_EQ(CountOf(f.windowLog, "TrackPropertyChanged(A,112)"), 1);
    EXPECT_EQ(CountOf(f.windowLog, "TrackPropertyChanged(B,112)"), 1);
    EXPECT_EQ(f.windowLog.size(), 2u);

    // Active: the values go through the player, and it sends the value once.
    f.Activate();
    f.Track(0).SetVolume(70); // only A differs now
    f.doc.SetChannelVolume(f.Track(1), 70);
    f.doc.SetChannelProgram(f.Track(0), 12);
    f.doc.SetChannelPan(f.Track(0), CTrack::kNotSet);
    EXPECT_EQ(f.player.m_log, (std::vector<std::string>{
                                  "SetTrackProperty(B,112,70)",
                                  "Send(B,176,7,70)",
                                  "SetTrackProperty(A,111,12)",
                                  "SetTrackProperty(B,111,12)",
                                  "Send(A,192,12,0)",
                              }))
        << "a pan equal to the stored 255 changes nothing and 255 is never sent";
    EXPECT_EQ(f.Track(1).GetProgram(), 12);
}

TEST(ProjectDocTest, TrackMovedOntoSharedChannelTakesItsSettings)
{
    CDocFixture f;
    auto a = MakeTrack("A", 0, 1);
    a->SetProgram(3);
    a->SetVolume(80);
    a->SetPan(64);
    f.doc.InsertTrack(-1, std::move(a));
    f.doc.InsertTrack(-1, MakeTrack("B", 0, 1));
    f.doc.InsertTrack(-1, MakeTrack("C", 2, 5));
    f.Activate();

    EXPECT_TRUE(f.doc.SetTrackProperty(f.Track(2), kOutput,
                                       PackNodeAddress({CNodeAddress::kKindOutputPort, 0})));
    EXPECT_EQ(f.Track(2).GetVolume(), CTrack::kNotSet) << "channel 5 is still its own";
    EXPECT_TRUE(f.doc.SetTrackProperty(f.Track(2), kOutputChannel, 1));
    EXPECT_EQ(f.Track(2).GetProgram(), 3);
    EXPECT_EQ(f.Track(2).GetVolume(), 80);
    EXPECT_EQ(f.Track(2).GetPan(), 64);
    EXPECT_EQ(CountOf(f.player.m_log, "SetTrackProperty(C,112,80)"), 1);
    EXPECT_EQ(CountOf(f.windowLog, "TrackPropertyChanged(C,102)"), 1);
    EXPECT_EQ(CountOf(f.windowLog, "TrackPropertyChanged(C,112)"), 1);

    // Colour is stored without the player; unknown numbers and bad values are refused.
    f.player.m_log.clear();
    EXPECT_TRUE(f.doc.SetTrackProperty(f.Track(0), 1, 0x00FF00));
    EXPECT_EQ(f.Track(0).GetColour(), 0x00FF00u);
    EXPECT_TRUE(f.player.m_log.empty());
    f.windowLog.clear();
    EXPECT_FALSE(f.doc.SetTrackProperty(f.Track(0), 50, 1));
    EXPECT_FALSE(f.doc.SetTrackProperty(f.Track(0), kOutputChannel, 16));
    EXPECT_TRUE(f.windowLog.empty());
    EXPECT_EQ(f.Track(0).GetOutputChannel(), 1);
}

TEST(ProjectDocTest, TransportValuesReachActivePlayer)
{
    CDocFixture f;
    f.doc.SetSongPosition(50);
    f.doc.StepSongPosition(-1);
    EXPECT_EQ(f.doc.GetSongPosition(), 0) << "stepping back stops at 0";
    f.doc.StepSongPosition(+1);
    f.doc.StepSongPosition(+1);
    EXPECT_EQ(f.doc.GetSongPosition(), 192);
    EXPECT_EQ(CountOf(f.windowLog, "SongPositionChanged"), 4);

    f.Activate();
    f.doc.StepSongPosition(+1);
    f.doc.SetSongPosition(960);
    f.doc.FollowPlayerPosition(1000);
    f.doc.ToggleLoop();
    f.doc.SetLoopStart(384);
    f.doc.SetLoopEnd(1152);
    EXPECT_EQ(f.doc.GetSongPosition(), 1000);
    EXPECT_TRUE(f.doc.IsLoopOn());
    EXPECT_EQ(f.player.m_log,
              (std::vector<std::string>{"Locate(960)", "SetLoop(1,0,1536)", "SetLoop(1,384,1536)",
                                        "SetLoop(1,384,1152)"}));
    EXPECT_EQ(CountOf(f.windowLog, "TransportChanged"), 3);
}
