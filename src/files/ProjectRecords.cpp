#include "files/ProjectRecords.h"

#include "files/FieldIo.h"
#include "model/Clip.h"
#include "model/PhraseBank.h"
#include "model/Track.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <numeric>
#include <vector>

namespace {

// Identity and extent of a phrase or clip, after its notes and events.
template <class Io, class Data> void MidiDataLayout(Io& io, Data& d)
{
    io.Field(kWireInt32, d, &CMidiData::GetLength, &CMidiData::SetLength);
    io.Field(kWireString, d, &CMidiData::GetName, &CMidiData::SetName);
    io.Field(kWireInt32, d, &CMidiData::GetColour, &CMidiData::SetColour);
    io.Field(kWireInt32, d, &CMidiData::GetId, &CMidiData::SetId);
}

template <class Io, class Phrase> void PhraseLayout(Io& io, Phrase& p)
{
    io.Field(kWireAddress, p, &CPhrase::GetInput, &CPhrase::SetInput);
    io.Field(kWireUInt8, p, &CPhrase::GetTriggerFrom, &CPhrase::SetTriggerFrom);
    io.Field(kWireUInt8, p, &CPhrase::GetTriggerTo, &CPhrase::SetTriggerTo);
    io.Field(kWireInt32, p, &CPhrase::GetKeyFollowStored, &CPhrase::SetKeyFollowStored);
    io.Field(kWireNoteValue, p, &CPhrase::GetStartQuantize, &CPhrase::SetStartQuantize);
    io.Field(kWireNoteValue, p, &CPhrase::GetStopQuantize, &CPhrase::SetStopQuantize);
    io.Field(kWireAddress, p, &CPhrase::GetOutput, &CPhrase::SetOutput);
    io.Field(kWireUInt8, p, &CPhrase::GetOutputChannel, &CPhrase::SetOutputChannel);
    io.Field(kWireInt32, p, &CPhrase::GetPlayMode, &CPhrase::SetPlayMode);
    io.Field(kWireInt32, p, &CPhrase::GetLoopStored, &CPhrase::SetLoopStored);
    io.Field(kWireInt32, p, &CPhrase::GetHoldStored, &CPhrase::SetHoldStored);
    io.Field(kWireInt32, p, &CPhrase::GetContinueStored, &CPhrase::SetContinueStored);
    io.Field(kWireInt16, p, &CPhrase::GetVelocityOffset, &CPhrase::SetVelocityOffset);
    io.Field(kWireInt16, p, &CPhrase::GetTranspose, &CPhrase::SetTranspose);
    io.Field(kWireNoteValue, p, &CPhrase::GetOutputQuantize, &CPhrase::SetOutputQuantize);
    io.Field(kWireInt32, p, &CPhrase::GetDelay, &CPhrase::SetDelay);
    io.Field(kWireUInt8, p, &CPhrase::GetPitchLimitFrom, &CPhrase::SetPitchLimitFrom);
    io.Field(kWireUInt8, p, &CPhrase::GetPitchLimitTo, &CPhrase::SetPitchLimitTo);
    io.Field(kWireUInt8, p, &CPhrase::GetVelocityLimitFrom, &CPhrase::SetVelocityLimitFrom);
    io.Field(kWireUInt8, p, &CPhrase::GetVelocityLimitTo, &CPhrase::SetVelocityLimitTo);
    io.Field(kWireInt32, p, &CPhrase::GetReserved1, &CPhrase::SetReserved1);
    io.Field(kWireInt32, p, &CPhrase::GetReserved2, &CPhrase::SetReserved2);
    io.Field(kWireInt32, p, &CPhrase::GetReserved3, &CPhrase::SetReserved3);
}

// A clip is read with start 0, so moving it by the stored start places it without touching its
// content (SetStart would trim).
template <class Io, class Clip> void ClipLayout(Io& io, Clip& c)
{
    io.Field(kWireInt32, c, &CClip::GetStart,
             [](CClip& clip, tick start) { clip.MoveBy(start - clip.GetStart()); });
}

template <class Io, class Track> void TrackHeadLayout(Io& io, Track& t)
{
    io.Field(kWireString, t, &CTrack::GetName, &CTrack::SetName);
    io.Field(kWireInt32, t, &CTrack::GetColour, &CTrack::SetColour);
    io.Field(kWireInt32, t, &CTrack::GetId, &CTrack::SetId);
}

// The fields after the clips.
template <class Io, class Track> void TrackTailLayout(Io& io, Track& t)
{
    io.Field(kWireAddress, t, &CTrack::GetOutput, &CTrack::SetOutput);
    io.Field(kWireUInt8, t, &CTrack::GetOutputChannel, &CTrack::SetOutputChannel);
    io.Field(kWireInt16, t, &CTrack::GetVelocityOffset, &CTrack::SetVelocityOffset);
    io.Field(kWireInt16, t, &CTrack::GetTranspose, &CTrack::SetTranspose);
    io.Field(kWireNoteValue, t, &CTrack::GetPlayQuantize, &CTrack::SetPlayQuantize);
    io.Field(kWireInt32, t, &CTrack::GetDelay, &CTrack::SetDelay);
    io.Field(kWireUInt8, t, &CTrack::GetPitchLimitFrom, &CTrack::SetPitchLimitFrom);
    io.Field(kWireUInt8, t, &CTrack::GetPitchLimitTo, &CTrack::SetPitchLimitTo);
    io.Field(kWireUInt8, t, &CTrack::GetVelocityLimitFrom, &CTrack::SetVelocityLimitFrom);
    io.Field(kWireUInt8, t, &CTrack::GetVelocityLimitTo, &CTrack::SetVelocityLimitTo);
    io.Field(kWireUInt8, t, &CTrack::GetProgram, &CTrack::SetProgram);
    io.Field(kWireUInt8, t, &CTrack::GetVolume, &CTrack::SetVolume);
    io.Field(kWireUInt8, t, &CTrack::GetPan, &CTrack::SetPan);
    io.Field(kWireInt32, t, &CTrack::GetSoloStored, &CTrack::SetSoloStored);
    io.Field(kWireInt32, t, &CTrack::GetMuteStored, &CTrack::SetMuteStored);
    io.Field(kWireInt32, t, &CTrack::GetRecordStored, &CTrack::SetRecordStored);
    io.Field(kWireInt16, t, &CTrack::GetInputStored, &CTrack::SetInputStored);
    io.Field(kWireInt32, t, &CTrack::GetProperty2Value, &CTrack::SetProperty2Value);
}

template <class Io, class Placement> void PlacementLayout(Io& io, Placement& p)
{
    MemberField(io, kWireInt32, p, &CWindowPlacement::flags);
    MemberField(io, kWireInt32, p, &CWindowPlacement::showState);
    MemberField(io, kWireInt32, p, &CWindowPlacement::left);
    MemberField(io, kWireInt32, p, &CWindowPlacement::top);
    MemberField(io, kWireInt32, p, &CWindowPlacement::right);
    MemberField(io, kWireInt32, p, &CWindowPlacement::bottom);
}

// Notes and events are written straight into the buffer in chunks, not value by value.
constexpr size_t kChunkRecords = 4096;

template <class List, size_t RecordBytes, class Encode>
void WriteRecords(CArchiveWriter& ar, const List& list, Encode encode)
{
    ar.WriteInt32(list.GetCount());
    auto it = list.begin();
    for (size_t left = static_cast<size_t>(list.GetCount()); left > 0;) {
        const size_t n = std::min(left, kChunkRecords);
        uint8_t* p = ar.Extend(n * RecordBytes);
        for (size_t i = 0; i < n; ++i, ++it, p += RecordBytes)
            encode(*it, p);
        left -= n;
    }
}

void WriteNotes(CArchiveWriter& ar, const CNoteList& notes)
{
    WriteRecords<CNoteList, kNoteBytes>(ar, notes, [](const CNote& n, uint8_t* p) {
        PutInt32(p, n.m_start);
        PutInt32(p + 4, n.m_end);
        p[8] = n.m_pitch;
        p[9] = n.m_velocity;
        p[10] = n.m_offVelocity;
    });
}

void WriteEvents(CArchiveWriter& ar, const CEventList& events)
{
    WriteRecords<CEventList, kEventBytes>(ar, events, [](const CMidiEvent& e, uint8_t* p) {
        PutInt32(p, e.m_time);
        p[4] = e.m_kind;
        p[5] = e.m_data1;
        p[6] = e.m_data2;
    });
}

// Hands each stored note or event record to decode in time order (the time is a record's first
// int32), equal times keeping their stored order. We write lists in order; any other order is
// sorted once here, since appending out of order would move the whole list for each record.
template <class Decode>
void ForEachInTimeOrder(const uint8_t* p, int32_t count, size_t recordBytes, Decode decode)
{
    const auto record = [&](int32_t i) { return p + static_cast<size_t>(i) * recordBytes; };
    const auto timeOf = [&](int32_t i) { return GetInt32(record(i)); };
    int32_t i = 1;
    while (i < count && timeOf(i - 1) <= timeOf(i))
        ++i;
    if (i >= count) {
        for (i = 0; i < count; ++i)
            decode(record(i));
        return;
    }
    std::vector<int32_t> order(static_cast<size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int32_t a, int32_t b) { return timeOf(a) < timeOf(b); });
    for (const int32_t k : order)
        decode(record(k));
}

