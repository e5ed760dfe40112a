// Measures the phrase bank list at device-pixel ratio 2: painting a whole page of a
// 1,000-phrase bank, and the refresh after the engine reported on 100 playing phrases (only
// their rows are drawn again). Offscreen unless told otherwise; prints milliseconds per frame.
// Run: build/<dir>/bench/ui/tw_bank_bench [frames]

#include <QApplication>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "document/ProjectDoc.h"
#include "editors/BankEditor.h"
#include "editors/PhraseLiveState.h"
#include "editors/ViewPhraseList.h"
#include "fakes/RecordingPlayerLink.h"
#include "model/Phrase.h"
#include "model/PhraseBank.h"

namespace {

constexpr int kPhrases = 1000;
constexpr int kPlaying = 100;

struct SCost {
    double wallMs = 0;
    double cpuMs = 0;
};

// Wall and processor time per round: on a machine shared with other work the processor time is
// the steadier figure.
template <class F> SCost PerRound(int rounds, F body)
{
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpu = std::clock();
    for (int i = 0; i < rounds; ++i)
        body(i);
    const auto spent = std::chrono::steady_clock::now() - start;
    return {std::chrono::duration<double, std::milli>(spent).count() / rounds,
            1000.0 * static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC / rounds};
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication application(argc, argv);
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;

    CProjectDoc doc;
    CRecordingPlayerLink player; // the project counts as active, so play states show
    doc.AttachPlayer(&player);
    auto bank = std::make_unique<CPhraseBank>("Bench");
    for (int i = 0; i < kPhrases; ++i) {
        auto phrase = std::make_unique<CPhrase>("Phrase " + std::to_string(i + 1),
                                                0x203040u * static_cast<uint32_t>(i % 7 + 1), 384);
        phrase->SetTriggerFrom(static_cast<uint8_t>(i % 60));
        phrase->SetTriggerTo(static_cast<uint8_t>(60 + i % 60));
        phrase->SetPlayerSlot(i);
        bank->InsertAt(i, std::move(phrase));
    }
    doc.InsertBank(-1, std::move(bank));
    CPhraseBank& phrases = doc.GetBankAt(0);

    CBankEditor editor(doc, phrases, nullptr);
    CViewPhraseList& list = editor.List();
    QWidget* viewport = list.viewport();
    CPhraseLiveStates& live = CPhraseLiveStates::Instance();
    // A window of a usual size, then one tall enough to show all 100 playing rows.
    for (const QSize size : {QSize(820, 620), QSize(820, (kPlaying + 4) * 20)}) {
        editor.resize(size);
        editor.show();
        QApplication::processEvents();
        std::printf("window %dx%d at ratio %.1f, %d rows in sight\n", size.width(), size.height(),
                    viewport->devicePixelRatioF(), list.Geometry().GetPageRows());
        const SCost paint = PerRound(frames, [&](int) {
            list.InvalidateContent();
            viewport->repaint();
        });
        std::printf("  paint of a page of a %d-phrase bank: %.3f ms per frame (processor %.3f)\n",
                    kPhrases, paint.wallMs, paint.cpuMs);
        const int64_t rowsBefore = list.GetRowPaints();
        const SCost refresh = PerRound(frames, [&](int round) {
            for (int i = 0; i < kPlaying; ++i) {
                CPhraseLive* state = live.At(phrases.GetPhraseAt(i));
                state->playingVoices = round % 2;
                state->level = round % 2 != 0 ? CPhraseLive::kFullLevel : 0;
            }
            list.PlayStatesChanged();
            QApplication::processEvents(); // paints the rows that changed, nothing else
        });
        std::printf("  play-state refresh of %d playing phrases: %.3f ms per frame (processor "
                    "%.3f), %.1f rows drawn each\n",
                    kPlaying, refresh.wallMs, refresh.cpuMs,
                    static_cast<double>(list.GetRowPaints() - rowsBefore) / frames);
    }
    return 0;
}
