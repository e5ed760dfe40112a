#pragma once
// The list of a phrase bank: one fixed-height row per phrase in bank order with its number, solo
// and mute switches, play and stop buttons, name, colour handle, play state and level, and a
// small keyboard showing its trigger range. The current row, scrolling, the bank's commands,
// in-place renaming, key-range drags, phrase drags onto tracks and drops of phrases and clips.
// Rows are drawn into the canvas cache and drawn again only when what they show changed.
// User-interface thread only.

#include <QTimer>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "controls/Commands.h"
#include "editing/DragContext.h"
#include "editors/CanvasView.h"
#include "editors/PhraseListGeometry.h"

class CPhrase;
class CPhraseBank;
class CProjectDoc;
class CUserServices;
class COperation;
class QLineEdit;
class QMenu;

// The list's own commands beyond the shared command table.
enum class EPhraseCommand {
    OpenEditor,
    Add,
    Insert,
    Delete,
    Cut,
    Copy,
    Paste,
    Rename,
    SelectColour,
    Play,
    StopNow,
    Mute,
    Solo,
    DrumPhrase,
    Import,
    Export,
};

class CViewPhraseList : public CCanvasView, public CDropTarget {
    Q_OBJECT
public:
    // user: who answers file choosers and messages (borrowed; null: file commands do nothing).
    CViewPhraseList(CProjectDoc& doc, CPhraseBank& bank, CUserServices* user,
                    QWidget* parent = nullptr);
    ~CViewPhraseList() override;

    CProjectDoc& GetDoc() const { return m_doc; }
    CPhraseBank& GetBank() const { return m_bank; }
    const CPhraseListGeometry& Geometry() const { return m_geometry; }

    int32_t GetCurrentRow() const { return m_current; }
    // The phrase of the current row, or null.
    CPhrase* GetCurrentPhrase() const;
    // -1 clears; other rows are kept inside the list and scrolled into view.
    void SetCurrentRow(int32_t row);
    int32_t GetFirstRow() const { return m_geometry.GetFirstRow(); }
    void SetFirstRow(int32_t row);
    // Row boundary a drag would insert at, -1 when no drag is over the list.
    int32_t GetInsertionRow() const { return m_insertRow; }

    // The shared commands (cut, copy, paste, delete, rename, open, add, insert, import and
    // export) as the window offers them.
    bool OnCommand(ECommand id);
    bool OnUpdateCommand(ECommand id, CCommandUi& ui);
    // Every command of the list; false when it does not apply now (no current phrase, another
    // project plays).
    bool Run(EPhraseCommand command);
    bool CanRun(EPhraseCommand command) const;
    // Whether the drum check mark shows for the current phrase.
    bool IsCurrentDrum() const;
    // The menu of the right click: on a phrase or on no row.
    QMenu* BuildMenu(bool onPhrase);

    // The bank changed: rows whose picture differs are drawn again, the current row stays on
    // its phrase. Insertions and removals shift the current row with its phrase.
    void PhraseInserted(int32_t index);
    void PhraseRemoved(int32_t index);
    void RowsChanged();
    // What the engine reported about the bank's players: redraws the rows whose play state or
    // level changed; a raised level starts the fall-off.
    void PlayStatesChanged();

    // How many rows were drawn into the cache (tests and benchmarks check what a refresh costs).
    int64_t GetRowPaints() const { return m_rowPaints; }

    EDropEffect DragEnter(const CDragPayload& payload, const CDragPoint& point) override;
    EDropEffect DragOver(const CDragPayload& payload, const CDragPoint& point) override;
    void DragLeave(const CDragPayload& payload) override;
    bool Drop(const CDragPayload& payload, const CDragPoint& point) override;

    QSize sizeHint() const override;

signals:
    // The current row or its phrase changed (the property panel follows it).
    void CurrentChanged();

protected:
    void PaintContent(QPainter& painter, const QRect& exposed) override;
    void PaintOverlays(QPainter& painter, const QRect& exposed) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // What one row shows; a row is drawn again only when this changes.
    struct SRowLook {
        const CPhrase* phrase = nullptr;
        std::string name;
        uint32_t colour = 0;
        uint8_t from = 0;
        uint8_t to = 0;
        bool current = false;
        bool solo = false;
        bool mute = false;
        bool playPressed = false;
        int8_t state = 0; // 0 stopped, 1 waiting, 2 playing
        int16_t levelPixels = 0;
        bool operator==(const SRowLook&) const = default;
    };
    SRowLook LookOf(int32_t row) const;
    // stateOnly: the painter is clipped to the state zone, so only that zone is drawn.
    void PaintRow(QPainter& painter, int32_t row, const SRowLook& look, bool stateOnly);
    void PaintKeyboard(QPainter& painter, const CPixelBox& box, uint8_t from, uint8_t to) const;
    static void DrawKeyboard(QPainter& painter, const CPixelBox& box, uint8_t from, uint8_t to);
    void PaintState(QPainter& painter, const CPixelBox& box, const SRowLook& look) const;
    // Draws again the visible rows whose look changed.
    void RefreshChangedRows();
    void EmitIfCurrentChanged();
    void SyncScrollBar();

    // Gestures (ViewPhraseListMouse.cpp).
    void PressRow(int32_t row, EPhraseZone zone, const QPoint& pos);
    void StartKeyRangeDrag(int32_t row, const QPoint& pos);
    void FollowKeyRangeDrag(const QPoint& pos);
    void StartPhraseDrag();
    void ShowContextMenu(const QPoint& pos, bool fromKeyboard);
    EDropEffect DragAt(const CDragPayload& payload, const CDragPoint& point);
    void SetInsertionRow(int32_t row);
    // What the zone under pos does, for its tooltip; empty outside the rows.
    QString ZoneTip(const QPoint& pos) const;

    // Commands (ViewPhraseListCommands.cpp).
    bool Execute(std::unique_ptr<COperation> op);
    bool AddPhrase(int32_t index);
    bool PasteAt(int32_t index);
    bool PlayOrStop(bool play);
    bool ToggleFlag(bool solo);
    bool SetProperty(int32_t number, int64_t value);
    bool ChooseColour();
    bool ImportFile();
    bool ExportCurrent();
    void StartRename();
    void CommitRename();
    void HideRename();
    // The insertion index for new phrases: the current row, else the end.
    int32_t InsertIndex() const;
    bool IsOwnProjectActive() const;
    bool CanPaste() const;

    CProjectDoc& m_doc;
    CPhraseBank& m_bank;
    CUserServices* m_user;
    CPhraseListGeometry m_geometry;
    int32_t m_current = -1;
    // The current row's phrase, remembered across a removal so that a move (a removal, then an
    // insertion) keeps it current. Compared, never dereferenced.
    const CPhrase* m_currentPhrase = nullptr;
    bool m_currentLost = false;
    // The current row and phrase last announced by CurrentChanged.
    int32_t m_emittedRow = -1;
    const CPhrase* m_emittedPhrase = nullptr;
    int32_t m_insertRow = -1;
    // Looks of the rows as drawn, from the first visible row.
    std::vector<SRowLook> m_drawn;
    int64_t m_rowPaints = 0;

    // Press state: the row whose play button is held, the handle press, the key-range drag.
    int32_t m_playHeld = -1;
    int32_t m_handleRow = -1;
    QPoint m_pressPos;
    int32_t m_rangeRow = -1;
    int32_t m_rangeAnchor = -1;

    QLineEdit* m_nameEditor = nullptr;
    CPhrase* m_renaming = nullptr;
    QTimer m_decay;
};
