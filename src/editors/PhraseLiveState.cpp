#include "editors/PhraseLiveState.h"

#include "editing/TrackOperations.h"

#include "document/ProjectDoc.h"

#include <algorithm>

#include "devices/MidiNode.h"
#include "engine/MidiEngineProxy.h"
#include "engine/PlayControl.h"
#include "model/Phrase.h"

namespace {

// The voice record kinds of the phrase players.
constexpr int32_t kCreated = 0;
constexpr int32_t kRemoved = 1;
constexpr int32_t kStarted = 2;
constexpr int32_t kStopped = 3;

} // namespace

void CPhraseLive::OnVoice(int32_t kind, int32_t serial)
{
    const auto waiting = std::find(waitingVoices.begin(), waitingVoices.end(), serial);
    switch (kind) {
    case kCreated:
        if (waiting == waitingVoices.end()) waitingVoices.push_back(serial);
        break;
    case kStarted:
        if (waiting != waitingVoices.end()) waitingVoices.erase(waiting);
        ++playingVoices;
        break;
    case kStopped:
        playingVoices = std::max(0, playingVoices - 1);
        break;
    case kRemoved:
        if (waiting != waitingVoices.end()) waitingVoices.erase(waiting);
        break;
    default:
        break;
    }
}

CPhraseLiveStates& CPhraseLiveStates::Instance()
{
    static CPhraseLiveStates states;
    return states;
}

CPhraseLive* CPhraseLiveStates::At(const CPhrase& phrase)
{
    const int32_t slot = phrase.GetPlayerSlot();
    if (slot < 0) return nullptr;
    if (static_cast<size_t>(slot) >= m_slots.size()) m_slots.resize(static_cast<size_t>(slot) + 1);
    SEntry& entry = m_slots[static_cast<size_t>(slot)];
    if (entry.phrase != &phrase) entry = SEntry{&phrase, {}};
    return &entry.live;
}

const CPhraseLive* CPhraseLiveStates::Find(const CPhrase& phrase) const
{
    const int32_t slot = phrase.GetPlayerSlot();
    if (slot < 0 || static_cast<size_t>(slot) >= m_slots.size()) return nullptr;
    const SEntry& entry = m_slots[static_cast<size_t>(slot)];
    return entry.phrase == &phrase ? &entry.live : nullptr;
}

bool CPhraseLiveStates::DecayLevels(int32_t step)
{
    bool lit = false;
    for (SEntry& entry : m_slots) {
        entry.live.level = std::max(0, entry.live.level - step);
        lit = lit || entry.live.level > 0;
    }
    return lit;
}

void CPhraseLiveStates::ClearFlags(bool solo)
{
    for (SEntry& entry : m_slots)
        (solo ? entry.live.solo : entry.live.mute) = false;
}

bool EngineFlagMode(const CMidiEngineProxy& engine, bool solo)
{
    const int32_t code = solo ? CPlayControl::kSoloMode : CPlayControl::kMuteMode;
    return engine.GetNodeParameter(kPlayControlNode, code) == 1;
}

void ToggleTrackFlag(CProjectDoc& doc, CTrack& track, bool solo)
{
    const bool active = doc.IsActive();
    const bool modeBefore = active && EngineFlagMode(doc.GetEngineProxy(), solo);
    if (solo)
        ToggleTrackSolo(doc, track);
    else
        ToggleTrackMute(doc, track);
    if (active) CPhraseLiveStates::Instance().OtherFlagToggled(solo, modeBefore);
}
