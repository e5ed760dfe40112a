#pragma once
// The windows of one project in the main frame's multi-document area: at most one project,
// tracks and mixer frame, one frame per phrase bank and one per phrase or clip. Frames are made on
// demand and forgotten when they close; a closed frame's placement and view state are kept (by
// the project for the tracks and mixer frames, by the application's per-object store for bank and
// piano-roll frames) and given to the next frame for the same thing.

#include <functional>
#include <map>
#include <optional>

#include "document/AppOptions.h"
#include "document/ProjectWindows.h"

class CBankEditor;
class CChildFrame;
class CFramePhraseBank;
class CFramePianoRoll;
class CModifierSettings;
class CPianoRollEditor;
class CProjectDoc;
class CTracksEditor;
class CUserServices;
class CViewProject;
class QMdiArea;

// Placement and view state of closed bank and piano-roll frames, by object. Kept by the
// application for the whole run; a project's entries go when the project closes.
class CObjectWindowStore {
public:
    void Store(const void* object, const CProjectDoc& doc, const CWindowState& state);
    // The state kept for the object, if any.
    std::optional<CWindowState> Find(const void* object) const;
    void ForgetProject(const CProjectDoc& doc);

private:
    struct SEntry {
        const CProjectDoc* doc;
        CWindowState state;
    };
    std::map<const void*, SEntry> m_entries;
};

class CShellProjectWindows : public CProjectWindows {
public:
    CShellProjectWindows(CProjectDoc& doc, QMdiArea& area, CObjectWindowStore& store);
    ~CShellProjectWindows() override;

    void OpenProjectWindow(bool bringForward) override;
    void OpenTracksWindow(bool bringForward) override;
    void OpenMixerWindow(bool bringForward) override;
    void OpenBankWindow(CPhraseBank& bank, bool bringForward) override;
    void OpenPianoRoll(CMidiData& data, bool bringForward) override;

    void ClosePianoRoll(const CMidiData& data) override;
    void CloseBankWindow(const CPhraseBank& bank) override;
    void CloseAll() override;

    void RebuildTitles() override;
    void RefreshAll() override;
    void InvalidateAll() override;
    void SongPositionChanged() override;
    void TrackInserted(int index) override;
    void TrackRemoved(int index) override;
    void TrackPropertyChanged(const CTrack& track, int32_t property) override;
    void ActiveChanged(bool active) override;
    void TrackRenamed(const CTrack& track) override;
    void RedrawTracksAndMixer() override;
    void TreeBankInserted(int index) override;
    void TreeBankRemoved(int index) override;
    void TreeBankMoved(int from, int to) override;
    void BankRenamed(const CPhraseBank& bank) override;
    void BankPhraseInserted(const CPhraseBank& bank, int index) override;
    void BankPhraseRemoved(const CPhraseBank& bank, int index) override;
    void BankPhraseChanged(const CPhraseBank& bank, int index) override;
    // The engine reported on phrase players, or the solo and mute modes changed: the open bank
    // windows show the play states again.
    void PhrasePlayStatesChanged();
    void TracksBeginUpdate() override;
    void TracksEndUpdate() override;
    void TracksClearSelection() override;
    void TracksSelectClip(const CClip& clip) override;
    void TracksClipInserted(int32_t trackIndex, const CClip& clip) override;
    void TracksClipRemoved(const CClip& clip) override;
    void TracksClipReplaced(const CClip& removed, int32_t trackIndex, const CClip& placed) override;
    void TracksClipChanged(const CClip& clip) override;
    void TrackMoved(int from, int to) override;
    void PianoRollBeginUpdate(const CMidiData& data) override;
    void PianoRollEndUpdate(const CMidiData& data) override;
    void PianoRollRefreshNotes(const CMidiData& data, const CNoteArea& area) override;
    void PianoRollRefreshEvents(const CMidiData& data, const CTimeRange& range) override;
    void PianoRollRefreshVelocities(const CMidiData& data, uint8_t status,
                                    const CTimeRange& range) override;
    void PianoRollSelectEvents(const CMidiData& data, const CEventList& events,
                               const CTimeRange& range) override;
    void PianoRollLengthChanged(const CMidiData& data) override;
    void PianoRollSelectNotes(const CMidiData& data, const CNoteList& notes,
                              const CNoteArea& area) override;
    void PianoRollDataChanged(const CMidiData& data) override;
    void MovePianoRoll(const CMidiData& from, CMidiData& to) override;

    // Asks the questions whose answer the options may remember (clips dropped below the last
    // track); without one the answer is no.
    using FAsker = std::function<bool(ERememberedQuestion)>;
    void SetAsker(FAsker asker) { m_asker = std::move(asker); }
    const FAsker& GetAsker() const { return m_asker; }
    // The application's "Editor" settings the piano rolls' commands use (borrowed; null: each
    // window keeps its own).
    void SetEditorSettings(CModifierSettings* settings) { m_editorSettings = settings; }
    CModifierSettings* GetEditorSettings() const { return m_editorSettings; }
    // Who answers the windows' questions and file choices (borrowed; null: nobody).
    void SetUser(CUserServices* user) { m_user = user; }
    CUserServices* GetUser() const { return m_user; }
    // The project window's tree, when the window is open.
    CViewProject* GetProjectView() const;

    bool HasSavedWindow(EWindowKind kind, int32_t target) const override;
    void OpenSavedWindow(const CWindowState& state) override;
    std::vector<CWindowState> SavedWindows() const override;

    // A replaced clip: its piano roll now shows the new clip.
    void RekeyPianoRoll(const CMidiData& from, CMidiData& to);

    // Every open frame of the project, in no particular order.
    std::vector<CChildFrame*> Frames() const;
    CChildFrame* GetFrame(EWindowKind kind) const;
    CFramePianoRoll* GetPianoRoll(const CMidiData& data) const;
    CFramePhraseBank* GetBankFrame(const CPhraseBank& bank) const;
    // The bank window's content, when the window is open.
    CBankEditor* GetBankEditor(const CPhraseBank& bank) const;
    // The piano roll's content of the phrase or clip, when its window is open.
    CPianoRollEditor* GetPianoRollEditor(const CMidiData& data) const;
    // The tracks window's content, when the window is open.
    CTracksEditor* GetTracksEditor() const;

    // Called by a frame that the user closes: keeps its state and forgets it.
    void FrameClosing(CChildFrame& frame);

private:
    // Adds the frame to the area with the state given (or the default place), titles and shows it.
    void Present(CChildFrame& frame, const CWindowState* state, bool bringForward);
    void BringForward(CChildFrame& frame);
    void PlaceByDefault(CChildFrame& frame);
    // Opens one of the three single frames from its stored record.
    void OpenSingle(EWindowKind kind, bool bringForward);
    void OpenBank(CPhraseBank& bank, const CWindowState* state, bool bringForward);
    void OpenRoll(CMidiData& data, const CWindowState* state, bool bringForward);

    CProjectDoc& m_doc;
    CUserServices* m_user = nullptr;
    FAsker m_asker;
    CModifierSettings* m_editorSettings = nullptr;
    QMdiArea& m_area;
    CObjectWindowStore& m_store;
    CChildFrame* m_project = nullptr;
    CChildFrame* m_tracks = nullptr;
    CChildFrame* m_mixer = nullptr;
    // Last state of the tracks and mixer frames, kept by the project.
    std::optional<CWindowState> m_tracksRecord;
    std::optional<CWindowState> m_mixerRecord;
    std::map<const CPhraseBank*, CFramePhraseBank*> m_banks;
    std::map<const CMidiData*, CFramePianoRoll*> m_rolls;
};
