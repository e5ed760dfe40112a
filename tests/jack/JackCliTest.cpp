#include "JackTestServer.h"
#include "cli/CliRunner.h"

#include "devices/BackendChoice.h"

#include <gtest/gtest.h>

// With a server running, JACK is the default and the devices are the other clients' ports.
TEST(JackCli, DevicesListsThePortsOfTheRunningServerByDefault)
{
    CJackTestServer server;
    ASSERT_TRUE(server.IsRunning());
    CJackPeer peer("twkeys");
    ASSERT_TRUE(peer.IsOpen());
    EXPECT_EQ(DefaultMidiBackend(), EMidiBackendKind::Jack);

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"devices"}, {"devices", "--midi", "jack"}}) {
        const CliResult result = RunCli(args);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out,
                  "Outputs:\n  0  twkeys:in\n  1  Tonalweaver Synth\nInputs:\n  0  twkeys:out\n");
    }
}
