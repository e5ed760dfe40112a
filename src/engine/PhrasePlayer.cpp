#include "engine/PhrasePlayer.h"

#include "devices/MidiOutDriver.h"
#include "engine/EngineMailbox.h"
#include "engine/PlayerNotifications.h"
#include "engine/PlayerSupport.h"
#include "engine/SequencerClock.h"
#include "model/Phrase.h"

namespace {
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kNoteOff = 0x80;
using EAction = CPhraseVoice::EAction;

bool InTriggerRange(const CPhrase& phrase, uint8_t key)
{
    return key >= phrase.GetTriggerFrom() && key <= phrase.GetTriggerTo();
}
} // namespace

CPhrasePlayer::CPhrasePlayer(CPhrase& phrase, SPlayerContext& context)
    : m_phrase(phrase), m_context(context)
{
    SetNodeName("PhrasePlayer");
    ReseekStartIterators();
}

CPhrasePlayer::~CPhrasePlayer()
{
    StopAllVoices();
    DisconnectAll(this);
}

void CPhrasePlayer::SetSilenced(bool silenced)
{
    const bool becomesSilenced = silenced && !m_silenced;
    m_silenced = silenced;
    if (becomesSilenced) Flush();
}

// ---- Triggers ----

void CPhrasePlayer::ReceiveNoteOns(const CMidiMsgList& list, CMidiNode*)
{
    for (const CMidiMsg& msg : list) {
        const uint8_t key = msg.data1 & 0x7F;
        if (!InTriggerRange(m_phrase, key)) continue;
        if (m_phrase.GetHold()) {
            if (CPhraseVoice* voice = PlayingVoiceOf(key)) {
                ScheduleStop(*voice);
                continue;
            }
        }
        Trigger(key);
    }
}

void CPhrasePlayer::ReceiveNoteOffs(const CMidiMsgList& list, CMidiNode*)
{
    if (m_phrase.GetHold()) return;
    for (const CMidiMsg& msg : list) {
        const uint8_t key = msg.data1 & 0x7F;
        if (InTriggerRange(m_phrase, key)) Release(key);
    }
}

void CPhrasePlayer::Release(uint8_t key)
{
    if (CPhraseVoice* voice = PlayingVoiceOf(key)) {
        // In last-key mode a key struck since takes the voice over at its restart.
        const bool handedOver = voice->m_action == EAction::Start && voice->m_actionKey != key;
        if (!handedOver) {
            ScheduleStop(*voice);
            return;
        }
        voice->m_triggerReleased = true;
    }
    for (auto& voice : m_voices) {
        if (voice->m_action != EAction::Start || voice->m_actionKey != key) continue;
        if (voice->m_playing && !voice->m_triggerReleased) {
            // The key it plays is still held: it plays on with that one.
            voice->m_action = EAction::None;
        } else {
            // Released before its quantized start: it stops once it has started, rather than
            // play on with the key up.
            voice->m_stopAfterStart = true;
        }
    }
}

void CPhrasePlayer::ReceiveEvents(const CMidiMsgList&, CMidiNode*)
{
    // Controllers at the input do not trigger anything.
}

CPhraseVoice* CPhrasePlayer::PlayingVoiceOf(uint8_t key) const
{
    for (const auto& voice : m_voices)
        if (voice->m_playing && voice->m_triggerKey == key) return voice.get();
    return nullptr;
}

void CPhrasePlayer::Trigger(uint8_t key)
{
    switch (m_phrase.GetPlayMode()) {
    case EPlayMode::Mono:
    case EPlayMode::MonoLastKey: {
        CPhraseVoice& voice = m_voices.empty() ? CreateVoice() : *m_voices.back();
        if (m_phrase.GetPlayMode() == EPlayMode::MonoLastKey || !voice.m_playing)
            ScheduleStart(voice, key);
        return;
    }
    default: {
        for (auto& voice : m_voices) {
            if (voice->m_playing) continue;
            const bool ofKey = voice->m_triggerKey == key ||
                               (voice->m_action == EAction::Start && voice->m_actionKey == key);
            if (ofKey) {
                ScheduleStart(*voice, key);
                return;
            }
        }
        ScheduleStart(CreateVoice(), key);
        return;
    }
    }
}

void CPhrasePlayer::PlayCurrent()
{
    const uint8_t key = m_phrase.GetTriggerFrom();
    if (CPhraseVoice* voice = PlayingVoiceOf(key))
        ScheduleStop(*voice);
    else
        Trigger(key);
}

CPhraseVoice& CPhrasePlayer::CreateVoice()
{
    m_voices.push_back(std::make_unique<CPhraseVoice>(*this, m_voiceCounter++));
    CPhraseVoice& voice = *m_voices.back();
    Rewind(voice);
    Post(CPhraseVoiceNotification::kCreated, voice);
    return voice;
}

