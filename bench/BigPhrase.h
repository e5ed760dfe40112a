#pragma once
// An active project holding one phrase of a million notes (pairs every 6 ticks, pitches 40..79)
// and the selection of every tenth note, for the benchmarks of edits on large phrases. The
// engine mirrors the project (virtual backend, commands run inline).

#include <memory>

#include "devices/virtual/VirtualBackend.h"
#include "document/EnginePlayerLink.h"
#include "document/ProjectDoc.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "model/Phrase.h"
#include "model/PhraseBank.h"

struct CBigPhrase {
    static constexpr int kNotes = 1000000;
    static constexpr int kSelectedEvery = 10;

    CVirtualBackend backend{{"Out"}, {"In"}};
    CMidiEngineProxy proxy;
    CMidiEngine engine{backend, proxy.GetMailbox()};
    CEnginePlayerLink link{proxy};
    CProjectDoc doc;
    CPhrase* phrase = nullptr;
    CNoteList selected;

    // Every note noteLength ticks long.
    explicit CBigPhrase(tick noteLength = 12)
    {
        proxy.AttachEngine(&engine);
        proxy.Initialise(false);
        doc.SetEngineProxy(proxy);
        auto bank = std::make_unique<CPhraseBank>("Bank");
        auto big = std::make_unique<CPhrase>("Big", 0xFF, kOpenEnd);
        phrase = big.get();
        for (int i = 0; i < kNotes; ++i) {
            const tick start = static_cast<tick>(i / 2) * 6;
            const CNote note(start, start + noteLength, static_cast<uint8_t>(40 + i % 40), 100, 64);
            big->GetNotes().Append(note);
            if (i % kSelectedEvery == 0) selected.Append(note);
        }
        big->SetId(doc.NewObjectId());
        bank->InsertAt(0, std::move(big));
        doc.InsertBank(0, std::move(bank));
        link.LoadProject(doc);
        doc.AttachPlayer(&link);
    }
    ~CBigPhrase()
    {
        link.ClearProject(doc);
        proxy.ShutDown();
    }
};
