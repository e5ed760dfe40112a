#pragma once
// The engine's back-channel to the user interface. The music thread posts the song position and
// the tempo (the latest value of each wins, in a slot of its own) and notification records; the UI
// thread drains them on its timers and applies each record there. The mailbox has its own lock,
// held only while a record goes in or out.
//
// Records carry state or data (play state, finished takes, captured notes) and must not be lost,
// yet the music thread never allocates: records take blocks of a pool, and the pool is grown on
// the UI thread, at every drain and before every engine command, whenever less than half of it is
// free. Between two such visits the music thread can queue at least kPoolSize records.
// It also keeps the UI-side player slot tables of the active project's Tracks, Phrases and Clips.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

class CTrack;
class CPhrase;
class CClip;
class CNote;
class CMidiEvent;

// What the user interface does with the engine's notifications; the main frame implements it.
// Every method runs on the UI thread; the defaults ignore the notification.
class CEngineNotificationSink {
public:
    virtual ~CEngineNotificationSink() = default;
    // A transport request {code, value}: {1, tempo in hundredths of BPM}, {6, 1 playing / 0
    // stopped}.
    virtual void OnTransportRequest(int32_t code, int32_t value) { (void)code, (void)value; }
    // A value a track player passed or a port sent: kind 1 volume, 2 pan, 3 chorus, 4 reverb.
    virtual void OnMixerFeedback(int32_t trackId, int32_t slot, int32_t kind, int32_t value)
    {
        (void)trackId, (void)slot, (void)kind, (void)value;
    }
    // Solo mode or mute mode changed (the project keeps them for its views).
    virtual void OnSoloMuteModes(bool soloMode, bool muteMode) { (void)soloMode, (void)muteMode; }
    // A track player passed messages (posted at most every few ticks per track).
    virtual void OnTrackActivity(int32_t trackId, int32_t slot) { (void)trackId, (void)slot; }
    // A phrase player sounded something (posted at most every few ticks per phrase).
    virtual void OnPhraseActivity(int32_t phraseId, int32_t slot) { (void)phraseId, (void)slot; }
    // A phrase voice event: kind 0 created, 1 removed, 2 started, 3 stopped.
    virtual void OnPhraseVoice(int32_t phraseId, int32_t slot, int32_t kind, int32_t serial)
    {
        (void)phraseId, (void)slot, (void)kind, (void)serial;
    }
    // The local position (ticks) of a playing voice.
    virtual void OnVoicePosition(int32_t phraseId, int32_t slot, int32_t serial, int32_t position)
    {
        (void)phraseId, (void)slot, (void)serial, (void)position;
    }
    // A Track started a take at song tick position.
    virtual void OnRecordingStarted(int32_t trackId, int32_t slot, int32_t position)
    {
        (void)trackId, (void)slot, (void)position;
    }
    // A note-on was recorded: a provisional note whose start and end are the take's tick counter.
    virtual void OnNoteRecorded(int32_t trackId, int32_t slot, const CNote& note)
    {
        (void)trackId, (void)slot, (void)note;
    }
    // An event was recorded, as stored (time relative to the take's clip).
    virtual void OnEventRecorded(int32_t trackId, int32_t slot, const CMidiEvent& event)
    {
        (void)trackId, (void)slot, (void)event;
    }
    // A take ended. clip is the finished Clip (owned by the receiver from now on; the engine's
    // recorded-clip player plays it until command 44 or 43), or null when nothing was recorded.
    // The default deletes the clip.
    virtual void OnRecordingFinished(int32_t trackId, int32_t slot, std::unique_ptr<CClip> clip);
    // A take could not start at song tick position (nothing was ready for it); what the Track
    // receives is not recorded until its next take starts.
    virtual void OnTakeDropped(int32_t trackId, int32_t slot, int32_t position)
    {
        (void)trackId, (void)slot, (void)position;
    }
    // The note-ons captured for step entry, in arrival order (status, key, velocity each).
    virtual void OnCapturedNotes(const std::vector<std::array<uint8_t, 3>>& noteOns)
    {
        (void)noteOns;
    }
    // Devices failed and their drivers closed (the devices' last fault says why); serverLost when
    // the whole system went with them, which also stopped playback.
    virtual void OnDevicesLost(bool serverLost) { (void)serverLost; }
    // Every driver a fault had closed is open again.
    virtual void OnDevicesBack() {}
};

