#include <gtest/gtest.h>

#include <vector>

#include "model/EventList.h"

namespace {

CMidiEvent CC(tick time, uint8_t controller, uint8_t value)
{
    return CMidiEvent(time, kKindControlChange, controller, value);
}

CEventList ListOf(std::initializer_list<CMidiEvent> events)
{
    CEventList list;
    for (const CMidiEvent& event : events)
        list.Insert(event);
    return list;
}

std::vector<CMidiEvent> Items(const CEventList& list)
{
    return {list.begin(), list.end()};
}

} // namespace

TEST(EventList, AppendKeepsTheTimeOrder)
{
    CEventList list;
    EXPECT_EQ(list.Append(CC(0, 7, 1)), 0);
    EXPECT_EQ(list.Append(CC(10, 7, 2)), 1);
    EXPECT_EQ(list.Append(CC(10, 7, 3)), 2);
    // Out of order: placed after the events at its time rather than at the end.
    EXPECT_EQ(list.Append(CC(0, 7, 4)), 1);
    EXPECT_EQ(Items(list),
              (std::vector<CMidiEvent>{CC(0, 7, 1), CC(0, 7, 4), CC(10, 7, 2), CC(10, 7, 3)}));
    EXPECT_EQ(list.Insert(CC(10, 7, 5)), 4);
}

TEST(EventList, RemoveBeforeAndFromSplitAtTheGivenTick)
{
    const CEventList src = ListOf({CC(0, 7, 0), CC(10, 7, 1), CC(10, 7, 2), CC(20, 7, 3)});
    CEventList list = src;
    list.RemoveBefore(10);
    EXPECT_EQ(Items(list), (std::vector<CMidiEvent>{CC(10, 7, 1), CC(10, 7, 2), CC(20, 7, 3)}));
    list = src;
    list.RemoveFrom(10);
    EXPECT_EQ(Items(list), (std::vector<CMidiEvent>{CC(0, 7, 0)}));
    list = src;
    list.RemoveBefore(21);
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.EndTime(), -1);
    EXPECT_EQ(list.TimeRange(), std::make_pair(-1, -1));
    EXPECT_EQ(src.EndTime(), 21);
    EXPECT_EQ(src.TimeRange(), std::make_pair(0, 21));
}

TEST(EventList, CopiesSelectByTimeKindAndLane)
{
    const CMidiEvent bend(15, kKindPitchBender, 0, 64);
    const CEventList src = ListOf({CC(0, 7, 1), CC(10, 10, 2), bend, CC(20, 7, 3)});
    CEventList out;
    out.CopyInTime(src, 10, 20);
    EXPECT_EQ(Items(out), (std::vector<CMidiEvent>{CC(10, 10, 2), bend}));
    out.CopyOfKind(src, kKindPitchBender);
    EXPECT_EQ(Items(out), (std::vector<CMidiEvent>{bend}));
    out.CopyOfLane(src, kKindControlChange, 7);
    EXPECT_EQ(Items(out), (std::vector<CMidiEvent>{CC(0, 7, 1), CC(20, 7, 3)}));
    out.CopyShifted(out, -5);
    EXPECT_EQ(Items(out), (std::vector<CMidiEvent>{CC(-5, 7, 1), CC(15, 7, 3)}));
    out.Shift(5);
    EXPECT_EQ(out[0], CC(0, 7, 1));
}

TEST(EventList, CopyConvertedCarriesTheSevenBitValue)
{
    const CMidiEvent bend(15, kKindPitchBender, 5, 64);
    const CMidiEvent unknown(16, 0x90, 60, 100);
    const CEventList src =
        ListOf({CC(0, 7, 100), CMidiEvent(5, kKindProgramChange, 12, 0), bend, unknown});
    CEventList out;
    out.CopyConverted(src, kKindChannelAftertouch);
    EXPECT_EQ(Items(out), (std::vector<CMidiEvent>{CMidiEvent(0, kKindChannelAftertouch, 100, 0),
                                                   CMidiEvent(5, kKindChannelAftertouch, 12, 0),
                                                   CMidiEvent(15, kKindChannelAftertouch, 64, 0)}));
    out.CopyConverted(src, kKindPitchBender);
    EXPECT_EQ(Items(out), (std::vector<CMidiEvent>{CMidiEvent(0, kKindPitchBender, 0, 100),
                                                   CMidiEvent(5, kKindPitchBender, 0, 12), bend}));
    out.CopyConverted(src, kKindControlChange, 11);
    EXPECT_EQ(Items(out), (std::vector<CMidiEvent>{CC(0, 11, 100), CC(5, 11, 12), CC(15, 11, 64)}));
    out.CopyConverted(src, kKindControlChange);
    EXPECT_TRUE(out.IsEmpty());
}
