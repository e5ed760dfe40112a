#include "devices/BackendChoice.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {
constexpr const char* kSequencer = "/dev/snd/seq";
} // namespace

TEST(BackendChoice, NamesParseAndCreateTheirBackendOrSayWhyNot)
{
    const struct {
        const char* name;
        bool known;
        EMidiBackendKind kind;
    } cases[] = {{"jack", true, EMidiBackendKind::Jack},
                 {"alsa", true, EMidiBackendKind::Alsa},
                 {"virtual", true, EMidiBackendKind::Virtual},
                 {"JACK", false, {}},
                 {"", false, {}},
                 {"virtual ", false, {}}};
    for (const auto& c : cases) {
        EMidiBackendKind kind = EMidiBackendKind::Virtual;
        EXPECT_EQ(ParseMidiBackendName(c.name, kind), c.known) << c.name;
        if (c.known) {
            EXPECT_EQ(kind, c.kind) << c.name;
        }
    }

    std::string error;
    const auto backend = CreateMidiBackend("virtual", error);
    ASSERT_NE(backend, nullptr);
    EXPECT_EQ(backend->GetName(), "virtual");
    ASSERT_EQ(backend->Start(error), 1);
    // Every backend lists the built-in synthesizer after its own devices.
    EXPECT_EQ(backend->GetOutputNames(),
              (std::vector<std::string>{"Virtual Out", kSynthDeviceName}));
    // It runs on real time, so a headless run plays at the right speed.
    const int64_t before = backend->GetMasterTime();
    while (backend->GetMasterTime() == before) {
    }
    backend->Stop();

    EXPECT_EQ(CreateMidiBackend("midi2", error), nullptr);
    EXPECT_EQ(error, "Unknown MIDI backend 'midi2' (use jack|alsa|virtual).");
    for (const char* name : {"jack", "alsa"}) {
        EMidiBackendKind kind{};
        ParseMidiBackendName(name, kind);
        error.clear();
        const auto made = CreateMidiBackend(name, error);
        // ALSA named on a machine without its sequencer device is refused with the reason.
        const bool noSequencer =
            kind == EMidiBackendKind::Alsa && access(kSequencer, R_OK | W_OK) != 0;
        EXPECT_EQ(made != nullptr, IsMidiBackendBuilt(kind) && !noSequencer) << name;
        if (made) {
            EXPECT_EQ(made->GetName(), name);
        } else if (IsMidiBackendBuilt(kind)) {
            EXPECT_EQ(error, "The ALSA sequencer is not available.");
        }
    }
}