// One record in the mailbox. Records are small (at most CEngineMailbox::kRecordSize bytes) and
// live in the mailbox's pool.
class CEngineNotification {
public:
    virtual ~CEngineNotification() = default;
    // Carries the notification out. UI thread.
    virtual void Apply(CEngineNotificationSink& sink) = 0;
};

// {code, value} requests of the transport: tempo changed, playback started or stopped.
class CTransportNotification : public CEngineNotification {
public:
    static constexpr int32_t kTempo = 1;     // value: tempo in hundredths of BPM
    static constexpr int32_t kPlayState = 6; // value: 1 started, 0 stopped

    CTransportNotification(int32_t code, int32_t value) : m_code(code), m_value(value) {}
    void Apply(CEngineNotificationSink& sink) override { sink.OnTransportRequest(m_code, m_value); }
    int32_t GetCode() const { return m_code; }
    int32_t GetValue() const { return m_value; }

private:
    int32_t m_code;
    int32_t m_value;
};

// Mixer feedback of a Track, named by its identifier and player slot.
class CMixerFeedbackNotification : public CEngineNotification {
public:
    static constexpr int32_t kVolume = 1;
    static constexpr int32_t kPan = 2;
    static constexpr int32_t kChorus = 3;
    static constexpr int32_t kReverb = 4;

    CMixerFeedbackNotification(int32_t trackId, int32_t slot, int32_t kind, int32_t value)
        : m_trackId(trackId), m_slot(slot), m_kind(kind), m_value(value)
    {}
    void Apply(CEngineNotificationSink& sink) override
    {
        sink.OnMixerFeedback(m_trackId, m_slot, m_kind, m_value);
    }

private:
    int32_t m_trackId;
    int32_t m_slot;
    int32_t m_kind;
    int32_t m_value;
};

// Devices were lost (kLost, value: 1 with the whole system) or are all back (kBack).
class CDeviceNotification : public CEngineNotification {
public:
    static constexpr int32_t kLost = 0;
    static constexpr int32_t kBack = 1;

    CDeviceNotification(int32_t kind, bool serverLost) : m_kind(kind), m_serverLost(serverLost) {}
    void Apply(CEngineNotificationSink& sink) override
    {
        if (m_kind == kLost)
            sink.OnDevicesLost(m_serverLost);
        else
            sink.OnDevicesBack();
    }

private:
    int32_t m_kind;
    bool m_serverLost;
};

// The play control's solo and mute modes after a change.
class CSoloMuteNotification : public CEngineNotification {
public:
    CSoloMuteNotification(bool soloMode, bool muteMode) : m_solo(soloMode), m_mute(muteMode) {}
    void Apply(CEngineNotificationSink& sink) override { sink.OnSoloMuteModes(m_solo, m_mute); }

private:
    bool m_solo;
    bool m_mute;
};

// The UI's live values of a Track's player (mixer feedback lands here).
struct CTrackPlayState {
    uint8_t volume = 127;
    uint8_t pan = 64;
    uint8_t reverb = 0;
    uint8_t chorus = 0;
    int32_t level = 0; // activity meter, decays on the UI side
};

// The UI's view of a Phrase's player.
struct CPhrasePlayState {
    int32_t playingVoices = 0;
    int32_t level = 0;
};

// The UI's view of a Clip's player.
struct CClipPlayState {
    int32_t level = 0;
};

