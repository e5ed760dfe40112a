// The members of the value-box family: what each one types, limits, steps and shows.

#include "controls/EditValue.h"

#include "devices/MidiNames.h"

#include <algorithm>

namespace {

constexpr int kNameLength = 4; // longest note name: "C#10"

} // namespace

// ---- CEditByte ----

CEditByte::CEditByte(QWidget* parent) : CEditNumber(parent)
{
    SetAllowedChars(QStringLiteral("0123456789"));
    SetLimits(0, 127);
    SetSteps(1, 10);
}

// ---- CEditTime ----

CEditTime::CEditTime(EForm form, QWidget* parent) : CEditNumber(parent), m_form(form)
{
    if (form == EForm::Position) {
        SetAllowedChars(QStringLiteral("0123456789."));
        SetLimits(0, 2147483647);
    } else {
        SetAllowedChars(QStringLiteral("-0123456789."));
        // The lowest 32-bit value stands for "undefined", so a length stops one above it.
        SetLimits(-2147483647, 2147483647);
    }
    SetSteps(1, m_signature.GetTicksPerBeat());
}

void CEditTime::SetTimeSignature(const CTimeSignature& signature)
{
    m_signature = signature;
    SetSteps(GetSmallStep(), std::max<tick>(1, signature.GetTicksPerBeat()));
    ValueShown();
}

bool CEditTime::Parse(const QString& text, int32_t& value) const
{
    const std::string typed = text.toStdString();
    const std::optional<tick> parsed = m_form == EForm::Position ? m_signature.ParsePosition(typed)
                                                                 : m_signature.ParseLength(typed);
    if (!parsed) return false;
    value = *parsed;
    return true;
}

QString CEditTime::Format(int32_t value) const
{
    return QString::fromStdString(m_form == EForm::Position ? m_signature.FormatPosition(value)
                                                            : m_signature.FormatLength(value));
}

// ---- CEditNote ----

CEditNote::CEditNote(QWidget* parent) : CEditNumber(parent)
{
    SetAllowedChars(QStringLiteral("cCdDeEfFgGhHaA0123456789#"));
    SetLimits(0, 127);
    SetSteps(1, 12);
}

bool CEditNote::Parse(const QString& text, int32_t& value) const
{
    const uint8_t key = KeyFromName(text.trimmed().left(kNameLength).toStdString());
    if (key > 127) return false;
    value = key;
    return true;
}

QString CEditNote::Format(int32_t value) const
{
    return QString::fromStdString(KeyName(static_cast<uint8_t>(std::clamp(value, 0, 127))));
}

// ---- CEditPan ----

CEditPan::CEditPan(QWidget* parent) : CEditNumber(parent)
{
    SetAllowedChars(QStringLiteral("0123456789LRlr"));
    SetLimits(0, 127);
    SetSteps(1, 10);
    SetValue(64);
    SetStartValue(64);
}

bool CEditPan::Parse(const QString& text, int32_t& value) const
{
    const int32_t pan = PanFromName(text.trimmed().toStdString());
    if (pan < -64 || pan > 63) return false;
    value = pan + 64;
    return true;
}

QString CEditPan::Format(int32_t value) const
{
    return QString::fromStdString(PanName(static_cast<uint8_t>(std::clamp(value, 0, 127))));
}

// ---- CEditTempo ----

CEditTempo::CEditTempo(QWidget* parent) : CEditNumber(parent)
{
    SetAllowedChars(QStringLiteral("0123456789."));
    SetLimits(2000, 25000);
    SetSteps(1, 100);
    SetValue(kDefaultTempo);
    SetStartValue(kDefaultTempo);
}

bool CEditTempo::Parse(const QString& text, int32_t& value) const
{
    // Whole beats, then up to two digits of hundredths; the rest of the text is ignored.
    const QString t = text.trimmed();
    int i = 0;
    int64_t hundredths = 0;
    for (; i < t.size() && t[i].isDigit(); ++i)
        hundredths = std::min<int64_t>(hundredths * 10 + t[i].digitValue(), int64_t{1} << 32);
    hundredths *= 100;
    if (i < t.size() && t[i] == u'.') {
        ++i;
        for (int scale = 10; scale > 0 && i < t.size() && t[i].isDigit(); scale /= 10, ++i)
            hundredths += t[i].digitValue() * scale;
    }
    value = static_cast<int32_t>(std::clamp<int64_t>(hundredths, GetLower(), GetUpper()));
    return true;
}

QString CEditTempo::Format(int32_t value) const
{
    return QStringLiteral("%1.%2").arg(value / 100).arg(value % 100, 2, 10, QLatin1Char('0'));
}
