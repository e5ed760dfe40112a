#pragma once
// Which MIDI backend a program runs on: named on the command line ("--midi jack|alsa|virtual"),
// else JACK when a server is running, else the ALSA sequencer when its device exists, else the
// virtual backend. Both programs call CreateMidiBackend once at start.

#include "devices/MidiBackend.h"
#include "devices/SynthOptions.h"

#include <memory>
#include <string>

enum class EMidiBackendKind { Jack, Alsa, Virtual };

// The names the option takes, for usage texts: "jack|alsa|virtual".
extern const char* const kMidiBackendNames;

// Installs the error and log handlers of every library this build has (ALSA, JACK,
// FluidSynth), so that nothing they say reaches the terminal unless library messages are verbose
// (devices/LibraryMessages.h). Once per process, any thread; CreateMidiBackend and
// DefaultMidiBackend do it first, and a program may do it earlier.
void InstallLibraryMessageHandlers();

// Parses a backend name; false for anything else.
bool ParseMidiBackendName(const std::string& name, EMidiBackendKind& kind);
// The default choice on this machine now (never starts a JACK server).
EMidiBackendKind DefaultMidiBackend();
// Whether this build has the backend (JACK and ALSA need their libraries at build time).
bool IsMidiBackendBuilt(EMidiBackendKind kind);

// The name the JACK client of the backends made from now on takes (a session manager's client
// id); empty keeps the one set before. Before the backend is created.
void SetMidiClientName(const std::string& name);

// Whether this build has the built-in synthesizer.
bool IsSynthBuilt();

// Waits (never on the music thread) until the built-in synthesizer of a started backend has
// loaded its SoundFont or failed to, so opening it next plays from the first note or fails at
// once with the reason. Returns at once for a backend without it.
void WaitForSynthFont(CMidiBackend& backend);

// Why the built-in synthesizer of a started backend cannot sound (no audio output opens: tried
// and let go at once); empty when it can, or for a backend without it. Never on the music thread
// while the engine runs.
std::string SynthSoundProblem(CMidiBackend& backend);

// Hands new options to the built-in synthesizer of backend (any thread): the volume applies at
// once, another SoundFont loads in the background. False for a backend without it.
bool SetSynthOptions(CMidiBackend& backend, const SSynthOptions& options);

// The state of the built-in synthesizer of backend (any thread). False for a backend without it.
bool GetSynthState(const CMidiBackend& backend, SSynthState& state);

// Creates the backend `name` names, or the default one for an empty name, with the built-in
// synthesizer as its last output device where the build has it. Null with the reason in error
// for an unknown name, a backend this build lacks, or ALSA on a machine without the sequencer
// device. The backend is not started yet.
std::unique_ptr<CMidiBackend> CreateMidiBackend(const std::string& name, std::string& error,
                                                const SSynthOptions& synth = {});
