// The event lane and the mouse: clicks and drags that move the cursor and the selection range,
// the freehand and line tools, dragging the selected events out and dropping events in.
#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>

#include "document/ProjectDoc.h"
#include "editing/EventOperations.h"
#include "editors/DragGlue.h"
#include "editors/PianoRollContext.h"
#include "editors/ViewEvents.h"
#include "editors/ViewPianoRoll.h"
#include "model/MidiData.h"

namespace {

constexpr int kDragEdge = 8;
constexpr tick kDragScrollTicks = 24;

} // namespace

// ---- mouse ----

void CViewEvents::mousePressEvent(QMouseEvent* event)
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
    if (m_tool != EDrawTool::None) {
        ToolDown(pos);
        return;
    }
    const tick at = m_context.Geometry().XToTick(pos.x());
    const CTimeRange range = Range();
    if (SelectionCount() > 0 && at >= range.m_from && at < range.m_to && !IsVelocityLane()) {
        m_mouse = EMouse::PressedInSelection;
        return;
    }
    const bool extend = (event->modifiers() & Qt::ShiftModifier) != 0;
    MoveCursor(TickAt(pos.x()), extend);
    if (!extend) {
        m_anchored = true;
        m_anchorTick = m_context.GetCursor().m_tick;
    }
    m_mouse = EMouse::Band;
}

void CViewEvents::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (!(event->buttons() & Qt::LeftButton)) {
        CCanvasView::mouseMoveEvent(event);
        return;
    }
    switch (m_mouse) {
    case EMouse::Drawing:
        ToolMove(pos);
        return;
    case EMouse::PressedInSelection:
        if ((pos - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
            m_mouse = EMouse::None;
            StartEventDrag(m_pressPos);
        }
        return;
    case EMouse::Band: {
        // Beyond the lane's ends the view scrolls after the cursor.
        const tick at = TickAt(pos.x());
        if (at != m_context.GetCursor().m_tick) MoveCursor(at, true);
        return;
    }
    default:
        CCanvasView::mouseMoveEvent(event);
    }
}

void CViewEvents::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        if (m_mouse == EMouse::Drawing) {
            ToolUp(pos);
            return;
        }
        if (m_mouse == EMouse::PressedInSelection) MoveCursor(TickAt(pos.x()), false);
    }
    m_mouse = EMouse::None;
    CCanvasView::mouseReleaseEvent(event);
}

void CViewEvents::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_tool != EDrawTool::None) {
        CCanvasView::mouseDoubleClickEvent(event);
        return;
    }
    m_mouse = EMouse::None;
    const QPoint pos = event->position().toPoint();
    const tick at = m_context.Geometry().XToTick(pos.x());
    const CTimeRange range = Range();
    if (at >= range.m_from && at < range.m_to) {
        // Everything of the lane inside the range.
        SelectRange(range);
        return;
    }
    MoveCursor(TickAt(pos.x()), false);
    Insert();
}

void CViewEvents::wheelEvent(QWheelEvent* event)
{
    // The lane has no pitches: either wheel scrolls in time, Control zooms the shared axis.
    const QPoint angle = event->angleDelta();
    const int delta = angle.x() != 0 ? angle.x() : angle.y();
    if (delta == 0) {
        CCanvasView::wheelEvent(event);
        return;
    }
    if (event->modifiers() & Qt::ControlModifier) {
        m_context.ZoomHorizontalAt(delta > 0 ? 1 : -1, event->position().toPoint().x());
    } else {
        const CPianoRollGeometry& g = m_context.Geometry();
        const tick step = std::max<tick>(1, g.VisibleTicks() / 8);
        m_context.SetOriginTick(
            std::max<tick>(0, g.GetOriginTick() - static_cast<tick>(int64_t{delta} * step / 120)));
    }
    event->accept();
}

void CViewEvents::contextMenuEvent(QContextMenuEvent* event)
{
    if (event->reason() == QContextMenuEvent::Keyboard) {
        ShowContextMenu(QPoint(), true);
        return;
    }
    ShowContextMenu(viewport()->mapFrom(this, event->pos()), false);
}

// ---- the drawing tools ----

