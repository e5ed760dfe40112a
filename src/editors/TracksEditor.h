#pragma once
// The content of the tracks window: the bar with the tool palette, the edit-mode and snap
// selectors and the follow switch; the track property panel, the track list, the ruler and the
// clip canvas with its zoom buttons; and the status display. It owns what the panes share and
// passes the project's calls on to them. User-interface thread only.

#include <memory>

#include "controls/ShellView.h"
#include "model/TimeBase.h"

class CBarTrackProperties;
class CClip;
class CMidiEvent;
class CProjectDoc;
class CSelectList;
class CTrack;
struct CNote;
class CTracksContext;
class CViewRuler;
class CViewTrackList;
class CViewTracks;
class CWndStatusDisplay;
class QButtonGroup;
class QToolButton;

class CTracksEditor : public CShellView {
    Q_OBJECT
public:
    explicit CTracksEditor(CProjectDoc& doc, QWidget* parent = nullptr);
    ~CTracksEditor() override;

    CTracksContext& Context() const { return *m_context; }
    CViewTracks& Canvas() const { return *m_canvas; }
    CViewTrackList& TrackList() const { return *m_list; }
    CViewRuler& Ruler() const { return *m_ruler; }
    CBarTrackProperties& Panel() const { return *m_panel; }
    CWndStatusDisplay& Status() const { return *m_status; }

    // ---- CShellView ----
    void RefreshView() override;
    std::vector<uint8_t> SaveViewState() const override;
    void RestoreViewState(const std::vector<uint8_t>& bytes) override;
    bool OnCommand(ECommand id) override;
    bool OnUpdateCommand(ECommand id, CCommandUi& ui) override;

    // ---- the project's calls ----
    void SongPositionChanged();
    void TracksChanged();
    void TrackPropertyChanged(const CTrack& track);
    void BeginUpdate();
    void EndUpdate();
    void ClearSelection();
    void SelectClip(const CClip& clip);
    void ClipInserted(int32_t trackIndex, const CClip& clip);
    void ClipRemoved(const CClip& clip);
    void ClipReplaced(const CClip& removed, int32_t trackIndex, const CClip& placed);
    void ClipChanged(const CClip& clip);

    // The engine's recording news for the display of takes in progress.
    void RecordingStarted(int32_t trackId, tick position);
    void NoteRecorded(int32_t trackId, const CNote& note);
    void EventRecorded(int32_t trackId, const CMidiEvent& event);
    void RecordingFinished(int32_t trackId);

private:
    QWidget* BuildBar();
    void AddZoomButtons();
    void OnToolChanged(int32_t tool);
    void OnEditModeChanged();
    void OnSnapChanged();
    bool ListHasFocus() const;
    // What the canvas draws of the project besides clips: redrawn when one of these changed.
    struct SDrawnState {
        tick loopStart = 0;
        tick loopEnd = 0;
        int32_t trackCount = 0;
        tick ticksPerBar = 0;
        bool operator==(const SDrawnState&) const = default;
    };
    SDrawnState DrawnState() const;
    SDrawnState m_drawn;

    std::unique_ptr<CTracksContext> m_context;
    CViewTracks* m_canvas = nullptr;
    CViewTrackList* m_list = nullptr;
    CViewRuler* m_ruler = nullptr;
    CBarTrackProperties* m_panel = nullptr;
    CWndStatusDisplay* m_status = nullptr;
    QButtonGroup* m_tools = nullptr;
    CSelectList* m_mode = nullptr;
    CSelectList* m_snap = nullptr;
    QToolButton* m_follow = nullptr;
};
