#include "document/SessionClient.h"

#include <filesystem>
#include <system_error>

namespace {

constexpr const char* kAnnounce = "/nsm/server/announce";
constexpr const char* kOpen = "/nsm/client/open";
constexpr const char* kSave = "/nsm/client/save";
constexpr int32_t kApiMajor = 1;
constexpr int32_t kApiMinor = 2;

} // namespace

bool MakeProjectFolder(const std::string& path, std::string& error)
{
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (parent.empty()) return true;
    std::error_code code;
    std::filesystem::create_directories(parent, code);
    if (!code) return true;
    error = "Cannot create the folder " + parent.string() + ": " + code.message();
    return false;
}

std::string SOscMessage::Types() const
{
    std::string types;
    for (const SOscArg& arg : args)
        types += arg.type;
    return types;
}

CSessionClient::CSessionClient(CSessionTransport& transport, CSessionHost& host)
    : m_transport(transport), m_host(host)
{}

void CSessionClient::Announce(const std::string& name, const std::string& executable, int32_t pid)
{
    m_transport.Send({kAnnounce,
                      {SOscArg::Str(name), SOscArg::Str(kCapabilities), SOscArg::Str(executable),
                       SOscArg::Int(kApiMajor), SOscArg::Int(kApiMinor), SOscArg::Int(pid)}});
}

void CSessionClient::Receive(const SOscMessage& message)
{
    if (message.path == kOpen) {
        OnOpen(message);
    } else if (message.path == kSave) {
        OnSave(message);
    } else if (message.path == "/reply") {
        OnReply(message);
    } else if (message.path == "/error") {
        OnError(message);
    } else if (message.path == "/nsm/client/show_optional_gui" ||
               message.path == "/nsm/client/hide_optional_gui") {
        const bool show = message.path == "/nsm/client/show_optional_gui";
        m_host.ShowGui(show);
        SetGuiShown(show);
    } else if (message.path == "/nsm/client/session_is_loaded") {
        m_sessionLoaded = true;
    }
    // Anything else is for another kind of client (or a newer protocol) and is left alone.
}

void CSessionClient::OnOpen(const SOscMessage& message)
{
    if (message.Types() != "sss" || message.args[0].s.empty()) {
        Error(kOpen, ESessionError::General, "Expected a path, a display name and a client id.");
        return;
    }
    const std::string path = message.args[0].s + kProjectExtension;
    // The same open again (a repeated message) keeps the project and its unsaved changes.
    if (path == m_projectPath) {
        Reply(kOpen, "Already open.");
        return;
    }
    std::error_code code;
    const bool create = !std::filesystem::exists(path, code);
    std::string error;
    if (!m_host.OpenSessionProject(path, create, message.args[2].s, error)) {
        Error(kOpen, create ? ESessionError::CreateFailed : ESessionError::BadProject, error);
        return;
    }
    m_projectPath = path;
    m_displayName = message.args[1].s;
    m_clientId = message.args[2].s;
    // The manager counts a project it just opened as clean.
    m_dirty = m_reportedDirty = false;
    Reply(kOpen, create ? "Created." : "Opened.");
}

void CSessionClient::OnSave(const SOscMessage& message)
{
    if (!message.args.empty()) {
        Error(kSave, ESessionError::General, "Save takes no arguments.");
        return;
    }
    if (!IsOpen()) {
        Error(kSave, ESessionError::NotNow, "No session project is open yet.");
        return;
    }
    std::string error;
    if (!m_host.SaveSessionProject(error)) {
        Error(kSave, ESessionError::General, error);
        return;
    }
    Reply(kSave, "Saved.");
}

void CSessionClient::OnReply(const SOscMessage& message)
{
    if (message.args.empty() || message.args[0].type != 's' || message.args[0].s != kAnnounce)
        return;
    m_announced = true;
    m_refused = false;
    if (message.args.size() >= 3 && message.args[2].type == 's') m_serverName = message.args[2].s;
    SendState(m_dirty, true);
}

void CSessionClient::OnError(const SOscMessage& message)
{
    if (message.Types().rfind("sis", 0) != 0 || message.args[0].s != kAnnounce) return;
    m_refused = true;
    m_lastError = message.args[2].s;
}

void CSessionClient::SetDirty(bool dirty)
{
    m_dirty = dirty;
    SendState(m_dirty != m_reportedDirty, false);
}

void CSessionClient::SetGuiShown(bool shown)
{
    m_guiShown = shown;
    SendState(false, m_guiShown != m_reportedGuiShown);
}

void CSessionClient::SendState(bool dirtyChanged, bool guiChanged)
{
    if (!m_announced) return;
    if (dirtyChanged) {
        m_transport.Send({m_dirty ? "/nsm/client/is_dirty" : "/nsm/client/is_clean", {}});
        m_reportedDirty = m_dirty;
    }
    if (guiChanged) {
        m_transport.Send(
            {m_guiShown ? "/nsm/client/gui_is_shown" : "/nsm/client/gui_is_hidden", {}});
        m_reportedGuiShown = m_guiShown;
    }
}

void CSessionClient::Reply(const std::string& request, const std::string& text)
{
    m_transport.Send({"/reply", {SOscArg::Str(request), SOscArg::Str(text)}});
}

void CSessionClient::Error(const std::string& request, ESessionError code, const std::string& text)
{
    m_transport.Send(
        {"/error",
         {SOscArg::Str(request), SOscArg::Int(static_cast<int32_t>(code)), SOscArg::Str(text)}});
}
