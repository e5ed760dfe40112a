#include "shell/MainFrame.h"

#include "editors/TracksEditor.h"
#include "shell/ProjectWindowRegistry.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>

#include <optional>

#include "devices/MidiNode.h"
#include "document/EnginePlayerLink.h"
#include "document/ProjectManager.h"
#include "document/UserServices.h"
#include "editors/PhraseLiveState.h"
#include "editors/PianoRollEditor.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "engine/PlayControl.h"
#include "model/Clip.h"
#include "model/Phrase.h"
#include "model/Profile.h"
#include "shell/ChildFrames.h"
#include "shell/Dialogs.h"
#include "shell/ProjectWindowRegistry.h"
#include "shell/DlgDevices.h"
#include "shell/DlgRecording.h"
#include "shell/DlgSync.h"
#include "shell/DlgSynth.h"
#include "shell/FrameArrangement.h"
#include "shell/SequencerApp.h"
#include "shell/SessionGlue.h"
#include "shell/ShellArt.h"
#include "shell/WndMixer.h"
#include "shell/WndTransport.h"

namespace {

constexpr const char* kPlacementSection = "Main-Window";
constexpr int kShowMaximised = 3;

// The four timers and their periods in milliseconds.
constexpr int kDrainPeriod = 50;
constexpr int kBlinkPeriod = 500;
constexpr int kTransportPeriod = 50;
constexpr int kEnginePeriod = 100;

bool IsEngineDialog(ECommand id)
{
    switch (id) {
    case ECommand::Devices:
    case ECommand::Ports:
    case ECommand::Sync:
    case ECommand::Recording:
    case ECommand::HarmonicScale:
        return true;
    default:
        return false;
    }
}

} // namespace

CMainFrame::CMainFrame(CSequencerApp& app, CEngineHost::BackendFactory backend,
                       std::string backendName, bool startMusicThread)
    : m_app(app), m_engine(CMidiEngineProxy::Instance(), app.GetProfile(), std::move(backend),
                           std::move(backendName), startMusicThread),
      m_area(new QMdiArea(this)), m_router([this] {
          std::vector<CCommandTarget*> chain;
          if (CShellView* view = GetActiveView()) chain.push_back(view);
          if (CChildFrame* frame = GetActiveFrame()) chain.push_back(frame);
          chain.push_back(this);
          chain.push_back(&m_app);
          return chain;
      })
{
    setWindowTitle(QStringLiteral("Tonalweaver"));
    setWindowIcon(ApplicationIcon());
    setAcceptDrops(true);
    m_area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_area->setBackground(QColor(0x5a, 0x62, 0x6e));
    setCentralWidget(m_area);
    connect(m_area, &QMdiArea::subWindowActivated, this, &CMainFrame::OnSubWindowActivated);
    CreateActions();
    CreateMenus();
    connect(&m_drainTimer, &QTimer::timeout, this, &CMainFrame::OnDrainTimer);
    connect(&m_blinkTimer, &QTimer::timeout, this, &CMainFrame::OnBlinkTimer);
    connect(&m_transportTimer, &QTimer::timeout, this, &CMainFrame::OnTransportTimer);
    connect(&m_engineTimer, &QTimer::timeout, this, &CMainFrame::OnEngineTimer);
    qApp->installEventFilter(this);
}

CMainFrame::~CMainFrame()
{
    qApp->removeEventFilter(this);
    StopTimers();
    m_app.GetPlayerLink().SetAfterStop(nullptr);
    m_engine.ShutDown();
}

bool CMainFrame::Create()
{
    std::string error;
    if (!m_engine.Start(error)) {
        m_app.GetUser().ShowMessage(error);
        return false;
    }
    CreateTransport();
    // Stopping (also when a project is deactivated or closed) finishes takes: they are committed
    // before the project lets go of the engine.
    m_app.GetPlayerLink().SetAfterStop([this] { OnDrainTimer(); });
    m_drainTimer.start(kDrainPeriod);
    m_blinkTimer.start(kBlinkPeriod);
    m_transportTimer.start(kTransportPeriod);
    m_engineTimer.start(kEnginePeriod);
    return true;
}

