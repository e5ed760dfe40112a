#include "editing/ValueModifiers.h"

#include <algorithm>
#include <cmath>

namespace {

// 2 / pi: the sine and cosine curves cover a quarter period over the range.
constexpr double kQuarterPeriod = 0.6366197723675814;

// Toward zero, kept well inside int32_t (times far outside the range give huge values, and
// converting those to an integer would be undefined).
int32_t TowardZero(double v)
{
    if (std::isnan(v)) return 0;
    return static_cast<int32_t>(std::clamp(v, -1.0e9, 1.0e9));
}

struct CCommandEntry {
    int m_id;
    const char* m_text;
};

constexpr CCommandEntry kCommands[] = {
    {kCmdModifierConst0, "const_0"},
    {kCmdModifierConst64, "const_64"},
    {kCmdModifierConst127, "const_127"},
    {kCmdModifierLineUp, "line_0_to_127"},
    {kCmdModifierLineDown, "line_127_to_0"},
    {kCmdModifierSine, "sin_0_to_127"},
    {kCmdModifierCosine, "cos_127_to_0"},
    {kCmdModifierNegativeSine, "negsin_0_to_127"},
    {kCmdModifierNegativeCos, "negcos_127_to_0"},
};

uint8_t CurveVelocity(const CValueCurve& curve, tick t)
{
    return static_cast<uint8_t>(std::clamp(curve.ValueAt(t), 1, 127));
}

} // namespace

int32_t CValueCurveLine::ValueAt(tick t) const
{
    if (m_a == m_b) return 0;
    const double rise = (static_cast<double>(t) - m_a) * 128.0 / (static_cast<double>(m_b) - m_a);
    return TowardZero(m_rising ? rise : 127.0 - rise);
}

int32_t CValueCurveQuarterWave::ValueAt(tick t) const
{
    // With no range the angle stays at the curve's start.
    const double angle = m_a == m_b ? 0.0
                                    : (static_cast<double>(t) - m_a) /
                                          ((static_cast<double>(m_b) - m_a) * kQuarterPeriod);
    switch (m_shape) {
    case EShape::Sine:
        return TowardZero(127.0 * std::sin(angle));
    case EShape::Cosine:
        return TowardZero(127.0 * std::cos(angle));
    case EShape::NegativeSine:
        return TowardZero(127.0 - 127.0 * std::sin(angle));
    case EShape::NegativeCosine:
        return TowardZero(127.0 - 127.0 * std::cos(angle));
    }
    return 0;
}

int32_t CValueCurveDrawnLine::ValueAt(tick t) const
{
    if (m_t1 == m_t2) return m_y2;
    return TowardZero(m_y1 + (static_cast<double>(t) - m_t1) * (static_cast<double>(m_y2) - m_y1) /
                                 (static_cast<double>(m_t2) - m_t1));
}

bool IsModifierCommand(int commandId)
{
    return commandId >= kCmdModifierConst0 && commandId <= kCmdModifierNegativeCos;
}

const char* ModifierCommandText(int commandId)
{
    for (const CCommandEntry& entry : kCommands)
        if (entry.m_id == commandId) return entry.m_text;
    return "";
}

std::unique_ptr<CValueCurve> MakeModifierCurve(int commandId, tick a, tick b)
{
    using EShape = CValueCurveQuarterWave::EShape;
    switch (commandId) {
    case kCmdModifierConst0:
        return std::make_unique<CValueCurveConstant>(0);
    case kCmdModifierConst64:
        return std::make_unique<CValueCurveConstant>(64);
    case kCmdModifierConst127:
        return std::make_unique<CValueCurveConstant>(127);
    case kCmdModifierLineUp:
        return std::make_unique<CValueCurveLine>(a, b, true);
    case kCmdModifierLineDown:
        return std::make_unique<CValueCurveLine>(a, b, false);
    case kCmdModifierSine:
        return std::make_unique<CValueCurveQuarterWave>(a, b, EShape::Sine);
    case kCmdModifierCosine:
        return std::make_unique<CValueCurveQuarterWave>(a, b, EShape::Cosine);
    case kCmdModifierNegativeSine:
        return std::make_unique<CValueCurveQuarterWave>(a, b, EShape::NegativeSine);
    case kCmdModifierNegativeCos:
        return std::make_unique<CValueCurveQuarterWave>(a, b, EShape::NegativeCosine);
    default:
        return nullptr;
    }
}

void CModifierCurveVelocities::ModifyNotes(const CNoteList& src, const CNoteArea&, CNoteList& dst)
{
    CopyEdited(src, dst,
               [this](CNote& note) { note.m_velocity = CurveVelocity(*m_curve, note.m_start); });
}

void CModifierCurveOffVelocities::ModifyNotes(const CNoteList& src, const CNoteArea&,
                                              CNoteList& dst)
{
    CopyEdited(src, dst,
               [this](CNote& note) { note.m_offVelocity = CurveVelocity(*m_curve, note.m_start); });
}

void CModifierCurveEvents::ModifyEvents(const CEventList& src, tick, tick, CEventList& dst)
{
    CopyEdited(src, dst, [this](CMidiEvent& event) {
        event.SetValue7(std::clamp(m_curve->ValueAt(event.m_time), 0, 127));
    });
}
