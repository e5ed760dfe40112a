#include "engine/DeviceSettings.h"

#include "devices/virtual/VirtualBackend.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "model/Profile.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace DeviceSettings;
using C = CSequencerClock;
using M = CMetronome;
constexpr CNodeAddress kClock{9, 0};
constexpr CNodeAddress kMetronomeAddress{8, 0};

// A memory profile that also keeps every read and write, in order.
class CLoggingProfile : public CMemoryProfile {
public:
    int32_t GetInt(const std::string& section, const std::string& key, int32_t def) const override
    {
        reads.push_back(section + "/" + key);
        return CMemoryProfile::GetInt(section, key, def);
    }
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& def) const override
    {
        reads.push_back(section + "/" + key);
        return CMemoryProfile::GetString(section, key, def);
    }
    void SetInt(const std::string& section, const std::string& key, int32_t value) override
    {
        writes.push_back(section + "/" + key);
        CMemoryProfile::SetInt(section, key, value);
    }
    void SetString(const std::string& section, const std::string& key,
                   const std::string& value) override
    {
        writes.push_back(section + "/" + key);
        CMemoryProfile::SetString(section, key, value);
    }

    mutable std::vector<std::string> reads;
    std::vector<std::string> writes;
};

// One engine on a virtual backend with the given device names, run inline.
struct SRig {
    SRig(std::vector<std::string> outputs, std::vector<std::string> inputs)
        : backend(std::move(outputs), std::move(inputs))
    {
        proxy.AttachEngine(&engine);
    }
    ~SRig() { proxy.ShutDown(); }

    bool Start(const CProfile& profile) { return StartEngineWithSettings(proxy, profile, false); }
    CMidiDevices& Devices() { return engine.GetDevices(); }
    // Name of the driver a port is routed to, empty when none.
    std::string InputPortDriver(int32_t port)
    {
        const CMidiNode* in = Devices().GetInputPort(port)->GetFirstInput();
        return in != nullptr ? in->GetNodeName() : "";
    }
    const CMidiNode* OutputPortDriver(int32_t port)
    {
        return Devices().GetOutputPort(port)->GetFirstOutput();
    }
    intptr_t Clock(int32_t code) { return proxy.GetNodeParameter(kClock, code); }
    intptr_t Metronome(int32_t code) { return proxy.GetNodeParameter(kMetronomeAddress, code); }

    CVirtualBackend backend;
    CMidiEngineProxy proxy;
    CMidiEngine engine{backend, proxy.GetMailbox()};
};

TEST(DeviceSettings, FreshProfileOpensEveryDeviceAndAppliesEveryDefault)
{
    SRig rig({"Synth A", "Synth B"}, {"Keys", "Pads"});
    CMemoryProfile profile;
    ASSERT_TRUE(rig.Start(profile));
    for (int32_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(rig.Devices().GetOutDriver(i)->IsEnabled());
        EXPECT_TRUE(rig.backend.IsOutputOpen(i));
        EXPECT_FALSE(rig.Devices().GetOutDriver(i)->IsClockSend());
        EXPECT_TRUE(rig.Devices().GetInDriver(i)->IsEnabled());
        EXPECT_TRUE(rig.backend.IsInputOpen(i));
    }
    for (int32_t port = 0; port < 4; ++port) {
        EXPECT_EQ(rig.InputPortDriver(port), "");
        EXPECT_EQ(rig.Devices().GetInputPort(port)->GetChannelFilter(), 255);
    }
    for (int32_t port = 0; port < 8; ++port)
        EXPECT_EQ(rig.OutputPortDriver(port), nullptr);
    EXPECT_EQ(rig.Devices().GetRecordNode().GetFirstInput(), nullptr);
    EXPECT_EQ(rig.Devices().GetRecordNode().GetChannelFilter(), 255);

    EXPECT_EQ(rig.Clock(C::kInternalClock), 1);
    EXPECT_EQ(rig.Clock(C::kClockInDriver), 0xFFFF);
    EXPECT_EQ(rig.Clock(C::kIgnoreSongPosition), 0);
    EXPECT_EQ(rig.Clock(C::kClockOut), 0);
    EXPECT_EQ(rig.Clock(C::kSendSongPosition), 1);
    EXPECT_EQ(rig.Clock(C::kSendClockWhenStopped), 0); // the stored default, not the engine's 1

    EXPECT_EQ(rig.Metronome(M::kActive), 0);
    const std::vector<intptr_t> clicks = {60, 127, 0, 60, 127, 0}; // the beat key is 60, not 52
    for (int32_t code = M::kBarKey; code <= M::kBeatChannel; ++code)
        EXPECT_EQ(rig.Metronome(code), clicks[static_cast<size_t>(code - M::kBarKey)]) << code;
    EXPECT_TRUE(rig.engine.GetMetronome().GetOutputAddress().IsNone());

    CRecordSettings expected;
    expected.recordControlChange = true;
    expected.recordPitchBend = true;
    expected.suppressRedundant = true;
    EXPECT_EQ(rig.engine.GetPlayControl().GetRecordSettings(), expected);
}

