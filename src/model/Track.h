#pragma once
// A lane of the arrangement: it owns clips, ordered by start, and carries the output, mixer
// values and playback transforms they are played with. Owned by the project's track list.

#include "model/Clip.h"
#include "model/NodeAddress.h"
#include "model/StoredFlag.h"
#include "model/TimeBase.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CTrack {
public:
    static constexpr const char* kDefaultName = "New Track";
    // Program, volume and pan value meaning "none sent".
    static constexpr uint8_t kNotSet = 255;

    CTrack() = default;
    virtual ~CTrack() = default;

    CTrack(const CTrack&) = delete;
    CTrack& operator=(const CTrack&) = delete;

    int32_t GetClipCount() const { return static_cast<int32_t>(m_clips.size()); }
    // Borrowed; throws CInvalidArgument when index is out of range.
    CClip& GetClipAt(int32_t index);
    const CClip& GetClipAt(int32_t index) const;
    // Position of the clip on this track, -1 when the track does not hold it. A binary search
    // over the starts, then the run of equal starts.
    int32_t IndexOfClip(const CClip* clip) const;
    // The clip with start <= t < end; where clips overlap, the one that starts first. Null if none.
    // Logarithmic in the clip count plus the clips that start within the longest clip's length
    // before t.
    CClip* ClipAt(tick t);
    const CClip* ClipAt(tick t) const;
    // Index range [first, last) of the clips that may overlap [from, to): those that start before
    // `to` and not longer before `from` than the longest clip. Callers check each clip's end.
    std::pair<int32_t, int32_t> ClipRangeNear(tick from, tick to) const;

    // The clips are kept in start order: every insert below either finds the place by start or
    // (InsertClipAt, InsertClipsAt) puts clips back exactly where a removal took them from.

    // Takes ownership and inserts after every clip that starts at or before the clip's start;
    // returns its index. Throws CInvalidArgument for a null clip.
    int32_t AddClip(std::unique_ptr<CClip> clip);
    // As AddClip for a track whose clips are in start order (one being built by a reader): a
    // clip starting at or after the last one is appended without a search. Returns its index.
    int32_t AddClipInOrder(std::unique_ptr<CClip> clip);
    // Adds many clips in one merge: the result is the same as AddClip of each in the given
    // order. Returns the final index of each clip, in the given order. Throws CInvalidArgument
    // for a null clip (nothing is added then).
    std::vector<int32_t> AddClips(std::vector<std::unique_ptr<CClip>> clips);
    // Takes ownership and inserts at index 0..count (undo puts a clip back where it was). Throws
    // CInvalidArgument on a bad index or a null clip.
    void InsertClipAt(int32_t index, std::unique_ptr<CClip> clip);
    // Hands the clip at index to the caller; throws CInvalidArgument when out of range.
    std::unique_ptr<CClip> RemoveClipAt(int32_t index);
    // Hands the clip to the caller with its former index; index -1 and null when not on this track.
    std::pair<int32_t, std::unique_ptr<CClip>> RemoveClip(const CClip* clip);

    // A clip taken out of a track together with the index it had.
    struct CRemovedClip {
        int32_t index = -1;
        std::unique_ptr<CClip> clip;
    };
    // Takes all the given clips out in one pass. Returns them in track order, each with the index
    // it had before the call. When one of them is not on this track (or one is given twice),
    // nothing is removed and the result is empty.
    std::vector<CRemovedClip> RemoveClips(const std::vector<const CClip*>& clips);
    // Puts clips back where RemoveClips took them from: removed holds distinct indices that refer
    // to the track as it was before that removal. Throws CInvalidArgument (nothing inserted) when
    // an index cannot be honoured or a clip is null.
    void InsertClipsAt(std::vector<CRemovedClip> removed);

    // End of the last clip in song ticks (0 without clips). Kept exact across inserts and
    // removes even after a clip shrank in place; after changing a clip's start or length in
    // place call RecomputeEnd, which also refreshes what ClipAt relies on.
    tick GetEnd() const { return m_end; }
    void RecomputeEnd();

    // Track identity within the project; -1 until the project gives it one.
    int32_t GetId() const { return m_id; }
    void SetId(int32_t id) { m_id = id; }
    // Index in the player's track table while the project is active, else -1. Not stored.
    int32_t GetPlayerSlot() const { return m_playerSlot; }
    void SetPlayerSlot(int32_t slot) { m_playerSlot = slot; }
    // Free for the engine's use; not stored.
    int32_t GetRuntimeWord() const { return m_runtimeWord; }
    void SetRuntimeWord(int32_t value) { m_runtimeWord = value; }
    const std::string& GetName() const { return m_name; }
    void SetName(const std::string& name) { m_name = name; }
    // Display colour as 0x00BBGGRR.
    uint32_t GetColour() const { return m_colour; }
    void SetColour(uint32_t colour) { m_colour = colour; }
    // Output port the clips play to.
    const CNodeAddress& GetOutput() const { return m_output; }
    void SetOutput(const CNodeAddress& output) { m_output = output; }
    // MIDI channel 0..15.
    uint8_t GetOutputChannel() const { return m_outputChannel; }
    void SetOutputChannel(uint8_t channel) { m_outputChannel = channel; }
    // Added to every played velocity.
    int16_t GetVelocityOffset() const { return m_velocityOffset; }
    void SetVelocityOffset(int16_t offset) { m_velocityOffset = offset; }
    // Semitones added to every played pitch.
    int16_t GetTranspose() const { return m_transpose; }
    void SetTranspose(int16_t semitones) { m_transpose = semitones; }
    CNoteValue GetPlayQuantize() const { return m_playQuantize; }
    void SetPlayQuantize(CNoteValue value) { m_playQuantize = value; }
    // Playback offset in ticks.
    tick GetDelay() const { return m_delay; }
    void SetDelay(tick delay) { m_delay = delay; }
    // Output pitch range, inclusive.
    uint8_t GetPitchLimitFrom() const { return m_pitchLimitFrom; }
    void SetPitchLimitFrom(uint8_t pitch) { m_pitchLimitFrom = pitch; }
    uint8_t GetPitchLimitTo() const { return m_pitchLimitTo; }
    void SetPitchLimitTo(uint8_t pitch) { m_pitchLimitTo = pitch; }
    // Output velocity range, inclusive.
    uint8_t GetVelocityLimitFrom() const { return m_velocityLimitFrom; }
    void SetVelocityLimitFrom(uint8_t velocity) { m_velocityLimitFrom = velocity; }
    uint8_t GetVelocityLimitTo() const { return m_velocityLimitTo; }
    void SetVelocityLimitTo(uint8_t velocity) { m_velocityLimitTo = velocity; }
    // 0..127, or kNotSet when none is sent. Shared by all tracks on one port and channel; the
    // project's channel setters keep them in step.
    uint8_t GetProgram() const { return m_program; }
    void SetProgram(uint8_t program) { m_program = program; }
    uint8_t GetVolume() const { return m_volume; }
    void SetVolume(uint8_t volume) { m_volume = volume; }
    uint8_t GetPan() const { return m_pan; }
    void SetPan(uint8_t pan) { m_pan = pan; }
    bool GetSolo() const { return m_solo.IsOn(); }
    void SetSolo(bool on) { m_solo.Set(on); }
    int32_t GetSoloStored() const { return m_solo.GetStored(); }
    void SetSoloStored(int32_t value) { m_solo.SetStored(value); }
    bool GetMute() const { return m_mute.IsOn(); }
    void SetMute(bool on) { m_mute.Set(on); }
    int32_t GetMuteStored() const { return m_mute.GetStored(); }
    void SetMuteStored(int32_t value) { m_mute.SetStored(value); }
    // Record enable.
    bool GetRecord() const { return m_record.IsOn(); }
    void SetRecord(bool on) { m_record.Set(on); }
    int32_t GetRecordStored() const { return m_record.GetStored(); }
    void SetRecordStored(int32_t value) { m_record.SetStored(value); }
    // Live input is passed through this track.
    bool GetInput() const { return m_input.IsOn(); }
    void SetInput(bool on) { m_input.Set(on); }
    int16_t GetInputStored() const { return m_input.GetStored(); }
    void SetInputStored(int16_t value) { m_input.SetStored(value); }
    // Value of track property 2, kept for the user interface; the model gives it no meaning.
    int32_t GetProperty2Value() const { return m_property2Value; }
    void SetProperty2Value(int32_t value) { m_property2Value = value; }

