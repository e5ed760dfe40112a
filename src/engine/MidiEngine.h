#pragma once
// The MIDI engine: the routing graph that mirrors the active project (device drivers and ports,
// "Rec", metronome, sequencer clock, play control and one player per Track, Clip and Phrase), the
// command set that changes it, and the music thread that runs commands, polls the inputs and
// drives the clock.
//
// The logic does not need the thread: RunCommand, ClockPass, PollInputs and TimeoutPass are plain
// functions, and the proxy calls RunCommand inline on its own thread when the music thread is not
// running. While the thread runs, only the thread touches the engine's objects; the UI reaches it
// through CMidiEngineProxy and only reads (position, names, parameters) directly.
//
// Nothing here throws to the caller: commands answer 1 or 0 and keep the reason as the last error.

#include "devices/MidiDevices.h"
#include "engine/AutoResetEvent.h"
#include "engine/ClipSchedule.h"
#include "engine/EngineCommand.h"
#include "engine/Metronome.h"
#include "engine/ModelEdits.h"
#include "engine/PlayControl.h"
#include "engine/PlayerSupport.h"
#include "engine/SequencerClock.h"
#include "engine/TakeKit.h"
#include "engine/UiEventQueue.h"
#include "model/TimeBase.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

class CEngineMailbox;
class CMidiBackend;
class CClipPlayer;
class CPhrasePlayer;
class CTrackPlayer;

class CMidiEngine {
public:
    static constexpr const char* kThreadName = "tw-music"; // the music thread's system name

    // The engine drives `backend` and posts into `mailbox`; both are borrowed and must outlive it.
    // Creates the ports, "Rec", metronome, clock and play control, unconnected. Nothing runs yet.
    CMidiEngine(CMidiBackend& backend, CEngineMailbox& mailbox);
    // Stops the thread if it still runs and closes the devices.
    ~CMidiEngine();
    CMidiEngine(const CMidiEngine&) = delete;
    CMidiEngine& operator=(const CMidiEngine&) = delete;

    // ---- Logic (music thread, or the caller's thread while the thread is not running) ----

    // Runs one command (code and arguments as in CEngineCommand). Returns 1, or 0 with the reason
    // in the last error. Codes without a command succeed.
    int RunCommand(const CEngineCommand& command);
    // The thread's time-out work: close the drivers of failed devices (the reason becomes the
    // last error; a lost server stops playback), follow the devices that came or went, poll the
    // inputs, drain the UI events, run a clock pass at the backend's
    // master-clock time. Only when initialised. Real-time safe while no device fails.
    void TimeoutPass();
    // One clock pass at master-clock time `now` (100 ns). Only when initialised. Real-time safe.
    void ClockPass(int64_t now);
    // Polls every open input driver. Only when initialised. Real-time safe.
    void PollInputs();
    // Lists devices that appeared and reopens the drivers whose devices came back, when the
    // backend reported a change or when forced; tells the UI once all that faults closed are
    // back. Allocates only when a device appeared.
    void FollowDevices(bool force);
    // Hands the queued mixer events to their track players. Real-time safe.
    void DrainUiEvents();

    // ---- Thread (UI thread) ----

    // Starts the music thread (SCHED_FIFO at the highest priority granted, else the default).
    // False with "Failed to create Music Thread" as the last error when it cannot be created.
    bool StartThread();
    // Signals quit, waits up to 4000 ms for the thread's answer and joins it.
    void StopThread();
    bool IsThreadRunning() const { return m_threadRunning.load(); } // any thread

    // ---- Reads without a command (UI thread) ----

    const std::string& GetLastError() const { return m_lastError; }
    bool IsInitialised() const { return m_initialised.load(); }
    tick GetPosition() const { return m_clock.GetPosition(); }
    bool IsPlaying() const { return m_clock.IsPlaying(); }
    // The recording switch of the play control (any thread; a plain read).
    bool IsRecordingSwitchOn() const { return m_playControl.IsRecording(); }
    // Display name of the addressed node, empty when the address resolves to nothing.
    std::string GetNodeName(const CNodeAddress& address) const;
    // Parameter of the addressed node, -1 when the address resolves to nothing.
    intptr_t GetNodeParameter(const CNodeAddress& address, int32_t code) const;
    // The node an address names, or null (borrowed).
    CMidiNode* ResolveAddress(const CNodeAddress& address) const;

    // ---- The engine's parts ----

