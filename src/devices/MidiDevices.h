#pragma once
// The device end of the routing graph: the output and input drivers found on the backend, the
// ports "Inp1".."Inp4" and "Out1".."Out8", the record node "Rec", the shared send buffer, and the
// device commands the engine runs (open/close drivers, route ports).
//
// Threads: engine thread. The UI only reads names and counts through the engine, and flips the
// drivers' enabled flags.

#include "devices/InputPort.h"
#include "devices/MidiBackend.h"
#include "devices/MidiInDriver.h"
#include "devices/MidiOutDriver.h"
#include "devices/OutputPort.h"
#include "devices/RecordNode.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// What the stored settings say of devices by name, for those that appear while the engine runs:
// which are disabled (every other one opens) and what each port is routed to.
struct SDeviceWishes {
    std::vector<std::string> disabledOutputs;
    std::vector<std::string> disabledInputs;
    std::array<std::string, CInputPort::kCount> inputPorts;    // empty: none
    std::array<std::string, COutputPort::kCount> outputPorts;  // empty: none
    std::string record;                                        // "Rec"; empty: none
};

class CMidiDevices {
public:
    // Message nodes the pool holds free once the devices have started.
    static constexpr int64_t kReservedMessages = 8192;
    // Drivers of each kind at most: the arrays never move, so the UI may read them while a
    // device that appeared is appended.
    static constexpr int32_t kMaxDrivers = 512;

    // Creates the ports and "Rec", unconnected; no drivers until Start.
    CMidiDevices();
    ~CMidiDevices(); // closes everything

    CMidiDevices(const CMidiDevices&) = delete;
    CMidiDevices& operator=(const CMidiDevices&) = delete;

    // Starts backend (borrowed, must outlive Stop) and creates one driver per device, in
    // enumeration order. Returns 1, or 0 with the backend's reason in error.
    int Start(CMidiBackend& backend, std::string& error);
    // Closes every open input driver, then every open output driver, deletes the drivers and
    // stops the backend. Safe when not started.
    void Stop();
    bool IsStarted() const { return m_backend != nullptr; }
    CMidiBackend* GetBackend() const { return m_backend; } // borrowed, null when not started

    // Called on an input thread when input was queued; set before Start (copied to each driver).
    void SetInputSignal(std::function<void()> signal);
    // Where clock messages of every input go (borrowed; null drops them).
    void SetClockSink(CMidiClockSink* sink);

    // Driver arrays; an index out of range gives null. Any thread: drivers are only appended.
    int32_t GetOutDriverCount() const { return m_outCount.load(std::memory_order_acquire); }
    int32_t GetInDriverCount() const { return m_inCount.load(std::memory_order_acquire); }
    CMidiOutDriver* GetOutDriver(int32_t index) const;
    CMidiInDriver* GetInDriver(int32_t index) const;
    // The open drivers in the order they were opened (borrowed).
    const std::vector<CMidiOutDriver*>& GetOpenOutDrivers() const { return m_openOut; }
    const std::vector<CMidiInDriver*>& GetOpenInDrivers() const { return m_openIn; }

    // Ports by index (0..7, 0..3) or null; "Rec".
    COutputPort* GetOutputPort(int32_t index) const;
    CInputPort* GetInputPort(int32_t index) const;
    CRecordNode& GetRecordNode() { return m_record; }

    // The device commands. Each returns 1 or 0; on 0 error holds the reason.
    // 1 when open afterwards (also when it already was).
    int OpenOutputDriver(int32_t index, std::string& error);
    // 1 also when it was closed; 0 only for a bad index.
    int CloseOutputDriver(int32_t index, std::string& error);
    // 1 whether or not the device opened (the driver's open flag tells; error then holds the
    // reason); 0 for a bad index.
    int OpenInputDriver(int32_t index, std::string& error);
    int CloseInputDriver(int32_t index, std::string& error);
    // Disconnect the port's driver, then connect the given driver if it is open. The first step
    // happens even when the second fails.
    int RouteInputPort(int32_t port, int32_t driver, std::string& error);
    int RouteOutputPort(int32_t port, int32_t driver, std::string& error);
    int RouteRecordNode(int32_t driver, std::string& error);

