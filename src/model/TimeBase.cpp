#include "model/TimeBase.h"

#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int64_t kMicrosTimesHundredthsPerMinute = 6000000000LL;
constexpr int32_t kFieldLimit = INT32_MAX; // fields saturate symmetrically, so |field| is safe

// Division and remainder that tolerate a zero divisor (a signature with 0 ticks per beat):
// the quotient is 0 and the whole value stays in the remainder. 64-bit, so no case overflows.
int64_t Quot(int64_t a, int64_t b)
{
    return b == 0 ? 0 : a / b;
}

int64_t Rem(int64_t a, int64_t b)
{
    return b == 0 ? a : a % b;
}

// Signed bar count, beat within the bar and tick within the beat, all 0-based.
struct CSignedParts {
    int64_t bars;
    int64_t beats;
    int64_t ticks;
};

std::string FormatParts(const char* sign, int64_t a, int64_t b, int64_t c)
{
    char text[96];
    std::snprintf(text, sizeof text, "%s%" PRId64 ".%" PRId64 ".%02" PRId64, sign, a, b, c);
    return text;
}

// Optional sign, then leading digits; anything else ends the number, no digits give 0.
int32_t ParseIntPrefix(std::string_view text)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kFieldLimit) value = kFieldLimit;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

// Text up to and including the first ".", or all of it.
std::string_view TakeField(std::string_view& rest)
{
    const size_t dot = rest.find('.');
    const size_t length = dot == std::string_view::npos ? rest.size() : dot + 1;
    std::string_view field = rest.substr(0, length);
    rest.remove_prefix(length);
    return field;
}

bool IsSpace(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

int64_t Clamp(int64_t v, int64_t lo, int64_t hi)
{
    return v < lo ? lo : v > hi ? hi : v;
}

} // namespace

int32_t TempoFromMicrosPerQuarter(int64_t microsPerQuarter)
{
    if (microsPerQuarter <= 0) return kDefaultTempo;
    return SaturatedTick(kMicrosTimesHundredthsPerMinute / microsPerQuarter);
}

int64_t MicrosPerQuarterFromTempo(int32_t tempo)
{
    return kMicrosTimesHundredthsPerMinute / (tempo > 0 ? tempo : kDefaultTempo);
}

std::optional<CTimeFields> SplitTimeFields(std::string_view text)
{
    while (!text.empty() && IsSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back()))
        text.remove_suffix(1);
    if (text.empty()) return std::nullopt;

    CTimeFields fields;
    fields.m_negative = text.front() == '-';
    std::string_view rest = text;
    const std::string_view field1 = TakeField(rest);
    const std::string_view field2 = TakeField(rest);
    fields.m_field[0] = ParseIntPrefix(field1);
    fields.m_field[1] = ParseIntPrefix(field2);
    fields.m_field[2] = ParseIntPrefix(rest);
    return fields;
}

CTimeSignature::CTimeSignature(int32_t numerator, int32_t denominator)
{
    Set(numerator, denominator);
}

CTimeSignature::CTimeSignature(const CTimeSignature& other)
{
    Set(other.m_numerator, other.m_denominator);
}

CTimeSignature& CTimeSignature::operator=(const CTimeSignature& other)
{
    Set(other.m_numerator, other.m_denominator);
    return *this;
}

void CTimeSignature::Set(int32_t numerator, int32_t denominator)
{
    m_numerator = numerator;
    m_denominator = denominator;
    m_ticksPerBeat = denominator > 0 ? kTicksPerWhole / denominator : 0;
    m_ticksPerBar = SaturatedTick(static_cast<int64_t>(m_ticksPerBeat) * numerator);
}

bool CTimeSignature::IsValid() const
{
    return m_numerator >= 1 && m_ticksPerBeat >= 1;
}

bool CTimeSignature::operator==(const CTimeSignature& other) const
{
    return m_numerator == other.m_numerator && m_denominator == other.m_denominator;
}

CBarBeatTick CTimeSignature::SplitPosition(tick t) const
{
    return {Quot(t, m_ticksPerBar) + 1, Rem(Quot(t, m_ticksPerBeat), m_numerator) + 1,
            Rem(t, m_ticksPerBeat) + 1};
}

