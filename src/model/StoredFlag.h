#pragma once
// An on/off setting that the project file stores as a whole number. Any nonzero number means on;
// the number itself is kept, so that a file storing 2 or 5 saves back byte for byte.

#include <cstdint>

template <class T> class CStoredFlag {
public:
    constexpr CStoredFlag(bool on = false) : m_value(on ? 1 : 0) {}

    constexpr bool IsOn() const { return m_value != 0; }
    // Switching on what is already on keeps the stored number.
    constexpr void Set(bool on)
    {
        if (on != IsOn()) m_value = on ? 1 : 0;
    }
    // The number as the file stores it.
    constexpr T GetStored() const { return m_value; }
    constexpr void SetStored(T value) { m_value = value; }

private:
    T m_value;
};
