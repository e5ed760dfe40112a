#pragma once
// A reusable piece of MIDI material with the properties that say how it plays when triggered
// live: input and trigger range, key follow, quantizing, output and output transforms. Lives in
// exactly one phrase bank, which owns it.

#include "model/MidiData.h"
#include "model/NodeAddress.h"
#include "model/StoredFlag.h"
#include "model/TimeBase.h"

#include <cstdint>
#include <string>

class CTrack;

// Voice handling when a phrase is triggered again while it plays.
enum class EPlayMode : int32_t {
    None = 0, // no choice made in the property panel
    Poly = 1,
    Mono = 2,
    MonoLastKey = 3, // "Mono lkt"
};

class CPhrase : public CMidiData {
public:
    static constexpr uint32_t kDefaultColour = 0x0000FF; // red
    static constexpr const char* kDefaultName = "New Phrase";

    // Default properties, empty content, no name and colour 0 (a reader fills them in).
    CPhrase() = default;
    // Default properties with the given name, colour (0x00BBGGRR) and length in ticks.
    CPhrase(const std::string& name, uint32_t colour, tick length);
    // Copy of the content and properties (CopyAll); the copy has id 0 and no player slot.
    CPhrase(const CPhrase& other);

    bool IsPhrase() const override { return true; }

    // Properties and data; id and player slot stay.
    virtual void CopyAll(const CPhrase& other);
    // All properties to their defaults, name "New Phrase", colour red, player slot -1.
    virtual void ResetProperties();
    // Copies the playing properties; reserved 1 and 2 are cleared, not copied.
    virtual void CopyProperties(const CPhrase& other);
    // Sends the phrase's output to a track (by the track's id).
    virtual void SetOutputTrack(const CTrack& track);

    // Index in the player's phrase table while the project is active, else -1. Not stored.
    int32_t GetPlayerSlot() const { return m_playerSlot; }
    void SetPlayerSlot(int32_t slot) { m_playerSlot = slot; }

