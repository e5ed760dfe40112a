#include "JackTestServer.h"

#include "devices/jack/JackBackend.h"
#include "devices/jack/JackFrames.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <random>

namespace {

using namespace std::chrono_literals;

constexpr auto kWait = 20s; // generous: the machine may be loaded

int32_t IndexOf(const std::vector<std::string>& names, const std::string& name)
{
    const auto it = std::find(names.begin(), names.end(), name);
    return it == names.end() ? -1 : static_cast<int32_t>(it - names.begin());
}

// Records what an input delivers.
class CCollectingSink : public CMidiInputSink {
public:
    void OnMidiInput(const uint8_t* bytes, int32_t count, int32_t msStamp) override
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bytes.insert(m_bytes.end(), bytes, bytes + count);
        m_stamps.push_back(msStamp);
    }
    std::vector<uint8_t> Bytes()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_bytes;
    }
    std::vector<int32_t> Stamps()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_stamps;
    }

private:
    std::mutex m_lock;
    std::vector<uint8_t> m_bytes;
    std::vector<int32_t> m_stamps;
};

class JackBackendTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.IsRunning()) << "jackd could not be started";
        peer = std::make_unique<CJackPeer>("twpeer");
        ASSERT_TRUE(peer->IsOpen());
        ASSERT_EQ(backend.Start(error), 1) << error;
        out = IndexOf(backend.GetOutputNames(), peer->InName());
        in = IndexOf(backend.GetInputNames(), peer->OutName());
        ASSERT_GE(out, 0);
        ASSERT_GE(in, 0);
    }

    // Plays messages (stamp, note bytes) in buffers of random sizes.
    void Play(const std::vector<SMidiOutRecord>& messages, std::mt19937& random)
    {
        CMidiSendBuffer buffer;
        std::uniform_int_distribution<int> batch(1, 40);
        size_t i = 0;
        while (i < messages.size()) {
            const size_t end = std::min(messages.size(), i + static_cast<size_t>(batch(random)));
            for (; i < end; ++i)
                buffer.Pack(messages[i].time, messages[i].bytes.data(), messages[i].length);
            ASSERT_EQ(backend.PlayBuffer(out, buffer, error), 1) << error;
            buffer.Flush();
        }
    }

    CJackTestServer server;
    std::unique_ptr<CJackPeer> peer;
    CJackBackend backend;
    std::string error;
    int32_t out = -1;
    int32_t in = -1;
};

} // namespace

TEST_F(JackBackendTest, ListsOtherClientsPortsByFullName)
{
    // Our outputs are their inputs and the other way round; our own ports never show.
    EXPECT_EQ(IndexOf(backend.GetOutputNames(), peer->OutName()), -1);
    EXPECT_EQ(IndexOf(backend.GetInputNames(), peer->InName()), -1);
    ASSERT_EQ(backend.OpenOutput(out, error), 1) << error;
    EXPECT_EQ(backend.GetOwnPortName(true, out).rfind(CJackBackend::kClientName, 0), 0u);
    EXPECT_EQ(backend.GetSampleRate(), CJackTestServer::kRate);
    // Opening an open device succeeds and changes nothing.
    EXPECT_EQ(backend.OpenOutput(out, error), 1);
    EXPECT_EQ(backend.CloseOutput(out, error), 1);
    EXPECT_EQ(backend.GetOwnPortName(true, out), "");
}

TEST_F(JackBackendTest, EveryMessageLandsOnTheFrameItsStampMapsTo)
{
    ASSERT_EQ(backend.OpenOutput(out, error), 1) << error;
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int64_t> gap(0, 30000); // up to 3 ms, equal stamps included
    std::uniform_int_distribution<int> key(0, 127);
    std::vector<SMidiOutRecord> messages;
    int64_t time = backend.GetMasterTime() + 200000; // 20 ms ahead
    for (int i = 0; i < 400; ++i) {
        time += gap(random);
        SMidiOutRecord record;
        record.time = time;
        record.length = 3;
        record.bytes = {static_cast<uint8_t>(0x90 | (i % 16)), static_cast<uint8_t>(key(random)),
                        static_cast<uint8_t>(1 + i % 127)};
        messages.push_back(record);
    }
    Play(messages, random);

    const std::vector<SReceivedEvent> received = peer->WaitFor(messages.size(), kWait);
    ASSERT_EQ(received.size(), messages.size());
    const int64_t latency = backend.GetLatencyFrames();
    for (size_t i = 0; i < messages.size(); ++i) {
        const SMidiOutRecord& sent = messages[i];
        EXPECT_EQ(received[i].bytes,
                  std::vector<uint8_t>(sent.bytes.begin(), sent.bytes.begin() + sent.length))
            << "message " << i << " out of order";
        EXPECT_EQ(received[i].frame,
                  jackframes::TimeToFrame(sent.time, CJackTestServer::kRate) + latency)
            << "message " << i;
    }
    EXPECT_EQ(backend.GetOutputStats().late, 0);
    EXPECT_EQ(backend.GetOutputStats().refused, 0);
    EXPECT_TRUE(WaitUntil([&] { return backend.IsOutputIdle(out); }, kWait));
}

