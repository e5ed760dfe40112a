#include "editors/PianoRollContext.h"

#include <algorithm>

#include "document/ProjectDoc.h"
#include "editing/PhraseOperations.h"
#include "model/HarmonicScale.h"
#include "model/MidiData.h"
#include "model/Phrase.h"

CPianoRollContext::CPianoRollContext(CProjectDoc& doc, CMidiData& data, QObject* parent)
    : QObject(parent), m_doc(doc), m_data(&data), m_snap(doc.GetEditDefaults().m_pianoRollSnap),
      m_grid(doc.GetEditDefaults().m_pianoRollGrid)
{
    if (m_snap.GetTicks() < 0) m_snap = CNoteValue();
    if (m_grid.GetTicks() < 0) m_grid = CNoteValue();
    m_defaultNote.m_length = std::max<tick>(1, m_snap.GetTicks());
    m_cursor.m_length = m_defaultNote.m_length;
    m_geometry.SetLength(data.GetLength());
    m_shown = doc.GetSongPosition();
}

void CPianoRollContext::SetData(CMidiData& data)
{
    m_data = &data;
    UpdateContent();
    emit ContentChanged();
}

bool CPianoRollContext::IsClip() const
{
    return m_data->IsClip();
}

tick CPianoRollContext::GetOffset() const
{
    return m_data->GetStart();
}

tick CPianoRollContext::GetLength() const
{
    return m_data->GetLength();
}

const CHarmonicScale& CPianoRollContext::Scale() const
{
    if (m_data->IsPhrase() && IsDrumPhrase(static_cast<const CPhrase&>(*m_data)))
        return CHarmonicScale::Neutral();
    return m_doc.GetScale();
}

void CPianoRollContext::UpdateContent()
{
    const tick origin = m_geometry.GetOriginTick();
    const tick content = m_geometry.GetContentTicks();
    m_geometry.SetLength(m_data->GetLength());
    // A shorter phrase pulls the cursor in; the view stays where the user put it.
    const CPianoRollCursor from = m_cursor;
    m_cursor.m_tick = std::clamp<tick>(m_cursor.m_tick, 0, CursorLastTick());
    if (!(from == m_cursor)) emit CursorMoved(from);
    if (origin != m_geometry.GetOriginTick() || content != m_geometry.GetContentTicks())
        emit ViewChanged();
}

void CPianoRollContext::SetOriginTick(tick origin)
{
    if (m_geometry.SetOriginTick(origin)) emit ViewChanged();
}

void CPianoRollContext::SetOriginPitch(int32_t pitch)
{
    if (m_geometry.SetOriginPitch(pitch)) emit ViewChanged();
}

void CPianoRollContext::MakeVisible(tick at, int32_t pitch)
{
    if (m_geometry.MakeVisible(at, pitch)) emit ViewChanged();
}

void CPianoRollContext::ZoomHorizontal(int direction)
{
    if (m_geometry.ZoomHorizontal(direction)) emit ViewChanged();
}

void CPianoRollContext::ZoomVertical(int direction)
{
    if (m_geometry.ZoomVertical(direction)) emit ViewChanged();
}

void CPianoRollContext::ZoomHorizontalAt(int direction, int32_t x)
{
    const tick anchor = m_geometry.XToTick(x);
    if (!m_geometry.ZoomHorizontal(direction)) return;
    m_geometry.SetOriginTick(anchor - m_geometry.XToTick(x) + m_geometry.GetOriginTick());
    emit ViewChanged();
}

tick CPianoRollContext::CursorLastTick() const
{
    return ::CursorLastTick(m_data->GetLength(), m_cursor.m_length);
}

void CPianoRollContext::SetCursor(tick at, int32_t pitch)
{
    const CPianoRollCursor from = m_cursor;
    m_cursor.m_tick = std::clamp<tick>(at, 0, CursorLastTick());
    m_cursor.m_pitch = std::clamp(pitch, 0, 127);
    MakeVisible(m_cursor.m_tick, m_cursor.m_pitch);
    if (!(from == m_cursor)) emit CursorMoved(from);
}

void CPianoRollContext::SetCursorLength(tick length)
{
    const CPianoRollCursor from = m_cursor;
    m_cursor.m_length = std::clamp<tick>(length, 1, kOpenEnd);
    m_cursor.m_tick = std::clamp<tick>(m_cursor.m_tick, 0, CursorLastTick());
    if (!(from == m_cursor)) emit CursorMoved(from);
}

void CPianoRollContext::SetSnap(CNoteValue snap)
{
    if (snap.GetTicks() < 0) snap = CNoteValue();
    if (snap == m_snap) return;
    m_snap = snap;
    emit SnapChanged();
}

void CPianoRollContext::SetGrid(CNoteValue grid)
{
    if (grid.GetTicks() < 0) grid = CNoteValue();
    if (grid == m_grid) return;
    m_grid = grid;
    emit GridChanged();
}

tick CPianoRollContext::TicksPerBeat() const
{
    return std::max<tick>(1, m_doc.GetTimeSignature().GetTicksPerBeat());
}

tick CPianoRollContext::TicksPerBar() const
{
    return std::max<tick>(1, m_doc.GetTimeSignature().GetTicksPerBar());
}

tick CPianoRollContext::LargeStep() const
{
    return std::max(GridUnit(), TicksPerBeat());
}

void CPianoRollContext::SetEditType(ENoteEditType type)
{
    const auto value = std::clamp(static_cast<int32_t>(type), 1, 5);
    type = static_cast<ENoteEditType>(value);
    if (type == m_editType) return;
    m_editType = type;
    emit EditTypeChanged();
}

void CPianoRollContext::SetDefaultNote(const CDefaultNote& note)
{
    CDefaultNote kept = note;
    kept.m_length = std::clamp<tick>(note.m_length, 1, kOpenEnd);
    kept.m_velocity = std::clamp<uint8_t>(note.m_velocity, 1, 127);
    kept.m_offVelocity = std::clamp<uint8_t>(note.m_offVelocity, 1, 127);
    if (kept == m_defaultNote) return;
    m_defaultNote = kept;
    SetCursorLength(kept.m_length);
    emit DefaultNoteChanged();
}

void CPianoRollContext::SetDefaultEventValues(uint8_t value, uint8_t second)
{
    m_eventValue = std::min<uint8_t>(value, 127);
    m_secondEventValue = std::min<uint8_t>(second, 127);
}

void CPianoRollContext::ProjectPositionChanged()
{
    const tick from = m_shown;
    m_shown = m_doc.GetSongPosition();
    if (from == m_shown) return;
    emit ShownPositionChanged(from, m_shown);
    if (!m_follow) return;
    // Page when the playing position leaves the view (only while it is inside the phrase).
    const tick at = m_shown - GetOffset();
    if (at < 0 || at > m_data->GetLength()) return;
    const tick left = m_geometry.GetOriginTick();
    if (at >= left + m_geometry.VisibleTicks() || at < left) SetOriginTick(at);
}

void CPianoRollContext::SetSongPosition(tick at)
{
    m_doc.SetSongPosition(std::clamp<tick>(at, 0, kOpenEnd));
    // Every window of the project shows the new position, this one included.
    m_doc.GetWindows().SongPositionChanged();
    ProjectPositionChanged();
}

void CPianoRollContext::BeginBatch()
{
    if (m_batch++ == 0) emit BatchBegun();
}

void CPianoRollContext::EndBatch()
{
    if (m_batch > 0 && --m_batch == 0) emit BatchEnded();
}
