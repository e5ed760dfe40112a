#include "shell/ViewProject.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QHeaderView>
#include <QIconEngine>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QVBoxLayout>

#include "controls/Theme.h"
#include "document/ProjectDoc.h"
#include "document/UserServices.h"
#include "editing/BankOperations.h"
#include "editing/Clipboard.h"
#include "files/SmfProject.h"
#include "files/SmfWriter.h"
#include "model/Errors.h"
#include "shell/Dialogs.h"
#include "shell/EditText.h"
#include "shell/ProjectWindowRegistry.h"
#include "shell/ShellArt.h"

namespace {

constexpr int kKindRole = Qt::UserRole;
constexpr int kBankRole = Qt::UserRole + 1;
constexpr int kItemHeight = 18;
// The mime type that marks a drag of this program; the payload itself is in the drag context.
const char* const kDragMime = "application/x-tonalweaver-drag";

// The "PhraseBanks" folder: a folder holding three coloured phrase bars, painted at any size.
class CFolderIconEngine : public QIconEngine {
public:
    void paint(QPainter* p, const QRect& rect, QIcon::Mode, QIcon::State) override
    {
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        p->translate(rect.topLeft());
        p->scale(rect.width() / 16.0, rect.height() / 16.0);
        p->setPen(QPen(QColor(0x2b, 0x33, 0x40), 1.0));
        p->setBrush(QColor(0x6f, 0xa8, 0xdc));
        QPainterPath folder;
        folder.moveTo(1.5, 3.5);
        folder.lineTo(6, 3.5);
        folder.lineTo(7.5, 5);
        folder.lineTo(14.5, 5);
        folder.lineTo(14.5, 13.5);
        folder.lineTo(1.5, 13.5);
        folder.closeSubpath();
        p->drawPath(folder);
        p->setPen(Qt::NoPen);
        const QColor bars[] = {QColor(0xe0, 0x8a, 0x2e), QColor(0x26, 0xd8, 0x9d),
                               QColor(0xf4, 0xf6, 0xf8)};
        for (int i = 0; i < 3; ++i)
            p->fillRect(QRectF(3.5 + i * 1.5, 7 + i * 2, 6, 1.2), bars[i]);
        p->restore();
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        paint(&p, QRect(QPoint(), size), mode, state);
        return pixmap;
    }
    QIconEngine* clone() const override { return new CFolderIconEngine; }
};

QIcon ItemIcon(int image)
{
    switch (image) {
    case 0:
        return ShellIcon(EShellImage::Project);
    case 1:
        return ShellIcon(EShellImage::Tracks);
    case 2:
        return ShellIcon(EShellImage::Mixer);
    case 3:
        return QIcon(new CFolderIconEngine);
    default:
        return ShellIcon(EShellImage::PhraseBank);
    }
}

CDragPoint PointOf(const QPoint& pos, Qt::KeyboardModifiers modifiers)
{
    return CDragPoint{pos.x(), pos.y(), (modifiers & Qt::ControlModifier) != 0};
}

Qt::DropAction ActionOf(EDropEffect effect)
{
    switch (effect) {
    case EDropEffect::Copy:
        return Qt::CopyAction;
    case EDropEffect::Move:
        return Qt::MoveAction;
    default:
        return Qt::IgnoreAction;
    }
}

CDropTarget* DropTargetOf(QWidget* tree)
{
    return dynamic_cast<CDropTarget*>(tree->parentWidget());
}

} // namespace

// ---- the tree widget ----

void CProjectTree::SetInsertMark(const QLine& line)
{
    if (line == m_insertMark) return;
    m_insertMark = line;
    viewport()->update();
}

void CProjectTree::startDrag(Qt::DropActions)
{
    emit DragStarting(currentItem());
}

void CProjectTree::dragEnterEvent(QDragEnterEvent* event)
{
    CDropTarget* target = DropTargetOf(this);
    if (!event->mimeData()->hasFormat(kDragMime) || target == nullptr) {
        QTreeWidget::dragEnterEvent(event);
        return;
    }
    const EDropEffect effect = CDragContext::Instance().Enter(
        *target, PointOf(event->position().toPoint(), event->modifiers()));
    event->setDropAction(ActionOf(effect));
    event->accept();
}

