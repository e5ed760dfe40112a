#include "editing/TrackOperations.h"

#include <utility>

#include "document/ProjectDoc.h"
#include "engine/MidiEngineProxy.h"
#include "model/ObjectColours.h"
#include "model/Track.h"

namespace {

// The tracks' clips go with them: their piano rolls close.
void ClosePianoRollsOf(CProjectDoc& doc, const CTrack& track)
{
    for (int32_t i = 0; i < track.GetClipCount(); ++i)
        doc.GetWindows().ClosePianoRoll(track.GetClipAt(i));
}

bool ValidMove(const CTrackList& tracks, int32_t from, int32_t to)
{
    return from != to && from >= 0 && from < tracks.GetCount() && to >= 0 && to < tracks.GetCount();
}

// Moves a track within the list; the player keys tracks by id, so it needs no word of it.
void MoveTrack(CProjectDoc& doc, int32_t from, int32_t to)
{
    CTrackList& tracks = doc.GetTracks();
    tracks.InsertAt(to, tracks.RemoveAt(from));
}

// Tracks are added, removed and reordered only while the player does not run this project.
bool PlayerIdle(COperationHistory& history)
{
    return !ProjectOf(history).IsPlayingActive();
}

} // namespace

// ---- Track list operations ----

bool COpTrackList::CanDo(COperationHistory& history)
{
    return PlayerIdle(history);
}

bool COpTrackList::CanUndo(COperationHistory& history)
{
    return PlayerIdle(history);
}

bool COpTrackList::CanRedo(COperationHistory& history)
{
    return PlayerIdle(history);
}

void COpTrackList::UndoPrepare(CProjectDoc& doc)
{
    doc.GetWindows().OpenTracksWindow(true);
}

void COpTrackList::RedoPrepare(CProjectDoc& doc)
{
    doc.GetWindows().OpenTracksWindow(true);
}

// ---- Create ----

COpTrackCreate::COpTrackCreate(int32_t index, std::unique_ptr<CTrack> track)
    : m_index(index), m_track(std::move(track)), m_trackRef(m_track.get())
{
    if (!m_track) throw CInvalidArgument();
}

COpTrackCreate::~COpTrackCreate() = default;

bool COpTrackCreate::Place(CProjectDoc& doc)
{
    const int32_t count = doc.GetTracks().GetCount();
    if (m_index == -1) m_index = count;
    if (m_index < 0 || m_index > count) return false;
    doc.InsertTrack(m_index, std::move(m_track));
    return true;
}

bool COpTrackCreate::Do(CProjectDoc& doc)
{
    if (!m_identified) {
        const int32_t count = doc.GetTracks().GetCount();
        if (m_index < -1 || m_index > count) return false;
        m_identified = true;
        CTrack& track = *m_track;
        track.SetId(doc.NewTrackId());
        if (track.GetName().empty()) track.SetName("Track " + std::to_string(track.GetId()));
        if (track.GetColour() == 0) track.SetColour(NextObjectColour());
    }
    return Place(doc);
}

void COpTrackCreate::UndoApply(CProjectDoc& doc)
{
    m_track = doc.RemoveTrack(m_index);
}

void COpTrackCreate::UndoShow(CProjectDoc& doc)
{
    ClosePianoRollsOf(doc, *m_trackRef);
}

void COpTrackCreate::RedoApply(CProjectDoc& doc)
{
    Place(doc);
}

// ---- Delete ----

COpTrackDelete::~COpTrackDelete() = default;

bool COpTrackDelete::Do(CProjectDoc& doc)
{
    if (doc.GetTracks().GetAt(m_index) == nullptr) return false;
    m_track = doc.RemoveTrack(m_index);
    return true;
}

void COpTrackDelete::ShowDo(CProjectDoc& doc)
{
    ClosePianoRollsOf(doc, *m_track);
}

void COpTrackDelete::UndoApply(CProjectDoc& doc)
{
    doc.InsertTrack(m_index, std::move(m_track));
}

// ---- Move ----

COpTrackMove::COpTrackMove(int32_t source, int32_t target)
    : m_source(source), m_target(source < target ? target - 1 : target)
{}

bool COpTrackMove::Do(CProjectDoc& doc)
{
    if (!ValidMove(doc.GetTracks(), m_source, m_target)) return false;
    MoveTrack(doc, m_source, m_target);
    return true;
}

void COpTrackMove::ShowDo(CProjectDoc& doc)
{
    doc.GetWindows().TrackMoved(m_source, m_target);
}

void COpTrackMove::UndoApply(CProjectDoc& doc)
{
    MoveTrack(doc, m_target, m_source);
}

void COpTrackMove::UndoShow(CProjectDoc& doc)
{
    doc.GetWindows().TrackMoved(m_target, m_source);
}

// ---- Rename, property ----

bool COpTrackRename::Do(CProjectDoc&)
{
    m_track.SetName(m_name);
    return true;
}

void COpTrackRename::ShowDo(CProjectDoc& doc)
{
    doc.GetWindows().TrackRenamed(m_track);
}

bool COpTrackSetProperty::Do(CProjectDoc& doc)
{
    return doc.SetTrackProperty(m_track, m_number, m_value);
}

// ---- Import ----

COpTracksImport::COpTracksImport(int32_t firstIndex, std::vector<std::unique_ptr<CTrack>> tracks)
{
    for (size_t i = 0; i < tracks.size(); ++i) {
        const int32_t index = firstIndex < 0 ? -1 : firstIndex + static_cast<int32_t>(i);
        Add(std::make_unique<COpTrackCreate>(index, std::move(tracks[i])));
    }
}

bool COpTracksImport::CanDo(COperationHistory& history)
{
    return PlayerIdle(history);
}

bool COpTracksImport::CanUndo(COperationHistory& history)
{
    return PlayerIdle(history);
}

bool COpTracksImport::CanRedo(COperationHistory& history)
{
    return PlayerIdle(history);
}

// ---- Solo and mute ----

void ToggleTrackSolo(CProjectDoc& doc, CTrack& track)
{
    if (doc.IsActive())
        doc.GetEngineProxy().ToggleSolo(track);
    else
        track.SetSolo(!track.GetSolo());
}

void ToggleTrackMute(CProjectDoc& doc, CTrack& track)
{
    if (doc.IsActive())
        doc.GetEngineProxy().ToggleMute(track);
    else
        track.SetMute(!track.GetMute());
}
