#include "editors/PianoRollEditor.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QApplication>
#include <QLabel>
#include <QScrollBar>
#include <QToolButton>

#include <algorithm>

#include "controls/EditValue.h"
#include "controls/SelectList.h"
#include "controls/Theme.h"
#include "controls/WndStatusDisplay.h"
#include "document/ProjectDoc.h"
#include "editing/ClipOperations.h"
#include "editing/PhraseOperations.h"
#include "editors/CanvasChrome.h"
#include "editors/EventLaneBar.h"
#include "editors/PianoRollContext.h"
#include "editors/ViewPianoKeys.h"
#include "editors/ViewPianoRoll.h"
#include "editors/ViewEvents.h"
#include "editors/ViewPianoRuler.h"
#include "editors/ViewStateBytes.h"
#include "model/Clip.h"
#include "model/MidiData.h"
#include "model/Phrase.h"

namespace {

bool IsNoteValue(tick ticks)
{
    return std::any_of(NoteValueTable().begin(), NoteValueTable().end(),
                       [ticks](const CNoteValueEntry& e) { return e.m_ticks == ticks; });
}

QLabel* BarLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, CTheme::PanelLabel());
    label->setPalette(palette);
    label->setFont(CTheme::SmallFont());
    return label;
}

} // namespace

CPianoRollEditor::CPianoRollEditor(CProjectDoc& doc, CMidiData& data, QWidget* parent)
    : CShellView(parent), m_context(std::make_unique<CPianoRollContext>(doc, data))
{
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, CTheme::PanelBackground());
    setPalette(palette);

    m_canvas = new CViewPianoRoll(*m_context, this);
    m_keys = new CViewPianoKeys(*m_context, this);
    m_ruler = new CViewPianoRuler(*m_context, this);
    m_status = new CWndStatusDisplay(this);
    m_status->RegisterEditorTags();
    AddZoomButtons();

    auto* grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    auto* corner = new QWidget(this);
    grid->addWidget(corner, 0, 0);
    grid->addWidget(m_ruler, 0, 1);
    grid->addWidget(m_keys, 1, 0);
    grid->addWidget(m_canvas, 1, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);
    m_keys->setFixedWidth(m_keys->sizeHint().width());
    m_ruler->setFixedHeight(m_ruler->sizeHint().height());
    corner->setFixedSize(m_keys->sizeHint().width(), m_ruler->sizeHint().height());
    // The event lane shares the canvas's time axis; it is placed here when it exists.
    m_laneSlot = new QVBoxLayout;
    m_laneSlot->setContentsMargins(m_keys->sizeHint().width(), 0, 0, 0);
    m_laneSlot->setSpacing(0);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(1);
    outer->addWidget(BuildBar());
    outer->addLayout(grid, 1);
    outer->addLayout(m_laneSlot);
    outer->addWidget(m_status);
    BuildLane();

    // The status display shows the pane that has the keys.
    connect(m_canvas, &CViewPianoRoll::StatusChanged, this, [this](const QString& text) {
        if (m_lane == nullptr || !m_lane->hasFocus()) m_status->SetText(text);
    });
    connect(m_keys, &CViewPianoKeys::PitchClicked, this, [this](int32_t pitch) {
        m_canvas->setFocus();
        const tick at = m_context->GetCursor().m_tick;
        m_canvas->MoveCursor(at, pitch, false);
        const CDefaultNote& def = m_context->GetDefaultNote();
        CNoteList note;
        note.Append(CNote(at, TickSum(at, def.m_length), static_cast<uint8_t>(pitch),
                          def.m_velocity, def.m_offVelocity));
        m_canvas->Audition(note);
    });
    connect(m_context.get(), &CPianoRollContext::EditTypeChanged, this, [this] { ShowMode(); });
    connect(m_context.get(), &CPianoRollContext::SnapChanged, this,
            [this] { m_snap->SetValue(m_context->GetSnap().GetTicks()); });
    connect(m_context.get(), &CPianoRollContext::GridChanged, this,
            [this] { m_grid->SetValue(m_context->GetGrid().GetTicks()); });
    setFocusProxy(m_canvas);
    ShowMode();
    m_snap->SetValue(m_context->GetSnap().GetTicks());
    m_grid->SetValue(m_context->GetGrid().GetTicks());
    ShowLength();
    m_status->SetText(m_canvas->StatusText());
}

