#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "document/ProjectManager.h"
#include "fakes/RecordingPlayerLink.h"
#include "fakes/RecordingWindows.h"
#include "fakes/ScriptedUserServices.h"
#include "model/Errors.h"
#include "model/Profile.h"
#include "model/Track.h"

namespace {

// How the fake loader treats a path. ProjectWithWindows also reads two window records.
enum class EFile { Project, ProjectWithWindows, MidiFile, Unknown, Broken };

const CWindowState kSavedTracks{EWindowKind::Tracks, 0, {1, 1, 10, 20, 300, 400}, {7, 7}};
const CWindowState kSavedBank{EWindowKind::PhraseBank, 0, {}, {1, 2, 3}};

// A manager over recording seams. Files are scripted: a project file loads one track named
// after the number of times it has been loaded, so a reload is visible.
struct CManagerFixture {
    CScriptedUserServices user;
    CMemoryProfile profile;
    CRecordingPlayerLink player;
    // Window calls of every project, each prefixed with the project's display title at creation.
    std::map<const CProjectDoc*, std::vector<std::string>> windowLogs;
    std::map<std::string, EFile> files;
    std::map<std::string, int> loads;

    CProjectManager manager{
        user, profile, &player,
        [this](CProjectDoc& doc) { return std::make_unique<CRecordingWindows>(windowLogs[&doc]); },
        [this](CProjectDoc& doc, const std::string& path) { return Load(doc, path); }};

    bool Load(CProjectDoc& doc, const std::string& path)
    {
        const auto it = files.find(path);
        const EFile kind = it == files.end() ? EFile::Broken : it->second;
        switch (kind) {
        case EFile::Unknown:
            return false;
        case EFile::Broken:
            throw CFileError("Cannot read " + path);
        case EFile::MidiFile:
            doc.GetInfo().m_title = path + " [MidiFile]";
            break;
        case EFile::ProjectWithWindows:
            doc.GetWindows().OpenSavedWindow(kSavedTracks);
            doc.GetWindows().OpenSavedWindow(kSavedBank);
            [[fallthrough]];
        case EFile::Project:
            doc.SetPath(path);
            break;
        }
        auto track = std::make_unique<CTrack>();
        track->SetName("load " + std::to_string(++loads[path]));
        doc.GetTracks().InsertAt(-1, std::move(track));
        return true;
    }

    std::vector<std::string>& WindowLog(const CProjectDoc& doc) { return windowLogs[&doc]; }
    static std::string TrackName(const CProjectDoc& doc)
    {
        return doc.GetTracks().GetAt(0)->GetName();
    }
};

} // namespace

TEST(ProjectManagerTest, ActivationHandsProjectToPlayerAndReleasesThePrevious)
{
    CManagerFixture f;
    f.files["/s/a.tnw"] = EFile::Project;
    CProjectDoc& fresh = f.manager.NewProject();
    EXPECT_EQ(f.manager.GetActiveProject(), &fresh);
    EXPECT_TRUE(fresh.IsActive());

    CProjectDoc* opened = f.manager.OpenProject("/s/a.tnw");
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(f.manager.GetActiveProject(), opened);
    EXPECT_FALSE(fresh.IsActive());
    EXPECT_TRUE(opened->IsActive());
    EXPECT_GE(opened->GetTracks().GetAt(0)->GetPlayerSlot(), 0);
    EXPECT_EQ(f.player.m_log,
              (std::vector<std::string>{"LoadProject(<New Project>)", "Stop",
                                        "ClearProject(<New Project>)", "LoadProject(a.tnw)"}));
    EXPECT_EQ(CountOf(f.WindowLog(fresh), "ActiveChanged(0)"), 1);
    EXPECT_EQ(CountOf(f.WindowLog(*opened), "ActiveChanged(1)"), 1);
    // Opened projects first show their window without being brought forward.
    EXPECT_EQ(f.WindowLog(*opened).front(), "OpenProjectWindow(0)");

    f.player.m_log.clear();
    f.manager.Activate(*opened);
    EXPECT_TRUE(f.player.m_log.empty()) << "activating the active project again changes nothing";
    f.manager.Activate(fresh);
    EXPECT_EQ(opened->GetTracks().GetAt(0)->GetPlayerSlot(), -1);
    EXPECT_EQ(f.manager.GetActiveProject(), &fresh);
}

