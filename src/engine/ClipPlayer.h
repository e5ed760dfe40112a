#pragma once
// The player of one Clip on the song timeline (node kind 10). It sends to its Track's player.
// This is the frame the players work fills in: the engine already creates, connects, edits and
// deletes clip players and calls every hook below at the right moment; the hooks do not play yet.
//
// Threads: music thread (or the caller's thread when the engine runs inline).

#include "devices/MidiNode.h"
#include "engine/ModelEdits.h"
#include "model/TimeBase.h"

#include <functional>

class CClip;
class CTrack;

class CClipPlayer : public CMidiNode {
public:
    // Both borrowed; the model keeps them alive while the player exists.
    CClipPlayer(CClip& clip, CTrack& track);
    ~CClipPlayer() override;

    ENodeKind GetKind() const override { return ENodeKind::ClipPlayer; }

    CClip& GetClip() const { return m_clip; }
    CTrack& GetTrack() const { return m_track; }
    // Command "commit recorded clip" moves a recorded clip to its final Track.
    void SetTrack(CTrack& track) { m_track = track; }

    // Plays song tick `position`. Real-time safe.
    void PlayTick(tick position) { (void)position; }
    // Flushes and places the iterators for song tick `position` (locate).
    void Seek(tick position) { (void)position; }
    // Recomputes the window and iterators after the clip's start or length or the track's delay
    // changed, flushing when `position` is outside the new window.
    void UpdateWindow(tick position) { (void)position; }
    // Follows one inserted or removed element, or a replaced list (iterator shift).
    void OnListChanged(const CListChange& change, tick position) { (void)change, (void)position; }

private:
    CClip& m_clip;
    std::reference_wrapper<CTrack> m_track;
};
