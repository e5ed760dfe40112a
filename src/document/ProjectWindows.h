#pragma once
// Seam: the windows of one project. The shell implements it with its child frames; headless tools
// and tests use CHeadlessWindows below. A window that is not open is simply absent: calls about it
// do nothing.

#include <algorithm>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "document/WindowState.h"
#include "model/EditArea.h"

class CClip;
class CEventList;
class CMidiData;
class CNoteList;
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
    // A track changed its place in the list (from and to are indices before and after the move),
    // or its name.
    virtual void TrackMoved(int /*from*/, int /*to*/) {}
    virtual void TrackRenamed(const CTrack& /*track*/) {}

    // The piano roll of one phrase or clip, when it is open. Between begin and end update the
    // window repaints once. Refreshing names what to repaint: the note or event area (both with
    // what an edit covered), one note's or event's spot, a velocity lane (0x90 note-on, 0x80
    // note-off) over a time range, or everything after a new length. Selecting replaces the
    // window's selection by the given notes or events, with the area they were edited in.
    virtual void PianoRollBeginUpdate(const CMidiData& /*data*/) {}
    virtual void PianoRollEndUpdate(const CMidiData& /*data*/) {}
    virtual void PianoRollRefreshNotes(const CMidiData& /*data*/, const CNoteArea& /*area*/) {}
    virtual void PianoRollRefreshEvents(const CMidiData& /*data*/, const CTimeRange& /*range*/) {}
    virtual void PianoRollRefreshVelocities(const CMidiData& /*data*/, uint8_t /*status*/,
                                            const CTimeRange& /*range*/)
    {}
    virtual void PianoRollLengthChanged(const CMidiData& /*data*/) {}
    virtual void PianoRollSelectNotes(const CMidiData& /*data*/, const CNoteList& /*notes*/,
                                      const CNoteArea& /*area*/)
    {}
    virtual void PianoRollSelectEvents(const CMidiData& /*data*/, const CEventList& /*events*/,
                                       const CTimeRange& /*range*/)
    {}
    // The phrase's or clip's name or colour changed (title and drawing).
    virtual void PianoRollDataChanged(const CMidiData& /*data*/) {}

    // The bank window of one bank, when it is open: a phrase's entry was inserted, removed or
    // changed (name, colour, properties) at an index; the bank was renamed.
    virtual void BankPhraseInserted(const CPhraseBank& /*bank*/, int /*index*/) {}
    virtual void BankPhraseRemoved(const CPhraseBank& /*bank*/, int /*index*/) {}
    virtual void BankPhraseChanged(const CPhraseBank& /*bank*/, int /*index*/) {}
    virtual void BankRenamed(const CPhraseBank& /*bank*/) {}

    // The project tree's phrase-bank items: inserted, removed or moved (indices as for tracks).
    virtual void TreeBankInserted(int /*index*/) {}
    virtual void TreeBankRemoved(int /*index*/) {}
    virtual void TreeBankMoved(int /*from*/, int /*to*/) {}

    // What shows phrases across the project: the tracks window (phrase outputs to tracks) and
    // the mixer.
    virtual void RedrawTracksAndMixer() {}

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
    void CloseAll() override
    {
        m_saved.clear();
        m_keys.clear();
    }
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
        return m_keys.contains(KeyOf(kind, target));
    }
    void OpenSavedWindow(const CWindowState& state) override
    {
        m_saved.push_back(state);
        m_keys.insert(KeyOf(state.kind, state.target));
    }
    std::vector<CWindowState> SavedWindows() const override { return m_saved; }

private:
    static bool HasTarget(EWindowKind kind)
    {
        return kind == EWindowKind::PianoRoll || kind == EWindowKind::PhraseBank;
    }
    // One key per window that HasSavedWindow tells apart: kind and target, or the kind alone.
    static int64_t KeyOf(EWindowKind kind, int32_t target)
    {
        const auto low = HasTarget(kind) ? static_cast<uint32_t>(target) : 0u;
        return (static_cast<int64_t>(kind) << 32) | low;
    }

    std::vector<CWindowState> m_saved;
    std::unordered_set<int64_t> m_keys; // looked up once per window record of a file
};