void CViewEvents::ToolDown(const QPoint& pos)
{
    m_mouse = EMouse::Drawing;
    m_stroke = CFreehandStroke();
    m_lineFrom = m_lineTo = m_lastPoint = pos;
    if (m_tool == EDrawTool::Freehand)
        m_stroke.Add(std::max<tick>(0, m_context.Geometry().XToTick(pos.x())), ValueAtY(pos.y()));
    RepaintStrip(StrokeRect());
}

void CViewEvents::ToolMove(const QPoint& pos)
{
    if (m_tool == EDrawTool::Line) {
        const QRect before = StrokeRect();
        m_lineTo = pos;
        RepaintStrip(before);
        RepaintStrip(StrokeRect());
        return;
    }
    // Only the new segment is repainted; the stroke so far stays on the screen.
    const QRect segment = QRect(m_lastPoint, pos).normalized().adjusted(-2, -2, 2, 2);
    m_stroke.Add(std::max<tick>(0, m_context.Geometry().XToTick(pos.x())), ValueAtY(pos.y()));
    m_lastPoint = pos;
    RepaintStrip(segment);
}

void CViewEvents::ToolUp(const QPoint& pos)
{
    ToolMove(pos);
    const QRect drawn = m_tool == EDrawTool::Line ? StrokeRect() : viewport()->rect();
    m_mouse = EMouse::None;
    if (m_tool == EDrawTool::Line)
        FinishLine();
    else
        FinishFreehand();
    m_stroke = CFreehandStroke();
    RepaintStrip(drawn);
}

QRect CViewEvents::StrokeRect() const
{
    if (m_tool != EDrawTool::Line) return QRect(m_lastPoint, m_lastPoint).adjusted(-2, -2, 2, 2);
    return QRect(m_lineFrom, m_lineTo).normalized().adjusted(-2, -2, 2, 2);
}

void CViewEvents::PaintStroke(QPainter& painter, const QRect& exposed) const
{
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(Qt::white, 1.5));
    if (m_tool == EDrawTool::Line) {
        painter.drawLine(m_lineFrom, m_lineTo);
        return;
    }
    // Only the part over the exposed strip: a long stroke repaints one segment at a time.
    const CPianoRollGeometry& g = m_context.Geometry();
    const auto& points = m_stroke.Points();
    auto it = points.lower_bound(g.XToTick(exposed.left() - 2));
    if (it != points.begin()) --it;
    const tick last = g.XToTick(exposed.right() + 2);
    QPolygon line;
    for (; it != points.end(); ++it) {
        line.append(QPoint(g.TickToX(it->first), YOfValue(it->second)));
        if (it->first > last) break;
    }
    painter.drawPolyline(line);
}

bool CViewEvents::FinishFreehand()
{
    const CTimeRange range = Range();
    if (m_stroke.IsEmpty() || range.m_to <= range.m_from) return false;
    CProjectDoc& doc = m_context.GetDoc();
    CMidiData& data = m_context.GetData();
    if (IsVelocityLane()) {
        // The stroke, as a curve, over the selected notes inside the range.
        if (SelectedNotes().IsEmpty()) return false;
        m_context.BeginBatch();
        const bool done = ApplyCurveToVelocities(doc, data, SelectedNotes(), VelocityArea(),
                                                 VelocityLane(),
                                                 std::make_unique<CValueCurveStroke>(m_stroke));
        m_context.EndBatch();
        UpdateStatus();
        return done;
    }
    const CEventList made = StrokeEvents(m_stroke, range, m_context.GetGrid().GetTicks(), Kind());
    if (made.IsEmpty()) return false;
    return Run(std::make_unique<COpEventsModifyNamed>("Draw Events", data, m_selected, made, range,
                                                      range));
}

bool CViewEvents::FinishLine()
{
    const CPianoRollGeometry& g = m_context.Geometry();
    tick t1 = std::max<tick>(0, g.XToTick(m_lineFrom.x()));
    tick t2 = std::max<tick>(0, g.XToTick(m_lineTo.x()));
    int32_t y1 = ValueAtY(m_lineFrom.y());
    int32_t y2 = ValueAtY(m_lineTo.y());
    if (t2 < t1) std::swap(t1, t2), std::swap(y1, y2);
    CProjectDoc& doc = m_context.GetDoc();
    CMidiData& data = m_context.GetData();
    m_context.BeginBatch();
    bool done = false;
    if (IsVelocityLane()) {
        done = !SelectedNotes().IsEmpty() &&
               DrawVelocities(doc, data, SelectedNotes(), VelocityArea(), VelocityLane(), t1, y1,
                              t2, y2);
    } else {
        done = !m_selected.IsEmpty() &&
               DrawEventValues(doc, data, m_selected, m_range, t1, y1, t2, y2);
    }
    m_context.EndBatch();
    Reselect();
    UpdateStatus();
    return done;
}

