#include "devices/synth/SynthBackend.h"
#include "devices/synth/SynthCore.h"
#include "devices/synth/SynthLoader.h"
#include "devices/synth/SynthQueue.h"

#include "devices/jack/JackFrames.h"

#include "devices/virtual/VirtualBackend.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "files/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <future>
#include <iterator>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace {

const char* const kFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

// Random notes and controllers at non-decreasing frames below `frames`.
std::vector<SSynthEvent> RandomEvents(std::mt19937& random, int64_t frames, int count)
{
    std::vector<int64_t> at;
    for (int i = 0; i < count; ++i)
        at.push_back(static_cast<int64_t>(random() % static_cast<uint32_t>(frames)));
    std::sort(at.begin(), at.end());
    std::vector<SSynthEvent> events;
    for (int64_t frame : at) {
        const auto key = static_cast<uint8_t>(36 + random() % 48);
        const auto kind = random() % 4;
        const uint8_t status = kind == 0 ? 0xB0 : kind == 1 ? 0x80 : 0x90;
        events.push_back({frame, 3, {static_cast<uint8_t>(status | (random() % 3)), key, 90}});
    }
    return events;
}

// Renders events over frames in cycles of random sizes (or one cycle when maxCycle is 0).
std::vector<float> Render(const std::vector<SSynthEvent>& events, int64_t frames,
                          std::mt19937* random, uint32_t maxCycle)
{
    CSynthCore core(48000);
    std::string error;
    EXPECT_TRUE(core.Load(kFont, error)) << error;
    CSynthEventList list;
    for (const SSynthEvent& event : events)
        list.Push(event);
    std::vector<float> left(static_cast<size_t>(frames));
    std::vector<float> right(static_cast<size_t>(frames));
    int64_t done = 0;
    while (done < frames) {
        uint32_t cycle = maxCycle == 0 ? static_cast<uint32_t>(frames) : 1 + (*random)() % maxCycle;
        cycle = static_cast<uint32_t>(std::min<int64_t>(cycle, frames - done));
        SplitRender(core, list, left.data() + done, right.data() + done, cycle, done);
        done += cycle;
    }
    left.insert(left.end(), right.begin(), right.end());
    return left;
}

} // namespace

TEST(SynthRender, TheSameEventsSoundTheSameWhateverTheCycleSizes)
{
    std::mt19937 random(4711);
    constexpr int64_t kFrames = 48000;
    for (int round = 0; round < 3; ++round) {
        const std::vector<SSynthEvent> events = RandomEvents(random, kFrames, 60);
        const std::vector<float> whole = Render(events, kFrames, nullptr, 0);
        const std::vector<float> split = Render(events, kFrames, &random, round == 0 ? 7 : 1500);
        ASSERT_EQ(whole.size(), split.size());
        EXPECT_TRUE(whole == split) << "round " << round;
        EXPECT_TRUE(std::any_of(whole.begin(), whole.end(), [](float v) { return v != 0.0f; }));
    }
}

TEST(SynthBackend, ASynthWithoutItsFontIsListedFailedAndTheOtherDevicesWork)
{
    CTempFolder folder;
    folder.Write("junk.sf2", std::vector<uint8_t>(1000, 0x33));
    const struct {
        std::string font;
        const char* reason;
    } cases[] = {{folder / "missing.sf2", "cannot be read"},
                 {folder / "junk.sf2", "is damaged or not a SoundFont"}};
    for (const auto& c : cases) {
        auto owned = std::make_unique<CVirtualBackend>(std::vector<std::string>{"Out A"},
                                                       std::vector<std::string>{"In A"});
        CVirtualBackend& inner = *owned;
        SSynthOptions options;
        options.soundFont = c.font;
        CSynthBackend backend(std::move(owned), options);
        CMidiEngineProxy proxy;
        CMidiEngine engine(backend, proxy.GetMailbox());
        proxy.AttachEngine(&engine);
        ASSERT_EQ(proxy.Initialise(false), 1) << proxy.GetLastError();
        ASSERT_TRUE(backend.WaitForFont(std::chrono::seconds(10)));
        EXPECT_EQ(backend.GetOutputNames(), (std::vector<std::string>{"Out A", kSynthDeviceName}));
        EXPECT_EQ(backend.GetInputNames(), std::vector<std::string>{"In A"});
        EXPECT_EQ(backend.GetSynthIndex(), 1);

        EXPECT_EQ(proxy.OpenOutputDriver(1), 0);
        EXPECT_NE(proxy.GetLastError().find(c.reason), std::string::npos) << proxy.GetLastError();
        EXPECT_NE(proxy.GetLastError().find(c.font), std::string::npos);
        EXPECT_FALSE(engine.GetDevices().GetOutDriver(1)->IsOpen());
        CMidiSendBuffer buffer;
        const uint8_t note[] = {0x90, 60, 100};
        ASSERT_TRUE(buffer.Pack(1000, note, 3));
        std::string error;
        EXPECT_EQ(backend.PlayBuffer(1, buffer, error), 0);
        EXPECT_TRUE(backend.IsOutputIdle(1));

        ASSERT_EQ(proxy.OpenOutputDriver(0), 1) << proxy.GetLastError();
        EXPECT_EQ(backend.PlayBuffer(0, buffer, error), 1) << error;
        ASSERT_EQ(inner.GetSent(0).size(), 1u);
        EXPECT_EQ(inner.GetSent(0)[0].bytes[0], 0x90);
        proxy.ShutDown();
    }
}