// One slot table: entry i points to the object whose player slot is i, with its play state.
// TObject provides GetPlayerSlot() and SetPlayerSlot(int32_t). UI thread only.
template <class TObject, class TState> class CPlayerSlotTable {
public:
    // Takes the first empty entry (or appends one), stores its index in the object and returns it.
    // An object that is already registered keeps its slot.
    int32_t Register(TObject& object)
    {
        const int32_t current = object.GetPlayerSlot();
        if (current >= 0 && current < GetCount() && m_entries[current].object == &object)
            return current;
        std::size_t slot = m_firstFree;
        while (slot < m_entries.size() && m_entries[slot].object != nullptr)
            ++slot;
        if (slot == m_entries.size()) m_entries.emplace_back();
        m_entries[slot].object = &object;
        m_entries[slot].state = std::make_unique<TState>();
        m_firstFree = slot + 1;
        object.SetPlayerSlot(static_cast<int32_t>(slot));
        return static_cast<int32_t>(slot);
    }

    // Deletes the entry's state, empties the entry and sets the object's slot to -1. An object with
    // slot -1 (or a slot that is not its own) is left alone.
    void Unregister(TObject& object)
    {
        const int32_t slot = object.GetPlayerSlot();
        if (slot < 0 || slot >= GetCount() || m_entries[slot].object != &object) return;
        m_entries[slot] = Entry{};
        m_firstFree = std::min(m_firstFree, static_cast<std::size_t>(slot));
        object.SetPlayerSlot(-1);
    }

    // Unregisters every object.
    void Clear()
    {
        for (Entry& entry : m_entries)
            if (entry.object != nullptr) entry.object->SetPlayerSlot(-1);
        m_entries.clear();
        m_firstFree = 0;
    }

    int32_t GetCount() const { return static_cast<int32_t>(m_entries.size()); }
    // The object in a slot, or null for an empty or out-of-range slot (borrowed).
    TObject* GetObject(int32_t slot) const
    {
        return InRange(slot) ? m_entries[slot].object : nullptr;
    }
    // The play state of a slot, or null (owned by the table).
    TState* GetState(int32_t slot) const
    {
        return InRange(slot) ? m_entries[slot].state.get() : nullptr;
    }

private:
    struct Entry {
        TObject* object = nullptr;
        std::unique_ptr<TState> state;
    };
    bool InRange(int32_t slot) const { return slot >= 0 && slot < GetCount(); }

    std::vector<Entry> m_entries;
    // No entry below this index is empty, so registering many objects in a row stays linear.
    std::size_t m_firstFree = 0;
};

class CEngineMailbox {
public:
    static constexpr std::size_t kRecordSize = 64; // bytes a record may take at most
    static constexpr std::size_t kPoolSize = 4096; // blocks at first; the pool grows from there

    CEngineMailbox();
    ~CEngineMailbox();
    CEngineMailbox(const CEngineMailbox&) = delete;
    CEngineMailbox& operator=(const CEngineMailbox&) = delete;

    // Stores the song position (ticks) and raises the position flag. Music thread.
    void PostPosition(int32_t position);
    // Stores the tempo (hundredths of BPM); the next drain applies it, once, as the transport
    // request {1, tempo} before the queued records. Music thread.
    void PostTempo(int32_t tempo);

    // Queues a record built from `args`. Only when the pool has run dry between two visits of the
    // UI thread (see GrowIfLow) is the record dropped and counted; false then.
    // Music thread; real-time safe.
    template <class TRecord, class... TArgs> bool Post(TArgs&&... args)
    {
        return PostRecord<TRecord>(false, std::forward<TArgs>(args)...);
    }
    // Queues a record that carries data the UI must not lose (a finished take, captured notes):
    // when the pool has run dry it grows here instead, so the record is never dropped. Music
    // thread; real-time safe while the pool has a free block.
    template <class TRecord, class... TArgs> void PostKept(TArgs&&... args)
    {
        PostRecord<TRecord>(true, std::forward<TArgs>(args)...);
    }

