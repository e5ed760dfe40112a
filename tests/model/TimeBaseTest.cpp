#include <gtest/gtest.h>

#include <climits>

#include "model/TimeBase.h"

TEST(TimeBase, FormatsPositionsOneBased)
{
    const CTimeSignature fourFour;
    EXPECT_EQ(fourFour.FormatPosition(0), "1.1.01");
    EXPECT_EQ(fourFour.FormatPosition(95), "1.1.96");
    EXPECT_EQ(fourFour.FormatPosition(384), "2.1.01");
    EXPECT_EQ(fourFour.FormatPosition(383), "1.4.96");

    const CTimeSignature sixEight(6, 8);
    EXPECT_EQ(sixEight.GetTicksPerBeat(), 48);
    EXPECT_EQ(sixEight.GetTicksPerBar(), 288);
    EXPECT_EQ(sixEight.FormatPosition(47), "1.1.48");
    EXPECT_EQ(sixEight.FormatPosition(48), "1.2.01");
}

TEST(TimeBase, FormatsSignedLengths)
{
    const CTimeSignature fourFour;
    EXPECT_EQ(fourFour.FormatLength(0), "0.0.00");
    EXPECT_EQ(fourFour.FormatLength(96), "+0.1.00");
    EXPECT_EQ(fourFour.FormatLength(-400), "-1.0.16");
    EXPECT_EQ(CTimeSignature(3, 4).FormatLength(384), "+1.1.00");
    EXPECT_EQ(fourFour.FormatLength(INT32_MIN), "-5592405.1.32");
}

TEST(TimeBase, ParsesPositionsCappingBeatsAndTicks)
{
    const CTimeSignature fourFour;
    EXPECT_EQ(fourFour.ParsePosition("3"), 768);
    EXPECT_EQ(fourFour.ParsePosition("1.1.01"), 0);
    EXPECT_EQ(fourFour.ParsePosition("2.5.200"), 767);
    EXPECT_EQ(fourFour.ParsePosition("1.9.99"), 383);
    EXPECT_EQ(fourFour.ParsePosition("0.0.0"), 0);
    EXPECT_EQ(fourFour.ParsePosition(" \t2.1.01 \n"), 384);
    EXPECT_EQ(fourFour.ParsePosition("2.x.5"), 388);
    EXPECT_EQ(fourFour.ParsePosition("-3.2"), 96);
    // Blank text fails so that the caller keeps its value.
    EXPECT_FALSE(fourFour.ParsePosition(""));
    EXPECT_FALSE(fourFour.ParsePosition("   "));
    // A huge bar count saturates instead of wrapping.
    EXPECT_EQ(fourFour.ParsePosition("99999999999999999999"), INT32_MAX);
}

TEST(TimeBase, ParsesLengthsAsSignedMagnitudes)
{
    const CTimeSignature fourFour;
    EXPECT_EQ(fourFour.ParseLength("-1.0.16"), -400);
    EXPECT_EQ(fourFour.ParseLength("+0.1.00"), 96);
    EXPECT_EQ(fourFour.ParseLength("-0.0.16"), -16);
    EXPECT_EQ(fourFour.ParseLength("1.-2.-3"), 384 + 192 + 3);
    EXPECT_EQ(fourFour.ParseLength("0.7.0"), 288);
    EXPECT_EQ(fourFour.ParseLength("0.0.200"), 95);
    EXPECT_EQ(fourFour.ParseLength("-99999999999.0.0"), INT32_MIN);
    EXPECT_FALSE(fourFour.ParseLength(" "));
}

TEST(TimeBase, FormattedTimesParseBack)
{
    for (const CTimeSignature& sig : {CTimeSignature(), CTimeSignature(3, 4), CTimeSignature(6, 8),
                                      CTimeSignature(5, 2), CTimeSignature(7, 16)}) {
        for (tick t = -2000; t <= 2000; t += 7) {
            EXPECT_EQ(sig.ParseLength(sig.FormatLength(t)), t) << sig.GetNumerator() << "/" << t;
            if (t >= 0) {
                EXPECT_EQ(sig.ParsePosition(sig.FormatPosition(t)), t);
            }
        }
    }
}

