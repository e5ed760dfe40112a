// Note and event operations through the history, on phrases the engine plays.

#include <memory>

#include "editing/Clipboard.h"
#include "editing/EventOperations.h"
#include "editing/NoteOperations.h"
#include "editing/OpsFixture.h"

namespace {

CNoteList Notes(std::initializer_list<CNote> notes)
{
    CNoteList list;
    for (const CNote& note : notes)
        list.Insert(note);
    return list;
}

CEventList Events(std::initializer_list<CMidiEvent> events)
{
    CEventList list;
    for (const CMidiEvent& event : events)
        list.Insert(event);
    return list;
}

CNote N(tick start, tick end, uint8_t pitch = 60, uint8_t velocity = 100)
{
    return CNote(start, end, pitch, velocity, 64);
}

CMidiEvent Cc(tick time, uint8_t value)
{
    return CMidiEvent(time, kKindControlChange, 7, value);
}

constexpr CNoteArea kArea{0, 0, 96, 128};

} // namespace

class NoteOperationsTest : public COpsFixture {
protected:
    NoteOperationsTest() : bank(AddBank("Bank", {"A", "B"}, kTicksPerWhole))
    {
        a = &bank.GetPhraseAt(0);
        b = &bank.GetPhraseAt(1);
        windowLog.clear();
    }

    CPhraseBank& bank;
    CPhrase* a = nullptr;
    CPhrase* b = nullptr;
};

TEST_F(NoteOperationsTest, AddedSetsGrowTheContainerOnlyAsTheOptionAndTheOpenEndAllow)
{
    struct Case {
        int32_t option;
        tick length;
        CNoteList pasted;
        CNoteList kept;
        tick lengthAfter;
        size_t questions;
    };
    const Case cases[] = {
        // Answered no: notes at or after the end go, a note across it is cut there.
        {CAppOptions::kAsk, 384, Notes({N(300, 400), N(384, 480), N(500, 600)}),
         Notes({N(300, 384)}), 384, 1},
        {CAppOptions::kNever, 384, Notes({N(0, 96), N(384, 480)}), Notes({N(0, 96)}), 384, 0},
        {CAppOptions::kAlways, 384, Notes({N(300, 400), N(500, 600)}),
         Notes({N(300, 400), N(500, 600)}), 600, 0},
        // Never beyond the open end, even when always extending.
        {CAppOptions::kAlways, kOpenEnd - 100, Notes({N(kOpenEnd - 50, kOpenEnd + 100)}),
         Notes({N(kOpenEnd - 50, kOpenEnd)}), kOpenEnd, 0},
        // Inside the phrase nothing is asked.
        {CAppOptions::kAsk, 384, Notes({N(0, 384)}), Notes({N(0, 384)}), 384, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lengthAfter);
        ASSERT_EQ(proxy.SetPhraseLength(*a, c.length), 1);
        ASSERT_EQ(proxy.ReplaceNotes(*a, Notes({N(10, 20, 40)})), 1);
        manager.GetOptions().m_autoExtendSequence = c.option;
        user.m_questions.clear();
        user.m_answers = {false};
        ASSERT_TRUE(Execute(std::make_unique<COpNotesPaste>(*a, c.pasted, kArea, Ask())));
        CNoteList expected = Notes({N(10, 20, 40)});
        expected.MergeFrom(c.kept);
        EXPECT_TRUE(a->GetNotes().SameAs(expected));
        EXPECT_EQ(a->GetLength(), c.lengthAfter);
        EXPECT_EQ(user.m_questions.size(), c.questions);

        // Undo takes the notes out before it shortens the phrase (else the cut would lose
        // them), redo lengthens it first.
        ASSERT_TRUE(doc->Undo());
        EXPECT_TRUE(a->GetNotes().SameAs(Notes({N(10, 20, 40)})));
        EXPECT_EQ(a->GetLength(), c.length);
        ASSERT_TRUE(doc->Redo());
        EXPECT_TRUE(a->GetNotes().SameAs(expected));
        EXPECT_EQ(a->GetLength(), c.lengthAfter);
    }

    // Events behave alike; an event needs the tick it sits on inside the phrase.
    ASSERT_EQ(proxy.SetPhraseLength(*b, 384), 1);
    manager.GetOptions().m_autoExtendSequence = CAppOptions::kNever;
    ASSERT_TRUE(Execute(std::make_unique<COpEventsPaste>(
        *b, Events({Cc(383, 1), Cc(384, 2), Cc(500, 3)}), CTimeRange{383, 501}, Ask())));
    EXPECT_TRUE(b->GetEvents().SameAs(Events({Cc(383, 1)})));
    EXPECT_EQ(b->GetLength(), 384);
    manager.GetOptions().m_autoExtendSequence = CAppOptions::kAlways;
    ASSERT_TRUE(Execute(
        std::make_unique<COpEventsPaste>(*b, Events({Cc(500, 3)}), CTimeRange{500, 501}, Ask())));
    EXPECT_EQ(b->GetLength(), 501);
}