void CMainFrame::StopTimers()
{
    m_drainTimer.stop();
    m_blinkTimer.stop();
    m_transportTimer.stop();
    m_engineTimer.stop();
}

// ---------------------------------------------------------------------------------------------
// Actions and menus

void CMainFrame::CreateActions()
{
    for (const CCommandInfo& info : CommandTable()) {
        auto* action = new QAction(this);
        const QString text = QString::fromLatin1(info.text);
        action->setText(text.isEmpty() ? QString::fromLatin1(info.name) : text);
        action->setShortcuts(info.keys);
        // Menu texts carry their key after "\t"; the shortcut itself must not be shown twice.
        action->setShortcutVisibleInContextMenu(false);
        action->setShortcutContext(Qt::WindowShortcut);
        const ECommand id = info.id;
        connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
        addAction(action);
        m_actions[id] = action;
    }
}

QMenu* CMainFrame::AddPopup(const QString& title, std::initializer_list<ECommand> commands)
{
    QMenu* menu = menuBar()->addMenu(title);
    std::optional<ECommand> previous;
    for (ECommand id : commands) {
        // Groups of the menu: a separator where the command numbers jump.
        if (previous && static_cast<int>(id) != static_cast<int>(*previous) + 1)
            menu->addSeparator();
        menu->addAction(m_actions.at(id));
        previous = id;
    }
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { UpdateMenu(*menu); });
    return menu;
}

void CMainFrame::CreateMenus()
{
    using E = ECommand;
    QMenu* project = menuBar()->addMenu(QStringLiteral("&Project"));
    for (E id : {E::New, E::Open, E::Close})
        project->addAction(m_actions.at(id));
    project->addSeparator();
    for (E id : {E::Save, E::SaveAs, E::SaveAll})
        project->addAction(m_actions.at(id));
    project->addSeparator();
    project->addAction(m_actions.at(E::Properties));
    project->addSeparator();
    for (int i = 0; i < 4; ++i)
        project->addAction(m_actions.at(RecentFileCommand(i)));
    project->addSeparator();
    project->addAction(m_actions.at(E::Exit));
    connect(project, &QMenu::aboutToShow, this, [this, project] { UpdateMenu(*project); });

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    m_editMenu = m_shownEditMenu = edit;
    for (E id : {E::Undo, E::Redo})
        edit->addAction(m_actions.at(id));
    edit->addSeparator();
    for (E id : {E::Cut, E::Copy, E::Paste, E::Delete})
        edit->addAction(m_actions.at(id));
    connect(edit, &QMenu::aboutToShow, this, [this, edit] { UpdateMenu(*edit); });

    AddPopup(QStringLiteral("&Control"), {E::ResetOutputs, E::SendInstrumentSettings});

    QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
    for (E id : {E::Devices, E::Ports, E::Sync, E::Metronome, E::Recording, E::Synth})
        options->addAction(m_actions.at(id));
    options->addSeparator();
    for (E id : {E::EditingOptions, E::HarmonicScale})
        options->addAction(m_actions.at(id));
    connect(options, &QMenu::aboutToShow, this, [this, options] { UpdateMenu(*options); });

    m_windowMenu = menuBar()->addMenu(QStringLiteral("&Window"));
    for (E id : {E::Cascade, E::TileHorizontally, E::TileVertically, E::ArrangeIcons})
        m_windowMenu->addAction(m_actions.at(id));
    m_windowMenu->addSeparator();
    m_windowMenu->addAction(m_actions.at(E::RepositionTransport));
    m_windowMenu->addSeparator();
    for (E id : {E::OpenProjectWindow, E::OpenTracksWindow, E::OpenMixerWindow})
        m_windowMenu->addAction(m_actions.at(id));
    connect(m_windowMenu, &QMenu::aboutToShow, this, [this] {
        UpdateMenu(*m_windowMenu);
        FillWindowList(*m_windowMenu);
    });

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(m_actions.at(E::Help));
    help->addSeparator();
    for (E id : {E::HelpContents, E::HelpIndex, E::HelpSearch})
        help->addAction(m_actions.at(id));
    help->addSeparator();
    help->addAction(m_actions.at(E::HelpSupport));
    help->addSeparator();
    help->addAction(m_actions.at(E::About));
    connect(help, &QMenu::aboutToShow, this, [this, help] { UpdateMenu(*help); });
}

