// Track operations through the history, on a project the engine plays.

#include <memory>

#include "editing/OpsFixture.h"
#include "editing/TrackOperations.h"
#include "model/ObjectColours.h"
#include "model/Properties.h"
#include "model/Track.h"

namespace {

std::unique_ptr<CTrack> Unnamed()
{
    auto track = std::make_unique<CTrack>();
    track->SetName("");
    return track;
}

std::unique_ptr<CTrack> Named(const std::string& name)
{
    auto track = std::make_unique<CTrack>();
    track->SetName(name);
    return track;
}

std::vector<std::string> TrackNames(const CProjectDoc& doc)
{
    std::vector<std::string> names;
    for (int32_t i = 0; i < doc.GetTracks().GetCount(); ++i)
        names.push_back(doc.GetTracks().GetAt(i)->GetName());
    return names;
}

using Names = std::vector<std::string>;

} // namespace

class TrackOperationsTest : public COpsFixture {};

TEST_F(TrackOperationsTest, NewTracksAreNamedAfterTheirIdAndColouredFromThePalette)
{
    const int32_t nextColour = TheObjectColours().GetNextIndex();
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(Execute(std::make_unique<COpTrackCreate>(-1, Unnamed())));
    auto fifth = Unnamed();
    fifth->SetColour(0x123456);
    CTrack* created = fifth.get();
    ASSERT_TRUE(Execute(std::make_unique<COpTrackCreate>(-1, std::move(fifth))));
    EXPECT_EQ(TrackNames(*doc), (Names{"Track 1", "Track 2", "Track 3", "Track 4", "Track 5"}));
    EXPECT_EQ(created->GetId(), 5);
    EXPECT_EQ(created->GetColour(), 0x123456u); // a colour given is kept
    EXPECT_EQ(doc->GetTracks().GetAt(0)->GetColour(), CObjectColours::kPalette[nextColour]);
    EXPECT_EQ(doc->GetTracks().GetAt(1)->GetColour(),
              CObjectColours::kPalette[(nextColour + 1) % CObjectColours::kCount]);
    EXPECT_NE(engine.FindTrackPlayer(5), nullptr);
    EXPECT_EQ(UndoName(), "Create Track");

    // Undo takes the track and its player away; redo puts the same track back with its id.
    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(engine.FindTrackPlayer(5), nullptr);
    EXPECT_EQ(doc->GetTracks().GetCount(), 4);
    ASSERT_TRUE(doc->Redo());
    EXPECT_EQ(doc->GetTracks().GetAt(4), created);
    EXPECT_EQ(created->GetId(), 5);
    EXPECT_EQ(created->GetName(), "Track 5");
    EXPECT_EQ(doc->GetHighestTrackId(), 5);
    EXPECT_NE(engine.FindTrackPlayer(5), nullptr);
    EXPECT_EQ(CountOf(windowLog, "OpenTracksWindow(1)"), 2);
}

TEST_F(TrackOperationsTest, MoveTargetsAfterTheSourceNameThePlaceBeforeTheRemoval)
{
    for (const char* name : {"A", "B", "C", "D"})
        ASSERT_TRUE(Execute(std::make_unique<COpTrackCreate>(-1, Named(name))));
    struct Case {
        int32_t source, target;
        Names after;
    };
    const Case cases[] = {
        {0, 3, {"B", "C", "A", "D"}}, // dropped before D
        {0, 4, {"B", "C", "D", "A"}}, // dropped at the end
        {3, 0, {"D", "A", "B", "C"}},
        {2, 1, {"A", "C", "B", "D"}},
    };
    for (const Case& c : cases) {
        windowLog.clear();
        auto move = std::make_unique<COpTrackMove>(c.source, c.target);
        const int32_t target = move->GetTarget();
        ASSERT_TRUE(Execute(std::move(move))) << c.source << "->" << c.target;
        EXPECT_EQ(TrackNames(*doc), c.after) << c.source << "->" << c.target;
        EXPECT_EQ(CountOf(windowLog, "TrackMoved(" + std::to_string(c.source) + "," +
                                         std::to_string(target) + ")"),
                  1);
        ASSERT_TRUE(doc->Undo());
        EXPECT_EQ(TrackNames(*doc), (Names{"A", "B", "C", "D"}));
    }
    // A drop just behind itself moves nothing and is refused; so are indices out of range.
    const size_t count = doc->GetCount();
    EXPECT_FALSE(Execute(std::make_unique<COpTrackMove>(1, 2)));
    EXPECT_FALSE(Execute(std::make_unique<COpTrackMove>(1, 1)));
    EXPECT_FALSE(Execute(std::make_unique<COpTrackMove>(4, 0)));
    EXPECT_EQ(doc->GetCount(), count);
}

