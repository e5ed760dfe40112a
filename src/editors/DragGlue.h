#pragma once
// Qt's drag and drop carrying the application's own payloads: the payload lives in the drag
// context for the time of the gesture, and Qt's drag events over a window are handed to the
// window's drop target. Every window that takes part uses these, so that drags between them
// (a phrase from a bank onto the tracks, a clip within the tracks) speak one format.
// User-interface thread only.

#include <QPoint>
#include <Qt>

#include <memory>

#include "editing/DragContext.h"

class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QPixmap;
class QWidget;

// The MIME type that marks our drags; the data itself stays in the drag context.
extern const char* const kDragMime;

CDragPoint DragPointOf(const QPoint& pos, Qt::KeyboardModifiers modifiers);
Qt::DropAction DropActionOf(EDropEffect effect);

// Runs Qt's drag loop from source with the payload (copy with Control, move otherwise); the
// payload is deleted when the loop ends, dropped or not. Returns the action Qt reports.
Qt::DropAction RunDrag(QWidget* source, std::unique_ptr<CDragPayload> payload,
                       const QPixmap* picture = nullptr);

// Qt's drag events handed to target; events that are not ours are ignored. Positions are taken
// in the coordinates of the event (a scroll area's viewport for canvases).
void ForwardDragEnter(CDropTarget& target, QDragEnterEvent* event);
void ForwardDragMove(CDropTarget& target, QDragMoveEvent* event);
void ForwardDrop(CDropTarget& target, QDropEvent* event);
// Tells target that the drag in progress (if ours) left it.
void ForwardDragLeave(CDropTarget& target);
