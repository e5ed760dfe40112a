#pragma once
// The engine's machine settings in the user's profile: which devices are enabled, what the ports
// are routed to and their channel filters, MIDI clock sync, the metronome and what recording
// records. They are applied once right after the engine has been initialised and written back once
// right before it shuts down; in between the dialogs change the engine directly.
//
// Devices are stored by name, so their settings follow them when the enumeration order changes;
// two devices of one name share one value, and port routing picks the first of them.
//
// Threads: the UI thread (every change goes through the proxy's commands).

#include "devices/SynthOptions.h"
#include "engine/RecordSettings.h"

#include <cstdint>

class CMidiEngineProxy;
class CProfile;

namespace DeviceSettings {

// Section names.
inline constexpr char kOutDrivers[] = "MIDI OUT Drivers";
inline constexpr char kOutDriversClockSend[] = "MIDI OUT Drivers MclkSend";
inline constexpr char kInDrivers[] = "MIDI IN Drivers";
inline constexpr char kPortDrivers[] = "Port Drivers";
inline constexpr char kPortChannel[] = "Port Channel";
inline constexpr char kTransport[] = "Transport";
inline constexpr char kSync[] = "Sync"; // "JackTransport": 0 off, 1 follow, 2 lead
inline constexpr char kMetronome[] = "Metronome";
inline constexpr char kRecording[] = "Recording";
inline constexpr char kSynth[] = "Synth";
// What an output port without a driver is written as.
inline constexpr char kNoDriver[] = "<no driver>";

} // namespace DeviceSettings

// Start-up: initialises the engine attached to proxy (starting the music thread when
// startThread) and, if that succeeds, applies the settings of profile. Returns the initialise
// answer; on 0 nothing is read and the proxy's last error tells why.
int StartEngineWithSettings(CMidiEngineProxy& proxy, const CProfile& profile,
                            bool startThread = true);
// Exit: writes the settings when the engine is initialised, then shuts it down.
int ShutDownEngineWithSettings(CMidiEngineProxy& proxy, CProfile& profile);

// Applies every stored setting, in this order: output drivers, input drivers, input ports,
// output ports, "Rec", transport, metronome, recording. Needs an initialised engine.
void LoadDeviceSettings(const CProfile& profile, CMidiEngineProxy& proxy);
// Writes every setting, in this order: metronome, transport, output drivers, input drivers,
// input ports, output ports, "Rec", recording. Needs an initialised engine.
void SaveDeviceSettings(CProfile& profile, const CMidiEngineProxy& proxy);

// The parts a headless tool takes as its defaults (it chooses devices and modes itself).
// The stored value of a clock sync setting (parameter codes 7..12), or its default.
int32_t ReadTransportSetting(const CProfile& profile, int32_t clockCode);
// The stored JACK transport choice (CTransportSync::EMode).
int32_t ReadJackTransportSetting(const CProfile& profile);
// The metronome's click keys, velocities and channels (parameters 3..8).
void LoadMetronomeClicks(const CProfile& profile, CMidiEngineProxy& proxy);
CRecordSettings ReadRecordSettings(const CProfile& profile);
// The built-in synthesizer's SoundFont ("SoundFont", empty for the system's) and volume
// ("Volume", percent), for the backend to be made with.
SSynthOptions ReadSynthOptions(const CProfile& profile);
void WriteSynthOptions(CProfile& profile, const SSynthOptions& options);
