#include "files/SmfImporter.h"

#include "document/UserServices.h"
#include "files/Archive.h"
#include "files/ArchiveFile.h"
#include "model/Clip.h"
#include "model/Errors.h"
#include "model/ObjectColours.h"
#include "model/Phrase.h"
#include "model/Track.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <map>
#include <new>
#include <stdexcept>

namespace {

const char* const kMsgShortHeader = "Bad MIDI-file header chunk! (Length < 6)";
const char* const kMsgSmpte = "Import of SMPTE timecode MIDI-files is not supported!";
const char* const kMsgDivisionZero = "Bad MIDI-file! (time division value = 0)!";
const char* const kMsgTooLong = "Bad MIDI-file! (event time beyond the longest supported song)";

constexpr uint32_t kMaxVarLen = 0x0FFFFFFF; // the largest value four bytes can carry
constexpr int kKeyCount = 128;
constexpr size_t kChunkHeaderSize = 8; // id and length

// A variable-length quantity inside a chunk. A value cut off by the chunk end counts as 0;
// overlong runs saturate instead of wrapping.
uint32_t ReadVarLen(const uint8_t*& p, const uint8_t* end)
{
    uint64_t value = 0;
    while (p < end) {
        const uint8_t b = *p++;
        value = std::min<uint64_t>((value << 7) | (b & 0x7F), kMaxVarLen);
        if (!(b & 0x80)) return static_cast<uint32_t>(value);
    }
    return 0;
}

uint16_t BigEndian16(const uint8_t* p)
{
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

uint32_t BigEndian32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

std::string FileTitleOf(const std::string& path)
{
    return std::filesystem::path(path).stem().string();
}

// Note-ons waiting for their note-off. A note-off takes the oldest entry with its key whatever
// its channel, so entries are kept in one queue per key; the sequence number restores the
// reading order for the notes still sounding at the end of the track.
class CPendingNotes {
public:
    struct Entry {
        tick m_start;
        uint8_t m_channel;
        uint8_t m_key;
        uint8_t m_velocity;
        uint64_t m_sequence;
    };

    void Add(tick start, uint8_t channel, uint8_t key, uint8_t velocity)
    {
        m_queues[key].m_entries.push_back({start, channel, key, velocity, m_nextSequence++});
    }
    // Removes and returns the oldest entry with this key; false when there is none.
    bool TakeOldest(uint8_t key, Entry& entry)
    {
        Queue& q = m_queues[key];
        if (q.m_head == q.m_entries.size()) return false;
        entry = q.m_entries[q.m_head++];
        if (q.m_head == q.m_entries.size()) {
            q.m_entries.clear();
            q.m_head = 0;
        }
        return true;
    }
    // Every entry still waiting, in the order the note-ons were read; empties the list.
    std::vector<Entry> TakeAll()
    {
        std::vector<Entry> all;
        for (Queue& q : m_queues) {
            all.insert(all.end(), q.m_entries.begin() + static_cast<ptrdiff_t>(q.m_head),
                       q.m_entries.end());
            q = Queue{};
        }
        std::sort(all.begin(), all.end(),
                  [](const Entry& a, const Entry& b) { return a.m_sequence < b.m_sequence; });
        return all;
    }

private:
    struct Queue {
        std::vector<Entry> m_entries;
        size_t m_head = 0;
    };
    std::array<Queue, kKeyCount> m_queues;
    uint64_t m_nextSequence = 0;
};

// Notes of one chunk per channel in the order they end. Sorting them by start once at the end
// gives the same order as inserting each one sorted, without the quadratic cost on files whose
// notes end out of order.
class CChunkNotes {
public:
    void Add(uint8_t channel, const CNote& note) { m_notes[channel].push_back(note); }
    void MoveInto(CSmfTrack& track)
    {
        for (int channel = 0; channel < CSmfTrack::kChannelCount; ++channel) {
            std::vector<CNote>& notes = m_notes[static_cast<size_t>(channel)];
            std::stable_sort(notes.begin(), notes.end(),
                             [](const CNote& a, const CNote& b) { return a.m_start < b.m_start; });
            CNoteList& list = track.GetNotes(channel);
            list.Reserve(static_cast<int>(notes.size()));
            for (const CNote& note : notes)
                list.Append(note);
            std::vector<CNote>().swap(notes);
        }
    }

private:
    std::array<std::vector<CNote>, CSmfTrack::kChannelCount> m_notes;
};

} // namespace

CSmfImporter::CSmfImporter(CUserServices& services) : m_services(services)
{}

CSmfImporter::~CSmfImporter() = default;

const CSmfTrack& CSmfImporter::GetSmfTrack(int index) const
{
    CheckIndex(index, GetSmfTrackCount());
    return *m_tracks[static_cast<size_t>(index)];
}

bool CSmfImporter::ReadFile(const std::string& path)
{
    std::string chosen = path;
    if (chosen.empty()) {
        chosen = m_services.ChooseFileToOpen("*.mid", "MIDI Files (*.mid)|*.mid||");
        if (chosen.empty()) return false;
    }
    std::vector<uint8_t> bytes;
    if (!ReportingFailures([&] { bytes = ReadWholeFile(chosen); })) return false;
    return ReadMemory(bytes.data(), bytes.size(), chosen);
}

bool CSmfImporter::ReadMemory(const uint8_t* data, size_t size, const std::string& fileName)
{
    Reset();
    m_fileTitle = FileTitleOf(fileName);
    const bool read = ReportingFailures([&] {
        CArchiveReader reader(data, size, fileName);
        ReadChunks(reader);
    });
    if (!read) Reset();
    return read;
}

bool CSmfImporter::ReportingFailures(const std::function<void()>& step)
{
    try {
        step();
        return true;
    } catch (const CUserAbort&) {
        // already shown
    } catch (const std::bad_alloc&) {
        m_services.ShowMessage(COutOfMemory().what());
    } catch (const CTwError& e) { // a file error or COutOfMemory
        m_services.ShowMessage(e.what());
    }
    return false;
}

void CSmfImporter::Reset()
{
    m_tracks.clear();
    m_format = -1;
    m_headerTrackCount = 0;
    m_division = 96;
    m_tempo = -1;
    m_copyright.clear();
    m_headerSeen = false;
    m_splitChannels.reset();
}

void CSmfImporter::Fail(const std::string& message)
{
    m_services.ShowMessage(message);
    throw CUserAbort();
}

void CSmfImporter::ReadChunks(CArchiveReader& reader)
{
    // A chunk that claims more bytes than the file has fails as a read past the end, before
    // anything is allocated for it. Fewer bytes than a chunk header after the last chunk are
    // padding, which some writers leave, not a chunk: they are ignored.
    while (reader.GetRemaining() >= kChunkHeaderSize) {
        const uint8_t* id = reader.Take(4);
        const uint32_t length = BigEndian32(reader.Take(4));
        if (length & 0x80000000u) throw COutOfMemory();
        const uint8_t* data = reader.Take(length);
        if (std::memcmp(id, "MThd", 4) == 0) {
            if (!m_headerSeen) ReadHeader(data, length);
        } else if (std::memcmp(id, "MTrk", 4) == 0) {
            ReadTrack(data, data + length);
        }
    }
}

void CSmfImporter::ReadHeader(const uint8_t* data, uint32_t length)
{
    if (length < 6) Fail(kMsgShortHeader);
    m_headerSeen = true;
    m_format = static_cast<int16_t>(BigEndian16(data));
    m_headerTrackCount = static_cast<int16_t>(BigEndian16(data + 2));
    const uint16_t division = BigEndian16(data + 4);
    if (division & 0x8000) Fail(kMsgSmpte);
    if (division == 0) Fail(kMsgDivisionZero);
    m_division = static_cast<int16_t>(division);
}

void CSmfImporter::ReadTrack(const uint8_t* p, const uint8_t* end)
{
    m_tracks.push_back(std::make_unique<CSmfTrack>());
    CSmfTrack& track = *m_tracks.back();
    CPendingNotes pending;
    CChunkNotes notes;
    // Raw time in the file's ticks; 64 bits and the limit below keep long files from wrapping.
    int64_t raw = 0;
    const int64_t maxRaw = ((int64_t(kMaxTick) + 1) * m_division - 1) / kTicksPerQuarter;
    uint8_t status = 0; // running status; 0 = none yet
    uint8_t data[2] = {0, 0};
    while (p < end) {
        raw += ReadVarLen(p, end);
        if (raw > maxRaw) throw CFileError(kMsgTooLong);
        const tick time = static_cast<tick>(raw * kTicksPerQuarter / m_division);
        if (p < end && (*p & 0x80)) {
            const uint8_t byte = *p++;
            if (byte == 0xF0 || byte == 0xF7) {
                const uint32_t length = ReadVarLen(p, end);
                p += std::min<size_t>(length, static_cast<size_t>(end - p));
                continue;
            }
            if (byte == 0xFF) {
                const uint8_t type = p < end ? *p++ : 0;
                const uint32_t length = ReadVarLen(p, end);
                const size_t available = std::min<size_t>(length, static_cast<size_t>(end - p));
                const uint8_t* text = p;
                p += available;
                if (type == 0x2F) {
                    for (const auto& entry : pending.TakeAll()) {
                        notes.Add(entry.m_channel,
                                  CNote(entry.m_start, time, entry.m_key, entry.m_velocity, 127));
                    }
                    break;
                }
                ReadMeta(type, text, available, track);
                continue;
            }
            if (byte >= 0xF0) continue;
            status = byte;
        }
        if (status == 0) continue;
        const uint8_t kind = status & 0xF0;
        const int dataCount = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
        for (int i = 0; i < dataCount && p < end && !(*p & 0x80); ++i)
            data[i] = *p++;
        const uint8_t channel = status & 0x0F;
        if (kind == 0x90 && data[1] > 0) {
            pending.Add(time, channel, data[0], data[1]);
        } else if (kind == 0x80 || kind == 0x90) {
            CPendingNotes::Entry entry;
            if (pending.TakeOldest(data[0], entry)) {
                const uint8_t offVelocity = kind == 0x80 ? data[1] : 127;
                notes.Add(entry.m_channel,
                          CNote(entry.m_start, time, entry.m_key, entry.m_velocity, offVelocity));
            }
        } else {
            track.GetEvents(channel).Append(
                CMidiEvent(time, kind, data[0], dataCount == 2 ? data[1] : 0));
        }
    }
    notes.MoveInto(track);
}

void CSmfImporter::ReadMeta(uint8_t type, const uint8_t* data, size_t length, CSmfTrack& track)
{
    const auto text = [&] { return std::string(reinterpret_cast<const char*>(data), length); };
    if (type == 0x02) {
        if (m_copyright.empty()) m_copyright = text();
    } else if (type == 0x03) {
        if (track.GetName().empty()) track.SetName(text());
    } else if (type == 0x51 && length >= 3 && m_tempo < 0) {
        const int64_t micros = (int64_t(data[0]) << 16) | (data[1] << 8) | data[2];
        // The file's tempo is kept as it is; one no clock can run (0 microseconds, or a few
        // microseconds per quarter) is skipped, and later tempos may still give one.
        const int32_t tempo = micros > 0 ? TempoFromMicrosPerQuarter(micros) : 0;
        if (TickPeriodOfTempo(tempo) > 0) m_tempo = tempo;
    }
}

bool CSmfImporter::SplitChannels()
{
    if (!m_splitChannels) {
        m_splitChannels = m_services.AskYesNo("Imported MIDI track(s) has multiple channels! Do "
                                              "you want to leave channels in separate tracks?");
    }
    return *m_splitChannels;
}

// One piece of a MIDI track that becomes a phrase or an arrangement track: a single used channel,
// or all channels merged.
struct CSmfImporter::CPart {
    const CSmfTrack* m_source;
    const CNoteList* m_notes;
    const CEventList* m_events;
    uint8_t m_channel;   // output channel
    bool m_oneOfSeveral; // a single channel of a track that uses several
    bool m_merged;       // all channels of a track that uses several
};

void CSmfImporter::ForEachPart(const std::function<void(const CPart&)>& make)
{
    for (const auto& source : m_tracks) {
        const int used = source->GetUsedChannelCount();
        if (used < 2 || SplitChannels()) {
            for (int channel = 0; channel < CSmfTrack::kChannelCount; ++channel) {
                if (!source->IsChannelUsed(channel)) continue;
                make({source.get(), &source->GetNotes(channel), &source->GetEvents(channel),
                      static_cast<uint8_t>(channel), used > 1, false});
            }
            continue;
        }
        const CNoteList notes = source->MergedNotes();
        const CEventList events = source->MergedEvents();
        make({source.get(), &notes, &events, 0, false, true});
    }
}

namespace {

std::string PartName(const std::string& trackName, const char* fallback)
{
    return trackName.empty() ? std::string(fallback) : trackName;
}

const char* const kMergedSuffix = " (Merged Channels)";

// The clips of one new track on a grid of the clip length. Grid-aligned clips created in time
// order never overlap, so the clip covering a tick is the one with the latest start at or before
// it; the map finds it without scanning every clip.
class CClipGrid {
public:
    explicit CClipGrid(tick clipLength) : m_grid(clipLength) {}

