#include "engine/TrackPlayer.h"

#include "devices/MidiOutDriver.h"
#include "engine/ClipPlayer.h"
#include "engine/EngineMailbox.h"
#include "engine/PlayerNotifications.h"
#include "engine/PlayerSupport.h"
#include "engine/SequencerClock.h"
#include "engine/TrackRecorder.h"
#include "model/Clip.h"
#include "model/NoteList.h"
#include "model/Track.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace {
constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kControlChange = 0xB0;

bool IsChannelMessage(uint8_t status)
{
    return status >= 0x80 && status < 0xF0;
}

// msg as it leaves a track player: on channel, with a time word of 0 (live input carries its
// arrival stamp there; downstream it is a countdown).
CMidiMsg Channelled(CMidiMsg msg, uint8_t channel)
{
    if (IsChannelMessage(msg.status)) msg.status = (msg.status & 0xF0) | channel;
    msg.time = 0;
    return msg;
}

bool IsClipPlayer(const CMidiNode* node)
{
    return node != nullptr && node->GetKind() == ENodeKind::ClipPlayer;
}

bool IsChannelled(const CMidiMsgList& list, uint8_t channel)
{
    return std::all_of(list.begin(), list.end(),
                       [channel](const CMidiMsg& msg) { return msg == Channelled(msg, channel); });
}

// The output driver's time word for hand-over n of a tick: it counts the word down once per
// hand-over and sends at 0 or below.
int32_t CountdownOf(int32_t handOver)
{
    return handOver == 0 ? 0 : handOver + 1;
}

// The mixer's kind for a controller, 0 for controllers the mixer does not show.
int32_t MixerKindOf(uint8_t controller)
{
    switch (controller) {
    case 7:
        return CMixerFeedbackNotification::kVolume;
    case 10:
        return CMixerFeedbackNotification::kPan;
    case 93:
        return CMixerFeedbackNotification::kChorus;
    case 91:
        return CMixerFeedbackNotification::kReverb;
    default:
        return 0;
    }
}
} // namespace

CTrackPlayer::CTrackPlayer(CTrack& track, SPlayerContext& context)
    : m_track(track), m_context(context), m_sources(1), // senders that are not connected
      m_recorder(std::make_unique<CTrackRecorder>(track, *context.recordSettings, context.mailbox))
{
    SetNodeName("TrackPlayer");
}

CTrackPlayer::~CTrackPlayer()
{
    ReleaseForeignNotes();
    DisconnectAll(this);
}

void CTrackPlayer::AdvanceRecorderTick()
{
    if (m_recorder->IsOpen()) m_recorder->AdvanceTick();
}

void CTrackPlayer::RecordIncoming(const CMidiMsgList& list, EList kind, bool fromInput)
{
    // The recorder counts back from now: live input by what was sounding when it was played,
    // the rest (phrases, the mixer) sounds now.
    CMidiMsgList placed;
    for (CMidiMsg msg : list) {
        msg.time = fromInput ? static_cast<int32_t>(std::min<int64_t>(
                                   m_context.clock.TicksSinceInput(msg.time), INT32_MAX))
                             : 0;
        placed.Append(msg);
    }
    switch (kind) {
    case EList::NoteOns:
        m_recorder->RecordNoteOns(placed);
        break;
    case EList::NoteOffs:
        m_recorder->RecordNoteOffs(placed);
        break;
    case EList::Events:
        m_recorder->RecordEvents(placed);
        break;
    }
}

void CTrackPlayer::SetSilenced(bool silenced)
{
    const bool becomesSilenced = silenced && !m_silenced;
    m_silenced = silenced;
    if (becomesSilenced) FlushClipPlayers();
}

void CTrackPlayer::FlushClipPlayers()
{
    for (size_t i = 0; i < GetInputs().size(); ++i) {
        CMidiNode* input = GetInputs()[i];
        if (input->GetKind() == ENodeKind::ClipPlayer) input->Flush();
    }
}

void CTrackPlayer::EndSoundingNotes()
{
    FlushClipPlayers();
    ReleaseForeignNotes();
}

