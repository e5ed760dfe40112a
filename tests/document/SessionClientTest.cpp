#include "document/SessionClient.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Msg = SOscMessage;
SOscArg S(std::string value)
{
    return SOscArg::Str(std::move(value));
}
SOscArg I(int32_t value)
{
    return SOscArg::Int(value);
}

class CSentLog : public CSessionTransport {
public:
    void Send(const SOscMessage& message) override { m_sent.push_back(message); }
    // What was sent since the last call.
    std::vector<Msg> Take() { return std::exchange(m_sent, {}); }

private:
    std::vector<Msg> m_sent;
};

// Opens and saves by writing files, so the client's new/existing decision meets a real folder.
class CFileHost : public CSessionHost {
public:
    bool OpenSessionProject(const std::string& path, bool create, const std::string& clientId,
                            std::string& error) override
    {
        m_calls.push_back((create ? "create " : "open ") + path + " as " + clientId);
        if (m_fail) {
            error = "cannot";
            return false;
        }
        if (create && !MakeProjectFolder(path, error)) return false;
        if (create) std::ofstream(path) << "new";
        m_path = path;
        return true;
    }
    bool SaveSessionProject(std::string& error) override
    {
        m_calls.push_back("save " + m_path);
        if (m_fail) error = "disk full";
        return !m_fail;
    }
    void ShowGui(bool show) override { m_calls.push_back(show ? "show" : "hide"); }

    std::vector<std::string> m_calls;
    std::string m_path;
    bool m_fail = false;
};

