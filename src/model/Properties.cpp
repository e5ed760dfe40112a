#include "model/Properties.h"

#include "model/Phrase.h"
#include "model/Track.h"

#include <limits>

// The value as T when it lies in T's range.
template <typename T> static std::optional<T> Narrow(int64_t value)
{
    if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max()) return {};
    return static_cast<T>(value);
}

static std::optional<bool> Flag(int64_t value)
{
    const auto word = Narrow<int32_t>(value);
    if (!word) return {};
    return *word != 0;
}

// A channel outside 0..15 would change the status byte of every message played.
static std::optional<uint8_t> Channel(int64_t value)
{
    if (value < 0 || value > 15) return {};
    return static_cast<uint8_t>(value);
}

static std::optional<CNoteValue> NoteValue(int64_t value)
{
    const auto ticks = Narrow<tick>(value);
    if (!ticks) return {};
    return CNoteValue(*ticks);
}

static std::optional<EPlayMode> PlayMode(int64_t value)
{
    if (value < static_cast<int64_t>(EPlayMode::None) ||
        value > static_cast<int64_t>(EPlayMode::MonoLastKey))
        return {};
    return static_cast<EPlayMode>(value);
}

// Hands a valid value to the setter; the result says whether there was one.
template <typename T, typename Setter> static bool Store(const std::optional<T>& value, Setter set)
{
    if (!value) return false;
    set(*value);
    return true;
}

static int64_t FlagValue(bool on)
{
    return on ? 1 : 0;
}

