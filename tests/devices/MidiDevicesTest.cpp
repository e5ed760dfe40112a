#include "devices/DeviceFixture.h"
#include "devices/MidiNames.h"

#include <gtest/gtest.h>

class MidiDevicesTest : public CDeviceFixture {};

TEST_F(MidiDevicesTest, DriversAndPortsAreNamedAndEmulatedMarkerRemoved)
{
    ASSERT_EQ(devices.GetOutDriverCount(), 2);
    ASSERT_EQ(devices.GetInDriverCount(), 2);
    EXPECT_EQ(devices.GetOutDriver(0)->GetName(), "Synth A "); // the blank before it stays
    EXPECT_EQ(devices.GetOutDriver(0)->GetKind(), ENodeKind::MidiOutDriver);
    EXPECT_EQ(devices.GetInDriver(1)->GetName(), "Pads");
    EXPECT_EQ(devices.GetInDriver(1)->GetKind(), ENodeKind::MidiInDriver);
    EXPECT_EQ(devices.GetOutDriver(2), nullptr);
    EXPECT_EQ(devices.GetInDriver(-1), nullptr);
    EXPECT_EQ(RemoveEmulatedMarker("[Emulated]X [Emulated][Emulated]Y"), "X Y");

    EXPECT_EQ(devices.GetOutputPort(7)->GetName(), "Out8: <no driver>");
    EXPECT_EQ(devices.GetOutputPort(0)->GetKind(), ENodeKind::OutputPort);
    EXPECT_EQ(devices.GetInputPort(3)->GetName(), "Inp4: ");
    EXPECT_EQ(devices.GetInputPort(3)->GetKind(), ENodeKind::InputPort);
    EXPECT_EQ(devices.GetRecordNode().GetName(), "Rec: ");
    EXPECT_EQ(devices.GetRecordNode().GetKind(), ENodeKind::RecordNode);
    EXPECT_EQ(devices.GetOutputPort(8), nullptr);
    EXPECT_EQ(devices.GetInputPort(4), nullptr);

    OpenOut0();
    ASSERT_EQ(devices.OpenInputDriver(1, error), 1);
    ASSERT_EQ(devices.RouteRecordNode(1, error), 1);
    EXPECT_EQ(devices.GetOutputPort(0)->GetName(), "Out1: Synth A ");
    EXPECT_EQ(devices.GetRecordNode().GetName(), "Rec: Pads");
}

TEST_F(MidiDevicesTest, StartReservesMessageNodesForTheFirstTicks)
{
    EXPECT_GE(CMidiMsgPool::Instance().GetFreeCount(), CMidiDevices::kReservedMessages);
}

TEST_F(MidiDevicesTest, OpenAndCloseCommandsAnswerAsTheEngineExpects)
{
    EXPECT_EQ(devices.OpenOutputDriver(2, error), 0);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(devices.CloseOutputDriver(-1, error), 0);
    EXPECT_EQ(devices.OpenInputDriver(5, error), 0);
    EXPECT_EQ(devices.CloseInputDriver(2, error), 0);

    EXPECT_EQ(devices.CloseOutputDriver(0, error), 1); // closing a closed driver succeeds
    EXPECT_EQ(devices.OpenOutputDriver(0, error), 1);
    EXPECT_EQ(devices.OpenOutputDriver(0, error), 1); // and opening an open one
    EXPECT_EQ(devices.GetOpenOutDrivers().size(), 1u);
    EXPECT_TRUE(backend.IsOutputOpen(0));

    backend.SetOutputOpenFailure(1, "Device busy");
    EXPECT_EQ(devices.OpenOutputDriver(1, error), 0);
    EXPECT_EQ(error, "Device busy");
    EXPECT_FALSE(devices.GetOutDriver(1)->IsOpen());

    // An input that refuses still answers 1; its open flag tells.
    backend.SetInputOpenFailure(0, "No input");
    EXPECT_EQ(devices.OpenInputDriver(0, error), 1);
    EXPECT_FALSE(devices.GetInDriver(0)->IsOpen());
    EXPECT_TRUE(devices.GetOpenInDrivers().empty());
    backend.SetInputOpenFailure(0, "");
    EXPECT_EQ(devices.OpenInputDriver(0, error), 1);
    EXPECT_TRUE(devices.GetInDriver(0)->IsOpen());
    EXPECT_EQ(devices.CloseInputDriver(0, error), 1);
    EXPECT_FALSE(backend.IsInputOpen(0));

    // The enabled flag is the user's choice and independent of the open state.
    devices.GetOutDriver(1)->SetEnabled(true);
    EXPECT_TRUE(devices.GetOutDriver(1)->IsEnabled());
    EXPECT_FALSE(devices.GetOutDriver(1)->IsOpen());

    devices.Stop();
    EXPECT_FALSE(backend.IsOutputOpen(0));
    EXPECT_EQ(devices.GetOutDriverCount(), 0);
}