TEST(DeviceSettings, WritesEveryValueInItsOrderAndReadsThemBackByName)
{
    CLoggingProfile profile;
    {
        SRig rig({"Synth A", "Synth B"}, {"Keys", "Pads"});
        ASSERT_TRUE(rig.Start(profile));
        CMidiEngineProxy& p = rig.proxy;
        ASSERT_EQ(p.RouteInputPort(2, 1), 1);
        ASSERT_EQ(p.SetNodeParameter({4, 2}, 1, 9), 1);
        ASSERT_EQ(p.RouteOutputPort(0, 1), 1);
        ASSERT_EQ(p.RouteOutputPort(5, 0), 1);
        ASSERT_EQ(p.RouteRecordNode(0), 1);
        ASSERT_EQ(p.SetNodeParameter({5, 0}, 1, 3), 1);
        ASSERT_EQ(p.SetNodeParameter({2, 1}, CMidiOutDriver::kParamClockSend, 1), 1);
        ASSERT_EQ(p.ToggleInputDriverEnabled(1), 1); // "Pads" off; Inp3 keeps its routing
        const std::vector<std::pair<int32_t, int64_t>> clock = {
            {C::kInternalClock, 0}, {C::kClockInDriver, 1},    {C::kIgnoreSongPosition, 1},
            {C::kClockOut, 1},      {C::kSendSongPosition, 0}, {C::kSendClockWhenStopped, 1}};
        for (const auto& [code, value] : clock)
            ASSERT_EQ(p.SetNodeParameter(kClock, code, value), 1);
        const CNodeAddress out{2, 1};
        ASSERT_EQ(
            p.SetNodeParameter(kMetronomeAddress, M::kOutput, reinterpret_cast<intptr_t>(&out)), 1);
        const std::vector<int64_t> metronome = {1, 0, 70, 100, 9, 40, 90, 10};
        for (int32_t code = M::kActive; code <= M::kBeatChannel; ++code) {
            if (code == M::kOutput) continue;
            const int64_t value = metronome[static_cast<size_t>(code - 1)];
            ASSERT_EQ(p.SetNodeParameter(kMetronomeAddress, code, value), 1);
        }
        CRecordSettings record;
        record.recordPolyPressure = true;
        record.recordPitchBend = false;
        record.quantizeGrid = 24;
        record.clipSnapGrid = 96;
        ASSERT_EQ(p.SetRecordSettings(record), 1);
        EXPECT_EQ(ShutDownEngineWithSettings(p, profile), 1);
    }

    const std::vector<std::string> order = {"Metronome/Active",
                                            "Metronome/Output",
                                            "Metronome/Hi-Note",
                                            "Metronome/Hi-Vel",
                                            "Metronome/Hi-Ch",
                                            "Metronome/Lo-Note",
                                            "Metronome/Lo-Vel",
                                            "Metronome/Lo-Ch",
                                            "Transport/Master",
                                            "Transport/MclkIn-Driver",
                                            "Transport/MclkIn-IgnoreSpp",
                                            "Transport/MclkOut-Active",
                                            "Transport/MclkOut-SendSpp",
                                            "Transport/MclkOut-SendClockWhenStopped",
                                            "MIDI OUT Drivers/Synth A",
                                            "MIDI OUT Drivers MclkSend/Synth A",
                                            "MIDI OUT Drivers/Synth B",
                                            "MIDI OUT Drivers MclkSend/Synth B",
                                            "MIDI IN Drivers/Keys",
                                            "MIDI IN Drivers/Pads",
                                            "Port Drivers/In1",
                                            "Port Channel/In1",
                                            "Port Drivers/In2",
                                            "Port Channel/In2",
                                            "Port Drivers/In3",
                                            "Port Channel/In3",
                                            "Port Drivers/In4",
                                            "Port Channel/In4",
                                            "Port Drivers/Out1",
                                            "Port Drivers/Out2",
                                            "Port Drivers/Out3",
                                            "Port Drivers/Out4",
                                            "Port Drivers/Out5",
                                            "Port Drivers/Out6",
                                            "Port Drivers/Out7",
                                            "Port Drivers/Out8",
                                            "Port Drivers/Rec",
                                            "Port Channel/Rec",
                                            "Recording/PolyPressure",
                                            "Recording/ControlChange",
                                            "Recording/ProgramChange",
                                            "Recording/ChannelAftertouch",
                                            "Recording/PitchBender",
                                            "Recording/SupressEvents",
                                            "Recording/QuantizeData",
                                            "Recording/SnapClips"};
    EXPECT_EQ(profile.writes, order);
    EXPECT_EQ(profile.GetString(kPortDrivers, "In3", "?"), "Pads");
    EXPECT_EQ(profile.GetString(kPortDrivers, "In1", "?"), "");
    EXPECT_EQ(profile.GetString(kPortDrivers, "Out1", "?"), "Synth B");
    EXPECT_EQ(profile.GetString(kPortDrivers, "Out2", "?"), kNoDriver);
    EXPECT_EQ(profile.GetInt(kInDrivers, "Pads", -1), 0);
    EXPECT_EQ(profile.GetInt(kMetronome, "Output", -2), 1);

    // The devices come back in another order: everything follows them by name.
    SRig rig({"Synth B", "Synth A"}, {"Pads", "Keys"});
    ASSERT_TRUE(rig.Start(profile));
    EXPECT_FALSE(rig.backend.IsInputOpen(0)); // "Pads" stays disabled ...
    EXPECT_FALSE(rig.Devices().GetInDriver(0)->IsEnabled());
    EXPECT_EQ(rig.InputPortDriver(2), ""); // ... so its port cannot be routed to it
    EXPECT_EQ(rig.Devices().GetInputPort(2)->GetChannelFilter(), 9);
    EXPECT_EQ(rig.OutputPortDriver(0), rig.Devices().GetOutDriver(0)); // "Synth B"
    EXPECT_EQ(rig.OutputPortDriver(5), rig.Devices().GetOutDriver(1)); // "Synth A"
    EXPECT_EQ(rig.OutputPortDriver(1), nullptr);
    EXPECT_EQ(rig.Devices().GetRecordNode().GetFirstInput(), rig.Devices().GetInDriver(1));
    EXPECT_EQ(rig.Devices().GetRecordNode().GetChannelFilter(), 3);
    EXPECT_TRUE(rig.Devices().GetOutDriver(0)->IsClockSend());
    EXPECT_FALSE(rig.Devices().GetOutDriver(1)->IsClockSend());
    EXPECT_EQ(rig.Clock(C::kInternalClock), 0);
    EXPECT_EQ(rig.Clock(C::kClockInDriver), 1); // an index: it does not follow the name
    EXPECT_EQ(rig.Clock(C::kIgnoreSongPosition), 1);
    EXPECT_EQ(rig.Clock(C::kClockOut), 1);
    EXPECT_EQ(rig.Clock(C::kSendSongPosition), 0);
    EXPECT_EQ(rig.Clock(C::kSendClockWhenStopped), 1);
    EXPECT_EQ(rig.Metronome(M::kActive), 1);
    EXPECT_EQ(rig.engine.GetMetronome().GetOutputAddress(), (CNodeAddress{2, 1}));
    EXPECT_EQ(rig.engine.GetMetronome().GetFirstOutput(), rig.Devices().GetOutDriver(1));
    EXPECT_EQ(rig.Metronome(M::kBarKey), 70);
    EXPECT_EQ(rig.Metronome(M::kBeatChannel), 10);
    const CRecordSettings& record = rig.engine.GetPlayControl().GetRecordSettings();
    EXPECT_TRUE(record.recordPolyPressure);
    EXPECT_FALSE(record.recordPitchBend);
    EXPECT_EQ(record.quantizeGrid, 24);
    EXPECT_EQ(record.clipSnapGrid, 96);
}

