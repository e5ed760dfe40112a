#include "editing/ClipOperations.h"

#include "document/PlayerLink.h"
#include "document/ProjectDoc.h"
#include "engine/MidiEngineProxy.h"
#include "model/Clip.h"
#include "model/Errors.h"
#include "model/Track.h"

#include <algorithm>
#include <map>
#include <optional>
#include <unordered_map>
#include <utility>

namespace {

// The Tracks window in front with an empty clip selection, where clip changes are seen.
void BringUpTracks(CProjectDoc& doc)
{
    doc.GetWindows().OpenTracksWindow(true);
    doc.GetWindows().TracksClearSelection();
}

CTrack& TrackAt(CProjectDoc& doc, int32_t index)
{
    CTrack* track = doc.GetTracks().GetAt(index);
    if (track == nullptr) throw CInvalidArgument();
    return *track;
}

// The operations of a batch grouped by the track of one side, tracks in index order.
template <class TSide>
std::map<int32_t, std::vector<COpClipPlacement*>> ByTrack(const std::vector<COpClipPlacement*>& ops,
                                                          TSide side)
{
    std::map<int32_t, std::vector<COpClipPlacement*>> groups;
    for (COpClipPlacement* op : ops) {
        const auto [track, clip] = side(*op);
        if (clip != nullptr) groups[track].push_back(op);
    }
    return groups;
}

} // namespace

// ---- Placement ----

COpClipPlacement::~COpClipPlacement() = default;

void COpClipPlacement::SetRemoved(int32_t trackIndex, CClip& clip)
{
    m_out.track = trackIndex;
    m_out.clip = &clip;
}

void COpClipPlacement::SetPlaced(int32_t trackIndex, std::unique_ptr<CClip> clip)
{
    if (!clip) throw CInvalidArgument();
    m_in.track = trackIndex;
    m_in.clip = clip.get();
    m_in.owned = std::move(clip);
}

bool COpClipPlacement::PrepareFirstDo(CProjectDoc&)
{
    return true;
}

void COpClipPlacement::TellPlaced(CPlayerLink& player, CTrack& track, bool)
{
    player.AddClip(*m_in.clip, track);
}

bool COpClipPlacement::Do(CProjectDoc& doc)
{
    return ApplyForward(doc, {this}, true);
}

void COpClipPlacement::UndoPrepare(CProjectDoc& doc)
{
    BringUpTracks(doc);
}

void COpClipPlacement::RedoPrepare(CProjectDoc& doc)
{
    BringUpTracks(doc);
}

void COpClipPlacement::UndoApply(CProjectDoc& doc)
{
    ApplyBackward(doc, {this});
}

void COpClipPlacement::RedoApply(CProjectDoc& doc)
{
    ApplyForward(doc, {this}, false);
}

bool COpClipPlacement::ApplyForward(CProjectDoc& doc, const std::vector<COpClipPlacement*>& ops,
                                    bool firstRun)
{
    CTrackList& tracks = doc.GetTracks();
    for (const COpClipPlacement* op : ops) {
        if (op->m_in.clip != nullptr && tracks.GetAt(op->m_in.track) == nullptr) return false;
        if (op->m_out.clip != nullptr && tracks.GetAt(op->m_out.track) == nullptr) return false;
    }
    if (firstRun) {
        for (COpClipPlacement* op : ops)
            if (!op->PrepareFirstDo(doc)) return false;
    }

    // Take out, one pass per track; a clip not found leaves everything as it was.
    const auto outs = ByTrack(ops, [](COpClipPlacement& op) {
        return std::pair{op.m_out.track, op.m_out.clip};
    });
    std::vector<std::pair<CTrack*, std::vector<COpClipPlacement*>>> takenFrom;
    for (const auto& [trackIndex, group] : outs) {
        CTrack& track = TrackAt(doc, trackIndex);
        std::vector<const CClip*> clips;
        std::unordered_map<const CClip*, COpClipPlacement*> owner;
        for (COpClipPlacement* op : group) {
            clips.push_back(op->m_out.clip);
            owner.emplace(op->m_out.clip, op);
        }
        std::vector<CTrack::CRemovedClip> removed = track.RemoveClips(clips);
        if (removed.empty()) {
            for (auto& [undoTrack, undoGroup] : takenFrom) {
                std::vector<CTrack::CRemovedClip> back;
                for (COpClipPlacement* op : undoGroup) {
                    back.push_back({op->m_out.index, std::move(op->m_out.owned)});
                    op->m_out.index = -1;
                }
                undoTrack->InsertClipsAt(std::move(back));
            }
            return false;
        }
        for (CTrack::CRemovedClip& entry : removed) {
            COpClipPlacement* op = owner.at(entry.clip.get());
            op->m_out.index = entry.index;
            op->m_out.owned = std::move(entry.clip);
        }
        takenFrom.emplace_back(&track, group);
    }

    // Put in, one merge per track.
    const auto ins = ByTrack(ops, [](COpClipPlacement& op) {
        return std::pair{op.m_in.track, op.m_in.clip};
    });
    for (const auto& [trackIndex, group] : ins) {
        std::vector<std::unique_ptr<CClip>> clips;
        clips.reserve(group.size());
        for (COpClipPlacement* op : group)
            clips.push_back(std::move(op->m_in.owned));
        const std::vector<int32_t> indices = TrackAt(doc, trackIndex).AddClips(std::move(clips));
        for (size_t i = 0; i < group.size(); ++i)
            group[i]->m_in.index = indices[i];
    }

    for (COpClipPlacement* op : ops)
        if (op->m_in.clip != nullptr && op->m_out.clip != nullptr)
            op->m_in.clip->CopyIdentity(*op->m_out.clip);
    if (CPlayerLink* player = doc.GetPlayer()) {
        for (COpClipPlacement* op : ops) {
            if (op->m_out.clip != nullptr) player->RemoveClip(*op->m_out.clip);
            if (op->m_in.clip != nullptr)
                op->TellPlaced(*player, TrackAt(doc, op->m_in.track), firstRun);
        }
    }
    for (COpClipPlacement* op : ops)
        if (op->m_in.clip != nullptr && op->m_out.clip != nullptr) op->m_out.clip->MakeInvalid();
    return true;
}