void DecodeNotes(const uint8_t* p, int32_t count, CNoteList& notes)
{
    notes.Reserve(count);
    ForEachInTimeOrder(p, count, kNoteBytes, [&](const uint8_t* r) {
        notes.Append(CNote(GetInt32(r), GetInt32(r + 4), r[8], r[9], r[10]));
    });
}

void DecodeEvents(const uint8_t* p, int32_t count, CEventList& events)
{
    events.Reserve(count);
    ForEachInTimeOrder(p, count, kEventBytes, [&](const uint8_t* r) {
        events.Append(CMidiEvent(GetInt32(r), r[4], r[5], r[6]));
    });
}

void WriteMidiData(CArchiveWriter& ar, const CMidiData& data)
{
    WriteNotes(ar, data.GetNotes());
    WriteEvents(ar, data.GetEvents());
    CFieldWriter io(ar);
    MidiDataLayout(io, data);
}

// The content is decoded after the length is set, so that the stored length can never cut it.
void ReadMidiData(CArchiveReader& ar, CMidiData& data)
{
    const int32_t noteCount = ar.ReadCount(kNoteBytes);
    const uint8_t* notes = ar.Take(static_cast<size_t>(noteCount) * kNoteBytes);
    const int32_t eventCount = ar.ReadCount(kEventBytes);
    const uint8_t* events = ar.Take(static_cast<size_t>(eventCount) * kEventBytes);
    CFieldReader io(ar);
    MidiDataLayout(io, data);
    DecodeNotes(notes, noteCount, data.GetNotes());
    DecodeEvents(events, eventCount, data.GetEvents());
}

