#pragma once
// Which clip players play on a tick. Every clip player is kept in creation order; a tick only
// calls the players that have something to do on it (a note-off due, a note or event to start),
// so a tick's cost follows what sounds, not the size of the song. Each active player's next
// working tick is kept beside it. The schedule is rebuilt after every command (anything may have
// changed a player) and when the position jumps, and otherwise moves along with the position.
//
// Threads: music thread (or the caller's thread when the engine runs inline).

#include "model/TimeBase.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class CClipPlayer;

class CClipSchedule {
public:
    // Players are borrowed; the engine owns them and removes them here before deleting them.
    void Add(CClipPlayer* player);
    void Remove(const CClipPlayer* player);
    template <class Pred> void RemoveIf(Pred pred)
    {
        std::erase_if(m_all, pred);
        MarkDirty();
    }
    void Clear();
    // True when `count` more players fit without any of the schedule's lists growing.
    bool HasRoom(std::size_t count) const
    {
        return m_all.size() + count <= std::min({m_all.capacity(), m_active.capacity(),
                                                 m_due.capacity(), m_dueNow.capacity(),
                                                 m_waiting.capacity()});
    }
    // Room for `count` players in every list (never shrinks). Allocates.
    void Reserve(std::size_t count);
    // A window changed or the position jumped: the next tick rebuilds the schedule.
    void MarkDirty() { m_dirty = true; }

    // Every player in creation order (borrowed).
    const std::vector<CClipPlayer*>& All() const { return m_all; }

    // Every player that may sound plays song tick position. Real-time safe once the schedule's
    // vectors have grown to the number of players.
    void Play(tick position);

private:
    void Rebuild(tick position);
    // The indices in m_active of the players due on tick position, in m_active's order.
    std::span<const size_t> FindDue(tick position);

    std::vector<CClipPlayer*> m_all;    // creation order
    std::vector<CClipPlayer*> m_active; // window holds the position, or note-offs pending
    std::vector<int64_t> m_due;         // per active player: its next working tick
    std::vector<size_t> m_dueNow;       // room for FindDue's indices, one per active player
    struct SWaiting {
        CClipPlayer* player;
        std::size_t order; // index in m_all: equal starts keep creation order
    };
    std::vector<SWaiting> m_waiting; // windows ahead of the position, by start
    size_t m_nextWaiting = 0;
    tick m_expected = 0; // the tick the schedule is ready for
    bool m_dirty = true;
};
