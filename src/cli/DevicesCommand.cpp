// devices [--midi B]: the output and input devices of a MIDI backend.

#include "cli/CliCommand.h"
#include "cli/MidiOptions.h"

#include <cstdio>

namespace {

void PrintList(const char* heading, const std::vector<std::string>& names)
{
    std::printf("%s\n", heading);
    for (size_t i = 0; i < names.size(); ++i)
        std::printf("  %zu  %s\n", i, names[i].c_str());
}

int RunDevices(const CCliArgs& args)
{
    const auto backend = StartCliBackend(args);
    PrintList("Outputs:", backend->GetOutputNames());
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
