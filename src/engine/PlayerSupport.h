#pragma once
// What the clip, track and phrase players share: the context the engine gives them, grid
// arithmetic on ticks, and placing and shifting their iterators in a note or event list.
//
// Threads: music thread (or the caller's thread when the engine runs inline). Real-time safe.

#include "devices/MidiMsg.h"
#include "engine/ModelEdits.h"
#include "model/EventList.h"
#include "model/NoteList.h"
#include "model/TimeBase.h"
#include "model/Track.h"

#include <algorithm>
#include <cstdint>
#include <vector>

class CEngineMailbox;
class CSequencerClock;
struct CRecordSettings;

// What every player reads of the engine. Owned by the engine, which outlives its players.
struct SPlayerContext {
    CEngineMailbox& mailbox;
    const CSequencerClock& clock;
    // Counts every tick the clock runs, playing or stopped; spaces out the players' posts.
    uint64_t tickSerial = 0;
    // The play control's record settings, read by the recorders as each message arrives.
    const CRecordSettings* recordSettings = nullptr;
};

// Activity and voice-position posts of one player are at least this many ticks apart, so a busy
// song cannot fill the mailbox and crowd out the records that matter (voice ends, takes).
inline constexpr uint64_t kPostSpacing = 8;

// A note-on or note-off (status with its channel) with a time word of 0: due at once downstream.
inline CMidiMsg NoteMessage(uint8_t status, uint8_t key, uint8_t velocity)
{
    return CMidiMsg{0, 3, status, key, velocity};
}

// The note-offs a clip player or a voice holds back, each due at a tick of the owner's own count
// (song ticks for a clip player, ticks played for a voice). The entries sit in one array with the
// earliest due tick known, so a tick with nothing due costs one comparison.
class CPendingNoteOffs {
public:
    CPendingNoteOffs() { m_offs.reserve(16); }

    // The tick a note-off added at tick now with a countdown of countdown ticks is due: the
    // countdown runs down once per tick, and one of 0 or less leaves on the next tick.
    static int64_t DueAfter(int64_t now, tick countdown)
    {
        return now + std::max<tick>(countdown, 1);
    }
    // A note-off (status with its channel) due at tick due.
    void Add(uint8_t status, uint8_t key, uint8_t velocity, int64_t due)
    {
        m_offs.push_back({due, status, key, velocity});
        m_nextDue = std::min(m_nextDue, due);
    }
    // True when a note-off is due at tick now.
    bool IsDue(int64_t now) const { return m_nextDue <= now; }
    // The earliest due tick, INT64_MAX when none waits.
    int64_t NextDue() const { return m_nextDue; }
    // The note-offs due at tick now are appended to out (time word 0), in the order they were
    // added.
    void TakeDue(int64_t now, CMidiMsgList& out)
    {
        if (!IsDue(now)) return;
        m_nextDue = INT64_MAX;
        size_t kept = 0;
        for (const SOff& off : m_offs) {
            if (off.due <= now) {
                out.Append(NoteMessage(off.status, off.key, off.velocity));
            } else {
                m_offs[kept++] = off;
                m_nextDue = std::min(m_nextDue, off.due);
            }
        }
        m_offs.resize(kept);
    }
    // Every note-off, due or not, appended to out; none is left.
    void TakeAll(CMidiMsgList& out)
    {
        for (const SOff& off : m_offs)
            out.Append(NoteMessage(off.status, off.key, off.velocity));
        m_offs.clear();
        m_nextDue = INT64_MAX;
    }
    bool IsEmpty() const { return m_offs.empty(); }
    // Asks the processor for the entries, which TakeDue and Add will touch.
    void Prefetch() const { __builtin_prefetch(m_offs.data()); }
    int32_t Count() const { return static_cast<int32_t>(m_offs.size()); }

private:
    struct SOff {
        int64_t due;
        uint8_t status;
        uint8_t key;
        uint8_t velocity;
    };
    std::vector<SOff> m_offs;
    int64_t m_nextDue = INT64_MAX;
};

// The channel (0..15) a track's messages leave on.
inline uint8_t OutputChannelOf(const CTrack& track)
{
    return static_cast<uint8_t>(track.GetOutputChannel() & 0x0F);
}

// Asks the processor for every cache line of [from, to) or *object: players touched on a tick lie
// scattered over the heap, and misses asked for side by side overlap.
inline void PrefetchBytes(const void* from, const void* to)
{
    for (const auto* byte = static_cast<const char*>(from); byte < to; byte += 64)
        __builtin_prefetch(byte);
    __builtin_prefetch(static_cast<const char*>(to) - 1);
}
template <class T> void PrefetchObject(const T* object)
{
    PrefetchBytes(object, object + 1);
}

