#include "engine/SequencerClock.h"

#include "engine/EngineMailbox.h"
#include "engine/MidiEngine.h"

#include <algorithm>

namespace {

constexpr uint8_t kTimingClock = 0xF8;
constexpr uint8_t kStartMsg = 0xFA;
constexpr uint8_t kContinueMsg = 0xFB;
constexpr uint8_t kStopMsg = 0xFC;
constexpr uint8_t kSongPositionMsg = 0xF2;
constexpr int32_t kTicksPerClock = 4;         // 96 ticks per quarter, 24 clocks per quarter
constexpr int32_t kTicksPerSongPosition = 24; // one sixteenth note
constexpr int32_t kMaxSongPosition = 0x3FFF;

} // namespace

int64_t TicksSinceHeard(int64_t inputTime, int64_t lastTickTime, int64_t period, int64_t latency)
{
    if (period <= 0) return 0;
    // The tick before the position sounded at lastTickTime + latency; the input came `behind`
    // after that, so it heard the tick behind / period later, rounded to the nearest.
    const int64_t behind = inputTime - latency - lastTickTime;
    const int64_t shifted = behind + period / 2;
    const int64_t heard = shifted >= 0 ? shifted / period : -((-shifted + period - 1) / period);
    return std::max<int64_t>(1 - heard, 0);
}

CSequencerClock::CSequencerClock(CMidiEngine& engine) : m_engine(engine)
{
    SetNodeName("Clock");
}

CSequencerClock::~CSequencerClock()
{
    DisconnectAll(this);
}

int CSequencerClock::SetParameter(int32_t code, intptr_t value, intptr_t /*extra*/)
{
    switch (code) {
    case kTempo:
        if (value < INT32_MIN || value > INT32_MAX) return 0;
        return SetTempo(static_cast<int32_t>(value)) ? 1 : 0;
    case kLoopActive:
        m_loopActive = value != 0;
        return 1;
    case kLoopStart:
    case kLoopEnd:
    case kPosition:
        if (value < INT32_MIN || value > INT32_MAX) return 0;
        if (code == kLoopStart) m_loopStart = static_cast<tick>(value);
        if (code == kLoopEnd) m_loopEnd = static_cast<tick>(value);
        if (code == kPosition) LocateOrAsk(static_cast<tick>(value));
        return 1;
    case kPlay:
        StartOrAsk(value != 0);
        return 1;
    case kJackTransport:
        if (value < INT32_MIN || value > INT32_MAX) return 0;
        return m_transportSync.SetMode(static_cast<int32_t>(value),
                                       m_engine.GetBackend().GetTransport());
    case kInternalClock:
        m_internalClock = value != 0;
        m_tracker.Reset();
        return 1;
    case kClockInDriver:
        m_clockInDriver = static_cast<int32_t>(value);
        m_tracker.Reset();
        return 1;
    case kIgnoreSongPosition:
        m_ignoreSongPosition = value != 0;
        return 1;
    case kClockOut:
        m_clockOut = value != 0;
        return 1;
    case kSendSongPosition:
        m_sendSongPosition = value != 0;
        return 1;
    case kSendClockWhenStopped:
        m_sendClockWhenStopped = value != 0;
        return 1;
    case kFollowStart:
        m_followStart = value != 0;
        return 1;
    default:
        return 0;
    }
}

intptr_t CSequencerClock::GetParameter(int32_t code) const
{
    switch (code) {
    case kLoopActive:
        return m_loopActive ? 1 : 0;
    case kLoopStart:
        return m_loopStart;
    case kLoopEnd:
        return m_loopEnd;
    case kInternalClock:
        return m_internalClock ? 1 : 0;
    case kClockInDriver:
        return m_clockInDriver;
    case kIgnoreSongPosition:
        return m_ignoreSongPosition ? 1 : 0;
    case kClockOut:
        return m_clockOut ? 1 : 0;
    case kSendSongPosition:
        return m_sendSongPosition ? 1 : 0;
    case kSendClockWhenStopped:
        return m_sendClockWhenStopped ? 1 : 0;
    case kJackTransport:
        return m_transportSync.GetMode();
    default:
        return -1;
    }
}

void CSequencerClock::StartOrAsk(bool start)
{
    // Under a shared transport every program starts, stops and moves together: the transport
    // does it, in the cycle it takes the request.
    if (!m_transportSync.IsActive())
        start ? Start() : Stop();
    else
        start ? m_transportSync.RequestStart() : m_transportSync.RequestStop();
}

void CSequencerClock::LocateOrAsk(tick position)
{
    if (m_transportSync.IsActive())
        m_transportSync.RequestLocate(position);
    else
        Locate(position);
}