CPianoRollEditor::~CPianoRollEditor() = default;

QWidget* CPianoRollEditor::BuildBar()
{
    auto* bar = new QWidget(this);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(3);

    row->addWidget(BarLabel(tr("length"), bar));
    m_length = new CEditTime(CEditTime::EForm::Length, bar);
    m_length->SetName(tr("Length"));
    m_length->setMinimumWidth(70);
    m_length->SetFocusOwner(m_canvas);
    m_length->setToolTip(tr("Length of the phrase or clip; type a new length and press Enter"));
    connect(m_length, &CEditValue::ValueChanged, this, [this] { OnLengthEntered(); });
    row->addWidget(m_length);

    row->addWidget(BarLabel(tr("mode"), bar));
    m_mode = new CSelectList(CSelectList::EMode::OwnList, bar);
    m_mode->SetName(tr("Edit type"));
    m_mode->setMinimumWidth(70);
    m_mode->setToolTip(tr("What + - ] [ change: Start (S), Pitch (P), Length (L), note-on "
                          "velocity (V) or note-off velocity (F)"));
    connect(m_mode, &CSelectList::ValueChanged, this, [this] {
        if (m_modeForLane)
            m_context->SetEventEditType(static_cast<uint8_t>(m_mode->GetValue()));
        else
            m_context->SetEditType(static_cast<ENoteEditType>(m_mode->GetValue()));
    });
    row->addWidget(m_mode);

    row->addWidget(BarLabel(tr("snap"), bar));
    m_snap = new CSelectList(CSelectList::EMode::OwnList, bar);
    m_snap->SetName(tr("Snap"));
    m_snap->SetItems(NoteValueItems());
    m_snap->setMinimumWidth(60);
    m_snap->setToolTip(tr("Snap: the grid that dropped notes keep to, and the default note "
                          "length"));
    connect(m_snap, &CSelectList::ValueChanged, this,
            [this] { m_context->SetSnap(CNoteValue(m_snap->GetValue())); });
    row->addWidget(m_snap);

    row->addWidget(BarLabel(tr("grid"), bar));
    m_grid = new CSelectList(CSelectList::EMode::OwnList, bar);
    m_grid->SetName(tr("Grid"));
    m_grid->SetItems(NoteValueItems());
    m_grid->setMinimumWidth(60);
    m_grid->setToolTip(tr("Grid: one cursor step and the lines drawn (Off: one tick)"));
    connect(m_grid, &CSelectList::ValueChanged, this,
            [this] { m_context->SetGrid(CNoteValue(m_grid->GetValue())); });
    row->addWidget(m_grid);

    m_follow = MakeFollowButton(bar, m_context->IsFollowing(),
                                [this](bool on) { m_context->SetFollowing(on); });
    row->addWidget(m_follow);
    row->addStretch(1);
    return bar;
}

void CPianoRollEditor::BuildLane()
{
    m_laneBar = new CEventLaneBar(this);
    m_lane = new CViewEvents(*m_context, *m_canvas, this);
    // The lane keeps its height; the note canvas takes what the window gains.
    m_lane->setFixedHeight(110);
    // The lane ends where the note canvas's bars end, so that both share one time axis.
    m_laneSlot->setContentsMargins(m_keys->sizeHint().width(), 0,
                                   m_canvas->verticalScrollBar()->sizeHint().width(), 0);
    m_laneSlot->addWidget(m_laneBar);
    m_laneSlot->addWidget(m_lane);
    m_laneBar->ShowKind(m_lane->Kind());
    connect(m_laneBar, &CEventLaneBar::KindChosen, m_lane, &CViewEvents::SetKind);
    connect(m_laneBar, &CEventLaneBar::ToolChosen, m_lane, &CViewEvents::SetTool);
    connect(m_lane, &CViewEvents::KindChanged, this,
            [this] { m_laneBar->ShowKind(m_lane->Kind()); });
    connect(m_lane, &CViewEvents::StatusChanged, m_status, &CWndStatusDisplay::SetText);
    connect(m_lane, &CViewEvents::KindChanged, this, [this] { ShowMode(); });
    connect(m_lane, &CViewEvents::EditTypeChanged, this, [this] { ShowMode(); });
    // The mode selector offers the edit types of the pane that has the keys.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now == m_lane || now == m_canvas) ShowMode();
    });
}

