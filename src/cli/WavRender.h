#pragma once
// The bounce to audio: the render engine's output ports all play into one built-in synthesizer,
// rendered offline at the frames their stamps map to and written as a stereo WAV file.

#include "document/ProjectRender.h"

#include <cstdint>
#include <string>

class CProjectDoc;

struct SWavOptions {
    uint32_t rate = 44100;
    bool floatSamples = false; // 32-bit float, else 16-bit PCM
    std::string soundFont;     // empty: the system's General MIDI font
    // Renders in float and scales the whole file so that its peak sits at kNormalizedPeak.
    bool normalize = false;
    // The synthesizer renders its voices on this many threads: 0 for one per core.
    int renderThreads = 0;
};

// -1 dBFS: the peak of a normalized bounce.
inline constexpr float kNormalizedPeak = 0.891251f;

// What a render made.
struct SWavRenderStats {
    int64_t frames = 0;     // written, tail included
    int32_t peakVoices = 0; // the most voices sounding at once (sampled every few thousand frames)
    int64_t samples = 0;    // written, both channels
    // Of the synthesizer's output, before any normalizing: the largest magnitude and the samples
    // at or past full scale (the 16-bit format clips them; so does a player of a float file).
    float peak = 0;
    int64_t fullScaleSamples = 0;
    float normalizeGain = 1; // what normalizing multiplied every sample by
};

// Renders doc to path. Throws CTwError with the reason (font, engine or file).
SWavRenderStats RenderProjectToWav(CProjectDoc& doc, const SRenderOptions& render,
                                   const SWavOptions& wav, const std::string& path);
