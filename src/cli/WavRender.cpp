#include "cli/WavRender.h"

#include "devices/synth/SynthBounce.h"
#include "model/Errors.h"

#include <sndfile.h>

#include <vector>

namespace {

constexpr double kMaxTailSeconds = 10.0;
// Audio is handed to the file in pieces this big: a write per engine tick would cost a system
// call every few milliseconds of music.
constexpr size_t kWriteFrames = 1 << 16;

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

// Plays every output port's messages into the one synthesizer and writes as it goes.
class CWavCapture : public CRenderSink {
public:
    CWavCapture(CSynthBounce& synth, CWavFile& file) : m_synth(synth), m_file(file) {}

    void OnTickStart(tick, int64_t time) override
    {
        if (!m_started) {
            m_synth.SetOrigin(time);
            m_started = true;
        }
        m_synth.RenderUntil(time, m_samples);
        if (m_samples.size() >= 2 * kWriteFrames) m_file.Write(m_samples);
    }
    void OnMessages(int32_t, tick, std::span<const SMidiOutRecord> records) override
    {
        for (const SMidiOutRecord& record : records)
            m_synth.Add(record);
    }
    void Finish(uint32_t rate)
    {
        m_synth.RenderTail(m_samples, static_cast<int64_t>(kMaxTailSeconds * rate));
        m_file.Write(m_samples);
    }

private:
    CSynthBounce& m_synth;
    CWavFile& m_file;
    std::vector<float> m_samples;
    bool m_started = false;
};

} // namespace

SWavRenderStats RenderProjectToWav(CProjectDoc& doc, const SRenderOptions& render,
                                   const SWavOptions& wav, const std::string& path)
{
    CSynthBounce synth(wav.rate);
    SSynthOptions options;
    options.soundFont = wav.soundFont;
    std::string error;
    if (!synth.Load(options, error)) throw CTwError(error);
    CWavFile file(path, wav);
    CWavCapture capture(synth, file);
    if (RenderProject(doc, render, capture, error) == 0) throw CFileError(error);
    capture.Finish(wav.rate);
    file.Close();
    return {synth.GetFrame(), synth.GetPeakVoices()};
}
