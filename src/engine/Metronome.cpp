#include "engine/Metronome.h"

#include "engine/MidiEngine.h"

namespace {
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kReleaseVelocity = 127;
} // namespace

CMetronome::CMetronome(const CMidiEngine& engine) : m_engine(engine)
{
    SetNodeName("Metronome");
}

CMetronome::~CMetronome()
{
    DisconnectAll(this);
}

int CMetronome::SetParameter(int32_t code, intptr_t value, intptr_t /*extra*/)
{
    if (code < kActive || code > kBeatChannel) return 0;
    Flush(); // a click sounding now must not outlive the setting that made it
    const auto byte = static_cast<uint8_t>(value);
    switch (code) {
    case kActive:
        m_active = value != 0;
        break;
    case kOutput: {
        const auto* address = reinterpret_cast<const CNodeAddress*>(value);
        m_output = address != nullptr ? *address : CNodeAddress{};
        DisconnectOutputs(this);
        CMidiNode* node = m_engine.ResolveAddress(m_output);
        if (node != this) Connect(this, node);
        break;
    }
    case kBarKey:
        m_bar.key = byte;
        break;
    case kBarVelocity:
        m_bar.velocity = byte;
        break;
    case kBarChannel:
        m_bar.channel = byte & 0x0F;
        break;
    case kBeatKey:
        m_beat.key = byte;
        break;
    case kBeatVelocity:
        m_beat.velocity = byte;
        break;
    case kBeatChannel:
        m_beat.channel = byte & 0x0F;
        break;
    }
    return 1;
}

intptr_t CMetronome::GetParameter(int32_t code) const
{
    switch (code) {
    case kActive:
        return m_active ? 1 : 0;
    case kOutput:
        return reinterpret_cast<intptr_t>(&m_output);
    case kBarKey:
        return m_bar.key;
    case kBarVelocity:
        return m_bar.velocity;
    case kBarChannel:
        return m_bar.channel;
    case kBeatKey:
        return m_beat.key;
    case kBeatVelocity:
        return m_beat.velocity;
    case kBeatChannel:
        return m_beat.channel;
    default:
        return -1;
    }
}

void CMetronome::Tick(tick position)
{
    CMidiMsgList noteOffs;
    m_pending.MoveIf(noteOffs, [](CMidiMsg& msg) { return --msg.time <= 0; });
    if (!m_active) return;

    CMidiMsgList noteOns;
    const SClick* click = position % kBarTicks == 0    ? &m_bar
                          : position % kBeatTicks == 0 ? &m_beat
                                                       : nullptr;
    if (click != nullptr) {
        noteOns.Append(CMidiMsg::Make(kNoteOn | click->channel, click->key, click->velocity));
        m_pending.Append(
            CMidiMsg::Make(kNoteOff | click->channel, click->key, kReleaseVelocity, kClickTicks));
    }
    Deliver(nullptr, noteOns, noteOffs, CMidiMsgList{});
}

void CMetronome::Flush()
{
    if (m_pending.IsEmpty()) return;
    for (CMidiMsg& msg : m_pending)
        msg.time = 0; // due at the next hand-over, not when the countdown would have ended
    ForwardNoteOffs(m_pending);
    m_pending.Clear();
}
