#pragma once
// What the engine last reported about the active project's phrase players, kept on the user
// interface side: playing and waiting voices, the activity level, and the solo and mute flags
// (which only the players hold; the list mirrors its own toggles). The main frame feeds it from
// the mailbox drain; the bank lists read it when they paint. Entries follow the player slots, so a
// slot handed to another phrase starts afresh. User-interface thread only.

#include <cstdint>
#include <vector>

class CMidiEngineProxy;
class CProjectDoc;
class CTrack;
class CPhrase;

struct CPhraseLive {
    static constexpr int32_t kFullLevel = 127;

    int32_t playingVoices = 0;
    int32_t level = 0; // activity 0..127, falling between reports
    // Serials of voices created and not started yet (their start waits for its quantize).
    std::vector<int32_t> waitingVoices;
    bool solo = false;
    bool mute = false;

    // Follows one voice record: kind 0 created, 1 removed, 2 started, 3 stopped.
    void OnVoice(int32_t kind, int32_t serial);
    bool IsPlaying() const { return playingVoices > 0; }
    bool IsWaiting() const { return !waitingVoices.empty(); }
};

class CPhraseLiveStates {
public:
    static CPhraseLiveStates& Instance();

    // The state of a phrase that has a player slot (created on first use; null without a slot).
    CPhraseLive* At(const CPhrase& phrase);
    // The state kept for the phrase, or null when there is none.
    const CPhraseLive* Find(const CPhrase& phrase) const;
    // Lowers every level by step; true while some level is above 0.
    bool DecayLevels(int32_t step);
    // Solo (mute) flags of every phrase off, as the engine does when the mode is switched on by
    // a phrase's toggle.
    void ClearFlags(bool solo);
    // Another object's solo (mute) flag was toggled with the mode as given before it: with the
    // mode off, the engine cleared every other flag, the phrases' among them.
    void OtherFlagToggled(bool solo, bool modeBefore)
    {
        if (!modeBefore) ClearFlags(solo);
    }
    void Clear() { m_slots.clear(); }

private:
    struct SEntry {
        const CPhrase* phrase = nullptr;
        CPhraseLive live;
    };
    std::vector<SEntry> m_slots; // by player slot
};

// The engine's solo (mute) mode as it stands now, read directly: the project's copy follows only
// at the next drain.
bool EngineFlagMode(const CMidiEngineProxy& engine, bool solo);

// Toggles a track's solo (or mute) flag through the project and keeps the phrases' mirrored
// flags as the engine leaves them: every place that toggles a track's flag goes through here.
void ToggleTrackFlag(CProjectDoc& doc, CTrack& track, bool solo);
