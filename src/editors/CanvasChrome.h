#pragma once
// What the editor windows put around their canvases: the four zoom buttons beside the scroll bars
// and the bar's "Follow" switch. User-interface thread only.

#include <Qt>

#include <functional>

class QAbstractScrollArea;
class QToolButton;
class QWidget;

struct CZoomTips {
    const char* timeIn;
    const char* timeOut;
    const char* rowsIn;
    const char* rowsOut;
};

// Time zoom in and out at the right end of the horizontal scroll bar, row zoom in and out at the
// bottom of the vertical one, square at the scroll bar's width; both bars always shown. zoom
// receives the axis and +1 (in) or -1 (out).
void AddZoomButtons(QAbstractScrollArea& canvas, const CZoomTips& tips,
                    const std::function<void(Qt::Orientation, int)>& zoom);

// A checkable "Follow" button (keep the playing position in view) in state on.
QToolButton* MakeFollowButton(QWidget* parent, bool on, const std::function<void(bool)>& changed);
