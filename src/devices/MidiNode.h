#pragma once
// The base of every node of the routing graph: drivers, ports, the record node and (in engine/)
// the players, metronome, clock and play control. Nodes pass one tick's output along their output
// connections as three lists: note-ons, note-offs and other events.
//
// Threads: everything here runs on the engine's thread (the music thread, or the caller's thread
// when the engine runs inline). Receive, Forward, Deliver and Flush are on the per-tick path and
// are real-time safe in the base; Connect and Disconnect may allocate (they run for commands).

#include "devices/MidiMsg.h"
#include "model/NodeAddress.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// What GetKind answers; also the first half of a node address.
enum class ENodeKind : int {
    None = 0,
    MidiInDriver = 1,
    MidiOutDriver = 2,
    OutputPort = 3,
    InputPort = 4,
    RecordNode = 5,
    PhrasePlayer = 6,
    TrackPlayer = 7,
    Metronome = 8,
    SequencerClock = 9,
    ClipPlayer = 10,
    PlayControl = 11,
};

// The address of a node of the given kind.
constexpr CNodeAddress NodeAddressOf(ENodeKind kind, int32_t index = 0)
{
    return {static_cast<uint16_t>(kind), index};
}
// The engine's single nodes.
inline constexpr CNodeAddress kClockNode = NodeAddressOf(ENodeKind::SequencerClock);
inline constexpr CNodeAddress kMetronomeNode = NodeAddressOf(ENodeKind::Metronome);
inline constexpr CNodeAddress kPlayControlNode = NodeAddressOf(ENodeKind::PlayControl);
inline constexpr CNodeAddress kRecordNodeAddress = NodeAddressOf(ENodeKind::RecordNode);

class CMidiNode {
public:
    CMidiNode();
    // Disconnects from everything first. The hooks of this node's own subclass no longer run at
    // that point; a subclass that needs them calls DisconnectAll in its own destructor.
    virtual ~CMidiNode();
    CMidiNode(const CMidiNode&) = delete;
    CMidiNode& operator=(const CMidiNode&) = delete;

    // The plain node name ("DefaultDevice" until the subclass names it).
    const std::string& GetNodeName() const { return m_name; }
    void SetNodeName(std::string name) { m_name = std::move(name); }

    // Display name; ports add the name of what they are routed to. Allocates: not for the tick.
    virtual std::string GetName() const;
    virtual ENodeKind GetKind() const;
    // Returns nonzero when the code is known. Parameter words are pointer-sized so that a
    // parameter can carry an object (the record settings, a capture target).
    virtual int SetParameter(int32_t code, intptr_t value, intptr_t extra);
    // The value of a parameter, or -1 for a code this node does not define.
    virtual intptr_t GetParameter(int32_t code) const;

    // One tick's lists arriving from sender (borrowed, may be null for the engine itself). The
    // lists belong to the caller and stay unchanged: a receiver copies what it keeps or passes
    // on. The base passes everything on to all outputs unchanged.
    virtual void ReceiveNoteOns(const CMidiMsgList& list, CMidiNode* sender);
    virtual void ReceiveNoteOffs(const CMidiMsgList& list, CMidiNode* sender);
    virtual void ReceiveEvents(const CMidiMsgList& list, CMidiNode* sender);

    // Called by Connect after both lists hold the connection, and by Disconnect while they still
    // hold it (so a node can still send to the peer it is losing). The base does nothing.
    virtual void OnOutputConnected(CMidiNode* other);
    virtual void OnInputConnected(CMidiNode* other);
    virtual void OnOutputDisconnected(CMidiNode* other);
    virtual void OnInputDisconnected(CMidiNode* other);

    // Sends list to every output, in connection order, with this node as sender.
    virtual void ForwardNoteOns(const CMidiMsgList& list);
    virtual void ForwardNoteOffs(const CMidiMsgList& list);
    virtual void ForwardEvents(const CMidiMsgList& list);

    // Sends each non-empty list, in the order note-ons, note-offs, events, to target or, when
    // target is null, to every output.
    virtual void Deliver(CMidiNode* target, const CMidiMsgList& noteOns,
                         const CMidiMsgList& noteOffs, const CMidiMsgList& events);
    // Sends whatever the node holds back (pending or held note-offs). The base holds nothing.
    virtual void Flush();
    // Work a node does on the engine's poll (input drivers parse their queued input).
    virtual void Poll();

    const std::vector<CMidiNode*>& GetOutputs() const { return m_outputs; } // borrowed nodes
    const std::vector<CMidiNode*>& GetInputs() const { return m_inputs; }   // borrowed nodes
    CMidiNode* GetFirstOutput() const { return m_outputs.empty() ? nullptr : m_outputs.front(); }
    CMidiNode* GetFirstInput() const { return m_inputs.empty() ? nullptr : m_inputs.front(); }
    bool HasOutput(const CMidiNode* node) const;
    // True when `count` more inputs can connect without the input list growing.
    bool HasInputRoom(std::size_t count) const
    {
        return m_inputs.capacity() - m_inputs.size() >= count;
    }
    // Grows the input list's room to `count` connections (never shrinks). Allocates.
    void ReserveInputs(std::size_t count) { m_inputs.reserve(count); }
    bool HasInput(const CMidiNode* node) const;

private:
    friend bool Connect(CMidiNode* from, CMidiNode* to);
    friend bool Disconnect(CMidiNode* from, CMidiNode* to);

    std::string m_name = "DefaultDevice";
    std::vector<CMidiNode*> m_outputs; // nodes this one sends to, no duplicates
    std::vector<CMidiNode*> m_inputs;  // nodes that send to this one, no duplicates
};

// Makes to an output of from (and from an input of to), then calls from's OnOutputConnected and
// to's OnInputConnected. Does nothing and returns false if either is null or the connection
// already exists.
bool Connect(CMidiNode* from, CMidiNode* to);
// Calls from's OnOutputDisconnected and to's OnInputDisconnected, then removes the connection.
// Does nothing and returns false if there is no such connection.
bool Disconnect(CMidiNode* from, CMidiNode* to);
// Disconnects node from each of its outputs (inputs, both) until none is left. Null is ignored.
void DisconnectOutputs(CMidiNode* node);
void DisconnectInputs(CMidiNode* node);
void DisconnectAll(CMidiNode* node);
