#pragma once
// One song project: phrase banks, tracks, transport values, texts and editing defaults, with its
// own undo history (the project is the history) and the registry of its open windows.
// User-interface thread only.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/OperationHistory.h"
#include "document/ProjectWindows.h"
#include "model/HarmonicScale.h"
#include "model/PhraseBank.h"
#include "model/StoredFlag.h"
#include "model/TimeBase.h"
#include "model/TrackList.h"

class CUserServices;
class CClip;
class CMidiEngineProxy;
class CMidiData;
class CPhrase;
class CPlayerLink;
class CTrack;

// The descriptive texts of a project, in the order they are stored.
struct CProjectInfo {
    std::string m_title;
    std::string m_copyright;
    std::string m_author;
    std::string m_comment;

    // Empty title and comment, the copyright formatted for the current year with the author
    // (which is kept).
    void Reset();
};

// "Copyright (C) %d, %s" with the year and the author.
std::string FormatCopyright(int year, const std::string& author);
// The current year in local time.
int CurrentLocalYear();

// What new phrases, clips and piano rolls start with.
struct CEditDefaults {
    static constexpr int32_t kMinBars = 1;
    static constexpr int32_t kMaxBars = 16;

    int32_t m_newPhraseBars = 4;
    int32_t m_newClipBars = 4;
    CNoteValue m_pianoRollSnap{24};
    CNoteValue m_pianoRollGrid{24};
};

class CProjectDoc : public COperationHistory {
public:
    // Shown when the project has neither a title nor a path.
    static constexpr const char* kNewProjectTitle = "<New Project>";
    // One step of the song position by the transport's wind buttons.
    static constexpr tick kSongPositionStep = kTicksPerQuarter;

    // A new, empty project. windows: the registry of the project's windows (owned); null gives a
    // CHeadlessWindows.
    explicit CProjectDoc(std::unique_ptr<CProjectWindows> windows = nullptr);
    ~CProjectDoc() override;

    // --- History ---
    // Clears the history, then the content (see DeleteContents). An active project stays active:
    // playback stops and the player is handed the emptied project.
    void Clear() override;
    // Stores the flag and lets the open main windows rebuild their titles.
    void SetModified(bool modified) override;
    // Clears the history, deletes every bank and track, resets the time signature to 4/4, clears
    // the path, sets both highest ids to 0 and re-initialises the info. Tempo, loop and editing
    // defaults stay. An active project stays active, as for Clear.
    void DeleteContents();

    // --- Files (defined with the file formats, in files/) ---
    // Reads the file; the extension (lower case) selects the reader: ".tnw" project file, ".mid"
    // Standard MIDI File as a new project. False, with nothing changed, for any other extension.
    // Throws CFileError (or CUserAbort) when the file cannot be read or is malformed. On success
    // the path is stored and the current directory becomes the file's folder. Questions a reader
    // asks (the channel question of a MIDI file) go to questions (borrowed); null answers Yes.
    bool Load(const std::string& path, CUserServices* questions = nullptr);
    // Writes the project file; throws CFileError on failure. On success the path is stored and
    // the modified flag cleared.
    void Save(const std::string& path);

    // Full path of the project file; empty for a new project.
    const std::string& GetPath() const { return m_path; }
    void SetPath(const std::string& path) { m_path = path; }
    // The title if set, else the file name with extension, else "<New Project>".
    std::string GetDisplayTitle() const;

    // --- Windows and player ---
    // The registry of the project's windows (owned by the project).
    CProjectWindows& GetWindows() { return *m_windows; }
    const CProjectWindows& GetWindows() const { return *m_windows; }
    // Replaces the registry (null gives a CHeadlessWindows); the old one is destroyed.
    void SetWindows(std::unique_ptr<CProjectWindows> windows);
    // Whether the player plays this project.
    bool IsActive() const { return m_player != nullptr; }
    // The player while the project is active, else null (borrowed).
    CPlayerLink* GetPlayer() const { return m_player; }
    // Called by the project manager on activation (the player, borrowed) and deactivation (null).
    void AttachPlayer(CPlayerLink* player) { m_player = player; }
    // Whether the project is the active one and the player runs (plays or records): operations
    // that add or remove tracks wait for it to stop.
    bool IsPlayingActive() const;
    // The engine's command proxy through which edits of notes, events, lengths and properties
    // reach the model, so that playing material changes in step with playback. Borrowed;
    // CMidiEngineProxy::Instance() unless set.
    CMidiEngineProxy& GetEngineProxy() const { return *m_proxy; }
    void SetEngineProxy(CMidiEngineProxy& proxy) { m_proxy = &proxy; }

