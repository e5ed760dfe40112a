#include "engine/MidiEngine.h"

#include "engine/ClipPlayer.h"
#include "engine/EngineMailbox.h"
#include "engine/EngineProjectView.h"
#include "engine/PhrasePlayer.h"
#include "engine/RecordingNotifications.h"
#include "engine/TrackPlayer.h"
#include "engine/TrackRecorder.h"
#include "model/Clip.h"
#include "model/Phrase.h"
#include "model/Track.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <exception>

namespace {

constexpr std::chrono::microseconds kWaitTimeout = std::chrono::milliseconds(2);
constexpr int64_t kPassInterval = 20000; // master-clock time between time-out passes (2 ms)
constexpr auto kQuitTimeout = std::chrono::milliseconds(4000);
// After a command, how long the music thread stays awake for the next one: the user interface
// sends commands in bursts (loading a project, an edit of many objects), and a command that
// arrives while the thread is awake costs no wake-up on a possibly busy core.
constexpr std::chrono::microseconds kNextCommandSpin{20};
constexpr const char* kBadArguments = "Invalid command arguments.";
// Takes that can finish between two commands without any container growing.
constexpr std::size_t kTakeRoom = 64;

// A player is silenced when solo mode is on and it is not soloed, or, without solo mode, when
// mute mode is on and it is muted: solo overrides mute.
bool Silenced(bool soloMode, bool muteMode, bool solo, bool mute)
{
    return soloMode ? !solo : (muteMode && mute);
}

// The music thread asks for the highest real-time priority the system grants and stays at the
// normal priority when none is granted.
void RaiseToRealtimePriority()
{
    const int highest = sched_get_priority_max(SCHED_FIFO);
    sched_param param{};
    param.sched_priority = highest;
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0) return;
    rlimit limit{};
    if (getrlimit(RLIMIT_RTPRIO, &limit) != 0 || limit.rlim_cur == 0) return;
    param.sched_priority =
        limit.rlim_cur < static_cast<rlim_t>(highest) ? static_cast<int>(limit.rlim_cur) : highest;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

// A 32-bit index argument.
bool IndexArg(const CEngineCommand& command, int index, int32_t& out)
{
    const int64_t* value = command.Get<int64_t>(index);
    if (value == nullptr || *value < INT32_MIN || *value > INT32_MAX) return false;
    out = static_cast<int32_t>(*value);
    return true;
}

// An optional number argument (an empty word reads as 0).
bool NumberArg(const CEngineCommand& command, int index, int64_t& out)
{
    if (std::holds_alternative<std::monostate>(command.args[index])) {
        out = 0;
        return true;
    }
    const int64_t* value = command.Get<int64_t>(index);
    if (value == nullptr) return false;
    out = *value;
    return true;
}

} // namespace

CMidiEngine::CMidiEngine(CMidiBackend& backend, CEngineMailbox& mailbox)
    : m_backend(backend), m_mailbox(mailbox), m_metronome(*this), m_clock(*this),
      m_playControl(*this), m_playerContext{mailbox, m_clock, 0, &m_playControl.GetRecordSettings()}
{
    m_lastError.reserve(512);
    m_devices.SetInputSignal([this] { m_inputArrived.Set(); });
    m_devices.SetClockSink(&m_clock);
    EnsureTakeRoom();
}

CMidiEngine::~CMidiEngine()
{
    StopThread();
    // Players go before the devices they are connected to.
    Clear();
    ShutDown();
}

// ---- Commands ----

int CMidiEngine::Fail(const char* text)
{
    m_lastError = text;
    return 0;
}

int CMidiEngine::RunCommand(const CEngineCommand& command)
{
    // Any command may change what a clip player does next.
    m_clipSchedule.MarkDirty();
    try {
        const int result = Dispatch(command);
        EnsureTakeRoom();
        return result;
    } catch (const std::exception& e) {
        m_lastError = e.what();
        if (m_lastError.empty()) m_lastError = "The command failed.";
        return 0;
    } catch (...) {
        return Fail("The command failed.");
    }
}

