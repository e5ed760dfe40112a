#pragma once
// The sequencer clock (node kind 9): turns the master clock into ticks of 96 per quarter note,
// keeps the song position, tempo and loop, starts, stops and locates the transport, and on every
// tick lets the metronome and the players produce their messages, which the output drivers then
// send stamped with the tick's master-clock time.
//
// Threads: music thread (or the caller's thread when the engine runs inline), except GetPosition
// and IsPlaying, which any thread may read.

#include "devices/MidiInDriver.h"
#include "devices/MidiNode.h"
#include "engine/ClockInTracker.h"
#include "engine/TransportSync.h"
#include "model/TimeBase.h"

#include <atomic>
#include <climits>
#include <cstdint>

class CMidiEngine;

// How many ticks before the tick about to play an input at master time `inputTime` (100 ns) was
// played against: the tick before it was stamped lastTickTime, ticks are period apart and sound
// latency after their stamps. The nearest tick to what was sounding; never below 0 (an input
// cannot have heard a tick not yet played).
int64_t TicksSinceHeard(int64_t inputTime, int64_t lastTickTime, int64_t period, int64_t latency);

class CSequencerClock : public CMidiNode, public CMidiClockSink {
public:
    static constexpr int64_t kDefaultTickPeriod = 52083; // 100 ns, at 120 BPM
    static constexpr int64_t kLookAhead = 60000;         // 100 ns (6 ms)
    // The longest backlog a pass catches up on beyond the tick now due (100 ns, 2 s); after a
    // longer stall (a suspended machine) the clock goes on from now instead of playing every
    // missed tick at once.
    static constexpr int64_t kMaxCatchUp = 20000000;
    // The last song position; playing it stops the transport there.
    static constexpr tick kLastTick = INT32_MAX;
    static constexpr int32_t kNoClockInDriver = 0xFFFF;

    // Parameter codes (command "set node parameter" with kind 9).
    enum EParam : int32_t {
        kTempo = 1, // hundredths of BPM; 0 is ignored
        kLoopActive = 2,
        kLoopStart = 3,     // tick
        kLoopEnd = 4,       // tick
        kPosition = 5,      // locate to the tick
        kPlay = 6,          // 1 start, 0 stop
        kInternalClock = 7, // 1 internal, 0 follow MIDI clock
        kClockInDriver = 8, // input driver index
        kIgnoreSongPosition = 9,
        kClockOut = 10,
        kSendSongPosition = 11,
        kSendClockWhenStopped = 12,
        kFollowStart = 13,
        kJackTransport = 14, // 0 off, 1 follow, 2 lead (CTransportSync::EMode)
    };

    // The engine (borrowed) provides the players, devices, metronome and mailbox the clock drives.
    explicit CSequencerClock(CMidiEngine& engine);
    ~CSequencerClock() override;

    ENodeKind GetKind() const override { return ENodeKind::SequencerClock; }
    int SetParameter(int32_t code, intptr_t value, intptr_t extra) override;
    // Answers 2, 3, 4, 7..12 and 14; -1 for the rest.
    intptr_t GetParameter(int32_t code) const override;
    // Clock messages of the inputs: followed from the clock-in driver while the internal clock is
    // off, ignored otherwise. The time word is the arrival stamp in ms. Real-time safe.
    void OnClockMessage(int32_t inputIndex, const CMidiMsg& msg) override;

    // One pass of the clock at master-clock time `now` (100 ns). Real-time safe.
    void Pass(int64_t now);

    // Tempo in hundredths of BPM. 0 changes nothing; a negative value, or one too fast for a tick
    // of at least 100 ns, is refused (false).
    bool SetTempo(int32_t hundredths);
    void Start();
    void Stop();
    void Locate(tick position);

    // While playing: how many ticks before the position the song was at, where the outputs lead,
    // when input stamped msStamp (ms) was played, the backend's output latency counted.
    int64_t TicksSinceInput(int32_t msStamp) const;