void CMainFrame::FillWindowList(QMenu& menu)
{
    for (QAction* action : m_windowListActions) {
        menu.removeAction(action);
        action->deleteLater();
    }
    m_windowListActions.clear();
    const QList<QMdiSubWindow*> windows = m_area->subWindowList(QMdiArea::CreationOrder);
    if (windows.isEmpty()) return;
    m_windowListActions << menu.addSeparator();
    int number = 1;
    for (QMdiSubWindow* window : windows) {
        QString title = window->windowTitle();
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        const QString text = number <= 9 ? QStringLiteral("&%1 %2").arg(number).arg(title)
                                         : QStringLiteral("%1 %2").arg(number).arg(title);
        QAction* action = menu.addAction(text);
        // Only the active window carries a check mark.
        action->setCheckable(window == m_area->activeSubWindow());
        action->setChecked(action->isCheckable());
        connect(action, &QAction::triggered, this, [this, window] {
            if (window->isMinimized()) window->showNormal();
            m_area->setActiveSubWindow(window);
        });
        m_windowListActions << action;
        ++number;
    }
}

void CMainFrame::ApplyUpdate(ECommand id, QAction& action) const
{
    const CCommandUi ui = m_router.Update(id);
    const QString text = !ui.text.isEmpty() ? ui.text : QString::fromLatin1(CommandInfo(id).text);
    if (!text.isEmpty() && action.text() != text) action.setText(text);
    action.setEnabled(ui.enabled);
    if (action.statusTip() != ui.reason) {
        action.setStatusTip(ui.reason);
        action.setToolTip(ui.reason.isEmpty() ? action.text() : ui.reason);
    }
    action.setCheckable(ui.checked);
    action.setChecked(ui.checked);
    // Hidden entries are the unused recent files; key-only commands have no entry to hide.
    if (!QString::fromLatin1(CommandInfo(id).text).isEmpty() ||
        (id >= ECommand::RecentFile1 && id <= ECommand::RecentFile4))
        action.setVisible(!ui.hidden);
}

void CMainFrame::UpdateMenu(QMenu& menu)
{
    for (const auto& [id, action] : m_actions)
        if (menu.actions().contains(action)) ApplyUpdate(id, *action);
}

void CMainFrame::UpdateActions()
{
    // The transport's buttons follow the active project too, before a key may press them.
    FollowActiveProject();
    for (const auto& [id, action] : m_actions)
        ApplyUpdate(id, *action);
}

QAction* CMainFrame::GetAction(ECommand id) const
{
    return m_actions.at(id);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    // Before a key can run a command, every command's enabling is made current, so a key never
    // runs a command that its menu entry would show disabled, nor misses one that it enables.
    if (event->type() == QEvent::ShortcutOverride && isActiveWindow()) UpdateActions();
    return QMainWindow::eventFilter(watched, event);
}

bool CMainFrame::RunCommand(ECommand id)
{
    const bool ran = m_router.Execute(id);
    // The main window may have closed while the command ran (Exit).
    if (ran && isVisible()) UpdateActions();
    return ran;
}

CCommandUi CMainFrame::QueryCommand(ECommand id) const
{
    return m_router.Update(id);
}

// ---------------------------------------------------------------------------------------------
// Child frames

CChildFrame* CMainFrame::GetActiveFrame() const
{
    return dynamic_cast<CChildFrame*>(m_area->activeSubWindow());
}

CShellView* CMainFrame::GetActiveView() const
{
    CChildFrame* frame = GetActiveFrame();
    return frame != nullptr ? frame->GetView() : nullptr;
}

CProjectDoc* CMainFrame::GetCommandProject() const
{
    if (CChildFrame* frame = GetActiveFrame()) return &frame->GetProject();
    return m_app.GetProjects().GetActiveProject();
}

