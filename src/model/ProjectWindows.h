#pragma once
// Seam: the windows of one project. The shell implements it with its child frames; headless tools
// and tests use CHeadlessWindows below. A window that is not open is simply absent: calls about it
// do nothing.

#include <algorithm>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "model/WindowState.h"

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
