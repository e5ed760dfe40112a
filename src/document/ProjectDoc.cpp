#include "document/ProjectDoc.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>

#include "document/OperationProject.h"
#include "document/PlayerLink.h"
#include "engine/MidiEngineProxy.h"
#include "model/Clip.h"
#include "model/Errors.h"
#include "model/Phrase.h"
#include "model/Properties.h"
#include "model/Track.h"

CProjectDoc& ProjectOf(COperationHistory& history)
{
    auto* doc = dynamic_cast<CProjectDoc*>(&history);
    if (doc == nullptr) throw CInvalidArgument();
    return *doc;
}

std::string FormatCopyright(int year, const std::string& author)
{
    return "Copyright (C) " + std::to_string(year) + ", " + author;
}

int CurrentLocalYear()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
}

void CProjectInfo::Reset()
{
    m_title.clear();
    m_comment.clear();
    m_copyright = FormatCopyright(CurrentLocalYear(), m_author);
}

namespace {

std::unique_ptr<CProjectWindows> OrHeadless(std::unique_ptr<CProjectWindows> windows)
{
    if (windows) return windows;
    return std::make_unique<CHeadlessWindows>();
}

bool SharesChannel(const CTrack& a, const CTrack& b)
{
    return a.GetOutput() == b.GetOutput() && a.GetOutputChannel() == b.GetOutputChannel();
}

// The channel message that sends a channel property to an output.
struct CChannelMessage {
    uint8_t status;
    uint8_t controller; // data 1 for controllers; unused for a program change
};

CChannelMessage ChannelMessageFor(int32_t number)
{
    switch (static_cast<ETrackProperty>(number)) {
    case ETrackProperty::Program:
        return {0xC0, 0};
    case ETrackProperty::Volume:
        return {0xB0, 7};
    default:
        return {0xB0, 10}; // pan
    }
}

// Bar counts come from files unchecked; a huge count saturates instead of overflowing.
tick BarsToTicks(int32_t bars, const CTimeSignature& signature)
{
    return SaturatedTick(int64_t{bars} * signature.GetTicksPerBar());
}

constexpr int32_t kChannelProperties[] = {static_cast<int32_t>(ETrackProperty::Program),
                                          static_cast<int32_t>(ETrackProperty::Volume),
                                          static_cast<int32_t>(ETrackProperty::Pan)};

} // namespace

CProjectDoc::CProjectDoc(std::unique_ptr<CProjectWindows> windows)
    : m_proxy(&CMidiEngineProxy::Instance()), m_windows(OrHeadless(std::move(windows)))
{
    m_loopEnd = NewClipLength();
    m_info.Reset();
}

CProjectDoc::~CProjectDoc() = default;

// ---------------------------------------------------------------------------------------------
// History

void CProjectDoc::Clear()
{
    // The player mirrors every phrase, track and clip of the active project: it lets go of them
    // before they are deleted and takes the emptied project back, so it never holds a freed one.
    CPlayerLink* const player = m_player;
    if (player != nullptr) {
        player->Stop();
        player->ClearProject(*this);
    }
    ClearContent();
    if (player != nullptr) player->LoadProject(*this);
}

void CProjectDoc::ClearContent()
{
    COperationHistory::Clear();
    m_banks.clear();
    while (m_tracks.GetCount() > 0)
        m_tracks.RemoveAt(-1);
    m_timeSignature = CTimeSignature();
    m_path.clear();
    m_highestObjectId = 0;
    m_highestTrackId = 0;
    m_info.Reset();
}

void CProjectDoc::SetModified(bool modified)
{
    COperationHistory::SetModified(modified);
    m_windows->RebuildTitles();
}

void CProjectDoc::DeleteContents()
{
    Clear();
}

std::string CProjectDoc::GetDisplayTitle() const
{
    if (!m_info.m_title.empty()) return m_info.m_title;
    if (!m_path.empty()) {
        const std::string name = std::filesystem::path(m_path).filename().string();
        if (!name.empty()) return name;
    }
    return kNewProjectTitle;
}

bool CProjectDoc::IsPlayingActive() const
{
    return m_player != nullptr && (m_player->IsRunning() || m_player->IsRecording());
}

void CProjectDoc::SetWindows(std::unique_ptr<CProjectWindows> windows)
{
    m_windows = OrHeadless(std::move(windows));
}

// ---------------------------------------------------------------------------------------------
// Banks

CPhraseBank& CProjectDoc::GetBankAt(int32_t index)
{
    CheckIndex(index, GetBankCount());
    return *m_banks[index];
}

const CPhraseBank& CProjectDoc::GetBankAt(int32_t index) const
{
    CheckIndex(index, GetBankCount());
    return *m_banks[index];
}