// t floored to a multiple of grid (times before 0 stay before 0); grid <= 0 leaves t unchanged.
constexpr tick FloorToGridTicks(tick t, tick grid)
{
    if (grid <= 0) return t;
    const int64_t q = t >= 0 ? t / grid : -((-int64_t{t} + grid - 1) / grid);
    return static_cast<tick>(q * grid);
}

// t rounded up to a multiple of grid; grid <= 0 leaves t unchanged. Saturates at the tick range.
constexpr tick CeilToGridTicks(tick t, tick grid)
{
    if (grid <= 0) return t;
    const int64_t up = -int64_t{FloorToGridTicks(static_cast<tick>(-int64_t{t}), grid)};
    return static_cast<tick>(std::min<int64_t>(up, INT32_MAX));
}

// Ticks from position to the next multiple of grid at or after it (0 when grid is off).
constexpr tick TicksToGrid(tick position, tick grid)
{
    return grid <= 0 ? 0 : CeilToGridTicks(position, grid) - position;
}

inline tick StartOf(const CNote& note)
{
    return note.m_start;
}
inline tick StartOf(const CMidiEvent& event)
{
    return event.m_time;
}

// Index of the first element at or after index from whose start, floored to grid, is at or
// after local (the list's size when there is none).
template <class TList> int FirstFrom(const TList& list, int from, tick local, tick grid)
{
    from = std::clamp(from, 0, list.GetCount());
    auto it = std::partition_point(list.begin() + from, list.end(), [&](const auto& item) {
        return FloorToGridTicks(StartOf(item), grid) < local;
    });
    return static_cast<int>(it - list.begin());
}

// Follows one removal and/or insertion (not a whole-list replacement) with an iterator into list
// (the list after the change). An iterator past the change moves with its element; one on the
// changed index goes to the first element from there that has not had its turn yet, that is whose
// floored start is at or after local, so an inserted element still ahead sounds and none sounds
// twice.
template <class TList>
int ShiftIterator(const TList& list, int iterator, const CListChange& change, tick local, tick grid)
{
    if (change.removedAt >= 0) {
        if (iterator > change.removedAt) --iterator;
        // On the removed index the iterator now names its follower, which had not played yet.
    }
    if (change.insertedAt >= 0) {
        if (iterator > change.insertedAt)
            ++iterator;
        else if (iterator == change.insertedAt)
            iterator = FirstFrom(list, iterator, local, grid);
    }
    return std::clamp(iterator, 0, list.GetCount());
}

// How a player turns a note into the key and velocity it sounds with: transpose and velocity
// offset (velocity clamped to 0..127), then the pitch and velocity limits.
struct SNoteShape {
    int32_t transpose = 0;
    int32_t velocityOffset = 0;
    uint8_t pitchFrom = 0;
    uint8_t pitchTo = 127;
    uint8_t velocityFrom = 0;
    uint8_t velocityTo = 127;

    // False when the note falls outside a limit (or off the keyboard) and stays silent.
    bool Apply(int32_t pitch, int32_t velocity, uint8_t& key, uint8_t& outVelocity) const
    {
        const int32_t k = pitch + transpose;
        const int32_t v = std::clamp(velocity + velocityOffset, 0, 127);
        if (k < 0 || k > 127 || k < pitchFrom || k > pitchTo) return false;
        if (v < velocityFrom || v > velocityTo) return false;
        key = static_cast<uint8_t>(k);
        outVelocity = static_cast<uint8_t>(v);
        return true;
    }
};

// The audition form of a note: transposed, velocity offset and kept to 1..127 so every
// auditioned note is heard, dropped (false) when the key leaves 0..127.
inline bool ShapeAuditionNote(const CNote& note, int32_t transpose, int32_t velocityOffset,
                              uint8_t& key, uint8_t& velocity)
{
    const int32_t k = note.m_pitch + transpose;
    if (k < 0 || k > 127) return false;
    key = static_cast<uint8_t>(k);
    velocity = static_cast<uint8_t>(std::clamp(note.m_velocity + velocityOffset, 1, 127));
    return true;
}

struct SAuditionNote;
class CMidiNode;

// Sounds notes at once on every output driver reachable from `from` through output ports and
// track players (a track player puts them on its Track's channel). Not for the tick.
void AuditionThrough(CMidiNode& from, const SAuditionNote* notes, size_t count, uint8_t channel,
                     int64_t tickPeriod);
