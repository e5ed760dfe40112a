// Timing of real JACK output: note messages through an opened JACK output at 120 BPM with the
// engine's 6 ms look-ahead, received by a JACK client of this program on a private server
// (jackd -d dummy -r 48000 -p 256). Prints the distribution of (received frame - expected frame),
// where the expected frames follow the ticks (52083 x 100 ns each) from the first message, the
// messages late, lost or out of order, and the CPU time of the music thread and of the process
// callback.
//
// Usage: tw_jack_timing [--notes N] [--source engine|driver]
//   engine (default): a generated MIDI file of N one-tick notes, one every second tick, played by
//                     the engine on its music thread (needs the clip players);
//   driver:           the same notes handed to the output driver tick by tick by a loop that
//                     does the engine's clock pass (2 ms wake-ups, 6 ms look-ahead).

#include "../tests/jack/JackTestServer.h"

#include "devices/MidiDevices.h"
#include "devices/jack/JackBackend.h"
#include "devices/jack/JackFrames.h"
#include "document/EnginePlayerLink.h"
#include "document/ProjectDoc.h"
#include "document/UserServices.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "model/TrackList.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <map>
#include <thread>
#include <time.h>

namespace {

using namespace std::chrono_literals;

constexpr int64_t kPeriod = 52083;       // 100 ns per tick at 120 BPM
constexpr int64_t kLookAhead = 60000;    // the engine's look-ahead, 100 ns
constexpr int64_t kPassInterval = 20000; // its time-out pass, 100 ns

// The tick each message belongs to: note i starts at tick 2i and ends one tick later.
int64_t TickOf(size_t message)
{
    return static_cast<int64_t>(message);
}

uint8_t KeyOf(size_t note)
{
    return static_cast<uint8_t>(36 + note % 48);
}

void WriteSmf(const std::string& path, int notes)
{
    std::vector<uint8_t> track = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}; // 120 BPM
    for (int i = 0; i < notes; ++i) {
        const uint8_t key = KeyOf(static_cast<size_t>(i));
        const uint8_t on[] = {static_cast<uint8_t>(i == 0 ? 0 : 1), 0x90, key, 100};
        const uint8_t off[] = {1, 0x80, key, 0};
        track.insert(track.end(), on, on + 4);
        track.insert(track.end(), off, off + 4);
    }
    const uint8_t end[] = {0x00, 0xFF, 0x2F, 0x00};
    track.insert(track.end(), end, end + 4);
    std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0,  0,   0,   6,   0,
                                 0,   0,   1,   0,   96, 'M', 'T', 'r', 'k'};
    const auto size = static_cast<uint32_t>(track.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        file.push_back(static_cast<uint8_t>(size >> shift));
    file.insert(file.end(), track.begin(), track.end());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
}

// CPU time of this process's thread called name, in ms, -1 when not found. The scheduler's own
// count (schedstat), as the tick-sampled one in stat misses a thread that runs in short bursts.
double ThreadCpuMs(const char* name)
{
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return -1;
    double result = -1;
    while (dirent* entry = readdir(tasks)) {
        const std::string dir = std::string("/proc/self/task/") + entry->d_name;
        std::string comm;
        std::getline(std::ifstream(dir + "/comm"), comm);
        if (comm != name) continue;
        double ns = 0;
        std::ifstream(dir + "/schedstat") >> ns;
        result = ns / 1e6;
    }
    closedir(tasks);
    return result;
}

double OwnCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

int32_t FindOutput(const CMidiBackend& backend, const std::string& name)
{
    const std::vector<std::string> names = backend.GetOutputNames();
    const auto it = std::find(names.begin(), names.end(), name);
    return it == names.end() ? -1 : static_cast<int32_t>(it - names.begin());
}

// The engine's clock pass over the output driver: every 2 ms, every tick due within the
// look-ahead gets its message and is handed over at its time. Returns the loop's CPU time (ms).
double DriveByClockPass(CJackBackend& backend, int32_t out, int notes)
{
    CMidiDevices devices;
    std::string error;
    devices.Start(backend, error);
    devices.OpenOutputDriver(out, error);
    devices.RouteOutputPort(0, out, error);
    COutputPort& port = *devices.GetOutputPort(0);
    const double cpuStart = OwnCpuMs();
    int64_t last = backend.GetMasterTime();
    const size_t messages = static_cast<size_t>(notes) * 2;
    size_t next = 0;
    while (next < messages) {
        std::this_thread::sleep_for(std::chrono::microseconds(kPassInterval / 10));
        for (int64_t due = backend.GetMasterTime() + kLookAhead - last; due >= kPeriod;
             due -= kPeriod) {
            if (next < messages) {
                CMidiMsgList list;
                const uint8_t key = KeyOf(next / 2);
                list.Append(
                    CMidiMsg::Make(next % 2 == 0 ? 0x90 : 0x80, key, next % 2 == 0 ? 100 : 0));
                if (next % 2 == 0) {
                    port.ReceiveNoteOns(list, nullptr);
                } else {
                    port.ReceiveNoteOffs(list, nullptr);
                }
                ++next;
            }
            last += kPeriod;
            devices.HandOver(last);
        }
    }
    const double cpu = OwnCpuMs() - cpuStart;
    std::this_thread::sleep_for(100ms);
    devices.Stop();
    return cpu;
}

