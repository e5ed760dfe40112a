#pragma once
// The ruler over the note canvas: bar lines with their numbers and beat lines with theirs, at
// song positions (a clip's start added), and the song position when it falls inside the phrase
// or clip, moved by repainting only the old and the new marker. A left click moves the song
// position there (snapped to the nearest grid point). User-interface thread only.

#include <QWidget>

#include "model/TimeBase.h"

class CPianoRollContext;

class CViewPianoRuler : public QWidget {
    Q_OBJECT
public:
    explicit CViewPianoRuler(CPianoRollContext& context, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    // The strip the song-position marker at an absolute tick covers.
    QRect MarkerStrip(tick absolute) const;
    // How many pixels the ruler has painted (a marker move repaints two strips only).
    int64_t GetPaintedPixels() const { return m_paintedPixels; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void OnShownPositionChanged(tick from, tick to);

    CPianoRollContext& m_context;
    int64_t m_paintedPixels = 0;
};
