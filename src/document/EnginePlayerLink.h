#pragma once
// The player link of the application: the engine reached through its command proxy. User-interface
// thread only.

#include "document/PlayerLink.h"

#include <functional>

class CMidiEngineProxy;
struct CEngineProjectView;
class CProjectDoc;

// What the engine mirrors of doc (command "load project"); points into doc, which must stay
// unchanged until the command has run.
CEngineProjectView MakeEngineProjectView(CProjectDoc& doc);

class CEnginePlayerLink : public CPlayerLink {
public:
    // proxy: borrowed, normally CMidiEngineProxy::Instance().
    explicit CEnginePlayerLink(CMidiEngineProxy& proxy);

    // Called after every Stop, once the engine has stopped: the UI drains the engine's news there,
    // so the takes that stopping finished reach their project before it lets go of the engine.
    void SetAfterStop(std::function<void()> afterStop) { m_afterStop = std::move(afterStop); }

    bool IsRunning() const override;
    bool IsRecording() const override;
    void Stop() override;
    void LoadProject(CProjectDoc& doc) override;
    void ClearProject(CProjectDoc& doc) override;
    void AddTrack(CTrack& track) override;
    void RemoveTrack(CTrack& track) override;
    void AddClip(CClip& clip, CTrack& track) override;
    void RemoveClip(CClip& clip) override;
    bool CommitRecordedClip(CClip& clip, CTrack& track) override;
    void AddPhrase(CPhrase& phrase) override;
    void RemovePhrase(CPhrase& phrase) override;
    bool SetTrackProperty(CTrack& track, int32_t number, int64_t value) override;
    void SendChannelMessage(const CTrack& track, uint8_t status, uint8_t data1,
                            uint8_t data2) override;
    void Locate(tick position) override;
    void SetLoop(bool active, tick start, tick end) override;

private:
    CMidiEngineProxy& m_proxy;
    std::function<void()> m_afterStop;
};
