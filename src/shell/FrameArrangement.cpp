#include "shell/FrameArrangement.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>

#include <algorithm>

namespace {

// The frames to arrange, back to front, each shown normal.
QList<QMdiSubWindow*> ArrangedFrames(QMdiArea& area)
{
    QList<QMdiSubWindow*> frames;
    for (QMdiSubWindow* window : area.subWindowList(QMdiArea::StackingOrder)) {
        if (!window->isVisible() || window->isMinimized()) continue;
        if (window->isMaximized()) window->showNormal();
        frames << window;
    }
    return frames;
}

} // namespace

void TileFrames(QMdiArea& area, bool horizontally)
{
    const QList<QMdiSubWindow*> frames = ArrangedFrames(area);
    const QSize size = area.viewport()->size();
    const int count = static_cast<int>(frames.size());
    for (int i = 0; i < count; ++i) {
        // Each frame gets its share; the last takes what rounding leaves.
        QRect rect;
        if (horizontally) {
            const int top = size.height() * i / count;
            const int bottom = size.height() * (i + 1) / count;
            rect = QRect(0, top, size.width(), bottom - top);
        } else {
            const int left = size.width() * i / count;
            const int right = size.width() * (i + 1) / count;
            rect = QRect(left, 0, right - left, size.height());
        }
        frames[i]->setGeometry(rect);
    }
}

void CascadeFrames(QMdiArea& area)
{
    const QList<QMdiSubWindow*> frames = ArrangedFrames(area);
    const int count = static_cast<int>(frames.size());
    if (count == 0) return;
    const QSize room = area.viewport()->size();
    const int step = std::max(8, area.style()->pixelMetric(QStyle::PM_TitleBarHeight));
    const QSize useful(room.width() * 2 / 3, room.height() * 2 / 3);
    const QSize size = QSize(room.width() - step * (count - 1), room.height() - step * (count - 1))
                           .expandedTo(useful);
    // How many steps fit before a frame would hang over the right or bottom edge.
    const int steps =
        std::max(0, std::min(room.width() - size.width(), room.height() - size.height()) / step);
    for (int i = 0; i < count; ++i) {
        const int offset = i % (steps + 1) * step;
        frames[i]->setGeometry(
            QRect(QPoint(offset, offset), size.expandedTo(frames[i]->minimumSize())));
    }
}