TEST(DeviceSettings, RenamedDeviceStartsFreshAndItsOldNameIsKept)
{
    CMemoryProfile profile;
    profile.SetInt(kOutDrivers, "Old Synth", 0);
    profile.SetInt(kOutDriversClockSend, "Old Synth", 1);
    profile.SetString(kPortDrivers, "Out1", "Old Synth");
    SRig rig({"New Synth"}, {});
    ASSERT_TRUE(rig.Start(profile));
    EXPECT_TRUE(rig.backend.IsOutputOpen(0));
    EXPECT_FALSE(rig.Devices().GetOutDriver(0)->IsClockSend());
    EXPECT_EQ(rig.OutputPortDriver(0), nullptr);
    SaveDeviceSettings(profile, rig.proxy);
    // The old device's values wait for it to come back under its name.
    EXPECT_EQ(profile.GetInt(kOutDrivers, "Old Synth", -1), 0);
    EXPECT_EQ(profile.GetInt(kOutDriversClockSend, "Old Synth", -1), 1);
    EXPECT_EQ(profile.GetInt(kOutDrivers, "New Synth", -1), 1);
    EXPECT_EQ(profile.GetString(kPortDrivers, "Out1", "?"), "Old Synth");
}

TEST(DeviceSettings, ClosedDriverKeepsItsPortRoutingByName)
{
    CMemoryProfile profile;
    {
        SRig rig({"Synth A", "Synth B"}, {"Keys"});
        ASSERT_TRUE(rig.Start(profile));
        ASSERT_EQ(rig.proxy.RouteOutputPort(3, 1), 1);
        ASSERT_EQ(rig.proxy.RouteInputPort(0, 0), 1);
        ASSERT_EQ(rig.proxy.ToggleOutputDriverEnabled(1), 1);
        ASSERT_EQ(rig.proxy.ToggleInputDriverEnabled(0), 1);
        EXPECT_FALSE(rig.backend.IsOutputOpen(1));
        ASSERT_EQ(ShutDownEngineWithSettings(rig.proxy, profile), 1);
    }
    EXPECT_EQ(profile.GetString(kPortDrivers, "Out4", "?"), "Synth B");
    EXPECT_EQ(profile.GetString(kPortDrivers, "In1", "?"), "Keys");
    EXPECT_EQ(profile.GetInt(kOutDrivers, "Synth B", -1), 0);

    SRig rig({"Synth A", "Synth B"}, {"Keys"});
    ASSERT_TRUE(rig.Start(profile));
    EXPECT_FALSE(rig.backend.IsOutputOpen(1));
    EXPECT_EQ(rig.OutputPortDriver(3), nullptr); // the routing command fails on a closed driver
    EXPECT_EQ(rig.InputPortDriver(0), "");
    // Enabled again by the dialog, the device is there to be routed once more.
    ASSERT_EQ(rig.proxy.ToggleOutputDriverEnabled(1), 1);
    EXPECT_TRUE(rig.backend.IsOutputOpen(1));
}

