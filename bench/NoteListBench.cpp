// Building, filtering and merging note lists of a million notes; "per_note" is the figure to
// watch (each should stay well under 50 ns).

#include <benchmark/benchmark.h>

#include "model/NoteList.h"

namespace {

constexpr int kNotes = 1000000;

// Four-note chords every 24 ticks, so many notes share a start.
CNote ChordNote(int i, int step = 4)
{
    const tick start = static_cast<tick>(i / step) * 24;
    return CNote(start, start + 48, static_cast<uint8_t>(40 + i % 48), 100, 64);
}

CNoteList BuildList(int count, int step = 4)
{
    CNoteList list;
    for (int i = 0; i < count; ++i)
        list.Insert(ChordNote(i, step));
    return list;
}

void SetPerNote(benchmark::State& state, int notesPerIteration)
{
    // Seconds per note; the report shows it with an "n" (nanoseconds) suffix.
    state.counters["per_note"] = benchmark::Counter(
        static_cast<double>(notesPerIteration) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_InsertInTimeOrder(benchmark::State& state)
{
    for (auto _ : state) {
        CNoteList list = BuildList(kNotes);
        benchmark::DoNotOptimize(list);
    }
    SetPerNote(state, kNotes);
}

void BM_CopyInside(benchmark::State& state)
{
    const CNoteList src = BuildList(kNotes);
    CNoteList out;
    const tick end = src.MaxEnd();
    for (auto _ : state) {
        out.CopyInside(src, 24, end - 24);
        benchmark::DoNotOptimize(out);
    }
    SetPerNote(state, kNotes);
}

void BM_CopyMoved(benchmark::State& state)
{
    const CNoteList src = BuildList(kNotes);
    CNoteList out;
    for (auto _ : state) {
        out.CopyMoved(src, -12, 5);
        benchmark::DoNotOptimize(out);
    }
    SetPerNote(state, kNotes);
}

void BM_MergeFrom(benchmark::State& state)
{
    // Two interleaving halves with equal starts, as when pasting a take over existing notes.
    const CNoteList a = BuildList(kNotes / 2, 2);
    const CNoteList b = BuildList(kNotes / 2, 2);
    // The target lives outside the loop so that freeing the last result is not timed.
    CNoteList target;
    for (auto _ : state) {
        state.PauseTiming();
        target = a;
        state.ResumeTiming();
        target.MergeFrom(b);
        benchmark::DoNotOptimize(target);
    }
    SetPerNote(state, kNotes);
}

} // namespace

BENCHMARK(BM_InsertInTimeOrder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyInside)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyMoved)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MergeFrom)->Unit(benchmark::kMillisecond);