void CPhrasePlayer::ScheduleStart(CPhraseVoice& voice, uint8_t key)
{
    voice.m_action = EAction::Start;
    voice.m_countdown =
        TicksToGrid(m_context.clock.GetPosition(), m_phrase.GetStartQuantize().GetTicks());
    voice.m_actionKey = key;
    voice.m_stopAfterStart = false;
    if (key == voice.m_triggerKey) voice.m_triggerReleased = false;
}

void CPhrasePlayer::ScheduleStop(CPhraseVoice& voice)
{
    voice.m_action = EAction::Stop;
    voice.m_countdown =
        TicksToGrid(m_context.clock.GetPosition(), m_phrase.GetStopQuantize().GetTicks());
    voice.m_stopAfterStart = false;
}

// ---- Ticks ----

tick CPhrasePlayer::StartLocal() const
{
    return static_cast<tick>(-std::max<int64_t>(m_phrase.GetDelay(), -int64_t{INT32_MAX}));
}

void CPhrasePlayer::Rewind(CPhraseVoice& voice) const
{
    voice.m_local = StartLocal();
    voice.m_length = m_phrase.GetLength();
    voice.m_noteIt = m_startNoteIt;
    voice.m_eventIt = m_startEventIt;
}

void CPhrasePlayer::ReseekStartIterators()
{
    const tick from = std::max<tick>(0, StartLocal());
    m_startNoteIt = FirstFrom(m_phrase.GetNotes(), 0, from, 0);
    m_startEventIt = FirstFrom(m_phrase.GetEvents(), 0, from, 0);
}

