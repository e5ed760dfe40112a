#include "editing/ClipGroups.h"

#include "document/ProjectDoc.h"
#include "editing/Clipboard.h"
#include "editing/PhraseOperations.h"
#include "editing/TrackOperations.h"
#include "model/Clip.h"
#include "model/Phrase.h"
#include "model/Track.h"
#include "model/TrackList.h"

#include <exception>

namespace {

// A track for clips dropped below the last one; Create Track names it after its id.
std::unique_ptr<CTrack> NewEmptyTrack()
{
    auto track = std::make_unique<CTrack>();
    track->SetName("");
    return track;
}

} // namespace

// ---- The clip group ----

bool COpClipGroup::CanDo(COperationHistory& history)
{
    for (std::size_t i = 0; i < GetCount(); ++i)
        if (!GetAt(i).CanDo(history)) return false;
    return true;
}

bool COpClipGroup::CanUndo(COperationHistory& history)
{
    for (std::size_t i = 0; i < GetCount(); ++i)
        if (!GetAt(i).CanUndo(history)) return false;
    return true;
}

bool COpClipGroup::CanRedo(COperationHistory& history)
{
    for (std::size_t i = 0; i < GetCount(); ++i)
        if (!GetAt(i).CanRedo(history)) return false;
    return true;
}

std::vector<COpClipPlacement*> COpClipGroup::Placements() const
{
    std::vector<COpClipPlacement*> result;
    result.reserve(GetCount());
    for (std::size_t i = 0; i < GetCount(); ++i)
        if (auto* op = dynamic_cast<COpClipPlacement*>(&GetAt(i))) result.push_back(op);
    return result;
}

std::vector<COperationProject*> COpClipGroup::Others() const
{
    std::vector<COperationProject*> result;
    for (std::size_t i = 0; i < GetCount(); ++i)
        if (dynamic_cast<COpClipPlacement*>(&GetAt(i)) == nullptr) result.push_back(&GetAt(i));
    return result;
}

bool COpClipGroup::Do(CProjectDoc& doc)
{
    if (GetCount() == 0) return false;
    const std::vector<COperationProject*> others = Others();
    std::size_t done = 0;
    auto rollBack = [&] {
        while (done > 0)
            others[--done]->UndoApply(doc);
    };
    try {
        for (; done < others.size(); ++done)
            if (!others[done]->Do(doc)) {
                rollBack();
                return false;
            }
        const std::vector<COpClipPlacement*> placements = Placements();
        if (!placements.empty() && !COpClipPlacement::ApplyForward(doc, placements, true)) {
            rollBack();
            return false;
        }
    } catch (...) {
        rollBack();
        throw;
    }
    return true;
}

void COpClipGroup::UndoApply(CProjectDoc& doc)
{
    const std::vector<COpClipPlacement*> placements = Placements();
    if (!placements.empty()) COpClipPlacement::ApplyBackward(doc, placements);
    const std::vector<COperationProject*> others = Others();
    for (auto it = others.rbegin(); it != others.rend(); ++it)
        (*it)->UndoApply(doc);
}

void COpClipGroup::RedoApply(CProjectDoc& doc)
{
    for (COperationProject* op : Others())
        op->RedoApply(doc);
    const std::vector<COpClipPlacement*> placements = Placements();
    if (!placements.empty()) COpClipPlacement::ApplyForward(doc, placements, false);
}

void COpClipGroup::UndoPrepare(CProjectDoc& doc)
{
    doc.GetWindows().OpenTracksWindow(true);
    doc.GetWindows().TracksClearSelection();
}

void COpClipGroup::RedoPrepare(CProjectDoc& doc)
{
    UndoPrepare(doc);
}

void COpClipGroup::Bracket(CProjectDoc& doc, const std::function<void()>& show)
{
    CProjectWindows& windows = doc.GetWindows();
    windows.TracksBeginUpdate();
    windows.TracksClearSelection();
    show();
    windows.TracksEndUpdate();
}

void COpClipGroup::ShowDo(CProjectDoc& doc)
{
    Bracket(doc, [&] { ShowDoAll(doc); });
}

void COpClipGroup::UndoShow(CProjectDoc& doc)
{
    Bracket(doc, [&] { UndoShowAll(doc, EOrder::LastToFirst); });
}

void COpClipGroup::RedoShow(CProjectDoc& doc)
{
    Bracket(doc, [&] { RedoShowAll(doc); });
}

// ---- Recording, deleting ----

COpClipsRecord::COpClipsRecord(std::vector<std::pair<int32_t, std::unique_ptr<CClip>>> takes)
{
    for (auto& [track, clip] : takes)
        Add(std::make_unique<COpClipRecord>(std::move(clip), track));
}

