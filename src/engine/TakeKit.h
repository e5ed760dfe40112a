#pragma once
// What one take needs, made ready on the user-interface side so that starting and finishing a
// take on the music thread allocates nothing: an empty Clip whose lists have room for a long take,
// and the clip player that will play it once the take is finished (already in the node that the
// engine's recorded-clip map adopts). A spent kit travels back to the user interface in a mailbox
// record and is deleted there.
//
// CTakePool hands kits over lock-free: one producer (the proxy, on the user-interface thread,
// before every command and at every mailbox drain) and one consumer (the engine's thread).

#include "engine/ClipPlayer.h"
#include "model/Clip.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

// The engine's recorded-clip players, keyed by their Clip.
using CRecordedClipPlayers = std::unordered_map<const CClip*, std::unique_ptr<CClipPlayer>>;

struct STakeKit {
    static constexpr int kNoteCapacity = 8192;   // notes a take's Clip holds without growing
    static constexpr int kEventCapacity = 16384; // events likewise

    // A kit with an empty Clip at tick 0 and its player (not connected). Allocates: UI side.
    static std::unique_ptr<STakeKit> Make();

    // True when the Clip holds notes or events.
    bool HasContent() const
    {
        return m_clip && (!m_clip->GetNotes().IsEmpty() || !m_clip->GetEvents().IsEmpty());
    }

    std::unique_ptr<CClip> m_clip;
    // Key: the Clip; value: its player, built for a placeholder Track until the take finishes.
    CRecordedClipPlayers::node_type m_playerNode;
};

class CTakePool {
public:
    static constexpr std::size_t kCapacity = 64; // kits the pool can hold ready

    CTakePool() = default;
    // Deletes the kits still waiting. Only when no thread uses the pool any more.
    ~CTakePool();
    CTakePool(const CTakePool&) = delete;
    CTakePool& operator=(const CTakePool&) = delete;

    // Makes kits until `target` (at most kCapacity) are ready. UI side; never the music thread.
    void TopUp(std::size_t target);
    // A ready kit, or null (counted as short) when none is left. Engine thread; real-time safe.
    std::unique_ptr<STakeKit> Take();
    // Kits ready to take. Any thread.
    std::size_t GetReadyCount() const;
    // Takes that found the pool empty. Any thread.
    int64_t GetShortCount() const { return m_short.load(std::memory_order_relaxed); }

private:
    std::array<STakeKit*, kCapacity> m_slots{};
    std::atomic<std::size_t> m_head{0}; // next slot to take; written by the consumer
    std::atomic<std::size_t> m_tail{0}; // next slot to fill; written by the producer
    std::atomic<int64_t> m_short{0};
    std::mutex m_producerLock; // producers queue up here; the consumer never takes it
};