TEST_F(JackBackendTest, PassedStampsGoOutAtOnceInOrderAndCountAsLate)
{
    ASSERT_EQ(backend.OpenOutput(out, error), 1) << error;
    const int64_t now = backend.GetMasterTime();
    std::vector<SMidiOutRecord> messages;
    for (int i = 0; i < 3; ++i)
        messages.push_back({now - 500000 + i, 3, {0x90, static_cast<uint8_t>(60 + i), 100}});
    messages.push_back({now + 100000, 3, {0x80, 60, 0}}); // 10 ms ahead: on time
    std::mt19937 random(1);
    Play(messages, random);

    const std::vector<SReceivedEvent> received = peer->WaitFor(4, kWait);
    ASSERT_EQ(received.size(), 4u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(received[static_cast<size_t>(i)].bytes[1], 60 + i);
    // The late ones share the start of one cycle; the last keeps its exact frame.
    EXPECT_EQ(received[0].frame % CJackTestServer::kPeriod, 0);
    EXPECT_EQ(received[1].frame, received[0].frame);
    EXPECT_EQ(received[2].frame, received[0].frame);
    EXPECT_EQ(received[3].frame, jackframes::TimeToFrame(messages[3].time, CJackTestServer::kRate) +
                                     backend.GetLatencyFrames());
    EXPECT_EQ(backend.GetOutputStats().late, 3);
    EXPECT_EQ(backend.GetOutputStats().refused, 0);
}

// More than the output queue holds at once: what found no room is lost and counted, but no note
// is left hanging. Every channel and key starts a note, controllers fill the queue, and the
// note-offs that no longer fit still reach the listener after their note-ons.
TEST_F(JackBackendTest, AnOverfullQueueStillEndsEveryNoteItStarted)
{
    ASSERT_EQ(backend.OpenOutput(out, error), 1) << error;
    constexpr int kNotes = 16 * 128;
    constexpr int kFill = 16384;
    // A second ahead: nothing leaves while the queue fills, even on a loaded machine.
    const int64_t start = backend.GetMasterTime() + 10000000;
    CMidiSendBuffer buffer;
    int overflows = 0;
    const auto pack = [&](int64_t time, uint8_t status, uint8_t data1, uint8_t data2) {
        const uint8_t bytes[3] = {status, data1, data2};
        buffer.Pack(time, bytes, 3);
        if (!buffer.IsFull()) return;
        overflows += backend.PlayBuffer(out, buffer, error) == 0;
        buffer.Flush();
    };
    for (int i = 0; i < kNotes; ++i)
        pack(start, static_cast<uint8_t>(0x90 | i / 128), static_cast<uint8_t>(i % 128), 100);
    for (int i = 0; i < kFill; ++i)
        pack(start + 10 + i, 0xb0, 1, static_cast<uint8_t>(i % 128));
    for (int i = 0; i < kNotes; ++i) {
        // Half of them as note-ons of velocity 0, which end a note as well.
        pack(start + 20000, static_cast<uint8_t>((i % 2 ? 0x80 : 0x90) | i / 128),
             static_cast<uint8_t>(i % 128), 0);
    }
    overflows += backend.PlayBuffer(out, buffer, error) == 0;
    EXPECT_GT(overflows, 0);
    EXPECT_GT(backend.GetOutputStats().refused, kNotes);

    ASSERT_TRUE(WaitUntil([&] { return backend.IsOutputIdle(out); }, kWait));
    std::vector<SReceivedEvent> received;
    for (size_t count = 0;; count = received.size()) {
        received = peer->WaitFor(count + 1, 500ms);
        if (received.size() == count) break;
    }
    std::vector<int> sounding(kNotes, 0);
    int ons = 0;
    for (const SReceivedEvent& event : received) {
        const uint8_t kind = event.bytes[0] & 0xf0;
        const int key = (event.bytes[0] & 0x0f) * 128 + event.bytes[1];
        if (kind == 0x90 && event.bytes[2] > 0) {
            EXPECT_EQ(sounding[static_cast<size_t>(key)]++, 0) << "key " << key << " started twice";
            ++ons;
        } else if (kind == 0x80 || kind == 0x90) {
            EXPECT_EQ(sounding[static_cast<size_t>(key)], 1) << "key " << key << " ended unstarted";
            sounding[static_cast<size_t>(key)] = 0;
        }
    }
    EXPECT_EQ(ons, kNotes);
    EXPECT_EQ(std::count(sounding.begin(), sounding.end(), 0), kNotes) << "notes left hanging";
}

TEST_F(JackBackendTest, InputReachesTheSinkWithMasterClockMilliseconds)
{
    CCollectingSink sink;
    ASSERT_EQ(backend.OpenInput(in, &sink, error), 1) << error;
    const int64_t before = backend.GetMasterTime() / 10000;
    peer->Send({0x90, 64, 101});
    peer->Send({0xF0, 0x7E, 0x01, 0xF7}); // system exclusive passes whole
    peer->Send({0xB3, 7, 99});
    ASSERT_TRUE(WaitUntil([&] { return sink.Bytes().size() >= 10; }, kWait));
    const int64_t after = backend.GetMasterTime() / 10000;
    EXPECT_EQ(sink.Bytes(),
              (std::vector<uint8_t>{0x90, 64, 101, 0xF0, 0x7E, 0x01, 0xF7, 0xB3, 7, 99}));
    for (int32_t stamp : sink.Stamps()) {
        EXPECT_GE(stamp, before - 50);
        EXPECT_LE(stamp, after + 1);
    }
    ASSERT_EQ(backend.CloseInput(in, error), 1);
}

TEST_F(JackBackendTest, AServerThatStopsFailsTheOpenDevicesAndReopeningWorksWhenItIsBack)
{
    CCollectingSink sink;
    ASSERT_EQ(backend.OpenOutput(out, error), 1) << error;
    ASSERT_EQ(backend.OpenInput(in, &sink, error), 1) << error;
    const int64_t timeBefore = backend.GetMasterTime();
    server.Kill();
    peer.reset();

    std::vector<SMidiFault> faults;
    ASSERT_TRUE(WaitUntil([&] { return backend.TakeFaults(faults); }, kWait));
    ASSERT_EQ(faults.size(), 2u);
    for (const SMidiFault& fault : faults)
        EXPECT_EQ(fault.reason, "The JACK server has stopped.");
    EXPECT_FALSE(backend.TakeFaults(faults)) << "a fault is reported once";
    EXPECT_EQ(backend.CloseOutput(out, error), 1);
    EXPECT_EQ(backend.CloseInput(in, error), 1);
    EXPECT_EQ(backend.OpenOutput(out, error), 0);
    EXPECT_EQ(error, "The JACK server is not running.");
    EXPECT_GE(backend.GetMasterTime(), timeBefore);

    ASSERT_TRUE(server.Start());
    peer = std::make_unique<CJackPeer>("twpeer");
    ASSERT_TRUE(peer->IsOpen());
    const int64_t timeLost = backend.GetMasterTime();
    ASSERT_EQ(backend.OpenOutput(out, error), 1) << error;
    EXPECT_GE(backend.GetMasterTime(), timeLost) << "the master clock never goes back";
    const int64_t stamp = backend.GetMasterTime() + 100000;
    CMidiSendBuffer buffer;
    const uint8_t bytes[3] = {0x90, 61, 90};
    buffer.Pack(stamp, bytes, 3);
    ASSERT_EQ(backend.PlayBuffer(out, buffer, error), 1);
    const std::vector<SReceivedEvent> received = peer->WaitFor(1, kWait);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].bytes[1], 61);
}

