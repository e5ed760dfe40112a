#pragma once
// The player of one Track (node kind 7): between the Track's clip players (and "Rec" for live
// thru, and phrases that play into the Track) and the Track's output. Everything that passes gets
// the Track's channel; activity and mixer feedback go to the user interface.
//
// Threads: music thread (or the caller's thread when the engine runs inline).

#include "devices/InstrumentSource.h"
#include "devices/MidiNode.h"
#include "engine/TrackRecorder.h"
#include "model/TimeBase.h"

#include <array>
#include <cstdint>
#include <memory>

class CClip;
class CTrack;
class CNoteList;
struct SPlayerContext;

class CTrackPlayer : public CMidiNode, public CInstrumentSource {
public:
    // Both borrowed; the model keeps the track alive while the player exists, the engine its
    // context.
    CTrackPlayer(CTrack& track, SPlayerContext& context);
    // Ends the notes that other sources than its clip players started through it.
    ~CTrackPlayer() override;

    ENodeKind GetKind() const override { return ENodeKind::TrackPlayer; }
    CTrack& GetTrack() const { return m_track; }

    // A player that becomes silenced flushes its clip players.
    bool IsSilenced() const { return m_silenced; }
    void SetSilenced(bool silenced);
    // Flushes every clip player that feeds this track (pending note-offs leave now).
    void FlushClipPlayers();
    // Before the Track's channel or output changes: every note sounding through this player
    // ends where it sounds (clip players flush, notes from other sources are released).
    void EndSoundingNotes();

    // Messages arriving from clip players, "Rec", phrases or the mixer: put on the Track's channel
    // and passed to every output. Real-time safe.
    void ReceiveNoteOns(const CMidiMsgList& list, CMidiNode* sender) override;
    void ReceiveNoteOffs(const CMidiMsgList& list, CMidiNode* sender) override;
    void ReceiveEvents(const CMidiMsgList& list, CMidiNode* sender) override;
    // A source that goes away can no longer end the notes it started here.
    void OnInputDisconnected(CMidiNode* other) override;

    // Recording of the Track. While a take is open, everything that does not come from a clip
    // player is recorded. The engine opens and closes the takes (CMidiEngine::StartTake).
    bool IsRecording() const { return m_recorder->IsOpen(); }
    // The Track's recorder, open or not (owned by the player).
    CTrackRecorder& GetRecorder() const { return *m_recorder; }
    // One playing tick passed: the recorder's tick counter moves on. Real-time safe.
    void AdvanceRecorderTick();
    // A mixer event from the user interface (status with channel 0). Real-time safe.
    void DeliverUiEvent(uint8_t status, uint8_t data1, uint8_t data2);

    // Sounds notes at once on the drivers this player reaches, with the Track's transpose,
    // velocity offset (velocity kept to 1..127) and channel.
    void Audition(const CNoteList& notes, int64_t tickPeriod);

    // Notes that sources other than clip players started here and did not end yet.
    int32_t GetForeignSoundingCount() const;

    // What the output ports ask for "Send Instrument Settings" and the 7001..7003 parameters.
    int32_t GetInstrumentChannel() const override;
    SInstrumentSettings GetInstrumentSettings() const override;
    void OnInstrumentSent(EInstrumentFeedback kind, uint8_t value) override;

private:
    enum class EList { NoteOns, NoteOffs, Events };
    void Pass(const CMidiMsgList& list, CMidiNode* sender, EList kind);
    // Counts foreign notes on and off, and keeps each key's messages in their order across
    // hand-overs (see PlaceInOrder).
    void CountForeign(CMidiMsgList& channelled, EList kind);
    // The output driver's countdown that sends a foreign note-on or note-off of key after the
    // messages of that key already passed in this tick. A hand-over sends note-offs before
    // note-ons, so a note-off that follows a note-on waits for the next hand-over, and whatever
    // follows it for that one or a later one.
    int32_t PlaceInOrder(uint8_t key, bool noteOn);
    void ReleaseForeignNotes();
    void PostActivity();
    void PostMixerFeedback(const CMidiMsgList& events);
    void RecordIncoming(const CMidiMsgList& list, EList kind);

    CTrack& m_track;
    SPlayerContext& m_context;
    bool m_silenced = false;
    uint64_t m_lastActivityPost = 0;
    bool m_posted = false;
    // Per key, note-ons from sources other than clip players (live thru, phrases) minus their
    // note-offs; clip players keep their own pending lists.
    std::array<uint16_t, 128> m_foreignSounding{};
    // Per key, the last foreign message of the current tick: its tick serial, the hand-over it
    // leaves in (0 = this tick's) and whether it was a note-on.
    struct SKeyOrder {
        uint64_t serial = UINT64_MAX;
        int32_t handOver = 0;
        bool noteOn = false;
    };
    std::array<SKeyOrder, 128> m_keyOrder{};
    // Made with the player, so that opening a take allocates nothing.
    std::unique_ptr<CTrackRecorder> m_recorder;
};
