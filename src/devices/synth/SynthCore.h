#pragma once
// One General MIDI synthesizer: a SoundFont loaded into a FluidSynth instance, fed short MIDI
// messages and rendered to stereo float audio. The render loop that places each message at its
// audio frame is SynthQueue's; this class only applies and renders.
//
// Threads: Load on any thread before rendering starts (it reads the font from disk); afterwards
// Apply, Render and SetGain only on the one thread that renders (the audio thread, or the caller
// of an offline render). Apply and Render are real-time safe.

#include <cstdint>
#include <memory>
#include <string>

class CSynthCore {
public:
    // Frames FluidSynth renders at once: a message takes effect at the next multiple of this.
    static constexpr int32_t kBlockFrames = 64;

    // Installs FluidSynth's log functions (process-wide, once): what the library would print
    // goes to the program's library messages (devices/LibraryMessages.h) instead. Any thread;
    // every synthesizer does it before it starts.
    static void RouteLibraryMessages();

    // `renderThreads` above 1 lets FluidSynth render the voices of each block on that many
    // threads (for an offline render: a live one keeps its one audio thread).
    explicit CSynthCore(uint32_t sampleRate, int renderThreads = 1);
    ~CSynthCore();
    CSynthCore(const CSynthCore&) = delete;
    CSynthCore& operator=(const CSynthCore&) = delete;

    // Loads the SoundFont at path in place of any other. Returns 1, or 0 with the reason in error.
    int Load(const std::string& path, std::string& error);
    bool IsLoaded() const;
    uint32_t GetSampleRate() const { return m_rate; }

    // Plays one short message (note, controller, program, pressure, pitch bend); the rest,
    // system messages included, are ignored.
    void Apply(const uint8_t* bytes, int32_t length);
    // Writes frames of audio to left and right (overwriting).
    void Render(float* left, float* right, uint32_t frames);
    void SetGain(float gain);
    // Ends every note at once (a device being closed).
    void Silence();
    // Back to the state after loading: no notes, every channel's controllers and programs reset.
    void Reset();
    // Takes over each channel's program, controllers and pitch bend from other, so a song
    // carries on with its sounds when the font changes. Real-time safe.
    void CopyChannelsFrom(const CSynthCore& other);
    // Voices sounding now.
    int32_t GetActiveVoices() const;

    class CImpl;

private:
    uint32_t m_rate;
    std::unique_ptr<CImpl> m_impl;
};
