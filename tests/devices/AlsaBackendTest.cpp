#include "devices/alsa/AlsaBackend.h"
#include "engine/EngineMailbox.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;

int32_t IndexOf(const std::vector<std::string>& names, const std::string& name)
{
    const auto it = std::find(names.begin(), names.end(), name);
    return it == names.end() ? -1 : static_cast<int32_t>(it - names.begin());
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return done();
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// A second sequencer client of the test with a port "in" that takes events and a port "out"
// that sends them.
class CAlsaPeer {
public:
    CAlsaPeer()
    {
        if (snd_seq_open(&m_seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0) return;
        snd_seq_set_client_name(m_seq, "twpeer");
        m_in = snd_seq_create_simple_port(m_seq, "in",
                                          SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                                          SND_SEQ_PORT_TYPE_MIDI_GENERIC);
        m_out = snd_seq_create_simple_port(m_seq, "out",
                                           SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                           SND_SEQ_PORT_TYPE_MIDI_GENERIC);
    }
    ~CAlsaPeer()
    {
        if (m_seq != nullptr) snd_seq_close(m_seq);
    }
    bool IsOpen() const { return m_seq != nullptr; }
    void RemoveIn() { snd_seq_delete_simple_port(m_seq, m_in); }
    // Waits for count events on "in"; returns their notes (data1) in arrival order.
    std::vector<int> Receive(size_t count)
    {
        std::vector<int> notes;
        WaitUntil(
            [&] {
                snd_seq_event_t* event = nullptr;
                while (snd_seq_event_input(m_seq, &event) >= 0 && event != nullptr) {
                    if (event->type == SND_SEQ_EVENT_NOTEON) notes.push_back(event->data.note.note);
                }
                return notes.size() >= count;
            },
            10s);
        return notes;
    }
    void SendNote(int note)
    {
        snd_seq_event_t event;
        snd_seq_ev_clear(&event);
        snd_seq_ev_set_source(&event, m_out);
        snd_seq_ev_set_subs(&event);
        snd_seq_ev_set_direct(&event);
        snd_seq_ev_set_noteon(&event, 2, note, 99);
        snd_seq_event_output_direct(m_seq, &event);
    }

private:
    snd_seq_t* m_seq = nullptr;
    int m_in = -1;
    int m_out = -1;
};

class CCollectingSink : public CMidiInputSink {
public:
    void OnMidiInput(const uint8_t* bytes, int32_t count, int32_t) override
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bytes.insert(m_bytes.end(), bytes, bytes + count);
    }
    std::vector<uint8_t> Bytes()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_bytes;
    }

private:
    std::mutex m_lock;
    std::vector<uint8_t> m_bytes;
};

} // namespace

// Without the sequencer device the backend offers nothing, but keeps a clock, so the engine
// starts and runs on it.
TEST(AlsaBackend, WithoutASequencerThereAreNoDevicesAndTheEngineStillRuns)
{
    if (CAlsaBackend::IsSequencerPresent()) GTEST_SKIP() << "this machine has /dev/snd/seq";
    CAlsaBackend backend;
    std::string error;
    ASSERT_EQ(backend.Start(error), 1) << error;
    EXPECT_TRUE(backend.GetOutputNames().empty());
    EXPECT_TRUE(backend.GetInputNames().empty());
    EXPECT_EQ(backend.OpenOutput(0, error), 0);
    EXPECT_EQ(error, "No such MIDI device.");
    EXPECT_EQ(backend.GetClientId(), -1);
    const int64_t before = backend.GetMasterTime();
    EXPECT_TRUE(WaitUntil([&] { return backend.GetMasterTime() > before; }, 5s));
    backend.Stop();

    CMidiEngineProxy proxy;
    CMidiEngine engine(backend, proxy.GetMailbox());
    ASSERT_TRUE(proxy.AttachEngine(&engine));
    ASSERT_EQ(proxy.Initialise(true), 1) << proxy.GetLastError();
    EXPECT_EQ(proxy.Play(), 1);
    EXPECT_EQ(proxy.ShutDown(), 1);
}

class AlsaDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!CAlsaBackend::IsSequencerPresent())
            GTEST_SKIP() << "no ALSA sequencer here (/dev/snd/seq is absent)";
        peerOwned = std::make_unique<CAlsaPeer>();
        ASSERT_TRUE(peer().IsOpen());
        ASSERT_EQ(backend.Start(error), 1) << error;
        out = IndexOf(backend.GetOutputNames(), "twpeer:in");
        in = IndexOf(backend.GetInputNames(), "twpeer:out");
        ASSERT_GE(out, 0);
        ASSERT_GE(in, 0);
    }

    CAlsaPeer& peer() { return *peerOwned; }

    std::unique_ptr<CAlsaPeer> peerOwned;
    CAlsaBackend backend;
    std::string error;
    int32_t out = -1;
    int32_t in = -1;
};

// Many more messages than the kernel's pool holds, scheduled close together: all arrive, in order.
TEST_F(AlsaDeviceTest, OutputBeyondTheKernelPoolArrivesWholeAndInOrder)
{
    ASSERT_EQ(backend.OpenOutput(out, error), 1) << error;
    constexpr int kCount = 3000;
    const int64_t start = backend.GetMasterTime() + 100000;
    CMidiSendBuffer buffer;
    for (int i = 0; i < kCount; ++i) {
        const uint8_t bytes[3] = {0x90, static_cast<uint8_t>(i % 128), 100};
        if (!buffer.Pack(start + i * 100, bytes, 3)) {
            ASSERT_EQ(backend.PlayBuffer(out, buffer, error), 1) << error;
            buffer.Flush();
            buffer.Pack(start + i * 100, bytes, 3);
        }
    }
    ASSERT_EQ(backend.PlayBuffer(out, buffer, error), 1) << error;
    std::vector<int> notes;
    ASSERT_TRUE(WaitUntil(
        [&] {
            backend.OnPass(); // the engine's passes feed the queue
            const std::vector<int> more = peer().Receive(0);
            notes.insert(notes.end(), more.begin(), more.end());
            return notes.size() >= static_cast<size_t>(kCount);
        },
        20s));
    for (int i = 0; i < kCount; ++i)
        ASSERT_EQ(notes[static_cast<size_t>(i)], i % 128) << i;
    EXPECT_EQ(backend.GetOutputStats().refused, 0);
    EXPECT_TRUE(WaitUntil([&] { return backend.IsOutputIdle(out); }, 5s));
}

TEST_F(AlsaDeviceTest, InputArrivesAndAVanishedPortBecomesAFault)
{
    CCollectingSink sink;
    ASSERT_EQ(backend.OpenInput(in, &sink, error), 1) << error;
    ASSERT_EQ(backend.OpenOutput(out, error), 1) << error;
    peer().SendNote(64);
    ASSERT_TRUE(WaitUntil([&] { return sink.Bytes().size() >= 3; }, 10s));
    EXPECT_EQ(sink.Bytes(), (std::vector<uint8_t>{0x92, 64, 99}));

    peer().RemoveIn();
    std::vector<SMidiFault> faults;
    ASSERT_TRUE(WaitUntil([&] { return backend.TakeFaults(faults); }, 10s));
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_EQ(faults[0].index, out);
    EXPECT_EQ(faults[0].reason, "The MIDI port twpeer:in has disappeared.");
    EXPECT_EQ(backend.CloseOutput(out, error), 1);
    EXPECT_EQ(backend.OpenOutput(out, error), 0);
}