TEST_F(NoteOperationsTest, VelocityLaneStepsFoldIntoTheEditOfTheSameNotesAndArea)
{
    const CNoteList start = Notes({N(0, 96, 60, 100), N(96, 192, 62, 100)});
    ASSERT_EQ(proxy.ReplaceNotes(*a, start), 1);
    const CNoteArea area{0, 0, 192, 128};
    const CNoteList edited = Notes({N(0, 96, 60, 80), N(96, 192, 62, 90)});
    ASSERT_TRUE(Execute(std::make_unique<COpNotesEditVelocities>(*a, start, edited, area, area)));
    const size_t count = doc->GetCount();
    const CNoteList dragged = Notes({N(0, 96, 60, 70), N(96, 192, 62, 70)});
    ASSERT_TRUE(
        Execute(std::make_unique<COpNotesSetVelocityLane>(*a, edited, dragged, area, area)));
    const CNoteList further = Notes({N(0, 96, 60, 50), N(96, 192, 62, 50)});
    ASSERT_TRUE(
        Execute(std::make_unique<COpNotesSetVelocityLane>(*a, dragged, further, area, area)));
    EXPECT_EQ(doc->GetCount(), count);
    EXPECT_EQ(UndoName(), "Edit Note-On Velocities");
    EXPECT_EQ(CountOf(windowLog, "PianoRollRefreshVelocities(A,144,0..192)"), 3);

    // A lane step from another area, or a step of another kind, is an entry of its own.
    const CNoteArea other{0, 0, 96, 128};
    const CNoteList last = Notes({N(0, 96, 60, 40), N(96, 192, 62, 50)});
    ASSERT_TRUE(
        Execute(std::make_unique<COpNotesSetVelocityLane>(*a, further, last, other, other)));
    EXPECT_EQ(doc->GetCount(), count + 1);
    ASSERT_TRUE(Execute(std::make_unique<COpNotesSetVelocity>(*a, last, further, other, other)));
    EXPECT_EQ(doc->GetCount(), count + 2);

    ASSERT_TRUE(doc->Undo());
    ASSERT_TRUE(doc->Undo());
    EXPECT_TRUE(a->GetNotes().SameAs(further));
    ASSERT_TRUE(doc->Undo()); // the whole folded edit at once
    EXPECT_TRUE(a->GetNotes().SameAs(start));
    EXPECT_EQ(CountOf(windowLog, "OpenPianoRoll(A,1)"), 3);
}

