#include "JackTestServer.h"

#include "devices/jack/JackBackend.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <regex>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr size_t kHeaderBytes = sizeof(int64_t) + sizeof(uint32_t);

// JACK's registry of servers (/dev/shm/jack-shm-registry) has room for eight. A server that dies
// without taking its entry out (killed, or when its clients hang) holds a place until a server of
// the same name starts, which a test's unique name never does: after eight such runs no server
// starts on the machine. Frees the entries of servers called `name` whose process is gone.
void FreeDeadRegistryEntries(const std::string& name)
{
    constexpr uint32_t kMagic = 0x4a41434b; // "JACK"
    constexpr size_t kFirst = 24;           // header: magic, protocol, type, size, lengths
    constexpr size_t kEntry = 264;          // pid, then the name
    constexpr size_t kServers = 8;
    const int fd = open("/dev/shm/jack-shm-registry", O_RDWR);
    if (fd < 0) return;
    uint8_t header[kFirst + kServers * kEntry];
    uint32_t magic = 0;
    uint32_t headerLength = 0;
    if (pread(fd, header, sizeof header, 0) == static_cast<ssize_t>(sizeof header)) {
        std::memcpy(&magic, header, sizeof magic);
        std::memcpy(&headerLength, header + 16, sizeof headerLength);
    }
    for (size_t i = 0; magic == kMagic && headerLength == sizeof header && i < kServers; ++i) {
        uint8_t* entry = header + kFirst + i * kEntry;
        pid_t pid = 0;
        std::memcpy(&pid, entry, sizeof pid);
        const std::string entryName(reinterpret_cast<const char*>(entry + sizeof pid),
                                    strnlen(reinterpret_cast<const char*>(entry + sizeof pid),
                                            kEntry - sizeof pid));
        const bool ours = entryName.find(":" + name + ":") != std::string::npos;
        if (pid <= 0 || !ours || kill(pid, 0) == 0 || errno != ESRCH) continue;
        std::memset(entry, 0, kEntry);
        pwrite(fd, entry, kEntry, static_cast<off_t>(kFirst + i * kEntry));
    }
    close(fd);
}

bool ServerAnswers()
{
    jack_status_t status{};
    jack_client_t* client = jack_client_open("twprobe", JackNoStartServer, &status);
    if (client == nullptr) return false;
    jack_client_close(client);
    return true;
}

} // namespace

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::string WithoutLoadReports(const std::string& error)
{
    const std::regex reports("The MIDI system missed [0-9]+ cycles \\(xruns\\)\\.\n|"
                             "[0-9]+ MIDI messages went out late, 0 were lost\\.\n");
    return std::regex_replace(error, reports, "");
}

// ---- Server ----

CJackTestServer::CJackTestServer(bool realtime, int clientTimeoutMs)
    : m_realtime(realtime), m_clientTimeout(std::to_string(clientTimeoutMs))
{
    static std::atomic<int> serial{0};
    m_name = "twtest-" + std::to_string(getpid()) + "-" + std::to_string(serial++);
    setenv("JACK_DEFAULT_SERVER", m_name.c_str(), 1);
    // The test peers' library lines go where the backend's go: nowhere unless verbose.
    CJackBackend::RouteLibraryMessages();
    Start();
}

CJackTestServer::~CJackTestServer()
{
    Kill();
    FreeDeadRegistryEntries(m_name);
    // Clients of a server that went away leave their semaphores behind.
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ignored)) {
        if (entry.path().filename().string().find("_" + m_name + "_") != std::string::npos)
            std::filesystem::remove(entry.path(), ignored);
    }
}

bool CJackTestServer::Start()
{
    if (m_pid > 0) return true;
    const std::string rate = std::to_string(kRate);
    const std::string period = std::to_string(kPeriod);
    m_pid = fork();
    if (m_pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM); // no server outlives a test run that was killed
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        // Synchronous, with a long client time-out: on a loaded machine a slow cycle is late
        // rather than skipped (which would drop its MIDI), and no client is thrown out.
        execlp("jackd", "jackd", m_realtime ? "--realtime" : "--no-realtime", "--sync", "-t",
               m_clientTimeout.c_str(), "-n", m_name.c_str(), "-d", "dummy", "-r", rate.c_str(),
               "-p", period.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (m_pid < 0) return false;
    // A loaded machine may take a while to bring the server up.
    if (!WaitUntil(ServerAnswers, std::chrono::seconds(20))) {
        Kill(true);
        return false;
    }
    return true;
}

void CJackTestServer::Kill(bool hard)
{
    if (m_pid <= 0) return;
    kill(m_pid, hard ? SIGKILL : SIGTERM);
    int status = 0;
    const bool ended = WaitUntil([&] { return waitpid(m_pid, &status, WNOHANG) == m_pid; },
                                 std::chrono::seconds(10));
    if (!ended) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, &status, 0);
    }
    m_pid = -1;
}

int CJackTestServer::RunTool(const std::string& commandLine) const
{
    const std::string line = "JACK_DEFAULT_SERVER=" + m_name + " " + commandLine + " >/dev/null";
    return std::system(line.c_str());
}

// ---- Tool client ----