void CPhrasePlayer::AdvanceVoices()
{
    for (size_t i = 0; i < m_voices.size();) {
        if (AdvanceVoice(*m_voices[i])) {
            ++i;
            continue;
        }
        Post(CPhraseVoiceNotification::kRemoved, *m_voices[i]);
        m_voices.erase(m_voices.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

bool CPhrasePlayer::AdvanceVoice(CPhraseVoice& voice)
{
    if (voice.m_action != EAction::None) {
        if (voice.m_countdown <= 0) {
            const EAction action = voice.m_action;
            voice.m_action = EAction::None;
            if (action == EAction::Start) {
                StartVoice(voice);
            } else {
                ReleaseVoice(voice);
                voice.m_playing = false;
                Post(CPhraseVoiceNotification::kStopped, voice);
                if (!m_phrase.GetContinue()) return false;
            }
        } else {
            --voice.m_countdown;
        }
    }
    if (!voice.m_playing) return true;
    if (voice.m_local >= voice.m_length) {
        if (!m_phrase.GetLoop()) {
            ReleaseVoice(voice);
            voice.m_playing = false;
            Post(CPhraseVoiceNotification::kStopped, voice);
            return false;
        }
        Rewind(voice);
    }
    PlayVoiceTick(voice);
    voice.m_local = TickSum(voice.m_local, 1);
    return true;
}

void CPhrasePlayer::StartVoice(CPhraseVoice& voice)
{
    voice.m_triggerKey = voice.m_actionKey;
    voice.m_triggerReleased = false;
    if (!m_phrase.GetContinue()) Rewind(voice);
    voice.m_playing = true;
    Post(CPhraseVoiceNotification::kStarted, voice);
    if (voice.m_stopAfterStart) ScheduleStop(voice);
}

void CPhrasePlayer::PlayVoiceTick(CPhraseVoice& voice)
{
    CMidiMsgList noteOffs;
    const int64_t now = ++voice.m_ticksPlayed;
    voice.m_pendingOffs.TakeDue(now, noteOffs);
    const uint8_t channel = m_phrase.GetOutputChannel() & 0x0F;
    const tick grid = m_phrase.GetOutputQuantize().GetTicks();
    const tick local = voice.m_local;
    CMidiMsgList noteOns;
    const CNoteList& notes = m_phrase.GetNotes();
    const int32_t follow = m_phrase.GetKeyFollow() ? voice.m_triggerKey : 0;
    const SNoteShape shape{m_phrase.GetTranspose() + follow, m_phrase.GetVelocityOffset(),
                           m_phrase.GetPitchLimitFrom(),     m_phrase.GetPitchLimitTo(),
                           m_phrase.GetVelocityLimitFrom(),  m_phrase.GetVelocityLimitTo()};
    for (; voice.m_noteIt < notes.GetCount(); ++voice.m_noteIt) {
        const CNote& note = notes[voice.m_noteIt];
        if (FloorToGridTicks(note.m_start, grid) > local) break;
        uint8_t key = 0;
        uint8_t velocity = 0;
        if (m_silenced || !shape.Apply(note.m_pitch, note.m_velocity, key, velocity)) continue;
        const tick length = CeilToGridTicks(std::max<tick>(note.GetLength(), 0), grid);
        noteOns.Append(NoteMessage(kNoteOn | channel, key, velocity));
        voice.m_pendingOffs.Add(kNoteOff | channel, key, note.m_offVelocity & 0x7F,
                                CPendingNoteOffs::DueAfter(now, length));
    }
    CMidiMsgList events;
    const CEventList& list = m_phrase.GetEvents();
    for (; voice.m_eventIt < list.GetCount(); ++voice.m_eventIt) {
        const CMidiEvent& event = list[voice.m_eventIt];
        if (FloorToGridTicks(event.m_time, grid) > local) break;
        if (m_silenced) continue;
        events.Append(CMidiMsg::Make((event.m_kind & 0xF0) | channel, event.m_data1 & 0x7F,
                                     event.m_data2 & 0x7F));
    }
    Deliver(nullptr, noteOns, noteOffs, events);
    PostTick(voice, !noteOns.IsEmpty() || !noteOffs.IsEmpty() || !events.IsEmpty());
}

void CPhrasePlayer::ReleaseVoice(CPhraseVoice& voice)
{
    if (voice.m_pendingOffs.IsEmpty()) return;
    CMidiMsgList offs;
    voice.m_pendingOffs.TakeAll(offs);
    ForwardNoteOffs(offs);
}

void CPhrasePlayer::Flush()
{
    for (auto& voice : m_voices)
        ReleaseVoice(*voice);
}

void CPhrasePlayer::StopAllVoices()
{
    // Taken out first: a receiver that triggers this player again starts from an empty list.
    std::vector<std::unique_ptr<CPhraseVoice>> voices(std::move(m_voices));
    m_voices.clear();
    for (auto& voice : voices) {
        ReleaseVoice(*voice);
        if (voice->m_playing) Post(CPhraseVoiceNotification::kStopped, *voice);
        Post(CPhraseVoiceNotification::kRemoved, *voice);
    }
}

// ---- Edits ----

void CPhrasePlayer::OnLengthChanged()
{
    for (auto& voice : m_voices)
        voice->m_length = m_phrase.GetLength();
}

void CPhrasePlayer::OnListChanged(const CListChange& change)
{
    const tick from = std::max<tick>(0, StartLocal());
    auto follow = [&](const auto& list, int& startIt, int CPhraseVoice::*voiceIt) {
        startIt = change.replaced ? FirstFrom(list, 0, from, 0)
                                  : ShiftIterator(list, startIt, change, from, 0);
        for (auto& voice : m_voices) {
            int& it = (*voice).*voiceIt;
            it = change.replaced ? FirstFrom(list, 0, voice->m_local, 0)
                                 : ShiftIterator(list, it, change, voice->m_local, 0);
        }
    };
    if (change.list == EDataList::Notes)
        follow(m_phrase.GetNotes(), m_startNoteIt, &CPhraseVoice::m_noteIt);
    else
        follow(m_phrase.GetEvents(), m_startEventIt, &CPhraseVoice::m_eventIt);
}

// ---- Audition and posts ----

void CPhrasePlayer::Audition(const CNoteList& notes, int64_t tickPeriod)
{
    std::vector<SAuditionNote> shaped;
    shaped.reserve(static_cast<size_t>(notes.GetCount()));
    for (const CNote& note : notes) {
        SAuditionNote a{note.m_start, note.GetLength(), 0, 0,
                        static_cast<uint8_t>(note.m_offVelocity & 0x7F)};
        if (ShapeAuditionNote(note, m_phrase.GetTranspose(), m_phrase.GetVelocityOffset(), a.key,
                              a.velocity))
            shaped.push_back(a);
    }
    AuditionThrough(*this, shaped.data(), shaped.size(), m_phrase.GetOutputChannel(), tickPeriod);
}

void CPhrasePlayer::Post(int32_t kind, const CPhraseVoice& voice)
{
    m_context.mailbox.Post<CPhraseVoiceNotification>(m_phrase.GetId(), m_phrase.GetPlayerSlot(),
                                                     kind, voice.m_serial);
}

void CPhrasePlayer::PostTick(CPhraseVoice& voice, bool sounded)
{
    const uint64_t now = m_context.tickSerial;
    if (sounded && (!m_activityPosted || now - m_lastActivityPost >= kPostSpacing)) {
        m_activityPosted = true;
        m_lastActivityPost = now;
        m_context.mailbox.Post<CPhraseActivityNotification>(m_phrase.GetId(),
                                                            m_phrase.GetPlayerSlot());
    }
    if (!voice.m_positionPosted || now - voice.m_lastPositionPost >= kPostSpacing) {
        voice.m_positionPosted = true;
        voice.m_lastPositionPost = now;
        m_context.mailbox.Post<CVoicePositionNotification>(
            m_phrase.GetId(), m_phrase.GetPlayerSlot(), voice.m_serial, voice.m_local);
    }
}