TEST_F(JackBackendTest, APortThatVanishesFailsItsDeviceAndReopensWhenBack)
{
    ASSERT_EQ(backend.OpenOutput(out, error), 1) << error;
    peer->RemoveIn();
    std::vector<SMidiFault> faults;
    ASSERT_TRUE(WaitUntil([&] { return backend.TakeFaults(faults); }, kWait));
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_TRUE(faults[0].output);
    EXPECT_EQ(faults[0].index, out);
    EXPECT_EQ(faults[0].reason, "The MIDI port twpeer:in has disappeared.");
    EXPECT_EQ(backend.CloseOutput(out, error), 1);
    EXPECT_EQ(backend.OpenOutput(out, error), 0);

    peer->AddIn();
    ASSERT_EQ(backend.OpenOutput(out, error), 1) << error;
}

// A device whose client leaves fails, whichever way it leaves: closing politely (its ports go
// one by one while the client still exists) or killed (the server throws it out).
TEST(JackDeviceLossTest, AClientThatLeavesFailsTheDeviceOpenOnIt)
{
    struct SCase {
        const char* name;
        bool output; // our output to its input, else our input from its output
        bool killed; // SIGKILL, else jack_client_close
    };
    const SCase cases[] = {{"closes, output", true, false},
                           {"closes, input", false, false},
                           {"killed, output", true, true},
                           {"killed, input", false, true}};
    // The server throws a killed client out after it missed ten time-outs: kept short here.
    CJackTestServer server(false, 200);
    ASSERT_TRUE(server.IsRunning());
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        // A fresh client each round, as a device plugged in: a new name lists it anew.
        static int round = 0;
        const std::string name = "twgone" + std::to_string(++round);
        std::unique_ptr<CJackPeer> peer;
        std::unique_ptr<CJackToolClient> tool;
        std::string port;
        if (c.killed) {
            port = c.output ? name + ":input" : name + ":out";
            tool = c.output ? std::make_unique<CJackToolClient>(
                                  std::vector<std::string>{"jack_midi_dump", name}, port)
                            : std::make_unique<CJackToolClient>(
                                  std::vector<std::string>{"jack_midiseq", name, "24000", "0", "60",
                                                           "8000"},
                                  port);
            ASSERT_TRUE(tool->IsRunning());
        } else {
            peer = std::make_unique<CJackPeer>(name);
            ASSERT_TRUE(peer->IsOpen());
            port = c.output ? peer->InName() : peer->OutName();
        }
        CJackBackend backend;
        std::string error;
        ASSERT_EQ(backend.Start(error), 1) << error;
        CCollectingSink sink;
        const int32_t index =
            IndexOf(c.output ? backend.GetOutputNames() : backend.GetInputNames(), port);
        ASSERT_GE(index, 0);
        ASSERT_EQ(
            c.output ? backend.OpenOutput(index, error) : backend.OpenInput(index, &sink, error), 1)
            << error;
        if (c.killed)
            tool->KillHard();
        else
            peer->Close();
        std::vector<SMidiFault> faults;
        ASSERT_TRUE(WaitUntil([&] { return backend.TakeFaults(faults); }, kWait));
        ASSERT_EQ(faults.size(), 1u);
        EXPECT_EQ(faults[0].output, c.output);
        EXPECT_EQ(faults[0].index, index);
        EXPECT_EQ(faults[0].reason, "The MIDI port " + port + " has disappeared.");
    }
}

