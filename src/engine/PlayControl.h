#pragma once
// The play-control node (kind 11): the recording switch, solo and mute modes, the record
// settings, the step-entry capture target and the two output commands "Reset Outputs" and
// "Send Instrument Settings". Reached through command "set node parameter" with kind 11.
//
// Threads: music thread (or the caller's thread when the engine runs inline).

#include "devices/MidiNode.h"
#include "devices/RecordNode.h"
#include "engine/RecordSettings.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

class CMidiEngine;

class CPlayControl : public CMidiNode, private CRecordCaptureSink {
public:
    enum EParam : int32_t {
        kRecording = 1, // set: nonzero switches recording on, 0 off
        kSoloMode = 2,  // get only
        kMuteMode = 3,  // get only
        kToggleSoloMode = 4,
        kToggleTrackSolo = 5,  // value: the Track's identifier
        kTogglePhraseSolo = 6, // value: the Phrase's identifier
        kToggleMuteMode = 7,
        kToggleTrackMute = 8,  // value: the Track's identifier
        kTogglePhraseMute = 9, // value: the Phrase's identifier
        kResetOutputs = 10,
        kSendInstrumentSettings = 11,
        kCaptureTarget = 12, // nonzero: capture step-entry notes at "Rec"; 0: stop
        kHandOverCapture = 13,
        kRecordSettings = 14, // set: a typed CRecordSettings only (a number is refused); get:
                              // pointer to ours
        kRecordFurtherWord = 15,
    };

    // The engine (borrowed) gives access to the players and devices.
    explicit CPlayControl(CMidiEngine& engine);
    ~CPlayControl() override;

    ENodeKind GetKind() const override { return ENodeKind::PlayControl; }
    int SetParameter(int32_t code, intptr_t value, intptr_t extra) override;
    // Answers 1, 2, 3, 12 and 14; -1 for the rest.
    intptr_t GetParameter(int32_t code) const override;

    // Any thread may read the switch.
    bool IsRecording() const { return m_recording.load(std::memory_order_relaxed); }
    // Switches recording on (record-enabled tracks start) or off (every track finishes); setting
    // the current value again does nothing.
    void SetRecording(bool on);
    // Playback stopped: the switch goes off without further action.
    void ClearRecordingSwitch() { m_recording = false; }

    bool GetSoloMode() const { return m_soloMode; }
    bool GetMuteMode() const { return m_muteMode; }
    // Sets both modes (project load, clear) and re-evaluates every player's silenced flag.
    void SetModes(bool soloMode, bool muteMode);

    const CRecordSettings& GetRecordSettings() const { return m_settings; }
    // Parameter 14, set from the typed command argument.
    void SetRecordSettings(const CRecordSettings& settings) { m_settings = settings; }

private:
    enum class EFlag { Solo, Mute };

    void ToggleMode(EFlag flag);
    // Toggles the flag of one player (a track player when `phrase` is false).
    int ToggleObjectFlag(EFlag flag, bool phrase, intptr_t id);
    bool& Mode(EFlag flag) { return flag == EFlag::Solo ? m_soloMode : m_muteMode; }
    void ModesChanged();

    void CaptureNoteOns(const CMidiMsgList& noteOns) override;
    // Parameter 13: posts the captured note-ons as one notification and empties the list.
    void HandOverCapture();

    CMidiEngine& m_engine;
    std::atomic<bool> m_recording{false};
    bool m_soloMode = false;
    bool m_muteMode = false;
    intptr_t m_captureTarget = 0;
    // Note-ons captured for step entry since the last hand-over (status, key, velocity).
    std::vector<std::array<uint8_t, 3>> m_captured;
    CRecordSettings m_settings;
};