class SessionClientTest : public ::testing::Test {
protected:
    SessionClientTest()
    {
        m_dir = std::filesystem::temp_directory_path() /
                ("tw-session-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_dir);
    }
    ~SessionClientTest() override { std::filesystem::remove_all(m_dir); }

    void Accept()
    {
        m_client.Receive(
            {"/reply", {S("/nsm/server/announce"), S("hi"), S("nsmd"), S(":server-control:")}});
    }
    Msg Open(const std::string& name, const std::string& id = "Tonalweaver.nABC")
    {
        return {"/nsm/client/open", {S((m_dir / "song" / name).string()), S("Song"), S(id)}};
    }
    static Msg Reply(const std::string& request, const std::string& text)
    {
        return {"/reply", {S(request), S(text)}};
    }
    static Msg Error(const std::string& request, ESessionError code, const std::string& text)
    {
        return {"/error", {S(request), I(static_cast<int32_t>(code)), S(text)}};
    }

    std::filesystem::path m_dir;
    CSentLog m_sent;
    CFileHost m_host;
    CSessionClient m_client{m_sent, m_host};
};

TEST_F(SessionClientTest, ConversationFromAnnounceToSwitch)
{
    m_client.Announce("Tonalweaver", "tonalweaver", 4242);
    EXPECT_EQ(m_sent.Take(), (std::vector<Msg>{{"/nsm/server/announce",
                                                {S("Tonalweaver"), S(":switch:dirty:optional-gui:"),
                                                 S("tonalweaver"), I(1), I(2), I(4242)}}}));
    // Nothing is reported before the manager has accepted us.
    m_client.SetDirty(true);
    m_client.SetGuiShown(true);
    EXPECT_TRUE(m_sent.Take().empty());
    Accept();
    EXPECT_TRUE(m_client.IsAnnounced());
    EXPECT_EQ(m_client.GetServerName(), "nsmd");
    EXPECT_EQ(m_sent.Take(),
              (std::vector<Msg>{{"/nsm/client/is_dirty", {}}, {"/nsm/client/gui_is_shown", {}}}));

    // A new path: created, and counted clean. The same open again keeps the project.
    const std::string first = (m_dir / "song" / "Tonalweaver.nABC.tnw").string();
    m_client.Receive(Open("Tonalweaver.nABC"));
    m_client.Receive(Open("Tonalweaver.nABC"));
    EXPECT_EQ(m_host.m_calls,
              (std::vector<std::string>{"create " + first + " as Tonalweaver.nABC"}));
    EXPECT_EQ(m_sent.Take(), (std::vector<Msg>{Reply("/nsm/client/open", "Created."),
                                               Reply("/nsm/client/open", "Already open.")}));
    EXPECT_EQ(m_client.GetProjectPath(), first);
    EXPECT_EQ(m_client.GetClientId(), "Tonalweaver.nABC");

    // Dirty and clean once per change, around a save.
    m_client.SetDirty(true);
    m_client.SetDirty(true);
    m_client.Receive({"/nsm/client/save", {}});
    m_client.SetDirty(false);
    m_client.SetDirty(false);
    EXPECT_EQ(m_sent.Take(), (std::vector<Msg>{{"/nsm/client/is_dirty", {}},
                                               Reply("/nsm/client/save", "Saved."),
                                               {"/nsm/client/is_clean", {}}}));

    // Hide and show: the host acts every time, the manager hears of changes only.
    m_client.Receive({"/nsm/client/hide_optional_gui", {}});
    m_client.Receive({"/nsm/client/hide_optional_gui", {}});
    m_client.Receive({"/nsm/client/show_optional_gui", {}});
    EXPECT_EQ(m_sent.Take(), (std::vector<Msg>{{"/nsm/client/gui_is_hidden", {}},
                                               {"/nsm/client/gui_is_shown", {}}}));

    // A switch to a path that exists opens it; the manager gets a clean project.
    std::ofstream((m_dir / "song" / "Other.tnw").string()) << "x";
    m_client.SetDirty(true);
    m_sent.Take();
    m_host.m_calls.clear();
    m_client.Receive(Open("Other", "Other"));
    EXPECT_EQ(m_host.m_calls,
              (std::vector<std::string>{"open " + (m_dir / "song" / "Other.tnw").string() +
                                        " as Other"}));
    EXPECT_EQ(m_sent.Take(), (std::vector<Msg>{Reply("/nsm/client/open", "Opened.")}));
    m_client.SetDirty(false);
    EXPECT_TRUE(m_sent.Take().empty());
    m_client.Receive({"/nsm/client/session_is_loaded", {}});
    EXPECT_TRUE(m_client.IsSessionLoaded());
}

TEST_F(SessionClientTest, BadRequestsAreAnsweredWithErrorsAndChangeNothing)
{
    Accept();
    m_sent.Take();
    const std::string open = "/nsm/client/open", save = "/nsm/client/save";
    const std::string expectOpen = "Expected a path, a display name and a client id.";
    struct SCase {
        Msg in;
        std::vector<Msg> out;
    };
    const std::vector<SCase> cases = {
        {{save, {}}, {Error(save, ESessionError::NotNow, "No session project is open yet.")}},
        {{open, {S("/a"), S("b")}}, {Error(open, ESessionError::General, expectOpen)}},
        {{open, {S("/a"), S("b"), I(3)}}, {Error(open, ESessionError::General, expectOpen)}},
        {{open, {S(""), S("b"), S("c")}}, {Error(open, ESessionError::General, expectOpen)}},
        {{open, {S("/a"), S("b"), S("c"), S("d")}},
         {Error(open, ESessionError::General, expectOpen)}},
        {{save, {I(1)}}, {Error(save, ESessionError::General, "Save takes no arguments.")}},
        // Answers and messages we do not know are left alone.
        {{"/reply", {}}, {}},
        {{"/reply", {I(1), S("x")}}, {}},
        {{"/error", {S("/nsm/server/announce"), S("x")}}, {}},
        {{"/nsm/client/progress", {SOscArg{'f', 0, 0.5f, {}}}}, {}},
        {{"/", {}}, {}},
    };
    for (const SCase& c : cases) {
        m_client.Receive(c.in);
        EXPECT_EQ(m_sent.Take(), c.out) << c.in.path << " " << c.in.Types();
    }
    EXPECT_FALSE(m_client.IsOpen());
    EXPECT_FALSE(m_client.IsRefused());
    EXPECT_TRUE(m_host.m_calls.empty());

    // A host that fails: creating and opening carry their own codes, the old project stays.
    m_host.m_fail = true;
    m_client.Receive(Open("New"));
    EXPECT_EQ(m_sent.Take(),
              (std::vector<Msg>{Error(open, ESessionError::CreateFailed, "cannot")}));
    std::filesystem::create_directories(m_dir / "song");
    std::ofstream((m_dir / "song" / "Broken.tnw").string()) << "x";
    m_client.Receive(Open("Broken"));
    EXPECT_EQ(m_sent.Take(), (std::vector<Msg>{Error(open, ESessionError::BadProject, "cannot")}));
    EXPECT_FALSE(m_client.IsOpen());
    m_host.m_fail = false;
    m_client.Receive(Open("New"));
    m_host.m_fail = true;
    m_client.Receive({save, {}});
    EXPECT_EQ(m_sent.Take(), (std::vector<Msg>{Reply(open, "Created."),
                                               Error(save, ESessionError::General, "disk full")}));
}

TEST_F(SessionClientTest, RefusedAnnounceReportsNothing)
{
    m_client.Announce("Tonalweaver", "tonalweaver", 1);
    m_sent.Take();
    m_client.Receive({"/error", {S("/nsm/server/announce"), I(-2), S("Incompatible API")}});
    EXPECT_TRUE(m_client.IsRefused());
    EXPECT_EQ(m_client.GetLastError(), "Incompatible API");
    m_client.SetDirty(true);
    m_client.SetGuiShown(false);
    EXPECT_TRUE(m_sent.Take().empty());
}

} // namespace
