#pragma once
// "Rec": input for live thru and recording, with a step-entry capture. Engine thread.

#include "devices/InputFilterNode.h"

// Takes the note-ons "Rec" captures for step entry (the engine keeps and posts them).
class CRecordCaptureSink {
public:
    virtual ~CRecordCaptureSink() = default;
    // note-ons that passed the channel filter; time words are the input's ms stamps.
    virtual void CaptureNoteOns(const CMidiMsgList& noteOns) = 0;
};

class CRecordNode : public CInputFilterNode {
public:
    CRecordNode();
    ENodeKind GetKind() const override;

    // Non-null (borrowed): release the held notes, then hand every passing note-on to sink and
    // forward nothing at all. Null: forward normally again.
    void SetCaptureSink(CRecordCaptureSink* sink);
    CRecordCaptureSink* GetCaptureSink() const { return m_capture; }

protected:
    bool CaptureNoteOns(const CMidiMsgList& kept) override;
    bool IsCapturing() const override;

private:
    CRecordCaptureSink* m_capture = nullptr;
};
