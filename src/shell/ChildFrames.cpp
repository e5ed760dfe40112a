#include "shell/ChildFrames.h"

#include "editors/BankEditor.h"
#include "editors/PianoRollContext.h"
#include "editors/PianoRollEditor.h"
#include "editors/TracksContext.h"
#include "editors/TracksEditor.h"
#include "editors/ViewTrackList.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QPaintEvent>
#include <QPainter>

#include "document/ProjectDoc.h"
#include "model/MidiData.h"
#include "model/PhraseBank.h"
#include "shell/Dialogs.h"
#include "shell/ProjectWindowRegistry.h"
#include "shell/ViewProject.h"
#include "shell/WndMixer.h"

namespace {

// The show states a placement stores.
constexpr int32_t kShowNormal = 1;
constexpr int32_t kShowMinimised = 2;
constexpr int32_t kShowMaximised = 3;

} // namespace

CViewEmpty::CViewEmpty(QWidget* parent) : CShellView(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

void CViewEmpty::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    p.fillRect(event->rect(), ViewBackground());
    // A quiet grid so an empty editor reads as a surface, not as a hole.
    p.setPen(QPen(ViewGrid(), 1));
    const QRect r = event->rect();
    constexpr int kStep = 24;
    for (int x = r.left() - r.left() % kStep; x <= r.right(); x += kStep)
        p.drawLine(x, r.top(), x, r.bottom());
    for (int y = r.top() - r.top() % kStep; y <= r.bottom(); y += kStep)
        p.drawLine(r.left(), y, r.right(), y);
}

CChildFrame::CChildFrame(CShellProjectWindows& registry, CProjectDoc& doc, EWindowKind kind,
                         EShellImage icon, QSize minimum, CShellView* view)
    : m_registry(registry), m_doc(doc), m_kind(kind),
      m_view(view != nullptr ? view : new CViewEmpty)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWidget(m_view);
    setWindowIcon(ShellIcon(icon));
    if (!minimum.isEmpty()) setMinimumSize(minimum);
    setFocusProxy(m_view);
}

QString CChildFrame::ProjectName() const
{
    return FromModelText(m_doc.GetDisplayTitle());
}

void CChildFrame::RefreshTitle()
{
    QString title = TitleBody();
    if (m_kind == EWindowKind::Project && m_doc.IsModified()) title += QStringLiteral(" *");
    if (!m_doc.IsActive()) title += QStringLiteral(" [inactive]");
    if (title != windowTitle()) setWindowTitle(title);
}

CWindowPlacement CChildFrame::GetPlacement() const
{
    const QRect normal = m_normal.isValid() ? m_normal : geometry();
    CWindowPlacement placement;
    placement.flags = 0;
    placement.showState =
        isMinimized() ? kShowMinimised : (isMaximized() ? kShowMaximised : kShowNormal);
    placement.left = normal.left();
    placement.top = normal.top();
    placement.right = normal.left() + normal.width();
    placement.bottom = normal.top() + normal.height();
    return placement;
}

void CChildFrame::ApplyPlacement(const CWindowPlacement& placement)
{
    if (placement.flags == -1 || placement.showState == -1) return;
    const QRect rect(placement.left, placement.top, placement.right - placement.left,
                     placement.bottom - placement.top);
    // A degenerate rectangle from a damaged file keeps the default place.
    if (rect.width() <= 0 || rect.height() <= 0) return;
    setGeometry(rect);
    m_normal = geometry();
    if (placement.showState == kShowMaximised)
        showMaximized();
    else if (placement.showState == kShowMinimised)
        showMinimized();
}

CWindowState CChildFrame::GetState() const
{
    CWindowState state;
    state.kind = m_kind;
    state.target = GetTarget();
    state.placement = GetPlacement();
    state.view = m_view->SaveViewState();
    return state;
}

void CChildFrame::ApplyState(const CWindowState& state)
{
    ApplyPlacement(state.placement);
    m_view->RestoreViewState(state.view);
}

void CChildFrame::CloseQuietly()
{
    m_quiet = true;
    close();
}

void CChildFrame::closeEvent(QCloseEvent* event)
{
    if (!m_quiet) m_registry.FrameClosing(*this);
    QMdiSubWindow::closeEvent(event);
}

