#pragma once
// A device set on a virtual backend with a manual clock: two outputs, two inputs.

#include "devices/MidiDevices.h"
#include "devices/virtual/VirtualBackend.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class CDeviceFixture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(devices.Start(backend, error), 1) << error; }

    // Opens output driver 0 and routes "Out1" to it.
    CMidiOutDriver& OpenOut0()
    {
        EXPECT_EQ(devices.OpenOutputDriver(0, error), 1);
        EXPECT_EQ(devices.RouteOutputPort(0, 0, error), 1);
        return *devices.GetOutDriver(0);
    }

    // The status bytes sent to an output, in order.
    std::vector<int> Statuses(int32_t output) const
    {
        std::vector<int> statuses;
        for (const SMidiOutRecord& r : backend.GetSent(output))
            statuses.push_back(r.bytes[0]);
        return statuses;
    }

    CVirtualBackend backend{{"Synth A [Emulated]", "Synth B"}, {"Keys", "Pads"}};
    CMidiDevices devices;
    std::string error;
};
