#include "editors/TracksEditor.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollBar>
#include <QToolButton>

#include <algorithm>

#include "controls/SelectList.h"
#include "controls/Theme.h"
#include "controls/WndStatusDisplay.h"
#include "document/ProjectDoc.h"
#include "editors/BarTrackProperties.h"
#include "editors/CanvasChrome.h"
#include "editors/TracksContext.h"
#include "editors/TracksCursors.h"
#include "editors/ViewRuler.h"
#include "editors/ViewStateBytes.h"
#include "editors/ViewTrackList.h"
#include "editors/ViewTracks.h"
#include "model/Clip.h"

namespace {

constexpr int kToolButton = 19;

const char* const kToolNames[] = {"Select", "Eraser", "Scissors", "Glue"};
const char* const kToolTips[] = {
    "Select tool (Alt+1): click, drag and band-select clips, resize their edges",
    "Eraser tool (Alt+2): click a clip or drag a band to delete clips",
    "Scissors tool (Alt+3): click a clip to split it at the snapped point",
    "Glue tool (Alt+4): Shift-click two clips to merge them"};

// Flags of the stored record's 16-bit word.
constexpr int16_t kFollowFlag = 1;
constexpr int16_t kPanelCollapsedFlag = 2;

} // namespace

CTracksEditor::CTracksEditor(CProjectDoc& doc, QWidget* parent)
    : CShellView(parent), m_context(std::make_unique<CTracksContext>(doc))
{
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, CTheme::PanelBackground());
    setPalette(palette);

    m_canvas = new CViewTracks(*m_context, this);
    m_list = new CViewTrackList(*m_context, this);
    m_ruler = new CViewRuler(*m_context, this);
    m_panel = new CBarTrackProperties(*m_context, this);
    m_status = new CWndStatusDisplay(this);
    m_status->RegisterEditorTags();
    AddZoomButtons();

    auto* grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    auto* corner = new QWidget(this);
    corner->setFixedHeight(m_ruler->sizeHint().height());
    grid->addWidget(corner, 0, 0);
    grid->addWidget(m_ruler, 0, 1);
    grid->addWidget(m_list, 1, 0);
    grid->addWidget(m_canvas, 1, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);
    m_list->setFixedWidth(m_list->sizeHint().width());
    m_ruler->setFixedHeight(m_ruler->sizeHint().height());

    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(2);
    body->addWidget(m_panel);
    body->addLayout(grid, 1);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(1);
    outer->addWidget(BuildBar());
    outer->addLayout(body, 1);
    outer->addWidget(m_status);

    connect(m_canvas, &CViewTracks::StatusChanged, m_status, &CWndStatusDisplay::SetText);
    connect(m_canvas, &CViewTracks::ToolChanged, this, &CTracksEditor::OnToolChanged);
    connect(m_context.get(), &CTracksContext::EditModeChanged, this,
            &CTracksEditor::OnEditModeChanged);
    connect(m_context.get(), &CTracksContext::SnapChanged, this, &CTracksEditor::OnSnapChanged);
    connect(m_context.get(), &CTracksContext::CurrentTrackChanged, m_panel,
            &CBarTrackProperties::Refresh);
    connect(m_context.get(), &CTracksContext::BatchBegun, this,
            [this] { setUpdatesEnabled(false); });
    connect(m_context.get(), &CTracksContext::BatchEnded, this,
            [this] { setUpdatesEnabled(true); });
    setFocusProxy(m_canvas);
    OnEditModeChanged();
    OnSnapChanged();
}

CTracksEditor::~CTracksEditor() = default;