TEST(DeviceSettings, DevicesOfOneNameShareTheirValuesAndRoutingPicksTheFirst)
{
    CMemoryProfile profile;
    profile.SetInt(kOutDriversClockSend, "Twin", 1);
    profile.SetInt(kInDrivers, "Twin In", 0);
    profile.SetString(kPortDrivers, "Out2", "Twin");
    profile.SetString(kPortDrivers, "Out3", "twin"); // names compare exactly
    profile.SetString(kPortDrivers, "Rec", "Solo In");
    SRig rig({"Other", "Twin", "Twin"}, {"Twin In", "Solo In", "Twin In"});
    ASSERT_TRUE(rig.Start(profile));
    EXPECT_TRUE(rig.Devices().GetOutDriver(1)->IsClockSend());
    EXPECT_TRUE(rig.Devices().GetOutDriver(2)->IsClockSend());
    EXPECT_FALSE(rig.Devices().GetOutDriver(0)->IsClockSend());
    EXPECT_FALSE(rig.backend.IsInputOpen(0));
    EXPECT_FALSE(rig.backend.IsInputOpen(2));
    EXPECT_TRUE(rig.backend.IsInputOpen(1));
    EXPECT_EQ(rig.OutputPortDriver(1), rig.Devices().GetOutDriver(1));
    EXPECT_EQ(rig.OutputPortDriver(2), nullptr);
    EXPECT_EQ(rig.Devices().GetRecordNode().GetFirstInput(), rig.Devices().GetInDriver(1));
}

