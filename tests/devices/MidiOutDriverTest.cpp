#include "devices/DeviceFixture.h"
#include "devices/RecordingNode.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

namespace {
CMidiMsg On(uint8_t key, int32_t time = 0)
{
    return CMidiMsg::Make(0x90, key, 100, time);
}
CMidiMsg Off(uint8_t key)
{
    return CMidiMsg::Make(0x80, key, 0);
}
CMidiMsg Cc(uint8_t controller, uint8_t value)
{
    return CMidiMsg::Make(0xB0, controller, value);
}

// A track player stand-in that feeds an output port.
class CFakeTrack : public CMidiNode, public CInstrumentSource {
public:
    CFakeTrack(int32_t channel, uint8_t program, uint8_t volume, uint8_t pan) : m_channel(channel)
    {
        m_settings.program = program;
        m_settings.volume = volume;
        m_settings.pan = pan;
    }
    int32_t GetInstrumentChannel() const override { return m_channel; }
    SInstrumentSettings GetInstrumentSettings() const override { return m_settings; }
    void OnInstrumentSent(EInstrumentFeedback kind, uint8_t value) override
    {
        feedback.emplace_back(kind, value);
    }
    std::vector<std::pair<EInstrumentFeedback, uint8_t>> feedback;

private:
    int32_t m_channel;
    SInstrumentSettings m_settings;
};
} // namespace

class MidiOutDriverTest : public CDeviceFixture {};

TEST_F(MidiOutDriverTest, HandOverSendsRealtimeThenEventsOffsOnsWithIncreasingStamps)
{
    CMidiOutDriver& driver = OpenOut0();
    COutputPort& port = *devices.GetOutputPort(0);
    port.Deliver(nullptr, MakeList({On(60)}), MakeList({Off(59)}), MakeList({Cc(7, 90)}));
    driver.QueueRealtime(CMidiMsg::Make(0xF8));
    driver.QueueRealtime(CMidiMsg::Make(0xFA));
    EXPECT_TRUE(backend.GetSent(0).empty()); // nothing leaves on receipt

    driver.HandOver(1000);
    const std::vector<SMidiOutRecord> sent = backend.GetSent(0);
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_EQ(Statuses(0), (std::vector<int>{0xF8, 0xFA, 0xB0, 0x80, 0x90}));
    std::vector<int64_t> stamps;
    for (const SMidiOutRecord& r : sent)
        stamps.push_back(r.time);
    EXPECT_EQ(stamps, (std::vector<int64_t>{1000, 1001, 1002, 1003, 1004}));
    EXPECT_EQ(driver.GetLastStamp(), 1004);

    // A hand-over that goes back in time still sends after the last stamp.
    port.ReceiveEvents(MakeList({Cc(10, 64)}), nullptr);
    driver.HandOver(500);
    ASSERT_EQ(backend.GetSent(0).size(), 6u);
    EXPECT_EQ(backend.GetSent(0).back().time, 1005);
    // An idle hand-over holds nothing back: only what was sent orders what follows.
    driver.HandOver(5000);
    EXPECT_EQ(driver.GetLastStamp(), 1005);
    port.ReceiveEvents(MakeList({Cc(10, 0)}), nullptr);
    driver.HandOver(3000);
    EXPECT_EQ(backend.GetSent(0).back().time, 3000);
    port.ReceiveEvents(MakeList({Cc(10, 1)}), nullptr);
    driver.HandOver(2000);
    EXPECT_EQ(backend.GetSent(0).back().time, 3001);
    EXPECT_EQ(backend.GetSent(1).size(), 0u); // the other device saw nothing

    // Taking what was sent empties the capture; what follows starts a new one.
    std::vector<SMidiOutRecord> taken{SMidiOutRecord{}};
    backend.TakeSent(0, taken);
    EXPECT_EQ(taken.size(), 8u);
    EXPECT_TRUE(backend.GetSent(0).empty());
    port.ReceiveEvents(MakeList({Cc(10, 2)}), nullptr);
    driver.HandOver(4000);
    backend.TakeSent(0, taken);
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].time, 4000);
    backend.TakeSent(1, taken);
    EXPECT_TRUE(taken.empty());
}

TEST_F(MidiOutDriverTest, QueuedMessagesWaitForTheirCountdown)
{
    CMidiOutDriver& driver = OpenOut0();
    driver.ReceiveNoteOns(MakeList({On(1, 0), On(2, 1), On(3, 3)}), nullptr);
    driver.HandOver(100);
    EXPECT_EQ(backend.GetSent(0).size(), 2u); // time words 0 and 1 are due at once
    driver.HandOver(200);
    EXPECT_EQ(backend.GetSent(0).size(), 2u);
    driver.HandOver(300);
    ASSERT_EQ(backend.GetSent(0).size(), 3u);
    EXPECT_EQ(backend.GetSent(0)[2].bytes[1], 3);
}

