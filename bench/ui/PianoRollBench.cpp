// Measures the note canvas of the piano roll on a phrase of 500,000 notes (about 8,000 of them in
// view): a full frame of the canvas, a cursor move (operation-free, overlay and the current
// note's cell), and a Start nudge of 10,000 selected notes (the operation and the repaint). The
// canvas is 1600 x 1000 pixels (or the size given) at the device-pixel ratio given (default 2).
// Runs on the offscreen platform unless told otherwise; prints milliseconds.
// Run: build/<dir>/bench/ui/tw_piano_roll_bench [ratio] [rounds] [width height]

#include <QApplication>
#include <QKeyEvent>

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
#include "editors/ViewPianoRoll.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "model/Phrase.h"
#include "model/PhraseBank.h"

namespace {

constexpr int kNotes = 500000;
constexpr int kNudged = 10000;

// The project's calls reach the one editor, as the shell's registry passes them on.
class CBenchWindows : public CHeadlessWindows {
public:
    CPianoRollEditor* editor = nullptr;
    void PianoRollBeginUpdate(const CMidiData&) override { editor->BeginUpdate(); }
    void PianoRollEndUpdate(const CMidiData&) override { editor->EndUpdate(); }
    void PianoRollRefreshNotes(const CMidiData&, const CNoteArea& area) override
    {
        editor->RefreshNotes(area);
    }
    void PianoRollLengthChanged(const CMidiData&) override { editor->LengthChanged(); }
    void PianoRollSelectNotes(const CMidiData&, const CNoteList& notes,
                              const CNoteArea& area) override
    {
        editor->SelectNotes(notes, area);
    }
};

} // namespace

int main(int argc, char** argv)
{
    const double ratio = argc > 1 ? std::atof(argv[1]) : 2.0;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 40;
    const int width = argc > 4 ? std::max(100, std::atoi(argv[3])) : 1600;
    const int height = argc > 4 ? std::max(100, std::atoi(argv[4])) : 1000;
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
    auto phrase = std::make_unique<CPhrase>("Dense", 0x3366CC, 4 * 384);
    // Eight notes every three ticks, pitches spread over 30..99: about 8,000 in a 1600-pixel view.
    for (int i = 0; i < kNotes; ++i) {
        const tick start = static_cast<tick>(i / 8) * 3;
        phrase->GetNotes().Append(
            CNote(start, start + 24, static_cast<uint8_t>(30 + (i * 7) % 70), 100, 64));
    }
    phrase->SetLength(phrase->GetNotes().MaxEnd() + 384);
    CPhrase& dense = *phrase;
    bank->InsertAt(0, std::move(phrase));
    doc.InsertBank(-1, std::move(bank));

    CPianoRollEditor editor(doc, dense);
    calls.editor = &editor;
    CViewPianoRoll& canvas = editor.Canvas();
    editor.resize(width + 80, height + 120);
    editor.show();
    QApplication::processEvents();
    canvas.resize(canvas.size() +
                  QSize(width - canvas.viewport()->width(), height - canvas.viewport()->height()));
    QApplication::processEvents();
    canvas.setFocus();
    editor.Context().Geometry().SetPitchHeight(8);
    editor.Context().SetOriginPitch(30);
    emit editor.Context().ViewChanged();
    QApplication::processEvents();
    std::printf("canvas %dx%d at ratio %.1f, %d notes\n", canvas.viewport()->width(),
                canvas.viewport()->height(), canvas.viewport()->devicePixelRatioF(), kNotes);

    const SRoundTimes frame = MeasureRounds(rounds, [&] {
        canvas.InvalidateContent();
        canvas.viewport()->repaint();
    });
    std::printf("full frame        median %.2f ms, worst %.2f ms\n", frame.median, frame.worst);

    editor.Context().SetGrid(CNoteValue(24));
    canvas.MoveCursor(3000, 64, false);
    QApplication::processEvents();
    int direction = 1;
    const SRoundTimes cursor = MeasureRounds(rounds, [&] {
        QKeyEvent key(QEvent::KeyPress, direction > 0 ? Qt::Key_Right : Qt::Key_Left,
                      Qt::NoModifier);
        direction = -direction;
        QApplication::sendEvent(&canvas, &key);
        QApplication::processEvents();
    });
    std::printf("cursor move       median %.2f ms, worst %.2f ms\n", cursor.median, cursor.worst);

    // A rectangle over the first 10,000 notes, in view.
    const tick span = static_cast<tick>(kNudged / 8) * 3;
    canvas.MoveCursor(span + 1000, 20, false);
    canvas.SelectArea({0, 0, span, 128});
    editor.Context().SetOriginTick(0);
    editor.Context().SetEditType(ENoteEditType::Start);
    QApplication::processEvents();
    std::printf("selected          %d notes\n", canvas.GetSelection().GetCount());
    direction = 1;
    const SRoundTimes nudge = MeasureRounds(rounds, [&] {
        canvas.Nudge(direction, false);
        direction = -direction;
        QApplication::processEvents();
    });
    std::printf("start nudge       median %.2f ms, worst %.2f ms (history %zu)\n", nudge.median,
                nudge.worst, doc.GetCount());
    return 0;
}
