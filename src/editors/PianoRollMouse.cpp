// The note canvas and the mouse: clicks and bands that move the cursor and the selection,
// dragging the selected notes out, notes dropped in with a preview of where they land, double
// clicks and the context menus.
#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

#include "document/ProjectDoc.h"
#include "editing/NoteOperations.h"
#include "editors/DragGlue.h"
#include "editors/PianoRollContext.h"
#include "editors/ViewPianoRoll.h"
#include "model/Clip.h"
#include "model/MidiData.h"
#include "model/Phrase.h"

namespace {

// A drag this close to the canvas's edge scrolls it.
constexpr int kDragEdge = 8;
constexpr tick kDragScrollTicks = 24;
// The most dragged notes the drop preview draws one by one.
constexpr int kMaxPreviewNotes = 4096;

bool Contains(const CNoteArea& area, tick at, int32_t pitch)
{
    return !IsEmptyArea(area) && at >= area.m_from && at < area.m_to && pitch >= area.m_pitchA &&
           pitch < area.m_pitchB;
}

} // namespace

// ---- mouse ----

void CViewPianoRoll::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    const QPoint pos = event->position().toPoint();
    m_pressPos = pos;
    if (event->button() == Qt::RightButton) {
        event->accept(); // the menu comes with the context-menu event
        return;
    }
    if (event->button() != Qt::LeftButton) {
        CCanvasView::mousePressEvent(event);
        return;
    }
    const tick at = m_context.Geometry().XToTick(pos.x());
    const int32_t pitch = PitchAt(pos.y());
    if (HasSelection() && Contains(m_area, at, pitch)) {
        m_mouse = EMouse::PressedInSelection;
        return;
    }
    const bool extend = (event->modifiers() & Qt::ShiftModifier) != 0;
    MoveCursor(TickAt(pos.x()), pitch, extend);
    if (!extend) {
        // The band grows from the clicked cell.
        m_anchored = true;
        m_anchorTick = m_context.GetCursor().m_tick;
        m_anchorPitch = m_context.GetCursor().m_pitch;
    }
    m_mouse = EMouse::Band;
}

void CViewPianoRoll::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (m_mouse == EMouse::PressedInSelection && (event->buttons() & Qt::LeftButton)) {
        if ((pos - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
            m_mouse = EMouse::None;
            StartNoteDrag(m_pressPos);
        }
        return;
    }
    if (m_mouse != EMouse::Band || !(event->buttons() & Qt::LeftButton)) {
        CCanvasView::mouseMoveEvent(event);
        return;
    }
    const tick at = TickAt(pos.x());
    const int32_t pitch = PitchAt(pos.y());
    const CPianoRollCursor& cursor = m_context.GetCursor();
    if (at == cursor.m_tick && pitch == cursor.m_pitch) return;
    // Pointer beyond the canvas: the cursor leads and the view scrolls after it.
    MoveCursor(at, pitch, true);
}

void CViewPianoRoll::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_mouse == EMouse::PressedInSelection) {
        // A click in the selection without a drag puts the cursor there.
        const QPoint pos = event->position().toPoint();
        MoveCursor(TickAt(pos.x()), PitchAt(pos.y()), false);
    }
    m_mouse = EMouse::None;
    CCanvasView::mouseReleaseEvent(event);
}

void CViewPianoRoll::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        CCanvasView::mouseDoubleClickEvent(event);
        return;
    }
    m_mouse = EMouse::None;
    const QPoint pos = event->position().toPoint();
    const tick at = m_context.Geometry().XToTick(pos.x());
    if (Contains(m_area, at, PitchAt(pos.y()))) {
        EditProperties();
        return;
    }
    MoveCursor(TickAt(pos.x()), PitchAt(pos.y()), false);
    InsertNote();
}

// ---- dragging notes out ----

void CViewPianoRoll::StartNoteDrag(const QPoint& pos)
{
    if (!HasSelection()) return;
    const CNoteArea area = IsEmptyArea(m_area) ? AreaWithNotes({}, m_selected) : m_area;
    const tick grabTick = m_context.Geometry().XToTick(pos.x());
    const int32_t grabPitch = PitchAt(pos.y());
    RunDrag(this, std::make_unique<CDragNotes>(m_context.GetDoc(), m_context.GetData(), m_selected,
                                               area, grabTick, grabPitch));
}

// ---- the drop target ----

