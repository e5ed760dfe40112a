#pragma once
// Reads a Standard MIDI File (format 0 or 1, metrical division) into per-track, per-channel note
// and event lists at 96 ticks per quarter, then turns them into arrangement tracks (opening a
// file as a project) or phrases (importing into a bank). Lives for one import; user-interface
// thread.

#include "files/SmfTrack.h"
#include "model/TimeBase.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CPhrase;
class CArchiveReader;
class CTrack;
class CUserServices;

class CSmfImporter {
public:
    // Latest tick an imported event may have; later times are refused as a bad file, which
    // keeps every later sum (note ends, clip grid rounding) inside the tick range.
    static constexpr tick kMaxTick = 0x3FFFFFFF;

    // services answers the questions and shows the messages; borrowed for the importer's life.
    explicit CSmfImporter(CUserServices& services);
    ~CSmfImporter();
    CSmfImporter(const CSmfImporter&) = delete;
    CSmfImporter& operator=(const CSmfImporter&) = delete;

    // Reads the file; an empty path asks for one first (cancelling returns false). Returns false
    // after an error, which has been shown, and then holds no tracks.
    bool ReadFile(const std::string& path);
    // Reads a file already in memory; fileName gives the title and names the file in messages.
    bool ReadMemory(const uint8_t* data, size_t size, const std::string& fileName);

    // Appends one phrase per used channel (or per MIDI track, merged) to result; the receiver
    // owns them. May ask the multiple-channel question. False after a failure (out of memory, a
    // cancelled question), which has been shown; result is then as it was.
    bool MakePhrases(std::vector<std::unique_ptr<CPhrase>>& result);
    // Appends one track per used channel (or per MIDI track, merged), with clips on a grid of
    // clipLength ticks (> 0, else CInvalidArgument), to result. May ask the question. Fails as
    // MakePhrases does.
    bool MakeTracks(std::vector<std::unique_ptr<CTrack>>& result, tick clipLength);

    // First tempo of the file in hundredths of BPM; -1 when it has none.
    int32_t GetTempo() const { return m_tempo; }
    // Text of the first copyright meta event; empty when none.
    const std::string& GetCopyright() const { return m_copyright; }
    // File name without folder and extension.
    const std::string& GetFileTitle() const { return m_fileTitle; }
    // Header values; format -1 until a header was read.
    int16_t GetFormat() const { return m_format; }
    int16_t GetHeaderTrackCount() const { return m_headerTrackCount; }
    int16_t GetDivision() const { return m_division; }

    int GetSmfTrackCount() const { return static_cast<int>(m_tracks.size()); }
    // Throws CInvalidArgument for a bad index.
    const CSmfTrack& GetSmfTrack(int index) const;

private:
    void Reset();
    void ReadChunks(CArchiveReader& reader);
    void ReadHeader(const uint8_t* data, uint32_t length);
    void ReadTrack(const uint8_t* data, const uint8_t* end);
    void ReadMeta(uint8_t type, const uint8_t* data, size_t length, CSmfTrack& track);
    // Runs step; a failure is shown (unless it was already) and gives false.
    bool ReportingFailures(const std::function<void()>& step);
    // Runs make for every part, reporting failures; on failure result loses what was added.
    template <class T, class TMake> bool Making(std::vector<std::unique_ptr<T>>& result, TMake make)
    {
        const size_t before = result.size();
        if (ReportingFailures([&] { ForEachPart(make); })) return true;
        result.resize(before);
        return false;
    }
    // Shows message and leaves the import through the silent abort.
    [[noreturn]] void Fail(const std::string& message);
    // The answer to the multiple-channel question, asked the first time it is needed.
    bool SplitChannels();
    struct CPart;
    // Calls make for each phrase or track to be made, in file and channel order.
    void ForEachPart(const std::function<void(const CPart&)>& make);

    CUserServices& m_services;
    std::vector<std::unique_ptr<CSmfTrack>> m_tracks;
    int16_t m_format = -1;
    int16_t m_headerTrackCount = 0;
    int16_t m_division = 96;
    int32_t m_tempo = -1;
    std::string m_fileTitle;
    std::string m_copyright;
    bool m_headerSeen = false;
    std::optional<bool> m_splitChannels;
};
