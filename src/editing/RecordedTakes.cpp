#include "editing/RecordedTakes.h"

#include "document/PlayerLink.h"
#include "document/ProjectDoc.h"
#include "editing/ClipGroups.h"
#include "model/Clip.h"
#include "model/Track.h"

CRecordedTakes::CRecordedTakes() = default;
CRecordedTakes::~CRecordedTakes() = default;

void CRecordedTakes::Add(int32_t trackId, std::unique_ptr<CClip> clip)
{
    if (clip) m_takes.emplace_back(trackId, std::move(clip));
}

namespace {
int32_t IndexOfTrackId(CProjectDoc& doc, int32_t trackId)
{
    CTrackList& tracks = doc.GetTracks();
    for (int32_t i = 0; i < tracks.GetCount(); ++i)
        if (tracks.GetAt(i)->GetId() == trackId) return i;
    return -1;
}
} // namespace

int32_t CRecordedTakes::Commit(CProjectDoc* doc)
{
    auto takes = std::move(m_takes);
    m_takes.clear();
    std::vector<std::pair<int32_t, std::unique_ptr<CClip>>> placed;
    for (auto& [trackId, clip] : takes) {
        const int32_t index = doc != nullptr ? IndexOfTrackId(*doc, trackId) : -1;
        if (index >= 0) {
            placed.emplace_back(index, std::move(clip));
            continue;
        }
        // Its player still plays the clip; it must let go before the clip is deleted.
        if (doc != nullptr && doc->GetPlayer() != nullptr) doc->GetPlayer()->RemoveClip(*clip);
    }
    if (placed.empty()) return 0;
    const auto count = static_cast<int32_t>(placed.size());
    return doc->Execute(std::make_unique<COpClipsRecord>(std::move(placed))) ? count : 0;
}
