// Blocks of random note, event, phrase, bank and track operations on a project the engine plays
// (or, every other block, holds stopped): undoing a whole block gives back the content from
// before it, redoing it the content from after it; the engine's players stay one to one with the
// project's tracks, clips and phrases, and once the transport stops no note is left sounding.
// Seeded, so a failure repeats.

#include <algorithm>
#include <memory>
#include <random>
#include <regex>
#include <tuple>

#include "editing/BankOperations.h"
#include "editing/ClipTestSupport.h"
#include "editing/Clipboard.h"
#include "editing/EventOperations.h"
#include "editing/NoteOperations.h"
#include "editing/OpsFixture.h"
#include "editing/PhraseOperations.h"
#include "editing/TrackOperations.h"
#include "files/ProjectFile.h"
#include "files/ProjectJson.h"
#include "model/Clip.h"

namespace {

// Equal-time runs in canonical order: undo restores the elements of a run, not always their
// order among other elements of the same tick.
template <class TList, class TKey> void Canonical(TList& list, TKey key)
{
    std::vector<typename TList::value_type> items(list.begin(), list.end());
    std::sort(items.begin(), items.end(),
              [&](const auto& x, const auto& y) { return key(x) < key(y); });
    list.Assign(std::move(items));
}

void Canonical(CMidiData& data)
{
    Canonical(data.GetNotes(), [](const CNote& n) {
        return std::tuple(n.m_start, n.m_end, n.m_pitch, n.m_velocity, n.m_offVelocity);
    });
    Canonical(data.GetEvents(), [](const CMidiEvent& e) {
        return std::tuple(e.m_time, e.m_kind, e.m_data1, e.m_data2);
    });
}

// The saved content, without object and track ids.
std::string Content(const CProjectDoc& doc)
{
    const std::vector<uint8_t> bytes = ProjectFileBytes(doc);
    CProjectDoc copy;
    ReadProjectFileBytes(copy, bytes.data(), bytes.size(), "content");
    for (int32_t b = 0; b < copy.GetBankCount(); ++b)
        for (int32_t i = 0; i < copy.GetBankAt(b).GetCount(); ++i)
            Canonical(copy.GetBankAt(b).GetPhraseAt(i));
    for (int32_t t = 0; t < copy.GetTracks().GetCount(); ++t)
        for (int32_t i = 0; i < copy.GetTracks().GetAt(t)->GetClipCount(); ++i)
            Canonical(copy.GetTracks().GetAt(t)->GetClipAt(i));
    static const std::regex ids("\"id\":-?[0-9]+");
    return std::regex_replace(ProjectToJson(copy), ids, "\"id\":0");
}

// Where two contents part, with some context of both.
std::string FirstDifference(const std::string& a, const std::string& b)
{
    const auto at = static_cast<size_t>(
        std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin());
    const size_t from = at > 200 ? at - 200 : 0;
    return "\n  " + a.substr(from, 400) + "\n  " + b.substr(from, 400);
}

// A set operation that a following step of the same drag may continue.
struct CDragState {
    CMidiData* container = nullptr;
    int kind = 0;
    CNoteList notes;
    CNoteArea area;
};

class CRandomEditor {
public:
    CRandomEditor(CProjectDoc& doc, CProjectManager& manager, uint32_t seed)
        : m_doc(doc), m_manager(manager), m_random(seed)
    {}

