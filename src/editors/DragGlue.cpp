#include "editors/DragGlue.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QPixmap>
#include <QWidget>

const char* const kDragMime = "application/x-tonalweaver-drag";

CDragPoint DragPointOf(const QPoint& pos, Qt::KeyboardModifiers modifiers)
{
    return CDragPoint{pos.x(), pos.y(), (modifiers & Qt::ControlModifier) != 0};
}

Qt::DropAction DropActionOf(EDropEffect effect)
{
    switch (effect) {
    case EDropEffect::Copy:
        return Qt::CopyAction;
    case EDropEffect::Move:
        return Qt::MoveAction;
    case EDropEffect::None:
        break;
    }
    return Qt::IgnoreAction;
}

Qt::DropAction RunDrag(QWidget* source, std::unique_ptr<CDragPayload> payload,
                       const QPixmap* picture)
{
    CDragContext& context = CDragContext::Instance();
    context.Begin(std::move(payload));
    auto* drag = new QDrag(source);
    auto* data = new QMimeData;
    data->setData(kDragMime, QByteArray("1"));
    drag->setMimeData(data);
    if (picture != nullptr) drag->setPixmap(*picture);
    const Qt::DropAction action = drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
    context.End();
    return action;
}

namespace {

bool IsOurs(const QDropEvent* event)
{
    return event->mimeData()->hasFormat(kDragMime) && CDragContext::Instance().IsDragging();
}

template <class TEvent, class FPass> void Forward(TEvent* event, FPass pass)
{
    if (!IsOurs(event)) {
        event->ignore();
        return;
    }
    const EDropEffect effect = pass(DragPointOf(event->position().toPoint(), event->modifiers()));
    if (effect == EDropEffect::None) {
        event->ignore();
        return;
    }
    event->setDropAction(DropActionOf(effect));
    event->accept();
}

} // namespace

void ForwardDragEnter(CDropTarget& target, QDragEnterEvent* event)
{
    // Accept the enter even when this spot refuses: another spot of the window may take it.
    if (!IsOurs(event)) {
        event->ignore();
        return;
    }
    const EDropEffect effect = CDragContext::Instance().Enter(
        target, DragPointOf(event->position().toPoint(), event->modifiers()));
    event->setDropAction(DropActionOf(effect));
    event->accept();
}

void ForwardDragMove(CDropTarget& target, QDragMoveEvent* event)
{
    Forward(event, [&target](const CDragPoint& point) {
        return CDragContext::Instance().Over(target, point);
    });
}

void ForwardDragLeave(CDropTarget& target)
{
    if (const CDragPayload* payload = CDragContext::Instance().GetPayload())
        target.DragLeave(*payload);
}

void ForwardDrop(CDropTarget& target, QDropEvent* event)
{
    Forward(event, [&target](const CDragPoint& point) {
        return CDragContext::Instance().Drop(target, point) ? DropEffectFor(point.m_control)
                                                            : EDropEffect::None;
    });
}
