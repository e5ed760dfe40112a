#pragma once
// The user interface's only way into the engine. Each method fills the engine's one-slot command
// mailbox, wakes the music thread and blocks until the command has run; the answer is 1 or 0, and
// GetLastError tells why on 0. When the music thread is not running, the command runs inline on
// the caller's thread with the same result. Without any engine attached, the model edits are
// applied to the model directly (and succeed), so operations work in headless tools and tests;
// the other commands then have nothing to mirror and succeed without effect.
//
// The proxy also keeps the player slots (the mailbox's slot tables) in step with the players.
//
// Threads: the UI thread (one command at a time). Nothing here throws.

#include "engine/EngineCommand.h"
#include "engine/EngineMailbox.h"
#include "model/NodeAddress.h"
#include "model/TimeBase.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

class CMidiEngine;
class CMidiData;
class CPhrase;
class CTrack;
class CClip;
class CNote;
class CMidiEvent;
class CNoteList;
class CEventList;
struct CEngineProjectView;
struct CRecordSettings;

struct SDeviceWishes;

class CMidiEngineProxy {
public:
    // A proxy with its own mailbox and no engine yet.
    CMidiEngineProxy() = default;
    CMidiEngineProxy(const CMidiEngineProxy&) = delete;
    CMidiEngineProxy& operator=(const CMidiEngineProxy&) = delete;

    // The process-wide proxy the model and the shell use.
    static CMidiEngineProxy& Instance();

    // Attaches the engine (borrowed; null detaches). Refused (false) unless the engine posts into
    // GetMailbox(). Only while no music thread runs.
    bool AttachEngine(CMidiEngine* engine);
    // Kits ready for takes: a few always, and two more per record-enabled Track, so that every
    // take the engine starts before the next command or drain finds its kit.
    static constexpr std::size_t kBaseTakeKits = 4;
    // Tops the engine's take pool up (every command and every mailbox drain do this first).
    void TopUpTakes();
    CMidiEngine* GetEngine() const { return m_engine; }
    // The UI side of the engine's back-channel and the player slot tables.
    CEngineMailbox& GetMailbox() { return m_mailbox; }

    // Runs one command (blocking protocol, or inline). 1 or 0.
    int Send(const CEngineCommand& command);
    // The reason of the last failure.
    const std::string& GetLastError() const;

    // ---- Life cycle ----

    // Starts the music thread (when `startThread`) and initialises the engine (command 0); on
    // failure the thread is stopped again and 0 returned.
    int Initialise(bool startThread = true);
    // Command 1, then the thread stops (quit, up to 4000 ms for its answer) and the mailbox is
    // emptied.
    int ShutDown();

    // ---- Devices (driver and port indices) ----

    int OpenOutputDriver(int32_t driver);
    int CloseOutputDriver(int32_t driver);
    int OpenInputDriver(int32_t driver);
    int CloseInputDriver(int32_t driver);
    int RouteInputPort(int32_t port, int32_t driver);
    int RouteOutputPort(int32_t port, int32_t driver);
    int RouteRecordNode(int32_t driver);
    // The device dialog's enable switch: closes an enabled open driver, opens a disabled one, then
    // inverts the enabled flag. Returns the command's answer (1 when no command was needed).
    int ToggleOutputDriverEnabled(int32_t driver);
    int ToggleInputDriverEnabled(int32_t driver);
    // Lists the devices that appeared since and reopens the enabled drivers whose devices are
    // back (the device dialog asks when it opens).
    int RescanDevices();
    // What the stored settings say of devices that may appear later (copied by the engine).
    int SetDeviceWishes(const SDeviceWishes& wishes);

    // ---- Node parameters ----

    int SetNodeParameter(const CNodeAddress& address, int32_t code, int64_t value,
                         int64_t extra = 0);
    // Read directly: -1 when the address resolves to nothing or there is no engine.
    intptr_t GetNodeParameter(const CNodeAddress& address, int32_t code) const;
    // Display name of the addressed node; empty when it resolves to nothing.
    std::string GetNodeName(const CNodeAddress& address) const;

