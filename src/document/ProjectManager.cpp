#include "document/ProjectManager.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "document/PlayerLink.h"
#include "document/ProjectWindows.h"
#include "document/UserServices.h"
#include "model/Errors.h"
#include "model/Profile.h"

namespace {

constexpr const char* kRevertQuestion = "Do you want to revert to saved project?";
constexpr const char* kOpenDefaultExt = "*.tnw";
constexpr const char* kOpenFilter =
    "Song Project (*.tnw)|*.tnw|Standard MIDI Files (*.mid)|*.mid||";
constexpr const char* kSaveDefaultExt = "*.tnw";
constexpr const char* kSaveFilter = "Song Project (*.tnw)|*.tnw||";
constexpr const char* kProjectExtension = ".tnw";

// Loading makes the file's folder current, so a relative path would stop naming the file.
std::string AbsolutePath(const std::string& path)
{
    if (path.empty()) return path;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

} // namespace

CProjectManager::CProjectManager(CUserServices& user, CProfile& profile, CPlayerLink* player,
                                 WindowsFactory windowsFactory, Loader loader)
    : m_user(user), m_profile(profile), m_player(player),
      m_windowsFactory(std::move(windowsFactory)), m_loader(std::move(loader))
{}

CProjectManager::~CProjectManager()
{
    Deactivate();
    for (auto& doc : m_projects)
        doc->GetWindows().CloseAll();
}

CProjectDoc& CProjectManager::GetProjectAt(int32_t index) const
{
    CheckIndex(index, GetProjectCount());
    return *m_projects[index];
}

int32_t CProjectManager::IndexOf(const CProjectDoc* doc) const
{
    const auto it = std::find_if(m_projects.begin(), m_projects.end(),
                                 [doc](const auto& p) { return p.get() == doc; });
    return it == m_projects.end() ? -1 : static_cast<int32_t>(it - m_projects.begin());
}

// ---------------------------------------------------------------------------------------------
// Opening and closing

std::unique_ptr<CProjectDoc> CProjectManager::CreateProject()
{
    auto doc = std::make_unique<CProjectDoc>();
    if (m_windowsFactory) doc->SetWindows(m_windowsFactory(*doc));
    return doc;
}

std::unique_ptr<CProjectDoc> CProjectManager::LoadProject(const std::string& path)
{
    // The project gets its windows only once it has loaded, so a failed load shows nothing.
    auto doc = std::make_unique<CProjectDoc>();
    try {
        const bool loaded = m_loader ? m_loader(*doc, path) : doc->Load(path, &m_user);
        if (!loaded) return nullptr;
    } catch (const CTwError& error) {
        if (*error.what() != '\0') m_user.ShowMessage(error.what());
        return nullptr;
    }
    if (!m_windowsFactory) return doc;
    // The file's window records went into the loading registry; the real windows re-create them.
    const std::vector<CWindowState> saved = doc->GetWindows().SavedWindows();
    doc->SetWindows(m_windowsFactory(*doc));
    for (const CWindowState& state : saved)
        doc->GetWindows().OpenSavedWindow(state);
    return doc;
}

CProjectDoc& CProjectManager::AddProject(std::unique_ptr<CProjectDoc> doc)
{
    CProjectDoc& added = *doc;
    m_projects.push_back(std::move(doc));
    // A playing project is not interrupted by a project that merely arrives.
    if (m_active == nullptr || !IsPlayerRunning()) Activate(added);
    return added;
}

CProjectDoc* CProjectManager::FindByPath(const std::string& path) const
{
    if (path.empty()) return nullptr;
    for (const auto& doc : m_projects)
        if (doc->GetPath() == path) return doc.get();
    return nullptr;
}

CProjectDoc& CProjectManager::NewProject()
{
    std::unique_ptr<CProjectDoc> doc = CreateProject();
    doc->GetWindows().OpenProjectWindow(true);
    return AddProject(std::move(doc));
}

CProjectDoc* CProjectManager::OpenProject(const std::string& requestedPath)
{
    const std::string path = AbsolutePath(requestedPath);
    if (CProjectDoc* open = FindByPath(path)) {
        CProjectDoc* reverted = Revert(*open);
        return reverted != nullptr ? reverted : open;
    }
    std::unique_ptr<CProjectDoc> doc = LoadProject(path);
    if (!doc) return nullptr;
    doc->GetWindows().OpenProjectWindow(false);
    // A MIDI file opens as a new project without a path, and so stays out of the list.
    m_recentFiles.Add(doc->GetPath());
    return &AddProject(std::move(doc));
}

CProjectDoc* CProjectManager::OpenWithDialog()
{
    const std::string path = m_user.ChooseFileToOpen(kOpenDefaultExt, kOpenFilter);
    if (path.empty()) return nullptr;
    return OpenProject(path);
}

bool CProjectManager::Save(CProjectDoc& doc)
{
    return doc.GetPath().empty() ? SaveAs(doc) : SaveTo(doc, doc.GetPath());
}

bool CProjectManager::SaveAs(CProjectDoc& doc)
{
    const std::string suggested =
        doc.GetPath().empty() ? doc.GetDisplayTitle() + kProjectExtension : doc.GetPath();
    std::string path = m_user.ChooseFileToSave(kSaveDefaultExt, kSaveFilter, suggested);
    if (path.empty()) return false;
    if (std::filesystem::path(path).extension().empty()) path += kProjectExtension;
    return SaveTo(doc, AbsolutePath(path));
}

bool CProjectManager::SaveTo(CProjectDoc& doc, const std::string& path)
{
    try {
        doc.Save(path);
    } catch (const CTwError& error) {
        if (*error.what() != '\0') m_user.ShowMessage(error.what());
        return false;
    }
    m_recentFiles.Add(path);
    return true;
}

bool CProjectManager::SaveAll()
{
    bool all = true;
    for (const auto& doc : m_projects)
        all = Save(*doc) && all;
    return all;
}

CProjectDoc* CProjectManager::OpenRecentFile(int32_t index)
{
    const std::string path = m_recentFiles.GetAt(index);
    if (path.empty()) return nullptr;
    CProjectDoc* doc = OpenProject(path);
    if (doc == nullptr) m_recentFiles.Remove(path);
    return doc;
}

CProjectDoc& CProjectManager::OpenAtStartup(const std::string& commandLinePath)
{
    CProjectDoc* doc = commandLinePath.empty() ? OpenRecentFile(0) : OpenProject(commandLinePath);
    return doc != nullptr ? *doc : NewProject();
}

CProjectDoc* CProjectManager::Revert(CProjectDoc& doc)
{
    const int32_t index = IndexOf(&doc);
    if (index < 0) throw CInvalidArgument();
    if (doc.GetPath().empty() || !m_user.AskYesNo(kRevertQuestion)) return nullptr;
    const bool wasActive = m_active == &doc;
    if (wasActive && m_player != nullptr) m_player->Stop();
    // Read into a new project first, so a file that no longer loads leaves the open one intact.
    std::unique_ptr<CProjectDoc> fresh = LoadProject(doc.GetPath());
    if (!fresh) return nullptr;
    doc.GetWindows().CloseAll();
    if (wasActive) Deactivate();
    std::unique_ptr<CProjectDoc> old = std::move(m_projects[index]);
    m_projects[index] = std::move(fresh);
    CProjectDoc& reverted = *m_projects[index];
    reverted.GetWindows().OpenProjectWindow(true);
    if (wasActive) Activate(reverted);
    old->DeleteContents();
    return &reverted;
}

bool CProjectManager::CloseProject(CProjectDoc& doc)
{
    const int32_t index = IndexOf(&doc);
    if (index < 0) throw CInvalidArgument();
    if (IsRecordingInto(doc)) return false;
    const bool wasActive = m_active == &doc;
    if (wasActive) Deactivate();
    std::unique_ptr<CProjectDoc> closed = std::move(m_projects[index]);
    m_projects.erase(m_projects.begin() + index);
    if (wasActive && !m_projects.empty()) Activate(*m_projects.front());
    closed->GetWindows().CloseAll();
    closed->DeleteContents();
    return true;
}

// ---------------------------------------------------------------------------------------------
// Activation

void CProjectManager::Deactivate()
{
    if (m_active == nullptr) return;
    CProjectDoc& old = *m_active;
    if (m_player != nullptr) {
        m_player->Stop();
        m_player->ClearProject(old);
    }
    old.AttachPlayer(nullptr);
    old.GetWindows().ActiveChanged(false);
    m_active = nullptr;
}

void CProjectManager::Activate(CProjectDoc& doc)
{
    if (IndexOf(&doc) < 0) throw CInvalidArgument();
    if (m_active != &doc) {
        Deactivate();
        if (m_player != nullptr) {
            m_player->LoadProject(doc);
            doc.AttachPlayer(m_player);
        }
        m_active = &doc;
        doc.GetWindows().ActiveChanged(true);
    }
    // Shown, not brought forward: a project opened with its saved windows keeps their order.
    doc.GetWindows().OpenProjectWindow(false);
}

bool CProjectManager::IsPlayerRunning() const
{
    return m_player != nullptr && m_player->IsRunning();
}

bool CProjectManager::IsRecordingInto(const CProjectDoc& doc) const
{
    return m_active == &doc && IsPlayerRunning() && m_player->IsRecording();
}

// ---------------------------------------------------------------------------------------------
// Options

void CProjectManager::LoadOptions()
{
    m_options.Load(m_profile);
    m_recentFiles.Load(m_profile);
    if (m_options.m_currentDir.empty()) return;
    // A folder that has gone since is simply not restored.
    std::error_code error;
    std::filesystem::current_path(m_options.m_currentDir, error);
}

void CProjectManager::SaveOptions()
{
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    if (!error) m_options.m_currentDir = current.string();
    m_options.Save(m_profile);
    m_recentFiles.Save(m_profile);
}

bool CProjectManager::Ask(ERememberedQuestion question)
{
    return m_options.Ask(question, m_user);
}
