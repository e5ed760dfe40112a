#include "devices/MidiOutDriver.h"

#include <algorithm>

namespace {
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kControlChange = 0xB0;
constexpr uint8_t kProgramChange = 0xC0;
constexpr uint8_t kChannelPressure = 0xD0;
constexpr uint8_t kPitchBend = 0xE0;
constexpr uint8_t kAllChannels = 16;

bool IsValue(uint8_t value)
{
    return value <= 127;
}
} // namespace

std::string RemoveEmulatedMarker(std::string description)
{
    static const std::string marker = "[Emulated]";
    for (size_t at = description.find(marker); at != std::string::npos;
         at = description.find(marker, at)) {
        description.erase(at, marker.size());
    }
    return description;
}

CMidiOutDriver::CMidiOutDriver(CMidiBackend& backend, CMidiSendBuffer& buffer, int32_t deviceIndex,
                               const std::string& description)
    : m_backend(backend), m_buffer(buffer), m_deviceIndex(deviceIndex)
{
    SetNodeName(RemoveEmulatedMarker(description));
}

CMidiOutDriver::~CMidiOutDriver()
{
    std::string ignored;
    Close(ignored);
    DisconnectAll(this);
}

ENodeKind CMidiOutDriver::GetKind() const
{
    return ENodeKind::MidiOutDriver;
}

int CMidiOutDriver::SetParameter(int32_t code, intptr_t value, intptr_t)
{
    if (code != kParamClockSend) return 0;
    m_clockSend = value != 0;
    return 1;
}

intptr_t CMidiOutDriver::GetParameter(int32_t code) const
{
    return code == kParamClockSend ? (m_clockSend ? 1 : 0) : -1;
}

void CMidiOutDriver::Queue(CMidiMsgList& queue, const CMidiMsgList& list)
{
    if (m_open) queue.AppendCopy(list);
}

void CMidiOutDriver::ReceiveNoteOns(const CMidiMsgList& list, CMidiNode*)
{
    Queue(m_noteOns, list);
}

void CMidiOutDriver::ReceiveNoteOffs(const CMidiMsgList& list, CMidiNode*)
{
    Queue(m_noteOffs, list);
}

void CMidiOutDriver::ReceiveEvents(const CMidiMsgList& list, CMidiNode*)
{
    Queue(m_events, list);
}

int CMidiOutDriver::Open(std::string& error)
{
    if (m_open) return 1;
    if (!m_backend.OpenOutput(m_deviceIndex, error)) {
        m_problem.Set(error);
        return 0;
    }
    m_problem.Clear();
    m_open = true;
    return 1;
}

int CMidiOutDriver::Close(std::string& error)
{
    if (!m_open) return 1;
    EndAudition(); // leave no auditioned note sounding on the device
    // Notes already sounding would hang on the device, and a device following our clock would
    // miss its Stop: pending note-offs and clock messages leave now, the rest is dropped.
    if (!m_realtime.IsEmpty()) SendNow(m_realtime, m_backend.GetMasterTime());
    if (!m_noteOffs.IsEmpty()) SendNow(m_noteOffs, m_backend.GetMasterTime());
    DropQueues();
    m_open = false;
    m_problem.Clear();
    return m_backend.CloseOutput(m_deviceIndex, error);
}

void CMidiOutDriver::DropQueues()
{
    m_noteOns.Clear();
    m_noteOffs.Clear();
    m_events.Clear();
    m_realtime.Clear();
}

void CMidiOutDriver::QueueRealtime(const CMidiMsg& msg)
{
    if (m_open) m_realtime.Append(msg);
}

void CMidiOutDriver::QueueEvent(const CMidiMsg& msg)
{
    if (m_open) m_events.Append(msg);
}

void CMidiOutDriver::QueueReset()
{
    for (uint8_t c = 0; c < kAllChannels; ++c) {
        QueueEvent(CMidiMsg::Make(kChannelPressure | c, 0));
        QueueEvent(CMidiMsg::Make(kPitchBend | c, 0, 64));
        QueueEvent(CMidiMsg::Make(kControlChange | c, 1, 0));
        QueueEvent(CMidiMsg::Make(kControlChange | c, 7, 127));
        QueueEvent(CMidiMsg::Make(kControlChange | c, 10, 64));
        QueueEvent(CMidiMsg::Make(kControlChange | c, 121, 0));
        QueueEvent(CMidiMsg::Make(kControlChange | c, 123, 0));
    }
}

void CMidiOutDriver::QueueInstrumentSettings(const CInstrumentTable& table)
{
    for (uint8_t c = 0; c < kAllChannels; ++c) {
        const SInstrumentSettings& settings = table.Get(c);
        if (IsValue(settings.program))
            QueueEvent(CMidiMsg::Make(kProgramChange | c, settings.program));
        if (IsValue(settings.volume))
            QueueEvent(CMidiMsg::Make(kControlChange | c, 7, settings.volume));
        if (IsValue(settings.pan)) QueueEvent(CMidiMsg::Make(kControlChange | c, 10, settings.pan));
    }
}

