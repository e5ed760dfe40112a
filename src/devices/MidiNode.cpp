#include "devices/MidiNode.h"

#include <algorithm>

namespace {
constexpr size_t kInitialConnections = 4; // most nodes have one or two; avoids early growth

void Erase(std::vector<CMidiNode*>& nodes, const CMidiNode* node)
{
    auto it = std::find(nodes.begin(), nodes.end(), node);
    if (it != nodes.end()) nodes.erase(it);
}
} // namespace

CMidiNode::CMidiNode()
{
    m_outputs.reserve(kInitialConnections);
    m_inputs.reserve(kInitialConnections);
}

CMidiNode::~CMidiNode() { DisconnectAll(this); }

std::string CMidiNode::GetName() const { return m_name; }

ENodeKind CMidiNode::GetKind() const { return ENodeKind::None; }

int CMidiNode::SetParameter(int32_t, intptr_t, intptr_t) { return 0; }

intptr_t CMidiNode::GetParameter(int32_t) const { return -1; }

void CMidiNode::ReceiveNoteOns(const CMidiMsgList& list, CMidiNode*) { ForwardNoteOns(list); }

void CMidiNode::ReceiveNoteOffs(const CMidiMsgList& list, CMidiNode*) { ForwardNoteOffs(list); }

void CMidiNode::ReceiveEvents(const CMidiMsgList& list, CMidiNode*) { ForwardEvents(list); }

void CMidiNode::OnOutputConnected(CMidiNode*) {}
void CMidiNode::OnInputConnected(CMidiNode*) {}
void CMidiNode::OnOutputDisconnected(CMidiNode*) {}
void CMidiNode::OnInputDisconnected(CMidiNode*) {}

// Indexing (not iterators) keeps the walk defined should a receiver change the graph.
void CMidiNode::ForwardNoteOns(const CMidiMsgList& list)
{
    for (size_t i = 0; i < m_outputs.size(); ++i) m_outputs[i]->ReceiveNoteOns(list, this);
}

void CMidiNode::ForwardNoteOffs(const CMidiMsgList& list)
{
    for (size_t i = 0; i < m_outputs.size(); ++i) m_outputs[i]->ReceiveNoteOffs(list, this);
}

void CMidiNode::ForwardEvents(const CMidiMsgList& list)
{
    for (size_t i = 0; i < m_outputs.size(); ++i) m_outputs[i]->ReceiveEvents(list, this);
}

void CMidiNode::Deliver(CMidiNode* target, const CMidiMsgList& noteOns,
                        const CMidiMsgList& noteOffs, const CMidiMsgList& events)
{
    if (!noteOns.IsEmpty()) {
        if (target) {
            target->ReceiveNoteOns(noteOns, this);
        } else {
            ForwardNoteOns(noteOns);
        }
    }
    if (!noteOffs.IsEmpty()) {
        if (target) {
            target->ReceiveNoteOffs(noteOffs, this);
        } else {
            ForwardNoteOffs(noteOffs);
        }
    }
    if (!events.IsEmpty()) {
        if (target) {
            target->ReceiveEvents(events, this);
        } else {
            ForwardEvents(events);
        }
    }
}

void CMidiNode::Flush() {}

void CMidiNode::Poll() {}

bool CMidiNode::HasOutput(const CMidiNode* node) const
{
    return std::find(m_outputs.begin(), m_outputs.end(), node) != m_outputs.end();
}

bool CMidiNode::HasInput(const CMidiNode* node) const
{
    return std::find(m_inputs.begin(), m_inputs.end(), node) != m_inputs.end();
}

bool Connect(CMidiNode* from, CMidiNode* to)
{
    if (!from || !to || from->HasOutput(to)) return false;
    from->m_outputs.push_back(to);
    to->m_inputs.push_back(from);
    from->OnOutputConnected(to);
    to->OnInputConnected(from);
    return true;
}

bool Disconnect(CMidiNode* from, CMidiNode* to)
{
    if (!from || !to || !from->HasOutput(to)) return false;
    from->OnOutputDisconnected(to);
    to->OnInputDisconnected(from);
    Erase(from->m_outputs, to);
    Erase(to->m_inputs, from);
    return true;
}

void DisconnectOutputs(CMidiNode* node)
{
    if (!node) return;
    while (CMidiNode* other = node->GetFirstOutput()) Disconnect(node, other);
}

void DisconnectInputs(CMidiNode* node)
{
    if (!node) return;
    while (CMidiNode* other = node->GetFirstInput()) Disconnect(other, node);
}

void DisconnectAll(CMidiNode* node)
{
    DisconnectOutputs(node);
    DisconnectInputs(node);
}
