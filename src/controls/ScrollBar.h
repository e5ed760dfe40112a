#pragma once
// A scroll bar that keeps a picture of its groove. The groove spans the whole bar, and the widget
// style draws it with gradients and tall outlines which the raster engine hands to worker threads
// band by band: at ratio 2 a tall bar took milliseconds to repaint, on every wheel notch of the
// canvas beside it. The groove depends on the bar's size, state and palette, not on its value, so
// it is drawn once per look and copied; the slider, the pages and the arrow buttons are drawn by
// the style over it as before.
// The bar draws through a proxy of the application's style, which sees the exact options the
// scroll bar paints with (hover and pressed parts included). Styles with transient bars and
// fractional device-pixel ratios (the picture would not fall on whole device pixels) are drawn
// the plain way. User-interface thread only.

#include <QImage>
#include <QScrollBar>

class QProxyStyle;
class QStyleOptionSlider;

class CScrollBar : public QScrollBar {
    Q_OBJECT
public:
    explicit CScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

    // How often the groove picture was drawn (for tests).
    int GetGrooveDraws() const { return m_grooveDraws; }

private:
    friend class CGrooveStyle;

    // Everything the style may read to draw the groove.
    struct SGrooveKey {
        QSize size;
        qreal ratio = 0;
        int state = 0;
        int active = 0;
        qint64 palette = 0;
        int direction = 0;
        bool upsideDown = false;
        const QStyle* style = nullptr;
        bool operator==(const SGrooveKey&) const = default;
    };
    // The groove picture for option at ratio, drawn by style when the look changed.
    const QImage& Groove(const QStyleOptionSlider& option, qreal ratio, const QProxyStyle& style);

    QImage m_groove;
    SGrooveKey m_grooveKey;
    int m_grooveDraws = 0;
};