int64_t CMidiOutDriver::NextStamp(int64_t time) const
{
    if (m_lastStamp == std::numeric_limits<int64_t>::min()) return time;
    return std::max(time, m_lastStamp + 1);
}

void CMidiOutDriver::SendNow(const CMidiMsgList& list, int64_t time)
{
    m_lastStamp = SendList(list, NextStamp(time), false) - 1;
}

void CMidiOutDriver::PlayAndFlush()
{
    if (m_buffer.IsEmpty()) return;
    std::string error; // backends report through it; empty strings do not allocate
    if (!m_backend.PlayBuffer(m_deviceIndex, m_buffer, error)) ++m_sendFailures;
    m_buffer.Flush();
}

int64_t CMidiOutDriver::SendList(const CMidiMsgList& list, int64_t time, bool stepEach)
{
    // The buffer is shared by every device: start empty so nothing goes to the wrong one.
    m_buffer.Flush();
    const int64_t next = PackList(list, time, stepEach);
    PlayAndFlush();
    return next;
}

int64_t CMidiOutDriver::PackList(const CMidiMsgList& list, int64_t time, bool stepEach)
{
    for (const CMidiMsg& msg : list) {
        if (msg.status < 0x80) continue; // not a message; on the wire it would pass as data
        // Data bytes keep 7 bits, so a stray high bit cannot turn into a status on the wire.
        const uint8_t bytes[3] = {msg.status, static_cast<uint8_t>(msg.data1 & 0x7F),
                                  static_cast<uint8_t>(msg.data2 & 0x7F)};
        // The wire length follows the status byte: a wrong length word would add or lose bytes.
        const int32_t length = CMidiMsg::LengthOf(msg.status);
        if (!m_buffer.Pack(time, bytes, length)) {
            // A full buffer goes out and the list continues in the next one: nothing is dropped.
            PlayAndFlush();
            m_buffer.Pack(time, bytes, length);
        }
        if (stepEach) ++time;
    }
    return stepEach ? time : time + 1;
}

void CMidiOutDriver::TakeDue(CMidiMsgList& queue, CMidiMsgList& due)
{
    // Counted down once per hand-over; sent at 0 or below. Mostly everything is due: then the
    // whole queue moves at once.
    bool all = true;
    for (CMidiMsg& msg : queue)
        all = --msg.time <= 0 && all;
    if (all) {
        due.SpliceAll(queue);
        return;
    }
    queue.MoveIf(due, [](const CMidiMsg& msg) { return msg.time <= 0; });
}

void CMidiOutDriver::HandOver(int64_t time)
{
    if (!m_open) return;
    if (time > m_auditionEnd) EndAudition();

    CMidiMsgList noteOns;
    CMidiMsgList noteOffs;
    CMidiMsgList events;
    TakeDue(m_noteOns, noteOns);
    TakeDue(m_noteOffs, noteOffs);
    TakeDue(m_events, events);

    int64_t t = NextStamp(time);
    bool sent = false;
    // One buffer for the whole hand-over (more only when it fills), started empty.
    m_buffer.Flush();
    if (!m_realtime.IsEmpty()) {
        t = PackList(m_realtime, t, true);
        m_realtime.Clear();
        sent = true;
    }
    // Offs before ons, so a note that ends and starts again in one tick sounds again.
    for (const CMidiMsgList* list : {&events, &noteOffs, &noteOns}) {
        if (list->IsEmpty()) continue;
        t = PackList(*list, t, false);
        sent = true;
    }
    PlayAndFlush();
    // Only what was sent holds later stamps back: a clock that a shared transport puts back to
    // the cycle it started in plays its first tick there, not after the silent ticks before.
    if (sent) m_lastStamp = t - 1;
}

void CMidiOutDriver::Audition(std::span<const SAuditionNote> notes, uint8_t channel,
                              int64_t tickPeriod)
{
    if (!m_open) return;
    EndAudition();
    const int64_t now = m_backend.GetMasterTime();
    const uint8_t c = channel & 0x0F;
    CMidiMsgList noteOns;
    for (const SAuditionNote& note : notes) {
        if (note.key > 127) continue;
        noteOns.Append(CMidiMsg::Make(kNoteOn | c, note.key, note.velocity));
        m_auditionOffs.Append(CMidiMsg::Make(kNoteOff | c, note.key, note.releaseVelocity));
        m_auditionEnd = note.start == -1 ? kNever : now + note.length * tickPeriod;
    }
    if (!noteOns.IsEmpty()) SendNow(noteOns, now);
}

void CMidiOutDriver::EndAudition()
{
    if (!m_auditionOffs.IsEmpty() && m_open) SendNow(m_auditionOffs, m_backend.GetMasterTime());
    m_auditionOffs.Clear();
    m_auditionEnd = kNever;
}