void CChildFrame::moveEvent(QMoveEvent* event)
{
    QMdiSubWindow::moveEvent(event);
    if (!isMinimized() && !isMaximized()) m_normal = geometry();
}

void CChildFrame::resizeEvent(QResizeEvent* event)
{
    QMdiSubWindow::resizeEvent(event);
    if (!isMinimized() && !isMaximized()) m_normal = geometry();
}

bool CChildFrame::OnCommand(ECommand id)
{
    // Undo and Redo belong to the frame's project unless the view handled them first.
    if (id == ECommand::Undo)
        m_doc.Undo();
    else if (id == ECommand::Redo)
        m_doc.Redo();
    else
        return false;
    return true;
}

bool CChildFrame::OnUpdateCommand(ECommand id, CCommandUi& ui)
{
    if (id != ECommand::Undo && id != ECommand::Redo) return false;
    const CCommandState state = id == ECommand::Undo ? m_doc.UpdateUndo() : m_doc.UpdateRedo();
    ui.enabled = state.enabled;
    ui.text = FromModelText(state.text);
    return true;
}

// ---------------------------------------------------------------------------------------------

CFrameProject::CFrameProject(CShellProjectWindows& registry, CProjectDoc& doc)
    : CChildFrame(registry, doc, EWindowKind::Project, EShellImage::Project, QSize(),
                  new CViewProject(registry, doc))
{}

QString CFrameProject::TitleBody() const
{
    return QStringLiteral("Project - ") + ProjectName();
}

CFrameTracks::CFrameTracks(CShellProjectWindows& registry, CProjectDoc& doc)
    : CChildFrame(registry, doc, EWindowKind::Tracks, EShellImage::Tracks, QSize(400, 200),
                  new CTracksEditor(doc))
{
    GetEditor().Context().SetAsker(registry.GetAsker());
    GetEditor().TrackList().SetUser(registry.GetUser());
}

CTracksEditor& CFrameTracks::GetEditor() const
{
    return static_cast<CTracksEditor&>(*GetView());
}

QString CFrameTracks::TitleBody() const
{
    return QStringLiteral("Tracks - ") + ProjectName();
}

CFrameMixer::CFrameMixer(CShellProjectWindows& registry, CProjectDoc& doc)
    : CChildFrame(registry, doc, EWindowKind::Mixer, EShellImage::Mixer, QSize(220, 500),
                  new CWndMixer(doc))
{}

QString CFrameMixer::TitleBody() const
{
    return QStringLiteral("Mixer - ") + ProjectName();
}

CFramePhraseBank::CFramePhraseBank(CShellProjectWindows& registry, CProjectDoc& doc,
                                   CPhraseBank& bank)
    : CChildFrame(registry, doc, EWindowKind::PhraseBank, EShellImage::PhraseBank, QSize(300, 100),
                  new CBankEditor(doc, bank, registry.GetUser())),
      m_bank(bank)
{}

CBankEditor& CFramePhraseBank::GetEditor() const
{
    return static_cast<CBankEditor&>(*GetView());
}

int32_t CFramePhraseBank::GetTarget() const
{
    return m_doc.IndexOfBank(&m_bank);
}

QString CFramePhraseBank::TitleBody() const
{
    return QStringLiteral("PhraseBank - ") + FromModelText(m_bank.GetName());
}

CFramePianoRoll::CFramePianoRoll(CShellProjectWindows& registry, CProjectDoc& doc, CMidiData& data)
    : CChildFrame(registry, doc, EWindowKind::PianoRoll, EShellImage::PianoRoll, QSize(300, 250),
                  new CPianoRollEditor(doc, data)),
      m_data(&data)
{
    GetEditor().Context().SetAsker(registry.GetAsker());
    GetEditor().SetSettings(registry.GetEditorSettings());
}

CPianoRollEditor& CFramePianoRoll::GetEditor() const
{
    return static_cast<CPianoRollEditor&>(*GetView());
}

void CFramePianoRoll::SetData(CMidiData& data)
{
    m_data = &data;
    GetEditor().SetData(data);
    RefreshTitle();
}

int32_t CFramePianoRoll::GetTarget() const
{
    return m_data->GetId();
}

QString CFramePianoRoll::TitleBody() const
{
    return QStringLiteral("PianoRoll - ") + FromModelText(m_data->GetName());
}
