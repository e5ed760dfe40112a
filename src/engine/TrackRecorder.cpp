#include "engine/TrackRecorder.h"

#include "engine/RecordingNotifications.h"
#include "engine/TakeKit.h"
#include "model/Clip.h"
#include "model/Track.h"

#include <algorithm>

namespace {
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kReleaseVelocityAtFinish = 127;

// Two-byte messages carry no second data byte; stored events keep 0 there.
uint8_t SecondByte(const CMidiMsg& msg)
{
    const uint8_t kind = msg.status & 0xF0;
    return kind == kKindProgramChange || kind == kKindChannelAftertouch ? 0 : msg.data2 & 0x7F;
}

bool SameLaneAndTime(const CMidiEvent& a, const CMidiEvent& b)
{
    const bool selector = EventKindHasSelector(a.m_kind) == 2;
    return a.m_kind == b.m_kind && a.m_time == b.m_time && (!selector || a.m_data1 == b.m_data1);
}
} // namespace

tick FloorToGrid(tick t, tick grid)
{
    if (grid <= 0) return t;
    const tick remainder = ((t % grid) + grid) % grid;
    return t - remainder;
}

tick CeilToGrid(tick t, tick grid)
{
    const tick floor = FloorToGrid(t, grid);
    return floor == t ? t : floor + grid;
}

tick NearestOnGrid(tick t, tick grid)
{
    const tick floor = FloorToGrid(t, grid);
    if (grid <= 0) return t;
    // Exactly half a step rounds up; compared in 64 bits so a large grid cannot overflow.
    return 2 * static_cast<int64_t>(t - floor) >= grid ? floor + grid : floor;
}

CTrackRecorder::CTrackRecorder(CTrack& track, const CRecordSettings& settings,
                               CEngineMailbox& mailbox)
    : m_track(track), m_settings(settings), m_mailbox(mailbox)
{}

CTrackRecorder::~CTrackRecorder() = default;

void CTrackRecorder::Open(std::unique_ptr<STakeKit> kit, tick position)
{
    m_openCount = 0;
    Begin(std::move(kit), FloorToGrid(position, m_settings.clipSnapGrid), position);
}

void CTrackRecorder::Begin(std::unique_ptr<STakeKit> kit, tick clipStart, tick position)
{
    m_kit = std::move(kit);
    Clip().MoveBy(clipStart - Clip().GetStart());
    m_tickCounter = position - clipStart;
    m_stagedCount = 0;
    // Suppression starts afresh: the first event of each kind in a Clip is never redundant.
    m_lastPolyPressure.fill(CMidiEvent());
    m_lastController.fill(CMidiEvent());
    m_lastProgram = m_lastChannelPressure = m_lastPitchBend = CMidiEvent();
    m_mailbox.Post<CRecordingStartedNotification>(m_track.GetId(), m_track.GetPlayerSlot(),
                                                  position);
}

CClip& CTrackRecorder::Clip() const
{
    return *m_kit->m_clip;
}

tick CTrackRecorder::GetClipStart() const
{
    return m_kit ? Clip().GetStart() : 0;
}

bool CTrackRecorder::IsNearlyFull() const
{
    if (!m_kit) return false;
    return Clip().GetNotes().GetCount() > STakeKit::kNoteCapacity / 4 * 3 ||
           Clip().GetEvents().GetCount() > STakeKit::kEventCapacity / 4 * 3;
}

int32_t CTrackRecorder::TickOf(const CMidiMsg& msg) const
{
    return std::max(m_tickCounter - std::max(msg.time, 0), 0);
}

void CTrackRecorder::RecordNoteOns(const CMidiMsgList& list)
{
    for (const CMidiMsg& msg : list) {
        if ((msg.status & 0xF0) != kNoteOn) continue;
        if (msg.data2 == 0)
            NoteOff(msg.data1 & 0x7F, 64, TickOf(msg));
        else
            NoteOn(msg.data1 & 0x7F, msg.data2 & 0x7F, TickOf(msg));
    }
}

