// A session manager names our JACK client: the name holds for the backends made afterwards.

#include "JackTestServer.h"

#include "devices/BackendChoice.h"
#include "devices/jack/JackBackend.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(JackClientNameTest, SessionClientIdNamesTheClientAndItsPorts)
{
    CJackTestServer server;
    ASSERT_TRUE(server.IsRunning()) << "jackd could not be started";
    CJackPeer peer("twpeer");
    ASSERT_TRUE(peer.IsOpen());
    for (const std::string name : {"Tonalweaver.nTEST", "Tonalweaver"}) {
        SetMidiClientName(name);
        SetMidiClientName(""); // an empty name keeps the one set
        CJackBackend backend;
        std::string error;
        ASSERT_EQ(backend.Start(error), 1) << error;
        const std::vector<std::string> outputs = backend.GetOutputNames();
        const auto it = std::find(outputs.begin(), outputs.end(), peer.InName());
        ASSERT_NE(it, outputs.end());
        const int32_t out = static_cast<int32_t>(it - outputs.begin());
        ASSERT_EQ(backend.OpenOutput(out, error), 1) << error;
        EXPECT_EQ(backend.GetOwnPortName(true, out).rfind(name + ":", 0), 0u)
            << backend.GetOwnPortName(true, out);
        backend.Stop();
    }
}
