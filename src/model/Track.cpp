#include "model/Track.h"

#include "model/Errors.h"

#include <algorithm>

CClip& CTrack::GetClipAt(int32_t index)
{
    CheckIndex(index, GetClipCount());
    return *m_clips[static_cast<size_t>(index)];
}

const CClip& CTrack::GetClipAt(int32_t index) const
{
    CheckIndex(index, GetClipCount());
    return *m_clips[static_cast<size_t>(index)];
}

int32_t CTrack::IndexOfClip(const CClip* clip) const
{
    for (size_t i = 0; i < m_clips.size(); ++i) {
        if (m_clips[i].get() == clip) return static_cast<int32_t>(i);
    }
    return -1;
}

const CClip* CTrack::ClipAt(tick t) const
{
    // Scans everything: clips put back by index need not be in start order.
    const CClip* found = nullptr;
    for (const auto& clip : m_clips) {
        if (clip->GetStart() > t || t >= clip->GetEnd()) continue;
        if (!found || clip->GetStart() < found->GetStart()) found = clip.get();
    }
    return found;
}

CClip* CTrack::ClipAt(tick t)
{
    return const_cast<CClip*>(std::as_const(*this).ClipAt(t));
}

int32_t CTrack::AddClip(std::unique_ptr<CClip> clip)
{
    if (!clip) throw CInvalidArgument();
    const tick start = clip->GetStart();
    const auto at = std::find_if(m_clips.begin(), m_clips.end(),
                                 [start](const auto& other) { return other->GetStart() > start; });
    const auto index = static_cast<int32_t>(at - m_clips.begin());
    m_clips.insert(at, std::move(clip));
    m_end = std::max(m_end, m_clips[static_cast<size_t>(index)]->GetEnd());
    return index;
}

int32_t CTrack::AddClipInOrder(std::unique_ptr<CClip> clip)
{
    if (!clip) throw CInvalidArgument();
    if (!m_clips.empty() && clip->GetStart() < m_clips.back()->GetStart())
        return AddClip(std::move(clip));
    m_end = std::max(m_end, clip->GetEnd());
    m_clips.push_back(std::move(clip));
    return GetClipCount() - 1;
}

void CTrack::InsertClipAt(int32_t index, std::unique_ptr<CClip> clip)
{
    CheckIndex(index, GetClipCount() + 1);
    if (!clip) throw CInvalidArgument();
    m_end = std::max(m_end, clip->GetEnd());
    m_clips.insert(m_clips.begin() + index, std::move(clip));
}

std::unique_ptr<CClip> CTrack::RemoveClipAt(int32_t index)
{
    CheckIndex(index, GetClipCount());
    std::unique_ptr<CClip> clip = std::move(m_clips[static_cast<size_t>(index)]);
    m_clips.erase(m_clips.begin() + index);
    RecomputeEnd();
    return clip;
}

std::pair<int32_t, std::unique_ptr<CClip>> CTrack::RemoveClip(const CClip* clip)
{
    const int32_t index = IndexOfClip(clip);
    if (index < 0) return {-1, nullptr};
    return {index, RemoveClipAt(index)};
}

void CTrack::RecomputeEnd()
{
    m_end = 0;
    for (const auto& clip : m_clips)
        m_end = std::max(m_end, clip->GetEnd());
}