int32_t CProjectDoc::IndexOfBank(const CPhraseBank* bank) const
{
    const auto it = std::find_if(m_banks.begin(), m_banks.end(),
                                 [bank](const auto& b) { return b.get() == bank; });
    return it == m_banks.end() ? -1 : static_cast<int32_t>(it - m_banks.begin());
}

void CProjectDoc::InsertBank(int32_t index, std::unique_ptr<CPhraseBank> bank)
{
    if (!bank) throw CInvalidArgument();
    if (index == -1) index = GetBankCount();
    CheckIndex(index, GetBankCount() + 1);
    m_banks.insert(m_banks.begin() + index, std::move(bank));
}

std::unique_ptr<CPhraseBank> CProjectDoc::RemoveBank(int32_t index)
{
    CheckIndex(index, GetBankCount());
    std::unique_ptr<CPhraseBank> bank = std::move(m_banks[index]);
    m_banks.erase(m_banks.begin() + index);
    return bank;
}

// ---------------------------------------------------------------------------------------------
// Tracks

CTrack* CProjectDoc::FindChannelPartner(const CTrack& track)
{
    for (int32_t i = 0; i < m_tracks.GetCount(); ++i) {
        CTrack* other = m_tracks.GetAt(i);
        if (other != &track && SharesChannel(*other, track)) return other;
    }
    return nullptr;
}

void CProjectDoc::InsertTrack(int32_t index, std::unique_ptr<CTrack> track)
{
    if (!track) throw CInvalidArgument();
    if (index == -1) index = m_tracks.GetCount();
    CheckIndex(index, m_tracks.GetCount() + 1);
    if (const CTrack* partner = FindChannelPartner(*track)) {
        track->SetProgram(partner->GetProgram());
        track->SetVolume(partner->GetVolume());
        track->SetPan(partner->GetPan());
    }
    CTrack& inserted = *track;
    m_tracks.InsertAt(index, std::move(track));
    if (m_player != nullptr) m_player->AddTrack(inserted);
    m_windows->TrackInserted(index);
}

std::unique_ptr<CTrack> CProjectDoc::RemoveTrack(int32_t index)
{
    if (index == -1) index = m_tracks.GetCount() - 1;
    CheckIndex(index, m_tracks.GetCount());
    std::unique_ptr<CTrack> track = m_tracks.RemoveAt(index);
    if (m_player != nullptr) m_player->RemoveTrack(*track);
    m_windows->TrackRemoved(index);
    return track;
}

bool CProjectDoc::StoreTrackProperty(CTrack& track, int32_t number, int64_t value)
{
    if (m_player != nullptr) return m_player->SetTrackProperty(track, number, value);
    // Nothing plays an inactive project, so the model can take the value directly.
    return ApplyTrackProperty(track, number, value);
}

bool CProjectDoc::SetTrackProperty(CTrack& track, int32_t number, int64_t value)
{
    bool accepted = false;
    if (number == static_cast<int32_t>(ETrackProperty::Colour) ||
        number == static_cast<int32_t>(ETrackProperty::Property2)) {
        accepted = ApplyTrackProperty(track, number, value);
    } else if (number > 100) {
        accepted = StoreTrackProperty(track, number, value);
    }
    if (!accepted) return false;
    m_windows->TrackPropertyChanged(track, number);
    if (number == static_cast<int32_t>(ETrackProperty::Output) ||
        number == static_cast<int32_t>(ETrackProperty::OutputChannel)) {
        AdoptChannelSettings(track);
    }
    return true;
}

void CProjectDoc::AdoptChannelSettings(CTrack& track)
{
    const CTrack* partner = FindChannelPartner(track);
    if (partner == nullptr) return;
    for (int32_t number : kChannelProperties) {
        const std::optional<int64_t> value = ReadTrackProperty(*partner, number);
        if (ReadTrackProperty(track, number) == value) continue;
        if (StoreTrackProperty(track, number, *value))
            m_windows->TrackPropertyChanged(track, number);
    }
}

void CProjectDoc::SetChannelValue(CTrack& track, int32_t number, uint8_t value)
{
    // Copied, since the tracks on the channel include track itself and may change under us.
    const CNodeAddress output = track.GetOutput();
    const uint8_t channel = track.GetOutputChannel();
    for (int32_t i = 0; i < m_tracks.GetCount(); ++i) {
        CTrack& other = *m_tracks.GetAt(i);
        if (other.GetOutput() != output || other.GetOutputChannel() != channel) continue;
        if (ReadTrackProperty(other, number) == value) continue;
        if (StoreTrackProperty(other, number, value))
            m_windows->TrackPropertyChanged(other, number);
    }
    if (m_player == nullptr || value > 127) return;
    const CChannelMessage message = ChannelMessageFor(number);
    if (message.status == 0xC0)
        m_player->SendChannelMessage(track, message.status, value, 0);
    else
        m_player->SendChannelMessage(track, message.status, message.controller, value);
}