TEST_F(NoteOperationsTest, EditsThatChangeNothingOrMissTheirNotesAreRefusedWithoutTrace)
{
    ASSERT_EQ(proxy.ReplaceNotes(*a, Notes({N(0, 96)})), 1);
    ASSERT_EQ(proxy.ReplaceEvents(*a, Events({Cc(0, 10)})), 1);
    doc->SetModified(false);
    const size_t count = doc->GetCount();
    const CNoteList same = Notes({N(0, 96)});
    std::vector<std::unique_ptr<COperation>> refused;
    refused.push_back(std::make_unique<COpNoteModify>(*a, N(0, 96), N(0, 96)));
    refused.push_back(std::make_unique<COpNoteSetStart>(*a, N(0, 96), N(0, 96)));
    refused.push_back(std::make_unique<COpNoteDelete>(*a, N(1, 96)));
    refused.push_back(std::make_unique<COpNoteModify>(*a, N(1, 96), N(2, 96)));
    refused.push_back(std::make_unique<COpEventModify>(*a, Cc(0, 10), Cc(0, 10)));
    refused.push_back(std::make_unique<COpNotesModify>(*a, same, same, kArea, kArea));
    refused.push_back(std::make_unique<COpNotesDelete>(*a, CNoteList(), kArea));
    // An old set the phrase does not hold (twice the one note it has) is refused too.
    refused.push_back(std::make_unique<COpNotesDelete>(*a, Notes({N(0, 96), N(0, 96)}), kArea));
    refused.push_back(std::make_unique<COpEventsSetValue>(
        *a, Events({Cc(0, 11)}), Events({Cc(0, 12)}), CTimeRange{0, 1}, CTimeRange{0, 1}));
    for (auto& op : refused)
        EXPECT_FALSE(Execute(std::move(op)));
    EXPECT_EQ(doc->GetCount(), count);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_TRUE(a->GetNotes().SameAs(same));
    EXPECT_TRUE(a->GetEvents().SameAs(Events({Cc(0, 10)})));
}

TEST_F(NoteOperationsTest, DragStepsOfOneNoteFoldButModifyAndEditNeverDo)
{
    ASSERT_EQ(proxy.ReplaceNotes(*a, Notes({N(0, 96), N(0, 48, 64)})), 1);
    const size_t count = doc->GetCount();
    ASSERT_TRUE(Execute(std::make_unique<COpNoteSetStart>(*a, N(0, 96), N(10, 106))));
    ASSERT_TRUE(Execute(std::make_unique<COpNoteSetStart>(*a, N(10, 106), N(20, 116))));
    ASSERT_TRUE(Execute(std::make_unique<COpNoteSetStart>(*a, N(20, 116), N(30, 126))));
    EXPECT_EQ(doc->GetCount(), count + 1);
    // Another note's drag is a new entry.
    ASSERT_TRUE(Execute(std::make_unique<COpNoteSetPitch>(*a, N(0, 48, 64), N(0, 48, 65))));
    ASSERT_TRUE(Execute(std::make_unique<COpNoteSetPitch>(*a, N(0, 48, 65), N(0, 48, 66))));
    EXPECT_EQ(doc->GetCount(), count + 2);
    ASSERT_TRUE(Execute(std::make_unique<COpNoteModify>(*a, N(0, 48, 66), N(0, 48, 67))));
    ASSERT_TRUE(Execute(std::make_unique<COpNoteModify>(*a, N(0, 48, 67), N(0, 48, 68))));
    ASSERT_TRUE(Execute(std::make_unique<COpNoteEdit>(*a, N(0, 48, 68), N(0, 48, 69))));
    ASSERT_TRUE(Execute(std::make_unique<COpNoteEdit>(*a, N(0, 48, 69), N(0, 48, 70))));
    EXPECT_EQ(doc->GetCount(), count + 6);
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(doc->Undo());
    EXPECT_TRUE(a->GetNotes().SameAs(Notes({N(0, 48, 64), N(30, 126)})));
    ASSERT_TRUE(doc->Undo()); // the whole drag back to where it began, after the equal start
    EXPECT_TRUE(a->GetNotes().SameAs(Notes({N(0, 48, 64), N(0, 96)})));
}