void COpClipPlacement::ApplyBackward(CProjectDoc& doc, const std::vector<COpClipPlacement*>& ops)
{
    const auto ins = ByTrack(ops, [](COpClipPlacement& op) {
        return std::pair{op.m_in.track, op.m_in.clip};
    });
    for (const auto& [trackIndex, group] : ins) {
        std::vector<const CClip*> clips;
        std::unordered_map<const CClip*, COpClipPlacement*> owner;
        for (COpClipPlacement* op : group) {
            clips.push_back(op->m_in.clip);
            owner.emplace(op->m_in.clip, op);
        }
        std::vector<CTrack::CRemovedClip> removed = TrackAt(doc, trackIndex).RemoveClips(clips);
        // Undo runs on the model its Do left; anything else is an internal error.
        if (removed.size() != clips.size()) throw CInvalidArgument();
        for (CTrack::CRemovedClip& entry : removed) {
            COpClipPlacement* op = owner.at(entry.clip.get());
            op->m_in.index = -1;
            op->m_in.owned = std::move(entry.clip);
        }
    }
    for (COpClipPlacement* op : ops)
        if (op->m_in.clip != nullptr && op->m_out.clip != nullptr)
            op->m_out.clip->CopyIdentity(*op->m_in.clip);

    const auto outs = ByTrack(ops, [](COpClipPlacement& op) {
        return std::pair{op.m_out.track, op.m_out.clip};
    });
    for (const auto& [trackIndex, group] : outs) {
        std::vector<CTrack::CRemovedClip> back;
        back.reserve(group.size());
        for (COpClipPlacement* op : group) {
            back.push_back({op->m_out.index, std::move(op->m_out.owned)});
            op->m_out.index = -1;
        }
        TrackAt(doc, trackIndex).InsertClipsAt(std::move(back));
    }

    if (CPlayerLink* player = doc.GetPlayer()) {
        for (COpClipPlacement* op : ops) {
            if (op->m_in.clip != nullptr) player->RemoveClip(*op->m_in.clip);
            if (op->m_out.clip != nullptr)
                player->AddClip(*op->m_out.clip, TrackAt(doc, op->m_out.track));
        }
    }
    for (COpClipPlacement* op : ops)
        if (op->m_in.clip != nullptr && op->m_out.clip != nullptr) op->m_in.clip->MakeInvalid();
}

void COpClipPlacement::TakeOverPlacement(COpClipPlacement& later)
{
    m_in.track = later.m_in.track;
    m_in.clip = later.m_in.clip;
    m_in.index = later.m_in.index;
    // The later operation keeps what it took out (this one's former clip) and deletes it.
    later.m_in = CSide{};
}

