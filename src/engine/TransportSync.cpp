#include "engine/TransportSync.h"

#include "devices/TransportPosition.h"
#include "engine/SequencerClock.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// A cycle moves the transport by its frames; a step of a frame more or less is rounding.
constexpr int64_t kFrameSlack = 1;
// How far (in tick periods) the clock may be off a transport position it is to keep to before
// it is moved there instead of nudged: a drift, or the rounding of our own loop jump, stays far
// below.
constexpr int64_t kDriftPeriods = 1;

} // namespace

int CTransportSync::SetMode(int32_t mode, CBackendTransport* transport)
{
    if (mode < kOff || mode > kLead) return 0;
    m_problem.clear();
    if (mode != kOff && transport == nullptr) {
        m_problem = std::string(kNoTransportText) + ".";
        return 0;
    }
    if (m_transport != nullptr && m_transport->IsLeading() && mode != kLead) {
        std::string ignored;
        m_transport->SetLeading(false, ignored);
    }
    m_mode = mode;
    m_transport = mode == kOff ? nullptr : transport;
    m_last = {};
    m_awaitingJump = false;
    m_jumpToAsk = false;
    if (mode == kLead && !m_transport->IsLeading()) {
        Publish();
        std::string error;
        if (m_transport->SetLeading(true, error) == 0)
            m_problem = error.empty() ? kOtherTimebaseMaster : error;
    }
    return 1;
}

void CTransportSync::OnTempo(int32_t tempoHundredths)
{
    m_timebase.tempoHundredths = tempoHundredths;
    Publish();
}

void CTransportSync::SetSignature(int32_t beatsPerBar, int32_t beatType)
{
    if (beatsPerBar <= 0 || beatType <= 0) return;
    m_timebase.beatsPerBar = beatsPerBar;
    m_timebase.beatType = beatType;
    Publish();
}

void CTransportSync::Publish()
{
    if (m_transport != nullptr) m_transport->Publish(m_timebase);
}

// ---- Requests ----

int64_t CTransportSync::FrameOf(tick position) const
{
    STransportSnapshot s;
    if (!m_transport->Read(s)) return 0;
    const double perTick = AnchorOf(s).framesPerTick;
    if (!s.hasBbt) return transportpos::FrameOfTick(position, perTick);
    // A master's bars may not start at frame 0: the position is found from where it is now.
    const double ticksAway = static_cast<double>(position) - transportpos::TickOfBbt(s);
    return s.frame + static_cast<int64_t>(std::floor(ticksAway * perTick));
}

void CTransportSync::RequestLocate(tick position)
{
    if (!IsActive()) return;
    // Stopped, the song position moves at once; the transport's move to the same frame then
    // maps back to the same tick. Playing, the transport's jump moves the clock.
    if (!m_clock.IsPlaying()) m_clock.Locate(position);
    m_transport->RequestLocate(std::max<int64_t>(FrameOf(position), 0));
}

void CTransportSync::RequestStart()
{
    if (!IsActive()) return;
    STransportSnapshot s;
    if (m_transport->Read(s) && !s.rolling &&
        transportpos::TickAtOrAfter(s.frame, AnchorOf(s).framesPerTick) != m_clock.GetPosition())
        m_transport->RequestLocate(std::max<int64_t>(FrameOf(m_clock.GetPosition()), 0));
    m_transport->RequestStart();
}

void CTransportSync::RequestStop()
{
    if (!IsActive()) return;
    if (m_clock.IsPlaying()) {
        m_transport->RequestStop();
        return;
    }
    // Stop while stopped returns to the loop start or the song's start, on the transport too.
    const tick position = m_clock.GetPosition();
    RequestLocate(m_clock.GetLoopStart() < position ? m_clock.GetLoopStart() : 0);
}

void CTransportSync::OnLoopJump(tick position, int64_t stamp)
{
    if (!IsActive()) return;
    m_awaitingJump = true;
    m_jumpToAsk = true;
    m_jumpTick = position;
    m_jumpStamp = stamp;
}

void CTransportSync::AskForLoopJump(const STransportSnapshot& s, int64_t cycleFrames)
{
    // The transport obeys a locate at a cycle's start: asked during the cycle before the one
    // our jump falls into, it lands where our clock is at that start.
    const int64_t nextCycle = s.cycleTime + cycleFrames * kUnitsPerSecond / s.rate;
    if (!m_jumpToAsk || cycleFrames <= 0 || nextCycle < m_jumpStamp) return;
    m_jumpToAsk = false;
    const int64_t ahead = (nextCycle - m_jumpStamp) * s.rate / kUnitsPerSecond;
    m_transport->RequestLocate(std::max<int64_t>(FrameOf(m_jumpTick) + ahead, 0));
}

// ---- Following ----

