#pragma once
// A running application on the offscreen platform with a scripted user, settings in memory and
// the virtual MIDI backend on a manual clock; engine commands run on the test's thread.

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "devices/virtual/VirtualBackend.h"
#include "document/ProjectDoc.h"
#include "document/ProjectManager.h"
#include "engine/MidiEngineProxy.h"
#include "fakes/ScriptedUserServices.h"
#include "model/Profile.h"
#include "shell/ChildFrames.h"
#include "shell/MainFrame.h"
#include "shell/ProjectWindowRegistry.h"
#include "shell/SequencerApp.h"

class CCanvasView;

class CUiFixture : public ::testing::Test {
protected:
    ~CUiFixture() override;

    // Starts the application as the command line would, with the arguments after the program.
    void Start(const QStringList& arguments = {});
    // Starts with an engine whose backend fails to start with this reason.
    bool StartFailing(const std::string& reason);
    // Makes the application and runs its start-up with the arguments after the program name;
    // profile null: the user's settings profile; backend null: the one the command line picks.
    bool Launch(const QStringList& arguments, CProfile* profile,
                CEngineHost::BackendFactory backend);
    // The test backend: output "Out A", input "In A", manual clock.
    static std::unique_ptr<CMidiBackend> TestBackend();

    CSequencerApp& App() { return *m_app; }
    CMainFrame& Frame() { return *m_app->GetMainFrame(); }
    CProjectManager& Projects() { return m_app->GetProjects(); }
    CShellProjectWindows& WindowsOf(CProjectDoc& doc);
    // A path in the test's own folder.
    std::string PathOf(const std::string& name) const;
    // Saves a small project with a bank of one phrase and one track of one clip.
    std::string SaveSampleProject(const std::string& name);
    // Lets queued events (activation, deferred deletes) happen.
    static void Settle();
    // The canvas's content in piece, painted afresh at ratio, by scanlines or by the painter alone.
    static QImage CanvasPicture(CCanvasView& canvas, bool scanlines, qreal ratio,
                                const QRect& piece);

    CMemoryProfile m_profile;
    CScriptedUserServices m_user;
    // What the application printed about its command line.
    std::ostringstream m_console;
    QTemporaryDir m_dir;
    std::unique_ptr<CSequencerApp> m_app;
};

class CEditValue;
class QComboBox;
// Picks the entry with this text as a user would (the box reports it activated).
void Choose(QComboBox& box, const QString& text);
// Types text into a value box and confirms it with Return.
void TypeInto(CEditValue& box, const QString& text);

// Fills a project with a bank "Bank A" holding phrase "Riff" (id 1) and a track "Bass" holding a
// clip "Line" (id 2).
void FillSampleProject(CProjectDoc& doc);
