#pragma once
// Dragging knobs and value boxes hides the pointer and keeps putting it back at a home point, so
// a long drag never runs into the screen edge.

#include <QCursor>
#include <QPoint>
#include <QWidget>

// Moves the pointer to `home` (widget coordinates) and returns where the next move should be
// measured from: home when the pointer went there, else `current` (platforms that cannot move
// the pointer), so no distance is ever counted twice.
inline QPoint WarpPointerHome(const QWidget& widget, QPoint home, QPoint current)
{
    const QPoint global = widget.mapToGlobal(home);
    QCursor::setPos(global);
    return QCursor::pos() == global ? home : current;
}
