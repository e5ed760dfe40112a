#pragma once
// The open projects, in opening order, and the one the player plays (the active project); the
// options and the recent-file list. One instance, owned by the application. User-interface thread
// only.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/AppOptions.h"
#include "document/ProjectDoc.h"
#include "document/RecentFileList.h"

class CPlayerLink;
class CProfile;
class CProjectWindows;
class CUserServices;

class CProjectManager {
public:
    // Makes the window registry of a new project (owned by the project).
    using WindowsFactory = std::function<std::unique_ptr<CProjectWindows>(CProjectDoc&)>;
    // Reads a path into an empty project: false when it does not open (no message), throws a
    // CTwError for a file that cannot be read. Empty: CProjectDoc::Load, asking the user.
    using Loader = std::function<bool(CProjectDoc&, const std::string&)>;

    // The seams are borrowed and must outlive the manager. player may be null (nothing plays);
    // an empty windows factory gives headless projects.
    CProjectManager(CUserServices& user, CProfile& profile, CPlayerLink* player,
                    WindowsFactory windowsFactory = {}, Loader loader = {});
    // Releases the active project from the player, then closes every project.
    ~CProjectManager();

    CProjectManager(const CProjectManager&) = delete;
    CProjectManager& operator=(const CProjectManager&) = delete;

    // --- Open projects ---
    int32_t GetProjectCount() const { return static_cast<int32_t>(m_projects.size()); }
    // Borrowed; throws CInvalidArgument when index is out of range.
    CProjectDoc& GetProjectAt(int32_t index) const;
    // Position in opening order, -1 when not open here.
    int32_t IndexOf(const CProjectDoc* doc) const;
    // The project the player plays, or null (borrowed).
    CProjectDoc* GetActiveProject() const { return m_active; }

    // A new project with its project window, added and (unless another one is playing) activated.
    CProjectDoc& NewProject();
    // Opens a path (a relative one is taken from the current directory and kept absolute). When
    // a project with exactly this path is open it is offered for revert instead, and that project
    // is returned. Null when the path does not open (a file error has then been shown).
    CProjectDoc* OpenProject(const std::string& path);
    // Asks for a project or MIDI file and opens it; null when cancelled or failed.
    CProjectDoc* OpenWithDialog();
    // Opens an entry of the recent-file list; an entry that fails is removed.
    CProjectDoc* OpenRecentFile(int32_t index);
    // Start-up: the path from the command line, else the most recent file, else a new project.
    CProjectDoc& OpenAtStartup(const std::string& commandLinePath);
    // Asks "Do you want to revert to saved project?" and on Yes reloads the project from its
    // path, replacing it in place. The project passed in is destroyed on success; the returned
    // one replaces it. Null (and the project untouched) on No, without a path, or when the file
    // does not load.
    CProjectDoc* Revert(CProjectDoc& doc);
    // Makes doc the project the player plays; the previous one is stopped and released.
    void Activate(CProjectDoc& doc);
    // Stops and releases the active project from the player (before the engine is replaced);
    // no project is active afterwards.
    void Deactivate();
    // Closes and destroys a project; false (nothing happens) while the player records into it.
    // Closing the active project activates the first remaining one.
    bool CloseProject(CProjectDoc& doc);

    // --- Saving ---
    // "&Save": writes the project file to the project's path, or asks for one like SaveAs when
    // the project has none (new, or opened from a MIDI file). False when cancelled or failed (a
    // failure has been shown); the file on disk is then as it was.
    bool Save(CProjectDoc& doc);
    // "Save &As...": asks for a path (".tnw" added when it has no extension) and saves there.
    bool SaveAs(CProjectDoc& doc);
    // "Save A&ll": saves every open project in opening order; false when any was not saved.
    bool SaveAll();

    // --- Player state ---
    // The player runs (plays or records).
    bool IsPlayerRunning() const;
    // The player records into this project.
    bool IsRecordingInto(const CProjectDoc& doc) const;

    // --- Options and recent files ---
    CAppOptions& GetOptions() { return m_options; }
    const CRecentFileList& GetRecentFiles() const { return m_recentFiles; }
    // Reads the options and recent files, and changes to the stored current directory.
    void LoadOptions();
    // Writes the options (with the current directory) and the recent files.
    void SaveOptions();
    // Answers a remembered question as the options say (see CAppOptions::Ask).
    bool Ask(ERememberedQuestion question);

private:
    std::unique_ptr<CProjectDoc> CreateProject();
    // Loads into a fresh project; null when it does not open. File errors are shown here.
    std::unique_ptr<CProjectDoc> LoadProject(const std::string& path);
    CProjectDoc& AddProject(std::unique_ptr<CProjectDoc> doc);
    // Saves to path (stored in the project on success); a failure is shown, false returned.
    bool SaveTo(CProjectDoc& doc, const std::string& path);
    CProjectDoc* FindByPath(const std::string& path) const;

    CUserServices& m_user;
    CProfile& m_profile;
    CPlayerLink* m_player;
    WindowsFactory m_windowsFactory;
    Loader m_loader;
    CAppOptions m_options;
    CRecentFileList m_recentFiles;
    std::vector<std::unique_ptr<CProjectDoc>> m_projects;
    CProjectDoc* m_active = nullptr;
};
