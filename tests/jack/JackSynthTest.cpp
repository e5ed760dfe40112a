#include "JackTestServer.h"

#include "cli/CliRunner.h"
#include "files/ByteBuilder.h"
#include "files/TempFolder.h"

#include <gtest/gtest.h>

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

} // namespace

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
    EXPECT_EQ(played.err, "");
}
