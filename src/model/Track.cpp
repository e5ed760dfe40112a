#include "model/Track.h"

#include "model/Errors.h"

#include <algorithm>
#include <cstdint>
#include <limits>

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

int32_t CTrack::UpperBound(tick t) const
{
    const auto it =
        std::upper_bound(m_clips.begin(), m_clips.end(), t,
                         [](tick value, const auto& c) { return value < c->GetStart(); });
    return static_cast<int32_t>(it - m_clips.begin());
}

int32_t CTrack::LowerBound(tick t) const
{
    const auto it =
        std::lower_bound(m_clips.begin(), m_clips.end(), t,
                         [](const auto& c, tick value) { return c->GetStart() < value; });
    return static_cast<int32_t>(it - m_clips.begin());
}

int32_t CTrack::IndexOfClip(const CClip* clip) const
{
    if (clip == nullptr) return -1;
    const tick start = clip->GetStart();
    for (int32_t i = LowerBound(start); i < GetClipCount(); ++i) {
        const CClip* here = m_clips[static_cast<size_t>(i)].get();
        if (here == clip) return i;
        if (here->GetStart() != start) break;
    }
    // A clip whose start was changed in place and not yet put back in order.
    for (size_t i = 0; i < m_clips.size(); ++i) {
        if (m_clips[i].get() == clip) return static_cast<int32_t>(i);
    }
    return -1;
}

const CClip* CTrack::ClipAt(tick t) const
{
    // Only clips starting within the longest length before t can reach t.
    const auto from = static_cast<tick>(
        std::max<int64_t>(std::numeric_limits<tick>::min(), static_cast<int64_t>(t) - m_maxLength));
    const int32_t last = UpperBound(t);
    for (int32_t i = LowerBound(from); i < last; ++i) {
        const CClip* clip = m_clips[static_cast<size_t>(i)].get();
        if (t < clip->GetEnd()) return clip;
    }
    return nullptr;
}

std::pair<int32_t, int32_t> CTrack::ClipRangeNear(tick from, tick to) const
{
    const auto back = static_cast<tick>(std::max<int64_t>(
        std::numeric_limits<tick>::min(), static_cast<int64_t>(from) - m_maxLength));
    return {LowerBound(back), LowerBound(to)};
}

CClip* CTrack::ClipAt(tick t)
{
    return const_cast<CClip*>(std::as_const(*this).ClipAt(t));
}

int32_t CTrack::AddClip(std::unique_ptr<CClip> clip)
{
    if (!clip) throw CInvalidArgument();
    const int32_t index = UpperBound(clip->GetStart());
    m_clips.insert(m_clips.begin() + index, std::move(clip));
    Added(*m_clips[static_cast<size_t>(index)]);
    return index;
}

int32_t CTrack::AddClipInOrder(std::unique_ptr<CClip> clip)
{
    if (!clip) throw CInvalidArgument();
    if (!m_clips.empty() && clip->GetStart() < m_clips.back()->GetStart())
        return AddClip(std::move(clip));
    m_clips.push_back(std::move(clip));
    Added(*m_clips.back());
    return GetClipCount() - 1;
}

std::vector<int32_t> CTrack::AddClips(std::vector<std::unique_ptr<CClip>> clips)
{
    for (const auto& clip : clips)
        if (!clip) throw CInvalidArgument();
    // The new clips in start order, equal starts in the given order; each remembers its place
    // in the argument so that its final index can be reported there.
    std::vector<size_t> order(clips.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return clips[a]->GetStart() < clips[b]->GetStart();
    });
    std::vector<std::unique_ptr<CClip>> merged;
    merged.reserve(m_clips.size() + clips.size());
    std::vector<int32_t> indices(clips.size(), -1);
    size_t old = 0;
    for (size_t n : order) {
        // Existing clips with the same start stay before the new one.
        while (old < m_clips.size() && m_clips[old]->GetStart() <= clips[n]->GetStart())
            merged.push_back(std::move(m_clips[old++]));
        indices[n] = static_cast<int32_t>(merged.size());
        merged.push_back(std::move(clips[n]));
    }
    while (old < m_clips.size())
        merged.push_back(std::move(m_clips[old++]));
    m_clips.swap(merged);
    for (int32_t index : indices)
        Added(*m_clips[static_cast<size_t>(index)]);
    return indices;
}

