#pragma once
// The vertical keyboard strip left of the note canvas: one key per pitch row, black and white as
// on a piano, the tones of the scale in use marked, the octaves named at their C, the cursor's
// pitch lit. A click puts the cursor on that pitch and sounds it. User-interface thread only.

#include <QWidget>

#include "model/TimeBase.h"

class CPianoRollContext;
struct CPianoRollCursor;

class CViewPianoKeys : public QWidget {
    Q_OBJECT
public:
    explicit CViewPianoKeys(CPianoRollContext& context, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    // The row's box in the strip's pixels.
    QRect RowRect(int32_t pitch) const;

signals:
    // A key was clicked.
    void PitchClicked(int32_t pitch);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void OnCursorMoved(const CPianoRollCursor& from);

    CPianoRollContext& m_context;
};
