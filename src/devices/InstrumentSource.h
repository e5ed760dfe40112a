#pragma once
// What the device layer needs to know of the tracks routed into an output port, so that a port
// can send a channel's program, volume and pan. Implemented in engine/ by the track players.
//
// Threads: engine thread only.

#include <array>
#include <cstdint>

// A channel's instrument values; each is 0..127 when set, anything else (255 normally) when not.
struct SInstrumentSettings {
    static constexpr uint8_t kUnset = 255;
    uint8_t program = kUnset;
    uint8_t volume = kUnset;
    uint8_t pan = kUnset;
};

// The mixer feedback kinds a port reports back when it sends a volume or a pan.
enum class EInstrumentFeedback : int { Volume = 1, Pan = 2 };

// Mixed into a routing-graph node (a track player) that feeds an output port.
class CInstrumentSource {
public:
    virtual ~CInstrumentSource() = default;
    // The output channel, 0..15.
    virtual int32_t GetInstrumentChannel() const = 0;
    // The track's program, volume and pan, as stored.
    virtual SInstrumentSettings GetInstrumentSettings() const = 0;
    // A port has just sent this volume or pan on the source's channel (for the mixer display).
    virtual void OnInstrumentSent(EInstrumentFeedback kind, uint8_t value) = 0;
};

// The settings to send to one output device: 16 channels, each field filled by the first source
// that has a valid value for it.
class CInstrumentTable {
public:
    static constexpr int32_t kChannels = 16;

    // Fills, on channel (0..15; others are ignored), each field that is still unset from the
    // fields of settings that lie in 0..127.
    void FillUnset(int32_t channel, const SInstrumentSettings& settings);
    // channel must be 0..15.
    const SInstrumentSettings& Get(int32_t channel) const;

private:
    std::array<SInstrumentSettings, kChannels> m_channels{};
};
