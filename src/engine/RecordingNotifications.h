#pragma once
// What recording tells the user interface through CEngineMailbox: a take started, a note or event
// was recorded, a take finished (carrying the Clip), and the notes captured for step entry.
// Tracks are named by identifier and player slot.

#include "engine/EngineMailbox.h"
#include "model/Clip.h"
#include "model/MidiEvent.h"
#include "model/Note.h"

#include <array>
#include <memory>
#include <utility>
#include <vector>

class CRecordingStartedNotification : public CEngineNotification {
public:
    CRecordingStartedNotification(int32_t trackId, int32_t slot, tick position)
        : m_trackId(trackId), m_slot(slot), m_position(position)
    {}
    void Apply(CEngineNotificationSink& sink) override
    {
        sink.OnRecordingStarted(m_trackId, m_slot, m_position);
    }

private:
    int32_t m_trackId;
    int32_t m_slot;
    tick m_position;
};

class CNoteRecordedNotification : public CEngineNotification {
public:
    CNoteRecordedNotification(int32_t trackId, int32_t slot, const CNote& note)
        : m_trackId(trackId), m_slot(slot), m_note(note)
    {}
    void Apply(CEngineNotificationSink& sink) override
    {
        sink.OnNoteRecorded(m_trackId, m_slot, m_note);
    }

private:
    int32_t m_trackId;
    int32_t m_slot;
    CNote m_note;
};

class CEventRecordedNotification : public CEngineNotification {
public:
    CEventRecordedNotification(int32_t trackId, int32_t slot, const CMidiEvent& event)
        : m_trackId(trackId), m_slot(slot), m_event(event)
    {}
    void Apply(CEngineNotificationSink& sink) override
    {
        sink.OnEventRecorded(m_trackId, m_slot, m_event);
    }

private:
    int32_t m_trackId;
    int32_t m_slot;
    CMidiEvent m_event;
};

// Owns the finished Clip until it is applied; a record discarded unapplied deletes it.
class CRecordingFinishedNotification : public CEngineNotification {
public:
    CRecordingFinishedNotification(int32_t trackId, int32_t slot, std::unique_ptr<CClip> clip)
        : m_trackId(trackId), m_slot(slot), m_clip(std::move(clip))
    {}
    void Apply(CEngineNotificationSink& sink) override
    {
        sink.OnRecordingFinished(m_trackId, m_slot, std::move(m_clip));
    }

private:
    int32_t m_trackId;
    int32_t m_slot;
    std::unique_ptr<CClip> m_clip;
};

// Owns the captured note-ons (status, key, velocity each).
class CCapturedNotesNotification : public CEngineNotification {
public:
    using CNoteOns = std::vector<std::array<uint8_t, 3>>;
    explicit CCapturedNotesNotification(std::unique_ptr<CNoteOns> noteOns)
        : m_noteOns(std::move(noteOns))
    {}
    void Apply(CEngineNotificationSink& sink) override { sink.OnCapturedNotes(*m_noteOns); }

private:
    std::unique_ptr<CNoteOns> m_noteOns;
};
