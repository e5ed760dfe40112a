#pragma once
// An offline render of the built-in synthesizer: stamped messages in, interleaved stereo float
// audio out, on the same render loop as live playback, as fast as the machine allows. Frame 0 is
// the master-clock time given as the origin; a message sounds at the frame its stamp maps to.
//
// Threads: one thread (the caller's), with the synthesizer's render threads under it.

#include "devices/MidiBackend.h"
#include "devices/SynthOptions.h"
#include "devices/synth/SynthCore.h"
#include "devices/synth/SynthQueue.h"

#include <cstdint>
#include <string>
#include <vector>

class CSynthBounce {
public:
    // The voices render on `renderThreads` threads (FluidSynth's own; the result does not depend
    // on their number).
    explicit CSynthBounce(uint32_t sampleRate, int renderThreads = 1)
        : m_core(sampleRate, renderThreads)
    {}

    // Loads the font the options choose. Returns 1, or 0 with the reason in error.
    int Load(const SSynthOptions& options, std::string& error);
    // The master-clock time (100 ns) of frame 0; messages stamped before it sound at once.
    void SetOrigin(int64_t time) { m_origin = time; }
    // Queues a message at the frame its stamp maps to (stamps in non-decreasing order).
    void Add(const SMidiOutRecord& record);
    // Renders up to the frame `time` maps to, appending left/right pairs to out.
    void RenderUntil(int64_t time, std::vector<float>& out);
    // Renders on until no voice sounds (reverb tail included), at most maxFrames.
    void RenderTail(std::vector<float>& out, int64_t maxFrames);
    // Frames rendered so far.
    int64_t GetFrame() const { return m_frame; }
    // The most voices that sounded at the end of a chunk of the render so far.
    int32_t GetPeakVoices() const { return m_peakVoices; }
    CSynthCore& GetCore() { return m_core; }

private:
    int64_t FrameOf(int64_t time) const;
    void RenderFrames(int64_t frames, std::vector<float>& out);

    CSynthCore m_core;
    CSynthEventList m_events;
    int64_t m_origin = 0;
    int64_t m_frame = 0;
    int32_t m_peakVoices = 0;
    std::vector<float> m_left;
    std::vector<float> m_right;
};
