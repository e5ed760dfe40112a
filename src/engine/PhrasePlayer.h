#pragma once
// The player of one Phrase (node kind 6): plays voices of the phrase when they are triggered from
// its input or from the user interface. The engine creates, connects, edits and deletes phrase
// players and calls the hooks below at the right moment; the voices themselves are the players
// work that follows, so the hooks do nothing yet.
//
// Threads: music thread (or the caller's thread when the engine runs inline).

#include "devices/MidiNode.h"
#include "engine/ModelEdits.h"

class CPhrase;

class CPhrasePlayer : public CMidiNode {
public:
    // Borrowed; the model keeps the phrase alive while the player exists.
    explicit CPhrasePlayer(CPhrase& phrase);
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

    // Every voice advances one tick. Real-time safe.
    void AdvanceVoices() {}
    // Stops and deletes every voice (property changes, "stop current phrase").
    void StopAllVoices() {}
    // "Play current phrase": toggles the voice of the phrase's low trigger key.
    void PlayCurrent() {}
    // Places the start iterators again (delay changed).
    void ReseekStartIterators() {}
    // Every voice re-reads the phrase length.
    void OnLengthChanged() {}
    // Follows one inserted or removed element, or a replaced list (iterator shift).
    void OnListChanged(const CListChange& change) { (void)change; }

private:
    CPhrase& m_phrase;
    bool m_solo = false;
    bool m_mute = false;
    bool m_silenced = false;
};
