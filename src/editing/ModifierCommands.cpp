#include "editing/ModifierCommands.h"

#include <algorithm>
#include <utility>

#include "document/AppOptions.h"
#include "document/ProjectDoc.h"
#include "editing/EventOperations.h"
#include "editing/Modifiers.h"
#include "editing/NoteOperations.h"
#include "editing/RandomGenerator.h"
#include "editing/Transpose.h"
#include "editing/ValueModifiers.h"
#include "model/MidiData.h"

namespace {

// The selection's time range, ascending.
CTimeRange TimeRangeOf(const CNoteArea& area)
{
    return {std::min(area.m_from, area.m_to), std::max(area.m_from, area.m_to)};
}
CTimeRange TimeRangeOf(const CTimeRange& range)
{
    return {std::min(range.m_from, range.m_to), std::max(range.m_from, range.m_to)};
}

// The modifier's notes for the selection, as "Modify Notes" named name, with newArea as the area
// the result covers.
bool ExecuteNotes(CProjectDoc& doc, CMidiData& container, const CNoteList& selected,
                  const CNoteArea& area, CNoteList result, const CNoteArea& newArea,
                  const std::string& name)
{
    return doc.Execute(std::make_unique<COpNotesModifyNamed>(name, container, selected,
                                                             std::move(result), area, newArea));
}

// A transposition's notes, with the area widened to take them.
bool RunTransposition(CProjectDoc& doc, CMidiData& container, const CNoteList& selected,
                      const CNoteArea& area, const CHarmonicScale& scale, CModifier& modifier)
{
    if (selected.IsEmpty()) return false;
    CNoteList result;
    modifier.ModifyNotes(selected, area, result);
    const CNoteArea newArea = TransposedArea(area, result, scale);
    return ExecuteNotes(doc, container, selected, area, std::move(result), newArea,
                        modifier.GetName());
}

std::unique_ptr<CModifier> CurveApplier(EVelocityLane lane, std::unique_ptr<CValueCurve> curve)
{
    if (lane == EVelocityLane::NoteOn)
        return std::make_unique<CModifierCurveVelocities>(std::move(curve));
    return std::make_unique<CModifierCurveOffVelocities>(std::move(curve));
}

std::unique_ptr<CModifier> VelocityScaler(EVelocityLane lane, int32_t percent)
{
    if (lane == EVelocityLane::NoteOn) return std::make_unique<CModifierScaleVelocities>(percent);
    return std::make_unique<CModifierScaleOffVelocities>(percent);
}

} // namespace

// ---- Running a modifier ----

bool RunNoteModifier(CProjectDoc& doc, CMidiData& container, const CNoteList& selected,
                     const CNoteArea& area, CModifier& modifier)
{
    if (selected.IsEmpty()) return false;
    CNoteList result;
    modifier.ModifyNotes(selected, area, result);
    return ExecuteNotes(doc, container, selected, area, std::move(result), area,
                        modifier.GetName());
}

bool RunVelocityModifier(CProjectDoc& doc, CMidiData& container, const CNoteList& selected,
                         const CNoteArea& area, EVelocityLane lane, CModifier& modifier)
{
    if (selected.IsEmpty()) return false;
    CNoteList result;
    modifier.ModifyNotes(selected, area, result);
    if (lane == EVelocityLane::NoteOn)
        return doc.Execute(std::make_unique<COpNotesEditVelocities>(container, selected,
                                                                    std::move(result), area, area));
    return doc.Execute(std::make_unique<COpNotesEditOffVelocities>(container, selected,
                                                                   std::move(result), area, area));
}

bool RunEventModifier(CProjectDoc& doc, CMidiData& container, const CEventList& selected,
                      const CTimeRange& range, CModifier& modifier, const std::string& name)
{
    if (selected.IsEmpty()) return false;
    CEventList result;
    modifier.ModifyEvents(selected, range.m_from, range.m_to, result);
    return doc.Execute(std::make_unique<COpEventsModifyNamed>(name, container, selected,
                                                              std::move(result), range, range));
}

// ---- Piano roll and event editor commands ----

bool QuantizeNotes(CProjectDoc& doc, CMidiData& container, const CNoteList& selected,
                   const CNoteArea& area, CNoteValue startGrid, CNoteValue endGrid)
{
    CModifierQuantizeNotes modifier(container.GetStart(), startGrid, endGrid);
    return RunNoteModifier(doc, container, selected, area, modifier);
}

bool SplitNotesToLength(CProjectDoc& doc, CMidiData& container, const CNoteList& selected,
                        const CNoteArea& area, tick length)
{
    CModifierSplitNotes modifier(length);
    return RunNoteModifier(doc, container, selected, area, modifier);
}

bool RemoveOverlappingNotes(CProjectDoc& doc, CMidiData& container, const CNoteList& selected,
                            const CNoteArea& area)
{
    CModifierRemoveOverlaps modifier;
    return RunNoteModifier(doc, container, selected, area, modifier);
}

bool QuantizeEvents(CProjectDoc& doc, CMidiData& container, const CEventList& selected,
                    const CTimeRange& range, CNoteValue grid)
{
    CModifierQuantizeEvents modifier(container.GetStart(), grid);
    return RunEventModifier(doc, container, selected, range, modifier, modifier.GetName());
}

bool SuppressRedundantEvents(CProjectDoc& doc, CMidiData& container, const CEventList& selected,
                             const CTimeRange& range)
{
    CModifierSuppressRedundant modifier;
    return RunEventModifier(doc, container, selected, range, modifier, modifier.GetName());
}

bool ScaleEventValues(CProjectDoc& doc, CMidiData& container, const CEventList& selected,
                      const CTimeRange& range, int32_t percent)
{
    CModifierScaleEvents modifier(percent);
    return RunEventModifier(doc, container, selected, range, modifier, modifier.GetName());
}