void CMainFrame::ExchangeEditMenu()
{
    const CShellView* view = GetActiveView();
    QMenu* wanted =
        view != nullptr && view->GetEditMenu() != nullptr ? view->GetEditMenu() : m_editMenu;
    if (wanted == m_shownEditMenu) return;
    // An editor's popup goes away with its view; the slot after "&Project" is the edit menu's.
    QAction* place =
        m_shownEditMenu ? m_shownEditMenu->menuAction() : menuBar()->actions().value(1);
    menuBar()->insertMenu(place, wanted);
    if (m_shownEditMenu) menuBar()->removeAction(m_shownEditMenu->menuAction());
    m_shownEditMenu = wanted;
}

void CMainFrame::OnSubWindowActivated(QMdiSubWindow* window)
{
    ExchangeEditMenu();
    auto* frame = dynamic_cast<CChildFrame*>(window);
    if (frame == nullptr || m_activating || !m_app.HasProjects()) return;
    CProjectManager& projects = m_app.GetProjects();
    CProjectDoc& doc = frame->GetProject();
    // A project that is still loading is not in the list yet; a playing project keeps playing.
    if (projects.GetActiveProject() == &doc || projects.IndexOf(&doc) < 0 ||
        projects.IsPlayerRunning())
        return;
    m_activating = true;
    projects.Activate(doc);
    // Activation shows the project window; the frame the user picked stays in front.
    m_area->setActiveSubWindow(frame);
    m_activating = false;
    UpdateActions();
}

// ---------------------------------------------------------------------------------------------
// Transport

void CMainFrame::CreateTransport()
{
    m_transport = new CWndTransport(m_app.GetProjects(), CMidiEngineProxy::Instance(),
                                    m_app.GetProfile(), this);
    connect(m_transport, &CWndTransport::MetronomeSettingsRequested, this,
            [this] { RunCommand(ECommand::Metronome); });
    connect(m_transport, &CWndTransport::SyncSettingsRequested, this,
            [this] { RunCommand(ECommand::Sync); });
}

void CMainFrame::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // The window manager keeps a tool window above the window it is transient for, but links
    // the two only when it already manages the main window: the transport appears after it.
    if (m_transport != nullptr && !m_transportShown) {
        m_transportShown = true;
        // Like any tool palette it leaves the keyboard with the main window.
        m_transport->setAttribute(Qt::WA_ShowWithoutActivating);
        QMetaObject::invokeMethod(
            this, [this] { m_transport->show(); }, Qt::QueuedConnection);
    }
}

void CMainFrame::FollowActiveProject()
{
    if (m_transport != nullptr && m_app.HasProjects() &&
        m_transportProject != m_app.GetProjects().GetActiveProject())
        RefreshTransport();
}

void CMainFrame::RefreshTransport()
{
    m_transportProject = m_app.GetProjects().GetActiveProject();
    if (m_transport != nullptr) m_transport->RefreshFromModel();
}

void CMainFrame::RefreshMixers()
{
    // The ports belong to the engine, so every project's mixer names their devices.
    CProjectManager& projects = m_app.GetProjects();
    for (int32_t i = 0; i < projects.GetProjectCount(); ++i)
        if (CWndMixer* mixer = CWndMixer::Of(projects.GetProjectAt(i))) mixer->RefreshView();
}

void CMainFrame::PressTransportButton(int button)
{
    // The keys act exactly as a click on the transport's button would.
    m_transport->ClickButton(static_cast<CWndTransport::EButton>(button));
}

// ---------------------------------------------------------------------------------------------
// Timers

void CMainFrame::OnDrainTimer()
{
    CEngineMailbox& mailbox = CMidiEngineProxy::Instance().GetMailbox();
    CProjectDoc* active = m_app.GetProjects().GetActiveProject();
    const std::size_t applied = mailbox.Drain(*this);
    if (!m_takes.IsEmpty()) m_takes.Commit(active);
    if (m_droppedTakes != 0) ReportDroppedTakes();
    int32_t position = 0;
    const bool moved = mailbox.TakePosition(position);
    if (active == nullptr) return;
    if (moved) {
        active->FollowPlayerPosition(position);
        active->GetWindows().SongPositionChanged();
    }
    if (applied != 0) active->GetWindows().RefreshAll();
    if (m_phrasesReported) {
        m_phrasesReported = false;
        if (auto* windows = dynamic_cast<CShellProjectWindows*>(&active->GetWindows()))
            windows->PhrasePlayStatesChanged();
    }
}

