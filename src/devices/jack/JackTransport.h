#pragma once
// The JACK transport for the engine: the process callback reads the transport at each cycle's
// start and publishes it beside the cycle's frame on our own count, so the engine can place its
// ticks on the transport's frames exactly; requests go straight to the server's transport; while
// leading, the timebase callback publishes bar, beat, tick and tempo from the engine's timebase.
//
// Threads: OnCycle and the timebase callback on JACK's process thread (real-time safe: atomics
// only); Attach, Detach and SetLeading on the engine's thread; the rest as CBackendTransport.

#include "devices/BackendTransport.h"

#include <jack/jack.h>
#include <jack/transport.h>

#include <array>
#include <atomic>
#include <cstdint>

class CJackTransport : public CBackendTransport {
public:
    // The backend's client came (again) or is about to go; a wanted lead is taken again.
    void Attach(jack_client_t* client);
    void Detach();
    // Process thread, at a cycle's start: cycleFrame on the backend's own count, cycleTime its
    // master-clock time (100 ns).
    void OnCycle(jack_client_t* client, int64_t cycleFrame, int64_t cycleTime, uint32_t rate);

    bool Read(STransportSnapshot& snapshot) const override;
    void RequestStart() override;
    void RequestStop() override;
    void RequestLocate(int64_t frame) override;
    void Publish(const STimebase& timebase) override;
    int SetLeading(bool lead, std::string& error) override;
    bool IsLeading() const override { return m_leading.load(); }

private:
    static void TimebaseThunk(jack_transport_state_t state, jack_nframes_t frames,
                              jack_position_t* pos, int newPosition, void* arg);
    void FillPosition(jack_position_t& pos) const;
    int TakeTimebase(std::string& error);

    enum EField : size_t {
        kCycle, kRolling, kFrame, kCycleFrame, kCycleTime, kRate, kHasBbt, kBar, kBeat, kTick,
        kTicksPerBeat, kBeatsPerBar, kBeatType, kBeatsPerMinute, kFieldCount
    };
    // The latest snapshot under a sequence count (odd while the process thread writes it).
    std::atomic<uint64_t> m_seq{0};
    std::array<std::atomic<int64_t>, kFieldCount> m_fields{};
    uint64_t m_cycles = 0; // process thread

    std::atomic<jack_client_t*> m_client{nullptr};
    std::atomic<int32_t> m_tempoHundredths{12000};
    std::atomic<int32_t> m_beatsPerBar{4};
    std::atomic<int32_t> m_beatType{4};
    std::atomic<bool> m_leading{false};
    bool m_wantLead = false; // engine thread
};
