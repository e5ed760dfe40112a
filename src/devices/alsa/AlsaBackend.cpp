#include "devices/alsa/AlsaBackend.h"

#include "devices/LibraryMessages.h"
#include "devices/alsa/OutputBacklog.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr const char* kSequencerDevice = "/dev/snd/seq";
constexpr size_t kBacklogCapacity = 16384; // messages waiting per output
constexpr int kOutputPool = 2000;          // kernel events we ask for (the default is ~200)
constexpr int kMaxPorts = 256;             // port numbers of one client
constexpr int64_t kUnitsPerSecond = 10000000;
constexpr int kPollMs = 200; // the input thread looks at its quit flag this often
constexpr auto kCloseWait = std::chrono::milliseconds(500);

const char* const kNoDevice = "No such MIDI device.";
const char* const kNotOpen = "The MIDI device is not open.";
const char* const kBacklogFull = "Too much MIDI output is waiting for the ALSA sequencer.";

int64_t SteadyUnits()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() / 100;
}

bool SameAddress(const snd_seq_addr_t& a, const snd_seq_addr_t& b)
{
    return a.client == b.client && a.port == b.port;
}

// ALSA's error handler: the library's own would print "ALSA lib file:line:(function) text".
void AlsaMessage(const char* file, int line, const char* function, int err, const char* format, ...)
{
    if (!IsLibraryMessageWanted()) return;
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    SLibraryMessage message{"ALSA", ELibraryLevel::Error, text, {}};
    if (err != 0) message.text += std::string(": ") + snd_strerror(err);
    if (file != nullptr)
        message.origin = std::string(file) + ":" + std::to_string(line) +
                         (function != nullptr ? std::string(" ") + function : std::string());
    ReportLibraryMessage(std::move(message));
}

} // namespace

class CAlsaBackend::CImpl {
public:
    struct SDevice {
        std::string name;
        snd_seq_addr_t address{}; // where it was when last seen
        int ownPort = -1;         // our port while open
        CMidiInputSink* sink = nullptr;
        std::unique_ptr<COutputBacklog> backlog; // outputs, while open
        int64_t lastStamp = 0;                   // outputs: the latest stamp handed over
    };

    ~CImpl() { Stop(); }

    int Start(std::string& error);
    void Stop();
    int64_t MasterTime() const;
    int Open(bool output, int32_t index, CMidiInputSink* sink, std::string& error);
    int Close(bool output, int32_t index, std::string& error);
    int Play(int32_t index, const CMidiSendBuffer& buffer, std::string& error);
    void Pump();
    bool TakeFaults(std::vector<SMidiFault>& faults);
    bool IsIdle(int32_t index) const;
    // Appends the ports that appeared since, keeping the indices of those listed.
    bool Rescan();
    bool IsPresent(bool output, int32_t index) const;
    std::atomic<bool> m_devicesChanged{false}; // the system announced a port or client

    std::vector<SDevice> m_outputs;
    std::vector<SDevice> m_inputs;
    snd_seq_t* m_seq = nullptr;
    int m_client = -1;
    std::atomic<int64_t> m_late{0};
    std::atomic<int64_t> m_refused{0};

private:
    // Every port of the other clients with all of `caps`, as "client name:port name".
    std::vector<SDevice> Enumerate(unsigned int caps) const;
    // Where the port called name is now; false when it is not there.
    bool Find(const std::string& name, unsigned int caps, snd_seq_addr_t& address) const;
    int WriteEvent(const SDevice& device, const SMidiOutRecord& record, int64_t now);
    void InputLoop();
    void HandleEvent(const snd_seq_event_t& event, unsigned char* bytes, size_t room);
    void DeviceGone(const snd_seq_addr_t& address, bool wholeClient);
    int64_t QueueTime() const;

    int m_queue = -1;
    int m_announcePort = -1;
    bool m_started = false;
    snd_midi_event_t* m_encoder = nullptr; // engine thread
    snd_midi_event_t* m_decoder = nullptr; // input thread
    int64_t m_steadyOffset = 0;            // no sequencer: master time minus steady time
    mutable std::atomic<int64_t> m_lastTime{0};

