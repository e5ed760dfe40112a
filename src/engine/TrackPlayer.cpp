#include "engine/TrackPlayer.h"

#include "engine/EngineMailbox.h"
#include "model/Track.h"

CTrackPlayer::CTrackPlayer(CTrack& track, CEngineMailbox& mailbox)
    : m_track(track), m_mailbox(mailbox)
{
    SetNodeName("TrackPlayer");
}

CTrackPlayer::~CTrackPlayer()
{
    DisconnectAll(this);
}

void CTrackPlayer::SetSilenced(bool silenced)
{
    const bool becomesSilenced = silenced && !m_silenced;
    m_silenced = silenced;
    if (becomesSilenced) FlushClipPlayers();
}

void CTrackPlayer::FlushClipPlayers()
{
    for (CMidiNode* input : GetInputs())
        if (input->GetKind() == ENodeKind::ClipPlayer) input->Flush();
}

int32_t CTrackPlayer::GetInstrumentChannel() const
{
    return m_track.GetOutputChannel();
}

SInstrumentSettings CTrackPlayer::GetInstrumentSettings() const
{
    return {m_track.GetProgram(), m_track.GetVolume(), m_track.GetPan()};
}

void CTrackPlayer::OnInstrumentSent(EInstrumentFeedback kind, uint8_t value)
{
    m_mailbox.Post<CMixerFeedbackNotification>(m_track.GetId(), m_track.GetPlayerSlot(),
                                               static_cast<int32_t>(kind), value);
}
