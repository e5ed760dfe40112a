#include "editors/CanvasView.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "controls/ScrollBar.h"

CCanvasView::CCanvasView(QWidget* parent) : QAbstractScrollArea(parent)
{
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_NoSystemBackground);
    viewport()->setMouseTracking(true);
    setVerticalScrollBar(new CScrollBar(Qt::Vertical));
    setHorizontalScrollBar(new CScrollBar(Qt::Horizontal));
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
    // The screen holds the current picture only when nothing waits to be painted; a child (the
    // rename editor) would be dragged along with it.
    const bool childShown = std::any_of(
        viewport()->children().begin(), viewport()->children().end(), [](const QObject* child) {
            return child->isWidgetType() && static_cast<const QWidget*>(child)->isVisible();
        });
    if (std::abs(dy) >= all.height() || m_batch > 0 || !m_unpainted.isEmpty() || childShown ||
        !viewport()->isVisible()) {
        InvalidateContent();
        return;
    }
    // Moving the picture already on screen costs one copy; the cache would cost two, so it is
    // dropped and drawn again piece by piece where overlays need it.
    m_dirty = QRegion(all);
    viewport()->scroll(0, dy);
}

void CCanvasView::RepaintStrip(const QRect& rect)
{
    const QRect area = rect & viewport()->rect();
    if (area.isEmpty()) return;
    m_overlayMoved = true;
    Schedule(area);
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
    m_unpainted += rect;
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

bool CCanvasView::CacheFits() const
{
    const qreal ratio = viewport()->devicePixelRatioF();
    return m_cache.size() == viewport()->size() * ratio && m_cache.devicePixelRatio() == ratio;
}

void CCanvasView::EnsureCache()
{
    if (CacheFits()) return;
    const qreal ratio = viewport()->devicePixelRatioF();
    m_cache = QPixmap(viewport()->size() * ratio);
    m_cache.setDevicePixelRatio(ratio);
    m_dirty = QRegion(viewport()->rect());
}

void CCanvasView::PaintContentRects(QPainter& painter, const QRegion& region)
{
    for (const QRect& rect : region) {
        painter.save();
        painter.setClipRect(rect);
        PaintContent(painter, rect);
        painter.restore();
        ++m_contentPaints;
        m_contentPixels += int64_t{rect.width()} * rect.height();
    }
}

void CCanvasView::CopyFromCache(QPainter& painter, const QRegion& region) const
{
    const qreal ratio = m_cache.devicePixelRatio();
    for (const QRect& rect : region) {
        const QRectF source(rect.topLeft() * ratio, rect.size() * ratio);
        painter.drawPixmap(QRectF(rect), m_cache, source);
    }
}

void CCanvasView::paintEvent(QPaintEvent* event)
{
    if (viewport()->width() <= 0 || viewport()->height() <= 0) return;
    const QRegion& region = event->region();
    m_unpainted -= region;
    const bool overlayMoved = std::exchange(m_overlayMoved, false);
    QPainter painter(viewport());
    const QRegion stale = CacheFits() ? m_dirty & region : region;
    if (!overlayMoved && !stale.isEmpty()) {
        // The content changed: it goes straight to the screen, which saves a copy of every pixel.
        // The cache catches up later, and only where an overlay moves over it.
        PaintContentRects(painter, stale);
        m_dirty += stale;
        if (stale != region) CopyFromCache(painter, region - stale);
    } else {
        // An overlay moved: the content under it comes from the cache, drawn first where stale.
        EnsureCache();
        const QRegion missing = m_dirty & region;
        if (!missing.isEmpty()) {
            QPainter cache(&m_cache);
            PaintContentRects(cache, missing);
            m_dirty -= missing;
        }
        CopyFromCache(painter, region);
    }
    painter.setClipRegion(region);
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
