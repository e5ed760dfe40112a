#include "cli/MidiOptions.h"

#include "cli/CliCommand.h"
#include "devices/BackendChoice.h"
#include "model/Errors.h"

#include <charconv>

std::unique_ptr<CMidiBackend> CreateCliBackend(const CCliArgs& args, const SSynthOptions& synth)
{
    const auto it = args.options.find(kMidiOption);
    const std::string name = it == args.options.end() ? std::string() : it->second;
    EMidiBackendKind kind{};
    if (!name.empty() && !ParseMidiBackendName(name, kind))
        throw CUsageError(std::string(kMidiOption) + " takes " + kMidiBackendNames);
    std::string error;
    std::unique_ptr<CMidiBackend> backend = CreateMidiBackend(name, error, synth);
    if (!backend) throw CTwError(error);
    return backend;
}

std::unique_ptr<CMidiBackend> StartCliBackend(const CCliArgs& args)
{
    std::unique_ptr<CMidiBackend> backend = CreateCliBackend(args);
    std::string error;
    if (!backend->Start(error)) throw CTwError("Failed to initialize the MIDI system: " + error);
    return backend;
}

int32_t FindDevice(const std::vector<std::string>& names, const std::string& text)
{
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i] == text) return static_cast<int32_t>(i);
    }
    int32_t index = -1;
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, index);
    if (error != std::errc() || at != end || text.empty()) return -1;
    return index >= 0 && index < static_cast<int32_t>(names.size()) ? index : -1;
}