int CMidiEngine::Dispatch(const CEngineCommand& command)
{
    using E = EEngineCommand;
    switch (command.code) {
    case E::Initialise:
        return Initialise();
    case E::ShutDown:
        return ShutDown();
    case E::OpenOutputDriver:
    case E::CloseOutputDriver:
    case E::OpenInputDriver:
    case E::CloseInputDriver:
    case E::RouteInputPort:
    case E::RouteOutputPort:
    case E::RouteRecordNode:
        return DeviceCommand(command);
    case E::SetNodeParameter:
        return SetNodeParameter(command);
    case E::AddPhrasePlayer:
        return AddPhrasePlayer(command.GetObject<CPhrase>(0));
    case E::RemovePhrasePlayer:
        return RemovePhrasePlayer(command.GetObject<CPhrase>(0));
    case E::AddTrackPlayer:
        return AddTrackPlayer(command.GetObject<CTrack>(0));
    case E::RemoveTrackPlayer:
        return RemoveTrackPlayer(command.GetObject<CTrack>(0));
    case E::AuditionNotes:
        return Audition(command);
    case E::AddClipPlayer:
        return AddClipPlayer(command.GetObject<CClip>(0), command.GetObject<CTrack>(1));
    case E::RemoveClipPlayer:
        return RemoveClipPlayer(command.GetObject<CClip>(0));
    case E::LoadProject: {
        const auto* view = command.Get<const CEngineProjectView*>(0);
        return LoadProject(view != nullptr ? *view : nullptr);
    }
    case E::Clear:
        return Clear();
    case E::CommitRecordedClip:
        return CommitRecordedClip(command);
    case E::RescanDevices:
        FollowDevices(true);
        return 1;
    case E::SetDeviceWishes: {
        const auto* wishes = command.Get<const SDeviceWishes*>(0);
        if (wishes == nullptr || *wishes == nullptr) return Fail(kBadArguments);
        m_devices.SetWishes(**wishes);
        return 1;
    }
    default:
        if (IsModelEdit(command.code)) return ModelEdit(command);
        return 1; // codes without a command
    }
}

int CMidiEngine::Initialise()
{
    if (m_initialised) return 1;
    std::string reason;
    if (!m_devices.Start(m_backend, reason)) {
        m_devices.Stop();
        m_lastError = "Failed to initialize the MIDI system: " + reason;
        return 0;
    }
    m_clock.SetLastTickTime(m_backend.GetMasterTime());
    m_initialised = true;
    return 1;
}

int CMidiEngine::ShutDown()
{
    if (!m_initialised) return 1;
    m_initialised = false;
    if (m_clock.IsPlaying()) m_clock.Stop();
    m_devices.Stop();
    return 1;
}

int CMidiEngine::DeviceCommand(const CEngineCommand& command)
{
    using E = EEngineCommand;
    int32_t first = 0;
    int32_t second = 0;
    if (!IndexArg(command, 0, first)) return Fail(kBadArguments);
    const bool routesPort = command.code == E::RouteInputPort || command.code == E::RouteOutputPort;
    if (routesPort && !IndexArg(command, 1, second)) return Fail(kBadArguments);
    switch (command.code) {
    case E::OpenOutputDriver:
        return m_devices.OpenOutputDriver(first, m_lastError);
    case E::CloseOutputDriver:
        return m_devices.CloseOutputDriver(first, m_lastError);
    case E::OpenInputDriver:
        return m_devices.OpenInputDriver(first, m_lastError);
    case E::CloseInputDriver:
        return m_devices.CloseInputDriver(first, m_lastError);
    case E::RouteInputPort:
        return m_devices.RouteInputPort(first, second, m_lastError);
    case E::RouteOutputPort:
        return m_devices.RouteOutputPort(first, second, m_lastError);
    default:
        return m_devices.RouteRecordNode(first, m_lastError);
    }
}

int CMidiEngine::SetNodeParameter(const CEngineCommand& command)
{
    const CNodeAddress* address = command.Get<CNodeAddress>(0);
    if (command.Get<const CRecordSettings*>(2) != nullptr) return SetRecordSettings(command);
    int32_t code = 0;
    int64_t value = 0;
    int64_t extra = 0;
    if (address == nullptr || !IndexArg(command, 1, code) || !NumberArg(command, 2, value) ||
        !NumberArg(command, 3, extra))
        return Fail(kBadArguments);
    CMidiNode* node = ResolveAddress(*address);
    if (node == nullptr) return Fail("The node address does not name a node.");
    if (node->SetParameter(code, static_cast<intptr_t>(value), static_cast<intptr_t>(extra)) == 0)
        return Fail("The node does not accept this parameter.");
    return 1;
}

int CMidiEngine::SetRecordSettings(const CEngineCommand& command)
{
    // The settings travel only as a typed value, and only to the play control's parameter 14.
    const CNodeAddress* address = command.Get<CNodeAddress>(0);
    const CRecordSettings* settings = command.GetObject<const CRecordSettings>(2);
    int32_t code = 0;
    if (address == nullptr || settings == nullptr || !IndexArg(command, 1, code) ||
        code != CPlayControl::kRecordSettings || ResolveAddress(*address) != &m_playControl)
        return Fail(kBadArguments);
    m_playControl.SetRecordSettings(*settings);
    return 1;
}