namespace {

constexpr uint32_t kRate = 48000;

// The virtual backend with audio in its own cycle, rendered when the test says, as JACK's would.
class CAudioVirtualBackend : public CVirtualBackend, public CBackendAudio {
public:
    CAudioVirtualBackend() : CVirtualBackend({"Out A"}, {}) {}
    CBackendAudio* GetAudio() override { return this; }
    int AttachAudio(CAudioRenderer* renderer, std::string&) override
    {
        m_renderer = renderer;
        return 1;
    }
    void DetachAudio() override { m_renderer = nullptr; }
    uint32_t GetAudioRate() const override { return kRate; }
    int64_t AudioFrameOf(int64_t time) const override
    {
        return jackframes::TimeToFrame(time, kRate);
    }
    // One cycle of frames from firstFrame; the left channel, or nothing when no one renders.
    std::vector<float> Cycle(int64_t firstFrame, uint32_t frames)
    {
        std::vector<float> left(frames, 1.0f);
        std::vector<float> right(frames, 1.0f);
        if (m_renderer == nullptr) return {};
        m_renderer->RenderAudio(left.data(), right.data(), frames, firstFrame);
        return left;
    }

private:
    CAudioRenderer* m_renderer = nullptr;
};

// A loader held up until the test opens its gate; it says when its first load has started and
// remembers the thread that load ran on (a failed font is loaded again when the device opens).
struct SGatedLoad {
    std::promise<void> gate;
    std::shared_future<void> opened = gate.get_future().share();
    std::promise<void> started;
    std::once_flag first;
    std::thread::id thread;
    bool fail = false;

    CSynthBackend::LoadFn Fn()
    {
        return [this](const std::string& path, uint32_t rate, std::string& error) {
            std::call_once(first, [this] {
                thread = std::this_thread::get_id();
                started.set_value();
            });
            opened.wait();
            if (fail) {
                error = "The SoundFont " + path + " is damaged or not a SoundFont.";
                return std::unique_ptr<CSynthCore>();
            }
            return LoadSynthCore(kFont, rate, error);
        };
    }
};

// Runs open (an engine command on this thread) but gives up after a while, so a command that
// waits for the gated load fails the test instead of hanging it.
int OpenWithoutWaitingForTheFont(CMidiEngineProxy& proxy, int32_t index, SGatedLoad& load)
{
    auto opening = std::async(std::launch::async, [&] { return proxy.OpenOutputDriver(index); });
    if (opening.wait_for(std::chrono::seconds(5)) == std::future_status::ready)
        return opening.get();
    load.gate.set_value();
    ADD_FAILURE() << "opening the synthesizer waited for its font";
    return opening.get();
}

SMidiOutRecord Record(int64_t frame, std::array<uint8_t, 3> bytes, uint8_t length = 3)
{
    return {jackframes::FramesToTime(frame, kRate), length, bytes};
}

// The strings' note of the tests, rendered from frame 4800 (when program 48 is chosen) on a
// synthesizer that has had its font from the start: the left channel.
std::vector<float> ReferenceFrom4800(size_t frames)
{
    std::string error;
    CSynthCore reference(kRate);
    EXPECT_TRUE(reference.Load(kFont, error)) << error;
    reference.SetGain(SynthGain(SSynthOptions::kDefaultVolume));
    CSynthEventList events;
    events.Push({4800, 2, {0xC0, 48, 0}});
    events.Push({9600, 3, {0x90, 67, 110}});
    events.Push({19200, 3, {0x80, 67, 0}});
    std::vector<float> left(frames);
    std::vector<float> right(frames);
    SplitRender(reference, events, left.data(), right.data(), static_cast<uint32_t>(frames), 4800);
    return left;
}

void Play(CSynthBackend& backend, const std::vector<SMidiOutRecord>& records)
{
    CMidiSendBuffer buffer;
    for (const SMidiOutRecord& record : records)
        ASSERT_TRUE(buffer.Pack(record.time, record.bytes.data(), record.length));
    std::string error;
    ASSERT_EQ(backend.PlayBuffer(backend.GetSynthIndex(), buffer, error), 1) << error;
}

} // namespace