COpClipsDelete::COpClipsDelete(const std::vector<CClipRef>& selection)
{
    for (const CClipRef& entry : selection)
        Add(std::make_unique<COpClipDelete>(entry.track, *entry.clip));
}

COpClipsCut::COpClipsCut(const std::vector<CClipRef>& selection) : COpClipsDelete(selection)
{
    auto payload = std::make_unique<CClipboardClips>();
    for (const CClipRef& entry : selection)
        payload->Add(*entry.clip, entry.track);
    CClipboard::Instance().Put(std::move(payload));
}

// ---- Copying and moving ----

COpClipsPlace::COpClipsPlace(EClipsPlacing placing, int32_t trackCount,
                             const std::vector<CClipRef>& entries, tick timeOffset,
                             int32_t trackOffset, const FCreateTracks& createTracks)
{
    int32_t lastTrack = trackCount - 1;
    bool asked = false;
    bool mayCreate = false;
    for (const CClipRef& entry : entries) {
        const CClip& clip = *entry.clip;
        const int32_t target = entry.track + trackOffset;
        bool fits = TickSum(clip.GetEnd(), timeOffset) > 0 && target >= 0;
        if (fits && target > lastTrack) {
            if (!asked) {
                mayCreate = createTracks && createTracks();
                asked = true;
            }
            fits = mayCreate;
            for (; fits && lastTrack < target; ++lastTrack)
                Add(std::make_unique<COpTrackCreate>(lastTrack + 1, NewEmptyTrack()));
        }
        if (!fits) {
            // A clip moved out of the song is deleted.
            if (placing == EClipsPlacing::Move)
                Add(std::make_unique<COpClipDelete>(entry.track, *entry.clip));
            continue;
        }
        auto copy = std::make_unique<CClip>(clip);
        copy->MoveBy(timeOffset);
        if (copy->GetStart() < 0) copy->TrimStartTo(0);
        switch (placing) {
        case EClipsPlacing::Copy:
            Add(std::make_unique<COpClipCopy>(clip, entry.track, target, std::move(copy)));
            break;
        case EClipsPlacing::Paste:
            Add(std::make_unique<COpClipCreate>(target, std::move(copy)));
            break;
        case EClipsPlacing::Move:
            Add(std::make_unique<COpClipReplace>(entry.track, *entry.clip, target,
                                                 std::move(copy)));
            break;
        }
    }
}

COpClipsCopy::COpClipsCopy(int32_t trackCount, const std::vector<CClipRef>& selection,
                           tick timeOffset, int32_t trackOffset, const FCreateTracks& createTracks)
    : COpClipsPlace(EClipsPlacing::Copy, trackCount, selection, timeOffset, trackOffset,
                    createTracks)
{}

COpClipsDuplicate::COpClipsDuplicate(int32_t trackCount, const std::vector<CClipRef>& selection,
                                     tick timeOffset)
    : COpClipsPlace(EClipsPlacing::Copy, trackCount, selection, timeOffset, 0, nullptr)
{}

namespace {

// The payload's clips as entries of the group builder; they are only read.
std::vector<CClipRef> EntriesOf(const CClipboardClips& payload)
{
    std::vector<CClipRef> entries;
    entries.reserve(static_cast<std::size_t>(payload.GetCount()));
    for (int32_t i = 0; i < payload.GetCount(); ++i) {
        const CClipboardClips::CEntry& entry = payload.GetAt(i);
        entries.push_back({entry.m_clip.get(), entry.m_track});
    }
    return entries;
}

} // namespace

COpClipsPaste::COpClipsPaste(int32_t trackCount, const CClipboardClips& payload, tick timeOffset,
                             int32_t trackOffset, const FCreateTracks& createTracks)
    : COpClipsPlace(EClipsPlacing::Paste, trackCount, EntriesOf(payload), timeOffset, trackOffset,
                    createTracks)
{}

COpClipsMove::COpClipsMove(int32_t trackCount, const std::vector<CClipRef>& selection,
                           tick timeOffset, int32_t trackOffset, const FCreateTracks& createTracks)
    : COpClipsPlace(EClipsPlacing::Move, trackCount, selection, timeOffset, trackOffset,
                    createTracks)
{}

COpClipsSetTrack::COpClipsSetTrack(int32_t trackCount, const std::vector<CClipRef>& selection,
                                   int32_t trackOffset, const FCreateTracks& createTracks)
    : COpClipsNudge(EClipsPlacing::Move, trackCount, selection, 0, trackOffset, createTracks)
{}

COpClipsSetStart::COpClipsSetStart(int32_t trackCount, const std::vector<CClipRef>& selection,
                                   tick timeOffset)
    : COpClipsNudge(EClipsPlacing::Move, trackCount, selection, timeOffset, 0, nullptr)
{}