CViewPianoRoll::CDropPlan CViewPianoRoll::PlanDrop(const CDragNotes& payload,
                                                   const QPoint& pos) const
{
    CDropPlan plan;
    const CNoteArea& area = payload.GetArea();
    plan.dt = DropTickOffset(area, m_context.Geometry().XToTick(pos.x()), payload.GetGrabTick(),
                             m_context.GetSnap());
    plan.dp = m_context.Geometry().YToPitch(pos.y()) - payload.GetGrabPitch();
    CMovedNotes moved =
        MoveNotesOntoScale(payload.GetNotes(), area, plan.dt, plan.dp, m_context.Scale());
    plan.notes = std::move(moved.m_notes);
    plan.area = moved.m_area;
    plan.valid = !plan.notes.IsEmpty();
    return plan;
}

EDropEffect CViewPianoRoll::DragEnter(const CDragPayload& payload, const CDragPoint& point)
{
    return DragOver(payload, point);
}

EDropEffect CViewPianoRoll::DragOver(const CDragPayload& payload, const CDragPoint& point)
{
    const QRect before = DropPreviewRect();
    if (payload.GetKind() != EDragKind::Notes) {
        m_dragPayload = nullptr;
        RepaintStrip(before);
        UpdateStatus();
        return EDropEffect::None;
    }
    const QPoint pos(point.m_x, point.m_y);
    AutoScrollDrag(pos);
    m_dragPayload = static_cast<const CDragNotes*>(&payload);
    m_dragPlan = PlanDrop(*m_dragPayload, pos);
    m_dragCopy = point.m_control;
    RepaintStrip(before);
    RepaintStrip(DropPreviewRect());
    UpdateStatus();
    return m_dragPlan.valid ? DropEffectFor(point.m_control) : EDropEffect::None;
}

void CViewPianoRoll::DragLeave(const CDragPayload&)
{
    const QRect before = DropPreviewRect();
    m_dragPayload = nullptr;
    m_dragPlan = {};
    RepaintStrip(before);
    UpdateStatus();
}

bool CViewPianoRoll::Drop(const CDragPayload& payload, const CDragPoint& point)
{
    DragLeave(payload);
    if (payload.GetKind() != EDragKind::Notes) return false;
    const auto& notes = static_cast<const CDragNotes&>(payload);
    const CDropPlan plan = PlanDrop(notes, QPoint(point.m_x, point.m_y));
    if (!plan.valid) return false;
    CProjectDoc& doc = m_context.GetDoc();
    CMidiData& target = m_context.GetData();
    auto ask = [this](ERememberedQuestion) { return AskExtend(); };
    if (&payload.GetSource() != &doc || point.m_control)
        return Run(std::make_unique<COpNotesCopy>(target, plan.notes, plan.area, ask));
    const CNoteList& from = notes.GetNotes();
    if (&notes.GetContainer() == &target &&
        std::equal(plan.notes.begin(), plan.notes.end(), from.begin(), from.end()))
        return false;
    return Run(std::make_unique<COpNotesMove>(notes.GetContainer(), notes.GetNotes(),
                                              notes.GetArea(), target, plan.notes, plan.area, ask));
}

void CViewPianoRoll::AutoScrollDrag(const QPoint& pos)
{
    const CPianoRollGeometry& g = m_context.Geometry();
    const QSize client = viewport()->size();
    if (pos.x() < kDragEdge)
        m_context.SetOriginTick(g.GetOriginTick() - kDragScrollTicks);
    else if (pos.x() >= client.width() - kDragEdge)
        m_context.SetOriginTick(g.GetOriginTick() + kDragScrollTicks);
    if (pos.y() < kDragEdge)
        m_context.SetOriginPitch(g.GetOriginPitch() + 1);
    else if (pos.y() >= client.height() - kDragEdge)
        m_context.SetOriginPitch(g.GetOriginPitch() - 1);
}

QRect CViewPianoRoll::DropPreviewRect() const
{
    if (m_dragPayload == nullptr || !m_dragPlan.valid) return {};
    return AreaRect(AreaWithNotes(m_dragPlan.area, m_dragPlan.notes)).adjusted(-2, -2, 2, 2);
}

