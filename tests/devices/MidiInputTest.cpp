#include "devices/DeviceFixture.h"
#include "devices/MidiStreamParser.h"
#include "devices/RecordingNode.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

namespace {
using EList = CRecordingNode::EList;

class CClockProbe : public CMidiClockSink {
public:
    void OnClockMessage(int32_t inputIndex, const CMidiMsg& msg) override
    {
        received.emplace_back(inputIndex, msg);
    }
    std::vector<std::pair<int32_t, CMidiMsg>> received;
};

class CCaptureProbe : public CRecordCaptureSink {
public:
    void CaptureNoteOns(const CMidiMsgList& noteOns) override
    {
        captured.insert(captured.end(), noteOns.begin(), noteOns.end());
    }
    std::vector<CMidiMsg> captured;
};

std::vector<int> Keys(const std::vector<CMidiMsg>& msgs)
{
    std::vector<int> keys;
    for (const CMidiMsg& m : msgs)
        keys.push_back(m.data1);
    return keys;
}
} // namespace

class MidiInputTest : public CDeviceFixture {
protected:
    void SetUp() override
    {
        devices.SetClockSink(&clock);
        devices.SetInputSignal([this] { ++signals; });
        CDeviceFixture::SetUp();
        ASSERT_EQ(devices.OpenInputDriver(0, error), 1);
        ASSERT_EQ(devices.RouteInputPort(0, 0, error), 1);
        Connect(devices.GetInputPort(0), &probe);
    }

    void Inject(std::vector<uint8_t> bytes, int32_t ms = 7)
    {
        ASSERT_TRUE(backend.InjectInput(0, bytes, ms));
    }

    CClockProbe clock;
    CRecordingNode probe;
    std::atomic<int> signals{0};
};

TEST_F(MidiInputTest, ParsesRunningStatusAcrossCallbacksAndRealtimeInsideMessages)
{
    Inject({0x91, 60, 100, 62});
    Inject({101, 0xF8, 0x81, 60}, 9);     // the clock byte sits inside the running-status note-on
    Inject({0, 62, 5, 0xC1, 12, 13}, 11); // running status on note-off, then programs
    Inject({0x91, 64, 0}, 12);            // velocity 0 is a release
    EXPECT_EQ(signals, 4);
    EXPECT_TRUE(probe.received.empty()); // nothing moves before the poll

    devices.PollInputs();
    const std::vector<CMidiMsg> ons = probe.All(EList::NoteOns);
    EXPECT_EQ(ons, (std::vector<CMidiMsg>{{7, 3, 0x91, 60, 100}, {9, 3, 0x91, 62, 101}}));
    // A message carries the stamp of the byte that completed it.
    EXPECT_EQ(
        probe.All(EList::NoteOffs),
        (std::vector<CMidiMsg>{{11, 3, 0x81, 60, 0}, {11, 3, 0x81, 62, 5}, {12, 3, 0x81, 64, 64}}));
    EXPECT_EQ(probe.All(EList::Events),
              (std::vector<CMidiMsg>{{11, 2, 0xC1, 12, 0}, {11, 2, 0xC1, 13, 0}}));
    ASSERT_EQ(clock.received.size(), 1u);
    EXPECT_EQ(clock.received[0].second.status, 0xF8);
    EXPECT_EQ(clock.received[0].second.time, 9);

    // One delivery per poll: ons, offs, events each as one list.
    EXPECT_EQ(probe.received.size(), 3u);
    devices.PollInputs(); // nothing new: nothing delivered
    EXPECT_EQ(probe.received.size(), 3u);
}

TEST_F(MidiInputTest, SystemMessagesNeverReachPortsAndClockMessagesReachTheClock)
{
    CRecordingNode recProbe;
    ASSERT_EQ(devices.RouteRecordNode(0, error), 1);
    Connect(&devices.GetRecordNode(), &recProbe);
    Inject({0xF2, 0x10, 0x02, 0xF8, 0xFA, 0xFB, 0xFC, 0xFE, 0xFF, 0xF6, 0xF1, 0x20, 0xF3,
            0x05, 0xF0, 0x7E, 0x90, 0x40, 0xF7, 0x40, 0x41, 0xF9, 0xFD, 0xF4, 0xF5, 0x33});
    devices.PollInputs();
    EXPECT_TRUE(probe.received.empty());
    EXPECT_TRUE(recProbe.received.empty());
    std::vector<int> statuses;
    for (const auto& [index, msg] : clock.received) {
        EXPECT_EQ(index, 0);
        statuses.push_back(msg.status);
    }
    EXPECT_EQ(statuses, (std::vector<int>{0xF2, 0xF8, 0xFA, 0xFB, 0xFC}));
    EXPECT_EQ(clock.received[0].second.data1, 0x10);
    EXPECT_EQ(clock.received[0].second.data2, 0x02);

    // System exclusive and system-common statuses also cancel running status.
    Inject({0x92, 50, 60, 0xF0, 1, 2, 0xF7, 51, 60});
    devices.PollInputs();
    EXPECT_EQ(Keys(probe.All(EList::NoteOns)), (std::vector<int>{50}));
}

