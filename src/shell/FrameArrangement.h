#pragma once
// The "&Window" menu's arrangements of the child frames in the multi-document area. Minimised
// and hidden frames keep their places; a maximised frame is shown normal first.

class QMdiArea;

// Horizontally: the frames one above the other, full width; vertically: side by side.
void TileFrames(QMdiArea& area, bool horizontally);

// The frames overlap from the top left, each one title bar lower and further right, in stacking
// order so that the active one stays in front. All get one size that leaves every title bar in
// view, but never less than two thirds of the area: with many frames the cascade starts again at
// the top left instead.
void CascadeFrames(QMdiArea& area);
