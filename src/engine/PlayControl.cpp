#include "engine/PlayControl.h"

#include "engine/EngineMailbox.h"
#include "engine/MidiEngine.h"
#include "engine/PhrasePlayer.h"
#include "engine/RecordingNotifications.h"
#include "engine/TrackPlayer.h"
#include "model/Track.h"

namespace {
// Step entry takes chords, not performances: this many note-ons fit without allocating.
constexpr size_t kCaptureReserve = 256;
} // namespace

CPlayControl::CPlayControl(CMidiEngine& engine) : m_engine(engine)
{
    SetNodeName("PlayControl");
    m_captured.reserve(kCaptureReserve);
}

CPlayControl::~CPlayControl()
{
    DisconnectAll(this);
}

int CPlayControl::SetParameter(int32_t code, intptr_t value, intptr_t /*extra*/)
{
    switch (code) {
    case kRecording:
        SetRecording(value != 0);
        return 1;
    case kToggleSoloMode:
        ToggleMode(EFlag::Solo);
        return 1;
    case kToggleMuteMode:
        ToggleMode(EFlag::Mute);
        return 1;
    case kToggleTrackSolo:
        return ToggleObjectFlag(EFlag::Solo, false, value);
    case kTogglePhraseSolo:
        return ToggleObjectFlag(EFlag::Solo, true, value);
    case kToggleTrackMute:
        return ToggleObjectFlag(EFlag::Mute, false, value);
    case kTogglePhraseMute:
        return ToggleObjectFlag(EFlag::Mute, true, value);
    case kResetOutputs:
        m_engine.GetDevices().ResetOutputs();
        return 1;
    case kSendInstrumentSettings:
        m_engine.GetDevices().SendInstrumentSettings();
        return 1;
    case kCaptureTarget:
        m_captureTarget = value;
        if (value == 0) m_captured.clear();
        m_engine.GetDevices().GetRecordNode().SetCaptureSink(value != 0 ? this : nullptr);
        return 1;
    case kHandOverCapture:
        HandOverCapture();
        return 1;
    case kRecordSettings:
        return 0; // a number is no settings record: they come typed, through SetRecordSettings
    case kRecordFurtherWord:
        m_settings.furtherWord = static_cast<int32_t>(value);
        return 1;
    default:
        return 0;
    }
}

intptr_t CPlayControl::GetParameter(int32_t code) const
{
    switch (code) {
    case kRecording:
        return m_recording ? 1 : 0;
    case kSoloMode:
        return m_soloMode ? 1 : 0;
    case kMuteMode:
        return m_muteMode ? 1 : 0;
    case kCaptureTarget:
        return m_captureTarget;
    case kRecordSettings:
        return reinterpret_cast<intptr_t>(&m_settings);
    default:
        return -1;
    }
}

void CPlayControl::SetRecording(bool on)
{
    if (on == m_recording) return;
    m_recording = on;
    if (on)
        m_engine.StartRecordings();
    else
        m_engine.FinishRecordings();
}

void CPlayControl::SetModes(bool soloMode, bool muteMode)
{
    m_soloMode = soloMode;
    m_muteMode = muteMode;
    m_engine.UpdateAllSilenced();
}

void CPlayControl::ModesChanged()
{
    m_engine.GetMailbox().Post<CSoloMuteNotification>(m_soloMode, m_muteMode);
}

namespace {

// The solo or mute flag of a player's object (a Track keeps its own; a Phrase's sits in its
// player).
template <class TPlayer> bool GetFlag(const TPlayer& player, bool solo);
template <class TPlayer> void SetFlag(TPlayer& player, bool solo, bool on);

template <> bool GetFlag(const CTrackPlayer& player, bool solo)
{
    return solo ? player.GetTrack().GetSolo() : player.GetTrack().GetMute();
}
template <> void SetFlag(CTrackPlayer& player, bool solo, bool on)
{
    if (solo)
        player.GetTrack().SetSolo(on);
    else
        player.GetTrack().SetMute(on);
}
template <> bool GetFlag(const CPhrasePlayer& player, bool solo)
{
    return solo ? player.GetSolo() : player.GetMute();
}
template <> void SetFlag(CPhrasePlayer& player, bool solo, bool on)
{
    if (solo)
        player.SetSolo(on);
    else
        player.SetMute(on);
}

bool AnyFlagSet(const CMidiEngine& engine, bool solo)
{
    bool any = false;
    engine.ForEachTrackPlayer([&](const CTrackPlayer& p) { any = any || GetFlag(p, solo); });
    engine.ForEachPhrasePlayer([&](const CPhrasePlayer& p) { any = any || GetFlag(p, solo); });
    return any;
}

void ClearAllFlags(const CMidiEngine& engine, bool solo)
{
    engine.ForEachTrackPlayer([&](CTrackPlayer& p) { SetFlag(p, solo, false); });
    engine.ForEachPhrasePlayer([&](CPhrasePlayer& p) { SetFlag(p, solo, false); });
}

template <class TPlayer>
void ToggleFlag(CMidiEngine& engine, TPlayer& player, bool solo, bool& mode)
{
    const bool on = GetFlag(player, solo);
    if (mode) {
        SetFlag(player, solo, !on);
        engine.UpdateSilenced(player);
        if (on && !AnyFlagSet(engine, solo)) {
            mode = false;
            engine.UpdateAllSilenced();
        }
        return;
    }
    ClearAllFlags(engine, solo);
    SetFlag(player, solo, true);
    mode = true;
    engine.UpdateAllSilenced();
}

} // namespace

void CPlayControl::ToggleMode(EFlag flag)
{
    bool& mode = Mode(flag);
    if (mode)
        mode = false;
    else if (AnyFlagSet(m_engine, flag == EFlag::Solo))
        mode = true;
    m_engine.UpdateAllSilenced();
    ModesChanged();
}

int CPlayControl::ToggleObjectFlag(EFlag flag, bool phrase, intptr_t id)
{
    if (id < INT32_MIN || id > INT32_MAX) return 0;
    const bool solo = flag == EFlag::Solo;
    if (phrase) {
        CPhrasePlayer* player = m_engine.FindPhrasePlayer(static_cast<int32_t>(id));
        if (player == nullptr) return 0;
        ToggleFlag(m_engine, *player, solo, Mode(flag));
    } else {
        CTrackPlayer* player = m_engine.FindTrackPlayer(static_cast<int32_t>(id));
        if (player == nullptr) return 0;
        ToggleFlag(m_engine, *player, solo, Mode(flag));
    }
    ModesChanged();
    return 1;
}

void CPlayControl::CaptureNoteOns(const CMidiMsgList& noteOns)
{
    for (const CMidiMsg& on : noteOns)
        m_captured.push_back({on.status, on.data1, on.data2});
}

void CPlayControl::HandOverCapture()
{
    if (m_captured.empty()) return;
    auto noteOns = std::make_unique<CCapturedNotesNotification::CNoteOns>(m_captured);
    m_captured.clear();
    m_engine.GetMailbox().PostKept<CCapturedNotesNotification>(std::move(noteOns));
}
