#pragma once
// One take of one Track: what reaches the Track's player from "Rec", phrases and the mixer while
// recording, collected into a new Clip that is not yet in the Track. Owned by the track player.
//
// Threads: music thread (or the caller's thread when the engine runs inline).

#include "devices/MidiMsg.h"
#include "engine/RecordSettings.h"
#include "model/MidiEvent.h"
#include "model/TimeBase.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class CClip;
class CEngineMailbox;
class CTrack;

// The multiple of grid nearest to t; a remainder of exactly half a step rounds up. t itself when
// grid is 0 or less.
tick NearestOnGrid(tick t, tick grid);
// The multiple of grid at or below t (t when grid is 0 or less).
tick FloorToGrid(tick t, tick grid);
// The multiple of grid at or above t (t when grid is 0 or less).
tick CeilToGrid(tick t, tick grid);

class CTrackRecorder {
public:
    // Starts a take at song tick position: the Clip starts at position snapped down to the clip
    // snap grid, and "recording started" is posted. track, settings and mailbox are borrowed and
    // outlive the recorder; settings are read as they are when each message arrives.
    CTrackRecorder(CTrack& track, const CRecordSettings& settings, CEngineMailbox& mailbox,
                   tick position);
    ~CTrackRecorder();

    // One playing tick passed. Real-time safe.
    void AdvanceTick() { ++m_tickCounter; }
    // The current tick relative to the Clip's start.
    int32_t GetTickCounter() const { return m_tickCounter; }
    tick GetClipStart() const;

    // What reached the track player (statuses with their channel). Note-ons of velocity 0 are
    // taken as releases.
    void RecordNoteOns(const CMidiMsgList& list);
    void RecordNoteOffs(const CMidiMsgList& list);
    void RecordEvents(const CMidiMsgList& list);

    // Ends the take: open notes end now (release velocity 127), the length is set, and the Clip
    // is returned (owned by the caller), or null when nothing was recorded. The recorder is spent
    // afterwards.
    std::unique_ptr<CClip> Finish();

    int32_t GetOpenNoteCount() const { return static_cast<int32_t>(m_open.size()); }

private:
    struct SOpenNote {
        int32_t tick;
        uint8_t key;
        uint8_t velocity;
    };

    void NoteOn(uint8_t key, uint8_t velocity);
    void NoteOff(uint8_t key, uint8_t velocity);
    // Inserts the note from its opening tick to the current tick, quantized.
    void InsertNote(const SOpenNote& open, uint8_t offVelocity);
    bool RecordsKind(uint8_t kind) const;
    void StageEvent(const CMidiEvent& event);
    // The last recorded event of the event's kind (and key or controller), for suppression.
    CMidiEvent& LastOfKind(const CMidiEvent& event);
    void MoveStagedToClip();

    CTrack& m_track;
    const CRecordSettings& m_settings;
    CEngineMailbox& m_mailbox;
    std::unique_ptr<CClip> m_clip;
    int32_t m_tickCounter = 0;
    std::vector<SOpenNote> m_open;
    std::array<CMidiEvent, 128> m_lastPolyPressure{};
    std::array<CMidiEvent, 128> m_lastController{};
    CMidiEvent m_lastProgram;
    CMidiEvent m_lastChannelPressure;
    CMidiEvent m_lastPitchBend;
    // Events of the current batch; an event that replaces a staged one of the same tick
    // overwrites it here.
    std::vector<CMidiEvent> m_staging;
};