    // Adds the note, relative to its clip, to the clip covering its start rounded down.
    void Place(const CNote& note)
    {
        CClip& clip = ClipFor(note.m_start, note.m_end);
        CNote relative = note;
        relative.m_start -= clip.GetStart();
        relative.m_end -= clip.GetStart();
        clip.GetNotes().Append(relative);
    }
    void Place(const CMidiEvent& event)
    {
        CClip& clip = ClipFor(event.m_time, event.m_time);
        CMidiEvent relative = event;
        relative.m_time -= clip.GetStart();
        clip.GetEvents().Append(relative);
    }
    // Hands every clip, named and coloured, to the track in start order.
    void MoveInto(CTrack& track)
    {
        for (auto& [start, clip] : m_clips) {
            clip->SetName(track.GetName());
            clip->SetColour(track.GetColour());
            track.AddClipInOrder(std::move(clip));
        }
        m_clips.clear();
    }

private:
    // The clip covering time rounded down to the grid, made when there is none; its length grows
    // to a multiple of the grid that reaches end.
    CClip& ClipFor(tick time, tick end)
    {
        const tick cell = m_grid.FloorToGrid(time);
        CClip* clip = nullptr;
        auto after = m_clips.upper_bound(cell);
        if (after != m_clips.begin() && cell < std::prev(after)->second->GetEnd())
            clip = std::prev(after)->second.get();
        if (!clip) {
            auto made =
                std::make_unique<CClip>(cell, TickSum(cell, m_grid.GetTicks()), std::string(), 0);
            clip = m_clips.emplace_hint(after, cell, std::move(made))->second.get();
        }
        const tick relativeEnd = end - clip->GetStart();
        if (clip->GetLength() < relativeEnd) clip->SetLength(m_grid.CeilToGrid(relativeEnd));
        return *clip;
    }