    // Whole beats per minute, as stored.
    double GetTempo() const { return m_tempo; }
    int32_t GetTempoHundredths() const { return m_tempoHundredths; } // as last set
    // The next tick is to be handed over at stamp (100 ns): a transport followed places it.
    void AlignNextTick(int64_t stamp) { m_lastTickTime = stamp - m_tickPeriod; }
    CTransportSync& GetTransportSync() { return m_transportSync; }
    const CTransportSync& GetTransportSync() const { return m_transportSync; }
    int64_t GetTickPeriod() const { return m_tickPeriod; }     // 100 ns
    int64_t GetLastTickTime() const { return m_lastTickTime; } // master-clock time, 100 ns
    // Command 0 sets it, so that the first pass does not play a burst of ticks.
    void SetLastTickTime(int64_t time) { m_lastTickTime = time; }
    tick GetPosition() const { return m_position.load(std::memory_order_relaxed); } // any thread
    bool IsPlaying() const { return m_playing.load(std::memory_order_relaxed); }    // any thread
    bool IsLoopActive() const { return m_loopActive; }
    tick GetLoopStart() const { return m_loopStart; }
    tick GetLoopEnd() const { return m_loopEnd; }
    bool IsInternalClock() const { return m_internalClock; }
    // Ticks come from our own clock: the internal one, or the one a shared transport places.
    bool IsOwnClock() const { return m_internalClock || m_transportSync.IsActive(); }
    bool IsResyncPending() const { return m_resync; }
    // Timing clocks taken from the clock-in driver so far (any thread): a watcher tells from it
    // whether the master still sends clock.
    int64_t GetFollowedPulseCount() const
    {
        return m_followedPulses.load(std::memory_order_relaxed);
    }
    int32_t GetRealtimeCounter() const { return m_realtimeCounter; }
    const CClockInTracker& GetClockInTracker() const { return m_tracker; }

private:
    // A start, stop or locate asked for by a command: done at once, or asked of the shared
    // transport while one is followed.
    void StartOrAsk(bool start);
    void LocateOrAsk(tick position);
    void PlayingPass(int64_t due);
    void StoppedPass(int64_t due);
    // A pass under incoming clock: the tracker's debt decides how many (playing or stopped)
    // ticks share the time of the due ticks, none stamped before now (100 ns).
    void FollowingPass(int64_t now, int64_t due, bool playing);
    void OnPulse(int32_t msStamp);
    // One playing tick handed over at stamp (100 ns): the tick, position + 1, the loop jump.
    // False when it was the last tick and stopped the transport.
    bool PlayTick(int64_t stamp);
    // One stopped tick handed over at stamp: phrase voices and the clock out keep going.
    void StoppedTick(int64_t stamp);
    // The work of song tick `position`: metronome, phrase voices, clips, recorders, clock out.
    void Tick(tick position);
    // Counts one tick of the real-time counter; every fourth sends a timing clock when clock out
    // is on and mayClock.
    void CountRealtimeTick(bool mayClock);
    // Makes stamp the last tick time and hands it to the open output drivers.
    void HandOver(int64_t stamp);
    // Steps 2..4 of a locate: players and recorders follow the position, song position out.
    void FollowLocate();
    void SendSongPosition();
    void QueueClockMessage(uint8_t status, uint8_t data1 = 0, uint8_t data2 = 0);
    void SetPosition(tick position) { m_position.store(position, std::memory_order_relaxed); }
    void PostPosition();

    CMidiEngine& m_engine;
    double m_tempo = 120.0;
    int64_t m_tickPeriod = kDefaultTickPeriod;
    int64_t m_lastTickTime = 0;
    std::atomic<tick> m_position{0};
    std::atomic<bool> m_playing{false};
    bool m_loopActive = false;
    tick m_loopStart = 0;
    tick m_loopEnd = 0;
    int32_t m_realtimeCounter = 0;
    bool m_internalClock = true;
    int32_t m_clockInDriver = kNoClockInDriver;
    bool m_ignoreSongPosition = false;
    bool m_clockOut = false;
    bool m_sendSongPosition = true;
    bool m_sendClockWhenStopped = true;
    bool m_followStart = true;
    bool m_resync = false;             // the next pulse restarts the tick time from now
    int32_t m_tempoHundredths = 12000; // as last set
    std::atomic<int64_t> m_followedPulses{0};
    CClockInTracker m_tracker;
    CTransportSync m_transportSync{*this};
};
