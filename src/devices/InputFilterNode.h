#pragma once
// The shared behaviour of the input ports and the record node: a channel filter and the list of
// notes that passed and were not released yet, so that they can be ended when the input goes.
//
// Threads: engine thread; the receive path is real-time safe.

#include "devices/MidiNode.h"

#include <cstdint>
#include <string>

class CInputFilterNode : public CMidiNode {
public:
    static constexpr int32_t kParamChannelFilter = 1;
    static constexpr uint8_t kAllChannels = 255;

    ~CInputFilterNode() override;

    // Node name + ": " + the name of the first input (the driver), or node name + ": ".
    std::string GetName() const override;
    // Code 1: the channel filter 0..15 (any other value means all channels). A change releases
    // the held notes first.
    int SetParameter(int32_t code, intptr_t value, intptr_t extra) override;
    intptr_t GetParameter(int32_t code) const override;

    // Keep only the filter's channel; note-ons are remembered until their note-off passes.
    void ReceiveNoteOns(const CMidiMsgList& list, CMidiNode* sender) override;
    void ReceiveNoteOffs(const CMidiMsgList& list, CMidiNode* sender) override;
    void ReceiveEvents(const CMidiMsgList& list, CMidiNode* sender) override;

    // Losing the driver ends the notes it started, as nothing will release them now.
    void OnInputDisconnected(CMidiNode* other) override;
    // Releases the held notes.
    void Flush() override;

    // Sends every held note's note-off to the outputs and forgets them.
    void ReleaseHeldNotes();
    uint8_t GetChannelFilter() const { return m_filter; }
    int32_t GetHeldCount() const { return m_held.Count(); }

protected:
    CInputFilterNode() = default;

    // Hook for the record node's capture: gets the kept note-ons before they are forwarded;
    // returning true swallows them (and then the node also swallows note-offs and events).
    virtual bool CaptureNoteOns(const CMidiMsgList& kept);
    // True while captured input is swallowed.
    virtual bool IsCapturing() const;

private:
    bool Passes(const CMidiMsg& msg) const;
    // kept becomes the passing part of list, or stays empty when everything passes (then use
    // list itself); returns the list to forward.
    const CMidiMsgList& Filter(const CMidiMsgList& list, CMidiMsgList& kept) const;

    uint8_t m_filter = kAllChannels;
    CMidiMsgList m_held; // a note-off for every note-on that passed and was not released
};