TEST_F(NoteOperationsTest, CutMoveAndCopyCarryNotesAndEventsBetweenPhrases)
{
    ASSERT_EQ(proxy.ReplaceNotes(*a, Notes({N(0, 96), N(96, 192, 62), N(192, 288, 64)})), 1);
    ASSERT_EQ(proxy.ReplaceEvents(*a, Events({Cc(0, 1), Cc(100, 2), Cc(200, 3)})), 1);
    ASSERT_TRUE(Execute(std::make_unique<COpNotesCut>(*a, Notes({N(96, 192, 62)}), kArea)));
    const auto* cut = CClipboard::Instance().GetAs<CClipboardNotes>();
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(cut->GetContainerName(), "A");
    EXPECT_TRUE(cut->GetNotes().SameAs(Notes({N(96, 192, 62)})));
    EXPECT_TRUE(a->GetNotes().SameAs(Notes({N(0, 96), N(192, 288, 64)})));

    manager.GetOptions().m_autoExtendSequence = CAppOptions::kAlways;
    ASSERT_TRUE(Execute(std::make_unique<COpNotesMove>(*a, Notes({N(0, 96)}), kArea, *b,
                                                       Notes({N(400, 496, 70)}),
                                                       CNoteArea{400, 70, 496, 71}, Ask())));
    EXPECT_TRUE(a->GetNotes().SameAs(Notes({N(192, 288, 64)})));
    EXPECT_TRUE(b->GetNotes().SameAs(Notes({N(400, 496, 70)})));
    EXPECT_EQ(b->GetLength(), 496);
    EXPECT_EQ(UndoName(), "Move Notes");

    ASSERT_TRUE(Execute(std::make_unique<COpEventsMove>(*a, Events({Cc(100, 2), Cc(200, 3)}),
                                                        CTimeRange{100, 201}, *b, 0, Ask())));
    EXPECT_TRUE(a->GetEvents().SameAs(Events({Cc(0, 1)})));
    EXPECT_TRUE(b->GetEvents().SameAs(Events({Cc(0, 2), Cc(100, 3)})));
    ASSERT_TRUE(Execute(
        std::make_unique<COpEventsCopy>(Events({Cc(0, 1)}), CTimeRange{0, 10}, *a, 50, Ask())));
    EXPECT_TRUE(a->GetEvents().SameAs(Events({Cc(0, 1), Cc(50, 1)})));

    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(doc->Undo());
    EXPECT_TRUE(a->GetNotes().SameAs(Notes({N(0, 96), N(96, 192, 62), N(192, 288, 64)})));
    EXPECT_TRUE(a->GetEvents().SameAs(Events({Cc(0, 1), Cc(100, 2), Cc(200, 3)})));
    EXPECT_TRUE(b->GetNotes().IsEmpty());
    EXPECT_TRUE(b->GetEvents().IsEmpty());
    EXPECT_EQ(b->GetLength(), kTicksPerWhole);
}

TEST_F(NoteOperationsTest, UndoOfASetEditPutsEventsBackInTheirOrderWithinATick)
{
    // Three controllers on one tick: their order is what the receiver sees.
    const CMidiEvent bankMsb(0, kKindControlChange, 0, 1);
    const CMidiEvent bankLsb(0, kKindControlChange, 32, 2);
    const CMidiEvent program(0, kKindProgramChange, 5, 0);
    const CEventList start = Events({bankMsb, bankLsb, program});
    ASSERT_EQ(proxy.ReplaceEvents(*a, start), 1);
    const CTimeRange range{0, 1};
    CMidiEvent louder = bankLsb;
    louder.m_data2 = 3;
    ASSERT_TRUE(Execute(std::make_unique<COpEventsSetValue>(*a, Events({bankLsb}), Events({louder}),
                                                            range, range)));
    ASSERT_TRUE(Execute(std::make_unique<COpEventsDelete>(*a, Events({bankMsb}), range)));
    ASSERT_TRUE(doc->Undo());
    ASSERT_TRUE(doc->Undo());
    EXPECT_TRUE(a->GetEvents().SameAs(start));
    ASSERT_TRUE(doc->Redo());
    ASSERT_TRUE(doc->Redo());
    EXPECT_TRUE(a->GetEvents().SameAs(Events({program, louder})));

    // Notes too, also when a drag folds several steps into one entry.
    const CNoteList chord = Notes({N(0, 96, 64), N(0, 96, 60), N(0, 96, 67)});
    ASSERT_EQ(proxy.ReplaceNotes(*b, chord), 1);
    const CNoteList first = Notes({N(0, 96, 60)});
    const CNoteList second = Notes({N(0, 96, 60, 50)});
    const CNoteList third = Notes({N(0, 96, 60, 20)});
    ASSERT_TRUE(Execute(std::make_unique<COpNotesSetVelocity>(*b, first, second, kArea, kArea)));
    ASSERT_TRUE(Execute(std::make_unique<COpNotesSetVelocity>(*b, second, third, kArea, kArea)));
    ASSERT_TRUE(doc->Undo());
    EXPECT_TRUE(b->GetNotes().SameAs(chord));
}
