// A settings file as the user's configuration folder may hold it (edited by hand, cut short, from
// another version): read through the settings profile and applied to an engine on the virtual
// backend, then written back. Any file must be taken without crashing, and every stored value
// must reach the engine only inside its range.

#include "devices/virtual/VirtualBackend.h"
#include "engine/DeviceSettings.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "settings/SettingsProfile.h"

#include <QString>

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string TempPath()
{
    static const std::string path = "/tmp/tw-fuzz-settings-" + std::to_string(getpid()) + ".conf";
    return path;
}

void Require(bool condition)
{
    if (!condition) abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = TempPath();
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    {
        CSettingsProfile profile(QString::fromStdString(path));
        for (const char* section : {DeviceSettings::kOutDrivers, DeviceSettings::kPortDrivers})
            for (const std::string& key : profile.GetKeys(section))
                Require(EscapeKey(key).size() >= 1);

        CVirtualBackend backend({"Synth A", "Synth/B", "Synth A"}, {"Keys", "Pads\\1"});
        CMidiEngineProxy proxy;
        CMidiEngine engine(backend, proxy.GetMailbox());
        proxy.AttachEngine(&engine);
        Require(StartEngineWithSettings(proxy, profile, false) == 1);
        const CMetronome& metronome = engine.GetMetronome();
        for (int32_t code = CMetronome::kBarKey; code <= CMetronome::kBeatChannel; ++code)
            Require(metronome.GetParameter(code) >= 0 && metronome.GetParameter(code) <= 127);
        Require(metronome.GetParameter(CMetronome::kBarChannel) <= 15);
        Require(metronome.GetParameter(CMetronome::kBeatChannel) <= 15);
        ShutDownEngineWithSettings(proxy, profile);
        proxy.AttachEngine(nullptr);
    }
    std::remove(path.c_str());
    return 0;
}
