// The program in a session: a test session manager on the other end of a real UDP socket drives
// the whole program, and nothing may ask the user anything.

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "SessionServer.h"
#include "devices/virtual/VirtualBackend.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "UiFixture.h"
#include "editing/BankOperations.h"
#include "shell/SessionGlue.h"
#include "shell/WndTransport.h"

namespace {

constexpr const char* kOpen = "/nsm/client/open";
constexpr const char* kSave = "/nsm/client/save";

class SessionTest : public CUiFixture {
protected:
    ~SessionTest() override { unsetenv("NSM_URL"); }

    // Starts the program with NSM_URL naming the server.
    void StartIn(CSessionServer& server)
    {
        setenv("NSM_URL", server.GetUrl().c_str(), 1);
        ASSERT_TRUE(Launch({}, &m_profile, TestBackend));
        Settle();
    }
    CProjectDoc& Active() { return *Projects().GetActiveProject(); }
    void AddBank()
    {
        ASSERT_TRUE(Active().Execute(
            std::make_unique<COpBankCreate>(-1, std::make_unique<CPhraseBank>("Session bank"))));
    }
    static int32_t BanksOnDisk(const std::string& path)
    {
        CHeadlessUserServices user;
        CProjectDoc doc;
        try {
            return doc.Load(path, &user) ? doc.GetBankCount() : -1;
        } catch (const std::exception&) {
            return -1;
        }
    }
};

TEST_F(SessionTest, ManagerDrivesTheProgramWithoutAQuestion)
{
    const std::string prefix = PathOf("session/Tonalweaver.nTEST");
    CSessionServer server(prefix);
    StartIn(server);

    // Announced as the protocol asks, and the first open created the project file.
    const std::vector<SOscMessage> received = server.Received();
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received[0].path, "/nsm/server/announce");
    EXPECT_EQ(received[0].Types(), "sssiii");
    EXPECT_EQ(received[0].args[0].s, "Tonalweaver");
    EXPECT_EQ(received[0].args[1].s, ":switch:dirty:optional-gui:");
    EXPECT_EQ(received[0].args[5].i, static_cast<int32_t>(QCoreApplication::applicationPid()));
    ASSERT_TRUE(server.WaitFor("/reply", kOpen));
    EXPECT_TRUE(server.WaitFor("/nsm/client/gui_is_shown"));
    const std::string first = prefix + ".tnw";
    EXPECT_TRUE(std::filesystem::exists(first));
    EXPECT_EQ(Projects().GetProjectCount(), 1);
    EXPECT_EQ(Active().GetPath(), first);
    EXPECT_TRUE(App().GetSession()->IsDriving());

    // An edit makes it dirty, a save writes it and makes it clean.
    AddBank();
    ASSERT_TRUE(server.WaitFor("/nsm/client/is_dirty"));
    server.Send(kSave);
    ASSERT_TRUE(server.WaitFor("/reply", kSave));
    EXPECT_TRUE(server.WaitFor("/nsm/client/is_clean"));
    EXPECT_EQ(BanksOnDisk(first), 1);

    // Hide and show on request; closing the window only hides it.
    server.Send("/nsm/client/hide_optional_gui");
    ASSERT_TRUE(server.WaitFor("/nsm/client/gui_is_hidden"));
    EXPECT_FALSE(Frame().isVisible());
    EXPECT_FALSE(Frame().GetTransport()->isVisible());
    server.Send("/nsm/client/show_optional_gui");
    ASSERT_TRUE(server.WaitFor("/nsm/client/gui_is_shown", {}, 2));
    EXPECT_TRUE(Frame().isVisible());
    EXPECT_TRUE(Frame().GetTransport()->isVisible());
    AddBank();
    ASSERT_TRUE(server.WaitFor("/nsm/client/is_dirty", {}, 2));
    Frame().close();
    ASSERT_TRUE(server.WaitFor("/nsm/client/gui_is_hidden", {}, 2));
    EXPECT_FALSE(Frame().GetTransport()->isVisible());
    EXPECT_EQ(Projects().GetProjectCount(), 1);

    // A switch to an existing project saves the one it leaves; the same open twice keeps it.
    const std::string other = SaveSampleProject("other.tnw");
    const std::string otherPrefix = other.substr(0, other.size() - 4);
    server.Send(kOpen, {otherPrefix, "Other", "Tonalweaver.nTEST"});
    server.Send(kOpen, {otherPrefix, "Other", "Tonalweaver.nTEST"});
    ASSERT_TRUE(server.WaitFor("/reply", kOpen, 3));
    EXPECT_EQ(BanksOnDisk(first), 2);
    EXPECT_EQ(Projects().GetProjectCount(), 1);
    EXPECT_EQ(Active().GetPath(), other);
    EXPECT_EQ(Active().GetBankCount(), 1);

