#pragma once
// The note canvas of the piano-roll window: time left to right, one row per pitch, the notes of
// one phrase or clip as boxes. A cursor-and-selection editor: the cursor cell is moved by keys
// and the mouse, notes are inserted at it from the default note, the note under it is the current
// note, and a rectangle holds the selected notes. Every change runs as one named operation
// through the project; the canvas then draws again from the model. User-interface thread only.

#include <QRgb>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "editing/DragContext.h"
#include "editors/CanvasView.h"
#include "editors/PianoRollRules.h"
#include "model/EditArea.h"
#include "model/NoteList.h"

class COperation;
class CScanlineRaster;
class CPianoRollContext;
struct CPianoRollCursor;
class QMenu;

class CViewPianoRoll : public CCanvasView, public CDropTarget {
    Q_OBJECT
public:
    explicit CViewPianoRoll(CPianoRollContext& context, QWidget* parent = nullptr);
    ~CViewPianoRoll() override;

    CPianoRollContext& Context() const { return m_context; }

    // ---- selection and current note ----
    // The selected notes (copies, in container order) and the rectangle that holds them.
    const CNoteList& GetSelection() const { return m_selected; }
    const CNoteArea& GetSelectionArea() const { return m_area; }
    bool HasSelection() const { return !m_selected.IsEmpty(); }
    bool IsSelected(const CNote& note) const;
    void ClearSelection();
    // The rectangle and the notes that start inside it.
    void SelectArea(const CNoteArea& area);
    // Exactly these notes in this rectangle (the project's selection after an operation).
    void SetSelection(const CNoteList& notes, const CNoteArea& area);
    void SelectAll();
    // The note whose start is the cursor tick and whose pitch is the cursor pitch.
    std::optional<CNote> CurrentNote() const;

    // ---- cursor ----
    // Moves the cursor cell; with extend the selection grows from its anchor to the new cell,
    // else the selection becomes the current note alone (or nothing).
    void MoveCursor(tick at, int32_t pitch, bool extend);
    // The cell under a client point: the tick floor-snapped to the grid.
    tick TickAt(int32_t x) const;
    int32_t PitchAt(int32_t y) const;
    // A cell's box in client pixels.
    QRect CellRect(tick from, tick to, int32_t pitch) const;
    QRect AreaRect(const CNoteArea& area) const;

    // ---- commands (true when an operation was done or the state changed) ----
    bool Run(std::unique_ptr<COperation> op);
    bool InsertNote();
    bool DeleteNotes();
    bool CanDelete() const;
    bool CutNotes();
    bool CopyNotes();
    bool PasteNotes();
    bool CanPaste() const;
    bool DuplicateNotes();
    bool CopyToDefault();
    // The nudge keys on the current note, else on the selection, by the edit type.
    bool Nudge(int direction, bool large);
    // Tab (+1) and Shift+Tab (-1).
    bool TabStep(int direction);
    bool Quantize();
    // The "Quantize..." dialog, then "Quantize Notes".
    bool QuantizeWithDialog();
    bool SplitToLength();
    bool RemoveOverlaps();
    bool TransposeToScale();
    bool TransposeRandomize();
    // The note-properties dialog for the selection, the current note or the default note.
    bool EditProperties();
    // Brings up the window the container belongs to.
    void GoTo();
    // A chord captured for step entry: entered at the cursor, then the cursor moves on.
    bool StepRecord(const std::vector<uint8_t>& pitches);
    // Every key of the canvas; true when handled.
    bool HandleKey(int key, Qt::KeyboardModifiers modifiers);
    // The context menu at a client point, or from the keyboard at the cursor (pos null).
    void ShowContextMenu(const QPoint& pos, bool fromKeyboard);
    // The menu the context menu shows now ("None", "Note" or "Selection"); for the tests.
    QMenu* BuildContextMenu();
    // Sounds the notes (when the project plays through the engine).
    void Audition(const CNoteList& notes) const;

    // ---- the project's calls ----
    void RefreshNotes(const CNoteArea& area);
    void LengthChanged();
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

protected:
    void PaintContent(QPainter& painter, const QRect& exposed) override;
    void PaintOverlays(QPainter& painter, const QRect& exposed) override;

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
    void scrollContentsBy(int dx, int dy) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void OnViewChanged();
    void OnCursorMoved(const CPianoRollCursor& from);
    void OnShownPositionChanged(tick from, tick to);
    void UpdateScrollBars();
    void UpdateStatus();
    void InvalidateArea(const CNoteArea& area);
    void InvalidateSelection();
    QRect CursorRect(const CPianoRollCursor& cursor) const;
    QRect PositionStrip(tick absolute) const;
    // The longest note of the container (notes starting left of the view reach into it).
    tick LongestNote() const;
    struct SVerticalLine {
        int x = 0;
        int width = 1;
        QRgb colour = 0;
        bool dotted = false; // on even rows only
    };
    std::vector<SVerticalLine> VerticalLines(const QRect& exposed) const;
    void PaintLayers(QPainter& painter, const QRect& exposed,
                     const std::vector<SVerticalLine>& lines);
    void ComposeContent(CScanlineRaster& raster, const QRect& exposed,
                        const std::vector<SVerticalLine>& lines);
    void ForEachVisibleNote(const QRect& exposed,
                            const std::function<void(const CNote&, bool selected)>& visit) const;
    // The ask of the operations that may lengthen the container.
    bool AskExtend() const;
    // The scale-aware cursor moves of the arrow and page keys.
    int32_t PitchStepped(int key) const;
    bool MoveKey(int key, Qt::KeyboardModifiers modifiers);
    bool EditTypeKey(int key);
    bool NudgeOne(const CNote& note, int direction, bool large);
    bool NudgeSelection(int direction, bool large);
    bool NudgeDefault(int direction, bool large);
    bool NudgeSelectionStart(tick step);
    bool NudgeSelectionLength(tick step);
    // The drop of a notes payload at a client point: the notes and area as they would land.
    struct CDropPlan {
        bool valid = false;
        CNoteList notes;
        CNoteArea area;
        tick dt = 0;
        int32_t dp = 0;
    };
    CDropPlan PlanDrop(const CDragNotes& payload, const QPoint& pos) const;
    QRect DropPreviewRect() const;
    void DrawDropPreview(QPainter& painter, const QRect& exposed) const;
    void AutoScrollDrag(const QPoint& pos);
    void StartNoteDrag(const QPoint& pos);

    CPianoRollContext& m_context;
    CNoteList m_selected;
    CNoteArea m_area;
    // The boxes of the notes of each pitch row being painted, left to right: columns [x1, x2).
    struct SRowBox {
        int x1 = 0;
        int x2 = 0;
        bool selected = false; // shown inverted
        bool current = false;  // framed white
    };
    std::array<std::vector<SRowBox>, 128> m_rowBoxes;
    // Where Shift or a mouse band started the rectangle; valid while extending.
    bool m_anchored = false;
    tick m_anchorTick = 0;
    int32_t m_anchorPitch = 0;
    // Mouse gesture.
    enum class EMouse { None, Band, PressedInSelection };
    EMouse m_mouse = EMouse::None;
    QPoint m_pressPos;
    // A notes payload over the canvas: the plan drawn as the preview.
    const CDragNotes* m_dragPayload = nullptr;
    CDropPlan m_dragPlan;
    bool m_dragCopy = false;
    // Longest note, worked out again after every change of the container.
    mutable std::optional<tick> m_longest;
    bool m_syncingScrollBars = false;
};