void CTrackPlayer::ReleaseNotesOf(SForeignSource& source)
{
    CMidiMsgList offs;
    const auto status = static_cast<uint8_t>(kNoteOff | OutputChannelOf(m_track));
    for (size_t key = 0; key < source.sounding.size(); ++key) {
        const uint16_t count = source.sounding[key];
        if (count == 0) continue;
        const int32_t delay = PlaceNoteOffs(static_cast<uint8_t>(key), count);
        for (uint16_t n = count; n > 0; --n)
            offs.Append(CMidiMsg::Make(status, static_cast<uint8_t>(key), 0, delay));
        m_foreignSounding[key] -= count;
        source.sounding[key] = 0;
    }
    if (!offs.IsEmpty()) ForwardNoteOffs(offs);
}

void CTrackPlayer::ReleaseForeignNotes()
{
    for (SForeignSource& source : m_sources)
        ReleaseNotesOf(source);
}

int32_t CTrackPlayer::GetForeignSoundingCount() const
{
    int32_t count = 0;
    for (uint16_t n : m_foreignSounding)
        count += n;
    return count;
}

void CTrackPlayer::OnInputConnected(CMidiNode* other)
{
    if (other->GetKind() != ENodeKind::ClipPlayer) m_sources.push_back({other, {}});
}

void CTrackPlayer::OnInputDisconnected(CMidiNode* other)
{
    if (other->GetKind() == ENodeKind::ClipPlayer) return;
    for (size_t i = 1; i < m_sources.size(); ++i) {
        if (m_sources[i].node != other) continue;
        ReleaseNotesOf(m_sources[i]);
        m_sources.erase(m_sources.begin() + static_cast<std::ptrdiff_t>(i));
        return;
    }
}

CTrackPlayer::SForeignSource& CTrackPlayer::SourceOf(const CMidiNode* sender)
{
    for (size_t i = 1; i < m_sources.size(); ++i)
        if (m_sources[i].node == sender) return m_sources[i];
    return m_sources.front();
}

void CTrackPlayer::ReceiveNoteOns(const CMidiMsgList& list, CMidiNode* sender)
{
    Pass(list, sender, EList::NoteOns, IsClipPlayer(sender));
}

void CTrackPlayer::ReceiveNoteOffs(const CMidiMsgList& list, CMidiNode* sender)
{
    Pass(list, sender, EList::NoteOffs, IsClipPlayer(sender));
}

void CTrackPlayer::ReceiveEvents(const CMidiMsgList& list, CMidiNode* sender)
{
    Pass(list, sender, EList::Events, IsClipPlayer(sender));
}

void CTrackPlayer::ReceiveFromClip(const CMidiMsgList& noteOns, const CMidiMsgList& noteOffs,
                                   const CMidiMsgList& events, CClipPlayer* sender)
{
    Pass(noteOns, sender, EList::NoteOns, true);
    Pass(noteOffs, sender, EList::NoteOffs, true);
    Pass(events, sender, EList::Events, true);
}

void CTrackPlayer::Pass(const CMidiMsgList& list, CMidiNode* sender, EList kind, bool fromClip)
{
    if (list.IsEmpty()) return;
    const uint8_t channel = OutputChannelOf(m_track);
    if (fromClip && IsChannelled(list, channel)) {
        // What clip players send is normally in its final form already: no copy.
        ForwardAs(list, kind);
    } else {
        CMidiMsgList channelled;
        for (CMidiMsg msg : list)
            channelled.Append(Channelled(msg, channel));
        if (!fromClip) CountForeign(channelled, kind, sender);
        ForwardAs(channelled, kind);
    }
    PostActivity();
    if (!fromClip && IsRecording())
        RecordIncoming(list, kind, sender != nullptr && sender->GetKind() == ENodeKind::RecordNode);
}

void CTrackPlayer::ForwardAs(const CMidiMsgList& list, EList kind)
{
    switch (kind) {
    case EList::NoteOns:
        ForwardNoteOns(list);
        break;
    case EList::NoteOffs:
        ForwardNoteOffs(list);
        break;
    case EList::Events:
        ForwardEvents(list);
        PostMixerFeedback(list);
        break;
    }
}