TEST(ProjectManagerTest, ProjectArrivingWhilePlayingIsOnlyAdded)
{
    CManagerFixture f;
    f.files["/s/b.tnw"] = EFile::Project;
    CProjectDoc& first = f.manager.NewProject();
    f.player.m_running = true;
    CProjectDoc& second = f.manager.NewProject();
    CProjectDoc* third = f.manager.OpenProject("/s/b.tnw");
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(f.manager.GetActiveProject(), &first);
    EXPECT_TRUE(f.player.m_running);
    EXPECT_EQ(f.manager.GetProjectCount(), 3);
    EXPECT_EQ(f.manager.IndexOf(&second), 1);
    EXPECT_EQ(f.manager.IndexOf(third), 2);
}

TEST(ProjectManagerTest, OpeningAnOpenPathOffersRevertInsteadOfSecondCopy)
{
    CManagerFixture f;
    f.files["/s/a.tnw"] = EFile::Project;
    CProjectDoc* first = f.manager.OpenProject("/s/a.tnw");
    ASSERT_NE(first, nullptr);

    f.user.m_answers = {false};
    EXPECT_EQ(f.manager.OpenProject("/s/a.tnw"), first);
    EXPECT_EQ(f.user.m_questions,
              (std::vector<std::string>{"Do you want to revert to saved project?"}));
    EXPECT_EQ(f.manager.GetProjectCount(), 1);
    EXPECT_EQ(f.loads["/s/a.tnw"], 1);

    // A path differing only in case is another file.
    f.files["/s/A.tnw"] = EFile::Project;
    ASSERT_NE(f.manager.OpenProject("/s/A.tnw"), nullptr);
    EXPECT_EQ(f.manager.GetProjectCount(), 2);
    EXPECT_EQ(f.user.m_questions.size(), 1u);

    // Yes reloads in place: same position in the list, still the active one if it was.
    f.manager.Activate(*first);
    std::vector<std::string>& oldWindows = f.WindowLog(*first);
    f.player.m_log.clear();
    f.user.m_answers = {true};
    CProjectDoc* reverted = f.manager.OpenProject("/s/a.tnw");
    ASSERT_NE(reverted, nullptr);
    EXPECT_EQ(f.manager.GetProjectCount(), 2);
    EXPECT_EQ(f.manager.IndexOf(reverted), 0);
    EXPECT_EQ(CManagerFixture::TrackName(*reverted), "load 2");
    EXPECT_EQ(f.manager.GetActiveProject(), reverted);
    EXPECT_EQ(CountOf(oldWindows, "CloseAll"), 1);
    EXPECT_EQ(f.player.m_log, (std::vector<std::string>{"Stop", "Stop", "ClearProject(a.tnw)",
                                                        "LoadProject(a.tnw)"}));
}

TEST(ProjectManagerTest, OpeningReCreatesTheWindowsTheFileRecords)
{
    CManagerFixture f;
    f.files["/s/w.tnw"] = EFile::ProjectWithWindows;
    CProjectDoc* doc = f.manager.OpenProject("/s/w.tnw");
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetWindows().SavedWindows(),
              (std::vector<CWindowState>{kSavedTracks, kSavedBank}));

    // A revert reads them again into the replacing project.
    f.user.m_answers = {true};
    CProjectDoc* reverted = f.manager.Revert(*doc);
    ASSERT_NE(reverted, nullptr);
    EXPECT_EQ(reverted->GetWindows().SavedWindows(),
              (std::vector<CWindowState>{kSavedTracks, kSavedBank}));
}

TEST(ProjectManagerTest, RelativePathIsKeptAbsolute)
{
    CManagerFixture f;
    const std::string absolute = (std::filesystem::current_path() / "songs/a.tnw").string();
    f.files[absolute] = EFile::Project;
    CProjectDoc* doc = f.manager.OpenProject("songs/a.tnw");
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetPath(), absolute);
    EXPECT_EQ(f.manager.GetRecentFiles().GetAt(0), absolute);

    // The same file named either way is the open project.
    f.user.m_answers = {false, false};
    EXPECT_EQ(f.manager.OpenProject(absolute), doc);
    EXPECT_EQ(f.manager.OpenProject("songs/a.tnw"), doc);
    EXPECT_EQ(f.user.m_questions.size(), 2u);
    EXPECT_EQ(f.manager.GetProjectCount(), 1);
}