void COpClipPlacement::ShowPlaced(CProjectDoc& doc) const
{
    CProjectWindows& windows = doc.GetWindows();
    windows.TracksClipInserted(m_in.track, *m_in.clip);
    windows.TracksSelectClip(*m_in.clip);
}

void COpClipPlacement::ShowRemoved(CProjectDoc& doc, const CClip& clip) const
{
    doc.GetWindows().TracksClipRemoved(clip);
    doc.GetWindows().ClosePianoRoll(clip);
}

// ---- Create, Paste, Record, Copy ----

COpClipCreate::COpClipCreate(int32_t trackIndex, std::unique_ptr<CClip> clip)
{
    SetPlaced(trackIndex, std::move(clip));
}

bool COpClipCreate::PrepareFirstDo(CProjectDoc& doc)
{
    m_in.clip->SetId(doc.NewObjectId());
    return true;
}

void COpClipCreate::ShowDo(CProjectDoc& doc)
{
    ShowPlaced(doc);
}

void COpClipCreate::UndoShow(CProjectDoc& doc)
{
    ShowRemoved(doc, *m_in.clip);
}

COpClipRecord::COpClipRecord(std::unique_ptr<CClip> clip, int32_t trackIndex)
    : COpClipCreate(trackIndex, std::move(clip))
{}

bool COpClipRecord::PrepareFirstDo(CProjectDoc& doc)
{
    const CTrack& track = TrackAt(doc, m_in.track);
    m_in.clip->SetName("[Rec] " + track.GetName());
    m_in.clip->SetColour(track.GetColour());
    return COpClipCreate::PrepareFirstDo(doc);
}

void COpClipRecord::TellPlaced(CPlayerLink& player, CTrack& track, bool firstRun)
{
    // A clip whose recording the player no longer holds is added like any other.
    if (firstRun && player.CommitRecordedClip(*m_in.clip, track)) return;
    player.AddClip(*m_in.clip, track);
}

COpClipCopy::COpClipCopy(const CClip& source, int32_t sourceTrack, int32_t targetTrack,
                         std::unique_ptr<CClip> copy)
    : COpClipCreate(targetTrack, std::move(copy)), m_source(&source), m_sourceTrack(sourceTrack)
{}

void COpClipCopy::UndoShow(CProjectDoc& doc)
{
    COpClipCreate::UndoShow(doc);
    doc.GetWindows().TracksSelectClip(*m_source);
}

// ---- Delete, Replace ----

COpClipDelete::COpClipDelete(int32_t trackIndex, CClip& clip)
{
    SetRemoved(trackIndex, clip);
}

void COpClipDelete::ShowDo(CProjectDoc& doc)
{
    ShowRemoved(doc, *m_out.clip);
}

void COpClipDelete::UndoShow(CProjectDoc& doc)
{
    CProjectWindows& windows = doc.GetWindows();
    windows.TracksClipInserted(m_out.track, *m_out.clip);
    windows.TracksSelectClip(*m_out.clip);
}

COpClipReplace::COpClipReplace(int32_t oldTrack, CClip& oldClip, int32_t newTrack,
                               std::unique_ptr<CClip> newClip)
{
    SetRemoved(oldTrack, oldClip);
    SetPlaced(newTrack, std::move(newClip));
}

void COpClipReplace::ShowDo(CProjectDoc& doc)
{
    ShowSwap(doc, m_out, m_in);
}

void COpClipReplace::UndoShow(CProjectDoc& doc)
{
    ShowSwap(doc, m_in, m_out);
}

void COpClipReplace::ShowSwap(CProjectDoc& doc, const CSide& from, const CSide& to) const
{
    CProjectWindows& windows = doc.GetWindows();
    windows.TracksBeginUpdate();
    windows.TracksClipReplaced(*from.clip, to.track, *to.clip);
    windows.TracksSelectClip(*to.clip);
    windows.TracksEndUpdate();
    windows.MovePianoRoll(*from.clip, *to.clip);
}

// ---- Edges: length and start ----

