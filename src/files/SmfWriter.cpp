#include "files/SmfWriter.h"

#include "files/ArchiveFile.h"
#include "model/Errors.h"
#include "model/Phrase.h"
#include "model/Track.h"

#include <algorithm>
#include <tuple>

namespace {

constexpr uint32_t kMaxDelta = 0x0FFFFFFF; // the largest variable-length quantity

void PutVarLen(std::vector<uint8_t>& out, uint32_t value)
{
    uint8_t bytes[4];
    int count = 0;
    do {
        bytes[count++] = value & 0x7F;
        value >>= 7;
    } while (value != 0 && count < 4);
    while (count > 1)
        out.push_back(bytes[--count] | 0x80);
    out.push_back(bytes[0]);
}

void PutBigEndian(std::vector<uint8_t>& out, uint32_t value, int bytes)
{
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out.push_back(uint8_t(value >> shift));
}

// A chunk body under construction: every message goes out with its delta time, and a full
// status byte (no running status).
class CChunkBuilder {
public:
    void Delta(tick time)
    {
        uint32_t delta = static_cast<uint32_t>(std::max<tick>(time, m_time) - m_time);
        // A gap too long for one delta is bridged by empty text events.
        while (delta > kMaxDelta) {
            PutVarLen(m_bytes, kMaxDelta);
            m_bytes.insert(m_bytes.end(), {0xFF, 0x01, 0x00});
            delta -= kMaxDelta;
        }
        PutVarLen(m_bytes, delta);
        m_time = std::max(time, m_time);
    }
    // A meta event with its data; data may only be null when length is 0.
    void Meta(tick time, uint8_t type, const uint8_t* data, size_t length)
    {
        const size_t kept = std::min<size_t>(length, kMaxDelta);
        MetaHeader(time, type, kept);
        if (kept != 0) m_bytes.insert(m_bytes.end(), data, data + kept);
    }
    void Text(uint8_t type, const std::string& text)
    {
        if (!text.empty())
            Meta(0, type, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    }
    void Message(tick time, const uint8_t* bytes, int length)
    {
        Delta(time);
        m_bytes.insert(m_bytes.end(), bytes, bytes + length);
    }
    std::vector<uint8_t> Finish()
    {
        MetaHeader(m_time, 0x2F, 0); // end of track, no data
        return std::move(m_bytes);
    }

private:
    void MetaHeader(tick time, uint8_t type, size_t length)
    {
        Delta(time);
        m_bytes.push_back(0xFF);
        m_bytes.push_back(type);
        PutVarLen(m_bytes, static_cast<uint32_t>(length));
    }

    std::vector<uint8_t> m_bytes;
    tick m_time = 0;
};

// One channel message with the key that orders it within the track.
struct CTimedMessage {
    // At one tick: note-offs of notes that began earlier (class 0) come first, in the order their
    // note-ons were written; then controller events (class 1) in list order; then note-ons (class
    // 2), those that end sooner first, so that of several notes starting together on one key the
    // first off read ends the one meant. A zero-length note's off directly follows its on. Notes
    // that overlap on one key from different starts cannot be told apart in the file: the reader
    // pairs their offs oldest first.
    tick m_time;
    int m_class;
    tick m_sub;
    uint32_t m_sequence;
    uint8_t m_bytes[3];
    uint8_t m_length;

    auto Key() const { return std::tie(m_time, m_class, m_sub, m_sequence); }
};

std::vector<CTimedMessage> ChannelMessages(int channel, const std::vector<CNote>& notes,
                                           const std::vector<CMidiEvent>& events)
{
    std::vector<CTimedMessage> messages;
    messages.reserve(notes.size() * 2 + events.size());
    uint32_t sequence = 0;
    const auto ch = static_cast<uint8_t>(channel);
    for (const CNote& note : notes) {
        const tick start = std::max<tick>(note.m_start, 0);
        const tick end = std::max(note.m_end, start);
        const uint8_t pitch = note.m_pitch & 0x7F;
        // A note-on of velocity 0 reads as a note-off; the quietest real note is 1.
        const uint8_t velocity = std::max<uint8_t>(note.m_velocity & 0x7F, 1);
        const uint8_t offVelocity = note.m_offVelocity & 0x7F;
        const uint32_t on = sequence++;
        messages.push_back({start, 2, end, on, {uint8_t(0x90 | ch), pitch, velocity}, 3});
        const CTimedMessage off =
            end == start
                ? CTimedMessage{end, 2, end, sequence++, {uint8_t(0x80 | ch), pitch, offVelocity},
                                3}
                : CTimedMessage{end, 0, start, on, {uint8_t(0x80 | ch), pitch, offVelocity}, 3};
        messages.push_back(off);
    }
    for (const CMidiEvent& event : events) {
        const int length = EventKindMessageLength(event.m_kind);
        if (length == 0) continue;
        messages.push_back({std::max<tick>(event.m_time, 0),
                            1,
                            0,
                            sequence++,
                            {uint8_t((event.m_kind & 0xF0) | ch), uint8_t(event.m_data1 & 0x7F),
                             uint8_t(event.m_data2 & 0x7F)},
                            uint8_t(length)});
    }
    std::sort(messages.begin(), messages.end(),
              [](const CTimedMessage& a, const CTimedMessage& b) { return a.Key() < b.Key(); });
    return messages;
}

std::vector<uint8_t> EncodeMidiTrack(const std::string& name, int channel,
                                     const std::vector<CNote>& notes,
                                     const std::vector<CMidiEvent>& events)
{
    CheckIndex(channel, 16);
    CChunkBuilder chunk;
    chunk.Text(0x03, name);
    for (const CTimedMessage& m : ChannelMessages(channel, notes, events))
        chunk.Message(m.m_time, m.m_bytes, m.m_length);
    return chunk.Finish();
}

// The channel a stored channel byte plays on: the players stamp its low four bits into the status
// byte, and the project keeps whatever byte it stores.
int PlayedChannel(uint8_t stored)
{
    return stored & 0x0F;
}

constexpr size_t kChunkHeaderSize = 8; // four-letter id and 32-bit length

void PutChunk(std::vector<uint8_t>& out, const char (&id)[5], const std::vector<uint8_t>& body)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(id[i]));
    PutBigEndian(out, static_cast<uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
}

} // namespace

