// devices [--midi B]: the output and input devices of a MIDI backend.

#include "cli/CliCommand.h"
#include "cli/MidiOptions.h"

#include "devices/BackendChoice.h"
#include "devices/SynthOptions.h"

#include <cstdio>

namespace {

// remarks: what to say after a device's name, by index (missing or empty: nothing).
void PrintList(const char* heading, const std::vector<std::string>& names,
               const std::vector<std::string>& remarks = {})
{
    std::printf("%s\n", heading);
    for (size_t i = 0; i < names.size(); ++i) {
        const bool remark = i < remarks.size() && !remarks[i].empty();
        std::printf("  %zu  %s%s%s\n", i, names[i].c_str(), remark ? "  " : "",
                    remark ? remarks[i].c_str() : "");
    }
}

int RunDevices(const CCliArgs& args)
{
    const auto backend = StartCliBackend(args);
    const std::vector<std::string> outputs = backend->GetOutputNames();
    std::vector<std::string> remarks(outputs.size());
    const int32_t synth = FindDevice(outputs, kSynthDeviceName);
    if (synth >= 0) {
        const std::string problem = SynthSoundProblem(*backend);
        if (!problem.empty())
            remarks[static_cast<size_t>(synth)] = "(cannot sound: " + problem + ")";
    }
    PrintList("Outputs:", outputs, remarks);
    PrintList("Inputs:", backend->GetInputNames());
    backend->Stop();
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace

const CCliCommand kDevicesCommand{"devices",
                                  "[--midi jack|alsa|virtual]",
                                  "list the MIDI output and input devices",
                                  {kMidiOption},
                                  0,
                                  RunDevices};
