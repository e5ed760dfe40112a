#include "devices/jack/JackBackend.h"

#include "devices/LibraryMessages.h"
#include "devices/NoteDebt.h"
#include "devices/jack/JackFrames.h"
#include "devices/jack/JackTransport.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <mutex>
#include <semaphore.h>
#include <thread>
#include <utility>

namespace {

constexpr int32_t kMaxOpenPorts = 64;        // open outputs, and open inputs, at once
constexpr size_t kOutputRingBytes = 1 << 18; // room for 16384 stamped messages per output
constexpr size_t kInputRingBytes = 1 << 16;  // raw input waiting for the delivery thread
constexpr auto kCycleWait = std::chrono::milliseconds(1000);
constexpr auto kDrainWait = std::chrono::milliseconds(500);
// How often the open devices' ports are looked for without a report of a change: a client that
// leaves may report its ports gone before they are (or late, when killed while we feed it).
constexpr auto kPortCheckInterval = std::chrono::milliseconds(100);

const char* const kNoServer = "The JACK server is not running.";
const char* const kServerStopped = "The JACK server has stopped.";
const char* const kNoDevice = "No such MIDI device.";
const char* const kNotOpen = "The MIDI device is not open.";
const char* const kOverflow = "Too much MIDI output is waiting for the JACK server.";

// One message on its way to the process callback: the frame it belongs to and its bytes.
struct SStamped {
    int64_t frame;
    uint8_t length;
    uint8_t bytes[3];
};

// What the callback puts in front of each input event in the input ring.
struct SInputHeader {
    int32_t msStamp;
    uint32_t size;
};

int64_t SteadyUnits()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() / 100;
}

int64_t ThreadCpuNs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// JACK's error and info functions: the library's own print every line on standard error.
void JackError(const char* text)
{
    if (IsLibraryMessageWanted())
        ReportLibraryMessage({"JACK", ELibraryLevel::Error, text != nullptr ? text : "", {}});
}

void JackInfo(const char* text)
{
    if (IsLibraryMessageWanted())
        ReportLibraryMessage({"JACK", ELibraryLevel::Info, text != nullptr ? text : "", {}});
}

// The name our client asks for: a session manager may hand us another one.
std::string& ClientName()
{
    static std::string name = CJackBackend::kClientName;
    return name;
}

jack_client_t* OpenClient()
{
    jack_status_t status{};
    return jack_client_open(ClientName().c_str(), JackNoStartServer, &status);
}

// A port name of ours for a device: JACK splits full names at ':', so the target's is replaced.
std::string OwnPortName(const char* prefix, const std::string& target)
{
    std::string name = prefix + target;
    std::replace(name.begin(), name.end(), ':', '.');
    const size_t room = static_cast<size_t>(jack_port_name_size()) -
                        ClientName().size() - 8; // client, ':', renaming room
    if (name.size() > room) name.resize(room);
    return name;
}

} // namespace

class CJackBackend::CImpl {
public:
    // A device of the server as enumerated at start, and our port while it is open.
    struct SOpenPort {
        jack_port_t* port = nullptr;
        jack_ringbuffer_t* ring = nullptr;
        CMidiInputSink* sink = nullptr; // inputs only
        std::string target;             // the device's full port name
        mutable CNoteDebt debt;         // outputs only: note-offs that could not be sent
        mutable uint64_t queued = 0;    // outputs: messages put into the ring (writer thread)
        uint64_t sent = 0;              // outputs: messages taken from it (process callback)
    };
    struct SDevice {
        std::string name;
        int32_t slot = -1; // index into the slot array while open
        // Its port went away while open: closing leaves our port registered (the server may be
        // shutting down, and libjack does not survive a call into it then) for the next open.
        bool vanished = false;
        jack_port_t* kept = nullptr;
    };
    using CSlots = std::array<std::atomic<SOpenPort*>, kMaxOpenPorts>;

    ~CImpl() { Stop(); }

    int Start(std::string& error);
    void Stop();
    int64_t MasterTime() const;
    int Open(bool output, int32_t index, CMidiInputSink* sink, std::string& error);
    int Close(bool output, int32_t index, std::string& error);
    int Play(int32_t index, const CMidiSendBuffer& buffer, std::string& error);
    bool TakeFaults(std::vector<SMidiFault>& faults);
    // The failures since the last call, without those Reconnect kept.
    bool CollectFaults(std::vector<SMidiFault>& faults);
    bool IsIdle(int32_t index) const;
    // Frames from a stamp to where our open outputs lead: write-ahead plus playback latency.
    int64_t OutputLatencyFrames() const;
    int AttachAudio(CAudioRenderer* renderer, std::string& error);
    void DetachAudio();
    // Engine thread: while the server is gone and the synthesizer waits for it, tries now and
    // then to reach a new one.
    void RetryLostServer();
    const SOpenPort* FindOpen(bool output, int32_t index) const;
    // Appends the ports that appeared since, keeping the indices of those listed.
    bool Rescan();
    bool IsPresent(bool output, int32_t index) const;
    std::atomic<bool> m_devicesChanged{false}; // ports came or went, or a new server answered
    std::atomic<bool> m_lost{false};           // the server went away (until a new one answers)