CTracksEditor* CMainFrame::ActiveTracksEditor() const
{
    CProjectDoc* active = m_app.GetProjects().GetActiveProject();
    if (active == nullptr) return nullptr;
    auto* windows = dynamic_cast<CShellProjectWindows*>(&active->GetWindows());
    return windows != nullptr ? windows->GetTracksEditor() : nullptr;
}

void CMainFrame::OnRecordingStarted(int32_t trackId, int32_t /*slot*/, int32_t position)
{
    if (CTracksEditor* editor = ActiveTracksEditor()) editor->RecordingStarted(trackId, position);
}

void CMainFrame::OnNoteRecorded(int32_t trackId, int32_t /*slot*/, const CNote& note)
{
    if (CTracksEditor* editor = ActiveTracksEditor()) editor->NoteRecorded(trackId, note);
}

void CMainFrame::OnEventRecorded(int32_t trackId, int32_t /*slot*/, const CMidiEvent& event)
{
    if (CTracksEditor* editor = ActiveTracksEditor()) editor->EventRecorded(trackId, event);
}

void CMainFrame::OnRecordingFinished(int32_t trackId, int32_t /*slot*/, std::unique_ptr<CClip> clip)
{
    if (CTracksEditor* editor = ActiveTracksEditor()) editor->RecordingFinished(trackId);
    m_takes.Add(trackId, std::move(clip));
}

void CMainFrame::OnTakeDropped(int32_t /*trackId*/, int32_t /*slot*/, int32_t /*position*/)
{
    ++m_droppedTakes;
}

void CMainFrame::ReportDroppedTakes()
{
    if (CMidiEngineProxy::Instance().IsRecording()) return;
    auto* box = new QMessageBox(
        QMessageBox::Warning, QStringLiteral("Recording"),
        QStringLiteral("Recording fell behind %1: part of what was played is missing from the "
                       "recorded clips.")
            .arg(m_droppedTakes == 1 ? QStringLiteral("once")
                                     : QStringLiteral("%1 times").arg(m_droppedTakes)),
        QMessageBox::Ok, this);
    m_droppedTakes = 0;
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open(); // the timers run on while it shows
}

void CMainFrame::OnBlinkTimer()
{
    m_blink = !m_blink;
    if (m_transport != nullptr) m_transport->ToggleBlink();
}

void CMainFrame::OnTransportTimer()
{
    FollowActiveProject();
    if (m_transport == nullptr) return;
    const CMidiEngineProxy& proxy = CMidiEngineProxy::Instance();
    m_transport->Refresh(CTransportEngineState{proxy.IsPlaying(), proxy.GetPosition()});
}

void CMainFrame::OnCapturedNotes(const std::vector<std::array<uint8_t, 3>>& noteOns)
{
    // A chord for step entry goes to the active window when it is a piano roll of the active
    // project.
    auto* roll = dynamic_cast<CFramePianoRoll*>(GetActiveFrame());
    if (roll == nullptr || &roll->GetProject() != m_app.GetProjects().GetActiveProject()) return;
    std::vector<uint8_t> pitches;
    for (const auto& message : noteOns)
        pitches.push_back(message[1]);
    roll->GetEditor().StepRecord(pitches);
}

void CMainFrame::OnDevicesLost(bool serverLost)
{
    const CMidiEngine* engine = CMidiEngineProxy::Instance().GetEngine();
    const std::string reason = engine != nullptr ? engine->GetDevices().GetLastFault() : "";
    statusBar()->showMessage(FromModelText(DevicesLostText(reason, serverLost)));
    UpdateActions();
}

void CMainFrame::OnDevicesBack()
{
    statusBar()->showMessage(QString::fromUtf8(kDevicesBackText));
}

