// The editing algorithms on their own: what each modifier makes of a selection.

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <vector>

#include "editing/Modifiers.h"
#include "editing/RandomGenerator.h"
#include "editing/Transpose.h"
#include "editing/ValueModifiers.h"
#include "model/HarmonicScale.h"

namespace {

CNote N(tick start, tick end, uint8_t pitch = 60, uint8_t velocity = 100, uint8_t off = 64)
{
    return CNote(start, end, pitch, velocity, off);
}

CMidiEvent Cc(tick time, uint8_t value)
{
    return CMidiEvent(time, kKindControlChange, 7, value);
}

template <class TList, class T> TList ListOf(std::initializer_list<T> items)
{
    TList list;
    for (const T& item : items)
        list.Append(item);
    return list;
}

std::vector<CNote> Notes(const CNoteList& list)
{
    return {list.begin(), list.end()};
}

std::vector<CMidiEvent> Events(const CEventList& list)
{
    return {list.begin(), list.end()};
}

std::vector<CNote> ModifiedNotes(CModifier& modifier, std::initializer_list<CNote> notes,
                                 const CNoteArea& area = {0, 0, 1000, 128})
{
    CNoteList out;
    modifier.ModifyNotes(ListOf<CNoteList>(notes), area, out);
    return Notes(out);
}

std::vector<CMidiEvent> ModifiedEvents(CModifier& modifier, std::initializer_list<CMidiEvent> ev,
                                       tick from = 0, tick to = 1000)
{
    CEventList out;
    modifier.ModifyEvents(ListOf<CEventList>(ev), from, to, out);
    return Events(out);
}

} // namespace

