#include "model/HarmonicScale.h"
#include "model/Errors.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

namespace {

constexpr uint16_t kNone = 0;
constexpr uint16_t kMajor = 1;

std::set<int> PitchClassesIn(const CHarmonicScale& scale)
{
    std::set<int> classes;
    for (int pitch = 0; pitch < 12; ++pitch)
        if (scale.IsInScale(pitch)) classes.insert(pitch);
    return classes;
}

} // namespace

TEST(HarmonicScale, ModeAndKeyNamesAreLookedUpWithCheckedIndices)
{
    ASSERT_EQ(CHarmonicScale::GetModeCount(), 5);
    EXPECT_EQ(CHarmonicScale::GetModeName(0), "None");
    EXPECT_EQ(CHarmonicScale::GetModeName(4), "Minor - Melodic");
    EXPECT_THROW(CHarmonicScale::GetModeName(5), CInvalidArgument);
    EXPECT_THROW(CHarmonicScale::GetModeName(-1), CInvalidArgument);

    EXPECT_EQ(CHarmonicScale::GetKeyName(0), "C");
    EXPECT_EQ(CHarmonicScale::GetKeyName(11), "H");
    EXPECT_THROW(CHarmonicScale::GetKeyName(12), CInvalidArgument);
}

TEST(HarmonicScale, KeyOrModeOutsideTheTablesIsRejected)
{
    CHarmonicScale scale(3, kMajor);
    EXPECT_THROW(scale.SetKey(12), CInvalidArgument);
    EXPECT_THROW(scale.SetMode(5), CInvalidArgument);
    EXPECT_THROW(scale.SetMode(0xFFFF), CInvalidArgument);
    EXPECT_EQ(scale.GetKey(), 3);
    EXPECT_EQ(scale.GetMode(), kMajor);
    EXPECT_THROW(CHarmonicScale(0, 9), CInvalidArgument);

    const CHarmonicScale fresh;
    EXPECT_EQ(fresh.GetKey(), 0);
    EXPECT_EQ(fresh.GetMode(), kNone);
}

TEST(HarmonicScale, MembershipAddsTheKeyToThePitch)
{
    EXPECT_EQ(PitchClassesIn(CHarmonicScale(0, kMajor)), (std::set<int>{0, 2, 4, 5, 7, 9, 11}));
    EXPECT_EQ(PitchClassesIn(CHarmonicScale(2, kMajor)), (std::set<int>{0, 2, 3, 5, 7, 9, 10}));
    EXPECT_EQ(PitchClassesIn(CHarmonicScale(0, 3)), (std::set<int>{0, 2, 3, 5, 7, 8, 11}));
    EXPECT_EQ(PitchClassesIn(CHarmonicScale(0, 2)), (std::set<int>{0, 2, 3, 5, 7, 8, 10}));
    EXPECT_EQ(PitchClassesIn(CHarmonicScale(0, 4)), (std::set<int>{0, 2, 3, 5, 7, 9, 11}));

    const CHarmonicScale cMajor(0, kMajor);
    EXPECT_TRUE(cMajor.IsInScale(127));
    EXPECT_FALSE(cMajor.IsInScale(-12));
    EXPECT_FALSE(cMajor.IsInScale(128 + 12));

    const CHarmonicScale& neutral = CHarmonicScale::Neutral();
    EXPECT_EQ(neutral.GetKey(), 0);
    EXPECT_EQ(neutral.GetMode(), kNone);
    for (int pitch = 0; pitch <= 127; ++pitch) {
        EXPECT_TRUE(neutral.IsInScale(pitch));
        EXPECT_EQ(neutral.Snap(pitch), pitch);
    }
    EXPECT_FALSE(neutral.IsInScale(128));
}

TEST(HarmonicScale, SnapGoesUpToTheScaleElseToTheHighestScalePitch)
{
    const CHarmonicScale dMajor(2, kMajor);
    EXPECT_EQ(dMajor.Snap(64), 65);
    EXPECT_EQ(dMajor.Snap(66), 67);
    EXPECT_EQ(dMajor.Snap(65), 65);

    // Key 6 major leaves 127 out, so the search turns down from there.
    const CHarmonicScale key6Major(6, kMajor);
    ASSERT_FALSE(key6Major.IsInScale(127));
    EXPECT_EQ(key6Major.Snap(127), 126);
    EXPECT_EQ(key6Major.Snap(500), 126);

    // Below 0 the search starts at 0.
    const CHarmonicScale key1Major(1, kMajor);
    ASSERT_FALSE(key1Major.IsInScale(0));
    EXPECT_EQ(key1Major.Snap(-40), 1);
}