namespace {

// The track that holds the clip; an edge operation on a clip that is on no track is refused.
CTrack* TrackOf(CProjectDoc& doc, const CClip& clip)
{
    return doc.GetTracks().GetAt(doc.IndexOfTrackWithClip(&clip));
}

void Save(CSavedMaterial& saved, const CClip& clip, tick shift)
{
    if (saved.saved) return;
    saved.notes = clip.GetNotes();
    saved.events = clip.GetEvents();
    saved.notes.Shift(shift);
    saved.events.Shift(shift);
    saved.saved = true;
}

// Whether setting the clip's length to length would drop material: it is shorter, or notes or
// events reach beyond it (a take's held notes).
bool LengthDropsMaterial(const CClip& clip, tick length)
{
    return length < clip.GetLength() || clip.GetNotes().MaxEnd() > length ||
           clip.GetEvents().EndTime() > length;
}

// Gives the clip the saved material, without what lies before from and from to on (when given,
// in the saved time base), moved by shift into the clip's time base.
void GiveBack(CProjectDoc& doc, CClip& clip, const CSavedMaterial& saved, std::optional<tick> from,
              std::optional<tick> to, tick shift)
{
    if (!saved.saved) return;
    CNoteList notes = saved.notes;
    CEventList events = saved.events;
    if (from) {
        notes.ClipBefore(*from);
        events.RemoveBefore(*from);
    }
    if (to) {
        notes.ClipAfter(*to);
        events.RemoveFrom(*to);
    }
    notes.Shift(shift);
    events.Shift(shift);
    CMidiEngineProxy& proxy = doc.GetEngineProxy();
    proxy.ReplaceNotes(clip, notes);
    proxy.ReplaceEvents(clip, events);
}

} // namespace

void COpClipEdge::ShowDo(CProjectDoc& doc)
{
    CProjectWindows& windows = doc.GetWindows();
    windows.TracksBeginUpdate();
    windows.TracksClearSelection();
    windows.TracksClipChanged(m_clip);
    windows.TracksSelectClip(m_clip);
    windows.TracksEndUpdate();
    windows.PianoRollLengthChanged(m_clip);
}

bool COpClipEdge::IsAbsorbableKind(COperationHistory&, COperation& newOp)
{
    return IsSameType(newOp);
}

COpClipSetLength::COpClipSetLength(CClip& clip, tick length, EClipLengthOrigin origin)
    : COpClipEdge(clip, length), m_origin(origin)
{}

int COpClipSetLength::GetTypeId() const
{
    switch (m_origin) {
    case EClipLengthOrigin::TracksDrag:
        return kOpClipSetLengthDrag;
    case EClipLengthOrigin::PianoRoll:
        return kOpClipSetLengthPianoRoll;
    default:
        return kOpClipSetLengthKeys;
    }
}

bool COpClipSetLength::Do(CProjectDoc& doc)
{
    CTrack* track = TrackOf(doc, m_clip);
    if (m_value <= 0 || track == nullptr) return false;
    const tick before = m_clip.GetLength();
    // Undo goes back to the length before, which drops what reaches beyond it too.
    if (LengthDropsMaterial(m_clip, std::min(m_value, before))) Save(m_saved, m_clip, 0);
    if (doc.GetEngineProxy().SetClipLength(m_clip, m_value) == 0) return false;
    track->RecomputeEnd();
    m_value = before;
    return true;
}

void COpClipSetLength::UndoPrepare(CProjectDoc& doc)
{
    if (m_origin == EClipLengthOrigin::PianoRoll) {
        doc.GetWindows().OpenPianoRoll(m_clip, true);
    } else {
        BringUpTracks(doc);
    }
}

void COpClipSetLength::UndoApply(CProjectDoc& doc)
{
    const tick current = m_clip.GetLength();
    doc.GetEngineProxy().SetClipLength(m_clip, m_value);
    GiveBack(doc, m_clip, m_saved, std::nullopt, std::nullopt, 0);
    if (CTrack* track = TrackOf(doc, m_clip)) track->RecomputeEnd();
    m_value = current;
}

void COpClipSetLength::RedoApply(CProjectDoc& doc)
{
    const tick current = m_clip.GetLength();
    doc.GetEngineProxy().SetClipLength(m_clip, m_value);
    if (CTrack* track = TrackOf(doc, m_clip)) track->RecomputeEnd();
    m_value = current;
}

bool COpClipSetLength::Absorb(CProjectDoc& doc, COperation& newOp)
{
    auto& next = static_cast<COpClipSetLength&>(newOp);
    CTrack* track = TrackOf(doc, m_clip);
    if (&next.m_clip != &m_clip || next.m_value <= 0 || track == nullptr) return false;
    const tick target = next.m_value;
    if (LengthDropsMaterial(m_clip, target)) Save(m_saved, m_clip, 0);
    doc.GetEngineProxy().SetClipLength(m_clip, target);
    // As if the length had gone from before the drag straight to target: the material from
    // before the drag, cut only when target is shorter than the length then.
    GiveBack(doc, m_clip, m_saved, std::nullopt,
             target < m_value ? std::optional<tick>(target) : std::nullopt, 0);
    track->RecomputeEnd();
    return true;
}

