#include <gtest/gtest.h>

#include <climits>

#include "model/MidiEvent.h"
#include "model/Note.h"

TEST(MidiEvent, ValuesFollowTheKind)
{
    EXPECT_EQ(CMidiEvent(0, kKindPolyPressure, 60, 33).GetValue(), 33);
    EXPECT_EQ(CMidiEvent(0, kKindControlChange, 7, 100).GetValue7(), 100);
    EXPECT_EQ(CMidiEvent(0, kKindProgramChange, 12, 0).GetValue(), 12);
    EXPECT_EQ(CMidiEvent(0, kKindChannelAftertouch, 90, 0).GetValue7(), 90);
    const CMidiEvent bender(0, kKindPitchBender, 0x01, 0x40);
    EXPECT_EQ(bender.GetValue(), 8193);
    EXPECT_EQ(bender.GetValue7(), 0x40);
    EXPECT_EQ(CMidiEvent(0, 0x90, 60, 100).GetValue(), -1);
    EXPECT_EQ(CMidiEvent(0, 0xB3, 7, 100).GetValue7(), -1);
}

TEST(MidiEvent, SetValue7WritesTheValueByteOnly)
{
    CMidiEvent cc(0, kKindControlChange, 7, 100);
    cc.SetValue7(5);
    EXPECT_EQ(cc, CMidiEvent(0, kKindControlChange, 7, 5));
    CMidiEvent program(0, kKindProgramChange, 12, 0);
    program.SetValue7(200);
    EXPECT_EQ(program, CMidiEvent(0, kKindProgramChange, 127, 0));
    CMidiEvent bender(0, kKindPitchBender, 3, 64);
    bender.SetValue7(-4);
    EXPECT_EQ(bender, CMidiEvent(0, kKindPitchBender, 3, 0));
    CMidiEvent unknown(0, 0x90, 60, 100);
    unknown.SetValue7(1);
    EXPECT_EQ(unknown, CMidiEvent(0, 0x90, 60, 100));
}

TEST(MidiEvent, AddToValueClampsToTheKindsRange)
{
    CMidiEvent cc(0, kKindControlChange, 7, 120);
    cc.AddToValue(10);
    EXPECT_EQ(cc.m_data2, 127);
    cc.AddToValue(INT32_MIN);
    EXPECT_EQ(cc.m_data2, 0);
    EXPECT_EQ(cc.m_data1, 7);

    CMidiEvent pressure(0, kKindChannelAftertouch, 50, 0);
    pressure.AddToValue(-8);
    EXPECT_EQ(pressure, CMidiEvent(0, kKindChannelAftertouch, 42, 0));

    CMidiEvent bender(0, kKindPitchBender, 16380 & 0x7F, 16380 >> 7);
    bender.AddToValue(10);
    EXPECT_EQ(bender.m_data1, 127);
    EXPECT_EQ(bender.m_data2, 127);
    bender.AddToValue(-20000);
    EXPECT_EQ(bender.GetValue(), 0);
    bender.AddToValue(kPitchBendCentre + 129);
    EXPECT_EQ(bender.m_data1, 1);
    EXPECT_EQ(bender.m_data2, 65);
    bender.AddToValue(INT32_MAX);
    EXPECT_EQ(bender.GetValue(), kPitchBendMax);
}

TEST(MidiEvent, ShortMessagePacksStatusLowAndKeepsDataBytesSevenBit)
{
    uint32_t word = 0;
    EXPECT_EQ(CMidiEvent(0, kKindControlChange, 7, 100).ToShortMessage(word), 3);
    EXPECT_EQ(word, 0x6407B0u);
    EXPECT_EQ(CMidiEvent(0, kKindProgramChange, 12, 0).ToShortMessage(word), 2);
    EXPECT_EQ(word, 0x0CC0u);
    EXPECT_EQ(CMidiEvent(0, kKindPitchBender, 0, 64).ToShortMessage(word), 3);
    EXPECT_EQ(word, 0x4000E0u);
    EXPECT_EQ(CMidiEvent(0, 0x90, 60, 100).ToShortMessage(word), 0);
    CMidiEvent broken(0, kKindControlChange, 255, 255);
    EXPECT_EQ(broken.ToShortMessage(word), 3);
    EXPECT_EQ(word, 0x7F7FB0u);
}

TEST(MidiEvent, KindClassifiersIgnoreChannelAndRejectOtherStatuses)
{
    EXPECT_EQ(EventKindHasSelector(0xA3), 2);
    EXPECT_EQ(EventKindHasSelector(0xBF), 2);
    EXPECT_EQ(EventKindHasSelector(0xC0), 1);
    EXPECT_EQ(EventKindHasSelector(0x9F), 0);
    EXPECT_EQ(EventKindValueWidth(0xE5), 2);
    EXPECT_EQ(EventKindValueWidth(0xD0), 1);
    EXPECT_EQ(EventKindValueWidth(0xF0), 0);
    EXPECT_EQ(EventKindMessageLength(0xC1), 2);
    EXPECT_EQ(EventKindMessageLength(0xDF), 2);
    EXPECT_EQ(EventKindMessageLength(0xEF), 3);
    EXPECT_EQ(EventKindMessageLength(0x80), 0);
    EXPECT_EQ(EventKindName(0xA0), "Poly Pressure");
    EXPECT_EQ(EventKindName(0xB9), "Control Change");
    EXPECT_EQ(EventKindName(0xC0), "Program Change");
    EXPECT_EQ(EventKindName(0xD0), "Channel Aftertouch");
    EXPECT_EQ(EventKindName(0xE0), "Pitch Bender");
    EXPECT_EQ(EventKindName(0xF8), "");
}

TEST(MidiEvent, EmptyRecordsAreRecognised)
{
    EXPECT_TRUE(CMidiEvent().IsEmpty());
    EXPECT_EQ(CMidiEvent().m_time, -1);
    EXPECT_FALSE(CMidiEvent(0, kKindControlChange, 255, 0).IsEmpty());
    EXPECT_TRUE(CNote().IsEmpty());
    EXPECT_EQ(CNote().m_start, -1);
    EXPECT_FALSE(CNote(0, 10, 255, 255, 0).IsEmpty());
    EXPECT_EQ(CNote(90, 110, 60, 100, 64).GetLength(), 20);
}