    // Transport (clock parameters).
    int SetTempo(int32_t hundredthsBpm);
    int Locate(tick position);
    int Play();
    int Stop();
    int SetLoop(bool active, tick start, tick end);
    tick GetPosition() const; // read directly; 0 without an engine
    bool IsPlaying() const;   // read directly
    bool IsRecording() const; // playing with the recording switch on; read directly

    // Play control.
    int SetRecording(bool on);
    int ToggleSoloMode();
    int ToggleMuteMode();
    int ToggleSolo(const CTrack& track);
    int ToggleSolo(const CPhrase& phrase);
    int ToggleMute(const CTrack& track);
    int ToggleMute(const CPhrase& phrase);
    int ResetOutputs();
    int SendInstrumentSettings();
    int SetRecordSettings(const CRecordSettings& settings);
    // Hands a mixer controller event (status with channel 0) to the Track's player; the music
    // thread picks it up on its next pass. False when the queue is full or there is no engine.
    bool PostUiEvent(const CTrack& track, uint8_t status, uint8_t data1, uint8_t data2);

    // ---- Players ----

    int AddPhrasePlayer(CPhrase& phrase);          // registers the phrase first
    int RemovePhrasePlayer(CPhrase& phrase);       // unregisters it first
    int AddTrackPlayer(CTrack& track);             // registers the track and its clips first
    int RemoveTrackPlayer(CTrack& track);          // unregisters the track and its clips afterwards
    int AddClipPlayer(CClip& clip, CTrack& track); // registers the clip first
    int RemoveClipPlayer(CClip& clip);             // unregisters it afterwards
    int AuditionNotes(CMidiData& owner, const CNoteList& notes);
    // Registers every track, clip and phrase of the view, then mirrors the project (command 42).
    int LoadProject(const CEngineProjectView& project);
    // Deletes every player (command 43) and releases every slot.
    int Clear();
    int CommitRecordedClip(CClip& clip, CTrack& track, tick start);

    // ---- Model edits (applied on the music thread, in step with playback) ----

    int InsertNote(CMidiData& owner, const CNote& note);
    int RemoveNote(CMidiData& owner, const CNote& note);
    int ChangeNote(CMidiData& owner, const CNote& oldNote, const CNote& newNote);
    int ReplaceNotes(CMidiData& owner, const CNoteList& notes);
    int InsertEvent(CMidiData& owner, const CMidiEvent& event);
    int RemoveEvent(CMidiData& owner, const CMidiEvent& event);
    int ChangeEvent(CMidiData& owner, const CMidiEvent& oldEvent, const CMidiEvent& newEvent);
    int ReplaceEvents(CMidiData& owner, const CEventList& events);
    // Numbered properties from 101 (packed values as in model/Properties.h).
    int SetPhraseProperty(CPhrase& phrase, int32_t code, int64_t value);
    int SetTrackProperty(CTrack& track, int32_t code, int64_t value);
    int MoveClipStart(CClip& clip, tick start);
    int SetClipLength(CClip& clip, tick length);
    int SetPhraseLength(CPhrase& phrase, tick length);

private:
    int Run(const CEngineCommand& command);
    int RunWithoutEngine(const CEngineCommand& command);
    int PlayControl(int32_t code, int64_t value = 0);
    int Clock(int32_t code, int64_t value);
    void RegisterTrackAndClips(CTrack& track);
    void UnregisterTrackAndClips(CTrack& track);
    template <typename TTable, typename TObject>
    int SendAdd(TTable& table, TObject& object, const CEngineCommand& command);

    CMidiEngine* m_engine = nullptr;
    CEngineMailbox m_mailbox;
    std::mutex m_sendLock;   // one command in flight
    std::string m_lastError; // without an engine
};
