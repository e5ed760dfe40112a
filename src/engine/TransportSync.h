#pragma once
// The shared transport as a sync source of the sequencer clock, beside MIDI clock: following, the
// transport's start, stop and locate start, stop and move the song position, and the clock's
// ticks are placed on the transport's frames (through a timebase master's bars and tempo when
// one publishes them, else through the project's tempo); leading, this program also publishes
// its bars and tempo as the timebase master. In either mode the clock's own start, stop and
// locate become requests to the transport, which every program then obeys in the same cycle.
//
// Threads: music thread (it lives inside the clock), except GetMode and GetProblem, which the UI
// reads after the command that set the mode has returned.

#include "devices/BackendTransport.h"
#include "model/TimeBase.h"

#include <cstdint>
#include <string>

class CSequencerClock;

// Why the transport cannot be followed or led: the backend has none (the sentence's stop left off,
// so a window can name the system it runs on).
inline constexpr char kNoTransportText[] =
    "JACK transport needs the JACK MIDI system; the program runs on another";

class CTransportSync {
public:
    enum EMode : int32_t { kOff = 0, kFollow = 1, kLead = 2 };

    explicit CTransportSync(CSequencerClock& clock) : m_clock(clock) {}

    // Chooses the mode on transport (borrowed; null when the backend has none). Off always
    // works; the others need a transport (0, with the reason kept). Lead falls back to following
    // while another program is the timebase master, keeps the reason and still answers 1.
    int SetMode(int32_t mode, CBackendTransport* transport);
    int32_t GetMode() const { return m_mode; }
    bool IsActive() const { return m_mode != kOff && m_transport != nullptr; }
    // Why the mode chosen last does not work as asked; empty when it does.
    const std::string& GetProblem() const { return m_problem; }

    // Every clock pass, before the clock plays: obeys what the transport did since the last
    // cycle seen. Real-time safe.
    void Follow();

    // The clock's own transport actions, handed to the transport. Real-time safe.
    void RequestStart();
    void RequestStop();
    void RequestLocate(tick position);
    // The loop jumped to position while playing, which plays at stamp (100 ns): the transport is
    // asked to follow at the cycle that starts at or after stamp, to the frame our clock has
    // reached then, and the jump it makes is taken as the one the clock made.
    void OnLoopJump(tick position, int64_t stamp);
    // The clock's tempo changed (quarter notes per minute × 100): published while leading.
    void OnTempo(int32_t tempoHundredths);
    void SetSignature(int32_t beatsPerBar, int32_t beatType);

    static constexpr int64_t kUnitsPerSecond = 10000000; // master-clock units (100 ns)

private:
    // Where the transport's cycle puts our ticks: tick `atCycle` (with the fraction) at the
    // cycle's start, `framesPerTick` frames for each tick after it.
    struct SAnchor {
        double atCycle = 0;
        double framesPerTick = 0;
        int64_t cycleTime = 0;
        uint32_t rate = 0;
        int64_t frame = 0;    // the transport's frame at the cycle's start
        bool fromBbt = false; // placed by a master's bars and tempo
    };

    SAnchor AnchorOf(const STransportSnapshot& s) const;
    // False when the transport moved other than by the frames that passed since `m_last`.
    bool IsContinuous(const STransportSnapshot& s) const;
    // Master-clock time (100 ns) at which tick t is due on the transport.
    static int64_t StampOf(const SAnchor& a, tick t);
    // The clock goes to the transport's position and its next tick onto the transport's frame.
    void LocateTo(const SAnchor& a);
    void AlignNextTick(const SAnchor& a);
    // Playing on: corrects the clock's drift from the transport; false when the clock is too far
    // off for a correction (the transport moved, or the clock did).
    bool Realign(const SAnchor& a, int64_t limit);
    void FollowRolling(const SAnchor& a, bool continuous);
    void TakeMastersTempo(const STransportSnapshot& s);
    int64_t FrameOf(tick position) const;
    void Publish();
    // Asks the transport for our loop jump once the coming cycle starts at or after it.
    void AskForLoopJump(const STransportSnapshot& s, int64_t cycleFrames);

    CSequencerClock& m_clock;
    CBackendTransport* m_transport = nullptr;
    int32_t m_mode = kOff;
    std::string m_problem;
    STransportSnapshot m_last;   // the latest cycle seen (cycle 0: none yet)
    bool m_awaitingJump = false; // our loop jump waits for the transport's
    bool m_jumpToAsk = false;    // the transport is yet to be asked for it
    tick m_jumpTick = 0;
    int64_t m_jumpStamp = 0;
    STimebase m_timebase;
};
