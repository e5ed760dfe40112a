#pragma once
// The keys and the wheel shared by knobs and faders, which both hold a 7-bit value.

#include <QKeyEvent>
#include <QWheelEvent>

#include <algorithm>
#include <optional>

namespace seven_bit {

// The value a key gives: "+" +1, "-" -1, "]" +16, "[" -16, "0" the reset value; none for other
// keys. The result is limited to 0..127.
inline std::optional<int> ValueForKey(const QKeyEvent& event, int value, int resetValue)
{
    const QString text = event.text();
    int result = value;
    if (text == QStringLiteral("+"))
        result = value + 1;
    else if (text == QStringLiteral("-"))
        result = value - 1;
    else if (text == QStringLiteral("]"))
        result = value + 16;
    else if (text == QStringLiteral("["))
        result = value - 16;
    else if (text == QStringLiteral("0"))
        result = resetValue;
    else
        return std::nullopt;
    return std::clamp(result, 0, 127);
}

// A wheel turn of one notch or more moves the value by 4 (one step per event, however fast);
// smaller deltas add up in `rest` until they make a notch. Zero when no notch is complete.
inline int WheelChange(const QWheelEvent& event, int& rest)
{
    rest += event.angleDelta().y();
    if (rest >= 120 || rest <= -120) {
        const int change = rest > 0 ? 4 : -4;
        rest = 0;
        return change;
    }
    return 0;
}

} // namespace seven_bit