void WritePhrase(CArchiveWriter& ar, const CPhrase& phrase)
{
    WriteMidiData(ar, phrase);
    CFieldWriter io(ar);
    PhraseLayout(io, phrase);
}

std::unique_ptr<CPhrase> ReadPhrase(CArchiveReader& ar)
{
    auto phrase = std::make_unique<CPhrase>();
    ReadMidiData(ar, *phrase);
    CFieldReader io(ar);
    PhraseLayout(io, *phrase);
    return phrase;
}

void WriteClip(CArchiveWriter& ar, const CClip& clip)
{
    WriteMidiData(ar, clip);
    CFieldWriter io(ar);
    ClipLayout(io, clip);
}

std::unique_ptr<CClip> ReadClip(CArchiveReader& ar)
{
    auto clip = std::make_unique<CClip>();
    ReadMidiData(ar, *clip);
    CFieldReader io(ar);
    ClipLayout(io, *clip);
    // The model works with the clip's end; one past the tick range is not a clip of ours.
    const int64_t end = int64_t{clip->GetStart()} + clip->GetLength();
    if (end < INT32_MIN || end > INT32_MAX) ar.FailSchema();
    return clip;
}

bool HasWindowTarget(EWindowKind kind)
{
    return kind == EWindowKind::PianoRoll || kind == EWindowKind::PhraseBank;
}

} // namespace

