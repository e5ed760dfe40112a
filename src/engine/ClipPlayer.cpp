#include "engine/ClipPlayer.h"

CClipPlayer::CClipPlayer(CClip& clip, CTrack& track) : m_clip(clip), m_track(track)
{
    SetNodeName("ClipPlayer");
}

void CClipPlayer::PlayTick(tick /*position*/) {}

CClipPlayer::~CClipPlayer()
{
    DisconnectAll(this);
}
