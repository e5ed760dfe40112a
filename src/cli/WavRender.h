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
};

// What a render made.
struct SWavRenderStats {
    int64_t frames = 0;     // written, tail included
    int32_t peakVoices = 0; // the most voices sounding at once (sampled every few thousand frames)
};

// Renders doc to path. Throws CTwError with the reason (font, engine or file).
SWavRenderStats RenderProjectToWav(CProjectDoc& doc, const SRenderOptions& render,
                                   const SWavOptions& wav, const std::string& path);
