#pragma once
// The player of one Clip on the song timeline (node kind 10). It plays the clip's notes and events
// while the song position lies in its window [clip start + track delay, clip end + track delay),
// transposed, offset, limited and quantized by its Track, and sends them on the Track's channel
// to the Track's player (which puts everything it passes on that channel). Every note-on it sends
// leaves a note-off in its pending list, counted down in ticks, so no path leaves a note hanging.
//
// Threads: music thread (or the caller's thread when the engine runs inline).

#include "devices/MidiNode.h"
#include "engine/ModelEdits.h"
#include "engine/PlayerSupport.h"
#include "model/TimeBase.h"

#include <algorithm>
#include <functional>

class CClip;
class CNoteList;
class CTrack;
class CTrackPlayer;

class CClipPlayer : public CMidiNode {
public:
    // Both borrowed; the model keeps them alive while the player exists.
    CClipPlayer(CClip& clip, CTrack& track);
    // Sends the pending note-offs before it leaves its track player.
    ~CClipPlayer() override;

    ENodeKind GetKind() const override { return ENodeKind::ClipPlayer; }

    CClip& GetClip() const { return m_clip; }
    CTrack& GetTrack() const { return m_track; }
    // Command "commit recorded clip" moves a recorded clip to its final Track; the caller then
    // connects the new track player and updates the window.
    void SetTrack(CTrack& track) { m_track = track; }
    // The track player this clip player sends to (borrowed), or null while unconnected.
    CTrackPlayer* GetTrackPlayer() const { return m_trackPlayer; }

    // Plays song tick `position`. Real-time safe.
    void PlayTick(tick position);
    // Asks the processor for what PlayTick reads beyond this object (the clip's lists, the track
    // player), so that a tick's players can fetch it side by side.
    void PrefetchWork() const;
    // The same for what those lead to (the next note, the track player's outputs): call it
    // once the lines PrefetchWork asked for had time to arrive.
    void PrefetchDeeper() const;
    // Places the iterators for song tick `position` (locate; the engine flushes first).
    void Seek(tick position);
    // Recomputes the window and iterators after the clip's start or length or the track's delay
    // changed, flushing when `position` is outside the new window.
    void UpdateWindow(tick position);
    // Follows one inserted or removed element, or a replaced list; `position` is the next song
    // tick to play.
    void OnListChanged(const CListChange& change, tick position);
    // The track's play quantize changed.
    void OnQuantizeChanged();
    // Sends every pending note-off now.
    void Flush() override;
    // Passes notes to the track player, which sounds them at once on the outputs.
    void Audition(const CNoteList& notes, int64_t tickPeriod);

    // True when song tick position lies in the window.
    bool ContainsTick(tick position) const
    {
        return position >= m_windowStart && position < m_windowEnd;
    }
    tick GetWindowStart() const { return m_windowStart; } // song ticks, inclusive
    tick GetWindowEnd() const { return m_windowEnd; }     // song ticks, exclusive
    int GetNoteIterator() const { return m_noteIt; }
    int GetEventIterator() const { return m_eventIt; }
    int32_t GetPendingCount() const { return m_pendingOffs.Count(); }
    // The first song tick at or after from on which PlayTick has something to do (a note-off
    // due, or a note or event to reach), INT64_MAX when nothing until the next command.
    int64_t NextWorkTick(tick from) const
    {
        int64_t next = m_pendingOffs.NextDue();
        if (from < m_windowEnd) {
            const int64_t local = std::min(FloorToGridTicks(m_nextNoteStart, m_grid),
                                           FloorToGridTicks(m_nextEventStart, m_grid));
            const int64_t at =
                std::max<int64_t>({int64_t{m_windowStart} + local, from, m_windowStart});
            if (at < m_windowEnd) next = std::min(next, at);
        }
        return next;
    }

    void OnOutputConnected(CMidiNode* other) override;
    void OnOutputDisconnected(CMidiNode* other) override;

private:
    // Local clip time of song tick position.
    tick LocalOf(tick position) const;
    void ComputeWindow();
    void PlayNotes(tick position, tick local, bool silenced, CMidiMsgList& noteOns);
    void PlayEvents(tick local, bool silenced, CMidiMsgList& events);
    // Keeps the unrounded starts of the elements at the iterators (after every iterator move).
    void NoteNextStarts();

    static constexpr tick kNoStart = INT32_MAX; // past the last element

    CClip& m_clip;
    std::reference_wrapper<CTrack> m_track;
    CTrackPlayer* m_trackPlayer = nullptr;
    tick m_windowStart = 0;
    tick m_windowEnd = 0;
    int m_noteIt = 0;
    int m_eventIt = 0;
    tick m_grid = 0; // the track's play quantize (ticks, 0 = off)
    tick m_nextNoteStart = kNoStart;
    tick m_nextEventStart = kNoStart;
    CPendingNoteOffs m_pendingOffs;
};