CSmfWriter::CSmfWriter(int32_t tempo, const std::string& copyright, const std::string& title)
{
    CChunkBuilder chunk;
    chunk.Text(0x03, title);
    chunk.Text(0x02, copyright);
    const auto micros =
        static_cast<uint32_t>(std::clamp<int64_t>(MicrosPerQuarterFromTempo(tempo), 1, 0xFFFFFF));
    const uint8_t tempoBytes[3] = {uint8_t(micros >> 16), uint8_t(micros >> 8), uint8_t(micros)};
    chunk.Meta(0, 0x51, tempoBytes, 3);
    m_firstChunk = chunk.Finish();
}

void CSmfWriter::AddPhrase(const CPhrase& phrase)
{
    AddMidiTrack(phrase.GetName(), PlayedChannel(phrase.GetOutputChannel()), phrase.GetNotes(),
                 phrase.GetEvents());
}

void CSmfWriter::AddTrack(const CTrack& track)
{
    std::vector<CNote> notes;
    std::vector<CMidiEvent> events;
    for (int32_t i = 0; i < track.GetClipCount(); ++i) {
        // What starts inside the clip sounds (a note to its own end), as the clip player plays it.
        const CClip& clip = track.GetClipAt(i);
        const int64_t start = clip.GetStart();
        for (CNote note : clip.GetNotes()) {
            if (note.m_start < 0 || note.m_start >= clip.GetLength()) continue;
            note.m_start = SaturatedTick(note.m_start + start);
            note.m_end = SaturatedTick(note.m_end + start);
            notes.push_back(note);
        }
        for (CMidiEvent event : clip.GetEvents()) {
            if (event.m_time < 0 || event.m_time >= clip.GetLength()) continue;
            event.m_time = SaturatedTick(event.m_time + start);
            events.push_back(event);
        }
    }
    m_chunks.push_back(
        EncodeMidiTrack(track.GetName(), PlayedChannel(track.GetOutputChannel()), notes, events));
}

void CSmfWriter::AddMidiTrack(const std::string& name, int channel, const CNoteList& notes,
                              const CEventList& events)
{
    m_chunks.push_back(EncodeMidiTrack(name, channel, {notes.begin(), notes.end()},
                                       {events.begin(), events.end()}));
}

void CSmfWriter::AddMessageTrack(const std::string& name, const std::vector<SSmfMessage>& messages)
{
    CChunkBuilder chunk;
    chunk.Text(0x03, name);
    for (const SSmfMessage& m : messages)
        if (m.length >= 1 && m.length <= 3) chunk.Message(m.time, m.bytes, m.length);
    m_chunks.push_back(chunk.Finish());
}

std::vector<uint8_t> CSmfWriter::GetBytes() const
{
    std::vector<uint8_t> header;
    PutBigEndian(header, 1, 2); // format 1
    PutBigEndian(header, static_cast<uint32_t>(std::min(GetMidiTrackCount(), 0xFFFF)), 2);
    PutBigEndian(header, kDivision, 2);
    size_t size = 2 * kChunkHeaderSize + header.size() + m_firstChunk.size();
    for (const auto& chunk : m_chunks)
        size += kChunkHeaderSize + chunk.size();
    std::vector<uint8_t> out;
    out.reserve(size);
    PutChunk(out, "MThd", header);
    PutChunk(out, "MTrk", m_firstChunk);
    for (const auto& chunk : m_chunks)
        PutChunk(out, "MTrk", chunk);
    return out;
}

void CSmfWriter::WriteFile(const std::string& path) const
{
    const std::vector<uint8_t> bytes = GetBytes();
    CAtomicFileSink sink(path);
    sink.Write(bytes.data(), bytes.size());
    sink.Commit();
}