    CMidiDevices& GetDevices() { return m_devices; }
    const CMidiDevices& GetDevices() const { return m_devices; }
    CSequencerClock& GetClock() { return m_clock; }
    CPlayControl& GetPlayControl() { return m_playControl; }
    CMetronome& GetMetronome() { return m_metronome; }
    CEngineMailbox& GetMailbox() { return m_mailbox; }
    CUiEventQueue& GetUiEventQueue() { return m_uiEvents; } // any thread (it has its own lock)
    CMidiBackend& GetBackend() { return m_backend; }

    // Players by key, or null (borrowed).
    CTrackPlayer* FindTrackPlayer(int32_t trackId) const;
    CPhrasePlayer* FindPhrasePlayer(int32_t phraseId) const;
    CClipPlayer* FindClipPlayer(const CClip* clip) const;
    CClipPlayer* FindRecordedClipPlayer(const CClip* clip) const;
    int32_t GetTrackPlayerCount() const { return static_cast<int32_t>(m_trackPlayers.size()); }
    int32_t GetPhrasePlayerCount() const { return static_cast<int32_t>(m_phrasePlayers.size()); }
    int32_t GetClipPlayerCount() const { return static_cast<int32_t>(m_clipPlayers.size()); }

    template <class F> void ForEachTrackPlayer(F&& f) const
    {
        for (const auto& entry : m_trackPlayers)
            f(*entry.second);
    }
    template <class F> void ForEachPhrasePlayer(F&& f) const
    {
        for (const auto& entry : m_phrasePlayers)
            f(*entry.second);
    }

    // ---- What the clock and the play control call (music thread; real-time safe) ----

    void AdvancePhraseVoices();
    void PlayClipPlayers(tick position);
    // Song tick position was played: open takes count it; a record-enabled Track whose take was
    // dropped starts a new one when a kit is ready.
    void AdvanceRecorders(tick position);
    void FlushClipPlayers();
    void SeekClipPlayers(tick position);
    // True while a clip player or phrase voice still holds a note-off back.
    bool HasPendingNoteOffs() const;
    // Every recording track player finishes and starts a new take at `position`.
    void RestartRecordings(tick position);
    // Playback started: record-enabled tracks start when the recording switch is on.
    void StartRecordingsIfSwitchedOn();
    // The recording switch went on: record-enabled tracks start (only while playing).
    void StartRecordings();
    // Every recording track player finishes.
    void FinishRecordings();
    // Finishes the player's open take, if any, and opens a new one at position; only while
    // playing. The take's kit comes from the take pool; with none ready (or no room left for its
    // recorded-clip player) the take is dropped: counted and reported with "take dropped".
    void StartTake(CTrackPlayer& player, tick position);
    // Finishes the player's open take, if any: the Clip gets a recorded-clip player and goes to
    // the UI with "recording finished" (null when nothing was recorded).
    void FinishTake(CTrackPlayer& player);

    // Kits for takes, topped up by the proxy on the UI side. Any thread (see CTakePool).
    CTakePool& GetTakePool() { return m_takePool; }
    // Takes that could not start. Any thread.
    int64_t GetDroppedTakeCount() const { return m_droppedTakes.load(std::memory_order_relaxed); }
    void SwitchRecordingOffSilently() { m_playControl.ClearRecordingSwitch(); }
    // Re-evaluates one player's or every player's silenced flag from the solo and mute modes.
    void UpdateSilenced(CTrackPlayer& player);
    void UpdateSilenced(CPhrasePlayer& player);
    void UpdateAllSilenced();

private:
    friend class CMidiEngineProxy;

