#include "devices/jack/JackFrames.h"

#include <gtest/gtest.h>

#include <random>

using namespace jackframes;

TEST(JackFrames, StampsMapToExactFramesAndTheCounterExtendsAcrossItsWrap)
{
    std::mt19937_64 random(42);
    for (uint32_t rate : {44100u, 48000u, 96000u, 192000u}) {
        for (int i = 0; i < 2000; ++i) {
            // Up to about a year of frames: no overflow in the scaling.
            const int64_t frame = static_cast<int64_t>(random() % (int64_t{1} << 41));
            const int64_t time = FramesToTime(frame, rate);
            ASSERT_EQ(TimeToFrame(time, rate), frame) << rate;
            // Every time inside a frame's first half maps back to it; the clock never decreases.
            ASSERT_LE(time, FramesToTime(frame + 1, rate));
        }
    }
    EXPECT_EQ(FramesToTime(48000, 48000), 10000000);
    EXPECT_EQ(TimeToFrame(52083, 48000), 250); // one tick at 120 BPM: 249.998 frames

    EXPECT_EQ(Unwrap(0xFFFFFF00LL, 0x10u), 0x100000010LL);
    EXPECT_EQ(Unwrap(0x100000010LL, 0xFFFFFFF0u), 0xFFFFFFF0LL) << "slightly earlier";
    EXPECT_EQ(Unwrap((int64_t{5} << 32) + 7, 9u), (int64_t{5} << 32) + 9);
}

TEST(JackFrames, PlacementKeepsOffsetsInsideTheCycleAndNeverGoingBack)
{
    const struct {
        int64_t frame;
        uint32_t minOffset;
        SPlacement expected;
    } cases[] = {
        {1000, 0, {true, false, 0}},    // first frame of the cycle
        {1255, 0, {true, false, 255}},  // last frame
        {1256, 0, {false, false, 0}},   // next cycle: kept
        {990, 0, {true, true, 0}},      // passed: at once, late
        {990, 40, {true, true, 40}},    // passed, after an earlier one
        {1010, 40, {true, false, 40}},  // never before the previous offset
        {1100, 40, {true, false, 100}}, // on its frame
    };
    for (const auto& c : cases) {
        const SPlacement placed = Place(c.frame, 1000, 256, c.minOffset);
        EXPECT_EQ(placed.due, c.expected.due) << c.frame;
        EXPECT_EQ(placed.late, c.expected.late) << c.frame;
        if (placed.due) {
            EXPECT_EQ(placed.offset, c.expected.offset) << c.frame;
        }
    }
}
