// Clip operations and groups run through the project's history, on an active project played by
// the engine (virtual backend, commands inline), with the windows' calls recorded.

#include "editing/ClipOperations.h"
#include "editing/ClipGroups.h"
#include "editing/ClipTestSupport.h"
#include "editing/Clipboard.h"

#include <gtest/gtest.h>

namespace {

class ClipOperations : public ClipProjectFixture {
protected:
    // Runs op through the history; the log then holds only what that run called.
    bool Run(std::unique_ptr<COperation> op)
    {
        log.clear();
        return doc->Execute(std::move(op));
    }
    std::vector<CClipRef> Selection(std::initializer_list<std::pair<int32_t, int32_t>> picks)
    {
        std::vector<CClipRef> selection;
        for (auto [track, index] : picks)
            selection.push_back({&Clip(track, index), track});
        return selection;
    }
    static FCreateTracks Answer(bool yes, int& asked)
    {
        return [yes, &asked] {
            ++asked;
            return yes;
        };
    }
};

TEST_F(ClipOperations, UndoOfDeleteRestoresIndexAmongEqualStartsAndThePlayer)
{
    AddTrack("A", {0, 0, 0, 500});
    AddTrack("B", {100});
    Activate();
    const std::string before = Content();
    CClip* middle = &Clip(0, 1);
    CClip* other = &Clip(1, 0);
    ASSERT_TRUE(Run(std::make_unique<COpClipsDelete>(Selection({{0, 1}, {1, 0}}))));
    EXPECT_EQ(engine.FindClipPlayer(middle), nullptr);
    EXPECT_EQ(Track(0).GetEnd(), 884);
    EXPECT_EQ(Track(1).GetEnd(), 0);
    EXPECT_EQ(log, (std::vector<std::string>{"TracksBeginUpdate", "TracksClearSelection",
                                             "TracksClipRemoved(A.1)", "ClosePianoRoll(A.1)",
                                             "TracksClipRemoved(B.0)", "ClosePianoRoll(B.0)",
                                             "TracksEndUpdate", "RebuildTitles"}));
    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(Content(), before);
    EXPECT_EQ(&Clip(0, 1), middle); // not after the other clips at 0
    EXPECT_EQ(&Clip(1, 0), other);
    ExpectPlayersMatchTheProject();
    ASSERT_TRUE(doc->Redo());
    EXPECT_EQ(Track(0).GetClipCount(), 3);
    ExpectPlayersMatchTheProject();
}

TEST_F(ClipOperations, MoveDeletesClipsThatLeaveTheSongAndUndoBringsThemBack)
{
    AddTrack("A", {0, 1000});
    AddTrack("B", {2000});
    Activate();
    const std::string before = Content();
    // 1000 to the left: A.0 ends at -616 and goes; A.1 and B.0 move.
    ASSERT_TRUE(Run(
        std::make_unique<COpClipsMove>(2, Selection({{0, 0}, {0, 1}, {1, 0}}), -1000, 0, nullptr)));
    EXPECT_EQ(Track(0).GetClipCount(), 1);
    EXPECT_EQ(Clip(0, 0).GetStart(), 0);
    EXPECT_EQ(Clip(0, 0).GetName(), "A.1");
    EXPECT_EQ(Clip(1, 0).GetStart(), 1000);
    ExpectPlayersMatchTheProject();
    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(Content(), before);
    ExpectPlayersMatchTheProject();

    // One track up from the first track: out of the song, deleted; the move is one entry.
    const std::size_t entries = doc->GetCount();
    ASSERT_TRUE(
        Run(std::make_unique<COpClipsMove>(2, Selection({{0, 0}, {1, 0}}), 0, -1, nullptr)));
    EXPECT_EQ(Track(0).GetClipCount(), 2);
    EXPECT_EQ(Clip(0, 1).GetName(), "B.0");
    EXPECT_EQ(doc->GetCount(), entries); // the undone move was discarded, this one recorded
    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(Content(), before);
}

TEST_F(ClipOperations, PasteBelowTheLastTrackCreatesTracksInTheSameEntry)
{
    AddTrack("A", {0});
    AddTrack("B", {384});
    const std::string before = Content();
    CClipboardClips payload;
    payload.Add(Clip(0, 0), 0);
    payload.Add(Clip(1, 0), 1);
    int asked = 0;
    // Pasted two tracks down: tracks 3 and 4 are missing and are created, asking once.
    ASSERT_TRUE(Run(std::make_unique<COpClipsPaste>(2, payload, 96, 2, Answer(true, asked))));
    EXPECT_EQ(asked, 1);
    ASSERT_EQ(doc->GetTracks().GetCount(), 4);
    EXPECT_EQ(Track(2).GetName(), "Track 3");
    EXPECT_EQ(Clip(2, 0).GetStart(), 96);
    EXPECT_EQ(Clip(3, 0).GetStart(), 480);
    EXPECT_EQ(doc->GetCount(), 1u);
    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(Content(), before);

    // Answered no: both clips are skipped and the paste, left without members, fails.
    EXPECT_FALSE(Run(std::make_unique<COpClipsPaste>(2, payload, 96, 2, Answer(false, asked))));
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(Content(), before);
    EXPECT_TRUE(doc->CanRedo());
}

TEST_F(ClipOperations, ClipsStartingBeforeZeroAreCutThere)
{
    AddTrack("A", {200});
    const CClip& source = Clip(0, 0);
    ASSERT_TRUE(Run(std::make_unique<COpClipsCopy>(1, Selection({{0, 0}}), -300, 0, nullptr)));
    ASSERT_EQ(Track(0).GetClipCount(), 2);
    const CClip& copy = Clip(0, 0);
    EXPECT_EQ(copy.GetStart(), 0);
    EXPECT_EQ(copy.GetLength(), 284);
    // The copy began at -100: its first note (-100..-40) is gone, the next (-52..8) cut at 0.
    ASSERT_GT(copy.GetNotes().GetCount(), 0);
    EXPECT_EQ(copy.GetNotes()[0].m_start, 0);
    EXPECT_EQ(copy.GetNotes()[0].m_end, 8);
    EXPECT_EQ(copy.GetNotes().GetCount(), source.GetNotes().GetCount() - 1);
    EXPECT_NE(copy.GetId(), source.GetId());
}

TEST_F(ClipOperations, DraggingAClipEndFoldsAndGivesMaterialBack)
{
    AddTrack("A", {0});
    Activate();
    ASSERT_EQ(proxy.Play(), 1);
    RunTicks(100);
    const std::string before = Content();
    CClip& clip = Clip(0, 0);
    using E = EClipLengthOrigin;
    ASSERT_TRUE(Run(std::make_unique<COpClipSetLength>(clip, 100, E::TracksDrag)));
    RunTicks(10);
    ASSERT_TRUE(Run(std::make_unique<COpClipSetLength>(clip, 50, E::TracksDrag)));
    ASSERT_TRUE(Run(std::make_unique<COpClipSetLength>(clip, 300, E::TracksDrag)));
    EXPECT_EQ(doc->GetCount(), 1u);
    EXPECT_EQ(clip.GetLength(), 300);
    EXPECT_EQ(Track(0).GetEnd(), 300);
    // Material between the shortest and the last end is back: notes at 0, 48, ..., 288.
    EXPECT_EQ(clip.GetNotes().GetCount(), 7);
    EXPECT_EQ(clip.GetNotes()[6].m_end, 300);
    EXPECT_EQ(clip.GetEvents().GetCount(), 4);
    // The keys' length command does not fold into a drag.
    ASSERT_TRUE(Run(std::make_unique<COpClipSetLength>(clip, 200, E::TracksKeys)));
    EXPECT_EQ(doc->GetCount(), 2u);
    ASSERT_TRUE(doc->Undo());
    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(Content(), before);
    RunTicks(50);
    ASSERT_TRUE(doc->Redo());
    EXPECT_EQ(clip.GetLength(), 300);
    EXPECT_EQ(clip.GetNotes().GetCount(), 7);
}

TEST_F(ClipOperations, StartEdgeKeepsSongPositionsAndUndoRestoresMaterial)
{
    AddTrack("A", {0, 100, 100});
    const std::string before = Content();
    CClip& first = Clip(0, 0);
    ASSERT_TRUE(Run(std::make_unique<COpClipSetStart>(first, 150)));
    // Now starting after the two clips at 100, the clip moved behind them.
    EXPECT_EQ(&Clip(0, 2), &first);
    EXPECT_EQ(first.GetLength(), 234);
    EXPECT_EQ(first.GetNotes()[0].m_start, 0); // the note at song 96..156 cut at 150
    EXPECT_EQ(first.GetNotes()[0].m_end, 6);
    ASSERT_TRUE(Run(std::make_unique<COpClipSetStart>(first, 100)));
    EXPECT_EQ(doc->GetCount(), 1u);
    EXPECT_EQ(first.GetNotes()[0].m_start, 0); // song 48..108 came back, cut at 100
    EXPECT_EQ(first.GetNotes()[0].m_end, 8);
    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(Content(), before);
    EXPECT_EQ(&Clip(0, 0), &first);
    ASSERT_TRUE(doc->Redo());
    EXPECT_EQ(&Clip(0, 2), &first);
    EXPECT_EQ(first.GetStart(), 100);
}

TEST_F(ClipOperations, SplitLeavesTwoJoiningClipsAndOneUndoRestoresTheClip)
{
    AddTrack("A", {0, 1000});
    Activate();
    const std::string before = Content();
    CClip* clip = &Clip(0, 0);
    const int32_t id = clip->GetId();
    ASSERT_TRUE(Run(std::make_unique<COpClipSplit>(0, *clip, 120)));
    ASSERT_EQ(Track(0).GetClipCount(), 3);
    EXPECT_EQ(Clip(0, 0).GetEnd(), 120);
    EXPECT_EQ(Clip(0, 1).GetStart(), 120);
    EXPECT_EQ(Clip(0, 1).GetEnd(), 384);
    EXPECT_EQ(Clip(0, 0).GetId(), id); // the head carries the clip's identity
    EXPECT_EQ(clip->GetName(), "Invalid");
    ExpectPlayersMatchTheProject();
    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(Content(), before);
    EXPECT_EQ(&Clip(0, 0), clip);
    EXPECT_EQ(clip->GetId(), id);
    ExpectPlayersMatchTheProject();

    // Positions on or outside the edges are refused.
    EXPECT_FALSE(Run(std::make_unique<COpClipSplit>(0, *clip, 0)));
    EXPECT_FALSE(Run(std::make_unique<COpClipSplit>(0, *clip, 384)));
    EXPECT_EQ(Content(), before);
}

TEST_F(ClipOperations, MergeJoinsMaterialAndReplacePassesIdentityAndPianoRoll)
{
    AddTrack("A", {0});
    AddTrack("B", {1000});
    CClip* first = &Clip(0, 0);
    const int32_t id = first->GetId();
    ASSERT_TRUE(Run(std::make_unique<COpClipMerge>(0, *first, 1, Clip(1, 0))));
    EXPECT_EQ(Track(1).GetClipCount(), 0);
    const CClip& merged = Clip(0, 0);
    EXPECT_EQ(merged.GetId(), id);
    EXPECT_EQ(merged.GetName(), "A.0");
    EXPECT_EQ(merged.GetLength(), 1384);
    EXPECT_EQ(merged.GetNotes().GetCount(), 16);
    EXPECT_NE(std::find(log.begin(), log.end(), "MovePianoRoll(Invalid,A.0)"), log.end());
    EXPECT_FALSE(Run(std::make_unique<COpClipMerge>(0, Clip(0, 0), 0, Clip(0, 0))));
}

TEST_F(ClipOperations, RedoKeepsIdsAndRecordingNamesAfterTheTrack)
{
    CTrack& track = AddTrack("Bass", {});
    track.SetColour(0x00FF00);
    Activate();
    auto clip = MakeClip(96, 384, "take");
    CClip* take = clip.get();
    std::vector<std::pair<int32_t, std::unique_ptr<CClip>>> takes;
    takes.emplace_back(0, std::move(clip));
    ASSERT_TRUE(Run(std::make_unique<COpClipsRecord>(std::move(takes))));
    EXPECT_EQ(take->GetName(), "[Rec] Bass");
    EXPECT_EQ(take->GetColour(), 0x00FF00u);
    const int32_t id = take->GetId();
    EXPECT_EQ(id, doc->GetHighestObjectId());
    EXPECT_NE(engine.FindClipPlayer(take), nullptr);
    EXPECT_EQ(doc->UpdateUndo().text, "&Undo Recording Clip(s)  \tCtrl+Z");
    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(engine.FindClipPlayer(take), nullptr);
    ASSERT_TRUE(doc->Redo());
    EXPECT_EQ(take->GetId(), id);
    EXPECT_EQ(doc->GetHighestObjectId(), id);
    ExpectPlayersMatchTheProject();
}

TEST_F(ClipOperations, RefusedOperationsLeaveNoTrace)
{
    AddTrack("A", {0});
    AddTrack("B", {0});
    Activate();
    ASSERT_TRUE(Run(std::make_unique<COpClipsDelete>(Selection({{1, 0}}))));
    ASSERT_TRUE(doc->Undo());
    doc->SetModified(false);
    const std::string before = Content();
    CClip& clip = Clip(0, 0);
    CClip stranger(0, 10, "stranger", 0);
    std::vector<std::unique_ptr<COperation>> refused;
    refused.push_back(std::make_unique<COpClipSetLength>(clip, 0));
    refused.push_back(std::make_unique<COpClipSetStart>(clip, 384));
    refused.push_back(std::make_unique<COpClipSetProperty>(clip, 2, 5));
    refused.push_back(std::make_unique<COpClipDelete>(0, stranger));
    refused.push_back(std::make_unique<COpClipCreate>(5, MakeClip(0, 10, "nowhere")));
    refused.push_back(std::make_unique<COpClipsDelete>(std::vector<CClipRef>{}));
    // Delete of two clips of which the second is not there: the first stays too.
    refused.push_back(
        std::make_unique<COpClipsDelete>(std::vector<CClipRef>{{&clip, 0}, {&stranger, 1}}));
    for (auto& op : refused)
        EXPECT_FALSE(doc->Execute(std::move(op)));
    EXPECT_EQ(Content(), before);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_TRUE(doc->CanRedo());
    ExpectPlayersMatchTheProject();

    // While playing, groups that need new tracks are refused (track creation is).
    ASSERT_EQ(proxy.Play(), 1);
    RunTicks(20);
    int asked = 0;
    EXPECT_FALSE(
        Run(std::make_unique<COpClipsCopy>(2, Selection({{1, 0}}), 0, 3, Answer(true, asked))));
    EXPECT_EQ(Content(), before);
    // Without new tracks the same copy runs while playing.
    EXPECT_TRUE(Run(std::make_unique<COpClipsCopy>(2, Selection({{1, 0}}), 384, -1, nullptr)));
    ExpectPlayersMatchTheProject();

    // Made while stopped, the copy with new tracks cannot be undone while playing.
    ASSERT_EQ(proxy.Stop(), 1);
    ASSERT_TRUE(
        Run(std::make_unique<COpClipsCopy>(2, Selection({{1, 0}}), 0, 3, Answer(true, asked))));
    EXPECT_EQ(doc->GetTracks().GetCount(), 5);
    ExpectPlayersMatchTheProject();
    ASSERT_EQ(proxy.Play(), 1);
    EXPECT_FALSE(doc->UpdateUndo().enabled);
    EXPECT_FALSE(doc->Undo());
    ASSERT_EQ(proxy.Stop(), 1);
    EXPECT_TRUE(doc->Undo());
    EXPECT_EQ(doc->GetTracks().GetCount(), 2);
    ExpectPlayersMatchTheProject();
}

TEST_F(ClipOperations, NudgesOfOneSelectionFoldIntoOneEntryAndMovesDoNot)
{
    AddTrack("A", {0, 384});
    AddTrack("B", {});
    const std::string before = Content();
    ASSERT_TRUE(Run(std::make_unique<COpClipsSetStart>(2, Selection({{0, 0}, {0, 1}}), 96)));
    ASSERT_TRUE(Run(std::make_unique<COpClipsSetStart>(2, Selection({{0, 0}, {0, 1}}), 96)));
    ASSERT_TRUE(
        Run(std::make_unique<COpClipsSetTrack>(2, Selection({{0, 0}, {0, 1}}), 1, nullptr)));
    EXPECT_EQ(doc->GetCount(), 2u);
    EXPECT_EQ(Clip(1, 0).GetStart(), 192);
    EXPECT_EQ(Clip(1, 1).GetStart(), 576);
    EXPECT_EQ(Clip(1, 0).GetName(), "A.0");
    ASSERT_TRUE(doc->Undo());
    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(Content(), before);
    ASSERT_TRUE(doc->Redo());
    EXPECT_EQ(Clip(0, 0).GetStart(), 192);

    ASSERT_TRUE(Run(std::make_unique<COpClipsMove>(2, Selection({{0, 0}}), 10, 0, nullptr)));
    ASSERT_TRUE(Run(std::make_unique<COpClipsMove>(2, Selection({{0, 0}}), 10, 0, nullptr)));
    EXPECT_EQ(doc->GetCount(), 3u);
}

TEST_F(ClipOperations, CutFillsTheClipboardAndColourAndNameAreNotRecorded)
{
    AddTrack("A", {0, 500});
    ASSERT_TRUE(Run(std::make_unique<COpClipsCut>(Selection({{0, 1}}))));
    const auto* payload = CClipboard::Instance().GetAs<CClipboardClips>();
    ASSERT_NE(payload, nullptr);
    ASSERT_EQ(payload->GetCount(), 1);
    EXPECT_EQ(payload->GetEarliestStart(), 500);
    EXPECT_EQ(Track(0).GetClipCount(), 1);

    ASSERT_TRUE(Run(std::make_unique<COpClipsSetProperty>(Selection({{0, 0}}), 1, 0xABCDEF)));
    ASSERT_TRUE(Run(std::make_unique<COpClipRename>(Clip(0, 0), "Verse")));
    EXPECT_EQ(Clip(0, 0).GetColour(), 0xABCDEFu);
    EXPECT_EQ(log, (std::vector<std::string>{"TracksClipChanged(Verse)",
                                             "PianoRollDataChanged(Verse)", "RebuildTitles"}));
    EXPECT_EQ(doc->GetCount(), 1u);
    EXPECT_EQ(doc->UpdateUndo().text, "&Undo Cut Clip(s)  \tCtrl+Z");
}

} // namespace

