#pragma once
// A player that writes down every call as text and, like the real one, applies track properties
// to the model and hands out player slots while it holds a project.

#include <string>
#include <vector>

#include "document/PlayerLink.h"
#include "document/ProjectDoc.h"
#include "model/Clip.h"
#include "model/Properties.h"
#include "model/Track.h"

class CRecordingPlayerLink : public CPlayerLink {
public:
    bool m_running = false;
    bool m_recording = false;
    std::vector<std::string> m_log;

    bool IsRunning() const override { return m_running; }
    bool IsRecording() const override { return m_recording; }
    void Stop() override
    {
        m_running = false;
        m_recording = false;
        m_log.push_back("Stop");
    }
    void LoadProject(CProjectDoc& doc) override
    {
        m_log.push_back("LoadProject(" + doc.GetDisplayTitle() + ")");
        ForEachTrack(doc, [this](CTrack& track) { Register(track); });
    }
    void ClearProject(CProjectDoc& doc) override
    {
        m_log.push_back("ClearProject(" + doc.GetDisplayTitle() + ")");
        ForEachTrack(doc, [](CTrack& track) { Release(track); });
    }
    void AddTrack(CTrack& track) override
    {
        m_log.push_back("AddTrack(" + track.GetName() + ")");
        Register(track);
    }
    void RemoveTrack(CTrack& track) override
    {
        m_log.push_back("RemoveTrack(" + track.GetName() + ")");
        Release(track);
    }
    void AddClip(CClip& clip, CTrack& track) override
    {
        m_log.push_back("AddClip(" + clip.GetName() + "," + track.GetName() + ")");
        clip.SetPlayerSlot(m_nextSlot++);
    }
    void RemoveClip(CClip& clip) override
    {
        m_log.push_back("RemoveClip(" + clip.GetName() + ")");
        clip.SetPlayerSlot(-1);
    }
    bool CommitRecordedClip(CClip& clip, CTrack& track) override
    {
        m_log.push_back("CommitRecordedClip(" + clip.GetName() + "," + track.GetName() + ")");
        clip.SetPlayerSlot(m_nextSlot++);
        return true;
    }
    bool SetTrackProperty(CTrack& track, int32_t number, int64_t value) override
    {
        m_log.push_back("SetTrackProperty(" + track.GetName() + "," + std::to_string(number) + "," +
                        std::to_string(value) + ")");
        return ApplyTrackProperty(track, number, value);
    }
    void SendChannelMessage(const CTrack& track, uint8_t status, uint8_t data1,
                            uint8_t data2) override
    {
        m_log.push_back("Send(" + track.GetName() + "," + std::to_string(status) + "," +
                        std::to_string(data1) + "," + std::to_string(data2) + ")");
    }
    void Locate(tick position) override
    {
        m_log.push_back("Locate(" + std::to_string(position) + ")");
    }
    void SetLoop(bool active, tick start, tick end) override
    {
        m_log.push_back("SetLoop(" + std::to_string(active) + "," + std::to_string(start) + "," +
                        std::to_string(end) + ")");
    }

private:
    template <class TVisit> static void ForEachTrack(CProjectDoc& doc, TVisit visit)
    {
        for (int32_t i = 0; i < doc.GetTracks().GetCount(); ++i)
            visit(*doc.GetTracks().GetAt(i));
    }
    void Register(CTrack& track)
    {
        track.SetPlayerSlot(m_nextSlot++);
        for (int32_t i = 0; i < track.GetClipCount(); ++i)
            track.GetClipAt(i).SetPlayerSlot(m_nextSlot++);
    }
    static void Release(CTrack& track)
    {
        track.SetPlayerSlot(-1);
        for (int32_t i = 0; i < track.GetClipCount(); ++i)
            track.GetClipAt(i).SetPlayerSlot(-1);
    }

    int32_t m_nextSlot = 0;
};