TEST_F(MidiInputTest, ChannelFilterPassesOnlyItsChannel)
{
    CInputPort& port = *devices.GetInputPort(0);
    EXPECT_EQ(port.GetParameter(CInputFilterNode::kParamChannelFilter), 255);
    EXPECT_EQ(port.SetParameter(CInputFilterNode::kParamChannelFilter, 5, 0), 1);
    EXPECT_EQ(port.GetParameter(CInputFilterNode::kParamChannelFilter), 5);
    EXPECT_EQ(port.SetParameter(2, 5, 0), 0);
    Inject({0x94, 60, 90, 0x95, 61, 90, 0x96, 62, 90, 0xB5, 7,  1,
            0xB4, 7,  2,  0xE6, 0,  64, 0x85, 61, 0,  0x84, 60, 0});
    devices.PollInputs();
    for (EList list : {EList::NoteOns, EList::NoteOffs, EList::Events}) {
        const std::vector<CMidiMsg> msgs = probe.All(list);
        EXPECT_EQ(msgs.size(), 1u);
        for (const CMidiMsg& m : msgs)
            EXPECT_EQ(m.status & 0x0F, 5);
    }
    // Out-of-range values mean all channels.
    port.SetParameter(CInputFilterNode::kParamChannelFilter, 16, 0);
    EXPECT_EQ(port.GetParameter(CInputFilterNode::kParamChannelFilter), 255);
}

TEST_F(MidiInputTest, HeldNotesAreReleasedWhenTheInputGoesOrTheFilterChanges)
{
    CInputPort& port = *devices.GetInputPort(0);
    Inject({0x90, 60, 100, 0x91, 60, 90, 0x90, 62, 80});
    devices.PollInputs();
    EXPECT_EQ(port.GetHeldCount(), 3);
    Inject({0x81, 60, 0}); // releases channel 1's key 60 only
    devices.PollInputs();
    EXPECT_EQ(port.GetHeldCount(), 2);

    probe.received.clear();
    port.SetParameter(CInputFilterNode::kParamChannelFilter, 0, 0);
    EXPECT_EQ(port.GetHeldCount(), 0);
    // A release keeps the note-on's velocity, as the filter node records it; made up here, it
    // has no stamp of its own.
    EXPECT_EQ(probe.All(EList::NoteOffs),
              (std::vector<CMidiMsg>{{kInputStampNow, 3, 0x80, 60, 100},
                                     {kInputStampNow, 3, 0x80, 62, 80}}));
    port.SetParameter(CInputFilterNode::kParamChannelFilter, 0, 0); // no change, nothing sent
    EXPECT_EQ(probe.All(EList::NoteOffs).size(), 2u);

    Inject({0x90, 64, 100});
    devices.PollInputs();
    probe.received.clear();
    EXPECT_EQ(devices.CloseInputDriver(0, error), 1);
    EXPECT_EQ(Keys(probe.All(EList::NoteOffs)), (std::vector<int>{64}));
    EXPECT_FALSE(backend.InjectInput(0, {0x90, 1, 1})); // closed: no more callbacks
}

TEST_F(MidiInputTest, StampsComeFromTheMasterClockAndClosingDropsUnpolledInput)
{
    backend.SetTime(123'456'789); // 100 ns units: 12345.68 ms
    ASSERT_TRUE(backend.InjectInput(0, {0x90, 60, 1}));
    devices.PollInputs();
    ASSERT_EQ(probe.All(EList::NoteOns).size(), 1u);
    EXPECT_EQ(probe.All(EList::NoteOns)[0].time, 12346) << "to the nearest millisecond";

    Inject({0x90, 61, 1, 0x90}); // queued, with a partial message behind it
    EXPECT_EQ(devices.CloseInputDriver(0, error), 1);
    EXPECT_EQ(devices.OpenInputDriver(0, error), 1);
    Inject({62, 1, 0xB0, 7, 5}); // the stale partial note-on must not complete
    devices.PollInputs();
    EXPECT_EQ(Keys(probe.All(EList::NoteOns)), (std::vector<int>{60}));
    EXPECT_EQ(probe.All(EList::Events).size(), 1u);
}

TEST_F(MidiInputTest, ReroutingAPortEndsTheNotesOfTheOldDriver)
{
    ASSERT_EQ(devices.OpenInputDriver(1, error), 1);
    Inject({0x90, 60, 100});
    devices.PollInputs();
    probe.received.clear();
    EXPECT_EQ(devices.RouteInputPort(0, 1, error), 1);
    EXPECT_EQ(Keys(probe.All(EList::NoteOffs)), (std::vector<int>{60}));
    EXPECT_EQ(devices.GetInputPort(0)->GetName(), "Inp1: Pads");
}