TEST(DeviceSettings, StoredValuesAreMaskedAndAFailedStartReadsAndWritesNothing)
{
    CLoggingProfile profile;
    profile.SetInt(kMetronome, "Hi-Note", 200); // 200 & 0x7F
    profile.SetInt(kMetronome, "Hi-Ch", 17);    // 17 & 0x0F
    profile.SetInt(kMetronome, "Lo-Vel", -1);   // 0x7F
    profile.SetInt(kPortChannel, "In1", 0x102); // low 8 bits: 2
    profile.SetInt(kMetronome, "Output", 7);    // no such driver: stays unconnected
    {
        SRig rig({"Synth A"}, {"Keys"});
        ASSERT_TRUE(rig.Start(profile));
        EXPECT_EQ(rig.Metronome(M::kBarKey), 72);
        EXPECT_EQ(rig.Metronome(M::kBarChannel), 1);
        EXPECT_EQ(rig.Metronome(M::kBeatVelocity), 127);
        EXPECT_EQ(rig.Devices().GetInputPort(0)->GetChannelFilter(), 2);
        EXPECT_EQ(rig.engine.GetMetronome().GetFirstOutput(), nullptr);
    }
    profile.reads.clear();
    profile.writes.clear();
    SRig rig({"Synth A"}, {"Keys"});
    rig.backend.SetStartFailure("no MIDI here");
    EXPECT_FALSE(rig.Start(profile));
    EXPECT_EQ(ShutDownEngineWithSettings(rig.proxy, profile), 1);
    EXPECT_TRUE(profile.reads.empty());
    EXPECT_TRUE(profile.writes.empty());
}

} // namespace

TEST(DeviceSettings, OutputsGoToTheBuiltInSynthesizerUntilARoutingIsStored)
{
    const struct {
        std::vector<std::pair<std::string, std::string>> stored; // Port Drivers key, value
        std::vector<std::string> expected;                       // driver of Out1..Out8
    } cases[] = {
        {{}, std::vector<std::string>(8, kSynthDeviceName)},
        {{{"Out1", "Synth A"}}, {"Synth A", "", "", "", "", "", "", ""}},
        {{{"Out3", kNoDriver}}, std::vector<std::string>(8, "")},
        {{{"In1", "Keys"}}, std::vector<std::string>(8, kSynthDeviceName)},
    };
    for (const auto& c : cases) {
        SRig rig({"Synth A", kSynthDeviceName}, {"Keys"});
        CMemoryProfile profile;
        for (const auto& [key, value] : c.stored)
            profile.SetString(kPortDrivers, key, value);
        ASSERT_TRUE(rig.Start(profile));
        for (int32_t port = 0; port < 8; ++port) {
            const CMidiNode* driver = rig.OutputPortDriver(port);
            EXPECT_EQ(driver != nullptr ? driver->GetNodeName() : "",
                      c.expected[static_cast<size_t>(port)])
                << "Out" << port + 1 << " with " << c.stored.size() << " stored";
        }
    }
}

