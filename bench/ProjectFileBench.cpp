// Saving and loading a large project: 1,000,000 notes in 1,000 clips and 100 phrases (about
// 11 MB of file).

#include "document/ProjectDoc.h"
#include "files/ProjectFile.h"

#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kNotes = 1'000'000;
constexpr int kClips = 1'000;
constexpr int kPhrases = 100;
constexpr int kObjects = kClips + kPhrases;

void Fill(CMidiData& data, int notes)
{
    data.GetNotes().Reserve(notes);
    for (int i = 0; i < notes; ++i)
        data.GetNotes().Append(CNote(i * 24, i * 24 + 20, 36 + i % 60, 64 + i % 60, 0));
    for (int i = 0; i < 16; ++i)
        data.GetEvents().Append(CMidiEvent(i * 96, 0xB0, 7, i));
    data.SetLength(notes * 24);
}

int NotesOf(int object)
{
    return kNotes / kObjects + (object < kNotes % kObjects ? 1 : 0);
}

std::unique_ptr<CProjectDoc> LargeProject()
{
    auto doc = std::make_unique<CProjectDoc>();
    int object = 0;
    for (int b = 0; b < 10; ++b) {
        auto bank = std::make_unique<CPhraseBank>("Bank " + std::to_string(b));
        for (int p = 0; p < kPhrases / 10; ++p) {
            auto phrase = std::make_unique<CPhrase>("Phrase", 0x0000FF, 0);
            phrase->SetId(object + 1);
            Fill(*phrase, NotesOf(object++));
            bank->InsertAt(p, std::move(phrase));
        }
        doc->InsertBank(-1, std::move(bank));
    }
    for (int t = 0; t < 10; ++t) {
        auto track = std::make_unique<CTrack>();
        track->SetId(t + 1);
        for (int c = 0; c < kClips / 10; ++c) {
            auto clip = std::make_unique<CClip>(c * 30000, c * 30000, "Clip", 0x00FF00);
            clip->SetId(object + 1);
            Fill(*clip, NotesOf(object++));
            track->AddClip(std::move(clip));
        }
        doc->GetTracks().InsertAt(-1, std::move(track));
    }
    return doc;
}

const CProjectDoc& SharedProject()
{
    static const std::unique_ptr<CProjectDoc> doc = LargeProject();
    return *doc;
}

std::string TempPath()
{
    return "/tmp/tw-bench-" + std::to_string(::getpid()) + ".tnw";
}

void BM_ProjectFileSave(benchmark::State& state)
{
    const CProjectDoc& doc = SharedProject();
    const std::string path = TempPath();
    for (auto _ : state)
        SaveProjectFile(doc, path);
    state.SetBytesProcessed(state.iterations() *
                            static_cast<int64_t>(ProjectFileBytes(doc).size()));
    ::unlink(path.c_str());
}
BENCHMARK(BM_ProjectFileSave)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ProjectFileLoad(benchmark::State& state)
{
    const std::string path = TempPath();
    SaveProjectFile(SharedProject(), path);
    for (auto _ : state) {
        CProjectDoc doc;
        LoadProjectFile(doc, path);
        benchmark::DoNotOptimize(doc.GetBankCount());
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<int64_t>(ProjectFileBytes(SharedProject()).size()));
    ::unlink(path.c_str());
}
BENCHMARK(BM_ProjectFileLoad)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same without the disk: encoding and decoding alone.
void BM_ProjectFileEncode(benchmark::State& state)
{
    const CProjectDoc& doc = SharedProject();
    for (auto _ : state)
        benchmark::DoNotOptimize(ProjectFileBytes(doc).data());
}
BENCHMARK(BM_ProjectFileEncode)->Unit(benchmark::kMillisecond);

void BM_ProjectFileDecode(benchmark::State& state)
{
    const std::vector<uint8_t> bytes = ProjectFileBytes(SharedProject());
    for (auto _ : state) {
        CProjectDoc doc;
        ReadProjectFileBytes(doc, bytes.data(), bytes.size(), "bench.tnw");
        benchmark::DoNotOptimize(doc.GetBankCount());
    }
}
BENCHMARK(BM_ProjectFileDecode)->Unit(benchmark::kMillisecond);

