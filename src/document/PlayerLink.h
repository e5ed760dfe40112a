#pragma once
// Seam: what a project and the project manager need of the player (the engine that plays the
// active project). The application implements it over the engine's command proxy; tests use a
// recording fake. Every call is made on the user-interface thread and returns when the player has
// carried it out.

#include <cstdint>

#include "model/TimeBase.h"

class CClip;
class CPhrase;
class CProjectDoc;
class CTrack;

class CPlayerLink {
public:
    virtual ~CPlayerLink() = default;

    // Whether the clock runs (playing or recording).
    virtual bool IsRunning() const = 0;
    // Whether the player is recording into the project it was given (running with recording on).
    virtual bool IsRecording() const = 0;
    // Stops playback and recording; takes recorded so far go back to the project as usual.
    virtual void Stop() = 0;

    // Registers every phrase, track and clip of the project (giving each its player slot) and
    // hands the project to the player, which mirrors it until ClearProject.
    virtual void LoadProject(CProjectDoc& doc) = 0;
    // Deletes every player of the project and releases all slots (-1 in every object).
    virtual void ClearProject(CProjectDoc& doc) = 0;

    // A track (with its clips) was inserted into or removed from the given project.
    virtual void AddTrack(CTrack& track) = 0;
    virtual void RemoveTrack(CTrack& track) = 0;
    // A clip was placed on (taken off) a track of the loaded project.
    virtual void AddClip(CClip& clip, CTrack& track) = 0;
    virtual void RemoveClip(CClip& clip) = 0;
    // A freshly recorded clip, now placed on track, is taken over from the recording that made
    // it; false when the player holds no such recording (the caller then adds it as a clip).
    virtual bool CommitRecordedClip(CClip& clip, CTrack& track) = 0;
    // A phrase was added to or removed from one of the project's banks.
    virtual void AddPhrase(CPhrase& /*phrase*/) {}
    virtual void RemovePhrase(CPhrase& /*phrase*/) {}
    // Applies a numbered track property (101 upwards) on the player's side; false when the
    // player refuses the number or the value. The value is packed as model/Properties.h says.
    virtual bool SetTrackProperty(CTrack& track, int32_t number, int64_t value) = 0;
    // Sends one channel message (status without channel) to the output of the track, on the
    // track's channel.
    virtual void SendChannelMessage(const CTrack& track, uint8_t status, uint8_t data1,
                                    uint8_t data2) = 0;

    // Transport values of the loaded project.
    virtual void Locate(tick position) = 0;
    virtual void SetLoop(bool active, tick start, tick end) = 0;
};