int CMidiEngine::Audition(const CEngineCommand& command)
{
    const auto* notes = command.Get<const CNoteList*>(1);
    CMidiData* owner = command.GetObject<CMidiData>(0);
    if (owner == nullptr || notes == nullptr || *notes == nullptr) return Fail(kBadArguments);
    const int64_t period = m_clock.GetTickPeriod();
    if (CPhrasePlayer* player = PhrasePlayerOf(*owner)) player->Audition(**notes, period);
    if (owner->IsClip()) {
        if (CClipPlayer* player = FindClipPlayer(static_cast<const CClip*>(owner)))
            player->Audition(**notes, period);
    }
    return 1;
}

int CMidiEngine::LoadProject(const CEngineProjectView* project)
{
    if (project == nullptr) return Fail(kBadArguments);
    using C = CSequencerClock;
    int result = 1;
    auto setClock = [&](int32_t code, int64_t value) {
        if (m_clock.SetParameter(code, static_cast<intptr_t>(value), 0) == 0)
            result = Fail("The project's transport values were refused.");
    };
    setClock(C::kTempo, project->tempo);
    setClock(C::kPosition, project->position);
    setClock(C::kLoopActive, project->loopActive ? 1 : 0);
    setClock(C::kLoopStart, project->loopStart);
    setClock(C::kLoopEnd, project->loopEnd);
    m_clock.GetTransportSync().SetSignature(project->signature.GetNumerator(),
                                            project->signature.GetDenominator());
    for (CTrack* track : project->tracks)
        if (AddTrackPlayer(track) == 0) result = 0;
    for (CPhrase* phrase : project->phrases)
        if (AddPhrasePlayer(phrase) == 0) result = 0;
    m_playControl.SetModes(project->soloMode, project->muteMode);
    m_playControl.SetRecording(false);
    m_playControl.SetParameter(CPlayControl::kSendInstrumentSettings, 0, 0);
    return result;
}

int CMidiEngine::Clear()
{
    for (auto& entry : m_trackPlayers)
        DiscardTake(*entry.second);
    m_clipSchedule.Clear();
    m_clipPlayers.clear();
    m_recordedClipPlayers.clear();
    m_uiEvents.Clear();
    m_trackPlayers.clear();
    m_phrasePlayers.clear();
    m_playControl.SetModes(false, false);
    return 1;
}

// ---- Players ----

CTrackPlayer* CMidiEngine::FindTrackPlayer(int32_t trackId) const
{
    const auto it = m_trackPlayers.find(trackId);
    return it != m_trackPlayers.end() ? it->second.get() : nullptr;
}

CPhrasePlayer* CMidiEngine::FindPhrasePlayer(int32_t phraseId) const
{
    const auto it = m_phrasePlayers.find(phraseId);
    return it != m_phrasePlayers.end() ? it->second.get() : nullptr;
}

CClipPlayer* CMidiEngine::FindClipPlayer(const CClip* clip) const
{
    const auto it = m_clipPlayers.find(clip);
    return it != m_clipPlayers.end() ? it->second.get() : nullptr;
}

CClipPlayer* CMidiEngine::FindRecordedClipPlayer(const CClip* clip) const
{
    const auto it = m_recordedClipPlayers.find(clip);
    return it != m_recordedClipPlayers.end() ? it->second.get() : nullptr;
}

CTrackPlayer* CMidiEngine::TrackPlayerOf(const CTrack& track) const
{
    CTrackPlayer* player = FindTrackPlayer(track.GetId());
    return player != nullptr && &player->GetTrack() == &track ? player : nullptr;
}

CPhrasePlayer* CMidiEngine::PhrasePlayerOf(const CMidiData& owner) const
{
    if (!owner.IsPhrase()) return nullptr;
    CPhrasePlayer* player = FindPhrasePlayer(owner.GetId());
    return player != nullptr && &player->GetPhrase() == &owner ? player : nullptr;
}

template <class F> void CMidiEngine::ForEachClipPlayer(F&& f)
{
    const std::vector<CClipPlayer*>& all = m_clipSchedule.All();
    for (size_t i = 0; i < all.size(); ++i)
        f(*all[i]);
}

template <class F> void CMidiEngine::ForEachClipPlayerOf(const CTrack& track, F&& f)
{
    ForEachClipPlayer([&](CClipPlayer& player) {
        if (&player.GetTrack() == &track) f(player);
    });
}

int CMidiEngine::AddPhrasePlayer(CPhrase* phrase)
{
    if (phrase == nullptr) return Fail(kBadArguments);
    if (CPhrasePlayer* existing = FindPhrasePlayer(phrase->GetId())) {
        if (&existing->GetPhrase() == phrase) return 1;
        return Fail("Another phrase with the same identifier already has a player.");
    }
    auto player = std::make_unique<CPhrasePlayer>(*phrase, m_playerContext);
    CPhrasePlayer& added = *player;
    m_phrasePlayers.emplace(phrase->GetId(), std::move(player));
    ReconnectPhrasePlayer(added);
    UpdateSilenced(added);
    return 1;
}

