#pragma once
// The player of one Phrase (node kind 6): plays voices of the phrase when they are triggered from
// its input (keys in the trigger range) or from the user interface, in the phrase's play mode,
// with its quantized start and stop, hold, loop, continue, delay, key follow, transpose, output
// quantize and limits, on the phrase's channel.
//
// Threads: music thread (or the caller's thread when the engine runs inline).

#include "devices/MidiNode.h"
#include "engine/ModelEdits.h"
#include "engine/PhraseVoice.h"

#include <memory>
#include <vector>

class CPhrase;
class CNoteList;
struct SPlayerContext;

class CPhrasePlayer : public CMidiNode {
public:
    // Both borrowed; the model keeps the phrase alive while the player exists, the engine its
    // context.
    CPhrasePlayer(CPhrase& phrase, SPlayerContext& context);
    // Stops every voice (their note-offs leave) before it disconnects.
    ~CPhrasePlayer() override;

    ENodeKind GetKind() const override { return ENodeKind::PhrasePlayer; }
    CPhrase& GetPhrase() const { return m_phrase; }

    // Solo and mute flags of the phrase (the phrase itself has no field for them).
    bool GetSolo() const { return m_solo; }
    void SetSolo(bool on) { m_solo = on; }
    bool GetMute() const { return m_mute; }
    void SetMute(bool on) { m_mute = on; }
    // A player that becomes silenced sends its voices' pending note-offs.
    bool IsSilenced() const { return m_silenced; }
    void SetSilenced(bool silenced);

    // Note-ons and note-offs from the input trigger voices. Real-time safe except when a voice
    // is created.
    void ReceiveNoteOns(const CMidiMsgList& list, CMidiNode* sender) override;
    void ReceiveNoteOffs(const CMidiMsgList& list, CMidiNode* sender) override;
    void ReceiveEvents(const CMidiMsgList& list, CMidiNode* sender) override;

    // Every voice advances one tick.
    void AdvanceVoices();
    // Stops and deletes every voice (property changes, "stop current phrase").
    void StopAllVoices();
    // "Play current phrase": toggles the voice of the phrase's low trigger key.
    void PlayCurrent();
    // Places the start iterators again (delay changed).
    void ReseekStartIterators();
    // Every voice re-reads the phrase length.
    void OnLengthChanged();
    // Follows one inserted or removed element, or a replaced list (iterator shift).
    void OnListChanged(const CListChange& change);
    // Sends every voice's pending note-offs now.
    void Flush() override;
    // Sounds notes at once on the drivers this player reaches, with the phrase's transpose,
    // velocity offset (velocity kept to 1..127) and channel.
    void Audition(const CNoteList& notes, int64_t tickPeriod);

    int32_t GetVoiceCount() const { return static_cast<int32_t>(m_voices.size()); }
    const CPhraseVoice& GetVoice(int32_t index) const { return *m_voices.at(index); }
    int GetStartNoteIterator() const { return m_startNoteIt; }
    int GetStartEventIterator() const { return m_startEventIt; }

private:
    void Trigger(uint8_t key);
    // A key of the trigger range went up (hold off).
    void Release(uint8_t key);
    void ScheduleStart(CPhraseVoice& voice, uint8_t key);
    void ScheduleStop(CPhraseVoice& voice);
    CPhraseVoice& CreateVoice();
    CPhraseVoice* PlayingVoiceOf(uint8_t key) const;
    // Puts the voice at its start: local position −delay, length and iterators fresh.
    void Rewind(CPhraseVoice& voice) const;
    // Runs one tick of a voice; false when the voice ended and must be deleted.
    bool AdvanceVoice(CPhraseVoice& voice);
    void StartVoice(CPhraseVoice& voice);
    // Sends the voice's pending note-offs now.
    void ReleaseVoice(CPhraseVoice& voice);
    void PlayVoiceTick(CPhraseVoice& voice);
    void Post(int32_t kind, const CPhraseVoice& voice);
    void PostTick(CPhraseVoice& voice, bool sounded);
    // The tick a freshly started voice plays first.
    tick StartLocal() const;

    CPhrase& m_phrase;
    SPlayerContext& m_context;
    std::vector<std::unique_ptr<CPhraseVoice>> m_voices; // in creation order
    int32_t m_voiceCounter = 0;
    bool m_solo = false;
    bool m_mute = false;
    bool m_silenced = false;
    int m_startNoteIt = 0;
    int m_startEventIt = 0;
    uint64_t m_lastActivityPost = 0;
    bool m_activityPosted = false;
};
