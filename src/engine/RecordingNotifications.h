#pragma once
// What recording tells the user interface through CEngineMailbox: a take started, a note or event
// was recorded, a take finished (carrying the Clip) or was dropped, and the notes captured for
// step entry.
// Tracks are named by identifier and player slot.

#include "engine/EngineMailbox.h"
#include "engine/TakeKit.h"
#include "model/Clip.h"
#include "model/MidiEvent.h"
#include "model/Note.h"

#include <array>
#include <memory>
#include <utility>
#include <vector>

// A record about one Track and one value (a position, a note, an event), applied through the
// sink's member Hook.
template <class TValue, auto Hook> class CTrackRecordNotification : public CEngineNotification {
public:
    CTrackRecordNotification(int32_t trackId, int32_t slot, const TValue& value)
        : m_trackId(trackId), m_slot(slot), m_value(value)
    {}
    void Apply(CEngineNotificationSink& sink) override { (sink.*Hook)(m_trackId, m_slot, m_value); }

private:
    int32_t m_trackId;
    int32_t m_slot;
    TValue m_value;
};

// A take started at a song tick.
using CRecordingStartedNotification =
    CTrackRecordNotification<tick, &CEngineNotificationSink::OnRecordingStarted>;
using CNoteRecordedNotification =
    CTrackRecordNotification<CNote, &CEngineNotificationSink::OnNoteRecorded>;
using CEventRecordedNotification =
    CTrackRecordNotification<CMidiEvent, &CEngineNotificationSink::OnEventRecorded>;
// A take that could not start at a song tick: no kit was ready, or the engine had no room left
// for another recorded-clip player. Nothing the Track received until the next take started was
// recorded.
using CTakeDroppedNotification =
    CTrackRecordNotification<tick, &CEngineNotificationSink::OnTakeDropped>;

// Owns the spent take kit, so that its Clip (handed to the sink when the take recorded anything)
// and whatever else it still holds are deleted on the user-interface side, never on the music
// thread. A record discarded unapplied deletes it all.
class CRecordingFinishedNotification : public CEngineNotification {
public:
    CRecordingFinishedNotification(int32_t trackId, int32_t slot, std::unique_ptr<STakeKit> kit)
        : m_trackId(trackId), m_slot(slot), m_kit(std::move(kit))
    {}
    void Apply(CEngineNotificationSink& sink) override
    {
        std::unique_ptr<CClip> clip;
        if (m_kit && m_kit->HasContent()) clip = std::move(m_kit->m_clip);
        sink.OnRecordingFinished(m_trackId, m_slot, std::move(clip));
    }

private:
    int32_t m_trackId;
    int32_t m_slot;
    std::unique_ptr<STakeKit> m_kit;
};

// Carries a kit that is no longer needed (a take discarded with its Track's player) to the user
// interface, where it is deleted with the record. Tells the sink nothing.
class CKitReleaseNotification : public CEngineNotification {
public:
    explicit CKitReleaseNotification(std::unique_ptr<STakeKit> kit) : m_kit(std::move(kit)) {}
    void Apply(CEngineNotificationSink&) override {}

private:
    std::unique_ptr<STakeKit> m_kit;
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