    std::vector<SDevice> m_outputs;
    std::vector<SDevice> m_inputs;
    std::atomic<uint32_t> m_rate{0};
    std::atomic<int64_t> m_latency{0}; // frames
    std::atomic<int64_t> m_late{0};
    std::atomic<int64_t> m_refused{0};
    std::atomic<int64_t> m_xruns{0};
    std::atomic<int64_t> m_callbackCpuNs{0};
    CJackTransport m_transport;

private:
    static int ProcessThunk(jack_nframes_t frames, void* arg);
    static void ShutdownThunk(jack_status_t, const char*, void* arg);
    static void PortThunk(jack_port_id_t, int, void* arg);
    static void ConnectThunk(jack_port_id_t, jack_port_id_t, int, void* arg);
    static int BufferSizeThunk(jack_nframes_t frames, void* arg);
    static int XrunThunk(void* arg);

    int Connect(std::string& error);
    void Disconnect();
    // After a loss: closes what was open and connects to a new server.
    int Reconnect(std::string& error);
    // Registers the audio outputs of the attached renderer, connects them to the playback ports.
    int RegisterAudio(std::string& error);
    void Process(jack_nframes_t frames);
    void WriteOutput(SOpenPort& open, jack_nframes_t frames, int64_t cycleStart);
    void ReadInput(SOpenPort& open, jack_nframes_t frames, int64_t cycleStart);
    void WriteAudio(jack_nframes_t frames, int64_t cycleStart);
    void DeliveryLoop();
    // Waits until every process cycle that may have seen a slot before it was emptied is over.
    void WaitCycles(uint64_t cycles) const;
    bool PortExists(const std::string& name) const;
    // The other clients' MIDI ports with flags, by full name.
    std::vector<std::string> Collect(unsigned long flags) const;
    // Connects our port of an open device to it again where the connection is gone (the port went
    // and came back between two looks, or someone took the connection away).
    void RestoreConnection(const SOpenPort& open, bool output) const;

    jack_client_t* m_client = nullptr;
    bool m_started = false;
    std::atomic<bool> m_portsChanged{false};
    std::chrono::steady_clock::time_point m_nextPortCheck{}; // engine thread
    bool m_lostReported = false;
    std::vector<SMidiFault> m_pendingFaults; // engine thread: devices a reconnect closed
    std::atomic<uint64_t> m_cycles{0};
    // Frames of the server are extended to 64 bits and moved by m_frameBase onto our own count,
    // which carries on across a change of server.
    int64_t m_frameBase = 0;
    int64_t m_callbackFrame = 0; // process thread: last cycle start, server frames, extended
    // The master clock follows the cycles the callback actually runs (the server's own estimate
    // of the current frame wanders far off on a loaded machine): the start of the last cycle,
    // published under a sequence lock, plus the steady time since, at most to the cycle's end.
    // Its accesses are sequentially consistent, so it needs no fences (which the thread
    // sanitizer cannot check); that costs a few locked stores a cycle.
    std::atomic<uint64_t> m_cycleSeq{0};
    std::atomic<int64_t> m_cycleFrame{0};  // our frame count at the last cycle's start
    std::atomic<int64_t> m_cycleSteady{0}; // steady clock (100 ns) then
    std::atomic<int64_t> m_cycleLength{0}; // its frames
    void PublishCycle(int64_t frame, int64_t length);
    mutable std::atomic<int64_t> m_lastTime{0}; // master clock: never goes back
    int64_t m_steadyOffset = 0;                 // master time minus steady time at start

    CSlots m_outSlots{};
    CSlots m_inSlots{};
    std::array<std::unique_ptr<SOpenPort>, kMaxOpenPorts> m_outOwned;
    std::array<std::unique_ptr<SOpenPort>, kMaxOpenPorts> m_inOwned;

    // The audio outputs while a renderer is attached; the callback reads them through m_audio.
    struct SAudio {
        jack_port_t* left = nullptr;
        jack_port_t* right = nullptr;
        CAudioRenderer* renderer = nullptr;
    };
    SAudio m_audioOwned; // the renderer stays here while the server is gone
    std::atomic<SAudio*> m_audio{nullptr};
    std::chrono::steady_clock::time_point m_nextRetry{};

    sem_t m_inputReady{};
    std::atomic<bool> m_quit{false};
    std::mutex m_deliverLock; // held while the delivery thread calls sinks
    std::thread m_delivery;
};

// ---- Life cycle ----