// Opening the synthesizer while its font loads never waits for the load, which runs on a thread
// of its own; when the font arrives, the messages that came due meanwhile set up the channels
// (the late notes are skipped and counted late) and the song sounds exactly as it would have
// with the font there from the start.
TEST(SynthBackend, TheFontLoadsOffTheEngineThreadAndTheSongCatchesUpWhenItArrives)
{
    SGatedLoad load;
    auto owned = std::make_unique<CAudioVirtualBackend>();
    CAudioVirtualBackend& audio = *owned;
    CSynthBackend backend(std::move(owned), {}, load.Fn());
    CMidiEngineProxy proxy;
    CMidiEngine engine(backend, proxy.GetMailbox());
    proxy.AttachEngine(&engine);
    ASSERT_EQ(proxy.Initialise(false), 1) << proxy.GetLastError();
    const int32_t synth = backend.GetSynthIndex();

    ASSERT_EQ(OpenWithoutWaitingForTheFont(proxy, synth, load), 1) << proxy.GetLastError();
    // The thread id is only written by then, and a load that never started fails here.
    ASSERT_EQ(load.started.get_future().wait_for(std::chrono::seconds(10)),
              std::future_status::ready);
    EXPECT_NE(load.thread, std::thread::id());
    EXPECT_NE(load.thread, std::this_thread::get_id());
    // Due while loading: a program (strings), a note that is then too late, its end.
    Play(backend,
         {Record(0, {0xC0, 48, 0}, 2), Record(100, {0x90, 60, 100}), Record(2000, {0x80, 60, 0})});
    const std::vector<float> waiting = audio.Cycle(0, 4800);
    ASSERT_EQ(waiting.size(), 4800u);
    EXPECT_TRUE(std::all_of(waiting.begin(), waiting.end(), [](float v) { return v == 0.0f; }));

    load.gate.set_value();
    ASSERT_TRUE(backend.WaitForFont(std::chrono::seconds(10)));
    backend.OnPass(); // the engine thread hands the font to the open device
    Play(backend, {Record(9600, {0x90, 67, 110}), Record(19200, {0x80, 67, 0})});
    std::vector<float> heard;
    for (int64_t first = 4800; first < 24000; first += 4800) {
        const std::vector<float> cycle = audio.Cycle(first, 4800);
        heard.insert(heard.end(), cycle.begin(), cycle.end());
    }
    EXPECT_EQ(backend.GetOutputStats().late, 1);

    // The same song on a synthesizer that had its font from the start, from the same frame.
    EXPECT_TRUE(heard == ReferenceFrom4800(heard.size()));
    // The reverb keeps a tiny offset in its lines: silence is below 16-bit resolution.
    const auto quiet = [](float v) { return std::fabs(v) < 1.0f / 65536.0f; };
    EXPECT_FALSE(std::all_of(heard.begin(), heard.end(), quiet));
    EXPECT_TRUE(std::all_of(heard.begin(), heard.begin() + 4800, quiet))
        << "the late note stays silent";
    proxy.ShutDown();
}

// A font that fails while the device is already open (it was still loading) closes the device
// with the reason, as a vanished port would; afterwards opening fails at once with that reason,
// and the other devices carry on.
TEST(SynthBackend, AFontThatFailsAfterTheDeviceOpenedClosesItWithTheReason)
{
    SGatedLoad load;
    load.fail = true;
    CSynthBackend backend(std::make_unique<CAudioVirtualBackend>(), {}, load.Fn());
    CMidiEngineProxy proxy;
    CMidiEngine engine(backend, proxy.GetMailbox());
    proxy.AttachEngine(&engine);
    ASSERT_EQ(proxy.Initialise(false), 1) << proxy.GetLastError();
    const int32_t synth = backend.GetSynthIndex();
    ASSERT_EQ(proxy.OpenOutputDriver(0), 1) << proxy.GetLastError();
    ASSERT_EQ(OpenWithoutWaitingForTheFont(proxy, synth, load), 1) << proxy.GetLastError();
    EXPECT_TRUE(engine.GetDevices().GetOutDriver(synth)->IsOpen());

    load.gate.set_value();
    ASSERT_TRUE(backend.WaitForFont(std::chrono::seconds(10)));
    engine.TimeoutPass();
    EXPECT_FALSE(engine.GetDevices().GetOutDriver(synth)->IsOpen());
    EXPECT_TRUE(engine.GetDevices().GetOutDriver(0)->IsOpen());
    EXPECT_NE(engine.GetDevices().GetLastFault().find("is damaged or not a SoundFont"),
              std::string::npos)
        << engine.GetDevices().GetLastFault();
    EXPECT_EQ(proxy.OpenOutputDriver(synth), 0);
    EXPECT_NE(proxy.GetLastError().find("is damaged or not a SoundFont"), std::string::npos);
    proxy.ShutDown();
}