int CMidiEngine::RemovePhrasePlayer(CPhrase* phrase)
{
    if (phrase == nullptr) return Fail(kBadArguments);
    if (PhrasePlayerOf(*phrase) != nullptr) m_phrasePlayers.erase(phrase->GetId());
    return 1;
}

void CMidiEngine::ReconnectPhrasePlayer(CPhrasePlayer& player)
{
    DisconnectAll(&player);
    CMidiNode* input = ResolveAddress(player.GetPhrase().GetInput());
    CMidiNode* output = ResolveAddress(player.GetPhrase().GetOutput());
    if (input != &player) Connect(input, &player);
    if (output != &player) Connect(&player, output);
}

void CMidiEngine::ReconnectTrackOutput(CTrackPlayer& player)
{
    DisconnectOutputs(&player);
    CMidiNode* output = ResolveAddress(player.GetTrack().GetOutput());
    if (output != &player) Connect(&player, output);
}

int CMidiEngine::AddTrackPlayer(CTrack* track)
{
    if (track == nullptr) return Fail(kBadArguments);
    if (CTrackPlayer* existing = FindTrackPlayer(track->GetId())) {
        if (&existing->GetTrack() == track) return 1;
        return Fail("Another track with the same identifier already has a player.");
    }
    auto player = std::make_unique<CTrackPlayer>(*track, m_playerContext);
    CTrackPlayer& added = *player;
    m_trackPlayers.emplace(track->GetId(), std::move(player));
    ReconnectTrackOutput(added);
    if (track->GetInput()) Connect(&m_devices.GetRecordNode(), &added);
    // Phrases that play into this track reach it again when its player comes back.
    const CNodeAddress self{CNodeAddress::kKindTrack, track->GetId()};
    ForEachPhrasePlayer([&](CPhrasePlayer& phrasePlayer) {
        if (phrasePlayer.GetPhrase().GetOutput() == self) Connect(&phrasePlayer, &added);
    });
    UpdateSilenced(added);
    int result = 1;
    for (int32_t i = 0; i < track->GetClipCount(); ++i)
        if (AddClipPlayer(&track->GetClipAt(i), track) == 0) result = 0;
    return result;
}

int CMidiEngine::RemoveTrackPlayer(CTrack* track)
{
    if (track == nullptr) return Fail(kBadArguments);
    auto ofTrack = [track](const auto& entry) { return &entry.second->GetTrack() == track; };
    m_clipSchedule.RemoveIf(
        [track](const CClipPlayer* player) { return &player->GetTrack() == track; });
    std::erase_if(m_clipPlayers, ofTrack);
    std::erase_if(m_recordedClipPlayers, ofTrack);
    if (CTrackPlayer* player = TrackPlayerOf(*track)) {
        DiscardTake(*player);
        m_trackPlayers.erase(track->GetId());
    }
    return 1;
}

int CMidiEngine::AddClipPlayer(CClip* clip, CTrack* track)
{
    if (clip == nullptr || track == nullptr) return Fail(kBadArguments);
    if (FindClipPlayer(clip) != nullptr) return 1;
    auto player = std::make_unique<CClipPlayer>(*clip, *track);
    Connect(player.get(), FindTrackPlayer(track->GetId()));
    player->Seek(GetPosition());
    m_clipSchedule.Add(player.get());
    m_clipPlayers.emplace(clip, std::move(player));
    return 1;
}

int CMidiEngine::RemoveClipPlayer(CClip* clip)
{
    if (clip == nullptr) return Fail(kBadArguments);
    CClipPlayer* player = FindClipPlayer(clip);
    if (player == nullptr) player = FindRecordedClipPlayer(clip);
    m_clipSchedule.Remove(player);
    if (m_clipPlayers.erase(clip) == 0) m_recordedClipPlayers.erase(clip);
    return 1;
}

int CMidiEngine::CommitRecordedClip(const CEngineCommand& command)
{
    CClip* clip = command.GetObject<CClip>(0);
    CTrack* track = command.GetObject<CTrack>(1);
    int32_t start = 0;
    if (clip == nullptr || track == nullptr || !IndexArg(command, 2, start))
        return Fail(kBadArguments);
    auto node = m_recordedClipPlayers.extract(clip);
    if (node.empty()) return Fail("The recorded clip has no player.");
    CClipPlayer& player = *node.mapped();
    clip->MoveBy(start - clip->GetStart());
    player.SetTrack(*track);
    DisconnectOutputs(&player);
    Connect(&player, FindTrackPlayer(track->GetId()));
    player.UpdateWindow(GetPosition());
    m_clipSchedule.MarkDirty();
    if (CClipPlayer* stale = FindClipPlayer(clip)) {
        m_clipSchedule.Remove(stale);
        m_clipPlayers.erase(clip);
    }
    // The node moves as it is: the committed player costs no allocation.
    m_clipPlayers.insert(std::move(node));
    return 1;
}

