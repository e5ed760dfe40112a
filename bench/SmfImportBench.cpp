// MIDI file import and export speed. BM_SmfOpenAsProjectFile opens the file named by the
// environment variable TW_SMF_BENCH_FILE as a project (bench/smf_vs_mido.sh makes a 20 MB one);
// the other benchmarks build their input in memory.

#include "document/ProjectDoc.h"
#include "document/UserServices.h"
#include "files/SmfImporter.h"
#include "files/SmfProject.h"
#include "files/SmfWriter.h"
#include "model/Track.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

class CSilentUser : public CUserServices {
public:
    bool AskYesNo(const std::string&) override { return true; }
    bool AskRemembered(const std::string&, bool& dontAskAgain) override
    {
        dontAskAgain = false;
        return true;
    }
    void ShowMessage(const std::string& message) override { m_lastMessage = message; }
    std::string ChooseFileToOpen(const std::string&, const std::string&) override { return {}; }
    std::string ChooseFileToSave(const std::string&, const std::string&,
                                 const std::string&) override
    {
        return {};
    }
    std::string m_lastMessage;
};

// 16 MIDI tracks, one per channel, of overlapping notes with a controller now and then.
std::vector<uint8_t> MakeFile(int notesPerTrack)
{
    CSmfWriter writer(12000, "", "bench");
    for (int channel = 0; channel < 16; ++channel) {
        CNoteList notes;
        CEventList events;
        notes.Reserve(notesPerTrack);
        for (int i = 0; i < notesPerTrack; ++i) {
            const tick start = i * 24;
            notes.Append(CNote(start, start + 36 + (i % 5) * 12,
                               uint8_t(36 + (i * 7 + channel) % 60), uint8_t(40 + i % 80), 64));
            if (i % 8 == 0) events.Append(CMidiEvent(start, 0xB0, 1, uint8_t(i % 128)));
        }
        writer.AddMidiTrack("Track", channel, notes, events);
    }
    return writer.GetBytes();
}

void BM_SmfReadAndMakeTracks(benchmark::State& state)
{
    const std::vector<uint8_t> bytes = MakeFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        CSilentUser user;
        CSmfImporter importer(user);
        if (!importer.ReadMemory(bytes.data(), bytes.size(), "bench.mid"))
            state.SkipWithError("read failed");
        std::vector<std::unique_ptr<CTrack>> tracks;
        importer.MakeTracks(tracks, 1536);
        benchmark::DoNotOptimize(tracks.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
    state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0) * 16);
}
BENCHMARK(BM_SmfReadAndMakeTracks)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_SmfWrite(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(MakeFile(static_cast<int>(state.range(0))));
    state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0) * 16);
}
BENCHMARK(BM_SmfWrite)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_SmfOpenAsProjectFile(benchmark::State& state)
{
    const char* path = std::getenv("TW_SMF_BENCH_FILE");
    if (!path) {
        state.SkipWithError("TW_SMF_BENCH_FILE is not set");
        return;
    }
    for (auto _ : state) {
        CSilentUser user;
        CProjectDoc doc;
        if (!ImportSmfAsProject(doc, path, user)) {
            state.SkipWithError(user.m_lastMessage.c_str());
            break;
        }
        benchmark::DoNotOptimize(doc.GetTracks().GetCount());
    }
}
BENCHMARK(BM_SmfOpenAsProjectFile)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
