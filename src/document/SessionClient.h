#pragma once
// The client side of the NSM session-manager protocol: announcing the program, answering the
// manager's open and save requests, and telling it about unsaved changes and the window. Plain
// logic: messages arrive decoded (the OSC transport lives in session/), actions go to a host that
// the program implements. User-interface thread only.

#include <cstdint>
#include <string>
#include <vector>

// One OSC argument: the type tag says which field holds the value. Types we do not read keep only
// their tag.
struct SOscArg {
    char type = 'N';
    int32_t i = 0;
    float f = 0.0f;
    std::string s;

    static SOscArg Int(int32_t value) { return {'i', value, 0.0f, {}}; }
    static SOscArg Str(std::string value) { return {'s', 0, 0.0f, std::move(value)}; }
    bool operator==(const SOscArg&) const = default;
};

struct SOscMessage {
    std::string path;
    std::vector<SOscArg> args;

    // The type tags of the arguments, like "ssi".
    std::string Types() const;
    bool operator==(const SOscMessage&) const = default;
};

// Where the client's messages go (the session manager's address).
class CSessionTransport {
public:
    virtual ~CSessionTransport() = default;
    virtual void Send(const SOscMessage& message) = 0;
};

// What the program does when the session manager asks. Neither call may ask the user anything.
class CSessionHost {
public:
    virtual ~CSessionHost() = default;
    // Opens the project file at path (it exists) or creates a new project saved there (it does
    // not; its folder may have to be made), replacing the session's project; clientId is the name
    // to use towards JACK. False with the reason in error; the program then keeps what it had.
    virtual bool OpenSessionProject(const std::string& path, bool create,
                                    const std::string& clientId, std::string& error) = 0;
    // Saves the session's project to its path; false with the reason.
    virtual bool SaveSessionProject(std::string& error) = 0;
    virtual void ShowGui(bool show) = 0;
};

// Creates the folder a new project file goes into; false with the reason.
bool MakeProjectFolder(const std::string& path, std::string& error);

// The protocol's error codes that a client answers with.
enum class ESessionError : int32_t {
    General = -1,
    NotNow = -8,
    BadProject = -9,
    CreateFailed = -10,
};

class CSessionClient {
public:
    static constexpr const char* kProjectExtension = ".tnw";
    static constexpr const char* kCapabilities = ":switch:dirty:optional-gui:";

    CSessionClient(CSessionTransport& transport, CSessionHost& host);

    // Sends /nsm/server/announce as the program name with the executable and process id.
    void Announce(const std::string& name, const std::string& executable, int32_t pid);
    // One message from the session manager. Anything malformed is answered with an error when
    // it was a request, and otherwise ignored; it never changes the client's state.
    void Receive(const SOscMessage& message);

    // The project's unsaved-changes flag and the window's visibility; each change is reported
    // once the manager has accepted the announce.
    void SetDirty(bool dirty);
    void SetGuiShown(bool shown);

    bool IsAnnounced() const { return m_announced; }
    // The manager refused the announce; its message is in GetLastError.
    bool IsRefused() const { return m_refused; }
    bool IsOpen() const { return !m_projectPath.empty(); }
    // After the first successful open: the project file, the client id and display name given.
    const std::string& GetProjectPath() const { return m_projectPath; }
    const std::string& GetClientId() const { return m_clientId; }
    const std::string& GetDisplayName() const { return m_displayName; }
    const std::string& GetServerName() const { return m_serverName; }
    const std::string& GetLastError() const { return m_lastError; }
    bool IsSessionLoaded() const { return m_sessionLoaded; }

private:
    void OnOpen(const SOscMessage& message);
    void OnSave(const SOscMessage& message);
    void OnReply(const SOscMessage& message);
    void OnError(const SOscMessage& message);
    void Reply(const std::string& request, const std::string& text);
    void Error(const std::string& request, ESessionError code, const std::string& text);
    void SendState(bool dirtyChanged, bool guiChanged);

    CSessionTransport& m_transport;
    CSessionHost& m_host;
    bool m_announced = false;
    bool m_refused = false;
    bool m_sessionLoaded = false;
    bool m_dirty = false;
    bool m_reportedDirty = false;
    bool m_guiShown = true;
    bool m_reportedGuiShown = true;
    std::string m_projectPath;
    std::string m_clientId;
    std::string m_displayName;
    std::string m_serverName;
    std::string m_lastError;
};