void CMainFrame::OnEngineTimer()
{
    // While step entry captures, the notes gathered since the last look come over as one chord.
    CMidiEngineProxy& engine = CMidiEngineProxy::Instance();
    const intptr_t target = engine.GetNodeParameter(kPlayControlNode, CPlayControl::kCaptureTarget);
    if (target != 0 && target != -1)
        engine.SetNodeParameter(kPlayControlNode, CPlayControl::kHandOverCapture, 0);
    // The engine's recording state decides what the Project menu and Save offer; its change is
    // picked up here so disabled keys follow without waiting for a menu.
    const bool recording = CMidiEngineProxy::Instance().IsRecording();
    if (recording == m_wasRecording) return;
    m_wasRecording = recording;
    UpdateActions();
}

void CMainFrame::OnTransportRequest(int32_t code, int32_t value)
{
    CProjectDoc* active = m_app.GetProjects().GetActiveProject();
    if (code == CTransportNotification::kTempo && active != nullptr) {
        // A followed master's tempo (MIDI clock, a JACK timebase master) shows as it changes.
        active->SetTempo(value);
        RefreshTransport();
    }
    if (code == CTransportNotification::kPlayState) UpdateActions();
}

void CMainFrame::OnSoloMuteModes(bool soloMode, bool muteMode)
{
    CProjectDoc* active = m_app.GetProjects().GetActiveProject();
    if (active == nullptr) return;
    active->SetSoloActive(soloMode);
    active->SetMuteActive(muteMode);
    active->GetWindows().InvalidateAll();
    if (auto* windows = dynamic_cast<CShellProjectWindows*>(&active->GetWindows()))
        windows->PhrasePlayStatesChanged();
    // The mixer's solo and mute buttons show the effective state; the transport shows the modes.
    if (CWndMixer* mixer = CWndMixer::Of(*active)) mixer->RefreshView();
    RefreshTransport();
}

void CMainFrame::OnTrackActivity(int32_t trackId, int32_t)
{
    CProjectDoc* active = m_app.GetProjects().GetActiveProject();
    if (CWndMixer* mixer = active != nullptr ? CWndMixer::Of(*active) : nullptr)
        mixer->ShowActivity(trackId);
}

namespace {

// The UI's record of the phrase player in slot, when that slot still holds the phrase the engine
// named.
CPhraseLive* LivePhrase(int32_t phraseId, int32_t slot)
{
    const CPhrase* phrase = CMidiEngineProxy::Instance().GetMailbox().Phrases().GetObject(slot);
    if (phrase == nullptr || phrase->GetId() != phraseId) return nullptr;
    return CPhraseLiveStates::Instance().At(*phrase);
}

} // namespace

void CMainFrame::OnPhraseActivity(int32_t phraseId, int32_t slot)
{
    if (CPhraseLive* live = LivePhrase(phraseId, slot)) {
        live->level = CPhraseLive::kFullLevel;
        m_phrasesReported = true;
    }
}

void CMainFrame::OnPhraseVoice(int32_t phraseId, int32_t slot, int32_t kind, int32_t serial)
{
    if (CPhraseLive* live = LivePhrase(phraseId, slot)) {
        live->OnVoice(kind, serial);
        m_phrasesReported = true;
    }
}

bool CMainFrame::RestartEngine(std::string& error)
{
    m_engine.ShutDown();
    const bool started = m_engine.Start(error);
    RefreshMixers();
    UpdateActions();
    return started;
}

void CMainFrame::OnMixerFeedback(int32_t trackId, int32_t, int32_t kind, int32_t value)
{
    CProjectDoc* active = m_app.GetProjects().GetActiveProject();
    if (CWndMixer* mixer = active != nullptr ? CWndMixer::Of(*active) : nullptr)
        mixer->ShowFeedback(trackId, kind, value);
}

// ---------------------------------------------------------------------------------------------
// Commands of the main frame

namespace {

const char* const kSessionHandlesProjects =
    "The session manager opens and saves the project of this session.";

} // namespace

