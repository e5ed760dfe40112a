#pragma once
// The command-line side of MIDI devices: the backend option and finding a device by what the
// user typed.

#include "devices/MidiBackend.h"
#include "devices/SynthOptions.h"

#include <memory>
#include <string>
#include <vector>

struct CCliArgs;

// "--midi jack|alsa|virtual": the backend; without it the default of this machine.
inline constexpr const char* kMidiOption = "--midi";

// Creates the backend the arguments name, not started. CUsageError for an unknown name, CTwError
// for one this build lacks. synth: the built-in synthesizer's options.
std::unique_ptr<CMidiBackend> CreateCliBackend(const CCliArgs& args,
                                               const SSynthOptions& synth = {});
// The same, started. CTwError with the reason when it cannot start.
std::unique_ptr<CMidiBackend> StartCliBackend(const CCliArgs& args);

// The device `text` names among names: an index as `devices` prints it, or a name exactly as
// printed. -1 when none matches.
int32_t FindDevice(const std::vector<std::string>& names, const std::string& text);
