#pragma once
// A private JACK server for one test (jackd -d dummy -r 48000 -p 256 under a unique name, made the
// default through JACK_DEFAULT_SERVER and stopped by its process id), and a peer client of the
// test with one MIDI input that records what arrives, frame by frame, and one MIDI output that
// sends what the test hands it.

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CJackTestServer {
public:
    static constexpr uint32_t kRate = 48000;
    static constexpr uint32_t kPeriod = 256;

    // Starts the server and waits until it answers; realtime asks for real-time scheduling (the
    // timing measurement), the tests do without it. A client that does not answer within
    // clientTimeoutMs is thrown out (long by default: a loaded machine is slow, not dead).
    explicit CJackTestServer(bool realtime = false, int clientTimeoutMs = 20000);
    ~CJackTestServer(); // stops it

    bool IsRunning() const { return m_pid > 0; }
    const std::string& GetName() const { return m_name; }
    // Starts it again under the same name (after Kill).
    bool Start();
    // Kills the server process (SIGKILL when `hard`) and waits for it to end.
    void Kill(bool hard = false);
    // Runs a JACK tool (jack_lsp, jack_connect...) against the server; its exit status.
    int RunTool(const std::string& commandLine) const;

private:
    std::string m_name;
    bool m_realtime = false;
    std::string m_clientTimeout;
    pid_t m_pid = -1;
};

// One received MIDI event: the absolute frame it came at and its bytes.
struct SReceivedEvent {
    int64_t frame = 0;
    std::vector<uint8_t> bytes;
};

class CJackPeer {
public:
    // A client called `name` with the ports "in" and "out".
    explicit CJackPeer(const std::string& name);
    ~CJackPeer();
    CJackPeer(const CJackPeer&) = delete;
    CJackPeer& operator=(const CJackPeer&) = delete;

    bool IsOpen() const { return m_client != nullptr; }
    // Leaves the server politely (jack_client_close), as a program that quits.
    void Close();
    std::string InName() const { return m_name + ":in"; }
    std::string OutName() const { return m_name + ":out"; }
    // Removes the input port, as a device that goes away; AddIn brings it back.
    void RemoveIn();
    void AddIn();

    // Waits until at least count events have arrived (or the time-out passed), returns them all.
    std::vector<SReceivedEvent> WaitFor(size_t count, std::chrono::milliseconds timeout);
    // Queues bytes that the output port sends in its next cycle, at offset 0.
    void Send(const std::vector<uint8_t>& bytes);
    // True once the server told the peer it went away.
    bool IsServerGone() const { return m_shared->serverGone.load(); }
    // Cycles the server reported as overrun since the peer started.
    int64_t GetXruns() const { return m_shared->xruns.load(); }

private:
    // What libjack's threads touch. A client whose server went away cannot be closed, and its
    // thread may still be in its last cycle: then this is left allocated, never freed under it.
    struct SShared {
        jack_client_t* client = nullptr;
        std::atomic<jack_port_t*> in{nullptr}; // swapped while the callback runs
        jack_port_t* out = nullptr;
        jack_ringbuffer_t* received = nullptr; // callback -> test
        jack_ringbuffer_t* toSend = nullptr;   // test -> callback
        std::atomic<int64_t> xruns{0};
        std::atomic<bool> serverGone{false};
    };

    static int Process(jack_nframes_t frames, void* arg);
    void Drain();

    std::string m_name;
    jack_client_t* m_client = nullptr; // null once closed
    SShared* m_shared = new SShared;
    std::vector<SReceivedEvent> m_events;
};

// A JACK example tool (jack_midi_dump, jack_midiseq...) running as a client of its own process,
// so that it can be killed with SIGKILL and leave without a word to the server.
class CJackToolClient {
public:
    // Starts the tool and waits until the port `port` (full name) is there.
    CJackToolClient(const std::vector<std::string>& args, const std::string& port);
    ~CJackToolClient(); // kills it
    bool IsRunning() const { return m_pid > 0 && m_ready; }
    void KillHard();

private:
    pid_t m_pid = -1;
    bool m_ready = false;
};

// A tool's standard error without what a loaded machine brings about and which is no complaint
// about the run itself: the server's missed cycles, and messages that went out late with none
// lost (a busy core can hold the music thread past its look-ahead).
std::string WithoutLoadReports(const std::string& error);

// Waits (polling every 2 ms) until done() holds or the time-out passes; returns done().
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
