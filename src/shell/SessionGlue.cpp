#include "shell/SessionGlue.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSocketNotifier>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ostream>

#include <fcntl.h>
#include <unistd.h>

#include "devices/BackendChoice.h"
#include "document/ProjectDoc.h"
#include "document/ProjectManager.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "shell/MainFrame.h"
#include "shell/SequencerApp.h"
#include "shell/WndTransport.h"
#ifdef TW_HAVE_NSM
#include "session/OscLink.h"
#endif

namespace {

// How often the unsaved-changes flag and the window's visibility are looked at.
constexpr int kStatePeriodMs = 100;

// The pipe SIGTERM writes to; the handler may do nothing else.
int g_termPipe[2] = {-1, -1};

void OnTerminate(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_termPipe[1], &byte, 1);
}

} // namespace

bool CSessionUserServices::AskYesNo(const std::string& question)
{
    return m_quiet == 0 && m_user.AskYesNo(question);
}

bool CSessionUserServices::AskRemembered(const std::string& question, bool& dontAskAgain)
{
    dontAskAgain = false;
    return m_quiet == 0 && m_user.AskRemembered(question, dontAskAgain);
}

void CSessionUserServices::ShowMessage(const std::string& message)
{
    if (m_quiet == 0)
        m_user.ShowMessage(message);
    else
        m_kept.push_back(message);
}

std::string CSessionUserServices::ChooseFileToOpen(const std::string& defaultExt,
                                                   const std::string& filter)
{
    return m_quiet == 0 ? m_user.ChooseFileToOpen(defaultExt, filter) : std::string();
}

std::string CSessionUserServices::ChooseFileToSave(const std::string& defaultExt,
                                                   const std::string& filter,
                                                   const std::string& suggestedPath)
{
    return m_quiet == 0 ? m_user.ChooseFileToSave(defaultExt, filter, suggestedPath)
                        : std::string();
}

ESaveAnswer CSessionUserServices::AskSaveChanges(const std::string& projectName)
{
    // A user without the question closes without asking, as the program does without a session.
    auto* question = dynamic_cast<CSaveQuestion*>(&m_user);
    if (m_quiet != 0) return ESaveAnswer::Cancel;
    return question != nullptr ? question->AskSaveChanges(projectName) : ESaveAnswer::Discard;
}

std::string CSessionUserServices::TakeMessages(const std::string& fallback)
{
    std::string text;
    for (const std::string& message : m_kept)
        text += (text.empty() ? "" : " ") + message;
    m_kept.clear();
    return text.empty() ? fallback : text;
}

std::unique_ptr<CSessionGlue> CSessionGlue::Join(CSequencerApp& app, CUserServices& user,
                                                 std::ostream& errors)
{
    const char* url = std::getenv("NSM_URL");
    if (url == nullptr || *url == '\0') return nullptr;
#ifdef TW_HAVE_NSM
    std::string error;
    std::unique_ptr<COscLink> link = COscLink::Connect(url, error);
    if (!link) {
        errors << "tonalweaver: no session manager: " << error << "\n";
        return nullptr;
    }
    COscLink* raw = link.get();
    const int socket = raw->GetSocketFd();
    std::unique_ptr<CSessionGlue> glue(new CSessionGlue(
        app, user, std::move(link), [raw](int timeoutMs) { return raw->Receive(timeoutMs); },
        socket));
    QString executable = QFileInfo(QCoreApplication::arguments().value(0)).fileName();
    if (executable.isEmpty()) executable = QStringLiteral("tonalweaver");
    glue->m_client.Announce("Tonalweaver", executable.toStdString(),
                            static_cast<int32_t>(QCoreApplication::applicationPid()));
    return glue;
#else
    (void)app;
    (void)user;
    errors << "tonalweaver: this build has no session-manager support; NSM_URL is ignored.\n";
    return nullptr;
#endif
}

CSessionGlue::CSessionGlue(CSequencerApp& app, CUserServices& user,
                           std::unique_ptr<CSessionTransport> link, Receiver receive, int socket)
    : m_app(app), m_user(user), m_link(std::move(link)), m_receive(std::move(receive)),
      m_socket(socket), m_client(*m_link, *this)
{
    connect(&m_stateTimer, &QTimer::timeout, this, &CSessionGlue::ReportState);
    // Not quit(): that closes the windows first, and a closed main window only hides here.
    connect(
        this, &CSessionGlue::TerminateRequested, qApp, [] { QCoreApplication::exit(0); },
        Qt::QueuedConnection);
}

CSessionGlue::~CSessionGlue()
{
    // The notifiers go before what they watch.
    delete m_notifier;
    if (m_termNotifier == nullptr) return;
    std::signal(SIGTERM, SIG_DFL);
    delete m_termNotifier;
    ::close(g_termPipe[0]);
    ::close(g_termPipe[1]);
    g_termPipe[0] = g_termPipe[1] = -1;
}

