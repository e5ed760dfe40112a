#include "CliRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <unistd.h>

TEST(CliDevices, ListsTheVirtualDevicesUnderTheirHeadingsAndRefusesUnknownBackends)
{
    const CliResult listed = RunCli({"devices", "--midi", "virtual"});
    EXPECT_EQ(listed.status, 0) << listed.err;
    // The synthesizer's line may say why it cannot sound (CliSynth tests that).
    const std::string head = "Outputs:\n  0  Virtual Out\n  1  Tonalweaver Synth";
    const std::string tail = "\nInputs:\n  0  Virtual In\n";
    EXPECT_EQ(listed.out.substr(0, head.size()), head) << listed.out;
    ASSERT_GE(listed.out.size(), head.size() + tail.size());
    EXPECT_EQ(listed.out.substr(listed.out.size() - tail.size()), tail) << listed.out;
    EXPECT_EQ(std::count(listed.out.begin(), listed.out.end(), '\n'), 5) << listed.out;

    const CliResult unknown = RunCli({"devices", "--midi", "coreaudio"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("--midi takes jack|alsa|virtual"), std::string::npos);
    EXPECT_EQ(RunCli({"devices", "extra"}).status, 2);
}

TEST(CliDevices, AMidiSystemNamedButMissingIsAnErrorWithItsReason)
{
    if (access("/dev/snd/seq", R_OK | W_OK) == 0) GTEST_SKIP() << "this machine has /dev/snd/seq";
    const CliResult alsa = RunCli({"devices", "--midi", "alsa"});
    EXPECT_EQ(alsa.status, 1);
    EXPECT_EQ(alsa.out, "");
    EXPECT_NE(alsa.err.find("The ALSA sequencer is not available."), std::string::npos) << alsa.err;
}
