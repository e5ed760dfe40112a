#include "devices/synth/SynthBackend.h"
#include "devices/synth/SynthCore.h"
#include "devices/synth/SynthQueue.h"

#include "devices/virtual/VirtualBackend.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "files/TempFolder.h"

#include <gtest/gtest.h>

#include <random>
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