    // Music thread: closes the open drivers whose devices failed (server gone, port vanished),
    // puts the reason in error and returns how many closed. One atomic read when nothing failed.
    // The drivers it closes are reopened by FollowDevices when their devices are back.
    int32_t HandleFaults(std::string& error);
    // True once after HandleFaults found the whole system gone (a JACK server that stopped):
    // the last fault then names that reason.
    bool TakeServerLost();
    // True once after HandleFaults closed the first drivers of an outage (none was lost before).
    bool TakeOutageStarted();

    // Music thread: when the backend reported ports that came or went (or when forced): lists the
    // devices that appeared (opened and routed as the wishes say, once they are set) and reopens
    // every enabled driver whose device is there again. Returns how many drivers it opened.
    // Allocates only when a device appeared.
    int32_t FollowDevices(bool force);
    // True once, after FollowDevices reopened the last of the drivers that faults had closed.
    bool TakeAllBack();
    // Sets the wishes (a copy is kept); from then on devices that appear are opened and routed.
    void SetWishes(const SDeviceWishes& wishes);
    // The wishes as they are now: every route command updates its port's entry. Engine thread,
    // or the UI thread between commands.
    const SDeviceWishes& GetWishes() const { return m_wishes; }
    // Any thread: changes whenever a driver opens, closes, fails or appears (the device dialog
    // shows the state again when it does).
    uint64_t GetStateSerial() const { return m_stateSerial.load(std::memory_order_acquire); }
    // Any thread: how many devices failed so far, and the reason of the latest.
    int64_t GetFaultCount() const { return m_faultCount.load(); }
    std::string GetLastFault() const;

    // Music thread: poll every open input driver.
    void PollInputs();
    // Music thread: hand time (100 ns) over to every open output driver.
    void HandOver(int64_t time);
    // Music thread: queue a real-time message on every open driver whose clock-send flag is set.
    void QueueClockMessage(const CMidiMsg& msg);
    // "Reset Outputs": the reset messages on every open output driver.
    void ResetOutputs();
    // "Send Instrument Settings": for every open output driver, the first valid program, volume
    // and pan per channel of the instrument sources feeding the ports routed to it.
    void SendInstrumentSettings();

private:
    // Fails with a text when index is outside 0..count-1.
    static bool CheckDriverIndex(int32_t index, int32_t count, std::string& error);
    int RouteInput(CMidiNode& node, int32_t driver, std::string& error);
    // The wish of an input node ("Inp1".."Inp4", "Rec"); null for any other node.
    std::string* InputWish(const CMidiNode& node);
    void AppendOutDriver(const std::string& name);
    void AppendInDriver(const std::string& name);
    // Appends drivers for devices the backend lists beyond ours; opens and routes them.
    void ListNewDevices();
    // Opens the new driver when the wishes allow and routes the ports that wish for it.
    void AdoptOutDriver(int32_t index);
    void AdoptInDriver(int32_t index);
    int32_t ReopenReturned();
    void Changed() { m_stateSerial.fetch_add(1, std::memory_order_release); }

    CMidiBackend* m_backend = nullptr;
    CMidiSendBuffer m_buffer; // shared by every output driver
    std::function<void()> m_signal;
    CMidiClockSink* m_clockSink = nullptr;
    std::vector<std::unique_ptr<CMidiOutDriver>> m_outDrivers;
    std::vector<std::unique_ptr<CMidiInDriver>> m_inDrivers;
    std::atomic<int32_t> m_outCount{0};
    std::atomic<int32_t> m_inCount{0};
    std::vector<CMidiOutDriver*> m_openOut;
    std::vector<CMidiInDriver*> m_openIn;
    std::array<std::unique_ptr<CInputPort>, CInputPort::kCount> m_inputPorts;
    CRecordNode m_record;
    std::array<std::unique_ptr<COutputPort>, COutputPort::kCount> m_outputPorts;
    std::vector<SMidiFault> m_faults; // reused by HandleFaults
    std::atomic<int64_t> m_faultCount{0};
    mutable std::mutex m_faultLock; // guards m_lastFault; taken only when a device failed
    std::string m_lastFault;
    bool m_serverLost = false;    // not yet taken
    bool m_serverWasLost = false; // the backend's answer at the last look
    bool m_outageStarted = false; // not yet taken
    std::vector<const CMidiNode*> m_lost; // drivers closed by a fault and not opened since
    bool m_allBack = false;
    bool m_wishesSet = false;
    SDeviceWishes m_wishes;
    std::atomic<uint64_t> m_stateSerial{0};
};
