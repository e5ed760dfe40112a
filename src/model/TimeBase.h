#pragma once
// Musical time: the tick resolution, the time signature that turns ticks into bars and beats,
// the project tempo unit, the two time texts (position and signed length) and the note values
// offered by grid, quantize and length choosers.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Signed musical time; tick 0 is the first tick of bar 1.
using tick = int32_t;

inline constexpr tick kTicksPerQuarter = 96;
inline constexpr tick kTicksPerWhole = 384;
// Stands for "no end" in ranges.
inline constexpr tick kOpenEnd = 3840000;
// Tempo is in hundredths of a beat per minute; 12000 is 120.00 BPM.
inline constexpr int32_t kDefaultTempo = 12000;

// Clamps a tick computed in 64 bits into the tick range, so time arithmetic never wraps.
constexpr tick SaturatedTick(int64_t t)
{
    return t > INT32_MAX ? INT32_MAX : t < INT32_MIN ? INT32_MIN : static_cast<tick>(t);
}
// a + b and a - b, saturating like SaturatedTick.
constexpr tick TickSum(tick a, tick b)
{
    return SaturatedTick(static_cast<int64_t>(a) + b);
}
constexpr tick TickDifference(tick a, tick b)
{
    return SaturatedTick(static_cast<int64_t>(a) - b);
}

// Standard MIDI File tempo (microseconds per quarter) to hundredths of BPM. A value <= 0 has no
// meaning and gives kDefaultTempo; results beyond the 32-bit range saturate.
int32_t TempoFromMicrosPerQuarter(int64_t microsPerQuarter);
// The inverse, for writing MIDI files; a tempo <= 0 gives the microseconds of kDefaultTempo.
int64_t MicrosPerQuarterFromTempo(int32_t tempo);
// Length of one tick at a tempo, in 100 ns master-clock units. 0 means no clock can run at that
// tempo: it is not positive, or so fast that a tick lasts less than 100 ns.
constexpr int64_t TickPeriodOfTempo(int32_t tempo)
{
    if (tempo <= 0) return 0;
    return static_cast<int64_t>(60000000000ULL / static_cast<uint64_t>(tempo) / 96ULL);
}

// A time text split into its three numeric fields, before any capping.
struct CTimeFields {
    int32_t m_field[3] = {0, 0, 0}; // decimal prefixes, saturated to +-2147483647
    bool m_negative = false;        // the text began with "-"
};

// Splits "bar.beat.tick" style text shared by both time parsers. Empty only for blank text.
std::optional<CTimeFields> SplitTimeFields(std::string_view text);

// Bar, beat and tick of a position, all 1-based.
struct CBarBeatTick {
    int64_t m_bar = 1;
    int64_t m_beat = 1;
    int64_t m_tick = 1;
};

// Beats per bar and the beat's note value, with the derived tick counts kept in step.
// A denominator of 0, below 0 or above 384 gives 0 ticks per beat; every function below stays
// safe with such a signature (a zero divisor leaves the whole value in the remainder), so a
// loaded file can be checked with IsValid rather than trusted.
class CTimeSignature {
public:
    CTimeSignature() = default; // 4/4
    CTimeSignature(int32_t numerator, int32_t denominator);
    CTimeSignature(const CTimeSignature& other);
    CTimeSignature& operator=(const CTimeSignature& other);

    // Stores both values and recomputes ticks per beat and per bar.
    void Set(int32_t numerator, int32_t denominator);

    int32_t GetNumerator() const { return m_numerator; }
    int32_t GetDenominator() const { return m_denominator; }
    tick GetTicksPerBeat() const { return m_ticksPerBeat; }
    tick GetTicksPerBar() const { return m_ticksPerBar; }
    // True when at least one beat per bar and at least one tick per beat.
    bool IsValid() const;

    bool operator==(const CTimeSignature& other) const;

    // 1-based bar, beat and tick of t (truncating division).
    CBarBeatTick SplitPosition(tick t) const;
    // "%d.%d.%02d", 1-based: tick 0 is "1.1.01".
    std::string FormatPosition(tick t) const;
    // Signed 0-based "+1.0.16" / "-1.0.16"; 0 is "0.0.00" without a sign.
    std::string FormatLength(tick t) const;
    // Typed 1-based position; empty for blank text (the caller keeps its value).
    std::optional<tick> ParsePosition(std::string_view text) const;
    // Typed signed 0-based length; empty for blank text.
    std::optional<tick> ParseLength(std::string_view text) const;

private:
    int32_t m_numerator = 4;
    int32_t m_denominator = 4;
    tick m_ticksPerBeat = 96;
    tick m_ticksPerBar = 384;
};

// One tick count used as grid, snap, quantize or default length; 0 means off.
class CNoteValue {
public:
    constexpr CNoteValue() = default;
    constexpr explicit CNoteValue(tick ticks) : m_ticks(ticks) {}

    constexpr tick GetTicks() const { return m_ticks; }
    void SetTicks(tick ticks) { m_ticks = ticks; }
    constexpr bool IsOff() const { return m_ticks == 0; }
    bool operator==(const CNoteValue&) const = default;

    // Grid rounding with truncating division (negative times round toward zero). A value of 0
    // or below (off, or unset) returns t unchanged. Results saturate to the tick range.
    tick FloorToGrid(tick t) const;
    tick CeilToGrid(tick t) const;
    // The nearer grid point; an exact tie goes to the later one.
    tick RoundToGrid(tick t) const;

private:
    tick m_ticks = 0;
};

// One entry of the note-value table offered by choosers.
struct CNoteValueEntry {
    tick m_ticks;
    const char* m_shortName; // narrow choosers and bars
    const char* m_longName;  // dialogs and menus; empty for "Off"
};

// The whole table, in chooser order ("Off" first).
const std::vector<CNoteValueEntry>& NoteValueTable();
// Table entries with lower <= ticks <= upper, in table order; "Off" (0 ticks) only when lower
// is 0.
std::vector<CNoteValueEntry> NoteValueChoices(tick lower, tick upper);