void CProjectTree::dragMoveEvent(QDragMoveEvent* event)
{
    CDropTarget* target = DropTargetOf(this);
    if (!event->mimeData()->hasFormat(kDragMime) || target == nullptr) {
        QTreeWidget::dragMoveEvent(event);
        return;
    }
    const EDropEffect effect = CDragContext::Instance().Over(
        *target, PointOf(event->position().toPoint(), event->modifiers()));
    if (effect == EDropEffect::None) {
        event->ignore();
        return;
    }
    event->setDropAction(ActionOf(effect));
    event->accept();
}

void CProjectTree::dragLeaveEvent(QDragLeaveEvent* event)
{
    if (CDropTarget* target = DropTargetOf(this)) CDragContext::Instance().Leave(*target);
    QTreeWidget::dragLeaveEvent(event);
}

void CProjectTree::dropEvent(QDropEvent* event)
{
    CDropTarget* target = DropTargetOf(this);
    if (!event->mimeData()->hasFormat(kDragMime) || target == nullptr) {
        QTreeWidget::dropEvent(event);
        return;
    }
    const CDragPoint point = PointOf(event->position().toPoint(), event->modifiers());
    if (CDragContext::Instance().Drop(*target, point)) {
        event->setDropAction(ActionOf(DropEffectFor(point.m_control)));
        event->accept();
    } else {
        event->ignore();
    }
}

