// Measures the program window: process start to the first shown main window, and opening a
// project of 100,000 notes with its saved windows (tracks window and a piano roll of the large
// clip) until they are shown. Runs on the offscreen platform unless told otherwise; prints
// milliseconds. Run: build/<dir>/bench/ui/tw_ui_bench [rounds]

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <cstdio>
#include <memory>

#include "RoundTimes.h"
#include "devices/virtual/VirtualBackend.h"
#include "document/ProjectManager.h"
#include "document/UserServices.h"
#include "model/Clip.h"
#include "model/Profile.h"
#include "model/Track.h"
#include "shell/ChildFrames.h"
#include "shell/MainFrame.h"
#include "shell/ProjectWindowRegistry.h"
#include "shell/SequencerApp.h"

namespace {

constexpr int kNotes = 100000;

CAppEnvironment Environment(CProfile& profile, CUserServices& user)
{
    CAppEnvironment environment;
    environment.profile = &profile;
    environment.user = &user;
    environment.backend = [] {
        return std::make_unique<CVirtualBackend>(std::vector<std::string>{"Out"},
                                                 std::vector<std::string>{"In"},
                                                 CVirtualBackend::EClock::RealTime);
    };
    return environment;
}

// A project of one track whose clip holds kNotes notes, saved with its tracks window and the
// clip's piano roll open.
std::string MakeLargeProject(CSequencerApp& app, const QString& folder)
{
    CProjectDoc& doc = app.GetProjects().NewProject();
    auto track = std::make_unique<CTrack>();
    track->SetName("Large");
    track->SetId(doc.NewTrackId());
    auto clip = std::make_unique<CClip>(0, kNotes * 24, "Many notes", 0x3366CC);
    clip->SetId(doc.NewObjectId());
    for (int i = 0; i < kNotes; ++i)
        clip->GetNotes().Append(CNote(i * 24, i * 24 + 20, uint8_t(36 + i % 48), 100, 64));
    CClip& kept = *clip;
    track->AddClip(std::move(clip));
    doc.InsertTrack(-1, std::move(track));
    doc.GetWindows().OpenTracksWindow(false);
    doc.GetWindows().OpenPianoRoll(kept, true);
    const std::string path = (folder + QStringLiteral("/large.tnw")).toStdString();
    doc.Save(path);
    app.GetProjects().CloseProject(doc);
    return path;
}

} // namespace

int main(int argc, char** argv)
{
    const auto processStart = std::chrono::steady_clock::now();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    CMemoryProfile profile;
    CHeadlessUserServices user;
    auto app = std::make_unique<CSequencerApp>(Environment(profile, user));
    if (!app->InitInstance({QStringLiteral("tonalweaver")})) return 1;
    if (!QTest::qWaitForWindowExposed(app->GetMainFrame())) return 1;
    std::printf("start to first shown main window: %.1f ms\n", MsSince(processStart));

    QTemporaryDir folder;
    const std::string path = MakeLargeProject(*app, folder.path());
    double best = 1e9, total = 0;
    for (int round = 0; round < rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        CProjectDoc* doc = app->OpenDocumentFile(path);
        if (doc == nullptr) return 1;
        auto& windows = dynamic_cast<CShellProjectWindows&>(doc->GetWindows());
        CChildFrame* tracks = windows.GetFrame(EWindowKind::Tracks);
        if (tracks == nullptr || !QTest::qWaitForWindowExposed(tracks)) return 1;
        QCoreApplication::processEvents();
        const double ms = MsSince(start);
        // A project that lost its notes or its piano roll would measure nothing.
        const CClip& clip = doc->GetTracks().GetAt(0)->GetClipAt(0);
        if (clip.GetNotes().GetCount() != kNotes || windows.GetPianoRoll(clip) == nullptr) {
            std::fprintf(stderr, "the project did not open as saved\n");
            return 1;
        }
        best = std::min(best, ms);
        total += ms;
        app->GetProjects().CloseProject(*doc);
        QCoreApplication::processEvents();
    }
    std::printf("open a %d-note project with its windows: best %.1f ms, mean %.1f ms (%d rounds)\n",
                kNotes, best, total / rounds, rounds);
    app->GetMainFrame()->close();
    app->ExitInstance();
    return 0;
}