    CNoteValue m_grid; // the clip length
    std::map<tick, std::unique_ptr<CClip>> m_clips;
};

} // namespace

bool CSmfImporter::MakeTracks(std::vector<std::unique_ptr<CTrack>>& result, tick clipLength)
{
    if (clipLength <= 0) throw CInvalidArgument();
    return Making(result, [&](const CPart& part) {
        auto track = std::make_unique<CTrack>();
        std::string name = PartName(part.m_source->GetName(), "Imported Track");
        if (part.m_oneOfSeveral) name += " (Ch " + std::to_string(part.m_channel + 1) + ")";
        if (part.m_merged) name += kMergedSuffix;
        track->SetName(name);
        track->SetOutputChannel(part.m_channel);
        track->SetColour(NextObjectColour());
        CClipGrid grid(clipLength);
        for (const CNote& note : *part.m_notes)
            grid.Place(note);
        for (const CMidiEvent& event : *part.m_events)
            grid.Place(event);
        grid.MoveInto(*track);
        result.push_back(std::move(track));
    });
}

bool CSmfImporter::MakePhrases(std::vector<std::unique_ptr<CPhrase>>& result)
{
    return Making(result, [&](const CPart& part) {
        std::string name = PartName(part.m_source->GetName(), "Imported Phrase");
        if (part.m_merged) name += kMergedSuffix;
        const tick length = std::max(part.m_notes->MaxEnd(), part.m_events->EndTime());
        auto phrase = std::make_unique<CPhrase>(name, NextObjectColour(), length);
        phrase->SetOutput(CNodeAddress(CNodeAddress::kKindOutputPort, 0));
        phrase->SetOutputChannel(part.m_channel);
        phrase->GetNotes() = *part.m_notes;
        phrase->GetEvents() = *part.m_events;
        result.push_back(std::move(phrase));
    });
}
