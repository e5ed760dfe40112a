#include "editing/Transpose.h"

#include <algorithm>

#include "document/ProjectDoc.h"
#include "editing/RandomGenerator.h"

void CModifierTransposeToScale::ModifyNotes(const CNoteList& src, const CNoteArea&, CNoteList& dst)
{
    CopyEdited(src, dst, [this](CNote& note) {
        note.m_pitch = static_cast<uint8_t>(m_scale.Snap(note.m_pitch));
    });
}

void CModifierTransposeRandom::ModifyNotes(const CNoteList& src, const CNoteArea& area,
                                           CNoteList& dst)
{
    const int32_t low = std::clamp(std::min(area.m_pitchA, area.m_pitchB), 0, 127);
    const int32_t high = std::clamp(std::max(area.m_pitchA, area.m_pitchB), 0, 128);
    const int32_t span = high - low;
    CopyEdited(src, dst, [&](CNote& note) {
        if (span <= 0) return;
        note.m_pitch = static_cast<uint8_t>(m_scale.Snap(low + m_random.Next() % span));
    });
}

CNoteArea TransposedArea(const CNoteArea& area, const CNoteList& notes, const CHarmonicScale& scale)
{
    const int32_t edgeA = scale.Snap(area.m_pitchA);
    const int32_t edgeB = scale.Snap(area.m_pitchB);
    CNoteArea joined{std::min(area.m_from, area.m_to), std::min(edgeA, edgeB),
                     std::max(area.m_from, area.m_to), std::max(edgeA, edgeB)};
    if (notes.IsEmpty()) return joined;
    const CNoteBounds bounds = notes.Bounds();
    joined.m_from = std::min(joined.m_from, bounds.m_start);
    joined.m_to = std::max(joined.m_to, bounds.m_end);
    joined.m_pitchA = std::min(joined.m_pitchA, bounds.m_lowPitch);
    joined.m_pitchB = std::max(joined.m_pitchB, bounds.m_highPitch);
    return joined;
}

std::string KeyChoiceText(int key, int mode)
{
    if (mode == 0) return "-";
    return std::string(CHarmonicScale::GetKeyName(key));
}

bool SetProjectScale(CProjectDoc& doc, const CHarmonicScale& scale)
{
    const CHarmonicScale& current = doc.GetScale();
    if (current.GetKey() == scale.GetKey() && current.GetMode() == scale.GetMode()) return false;
    doc.SetScale(scale);
    doc.SetModified(true);
    doc.GetWindows().RefreshAll();
    return true;
}