TEST(HarmonicScale, StepsMoveToTheNeighbouringScalePitch)
{
    const CHarmonicScale cMajor(0, kMajor);
    EXPECT_EQ(cMajor.StepUp(64), 65);
    EXPECT_EQ(cMajor.StepDown(65), 64);
    EXPECT_EQ(cMajor.StepUp(65), 67);
    EXPECT_EQ(cMajor.StepDown(60), 59);
    EXPECT_EQ(cMajor.StepUp(61), 62); // from outside the scale

    // At the ends there is nowhere to go: the pitch stays on the last scale pitch.
    EXPECT_EQ(cMajor.StepUp(127), 127);
    EXPECT_EQ(cMajor.StepDown(0), 0);
    EXPECT_EQ(CHarmonicScale(6, kMajor).StepUp(126), 126);
    EXPECT_EQ(CHarmonicScale(1, kMajor).StepDown(1), 1);
}

TEST(HarmonicScale, OctavesSnapTheShiftedPitchWithinRange)
{
    const CHarmonicScale cMajor(0, kMajor);
    EXPECT_EQ(cMajor.OctaveUp(60), 72);
    EXPECT_EQ(cMajor.OctaveDown(72), 60);
    EXPECT_EQ(cMajor.OctaveUp(120), 127);
    EXPECT_EQ(cMajor.OctaveUp(127), 127);
    EXPECT_EQ(cMajor.OctaveDown(12), 0);
    EXPECT_EQ(cMajor.OctaveDown(5), 0);

    const CHarmonicScale dMajor(2, kMajor);
    EXPECT_EQ(dMajor.OctaveDown(76), 65); // 64 is outside, snaps up

    // With every tone in the scale an octave is exactly 12, clamped at the ends.
    const CHarmonicScale& neutral = CHarmonicScale::Neutral();
    EXPECT_EQ(neutral.OctaveUp(100), 112);
    EXPECT_EQ(neutral.OctaveUp(121), 127);
    EXPECT_EQ(neutral.OctaveDown(13), 1);
    EXPECT_EQ(neutral.OctaveDown(3), 0);
}

TEST(HarmonicScale, ArrayMovesChangeAllPitchesOrNone)
{
    const CHarmonicScale cMajor(0, kMajor);
    std::vector<uint8_t> pitches = {60, 64, 71};
    EXPECT_TRUE(cMajor.StepUpAll(pitches));
    EXPECT_EQ(pitches, (std::vector<uint8_t>{62, 65, 72}));
    EXPECT_TRUE(cMajor.StepDownAll(pitches));
    EXPECT_EQ(pitches, (std::vector<uint8_t>{60, 64, 71}));
    EXPECT_TRUE(cMajor.OctaveDownAll(pitches));
    EXPECT_EQ(pitches, (std::vector<uint8_t>{48, 52, 59}));

    // One pitch at the end of the range stops the whole move, wherever it stands.
    std::vector<uint8_t> top = {60, 127, 64};
    EXPECT_FALSE(cMajor.OctaveUpAll(top));
    EXPECT_FALSE(cMajor.StepUpAll(top));
    EXPECT_EQ(top, (std::vector<uint8_t>{60, 127, 64}));
    std::vector<uint8_t> bottom = {60, 0};
    EXPECT_FALSE(cMajor.StepDownAll(bottom));
    EXPECT_FALSE(cMajor.OctaveDownAll(bottom));
    EXPECT_EQ(bottom, (std::vector<uint8_t>{60, 0}));

    // A pitch whose "up" would land lower (127 outside the scale) counts as unable to move.
    const CHarmonicScale key6Major(6, kMajor);
    std::vector<uint8_t> outside = {100, 127};
    EXPECT_EQ(key6Major.StepUp(127), 126);
    EXPECT_FALSE(key6Major.StepUpAll(outside));
    EXPECT_FALSE(key6Major.OctaveUpAll(outside));
    EXPECT_EQ(outside, (std::vector<uint8_t>{100, 127}));

    std::vector<uint8_t> loose = {64, 66, 200};
    CHarmonicScale(2, kMajor).SnapAll(loose);
    EXPECT_EQ(loose, (std::vector<uint8_t>{65, 67, 127}));
}
