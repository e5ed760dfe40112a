#pragma once
// What the players tell the user interface through CEngineMailbox: track and phrase activity,
// and the life of phrase voices. Objects are named by identifier and player slot.

#include "engine/EngineMailbox.h"

// A track player passed messages.
class CTrackActivityNotification : public CEngineNotification {
public:
    CTrackActivityNotification(int32_t trackId, int32_t slot) : m_trackId(trackId), m_slot(slot) {}
    void Apply(CEngineNotificationSink& sink) override { sink.OnTrackActivity(m_trackId, m_slot); }

private:
    int32_t m_trackId;
    int32_t m_slot;
};

// A phrase player delivered a non-empty tick.
class CPhraseActivityNotification : public CEngineNotification {
public:
    CPhraseActivityNotification(int32_t phraseId, int32_t slot) : m_phraseId(phraseId), m_slot(slot)
    {}
    void Apply(CEngineNotificationSink& sink) override
    {
        sink.OnPhraseActivity(m_phraseId, m_slot);
    }

private:
    int32_t m_phraseId;
    int32_t m_slot;
};

// A voice of a phrase player was created, removed, started or stopped.
class CPhraseVoiceNotification : public CEngineNotification {
public:
    static constexpr int32_t kCreated = 0;
    static constexpr int32_t kRemoved = 1;
    static constexpr int32_t kStarted = 2;
    static constexpr int32_t kStopped = 3;

    CPhraseVoiceNotification(int32_t phraseId, int32_t slot, int32_t kind, int32_t serial)
        : m_phraseId(phraseId), m_slot(slot), m_kind(kind), m_serial(serial)
    {}
    void Apply(CEngineNotificationSink& sink) override
    {
        sink.OnPhraseVoice(m_phraseId, m_slot, m_kind, m_serial);
    }

private:
    int32_t m_phraseId;
    int32_t m_slot;
    int32_t m_kind;
    int32_t m_serial;
};

// The local position (ticks, may be negative) of a playing voice.
class CVoicePositionNotification : public CEngineNotification {
public:
    CVoicePositionNotification(int32_t phraseId, int32_t slot, int32_t serial, int32_t position)
        : m_phraseId(phraseId), m_slot(slot), m_serial(serial), m_position(position)
    {}
    void Apply(CEngineNotificationSink& sink) override
    {
        sink.OnVoicePosition(m_phraseId, m_slot, m_serial, m_position);
    }

private:
    int32_t m_phraseId;
    int32_t m_slot;
    int32_t m_serial;
    int32_t m_position;
};