// A file from elsewhere may store notes out of order: 200,000 notes of one phrase in reverse.
std::vector<uint8_t> ReversedNotesFile(int notes)
{
    CProjectDoc doc;
    doc.GetInfo() = CProjectInfo();
    auto bank = std::make_unique<CPhraseBank>("B");
    auto phrase = std::make_unique<CPhrase>("P", 0, 0);
    Fill(*phrase, notes);
    bank->InsertAt(0, std::move(phrase));
    doc.InsertBank(-1, std::move(bank));
    std::vector<uint8_t> bytes = ProjectFileBytes(doc);
    // Signature, version, four empty texts, defaults, bank count, name "B", phrase count and the
    // note count come before the first note.
    constexpr size_t kFirstNote = 24 + 4 + 4 + 16 + 4 + 2 + 4 + 4;
    constexpr size_t kNoteBytes = 11;
    auto first = bytes.begin() + kFirstNote;
    for (int lo = 0, hi = notes - 1; lo < hi; ++lo, --hi)
        std::swap_ranges(first + lo * kNoteBytes, first + (lo + 1) * kNoteBytes,
                         first + hi * kNoteBytes);
    return bytes;
}

void BM_ProjectFileDecodeReversedNotes(benchmark::State& state)
{
    const std::vector<uint8_t> bytes = ReversedNotesFile(200'000);
    for (auto _ : state) {
        CProjectDoc doc;
        ReadProjectFileBytes(doc, bytes.data(), bytes.size(), "bench.tnw");
        if (doc.GetBankAt(0).GetPhraseAt(0).GetNotes()[0].m_start != 0)
            state.SkipWithError("the notes were not put in order");
    }
}
BENCHMARK(BM_ProjectFileDecodeReversedNotes)->Unit(benchmark::kMillisecond);

// Legal files whose shape once made loading grow with the square of their size: a piano roll
// window saved for every clip, a window for every bank, clips stored latest first.
std::vector<uint8_t> ManyRollsFile(int clips)
{
    CProjectDoc doc;
    auto track = std::make_unique<CTrack>();
    for (int c = 0; c < clips; ++c) {
        auto clip = std::make_unique<CClip>(c * 96, 96, "C", 0);
        clip->SetId(c + 1);
        track->AddClipInOrder(std::move(clip));
        doc.GetWindows().OpenSavedWindow({EWindowKind::PianoRoll, c + 1, {}, {}});
    }
    doc.GetTracks().InsertAt(-1, std::move(track));
    return ProjectFileBytes(doc);
}

std::vector<uint8_t> ManyBankWindowsFile(int banks)
{
    CProjectDoc doc;
    for (int b = 0; b < banks; ++b) {
        doc.InsertBank(-1, std::make_unique<CPhraseBank>("B"));
        doc.GetWindows().OpenSavedWindow({EWindowKind::PhraseBank, b, {}, {}});
    }
    return ProjectFileBytes(doc);
}

std::vector<uint8_t> DescendingClipsFile(int clips)
{
    CProjectDoc doc;
    auto track = std::make_unique<CTrack>();
    for (int c = 0; c < clips; ++c)
        track->InsertClipAt(c, std::make_unique<CClip>((clips - c) * 96, 96, "C", 0));
    doc.GetTracks().InsertAt(-1, std::move(track));
    return ProjectFileBytes(doc);
}

void DecodeShaped(benchmark::State& state, std::vector<uint8_t> (*make)(int))
{
    const std::vector<uint8_t> bytes = make(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        CProjectDoc doc;
        ReadProjectFileBytes(doc, bytes.data(), bytes.size(), "bench.tnw");
        benchmark::DoNotOptimize(doc.GetBankCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ProjectFileDecodeRollPerClip(benchmark::State& state)
{
    DecodeShaped(state, ManyRollsFile);
}
BENCHMARK(BM_ProjectFileDecodeRollPerClip)->Arg(80'000)->Unit(benchmark::kMillisecond);

void BM_ProjectFileDecodeWindowPerBank(benchmark::State& state)
{
    DecodeShaped(state, ManyBankWindowsFile);
}
BENCHMARK(BM_ProjectFileDecodeWindowPerBank)->Arg(80'000)->Unit(benchmark::kMillisecond);

void BM_ProjectFileDecodeDescendingClips(benchmark::State& state)
{
    DecodeShaped(state, DescendingClipsFile);
}
BENCHMARK(BM_ProjectFileDecodeDescendingClips)->Arg(160'000)->Unit(benchmark::kMillisecond);

} // namespace