    // --- Phrase banks ---
    int32_t GetBankCount() const { return static_cast<int32_t>(m_banks.size()); }
    // Borrowed; throws CInvalidArgument when index is out of range.
    CPhraseBank& GetBankAt(int32_t index);
    const CPhraseBank& GetBankAt(int32_t index) const;
    // Position of the bank, -1 when the project does not hold it.
    int32_t IndexOfBank(const CPhraseBank* bank) const;
    // Takes ownership; index 0..count, or -1 to append. Throws CInvalidArgument on any other
    // index or a null bank. Ids, the player and the windows are the caller's business.
    void InsertBank(int32_t index, std::unique_ptr<CPhraseBank> bank);
    // Hands the bank at index to the caller; throws CInvalidArgument when out of range.
    std::unique_ptr<CPhraseBank> RemoveBank(int32_t index);

    // --- Tracks ---
    CTrackList& GetTracks() { return m_tracks; }
    const CTrackList& GetTracks() const { return m_tracks; }
    // Inserts at index (0..count, -1 appends). The new track first takes program, volume and pan
    // from a track on the same output port and channel, if any; an active player is told, then
    // the windows. Throws CInvalidArgument on a bad index or a null track.
    void InsertTrack(int32_t index, std::unique_ptr<CTrack> track);
    // Hands the track at index (-1 = last) to the caller after telling an active player and the
    // windows. Throws CInvalidArgument when there is no such track.
    std::unique_ptr<CTrack> RemoveTrack(int32_t index);
    // Numbers 1 (colour) and 2 are stored directly; numbers from 101 go to the player while the
    // project is active, else are applied here. After a new output (101) or channel (102) the
    // track takes program, volume and pan from another track now on its port and channel.
    // Returns false when the number or value is refused. Values are packed as in Properties.h.
    bool SetTrackProperty(CTrack& track, int32_t number, int64_t value);
    // Program, volume and pan belong to an output port and channel: every track there gets the
    // value (0..127, 255 = none); an active player sends it to the output once.
    void SetChannelProgram(CTrack& track, uint8_t program);
    void SetChannelVolume(CTrack& track, uint8_t volume);
    void SetChannelPan(CTrack& track, uint8_t pan);

    // --- Look-ups ---
    // The phrase (banks first, in order) or else the clip with this id; null when none has it.
    // Id 0 marks objects without an identity and finds nothing.
    CMidiData* FindById(int32_t id);
    // The bank that holds the phrase, or null.
    CPhraseBank* FindBankOf(const CPhrase* phrase);
    // Position of the track owning the clip, -1 when none does.
    int32_t IndexOfTrackWithClip(const CClip* clip) const;
    // Length in ticks of a new phrase or clip: the default bar count times ticks per bar.
    tick NewPhraseLength() const;
    tick NewClipLength() const;

    // --- Ids ---
    // Largest phrase or clip id in use.
    int32_t GetHighestObjectId() const { return m_highestObjectId; }
    void SetHighestObjectId(int32_t id) { m_highestObjectId = id; }
    // Largest track id in use.
    int32_t GetHighestTrackId() const { return m_highestTrackId; }
    void SetHighestTrackId(int32_t id) { m_highestTrackId = id; }
    // Raises the highest object (track) id by one and returns it, for a new object (track).
    int32_t NewObjectId();
    int32_t NewTrackId();
    // Sets both highest ids to the largest ids in use (0 when none): used after loading.
    void RecomputeHighestIds();