    // A file that does not read is refused with the reason; the project stays.
    const std::string broken = PathOf("broken");
    std::ofstream(broken + ".tnw") << "not a project";
    server.Send(kOpen, {broken, "Broken", "Tonalweaver.nTEST"});
    ASSERT_TRUE(server.WaitFor("/error", kOpen));
    const SOscMessage error = server.Received().back();
    ASSERT_EQ(error.Types(), "sis");
    EXPECT_EQ(error.args[1].i, static_cast<int32_t>(ESessionError::BadProject));
    EXPECT_FALSE(error.args[2].s.empty());
    EXPECT_EQ(Active().GetPath(), other);

    // A manager that goes away leaves a program that goes on working.
    server.Stop();
    AddBank();
    Settle();
    QTest::qWait(250);
    EXPECT_TRUE(Active().IsModified());

    // The manager ends its clients with SIGTERM: the program quits through its event loop,
    // and still asks nothing.
    QSignalSpy terminate(App().GetSession(), &CSessionGlue::TerminateRequested);
    std::raise(SIGTERM);
    EXPECT_TRUE(terminate.wait(2000));

    EXPECT_TRUE(m_user.m_questions.empty());
    EXPECT_TRUE(m_user.m_messages.empty());
}

// A backend that passes for JACK, so that a session's client name reaches it; it counts the
// backends made, one per JACK client opened.
int g_jackClients = 0;

std::unique_ptr<CMidiBackend> CountedJackBackend()
{
    class CNamedJack : public CVirtualBackend {
    public:
        CNamedJack() : CVirtualBackend({"Out A"}, {"In A"}) { ++g_jackClients; }
        std::string GetName() const override { return "jack"; }
    };
    return std::make_unique<CNamedJack>();
}

TEST_F(SessionTest, ASwitchToAnotherClientReopensJackUnderItsNameAndNoDialogFightsTheManager)
{
    const std::string prefix = PathOf("session/Tonalweaver.nFIRST");
    CSessionServer server(prefix);
    setenv("NSM_URL", server.GetUrl().c_str(), 1);
    g_jackClients = 0;
    ASSERT_TRUE(Launch({}, &m_profile, CountedJackBackend));
    Settle();
    ASSERT_TRUE(server.WaitFor("/reply", kOpen));
    EXPECT_EQ(g_jackClients, 1);

    // The manager opens and saves: New, Open and Save As are off, and say why.
    for (const ECommand id : {ECommand::New, ECommand::Open, ECommand::SaveAs}) {
        const CCommandUi ui = Frame().QueryCommand(id);
        EXPECT_FALSE(ui.enabled) << static_cast<int>(id);
        EXPECT_TRUE(ui.reason.contains(QStringLiteral("session manager"))) << static_cast<int>(id);
        Frame().UpdateActions();
        EXPECT_EQ(Frame().GetAction(id)->statusTip(), ui.reason);
    }
    EXPECT_FALSE(Frame().RunCommand(ECommand::Open)) << "a disabled command does not run";
    EXPECT_TRUE(Frame().QueryCommand(ECommand::Save).enabled);

    // The same client keeps its JACK client; a switch to another client opens a new one, and the
    // session's project plays in it.
    const std::string other = SaveSampleProject("other.tnw");
    server.Send(kOpen, {other.substr(0, other.size() - 4), "Other", "Tonalweaver.nTEST"});
    ASSERT_TRUE(server.WaitFor("/reply", kOpen, 2));
    EXPECT_EQ(g_jackClients, 1);
    const std::string second = SaveSampleProject("second.tnw");
    server.Send(kOpen, {second.substr(0, second.size() - 4), "Second", "Tonalweaver.nSECOND"});
    ASSERT_TRUE(server.WaitFor("/reply", kOpen, 3));
    EXPECT_EQ(g_jackClients, 2);
    EXPECT_EQ(Active().GetPath(), second);
    const CMidiEngine* engine = CMidiEngineProxy::Instance().GetEngine();
    ASSERT_NE(engine, nullptr);
    EXPECT_EQ(engine->GetTrackPlayerCount(), Active().GetTracks().GetCount());
    EXPECT_TRUE(m_user.m_questions.empty());
    EXPECT_TRUE(m_user.m_messages.empty());
}

TEST_F(SessionTest, RefusedAnnounceStartsAsAlone)
{
    CSessionServer server({}, true);
    StartIn(server);
    ASSERT_NE(App().GetSession(), nullptr);
    EXPECT_FALSE(App().GetSession()->IsDriving());
    EXPECT_EQ(App().GetSession()->GetClient().GetLastError(), "Incompatible API");
    EXPECT_EQ(Projects().GetProjectCount(), 1);
    const CCommandUi open = Frame().QueryCommand(ECommand::Open);
    EXPECT_TRUE(open.enabled) << "alone, the program opens its projects itself";
    EXPECT_TRUE(open.reason.isEmpty());
    Frame().close();
    EXPECT_FALSE(App().GetSession()->IsDriving());
    EXPECT_FALSE(Frame().isVisible());
}

} // namespace