void CTrackPlayer::CountForeign(CMidiMsgList& channelled, EList kind, CMidiNode* sender)
{
    if (kind == EList::Events) return;
    CKeyCounts& ofSender = SourceOf(sender).sounding;
    for (CMidiMsg& msg : channelled) {
        const uint8_t key = msg.data1 & 0x7F;
        if (kind == EList::NoteOns) {
            msg.time = PlaceNoteOn(key);
            ++ofSender[key];
            ++m_foreignSounding[key];
            continue;
        }
        // A note-off of a note this source did not start here ends nothing we count.
        const uint16_t ending = ofSender[key] > 0 ? 1 : 0;
        msg.time = PlaceNoteOffs(key, ending);
        ofSender[key] -= ending;
        m_foreignSounding[key] -= ending;
    }
}

CTrackPlayer::SKeyOrder& CTrackPlayer::OrderOf(uint8_t key)
{
    SKeyOrder& order = m_keyOrder[key];
    if (order.serial != m_context.tickSerial) order = {m_context.tickSerial, 0, 0};
    return order;
}

int32_t CTrackPlayer::PlaceNoteOn(uint8_t key)
{
    SKeyOrder& order = OrderOf(key);
    ++order.noteOns;
    return CountdownOf(order.handOver);
}

int32_t CTrackPlayer::PlaceNoteOffs(uint8_t key, uint16_t ending)
{
    SKeyOrder& order = OrderOf(key);
    // Notes of the key that sounded before this hand-over's note-ons: note-offs that end no more
    // than these leave before those note-ons, in the same hand-over.
    const int32_t older = m_foreignSounding[key] - order.noteOns;
    if (order.noteOns > 0 && ending > older) order = {order.serial, order.handOver + 1, 0};
    return CountdownOf(order.handOver);
}

void CTrackPlayer::PostActivity()
{
    const uint64_t now = m_context.tickSerial;
    if (m_posted && now - m_lastActivityPost < kPostSpacing) return;
    m_posted = true;
    m_lastActivityPost = now;
    m_context.mailbox.Post<CTrackActivityNotification>(m_track.GetId(), m_track.GetPlayerSlot());
}

void CTrackPlayer::PostMixerFeedback(const CMidiMsgList& events)
{
    for (const CMidiMsg& msg : events) {
        if ((msg.status & 0xF0) != kControlChange) continue;
        if (const int32_t kind = MixerKindOf(msg.data1))
            m_context.mailbox.Post<CMixerFeedbackNotification>(
                m_track.GetId(), m_track.GetPlayerSlot(), kind, msg.data2);
    }
}

void CTrackPlayer::DeliverUiEvent(uint8_t status, uint8_t data1, uint8_t data2)
{
    CMidiMsgList events;
    events.Append(CMidiMsg::Make(status, data1, data2));
    Pass(events, nullptr, EList::Events, false);
}

void CTrackPlayer::Audition(const CNoteList& notes, int64_t tickPeriod)
{
    std::vector<SAuditionNote> shaped;
    shaped.reserve(static_cast<size_t>(notes.GetCount()));
    for (const CNote& note : notes) {
        SAuditionNote a{note.m_start, note.GetLength(), 0, 0,
                        static_cast<uint8_t>(note.m_offVelocity & 0x7F)};
        if (ShapeAuditionNote(note, m_track.GetTranspose(), m_track.GetVelocityOffset(), a.key,
                              a.velocity))
            shaped.push_back(a);
    }
    AuditionThrough(*this, shaped.data(), shaped.size(), m_track.GetOutputChannel(), tickPeriod);
}

int32_t CTrackPlayer::GetInstrumentChannel() const
{
    return m_track.GetOutputChannel();
}

SInstrumentSettings CTrackPlayer::GetInstrumentSettings() const
{
    return {m_track.GetProgram(), m_track.GetVolume(), m_track.GetPan()};
}

void CTrackPlayer::OnInstrumentSent(EInstrumentFeedback kind, uint8_t value)
{
    m_context.mailbox.Post<CMixerFeedbackNotification>(m_track.GetId(), m_track.GetPlayerSlot(),
                                                       static_cast<int32_t>(kind), value);
}