// ---- Model edits and the players following them ----

int CMidiEngine::ModelEdit(const CEngineCommand& command)
{
    using E = EEngineCommand;
    int32_t code = 0;
    IndexArg(command, 1, code); // property code, where the command has one
    CPhrasePlayer* phrasePlayer = nullptr;
    CTrackPlayer* trackPlayer = nullptr;
    if (command.code == E::SetPhraseProperty || command.code == E::SetPhraseLength) {
        if (CPhrase* phrase = command.GetObject<CPhrase>(0)) phrasePlayer = PhrasePlayerOf(*phrase);
    } else if (command.code == E::SetTrackProperty) {
        if (CTrack* track = command.GetObject<CTrack>(0)) trackPlayer = TrackPlayerOf(*track);
    }
    if (phrasePlayer != nullptr && command.code == E::SetPhraseProperty)
        BeforePhraseProperty(*phrasePlayer, code);
    if (trackPlayer != nullptr) BeforeTrackProperty(*trackPlayer, code);

    CListChange change;
    if (ApplyModelEdit(command, change, m_lastError) == 0) return 0;

    switch (command.code) {
    case E::SetPhraseProperty:
        if (phrasePlayer != nullptr) AfterPhraseProperty(*phrasePlayer, code);
        return 1;
    case E::SetTrackProperty:
        if (trackPlayer != nullptr) AfterTrackProperty(*trackPlayer, code);
        return 1;
    case E::SetPhraseLength:
        if (phrasePlayer != nullptr) phrasePlayer->OnLengthChanged();
        return 1;
    case E::MoveClipStart:
    case E::SetClipLength:
        AfterClipChange(*command.GetObject<CClip>(0));
        return 1;
    default:
        break;
    }
    // A list edit: the owner's players shift or re-seek their iterators.
    CMidiData& owner = *command.GetObject<CMidiData>(0);
    if (CPhrasePlayer* player = PhrasePlayerOf(owner)) player->OnListChanged(change);
    if (owner.IsClip()) {
        const auto* clip = static_cast<const CClip*>(&owner);
        for (CClipPlayer* player : {FindClipPlayer(clip), FindRecordedClipPlayer(clip)})
            if (player != nullptr) player->OnListChanged(change, GetPosition());
    }
    return 1;
}

void CMidiEngine::AfterClipChange(CClip& clip)
{
    for (CClipPlayer* player : {FindClipPlayer(&clip), FindRecordedClipPlayer(&clip)})
        if (player != nullptr) player->UpdateWindow(GetPosition());
    m_clipSchedule.MarkDirty();
}

void CMidiEngine::BeforePhraseProperty(CPhrasePlayer& player, int32_t code)
{
    if ((code >= 106 && code <= 111) || code == 114 || code == 115) player.StopAllVoices();
}

void CMidiEngine::AfterPhraseProperty(CPhrasePlayer& player, int32_t code)
{
    switch (code) {
    case 101:
        player.StopAllVoices();
        ReconnectPhrasePlayer(player);
        break;
    case 102:
    case 103:
    case 104:
    case 105:
        player.StopAllVoices();
        break;
    case 106:
        ReconnectPhrasePlayer(player);
        break;
    case 115:
        player.ReseekStartIterators();
        break;
    case kPhrasePlayCurrent:
        player.PlayCurrent();
        break;
    case kPhraseStopCurrent:
        player.StopAllVoices();
        break;
    default:
        break;
    }
}

void CMidiEngine::BeforeTrackProperty(CTrackPlayer& player, int32_t code)
{
    // Sounding notes end on the old channel and output.
    if (code == 101 || code == 102) player.EndSoundingNotes();
}

void CMidiEngine::AfterTrackProperty(CTrackPlayer& player, int32_t code)
{
    CTrack& track = player.GetTrack();
    switch (code) {
    case 101:
        ReconnectTrackOutput(player);
        break;
    case 105:
        ForEachClipPlayerOf(track, [](CClipPlayer& clip) { clip.OnQuantizeChanged(); });
        break;
    case 106:
        ForEachClipPlayerOf(track, [&](CClipPlayer& clip) { clip.UpdateWindow(GetPosition()); });
        m_clipSchedule.MarkDirty();
        break;
    case 109:
        if (!m_playControl.IsRecording()) break;
        if (!track.GetRecord())
            FinishTake(player);
        else if (IsPlaying())
            StartTake(player, GetPosition());
        break;
    case 110:
        if (track.GetInput())
            Connect(&m_devices.GetRecordNode(), &player);
        else
            Disconnect(&m_devices.GetRecordNode(), &player);
        break;
    default:
        break;
    }
}

