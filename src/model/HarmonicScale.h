#pragma once
// A project's key and mode, and the pitch functions built on them: membership, snapping, and
// moving by scale steps and octaves.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// Key and mode of a scale. Pitches are MIDI note numbers; results are always within 0..127.
class CHarmonicScale {
public:
    static constexpr int kKeyCount = 12;
    static constexpr int kMaxPitch = 127;

    // Key 0 ("C"), mode 0 ("None").
    CHarmonicScale() = default;
    // Throws CInvalidArgument for a key or mode outside the tables.
    CHarmonicScale(uint8_t key, uint16_t mode);

    // The scale of drum material: every pitch is in it. Process-wide, never changes.
    static const CHarmonicScale& Neutral();

    // Key names "C".."H" and the mode table; any thread.
    static std::string_view GetKeyName(int key);
    static int GetModeCount();
    static const std::string& GetModeName(int mode);
    static bool IsValidKey(int key) { return key >= 0 && key < kKeyCount; }
    static bool IsValidMode(int mode);

    uint8_t GetKey() const { return m_key; }
    uint16_t GetMode() const { return m_mode; }
    // Both throw CInvalidArgument for a value outside the tables and then keep the old value.
    void SetKey(uint8_t key);
    void SetMode(uint16_t mode);

    // False for a pitch outside 0..127.
    bool IsInScale(int pitch) const;
    // The nearest scale pitch at or above pitch, else the highest scale pitch.
    int Snap(int pitch) const;
    // The nearest scale pitch strictly above, else the highest scale pitch.
    int StepUp(int pitch) const;
    // The nearest scale pitch strictly below, else the lowest scale pitch.
    int StepDown(int pitch) const;
    // Snap of the pitch an octave higher (at most 127).
    int OctaveUp(int pitch) const;
    // Snap of the pitch an octave lower (at least 0).
    int OctaveDown(int pitch) const;

    // Snaps every pitch in place.
    void SnapAll(std::span<uint8_t> pitches) const;
    // Move every pitch in place, or none of them: false (and the pitches as they were) as soon as
    // one pitch cannot move in the asked direction.
    bool StepUpAll(std::span<uint8_t> pitches) const;
    bool StepDownAll(std::span<uint8_t> pitches) const;
    bool OctaveUpAll(std::span<uint8_t> pitches) const;
    bool OctaveDownAll(std::span<uint8_t> pitches) const;

private:
    using Move = int (CHarmonicScale::*)(int) const;

    int FirstInScaleUpFrom(int pitch) const;
    int FirstInScaleDownFrom(int pitch) const;
    bool MoveAll(std::span<uint8_t> pitches, Move move, bool up) const;

    uint8_t m_key = 0;
    uint16_t m_mode = 0;
};
