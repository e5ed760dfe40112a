#pragma once
// The program in a session manager's session (NSM, when NSM_URL is set at start): the protocol
// client over the OSC link, and what the manager's requests do here. Opening and saving go
// through the project manager with a user that is never asked anything; the window shows and
// hides on request; the project's unsaved-changes flag and the window's visibility are reported
// as they change. Everything runs on the user-interface thread: the link's socket is read when a
// notifier says it is readable.

#include <QObject>
#include <QTimer>

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "document/SessionClient.h"
#include "document/UserServices.h"
#include "shell/Dialogs.h"

class CProjectDoc;
class CSequencerApp;
class QSocketNotifier;

// The user of a session: passes everything to the program's user, except while the manager
// drives the program, when questions get their safe answer (No, don't discard) and messages are
// kept as the reason sent back to the manager.
class CSessionUserServices : public CUserServices, public CSaveQuestion {
public:
    explicit CSessionUserServices(CUserServices& user) : m_user(user) {}

    // Quiet while one of these lives.
    class CQuiet {
    public:
        explicit CQuiet(CSessionUserServices& user) : m_user(user) { ++m_user.m_quiet; }
        ~CQuiet() { --m_user.m_quiet; }
        CQuiet(const CQuiet&) = delete;
        CQuiet& operator=(const CQuiet&) = delete;

    private:
        CSessionUserServices& m_user;
    };

    bool AskYesNo(const std::string& question) override;
    bool AskRemembered(const std::string& question, bool& dontAskAgain) override;
    void ShowMessage(const std::string& message) override;
    std::string ChooseFileToOpen(const std::string& defaultExt, const std::string& filter) override;
    std::string ChooseFileToSave(const std::string& defaultExt, const std::string& filter,
                                 const std::string& suggestedPath) override;
    ESaveAnswer AskSaveChanges(const std::string& projectName) override;

    // The messages kept while quiet, joined, or fallback when there were none; forgets them.
    std::string TakeMessages(const std::string& fallback);

private:
    CUserServices& m_user;
    int m_quiet = 0;
    std::vector<std::string> m_kept;
};

class CSessionGlue : public QObject, public CSessionHost {
    Q_OBJECT
public:
    // How long start-up waits for the manager to say which project to open.
    static constexpr int kFirstOpenWaitMs = 5000;

    // Joins the manager that NSM_URL names, announcing the program; null when NSM_URL is unset
    // or empty, and in a build without the OSC link. An address that cannot be used is told on
    // errors and the program starts as without a manager.
    static std::unique_ptr<CSessionGlue> Join(CSequencerApp& app, CUserServices& user,
                                              std::ostream& errors);
    ~CSessionGlue() override;

    // The user the projects are to get.
    CUserServices& GetUser() { return m_user; }
    // Before the engine starts: waits (up to the limit) for the manager's first open and takes
    // the client id it gives as the JACK client name.
    void AwaitFirstOpen(int timeoutMs = kFirstOpenWaitMs);
    // Once the main frame exists: handles what has arrived (the first open), leaves a new project
    // when none came, and from now on handles each message as it arrives.
    void Start();
    // True while a manager that accepted the program drives it: the window then only hides when
    // closed, and the manager ends the program.
    bool IsDriving() const { return m_client.IsAnnounced() && !m_client.IsRefused(); }
    const CSessionClient& GetClient() const { return m_client; }

    bool OpenSessionProject(const std::string& path, bool create, const std::string& clientId,
                            std::string& error) override;
signals:
    // The manager sent SIGTERM: the program ends without saving or asking (the application
    // quits).
    void TerminateRequested();

public:
    bool SaveSessionProject(std::string& error) override;
    void ShowGui(bool show) override;

private:
    using Receiver = std::function<std::vector<SOscMessage>(int timeoutMs)>;
    CSessionGlue(CSequencerApp& app, CUserServices& user, std::unique_ptr<CSessionTransport> link,
                 Receiver receive, int socket);

    void Deliver(const std::vector<SOscMessage>& messages);
    // A session that names another client: the JACK client is opened again under that name
    // (the project is loaded into the new engine when activated). False with the reason.
    bool TakeClientName(const std::string& clientId, std::string& error);
    void KeepPlaying(CProjectDoc* previous);
    void CatchTerminate();
    // Reports the project's flag and the window's visibility when they changed.
    void ReportState();
    // The project the session opened, while it is open.
    CProjectDoc* SessionProject() const;

    CSequencerApp& m_app;
    CSessionUserServices m_user;
    std::unique_ptr<CSessionTransport> m_link;
    Receiver m_receive;
    int m_socket;
    CSessionClient m_client;
    std::string m_clientName; // the JACK client name taken from the manager; empty: our own
    std::vector<SOscMessage> m_pending;
    CProjectDoc* m_project = nullptr;
    // The transport was hidden with the main window.
    bool m_transportHidden = false;
    QSocketNotifier* m_notifier = nullptr;
    // SIGTERM reaches the event loop through a pipe.
    QSocketNotifier* m_termNotifier = nullptr;
    QTimer m_stateTimer;
};
