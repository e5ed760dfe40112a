#include "devices/jack/JackTransport.h"

#include "devices/TransportPosition.h"

#include <algorithm>
#include <bit>
#include <cerrno>

namespace {

const char* const kNotConnected = "The JACK server is not running.";

int64_t Bits(double value)
{
    return std::bit_cast<int64_t>(value);
}

double Real(int64_t bits)
{
    return std::bit_cast<double>(bits);
}

} // namespace

void CJackTransport::Attach(jack_client_t* client)
{
    m_client.store(client);
    m_leading = false;
    std::string ignored;
    if (m_wantLead) TakeTimebase(ignored);
}

void CJackTransport::Detach()
{
    // The server lets go of a closing client's timebase itself.
    m_client.store(nullptr);
    m_leading = false;
    m_seq.fetch_add(2);
}

void CJackTransport::OnCycle(jack_client_t* client, int64_t cycleFrame, int64_t cycleTime,
                             uint32_t rate)
{
    jack_position_t pos{};
    const jack_transport_state_t state = jack_transport_query(client, &pos);
    const bool bbt = (pos.valid & JackPositionBBT) != 0;
    const int64_t values[kFieldCount] = {
        static_cast<int64_t>(++m_cycles),
        state == JackTransportRolling ? 1 : 0,
        pos.frame,
        cycleFrame,
        cycleTime,
        rate,
        bbt ? 1 : 0,
        bbt ? pos.bar : 1,
        bbt ? pos.beat : 1,
        bbt ? pos.tick : 0,
        Bits(bbt ? pos.ticks_per_beat : 0),
        Bits(bbt ? pos.beats_per_bar : 4),
        Bits(bbt ? pos.beat_type : 4),
        Bits(bbt ? pos.beats_per_minute : 0),
    };
    m_seq.fetch_add(1);
    for (size_t i = 0; i < kFieldCount; ++i)
        m_fields[i].store(values[i]);
    m_seq.fetch_add(1);
}

bool CJackTransport::Read(STransportSnapshot& s) const
{
    if (m_client.load() == nullptr) return false;
    int64_t v[kFieldCount];
    for (;;) {
        const uint64_t seq = m_seq.load();
        for (size_t i = 0; i < kFieldCount; ++i)
            v[i] = m_fields[i].load();
        if ((seq & 1) == 0 && seq == m_seq.load()) break;
    }
    s.cycle = static_cast<uint64_t>(v[kCycle]);
    s.rolling = v[kRolling] != 0;
    s.frame = v[kFrame];
    s.cycleFrame = v[kCycleFrame];
    s.cycleTime = v[kCycleTime];
    s.rate = static_cast<uint32_t>(v[kRate]);
    s.hasBbt = v[kHasBbt] != 0;
    s.bar = static_cast<int32_t>(v[kBar]);
    s.beat = static_cast<int32_t>(v[kBeat]);
    s.tick = static_cast<int32_t>(v[kTick]);
    s.ticksPerBeat = Real(v[kTicksPerBeat]);
    s.beatsPerBar = static_cast<float>(Real(v[kBeatsPerBar]));
    s.beatType = static_cast<float>(Real(v[kBeatType]));
    s.beatsPerMinute = Real(v[kBeatsPerMinute]);
    return s.cycle != 0;
}

void CJackTransport::RequestStart()
{
    if (jack_client_t* client = m_client.load()) jack_transport_start(client);
}

void CJackTransport::RequestStop()
{
    if (jack_client_t* client = m_client.load()) jack_transport_stop(client);
}

void CJackTransport::RequestLocate(int64_t frame)
{
    constexpr int64_t kLastFrame = UINT32_MAX;
    if (jack_client_t* client = m_client.load())
        jack_transport_locate(client, static_cast<jack_nframes_t>(std::clamp<int64_t>(frame, 0, kLastFrame)));
}

void CJackTransport::Publish(const STimebase& timebase)
{
    m_tempoHundredths.store(timebase.tempoHundredths);
    m_beatsPerBar.store(timebase.beatsPerBar);
    m_beatType.store(timebase.beatType);
}

int CJackTransport::SetLeading(bool lead, std::string& error)
{
    m_wantLead = lead;
    jack_client_t* client = m_client.load();
    if (lead) return TakeTimebase(error);
    if (m_leading.exchange(false) && client != nullptr) jack_release_timebase(client);
    return 1;
}

int CJackTransport::TakeTimebase(std::string& error)
{
    jack_client_t* client = m_client.load();
    if (client == nullptr) {
        error = kNotConnected;
        return 0;
    }
    // Conditional: a master the user already set up (a DAW with its tempo map) is not taken
    // over; we follow it and say so instead.
    if (jack_set_timebase_callback(client, 1, TimebaseThunk, this) != 0) {
        error = kOtherTimebaseMaster;
        return 0;
    }
    m_leading = true;
    return 1;
}

void CJackTransport::TimebaseThunk(jack_transport_state_t, jack_nframes_t, jack_position_t* pos,
                                   int, void* arg)
{
    static_cast<const CJackTransport*>(arg)->FillPosition(*pos);
}

void CJackTransport::FillPosition(jack_position_t& pos) const
{
    const STimebase timebase{m_tempoHundredths.load(), m_beatsPerBar.load(), m_beatType.load()};
    const transportpos::SBbt bbt = transportpos::BbtOfFrame(pos.frame, pos.frame_rate, timebase);
    pos.valid = JackPositionBBT;
    pos.bar = bbt.bar;
    pos.beat = bbt.beat;
    pos.tick = bbt.tick;
    pos.bar_start_tick = bbt.barStartTick;
    pos.beats_per_bar = static_cast<float>(timebase.beatsPerBar);
    pos.beat_type = static_cast<float>(timebase.beatType);
    pos.ticks_per_beat = transportpos::kPublishedTicksPerBeat;
    pos.beats_per_minute = bbt.beatsPerMinute;
}
