#pragma once
// The background and the beat and bar lines of the piano roll's lane, drawn from the grid value:
// dotted lines at grid steps, grey lines on beats, wider ones on bars, and the container's two
// edges. User-interface thread only.

#include <QColor>
#include <QRect>

class CPianoRollContext;
class QPainter;

// Fills exposed with the background and the vertical lines. The lines are the same on every
// row, so one strip two rows high is drawn and repeated down: a tall thin line costs the painter
// a span per pixel row, a repeated strip one copy per row.
void PaintTimeGrid(QPainter& painter, const QRect& exposed, const CPianoRollContext& context,
                   const QColor& background);
