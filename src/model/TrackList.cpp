#include "model/TrackList.h"

#include "model/Errors.h"

#include <algorithm>

CTrack* CTrackList::GetAt(int32_t index)
{
    if (index < 0 || index >= GetCount()) return nullptr;
    return m_tracks[static_cast<size_t>(index)].get();
}

const CTrack* CTrackList::GetAt(int32_t index) const
{
    if (index < 0 || index >= GetCount()) return nullptr;
    return m_tracks[static_cast<size_t>(index)].get();
}

int32_t CTrackList::IndexOf(const CTrack* track) const
{
    for (size_t i = 0; i < m_tracks.size(); ++i) {
        if (m_tracks[i].get() == track) return static_cast<int32_t>(i);
    }
    return -1;
}

int32_t CTrackList::IndexOfTrackWithClip(const CClip* clip) const
{
    for (size_t i = 0; i < m_tracks.size(); ++i) {
        if (m_tracks[i]->IndexOfClip(clip) >= 0) return static_cast<int32_t>(i);
    }
    return -1;
}

void CTrackList::InsertAt(int32_t index, std::unique_ptr<CTrack> track)
{
    if (index == -1) index = GetCount();
    CheckIndex(index, GetCount() + 1);
    if (!track) throw CInvalidArgument();
    m_tracks.insert(m_tracks.begin() + index, std::move(track));
}

std::unique_ptr<CTrack> CTrackList::RemoveAt(int32_t index)
{
    if (index == -1) index = GetCount() - 1;
    CheckIndex(index, GetCount());
    std::unique_ptr<CTrack> track = std::move(m_tracks[static_cast<size_t>(index)]);
    m_tracks.erase(m_tracks.begin() + index);
    return track;
}

tick CTrackList::GetSongEnd() const
{
    tick end = 0;
    for (const auto& track : m_tracks)
        end = std::max(end, track->GetEnd());
    return end;
}
