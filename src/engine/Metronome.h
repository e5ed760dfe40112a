#pragma once
// The click generator (node kind 8): a short note on every bar and every beat of a fixed 4/4 grid
// (384 and 96 ticks), whatever the project's time signature, sent to one output node. The clock
// calls Tick on every playing tick and Flush on stop.
//
// Threads: music thread (or the caller's thread when the engine runs inline).

#include "devices/MidiNode.h"
#include "model/NodeAddress.h"
#include "model/TimeBase.h"

#include <cstdint>

class CMidiEngine;

class CMetronome : public CMidiNode {
public:
    // Parameter codes (command "set node parameter" with kind 8).
    enum EParam : int32_t {
        kActive = 1,
        kOutput = 2, // set: pointer to a CNodeAddress; get: pointer to the stored address
        kBarKey = 3,
        kBarVelocity = 4,
        kBarChannel = 5, // 0..15
        kBeatKey = 6,
        kBeatVelocity = 7,
        kBeatChannel = 8, // 0..15
    };
    static constexpr tick kBarTicks = 384;
    static constexpr tick kBeatTicks = 96;
    static constexpr int32_t kClickTicks = 24; // how long a click sounds

    // engine (borrowed) resolves the output address.
    explicit CMetronome(const CMidiEngine& engine);
    ~CMetronome() override;

    ENodeKind GetKind() const override { return ENodeKind::Metronome; }
    // Codes 1..8; every change first sends the pending note-offs. Others fail (0).
    int SetParameter(int32_t code, intptr_t value, intptr_t extra) override;
    // Codes 1 and 3..8 answer the value, 2 a pointer to the stored address; others -1.
    intptr_t GetParameter(int32_t code) const override;

    // Emits the click for song tick position and the note-offs that fall due. Real-time safe.
    void Tick(tick position);
    // Sends every pending note-off now. Real-time safe.
    void Flush() override;

    bool IsActive() const { return m_active; }
    const CNodeAddress& GetOutputAddress() const { return m_output; }
    int32_t GetPendingCount() const { return m_pending.Count(); }

private:
    struct SClick {
        uint8_t key;
        uint8_t velocity;
        uint8_t channel;
    };

    const CMidiEngine& m_engine;
    bool m_active = false;
    CNodeAddress m_output;
    SClick m_bar{60, 127, 0};
    SClick m_beat{52, 127, 0};
    CMidiMsgList m_pending; // note-offs, time word = ticks until due
};