bool COpClipsNudge::IsAppendableKind(COperationHistory&, COperation& newOp)
{
    return IsSameType(newOp);
}

bool COpClipsNudge::AppendNext(COperationHistory&, COperation& newOp)
{
    auto& next = static_cast<COpClipsNudge&>(newOp);
    if (next.GetCount() != GetCount()) return false;
    std::vector<COpClipReplace*> mine;
    std::vector<COpClipReplace*> theirs;
    for (std::size_t i = 0; i < GetCount(); ++i) {
        auto* a = dynamic_cast<COpClipReplace*>(&GetAt(i));
        auto* b = dynamic_cast<COpClipReplace*>(&next.GetAt(i));
        if (a == nullptr || b == nullptr || a->GetPlacedClip() != b->GetRemovedClip()) return false;
        mine.push_back(a);
        theirs.push_back(b);
    }
    for (std::size_t i = 0; i < mine.size(); ++i)
        mine[i]->TakeOverPlacement(*theirs[i]);
    return true;
}

// ---- Properties ----

COpClipsSetProperty::COpClipsSetProperty(const std::vector<CClipRef>& selection, int32_t property,
                                         int64_t value)
{
    for (const CClipRef& entry : selection)
        Add(std::make_unique<COpClipSetProperty>(*entry.clip, property, value));
}

// ---- Split, merge ----

COpClipSplit::COpClipSplit(int32_t trackIndex, CClip& clip, tick position)
{
    if (position <= clip.GetStart() || position >= clip.GetEnd()) return;
    auto tail = std::make_unique<CClip>(clip);
    tail->TrimStartTo(position);
    auto head = std::make_unique<CClip>(clip);
    head->TrimEndTo(position);
    Add(std::make_unique<COpClipCreate>(trackIndex, std::move(tail)));
    Add(std::make_unique<COpClipReplace>(trackIndex, clip, trackIndex, std::move(head)));
}

COpClipMerge::COpClipMerge(int32_t firstTrack, CClip& first, int32_t secondTrack, CClip& second)
{
    if (&first == &second) return;
    auto merged = std::make_unique<CClip>(first);
    merged->MergeFrom(second);
    Add(std::make_unique<COpClipReplace>(firstTrack, first, firstTrack, std::move(merged)));
    Add(std::make_unique<COpClipDelete>(secondTrack, second));
}

// ---- Clips to phrases ----

std::unique_ptr<CPhrase> PhraseFromClip(const CClip& clip, const CTrack* outputTrack)
{
    std::unique_ptr<CPhrase> phrase = MakePhraseFromClip(clip);
    if (outputTrack != nullptr) phrase->SetOutputTrack(*outputTrack);
    return phrase;
}

namespace {

// Index in the bank of the i-th new phrase; -1 keeps appending.
int32_t NthIndex(int32_t firstIndex, std::size_t i)
{
    return firstIndex < 0 ? -1 : firstIndex + static_cast<int32_t>(i);
}

const CTrack* TrackOrNull(const CTrackList* tracks, int32_t index)
{
    return tracks != nullptr ? tracks->GetAt(index) : nullptr;
}

} // namespace

COpClipToPhrase::COpClipToPhrase(int32_t trackIndex, CClip& clip, CPhraseBank& bank, int32_t index,
                                 std::unique_ptr<CPhrase> phrase)
{
    Add(std::make_unique<COpClipDelete>(trackIndex, clip));
    Add(std::make_unique<COpPhraseCreate>(bank, index, std::move(phrase)));
}

COpClipsToPhrases::COpClipsToPhrases(const CTrackList* tracks,
                                     const std::vector<CClipRef>& selection, CPhraseBank& bank,
                                     int32_t firstIndex)
{
    for (std::size_t i = 0; i < selection.size(); ++i) {
        const CClipRef& entry = selection[i];
        Add(std::make_unique<COpPhraseCreate>(
            bank, NthIndex(firstIndex, i),
            PhraseFromClip(*entry.clip, TrackOrNull(tracks, entry.track))));
    }
}

COpClipsMoveToPhrases::COpClipsMoveToPhrases(const CTrackList* tracks,
                                             const std::vector<CClipRef>& selection,
                                             CPhraseBank& bank, int32_t firstIndex)
{
    for (std::size_t i = 0; i < selection.size(); ++i) {
        const CClipRef& entry = selection[i];
        Add(std::make_unique<COpClipToPhrase>(
            entry.track, *entry.clip, bank, NthIndex(firstIndex, i),
            PhraseFromClip(*entry.clip, TrackOrNull(tracks, entry.track))));
    }
}