namespace {

TEST_F(ClipOperations, ClipsBecomePhrasesPlayingToTheirTracks)
{
    CTrack& track = AddTrack("A", {0, 500});
    doc->InsertBank(-1, std::make_unique<CPhraseBank>("Bank"));
    CPhraseBank& bank = doc->GetBankAt(0);
    Activate();
    const std::string before = Content();
    ASSERT_TRUE(Run(std::make_unique<COpClipsToPhrases>(&doc->GetTracks(),
                                                        Selection({{0, 1}, {0, 0}}), bank, 0)));
    ASSERT_EQ(bank.GetCount(), 2);
    EXPECT_EQ(bank.GetPhraseAt(0).GetName(), "A.1");
    EXPECT_EQ(bank.GetPhraseAt(1).GetLength(), 384);
    EXPECT_EQ(bank.GetPhraseAt(1).GetNotes().GetCount(), 8);
    EXPECT_EQ(bank.GetPhraseAt(0).GetOutput(),
              (CNodeAddress{CNodeAddress::kKindTrack, track.GetId()}));
    EXPECT_EQ(Track(0).GetClipCount(), 2);

    ASSERT_TRUE(
        Run(std::make_unique<COpClipsMoveToPhrases>(nullptr, Selection({{0, 0}}), bank, 1)));
    EXPECT_EQ(bank.GetCount(), 3);
    EXPECT_EQ(bank.GetPhraseAt(1).GetName(), "A.0");
    EXPECT_TRUE(bank.GetPhraseAt(1).GetOutput().IsNone());
    EXPECT_EQ(Track(0).GetClipCount(), 1);
    ExpectPlayersMatchTheProject();
    ASSERT_TRUE(doc->Undo());
    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(Content(), before);
    ExpectPlayersMatchTheProject();
}

} // namespace