    int Fail(const char* text);
    int Dispatch(const CEngineCommand& command);
    int Initialise();
    int ShutDown();
    int DeviceCommand(const CEngineCommand& command);
    int SetNodeParameter(const CEngineCommand& command);
    // Parameter 14 of the play control, whose value is a typed CRecordSettings argument.
    int SetRecordSettings(const CEngineCommand& command);
    int AddPhrasePlayer(CPhrase* phrase);
    int RemovePhrasePlayer(CPhrase* phrase);
    int AddTrackPlayer(CTrack* track);
    int RemoveTrackPlayer(CTrack* track);
    int AddClipPlayer(CClip* clip, CTrack* track);
    int RemoveClipPlayer(CClip* clip);
    int Audition(const CEngineCommand& command);
    int ModelEdit(const CEngineCommand& command);
    int LoadProject(const CEngineProjectView* project);
    int Clear();
    int CommitRecordedClip(const CEngineCommand& command);
    // Takes a kit from the pool and opens a take in it, or drops the take.
    void OpenTake(CTrackPlayer& player, tick position);
    // A take in a nearly full Clip goes on in a fresh one (when a kit and room are there).
    void ContinueTake(CTrackPlayer& player);
    // A closed take: its recorded-clip player starts playing it (when it holds anything) and the
    // kit goes to the UI with "recording finished".
    void HandOverTake(CTrackPlayer& player, std::unique_ptr<STakeKit> kit);
    // Sends an open take's kit, unannounced, to the UI to be deleted there.
    void DiscardTake(CTrackPlayer& player);
    // Room for `inputs` more connections into player, and for one more recorded-clip player than
    // there are open takes.
    bool HasTakeRoom(const CTrackPlayer& player, std::size_t inputs) const;
    // After every command: the containers that finishing a take adds to get room for many takes,
    // so that no take allocates.
    void EnsureTakeRoom();

    // Disconnects a phrase player and connects its input and output as the phrase names them.
    void ReconnectPhrasePlayer(CPhrasePlayer& player);
    // Disconnects a track player's outputs and connects the output the track names.
    void ReconnectTrackOutput(CTrackPlayer& player);
    // The players reacting before and after a property is stored.
    void BeforePhraseProperty(CPhrasePlayer& player, int32_t code);
    void AfterPhraseProperty(CPhrasePlayer& player, int32_t code);
    void BeforeTrackProperty(CTrackPlayer& player, int32_t code);
    void AfterTrackProperty(CTrackPlayer& player, int32_t code);
    void AfterClipChange(CClip& clip);
    // Every clip and recorded-clip player of a track.
    template <class F> void ForEachClipPlayerOf(const CTrack& track, F&& f);
    template <class F> void ForEachClipPlayer(F&& f);
    // The player of this very track or phrase (not of another with the same id), or null.
    CTrackPlayer* TrackPlayerOf(const CTrack& track) const;
    CPhrasePlayer* PhrasePlayerOf(const CMidiData& owner) const;

    void ThreadMain();
    void RunPendingCommand();

    CMidiBackend& m_backend;
    // Closes the drivers of failed devices and tells the UI once per batch.
    void HandleDeviceFaults();
    CEngineMailbox& m_mailbox;

    // The five events; the music thread waits on the first three, the proxy on the last two.
    CEventGroup m_eventGroup;
    CAutoResetEvent m_commandReady{m_eventGroup};
    CAutoResetEvent m_quit{m_eventGroup};
    CAutoResetEvent m_inputArrived{m_eventGroup};
    CAutoResetEvent m_commandSucceeded{m_eventGroup};
    CAutoResetEvent m_commandFailed{m_eventGroup};

    // The cores the proxy's caller and the music thread last ran on: each side spins briefly for
    // the other only while they run on different cores (on one core, spinning would only keep
    // the other from running).
    std::atomic<int> m_callerCpu{-1};
    std::atomic<int> m_musicCpu{-1};

    // The command slot: the proxy fills it, the music thread runs and clears it. Guarded by the
    // event hand-shake (the proxy waits while the command runs).
    CEngineCommand m_command;
    std::string m_lastError; // capacity reserved up front, so short texts do not allocate

    CMidiDevices m_devices; // ports "Inp1".."Inp4", "Rec", "Out1".."Out8" and the drivers
    CMetronome m_metronome;
    CSequencerClock m_clock;
    CPlayControl m_playControl;
    CUiEventQueue m_uiEvents;

    std::unordered_map<int32_t, std::unique_ptr<CTrackPlayer>> m_trackPlayers;   // by Track id
    std::unordered_map<int32_t, std::unique_ptr<CPhrasePlayer>> m_phrasePlayers; // by Phrase id
    CRecordedClipPlayers m_clipPlayers;
    CRecordedClipPlayers m_recordedClipPlayers;
    std::size_t m_recordedRoom = 0; // players m_recordedClipPlayers holds without a rehash
    CTakePool m_takePool;
    std::atomic<int64_t> m_droppedTakes{0};
    // Every clip and recorded-clip player in creation order, and which of them play on a tick:
    // the same on every run (the maps above are keyed by address).
    CClipSchedule m_clipSchedule;
    SPlayerContext m_playerContext;

    std::atomic<bool> m_initialised{false};
    std::atomic<bool> m_threadRunning{false};
    std::thread m_thread;
};
