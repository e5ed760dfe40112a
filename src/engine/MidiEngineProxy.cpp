#include "engine/MidiEngineProxy.h"

#include "devices/MidiMsg.h"
#include "engine/EngineProjectView.h"
#include "engine/MidiEngine.h"
#include "engine/ModelEdits.h"
#include "engine/PlayControl.h"
#include "engine/RecordSettings.h"
#include "engine/SequencerClock.h"
#include "model/Clip.h"
#include "model/Phrase.h"
#include "model/Track.h"

#include <sched.h>

#include <chrono>
#include <exception>

namespace {

using E = EEngineCommand;

// How long the caller stays awake for an answer before it sleeps.
constexpr std::chrono::microseconds kAnswerSpin{50};

// A command whose arguments are numbers.
template <class... TNumbers> CEngineCommand Numbers(E code, TNumbers... numbers)
{
    return CEngineCommand(code, static_cast<int64_t>(numbers)...);
}

} // namespace

CMidiEngineProxy& CMidiEngineProxy::Instance()
{
    static CMidiEngineProxy proxy;
    return proxy;
}

bool CMidiEngineProxy::AttachEngine(CMidiEngine* engine)
{
    if (engine != nullptr && &engine->GetMailbox() != &m_mailbox) return false;
    m_engine = engine;
    if (engine != nullptr)
        m_mailbox.SetDrainHook([this] { TopUpTakes(); });
    else
        m_mailbox.SetDrainHook({});
    return true;
}

void CMidiEngineProxy::TopUpTakes()
{
    if (m_engine == nullptr) return;
    std::size_t recording = 0;
    CPlayerSlotTable<CTrack, CTrackPlayState>& tracks = m_mailbox.Tracks();
    for (int32_t slot = 0; slot < tracks.GetCount(); ++slot)
        if (const CTrack* track = tracks.GetObject(slot); track != nullptr && track->GetRecord())
            ++recording;
    m_engine->GetTakePool().TopUp(kBaseTakeKits + 2 * recording);
}

// ---- Protocol ----

int CMidiEngineProxy::Send(const CEngineCommand& command)
{
    std::lock_guard lock(m_sendLock);
    // A command may make the engine post (play state, finished takes) and queue messages (a reset
    // of every output): room for both first, allocated on this side, never on the music thread.
    m_mailbox.GrowIfLow();
    CMidiMsgPool::Instance().Replenish();
    TopUpTakes();
    return Run(command);
}

int CMidiEngineProxy::Run(const CEngineCommand& command)
{
    if (m_engine == nullptr) return RunWithoutEngine(command);
    CMidiEngine& engine = *m_engine;
    if (!engine.IsThreadRunning()) return engine.RunCommand(command);
    engine.m_command = command;
    const int cpu = sched_getcpu();
    engine.m_callerCpu.store(cpu, std::memory_order_relaxed);
    engine.m_commandReady.Set();
    // Most commands take microseconds: waiting for the answer awake on our own core spares the
    // music thread a wake-up of this thread on a core that may be busy with something else.
    if (engine.m_musicCpu.load(std::memory_order_relaxed) != cpu)
        CAutoResetEvent::SpinUntilAny({&engine.m_commandSucceeded, &engine.m_commandFailed},
                                      kAnswerSpin);
    const int answer =
        CAutoResetEvent::WaitAnyForever({&engine.m_commandSucceeded, &engine.m_commandFailed});
    engine.m_command.Clear();
    return answer == 0 ? 1 : 0;
}

int CMidiEngineProxy::RunWithoutEngine(const CEngineCommand& command)
{
    if (command.code == E::Initialise) {
        m_lastError = "No MIDI engine is available.";
        return 0;
    }
    if (!IsModelEdit(command.code)) return 1; // nothing to mirror
    try {
        CListChange change;
        return ApplyModelEdit(command, change, m_lastError);
    } catch (const std::exception& e) {
        m_lastError = e.what();
    } catch (...) {
        m_lastError = "The command failed.";
    }
    return 0;
}

const std::string& CMidiEngineProxy::GetLastError() const
{
    return m_engine != nullptr ? m_engine->GetLastError() : m_lastError;
}

// ---- Life cycle ----

int CMidiEngineProxy::Initialise(bool startThread)
{
    if (m_engine == nullptr) return Send(CEngineCommand(E::Initialise));
    if (startThread && !m_engine->StartThread()) return 0;
    const int result = Send(CEngineCommand(E::Initialise));
    if (result == 0 && startThread) m_engine->StopThread();
    return result;
}

