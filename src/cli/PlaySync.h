#pragma once
// The MIDI clock side of `play`: clock out to the --out devices, a metronome on a device of its
// own, following the clock of an input, and when a followed song is over. The user's settings
// store gives the defaults (song position, clock while stopped, click notes); play never writes
// it.

#include "engine/SequencerClock.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class CMidiBackend;
class CMidiEngineProxy;
class CProfile;
struct CCliArgs;

inline constexpr const char* kClockOutOption = "--clock-out"; // a switch
inline constexpr const char* kMetronomeOption = "--metronome";
inline constexpr const char* kFollowClockOption = "--follow-clock";
inline constexpr const char* kJackTransportOption = "--jack-transport"; // follow or lead

struct SSyncOptions {
    bool clockOut = false;
    std::string metronome;   // output device, empty for none
    std::string followClock; // input device, empty to play on our own clock
    int32_t jackTransport = CTransportSync::kOff;
};

SSyncOptions ReadSyncOptions(const CCliArgs& args);

// Sets the engine up as the options ask, on top of the stored defaults: clock out on the output
// drivers outDevices (indices), the metronome's device opened and clicking, the clock-in device
// opened and followed, the JACK transport followed or led. CTwError when a named device does not
// exist or cannot be opened, or the backend has no JACK transport.
void ApplySyncOptions(const SSyncOptions& options, const CProfile& store, CMidiEngineProxy& proxy,
                      const CMidiBackend& backend, const std::vector<int32_t>& outDevices);

// Tells when a followed master is done with us: it stopped the transport after playing and has
// sent no clock for kQuietTime since. UI-side thread; reads the clock directly.
class CMasterWatch {
public:
    static constexpr std::chrono::milliseconds kQuietTime{2000};

    explicit CMasterWatch(const CSequencerClock& clock) : m_clock(clock) {}
    // Call regularly with the current time; true once the master is gone.
    bool IsDone(std::chrono::steady_clock::time_point now);

private:
    const CSequencerClock& m_clock;
    bool m_played = false;
    int64_t m_pulses = -1;
    std::chrono::steady_clock::time_point m_quietSince{};
};
