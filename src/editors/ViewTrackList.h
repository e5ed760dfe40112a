#pragma once
// The track headers left of the clip canvas: one row per track, as tall as the canvas rows and
// scrolled with them, with the track's number, name and its solo, mute, input and record
// switches; the current track; header drags that move tracks; and the list's commands (add,
// insert, delete, rename, colour, drum track, MIDI file import and export).
// User-interface thread only.

#include <QRect>
#include <QWidget>

#include <tuple>

#include "controls/Commands.h"
#include "editing/DragContext.h"

class CTrack;
class CTracksContext;
class CUserServices;
class QLineEdit;
class QMenu;

// What a point of a header row lies on.
enum class EHeaderPart { None, Number, Name, Solo, Mute, Input, Record };

struct CHeaderHit {
    int32_t row = -1; // a track's index, or -1 below the last track
    EHeaderPart part = EHeaderPart::None;
};

class CViewTrackList : public QWidget, public CDropTarget {
    Q_OBJECT
public:
    explicit CViewTrackList(CTracksContext& context, QWidget* parent = nullptr);

    // Who answers the file choosers and shows messages of the MIDI file commands (borrowed;
    // null disables them).
    void SetUser(CUserServices* user) { m_user = user; }

    // The list's commands, offered by the tracks window while the list has the focus.
    bool OnCommand(ECommand id);
    bool OnUpdateCommand(ECommand id, CCommandUi& ui);

    // The project's calls: tracks came, went or changed.
    void TracksChanged();

    // ---- geometry ----
    CHeaderHit HitTest(const QPoint& pos) const;
    // The row's rectangle and the switch's square in it (client pixels).
    QRect RowRect(int32_t row) const;
    QRect PartRect(int32_t row, EHeaderPart part) const;
    // Where a track dropped at client y goes: before the row under it, or after it in its
    // lower half; the track count below the last track.
    int32_t InsertionIndex(int y) const;

    // ---- commands ----
    bool AddTrack();
    bool InsertTrack();
    bool DeleteTrack();
    void StartRename();
    void ChooseColour();
    bool ToggleDrum();
    // Toggles solo or mute (through the project), input or record (as an operation).
    void ToggleSwitch(int32_t row, EHeaderPart part);
    bool ImportTracks(const std::string& path = {});
    bool ExportTrack(const std::string& path = {});
    // The list's context menu at a client point (null: the current row).
    void ShowContextMenu(const QPoint& pos);
    QMenu* BuildMenu();
    // The in-place name editor while it is open, else null.
    QLineEdit* NameEditor() const;

    // ---- CDropTarget ----
    EDropEffect DragEnter(const CDragPayload& payload, const CDragPoint& point) override;
    EDropEffect DragOver(const CDragPayload& payload, const CDragPoint& point) override;
    void DragLeave(const CDragPayload& payload) override;
    bool Drop(const CDragPayload& payload, const CDragPoint& point) override;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PaintRow(QPainter& painter, int32_t row);
    bool IsOn(const CTrack& track, EHeaderPart part) const;
    QString ToolTipAt(const QPoint& pos) const;
    CTrack* TrackAt(int32_t row) const;
    CTrack* Current() const;
    // Makes the row current (clamped to the tracks) and brings it into view.
    void MoveCurrent(int32_t row);
    bool AcceptsPayload(const CDragPayload& payload) const;
    void ShowDropLine(int32_t index);
    void CommitRename();
    void HideRename();
    int IconSide() const;
    // Shifts the picture when only the first row changed, else redraws.
    void OnViewChanged();

    CTracksContext& m_context;
    // What the picture shows: the first row; row height, rows' height, track count and width.
    int32_t m_shownFirstRow = -1;
    std::tuple<int32_t, int32_t, int32_t, int> m_shown{0, 0, 0, 0};
    CUserServices* m_user = nullptr;
    // The header pressed for a possible drag, and where.
    int32_t m_pressRow = -1;
    QPoint m_pressPos;
    // Where a dragged header would go (-1: no drag over the list).
    int32_t m_dropIndex = -1;
    QLineEdit* m_nameEditor = nullptr;
    CTrack* m_renaming = nullptr;
};
