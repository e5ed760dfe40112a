// "Move Notes" of 100,000 selected notes in a phrase of 1,000,000 notes, done and undone through
// the history on a project the engine mirrors (virtual backend, commands run inline). Each
// figure should stay well under 100 ms.

#include <benchmark/benchmark.h>

#include <memory>

#include "BigPhrase.h"
#include "editing/NoteOperations.h"

namespace {

std::unique_ptr<COpNotesMove> MakeMove(CBigPhrase& f, const CNoteList& moved)
{
    const CNoteArea area{0, 40, kOpenEnd - 100, 80};
    const CNoteArea target{3, 41, kOpenEnd - 97, 81};
    return std::make_unique<COpNotesMove>(*f.phrase, f.selected, area, *f.phrase, moved, target,
                                          FAskOption());
}

CNoteList Moved(const CBigPhrase& f)
{
    CNoteList moved;
    moved.CopyMoved(f.selected, 3, 1);
    return moved;
}

void BM_MoveNotesDo(benchmark::State& state)
{
    CBigPhrase f;
    const CNoteList moved = Moved(f);
    for (auto _ : state) {
        if (!f.doc.Execute(MakeMove(f, moved))) state.SkipWithError("Move Notes refused");
        state.PauseTiming();
        f.doc.Undo();
        state.ResumeTiming();
    }
    state.counters["notes"] = f.phrase->GetNotes().GetCount();
}

void BM_MoveNotesUndo(benchmark::State& state)
{
    CBigPhrase f;
    if (!f.doc.Execute(MakeMove(f, Moved(f)))) state.SkipWithError("Move Notes refused");
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
