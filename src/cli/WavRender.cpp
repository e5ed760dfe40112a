#include "cli/WavRender.h"

#include "devices/synth/SynthBounce.h"
#include "model/Errors.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace {

constexpr double kMaxTailSeconds = 10.0;
// Audio is handed to the file in pieces this big: a write per engine tick would cost a system
// call every few milliseconds of music.
constexpr size_t kWriteFrames = 1 << 16;
// The largest 16-bit sample as a float: at or past it a sample is at full scale.
constexpr float kFullScale = 32767.0f / 32768.0f;

// A WAV file open for writing, closed when it goes.
class CWavFile {
public:
    CWavFile(const std::string& path, const SWavOptions& options) : m_path(path)
    {
        SF_INFO info{};
        info.samplerate = static_cast<int>(options.rate);
        info.channels = 2;
        info.format = SF_FORMAT_WAV | (options.floatSamples ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16);
        m_file = sf_open(path.c_str(), SFM_WRITE, &info);
        if (m_file == nullptr)
            throw CFileError("Cannot write " + path + ": " + sf_strerror(nullptr) + ".");
        // Samples past full scale are clipped, not wrapped.
        sf_command(m_file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
        // The peak chunk carries the time of writing: without it a render is the same every time.
        sf_command(m_file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    }
    ~CWavFile()
    {
        if (m_file != nullptr) sf_close(m_file);
    }
    CWavFile(const CWavFile&) = delete;
    CWavFile& operator=(const CWavFile&) = delete;

    // Writes left/right pairs and empties samples.
    void Write(std::vector<float>& samples)
    {
        const auto frames = static_cast<sf_count_t>(samples.size() / 2);
        if (frames > 0 && sf_writef_float(m_file, samples.data(), frames) != frames)
            throw CFileError("Cannot write " + m_path + ": " + sf_strerror(m_file) + ".");
        samples.clear();
    }
    void Close()
    {
        const int result = sf_close(m_file);
        m_file = nullptr;
        if (result != 0) throw CFileError("Cannot write " + m_path + ".");
    }

private:
    std::string m_path;
    SNDFILE* m_file = nullptr;
};

// The level of everything that passes: the peak and the samples at full scale.
class CLevelMeter {
public:
    void Measure(const std::vector<float>& samples)
    {
        for (const float sample : samples) {
            const float magnitude = std::fabs(sample);
            m_peak = std::max(m_peak, magnitude);
            m_fullScale += magnitude >= kFullScale ? 1 : 0;
        }
        m_samples += static_cast<int64_t>(samples.size());
    }
    float GetPeak() const { return m_peak; }
    int64_t GetFullScaleCount() const { return m_fullScale; }
    int64_t GetSampleCount() const { return m_samples; }

private:
    float m_peak = 0;
    int64_t m_fullScale = 0;
    int64_t m_samples = 0;
};

// The whole render in float, kept in an anonymous temporary file until its peak is known: a long
// song would not fit in memory.
class CSampleSpool {
public:
    CSampleSpool() : m_file(std::tmpfile(), &std::fclose)
    {
        if (!m_file) throw CFileError("Cannot make a temporary file for normalizing.");
    }
    void Append(const std::vector<float>& samples)
    {
        if (std::fwrite(samples.data(), sizeof(float), samples.size(), m_file.get()) !=
            samples.size())
            throw CFileError("Cannot write the temporary file for normalizing.");
    }
    // Writes everything spooled to `file`, every sample multiplied by `gain`.
    template <class TFile> void CopyScaled(TFile& file, float gain)
    {
        std::rewind(m_file.get());
        std::vector<float> samples(2 * kWriteFrames);
        for (;;) {
            samples.resize(2 * kWriteFrames);
            const size_t read = std::fread(samples.data(), sizeof(float), samples.size(),
                                           m_file.get());
            if (read == 0) break;
            samples.resize(read);
            for (float& sample : samples)
                sample *= gain;
            file.Write(samples);
        }
        if (std::ferror(m_file.get()))
            throw CFileError("Cannot read the temporary file for normalizing.");
    }

private:
    std::unique_ptr<std::FILE, decltype(&std::fclose)> m_file;
};

// Plays every output port's messages into the one synthesizer and writes as it goes.
class CWavCapture : public CRenderSink {
public:
    // With a spool, the audio goes there instead of into the file.
    CWavCapture(CSynthBounce& synth, CWavFile& file, CSampleSpool* spool)
        : m_synth(synth), m_file(file), m_spool(spool)
    {}

    void OnTickStart(tick, int64_t time) override
    {
        if (!m_started) {
            m_synth.SetOrigin(time);
            m_started = true;
        }
        m_synth.RenderUntil(time, m_samples);
        if (m_samples.size() >= 2 * kWriteFrames) Flush();
    }
    void OnMessages(int32_t, tick, std::span<const SMidiOutRecord> records) override
    {
        for (const SMidiOutRecord& record : records)
            m_synth.Add(record);
    }
    void Finish(uint32_t rate)
    {
        m_synth.RenderTail(m_samples, static_cast<int64_t>(kMaxTailSeconds * rate));
        Flush();
    }
    const CLevelMeter& GetLevel() const { return m_level; }

private:
    void Flush()
    {
        m_level.Measure(m_samples);
        if (m_spool != nullptr) {
            m_spool->Append(m_samples);
            m_samples.clear();
        } else {
            m_file.Write(m_samples);
        }
    }

    CSynthBounce& m_synth;
    CWavFile& m_file;
    CSampleSpool* m_spool;
    CLevelMeter m_level;
    std::vector<float> m_samples;
    bool m_started = false;
};

} // namespace

SWavRenderStats RenderProjectToWav(CProjectDoc& doc, const SRenderOptions& render,
                                   const SWavOptions& wav, const std::string& path)
{
    const int threads = wav.renderThreads > 0
                            ? wav.renderThreads
                            : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    CSynthBounce synth(wav.rate, threads);
    SSynthOptions options;
    options.soundFont = wav.soundFont;
    std::string error;
    if (!synth.Load(options, error)) throw CTwError(error);
    CWavFile file(path, wav);
    std::optional<CSampleSpool> spool;
    if (wav.normalize) spool.emplace();
    CWavCapture capture(synth, file, spool ? &*spool : nullptr);
    if (RenderProject(doc, render, capture, error) == 0) throw CFileError(error);
    capture.Finish(wav.rate);
    const CLevelMeter& level = capture.GetLevel();
    SWavRenderStats stats{synth.GetFrame(), synth.GetPeakVoices(), level.GetSampleCount(),
                          level.GetPeak(), level.GetFullScaleCount()};
    if (spool) {
        // A silent render stays silent rather than being blown up to nothing but noise.
        if (level.GetPeak() > 0) stats.normalizeGain = kNormalizedPeak / level.GetPeak();
        spool->CopyScaled(file, stats.normalizeGain);
    }
    file.Close();
    return stats;
}