COpClipSetStart::COpClipSetStart(CClip& clip, tick start) : COpClipEdge(clip, start)
{}

bool COpClipSetStart::MoveStart(CProjectDoc& doc, tick start)
{
    CTrack* track = TrackOf(doc, m_clip);
    if (track == nullptr || doc.GetEngineProxy().MoveClipStart(m_clip, start) == 0) return false;
    // The clip's place among equal starts matters to undo; only move it when order demands.
    const int32_t index = track->IndexOfClip(&m_clip);
    const bool afterPrevious = index == 0 || track->GetClipAt(index - 1).GetStart() <= start;
    const bool beforeNext =
        index + 1 == track->GetClipCount() || start <= track->GetClipAt(index + 1).GetStart();
    if (!afterPrevious || !beforeNext) track->AddClip(track->RemoveClipAt(index));
    track->RecomputeEnd();
    return true;
}

bool COpClipSetStart::Do(CProjectDoc& doc)
{
    CTrack* track = TrackOf(doc, m_clip);
    if (track == nullptr || m_value >= m_clip.GetEnd()) return false;
    const tick before = m_clip.GetStart();
    m_indexBefore = track->IndexOfClip(&m_clip);
    if (m_value > before) Save(m_saved, m_clip, before);
    if (!MoveStart(doc, m_value)) return false;
    m_indexAfter = IndexNow(doc);
    m_value = before;
    return true;
}

void COpClipSetStart::UndoPrepare(CProjectDoc& doc)
{
    BringUpTracks(doc);
}

void COpClipSetStart::UndoApply(CProjectDoc& doc)
{
    const tick current = m_clip.GetStart();
    MoveStart(doc, m_value);
    GiveBack(doc, m_clip, m_saved, m_value, std::nullopt, -m_value);
    PlaceAt(doc, m_indexBefore);
    m_value = current;
}

void COpClipSetStart::RedoApply(CProjectDoc& doc)
{
    const tick current = m_clip.GetStart();
    MoveStart(doc, m_value);
    PlaceAt(doc, m_indexAfter);
    m_value = current;
}

void COpClipSetStart::PlaceAt(CProjectDoc& doc, int32_t index)
{
    // Undo and redo meet the track as the step they repeat left it, so the clip goes back to
    // the very index it had, among clips of equal start too.
    CTrack* track = TrackOf(doc, m_clip);
    if (track == nullptr) return;
    const int32_t now = track->IndexOfClip(&m_clip);
    if (now != index) track->InsertClipAt(index, track->RemoveClipAt(now));
}

int32_t COpClipSetStart::IndexNow(CProjectDoc& doc) const
{
    CTrack* track = TrackOf(doc, m_clip);
    return track == nullptr ? -1 : track->IndexOfClip(&m_clip);
}

bool COpClipSetStart::Absorb(CProjectDoc& doc, COperation& newOp)
{
    auto& next = static_cast<COpClipSetStart&>(newOp);
    if (&next.m_clip != &m_clip || next.m_value >= m_clip.GetEnd()) return false;
    const tick target = next.m_value;
    const tick current = m_clip.GetStart();
    if (target > current) Save(m_saved, m_clip, current);
    if (!MoveStart(doc, target)) return false;
    if (target <= current) GiveBack(doc, m_clip, m_saved, target, std::nullopt, -target);
    m_indexAfter = IndexNow(doc);
    return true;
}

// ---- Property, rename ----

COpClipSetProperty::COpClipSetProperty(CClip& clip, int32_t property, int64_t value)
    : m_clip(clip), m_property(property), m_value(value)
{}

bool COpClipSetProperty::Do(CProjectDoc&)
{
    if (m_property != kColour || m_value < 0 || m_value > 0xFFFFFF) return false;
    m_clip.SetColour(static_cast<uint32_t>(m_value));
    return true;
}

void COpClipSetProperty::ShowDo(CProjectDoc& doc)
{
    doc.GetWindows().TracksClipChanged(m_clip);
    doc.GetWindows().PianoRollDataChanged(m_clip);
}

COpClipRename::COpClipRename(CClip& clip, std::string name) : m_clip(clip), m_name(std::move(name))
{}

bool COpClipRename::Do(CProjectDoc&)
{
    m_clip.SetName(m_name);
    return true;
}

void COpClipRename::ShowDo(CProjectDoc& doc)
{
    doc.GetWindows().TracksClipChanged(m_clip);
    doc.GetWindows().PianoRollDataChanged(m_clip);
}