    // If the position changed since the last call, writes it to `position`, clears the flag and
    // returns true. UI thread.
    bool TakePosition(int32_t& position);
    // Applies and deletes every queued record in posting order, taking one at a time under the lock
    // and applying it outside. Returns how many were applied. UI thread.
    std::size_t Drain(CEngineNotificationSink& sink);
    // Deletes every queued record without applying it and clears the position flag (shut-down).
    void Discard();
    // A mailbox nobody reads (a render's): while muted, every post is let go at once, uncounted.
    // Set it before the engine runs.
    void SetMuted(bool muted) { m_muted = muted; }
    // Records dropped because the pool was full. Any thread.
    std::size_t GetDroppedCount() const;
    // Records waiting. Any thread.
    std::size_t GetPendingCount() const;
    // Blocks in the pool, used or free. Any thread.
    std::size_t GetPoolSize() const;
    // Doubles the pool when less than half of it is free, allocating outside the lock. UI side
    // (Drain and the proxy's commands call it); never the music thread.
    void GrowIfLow();
    // Work the UI side does at every drain, before the records are applied (the proxy tops up
    // the engine's take kits here). Empty for none. UI thread.
    void SetDrainHook(std::function<void()> hook) { m_drainHook = std::move(hook); }

    // Player slot tables of the active project. UI thread only.
    CPlayerSlotTable<CTrack, CTrackPlayState>& Tracks() { return m_tracks; }
    CPlayerSlotTable<CPhrase, CPhrasePlayState>& Phrases() { return m_phrases; }
    CPlayerSlotTable<CClip, CClipPlayState>& Clips() { return m_clips; }

private:
    struct alignas(std::max_align_t) Block {
        std::byte bytes[kRecordSize];
    };
    template <class TRecord, class... TArgs> bool PostRecord(bool kept, TArgs&&... args)
    {
        static_assert(std::is_base_of_v<CEngineNotification, TRecord>);
        static_assert(sizeof(TRecord) <= kRecordSize &&
                      alignof(TRecord) <= alignof(std::max_align_t));
        if (m_muted) return false;
        std::lock_guard lock(m_mutex);
        void* block = AcquireBlock(kept);
        if (block == nullptr) return false;
        Enqueue(::new (block) TRecord(std::forward<TArgs>(args)...));
        return true;
    }
    // A new chunk with the free list and ring for the grown pool, allocated up front so that
    // installing it under the lock allocates nothing.
    struct SGrowth {
        std::size_t added = 0;
        std::unique_ptr<Block[]> chunk;
        std::vector<Block*> free;
        std::vector<CEngineNotification*> fifo;
    };
    static SGrowth PrepareGrowth(std::size_t size);
    void InstallGrowth(SGrowth& growth); // under m_mutex

    void* AcquireBlock(bool kept);             // under m_mutex
    void Enqueue(CEngineNotification* record); // under m_mutex
    CEngineNotification* Dequeue();            // under m_mutex
    void Release(CEngineNotification* record); // destroys and returns the block; under m_mutex

    std::function<void()> m_drainHook;
    mutable std::mutex m_mutex;
    std::vector<std::unique_ptr<Block[]>> m_chunks; // the pool's blocks; UI thread adds chunks
    std::size_t m_poolSize = 0;                     // blocks in all chunks
    std::vector<Block*> m_free;                     // stack of unused blocks, capacity m_poolSize
    std::vector<CEngineNotification*> m_fifo;       // ring of queued records, m_poolSize entries
    std::size_t m_head = 0;
    std::size_t m_count = 0;
    std::size_t m_dropped = 0;
    int32_t m_position = 0;
    bool m_positionChanged = false;
    int32_t m_tempo = 0;
    bool m_tempoChanged = false;
    bool m_muted = false;

    CPlayerSlotTable<CTrack, CTrackPlayState> m_tracks;
    CPlayerSlotTable<CPhrase, CPhrasePlayState> m_phrases;
    CPlayerSlotTable<CClip, CClipPlayState> m_clips;
};
