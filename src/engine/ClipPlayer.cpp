#include "engine/ClipPlayer.h"

CClipPlayer::CClipPlayer(CClip& clip, CTrack& track) : m_clip(clip), m_track(track)
{
    SetNodeName("ClipPlayer");
}

CClipPlayer::~CClipPlayer()
{
    DisconnectAll(this);
}
