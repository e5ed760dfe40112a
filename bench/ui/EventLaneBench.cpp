// Measures the event lane of the piano roll on a phrase holding 200,000 controller events (one
// per tick): a full frame of the lane, and a freehand stroke of 2,000 points over the selected
// range with grid "Off" (pointer moves, then the release that turns the stroke into events,
// runs "Draw Events" and repaints). The lane is 1600 x 300 pixels at the device-pixel ratio given
// (default 2). Runs on the offscreen platform unless told otherwise; prints milliseconds.
// Run: build/<dir>/bench/ui/tw_event_lane_bench [ratio] [rounds]

#include <QApplication>
#include <QMouseEvent>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "RoundTimes.h"
#include "devices/virtual/VirtualBackend.h"
#include "document/ProjectDoc.h"
#include "editors/PianoRollContext.h"
#include "editors/PianoRollEditor.h"
#include "editors/ViewEvents.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "model/Phrase.h"
#include "model/PhraseBank.h"

namespace {

constexpr int kEvents = 200000;
constexpr int kStrokePoints = 2000;

// The project's calls reach the one editor, as the shell's registry passes them on.
class CBenchWindows : public CHeadlessWindows {
public:
    CPianoRollEditor* editor = nullptr;
    void PianoRollBeginUpdate(const CMidiData&) override { editor->BeginUpdate(); }
    void PianoRollEndUpdate(const CMidiData&) override { editor->EndUpdate(); }
    void PianoRollRefreshEvents(const CMidiData&, const CTimeRange& range) override
    {
        editor->RefreshEvents(range);
    }
    void PianoRollSelectEvents(const CMidiData&, const CEventList& events,
                               const CTimeRange& range) override
    {
        editor->SelectEvents(events, range);
    }
};

void SendMouse(QWidget* target, QEvent::Type type, const QPoint& pos)
{
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, target->mapToGlobal(pos), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

} // namespace

int main(int argc, char** argv)
{
    const double ratio = argc > 1 ? std::atof(argv[1]) : 2.0;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 40;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_SCALE_FACTOR", QByteArray::number(ratio));
    QApplication app(argc, argv);

    CVirtualBackend backend{{"Out"}, {"In"}};
    CMidiEngineProxy proxy;
    CMidiEngine engine{backend, proxy.GetMailbox()};
    proxy.AttachEngine(&engine);
    proxy.Initialise(false);
    auto windows = std::make_unique<CBenchWindows>();
    CBenchWindows& calls = *windows;
    CProjectDoc doc(std::move(windows));
    doc.SetEngineProxy(proxy);
    auto bank = std::make_unique<CPhraseBank>("Bank");
    auto phrase = std::make_unique<CPhrase>("Dense", 0x3366CC, kEvents + 384);
    for (int i = 0; i < kEvents; ++i)
        phrase->GetEvents().Append(
            CMidiEvent(i, kKindControlChange, 7, static_cast<uint8_t>((i / 3) % 128)));
    CPhrase& dense = *phrase;
    bank->InsertAt(0, std::move(phrase));
    doc.InsertBank(-1, std::move(bank));

    CPianoRollEditor editor(doc, dense);
    calls.editor = &editor;
    CViewEvents& lane = editor.Lane();
    editor.resize(1600 + 120, 700);
    editor.show();
    QApplication::processEvents();
    lane.setFixedHeight(300);
    QApplication::processEvents();
    const int grow = 1600 - lane.viewport()->width();
    editor.resize(editor.width() + grow, editor.height());
    QApplication::processEvents();
    lane.setFocus();
    QApplication::processEvents();
    std::printf("lane %dx%d at ratio %.1f, %d events\n", lane.viewport()->width(),
                lane.viewport()->height(), lane.viewport()->devicePixelRatioF(), kEvents);

    const SRoundTimes frame = MeasureRounds(rounds, [&] {
        lane.InvalidateContent();
        lane.viewport()->repaint();
    });
    std::printf("full frame        best %.2f ms, median %.2f ms, worst %.2f ms\n", frame.best,
                frame.median, frame.worst);
    // The parts of a frame: without the grid lines, and without bars (a lane with no events).
    const CNoteValue grid = editor.Context().GetGrid();
    editor.Context().SetGrid(CNoteValue(0));
    const SRoundTimes gridless = MeasureRounds(rounds, [&] {
        lane.InvalidateContent();
        lane.viewport()->repaint();
    });
    lane.SetKind(kLanePitchBend);
    const SRoundTimes empty = MeasureRounds(rounds, [&] {
        lane.InvalidateContent();
        lane.viewport()->repaint();
    });
    lane.SetKind(ControllerLane(7));
    editor.Context().SetGrid(grid);
    std::printf("  without grid    best %.2f ms; without grid and bars %.2f ms\n", gridless.best,
                empty.best);

    editor.Context().SetGrid(CNoteValue(0));
    lane.SetTool(EDrawTool::Freehand);
    QWidget* viewport = lane.viewport();
    const CPianoRollGeometry& g = editor.Context().Geometry();
    double movesWorst = 0;
    std::vector<double> finishes;
    for (int round = 0; round < std::max(3, rounds / 4); ++round) {
        lane.SelectRange({0, g.XToTick(kStrokePoints)});
        QApplication::processEvents();
        const int lift = round % 2 == 0 ? 0 : 40;
        const auto start = BenchClock::now();
        SendMouse(viewport, QEvent::MouseButtonPress, QPoint(0, 250 - lift));
        for (int x = 1; x < kStrokePoints; ++x)
            SendMouse(viewport, QEvent::MouseMove, QPoint(x, 150 + (x * 7) % 120 - lift));
        QApplication::processEvents();
        movesWorst = std::max(movesWorst, MsSince(start));
        const auto finish = BenchClock::now();
        SendMouse(viewport, QEvent::MouseButtonRelease, QPoint(kStrokePoints, 200));
        viewport->repaint();
        finishes.push_back(MsSince(finish));
    }
    std::sort(finishes.begin(), finishes.end());
    std::printf("stroke moves      worst %.2f ms for %d points (%.3f ms a point)\n", movesWorst,
                kStrokePoints, movesWorst / kStrokePoints);
    std::printf("stroke to events  best %.2f ms, median %.2f ms, worst %.2f ms (%d events in the "
                "range)\n",
                finishes.front(), finishes[finishes.size() / 2], finishes.back(),
                lane.GetSelection().GetCount());
    return 0;
}
