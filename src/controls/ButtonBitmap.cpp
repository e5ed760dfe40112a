#include "controls/ButtonBitmap.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

CButtonBitmap::CButtonBitmap(QWidget* parent) : QWidget(parent)
{
    // Reached by Tab, not by clicks, so pressing a transport button leaves the focus where it was.
    setFocusPolicy(Qt::TabFocus);
}

void CButtonBitmap::SetFaces(const CArtFace& normal, const CArtFace& pressed,
                             std::optional<CArtFace> disabled)
{
    m_normal = normal;
    m_pressed = pressed;
    m_disabled = disabled;
    update();
}

void CButtonBitmap::SetArtwork(EArtwork art)
{
    SetFaces({art, EArtState::Normal}, {art, EArtState::Pressed},
             CArtFace{art, EArtState::Disabled});
}

void CButtonBitmap::ClearFaces()
{
    m_normal.reset();
    m_pressed.reset();
    m_disabled.reset();
    update();
}

std::optional<CArtFace> CButtonBitmap::GetShownFace() const
{
    if (!m_normal) return std::nullopt;
    if (!isEnabled())
        return m_disabled ? *m_disabled : CArtFace{m_normal->art, EArtState::Disabled};
    return m_held || m_latched ? m_pressed : m_normal;
}

void CButtonBitmap::SetLatched(bool latched)
{
    if (latched == m_latched) return;
    m_latched = latched;
    update();
}

void CButtonBitmap::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const std::optional<CArtFace> face = GetShownFace();
    if (!face) {
        p.fillRect(rect(), Qt::black);
        return;
    }
    CTheme::DrawArtwork(p, rect(), *face);
    if (hasFocus()) {
        p.setPen(QPen(CTheme::FocusFrame(), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void CButtonBitmap::Press()
{
    m_held = true;
    update();
    emit Command(m_id);
    emit ButtonPressed(m_id);
}

void CButtonBitmap::Release()
{
    if (!m_held) return;
    m_held = false;
    update();
    emit ButtonReleased(m_id);
}

void CButtonBitmap::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        Press();
    else if (event->button() == Qt::RightButton)
        emit RightButton(m_id);
    else
        QWidget::mousePressEvent(event);
}

void CButtonBitmap::mouseDoubleClickEvent(QMouseEvent* event)
{
    // A quick second click counts as another press.
    mousePressEvent(event);
}

void CButtonBitmap::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) Release();
}

void CButtonBitmap::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat())
        Press();
    else if (event->key() != Qt::Key_Space)
        QWidget::keyPressEvent(event);
}

void CButtonBitmap::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat())
        Release();
    else if (event->key() != Qt::Key_Space)
        QWidget::keyReleaseEvent(event);
}

void CButtonBitmap::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange) {
        if (!isEnabled()) Release();
        update();
    }
    QWidget::changeEvent(event);
}

void CButtonBitmap::focusInEvent(QFocusEvent* event)
{
    update();
    QWidget::focusInEvent(event);
}

void CButtonBitmap::focusOutEvent(QFocusEvent* event)
{
    Release();
    update();
    QWidget::focusOutEvent(event);
}
