#include "document/EnginePlayerLink.h"

#include "document/ProjectDoc.h"
#include "engine/EngineProjectView.h"
#include "engine/MidiEngineProxy.h"
#include "model/Clip.h"
#include "model/Track.h"

CEngineProjectView MakeEngineProjectView(CProjectDoc& doc)
{
    CEngineProjectView view;
    view.tempo = doc.GetTempo();
    view.position = doc.GetSongPosition();
    view.signature = doc.GetTimeSignature();
    view.loopActive = doc.IsLoopOn();
    view.loopStart = doc.GetLoopStart();
    view.loopEnd = doc.GetLoopEnd();
    view.soloMode = doc.IsSoloActive();
    view.muteMode = doc.IsMuteActive();
    CTrackList& tracks = doc.GetTracks();
    for (int32_t i = 0; i < tracks.GetCount(); ++i)
        view.tracks.push_back(tracks.GetAt(i));
    for (int32_t b = 0; b < doc.GetBankCount(); ++b) {
        CPhraseBank& bank = doc.GetBankAt(b);
        for (int32_t i = 0; i < bank.GetCount(); ++i)
            view.phrases.push_back(&bank.GetPhraseAt(i));
    }
    return view;
}

CEnginePlayerLink::CEnginePlayerLink(CMidiEngineProxy& proxy) : m_proxy(proxy)
{}

bool CEnginePlayerLink::IsRunning() const
{
    return m_proxy.IsPlaying();
}

bool CEnginePlayerLink::IsRecording() const
{
    return m_proxy.IsRecording();
}

void CEnginePlayerLink::Stop()
{
    m_proxy.Stop();
    if (m_afterStop) m_afterStop();
}

void CEnginePlayerLink::LoadProject(CProjectDoc& doc)
{
    // The view and the objects it points to stay unchanged until the command has run.
    const CEngineProjectView view = MakeEngineProjectView(doc);
    m_proxy.LoadProject(view);
}

void CEnginePlayerLink::ClearProject(CProjectDoc&)
{
    m_proxy.Clear();
}

void CEnginePlayerLink::AddTrack(CTrack& track)
{
    m_proxy.AddTrackPlayer(track);
}

void CEnginePlayerLink::RemoveTrack(CTrack& track)
{
    m_proxy.RemoveTrackPlayer(track);
}

void CEnginePlayerLink::AddClip(CClip& clip, CTrack& track)
{
    m_proxy.AddClipPlayer(clip, track);
}

void CEnginePlayerLink::RemoveClip(CClip& clip)
{
    m_proxy.RemoveClipPlayer(clip);
}

bool CEnginePlayerLink::CommitRecordedClip(CClip& clip, CTrack& track)
{
    return m_proxy.CommitRecordedClip(clip, track, clip.GetStart()) != 0;
}

void CEnginePlayerLink::AddPhrase(CPhrase& phrase)
{
    m_proxy.AddPhrasePlayer(phrase);
}

void CEnginePlayerLink::RemovePhrase(CPhrase& phrase)
{
    m_proxy.RemovePhrasePlayer(phrase);
}

bool CEnginePlayerLink::SetTrackProperty(CTrack& track, int32_t number, int64_t value)
{
    return m_proxy.SetTrackProperty(track, number, value) != 0;
}

void CEnginePlayerLink::SendChannelMessage(const CTrack& track, uint8_t status, uint8_t data1,
                                           uint8_t data2)
{
    m_proxy.PostUiEvent(track, status, data1, data2);
}

void CEnginePlayerLink::Locate(tick position)
{
    m_proxy.Locate(position);
}

void CEnginePlayerLink::SetLoop(bool active, tick start, tick end)
{
    m_proxy.SetLoop(active, start, end);
}
