#include "devices/MidiInDriver.h"

namespace {
constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kSongPosition = 0xF2;
constexpr uint8_t kTimingClock = 0xF8;
constexpr uint8_t kStart = 0xFA;
constexpr uint8_t kContinue = 0xFB;
constexpr uint8_t kStop = 0xFC;
constexpr uint8_t kDefaultReleaseVelocity = 64; // MIDI's value for a release without velocity

bool IsClockMessage(uint8_t status)
{
    return status == kSongPosition || status == kTimingClock || status == kStart ||
           status == kContinue || status == kStop;
}
} // namespace

std::mutex& CMidiInDriver::InputLock()
{
    static std::mutex lock;
    return lock;
}

CMidiInDriver::CMidiInDriver(CMidiBackend& backend, int32_t deviceIndex, const std::string& name)
    : m_backend(backend), m_deviceIndex(deviceIndex)
{
    SetNodeName(name);
    m_queue.reserve(kQueueReserve);
    m_polling.reserve(kQueueReserve);
}

CMidiInDriver::~CMidiInDriver()
{
    std::string ignored;
    Close(ignored);
    DisconnectAll(this);
}

ENodeKind CMidiInDriver::GetKind() const
{
    return ENodeKind::MidiInDriver;
}

int CMidiInDriver::Open(std::string& error)
{
    if (m_open) return 1;
    m_parser.Reset();
    {
        std::lock_guard<std::mutex> guard(InputLock());
        m_queue.clear();
    }
    if (!m_backend.OpenInput(m_deviceIndex, this, error)) {
        m_problem.Set(error);
        return 0;
    }
    m_problem.Clear();
    m_open = true;
    return 1;
}

int CMidiInDriver::Close(std::string& error)
{
    if (!m_open) return 1;
    const int result = m_backend.CloseInput(m_deviceIndex, error);
    m_open = false;
    m_problem.Clear();
    {
        std::lock_guard<std::mutex> guard(InputLock());
        m_queue.clear();
    }
    m_parser.Reset();
    for (CMidiNode* output : GetOutputs()) {
        const ENodeKind kind = output->GetKind();
        if (kind == ENodeKind::InputPort || kind == ENodeKind::RecordNode) output->Flush();
    }
    return result;
}

void CMidiInDriver::OnMidiInput(const uint8_t* bytes, int32_t count, int32_t msStamp)
{
    {
        std::lock_guard<std::mutex> guard(InputLock());
        // Grows only beyond kQueueReserve bytes between two polls; input is never dropped.
        for (int32_t i = 0; i < count; ++i)
            m_queue.push_back(SInputByte{msStamp, bytes[i]});
    }
    if (m_signal) m_signal();
}

bool CMidiInDriver::RestrikesReleasedNote(const CMidiMsg& msg, const CMidiMsgList& noteOffs)
{
    if ((msg.status & 0xF0) != kNoteOn || msg.data2 == 0) return false;
    const uint8_t channel = msg.status & 0x0F;
    for (const CMidiMsg& off : noteOffs)
        if ((off.status & 0x0F) == channel && off.data1 == msg.data1) return true;
    return false;
}

void CMidiInDriver::Dispatch(const CMidiMsg& msg, CMidiMsgList& noteOns, CMidiMsgList& noteOffs,
                             CMidiMsgList& events)
{
    const uint8_t kind = msg.status & 0xF0;
    if (msg.status >= 0xF0) {
        // System messages never reach the ports; the clock takes the ones it follows.
        if (IsClockMessage(msg.status) && m_clockSink)
            m_clockSink->OnClockMessage(m_deviceIndex, msg);
    } else if (kind == kNoteOn && msg.data2 == 0) {
        // A note-on with velocity 0 is a release on the wire; downstream expects note-offs.
        noteOffs.Append(CMidiMsg{msg.time, 3, static_cast<uint8_t>(kNoteOff | (msg.status & 0x0F)),
                                 msg.data1, kDefaultReleaseVelocity});
    } else if (kind == kNoteOn) {
        noteOns.Append(msg);
    } else if (kind == kNoteOff) {
        noteOffs.Append(msg);
    } else {
        events.Append(msg);
    }
}

void CMidiInDriver::Poll()
{
    // A nested poll would swap m_polling while it is being walked and parse later bytes before
    // earlier ones.
    if (m_inPoll) return;
    m_inPoll = true;
    {
        std::lock_guard<std::mutex> guard(InputLock());
        m_queue.swap(m_polling);
    }
    CMidiMsgList noteOns;
    CMidiMsgList noteOffs;
    CMidiMsgList events;
    CMidiMsg msg;
    for (const SInputByte& input : m_polling) {
        if (!m_parser.Feed(input.byte, input.msStamp, msg)) continue;
        if (RestrikesReleasedNote(msg, noteOffs)) {
            // Lists go out note-ons first: a key released and struck again in one poll would
            // sound released. What came before the new strike goes out first.
            Deliver(nullptr, noteOns, noteOffs, events);
            noteOns.Clear();
            noteOffs.Clear();
            events.Clear();
        }
        Dispatch(msg, noteOns, noteOffs, events);
    }
    m_polling.clear(); // keeps its capacity for the next swap
    Deliver(nullptr, noteOns, noteOffs, events);
    m_inPoll = false;
}
