// A live rig on a private server: the engine runs its music thread with the device settings of a
// user, and the server, the instruments and the keyboards come and go around it.

#include "JackTestServer.h"

#include "devices/jack/JackBackend.h"
#include "engine/DeviceSettings.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "model/Clip.h"
#include "model/Profile.h"
#include "model/Track.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace std::chrono_literals;
using namespace DeviceSettings;

constexpr auto kWait = 20s; // generous: the machine may be loaded

// What the window would hear: device notices and finished takes.
class CRigSink : public CEngineNotificationSink {
public:
    void OnDevicesLost(bool lostServer) override
    {
        ++lost;
        serverLost = lostServer;
    }
    void OnDevicesBack() override { ++back; }
    void OnRecordingFinished(int32_t, int32_t, std::unique_ptr<CClip> clip) override
    {
        if (clip) takes.push_back(std::move(clip));
    }

    int lost = 0;
    bool serverLost = false;
    int back = 0;
    std::vector<std::unique_ptr<CClip>> takes;
};

// The keys of a take's notes, in order.
std::vector<int> KeysOf(const CClip& clip)
{
    std::vector<int> keys;
    for (const CNote& note : clip.GetNotes())
        keys.push_back(note.m_pitch);
    return keys;
}

class JackRigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.IsRunning());
        // The user's rig: the instrument on Out1, the keyboard on "Rec" (live thru and takes).
        profile.SetString(kPortDrivers, "Out1", "twsynth:in");
        profile.SetString(kPortDrivers, "Rec", "twkeys:out");
        profile.SetString(kPortDrivers, "In2", "twlate:out");
        profile.SetString(kPortDrivers, "Out2", "twlate:in");
        track.SetId(1);
        track.SetInput(true);
        track.SetRecord(true);
        track.SetOutput({CNodeAddress::kKindOutputPort, 0});
    }
    void TearDown() override { proxy.ShutDown(); }
    void KillTheServerWhilePlaying(bool recording);

    void StartEngine()
    {
        ASSERT_TRUE(proxy.AttachEngine(&engine));
        ASSERT_EQ(StartEngineWithSettings(proxy, profile), 1) << proxy.GetLastError();
        ASSERT_EQ(proxy.AddTrackPlayer(track), 1);
    }

    // Drains the mailbox as the window's timer does until done() holds.
    bool Until(const std::function<bool()>& done)
    {
        return WaitUntil(
            [&] {
                proxy.GetMailbox().Drain(sink);
                return done();
            },
            kWait);
    }

    // Plays key on the keyboard until live thru brings it to the instrument (the take, if one
    // runs, has it then); false when it never arrives.
    bool PlayHeard(CJackPeer& keys, CJackPeer& synth, uint8_t key)
    {
        const auto heard = [&] {
            for (const SReceivedEvent& event : synth.WaitFor(0, 0ms))
                if (event.bytes.size() == 3 && event.bytes[1] == key) return true;
            return false;
        };
        return WaitUntil(
            [&] {
                keys.Send({0x90, key, 100});
                keys.Send({0x80, key, 0});
                return WaitUntil(heard, 300ms);
            },
            kWait);
    }

    CJackTestServer server;
    CMemoryProfile profile;
    CTrack track;
    CJackBackend backend;
    CMidiEngineProxy proxy;
    CMidiEngine engine{backend, proxy.GetMailbox()};
    CRigSink sink;
};

} // namespace

// The server is killed while the song plays, with or without a take running: playback stops,
// the take keeps what was played, the window is told (not once per driver), and when the server
// is back the instrument and the keyboard reconnect by name on their own and a note played then
// is heard.
void JackRigTest::KillTheServerWhilePlaying(bool recording)
{
    auto synth = std::make_unique<CJackPeer>("twsynth");
    auto keys = std::make_unique<CJackPeer>("twkeys");
    StartEngine();
    ASSERT_EQ(proxy.SetRecording(recording), 1);
    ASSERT_EQ(proxy.Play(), 1);
    ASSERT_TRUE(PlayHeard(*keys, *synth, 60));

    // The test's own clients leave first, as every client's ports do when a server shuts down
    // politely: libjack keeps one view of the server per process, and a client of the old server
    // left in it would hide the new one from the backend.
    synth.reset();
    keys.reset();
    server.Kill();
    ASSERT_TRUE(Until([&] { return sink.serverLost && !proxy.IsPlaying(); }));
    // The clients' ports go before the server: the window may hear of a device before it hears
    // of the server, never of each driver.
    EXPECT_LE(sink.lost, 2);
    if (recording) {
        ASSERT_TRUE(Until([&] { return !sink.takes.empty(); }));
        EXPECT_EQ(KeysOf(*sink.takes.front()).front(), 60) << "what was played is kept";
    }

    ASSERT_TRUE(server.Start());
    synth = std::make_unique<CJackPeer>("twsynth");
    keys = std::make_unique<CJackPeer>("twkeys");
    ASSERT_TRUE(synth->IsOpen() && keys->IsOpen());
    const int lost = sink.lost;
    ASSERT_TRUE(Until([&] { return sink.back == 1; }));
    EXPECT_EQ(sink.lost, lost) << "nothing more went";
    ASSERT_TRUE(PlayHeard(*keys, *synth, 62)) << "keyboard and instrument are back";
}

TEST_F(JackRigTest, AServerKilledDuringPlayComesBackWithEveryDriverByName)
{
    KillTheServerWhilePlaying(false);
}

TEST_F(JackRigTest, AServerKilledDuringRecordKeepsTheTakeAndComesBack)
{
    KillTheServerWhilePlaying(true);
}

// An instrument that quits and starts again, and a keyboard whose port goes and comes back,
// reconnect under their names without anyone touching the devices; a client that starts after
// the engine is listed and, since the settings route it, connected at once.
TEST_F(JackRigTest, ClientsThatReturnOrArriveLateAreConnectedByName)
{
    auto synth = std::make_unique<CJackPeer>("twsynth");
    auto keys = std::make_unique<CJackPeer>("twkeys");
    StartEngine();
    ASSERT_TRUE(PlayHeard(*keys, *synth, 60));

    synth->Close();
    ASSERT_TRUE(Until([&] { return sink.lost == 1; }));
    EXPECT_FALSE(sink.serverLost);
    synth = std::make_unique<CJackPeer>("twsynth");
    ASSERT_TRUE(Until([&] { return sink.back == 1; }));
    ASSERT_TRUE(PlayHeard(*keys, *synth, 61)) << "the instrument that came back";

    keys.reset(); // the keyboard unplugged...
    ASSERT_TRUE(Until([&] { return sink.lost == 2; }));
    keys = std::make_unique<CJackPeer>("twkeys"); // ... and plugged in again
    ASSERT_TRUE(Until([&] { return sink.back == 2; }));
    ASSERT_TRUE(PlayHeard(*keys, *synth, 62)) << "the keyboard that came back";

    CJackPeer late("twlate");
    ASSERT_TRUE(Until([&] {
        proxy.RescanDevices(); // a command: what the music thread did so far is seen from here
        const CMidiDevices& devices = engine.GetDevices();
        const CMidiNode* out = devices.GetOutputPort(1)->GetFirstOutput();
        return out != nullptr && out->GetNodeName() == "twlate:in";
    })) << "the late instrument is routed as the settings say";
    const CMidiNode* in = engine.GetDevices().GetInputPort(1)->GetFirstInput();
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(in->GetNodeName(), "twlate:out");
}
