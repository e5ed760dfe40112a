#pragma once
// A clip canvas hands its mouse input to exactly one tool object at a time (select, eraser,
// scissors, glue in the tracks view). Each call answers whether the tool handled the input; an
// unhandled input gets the widget's default handling. User-interface thread only.

#include <QPoint>
#include <Qt>

#include <cstdint>

class CClip;
class QPainter;
class QRect;

// One mouse input as a tool sees it, in the canvas's client pixels.
struct CToolInput {
    QPoint pos;
    Qt::MouseButton button = Qt::NoButton;   // the button that changed (down, up)
    Qt::MouseButtons buttons = Qt::NoButton; // the buttons held
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    bool Extends() const { return modifiers & (Qt::ShiftModifier | Qt::ControlModifier); }
};

class CCanvasTool {
public:
    virtual ~CCanvasTool() = default;
    // 0 Select, 1 Eraser, 2 Scissors, 3 Glue.
    virtual int32_t GetId() const = 0;
    virtual bool SetCursor(const QPoint& pos) = 0;
    virtual bool DoubleClick(const CToolInput& input) = 0;
    virtual bool ButtonDown(const CToolInput& input) = 0;
    virtual bool MouseMove(const CToolInput& input) = 0;
    virtual bool ButtonUp(const CToolInput& input) = 0;
    // False for the clip the tool is resizing or cutting: the overlay draws that one.
    virtual bool DrawsNormally(const CClip& clip) const = 0;
    // Rubber band, cut line or resize preview, over the canvas.
    virtual void DrawOverlay(QPainter& painter, const QRect& client) const = 0;
    // The strip of the canvas the overlay covers now (empty: none); the canvas repaints the old
    // and the new strip when the overlay changes.
    virtual QRect OverlayRect() const = 0;
    // Whether the clip on the row lies inside the rubber band being drawn.
    virtual bool IsInBand(const CClip& clip, int32_t row) const = 0;
};
