#include "CliRunner.h"

#include <gtest/gtest.h>

TEST(CliDevices, ListsTheVirtualDevicesUnderTheirHeadingsAndRefusesUnknownBackends)
{
    const CliResult listed = RunCli({"devices", "--midi", "virtual"});
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out, "Outputs:\n  0  Virtual Out\n  1  Tonalweaver Synth\nInputs:\n  0  "
                          "Virtual In\n");

    const CliResult unknown = RunCli({"devices", "--midi", "coreaudio"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("--midi takes jack|alsa|virtual"), std::string::npos);
    EXPECT_EQ(RunCli({"devices", "extra"}).status, 2);
}