// Random lists with random countdowns, received between hand-overs: every message leaves at the
// hand-over its countdown reaches, realtime first (one stamp each), then events, note-offs and
// note-ons in arrival order (one stamp per list), and never before a stamp already used.
TEST_F(MidiOutDriverTest, RandomCountdownsLeaveInOrderAtTheirHandOver)
{
    CMidiOutDriver& driver = OpenOut0();
    std::mt19937 random(11);
    struct SWaiting {
        int32_t left; // hand-overs to go, counted down like the driver's time word
        uint8_t status, key;
    };
    std::array<std::vector<SWaiting>, 3> model; // events, note-offs, note-ons
    const std::array<uint8_t, 3> statuses{0xB0, 0x80, 0x90};
    std::vector<std::array<int64_t, 3>> expected; // stamp, status, key
    int64_t lastStamp = INT64_MIN;
    uint8_t key = 0;
    for (int64_t handOver = 0; handOver < 300; ++handOver) {
        for (size_t kind = 0; kind < 3; ++kind) {
            CMidiMsgList list;
            const int count = std::uniform_int_distribution<int>(0, 3)(random);
            for (int i = 0; i < count; ++i) {
                const int32_t countdown = std::uniform_int_distribution<int32_t>(-1, 4)(random);
                key = static_cast<uint8_t>((key + 1) & 0x7F);
                list.Append(CMidiMsg::Make(statuses[kind], key, 0, countdown));
                model[kind].push_back({countdown, statuses[kind], key});
            }
            if (kind == 0) driver.ReceiveEvents(list, nullptr);
            if (kind == 1) driver.ReceiveNoteOffs(list, nullptr);
            if (kind == 2) driver.ReceiveNoteOns(list, nullptr);
        }
        const bool clock = handOver % 7 == 0;
        if (clock) driver.QueueRealtime(CMidiMsg::Make(0xF8));
        const int64_t time = handOver * 100 - (handOver % 5 == 0 ? 250 : 0); // now and then back
        int64_t stamp = lastStamp == INT64_MIN ? time : std::max(time, lastStamp + 1);
        const int64_t first = stamp;
        if (clock) expected.push_back({stamp++, 0xF8, 0});
        for (std::vector<SWaiting>& waiting : model) {
            bool any = false;
            for (SWaiting& w : waiting) {
                if (--w.left > 0) continue;
                expected.push_back({stamp, w.status, w.key});
                any = true;
            }
            std::erase_if(waiting, [](const SWaiting& w) { return w.left <= 0; });
            if (any) ++stamp;
        }
        if (stamp != first) lastStamp = stamp - 1;
        driver.HandOver(time);
    }
    std::vector<std::array<int64_t, 3>> sent;
    for (const SMidiOutRecord& r : backend.GetSent(0))
        sent.push_back({r.time, r.bytes[0], r.length > 1 ? r.bytes[1] : 0});
    EXPECT_EQ(sent, expected);
}

TEST_F(MidiOutDriverTest, MalformedMessagesNeverCorruptTheWire)
{
    CMidiOutDriver& driver = OpenOut0();
    driver.ReceiveEvents(MakeList({CMidiMsg{0, 3, 0x40, 1, 2}, CMidiMsg{0, 7, 0xB0, 0x87, 0xFF},
                                   CMidiMsg{0, 0, 0xC0, 5, 0}}),
                         nullptr);
    driver.HandOver(100);
    const std::vector<SMidiOutRecord> sent = backend.GetSent(0);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].length, 3);
    EXPECT_EQ(sent[0].bytes[1], 0x07);
    EXPECT_EQ(sent[0].bytes[2], 0x7F);
    EXPECT_EQ(sent[1].length, 2); // the length word is wrong; the status decides
}

TEST_F(MidiOutDriverTest, ListLargerThanTheBufferIsSentInPiecesNotDropped)
{
    CMidiOutDriver& driver = OpenOut0();
    CMidiMsgList events;
    const int count = CMidiSendBuffer::kCapacity * 2 + 50;
    for (int i = 0; i < count; ++i)
        events.Append(Cc(static_cast<uint8_t>(i % 128), i % 100));
    driver.ReceiveEvents(events, nullptr);
    driver.HandOver(7000);
    const std::vector<SMidiOutRecord> sent = backend.GetSent(0);
    ASSERT_EQ(static_cast<int>(sent.size()), count);
    EXPECT_EQ(backend.GetPlayCount(0), 3);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(sent[static_cast<size_t>(i)].bytes[1], i % 128) << i;
        EXPECT_EQ(sent[static_cast<size_t>(i)].time, 7000);
    }
    EXPECT_EQ(driver.GetSendFailures(), 0);
}