TEST(ProjectManagerTest, RevertThatCannotReadTheFileKeepsTheProject)
{
    CManagerFixture f;
    f.files["/s/a.tnw"] = EFile::Project;
    CProjectDoc* doc = f.manager.OpenProject("/s/a.tnw");
    ASSERT_NE(doc, nullptr);
    f.files["/s/a.tnw"] = EFile::Broken;
    f.user.m_answers = {true};
    EXPECT_EQ(f.manager.Revert(*doc), nullptr);
    EXPECT_EQ(f.user.m_messages, (std::vector<std::string>{"Cannot read /s/a.tnw"}));
    EXPECT_EQ(f.manager.GetProjectAt(0).GetPath(), "/s/a.tnw");
    EXPECT_EQ(CManagerFixture::TrackName(*doc), "load 1");
    EXPECT_EQ(f.manager.GetActiveProject(), doc);
    EXPECT_TRUE(doc->IsActive());

    // A new project has nothing to revert to and is not asked about.
    CProjectDoc& fresh = f.manager.NewProject();
    EXPECT_EQ(f.manager.Revert(fresh), nullptr);
    EXPECT_EQ(f.user.m_questions.size(), 1u);
}

TEST(ProjectManagerTest, FailedOpenLeavesNothingBehind)
{
    CManagerFixture f;
    f.files["/s/notes.txt"] = EFile::Unknown;
    CProjectDoc& fresh = f.manager.NewProject();
    f.player.m_log.clear();

    EXPECT_EQ(f.manager.OpenProject("/s/notes.txt"), nullptr);
    EXPECT_TRUE(f.user.m_messages.empty()) << "an unknown extension fails silently";
    EXPECT_EQ(f.manager.OpenProject("/s/broken.tnw"), nullptr);
    EXPECT_EQ(f.user.m_messages, (std::vector<std::string>{"Cannot read /s/broken.tnw"}));

    EXPECT_EQ(f.manager.GetProjectCount(), 1);
    EXPECT_EQ(f.manager.GetActiveProject(), &fresh);
    EXPECT_TRUE(f.player.m_log.empty());
    EXPECT_EQ(f.manager.GetRecentFiles().GetCount(), 0);
    EXPECT_EQ(f.manager.OpenProject(""), nullptr);
}

TEST(ProjectManagerTest, CloseIsRefusedWhileRecordingIntoTheProject)
{
    CManagerFixture f;
    CProjectDoc& first = f.manager.NewProject();
    CProjectDoc& second = f.manager.NewProject();
    f.player.m_running = true;
    f.player.m_recording = true;

    EXPECT_FALSE(f.manager.CloseProject(second));
    EXPECT_EQ(f.manager.GetProjectCount(), 2);
    EXPECT_TRUE(f.player.m_recording);
    EXPECT_TRUE(f.manager.CloseProject(first)) << "an inactive project can always be closed";
    EXPECT_EQ(f.manager.GetProjectCount(), 1);

    // Only playing: the player is stopped and the project closed.
    f.player.m_recording = false;
    f.player.m_log.clear();
    EXPECT_TRUE(f.manager.CloseProject(second));
    EXPECT_EQ(f.manager.GetProjectCount(), 0);
    EXPECT_EQ(f.manager.GetActiveProject(), nullptr);
    EXPECT_FALSE(f.player.m_running);
    EXPECT_EQ(f.player.m_log, (std::vector<std::string>{"Stop", "ClearProject(<New Project>)"}));
}

TEST(ProjectManagerTest, ClosingTheActiveProjectActivatesTheFirstOpened)
{
    CManagerFixture f;
    f.files["/s/a.tnw"] = EFile::Project;
    f.files["/s/b.tnw"] = EFile::Project;
    f.files["/s/c.tnw"] = EFile::Project;
    CProjectDoc* a = f.manager.OpenProject("/s/a.tnw");
    CProjectDoc* b = f.manager.OpenProject("/s/b.tnw");
    CProjectDoc* c = f.manager.OpenProject("/s/c.tnw");
    ASSERT_TRUE(a != nullptr && b != nullptr && c != nullptr);
    std::vector<std::string>& closedWindows = f.WindowLog(*c);

    f.player.m_log.clear();
    EXPECT_TRUE(f.manager.CloseProject(*c));
    EXPECT_EQ(f.manager.GetActiveProject(), a);
    EXPECT_EQ(f.player.m_log,
              (std::vector<std::string>{"Stop", "ClearProject(c.tnw)", "LoadProject(a.tnw)"}));
    EXPECT_EQ(closedWindows.back(), "CloseAll");

    // Closing an inactive project leaves the active one alone.
    f.player.m_log.clear();
    EXPECT_TRUE(f.manager.CloseProject(*b));
    EXPECT_EQ(f.manager.GetActiveProject(), a);
    EXPECT_TRUE(f.player.m_log.empty());
    EXPECT_THROW(f.manager.CloseProject(*b), CInvalidArgument) << "b is gone";
}

