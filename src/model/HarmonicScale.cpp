#include "model/HarmonicScale.h"

#include "model/Errors.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

namespace {

struct CScaleMode {
    std::string name;
    uint16_t mask; // bit i set: semitone i above the key is in the scale
};

// pattern: 12 characters, one per semitone above the key, '1' for a tone of the scale.
CScaleMode MakeMode(std::string name, std::string_view pattern)
{
    uint16_t mask = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i)
        if (pattern[i] == '1') mask = static_cast<uint16_t>(mask | (1u << i));
    return {std::move(name), mask};
}

// Filled on first use; the initialisation of a local static is thread-safe.
const std::vector<CScaleMode>& Modes()
{
    static const std::vector<CScaleMode> modes = {
        MakeMode("None", "111111111111"),
        MakeMode("Major", "101011010101"),
        MakeMode("Minor - Natural", "101101011010"),
        MakeMode("Minor - Harmonic", "101101011001"),
        MakeMode("Minor - Melodic", "101101010101"),
    };
    return modes;
}

constexpr std::array<std::string_view, CHarmonicScale::kKeyCount> kKeyNames = {
    "C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "H"};

constexpr int kNone = -1;

} // namespace

CHarmonicScale::CHarmonicScale(uint8_t key, uint16_t mode)
{
    SetKey(key);
    SetMode(mode);
}

const CHarmonicScale& CHarmonicScale::Neutral()
{
    static const CHarmonicScale neutral;
    return neutral;
}

std::string_view CHarmonicScale::GetKeyName(int key)
{
    CheckIndex(key, kKeyCount);
    return kKeyNames[static_cast<std::size_t>(key)];
}

int CHarmonicScale::GetModeCount()
{
    return static_cast<int>(Modes().size());
}

const std::string& CHarmonicScale::GetModeName(int mode)
{
    CheckIndex(mode, GetModeCount());
    return Modes()[static_cast<std::size_t>(mode)].name;
}

bool CHarmonicScale::IsValidMode(int mode)
{
    return mode >= 0 && mode < GetModeCount();
}

void CHarmonicScale::SetKey(uint8_t key)
{
    if (!IsValidKey(key)) throw CInvalidArgument();
    m_key = key;
}

void CHarmonicScale::SetMode(uint16_t mode)
{
    if (!IsValidMode(mode)) throw CInvalidArgument();
    m_mode = mode;
}

bool CHarmonicScale::IsInScale(int pitch) const
{
    if (pitch < 0 || pitch > kMaxPitch) return false;
    // The key is added to the pitch: pattern position 0 is pitch class (12 - key) mod 12.
    const int position = (pitch + m_key) % kKeyCount;
    return (Modes()[m_mode].mask >> position) & 1u;
}

int CHarmonicScale::FirstInScaleUpFrom(int pitch) const
{
    for (int p = std::max(pitch, 0); p <= kMaxPitch; ++p)
        if (IsInScale(p)) return p;
    return kNone;
}

int CHarmonicScale::FirstInScaleDownFrom(int pitch) const
{
    for (int p = std::min(pitch, kMaxPitch); p >= 0; --p)
        if (IsInScale(p)) return p;
    return kNone;
}

int CHarmonicScale::Snap(int pitch) const
{
    const int up = FirstInScaleUpFrom(pitch);
    return up != kNone ? up : FirstInScaleDownFrom(kMaxPitch);
}

int CHarmonicScale::StepUp(int pitch) const
{
    const int up = pitch < kMaxPitch ? FirstInScaleUpFrom(pitch + 1) : kNone;
    return up != kNone ? up : FirstInScaleDownFrom(kMaxPitch);
}

int CHarmonicScale::StepDown(int pitch) const
{
    const int down = pitch > 0 ? FirstInScaleDownFrom(pitch - 1) : kNone;
    return down != kNone ? down : FirstInScaleUpFrom(0);
}

int CHarmonicScale::OctaveUp(int pitch) const
{
    return Snap(std::min(pitch, kMaxPitch - 12) + 12);
}

int CHarmonicScale::OctaveDown(int pitch) const
{
    return Snap(pitch < 12 ? 0 : pitch - 12);
}

void CHarmonicScale::SnapAll(std::span<uint8_t> pitches) const
{
    for (uint8_t& pitch : pitches)
        pitch = static_cast<uint8_t>(Snap(pitch));
}

bool CHarmonicScale::MoveAll(std::span<uint8_t> pitches, Move move, bool up) const
{
    // Check every pitch before changing any, so a refusal leaves them all as they were.
    for (const uint8_t pitch : pitches) {
        const int moved = (this->*move)(pitch);
        if (up ? moved <= pitch : moved >= pitch) return false;
    }
    for (uint8_t& pitch : pitches)
        pitch = static_cast<uint8_t>((this->*move)(pitch));
    return true;
}

bool CHarmonicScale::StepUpAll(std::span<uint8_t> pitches) const
{
    return MoveAll(pitches, &CHarmonicScale::StepUp, true);
}

bool CHarmonicScale::StepDownAll(std::span<uint8_t> pitches) const
{
    return MoveAll(pitches, &CHarmonicScale::StepDown, false);
}

bool CHarmonicScale::OctaveUpAll(std::span<uint8_t> pitches) const
{
    return MoveAll(pitches, &CHarmonicScale::OctaveUp, true);
}

bool CHarmonicScale::OctaveDownAll(std::span<uint8_t> pitches) const
{
    return MoveAll(pitches, &CHarmonicScale::OctaveDown, false);
}
