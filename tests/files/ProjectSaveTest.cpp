#include "document/ProjectDoc.h"
#include "document/ProjectManager.h"
#include "document/RecentFileList.h"
#include "fakes/ScriptedUserServices.h"
#include "files/TempFolder.h"
#include "model/Profile.h"
#include "model/Track.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace {

struct CSaveFixture {
    CTempFolder folder;
    CScriptedUserServices user;
    CMemoryProfile profile;
    CProjectManager manager{user, profile, nullptr};
};

} // namespace

TEST(ProjectSave, SaveOfANewProjectAsksForAPathAndRemembersIt)
{
    CSaveFixture f;
    CProjectDoc& doc = f.manager.NewProject();
    doc.GetTracks().InsertAt(-1, std::make_unique<CTrack>());
    doc.SetModified(true);

    f.user.m_chosenPath.clear(); // cancelled: nothing written
    EXPECT_FALSE(f.manager.Save(doc));
    EXPECT_TRUE(f.folder.Entries().empty());
    EXPECT_TRUE(doc.IsModified());

    f.user.m_chosenPath = f.folder / "song"; // the extension is added
    ASSERT_TRUE(f.manager.Save(doc));
    const std::string path = f.folder / "song.tnw";
    EXPECT_EQ(doc.GetPath(), path);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(f.manager.GetRecentFiles().GetAt(0), path);

    // The next Save writes to the same file without asking.
    f.user.m_chosenPath = f.folder / "other.tnw";
    doc.GetTracks().InsertAt(-1, std::make_unique<CTrack>());
    ASSERT_TRUE(f.manager.Save(doc));
    EXPECT_EQ(f.folder.Entries(), std::vector<std::string>{"song.tnw"});
    CProjectDoc loaded;
    ASSERT_TRUE(loaded.Load(path));
    EXPECT_EQ(loaded.GetTracks().GetCount(), 2);
}

TEST(ProjectSave, SaveAllSavesWhatItCanAndReportsWhatFailed)
{
    CSaveFixture f;
    CProjectDoc& good = f.manager.NewProject();
    f.user.m_chosenPath = f.folder / "good.tnw";
    ASSERT_TRUE(f.manager.SaveAs(good));
    CProjectDoc& bad = f.manager.NewProject();
    f.user.m_chosenPath = f.folder / "missing/bad.tnw";
    EXPECT_FALSE(f.manager.SaveAs(bad));
    EXPECT_EQ(f.user.m_messages.size(), 1u);
    EXPECT_TRUE(bad.GetPath().empty()); // a failed save leaves the project as it was

    good.GetTracks().InsertAt(-1, std::make_unique<CTrack>());
    EXPECT_FALSE(f.manager.SaveAll()); // the second still has nowhere to go
    CProjectDoc loaded;
    ASSERT_TRUE(loaded.Load(f.folder / "good.tnw"));
    EXPECT_EQ(loaded.GetTracks().GetCount(), 1);
}