QWidget* CTracksEditor::BuildBar()
{
    auto* bar = new QWidget(this);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(1);
    m_tools = new QButtonGroup(bar);
    m_tools->setExclusive(true);
    const qreal ratio = devicePixelRatioF();
    for (int i = 0; i < 4; ++i) {
        auto* button = new QToolButton(bar);
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setFixedSize(kToolButton, kToolButton);
        button->setIconSize(QSize(kToolButton - 4, kToolButton - 4));
        QIcon icon;
        icon.addPixmap(ToolGlyph(i, kToolButton - 4, std::max<qreal>(ratio, 2.0), false),
                       QIcon::Normal, QIcon::Off);
        icon.addPixmap(ToolGlyph(i, kToolButton - 4, std::max<qreal>(ratio, 2.0), true),
                       QIcon::Normal, QIcon::On);
        button->setIcon(icon);
        button->setToolTip(tr(kToolTips[i]));
        button->setAccessibleName(tr(kToolNames[i]));
        m_tools->addButton(button, i);
        row->addWidget(button);
    }
    m_tools->button(0)->setChecked(true);
    connect(m_tools, &QButtonGroup::idClicked, this,
            [this](int id) { m_canvas->SetTool(static_cast<ETracksTool>(id)); });
    row->addSpacing(8);

    m_mode = new CSelectList(CSelectList::EMode::OwnList, bar);
    m_mode->SetName(tr("Edit mode"));
    m_mode->AddItem(1, QStringLiteral("Start"));
    m_mode->AddItem(2, QStringLiteral("TrackPos"), QStringLiteral("Track position"));
    m_mode->AddItem(3, QStringLiteral("Length"));
    m_mode->setToolTip(tr("What + - ] [ change: the start (Shift+S), the track (P) or the length "
                          "(L) of the selected clips"));
    connect(m_mode, &CSelectList::ValueChanged, this,
            [this] { m_context->SetEditMode(static_cast<ETracksEditMode>(m_mode->GetValue())); });
    row->addWidget(m_mode);

    m_snap = new CSelectList(CSelectList::EMode::OwnList, bar);
    m_snap->SetName(tr("Snap"));
    m_snap->SetItems(NoteValueItems());
    m_snap->setToolTip(tr("Snap: the grid that clip moves, edges and cuts keep to"));
    connect(m_snap, &CSelectList::ValueChanged, this,
            [this] { m_context->SetSnap(CNoteValue(m_snap->GetValue())); });
    row->addWidget(m_snap);

    m_follow = MakeFollowButton(bar, m_context->IsFollowing(),
                                [this](bool on) { m_context->SetFollowing(on); });
    row->addWidget(m_follow);
    row->addStretch(1);
    return bar;
}

void CTracksEditor::AddZoomButtons()
{
    ::AddZoomButtons(*m_canvas, {"Zoom in (time)", "Zoom out (time)", "Taller rows", "Lower rows"},
                     [this](Qt::Orientation axis, int direction) {
                         if (axis == Qt::Horizontal)
                             m_context->ZoomHorizontal(direction);
                         else
                             m_context->ZoomVertical(direction);
                     });
}

void CTracksEditor::OnToolChanged(int32_t tool)
{
    if (QAbstractButton* button = m_tools->button(tool)) button->setChecked(true);
}

void CTracksEditor::OnEditModeChanged()
{
    m_mode->SetValue(static_cast<int32_t>(m_context->GetEditMode()));
}

void CTracksEditor::OnSnapChanged()
{
    m_snap->SetValue(m_context->GetSnap().GetTicks());
}

// ---- CShellView ----

CTracksEditor::SDrawnState CTracksEditor::DrawnState() const
{
    const CProjectDoc& doc = m_context->GetDoc();
    return {doc.GetLoopStart(), doc.GetLoopEnd(), doc.GetTracks().GetCount(),
            doc.GetTimeSignature().GetTicksPerBar()};
}

void CTracksEditor::RefreshView()
{
    // Called after every drain of the engine's news while playing: the clips are drawn again only
    // when something they depend on changed (clip edits come through their own calls).
    const SDrawnState now = DrawnState();
    if (now != m_drawn) {
        TracksChanged();
        return;
    }
    m_list->TracksChanged();
    m_panel->Refresh();
}

std::vector<uint8_t> CTracksEditor::SaveViewState() const
{
    const CTracksGeometry& g = m_context->Geometry();
    CViewStateWriter out;
    out.Int32(g.GetLeftTick());
    out.Int32(g.GetFirstRow());
    out.Int32(g.GetScale());
    out.Int32(g.GetRowHeight());
    out.Int32(static_cast<int32_t>(m_context->GetEditMode()));
    out.Int32(static_cast<int32_t>(m_canvas->GetTool()));
    int16_t flags = 0;
    if (m_context->IsFollowing()) flags |= kFollowFlag;
    if (m_panel->IsCollapsed()) flags |= kPanelCollapsedFlag;
    out.Int16(flags);
    out.Int32(m_context->GetSnap().GetTicks());
    return out.Take();
}

void CTracksEditor::RestoreViewState(const std::vector<uint8_t>& bytes)
{
    if (bytes.empty()) return; // no record: the defaults of a new window
    CViewStateReader in(bytes);
    const tick left = in.Int32();
    const int32_t first = in.Int32();
    const int32_t scale = in.Int32();
    const int32_t rowHeight = in.Int32();
    const int32_t mode = in.Int32();
    const int32_t tool = in.Int32();
    const int16_t flags = in.Int16();
    const tick snap = in.Int32();
    // A stored record is outside input: every value is brought inside its limits.
    CTracksGeometry& g = m_context->Geometry();
    g.SetScale(scale);
    g.SetRowHeight(rowHeight);
    g.SetLeftTick(left);
    g.SetFirstRow(first);
    m_context->SetEditMode(static_cast<ETracksEditMode>(std::clamp(mode, 1, 3)));
    m_canvas->SetTool(static_cast<ETracksTool>(std::clamp(tool, 0, 3)));
    m_context->SetFollowing((flags & kFollowFlag) != 0);
    m_follow->setChecked(m_context->IsFollowing());
    m_panel->SetCollapsed((flags & kPanelCollapsedFlag) != 0);
    const bool known = std::any_of(NoteValueTable().begin(), NoteValueTable().end(),
                                   [snap](const CNoteValueEntry& e) { return e.m_ticks == snap; });
    m_context->SetSnap(CNoteValue(known ? snap : m_context->GetSnap().GetTicks()));
    emit m_context->ViewChanged();
}

