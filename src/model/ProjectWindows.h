#pragma once
// Seam: the windows of one project. The shell implements it with its child frames; headless tools
// and tests use CHeadlessWindows below. A window that is not open is simply absent: calls about it
// do nothing.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "model/WindowState.h"

class CClip;
class CMidiData;
class CPhraseBank;
class CTrack;

class CProjectWindows {
public:
    virtual ~CProjectWindows() = default;

    // Opening or bringing forward (restore when minimised, activate) the project's windows.
    virtual void OpenProjectWindow(bool bringForward) = 0;
    virtual void OpenTracksWindow(bool bringForward) = 0;
    virtual void OpenMixerWindow(bool bringForward) = 0;
    virtual void OpenBankWindow(CPhraseBank& bank, bool bringForward) = 0;
    virtual void OpenPianoRoll(CMidiData& data, bool bringForward) = 0;

    // Closing: the piano roll of a deleted phrase or clip, the window of a removed bank, all.
    virtual void ClosePianoRoll(const CMidiData& data) = 0;
    virtual void CloseBankWindow(const CPhraseBank& bank) = 0;
    virtual void CloseAll() = 0;

    // Refreshing after model changes.
    virtual void RebuildTitles() = 0;
    virtual void RefreshAll() = 0;
    virtual void InvalidateAll() = 0;
    virtual void SongPositionChanged() = 0;
    virtual void TrackInserted(int index) = 0;
    virtual void TrackRemoved(int index) = 0;
    virtual void TrackPropertyChanged(const CTrack& track, int32_t property) = 0;
    // The project became (or stopped being) the active one.
    virtual void ActiveChanged(bool active) = 0;
    // The loop switch or a loop point changed; the transport shows them while the project is
    // active.
    virtual void TransportChanged() {}

    // The tracks window's view, as clip operations drive it. Begin and end update bracket a run
    // of calls so that the view is laid out and redrawn once; brackets may nest.
    virtual void TracksBeginUpdate() {}
    virtual void TracksEndUpdate() {}
    // Empties the view's clip selection.
    virtual void TracksClearSelection() {}
    // Adds the clip to the selection and gives the view the focus.
    virtual void TracksSelectClip(const CClip&) {}
    // A clip was placed on the track at trackIndex; the view lays out again and redraws when
    // the clip's span is in sight.
    virtual void TracksClipInserted(int32_t /*trackIndex*/, const CClip&) {}
    // A clip left the model: the view drops it from its selection and lists.
    virtual void TracksClipRemoved(const CClip&) {}
    // The view's entry of removed now shows placed, on the track at trackIndex.
    virtual void TracksClipReplaced(const CClip& /*removed*/, int32_t /*trackIndex*/,
                                    const CClip& /*placed*/)
    {}
    // The clip's span, colour or name changed: its entry is drawn again.
    virtual void TracksClipChanged(const CClip&) {}
    // The piano roll of from, if open, edits to from now on (to took over from's identity).
    virtual void MovePianoRoll(const CMidiData& /*from*/, CMidiData& /*to*/) {}
    // The piano roll of the object, if open, redraws its content or rebuilds its title.
    virtual void RefreshPianoRoll(const CMidiData&) {}
    virtual void PianoRollTitleChanged(const CMidiData&) {}

    // Saved layout. HasSavedWindow tells whether a window of that kind (and target: the object id
    // of a piano roll, the bank index of a bank window) is open; OpenSavedWindow re-creates one
    // from a file record; SavedWindows lists the open windows bottom to top for saving.
    virtual bool HasSavedWindow(EWindowKind kind, int32_t target) const = 0;
    virtual void OpenSavedWindow(const CWindowState& state) = 0;
    virtual std::vector<CWindowState> SavedWindows() const = 0;
};

// No windows at all, except that saved layouts read from a file are kept as they were read, so a
// file converted without a user interface keeps its window records.
class CHeadlessWindows : public CProjectWindows {
public:
    void OpenProjectWindow(bool) override {}
    void OpenTracksWindow(bool) override {}
    void OpenMixerWindow(bool) override {}
    void OpenBankWindow(CPhraseBank&, bool) override {}
    void OpenPianoRoll(CMidiData&, bool) override {}
    void ClosePianoRoll(const CMidiData&) override {}
    void CloseBankWindow(const CPhraseBank&) override {}
    void CloseAll() override { m_saved.clear(); }
    void RebuildTitles() override {}
    void RefreshAll() override {}
    void InvalidateAll() override {}
    void SongPositionChanged() override {}
    void TrackInserted(int) override {}
    void TrackRemoved(int) override {}
    void TrackPropertyChanged(const CTrack&, int32_t) override {}
    void ActiveChanged(bool) override {}

    bool HasSavedWindow(EWindowKind kind, int32_t target) const override
    {
        return std::any_of(m_saved.begin(), m_saved.end(), [&](const CWindowState& s) {
            return s.kind == kind && (s.target == target || !HasTarget(kind));
        });
    }
    void OpenSavedWindow(const CWindowState& state) override { m_saved.push_back(state); }
    std::vector<CWindowState> SavedWindows() const override { return m_saved; }

private:
    static bool HasTarget(EWindowKind kind)
    {
        return kind == EWindowKind::PianoRoll || kind == EWindowKind::PhraseBank;
    }

    std::vector<CWindowState> m_saved;
};
