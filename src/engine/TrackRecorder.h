#pragma once
// The takes of one Track: what reaches the Track's player from "Rec", phrases and the mixer while
// recording, collected into a new Clip that is not yet in the Track. Owned by the track player for
// its whole life; each take fills the Clip of a kit made ready on the user-interface side, so
// nothing here allocates.
//
// Threads: music thread (or the caller's thread when the engine runs inline).

#include "devices/MidiMsg.h"
#include "engine/RecordSettings.h"
#include "model/MidiEvent.h"
#include "model/TimeBase.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

class CClip;
class CEngineMailbox;
class CTrack;
struct STakeKit;

// The multiple of grid nearest to t; a remainder of exactly half a step rounds up. t itself when
// grid is 0 or less.
tick NearestOnGrid(tick t, tick grid);
// The multiple of grid at or below t (t when grid is 0 or less).
tick FloorToGrid(tick t, tick grid);
// The multiple of grid at or above t (t when grid is 0 or less).
tick CeilToGrid(tick t, tick grid);

class CTrackRecorder {
public:
    // The recorder of one Track's player. track, settings and mailbox are borrowed and outlive
    // it; settings are read as they are when each message arrives. No take is open yet.
    CTrackRecorder(CTrack& track, const CRecordSettings& settings, CEngineMailbox& mailbox);
    ~CTrackRecorder();

    // Opens a take in kit's Clip at song tick position: the Clip starts at position snapped down
    // to the clip snap grid, and "recording started" is posted. Real-time safe.
    void Open(std::unique_ptr<STakeKit> kit, tick position);
    bool IsOpen() const { return m_kit != nullptr; }

    // One playing tick passed. Real-time safe.
    void AdvanceTick() { ++m_tickCounter; }
    // The current tick relative to the Clip's start.
    int32_t GetTickCounter() const { return m_tickCounter; }
    tick GetClipStart() const;

    // What reached the track player (statuses with their channel). Each time word is how many
    // ticks before the current tick the message was played (0: now); none lands before the
    // Clip's start. Note-ons of velocity 0 are taken as releases. Real-time safe: a message that
    // finds the Clip full is counted and lost (IsNearlyFull lets the engine move on to a fresh
    // Clip long before that).
    void RecordNoteOns(const CMidiMsgList& list);
    void RecordNoteOffs(const CMidiMsgList& list);
    void RecordEvents(const CMidiMsgList& list);

    // Ends the take: open notes end now (release velocity 127), the length is set, and the kit
    // comes back with its Clip (empty when nothing was recorded). Real-time safe.
    std::unique_ptr<STakeKit> Finish();
    // Ends the take as Finish does, except that the notes still held move on into the take opened
    // in next at song tick position. That Clip starts at the earliest held note's song tick (or
    // at position), snapped down to the clip snap grid, so no held note is cut. Real-time safe.
    std::unique_ptr<STakeKit> Continue(std::unique_ptr<STakeKit> next, tick position);
    // Drops the open take unfinished and returns its kit (null when none was open).
    std::unique_ptr<STakeKit> Discard();

    // True when the Clip has less than a quarter of its room left: time to continue in a fresh
    // Clip, before a burst of input could fill it.
    bool IsNearlyFull() const;
    // Messages lost because the Clip was full. Any thread.
    int64_t GetLostCount() const { return m_lost.load(std::memory_order_relaxed); }
    int32_t GetOpenNoteCount() const { return m_openCount; }

private:
    struct SOpenNote {
        int32_t tick;
        uint8_t key;
        uint8_t velocity;
    };
    static constexpr int32_t kMaxOpenNotes = 256;
    static constexpr int32_t kStagingSize = 64;

    // Clip start for song tick position, tick counter, suppression state reset; posts "started".
    void Begin(std::unique_ptr<STakeKit> kit, tick clipStart, tick position);
    // Closes the Clip: staged events and, when closeOpen, held notes go in; the length is set.
    std::unique_ptr<STakeKit> Close(bool closeOpen);
    // The tick of the Clip a message was played at (its time word counts back from now).
    int32_t TickOf(const CMidiMsg& msg) const;
    void NoteOn(uint8_t key, uint8_t velocity, int32_t at);
    void NoteOff(uint8_t key, uint8_t velocity, int32_t at);
    // Inserts the note from its opening tick to tick end, quantized.
    void InsertNote(const SOpenNote& open, uint8_t offVelocity, int32_t end);
    void RemoveOpen(int32_t index);
    bool RecordsKind(uint8_t kind) const;
    void StageEvent(const CMidiEvent& event);
    // The last recorded event of the event's kind (and key or controller), for suppression.
    CMidiEvent& LastOfKind(const CMidiEvent& event);
    void MoveStagedToClip();
    CClip& Clip() const; // the open take's

    CTrack& m_track;
    const CRecordSettings& m_settings;
    CEngineMailbox& m_mailbox;
    std::unique_ptr<STakeKit> m_kit; // the open take
    int32_t m_tickCounter = 0;
    // Notes held, oldest first; a fixed array so that holding notes never allocates.
    std::array<SOpenNote, kMaxOpenNotes> m_open{};
    int32_t m_openCount = 0;
    std::array<CMidiEvent, 128> m_lastPolyPressure{};
    std::array<CMidiEvent, 128> m_lastController{};
    CMidiEvent m_lastProgram;
    CMidiEvent m_lastChannelPressure;
    CMidiEvent m_lastPitchBend;
    // Events of the current batch; an event that replaces a staged one of the same tick
    // overwrites it here. A full staging list moves to the Clip early.
    std::array<CMidiEvent, kStagingSize> m_staging{};
    int32_t m_stagedCount = 0;
    std::atomic<int64_t> m_lost{0};
};