bool CTracksEditor::ListHasFocus() const
{
    return m_list->hasFocus();
}

bool CTracksEditor::OnCommand(ECommand id)
{
    if (ListHasFocus()) return m_list->OnCommand(id);
    switch (id) {
    case ECommand::Cut:
        m_canvas->CutSelection();
        return true;
    case ECommand::Copy:
        m_canvas->CopySelection();
        return true;
    case ECommand::Paste:
        m_canvas->Paste();
        return true;
    case ECommand::Delete:
        m_canvas->DeleteSelection();
        return true;
    case ECommand::Rename:
        m_canvas->StartRename();
        return true;
    case ECommand::InsertItem:
        m_canvas->CreateClipAt(m_canvas->PastePoint());
        return true;
    case ECommand::OpenItem:
        m_canvas->OpenCurrentInEditor();
        return true;
    default:
        return false;
    }
}

bool CTracksEditor::OnUpdateCommand(ECommand id, CCommandUi& ui)
{
    if (ListHasFocus()) return m_list->OnUpdateCommand(id, ui);
    const bool any = !m_canvas->GetSelection().empty();
    const bool current = m_canvas->GetCurrent().clip != nullptr;
    switch (id) {
    case ECommand::Cut:
    case ECommand::Copy:
    case ECommand::Delete:
        ui.enabled = any;
        return true;
    case ECommand::Paste:
        ui.enabled = m_canvas->CanPaste();
        return true;
    case ECommand::Rename:
    case ECommand::OpenItem:
        ui.enabled = current;
        return true;
    case ECommand::InsertItem:
        ui.enabled = true;
        return true;
    default:
        return false;
    }
}

// ---- the project's calls ----

void CTracksEditor::SongPositionChanged()
{
    m_context->ProjectPositionChanged();
}

void CTracksEditor::TracksChanged()
{
    m_drawn = DrawnState();
    m_context->UpdateContent();
    m_canvas->ModelChanged();
    m_list->TracksChanged();
    m_panel->Refresh();
    m_ruler->update();
}

void CTracksEditor::TrackPropertyChanged(const CTrack&)
{
    m_list->TracksChanged();
    m_panel->Refresh();
    m_canvas->InvalidateContent();
}

void CTracksEditor::BeginUpdate()
{
    m_context->BeginBatch();
}

void CTracksEditor::EndUpdate()
{
    m_context->EndBatch();
}

void CTracksEditor::ClearSelection()
{
    m_canvas->ClearSelection();
}

void CTracksEditor::SelectClip(const CClip& clip)
{
    auto* target = const_cast<CClip*>(&clip);
    const int32_t row = m_context->GetDoc().IndexOfTrackWithClip(target);
    if (row < 0) return;
    m_canvas->Select({target, row});
    m_canvas->setFocus();
}

void CTracksEditor::ClipInserted(int32_t trackIndex, const CClip& clip)
{
    m_canvas->ClipInserted(trackIndex, clip);
    m_ruler->update();
}

void CTracksEditor::ClipRemoved(const CClip& clip)
{
    m_canvas->ClipRemoved(clip);
}

void CTracksEditor::ClipReplaced(const CClip& removed, int32_t trackIndex, const CClip& placed)
{
    m_canvas->ClipReplaced(removed, trackIndex, placed);
}

void CTracksEditor::ClipChanged(const CClip& clip)
{
    m_canvas->ClipChanged(clip);
}

void CTracksEditor::RecordingStarted(int32_t trackId, tick position)
{
    m_canvas->RecordingStarted(trackId, position);
}

void CTracksEditor::NoteRecorded(int32_t trackId, const CNote& note)
{
    m_canvas->NoteRecorded(trackId, note);
}

void CTracksEditor::EventRecorded(int32_t trackId, const CMidiEvent& event)
{
    m_canvas->EventRecorded(trackId, event);
}

void CTracksEditor::RecordingFinished(int32_t trackId)
{
    m_canvas->RecordingFinished(trackId);
}