TEST_F(MidiInputTest, RecordNodeCaptureTakesNoteOnsAndForwardsNothing)
{
    CRecordNode& rec = devices.GetRecordNode();
    CRecordingNode thru;
    CCaptureProbe capture;
    ASSERT_EQ(devices.RouteRecordNode(0, error), 1);
    Connect(&rec, &thru);
    Inject({0x90, 60, 100});
    devices.PollInputs();
    EXPECT_EQ(rec.GetHeldCount(), 1);

    thru.received.clear();
    rec.SetCaptureSink(&capture);
    EXPECT_EQ(Keys(thru.All(EList::NoteOffs)), (std::vector<int>{60})); // held notes released
    thru.received.clear();
    rec.SetParameter(CInputFilterNode::kParamChannelFilter, 2, 0);
    Inject({0x92, 61, 100, 0x93, 62, 100, 0x82, 61, 0, 0xB2, 1, 1});
    devices.PollInputs();
    EXPECT_EQ(Keys(capture.captured), (std::vector<int>{61}));
    EXPECT_TRUE(thru.received.empty());
    EXPECT_EQ(rec.GetHeldCount(), 0);

    rec.SetCaptureSink(nullptr);
    Inject({0x92, 63, 100});
    devices.PollInputs();
    EXPECT_EQ(Keys(thru.All(EList::NoteOns)), (std::vector<int>{63}));
    EXPECT_EQ(Keys(capture.captured), (std::vector<int>{61}));
}

// A followed clock pulse plays ticks from inside the poll, and a tick at the loop end polls the
// inputs again; by then the device may have delivered more bytes.
TEST_F(MidiInputTest, PollFromInsideAClockMessageKeepsTheStreamInOrder)
{
    class CPollingClock : public CMidiClockSink {
    public:
        CPollingClock(CVirtualBackend& backend, CMidiDevices& devices)
            : m_backend(backend), m_devices(devices)
        {}
        void OnClockMessage(int32_t, const CMidiMsg&) override
        {
            ++pulses;
            m_backend.InjectInput(0, {0x80, 60, 0}, 8);
            m_devices.PollInputs();
        }
        int pulses = 0;

    private:
        CVirtualBackend& m_backend;
        CMidiDevices& m_devices;
    };
    CPollingClock pollingClock(backend, devices);
    devices.SetClockSink(&pollingClock);

    Inject({0x90, 60, 0xF8, 100}); // the pulse sits inside the note-on
    devices.PollInputs();
    EXPECT_EQ(pollingClock.pulses, 1);
    EXPECT_EQ(probe.All(EList::NoteOns), (std::vector<CMidiMsg>{{7, 3, 0x90, 60, 100}}));
    EXPECT_TRUE(probe.All(EList::NoteOffs).empty()); // its release came later: next poll

    devices.PollInputs();
    EXPECT_EQ(pollingClock.pulses, 1); // nothing was parsed twice
    EXPECT_EQ(probe.All(EList::NoteOns).size(), 1u);
    EXPECT_EQ(probe.All(EList::NoteOffs), (std::vector<CMidiMsg>{{8, 3, 0x80, 60, 0}}));
}

TEST_F(MidiInputTest, InputFromAnotherThreadArrivesWhole)
{
    constexpr int kMessages = 5000;
    std::thread feeder([this] {
        for (int i = 0; i < kMessages; ++i)
            backend.InjectInput(0, {0xB0, static_cast<uint8_t>(i % 128), 1}, i);
    });
    while (signals < kMessages)
        devices.PollInputs(); // polls race the feeder on purpose
    feeder.join();
    devices.PollInputs();
    EXPECT_EQ(static_cast<int>(probe.All(EList::Events).size()), kMessages);
}

TEST(MidiStreamParser, RandomBytesOnlyYieldWellFormedMessages)
{
    std::mt19937 random(1234);
    CMidiStreamParser parser;
    CMidiMsg msg;
    int produced = 0;
    for (int i = 0; i < 200000; ++i) {
        const auto byte = static_cast<uint8_t>(random());
        if (!parser.Feed(byte, i, msg)) continue;
        ++produced;
        ASSERT_GE(msg.status, 0x80);
        ASSERT_EQ(msg.length, CMidiMsg::LengthOf(msg.status));
        ASSERT_LT(msg.data1, 0x80);
        ASSERT_LT(msg.data2, 0x80);
        if (msg.length < 3) {
            ASSERT_EQ(msg.data2, 0);
        }
        if (msg.length < 2) {
            ASSERT_EQ(msg.data1, 0);
        }
    }
    EXPECT_GT(produced, 1000);
}
