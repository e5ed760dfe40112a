#pragma once
// A project that the real engine plays (virtual backend, manual clock, commands run inline),
// with windows that write down what the operations ask of them, for tests of the operations.

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "devices/virtual/VirtualBackend.h"
#include "document/EnginePlayerLink.h"
#include "document/ProjectManager.h"
#include "editing/BankOperations.h"
#include "editing/ElementOperations.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "engine/SequencerClock.h"
#include "fakes/RecordingWindows.h"
#include "fakes/ScriptedUserServices.h"
#include "model/Phrase.h"
#include "model/PhraseBank.h"
#include "model/Profile.h"

class COpsFixture : public ::testing::Test {
protected:
    COpsFixture()
    {
        EXPECT_TRUE(proxy.AttachEngine(&engine));
        EXPECT_EQ(proxy.Initialise(false), 1) << proxy.GetLastError();
        doc = &manager.NewProject();
        doc->SetEngineProxy(proxy);
        windowLog.clear();
    }
    ~COpsFixture() override
    {
        proxy.Stop();
        manager.CloseProject(*doc);
        proxy.ShutDown();
    }

    // Starts the clock and lets it run a few ticks, so the players walk the lists.
    void StartPlaying()
    {
        ASSERT_EQ(proxy.Play(), 1) << proxy.GetLastError();
        RunTicks(4);
    }
    // Advances the master clock by about `ticks` ticks and runs a clock pass.
    void RunTicks(int64_t ticks)
    {
        const CSequencerClock& clock = engine.GetClock();
        backend.SetTime(clock.GetLastTickTime() + ticks * clock.GetTickPeriod());
        engine.ClockPass(backend.GetMasterTime());
    }
    bool Execute(std::unique_ptr<COperation> op) { return doc->Execute(std::move(op)); }
    // Answers remembered questions as the manager's options say.
    FAskOption Ask()
    {
        return [this](ERememberedQuestion question) { return manager.Ask(question); };
    }
    // A bank added through its operation (so the engine has players for its phrases), holding
    // one phrase of the given length per name.
    CPhraseBank& AddBank(const std::string& name, std::initializer_list<const char*> phrases,
                         tick length = 4 * kTicksPerWhole)
    {
        auto bank = std::make_unique<CPhraseBank>(name);
        for (const char* phrase : phrases)
            bank->InsertAt(bank->GetCount(), std::make_unique<CPhrase>(phrase, 0xFF, length));
        CPhraseBank& added = *bank;
        EXPECT_TRUE(Execute(std::make_unique<COpBankCreate>(-1, std::move(bank))));
        return added;
    }
    // Name of the operation Undo would undo, from the menu text; empty when there is none.
    std::string UndoName()
    {
        const std::string text = doc->UpdateUndo().text;
        const std::string prefix = "&Undo ", suffix = "  \tCtrl+Z";
        if (text.rfind(prefix, 0) != 0 || text.size() < prefix.size() + suffix.size()) return {};
        return text.substr(prefix.size(), text.size() - prefix.size() - suffix.size());
    }

    CVirtualBackend backend{{"Out A"}, {"In A"}};
    CMidiEngineProxy proxy;
    CMidiEngine engine{backend, proxy.GetMailbox()};
    CEnginePlayerLink link{proxy};
    CScriptedUserServices user;
    CMemoryProfile profile;
    std::vector<std::string> windowLog;
    CProjectManager manager{
        user, profile, &link,
        [this](CProjectDoc&) { return std::make_unique<CRecordingWindows>(windowLog); },
        [](CProjectDoc&, const std::string&) { return false; }};
    CProjectDoc* doc = nullptr;
};