private:
    // Index of the first clip whose start is greater than t.
    int32_t UpperBound(tick t) const;
    // Index of the first clip whose start is t or later.
    int32_t LowerBound(tick t) const;
    // Bookkeeping after an insert or a removal.
    void Added(const CClip& clip);
    void Removed(const CClip* clip);
    bool EndIsStale() const { return m_endClip != nullptr && m_endClip->GetEnd() != m_end; }

    std::vector<std::unique_ptr<CClip>> m_clips;
    int32_t m_id = -1;
    int32_t m_playerSlot = -1;
    int32_t m_runtimeWord = 0;
    std::string m_name = kDefaultName;
    tick m_end = 0;
    // The clip whose end m_end is (null when m_end is 0 without a clip); a different end of it
    // means it changed in place and m_end must be recomputed.
    const CClip* m_endClip = nullptr;
    // At least the longest clip's length: ClipAt looks back that far for a covering clip.
    tick m_maxLength = 0;
    uint32_t m_colour = 0;
    CNodeAddress m_output{CNodeAddress::kKindOutputPort, 0};
    uint8_t m_outputChannel = 0;
    int16_t m_velocityOffset = 0;
    int16_t m_transpose = 0;
    CNoteValue m_playQuantize;
    tick m_delay = 0;
    uint8_t m_pitchLimitFrom = 0;
    uint8_t m_pitchLimitTo = 127;
    uint8_t m_velocityLimitFrom = 0;
    uint8_t m_velocityLimitTo = 127;
    uint8_t m_program = kNotSet;
    uint8_t m_volume = kNotSet;
    uint8_t m_pan = kNotSet;
    CStoredFlag<int32_t> m_solo;
    CStoredFlag<int32_t> m_mute;
    CStoredFlag<int32_t> m_record;
    CStoredFlag<int16_t> m_input;
    int32_t m_property2Value = 0;
};