void CViewPianoRoll::DrawDropPreview(QPainter& painter, const QRect& exposed) const
{
    painter.setPen(QPen(Qt::white, 0, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(AreaRect(m_dragPlan.area).adjusted(0, 0, -1, -1));
    painter.setPen(QPen(Qt::white, 0));
    int drawn = 0;
    for (const CNote& note : m_dragPlan.notes) {
        const QRect box = CellRect(note.m_start, note.m_end, note.m_pitch);
        if (!box.intersects(exposed)) continue;
        painter.drawRect(box.adjusted(0, 0, -1, -1));
        if (++drawn >= kMaxPreviewNotes) break;
    }
}

void CViewPianoRoll::dragEnterEvent(QDragEnterEvent* event)
{
    ForwardDragEnter(*this, event);
}

void CViewPianoRoll::dragMoveEvent(QDragMoveEvent* event)
{
    ForwardDragMove(*this, event);
}

void CViewPianoRoll::dragLeaveEvent(QDragLeaveEvent*)
{
    ForwardDragLeave(*this);
}

void CViewPianoRoll::dropEvent(QDropEvent* event)
{
    ForwardDrop(*this, event);
}

// ---- context menus ----

void CViewPianoRoll::contextMenuEvent(QContextMenuEvent* event)
{
    if (event->reason() == QContextMenuEvent::Keyboard) {
        ShowContextMenu(QPoint(), true);
        return;
    }
    ShowContextMenu(viewport()->mapFrom(this, event->pos()), false);
}

void CViewPianoRoll::ShowContextMenu(const QPoint& pos, bool fromKeyboard)
{
    QPoint at = pos;
    if (fromKeyboard) {
        at = CursorRect(m_context.GetCursor()).center();
    } else if (!Contains(m_area, m_context.Geometry().XToTick(pos.x()), PitchAt(pos.y()))) {
        MoveCursor(TickAt(pos.x()), PitchAt(pos.y()), false);
    }
    QMenu* menu = BuildContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(viewport()->mapToGlobal(at));
}

QMenu* CViewPianoRoll::BuildContextMenu()
{
    auto* menu = new QMenu(this);
    auto add = [menu](QMenu* into, const char* text, bool enabled, auto slot) {
        QAction* action = into->addAction(QString::fromUtf8(text));
        action->setEnabled(enabled);
        QObject::connect(action, &QAction::triggered, menu, slot);
    };
    const bool selection = !IsEmptyArea(m_area);
    const bool current = CurrentNote().has_value();
    add(menu, m_context.IsClip() ? "&Go To Tracks" : "&Go To PhraseBank", true, [this] { GoTo(); });
    if (selection) {
        add(menu, "Cu&t\tCtrl+X", HasSelection(), [this] { CutNotes(); });
        add(menu, "&Copy\tCtrl+C", HasSelection(), [this] { CopyNotes(); });
    }
    add(menu, "&Paste\tCtrl+V", CanPaste(), [this] { PasteNotes(); });
    if (!selection && !current) {
        add(menu, "&Insert\tIns", true, [this] { InsertNote(); });
    } else {
        add(menu, "&Delete\tDel", CanDelete(), [this] { DeleteNotes(); });
        add(menu, "D&uplicate\tD", true, [this] { DuplicateNotes(); });
    }
    if (!selection && current) add(menu, "Copy to Default\tT", true, [this] { CopyToDefault(); });
    if (selection) {
        const bool any = HasSelection();
        add(menu, "R&emove Overlapping Notes", any, [this] { RemoveOverlaps(); });
        add(menu, "Quantize\tQ", any, [this] { Quantize(); });
        add(menu, "Quantize...", any, [this] { QuantizeWithDialog(); });
        add(menu, "&Split To Length", any, [this] { SplitToLength(); });
        QMenu* transpose = menu->addMenu(QStringLiteral("Transpose"));
        transpose->setEnabled(any);
        add(transpose, "To Harmonic Scale", any, [this] { TransposeToScale(); });
        add(transpose, "Randomize", any, [this] { TransposeRandomize(); });
    }
    add(menu, "Edit Pr&operties...", true, [this] { EditProperties(); });
    return menu;
}

// ---- go to ----

void CViewPianoRoll::GoTo()
{
    CProjectDoc& doc = m_context.GetDoc();
    CMidiData& data = m_context.GetData();
    CProjectWindows& windows = doc.GetWindows();
    if (data.IsClip()) {
        windows.OpenTracksWindow(true);
        windows.TracksClearSelection();
        windows.TracksSelectClip(static_cast<const CClip&>(data));
        return;
    }
    if (CPhraseBank* bank = doc.FindBankOf(static_cast<const CPhrase*>(&data)))
        windows.OpenBankWindow(*bank, true);
}
