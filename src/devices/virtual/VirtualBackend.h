#pragma once
// A backend without hardware: named output devices that capture what is sent to them, named
// input devices that tests (or a headless tool) feed, and a clock that is either set by hand or
// follows the steady clock. Used by the tests, rendering and headless runs.
//
// Threads: as CMidiBackend. InjectInput may be called on any thread (it plays the system's input
// thread); the captures and the manual clock may be read and set on any thread.

#include "devices/MidiBackend.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class CVirtualBackend : public CMidiBackend {
public:
    enum class EClock { Manual, RealTime };

    CVirtualBackend(std::vector<std::string> outputNames, std::vector<std::string> inputNames,
                    EClock clock = EClock::Manual);

    std::string GetName() const override;
    int Start(std::string& error) override;
    void Stop() override;
    int64_t GetMasterTime() const override;
    std::vector<std::string> GetOutputNames() const override;
    std::vector<std::string> GetInputNames() const override;
    int OpenOutput(int32_t index, std::string& error) override;
    int CloseOutput(int32_t index, std::string& error) override;
    int PlayBuffer(int32_t index, const CMidiSendBuffer& buffer, std::string& error) override;
    int OpenInput(int32_t index, CMidiInputSink* sink, std::string& error) override;
    int CloseInput(int32_t index, std::string& error) override;
    bool TakeFaults(std::vector<SMidiFault>& faults) override;
    bool TakeDeviceChanges() override;
    bool Rescan() override;
    bool IsDevicePresent(bool output, int32_t index) const override;
    int64_t GetOutputLatency() const override { return m_outputLatency.load(); }

    // How long after its stamp output sounds (100 ns, 0 at first), as a backend that writes
    // ahead or a slow instrument would report it.
    void SetOutputLatency(int64_t latency) { m_outputLatency.store(latency); }

    // Manual clock only: the master-clock time in 100 ns units.
    void SetTime(int64_t time);
    void AdvanceTime(int64_t delta);

    // Makes the next opens of a device fail with text (empty text: succeed again).
    void SetOutputOpenFailure(int32_t index, std::string text);
    void SetInputOpenFailure(int32_t index, std::string text);
    // Makes Start fail with text (empty: succeed).
    void SetStartFailure(std::string text);
    // Reports a device as failed at the next TakeFaults, as a vanished port would be.
    void InjectFault(bool output, int32_t index, std::string reason, bool serverLost = false);
    // A device unplugged (its open fails and an open one fails at the next TakeFaults) or
    // plugged in again; announced as the system would.
    void SetPresent(bool output, int32_t index, bool present);
    // A device that appears after Start: listed at the next Rescan, announced now.
    void AddDevice(bool output, std::string name);
    // Stops keeping what is sent (a long headless run would otherwise grow without bound).
    void SetCapture(bool capture);

    bool IsOutputOpen(int32_t index) const;
    bool IsInputOpen(int32_t index) const;
    // Every message sent to an output so far, with its stamp, in sending order.
    std::vector<SMidiOutRecord> GetSent(int32_t index) const;
    // Moves what an output was sent so far into `records` (cleared first) and leaves the output
    // with the room `records` had, so a caller that takes every tick stops allocating.
    void TakeSent(int32_t index, std::vector<SMidiOutRecord>& records);
    // How many buffers an output was played.
    int32_t GetPlayCount(int32_t index) const;
    void ClearSent();

    // Delivers bytes to an open input as its device would, stamped with the master clock in ms
    // (or with msStamp). Returns false when the input is not open (the bytes are then lost, as on
    // a real port nobody listens to).
    bool InjectInput(int32_t index, const std::vector<uint8_t>& bytes);
    bool InjectInput(int32_t index, const std::vector<uint8_t>& bytes, int32_t msStamp);

private:
    struct SOutput {
        std::string name;
        bool open = false;
        std::string openFailure;
        std::vector<SMidiOutRecord> sent;
        int32_t playCount = 0;
    };
    struct SInput {
        std::string name;
        CMidiInputSink* sink = nullptr; // set while open
        std::string openFailure;
    };

    bool ValidOutput(int32_t index) const;
    bool ValidInput(int32_t index) const;

    EClock m_clock;
    std::chrono::steady_clock::time_point m_epoch;
    std::atomic<int64_t> m_manualTime{0};
    std::atomic<int64_t> m_outputLatency{0};
    bool m_started = false;
    bool m_capture = true;
    std::string m_startFailure;
    std::vector<SOutput> m_outputs;
    std::vector<SInput> m_inputs;
    std::atomic<bool> m_faultPending{false};
    std::vector<SMidiFault> m_faults; // under m_outputLock
    std::atomic<bool> m_changed{false};
    std::vector<std::pair<bool, std::string>> m_appeared; // under m_outputLock: output?, name
    mutable std::mutex m_outputLock;  // captures: written by the engine, read by anyone
    mutable std::mutex m_inputLock;   // held while a sink runs, so close waits for it
};
