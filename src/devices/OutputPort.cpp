#include "devices/OutputPort.h"

#include "devices/InstrumentSource.h"

namespace {
constexpr uint8_t kControlChange = 0xB0;
constexpr uint8_t kProgramChange = 0xC0;
constexpr uint8_t kVolume = 7;
constexpr uint8_t kPan = 10;

// Calls fn(source, settings) for each instrument source among node's inputs on channel, in
// connection order, until fn returns false.
template <class Fn> void ForEachSourceOn(const CMidiNode& node, uint8_t channel, Fn fn)
{
    for (CMidiNode* input : node.GetInputs()) {
        auto* source = dynamic_cast<CInstrumentSource*>(input);
        if (!source || source->GetInstrumentChannel() != channel) continue;
        if (!fn(*source, source->GetInstrumentSettings())) return;
    }
}
} // namespace

COutputPort::COutputPort(int32_t index) { SetNodeName("Out" + std::to_string(index + 1)); }

ENodeKind COutputPort::GetKind() const { return ENodeKind::OutputPort; }

std::string COutputPort::GetName() const
{
    const CMidiNode* output = GetFirstOutput();
    return GetNodeName() + ": " + (output ? output->GetName() : std::string("<no driver>"));
}

int COutputPort::SetParameter(int32_t code, intptr_t value, intptr_t)
{
    if (code < kParamSendProgram || code > kParamSendPan) return 0;
    if (value < 0 || value > 15) return 1; // known code, but no such channel: nothing to send
    const auto channel = static_cast<uint8_t>(value);
    if (code == kParamSendProgram) {
        SendProgram(channel);
    } else {
        SendController(channel, code == kParamSendVolume ? kVolume : kPan);
    }
    return 1;
}

void COutputPort::SendProgram(uint8_t channel)
{
    // Only the first track on the channel counts, even when its program is not set.
    uint8_t program = SInstrumentSettings::kUnset;
    ForEachSourceOn(*this, channel, [&](CInstrumentSource&, const SInstrumentSettings& settings) {
        program = settings.program;
        return false;
    });
    if (program > 127) return;
    CMidiMsgList events;
    events.Append(CMidiMsg::Make(kProgramChange | channel, program));
    ForwardEvents(events);
}

void COutputPort::SendController(uint8_t channel, uint8_t controller)
{
    const bool volume = controller == kVolume;
    uint8_t value = SInstrumentSettings::kUnset;
    ForEachSourceOn(*this, channel, [&](CInstrumentSource&, const SInstrumentSettings& settings) {
        value = volume ? settings.volume : settings.pan;
        return value == SInstrumentSettings::kUnset;
    });
    if (value > 127) return;
    CMidiMsgList events;
    events.Append(CMidiMsg::Make(kControlChange | channel, controller, value));
    ForwardEvents(events);
    const auto feedback = volume ? EInstrumentFeedback::Volume : EInstrumentFeedback::Pan;
    ForEachSourceOn(*this, channel, [&](CInstrumentSource& source, const SInstrumentSettings&) {
        source.OnInstrumentSent(feedback, value);
        return true;
    });
}