    // Shared with the input thread: the sinks and which of our ports feeds which input, and the
    // faults it found. The engine thread takes the lock only to open, close or collect faults.
    std::mutex m_lock;
    std::array<int32_t, kMaxPorts> m_portToInput{};
    std::vector<SMidiFault> m_faults;
    std::atomic<bool> m_faultPending{false};

    int m_wake = -1; // eventfd that ends the input thread's poll
    std::atomic<bool> m_quit{false};
    std::thread m_inputThread;
};

// ---- Life cycle ----

int CAlsaBackend::CImpl::Start(std::string& error)
{
    Stop();
    m_portToInput.fill(-1);
    m_steadyOffset = m_lastTime.load() - SteadyUnits();
    m_started = true;
    if (!IsSequencerPresent()) return 1; // no devices; everything else works on
    const int opened = snd_seq_open(&m_seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK);
    if (opened < 0) {
        m_seq = nullptr;
        m_started = false;
        error = std::string("The ALSA sequencer cannot be opened: ") + snd_strerror(opened) + ".";
        return 0;
    }
    snd_seq_set_client_name(m_seq, kClientName);
    snd_seq_set_client_pool_output(m_seq, kOutputPool); // more room where the kernel allows it
    m_client = snd_seq_client_id(m_seq);
    m_queue = snd_seq_alloc_named_queue(m_seq, kClientName);
    if (m_queue < 0 || snd_midi_event_new(16, &m_encoder) < 0 ||
        snd_midi_event_new(4096, &m_decoder) < 0) {
        Stop();
        error = "The ALSA sequencer refused a queue.";
        return 0;
    }
    snd_midi_event_no_status(m_decoder, 1); // whole messages, no running status
    snd_seq_start_queue(m_seq, m_queue, nullptr);
    snd_seq_drain_output(m_seq);
    // New and vanished ports are announced by the system; a hidden port of ours listens.
    m_announcePort = snd_seq_create_simple_port(m_seq, "announce",
                                                SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
                                                SND_SEQ_PORT_TYPE_APPLICATION);
    if (m_announcePort >= 0)
        snd_seq_connect_from(m_seq, m_announcePort, SND_SEQ_CLIENT_SYSTEM,
                             SND_SEQ_PORT_SYSTEM_ANNOUNCE);
    m_outputs = Enumerate(SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE);
    m_inputs = Enumerate(SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ);
    m_wake = eventfd(0, EFD_NONBLOCK);
    m_quit = false;
    m_inputThread = std::thread([this] { InputLoop(); });
    return 1;
}

void CAlsaBackend::CImpl::Stop()
{
    if (!m_started) return;
    std::string ignored;
    for (size_t i = 0; i < m_inputs.size(); ++i)
        Close(false, static_cast<int32_t>(i), ignored);
    for (size_t i = 0; i < m_outputs.size(); ++i)
        Close(true, static_cast<int32_t>(i), ignored);
    if (m_inputThread.joinable()) {
        m_quit = true;
        const uint64_t one = 1;
        (void)!write(m_wake, &one, sizeof one);
        m_inputThread.join();
    }
    if (m_wake >= 0) close(m_wake);
    m_wake = -1;
    if (m_encoder != nullptr) snd_midi_event_free(m_encoder);
    if (m_decoder != nullptr) snd_midi_event_free(m_decoder);
    m_encoder = m_decoder = nullptr;
    if (m_seq != nullptr) {
        m_steadyOffset = MasterTime() - SteadyUnits(); // the clock goes on without the queue
        if (m_queue >= 0) snd_seq_free_queue(m_seq, m_queue);
        snd_seq_close(m_seq);
    }
    m_seq = nullptr;
    m_queue = m_announcePort = m_client = -1;
    m_outputs.clear();
    m_inputs.clear();
    m_faults.clear();
    m_faultPending = false;
    m_started = false;
}

