#pragma once
// A graph node for tests: remembers every list it receives, and every hook call, in order.

#include "devices/MidiNode.h"

#include <string>
#include <vector>

class CRecordingNode : public CMidiNode {
public:
    enum class EList { NoteOns, NoteOffs, Events };
    struct SReceived {
        EList list;
        std::vector<CMidiMsg> msgs;
        CMidiNode* sender;
    };

    explicit CRecordingNode(std::string name = "Probe", ENodeKind kind = ENodeKind::None)
        : m_kind(kind)
    {
        SetNodeName(std::move(name));
    }
    ~CRecordingNode() override { DisconnectAll(this); }

    ENodeKind GetKind() const override { return m_kind; }
    void ReceiveNoteOns(const CMidiMsgList& list, CMidiNode* sender) override
    {
        Keep(EList::NoteOns, list, sender);
    }
    void ReceiveNoteOffs(const CMidiMsgList& list, CMidiNode* sender) override
    {
        Keep(EList::NoteOffs, list, sender);
    }
    void ReceiveEvents(const CMidiMsgList& list, CMidiNode* sender) override
    {
        Keep(EList::Events, list, sender);
    }
    void OnOutputConnected(CMidiNode* other) override { Hook("out+", other); }
    void OnInputConnected(CMidiNode* other) override { Hook("in+", other); }
    void OnOutputDisconnected(CMidiNode* other) override { Hook("out-", other); }
    void OnInputDisconnected(CMidiNode* other) override { Hook("in-", other); }

    // Every message of one list kind, in arrival order.
    std::vector<CMidiMsg> All(EList list) const
    {
        std::vector<CMidiMsg> all;
        for (const SReceived& r : received) {
            if (r.list == list) all.insert(all.end(), r.msgs.begin(), r.msgs.end());
        }
        return all;
    }

    std::vector<SReceived> received;
    std::vector<std::string> hooks; // "out+ Name", "in- Name", ...

private:
    void Keep(EList kind, const CMidiMsgList& list, CMidiNode* sender)
    {
        received.push_back(
            SReceived{kind, std::vector<CMidiMsg>(list.begin(), list.end()), sender});
    }
    void Hook(const char* what, CMidiNode* other)
    {
        hooks.push_back(std::string(what) + " " + other->GetNodeName());
    }

    ENodeKind m_kind;
};

// A list from messages, for brevity.
inline CMidiMsgList MakeList(std::initializer_list<CMidiMsg> msgs)
{
    CMidiMsgList list;
    for (const CMidiMsg& msg : msgs)
        list.Append(msg);
    return list;
}
