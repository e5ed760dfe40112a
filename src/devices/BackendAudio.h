#pragma once
// Audio output inside a backend's own process cycle, for the built-in synthesizer: under JACK the
// synthesizer renders in the same callback that writes MIDI, on the same frame count, so its
// messages sound at exactly the frames MIDI ones would be written at.
//
// Threads: AttachAudio, DetachAudio on the engine's thread; AudioFrameOf on any thread; the
// renderer is called on the backend's audio thread.

#include <cstdint>
#include <string>

// Fills the backend's audio outputs, one cycle at a time.
class CAudioRenderer {
public:
    virtual ~CAudioRenderer() = default;
    // Audio thread: writes frames of audio to left and right; firstFrame is the backend's frame
    // count at the cycle's start (the same count AudioFrameOf answers in). Real-time safe.
    virtual void RenderAudio(float* left, float* right, uint32_t frames, int64_t firstFrame) = 0;
};

class CBackendAudio {
public:
    virtual ~CBackendAudio() = default;
    // Makes the audio outputs, connects them to the system's playback and calls renderer
    // (borrowed) every cycle from then on. Returns 1, or 0 with the reason in error.
    virtual int AttachAudio(CAudioRenderer* renderer, std::string& error) = 0;
    // No renderer call runs once this has returned; the outputs are removed.
    virtual void DetachAudio() = 0;
    // Frames per second of the audio outputs (0 when not started).
    virtual uint32_t GetAudioRate() const = 0;
    // The frame a message stamped `time` (100 ns master clock) is to sound at.
    virtual int64_t AudioFrameOf(int64_t time) const = 0;
};