std::vector<CAlsaBackend::CImpl::SDevice> CAlsaBackend::CImpl::Enumerate(unsigned int caps) const
{
    std::vector<SDevice> devices;
    snd_seq_client_info_t* client = nullptr;
    snd_seq_port_info_t* port = nullptr;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(m_seq, client) >= 0) {
        const int id = snd_seq_client_info_get_client(client);
        if (id == m_client || id == SND_SEQ_CLIENT_SYSTEM) continue;
        snd_seq_port_info_set_client(port, id);
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(m_seq, port) >= 0) {
            const unsigned int has = snd_seq_port_info_get_capability(port);
            if ((has & caps) != caps || (has & SND_SEQ_PORT_CAP_NO_EXPORT) != 0) continue;
            SDevice device;
            device.name = std::string(snd_seq_client_info_get_name(client)) + ":" +
                          snd_seq_port_info_get_name(port);
            device.address = *snd_seq_port_info_get_addr(port);
            devices.push_back(std::move(device));
        }
    }
    return devices;
}

bool CAlsaBackend::CImpl::Find(const std::string& name, unsigned int caps,
                               snd_seq_addr_t& address) const
{
    for (const SDevice& device : Enumerate(caps)) {
        if (device.name != name) continue;
        address = device.address;
        return true;
    }
    return false;
}

// ---- Clock ----

int64_t CAlsaBackend::CImpl::QueueTime() const
{
    snd_seq_queue_status_t* status = nullptr;
    snd_seq_queue_status_alloca(&status);
    if (snd_seq_get_queue_status(m_seq, m_queue, status) < 0) return 0;
    const snd_seq_real_time_t* real = snd_seq_queue_status_get_real_time(status);
    return static_cast<int64_t>(real->tv_sec) * kUnitsPerSecond + real->tv_nsec / 100;
}

int64_t CAlsaBackend::CImpl::MasterTime() const
{
    const int64_t time = m_seq != nullptr ? QueueTime() : SteadyUnits() + m_steadyOffset;
    int64_t previous = m_lastTime.load();
    while (time > previous && !m_lastTime.compare_exchange_weak(previous, time)) {
    }
    return std::max(time, previous);
}

// ---- Devices ----

