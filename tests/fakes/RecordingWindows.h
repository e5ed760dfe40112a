#pragma once
// Project windows that write down every call, as "Name" or "Name(argument)", in order.

#include <algorithm>
#include <string>
#include <vector>

#include "model/ProjectWindows.h"
#include "model/Track.h"

class CRecordingWindows : public CHeadlessWindows {
public:
    // Calls made so far (shared with the test, which may outlive the project).
    explicit CRecordingWindows(std::vector<std::string>& log) : m_log(log) {}

    void OpenProjectWindow(bool forward) override { Note("OpenProjectWindow", forward); }
    void OpenTracksWindow(bool forward) override { Note("OpenTracksWindow", forward); }
    void OpenMixerWindow(bool forward) override { Note("OpenMixerWindow", forward); }
    void CloseAll() override
    {
        CHeadlessWindows::CloseAll();
        m_log.push_back("CloseAll");
    }
    void RebuildTitles() override { m_log.push_back("RebuildTitles"); }
    void SongPositionChanged() override { m_log.push_back("SongPositionChanged"); }
    void TrackInserted(int index) override { Note("TrackInserted", index); }
    void TrackRemoved(int index) override { Note("TrackRemoved", index); }
    void TrackPropertyChanged(const CTrack& track, int32_t property) override
    {
        m_log.push_back("TrackPropertyChanged(" + track.GetName() + "," +
                        std::to_string(property) + ")");
    }
    void ActiveChanged(bool active) override { Note("ActiveChanged", active); }
    void TransportChanged() override { m_log.push_back("TransportChanged"); }

private:
    void Note(const char* name, int argument)
    {
        m_log.push_back(std::string(name) + "(" + std::to_string(argument) + ")");
    }

    std::vector<std::string>& m_log;
};

// Number of entries of log equal to entry.
inline long CountOf(const std::vector<std::string>& log, const std::string& entry)
{
    return std::count(log.begin(), log.end(), entry);
}
