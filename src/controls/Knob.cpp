#include "controls/Knob.h"

#include "controls/PointerWarp.h"
#include "controls/SevenBitKeys.h"
#include "controls/Theme.h"
#include "devices/MidiNames.h"

#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cstdlib>

namespace {
constexpr int kDragThreshold = 3;
} // namespace

CKnob::CKnob(EKind kind, QWidget* parent) : QWidget(parent), m_kind(kind)
{
    setFocusPolicy(Qt::StrongFocus);
    m_value = GetResetValue();
    setToolTip(GetToolTipText());
}

bool CKnob::SetValue(int value)
{
    const int limited = std::clamp(value, 0, 127);
    if (limited == m_value) return false;
    m_value = limited;
    setToolTip(GetToolTipText());
    if (m_dragging) QToolTip::showText(mapToGlobal(Centre()), toolTip(), this);
    update();
    return true;
}

QString CKnob::GetToolTipText() const
{
    if (m_kind == EKind::Pan)
        return QStringLiteral("Pan: %1").arg(
            QString::fromStdString(PanName(static_cast<uint8_t>(m_value))));
    return QStringLiteral("Value: %1").arg(m_value);
}

void CKnob::ChangeByUser(int value)
{
    if (SetValue(value)) emit ValueChanged(m_id);
}

void CKnob::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int size = std::min(width(), height());
    const QPixmap knob =
        CTheme::Knob(m_value, m_kind == EKind::Pan, hasFocus(), size, devicePixelRatioF());
    p.drawPixmap((width() - size) / 2, (height() - size) / 2, knob);
}

void CKnob::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    m_dragging = true;
    setCursor(Qt::BlankCursor);
    m_lastPos = WarpPointerHome(*this, Centre(), event->position().toPoint());
    QToolTip::showText(mapToGlobal(Centre()), GetToolTipText(), this);
}

void CKnob::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging) return;
    const QPoint pos = event->position().toPoint();
    const int distance = m_lastPos.y() - pos.y(); // upward is positive
    if (std::abs(distance) > kDragThreshold) {
        ChangeByUser(m_value + distance);
        m_lastPos = WarpPointerHome(*this, Centre(), pos);
    } else if (pos.x() != m_lastPos.x()) {
        // Sideways movement means nothing: back onto the centre column.
        const QPoint column(Centre().x(), pos.y());
        m_lastPos.setX(WarpPointerHome(*this, column, pos).x());
    }
}

void CKnob::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_dragging) return;
    m_dragging = false;
    unsetCursor();
}

void CKnob::keyPressEvent(QKeyEvent* event)
{
    if (const auto value = seven_bit::ValueForKey(*event, m_value, GetResetValue()))
        ChangeByUser(*value);
    else
        QWidget::keyPressEvent(event);
}

void CKnob::wheelEvent(QWheelEvent* event)
{
    if (const int change = seven_bit::WheelChange(*event, m_wheelRest))
        ChangeByUser(m_value + change);
    event->accept();
}

void CKnob::focusInEvent(QFocusEvent* event)
{
    update();
    QWidget::focusInEvent(event);
}

void CKnob::focusOutEvent(QFocusEvent* event)
{
    update();
    QWidget::focusOutEvent(event);
}
