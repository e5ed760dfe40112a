#include "editors/TracksContext.h"

#include <algorithm>

#include "document/ProjectDoc.h"
#include "model/Track.h"
#include "model/TrackList.h"

namespace {

tick SongEnd(const CProjectDoc& doc)
{
    const CTrackList& tracks = doc.GetTracks();
    int64_t end = 0;
    for (int32_t i = 0; i < tracks.GetCount(); ++i)
        end = std::max<int64_t>(end, tracks.GetAt(i)->GetEnd());
    return static_cast<tick>(std::min<int64_t>(end, kOpenEnd));
}

} // namespace

CTracksContext::CTracksContext(CProjectDoc& doc, QObject* parent)
    : QObject(parent), m_doc(doc), m_shown(doc.GetSongPosition())
{
    m_geometry.SetContent(SongEnd(doc), doc.GetTracks().GetCount());
}

void CTracksContext::UpdateContent()
{
    const tick left = m_geometry.GetLeftTick();
    const int32_t first = m_geometry.GetFirstRow();
    const tick contentTicks = m_geometry.GetContentTicks();
    const int32_t rows = m_geometry.GetContentRows();
    m_geometry.SetContent(SongEnd(m_doc), m_doc.GetTracks().GetCount());
    if (m_currentTrack >= m_doc.GetTracks().GetCount()) SetCurrentTrack(-1);
    if (left != m_geometry.GetLeftTick() || first != m_geometry.GetFirstRow() ||
        contentTicks != m_geometry.GetContentTicks() || rows != m_geometry.GetContentRows())
        emit ViewChanged();
}

void CTracksContext::SetLeftTick(tick left)
{
    if (m_geometry.SetLeftTick(left)) emit ViewChanged();
}

void CTracksContext::SetFirstRow(int32_t row)
{
    if (m_geometry.SetFirstRow(row)) emit ViewChanged();
}

void CTracksContext::MakeVisible(tick at, int32_t row)
{
    if (m_geometry.MakeVisible(at, row)) emit ViewChanged();
}

void CTracksContext::ZoomHorizontal(int direction)
{
    if (m_geometry.ZoomHorizontal(direction)) emit ViewChanged();
}

void CTracksContext::ZoomVertical(int direction)
{
    if (m_geometry.ZoomVertical(direction)) emit ViewChanged();
}

void CTracksContext::ZoomHorizontalAt(int direction, int32_t x)
{
    const tick anchor = m_geometry.XToTick(x);
    if (!m_geometry.ZoomHorizontal(direction)) return;
    m_geometry.SetLeftTick(anchor - m_geometry.XToTick(x) + m_geometry.GetLeftTick());
    emit ViewChanged();
}

void CTracksContext::SetEditMode(ETracksEditMode mode)
{
    if (mode == m_editMode) return;
    m_editMode = mode;
    emit EditModeChanged();
}

void CTracksContext::SetSnap(CNoteValue snap)
{
    if (snap.GetTicks() < 0) snap = CNoteValue();
    if (snap == m_snap) return;
    m_snap = snap;
    emit SnapChanged();
}

tick CTracksContext::TicksPerBar() const
{
    return m_doc.GetTimeSignature().GetTicksPerBar();
}

CTrack* CTracksContext::GetCurrentTrackObject() const
{
    CTrackList& tracks = m_doc.GetTracks();
    return m_currentTrack >= 0 && m_currentTrack < tracks.GetCount() ? tracks.GetAt(m_currentTrack)
                                                                     : nullptr;
}

void CTracksContext::SetCurrentTrack(int32_t index)
{
    if (index < -1 || index >= m_doc.GetTracks().GetCount()) index = -1;
    if (index == m_currentTrack) return;
    m_currentTrack = index;
    emit CurrentTrackChanged(index);
}

tick CTracksContext::GetShownPosition() const
{
    return m_positionDrag ? m_draggedPosition : m_doc.GetSongPosition();
}

void CTracksContext::ShowPosition()
{
    const tick from = m_shown;
    m_shown = GetShownPosition();
    if (from != m_shown) emit ShownPositionChanged(from, m_shown);
}

void CTracksContext::DragPosition(tick at)
{
    m_positionDrag = true;
    m_draggedPosition = std::clamp<tick>(at, 0, kOpenEnd);
    ShowPosition();
}

void CTracksContext::EndPositionDrag(bool commit)
{
    if (!m_positionDrag) return;
    m_positionDrag = false;
    if (commit)
        SetSongPosition(SnapNearest(m_draggedPosition));
    else
        ShowPosition();
}

void CTracksContext::SetSongPosition(tick at)
{
    m_doc.SetSongPosition(std::clamp<tick>(at, 0, kOpenEnd));
    ShowPosition();
}

void CTracksContext::ProjectPositionChanged()
{
    ShowPosition();
    if (!m_follow || m_positionDrag) return;
    // Page when the playing position leaves the view on the right (or jumps left of it).
    const tick at = m_shown;
    if (at >= m_geometry.GetRightTick() || at < m_geometry.GetLeftTick()) SetLeftTick(at);
}

void CTracksContext::BeginBatch()
{
    if (m_batch++ == 0) emit BatchBegun();
}

void CTracksContext::EndBatch()
{
    if (m_batch > 0 && --m_batch == 0) emit BatchEnded();
}
