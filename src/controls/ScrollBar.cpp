#include "controls/ScrollBar.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionSlider>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The raster engine spreads a drawing of more than about a hundred device lines over worker
// threads; for a picture a few dozen pixels wide, waking them costs more than the copy.
void DrawInBands(QPainter& painter, QPoint at, const QImage& picture)
{
    constexpr int kBand = 64;
    const qreal ratio = picture.devicePixelRatio();
    for (int y = 0; y < picture.height(); y += kBand) {
        const QRect source(0, y, picture.width(), std::min(kBand, picture.height() - y));
        painter.drawImage(QRectF(at + QPointF(0, y / ratio), source.size() / ratio), picture,
                          source);
    }
}

// Whether the pixels of picture under rect (device pixels, inside it) equal those of part.
bool SamePixels(const QImage& picture, const QRect& rect, const QImage& part)
{
    if (part.size() != rect.size() || part.format() != picture.format()) return false;
    const auto bytes = static_cast<size_t>(rect.width()) * 4;
    for (int y = 0; y < rect.height(); ++y) {
        if (std::memcmp(picture.constScanLine(rect.top() + y) + rect.left() * 4,
                        part.constScanLine(y), bytes) != 0)
            return false;
    }
    return true;
}

} // namespace

class CGrooveStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override
    {
        auto* bar = const_cast<CScrollBar*>(qobject_cast<const CScrollBar*>(widget));
        const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
        const qreal ratio = painter->device()->devicePixelRatioF();
        if (control != CC_ScrollBar || !bar || !slider ||
            !(option->subControls & SC_ScrollBarGroove) || ratio != std::floor(ratio) ||
            styleHint(SH_ScrollBar_Transient, option, widget) ||
            painter->transform().type() > QTransform::TxTranslate) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        DrawInBands(*painter, option->rect.topLeft(), bar->Groove(*slider, ratio, *this));
        // The rest in one call, in the style's own order; a slider from its picture goes first,
        // as the style draws it right after the groove.
        QStyleOptionSlider rest = *slider;
        rest.subControls &= ~SC_ScrollBarGroove;
        if ((rest.subControls & SC_ScrollBarSlider) &&
            bar->DrawSlider(*painter, *slider, ratio, *this))
            rest.subControls &= ~SC_ScrollBarSlider;
        if (rest.subControls) QProxyStyle::drawComplexControl(control, &rest, painter, widget);
    }
};

namespace {

// One proxy for all bars, made on first use; it goes with the application object.
QStyle* SharedGrooveStyle()
{
    static QPointer<CGrooveStyle> shared;
    if (!shared && qApp) {
        QStyle* base = QStyleFactory::create(QApplication::style()->name());
        if (!base) return nullptr;
        shared = new CGrooveStyle(base);
        shared->setParent(qApp);
    }
    return shared;
}

} // namespace

CScrollBar::CScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent)
{
    if (QStyle* style = SharedGrooveStyle()) setStyle(style);
}

CScrollBar::SLook CScrollBar::LookOf(const QStyleOptionSlider& option, QSize size, qreal ratio,
                                     const QStyle& style) const
{
    return {size,
            ratio,
            static_cast<int>(option.state),
            static_cast<int>(option.activeSubControls),
            option.palette.cacheKey(),
            static_cast<int>(option.direction),
            option.upsideDown,
            &style};
}

const QImage& CScrollBar::Groove(const QStyleOptionSlider& option, qreal ratio,
                                 const QProxyStyle& style)
{
    const SLook look = LookOf(option, option.rect.size(), ratio, style);
    if (!m_groove.isNull() && look == m_grooveLook) return m_groove;
    m_groove = QImage(option.rect.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    m_groove.setDevicePixelRatio(ratio);
    m_groove.fill(Qt::transparent);
    QStyleOptionSlider groove = option;
    groove.rect.moveTopLeft(QPoint(0, 0));
    groove.subControls = QStyle::SC_ScrollBarGroove;
    QPainter painter(&m_groove);
    style.QProxyStyle::drawComplexControl(QStyle::CC_ScrollBar, &groove, &painter, this);
    painter.end();
    // An opaque groove is copied rather than blended.
    bool opaque = true;
    for (int y = 0; y < m_groove.height() && opaque; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(m_groove.constScanLine(y));
        for (int x = 0; x < m_groove.width() && opaque; ++x)
            opaque = qAlpha(line[x]) == 255;
    }
    if (opaque) m_groove.convertTo(QImage::Format_RGB32);
    // A groove that covers the bar makes the background under it (another tall fill) needless.
    // What the style set itself stays.
    if (opaque != m_madeOpaque && testAttribute(Qt::WA_OpaquePaintEvent) != opaque) {
        setAttribute(Qt::WA_OpaquePaintEvent, opaque);
        m_madeOpaque = opaque;
    }
    m_grooveLook = look;
    ++m_grooveDraws;
    return m_groove;
}

bool CScrollBar::DrawSlider(QPainter& painter, const QStyleOptionSlider& option, qreal ratio,
                            const QProxyStyle& style)
{
    if (m_groove.format() != QImage::Format_RGB32) return false;
    QStyleOptionSlider knob = option;
    knob.rect.moveTopLeft(QPoint(0, 0));
    knob.subControls = QStyle::SC_ScrollBarSlider;
    const QRect slider =
        style.subControlRect(QStyle::CC_ScrollBar, &knob, QStyle::SC_ScrollBarSlider, this);
    if (slider.isEmpty()) return true;
    // Room for outlines and shadows the style draws around the slider's rectangle.
    constexpr int kMargin = 4;
    const QRect around = slider.adjusted(-kMargin, -kMargin, kMargin, kMargin) & knob.rect;
    const QRect under(around.topLeft() * ratio, around.size() * ratio);
    const SLook look = LookOf(option, slider.size(), ratio, style);
    const QPoint offset = slider.topLeft() - around.topLeft();
    if (m_slider.isNull() || !(look == m_sliderLook) || offset != m_sliderOffset ||
        !SamePixels(m_groove, under, m_underSlider)) {
        m_underSlider = m_groove.copy(under);
        m_slider = m_underSlider.copy();
        m_slider.setDevicePixelRatio(ratio);
        QPainter picture(&m_slider);
        picture.translate(-around.topLeft());
        style.QProxyStyle::drawComplexControl(QStyle::CC_ScrollBar, &knob, &picture, this);
        m_sliderLook = look;
        m_sliderOffset = offset;
        ++m_sliderDraws;
    }
    DrawInBands(painter, option.rect.topLeft() + around.topLeft(), m_slider);
    return true;
}
