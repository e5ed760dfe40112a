#pragma once
// The clip canvas of the tracks window: every clip of the project as a box in its track's row,
// the song position, the loop points, and the gestures of the four tools, the keyboard, drag and
// drop and the context menus. Every change runs as one named operation through the project; the
// view then draws again from the model. User-interface thread only.

#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "editing/ClipGroups.h"
#include "editing/DragContext.h"
#include "editors/CanvasTool.h"
#include "editors/CanvasView.h"
#include "model/MidiEvent.h"
#include "model/Note.h"
#include "model/TimeBase.h"

class CClip;
class CScanlineRaster;
class CTracksClipPainter;
class COperation;
class CPhrase;
class CTrack;
class CTracksContext;
class QLineEdit;
class QMenu;

// Tool ids of the tracks view, the order of the tool palette.
enum class ETracksTool : int32_t { Select = 0, Eraser = 1, Scissors = 2, Glue = 3 };

// Which part of a clip a point lies on.
enum class EClipZone { None, Body, LeftEdge, RightEdge };

struct CClipHit {
    CClipRef ref;
    EClipZone zone = EClipZone::None;
};

class CViewTracks : public CCanvasView, public CDropTarget {
    Q_OBJECT
public:
    explicit CViewTracks(CTracksContext& context, QWidget* parent = nullptr);
    ~CViewTracks() override;

    CTracksContext& Context() const { return m_context; }

    // ---- tools ----
    void SetTool(ETracksTool tool);
    ETracksTool GetTool() const;

    // ---- selection ----
    const std::vector<CClipRef>& GetSelection() const { return m_selection; }
    const CClipRef& GetCurrent() const { return m_current; }
    bool IsSelected(const CClip* clip) const;
    void ClearSelection();
    // Adds the clip (no effect when selected already).
    void Select(const CClipRef& ref);
    void SelectOnly(const CClipRef& ref);
    // The current clip (null clears it); it is brought into view.
    void SetCurrent(const CClipRef& ref);
    // Selects the clips inside the band [left, right) x [top, bottom) of ticks and rows: those
    // overlapping its span on its rows.
    void SelectInBand(tick fromTick, int32_t fromRow, tick toTick, int32_t toRow);
    // The clips inside that band (the corners in any order).
    std::vector<CClipRef> ClipsInBand(tick fromTick, int32_t fromRow, tick toTick,
                                      int32_t toRow) const;

    // ---- hit testing and geometry ----
    CClipHit HitTest(const QPoint& pos) const;
    // The clip's box in client pixels.
    QRect ClipRect(const CClip& clip, int32_t row) const;
    bool IsOnPositionLine(const QPoint& pos) const;
    QPoint LastPointer() const { return m_lastPointer; }

    // ---- gestures ----
    // Runs op through the project (the history owns it). True when it was done.
    bool Run(std::unique_ptr<COperation> op);
    // Creates a clip at the client point, as a double click on empty space does.
    bool CreateClipAt(const QPoint& pos);
    bool DeleteSelection();
    bool CutSelection();
    bool CopySelection();
    bool Paste();
    bool CanPaste() const;
    bool DuplicateSelection();
    // "Merge two Clips" on a selection of exactly two clips.
    bool MergeSelection();
    // "Split Clip" of the current clip at the song position (snapped to the nearest grid point).
    bool SplitCurrentAtPosition();
    // Where Insert and Paste act: the pointer's last place, or the song position on the current
    // track when the pointer has not been over the canvas.
    QPoint PastePoint() const;
    void OpenCurrentInEditor();
    void StartRename();
    void ChooseColour();
    // Starts dragging the selection with the clip grabbed at pos first.
    void StartClipDrag(const CClipRef& grabbed, const QPoint& pos);
    // The arrows and the nudges; true when the key was one of them.
    bool HandleNavigationKey(int key, Qt::KeyboardModifiers modifiers);
    // The context menu for a click at pos (client pixels), or from the keyboard (pos null).
    void ShowContextMenu(const QPoint& pos, bool fromKeyboard);

    // Overlay of the tool changed between the two rectangles.
    void OverlayMoved(const QRect& before, const QRect& after);
    // The rubber band now covers other clips: redraw those whose state changed.
    void BandChanged();
    // Drag text of the status line while something is dragged over the canvas.
    void SetHoverText(const QPoint& pos);

    // Whether the clip is drawn as inside the rubber band.
    bool IsInBandDrawn(const CClip* clip) const;

    // The whole status text (drag text, or hover + current + selection).
    QString StatusText() const;

    // ---- the project's calls (through the window seam) ----
    void ClipInserted(int32_t trackIndex, const CClip& clip);
    void ClipRemoved(const CClip& clip);
    void ClipReplaced(const CClip& removed, int32_t trackIndex, const CClip& placed);
    void ClipChanged(const CClip& clip);
    void ModelChanged();

