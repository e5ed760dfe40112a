// What ALSA, JACK and FluidSynth say goes through the program's library messages: nothing on the
// terminal unless verbose, while whoever opens a device gets the reason.

#include "devices/LibraryMessages.h"
#include "devices/BackendChoice.h"
#include "devices/MidiDevices.h"
#include "devices/virtual/VirtualBackend.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "files/TempFolder.h"

#ifdef TW_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif
#ifdef TW_HAVE_JACK
#include "devices/jack/JackBackend.h"
#endif
#ifdef TW_HAVE_SYNTH
#include "devices/synth/SynthBackend.h"
#include "devices/synth/SynthCore.h"
#include "devices/synth/SynthLoader.h"
#include <fluidsynth.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Verbose output on for a scope, off again after.
struct SVerbose {
    explicit SVerbose(bool on) { SetLibraryMessagesVerbose(on); }
    ~SVerbose() { SetLibraryMessagesVerbose(false); }
};

// What reached standard error while fn ran.
template <class TFn> std::string StderrOf(TFn fn)
{
    testing::internal::CaptureStderr();
    fn();
    return testing::internal::GetCapturedStderr();
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(LibraryMessages, GoToTheInnermostCollectorOfTheirThreadAndToTheTerminalOnlyWhenVerbose)
{
    EXPECT_FALSE(AreLibraryMessagesVerbose());
    EXPECT_FALSE(IsLibraryMessageWanted());
    const std::string quiet = StderrOf([] {
        ReportLibraryMessage({"ALSA", ELibraryLevel::Error, "lost\n", {}});
    });
    EXPECT_EQ(quiet, "");

    CLibraryMessageCollector outer;
    EXPECT_TRUE(IsLibraryMessageWanted());
    ReportLibraryMessage({"JACK", ELibraryLevel::Info, "hello", {}});
    {
        CLibraryMessageCollector inner;
        ReportLibraryMessage({"ALSA", ELibraryLevel::Error, "first", {}});
        ReportLibraryMessage({"ALSA", ELibraryLevel::Error, "second", "pcm.c:1 open"});
        ASSERT_EQ(inner.GetMessages().size(), 2u);
        EXPECT_EQ(inner.FirstError("ALSA"), "first");
        EXPECT_EQ(inner.LastError("ALSA"), "second");
        EXPECT_EQ(inner.LastError("JACK"), "");
        EXPECT_EQ(LibraryMessageLine(inner.GetMessages()[1]), "ALSA: second [pcm.c:1 open]");
    }
    ASSERT_EQ(outer.GetMessages().size(), 1u);
    EXPECT_EQ(outer.LastError("JACK"), "") << "an info is no error";
    // Another thread's messages are not this thread's.
    std::thread([] { ReportLibraryMessage({"ALSA", ELibraryLevel::Error, "there", {}}); }).join();
    EXPECT_EQ(outer.GetMessages().size(), 1u);

    SVerbose verbose(true);
    const std::string loud = StderrOf([] {
        ReportLibraryMessage({"FluidSynth", ELibraryLevel::Warning, "hm\n", {}});
    });
    EXPECT_EQ(loud, "FluidSynth: hm\n");
    EXPECT_EQ(outer.GetMessages().back().text, "hm") << "the line ending is dropped";
}

#ifdef TW_HAVE_ALSA
// ALSA prints "ALSA lib pcm.c:...:(snd_pcm_open_noupdate) Unknown PCM ..." by itself.
TEST(LibraryMessages, AlsaErrorsReachTheTerminalOnlyWhenVerbose)
{
    InstallLibraryMessageHandlers();
    const auto openMissing = [] {
        snd_pcm_t* pcm = nullptr;
        EXPECT_LT(snd_pcm_open(&pcm, "tonalweaver_no_such_pcm", SND_PCM_STREAM_PLAYBACK, 0), 0);
    };
    EXPECT_EQ(StderrOf(openMissing), "");
    {
        CLibraryMessageCollector said;
        EXPECT_EQ(StderrOf(openMissing), "");
        EXPECT_TRUE(Contains(said.LastError("ALSA"), "Unknown PCM tonalweaver_no_such_pcm"))
            << said.LastError("ALSA");
        ASSERT_FALSE(said.GetMessages().empty());
        EXPECT_FALSE(said.GetMessages().back().origin.empty()) << "where in ALSA it was said";
    }
    SVerbose verbose(true);
    const std::string loud = StderrOf(openMissing);
    EXPECT_TRUE(Contains(loud, "ALSA: Unknown PCM tonalweaver_no_such_pcm")) << loud;
}
#endif

#ifdef TW_HAVE_JACK
// libjack prints "Cannot connect to server socket ..." and more when no server runs.
TEST(LibraryMessages, JackErrorsOfAClientWithoutServerReachTheTerminalOnlyWhenVerbose)
{
    const char* before = std::getenv("JACK_DEFAULT_SERVER");
    const std::string saved = before != nullptr ? before : "";
    setenv("JACK_DEFAULT_SERVER", ("tonalweaver-none-" + std::to_string(getpid())).c_str(), 1);
    const auto start = [](std::string& error) {
        CJackBackend backend;
        return backend.Start(error);
    };
    std::string error;
    int started = 1;
    {
        CLibraryMessageCollector said;
        EXPECT_EQ(StderrOf([&] { started = start(error); }), "");
        EXPECT_EQ(started, 0);
        EXPECT_EQ(error, "The JACK server is not running.");
        EXPECT_FALSE(said.LastError("JACK").empty()) << "libjack said why";
    }
    {
        SVerbose verbose(true);
        const std::string loud = StderrOf([&] { started = start(error); });
        EXPECT_EQ(started, 0);
        EXPECT_TRUE(Contains(loud, "JACK: ")) << loud;
    }
    if (before != nullptr) {
        setenv("JACK_DEFAULT_SERVER", saved.c_str(), 1);
    } else {
        unsetenv("JACK_DEFAULT_SERVER");
    }
}
#endif

#ifdef TW_HAVE_SYNTH
namespace {
const char* const kFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
}

// FluidSynth logs "Failed to load SoundFont ..." and the like through its log functions.
TEST(LibraryMessages, FluidSynthLogsReachTheTerminalOnlyWhenVerboseAndNameTheReason)
{
    InstallLibraryMessageHandlers();
    const auto loadMissing = [] {
        fluid_settings_t* settings = new_fluid_settings();
        fluid_synth_t* synth = new_fluid_synth(settings);
        EXPECT_EQ(fluid_synth_sfload(synth, "/nonexistent/tonalweaver.sf2", 1), FLUID_FAILED);
        delete_fluid_synth(synth);
        delete_fluid_settings(settings);
    };
    EXPECT_EQ(StderrOf(loadMissing), "");
    {
        CLibraryMessageCollector said;
        EXPECT_EQ(StderrOf(loadMissing), "");
        EXPECT_TRUE(Contains(said.LastError("FluidSynth"), "/nonexistent/tonalweaver.sf2"));
    }
    {
        SVerbose verbose(true);
        const std::string loud = StderrOf(loadMissing);
        EXPECT_TRUE(Contains(loud, "FluidSynth: ")) << loud;
    }

    // A damaged font (a SoundFont's header, nothing after it): the reason says what FluidSynth
    // found. (FluidSynth then tries the file as DLS through libinstpatch, which may print a GLib
    // warning of its own: that one is not FluidSynth's log, so it is only kept off the test's
    // output here.)
    CTempFolder folder;
    std::vector<uint8_t> bytes(64, 0);
    const char head[] = "RIFF\x38\0\0\0sfbkLIST";
    std::copy(head, head + sizeof head - 1, bytes.begin());
    folder.Write("broken.sf2", bytes);
    std::string error;
    const std::string printed = StderrOf([&] {
        CSynthCore core(48000);
        EXPECT_EQ(core.Load(folder / "broken.sf2", error), 0);
    });
    EXPECT_FALSE(Contains(printed, "FluidSynth")) << printed;
    EXPECT_TRUE(Contains(error, "is damaged or not a SoundFont (")) << error;

    // A file that is no SoundFont at all never reaches FluidSynth (nor libinstpatch).
    folder.Write("text.sf2", std::vector<uint8_t>(100, 'x'));
    const std::string none = StderrOf([&] {
        CSynthCore core(48000);
        EXPECT_EQ(core.Load(folder / "text.sf2", error), 0);
    });
    EXPECT_EQ(none, "");
    EXPECT_TRUE(Contains(error, "is damaged or not a SoundFont")) << error;
}

// Out of a machine without audio the synthesizer's device cannot open: nothing is printed, and
// the program has the reason (the device list and the synthesizer's state).
TEST(LibraryMessages, ASynthWithoutAudioSaysWhyInTheProgramAndNothingOnTheTerminal)
{
    auto owned = std::make_unique<CVirtualBackend>(std::vector<std::string>{"Out A"},
                                                   std::vector<std::string>{});
    SSynthOptions options;
    options.soundFont = kFont;
    int opened = 0;
    // The font is held back until the device has tried to open, as at a program start.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    CSynthBackend backend(std::move(owned), options,
                          [released](const std::string& path, uint32_t rate, std::string& error) {
                              released.wait();
                              return LoadSynthCore(path, rate, error);
                          });
    CMidiEngineProxy proxy;
    CMidiEngine engine(backend, proxy.GetMailbox());
    proxy.AttachEngine(&engine);
    ASSERT_EQ(proxy.Initialise(false), 1) << proxy.GetLastError();
    const std::string printed = StderrOf([&] { opened = proxy.OpenOutputDriver(1); });
    release.set_value();
    ASSERT_TRUE(backend.WaitForFont(std::chrono::seconds(10)));
    backend.OnPass(); // the font arrives: the device still cannot sound, and the reason stays
    if (opened == 1) {
        proxy.ShutDown();
        GTEST_SKIP() << "this machine has audio: the synthesizer opened";
    }
    EXPECT_EQ(printed, "");
    const std::string reason = proxy.GetLastError();
    EXPECT_TRUE(Contains(reason, "No audio output could be opened.")) << reason;
    EXPECT_TRUE(Contains(reason, "PulseAudio: ")) << reason;
    EXPECT_TRUE(Contains(reason, "ALSA: ")) << reason;
    EXPECT_EQ(engine.GetDevices().GetOutDriver(1)->GetProblem(), reason);
    const SSynthState state = backend.GetState();
    EXPECT_FALSE(state.open);
    EXPECT_EQ(state.problem, reason);
    SSynthState asked;
    ASSERT_TRUE(GetSynthState(backend, asked));
    EXPECT_EQ(asked.problem, reason);

    // Verbose, the libraries' own lines are printed as well.
    SVerbose verbose(true);
    const std::string loud = StderrOf([&] { opened = proxy.OpenOutputDriver(1); });
    EXPECT_EQ(opened, 0);
    EXPECT_TRUE(Contains(loud, "FluidSynth: ")) << loud;
    proxy.ShutDown();
}
#endif
