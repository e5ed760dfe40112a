// Raw bytes from a MIDI input device: parsed by the input driver and passed through an input port
// and "Rec" (with a channel filter on one of them) to the graph. Any byte stream must be taken
// without crashing, and only whole channel messages may come out.

#include "devices/InputFilterNode.h"
#include "devices/MidiDevices.h"
#include "devices/MidiNode.h"
#include "devices/virtual/VirtualBackend.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Checks every message that reaches it: a channel voice status and data bytes below 0x80.
class CCheckNode : public CMidiNode {
public:
    void ReceiveNoteOns(const CMidiMsgList& list, CMidiNode*) override { Check(list); }
    void ReceiveNoteOffs(const CMidiMsgList& list, CMidiNode*) override { Check(list); }
    void ReceiveEvents(const CMidiMsgList& list, CMidiNode*) override { Check(list); }

private:
    static void Check(const CMidiMsgList& list)
    {
        for (const CMidiMsg& m : list) {
            if (m.status < 0x80 || m.status >= 0xF0 || m.data1 >= 0x80 || m.data2 >= 0x80)
                std::abort();
            // The length must be the one the status byte has on the wire.
            if (m.length != CMidiMsg::LengthOf(m.status)) std::abort();
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    CVirtualBackend backend({"Out"}, {"Keys"});
    CMidiDevices devices;
    std::string error;
    if (devices.Start(backend, error) != 1) std::abort();
    if (devices.OpenInputDriver(0, error) != 1 || devices.RouteInputPort(0, 0, error) != 1 ||
        devices.RouteRecordNode(0, error) != 1)
        std::abort();
    // The first byte picks the port's channel filter (values past 16 mean "all").
    devices.GetInputPort(0)->SetParameter(CInputFilterNode::kParamChannelFilter, data[0] % 18, 0);
    CCheckNode check;
    Connect(devices.GetInputPort(0), &check);
    Connect(&devices.GetRecordNode(), &check);

    // Feed the rest in a few pieces, polling between them as the music thread would.
    const std::vector<uint8_t> bytes(data + 1, data + size);
    const size_t piece = bytes.size() / 3 + 1;
    for (size_t at = 0; at < bytes.size(); at += piece) {
        const size_t end = std::min(bytes.size(), at + piece);
        backend.InjectInput(0, std::vector<uint8_t>(bytes.begin() + at, bytes.begin() + end),
                            static_cast<int32_t>(at));
        devices.PollInputs();
    }
    // Closing the input ends every note it started at the port and at "Rec".
    devices.Stop();
    if (devices.GetInputPort(0)->GetHeldCount() != 0 || devices.GetRecordNode().GetHeldCount() != 0)
        std::abort();
    return 0;
}
