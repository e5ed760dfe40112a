#include "CliRunner.h"
#include "files/TempFolder.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

const char* const kFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
constexpr int64_t kTickPeriod = 52083; // 100 ns, one tick at 120 BPM and 96 per quarter
// How late an onset may come after its frame: FluidSynth applies a message at its next block of
// 64 frames, and a piano of the font needs up to about 3.5 ms to rise over the threshold (the
// measured lateness is 115..142 frames at 44.1 kHz).
constexpr int64_t kBlockFrames = 64;
constexpr double kAttackSeconds = 0.0035;
constexpr float kOnsetLevel = 0.002f; // |L| + |R|
constexpr float kSilentLevel = 1e-4f; // below this the signal counts as silence
constexpr int64_t kSilentRun = 2000;  // frames of silence before an onset counts

// A format-0 Standard MIDI File at 96 per quarter and 120 BPM: at each start, every key of
// `keys` on every channel below `channels`, at `velocity`, held for `length` ticks.
std::vector<uint8_t> NotesFile(const std::vector<int>& starts, int length,
                               const std::vector<uint8_t>& keys = {60}, int channels = 1,
                               uint8_t velocity = 100)
{
    std::vector<uint8_t> track{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};
    auto delta = [&track](int value) {
        uint8_t bytes[4];
        int count = 0;
        do {
            bytes[count++] = static_cast<uint8_t>(value & 0x7F);
            value >>= 7;
        } while (value > 0);
        while (count > 0) {
            --count;
            track.push_back(static_cast<uint8_t>(bytes[count] | (count > 0 ? 0x80 : 0)));
        }
    };
    // Every key on every channel, the first after `wait` ticks and the rest at once.
    auto all = [&](int wait, uint8_t status, uint8_t value) {
        for (int channel = 0; channel < channels; ++channel)
            for (const uint8_t key : keys) {
                delta(wait);
                wait = 0;
                track.insert(track.end(), {static_cast<uint8_t>(status | channel), key, value});
            }
    };
    int now = 0;
    for (const int start : starts) {
        all(start - now, 0x90, velocity);
        all(length, 0x80, 0);
        now = start + length;
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    std::vector<uint8_t> file{'M', 'T', 'h', 'd', 0,  0,   0,   6,   0,
                              0,   0,   1,   0,   96, 'M', 'T', 'r', 'k'};
    const auto size = static_cast<uint32_t>(track.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        file.push_back(static_cast<uint8_t>(size >> shift));
    file.insert(file.end(), track.begin(), track.end());
    return file;
}

struct SWav {
    int rate = 0;
    int channels = 0;
    int format = 0;
    std::vector<float> samples; // interleaved
};

SWav ReadWav(const std::string& path)
{
    SWav wav;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) return wav;
    wav.rate = info.samplerate;
    wav.channels = info.channels;
    wav.format = info.format;
    wav.samples.resize(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(file, wav.samples.data(), info.frames);
    sf_close(file);
    return wav;
}

// Frames where the sound rises over the onset level after a run of silence.
std::vector<int64_t> Onsets(const SWav& wav)
{
    std::vector<int64_t> onsets;
    int64_t silent = 0;
    bool armed = true; // a run of silence came since the last onset
    const size_t frames = wav.samples.size() / 2;
    for (size_t i = 0; i < frames; ++i) {
        const float level = std::fabs(wav.samples[2 * i]) + std::fabs(wav.samples[2 * i + 1]);
        silent = level < kSilentLevel ? silent + 1 : 0;
        armed = armed || silent >= kSilentRun;
        if (level > kOnsetLevel && armed) {
            onsets.push_back(static_cast<int64_t>(i));
            armed = false;
        }
    }
    return onsets;
}

std::vector<uint8_t> Bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(CliSynth, RendersEachNoteAtTheFrameOfItsTickAndTheSameSamplesEveryTime)
{
    CTempFolder folder;
    std::mt19937 random(20261207);
    const struct {
        const char* rate;
        const char* format;
        int from;
        int sfFormat;
    } runs[] = {{"44100", "16", 0, SF_FORMAT_PCM_16},
                {"48000", "float", 0, SF_FORMAT_FLOAT},
                {"48000", "16", 50, SF_FORMAT_PCM_16}};
    for (const auto& run : runs) {
        // Notes a second or more apart, at ticks off the synthesizer's block grid.
        std::vector<int> starts;
        int at = 96 + static_cast<int>(random() % 40);
        for (int i = 0; i < 6; ++i) {
            starts.push_back(at);
            at += 240 + static_cast<int>(random() % 160);
        }
        folder.Write("notes.mid", NotesFile(starts, 12));
        const std::string song = folder / "notes.mid";
        const std::string out = folder / "notes.wav";
        const std::vector<std::string> args{"render",      song,     out,
                                            "--rate",      run.rate, "--format",
                                            run.format,    "--from", std::to_string(run.from),
                                            "--soundfont", kFont};
        const CliResult first = RunCli(args);
        ASSERT_EQ(first.status, 0) << first.err;
        const SWav wav = ReadWav(out);
        const int rate = std::stoi(run.rate);
        ASSERT_EQ(wav.rate, rate);
        ASSERT_EQ(wav.channels, 2);
        EXPECT_EQ(wav.format & SF_FORMAT_SUBMASK, run.sfFormat);

        const std::vector<int64_t> onsets = Onsets(wav);
        ASSERT_EQ(onsets.size(), starts.size()) << run.rate << " from " << run.from;
        const auto tolerance = kBlockFrames + static_cast<int64_t>(kAttackSeconds * rate);
        std::vector<int64_t> lateness;
        for (size_t i = 0; i < starts.size(); ++i) {
            const int64_t time = (starts[i] - run.from) * kTickPeriod;
            const int64_t expected = (time * rate + 5000000) / 10000000;
            lateness.push_back(onsets[i] - expected);
            EXPECT_GE(onsets[i], expected) << "note " << i << " sounded early";
            EXPECT_LE(onsets[i] - expected, tolerance) << "note " << i << " at " << run.rate;
        }
        // The same note differs only by where its frame falls in the synthesizer's block.
        const auto [low, high] = std::minmax_element(lateness.begin(), lateness.end());
        EXPECT_LT(*high - *low, kBlockFrames) << "the timing drifts or jitters at " << run.rate;

        const std::vector<uint8_t> bytes = Bytes(out);
        ASSERT_EQ(RunCli(args).status, 0);
        EXPECT_TRUE(Bytes(out) == bytes) << "a second render differs";
    }
}

// Five channels play the same 48-key chord: the synthesizer's output goes far past full scale.
// The plain bounce says how many samples clip (as many as the float file holds at full scale);
// the normalized one is the same render scaled to a peak of -1 dBFS and says nothing.
TEST(CliSynth, ClippingIsCountedAndReportedAndNormalizingScalesTheWholeRender)
{
    CTempFolder folder;
    std::vector<uint8_t> keys;
    for (uint8_t key = 36; key < 84; ++key)
        keys.push_back(key);
    folder.Write("loud.mid", NotesFile({0, 96, 192}, 90, keys, 5, 127));
    const std::string song = folder / "loud.mid";
    auto render = [&](const std::string& name, const std::string& format, bool normalize) {
        std::vector<std::string> args{"render",   song,   folder / name, "--format",
                                      format,     "--soundfont", kFont};
        if (normalize) args.push_back("--normalize");
        const CliResult result = RunCli(args);
        EXPECT_EQ(result.status, 0) << result.err;
        return std::make_pair(result.err, ReadWav(folder / name));
    };
    const auto [plainReport, plain] = render("plain.wav", "float", false);
    const auto [normalReport, normal] = render("normal.wav", "float", true);
    const auto [normal16Report, normal16] = render("normal16.wav", "16", true);

    const auto fullScale = std::count_if(plain.samples.begin(), plain.samples.end(),
                                         [](float v) { return std::fabs(v) >= 32767.0f / 32768; });
    ASSERT_GT(fullScale, 0) << "the chord no longer clips";
    EXPECT_NE(plainReport.find("render: " + std::to_string(fullScale) + " of " +
                               std::to_string(plain.samples.size()) + " samples"),
              std::string::npos)
        << plainReport;
    EXPECT_NE(plainReport.find("--normalize"), std::string::npos);
    EXPECT_EQ(normalReport, "");
    EXPECT_EQ(normal16Report, "");

    ASSERT_EQ(normal.samples.size(), plain.samples.size());
    float peak = 0;
    for (const float v : plain.samples)
        peak = std::max(peak, std::fabs(v));
    const float gain = 0.891251f / peak;
    for (size_t i = 0; i < plain.samples.size(); ++i)
        ASSERT_NEAR(normal.samples[i], plain.samples[i] * gain, 1e-6f) << "sample " << i;
    float normal16Peak = 0;
    for (const float v : normal16.samples)
        normal16Peak = std::max(normal16Peak, std::fabs(v));
    EXPECT_NEAR(normal16Peak, 0.891251f, 1.0f / 32768);
}

TEST(CliSynth, AMissingOrBrokenSoundFontFailsClearlyAndWritesNothing)
{
    CTempFolder folder;
    folder.Write("notes.mid", NotesFile({0, 96}, 24));
    folder.Write("junk.sf2", std::vector<uint8_t>(4096, 0x5A));
    const std::string song = folder / "notes.mid";
    const std::string out = folder / "out.wav";
    const struct {
        std::string font;
        std::string error;
    } cases[] = {
        {folder / "none.sf2", "The SoundFont " + (folder / "none.sf2") + " cannot be read"},
        {folder / "junk.sf2", "The SoundFont " + (folder / "junk.sf2") + " is damaged"},
    };
    for (const auto& c : cases) {
        const CliResult result = RunCli({"render", song, out, "--soundfont", c.font});
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find(c.error), std::string::npos) << result.err;
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    // The MIDI bounce needs no synthesizer and still works.
    const CliResult midi = RunCli({"render", song, folder / "out.mid"});
    EXPECT_EQ(midi.status, 0) << midi.err;
    EXPECT_GT(std::filesystem::file_size(folder / "out.mid"), 14u);
    const CliResult rate = RunCli({"render", song, out, "--rate", "22050"});
    EXPECT_EQ(rate.status, 2);
}

// Without --out, play uses the built-in synthesizer. Where it cannot sound (no audio on this
// machine), play ends at once with the reason and status 1, said once, and the audio libraries
// print nothing of their own (with --verbose they do); devices marks the synthesizer with the
// same reason; record still takes its input, after saying why nothing is heard.
TEST(CliSynth, ASynthWithoutAudioEndsPlayWithTheReasonAndDevicesSayIt)
{
    CTempFolder folder;
    folder.Write("notes.mid", NotesFile({0, 3840}, 24)); // 20 s, were it played silently
    const std::string song = folder / "notes.mid";
    setenv("XDG_CONFIG_HOME", folder.Path().c_str(), 1);
    const CliResult quiet = RunCli({"play", song, "--midi", "virtual", "--soundfont", kFont});
    const std::string kCannot = "The built-in synthesizer cannot play: ";
    if (quiet.err.find(kCannot) == std::string::npos) GTEST_SKIP() << "this machine has audio";
    EXPECT_EQ(quiet.status, 1) << quiet.err;
    // No line of a library's own ("ALSA lib ...") nor of verbose output ("ALSA: ...").
    for (const char* start : {"\nALSA", "\nFluidSynth", "\nJACK", "\nCannot connect"})
        EXPECT_EQ(("\n" + quiet.err).find(start), std::string::npos) << quiet.err;
    const std::string reason = "No audio output could be opened. PulseAudio: ";
    EXPECT_EQ(quiet.err.find(kCannot + reason), 0u) << quiet.err;
    EXPECT_EQ(quiet.err.find(kCannot), quiet.err.rfind(kCannot)) << "said once";

    const CliResult loud =
        RunCli({"play", song, "--midi", "virtual", "--soundfont", kFont, "--verbose"});
    EXPECT_EQ(loud.status, 1) << loud.err;
    EXPECT_NE(("\n" + loud.err).find("\nFluidSynth: "), std::string::npos) << loud.err;
    EXPECT_NE(("\n" + loud.err).find("\nALSA: "), std::string::npos) << loud.err;
    EXPECT_NE(loud.err.find(kCannot), std::string::npos) << loud.err;

    const CliResult devices = RunCli({"devices", "--midi", "virtual"});
    ASSERT_EQ(devices.status, 0) << devices.err;
    EXPECT_NE(devices.out.find("  Tonalweaver Synth  (cannot sound: " + reason), std::string::npos)
        << devices.out;
    EXPECT_NE(devices.out.find("  Virtual Out\n"), std::string::npos) << "others unmarked";
    EXPECT_EQ(devices.err, "") << "the libraries print nothing";

    const CliResult record = RunCli(
        {"record", folder / "take.tnw", "--midi", "virtual", "--in", "0", "--seconds", "0.1"});
    EXPECT_EQ(record.status, 0) << record.err;
    EXPECT_NE(record.err.find(kCannot), std::string::npos) << record.err;
    EXPECT_EQ(record.err.find(kCannot), record.err.rfind(kCannot)) << record.err;
}