// The engine on its music thread plays the generated file. Returns the music thread's CPU (ms).
double DriveByEngine(CJackBackend& backend, int32_t out, int notes)
{
    const std::string path = "/tmp/tw-jack-timing.mid";
    WriteSmf(path, notes);
    CProjectDoc doc;
    CHeadlessUserServices user(false);
    if (!doc.Load(path, &user)) return -1;
    CMidiEngineProxy proxy;
    CMidiEngine engine(backend, proxy.GetMailbox());
    proxy.AttachEngine(&engine);
    if (!proxy.Initialise(true) || !proxy.OpenOutputDriver(out) || !proxy.RouteOutputPort(0, out)) {
        std::fprintf(stderr, "engine: %s\n", proxy.GetLastError().c_str());
        return -1;
    }
    CEnginePlayerLink link(proxy);
    link.LoadProject(doc);
    proxy.Locate(0);
    proxy.Play();
    const tick end = doc.GetTracks().GetSongEnd();
    CEngineNotificationSink ignore;
    while (proxy.GetPosition() <= end) {
        proxy.GetMailbox().Drain(ignore);
        std::this_thread::sleep_for(10ms);
    }
    const double cpu = ThreadCpuMs(CMidiEngine::kThreadName);
    proxy.Stop();
    proxy.Clear();
    proxy.ShutDown();
    std::remove(path.c_str());
    return cpu;
}

} // namespace

int main(int argc, char** argv)
{
    int notes = 5000;
    std::string source = "engine";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--notes") == 0) notes = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--source") == 0) source = argv[i + 1];
    }
    CJackTestServer server(true);
    if (!server.IsRunning()) {
        std::fprintf(stderr, "jackd could not be started\n");
        return 1;
    }
    CJackPeer receiver("twreceiver");
    CJackBackend backend;
    std::string error;
    if (!backend.Start(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const int32_t out = FindOutput(backend, receiver.InName());
    backend.Stop(); // the devices start it again
    const size_t messages = static_cast<size_t>(notes) * 2;
    std::printf("%zu note messages at 120 BPM (%.1f s), source %s\n", messages,
                static_cast<double>(messages) * kPeriod / 1e7, source.c_str());
    const double musicCpu = source == "driver" ? DriveByClockPass(backend, out, notes)
                                               : DriveByEngine(backend, out, notes);
    const std::vector<SReceivedEvent> received =
        receiver.WaitFor(messages, std::chrono::milliseconds(5000));

    // Received messages are matched to the sent sequence in order; a message that never came is
    // skipped over (lost), one that matches nothing ahead is out of order.
    auto matches = [](const SReceivedEvent& event, size_t message) {
        const bool on = message % 2 == 0;
        return event.bytes.size() >= 2 && event.bytes[1] == KeyOf(message / 2) &&
               (event.bytes[0] & 0xF0) == (on ? 0x90 : 0x80);
    };
    auto frameOfTick = [](int64_t tickIndex) {
        return jackframes::TimeToFrame(tickIndex * kPeriod, CJackTestServer::kRate);
    };
    std::map<int64_t, int64_t> histogram;
    int64_t reordered = 0;
    int64_t lost = 0;
    int64_t base = 0;
    bool anchored = false;
    size_t next = 0;
    for (const SReceivedEvent& event : received) {
        size_t j = next;
        while (j < messages && !matches(event, j))
            ++j;
        if (j == messages) {
            ++reordered;
            continue;
        }
        lost += static_cast<int64_t>(j - next);
        next = j + 1;
        if (!anchored) {
            base = event.frame - frameOfTick(TickOf(j));
            anchored = true;
        }
        ++histogram[event.frame - (base + frameOfTick(TickOf(j)))];
    }
    lost += static_cast<int64_t>(messages - next);
    std::printf("received %zu, lost %lld, out of order %lld, late %lld, refused %lld\n",
                received.size(), static_cast<long long>(lost), static_cast<long long>(reordered),
                static_cast<long long>(backend.GetOutputStats().late),
                static_cast<long long>(backend.GetOutputStats().refused));
    std::printf("received frame - expected frame:\n");
    for (const auto& [offset, count] : histogram)
        std::printf("  %+6lld frames: %lld\n", static_cast<long long>(offset),
                    static_cast<long long>(count));
    std::printf("server overruns (xruns) seen by the receiver: %lld\n",
                static_cast<long long>(receiver.GetXruns()));
    std::printf("CPU: music thread %.1f ms, process callback %.1f ms\n", musicCpu,
                static_cast<double>(backend.GetCallbackCpuNs()) / 1e6);
    return 0;
}
