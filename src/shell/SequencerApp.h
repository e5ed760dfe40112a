#pragma once
// The application: settings, options and recent files, the open projects, the main frame, the
// help viewer, and the commands that belong to the program as a whole (recent files, help,
// About).

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <iosfwd>
#include <memory>
#include <string>

#include "controls/Commands.h"
#include "shell/Dialogs.h"
#include "shell/EngineHost.h"
#include "shell/ProjectWindowRegistry.h"

class CEnginePlayerLink;
class CHelpViewer;
class CMainFrame;
class CProfile;
class CProjectDoc;
class CModifierSettings;
class CProjectManager;
class CSessionGlue;

// What the application is started with; tests replace the parts that would reach the user or
// the system.
struct CAppEnvironment {
    // Settings store; null: the user's settings profile.
    CProfile* profile = nullptr;
    // Questions, messages and file choosers; null: dialogs.
    CUserServices* user = nullptr;
    // The MIDI backend; null: the one "--midi" names, else this machine's default.
    CEngineHost::BackendFactory backend;
    // Where command-line mistakes and the "--help" text go; null: standard error and output.
    std::ostream* console = nullptr;
    // False runs engine commands on the calling thread (tests).
    bool startMusicThread = true;
};

class CSequencerApp : public QObject, public CCommandTarget {
    Q_OBJECT
public:
    explicit CSequencerApp(CAppEnvironment environment = {});
    ~CSequencerApp() override;

    // Start-up; arguments as the command line gives them (the program name first). False when
    // the program does not go on (the user has been told why); GetExitStatus says how it ends.
    bool InitInstance(const QStringList& arguments);
    // After a start that did not go on: 0 after "--help", 1 when the engine failed, 2 for a
    // mistake on the command line.
    int GetExitStatus() const { return m_exitStatus; }
    // Writes the options back; returns the exit status.
    int ExitInstance();

    // Opens a dropped or requested file as a project.
    CProjectDoc* OpenDocumentFile(const std::string& path);
    // Closes a project, asking first about unsaved changes; false when refused or cancelled.
    bool CloseProject(CProjectDoc& doc);
    // Closes every project, inactive ones first; false (and nothing closed) while recording or
    // when the user cancels.
    bool CloseAllProjects();

    CMainFrame* GetMainFrame() const { return m_mainFrame.get(); }
    // The session manager's link when NSM_URL named one at start, else null.
    CSessionGlue* GetSession() const { return m_session.get(); }
    // In a session the manager ends the program: closing the main window only hides it. True
    // when it did.
    bool HideForSession();
    // The player link the projects share (owned by the application).
    CEnginePlayerLink& GetPlayerLink() const { return *m_player; }
    CProjectManager& GetProjects() const { return *m_projects; }
    // False before start-up and while the projects are being torn down.
    bool HasProjects() const { return m_projects != nullptr; }
    CProfile& GetProfile() const { return *m_profile; }
    CUserServices& GetUser() const { return *m_user; }
    CObjectWindowStore& GetObjectStore() { return m_objectStore; }
    // The help window, made on first use.
    CHelpViewer& GetHelp();
    bool HasHelp() const { return !m_help.isNull(); }

    bool OnCommand(ECommand id) override;
    bool OnUpdateCommand(ECommand id, CCommandUi& ui) override;

private:
    void ShowAbout();
    // Menu text of a recent-file entry: "&1 path".
    QString RecentFileText(int index) const;

    // Reads the options of the command line; false (and m_exitStatus set) when start-up ends.
    bool ParseCommandLine(const QStringList& arguments, std::string& midiBackend,
                          QStringList& files);

    CAppEnvironment m_environment;
    int m_exitStatus = 0;
    std::unique_ptr<CProfile> m_ownProfile;
    CProfile* m_profile;
    std::unique_ptr<CQtUserServices> m_ownUser;
    CUserServices* m_user;
    std::unique_ptr<CSessionGlue> m_session;
    std::unique_ptr<CEnginePlayerLink> m_player;
    CObjectWindowStore m_objectStore;
    std::unique_ptr<CProjectManager> m_projects;
    // The "Editor" settings of the piano rolls' commands, over the options and the profile.
    std::unique_ptr<CModifierSettings> m_editorSettings;
    std::unique_ptr<CMainFrame> m_mainFrame;
    QPointer<CHelpViewer> m_help;
};
