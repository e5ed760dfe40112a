#include "engine/ClipPlayer.h"

#include "engine/PlayerSupport.h"
#include "engine/TrackPlayer.h"
#include "model/Clip.h"
#include "model/Track.h"

namespace {
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kNoteOff = 0x80;

SNoteShape ShapeOf(const CTrack& track)
{
    return {track.GetTranspose(),    track.GetVelocityOffset(),    track.GetPitchLimitFrom(),
            track.GetPitchLimitTo(), track.GetVelocityLimitFrom(), track.GetVelocityLimitTo()};
}
} // namespace

CClipPlayer::CClipPlayer(CClip& clip, CTrack& track) : m_clip(clip), m_track(track)
{
    SetNodeName("ClipPlayer");
    ComputeWindow();
    OnQuantizeChanged();
    NoteNextStarts();
}

CClipPlayer::~CClipPlayer()
{
    Flush();
    DisconnectAll(this);
}

void CClipPlayer::OnOutputConnected(CMidiNode* other)
{
    if (m_trackPlayer == nullptr && other->GetKind() == ENodeKind::TrackPlayer)
        m_trackPlayer = static_cast<CTrackPlayer*>(other);
}

void CClipPlayer::OnOutputDisconnected(CMidiNode* other)
{
    // The connection still exists here: the notes this player started end where they sound.
    if (other != m_trackPlayer) return;
    Flush();
    m_trackPlayer = nullptr;
}

tick CClipPlayer::LocalOf(tick position) const
{
    return SaturatedTick(int64_t{position} - m_windowStart);
}

void CClipPlayer::OnQuantizeChanged()
{
    m_grid = m_track.get().GetPlayQuantize().GetTicks();
}

void CClipPlayer::ComputeWindow()
{
    const tick delay = m_track.get().GetDelay();
    m_windowStart = SaturatedTick(int64_t{m_clip.GetStart()} + delay);
    m_windowEnd = SaturatedTick(int64_t{m_clip.GetStart()} + m_clip.GetLength() + delay);
}

void CClipPlayer::PlayTick(tick position)
{
    // Most ticks neither end nor start anything; they touch nothing but this player.
    const bool offsDue = m_pendingOffs.IsDue(position);
    const tick local = LocalOf(position);
    const bool startsDue =
        ContainsTick(position) && (FloorToGridTicks(m_nextNoteStart, m_grid) <= local ||
                                   FloorToGridTicks(m_nextEventStart, m_grid) <= local);
    if (!offsDue && !startsDue) return;
    CMidiMsgList noteOns;
    CMidiMsgList noteOffs;
    CMidiMsgList events;
    if (offsDue) m_pendingOffs.TakeDue(position, noteOffs);
    if (startsDue) {
        const bool silenced = m_trackPlayer != nullptr && m_trackPlayer->IsSilenced();
        PlayNotes(position, local, silenced, noteOns);
        PlayEvents(local, silenced, events);
        NoteNextStarts();
    }
    if (m_trackPlayer != nullptr) m_trackPlayer->ReceiveFromClip(noteOns, noteOffs, events, this);
}

void CClipPlayer::PlayNotes(tick position, tick local, bool silenced, CMidiMsgList& noteOns)
{
    const CNoteList& notes = m_clip.GetNotes();
    const tick grid = m_grid;
    const int count = notes.GetCount();
    if (m_noteIt >= count || FloorToGridTicks(notes[m_noteIt].m_start, grid) > local) return;
    const SNoteShape shape = ShapeOf(m_track.get());
    const uint8_t channel = OutputChannelOf(m_track.get());
    // A note whose floored start already lies behind (placed there by a locate or left behind by
    // a quantize change) is passed over, so the iterator can never stall.
    for (; m_noteIt < count; ++m_noteIt) {
        const CNote& note = notes[m_noteIt];
        const tick at = FloorToGridTicks(note.m_start, grid);
        if (at > local) break;
        if (at < local || silenced) continue;
        uint8_t key = 0;
        uint8_t velocity = 0;
        if (!shape.Apply(note.m_pitch, note.m_velocity, key, velocity)) continue;
        const tick length = CeilToGridTicks(std::max<tick>(note.GetLength(), 0), grid);
        noteOns.Append(NoteMessage(kNoteOn | channel, key, velocity));
        m_pendingOffs.Add(kNoteOff | channel, key, note.m_offVelocity & 0x7F,
                          CPendingNoteOffs::DueAfter(position, length));
    }
}