// ---- What the clock and the play control call ----

void CMidiEngine::AdvancePhraseVoices()
{
    // Every tick, playing or stopped, starts here.
    ++m_playerContext.tickSerial;
    for (auto& entry : m_phrasePlayers)
        entry.second->AdvanceVoices();
}

void CMidiEngine::PlayClipPlayers(tick position)
{
    m_clipSchedule.Play(position);
}

void CMidiEngine::AdvanceRecorders(tick position)
{
    // Recorders only run while the recording switch is on.
    if (!m_playControl.IsRecording()) return;
    for (auto& entry : m_trackPlayers) {
        CTrackPlayer& player = *entry.second;
        if (player.IsRecording()) {
            player.AdvanceRecorderTick();
            if (player.GetRecorder().IsNearlyFull()) ContinueTake(player);
        } else if (player.GetTrack().GetRecord() && m_takePool.GetReadyCount() > 0 &&
                   HasTakeRoom(player, 1)) {
            // A dropped take starts as soon as a kit is there again, from the next tick on.
            OpenTake(player, TickSum(position, 1));
        }
    }
}

void CMidiEngine::FlushClipPlayers()
{
    ForEachClipPlayer([](CClipPlayer& player) { player.Flush(); });
}

void CMidiEngine::SeekClipPlayers(tick position)
{
    m_clipSchedule.MarkDirty();
    ForEachClipPlayer([position](CClipPlayer& player) {
        player.Flush();
        player.Seek(position);
    });
}

bool CMidiEngine::HasPendingNoteOffs() const
{
    for (const CClipPlayer* player : m_clipSchedule.All())
        if (player->GetPendingCount() > 0) return true;
    for (const auto& entry : m_phrasePlayers) {
        const CPhrasePlayer& player = *entry.second;
        for (int32_t i = 0; i < player.GetVoiceCount(); ++i)
            if (player.GetVoice(i).GetPendingCount() > 0) return true;
    }
    return false;
}

void CMidiEngine::RestartRecordings(tick position)
{
    for (auto& entry : m_trackPlayers) {
        CTrackPlayer& player = *entry.second;
        if (player.IsRecording()) StartTake(player, position);
    }
}

void CMidiEngine::StartRecordingsIfSwitchedOn()
{
    if (m_playControl.IsRecording()) StartRecordings();
}

void CMidiEngine::StartRecordings()
{
    if (!IsPlaying()) return;
    for (auto& entry : m_trackPlayers)
        if (entry.second->GetTrack().GetRecord()) StartTake(*entry.second, GetPosition());
}

void CMidiEngine::FinishRecordings()
{
    for (auto& entry : m_trackPlayers)
        if (entry.second->IsRecording()) FinishTake(*entry.second);
}

void CMidiEngine::StartTake(CTrackPlayer& player, tick position)
{
    if (!IsPlaying()) return;
    FinishTake(player);
    OpenTake(player, position);
}

void CMidiEngine::OpenTake(CTrackPlayer& player, tick position)
{
    std::unique_ptr<STakeKit> kit = HasTakeRoom(player, 1) ? m_takePool.Take() : nullptr;
    if (!kit) {
        m_droppedTakes.fetch_add(1, std::memory_order_relaxed);
        const CTrack& track = player.GetTrack();
        m_mailbox.PostKept<CTakeDroppedNotification>(track.GetId(), track.GetPlayerSlot(),
                                                     position);
        return;
    }
    player.GetRecorder().Open(std::move(kit), position);
}

void CMidiEngine::ContinueTake(CTrackPlayer& player)
{
    // Without a kit or room the take stays where it is and tries again on the next tick; the
    // Clip still has a quarter of its room left.
    if (m_takePool.GetReadyCount() == 0 || !HasTakeRoom(player, 2)) return;
    CTrackRecorder& recorder = player.GetRecorder();
    const tick position = recorder.GetClipStart() + recorder.GetTickCounter();
    HandOverTake(player, recorder.Continue(m_takePool.Take(), position));
}

void CMidiEngine::FinishTake(CTrackPlayer& player)
{
    if (!player.IsRecording()) return;
    HandOverTake(player, player.GetRecorder().Finish());
}

