#pragma once
// Project windows that write down every call, as "Name" or "Name(argument)", in order.

#include <algorithm>
#include <string>
#include <vector>

#include "model/Clip.h"
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
        m_log.push_back("TrackPropertyChanged(" + track.GetName() + "," + std::to_string(property) +
                        ")");
    }
    void ActiveChanged(bool active) override { Note("ActiveChanged", active); }
    void TransportChanged() override { m_log.push_back("TransportChanged"); }
    void OpenPianoRoll(CMidiData& data, bool forward) override
    {
        m_log.push_back("OpenPianoRoll(" + data.GetName() + "," + std::to_string(forward) + ")");
    }
    void ClosePianoRoll(const CMidiData& data) override { Named("ClosePianoRoll", data); }
    void TracksBeginUpdate() override { m_log.push_back("TracksBeginUpdate"); }
    void TracksEndUpdate() override { m_log.push_back("TracksEndUpdate"); }
    void TracksClearSelection() override { m_log.push_back("TracksClearSelection"); }
    void TracksSelectClip(const CClip& clip) override { Named("TracksSelectClip", clip); }
    void TracksClipInserted(int32_t track, const CClip& clip) override
    {
        m_log.push_back("TracksClipInserted(" + std::to_string(track) + "," + clip.GetName() +
                        ")");
    }
    void TracksClipRemoved(const CClip& clip) override { Named("TracksClipRemoved", clip); }
    void TracksClipReplaced(const CClip& removed, int32_t track, const CClip& placed) override
    {
        m_log.push_back("TracksClipReplaced(" + removed.GetName() + "," + std::to_string(track) +
                        "," + placed.GetName() + ")");
    }
    void TracksClipChanged(const CClip& clip) override { Named("TracksClipChanged", clip); }
    void MovePianoRoll(const CMidiData& from, CMidiData& to) override
    {
        m_log.push_back("MovePianoRoll(" + from.GetName() + "," + to.GetName() + ")");
    }
    void PianoRollLengthChanged(const CMidiData& data) override
    {
        Named("PianoRollLengthChanged", data);
    }
    void PianoRollDataChanged(const CMidiData& data) override
    {
        Named("PianoRollDataChanged", data);
    }

private:
    void Named(const char* name, const CMidiData& data)
    {
        m_log.push_back(std::string(name) + "(" + data.GetName() + ")");
    }
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
