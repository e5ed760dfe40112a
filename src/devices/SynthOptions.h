#pragma once
// The built-in synthesizer as the rest of the program sees it: its device name, the options the
// user sets for it and where its General MIDI SoundFont comes from. No synthesizer code here, so
// the engine and the windows can name it without linking it.
//
// Threads: plain values and pure functions; any thread.

#include <functional>
#include <string>
#include <vector>

// The output device every backend lists for the built-in synthesizer.
inline constexpr char kSynthDeviceName[] = "Tonalweaver Synth";

struct SSynthOptions {
    static constexpr int kDefaultVolume = 100; // percent
    static constexpr int kMaxVolume = 200;
    std::string soundFont; // empty: the first General MIDI font the system has
    int volume = kDefaultVolume;
};

// What the built-in synthesizer is doing, for its settings dialog.
struct SSynthState {
    bool open = false;    // its output device is open (it plays once its font is there)
    bool loading = false; // a SoundFont is loading
    // Why it could not open or stopped (no audio output, a font that failed), or, while open,
    // why the font last asked for did not replace the one that plays. Empty when all is well.
    std::string problem;
};

// The General MIDI fonts the system's packages install, best first.
const std::vector<std::string>& SystemSoundFonts();
// The font to load: options.soundFont when set, else the first system font `exists` accepts;
// empty when there is none.
std::string ChooseSoundFont(const SSynthOptions& options,
                            const std::function<bool(const std::string&)>& exists);
// True when the file at path begins as a SoundFont does (a RIFF "sfbk" form, SF2 and SF3 alike).
// Reads 12 bytes; a file that is missing or cannot be read is none.
bool IsSoundFontFile(const std::string& path);
// The synthesizer's gain for a volume in percent (clamped to 0..kMaxVolume).
float SynthGain(int volume);