int CMidiEngineProxy::ShutDown()
{
    const int result = Send(CEngineCommand(E::ShutDown));
    if (m_engine != nullptr) m_engine->StopThread();
    m_mailbox.Discard();
    return result;
}

// ---- Devices ----

int CMidiEngineProxy::OpenOutputDriver(int32_t driver)
{
    return Send(Numbers(E::OpenOutputDriver, driver));
}
int CMidiEngineProxy::CloseOutputDriver(int32_t driver)
{
    return Send(Numbers(E::CloseOutputDriver, driver));
}
int CMidiEngineProxy::OpenInputDriver(int32_t driver)
{
    return Send(Numbers(E::OpenInputDriver, driver));
}
int CMidiEngineProxy::CloseInputDriver(int32_t driver)
{
    return Send(Numbers(E::CloseInputDriver, driver));
}

int CMidiEngineProxy::RouteInputPort(int32_t port, int32_t driver)
{
    return Send(Numbers(E::RouteInputPort, port, driver));
}

int CMidiEngineProxy::RouteOutputPort(int32_t port, int32_t driver)
{
    return Send(Numbers(E::RouteOutputPort, port, driver));
}

int CMidiEngineProxy::RouteRecordNode(int32_t driver)
{
    return Send(Numbers(E::RouteRecordNode, driver));
}

namespace {

// The enable switch of the device dialog, for either kind of driver.
template <class TDriver>
int ToggleEnabled(CMidiEngineProxy& proxy, TDriver* driver, E open, E close, int32_t index)
{
    if (driver == nullptr) return proxy.Send(Numbers(close, index)); // fails on the bad index
    int result = 1;
    if (!driver->IsEnabled())
        result = proxy.Send(Numbers(open, index));
    else if (driver->IsOpen())
        result = proxy.Send(Numbers(close, index));
    driver->SetEnabled(!driver->IsEnabled());
    return result;
}

} // namespace

int CMidiEngineProxy::ToggleOutputDriverEnabled(int32_t driver)
{
    CMidiOutDriver* node = m_engine ? m_engine->GetDevices().GetOutDriver(driver) : nullptr;
    return ToggleEnabled(*this, node, E::OpenOutputDriver, E::CloseOutputDriver, driver);
}

int CMidiEngineProxy::ToggleInputDriverEnabled(int32_t driver)
{
    CMidiInDriver* node = m_engine ? m_engine->GetDevices().GetInDriver(driver) : nullptr;
    return ToggleEnabled(*this, node, E::OpenInputDriver, E::CloseInputDriver, driver);
}

int CMidiEngineProxy::RescanDevices()
{
    return Send(CEngineCommand(E::RescanDevices));
}

int CMidiEngineProxy::SetDeviceWishes(const SDeviceWishes& wishes)
{
    return Send(CEngineCommand(E::SetDeviceWishes, &wishes));
}

// ---- Node parameters ----

int CMidiEngineProxy::SetNodeParameter(const CNodeAddress& address, int32_t code, int64_t value,
                                       int64_t extra)
{
    return Send(
        CEngineCommand(E::SetNodeParameter, address, static_cast<int64_t>(code), value, extra));
}

intptr_t CMidiEngineProxy::GetNodeParameter(const CNodeAddress& address, int32_t code) const
{
    return m_engine != nullptr ? m_engine->GetNodeParameter(address, code) : -1;
}

std::string CMidiEngineProxy::GetNodeName(const CNodeAddress& address) const
{
    return m_engine != nullptr ? m_engine->GetNodeName(address) : std::string();
}

int CMidiEngineProxy::Clock(int32_t code, int64_t value)
{
    return SetNodeParameter(kClockNode, code, value);
}

int CMidiEngineProxy::PlayControl(int32_t code, int64_t value)
{
    return SetNodeParameter(kPlayControlNode, code, value);
}

int CMidiEngineProxy::SetTempo(int32_t hundredthsBpm)
{
    return Clock(CSequencerClock::kTempo, hundredthsBpm);
}
int CMidiEngineProxy::Locate(tick position)
{
    return Clock(CSequencerClock::kPosition, position);
}
int CMidiEngineProxy::Play()
{
    return Clock(CSequencerClock::kPlay, 1);
}
int CMidiEngineProxy::Stop()
{
    return Clock(CSequencerClock::kPlay, 0);
}