void CTrackRecorder::RecordNoteOffs(const CMidiMsgList& list)
{
    for (const CMidiMsg& msg : list)
        NoteOff(msg.data1 & 0x7F, msg.data2 & 0x7F, TickOf(msg));
}

void CTrackRecorder::NoteOn(uint8_t key, uint8_t velocity, int32_t at)
{
    if (m_openCount == kMaxOpenNotes) {
        // Only a stuck source holds this many: the oldest held note ends here.
        InsertNote(m_open[0], kReleaseVelocityAtFinish, at);
        RemoveOpen(0);
    }
    m_open[static_cast<size_t>(m_openCount++)] = {at, key, velocity};
    m_mailbox.Post<CNoteRecordedNotification>(m_track.GetId(), m_track.GetPlayerSlot(),
                                              CNote(at, at, key, velocity, 0));
}

void CTrackRecorder::NoteOff(uint8_t key, uint8_t velocity, int32_t at)
{
    for (int32_t i = 0; i < m_openCount; ++i) {
        if (m_open[static_cast<size_t>(i)].key != key) continue;
        const SOpenNote open = m_open[static_cast<size_t>(i)];
        RemoveOpen(i);
        InsertNote(open, velocity, at);
        return;
    }
    // Its note-on was never recorded.
}

void CTrackRecorder::RemoveOpen(int32_t index)
{
    std::copy(m_open.begin() + index + 1, m_open.begin() + m_openCount, m_open.begin() + index);
    --m_openCount;
}

