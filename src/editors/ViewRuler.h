#pragma once
// The tracks window's ruler over the clip canvas: bar lines with a number on every stride-th bar,
// the loop start and end markers and the song position. Left button in the lower half sets the
// loop start, in the upper half moves the song position; right button in the lower half sets the
// loop end (each snapped to the nearest grid point). User-interface thread only.

#include <QWidget>

#include <tuple>

#include "model/TimeBase.h"

class CTracksContext;

class CViewRuler : public QWidget {
    Q_OBJECT
public:
    explicit CViewRuler(CTracksContext& context, QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // The narrow strip around tick t that its markers cover.
    QRect StripAt(tick t) const;
    void OnShownPositionChanged(tick from, tick to);
    // Redraws unless only the rows moved.
    void OnViewChanged();

    CTracksContext& m_context;
    // What the picture shows: left tick, scale, loop start and end, ticks per bar.
    std::tuple<tick, int32_t, tick, tick, tick> m_shown{-1, 0, 0, 0, 0};
    bool m_draggingPosition = false;
};