void CPianoRollEditor::ShowMode()
{
    const bool lane = m_lane != nullptr && LaneHasKeys();
    const bool velocity = lane && m_lane->IsVelocityLane();
    const int kind = !lane ? 0 : velocity ? 2 : 1;
    if (kind != m_modeItems) {
        m_modeItems = kind;
        std::vector<CSelectItem> items;
        if (kind == 0) {
            const char* const types[] = {"Start", "Pitch", "Length", "Vel.On", "Vel.Off"};
            for (int i = 0; i < 5; ++i)
                items.push_back({i + 1, QString::fromLatin1(types[i]), {}, false, {}});
        } else {
            if (kind == 1) items.push_back({1, QStringLiteral("Start"), {}, false, {}});
            items.push_back({2, QStringLiteral("Value"), {}, false, {}});
        }
        m_mode->SetItems(std::move(items));
    }
    m_modeForLane = lane;
    if (!lane)
        m_mode->SetValue(static_cast<int32_t>(m_context->GetEditType()));
    else
        m_mode->SetValue(velocity ? 2 : m_context->GetEventEditType());
}

bool CPianoRollEditor::LaneHasKeys() const
{
    return m_context->GetFocusSide() == CPianoRollContext::kFocusEvents;
}

void CPianoRollEditor::AddZoomButtons()
{
    ::AddZoomButtons(*m_canvas,
                     {"Zoom in (time, Ctrl+wheel)", "Zoom out (time, Ctrl+wheel)",
                      "Taller rows (Shift+Ctrl+wheel)", "Lower rows (Shift+Ctrl+wheel)"},
                     [this](Qt::Orientation axis, int direction) {
                         if (axis == Qt::Horizontal)
                             m_context->ZoomHorizontal(direction);
                         else
                             m_context->ZoomVertical(direction);
                     });
}

void CPianoRollEditor::ShowLength()
{
    m_length->SetTimeSignature(m_context->GetDoc().GetTimeSignature());
    m_length->SetValue(m_context->GetLength());
}

void CPianoRollEditor::OnLengthEntered()
{
    const tick length = m_length->IsUndefined() ? 0 : m_length->GetValue();
    CMidiData& data = m_context->GetData();
    if (length < 1 || length == data.GetLength()) {
        ShowLength();
        return;
    }
    std::unique_ptr<COperation> op;
    if (data.IsClip())
        op = std::make_unique<COpClipSetLength>(static_cast<CClip&>(data), length,
                                                EClipLengthOrigin::PianoRoll);
    else
        op = std::make_unique<COpPhraseSetLength>(static_cast<CPhrase&>(data), length);
    m_canvas->Run(std::move(op));
    LengthChanged();
}

void CPianoRollEditor::SetData(CMidiData& data)
{
    m_canvas->ClearSelection();
    m_context->SetData(data);
    ShowLength();
}

void CPianoRollEditor::SetSettings(CModifierSettings* settings)
{
    m_context->SetSettings(settings);
}

// ---- CShellView ----

void CPianoRollEditor::RefreshView()
{
    ShowLength();
    m_canvas->ModelChanged();
    m_keys->update();
    m_ruler->update();
}

std::vector<uint8_t> CPianoRollEditor::SaveViewState() const
{
    const CPianoRollContext& c = *m_context;
    const CPianoRollGeometry& g = c.Geometry();
    const CDefaultNote& def = c.GetDefaultNote();
    CViewStateWriter out;
    out.Int32(c.GetCursor().m_tick);
    out.Int32(c.GetCursor().m_pitch);
    out.Int32(g.GetOriginTick());
    out.Int32(g.GetOriginPitch());
    out.Int32(g.GetScale());
    out.Int32(g.GetPitchHeight());
    out.Int32(c.GetFocusSide());
    out.Int16(static_cast<int16_t>(c.GetEditType()));
    out.Int32(c.GetSnap().GetTicks());
    out.Int32(c.GetGrid().GetTicks());
    out.Int32(c.GetCursor().m_length);
    out.UInt8(c.GetDefaultEventValue());
    out.UInt8(c.GetSecondEventValue());
    out.Int32(def.m_length);
    out.UInt8(def.m_velocity);
    out.UInt8(def.m_offVelocity);
    out.Int16(c.GetLaneKind());
    out.UInt8(c.IsFollowing() ? 1 : 0);
    out.UInt8(c.GetEventEditType());
    return out.Take();
}

