#include "engine/DeviceSettings.h"

#include "engine/Metronome.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "engine/PlayControl.h"
#include "engine/SequencerClock.h"
#include "model/Profile.h"

#include <algorithm>
#include <string>

using namespace DeviceSettings;

namespace {

using C = CSequencerClock;
using M = CMetronome;

constexpr uint16_t kOutDriverKind = static_cast<uint16_t>(ENodeKind::MidiOutDriver);
constexpr uint16_t kInputPortKind = static_cast<uint16_t>(ENodeKind::InputPort);
constexpr int32_t kAnyChannel = 255;
constexpr int32_t kNoOutput = -1;

// The clock's sync settings as stored, in the order they are applied and written.
struct STransportValue {
    const char* name;
    int32_t code;
    int32_t def;
};
constexpr STransportValue kTransportValues[] = {
    {"Master", C::kInternalClock, 1},
    {"MclkIn-Driver", C::kClockInDriver, C::kNoClockInDriver},
    {"MclkIn-IgnoreSpp", C::kIgnoreSongPosition, 0},
    {"MclkOut-Active", C::kClockOut, 0},
    {"MclkOut-SendSpp", C::kSendSongPosition, 1},
    {"MclkOut-SendClockWhenStopped", C::kSendClockWhenStopped, 0},
};

// The metronome's clicks as stored, with the mask the stored value passes through.
struct SMetronomeValue {
    const char* name;
    int32_t code;
    int32_t def;
    int32_t mask;
};
constexpr SMetronomeValue kClickValues[] = {
    {"Hi-Note", M::kBarKey, 60, 0x7F},       {"Hi-Vel", M::kBarVelocity, 127, 0x7F},
    {"Hi-Ch", M::kBarChannel, 0, 0x0F},      {"Lo-Note", M::kBeatKey, 60, 0x7F},
    {"Lo-Vel", M::kBeatVelocity, 127, 0x7F}, {"Lo-Ch", M::kBeatChannel, 0, 0x0F},
};

std::string PortKey(const char* prefix, int32_t index)
{
    return prefix + std::to_string(index + 1);
}

const CMidiDevices& DevicesOf(const CMidiEngineProxy& proxy)
{
    return proxy.GetEngine()->GetDevices();
}

// The first driver of exactly this name, or -1.
template <class TGet> int32_t FindDriver(const std::string& name, int32_t count, TGet get)
{
    if (name.empty()) return -1;
    for (int32_t i = 0; i < count; ++i) {
        if (get(i)->GetNodeName() == name) return i;
    }
    return -1;
}

int32_t FindInDriver(const CMidiDevices& devices, const std::string& name)
{
    return FindDriver(name, devices.GetInDriverCount(),
                      [&](int32_t i) { return devices.GetInDriver(i); });
}

int32_t FindOutDriver(const CMidiDevices& devices, const std::string& name)
{
    return FindDriver(name, devices.GetOutDriverCount(),
                      [&](int32_t i) { return devices.GetOutDriver(i); });
}

void LoadOutDrivers(const CProfile& profile, CMidiEngineProxy& proxy)
{
    const CMidiDevices& devices = DevicesOf(proxy);
    for (int32_t i = 0; i < devices.GetOutDriverCount(); ++i) {
        CMidiOutDriver& driver = *devices.GetOutDriver(i);
        const bool enabled = profile.GetInt(kOutDrivers, driver.GetNodeName(), 1) != 0;
        driver.SetEnabled(enabled);
        if (enabled) proxy.OpenOutputDriver(i);
        const bool clockSend = profile.GetInt(kOutDriversClockSend, driver.GetNodeName(), 0) != 0;
        proxy.SetNodeParameter({kOutDriverKind, i}, CMidiOutDriver::kParamClockSend,
                               clockSend ? 1 : 0);
    }
}

void LoadInDrivers(const CProfile& profile, CMidiEngineProxy& proxy)
{
    const CMidiDevices& devices = DevicesOf(proxy);
    for (int32_t i = 0; i < devices.GetInDriverCount(); ++i) {
        CMidiInDriver& driver = *devices.GetInDriver(i);
        const bool enabled = profile.GetInt(kInDrivers, driver.GetNodeName(), 1) != 0;
        driver.SetEnabled(enabled);
        if (enabled) proxy.OpenInputDriver(i);
    }
}

void LoadChannelFilter(const CProfile& profile, CMidiEngineProxy& proxy, const std::string& key,
                       const CNodeAddress& port)
{
    const int32_t channel = profile.GetInt(kPortChannel, key, kAnyChannel) & 0xFF;
    proxy.SetNodeParameter(port, CInputFilterNode::kParamChannelFilter, channel);
}

// True when no output port's routing was ever stored (a new installation).
bool HasNoOutputRouting(const CProfile& profile)
{
    constexpr char kAbsent[] = "\x01";
    for (int32_t port = 0; port < COutputPort::kCount; ++port)
        if (profile.GetString(kPortDrivers, PortKey("Out", port), kAbsent) != kAbsent) return false;
    return true;
}

// The names a section stores as 0: the devices switched off, listed or not.
std::vector<std::string> DisabledNames(const CProfile& profile, const char* section)
{
    std::vector<std::string> names;
    for (const std::string& key : profile.GetKeys(section))
        if (profile.GetInt(section, key, 1) == 0) names.push_back(key);
    return names;
}

// What the settings say of devices by name: the routing applied now, and kept by the engine for
// devices that come while it runs.
SDeviceWishes ReadWishes(const CProfile& profile)
{
    SDeviceWishes wishes;
    wishes.disabledOutputs = DisabledNames(profile, kOutDrivers);
    wishes.disabledInputs = DisabledNames(profile, kInDrivers);
    for (int32_t port = 0; port < CInputPort::kCount; ++port)
        wishes.inputPorts[static_cast<size_t>(port)] =
            profile.GetString(kPortDrivers, PortKey("In", port), "");
    for (int32_t port = 0; port < COutputPort::kCount; ++port) {
        std::string name = profile.GetString(kPortDrivers, PortKey("Out", port), "");
        wishes.outputPorts[static_cast<size_t>(port)] = name == kNoDriver ? std::string() : name;
    }
    wishes.record = profile.GetString(kPortDrivers, "Rec", "");
    return wishes;
}

void LoadInputPorts(const CProfile& profile, const SDeviceWishes& wishes, CMidiEngineProxy& proxy)
{
    for (int32_t port = 0; port < CInputPort::kCount; ++port) {
        const int32_t driver =
            FindInDriver(DevicesOf(proxy), wishes.inputPorts[static_cast<size_t>(port)]);
        if (driver >= 0) proxy.RouteInputPort(port, driver);
        LoadChannelFilter(profile, proxy, PortKey("In", port), {kInputPortKind, port});
    }
}

void LoadOutputPorts(const CProfile& profile, const SDeviceWishes& wishes,
                     CMidiEngineProxy& proxy)
{
    // Until the user routes anything, a new project is heard through the built-in synthesizer.
    const bool toSynth = HasNoOutputRouting(profile);
    for (int32_t port = 0; port < COutputPort::kCount; ++port) {
        const std::string name =
            toSynth ? kSynthDeviceName : wishes.outputPorts[static_cast<size_t>(port)];
        const int32_t driver = FindOutDriver(DevicesOf(proxy), name);
        if (driver >= 0) proxy.RouteOutputPort(port, driver);
    }
}

void LoadRecordNode(const CProfile& profile, const SDeviceWishes& wishes, CMidiEngineProxy& proxy)
{
    const int32_t driver = FindInDriver(DevicesOf(proxy), wishes.record);
    if (driver >= 0) proxy.RouteRecordNode(driver);
    LoadChannelFilter(profile, proxy, "Rec", kRecordNodeAddress);
}

void LoadTransport(const CProfile& profile, CMidiEngineProxy& proxy)
{
    for (const STransportValue& value : kTransportValues)
        proxy.SetNodeParameter(kClockNode, value.code,
                               profile.GetInt(kTransport, value.name, value.def));
}

constexpr char kJackTransportKey[] = "JackTransport";

void LoadSync(const CProfile& profile, CMidiEngineProxy& proxy)
{
    // Refused off JACK: the stored choice waits there for the next start on JACK.
    proxy.SetNodeParameter(kClockNode, C::kJackTransport, ReadJackTransportSetting(profile));
}

void LoadMetronome(const CProfile& profile, CMidiEngineProxy& proxy)
{
    proxy.SetNodeParameter(kMetronomeNode, M::kActive,
                           profile.GetInt(kMetronome, "Active", 0) != 0 ? 1 : 0);
    LoadMetronomeClicks(profile, proxy);
    const int32_t output = profile.GetInt(kMetronome, "Output", kNoOutput);
    if (output == kNoOutput) return;
    const CNodeAddress address{kOutDriverKind, output};
    proxy.SetNodeParameter(kMetronomeNode, M::kOutput, reinterpret_cast<intptr_t>(&address));
}

// The driver name of a node's first input (or output), empty when there is none.
std::string FirstName(const CMidiNode* node)
{
    return node != nullptr ? node->GetNodeName() : std::string();
}

int32_t ParameterInt(const CMidiEngineProxy& proxy, const CNodeAddress& address, int32_t code)
{
    return static_cast<int32_t>(proxy.GetNodeParameter(address, code));
}

void SaveMetronome(CProfile& profile, const CMidiEngineProxy& proxy)
{
    profile.SetInt(kMetronome, "Active", ParameterInt(proxy, kMetronomeNode, M::kActive));
    const auto* output =
        reinterpret_cast<const CNodeAddress*>(proxy.GetNodeParameter(kMetronomeNode, M::kOutput));
    const bool toDriver = output != nullptr && output->m_kind == kOutDriverKind;
    profile.SetInt(kMetronome, "Output", toDriver ? output->m_index : kNoOutput);
    for (const SMetronomeValue& value : kClickValues)
        profile.SetInt(kMetronome, value.name, ParameterInt(proxy, kMetronomeNode, value.code));
}

void SaveTransport(CProfile& profile, const CMidiEngineProxy& proxy)
{
    for (const STransportValue& value : kTransportValues)
        profile.SetInt(kTransport, value.name, ParameterInt(proxy, kClockNode, value.code));
}

void SaveSync(CProfile& profile, const CMidiEngineProxy& proxy)
{
    if (proxy.GetEngine()->GetBackend().GetTransport() == nullptr) return;
    profile.SetInt(kSync, kJackTransportKey, ParameterInt(proxy, kClockNode, C::kJackTransport));
}

void SaveDrivers(CProfile& profile, const CMidiDevices& devices)
{
    for (int32_t i = 0; i < devices.GetOutDriverCount(); ++i) {
        const CMidiOutDriver& driver = *devices.GetOutDriver(i);
        profile.SetInt(kOutDrivers, driver.GetNodeName(), driver.IsEnabled() ? 1 : 0);
        profile.SetInt(kOutDriversClockSend, driver.GetNodeName(), driver.IsClockSend() ? 1 : 0);
    }
    for (int32_t i = 0; i < devices.GetInDriverCount(); ++i) {
        const CMidiInDriver& driver = *devices.GetInDriver(i);
        profile.SetInt(kInDrivers, driver.GetNodeName(), driver.IsEnabled() ? 1 : 0);
    }
}

// A port keeps the device it wants while that device is away, so it finds it next time.
void SaveInputNode(CProfile& profile, const std::string& key, const CInputFilterNode& node,
                   const std::string& wish)
{
    const std::string routed = FirstName(node.GetFirstInput());
    profile.SetString(kPortDrivers, key, routed.empty() ? wish : routed);
    profile.SetInt(kPortChannel, key, node.GetChannelFilter());
}

void SavePorts(CProfile& profile, CMidiDevices& devices)
{
    const SDeviceWishes& wishes = devices.GetWishes();
    for (int32_t port = 0; port < CInputPort::kCount; ++port)
        SaveInputNode(profile, PortKey("In", port), *devices.GetInputPort(port),
                      wishes.inputPorts[static_cast<size_t>(port)]);
    for (int32_t port = 0; port < COutputPort::kCount; ++port) {
        const CMidiNode* driver = devices.GetOutputPort(port)->GetFirstOutput();
        const std::string& wish = wishes.outputPorts[static_cast<size_t>(port)];
        const std::string name = driver != nullptr ? FirstName(driver) : wish;
        profile.SetString(kPortDrivers, PortKey("Out", port), name.empty() ? kNoDriver : name);
    }
    SaveInputNode(profile, "Rec", devices.GetRecordNode(), wishes.record);
}

void SaveRecordSettings(CProfile& profile, const CRecordSettings& settings)
{
    profile.SetInt(kRecording, "PolyPressure", settings.recordPolyPressure ? 1 : 0);
    profile.SetInt(kRecording, "ControlChange", settings.recordControlChange ? 1 : 0);
    profile.SetInt(kRecording, "ProgramChange", settings.recordProgramChange ? 1 : 0);
    profile.SetInt(kRecording, "ChannelAftertouch", settings.recordChannelAftertouch ? 1 : 0);
    profile.SetInt(kRecording, "PitchBender", settings.recordPitchBend ? 1 : 0);
    profile.SetInt(kRecording, "SupressEvents", settings.suppressRedundant ? 1 : 0);
    profile.SetInt(kRecording, "QuantizeData", settings.quantizeGrid);
    profile.SetInt(kRecording, "SnapClips", settings.clipSnapGrid);
}

} // namespace

