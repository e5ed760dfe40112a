#pragma once
// The beat and bar lines of the piano roll's panes, drawn from the grid value: dotted lines at
// grid steps, grey lines on beats, wider ones on bars, and the container's two edges.
// User-interface thread only.

#include <QRect>

#include "model/TimeBase.h"

class CPianoRollContext;
class QPainter;

void PaintTimeGrid(QPainter& painter, const QRect& exposed, const CPianoRollContext& context);
