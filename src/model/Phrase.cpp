#include "model/Phrase.h"

#include "model/Track.h"

CPhrase::CPhrase(const std::string& name, uint32_t colour, tick length)
{
    SetName(name);
    SetColour(colour);
    SetLength(length);
}

CPhrase::CPhrase(const CPhrase& other) : CMidiData(other)
{
    CopyProperties(other);
}

void CPhrase::CopyAll(const CPhrase& other)
{
    CopyProperties(other);
    CopyData(other);
}

void CPhrase::ResetProperties()
{
    m_props = CProperties();
    m_playerSlot = -1;
    SetName(kDefaultName);
    SetColour(kDefaultColour);
}

void CPhrase::CopyProperties(const CPhrase& other)
{
    m_props = other.m_props;
    // Reserved words 1 and 2 are never carried over to another phrase.
    m_props.m_reserved1 = 0;
    m_props.m_reserved2 = 0;
}

void CPhrase::SetOutputTrack(const CTrack& track)
{
    m_props.m_output = CNodeAddress(CNodeAddress::kKindTrack, track.GetId());
}