int32_t ReadJackTransportSetting(const CProfile& profile)
{
    return profile.GetInt(kSync, kJackTransportKey, CTransportSync::kOff);
}

int32_t ReadTransportSetting(const CProfile& profile, int32_t clockCode)
{
    for (const STransportValue& value : kTransportValues) {
        if (value.code == clockCode) return profile.GetInt(kTransport, value.name, value.def);
    }
    return -1;
}

void LoadMetronomeClicks(const CProfile& profile, CMidiEngineProxy& proxy)
{
    for (const SMetronomeValue& value : kClickValues) {
        const int32_t stored = profile.GetInt(kMetronome, value.name, value.def);
        proxy.SetNodeParameter(kMetronomeNode, value.code, stored & value.mask);
    }
}

CRecordSettings ReadRecordSettings(const CProfile& profile)
{
    CRecordSettings s;
    s.recordPolyPressure = profile.GetInt(kRecording, "PolyPressure", 0) != 0;
    s.recordControlChange = profile.GetInt(kRecording, "ControlChange", 1) != 0;
    s.recordProgramChange = profile.GetInt(kRecording, "ProgramChange", 0) != 0;
    s.recordChannelAftertouch = profile.GetInt(kRecording, "ChannelAftertouch", 0) != 0;
    s.recordPitchBend = profile.GetInt(kRecording, "PitchBender", 1) != 0;
    s.suppressRedundant = profile.GetInt(kRecording, "SupressEvents", 1) != 0;
    s.quantizeGrid = profile.GetInt(kRecording, "QuantizeData", 0);
    s.clipSnapGrid = profile.GetInt(kRecording, "SnapClips", 0);
    return s;
}