bool CMainFrame::OnUpdateCommand(ECommand id, CCommandUi& ui)
{
    using E = ECommand;
    CProjectManager& projects = m_app.GetProjects();
    CMidiEngineProxy& proxy = CMidiEngineProxy::Instance();
    const bool recording = proxy.IsRecording();
    CProjectDoc* doc = GetCommandProject();
    // A session manager opens and saves the project: a dialog here would fight it.
    const bool managed = m_app.GetSession() != nullptr && m_app.GetSession()->IsDriving();
    if (managed && (id == E::New || id == E::Open || id == E::SaveAs)) {
        ui.enabled = false;
        ui.reason = QString::fromLatin1(kSessionHandlesProjects);
        return true;
    }
    switch (id) {
    case E::New:
    case E::Open:
    case E::Exit:
        ui.enabled = true;
        return true;
    case E::Close:
    case E::Properties:
    case E::EditingOptions:
        ui.enabled = doc != nullptr;
        return true;
    case E::Save:
    case E::SaveAs:
        ui.enabled = doc != nullptr && !recording;
        return true;
    case E::SaveAll:
        ui.enabled = projects.GetProjectCount() > 0 && !recording;
        return true;
    case E::ResetOutputs:
    case E::SendInstrumentSettings:
        ui.enabled = m_engine.IsRunning();
        return true;
    case E::Cascade:
    case E::TileHorizontally:
    case E::TileVertically:
    case E::ArrangeIcons:
        ui.enabled = !m_area->subWindowList().isEmpty();
        return true;
    case E::RepositionTransport:
    case E::PlayStop:
    case E::RecordSwitch:
    case E::Metronome:
        ui.enabled = m_transport != nullptr && projects.GetActiveProject() != nullptr;
        return true;
    case E::OpenProjectWindow:
    case E::OpenTracksWindow:
    case E::OpenMixerWindow:
        ui.enabled = projects.GetActiveProject() != nullptr;
        return true;
    case E::HarmonicScale:
        ui.enabled = GetCommandProject() != nullptr;
        return true;
    case E::Synth:
        // Without an engine the settings are kept for the next start.
        ui.enabled = true;
        return true;
    default:
        // The engine's setting dialogs need a running engine.
        if (IsEngineDialog(id)) {
            ui.enabled = CMidiEngineProxy::Instance().GetEngine() != nullptr;
            return true;
        }
        return false;
    }
}