TEST(DeviceSettings, SynthOptionsRoundTripAndKeepTheVolumeInRange)
{
    const struct {
        int stored;
        int read;
    } volumes[] = {{100, 100}, {0, 0}, {150, 150}, {999, SSynthOptions::kMaxVolume}, {-5, 0}};
    for (const auto& v : volumes) {
        CMemoryProfile profile;
        profile.SetInt(kSynth, "Volume", v.stored);
        profile.SetString(kSynth, "SoundFont", "/fonts/a b.sf2");
        const SSynthOptions options = ReadSynthOptions(profile);
        EXPECT_EQ(options.volume, v.read);
        EXPECT_EQ(options.soundFont, "/fonts/a b.sf2");
        CMemoryProfile written;
        WriteSynthOptions(written, options);
        EXPECT_EQ(written.GetInt(kSynth, "Volume", -1), v.read);
    }
    const SSynthOptions fresh = ReadSynthOptions(CMemoryProfile());
    EXPECT_EQ(fresh.volume, SSynthOptions::kDefaultVolume);
    EXPECT_EQ(fresh.soundFont, "");
}

namespace {

// The engine's device notices as the window gets them.
class CNoticeSink : public CEngineNotificationSink {
public:
    void OnDevicesLost(bool serverLost) override
    {
        notices.push_back(serverLost ? "server lost" : "lost");
    }
    void OnDevicesBack() override { notices.push_back("back"); }
    std::vector<std::string> notices;
};

std::vector<std::string> DrainNotices(SRig& rig)
{
    CNoticeSink sink;
    rig.proxy.GetMailbox().Drain(sink);
    return sink.notices;
}

CMemoryProfile RoutedProfile()
{
    CMemoryProfile profile;
    profile.SetString(kPortDrivers, "Out1", "Synth A");
    profile.SetString(kPortDrivers, "Out2", "Synth B");
    profile.SetString(kPortDrivers, "In1", "Keys");
    profile.SetString(kPortDrivers, "Rec", "Keys");
    return profile;
}

} // namespace

// A server that goes takes every device with it: playback stops, the window hears of it once,
// and once the devices are back every driver opens again on its own, its routing as it was.
TEST(DeviceFollowing, ALostServerStopsPlaybackAndEveryDriverComesBackByName)
{
    SRig rig({"Synth A", "Synth B"}, {"Keys"});
    ASSERT_TRUE(rig.Start(RoutedProfile()));
    ASSERT_EQ(rig.proxy.Play(), 1);
    DrainNotices(rig);
    for (const auto& [output, index] : {std::pair{true, 0}, {true, 1}, {false, 0}}) {
        rig.backend.InjectFault(output, index, "The JACK server has stopped.", true);
        rig.backend.SetPresent(output, index, false);
    }
    rig.engine.TimeoutPass();
    EXPECT_FALSE(rig.engine.GetClock().IsPlaying());
    EXPECT_TRUE(rig.Devices().GetOpenOutDrivers().empty());
    EXPECT_TRUE(rig.Devices().GetOpenInDrivers().empty());
    EXPECT_EQ(DrainNotices(rig), std::vector<std::string>{"server lost"}) << "said once";
    EXPECT_EQ(rig.Devices().GetOutDriver(0)->GetProblem(), "The JACK server has stopped.");

    rig.engine.TimeoutPass();
    EXPECT_TRUE(DrainNotices(rig).empty()) << "nothing back, nothing said";
    for (const auto& [output, index] : {std::pair{true, 0}, {true, 1}, {false, 0}})
        rig.backend.SetPresent(output, index, true);
    rig.engine.TimeoutPass();
    EXPECT_EQ(rig.Devices().GetOpenOutDrivers().size(), 2u);
    EXPECT_TRUE(rig.backend.IsInputOpen(0));
    EXPECT_EQ(rig.OutputPortDriver(0), rig.Devices().GetOutDriver(0));
    EXPECT_EQ(rig.OutputPortDriver(1), rig.Devices().GetOutDriver(1));
    EXPECT_EQ(rig.InputPortDriver(0), "Keys");
    EXPECT_EQ(rig.Devices().GetRecordNode().GetFirstInput(), rig.Devices().GetInDriver(0));
    EXPECT_EQ(rig.Devices().GetOutDriver(0)->GetProblem(), "");
    EXPECT_EQ(DrainNotices(rig), std::vector<std::string>{"back"});
}