std::optional<CNodeAddress> UnpackNodeAddress(int64_t value)
{
    if (value < 0 || value > 0xFFFF'FFFF'FFFFLL) return {};
    return CNodeAddress(static_cast<uint16_t>(value >> 32),
                        static_cast<int32_t>(static_cast<uint32_t>(value & 0xFFFF'FFFF)));
}

std::optional<CBytePair> UnpackBytePair(int64_t value)
{
    if (value < 0 || value > 0xFFFF) return {};
    return CBytePair{static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8)};
}

bool ApplyPhraseProperty(CPhrase& phrase, int32_t number, int64_t value)
{
    switch (static_cast<EPhraseProperty>(number)) {
    case EPhraseProperty::Input:
        return Store(UnpackNodeAddress(value), [&](CNodeAddress a) { phrase.SetInput(a); });
    case EPhraseProperty::TriggerRange:
        return Store(UnpackBytePair(value), [&](CBytePair r) {
            phrase.SetTriggerFrom(r.m_from);
            phrase.SetTriggerTo(r.m_to);
        });
    case EPhraseProperty::KeyFollow:
        return Store(Flag(value), [&](bool on) { phrase.SetKeyFollow(on); });
    case EPhraseProperty::StartQuantize:
        return Store(NoteValue(value), [&](CNoteValue v) { phrase.SetStartQuantize(v); });
    case EPhraseProperty::StopQuantize:
        return Store(NoteValue(value), [&](CNoteValue v) { phrase.SetStopQuantize(v); });
    case EPhraseProperty::Output:
        return Store(UnpackNodeAddress(value), [&](CNodeAddress a) { phrase.SetOutput(a); });
    case EPhraseProperty::OutputChannel:
        return Store(Channel(value), [&](uint8_t c) { phrase.SetOutputChannel(c); });
    case EPhraseProperty::PlayMode:
        return Store(PlayMode(value), [&](EPlayMode m) { phrase.SetPlayMode(m); });
    case EPhraseProperty::Loop:
        return Store(Flag(value), [&](bool on) { phrase.SetLoop(on); });
    case EPhraseProperty::Hold:
        return Store(Flag(value), [&](bool on) { phrase.SetHold(on); });
    case EPhraseProperty::Continue:
        return Store(Flag(value), [&](bool on) { phrase.SetContinue(on); });
    case EPhraseProperty::VelocityOffset:
        return Store(Narrow<int16_t>(value), [&](int16_t v) { phrase.SetVelocityOffset(v); });
    case EPhraseProperty::Transpose:
        return Store(Narrow<int16_t>(value), [&](int16_t v) { phrase.SetTranspose(v); });
    case EPhraseProperty::OutputQuantize:
        return Store(NoteValue(value), [&](CNoteValue v) { phrase.SetOutputQuantize(v); });
    case EPhraseProperty::Delay:
        return Store(Narrow<tick>(value), [&](tick t) { phrase.SetDelay(t); });
    case EPhraseProperty::PitchLimits:
        return Store(UnpackBytePair(value), [&](CBytePair r) {
            phrase.SetPitchLimitFrom(r.m_from);
            phrase.SetPitchLimitTo(r.m_to);
        });
    case EPhraseProperty::VelocityLimits:
        return Store(UnpackBytePair(value), [&](CBytePair r) {
            phrase.SetVelocityLimitFrom(r.m_from);
            phrase.SetVelocityLimitTo(r.m_to);
        });
    }
    return false;
}

std::optional<int64_t> ReadPhraseProperty(const CPhrase& phrase, int32_t number)
{
    switch (static_cast<EPhraseProperty>(number)) {
    case EPhraseProperty::Input:
        return PackNodeAddress(phrase.GetInput());
    case EPhraseProperty::TriggerRange:
        return PackBytePair({phrase.GetTriggerFrom(), phrase.GetTriggerTo()});
    case EPhraseProperty::KeyFollow:
        return FlagValue(phrase.GetKeyFollow());
    case EPhraseProperty::StartQuantize:
        return phrase.GetStartQuantize().GetTicks();
    case EPhraseProperty::StopQuantize:
        return phrase.GetStopQuantize().GetTicks();
    case EPhraseProperty::Output:
        return PackNodeAddress(phrase.GetOutput());
    case EPhraseProperty::OutputChannel:
        return phrase.GetOutputChannel();
    case EPhraseProperty::PlayMode:
        return static_cast<int64_t>(phrase.GetPlayMode());
    case EPhraseProperty::Loop:
        return FlagValue(phrase.GetLoop());
    case EPhraseProperty::Hold:
        return FlagValue(phrase.GetHold());
    case EPhraseProperty::Continue:
        return FlagValue(phrase.GetContinue());
    case EPhraseProperty::VelocityOffset:
        return phrase.GetVelocityOffset();
    case EPhraseProperty::Transpose:
        return phrase.GetTranspose();
    case EPhraseProperty::OutputQuantize:
        return phrase.GetOutputQuantize().GetTicks();
    case EPhraseProperty::Delay:
        return phrase.GetDelay();
    case EPhraseProperty::PitchLimits:
        return PackBytePair({phrase.GetPitchLimitFrom(), phrase.GetPitchLimitTo()});
    case EPhraseProperty::VelocityLimits:
        return PackBytePair({phrase.GetVelocityLimitFrom(), phrase.GetVelocityLimitTo()});
    }
    return {};
}

bool ApplyTrackProperty(CTrack& track, int32_t number, int64_t value)
{
    switch (static_cast<ETrackProperty>(number)) {
    case ETrackProperty::Colour:
        return Store(Narrow<uint32_t>(value), [&](uint32_t c) { track.SetColour(c); });
    case ETrackProperty::Property2:
        return Store(Narrow<int32_t>(value), [&](int32_t v) { track.SetProperty2Value(v); });
    case ETrackProperty::Output:
        return Store(UnpackNodeAddress(value), [&](CNodeAddress a) { track.SetOutput(a); });
    case ETrackProperty::OutputChannel:
        return Store(Channel(value), [&](uint8_t c) { track.SetOutputChannel(c); });
    case ETrackProperty::VelocityOffset:
        return Store(Narrow<int16_t>(value), [&](int16_t v) { track.SetVelocityOffset(v); });
    case ETrackProperty::Transpose:
        return Store(Narrow<int16_t>(value), [&](int16_t v) { track.SetTranspose(v); });
    case ETrackProperty::PlayQuantize:
        return Store(NoteValue(value), [&](CNoteValue v) { track.SetPlayQuantize(v); });
    case ETrackProperty::Delay:
        return Store(Narrow<tick>(value), [&](tick d) { track.SetDelay(d); });
    case ETrackProperty::PitchLimits:
        return Store(UnpackBytePair(value), [&](CBytePair r) {
            track.SetPitchLimitFrom(r.m_from);
            track.SetPitchLimitTo(r.m_to);
        });
    case ETrackProperty::VelocityLimits:
        return Store(UnpackBytePair(value), [&](CBytePair r) {
            track.SetVelocityLimitFrom(r.m_from);
            track.SetVelocityLimitTo(r.m_to);
        });
    case ETrackProperty::Record:
        return Store(Flag(value), [&](bool on) { track.SetRecord(on); });
    case ETrackProperty::Input:
        return Store(Flag(value), [&](bool on) { track.SetInput(on); });
    case ETrackProperty::Program:
        return Store(Narrow<uint8_t>(value), [&](uint8_t v) { track.SetProgram(v); });
    case ETrackProperty::Volume:
        return Store(Narrow<uint8_t>(value), [&](uint8_t v) { track.SetVolume(v); });
    case ETrackProperty::Pan:
        return Store(Narrow<uint8_t>(value), [&](uint8_t v) { track.SetPan(v); });
    }
    return false;
}

std::optional<int64_t> ReadTrackProperty(const CTrack& track, int32_t number)
{
    switch (static_cast<ETrackProperty>(number)) {
    case ETrackProperty::Colour:
        return track.GetColour();
    case ETrackProperty::Property2:
        return track.GetProperty2Value();
    case ETrackProperty::Output:
        return PackNodeAddress(track.GetOutput());
    case ETrackProperty::OutputChannel:
        return track.GetOutputChannel();
    case ETrackProperty::VelocityOffset:
        return track.GetVelocityOffset();
    case ETrackProperty::Transpose:
        return track.GetTranspose();
    case ETrackProperty::PlayQuantize:
        return track.GetPlayQuantize().GetTicks();
    case ETrackProperty::Delay:
        return track.GetDelay();
    case ETrackProperty::PitchLimits:
        return PackBytePair({track.GetPitchLimitFrom(), track.GetPitchLimitTo()});
    case ETrackProperty::VelocityLimits:
        return PackBytePair({track.GetVelocityLimitFrom(), track.GetVelocityLimitTo()});
    case ETrackProperty::Record:
        return FlagValue(track.GetRecord());
    case ETrackProperty::Input:
        return FlagValue(track.GetInput());
    case ETrackProperty::Program:
        return track.GetProgram();
    case ETrackProperty::Volume:
        return track.GetVolume();
    case ETrackProperty::Pan:
        return track.GetPan();
    }
    return {};
}