    // Node whose notes trigger the phrase (normally an input port); kind none = not triggered.
    const CNodeAddress& GetInput() const { return m_props.m_input; }
    void SetInput(const CNodeAddress& input) { m_props.m_input = input; }
    // Triggering key range, inclusive, MIDI keys.
    uint8_t GetTriggerFrom() const { return m_props.m_triggerFrom; }
    void SetTriggerFrom(uint8_t key) { m_props.m_triggerFrom = key; }
    uint8_t GetTriggerTo() const { return m_props.m_triggerTo; }
    void SetTriggerTo(uint8_t key) { m_props.m_triggerTo = key; }
    // Whether the played pitch follows the triggering key.
    bool GetKeyFollow() const { return m_props.m_keyFollow.IsOn(); }
    void SetKeyFollow(bool on) { m_props.m_keyFollow.Set(on); }
    int32_t GetKeyFollowStored() const { return m_props.m_keyFollow.GetStored(); }
    void SetKeyFollowStored(int32_t value) { m_props.m_keyFollow.SetStored(value); }
    CNoteValue GetStartQuantize() const { return m_props.m_startQuantize; }
    void SetStartQuantize(CNoteValue value) { m_props.m_startQuantize = value; }
    CNoteValue GetStopQuantize() const { return m_props.m_stopQuantize; }
    void SetStopQuantize(CNoteValue value) { m_props.m_stopQuantize = value; }
    // Output port (kind 3), track (kind 7, index = track id) or none.
    const CNodeAddress& GetOutput() const { return m_props.m_output; }
    void SetOutput(const CNodeAddress& output) { m_props.m_output = output; }
    // MIDI channel 0..15, used with a port output.
    uint8_t GetOutputChannel() const { return m_props.m_outputChannel; }
    void SetOutputChannel(uint8_t channel) { m_props.m_outputChannel = channel; }
    EPlayMode GetPlayMode() const { return m_props.m_playMode; }
    void SetPlayMode(EPlayMode mode) { m_props.m_playMode = mode; }
    bool GetLoop() const { return m_props.m_loop.IsOn(); }
    void SetLoop(bool on) { m_props.m_loop.Set(on); }
    int32_t GetLoopStored() const { return m_props.m_loop.GetStored(); }
    void SetLoopStored(int32_t value) { m_props.m_loop.SetStored(value); }
    bool GetContinue() const { return m_props.m_continue.IsOn(); }
    void SetContinue(bool on) { m_props.m_continue.Set(on); }
    int32_t GetContinueStored() const { return m_props.m_continue.GetStored(); }
    void SetContinueStored(int32_t value) { m_props.m_continue.SetStored(value); }
    bool GetHold() const { return m_props.m_hold.IsOn(); }
    void SetHold(bool on) { m_props.m_hold.Set(on); }
    int32_t GetHoldStored() const { return m_props.m_hold.GetStored(); }
    void SetHoldStored(int32_t value) { m_props.m_hold.SetStored(value); }
    // Added to every played velocity, -127..127.
    int16_t GetVelocityOffset() const { return m_props.m_velocityOffset; }
    void SetVelocityOffset(int16_t offset) { m_props.m_velocityOffset = offset; }
    // Semitones added to every played pitch, -127..127.
    int16_t GetTranspose() const { return m_props.m_transpose; }
    void SetTranspose(int16_t semitones) { m_props.m_transpose = semitones; }
    CNoteValue GetOutputQuantize() const { return m_props.m_outputQuantize; }
    void SetOutputQuantize(CNoteValue value) { m_props.m_outputQuantize = value; }
    // Playback offset in ticks, -3840..3840.
    tick GetDelay() const { return m_props.m_delay; }
    void SetDelay(tick delay) { m_props.m_delay = delay; }
    // Output pitch range, inclusive.
    uint8_t GetPitchLimitFrom() const { return m_props.m_pitchLimitFrom; }
    void SetPitchLimitFrom(uint8_t pitch) { m_props.m_pitchLimitFrom = pitch; }
    uint8_t GetPitchLimitTo() const { return m_props.m_pitchLimitTo; }
    void SetPitchLimitTo(uint8_t pitch) { m_props.m_pitchLimitTo = pitch; }
    // Output velocity range, inclusive.
    uint8_t GetVelocityLimitFrom() const { return m_props.m_velocityLimitFrom; }
    void SetVelocityLimitFrom(uint8_t velocity) { m_props.m_velocityLimitFrom = velocity; }
    uint8_t GetVelocityLimitTo() const { return m_props.m_velocityLimitTo; }
    void SetVelocityLimitTo(uint8_t velocity) { m_props.m_velocityLimitTo = velocity; }
    // Stored in the project file, not shown.
    int32_t GetReserved1() const { return m_props.m_reserved1; }
    void SetReserved1(int32_t value) { m_props.m_reserved1 = value; }
    int32_t GetReserved2() const { return m_props.m_reserved2; }
    void SetReserved2(int32_t value) { m_props.m_reserved2 = value; }
    int32_t GetReserved3() const { return m_props.m_reserved3; }
    void SetReserved3(int32_t value) { m_props.m_reserved3 = value; }

private:
    // Playing properties only, so that ResetProperties and CopyProperties stay one assignment.
    struct CProperties {
        CNodeAddress m_input;
        uint8_t m_triggerFrom = 0;
        uint8_t m_triggerTo = 127;
        CStoredFlag<int32_t> m_keyFollow{true};
        CNoteValue m_startQuantize;
        CNoteValue m_stopQuantize;
        CNodeAddress m_output;
        uint8_t m_outputChannel = 0;
        EPlayMode m_playMode = EPlayMode::Poly;
        CStoredFlag<int32_t> m_loop;
        CStoredFlag<int32_t> m_continue;
        CStoredFlag<int32_t> m_hold;
        int16_t m_velocityOffset = 0;
        int16_t m_transpose = 0;
        CNoteValue m_outputQuantize;
        tick m_delay = 0;
        uint8_t m_pitchLimitFrom = 0;
        uint8_t m_pitchLimitTo = 127;
        uint8_t m_velocityLimitFrom = 0;
        uint8_t m_velocityLimitTo = 127;
        int32_t m_reserved1 = 0;
        int32_t m_reserved2 = 0;
        int32_t m_reserved3 = 0;
    };
    CProperties m_props;
    int32_t m_playerSlot = -1;
};