void CTrackRecorder::InsertNote(const SOpenNote& open, uint8_t offVelocity, int32_t end)
{
    CNoteList& notes = Clip().GetNotes();
    if (notes.GetCount() >= STakeKit::kNoteCapacity) {
        m_lost.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    const tick grid = m_settings.quantizeGrid;
    const tick start = NearestOnGrid(open.tick, grid);
    tick last = NearestOnGrid(end, grid);
    if (last <= start) last = start + std::max<tick>(grid, 0);
    notes.Insert(CNote(start, last, open.key, open.velocity, offVelocity));
}

bool CTrackRecorder::RecordsKind(uint8_t kind) const
{
    switch (kind) {
    case kKindPolyPressure:
        return m_settings.recordPolyPressure;
    case kKindControlChange:
        return m_settings.recordControlChange;
    case kKindProgramChange:
        return m_settings.recordProgramChange;
    case kKindChannelAftertouch:
        return m_settings.recordChannelAftertouch;
    case kKindPitchBender:
        return m_settings.recordPitchBend;
    default:
        return false; // not an event a Clip can hold
    }
}

void CTrackRecorder::RecordEvents(const CMidiMsgList& list)
{
    for (const CMidiMsg& msg : list) {
        const auto kind = static_cast<uint8_t>(msg.status & 0xF0);
        if (!RecordsKind(kind)) continue;
        StageEvent(CMidiEvent(NearestOnGrid(TickOf(msg), m_settings.quantizeGrid), kind,
                              msg.data1 & 0x7F, SecondByte(msg)));
    }
    MoveStagedToClip();
}

CMidiEvent& CTrackRecorder::LastOfKind(const CMidiEvent& event)
{
    switch (event.m_kind) {
    case kKindPolyPressure:
        return m_lastPolyPressure[event.m_data1 & 0x7F];
    case kKindControlChange:
        return m_lastController[event.m_data1 & 0x7F];
    case kKindProgramChange:
        return m_lastProgram;
    case kKindChannelAftertouch:
        return m_lastChannelPressure;
    default:
        return m_lastPitchBend;
    }
}

void CTrackRecorder::StageEvent(const CMidiEvent& event)
{
    if (m_stagedCount == kStagingSize) MoveStagedToClip();
    if (!m_settings.suppressRedundant) {
        m_staging[static_cast<size_t>(m_stagedCount++)] = event;
        return;
    }
    CMidiEvent& last = LastOfKind(event);
    if (last.m_data1 == event.m_data1 && last.m_data2 == event.m_data2) return; // redundant
    if (last.m_time == event.m_time) {
        const auto staged =
            std::find_if(std::make_reverse_iterator(m_staging.begin() + m_stagedCount),
                         m_staging.rend(), [&](const auto& e) { return SameLaneAndTime(e, last); });
        if (staged != m_staging.rend()) {
            *staged = event;
            last = event;
            return;
        }
        // The one it replaces left the staging list in an earlier batch of this tick: it is
        // replaced where it is stored, and posted again.
        CEventList& events = Clip().GetEvents();
        const int index = events.FindEqualFromEnd(last);
        if (index >= 0) {
            events.ReplaceAt(index, event);
            last = event;
            m_mailbox.Post<CEventRecordedNotification>(m_track.GetId(), m_track.GetPlayerSlot(),
                                                       event);
            return;
        }
    }
    m_staging[static_cast<size_t>(m_stagedCount++)] = event;
    last = event;
}

void CTrackRecorder::MoveStagedToClip()
{
    CEventList& events = Clip().GetEvents();
    for (int32_t i = 0; i < m_stagedCount; ++i) {
        if (events.GetCount() >= STakeKit::kEventCapacity) {
            m_lost.fetch_add(m_stagedCount - i, std::memory_order_relaxed);
            break;
        }
        const CMidiEvent& event = m_staging[static_cast<size_t>(i)];
        events.Append(event);
        m_mailbox.Post<CEventRecordedNotification>(m_track.GetId(), m_track.GetPlayerSlot(), event);
    }
    m_stagedCount = 0;
}

std::unique_ptr<STakeKit> CTrackRecorder::Finish()
{
    if (!m_kit) return nullptr;
    return Close(true);
}

std::unique_ptr<STakeKit> CTrackRecorder::Continue(std::unique_ptr<STakeKit> next, tick position)
{
    if (!m_kit) {
        Open(std::move(next), position);
        return nullptr;
    }
    const tick oldStart = Clip().GetStart();
    tick earliest = position;
    for (int32_t i = 0; i < m_openCount; ++i)
        earliest = std::min<tick>(earliest, oldStart + m_open[static_cast<size_t>(i)].tick);
    const tick newStart = FloorToGrid(earliest, m_settings.clipSnapGrid);
    std::unique_ptr<STakeKit> finished = Close(false);
    Begin(std::move(next), newStart, position);
    for (int32_t i = 0; i < m_openCount; ++i)
        m_open[static_cast<size_t>(i)].tick += oldStart - newStart;
    return finished;
}

std::unique_ptr<STakeKit> CTrackRecorder::Discard()
{
    m_openCount = 0;
    m_stagedCount = 0;
    return std::move(m_kit);
}

std::unique_ptr<STakeKit> CTrackRecorder::Close(bool closeOpen)
{
    MoveStagedToClip();
    if (closeOpen) {
        for (int32_t i = 0; i < m_openCount; ++i)
            InsertNote(m_open[static_cast<size_t>(i)], kReleaseVelocityAtFinish, m_tickCounter);
        m_openCount = 0;
    }
    CClip& clip = Clip();
    const CNoteList& notes = clip.GetNotes();
    const CEventList& events = clip.GetEvents();
    // A note of length 0 (no quantize grid) must still start inside the Clip.
    tick length =
        notes.IsEmpty() ? 0 : std::max(notes.MaxEnd(), notes[notes.GetCount() - 1].m_start + 1);
    if (!events.IsEmpty()) length = std::max(length, events.EndTime());
    clip.SetLength(CeilToGrid(length, m_settings.clipSnapGrid));
    return std::move(m_kit);
}