void LoadDeviceSettings(const CProfile& profile, CMidiEngineProxy& proxy)
{
    if (proxy.GetEngine() == nullptr) return;
    const SDeviceWishes wishes = ReadWishes(profile);
    proxy.SetDeviceWishes(wishes);
    LoadOutDrivers(profile, proxy);
    LoadInDrivers(profile, proxy);
    LoadInputPorts(profile, wishes, proxy);
    LoadOutputPorts(profile, wishes, proxy);
    LoadRecordNode(profile, wishes, proxy);
    LoadTransport(profile, proxy);
    LoadSync(profile, proxy);
    LoadMetronome(profile, proxy);
    proxy.SetRecordSettings(ReadRecordSettings(profile));
}

void SaveDeviceSettings(CProfile& profile, const CMidiEngineProxy& proxy)
{
    CMidiEngine* engine = proxy.GetEngine();
    if (engine == nullptr) return;
    SaveMetronome(profile, proxy);
    SaveTransport(profile, proxy);
    SaveSync(profile, proxy);
    SaveDrivers(profile, engine->GetDevices());
    SavePorts(profile, engine->GetDevices());
    SaveRecordSettings(profile, engine->GetPlayControl().GetRecordSettings());
}

int StartEngineWithSettings(CMidiEngineProxy& proxy, const CProfile& profile, bool startThread)
{
    if (proxy.Initialise(startThread) == 0) return 0;
    LoadDeviceSettings(profile, proxy);
    return 1;
}

int ShutDownEngineWithSettings(CMidiEngineProxy& proxy, CProfile& profile)
{
    const CMidiEngine* engine = proxy.GetEngine();
    if (engine != nullptr && engine->IsInitialised()) SaveDeviceSettings(profile, proxy);
    return proxy.ShutDown();
}

SSynthOptions ReadSynthOptions(const CProfile& profile)
{
    SSynthOptions options;
    options.soundFont = profile.GetString(kSynth, "SoundFont", "");
    options.volume = std::clamp(profile.GetInt(kSynth, "Volume", SSynthOptions::kDefaultVolume), 0,
                                SSynthOptions::kMaxVolume);
    return options;
}

void WriteSynthOptions(CProfile& profile, const SSynthOptions& options)
{
    profile.SetString(kSynth, "SoundFont", options.soundFont);
    profile.SetInt(kSynth, "Volume", options.volume);
}
