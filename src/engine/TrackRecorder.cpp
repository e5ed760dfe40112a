#include "engine/TrackRecorder.h"

#include "engine/RecordingNotifications.h"
#include "model/Clip.h"
#include "model/Track.h"

#include <algorithm>

namespace {
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kReleaseVelocityAtFinish = 127;
constexpr int kStagingReserve = 64;
constexpr int kTakeReserve = 256;

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
                               CEngineMailbox& mailbox, tick position)
    : m_track(track), m_settings(settings), m_mailbox(mailbox)
{
    const tick start = FloorToGrid(position, settings.clipSnapGrid);
    m_clip = std::make_unique<CClip>(start, start, std::string(), 0);
    m_clip->GetNotes().Reserve(kTakeReserve);
    m_clip->GetEvents().Reserve(kTakeReserve);
    m_tickCounter = position - start;
    m_open.reserve(128);
    m_staging.reserve(kStagingReserve);
    m_mailbox.Post<CRecordingStartedNotification>(m_track.GetId(), m_track.GetPlayerSlot(),
                                                  position);
}

CTrackRecorder::~CTrackRecorder() = default;

tick CTrackRecorder::GetClipStart() const
{
    return m_clip ? m_clip->GetStart() : 0;
}

void CTrackRecorder::RecordNoteOns(const CMidiMsgList& list)
{
    for (const CMidiMsg& msg : list) {
        if ((msg.status & 0xF0) != kNoteOn) continue;
        if (msg.data2 == 0)
            NoteOff(msg.data1 & 0x7F, 64);
        else
            NoteOn(msg.data1 & 0x7F, msg.data2 & 0x7F);
    }
}

void CTrackRecorder::RecordNoteOffs(const CMidiMsgList& list)
{
    for (const CMidiMsg& msg : list)
        NoteOff(msg.data1 & 0x7F, msg.data2 & 0x7F);
}

void CTrackRecorder::NoteOn(uint8_t key, uint8_t velocity)
{
    m_open.push_back({m_tickCounter, key, velocity});
    m_mailbox.Post<CNoteRecordedNotification>(
        m_track.GetId(), m_track.GetPlayerSlot(),
        CNote(m_tickCounter, m_tickCounter, key, velocity, 0));
}

void CTrackRecorder::NoteOff(uint8_t key, uint8_t velocity)
{
    const auto it = std::find_if(m_open.begin(), m_open.end(),
                                 [key](const SOpenNote& open) { return open.key == key; });
    if (it == m_open.end()) return; // its note-on was never recorded
    const SOpenNote open = *it;
    m_open.erase(it);
    InsertNote(open, velocity);
}

void CTrackRecorder::InsertNote(const SOpenNote& open, uint8_t offVelocity)
{
    const tick grid = m_settings.quantizeGrid;
    const tick start = NearestOnGrid(open.tick, grid);
    tick end = NearestOnGrid(m_tickCounter, grid);
    if (end <= start) end = start + std::max<tick>(grid, 0);
    m_clip->GetNotes().Insert(CNote(start, end, open.key, open.velocity, offVelocity));
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
        StageEvent(CMidiEvent(NearestOnGrid(m_tickCounter, m_settings.quantizeGrid), kind,
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
    if (!m_settings.suppressRedundant) {
        m_staging.push_back(event);
        return;
    }
    CMidiEvent& last = LastOfKind(event);
    if (last.m_data1 == event.m_data1 && last.m_data2 == event.m_data2) return; // redundant
    if (last.m_time == event.m_time) {
        const auto staged = std::find_if(m_staging.rbegin(), m_staging.rend(),
                                         [&](const auto& e) { return SameLaneAndTime(e, last); });
        if (staged != m_staging.rend()) {
            *staged = event;
            last = event;
            return;
        }
        // The one it replaces left the staging list in an earlier batch of this tick: it is
        // replaced where it is stored, and posted again.
        CEventList& events = m_clip->GetEvents();
        const int index = events.FindEqualFromEnd(last);
        if (index >= 0) {
            events.ReplaceAt(index, event);
            last = event;
            m_mailbox.Post<CEventRecordedNotification>(m_track.GetId(), m_track.GetPlayerSlot(),
                                                       event);
            return;
        }
    }
    m_staging.push_back(event);
    last = event;
}

void CTrackRecorder::MoveStagedToClip()
{
    for (const CMidiEvent& event : m_staging) {
        m_clip->GetEvents().Append(event);
        m_mailbox.Post<CEventRecordedNotification>(m_track.GetId(), m_track.GetPlayerSlot(), event);
    }
    m_staging.clear();
}

std::unique_ptr<CClip> CTrackRecorder::Finish()
{
    if (!m_clip) return nullptr;
    MoveStagedToClip();
    for (const SOpenNote& open : m_open)
        InsertNote(open, kReleaseVelocityAtFinish);
    m_open.clear();
    const CNoteList& notes = m_clip->GetNotes();
    const CEventList& events = m_clip->GetEvents();
    if (notes.IsEmpty() && events.IsEmpty()) {
        m_clip.reset();
        return nullptr;
    }
    // A note of length 0 (no quantize grid) must still start inside the Clip.
    tick length =
        notes.IsEmpty() ? 0 : std::max(notes.MaxEnd(), notes[notes.GetCount() - 1].m_start + 1);
    if (!events.IsEmpty()) length = std::max(length, events.EndTime());
    m_clip->SetLength(CeilToGrid(length, m_settings.clipSnapGrid));
    return std::move(m_clip);
}
