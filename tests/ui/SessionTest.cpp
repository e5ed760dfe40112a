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

TEST_F(SessionTest, RefusedAnnounceStartsAsAlone)
{
    CSessionServer server({}, true);
    StartIn(server);
    ASSERT_NE(App().GetSession(), nullptr);
    EXPECT_FALSE(App().GetSession()->IsDriving());
    EXPECT_EQ(App().GetSession()->GetClient().GetLastError(), "Incompatible API");
    EXPECT_EQ(Projects().GetProjectCount(), 1);
    Frame().close();
    EXPECT_FALSE(App().GetSession()->IsDriving());
    EXPECT_FALSE(Frame().isVisible());
}

} // namespace