void CMidiEngine::HandOverTake(CTrackPlayer& player, std::unique_ptr<STakeKit> kit)
{
    if (kit->HasContent()) {
        // The take plays on at once, until the UI commits it (command 44) or clears the project.
        CClipPlayer& clipPlayer = *kit->m_playerNode.mapped();
        clipPlayer.SetTrack(player.GetTrack());
        Connect(&clipPlayer, &player);
        clipPlayer.UpdateWindow(GetPosition());
        m_clipSchedule.Add(&clipPlayer);
        m_recordedClipPlayers.insert(std::move(kit->m_playerNode));
    }
    const CTrack& track = player.GetTrack();
    m_mailbox.PostKept<CRecordingFinishedNotification>(track.GetId(), track.GetPlayerSlot(),
                                                       std::move(kit));
}

void CMidiEngine::DiscardTake(CTrackPlayer& player)
{
    if (std::unique_ptr<STakeKit> kit = player.GetRecorder().Discard())
        m_mailbox.PostKept<CKitReleaseNotification>(std::move(kit));
}

bool CMidiEngine::HasTakeRoom(const CTrackPlayer& player, std::size_t inputs) const
{
    std::size_t open = 0;
    for (const auto& entry : m_trackPlayers)
        if (entry.second->IsRecording()) ++open;
    return player.HasInputRoom(inputs) && m_clipSchedule.HasRoom(open + 1) &&
           m_recordedClipPlayers.size() + open + 1 <= m_recordedRoom;
}

void CMidiEngine::EnsureTakeRoom()
{
    // Each container grows to twice what it needs when less than half the room is left, so
    // commands rarely allocate for it either.
    if (!m_clipSchedule.HasRoom(kTakeRoom / 2))
        m_clipSchedule.Reserve(2 * m_clipSchedule.All().size() + kTakeRoom);
    if (m_recordedClipPlayers.size() + kTakeRoom / 2 > m_recordedRoom) {
        m_recordedRoom = 2 * m_recordedClipPlayers.size() + kTakeRoom;
        m_recordedClipPlayers.reserve(m_recordedRoom);
    }
    for (auto& entry : m_trackPlayers) {
        CTrackPlayer& player = *entry.second;
        if (!player.HasInputRoom(kTakeRoom / 2))
            player.ReserveInputs(2 * player.GetInputs().size() + kTakeRoom);
    }
}

void CMidiEngine::UpdateSilenced(CTrackPlayer& player)
{
    const CTrack& track = player.GetTrack();
    player.SetSilenced(Silenced(m_playControl.GetSoloMode(), m_playControl.GetMuteMode(),
                                track.GetSolo(), track.GetMute()));
}

void CMidiEngine::UpdateSilenced(CPhrasePlayer& player)
{
    player.SetSilenced(Silenced(m_playControl.GetSoloMode(), m_playControl.GetMuteMode(),
                                player.GetSolo(), player.GetMute()));
}

void CMidiEngine::UpdateAllSilenced()
{
    for (auto& entry : m_trackPlayers)
        UpdateSilenced(*entry.second);
    for (auto& entry : m_phrasePlayers)
        UpdateSilenced(*entry.second);
}

// ---- Passes ----

void CMidiEngine::TimeoutPass()
{
    if (!m_initialised) return;
    m_backend.OnPass();
    HandleDeviceFaults();
    FollowDevices(false);
    PollInputs();
    DrainUiEvents();
    ClockPass(m_backend.GetMasterTime());
}

void CMidiEngine::HandleDeviceFaults()
{
    // A lost server or a vanished port closes its drivers; the last error says why. It ends the
    // takes as a stop does, so what was played is handed over whole, whatever follows.
    const int32_t closed = m_devices.HandleFaults(m_lastError);
    const bool serverLost = m_devices.TakeServerLost();
    if (closed == 0 && !serverLost) return;
    m_playControl.SetRecording(false);
    // Without its server nothing is heard: the song would run on in silence.
    if (serverLost && m_clock.IsPlaying()) m_clock.Stop();
    // The window hears when devices start to go, and once more when it was the server: not of
    // each driver.
    if (m_devices.TakeOutageStarted() || serverLost)
        m_mailbox.PostKept<CDeviceNotification>(CDeviceNotification::kLost, serverLost);
}

void CMidiEngine::FollowDevices(bool force)
{
    m_devices.FollowDevices(force);
    if (m_devices.TakeAllBack())
        m_mailbox.PostKept<CDeviceNotification>(CDeviceNotification::kBack, false);
}

void CMidiEngine::ClockPass(int64_t now)
{
    if (m_initialised) m_clock.Pass(now);
}

void CMidiEngine::PollInputs()
{
    if (m_initialised) m_devices.PollInputs();
}

