// "Move Notes" of 100,000 selected notes in a phrase of 1,000,000 notes, done and undone through
// the history on a project the engine mirrors (virtual backend, commands run inline). Each
// figure should stay well under 100 ms.

#include <benchmark/benchmark.h>

#include <memory>

#include "devices/virtual/VirtualBackend.h"
#include "editing/NoteOperations.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "model/EnginePlayerLink.h"
#include "model/Phrase.h"
#include "model/PhraseBank.h"
#include "model/ProjectDoc.h"

namespace {

constexpr int kNotes = 1000000;
constexpr int kSelectedEvery = 10;

// An active project holding one phrase of a million notes (pairs every 6 ticks) and the
// selection of every tenth note.
struct CBigPhrase {
    CVirtualBackend backend{{"Out"}, {"In"}};
    CMidiEngineProxy proxy;
    CMidiEngine engine{backend, proxy.GetMailbox()};
    CEnginePlayerLink link{proxy};
    CProjectDoc doc;
    CPhrase* phrase = nullptr;
    CNoteList selected;
    CNoteList moved;

    CBigPhrase()
    {
        proxy.AttachEngine(&engine);
        proxy.Initialise(false);
        doc.SetEngineProxy(proxy);
        auto bank = std::make_unique<CPhraseBank>("Bank");
        auto big = std::make_unique<CPhrase>("Big", 0xFF, kOpenEnd);
        phrase = big.get();
        for (int i = 0; i < kNotes; ++i) {
            const tick start = static_cast<tick>(i / 2) * 6;
            const CNote note(start, start + 12, static_cast<uint8_t>(40 + i % 40), 100, 64);
            big->GetNotes().Append(note);
            if (i % kSelectedEvery == 0) selected.Append(note);
        }
        big->SetId(doc.NewObjectId());
        bank->InsertAt(0, std::move(big));
        doc.InsertBank(0, std::move(bank));
        link.LoadProject(doc);
        doc.AttachPlayer(&link);
        moved.CopyMoved(selected, 3, 1);
    }
    ~CBigPhrase()
    {
        link.ClearProject(doc);
        proxy.ShutDown();
    }

    std::unique_ptr<COpNotesMove> MakeMove()
    {
        const CNoteArea area{0, 40, kOpenEnd - 100, 80};
        const CNoteArea target{3, 41, kOpenEnd - 97, 81};
        return std::make_unique<COpNotesMove>(*phrase, selected, area, *phrase, moved, target,
                                              FAskOption());
    }
};

void BM_MoveNotesDo(benchmark::State& state)
{
    CBigPhrase f;
    for (auto _ : state) {
        if (!f.doc.Execute(f.MakeMove())) state.SkipWithError("Move Notes refused");
        state.PauseTiming();
        f.doc.Undo();
        state.ResumeTiming();
    }
    state.counters["notes"] = f.phrase->GetNotes().GetCount();
}

void BM_MoveNotesUndo(benchmark::State& state)
{
    CBigPhrase f;
    if (!f.doc.Execute(f.MakeMove())) state.SkipWithError("Move Notes refused");
    for (auto _ : state) {
        f.doc.Undo();
        state.PauseTiming();
        f.doc.Redo();
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(BM_MoveNotesDo)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_MoveNotesUndo)->Unit(benchmark::kMillisecond)->Iterations(10);