int CJackBackend::CImpl::Connect(std::string& error)
{
    m_client = OpenClient();
    if (m_client == nullptr) {
        error = kNoServer;
        return 0;
    }
    m_rate = jack_get_sample_rate(m_client);
    m_latency = std::max<int64_t>(m_latency.load(), jack_get_buffer_size(m_client));
    const auto frame = static_cast<int64_t>(jack_frame_time(m_client));
    // A new server counts from elsewhere: the master clock carries on from where it was.
    const int64_t last = m_lastTime.load();
    const int64_t carryOn = last == 0 ? 0 : std::max(last, SteadyUnits() + m_steadyOffset);
    m_frameBase = carryOn == 0 ? 0 : jackframes::TimeToFrame(carryOn, m_rate) - frame;
    m_callbackFrame = frame;
    PublishCycle(frame + m_frameBase, jack_get_buffer_size(m_client));
    m_lost = false;
    m_portsChanged = false;
    m_lostReported = false;
    jack_set_process_callback(m_client, ProcessThunk, this);
    jack_on_info_shutdown(m_client, ShutdownThunk, this);
    jack_set_port_registration_callback(m_client, PortThunk, this);
    jack_set_port_connect_callback(m_client, ConnectThunk, this);
    jack_set_buffer_size_callback(m_client, BufferSizeThunk, this);
    jack_set_xrun_callback(m_client, XrunThunk, this);
    const uint64_t cycles = m_cycles.load();
    if (jack_activate(m_client) != 0) {
        jack_client_close(m_client);
        m_client = nullptr;
        error = "The JACK server refused to activate the client.";
        return 0;
    }
    // A server that is shutting down may still take a client, and then runs no cycle for it and
    // never says it went: only a server that runs counts as found.
    WaitCycles(2);
    if (m_cycles.load() == cycles) {
        m_lost = true; // nothing of it is touched again but the client's handle
        jack_client_close(m_client);
        m_client = nullptr;
        error = kNoServer;
        return 0;
    }
    m_transport.Attach(m_client);
    // The synthesizer's outputs went with the old server: they come back with the new one (a
    // refusal leaves it silent, not the MIDI devices closed).
    std::string ignored;
    if (m_audioOwned.renderer != nullptr) RegisterAudio(ignored);
    m_devicesChanged = true; // what was there may be back, and more besides
    return 1;
}

void CJackBackend::CImpl::Disconnect()
{
    if (m_client == nullptr) return;
    m_transport.Detach();
    // The callback of a new client must not see the old client's audio ports.
    m_audio.store(nullptr, std::memory_order_release);
    m_audioOwned.left = nullptr;
    m_audioOwned.right = nullptr;
    if (!m_lost) jack_deactivate(m_client);
    jack_client_close(m_client);
    m_client = nullptr;
    // Kept ports went with the client.
    for (std::vector<SDevice>* devices : {&m_outputs, &m_inputs})
        for (SDevice& device : *devices)
            device.kept = nullptr;
}

int CJackBackend::CImpl::Start(std::string& error)
{
    Stop();
    if (!Connect(error)) return 0;
    m_steadyOffset = MasterTime() - SteadyUnits();
    m_outputs.clear();
    m_inputs.clear();
    Rescan();
    sem_init(&m_inputReady, 0, 0);
    m_quit = false;
    m_delivery = std::thread([this] { DeliveryLoop(); });
    m_started = true;
    return 1;
}

void CJackBackend::CImpl::Stop()
{
    if (!m_started) return;
    DetachAudio();
    std::string ignored;
    for (size_t i = 0; i < m_inputs.size(); ++i)
        Close(false, static_cast<int32_t>(i), ignored);
    for (size_t i = 0; i < m_outputs.size(); ++i)
        Close(true, static_cast<int32_t>(i), ignored);
    m_quit = true;
    sem_post(&m_inputReady);
    m_delivery.join();
    sem_destroy(&m_inputReady);
    Disconnect();
    m_outputs.clear();
    m_inputs.clear();
    m_started = false;
}

