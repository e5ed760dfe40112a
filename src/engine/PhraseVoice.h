#pragma once
// One voice of a phrase player: the phrase sounding once (or looping) from a trigger. Its player
// creates, advances and deletes it. Music thread.

#include "engine/PlayerSupport.h"
#include "model/TimeBase.h"

#include <cstdint>

class CPhrasePlayer;

class CPhraseVoice {
public:
    static constexpr uint8_t kNoKey = 255;
    enum class EAction : uint8_t { None = 0, Start = 1, Stop = 2 };

    CPhraseVoice(CPhrasePlayer& player, int32_t serial) : m_player(player), m_serial(serial) {}

    CPhrasePlayer& GetPlayer() const { return m_player; }
    int32_t GetSerial() const { return m_serial; }
    uint8_t GetTriggerKey() const { return m_triggerKey; }
    bool IsPlaying() const { return m_playing; }
    tick GetLocalPosition() const { return m_local; } // ticks into the phrase, may be negative
    EAction GetPendingAction() const { return m_action; }
    tick GetCountdown() const { return m_countdown; } // ticks until the pending action
    uint8_t GetPendingKey() const { return m_actionKey; }
    int GetNoteIterator() const { return m_noteIt; }
    int GetEventIterator() const { return m_eventIt; }
    int32_t GetPendingCount() const { return m_pendingOffs.Count(); }

private:
    friend class CPhrasePlayer;

    CPhrasePlayer& m_player;
    int32_t m_serial;
    uint8_t m_triggerKey = kNoKey;
    tick m_local = 0;
    tick m_length = 0; // the phrase length, re-read at start and on each loop
    int m_noteIt = 0;
    int m_eventIt = 0;
    bool m_playing = false;
    EAction m_action = EAction::None;
    tick m_countdown = 0;
    uint8_t m_actionKey = kNoKey;
    // A release came while the start was still waiting: the voice stops as soon as it started.
    bool m_stopAfterStart = false;
    // Last-key mode: the key the voice plays went up while a restart with another key waits.
    bool m_triggerReleased = false;
    CPendingNoteOffs m_pendingOffs; // due in ticks played
    int64_t m_ticksPlayed = 0;
    uint64_t m_lastPositionPost = 0; // tick serial of the last position post
    bool m_positionPosted = false;
};
