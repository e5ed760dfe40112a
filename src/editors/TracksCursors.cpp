#include "editors/TracksCursors.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

constexpr int kCursorSize = 24;

// Paints one glyph into a size x size box (logical pixels) with the given ink.
void PaintGlyph(QPainter& p, int tool, int size, const QColor& ink)
{
    p.setRenderHint(QPainter::Antialiasing);
    const qreal u = size / 16.0;
    p.setPen(QPen(ink, 1.2 * u, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    switch (tool) {
    case 0: { // select: an arrow
        QPainterPath arrow;
        arrow.moveTo(4 * u, 2 * u);
        arrow.lineTo(4 * u, 13 * u);
        arrow.lineTo(7 * u, 10 * u);
        arrow.lineTo(9.5 * u, 14.5 * u);
        arrow.lineTo(11 * u, 13.5 * u);
        arrow.lineTo(8.5 * u, 9.5 * u);
        arrow.lineTo(12.5 * u, 9.5 * u);
        arrow.closeSubpath();
        p.setBrush(ink);
        p.drawPath(arrow);
        break;
    }
    case 1: { // eraser: a tilted block with a darker tip
        p.save();
        p.translate(8 * u, 8 * u);
        p.rotate(-35);
        p.drawRect(QRectF(-6 * u, -3 * u, 12 * u, 6 * u));
        p.setBrush(ink);
        p.drawRect(QRectF(-6 * u, -3 * u, 4 * u, 6 * u));
        p.restore();
        break;
    }
    case 2: // scissors: two rings and crossing blades
        p.drawEllipse(QPointF(4.5 * u, 12 * u), 2.2 * u, 2.2 * u);
        p.drawEllipse(QPointF(11.5 * u, 12 * u), 2.2 * u, 2.2 * u);
        p.drawLine(QPointF(6 * u, 10.5 * u), QPointF(12 * u, 2 * u));
        p.drawLine(QPointF(10 * u, 10.5 * u), QPointF(4 * u, 2 * u));
        break;
    case 3: // glue: a tube with a drop
        p.drawRoundedRect(QRectF(5 * u, 5 * u, 6 * u, 8 * u), 1.5 * u, 1.5 * u);
        p.drawLine(QPointF(8 * u, 5 * u), QPointF(8 * u, 2.5 * u));
        p.setBrush(ink);
        p.drawEllipse(QPointF(8 * u, 15 * u), 1 * u, 1 * u);
        break;
    default: // position: a bar with arrows either side
        p.drawLine(QPointF(8 * u, 1 * u), QPointF(8 * u, 15 * u));
        p.drawLine(QPointF(2 * u, 8 * u), QPointF(6 * u, 8 * u));
        p.drawLine(QPointF(10 * u, 8 * u), QPointF(14 * u, 8 * u));
        p.drawLine(QPointF(2 * u, 8 * u), QPointF(4 * u, 6 * u));
        p.drawLine(QPointF(2 * u, 8 * u), QPointF(4 * u, 10 * u));
        p.drawLine(QPointF(14 * u, 8 * u), QPointF(12 * u, 6 * u));
        p.drawLine(QPointF(14 * u, 8 * u), QPointF(12 * u, 10 * u));
        break;
    }
}

QPixmap Glyph(int tool, int size, qreal dpr, const QColor& ink, bool outline)
{
    QPixmap pixmap(QSize(size, size) * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    if (outline) {
        // A dark halo keeps a light cursor visible on light clips.
        for (const QPointF& shift :
             {QPointF(-1, 0), QPointF(1, 0), QPointF(0, -1), QPointF(0, 1)}) {
            p.save();
            p.translate(shift);
            PaintGlyph(p, tool, size, Qt::black);
            p.restore();
        }
    }
    PaintGlyph(p, tool, size, ink);
    return pixmap;
}

QCursor ToolCursor(int tool, int hotX, int hotY)
{
    // Painted at ratio 2: Qt picks the sharp version on high-density screens.
    return QCursor(Glyph(tool, kCursorSize, 2.0, Qt::white, true), hotX, hotY);
}

} // namespace

QCursor PositionCursor()
{
    return ToolCursor(4, kCursorSize / 2, kCursorSize / 2);
}

QCursor EraserCursor()
{
    return ToolCursor(1, 4, kCursorSize - 6);
}

QCursor ScissorsCursor()
{
    return ToolCursor(2, kCursorSize / 2, 2);
}

QCursor GlueCursor()
{
    return ToolCursor(3, kCursorSize / 2, kCursorSize - 2);
}

QPixmap ToolGlyph(int tool, int size, qreal dpr, bool pressed)
{
    return Glyph(tool, size, dpr, pressed ? QColor(Qt::white) : QColor(200, 210, 225), false);
}