void CSequencerClock::OnClockMessage(int32_t inputIndex, const CMidiMsg& msg)
{
    if (IsOwnClock() || inputIndex != m_clockInDriver) return;
    switch (msg.status) {
    case kTimingClock:
        m_followedPulses.fetch_add(1, std::memory_order_relaxed);
        OnPulse(msg.time);
        break;
    case kStartMsg:
        if (!m_followStart || IsPlaying()) return;
        Locate(0);
        Start();
        m_resync = true;
        break;
    case kContinueMsg:
        if (IsPlaying()) return;
        Start();
        m_resync = true;
        break;
    case kStopMsg:
        if (IsPlaying()) Stop();
        break;
    case kSongPositionMsg:
        if (m_ignoreSongPosition || IsPlaying()) return;
        Locate(msg.data1 * kTicksPerSongPosition + msg.data2 * kTicksPerSongPosition * 128);
        break;
    default:
        break;
    }
}

void CSequencerClock::OnPulse(int32_t msStamp)
{
    if (!m_tracker.OnPulse(msStamp)) return;
    if (m_tracker.tempoEstimate != 0) {
        const auto hundredths = static_cast<int32_t>(m_tracker.tempoEstimate * 100);
        if (hundredths != m_tempoHundredths) SetTempo(hundredths);
    }
    if (!IsPlaying()) return; // stopped, the time-out passes spend the debt
    const int64_t now = m_engine.GetBackend().GetMasterTime();
    if (m_resync) {
        m_lastTickTime = now - m_tickPeriod;
        m_resync = false;
        FollowingPass(now, kLookAhead, true);
        return;
    }
    FollowingPass(now, now + kLookAhead - m_lastTickTime, true);
}

int64_t CSequencerClock::TicksSinceInput(int32_t msStamp) const
{
    if (msStamp == kInputStampNow) return 0;
    const int64_t time = InputStampTime(msStamp, m_lastTickTime);
    return TicksSinceHeard(time, m_lastTickTime, m_tickPeriod,
                           m_engine.GetBackend().GetOutputLatency());
}

bool CSequencerClock::SetTempo(int32_t hundredths)
{
    if (hundredths == 0) return true;
    const int64_t period = TickPeriodOfTempo(hundredths);
    if (period == 0) return false;
    m_tempo = static_cast<double>(hundredths / 100);
    m_tempoHundredths = hundredths;
    m_tickPeriod = period;
    m_transportSync.OnTempo(hundredths);
    m_engine.GetMailbox().PostTempo(hundredths);
    return true;
}

void CSequencerClock::Pass(int64_t now)
{
    int64_t due = now + kLookAhead - m_lastTickTime;
    m_transportSync.Follow();
    if (due <= 0 || m_tickPeriod == 0) return;
    // Counted beyond the tick now due, so that a tick longer than the cap (a very slow tempo)
    // still waits its whole period.
    if (due > kMaxCatchUp + m_tickPeriod) {
        m_lastTickTime = now + kLookAhead - m_tickPeriod;
        due = m_tickPeriod;
    }
    if (!IsPlaying()) {
        if (IsOwnClock())
            StoppedPass(due);
        else
            FollowingPass(now, due, false);
    } else if (IsOwnClock()) {
        PlayingPass(due);
    }
    // Playing while following MIDI clock: incoming pulses drive the ticks.
}

void CSequencerClock::PlayingPass(int64_t due)
{
    PostPosition();
    const int64_t ticks = due / m_tickPeriod;
    for (int64_t i = 0; i < ticks; ++i) {
        if (!PlayTick(m_lastTickTime + m_tickPeriod)) return;
    }
}

void CSequencerClock::StoppedPass(int64_t due)
{
    const int64_t ticks = due / m_tickPeriod;
    for (int64_t i = 0; i < ticks; ++i)
        StoppedTick(m_lastTickTime + m_tickPeriod);
}

void CSequencerClock::FollowingPass(int64_t now, int64_t due, bool playing)
{
    if (playing) PostPosition();
    const int64_t owed = due / m_tickPeriod;
    if (owed <= 0) return;
    const int64_t count = m_tracker.TicksToPlay(owed);
    const int64_t span = owed * m_tickPeriod;
    const int64_t from = m_lastTickTime;
    if (count == 0) {
        m_lastTickTime = from + span; // ahead of the clock: wait for it
        return;
    }
    // The ticks share the span evenly; the last one lands exactly on its end. None is stamped
    // before now: the pulse that brought it came now, and an earlier stamp has missed its frame.
    for (int64_t i = 1; i <= count; ++i) {
        const int64_t stamp = std::max(from + span * i / count, now);
        if (!playing)
            StoppedTick(stamp);
        else if (!PlayTick(stamp))
            return;
    }
}

