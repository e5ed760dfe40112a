#include "devices/synth/SynthBounce.h"

#include "devices/jack/JackFrames.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace {

constexpr uint32_t kChunkFrames = 4096;
// The reverb rings on after the last voice ends: this much more, or until it falls below
// 16-bit silence.
constexpr double kTailSeconds = 2.0;
constexpr float kSilence = 1.0f / 65536.0f;

} // namespace

int CSynthBounce::Load(const SSynthOptions& options, std::string& error)
{
    const auto exists = [](const std::string& path) {
        std::error_code ignored;
        return std::filesystem::is_regular_file(path, ignored);
    };
    if (!m_core.Load(ChooseSoundFont(options, exists), error)) return 0;
    m_core.SetGain(SynthGain(options.volume));
    return 1;
}

int64_t CSynthBounce::FrameOf(int64_t time) const
{
    return jackframes::TimeToFrame(time - m_origin, m_core.GetSampleRate());
}

void CSynthBounce::Add(const SMidiOutRecord& record)
{
    m_events.Push(SSynthEvent{FrameOf(record.time), record.length, record.bytes});
}

void CSynthBounce::RenderFrames(int64_t frames, std::vector<float>& out)
{
    while (frames > 0) {
        const auto chunk = static_cast<uint32_t>(std::min<int64_t>(frames, kChunkFrames));
        m_left.resize(chunk);
        m_right.resize(chunk);
        SplitRender(m_core, m_events, m_left.data(), m_right.data(), chunk, m_frame);
        m_peakVoices = std::max(m_peakVoices, m_core.GetActiveVoices());
        const size_t at = out.size();
        out.resize(at + 2 * size_t{chunk});
        float* pair = out.data() + at;
        for (uint32_t i = 0; i < chunk; ++i, pair += 2) {
            pair[0] = m_left[i];
            pair[1] = m_right[i];
        }
        m_frame += chunk;
        frames -= chunk;
    }
}

void CSynthBounce::RenderUntil(int64_t time, std::vector<float>& out)
{
    RenderFrames(FrameOf(time) - m_frame, out);
}

void CSynthBounce::RenderTail(std::vector<float>& out, int64_t maxFrames)
{
    const int64_t end = m_frame + maxFrames;
    while (m_frame < end && !m_events.IsEmpty())
        RenderFrames(std::min<int64_t>(kChunkFrames, end - m_frame), out);
    while (m_frame < end && m_core.GetActiveVoices() > 0)
        RenderFrames(std::min<int64_t>(kChunkFrames, end - m_frame), out);
    // The reverb's tail: on while a chunk still holds sound.
    const auto tailEnd = std::min<int64_t>(
        end, m_frame + static_cast<int64_t>(kTailSeconds * m_core.GetSampleRate()));
    while (m_frame < tailEnd) {
        const size_t before = out.size();
        RenderFrames(std::min<int64_t>(kChunkFrames, tailEnd - m_frame), out);
        const bool sound = std::any_of(out.begin() + static_cast<std::ptrdiff_t>(before), out.end(),
                                       [](float v) { return std::fabs(v) >= kSilence; });
        if (!sound) break;
    }
}
