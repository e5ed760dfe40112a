#include "controls/Fader.h"

#include "controls/SevenBitKeys.h"
#include "controls/Theme.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

CFader::CFader(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setToolTip(QString::number(m_value));
}

int CFader::ThumbTop(int value, int height)
{
    return (128 - std::clamp(value, 0, 127)) * std::max(0, height - kThumbHeight) / 128;
}

int CFader::ValueAt(int thumbTop, int height)
{
    const int travel = height - kThumbHeight;
    if (travel <= 0) return 0;
    return std::clamp(128 - thumbTop * 128 / travel, 0, 127);
}

bool CFader::SetValue(int value)
{
    const int limited = std::clamp(value, 0, 127);
    if (limited == m_value) return false;
    m_value = limited;
    setToolTip(QString::number(m_value));
    if (m_dragging) QToolTip::showText(QCursor::pos(), toolTip(), this);
    update();
    return true;
}

void CFader::ChangeByUser(int value)
{
    if (SetValue(value)) emit ValueChanged(m_id);
}

void CFader::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), CTheme::DisplayBackground());
    // The groove, lit below the thumb as far as the value goes.
    const int top = ThumbTop(m_value, height());
    const QRectF groove(width() / 2.0 - 2, kThumbHeight / 2.0, 4, height() - kThumbHeight);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(8, 12, 20));
    p.drawRoundedRect(groove, 2, 2);
    p.setBrush(CTheme::ValueColour());
    p.drawRoundedRect(QRectF(groove.left(), top + kThumbHeight / 2.0, groove.width(),
                             groove.bottom() - (top + kThumbHeight / 2.0)),
                      2, 2);
    const QRectF thumb(1.5, top + 0.5, width() - 3, kThumbHeight - 1);
    QLinearGradient fill(thumb.topLeft(), thumb.bottomLeft());
    fill.setColorAt(0, QColor(150, 160, 178));
    fill.setColorAt(1, QColor(70, 80, 98));
    p.setPen(QPen(hasFocus() ? CTheme::FocusFrame() : QColor(16, 20, 28), 1.0));
    p.setBrush(fill);
    p.drawRoundedRect(thumb, 2, 2);
    p.setPen(QPen(QColor(20, 24, 32), 1.0));
    p.drawLine(QPointF(thumb.left() + 3, thumb.center().y()),
               QPointF(thumb.right() - 3, thumb.center().y()));
    p.setPen(hasFocus() ? CTheme::FocusFrame() : CTheme::Frame());
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

void CFader::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    m_dragging = true;
    const int y = event->position().toPoint().y();
    const int top = ThumbTop(m_value, height());
    if (y >= top && y < top + kThumbHeight) {
        m_grabOffset = y - top;
    } else {
        // A press beside the thumb brings the thumb's middle under the pointer.
        m_grabOffset = kThumbHeight / 2;
        ChangeByUser(ValueAt(y - m_grabOffset, height()));
    }
}

void CFader::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging) return;
    ChangeByUser(ValueAt(event->position().toPoint().y() - m_grabOffset, height()));
}

void CFader::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) m_dragging = false;
}

void CFader::keyPressEvent(QKeyEvent* event)
{
    if (const auto value = seven_bit::ValueForKey(*event, m_value, 0))
        ChangeByUser(*value);
    else
        QWidget::keyPressEvent(event);
}

void CFader::wheelEvent(QWheelEvent* event)
{
    if (const int change = seven_bit::WheelChange(*event, m_wheelRest))
        ChangeByUser(m_value + change);
    event->accept();
}

void CFader::focusInEvent(QFocusEvent* event)
{
    update();
    QWidget::focusInEvent(event);
}

void CFader::focusOutEvent(QFocusEvent* event)
{
    update();
    QWidget::focusOutEvent(event);
}
