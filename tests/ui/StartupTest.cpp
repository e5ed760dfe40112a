// Start-up and shut-down of the application.

#include <QMdiArea>
#include <QSettings>
#include <QStandardPaths>

#include "devices/InputFilterNode.h"
#include "devices/LibraryMessages.h"
#include "devices/MidiDevices.h"
#include "devices/OutputPort.h"
#include "document/RecentFileList.h"
#include "engine/Metronome.h"
#include "engine/MidiEngine.h"
#include "engine/SequencerClock.h"
#include "model/Errors.h"
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
    EXPECT_EQ(App().GetExitStatus(), 1);
}

TEST_F(CUiFixture, CommandLineMistakesEndTheStartBeforeTheEngine)
{
    struct SCase {
        QStringList arguments;
        int status;
        const char* printed;
    };
    const SCase cases[] = {
        {{"--midi", "bogus"}, 2, "Unknown MIDI system 'bogus' for --midi (use jack|alsa|virtual)"},
        {{"--midi=JACK"}, 2, "Unknown MIDI system 'JACK'"},
        {{"song.tnw", "--midi"}, 2, "Missing value after '--midi'"},
        {{"--frobnicate"}, 2, "Unknown option 'frobnicate'"},
        {{"--help"}, 0, "--midi <system>"},
        {{"--help"}, 0, "--verbose"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        m_console.str({});
        EXPECT_FALSE(Launch(c.arguments, &m_profile, TestBackend));
        EXPECT_EQ(App().GetExitStatus(), c.status);
        EXPECT_NE(m_console.str().find(c.printed), std::string::npos) << m_console.str();
        EXPECT_EQ(App().GetMainFrame(), nullptr);
        EXPECT_EQ(CMidiEngineProxy::Instance().GetEngine(), nullptr);
        EXPECT_TRUE(m_user.m_messages.empty());
    }
}

TEST_F(CUiFixture, VerboseLetsTheLibrariesMessagesThrough)
{
    ASSERT_TRUE(Launch({}, &m_profile, TestBackend));
    EXPECT_FALSE(AreLibraryMessagesVerbose());
    ASSERT_TRUE(Frame().close());
    m_app.reset();
    ASSERT_TRUE(Launch({"--verbose"}, &m_profile, TestBackend));
    EXPECT_TRUE(AreLibraryMessagesVerbose());
    SetLibraryMessagesVerbose(false);
}

TEST_F(CUiFixture, MidiOptionChoosesTheBackendUnlessOneIsGiven)
{
    // No backend given: the command line's choice is made.
    ASSERT_TRUE(Launch({"--midi", "virtual"}, &m_profile, nullptr));
    CMidiDevices* devices = &CMidiEngineProxy::Instance().GetEngine()->GetDevices();
    // The virtual system's output, and the built-in synthesizer every system offers.
    ASSERT_EQ(devices->GetOutDriverCount(), 2);
    EXPECT_EQ(devices->GetOutDriver(0)->GetNodeName(), "Virtual Out");
    EXPECT_EQ(devices->GetOutDriver(1)->GetNodeName(), "Tonalweaver Synth");
    ASSERT_TRUE(Frame().close());
    m_app.reset();
    EXPECT_EQ(CMidiEngineProxy::Instance().GetEngine(), nullptr);

    // A given backend wins over a valid name.
    ASSERT_TRUE(Launch({"--midi", "alsa"}, &m_profile, TestBackend));
    devices = &CMidiEngineProxy::Instance().GetEngine()->GetDevices();
    ASSERT_EQ(devices->GetOutDriverCount(), 1);
    EXPECT_EQ(devices->GetOutDriver(0)->GetNodeName(), "Out A");
}

TEST_F(CUiFixture, DeviceSettingsWrittenAtExitAreAppliedAtTheNextStart)
{
    // The user's own settings file, in a folder of the test's; put back afterwards.
    struct SConfigFolder {
        explicit SConfigFolder(const QString& path)
        {
            QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path);
        }
        ~SConfigFolder()
        {
            QSettings::setPath(
                QSettings::NativeFormat, QSettings::UserScope,
                QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
        }
    } folder(QString::fromStdString(PathOf("config")));
    constexpr CNodeAddress kMetronome{8, 0};
    constexpr CNodeAddress kClock{9, 0};
    constexpr CNodeAddress kSecondInput{CNodeAddress::kKindInputPort, 1};
    CMidiEngineProxy& proxy = CMidiEngineProxy::Instance();

    ASSERT_TRUE(Launch({}, nullptr, TestBackend));
    EXPECT_EQ(proxy.GetEngine()->GetDevices().GetOutputPort(2)->GetFirstOutput(), nullptr);
    EXPECT_EQ(proxy.GetNodeParameter(kMetronome, CMetronome::kActive), 0);
    // What the port, metronome and sync dialogs would do.
    ASSERT_EQ(proxy.RouteOutputPort(2, 0), 1);
    ASSERT_EQ(proxy.RouteInputPort(1, 0), 1);
    ASSERT_EQ(proxy.SetNodeParameter(kSecondInput, CInputFilterNode::kParamChannelFilter, 9), 1);
    ASSERT_EQ(proxy.SetNodeParameter(kMetronome, CMetronome::kActive, 1), 1);
    ASSERT_EQ(proxy.SetNodeParameter(kMetronome, CMetronome::kBarKey, 72), 1);
    ASSERT_EQ(proxy.SetNodeParameter(kClock, CSequencerClock::kClockOut, 1), 1);
    Projects().GetOptions().m_incValue = 7;
    ASSERT_TRUE(Frame().close());
    EXPECT_EQ(App().ExitInstance(), 0);
    m_app.reset();
    Settle();

    ASSERT_TRUE(Launch({}, nullptr, TestBackend));
    CMidiDevices& devices = proxy.GetEngine()->GetDevices();
    const CMidiNode* out = devices.GetOutputPort(2)->GetFirstOutput();
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->GetNodeName(), "Out A");
    const CMidiNode* in = devices.GetInputPort(1)->GetFirstInput();
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(in->GetNodeName(), "In A");
    EXPECT_EQ(proxy.GetNodeParameter(kSecondInput, CInputFilterNode::kParamChannelFilter), 9);
    EXPECT_EQ(proxy.GetNodeParameter(kMetronome, CMetronome::kActive), 1);
    EXPECT_EQ(proxy.GetNodeParameter(kMetronome, CMetronome::kBarKey), 72);
    EXPECT_EQ(proxy.GetNodeParameter(kClock, CSequencerClock::kClockOut), 1);
    // The options went through the same store.
    EXPECT_EQ(Projects().GetOptions().m_incValue, 7);
    EXPECT_TRUE(
        QFile::exists(QString::fromStdString(PathOf("config/Tonalweaver/Tonalweaver.conf"))));
    // The test's in-memory profile was not used.
    EXPECT_EQ(m_profile.GetString("Port Drivers", "Out3", "absent"), "absent");
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