bool CSequencerClock::PlayTick(int64_t stamp)
{
    const tick position = GetPosition();
    Tick(position);
    HandOver(stamp);
    if (position == kLastTick) {
        // No tick follows the last one: the transport stops there.
        Stop();
        return false;
    }
    const tick next = position + 1;
    SetPosition(next);
    if (m_loopActive && next == m_loopEnd && m_loopStart < m_loopEnd) {
        m_engine.GetDevices().PollInputs();
        SetPosition(m_loopStart);
        FollowLocate();
        m_transportSync.OnLoopJump(m_loopStart, stamp + m_tickPeriod);
    }
    return true;
}

void CSequencerClock::StoppedTick(int64_t stamp)
{
    m_engine.AdvancePhraseVoices();
    CountRealtimeTick(m_sendClockWhenStopped);
    HandOver(stamp);
}

void CSequencerClock::Tick(tick position)
{
    m_engine.GetMetronome().Tick(position);
    m_engine.AdvancePhraseVoices();
    m_engine.PlayClipPlayers(position);
    m_engine.AdvanceRecorders(position);
    CountRealtimeTick(true);
}

void CSequencerClock::CountRealtimeTick(bool mayClock)
{
    if (mayClock && m_clockOut && m_realtimeCounter % kTicksPerClock == 0)
        QueueClockMessage(kTimingClock);
    // Wrapping to 0 keeps the pulse phase: 2^31 is a multiple of kTicksPerClock.
    m_realtimeCounter = m_realtimeCounter == INT32_MAX ? 0 : m_realtimeCounter + 1;
}

void CSequencerClock::HandOver(int64_t stamp)
{
    m_lastTickTime = stamp;
    m_engine.GetDevices().HandOver(stamp);
}

void CSequencerClock::Start()
{
    if (IsPlaying()) return;
    m_playing.store(true, std::memory_order_relaxed);
    m_engine.GetMailbox().Post<CTransportNotification>(CTransportNotification::kPlayState, 1);
    m_tracker.OnStart(m_tempo);
    m_realtimeCounter = GetPosition();
    m_engine.StartRecordingsIfSwitchedOn();
    if (m_clockOut) QueueClockMessage(GetPosition() != 0 ? kContinueMsg : kStartMsg);
}

void CSequencerClock::Stop()
{
    if (!IsPlaying()) {
        const tick position = GetPosition();
        SetPosition(m_loopStart < position ? m_loopStart : 0);
        PostPosition();
        FollowLocate();
        return;
    }
    m_playing.store(false, std::memory_order_relaxed);
    m_tracker.OnStop();
    m_engine.GetMetronome().Flush();
    m_engine.SwitchRecordingOffSilently();
    m_engine.FlushClipPlayers();
    m_engine.FinishRecordings();
    if (m_clockOut) QueueClockMessage(kStopMsg);
    m_engine.GetMailbox().Post<CTransportNotification>(CTransportNotification::kPlayState, 0);
    PostPosition();
}

void CSequencerClock::Locate(tick position)
{
    // Song positions before the first tick have no meaning (and no song position message).
    SetPosition(position < 0 ? 0 : position);
    if (!IsPlaying()) PostPosition();
    FollowLocate();
}

void CSequencerClock::FollowLocate()
{
    const tick position = GetPosition();
    m_engine.SeekClipPlayers(position);
    m_engine.RestartRecordings(position);
    SendSongPosition();
    if (IsPlaying()) m_realtimeCounter = position;
}

void CSequencerClock::SendSongPosition()
{
    if (!m_clockOut || !m_sendSongPosition) return;
    const tick position = GetPosition();
    const int32_t beats = position / kTicksPerSongPosition;
    if (beats < 0 || beats > kMaxSongPosition) return;
    const auto lsb = static_cast<uint8_t>(beats & 0x7F);
    const auto msb = static_cast<uint8_t>((beats >> 7) & 0x7F);
    if (!IsPlaying()) {
        QueueClockMessage(kSongPositionMsg, lsb, msb);
        return;
    }
    QueueClockMessage(kStopMsg);
    if (position != 0) {
        QueueClockMessage(kSongPositionMsg, lsb, msb);
        QueueClockMessage(kContinueMsg);
    } else {
        QueueClockMessage(kStartMsg);
    }
}

void CSequencerClock::QueueClockMessage(uint8_t status, uint8_t data1, uint8_t data2)
{
    m_engine.GetDevices().QueueClockMessage(CMidiMsg::Make(status, data1, data2));
}

void CSequencerClock::PostPosition()
{
    m_engine.GetMailbox().PostPosition(GetPosition());
}