bool ScaleVelocities(CProjectDoc& doc, CMidiData& container, const CNoteList& selected,
                     const CNoteArea& area, EVelocityLane lane, int32_t percent)
{
    return RunVelocityModifier(doc, container, selected, area, lane,
                               *VelocityScaler(lane, percent));
}

bool ApplyCurveToVelocities(CProjectDoc& doc, CMidiData& container, const CNoteList& selected,
                            const CNoteArea& area, EVelocityLane lane,
                            std::unique_ptr<CValueCurve> curve)
{
    return RunVelocityModifier(doc, container, selected, area, lane,
                               *CurveApplier(lane, std::move(curve)));
}

bool ApplyCurveToEvents(CProjectDoc& doc, CMidiData& container, const CEventList& selected,
                        const CTimeRange& range, std::unique_ptr<CValueCurve> curve,
                        const std::string& name)
{
    CModifierCurveEvents modifier(std::move(curve));
    return RunEventModifier(doc, container, selected, range, modifier, name);
}

bool DrawEventValues(CProjectDoc& doc, CMidiData& container, const CEventList& selected,
                     const CTimeRange& range, tick t1, int32_t y1, tick t2, int32_t y2)
{
    return ApplyCurveToEvents(doc, container, selected, range,
                              std::make_unique<CValueCurveDrawnLine>(t1, y1, t2, y2),
                              "Draw Events");
}

bool DrawVelocities(CProjectDoc& doc, CMidiData& container, const CNoteList& selected,
                    const CNoteArea& area, EVelocityLane lane, tick t1, int32_t y1, tick t2,
                    int32_t y2)
{
    return ApplyCurveToVelocities(doc, container, selected, area, lane,
                                  std::make_unique<CValueCurveDrawnLine>(t1, y1, t2, y2));
}

bool TransposeToScale(CProjectDoc& doc, CMidiData& container, const CNoteList& selected,
                      const CNoteArea& area, const CHarmonicScale& scale)
{
    CModifierTransposeToScale modifier(scale);
    return RunTransposition(doc, container, selected, area, scale, modifier);
}

bool TransposeRandomize(CProjectDoc& doc, CMidiData& container, const CNoteList& selected,
                        const CNoteArea& area, const CHarmonicScale& scale,
                        CRandomGenerator& random)
{
    CModifierTransposeRandom modifier(scale, random);
    return RunTransposition(doc, container, selected, area, scale, modifier);
}

// ---- The event editor's "Modifier" menu ----

bool CModifierMenu::Apply(CProjectDoc& doc, int commandId, CMidiData& container,
                          const CNoteList& selected, const CNoteArea& area, EVelocityLane lane)
{
    const CTimeRange time = TimeRangeOf(area);
    std::unique_ptr<CValueCurve> curve = MakeModifierCurve(commandId, time.m_from, time.m_to);
    if (!curve || selected.IsEmpty()) return false;
    m_last = commandId;
    return ApplyCurveToVelocities(doc, container, selected, area, lane, std::move(curve));
}

bool CModifierMenu::Apply(CProjectDoc& doc, int commandId, CMidiData& container,
                          const CEventList& selected, const CTimeRange& range)
{
    const CTimeRange time = TimeRangeOf(range);
    std::unique_ptr<CValueCurve> curve = MakeModifierCurve(commandId, time.m_from, time.m_to);
    if (!curve || selected.IsEmpty()) return false;
    m_last = commandId;
    return ApplyCurveToEvents(doc, container, selected, range, std::move(curve),
                              "Edit Event Values");
}

bool CModifierMenu::Repeat(CProjectDoc& doc, CMidiData& container, const CNoteList& selected,
                           const CNoteArea& area, EVelocityLane lane)
{
    return m_last != 0 && Apply(doc, m_last, container, selected, area, lane);
}

bool CModifierMenu::Repeat(CProjectDoc& doc, CMidiData& container, const CEventList& selected,
                           const CTimeRange& range)
{
    return m_last != 0 && Apply(doc, m_last, container, selected, range);
}

CCommandState CModifierMenu::UpdateRepeat() const
{
    return {m_last != 0, "&Repeat Last Modifier\tCtrl+R"};
}

// ---- Settings ----

CNoteValue CModifierSettings::GetQuantizeStart() const
{
    return m_options.m_quantizeStart;
}

CNoteValue CModifierSettings::GetQuantizeEnd() const
{
    return m_options.m_quantizeEnd;
}

void CModifierSettings::SetQuantize(CNoteValue start, CNoteValue end)
{
    m_options.m_quantizeStart = CNoteValue(std::max(start.GetTicks(), 0));
    m_options.m_quantizeEnd = CNoteValue(std::max(end.GetTicks(), 0));
    m_options.SaveEditor(m_profile);
}

int32_t CModifierSettings::GetIncValue() const
{
    return m_options.m_incValue;
}

int32_t CModifierSettings::GetDecValue() const
{
    return m_options.m_decValue;
}

void CModifierSettings::SetIncValue(int32_t percent)
{
    m_options.m_incValue = std::clamp(percent, CAppOptions::kMinStep, CAppOptions::kMaxStep);
    m_options.SaveEditor(m_profile);
}

void CModifierSettings::SetDecValue(int32_t percent)
{
    m_options.m_decValue = std::clamp(percent, CAppOptions::kMinStep, CAppOptions::kMaxStep);
    m_options.SaveEditor(m_profile);
}

std::string CModifierSettings::IncreaseText() const
{
    return "Increase by " + std::to_string(GetIncValue()) + "%...";
}

std::string CModifierSettings::ReduceText() const
{
    return "Reduce by " + std::to_string(GetDecValue()) + "%...";
}
