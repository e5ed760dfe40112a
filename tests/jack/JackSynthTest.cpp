#include "JackTestServer.h"

#include "cli/CliRunner.h"
#include "devices/jack/JackBackend.h"
#include "files/ByteBuilder.h"
#include "files/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

namespace {

using namespace std::chrono_literals;

const char* const kFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

// A client with one audio input that keeps the loudest sample it has seen.
class CAudioMeter {
public:
    CAudioMeter()
    {
        jack_status_t status{};
        m_client = jack_client_open("twmeter", JackNoStartServer, &status);
        if (m_client == nullptr) return;
        m_in = jack_port_register(m_client, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(m_client, Process, this);
        jack_activate(m_client);
    }
    ~CAudioMeter()
    {
        if (m_client != nullptr) jack_client_close(m_client);
    }
    bool Connect(const std::string& source)
    {
        return jack_connect(m_client, source.c_str(), jack_port_name(m_in)) == 0;
    }
    bool HasPort(const std::string& name) const
    {
        return jack_port_by_name(m_client, name.c_str()) != nullptr;
    }
    float TakePeak() { return m_peak.exchange(0.0f); }
    bool IsOpen() const { return m_client != nullptr; }

private:
    static int Process(jack_nframes_t frames, void* arg)
    {
        auto* self = static_cast<CAudioMeter*>(arg);
        const auto* samples = static_cast<const float*>(jack_port_get_buffer(self->m_in, frames));
        float peak = self->m_peak.load();
        for (jack_nframes_t i = 0; i < frames; ++i)
            peak = std::max(peak, std::fabs(samples[i]));
        self->m_peak.store(peak);
        return 0;
    }

    jack_client_t* m_client = nullptr;
    jack_port_t* m_in = nullptr;
    std::atomic<float> m_peak{0.0f};
};

// Counts the cycles it is asked to render (silence).
class CCountingRenderer : public CAudioRenderer {
public:
    void RenderAudio(float* left, float* right, uint32_t frames, int64_t) override
    {
        std::fill(left, left + frames, 0.0f);
        std::fill(right, right + frames, 0.0f);
        m_cycles.fetch_add(1);
    }
    int64_t GetCycles() const { return m_cycles.load(); }

private:
    std::atomic<int64_t> m_cycles{0};
};

// Whether both synthesizer outputs exist and reach the server's playback ports, as a client of
// the test sees them.
bool SynthOutputsReachPlayback()
{
    jack_status_t status{};
    jack_client_t* probe = jack_client_open("twprobe", JackNoStartServer, &status);
    if (probe == nullptr) return false;
    bool connected = true;
    for (const auto& [own, playback] : {std::pair{"Tonalweaver:synth_L", "system:playback_1"},
                                        std::pair{"Tonalweaver:synth_R", "system:playback_2"}}) {
        const jack_port_t* port = jack_port_by_name(probe, own);
        connected = connected && port != nullptr && jack_port_connected_to(port, playback) != 0;
    }
    jack_client_close(probe);
    return connected;
}

} // namespace

// The server goes away and comes back: the backend reaches the new one by itself and the audio
// outputs are there again, meeting the playback ports, rendered every cycle. The MIDI output that
// was open when the server went still fails for the engine, with the reason, though the
// reconnection closed it before anyone asked.
TEST(JackSynth, TheAudioOutputsComeBackWithTheServer)
{
    CJackTestServer server;
    ASSERT_TRUE(server.IsRunning());
    auto peer = std::make_unique<CJackPeer>("twpeer");
    ASSERT_TRUE(peer->IsOpen());
    CJackBackend backend;
    std::string error;
    ASSERT_EQ(backend.Start(error), 1) << error;
    const std::vector<std::string> outputs = backend.GetOutputNames();
    const auto out = static_cast<int32_t>(
        std::find(outputs.begin(), outputs.end(), peer->InName()) - outputs.begin());
    ASSERT_EQ(backend.OpenOutput(out, error), 1) << error;
    CCountingRenderer renderer;
    ASSERT_EQ(backend.AttachAudio(&renderer, error), 1) << error;
    EXPECT_TRUE(SynthOutputsReachPlayback());
    ASSERT_TRUE(WaitUntil([&] { return renderer.GetCycles() > 0; }, 20000ms));

    server.Kill();
    peer.reset();
    for (int i = 0; i < 3; ++i)
        backend.OnPass(); // nobody there: the tries fail quietly
    ASSERT_TRUE(server.Start());
    const bool back = WaitUntil(
        [&] {
            backend.OnPass();
            return SynthOutputsReachPlayback();
        },
        20000ms);
    EXPECT_TRUE(back) << "the audio outputs did not come back";
    std::vector<SMidiFault> faults;
    EXPECT_TRUE(backend.TakeFaults(faults));
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_EQ(faults[0].index, out);
    EXPECT_EQ(faults[0].reason, "The JACK server has stopped.");
    const int64_t cycles = renderer.GetCycles();
    EXPECT_TRUE(WaitUntil([&] { return renderer.GetCycles() > cycles + 2; }, 20000ms))
        << "the new server's cycles do not render";
    backend.DetachAudio();
    EXPECT_FALSE(SynthOutputsReachPlayback());
    backend.Stop();
}

TEST(JackSynth, TheSynthesizersAudioPortsCarryTheProjectWhileItPlays)
{
    CJackTestServer server;
    ASSERT_TRUE(server.IsRunning());
    CAudioMeter meter;
    ASSERT_TRUE(meter.IsOpen());
    CTempFolder folder;
    folder.Write("song.tnw", HandSmallProject());

    // Without --out the song plays through the built-in synthesizer in our own JACK client.
    CliResult played;
    std::thread player([&] {
        played = RunCli({"play", folder / "song.tnw", "--midi", "jack", "--soundfont", kFont});
    });
    const bool ports = WaitUntil(
        [&] {
            return meter.HasPort("Tonalweaver:synth_L") && meter.HasPort("Tonalweaver:synth_R");
        },
        20000ms);
    bool signal = false;
    if (ports) {
        EXPECT_TRUE(meter.Connect("Tonalweaver:synth_L"));
        EXPECT_TRUE(meter.Connect("Tonalweaver:synth_R"));
        signal = WaitUntil([&] { return meter.TakePeak() > 0.01f; }, 20000ms);
    }
    player.join();
    EXPECT_TRUE(ports) << "no synthesizer ports: " << played.err;
    EXPECT_TRUE(signal) << "no signal on the synthesizer's ports";
    EXPECT_EQ(played.status, 0) << played.err;
    EXPECT_EQ(WithoutLoadReports(played.err), "");
}
