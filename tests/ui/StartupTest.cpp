// Start-up and shut-down of the application.

#include <QMdiArea>

#include "model/Errors.h"
#include "model/RecentFileList.h"
#include "ui/UiFixture.h"

namespace {

struct SStartupCase {
    const char* name;
    bool commandLineFile; // a saved project named on the command line
    bool missingFile;     // the command line names a file that is not there
    bool recentFile;      // the recent-file list starts with a saved project
    bool recentMissing;   // the recent-file list starts with a file that is gone
    // What opens: "cmd", "recent" or "new".
    const char* expected;
};

class CStartupTest : public CUiFixture, public ::testing::WithParamInterface<SStartupCase> {};

} // namespace

TEST_P(CStartupTest, OpensCommandLineElseMostRecentElseNew)
{
    const SStartupCase& c = GetParam();
    const std::string cmdPath = SaveSampleProject("cmd.tnw");
    const std::string recentPath = SaveSampleProject("recent.tnw");
    const std::string gonePath = PathOf("gone.tnw");
    if (c.recentFile || c.recentMissing)
        m_profile.SetString("Recent File List", "File1", c.recentMissing ? gonePath : recentPath);
    QStringList arguments;
    if (c.commandLineFile) arguments << QString::fromStdString(cmdPath);
    if (c.missingFile) arguments << QString::fromStdString(gonePath);

    Start(arguments);

    ASSERT_EQ(Projects().GetProjectCount(), 1);
    CProjectDoc* active = Projects().GetActiveProject();
    ASSERT_NE(active, nullptr);
    const std::string expected = c.expected;
    const std::string expectedPath = expected == "cmd"      ? cmdPath
                                     : expected == "recent" ? recentPath
                                                            : std::string();
    EXPECT_EQ(active->GetPath(), expectedPath);
    EXPECT_EQ(active->GetTracks().GetCount(), expected == "new" ? 0 : 1);
    // Every start shows the project's own window in the main window.
    CChildFrame* project = WindowsOf(*active).GetFrame(EWindowKind::Project);
    ASSERT_NE(project, nullptr);
    EXPECT_TRUE(project->isVisible());
    EXPECT_TRUE(Frame().isVisible());
    EXPECT_EQ(Frame().windowTitle(), QStringLiteral("Tonalweaver"));
    // A file that cannot be read is reported; a recent entry that fails is dropped.
    EXPECT_EQ(m_user.m_messages.size(), c.missingFile || c.recentMissing ? 1u : 0u);
    if (c.recentMissing) {
        EXPECT_EQ(Projects().GetRecentFiles().GetCount(), 0);
    }
    if (expected != "new") {
        EXPECT_EQ(Projects().GetRecentFiles().GetAt(0), active->GetPath());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CStartupTest,
    ::testing::Values(SStartupCase{"CommandLine", true, false, true, false, "cmd"},
                      SStartupCase{"Recent", false, false, true, false, "recent"},
                      SStartupCase{"Nothing", false, false, false, false, "new"},
                      SStartupCase{"MissingFile", false, true, true, false, "new"},
                      SStartupCase{"RecentGone", false, false, false, true, "new"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CUiFixture, EngineFailureStopsStartWithTheEnginesReason)
{
    EXPECT_FALSE(StartFailing("No MIDI system could be reached."));
    EXPECT_EQ(App().GetMainFrame(), nullptr);
    ASSERT_EQ(m_user.m_messages.size(), 1u);
    EXPECT_NE(m_user.m_messages[0].find("No MIDI system could be reached."), std::string::npos);
    EXPECT_EQ(CMidiEngineProxy::Instance().GetEngine(), nullptr);
}

TEST_F(CUiFixture, ExitWritesOptionsRecentFilesAndPlacement)
{
    m_profile.SetInt("Editor", "IncValue", 80);
    m_profile.SetInt("Main-Window", "Left", 40);
    m_profile.SetInt("Main-Window", "Top", 30);
    m_profile.SetInt("Main-Window", "Right", 40 + 900);
    m_profile.SetInt("Main-Window", "Bottom", 30 + 600);
    const std::string path = SaveSampleProject("song.tnw");
    Start({QString::fromStdString(path)});
    EXPECT_EQ(Projects().GetOptions().m_incValue, 50);
    EXPECT_EQ(Frame().geometry(), QRect(40, 30, 900, 600));

    Frame().setGeometry(QRect(60, 50, 800, 500));
    Settle();
    ASSERT_TRUE(Frame().close());
    EXPECT_EQ(App().ExitInstance(), 0);
    EXPECT_EQ(m_profile.GetInt("Editor", "IncValue", 0), 50);
    EXPECT_EQ(m_profile.GetString("Recent File List", "File1", ""), path);
    EXPECT_EQ(m_profile.GetInt("Main-Window", "Left", 0), 60);
    EXPECT_EQ(m_profile.GetInt("Main-Window", "Bottom", 0), 550);
    EXPECT_EQ(Projects().GetProjectCount(), 0);
    // The engine is shut down with the main window.
    EXPECT_EQ(CMidiEngineProxy::Instance().GetEngine(), nullptr);
}
