#include "controls/ScrollBar.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionSlider>

#include <algorithm>
#include <cmath>

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
        QStyleOptionSlider rest = *slider;
        rest.subControls &= ~SC_ScrollBarGroove;
        QProxyStyle::drawComplexControl(control, &rest, painter, widget);
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

const QImage& CScrollBar::Groove(const QStyleOptionSlider& option, qreal ratio,
                                 const QProxyStyle& style)
{
    const SGrooveKey key{option.rect.size(),
                         ratio,
                         static_cast<int>(option.state),
                         static_cast<int>(option.activeSubControls),
                         option.palette.cacheKey(),
                         static_cast<int>(option.direction),
                         option.upsideDown,
                         &style};
    if (!m_groove.isNull() && key == m_grooveKey) return m_groove;
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
    setAttribute(Qt::WA_OpaquePaintEvent, opaque);
    m_grooveKey = key;
    ++m_grooveDraws;
    return m_groove;
}