TEST(TimeBase, DegenerateSignaturesNeverDivideByZero)
{
    for (const CTimeSignature& sig :
         {CTimeSignature(4, 0), CTimeSignature(4, 500), CTimeSignature(4, -4), CTimeSignature(0, 4),
          CTimeSignature(-1, 384), CTimeSignature(INT32_MAX, 1)}) {
        EXPECT_FALSE(sig.IsValid() && sig.GetTicksPerBar() <= 0);
        for (tick t : {0, 1, -1, 100, INT32_MAX, INT32_MIN}) {
            EXPECT_FALSE(sig.FormatPosition(t).empty());
            EXPECT_FALSE(sig.FormatLength(t).empty());
        }
        EXPECT_TRUE(sig.ParsePosition("3.3.3"));
        EXPECT_TRUE(sig.ParseLength("-3.3.3"));
    }
    const CTimeSignature zero(4, 0);
    EXPECT_FALSE(zero.IsValid());
    EXPECT_EQ(zero.GetTicksPerBeat(), 0);
    // Without beats everything stays in the tick field, so nothing is lost.
    EXPECT_EQ(zero.FormatPosition(100), "1.1.101");
    EXPECT_EQ(zero.ParsePosition("1.1.101"), 100);
    EXPECT_FALSE(CTimeSignature(0, 4).IsValid());
    // A copy recomputes its derived fields from numerator and denominator.
    CTimeSignature copy;
    copy = CTimeSignature(6, 8);
    EXPECT_EQ(copy.GetTicksPerBar(), 288);
    copy.Set(4, 0);
    EXPECT_EQ(copy.GetTicksPerBar(), 0);
}

TEST(TimeBase, TempoConvertsFromMicrosecondsPerQuarter)
{
    EXPECT_EQ(TempoFromMicrosPerQuarter(500000), 12000);
    EXPECT_EQ(TempoFromMicrosPerQuarter(0xFFFFFF), 357);
    EXPECT_EQ(TempoFromMicrosPerQuarter(0), kDefaultTempo);
    EXPECT_EQ(TempoFromMicrosPerQuarter(-5), kDefaultTempo);
    EXPECT_EQ(TempoFromMicrosPerQuarter(1), INT32_MAX);
    EXPECT_EQ(MicrosPerQuarterFromTempo(12000), 500000);
    EXPECT_EQ(MicrosPerQuarterFromTempo(0), 500000);
}

TEST(TimeBase, GridRoundingTiesGoUp)
{
    const CNoteValue grid(24);
    EXPECT_EQ(grid.RoundToGrid(12), 24);
    EXPECT_EQ(grid.RoundToGrid(11), 0);
    EXPECT_EQ(grid.RoundToGrid(36), 48);
    EXPECT_EQ(grid.RoundToGrid(48), 48);
    EXPECT_EQ(grid.FloorToGrid(47), 24);
    EXPECT_EQ(grid.CeilToGrid(25), 48);
    EXPECT_EQ(grid.CeilToGrid(24), 24);
    // Truncating division: negative times round toward zero.
    EXPECT_EQ(grid.FloorToGrid(-30), -24);
    // Off and unset grids leave times alone.
    EXPECT_EQ(CNoteValue(0).RoundToGrid(13), 13);
    EXPECT_EQ(CNoteValue(-1).CeilToGrid(13), 13);
    // No wrap-around near the end of the tick range.
    EXPECT_EQ(CNoteValue(384).CeilToGrid(INT32_MAX), INT32_MAX);
    EXPECT_EQ(CNoteValue(256).RoundToGrid(INT32_MAX), INT32_MAX);
    EXPECT_EQ(CNoteValue(384).RoundToGrid(INT32_MAX), INT32_MAX - 127);
}

TEST(TimeBase, NoteValueChoicesKeepTableOrderWithinBounds)
{
    const std::vector<CNoteValueEntry>& table = NoteValueTable();
    ASSERT_EQ(table.size(), 12u);
    EXPECT_EQ(table[3].m_ticks, 288);
    EXPECT_STREQ(table[3].m_shortName, "1/2 trp");
    EXPECT_STREQ(table[3].m_longName, "Half Triplet (1/2.)");
    EXPECT_STREQ(table[11].m_longName, "32nd Triplet (1/32.)");

    auto ticksOf = [](const std::vector<CNoteValueEntry>& entries) {
        std::vector<tick> ticks;
        for (const CNoteValueEntry& e : entries)
            ticks.push_back(e.m_ticks);
        return ticks;
    };
    EXPECT_EQ(ticksOf(NoteValueChoices(0, 384)),
              (std::vector<tick>{0, 384, 192, 288, 96, 144, 48, 72, 24, 36, 12, 18}));
    EXPECT_EQ(ticksOf(NoteValueChoices(12, 96)), (std::vector<tick>{96, 48, 72, 24, 36, 12, 18}));
    EXPECT_EQ(ticksOf(NoteValueChoices(0, 24)), (std::vector<tick>{0, 24, 12, 18}));
    EXPECT_TRUE(NoteValueChoices(1, 11).empty());
    EXPECT_TRUE(NoteValueChoices(96, 48).empty());
    // A negative lower bound is not 0, so "Off" stays out.
    EXPECT_EQ(ticksOf(NoteValueChoices(-1, 24)), (std::vector<tick>{24, 12, 18}));
}