std::vector<std::string> CJackBackend::CImpl::Collect(unsigned long flags) const
{
    std::vector<std::string> found;
    const char** names = jack_get_ports(m_client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
    for (const char** name = names; name != nullptr && *name != nullptr; ++name) {
        jack_port_t* port = jack_port_by_name(m_client, *name);
        if (port != nullptr && jack_port_is_mine(m_client, port)) continue;
        found.emplace_back(*name);
    }
    if (names != nullptr) jack_free(names);
    return found;
}

bool CJackBackend::CImpl::Rescan()
{
    if (m_client == nullptr || m_lost.load()) return false;
    bool grew = false;
    auto append = [&](std::vector<SDevice>& devices, unsigned long flags) {
        for (std::string& name : Collect(flags)) {
            const bool known = std::any_of(devices.begin(), devices.end(),
                                           [&](const SDevice& d) { return d.name == name; });
            if (known) continue;
            devices.push_back(SDevice{std::move(name), -1});
            grew = true;
        }
    };
    append(m_outputs, JackPortIsInput);
    append(m_inputs, JackPortIsOutput);
    return grew;
}

bool CJackBackend::CImpl::IsPresent(bool output, int32_t index) const
{
    const std::vector<SDevice>& devices = output ? m_outputs : m_inputs;
    if (index < 0 || index >= static_cast<int32_t>(devices.size()) || m_lost.load()) return false;
    return PortExists(devices[static_cast<size_t>(index)].name);
}

// ---- Clock ----

int64_t CJackBackend::CImpl::MasterTime() const
{
    const uint32_t rate = m_rate.load();
    if (rate == 0) return 0;
    int64_t time = 0;
    if (m_client != nullptr && !m_lost.load()) {
        int64_t frame = 0;
        int64_t steady = 0;
        int64_t length = 0;
        for (;;) {
            const uint64_t seq = m_cycleSeq.load();
            frame = m_cycleFrame.load();
            steady = m_cycleSteady.load();
            length = m_cycleLength.load();
            if ((seq & 1) == 0 && seq == m_cycleSeq.load()) break;
        }
        const int64_t elapsed = (SteadyUnits() - steady) * rate / jackframes::kUnitsPerSecond;
        time = jackframes::FramesToTime(frame + std::clamp<int64_t>(elapsed, 0, length - 1), rate);
    } else {
        time = SteadyUnits() + m_steadyOffset;
    }
    // Never back: the server's estimate may wobble, and the steady clock takes over on a loss.
    int64_t previous = m_lastTime.load();
    while (time > previous && !m_lastTime.compare_exchange_weak(previous, time)) {
    }
    return std::max(time, previous);
}

// ---- Process callback (JACK's real-time thread) ----

int CJackBackend::CImpl::ProcessThunk(jack_nframes_t frames, void* arg)
{
    static_cast<CImpl*>(arg)->Process(frames);
    return 0;
}

void CJackBackend::CImpl::Process(jack_nframes_t frames)
{
    const int64_t cpuStart = ThreadCpuNs();
    m_callbackFrame = jackframes::Unwrap(m_callbackFrame, jack_last_frame_time(m_client));
    const int64_t cycleStart = m_callbackFrame + m_frameBase;
    PublishCycle(cycleStart, frames);
    const uint32_t rate = m_rate.load(std::memory_order_relaxed);
    m_transport.OnCycle(m_client, cycleStart, jackframes::FramesToTime(cycleStart, rate), rate);
    bool input = false;
    for (int32_t i = 0; i < kMaxOpenPorts; ++i) {
        if (SOpenPort* open = m_outSlots[static_cast<size_t>(i)].load(std::memory_order_acquire))
            WriteOutput(*open, frames, cycleStart);
        if (SOpenPort* open = m_inSlots[static_cast<size_t>(i)].load(std::memory_order_acquire)) {
            ReadInput(*open, frames, cycleStart);
            input = true;
        }
    }
    if (input) sem_post(&m_inputReady);
    WriteAudio(frames, cycleStart);
    m_cycles.fetch_add(1, std::memory_order_release);
    m_callbackCpuNs.fetch_add(ThreadCpuNs() - cpuStart, std::memory_order_relaxed);
}

void CJackBackend::CImpl::WriteOutput(SOpenPort& open, jack_nframes_t frames, int64_t cycleStart)
{
    void* buffer = jack_port_get_buffer(open.port, frames);
    jack_midi_clear_buffer(buffer);
    uint32_t minOffset = 0;
    SStamped msg{};
    while (jack_ringbuffer_peek(open.ring, reinterpret_cast<char*>(&msg), sizeof msg) ==
           sizeof msg) {
        const jackframes::SPlacement place =
            jackframes::Place(msg.frame, cycleStart, frames, minOffset);
        if (!place.due) break; // stamp order: everything behind it is later still
        const int result = jack_midi_event_write(buffer, place.offset, msg.bytes, msg.length);
        if (result == -ENOBUFS) break; // the port is full: the rest goes next cycle, late
        jack_ringbuffer_read_advance(open.ring, sizeof msg);
        ++open.sent;
        if (result != 0) {
            m_refused.fetch_add(1, std::memory_order_relaxed);
            open.debt.Owe(msg.bytes, msg.length, open.sent);
            continue;
        }
        if (place.late) m_late.fetch_add(1, std::memory_order_relaxed);
        minOffset = place.offset;
    }
    open.debt.TakeAll(open.sent, [&](const uint8_t* off) {
        return jack_midi_event_write(buffer, minOffset, off, 3) == 0;
    });
}

void CJackBackend::CImpl::ReadInput(SOpenPort& open, jack_nframes_t frames, int64_t cycleStart)
{
    void* buffer = jack_port_get_buffer(open.port, frames);
    const uint32_t count = jack_midi_get_event_count(buffer);
    const uint32_t rate = m_rate.load(std::memory_order_relaxed);
    for (uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event{};
        if (jack_midi_event_get(&event, buffer, i) != 0 || event.size == 0) continue;
        const int64_t time = jackframes::FramesToTime(cycleStart + event.time, rate);
        const SInputHeader header{InputStampOf(time), static_cast<uint32_t>(event.size)};
        if (jack_ringbuffer_write_space(open.ring) < sizeof header + event.size) continue;
        jack_ringbuffer_write(open.ring, reinterpret_cast<const char*>(&header), sizeof header);
        jack_ringbuffer_write(open.ring, reinterpret_cast<const char*>(event.buffer), event.size);
    }
}

void CJackBackend::CImpl::WriteAudio(jack_nframes_t frames, int64_t cycleStart)
{
    SAudio* audio = m_audio.load(std::memory_order_acquire);
    if (audio == nullptr) return;
    auto* left = static_cast<float*>(jack_port_get_buffer(audio->left, frames));
    auto* right = static_cast<float*>(jack_port_get_buffer(audio->right, frames));
    audio->renderer->RenderAudio(left, right, frames, cycleStart);
}

void CJackBackend::CImpl::PublishCycle(int64_t frame, int64_t length)
{
    const uint64_t seq = m_cycleSeq.load();
    m_cycleSeq.store(seq + 1);
    m_cycleFrame.store(frame);
    m_cycleSteady.store(SteadyUnits());
    m_cycleLength.store(std::max<int64_t>(length, 1));
    m_cycleSeq.store(seq + 2);
}

int CJackBackend::CImpl::BufferSizeThunk(jack_nframes_t frames, void* arg)
{
    // Stamps only ever move later, so the order of what is queued holds.
    auto& latency = static_cast<CImpl*>(arg)->m_latency;
    int64_t current = latency.load();
    while (frames > current && !latency.compare_exchange_weak(current, frames)) {
    }
    return 0;
}

int CJackBackend::CImpl::XrunThunk(void* arg)
{
    static_cast<CImpl*>(arg)->m_xruns.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

void CJackBackend::CImpl::ShutdownThunk(jack_status_t, const char*, void* arg)
{
    static_cast<CImpl*>(arg)->m_lost = true;
}

void CJackBackend::CImpl::PortThunk(jack_port_id_t, int, void* arg)
{
    auto* impl = static_cast<CImpl*>(arg);
    impl->m_portsChanged = true;
    impl->m_devicesChanged = true;
}

void CJackBackend::CImpl::ConnectThunk(jack_port_id_t, jack_port_id_t, int, void* arg)
{
    static_cast<CImpl*>(arg)->m_portsChanged = true;
}

// ---- Input delivery thread ----

void CJackBackend::CImpl::DeliveryLoop()
{
    std::vector<uint8_t> bytes;
    bytes.reserve(1024);
    while (!m_quit.load()) {
        timespec until{};
        clock_gettime(CLOCK_REALTIME, &until);
        until.tv_nsec += 100000000; // wake now and then to see m_quit
        if (until.tv_nsec >= 1000000000) {
            until.tv_nsec -= 1000000000;
            ++until.tv_sec;
        }
        sem_timedwait(&m_inputReady, &until);
        std::lock_guard<std::mutex> guard(m_deliverLock);
        for (auto& slot : m_inSlots) {
            SOpenPort* open = slot.load(std::memory_order_acquire);
            if (open == nullptr || open->sink == nullptr) continue;
            SInputHeader header{};
            // The callback writes header and bytes in two steps: take an event only when whole.
            while (jack_ringbuffer_peek(open->ring, reinterpret_cast<char*>(&header),
                                        sizeof header) == sizeof header &&
                   jack_ringbuffer_read_space(open->ring) >= sizeof header + header.size) {
                jack_ringbuffer_read_advance(open->ring, sizeof header);
                bytes.resize(header.size);
                jack_ringbuffer_read(open->ring, reinterpret_cast<char*>(bytes.data()),
                                     header.size);
                open->sink->OnMidiInput(bytes.data(), static_cast<int32_t>(bytes.size()),
                                        header.msStamp);
            }
        }
    }
}

int CJackBackend::CImpl::Reconnect(std::string& error)
{
    // The devices closed here still fail for the engine, with the reason, at the next TakeFaults.
    CollectFaults(m_pendingFaults);
    // The server went away: try a new one (devices are followed by name).
    for (size_t i = 0; i < m_outputs.size(); ++i)
        Close(true, static_cast<int32_t>(i), error);
    for (size_t i = 0; i < m_inputs.size(); ++i)
        Close(false, static_cast<int32_t>(i), error);
    Disconnect();
    return Connect(error);
}

void CJackBackend::CImpl::RetryLostServer()
{
    constexpr auto kRetryInterval = std::chrono::seconds(1);
    if (!m_started || (m_client != nullptr && !m_lost.load())) return;
    const auto now = std::chrono::steady_clock::now();
    if (now < m_nextRetry) return;
    m_nextRetry = now + kRetryInterval;
    std::string ignored;
    Reconnect(ignored);
}

// ---- Audio ----

int CJackBackend::CImpl::AttachAudio(CAudioRenderer* renderer, std::string& error)
{
    if (m_audioOwned.renderer != nullptr) {
        error = "The audio outputs are in use.";
        return 0;
    }
    if (!m_started || ((m_client == nullptr || m_lost) && !Reconnect(error))) {
        error = kNoServer;
        return 0;
    }
    m_audioOwned.renderer = renderer;
    if (RegisterAudio(error)) return 1;
    m_audioOwned.renderer = nullptr;
    return 0;
}

int CJackBackend::CImpl::RegisterAudio(std::string& error)
{
    SAudio& audio = m_audioOwned;
    audio.left =
        jack_port_register(m_client, "synth_L", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    audio.right =
        jack_port_register(m_client, "synth_R", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    if (audio.left == nullptr || audio.right == nullptr) {
        if (audio.left != nullptr) jack_port_unregister(m_client, audio.left);
        if (audio.right != nullptr) jack_port_unregister(m_client, audio.right);
        audio.left = nullptr;
        audio.right = nullptr;
        error = "JACK refused to make the audio ports.";
        return 0;
    }
    m_audio.store(&audio, std::memory_order_release);
    // Heard at once where the machine has speakers; a graph without them is left as it is.
    const char** playback = jack_get_ports(m_client, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                           JackPortIsPhysical | JackPortIsInput);
    if (playback != nullptr) {
        jack_connect(m_client, jack_port_name(audio.left), playback[0]);
        jack_connect(m_client, jack_port_name(audio.right),
                     playback[1] != nullptr ? playback[1] : playback[0]);
        jack_free(playback);
    }
    return 1;
}

void CJackBackend::CImpl::DetachAudio()
{
    if (m_audioOwned.renderer == nullptr) return;
    m_audio.store(nullptr, std::memory_order_release);
    WaitCycles(2);
    if (m_client != nullptr && !m_lost && m_audioOwned.left != nullptr) {
        jack_port_unregister(m_client, m_audioOwned.left);
        jack_port_unregister(m_client, m_audioOwned.right);
    }
    m_audioOwned = {};
}

// ---- Devices ----

bool CJackBackend::CImpl::PortExists(const std::string& name) const
{
    return m_client != nullptr && jack_port_by_name(m_client, name.c_str()) != nullptr;
}

void CJackBackend::CImpl::RestoreConnection(const SOpenPort& open, bool output) const
{
    if (jack_port_connected_to(open.port, open.target.c_str())) return;
    const char* ours = jack_port_name(open.port);
    if (output)
        jack_connect(m_client, ours, open.target.c_str());
    else
        jack_connect(m_client, open.target.c_str(), ours);
}

void CJackBackend::CImpl::WaitCycles(uint64_t cycles) const
{
    const uint64_t until = m_cycles.load(std::memory_order_acquire) + cycles;
    const auto deadline = std::chrono::steady_clock::now() + kCycleWait;
    while (m_cycles.load(std::memory_order_acquire) < until && !m_lost.load() &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(500));
}

int CJackBackend::CImpl::Open(bool output, int32_t index, CMidiInputSink* sink, std::string& error)
{
    std::vector<SDevice>& devices = output ? m_outputs : m_inputs;
    if (!m_started || index < 0 || index >= static_cast<int32_t>(devices.size())) {
        error = kNoDevice;
        return 0;
    }
    SDevice& device = devices[static_cast<size_t>(index)];
    if (device.slot >= 0) return 1;
    if ((m_lost || m_client == nullptr) && !Reconnect(error)) return 0;
    CSlots& slots = output ? m_outSlots : m_inSlots;
    auto& owned = output ? m_outOwned : m_inOwned;
    int32_t slot = 0;
    while (slot < kMaxOpenPorts && owned[static_cast<size_t>(slot)] != nullptr)
        ++slot;
    if (slot == kMaxOpenPorts) {
        error = "Too many MIDI ports are open.";
        return 0;
    }
    if (!PortExists(device.name)) {
        error = "The MIDI port " + device.name + " is not there.";
        return 0;
    }
    auto open = std::make_unique<SOpenPort>();
    open->target = device.name;
    open->sink = sink;
    const std::string own = OwnPortName(output ? "to " : "from ", device.name);
    open->port = device.kept != nullptr
                     ? std::exchange(device.kept, nullptr)
                     : jack_port_register(m_client, own.c_str(), JACK_DEFAULT_MIDI_TYPE,
                                          output ? JackPortIsOutput : JackPortIsInput, 0);
    if (open->port == nullptr) {
        error = "JACK refused to make the port " + own + ".";
        return 0;
    }
    open->ring = jack_ringbuffer_create(output ? kOutputRingBytes : kInputRingBytes);
    if (open->ring == nullptr) {
        jack_port_unregister(m_client, open->port);
        error = "Out of memory.";
        return 0;
    }
    jack_ringbuffer_mlock(open->ring);
    // Published before connecting, so the callback clears the buffer before anyone reads it.
    slots[static_cast<size_t>(slot)].store(open.get(), std::memory_order_release);
    const char* ours = jack_port_name(open->port);
    const int connected = output ? jack_connect(m_client, ours, device.name.c_str())
                                 : jack_connect(m_client, device.name.c_str(), ours);
    owned[static_cast<size_t>(slot)] = std::move(open);
    device.slot = slot;
    if (connected != 0 && connected != EEXIST) {
        std::string ignored;
        Close(output, index, ignored);
        error = "Cannot connect to the MIDI port " + device.name + ".";
        return 0;
    }
    // The server takes a new connection into its graph at a cycle's start: what is sent before
    // that would reach no one.
    WaitCycles(2);
    return 1;
}

int CJackBackend::CImpl::Close(bool output, int32_t index, std::string& error)
{
    std::vector<SDevice>& devices = output ? m_outputs : m_inputs;
    if (index < 0 || index >= static_cast<int32_t>(devices.size())) {
        error = kNoDevice;
        return 0;
    }
    SDevice& device = devices[static_cast<size_t>(index)];
    if (device.slot < 0) return 1;
    const auto slot = static_cast<size_t>(device.slot);
    CSlots& slots = output ? m_outSlots : m_inSlots;
    auto& owned = output ? m_outOwned : m_inOwned;
    SOpenPort& open = *owned[slot];
    if (output) {
        // What was played last (the note-offs of a closing driver) leaves before the port goes.
        const auto deadline = std::chrono::steady_clock::now() + kDrainWait;
        while (jack_ringbuffer_read_space(open.ring) > 0 && !m_lost.load() &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        WaitCycles(2);
    }
    const bool keep = std::exchange(device.vanished, false);
    const bool talk = m_client != nullptr && !m_lost && !keep;
    // Disconnected before the callback lets go of it, so no one reads a stale buffer.
    if (talk) jack_port_disconnect(m_client, open.port);
    slots[slot].store(nullptr, std::memory_order_release);
    WaitCycles(2);
    if (!output) {
        std::lock_guard<std::mutex> guard(m_deliverLock); // no sink call after this
        open.sink = nullptr;
    }
    if (talk) jack_port_unregister(m_client, open.port);
    if (keep) device.kept = open.port;
    jack_ringbuffer_free(open.ring);
    owned[slot].reset();
    device.slot = -1;
    return 1;
}

int CJackBackend::CImpl::Play(int32_t index, const CMidiSendBuffer& buffer, std::string& error)
{
    const SOpenPort* open = FindOpen(true, index);
    if (open == nullptr) {
        error = kNotOpen;
        return 0;
    }
    const uint32_t rate = m_rate.load();
    const int64_t latency = m_latency.load();
    int result = 1;
    for (const SMidiOutRecord& record : buffer) {
        SStamped msg{jackframes::TimeToFrame(record.time, rate) + latency, record.length, {}};
        std::memcpy(msg.bytes, record.bytes.data(), sizeof msg.bytes);
        if (jack_ringbuffer_write_space(open->ring) < sizeof msg) {
            m_refused.fetch_add(1, std::memory_order_relaxed);
            open->debt.Owe(msg.bytes, msg.length, open->queued);
            error = kOverflow;
            result = 0;
            continue;
        }
        jack_ringbuffer_write(open->ring, reinterpret_cast<const char*>(&msg), sizeof msg);
        ++open->queued;
    }
    return result;
}

const CJackBackend::CImpl::SOpenPort* CJackBackend::CImpl::FindOpen(bool output,
                                                                    int32_t index) const
{
    const std::vector<SDevice>& devices = output ? m_outputs : m_inputs;
    if (index < 0 || index >= static_cast<int32_t>(devices.size())) return nullptr;
    const int32_t slot = devices[static_cast<size_t>(index)].slot;
    if (slot < 0) return nullptr;
    return (output ? m_outOwned : m_inOwned)[static_cast<size_t>(slot)].get();
}

bool CJackBackend::CImpl::IsIdle(int32_t index) const
{
    const SOpenPort* open = FindOpen(true, index);
    return open == nullptr || m_lost.load() || jack_ringbuffer_read_space(open->ring) == 0;
}

int64_t CJackBackend::CImpl::OutputLatencyFrames() const
{
    int64_t beyond = 0; // the farthest a connection leads on from one of our outputs
    const auto measure = [&](jack_port_t* port) {
        if (port == nullptr) return;
        jack_latency_range_t range{};
        jack_port_get_latency_range(port, JackPlaybackLatency, &range);
        beyond = std::max<int64_t>(beyond, range.max);
    };
    if (m_client != nullptr && !m_lost.load()) {
        for (const auto& slot : m_outSlots)
            if (const SOpenPort* open = slot.load(std::memory_order_acquire)) measure(open->port);
        measure(m_audioOwned.left);
        measure(m_audioOwned.right);
    }
    return m_latency.load() + beyond;
}

bool CJackBackend::CImpl::TakeFaults(std::vector<SMidiFault>& faults)
{
    const bool pending = !m_pendingFaults.empty();
    faults.insert(faults.end(), m_pendingFaults.begin(), m_pendingFaults.end());
    m_pendingFaults.clear();
    return CollectFaults(faults) || pending;
}

bool CJackBackend::CImpl::CollectFaults(std::vector<SMidiFault>& faults)
{
    const bool lost = m_lost.load();
    if (lost && m_lostReported) return false;
    // The ports are looked at when a change was reported, and now and then anyway: the report
    // can come before the port is gone, and then no second one follows.
    const auto now = std::chrono::steady_clock::now();
    if (!lost && !m_portsChanged.load() && now < m_nextPortCheck) return false;
    m_nextPortCheck = now + kPortCheckInterval;
    // After a loss the ports are gone with the server: one fault per device, with that reason.
    m_lostReported = lost;
    m_portsChanged = false;
    const size_t before = faults.size();
    auto check = [&](std::vector<SDevice>& devices, bool output) {
        for (size_t i = 0; i < devices.size(); ++i) {
            if (devices[i].slot < 0) continue;
            if (lost) {
                faults.push_back({output, static_cast<int32_t>(i), kServerStopped, true});
            } else if (!PortExists(devices[i].name)) {
                devices[i].vanished = true;
                faults.push_back({output, static_cast<int32_t>(i),
                                  "The MIDI port " + devices[i].name + " has disappeared."});
            } else {
                const auto slot = static_cast<size_t>(devices[i].slot);
                RestoreConnection(*(output ? m_outOwned : m_inOwned)[slot], output);
            }
        }
    };
    check(m_outputs, true);
    check(m_inputs, false);
    return faults.size() > before;
}

// ---- The backend ----

void CJackBackend::SetClientName(const std::string& name)
{
    if (!name.empty()) ClientName() = name;
}

CJackBackend::CJackBackend() : m_impl(std::make_unique<CImpl>())
{}

CJackBackend::~CJackBackend() = default;

void CJackBackend::RouteLibraryMessages()
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        jack_set_error_function(JackError);
        jack_set_info_function(JackInfo);
    });
}

bool CJackBackend::IsServerRunning()
{
    // The library's lines would be noise when there is simply no server.
    RouteLibraryMessages();
    jack_client_t* client = OpenClient();
    if (client == nullptr) return false;
    jack_client_close(client);
    return true;
}

std::string CJackBackend::GetName() const
{
    return "jack";
}

int CJackBackend::Start(std::string& error)
{
    RouteLibraryMessages();
    return m_impl->Start(error);
}

void CJackBackend::Stop()
{
    m_impl->Stop();
}

int64_t CJackBackend::GetMasterTime() const
{
    return m_impl->MasterTime();
}

std::vector<std::string> CJackBackend::GetOutputNames() const
{
    std::vector<std::string> names;
    for (const CImpl::SDevice& device : m_impl->m_outputs)
        names.push_back(device.name);
    return names;
}

std::vector<std::string> CJackBackend::GetInputNames() const
{
    std::vector<std::string> names;
    for (const CImpl::SDevice& device : m_impl->m_inputs)
        names.push_back(device.name);
    return names;
}

int CJackBackend::OpenOutput(int32_t index, std::string& error)
{
    return m_impl->Open(true, index, nullptr, error);
}

int CJackBackend::CloseOutput(int32_t index, std::string& error)
{
    return m_impl->Close(true, index, error);
}

int CJackBackend::PlayBuffer(int32_t index, const CMidiSendBuffer& buffer, std::string& error)
{
    return m_impl->Play(index, buffer, error);
}

int CJackBackend::OpenInput(int32_t index, CMidiInputSink* sink, std::string& error)
{
    return m_impl->Open(false, index, sink, error);
}

int CJackBackend::CloseInput(int32_t index, std::string& error)
{
    return m_impl->Close(false, index, error);
}

bool CJackBackend::TakeFaults(std::vector<SMidiFault>& faults)
{
    return m_impl->TakeFaults(faults);
}

bool CJackBackend::IsServerLost() const
{
    return m_impl->m_lost.load();
}

std::string CJackBackend::GetServerLostReason() const
{
    return kServerStopped;
}

bool CJackBackend::TakeDeviceChanges()
{
    return m_impl->m_devicesChanged.exchange(false);
}

bool CJackBackend::Rescan()
{
    return m_impl->Rescan();
}

bool CJackBackend::IsDevicePresent(bool output, int32_t index) const
{
    return m_impl->IsPresent(output, index);
}

void CJackBackend::OnPass()
{
    m_impl->RetryLostServer();
}

SMidiOutputStats CJackBackend::GetOutputStats() const
{
    return {m_impl->m_late.load(), m_impl->m_refused.load(), m_impl->m_xruns.load()};
}

CBackendTransport* CJackBackend::GetTransport()
{
    return &m_impl->m_transport;
}

bool CJackBackend::IsOutputIdle(int32_t index) const
{
    return m_impl->IsIdle(index);
}

std::string CJackBackend::GetOwnPortName(bool output, int32_t index) const
{
    const CImpl::SOpenPort* open = m_impl->FindOpen(output, index);
    return open != nullptr ? jack_port_name(open->port) : std::string();
}

uint32_t CJackBackend::GetSampleRate() const
{
    return m_impl->m_rate.load();
}

int64_t CJackBackend::GetOutputLatency() const
{
    const uint32_t rate = m_impl->m_rate.load();
    return rate == 0 ? 0 : jackframes::FramesToTime(m_impl->OutputLatencyFrames(), rate);
}

int64_t CJackBackend::GetLatencyFrames() const
{
    return m_impl->m_latency.load();
}

int64_t CJackBackend::GetCallbackCpuNs() const
{
    return m_impl->m_callbackCpuNs.load();
}

int CJackBackend::AttachAudio(CAudioRenderer* renderer, std::string& error)
{
    return m_impl->AttachAudio(renderer, error);
}

void CJackBackend::DetachAudio()
{
    m_impl->DetachAudio();
}

uint32_t CJackBackend::GetAudioRate() const
{
    return m_impl->m_rate.load();
}

int64_t CJackBackend::AudioFrameOf(int64_t time) const
{
    return jackframes::TimeToFrame(time, m_impl->m_rate.load()) + m_impl->m_latency.load();
}