void CPianoRollEditor::RestoreViewState(const std::vector<uint8_t>& bytes)
{
    if (bytes.empty()) return; // no record: the defaults of a new window
    CViewStateReader in(bytes);
    const tick cursorTick = in.Int32();
    const int32_t cursorPitch = in.Int32();
    const tick originTick = in.Int32();
    const int32_t originPitch = in.Int32();
    const int32_t scale = in.Int32();
    const int32_t pitchHeight = in.Int32();
    const int32_t focus = in.Int32();
    const int16_t editType = in.Int16();
    const tick snap = in.Int32();
    const tick grid = in.Int32();
    const tick cursorLength = in.Int32();
    const uint8_t eventValue = in.UInt8();
    const uint8_t secondValue = in.UInt8();
    const tick defaultLength = in.Int32();
    const uint8_t velocity = in.UInt8();
    const uint8_t offVelocity = in.UInt8();
    const int16_t laneKind = in.Int16();
    const uint8_t follow = in.UInt8();
    const uint8_t eventEditType = in.UInt8();
    // A stored record is outside input: every value is brought inside its limits.
    CPianoRollContext& c = *m_context;
    CPianoRollGeometry& g = c.Geometry();
    g.SetScale(scale);
    g.SetPitchHeight(pitchHeight);
    if (IsNoteValue(snap)) c.SetSnap(CNoteValue(snap));
    if (IsNoteValue(grid)) c.SetGrid(CNoteValue(grid));
    CDefaultNote def = c.GetDefaultNote();
    if (defaultLength >= 1 && defaultLength <= kOpenEnd) def.m_length = defaultLength;
    if (velocity >= 1 && velocity <= 127) def.m_velocity = velocity;
    if (offVelocity >= 1 && offVelocity <= 127) def.m_offVelocity = offVelocity;
    c.SetDefaultNote(def);
    c.SetCursorLength(cursorLength >= 1 && cursorLength <= kOpenEnd ? cursorLength : def.m_length);
    c.SetCursor(cursorTick, cursorPitch);
    g.SetOriginTick(originTick);
    g.SetOriginPitch(originPitch);
    c.SetFocusSide(focus);
    c.SetEditType(editType >= 1 && editType <= 5 ? static_cast<ENoteEditType>(editType)
                                                 : ENoteEditType::Start);
    c.SetDefaultEventValues(std::min<uint8_t>(eventValue, 127),
                            std::min<uint8_t>(secondValue, 127));
    c.SetLaneKind(static_cast<int16_t>(ValidLaneKind(static_cast<uint16_t>(laneKind))));
    m_laneBar->ShowKind(m_lane->Kind());
    m_lane->ModelChanged();
    c.SetFollowing(follow != 0);
    m_follow->setChecked(c.IsFollowing());
    c.SetEventEditType(eventEditType);
    emit c.ViewChanged();
    m_canvas->MoveCursor(c.GetCursor().m_tick, c.GetCursor().m_pitch, false);
}

bool CPianoRollEditor::OnCommand(ECommand id)
{
    if (LaneHasKeys()) return OnLaneCommand(id);
    switch (id) {
    case ECommand::Cut:
        m_canvas->CutNotes();
        return true;
    case ECommand::Copy:
        m_canvas->CopyNotes();
        return true;
    case ECommand::Paste:
        m_canvas->PasteNotes();
        return true;
    case ECommand::Delete:
        m_canvas->DeleteNotes();
        return true;
    case ECommand::SelectAll:
        m_canvas->SelectAll();
        return true;
    case ECommand::InsertItem:
        m_canvas->InsertNote();
        return true;
    default:
        return false;
    }
}