    // ---- takes being recorded, shown until they become clips ----
    void RecordingStarted(int32_t trackId, tick position);
    // Notes and events carry times relative to the take's clip.
    void NoteRecorded(int32_t trackId, const CNote& note);
    void EventRecorded(int32_t trackId, const CMidiEvent& event);
    void RecordingFinished(int32_t trackId);

    // ---- CDropTarget ----
    EDropEffect DragEnter(const CDragPayload& payload, const CDragPoint& point) override;
    EDropEffect DragOver(const CDragPayload& payload, const CDragPoint& point) override;
    void DragLeave(const CDragPayload& payload) override;
    bool Drop(const CDragPayload& payload, const CDragPoint& point) override;

signals:
    void StatusChanged(const QString& text);
    void ToolChanged(int32_t tool);
    void OpenEditorRequested(CClip& clip);

protected:
    void PaintContent(QPainter& painter, const QRect& exposed) override;
    void PaintOverlays(QPainter& painter, const QRect& exposed) override;

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A take of the recording display: where it began, its notes and events so far.
    struct STakeShown {
        int32_t trackId = 0;
        tick started = 0;
        // The song tick of the take's time 0, from the first note or event's arrival.
        std::optional<tick> origin;
        std::vector<CNote> notes;
        std::vector<CMidiEvent> events;
    };
    STakeShown* FindTake(int32_t trackId);
    void PaintTakes(QPainter& painter, const QRect& exposed);
    QRect RowBand(const QRect& exposed, int32_t row) const;
    bool CollectRowClips(int32_t row, tick left, tick right);
    void ComposeRow(CScanlineRaster& raster, CTracksClipPainter& clips, const QRect& exposed,
                    int32_t row) const;
    void FinishRow(QPainter& painter, const CScanlineRaster& raster, CTracksClipPainter& clips,
                   const QRect& exposed, int32_t row,
                   const std::vector<const CClip*>& rowClips) const;
    void FindBarLines(const QRect& exposed);
    void ForEachLoopLine(const QRect& band,
                         const std::function<void(int x, const QColor&)>& draw) const;
    void PaintTimeLines(QPainter& painter, const QRect& band) const;
    void PaintRowBackground(QPainter& painter, const QRect& exposed, int32_t row) const;
    QRect TakeRect(const STakeShown& take) const;
    void InvalidateTake(const STakeShown& take);

    void OnViewChanged();
    void OnShownPositionChanged(tick from, tick to);
    void UpdateScrollBars();
    void InvalidateClip(const CClip& clip, int32_t row);
    void InvalidateSelection();
    void UpdateStatus();
    QString CurrentText() const;
    QString SelectionText() const;
    QString DragText() const;
    QRect PositionStrip(tick at) const;
    void CommitRename();
    void HideRename();
    void ChooseCurrentIfNone();
    bool Nudge(int direction, bool large);
    // The clip an arrow key leads to from the current one (none at the ends).
    CClipRef Neighbour(int key) const;
    // Track index of the clip; -1 when the project does not hold it.
    int32_t RowOf(const CClip* clip) const;
    CToolInput InputOf(const QMouseEvent& event) const;
    // Drop position of a payload over the canvas.
    EDropEffect DropEffectOf(const CDragPayload& payload, const CDragPoint& point) const;
    void DrawDropPreview(QPainter& painter) const;
    QRect DropPreviewRect() const;
    void AutoScroll(const QPoint& pos);
    std::vector<CClipRef> SelectionGrabbedFirst(const CClip* grabbed) const;
    QMenu* BuildMenu(int kind);
    bool AskCreateTracks() const;

    CTracksContext& m_context;
    std::unique_ptr<CCanvasTool> m_tool;
    std::vector<CClipRef> m_selection;
    CClipRef m_current;
    QPoint m_lastPointer;
    QString m_hoverText;
    // What is dragged over the canvas (borrowed from the drag context), where, and how.
    const CDragPayload* m_dragPayload = nullptr;
    QPoint m_dragPos;
    bool m_dragCopy = false;
    // The clips last drawn as inside the rubber band.
    std::vector<CClipRef> m_inBand;
    // The clips of the row being painted, left to right.
    std::vector<const CClip*> m_rowClips;
    // The bar lines of the area being painted.
    std::vector<int> m_barLines;
    QLineEdit* m_nameEditor = nullptr;
    CClip* m_renaming = nullptr;
    bool m_syncingScrollBars = false;
    // The view the cached picture shows: a change of the first row alone scrolls the picture.
    struct SShownView {
        tick left = 0;
        int32_t firstRow = 0;
        int32_t scale = 0;
        int32_t rowHeight = 0;
        int32_t trackCount = 0;
        tick loopStart = 0;
        tick loopEnd = 0;
        QSize client;
        // Equal in everything but the first row.
        bool SameBut(const SShownView& o) const
        {
            return left == o.left && scale == o.scale && rowHeight == o.rowHeight &&
                   trackCount == o.trackCount && loopStart == o.loopStart && loopEnd == o.loopEnd &&
                   client == o.client;
        }
    } m_shown;
    std::vector<STakeShown> m_takes;
};