std::string CTimeSignature::FormatPosition(tick t) const
{
    const CBarBeatTick p = SplitPosition(t);
    return FormatParts("", p.m_bar, p.m_beat, p.m_tick);
}

std::string CTimeSignature::FormatLength(tick t) const
{
    // The 1-based position parts less one are the signed 0-based length parts.
    const CBarBeatTick p = SplitPosition(t);
    const char* sign = t > 0 ? "+" : t < 0 ? "-" : "";
    return FormatParts(sign, std::llabs(p.m_bar - 1), std::llabs(p.m_beat - 1),
                       std::llabs(p.m_tick - 1));
}

std::optional<tick> CTimeSignature::ParsePosition(std::string_view text) const
{
    const std::optional<CTimeFields> fields = SplitTimeFields(text);
    if (!fields) return std::nullopt;
    int64_t bar = fields->m_field[0];
    int64_t beat = fields->m_field[1];
    int64_t tk = fields->m_field[2];
    if (bar <= 0) bar = 1;
    if (beat <= 0) beat = 1;
    if (tk <= 0) tk = 1;
    // A signature without beats or ticks has nothing to cap against.
    if (m_numerator >= 1 && beat > m_numerator) beat = m_numerator;
    if (m_ticksPerBeat >= 1 && tk > m_ticksPerBeat) tk = m_ticksPerBeat;
    return SaturatedTick((bar - 1) * m_ticksPerBar + (beat - 1) * m_ticksPerBeat + (tk - 1));
}

std::optional<tick> CTimeSignature::ParseLength(std::string_view text) const
{
    const std::optional<CTimeFields> fields = SplitTimeFields(text);
    if (!fields) return std::nullopt;
    const int64_t bars = std::llabs(fields->m_field[0]);
    int64_t beats = std::llabs(fields->m_field[1]);
    int64_t ticks = std::llabs(fields->m_field[2]);
    if (m_numerator >= 1) beats = Clamp(beats, 0, m_numerator - 1LL);
    if (m_ticksPerBeat >= 1) ticks = Clamp(ticks, 0, m_ticksPerBeat - 1LL);
    const int64_t value = bars * m_ticksPerBar + beats * m_ticksPerBeat + ticks;
    return SaturatedTick(fields->m_negative ? -value : value);
}

tick CNoteValue::FloorToGrid(tick t) const
{
    if (m_ticks <= 0) return t;
    return SaturatedTick(static_cast<int64_t>(m_ticks) * (t / m_ticks));
}

tick CNoteValue::CeilToGrid(tick t) const
{
    if (m_ticks <= 0) return t;
    const int64_t g = m_ticks;
    return SaturatedTick(g * ((t + g - 1) / g));
}

tick CNoteValue::RoundToGrid(tick t) const
{
    if (m_ticks <= 0) return t;
    const int64_t g = m_ticks;
    const int64_t lower = g * (t / g);
    const int64_t upper = g * ((t + g) / g);
    return SaturatedTick(t % g < upper - t ? lower : upper);
}

const std::vector<CNoteValueEntry>& NoteValueTable()
{
    static const std::vector<CNoteValueEntry> table = {
        {0, "Off", ""},
        {384, "Whole", "Whole (1)"},
        {192, "1/2", "Half (1/2)"},
        {288, "1/2 trp", "Half Triplet (1/2.)"},
        {96, "1/4", "Quarter (1/4)"},
        {144, "1/4 trp", "Quarter Triplet (1/4.)"},
        {48, "1/8", "Eight (1/8)"},
        {72, "1/8 trp", "Eighth Triplet (1/8.)"},
        {24, "1/16", "Sixteenth (1/16)"},
        {36, "1/16 trp", "Sixteenth Triplet (1/16.)"},
        {12, "1/32", "32nd (1/32)"},
        {18, "1/32 trp", "32nd Triplet (1/32.)"},
    };
    return table;
}

std::vector<CNoteValueEntry> NoteValueChoices(tick lower, tick upper)
{
    std::vector<CNoteValueEntry> choices;
    for (const CNoteValueEntry& entry : NoteValueTable()) {
        // "Off" needs a lower bound of exactly 0, not merely one below it.
        const bool offered = entry.m_ticks == 0 ? lower == 0 : lower <= entry.m_ticks;
        if (offered && entry.m_ticks <= upper) choices.push_back(entry);
    }
    return choices;
}
