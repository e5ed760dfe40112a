#pragma once
// Input helpers for the widget tests: mouse events sent straight to a widget (with the buttons
// held that a drag needs) and a recorder of the identifiers a control's signal carried.

#include <QApplication>
#include <QMouseEvent>
#include <QObject>
#include <QWheelEvent>
#include <QWidget>

#include <vector>

inline void SendMouse(QWidget& widget, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                      Qt::MouseButtons held)
{
    QMouseEvent event(type, QPointF(pos), QPointF(widget.mapToGlobal(pos)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

// Press at `from`, move through `moves`, release at the last point.
inline void Drag(QWidget& widget, QPoint from, const std::vector<QPoint>& moves)
{
    SendMouse(widget, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    for (const QPoint& p : moves)
        SendMouse(widget, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseButtonRelease, moves.empty() ? from : moves.back(),
              Qt::LeftButton, Qt::NoButton);
}

inline void SendWheel(QWidget& widget, int delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const QPointF pos(widget.width() / 2.0, widget.height() / 2.0);
    QWheelEvent event(pos, widget.mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&widget, &event);
}

// Collects the identifiers a signal (void(int)) delivered.
class CIdRecorder {
public:
    template <class TSender, class TSignal> CIdRecorder(TSender* sender, TSignal signal)
    {
        QObject::connect(sender, signal, &m_context, [this](int id) { ids.push_back(id); });
    }
    std::vector<int> ids;

private:
    QObject m_context;
};