TEST(Modifiers, QuantizeNotesRoundsOnTheSongTimelineAndStaysInTheArea)
{
    struct Case {
        const char* what;
        tick offset;
        tick startGrid, endGrid;
        CNoteArea area;
        CNote note;
        CNote expected;
    };
    const Case cases[] = {
        {"grids off", 0, 0, 0, {0, 0, 400, 128}, N(13, 37, 61, 90, 3), N(13, 37, 61, 90, 3)},
        {"start down, end up", 0, 24, 48, {0, 0, 400, 128}, N(13, 50), N(0, 96)},
        {"start before the left edge", 0, 24, 0, {10, 0, 400, 128}, N(12, 30), N(10, 30)},
        {"end after the right edge", 0, 0, 96, {0, 0, 200, 128}, N(150, 199), N(150, 200)},
        {"edges given right to left", 0, 24, 96, {200, 0, 10, 128}, N(12, 199), N(10, 200)},
        {"clip at 100", 100, 24, 24, {0, 0, 300, 128}, N(30, 50), N(20, 68)},
        {"clip at 100, grid point", 100, 96, 96, {0, 0, 300, 128}, N(92, 150), N(92, 188)},
        // A selected note wholly outside the area keeps one tick, inside the area where it can.
        {"wholly left of the area", 0, 96, 0, {50, 0, 400, 128}, N(10, 40), N(50, 51)},
        {"wholly right of the area", 0, 0, 96, {0, 0, 200, 128}, N(250, 300), N(199, 200)},
        {"wholly left, clip at 100", 100, 24, 24, {50, 0, 400, 128}, N(10, 40), N(50, 51)},
        {"area of no width", 0, 24, 24, {50, 0, 50, 128}, N(10, 40), N(50, 51)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CModifierQuantizeNotes quantize(c.offset, CNoteValue(c.startGrid), CNoteValue(c.endGrid));
        EXPECT_EQ(ModifiedNotes(quantize, {c.note}, c.area), std::vector<CNote>{c.expected});
    }
}

TEST(Modifiers, SplitNotesCutsPiecesOfTheLengthAndKeepsTheOrder)
{
    CModifierSplitNotes split48(48);
    EXPECT_EQ(
        ModifiedNotes(split48, {N(0, 100, 60, 90, 7)}),
        (std::vector<CNote>{N(0, 48, 60, 90, 7), N(48, 96, 60, 90, 7), N(96, 100, 60, 90, 7)}));
    EXPECT_EQ(ModifiedNotes(split48, {N(5, 53)}), std::vector<CNote>{N(5, 53)});
    // A later note sorts between the pieces of a longer one.
    EXPECT_EQ(ModifiedNotes(split48, {N(0, 100), N(10, 20, 62)}),
              (std::vector<CNote>{N(0, 48), N(10, 20, 62), N(48, 96), N(96, 100)}));
    CModifierSplitNotes none(0);
    EXPECT_EQ(ModifiedNotes(none, {N(0, 1000), N(3, 4)}),
              (std::vector<CNote>{N(0, 1000), N(3, 4)}));
}

TEST(Modifiers, RemoveOverlapsLeavesNoTwoNotesOfAPitchSoundingTogether)
{
    CModifierRemoveOverlaps remove;
    struct Case {
        std::initializer_list<CNote> in;
        std::vector<CNote> out;
    };
    const Case cases[] = {
        {{N(0, 100), N(50, 150)}, {N(0, 100), N(100, 150)}},
        {{N(0, 100), N(20, 80)}, {N(0, 100)}},
        {{N(0, 100), N(50, 150, 61)}, {N(0, 100), N(50, 150, 61)}},
        {{N(0, 50), N(0, 100)}, {N(0, 50), N(50, 100)}},
        {{N(0, 100), N(100, 150)}, {N(0, 100), N(100, 150)}},
        {{N(0, 10), N(5, 40), N(20, 30)}, {N(0, 10), N(10, 40)}},
        // Past the latest end of the pitch, not only past the note holding the start.
        {{N(0, 100), N(50, 150), N(60, 200), N(70, 90, 61)},
         {N(0, 100), N(70, 90, 61), N(100, 150), N(150, 200)}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ModifiedNotes(remove, c.in), c.out);
}

TEST(Modifiers, QuantizeEventsAndSuppressRedundantEvents)
{
    CModifierQuantizeEvents quantize(100, CNoteValue(48));
    // 100 + 10 = 110 rounds to 96, i.e. -4 in the clip: clamped to the range's start 5.
    EXPECT_EQ(ModifiedEvents(quantize, {Cc(10, 1), Cc(60, 2)}, 5, 500),
              (std::vector<CMidiEvent>{Cc(5, 1), Cc(44, 2)}));

    CModifierSuppressRedundant suppress;
    EXPECT_EQ(ModifiedEvents(suppress, {Cc(0, 10), Cc(1, 10), Cc(2, 20), Cc(3, 20), Cc(4, 10)}),
              (std::vector<CMidiEvent>{Cc(0, 10), Cc(2, 20), Cc(4, 10)}));
    EXPECT_EQ(ModifiedEvents(suppress, {Cc(0, 10), Cc(5, 20), Cc(5, 30)}),
              (std::vector<CMidiEvent>{Cc(0, 10), Cc(5, 30)}));
    // The event that wins a tick is compared with what stays before it.
    EXPECT_EQ(ModifiedEvents(suppress, {Cc(0, 10), Cc(5, 20), Cc(5, 10), Cc(6, 10)}),
              (std::vector<CMidiEvent>{Cc(0, 10)}));
    const CMidiEvent bendA(0, kKindPitchBender, 0, 64), bendB(9, kKindPitchBender, 1, 64);
    EXPECT_EQ(ModifiedEvents(suppress, {bendA, bendB}), (std::vector<CMidiEvent>{bendA, bendB}));
}

TEST(Modifiers, PercentScalingIsExactAndClampedPerValueKind)
{
    struct Case {
        int32_t value, percent, lowest, expected;
    };
    const Case cases[] = {{100, 50, 1, 127}, {100, -25, 1, 75}, {100, -29, 0, 71},
                          {100, 10, 0, 110}, {1, -50, 1, 1},    {1, -50, 0, 0},
                          {127, 1, 0, 127},  {0, 50, 0, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(ScaledValue(c.value, c.percent, c.lowest), c.expected)
            << c.value << " by " << c.percent;

    CModifierScaleVelocities on(-50);
    CModifierScaleOffVelocities off(-50);
    EXPECT_EQ(ModifiedNotes(on, {N(0, 10, 60, 1, 1)}), std::vector<CNote>{N(0, 10, 60, 1, 1)});
    EXPECT_EQ(ModifiedNotes(off, {N(0, 10, 60, 1, 1)}), std::vector<CNote>{N(0, 10, 60, 1, 0)});
    CModifierScaleEvents up(50), down(-25);
    EXPECT_EQ(up.GetName(), "Increase Event Values");
    EXPECT_EQ(down.GetName(), "Decrease Event Values");
    // Program changes keep their value in data1; the bender scales its coarse byte.
    EXPECT_EQ(ModifiedEvents(down, {CMidiEvent(0, kKindProgramChange, 100, 0),
                                    CMidiEvent(1, kKindPitchBender, 5, 64)}),
              (std::vector<CMidiEvent>{CMidiEvent(0, kKindProgramChange, 75, 0),
                                       CMidiEvent(1, kKindPitchBender, 5, 48)}));
}

TEST(Modifiers, ValueCurvesFollowTheirFormulasOverTheRange)
{
    struct Case {
        int id;
        tick a, b, t;
        int32_t expected;
    };
    const Case cases[] = {
        {kCmdModifierConst64, 0, 10, 99, 64},
        {kCmdModifierLineUp, 0, 128, 0, 0},
        {kCmdModifierLineUp, 0, 128, 64, 64},
        {kCmdModifierLineUp, 0, 128, 128, 128},
        {kCmdModifierLineDown, 0, 128, 0, 127},
        {kCmdModifierLineDown, 0, 128, 64, 63},
        {kCmdModifierLineUp, 5, 5, 5, 0},
        {kCmdModifierLineDown, 5, 5, 5, 0},
        {kCmdModifierSine, 100, 200, 100, 0},
        {kCmdModifierSine, 100, 200, 200, 127},
        {kCmdModifierSine, 0, 300, 100, 63},
        {kCmdModifierCosine, 100, 200, 100, 127},
        {kCmdModifierCosine, 100, 200, 200, 0},
        {kCmdModifierNegativeSine, 0, 96, 0, 127},
        {kCmdModifierNegativeSine, 0, 96, 96, 0},
        {kCmdModifierNegativeCos, 0, 96, 0, 0},
        // A single-point range holds the curve's starting value.
        {kCmdModifierSine, 7, 7, 7, 0},
        {kCmdModifierCosine, 7, 7, 9, 127},
        {kCmdModifierNegativeSine, 7, 7, 7, 127},
        {kCmdModifierNegativeCos, 7, 7, 7, 0},
    };
    for (const Case& c : cases) {
        const std::unique_ptr<CValueCurve> curve = MakeModifierCurve(c.id, c.a, c.b);
        ASSERT_NE(curve, nullptr);
        EXPECT_EQ(curve->ValueAt(c.t), c.expected) << ModifierCommandText(c.id) << " at " << c.t;
    }
    EXPECT_EQ(MakeModifierCurve(kCmdModifierConst0 - 1, 0, 1), nullptr);
    EXPECT_EQ(CValueCurveDrawnLine(0, 10, 100, 110).ValueAt(50), 60);
    EXPECT_EQ(CValueCurveDrawnLine(20, 10, 20, 110).ValueAt(20), 110);
    // Far outside the range the value stays a defined (clampable) number.
    EXPECT_EQ(CValueCurveLine(0, 1, true).ValueAt(INT32_MAX), 1000000000);
}

TEST(Modifiers, CurveAppliersClampVelocitiesAndEventValuesDifferently)
{
    CModifierCurveVelocities on(MakeModifierCurve(kCmdModifierConst0, 0, 10));
    CModifierCurveOffVelocities off(MakeModifierCurve(kCmdModifierLineUp, 0, 128));
    CModifierCurveEvents events(MakeModifierCurve(kCmdModifierLineUp, 0, 128));
    EXPECT_EQ(on.GetName(), "Empty Modifier");
    EXPECT_EQ(ModifiedNotes(on, {N(0, 10, 60, 100, 9)}), std::vector<CNote>{N(0, 10, 60, 1, 9)});
    EXPECT_EQ(ModifiedNotes(off, {N(0, 9), N(128, 130)}),
              (std::vector<CNote>{N(0, 9, 60, 100, 1), N(128, 130, 60, 100, 127)}));
    EXPECT_EQ(ModifiedEvents(events, {Cc(0, 5), Cc(64, 5), Cc(128, 5)}),
              (std::vector<CMidiEvent>{Cc(0, 0), Cc(64, 64), Cc(128, 127)}));
}

TEST(Modifiers, TranspositionSnapsUpToTheScaleAndRandomDrawsInsideThePitchRange)
{
    const CHarmonicScale dMajor(2, 1);
    CModifierTransposeToScale snap(dMajor);
    EXPECT_EQ(ModifiedNotes(snap, {N(0, 9, 64), N(1, 9, 66), N(2, 9, 65)}),
              (std::vector<CNote>{N(0, 9, 65), N(1, 9, 67), N(2, 9, 65)}));

    CRandomGenerator random(1234);
    CModifierTransposeRandom draw(dMajor, random);
    CNoteList notes;
    for (tick t = 0; t < 400; ++t)
        notes.Append(N(t, t + 1, 0));
    CNoteList out;
    draw.ModifyNotes(notes, {0, 72, 400, 60}, out);
    std::vector<int> seen(128, 0);
    for (const CNote& note : out) {
        EXPECT_TRUE(dMajor.IsInScale(note.m_pitch));
        ++seen[note.m_pitch];
    }
    // What 60..71 snap to turns up, and only that (71 is outside D major and goes up to 72).
    const std::vector<int> expected{60, 62, 63, 65, 67, 69, 70, 72};
    for (int pitch = 0; pitch < 128; ++pitch)
        EXPECT_EQ(seen[pitch] > 0, std::count(expected.begin(), expected.end(), pitch) == 1)
            << pitch;
    // Equal pitch edges have nothing to draw from.
    draw.ModifyNotes(notes, {0, 64, 400, 64}, out);
    EXPECT_TRUE(out.SameAs(notes));

    // The area: edges snapped, joined with the notes' rectangle.
    EXPECT_EQ(TransposedArea({96, 66, 0, 64}, ListOf<CNoteList>({N(10, 200, 70)}), dMajor),
              (CNoteArea{0, 65, 200, 71}));
    EXPECT_EQ(KeyChoiceText(2, 0), "-");
    EXPECT_EQ(KeyChoiceText(2, 1), "D");
}