void CProjectDoc::SetChannelProgram(CTrack& track, uint8_t program)
{
    SetChannelValue(track, static_cast<int32_t>(ETrackProperty::Program), program);
}

void CProjectDoc::SetChannelVolume(CTrack& track, uint8_t volume)
{
    SetChannelValue(track, static_cast<int32_t>(ETrackProperty::Volume), volume);
}

void CProjectDoc::SetChannelPan(CTrack& track, uint8_t pan)
{
    SetChannelValue(track, static_cast<int32_t>(ETrackProperty::Pan), pan);
}

// ---------------------------------------------------------------------------------------------
// Look-ups and ids

CMidiData* CProjectDoc::FindById(int32_t id)
{
    if (id == 0) return nullptr;
    for (const auto& bank : m_banks) {
        for (int32_t i = 0; i < bank->GetCount(); ++i) {
            CPhrase& phrase = bank->GetPhraseAt(i);
            if (phrase.GetId() == id) return &phrase;
        }
    }
    for (int32_t t = 0; t < m_tracks.GetCount(); ++t) {
        CTrack& track = *m_tracks.GetAt(t);
        for (int32_t i = 0; i < track.GetClipCount(); ++i) {
            CClip& clip = track.GetClipAt(i);
            if (clip.GetId() == id) return &clip;
        }
    }
    return nullptr;
}

CPhraseBank* CProjectDoc::FindBankOf(const CPhrase* phrase)
{
    for (const auto& bank : m_banks)
        if (bank->IndexOf(phrase) >= 0) return bank.get();
    return nullptr;
}

int32_t CProjectDoc::IndexOfTrackWithClip(const CClip* clip) const
{
    return m_tracks.IndexOfTrackWithClip(clip);
}

tick CProjectDoc::NewPhraseLength() const
{
    return BarsToTicks(m_editDefaults.m_newPhraseBars, m_timeSignature);
}

tick CProjectDoc::NewClipLength() const
{
    return BarsToTicks(m_editDefaults.m_newClipBars, m_timeSignature);
}

int32_t CProjectDoc::NewObjectId()
{
    return ++m_highestObjectId;
}

int32_t CProjectDoc::NewTrackId()
{
    return ++m_highestTrackId;
}

void CProjectDoc::RecomputeHighestIds()
{
    int32_t highestObject = 0;
    for (const auto& bank : m_banks)
        for (int32_t i = 0; i < bank->GetCount(); ++i)
            highestObject = std::max(highestObject, bank->GetPhraseAt(i).GetId());
    int32_t highestTrack = 0;
    for (int32_t t = 0; t < m_tracks.GetCount(); ++t) {
        const CTrack& track = *m_tracks.GetAt(t);
        highestTrack = std::max(highestTrack, track.GetId());
        for (int32_t i = 0; i < track.GetClipCount(); ++i)
            highestObject = std::max(highestObject, track.GetClipAt(i).GetId());
    }
    m_highestObjectId = highestObject;
    m_highestTrackId = highestTrack;
}

// ---------------------------------------------------------------------------------------------
// Transport values

void CProjectDoc::FollowPlayerPosition(tick position)
{
    m_songPosition = position;
    m_windows->SongPositionChanged();
}

void CProjectDoc::SetSongPosition(tick position)
{
    FollowPlayerPosition(position);
    if (m_player != nullptr) m_player->Locate(position);
}

void CProjectDoc::StepSongPosition(int direction)
{
    if (direction == 0) return;
    const int64_t step = direction > 0 ? kSongPositionStep : -kSongPositionStep;
    const int64_t moved = std::clamp<int64_t>(int64_t{m_songPosition} + step, 0, INT32_MAX);
    FollowPlayerPosition(static_cast<tick>(moved));
}

void CProjectDoc::LoopChanged()
{
    if (m_player != nullptr) m_player->SetLoop(m_loopOn.IsOn(), m_loopStart, m_loopEnd);
    m_windows->TransportChanged();
}

void CProjectDoc::SetLoopOn(bool on)
{
    m_loopOn.Set(on);
    LoopChanged();
}

void CProjectDoc::SetLoopOnStored(int32_t value)
{
    m_loopOn.SetStored(value);
    LoopChanged();
}

void CProjectDoc::SetLoopStart(tick start)
{
    m_loopStart = start;
    LoopChanged();
}

void CProjectDoc::SetLoopEnd(tick end)
{
    m_loopEnd = end;
    LoopChanged();
}
