#include "engine/EngineFixture.h"

namespace {
class DeviceFaultTest : public EngineFixture {};
} // namespace

// A device that fails while open closes its driver on the next pass, the reason becomes the last
// error, faults of closed devices change nothing, and the device opens again once it is back.
TEST_F(DeviceFaultTest, FailedDevicesCloseTheirDriversWithTheReasonAndReopenLater)
{
    InitialiseWithOutput();
    ASSERT_EQ(proxy.OpenInputDriver(0), 1);
    ASSERT_TRUE(engine.GetDevices().GetInDriver(0)->IsOpen());
    CMidiDevices& devices = engine.GetDevices();

    engine.TimeoutPass();
    EXPECT_EQ(devices.GetFaultCount(), 0) << "nothing failed";

    backend.InjectFault(true, 1, "Synth B has gone."); // never opened: ignored
    backend.InjectFault(true, 0, "Synth A has gone.");
    backend.InjectFault(false, 0, "Keys have gone.");
    backend.InjectFault(false, 7, "No such input."); // out of range: ignored
    engine.TimeoutPass();

    EXPECT_FALSE(devices.GetOutDriver(0)->IsOpen());
    EXPECT_FALSE(backend.IsOutputOpen(0));
    EXPECT_FALSE(devices.GetInDriver(0)->IsOpen());
    EXPECT_FALSE(backend.IsInputOpen(0));
    EXPECT_TRUE(devices.GetOpenOutDrivers().empty());
    EXPECT_EQ(devices.GetFaultCount(), 2);
    EXPECT_EQ(devices.GetLastFault(), "Keys have gone.");
    EXPECT_EQ(engine.GetLastError(), "Keys have gone.");
    EXPECT_EQ(proxy.RouteOutputPort(0, 0), 0) << "a closed driver cannot be routed";

    engine.TimeoutPass();
    EXPECT_EQ(devices.GetFaultCount(), 2) << "each fault counts once";
    ASSERT_EQ(proxy.OpenOutputDriver(0), 1);
    EXPECT_EQ(proxy.RouteOutputPort(0, 0), 1);
    EXPECT_TRUE(backend.IsOutputOpen(0));
}