void CProjectTree::mousePressEvent(QMouseEvent* event)
{
    // A right press only selects; the popup comes with the context-menu event.
    if (event->button() == Qt::RightButton) {
        if (QTreeWidgetItem* item = itemAt(event->position().toPoint())) setCurrentItem(item);
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

void CProjectTree::contextMenuEvent(QContextMenuEvent* event)
{
    QTreeWidgetItem* item = currentItem();
    QPoint global = event->globalPos();
    if (event->reason() == QContextMenuEvent::Mouse) {
        item = itemAt(event->pos());
        if (item != nullptr) setCurrentItem(item);
    } else if (item != nullptr) {
        // From the keyboard the popup opens at the selected item.
        global = viewport()->mapToGlobal(visualItemRect(item).bottomLeft());
    }
    if (item != nullptr) emit ContextAt(item, global);
}

void CProjectTree::scrollContentsBy(int dx, int dy)
{
    QTreeWidget::scrollContentsBy(dx, dy);
    emit ViewMoved();
}

void CProjectTree::resizeEvent(QResizeEvent* event)
{
    QTreeWidget::resizeEvent(event);
    emit ViewMoved();
}

void CProjectTree::paintEvent(QPaintEvent* event)
{
    QTreeWidget::paintEvent(event);
    if (m_insertMark.isNull()) return;
    QPainter p(viewport());
    const QColor mark(0x87, 0xce, 0xfa);
    p.setPen(QPen(mark, 2));
    p.drawLine(m_insertMark);
    // Small ends, so the mark reads as a place between items.
    p.setPen(QPen(mark, 1));
    for (const QPoint& end : {m_insertMark.p1(), m_insertMark.p2()})
        p.drawLine(end.x(), end.y() - 3, end.x(), end.y() + 3);
}

// ---- the view ----

CViewProject::CViewProject(CShellProjectWindows& windows, CProjectDoc& doc, QWidget* parent)
    : CShellView(parent), m_windows(windows), m_doc(doc), m_tree(new CProjectTree(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tree);
    setFocusProxy(m_tree);

    m_tree->header()->hide();
    m_tree->setColumnCount(1);
    m_tree->setRootIsDecorated(true);
    m_tree->setUniformRowHeights(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setDragEnabled(true);
    m_tree->setAcceptDrops(true);
    m_tree->viewport()->setAcceptDrops(true);
    m_tree->setDragDropMode(QAbstractItemView::DragDrop);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setIconSize(QSize(16, 16));
    // A palette, not a style sheet: the in-place editor keeps its own colours.
    QPalette palette = m_tree->palette();
    palette.setColor(QPalette::Base, CTheme::PanelBackground());
    palette.setColor(QPalette::Window, CTheme::PanelBackground());
    palette.setColor(QPalette::Text, Qt::white);
    m_tree->setPalette(palette);
    m_tree->setFrameShape(QFrame::NoFrame);
    m_tree->setToolTip(QStringLiteral("Project: tracks, mixer and phrase banks"));

    connect(m_tree, &QTreeWidget::itemActivated, this, [this] { Run(ECommand::OpenItem); });
    connect(m_tree, &CProjectTree::DragStarting, this, &CViewProject::OnDragStarting);
    connect(m_tree, &CProjectTree::ContextAt, this, &CViewProject::OnContext);
    connect(m_tree, &CProjectTree::ViewMoved, this, &CViewProject::HideRename);
    Rebuild();
}

QTreeWidgetItem* CViewProject::MakeItem(QTreeWidgetItem* parent, const QString& text,
                                        EItemKind kind, int image, CPhraseBank* bank, int at)
{
    auto* item = new QTreeWidgetItem;
    item->setText(0, text);
    item->setIcon(0, ItemIcon(image));
    item->setData(0, kKindRole, kind);
    item->setData(0, kBankRole, QVariant::fromValue(reinterpret_cast<quintptr>(bank)));
    item->setToolTip(0, text);
    item->setSizeHint(0, QSize(-1, kItemHeight));
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (kind == kBank) flags |= Qt::ItemIsDragEnabled;
    item->setFlags(flags);
    if (parent == nullptr)
        m_tree->addTopLevelItem(item);
    else if (at < 0 || at >= parent->childCount())
        parent->addChild(item);
    else
        parent->insertChild(at, item);
    return item;
}

void CViewProject::Rebuild()
{
    HideRename();
    m_tree->clear();
    m_root = MakeItem(nullptr, QStringLiteral("Project"), kRoot, 0, nullptr, -1);
    m_tracks = MakeItem(m_root, QStringLiteral("Tracks"), kTracks, 1, nullptr, -1);
    m_mixer = MakeItem(m_root, QStringLiteral("Mixer"), kMixer, 2, nullptr, -1);
    m_folder = MakeItem(m_root, QStringLiteral("PhraseBanks"), kFolder, 3, nullptr, -1);
    for (int i = 0; i < m_doc.GetBankCount(); ++i) {
        CPhraseBank& bank = m_doc.GetBankAt(i);
        MakeItem(m_folder, FromModelText(bank.GetName()), kBank, 4, &bank, -1);
    }
    m_root->setExpanded(true);
    m_folder->setExpanded(true);
}

QTreeWidgetItem* CViewProject::BankItem(int index) const
{
    if (index < 0 || index >= m_folder->childCount()) return nullptr;
    return m_folder->child(index);
}

CViewProject::EItemKind CViewProject::KindOf(const QTreeWidgetItem* item)
{
    return item == nullptr ? kRoot : static_cast<EItemKind>(item->data(0, kKindRole).toInt());
}

CViewProject::EItemKind CViewProject::SelectedKind() const
{
    return KindOf(m_tree->currentItem());
}

int CViewProject::SelectedBank() const
{
    QTreeWidgetItem* item = m_tree->currentItem();
    if (item == nullptr || KindOf(item) != kBank) return -1;
    return m_folder->indexOfChild(item);
}

void CViewProject::Select(QTreeWidgetItem* item)
{
    m_tree->setCurrentItem(item);
    if (item != nullptr) m_tree->scrollToItem(item);
}

void CViewProject::BankInserted(int index)
{
    if (index < 0 || index >= m_doc.GetBankCount()) return Rebuild();
    CPhraseBank& bank = m_doc.GetBankAt(index);
    Select(MakeItem(m_folder, FromModelText(bank.GetName()), kBank, 4, &bank, index));
}

void CViewProject::BankRemoved(int index)
{
    QTreeWidgetItem* item = BankItem(index);
    if (item == nullptr) return Rebuild();
    HideRename();
    if (m_tree->currentItem() == item) {
        QTreeWidgetItem* next = BankItem(index + 1);
        if (next == nullptr) next = BankItem(index - 1);
        Select(next != nullptr ? next : m_folder);
    }
    delete item;
}

void CViewProject::BankMoved(int from, int to)
{
    QTreeWidgetItem* item = BankItem(from);
    if (item == nullptr || to < 0 || to >= m_folder->childCount()) return Rebuild();
    m_folder->takeChild(from);
    m_folder->insertChild(to, item);
    Select(item);
}

void CViewProject::BankRenamed(const CPhraseBank& bank)
{
    const int index = m_doc.IndexOfBank(&bank);
    if (QTreeWidgetItem* item = BankItem(index)) {
        item->setText(0, FromModelText(bank.GetName()));
        item->setToolTip(0, item->text(0));
    }
}

// ---- renaming ----

void CViewProject::StartRename()
{
    const int index = SelectedBank();
    if (index < 0) return;
    QTreeWidgetItem* item = BankItem(index);
    m_tree->scrollToItem(item);
    HideRename();
    m_renaming = &m_doc.GetBankAt(index);
    m_rename = new CEditText(m_tree->viewport());
    m_rename->SetName(QStringLiteral("Name"));
    m_rename->SetMaxLength(kNameLength);
    m_rename->SetFocusOwner(m_tree);
    m_rename->SetText(FromModelText(m_renaming->GetName()));
    const QRect r = m_tree->visualItemRect(item);
    m_rename->setGeometry(QRect(QPoint(r.left() + 2, r.top() + 1),
                                QPoint(m_tree->viewport()->width() - 1, r.bottom() + 1)));
    m_rename->show();
    connect(m_rename, &CEditValue::ValueChanged, this, &CViewProject::CommitRename);
    m_rename->OpenEditor(m_rename->GetText());
    // Leaving the editor (Escape, a click elsewhere) ends renaming without a change.
    if (QWidget* editor = m_rename->GetEditor()) {
        connect(editor, &QObject::destroyed, this,
                [this] { QTimer::singleShot(0, this, &CViewProject::HideRename); });
    }
}

void CViewProject::CommitRename()
{
    if (m_rename == nullptr || m_renaming == nullptr) return;
    const std::string name = ToModelText(m_rename->GetText(), m_renaming->GetName());
    CPhraseBank* bank = m_renaming;
    HideRename();
    if (m_doc.IndexOfBank(bank) < 0 || name == bank->GetName()) return;
    m_doc.Execute(std::make_unique<COpBankRename>(*bank, name));
}

void CViewProject::HideRename()
{
    m_renaming = nullptr;
    if (m_rename == nullptr) return;
    CEditText* box = m_rename;
    m_rename = nullptr;
    box->hide();
    box->deleteLater();
    m_tree->viewport()->update();
}

// ---- files ----

bool CViewProject::ImportBank(const std::string& path)
{
    CUserServices* user = m_windows.GetUser();
    if (user == nullptr) return false;
    std::unique_ptr<CPhraseBank> bank = ImportSmfAsBank(path, *user);
    if (bank == nullptr || bank->GetCount() == 0) return false;
    return m_doc.Execute(std::make_unique<COpBankCreate>(-1, std::move(bank)));
}

bool CViewProject::ExportBank(const std::string& chosen)
{
    const int index = SelectedBank();
    CUserServices* user = m_windows.GetUser();
    if (index < 0 || user == nullptr) return false;
    const CPhraseBank& bank = m_doc.GetBankAt(index);
    const std::string path =
        chosen.empty() ? user->ChooseFileToSave(kSmfExtension, kSmfFilter, bank.GetName() + ".mid")
                       : chosen;
    if (path.empty()) return false;
    try {
        const CProjectInfo& info = m_doc.GetInfo();
        CSmfWriter writer(m_doc.GetTempo(), info.m_copyright, bank.GetName());
        for (int i = 0; i < bank.GetCount(); ++i)
            writer.AddPhrase(bank.GetPhraseAt(i));
        writer.WriteFile(path);
    } catch (const CTwError& error) {
        user->ShowMessage(error.what());
        return false;
    }
    return true;
}

// ---- commands ----

bool CViewProject::OnUpdateCommand(ECommand id, CCommandUi& ui)
{
    const EItemKind kind = SelectedKind();
    const bool bank = SelectedBank() >= 0;
    switch (id) {
    case ECommand::OpenItem:
        ui.enabled = bank || kind == kTracks || kind == kMixer;
        return true;
    case ECommand::AddItem:
        ui.enabled = true;
        return true;
    case ECommand::InsertItem:
    case ECommand::Delete:
    case ECommand::RemoveItem:
    case ECommand::Cut:
    case ECommand::Copy:
    case ECommand::Rename:
    case ECommand::ExportBank:
        ui.enabled = bank;
        return true;
    case ECommand::Paste:
        ui.enabled = CClipboard::Instance().GetKind() == EClipKind::PhraseBank;
        return true;
    case ECommand::ImportBank:
        ui.enabled = kind == kFolder;
        return true;
    default:
        return false;
    }
}

bool CViewProject::OnCommand(ECommand id)
{
    const int index = SelectedBank();
    auto newBank = [] { return std::make_unique<CPhraseBank>(kNewBankName); };
    switch (id) {
    case ECommand::OpenItem:
        if (index >= 0)
            m_windows.OpenBankWindow(m_doc.GetBankAt(index), true);
        else if (SelectedKind() == kTracks)
            m_windows.OpenTracksWindow(true);
        else if (SelectedKind() == kMixer)
            m_windows.OpenMixerWindow(true);
        return true;
    case ECommand::AddItem:
        m_doc.Execute(std::make_unique<COpBankCreate>(-1, newBank()));
        return true;
    case ECommand::InsertItem:
        m_doc.Execute(std::make_unique<COpBankCreate>(index, newBank()));
        return true;
    case ECommand::Delete:
    case ECommand::RemoveItem:
        m_doc.Execute(std::make_unique<COpBankDelete>(index));
        return true;
    case ECommand::Cut:
        m_doc.Execute(std::make_unique<COpBankCut>(index));
        return true;
    case ECommand::Copy:
        CClipboard::Instance().Put(std::make_unique<CClipboardBank>(m_doc.GetBankAt(index)));
        return true;
    case ECommand::Paste: {
        const auto* held = CClipboard::Instance().GetAs<CClipboardBank>();
        if (held == nullptr) return true;
        auto copy = std::make_unique<CPhraseBank>();
        copy->CopyFrom(held->GetBank());
        m_doc.Execute(std::make_unique<COpBankPaste>(index < 0 ? -1 : index + 1, std::move(copy)));
        return true;
    }
    case ECommand::Rename:
        StartRename();
        return true;
    case ECommand::ImportBank:
        ImportBank({});
        return true;
    case ECommand::ExportBank:
        ExportBank({});
        return true;
    default:
        return false;
    }
}

void CViewProject::Run(ECommand id)
{
    CCommandUi ui;
    if (OnUpdateCommand(id, ui) && ui.enabled) OnCommand(id);
}

QMenu* CViewProject::CreateContextMenu()
{
    std::vector<std::pair<ECommand, const char*>> entries;
    switch (SelectedKind()) {
    case kFolder:
        entries = {{ECommand::Paste, "&Paste"},
                   {ECommand::AddItem, "&Add"},
                   {ECommand::ImportBank, "&Import from MIDI file"}};
        break;
    case kBank:
        entries = {{ECommand::OpenItem, "&Open Editor"},
                   {ECommand::Cut, "Cu&t"},
                   {ECommand::Copy, "&Copy"},
                   {ECommand::Paste, "&Paste"},
                   {ECommand::InsertItem, "&Insert"},
                   {ECommand::Delete, "&Delete"},
                   {ECommand::Rename, "&Rename"},
                   {ECommand::ExportBank, "E&xport to MIDI file"}};
        break;
    case kTracks:
        entries = {{ECommand::OpenItem, "&Open Editor"}};
        break;
    case kMixer:
        entries = {{ECommand::OpenItem, "&Open"}};
        break;
    case kRoot:
        return nullptr;
    }
    auto* menu = new QMenu(this);
    for (const auto& [id, text] : entries) {
        QAction* action = menu->addAction(QString::fromUtf8(text));
        CCommandUi ui;
        OnUpdateCommand(id, ui);
        action->setEnabled(ui.enabled);
        connect(action, &QAction::triggered, this, [this, id = id] { Run(id); });
    }
    return menu;
}

void CViewProject::OnContext(QTreeWidgetItem*, const QPoint& global)
{
    QMenu* menu = CreateContextMenu();
    if (menu == nullptr) return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(global);
}

// ---- drag and drop ----

void CViewProject::OnDragStarting(QTreeWidgetItem* item)
{
    if (KindOf(item) != kBank) return;
    const int index = m_folder->indexOfChild(item);
    CDragContext& context = CDragContext::Instance();
    context.Begin(std::make_unique<CDragBank>(m_doc, m_doc.GetBankAt(index), index));
    auto* drag = new QDrag(m_tree);
    auto* data = new QMimeData;
    data->setData(kDragMime, QByteArray::number(index));
    drag->setMimeData(data);
    drag->setPixmap(item->icon(0).pixmap(QSize(16, 16), devicePixelRatioF()));
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
    context.End();
    m_tree->SetInsertMark({});
}

int CViewProject::DropTarget(const CDragPoint& point, bool showMark)
{
    const QPoint pos(point.m_x, point.m_y);
    QTreeWidgetItem* item = m_tree->itemAt(pos);
    const EItemKind kind = KindOf(item);
    if (item == nullptr || (kind != kBank && kind != kFolder)) {
        if (showMark) m_tree->SetInsertMark({});
        return -1;
    }
    const QRect r = m_tree->visualItemRect(item);
    const bool below = kind == kFolder || pos.y() > r.center().y();
    if (kind == kFolder && showMark) m_folder->setExpanded(true);
    if (showMark) {
        const int y = below ? r.bottom() : r.top();
        m_tree->SetInsertMark(QLine(r.left(), y, m_tree->viewport()->width() - 4, y));
    }
    if (kind == kFolder) return 0;
    return m_folder->indexOfChild(item) + (below ? 1 : 0);
}

EDropEffect CViewProject::DragEnter(const CDragPayload& payload, const CDragPoint& point)
{
    return DragOver(payload, point);
}

EDropEffect CViewProject::DragOver(const CDragPayload& payload, const CDragPoint& point)
{
    if (payload.GetKind() != EDragKind::PhraseBank || DropTarget(point, true) < 0)
        return EDropEffect::None;
    return DropEffectFor(point.m_control);
}

void CViewProject::DragLeave(const CDragPayload&)
{
    m_tree->SetInsertMark({});
}

bool CViewProject::Drop(const CDragPayload& payload, const CDragPoint& point)
{
    m_tree->SetInsertMark({});
    if (payload.GetKind() != EDragKind::PhraseBank) return false;
    const int target = DropTarget(point, false);
    if (target < 0) return false;
    const auto& dragged = static_cast<const CDragBank&>(payload);
    const bool sameProject = &dragged.GetSource() == &m_doc;
    if (!point.m_control && sameProject) {
        const int source = m_doc.IndexOfBank(&dragged.GetBank());
        return m_doc.Execute(std::make_unique<COpBankMove>(source, target));
    }
    // A copy, or a move from another project, which keeps its bank.
    auto copy = std::make_unique<CPhraseBank>();
    copy->CopyFrom(dragged.GetBank());
    return m_doc.Execute(std::make_unique<COpBankCopy>(target, std::move(copy)));
}