int CAlsaBackend::CImpl::Open(bool output, int32_t index, CMidiInputSink* sink, std::string& error)
{
    std::vector<SDevice>& devices = output ? m_outputs : m_inputs;
    if (m_seq == nullptr || index < 0 || index >= static_cast<int32_t>(devices.size())) {
        error = kNoDevice;
        return 0;
    }
    SDevice& device = devices[static_cast<size_t>(index)];
    if (device.ownPort >= 0) return 1;
    // Followed by name: a device that came back may sit at a new address.
    const unsigned int caps = output ? SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE
                                     : SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
    snd_seq_addr_t address{};
    if (!Find(device.name, caps, address)) {
        error = "The MIDI port " + device.name + " is not there.";
        return 0;
    }
    snd_seq_port_info_t* info = nullptr;
    snd_seq_port_info_alloca(&info);
    const std::string own = (output ? "to " : "from ") + device.name;
    snd_seq_port_info_set_name(info, own.c_str());
    snd_seq_port_info_set_capability(info,
                                     output ? SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ
                                            : SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE);
    snd_seq_port_info_set_type(info,
                               SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (snd_seq_create_port(m_seq, info) < 0) {
        error = "The ALSA sequencer refused a port for " + device.name + ".";
        return 0;
    }
    const int port = snd_seq_port_info_get_port(info);
    const snd_seq_addr_t ours{static_cast<unsigned char>(m_client),
                              static_cast<unsigned char>(port)};
    snd_seq_port_subscribe_t* subscription = nullptr;
    snd_seq_port_subscribe_alloca(&subscription);
    snd_seq_port_subscribe_set_sender(subscription, output ? &ours : &address);
    snd_seq_port_subscribe_set_dest(subscription, output ? &address : &ours);
    if (!output) {
        // Input is stamped with the queue's real time: the master clock.
        snd_seq_port_subscribe_set_queue(subscription, m_queue);
        snd_seq_port_subscribe_set_time_update(subscription, 1);
        snd_seq_port_subscribe_set_time_real(subscription, 1);
    }
    if (snd_seq_subscribe_port(m_seq, subscription) < 0) {
        snd_seq_delete_simple_port(m_seq, port);
        error = "Cannot connect to the MIDI port " + device.name + ".";
        return 0;
    }
    if (output) device.backlog = std::make_unique<COutputBacklog>(kBacklogCapacity);
    std::lock_guard<std::mutex> guard(m_lock);
    device.address = address;
    device.ownPort = port;
    device.sink = sink;
    if (!output && port < kMaxPorts) m_portToInput[static_cast<size_t>(port)] = index;
    return 1;
}

int CAlsaBackend::CImpl::Close(bool output, int32_t index, std::string& error)
{
    std::vector<SDevice>& devices = output ? m_outputs : m_inputs;
    if (index < 0 || index >= static_cast<int32_t>(devices.size())) {
        error = kNoDevice;
        return 0;
    }
    SDevice& device = devices[static_cast<size_t>(index)];
    if (device.ownPort < 0) return 1;
    if (output) {
        // What waits here (the note-offs of a closing driver) still goes in, whatever its
        // stamp, as the pool makes room, and plays out before the port goes.
        const auto deadline = std::chrono::steady_clock::now() + kCloseWait;
        int64_t refused = 0;
        for (;;) {
            const int64_t now = MasterTime();
            device.backlog->Pump(
                now, kUnitsPerSecond * 3600,
                [&](const SMidiOutRecord& r) { return WriteEvent(device, r, now); }, refused);
            // Events still in the queue would go with our port: wait until they are due.
            const bool sent = device.backlog->IsEmpty() && now >= device.lastStamp;
            if (sent || std::chrono::steady_clock::now() > deadline) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        m_refused.fetch_add(refused + static_cast<int64_t>(device.backlog->GetCount()));
    }
    int port = -1;
    {
        std::lock_guard<std::mutex> guard(m_lock); // no sink call after this
        port = device.ownPort;
        if (!output && port < kMaxPorts) m_portToInput[static_cast<size_t>(port)] = -1;
        device.ownPort = -1;
        device.sink = nullptr;
    }
    snd_seq_delete_simple_port(m_seq, port);
    device.backlog.reset();
    return 1;
}

int CAlsaBackend::CImpl::WriteEvent(const SDevice& device, const SMidiOutRecord& record,
                                    int64_t now)
{
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    snd_midi_event_reset_encode(m_encoder);
    if (snd_midi_event_encode(m_encoder, record.bytes.data(), record.length, &event) < 0 ||
        event.type == SND_SEQ_EVENT_NONE)
        return -EINVAL;
    snd_seq_ev_set_source(&event, device.ownPort);
    snd_seq_ev_set_subs(&event);
    snd_seq_real_time_t when{static_cast<unsigned int>(record.time / kUnitsPerSecond),
                             static_cast<unsigned int>(record.time % kUnitsPerSecond * 100)};
    snd_seq_ev_schedule_real(&event, m_queue, 0, &when);
    const int result = snd_seq_event_output_direct(m_seq, &event);
    if (result == -EAGAIN) return -EAGAIN;
    if (result < 0) return result;
    if (record.time < now) m_late.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

int CAlsaBackend::CImpl::Play(int32_t index, const CMidiSendBuffer& buffer, std::string& error)
{
    if (index < 0 || index >= static_cast<int32_t>(m_outputs.size()) ||
        m_outputs[static_cast<size_t>(index)].ownPort < 0) {
        error = kNotOpen;
        return 0;
    }
    SDevice& device = m_outputs[static_cast<size_t>(index)];
    int result = 1;
    for (const SMidiOutRecord& record : buffer) {
        if (!device.backlog->Push(record)) {
            m_refused.fetch_add(1, std::memory_order_relaxed);
            error = kBacklogFull;
            result = 0;
            continue;
        }
        device.lastStamp = std::max(device.lastStamp, record.time);
    }
    Pump();
    return result;
}

void CAlsaBackend::CImpl::Pump()
{
    if (m_seq == nullptr) return;
    int64_t now = -1;
    for (SDevice& device : m_outputs) {
        if (device.ownPort < 0 || device.backlog->IsEmpty()) continue;
        if (now < 0) now = MasterTime();
        int64_t refused = 0;
        device.backlog->Pump(
            now, kAheadLimit, [&](const SMidiOutRecord& r) { return WriteEvent(device, r, now); },
            refused);
        m_refused.fetch_add(refused, std::memory_order_relaxed);
    }
}

bool CAlsaBackend::CImpl::IsIdle(int32_t index) const
{
    if (index < 0 || index >= static_cast<int32_t>(m_outputs.size())) return true;
    const SDevice& device = m_outputs[static_cast<size_t>(index)];
    if (device.ownPort < 0) return true;
    return device.backlog->IsEmpty() && MasterTime() >= device.lastStamp;
}

bool CAlsaBackend::CImpl::TakeFaults(std::vector<SMidiFault>& faults)
{
    if (!m_faultPending.load()) return false;
    std::lock_guard<std::mutex> guard(m_lock);
    const size_t before = faults.size();
    faults.insert(faults.end(), m_faults.begin(), m_faults.end());
    m_faults.clear();
    m_faultPending = false;
    return faults.size() > before;
}

bool CAlsaBackend::CImpl::Rescan()
{
    if (m_seq == nullptr) return false;
    bool grew = false;
    auto append = [&](std::vector<SDevice>& devices, unsigned int caps) {
        for (SDevice& device : Enumerate(caps)) {
            const bool known = std::any_of(devices.begin(), devices.end(),
                                           [&](const SDevice& d) { return d.name == device.name; });
            if (known) continue;
            std::lock_guard<std::mutex> guard(m_lock); // the input thread reads the lists
            devices.push_back(std::move(device));
            grew = true;
        }
    };
    append(m_outputs, SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE);
    append(m_inputs, SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ);
    return grew;
}

bool CAlsaBackend::CImpl::IsPresent(bool output, int32_t index) const
{
    const std::vector<SDevice>& devices = output ? m_outputs : m_inputs;
    if (m_seq == nullptr || index < 0 || index >= static_cast<int32_t>(devices.size()))
        return false;
    const unsigned int caps = output ? SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE
                                     : SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
    snd_seq_addr_t address{};
    return Find(devices[static_cast<size_t>(index)].name, caps, address);
}

// ---- Input thread ----

void CAlsaBackend::CImpl::InputLoop()
{
    const int count = snd_seq_poll_descriptors_count(m_seq, POLLIN);
    std::vector<pollfd> fds(static_cast<size_t>(count) + 1);
    snd_seq_poll_descriptors(m_seq, fds.data(), static_cast<unsigned int>(count), POLLIN);
    fds.back() = pollfd{m_wake, POLLIN, 0};
    std::vector<unsigned char> bytes(4096);
    while (!m_quit.load()) {
        if (poll(fds.data(), fds.size(), kPollMs) <= 0) continue;
        snd_seq_event_t* event = nullptr;
        for (;;) {
            const int result = snd_seq_event_input(m_seq, &event);
            if (result == -ENOSPC) continue; // the kernel dropped input it had no room for
            if (result < 0 || event == nullptr) break;
            HandleEvent(*event, bytes.data(), bytes.size());
        }
    }
}

void CAlsaBackend::CImpl::HandleEvent(const snd_seq_event_t& event, unsigned char* bytes,
                                      size_t room)
{
    // Our own ports are announced too: they change nothing in the device lists.
    const bool others = event.data.addr.client != m_client;
    switch (event.type) {
    case SND_SEQ_EVENT_PORT_EXIT:
        DeviceGone(event.data.addr, false);
        m_devicesChanged = m_devicesChanged || others;
        return;
    case SND_SEQ_EVENT_CLIENT_EXIT:
        DeviceGone(event.data.addr, true);
        m_devicesChanged = m_devicesChanged || others;
        return;
    case SND_SEQ_EVENT_PORT_START:
    case SND_SEQ_EVENT_CLIENT_START:
    case SND_SEQ_EVENT_PORT_CHANGE:
        // The engine lists what is new and reopens, by name, what came back.
        m_devicesChanged = m_devicesChanged || others;
        return;
    case SND_SEQ_EVENT_PORT_SUBSCRIBED:
    case SND_SEQ_EVENT_PORT_UNSUBSCRIBED:
        return;
    default:
        break;
    }
    const long length = snd_midi_event_decode(m_decoder, bytes, static_cast<long>(room), &event);
    snd_midi_event_reset_decode(m_decoder);
    if (length <= 0) return;
    const bool stamped = (event.flags & SND_SEQ_TIME_STAMP_MASK) == SND_SEQ_TIME_STAMP_REAL;
    const int64_t time = stamped ? static_cast<int64_t>(event.time.time.tv_sec) * kUnitsPerSecond +
                                       event.time.time.tv_nsec / 100
                                 : MasterTime();
    std::lock_guard<std::mutex> guard(m_lock);
    const int port = event.dest.port;
    if (port >= kMaxPorts) return;
    const int32_t index = m_portToInput[static_cast<size_t>(port)];
    if (index < 0) return;
    CMidiInputSink* sink = m_inputs[static_cast<size_t>(index)].sink;
    if (sink != nullptr) sink->OnMidiInput(bytes, static_cast<int32_t>(length), InputStampOf(time));
}

void CAlsaBackend::CImpl::DeviceGone(const snd_seq_addr_t& address, bool wholeClient)
{
    std::lock_guard<std::mutex> guard(m_lock);
    auto check = [&](std::vector<SDevice>& devices, bool output) {
        for (size_t i = 0; i < devices.size(); ++i) {
            const SDevice& device = devices[i];
            if (device.ownPort < 0) continue;
            const bool gone = wholeClient ? device.address.client == address.client
                                          : SameAddress(device.address, address);
            if (!gone) continue;
            m_faults.push_back({output, static_cast<int32_t>(i),
                                "The MIDI port " + device.name + " has disappeared."});
            m_faultPending = true;
        }
    };
    check(m_outputs, true);
    check(m_inputs, false);
}

// ---- The backend ----

CAlsaBackend::CAlsaBackend() : m_impl(std::make_unique<CImpl>())
{}

CAlsaBackend::~CAlsaBackend() = default;

bool CAlsaBackend::IsSequencerPresent()
{
    return access(kSequencerDevice, R_OK | W_OK) == 0;
}

void CAlsaBackend::RouteLibraryMessages()
{
    static std::once_flag installed;
    std::call_once(installed, [] { snd_lib_error_set_handler(AlsaMessage); });
}

std::string CAlsaBackend::GetName() const
{
    return "alsa";
}

int CAlsaBackend::Start(std::string& error)
{
    RouteLibraryMessages();
    return m_impl->Start(error);
}

void CAlsaBackend::Stop()
{
    m_impl->Stop();
}

int64_t CAlsaBackend::GetMasterTime() const
{
    return m_impl->MasterTime();
}

std::vector<std::string> CAlsaBackend::GetOutputNames() const
{
    std::vector<std::string> names;
    for (const CImpl::SDevice& device : m_impl->m_outputs)
        names.push_back(device.name);
    return names;
}

std::vector<std::string> CAlsaBackend::GetInputNames() const
{
    std::vector<std::string> names;
    for (const CImpl::SDevice& device : m_impl->m_inputs)
        names.push_back(device.name);
    return names;
}

int CAlsaBackend::OpenOutput(int32_t index, std::string& error)
{
    return m_impl->Open(true, index, nullptr, error);
}

int CAlsaBackend::CloseOutput(int32_t index, std::string& error)
{
    return m_impl->Close(true, index, error);
}

int CAlsaBackend::PlayBuffer(int32_t index, const CMidiSendBuffer& buffer, std::string& error)
{
    return m_impl->Play(index, buffer, error);
}

int CAlsaBackend::OpenInput(int32_t index, CMidiInputSink* sink, std::string& error)
{
    return m_impl->Open(false, index, sink, error);
}

int CAlsaBackend::CloseInput(int32_t index, std::string& error)
{
    return m_impl->Close(false, index, error);
}

void CAlsaBackend::OnPass()
{
    m_impl->Pump();
}

bool CAlsaBackend::TakeFaults(std::vector<SMidiFault>& faults)
{
    return m_impl->TakeFaults(faults);
}

bool CAlsaBackend::TakeDeviceChanges()
{
    return m_impl->m_devicesChanged.exchange(false);
}

bool CAlsaBackend::Rescan()
{
    return m_impl->Rescan();
}

bool CAlsaBackend::IsDevicePresent(bool output, int32_t index) const
{
    return m_impl->IsPresent(output, index);
}

SMidiOutputStats CAlsaBackend::GetOutputStats() const
{
    return {m_impl->m_late.load(), m_impl->m_refused.load(), 0};
}

bool CAlsaBackend::IsOutputIdle(int32_t index) const
{
    return m_impl->IsIdle(index);
}

int CAlsaBackend::GetClientId() const
{
    return m_impl->m_client;
}
