#pragma once
// The project's ordered tracks. A track's 1-based position here is its number in the user
// interface. The list owns its tracks.

#include "model/Track.h"

#include <cstdint>
#include <memory>
#include <vector>

class CTrackList {
public:
    CTrackList() = default;
    CTrackList(const CTrackList&) = delete;
    CTrackList& operator=(const CTrackList&) = delete;

    int32_t GetCount() const { return static_cast<int32_t>(m_tracks.size()); }
    // Borrowed; null when index is out of range (callers check, this is not an error).
    CTrack* GetAt(int32_t index);
    const CTrack* GetAt(int32_t index) const;
    // Position of the track, -1 when the list does not hold it.
    int32_t IndexOf(const CTrack* track) const;
    // Position of the track that owns the clip, -1 when no track does.
    int32_t IndexOfTrackWithClip(const CClip* clip) const;

    // Takes ownership; index 0..count, or -1 to append. Throws CInvalidArgument on any other
    // index or a null track.
    void InsertAt(int32_t index, std::unique_ptr<CTrack> track);
    // Hands the track at index (-1 = the last one) to the caller; throws CInvalidArgument when
    // there is no such track.
    std::unique_ptr<CTrack> RemoveAt(int32_t index);

    // Largest track end in ticks; 0 without tracks.
    tick GetSongEnd() const;

private:
    std::vector<std::unique_ptr<CTrack>> m_tracks;
};
