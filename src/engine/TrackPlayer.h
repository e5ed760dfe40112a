#pragma once
// The player of one Track (node kind 7): between the Track's clip players (and "Rec" for live
// thru, and phrases that play into the Track) and the Track's output. Everything that passes gets
// the Track's channel; activity and mixer feedback go to the user interface.
//
// Threads: music thread (or the caller's thread when the engine runs inline).

#include "devices/InstrumentSource.h"
#include "devices/MidiNode.h"
#include "engine/PlayerSupport.h"
#include "engine/TrackRecorder.h"
#include "model/TimeBase.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class CClip;
class CClipPlayer;
class CTrack;
class CNoteList;
struct SPlayerContext;

class CTrackPlayer final : public CMidiNode, public CInstrumentSource {
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
    // One tick of a clip player's lists (each may be empty), passed on in the order note-ons,
    // note-offs, events, as a delivery sends them. Real-time safe.
    void ReceiveFromClip(const CMidiMsgList& noteOns, const CMidiMsgList& noteOffs,
                         const CMidiMsgList& events, CClipPlayer* sender);
    // Sources other than clip players get their own count of the notes they start here (made
    // while the command connects them, so that counting never allocates).
    void OnInputConnected(CMidiNode* other) override;
    // A source that goes away can no longer end the notes it started here: they end now, and
    // only they.
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

    // Asks the processor for the members a clip player's delivery reads (a tick's track players
    // lie scattered over the heap). Real-time safe.
    void PrefetchForClips() const { PrefetchBytes(this, &m_posted + 1); }

    // Notes that sources other than clip players started here and did not end yet.
    int32_t GetForeignSoundingCount() const;

    // What the output ports ask for "Send Instrument Settings" and the 7001..7003 parameters.
    int32_t GetInstrumentChannel() const override;
    SInstrumentSettings GetInstrumentSettings() const override;
    void OnInstrumentSent(EInstrumentFeedback kind, uint8_t value) override;

private:
    enum class EList { NoteOns, NoteOffs, Events };
    // Per key, the note-ons of one source other than clip players minus its note-offs.
    using CKeyCounts = std::array<uint16_t, 128>;
    struct SForeignSource {
        const CMidiNode* node = nullptr; // null: notes from nodes that are not connected
        CKeyCounts sounding{};
    };

    // fromClip: sender is a clip player.
    void Pass(const CMidiMsgList& list, CMidiNode* sender, EList kind, bool fromClip);
    // Sends list to every output as kind (events also feed the mixer).
    void ForwardAs(const CMidiMsgList& list, EList kind);
    // Counts foreign notes on and off, and keeps each key's messages in their order across
    // hand-overs (see PlaceNoteOn and PlaceNoteOffs).
    void CountForeign(CMidiMsgList& channelled, EList kind, CMidiNode* sender);
    // The output driver's countdowns that send a foreign note-on, or `ending` note-offs, of key
    // after the messages of that key already passed in this tick. A hand-over sends note-offs
    // before note-ons, so note-offs stay in the hand-over of the latest note-on unless they
    // must end that very note-on; then they, and whatever follows, wait for the next one.
    int32_t PlaceNoteOn(uint8_t key);
    int32_t PlaceNoteOffs(uint8_t key, uint16_t ending);
    // This tick's order entry of key.
    struct SKeyOrder;
    SKeyOrder& OrderOf(uint8_t key);
    SForeignSource& SourceOf(const CMidiNode* sender);
    // Sends the note-offs of what source still sounds here and forgets it.
    void ReleaseNotesOf(SForeignSource& source);
    void ReleaseForeignNotes();
    void PostActivity();
    void PostMixerFeedback(const CMidiMsgList& events);
    // Records list (time words: the input's ms stamps when fromInput, else nothing) at the ticks
    // it was played against.
    void RecordIncoming(const CMidiMsgList& list, EList kind, bool fromInput);

    CTrack& m_track;
    SPlayerContext& m_context;
    bool m_silenced = false;
    uint64_t m_lastActivityPost = 0;
    bool m_posted = false;
    // Per key, note-ons from sources other than clip players (live thru, phrases) minus their
    // note-offs, over all of them; clip players keep their own pending lists.
    CKeyCounts m_foreignSounding{};
    // The same per source; the first entry stands for senders that are not connected.
    std::vector<SForeignSource> m_sources;
    // Per key in the current tick: its tick serial, the hand-over the key's latest foreign
    // message leaves in (0 = this tick's) and the note-ons placed in that hand-over.
    struct SKeyOrder {
        uint64_t serial = UINT64_MAX;
        int32_t handOver = 0;
        uint16_t noteOns = 0;
    };
    std::array<SKeyOrder, 128> m_keyOrder{};
    // Made with the player, so that opening a take allocates nothing.
    std::unique_ptr<CTrackRecorder> m_recorder;
};
