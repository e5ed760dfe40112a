#pragma once
// Value curves laid over a selection's time range, and the modifiers that set the note-on
// velocities, note-off velocities or controller values of the selection from them: the event
// editor's "Modifier" menu and its draw tool. User-interface thread.

#include <cstdint>
#include <memory>

#include "editing/Modifiers.h"

// A value for every time t (ticks, in the time frame of the container's notes and events),
// computed in floating point and converted toward zero. Values may lie outside 0..127; the
// appliers clamp them.
class CValueCurve {
public:
    virtual ~CValueCurve() = default;
    virtual int32_t ValueAt(tick t) const = 0;
};

// The same value everywhere.
class CValueCurveConstant : public CValueCurve {
public:
    explicit CValueCurveConstant(int32_t value) : m_value(value) {}
    int32_t ValueAt(tick) const override { return m_value; }

private:
    int32_t m_value;
};

// A straight line over a..b spanning 128 (rising from 0, or falling from 127); 0 everywhere when
// a = b.
class CValueCurveLine : public CValueCurve {
public:
    CValueCurveLine(tick a, tick b, bool rising) : m_a(a), m_b(b), m_rising(rising) {}
    int32_t ValueAt(tick t) const override;

private:
    tick m_a;
    tick m_b;
    bool m_rising;
};

// A quarter period of a sine or cosine over a..b, scaled to 127, upright or mirrored
// (127 minus it). When a = b the curve's value at its start holds everywhere.
class CValueCurveQuarterWave : public CValueCurve {
public:
    enum class EShape { Sine, Cosine, NegativeSine, NegativeCosine };
    CValueCurveQuarterWave(tick a, tick b, EShape shape) : m_a(a), m_b(b), m_shape(shape) {}
    int32_t ValueAt(tick t) const override;

private:
    tick m_a;
    tick m_b;
    EShape m_shape;
};

// The draw tool's line through (t1, y1) and (t2, y2). Drawn at a single tick (t1 = t2) it is y2,
// the value where the drawing ended.
class CValueCurveDrawnLine : public CValueCurve {
public:
    CValueCurveDrawnLine(tick t1, int32_t y1, tick t2, int32_t y2)
        : m_t1(t1), m_y1(y1), m_t2(t2), m_y2(y2)
    {}
    int32_t ValueAt(tick t) const override;

private:
    tick m_t1;
    int32_t m_y1;
    tick m_t2;
    int32_t m_y2;
};

// The "Modifier" menu's commands.
inline constexpr int kCmdModifierConst0 = 32877;       // "const_0"
inline constexpr int kCmdModifierConst64 = 32878;      // "const_64"
inline constexpr int kCmdModifierConst127 = 32879;     // "const_127"
inline constexpr int kCmdModifierLineUp = 32880;       // "line_0_to_127"
inline constexpr int kCmdModifierLineDown = 32881;     // "line_127_to_0"
inline constexpr int kCmdModifierSine = 32882;         // "sin_0_to_127"
inline constexpr int kCmdModifierCosine = 32883;       // "cos_127_to_0"
inline constexpr int kCmdModifierNegativeSine = 32884; // "negsin_0_to_127"
inline constexpr int kCmdModifierNegativeCos = 32885;  // "negcos_127_to_0"

// True for the nine command ids above.
bool IsModifierCommand(int commandId);
// The menu text of a modifier command ("const_0" ...); empty for any other id.
const char* ModifierCommandText(int commandId);
// The curve of a modifier command over the time range a..b (owned by the caller); null for any
// other id.
std::unique_ptr<CValueCurve> MakeModifierCurve(int commandId, tick a, tick b);

// The appliers own their curve. Their name is the base's: the commands name the operation.

// Note-on velocity = curve(note start), within 1..127.
class CModifierCurveVelocities : public CModifier {
public:
    explicit CModifierCurveVelocities(std::unique_ptr<CValueCurve> curve)
        : m_curve(std::move(curve))
    {}
    void ModifyNotes(const CNoteList& src, const CNoteArea& area, CNoteList& dst) override;

private:
    std::unique_ptr<CValueCurve> m_curve;
};

// Note-off velocity = curve(note start), within 1..127 as for note-on velocities.
class CModifierCurveOffVelocities : public CModifier {
public:
    explicit CModifierCurveOffVelocities(std::unique_ptr<CValueCurve> curve)
        : m_curve(std::move(curve))
    {}
    void ModifyNotes(const CNoteList& src, const CNoteArea& area, CNoteList& dst) override;

private:
    std::unique_ptr<CValueCurve> m_curve;
};

// 7-bit event value = curve(event time), within 0..127.
class CModifierCurveEvents : public CModifier {
public:
    explicit CModifierCurveEvents(std::unique_ptr<CValueCurve> curve) : m_curve(std::move(curve)) {}
    void ModifyEvents(const CEventList& src, tick from, tick to, CEventList& dst) override;

private:
    std::unique_ptr<CValueCurve> m_curve;
};
