#include "shell/SequencerApp.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>

#include <cstdlib>
#include <ctime>
#include <iostream>

#include "devices/BackendChoice.h"
#include "devices/LibraryMessages.h"
#include "document/EnginePlayerLink.h"
#include "document/ProjectManager.h"
#include "editing/ModifierCommands.h"
#include "engine/MidiEngineProxy.h"
#include "model/ObjectColours.h"
#include "model/Profile.h"
#include "settings/SettingsProfile.h"
#include "shell/ChildFrames.h"
#include "shell/HelpViewer.h"
#include "shell/MainFrame.h"
#include "shell/SessionGlue.h"

CSequencerApp::CSequencerApp(CAppEnvironment environment)
    : m_environment(std::move(environment)), m_profile(m_environment.profile),
      m_user(m_environment.user)
{
    if (m_profile == nullptr) {
        m_ownProfile = std::make_unique<CSettingsProfile>();
        m_profile = m_ownProfile.get();
    }
    if (m_user == nullptr) {
        m_ownUser = std::make_unique<CQtUserServices>();
        m_user = m_ownUser.get();
    }
}

CSequencerApp::~CSequencerApp()
{
    // The frame may go after the projects; it must not be asked to drain for them any more.
    if (m_player) m_player->SetAfterStop(nullptr);
    // The session's link looks at projects and the frame: it goes before them.
    m_session.reset();
    // Projects first: their windows live in the main frame's area.
    m_projects.reset();
    delete m_help.data();
    m_mainFrame.reset();
}

bool CSequencerApp::ParseCommandLine(const QStringList& arguments, std::string& midiBackend,
                                     QStringList& files)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A MIDI sequencer built around phrases."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows these options and ends."));
    const QCommandLineOption midi(QStringLiteral("midi"),
                                  QStringLiteral("The MIDI system to use: %1 (default: JACK when "
                                                 "a server runs, else ALSA, else virtual).")
                                      .arg(QString::fromLatin1(kMidiBackendNames)),
                                  QStringLiteral("system"));
    const QCommandLineOption verbose(
        QStringLiteral("verbose"),
        QStringLiteral("Also prints what the audio and MIDI libraries (ALSA, JACK, FluidSynth) "
                       "report, on standard error."));
    parser.addOption(help);
    parser.addOption(midi);
    parser.addOption(verbose);
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("Project or MIDI file"),
                                 QStringLiteral("[file]"));
    std::ostream& errors = m_environment.console ? *m_environment.console : std::cerr;
    std::string mistake;
    EMidiBackendKind kind{};
    if (!parser.parse(arguments)) {
        mistake = parser.errorText().toStdString();
    } else if (parser.isSet(midi) &&
               !ParseMidiBackendName(parser.value(midi).toStdString(), kind)) {
        mistake = "Unknown MIDI system '" + parser.value(midi).toStdString() +
                  "' for --midi (use " + kMidiBackendNames + ").";
    }
    if (!mistake.empty()) {
        errors << "tonalweaver: " << mistake << "\nTry 'tonalweaver --help' for the options.\n";
        m_exitStatus = 2;
        return false;
    }
    if (parser.isSet(help)) {
        std::ostream& out = m_environment.console ? *m_environment.console : std::cout;
        out << parser.helpText().toStdString();
        m_exitStatus = 0;
        return false;
    }
    midiBackend = parser.value(midi).toStdString();
    files = parser.positionalArguments();
    if (parser.isSet(verbose)) SetLibraryMessagesVerbose(true);
    return true;
}

bool CSequencerApp::InitInstance(const QStringList& arguments)
{
    std::string midiBackend;
    QStringList files;
    if (!ParseCommandLine(arguments, midiBackend, files)) return false;
    m_session = CSessionGlue::Join(*this, *m_user,
                                   m_environment.console ? *m_environment.console : std::cerr);
    if (m_session) m_user = &m_session->GetUser();

    std::srand(static_cast<unsigned>(std::time(nullptr)));
    // The object palette picks its random start now, before any object takes a colour.
    TheObjectColours();

    m_player = std::make_unique<CEnginePlayerLink>(CMidiEngineProxy::Instance());
    m_projects = std::make_unique<CProjectManager>(
        *m_user, *m_profile, m_player.get(), [this](CProjectDoc& doc) {
            auto windows = std::make_unique<CShellProjectWindows>(doc, m_mainFrame->GetMdiArea(),
                                                                  m_objectStore);
            windows->SetUser(m_user);
            windows->SetAsker(
                [this](ERememberedQuestion question) { return m_projects->Ask(question); });
            windows->SetEditorSettings(m_editorSettings.get());
            return windows;
        });
    m_projects->LoadOptions();
    m_editorSettings = std::make_unique<CModifierSettings>(m_projects->GetOptions(), *m_profile);
    // The manager names the JACK client in its first open, so it comes before the engine.
    if (m_session) m_session->AwaitFirstOpen();

    m_mainFrame = std::make_unique<CMainFrame>(*this, m_environment.backend, midiBackend,
                                               m_environment.startMusicThread);
    if (m_ownUser) m_ownUser->SetParent(m_mainFrame.get());
    if (!m_mainFrame->Create()) {
        m_mainFrame.reset();
        m_exitStatus = 1;
        return false;
    }
    m_mainFrame->RestorePlacement();

    if (m_session)
        m_session->Start();
    else
        m_projects->OpenAtStartup(files.isEmpty() ? std::string() : files.front().toStdString());
    m_mainFrame->UpdateActions();
    return true;
}