void CMidiEngine::DrainUiEvents()
{
    m_uiEvents.Drain([this](const CUiEvent& event) {
        if (CTrackPlayer* player = FindTrackPlayer(event.trackId))
            player->DeliverUiEvent(event.status, event.data1, event.data2);
    });
}

// ---- Reads ----

CMidiNode* CMidiEngine::ResolveAddress(const CNodeAddress& address) const
{
    auto* self = const_cast<CMidiEngine*>(this);
    const int32_t index = address.m_index;
    switch (static_cast<ENodeKind>(address.m_kind)) {
    case ENodeKind::MidiInDriver:
        return m_devices.GetInDriver(index);
    case ENodeKind::MidiOutDriver:
        return m_devices.GetOutDriver(index);
    case ENodeKind::OutputPort:
        return m_devices.GetOutputPort(index);
    case ENodeKind::InputPort:
        return m_devices.GetInputPort(index);
    case ENodeKind::RecordNode:
        return &self->m_devices.GetRecordNode();
    case ENodeKind::PhrasePlayer:
        return FindPhrasePlayer(index);
    case ENodeKind::TrackPlayer:
        return FindTrackPlayer(index);
    case ENodeKind::Metronome:
        return &self->m_metronome;
    case ENodeKind::SequencerClock:
        return &self->m_clock;
    case ENodeKind::PlayControl:
        return &self->m_playControl;
    default:
        return nullptr; // none, clip players and unknown kinds
    }
}

std::string CMidiEngine::GetNodeName(const CNodeAddress& address) const
{
    const CMidiNode* node = ResolveAddress(address);
    return node != nullptr ? node->GetName() : std::string();
}

intptr_t CMidiEngine::GetNodeParameter(const CNodeAddress& address, int32_t code) const
{
    const CMidiNode* node = ResolveAddress(address);
    return node != nullptr ? node->GetParameter(code) : -1;
}

// ---- Thread ----

bool CMidiEngine::StartThread()
{
    if (m_threadRunning) return true;
    for (CAutoResetEvent* event :
         {&m_commandReady, &m_quit, &m_inputArrived, &m_commandSucceeded, &m_commandFailed})
        event->Reset();
    m_threadRunning = true;
    try {
        m_thread = std::thread([this] { ThreadMain(); });
    } catch (...) {
        m_threadRunning = false;
        Fail("Failed to create Music Thread");
        return false;
    }
    return true;
}

void CMidiEngine::StopThread()
{
    if (!m_threadRunning) return;
    m_quit.Set();
    CAutoResetEvent::WaitAny({&m_commandSucceeded}, kQuitTimeout);
    if (m_thread.joinable()) m_thread.join();
    m_threadRunning = false;
}

void CMidiEngine::RunPendingCommand()
{
    const int result = RunCommand(m_command);
    m_command.Clear();
    (result != 0 ? m_commandSucceeded : m_commandFailed).Set();
}

void CMidiEngine::ThreadMain()
{
    RaiseToRealtimePriority();
    CMidiMsgPool::MarkRealTimeThread(true);
    pthread_setname_np(pthread_self(), kThreadName); // found by name in top -H and measurements
    // The time-out pass is due 2 ms after the previous one however often commands or input wake
    // the thread; otherwise a steady stream of them would hold the clock still.
    int64_t lastPass = m_backend.GetMasterTime();
    int woken = CAutoResetEvent::kTimedOut;
    for (;;) {
        const int64_t untilPass = lastPass + kPassInterval - m_backend.GetMasterTime();
        const auto timeout = std::clamp(std::chrono::microseconds(untilPass / 10),
                                        std::chrono::microseconds(0), kWaitTimeout);
        if (woken == 0 && m_callerCpu.load(std::memory_order_relaxed) != sched_getcpu())
            CAutoResetEvent::SpinUntilAny({&m_commandReady, &m_inputArrived, &m_quit},
                                          std::min<std::chrono::microseconds>(kNextCommandSpin,
                                                                              timeout));
        woken = CAutoResetEvent::WaitAny({&m_commandReady, &m_inputArrived, &m_quit}, timeout);
        m_musicCpu.store(sched_getcpu(), std::memory_order_relaxed);
        if (woken == 2) {
            m_commandSucceeded.Set();
            return;
        }
        if (woken == 0) RunPendingCommand(); // never throws: RunCommand catches
        try {
            const int64_t now = m_backend.GetMasterTime();
            if (woken == CAutoResetEvent::kTimedOut || now - lastPass >= kPassInterval) {
                lastPass = now;
                TimeoutPass(); // polls the inputs as well
            } else if (woken == 1) {
                PollInputs();
            }
        } catch (...) {
            // Nothing may leave the music thread; the next pass starts afresh.
        }
    }
}