TEST_F(MidiDevicesTest, RoutingDisconnectsFirstEvenWhenItThenFails)
{
    CMidiOutDriver& out0 = OpenOut0();
    COutputPort& port = *devices.GetOutputPort(0);
    EXPECT_TRUE(port.HasOutput(&out0));
    EXPECT_EQ(devices.RouteOutputPort(0, 1, error), 0); // driver 1 is not open
    EXPECT_TRUE(port.GetOutputs().empty());
    EXPECT_EQ(devices.RouteOutputPort(0, 0, error), 1);
    EXPECT_EQ(devices.RouteOutputPort(0, 9, error), 0); // bad index
    EXPECT_TRUE(port.GetOutputs().empty());

    ASSERT_EQ(devices.OpenInputDriver(0, error), 1);
    EXPECT_EQ(devices.RouteInputPort(2, 0, error), 1);
    EXPECT_EQ(devices.RouteRecordNode(0, error), 1);
    EXPECT_EQ(devices.GetInDriver(0)->GetOutputs().size(), 2u);
    EXPECT_EQ(devices.RouteInputPort(2, 1, error), 0);
    EXPECT_TRUE(devices.GetInputPort(2)->GetInputs().empty());
    EXPECT_EQ(devices.RouteRecordNode(-1, error), 0);
    EXPECT_TRUE(devices.GetRecordNode().GetInputs().empty());
    EXPECT_EQ(devices.RouteInputPort(4, 0, error), 0); // no such port
}

TEST_F(MidiDevicesTest, StartFailureLeavesNoDrivers)
{
    CMidiDevices other;
    CVirtualBackend broken({"X"}, {"Y"});
    broken.SetStartFailure("No MIDI system");
    EXPECT_EQ(other.Start(broken, error), 0);
    EXPECT_EQ(error, "No MIDI system");
    EXPECT_FALSE(other.IsStarted());
    EXPECT_EQ(other.GetOutDriverCount(), 0);
}

TEST(MidiNames, ControllerKeyPanAndKindNames)
{
    EXPECT_EQ(ControllerName(0), "BankSel");
    EXPECT_EQ(ControllerName(7), "Volume");
    EXPECT_EQ(ControllerName(3), "Control 3");
    EXPECT_EQ(ControllerName(119), "Control 119");
    EXPECT_EQ(ControllerName(51), "Gen.P#4LSB");
    EXPECT_EQ(ControllerName(127), "Poly On");
    EXPECT_EQ(ControllerName(128), "");

    EXPECT_EQ(KeyName(0), "C0");
    EXPECT_EQ(KeyName(60), "C5");
    EXPECT_EQ(KeyName(71), "H5");
    EXPECT_EQ(KeyName(127), "G10");
    EXPECT_EQ(KeyName(128), "");
    EXPECT_EQ(KeyFromName("  c#5 "), 61);
    EXPECT_EQ(KeyFromName("g10"), 127);
    EXPECT_EQ(KeyFromName("B5"), 255);
    EXPECT_EQ(KeyFromName(""), 255);

    EXPECT_EQ(PanName(0), "64L");
    EXPECT_EQ(PanName(63), "1L");
    EXPECT_EQ(PanName(64), "0");
    EXPECT_EQ(PanName(127), "63R");
    EXPECT_EQ(PanName(200), "");
    EXPECT_EQ(PanFromName(" 64l"), -64);
    EXPECT_EQ(PanFromName("0"), 0);
    EXPECT_EQ(PanFromName("63 R"), 63);
    EXPECT_EQ(PanFromName("65R"), 1000);

    EXPECT_EQ(MessageKindName(0x93), "Vel.On");
    EXPECT_EQ(MessageKindName(0x80), "Vel.Off");
    EXPECT_EQ(MessageKindName(0xEF), "Bender");
    EXPECT_EQ(MessageKindName(0xF8), "");
    EXPECT_EQ(MessageKindName(0x40), "");
}