int CMidiEngineProxy::SetLoop(bool active, tick start, tick end)
{
    const int a = Clock(CSequencerClock::kLoopActive, active ? 1 : 0);
    const int s = Clock(CSequencerClock::kLoopStart, start);
    const int e = Clock(CSequencerClock::kLoopEnd, end);
    return a & s & e;
}

tick CMidiEngineProxy::GetPosition() const
{
    return m_engine ? m_engine->GetPosition() : 0;
}
bool CMidiEngineProxy::IsPlaying() const
{
    return m_engine && m_engine->IsPlaying();
}

bool CMidiEngineProxy::IsRecording() const
{
    return IsPlaying() && m_engine->IsRecordingSwitchOn();
}

int CMidiEngineProxy::SetRecording(bool on)
{
    return PlayControl(CPlayControl::kRecording, on ? 1 : 0);
}
int CMidiEngineProxy::ToggleSoloMode()
{
    return PlayControl(CPlayControl::kToggleSoloMode);
}
int CMidiEngineProxy::ToggleMuteMode()
{
    return PlayControl(CPlayControl::kToggleMuteMode);
}
int CMidiEngineProxy::ToggleSolo(const CTrack& track)
{
    return PlayControl(CPlayControl::kToggleTrackSolo, track.GetId());
}
int CMidiEngineProxy::ToggleSolo(const CPhrase& phrase)
{
    return PlayControl(CPlayControl::kTogglePhraseSolo, phrase.GetId());
}
int CMidiEngineProxy::ToggleMute(const CTrack& track)
{
    return PlayControl(CPlayControl::kToggleTrackMute, track.GetId());
}
int CMidiEngineProxy::ToggleMute(const CPhrase& phrase)
{
    return PlayControl(CPlayControl::kTogglePhraseMute, phrase.GetId());
}
int CMidiEngineProxy::ResetOutputs()
{
    return PlayControl(CPlayControl::kResetOutputs);
}
int CMidiEngineProxy::SendInstrumentSettings()
{
    return PlayControl(CPlayControl::kSendInstrumentSettings);
}

int CMidiEngineProxy::SetRecordSettings(const CRecordSettings& settings)
{
    return Send(CEngineCommand(E::SetNodeParameter, kPlayControlNode,
                               static_cast<int64_t>(CPlayControl::kRecordSettings), &settings));
}

bool CMidiEngineProxy::PostUiEvent(const CTrack& track, uint8_t status, uint8_t data1,
                                   uint8_t data2)
{
    if (m_engine == nullptr) return false;
    return m_engine->GetUiEventQueue().Push({track.GetId(), status, data1, data2});
}

// ---- Players ----

void CMidiEngineProxy::RegisterTrackAndClips(CTrack& track)
{
    m_mailbox.Tracks().Register(track);
    for (int32_t i = 0; i < track.GetClipCount(); ++i)
        m_mailbox.Clips().Register(track.GetClipAt(i));
}

void CMidiEngineProxy::UnregisterTrackAndClips(CTrack& track)
{
    for (int32_t i = 0; i < track.GetClipCount(); ++i)
        m_mailbox.Clips().Unregister(track.GetClipAt(i));
    m_mailbox.Tracks().Unregister(track);
}

// Registers object before an add command and takes a fresh registration back when the engine
// refuses the command, so the slot table never points at an object the engine does not know.
template <typename TTable, typename TObject>
int CMidiEngineProxy::SendAdd(TTable& table, TObject& object, const CEngineCommand& command)
{
    const bool fresh = object.GetPlayerSlot() < 0;
    table.Register(object);
    const int result = Send(command);
    if (result == 0 && fresh) table.Unregister(object);
    return result;
}

int CMidiEngineProxy::AddPhrasePlayer(CPhrase& phrase)
{
    return SendAdd(m_mailbox.Phrases(), phrase, CEngineCommand(E::AddPhrasePlayer, &phrase));
}

int CMidiEngineProxy::RemovePhrasePlayer(CPhrase& phrase)
{
    m_mailbox.Phrases().Unregister(phrase);
    return Send(CEngineCommand(E::RemovePhrasePlayer, &phrase));
}

int CMidiEngineProxy::AddTrackPlayer(CTrack& track)
{
    const bool fresh = track.GetPlayerSlot() < 0;
    RegisterTrackAndClips(track);
    const int result = Send(CEngineCommand(E::AddTrackPlayer, &track));
    if (result == 0 && fresh) UnregisterTrackAndClips(track);
    return result;
}

