#include "engine/PhrasePlayer.h"

CPhrasePlayer::CPhrasePlayer(CPhrase& phrase) : m_phrase(phrase)
{
    SetNodeName("PhrasePlayer");
}

CPhrasePlayer::~CPhrasePlayer()
{
    DisconnectAll(this);
}

void CPhrasePlayer::SetSilenced(bool silenced)
{
    const bool becomesSilenced = silenced && !m_silenced;
    m_silenced = silenced;
    if (becomesSilenced) Flush();
}