// The whole path with the music thread running: reset messages leave the driver and arrive in
// order; a lost server closes the driver, the reason is kept, and the thread still stops.
TEST(JackEngineTest, EngineOutputArrivesAndALostServerClosesTheDriver)
{
    CJackTestServer server;
    ASSERT_TRUE(server.IsRunning());
    CJackPeer peer("twsynth");
    ASSERT_TRUE(peer.IsOpen());
    CJackBackend backend;
    CMidiEngineProxy proxy;
    CMidiEngine engine(backend, proxy.GetMailbox());
    ASSERT_TRUE(proxy.AttachEngine(&engine));
    ASSERT_EQ(proxy.Initialise(true), 1) << proxy.GetLastError();
    const int32_t out = IndexOf(backend.GetOutputNames(), peer.InName());
    ASSERT_GE(out, 0);
    ASSERT_EQ(proxy.OpenOutputDriver(out), 1) << proxy.GetLastError();
    ASSERT_EQ(proxy.RouteOutputPort(0, out), 1) << proxy.GetLastError();
    ASSERT_EQ(proxy.ResetOutputs(), 1);

    const std::vector<SReceivedEvent> received = peer.WaitFor(112, kWait);
    ASSERT_EQ(received.size(), 112u);
    EXPECT_EQ(received.front().bytes, (std::vector<uint8_t>{0xD0, 0}));
    EXPECT_EQ(received.back().bytes, (std::vector<uint8_t>{0xBF, 123, 0}));

    server.Kill();
    ASSERT_TRUE(WaitUntil([&] { return engine.GetDevices().GetFaultCount() == 1; }, kWait));
    EXPECT_EQ(engine.GetDevices().GetLastFault(), "The JACK server has stopped.");
    EXPECT_EQ(proxy.RouteOutputPort(0, out), 0) << "the driver is closed";
    EXPECT_EQ(proxy.ShutDown(), 1);
    EXPECT_FALSE(engine.IsThreadRunning());
}
