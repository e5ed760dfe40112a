#include "devices/InputFilterNode.h"

namespace {
constexpr uint8_t kNoteOff = 0x80;

bool SameNote(const CMidiMsg& a, const CMidiMsg& b)
{
    return (a.status & 0x0F) == (b.status & 0x0F) && a.data1 == b.data1;
}
} // namespace

CInputFilterNode::~CInputFilterNode()
{
    DisconnectAll(this);
}

std::string CInputFilterNode::GetName() const
{
    const CMidiNode* input = GetFirstInput();
    return GetNodeName() + ": " + (input ? input->GetName() : std::string());
}

int CInputFilterNode::SetParameter(int32_t code, intptr_t value, intptr_t)
{
    if (code != kParamChannelFilter) return 0;
    const uint8_t filter = (value >= 0 && value <= 15) ? static_cast<uint8_t>(value) : kAllChannels;
    if (filter != m_filter) {
        ReleaseHeldNotes();
        m_filter = filter;
    }
    return 1;
}

intptr_t CInputFilterNode::GetParameter(int32_t code) const
{
    return code == kParamChannelFilter ? m_filter : -1;
}

bool CInputFilterNode::Passes(const CMidiMsg& msg) const
{
    return m_filter > 15 || (msg.status & 0x0F) == m_filter;
}

const CMidiMsgList& CInputFilterNode::Filter(const CMidiMsgList& list, CMidiMsgList& kept) const
{
    if (m_filter > 15) return list;
    for (const CMidiMsg& msg : list) {
        if (Passes(msg)) kept.Append(msg);
    }
    return kept;
}

void CInputFilterNode::ReceiveNoteOns(const CMidiMsgList& list, CMidiNode*)
{
    CMidiMsgList kept;
    const CMidiMsgList& pass = Filter(list, kept);
    if (pass.IsEmpty()) return;
    if (CaptureNoteOns(pass)) return;
    ForwardNoteOns(pass);
    for (const CMidiMsg& on : pass) {
        m_held.Append(CMidiMsg{kInputStampNow, 3,
                               static_cast<uint8_t>(kNoteOff | (on.status & 0x0F)), on.data1,
                               on.data2});
    }
}

void CInputFilterNode::ReceiveNoteOffs(const CMidiMsgList& list, CMidiNode*)
{
    if (IsCapturing()) return;
    CMidiMsgList kept;
    const CMidiMsgList& pass = Filter(list, kept);
    if (pass.IsEmpty()) return;
    // Matching the channel too keeps a release on one channel from ending a note on another.
    for (const CMidiMsg& off : pass) {
        m_held.RemoveFirst([&off](const CMidiMsg& held) { return SameNote(held, off); });
    }
    ForwardNoteOffs(pass);
}

void CInputFilterNode::ReceiveEvents(const CMidiMsgList& list, CMidiNode*)
{
    if (IsCapturing()) return;
    CMidiMsgList kept;
    const CMidiMsgList& pass = Filter(list, kept);
    if (!pass.IsEmpty()) ForwardEvents(pass);
}

void CInputFilterNode::OnInputDisconnected(CMidiNode*)
{
    ReleaseHeldNotes();
}

void CInputFilterNode::Flush()
{
    ReleaseHeldNotes();
}

void CInputFilterNode::ReleaseHeldNotes()
{
    if (m_held.IsEmpty()) return;
    // Taken out first, so a receiver that loops back here finds nothing left to release.
    CMidiMsgList held(std::move(m_held));
    ForwardNoteOffs(held);
}

bool CInputFilterNode::CaptureNoteOns(const CMidiMsgList&)
{
    return false;
}

bool CInputFilterNode::IsCapturing() const
{
    return false;
}