TEST_F(TrackOperationsTest, UndoOfDeleteRestoresTheTrackAtItsIndexWithItsPlayer)
{
    for (const char* name : {"A", "B", "C"})
        ASSERT_TRUE(Execute(std::make_unique<COpTrackCreate>(-1, Named(name))));
    CTrack* b = doc->GetTracks().GetAt(1);
    b->AddClip(std::make_unique<CClip>(0, 384, "Riff", 0));
    windowLog.clear();
    ASSERT_TRUE(Execute(std::make_unique<COpTrackDelete>(1)));
    EXPECT_EQ(TrackNames(*doc), (Names{"A", "C"}));
    EXPECT_EQ(engine.FindTrackPlayer(2), nullptr);
    EXPECT_EQ(CountOf(windowLog, "ClosePianoRoll(Riff)"), 1);
    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(doc->GetTracks().GetAt(1), b);
    EXPECT_EQ(b->GetId(), 2);
    EXPECT_NE(engine.FindTrackPlayer(2), nullptr);
    EXPECT_FALSE(Execute(std::make_unique<COpTrackDelete>(3)));
    EXPECT_TRUE(doc->CanRedo()); // the failed one left the redo history as it was
    ASSERT_TRUE(doc->Redo());
    EXPECT_EQ(TrackNames(*doc), (Names{"A", "C"}));
}

TEST_F(TrackOperationsTest, WhileTheActiveProjectPlaysTracksAreNotAddedRemovedOrMoved)
{
    ASSERT_TRUE(Execute(std::make_unique<COpTrackCreate>(-1, Named("A"))));
    ASSERT_TRUE(Execute(std::make_unique<COpTrackCreate>(-1, Named("B"))));
    StartPlaying();
    ASSERT_TRUE(doc->IsPlayingActive());
    EXPECT_FALSE(doc->CanUndo());
    EXPECT_FALSE(doc->Undo());
    EXPECT_FALSE(Execute(std::make_unique<COpTrackCreate>(-1, Named("C"))));
    EXPECT_FALSE(Execute(std::make_unique<COpTrackDelete>(0)));
    EXPECT_FALSE(Execute(std::make_unique<COpTrackMove>(0, 2)));
    std::vector<std::unique_ptr<CTrack>> imported;
    imported.push_back(Named("I"));
    EXPECT_FALSE(Execute(std::make_unique<COpTracksImport>(0, std::move(imported))));
    EXPECT_EQ(TrackNames(*doc), (Names{"A", "B"}));

    // Renaming and properties go on while playing and are not recorded.
    CTrack& a = *doc->GetTracks().GetAt(0);
    ASSERT_TRUE(Execute(std::make_unique<COpTrackRename>(a, "Lead")));
    ASSERT_TRUE(Execute(std::make_unique<COpTrackSetProperty>(
        a, static_cast<int32_t>(ETrackProperty::Transpose), -12)));
    EXPECT_FALSE(Execute(std::make_unique<COpTrackSetProperty>(a, 3, 1)));
    EXPECT_EQ(a.GetName(), "Lead");
    EXPECT_EQ(a.GetTranspose(), -12);
    EXPECT_EQ(CountOf(windowLog, "TrackRenamed(Lead)"), 1);
    EXPECT_EQ(doc->GetCount(), 2u);

    proxy.Stop();
    EXPECT_TRUE(doc->CanUndo());
    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(TrackNames(*doc), (Names{"Lead"}));
}

TEST_F(TrackOperationsTest, ImportedTracksComeAndGoInOneEntry)
{
    ASSERT_TRUE(Execute(std::make_unique<COpTrackCreate>(-1, Named("A"))));
    std::vector<std::unique_ptr<CTrack>> imported;
    imported.push_back(Named("X"));
    imported.push_back(Named("Y"));
    ASSERT_TRUE(Execute(std::make_unique<COpTracksImport>(0, std::move(imported))));
    EXPECT_EQ(TrackNames(*doc), (Names{"X", "Y", "A"}));
    EXPECT_EQ(UndoName(), "Import Track(s) from MIDI file");
    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(TrackNames(*doc), (Names{"A"}));
    ASSERT_TRUE(doc->Redo());
    EXPECT_EQ(TrackNames(*doc), (Names{"X", "Y", "A"}));
}
