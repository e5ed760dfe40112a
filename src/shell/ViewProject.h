#pragma once
// The project window's tree: the project, its tracks and mixer windows, and its phrase banks,
// which the tree adds, removes, renames, imports, exports and reorders. Every change to the banks
// is an operation of the project; the operations update the tree through the project windows.
// User-interface thread only.

#include <QTreeWidget>

#include <string>

#include "editing/DragContext.h"
#include "shell/ChildFrames.h"

class CEditText;
class CPhraseBank;
class CProjectDoc;
class CShellProjectWindows;
class QMenu;

// The tree itself: routes drags, drops and the context key to its owner.
class CProjectTree : public QTreeWidget {
    Q_OBJECT
public:
    using QTreeWidget::QTreeWidget;
    // The insert mark's place in viewport pixels; a null line hides it.
    void SetInsertMark(const QLine& line);

signals:
    void DragStarting(QTreeWidgetItem* item);
    void ContextAt(QTreeWidgetItem* item, const QPoint& global);
    void ViewMoved();

protected:
    void startDrag(Qt::DropActions actions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QLine m_insertMark;
};

class CViewProject : public CShellView, public CDropTarget {
    Q_OBJECT
public:
    // The kinds of the tree's items, kept in each item's record.
    enum EItemKind : int { kRoot = 0, kFolder = 1, kBank = 2, kTracks = 3, kMixer = 4 };
    static constexpr int kNameLength = 50;
    static constexpr const char* kNewBankName = "<New Bank>";

    CViewProject(CShellProjectWindows& windows, CProjectDoc& doc, QWidget* parent = nullptr);

    CProjectTree& GetTree() const { return *m_tree; }
    // Builds all items again from the project.
    void Rebuild();
    void RefreshView() override { Rebuild(); }
    // The updates the bank operations send.
    void BankInserted(int index);
    void BankRemoved(int index);
    void BankMoved(int from, int to);
    void BankRenamed(const CPhraseBank& bank);

    QTreeWidgetItem* GetRoot() const { return m_root; }
    QTreeWidgetItem* GetFolder() const { return m_folder; }
    QTreeWidgetItem* GetTracksItem() const { return m_tracks; }
    QTreeWidgetItem* GetMixerItem() const { return m_mixer; }
    QTreeWidgetItem* BankItem(int index) const;
    static EItemKind KindOf(const QTreeWidgetItem* item);
    EItemKind SelectedKind() const;
    // Index of the selected bank, -1 when the selection is not a bank.
    int SelectedBank() const;
    void Select(QTreeWidgetItem* item);

    // Renaming in place; the box exists while renaming.
    void StartRename();
    CEditText* GetRenameBox() const { return m_rename; }
    // Imports a MIDI file (empty: ask for one) as a new bank at the end; false when nothing came.
    bool ImportBank(const std::string& path);
    // Writes the selected bank's phrases to a MIDI file (empty: ask for one).
    bool ExportBank(const std::string& path);
    // The popup of the selected item (null for the root); the caller owns it.
    QMenu* CreateContextMenu();

    bool OnCommand(ECommand id) override;
    bool OnUpdateCommand(ECommand id, CCommandUi& ui) override;

    EDropEffect DragEnter(const CDragPayload& payload, const CDragPoint& point) override;
    EDropEffect DragOver(const CDragPayload& payload, const CDragPoint& point) override;
    void DragLeave(const CDragPayload& payload) override;
    bool Drop(const CDragPayload& payload, const CDragPoint& point) override;

private:
    QTreeWidgetItem* MakeItem(QTreeWidgetItem* parent, const QString& text, EItemKind kind,
                              int image, CPhraseBank* bank, int at);
    // The bank index a drop at point inserts at, -1 when it is refused; shows the insert mark.
    int DropTarget(const CDragPoint& point, bool showMark);
    void OnDragStarting(QTreeWidgetItem* item);
    void OnContext(QTreeWidgetItem* item, const QPoint& global);
    void CommitRename();
    void HideRename();
    void Run(ECommand id);

    CShellProjectWindows& m_windows;
    CProjectDoc& m_doc;
    CProjectTree* m_tree;
    QTreeWidgetItem* m_root = nullptr;
    QTreeWidgetItem* m_tracks = nullptr;
    QTreeWidgetItem* m_mixer = nullptr;
    QTreeWidgetItem* m_folder = nullptr;
    CEditText* m_rename = nullptr;
    CPhraseBank* m_renaming = nullptr;
};