bool CMainFrame::OnCommand(ECommand id)
{
    using E = ECommand;
    CProjectManager& projects = m_app.GetProjects();
    CProjectDoc* doc = GetCommandProject();
    CProjectDoc* active = projects.GetActiveProject();
    switch (id) {
    case E::New:
        projects.NewProject();
        return true;
    case E::Open:
        projects.OpenWithDialog();
        return true;
    case E::Close:
        if (doc != nullptr) m_app.CloseProject(*doc);
        return true;
    case E::Save:
        if (doc != nullptr) projects.Save(*doc);
        return true;
    case E::SaveAs:
        if (doc != nullptr) projects.SaveAs(*doc);
        return true;
    case E::SaveAll:
        projects.SaveAll();
        return true;
    case E::Properties:
        if (doc != nullptr) EditProjectProperties(*doc, this);
        return true;
    case E::EditingOptions:
        if (doc != nullptr) EditProjectEditingOptions(*doc, this);
        return true;
    case E::Exit:
        close();
        return true;
    case E::ResetOutputs:
        if (CMidiEngineProxy::Instance().ResetOutputs() == 0)
            m_app.GetUser().ShowMessage(CMidiEngineProxy::Instance().GetLastError());
        return true;
    case E::SendInstrumentSettings:
        if (CMidiEngineProxy::Instance().SendInstrumentSettings() == 0)
            m_app.GetUser().ShowMessage(CMidiEngineProxy::Instance().GetLastError());
        return true;
    case E::Cascade:
        CascadeFrames(*m_area);
        return true;
    case E::TileHorizontally:
    case E::TileVertically:
        TileFrames(*m_area, id == E::TileHorizontally);
        return true;
    case E::ArrangeIcons:
        // Minimised frames line up along the bottom of the area.
        for (QMdiSubWindow* window : m_area->subWindowList())
            if (window->isMinimized()) window->showMinimized();
        return true;
    case E::RepositionTransport:
        m_transport->Reposition(frameGeometry());
        return true;
    case E::PlayStop:
        PressTransportButton(static_cast<int>(CWndTransport::EButton::Play));
        return true;
    case E::RecordSwitch:
        PressTransportButton(static_cast<int>(CWndTransport::EButton::Rec));
        return true;
    case E::Metronome:
        m_transport->ShowMetronomeDialog();
        return true;
    case E::Devices:
        CDlgMidiDevices(CMidiEngineProxy::Instance(), this).exec();
        RefreshMixers(); // a closed device leaves its ports without one
        return true;
    case E::Ports: {
        CDlgPortSettings dialog(CMidiEngineProxy::Instance(), this);
        connect(&dialog, &CDlgPortSettings::OutputRouted, this, &CMainFrame::RefreshMixers);
        dialog.exec();
        return true;
    }
    case E::Sync:
        CDlgSync(CMidiEngineProxy::Instance(), this).exec();
        return true;
    case E::Recording:
        CDlgRecording(CMidiEngineProxy::Instance(), this).exec();
        return true;
    case E::Synth: {
        // Without an engine the settings wait for the next start.
        CMidiEngine* engine = CMidiEngineProxy::Instance().GetEngine();
        CDlgSynth(m_app.GetProfile(), m_app.GetUser(),
                  engine != nullptr ? &engine->GetBackend() : nullptr, this)
            .exec();
        return true;
    }
    case E::HarmonicScale:
        if (doc != nullptr) SelectHarmonicScale(*doc, this);
        return true;
    case E::OpenProjectWindow:
        if (active != nullptr) active->GetWindows().OpenProjectWindow(true);
        return true;
    case E::OpenTracksWindow:
        if (active != nullptr) active->GetWindows().OpenTracksWindow(true);
        return true;
    case E::OpenMixerWindow:
        if (active != nullptr) active->GetWindows().OpenMixerWindow(true);
        return true;
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------------------------
// Placement, closing, dropped files

void CMainFrame::SavePlacement()
{
    CProfile& profile = m_app.GetProfile();
    const QRect normal = isMaximized() || isMinimized() ? normalGeometry() : geometry();
    profile.SetInt(kPlacementSection, "Flags", 0);
    profile.SetInt(kPlacementSection, "ShowCmd", isMaximized() ? kShowMaximised : 1);
    profile.SetInt(kPlacementSection, "Left", normal.left());
    profile.SetInt(kPlacementSection, "Top", normal.top());
    profile.SetInt(kPlacementSection, "Right", normal.left() + normal.width());
    profile.SetInt(kPlacementSection, "Bottom", normal.top() + normal.height());
}

void CMainFrame::RestorePlacement()
{
    const CProfile& profile = m_app.GetProfile();
    const int left = profile.GetInt(kPlacementSection, "Left", 0);
    const int top = profile.GetInt(kPlacementSection, "Top", 0);
    const int right = profile.GetInt(kPlacementSection, "Right", 0);
    const int bottom = profile.GetInt(kPlacementSection, "Bottom", 0);
    const QRect stored(left, top, right - left, bottom - top);
    if (stored.width() > 0 && stored.height() > 0) {
        setGeometry(stored);
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        // Nothing stored: most of the screen, centred.
        const QRect area = screen->availableGeometry();
        resize(area.size() * 0.8);
        move(area.center() - rect().center());
    }
    // A window that was minimised comes back normally.
    if (profile.GetInt(kPlacementSection, "ShowCmd", 1) == kShowMaximised)
        showMaximized();
    else
        showNormal();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (m_app.HideForSession()) {
        event->ignore();
        return;
    }
    if (!m_app.CloseAllProjects()) {
        event->ignore();
        return;
    }
    SavePlacement();
    StopTimers();
    m_engine.ShutDown();
    // The transport stores its position as it goes.
    delete m_transport;
    m_transport = nullptr;
    event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    event->acceptProposedAction();
    for (const QUrl& url : urls)
        if (url.isLocalFile()) m_app.OpenDocumentFile(url.toLocalFile().toStdString());
}