    // Builds one random operation on the project as it is now.
    std::unique_ptr<COperation> Next()
    {
        if (m_drag.container != nullptr && Chance(30)) return ContinueDrag();
        m_drag.container = nullptr;
        switch (Int(0, 13)) {
        case 0:
        case 1:
        case 2:
            return NoteSet();
        case 3:
            return NoteSingle();
        case 4:
        case 5:
            return EventOp();
        case 6:
            return NotesMove();
        case 7:
        case 8:
            return PhraseOp();
        case 9:
        case 10:
            return BankOp();
        default:
            return TrackOp();
        }
    }

private:
    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_random); }
    bool Chance(int percent) { return Int(0, 99) < percent; }
    FAskOption Ask()
    {
        m_manager.GetOptions().m_autoExtendSequence =
            Chance(50) ? CAppOptions::kAlways : CAppOptions::kNever;
        return [this](ERememberedQuestion q) { return m_manager.Ask(q); };
    }

    // A phrase or clip of the project, or null when there is none.
    CMidiData* AnyContainer()
    {
        std::vector<CMidiData*> all;
        for (int32_t b = 0; b < m_doc.GetBankCount(); ++b)
            for (int32_t i = 0; i < m_doc.GetBankAt(b).GetCount(); ++i)
                all.push_back(&m_doc.GetBankAt(b).GetPhraseAt(i));
        for (int32_t t = 0; t < m_doc.GetTracks().GetCount(); ++t)
            for (int32_t i = 0; i < m_doc.GetTracks().GetAt(t)->GetClipCount(); ++i)
                all.push_back(&m_doc.GetTracks().GetAt(t)->GetClipAt(i));
        if (all.empty()) return nullptr;
        return all[static_cast<size_t>(Int(0, static_cast<int>(all.size()) - 1))];
    }
    CNote RandomNote(tick length)
    {
        const tick start = Int(0, std::max(0, length + 200));
        return CNote(start, start + Int(1, 300), static_cast<uint8_t>(Int(0, 127)),
                     static_cast<uint8_t>(Int(1, 127)), static_cast<uint8_t>(Int(0, 127)));
    }
    // A note that lies within the container.
    CNote Inside(const CMidiData& c)
    {
        const tick start = Int(0, std::max(0, c.GetLength() - 2));
        return CNote(start, Int(start + 1, std::max(start + 1, c.GetLength())),
                     static_cast<uint8_t>(Int(0, 127)), static_cast<uint8_t>(Int(1, 127)), 64);
    }
    // A few notes the container holds (repeats allowed only as often as held).
    CNoteList SomeNotes(const CNoteList& notes)
    {
        std::vector<CNote> picked;
        for (const CNote& note : notes)
            if (Chance(30)) picked.push_back(note);
        CNoteList list;
        list.Assign(std::move(picked));
        return list;
    }
    CNoteList Changed(const CNoteList& notes, int kind)
    {
        std::vector<CNote> changed;
        const int dt = Int(-50, 100);
        for (CNote note : notes) {
            switch (kind) {
            case 608:
                note.m_start = std::max(0, note.m_start + dt);
                note.m_end = note.m_start + std::max(1, note.GetLength());
                break;
            case 609:
                note.m_end = std::max(note.m_start + 1, note.m_end + dt);
                break;
            case 610:
                note.m_pitch = static_cast<uint8_t>(std::clamp(note.m_pitch + dt / 10, 0, 127));
                break;
            case 613:
            case 614:
            case 618:
                note.m_offVelocity = static_cast<uint8_t>(Int(0, 127));
                break;
            default:
                note.m_velocity = static_cast<uint8_t>(Int(1, 127));
                break;
            }
            changed.push_back(note);
        }
        CNoteList list;
        list.Assign(std::move(changed));
        return list;
    }
    std::unique_ptr<COperation> MakeNoteSet(int kind, CMidiData& c, CNoteList oldSet,
                                            CNoteList newSet, const CNoteArea& oldArea,
                                            const CNoteArea& newArea)
    {
        switch (kind) {
        case 606:
            return std::make_unique<COpNotesModify>(c, oldSet, newSet, oldArea, newArea);
        case 607:
            return std::make_unique<COpNotesModifyNamed>("Quantize Notes", c, oldSet, newSet,
                                                         oldArea, newArea);
        case 608:
            return std::make_unique<COpNotesSetStart>(c, oldSet, newSet, oldArea, newArea);
        case 609:
            return std::make_unique<COpNotesSetLength>(c, oldSet, newSet, oldArea, newArea);
        case 610:
            return std::make_unique<COpNotesSetPitch>(c, oldSet, newSet, oldArea, newArea);
        case 611:
            return std::make_unique<COpNotesSetVelocity>(c, oldSet, newSet, oldArea, newArea);
        case 612:
            return std::make_unique<COpNotesSetVelocityLane>(c, oldSet, newSet, oldArea, newArea);
        case 613:
            return std::make_unique<COpNotesSetOffVelocity>(c, oldSet, newSet, oldArea, newArea);
        case 614:
            return std::make_unique<COpNotesSetOffVelocityLane>(c, oldSet, newSet, oldArea,
                                                                newArea);
        case 617:
            return std::make_unique<COpNotesEditVelocities>(c, oldSet, newSet, oldArea, newArea);
        default:
            return std::make_unique<COpNotesEditOffVelocities>(c, oldSet, newSet, oldArea, newArea);
        }
    }
    std::unique_ptr<COperation> NoteSet()
    {
        CMidiData* c = AnyContainer();
        if (c == nullptr) return BankOp();
        const CNoteArea area{0, 0, Int(0, c->GetLength() + 100), 128};
        switch (Int(0, 4)) {
        case 0: {
            std::vector<CNote> added;
            for (int i = Int(1, 8); i > 0; --i)
                added.push_back(RandomNote(c->GetLength()));
            CNoteList list;
            list.Assign(std::move(added));
            if (Chance(50)) return std::make_unique<COpNotesCreate>(*c, list, area, Ask());
            return std::make_unique<COpNotesPaste>(*c, list, area, Ask());
        }
        case 1:
            if (Chance(50))
                return std::make_unique<COpNotesCut>(*c, SomeNotes(c->GetNotes()), area);
            return std::make_unique<COpNotesDelete>(*c, SomeNotes(c->GetNotes()), area);
        default: {
            static const int kinds[] = {606, 607, 608, 609, 610, 611, 612, 613, 614, 617, 618};
            const int kind = kinds[Int(0, 10)];
            CNoteList oldSet = SomeNotes(c->GetNotes());
            CNoteList newSet = Changed(oldSet, kind);
            m_drag = {c, kind, newSet, area};
            return MakeNoteSet(kind, *c, std::move(oldSet), std::move(newSet), area, area);
        }
        }
    }
    std::unique_ptr<COperation> ContinueDrag()
    {
        CDragState drag = std::move(m_drag);
        m_drag.container = nullptr;
        // Lane steps follow the velocity edits; others continue their own kind.
        const int kind = drag.kind == 617 ? 612 : drag.kind == 618 ? 614 : drag.kind;
        CNoteList newSet = Changed(drag.notes, kind);
        m_drag = {drag.container, kind, newSet, drag.area};
        return MakeNoteSet(kind, *drag.container, std::move(drag.notes), std::move(newSet),
                           drag.area, drag.area);
    }
    std::unique_ptr<COperation> NoteSingle()
    {
        CMidiData* c = AnyContainer();
        if (c == nullptr) return BankOp();
        const CNoteList& notes = c->GetNotes();
        // Single edits leave the length alone; the piano roll offers them inside the container.
        if (notes.IsEmpty() || Chance(30)) return std::make_unique<COpNoteInsert>(*c, Inside(*c));
        const CNote old = notes[Int(0, notes.GetCount() - 1)];
        CNote changed = old;
        changed.m_velocity = static_cast<uint8_t>(Int(1, 127));
        switch (Int(0, 4)) {
        case 0:
            return std::make_unique<COpNoteDelete>(*c, old);
        case 1:
            changed.m_start = std::max(0, old.m_start - 10);
            return std::make_unique<COpNoteSetStart>(*c, old, changed);
        case 2:
            return std::make_unique<COpNoteSetVelocityLane>(*c, old, changed);
        case 3:
            return std::make_unique<COpNoteEdit>(*c, old, changed);
        default:
            return std::make_unique<COpNoteModify>(*c, old, old); // refused
        }
    }
    std::unique_ptr<COperation> EventOp()
    {
        CMidiData* c = AnyContainer();
        if (c == nullptr) return BankOp();
        const CEventList& events = c->GetEvents();
        std::vector<CMidiEvent> picked;
        for (const CMidiEvent& e : events)
            if (Chance(30)) picked.push_back(e);
        CEventList oldSet;
        oldSet.Assign(picked);
        const CTimeRange range{0, Int(0, c->GetLength() + 50)};
        switch (Int(0, 5)) {
        case 0: {
            std::vector<CMidiEvent> added;
            for (int i = Int(1, 6); i > 0; --i)
                added.emplace_back(Int(0, c->GetLength() + 100), kKindControlChange,
                                   static_cast<uint8_t>(Int(0, 3)),
                                   static_cast<uint8_t>(Int(0, 127)));
            CEventList list;
            list.Assign(std::move(added));
            return std::make_unique<COpEventsPaste>(*c, list, range, Ask());
        }
        case 1:
            return std::make_unique<COpEventsCut>(*c, oldSet, range);
        case 2:
            return std::make_unique<COpEventsMove>(*c, oldSet, range, *AnyContainer(), Int(0, 500),
                                                   Ask());
        case 3:
            return std::make_unique<COpEventInsert>(
                *c, CMidiEvent(Int(0, std::max(0, c->GetLength() - 1)), kKindPitchBender, 0,
                               static_cast<uint8_t>(Int(0, 127))));
        default: {
            std::vector<CMidiEvent> changed;
            for (CMidiEvent e : oldSet) {
                e.AddToValue(Int(-20, 20));
                changed.push_back(e);
            }
            CEventList newSet;
            newSet.Assign(std::move(changed));
            return std::make_unique<COpEventsSetValue>(*c, oldSet, newSet, range, range);
        }
        }
    }
    std::unique_ptr<COperation> NotesMove()
    {
        CMidiData* source = AnyContainer();
        if (source == nullptr) return BankOp();
        CMidiData* target = AnyContainer();
        CNoteList notes = SomeNotes(source->GetNotes());
        CNoteList moved;
        moved.CopyMoved(notes, Int(-100, 300), Int(-5, 5));
        const CNoteArea area{0, 0, 10, 128};
        if (Chance(30)) return std::make_unique<COpNotesCopy>(*target, moved, area, Ask());
        return std::make_unique<COpNotesMove>(*source, notes, area, *target, moved, area, Ask());
    }
    CPhraseBank* AnyBank()
    {
        if (m_doc.GetBankCount() == 0) return nullptr;
        return &m_doc.GetBankAt(Int(0, m_doc.GetBankCount() - 1));
    }
    std::unique_ptr<CPhrase> NewPhrase()
    {
        auto phrase = std::make_unique<CPhrase>(std::string("P").append(std::to_string(m_names++)),
                                                0x10, Int(1, 4) * kTicksPerWhole);
        for (int i = Int(0, 10); i > 0; --i)
            phrase->GetNotes().Insert(Inside(*phrase));
        return phrase;
    }
    std::unique_ptr<COperation> PhraseOp()
    {
        CPhraseBank* bank = AnyBank();
        if (bank == nullptr) return BankOp();
        const int32_t count = bank->GetCount();
        const int32_t index = Int(0, count);
        switch (Int(0, 5)) {
        case 0:
            return std::make_unique<COpPhraseCreate>(*bank, Chance(30) ? -1 : index, NewPhrase());
        case 1:
            return std::make_unique<COpPhraseCut>(*bank, Int(0, count));
        case 2:
            return std::make_unique<COpPhraseMove>(*bank, Int(0, count), *AnyBank(), index);
        case 3:
            if (const auto* cut = CClipboard::Instance().GetAs<CClipboardPhrase>())
                return std::make_unique<COpPhrasePaste>(
                    *bank, index, std::make_unique<CPhrase>(cut->GetPhrase()));
            return std::make_unique<COpPhraseDelete>(*bank, Int(0, count));
        default:
            if (count == 0) return std::make_unique<COpPhraseDelete>(*bank, 0); // refused
            return std::make_unique<COpPhraseSetLength>(bank->GetPhraseAt(Int(0, count - 1)),
                                                        Int(-10, 2000));
        }
    }
    std::unique_ptr<COperation> BankOp()
    {
        const int32_t count = m_doc.GetBankCount();
        switch (Int(0, 3)) {
        case 0: {
            auto bank =
                std::make_unique<CPhraseBank>(std::string("B").append(std::to_string(m_names++)));
            for (int i = Int(0, 3); i > 0; --i)
                bank->InsertAt(bank->GetCount(), NewPhrase());
            return std::make_unique<COpBankCreate>(Int(-1, count), std::move(bank));
        }
        case 1:
            return std::make_unique<COpBankCut>(Int(0, count));
        case 2:
            if (const auto* cut = CClipboard::Instance().GetAs<CClipboardBank>()) {
                auto bank = std::make_unique<CPhraseBank>();
                bank->CopyFrom(cut->GetBank());
                return std::make_unique<COpBankPaste>(Int(0, count), std::move(bank));
            }
            return std::make_unique<COpBankDelete>(Int(0, count));
        default:
            return std::make_unique<COpBankMove>(Int(0, count), Int(0, count));
        }
    }
    std::unique_ptr<COperation> TrackOp()
    {
        const int32_t count = m_doc.GetTracks().GetCount();
        switch (Int(0, 3)) {
        case 0: {
            auto track = std::make_unique<CTrack>();
            track->SetName(Chance(50) ? "" : "T" + std::to_string(m_names++));
            auto clip = std::make_unique<CClip>(Int(0, 2000), 3000, "Clip", 0x20);
            clip->SetId(m_doc.NewObjectId()); // as every clip the program makes
            for (int i = Int(0, 12); i > 0; --i)
                clip->GetNotes().Insert(Inside(*clip));
            track->AddClip(std::move(clip));
            return std::make_unique<COpTrackCreate>(Int(-1, count), std::move(track));
        }
        case 1:
            return std::make_unique<COpTrackDelete>(Int(0, count));
        case 2:
            return std::make_unique<COpTrackMove>(Int(0, count), Int(0, count));
        default: {
            std::vector<std::unique_ptr<CTrack>> tracks;
            for (int i = Int(1, 3); i > 0; --i)
                tracks.push_back(std::make_unique<CTrack>());
            return std::make_unique<COpTracksImport>(Int(-1, count), std::move(tracks));
        }
        }
    }

    CProjectDoc& m_doc;
    CProjectManager& m_manager;
    std::mt19937 m_random;
    CDragState m_drag;
    int m_names = 0;
};

} // namespace

