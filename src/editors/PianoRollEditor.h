#pragma once
// The content of a piano-roll window: the bar with the length box and the mode, snap and grid
// selectors; the ruler, the keyboard strip and the note canvas with its zoom buttons; room for
// the event lane under the canvas; and the status display. It owns what the panes share, routes
// the window's commands and passes the project's calls on to the panes. User-interface thread
// only.

#include <memory>
#include <vector>

#include "controls/ShellView.h"
#include "model/EditArea.h"
#include "model/TimeBase.h"

class CEditTime;
class CEventLaneBar;
class CEventList;
class CViewEvents;
class CMidiData;
class CModifierSettings;
class CNoteList;
class CPianoRollContext;
class CProjectDoc;
class CSelectList;
class CViewPianoKeys;
class CViewPianoRoll;
class CViewPianoRuler;
class CWndStatusDisplay;
class QToolButton;
class QVBoxLayout;

class CPianoRollEditor : public CShellView {
    Q_OBJECT
public:
    CPianoRollEditor(CProjectDoc& doc, CMidiData& data, QWidget* parent = nullptr);
    ~CPianoRollEditor() override;

    CPianoRollContext& Context() const { return *m_context; }
    CViewPianoRoll& Canvas() const { return *m_canvas; }
    CViewPianoKeys& Keys() const { return *m_keys; }
    CViewPianoRuler& Ruler() const { return *m_ruler; }
    CWndStatusDisplay& Status() const { return *m_status; }
    CEditTime& LengthBox() const { return *m_length; }
    CSelectList& ModeBox() const { return *m_mode; }
    CSelectList& SnapBox() const { return *m_snap; }
    CSelectList& GridBox() const { return *m_grid; }
    // The event lane under the note canvas, and its bar.
    QVBoxLayout& LaneSlot() const { return *m_laneSlot; }
    CViewEvents& Lane() const { return *m_lane; }
    CEventLaneBar& LaneBar() const { return *m_laneBar; }

    // Another object (a replaced clip) is shown from now on.
    void SetData(CMidiData& data);
    void SetSettings(CModifierSettings* settings);

    // ---- CShellView ----
    void RefreshView() override;
    std::vector<uint8_t> SaveViewState() const override;
    void RestoreViewState(const std::vector<uint8_t>& bytes) override;
    bool OnCommand(ECommand id) override;
    bool OnUpdateCommand(ECommand id, CCommandUi& ui) override;

    // ---- the project's calls ----
    void SongPositionChanged();
    void BeginUpdate();
    void EndUpdate();
    void RefreshNotes(const CNoteArea& area);
    void LengthChanged();
    void SelectNotes(const CNoteList& notes, const CNoteArea& area);
    void RefreshEvents(const CTimeRange& range);
    void SelectEvents(const CEventList& events, const CTimeRange& range);
    void DataChanged();
    // A chord captured for step entry (pitches); false when the notes side does not take it.
    bool StepRecord(const std::vector<uint8_t>& pitches);

private:
    QWidget* BuildBar();
    void AddZoomButtons();
    void ShowLength();
    void OnLengthEntered();
    void BuildLane();
    // The view the edit commands go to: the lane while it has the keys, else the note canvas.
    bool LaneHasKeys() const;
    // The mode selector's entries and value for the pane that has the keys.
    void ShowMode();
    bool OnLaneCommand(ECommand id);
    bool OnUpdateLaneCommand(ECommand id, CCommandUi& ui);

    std::unique_ptr<CPianoRollContext> m_context;
    CViewPianoRoll* m_canvas = nullptr;
    CViewPianoKeys* m_keys = nullptr;
    CViewPianoRuler* m_ruler = nullptr;
    CWndStatusDisplay* m_status = nullptr;
    CEditTime* m_length = nullptr;
    CSelectList* m_mode = nullptr;
    CSelectList* m_snap = nullptr;
    CSelectList* m_grid = nullptr;
    QToolButton* m_follow = nullptr;
    QVBoxLayout* m_laneSlot = nullptr;
    CViewEvents* m_lane = nullptr;
    CEventLaneBar* m_laneBar = nullptr;
    // Which entries the mode selector holds: -1 none yet, 0 notes, 1 events, 2 velocities.
    int m_modeItems = -1;
    bool m_modeForLane = false;
};
