// "Quantize Notes" and "Remove Overlaping Notes" of 100,000 selected notes in a phrase of
// 1,000,000 notes: the command (modifier and set operation through the history) and its undo.
// Each figure should stay under 100 ms.

#include <benchmark/benchmark.h>

#include "BigPhrase.h"
#include "editing/ModifierCommands.h"

namespace {

const CNoteArea kArea{0, 40, kOpenEnd - 100, 80};

bool Quantize(CBigPhrase& f)
{
    return QuantizeNotes(f.doc, *f.phrase, f.selected, kArea, CNoteValue(24), CNoteValue(48));
}

bool RemoveOverlaps(CBigPhrase& f)
{
    return RemoveOverlappingNotes(f.doc, *f.phrase, f.selected, kArea);
}

// The command, timed; its undo is not.
void BM_Do(benchmark::State& state, bool (*Command)(CBigPhrase&), tick noteLength)
{
    CBigPhrase f(noteLength);
    for (auto _ : state) {
        if (!Command(f)) state.SkipWithError("the command changed nothing");
        state.PauseTiming();
        f.doc.Undo();
        state.ResumeTiming();
    }
    state.counters["notes"] = f.phrase->GetNotes().GetCount();
}

// The undo, timed; the redo is not.
void BM_Undo(benchmark::State& state, bool (*Command)(CBigPhrase&), tick noteLength)
{
    CBigPhrase f(noteLength);
    if (!Command(f)) state.SkipWithError("the command changed nothing");
    for (auto _ : state) {
        f.doc.Undo();
        state.PauseTiming();
        f.doc.Redo();
        state.ResumeTiming();
    }
}

// Notes of 400 ticks: the selected notes of one pitch (120 ticks apart) overlap.
constexpr tick kShort = 12;
constexpr tick kLong = 400;

} // namespace

BENCHMARK_CAPTURE(BM_Do, QuantizeNotes, Quantize, kShort)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK_CAPTURE(BM_Undo, QuantizeNotes, Quantize, kShort)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK_CAPTURE(BM_Do, RemoveOverlaps, RemoveOverlaps, kLong)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK_CAPTURE(BM_Undo, RemoveOverlaps, RemoveOverlaps, kLong)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