void CSessionGlue::CatchTerminate()
{
    // The manager stops its clients with SIGTERM; ending through the event loop closes the JACK
    // client and writes the settings, and a project with unsaved changes is left as it is.
    if (g_termPipe[0] >= 0 || ::pipe2(g_termPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    m_termNotifier =
        new QSocketNotifier(static_cast<qintptr>(g_termPipe[0]), QSocketNotifier::Read);
    connect(m_termNotifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        while (::read(g_termPipe[0], &byte, 1) > 0) {
        }
        emit TerminateRequested();
    });
    struct sigaction action {};
    action.sa_handler = OnTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
}

void CSessionGlue::AwaitFirstOpen(int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    bool opened = false;
    while (!opened && !m_client.IsRefused() && Clock::now() < end) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        for (SOscMessage& message : m_receive(static_cast<int>(left.count()) + 1)) {
            const bool open = message.path == "/nsm/client/open";
            if (open && !opened && message.Types() == "sss") {
                m_clientName = message.args[2].s;
                SetMidiClientName(m_clientName);
                opened = true;
            }
            // Answers go to the client now; requests wait for the main frame.
            if (message.path == "/reply" || message.path == "/error")
                m_client.Receive(message);
            else
                m_pending.push_back(std::move(message));
        }
    }
}

void CSessionGlue::Start()
{
    Deliver(std::exchange(m_pending, {}));
    if (m_app.GetProjects().GetProjectCount() == 0) m_project = &m_app.GetProjects().NewProject();
    m_notifier = new QSocketNotifier(static_cast<qintptr>(m_socket), QSocketNotifier::Read);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { Deliver(m_receive(0)); });
    m_stateTimer.start(kStatePeriodMs);
    CatchTerminate();
}

void CSessionGlue::Deliver(const std::vector<SOscMessage>& messages)
{
    for (const SOscMessage& message : messages) {
        m_client.Receive(message);
        ReportState();
    }
}

void CSessionGlue::ReportState()
{
    const CProjectDoc* project = SessionProject();
    m_client.SetDirty(project != nullptr && project->IsModified());
    if (const CMainFrame* frame = m_app.GetMainFrame()) m_client.SetGuiShown(frame->isVisible());
}

CProjectDoc* CSessionGlue::SessionProject() const
{
    if (!m_app.HasProjects() || m_project == nullptr) return nullptr;
    return m_app.GetProjects().IndexOf(m_project) >= 0 ? m_project : nullptr;
}

bool CSessionGlue::OpenSessionProject(const std::string& path, bool create,
                                      const std::string& clientId, std::string& error)
{
    CSessionUserServices::CQuiet quiet(m_user);
    m_user.TakeMessages({});
    CProjectManager& projects = m_app.GetProjects();
    CProjectDoc* previous = SessionProject();
    // A switch keeps the changes of the project it leaves.
    if (previous != nullptr && previous->IsModified() && !previous->GetPath().empty() &&
        !projects.Save(*previous)) {
        error = m_user.TakeMessages("The open project could not be saved.");
        return false;
    }
    if (!TakeClientName(clientId, error)) return false;
    CProjectDoc* project = nullptr;
    if (create) {
        if (!MakeProjectFolder(path, error)) return false;
        project = &projects.NewProject();
        project->SetPath(path);
        if (!projects.Save(*project)) {
            projects.CloseProject(*project);
            error = m_user.TakeMessages("The project could not be created.");
            KeepPlaying(previous);
            return false;
        }
    } else {
        project = projects.OpenProject(path);
        if (project == nullptr) {
            error = m_user.TakeMessages("The project could not be opened.");
            KeepPlaying(previous);
            return false;
        }
    }
    // A new project that was never saved keeps its changes open beside the session's.
    if (previous != nullptr && previous != project &&
        !(previous->GetPath().empty() && previous->IsModified()))
        projects.CloseProject(*previous);
    projects.Activate(*project);
    m_project = project;
    return true;
}

void CSessionGlue::KeepPlaying(CProjectDoc* previous)
{
    // A failed switch leaves the project it came from as the one that plays.
    CProjectManager& projects = m_app.GetProjects();
    if (previous != nullptr && projects.GetActiveProject() == nullptr &&
        projects.IndexOf(previous) >= 0)
        projects.Activate(*previous);
}

bool CSessionGlue::TakeClientName(const std::string& clientId, std::string& error)
{
    CMainFrame* frame = m_app.GetMainFrame();
    if (clientId.empty() || clientId == m_clientName || frame == nullptr) return true;
    m_clientName = clientId;
    SetMidiClientName(clientId);
    // Only a JACK client carries the name; another MIDI system stays as it is.
    CMidiEngine* engine = CMidiEngineProxy::Instance().GetEngine();
    if (engine == nullptr || engine->GetBackend().GetName() != "jack") return true;
    // The project leaves the old engine with it and is loaded into the new one when activated.
    m_app.GetProjects().Deactivate();
    if (frame->RestartEngine(error)) return true;
    error = "The JACK client could not be opened as " + clientId + ": " + error;
    return false;
}

bool CSessionGlue::SaveSessionProject(std::string& error)
{
    CProjectDoc* project = SessionProject();
    if (project == nullptr) {
        error = "The session's project has been closed.";
        return false;
    }
    CSessionUserServices::CQuiet quiet(m_user);
    m_user.TakeMessages({});
    if (m_app.GetProjects().Save(*project)) return true;
    error = m_user.TakeMessages("The project could not be saved.");
    return false;
}

void CSessionGlue::ShowGui(bool show)
{
    CMainFrame* frame = m_app.GetMainFrame();
    if (frame == nullptr) return;
    // The transport is a window of its own: it goes and comes back with the main window.
    QWidget* transport = frame->GetTransport();
    if (!show) {
        m_transportHidden = transport != nullptr && transport->isVisible();
        if (m_transportHidden) transport->hide();
        frame->hide();
        return;
    }
    frame->show();
    frame->raise();
    frame->activateWindow();
    if (m_transportHidden && transport != nullptr) transport->show();
    m_transportHidden = false;
}