CTransportSync::SAnchor CTransportSync::AnchorOf(const STransportSnapshot& s) const
{
    SAnchor a;
    a.rate = s.rate;
    a.cycleTime = s.cycleTime;
    // Leading, the bars are our own, made from the frames; they are not read back. (In the
    // cycle that starts after another client's locate they may still be those of a frame that
    // is no longer the transport's, which would throw the song position far off.)
    const bool othersBars = s.hasBbt && !m_transport->IsLeading();
    const int32_t mastersTempo = othersBars ? transportpos::QuarterTempoOf(s) : 0;
    const int32_t tempo = mastersTempo > 0 ? mastersTempo : m_clock.GetTempoHundredths();
    a.framesPerTick = transportpos::FramesPerTick(s.rate, tempo);
    a.frame = s.frame;
    if (a.framesPerTick <= 0) return a;
    a.atCycle = static_cast<double>(s.frame) / a.framesPerTick;
    // A master publishes whole ticks only: its bars place us when they tell another story than
    // its frames and tempo (a tempo map, bars that start elsewhere), else the exact frames do.
    if (mastersTempo > 0) {
        const double bbtTick = transportpos::TickOfBbt(s);
        a.fromBbt = std::abs(bbtTick - a.atCycle) >= 1;
        if (a.fromBbt) a.atCycle = bbtTick;
    }
    return a;
}

int64_t CTransportSync::StampOf(const SAnchor& a, tick t)
{
    const double frames = (static_cast<double>(t) - a.atCycle) * a.framesPerTick;
    return a.cycleTime + std::llround(frames * kUnitsPerSecond / a.rate);
}

bool CTransportSync::IsContinuous(const STransportSnapshot& s) const
{
    if (m_last.cycle == 0 || m_last.rolling != s.rolling) return false;
    const int64_t moved = s.frame - m_last.frame;
    const int64_t passed = s.rolling ? s.cycleFrame - m_last.cycleFrame : 0;
    return std::llabs(moved - passed) <= kFrameSlack;
}

void CTransportSync::LocateTo(const SAnchor& a)
{
    // The first tick at or after the transport's position (exactly the located tick when the
    // transport went to a tick's frame).
    const double wanted =
        a.fromBbt ? std::ceil(a.atCycle - 1e-6)
                  : static_cast<double>(transportpos::TickAtOrAfter(a.frame, a.framesPerTick));
    // A transport far beyond the song's last tick (or a master's wild bars) stops at the ends.
    const auto position =
        static_cast<tick>(std::clamp(wanted, 0.0, static_cast<double>(CSequencerClock::kLastTick)));
    if (position != m_clock.GetPosition()) m_clock.Locate(position);
}

void CTransportSync::AlignNextTick(const SAnchor& a)
{
    m_clock.AlignNextTick(StampOf(a, m_clock.GetPosition()));
}

bool CTransportSync::Realign(const SAnchor& a, int64_t limit)
{
    const int64_t due = StampOf(a, m_clock.GetPosition());
    const int64_t next = m_clock.GetLastTickTime() + m_clock.GetTickPeriod();
    if (std::llabs(due - next) > limit * m_clock.GetTickPeriod()) return false;
    m_clock.AlignNextTick(due);
    return true;
}

void CTransportSync::TakeMastersTempo(const STransportSnapshot& s)
{
    if (!s.hasBbt || m_transport->IsLeading()) return;
    const int32_t tempo = transportpos::QuarterTempoOf(s);
    if (tempo > 0 && tempo != m_clock.GetTempoHundredths()) m_clock.SetTempo(tempo);
}

void CTransportSync::FollowRolling(const SAnchor& a, bool continuous)
{
    if (!m_clock.IsPlaying()) {
        LocateTo(a);
        m_clock.Start();
        AlignNextTick(a);
        return;
    }
    if (m_awaitingJump) {
        if (continuous) return; // the transport has not made our loop jump yet
        m_awaitingJump = false;
        if (Realign(a, kDriftPeriods)) return;
    } else if (continuous && Realign(a, kDriftPeriods)) {
        return;
    }
    LocateTo(a);
    AlignNextTick(a);
}

void CTransportSync::Follow()
{
    STransportSnapshot s;
    if (!IsActive() || !m_transport->Read(s) || s.cycle == m_last.cycle || s.rate == 0) return;
    const bool first = m_last.cycle == 0;
    const bool continuous = IsContinuous(s);
    TakeMastersTempo(s);
    const SAnchor a = AnchorOf(s);
    const int64_t cycleFrames = first ? 0 : s.cycleFrame - m_last.cycleFrame;
    m_last = s;
    if (s.rolling) AskForLoopJump(s, cycleFrames);
    if (a.framesPerTick <= 0) return;
    if (first && !s.rolling && m_mode == kLead) {
        // Leading, the transport starts out where our song is.
        m_transport->RequestLocate(std::max<int64_t>(FrameOf(m_clock.GetPosition()), 0));
        return;
    }
    if (s.rolling) {
        FollowRolling(a, continuous);
        return;
    }
    m_awaitingJump = false;
    m_jumpToAsk = false;
    if (m_clock.IsPlaying()) m_clock.Stop();
    if (!continuous) LocateTo(a);
}