int CSequencerApp::ExitInstance()
{
    if (m_projects) m_projects->SaveOptions();
    return 0;
}

bool CSequencerApp::HideForSession()
{
    if (m_session == nullptr || !m_session->IsDriving()) return false;
    m_session->ShowGui(false);
    return true;
}

CProjectDoc* CSequencerApp::OpenDocumentFile(const std::string& path)
{
    return m_projects->OpenProject(path);
}

bool CSequencerApp::CloseProject(CProjectDoc& doc)
{
    if (m_projects->IsRecordingInto(doc)) return false;
    auto* question = dynamic_cast<CSaveQuestion*>(m_user);
    if (doc.IsModified() && question != nullptr) {
        switch (question->AskSaveChanges(doc.GetDisplayTitle())) {
        case ESaveAnswer::Cancel:
            return false;
        case ESaveAnswer::Save:
            if (!m_projects->Save(doc)) return false;
            break;
        case ESaveAnswer::Discard:
            break;
        }
    }
    return m_projects->CloseProject(doc);
}

bool CSequencerApp::CloseAllProjects()
{
    CProjectDoc* active = m_projects->GetActiveProject();
    // Nothing closes while the active project is being recorded into.
    if (active != nullptr && m_projects->IsRecordingInto(*active)) return false;
    std::vector<CProjectDoc*> order;
    for (int32_t i = 0; i < m_projects->GetProjectCount(); ++i)
        if (&m_projects->GetProjectAt(i) != active) order.push_back(&m_projects->GetProjectAt(i));
    if (active != nullptr) order.push_back(active);
    for (CProjectDoc* doc : order)
        if (!CloseProject(*doc)) return false;
    return true;
}

CHelpViewer& CSequencerApp::GetHelp()
{
    if (m_help.isNull()) m_help = new CHelpViewer(m_mainFrame.get());
    return *m_help;
}

QString CSequencerApp::RecentFileText(int index) const
{
    QString path = QString::fromStdString(m_projects->GetRecentFiles().GetAt(index));
    path.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(index + 1).arg(path);
}

bool CSequencerApp::OnUpdateCommand(ECommand id, CCommandUi& ui)
{
    if (id >= ECommand::RecentFile1 && id <= ECommand::RecentFile4) {
        const int index = static_cast<int>(id) - static_cast<int>(ECommand::RecentFile1);
        const bool present = index < m_projects->GetRecentFiles().GetCount();
        // The first entry stays visible (disabled) so the menu shows where recent files go.
        ui.hidden = !present && index > 0;
        ui.enabled = present;
        ui.text = present ? RecentFileText(index) : QStringLiteral("Recent File");
        return true;
    }
    switch (id) {
    case ECommand::Help:
    case ECommand::ContextHelp:
    case ECommand::HelpContents:
    case ECommand::HelpIndex:
    case ECommand::HelpSearch:
    case ECommand::HelpSupport:
    case ECommand::About:
        ui.enabled = true;
        return true;
    default:
        return false;
    }
}

bool CSequencerApp::OnCommand(ECommand id)
{
    if (id >= ECommand::RecentFile1 && id <= ECommand::RecentFile4) {
        m_projects->OpenRecentFile(static_cast<int>(id) - static_cast<int>(ECommand::RecentFile1));
        return true;
    }
    switch (id) {
    case ECommand::Help:
    case ECommand::ContextHelp: {
        const CShellView* view = m_mainFrame->GetActiveView();
        const int context = view == nullptr          ? kHelpTopicMainWindow
                            : view->GetHelpContext() ? view->GetHelpContext()
                                                     : kHelpTopicView;
        GetHelp().ShowTopic(context);
        return true;
    }
    case ECommand::HelpContents:
        GetHelp().ShowContents();
        return true;
    case ECommand::HelpIndex:
        GetHelp().ShowIndex();
        return true;
    case ECommand::HelpSearch:
        GetHelp().ShowSearch();
        return true;
    case ECommand::HelpSupport:
        GetHelp().ShowTopic(kHelpTopicSupport);
        return true;
    case ECommand::About:
        ShowAbout();
        return true;
    default:
        return false;
    }
}

void CSequencerApp::ShowAbout()
{
    QMessageBox about(m_mainFrame.get());
    about.setWindowTitle(QStringLiteral("About Tonalweaver"));
    about.setIconPixmap(ApplicationIcon().pixmap(64));
    about.setText(QStringLiteral("<h3>Tonalweaver %1</h3><p>A MIDI sequencer built around "
                                 "reusable phrases.</p>")
                      .arg(QStringLiteral(TW_VERSION)));
    about.setInformativeText(QStringLiteral(
        "This program is free software: you can redistribute it and/or modify it under the terms "
        "of the GNU General Public License as published by the Free Software Foundation, either "
        "version 3 of the License, or (at your option) any later version.<br><br>"
        "It is distributed in the hope that it will be useful, but WITHOUT ANY WARRANTY; without "
        "even the implied warranty of MERCHANTABILITY or FITNESS FOR A PARTICULAR PURPOSE."));
    about.exec();
}