namespace {

// The strings' note as the open device plays it (program 48 from frame 0, the note from 9600 to
// 19200), heard from frame 4800 on, when the font `chosen` (none when empty) is chosen at 4800.
struct SHeardSong {
    std::vector<float> left;
    bool open = false; // the device was still open when the note came
    int64_t late = 0;  // messages the synthesizer applied late
    std::string font;  // the font the backend's options name at the end
};
SHeardSong SongWithFontChosenAt4800(const std::string& chosen)
{
    auto owned = std::make_unique<CAudioVirtualBackend>();
    CAudioVirtualBackend& audio = *owned;
    SSynthOptions options;
    options.soundFont = kFont;
    CSynthBackend backend(std::move(owned), options);
    CMidiEngineProxy proxy;
    CMidiEngine engine(backend, proxy.GetMailbox());
    proxy.AttachEngine(&engine);
    SHeardSong song;
    EXPECT_EQ(proxy.Initialise(false), 1) << proxy.GetLastError();
    EXPECT_TRUE(backend.WaitForFont(std::chrono::seconds(10)));
    const int32_t synth = backend.GetSynthIndex();
    EXPECT_EQ(proxy.OpenOutputDriver(synth), 1) << proxy.GetLastError();
    Play(backend, {Record(0, {0xC0, 48, 0}, 2)});
    audio.Cycle(0, 4800);
    if (!chosen.empty()) {
        options.soundFont = chosen;
        backend.SetOptions(options);
        EXPECT_TRUE(backend.WaitForFont(std::chrono::seconds(10)));
    }
    engine.TimeoutPass(); // hands a loaded font over, or reports a failed one
    song.open = engine.GetDevices().GetOutDriver(synth)->IsOpen();
    Play(backend, {Record(9600, {0x90, 67, 110}), Record(19200, {0x80, 67, 0})});
    for (int64_t first = 4800; first < 24000; first += 4800) {
        const std::vector<float> cycle = audio.Cycle(first, 4800);
        song.left.insert(song.left.end(), cycle.begin(), cycle.end());
    }
    backend.OnPass(); // the old synthesizer goes to the loader to be freed
    song.late = backend.GetOutputStats().late;
    song.font = backend.GetOptions().soundFont;
    proxy.ShutDown();
    return song;
}

} // namespace

// Another font chosen while the device plays takes over at a cycle's start, with the program the
// song chose on the old one: it sounds as a synthesizer with that font and program would.
TEST(SynthBackend, AnotherFontTakesOverInTheOpenDeviceWithTheSongsChannels)
{
    CTempFolder folder;
    std::ifstream original(kFont, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(original)),
                                     std::istreambuf_iterator<char>());
    folder.Write("copy.sf2", bytes);
    const SHeardSong song = SongWithFontChosenAt4800(folder / "copy.sf2");
    EXPECT_TRUE(song.open);
    EXPECT_TRUE(song.left == ReferenceFrom4800(song.left.size()));
    EXPECT_EQ(song.late, 0);
    EXPECT_EQ(song.font, folder / "copy.sf2");
}

// A damaged font chosen while the device plays leaves the working one playing, exactly as if
// nothing had been chosen; only a file that begins as a SoundFont is offered to the synthesizer.
TEST(SynthBackend, ADamagedReplacementFontLeavesTheWorkingOnePlaying)
{
    CTempFolder folder;
    const std::vector<uint8_t> header = {'R', 'I', 'F', 'F', 4, 0, 0, 0, 's', 'f', 'b', 'k'};
    folder.Write("damaged.sf2", header);
    folder.Write("sound.wav", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'});
    folder.Write("short.sf2", {'R', 'I', 'F', 'F'});
    for (const auto& [path, font] :
         std::vector<std::pair<std::string, bool>>{{kFont, true},
                                                   {folder / "damaged.sf2", true},
                                                   {folder / "sound.wav", false},
                                                   {folder / "short.sf2", false},
                                                   {folder / "missing.sf2", false}})
        EXPECT_EQ(IsSoundFontFile(path), font) << path;

    const SHeardSong kept = SongWithFontChosenAt4800("");
    EXPECT_GT(*std::max_element(kept.left.begin(), kept.left.end()), 0.01f);
    const SHeardSong damaged = SongWithFontChosenAt4800(folder / "damaged.sf2");
    EXPECT_TRUE(damaged.open);
    EXPECT_TRUE(damaged.left == kept.left);
}
