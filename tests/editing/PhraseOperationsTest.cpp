// Phrase and phrase bank operations through the history, on a project the engine plays.

#include <memory>

#include "editing/BankOperations.h"
#include "editing/Clipboard.h"
#include "editing/OpsFixture.h"
#include "editing/PhraseOperations.h"
#include "editing/TrackOperations.h"
#include "files/SmfProject.h"
#include "files/SmfTestSupport.h"
#include "files/TempFolder.h"
#include "model/Clip.h"
#include "model/Properties.h"
#include "model/Track.h"

namespace {

using Names = std::vector<std::string>;

Names PhraseNames(const CPhraseBank& bank)
{
    Names names;
    for (int32_t i = 0; i < bank.GetCount(); ++i)
        names.push_back(bank.GetPhraseAt(i).GetName());
    return names;
}

Names BankNames(const CProjectDoc& doc)
{
    Names names;
    for (int32_t i = 0; i < doc.GetBankCount(); ++i)
        names.push_back(doc.GetBankAt(i).GetName());
    return names;
}

} // namespace

class PhraseOperationsTest : public COpsFixture {};

TEST_F(PhraseOperationsTest, MovesTakeATargetAfterTheSourceOneLower)
{
    CPhraseBank& bank = AddBank("Bank", {"P0", "P1", "P2", "P3"});
    CPhraseBank& other = AddBank("Other", {"Q0"});
    struct Case {
        CPhraseBank* target;
        int32_t source, index;
        Names bankAfter, otherAfter;
    };
    const Case cases[] = {
        {&bank, 0, 3, {"P1", "P2", "P0", "P3"}, {"Q0"}}, // ends up after what was at 2
        {&bank, 3, 0, {"P3", "P0", "P1", "P2"}, {"Q0"}},
        {&bank, 1, 4, {"P0", "P2", "P3", "P1"}, {"Q0"}},
        {&other, 0, 1, {"P1", "P2", "P3"}, {"Q0", "P0"}}, // no adjustment across banks
        {&other, 3, 0, {"P0", "P1", "P2"}, {"P3", "Q0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        const int32_t id = bank.GetPhraseAt(c.source).GetId();
        ASSERT_TRUE(Execute(std::make_unique<COpPhraseMove>(bank, c.source, *c.target, c.index)));
        EXPECT_EQ(PhraseNames(bank), c.bankAfter);
        EXPECT_EQ(PhraseNames(other), c.otherAfter);
        EXPECT_NE(engine.FindPhrasePlayer(id), nullptr); // a move keeps id and player
        ASSERT_TRUE(doc->Undo());
        EXPECT_EQ(PhraseNames(bank), (Names{"P0", "P1", "P2", "P3"}));
        EXPECT_EQ(PhraseNames(other), (Names{"Q0"}));
    }
    EXPECT_FALSE(Execute(std::make_unique<COpPhraseMove>(bank, 1, bank, 2))); // stays in place
    EXPECT_FALSE(Execute(std::make_unique<COpPhraseMove>(bank, 4, bank, 0)));
    EXPECT_FALSE(Execute(std::make_unique<COpPhraseMove>(bank, 0, other, 3)));
}

TEST_F(PhraseOperationsTest, DeletedPhraseComesBackWithANewIdAndItsPlayer)
{
    CPhraseBank& bank = AddBank("Bank", {"P0", "P1"});
    CPhrase& p1 = bank.GetPhraseAt(1);
    const int32_t id = p1.GetId();
    ASSERT_TRUE(Execute(std::make_unique<COpPhraseCut>(bank, 1)));
    EXPECT_EQ(engine.FindPhrasePlayer(id), nullptr);
    const auto* cut = CClipboard::Instance().GetAs<CClipboardPhrase>();
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(cut->GetPhrase().GetName(), "P1");
    EXPECT_EQ(CountOf(windowLog, "ClosePianoRoll(P1)"), 1);
    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(&bank.GetPhraseAt(1), &p1);
    EXPECT_GT(p1.GetId(), id);
    EXPECT_NE(engine.FindPhrasePlayer(p1.GetId()), nullptr);
    EXPECT_EQ(CountOf(windowLog, "OpenBankWindow(Bank,1)"), 1);
    EXPECT_EQ(CountOf(windowLog, "BankPhraseInserted(Bank,1)"), 1);
    EXPECT_FALSE(Execute(std::make_unique<COpPhraseDelete>(bank, 2)));

    // A new phrase at the end; undo takes it and its player away.
    ASSERT_TRUE(Execute(
        std::make_unique<COpPhraseCreate>(bank, -1, std::make_unique<CPhrase>("New", 0xFF, 384))));
    const int32_t newId = bank.GetPhraseAt(2).GetId();
    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(bank.GetCount(), 2);
    EXPECT_EQ(engine.FindPhrasePlayer(newId), nullptr);
}

TEST_F(PhraseOperationsTest, RenamesAndPropertiesAreNotRecorded)
{
    CPhraseBank& bank = AddBank("Bank", {"P0"});
    CPhrase& phrase = bank.GetPhraseAt(0);
    ASSERT_TRUE(Execute(std::make_unique<COpPhraseSetLength>(phrase, 768)));
    const size_t count = doc->GetCount();
    ASSERT_TRUE(Execute(std::make_unique<COpPhraseRename>(phrase, "Riff")));
    ASSERT_TRUE(Execute(std::make_unique<COpBankRename>(bank, "Riffs")));
    ASSERT_TRUE(Execute(std::make_unique<COpPhraseSetProperty>(
        bank, phrase, static_cast<int32_t>(EPhraseProperty::Transpose), 5)));
    ASSERT_TRUE(Execute(
        std::make_unique<COpPhraseSetProperty>(bank, phrase, COpPhraseSetProperty::kDrumFlag, 1)));
    EXPECT_FALSE(Execute(std::make_unique<COpPhraseSetProperty>(bank, phrase, 3, 1)));
    EXPECT_FALSE(Execute(std::make_unique<COpPhraseSetProperty>(bank, phrase, 120, 1)));
    EXPECT_EQ(doc->GetCount(), count);
    EXPECT_EQ(phrase.GetName(), "Riff");
    EXPECT_EQ(bank.GetName(), "Riffs");
    EXPECT_EQ(phrase.GetTranspose(), 5);
    EXPECT_TRUE(IsDrumPhrase(phrase));
    EXPECT_EQ(CountOf(windowLog, "BankRenamed(Riffs)"), 1);
    EXPECT_EQ(UndoName(), "Set Phrase Length");
    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(phrase.GetLength(), 4 * kTicksPerWhole);
    EXPECT_EQ(phrase.GetName(), "Riff");
}

TEST_F(PhraseOperationsTest, LengthDragGivesBackWhatItCutAndUndoesInOneStep)
{
    CPhraseBank& bank = AddBank("Bank", {"P0"}, 768);
    CPhrase& phrase = bank.GetPhraseAt(0);
    CNoteList notes;
    notes.Insert(CNote(100, 200, 60, 100, 64));
    notes.Insert(CNote(500, 700, 62, 100, 64));
    ASSERT_EQ(proxy.ReplaceNotes(phrase, notes), 1);
    CEventList events;
    events.Insert(CMidiEvent(600, kKindControlChange, 1, 5));
    ASSERT_EQ(proxy.ReplaceEvents(phrase, events), 1);
    StartPlaying();
    for (tick length : {400, 300, 600, 650}) {
        ASSERT_TRUE(Execute(std::make_unique<COpPhraseSetLength>(phrase, length)));
        RunTicks(3);
    }
    EXPECT_EQ(phrase.GetLength(), 650);
    ASSERT_EQ(phrase.GetNotes().GetCount(), 2);
    EXPECT_EQ(phrase.GetNotes()[1], CNote(500, 650, 62, 100, 64)); // cut at the current end
    EXPECT_EQ(phrase.GetEvents().GetCount(), 1);
    EXPECT_FALSE(Execute(std::make_unique<COpPhraseSetLength>(phrase, 0)));
    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(phrase.GetLength(), 768);
    EXPECT_TRUE(phrase.GetNotes().SameAs(notes));
    EXPECT_TRUE(phrase.GetEvents().SameAs(events));
    ASSERT_TRUE(doc->Redo());
    EXPECT_EQ(phrase.GetLength(), 650);
    EXPECT_EQ(phrase.GetNotes()[1], CNote(500, 650, 62, 100, 64));
}

TEST_F(PhraseOperationsTest, PhrasesFromClipsStandInReverseOrder)
{
    CPhraseBank& bank = AddBank("Bank", {"P0"});
    CClipboardClips clips;
    for (const char* name : {"C1", "C2", "C3"})
        clips.Add(CClip(0, 384, name, 0x123), 0);
    ASSERT_TRUE(Execute(std::make_unique<COpPhrasesFromClips>(bank, 0, clips)));
    EXPECT_EQ(PhraseNames(bank), (Names{"C3", "C2", "C1", "P0"}));
    EXPECT_EQ(bank.GetPhraseAt(0).GetColour(), 0x123u);
    EXPECT_EQ(bank.GetPhraseAt(0).GetLength(), 384);
    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(PhraseNames(bank), (Names{"P0"}));
}

TEST_F(PhraseOperationsTest, BanksComeGoAndMoveWithTheirPhrasesAndPlayers)
{
    AddBank("A", {"A0"});
    AddBank("B", {"B0", "B1"});
    AddBank("C", {});
    const int32_t b1 = doc->GetBankAt(1).GetPhraseAt(1).GetId();
    ASSERT_TRUE(Execute(std::make_unique<COpBankMove>(0, 2)));
    EXPECT_EQ(BankNames(*doc), (Names{"B", "A", "C"}));
    EXPECT_EQ(CountOf(windowLog, "TreeBankMoved(0,1)"), 1);
    ASSERT_TRUE(Execute(std::make_unique<COpBankCut>(0)));
    EXPECT_EQ(engine.FindPhrasePlayer(b1), nullptr);
    EXPECT_EQ(CountOf(windowLog, "CloseBankWindow(B)"), 1);
    const auto* cut = CClipboard::Instance().GetAs<CClipboardBank>();
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(PhraseNames(cut->GetBank()), (Names{"B0", "B1"}));

    // A pasted copy gets new ids; the original comes back by undo with its own.
    auto copy = std::make_unique<CPhraseBank>();
    copy->CopyFrom(cut->GetBank());
    ASSERT_TRUE(Execute(std::make_unique<COpBankPaste>(2, std::move(copy))));
    EXPECT_EQ(BankNames(*doc), (Names{"A", "C", "B"}));
    EXPECT_GT(doc->GetBankAt(2).GetPhraseAt(1).GetId(), b1);
    ASSERT_TRUE(doc->Undo());
    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(BankNames(*doc), (Names{"B", "A", "C"}));
    EXPECT_EQ(doc->GetBankAt(0).GetPhraseAt(1).GetId(), b1);
    EXPECT_NE(engine.FindPhrasePlayer(b1), nullptr);
    EXPECT_FALSE(Execute(std::make_unique<COpBankMove>(1, 2)));
    EXPECT_FALSE(Execute(std::make_unique<COpBankDelete>(3)));
}

TEST_F(PhraseOperationsTest, ImportedBankIsAddedAtTheEndWithIdsAndPlayers)
{
    CTempFolder folder;
    folder.Write("Riffs.mid",
                 CFileBytes()
                     .Header(1, 1, 96)
                     .Track(CTrackBytes().Name("Lead").On(0, 2, 60, 90).Off(48, 2, 60, 10).End())
                     .Bytes());
    AddBank("First", {"P"});
    std::unique_ptr<CPhraseBank> imported = ImportSmfAsBank(folder / "Riffs.mid", user);
    ASSERT_NE(imported, nullptr);
    ASSERT_TRUE(Execute(std::make_unique<COpBankCreate>(-1, std::move(imported))));
    EXPECT_EQ(BankNames(*doc), (Names{"First", "Imported [Riffs]"}));
    const CPhrase& lead = doc->GetBankAt(1).GetPhraseAt(0);
    EXPECT_EQ(lead.GetId(), doc->GetHighestObjectId());
    EXPECT_NE(engine.FindPhrasePlayer(lead.GetId()), nullptr);
    EXPECT_EQ(CountOf(windowLog, "TreeBankInserted(1)"), 1);
    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(BankNames(*doc), (Names{"First"}));
}

TEST_F(PhraseOperationsTest, PhraseMovedOntoATrackBecomesAClipInOneEntry)
{
    CPhraseBank& bank = AddBank("Bank", {"P0", "P1"}, 768);
    CPhrase& p1 = bank.GetPhraseAt(1);
    CNoteList notes;
    notes.Insert(CNote(0, 90, 60, 100, 64));
    notes.Insert(CNote(200, 300, 64, 100, 64));
    ASSERT_EQ(proxy.ReplaceNotes(p1, notes), 1);
    p1.SetColour(0x4080C0);
    ASSERT_TRUE(Execute(std::make_unique<COpTrackCreate>(-1, std::make_unique<CTrack>())));
    const CTrack& track = *doc->GetTracks().GetAt(0);
    StartPlaying();

    // Refused when either member is: the phrase stays where it was, as it was (its id too, and
    // no id is drawn), nothing is recorded.
    const size_t entries = doc->GetCount();
    const int32_t id = p1.GetId();
    const int32_t highestId = doc->GetHighestObjectId();
    EXPECT_FALSE(Execute(std::make_unique<COpPhraseToClip>(bank, 2, 0, MakeClipFromPhrase(p1, 0))));
    EXPECT_FALSE(Execute(std::make_unique<COpPhraseToClip>(bank, 1, 1, MakeClipFromPhrase(p1, 0))));
    EXPECT_EQ(PhraseNames(bank), (Names{"P0", "P1"}));
    EXPECT_EQ(&bank.GetPhraseAt(1), &p1);
    EXPECT_EQ(p1.GetId(), id);
    EXPECT_EQ(doc->GetHighestObjectId(), highestId);
    EXPECT_EQ(track.GetClipCount(), 0);
    EXPECT_EQ(doc->GetCount(), entries);
    EXPECT_NE(engine.FindPhrasePlayer(p1.GetId()), nullptr);

    // A drop left of the song's start loses the phrase's head, as a paste does.
    ASSERT_TRUE(
        Execute(std::make_unique<COpPhraseToClip>(bank, 1, 0, MakeClipFromPhrase(p1, -100))));
    EXPECT_EQ(UndoName(), "Move Phrase");
    EXPECT_EQ(doc->GetCount(), entries + 1);
    EXPECT_EQ(PhraseNames(bank), (Names{"P0"}));
    ASSERT_EQ(track.GetClipCount(), 1);
    const CClip& clip = track.GetClipAt(0);
    const int32_t clipId = clip.GetId();
    EXPECT_EQ(clip.GetStart(), 0);
    EXPECT_EQ(clip.GetLength(), 668);
    EXPECT_EQ(clip.GetName(), "P1");
    EXPECT_EQ(clip.GetColour(), 0x4080C0u);
    ASSERT_EQ(clip.GetNotes().GetCount(), 1);
    EXPECT_EQ(clip.GetNotes()[0], CNote(100, 200, 64, 100, 64));
    EXPECT_NE(engine.FindClipPlayer(&clip), nullptr);
    EXPECT_EQ(engine.GetPhrasePlayerCount(), 1);
    RunTicks(5);

    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(PhraseNames(bank), (Names{"P0", "P1"}));
    EXPECT_EQ(&bank.GetPhraseAt(1), &p1);
    EXPECT_TRUE(p1.GetNotes().SameAs(notes));
    EXPECT_NE(engine.FindPhrasePlayer(p1.GetId()), nullptr);
    EXPECT_EQ(track.GetClipCount(), 0);
    EXPECT_EQ(engine.GetClipPlayerCount(), 0);
    RunTicks(5);

    ASSERT_TRUE(doc->Redo());
    EXPECT_EQ(PhraseNames(bank), (Names{"P0"}));
    ASSERT_EQ(track.GetClipCount(), 1);
    EXPECT_EQ(track.GetClipAt(0).GetId(), clipId); // redo draws no new id
    EXPECT_NE(engine.FindClipPlayer(&track.GetClipAt(0)), nullptr);
    EXPECT_EQ(engine.GetPhrasePlayerCount(), 1);
}