CJackToolClient::CJackToolClient(const std::vector<std::string>& args, const std::string& port)
{
    // Made before the fork: the child of a threaded process must not allocate.
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    m_pid = fork();
    if (m_pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    if (m_pid < 0) return;
    jack_status_t status{};
    jack_client_t* probe = jack_client_open("twtoolprobe", JackNoStartServer, &status);
    if (probe == nullptr) return;
    m_ready = WaitUntil([&] { return jack_port_by_name(probe, port.c_str()) != nullptr; },
                        std::chrono::seconds(20));
    jack_client_close(probe);
}

CJackToolClient::~CJackToolClient()
{
    KillHard();
}

void CJackToolClient::KillHard()
{
    if (m_pid <= 0) return;
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

// ---- Peer client ----

CJackPeer::CJackPeer(const std::string& name) : m_name(name)
{
    jack_status_t status{};
    m_client = jack_client_open(
        name.c_str(), static_cast<jack_options_t>(JackNoStartServer | JackUseExactName), &status);
    if (m_client == nullptr) return;
    m_shared->client = m_client;
    m_shared->received = jack_ringbuffer_create(1 << 20);
    m_shared->toSend = jack_ringbuffer_create(1 << 16);
    AddIn();
    m_shared->out =
        jack_port_register(m_client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(m_client, Process, m_shared);
    jack_set_xrun_callback(
        m_client,
        [](void* arg) {
            ++static_cast<SShared*>(arg)->xruns;
            return 0;
        },
        m_shared);
    jack_on_shutdown(
        m_client, [](void* arg) { static_cast<SShared*>(arg)->serverGone = true; }, m_shared);
    jack_activate(m_client);
}

CJackPeer::~CJackPeer()
{
    Close();
    if (m_shared->serverGone) return; // left to libjack's thread, see SShared
    if (m_shared->received != nullptr) jack_ringbuffer_free(m_shared->received);
    if (m_shared->toSend != nullptr) jack_ringbuffer_free(m_shared->toSend);
    delete m_shared;
}

void CJackPeer::Close()
{
    if (m_client == nullptr) return;
    // A client whose server went away is left alone: libjack keeps one view of the server per
    // process, and once the backend has reached for a new server, closing the old client crashes.
    if (!m_shared->serverGone) {
        jack_deactivate(m_client);
        jack_client_close(m_client);
    }
    m_client = nullptr;
}

void CJackPeer::RemoveIn()
{
    jack_port_t* port = m_shared->in.exchange(nullptr);
    // The callback may still hold the old pointer for the rest of its cycle.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    jack_port_unregister(m_client, port);
}

void CJackPeer::AddIn()
{
    m_shared->in = jack_port_register(m_client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
}

int CJackPeer::Process(jack_nframes_t frames, void* arg)
{
    auto* self = static_cast<SShared*>(arg);
    const int64_t start = jack_last_frame_time(self->client);
    if (jack_port_t* in = self->in) {
        void* buffer = jack_port_get_buffer(in, frames);
        const uint32_t count = jack_midi_get_event_count(buffer);
        for (uint32_t i = 0; i < count; ++i) {
            jack_midi_event_t event{};
            if (jack_midi_event_get(&event, buffer, i) != 0) continue;
            const int64_t frame = start + event.time;
            const auto size = static_cast<uint32_t>(event.size);
            if (jack_ringbuffer_write_space(self->received) < kHeaderBytes + size) continue;
            jack_ringbuffer_write(self->received, reinterpret_cast<const char*>(&frame),
                                  sizeof frame);
            jack_ringbuffer_write(self->received, reinterpret_cast<const char*>(&size),
                                  sizeof size);
            jack_ringbuffer_write(self->received, reinterpret_cast<const char*>(event.buffer),
                                  size);
        }
    }
    void* out = jack_port_get_buffer(self->out, frames);
    jack_midi_clear_buffer(out);
    uint8_t length = 0;
    while (jack_ringbuffer_peek(self->toSend, reinterpret_cast<char*>(&length), 1) == 1 &&
           jack_ringbuffer_read_space(self->toSend) >= 1u + length) {
        jack_ringbuffer_read_advance(self->toSend, 1);
        uint8_t bytes[256];
        jack_ringbuffer_read(self->toSend, reinterpret_cast<char*>(bytes), length);
        jack_midi_event_write(out, 0, bytes, length);
    }
    return 0;
}

void CJackPeer::Drain()
{
    for (;;) {
        if (jack_ringbuffer_read_space(m_shared->received) < kHeaderBytes) return;
        SReceivedEvent event;
        uint32_t size = 0;
        jack_ringbuffer_read(m_shared->received, reinterpret_cast<char*>(&event.frame), sizeof event.frame);
        jack_ringbuffer_read(m_shared->received, reinterpret_cast<char*>(&size), sizeof size);
        event.bytes.resize(size);
        while (jack_ringbuffer_read_space(m_shared->received) < size)
            std::this_thread::yield(); // the callback is writing the rest right now
        jack_ringbuffer_read(m_shared->received, reinterpret_cast<char*>(event.bytes.data()), size);
        m_events.push_back(std::move(event));
    }
}

std::vector<SReceivedEvent> CJackPeer::WaitFor(size_t count, std::chrono::milliseconds timeout)
{
    WaitUntil(
        [&] {
            Drain();
            return m_events.size() >= count;
        },
        timeout);
    return m_events;
}

void CJackPeer::Send(const std::vector<uint8_t>& bytes)
{
    const auto length = static_cast<uint8_t>(bytes.size());
    jack_ringbuffer_write(m_shared->toSend, reinterpret_cast<const char*>(&length), 1);
    jack_ringbuffer_write(m_shared->toSend, reinterpret_cast<const char*>(bytes.data()), length);
}