    // --- Transport values ---
    // Hundredths of a beat per minute.
    int32_t GetTempo() const { return m_tempo; }
    void SetTempo(int32_t tempo) { m_tempo = tempo; }
    tick GetSongPosition() const { return m_songPosition; }
    // Moves the song position; the tracks window follows and an active player locates there.
    void SetSongPosition(tick position);
    // Stores a position the player reported, without locating the player again.
    void FollowPlayerPosition(tick position);
    // One quarter note forward (direction > 0) or back (direction < 0, not below 0), for winding:
    // the player is not located; the caller locates with SetSongPosition when the wind ends.
    void StepSongPosition(int direction);
    bool IsLoopOn() const { return m_loopOn.IsOn(); }
    // The loop switch, solo and mute modes as the project file stores them (nonzero = on).
    int32_t GetLoopOnStored() const { return m_loopOn.GetStored(); }
    void SetLoopOnStored(int32_t value);
    int32_t GetSoloActiveStored() const { return m_soloActive.GetStored(); }
    void SetSoloActiveStored(int32_t value) { m_soloActive.SetStored(value); }
    int32_t GetMuteActiveStored() const { return m_muteActive.GetStored(); }
    void SetMuteActiveStored(int32_t value) { m_muteActive.SetStored(value); }
    // Changes of the loop switch and points reach an active player and the transport.
    void SetLoopOn(bool on);
    void ToggleLoop() { SetLoopOn(!m_loopOn.IsOn()); }
    tick GetLoopStart() const { return m_loopStart; }
    void SetLoopStart(tick start);
    tick GetLoopEnd() const { return m_loopEnd; }
    void SetLoopEnd(tick end);
    // Solo and mute modes as the player last reported them.
    bool IsSoloActive() const { return m_soloActive.IsOn(); }
    void SetSoloActive(bool on) { m_soloActive.Set(on); }
    bool IsMuteActive() const { return m_muteActive.IsOn(); }
    void SetMuteActive(bool on) { m_muteActive.Set(on); }

    // --- Texts, defaults, signature, scale ---
    CProjectInfo& GetInfo() { return m_info; }
    const CProjectInfo& GetInfo() const { return m_info; }
    CEditDefaults& GetEditDefaults() { return m_editDefaults; }
    const CEditDefaults& GetEditDefaults() const { return m_editDefaults; }
    CTimeSignature& GetTimeSignature() { return m_timeSignature; }
    const CTimeSignature& GetTimeSignature() const { return m_timeSignature; }
    void SetTimeSignature(const CTimeSignature& signature) { m_timeSignature = signature; }
    CHarmonicScale& GetScale() { return m_scale; }
    const CHarmonicScale& GetScale() const { return m_scale; }
    void SetScale(const CHarmonicScale& scale) { m_scale = scale; }

private:
    // Another track on the same output port and channel as track, or null.
    CTrack* FindChannelPartner(const CTrack& track);
    // Stores a property from 101 upwards through the player or directly, as activity says.
    // Clear without regard to the player.
    void ClearContent();
    bool StoreTrackProperty(CTrack& track, int32_t number, int64_t value);
    // Gives every track on track's port and channel the value of a channel property.
    void SetChannelValue(CTrack& track, int32_t number, uint8_t value);
    // Takes program, volume and pan from another track on the same port and channel.
    void AdoptChannelSettings(CTrack& track);
    // Sends the loop to an active player and lets the transport show it.
    void LoopChanged();

    std::string m_path;
    std::vector<std::unique_ptr<CPhraseBank>> m_banks;
    CTrackList m_tracks;
    int32_t m_tempo = kDefaultTempo;
    tick m_songPosition = 0;
    CStoredFlag<int32_t> m_loopOn;
    tick m_loopStart = 0;
    tick m_loopEnd = 0;
    CStoredFlag<int32_t> m_soloActive;
    CStoredFlag<int32_t> m_muteActive;
    int32_t m_highestObjectId = 0;
    int32_t m_highestTrackId = 0;
    CProjectInfo m_info;
    CEditDefaults m_editDefaults;
    CTimeSignature m_timeSignature;
    CHarmonicScale m_scale;
    CPlayerLink* m_player = nullptr;
    CMidiEngineProxy* m_proxy;
    // Last, so that windows (which may look at the project) go first.
    std::unique_ptr<CProjectWindows> m_windows;
};
