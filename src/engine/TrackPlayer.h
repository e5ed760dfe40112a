#pragma once
// The player of one Track (node kind 7): between the Track's clip players (and "Rec" for live
// thru) and the Track's output. The engine creates, connects and deletes track players and calls
// the hooks below; passing messages on the Track's channel and recording are the players and
// recording work that follows, so those hooks do nothing yet.
//
// Threads: music thread (or the caller's thread when the engine runs inline).

#include "devices/InstrumentSource.h"
#include "devices/MidiNode.h"
#include "model/TimeBase.h"

class CTrack;
class CEngineMailbox;

class CTrackPlayer : public CMidiNode, public CInstrumentSource {
public:
    // Both borrowed; the model keeps the track alive while the player exists.
    CTrackPlayer(CTrack& track, CEngineMailbox& mailbox);
    ~CTrackPlayer() override;

    ENodeKind GetKind() const override { return ENodeKind::TrackPlayer; }
    CTrack& GetTrack() const { return m_track; }

    // A player that becomes silenced flushes its clip players.
    bool IsSilenced() const { return m_silenced; }
    void SetSilenced(bool silenced);
    // Flushes every clip player that feeds this track (pending note-offs leave now).
    void FlushClipPlayers();

    // Recording of the Track (filled in by the recording work).
    bool IsRecording() const { return false; }
    void StartRecording(tick position) { (void)position; }
    void FinishRecording() {}
    // One playing tick passed: the recorder's tick counter moves on. Real-time safe.
    void AdvanceRecorderTick() {}
    // A mixer event from the user interface (status with channel 0). Real-time safe.
    void DeliverUiEvent(uint8_t status, uint8_t data1, uint8_t data2)
    {
        (void)status, (void)data1, (void)data2;
    }

    // What the output ports ask for "Send Instrument Settings" and the 7001..7003 parameters.
    int32_t GetInstrumentChannel() const override;
    SInstrumentSettings GetInstrumentSettings() const override;
    void OnInstrumentSent(EInstrumentFeedback kind, uint8_t value) override;

private:
    CTrack& m_track;
    CEngineMailbox& m_mailbox;
    bool m_silenced = false;
};
