#pragma once
// The event lane under the note canvas of the piano-roll window: one kind of event of the
// phrase or clip (a controller, poly pressure of one key, program changes, channel aftertouch,
// pitch bend) or the notes' on- or off-velocities, as bars from the lane's bottom. It shares the
// window's time axis, cursor tick, selection time range, snap and grid with the note canvas; in
// the velocity lanes the selection is the note canvas's notes. Every change runs as one named operation through the project.
// User-interface thread only.

#include <QString>

#include <memory>
#include <optional>

#include "editing/DragContext.h"
#include "editing/ModifierCommands.h"
#include "editors/CanvasView.h"
#include "editors/EventLaneBar.h"
#include "editors/EventLaneRules.h"
#include "model/EditArea.h"
#include "model/EventList.h"
#include "model/NoteList.h"

class COperation;
class CPianoRollContext;
struct CPianoRollCursor;
class CViewPianoRoll;
class QMenu;

class CViewEvents : public CCanvasView, public CDropTarget {
    Q_OBJECT
public:
    CViewEvents(CPianoRollContext& context, CViewPianoRoll& notes, QWidget* parent = nullptr);
    ~CViewEvents() override;

    // ---- the lane kind and the drawing tool ----
    LaneKind Kind() const;
    void SetKind(LaneKind kind);
    bool IsVelocityLane() const { return ::IsVelocityLane(Kind()); }
    void SetTool(EDrawTool tool) { m_tool = tool; }
    EDrawTool GetTool() const { return m_tool; }

    // ---- selection and current event ----
    // The selection's time range (velocity lanes: the note canvas's).
    CTimeRange Range() const;
    bool HasRange() const { return Range().m_to > Range().m_from; }
    // The lane's events inside the range, in container order.
    const CEventList& GetSelection() const { return m_selected; }
    // The note canvas's selected notes (velocity lanes).
    const CNoteList& SelectedNotes() const;
    int SelectionCount() const;
    void SelectRange(const CTimeRange& range);
    void ClearSelection();
    void SelectAll();
    std::optional<CMidiEvent> CurrentEvent() const;
    std::optional<CNote> CurrentNote() const;
    // Moves the cursor tick; with extend the range grows from its anchor.
    void MoveCursor(tick at, bool extend);
    tick TickAt(int32_t x) const;

    // ---- commands (true when an operation ran or the state changed) ----
    bool Run(std::unique_ptr<COperation> op);
    bool Cut();
    bool Copy();
    bool Paste();
    bool CanPaste() const;
    bool Insert();
    bool Delete();
    bool CopyToDefault();
    // +IncValue (direction 1) or -DecValue (-1) percent on the selection or the current event.
    bool ScaleValues(int direction);
    // The "Change Default Value" dialog for the percentage, then the scaling.
    bool ScaleValuesWithDialog(int direction);
    bool ApplyModifier(int commandId);
    bool RepeatModifier();
    bool CanRepeatModifier() const { return m_modifiers.GetLastCommand() != 0; }
    bool Quantize();
    bool QuantizeWithDialog();
    bool SuppressRedundant();
    bool Nudge(int direction, bool large);
    bool TabStep(int direction);
    bool HandleKey(int key, Qt::KeyboardModifiers modifiers);
    void ShowContextMenu(const QPoint& pos, bool fromKeyboard);
    // The menu the context menu shows now; for the tests.
    QMenu* BuildContextMenu();

    // ---- the project's calls ----
    void RefreshRange(const CTimeRange& range);
    void ModelChanged();

    // ---- status ----
    QString StatusText() const;
    QString CursorText() const;
    QString SelectionText() const;
    QString DragText() const;

    // ---- CDropTarget ----
    EDropEffect DragEnter(const CDragPayload& payload, const CDragPoint& point) override;
    EDropEffect DragOver(const CDragPayload& payload, const CDragPoint& point) override;
    void DragLeave(const CDragPayload& payload) override;
    bool Drop(const CDragPayload& payload, const CDragPoint& point) override;

signals:
    void StatusChanged(const QString& text);
    void KindChanged();
    // S or V chose the event edit type.
    void EditTypeChanged();

protected:
    void PaintContent(QPainter& painter, const QRect& exposed) override;
    void PaintOverlays(QPainter& painter, const QRect& exposed) override;

    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void OnCursorMoved(const CPianoRollCursor& from);
    void Reselect();
    // Takes the window's range from the note canvas when it changed there.
    void SyncRange();
    void UpdateStatus();
    QRect RangeRect(const CTimeRange& range) const;
    QRect TickStrip(tick t) const;
    int32_t ValueAtY(int32_t y) const;
    int32_t YOfValue(int32_t value) const;
    bool AskExtend() const;
    CNoteArea VelocityArea() const;
    EVelocityLane VelocityLane() const;
    bool NudgeStart(int direction, bool large);
    bool NudgeValue(int direction, bool large);
    bool MoveKey(int key, Qt::KeyboardModifiers modifiers);
    // The drawing tools.
    void ToolDown(const QPoint& pos);
    void ToolMove(const QPoint& pos);
    void ToolUp(const QPoint& pos);
    bool FinishFreehand();
    bool FinishLine();
    QRect StrokeRect() const;
    void PaintStroke(QPainter& painter, const QRect& exposed) const;
    // Dragging events out and in.
    void StartEventDrag(const QPoint& pos);
    std::optional<tick> DropTick(const CDragEvents& payload, const QPoint& pos) const;

    CPianoRollContext& m_context;
    CViewPianoRoll& m_notes;
    // The range the lane's selection was taken from (the note canvas's rectangle in time).
    CTimeRange m_range;
    CEventList m_selected;
    bool m_anchored = false;
    tick m_anchorTick = 0;
    enum class EMouse { None, Band, PressedInSelection, Drawing };
    EMouse m_mouse = EMouse::None;
    QPoint m_pressPos;
    EDrawTool m_tool = EDrawTool::None;
    CFreehandStroke m_stroke;
    QPoint m_lineFrom;
    QPoint m_lineTo;
    QPoint m_lastPoint;
    CModifierMenu m_modifiers;
    // An events payload over the lane: where its range would land.
    const CDragEvents* m_dragPayload = nullptr;
    std::optional<tick> m_dragTick;
};