int CMidiEngineProxy::RemoveTrackPlayer(CTrack& track)
{
    const int result = Send(CEngineCommand(E::RemoveTrackPlayer, &track));
    UnregisterTrackAndClips(track);
    return result;
}

int CMidiEngineProxy::AddClipPlayer(CClip& clip, CTrack& track)
{
    return SendAdd(m_mailbox.Clips(), clip, CEngineCommand(E::AddClipPlayer, &clip, &track));
}

int CMidiEngineProxy::RemoveClipPlayer(CClip& clip)
{
    const int result = Send(CEngineCommand(E::RemoveClipPlayer, &clip));
    m_mailbox.Clips().Unregister(clip);
    return result;
}

int CMidiEngineProxy::AuditionNotes(CMidiData& owner, const CNoteList& notes)
{
    return Send(CEngineCommand(E::AuditionNotes, &owner, &notes));
}

int CMidiEngineProxy::LoadProject(const CEngineProjectView& project)
{
    for (CTrack* track : project.tracks)
        if (track != nullptr) RegisterTrackAndClips(*track);
    for (CPhrase* phrase : project.phrases)
        if (phrase != nullptr) m_mailbox.Phrases().Register(*phrase);
    return Send(CEngineCommand(E::LoadProject, &project));
}

int CMidiEngineProxy::Clear()
{
    const int result = Send(CEngineCommand(E::Clear));
    m_mailbox.Tracks().Clear();
    m_mailbox.Phrases().Clear();
    m_mailbox.Clips().Clear();
    return result;
}

int CMidiEngineProxy::CommitRecordedClip(CClip& clip, CTrack& track, tick start)
{
    return SendAdd(
        m_mailbox.Clips(), clip,
        CEngineCommand(E::CommitRecordedClip, &clip, &track, static_cast<int64_t>(start)));
}

// ---- Model edits ----

int CMidiEngineProxy::InsertNote(CMidiData& owner, const CNote& note)
{
    return Send(CEngineCommand(E::InsertNote, &owner, &note));
}

int CMidiEngineProxy::RemoveNote(CMidiData& owner, const CNote& note)
{
    return Send(CEngineCommand(E::RemoveNote, &owner, &note));
}

int CMidiEngineProxy::ChangeNote(CMidiData& owner, const CNote& oldNote, const CNote& newNote)
{
    return Send(CEngineCommand(E::ChangeNote, &owner, &oldNote, &newNote));
}

int CMidiEngineProxy::ReplaceNotes(CMidiData& owner, const CNoteList& notes)
{
    return Send(CEngineCommand(E::ReplaceNotes, &owner, &notes));
}

int CMidiEngineProxy::InsertEvent(CMidiData& owner, const CMidiEvent& event)
{
    return Send(CEngineCommand(E::InsertEvent, &owner, &event));
}

int CMidiEngineProxy::RemoveEvent(CMidiData& owner, const CMidiEvent& event)
{
    return Send(CEngineCommand(E::RemoveEvent, &owner, &event));
}

int CMidiEngineProxy::ChangeEvent(CMidiData& owner, const CMidiEvent& oldEvent,
                                  const CMidiEvent& newEvent)
{
    return Send(CEngineCommand(E::ChangeEvent, &owner, &oldEvent, &newEvent));
}

int CMidiEngineProxy::ReplaceEvents(CMidiData& owner, const CEventList& events)
{
    return Send(CEngineCommand(E::ReplaceEvents, &owner, &events));
}

int CMidiEngineProxy::SetPhraseProperty(CPhrase& phrase, int32_t code, int64_t value)
{
    return Send(CEngineCommand(E::SetPhraseProperty, &phrase, static_cast<int64_t>(code), value));
}

int CMidiEngineProxy::SetTrackProperty(CTrack& track, int32_t code, int64_t value)
{
    return Send(CEngineCommand(E::SetTrackProperty, &track, static_cast<int64_t>(code), value));
}

int CMidiEngineProxy::MoveClipStart(CClip& clip, tick start)
{
    return Send(CEngineCommand(E::MoveClipStart, &clip, static_cast<int64_t>(start)));
}

int CMidiEngineProxy::SetClipLength(CClip& clip, tick length)
{
    return Send(CEngineCommand(E::SetClipLength, &clip, static_cast<int64_t>(length)));
}

int CMidiEngineProxy::SetPhraseLength(CPhrase& phrase, tick length)
{
    return Send(CEngineCommand(E::SetPhraseLength, &phrase, static_cast<int64_t>(length)));
}
