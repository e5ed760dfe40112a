// Packets from the session manager's socket: decoded as OSC and handed to the session client,
// one after another so that its state (announced, open) carries over. Any bytes must be taken
// without crashing, and everything the client answers must be a well-formed message of the
// protocol.

#include "document/SessionClient.h"
#include "session/OscLink.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

namespace {

class CCheckedTransport : public CSessionTransport {
public:
    void Send(const SOscMessage& message) override
    {
        static const std::set<std::string> states = {"/nsm/client/is_dirty", "/nsm/client/is_clean",
                                                     "/nsm/client/gui_is_shown",
                                                     "/nsm/client/gui_is_hidden"};
        const std::string types = message.Types();
        const bool ok = (message.path == "/reply" && types == "ss") ||
                        (message.path == "/error" && types == "sis" && message.args[1].i < 0) ||
                        (states.count(message.path) == 1 && types.empty()) ||
                        (message.path == "/nsm/server/announce" && types == "sssiii");
        if (!ok) std::abort();
    }
};

// Never touches the disk: opening and saving succeed or fail as the first byte says.
class CFuzzHost : public CSessionHost {
public:
    explicit CFuzzHost(uint8_t flags) : m_flags(flags) {}
    bool OpenSessionProject(const std::string&, bool, const std::string&,
                            std::string& error) override
    {
        error = "no";
        return (m_flags & 1) != 0;
    }
    bool SaveSessionProject(std::string& error) override
    {
        error = "no";
        return (m_flags & 2) != 0;
    }
    void ShowGui(bool) override {}

private:
    uint8_t m_flags;
};

} // namespace

// Layout: one byte of host behaviour, then packets, each after its 16-bit big-endian length.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    CCheckedTransport transport;
    CFuzzHost host(data[0]);
    CSessionClient client(transport, host);
    client.Announce("Tonalweaver", "tonalweaver", 1);
    size_t at = 1;
    while (at + 2 <= size) {
        const size_t length =
            std::min<size_t>((size_t{data[at]} << 8) | data[at + 1], size - at - 2);
        at += 2;
        SOscMessage message;
        if (DecodeOscPacket(data + at, length, message)) client.Receive(message);
        client.SetDirty((data[at - 1] & 1) != 0);
        client.SetGuiShown((data[at - 1] & 2) != 0);
        at += length;
    }
    return 0;
}
