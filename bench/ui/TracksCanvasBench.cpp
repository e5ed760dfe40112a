// Paint times of the tracks canvas on a big song: 500 tracks, 20,000 clips, a 1600 x 1000
// canvas, on the offscreen platform. A full frame, one step of the playing position (two narrow
// strips) and one wheel notch (the picture moves by a row and the new row is drawn), beside the
// cost of filling a picture of that size once.
// Run: build/<dir>/bench/ui/tw_tracks_bench [--ratio=2] [benchmark options]

#include <QAbstractScrollArea>
#include <QApplication>
#include <QImage>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>

#include "document/ProjectDoc.h"
#include "editors/TracksContext.h"
#include "editors/TracksEditor.h"
#include "editors/ViewTracks.h"
#include "model/Clip.h"
#include "model/Track.h"

namespace {

constexpr int kTracks = 500;
constexpr int kClips = 20000;

struct SSong {
    CProjectDoc doc;
    std::unique_ptr<CTracksEditor> editor;

    SSong()
    {
        std::mt19937 random(7);
        for (int t = 0; t < kTracks; ++t) {
            auto track = std::make_unique<CTrack>();
            track->SetName("Track " + std::to_string(t + 1));
            track->SetId(doc.NewTrackId());
            tick at = 0;
            for (int c = 0; c < kClips / kTracks; ++c) {
                at += static_cast<tick>(random() % 4) * 96;
                const tick length = 96 * static_cast<tick>(1 + random() % 16);
                auto clip = std::make_unique<CClip>(at, at + length, "Clip", random() % 0xFFFFFF);
                clip->SetId(doc.NewObjectId());
                for (int n = 0; n < 8; ++n)
                    clip->GetNotes().Append(CNote(n * length / 8, (n + 1) * length / 8,
                                                  static_cast<uint8_t>(48 + n), 100, 64));
                track->AddClip(std::move(clip));
                at += length;
            }
            doc.InsertTrack(-1, std::move(track));
        }
        editor = std::make_unique<CTracksEditor>(doc);
        editor->resize(1900, 1100);
        editor->show();
        editor->TracksChanged();
        QApplication::processEvents();
    }
    CViewTracks& Canvas() { return editor->Canvas(); }
};

// Made on first use and destroyed before the application object (its widgets need it).
std::unique_ptr<SSong> g_song;

SSong& Song()
{
    if (!g_song) g_song = std::make_unique<SSong>();
    return *g_song;
}

void BM_TracksFullFrame(benchmark::State& state)
{
    CViewTracks& canvas = Song().Canvas();
    for (auto _ : state) {
        canvas.InvalidateContent();
        canvas.viewport()->repaint();
    }
    state.counters["width"] = canvas.viewport()->width();
    state.counters["height"] = canvas.viewport()->height();
    state.counters["ratio"] = canvas.devicePixelRatioF();
}
BENCHMARK(BM_TracksFullFrame)->Unit(benchmark::kMillisecond);

// What filling a picture of the same size once costs on this machine at this moment: the floor
// under a full frame, for reading the other figures on a machine whose memory speed varies.
void BM_FrameFillFloor(benchmark::State& state)
{
    const QWidget& viewport = *Song().Canvas().viewport();
    QImage picture(viewport.size() * viewport.devicePixelRatioF(), QImage::Format_RGB32);
    uint32_t colour = 0;
    for (auto _ : state) {
        picture.fill(++colour);
        benchmark::DoNotOptimize(picture.constBits());
    }
}
BENCHMARK(BM_FrameFillFloor)->Unit(benchmark::kMillisecond);

void BM_TracksPlayingPositionStep(benchmark::State& state)
{
    SSong& song = Song();
    tick at = 0;
    for (auto _ : state) {
        at = (at + 24) % (96 * 64);
        song.doc.FollowPlayerPosition(at);
        song.editor->SongPositionChanged();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_TracksPlayingPositionStep)->Unit(benchmark::kMicrosecond);

void BM_TracksWheelNotch(benchmark::State& state)
{
    SSong& song = Song();
    CTracksContext& context = song.editor->Context();
    int direction = 1;
    for (auto _ : state) {
        const int32_t first = context.Geometry().GetFirstRow();
        if (first >= 400) direction = -1;
        if (first <= 0) direction = 1;
        context.SetFirstRow(first + direction);
        // What is waiting gets painted, as after a real notch (a repaint of everything would
        // also draw what the scroll merely moved).
        QApplication::processEvents();
    }
}
BENCHMARK(BM_TracksWheelNotch)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--ratio=2") == 0) qputenv("QT_SCALE_FACTOR", "2");
    }
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_song.reset();
    return 0;
}
