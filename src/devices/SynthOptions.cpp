#include "devices/SynthOptions.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>

namespace {

// At 100 % a dense General MIDI song stays clear of clipping: the synth bench's dense song (16
// channels, 49,152 notes, all 256 voices sounding) peaks at +0.5 dBFS with 0.4 and so near
// -2 dBFS with this.
constexpr float kGainAtFullVolume = 0.3f;

} // namespace

const std::vector<std::string>& SystemSoundFonts()
{
    static const std::vector<std::string> fonts{
        "/usr/share/sounds/sf2/FluidR3_GM.sf2",
        "/usr/share/sounds/sf3/default-GM.sf3",
        "/usr/share/sounds/sf2/TimGM6mb.sf2",
    };
    return fonts;
}

std::string ChooseSoundFont(const SSynthOptions& options,
                            const std::function<bool(const std::string&)>& exists)
{
    if (!options.soundFont.empty()) return options.soundFont;
    for (const std::string& font : SystemSoundFonts())
        if (exists(font)) return font;
    return {};
}

float SynthGain(int volume)
{
    return kGainAtFullVolume *
           static_cast<float>(std::clamp(volume, 0, SSynthOptions::kMaxVolume)) / 100.0f;
}

bool IsSoundFontFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::array<char, 12> head{};
    if (!file.read(head.data(), head.size())) return false;
    return std::memcmp(head.data(), "RIFF", 4) == 0 && std::memcmp(head.data() + 8, "sfbk", 4) == 0;
}