void CClipPlayer::PlayEvents(tick local, bool silenced, CMidiMsgList& events)
{
    const CEventList& list = m_clip.GetEvents();
    const tick grid = m_grid;
    const int count = list.GetCount();
    const uint8_t channel = OutputChannelOf(m_track.get());
    for (; m_eventIt < count; ++m_eventIt) {
        const CMidiEvent& event = list[m_eventIt];
        const tick at = FloorToGridTicks(event.m_time, grid);
        if (at > local) break;
        if (at < local || silenced) continue;
        const auto kind = static_cast<uint8_t>(event.m_kind & 0xF0);
        const uint8_t status = kind >= 0x80 && kind < 0xF0 ? kind | channel : kind;
        events.Append(CMidiMsg::Make(status, event.m_data1 & 0x7F, event.m_data2 & 0x7F));
    }
}

void CClipPlayer::Seek(tick position)
{
    OnQuantizeChanged();
    const tick local = LocalOf(position);
    const tick grid = m_grid;
    m_noteIt = FirstFrom(m_clip.GetNotes(), 0, local, grid);
    m_eventIt = FirstFrom(m_clip.GetEvents(), 0, local, grid);
    NoteNextStarts();
}

void CClipPlayer::PrefetchWork() const
{
    __builtin_prefetch(&m_clip.GetNotes());
    PrefetchObject(&m_track.get());
    m_pendingOffs.Prefetch();
    if (m_trackPlayer != nullptr) m_trackPlayer->PrefetchForClips();
}

void CClipPlayer::PrefetchDeeper() const
{
    const CNoteList& notes = m_clip.GetNotes();
    if (m_noteIt < notes.GetCount()) __builtin_prefetch(&notes[m_noteIt]);
    if (m_trackPlayer != nullptr && !m_trackPlayer->GetOutputs().empty())
        __builtin_prefetch(m_trackPlayer->GetOutputs().data());
}

void CClipPlayer::NoteNextStarts()
{
    const CNoteList& notes = m_clip.GetNotes();
    const CEventList& events = m_clip.GetEvents();
    m_nextNoteStart = m_noteIt < notes.GetCount() ? notes[m_noteIt].m_start : kNoStart;
    m_nextEventStart = m_eventIt < events.GetCount() ? events[m_eventIt].m_time : kNoStart;
}

void CClipPlayer::UpdateWindow(tick position)
{
    ComputeWindow();
    if (!ContainsTick(position)) Flush();
    Seek(position);
}

void CClipPlayer::OnListChanged(const CListChange& change, tick position)
{
    const tick local = LocalOf(position);
    const tick grid = m_grid;
    if (change.list == EDataList::Notes) {
        const CNoteList& notes = m_clip.GetNotes();
        m_noteIt = change.replaced ? FirstFrom(notes, 0, local, grid)
                                   : ShiftIterator(notes, m_noteIt, change, local, grid);
    } else {
        const CEventList& events = m_clip.GetEvents();
        m_eventIt = change.replaced ? FirstFrom(events, 0, local, grid)
                                    : ShiftIterator(events, m_eventIt, change, local, grid);
    }
    NoteNextStarts();
}

void CClipPlayer::Flush()
{
    if (m_pendingOffs.IsEmpty()) return;
    // Taken out first, so a receiver that flushes again finds nothing left.
    CMidiMsgList offs;
    m_pendingOffs.TakeAll(offs);
    if (m_trackPlayer != nullptr) ForwardNoteOffs(offs);
}

void CClipPlayer::Audition(const CNoteList& notes, int64_t tickPeriod)
{
    if (m_trackPlayer != nullptr) m_trackPlayer->Audition(notes, tickPeriod);
}