void CTrack::InsertClipAt(int32_t index, std::unique_ptr<CClip> clip)
{
    CheckIndex(index, GetClipCount() + 1);
    if (!clip) throw CInvalidArgument();
    m_clips.insert(m_clips.begin() + index, std::move(clip));
    Added(*m_clips[static_cast<size_t>(index)]);
}

std::unique_ptr<CClip> CTrack::RemoveClipAt(int32_t index)
{
    CheckIndex(index, GetClipCount());
    std::unique_ptr<CClip> clip = std::move(m_clips[static_cast<size_t>(index)]);
    m_clips.erase(m_clips.begin() + index);
    Removed(clip.get());
    return clip;
}

std::pair<int32_t, std::unique_ptr<CClip>> CTrack::RemoveClip(const CClip* clip)
{
    const int32_t index = IndexOfClip(clip);
    if (index < 0) return {-1, nullptr};
    return {index, RemoveClipAt(index)};
}

std::vector<CTrack::CRemovedClip> CTrack::RemoveClips(const std::vector<const CClip*>& clips)
{
    std::vector<char> marked(m_clips.size(), 0);
    for (const CClip* clip : clips) {
        const int32_t index = IndexOfClip(clip);
        if (index < 0 || marked[static_cast<size_t>(index)]) return {};
        marked[static_cast<size_t>(index)] = 1;
    }
    std::vector<CRemovedClip> removed;
    removed.reserve(clips.size());
    size_t kept = 0;
    bool endClipGone = false;
    for (size_t i = 0; i < m_clips.size(); ++i) {
        if (marked[i]) {
            endClipGone |= m_clips[i].get() == m_endClip;
            removed.push_back({static_cast<int32_t>(i), std::move(m_clips[i])});
        } else {
            m_clips[kept++] = std::move(m_clips[i]);
        }
    }
    m_clips.resize(kept);
    if (!removed.empty()) Removed(endClipGone ? m_endClip : nullptr);
    return removed;
}

void CTrack::InsertClipsAt(std::vector<CRemovedClip> removed)
{
    std::sort(removed.begin(), removed.end(),
              [](const CRemovedClip& a, const CRemovedClip& b) { return a.index < b.index; });
    const size_t total = m_clips.size() + removed.size();
    for (size_t n = 0; n < removed.size(); ++n) {
        const bool distinct = n == 0 || removed[n].index != removed[n - 1].index;
        if (!removed[n].clip || removed[n].index < 0 ||
            static_cast<size_t>(removed[n].index) >= total || !distinct)
            throw CInvalidArgument();
    }
    std::vector<std::unique_ptr<CClip>> merged(total);
    size_t old = 0;
    size_t next = 0;
    for (size_t i = 0; i < total; ++i) {
        if (next < removed.size() && static_cast<size_t>(removed[next].index) == i) {
            merged[i] = std::move(removed[next++].clip);
        } else {
            merged[i] = std::move(m_clips[old++]);
        }
    }
    m_clips.swap(merged);
    for (const CRemovedClip& back : removed)
        Added(*m_clips[static_cast<size_t>(back.index)]);
}

void CTrack::Added(const CClip& clip)
{
    if (EndIsStale()) {
        RecomputeEnd();
        return;
    }
    m_maxLength = std::max(m_maxLength, clip.GetLength());
    if (clip.GetEnd() > m_end) {
        m_end = clip.GetEnd();
        m_endClip = &clip;
    }
}

void CTrack::Removed(const CClip* clip)
{
    if (clip == m_endClip || EndIsStale()) RecomputeEnd();
}

void CTrack::RecomputeEnd()
{
    m_end = 0;
    m_endClip = nullptr;
    m_maxLength = 0;
    for (const auto& clip : m_clips) {
        if (clip->GetEnd() > m_end) {
            m_end = clip->GetEnd();
            m_endClip = clip.get();
        }
        m_maxLength = std::max(m_maxLength, clip->GetLength());
    }
}