// Devices that leave one by one come back one by one; the window hears "back" only when the last
// is, playback goes on meanwhile, and a driver switched off while away is not waited for.
TEST(DeviceFollowing, DevicesComeBackSeparatelyAndTheNoticeWaitsForTheLast)
{
    SRig rig({"Synth A", "Synth B"}, {"Keys"});
    ASSERT_TRUE(rig.Start(RoutedProfile()));
    ASSERT_EQ(rig.proxy.Play(), 1);
    rig.backend.SetPresent(false, 0, false);
    rig.backend.SetPresent(true, 1, false);
    rig.engine.TimeoutPass();
    EXPECT_TRUE(rig.engine.GetClock().IsPlaying()) << "one device gone is no reason to stop";
    EXPECT_EQ(DrainNotices(rig), std::vector<std::string>{"lost"});

    rig.backend.SetPresent(false, 0, true);
    rig.engine.TimeoutPass();
    EXPECT_TRUE(rig.backend.IsInputOpen(0));
    EXPECT_TRUE(DrainNotices(rig).empty()) << "Synth B is still away";

    rig.backend.SetPresent(false, 0, false);
    rig.engine.TimeoutPass();
    ASSERT_EQ(rig.proxy.ToggleInputDriverEnabled(0), 1); // the user gives up on the keys
    rig.backend.SetPresent(true, 1, true);
    rig.engine.TimeoutPass();
    EXPECT_TRUE(rig.backend.IsOutputOpen(1));
    // The keys went again while Synth B was still away: the same outage, no second notice.
    EXPECT_EQ(DrainNotices(rig), std::vector<std::string>{"back"});
    rig.backend.SetPresent(false, 0, true);
    rig.engine.TimeoutPass();
    EXPECT_FALSE(rig.backend.IsInputOpen(0)) << "switched off stays off";
}

// A device that appears while the engine runs is listed; it opens unless the settings switched
// it off, and the ports that name it are routed to it. Without stored settings (the command
// line's own choices) it is only listed.
TEST(DeviceFollowing, DevicesThatAppearAreOpenedAndRoutedAsTheSettingsSay)
{
    for (const bool withSettings : {true, false}) {
        SCOPED_TRACE(withSettings ? "with settings" : "without");
        SRig rig({"Synth A"}, {"Keys"});
        CMemoryProfile profile;
        profile.SetString(kPortDrivers, "Out3", "Late Synth");
        profile.SetString(kPortDrivers, "In2", "Late Keys");
        profile.SetString(kPortDrivers, "Rec", "Late Keys");
        profile.SetInt(kOutDrivers, "Off Synth", 0);
        if (withSettings)
            ASSERT_TRUE(rig.Start(profile));
        else
            ASSERT_EQ(rig.proxy.Initialise(false), 1);
        rig.backend.AddDevice(true, "Off Synth");
        rig.backend.AddDevice(true, "Late Synth");
        rig.backend.AddDevice(false, "Late Keys");
        rig.engine.TimeoutPass();
        ASSERT_EQ(rig.Devices().GetOutDriverCount(), 3);
        ASSERT_EQ(rig.Devices().GetInDriverCount(), 2);
        EXPECT_EQ(rig.Devices().GetOutDriver(2)->GetNodeName(), "Late Synth");
        EXPECT_FALSE(rig.backend.IsOutputOpen(1)) << "switched off, or never asked for";
        EXPECT_EQ(rig.backend.IsOutputOpen(2), withSettings);
        EXPECT_EQ(rig.backend.IsInputOpen(1), withSettings);
        EXPECT_EQ(rig.OutputPortDriver(2),
                  withSettings ? rig.Devices().GetOutDriver(2) : nullptr);
        EXPECT_EQ(rig.InputPortDriver(1), withSettings ? "Late Keys" : "");
        EXPECT_EQ(rig.Devices().GetRecordNode().GetFirstInput(),
                  withSettings ? rig.Devices().GetInDriver(1) : nullptr);
        EXPECT_EQ(rig.OutputPortDriver(0), nullptr) << "no other port is touched";
    }
}
