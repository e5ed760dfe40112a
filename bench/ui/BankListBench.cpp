// Measures the phrase bank list at device-pixel ratio 2: painting a whole page of a
// 1,000-phrase bank, and the refresh after the engine reported on 100 playing phrases (only
// their rows are drawn again). Offscreen unless told otherwise; prints milliseconds per frame.
// Run: build/<dir>/bench/ui/tw_bank_bench [frames]

#include <QApplication>

#include <chrono>
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

template <class F> double MsPerRound(int rounds, F body)
{
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i)
        body(i);
    const auto spent = std::chrono::steady_clock::now() - start;
    return std::chrono::duration<double, std::milli>(spent).count() / rounds;
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
    // Tall enough for 100 rows, so all playing rows are in sight.
    editor.resize(900, (kPlaying + 4) * CPhraseListGeometry::kRowHeight);
    editor.show();
    QApplication::processEvents();
    CViewPhraseList& list = editor.List();
    QWidget* viewport = list.viewport();
    std::printf("ratio %.1f, %d rows in sight\n", viewport->devicePixelRatioF(),
                list.Geometry().GetPageRows());

    const double paint = MsPerRound(frames, [&](int) {
        list.InvalidateContent();
        viewport->repaint();
    });
    std::printf("paint of a full page of a %d-phrase bank: %.3f ms per frame\n", kPhrases, paint);

    CPhraseLiveStates& live = CPhraseLiveStates::Instance();
    const int64_t rowsBefore = list.GetRowPaints();
    const double refresh = MsPerRound(frames, [&](int round) {
        for (int i = 0; i < kPlaying; ++i) {
            CPhraseLive* state = live.At(phrases.GetPhraseAt(i));
            state->playingVoices = round % 2;
            state->level = round % 2 != 0 ? CPhraseLive::kFullLevel : 0;
        }
        list.PlayStatesChanged();
        viewport->repaint();
    });
    std::printf("play-state refresh of %d playing rows: %.3f ms per frame (%.1f rows drawn each)\n",
                kPlaying, refresh,
                static_cast<double>(list.GetRowPaints() - rowsBefore) / frames);
    return 0;
}
