#include "devices/RecordNode.h"

CRecordNode::CRecordNode() { SetNodeName("Rec"); }

ENodeKind CRecordNode::GetKind() const { return ENodeKind::RecordNode; }

void CRecordNode::SetCaptureSink(CRecordCaptureSink* sink)
{
    if (sink) ReleaseHeldNotes();
    m_capture = sink;
}

bool CRecordNode::CaptureNoteOns(const CMidiMsgList& kept)
{
    if (!m_capture) return false;
    m_capture->CaptureNoteOns(kept);
    return true;
}

bool CRecordNode::IsCapturing() const { return m_capture != nullptr; }