bool CPianoRollEditor::OnLaneCommand(ECommand id)
{
    switch (id) {
    case ECommand::Cut:
        m_lane->Cut();
        return true;
    case ECommand::Copy:
        m_lane->Copy();
        return true;
    case ECommand::Paste:
        m_lane->Paste();
        return true;
    case ECommand::Delete:
        m_lane->Delete();
        return true;
    case ECommand::SelectAll:
        m_lane->SelectAll();
        return true;
    case ECommand::InsertItem:
        m_lane->Insert();
        return true;
    default:
        return false;
    }
}

bool CPianoRollEditor::OnUpdateLaneCommand(ECommand id, CCommandUi& ui)
{
    const bool velocity = m_lane->IsVelocityLane();
    switch (id) {
    case ECommand::Cut:
    case ECommand::Copy:
        ui.enabled = !velocity && !m_lane->GetSelection().IsEmpty();
        return true;
    case ECommand::Paste:
        ui.enabled = m_lane->CanPaste();
        return true;
    case ECommand::Delete:
        ui.enabled = !velocity && (!m_lane->GetSelection().IsEmpty() ||
                                   m_lane->CurrentEvent().has_value());
        return true;
    case ECommand::InsertItem:
        ui.enabled = !velocity;
        return true;
    case ECommand::SelectAll:
        ui.enabled = true;
        return true;
    default:
        return false;
    }
}

bool CPianoRollEditor::OnUpdateCommand(ECommand id, CCommandUi& ui)
{
    if (LaneHasKeys()) return OnUpdateLaneCommand(id, ui);
    switch (id) {
    case ECommand::Cut:
    case ECommand::Copy:
        ui.enabled = m_canvas->HasSelection();
        return true;
    case ECommand::Paste:
        ui.enabled = m_canvas->CanPaste();
        return true;
    case ECommand::Delete:
        ui.enabled = m_canvas->CanDelete();
        return true;
    case ECommand::SelectAll:
    case ECommand::InsertItem:
        ui.enabled = true;
        return true;
    default:
        return false;
    }
}

// ---- the project's calls ----

void CPianoRollEditor::SongPositionChanged()
{
    m_context->ProjectPositionChanged();
}

void CPianoRollEditor::BeginUpdate()
{
    m_context->BeginBatch();
}

void CPianoRollEditor::EndUpdate()
{
    m_context->EndBatch();
}

void CPianoRollEditor::RefreshNotes(const CNoteArea& area)
{
    m_canvas->RefreshNotes(area);
    if (m_lane->IsVelocityLane()) m_lane->RefreshRange({area.m_from, TickSum(area.m_to, 1)});
}

void CPianoRollEditor::LengthChanged()
{
    ShowLength();
    m_canvas->LengthChanged();
    m_ruler->update();
}

void CPianoRollEditor::SelectNotes(const CNoteList& notes, const CNoteArea& area)
{
    // One note in its own spot is what the single-note operations leave: the note stays
    // selected, the rectangle stays empty.
    if (notes.GetCount() == 1 && area == SpotOf(notes[0]))
        m_canvas->SetSelection(notes, CNoteArea{});
    else
        m_canvas->SetSelection(notes, area);
}

void CPianoRollEditor::RefreshEvents(const CTimeRange& range)
{
    m_lane->RefreshRange(range);
}

void CPianoRollEditor::SelectEvents(const CEventList& events, const CTimeRange& range)
{
    // One event in its own tick is what the single-event operations leave: it stays the current
    // event, with no range. Else the lane's selection is its events inside the range.
    if (events.GetCount() == 1 && range.m_to - range.m_from <= 1)
        m_lane->SelectRange({});
    else
        m_lane->SelectRange(range);
}

void CPianoRollEditor::DataChanged()
{
    emit m_context->ContentChanged();
    m_keys->update();
    m_ruler->update();
}

bool CPianoRollEditor::StepRecord(const std::vector<uint8_t>& pitches)
{
    if (m_context->GetFocusSide() != CPianoRollContext::kFocusNotes) return false;
    return m_canvas->StepRecord(pitches);
}