TEST_F(MidiOutDriverTest, ClosedDriverDropsOnReceiptAndNeverSendsLate)
{
    CMidiOutDriver& driver = OpenOut0();
    COutputPort& port = *devices.GetOutputPort(0);
    port.ReceiveNoteOns(MakeList({On(60)}), nullptr); // queued, not yet handed over
    EXPECT_EQ(devices.CloseOutputDriver(0, error), 1);
    EXPECT_FALSE(backend.IsOutputOpen(0));
    port.ReceiveNoteOns(MakeList({On(61)}), nullptr); // still routed, but closed
    driver.QueueRealtime(CMidiMsg::Make(0xF8));
    devices.HandOver(1000); // closed drivers get no hand-over
    EXPECT_TRUE(backend.GetSent(0).empty());

    EXPECT_EQ(devices.OpenOutputDriver(0, error), 1);
    devices.HandOver(2000);
    EXPECT_TRUE(backend.GetSent(0).empty());
    port.ReceiveNoteOns(MakeList({On(62)}), nullptr);
    devices.HandOver(3000);
    ASSERT_EQ(backend.GetSent(0).size(), 1u);
    EXPECT_EQ(backend.GetSent(0)[0].bytes[1], 62);
}

TEST_F(MidiOutDriverTest, ClosingSendsPendingNoteOffsSoNoNoteHangs)
{
    OpenOut0();
    COutputPort& port = *devices.GetOutputPort(0);
    port.Deliver(nullptr, MakeList({On(60)}), {}, {});
    devices.HandOver(1000); // the note sounds
    port.ReceiveNoteOffs(MakeList({CMidiMsg::Make(0x80, 60, 0, 40)}), nullptr); // due later
    port.ReceiveNoteOns(MakeList({On(64, 40)}), nullptr);
    EXPECT_EQ(devices.CloseOutputDriver(0, error), 1);

    EXPECT_EQ(Statuses(0), (std::vector<int>{0x90, 0x80})); // the off leaves, the later on not
    EXPECT_EQ(backend.GetSent(0)[1].bytes[1], 60);
}

TEST_F(MidiOutDriverTest, ResetOutputsSends112MessagesPerOpenDeviceChannelZeroFirst)
{
    OpenOut0();
    ASSERT_EQ(devices.OpenOutputDriver(1, error), 1);
    devices.ResetOutputs();
    devices.HandOver(100);
    for (int32_t device : {0, 1}) {
        const std::vector<SMidiOutRecord> sent = backend.GetSent(device);
        ASSERT_EQ(sent.size(), 112u);
        const std::vector<std::array<int, 3>> channel0 = {
            {0xD0, 0, -1},  {0xE0, 0, 64},  {0xB0, 1, 0},  {0xB0, 7, 127},
            {0xB0, 10, 64}, {0xB0, 121, 0}, {0xB0, 123, 0}};
        for (size_t i = 0; i < 7; ++i) {
            EXPECT_EQ(sent[i].bytes[0], channel0[i][0]) << i;
            EXPECT_EQ(sent[i].bytes[1], channel0[i][1]) << i;
            if (channel0[i][2] >= 0) {
                EXPECT_EQ(sent[i].bytes[2], channel0[i][2]) << i;
            }
        }
        EXPECT_EQ(sent[0].length, 2); // channel pressure has one data byte
        for (size_t i = 0; i < sent.size(); ++i)
            EXPECT_EQ(sent[i].bytes[0] & 0x0F, i / 7) << i;
        EXPECT_EQ(sent[111].bytes[0], 0xBF);
        EXPECT_EQ(sent[111].bytes[1], 123);
    }
}

TEST_F(MidiOutDriverTest, InstrumentSettingsTakeTheFirstValidValuePerChannel)
{
    OpenOut0();
    ASSERT_EQ(devices.RouteOutputPort(1, 0, error), 1); // "Out2" to the same device
    CFakeTrack first(3, 255, 100, 255);
    CFakeTrack second(3, 20, 90, 30);
    CFakeTrack other(5, 7, 255, 200);
    Connect(&first, devices.GetOutputPort(0));
    Connect(&other, devices.GetOutputPort(0));
    Connect(&second, devices.GetOutputPort(1));

    devices.SendInstrumentSettings();
    devices.HandOver(100);
    std::vector<std::array<int, 3>> sent;
    for (const SMidiOutRecord& r : backend.GetSent(0))
        sent.push_back({r.bytes[0], r.bytes[1], r.bytes[2]});
    // Channel 3: volume from the first track, program and pan left unset by it come from the
    // second; channel 5: its program only (pan 200 is not a value).
    EXPECT_EQ(sent, (std::vector<std::array<int, 3>>{
                        {0xC3, 20, 0}, {0xB3, 7, 100}, {0xB3, 10, 30}, {0xC5, 7, 0}}));
}