TEST(ProjectManagerTest, RecentFilesKeepFourMostRecentFirst)
{
    CManagerFixture f;
    for (const char* path : {"/s/1.tnw", "/s/2.tnw", "/s/3.tnw", "/s/4.tnw", "/s/5.tnw"})
        f.files[path] = EFile::Project;
    f.files["/s/song.mid"] = EFile::MidiFile;
    for (const char* path : {"/s/1.tnw", "/s/2.tnw", "/s/3.tnw", "/s/4.tnw", "/s/5.tnw"})
        ASSERT_NE(f.manager.OpenProject(path), nullptr);
    ASSERT_NE(f.manager.OpenProject("/s/song.mid"), nullptr);
    f.user.m_answers = {false};
    ASSERT_NE(f.manager.OpenProject("/s/3.tnw"), nullptr); // revert declined: not moved up

    const CRecentFileList& recent = f.manager.GetRecentFiles();
    ASSERT_EQ(recent.GetCount(), 4) << "the MIDI file has no path and stays out";
    EXPECT_EQ(recent.GetAt(0), "/s/5.tnw");
    EXPECT_EQ(recent.GetAt(3), "/s/2.tnw");
    EXPECT_EQ(recent.GetAt(4), "");

    // They survive a round trip through the profile, and a failing entry is removed.
    f.manager.SaveOptions();
    CManagerFixture g;
    g.profile = f.profile;
    g.manager.LoadOptions();
    g.files["/s/4.tnw"] = EFile::Project;
    EXPECT_EQ(g.manager.OpenRecentFile(0), nullptr);
    EXPECT_EQ(g.manager.OpenRecentFile(7), nullptr);
    ASSERT_EQ(g.manager.GetRecentFiles().GetCount(), 3);
    EXPECT_EQ(g.manager.GetRecentFiles().GetAt(0), "/s/4.tnw");
    ASSERT_NE(g.manager.OpenRecentFile(0), nullptr);
}

TEST(ProjectManagerTest, StartupOpensCommandLineThenRecentThenNew)
{
    {
        CManagerFixture f;
        f.files["/s/cmd.tnw"] = EFile::Project;
        EXPECT_EQ(f.manager.OpenAtStartup("/s/cmd.tnw").GetPath(), "/s/cmd.tnw");
    }
    {
        CManagerFixture f;
        f.profile.SetString("Recent File List", "File1", "/s/last.tnw");
        f.profile.SetString("Recent File List", "File2", "/s/older.tnw");
        f.files["/s/last.tnw"] = EFile::Project;
        f.manager.LoadOptions();
        EXPECT_EQ(f.manager.OpenAtStartup("").GetPath(), "/s/last.tnw");
    }
    {
        CManagerFixture f;
        f.profile.SetString("Recent File List", "File1", "/s/gone.tnw");
        f.manager.LoadOptions();
        CProjectDoc& doc = f.manager.OpenAtStartup("");
        EXPECT_EQ(doc.GetPath(), "");
        EXPECT_EQ(f.manager.GetActiveProject(), &doc);
        EXPECT_EQ(f.manager.GetRecentFiles().GetCount(), 0);
    }
    {
        CManagerFixture f;
        EXPECT_EQ(f.manager.OpenAtStartup("/s/missing.tnw").GetPath(), "");
        EXPECT_EQ(f.manager.GetProjectCount(), 1);
    }
}

TEST(ProjectManagerTest, DestroyingTheManagerReleasesThePlayer)
{
    CScriptedUserServices user;
    CMemoryProfile profile;
    CRecordingPlayerLink player;
    {
        CProjectManager manager(user, profile, &player, {},
                                [](CProjectDoc&, const std::string&) { return false; });
        manager.NewProject();
        player.m_log.clear();
    }
    EXPECT_EQ(player.m_log, (std::vector<std::string>{"Stop", "ClearProject(<New Project>)"}));
}
