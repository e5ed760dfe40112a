#pragma once
// A scroll bar that keeps pictures of its groove and its slider. The widget style draws both with
// gradients and outlines, which the raster engine hands to worker threads band by band once they
// are taller than about a hundred device lines: at ratio 2 a tall bar took milliseconds to
// repaint, on every wheel notch of the canvas beside it.
// - The groove depends on the bar's size, state and palette, not on its value: it is drawn once
//   per look and copied.
// - The slider is drawn once per look over the groove pixels under it, and copied to wherever it
//   is, as long as the groove under it looks the same.
// - The pages and the arrow buttons are drawn by the style, in the style's order.
// The bar draws through a proxy of the application's style, which sees the exact options the
// scroll bar paints with (hover and pressed parts included). Styles with transient bars,
// fractional device-pixel ratios (pictures would not fall on whole device pixels) and grooves
// that are not opaque (the slider's picture would be blended) are drawn the plain way.
// User-interface thread only.

#include <QImage>
#include <QScrollBar>

class QProxyStyle;
class QStyleOptionSlider;

class CScrollBar : public QScrollBar {
    Q_OBJECT
public:
    explicit CScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

    // How often the groove and the slider pictures were drawn (for tests).
    int GetGrooveDraws() const { return m_grooveDraws; }
    int GetSliderDraws() const { return m_sliderDraws; }

private:
    friend class CGrooveStyle;

    // Everything the style may read to draw a part, but where the part is.
    struct SLook {
        QSize size;
        qreal ratio = 0;
        int state = 0;
        int active = 0;
        qint64 palette = 0;
        int direction = 0;
        bool upsideDown = false;
        const QStyle* style = nullptr;
        bool operator==(const SLook&) const = default;
    };
    SLook LookOf(const QStyleOptionSlider& option, QSize size, qreal ratio,
                 const QStyle& style) const;

    // The groove picture for option at ratio, drawn by style when its look changed.
    const QImage& Groove(const QStyleOptionSlider& option, qreal ratio, const QProxyStyle& style);
    // Draws the slider of option from its picture; false where it must be drawn the plain way.
    bool DrawSlider(QPainter& painter, const QStyleOptionSlider& option, qreal ratio,
                    const QProxyStyle& style);

    QImage m_groove;
    SLook m_grooveLook;
    int m_grooveDraws = 0;
    bool m_madeOpaque = false; // whether this bar, not the style, made it paint opaquely
    QImage m_slider;           // the slider over the groove, around the slider's rectangle
    QImage m_underSlider;      // the groove pixels it was drawn on
    SLook m_sliderLook;
    QPoint m_sliderOffset; // of the slider's rectangle in its picture
    int m_sliderDraws = 0;
};
