#include "editors/CanvasView.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>

#include <cstdlib>

CCanvasView::CCanvasView(QWidget* parent) : QAbstractScrollArea(parent)
{
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_NoSystemBackground);
    viewport()->setMouseTracking(true);
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
}

void CCanvasView::InvalidateContent(const QRect& rect)
{
    const QRect area = rect.isNull() ? viewport()->rect() : rect & viewport()->rect();
    if (area.isEmpty()) return;
    m_dirty += area;
    Schedule(area);
}

void CCanvasView::ScrollContent(int dy)
{
    const QRect all = viewport()->rect();
    if (dy == 0) return;
    if (m_cache.isNull() || std::abs(dy) >= all.height() || !m_dirty.isEmpty()) {
        InvalidateContent();
        return;
    }
    const qreal ratio = m_cache.devicePixelRatio();
    const QRect pixels(QPoint(0, 0), m_cache.size());
    m_cache.scroll(0, qRound(dy * ratio), pixels);
    m_dirty +=
        dy > 0 ? QRect(0, 0, all.width(), dy) : QRect(0, all.height() + dy, all.width(), -dy);
    Schedule(all);
}

void CCanvasView::RepaintStrip(const QRect& rect)
{
    const QRect area = rect & viewport()->rect();
    if (!area.isEmpty()) Schedule(area);
}

void CCanvasView::EndBatch()
{
    if (m_batch > 0 && --m_batch == 0 && !m_pending.isEmpty()) {
        viewport()->update(m_pending);
        m_pending = QRegion();
    }
}

void CCanvasView::Schedule(const QRect& rect)
{
    if (m_batch > 0)
        m_pending += rect;
    else
        viewport()->update(rect);
}

QPoint CCanvasView::EdgeDirection(const QPoint& pos, const QSize& client)
{
    const int dx = pos.x() < 0 ? -1 : pos.x() >= client.width() ? 1 : 0;
    const int dy = pos.y() < 0 ? -1 : pos.y() >= client.height() ? 1 : 0;
    return {dx, dy};
}

void CCanvasView::EnsureCache()
{
    const qreal ratio = viewport()->devicePixelRatioF();
    const QSize pixels = viewport()->size() * ratio;
    if (m_cache.size() == pixels && m_cache.devicePixelRatio() == ratio) return;
    m_cache = QPixmap(pixels);
    m_cache.setDevicePixelRatio(ratio);
    m_dirty = QRegion(viewport()->rect());
}

void CCanvasView::paintEvent(QPaintEvent* event)
{
    if (viewport()->width() <= 0 || viewport()->height() <= 0) return;
    EnsureCache();
    const QRegion stale = m_dirty & event->region();
    if (!stale.isEmpty()) {
        QPainter cache(&m_cache);
        for (const QRect& rect : stale) {
            cache.save();
            cache.setClipRect(rect);
            PaintContent(cache, rect);
            cache.restore();
            ++m_contentPaints;
        }
        m_dirty -= stale;
    }
    QPainter painter(viewport());
    for (const QRect& rect : event->region()) {
        const qreal ratio = m_cache.devicePixelRatio();
        const QRectF source(rect.topLeft() * ratio, rect.size() * ratio);
        painter.drawPixmap(QRectF(rect), m_cache, source);
    }
    painter.setClipRegion(event->region());
    PaintOverlays(painter, event->rect());
}

void CCanvasView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    InvalidateContent();
}

void CCanvasView::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::StyleChange || event->type() == QEvent::PaletteChange)
        InvalidateContent();
}