TEST_F(MidiOutDriverTest, PortParametersSendTheFirstTracksValuesAndReportFeedback)
{
    OpenOut0();
    COutputPort& port = *devices.GetOutputPort(0);
    CFakeTrack first(2, 255, 255, 40);
    CFakeTrack second(2, 9, 80, 90);
    Connect(&first, &port);
    Connect(&second, &port);

    EXPECT_EQ(port.SetParameter(COutputPort::kParamSendProgram, 2, 0), 1);
    EXPECT_EQ(port.SetParameter(COutputPort::kParamSendVolume, 2, 0), 1);
    EXPECT_EQ(port.SetParameter(COutputPort::kParamSendPan, 2, 0), 1);
    EXPECT_EQ(port.SetParameter(7004, 2, 0), 0);
    devices.HandOver(100);
    std::vector<std::array<int, 3>> sent;
    for (const SMidiOutRecord& r : backend.GetSent(0))
        sent.push_back({r.bytes[0], r.bytes[1], r.bytes[2]});
    // No program: the first track has none. Volume: the first set one. Pan: the first track's.
    EXPECT_EQ(sent, (std::vector<std::array<int, 3>>{{0xB2, 7, 80}, {0xB2, 10, 40}}));
    using F = EInstrumentFeedback;
    const std::vector<std::pair<F, uint8_t>> expected = {{F::Volume, 80}, {F::Pan, 40}};
    EXPECT_EQ(first.feedback, expected);
    EXPECT_EQ(second.feedback, expected);
}

TEST_F(MidiOutDriverTest, AuditionSoundsAtOnceAndEndsByTime)
{
    CMidiOutDriver& driver = OpenOut0();
    const int64_t period = 52083;
    backend.SetTime(10000);
    const SAuditionNote notes[] = {{0, 96, 60, 100, 10}, {0, 96, 200, 100, 0}, {0, 48, 64, 90, 20}};
    driver.Audition(notes, 3, period);
    std::vector<SMidiOutRecord> sent = backend.GetSent(0);
    ASSERT_EQ(sent.size(), 2u); // key 200 is not a key
    EXPECT_EQ(sent[0].bytes[0], 0x93);
    EXPECT_EQ(sent[0].time, 10000);
    EXPECT_EQ(driver.GetAuditionEndTime(), 10000 + 48 * period); // the last note decides

    driver.HandOver(10000 + 48 * period);
    EXPECT_EQ(backend.GetSent(0).size(), 2u);
    backend.SetTime(20000);
    driver.HandOver(10000 + 48 * period + 1);
    sent = backend.GetSent(0);
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[2].bytes[0], 0x83);
    EXPECT_EQ(sent[2].bytes[2], 10); // release velocity
    EXPECT_GT(sent[2].time, sent[1].time);
    EXPECT_EQ(driver.GetAuditionEndTime(), CMidiOutDriver::kNever);

    // A note starting at -1 sounds until the next audition ends it.
    const SAuditionNote held[] = {{-1, 10, 70, 100, 0}};
    driver.Audition(held, 0, period);
    driver.HandOver(1'000'000'000);
    EXPECT_EQ(backend.GetSent(0).size(), 5u);
    driver.Audition({}, 0, period);
    EXPECT_EQ(backend.GetSent(0).back().bytes[0], 0x80);

    // Closing ends a sounding audition instead of leaving the note hanging.
    driver.Audition(held, 0, period);
    EXPECT_EQ(devices.CloseOutputDriver(0, error), 1);
    EXPECT_EQ(backend.GetSent(0).back().bytes[0], 0x80);
    const size_t before = backend.GetSent(0).size();
    driver.Audition(held, 0, period); // closed: nothing
    EXPECT_EQ(backend.GetSent(0).size(), before);
}

TEST_F(MidiOutDriverTest, ClockSendFlagSelectsTheDevicesThatGetClock)
{
    CMidiOutDriver& driver = OpenOut0();
    ASSERT_EQ(devices.OpenOutputDriver(1, error), 1);
    EXPECT_EQ(driver.GetParameter(CMidiOutDriver::kParamClockSend), 0);
    EXPECT_EQ(driver.SetParameter(CMidiOutDriver::kParamClockSend, 1, 0), 1);
    EXPECT_EQ(driver.GetParameter(CMidiOutDriver::kParamClockSend), 1);
    EXPECT_EQ(driver.SetParameter(2, 1, 0), 0);
    EXPECT_EQ(driver.GetParameter(2), -1);
    devices.QueueClockMessage(CMidiMsg::Make(0xF8));
    devices.HandOver(100);
    EXPECT_EQ(Statuses(0), (std::vector<int>{0xF8}));
    EXPECT_TRUE(backend.GetSent(1).empty());
}