void WriteBank(CArchiveWriter& ar, const CPhraseBank& bank)
{
    ar.WriteString(bank.GetName());
    ar.WriteInt32(bank.GetCount());
    for (int32_t i = 0; i < bank.GetCount(); ++i)
        WritePhrase(ar, bank.GetPhraseAt(i));
}

std::unique_ptr<CPhraseBank> ReadBank(CArchiveReader& ar)
{
    auto bank = std::make_unique<CPhraseBank>(ar.ReadString());
    const int32_t count = ar.ReadCount(kMinPhraseBytes);
    for (int32_t i = 0; i < count; ++i)
        bank->InsertAt(i, ReadPhrase(ar));
    return bank;
}

void WriteTrack(CArchiveWriter& ar, const CTrack& track)
{
    CFieldWriter io(ar);
    TrackHeadLayout(io, track);
    ar.WriteInt32(track.GetClipCount());
    for (int32_t i = 0; i < track.GetClipCount(); ++i)
        WriteClip(ar, track.GetClipAt(i));
    TrackTailLayout(io, track);
}

std::unique_ptr<CTrack> ReadTrack(CArchiveReader& ar)
{
    auto track = std::make_unique<CTrack>();
    CFieldReader io(ar);
    TrackHeadLayout(io, *track);
    const int32_t count = ar.ReadCount(kMinClipBytes);
    std::vector<std::unique_ptr<CClip>> clips;
    clips.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i)
        clips.push_back(ReadClip(ar));
    // Clips stored out of order are sorted once, equal starts keeping their file order, as
    // adding each one sorted would place them.
    std::stable_sort(clips.begin(), clips.end(),
                     [](const auto& a, const auto& b) { return a->GetStart() < b->GetStart(); });
    for (auto& clip : clips)
        track->AddClipInOrder(std::move(clip));
    TrackTailLayout(io, *track);
    return track;
}

bool IsSavedWindowKind(int32_t kind)
{
    return kind >= static_cast<int32_t>(EWindowKind::Project) &&
           kind <= static_cast<int32_t>(EWindowKind::Mixer);
}

size_t ViewStateBytes(EWindowKind kind)
{
    switch (kind) {
    case EWindowKind::Tracks:
        return 6 * 4 + 2 + 4;
    case EWindowKind::PianoRoll:
        return 7 * 4 + 2 + 2 * 4 + 4 + 2 + 4 + 2 + 2 + 2;
    case EWindowKind::PhraseBank:
        return 3 * 4;
    default:
        return 0;
    }
}

void WriteWindowRecord(CArchiveWriter& ar, const CWindowState& state)
{
    ar.WriteInt32(static_cast<int32_t>(state.kind));
    if (HasWindowTarget(state.kind)) ar.WriteInt32(state.target);
    CFieldWriter io(ar);
    PlacementLayout(io, state.placement);
    const size_t size = ViewStateBytes(state.kind);
    uint8_t* p = ar.Extend(size);
    const size_t kept = std::min(size, state.view.size());
    if (kept != 0) std::memcpy(p, state.view.data(), kept);
    if (size != kept) std::memset(p + kept, 0, size - kept);
}

CWindowState ReadWindowRecord(CArchiveReader& ar, EWindowKind kind)
{
    CWindowState state;
    state.kind = kind;
    if (HasWindowTarget(kind)) state.target = ar.ReadInt32();
    CFieldReader io(ar);
    PlacementLayout(io, state.placement);
    const size_t size = ViewStateBytes(kind);
    const uint8_t* p = ar.Take(size);
    state.view.assign(p, p + size);
    return state;
}