// ---- dragging events out ----

void CViewEvents::StartEventDrag(const QPoint& pos)
{
    if (m_selected.IsEmpty()) return;
    const tick grab = m_context.Geometry().XToTick(pos.x());
    RunDrag(this, std::make_unique<CDragEvents>(m_context.GetDoc(), m_context.GetData(), m_selected,
                                                m_range, grab));
}

// ---- the drop target ----

std::optional<tick> CViewEvents::DropTick(const CDragEvents& payload, const QPoint& pos) const
{
    const tick pointer = m_context.Geometry().XToTick(pos.x());
    const tick start = payload.GetRange().m_from + pointer - payload.GetGrabTick();
    const tick snapped = m_context.GetSnap().FloorToGrid(std::max<tick>(0, start));
    if (snapped < 0 || snapped > kOpenEnd) return std::nullopt;
    return snapped;
}

EDropEffect CViewEvents::DragEnter(const CDragPayload& payload, const CDragPoint& point)
{
    return DragOver(payload, point);
}

EDropEffect CViewEvents::DragOver(const CDragPayload& payload, const CDragPoint& point)
{
    const QRect before = viewport()->rect();
    if (payload.GetKind() != EDragKind::Events || IsVelocityLane()) {
        m_dragPayload = nullptr;
        m_dragTick.reset();
        RepaintStrip(before);
        return EDropEffect::None;
    }
    const QPoint pos(point.m_x, point.m_y);
    const CPianoRollGeometry& g = m_context.Geometry();
    if (pos.x() < kDragEdge)
        m_context.SetOriginTick(g.GetOriginTick() - kDragScrollTicks);
    else if (pos.x() >= viewport()->width() - kDragEdge)
        m_context.SetOriginTick(g.GetOriginTick() + kDragScrollTicks);
    m_dragPayload = static_cast<const CDragEvents*>(&payload);
    m_dragTick = DropTick(*m_dragPayload, pos);
    RepaintStrip(before);
    emit StatusChanged(StatusText());
    return m_dragTick ? DropEffectFor(point.m_control) : EDropEffect::None;
}

void CViewEvents::DragLeave(const CDragPayload&)
{
    m_dragPayload = nullptr;
    m_dragTick.reset();
    RepaintStrip(viewport()->rect());
    UpdateStatus();
}

bool CViewEvents::Drop(const CDragPayload& payload, const CDragPoint& point)
{
    DragLeave(payload);
    if (payload.GetKind() != EDragKind::Events || IsVelocityLane()) return false;
    const auto& events = static_cast<const CDragEvents&>(payload);
    const std::optional<tick> at = DropTick(events, QPoint(point.m_x, point.m_y));
    if (!at) return false;
    CMidiData& target = m_context.GetData();
    auto ask = [this](ERememberedQuestion) { return AskExtend(); };
    if (&payload.GetSource() != &m_context.GetDoc() || point.m_control)
        return Run(std::make_unique<COpEventsCopy>(events.GetEvents(), events.GetRange(), target,
                                                   *at, ask));
    if (&events.GetContainer() == &target && *at == events.GetRange().m_from) return false;
    return Run(std::make_unique<COpEventsMove>(events.GetContainer(), events.GetEvents(),
                                               events.GetRange(), target, *at, ask));
}

void CViewEvents::dragEnterEvent(QDragEnterEvent* event)
{
    ForwardDragEnter(*this, event);
}

void CViewEvents::dragMoveEvent(QDragMoveEvent* event)
{
    ForwardDragMove(*this, event);
}

void CViewEvents::dragLeaveEvent(QDragLeaveEvent*)
{
    ForwardDragLeave(*this);
}

void CViewEvents::dropEvent(QDropEvent* event)
{
    ForwardDrop(*this, event);
}