class RandomOperationsTest : public COpsFixture {};

TEST_F(RandomOperationsTest, UndoingAndRedoingWholeBlocksGivesBackTheContentOnEitherSide)
{
    ASSERT_EQ(proxy.OpenOutputDriver(0), 1) << proxy.GetLastError();
    ASSERT_EQ(proxy.RouteOutputPort(0, 0), 1) << proxy.GetLastError();
    CRandomEditor editor(*doc, manager, 20261207);
    std::mt19937 random(7);
    int done = 0;
    int refused = 0;
    std::vector<SHeard> heard;
    auto expectNothingSounds = [&] {
        proxy.Stop();
        RunTicks(2);
        CollectSent(backend, engine.GetPosition(), heard);
        EXPECT_TRUE(Hanging(heard).empty()) << ::testing::PrintToString(Hanging(heard));
    };
    for (int block = 0; block < 80; ++block) {
        SCOPED_TRACE("block " + std::to_string(block));
        const bool playing = block % 2 == 0;
        if (playing) {
            // Each run starts somewhere among the clips, so that notes do sound.
            ASSERT_EQ(proxy.Locate(std::uniform_int_distribution<int>(0, 1500)(random)), 1);
            StartPlaying();
        }
        else
            expectNothingSounds();
        // Each block starts an empty history, so that no entry falls off its head.
        doc->COperationHistory::Clear();
        const std::string before = Content(*doc);
        const int ops = std::uniform_int_distribution<int>(1, 20)(random);
        for (int i = 0; i < ops; ++i) {
            (Execute(editor.Next()) ? done : refused) += 1;
            if (playing) RunTicks(std::uniform_int_distribution<int>(1, 60)(random));
            ExpectPlayersMatch(*doc, engine);
        }
        const size_t entries = doc->GetDoneCount();
        const std::string after = Content(*doc);
        for (size_t i = 0; i < entries; ++i) {
            ASSERT_TRUE(doc->Undo());
            if (playing) RunTicks(10);
        }
        const std::string undone = Content(*doc);
        ASSERT_TRUE(undone == before) << FirstDifference(undone, before);
        for (size_t i = 0; i < entries; ++i) {
            ASSERT_TRUE(doc->Redo());
            if (playing) RunTicks(10);
        }
        const std::string redone = Content(*doc);
        ASSERT_TRUE(redone == after) << FirstDifference(redone, after);
        ExpectPlayersMatch(*doc, engine);
    }
    expectNothingSounds();
    // The mix exercised both outcomes and played notes.
    EXPECT_GT(done, 300);
    EXPECT_GT(refused, 20);
    EXPECT_GT(std::count_if(heard.begin(), heard.end(),
                            [](const SHeard& h) { return (h.status & 0xF0) == 0x90; }),
              100);
}
