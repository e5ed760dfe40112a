#include "editors/ViewRuler.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

#include "controls/Theme.h"
#include "document/ProjectDoc.h"
#include "editors/TracksContext.h"

namespace {

constexpr int kMarker = 6; // loop and position markers, pixels

void DrawTriangle(QPainter& painter, int x, int bottom, int direction, const QColor& colour)
{
    // A triangle of kMarker pixels pointing right (+1) or left (-1), its flat side at x.
    const QPolygon shape{
        {x, bottom - 2 * kMarker}, {x + direction * kMarker, bottom - kMarker}, {x, bottom}};
    painter.setPen(colour);
    painter.setBrush(colour);
    painter.drawPolygon(shape);
}

} // namespace

CViewRuler::CViewRuler(CTracksContext& context, QWidget* parent)
    : QWidget(parent), m_context(context)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setToolTip(tr("Click the upper half to move the song position; the lower half sets the loop "
                  "start (left button) and the loop end (right button)"));
    connect(&context, &CTracksContext::ViewChanged, this, &CViewRuler::OnViewChanged);
    connect(&context, &CTracksContext::ContentChanged, this, qOverload<>(&QWidget::update));
    connect(&context, &CTracksContext::ShownPositionChanged, this,
            &CViewRuler::OnShownPositionChanged);
}

void CViewRuler::OnViewChanged()
{
    const CTracksGeometry& g = m_context.Geometry();
    const CProjectDoc& doc = m_context.GetDoc();
    const auto shown = std::tuple{g.GetLeftTick(), g.GetScale(), doc.GetLoopStart(),
                                  doc.GetLoopEnd(), m_context.TicksPerBar()};
    if (shown == m_shown) return;
    m_shown = shown;
    update();
}

QSize CViewRuler::sizeHint() const
{
    return {200, 22};
}

QRect CViewRuler::StripAt(tick t) const
{
    const int x = m_context.Geometry().TickToX(t);
    return QRect(x - kMarker - 1, 0, 2 * kMarker + 3, height());
}

void CViewRuler::OnShownPositionChanged(tick from, tick to)
{
    update(StripAt(from));
    update(StripAt(to));
}

void CViewRuler::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), CTheme::PanelBackground());
    const CTracksGeometry& geometry = m_context.Geometry();
    const CProjectDoc& doc = m_context.GetDoc();
    const tick bar = std::max<tick>(1, m_context.TicksPerBar());
    const int32_t stride = geometry.RulerStride(bar);
    painter.setFont(CTheme::SmallFont());
    const int middle = height() / 2;
    for (int64_t index = geometry.GetLeftTick() / bar; index * bar <= geometry.GetRightTick();
         ++index) {
        const int x = geometry.TickToX(static_cast<tick>(index * bar));
        if (x > event->rect().right() + 40) break;
        const bool labelled = index % stride == 0;
        painter.fillRect(QRect(x, middle, labelled ? 2 : 1, height() - middle), Qt::white);
        if (labelled) {
            painter.setPen(Qt::white);
            painter.drawText(QRect(x + 3, 0, 40, height() - 1), Qt::AlignLeft | Qt::AlignBottom,
                             QString::number(index + 1));
        }
    }
    DrawTriangle(painter, geometry.TickToX(doc.GetLoopStart()), height() - 1, 1,
                 CTheme::LoopStartMarker());
    DrawTriangle(painter, geometry.TickToX(doc.GetLoopEnd()), height() - 1, -1,
                 CTheme::LoopEndMarker());
    // The song position: a small white wedge pointing down at the top edge.
    const int px = geometry.TickToX(m_context.GetShownPosition());
    painter.setPen(Qt::white);
    painter.setBrush(Qt::white);
    painter.drawPolygon(
        QPolygon{{px - kMarker / 2 - 1, 0}, {px + kMarker / 2 + 1, 0}, {px, kMarker}});
}

void CViewRuler::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const tick at = m_context.SnapNearest(std::max<tick>(0, m_context.Geometry().XToTick(pos.x())));
    const bool lower = pos.y() >= height() / 2;
    CProjectDoc& doc = m_context.GetDoc();
    if (event->button() == Qt::LeftButton && lower) {
        doc.SetLoopStart(at);
    } else if (event->button() == Qt::RightButton && lower) {
        doc.SetLoopEnd(at);
    } else if (event->button() == Qt::LeftButton) {
        m_draggingPosition = true;
        m_context.DragPosition(m_context.Geometry().XToTick(pos.x()));
        return;
    } else {
        QWidget::mousePressEvent(event);
        return;
    }
    emit m_context.ContentChanged();
}

void CViewRuler::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_draggingPosition) return;
    m_context.DragPosition(m_context.Geometry().XToTick(event->position().toPoint().x()));
}

void CViewRuler::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_draggingPosition || event->button() != Qt::LeftButton) return;
    m_draggingPosition = false;
    m_context.EndPositionDrag(true);
}
